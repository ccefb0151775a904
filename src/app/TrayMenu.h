#pragma once
// The tray icon's pop-up menu: the playback options, volume steps, the favourites and the
// user playlists with their songs, the transport commands in the toolbar's states, and
// Hide/Show/Quit. Every choice reaches the owner window as an ordinary WM_COMMAND.

#include "base/Handle.h"

#include <windows.h>

#include <functional>

class CLibrary;
class COptionsMenu;
class CPlaylist;
class CPlaylists;

// Songs listed per playlist, and playlists listed, in the tray menu.
constexpr int kTrayMenuEntries = 400;
constexpr int kTrayMenuPlaylists = 150;

// What the menu shows, gathered by the main window when the menu opens.
struct TrayMenuState {
    DWORD volume = 100;               // percent
    int audibleSerial = 0;            // entry serial of the audible song, 0 = none
    const CLibrary* library = nullptr;
    const CPlaylist* favourites = nullptr;
    CPlaylists* playlists = nullptr;
    // Whether the toolbar's button of a command (1, 3, 4, 5, 20) is enabled; null: none is.
    std::function<bool(UINT id)> isButtonEnabled;
    bool isPlaying = false;           // "Pause" instead of "Play"
    bool windowVisible = true;        // "Hide" instead of "Show"
    bool quitAllowed = true;
    int rows = 0;                     // menu items per column, 0 = as the screen allows
};

class CTrayMenu {
public:
    explicit CTrayMenu(const COptionsMenu* options);
    virtual ~CTrayMenu();
    CTrayMenu(const CTrayMenu&) = delete;
    CTrayMenu& operator=(const CTrayMenu&) = delete;

    // Builds the whole menu. A submenu that cannot be made is left out; the rest stays.
    MenuHandle Build(const TrayMenuState& state) const;

    // ShowTrayMenu: builds the menu, shows it at the cursor opening up and to the left (as
    // fits a menu of the notification area) and destroys it once it closes.
    void ShowTrayMenu(HWND owner, const TrayMenuState& state) const;

    // How many menu items fit one above the other on the screen, in the system's menu font.
    static int RowsPerColumn(HWND window);

    // Appends the entries of playlist (at most kTrayMenuEntries, up to the first song the
    // library does not know) as "n.\tartist - title" with ids firstId + i; a new column
    // starts every `rows` items and the audible entry carries a check mark. Returns how
    // many were appended.
    static int AppendEntries(HMENU menu, const CPlaylist* playlist, const CLibrary* library,
                             UINT firstId, int audibleSerial, int rows);

private:
    const COptionsMenu* options_;
};
