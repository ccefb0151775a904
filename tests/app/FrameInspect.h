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

}  // namespace frametest
