#include "ui/frame/WndSearchBox.h"

#include "app/Ids.h"
#include "base/Dpi.h"

#include <commctrl.h>
#include <oleacc.h>

namespace {

// Shown in the empty box, also while it has the focus.
constexpr const wchar_t* kCueText = L"Find in library";
constexpr int kWidthInAverageCharacters = 24;

// A screen reader names an edit box by a label beside it; the find box has only its cue text,
// which is given to the system's accessibility service as the box's name where there is one.
void NameForScreenReaders(HWND window, const wchar_t* name) {
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IAccPropServices* services = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                   reinterpret_cast<void**>(&services))) &&
        services) {
        services->SetHwndPropStr(window, DWORD(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME, name);
        services->Release();
    }
    if (SUCCEEDED(init)) CoUninitialize();
}

}  // namespace

CWndSearchBox::CWndSearchBox(HINSTANCE instance, HWND parent, HWND owner) : owner_(owner) {
    edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SEARCHBOX)), instance,
                            nullptr);
    if (!edit_) return;
    NameForScreenReaders(edit_, kCueText);
    SetDpi(WindowDpi(parent));
    SendMessageW(edit_, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(kCueText));
    subclass_.Attach<CWndSearchBox, &CWndSearchBox::Proc>(edit_, this);
}

// The system's GUI font is made for the screen the program started on; the box's own copy is
// scaled from there to the box's screen.
void CWndSearchBox::SetDpi(int dpi) {
    if (!edit_) return;
    LOGFONTW look{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(look), &look);
    look.lfHeight = MulDiv(look.lfHeight, dpi, SystemDpi());
    FontHandle font(CreateFontIndirectW(&look));
    // Without a font of its own the box keeps the system's, which is never deleted.
    HFONT shown = font ? font.get() : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(shown), TRUE);
    font_ = std::move(font);
    TEXTMETRICW metrics{};
    if (HDC dc = GetDC(edit_)) {
        HGDIOBJ old = SelectObject(dc, shown);
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(edit_, dc);
    }
    // The band takes the box's size as its own, so the box gets its final size here: room for
    // the text plus the client edge and the edit control's margins.
    const int width = metrics.tmAveCharWidth * kWidthInAverageCharacters + ScaleForDpi(8, dpi);
    const int height = metrics.tmHeight + 2 * SystemMetricForDpi(SM_CYEDGE, dpi) + ScaleForDpi(4, dpi);
    SetWindowPos(edit_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

CWndSearchBox::~CWndSearchBox() {
    subclass_.Detach();
    if (edit_ && IsWindow(edit_)) DestroyWindow(edit_);
}

std::wstring CWndSearchBox::GetText() const {
    if (!edit_) return std::wstring();
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit_)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(edit_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void CWndSearchBox::Clear() {
    if (edit_ && GetWindowTextLengthW(edit_) > 0) SetWindowTextW(edit_, L"");
}

void CWndSearchBox::Focus() {
    if (!edit_) return;
    SetFocus(edit_);
    SendMessageW(edit_, EM_SETSEL, 0, -1);
}

LRESULT CWndSearchBox::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_KEYDOWN: return OnKeyDown(hwnd, wp, lp);
    case WM_CHAR:    return OnChar(hwnd, wp, lp);
    }
    return subclass_.CallOld(hwnd, msg, wp, lp);
}

LRESULT CWndSearchBox::OnKeyDown(HWND hwnd, WPARAM key, LPARAM lp) {
    if (key == VK_ESCAPE) {
        Clear();
        SendMessageW(owner_, WM_COMMAND, ID_FIND_CLEAR, 0);
        return 0;
    }
    if (key == VK_RETURN) {
        SendMessageW(owner_, WM_COMMAND, ID_FIND_NOW, 0);
        return 0;
    }
    return subclass_.CallOld(hwnd, WM_KEYDOWN, key, lp);
}

// A single-line edit control beeps at the characters of Escape and Enter; both keys have
// been taken as commands already.
LRESULT CWndSearchBox::OnChar(HWND hwnd, WPARAM key, LPARAM lp) {
    if (key == VK_ESCAPE || key == VK_RETURN) return 0;
    return subclass_.CallOld(hwnd, WM_CHAR, key, lp);
}

