// Speed and memory of the catalogue: a generated library file of 100,000 songs by about
// 20,000 artists (a tenth of them with one or two co-operating artists, entities in some
// texts) is loaded the way the tree build does it, in steps of 65,536 characters; then
// random GetSong lookups and a sort of the whole catalogue by artist are timed.
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchCatalogue.h"
#include "TestSupport.h"
#include "library/Library.h"
#include "playlists/Playlist.h"

namespace {

constexpr int kSongs = th::kBenchSongs;
constexpr int kArtists = th::kBenchArtists;
constexpr int kStepBudget = 65536;
constexpr int kRuns = 5;
constexpr int kLookups = 20000000;

struct Memory {
    double privateMb, peakPrivateMb, workingMb, peakWorkingMb;
};

// K32GetProcessMemoryInfo lives in kernel32, so no extra import library is needed.
Memory ReadMemory() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    K32GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    const double mb = 1024.0 * 1024.0;
    return {pmc.PagefileUsage / mb, pmc.PeakPagefileUsage / mb, pmc.WorkingSetSize / mb,
            pmc.PeakWorkingSetSize / mb};
}

// The scan alone: every event is taken and dropped.
class CNullReader : public CXMLReader {
protected:
    bool OnElementStart(const wchar_t*) override { return true; }
    bool OnElementEnd(const wchar_t*) override { return true; }
    bool OnText(const wchar_t*) override { return true; }
    void OnSyntaxError() override {}
};

}  // namespace

int main() {
    th::TempDir dir;
    std::wstring path = dir.File(L"Library.xml");
    if (!th::WriteBenchCatalogue(path)) {
        std::printf("cannot write the catalogue\n");
        return 1;
    }
    WIN32_FILE_ATTRIBUTE_DATA info{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info);
    double fileMb = (static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow) / (1024.0 * 1024.0);
    std::printf("catalogue: %d songs, %d artists, %.1f MB\n", kSongs, kArtists, fileMb);

    Memory before = ReadMemory();
    CLibrary library(path);
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        double start = th::Seconds();
        if (!library.Reload(kStepBudget)) return 1;
        int steps = 0;
        while (library.ParseStep()) {
            ++steps;
            library.GetProgress();
        }
        times.push_back(th::Seconds() - start);
        if (run == 0) std::printf("steps of %d characters: %d\n", kStepBudget, steps + 1);
    }
    Memory after = ReadMemory();
    std::sort(times.begin(), times.end());
    std::printf("loaded %d songs, version %d, total %.1f MB, %.1f hours\n", library.GetCount(),
                library.GetVersion(false), library.GetTotalSize() / (1024.0 * 1024.0),
                library.GetTotalDuration() / 3600.0);
    std::printf("Reload + ParseStep: best %.0f ms, median %.0f ms over %d runs -> %.0f MB/s (best), %.0f MB/s (median)\n",
                times.front() * 1000, times[kRuns / 2] * 1000, kRuns, fileMb / times.front(),
                fileMb / times[kRuns / 2]);

    CNullReader scanner;
    double start = th::Seconds();
    for (int run = 0; run < kRuns; ++run) scanner.Open(path.c_str(), 0);
    double scanSeconds = (th::Seconds() - start) / kRuns;
    std::printf("the scan alone (no record building): %.0f ms -> %.0f MB/s\n", scanSeconds * 1000,
                fileMb / scanSeconds);

    start = th::Seconds();
    library.GetVersion(true);
    std::printf("version-only read: %.2f ms\n", (th::Seconds() - start) * 1000);

    std::printf("memory: private %.1f MB before, %.1f MB after (peak %.1f MB); working set peak %.1f MB\n",
                before.privateMb, after.privateMb, after.peakPrivateMb, after.peakWorkingMb);
    std::printf("memory per song: %.0f bytes (private bytes held by the catalogue / songs)\n",
                (after.privateMb - before.privateMb) * 1024 * 1024 / library.GetCount());

    uint32_t state = 99;
    int64_t sum = 0;
    start = th::Seconds();
    for (int i = 0; i < kLookups; ++i) {
        state = state * 1664525u + 1013904223u;
        const CSong* song = library.GetSong(static_cast<int>((state >> 8) % (kSongs + 1)));
        if (song) sum += song->channels;
    }
    double lookupSeconds = th::Seconds() - start;
    std::printf("GetSong: %.0f million lookups per second (checksum %lld)\n",
                kLookups / lookupSeconds / 1e6, static_cast<long long>(sum));

    CPlaylist all(CPlaylist::kLibrary);
    for (int id = 1; id <= library.GetCount(); ++id) all.Add(id, true);
    CPlaylist::SetLibrary(&library);
    start = th::Seconds();
    all.Sort(CPlaylist::kArtistColumn, false);
    std::printf("sort of all songs by artist: %.0f ms\n", (th::Seconds() - start) * 1000);
    start = th::Seconds();
    all.Sort(CPlaylist::kDuration, true);
    std::printf("sort of all songs by duration: %.0f ms\n", (th::Seconds() - start) * 1000);
    CPlaylist::SetLibrary(nullptr);

    start = th::Seconds();
    for (int i = 0; i < 10000; ++i) library.PickRandom(0);
    std::printf("PickRandom: %.2f us per pick (first 10,000 picks)\n", (th::Seconds() - start) * 100);
    return 0;
}
