#include "ModuleWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace th {
namespace {

constexpr int kRowsPerPattern = 64;
constexpr int kSampleFrames = 512;   // 16 periods of 32 frames, looped whole
constexpr int kMaxPatterns = 64;

// One cell of the format-neutral song. note is a semitone offset from the base note.
enum class Fx { None, Speed, Tempo, Jump, Break, Volume };
struct Cell {
    bool hasNote = false;
    int note = 0;
    int sample = 0;      // 1-based
    int volume = -1;     // volume column (S3M, IT), -1 none
    Fx fx = Fx::None;
    int param = 0;
};

struct Song {
    int channels = 0;
    int rows = 0;
    std::vector<Cell> cells;  // rows * channels
    std::vector<std::vector<int8_t>> samples;
    Cell& At(int row, int ch) { return cells[static_cast<size_t>(row) * channels + ch]; }
    const Cell& At(int row, int ch) const { return cells[static_cast<size_t>(row) * channels + ch]; }
    int Patterns() const { return (rows + kRowsPerPattern - 1) / kRowsPerPattern; }
};

// Whether speed and tempo have to be set by pattern effects (the format's header has no field).
bool TimingByEffects(const ModuleSpec& s) {
    return s.format == ModuleFormat::Mod || s.format == ModuleFormat::Mtm;
}

int Voices(const ModuleSpec& s) {
    const int reserved = 1 + (TimingByEffects(s) && s.tempo != 125 ? 1 : 0);
    return std::min(s.samples, s.channels - reserved);
}

std::vector<int8_t> Synthesise(int index) {
    std::vector<int8_t> data(kSampleFrames);
    constexpr double kPi = 3.14159265358979323846;
    for (int i = 0; i < kSampleFrames; ++i) {
        const double phase = (i % 32) / 32.0;
        double v = 0;
        switch (index % 4) {
        case 0: v = phase < 0.5 ? 1.0 : -1.0; break;                  // square
        case 1: v = std::sin(2 * kPi * phase); break;                   // sine
        case 2: v = 2.0 * phase - 1.0; break;                           // saw
        default: v = phase < 0.5 ? 4 * phase - 1 : 3 - 4 * phase; break; // triangle
        }
        data[i] = static_cast<int8_t>(std::lround(v * 120));
    }
    return data;
}

Song Compose(const ModuleSpec& s) {
    Song song;
    song.channels = s.channels;
    song.rows = s.leadRows + s.soundRows + s.tailRows;
    song.cells.assign(static_cast<size_t>(song.rows) * song.channels, Cell{});
    for (int i = 0; i < s.samples; ++i) song.samples.push_back(Synthesise(i));

    static const int kArpeggio[4] = {0, 4, 7, 12};
    const int voices = Voices(s);
    for (int v = 0; v < voices; ++v) {
        for (int r = 0; r < s.soundRows; r += s.noteEvery) {
            Cell& c = song.At(s.leadRows + r, v);
            c.hasNote = true;
            c.note = kArpeggio[(r / s.noteEvery) % 4] - (v % 2 ? 5 : 0);
            c.sample = v + 1;
        }
        if (s.tailRows > 0 && s.soundRows > 0) {
            Cell& c = song.At(s.leadRows + s.soundRows, v);
            c.volume = 0;
            c.fx = Fx::Volume;
            c.param = 0;
        }
    }
    const int ctrl = s.channels - 1;
    if (TimingByEffects(s)) {
        if (s.speed != 6) { song.At(0, ctrl).fx = Fx::Speed; song.At(0, ctrl).param = s.speed; }
        if (s.tempo != 125) { song.At(0, ctrl - 1).fx = Fx::Tempo; song.At(0, ctrl - 1).param = s.tempo; }
    }
    Cell& last = song.At(song.rows - 1, ctrl);
    const bool fixedPatterns = s.format == ModuleFormat::Mod || s.format == ModuleFormat::Mtm ||
                               s.format == ModuleFormat::S3m;
    if (s.loop) { last.fx = Fx::Jump; last.param = 0; }
    else if (fixedPatterns && song.rows % kRowsPerPattern != 0) { last.fx = Fx::Break; last.param = 0; }
    return song;
}

// Byte writers.
void Put8(std::string& o, int v) { o.push_back(static_cast<char>(v & 0xFF)); }
void Put16le(std::string& o, int v) { Put8(o, v); Put8(o, v >> 8); }
void Put32le(std::string& o, uint32_t v) { Put16le(o, static_cast<int>(v & 0xFFFF)); Put16le(o, static_cast<int>(v >> 16)); }
void Put16be(std::string& o, int v) { Put8(o, v >> 8); Put8(o, v); }
void PutText(std::string& o, const std::string& text, size_t width) {
    for (size_t i = 0; i < width; ++i) o.push_back(i < text.size() ? text[i] : '\0');
}
void Set16le(std::string& o, size_t at, int v) { o[at] = static_cast<char>(v & 0xFF); o[at + 1] = static_cast<char>((v >> 8) & 0xFF); }
void Set32le(std::string& o, size_t at, uint32_t v) { Set16le(o, at, static_cast<int>(v & 0xFFFF)); Set16le(o, at + 2, static_cast<int>(v >> 16)); }
void Align16(std::string& o) { while (o.size() % 16) o.push_back('\0'); }

int PatternRows(const Song& song, int pattern, bool variable) {
    if (!variable) return kRowsPerPattern;
    return std::min(kRowsPerPattern, song.rows - pattern * kRowsPerPattern);
}
// The order list: the patterns in turn, or for several sub-songs sub-song k as the patterns
// k + 1 times over, each sub-song closed by the end-of-song marker 255.
std::vector<int> OrderList(const ModuleSpec& s, int patterns) {
    std::vector<int> orders;
    for (int k = 0; k < s.subsongs; ++k) {
        for (int pass = 0; pass < (s.subsongs > 1 ? k + 1 : 1); ++pass)
            for (int p = 0; p < patterns; ++p) orders.push_back(p);
        orders.push_back(255);
    }
    return orders;
}

const Cell* CellAt(const Song& song, int pattern, int row, int ch) {
    static const Cell kEmpty;
    const int r = pattern * kRowsPerPattern + row;
    return r < song.rows ? &song.At(r, ch) : &kEmpty;
}

// ProTracker-style effect of a cell (MOD, MTM and XM share these numbers).
void ModEffect(const Cell& c, int* fx, int* param) {
    switch (c.fx) {
    case Fx::Speed:  *fx = 0xF; *param = c.param; break;
    case Fx::Tempo:  *fx = 0xF; *param = c.param; break;
    case Fx::Jump:   *fx = 0xB; *param = c.param; break;
    case Fx::Break:  *fx = 0xD; *param = c.param; break;
    case Fx::Volume: *fx = 0xC; *param = c.param; break;
    case Fx::None:   *fx = 0; *param = 0; break;
    }
}

// Impulse/Scream Tracker letters: A speed, B jump, C break, T tempo; volume goes in its column.
void ItEffect(const Cell& c, int* fx, int* param) {
    switch (c.fx) {
    case Fx::Speed:  *fx = 1; *param = c.param; break;
    case Fx::Tempo:  *fx = 20; *param = c.param; break;
    case Fx::Jump:   *fx = 2; *param = c.param; break;
    case Fx::Break:  *fx = 3; *param = c.param; break;
    case Fx::Volume: case Fx::None: *fx = 0; *param = 0; break;
    }
}

std::string WriteMod(const ModuleSpec& s, const Song& song) {
    static const int kPeriods[36] = {
        856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
        428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
        214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};
    std::string o;
    PutText(o, s.title, 20);
    for (int i = 0; i < 31; ++i) {
        const bool used = i < static_cast<int>(song.samples.size());
        PutText(o, used ? "synth " + std::to_string(i + 1) : "", 22);
        Put16be(o, used ? kSampleFrames / 2 : 0);
        Put8(o, 0);
        Put8(o, used ? 64 : 0);
        Put16be(o, 0);
        Put16be(o, used ? kSampleFrames / 2 : 1);
    }
    const int patterns = song.Patterns();
    Put8(o, patterns);
    Put8(o, 0);
    for (int i = 0; i < 128; ++i) Put8(o, i < patterns ? i : 0);
    std::string sig = s.channels == 4 ? "M.K." : s.channels < 10 ? std::to_string(s.channels) + "CHN"
                                                                   : std::to_string(s.channels) + "CH";
    o += sig;
    for (int p = 0; p < patterns; ++p)
        for (int r = 0; r < kRowsPerPattern; ++r)
            for (int ch = 0; ch < s.channels; ++ch) {
                const Cell& c = *CellAt(song, p, r, ch);
                const int period = c.hasNote ? kPeriods[std::clamp(12 + c.note, 0, 35)] : 0;
                const int smp = c.hasNote ? c.sample : 0;
                int fx = 0, param = 0;
                ModEffect(c, &fx, &param);
                Put8(o, (smp & 0xF0) | ((period >> 8) & 0x0F));
                Put8(o, period & 0xFF);
                Put8(o, ((smp & 0x0F) << 4) | fx);
                Put8(o, param);
            }
    for (const auto& smp : song.samples)
        for (int8_t v : smp) Put8(o, v);
    return o;
}

std::string WriteMtm(const ModuleSpec& s, const Song& song) {
    const int patterns = song.Patterns();
    // One stored track per non-empty channel of a pattern; track 0 is the implicit empty one.
    std::vector<std::string> tracks;
    std::vector<int> sequence(static_cast<size_t>(patterns) * 32, 0);
    for (int p = 0; p < patterns; ++p)
        for (int ch = 0; ch < s.channels; ++ch) {
            std::string t;
            bool empty = true;
            for (int r = 0; r < kRowsPerPattern; ++r) {
                const Cell& c = *CellAt(song, p, r, ch);
                const int note = c.hasNote ? std::clamp(24 + c.note, 1, 63) : 0;
                const int smp = c.hasNote ? c.sample : 0;
                int fx = 0, param = 0;
                ModEffect(c, &fx, &param);
                if (note || smp || fx || param) empty = false;
                Put8(t, (note << 2) | ((smp >> 4) & 0x03));
                Put8(t, ((smp & 0x0F) << 4) | fx);
                Put8(t, param);
            }
            if (empty) continue;
            tracks.push_back(t);
            sequence[static_cast<size_t>(p) * 32 + ch] = static_cast<int>(tracks.size());
        }
    std::string o = "MTM";
    Put8(o, 0x10);
    PutText(o, s.title, 20);
    Put16le(o, static_cast<int>(tracks.size()));
    Put8(o, patterns - 1);
    Put8(o, patterns - 1);
    Put16le(o, 0);
    Put8(o, static_cast<int>(song.samples.size()));
    Put8(o, 0);
    Put8(o, kRowsPerPattern);
    Put8(o, s.channels);
    for (int ch = 0; ch < 32; ++ch) Put8(o, ch % 2 ? 11 : 4);
    for (size_t i = 0; i < song.samples.size(); ++i) {
        PutText(o, "synth " + std::to_string(i + 1), 22);
        Put32le(o, kSampleFrames);
        Put32le(o, 0);
        Put32le(o, kSampleFrames);
        Put8(o, 0);
        Put8(o, 64);
        Put8(o, 0);
    }
    for (int i = 0; i < 128; ++i) Put8(o, i < patterns ? i : 0);
    for (const auto& t : tracks) o += t;
    for (int v : sequence) Put16le(o, v);
    for (const auto& smp : song.samples)
        for (int8_t v : smp) Put8(o, v + 128);  // unsigned samples
    return o;
}

std::string WriteXm(const ModuleSpec& s, const Song& song) {
    std::string o = "Extended Module: ";
    PutText(o, s.title, 20);
    Put8(o, 0x1A);
    PutText(o, "FastTracker v2.00", 20);
    Put16le(o, 0x0104);
    Put32le(o, 276);
    const int patterns = song.Patterns();
    Put16le(o, patterns);
    Put16le(o, 0);
    Put16le(o, s.channels);
    Put16le(o, patterns);
    Put16le(o, static_cast<int>(song.samples.size()));
    Put16le(o, 1);  // linear frequencies
    Put16le(o, s.speed);
    Put16le(o, s.tempo);
    for (int i = 0; i < 256; ++i) Put8(o, i < patterns ? i : 0);
    for (int p = 0; p < patterns; ++p) {
        const int rows = PatternRows(song, p, true);
        std::string data;
        for (int r = 0; r < rows; ++r)
            for (int ch = 0; ch < s.channels; ++ch) {
                const Cell& c = *CellAt(song, p, r, ch);
                int fx = 0, param = 0;
                ModEffect(c, &fx, &param);
                Put8(data, c.hasNote ? std::clamp(49 + c.note, 1, 96) : 0);
                Put8(data, c.hasNote ? c.sample : 0);
                Put8(data, 0);
                Put8(data, fx);
                Put8(data, param);
            }
        Put32le(o, 9);
        Put8(o, 0);
        Put16le(o, rows);
        Put16le(o, static_cast<int>(data.size()));
        o += data;
    }
    for (size_t i = 0; i < song.samples.size(); ++i) {
        const size_t start = o.size();
        Put32le(o, 263);
        PutText(o, "synth " + std::to_string(i + 1), 22);
        Put8(o, 0);
        Put16le(o, 1);
        Put32le(o, 40);
        o.append(96 + 48 + 48, '\0');  // keymap (all notes to the one sample), no envelopes
        o.append(16, '\0');            // envelope counts and points, vibrato
        Put16le(o, 0);                 // fade-out
        o.resize(start + 263, '\0');
        const auto& smp = song.samples[i];
        Put32le(o, static_cast<uint32_t>(smp.size()));
        Put32le(o, 0);
        Put32le(o, static_cast<uint32_t>(smp.size()));
        Put8(o, 64);
        Put8(o, 0);
        Put8(o, 1);  // forward loop, 8 bits
        Put8(o, 128);
        Put8(o, 0);
        Put8(o, 0);
        PutText(o, "synth " + std::to_string(i + 1), 22);
        int8_t previous = 0;
        for (int8_t v : smp) {  // delta coding
            Put8(o, static_cast<int8_t>(v - previous));
            previous = v;
        }
    }
    return o;
}

int S3mNote(int offset) {
    const int n = std::clamp(4 * 12 + offset, 0, 9 * 12 - 1);
    return ((n / 12) << 4) | (n % 12);
}

std::string WriteS3m(const ModuleSpec& s, const Song& song) {
    const int patterns = song.Patterns();
    std::vector<int> orderList = OrderList(s, patterns);
    if (orderList.size() % 2) orderList.push_back(255);  // an even count, padded with an end marker
    const int orders = static_cast<int>(orderList.size());
    const int samples = static_cast<int>(song.samples.size());
    std::string o;
    PutText(o, s.title, 28);
    Put8(o, 0x1A);
    Put8(o, 16);
    Put16le(o, 0);
    Put16le(o, orders);
    Put16le(o, samples);
    Put16le(o, patterns);
    Put16le(o, 0);
    Put16le(o, 0x1320);
    Put16le(o, 2);  // unsigned samples
    o += "SCRM";
    Put8(o, 64);
    Put8(o, s.speed);
    Put8(o, s.tempo);
    Put8(o, 0xB0);  // stereo, master volume 48
    Put8(o, 16);    // ultra-click removal as Scream Tracker saves it
    Put8(o, 252);   // a channel panning table follows the pointers
    o.append(8, '\0');
    Put16le(o, 0);
    for (int ch = 0; ch < 32; ++ch) Put8(o, ch < s.channels ? (ch % 2 ? 8 + ch / 2 : ch / 2) : 255);
    for (int order : orderList) Put8(o, order);
    const size_t insPointers = o.size();
    o.append(static_cast<size_t>(samples) * 2 + static_cast<size_t>(patterns) * 2, '\0');
    for (int ch = 0; ch < 32; ++ch) Put8(o, 0x20 | (ch % 2 ? 0x0C : 0x03));
    Align16(o);
    std::vector<size_t> sampleHeaders;
    for (int i = 0; i < samples; ++i) {
        Set16le(o, insPointers + 2 * i, static_cast<int>(o.size() / 16));
        sampleHeaders.push_back(o.size());
        Put8(o, 1);
        PutText(o, "SYNTH" + std::to_string(i + 1) + ".SMP", 12);
        o.append(3, '\0');  // data pointer, filled below
        Put32le(o, kSampleFrames);
        Put32le(o, 0);
        Put32le(o, kSampleFrames);
        Put8(o, 64);
        Put8(o, 0);
        Put8(o, 0);
        Put8(o, 1);  // looped
        Put32le(o, 8363);
        o.append(4, '\0');
        Put16le(o, 1);  // sample memory address, as Scream Tracker's Sound Blaster driver saves it
        o.append(6, '\0');
        PutText(o, "synth " + std::to_string(i + 1), 28);
        o += "SCRS";
    }
    for (int p = 0; p < patterns; ++p) {
        Align16(o);
        Set16le(o, insPointers + 2 * samples + 2 * p, static_cast<int>(o.size() / 16));
        std::string data;
        for (int r = 0; r < kRowsPerPattern; ++r) {
            for (int ch = 0; ch < s.channels; ++ch) {
                const Cell& c = *CellAt(song, p, r, ch);
                int fx = 0, param = 0;
                ItEffect(c, &fx, &param);
                int what = ch;
                if (c.hasNote) what |= 0x20;
                if (c.volume >= 0) what |= 0x40;
                if (fx) what |= 0x80;
                if (what == ch) continue;
                Put8(data, what);
                if (c.hasNote) { Put8(data, S3mNote(c.note)); Put8(data, c.sample); }
                if (c.volume >= 0) Put8(data, c.volume);
                if (fx) { Put8(data, fx); Put8(data, param); }
            }
            Put8(data, 0);
        }
        Put16le(o, static_cast<int>(data.size()) + 2);
        o += data;
    }
    for (int i = 0; i < samples; ++i) {
        Align16(o);
        const size_t paragraph = o.size() / 16;
        o[sampleHeaders[i] + 13] = static_cast<char>((paragraph >> 16) & 0xFF);
        Set16le(o, sampleHeaders[i] + 14, static_cast<int>(paragraph & 0xFFFF));
        for (int8_t v : song.samples[i]) Put8(o, v + 128);
    }
    return o;
}

std::string WriteIt(const ModuleSpec& s, const Song& song) {
    const int patterns = song.Patterns();
    const std::vector<int> orderList = OrderList(s, patterns);  // ends with an end marker
    const int orders = static_cast<int>(orderList.size());
    const int samples = static_cast<int>(song.samples.size());
    std::string o = "IMPM";
    PutText(o, s.title, 26);
    Put16le(o, 0x1004);
    Put16le(o, orders);
    Put16le(o, 0);
    Put16le(o, samples);
    Put16le(o, patterns);
    Put16le(o, 0x0214);
    Put16le(o, 0x0214);
    Put16le(o, 0x0009);  // stereo, linear slides, samples only
    Put16le(o, 0);
    Put8(o, 128);
    Put8(o, 48);
    Put8(o, s.speed);
    Put8(o, s.tempo);
    Put8(o, 128);
    Put8(o, 0);
    Put16le(o, 0);
    Put32le(o, 0);
    Put32le(o, 0);
    for (int ch = 0; ch < 64; ++ch) Put8(o, ch < s.channels ? 32 : 32 | 128);
    for (int ch = 0; ch < 64; ++ch) Put8(o, 64);
    for (int order : orderList) Put8(o, order);
    const size_t smpPointers = o.size();
    o.append(static_cast<size_t>(samples) * 4 + static_cast<size_t>(patterns) * 4, '\0');
    std::vector<size_t> sampleHeaders;
    for (int i = 0; i < samples; ++i) {
        Set32le(o, smpPointers + 4 * i, static_cast<uint32_t>(o.size()));
        sampleHeaders.push_back(o.size());
        o += "IMPS";
        PutText(o, "SYNTH" + std::to_string(i + 1) + ".SMP", 12);
        Put8(o, 0);
        Put8(o, 64);
        Put8(o, 0x01 | 0x10);  // sample present, looped
        Put8(o, 64);
        PutText(o, "synth " + std::to_string(i + 1), 26);
        Put8(o, 0x01);  // signed samples
        Put8(o, 32);
        Put32le(o, kSampleFrames);
        Put32le(o, 0);
        Put32le(o, kSampleFrames);
        Put32le(o, 8363);
        Put32le(o, 0);
        Put32le(o, 0);
        Put32le(o, 0);  // data pointer, filled below
        Put32le(o, 0);
    }
    for (int p = 0; p < patterns; ++p) {
        Set32le(o, smpPointers + 4 * samples + 4 * p, static_cast<uint32_t>(o.size()));
        const int rows = PatternRows(song, p, true);
        std::string data;
        for (int r = 0; r < rows; ++r) {
            for (int ch = 0; ch < s.channels; ++ch) {
                const Cell& c = *CellAt(song, p, r, ch);
                int fx = 0, param = 0;
                ItEffect(c, &fx, &param);
                // Every channel gets an event on the first row: players count the channels
                // of an IT file by the ones its patterns use.
                const bool marker = p == 0 && r == 0 && !c.hasNote && c.volume < 0 && !fx;
                int mask = 0;
                if (c.hasNote) mask |= 0x01 | 0x02;
                if (c.volume >= 0 || marker) mask |= 0x04;
                if (fx) mask |= 0x08;
                if (!mask) continue;
                Put8(data, (ch + 1) | 0x80);
                Put8(data, mask);
                if (c.hasNote) { Put8(data, std::clamp(60 + c.note, 0, 119)); Put8(data, c.sample); }
                // Where a sub-song plays the song again, the marker silences what still
                // rings, so that each pass opens as silent as the first.
                if (mask & 0x04) Put8(data, marker ? (s.subsongs > 1 ? 0 : 64) : c.volume);
                if (fx) { Put8(data, fx); Put8(data, param); }
            }
            Put8(data, 0);
        }
        Put16le(o, static_cast<int>(data.size()));
        Put16le(o, rows);
        Put32le(o, 0);
        o += data;
    }
    for (int i = 0; i < samples; ++i) {
        Set32le(o, sampleHeaders[i] + 0x48, static_cast<uint32_t>(o.size()));
        for (int8_t v : song.samples[i]) Put8(o, v);
    }
    return o;
}

}  // namespace

bool CModuleWriter::Validate(const ModuleSpec& s, std::string* error) {
    auto fail = [&](const char* why) { if (error) *error = why; return false; };
    const int maxChannels = s.format == ModuleFormat::S3m ? 16 : 32;
    if (s.channels < 2 || s.channels > maxChannels) return fail("channels must be 2 to 32 (S3M: 16)");
    if (s.samples < 1 || s.samples > 8) return fail("samples must be 1 to 8");
    if (s.leadRows < 0 || s.soundRows < 0 || s.tailRows < 0) return fail("row counts must not be negative");
    const int rows = s.leadRows + s.soundRows + s.tailRows;
    if (rows < 2 || rows > kMaxPatterns * kRowsPerPattern) return fail("the song must have 2 to 4096 rows");
    if (s.speed < 1 || s.speed > 31) return fail("speed must be 1 to 31");
    if (s.tempo < 32 || s.tempo > 255) return fail("tempo must be 32 to 255");
    if (s.noteEvery < 1) return fail("note spacing must be at least 1 row");
    if (s.soundRows > 0 && Voices(s) < 1) return fail("too few channels for the voices and the tempo");
    if (s.subsongs < 1 || s.subsongs > 8) return fail("sub-songs must be 1 to 8");
    if (s.subsongs > 1 && s.format != ModuleFormat::S3m && s.format != ModuleFormat::It)
        return fail("only s3m and it hold several sub-songs");
    if (s.subsongs > 1 && s.loop) return fail("sub-songs do not loop");
    if (s.subsongs * (s.subsongs + 1) / 2 * ((rows + kRowsPerPattern - 1) / kRowsPerPattern) + s.subsongs > 254)
        return fail("the sub-songs need more than 254 orders");
    return true;
}

std::string CModuleWriter::Write(const ModuleSpec& spec) {
    if (!Validate(spec, nullptr)) return {};
    const Song song = Compose(spec);
    switch (spec.format) {
    case ModuleFormat::Mod: return WriteMod(spec, song);
    case ModuleFormat::Mtm: return WriteMtm(spec, song);
    case ModuleFormat::Xm:  return WriteXm(spec, song);
    case ModuleFormat::S3m: return WriteS3m(spec, song);
    case ModuleFormat::It:  return WriteIt(spec, song);
    }
    return {};
}

bool CModuleWriter::ParseFormat(const std::string& name, ModuleFormat* format) {
    std::string n;
    for (char c : name) n.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    if (n == "mod") *format = ModuleFormat::Mod;
    else if (n == "mtm") *format = ModuleFormat::Mtm;
    else if (n == "xm") *format = ModuleFormat::Xm;
    else if (n == "s3m") *format = ModuleFormat::S3m;
    else if (n == "it") *format = ModuleFormat::It;
    else return false;
    return true;
}

const char* CModuleWriter::FormatName(ModuleFormat format) {
    switch (format) {
    case ModuleFormat::Mod: return "mod";
    case ModuleFormat::Mtm: return "mtm";
    case ModuleFormat::Xm:  return "xm";
    case ModuleFormat::S3m: return "s3m";
    case ModuleFormat::It:  return "it";
    }
    return "";
}

}  // namespace th
