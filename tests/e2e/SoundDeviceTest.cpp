// The program and the sound device: without a device that opens, the status bar says so and no
// song is blamed; at close the music stops before the windows it reports to go.

#include "E2eSupport.h"

#include "audio/Bass.h"
#include "playback/Output.h"

namespace e2e {
namespace {

using SoundDevice = E2eTest;

const std::vector<LocalSong> kDuo = {{L"Duo", L"Song A", 2.0f}, {L"Duo", L"Song B", 2.0f}};

// The back end is one per process: while the test holds it, the program's engine finds no
// device it can open, as on a machine whose only device is taken or broken.
class DeviceTaken {
public:
    DeviceTaken() { taken_ = BASS_Init(0, 48000, 0, nullptr, nullptr) != FALSE; }
    ~DeviceTaken() { if (taken_) BASS_Free(); }
    bool Taken() const { return taken_; }
private:
    bool taken_ = false;
};

TEST_F(SoundDevice, WithoutADeviceTheStatusBarSaysSoAndNoSongIsBlamed) {
    DeviceTaken device;
    ASSERT_TRUE(device.Taken());
    ASSERT_TRUE(Start([&] { ASSERT_TRUE(WriteLocalLibrary(kDuo)); }));
    StatusLog& status = program.Status();
    EXPECT_TRUE(status.Saw(COutput::kNoDeviceText)) << status.Joined();
    Select(Artist(L"Duo"));
    DoubleClickRow(0);
    DoubleClickRow(1);
    th::PumpFor(500);
    EXPECT_EQ(Title(), IdleTitle());
    EXPECT_EQ(StatusPart(0), COutput::kNoDeviceText);
    EXPECT_EQ(status.Joined().find(COutput::kUnplayableText), std::wstring::npos) << status.Joined();
}

// Watches the first window of the program to go at close: whether music was still being made
// then. (A hook, as the windows' own subclasses are taken off before they are destroyed.)
struct FirstWindowEnd {
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
        if (code == HCBT_DESTROYWND && watched && !watched->destroyed) {
            HWND window = reinterpret_cast<HWND>(wp);
            if (IsChild(watched->main, window)) {
                watched->destroyed = true;
                watched->playingThen = watched->output->IsPlaying();
            }
        }
        return CallNextHookEx(nullptr, code, wp, lp);
    }
    static inline FirstWindowEnd* watched = nullptr;
    HWND main = nullptr;
    COutput* output = nullptr;
    bool destroyed = false;
    bool playingThen = false;
};

TEST_F(SoundDevice, AtCloseTheMusicStopsBeforeTheWindowsGo) {
    ASSERT_TRUE(Start([&] { ASSERT_TRUE(WriteLocalLibrary(kDuo)); }));
    Select(Artist(L"Duo"));
    DoubleClickRow(0);
    ASSERT_TRUE(TitleBecomes(L"Duo - Song A"));
    FirstWindowEnd end;
    end.main = program.Window();
    end.output = hub->GetOutput();
    FirstWindowEnd::watched = &end;
    HHOOK hook = SetWindowsHookExW(WH_CBT, &FirstWindowEnd::Hook, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    Stop();
    UnhookWindowsHookEx(hook);
    FirstWindowEnd::watched = nullptr;
    EXPECT_TRUE(end.destroyed);
    EXPECT_FALSE(end.playingThen) << "the engine's callback could still report to a status bar that goes";
}

}  // namespace
}  // namespace e2e
