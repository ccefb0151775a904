// Speed of the song list under Wine: showing a playlist, switching between two playlists, and
// re-sorting by a column click, each including the paint that follows. Measured on 5,000 rows
// with the three default columns of the library lists and with all eleven, and on 100,000 rows
// of the benchmark catalogue with all eleven, where a sort by each column is timed as well.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "BenchCatalogue.h"
#include "ListHost.h"
#include "CpuTime.h"
#include "TestSupport.h"
#include "library/Library.h"
#include "playlists/Playlist.h"
#include "playlists/Playlists.h"
#include "ui/list/ListColumns.h"

namespace {

constexpr int kRows = 5000;

std::vector<th::CatalogueSong> MakeSongs() {
    std::vector<th::CatalogueSong> songs;
    uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    for (int i = 0; i < 2 * kRows; ++i) {
        th::CatalogueSong s;
        s.title = L"Title " + std::to_wstring(next() % 100000) + L" of a song";
        s.artist = L"Artist " + std::to_wstring(i / kRows) + L" & Friend";
        s.file = L"folder\\file_" + std::to_wstring(i) + L".mod";
        s.size = static_cast<int>(next() % 4000000);
        s.type = 1 + static_cast<int>(next() % 5);
        s.length = static_cast<float>(next() % 600);
        songs.push_back(s);
    }
    return songs;
}

// Processor time of this thread in milliseconds.
double ThreadMs() { return th::ThreadCpuSeconds() * 1000.0; }

struct Figure {
    double total = 0, worst = 0, cpu = 0;
    int runs = 0;
    void Print(const char* what) const {
        std::printf("  %-13s %7.1f ms mean, %7.1f ms worst, %7.1f ms processor (%d runs)\n", what,
                    total / runs, worst, cpu / runs, runs);
    }
};

// Runs `step` and lets the list paint what it shows.
template <class Step>
void Timed(HWND window, Figure& figure, Step step) {
    const double start = th::Seconds(), cpu = ThreadMs();
    step();
    UpdateWindow(window);
    const double ms = (th::Seconds() - start) * 1000.0;
    figure.total += ms;
    figure.cpu += ThreadMs() - cpu;
    if (ms > figure.worst) figure.worst = ms;
    ++figure.runs;
}

struct Case {
    const char* label;
    bool allColumns;
    int rows;
    int firstId, secondId;  // the two playlists hold the songs from these ids on
    int switches, clicks;
    bool sortEveryColumn;
};

void Measure(const Case& c, CLibrary* library, CPlaylists* playlists) {
    Settings fields;
    if (c.allColumns) {
        for (int layout = 0; layout < 2; ++layout) {
            for (int id = 1; id <= 11; ++id) fields.columnPositions[layout][id - 1] = id;
        }
    }
    th::ListHost host(library, playlists, &fields);
    CWndList& list = host.List();
    HWND window = host.ListWindow();
    CPlaylist first(CPlaylist::kArtist), second(CPlaylist::kArtist), favourites(CPlaylist::kFavourites);
    for (int i = 0; i < c.rows; ++i) {
        first.Add(c.firstId + i, true);
        second.Add(c.secondId + i, true);
        favourites.Add(c.secondId + i, true);
    }
    Figure show, switches, sorts, clear, fill, paint;
    Timed(window, show, [&] { list.SetPlaylist(&first); });
    for (int i = 0; i < c.switches; ++i) {
        CPlaylist* target = i % 2 == 0 ? &second : &first;
        Timed(window, switches, [&] { list.SetPlaylist(target); });
    }
    // Title is column 3 in the full layout; the default layout sorts by Size (index 2).
    const int column = c.allColumns ? 3 : 2;
    for (int i = 0; i < c.clicks; ++i) Timed(window, sorts, [&] { list.SortByColumn(column); });
    // A switch in its parts: emptying the list, filling it, painting it.
    for (int i = 0; i < c.clicks; ++i) {
        CPlaylist* target = i % 2 == 0 ? &second : &first;
        Timed(window, clear, [&] { list.ClearRows(); });
        Timed(window, fill, [&] { list.SetPlaylist(target); });
        Timed(window, paint, [&] { InvalidateRect(window, nullptr, TRUE); });
    }
    // A switch to a list of another kind builds the other layout's columns as well.
    Figure layouts;
    for (int i = 0; i < c.switches; ++i) {
        CPlaylist* target = i % 2 == 0 ? &favourites : &first;
        Timed(window, layouts, [&] { list.SetPlaylist(target); });
    }
    // What follows every switch and every Next: a row selected (and the one before cleared), and
    // Ctrl+A with a click that clears it.
    Figure select, all;
    for (int i = 0; i < c.clicks * 5; ++i)
        Timed(window, select, [&] { list.SelectRow((i * 7919) % c.rows); });
    for (int i = 0; i < c.clicks; ++i) {
        Timed(window, all, [&] {
            list.SelectAll();
            list.SelectRow(0);
        });
    }
    th::PumpFor(10);
    std::printf("%s (%zu columns, %d rows):\n", c.label, list.ColumnIds().size() - 1, list.RowCount());
    show.Print("first show");
    switches.Print("switch");
    layouts.Print("switch layout");
    sorts.Print("sort click");
    clear.Print("  clear");
    fill.Print("  fill+paint");
    paint.Print("  paint only");
    select.Print("select a row");
    all.Print("all, then one");
    if (!c.sortEveryColumn) return;
    // A first click on each column sorts ascending from the order the previous one left.
    std::printf("  sort click by each column:");
    double worst = 0;
    for (int index = 1; index < static_cast<int>(list.ColumnIds().size()); ++index) {
        Figure one;
        Timed(window, one, [&] { list.SortByColumn(index); });
        std::printf(" %ls %.0f", ColumnInfo(list.ColumnIds()[index])->header, one.total);
        if (one.total > worst) worst = one.total;
    }
    std::printf(" ms; worst %.1f ms\n", worst);
}

}  // namespace

int main() {
    th::TempDir dir;
    const std::wstring path = dir.File(L"Library.xml");
    if (!th::WriteCatalogue(path, MakeSongs())) return 1;
    CPlaylists playlists;
    {
        CLibrary library(path);
        if (!library.Reload(0)) return 1;
        CPlaylist::SetLibrary(&library);
        Measure({"default library columns", false, kRows, 1, kRows + 1, 20, 10, false}, &library,
                &playlists);
        Measure({"all eleven columns", true, kRows, 1, kRows + 1, 20, 10, false}, &library, &playlists);
        CPlaylist::SetLibrary(nullptr);
    }
    const std::wstring bigPath = dir.File(L"Big.xml");
    if (!th::WriteBenchCatalogue(bigPath)) return 1;
    CLibrary big(bigPath);
    if (!big.Reload(65536)) return 1;
    while (big.ParseStep()) {
    }
    CPlaylist::SetLibrary(&big);
    // Two playlists of 100,000 rows over the same songs.
    Measure({"benchmark catalogue, all eleven columns", true, th::kBenchSongs, 1, 1, 4, 2, true}, &big,
            &playlists);
    CPlaylist::SetLibrary(nullptr);
    return 0;
}
