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

#include "TestSupport.h"
#include "library/Library.h"
#include "playlists/Playlist.h"

namespace {

constexpr int kSongs = 100000;
constexpr int kArtists = 20000;
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

// A small deterministic generator, so every run reads the same catalogue.
struct Random {
    uint32_t state = 12345;
    uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    }
    uint32_t Below(uint32_t n) { return Next() % n; }
};

const wchar_t* kSyllables[] = {L"ka", L"ro", L"mi", L"zu", L"tan", L"el", L"dor", L"vi", L"sha",
                               L"qu", L"lin", L"ax", L"bo", L"rei", L"stu", L"nox"};

std::wstring Word(Random& r, int syllables) {
    std::wstring w;
    for (int i = 0; i < syllables; ++i) w += kSyllables[r.Below(16)];
    w[0] = static_cast<wchar_t>(towupper(w[0]));
    return w;
}

std::wstring ArtistName(int index) {
    Random r;
    r.state = static_cast<uint32_t>(index) * 2654435761u + 7;
    std::wstring name = Word(r, 1 + r.Below(3));
    if (r.Below(3) == 0) name += L" " + Word(r, 2);
    if (index % 50 == 0) name += L" &amp; Co";  // entities in some names
    return name + L" " + std::to_wstring(index);
}

std::wstring Title(Random& r) {
    std::wstring title = Word(r, 2 + r.Below(2));
    for (int words = r.Below(3); words > 0; --words) title += L" " + Word(r, 1 + r.Below(3));
    if (r.Below(20) == 0) title += L" &apos;remix&apos;";
    if (r.Below(40) == 0) title += L" &lt;final&gt;";
    return title;
}

std::wstring Element(const wchar_t* name, const std::wstring& text) {
    return std::wstring(L"\r\n<") + name + L">" + text + L"</" + name + L">";
}

// Writes the catalogue piece by piece so that generating it costs little memory.
bool WriteCatalogue(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::wstring text = L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<LIBRARY>";
    text += Element(L"VERSION", L"1234") + Element(L"DATE", L"1765000000") +
            Element(L"COUNT", std::to_wstring(kSongs));
    Random r;
    const wchar_t* extensions[] = {L"mod", L"mtm", L"xm", L"s3m", L"it"};
    bool ok = true;
    for (int id = 1; id <= kSongs && ok; ++id) {
        int artist = static_cast<int>(r.Below(kArtists));
        int type = 1 + static_cast<int>(r.Below(5));
        float length = 30.0f + static_cast<float>(r.Below(400000)) / 1000.0f;
        std::wstring title = Title(r);
        text += L"\r\n<SONG>";
        text += Element(L"ID", std::to_wstring(id));
        text += Element(L"TITLE", title);
        text += Element(L"ARTIST", ArtistName(artist));
        if (r.Below(10) == 0) {
            for (int coops = 1 + r.Below(2); coops > 0; --coops)
                text += Element(L"COOP", ArtistName(static_cast<int>(r.Below(kArtists))));
        }
        if (r.Below(4) == 0) text += Element(L"TOOL", L"OpenMPT 1." + std::to_wstring(r.Below(30)));
        std::wstring fileName = title.substr(0, std::min<size_t>(title.size(), 12));
        std::replace(fileName.begin(), fileName.end(), L'&', L'_');
        text += Element(L"FILE", L"a" + std::to_wstring(artist) + L"\\" + fileName + L"." +
                                     extensions[type - 1]);
        text += Element(L"UPDATE", std::to_wstring(1600000000 + r.Below(100000000)));
        text += Element(L"FLAGS", std::to_wstring(r.Below(100) == 0 ? 1 : 0));
        text += Element(L"TYPE", std::to_wstring(type));
        text += Element(L"CHAN", std::to_wstring(4 + r.Below(28)));
        text += Element(L"INST", std::to_wstring(1 + r.Below(60)));
        text += Element(L"SIZE", std::to_wstring(2000 + r.Below(2000000)));
        text += Element(L"LENGTH", std::to_wstring(length));
        text += Element(L"START", std::to_wstring(r.Below(3000) / 1000.0f));
        text += Element(L"END", std::to_wstring(length - r.Below(10000) / 1000.0f));
        text += Element(L"PEAK", std::to_wstring(r.Below(1000) / 1000.0f));
        text += Element(L"RMS", std::to_wstring(r.Below(1000) / 4000.0f));
        text += L"\r\n</SONG>";
        if (text.size() > (1u << 20) || id == kSongs) {
            if (id == kSongs) text += L"\r\n</LIBRARY>";
            DWORD written = 0;
            DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
            ok = WriteFile(file, text.data(), bytes, &written, nullptr) && written == bytes;
            text.clear();
        }
    }
    CloseHandle(file);
    return ok;
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
    if (!WriteCatalogue(path)) {
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
