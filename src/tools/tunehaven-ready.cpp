// Waits until a running tunehaven has loaded its library: its tree holds the library's
// artists and the status bar's message part is empty again (the build clears it when the tree
// is complete). For scripts that look at the running program, such as run.sh's screenshot.
//
//   tunehaven-ready [--desktop NAME] [--timeout SECONDS] [--play]
//
// --desktop looks for the program on that desktop (Wine's "explorer /desktop=NAME" runs it on
// one of its own). --play then does what a user would to hear something: it chooses the first
// artist in the tree, plays the list's first row, and waits until the title names the song.
// Exits with 0 once the library is loaded (and with --play the song plays), 1 when the time
// runs out first (default 60 s), 2 when no tunehaven window appeared in that time.

#include "app/Ids.h"
#include "app/MainWindow.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr DWORD kPollMs = 200;
// The tree's own nodes (favourites, playlists, library) before any artist is in it.
constexpr LRESULT kNodesWithoutArtists = 3;
// Ready must be seen this many polls in a row: the message part is empty for a moment
// between two messages of the start.
constexpr int kSteadyPolls = 3;

HWND FindTree(HWND main) {
    HWND tree = nullptr;
    EnumChildWindows(
        main,
        [](HWND child, LPARAM found) -> BOOL {
            wchar_t name[32] = {};
            GetClassNameW(child, name, 32);
            if (wcscmp(name, WC_TREEVIEWW) != 0) return TRUE;
            *reinterpret_cast<HWND*>(found) = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&tree));
    return tree;
}

bool LibraryLoaded(HWND main) {
    HWND tree = FindTree(main);
    HWND status = GetDlgItem(main, IDC_STATUSBAR);
    if (!status) return false;
    // The status bar answers WM_GETTEXT with its message part, and WM_GETTEXT crosses
    // processes.
    wchar_t message[128] = {};
    SendMessageTimeoutW(status, WM_GETTEXT, std::size(message), reinterpret_cast<LPARAM>(message),
                        SMTO_ABORTIFHUNG, 1000, nullptr);
    if (message[0] != L'\0') return false;
    // A program without a tree has nothing more to load once its messages are done.
    if (!tree) return true;
    DWORD_PTR count = 0;
    SendMessageTimeoutW(tree, TVM_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 1000, &count);
    return static_cast<LRESULT>(count) > kNodesWithoutArtists;
}

HTREEITEM NextItem(HWND tree, UINT relation, HTREEITEM item) {
    DWORD_PTR next = 0;
    SendMessageTimeoutW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item), SMTO_ABORTIFHUNG,
                        1000, &next);
    return reinterpret_cast<HTREEITEM>(next);
}

// The roots are Favourites, Playlists and Library; the Library's first child is an artist.
// Choosing it fills the list with the first row focused; Play as the list's Enter key sends it.
bool PlayFirstArtist(HWND main) {
    HWND tree = FindTree(main);
    if (!tree) return false;
    HTREEITEM library = NextItem(tree, TVGN_ROOT, nullptr);
    for (int i = 0; i < 2 && library; ++i) library = NextItem(tree, TVGN_NEXT, library);
    HTREEITEM artist = library ? NextItem(tree, TVGN_CHILD, library) : nullptr;
    if (!artist) return false;
    SendMessageTimeoutW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(artist), SMTO_ABORTIFHUNG,
                        1000, nullptr);
    return PostMessageW(main, WM_COMMAND, ID_PLAY, 1) != FALSE;
}

// A playing song's title is "artist - title"; the idle title has no dash.
bool TitleNamesASong(HWND main) {
    wchar_t title[256] = {};
    SendMessageTimeoutW(main, WM_GETTEXT, std::size(title), reinterpret_cast<LPARAM>(title), SMTO_ABORTIFHUNG,
                        1000, nullptr);
    return wcsstr(title, L" - ") != nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const wchar_t* desktop = nullptr;
    double timeout = 60;
    bool play = false;
    for (int i = 1; i < argc; ++i) {
        if (wcscmp(argv[i], L"--desktop") == 0 && i + 1 < argc) {
            desktop = argv[++i];
        } else if (wcscmp(argv[i], L"--timeout") == 0 && i + 1 < argc) {
            timeout = _wtof(argv[++i]);
        } else if (wcscmp(argv[i], L"--play") == 0) {
            play = true;
        } else {
            fwprintf(stderr, L"usage: tunehaven-ready [--desktop NAME] [--timeout SECONDS] [--play]\n");
            return 2;
        }
    }
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(timeout * 1000);
    // The desktop appears with the program's start, which may still be on its way.
    bool onDesktop = desktop == nullptr;
    bool seenWindow = false;
    int steady = 0;
    for (; GetTickCount64() < end; Sleep(kPollMs)) {
        if (!onDesktop) {
            HDESK other = OpenDesktopW(desktop, 0, FALSE, GENERIC_ALL);
            onDesktop = other && SetThreadDesktop(other);
            if (!onDesktop) continue;
        }
        HWND main = FindWindowW(kMainWindowClass, nullptr);
        seenWindow |= main != nullptr;
        steady = main && LibraryLoaded(main) ? steady + 1 : 0;
        if (steady < kSteadyPolls) continue;
        if (!play) return 0;
        if (!PlayFirstArtist(main)) return 1;
        // The song may have to be downloaded first.
        for (; GetTickCount64() < end; Sleep(kPollMs))
            if (TitleNamesASong(main)) return 0;
        return 1;
    }
    return seenWindow ? 1 : 2;
}
