// Playlists under Wine: adding a search result of 50,000 songs to the favourites (each song
// once) and to a user playlist (every song), with the list empty and with 50,000 other songs
// already in it, and to the favourites through the main window over the 100,000-song bench
// catalogue with the favourites shown; and the heap a loaded playlist keeps, over 50 loaded
// playlist files.
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BenchCatalogue.h"
#include "CpuTime.h"
#include "TestSupport.h"
#include "app/Globals.h"
#include "app/Ids.h"
#include "app/MainWindow.h"
#include "playlists/Playlist.h"
#include "ui/tree/WndTree.h"

#include <commctrl.h>

namespace {

constexpr int kSongs = 50000;
constexpr int kRuns = 3;
constexpr int kLoaded = 50;

std::unique_ptr<CPlaylist> Songs(int first, int count) {
    auto playlist = std::make_unique<CPlaylist>(CPlaylist::kArtist);
    for (int id = first; id < first + count; ++id) playlist->Add(id, true);
    return playlist;
}

// Runs `add` on a fresh target (holding `already` songs of its own) kRuns times.
void AddFigure(const char* what, int kind, int already, bool allowDuplicate) {
    auto source = Songs(1, kSongs);
    double total = 0, worst = 0, cpu = 0;
    int count = 0;
    for (int run = 0; run < kRuns; ++run) {
        CPlaylist target(kind);
        if (already) target.AddAll(Songs(kSongs + 1, already).get(), true);
        const double start = th::Seconds(), startCpu = th::ThreadCpuSeconds();
        target.AddAll(source.get(), allowDuplicate);
        const double ms = (th::Seconds() - start) * 1000.0;
        cpu += (th::ThreadCpuSeconds() - startCpu) * 1000.0;
        total += ms;
        if (ms > worst) worst = ms;
        count = target.GetCount();
    }
    std::printf("  %-44s %8.1f ms mean, %8.1f ms worst, %8.1f ms processor (%d entries)\n", what,
                total / kRuns, worst, cpu / kRuns, count);
}

void MemoryFigure() {
    th::TempDir dir;
    const std::wstring path = dir.File(L"list.xml");
    Songs(1, 100)->Save(path.c_str());
    std::vector<std::unique_ptr<CPlaylist>> loaded;
    loaded.reserve(kLoaded);
    const size_t before = th::HeapBytesInUse();
    for (int i = 0; i < kLoaded; ++i) {
        loaded.push_back(std::make_unique<CPlaylist>(CPlaylist::kUser));
        loaded.back()->Load(path.c_str());
    }
    const double perPlaylist = double(th::HeapBytesInUse() - before) / kLoaded;
    std::printf("  heap kept per loaded playlist of 100 songs: %.1f KB (%d playlists: %.2f MB)\n",
                perPlaylist / 1024.0, kLoaded, perPlaylist * kLoaded / 1048576.0);
}

// The list's "Add to favourites" of 50,000 selected songs, as the main window receives it: the
// command itself, and with the messages it posts (the totals of the shown favourites).
void MainWindowFigure() {
    th::StartWithEmptySettings();
    bool written = false;
    auto main = std::make_unique<th::TestMainWindow>(SW_SHOWNORMAL,
                                                     [&] { written = th::WriteBenchCatalogue(libraryPath); });
    CMainWindow* hub = CMainWindow::FromHandle(main->Handle());
    if (!written || !hub || !main->WaitUntilReady(120000)) {
        std::printf("  through the main window: the library tree was not built\n");
        return;
    }
    CWndTree* tree = hub->GetTree();
    SendMessageW(tree->GetControl(), TVM_SELECTITEM, TVGN_CARET,
                 reinterpret_cast<LPARAM>(tree->GetFavouritesItem()));
    auto songs = Songs(1, kSongs);
    const double start = th::Seconds(), startCpu = th::ThreadCpuSeconds();
    SendMessageW(main->Handle(), WM_COMMAND, ID_ADD_FAVOURITES, reinterpret_cast<LPARAM>(songs.get()));
    const double command = (th::Seconds() - start) * 1000.0;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    const double all = (th::Seconds() - start) * 1000.0;
    const double cpu = (th::ThreadCpuSeconds() - startCpu) * 1000.0;
    std::printf("  %-44s %8.1f ms command, %8.1f ms with its messages, %8.1f ms processor (%d entries)\n",
                "through the main window, favourites shown", command, all, cpu,
                tree->GetFavourites() ? tree->GetFavourites()->GetCount() : -1);
    main.reset();
    th::StartWithEmptySettings();
}

}  // namespace

int main() {
    std::printf("adding %d songs (goal: under 100 ms into the favourites)\n", kSongs);
    AddFigure("to empty favourites, each song once", CPlaylist::kFavourites, 0, false);
    AddFigure("to favourites holding 50,000 others", CPlaylist::kFavourites, kSongs, false);
    AddFigure("to an empty playlist, every song", CPlaylist::kUser, 0, true);
    AddFigure("to a playlist holding 50,000 others", CPlaylist::kUser, kSongs, true);
    MainWindowFigure();
    MemoryFigure();
    return 0;
}
