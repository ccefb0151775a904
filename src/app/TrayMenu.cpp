#include "app/TrayMenu.h"

#include "base/EscapeAmpersands.h"
#include "app/Ids.h"
#include "app/OptionsMenu.h"
#include "library/Library.h"
#include "playlists/Playlist.h"
#include "playlists/Playlists.h"

#include <cwchar>
#include <iterator>
#include <string>

namespace {

constexpr const wchar_t* kSetVolumeText = L"Set volume";
constexpr const wchar_t* kFavouritesText = L"Favourites";
constexpr const wchar_t* kPlaylistsText = L"Playlists";
constexpr const wchar_t* kAddFavouritesText = L"Add to favourites";
constexpr const wchar_t* kPlayText = L"Play";
constexpr const wchar_t* kPauseText = L"Pause";
constexpr const wchar_t* kStopText = L"Stop";
constexpr const wchar_t* kPreviousText = L"Previous track";
constexpr const wchar_t* kNextText = L"Next track";
constexpr const wchar_t* kHideText = L"Hide tunehaven";
constexpr const wchar_t* kShowText = L"Show tunehaven";
constexpr const wchar_t* kQuitText = L"Quit tunehaven";
constexpr const wchar_t* kEntryFormat = L"%d.\t";

UINT Greyed(bool enabled) { return enabled ? MF_ENABLED : MF_GRAYED; }

void AppendSeparator(HMENU menu) { AppendMenuW(menu, MF_SEPARATOR, 0, nullptr); }

// A pop-up with nothing in it is shown greyed, so that it cannot be opened empty.
void AppendPopup(HMENU menu, MenuHandle submenu, const wchar_t* text, bool hasItems) {
    if (!submenu) return;
    if (AppendMenuW(menu, MF_POPUP | MF_STRING | Greyed(hasItems),
                    reinterpret_cast<UINT_PTR>(submenu.get()), text))
        submenu.release();  // owned by menu from here on
}

MenuHandle MakeVolumeMenu(DWORD volume) {
    MenuHandle menu(CreatePopupMenu());
    if (!menu) return menu;
    for (int n = 10; n >= 0; --n) {
        wchar_t text[16];
        swprintf(text, std::size(text), L"%d%%", n * 10);
        const UINT check = static_cast<DWORD>(n) == volume / 10 ? MF_CHECKED : MF_UNCHECKED;
        AppendMenuW(menu.get(), MF_STRING | check, ID_VOLUME_FIRST + n, text);
    }
    return menu;
}

}  // namespace

CTrayMenu::CTrayMenu(const COptionsMenu* options) : options_(options) {}

CTrayMenu::~CTrayMenu() = default;

int CTrayMenu::RowsPerColumn(HWND window) {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    int itemHeight = 0;
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        FontHandle font(CreateFontIndirectW(&metrics.lfMenuFont));
        if (HDC dc = GetDC(window)) {
            // The main window's class owns its context: what is selected here must go back.
            HGDIOBJ old = font ? SelectObject(dc, font.get()) : nullptr;
            TEXTMETRICW tm = {};
            if (GetTextMetricsW(dc, &tm)) itemHeight = tm.tmHeight + 4;
            if (old) SelectObject(dc, old);
            ReleaseDC(window, dc);
        }
    }
    if (itemHeight <= 0) itemHeight = GetSystemMetrics(SM_CYMENU);
    const int room = GetSystemMetrics(SM_CYSCREEN) - 2 * GetSystemMetrics(SM_CYDLGFRAME);
    const int rows = itemHeight > 0 ? room / itemHeight : 0;
    return rows > 0 ? rows : 1;
}

int CTrayMenu::AppendEntries(HMENU menu, const CPlaylist* playlist, const CLibrary* library,
                             UINT firstId, int audibleSerial, int rows) {
    if (!menu || !playlist || !library) return 0;
    if (rows < 1) rows = 1;
    int i = 0;
    for (; i < kTrayMenuEntries; ++i) {
        const CSong* song = library->GetSong(playlist->GetIdAt(i));
        if (!song) break;  // the end of the playlist (id 0) or a song the library lacks
        wchar_t number[16];
        swprintf(number, std::size(number), kEntryFormat, i + 1);
        const std::wstring text =
            EscapeAmpersands(number + std::wstring(song->DisplayArtist()) + L" - " + std::wstring(song->DisplayTitle()), false);
        UINT flags = MF_STRING;
        if (i > 0 && i % rows == 0) flags |= MF_MENUBARBREAK;
        if (audibleSerial != 0 && playlist->GetSerialAt(i) == audibleSerial) flags |= MF_CHECKED;
        AppendMenuW(menu, flags, firstId + i, text.c_str());
    }
    return i;
}

MenuHandle CTrayMenu::Build(const TrayMenuState& state) const {
    MenuHandle menu(CreatePopupMenu());
    if (!menu) return menu;
    HMENU m = menu.get();
    if (options_) options_->InsertOptions(m);
    const int rows = state.rows > 0 ? state.rows : RowsPerColumn(nullptr);

    AppendPopup(m, MakeVolumeMenu(state.volume), kSetVolumeText, true);
    AppendSeparator(m);

    if (MenuHandle favourites{CreatePopupMenu()}) {
        const int n = AppendEntries(favourites.get(), state.favourites, state.library,
                                    ID_FAVOURITE_FIRST, state.audibleSerial, rows);
        AppendPopup(m, std::move(favourites), kFavouritesText, n > 0);
    }

    if (MenuHandle playlists{CreatePopupMenu()}) {
        int p = 0;
        if (state.playlists) {
            std::wstring name;
            for (CPlaylist* list = state.playlists->First(name);
                 list && p < kTrayMenuPlaylists; list = state.playlists->Next(name), ++p) {
                MenuHandle entries(CreatePopupMenu());
                if (!entries) continue;
                AppendEntries(entries.get(), list, state.library,
                              ID_PLAYLIST_ENTRY_FIRST + p * PLAYLIST_MENU_ENTRIES,
                              state.audibleSerial, rows);
                AppendPopup(playlists.get(), std::move(entries),
                            EscapeAmpersands(name, false).c_str(), true);
            }
        }
        AppendPopup(m, std::move(playlists), kPlaylistsText, p > 0);
    }
    AppendSeparator(m);

    auto enabled = [&](UINT id) { return state.isButtonEnabled && state.isButtonEnabled(id); };
    AppendMenuW(m, MF_STRING | Greyed(enabled(ID_ADD_FAVOURITES)), ID_ADD_FAVOURITES,
                kAddFavouritesText);
    AppendSeparator(m);
    AppendMenuW(m, MF_STRING | Greyed(enabled(ID_PLAY)), ID_PLAY,
                state.isPlaying ? kPauseText : kPlayText);
    AppendMenuW(m, MF_STRING | Greyed(enabled(ID_STOP)), ID_STOP, kStopText);
    AppendMenuW(m, MF_STRING | Greyed(enabled(ID_PREVIOUS)), ID_PREVIOUS, kPreviousText);
    AppendMenuW(m, MF_STRING | Greyed(enabled(ID_NEXT)), ID_NEXT, kNextText);
    AppendSeparator(m);

    const UINT windowId = state.windowVisible ? ID_HIDE : ID_SHOW;
    AppendMenuW(m, MF_STRING, windowId, state.windowVisible ? kHideText : kShowText);
    SetMenuDefaultItem(m, windowId, FALSE);
    AppendMenuW(m, MF_STRING | Greyed(state.quitAllowed), ID_QUIT, kQuitText);
    return menu;
}

void CTrayMenu::ShowTrayMenu(HWND owner, const TrayMenuState& state) const {
    POINT anchor = {};
    GetCursorPos(&anchor);
    MenuHandle menu = Build(state);
    if (!menu) return;
    // Submenus open to the left: the notification area sits at the screen's right edge.
    BOOL dropRight = FALSE;
    SystemParametersInfoW(SPI_GETMENUDROPALIGNMENT, 0, &dropRight, 0);
    SystemParametersInfoW(SPI_SETMENUDROPALIGNMENT, TRUE, nullptr, 0);
    TrackPopupMenu(menu.get(), TPM_BOTTOMALIGN | TPM_RIGHTALIGN | TPM_RIGHTBUTTON, anchor.x,
                   anchor.y, 0, owner, nullptr);
    SystemParametersInfoW(SPI_SETMENUDROPALIGNMENT, dropRight, nullptr, 0);
}
