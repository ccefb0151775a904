#pragma once
// An audio output that plays a ring of equal buffers of interleaved 32-bit float stereo frames,
// in order. The mixer thread fills buffer i, submits it, and later waits for buffer i to be
// free again before filling it anew; a buffer is free once the device has played it, so the
// time a buffer becomes free is when its sound has been heard.

#include <windows.h>

namespace audio {

class COutputDevice {
public:
    enum class Wait { Free, Quit, Lost };

    virtual ~COutputDevice() = default;
    // Opens the device for `buffers` buffers of `frames` frames at `rate` Hz.
    virtual bool Open(DWORD rate, DWORD frames, int buffers) = 0;
    // Closes it; Open may follow again.
    virtual void Close() = 0;
    // Waits until buffer `index` may be filled. Quit when `quit` was signalled first; Lost when
    // the device stopped taking or returning buffers (unplugged, a driver that hangs).
    virtual Wait WaitFree(int index, HANDLE quit) = 0;
    // The buffer's samples (frames × 2 floats); valid between WaitFree and Submit.
    virtual float* Buffer(int index) = 0;
    // Queues the filled buffer for playing.
    virtual void Submit(int index) = 0;
    // Drops every queued buffer unplayed, so that they are all free at once. Any thread.
    virtual void Reset() = 0;
};

}  // namespace audio
