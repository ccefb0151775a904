#include "audio/SilentDevice.h"

#include <mmsystem.h>

#include <algorithm>
#include <cmath>
#include <new>

namespace audio {

CSilentDevice::CSilentDevice() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    frequency_ = double(f.QuadPart) / 1000.0;
}

CSilentDevice::~CSilentDevice() {
    if (timerPeriod_) timeEndPeriod(1);
}

bool CSilentDevice::Open(DWORD rate, DWORD frames, int buffers) {
    if (rate == 0 || frames == 0 || buffers <= 0) return false;
    try {
        buffers_.assign(buffers, std::vector<float>(std::size_t(frames) * 2));
        doneAt_.assign(buffers, -1.0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    period_ = 1000.0 * frames / rate;
    reset_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!reset_) return false;
    // Millisecond waits keep the pace of short buffers even.
    timerPeriod_ = timeBeginPeriod(1) == TIMERR_NOERROR;
    return true;
}

double CSilentDevice::Now() const {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / frequency_;
}

COutputDevice::Wait CSilentDevice::WaitFree(int index, HANDLE quit) {
    HANDLE events[2] = {quit, reset_.get()};
    for (;;) {
        double left;
        {
            CLockGuard guard(lock_);
            left = doneAt_[index] - Now();
        }
        if (left <= 0.0) return WaitForSingleObject(quit, 0) == WAIT_OBJECT_0 ? Wait::Quit : Wait::Free;
        if (WaitForMultipleObjects(2, events, FALSE, DWORD(std::ceil(left))) == WAIT_OBJECT_0) return Wait::Quit;
    }
}

float* CSilentDevice::Buffer(int index) { return buffers_[index].data(); }

void CSilentDevice::Submit(int index) {
    // A buffer queued after the queue ran dry starts playing now, as on a device that underran.
    CLockGuard guard(lock_);
    lastDone_ = std::max(lastDone_, Now()) + period_;
    doneAt_[index] = lastDone_;
}

void CSilentDevice::Reset() {
    {
        CLockGuard guard(lock_);
        double now = Now();
        for (double& at : doneAt_) at = std::min(at, now);
        lastDone_ = now;
    }
    if (reset_) SetEvent(reset_.get());
}

}  // namespace audio
