#include "audio/Surround.h"

#include <algorithm>

namespace audio {
namespace {
constexpr float kWideSide = 0.6f;      // extra side signal of mode 1: side gain 1.6
constexpr float kAmbienceLevel = 0.5f; // level of the delayed side signal of mode 2
constexpr unsigned kAmbienceMs = 20;
}  // namespace

void CSurround::Configure(Mode mode, unsigned rate) {
    if (mode == Ambience) {
        std::size_t length = std::max<std::size_t>(1, std::size_t(rate) * kAmbienceMs / 1000);
        if (mode_ != Ambience || delay_.size() != length) {
            delay_.assign(length, 0.0f);
            at_ = 0;
        }
    }
    mode_ = mode;
}

void CSurround::Process(float* samples, std::size_t frames) {
    switch (mode_) {
    case Off:
        return;
    case Wide:
        for (std::size_t i = 0; i < frames; i++) {
            float l = samples[2 * i], r = samples[2 * i + 1];
            float side = (l - r) * 0.5f * kWideSide;
            samples[2 * i] = l + side;
            samples[2 * i + 1] = r - side;
        }
        return;
    case Ambience:
        for (std::size_t i = 0; i < frames; i++) {
            float l = samples[2 * i], r = samples[2 * i + 1];
            float delayed = delay_[at_];
            delay_[at_] = (l - r) * 0.5f;
            at_ = at_ + 1 == delay_.size() ? 0 : at_ + 1;
            samples[2 * i] = l + kAmbienceLevel * delayed;
            samples[2 * i + 1] = r - kAmbienceLevel * delayed;
        }
        return;
    }
}

}  // namespace audio
