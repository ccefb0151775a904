#pragma once
// An output without sound that consumes its buffers at real-time pace, for machines without an
// audio device: streams play, their positions advance and they end just as on a real device.

#include "audio/OutputDevice.h"
#include "base/Handle.h"
#include "base/Lock.h"

#include <vector>

namespace audio {

class CSilentDevice : public COutputDevice {
public:
    CSilentDevice();
    ~CSilentDevice() override;
    bool Open(DWORD rate, DWORD frames, int buffers) override;
    void Close() override {}
    Wait WaitFree(int index, HANDLE quit) override;
    float* Buffer(int index) override;
    void Submit(int index) override;
    void Reset() override;
private:
    double Now() const;  // milliseconds on the performance counter

    double frequency_ = 1.0;     // performance counter ticks per millisecond
    double period_ = 0.0;        // milliseconds one buffer lasts
    CLock lock_;                 // guards lastDone_ and doneAt_ (Reset comes from any thread)
    double lastDone_ = 0.0;      // when the newest submitted buffer will have been played
    std::vector<double> doneAt_; // per buffer; negative while never submitted
    EventHandle reset_;          // wakes a WaitFree when the queue is dropped
    std::vector<std::vector<float>> buffers_;
    bool timerPeriod_ = false;   // timeBeginPeriod is in force
};

}  // namespace audio
