// Speed of the song list under Wine: showing a 5,000-row playlist, switching between two such
// playlists, and re-sorting 5,000 rows by a column click, each including the paint that
// follows. Measured with the three default columns of the library lists and with all eleven.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ListHost.h"
#include "CpuTime.h"
#include "TestSupport.h"
#include "library/Library.h"
#include "playlists/Playlist.h"
#include "playlists/Playlists.h"

namespace {

constexpr int kRows = 5000;
constexpr int kSwitches = 20;
constexpr int kClicks = 10;

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

void Measure(const char* label, CLibrary* library, CPlaylists* playlists, bool allColumns) {
    Settings fields;
    if (allColumns) {
        for (int id = 1; id <= 11; ++id) fields.columnPositions[0][id - 1] = id;
    }
    th::ListHost host(library, playlists, &fields);
    CWndList& list = host.List();
    HWND window = host.ListWindow();
    CPlaylist first(CPlaylist::kArtist), second(CPlaylist::kArtist);
    for (int i = 1; i <= kRows; ++i) {
        first.Add(i, true);
        second.Add(kRows + i, true);
    }
    Figure show, switches, sorts, clear, fill, paint;
    Timed(window, show, [&] { list.SetPlaylist(&first); });
    for (int i = 0; i < kSwitches; ++i) {
        CPlaylist* target = i % 2 == 0 ? &second : &first;
        Timed(window, switches, [&] { list.SetPlaylist(target); });
    }
    // Title is column 3 in the full layout; the default layout sorts by Size (index 2).
    const int column = allColumns ? 3 : 2;
    for (int i = 0; i < kClicks; ++i) Timed(window, sorts, [&] { list.SortByColumn(column); });
    // A switch in its parts: emptying the list, filling it, painting it.
    for (int i = 0; i < kClicks; ++i) {
        CPlaylist* target = i % 2 == 0 ? &second : &first;
        Timed(window, clear, [&] { list.ClearRows(); });
        Timed(window, fill, [&] { list.SetPlaylist(target); });
        Timed(window, paint, [&] { InvalidateRect(window, nullptr, TRUE); });
    }
    th::PumpFor(10);
    std::printf("%s (%zu columns, %d rows):\n", label, list.ColumnIds().size() - 1, list.RowCount());
    show.Print("first show");
    switches.Print("switch");
    sorts.Print("sort click");
    clear.Print("  clear");
    fill.Print("  fill+paint");
    paint.Print("  paint only");
}

}  // namespace

int main() {
    th::TempDir dir;
    const std::wstring path = dir.File(L"Library.xml");
    if (!th::WriteCatalogue(path, MakeSongs())) return 1;
    CLibrary library(path);
    if (!library.Reload(0)) return 1;
    CPlaylist::SetLibrary(&library);
    CPlaylists playlists;
    Measure("default library columns", &library, &playlists, false);
    Measure("all eleven columns", &library, &playlists, true);
    CPlaylist::SetLibrary(nullptr);
    return 0;
}
