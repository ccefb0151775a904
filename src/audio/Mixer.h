#pragma once
// The output thread: fills the device's buffers with the sum of the playing streams and tells
// each stream when its share of a buffer has been played.

#include "base/Lock.h"
#include "audio/OutputDevice.h"
#include "audio/StreamChannel.h"

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

private:
    void Run();

    std::unique_ptr<COutputDevice> device_;
    DWORD frames_ = 0;
    HANDLE quit_ = nullptr;
    std::thread thread_;

    CLock lock_;  // guards streams_
    std::vector<std::shared_ptr<CStreamChannel>> streams_;

    // Mixer thread only: which streams gave how many bytes to each buffer.
    std::vector<std::vector<std::pair<std::shared_ptr<CStreamChannel>, DWORD>>> contents_;
};

}  // namespace audio
