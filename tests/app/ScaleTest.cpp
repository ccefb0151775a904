#include "Screenshot.h"
#include "TestSupport.h"

#include "app/Ids.h"
#include "app/MainWindow.h"
#include "base/Dpi.h"
#include "ui/frame/WndSplit.h"
#include "ui/frame/WndStatus.h"
#include "ui/tree/WndTree.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

// The main window on screens of 96, 144 and 192 dots per inch. ctest runs these tests once in
// the prefix as it is and once at each larger scale (the prefix's LogPixels set before the
// process starts, TH_TEST_DPI saying which), and a DPI change message moves the window between
// scales within one run.

#include "FrameInspect.h"

namespace {

using namespace frametest;

// The program declares itself aware of each monitor's scale in its manifest; the test
// executable has none and says so before any window exists.
const bool kAware = [] {
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto set = reinterpret_cast<SetContextFn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    return set && set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));
}();

class ScaleTest : public ::testing::Test {
protected:
    void SetUp() override { th::StartWithEmptySettings(); }
    void TearDown() override { th::StartWithEmptySettings(); }

    static SIZE IconSize(HIMAGELIST list) {
        int cx = 0, cy = 0;
        ImageList_GetIconSize(list, &cx, &cy);
        return SIZE{cx, cy};
    }

    // The sizes fixed at 96 DPI, at `dpi`.
    static void ExpectScaled(HWND main, int dpi) {
        CMainWindow* hub = CMainWindow::FromHandle(main);
        const int face = ScaleForDpi(24, dpi);
        HWND toolbar = Bands(main)[1];
        auto images = reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETIMAGELIST, 0, 0));
        auto disabled = reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar, TB_GETDISABLEDIMAGELIST, 0, 0));
        EXPECT_EQ(IconSize(images).cx, face);
        EXPECT_EQ(IconSize(disabled).cy, face);
        RECT button{};
        SendMessageW(toolbar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button));
        EXPECT_GE(button.right - button.left, face);
        EXPECT_GE(button.bottom - button.top, face);

        HWND tree = hub->GetTree()->GetControl();
        auto icons = reinterpret_cast<HIMAGELIST>(SendMessageW(tree, TVM_GETIMAGELIST, TVSIL_NORMAL, 0));
        EXPECT_EQ(IconSize(icons).cx, ScaleForDpi(16, dpi));
        EXPECT_GE(SendMessageW(tree, TVM_GETITEMHEIGHT, 0, 0), ScaleForDpi(16, dpi));

        RECT position = In(Bands(main)[0], Rebar(main));
        EXPECT_GE(position.right - position.left, ScaleForDpi(127, dpi));
        EXPECT_GE(position.bottom - position.top, ScaleForDpi(26, dpi));

        CWndSplit* split = hub->GetSplit();
        EXPECT_EQ(split->GetBarWidth(), SystemMetricForDpi(SM_CXDLGFRAME, dpi));
        EXPECT_EQ(split->GetMinPaneWidth(), ScaleForDpi(50, dpi));

        HWND status = GetDlgItem(main, IDC_STATUSBAR);
        RECT client{};
        GetClientRect(status, &client);
        int parts[3] = {};
        ASSERT_EQ(SendMessageW(status, SB_GETPARTS, 3, reinterpret_cast<LPARAM>(parts)), 3);
        EXPECT_EQ(parts[0], client.right - ScaleForDpi(310, dpi));
        EXPECT_EQ(parts[1], client.right - ScaleForDpi(220, dpi));
        HWND progress = FindWindowExW(status, nullptr, PROGRESS_CLASSW, nullptr);
        RECT bar = In(progress, status);
        EXPECT_EQ(bar.right - bar.left, ScaleForDpi(100, dpi));
    }

    // The status bar's texts at their longest fit their parts, and the progress bar stays in
    // the message part.
    static void ExpectStatusTextsFit(HWND main) {
        HWND status = GetDlgItem(main, IDC_STATUSBAR);
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(status, WM_GETFONT, 0, 0));
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
        HFONT own = font ? nullptr : CreateFontIndirectW(&metrics.lfStatusFont);
        HDC dc = GetDC(status);
        HGDIOBJ old = SelectObject(dc, font ? font : own);
        const wchar_t* longest[] = {L"", L"59:59 / 59:59 ", L" 9999 songs (999.99Mb) : 99h 59m 59s"};
        for (int part = 1; part <= 2; ++part) {
            RECT r{};
            SendMessageW(status, SB_GETRECT, part, reinterpret_cast<LPARAM>(&r));
            SIZE text{};
            GetTextExtentPoint32W(dc, longest[part], static_cast<int>(wcslen(longest[part])), &text);
            EXPECT_LE(text.cx, r.right - r.left) << "part " << part;
            EXPECT_LE(text.cy, r.bottom - r.top) << "part " << part;
        }
        SelectObject(dc, old);
        ReleaseDC(status, dc);
        if (own) DeleteObject(own);

        RECT message{};
        SendMessageW(status, SB_GETRECT, 0, reinterpret_cast<LPARAM>(&message));
        RECT bar = In(FindWindowExW(status, nullptr, PROGRESS_CLASSW, nullptr), status);
        EXPECT_GE(bar.left, message.left);
        EXPECT_LE(bar.right, message.right);
        EXPECT_LE(bar.bottom, message.bottom);
        EXPECT_GT(bar.bottom, bar.top);
    }

    static std::wstring Shot(const wchar_t* what, int dpi) {
        return th::ScreenshotPath(std::wstring(L"scale-") + std::to_wstring(dpi) + L"-" + what);
    }
};

// The scale the wrapper set for this run, or 0 when the run is not one of its.
int RunScale() {
    std::wstring value = th::Env(L"TH_TEST_DPI");
    return value.empty() ? 0 : _wtoi(value.c_str());
}

}  // namespace

TEST_F(ScaleTest, TheFrameGrowsWithTheScreensScale) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    const int dpi = WindowDpi(w);
    if (int expected = RunScale()) {
        ASSERT_EQ(dpi, expected) << "the prefix's scale did not reach the program";
    }

    // The first window and the tree pane take as much of the screen at every scale.
    RECT r{};
    GetWindowRect(w, &r);
    EXPECT_EQ(r.right - r.left, ScaleForDpi(640, dpi));
    EXPECT_EQ(r.bottom - r.top, ScaleForDpi(480, dpi));
    EXPECT_EQ(CMainWindow::FromHandle(w)->GetSplit()->GetLeftPaneWidth(), ScaleForDpi(240, dpi));
    ExpectScaled(w, dpi);
    ExpectTidyLayout(w);
    ExpectStatusTextsFit(w);
    EXPECT_TRUE(th::SaveWindowScreenshot(w, Shot(L"first", dpi)));

    // The smallest window the user can make still holds everything.
    MINMAXINFO limits{};
    SendMessageW(w, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, ScaleForDpi(kMinWindowWidth, dpi));
    EXPECT_EQ(limits.ptMinTrackSize.y, ScaleForDpi(kMinWindowHeight, dpi));
    RECT dragged{100, 100, 101, 101};
    SendMessageW(w, WM_SIZING, WMSZ_BOTTOMRIGHT, reinterpret_cast<LPARAM>(&dragged));
    EXPECT_EQ(dragged.right - dragged.left, ScaleForDpi(kMinWindowWidth, dpi));
    EXPECT_EQ(dragged.bottom - dragged.top, ScaleForDpi(kMinWindowHeight, dpi));
    SetWindowPos(w, nullptr, 0, 0, dragged.right - dragged.left, dragged.bottom - dragged.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    th::PumpFor(50);
    ExpectTidyLayout(w);
    ExpectStatusTextsFit(w);
    EXPECT_TRUE(th::SaveWindowScreenshot(w, Shot(L"smallest", dpi)));
}

// A window dragged to a monitor of another scale: it takes the suggested rectangle and every
// part of the frame its size at the new scale; back on the first monitor all is as before.
TEST_F(ScaleTest, ADpiChangeLaysTheFrameOutAgain) {
    th::TestMainWindow main;
    HWND w = main.Handle();
    const int dpi = WindowDpi(w);
    const int other = dpi >= 192 ? 96 : 192;
    RECT before{};
    GetWindowRect(w, &before);
    const int toolbarWidth = static_cast<int>(In(Bands(w)[1], w).right - In(Bands(w)[1], w).left);
    const int treeWidth = CMainWindow::FromHandle(w)->GetSplit()->GetLeftPaneWidth();
    const LRESULT rows = SendMessageW(Rebar(w), RB_GETROWCOUNT, 0, 0);

    RECT suggested{0, 0, MulDiv(before.right - before.left, other, dpi),
                   MulDiv(before.bottom - before.top, other, dpi)};
    SendMessageW(w, WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&suggested));
    th::PumpFor(50);
    RECT now{};
    GetWindowRect(w, &now);
    EXPECT_TRUE(EqualRect(&now, &suggested));
    ExpectScaled(w, other);
    ExpectTidyLayout(w);
    ExpectStatusTextsFit(w);
    // The band labels take the new scale too: the bands keep their rows.
    EXPECT_EQ(SendMessageW(Rebar(w), RB_GETROWCOUNT, 0, 0), rows);
    EXPECT_NEAR(CMainWindow::FromHandle(w)->GetSplit()->GetLeftPaneWidth(), MulDiv(treeWidth, other, dpi), 1);
    EXPECT_TRUE(th::SaveWindowScreenshot(w, Shot(L"moved", other)));

    SendMessageW(w, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&before));
    th::PumpFor(50);
    ExpectScaled(w, dpi);
    ExpectTidyLayout(w);
    ExpectStatusTextsFit(w);
    EXPECT_EQ(In(Bands(w)[1], w).right - In(Bands(w)[1], w).left, toolbarWidth);
    EXPECT_NEAR(CMainWindow::FromHandle(w)->GetSplit()->GetLeftPaneWidth(), treeWidth, 1);
}
