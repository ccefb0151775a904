#pragma once
// Helpers of the app suite's tests that look at the main window's frame.

#include "app/Ids.h"

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

}  // namespace frametest
