#pragma once
// The find box: an edit control in the rebar, after the trackbars, where the user types words
// to find in the library. Its text changes reach the main window as the rebar forwards them
// (WM_COMMAND with EN_CHANGE and the box's id); the keys that end a search are turned into
// commands for the main window: Escape empties the box and sends ID_FIND_CLEAR, Enter sends
// ID_FIND_NOW. The main window decides what a search shows.
//
// Everything here runs on the window thread.

#include "base/Handle.h"
#include "base/Subclass.h"

#include <windows.h>

#include <string>

class CWndSearchBox {
public:
    // Creates the edit control (control id IDC_SEARCHBOX) as a child of parent (the rebar),
    // sized for about twenty characters; owner (the main window) receives its commands.
    // GetWindow() is null when the control could not be created.
    CWndSearchBox(HINSTANCE instance, HWND parent, HWND owner);
    virtual ~CWndSearchBox();
    CWndSearchBox(const CWndSearchBox&) = delete;
    CWndSearchBox& operator=(const CWndSearchBox&) = delete;

    HWND GetWindow() const { return edit_; }
    // Sets the box's font and size for a screen of `dpi` dots per inch (the constructor does
    // so for its parent's screen).
    void SetDpi(int dpi);
    std::wstring GetText() const;
    // Empties the box (the edit control reports the change as usual).
    void Clear();
    // Moves the keyboard focus to the box with its text selected, so that typing replaces it.
    void Focus();

private:
    LRESULT Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnKeyDown(HWND hwnd, WPARAM key, LPARAM lp);
    LRESULT OnChar(HWND hwnd, WPARAM key, LPARAM lp);

    CSubclass subclass_;
    HWND owner_ = nullptr;
    HWND edit_ = nullptr;
    FontHandle font_;  // the system's GUI font at the box's scale
};
