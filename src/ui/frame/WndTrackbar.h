#pragma once
// One trackbar of the rebar: the playing position within the song, the output volume or the
// pan separation, each with a tooltip showing its value while the thumb is dragged. Scroll
// messages go to the parent (the rebar), which hands them on to the main window.

#include "base/Subclass.h"

#include <windows.h>
#include <commctrl.h>

#include <utility>

class CWndTrackbar {
public:
    // The position trackbar's range: the song is divided into this many steps.
    static constexpr int kPositionSteps = 2000;
    static constexpr int kPercentSteps = 100;

    CWndTrackbar() = default;
    virtual ~CWndTrackbar();
    CWndTrackbar(const CWndTrackbar&) = delete;
    CWndTrackbar& operator=(const CWndTrackbar&) = delete;

    // Creates the trackbar (control id 86) of `kind` (TRACKBAR_POSITION, TRACKBAR_VOLUME or
    // TRACKBAR_PAN) as a child of `parent`. The position trackbar starts disabled. False when
    // the control cannot be made.
    bool Create(HINSTANCE instance, HWND parent, int kind);
    HWND GetWindow() const { return trackbarWindow_; }
    // Sizes the trackbar for a screen of `dpi` dots per inch (Create does so for its parent's).
    void SetDpi(int dpi);
    int GetKind() const { return kind_; }

    int GetPosition() const;
    void SetPosition(int position);
    // Range maximum minus range minimum.
    int GetSpan() const;

    // Position trackbar: the length of the song it stands for (0: none, which disables it);
    // the thumb goes back to the start.
    void SetDuration(float seconds);
    float GetDuration() const { return duration_; }
    // Position trackbar: moves the thumb to a playing position.
    void SetSeconds(float seconds);
    // Position trackbar: the playing position the thumb stands for.
    float GetSeconds() const;

    // True once after the trackbar let go of the mouse since the last press, which is how
    // every drag of the thumb ends: released, or the mouse taken by another window (Alt+Tab),
    // when no final position is reported.
    bool TakeDragEnded() { return std::exchange(dragEnded_, false); }

    // The tooltip's text for the thumb's position ("2:30", "Volume: 70%", ...).
    const wchar_t* FormatTip();

    // The main window's answer to a trackbar's NM_CUSTOMDRAW: a frame in the button face
    // colour over the focus rectangle that the control draws.
    static LRESULT CustomDraw(NMCUSTOMDRAW* draw);

private:
    LRESULT Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT TipProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnNotify(WPARAM wp, LPARAM lp);
    LRESULT OnRightButtonDown(WPARAM wp, LPARAM lp);

    CSubclass subclass_;
    // The trackbar's tooltip control, which some versions of the control give a text of
    // their own (the bare position) instead of asking for it.
    CSubclass tipSubclass_;
    int kind_ = 0;
    int lastPosition_ = 0;      // the position last set by SetSeconds
    float duration_ = 0.0f;
    bool dragEnded_ = false;
    HWND trackbarWindow_ = nullptr;
    wchar_t tipText_[32] = {};
};
