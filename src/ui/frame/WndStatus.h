#pragma once
// The status bar at the bottom of the main window: a message with an optional progress bar,
// the playing time, and the totals of the playlist selected in the tree. Worker threads set the
// message and the progress; both only post messages to the status bar, so that every control
// is touched on the window thread alone.

#include "base/Handle.h"
#include "base/Subclass.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

class CLibrary;
class CPlaylist;

class CWndStatus {
public:
    // Creates the status bar (control id 83) and its hidden progress bar as children of the
    // main window. GetWindow() is null when the control could not be created.
    CWndStatus(HINSTANCE instance, HWND parent, CLibrary* library);
    virtual ~CWndStatus();
    CWndStatus(const CWndStatus&) = delete;
    CWndStatus& operator=(const CWndStatus&) = delete;

    HWND GetWindow() const { return statusWindow_; }
    // Lays the parts out for a screen of `dpi` dots per inch from the next WM_SIZE on (the
    // constructor takes its parent's).
    void SetDpi(int dpi);

    // Any thread: shows `text` (or nothing, for null) in the message part.
    void SetStatusText(const wchar_t* text);
    // Any thread: shows a percentage after the message and in the progress bar (capped at
    // 100); a negative value hides the progress bar. A value equal to the last one posts
    // nothing.
    void SetProgress(int percent);
    // Window thread: the answer to something the user asked for (a search's count). It is
    // shown at once, and shown again whenever a worker clears the message, so that a
    // download's progress in the same part does not take it away for good. Null ends it.
    void SetAnswer(const wchar_t* text);
    // Window thread: the message shown now, without the progress percentage.
    const std::wstring& GetStatusText() const { return baseText_; }

    // Window thread: the playing position and the song's duration in whole seconds; a
    // duration of 0 clears the time part.
    void SetTime(unsigned position, unsigned duration);
    // Window thread: counts and sums the songs of `playlist` (or nothing, for null).
    void SetTotals(const CPlaylist* playlist);

private:
    LRESULT Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnSize(WPARAM wp, LPARAM lp);
    LRESULT OnStatusText(WPARAM wp, LPARAM lp);
    LRESULT OnStatusProgress();
    void ShowTotals();

    CSubclass subclass_;
    HWND progressWindow_ = nullptr;
    // Written by any thread in SetProgress; read by the window thread when the progress
    // message arrives (the last value written wins).
    std::atomic<int> progressPercent_{-1};
    std::wstring baseText_;       // window thread only
    std::wstring answer_;         // window thread only
    HWND statusWindow_ = nullptr; // set at creation, then only read
    CLibrary* library_ = nullptr;
    unsigned shownPosition_ = 0;
    unsigned shownDuration_ = 0;
    float totalDuration_ = 0.0f;
    int songCount_ = 0;
    int dpi_ = 96;
    FontHandle font_;  // null: the bar's own font
    int64_t totalSize_ = 0;
};
