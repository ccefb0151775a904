#pragma once
// The rebar across the top of the main window. It holds the position trackbar, the toolbar and
// the pan separation and volume trackbars in bands, and hands its children's commands and
// scroll messages on to the main window.

#include "base/Handle.h"
#include "base/Subclass.h"

#include <windows.h>

class CWndRebar {
public:
    CWndRebar() = default;
    virtual ~CWndRebar();
    CWndRebar(const CWndRebar&) = delete;
    CWndRebar& operator=(const CWndRebar&) = delete;

    // Creates the rebar (control id 84) as a child of `parent`. False when it cannot be made.
    bool Create(HINSTANCE instance, HWND parent);
    HWND GetWindow() const { return rebarWindow_; }

    // Appends a fixed band holding `child` at its current size, labelled `label` if given.
    bool AddBand(HWND child, const wchar_t* label);
    // Every band takes its child's present size, after the children were sized for a screen
    // of another scale.
    void FitBands();
    // The band labels in a font for a screen of `dpi` dots per inch. The rebar lays its bands
    // out again, stretching the children: they are sized for the new scale after this, and
    // FitBands comes last.
    void SetDpi(int dpi);

private:
    LRESULT Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnSize(WPARAM wp, LPARAM lp);
    LRESULT OnCommand(WPARAM wp);
    LRESULT OnHScroll(WPARAM wp, LPARAM lp);

    CSubclass subclass_;
    HWND rebarWindow_ = nullptr;
    FontHandle font_;  // null: the rebar's own font
};
