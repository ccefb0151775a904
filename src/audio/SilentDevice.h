#pragma once
// An output without sound that consumes its buffers at real-time pace, for machines without an
// audio device: streams play, their positions advance and they end just as on a real device.

#include "audio/OutputDevice.h"

#include <vector>

namespace audio {

class CSilentDevice : public COutputDevice {
public:
    CSilentDevice();
    ~CSilentDevice() override;
    bool Open(DWORD rate, DWORD frames, int buffers) override;
    bool WaitFree(int index, HANDLE quit) override;
    float* Buffer(int index) override;
    void Submit(int index) override;
private:
    double Now() const;  // milliseconds on the performance counter

    double frequency_ = 1.0;     // performance counter ticks per millisecond
    double period_ = 0.0;        // milliseconds one buffer lasts
    double lastDone_ = 0.0;      // when the newest submitted buffer will have been played
    std::vector<double> doneAt_; // per buffer; negative while never submitted
    std::vector<std::vector<float>> buffers_;
    bool timerPeriod_ = false;   // timeBeginPeriod is in force
};

}  // namespace audio
