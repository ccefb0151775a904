// Soak of the whole program: the main window plays short generated modules from a playlist of
// the playlist set, changing song 1,000 times (mostly by Next, every tenth change by letting
// the song run out, so that the gapless change inside the stream is soaked too), with random
// play over the playlist so that there is always a next song. Handles, GDI and USER objects
// and private bytes are read after a warm-up and at the end; a leak per song change shows as
// growth far past the noise of a few objects or kilobytes.
//
//   bench_SoakRun [CHANGES]      default 1000
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "PlaybackTestSupport.h"
#include "TestSupport.h"
#include "app/Globals.h"
#include "app/Ids.h"
#include "app/MainWindow.h"
#include "app/Settings.h"
#include "playlists/Playlists.h"

using namespace playtest;

namespace {

struct Use {
    DWORD handles = 0, gdi = 0, user = 0;
    double privateMb = 0;
    double workingMb = 0;
};

// Where the system has no object counts (Wine answers 0 to GetProcessHandleCount and
// GetGuiResources), the slot a new object gets stands in: handles and GDI objects take the
// lowest free slot of their table, so objects that are never freed push it up.
DWORD NextHandleSlot() {
    HANDLE h = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD slot = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(h) / 4);
    CloseHandle(h);
    return slot;
}

DWORD NextGdiSlot() {
    HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
    DWORD slot = static_cast<DWORD>(reinterpret_cast<UINT_PTR>(b) & 0xFFFF);
    DeleteObject(b);
    return slot;
}

Use ReadUse() {
    Use u;
    GetProcessHandleCount(GetCurrentProcess(), &u.handles);
    u.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    u.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (u.handles == 0) u.handles = NextHandleSlot();
    if (u.gdi == 0) u.gdi = NextGdiSlot();
    PROCESS_MEMORY_COUNTERS pmc{};
    pmc.cb = sizeof(pmc);
    K32GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc));
    u.privateMb = pmc.PagefileUsage / (1024.0 * 1024.0);
    u.workingMb = pmc.WorkingSetSize / (1024.0 * 1024.0);
    return u;
}

int Serial(CMainWindow* hub) {
    int id = 0, serial = 0;
    float seconds = 0;
    hub->GetOutput()->GetPosition(id, serial, seconds);
    return serial;
}

}  // namespace

int main(int argc, char** argv) {
    const int changes = argc > 1 ? std::atoi(argv[1]) : 1000;
    th::StartWithEmptySettings();
    // Twenty songs of about 0.6 s each, all in the cache; the window builds its tree from them.
    const int kSongs = 20;
    const int rows = static_cast<int>(0.6 / ModuleSeconds(1)) + 1;
    bool written = true;
    auto main = std::make_unique<th::TestMainWindow>(SW_SHOWNORMAL, [&] {
        std::vector<Song> list;
        for (int i = 0; i < kSongs; ++i) {
            float seconds = static_cast<float>(ModuleSeconds(rows));
            Song s{L"Soak\\song" + std::to_wstring(i) + L".mod", Module(rows, i % 5), 1, 31, seconds,
                   0.0f, seconds};
            written = WriteSongFile(cacheFolder + s.file, s.image) && written;
            list.push_back(s);
        }
        written = WriteCatalogue(libraryPath, list) && written;
    });
    CMainWindow* hub = CMainWindow::FromHandle(main->Handle());
    if (!hub || !hub->GetOutput()) {
        std::printf("no main window\n");
        return 1;
    }
    if (!written || !main->WaitUntilReady()) {
        std::printf("the songs were not written or the library tree was not built\n");
        return 1;
    }
    std::vector<int> ids;
    for (int i = 1; i <= kSongs; ++i) ids.push_back(i);
    auto playlist = PlaylistOf(ids);
    playlists.Add(L"Soak", playlist.get());
    HWND w = main->Handle();
    SendMessageW(w, WM_COMMAND, ID_RANDOM_PLAYLIST, 0);
    SendMessageW(w, WM_COMMAND, ID_PLAYLIST_ENTRY_FIRST, 0);

    auto change = [&](int n) {
        int before = Serial(hub);
        if (n % 10 == 9) {
            // Let the song run out: the stream moves on to the next one by itself.
            th::PumpUntil([&] { return Serial(hub) != before && Serial(hub) != 0; }, 5000);
        } else {
            SendMessageW(w, WM_COMMAND, ID_NEXT, 0);
            th::PumpUntil([&] { return Serial(hub) != before && Serial(hub) != 0; }, 2000);
            th::PumpFor(30);
        }
        return Serial(hub) != before;
    };

    int moved = 0;
    for (int n = 0; n < 20; ++n) moved += change(n);  // warm-up: every lazily made object exists
    Use start = ReadUse();
    double t0 = th::Seconds();
    moved = 0;
    for (int n = 0; n < changes; ++n) moved += change(n);
    double seconds = th::Seconds() - t0;
    th::PumpFor(200);
    Use end = ReadUse();
    bool playing = hub->GetOutput()->IsPlaying();

    std::printf("soak: %d song changes asked, %d seen by the engine, in %.1f s; still playing: %s\n",
                changes, moved, seconds, playing ? "yes" : "no");
    std::printf("  (counts the system does not give are the next free slot of the table)\n");
    std::printf("  handles      %5lu -> %5lu (%+ld)\n", start.handles, end.handles,
                static_cast<long>(end.handles) - static_cast<long>(start.handles));
    std::printf("  GDI objects  %5lu -> %5lu (%+ld)\n", start.gdi, end.gdi,
                static_cast<long>(end.gdi) - static_cast<long>(start.gdi));
    std::printf("  USER objects %5lu -> %5lu (%+ld)\n", start.user, end.user,
                static_cast<long>(end.user) - static_cast<long>(start.user));
    std::printf("  private MB   %7.2f -> %7.2f (%+.2f)\n", start.privateMb, end.privateMb,
                end.privateMb - start.privateMb);
    std::printf("  working MB   %7.2f -> %7.2f (%+.2f)\n", start.workingMb, end.workingMb,
                end.workingMb - start.workingMb);

    SendMessageW(w, WM_COMMAND, ID_STOP, 0);
    main.reset();
    playlists.Remove(L"Soak");
    th::StartWithEmptySettings();
    return 0;
}
