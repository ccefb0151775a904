#include "audio/StreamChannel.h"

#include <algorithm>

namespace audio {
namespace {
constexpr DWORD kFrameBytes = 8;
// A proc that keeps returning a few bytes must not hold the mixer forever.
constexpr int kMaxProcCalls = 64;
}  // namespace

CStreamChannel::CStreamChannel(HSTREAM handle, DWORD rate, STREAMPROC* proc, void* user)
    : handle_(handle), rate_(rate), proc_(proc), user_(user) {}

void CStreamChannel::Reserve(DWORD frames) { buffer_.assign(std::size_t(frames) * 2, 0.0f); }

bool CStreamChannel::Play(bool restart) {
    CLockGuard guard(stateLock_);
    if (restart) ended_ = false;
    if (ended_ && queued_ == 0) {
        // Nothing left to play. A stream paused while its last bytes were played out has
        // finished meanwhile: it is stopped now, not paused for good.
        state_ = State::Stopped;
        return false;
    }
    state_ = State::Playing;
    stalled_ = false;
    return true;
}

void CStreamChannel::Pause() {
    CLockGuard guard(stateLock_);
    if (state_ == State::Playing) state_ = State::Paused;
}

void CStreamChannel::Stop() {
    {
        CLockGuard guard(stateLock_);
        state_ = State::Stopped;
    }
    // Wait for a proc call that began before the state changed.
    CLockGuard wait(procLock_);
}

DWORD CStreamChannel::IsActive() {
    CLockGuard guard(stateLock_);
    switch (state_) {
    case State::Playing: return stalled_ ? BASS_ACTIVE_STALLED : BASS_ACTIVE_PLAYING;
    case State::Paused: return BASS_ACTIVE_PAUSED;
    case State::Stopped: break;
    }
    return BASS_ACTIVE_STOPPED;
}

QWORD CStreamChannel::GetPosition() {
    CLockGuard guard(stateLock_);
    return played_;
}

void CStreamChannel::SetVolume(float volume) {
    if (!(volume >= 0.0f)) volume = 0.0f;  // also NaN
    volume_ = std::min(volume, 1.0f);
}

DWORD CStreamChannel::Render(float* mix, DWORD frames) {
    DWORD want = std::min<DWORD>(frames, DWORD(buffer_.size() / 2)) * kFrameBytes;
    DWORD got = 0;
    bool ended = false;
    {
        CLockGuard procGuard(procLock_);
        {
            CLockGuard guard(stateLock_);
            if (state_ != State::Playing || ended_) return 0;
        }
        auto* bytes = reinterpret_cast<char*>(buffer_.data());
        for (int call = 0; call < kMaxProcCalls && got < want; call++) {
            DWORD result = proc_(handle_, bytes + got, want - got, user_);
            DWORD n = std::min(result & ~BASS_STREAMPROC_END, want - got) / kFrameBytes * kFrameBytes;
            got += n;
            if (result & BASS_STREAMPROC_END) {
                ended = true;
                break;
            }
            if (n == 0) break;
        }
    }
    {
        CLockGuard guard(stateLock_);
        if (ended) ended_ = true;
        stalled_ = got == 0 && !ended;
        queued_ += got;
        if (ended_ && queued_ == 0 && state_ == State::Playing) state_ = State::Stopped;
    }
    float volume = volume_;
    for (DWORD i = 0; i < got / sizeof(float); i++) mix[i] += buffer_[i] * volume;
    return got;
}

void CStreamChannel::Played(DWORD bytes) {
    CLockGuard guard(stateLock_);
    played_ += bytes;
    queued_ -= std::min<QWORD>(bytes, queued_);
    if (ended_ && queued_ == 0 && state_ == State::Playing) state_ = State::Stopped;
}

}  // namespace audio
