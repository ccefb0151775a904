// tunehaven-catalog: builds or updates the catalogue of a library folder.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "CatalogBuilder.h"
#include "ModuleMeasure.h"

namespace {

const char kHelp[] =
    "usage: tunehaven-catalog DIR [--overrides FILE] [--jobs N] [--quiet]\n"
    "Scans the MOD, MTM, XM, S3M and IT files below DIR and writes the catalogue DIR/Library.xml\n"
    "and its manifest DIR/Library.manifest (which keeps every file's song id across builds).\n"
    "New and changed files are rendered once with libopenmpt at 44100 Hz, default settings:\n"
    "START and END are the first and last moment either channel exceeds 0.001 of full scale\n"
    "(-60 dBFS; END 0 when nothing does), PEAK is the largest sample value (1.0 = full scale)\n"
    "and RMS the root mean square between START and END. A vanished or unloadable file keeps\n"
    "its id as a hidden song (FLAGS 1). VERSION grows by one when the content changes.\n"
    "Files starting with a dot, links and names Windows cannot store are skipped and reported.\n"
    "\n"
    "  --overrides FILE  texts per path pattern: [glob] sections with artist =, coop =, title =\n"
    "                    (artist and title apply where the module has none; without an artist\n"
    "                    the song's folder name is used)\n"
    "  --jobs N          measuring threads (default: one per processor)\n"
    "  --quiet           no progress lines\n"
    "  --help            this text\n"
    "Exit codes: 0 done (skipped files included), 1 failure, 2 wrong arguments.\n";

int Usage(const std::string& message) {
    std::fprintf(stderr, "tunehaven-catalog: %s (see --help)\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    th::CatalogOptions options;
    bool quiet = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") { std::fputs(kHelp, stdout); return 0; }
        if (arg == "--quiet") { quiet = true; continue; }
        if (arg == "--overrides" || arg == "--jobs") {
            if (i + 1 >= argc) return Usage("missing value after " + arg);
            const std::string value = argv[++i];
            if (arg == "--overrides") { options.overridesPath = value; continue; }
            char* end = nullptr;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || n < 1 || n > 64) return Usage("--jobs needs a number from 1 to 64");
            options.jobs = static_cast<int>(n);
            continue;
        }
        if (arg.rfind("-", 0) == 0) return Usage("unknown option " + arg);
        if (!options.folder.empty()) return Usage("unexpected argument " + arg);
        options.folder = arg;
    }
    if (options.folder.empty()) return Usage("DIR is required");
    options.report = [quiet](const std::string& line) {
        const bool progress = line[0] == '[';
        if (quiet && progress) return;
        std::fprintf(progress ? stdout : stderr, "%s\n", line.c_str());
        std::fflush(progress ? stdout : stderr);
    };
    th::CatalogSummary s;
    std::string error;
    if (!th::CCatalogBuilder::Build(options, &s, &error)) {
        std::fprintf(stderr, "tunehaven-catalog: %s\n", error.c_str());
        return 1;
    }
    std::printf("tunehaven-catalog: %d songs (%d hidden), %d added, %d changed, %d removed, %d skipped; "
                "version %d%s\n",
                s.songs, s.hidden, s.added, s.changed, s.removed, s.skipped, s.version,
                s.versionChanged ? " (new)" : " (unchanged)");
    if (s.measured > 0)
        std::printf("tunehaven-catalog: measured %d files in %.2f s (%.1f ms per song)\n", s.measured,
                    s.measureSeconds, 1000.0 * s.measureSeconds / s.measured);
    return 0;
}
