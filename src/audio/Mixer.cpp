#include "audio/Mixer.h"

#include <algorithm>
#include <new>
#include <system_error>

namespace audio {

CMixer::CMixer(std::unique_ptr<COutputDevice> device) : device_(std::move(device)) {}

CMixer::~CMixer() {
    if (thread_.joinable()) {
        SetEvent(quit_);
        thread_.join();
    }
    if (quit_) CloseHandle(quit_);
    device_.reset();  // closes the device after the thread has let go of it
}

bool CMixer::Start(DWORD rate) {
    rate_ = rate;
    frames_ = std::max<DWORD>(1, rate * kBufferMs / 1000);
    if (!device_ || !device_->Open(rate, frames_, kBuffers)) return false;
    quit_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!quit_) return false;
    try {
        contents_.resize(kBuffers);
        for (auto& c : contents_) c.reserve(8);
        streams_.reserve(8);
        thread_ = std::thread([this] { Run(); });
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void CMixer::Add(const std::shared_ptr<CStreamChannel>& stream) {
    CLockGuard guard(lock_);
    streams_.push_back(stream);  // callers catch std::bad_alloc
}

void CMixer::Remove(const CStreamChannel* stream) {
    CLockGuard guard(lock_);
    std::erase_if(streams_, [stream](const auto& s) { return s.get() == stream; });
}

void CMixer::Flush() {
    CLockGuard guard(submitLock_);
    if (!lost_) device_->Reset();
}

void CMixer::Run() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    std::vector<std::shared_ptr<CStreamChannel>> playing;
    try {
        playing.reserve(8);
        for (int index = 0;; index = (index + 1) % kBuffers) {
            COutputDevice::Wait wait = device_->WaitFree(index, quit_);
            if (wait == COutputDevice::Wait::Quit) break;
            if (wait == COutputDevice::Wait::Lost) {
                // What was queued is gone with the device: counted as played, so that the
                // streams' positions go on from what they delivered.
                for (auto& buffer : contents_) {
                    for (auto& [stream, bytes] : buffer) stream->Played(bytes);
                    buffer.clear();
                }
                if (!Reopen()) break;
                index = -1;  // a fresh ring
                continue;
            }
            for (auto& [stream, bytes] : contents_[index]) stream->Played(bytes);
            contents_[index].clear();
            {
                CLockGuard guard(lock_);
                playing.assign(streams_.begin(), streams_.end());
            }
            CLockGuard submit(submitLock_);
            float* mix = device_->Buffer(index);
            std::fill(mix, mix + std::size_t(frames_) * 2, 0.0f);
            for (auto& stream : playing) {
                DWORD bytes = stream->Render(mix, frames_);
                if (bytes) contents_[index].emplace_back(stream, bytes);
            }
            playing.clear();
            device_->Submit(index);
        }
    } catch (const std::bad_alloc&) {
        // Out of memory on the output thread: sound stops, the program goes on.
    }
}

bool CMixer::Reopen() {
    constexpr int kTries = 3;
    constexpr DWORD kPauseMs = 250;
    for (int attempt = 0; attempt < kTries; attempt++) {
        {
            CLockGuard submit(submitLock_);
            device_->Close();
            if (device_->Open(rate_, frames_, kBuffers)) return true;
        }
        if (WaitForSingleObject(quit_, kPauseMs) == WAIT_OBJECT_0) return false;
    }
    lost_ = true;
    StopAll();
    return false;
}

void CMixer::StopAll() {
    std::vector<std::shared_ptr<CStreamChannel>> streams;
    {
        CLockGuard guard(lock_);
        streams = streams_;
    }
    for (auto& stream : streams) stream->Stop();
}

}  // namespace audio
