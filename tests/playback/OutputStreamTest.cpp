// The engine playing through the default output (the silent output on a machine without
// sound, which plays at real-time pace): positions, seeking and the output's re-opening.

#include "PlaybackTestSupport.h"

#include <cmath>

using namespace playtest;

namespace {

struct Position {
    bool active = false;
    int songId = 0;
    int serial = 0;
    float seconds = 0;
};

Position Now(COutput& output) {
    Position p;
    p.active = output.GetPosition(p.songId, p.serial, p.seconds);
    return p;
}

class OutputStream : public EngineTest {
protected:
    // Two songs of `seconds` each (slow modules that last as long as measured).
    void OpenTwo(float seconds, DWORD rate = 2) {
        int rows = int(std::ceil(seconds / ModuleSeconds(1, 31, 32))) + 1;
        std::vector<Song> list;
        for (int i = 0; i < 2; i++)
            list.push_back({L"long" + std::to_wstring(i) + L".mod", Module(rows, i, false, 0, 1, 31, 32), 1, 31,
                            seconds, 0.0f, seconds - 0.5f});
        Open(list, rate);
        playlist = PlaylistOf({1, 2});
    }
    std::unique_ptr<CPlaylist> playlist;
};

}  // namespace

TEST_F(OutputStream, PositionFollowsTheAudibleSongAcrossTheJoin) {
    OpenTwo(3.0f);
    ASSERT_TRUE(output->PlayEntry(playlist.get(), 0, 2.0f));
    ASSERT_TRUE(WaitFor([&] { return Now(*output).seconds > 2.05f; }));
    Position p = Now(*output);
    EXPECT_TRUE(p.active);
    EXPECT_EQ(p.serial, playlist->GetSerialAt(0));
    EXPECT_TRUE(output->IsPlaying());
    ASSERT_TRUE(WaitFor([&] { return Now(*output).serial == playlist->GetSerialAt(1); }));
    p = Now(*output);
    EXPECT_EQ(p.songId, 2);
    EXPECT_LT(p.seconds, 0.5f);
}

// In the last fraction of a second of a song the next one is already being decoded; a seek
// then is still a seek in the song that is heard.
TEST_F(OutputStream, SeekNearTheEndRestartsTheAudibleSong) {
    OpenTwo(2.0f);
    const int first = playlist->GetSerialAt(0);
    const int64_t firstBytes = 2ll * 48000 * 8;
    bool caught = false;
    for (int attempt = 0; attempt < 5 && !caught; attempt++) {
        ASSERT_TRUE(output->PlayEntry(playlist.get(), 0, 1.7f));
        // Wait for the moment the stream holds the start of the second song while the first
        // is still heard.
        double until = th::Seconds() + 5;
        while (th::Seconds() < until) {
            Position p = Now(*output);
            if (p.serial == first && output->GetTotalOut() > firstBytes - int64_t(1.7 * 48000 * 8)) {
                caught = true;
                break;
            }
            if (p.serial != first && p.serial != 0) break;
            Sleep(1);
        }
        if (!caught) continue;
        ASSERT_TRUE(output->Restart(0.5f));
        Position p = Now(*output);
        EXPECT_EQ(p.serial, first);
        EXPECT_TRUE(WaitFor([&] { return Now(*output).seconds > 0.5f; }));
        p = Now(*output);
        EXPECT_EQ(p.serial, first);
        EXPECT_LT(p.seconds, 1.5f);
    }
    EXPECT_TRUE(caught) << "never saw the second song decoded while the first was heard";
}

TEST_F(OutputStream, RateChangeWhilePlayingGoesOnAtTheSameSecond) {
    OpenTwo(70.0f, 1);
    ASSERT_TRUE(output->PlayEntry(playlist.get(), 0, 63.5f));
    ASSERT_TRUE(WaitFor([&] { return Now(*output).seconds > 63.5f; }));
    Position before = Now(*output);
    freq = 3;
    ASSERT_TRUE(output->Initialise(&device, &freq));
    EXPECT_EQ(output->GetRate(), 96000u);
    EXPECT_EQ(output->GetFadeLength(), 11520000);
    Position after = Now(*output);
    EXPECT_TRUE(after.active);
    EXPECT_EQ(after.serial, before.serial);
    EXPECT_NEAR(after.seconds, before.seconds, 0.3f);
    EXPECT_TRUE(WaitFor([&] { return Now(*output).seconds > before.seconds + 0.2f; }));
}

TEST_F(OutputStream, DeviceChangeWhilePausedStaysStopped) {
    OpenTwo(3.0f);
    ASSERT_TRUE(output->PlayEntry(playlist.get(), 0, 0));
    ASSERT_TRUE(WaitFor([&] { return Now(*output).seconds > 0.1f; }));
    output->TogglePause();
    EXPECT_TRUE(output->IsPaused());
    EXPECT_TRUE(Now(*output).active);
    ASSERT_TRUE(output->Initialise(&device, &freq));
    EXPECT_FALSE(output->IsPlaying());
    EXPECT_FALSE(output->IsPaused());
    EXPECT_FALSE(Now(*output).active);
}

TEST_F(OutputStream, PauseHoldsThePositionAndPlayGoesOn) {
    OpenTwo(3.0f);
    ASSERT_TRUE(output->PlayEntry(playlist.get(), 0, 0));
    ASSERT_TRUE(WaitFor([&] { return Now(*output).seconds > 0.2f; }));
    output->TogglePause();
    th::PumpFor(200);
    float held = Now(*output).seconds;
    th::PumpFor(300);
    EXPECT_EQ(Now(*output).seconds, held);
    output->TogglePause();
    EXPECT_TRUE(output->IsPlaying());
    EXPECT_TRUE(WaitFor([&] { return Now(*output).seconds > held + 0.1f; }));
    output->Stop();
    EXPECT_FALSE(Now(*output).active);
}
