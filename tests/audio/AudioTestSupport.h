#pragma once
// Helpers of the audio back end's tests.

#include "audio/Bass.h"

#include <mmsystem.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace audiotest {

// Opens the default output (the silent output where the machine has no audio device) at
// `rate` for each test and releases everything after it.
class AudioTest : public ::testing::Test {
protected:
    static constexpr DWORD kRate = 48000;
    void SetUp() override { ASSERT_TRUE(BASS_Init(-1, kRate, 0, nullptr, nullptr)); }
    void TearDown() override { BASS_Free(); }
};

// A real module of the fetched demo music ("tecnoballz-data\\high-score.mod").
std::wstring RealModule(const wchar_t* relative);

// A decoding module channel from an image in memory, with `flags` added to the decode flags.
HMUSIC LoadImage(const std::string& image, DWORD flags = 0, DWORD freq = 0);

// Decodes up to `frames` frames (fewer at the end of the module).
std::vector<float> Decode(HMUSIC music, size_t frames);

// Decodes until the channel delivers nothing; the frames decoded (stops after `limitFrames`).
size_t DecodeToEnd(HMUSIC music, size_t limitFrames);

}  // namespace audiotest
