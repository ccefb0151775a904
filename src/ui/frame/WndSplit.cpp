#include "ui/frame/WndSplit.h"

#include "app/Ids.h"
#include "base/Dpi.h"

#include <windowsx.h>

#include <algorithm>

namespace {

constexpr const wchar_t* kSplitClass = L"SplitClass";

int HeightOf(HWND window) {
    RECT r{};
    if (!window || !GetWindowRect(window, &r)) return 0;
    return r.bottom - r.top;
}

void Place(HWND window, const RECT& r) {
    SetWindowPos(window, nullptr, r.left, r.top, std::max(0, static_cast<int>(r.right - r.left)),
                 std::max(0, static_cast<int>(r.bottom - r.top)), SWP_NOZORDER | SWP_NOACTIVATE);
}

// A child fills the client area of its pane (inside the pane's sunken edge).
void Fill(HWND pane, HWND child) {
    if (!child) return;
    RECT client{};
    GetClientRect(pane, &client);
    Place(child, client);
}

}  // namespace

CWndSplit::~CWndSplit() {
    // The bar outlives this object until the main window goes: it must not find it anymore.
    if (barWindow_ && IsWindow(barWindow_)) SetWindowLongPtrW(barWindow_, GWLP_USERDATA, 0);
}

bool CWndSplit::Create(HINSTANCE instance, HWND parent, HWND top, HWND bottom, HWND left,
                       HWND right, int leftWidth) {
    dpi_ = WindowDpi(parent);
    barWidth_ = SystemMetricForDpi(SM_CXDLGFRAME, dpi_);
    minPaneWidth_ = ScaleForDpi(kMinPaneWidth, dpi_);
    parentWindow_ = parent;
    topWindow_ = top;
    bottomWindow_ = bottom;
    leftChild_ = left;
    rightChild_ = right;
    dragging_ = 0;

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &CWndSplit::BarProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kSplitClass;
    RegisterClassExW(&wc);  // a second splitter finds the class registered

    // The panes clip their children, so that erasing a pane never paints over the tree or
    // the list.
    leftPane_ = CreateWindowExW(WS_EX_CLIENTEDGE, kSplitClass, nullptr,
                                WS_CHILD | WS_CLIPCHILDREN, 0, 0, 0, 0, parent, nullptr,
                                instance, nullptr);
    rightPane_ = CreateWindowExW(WS_EX_CLIENTEDGE, kSplitClass, nullptr,
                                 WS_CHILD | WS_CLIPCHILDREN, 0, 0, 0, 0, parent, nullptr,
                                 instance, nullptr);
    barWindow_ = CreateWindowExW(0, kSplitClass, nullptr, WS_CHILD, 0, 0, 0, 0, parent,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SPLITTER)),
                                 instance, nullptr);
    if (!leftPane_ || !rightPane_ || !barWindow_) return false;
    SetWindowLongPtrW(barWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    if (leftChild_) SetParent(leftChild_, leftPane_);
    if (rightChild_) SetParent(rightChild_, rightPane_);

    RECT inner = InnerRect();
    int available = inner.right - barWidth_;
    int w = leftWidth;
    if (w < minPaneWidth_ || w > available - minPaneWidth_) w = available / 2;
    w = std::max(w, 0);
    leftRect_ = {0, inner.top, w, inner.bottom};
    barRect_ = {w, inner.top, w + barWidth_, inner.bottom};
    rightRect_ = {barRect_.right, inner.top, inner.right, inner.bottom};
    Layout();
    ShowWindow(leftPane_, SW_SHOWNORMAL);
    ShowWindow(rightPane_, SW_SHOWNORMAL);
    ShowWindow(barWindow_, SW_SHOWNORMAL);
    return true;
}

RECT CWndSplit::InnerRect() const {
    RECT r{};
    GetClientRect(parentWindow_, &r);
    r.top += HeightOf(topWindow_);
    r.bottom -= HeightOf(bottomWindow_);
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

// A window made narrower (a restore after the bar was dragged far right while maximised) must
// not push the list off the window: the tree gives way down to its own minimum. A minimised
// window has no width to lay out in and keeps the widths it had.
void CWndSplit::Layout() {
    if (!barWindow_) return;
    RECT inner = InnerRect();
    if (!IsIconic(parentWindow_) && inner.right > 0) {
        int w = leftRect_.right;
        if (w + barWidth_ > inner.right - minPaneWidth_) w = inner.right - barWidth_ - minPaneWidth_;
        if (w < minPaneWidth_) w = minPaneWidth_;
        leftRect_.right = w;
        barRect_.left = w;
        barRect_.right = w + barWidth_;
        rightRect_.left = barRect_.right;
    }
    leftRect_.top = barRect_.top = rightRect_.top = inner.top;
    leftRect_.bottom = barRect_.bottom = rightRect_.bottom = inner.bottom;
    rightRect_.right = inner.right;
    Place(leftPane_, leftRect_);
    Place(rightPane_, rightRect_);
    Place(barWindow_, barRect_);
    Fill(leftPane_, leftChild_);
    Fill(rightPane_, rightChild_);
}

void CWndSplit::SetDpi(int dpi) {
    if (dpi <= 0 || dpi == dpi_) return;
    const int width = MulDiv(GetLeftPaneWidth(), dpi, dpi_);
    dpi_ = dpi;
    barWidth_ = SystemMetricForDpi(SM_CXDLGFRAME, dpi);
    minPaneWidth_ = ScaleForDpi(kMinPaneWidth, dpi);
    SetSplit(width);
}

void CWndSplit::SetSplit(int width) {
    leftRect_.right = width;
    barRect_.left = width;
    barRect_.right = width + barWidth_;
    rightRect_.left = barRect_.right;
    Layout();
}

void CWndSplit::Drag(int dx) {
    int c = leftRect_.right + dx;
    if (c < minPaneWidth_)
        c = minPaneWidth_;
    else if (c + barWidth_ > rightRect_.right - minPaneWidth_)
        c = rightRect_.right - barWidth_ - minPaneWidth_;
    SetSplit(c);
}

// One procedure serves the class: the bar carries this object in its user data; the panes
// carry nothing. A pane paints the background that its child does not cover and hands its
// child's notifications on to the main window (controls that notify their current parent
// would otherwise report to the pane).
LRESULT CALLBACK CWndSplit::BarProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (auto* self = reinterpret_cast<CWndSplit*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
        return self->Proc(msg, wp, lp);
    switch (msg) {
    case WM_ERASEBKGND: return OnPaneEraseBackground(hwnd, reinterpret_cast<HDC>(wp));
    case WM_NOTIFY:
    case WM_COMMAND:    return SendMessageW(GetParent(hwnd), msg, wp, lp);
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

// Without a child (or before the child has painted) a pane shows the window colour, not
// whatever was on the screen before.
LRESULT CWndSplit::OnPaneEraseBackground(HWND pane, HDC dc) {
    RECT client{};
    GetClientRect(pane, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    return 1;
}

LRESULT CWndSplit::Proc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_PAINT:          return OnPaint();
    case WM_MOUSEMOVE:      return OnMouseMove(GET_X_LPARAM(lp), GET_Y_LPARAM(lp));
    case WM_LBUTTONDOWN:    return OnButtonDown(GET_X_LPARAM(lp));
    case WM_LBUTTONUP:      return OnButtonUp();
    case WM_CAPTURECHANGED: return OnCaptureChanged();
    }
    return DefWindowProcW(barWindow_, msg, wp, lp);
}

LRESULT CWndSplit::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(barWindow_, &ps);
    FillRect(dc, &ps.rcPaint, GetSysColorBrush(COLOR_BTNFACE));
    EndPaint(barWindow_, &ps);
    return 0;
}

// The bar takes the mouse capture as soon as the pointer is over it, so a press anywhere on it
// starts a drag; the capture goes when the pointer leaves the bar without a drag.
LRESULT CWndSplit::OnMouseMove(int x, int y) {
    if (dragging_) {
        Drag(x - dragStartX_);
        return 0;
    }
    if (GetCapture() != barWindow_) {
        SetCapture(barWindow_);
        savedCursor_ = SetCursor(LoadCursorW(nullptr, IDC_SIZEWE));
        return 0;
    }
    RECT client{};
    GetClientRect(barWindow_, &client);
    if (!PtInRect(&client, POINT{x, y})) {
        ReleaseCapture();
        SetCursor(savedCursor_);
    }
    return 0;
}

LRESULT CWndSplit::OnButtonDown(int x) {
    if (GetCapture() != barWindow_) return 0;
    dragStartX_ = x;
    dragging_ = 1;
    return 0;
}

LRESULT CWndSplit::OnButtonUp() {
    if (GetCapture() != barWindow_) return 0;
    dragging_ = 0;
    return 0;
}

// Another window took the mouse (a menu, a dialog) in the middle of a drag: the drag ends, so
// that the next pointer movement over the bar does not move it without a button held.
LRESULT CWndSplit::OnCaptureChanged() {
    dragging_ = 0;
    return 0;
}
