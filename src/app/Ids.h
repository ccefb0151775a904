#pragma once
// Every private window message, command identifier and child control identifier of the
// program. Menus, the toolbar, the tray and the song list all reach the main window through
// these numbers, so they are defined once here.

#include <windows.h>

// ---- Private window messages (WM_APP + n) -------------------------------------------------

// Server thread -> main window, posted. wParam: request id (NET_REQUEST_VERSION, 0 for the
// library download, > 0 a song id); lParam: the server's library version for the version check.
constexpr UINT WM_APP_NET_DONE = WM_APP + 0x2A;          // 0x802A
// Server thread -> main window, posted. wParam: request id; lParam: 0.
constexpr UINT WM_APP_NET_FAILED = WM_APP + 0x2B;        // 0x802B
// Library tree -> main window, posted. wParam: 0 a tree rebuild starts, 1 it has ended.
constexpr UINT WM_APP_LIBRARY_READY = WM_APP + 0x52;     // 0x8052
// Tree-building thread -> tree control, posted.
constexpr UINT WM_APP_TREE_BUILT = WM_APP + 0x5C;        // 0x805C
// Tree-building thread -> tree control, sent: inserts a batch of Library nodes on the control's
// thread. wParam: number of requests; lParam: the requests (CTreeBuild::Insert array).
constexpr UINT WM_APP_TREE_INSERT = WM_APP + 0x5D;       // 0x805D
// Song list and tree -> main window, posted, when a playlist's entries changed. lParam: the
// playlist the list changed, to be written soon (compared by address only, never read), or 0
// from the tree, which has seen to that itself.
constexpr UINT WM_APP_PLAYLIST_CHANGED = WM_APP + 0x7B;  // 0x807B
// Main window -> itself, posted after a playlist rename was accepted.
constexpr UINT WM_APP_SORT_TREE = WM_APP + 0x2C9;        // 0x82C9
// Main window -> itself, posted when rows of the shown playlist are being removed: the status
// bar's totals are counted again once they are gone.
constexpr UINT WM_APP_TOTALS = WM_APP + 0x2CD;           // 0x82CD
// Ticker thread -> main window, sent every 100 ms.
constexpr UINT WM_APP_TICK = WM_APP + 0x2CA;             // 0x82CA
// Shell -> main window: the tray icon's callback. wParam: TRAY_ICON_ID; lParam: mouse message.
constexpr UINT WM_APP_TRAY = WM_APP + 0x2CB;             // 0x82CB
// Any thread -> status bar window, posted. lParam: heap copy of the text or 0.
constexpr UINT WM_APP_STATUS_TEXT = WM_APP + 0x2FF;      // 0x82FF
// Any thread -> status bar window, posted.
constexpr UINT WM_APP_STATUS_PROGRESS = WM_APP + 0x300;  // 0x8300

// Request ids of the server client: the version check, the catalogue download, and songs by
// their own id (> 0). In wParam of WM_APP_NET_DONE / WM_APP_NET_FAILED they travel as 32-bit
// unsigned values, so the version check arrives as 0xFFFFFFFF.
constexpr int NET_REQUEST_VERSION = -1;
constexpr int NET_REQUEST_LIBRARY = 0;
constexpr WPARAM NetRequestParam(int request) {
    return static_cast<WPARAM>(static_cast<DWORD>(request));
}
constexpr int NetRequestOf(WPARAM wp) { return static_cast<int>(static_cast<DWORD>(wp)); }

// Timer of the main window that ends the pause after a change of the find box's text.
constexpr UINT_PTR TIMER_SEARCH = 1;
constexpr UINT SEARCH_PAUSE_MS = 150;

// The tray icon's id (uID of its NOTIFYICONDATAW, wParam of WM_APP_TRAY).
constexpr UINT TRAY_ICON_ID = 42;

// ---- Child control identifiers (idFrom of notifications) ----------------------------------

constexpr int IDC_SPLITTER = 80;
constexpr int IDC_SONGLIST = 81;
constexpr int IDC_TREE = 82;
constexpr int IDC_STATUSBAR = 83;
constexpr int IDC_REBAR = 84;
constexpr int IDC_TOOLBAR = 85;
constexpr int IDC_TRACKBAR = 86;  // every trackbar
constexpr int IDC_SEARCHBOX = 87;  // the find box in the rebar

// Trackbar kinds (which setting a trackbar shows).
constexpr int TRACKBAR_VOLUME = 90;
constexpr int TRACKBAR_PAN = 91;
constexpr int TRACKBAR_POSITION = 93;

// ---- Command identifiers (WM_COMMAND and WM_SYSCOMMAND) -----------------------------------
// Below ID_RANGE_FIRST a command is selected by the low word of wParam; from ID_RANGE_FIRST up
// the whole wParam selects a range. From ID_SYSTEM_FIRST up the values belong to the system.

constexpr UINT ID_PLAY = 1;                 // Play / Pause; lParam 1 always starts the focused row
constexpr UINT ID_STOP = 3;
constexpr UINT ID_PREVIOUS = 4;
constexpr UINT ID_NEXT = 5;
constexpr UINT ID_RANDOM_OFF = 7;
constexpr UINT ID_RANDOM_PLAYLIST = 8;
constexpr UINT ID_RANDOM_LIBRARY = 9;
constexpr UINT ID_VOLADJUST_OFF = 10;
constexpr UINT ID_VOLADJUST_PEAK = 11;
constexpr UINT ID_FADE_LOOPED = 12;
constexpr UINT ID_SURROUND_OFF = 13;
constexpr UINT ID_SURROUND_MODE1 = 14;
constexpr UINT ID_SURROUND_MODE2 = 15;
constexpr UINT ID_RAMP_OFF = 16;
constexpr UINT ID_RAMP_NORMAL = 17;
constexpr UINT ID_RAMP_SENSITIVE = 18;
constexpr UINT ID_ADD_FAVOURITES = 20;      // lParam: 0 or a temporary playlist
constexpr UINT ID_NEW_PLAYLIST = 21;        // lParam: a temporary playlist
constexpr UINT ID_ABOUT = 22;
constexpr UINT ID_ENTRY_REMOVING = 23;      // lParam: row index about to be removed
constexpr UINT ID_SHOW = 24;
constexpr UINT ID_HIDE = 25;
constexpr UINT ID_QUIT = 26;
constexpr UINT ID_INTERP_OFF = 27;
constexpr UINT ID_INTERP_LINEAR = 28;
constexpr UINT ID_INTERP_SINC = 29;
constexpr UINT ID_FIND = 30;                // Ctrl+F: the find box takes the focus
constexpr UINT ID_FIND_CLEAR = 31;          // Escape in the find box: it was emptied
constexpr UINT ID_FIND_NOW = 32;            // Enter in the find box: search without the pause
constexpr UINT ID_NEXT_PANE = 33;           // F6 or Tab: the focus goes to the next pane
constexpr UINT ID_PREVIOUS_PANE = 34;       // Shift+F6 or Shift+Tab: to the one before

constexpr UINT ID_RANGE_FIRST = 80;

constexpr UINT ID_VOLUME_FIRST = 80;        // volume = (id - 80) * 10
constexpr UINT ID_VOLUME_LAST = 99;
constexpr UINT ID_CACHE_FIRST = 100;        // cache = id - 100
constexpr UINT ID_CACHE_LAST = 199;
constexpr UINT ID_RMS_FIRST = 200;          // Scale to -(id - 200) dB RMS
constexpr UINT ID_RMS_LAST = 499;
constexpr UINT ID_RATE_FIRST = 500;         // freq = id - 500
constexpr UINT ID_RATE_LAST = 519;
constexpr UINT ID_DEVICE_FIRST = 520;       // device = id - 520
constexpr UINT ID_DEVICE_LAST = 999;
constexpr UINT ID_FAVOURITE_FIRST = 1000;   // favourites entry id - 1000
constexpr UINT ID_FAVOURITE_LAST = 1399;
constexpr UINT ID_PLAYLIST_ENTRY_FIRST = 1400;  // playlist (id-1400)/400, entry (id-1400)%400
constexpr UINT ID_PLAYLIST_ENTRY_LAST = 61439;
constexpr UINT PLAYLIST_MENU_ENTRIES = 400;     // entries per playlist in the tray menu

constexpr UINT ID_SYSTEM_FIRST = 0xF000;    // SC_* values: passed on untouched
