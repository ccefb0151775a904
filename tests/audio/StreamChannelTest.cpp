#include "AudioTestSupport.h"
#include "TinyModule.h"

#include "TestSupport.h"

#include <atomic>
#include <cstring>
#include <vector>

using namespace audiotest;

namespace {

class StreamChannel : public AudioTest {};

double Seconds() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / double(f.QuadPart);
}

// Endless silence; counts its calls and notes whether it is running.
struct Counter {
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false};
    DWORD delayMs = 0;
};
DWORD CALLBACK Silence(HSTREAM, void* buffer, DWORD length, void* user) {
    auto* c = static_cast<Counter*>(user);
    c->inside = true;
    c->calls++;
    std::memset(buffer, 0, length);
    if (c->delayMs) Sleep(c->delayMs);
    c->inside = false;
    return length;
}

// Plays two songs back to back as the engine does: the next song is loaded inside the
// callback when the current one runs out. Keeps a copy of everything it delivered.
struct Playlist {
    std::string first, second;
    HMUSIC music = 0;
    int loaded = 0;
    std::vector<char> delivered;
};
DWORD CALLBACK TwoSongs(HSTREAM, void* buffer, DWORD length, void* user) {
    auto* p = static_cast<Playlist*>(user);
    for (;;) {
        DWORD got = p->music ? BASS_ChannelGetData(p->music, buffer, length) : 0;
        if (got != 0 && got != DWORD(-1)) {
            p->delivered.insert(p->delivered.end(), static_cast<char*>(buffer), static_cast<char*>(buffer) + got);
            return got;
        }
        if (p->music) BASS_MusicFree(p->music);
        p->music = 0;
        if (p->loaded == 2) return BASS_STREAMPROC_END;
        p->music = LoadImage(p->loaded == 0 ? p->first : p->second);
        p->loaded++;
        if (!p->music) return BASS_STREAMPROC_END;
    }
}

std::vector<char> DecodeAll(const std::string& image) {
    HMUSIC music = LoadImage(image);
    std::vector<char> all;
    std::vector<char> block(4096);
    DWORD got;
    while ((got = BASS_ChannelGetData(music, block.data(), DWORD(block.size()))) != 0 && got != DWORD(-1))
        all.insert(all.end(), block.begin(), block.begin() + got);
    BASS_MusicFree(music);
    return all;
}

}  // namespace

TEST_F(StreamChannel, TwoSongsFollowEachOtherWithoutGapOrRepeat) {
    Playlist p;
    p.first = TinyMod(12);   // 0.24 s
    p.second = TinyMod(17);  // 0.34 s
    std::vector<char> expected = DecodeAll(p.first), second = DecodeAll(p.second);
    expected.insert(expected.end(), second.begin(), second.end());

    HSTREAM stream = BASS_StreamCreate(kRate, 2, BASS_SAMPLE_FLOAT, TwoSongs, &p);
    ASSERT_NE(stream, 0u);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_PLAYING);
    // The stream stops by itself once everything has been played out.
    EXPECT_TRUE(th::PumpUntil([&] { return BASS_ChannelIsActive(stream) == BASS_ACTIVE_STOPPED; }, 3000));
    EXPECT_EQ(p.loaded, 2);
    EXPECT_TRUE(p.delivered == expected) << "delivered " << p.delivered.size() << " bytes, expected "
                                         << expected.size();
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), QWORD(expected.size()));
    EXPECT_TRUE(BASS_StreamFree(stream));
}

TEST_F(StreamChannel, PositionAdvancesAtRealTimePace) {
    Counter c;
    HSTREAM stream = BASS_StreamCreate(kRate, 2, BASS_SAMPLE_FLOAT, Silence, &c);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    Sleep(200);  // past the start-up of the buffers
    double t0 = Seconds();
    QWORD p0 = BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
    Sleep(2000);
    double t1 = Seconds();
    QWORD p1 = BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
    EXPECT_EQ(p0 % 8, 0u);
    EXPECT_NEAR(double(p1 - p0) / (kRate * 8), t1 - t0, 0.05);
}

TEST_F(StreamChannel, PauseFreezesThePositionAndPlayResumes) {
    Counter c;
    HSTREAM stream = BASS_StreamCreate(kRate, 2, BASS_SAMPLE_FLOAT, Silence, &c);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    Sleep(300);
    ASSERT_TRUE(BASS_ChannelPause(stream));
    EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_PAUSED);
    QWORD atPause = BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
    Sleep(150);  // what was queued before the pause is still heard
    QWORD frozen = BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
    EXPECT_LE(double(frozen - atPause) / (kRate * 8), 0.1) << "at most the output latency";
    int calls = c.calls;
    Sleep(500);
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), frozen);
    EXPECT_EQ(c.calls, calls) << "a paused stream is not fed";

    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_PLAYING);
    Sleep(300);
    EXPECT_GT(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), frozen + kRate * 8 / 10);
}

TEST_F(StreamChannel, AfterFreeTheCallbackIsNeverCalledAgain) {
    Counter c;
    c.delayMs = 5;  // so that Free often meets the callback running
    HSTREAM stream = BASS_StreamCreate(kRate, 2, BASS_SAMPLE_FLOAT, Silence, &c);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    for (int i = 0; i < 20 && c.calls < 3; i++) Sleep(20);
    ASSERT_GE(c.calls, 3);
    ASSERT_TRUE(BASS_StreamFree(stream));
    EXPECT_FALSE(c.inside);
    int calls = c.calls;
    Sleep(300);
    EXPECT_EQ(c.calls, calls);
    EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_STOPPED);
    EXPECT_FALSE(BASS_ChannelPlay(stream, FALSE));
    EXPECT_FALSE(BASS_StreamFree(stream));
}

TEST_F(StreamChannel, AfterStopTheCallbackIsNotCalledUntilPlayedAgain) {
    Counter c;
    c.delayMs = 5;
    HSTREAM stream = BASS_StreamCreate(kRate, 2, BASS_SAMPLE_FLOAT, Silence, &c);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    for (int i = 0; i < 20 && c.calls < 3; i++) Sleep(20);
    ASSERT_TRUE(BASS_ChannelStop(stream));
    EXPECT_FALSE(c.inside);
    int calls = c.calls;
    Sleep(200);
    EXPECT_EQ(c.calls, calls);
    EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_STOPPED);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    Sleep(200);
    EXPECT_GT(c.calls, calls);
}

TEST_F(StreamChannel, ACallbackCannotFreeTheBackEndUnderItself) {
    struct Attempt {
        std::atomic<int> result{-1};
    } attempt;
    auto proc = [](HSTREAM, void* buffer, DWORD length, void* user) -> DWORD {
        auto* a = static_cast<Attempt*>(user);
        if (a->result < 0) a->result = BASS_Free();
        std::memset(buffer, 0, length);
        return length;
    };
    HSTREAM stream = BASS_StreamCreate(kRate, 2, BASS_SAMPLE_FLOAT, proc, &attempt);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    ASSERT_TRUE(th::PumpUntil([&] { return attempt.result >= 0; }, 1000));
    EXPECT_EQ(attempt.result, FALSE);
    Sleep(100);
    EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_PLAYING);
}

TEST_F(StreamChannel, ACallbackWithNothingToGiveStalls) {
    auto nothing = [](HSTREAM, void*, DWORD, void*) -> DWORD { return 0; };
    HSTREAM stream = BASS_StreamCreate(kRate, 2, BASS_SAMPLE_FLOAT, nothing, nullptr);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    EXPECT_TRUE(th::PumpUntil([&] { return BASS_ChannelIsActive(stream) == BASS_ACTIVE_STALLED; }, 1000));
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), 0u);
}

TEST_F(StreamChannel, OnlyFloatStereoAtTheOutputRateIsAccepted) {
    Counter c;
    EXPECT_EQ(BASS_StreamCreate(kRate, 1, BASS_SAMPLE_FLOAT, Silence, &c), 0u);
    EXPECT_EQ(BASS_StreamCreate(kRate, 2, 0, Silence, &c), 0u);
    EXPECT_EQ(BASS_StreamCreate(44100, 2, BASS_SAMPLE_FLOAT, Silence, &c), 0u);
    EXPECT_EQ(BASS_StreamCreate(kRate, 2, BASS_SAMPLE_FLOAT, nullptr, &c), 0u);
}

TEST(AudioDevice, ReinitialisingAtAnotherRateKeepsWorking) {
    Counter c;
    ASSERT_TRUE(BASS_Init(-1, 48000, 0, nullptr, nullptr));
    EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr, nullptr)) << "only once until freed";
    HSTREAM old = BASS_StreamCreate(48000, 2, BASS_SAMPLE_FLOAT, Silence, &c);
    ASSERT_TRUE(BASS_ChannelPlay(old, FALSE));
    Sleep(100);
    ASSERT_TRUE(BASS_Free());
    int calls = c.calls;

    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ChannelIsActive(old), BASS_ACTIVE_STOPPED) << "freed with the device";
    EXPECT_EQ(BASS_ChannelGetPosition(old, BASS_POS_BYTE), QWORD(-1));
    EXPECT_EQ(c.calls, calls);
    HMUSIC music = LoadImage(TinyMod(10));
    EXPECT_EQ(DecodeToEnd(music, 44100 * 2), size_t(44100 * 0.2)) << "modules decode at the new rate";
    Counter c2;
    HSTREAM stream = BASS_StreamCreate(44100, 2, BASS_SAMPLE_FLOAT, Silence, &c2);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    Sleep(200);
    double t0 = Seconds();
    QWORD p0 = BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
    Sleep(1000);
    double seconds = double(BASS_ChannelGetPosition(stream, BASS_POS_BYTE) - p0) / (44100 * 8);
    EXPECT_NEAR(seconds, Seconds() - t0, 0.05);
    EXPECT_TRUE(BASS_Free());
    EXPECT_FALSE(BASS_Free());
}

TEST(AudioDevice, DevicesAndVersion) {
    BASS_DEVICEINFO info{};
    ASSERT_TRUE(BASS_GetDeviceInfo(0, &info)) << "the no-sound device always exists";
    ASSERT_NE(info.name, nullptr);
    UINT count = waveOutGetNumDevs();
    for (UINT i = 1; i <= count; i++) {
        ASSERT_TRUE(BASS_GetDeviceInfo(i, &info));
        EXPECT_NE(info.name, nullptr);
    }
    EXPECT_FALSE(BASS_GetDeviceInfo(count + 1, &info));
    // A device that does not exist cannot be opened; the default always can.
    EXPECT_FALSE(BASS_Init(int(count + 1), 48000, 0, nullptr, nullptr));
    EXPECT_FALSE(BASS_Init(-1, 0, 0, nullptr, nullptr));
    ASSERT_TRUE(BASS_Init(-1, 48000, 0, nullptr, nullptr));
    BASS_Free();
    EXPECT_EQ(BASS_GetVersion() >> 24, 1u);
}
