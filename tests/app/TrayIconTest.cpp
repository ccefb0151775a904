#include "TestSupport.h"

#include "app/Ids.h"
#include "app/MainWindow.h"
#include "app/TrayIcon.h"

#include <gtest/gtest.h>

#include <string>

TEST(TrayIcon, TipShowsPositionLengthArtistAndTitle) {
    EXPECT_EQ(CTrayIcon::SongTip(65.9, 3725.2, L"Purple Motion", L"Satellite One"),
              L"[1:05/62:05]\nPurple Motion\nSatellite One");
    EXPECT_EQ(CTrayIcon::SongTip(0, 0, L"", L""), L"[0:00/0:00]\n\n");
    // One ampersand of the artist is tripled for the tooltip, so that it shows as one.
    EXPECT_EQ(CTrayIcon::SongTip(1, 2, L"Ann & Bob", L"Fish"), L"[0:01/0:02]\nAnn &&& Bob\nFish");
}

TEST(TrayIcon, TipIsCutAt127CharactersWithoutSplittingACharacter) {
    const std::wstring prefix = L"[0:00/0:00]\n";  // 12 characters
    const std::wstring artist(100, L'a');
    std::wstring tip = CTrayIcon::SongTip(0, 0, artist, std::wstring(40, L't'));
    ASSERT_EQ(tip.size(), 127u);
    EXPECT_EQ(tip, (prefix + artist + L"\n" + std::wstring(40, L't')).substr(0, 127));

    // A surrogate pair across the cut goes as a whole.
    tip = CTrayIcon::SongTip(0, 0, std::wstring(113, L'a'), L"\U0001F3B5");
    EXPECT_EQ(tip, prefix + std::wstring(113, L'a') + L"\n");
    tip = CTrayIcon::SongTip(0, 0, std::wstring(112, L'a'), L"\U0001F3B5");
    EXPECT_EQ(tip.size(), 127u);

    // An escaped ampersand across the cut goes as a whole: the escaping is applied first.
    tip = CTrayIcon::SongTip(0, 0, std::wstring(113, L'a') + L"&", L"");
    EXPECT_EQ(tip, prefix + std::wstring(113, L'a'));
    tip = CTrayIcon::SongTip(0, 0, std::wstring(112, L'a') + L"&", L"");
    EXPECT_EQ(tip, prefix + std::wstring(112, L'a') + L"&&&");
}

TEST(TrayIcon, TheShellIsToldOnlyOfChangedTips) {
    th::TestParentWindow host;
    CTrayIcon icon;
    EXPECT_FALSE(icon.UpdateTrayTip(L"before"));  // not added yet: kept for the icon
    EXPECT_STREQ(icon.Tip(), L"before");
    icon.AddTrayIcon(host.Handle());
    EXPECT_TRUE(icon.IsShown());
    EXPECT_STREQ(icon.Tip(), L"tunehaven 0.2");
    EXPECT_FALSE(icon.UpdateTrayTip(L"tunehaven 0.2"));
    EXPECT_TRUE(icon.UpdateTrayTip(L"[0:01/0:02]\na\nb"));
    EXPECT_FALSE(icon.UpdateTrayTip(L"[0:01/0:02]\na\nb"));
    EXPECT_TRUE(icon.UpdateTrayTip(std::wstring(200, L'x')));
    EXPECT_EQ(std::wstring(icon.Tip()), std::wstring(127, L'x'));
    icon.RemoveTrayIcon();
    EXPECT_FALSE(icon.IsShown());
}

TEST(TrayIcon, SingleClickActsAfterTheDoubleClickTime) {
    CTrayIcon icon;
    EXPECT_FALSE(icon.CountDownClick());
    icon.StartClickCountdown();
    const int ticks = static_cast<int>(GetDoubleClickTime() / 100 + 1);
    for (int i = 1; i < ticks; ++i) EXPECT_FALSE(icon.CountDownClick()) << i;
    EXPECT_TRUE(icon.CountDownClick());
    EXPECT_FALSE(icon.CountDownClick());  // once

    icon.StartClickCountdown();
    icon.CountDownClick();
    icon.CancelClick();  // a double click drops it
    for (int i = 0; i < ticks + 2; ++i) EXPECT_FALSE(icon.CountDownClick());
}

TEST(TrayIcon, RightClickOpensOnlyWhenReleasedWhereItWasPressed) {
    th::TestParentWindow host(300, 200);
    RECT r;
    GetWindowRect(host.Handle(), &r);
    CTrayIcon icon;
    const POINT inside = {r.left + 10, r.top + 10};
    icon.RememberClickRect(inside);
    EXPECT_TRUE(icon.IsInClickRect({r.left + 50, r.top + 50}));
    EXPECT_FALSE(icon.IsInClickRect({r.right + 50, r.bottom + 50}));
}

namespace {

class TrayHubTest : public ::testing::Test {
protected:
    void SetUp() override { th::StartWithEmptySettings(); }
    void TearDown() override { th::StartWithEmptySettings(); }
    static void Tray(HWND window, UINT mouse) {
        SendMessageW(window, WM_APP_TRAY, TRAY_ICON_ID, mouse);
    }
};

}  // namespace

TEST_F(TrayHubTest, DoubleClickHidesAndShowsTheWindow) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    CMainWindow* hub = CMainWindow::FromHandle(w);
    ASSERT_NE(hub, nullptr);
    EXPECT_STREQ(hub->TrayTip(), L"tunehaven 0.2");
    SetWindowPos(w, nullptr, 20, 30, 700, 500, SWP_NOZORDER);

    Tray(w, WM_LBUTTONDOWN);
    Tray(w, WM_LBUTTONUP);
    Tray(w, WM_LBUTTONDBLCLK);
    th::PumpFor(50);
    EXPECT_FALSE(IsWindowVisible(w));
    Tray(w, WM_LBUTTONDBLCLK);
    th::PumpFor(50);
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_FALSE(IsIconic(w));
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 20);
    EXPECT_EQ(r.right - r.left, 700);
    // The ticks keep the idle tooltip while nothing plays.
    th::PumpFor(300);
    EXPECT_STREQ(hub->TrayTip(), L"tunehaven 0.2");
}

TEST_F(TrayHubTest, QuitAndCloseWaitWhileTheTreeIsBuilt) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    HMENU system = GetSystemMenu(w, FALSE);
    PostMessageW(w, WM_APP_LIBRARY_READY, 0, 0);
    th::PumpFor(50);
    EXPECT_TRUE(GetMenuState(system, SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
    SendMessageW(w, WM_COMMAND, ID_QUIT, 0);
    th::PumpFor(200);
    EXPECT_TRUE(main.IsOpen());

    PostMessageW(w, WM_APP_LIBRARY_READY, 1, 0);
    th::PumpFor(50);
    EXPECT_FALSE(GetMenuState(system, SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
    SendMessageW(w, WM_COMMAND, ID_QUIT, 0);
    EXPECT_TRUE(th::PumpUntil([&] { return !main.IsOpen(); }));
}

// Explorer started again and its notification area lost the icon: the icon comes back.
TEST_F(TrayHubTest, TheIconComesBackWhenTheShellRestarts) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    NOTIFYICONDATAW icon = {};
    icon.cbSize = NOTIFYICONDATAW_V3_SIZE;
    icon.hWnd = w;
    icon.uID = TRAY_ICON_ID;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &icon)) << "the icon is there";
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &icon));
    ASSERT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &icon));
    SendMessageW(w, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &icon));
    // Minimising still sends the window to the tray.
    ShowWindow(w, SW_MINIMIZE);
    th::PumpFor(50);
    EXPECT_FALSE(IsWindowVisible(w));
}
