// The output thread against a device of the test's own, which records what it "plays" and can
// stop returning buffers the way an unplugged or hung device does.

#include "audio/Mixer.h"
#include "base/Lock.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using audio::CMixer;
using audio::COutputDevice;
using audio::CStreamChannel;

constexpr DWORD kRate = 8000;

// Plays a buffer a couple of milliseconds after it is queued (when the mixer next waits for
// it) and records its first sample. Told to fail, it gives no buffer back after a number of
// them until it is opened again, and Open succeeds only as often as it was told.
class FakeDevice : public COutputDevice {
public:
    bool Open(DWORD, DWORD frames, int buffers) override {
        CLockGuard guard(lock_);
        if (opened_ > 0 && reopens_-- <= 0) return false;
        ++opened_;
        buffers_.assign(buffers, std::vector<float>(std::size_t(frames) * 2));
        queued_.assign(buffers, false);
        failAt_ = -1;
        return true;
    }
    void Close() override {}
    Wait WaitFree(int index, HANDLE quit) override {
        if (WaitForSingleObject(quit, 2) == WAIT_OBJECT_0) return Wait::Quit;
        CLockGuard guard(lock_);
        if (!queued_[index]) return Wait::Free;
        if (failAt_ >= 0 && played_ >= failAt_) return Wait::Lost;
        heard_.push_back(buffers_[index][0]);
        queued_[index] = false;
        ++played_;
        return Wait::Free;
    }
    float* Buffer(int index) override { return buffers_[index].data(); }
    void Submit(int index) override {
        CLockGuard guard(lock_);
        queued_[index] = true;
    }
    void Reset() override {
        CLockGuard guard(lock_);
        queued_.assign(queued_.size(), false);
    }

    void FailAfter(int buffers, int reopens) {
        CLockGuard guard(lock_);
        failAt_ = played_ + buffers;
        reopens_ = reopens;
    }
    std::vector<float> Heard() {
        CLockGuard guard(lock_);
        return heard_;
    }
    int Opened() {
        CLockGuard guard(lock_);
        return opened_;
    }

private:
    CLock lock_;
    std::vector<std::vector<float>> buffers_;
    std::vector<bool> queued_;
    std::vector<float> heard_;
    int played_ = 0;
    int opened_ = 0;
    int failAt_ = -1;
    int reopens_ = 0;
};

// A stream of constant sound.
DWORD CALLBACK Tone(HSTREAM, void* buffer, DWORD length, void*) {
    float* samples = static_cast<float*>(buffer);
    for (DWORD i = 0; i < length / sizeof(float); i++) samples[i] = 0.5f;
    return length;
}

bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 1000 && !done(); i++) Sleep(5);
    return done();
}

class Mixer : public ::testing::Test {
protected:
    void SetUp() override {
        auto owned = std::make_unique<FakeDevice>();
        device = owned.get();
        mixer = std::make_unique<CMixer>(std::move(owned));
        stream = std::make_shared<CStreamChannel>(1, kRate, &Tone, nullptr);
        stream->Reserve(kRate / 50);
    }
    void Start() {
        ASSERT_TRUE(mixer->Start(kRate));
        mixer->Add(stream);
        ASSERT_TRUE(stream->Play(false));
        ASSERT_TRUE(WaitFor([&] { return device->Heard().size() >= 5; }));
    }
    FakeDevice* device = nullptr;
    std::unique_ptr<CMixer> mixer;
    std::shared_ptr<CStreamChannel> stream;
};

}  // namespace

TEST_F(Mixer, AStoppedOrPausedStreamIsSilentAtOnce) {
    Start();
    for (bool pause : {true, false}) {
        if (pause) stream->Pause();
        else stream->Stop();
        mixer->Flush();
        size_t before = device->Heard().size();
        Sleep(100);
        std::vector<float> heard = device->Heard();
        for (size_t i = before; i < heard.size(); i++) EXPECT_EQ(heard[i], 0.0f) << "buffer " << i;
        ASSERT_TRUE(stream->Play(false));
        ASSERT_TRUE(WaitFor([&] { return device->Heard().back() == 0.5f; }));
    }
}

TEST_F(Mixer, ALostDeviceIsOpenedAgainOrEveryStreamStops) {
    Start();
    device->FailAfter(10, 1);  // lost after ten more buffers, opens again once
    ASSERT_TRUE(WaitFor([&] { return device->Opened() == 2 && device->Heard().size() > 20; }));
    EXPECT_FALSE(mixer->IsLost());
    EXPECT_EQ(stream->IsActive(), DWORD(BASS_ACTIVE_PLAYING)) << "the music goes on on the reopened device";

    device->FailAfter(10, 0);  // lost again, and it stays away
    ASSERT_TRUE(WaitFor([&] { return mixer->IsLost(); }));
    EXPECT_EQ(stream->IsActive(), DWORD(BASS_ACTIVE_STOPPED)) << "no song plays on without sound";
}
