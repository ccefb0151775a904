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
    // Millisecond waits keep the pace of short buffers even.
    timerPeriod_ = timeBeginPeriod(1) == TIMERR_NOERROR;
    return true;
}

double CSilentDevice::Now() const {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / frequency_;
}

bool CSilentDevice::WaitFree(int index, HANDLE quit) {
    for (;;) {
        double left = doneAt_[index] - Now();
        if (left <= 0.0) return WaitForSingleObject(quit, 0) != WAIT_OBJECT_0;
        if (WaitForSingleObject(quit, DWORD(std::ceil(left))) == WAIT_OBJECT_0) return false;
    }
}

float* CSilentDevice::Buffer(int index) { return buffers_[index].data(); }

void CSilentDevice::Submit(int index) {
    // A buffer queued after the queue ran dry starts playing now, as on a device that underran.
    lastDone_ = std::max(lastDone_, Now()) + period_;
    doneAt_[index] = lastDone_;
}

}  // namespace audio
