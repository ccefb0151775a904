// Opens the real menus on the test display, one submenu at a time, and keeps a picture of each
// under the build tree (screenshots\). Xvfb has no window manager, so the menus are opened
// with TrackPopupMenu and driven with the keys a user would press; a thread timer, which the
// menu's own loop dispatches, takes the picture while the menu is open and then closes it.
#include "Screenshot.h"
#include "TestSupport.h"
#include "XmlTestFiles.h"

#include "app/Ids.h"
#include "app/MainWindow.h"
#include "app/OptionsMenu.h"
#include "app/Settings.h"
#include "app/TrayMenu.h"
#include "library/Library.h"
#include "playlists/Playlist.h"
#include "playlists/Playlists.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kMaxPolls = 100;  // 10 s at 100 ms

// One picture: the keys that open the wanted submenus and how many menu windows then show.
struct Shot {
    std::vector<WPARAM> keys;
    size_t menus;
    std::wstring file;
};

BOOL CALLBACK CollectMenu(HWND window, LPARAM lp) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (wcscmp(name, L"#32768") == 0 && IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(lp)->push_back(window);
    return TRUE;
}

std::vector<HWND> OpenMenus() {
    std::vector<HWND> menus;
    EnumWindows(&CollectMenu, reinterpret_cast<LPARAM>(&menus));
    return menus;
}

class Photographer {
public:
    static inline const Shot* shot = nullptr;
    static inline HWND owner = nullptr;
    static inline int polls = 0;
    static inline int settled = 0;
    static inline bool keysSent = false;
    static inline bool saved = false;
    static inline size_t seenMenus = 0;

    static void Start(const Shot& s, HWND w) {
        shot = &s;
        owner = w;
        polls = settled = 0;
        keysSent = saved = false;
        seenMenus = 0;
        SetTimer(nullptr, 0, 100, &Poll);
    }

private:
    static void CALLBACK Poll(HWND, UINT, UINT_PTR timer, DWORD) {
        std::vector<HWND> menus = OpenMenus();
        seenMenus = menus.size();
        if (++polls > kMaxPolls) return Finish(timer);
        if (menus.empty()) return;
        if (!keysSent) {
            for (WPARAM key : shot->keys) PostMessageW(owner, WM_KEYDOWN, key, 0);
            keysSent = true;
            return;
        }
        // A few polls more once every submenu is open, so that all of them are painted.
        if (menus.size() < shot->menus || ++settled < 4) return;
        RECT area = {};
        for (HWND m : menus) {
            RECT r;
            GetWindowRect(m, &r);
            UnionRect(&area, &area, &r);
        }
        InflateRect(&area, 12, 12);
        RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        IntersectRect(&area, &area, &screen);
        saved = th::SaveScreenPng(area, th::BuildTreeFile(L"screenshots\\" + shot->file));
        Finish(timer);
    }
    static void Finish(UINT_PTR timer) {
        KillTimer(nullptr, timer);
        EndMenu();
    }
};

// A catalogue of `count` songs whose artists carry an ampersand.
std::wstring CatalogueFile(const th::TempDir& dir, int count) {
    std::wstring body = L"\r\n<LIBRARY>\r\n<VERSION>7</VERSION>";
    for (int k = 1; k <= count; ++k) {
        const std::wstring n = std::to_wstring(k);
        body += L"\r\n<SONG><ID>" + n + L"</ID><ARTIST>Artist " + n +
                L" &amp; Friends</ARTIST><TITLE>Song number " + n + L"</TITLE><FILE>a\\s" + n +
                L".xm</FILE></SONG>";
    }
    const std::wstring path = dir.File(L"Library.xml");
    th::WriteFileBytes(path, th::XmlFile(body + L"\r\n</LIBRARY>"));
    return path;
}

class MenuScreenshotTest : public ::testing::Test {
protected:
    void SetUp() override { th::StartWithEmptySettings(); }
    void TearDown() override { th::StartWithEmptySettings(); }
};

}  // namespace

TEST_F(MenuScreenshotTest, SystemMenuWithEachOptionSubmenu) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    SendMessageW(w, WM_COMMAND, ID_RMS_FIRST + 20, 0);  // a bullet away from the defaults
    HMENU system = GetSystemMenu(w, FALSE);
    // Down-arrow presses that reach each submenu (separators are skipped), then Right opens it.
    const std::vector<std::pair<int, const wchar_t*>> submenus = {
        {2, L"system-menu-device.png"},   {3, L"system-menu-rate.png"},
        {4, L"system-menu-cache.png"},    {5, L"system-menu-volume-adjustment.png"},
        {6, L"system-menu-surround.png"}, {7, L"system-menu-click-removal.png"},
        {8, L"system-menu-interpolation.png"}, {10, L"system-menu-random.png"}};
    std::vector<Shot> shots = {{{}, 1, L"system-menu.png"}};
    for (const auto& [downs, file] : submenus) {
        Shot shot{std::vector<WPARAM>(downs, VK_DOWN), 2, file};
        shot.keys.push_back(VK_RIGHT);
        shots.push_back(shot);
    }
    for (const Shot& shot : shots) {
        Photographer::Start(shot, w);
        TrackPopupMenu(system, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD, 40, 40, 0, w, nullptr);
        th::PumpFor(100);
        EXPECT_TRUE(Photographer::saved) << "no picture for " << std::string(shot.file.begin(), shot.file.end())
                                         << ", menus open: " << Photographer::seenMenus;
    }
}

TEST_F(MenuScreenshotTest, TrayMenuWithFavouritesAndPlaylists) {
    th::TempDir dir;
    CLibrary library(CatalogueFile(dir, 120));
    ASSERT_TRUE(library.Reload(0));
    CPlaylist favourites(CPlaylist::kFavourites);
    for (int k = 1; k <= 120; ++k) favourites.Add(k, true);
    CPlaylists set;
    std::vector<std::unique_ptr<CPlaylist>> owned;
    for (const wchar_t* name : {L"Chip & Bass", L"Evening", L"Party"}) {
        owned.push_back(std::make_unique<CPlaylist>(CPlaylist::kUser));
        for (int k = 10; k < 16; ++k) owned.back()->Add(k, true);
        set.Add(name, owned.back().get());
    }
    settings.volume = 60;
    th::TestParentWindow host;
    COptionsMenu options(&settings, nullptr, nullptr);
    CTrayMenu menu(&options);
    TrayMenuState state;
    state.volume = settings.volume;
    state.library = &library;
    state.favourites = &favourites;
    state.playlists = &set;
    state.audibleSerial = favourites.GetSerialAt(4);
    state.isButtonEnabled = [](UINT id) { return id == ID_PLAY || id == ID_NEXT; };
    state.windowVisible = false;
    state.rows = 40;  // columns within the picture
    // Anchored at the bottom right, where the notification area is.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 20, GetSystemMetrics(SM_CYSCREEN) - 20);

    // The ten option items with submenus or commands come first, then Set volume,
    // Favourites, Playlists.
    std::vector<Shot> real = {{{}, 1, L"tray-menu.png"}};
    auto open = [](int downs, std::vector<WPARAM> more, size_t menus, const wchar_t* file) {
        Shot shot{std::vector<WPARAM>(downs, VK_DOWN), menus, file};
        shot.keys.push_back(VK_RIGHT);
        shot.keys.insert(shot.keys.end(), more.begin(), more.end());
        return shot;
    };
    real.push_back(open(11, {}, 2, L"tray-menu-volume.png"));
    real.push_back(open(12, {}, 2, L"tray-menu-favourites.png"));
    real.push_back(open(13, {VK_DOWN, VK_RIGHT}, 3, L"tray-menu-playlists.png"));
    for (const Shot& shot : real) {
        Photographer::Start(shot, host.Handle());
        menu.ShowTrayMenu(host.Handle(), state);
        th::PumpFor(100);
        EXPECT_TRUE(Photographer::saved) << "no picture for " << std::string(shot.file.begin(), shot.file.end())
                                         << ", menus open: " << Photographer::seenMenus;
    }
}
