#pragma once
// The two surround effects of module channels, applied to the decoded stereo signal.
//   Mode 1 (wide): raises the side signal (L - R) so that hard-panned channels move further
//   out, keeping the centre where it is.
//   Mode 2 (ambience): adds the side signal, delayed by 20 ms and in opposite polarity on the two
//   sides, which a matrix decoder sends to the rear and headphones hear as room around the
//   listener.

#include <cstddef>
#include <vector>

namespace audio {

class CSurround {
public:
    enum Mode { Off = 0, Wide = 1, Ambience = 2 };
    virtual ~CSurround() = default;
    // Sets the mode and the sample rate; allocates the delay line (may throw std::bad_alloc).
    void Configure(Mode mode, unsigned rate);
    Mode GetMode() const { return mode_; }
    // Processes `frames` interleaved stereo frames in place.
    void Process(float* samples, std::size_t frames);
private:
    Mode mode_ = Off;
    std::vector<float> delay_;  // side signal of the last 20 ms, a ring
    std::size_t at_ = 0;
};

}  // namespace audio
