#include "app/TrayIcon.h"

#include "base/EscapeAmpersands.h"
#include "app/Ids.h"
#include "app/MainWindow.h"

#include <cmath>
#include <cwchar>
#include <iterator>

namespace {

constexpr size_t kTipLength = 127;  // szTip holds 128 characters with the terminator
constexpr const wchar_t* kSongTipFormat = L"[%d:%.2d/%d:%.2d]\n";

int WholeSeconds(double seconds) {
    if (!(seconds > 0)) return 0;
    if (seconds > 2147483647.0) return 2147483647;
    return static_cast<int>(seconds);
}

void CopyTip(NOTIFYICONDATAW& data, const std::wstring& text) {
    wcsncpy(data.szTip, text.c_str(), std::size(data.szTip) - 1);
    data.szTip[std::size(data.szTip) - 1] = L'\0';
}

}  // namespace

CTrayIcon::CTrayIcon() : trayIcon_{} {}

CTrayIcon::~CTrayIcon() { RemoveTrayIcon(); }

void CTrayIcon::AddTrayIcon(HWND window, bool again) {
    if (shown_ && !again) return;
    const std::wstring tip = again ? trayIcon_.szTip : IdleTitle();
    trayIcon_ = {};
    // The layout every shell since XP reads; the fields after it are not used.
    trayIcon_.cbSize = NOTIFYICONDATAW_V3_SIZE;
    trayIcon_.hWnd = window;
    trayIcon_.uID = TRAY_ICON_ID;
    trayIcon_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    trayIcon_.uCallbackMessage = WM_APP_TRAY;
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    if (GetClassInfoExW(instance, kMainWindowClass, &wc)) trayIcon_.hIcon = wc.hIcon;
    CopyTip(trayIcon_, tip);
    // Without a notification area (no shell yet, or none at all) the window stays on the
    // taskbar when it is minimised, where the user can get it back.
    shown_ = Shell_NotifyIconW(NIM_ADD, &trayIcon_) != FALSE;
}

bool CTrayIcon::UpdateTrayTip(const std::wstring& text) {
    const std::wstring tip = text.substr(0, kTipLength);
    if (tip == trayIcon_.szTip) return false;
    CopyTip(trayIcon_, tip);
    if (!shown_) return false;
    trayIcon_.uFlags = NIF_TIP;
    Shell_NotifyIconW(NIM_MODIFY, &trayIcon_);
    return true;
}

void CTrayIcon::RemoveTrayIcon() {
    if (!shown_) return;
    Shell_NotifyIconW(NIM_DELETE, &trayIcon_);
    shown_ = false;
}

std::wstring CTrayIcon::SongTip(double seconds, double length, std::wstring_view artist,
                                std::wstring_view title) {
    const int position = WholeSeconds(seconds), total = WholeSeconds(length);
    wchar_t times[64];
    swprintf(times, std::size(times), kSongTipFormat, position / 60, position % 60, total / 60,
             total % 60);
    return CutTip(EscapeAmpersands(times + std::wstring(artist) + L"\n" + std::wstring(title), true));
}

std::wstring CTrayIcon::CutTip(std::wstring text) {
    if (text.size() <= kTipLength) return text;
    text.resize(kTipLength);
    if (IS_HIGH_SURROGATE(text.back())) {
        text.pop_back();
        return text;
    }
    // Every ampersand of the song's texts became three: a run cut short at the end would
    // show as a stray mnemonic mark.
    size_t run = 0;
    while (run < text.size() && text[text.size() - 1 - run] == L'&') ++run;
    text.resize(text.size() - run % 3);
    return text;
}

void CTrayIcon::StartClickCountdown() {
    trayClickCountdown_ = static_cast<int>(GetDoubleClickTime() / 100 + 1);
}

bool CTrayIcon::CountDownClick() {
    if (trayClickCountdown_ == 0) return false;
    return --trayClickCountdown_ == 0;
}

void CTrayIcon::RememberClickRect(POINT cursor) {
    trayClickRect_ = {};
    if (HWND under = WindowFromPoint(cursor)) GetWindowRect(under, &trayClickRect_);
}

bool CTrayIcon::IsInClickRect(POINT cursor) const { return PtInRect(&trayClickRect_, cursor); }
