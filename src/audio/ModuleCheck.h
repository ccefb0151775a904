#pragma once
// Checks that a module image holds all the data its header promises. libopenmpt plays what it
// can of a cut-off file, but a truncated download must not pass for a playable song: it would
// play silence or half the samples and never be fetched again.

#include <cstddef>
#include <cstdint>

namespace audio {

class CModuleCheck {
public:
    virtual ~CModuleCheck() = default;
    // False when the image is a MOD, MTM, XM, S3M or IT file whose patterns or sample data
    // reach past its end. Other formats, and images this check does not recognise, pass.
    // `type` is libopenmpt's short format name ("mod", "xm", ...).
    static bool IsComplete(const std::uint8_t* data, std::size_t size, const char* type);
};

}  // namespace audio
