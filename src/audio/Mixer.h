#pragma once
// The output thread: fills the device's buffers with the sum of the playing streams and tells
// each stream when its share of a buffer has been played.

#include "base/Lock.h"
#include "audio/OutputDevice.h"
#include "audio/StreamChannel.h"

#include <atomic>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

namespace audio {

class CMixer {
public:
    // Buffers of 20 ms, four of them: at most 80 ms between a proc call and the sound.
    static constexpr DWORD kBufferMs = 20;
    static constexpr int kBuffers = 4;

    explicit CMixer(std::unique_ptr<COutputDevice> device);
    virtual ~CMixer();  // stops the thread
    CMixer(const CMixer&) = delete;
    CMixer& operator=(const CMixer&) = delete;

    // Opens the device and starts the thread.
    bool Start(DWORD rate);
    DWORD FramesPerBuffer() const { return frames_; }
    // Whether the caller runs on the output thread (inside a stream's proc).
    bool IsOutputThread() const { return thread_.get_id() == std::this_thread::get_id(); }

    void Add(const std::shared_ptr<CStreamChannel>& stream);
    void Remove(const CStreamChannel* stream);
    // Drops the sound queued on the device, so that a stream stopped or paused is silent at
    // once rather than after the buffers already submitted have played. Not from a proc.
    void Flush();
    // The device stopped playing and could not be opened again: the thread has ended and
    // every stream is stopped.
    bool IsLost() const { return lost_; }

private:
    void Run();
    // After the device was lost: opens it again (a few tries); false when that fails or the
    // thread is told to quit.
    bool Reopen();
    void StopAll();

    std::unique_ptr<COutputDevice> device_;
    DWORD rate_ = 0;
    DWORD frames_ = 0;
    std::atomic<bool> lost_{false};
    // Held by the thread from filling a buffer to submitting it (and while it opens the device
    // again), and by Flush, so that nothing filled before a flush is submitted after it.
    CLock submitLock_;
    HANDLE quit_ = nullptr;
    std::thread thread_;

    CLock lock_;  // guards streams_
    std::vector<std::shared_ptr<CStreamChannel>> streams_;

    // Mixer thread only: which streams gave how many bytes to each buffer.
    std::vector<std::vector<std::pair<std::shared_ptr<CStreamChannel>, DWORD>>> contents_;
};

}  // namespace audio
