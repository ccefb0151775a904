#pragma once
// The library tree: the left pane, a tree-view control whose nodes are the program's
// playlists. Its roots are "Favourites", "Playlists" (the user's playlists) and "Library" (one
// node per artist, and below an artist one per collaboration). Every node's item data is the
// CPlaylist it shows; the node owns it, and the main window deletes it when the control
// reports the node deleted (TVN_DELETEITEMW).
//
// The Library branch is built by CTreeBuild on a thread of its own; the playlists and the
// favourites are read from their files once it is complete, and written back when they change
// (a few seconds later, on a timer) and when the window goes.

#include "base/Handle.h"
#include "base/Subclass.h"
#include "ui/frame/Appearance.h"
#include "ui/tree/TreeBuild.h"

#include <windows.h>
#include <commctrl.h>
// ChooseFont is also a macro of the common dialogs; it must name the same member everywhere.
#include <commdlg.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

class CCache;
class CLibrary;
class CPlaylist;
class CPlaylists;
class CWndStatus;

class CWndTree {
public:
    // Context menu commands, sent to the control as WM_COMMAND.
    static constexpr UINT kFontStyle = CAppearance::kFontStyle;
    static constexpr UINT kFontColour = CAppearance::kFontColour;
    static constexpr UINT kBackColour = CAppearance::kBackColour;
    static constexpr UINT kHighlightColour = CAppearance::kHighlightColour;
    static constexpr UINT kNewPlaylist = 17;
    static constexpr UINT kDeletePlaylist = 18;
    static constexpr UINT kAddToFavourites = 19;
    static constexpr UINT kAddToPlaylistFirst = 100;  // 100: a new playlist, 101...: the set's
    // How long a changed playlist waits before it is written, so that a run of changes costs
    // one save.
    static constexpr UINT kSaveDelayMs = 2000;

    // Creates the control (id 82) over the parent's client area, empty until the build. font
    // (copied; null for the control's own font) and the three colours (edited in place by the
    // colour commands) come from the settings.
    CWndTree(HINSTANCE instance, HWND parent, std::wstring dataFolder, CWndStatus* statusBar,
             CLibrary* library, CPlaylists* playlists, CCache* cache, const LOGFONTW* font,
             COLORREF* textColour, COLORREF* backColour, COLORREF* highlightColour);
    // Stops the build, writes the favourites and the user playlists, deletes every node (the
    // main window deletes their playlists) and the control.
    virtual ~CWndTree();
    CWndTree(const CWndTree&) = delete;
    CWndTree& operator=(const CWndTree&) = delete;

    HWND GetControl() const { return control_; }
    // Icons and rows for a screen of `dpi` dots per inch (the constructor takes its parent's);
    // a chosen font keeps its point size.
    void SetDpi(int dpi);

    // The build (once per run) and its stop; ready once the whole tree is complete.
    bool StartBuild();
    void StopBuild();
    bool IsReady() const { return ready_; }

    CPlaylist* GetSelectedPlaylist() const;
    CPlaylist* GetFavourites() const;
    CPlaylist* GetPlaylistOf(HTREEITEM item) const;
    std::wstring GetNodeText(HTREEITEM item) const;
    // The first child of parent whose text equals text without regard to case, or null.
    HTREEITEM FindChild(HTREEITEM parent, const std::wstring& text) const;
    HTREEITEM GetLibraryItem() const { return libraryItem_; }
    HTREEITEM GetPlaylistsItem() const { return playlistsItem_; }
    HTREEITEM GetFavouritesItem() const { return favouritesItem_; }

    // Selection from outside (the tray menu, random play); each scrolls the node into view.
    void SelectPlaylistNode(const CPlaylist* playlist);
    void SelectFavourites();
    void SelectSongArtist(int songId);
    void SelectRandomArtist();

    // Find in the library: a "Search results" node stands first under the Library node while
    // a search is shown. ShowSearchResults puts `results` into that node (made when missing)
    // and selects it; it hands back the playlist the node held before (null for a new node),
    // which the caller disposes of as a deleted node's. The node is never saved.
    std::unique_ptr<CPlaylist> ShowSearchResults(std::unique_ptr<CPlaylist> results);
    void RemoveSearchResults();
    HTREEITEM GetSearchItem() const { return searchItem_; }

    void SortPlaylists();
    // Deletes a node, moving the selection to a neighbour first.
    void RemoveNode(HTREEITEM item);

    // The appearance commands: the font dialog and the colour dialog for kFontColour,
    // kBackColour or kHighlightColour.
    void ChooseFont();
    void ChooseColour(UINT command);
    // The chosen font, handed to the settings at shutdown (null when none was chosen).
    std::unique_ptr<LOGFONTW> TakeFont();

    // The item colours, answered for the control's NM_CUSTOMDRAW by the main window.
    LRESULT CustomDraw(NMTVCUSTOMDRAW* draw) const;

    // Filling the favourites and the playlists. Each posts WM_APP_PLAYLIST_CHANGED.
    void AddSongToFavourites(int songId);
    void AddPlaylistToFavourites(const CPlaylist* playlist);
    void AddNodeToFavourites(HTREEITEM item);
    // k = 0: a new playlist named after the selected node; k >= 1: the set's (k - 1)-th.
    void AddNodeToPlaylist(int k);

    // The user playlists. NewPlaylist makes a playlist named after baseName ("New playlist" for
    // null) holding the songs of `songs` (empty for null) and starts editing the new node's
    // label; it returns null when the node cannot be made.
    HTREEITEM NewPlaylist(const wchar_t* baseName, const CPlaylist* songs);
    // False (the old name stays) when a sibling already has newName in any case.
    bool RenamePlaylist(HTREEITEM item, const std::wstring& newName);
    void DeletePlaylist(HTREEITEM item);

    // Run when the build is complete: the Playlists node from the playlist files, then the
    // Favourites node from its file.
    void LoadPlaylists();
    void LoadFavourites();
    // Writes a favourites or user playlist node to its file; false for other nodes or when the
    // file cannot be written.
    bool SavePlaylistNode(HTREEITEM item);
    // A playlist changed (null: some playlist, which one is not known): it is written within
    // kSaveDelayMs, and again at exit.
    void SaveSoon(const CPlaylist* changed);

    // The right-click menu for the selected node: only the four appearance items before the
    // tree is ready.
    MenuHandle CreateContextMenu() const;

private:
    // Apart from the control's own timers.
    static constexpr UINT_PTR kSaveTimer = 0x7454;

    LRESULT Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnLeftButtonDown(WPARAM wp, LPARAM lp);
    LRESULT OnRightButtonDown(WPARAM wp, LPARAM lp);
    LRESULT OnKeyDown(WPARAM wp, LPARAM lp);
    LRESULT OnCommand(WPARAM wp, LPARAM lp);
    LRESULT OnInsert(WPARAM count, LPARAM requests);
    LRESULT OnTimer(WPARAM wp, LPARAM lp);
    void FinishTree();
    void SelectAtPoint(LPARAM lp);
    void Select(HTREEITEM item);

    void BuildImageList();
    void ApplyFont();
    void ApplyColours();
    HTREEITEM InsertNode(HTREEITEM parent, HTREEITEM after, const std::wstring& text,
                         CPlaylist* playlist, int image);
    HTREEITEM Next(HTREEITEM item, UINT relation) const;
    void SaveChanged();
    void PlaylistChanged(const CPlaylist* playlist);

    HWND owner_;
    HWND control_ = nullptr;
    CSubclass subclass_;
    std::wstring dataFolder_;
    CWndStatus* statusBar_;
    CLibrary* library_;
    CPlaylists* playlists_;
    CCache* cache_;
    std::unique_ptr<LOGFONTW> font_;
    FontHandle fontHandle_;
    int dpi_ = 96;
    COLORREF* textColour_;
    COLORREF* backColour_;
    COLORREF* highlightColour_;
    ImageListHandle imageList_;
    CTreeBuild::Images images_;
    int playlistsImage_ = 0;
    int playlistImage_ = 0;
    int favouritesImage_ = 0;

    // The build thread inserts the Library branch through the control; everything below is
    // used on the window thread only.
    std::unique_ptr<CTreeBuild> build_;
    HTREEITEM libraryItem_ = nullptr;
    std::vector<HTREEITEM> artistItems_;  // the Library node's children, in their order
    HTREEITEM playlistsItem_ = nullptr;
    HTREEITEM favouritesItem_ = nullptr;
    HTREEITEM searchItem_ = nullptr;
    int artistCount_ = 0;
    bool ready_ = false;

    // Playlists changed since their last save, compared by address only (one may be deleted
    // meanwhile); allChanged when the change was not said to be of one.
    std::set<const CPlaylist*> changed_;
    bool allChanged_ = false;
    bool saveTimerSet_ = false;
};
