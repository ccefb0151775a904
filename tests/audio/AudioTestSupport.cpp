#include "AudioTestSupport.h"

#include "TestSupport.h"

#include <algorithm>

namespace audiotest {

std::wstring RealModule(const wchar_t* relative) { return th::MusicDir() + relative; }

HMUSIC LoadImage(const std::string& image, DWORD flags, DWORD freq) {
    return BASS_MusicLoad(TRUE, image.data(), 0, DWORD(image.size()), BASS_MUSIC_DECODE | BASS_SAMPLE_FLOAT | flags,
                          freq);
}

std::vector<float> Decode(HMUSIC music, size_t frames) {
    std::vector<float> out(frames * 2);
    size_t done = 0;
    while (done < frames) {
        DWORD got = BASS_ChannelGetData(music, out.data() + done * 2, DWORD((frames - done) * 8));
        if (got == 0 || got == DWORD(-1)) break;
        done += got / 8;
    }
    out.resize(done * 2);
    return out;
}

size_t DecodeToEnd(HMUSIC music, size_t limitFrames) {
    std::vector<char> buffer(1 << 16);
    size_t frames = 0;
    while (frames < limitFrames) {
        DWORD want = DWORD(std::min(buffer.size(), (limitFrames - frames) * 8));
        DWORD got = BASS_ChannelGetData(music, buffer.data(), want);
        if (got == 0 || got == DWORD(-1)) break;
        frames += got / 8;
    }
    return frames;
}

}  // namespace audiotest
