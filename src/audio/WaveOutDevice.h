#pragma once
// A Windows waveOut device fed with a ring of buffers. It plays 32-bit float samples where the
// driver takes them and 16-bit samples otherwise.

#include "audio/OutputDevice.h"

#include <mmsystem.h>

#include <string>
#include <vector>

namespace audio {

class CWaveOutDevice : public COutputDevice {
public:
    // `device` is a waveOut device number or WAVE_MAPPER for the system's default.
    explicit CWaveOutDevice(UINT device);
    ~CWaveOutDevice() override;
    bool Open(DWORD rate, DWORD frames, int buffers) override;
    void Close() override;
    Wait WaitFree(int index, HANDLE quit) override;
    float* Buffer(int index) override;
    void Submit(int index) override;
    void Reset() override;

    static UINT Count();
    // The device's name in the ANSI code page, or "" when it has none.
    static std::string Name(UINT device);

private:
    bool OpenFormat(DWORD rate, bool useFloat);

    UINT device_;
    HWAVEOUT wave_ = nullptr;
    HANDLE event_ = nullptr;      // signalled by the driver when a buffer is done
    bool float_ = true;
    DWORD frames_ = 0;
    bool lost_ = false;           // a buffer was refused: the device is gone
    std::vector<WAVEHDR> headers_;
    std::vector<std::vector<float>> buffers_;
    std::vector<std::vector<short>> pcm_;  // 16-bit copies when the driver refuses floats
};

}  // namespace audio
