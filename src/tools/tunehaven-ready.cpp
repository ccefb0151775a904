// Waits until a running tunehaven has loaded its library: its tree holds the library's
// artists and the status bar no longer shows the build's own texts. For scripts that look at the running program, such as run.sh's screenshot.
//
//   tunehaven-ready [--desktop NAME] [--timeout SECONDS] [--select | --play | --close]
//
// --desktop looks for the program on that desktop (Wine's "explorer /desktop=NAME" runs it on
// one of its own). Once the library is loaded, --select chooses the first artist in the tree
// whose list has songs, as a user's click would; --play also plays the list's first row and
// waits until the title names the song. --close waits only until the window shows, then
// closes the program through it (as the user's Close does, settings saved) and waits until it
// is gone.
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

HWND FindChildOfClass(HWND main, const wchar_t* className) {
    struct Search {
        const wchar_t* className;
        HWND found;
    } search{className, nullptr};
    EnumChildWindows(
        main,
        [](HWND child, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t name[32] = {};
            GetClassNameW(child, name, 32);
            if (wcscmp(name, s->className) != 0) return TRUE;
            s->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindTree(HWND main) { return FindChildOfClass(main, WC_TREEVIEWW); }

// The tree build's own texts in the status bar's message part; once the build is complete the
// part is empty again, or shows what stood there before (the server could not be reached).
bool IsBuildText(const wchar_t* message) {
    return wcsncmp(message, L"Reading library", 15) == 0 || wcsncmp(message, L"Building tree", 13) == 0;
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
    if (IsBuildText(message)) return false;
    // A program without a tree has nothing more to load once its messages are done.
    if (!tree) return message[0] == L'\0';
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

LRESULT Ask(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, msg, wp, lp, SMTO_ABORTIFHUNG, 5000, &result);
    return static_cast<LRESULT>(result);
}

// The roots are Favourites, Playlists and Library; below the Library stand the artists, and
// below an artist its collaborations. The first of these nodes whose list has songs is chosen
// (an artist whose every song is a collaboration shows none of its own), which fills the list
// with the first row focused; Play goes as the list's Enter key sends it.
bool SelectFirstArtist(HWND main, bool play) {
    HWND tree = FindTree(main);
    HWND list = FindChildOfClass(main, WC_LISTVIEWW);
    if (!tree || !list) return false;
    HTREEITEM library = NextItem(tree, TVGN_ROOT, nullptr);
    for (int i = 0; i < 2 && library; ++i) library = NextItem(tree, TVGN_NEXT, library);
    if (!library) return false;
    for (HTREEITEM artist = NextItem(tree, TVGN_CHILD, library); artist; artist = NextItem(tree, TVGN_NEXT, artist)) {
        HTREEITEM node = artist;
        HTREEITEM child = NextItem(tree, TVGN_CHILD, artist);
        for (;;) {
            Ask(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node));
            if (Ask(list, LVM_GETITEMCOUNT, 0, 0) > 0)
                return !play || PostMessageW(main, WM_COMMAND, ID_PLAY, 1) != FALSE;
            if (!child) break;
            node = child;
            child = NextItem(tree, TVGN_NEXT, child);
        }
    }
    return false;
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
    bool select = false;
    bool close = false;
    for (int i = 1; i < argc; ++i) {
        if (wcscmp(argv[i], L"--desktop") == 0 && i + 1 < argc) {
            desktop = argv[++i];
        } else if (wcscmp(argv[i], L"--timeout") == 0 && i + 1 < argc) {
            timeout = _wtof(argv[++i]);
        } else if (wcscmp(argv[i], L"--play") == 0) {
            play = select = true;
        } else if (wcscmp(argv[i], L"--select") == 0) {
            select = true;
        } else if (wcscmp(argv[i], L"--close") == 0) {
            close = true;
        } else {
            fwprintf(stderr, L"usage: tunehaven-ready [--desktop NAME] [--timeout SECONDS] [--select | --play | --close]\n");
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
        if (close && main && IsWindowVisible(main)) {
            // Posted again now and then: a program still building its tree closes after it.
            for (int poll = 0; GetTickCount64() < end; Sleep(kPollMs), poll++) {
                if (!IsWindow(main)) return 0;
                if (poll % 5 == 0) PostMessageW(main, WM_CLOSE, 0, 0);
            }
            return 1;
        }
        steady = main && LibraryLoaded(main) ? steady + 1 : 0;
        if (steady < kSteadyPolls) continue;
        if (!select) return 0;
        if (!SelectFirstArtist(main, play)) return 1;
        if (!play) return 0;
        // The song may have to be downloaded first.
        for (; GetTickCount64() < end; Sleep(kPollMs))
            if (TitleNamesASong(main)) return 0;
        return 1;
    }
    return seenWindow ? 1 : 2;
}
