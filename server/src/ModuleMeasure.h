#pragma once
// Loads one module with libopenmpt and measures what the catalogue lists about each of its
// sub-songs.
#include <cstdint>
#include <string>
#include <vector>

namespace th {

struct ModuleMeasurement {
    std::string title;    // UTF-8, cleaned
    std::string artist;   // UTF-8, cleaned; empty when the module names none
    std::string tool;     // tracker that saved the module, when known
    int type = 0;         // 1 MOD, 2 MTM, 3 XM, 4 S3M, 5 IT
    int channels = 0;
    int instruments = 0;  // instruments, or samples when the module has no instruments
                          // (for MOD, its sample slots: 15 or 31)
    double length = 0;    // seconds, libopenmpt's duration of one pass
    double start = 0;     // first moment the signal rises above the silence threshold
    double end = 0;       // last such moment; 0 when the render is silent throughout
    double peak = 0;      // largest absolute sample value, 1.0 = full scale
    double rms = 0;       // root mean square between start and end, same scale
    int subsongs = 0;     // sub-songs of the module (the same in each of its measurements);
                          // 0 when not known (measured by an older builder)
};

class CModuleMeasure {
public:
    // Rendering rate and silence threshold: -60 dBFS, well below any audible note and well
    // above the interpolation residue of a silenced channel.
    static constexpr int kRate = 44100;
    static constexpr float kSilence = 0.001f;
    // A render stops after this many seconds, all sub-songs of a file together, so a damaged
    // file cannot run for hours.
    static constexpr double kMaxSeconds = 2 * 3600;

    virtual ~CModuleMeasure() = default;

    // Measures each sub-song of the module held in data: (*out)[k] is sub-song k, rendered
    // from its own start. extension (lower case, no dot) decides TYPE when libopenmpt reports
    // a format outside the five. Returns false with error set when libopenmpt cannot load it
    // or it is not one of the five formats.
    static bool Measure(const std::string& data, const std::string& extension,
                        std::vector<ModuleMeasurement>* out, std::string* error);

    // The type code of a format or file extension ("mod", "xm", ...), 0 for any other.
    static int TypeCode(const std::string& name);
};

}  // namespace th
