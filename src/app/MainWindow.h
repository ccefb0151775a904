#pragma once
// The main window: owner of every object of the program and the hub through which commands,
// notifications, ticks and worker-thread messages become actions.

#include "app/OptionsMenu.h"
#include "app/Ticker.h"
#include "base/Handle.h"
#include "app/MediaKeys.h"
#include "app/TaskbarButtons.h"
#include "app/TrayIcon.h"
#include "app/TrayMenu.h"

#include <windows.h>

#include <memory>
#include <string>

class CCache;
class CLibrary;
class CLibrarySearch;
class CNet;
class COutput;
class CPlaylist;
class CWndRebar;
class CWndSplit;
class CWndSearchBox;
class CWndStatus;
class CWndToolbar;
class CWndTrackbar;
class CWndTree;
class CWndList;

// Window class of the main window; a second start of the program looks for it.
inline constexpr const wchar_t* kMainWindowClass = L"tunehaven";

// Smallest size the user can drag the main window to, at 96 DPI (scaled with the window's DPI).
constexpr int kMinWindowWidth = 610;
constexpr int kMinWindowHeight = 400;
// Longest window title, in characters.
constexpr size_t kMaxTitleLength = 127;

// "tunehaven 0.2": the title and tray text while nothing plays.
std::wstring IdleTitle();
// "artist - title", cut to kMaxTitleLength characters.
std::wstring SongTitle(std::wstring_view artist, std::wstring_view title);

// Enlarges a rectangle being dragged at `edge` (a WMSZ_ value) to the minimum size at `dpi`,
// moving the dragged side(s) only.
void ApplyMinimumSize(UINT edge, RECT* rect, int dpi = 96);
// A saved window rectangle made fit for the monitors there are now: at least the minimum size,
// and moved (and if need be shrunk) onto the work area of the nearest monitor when it lies on
// none, so that an unplugged monitor or a smaller screen does not open the window out of reach.
// `dpi` is the scale the minimum size is taken at.
RECT PlaceOnMonitor(RECT rect, int dpi = 96);

// What the transport buttons show: the play button's image and which of Play, Stop, Previous,
// Next and Add to favourites are enabled. The toolbar and the tray menu show these states.
struct TransportButtons {
    bool pauseImage = false;  // the play button shows the pause image (a song is playing)
    bool play = false;
    bool stop = false;
    bool previous = false;
    bool next = false;
    bool favourites = false;
};

class CMainWindow {
public:
    // Registers the window class (the result is ignored by start-up: a class that is already
    // registered works as well).
    static bool RegisterWindowClass(HINSTANCE instance);

    // Creates the main window at the settings' position and size. Every object of the program
    // is created during this call. Returns 0 if the window cannot be created.
    static HWND Create(HINSTANCE instance);

    // The object behind a main window handle (null for other windows).
    static CMainWindow* FromHandle(HWND window);

    virtual ~CMainWindow();
    CMainWindow(const CMainWindow&) = delete;
    CMainWindow& operator=(const CMainWindow&) = delete;

    HWND Window() const { return window_; }

    // Sets the title from the audible song, or the idle title when nothing plays.
    void UpdateTitle();

    // The program's keyboard shortcuts (Ctrl+F), wherever the focus is in the window: true when
    // msg was one and has been handled. The message loop asks before translating a key.
    bool TranslateShortcut(MSG* msg);

    // Start-up, once the window exists: the options go into the system menu before the window
    // is shown; the tray icon is added after it is shown.
    void InsertOptions();
    void AddTrayIcon();

    // The tray icon's tooltip right now.
    const wchar_t* TrayTip() const { return tray_.Tip(); }

    // Number of ticks handled since the window was created.
    int TicksHandled() const { return ticksHandled_; }

    // The frame controls (null before WM_CREATE and after WM_CLOSE).
    CWndToolbar* GetToolbar() const { return toolbar_.get(); }
    CWndTrackbar* GetPositionBar() const { return positionBar_.get(); }
    CWndSplit* GetSplit() const { return split_.get(); }
    CWndTree* GetTree() const { return tree_.get(); }
    CWndList* GetList() const { return list_.get(); }
    CWndSearchBox* GetSearchBox() const { return searchBox_.get(); }
    CWndStatus* GetStatus() const { return status_.get(); }
    // The transport buttons' states as last decided by UpdateControls.
    const TransportButtons& Buttons() const { return buttons_; }
    // The objects the window owns (null before WM_CREATE and after WM_CLOSE).
    CLibrary* GetLibrary() const { return library_.get(); }
    COutput* GetOutput() const { return output_.get(); }

    // Playback of one playlist row: the engine plays `playlist` from `row` (-1: nothing) at
    // `seconds`. Play, seeking while stopped and the list's double click come here with the
    // shown playlist and its focused row.
    bool PlayRow(CPlaylist* playlist, int row, float seconds);
    // The song list is about to remove `row` of `shown`, the playlist it shows: the engine's
    // previous and next entries move off it.
    void OnEntryRemoving(CPlaylist* shown, int row);
    // A tree item's playlist is about to be destroyed: the engine stops following it.
    void OnPlaylistDeleted(CPlaylist* playlist);

private:
    explicit CMainWindow(HWND window);
    static LRESULT CALLBACK WindowProc(HWND window, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT Proc(UINT msg, WPARAM wp, LPARAM lp);

    // Creation: every object of the program, in the order the others need them. False when
    // an object the window cannot do without could not be made.
    bool CreateObjects();
    // The rebar with the position, volume and pan separation trackbars and the toolbar.
    bool CreateFrame();
    LRESULT OnCreate();
    LRESULT OnDestroy();

    // Geometry.
    LRESULT OnSize(WPARAM type, LPARAM lp);
    LRESULT OnMove();
    void StoreRestoredRect();
    LRESULT OnSizing(WPARAM edge, RECT* rect);
    // The window went to a screen of another scale: every part takes the new size, then the
    // window takes the place the system suggests.
    LRESULT OnDpiChanged(int dpi, const RECT* suggested);
    // The rebar's height follows its rows of bands: the panes below it follow.
    LRESULT OnRebarNotify(NMHDR* header);

    // Shutdown, in this order.
    LRESULT OnClose();
    void CollectWindowSettings();
    void DestroyObjects();

    // The tick and the server client's reports.
    LRESULT OnTick();
    LRESULT OnEndSession(WPARAM ending);
    LRESULT OnGetMinMaxInfo(MINMAXINFO* info);
    static UINT TaskbarCreatedMessage();
    LRESULT OnTaskbarCreated();
    LRESULT OnTaskbarButtonCreated();
    // A media key, a taskbar button or a remote's command: does what the toolbar's button
    // does, where that button is enabled.
    void OnTransportInput(UINT command);
    static bool IsToolbarCommand(UINT id);
    void MoveFocusToPane(int step);
    void OnDeviceLost();
    LRESULT OnNetDone(WPARAM request, LPARAM version);
    LRESULT OnNetFailed(WPARAM request);
    void OnSongArrived(int songId);
    void OnLibraryFileReady();
    // The tree or the song list changed the entries of a playlist (`changed`: the list's).
    LRESULT OnPlaylistChanged(const CPlaylist* changed);
    LRESULT OnTotalsStale();

    // Commands: the low word picks the command, then each area is asked in turn and the first
    // that takes it ends the routing.
    LRESULT OnCommand(UINT msg, WPARAM wp, LPARAM lp);
    bool OnTransportCommand(UINT id, LPARAM lp);
    bool OnOptionCommand(UINT id);
    bool OnListCommand(UINT id, LPARAM lp);
    bool OnWindowCommand(UINT id);
    // A notification of a child control that arrives as WM_COMMAND (a code other than a menu's
    // or an accelerator's): the find box's EN_CHANGE.
    void OnControlCommand(UINT id, UINT code, HWND control);

    // Find in the library: the find box's commands, the pause after a change of its text, and
    // the search with what it shows.
    bool OnFindCommand(UINT id);
    void OnSearchTextChanged();
    LRESULT OnTimer(WPARAM id);
    void RunSearch();

    // Notifications, routed by the id of the control that sends them.
    LRESULT OnNotify(NMHDR* header);
    LRESULT OnTreeNotify(NMHDR* header);
    LRESULT OnListNotify(NMHDR* header);
    LRESULT OnHeaderNotify(NMHDR* header);
    void OnTreeSelectionChanged(CPlaylist* playlist);
    // A tree node went (a deleted playlist, the tree's own destruction): its playlist is
    // deleted here, after the engine and the list have let go of it.
    void OnTreeItemDeleted(CPlaylist* playlist);

    // The trackbars: seeking by the position trackbar, volume and pan separation.
    LRESULT OnHScroll(WPARAM wp, LPARAM lp);
    void OnPositionScroll(UINT code);
    void ReadVolume();
    void ReadPanning();

    // Transport.
    void UpdateControls();
    void ShowButtons();
    TransportButtons DecideButtons(int focusedRow, int rowCount) const;
    void PlayFocused();
    void TogglePauseCommand();
    void SeekTo(float seconds);
    void NextCommand();
    void PreviousCommand();
    void SelectAudibleRow();
    void MoveSelection(int step);
    void PlayMenuEntry(UINT id);
    // Commands 20 and 21: the audible song or the list's selection to the favourites, and a
    // new playlist from the list's selection.
    void AddToFavouritesCommand(CPlaylist* songs);
    void NewPlaylistCommand(CPlaylist* songs);
    // The list's shown playlist and focused row (null and -1 while there is no list).
    CPlaylist* ShownPlaylist() const;
    int FocusedRow() const;
    void UpdatePositionRange(int songId);

    // The library tree's build: the program cannot be closed while it runs; once it is done
    // the list's menu, the favourites' protection in the cache and a waiting search follow.
    LRESULT OnLibraryReady(WPARAM ready);

    // The tray icon: mouse reports, the tooltip and the single click of the tick, the menu.
    LRESULT OnTrayMessage(LPARAM mouseMessage);
    void UpdateTrayTip(float seconds);
    void OnTrayClickTick();
    void ShowTrayMenu();
    TrayMenuState GatherTrayMenuState();

    // The About box with the engine's and the catalogue's facts.
    void ShowAbout();

    // Option commands that change settings.
    void SetRandomMode(DWORD mode);
    void SetFlags(DWORD keep, DWORD add, bool musicFlags);
    void SetVolume(DWORD volume);
    void SetCacheSize(DWORD index);
    void SetOutput(DWORD* field, DWORD value);
    void OptionsChanged();
    HMENU SystemMenu() const { return GetSystemMenu(window_, FALSE); }

    HWND window_;
    int dpi_;  // the scale of the window's monitor
    // The objects of the program, owned here; made in WM_CREATE, destroyed in WM_CLOSE.
    std::unique_ptr<CLibrary> library_;
    std::unique_ptr<CCache> cache_;
    std::unique_ptr<CWndStatus> status_;
    std::unique_ptr<CWndRebar> rebar_;
    std::unique_ptr<CWndTrackbar> positionBar_;
    std::unique_ptr<CWndTrackbar> volumeBar_;
    std::unique_ptr<CWndTrackbar> panBar_;
    std::unique_ptr<CWndToolbar> toolbar_;
    std::unique_ptr<CWndList> list_;
    std::unique_ptr<CWndTree> tree_;
    std::unique_ptr<CWndSplit> split_;
    std::unique_ptr<CNet> net_;
    std::unique_ptr<COutput> output_;
    std::unique_ptr<CLibrarySearch> search_;
    std::unique_ptr<CWndSearchBox> searchBox_;
    AcceleratorHandle shortcuts_;
    CTicker ticker_;
    bool objectsAlive_ = false;  // between WM_CREATE and the destruction in WM_CLOSE
    bool closing_ = false;
    int ticksHandled_ = 0;
    // The options of the system menu and the tray menu; the tray icon. Minimising hides the
    // window only while the icon is shown, since the icon is then the way back to it.
    COptionsMenu options_;
    CTrayMenu trayMenu_{&options_};
    CTrayIcon tray_;
    CMediaKeys mediaKeys_;
    CTaskbarButtons taskbarButtons_;

    // Playback state as last seen by the tick.
    int nowSerial_ = 0;          // entry serial of the audible entry, 0 = none
    int nowSongId_ = 0;          // library id of that song, 0 = none
    float nowLength_ = 0;        // its play length in seconds
    bool isActive_ = false;      // a song is playing or paused
    bool isSeeking_ = false;     // the user drags the position trackbar's thumb
    bool totalsStale_ = false;   // a WM_APP_TOTALS is on its way
    bool libraryStateSeen_ = false;
    TransportButtons buttons_;

    // A search was asked for while the tree was not ready; it runs when the tree is.
    bool searchWaiting_ = false;
    bool quitAllowed_ = true;    // false while the library tree is being built
};
