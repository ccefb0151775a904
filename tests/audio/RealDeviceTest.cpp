// Playing through a real output device. Machines without one skip these; the suite's pulse
// test runs them against a sound server with a null sink (scripts/audio-pulse-test.sh).

#include "AudioTestSupport.h"
#include "TestSupport.h"
#include "TinyModule.h"

#include <cstdlib>

using namespace audiotest;

namespace {

struct Song {
    HMUSIC music = 0;
};
DWORD CALLBACK PlaySong(HSTREAM, void* buffer, DWORD length, void* user) {
    DWORD got = BASS_ChannelGetData(static_cast<Song*>(user)->music, buffer, length);
    return got == DWORD(-1) ? BASS_STREAMPROC_END : got;
}

}  // namespace

TEST(RealDevice, PlaysASongThroughTheDefaultDevice) {
    if (waveOutGetNumDevs() == 0) GTEST_SKIP() << "no audio device on this machine (waveOutGetNumDevs is 0)";
    BASS_DEVICEINFO info{};
    ASSERT_TRUE(BASS_GetDeviceInfo(1, &info));
    ASSERT_NE(info.name, nullptr);
    EXPECT_NE(info.name[0], 0);
    ASSERT_TRUE(BASS_Init(-1, 48000, 0, nullptr, nullptr));
    ASSERT_TRUE(BASS_GetDeviceInfo(1, &info));
    EXPECT_TRUE(info.flags & BASS_DEVICE_INIT);
    Song song;
    song.music = LoadImage(TinyMod(64, true), BASS_MUSIC_LOOP);  // a square wave that never ends
    ASSERT_NE(song.music, 0u);
    HSTREAM stream = BASS_StreamCreate(48000, 2, BASS_SAMPLE_FLOAT, PlaySong, &song);
    ASSERT_TRUE(BASS_ChannelPlay(stream, FALSE));
    // Sound servers take up to two seconds to settle their buffering after a stream opens;
    // the pace is checked after that.
    Sleep(2500);
    double t0 = th::Seconds();
    QWORD p0 = BASS_ChannelGetPosition(stream, BASS_POS_BYTE);
    Sleep(1500);
    double played = double(BASS_ChannelGetPosition(stream, BASS_POS_BYTE) - p0) / (48000 * 8);
    EXPECT_NEAR(played, th::Seconds() - t0, 0.1);
    EXPECT_EQ(BASS_ChannelIsActive(stream), BASS_ACTIVE_PLAYING);
    EXPECT_TRUE(BASS_StreamFree(stream));
    EXPECT_TRUE(BASS_Free());

    // The device by its number, at another rate.
    ASSERT_TRUE(BASS_Init(1, 44100, 0, nullptr, nullptr));
    EXPECT_TRUE(BASS_Free());
}
