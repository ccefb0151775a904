#pragma once
// The splitter: divides the main window's client area between the rebar at the top and the
// status bar at the bottom into two panes side by side (the tree on the left, the song list on
// the right) with a thin bar between them that the user drags to change the tree's width.
// The panes and the bar are windows of the splitter's own class "SplitClass".

#include <windows.h>

class CWndSplit {
public:
    // Neither pane is ever narrower than this (at 96 DPI; GetMinPaneWidth() at the window's)
    // when the bar is dragged.
    static constexpr int kMinPaneWidth = 50;

    CWndSplit() = default;
    virtual ~CWndSplit();
    CWndSplit(const CWndSplit&) = delete;
    CWndSplit& operator=(const CWndSplit&) = delete;

    // Makes the two panes and the bar (control id 80) in `parent`, moves `left` and `right`
    // into the panes (either may be null: its pane stays empty) and lays them out with a left
    // pane `leftWidth` pixels wide, or half the width when that does not leave both panes
    // kMinPaneWidth. `top` and `bottom` (the rebar and the status bar) take their heights
    // off the client area; either may be null. False when a window cannot be made.
    bool Create(HINSTANCE instance, HWND parent, HWND top, HWND bottom, HWND left, HWND right,
                int leftWidth);

    // Places the panes, the bar and the children for the parent's current size: the left pane
    // keeps its width, the right one takes the rest, which is kept at least kMinPaneWidth wide
    // as long as the left pane can give way down to kMinPaneWidth.
    void Layout();
    // A new width of the left pane.
    void SetSplit(int width);
    // Moves the bar by `dx` pixels, keeping both panes at least kMinPaneWidth wide (the left
    // one wins when the window is too narrow for both).
    void Drag(int dx);
    int GetLeftPaneWidth() const { return leftRect_.right - leftRect_.left; }
    // The parent moved to a screen of `dpi` dots per inch: the bar, the smallest pane width
    // and the left pane's width follow the new scale, and the panes are laid out again.
    void SetDpi(int dpi);
    int GetMinPaneWidth() const { return minPaneWidth_; }

    HWND GetBarWindow() const { return barWindow_; }
    HWND GetLeftPane() const { return leftPane_; }
    HWND GetRightPane() const { return rightPane_; }
    int GetBarWidth() const { return barWidth_; }

private:
    static LRESULT CALLBACK BarProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT OnPaneEraseBackground(HWND pane, HDC dc);
    LRESULT Proc(UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnPaint();
    LRESULT OnMouseMove(int x, int y);
    LRESULT OnButtonDown(int x);
    LRESULT OnButtonUp();
    LRESULT OnCaptureChanged();
    // The client area between the top and the bottom window.
    RECT InnerRect() const;

    int dragging_ = 0;
    HCURSOR savedCursor_ = nullptr;
    RECT barRect_{};
    int dragStartX_ = 0;
    int barWidth_ = 0;
    int minPaneWidth_ = kMinPaneWidth;
    int dpi_ = 96;
    HWND parentWindow_ = nullptr;
    HWND leftChild_ = nullptr;
    HWND rightChild_ = nullptr;
    HWND leftPane_ = nullptr;
    HWND rightPane_ = nullptr;
    HWND barWindow_ = nullptr;
    HWND topWindow_ = nullptr;
    HWND bottomWindow_ = nullptr;
    RECT leftRect_{};
    RECT rightRect_{};
};
