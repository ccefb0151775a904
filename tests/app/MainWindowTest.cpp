#include "TestSupport.h"

#include "app/Globals.h"
#include "app/Ids.h"
#include "app/MainWindow.h"
#include "app/OptionsMenu.h"
#include "app/Settings.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { th::StartWithEmptySettings(); }
    void TearDown() override { th::StartWithEmptySettings(); }

    static void Command(HWND window, WPARAM id, UINT msg = WM_COMMAND) {
        SendMessageW(window, msg, id, 0);
    }
    static DWORD Saved(const wchar_t* name) {
        DWORD value = 0xDEADBEEF;
        th::ReadSettingDword(name, &value);
        return value;
    }
    static RECT Sizing(HWND window, UINT edge, RECT r) {
        EXPECT_EQ(SendMessageW(window, WM_SIZING, edge, reinterpret_cast<LPARAM>(&r)), TRUE);
        return r;
    }
};

std::wstring TitleOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

}  // namespace

// Found by argument lookup from gtest's comparisons, so at the namespace of RECT.
static bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
[[maybe_unused]] static void PrintTo(const RECT& r, std::ostream* os) {
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

TEST_F(MainWindowTest, FirstRunOpensAtTopLeftWithDefaultSizeAndIdleTitle) {
    th::TestMainWindow main;
    ASSERT_TRUE(main.IsOpen());
    EXPECT_EQ(mainWindow, main.Handle());
    RECT r;
    GetWindowRect(main.Handle(), &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right - r.left, 640);
    EXPECT_EQ(r.bottom - r.top, 480);
    EXPECT_EQ(TitleOf(main.Handle()), L"tunehaven 0.2");
    EXPECT_TRUE(IsWindowVisible(main.Handle()));
    wchar_t name[32];
    GetClassNameW(main.Handle(), name, 32);
    EXPECT_STREQ(name, L"tunehaven");
    EXPECT_EQ(FindWindowW(L"tunehaven", nullptr), main.Handle());
}

TEST_F(MainWindowTest, TitlesAreCutTo127Characters) {
    EXPECT_EQ(IdleTitle(), L"tunehaven 0.2");
    EXPECT_EQ(SongTitle(L"Purple Motion", L"Satellite One"), L"Purple Motion - Satellite One");
    std::wstring artist(100, L'a'), title(100, L't');
    std::wstring cut = SongTitle(artist, title);
    ASSERT_EQ(cut.size(), 127u);
    EXPECT_EQ(cut, (artist + L" - " + title).substr(0, 127));

    // A character outside the basic plane that would be split by the cut is left out whole.
    std::wstring longArtist(123, L'a');
    std::wstring split = SongTitle(longArtist, L"\U0001F3B5x");  // 126 units before the pair
    EXPECT_EQ(split, longArtist + L" - ");
    std::wstring fits = SongTitle(std::wstring(122, L'a'), L"\U0001F3B5x");
    EXPECT_EQ(fits.size(), 127u);
    EXPECT_EQ(fits.substr(125), L"\U0001F3B5");
}

TEST_F(MainWindowTest, OpensMaximisedWhenClosedMaximisedWhateverTheShowCommand) {
    th::WriteSettingDword(L"maximize", 1);
    th::WriteSettingDword(L"xpos", 40);
    th::WriteSettingDword(L"width", 700);
    th::TestMainWindow main(SW_SHOWNORMAL);
    EXPECT_TRUE(IsZoomed(main.Handle()));
    ASSERT_TRUE(main.Close());
    EXPECT_EQ(Saved(L"maximize"), 1u);
    EXPECT_EQ(Saved(L"xpos"), 40u);  // the restored rectangle is kept
    EXPECT_EQ(Saved(L"width"), 700u);
}

TEST_F(MainWindowTest, SizingBelowMinimumMovesTheDraggedEdge) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    const RECT small = {100, 100, 300, 200};
    EXPECT_EQ(Sizing(w, WMSZ_RIGHT, small), (RECT{100, 100, 710, 500}));
    EXPECT_EQ(Sizing(w, WMSZ_LEFT, small), (RECT{-310, 100, 300, 500}));
    EXPECT_EQ(Sizing(w, WMSZ_TOP, small), (RECT{100, -200, 710, 200}));
    EXPECT_EQ(Sizing(w, WMSZ_TOPLEFT, small), (RECT{-310, -200, 300, 200}));
    EXPECT_EQ(Sizing(w, WMSZ_TOPRIGHT, small), (RECT{100, -200, 710, 200}));
    EXPECT_EQ(Sizing(w, WMSZ_BOTTOMLEFT, small), (RECT{-310, 100, 300, 500}));
    EXPECT_EQ(Sizing(w, WMSZ_BOTTOMRIGHT, small), (RECT{100, 100, 710, 500}));
    EXPECT_EQ(Sizing(w, WMSZ_BOTTOM, small), (RECT{100, 100, 710, 500}));
    const RECT wide = {0, 0, 800, 100};  // only the height is short
    EXPECT_EQ(Sizing(w, WMSZ_TOP, wide), (RECT{0, -300, 800, 100}));
    const RECT big = {10, 20, 630, 420};  // at least the minimum: unchanged
    EXPECT_EQ(Sizing(w, WMSZ_LEFT, big), big);
}

TEST_F(MainWindowTest, MinimisingHidesAndShowRestoresTheRestoredSize) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    SetWindowPos(w, nullptr, 30, 40, 720, 530, SWP_NOZORDER);
    ShowWindow(w, SW_MINIMIZE);
    th::PumpFor(50);
    // Minimised to the tray: no taskbar button, the tray icon is the way back.
    EXPECT_FALSE(IsWindowVisible(w));
    EXPECT_TRUE(IsIconic(w));

    Command(w, ID_SHOW);
    th::PumpFor(50);
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_FALSE(IsIconic(w));
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r, (RECT{30, 40, 750, 570}));

    Command(w, ID_HIDE);
    th::PumpFor(50);
    EXPECT_TRUE(IsIconic(w));
    EXPECT_FALSE(IsWindowVisible(w));
    ASSERT_TRUE(main.Close());
    EXPECT_EQ(Saved(L"maximize"), 0u);  // closed from the tray
    EXPECT_EQ(Saved(L"xpos"), 30u);
    EXPECT_EQ(Saved(L"height"), 530u);
}

TEST_F(MainWindowTest, CloseSavesMaximizeAndTheLastRestoredRectangle) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    SetWindowPos(w, nullptr, 100, 50, 700, 500, SWP_NOZORDER);
    SetWindowPos(w, nullptr, 120, 60, 800, 600, SWP_NOZORDER);
    // Maximised from hidden: Wine without a window manager may undo the maximising of a
    // window that is already mapped.
    ShowWindow(w, SW_HIDE);
    ShowWindow(w, SW_MAXIMIZE);
    th::PumpFor(50);
    ASSERT_TRUE(IsZoomed(w));
    EXPECT_FALSE(th::SettingExists(L"maximize"));  // nothing is written while running
    ASSERT_TRUE(main.Close());
    EXPECT_EQ(mainWindow, nullptr);
    EXPECT_EQ(Saved(L"maximize"), 1u);
    EXPECT_EQ(Saved(L"xpos"), 120u);
    EXPECT_EQ(Saved(L"ypos"), 60u);
    EXPECT_EQ(Saved(L"width"), 800u);
    EXPECT_EQ(Saved(L"height"), 600u);
    EXPECT_EQ(Saved(L"volume"), 100u);
    EXPECT_EQ(Saved(L"flags"), 0x400u);
}

TEST_F(MainWindowTest, MovingWithoutResizingIsRememberedToo) {
    th::TestMainWindow main;
    SetWindowPos(main.Handle(), nullptr, 210, 130, 0, 0, SWP_NOZORDER | SWP_NOSIZE);
    th::PumpFor(50);
    ShowWindow(main.Handle(), SW_MINIMIZE);  // the icon's place is not the window's
    th::PumpFor(50);
    ASSERT_TRUE(main.Close());
    EXPECT_EQ(Saved(L"xpos"), 210u);
    EXPECT_EQ(Saved(L"ypos"), 130u);
    EXPECT_EQ(Saved(L"width"), 640u);
    EXPECT_EQ(Saved(L"height"), 480u);
}

// A log-off or shutdown sends no WM_CLOSE: the session's settings are saved all the same.
TEST_F(MainWindowTest, EndOfTheSessionSavesTheSettings) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    SetWindowPos(w, nullptr, 90, 70, 700, 500, SWP_NOZORDER);
    SendMessageW(w, WM_COMMAND, ID_FADE_LOOPED, 0);
    EXPECT_TRUE(SendMessageW(w, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF)) << "the session may end";
    SendMessageW(w, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);  // it did not after all
    EXPECT_FALSE(th::SettingExists(L"xpos"));
    SendMessageW(w, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(Saved(L"xpos"), 90u);
    EXPECT_EQ(Saved(L"width"), 700u);
    EXPECT_EQ(Saved(L"flags"), 0x404u);
    th::PumpUntil([&] { return !main.IsOpen(); });
}

// A place saved on a monitor that is gone, or a size below the minimum, opens on the screen
// and at the minimum size at least.
TEST_F(MainWindowTest, ASavedPlaceOffEveryMonitorOpensOnTheNearestOne) {
    RECT screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    for (RECT saved : {RECT{screen.right + 500, 100, screen.right + 1140, 580},
                       RECT{-3000, -2000, -2360, -1520}, RECT{40, 30, 140, 80}}) {
        th::WriteSettingDword(L"xpos", DWORD(saved.left));
        th::WriteSettingDword(L"ypos", DWORD(saved.top));
        th::WriteSettingDword(L"width", DWORD(saved.right - saved.left));
        th::WriteSettingDword(L"height", DWORD(saved.bottom - saved.top));
        th::TestMainWindow main;
        RECT r, common;
        GetWindowRect(main.Handle(), &r);
        EXPECT_TRUE(IntersectRect(&common, &r, &screen) && EqualRect(&common, &r)) << r.left << "," << r.top;
        EXPECT_GE(r.right - r.left, kMinWindowWidth);
        EXPECT_GE(r.bottom - r.top, kMinWindowHeight);
        ASSERT_TRUE(main.Close());
    }
}

TEST_F(MainWindowTest, QuitCommandClosesTheWindow) {
    th::TestMainWindow main;
    Command(main.Handle(), ID_QUIT);
    EXPECT_TRUE(main.IsOpen());  // posted: closes from the message loop
    EXPECT_TRUE(th::PumpUntil([&] { return !main.IsOpen(); }));
    EXPECT_EQ(Saved(L"cache"), 2u);
}

TEST_F(MainWindowTest, OptionCommandsKeepOneChoicePerGroup) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    EXPECT_EQ(settings.flags, FLAG_RAMPS);

    Command(w, ID_RAMP_NORMAL);
    EXPECT_EQ(settings.flags, FLAG_RAMP);
    Command(w, ID_RAMP_OFF, WM_SYSCOMMAND);  // the system menu reaches the same handler
    EXPECT_EQ(settings.flags, 0u);
    Command(w, ID_RAMP_SENSITIVE);

    Command(w, ID_SURROUND_MODE1);
    Command(w, ID_SURROUND_MODE2);
    EXPECT_EQ(settings.flags, FLAG_RAMPS | FLAG_SURROUND2);
    Command(w, ID_SURROUND_OFF);
    EXPECT_EQ(settings.flags, FLAG_RAMPS);

    Command(w, ID_INTERP_OFF);
    Command(w, ID_INTERP_SINC);
    EXPECT_EQ(settings.flags, FLAG_RAMPS | FLAG_SINCINTER);
    Command(w, ID_INTERP_LINEAR);
    EXPECT_EQ(settings.flags, FLAG_RAMPS);

    Command(w, ID_FADE_LOOPED);
    EXPECT_EQ(settings.flags, FLAG_RAMPS | FLAG_FADE_LOOPED);
    Command(w, ID_FADE_LOOPED);
    EXPECT_EQ(settings.flags, FLAG_RAMPS);

    // Volume adjustment: peak and RMS exclude each other; the level stays when switched off.
    Command(w, ID_VOLADJUST_PEAK);
    Command(w, ID_RMS_FIRST + 20);
    EXPECT_EQ(settings.flags, FLAG_RAMPS | FLAG_SCALE_RMS | (20u << 24));
    Command(w, ID_RMS_FIRST + 15);
    EXPECT_EQ(settings.flags, FLAG_RAMPS | FLAG_SCALE_RMS | (15u << 24));
    Command(w, ID_VOLADJUST_PEAK);
    EXPECT_EQ(settings.flags, FLAG_RAMPS | FLAG_SCALE_PEAK | (15u << 24));
    Command(w, ID_VOLADJUST_OFF);
    EXPECT_EQ(settings.flags, FLAG_RAMPS | (15u << 24));

    ASSERT_TRUE(main.Close());
    EXPECT_EQ(Saved(L"flags"), FLAG_RAMPS | (15u << 24));
}

TEST_F(MainWindowTest, RangeCommandsStoreTheirValues) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    Command(w, ID_VOLUME_FIRST + 7);
    EXPECT_EQ(settings.volume, 70u);
    Command(w, ID_VOLUME_FIRST + 10);
    EXPECT_EQ(settings.volume, 100u);
    Command(w, ID_VOLUME_LAST);  // never more than full volume
    EXPECT_EQ(settings.volume, 100u);
    Command(w, ID_VOLUME_FIRST);
    EXPECT_EQ(settings.volume, 0u);

    Command(w, ID_CACHE_FIRST + 3);
    EXPECT_EQ(settings.cache, 3u);
    EXPECT_EQ(settings.cacheLimit.load(), 1024u);
    Command(w, ID_CACHE_FIRST + 9);  // no such size: the default
    EXPECT_EQ(settings.cache, 2u);
    EXPECT_EQ(settings.cacheLimit.load(), 500u);

    Command(w, ID_DEVICE_FIRST);
    EXPECT_EQ(settings.device, 0u);
    Command(w, ID_RATE_FIRST + 1);
    EXPECT_EQ(settings.freq, 1u);
    // A device the machine does not have: the output falls back to the default device at
    // 48000 Hz and the settings say so.
    Command(w, ID_DEVICE_FIRST + 400);
    EXPECT_EQ(settings.device, 0u);
    EXPECT_EQ(settings.freq, 2u);
    Command(w, ID_RATE_FIRST + 1);

    Command(w, ID_RANDOM_LIBRARY);
    EXPECT_EQ(settings.random, 2u);
    Command(w, ID_RANDOM_PLAYLIST, WM_SYSCOMMAND);
    EXPECT_EQ(settings.random, 1u);

    // Ids that mean nothing and the system's own commands change no setting.
    const DWORD flags = settings.flags;
    for (WPARAM id : {WPARAM{2}, WPARAM{6}, WPARAM{19}, WPARAM{(EN_CHANGE << 16) | ID_RANDOM_OFF}})
        Command(w, id);
    SendMessageW(w, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_EQ(settings.flags, flags);
    EXPECT_EQ(settings.random, 1u);
    EXPECT_TRUE(main.IsOpen());

    // An accelerator carries code 1 in the high word: it is the same command.
    Command(w, (1 << 16) | ID_RANDOM_LIBRARY);
    EXPECT_EQ(settings.random, 2u);
    Command(w, ID_RANDOM_PLAYLIST);

    ASSERT_TRUE(main.Close());
    EXPECT_EQ(Saved(L"volume"), 0u);
    EXPECT_EQ(Saved(L"freq"), 1u);
    EXPECT_EQ(Saved(L"device"), 0u);
    EXPECT_EQ(Saved(L"random"), 1u);
}

namespace {

// The one checked item of a submenu of the system menu, by its text.
std::wstring SystemChecked(HWND window, int position) {
    HMENU sub = GetSubMenu(GetSystemMenu(window, FALSE), position);
    std::wstring found;
    for (int i = 0; sub && i < GetMenuItemCount(sub); ++i) {
        if (!(GetMenuState(sub, i, MF_BYPOSITION) & MF_CHECKED)) continue;
        wchar_t text[64] = {};
        GetMenuStringW(sub, i, text, 64, MF_BYPOSITION);
        found += (found.empty() ? L"" : L"|") + std::wstring(text);
    }
    return found;
}

}  // namespace

TEST_F(MainWindowTest, SystemMenuOffersTheOptionsAboveItsOwnItems) {
    th::TestMainWindow main;
    HMENU system = GetSystemMenu(main.Handle(), FALSE);
    wchar_t text[64] = {};
    GetMenuStringW(system, 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"About tunehaven");
    GetMenuStringW(system, kOptionRandom, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"Random play");
    // The system's own items follow, Close among them.
    EXPECT_GT(GetMenuItemCount(system), kOptionCount);
    EXPECT_NE(GetMenuState(system, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_EQ(SystemChecked(main.Handle(), kOptionClickRemoval), L"Sensitive");
}

TEST_F(MainWindowTest, OptionCommandsMoveTheSystemMenusChecks) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    Command(w, ID_VOLADJUST_PEAK, WM_SYSCOMMAND);
    EXPECT_EQ(SystemChecked(w, kOptionVolumeAdjust), L"Scale to peak");
    Command(w, ID_RMS_FIRST + 20, WM_SYSCOMMAND);
    EXPECT_EQ(SystemChecked(w, kOptionVolumeAdjust), L"Scale to -20 dB RMS");
    Command(w, ID_VOLADJUST_OFF, WM_SYSCOMMAND);
    EXPECT_EQ(SystemChecked(w, kOptionVolumeAdjust), L"Off");
    EXPECT_EQ(settings.flags & FLAG_RMS_MASK, 20u << 24);  // the level stays, unmarked

    Command(w, ID_INTERP_OFF);
    EXPECT_EQ(SystemChecked(w, kOptionInterpolation), L"Off");
    Command(w, ID_INTERP_SINC);
    EXPECT_EQ(SystemChecked(w, kOptionInterpolation), L"Sinc");
    Command(w, ID_SURROUND_MODE1);
    EXPECT_EQ(SystemChecked(w, kOptionSurround), L"Mode 1");
    Command(w, ID_RAMP_OFF);
    EXPECT_EQ(SystemChecked(w, kOptionClickRemoval), L"Off");
    Command(w, ID_CACHE_FIRST);
    EXPECT_EQ(SystemChecked(w, kOptionCache), L"100 Mb");
    Command(w, ID_RATE_FIRST + 1);
    EXPECT_EQ(SystemChecked(w, kOptionRate), L"44100 Hz");
    Command(w, ID_RANDOM_PLAYLIST, WM_SYSCOMMAND);
    EXPECT_EQ(SystemChecked(w, kOptionRandom), L"Current playlist");

    HMENU system = GetSystemMenu(w, FALSE);
    Command(w, ID_FADE_LOOPED);
    EXPECT_TRUE(GetMenuState(system, ID_FADE_LOOPED, MF_BYCOMMAND) & MF_CHECKED);
    Command(w, ID_FADE_LOOPED);
    EXPECT_FALSE(GetMenuState(system, ID_FADE_LOOPED, MF_BYCOMMAND) & MF_CHECKED);
}
