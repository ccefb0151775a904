#pragma once
// The song list: a report-style list view that shows the entries of one playlist, one row per
// entry, in up to eleven song columns. Which columns show, their order and their widths are
// kept per kind of list in three layouts of the settings. The list paints the selected rows
// and the playing entry's row in the user's colours, sorts by a clicked column, reorders user
// playlists by dragging, and sends its commands (play, delete, add to favourites or to a
// playlist) to the main window.
//
// The control is a view of the playlist (owner data): it holds only the row count and which
// rows are selected and focused, and asks for the texts of the cells it paints (GetDispInfo),
// so a playlist of any length shows at once. Row r is the playlist's entry at index r; the
// entries are never copied.
//
// Everything here runs on the window thread.

#include "app/Settings.h"
#include "base/Handle.h"
#include "base/Subclass.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

class CLibrary;
class CSong;
class CPlaylist;
class CPlaylists;

class CWndList {
public:
    // The layouts: 0 for the library and artist lists, 1 for the favourites, 2 for the
    // playlists folder and the user playlists.
    static int LayoutForKind(int kind);

    // Creates the list view (control id 81) as a child of `parent`, filling its client area.
    // `font` may be null (the control's default font). The colour, sort and layout pointers
    // are settings fields, read and written live. GetWindow() is null when the control
    // could not be made.
    CWndList(HINSTANCE instance, HWND parent, CLibrary* library, CPlaylists* playlists,
             std::unique_ptr<LOGFONTW> font, COLORREF* textColour, COLORREF* backColour,
             COLORREF* highlightColour, int* sortColumn, DWORD* sortDescending,
             int (*positions)[kLayoutColumns], int (*widths)[kLayoutColumns]);
    // Stores the column order of the current layout and destroys the control.
    virtual ~CWndList();
    CWndList(const CWndList&) = delete;
    CWndList& operator=(const CWndList&) = delete;

    HWND GetWindow() const { return listWindow_; }
    HWND GetHeader() const { return headerWindow_; }
    CPlaylist* GetPlaylist() const { return playlist_; }
    int GetLayout() const { return layout_; }
    bool IsDragging() const { return dragging_; }

    // ---- Rows and columns ----
    // Shows the playlist's entries (null: no rows), with the layout of its kind and no row
    // selected. Library and artist playlists are sorted by the settings' sort first.
    void SetPlaylist(CPlaylist* playlist);
    void ClearRows();
    // The control's requests, routed here by its parent: the text of one cell
    // (LVN_GETDISPINFOW), and the row that typed letters name (LVN_ODFINDITEMW, -1 for none).
    void GetDispInfo(NMLVDISPINFOW* info);
    int FindItem(const NMLVFINDITEMW* find) const;

    void ToggleColumn(int id);
    void RebuildColumns();
    void SaveColumnPositions();
    // Stores the width of the column at `index` in the current layout: `width` when the
    // caller knows the width the column gets (the end of a divider drag reports it before
    // the column has it), otherwise the column's present width.
    void StoreColumnWidth(int index, int width = -1);
    bool IsColumnShown(int id) const;
    // The header's context menu: one checked or unchecked item per song column.
    MenuHandle BuildColumnMenu() const;
    void ShowColumnMenu(POINT screen);
    // Ids of the columns in index order (index 0, the hidden column, first).
    const std::vector<int>& ColumnIds() const { return columnIds_; }

    // ---- Appearance ----
    void ApplyColours();
    // Takes `font` as the list's font; a font that cannot be created is dropped.
    void SetListFont(std::unique_ptr<LOGFONTW> font);
    // Rows and new columns for a screen of `dpi` dots per inch (the constructor takes its
    // parent's); a chosen font keeps its point size.
    void SetDpi(int dpi);
    void ChooseListFont();
    void ChooseListColour(UINT command);
    // Gives the chosen font back to its owner (the settings, at shutdown).
    std::unique_ptr<LOGFONTW> TakeListFont() { return std::move(listFont_); }
    const LOGFONTW* GetListFont() const { return listFont_.get(); }
    // The answer to the list's NM_CUSTOMDRAW. `active`: a song is playing or paused;
    // `currentSerial`: the serial of its entry.
    LRESULT CustomDraw(NMLVCUSTOMDRAW* draw, bool active, int currentSerial);

    void SetLibraryReady() { libraryReady_ = true; }

    // ---- Selection and navigation ----
    int RowCount() const;
    int FocusedRow() const;
    int FocusedSongId() const;
    int SerialAt(int row) const;
    void ClearSelection();
    void SelectRow(int row);
    void SelectNext();
    void SelectPrevious();
    void SelectRandom();
    int FindRowBySerial(int serial) const;
    void SelectRowBySerial(int serial);
    void SelectAll();

    // ---- Sorting ----
    // A click on the header of the column at `index`: the first click sorts ascending, each
    // further click on the same column reverses the direction.
    void SortByColumn(int index);
    void Resort(int column, bool descending);
    void UpdateSortArrows();

    // ---- Commands and dragging ----
    MenuHandle BuildContextMenu() const;
    void ShowContextMenu(POINT screen);
    void DeleteSelected();
    void BeginDrag();
    // Scrolls while a drag holds the pointer above or below the list (called every tick).
    void AutoScroll();
    void EndDrag();

private:
    LRESULT ListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HeaderProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnRightButtonDown(WPARAM wp, LPARAM lp);
    void OnMouseMove(LPARAM lp);
    void OnKeyDown(WPARAM key);
    void OnCommand(WPARAM wp);
    void SendSelection(WPARAM wp);
    bool OnHeaderNotify(const NMHDR* header);

    // Rows without the redraw switching: the callers suspend redraw around a whole fill.
    void DeleteRows();
    void ShowAllRows();
    const CSong* SongOfRow(int row) const;
    std::vector<int> SelectedRows() const;
    void SetRedraw(bool on);

    // Columns.
    void ReadColumnIds();
    bool InsertColumn(int index, int id, int width);
    int* PositionOf(int id);
    int* WidthOf(int id);
    void SortInForce(int& column, bool& descending) const;

    CSubclass listSubclass_;
    CSubclass headerSubclass_;
    HWND mainWindow_ = nullptr;
    std::unique_ptr<LOGFONTW> listFont_;  // null: the control's default font
    HWND listWindow_ = nullptr;
    HWND headerWindow_ = nullptr;
    FontHandle fontHandle_;
    int dpi_ = 96;
    CLibrary* library_ = nullptr;
    COLORREF* textColour_ = nullptr;
    COLORREF* backColour_ = nullptr;
    COLORREF* highlightColour_ = nullptr;
    int* sortColumn_ = nullptr;
    DWORD* sortDescending_ = nullptr;
    int (*positions_)[kLayoutColumns] = nullptr;  // [layout][id - 1], 1-based, 0 = hidden
    int (*widths_)[kLayoutColumns] = nullptr;     // [layout][id - 1], 0 = default width
    CPlaylist* playlist_ = nullptr;  // not owned
    CPlaylists* playlists_ = nullptr;
    std::vector<int> columnIds_;     // by column index; follows every insert and delete
    std::wstring cellText_;          // the last formatted cell, until the control has copied it
    int shownColumns_ = 0;           // song columns, the hidden one not counted
    int layout_ = -1;                // -1 until the first playlist is shown
    int dragStartRow_ = -1;
    bool libraryReady_ = false;
    bool dragging_ = false;
};
