// The stream's share of one output buffer, without a device: how the proc is asked, how its
// end is handled and how the volume scales what it gave.

#include "audio/StreamChannel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// Gives at most `chunk` bytes per call of the value 1.0, `total` bytes in all, then ends.
struct Source {
    DWORD chunk = 0, total = 0, given = 0;
    int calls = 0;
};
DWORD CALLBACK Ones(HSTREAM, void* buffer, DWORD length, void* user) {
    auto* s = static_cast<Source*>(user);
    s->calls++;
    DWORD n = std::min({length, s->chunk, s->total - s->given});
    for (DWORD i = 0; i < n / 4; i++) static_cast<float*>(buffer)[i] = 1.0f;
    s->given += n;
    return s->given == s->total ? n | BASS_STREAMPROC_END : n;
}

}  // namespace

TEST(StreamMix, ShortAnswersAreAskedAgainUntilTheBufferIsFull) {
    Source source{80, 1000000};
    audio::CStreamChannel stream(1, 48000, Ones, &source);
    stream.Reserve(64);
    ASSERT_TRUE(stream.Play(false));
    std::vector<float> mix(128, 0.0f);
    EXPECT_EQ(stream.Render(mix.data(), 64), 512u);
    EXPECT_EQ(source.calls, 7);  // 6 × 80 bytes and one of 32
    for (float v : mix) ASSERT_EQ(v, 1.0f);
    EXPECT_EQ(stream.GetPosition(), 0u) << "taken is not yet heard";
    stream.Played(512);
    EXPECT_EQ(stream.GetPosition(), 512u);
}

TEST(StreamMix, VolumeScalesAndStreamsAddUp) {
    Source a{4096, 1000000}, b{4096, 1000000};
    audio::CStreamChannel first(1, 48000, Ones, &a), second(2, 48000, Ones, &b);
    first.Reserve(64);
    second.Reserve(64);
    first.Play(false);
    second.Play(false);
    first.SetVolume(0.5f);
    second.SetVolume(7.0f);  // beyond full volume counts as full volume
    std::vector<float> mix(128, 0.0f);
    first.Render(mix.data(), 64);
    second.Render(mix.data(), 64);
    for (float v : mix) ASSERT_FLOAT_EQ(v, 1.5f);
}

TEST(StreamMix, TheEndIsPlayedOutBeforeTheStreamStops) {
    Source source{4096, 800};
    audio::CStreamChannel stream(1, 48000, Ones, &source);
    stream.Reserve(64);
    stream.Play(false);
    std::vector<float> mix(128, 0.0f);
    EXPECT_EQ(stream.Render(mix.data(), 64), 512u);
    EXPECT_EQ(stream.Render(mix.data(), 64), 288u);
    EXPECT_EQ(stream.IsActive(), BASS_ACTIVE_PLAYING) << "its last bytes are still to be heard";
    int calls = source.calls;
    EXPECT_EQ(stream.Render(mix.data(), 64), 0u);
    EXPECT_EQ(source.calls, calls) << "an ended stream is not asked again";
    stream.Played(512);
    EXPECT_EQ(stream.IsActive(), BASS_ACTIVE_PLAYING);
    stream.Played(288);
    EXPECT_EQ(stream.IsActive(), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(stream.GetPosition(), 800u);
    EXPECT_FALSE(stream.Play(false)) << "nothing left to play";
}

TEST(StreamMix, AStreamPausedWhileItsEndPlaysOutStopsWhenResumed) {
    Source source{4096, 800};
    audio::CStreamChannel stream(1, 48000, Ones, &source);
    stream.Reserve(64);
    stream.Play(false);
    std::vector<float> mix(128, 0.0f);
    stream.Render(mix.data(), 64);
    stream.Render(mix.data(), 64);  // the end: 288 bytes and BASS_STREAMPROC_END
    stream.Pause();
    EXPECT_EQ(stream.IsActive(), BASS_ACTIVE_PAUSED);
    stream.Played(512);
    stream.Played(288);  // the device plays out what it already holds
    EXPECT_EQ(stream.IsActive(), BASS_ACTIVE_PAUSED);
    EXPECT_FALSE(stream.Play(false)) << "nothing left to play";
    EXPECT_EQ(stream.IsActive(), BASS_ACTIVE_STOPPED) << "not stuck in the paused state";
    EXPECT_EQ(stream.GetPosition(), 800u);
}
