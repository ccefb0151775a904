#include "app/MainWindow.h"

#include "app/AboutBox.h"
#include "app/Globals.h"
#include "ui/frame/ToolbarImages.h"
#include "app/Ids.h"
#include "base/Dpi.h"
#include "app/Settings.h"
#include "library/Library.h"
#include "net/Cache.h"
#include "net/Net.h"
#include "playback/Output.h"
#include "playlists/LibrarySearch.h"
#include "playlists/Playlist.h"
#include "playlists/Playlists.h"
#include "ui/frame/WndRebar.h"
#include "ui/frame/WndSplit.h"
#include "ui/frame/WndSearchBox.h"
#include "ui/frame/WndStatus.h"
#include "ui/frame/WndToolbar.h"
#include "ui/frame/WndTrackbar.h"
#include "ui/list/WndList.h"
#include "ui/tree/WndTree.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>

namespace {

// Labels of the rebar's trackbar bands.
constexpr const wchar_t* kPanLabel = L"Pan";
constexpr const wchar_t* kVolumeLabel = L"Vol";
// The message part of the status bar while a search's results are shown.
constexpr const wchar_t* kSongFoundFormat = L"%d song found";
constexpr const wchar_t* kSongsFoundFormat = L"%d songs found";

// The title bar's window icon: the program's own (resource 1 of tunehaven.exe); shell32's
// music icon where the module has none (the test programs), or the generic one.
constexpr int kProgramIcon = 1;
constexpr int kShellMusicIcon = 277;

HICON LoadClassIcon(HINSTANCE instance) {
    HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(kProgramIcon));
    if (icon) return icon;
    if (ModuleHandle shell{LoadLibraryW(L"shell32.dll")})
        icon = LoadIconW(shell.get(), MAKEINTRESOURCEW(kShellMusicIcon));
    return icon ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

std::wstring CutTitle(const wchar_t* text) {
    std::wstring title = text;
    if (title.size() > kMaxTitleLength) {
        title.resize(kMaxTitleLength);
        // A character outside the basic plane that straddles the cut goes as a whole: half of
        // it would show as a broken glyph.
        if (IS_HIGH_SURROGATE(title.back())) title.pop_back();
    }
    return title;
}

}  // namespace

std::wstring IdleTitle() {
    wchar_t text[kMaxTitleLength + 1];
    swprintf(text, std::size(text), L"%ls %ls", kProgramName, kProgramVersion);
    return text;
}

std::wstring SongTitle(std::wstring_view artist, std::wstring_view title) {
    return CutTitle((std::wstring(artist) + L" - " + std::wstring(title)).c_str());
}

void ApplyMinimumSize(UINT edge, RECT* r, int dpi) {
    const int width = ScaleForDpi(kMinWindowWidth, dpi);
    const int height = ScaleForDpi(kMinWindowHeight, dpi);
    if (r->right - r->left < width) {
        if (edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT)
            r->left = r->right - width;
        else
            r->right = r->left + width;
    }
    if (r->bottom - r->top < height) {
        if (edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT)
            r->top = r->bottom - height;
        else
            r->bottom = r->top + height;
    }
}

RECT PlaceOnMonitor(RECT r, int dpi) {
    r.right = std::max<LONG>(r.right, r.left + ScaleForDpi(kMinWindowWidth, dpi));
    r.bottom = std::max<LONG>(r.bottom, r.top + ScaleForDpi(kMinWindowHeight, dpi));
    if (MonitorFromRect(&r, MONITOR_DEFAULTTONULL)) return r;
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info)) return r;
    const RECT& area = info.rcWork;
    LONG width = std::min(r.right - r.left, area.right - area.left);
    LONG height = std::min(r.bottom - r.top, area.bottom - area.top);
    LONG left = std::clamp<LONG>(r.left, area.left, area.right - width);
    LONG top = std::clamp<LONG>(r.top, area.top, area.bottom - height);
    return RECT{left, top, left + width, top + height};
}

// ---- Creation ------------------------------------------------------------------------------

bool CMainWindow::RegisterWindowClass(HINSTANCE instance) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = &CMainWindow::WindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadClassIcon(instance);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kMainWindowClass;
    return RegisterClassExW(&wc) != 0;
}

HWND CMainWindow::Create(HINSTANCE instance) {
    RECT r = PlaceOnMonitor(RECT{settings.xpos, settings.ypos, settings.xpos + settings.width,
                                 settings.ypos + settings.height},
                            SystemDpi());
    return CreateWindowExW(0, kMainWindowClass, kProgramName, WS_OVERLAPPEDWINDOW, r.left, r.top,
                           r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
}

CMainWindow* CMainWindow::FromHandle(HWND window) {
    wchar_t name[32];
    if (!window || !GetClassNameW(window, name, 32) || wcscmp(name, kMainWindowClass) != 0)
        return nullptr;
    return reinterpret_cast<CMainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

CMainWindow::CMainWindow(HWND window)
    : window_(window),
      dpi_(WindowDpi(window)),
      options_(&settings,
               [this](int i, std::wstring& text) {
                   return output_ ? output_->GetDeviceName(i, text)
                                  : COptionsMenu::DefaultDeviceName(i, text);
               },
               [this](int i, std::wstring& text) {
                   return output_ ? output_->GetRateName(i, text)
                                  : COptionsMenu::DefaultRateName(i, text);
               }) {}

CMainWindow::~CMainWindow() = default;

LRESULT CALLBACK CMainWindow::WindowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<CMainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        self = new CMainWindow(window);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        mainWindow = window;
    }
    if (!self) return DefWindowProcW(window, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        delete self;
        if (mainWindow == window) mainWindow = nullptr;
        return DefWindowProcW(window, msg, wp, lp);
    }
    return self->Proc(msg, wp, lp);
}

// One line per message; anything a handler does not consume goes to DefWindowProcW.
LRESULT CMainWindow::Proc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE:         return OnCreate();
    case WM_DESTROY:        return OnDestroy();
    case WM_SIZE:           return OnSize(wp, lp);
    case WM_MOVE:           return OnMove();
    case WM_SIZING:         return OnSizing(wp, reinterpret_cast<RECT*>(lp));
    case WM_CLOSE:          return OnClose();
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION:     return OnEndSession(wp);
    case WM_GETMINMAXINFO:  return OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lp));
    case WM_DPICHANGED:     return OnDpiChanged(LOWORD(wp), reinterpret_cast<const RECT*>(lp));
    case WM_NOTIFY:         return OnNotify(reinterpret_cast<NMHDR*>(lp));
    case WM_COMMAND:
    case WM_SYSCOMMAND:     return OnCommand(msg, wp, lp);
    case WM_HSCROLL:        return OnHScroll(wp, lp);
    case WM_HOTKEY:         OnTransportInput(CMediaKeys::CommandOfHotKey(wp)); return 0;
    case WM_APPCOMMAND:
        if (UINT command = CMediaKeys::CommandOfAppCommand(lp)) {
            OnTransportInput(command);
            return TRUE;
        }
        break;
    case WM_APP_TICK:       return OnTick();
    case WM_APP_NET_DONE:   return OnNetDone(wp, lp);
    case WM_APP_NET_FAILED: return OnNetFailed(wp);
    case WM_TIMER:          return OnTimer(wp);
    case WM_APP_LIBRARY_READY: return OnLibraryReady(wp);
    case WM_APP_TRAY:       return OnTrayMessage(lp);
    case WM_APP_PLAYLIST_CHANGED: return OnPlaylistChanged(reinterpret_cast<const CPlaylist*>(lp));
    case WM_APP_SORT_TREE:  if (tree_) tree_->SortPlaylists(); return 1;
    case WM_APP_TOTALS:     return OnTotalsStale();
    }
    if (msg == TaskbarCreatedMessage()) return OnTaskbarCreated();
    if (msg == CTaskbarButtons::ButtonCreatedMessage()) return OnTaskbarButtonCreated();
    return DefWindowProcW(window_, msg, wp, lp);
}

// The objects are made here, before CreateWindowExW returns, in dependency order: whatever
// takes another object or a child window in its constructor comes after it. The ticker starts
// once the windows that a tick updates exist; the server client and the playback engine,
// which the tick reads, come after it.
bool CMainWindow::CreateObjects() {
    library_ = std::make_unique<CLibrary>(libraryPath);
    CPlaylist::SetLibrary(library_.get());
    search_ = std::make_unique<CLibrarySearch>(library_.get());
    // Ctrl+F, the panes, and a key for each button of the toolbar.
    ACCEL keys[] = {
        {FCONTROL | FVIRTKEY, 'F', ID_FIND},
        {FVIRTKEY, VK_F6, ID_NEXT_PANE},
        {FSHIFT | FVIRTKEY, VK_F6, ID_PREVIOUS_PANE},
        {FVIRTKEY, VK_TAB, ID_NEXT_PANE},
        {FSHIFT | FVIRTKEY, VK_TAB, ID_PREVIOUS_PANE},
        {FCONTROL | FVIRTKEY, 'P', ID_PLAY},
        {FCONTROL | FVIRTKEY, 'S', ID_STOP},
        {FALT | FVIRTKEY, VK_LEFT, ID_PREVIOUS},
        {FALT | FVIRTKEY, VK_RIGHT, ID_NEXT},
        {FCONTROL | FVIRTKEY, 'D', ID_ADD_FAVOURITES},
    };
    shortcuts_.reset(CreateAcceleratorTableW(keys, int(std::size(keys))));
    cache_ = std::make_unique<CCache>(cacheFolder, &settings.cacheLimit);
    status_ = std::make_unique<CWndStatus>(hInstance, window_, library_.get());
    if (!status_->GetWindow()) return false;
    if (!CreateFrame()) return false;
    // The list and the tree work on copies of the fonts; the settings take them back at close.
    list_ = std::make_unique<CWndList>(
        hInstance, window_, library_.get(), &playlists,
        settings.listfont ? std::make_unique<LOGFONTW>(*settings.listfont) : nullptr, &settings.listtext,
        &settings.listback, &settings.listhigh, &settings.sort, &settings.desc, settings.columnPositions,
        settings.columnWidths);
    if (!list_->GetWindow()) return false;
    tree_ = std::make_unique<CWndTree>(hInstance, window_, dataFolder, status_.get(), library_.get(),
                                       &playlists, cache_.get(), settings.treefont.get(), &settings.treetext,
                                       &settings.treeback, &settings.treehigh);
    if (!tree_->GetControl()) return false;
    split_ = std::make_unique<CWndSplit>();
    if (!split_->Create(hInstance, window_, rebar_->GetWindow(), status_->GetWindow(), tree_->GetControl(),
                        list_->GetWindow(), settings.treesize))
        return false;
    ticker_.Start(window_);
    SetFocus(tree_->GetControl());
    net_ = std::make_unique<CNet>(window_, status_.get(), &settings.server, cacheFolder);
    // A check that cannot even start (no connection support, no temporary folder, no thread)
    // reports nothing: the tree is then built from the catalogue on disk at once.
    if (!net_->CheckVersion()) OnLibraryFileReady();
    // The engine comes last: it opens the output device at once, and a device that cannot be
    // opened leaves a window that simply plays nothing.
    output_ = std::make_unique<COutput>(library_.get(), net_.get(), window_, cacheFolder, &settings.flags,
                                        &settings.volume, &settings.panning, &settings.random, status_.get());
    output_->Initialise(&settings.device, &settings.freq);
    return true;
}

// The trackbars and the toolbar are children of the rebar, which hands their commands and
// scroll messages on to this window; the bands follow in their order from left to right.
bool CMainWindow::CreateFrame() {
    rebar_ = std::make_unique<CWndRebar>();
    if (!rebar_->Create(hInstance, window_)) return false;
    HWND bar = rebar_->GetWindow();
    positionBar_ = std::make_unique<CWndTrackbar>();
    if (!positionBar_->Create(hInstance, bar, TRACKBAR_POSITION)) return false;
    volumeBar_ = std::make_unique<CWndTrackbar>();
    if (!volumeBar_->Create(hInstance, bar, TRACKBAR_VOLUME)) return false;
    volumeBar_->SetPosition(static_cast<int>(settings.volume));
    panBar_ = std::make_unique<CWndTrackbar>();
    if (!panBar_->Create(hInstance, bar, TRACKBAR_PAN)) return false;
    panBar_->SetPosition(settings.panning);
    toolbar_ = std::make_unique<CWndToolbar>();
    if (!toolbar_->Create(hInstance, bar)) return false;
    mediaKeys_.Register(window_);
    rebar_->AddBand(positionBar_->GetWindow(), nullptr);
    rebar_->AddBand(toolbar_->GetWindow(), nullptr);
    rebar_->AddBand(panBar_->GetWindow(), kPanLabel);
    rebar_->AddBand(volumeBar_->GetWindow(), kVolumeLabel);
    // The find box stands after the trackbars; the program runs without it if it cannot be made.
    searchBox_ = std::make_unique<CWndSearchBox>(hInstance, bar, window_);
    if (searchBox_->GetWindow()) rebar_->AddBand(searchBox_->GetWindow(), nullptr);
    return true;
}

// A window that cannot make its objects is not run half-built: -1 makes CreateWindowExW fail,
// and start-up ends the program without writing anything.
LRESULT CMainWindow::OnCreate() {
    if (CreateObjects()) {
        objectsAlive_ = true;
        return 0;
    }
    ticker_.Stop();
    DestroyObjects();
    return -1;
}

LRESULT CMainWindow::OnDestroy() {
    PostQuitMessage(0);
    return 0;
}

// ---- Geometry ------------------------------------------------------------------------------

// Only the restored rectangle is kept, so that a window closed maximised or minimised comes
// back at its last normal place and size.
void CMainWindow::StoreRestoredRect() {
    RECT r;
    if (!GetWindowRect(window_, &r)) return;
    settings.xpos = r.left;
    settings.ypos = r.top;
    settings.width = r.right - r.left;
    settings.height = r.bottom - r.top;
}

LRESULT CMainWindow::OnSize(WPARAM type, LPARAM lp) {
    if (type == SIZE_RESTORED) {
        StoreRestoredRect();
    } else if (type == SIZE_MINIMIZED && tray_.IsShown()) {
        // Minimising sends the program to the tray: no taskbar button. Without a tray icon
        // the window stays on the taskbar, where the user can get it back.
        ShowWindow(window_, SW_HIDE);
    }
    // The splitter goes first: the rebar and the status bar then size themselves to the
    // window, and a rebar whose height changes reports it (OnRebarNotify).
    if (split_) split_->Layout();
    if (rebar_) SendMessageW(rebar_->GetWindow(), WM_SIZE, type, lp);
    if (status_) SendMessageW(status_->GetWindow(), WM_SIZE, type, lp);
    return 0;
}

LRESULT CMainWindow::OnRebarNotify(NMHDR* header) {
    if (header->code == RBN_HEIGHTCHANGE && split_) split_->Layout();
    return 0;
}

// A window moved without being resized gets no WM_SIZE; its new place is kept as well.
LRESULT CMainWindow::OnMove() {
    if (!IsIconic(window_) && !IsZoomed(window_)) StoreRestoredRect();
    return 0;
}

LRESULT CMainWindow::OnGetMinMaxInfo(MINMAXINFO* info) {
    if (!info) return 0;
    info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, ScaleForDpi(kMinWindowWidth, dpi_));
    info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, ScaleForDpi(kMinWindowHeight, dpi_));
    return 0;
}

LRESULT CMainWindow::OnSizing(WPARAM edge, RECT* rect) {
    if (rect) ApplyMinimumSize(static_cast<UINT>(edge), rect, dpi_);
    return TRUE;
}

LRESULT CMainWindow::OnDpiChanged(int dpi, const RECT* suggested) {
    if (dpi <= 0) return 0;
    dpi_ = dpi;
    if (!objectsAlive_) return 0;
    rebar_->SetDpi(dpi);
    toolbar_->SetDpi(dpi);
    positionBar_->SetDpi(dpi);
    volumeBar_->SetDpi(dpi);
    panBar_->SetDpi(dpi);
    if (searchBox_) searchBox_->SetDpi(dpi);
    rebar_->FitBands();
    status_->SetDpi(dpi);
    tree_->SetDpi(dpi);
    list_->SetDpi(dpi);
    split_->SetDpi(dpi);
    if (suggested)
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    // A suggested rectangle of the same size brings no WM_SIZE: the parts are laid out anyway.
    RECT client{};
    GetClientRect(window_, &client);
    OnSize(IsZoomed(window_) ? SIZE_MAXIMIZED : SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    return 0;
}

void CMainWindow::UpdateTitle() {
    const CSong* song = library_ ? library_->GetSong(nowSongId_) : nullptr;
    std::wstring title = song ? SongTitle(song->DisplayArtist(), song->DisplayTitle()) : IdleTitle();
    SetWindowTextW(window_, title.c_str());
}

// ---- Tick ----------------------------------------------------------------------------------

LRESULT CMainWindow::OnTick() {
    // A tick that was on its way while the window closed is dropped once the objects are gone.
    if (!objectsAlive_) return 1;
    ++ticksHandled_;
    int songId = 0, serial = 0;
    float seconds = 0;
    if (output_->IsDeviceLost()) OnDeviceLost();
    bool active = output_->GetPosition(songId, serial, seconds);
    if (serial != nowSerial_) {
        nowSerial_ = serial;
        nowSongId_ = songId;
        const CSong* song = library_->GetSong(songId);
        nowLength_ = song ? song->PlayLength() : 0.0f;
        // The playing row's colour moves with the audible entry.
        InvalidateRect(list_->GetWindow(), nullptr, FALSE);
        UpdateTitle();
        UpdatePositionRange(nowSongId_);
        isActive_ = active;
        UpdateControls();
        // The stream ended on a song still being downloaded: the engine waits for it.
        if (output_->IsWaiting()) output_->PlayNext();
    }
    status_->SetTime(unsigned(std::max(seconds, 0.0f)), unsigned(std::max(nowLength_, 0.0f)));
    // However a thumb drag ended (released, or the mouse taken away by another window), the
    // thumb follows the song again.
    if (positionBar_->TakeDragEnded()) isSeeking_ = false;
    if (!isSeeking_) positionBar_->SetSeconds(seconds);
    UpdateTrayTip(seconds);
    list_->AutoScroll();
    OnTrayClickTick();
    return 1;
}

// The device stopped playing and could not be opened again; the engine's stream has stopped.
// The output is opened afresh for the next song the user starts, and the user is told why the
// music stopped.
void CMainWindow::OnDeviceLost() {
    output_->Stop();
    output_->Initialise(&settings.device, &settings.freq);
    status_->SetStatusText(COutput::kDeviceLostText);
    UpdateControls();
}

// ---- Shutdown ------------------------------------------------------------------------------

// Windows ends the session (log-off, restart, shutdown) and the process with it, without a
// WM_CLOSE: what the user set and made is saved as at Close.
LRESULT CMainWindow::OnEndSession(WPARAM ending) {
    if (ending) OnClose();
    return 0;
}

LRESULT CMainWindow::OnClose() {
    if (closing_) return 0;
    closing_ = true;
    settings.maximize = IsZoomed(window_) ? 1 : 0;
    // The ticker goes first: every later step may take away what a tick would use.
    ticker_.Stop();
    CollectWindowSettings();
    DestroyObjects();
    SaveSettings();
    settings.treefont.reset();
    settings.listfont.reset();
    tray_.RemoveTrayIcon();
    DestroyWindow(window_);
    return 0;
}

// Settings that live in the child windows while the program runs (the tree pane's width and
// the fonts of the tree and the list) are taken back before those windows go.
void CMainWindow::CollectWindowSettings() {
    if (split_) settings.treesize = split_->GetLeftPaneWidth();
    if (tree_) settings.treefont = tree_->TakeFont();
    if (list_) settings.listfont = list_->TakeListFont();
}

// The server client is closed and the engine's output stopped first, so that neither a
// transfer nor the engine's callback reports to a window that is going; then the windows in
// the order tree, song list, status bar, splitter, toolbar, trackbars (position, volume, pan),
// rebar, and last the engine, server client, library and song cache.
void CMainWindow::DestroyObjects() {
    objectsAlive_ = false;
    if (net_) net_->Close();
    if (output_) output_->Shutdown();
    mediaKeys_.Unregister();
    // The tree writes the favourites and the playlists as it goes; each of its nodes reports
    // its playlist deleted while the engine and the list still exist.
    tree_.reset();
    list_.reset();
    status_.reset();
    split_.reset();
    toolbar_.reset();
    positionBar_.reset();
    volumeBar_.reset();
    panBar_.reset();
    searchBox_.reset();
    rebar_.reset();
    output_.reset();
    net_.reset();
    search_.reset();
    CPlaylist::SetLibrary(nullptr);
    // The cache's thread looks songs up in the library until it is told to stop.
    if (cache_) cache_->ReleaseLibrary();
    library_.reset();
    cache_.reset();
}

// ---- Server client --------------------------------------------------------------------------

// The library update: the server's version decides whether a newer catalogue is fetched first;
// after it, or at once when the local catalogue is current or the server cannot be reached,
// the catalogue file is read as it now is.
LRESULT CMainWindow::OnNetDone(WPARAM request, LPARAM version) {
    if (!objectsAlive_) return 1;
    int id = NetRequestOf(request);
    if (id == NET_REQUEST_VERSION) {
        if (CNet::IsNewer(version, library_->GetVersion(true)) &&
            net_->DownloadLibrary(libraryPath, static_cast<DWORD>(version)))
            return 1;
        OnLibraryFileReady();
    } else if (id == NET_REQUEST_LIBRARY) {
        OnLibraryFileReady();
    } else {
        OnSongArrived(id);
    }
    return 1;
}

// A failed song download is not acted on.
LRESULT CMainWindow::OnNetFailed(WPARAM request) {
    if (objectsAlive_ && NetRequestOf(request) <= 0) OnLibraryFileReady();
    return 1;
}

// The written file joins the song cache; a file name that would lead out of the cache folder
// was never downloaded and is not handed on.
void CMainWindow::OnSongArrived(int songId) {
    output_->SongArrived(songId);
    if (!output_->IsPlaying() && !output_->IsPaused() && output_->IsWaiting()) output_->PlayNext();
    const CSong* song = library_->GetSong(songId);
    if (!song) return;
    std::wstring path = CCache::SongPath(cacheFolder, song->File());
    if (!path.empty()) cache_->AddFile(path);
}

// The catalogue file is as current as it gets: the Library branch of the tree is built from
// it from here on.
void CMainWindow::OnLibraryFileReady() {
    if (tree_) tree_->StartBuild();
}

// The tree writes a changed playlist a little later; the list's changes are handed to it here.
LRESULT CMainWindow::OnPlaylistChanged(const CPlaylist* changed) {
    if (!objectsAlive_) return 1;
    if (changed) tree_->SaveSoon(changed);
    if (!changed || changed == ShownPlaylist()) status_->SetTotals(ShownPlaylist());
    if (isActive_ && settings.random == 0) output_->RecomputeNext();
    UpdateControls();
    return 1;
}

LRESULT CMainWindow::OnTotalsStale() {
    totalsStale_ = false;
    if (objectsAlive_) status_->SetTotals(ShownPlaylist());
    return 1;
}

// ---- Commands ------------------------------------------------------------------------------

// Menus send a code of 0, accelerators 1; both are commands by their low word. Other codes are
// notifications of child controls. The system's own commands (SC_*) are only passed on.
LRESULT CMainWindow::OnCommand(UINT msg, WPARAM wp, LPARAM lp) {
    const UINT id = LOWORD(wp);
    const UINT code = HIWORD(wp);
    // A key of the toolbar's buttons does what the button does, where it is enabled.
    if (msg == WM_COMMAND && (code == THBN_CLICKED || (code == 1 && IsToolbarCommand(id)))) {
        OnTransportInput(id);
        return 0;
    }
    if (msg == WM_COMMAND && code > 1) {
        OnControlCommand(id, code, reinterpret_cast<HWND>(lp));
        return 0;
    }
    if (id >= ID_SYSTEM_FIRST || !objectsAlive_) return DefWindowProcW(window_, msg, wp, lp);
    if (OnTransportCommand(id, lp)) return 0;
    if (OnOptionCommand(id)) return 0;
    if (OnListCommand(id, lp)) return 0;
    if (OnWindowCommand(id)) return 0;
    if (OnFindCommand(id)) return 0;
    return DefWindowProcW(window_, msg, wp, lp);
}

// Play, pause, stop, previous, next and the random-play modes.
bool CMainWindow::OnTransportCommand(UINT id, LPARAM lp) {
    switch (id) {
    case ID_PLAY:
        // The list's Enter key (lParam 1) always starts its focused row.
        if (isActive_ && lp == 0) TogglePauseCommand();
        else PlayFocused();
        return true;
    case ID_STOP:            output_->Stop(); return true;
    case ID_PREVIOUS:        PreviousCommand(); return true;
    case ID_NEXT:            NextCommand(); return true;
    case ID_RANDOM_OFF:      SetRandomMode(0); return true;
    case ID_RANDOM_PLAYLIST: SetRandomMode(1); return true;
    case ID_RANDOM_LIBRARY:  SetRandomMode(2); return true;
    }
    if (id >= ID_FAVOURITE_FIRST && id <= ID_PLAYLIST_ENTRY_LAST) {
        PlayMenuEntry(id);
        return true;
    }
    return false;
}

// The playback options of the system menu and the tray menu's volume items.
bool CMainWindow::OnOptionCommand(UINT id) {
    constexpr DWORD kScale = FLAG_SCALE_PEAK | FLAG_SCALE_RMS;
    constexpr DWORD kSurround = FLAG_SURROUND | FLAG_SURROUND2;
    constexpr DWORD kRamp = FLAG_RAMP | FLAG_RAMPS;
    constexpr DWORD kInterp = FLAG_NONINTER | FLAG_SINCINTER;
    switch (id) {
    case ID_VOLADJUST_OFF:  SetFlags(~kScale, 0, false); return true;
    case ID_VOLADJUST_PEAK: SetFlags(~kScale, FLAG_SCALE_PEAK, false); return true;
    case ID_FADE_LOOPED:    SetFlags(~FLAG_FADE_LOOPED, ~settings.flags & FLAG_FADE_LOOPED, false); return true;
    case ID_SURROUND_OFF:   SetFlags(~kSurround, 0, true); return true;
    case ID_SURROUND_MODE1: SetFlags(~kSurround, FLAG_SURROUND, true); return true;
    case ID_SURROUND_MODE2: SetFlags(~kSurround, FLAG_SURROUND2, true); return true;
    case ID_RAMP_OFF:       SetFlags(~kRamp, 0, true); return true;
    case ID_RAMP_NORMAL:    SetFlags(~kRamp, FLAG_RAMP, true); return true;
    case ID_RAMP_SENSITIVE: SetFlags(~kRamp, FLAG_RAMPS, true); return true;
    case ID_INTERP_OFF:     SetFlags(~kInterp, FLAG_NONINTER, true); return true;
    case ID_INTERP_LINEAR:  SetFlags(~kInterp, 0, true); return true;
    case ID_INTERP_SINC:    SetFlags(~kInterp, FLAG_SINCINTER, true); return true;
    }
    if (id >= ID_VOLUME_FIRST && id <= ID_VOLUME_LAST) {
        SetVolume((id - ID_VOLUME_FIRST) * 10);
    } else if (id >= ID_CACHE_FIRST && id <= ID_CACHE_LAST) {
        SetCacheSize(id - ID_CACHE_FIRST);
    } else if (id >= ID_RMS_FIRST && id <= ID_RMS_LAST) {
        DWORD level = (id - ID_RMS_FIRST) << FLAG_RMS_SHIFT;
        SetFlags(~(FLAG_RMS_MASK | FLAG_SCALE_PEAK), level | FLAG_SCALE_RMS, false);
    } else if (id >= ID_RATE_FIRST && id <= ID_RATE_LAST) {
        SetOutput(&settings.freq, id - ID_RATE_FIRST);
    } else if (id >= ID_DEVICE_FIRST && id <= ID_DEVICE_LAST) {
        SetOutput(&settings.device, id - ID_DEVICE_FIRST);
    } else {
        return false;
    }
    return true;
}

// Commands of the song list and the tree: favourites, new playlists, removed entries.
bool CMainWindow::OnListCommand(UINT id, LPARAM lp) {
    switch (id) {
    case ID_ENTRY_REMOVING: OnEntryRemoving(ShownPlaylist(), int(lp)); return true;
    case ID_ADD_FAVOURITES: AddToFavouritesCommand(reinterpret_cast<CPlaylist*>(lp)); return true;
    case ID_NEW_PLAYLIST:   NewPlaylistCommand(reinterpret_cast<CPlaylist*>(lp)); return true;
    }
    return false;
}

// Show, hide and quit (the tray menu), and the About box.
bool CMainWindow::OnWindowCommand(UINT id) {
    switch (id) {
    case ID_SHOW: ShowWindow(window_, SW_RESTORE); SetForegroundWindow(window_); return true;
    case ID_HIDE: ShowWindow(window_, SW_MINIMIZE); return true;
    case ID_QUIT:  if (quitAllowed_) PostMessageW(window_, WM_CLOSE, 0, 0); return true;
    case ID_ABOUT: ShowAbout(); return true;
    }
    return false;
}

// The rebar passes on its children's notifications without the control's handle.
void CMainWindow::OnControlCommand(UINT id, UINT code, HWND) {
    if (id == IDC_SEARCHBOX && code == EN_CHANGE) OnSearchTextChanged();
}

bool CMainWindow::TranslateShortcut(MSG* msg) {
    return shortcuts_ && TranslateAcceleratorW(window_, shortcuts_.get(), msg) != 0;
}

// ---- Find in the library -------------------------------------------------------------------

// Escape and Enter in the find box end the pause at once.
bool CMainWindow::OnFindCommand(UINT id) {
    switch (id) {
    case ID_FIND:       if (searchBox_) searchBox_->Focus(); return true;
    case ID_FIND_CLEAR: RunSearch(); SetFocus(list_->GetWindow()); return true;
    case ID_FIND_NOW:   RunSearch(); return true;
    case ID_NEXT_PANE:     MoveFocusToPane(1); return true;
    case ID_PREVIOUS_PANE: MoveFocusToPane(-1); return true;
    }
    return false;
}

bool CMainWindow::IsToolbarCommand(UINT id) {
    return id == ID_PLAY || id == ID_STOP || id == ID_PREVIOUS || id == ID_NEXT || id == ID_ADD_FAVOURITES;
}

// The panes in the order F6 goes through them: the find box, the tree, the song list.
void CMainWindow::MoveFocusToPane(int step) {
    const HWND panes[] = {searchBox_ ? searchBox_->GetWindow() : nullptr, tree_->GetControl(), list_->GetWindow()};
    const int count = int(std::size(panes));
    HWND focus = GetFocus();
    // Without a pane in focus, the first step lands on the first pane (or, backwards, the last).
    int at = step > 0 ? count - 1 : 0;
    for (int i = 0; i < count; i++)
        if (panes[i] && (focus == panes[i] || IsChild(panes[i], focus))) at = i;
    for (int n = 1; n <= count; n++) {
        HWND next = panes[(at + step * n + count * count) % count];
        if (next && IsWindowVisible(next)) {
            SetFocus(next);
            return;
        }
    }
}

// Every change starts the pause again, so that a search runs once the typing stops.
void CMainWindow::OnSearchTextChanged() {
    if (objectsAlive_) SetTimer(window_, TIMER_SEARCH, SEARCH_PAUSE_MS, nullptr);
}

LRESULT CMainWindow::OnTimer(WPARAM id) {
    if (id == TIMER_SEARCH) RunSearch();
    return 0;
}

// The search runs here on the window thread: a scan of 100,000 songs takes about 10 ms, and
// the list fill that follows belongs to this thread anyway.
// A query typed while the tree is built waits for it: the search reads the whole catalogue.
void CMainWindow::RunSearch() {
    KillTimer(window_, TIMER_SEARCH);
    if (!objectsAlive_ || !searchBox_) return;
    searchWaiting_ = !tree_->IsReady();
    if (searchWaiting_) return;
    std::unique_ptr<CPlaylist> results = search_->Find(searchBox_->GetText());
    if (!results) {
        tree_->RemoveSearchResults();
        status_->SetAnswer(nullptr);
        return;
    }
    const int found = results->GetCount();
    CPlaylist* shown = results.get();
    // The node's former results go as a deleted node's playlist would: a song playing from
    // them plays on.
    std::unique_ptr<CPlaylist> old = tree_->ShowSearchResults(std::move(results));
    if (list_->GetPlaylist() != shown && tree_->GetSelectedPlaylist() == shown) OnTreeSelectionChanged(shown);
    if (old) OnPlaylistDeleted(old.get());
    wchar_t text[64];
    swprintf(text, std::size(text), found == 1 ? kSongFoundFormat : kSongsFoundFormat, found);
    status_->SetAnswer(text);
}

// ---- Notifications -------------------------------------------------------------------------

LRESULT CMainWindow::OnNotify(NMHDR* header) {
    if (!header) return 0;
    // Tree nodes own their playlists, also while the tree itself is being destroyed.
    if (header->idFrom == IDC_TREE && header->code == TVN_DELETEITEMW) {
        OnTreeItemDeleted(reinterpret_cast<CPlaylist*>(reinterpret_cast<NMTREEVIEWW*>(header)->itemOld.lParam));
        return 0;
    }
    if (!objectsAlive_) return 0;
    // The list's header reports through the list with an id of its own.
    if (header->hwndFrom == list_->GetHeader()) return OnHeaderNotify(header);
    switch (header->idFrom) {
    case IDC_TREE: return OnTreeNotify(header);
    case IDC_SONGLIST: return OnListNotify(header);
    case IDC_REBAR: return OnRebarNotify(header);
    case IDC_TRACKBAR:
        if (header->code == NM_CUSTOMDRAW)
            return CWndTrackbar::CustomDraw(reinterpret_cast<NMCUSTOMDRAW*>(header));
        return 0;
    }
    return 0;
}

LRESULT CMainWindow::OnTreeNotify(NMHDR* header) {
    auto* edit = reinterpret_cast<NMTVDISPINFOW*>(header);
    switch (header->code) {
    case TVN_SELCHANGEDW:
        OnTreeSelectionChanged(tree_->GetPlaylistOf(reinterpret_cast<NMTREEVIEWW*>(header)->itemNew.hItem));
        return 0;
    case TVN_BEGINLABELEDITW: {
        // Only the user's playlists can be renamed.
        const CPlaylist* playlist = tree_->GetPlaylistOf(edit->item.hItem);
        return playlist && playlist->GetKind() == CPlaylist::kUser ? FALSE : TRUE;
    }
    case TVN_ENDLABELEDITW:
        if (!edit->item.pszText || !*edit->item.pszText ||
            !tree_->RenamePlaylist(edit->item.hItem, edit->item.pszText))
            return FALSE;
        // The new name takes its place among the playlists once the edit has ended.
        PostMessageW(window_, WM_APP_SORT_TREE, 0, 0);
        return TRUE;
    case NM_CUSTOMDRAW:
        return tree_->CustomDraw(reinterpret_cast<NMTVCUSTOMDRAW*>(header));
    }
    return 0;
}

LRESULT CMainWindow::OnListNotify(NMHDR* header) {
    auto* item = reinterpret_cast<NMLISTVIEW*>(header);
    switch (header->code) {
    case NM_DBLCLK:       PlayFocused(); return 0;
    case NM_CUSTOMDRAW:   return list_->CustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header), isActive_, nowSerial_);
    case LVN_GETDISPINFOW: list_->GetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(header)); return 0;
    case LVN_ODFINDITEMW: return list_->FindItem(reinterpret_cast<NMLVFINDITEMW*>(header));
    case LVN_COLUMNCLICK: list_->SortByColumn(item->iSubItem); return 0;
    case LVN_BEGINDRAG:   list_->BeginDrag(); return 0;
    // The rows go at once, without a notification each.
    case LVN_DELETEALLITEMS: return TRUE;
    case LVN_ITEMCHANGED:
        // With nothing playing, the buttons and the position follow the focused row.
        if ((item->uNewState & LVIS_FOCUSED) && !isActive_ && !list_->IsDragging()) {
            UpdateControls();
            UpdatePositionRange(0);
        }
        return 0;
    }
    return 0;
}

// The placeholder column 0 keeps its zero width; a dragged divider's width is kept.
LRESULT CMainWindow::OnHeaderNotify(NMHDR* header) {
    auto* column = reinterpret_cast<NMHEADERW*>(header);
    if (header->code == HDN_BEGINTRACKW) return column->iItem == 0;
    if (header->code == HDN_ENDTRACKW)
        list_->StoreColumnWidth(column->iItem,
                                column->pitem && (column->pitem->mask & HDI_WIDTH) ? column->pitem->cxy : -1);
    return 0;
}

// The list shows the chosen node's songs with the audible entry's row selected, or a row of
// its own choosing.
void CMainWindow::OnTreeSelectionChanged(CPlaylist* playlist) {
    list_->SetPlaylist(playlist);
    status_->SetTotals(playlist);
    int songId = 0, serial = 0;
    float seconds = 0;
    output_->GetPosition(songId, serial, seconds);
    const int row = serial != 0 ? list_->FindRowBySerial(serial) : -1;
    if (row >= 0)
        list_->SelectRow(row);
    else if (settings.random != 0)
        list_->SelectRandom();
    else
        list_->SelectRow(0);
    if (isActive_ && settings.random == 0) output_->RecomputeNext();
    if (!isActive_) {
        UpdateControls();
        UpdatePositionRange(0);
    }
}

void CMainWindow::OnTreeItemDeleted(CPlaylist* playlist) {
    if (!playlist) return;
    std::unique_ptr<CPlaylist> owned(playlist);  // the node's, handed over with its deletion
    OnPlaylistDeleted(playlist);
}

// ---- Trackbars -----------------------------------------------------------------------------

// The rebar hands on every scroll message but the end of a drag. lParam 0 comes from a right
// click that put the volume or the pan separation back in the middle: both are read again.
LRESULT CMainWindow::OnHScroll(WPARAM wp, LPARAM lp) {
    HWND from = reinterpret_cast<HWND>(lp);
    if (objectsAlive_) {
        if (from && from == positionBar_->GetWindow()) {
            OnPositionScroll(LOWORD(wp));
        } else {
            if (!from || from == volumeBar_->GetWindow()) ReadVolume();
            if (!from || from == panBar_->GetWindow()) ReadPanning();
        }
    }
    return DefWindowProcW(window_, WM_HSCROLL, wp, lp);
}

// While the thumb is dragged the tick leaves it alone; every other move seeks at once.
void CMainWindow::OnPositionScroll(UINT code) {
    if (code == TB_THUMBTRACK) {
        isSeeking_ = true;
        return;
    }
    float seconds = positionBar_->GetSeconds();
    if (code == TB_THUMBPOSITION) isSeeking_ = false;
    SeekTo(seconds);
}

void CMainWindow::ReadVolume() {
    DWORD volume = static_cast<DWORD>(volumeBar_->GetPosition());
    if (volume == settings.volume) return;
    settings.volume = volume;
    output_->ApplyVolume();
}

void CMainWindow::ReadPanning() {
    int panning = panBar_->GetPosition();
    if (panning == settings.panning) return;
    settings.panning = panning;
    output_->ApplyPanSeparation();
}

// The position trackbar stands for the audible song, or, with none, for the song the list's
// focused row would start; without a song it is disabled.
void CMainWindow::UpdatePositionRange(int songId) {
    if (songId == 0 && list_) songId = list_->FocusedSongId();
    const CSong* song = library_ ? library_->GetSong(songId) : nullptr;
    if (positionBar_) positionBar_->SetDuration(song ? song->PlayLength() : 0.0f);
}

// ---- Options -------------------------------------------------------------------------------

void CMainWindow::SetRandomMode(DWORD mode) {
    if (mode == settings.random) return;
    settings.random = mode;
    if (isActive_) output_->RecomputeNext();
    OptionsChanged();
    if (libraryStateSeen_) UpdateControls();
}

// flags = (flags AND keep) OR add. Music flags go to the loaded song at once.
void CMainWindow::SetFlags(DWORD keep, DWORD add, bool musicFlags) {
    settings.flags = (settings.flags & keep) | add;
    if (musicFlags) output_->ApplyFlags();
    OptionsChanged();
}

// The menus offer 0 to 100 %; the ids above 90 would mean more than full volume.
void CMainWindow::SetVolume(DWORD volume) {
    settings.volume = std::min<DWORD>(volume, 100);
    output_->ApplyVolume();
    if (volumeBar_) volumeBar_->SetPosition(static_cast<int>(settings.volume));
}

void CMainWindow::SetCacheSize(DWORD index) {
    settings.cache = index;
    SelectCacheSize();
    OptionsChanged();
    if (cache_) cache_->AddFile();  // evicts down to the new limit
}

// The output device or rate: the output is opened anew with it.
void CMainWindow::SetOutput(DWORD* field, DWORD value) {
    *field = value;
    output_->Initialise(&settings.device, &settings.freq);
    OptionsChanged();
}

// The check marks of the system menu follow the settings; the tray menu is built afresh each
// time it opens.
void CMainWindow::OptionsChanged() { options_.UpdateOptionChecks(SystemMenu()); }

void CMainWindow::InsertOptions() { options_.InsertOptions(SystemMenu()); }

// ---- Transport -----------------------------------------------------------------------------

CPlaylist* CMainWindow::ShownPlaylist() const { return list_ ? list_->GetPlaylist() : nullptr; }

int CMainWindow::FocusedRow() const { return list_ ? list_->FocusedRow() : -1; }

TransportButtons CMainWindow::DecideButtons(int focusedRow, int rowCount) const {
    TransportButtons b;
    b.pauseImage = output_ && output_->IsPlaying();
    const DWORD random = settings.random;
    if (isActive_) {
        CPlaylist* playlist = output_->GetPlaylist();
        b.play = b.stop = b.previous = true;
        b.next = random == 2 || (random == 1 && playlist) ||
                 (playlist && playlist->GetLastSerial() != nowSerial_);
        b.favourites = true;
    } else {
        b.play = focusedRow >= 0;
        b.previous = random == 2 || focusedRow > 0;
        b.next = random == 2 || focusedRow != rowCount - 1;
    }
    return b;
}

// The decisions stay here; the toolbar and the tray menu only show them.
void CMainWindow::UpdateControls() {
    CPlaylist* shown = ShownPlaylist();
    buttons_ = DecideButtons(FocusedRow(), shown ? shown->GetCount() : 0);
    ShowButtons();
}

void CMainWindow::ShowButtons() {
    if (!toolbar_) return;
    toolbar_->SetPlayImage(buttons_.pauseImage ? 1 : 0);
    toolbar_->EnableButton(ID_PLAY, buttons_.play);
    toolbar_->EnableButton(ID_STOP, buttons_.stop);
    toolbar_->EnableButton(ID_PREVIOUS, buttons_.previous);
    toolbar_->EnableButton(ID_NEXT, buttons_.next);
    toolbar_->EnableButton(ID_ADD_FAVOURITES, buttons_.favourites);
    taskbarButtons_.Update(buttons_.pauseImage, buttons_.play, buttons_.previous, buttons_.next);
}

void CMainWindow::OnTransportInput(UINT command) {
    if (!objectsAlive_ || !command || !toolbar_->IsButtonEnabled(command)) return;
    OnCommand(WM_COMMAND, command, 0);
}

bool CMainWindow::PlayRow(CPlaylist* playlist, int row, float seconds) {
    return output_ && output_->PlayEntry(playlist, row, seconds);
}

void CMainWindow::PlayFocused() { PlayRow(ShownPlaylist(), FocusedRow(), 0); }

void CMainWindow::TogglePauseCommand() {
    output_->TogglePause();
    UpdateControls();
}

// Moving the position while stopped starts the focused song at that point.
void CMainWindow::SeekTo(float seconds) {
    if (isActive_) {
        output_->Restart(seconds);
        UpdateControls();
    } else {
        PlayRow(ShownPlaylist(), FocusedRow(), seconds);
    }
}

void CMainWindow::NextCommand() {
    if (!isActive_) {
        MoveSelection(1);
        return;
    }
    output_->PlayNext();
    SelectAudibleRow();
}

// Early in a song Previous goes back to the song before; later it starts the song again.
void CMainWindow::PreviousCommand() {
    if (!isActive_) {
        MoveSelection(-1);
        return;
    }
    int songId = 0, serial = 0;
    float seconds = 0;
    output_->GetPosition(songId, serial, seconds);
    if (seconds > 2.0f || output_->GetPrevious(false) == 0) {
        SeekTo(0);
        return;
    }
    output_->PlayPrevious();
    SelectAudibleRow();
}

// In whole-library random play the tree shows the new song's artist; the list selects the
// audible entry's row when it has one.
void CMainWindow::SelectAudibleRow() {
    int songId = 0, serial = 0;
    float seconds = 0;
    output_->GetPosition(songId, serial, seconds);
    if (settings.random == 2) tree_->SelectSongArtist(songId);
    list_->SelectRowBySerial(serial);
}

// Without an active song Next and Previous only move the selection: to a random row, to a
// random artist, or to the row after or before the focused one.
void CMainWindow::MoveSelection(int step) {
    if (settings.random == 1)
        list_->SelectRandom();
    else if (settings.random == 2)
        tree_->SelectRandomArtist();
    else if (step > 0)
        list_->SelectNext();
    else
        list_->SelectPrevious();
}

// The tray menu's favourites and playlist entries: the entry plays, and the tree and the list
// show where it comes from.
void CMainWindow::PlayMenuEntry(UINT id) {
    CPlaylist* playlist = nullptr;
    int row = 0;
    if (id <= ID_FAVOURITE_LAST) {
        playlist = tree_->GetFavourites();
        row = int(id - ID_FAVOURITE_FIRST);
        if (!playlist) return;
        PlayRow(playlist, row, 0);
        tree_->SelectFavourites();
    } else {
        const UINT index = id - ID_PLAYLIST_ENTRY_FIRST;
        const int p = int(index / PLAYLIST_MENU_ENTRIES);
        playlist = playlists.GetByIndex(p);
        row = int(index % PLAYLIST_MENU_ENTRIES);
        if (!playlist) return;
        PlayRow(playlist, row, 0);
        tree_->SelectPlaylistNode(playlist);
    }
    if (ShownPlaylist() == playlist) list_->SelectRow(row);
}

// The toolbar's button adds the audible song; the list sends its selection as a temporary
// playlist that stays its own.
void CMainWindow::AddToFavouritesCommand(CPlaylist* songs) {
    if (songs) {
        tree_->AddPlaylistToFavourites(songs);
        return;
    }
    tree_->AddSongToFavourites(nowSongId_);
    CPlaylist* favourites = tree_->GetFavourites();
    if (favourites && ShownPlaylist() == favourites) {
        list_->SetPlaylist(favourites);
        list_->SelectRow(list_->RowCount() - 1);
    }
}

// The temporary playlist is this window's from the command on.
void CMainWindow::NewPlaylistCommand(CPlaylist* songs) {
    std::unique_ptr<CPlaylist> owned(songs);
    if (owned) tree_->NewPlaylist(nullptr, owned.get());
}

void CMainWindow::OnEntryRemoving(CPlaylist* shown, int row) {
    if (!shown) return;
    const int serial = shown->GetSerialAt(row);
    if (shown->GetKind() == CPlaylist::kFavourites) cache_->Unprotect(shown->GetIdAt(row));
    // The list removes the entry right after this: the playlist is written a little later,
    // and the totals are counted again once every selected row has gone.
    tree_->SaveSoon(shown);
    if (!totalsStale_) totalsStale_ = PostMessageW(window_, WM_APP_TOTALS, 0, 0) != 0;
    if (!isActive_ || settings.random == 2 || serial == 0) return;
    if (output_->GetPrevious(false) == serial) {
        output_->SetPrevious(shown->GetIdAt(row - 1), shown->GetSerialAt(row - 1));
        UpdateControls();
    }
    if (output_->GetNext(false) == serial) {
        output_->SetNext(shown->GetIdAt(row + 1), shown->GetSerialAt(row + 1));
        int next = output_->GetNext(true);
        if (next != 0 && !output_->IsCached(next)) output_->RequestSong(next);
        UpdateControls();
    }
}

// Deleting the playlist being played in order lets the audible song end with nothing after it.
void CMainWindow::OnPlaylistDeleted(CPlaylist* playlist) {
    // The list reads its rows from the playlist whenever it paints.
    if (list_ && list_->GetPlaylist() == playlist) list_->SetPlaylist(nullptr);
    if (!output_ || !playlist) return;
    if (playlist == output_->GetPlaylist()) {
        output_->SetPlaylist(nullptr);
        if (isActive_ && settings.random != 2) output_->SelectNext(0);
    }
    // A tree that is being destroyed deletes every node: the buttons no longer matter.
    if (objectsAlive_) UpdateControls();
}

// ---- Library state ---------------------------------------------------------------------------

// While the tree is built from the catalogue the program must not close under it: the title
// bar's and the system menu's Close and the tray's Quit are unavailable until it is done.
LRESULT CMainWindow::OnLibraryReady(WPARAM ready) {
    EnableMenuItem(SystemMenu(), SC_CLOSE, MF_BYCOMMAND | (ready ? MF_ENABLED : MF_GRAYED));
    quitAllowed_ = ready != 0;
    libraryStateSeen_ = true;
    if (ready && objectsAlive_) {
        list_->SetLibraryReady();
        UpdateControls();
        // The favourites' songs stay in the cache whatever its size.
        cache_->ProtectPlaylist(tree_->GetFavourites(), library_.get());
        if (searchWaiting_) RunSearch();
    }
    return 1;
}

// ---- Tray icon -------------------------------------------------------------------------------

void CMainWindow::AddTrayIcon() { tray_.AddTrayIcon(window_); }

UINT CMainWindow::TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

LRESULT CMainWindow::OnTaskbarButtonCreated() {
    if (objectsAlive_ && taskbarButtons_.Add(window_, toolbar_->GetImages(), SYMBOL_PLAY, SYMBOL_PAUSE,
                                             SYMBOL_PREVIOUS, SYMBOL_NEXT))
        ShowButtons();
    return 0;
}

// Explorer started again (after a crash, or late at log-on): its notification area knows no
// icon of ours, and a window hidden in the tray could not be found any more.
LRESULT CMainWindow::OnTaskbarCreated() {
    if (!closing_) tray_.AddTrayIcon(window_, true);
    return 0;
}

LRESULT CMainWindow::OnTrayMessage(LPARAM mouseMessage) {
    POINT cursor = {};
    switch (static_cast<UINT>(mouseMessage)) {
    case WM_LBUTTONDOWN:
        tray_.StartClickCountdown();
        break;
    case WM_LBUTTONDBLCLK:
        tray_.CancelClick();
        if (IsWindowVisible(window_)) {
            ShowWindow(window_, SW_MINIMIZE);  // WM_SIZE hides it
        } else {
            ShowWindow(window_, SW_RESTORE);
            SetForegroundWindow(window_);
        }
        break;
    case WM_RBUTTONDOWN:
        GetCursorPos(&cursor);
        tray_.RememberClickRect(cursor);
        break;
    case WM_RBUTTONUP:
        GetCursorPos(&cursor);
        if (tray_.IsInClickRect(cursor)) {
            SetForegroundWindow(window_);
            ShowTrayMenu();
        }
        break;
    }
    return 1;
}

void CMainWindow::UpdateTrayTip(float seconds) {
    const CSong* song = library_ ? library_->GetSong(nowSongId_) : nullptr;
    tray_.UpdateTrayTip(song ? CTrayIcon::SongTip(seconds, song->PlayLength(), song->DisplayArtist(),
                                                  song->DisplayTitle())
                             : IdleTitle());
}

// A single click acts once the double-click time has passed without a second click.
void CMainWindow::OnTrayClickTick() {
    if (!tray_.CountDownClick() || !toolbar_ || !toolbar_->IsButtonEnabled(ID_PLAY)) return;
    if (isActive_)
        TogglePauseCommand();
    else
        PlayFocused();
}

TrayMenuState CMainWindow::GatherTrayMenuState() {
    TrayMenuState state;
    state.volume = settings.volume;
    state.library = library_.get();
    state.favourites = tree_ ? tree_->GetFavourites() : nullptr;
    state.playlists = &playlists;
    int songId = 0;
    float seconds = 0;
    if (output_) {
        output_->GetPosition(songId, state.audibleSerial, seconds);
        state.isPlaying = output_->IsPlaying();
    }
    state.isButtonEnabled = [this](UINT id) { return toolbar_ && toolbar_->IsButtonEnabled(id); };
    state.windowVisible = IsWindowVisible(window_) != FALSE;
    state.quitAllowed = quitAllowed_;
    state.rows = CTrayMenu::RowsPerColumn(window_);
    return state;
}

void CMainWindow::ShowTrayMenu() {
    trayMenu_.ShowTrayMenu(window_, GatherTrayMenuState());
    // A menu of the notification area closes when the user clicks elsewhere only if its
    // owner gets a message after the menu's loop.
    PostMessageW(window_, WM_NULL, 0, 0);
}

// ---- About box -------------------------------------------------------------------------------

void CMainWindow::ShowAbout() {
    AboutFacts facts;
    if (output_) output_->GetEngineVersion(facts.engineVersion);
    if (library_) {
        facts.libraryVersion = library_->GetVersion(false);
        facts.libraryDate = library_->GetDate();
        facts.songCount = library_->GetCount();
        facts.totalSize = library_->GetTotalSize();
        facts.totalDuration = library_->GetTotalDuration();
    }
    CAboutBox(std::move(facts)).Show(window_);
}
