// Speed and memory of find in the library on the benchmark catalogue of 100,000 songs. Some
// titles carry marker words so that queries find exactly 10, 1,000 and 5,000 songs, and one
// word is in every title, so that a query finds all the songs the tree shows: one-word
// queries name the marker alone, three-word queries add two syllables that most songs contain
// (so that nearly every song has to be checked against all three words). Each query is timed
// afresh (as after a pause in typing that follows a deleted word), narrowed (as while typing
// on), and with the song list showing them as it shows an artist's songs (sorted by artist,
// one row per song with the file name, size and duration), painted.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BenchCatalogue.h"
#include "ListHost.h"
#include "TestSupport.h"
#include "app/Settings.h"
#include "library/Library.h"
#include "playlists/LibrarySearch.h"
#include "playlists/Playlist.h"
#include "playlists/Playlists.h"

namespace {

constexpr int kRuns = 7;

double PrivateBytes() {
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    K32GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    return static_cast<double>(pmc.PagefileUsage);
}

// Marker words: "Karo Quasar" in 10 titles, "Karo Nébula" (accented) in 1,000, "Karo Comet" in
// 5,000, and "Orbit" in every title (so that a search finds every song the tree shows). No
// generated text holds the marker words otherwise.
std::wstring Marker(int id) {
    if (id % 10000 == 7) return L" Karo Quasar Orbit";
    if (id % 100 == 3) return L" Karo N\u00e9bula Orbit";
    if (id % 20 == 1) return L" Karo Comet Orbit";
    return L" Orbit";
}

struct Query {
    const wchar_t* text;
    const wchar_t* what;
};

const Query kQueries[] = {
    {L"quasar", L"one word, 10 songs"},
    {L"NEBULA", L"one word, 1,000 songs"},
    {L"comet", L"one word, 5,000 songs"},
    {L"ka ro quasar", L"three words, 10 songs"},
    {L"ka ro nebula", L"three words, 1,000 songs"},
    {L"ka ro comet", L"three words, 5,000 songs"},
    {L"orbit", L"one word, every shown song"},
};

// Best and median of the runs: on a busy machine the best run is the one that kept the
// processor, the median shows what typing feels like then.
struct Figure {
    double best, median;
};
Figure Summary(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v.front(), v[v.size() / 2]};
}

}  // namespace

int main() {
    th::TempDir dir;
    std::wstring path = dir.File(L"Library.xml");
    if (!th::WriteBenchCatalogue(path, Marker)) {
        std::printf("cannot write the catalogue\n");
        return 1;
    }
    CLibrary library(path);
    if (!library.Reload(65536)) return 1;
    while (library.ParseStep()) {
    }
    CPlaylist::SetLibrary(&library);
    std::printf("catalogue: %d songs\n", library.GetCount());

    double before = PrivateBytes();
    double start = th::Seconds();
    CLibrarySearch::Prepare();
    double prepareMs = (th::Seconds() - start) * 1000;
    double afterTable = PrivateBytes();
    std::printf("folding table: built in %.1f ms (once per run, at the first search), %.0f KB\n",
                prepareMs, (afterTable - before) / 1024);

    CLibrarySearch search(&library);
    CPlaylists playlists;
    Settings fields;
    fields.sort = CPlaylist::kArtistColumn;
    th::ListHost host(&library, &playlists, &fields);
    std::printf("times in ms, best / median of %d runs\n", kRuns);
    std::printf("%-14s %6s %15s %13s %15s %15s\n", "query", "found", "search", "narrowed", "list fill",
                "search+fill");
    for (const Query& query : kQueries) {
        std::vector<double> fresh, narrowed, fill;
        int found = 0;
        std::wstring text = query.text;
        std::wstring shorter = text.substr(0, text.size() - 1);  // the query one key earlier
        for (int run = 0; run < kRuns; ++run) {
            search.Reset();
            start = th::Seconds();
            std::unique_ptr<CPlaylist> results = search.Find(text);
            fresh.push_back((th::Seconds() - start) * 1000);
            found = results ? results->GetCount() : 0;

            search.Reset();
            search.Find(shorter);
            start = th::Seconds();
            results = search.Find(text);
            narrowed.push_back((th::Seconds() - start) * 1000);

            start = th::Seconds();
            host.List().SetPlaylist(results.get());
            UpdateWindow(host.ListWindow());
            fill.push_back((th::Seconds() - start) * 1000);
            th::PumpFor(0);
            host.List().SetPlaylist(nullptr);  // before the results go
        }
        std::vector<double> total(kRuns);
        for (int run = 0; run < kRuns; ++run) total[run] = fresh[run] + fill[run];
        Figure f = Summary(fresh), n = Summary(narrowed), l = Summary(fill), t = Summary(total);
        std::printf("%-14ls %6d %6.1f / %6.1f %5.1f / %5.1f %6.1f / %6.1f %6.1f / %6.1f  (%ls)\n",
                    query.text, found, f.best, f.median, n.best, n.median, l.best, l.median, t.best,
                    t.median, query.what);
    }

    // What a search keeps between keystrokes: the folding table, the ids of the last results
    // and one song's folded texts. The results playlist belongs to the tree node showing it.
    search.Reset();
    double idle = PrivateBytes();
    std::unique_ptr<CPlaylist> results = search.Find(L"comet");
    double held = PrivateBytes();
    std::printf("memory: folding table %.2f bytes per song; after a 5,000-song search %.2f bytes per "
                "song more (results playlist included)\n",
                (afterTable - before) / library.GetCount(), (held - idle) / library.GetCount());
    CPlaylist::SetLibrary(nullptr);
    return 0;
}
