#pragma once
// A user stream: 32-bit float stereo at the output rate, filled by the caller's STREAMPROC on
// the mixer thread. The stream counts the bytes the device has actually played (its audible
// position), apart from the bytes merely queued.
//
// Two locks: `state_` guards the play state and the counters and is held for a few
// instructions by every thread; `proc_` is held by the mixer thread while the STREAMPROC runs,
// and Stop takes it after changing the state, so that when Stop returns the proc is neither
// running nor called again.

#include "audio/Bass.h"
#include "base/Lock.h"

#include <atomic>
#include <vector>

namespace audio {

class CStreamChannel {
public:
    CStreamChannel(HSTREAM handle, DWORD rate, STREAMPROC* proc, void* user);
    virtual ~CStreamChannel() = default;
    CStreamChannel(const CStreamChannel&) = delete;
    CStreamChannel& operator=(const CStreamChannel&) = delete;

    // Allocates the stream's buffer of `frames` frames (may throw std::bad_alloc).
    void Reserve(DWORD frames);

    bool Play(bool restart);
    void Pause();
    void Stop();  // waits for a running proc
    DWORD IsActive();
    QWORD GetPosition();  // bytes played by the device
    void SetVolume(float volume);
    DWORD GetRate() const { return rate_; }

    // Mixer thread: asks the proc for `frames` frames and adds them to `mix`; the bytes taken.
    DWORD Render(float* mix, DWORD frames);
    // Mixer thread: `bytes` taken by Render have been played by the device.
    void Played(DWORD bytes);

private:
    enum class State { Stopped, Playing, Paused };

    const HSTREAM handle_;
    const DWORD rate_;
    STREAMPROC* const proc_;
    void* const user_;
    std::atomic<float> volume_{1.0f};    // any thread
    std::vector<float> buffer_;          // mixer thread only

    CLock procLock_;                     // held around the proc call
    CLock stateLock_;                    // guards the fields below
    State state_ = State::Stopped;
    bool ended_ = false;                 // the proc returned BASS_STREAMPROC_END
    bool stalled_ = false;               // the proc delivered nothing last time
    QWORD played_ = 0;
    QWORD queued_ = 0;                   // taken by the mixer, not yet played
};

}  // namespace audio
