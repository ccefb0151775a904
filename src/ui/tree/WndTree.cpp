#define _CRT_RAND_S
#include <stdlib.h>

#include "ui/tree/WndTree.h"

#include "app/Ids.h"
#include "base/Dpi.h"
#include "library/Library.h"
#include "net/Cache.h"
#include "playlists/Playlist.h"
#include "base/EscapeAmpersands.h"
#include "playlists/PlaylistFiles.h"
#include "playlists/Playlists.h"
#include "ui/frame/Appearance.h"
#include "ui/frame/WndStatus.h"

#include <windowsx.h>

namespace {

constexpr const wchar_t* kFavouritesText = L"Favourites";
constexpr const wchar_t* kPlaylistsText = L"Playlists";
constexpr const wchar_t* kSearchResultsText = L"Search results";
constexpr const wchar_t* kNewPlaylistText = L"New playlist";
constexpr const wchar_t* kDeletePlaylistText = L"Delete playlist";
constexpr const wchar_t* kAddToFavouritesText = L"Add to favourites";
constexpr const wchar_t* kAddToPlaylistText = L"Add to playlist";
constexpr const wchar_t* kNameRefusedText = L"Playlist not renamed, its file cannot be written: ";

// The node icons, by their resource ordinal in the system's shell32.dll.
constexpr int kIconSide = 16;  // at 96 DPI
constexpr int kArtistIcon = 4;
constexpr int kArtistOpenIcon = 5;
constexpr int kLibraryIcon = 247;
constexpr int kFavouritesIcon = 44;
constexpr int kPlaylistsIcon = 237;
constexpr int kPlaylistIcon = 225;

constexpr int kNodeTextMax = 260;
constexpr UINT kMaxMenuPlaylists = 30000;

// The playlist set's rule, so that two names the set holds apart are two nodes and two names
// it takes for one are one node.
bool SameText(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && CPlaylists::Key(a) == CPlaylists::Key(b);
}

unsigned RandomBelow(unsigned n) {
    unsigned value = 0;
    rand_s(&value);
    return value % n;
}

}  // namespace

CWndTree::CWndTree(HINSTANCE instance, HWND parent, std::wstring dataFolder,
                   CWndStatus* statusBar, CLibrary* library, CPlaylists* playlists,
                   CCache* cache, const LOGFONTW* font, COLORREF* textColour,
                   COLORREF* backColour, COLORREF* highlightColour)
    : owner_(parent),
      dataFolder_(std::move(dataFolder)),
      statusBar_(statusBar),
      library_(library),
      playlists_(playlists),
      cache_(cache),
      textColour_(textColour),
      backColour_(backColour),
      highlightColour_(highlightColour) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    RECT client{};
    GetClientRect(parent, &client);
    control_ = CreateWindowExW(0, WC_TREEVIEWW, L"",
                               WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES |
                                   TVS_LINESATROOT | TVS_EDITLABELS | TVS_DISABLEDRAGDROP |
                                   TVS_SHOWSELALWAYS,
                               0, 0, client.right, client.bottom, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TREE)), instance,
                               nullptr);
    if (!control_) return;
    dpi_ = WindowDpi(parent);
    if (font) {
        font_ = std::make_unique<LOGFONTW>(*font);
        ApplyFont();
    }
    ApplyColours();
    subclass_.Attach<CWndTree, &CWndTree::Proc>(control_, this);
    BuildImageList();
    build_ = std::make_unique<CTreeBuild>(control_, owner_, statusBar_, library_, cache_);
}

CWndTree::~CWndTree() {
    StopBuild();
    if (!control_) return;
    if (saveTimerSet_) KillTimer(control_, kSaveTimer);
    subclass_.Detach();
    SavePlaylistNode(favouritesItem_);
    // The set names the playlists the nodes own: once they are gone, nothing may find them
    // through it.
    for (HTREEITEM child = Next(playlistsItem_, TVGN_CHILD); child; child = Next(child, TVGN_NEXT)) {
        SavePlaylistNode(child);
        playlists_->Remove(GetNodeText(child));
    }
    // Every node reports its deletion to the main window, which deletes the node's playlist.
    SendMessageW(control_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    DestroyWindow(control_);
    control_ = nullptr;
    build_.reset();
}

// ---- Messages ------------------------------------------------------------------------------

LRESULT CWndTree::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_LBUTTONDOWN:     return OnLeftButtonDown(wp, lp);
    case WM_RBUTTONDOWN:     return OnRightButtonDown(wp, lp);
    case WM_KEYDOWN:         return OnKeyDown(wp, lp);
    case WM_COMMAND:         return OnCommand(wp, lp);
    case WM_TIMER:           return OnTimer(wp, lp);
    case WM_APP_TREE_INSERT: return OnInsert(wp, lp);
    case WM_APP_TREE_BUILT:  FinishTree(); return 0;
    }
    return subclass_.CallOld(hwnd, msg, wp, lp);
}

void CWndTree::SelectAtPoint(LPARAM lp) {
    TVHITTESTINFO hit{};
    hit.pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    auto item = reinterpret_cast<HTREEITEM>(
        SendMessageW(control_, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    if (item && (hit.flags & TVHT_ONITEM))
        SendMessageW(control_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

LRESULT CWndTree::OnLeftButtonDown(WPARAM wp, LPARAM lp) {
    LRESULT result = subclass_.CallOld(control_, WM_LBUTTONDOWN, wp, lp);
    SelectAtPoint(lp);
    return result;
}

// A click on empty space opens the menu for the node that stays selected.
LRESULT CWndTree::OnRightButtonDown(WPARAM wp, LPARAM lp) {
    SelectAtPoint(lp);
    subclass_.CallOld(control_, WM_RBUTTONDOWN, wp, lp);
    POINT at = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    ClientToScreen(control_, &at);
    MenuHandle menu = CreateContextMenu();
    if (menu) TrackPopupMenu(menu.get(), TPM_RIGHTBUTTON, at.x, at.y, 0, control_, nullptr);
    return 0;
}

LRESULT CWndTree::OnKeyDown(WPARAM wp, LPARAM lp) {
    if (wp != VK_DELETE) return subclass_.CallOld(control_, WM_KEYDOWN, wp, lp);
    DeletePlaylist(Next(nullptr, TVGN_CARET));
    return 0;
}

// Only the context menu's commands are ours; the label editor's notifications belong to the
// control.
LRESULT CWndTree::OnCommand(WPARAM wp, LPARAM lp) {
    if (lp != 0 || HIWORD(wp) > 1) return subclass_.CallOld(control_, WM_COMMAND, wp, lp);
    const UINT id = LOWORD(wp);
    switch (id) {
    case kFontStyle:       ChooseFont(); return 0;
    case kFontColour:
    case kBackColour:
    case kHighlightColour: ChooseColour(id); return 0;
    }
    if (!ready_) return 0;
    HTREEITEM selected = Next(nullptr, TVGN_CARET);
    switch (id) {
    case kNewPlaylist:     NewPlaylist(nullptr, nullptr); return 0;
    case kDeletePlaylist:  DeletePlaylist(selected); return 0;
    case kAddToFavourites: AddNodeToFavourites(selected); return 0;
    }
    if (id >= kAddToPlaylistFirst && id <= kAddToPlaylistFirst + kMaxMenuPlaylists)
        AddNodeToPlaylist(static_cast<int>(id - kAddToPlaylistFirst));
    return 0;
}

// A batch of Library nodes from the build thread. Refused once the build is being stopped, so
// that a stop does not wait for the rest of the branch.
LRESULT CWndTree::OnInsert(WPARAM count, LPARAM requests) {
    if (!build_ || !build_->IsRunning() || !requests) return 0;
    auto* batch = reinterpret_cast<CTreeBuild::Insert*>(requests);
    for (WPARAM k = 0; k < count; ++k) {
        CTreeBuild::Insert& r = batch[k];
        HTREEITEM parent = r.parentIndex >= 0 ? batch[r.parentIndex].item : r.parent;
        r.item = nullptr;
        if (!parent) continue;
        TVINSERTSTRUCTW insert{};
        insert.hParent = parent;
        insert.hInsertAfter = r.after;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        insert.item.pszText = const_cast<wchar_t*>(r.text);
        insert.item.lParam = reinterpret_cast<LPARAM>(r.playlist);
        insert.item.iImage = r.image;
        insert.item.iSelectedImage = r.selectedImage;
        r.item = reinterpret_cast<HTREEITEM>(
            subclass_.CallOld(control_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
    }
    return 1;
}

LRESULT CWndTree::OnTimer(WPARAM wp, LPARAM lp) {
    if (wp != kSaveTimer) return subclass_.CallOld(control_, WM_TIMER, wp, lp);
    KillTimer(control_, kSaveTimer);
    saveTimerSet_ = false;
    SaveChanged();
    return 0;
}

// ---- Build ---------------------------------------------------------------------------------

bool CWndTree::StartBuild() {
    return build_ && build_->Start(images_);
}

void CWndTree::StopBuild() {
    if (build_) build_->Stop();
}

// The build thread has ended and posted this as its last act: its results are ours now.
void CWndTree::FinishTree() {
    if (ready_ || !build_ || !build_->HasStarted()) return;
    libraryItem_ = build_->GetLibraryItem();
    artistItems_ = build_->TakeArtistItems();
    artistCount_ = build_->GetArtistCount();
    LoadPlaylists();
    LoadFavourites();
    build_->ReleaseArtists();
    InvalidateRect(control_, nullptr, TRUE);
    ready_ = true;
    PostMessageW(owner_, WM_APP_LIBRARY_READY, 1, 0);
}

// ---- Nodes ---------------------------------------------------------------------------------

HTREEITEM CWndTree::Next(HTREEITEM item, UINT relation) const {
    if (!item && relation != TVGN_CARET && relation != TVGN_ROOT) return nullptr;
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(control_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

HTREEITEM CWndTree::InsertNode(HTREEITEM parent, HTREEITEM after, const std::wstring& text,
                               CPlaylist* playlist, int image) {
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    insert.item.lParam = reinterpret_cast<LPARAM>(playlist);
    insert.item.iImage = insert.item.iSelectedImage = image;
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(control_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

CPlaylist* CWndTree::GetPlaylistOf(HTREEITEM item) const {
    if (!item) return nullptr;
    TVITEMW tv{};
    tv.mask = TVIF_HANDLE | TVIF_PARAM;
    tv.hItem = item;
    if (!SendMessageW(control_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) return nullptr;
    return reinterpret_cast<CPlaylist*>(tv.lParam);
}

CPlaylist* CWndTree::GetSelectedPlaylist() const {
    return GetPlaylistOf(Next(nullptr, TVGN_CARET));
}

CPlaylist* CWndTree::GetFavourites() const {
    return GetPlaylistOf(favouritesItem_);
}

std::wstring CWndTree::GetNodeText(HTREEITEM item) const {
    if (!item) return {};
    wchar_t text[kNodeTextMax + 1] = {};
    TVITEMW tv{};
    tv.mask = TVIF_HANDLE | TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = kNodeTextMax + 1;
    if (!SendMessageW(control_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) return {};
    return text;
}

HTREEITEM CWndTree::FindChild(HTREEITEM parent, const std::wstring& text) const {
    for (HTREEITEM child = Next(parent, TVGN_CHILD); child; child = Next(child, TVGN_NEXT)) {
        if (SameText(GetNodeText(child), text)) return child;
    }
    return nullptr;
}

// ---- Selection -----------------------------------------------------------------------------

void CWndTree::Select(HTREEITEM item) {
    if (!item) return;
    SendMessageW(control_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    SendMessageW(control_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
}

// The control sorts the nodes by the user's locale, the set by lower-case code units: the two
// orders differ, so the node is found by the playlist it holds.
void CWndTree::SelectPlaylistNode(const CPlaylist* playlist) {
    if (!playlist) return;
    for (HTREEITEM child = Next(playlistsItem_, TVGN_CHILD); child; child = Next(child, TVGN_NEXT)) {
        if (GetPlaylistOf(child) == playlist) {
            Select(child);
            return;
        }
    }
}

void CWndTree::SelectFavourites() {
    Select(favouritesItem_);
}

// Artists that differ only in case are separate nodes: the one with the song's exact text is
// preferred over its namesakes.
void CWndTree::SelectSongArtist(int songId) {
    const CSong* song = library_ ? library_->GetSong(songId) : nullptr;
    if (!song || !libraryItem_) return;
    auto find = [this](HTREEITEM parent, std::wstring_view text) {
        HTREEITEM similar = nullptr;
        for (HTREEITEM child = Next(parent, TVGN_CHILD); child; child = Next(child, TVGN_NEXT)) {
            std::wstring name = GetNodeText(child);
            if (name == text) return child;
            if (!similar && SameText(name, std::wstring(text))) similar = child;
        }
        return similar;
    };
    HTREEITEM node = find(libraryItem_, song->Artist());
    if (node && !song->Coop().empty()) {
        if (HTREEITEM collaboration = find(node, song->DisplayArtist())) node = collaboration;
    }
    Select(node);
}

// The artist and each of its collaborations are equally likely.
void CWndTree::SelectRandomArtist() {
    if (artistCount_ <= 0) return;
    unsigned r = RandomBelow(static_cast<unsigned>(artistCount_));
    if (r >= artistItems_.size()) return;
    HTREEITEM node = artistItems_[r];
    int m = 0;
    for (HTREEITEM child = Next(node, TVGN_CHILD); child; child = Next(child, TVGN_NEXT)) ++m;
    if (m > 0) {
        unsigned r2 = RandomBelow(static_cast<unsigned>(m) + 1);
        HTREEITEM child = Next(node, TVGN_CHILD);
        for (unsigned k = 1; child && k < r2; ++k) child = Next(child, TVGN_NEXT);
        if (r2 > 0 && child) node = child;
    }
    Select(node);
}

void CWndTree::SortPlaylists() {
    if (!playlistsItem_) return;
    SendMessageW(control_, TVM_SORTCHILDREN, 0, reinterpret_cast<LPARAM>(playlistsItem_));
    InvalidateRect(control_, nullptr, TRUE);
}

std::unique_ptr<CPlaylist> CWndTree::ShowSearchResults(std::unique_ptr<CPlaylist> results) {
    if (!ready_ || !libraryItem_ || !results) return nullptr;
    if (!searchItem_) {
        searchItem_ = InsertNode(libraryItem_, TVI_FIRST, kSearchResultsText, results.get(), images_.artist);
        if (!searchItem_) return nullptr;  // results is deleted on return
        results.release();
        Select(searchItem_);
        return nullptr;
    }
    std::unique_ptr<CPlaylist> old(GetPlaylistOf(searchItem_));
    TVITEMW tv{};
    tv.mask = TVIF_HANDLE | TVIF_PARAM;
    tv.hItem = searchItem_;
    tv.lParam = reinterpret_cast<LPARAM>(results.get());
    if (!SendMessageW(control_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) {
        old.release();  // still the node's
        return nullptr;
    }
    results.release();
    Select(searchItem_);
    return old;
}

// The selection moves off the node only when it is on it.
void CWndTree::RemoveSearchResults() {
    if (!searchItem_) return;
    HTREEITEM item = searchItem_;
    searchItem_ = nullptr;
    HTREEITEM selected = reinterpret_cast<HTREEITEM>(SendMessageW(control_, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (selected == item)
        RemoveNode(item);
    else
        SendMessageW(control_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
}

void CWndTree::RemoveNode(HTREEITEM item) {
    if (!item) return;
    SendMessageW(control_, WM_SETREDRAW, FALSE, 0);
    HTREEITEM next = Next(item, TVGN_NEXT);
    if (!next) next = Next(item, TVGN_PREVIOUS);
    if (!next) next = Next(item, TVGN_PARENT);
    if (next) SendMessageW(control_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(next));
    SendMessageW(control_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
    SendMessageW(control_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(control_, nullptr, TRUE);
}

// ---- Appearance ----------------------------------------------------------------------------

void CWndTree::SetDpi(int dpi) {
    if (!control_ || dpi <= 0) return;
    dpi_ = dpi;
    BuildImageList();
    if (font_) {
        ApplyFont();
        return;
    }
    // Without a chosen font the tree shows the system's, made for this screen.
    FontHandle font(CreateSystemFontForDpi(SystemFontKind::IconTitle, dpi));
    SendMessageW(control_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    fontHandle_ = std::move(font);
    SendMessageW(control_, TVM_SETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
}

// The shell's icons at the tree's scale (16 pixels at 96 DPI), loaded at that size rather than
// stretched. The list the tree showed goes once the tree holds the new one.
void CWndTree::BuildImageList() {
    const int side = ScaleForDpi(kIconSide, dpi_);
    ImageListHandle list(ImageList_Create(side, side, ILC_COLOR32 | ILC_MASK, 6, 0));
    if (!list) return;
    ModuleHandle shell(LoadLibraryW(L"shell32.dll"));
    if (shell) {
        const struct {
            int ordinal;
            int* index;
        } kIcons[] = {
            {kArtistIcon, &images_.artist},         {kArtistOpenIcon, &images_.artistOpen},
            {kLibraryIcon, &images_.library},       {kFavouritesIcon, &favouritesImage_},
            {kPlaylistsIcon, &playlistsImage_},     {kPlaylistIcon, &playlistImage_},
        };
        for (const auto& icon : kIcons) {
            IconHandle loaded(static_cast<HICON>(LoadImageW(
                shell.get(), MAKEINTRESOURCEW(icon.ordinal), IMAGE_ICON, side, side, LR_DEFAULTCOLOR)));
            ICONINFO info{};
            if (!loaded || !GetIconInfo(loaded.get(), &info)) continue;
            BitmapHandle colour(info.hbmColor);
            BitmapHandle mask(info.hbmMask);
            int index = ImageList_Add(list.get(), colour.get(), mask.get());
            if (index >= 0) *icon.index = index;
        }
    }
    SendMessageW(control_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(list.get()));
    imageList_ = std::move(list);
}

// The chosen font was measured for the screen the program started on; on another screen it is
// made at the same point size. Rows are as high as the font plus a margin, and never lower
// than the icons.
void CWndTree::ApplyFont() {
    if (!font_) return;
    LOGFONTW scaled = *font_;
    scaled.lfHeight = MulDiv(font_->lfHeight, dpi_, SystemDpi());
    HFONT handle = CreateFontIndirectW(&scaled);
    if (!handle) {
        font_.reset();
        return;
    }
    SendMessageW(control_, WM_SETFONT, reinterpret_cast<WPARAM>(handle), TRUE);
    fontHandle_.reset(handle);
    const int height = ScaleForDpi(6, dpi_) - scaled.lfHeight;
    const int lowest = ScaleForDpi(kIconSide, dpi_);
    SendMessageW(control_, TVM_SETITEMHEIGHT, height >= lowest ? height : lowest, 0);
}

void CWndTree::ApplyColours() {
    SendMessageW(control_, TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(*textColour_));
    SendMessageW(control_, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(*backColour_));
    InvalidateRect(control_, nullptr, FALSE);
}

// The dialog edits the record in place; a record made for it is kept only if the user chose.
void CWndTree::ChooseFont() {
    std::unique_ptr<LOGFONTW> chosen = CAppearance::AskFont(owner_, font_.get());
    if (!chosen) return;
    font_ = std::move(chosen);
    ApplyFont();
}

void CWndTree::ChooseColour(UINT command) {
    if (CAppearance::AskColour(owner_, CAppearance::ColourOf(command, textColour_, backColour_, highlightColour_)))
        ApplyColours();
}

std::unique_ptr<LOGFONTW> CWndTree::TakeFont() {
    return std::move(font_);
}

// The control paints a selected item without the focus in the system's colours; those, and
// the selection itself, take the tree's own colours.
LRESULT CWndTree::CustomDraw(NMTVCUSTOMDRAW* draw) const {
    if (!draw) return CDRF_DODEFAULT;
    if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw->nmcd.dwDrawStage != CDDS_ITEMPREPAINT) return CDRF_DODEFAULT;
    if (draw->nmcd.uItemState == 0 && draw->clrTextBk == GetSysColor(COLOR_HIGHLIGHT)) {
        draw->clrText = *textColour_;
        draw->clrTextBk = *backColour_;
    } else if (draw->nmcd.uItemState & CDIS_SELECTED) {
        draw->clrText = *backColour_;
        draw->clrTextBk = *highlightColour_;
    }
    return CDRF_DODEFAULT;
}

// ---- Favourites and playlists --------------------------------------------------------------

void CWndTree::PlaylistChanged(const CPlaylist* playlist) {
    SaveSoon(playlist);
    PostMessageW(owner_, WM_APP_PLAYLIST_CHANGED, 0, 0);
}

// A song the catalogue does not know would end every walk of the favourites at its entry.
void CWndTree::AddSongToFavourites(int songId) {
    CPlaylist* favourites = GetFavourites();
    if (!favourites || !library_ || !library_->GetSong(songId)) return;
    favourites->Add(songId, false);
    if (cache_) cache_->Protect(songId);
    PlaylistChanged(favourites);
}

void CWndTree::AddPlaylistToFavourites(const CPlaylist* playlist) {
    CPlaylist* favourites = GetFavourites();
    if (!favourites || !playlist) return;
    favourites->AddAll(playlist, false);
    if (cache_) {
        for (int i = 0, id; (id = playlist->GetIdAt(i)) != 0; ++i) cache_->Protect(id);
    }
    PlaylistChanged(favourites);
}

// An artist brings its collaborations along.
void CWndTree::AddNodeToFavourites(HTREEITEM item) {
    CPlaylist* playlist = GetPlaylistOf(item);
    if (!playlist) return;
    AddPlaylistToFavourites(playlist);
    for (HTREEITEM child = Next(item, TVGN_CHILD); child; child = Next(child, TVGN_NEXT))
        AddPlaylistToFavourites(GetPlaylistOf(child));
}

void CWndTree::AddNodeToPlaylist(int k) {
    HTREEITEM item = Next(nullptr, TVGN_CARET);
    CPlaylist* source = GetPlaylistOf(item);
    if (!source || k < 0) return;
    CPlaylist* target = k == 0 ? GetPlaylistOf(NewPlaylist(GetNodeText(item).c_str(), nullptr))
                               : playlists_->GetByIndex(k - 1);
    if (!target) return;
    target->AddAll(source, true);
    for (HTREEITEM child = Next(item, TVGN_CHILD); child; child = Next(child, TVGN_NEXT))
        target->AddAll(GetPlaylistOf(child), true);
    PlaylistChanged(target);
}

HTREEITEM CWndTree::NewPlaylist(const wchar_t* baseName, const CPlaylist* songs) {
    if (!playlistsItem_) return nullptr;
    const std::wstring base = baseName && *baseName ? baseName : kNewPlaylistText;
    std::wstring candidate = base;
    for (int k = 1; FindChild(playlistsItem_, candidate); ++k)
        candidate = base + L" (" + std::to_wstring(k) + L")";
    auto playlist = std::make_unique<CPlaylist>(CPlaylist::kUser);
    if (songs) playlist->AddAll(songs, true);
    HTREEITEM item = InsertNode(playlistsItem_, TVI_SORT, candidate, playlist.get(), playlistImage_);
    if (!item) return nullptr;
    CPlaylist* made = playlist.release();
    playlists_->Add(candidate, made);
    SaveSoon(made);
    SendMessageW(control_, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(playlistsItem_));
    SendMessageW(control_, TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(item));
    return item;
}

// The playlist is written under its new name before the old file goes, so that there is
// always a file holding it. Should the new name not make a valid file, the old file stays.
bool CWndTree::RenamePlaylist(HTREEITEM item, const std::wstring& newName) {
    CPlaylist* playlist = GetPlaylistOf(item);
    if (newName.empty() || !playlist || playlist->GetKind() != CPlaylist::kUser) return false;
    if (FindChild(Next(item, TVGN_PARENT), newName)) return false;
    const std::wstring oldName = GetNodeText(item);
    const std::wstring newPath = PlaylistPath(dataFolder_, newName);
    if (!newPath.empty()) {
        CreateDirectoryW(PlaylistsFolder(dataFolder_).c_str(), nullptr);
        // A name whose file cannot be written would lose the playlist at the next start.
        if (!playlist->Save(newPath.c_str())) {
            if (statusBar_) statusBar_->SetStatusText((kNameRefusedText + newName).c_str());
            return false;
        }
        DeleteFileW(PlaylistPath(dataFolder_, oldName).c_str());
    }
    playlists_->Rename(oldName, newName);
    return true;
}

void CWndTree::DeletePlaylist(HTREEITEM item) {
    CPlaylist* playlist = GetPlaylistOf(item);
    if (!playlist || playlist->GetKind() != CPlaylist::kUser) return;
    const std::wstring name = GetNodeText(item);
    playlists_->Remove(name);
    const std::wstring path = PlaylistPath(dataFolder_, name);
    if (!path.empty()) DeleteFileW(path.c_str());
    changed_.erase(playlist);
    RemoveNode(item);
    SetFocus(control_);
}

// A file whose name is empty or repeats another's in another case would share that file at
// the next save; it is left on disk, unshown.
void CWndTree::LoadPlaylists() {
    auto node = std::make_unique<CPlaylist>(CPlaylist::kPlaylistsNode);
    playlistsItem_ = InsertNode(TVI_ROOT, TVI_FIRST, kPlaylistsText, node.get(), playlistsImage_);
    if (!playlistsItem_) return;
    node.release();
    const std::wstring folder = PlaylistsFolder(dataFolder_);
    if (folder.empty()) return;
    WIN32_FIND_DATAW found;
    FindFileHandle find(NullIfInvalid(FindFirstFileW((folder + L"*.xml").c_str(), &found)));
    if (!find) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::wstring name = PlaylistNameFromFile(found.cFileName);
        if (name.empty() || FindChild(playlistsItem_, name)) continue;
        auto playlist = std::make_unique<CPlaylist>(CPlaylist::kUser);
        playlist->Load((folder + found.cFileName).c_str());
        if (!InsertNode(playlistsItem_, TVI_SORT, name, playlist.get(), playlistImage_)) continue;
        playlists_->Add(name, playlist.release());
    } while (FindNextFileW(find.get(), &found));
}

void CWndTree::LoadFavourites() {
    auto favourites = std::make_unique<CPlaylist>(CPlaylist::kFavourites);
    const std::wstring path = FavouritesPath(dataFolder_);
    if (!path.empty()) favourites->Load(path.c_str());
    favouritesItem_ = InsertNode(TVI_ROOT, TVI_FIRST, kFavouritesText, favourites.get(), favouritesImage_);
    if (favouritesItem_) favourites.release();
}

bool CWndTree::SavePlaylistNode(HTREEITEM item) {
    const CPlaylist* playlist = GetPlaylistOf(item);
    if (!playlist) return false;
    std::wstring path;
    if (playlist->GetKind() == CPlaylist::kFavourites) {
        path = FavouritesPath(dataFolder_);
    } else if (playlist->GetKind() == CPlaylist::kUser) {
        path = PlaylistPath(dataFolder_, GetNodeText(item));
        if (!path.empty()) CreateDirectoryW(PlaylistsFolder(dataFolder_).c_str(), nullptr);
    }
    return !path.empty() && playlist->Save(path.c_str());
}

// One timer for every change: a run of changes is written once, a few seconds after the first.
void CWndTree::SaveSoon(const CPlaylist* changed) {
    if (changed) {
        changed_.insert(changed);
    } else {
        allChanged_ = true;
    }
    if (saveTimerSet_ || !control_) return;
    saveTimerSet_ = SetTimer(control_, kSaveTimer, kSaveDelayMs, nullptr) != 0;
}

// A playlist whose save failed (a full disk, a file held by another program) stays marked and
// is tried again a little later.
void CWndTree::SaveChanged() {
    auto wanted = [this](HTREEITEM item) {
        return allChanged_ || changed_.count(GetPlaylistOf(item)) != 0;
    };
    std::set<const CPlaylist*> failed;
    auto save = [&](HTREEITEM item) {
        if (wanted(item) && !SavePlaylistNode(item) && !dataFolder_.empty()) failed.insert(GetPlaylistOf(item));
    };
    if (favouritesItem_) save(favouritesItem_);
    for (HTREEITEM child = Next(playlistsItem_, TVGN_CHILD); child; child = Next(child, TVGN_NEXT)) save(child);
    changed_.clear();
    allChanged_ = false;
    for (const CPlaylist* playlist : failed) SaveSoon(playlist);
}

// ---- Context menu --------------------------------------------------------------------------

MenuHandle CWndTree::CreateContextMenu() const {
    MenuHandle menu(CreatePopupMenu());
    if (!menu) return menu;
    if (ready_) {
        const CPlaylist* selected = GetSelectedPlaylist();
        const int kind = selected ? selected->GetKind() : 0;
        auto enabled = [](bool on) { return MF_STRING | (on ? MF_ENABLED : MF_GRAYED); };
        AppendMenuW(menu.get(), MF_STRING, kNewPlaylist, kNewPlaylistText);
        AppendMenuW(menu.get(), enabled(kind == CPlaylist::kUser), kDeletePlaylist, kDeletePlaylistText);
        AppendMenuW(menu.get(), enabled(kind == CPlaylist::kArtist || kind == CPlaylist::kUser),
                    kAddToFavourites, kAddToFavouritesText);
        MenuHandle sub(CreatePopupMenu());
        if (sub) {
            AppendMenuW(sub.get(), MF_STRING, kAddToPlaylistFirst, kNewPlaylistText);
            if (playlists_->GetCount() > 0) AppendMenuW(sub.get(), MF_SEPARATOR, 0, nullptr);
            std::wstring name;
            UINT id = kAddToPlaylistFirst + 1;
            for (CPlaylist* p = playlists_->First(name); p && id <= kAddToPlaylistFirst + kMaxMenuPlaylists;
                 p = playlists_->Next(name), ++id)
                AppendMenuW(sub.get(), enabled(p != selected), id, EscapeAmpersands(name, false).c_str());
            const bool subEnabled =
                selected && kind != CPlaylist::kLibrary && kind != CPlaylist::kPlaylistsNode;
            if (AppendMenuW(menu.get(), MF_POPUP | (subEnabled ? MF_ENABLED : MF_GRAYED),
                            reinterpret_cast<UINT_PTR>(sub.get()), kAddToPlaylistText))
                sub.release();  // the menu owns it now
        }
        AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    }
    CAppearance::AppendMenuItems(menu.get());
    return menu;
}
