#pragma once
// Writes small but complete tracker modules (MOD, MTM, XM, S3M, IT) from a simple description,
// so that tests and the demo library get songs whose silence, length and loop are known exactly.
#include <string>

namespace th {

enum class ModuleFormat { Mod = 1, Mtm = 2, Xm = 3, S3m = 4, It = 5 };

// The song: leadRows of silence, soundRows in which every voice plays a note every noteEvery
// rows, tailRows of silence (the voices are silenced on the first tail row), then the end or,
// with loop, a jump back to the first row. Each voice plays its own synthesised, looped sample.
// With several sub-songs (S3M and IT only) the order list holds them one after the other, each
// closed by an end-of-song marker: sub-song k plays the song k + 1 times in a row.
struct ModuleSpec {
    ModuleFormat format = ModuleFormat::Mod;
    std::string title = "tunehaven test";
    int channels = 4;     // 2 to 32 (S3M: 2 to 16)
    int samples = 2;      // 1 to 8 synthesised samples; voices = samples, within channels - 1
    int leadRows = 0;
    int soundRows = 32;
    int tailRows = 0;
    int speed = 6;        // ticks per row
    int tempo = 125;      // beats per minute (a tick lasts 2.5 / tempo seconds)
    int noteEvery = 4;    // rows between the notes of a voice
    bool loop = false;
    int subsongs = 1;     // 1 to 8; more than one needs S3M or IT and no loop
};

class CModuleWriter {
public:
    virtual ~CModuleWriter() = default;

    // Checks the description; on failure error holds a one-line reason.
    static bool Validate(const ModuleSpec& spec, std::string* error);

    // The module file's bytes; empty when the description is not valid.
    static std::string Write(const ModuleSpec& spec);

    // Seconds per row at the song's speed and tempo.
    static double RowSeconds(const ModuleSpec& spec) { return spec.speed * 2.5 / spec.tempo; }
    // Seconds of one pass of sub-song k.
    static double SubsongSeconds(const ModuleSpec& spec, int k) {
        return (k + 1) * (spec.leadRows + spec.soundRows + spec.tailRows) * RowSeconds(spec);
    }

    static bool ParseFormat(const std::string& name, ModuleFormat* format);
    static const char* FormatName(ModuleFormat format);
};

}  // namespace th
