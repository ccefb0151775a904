#include "ui/frame/WndTrackbar.h"

#include "app/Ids.h"
#include "base/Dpi.h"
#include "base/Handle.h"

#include <cstdio>
#include <iterator>

namespace {

constexpr const wchar_t* kPositionName = L"Position";
constexpr const wchar_t* kVolumeName = L"Volume";
constexpr const wchar_t* kPanName = L"Pan separation";

// At 96 DPI.
constexpr int kWidth = 127;
constexpr int kHeight = 26;
// A right click puts volume and pan separation in the middle, not at their defaults.
constexpr int kResetPosition = 50;

constexpr const wchar_t* kVolumeTip = L"Volume: %d%%";
constexpr const wchar_t* kPanTip = L"Pan separation: %d%%";
constexpr const wchar_t* kTimeTip = L"%d:%02d";

}  // namespace

CWndTrackbar::~CWndTrackbar() {
    tipSubclass_.Detach();
    subclass_.Detach();
}

bool CWndTrackbar::Create(HINSTANCE instance, HWND parent, int kind) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    kind_ = kind;
    const bool position = kind == TRACKBAR_POSITION;
    const int maximum = position ? kPositionSteps : kPercentSteps;
    DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | TBS_TOP | TBS_BOTH | TBS_NOTICKS |
                  TBS_FIXEDLENGTH | TBS_TOOLTIPS | TBS_DOWNISLEFT;
    if (position) style |= WS_DISABLED;
    // The window text is not shown; it is the name a screen reader reads.
    const wchar_t* name = position ? kPositionName : kind == TRACKBAR_VOLUME ? kVolumeName : kPanName;
    const int dpi = WindowDpi(parent);
    trackbarWindow_ = CreateWindowExW(0, TRACKBAR_CLASSW, name, style, 0, 0, ScaleForDpi(kWidth, dpi),
                                      ScaleForDpi(kHeight, dpi), parent,
                                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TRACKBAR)),
                                      instance, nullptr);
    if (!trackbarWindow_) return false;
    SendMessageW(trackbarWindow_, TBM_SETRANGE, FALSE, MAKELPARAM(0, maximum));
    SendMessageW(trackbarWindow_, TBM_SETPAGESIZE, 0, maximum / 10);
    subclass_.Attach<CWndTrackbar, &CWndTrackbar::Proc>(trackbarWindow_, this);
    if (HWND tip = reinterpret_cast<HWND>(SendMessageW(trackbarWindow_, TBM_GETTOOLTIPS, 0, 0)))
        tipSubclass_.Attach<CWndTrackbar, &CWndTrackbar::TipProc>(tip, this);
    return true;
}

void CWndTrackbar::SetDpi(int dpi) {
    SetWindowPos(trackbarWindow_, nullptr, 0, 0, ScaleForDpi(kWidth, dpi), ScaleForDpi(kHeight, dpi),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int CWndTrackbar::GetPosition() const {
    return static_cast<int>(SendMessageW(trackbarWindow_, TBM_GETPOS, 0, 0));
}

void CWndTrackbar::SetPosition(int position) {
    SendMessageW(trackbarWindow_, TBM_SETPOS, TRUE, position);
}

int CWndTrackbar::GetSpan() const {
    return static_cast<int>(SendMessageW(trackbarWindow_, TBM_GETRANGEMAX, 0, 0) -
                            SendMessageW(trackbarWindow_, TBM_GETRANGEMIN, 0, 0));
}

void CWndTrackbar::SetDuration(float seconds) {
    duration_ = seconds;
    EnableWindow(trackbarWindow_, seconds != 0.0f);
    SetSeconds(0.0f);
}

void CWndTrackbar::SetSeconds(float seconds) {
    int p = 0;
    if (duration_ != 0.0f)
        p = static_cast<int>(static_cast<double>(GetSpan()) * seconds / duration_);
    // The thumb may also have been moved by the user since the last call (a click on the
    // channel while nothing plays), so its own position counts too.
    if (p == lastPosition_ && p == GetPosition()) return;
    lastPosition_ = p;
    SetPosition(p);
}

float CWndTrackbar::GetSeconds() const {
    int span = GetSpan();
    if (span == 0) return 0.0f;
    return static_cast<float>(static_cast<double>(GetPosition()) * duration_ / span);
}

const wchar_t* CWndTrackbar::FormatTip() {
    int position = GetPosition();
    switch (kind_) {
    case TRACKBAR_VOLUME:
        swprintf(tipText_, std::size(tipText_), kVolumeTip, position);
        break;
    case TRACKBAR_PAN:
        swprintf(tipText_, std::size(tipText_), kPanTip, position);
        break;
    default:
        if (duration_ == 0.0f) {
            tipText_[0] = L'\0';
        } else {
            // Minutes wrap at the hour: the field has room for two digits.
            int s = static_cast<int>(GetSeconds());
            swprintf(tipText_, std::size(tipText_), kTimeTip, s / 60 % 60, s % 60);
        }
        break;
    }
    return tipText_;
}

LRESULT CWndTrackbar::CustomDraw(NMCUSTOMDRAW* draw) {
    switch (draw->dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYPOSTPAINT;
    case CDDS_POSTPAINT: {
        RECT client{};
        GetClientRect(draw->hdr.hwndFrom, &client);
        BrushHandle face(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
        FrameRect(draw->hdc, &client, face.get());
        return 0;
    }
    }
    return 0;
}

LRESULT CWndTrackbar::Proc(HWND, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NOTIFY:         return OnNotify(wp, lp);
    case WM_RBUTTONDOWN:    return OnRightButtonDown(wp, lp);
    case WM_LBUTTONDOWN:    dragEnded_ = false; break;
    case WM_CAPTURECHANGED: dragEnded_ = true; break;
    }
    return subclass_.CallOld(trackbarWindow_, msg, wp, lp);
}

LRESULT CWndTrackbar::OnNotify(WPARAM wp, LPARAM lp) {
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(lp);
    if (info && info->hdr.code == TTN_GETDISPINFOW) {
        info->hinst = nullptr;
        info->lpszText = const_cast<wchar_t*>(FormatTip());
    }
    return subclass_.CallOld(trackbarWindow_, WM_NOTIFY, wp, lp);
}

// wParam 0 and lParam 0 tell the main window to read both the volume and the pan separation.
LRESULT CWndTrackbar::OnRightButtonDown(WPARAM wp, LPARAM lp) {
    if (kind_ == TRACKBAR_VOLUME || kind_ == TRACKBAR_PAN) {
        SetPosition(kResetPosition);
        SendMessageW(GetParent(trackbarWindow_), WM_HSCROLL, 0, 0);
    }
    return subclass_.CallOld(trackbarWindow_, WM_RBUTTONDOWN, wp, lp);
}

// The control sets its tooltip's text to the bare position while the thumb is dragged; the
// text is replaced by this trackbar's own.
LRESULT CWndTrackbar::TipProc(HWND tip, UINT msg, WPARAM wp, LPARAM lp) {
    auto* tool = reinterpret_cast<TTTOOLINFOW*>(lp);
    if (msg == TTM_UPDATETIPTEXTW && tool && tool->hwnd == trackbarWindow_) {
        TTTOOLINFOW own = *tool;
        own.lpszText = const_cast<wchar_t*>(FormatTip());
        return tipSubclass_.CallOld(tip, msg, wp, reinterpret_cast<LPARAM>(&own));
    }
    return tipSubclass_.CallOld(tip, msg, wp, lp);
}
