#define _CRT_RAND_S
#include <stdlib.h>

#include "ui/list/WndList.h"

#include "app/Ids.h"
#include "base/Dpi.h"
#include "base/EscapeAmpersands.h"
#include "library/Library.h"
#include "playlists/Playlist.h"
#include "playlists/Playlists.h"
#include "ui/frame/Appearance.h"
#include "ui/list/ListColumns.h"

#include <windowsx.h>

#include <algorithm>
#include <iterator>

namespace {

// Up to this many selected rows are cleared one by one.
constexpr int kFewRows = 256;

constexpr DWORD kExtendedStyles =
    LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER;

// Default columns of a layout that has none stored, in display order.
constexpr int kLibraryDefaults[] = {1, 4, 9};      // Filename, Size, Duration
constexpr int kPlaylistDefaults[] = {2, 1, 4, 9};  // Artist, Filename, Size, Duration

// Context menu texts.
constexpr const wchar_t* kPlayText = L"Play";
constexpr const wchar_t* kDeleteSongText = L"Delete song";
constexpr const wchar_t* kDeleteSongsText = L"Delete songs";
constexpr const wchar_t* kAddFavouritesText = L"Add to favourites";
constexpr const wchar_t* kAddPlaylistText = L"Add to playlist";
constexpr const wchar_t* kNewPlaylistText = L"New playlist";

// The list's own command ids (its context menu).
constexpr UINT kCmdPlay = 1;
constexpr UINT kCmdFontStyle = CAppearance::kFontStyle;
constexpr UINT kCmdFontColour = CAppearance::kFontColour;
constexpr UINT kCmdBackColour = CAppearance::kBackColour;
constexpr UINT kCmdHighlightColour = CAppearance::kHighlightColour;
constexpr UINT kCmdAddFavourites = 20;
constexpr UINT kCmdDelete = 23;
constexpr UINT kCmdNewPlaylist = 100;  // 100 + k: the k-th playlist of the set

bool IsUserList(const CPlaylist* playlist) {
    if (!playlist) return false;
    const int kind = playlist->GetKind();
    return kind == CPlaylist::kUser || kind == CPlaylist::kFavourites;
}

}  // namespace

int CWndList::LayoutForKind(int kind) {
    switch (kind) {
    case CPlaylist::kFavourites: return 1;
    case CPlaylist::kPlaylistsNode:
    case CPlaylist::kUser: return 2;
    }
    return 0;
}

// ---- Creation and destruction ----------------------------------------------------------------

CWndList::CWndList(HINSTANCE instance, HWND parent, CLibrary* library, CPlaylists* playlists,
                   std::unique_ptr<LOGFONTW> font, COLORREF* textColour, COLORREF* backColour,
                   COLORREF* highlightColour, int* sortColumn, DWORD* sortDescending,
                   int (*positions)[kLayoutColumns], int (*widths)[kLayoutColumns])
    : mainWindow_(parent), library_(library), textColour_(textColour), backColour_(backColour),
      highlightColour_(highlightColour), sortColumn_(sortColumn), sortDescending_(sortDescending),
      positions_(positions), widths_(widths), playlists_(playlists) {
    RECT client{};
    GetClientRect(parent, &client);
    listWindow_ = CreateWindowExW(0, WC_LISTVIEWW, nullptr,
                                  WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS |
                                      LVS_OWNERDATA,
                                  0, 0,
                                  client.right, client.bottom, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SONGLIST)),
                                  instance, nullptr);
    if (!listWindow_) return;
    dpi_ = WindowDpi(parent);
    ListView_SetExtendedListViewStyle(listWindow_, kExtendedStyles);
    SetListFont(std::move(font));
    ApplyColours();
    headerWindow_ = ListView_GetHeader(listWindow_);
    listSubclass_.Attach<CWndList, &CWndList::ListProc>(listWindow_, this);
    headerSubclass_.Attach<CWndList, &CWndList::HeaderProc>(headerWindow_, this);
    InsertColumn(0, kHiddenColumn, 0);
}

CWndList::~CWndList() {
    SaveColumnPositions();
    listSubclass_.Detach();
    headerSubclass_.Detach();
    if (listWindow_ && IsWindow(listWindow_)) DestroyWindow(listWindow_);
}

// ---- Rows ------------------------------------------------------------------------------------

void CWndList::SetRedraw(bool on) {
    SendMessageW(listWindow_, WM_SETREDRAW, on ? TRUE : FALSE, 0);
    if (on) InvalidateRect(listWindow_, nullptr, TRUE);
}

void CWndList::DeleteRows() { ListView_DeleteAllItems(listWindow_); }

void CWndList::ClearRows() {
    SetRedraw(false);
    DeleteRows();
    SetRedraw(true);
}

// Emptying the control first drops the old rows' selection and focus and scrolls to the top;
// the new rows are only a count.
void CWndList::SetPlaylist(CPlaylist* playlist) {
    playlist_ = playlist;
    SetRedraw(false);
    DeleteRows();
    if (playlist_) {
        const int kind = playlist_->GetKind();
        if (kind == CPlaylist::kLibrary || kind == CPlaylist::kArtist)
            playlist_->Sort(*sortColumn_, *sortDescending_ != 0);
        const int layout = LayoutForKind(kind);
        if (layout != layout_) {
            SaveColumnPositions();
            layout_ = layout;
            RebuildColumns();
        }
        ShowAllRows();
    }
    SetRedraw(true);
    UpdateSortArrows();
}

void CWndList::ShowAllRows() { ListView_SetItemCountEx(listWindow_, playlist_->GetCount(), 0); }

const CSong* CWndList::SongOfRow(int row) const {
    if (!playlist_ || !library_) return nullptr;
    return library_->GetSong(playlist_->GetIdAt(row));
}

// The texts come from the song each time the control paints a cell: a song's texts do not
// change while it is shown, and only the visible cells are ever formatted.
void CWndList::GetDispInfo(NMLVDISPINFOW* info) {
    LVITEMW& item = info->item;
    if (!(item.mask & LVIF_TEXT)) return;
    const CSong* song = SongOfRow(item.iItem);
    const int index = item.iSubItem;
    const wchar_t* text = nullptr;
    if (song && index >= 0 && index < static_cast<int>(columnIds_.size()))
        text = CellText(*song, columnIds_[index], cellText_);
    if (!text) text = L"";
    if (item.pszText && item.cchTextMax > 0)
        lstrcpynW(item.pszText, text, item.cchTextMax);
    else
        item.pszText = const_cast<wchar_t*>(text);
}

// Letters typed into the list move to a row whose file name (the row's own text) starts with
// them, from the row the control names on and round to the top, as a list holding its texts
// does by itself.
int CWndList::FindItem(const NMLVFINDITEMW* find) const {
    const LVFINDINFOW& what = find->lvfi;
    const int count = RowCount();
    if (!playlist_ || !what.psz || !(what.flags & (LVFI_STRING | LVFI_PARTIAL)) || count == 0)
        return -1;
    const bool partial = (what.flags & LVFI_PARTIAL) != 0;
    const int length = lstrlenW(what.psz);
    const int start = find->iStart >= 0 && find->iStart < count ? find->iStart : 0;
    std::wstring buffer;
    for (int n = 0; n < count; ++n) {
        int row = start + n;
        if (row >= count) {
            if (!(what.flags & LVFI_WRAP)) break;
            row -= count;
        }
        const CSong* song = SongOfRow(row);
        const wchar_t* name = song ? CellText(*song, kHiddenColumn, buffer) : nullptr;
        if (!name) continue;
        const int compared = partial ? std::min(lstrlenW(name), length) : -1;
        if (partial && compared < length) continue;
        if (CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, name, compared, what.psz,
                           partial ? length : -1) == CSTR_EQUAL)
            return row;
    }
    return -1;
}

// ---- Columns ---------------------------------------------------------------------------------

void CWndList::ReadColumnIds() {
    columnIds_.clear();
    LVCOLUMNW column{};
    column.mask = LVCF_SUBITEM;
    for (int c = 0; ListView_GetColumn(listWindow_, c, &column); ++c)
        columnIds_.push_back(column.iSubItem);
}

bool CWndList::InsertColumn(int index, int id, int width) {
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_SUBITEM;
    column.cx = width;
    column.iSubItem = id;
    if (const ListColumn* info = ColumnInfo(id)) {
        column.mask |= LVCF_FMT | LVCF_TEXT;
        column.fmt = info->format;
        column.pszText = const_cast<wchar_t*>(info->header);
    }
    const bool inserted = ListView_InsertColumn(listWindow_, index, &column) >= 0;
    ReadColumnIds();
    return inserted;
}

int* CWndList::PositionOf(int id) {
    if (layout_ < 0 || layout_ >= kColumnLayouts || id < kFirstSongColumn || id > kLastSongColumn)
        return nullptr;
    return &positions_[layout_][id - 1];
}

int* CWndList::WidthOf(int id) {
    if (layout_ < 0 || layout_ >= kColumnLayouts || id < kFirstSongColumn || id > kLastSongColumn)
        return nullptr;
    return &widths_[layout_][id - 1];
}

void CWndList::ToggleColumn(int id) {
    if (!ColumnInfo(id)) return;
    const auto shown = std::find(columnIds_.begin() + 1, columnIds_.end(), id);
    if (shown != columnIds_.end()) {
        ListView_DeleteColumn(listWindow_, static_cast<int>(shown - columnIds_.begin()));
        ReadColumnIds();
        if (int* position = PositionOf(id)) *position = 0;
        --shownColumns_;
        return;
    }
    const int* stored = WidthOf(id);
    const int width = stored && *stored > 0 ? *stored : ScaleForDpi(kDefaultColumnWidth, dpi_);
    if (!InsertColumn(shownColumns_ + 1, id, width)) return;
    ++shownColumns_;
    if (int* position = PositionOf(id)) *position = shownColumns_;
}

void CWndList::RebuildColumns() {
    for (int c = static_cast<int>(columnIds_.size()) - 1; c >= 1; --c)
        ListView_DeleteColumn(listWindow_, c);
    ReadColumnIds();
    shownColumns_ = 0;
    if (layout_ < 0) return;
    // ToggleColumn renumbers the positions as it goes, so the wanted order is read first.
    std::vector<int> order;
    for (int p = 1; p <= kLastSongColumn; ++p) {
        for (int id = kFirstSongColumn; id <= kLastSongColumn; ++id) {
            if (positions_[layout_][id - 1] == p) {
                order.push_back(id);
                break;
            }
        }
    }
    for (int id : order) ToggleColumn(id);
    if (shownColumns_ > 0) return;
    if (layout_ == 0) {
        for (int id : kLibraryDefaults) ToggleColumn(id);
    } else {
        for (int id : kPlaylistDefaults) ToggleColumn(id);
    }
}

// The user may drag even the zero-width hidden column to another place; the song columns
// are then numbered in their display order without it, so their positions stay 1 to n.
void CWndList::SaveColumnPositions() {
    if (layout_ < 0 || !listWindow_ || !IsWindow(listWindow_)) return;
    const int count = static_cast<int>(columnIds_.size());
    std::vector<int> order(count);
    if (count == 0 || !ListView_GetColumnOrderArray(listWindow_, count, order.data())) return;
    int position = 0;
    for (int slot = 0; slot < count; ++slot) {
        const int index = order[slot];
        if (index < 0 || index >= count) continue;
        if (int* stored = PositionOf(columnIds_[index])) *stored = ++position;
    }
}

void CWndList::StoreColumnWidth(int index, int width) {
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH | LVCF_SUBITEM;
    if (!ListView_GetColumn(listWindow_, index, &column) || column.iSubItem == kHiddenColumn) return;
    if (int* stored = WidthOf(column.iSubItem)) *stored = width >= 0 ? width : column.cx;
}

bool CWndList::IsColumnShown(int id) const {
    return std::find(columnIds_.begin() + (columnIds_.empty() ? 0 : 1), columnIds_.end(), id) !=
           columnIds_.end();
}

MenuHandle CWndList::BuildColumnMenu() const {
    MenuHandle menu(CreatePopupMenu());
    if (!menu) return menu;
    for (int id = kFirstSongColumn; id <= kLastSongColumn; ++id) {
        const UINT flags = MF_STRING | (IsColumnShown(id) ? MF_CHECKED : MF_UNCHECKED);
        AppendMenuW(menu.get(), flags, id, ColumnInfo(id)->menu);
    }
    return menu;
}

// The choice arrives as WM_COMMAND at the header, which toggles the column.
void CWndList::ShowColumnMenu(POINT screen) {
    MenuHandle menu = BuildColumnMenu();
    if (menu) TrackPopupMenu(menu.get(), TPM_RIGHTBUTTON, screen.x, screen.y, 0, headerWindow_, nullptr);
}

// ---- Appearance ------------------------------------------------------------------------------

void CWndList::ApplyColours() {
    ListView_SetTextColor(listWindow_, *textColour_);
    ListView_SetTextBkColor(listWindow_, *backColour_);
    ListView_SetBkColor(listWindow_, *backColour_);
    InvalidateRect(listWindow_, nullptr, TRUE);
}

// The chosen font was measured for the screen the program started on; on another screen it is
// made at the same point size. The rows follow the font's height.
void CWndList::SetListFont(std::unique_ptr<LOGFONTW> font) {
    if (!font) return;
    LOGFONTW scaled = *font;
    scaled.lfHeight = MulDiv(font->lfHeight, dpi_, SystemDpi());
    FontHandle handle(CreateFontIndirectW(&scaled));
    if (!handle) {
        // The font is forgotten, so the next save drops it from the settings.
        listFont_.reset();
        return;
    }
    listFont_ = std::move(font);
    SendMessageW(listWindow_, WM_SETFONT, reinterpret_cast<WPARAM>(handle.get()), TRUE);
    fontHandle_ = std::move(handle);  // deletes the previous font, which the list no longer uses
}

void CWndList::SetDpi(int dpi) {
    if (!listWindow_ || dpi <= 0) return;
    dpi_ = dpi;
    if (listFont_) {
        SetListFont(std::make_unique<LOGFONTW>(*listFont_));
        return;
    }
    // Without a chosen font the list shows the system's, made for this screen.
    FontHandle font(CreateSystemFontForDpi(SystemFontKind::IconTitle, dpi));
    SendMessageW(listWindow_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    fontHandle_ = std::move(font);
}

// The dialog edits a copy, so that a cancelled dialog leaves the chosen font as it was.
void CWndList::ChooseListFont() {
    if (std::unique_ptr<LOGFONTW> font = CAppearance::AskFont(mainWindow_, listFont_.get()))
        SetListFont(std::move(font));
}

void CWndList::ChooseListColour(UINT command) {
    if (CAppearance::AskColour(listWindow_, CAppearance::ColourOf(command, textColour_, backColour_, highlightColour_)))
        ApplyColours();
}

// Selected rows show the background colour on the highlight colour whether or not the list
// has the focus; the playing row shows its text in the highlight colour; the focused row gets
// a dotted rectangle over its full width.
LRESULT CWndList::CustomDraw(NMLVCUSTOMDRAW* draw, bool active, int currentSerial) {
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        const int row = static_cast<int>(draw->nmcd.dwItemSpec);
        if (ListView_GetItemState(listWindow_, row, LVIS_SELECTED) & LVIS_SELECTED)
            draw->nmcd.uItemState |= CDIS_SELECTED;
        else
            draw->nmcd.uItemState &= ~CDIS_SELECTED;
        if (active && currentSerial != 0 && SerialAt(row) == currentSerial)
            draw->clrText = *highlightColour_;
        if (draw->nmcd.uItemState & CDIS_SELECTED) {
            draw->clrText = *backColour_;
            draw->clrTextBk = *highlightColour_;
            draw->nmcd.uItemState &= ~CDIS_SELECTED;
        }
        if (draw->nmcd.uItemState & CDIS_FOCUS) {
            draw->nmcd.uItemState &= ~CDIS_FOCUS;
            return CDRF_NOTIFYPOSTPAINT;
        }
        return CDRF_DODEFAULT;
    }
    case CDDS_ITEMPOSTPAINT: {
        RECT bounds{};
        if (ListView_GetItemRect(listWindow_, static_cast<int>(draw->nmcd.dwItemSpec), &bounds,
                                 LVIR_BOUNDS))
            DrawFocusRect(draw->nmcd.hdc, &bounds);
        return CDRF_DODEFAULT;
    }
    }
    return CDRF_DODEFAULT;
}

// ---- Selection and navigation ----------------------------------------------------------------

int CWndList::RowCount() const { return ListView_GetItemCount(listWindow_); }

int CWndList::FocusedRow() const { return ListView_GetNextItem(listWindow_, -1, LVNI_FOCUSED); }

int CWndList::FocusedSongId() const {
    const int row = FocusedRow();
    return row >= 0 && playlist_ ? playlist_->GetIdAt(row) : 0;
}

int CWndList::SerialAt(int row) const {
    return playlist_ && row >= 0 && row < RowCount() ? playlist_->GetSerialAt(row) : 0;
}

// Item -1 stands for every row: one change and one notification, however many were selected.
// The control keeps the selection as ranges of rows and finds the selected ones at once, but
// a change of state for every row (item -1) walks all the rows: a few selected rows are
// cleared one by one, a great many all together, without a repaint of each.
void CWndList::ClearSelection() {
    if (ListView_GetSelectedCount(listWindow_) > kFewRows) {
        SetRedraw(false);
        ListView_SetItemState(listWindow_, -1, 0, LVIS_SELECTED);
        SetRedraw(true);
    } else {
        for (int row = -1; (row = ListView_GetNextItem(listWindow_, row, LVNI_SELECTED)) >= 0;)
            ListView_SetItemState(listWindow_, row, 0, LVIS_SELECTED);
    }
    const int focused = FocusedRow();
    if (focused >= 0) ListView_SetItemState(listWindow_, focused, 0, LVIS_FOCUSED);
}

void CWndList::SelectRow(int row) {
    if (RowCount() == 0) return;
    ClearSelection();
    ListView_SetItemState(listWindow_, row, LVIS_SELECTED, LVIS_SELECTED);
    ListView_SetItemState(listWindow_, row, LVIS_FOCUSED, LVIS_FOCUSED);
    ListView_EnsureVisible(listWindow_, row, FALSE);
}

void CWndList::SelectNext() {
    const int next = FocusedRow() + 1;
    if (next < RowCount()) SelectRow(next);
}

void CWndList::SelectPrevious() {
    const int previous = FocusedRow() - 1;
    if (previous >= 0) SelectRow(previous);
}

void CWndList::SelectRandom() {
    const int count = RowCount();
    if (count == 0) return;
    unsigned value = 0;
    rand_s(&value);
    SelectRow(static_cast<int>(value % static_cast<unsigned>(count)));
}

int CWndList::FindRowBySerial(int serial) const {
    if (!playlist_ || serial == 0) return -1;
    const int row = playlist_->IndexOfSerial(serial);
    return row < RowCount() ? row : -1;
}

void CWndList::SelectRowBySerial(int serial) {
    const int row = FindRowBySerial(serial);
    if (row >= 0) SelectRow(row);
}

// Item -1 stands for every row; the list is painted once afterwards, not row by row.
void CWndList::SelectAll() {
    SetRedraw(false);
    ListView_SetItemState(listWindow_, -1, LVIS_SELECTED, LVIS_SELECTED);
    SetRedraw(true);
}

std::vector<int> CWndList::SelectedRows() const {
    std::vector<int> rows;
    for (int row = -1; (row = ListView_GetNextItem(listWindow_, row, LVNI_SELECTED)) >= 0;)
        rows.push_back(row);
    return rows;
}

// ---- Sorting ---------------------------------------------------------------------------------

// The library and artist lists share the settings' sort; the favourites and user playlists
// each keep their own.
void CWndList::SortInForce(int& column, bool& descending) const {
    if (layout_ > 0 && playlist_) {
        playlist_->GetSortState(column, descending);
        return;
    }
    column = *sortColumn_;
    descending = *sortDescending_ != 0;
}

void CWndList::SortByColumn(int index) {
    if (!playlist_) return;
    LVCOLUMNW info{};
    info.mask = LVCF_SUBITEM;
    if (!ListView_GetColumn(listWindow_, index, &info)) return;
    int column = 0;
    bool descending = false;
    SortInForce(column, descending);
    if (column == info.iSubItem) {
        descending = !descending;
    } else {
        column = info.iSubItem;
        descending = false;
    }
    Resort(column, descending);
    if (layout_ == 0) {
        *sortColumn_ = column;
        *sortDescending_ = descending ? 1 : 0;
    }
    UpdateSortArrows();
    PostMessageW(mainWindow_, WM_APP_PLAYLIST_CHANGED, 0, reinterpret_cast<LPARAM>(playlist_));
}

void CWndList::Resort(int column, bool descending) {
    if (!playlist_) return;
    const int focusedSerial = SerialAt(FocusedRow());
    SetRedraw(false);
    DeleteRows();
    playlist_->Sort(column, descending);
    ShowAllRows();
    int row = -1;
    if (focusedSerial != 0) {
        row = playlist_->IndexOfSerial(focusedSerial);
        if (row >= 0)
            ListView_SetItemState(listWindow_, row, LVIS_SELECTED | LVIS_FOCUSED,
                                  LVIS_SELECTED | LVIS_FOCUSED);
    }
    SetRedraw(true);
    if (row >= 0) ListView_EnsureVisible(listWindow_, row, FALSE);
}

void CWndList::UpdateSortArrows() {
    int column = 0;
    bool descending = false;
    SortInForce(column, descending);
    const int count = Header_GetItemCount(headerWindow_);
    for (int i = 0; i < count && i < static_cast<int>(columnIds_.size()); ++i) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        if (!Header_GetItem(headerWindow_, i, &item)) continue;
        const int old = item.fmt;
        if (column != 0 && columnIds_[i] == column) {
            item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
            item.fmt |= descending ? HDF_SORTDOWN : HDF_SORTUP;
        } else {
            item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        }
        if (item.fmt != old) Header_SetItem(headerWindow_, i, &item);
    }
}

// ---- Context menu and commands ---------------------------------------------------------------

MenuHandle CWndList::BuildContextMenu() const {
    MenuHandle menu(CreatePopupMenu());
    if (!menu) return menu;
    HMENU m = menu.get();
    if (libraryReady_) {
        const int selected = ListView_GetSelectedCount(listWindow_);
        const int kind = playlist_ ? playlist_->GetKind() : 0;
        const bool focused = FocusedRow() >= 0;
        AppendMenuW(m, MF_STRING | (focused ? 0 : MF_GRAYED), kCmdPlay, kPlayText);
        if (focused) SetMenuDefaultItem(m, kCmdPlay, FALSE);
        AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
        const bool canDelete = selected > 0 && IsUserList(playlist_);
        AppendMenuW(m, MF_STRING | (canDelete ? 0 : MF_GRAYED), kCmdDelete,
                    selected >= 2 ? kDeleteSongsText : kDeleteSongText);
        const bool canFavour = selected > 0 && playlist_ && kind != CPlaylist::kFavourites;
        AppendMenuW(m, MF_STRING | (canFavour ? 0 : MF_GRAYED), kCmdAddFavourites,
                    kAddFavouritesText);
        const bool canAdd = selected > 0 && playlist_ && kind != CPlaylist::kLibrary &&
                            kind != CPlaylist::kPlaylistsNode;
        HMENU sub = CreatePopupMenu();
        if (canAdd && sub) {
            AppendMenuW(sub, MF_STRING, kCmdNewPlaylist, kNewPlaylistText);
            const int count = playlists_ ? playlists_->GetCount() : 0;
            if (count > 0) AppendMenuW(sub, MF_SEPARATOR, 0, nullptr);
            std::wstring name;
            int k = 1;
            for (CPlaylist* p = playlists_ ? playlists_->First(name) : nullptr; p;
                 p = playlists_->Next(name), ++k) {
                AppendMenuW(sub, MF_STRING | (p == playlist_ ? MF_GRAYED : 0), kCmdNewPlaylist + k,
                            EscapeAmpersands(name, false).c_str());
            }
        }
        // The sub-menu belongs to the menu from here on and goes with it.
        if (sub)
            AppendMenuW(m, MF_POPUP | (canAdd ? 0 : MF_GRAYED), reinterpret_cast<UINT_PTR>(sub),
                        kAddPlaylistText);
        AppendMenuW(m, MF_SEPARATOR, 0, nullptr);
    }
    CAppearance::AppendMenuItems(m);
    return menu;
}

// The choice arrives as WM_COMMAND at the list itself.
void CWndList::ShowContextMenu(POINT screen) {
    MenuHandle menu = BuildContextMenu();
    if (menu) TrackPopupMenu(menu.get(), TPM_RIGHTBUTTON, screen.x, screen.y, 0, listWindow_, nullptr);
}

void CWndList::OnCommand(WPARAM wp) {
    const UINT id = LOWORD(wp);
    switch (id) {
    case kCmdPlay:   SendMessageW(mainWindow_, WM_COMMAND, ID_PLAY, 1); return;
    case kCmdFontStyle: ChooseListFont(); return;
    case kCmdFontColour:
    case kCmdBackColour:
    case kCmdHighlightColour: ChooseListColour(id); return;
    case kCmdDelete: DeleteSelected(); return;
    }
    if (id == kCmdAddFavourites || id >= kCmdNewPlaylist) SendSelection(wp);
}

// The selected songs go to the favourites, to a new playlist or to an existing one, as a
// temporary playlist in row order.
void CWndList::SendSelection(WPARAM wp) {
    if (!playlist_) return;
    auto songs = std::make_unique<CPlaylist>(CPlaylist::kUser);
    for (int row : SelectedRows()) {
        const int id = playlist_->GetIdAt(row);
        if (id != 0) songs->Add(id, true);
    }
    if (songs->GetCount() == 0) return;
    const UINT id = LOWORD(wp);
    if (id == kCmdAddFavourites) {
        SendMessageW(mainWindow_, WM_COMMAND, wp, reinterpret_cast<LPARAM>(songs.get()));
    } else if (id == kCmdNewPlaylist) {
        // The receiver owns the playlist from here on.
        SendMessageW(mainWindow_, WM_COMMAND, ID_NEW_PLAYLIST,
                     reinterpret_cast<LPARAM>(songs.release()));
    } else if (CPlaylist* target = playlists_ ? playlists_->GetByIndex(id - kCmdNewPlaylist - 1)
                                              : nullptr) {
        target->AddAll(songs.get(), true);
        PostMessageW(mainWindow_, WM_APP_PLAYLIST_CHANGED, 0, reinterpret_cast<LPARAM>(target));
    }
}

// Each removal is announced before it happens, lowest row first, so that the main window
// can move playback's previous and next entries while the row still has its entry; the rows
// after it move up by one each time.
void CWndList::DeleteSelected() {
    if (!IsUserList(playlist_)) return;
    for (int from = -1, row; (row = ListView_GetNextItem(listWindow_, from, LVNI_SELECTED)) >= 0;) {
        SendMessageW(mainWindow_, WM_COMMAND, ID_ENTRY_REMOVING, row);
        // The message may have changed the shown list; a playlist that went away ends it.
        if (!IsUserList(playlist_) || row >= RowCount()) break;
        playlist_->RemoveAt(row);
        ListView_DeleteItem(listWindow_, row);
        from = row - 1;
    }
    const int focused = FocusedRow();
    if (focused >= 0) ListView_SetItemState(listWindow_, focused, LVIS_SELECTED, LVIS_SELECTED);
}

// ---- Dragging --------------------------------------------------------------------------------

void CWndList::BeginDrag() {
    SetCapture(listWindow_);
    dragStartRow_ = FocusedRow();
    dragging_ = true;
}

void CWndList::AutoScroll() {
    if (!dragging_) return;
    RECT first{};
    if (!ListView_GetItemRect(listWindow_, 0, &first, LVIR_BOUNDS)) return;
    const int h = first.bottom - first.top;
    RECT window{};
    POINT pointer{};
    if (h == 0 || !GetWindowRect(listWindow_, &window) || !GetCursorPos(&pointer)) return;
    if (pointer.y < window.top)
        ListView_Scroll(listWindow_, 0, -h * ((window.top - pointer.y) / h + 1));
    else if (pointer.y > window.bottom)
        ListView_Scroll(listWindow_, 0, h * ((pointer.y - window.bottom) / h + 1));
}

// Rows dragged downwards land directly below the target row, rows dragged upwards directly
// above it, each group in its former order. The row indexes are those before the move: the
// rows are refilled only at the end.
void CWndList::EndDrag() {
    if (!dragging_) return;
    if (GetCapture() == listWindow_) ReleaseCapture();
    int target = FocusedRow();
    const std::vector<int> selected = SelectedRows();
    const bool onSelected =
        target >= 0 && std::binary_search(selected.begin(), selected.end(), target);
    if (playlist_ && target >= 0 && !selected.empty() && !onSelected) {
        const auto below = std::upper_bound(selected.begin(), selected.end(), target);
        const bool anyAbove = below != selected.begin();
        int insert = anyAbove ? target + 1 : target;
        for (auto above = below; above != selected.begin();) {
            --above;
            playlist_->Move(*above, target);
            --target;
        }
        for (auto b = std::upper_bound(selected.begin(), selected.end(), insert);
             b != selected.end(); ++b)
            playlist_->Move(*b, insert++);
        const int dropRow = FocusedRow();
        SetPlaylist(playlist_);
        SelectRow(dropRow);
        PostMessageW(mainWindow_, WM_APP_PLAYLIST_CHANGED, 0, reinterpret_cast<LPARAM>(playlist_));
    } else if (dragStartRow_ >= 0) {
        ListView_SetItemState(listWindow_, dragStartRow_, LVIS_FOCUSED, LVIS_FOCUSED);
    }
    dragging_ = false;
}

// ---- Subclass procedures ---------------------------------------------------------------------

LRESULT CWndList::ListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_LBUTTONDOWN: SetFocus(hwnd); break;
    case WM_RBUTTONDOWN: return OnRightButtonDown(wp, lp);
    case WM_MOUSEMOVE:   OnMouseMove(lp); break;
    case WM_LBUTTONUP:   if (dragging_) EndDrag(); break;
    case WM_KILLFOCUS:   EndDrag(); break;
    case WM_KEYDOWN:     OnKeyDown(wp); break;
    case WM_COMMAND:     OnCommand(wp); break;
    case WM_NOTIFY:      if (OnHeaderNotify(reinterpret_cast<const NMHDR*>(lp))) return TRUE; break;
    }
    return listSubclass_.CallOld(hwnd, msg, wp, lp);
}

// The control updates the selection under the pointer first, so the menu acts on it.
LRESULT CWndList::OnRightButtonDown(WPARAM wp, LPARAM lp) {
    SetFocus(listWindow_);
    const LRESULT result = listSubclass_.CallOld(listWindow_, WM_RBUTTONDOWN, wp, lp);
    POINT point{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    ClientToScreen(listWindow_, &point);
    ShowContextMenu(point);
    return result;
}

// While dragging, the focus rectangle marks the row under the pointer: the drop target.
void CWndList::OnMouseMove(LPARAM lp) {
    if (!dragging_ || GetCapture() != listWindow_) return;
    LVHITTESTINFO hit{};
    hit.pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    const int row = ListView_HitTest(listWindow_, &hit);
    if (row >= 0 && (hit.flags & (LVHT_ONITEMICON | LVHT_ONITEMLABEL | LVHT_ONITEMSTATEICON))) {
        ListView_SetItemState(listWindow_, row, LVIS_FOCUSED, LVIS_FOCUSED);
    } else {
        const int focused = FocusedRow();
        if (focused >= 0) ListView_SetItemState(listWindow_, focused, 0, LVIS_FOCUSED);
    }
}

void CWndList::OnKeyDown(WPARAM key) {
    switch (key) {
    case VK_RETURN:
        if (FocusedRow() >= 0) SendMessageW(mainWindow_, WM_COMMAND, ID_PLAY, 1);
        return;
    case VK_SPACE:  SendMessageW(mainWindow_, WM_COMMAND, ID_PLAY, 0); return;
    case VK_DELETE: DeleteSelected(); return;
    case 'A':
        if (GetKeyState(VK_CONTROL) < 0) SelectAll();
        return;
    }
}

// The hidden column is never resized: not by a divider drag (the list view does not pass
// every header notification on to the main window, so the refusal is made here as well) and
// not by a double click on its divider, which would size it to its texts and show it.
bool CWndList::OnHeaderNotify(const NMHDR* header) {
    if (!header || header->hwndFrom != headerWindow_) return false;
    switch (header->code) {
    case HDN_BEGINTRACKW:
    case HDN_BEGINTRACKA:
    case HDN_DIVIDERDBLCLICKW:
    case HDN_DIVIDERDBLCLICKA:
        return reinterpret_cast<const NMHEADERW*>(header)->iItem == 0;
    }
    return false;
}

LRESULT CWndList::HeaderProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_RBUTTONDOWN: {
        POINT point{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        ClientToScreen(hwnd, &point);
        ShowColumnMenu(point);
        return 0;
    }
    case WM_COMMAND:
        ToggleColumn(LOWORD(wp));
        break;
    }
    return headerSubclass_.CallOld(hwnd, msg, wp, lp);
}
