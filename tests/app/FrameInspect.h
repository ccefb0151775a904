#pragma once
// Helpers of the app suite's tests that look at the main window's frame.

#include "app/Ids.h"
#include "app/MainWindow.h"
#include "ui/frame/WndSplit.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <vector>

namespace frametest {

inline HWND Rebar(HWND main) { return GetDlgItem(main, IDC_REBAR); }

// The children of the rebar's bands, left to right: position, toolbar, pan, volume, find.
inline std::vector<HWND> Bands(HWND main) {
    std::vector<HWND> children;
    HWND rebar = Rebar(main);
    int count = static_cast<int>(SendMessageW(rebar, RB_GETBANDCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        REBARBANDINFOW band{};
        band.cbSize = sizeof(band);
        band.fMask = RBBIM_CHILD;
        SendMessageW(rebar, RB_GETBANDINFOW, i, reinterpret_cast<LPARAM>(&band));
        children.push_back(band.hwndChild);
    }
    return children;
}

// A window's rectangle in `parent`'s client coordinates.
inline RECT In(HWND window, HWND parent) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The panes between the rebar and the status bar, edge to edge: each pane from the rebar's
// bottom to the status bar's top, the splitter bar right of the tree and the list right of it
// to the window's right edge.
inline void ExpectPanesEdgeToEdge(HWND main) {
    CWndSplit* split = CMainWindow::FromHandle(main)->GetSplit();
    RECT client{};
    GetClientRect(main, &client);
    RECT rebar = In(Rebar(main), main);
    RECT status = In(GetDlgItem(main, IDC_STATUSBAR), main);
    RECT left = In(split->GetLeftPane(), main);
    RECT bar = In(split->GetBarWindow(), main);
    RECT right = In(split->GetRightPane(), main);
    EXPECT_EQ(rebar.top, 0);
    EXPECT_EQ(rebar.right, client.right);
    EXPECT_EQ(status.bottom, client.bottom);
    EXPECT_EQ(status.right, client.right);
    for (const RECT& pane : {left, bar, right}) {
        EXPECT_EQ(pane.top, rebar.bottom);
        EXPECT_EQ(pane.bottom, status.top);
    }
    EXPECT_EQ(bar.left, left.right);
    EXPECT_EQ(right.left, bar.right);
    EXPECT_EQ(right.right, client.right);
}

// Everything the client area holds, edge to edge, with nothing clipped or overlapping: the
// panes as above, the rebar and the tree from the left edge, a list of some width, each band's
// control inside the rebar and the window, clear of every other band and right of the one
// before it or on a row below it, and the toolbar's buttons whole.
inline void ExpectTidyLayout(HWND main) {
    ExpectPanesEdgeToEdge(main);
    CWndSplit* split = CMainWindow::FromHandle(main)->GetSplit();
    RECT client{};
    GetClientRect(main, &client);
    RECT rebar = In(Rebar(main), main);
    RECT right = In(split->GetRightPane(), main);
    EXPECT_EQ(rebar.left, 0);
    EXPECT_EQ(In(split->GetLeftPane(), main).left, 0);
    EXPECT_GT(right.right - right.left, 0);

    std::vector<RECT> controls;
    int lastRight = 0, lastBottom = 0;
    for (HWND child : Bands(main)) {
        RECT c = In(child, Rebar(main));
        EXPECT_GE(c.top, 0);
        EXPECT_LE(c.bottom, rebar.bottom - rebar.top) << "a band's control is cut off";
        EXPECT_LE(c.right, client.right) << "a band's control leaves the window";
        for (const RECT& other : controls) {
            RECT both{};
            EXPECT_FALSE(IntersectRect(&both, &c, &other)) << "bands overlap";
        }
        // A band is right of the one before it, or on a row below it.
        EXPECT_TRUE(c.left >= lastRight || c.top >= lastBottom) << "bands overlap";
        controls.push_back(c);
        lastRight = c.right;
        lastBottom = c.bottom;
    }
    // The toolbar shows its buttons whole.
    HWND toolbar = Bands(main)[1];
    RECT button{}, area{};
    SendMessageW(toolbar, TB_GETITEMRECT, 4, reinterpret_cast<LPARAM>(&button));
    GetClientRect(toolbar, &area);
    EXPECT_LE(button.bottom, area.bottom) << "the buttons are cut off";
    EXPECT_LE(button.right, area.right) << "the buttons are cut off";
}

}  // namespace frametest
