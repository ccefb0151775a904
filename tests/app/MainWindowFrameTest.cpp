#include "Screenshot.h"
#include "TestSupport.h"

#include "app/Ids.h"
#include "app/MainWindow.h"
#include "app/Settings.h"
#include "base/Subclass.h"
#include "ui/frame/WndSplit.h"
#include "ui/frame/WndSearchBox.h"
#include "ui/frame/WndToolbar.h"
#include "ui/list/WndList.h"
#include "ui/tree/WndTree.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <vector>

#include "FrameInspect.h"

namespace {

using namespace frametest;

// The main window's frame as a user sees it: the rebar's bands, the panes and the status bar.
class MainWindowFrameTest : public ::testing::Test {
protected:
    void SetUp() override { th::StartWithEmptySettings(); }
    void TearDown() override { th::StartWithEmptySettings(); }

    static void Scroll(HWND main, HWND trackbar, WORD code) {
        SendMessageW(Rebar(main), WM_HSCROLL, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(trackbar));
    }
};

}  // namespace

TEST_F(MainWindowFrameTest, TheFrameIsLaidOutEdgeToEdgeAtEverySize) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    std::vector<HWND> bands = Bands(w);
    ASSERT_EQ(bands.size(), 5u);
    EXPECT_EQ(GetDlgCtrlID(bands[0]), IDC_TRACKBAR);
    EXPECT_EQ(GetDlgCtrlID(bands[1]), IDC_TOOLBAR);
    EXPECT_EQ(GetDlgCtrlID(bands[2]), IDC_TRACKBAR);
    EXPECT_EQ(GetDlgCtrlID(bands[3]), IDC_TRACKBAR);
    EXPECT_EQ(GetDlgCtrlID(bands[4]), IDC_SEARCHBOX);
    EXPECT_EQ(CMainWindow::FromHandle(w)->GetSplit()->GetLeftPaneWidth(), 240);
    ExpectTidyLayout(w);
    EXPECT_TRUE(th::SaveWindowScreenshot(w, th::ScreenshotPath(L"main-stopped-640x480")));

    SetWindowPos(w, nullptr, 0, 0, 610, 400, SWP_NOMOVE | SWP_NOZORDER);
    th::PumpFor(50);
    ExpectTidyLayout(w);
    EXPECT_TRUE(th::SaveWindowScreenshot(w, th::ScreenshotPath(L"main-stopped-610x400")));

    SetWindowPos(w, nullptr, 0, 0, 1000, 700, SWP_NOMOVE | SWP_NOZORDER);
    th::PumpFor(50);
    ExpectTidyLayout(w);
    EXPECT_TRUE(th::SaveWindowScreenshot(w, th::ScreenshotPath(L"main-stopped-1000x700")));

    // Minimised and back: the same layout.
    ShowWindow(w, SW_MINIMIZE);
    th::PumpFor(50);
    ShowWindow(w, SW_RESTORE);
    th::PumpFor(50);
    ExpectTidyLayout(w);
}

TEST_F(MainWindowFrameTest, VolumeAndPanSeparationFollowTheirTrackbars) {
    th::WriteSettingDword(L"volume", 70);
    th::WriteSettingDword(L"panning", 30);
    th::TestMainWindow main;
    HWND w = main.Handle();
    HWND volume = Bands(w)[3], pan = Bands(w)[2];
    EXPECT_EQ(SendMessageW(volume, TBM_GETPOS, 0, 0), 70);
    EXPECT_EQ(SendMessageW(pan, TBM_GETPOS, 0, 0), 30);

    SendMessageW(volume, TBM_SETPOS, TRUE, 40);
    Scroll(w, volume, TB_ENDTRACK);  // never reaches the main window
    EXPECT_EQ(settings.volume, 70u);
    Scroll(w, volume, TB_THUMBPOSITION);
    EXPECT_EQ(settings.volume, 40u);
    SendMessageW(pan, TBM_SETPOS, TRUE, 90);
    Scroll(w, pan, TB_PAGEDOWN);
    EXPECT_EQ(settings.panning, 90);
    EXPECT_EQ(settings.volume, 40u);

    // A right click puts the value in the middle, whatever its default.
    SendMessageW(volume, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 3));
    EXPECT_EQ(settings.volume, 50u);
    EXPECT_EQ(settings.panning, 90);
    SendMessageW(pan, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 3));
    EXPECT_EQ(settings.panning, 50);

    // The volume commands of the menus move the trackbar.
    SendMessageW(w, WM_COMMAND, ID_VOLUME_FIRST + 3, 0);
    EXPECT_EQ(SendMessageW(volume, TBM_GETPOS, 0, 0), 30);

    ASSERT_TRUE(main.Close());
    DWORD saved = 0;
    th::ReadSettingDword(L"volume", &saved);
    EXPECT_EQ(saved, 30u);
    th::ReadSettingDword(L"panning", &saved);
    EXPECT_EQ(saved, 50u);
}

TEST_F(MainWindowFrameTest, TheTreePaneWidthIsKeptBetweenRuns) {
    th::WriteSettingDword(L"treesize", 300);
    {
        th::TestMainWindow main;
        CWndSplit* split = CMainWindow::FromHandle(main.Handle())->GetSplit();
        EXPECT_EQ(split->GetLeftPaneWidth(), 300);
        split->Drag(-120);
        ASSERT_TRUE(main.Close());
    }
    DWORD saved = 0;
    th::ReadSettingDword(L"treesize", &saved);
    EXPECT_EQ(saved, 180u);

    // Too narrow a stored width starts the tree at half the window.
    th::WriteSettingDword(L"treesize", 30);
    th::WriteSettingDword(L"width", 800);
    th::TestMainWindow main;
    RECT client{};
    GetClientRect(main.Handle(), &client);
    CWndSplit* split = CMainWindow::FromHandle(main.Handle())->GetSplit();
    EXPECT_EQ(split->GetLeftPaneWidth(), (client.right - split->GetBarWidth()) / 2);
}

TEST_F(MainWindowFrameTest, TransportButtonsStartDisabledAndTrackbarsGetTheirFrame) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    CWndToolbar* toolbar = CMainWindow::FromHandle(w)->GetToolbar();
    for (UINT id : {ID_PLAY, ID_STOP, ID_PREVIOUS, ID_NEXT, ID_ADD_FAVOURITES})
        EXPECT_FALSE(toolbar->IsButtonEnabled(id)) << id;
    // The position trackbar stands for no song yet.
    EXPECT_FALSE(IsWindowEnabled(Bands(w)[0]));

    NMCUSTOMDRAW draw{};
    draw.hdr.hwndFrom = Bands(w)[3];
    draw.hdr.idFrom = IDC_TRACKBAR;
    draw.hdr.code = NM_CUSTOMDRAW;
    draw.dwDrawStage = CDDS_PREPAINT;
    EXPECT_EQ(SendMessageW(w, WM_NOTIFY, IDC_TRACKBAR, reinterpret_cast<LPARAM>(&draw)),
              CDRF_NOTIFYPOSTPAINT);

    // A focused trackbar draws a dotted focus rectangle over its edge, which the frame covers.
    HWND volume = Bands(w)[3];
    SetFocus(volume);
    RedrawWindow(volume, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(volume);
    RECT client{};
    GetClientRect(volume, &client);
    const COLORREF face = GetNearestColor(dc, GetSysColor(COLOR_BTNFACE));
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(GetPixel(dc, x, 0), face) << x;
        EXPECT_EQ(GetPixel(dc, x, client.bottom - 1), face) << x;
    }
    ReleaseDC(volume, dc);

    // A toolbar click reaches the main window as the button's command.
    SendMessageW(Rebar(w), WM_COMMAND, ID_RANDOM_LIBRARY, 0);
    EXPECT_EQ(settings.random, 2u);
}

TEST_F(MainWindowFrameTest, ControlFMovesTheFocusToTheFindBox) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    HWND box = Bands(w).back();
    ASSERT_EQ(GetDlgCtrlID(box), IDC_SEARCHBOX);
    SetFocus(w);
    MSG plainF{w, WM_KEYDOWN, 'F', 1, 0, {}};
    EXPECT_FALSE(CMainWindow::FromHandle(w)->TranslateShortcut(&plainF));

    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    MSG controlF{w, WM_KEYDOWN, 'F', 1, 0, {}};
    EXPECT_TRUE(CMainWindow::FromHandle(w)->TranslateShortcut(&controlF));
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(box, GetFocus());
}

// F6 and Tab go round the find box, the tree and the list (Shift goes back), and the trackbars
// and the find box carry names that a screen reader reads.
TEST_F(MainWindowFrameTest, KeysGoRoundThePanesAndTheControlsHaveNames) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    CMainWindow* hub = CMainWindow::FromHandle(w);
    const HWND find = hub->GetSearchBox()->GetWindow();
    const HWND tree = hub->GetTree()->GetControl();
    const HWND list = hub->GetList()->GetWindow();
    SetForegroundWindow(w);
    SetFocus(list);
    ASSERT_EQ(GetFocus(), list);
    for (HWND expected : {find, tree, list, find}) {
        EXPECT_TRUE(th::PressShortcut(w, VK_F6));
        EXPECT_EQ(GetFocus(), expected);
    }
    EXPECT_TRUE(th::PressShortcut(w, VK_F6, VK_SHIFT));
    EXPECT_EQ(GetFocus(), list);
    EXPECT_TRUE(th::PressShortcut(w, VK_TAB, VK_SHIFT));
    EXPECT_EQ(GetFocus(), tree);
    EXPECT_TRUE(th::PressShortcut(w, VK_TAB));
    EXPECT_EQ(GetFocus(), list);

    wchar_t name[64] = {};
    std::vector<HWND> bands = Bands(w);
    std::vector<std::wstring> names;
    for (HWND band : bands) {
        wchar_t cls[64] = {};
        GetClassNameW(band, cls, 64);
        if (std::wstring(cls) != TRACKBAR_CLASSW) continue;
        GetWindowTextW(band, name, 64);
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Position", L"Pan separation", L"Volume"}));
}
