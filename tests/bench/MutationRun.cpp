// Robustness run of the file readers: a good catalogue and a good playlist file are damaged in
// many ways (bytes flipped, dropped, inserted, repeated, cut off, tags broken), and each damaged
// file is read by the real reader classes exactly as the program reads them (the catalogue
// stepwise, as the tree build does; the playlist whole). A run must never crash or hang, every
// song it keeps must be a sound record, and reading the good file again with the same object
// must give exactly the first result (nothing of a damaged file may linger).
//
//   bench_MutationRun [COUNT] [SEED]     default 10000 files of each kind
#include <windows.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "library/Library.h"
#include "playlists/Playlist.h"

namespace {

constexpr int kSongs = 60;
constexpr int kStepBudget = 512;  // small steps, so that many step boundaries are crossed
constexpr DWORD kHangMs = 20000;  // one file may take this long before the run calls it a hang

struct Random {
    uint64_t state;
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<uint32_t>(state >> 11);
    }
    uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }
};

std::wstring Element(const wchar_t* name, const std::wstring& text) {
    return std::wstring(L"\r\n<") + name + L">" + text + L"</" + name + L">";
}

std::string Bytes(const std::wstring& text) {
    std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
    return bytes;
}

std::string GoodCatalogue() {
    std::wstring text = L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<LIBRARY>";
    text += Element(L"VERSION", L"77") + Element(L"DATE", L"1765000000") +
            Element(L"COUNT", std::to_wstring(kSongs));
    for (int id = 1; id <= kSongs; ++id) {
        text += L"\r\n<SONG>" + Element(L"ID", std::to_wstring(id));
        text += Element(L"TITLE", L"Title &amp; " + std::to_wstring(id));
        text += Element(L"ARTIST", L"Artist " + std::to_wstring(id % 7));
        if (id % 5 == 0) text += Element(L"COOP", L"Guest &lt;" + std::to_wstring(id) + L"&gt;");
        text += Element(L"FILE", L"a" + std::to_wstring(id % 7) + L"\\song" + std::to_wstring(id) + L".xm");
        text += Element(L"TYPE", std::to_wstring(1 + id % 5)) + Element(L"CHAN", L"8") +
                Element(L"INST", L"12") + Element(L"SIZE", std::to_wstring(1000 + id)) +
                Element(L"LENGTH", L"120.5") + Element(L"START", L"0.5") +
                Element(L"END", L"118.25") + Element(L"PEAK", L"0.75") + Element(L"RMS", L"0.2");
        text += L"\r\n</SONG>";
    }
    return Bytes(text + L"\r\n</LIBRARY>");
}

// What a reader kept, as one text that two reads can be compared by.
std::wstring Fingerprint(CLibrary& library) {
    std::wstring f = std::to_wstring(library.GetVersion(false)) + L"|" +
                     std::to_wstring(library.GetCount()) + L"|";
    for (int id = 1; id <= library.GetCount(); ++id) {
        const CSong* s = library.GetSong(id);
        if (!s) return L"missing song " + std::to_wstring(id);
        wchar_t numbers[160];
        swprintf(numbers, 160, L"%d,%d,%d,%d,%d,%d,%g,%g,%g,%g,%g;", s->id, s->size, s->channels,
                 s->instruments, s->type, s->flags, s->length, s->start, s->end, s->peak, s->rms);
        f += std::wstring(s->DisplayArtist()) + L"/" + std::wstring(s->DisplayTitle()) + L"/" + std::wstring(s->File()) + L"/" + numbers;
    }
    return f;
}

std::wstring Fingerprint(const CPlaylist& playlist) {
    std::wstring f = std::to_wstring(playlist.GetCount()) + L":";
    int column = 0;
    bool descending = false;
    playlist.GetSortState(column, descending);
    f += std::to_wstring(column) + (descending ? L"d:" : L"a:");
    for (int i = 0; i < playlist.GetCount(); ++i) f += std::to_wstring(playlist.GetIdAt(i)) + L",";
    return f;
}

int g_nonFinite = 0;

// A kept song must be usable by everybody who shows or plays it.
bool SoundSongs(CLibrary& library, std::string* why) {
    for (int id = 1; id <= library.GetCount(); ++id) {
        const CSong* s = library.GetSong(id);
        if (!s || s->id != id) { *why = "song id out of step"; return false; }
        // Figures are taken as the standard conversion reads them, so a damaged number may be
        // infinite or not a number; the readers of the figures guard against those.
        if (!std::isfinite(s->PlayLength())) ++g_nonFinite;
        (void)s->TypeName();
        (void)s->DisplayTitle().size();
    }
    if (library.GetSong(0) || library.GetSong(library.GetCount() + 1) || library.GetSong(-1)) {
        *why = "lookup outside the catalogue answered";
        return false;
    }
    return true;
}

std::string Mutate(const std::string& good, Random& r) {
    std::string s = good;
    int edits = 1 + static_cast<int>(r.Below(4));
    for (int e = 0; e < edits && !s.empty(); ++e) {
        size_t at = r.Below(static_cast<uint32_t>(s.size()));
        size_t len = 1 + r.Below(static_cast<uint32_t>(std::min<size_t>(64, s.size() - at)));
        switch (r.Below(9)) {
        case 0: s[at] = static_cast<char>(s[at] ^ (1 << r.Below(8))); break;        // flip a bit
        case 1: s[at] = static_cast<char>(r.Below(256)); break;                     // any byte
        case 2: s.erase(at, len); break;                                           // drop bytes
        case 3: s.insert(at, s.substr(r.Below(static_cast<uint32_t>(s.size())), len)); break;  // repeat
        case 4: s.resize(at); break;                                               // cut off
        case 5: s.insert(at, std::string(len, static_cast<char>(r.Below(256)))); break;
        case 6: {  // a character that breaks the markup, at a character boundary
            const wchar_t marks[] = {L'<', L'>', L'&', L'/', L';', L'\0', L'\xFFFF', L'\xD800'};
            wchar_t c = marks[r.Below(8)];
            at &= ~static_cast<size_t>(1);
            s.insert(at, reinterpret_cast<const char*>(&c), 2);
            break;
        }
        case 7: {  // an endless text: the markup is lost for the rest of the file
            std::wstring run(1 + r.Below(40000), L'9');
            s.insert(at & ~static_cast<size_t>(1), Bytes(run));
            break;
        }
        default: s.erase(0, std::min<size_t>(s.size(), r.Below(4)));  // lose the byte-order mark
        }
    }
    return s;
}

// Reads the catalogue the way the tree build does: stepwise until the reader says it ended.
bool ReadStepwise(CLibrary& library, uint64_t fileBytes) {
    if (!library.Reload(kStepBudget)) return true;
    // Each step consumes up to kStepBudget characters: more steps than the file can fill is
    // a reader that no longer moves.
    uint64_t limit = fileBytes / 2 / kStepBudget + 16;
    for (uint64_t steps = 0; library.ParseStep(); ++steps)
        if (steps > limit) return false;
    return true;
}

volatile LONG g_iteration = 0;
volatile LONG g_done = 0;

DWORD WINAPI Watchdog(void*) {
    LONG last = -1;
    DWORD since = GetTickCount();
    while (!g_done) {
        Sleep(500);
        LONG now = g_iteration;
        if (now != last) {
            last = now;
            since = GetTickCount();
        } else if (GetTickCount() - since > kHangMs) {
            std::printf("HANG at file %ld (its input is kept in the temporary folder)\n", now);
            std::fflush(stdout);
            ExitProcess(3);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 20261208;
    th::TempDir dir;
    const std::wstring catPath = dir.File(L"Library.xml");
    const std::wstring listPath = dir.File(L"Playlist.xml");

    const std::string goodCatalogue = GoodCatalogue();
    CPlaylist source(CPlaylist::kUser);
    for (int i = 0; i < 40; ++i) source.Add(1 + (i * 7) % kSongs, true);
    if (!source.Save(listPath.c_str())) return 1;
    const std::string goodPlaylist = th::ReadFileBytes(listPath);
    if (goodPlaylist.empty()) return 1;

    CLibrary library(catPath);
    CPlaylist::SetLibrary(&library);
    th::WriteFileBytes(catPath, goodCatalogue);
    ReadStepwise(library, goodCatalogue.size());
    const std::wstring goodLibraryPrint = Fingerprint(library);
    CPlaylist playlist(CPlaylist::kUser);
    playlist.Load(listPath.c_str());
    const std::wstring goodPlaylistPrint = Fingerprint(playlist);
    if (library.GetCount() != kSongs || playlist.GetCount() != 40) {
        std::printf("the good files do not read back (%d songs, %d entries)\n", library.GetCount(),
                    playlist.GetCount());
        return 1;
    }

    CreateThread(nullptr, 0, &Watchdog, nullptr, 0, nullptr);
    Random r{seed};
    int hangs = 0, unsound = 0, lingering = 0, keptSongs = 0, emptyReads = 0, keptEntries = 0;
    double start = th::Seconds();
    for (int i = 0; i < count; ++i) {
        InterlockedExchange(&g_iteration, i * 2);
        std::string bad = Mutate(goodCatalogue, r);
        th::WriteFileBytes(catPath, bad);
        if (!ReadStepwise(library, bad.size())) {
            ++hangs;
            std::printf("catalogue %d: the reader stopped moving\n", i);
        }
        std::string why;
        if (!SoundSongs(library, &why)) {
            ++unsound;
            if (unsound <= 5) std::printf("catalogue %d: %s\n", i, why.c_str());
        }
        keptSongs += library.GetCount();
        if (library.GetCount() == 0) ++emptyReads;
        th::WriteFileBytes(catPath, goodCatalogue);
        ReadStepwise(library, goodCatalogue.size());
        if (Fingerprint(library) != goodLibraryPrint) {
            ++lingering;
            if (lingering <= 5) std::printf("catalogue %d: the good file reads differently after it\n", i);
        }

        InterlockedExchange(&g_iteration, i * 2 + 1);
        th::WriteFileBytes(listPath, Mutate(goodPlaylist, r));
        playlist.Load(listPath.c_str());
        for (int k = 0; k < playlist.GetCount(); ++k) (void)playlist.GetIdAt(k);
        keptEntries += playlist.GetCount();
        playlist.Sort(CPlaylist::kTitle, (i & 1) != 0);  // the sort reads songs by the kept ids
        th::WriteFileBytes(listPath, goodPlaylist);
        playlist.Load(listPath.c_str());
        if (Fingerprint(playlist) != goodPlaylistPrint) {
            ++lingering;
            if (lingering <= 5) std::printf("playlist %d: the good file reads differently after it\n", i);
        }
    }
    g_done = 1;
    double seconds = th::Seconds() - start;
    CPlaylist::SetLibrary(nullptr);
    std::printf("mutation run, seed %llu: %d damaged catalogues and %d damaged playlist files in %.1f s\n",
                static_cast<unsigned long long>(seed), count, count, seconds);
    std::printf("  crashes 0, hangs %d, unsound songs %d, wrong later reads %d\n", hangs, unsound,
                lingering);
    std::printf("  songs with a non-finite play length (a damaged figure read as inf or nan): %d\n",
                g_nonFinite);
    std::printf("  kept on average %.1f of %d songs (%d reads kept none), %.1f of 40 entries\n",
                count ? keptSongs / static_cast<double>(count) : 0.0, kSongs, emptyReads,
                count ? keptEntries / static_cast<double>(count) : 0.0);
    return hangs || unsound || lingering ? 2 : 0;
}
