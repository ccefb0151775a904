#include "ui/frame/WndRebar.h"

#include "app/Ids.h"
#include "base/Dpi.h"

#include <commctrl.h>
#include <uxtheme.h>

#include <vector>

CWndRebar::~CWndRebar() { subclass_.Detach(); }

bool CWndRebar::Create(HINSTANCE instance, HWND parent) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_COOL_CLASSES};
    InitCommonControlsEx(&icc);
    rebarWindow_ = CreateWindowExW(WS_EX_TOOLWINDOW, REBARCLASSNAMEW, nullptr,
                                   WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN |
                                       RBS_BANDBORDERS | CCS_NODIVIDER,
                                   0, 0, 0, 0, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_REBAR)),
                                   instance, nullptr);
    if (!rebarWindow_) return false;
    // The bands show the button face colour, as the trackbars, the toolbar and the splitter
    // bar do: a theme's own rebar background would leave the controls as patches of another
    // colour.
    SetWindowTheme(rebarWindow_, L" ", L" ");
    subclass_.Attach<CWndRebar, &CWndRebar::Proc>(rebarWindow_, this);
    return true;
}

bool CWndRebar::AddBand(HWND child, const wchar_t* label) {
    if (!child) return false;
    RECT r{};
    GetWindowRect(child, &r);
    REBARBANDINFOW band{};
    band.cbSize = sizeof(band);
    band.fMask = RBBIM_STYLE | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE;
    if (label) {
        band.fMask |= RBBIM_TEXT;
        band.lpText = const_cast<wchar_t*>(label);
    }
    band.fStyle = RBBS_FIXEDSIZE | RBBS_CHILDEDGE;
    band.hwndChild = child;
    band.cxMinChild = static_cast<UINT>(r.right - r.left);
    band.cx = band.cxMinChild;
    band.cyMinChild = static_cast<UINT>(r.bottom - r.top);
    return SendMessageW(rebarWindow_, RB_INSERTBANDW, static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(&band)) != 0;
}

// Each band takes its child's size again (the children were sized for another screen). The
// sizes are all read first: setting one band lays the others out, which stretches their
// children.
void CWndRebar::FitBands() {
    const int count = static_cast<int>(SendMessageW(rebarWindow_, RB_GETBANDCOUNT, 0, 0));
    std::vector<REBARBANDINFOW> bands;
    for (int i = 0; i < count; ++i) {
        REBARBANDINFOW band{};
        band.cbSize = sizeof(band);
        band.fMask = RBBIM_CHILD;
        RECT r{};
        if (SendMessageW(rebarWindow_, RB_GETBANDINFOW, i, reinterpret_cast<LPARAM>(&band)) && band.hwndChild)
            GetWindowRect(band.hwndChild, &r);
        band.fMask = RBBIM_CHILDSIZE | RBBIM_SIZE;
        band.cxMinChild = static_cast<UINT>(r.right - r.left);
        band.cyMinChild = static_cast<UINT>(r.bottom - r.top);
        band.cx = band.cxMinChild;
        bands.push_back(band);
    }
    for (int i = 0; i < count; ++i) {
        if (bands[i].cxMinChild || bands[i].cyMinChild)
            SendMessageW(rebarWindow_, RB_SETBANDINFOW, i, reinterpret_cast<LPARAM>(&bands[i]));
    }
}

void CWndRebar::SetDpi(int dpi) {
    FontHandle font(CreateSystemFontForDpi(SystemFontKind::Message, dpi));
    SendMessageW(rebarWindow_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    font_ = std::move(font);
}

LRESULT CWndRebar::Proc(HWND, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SIZE:    return OnSize(wp, lp);
    case WM_COMMAND: return OnCommand(wp);
    case WM_HSCROLL: return OnHScroll(wp, lp);
    }
    return subclass_.CallOld(rebarWindow_, msg, wp, lp);
}

// A minimised main window has no width to lay the bands out in.
LRESULT CWndRebar::OnSize(WPARAM wp, LPARAM lp) {
    if (wp == SIZE_MINIMIZED) return 0;
    return subclass_.CallOld(rebarWindow_, WM_SIZE, wp, lp);
}

// The toolbar's buttons: the main window sees them as commands without a control.
LRESULT CWndRebar::OnCommand(WPARAM wp) {
    SendMessageW(GetParent(rebarWindow_), WM_COMMAND, wp, 0);
    return 0;
}

// Every scroll action of a trackbar ends with TB_ENDTRACK after the code that moved the thumb;
// passed on, it would make the main window seek a second time to the same place.
LRESULT CWndRebar::OnHScroll(WPARAM wp, LPARAM lp) {
    if (LOWORD(wp) != TB_ENDTRACK) SendMessageW(GetParent(rebarWindow_), WM_HSCROLL, wp, lp);
    return 0;
}
