// tunehaven-modgen: writes a small tracker module from a description given on the command
// line, for tests and for the demo library.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "ModuleWriter.h"

namespace {

const char kHelp[] =
    "usage: tunehaven-modgen FORMAT OUT [options]\n"
    "Writes a tracker module that libopenmpt plays: FORMAT is mod, mtm, xm, s3m or it; OUT is\n"
    "the file to write. The song is LEAD silent rows, ROWS rows in which each voice plays a\n"
    "looped synthesised sample (a note every EVERY rows), then TAIL silent rows (the voices are\n"
    "set to volume 0 on the first of them), then the end, or with --loop a jump back to row 0.\n"
    "Each voice has its own sample; voices = min(SAMPLES, CHANNELS - 1), and one channel less\n"
    "for mod and mtm with a tempo other than 125. A row lasts SPEED * 2.5 / TEMPO seconds.\n"
    "\n"
    "options:\n"
    "  --title TEXT      song title (default \"tunehaven test\"; cut to the format's field)\n"
    "  --channels N      2-32, s3m 2-16 (default 4)\n"
    "  --samples N       synthesised samples, 1-8 (default 2)\n"
    "  --lead-rows N     silent rows before the first note (default 0)\n"
    "  --rows N          rows with sound (default 32; 0 writes a silent song)\n"
    "  --tail-rows N     silent rows after the sound (default 0)\n"
    "  --speed N         ticks per row, 1-31 (default 6)\n"
    "  --tempo N         beats per minute, 32-255 (default 125)\n"
    "  --every N         rows between the notes of a voice (default 4)\n"
    "  --loop            jump back to the first row after the last\n"
    "  --subsongs N      1-8 sub-songs (s3m, it; no --loop): sub-song K plays the song K+1\n"
    "                    times over (default 1)\n"
    "  --help            this text\n"
    "\n"
    "On success it prints what it wrote, one key=value per line: format, rows, row_seconds,\n"
    "sound_start, sound_end (seconds; both 0 when the song is silent) and length (seconds of\n"
    "one pass of sub-song 0), then subsongK_length for each further sub-song. A wrong argument\n"
    "gets a one-line error and exit code 2; a write failure exit 1.\n";

int Usage(const std::string& message) {
    std::fprintf(stderr, "tunehaven-modgen: %s (see --help)\n", message.c_str());
    return 2;
}

bool ParseInt(const char* text, int* value) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < -1000000 || v > 1000000) return false;
    *value = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    th::ModuleSpec spec;
    std::string out;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") { std::fputs(kHelp, stdout); return 0; }
        if (arg == "--loop") { spec.loop = true; continue; }
        if (arg.rfind("--", 0) == 0) {
            if (i + 1 >= argc) return Usage("missing value after " + arg);
            const char* value = argv[++i];
            int* target = nullptr;
            if (arg == "--title") { spec.title = value; continue; }
            if (arg == "--channels") target = &spec.channels;
            else if (arg == "--samples") target = &spec.samples;
            else if (arg == "--lead-rows") target = &spec.leadRows;
            else if (arg == "--rows") target = &spec.soundRows;
            else if (arg == "--tail-rows") target = &spec.tailRows;
            else if (arg == "--speed") target = &spec.speed;
            else if (arg == "--tempo") target = &spec.tempo;
            else if (arg == "--every") target = &spec.noteEvery;
            else if (arg == "--subsongs") target = &spec.subsongs;
            else return Usage("unknown option " + arg);
            if (!ParseInt(value, target)) return Usage("not a number for " + arg + ": " + value);
            continue;
        }
        if (positional == 0) {
            if (!th::CModuleWriter::ParseFormat(arg, &spec.format)) return Usage("unknown format " + arg);
        } else if (positional == 1) {
            out = arg;
        } else {
            return Usage("unexpected argument " + arg);
        }
        ++positional;
    }
    if (positional < 2) return Usage("FORMAT and OUT are required");
    std::string why;
    if (!th::CModuleWriter::Validate(spec, &why)) return Usage(why);
    const std::string bytes = th::CModuleWriter::Write(spec);
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::fprintf(stderr, "tunehaven-modgen: cannot write %s\n", out.c_str());
        return 1;
    }
    const double row = th::CModuleWriter::RowSeconds(spec);
    const int rows = spec.leadRows + spec.soundRows + spec.tailRows;
    const bool sound = spec.soundRows > 0;
    std::printf("format=%s\nrows=%d\nrow_seconds=%.6f\nsound_start=%.6f\nsound_end=%.6f\nlength=%.6f\n",
                th::CModuleWriter::FormatName(spec.format), rows, row,
                sound ? spec.leadRows * row : 0.0,
                sound ? (spec.tailRows > 0 ? (spec.leadRows + spec.soundRows) * row : rows * row) : 0.0,
                rows * row);
    for (int k = 1; k < spec.subsongs; ++k)
        std::printf("subsong%d_length=%.6f\n", k, th::CModuleWriter::SubsongSeconds(spec, k));
    return 0;
}
