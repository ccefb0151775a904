#include "ModuleMeasure.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <sstream>
#include <vector>

#include <libopenmpt/libopenmpt.hpp>

#include "Text.h"

namespace th {
namespace {

// Renders the selected sub-song once from its start, at most *budget frames (which it uses
// up), and measures its length, start and end of sound and levels into *m.
void RenderSubsong(openmpt::module& mod, ModuleMeasurement* m, int64_t* budget) {
    m->length = mod.get_duration_seconds();

    // One pass through the song (repeat count 0, the default), rendered in stereo.
    constexpr size_t kFrames = 4096;
    std::vector<float> buffer(kFrames * 2);
    const int64_t maxFrames = *budget;
    int64_t frame = 0, first = -1, last = -1;
    double peak = 0;
    // Squares are summed from the first loud frame on; those after the latest loud frame
    // wait in sumPending and are dropped at the end, so trailing silence does not dilute
    // the level.
    double sumAll = 0, sumPending = 0;
    while (frame < maxFrames) {
        const size_t got = mod.read_interleaved_stereo(CModuleMeasure::kRate, kFrames, buffer.data());
        if (got == 0) break;
        for (size_t i = 0; i < got; ++i) {
            const float l = buffer[2 * i], r = buffer[2 * i + 1];
            const float a = std::max(std::fabs(l), std::fabs(r));
            if (a > peak) peak = a;
            const bool loud = a > CModuleMeasure::kSilence;
            if (loud && first < 0) first = frame + static_cast<int64_t>(i);
            if (first < 0) continue;
            sumPending += static_cast<double>(l) * l + static_cast<double>(r) * r;
            if (loud) {
                last = frame + static_cast<int64_t>(i);
                sumAll += sumPending;
                sumPending = 0;
            }
        }
        frame += static_cast<int64_t>(got);
    }
    *budget -= frame;
    if (first >= 0) {
        m->start = static_cast<double>(first) / CModuleMeasure::kRate;
        m->end = static_cast<double>(last + 1) / CModuleMeasure::kRate;
        // libopenmpt lets the last row ring on for a moment after the song's duration;
        // a song that sounds to its very end ends at its length.
        if (m->length > 0 && m->end > m->length) m->end = m->length;
        if (m->start > m->end) m->start = m->end;
        const double count = 2.0 * static_cast<double>(last - first + 1);
        m->rms = std::sqrt(sumAll / count);
    }
    m->peak = peak;
}

}  // namespace

int CModuleMeasure::TypeCode(const std::string& name) {
    if (name == "mod") return 1;
    if (name == "mtm") return 2;
    if (name == "xm") return 3;
    if (name == "s3m") return 4;
    if (name == "it") return 5;
    return 0;
}

bool CModuleMeasure::Measure(const std::string& data, const std::string& extension,
                             std::vector<ModuleMeasurement>* out, std::string* error) {
    // libopenmpt reports load failures by exception; none may leave this function.
    try {
        std::ostringstream log;  // libopenmpt's warnings about quirky files are not ours to print
        openmpt::module mod(data.data(), data.size(), log);
        ModuleMeasurement m;
        m.type = TypeCode(mod.get_metadata("type"));
        if (m.type == 0) {
            m.type = TypeCode(extension);
            if (m.type == 0) {
                *error = "not a MOD, MTM, XM, S3M or IT module (" + mod.get_metadata("type_long") + ")";
                return false;
            }
        }
        m.title = CleanModuleText(mod.get_metadata("title"));
        m.artist = CleanModuleText(mod.get_metadata("artist"));
        m.tool = CleanModuleText(mod.get_metadata("tracker"));
        // An unidentified tracker is left empty: the client then names the format's own.
        if (m.tool == "Unknown") m.tool.clear();
        m.channels = mod.get_num_channels();
        m.instruments = mod.get_num_instruments();
        if (m.instruments == 0) m.instruments = mod.get_num_samples();
        // A MOD file has 15 or 31 sample slots, used or not; INST is the slot count, which
        // tells the client which of the two layouts the file has.
        if (m.type == 1) m.instruments = mod.get_num_samples();
        m.subsongs = std::max(1, mod.get_num_subsongs());
        std::vector<ModuleMeasurement> all;
        int64_t budget = static_cast<int64_t>(kMaxSeconds * kRate);
        for (int k = 0; k < m.subsongs; ++k) {
            mod.select_subsong(k);
            ModuleMeasurement one = m;
            RenderSubsong(mod, &one, &budget);
            all.push_back(std::move(one));
        }
        *out = std::move(all);
        return true;
    } catch (const std::exception& e) {
        *error = std::string("libopenmpt cannot load it: ") + e.what();
    } catch (...) {
        *error = "libopenmpt cannot load it";
    }
    return false;
}

}  // namespace th
