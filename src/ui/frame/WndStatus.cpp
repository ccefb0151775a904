#include "ui/frame/WndStatus.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/Ids.h"
#include "base/Dpi.h"
#include "library/Library.h"
#include "playlists/Playlist.h"

namespace {

// Right edges of the message and time parts, measured from the right of the main window, and
// the progress bar's place, at 96 DPI.
constexpr int kMessageRightGap = 310;
constexpr int kTimeRightGap = 220;
constexpr int kProgressWidth = 100;
constexpr int kProgressMargin = 6;  // between the progress bar and the end of the message part
constexpr int kProgressTop = 4;

constexpr double kMegabyte = 1048576.0;
// Sizes from 1000 Mb up are shown in Gb of 1000 Mb, so the figure never shows "1000.00Mb".
constexpr double kGigabyte = 1000.0 * kMegabyte;

}  // namespace

CWndStatus::CWndStatus(HINSTANCE instance, HWND parent, CLibrary* library) : library_(library) {
    statusWindow_ = CreateWindowExW(0, STATUSCLASSNAMEW, nullptr,
                                    WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_STATUSBAR)),
                                    instance, nullptr);
    if (!statusWindow_) return;
    dpi_ = WindowDpi(parent);
    progressWindow_ = CreateWindowExW(0, PROGRESS_CLASSW, nullptr, WS_CHILD, 0, 0, 0, 0, statusWindow_,
                                      nullptr, instance, nullptr);
    subclass_.Attach<CWndStatus, &CWndStatus::Proc>(statusWindow_, this);
}

CWndStatus::~CWndStatus() {
    subclass_.Detach();
    if (statusWindow_ && IsWindow(statusWindow_)) {
        // Texts still queued for the bar would otherwise be lost with their buffers.
        MSG msg;
        while (PeekMessageW(&msg, statusWindow_, WM_APP_STATUS_TEXT, WM_APP_STATUS_TEXT, PM_REMOVE))
            delete[] reinterpret_cast<wchar_t*>(msg.lParam);
    }
}

void CWndStatus::SetStatusText(const wchar_t* text) {
    // A null window would post to the calling thread's own queue, where nobody frees the text.
    if (!statusWindow_) return;
    wchar_t* copy = nullptr;
    if (text) {
        size_t n = wcslen(text);
        copy = new (std::nothrow) wchar_t[n + 1];
        if (!copy) return;
        memcpy(copy, text, (n + 1) * sizeof(wchar_t));
    }
    // The buffer belongs to the bar once the message is queued; if it cannot be queued (the
    // window is gone) nobody else would free it.
    if (!PostMessageW(statusWindow_, WM_APP_STATUS_TEXT, 0, reinterpret_cast<LPARAM>(copy)))
        delete[] copy;
}

void CWndStatus::SetAnswer(const wchar_t* text) {
    // Null: the answer no longer holds, and goes from the part if it is what the part shows.
    if (text || baseText_ == answer_) {
        baseText_ = text ? text : L"";
        SendMessageW(statusWindow_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(baseText_.c_str()));
    }
    answer_ = text ? text : L"";
}

void CWndStatus::SetProgress(int percent) {
    if (percent > 100) percent = 100;
    if (progressPercent_.exchange(percent) == percent || !statusWindow_) return;
    PostMessageW(statusWindow_, WM_APP_STATUS_PROGRESS, 0, 0);
}

void CWndStatus::SetTime(unsigned position, unsigned duration) {
    if (position == shownPosition_ && duration == shownDuration_) return;
    shownPosition_ = position;
    shownDuration_ = duration;
    wchar_t text[32] = L"";
    if (duration != 0)
        swprintf(text, 32, L"\t%u:%02u / %u:%02u ", position / 60, position % 60, duration / 60,
                 duration % 60);
    SendMessageW(statusWindow_, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(text));
}

void CWndStatus::SetTotals(const CPlaylist* playlist) {
    songCount_ = 0;
    totalDuration_ = 0.0f;
    totalSize_ = 0;
    if (playlist && library_) {
        for (int i = 0, n = playlist->GetCount(); i < n; ++i) {
            const CSong* song = library_->GetSong(playlist->GetIdAt(i));
            if (!song) continue;
            ++songCount_;
            totalDuration_ += song->PlayLength();
            totalSize_ += static_cast<uint32_t>(song->size);
        }
    }
    ShowTotals();
}

void CWndStatus::ShowTotals() {
    float bytes = static_cast<float>(totalSize_);
    const wchar_t* unit = L"Mb";
    double value = bytes / kMegabyte;
    if (bytes >= kGigabyte) {
        unit = L"Gb";
        value = bytes / kGigabyte;
    }
    int seconds = static_cast<int>(totalDuration_);
    wchar_t text[64];
    swprintf(text, 64, L" %d %ls (%.2f%ls) : %dh %02dm %02ds", songCount_,
             songCount_ == 1 ? L"song" : L"songs", value, unit, seconds / 3600,
             seconds / 60 % 60, seconds % 60);
    SendMessageW(statusWindow_, SB_SETTEXTW, 2, reinterpret_cast<LPARAM>(text));
}

LRESULT CWndStatus::Proc(HWND, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_SIZE:                return OnSize(wp, lp);
    case WM_APP_STATUS_TEXT:     return OnStatusText(wp, lp);
    case WM_APP_STATUS_PROGRESS: return OnStatusProgress();
    }
    return subclass_.CallOld(statusWindow_, msg, wp, lp);
}

// The bar's own font is made for the screen the program started on; on a screen of another
// scale the bar gets a copy at that scale, so that its texts fit the parts.
void CWndStatus::SetDpi(int dpi) {
    if (dpi <= 0 || !statusWindow_) return;
    dpi_ = dpi;
    FontHandle font(CreateSystemFontForDpi(SystemFontKind::Status, dpi));
    SendMessageW(statusWindow_, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    font_ = std::move(font);
}

// The bar first takes its own height (from its font) and the parent's width; the parts and the
// progress bar are then laid out in it.
LRESULT CWndStatus::OnSize(WPARAM wp, LPARAM lp) {
    LRESULT result = subclass_.CallOld(statusWindow_, WM_SIZE, wp, lp);
    int width = LOWORD(lp);
    int parts[3] = {width - ScaleForDpi(kMessageRightGap, dpi_), width - ScaleForDpi(kTimeRightGap, dpi_), -1};
    SendMessageW(statusWindow_, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
    RECT client{};
    GetClientRect(statusWindow_, &client);
    const int margin = ScaleForDpi(kProgressMargin, dpi_);
    const int top = ScaleForDpi(kProgressTop, dpi_);
    const int barWidth = ScaleForDpi(kProgressWidth, dpi_);
    const int barHeight = std::max(1, static_cast<int>(client.bottom) - margin);
    SetWindowPos(progressWindow_, nullptr, parts[0] - (barWidth + margin), top, barWidth, barHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ShowTotals();
    RedrawWindow(statusWindow_, nullptr, nullptr, RDW_INVALIDATE);
    return result;
}

LRESULT CWndStatus::OnStatusText(WPARAM wp, LPARAM lp) {
    auto* text = reinterpret_cast<wchar_t*>(lp);
    if (text) {
        SendMessageW(statusWindow_, SB_SETTEXTW, 0, lp);
        baseText_ = text;
        delete[] text;
    } else {
        baseText_ = answer_;
        SendMessageW(statusWindow_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(baseText_.c_str()));
    }
    return subclass_.CallOld(statusWindow_, WM_APP_STATUS_TEXT, wp, 0);
}

LRESULT CWndStatus::OnStatusProgress() {
    int percent = progressPercent_.load();
    if (percent < 0) {
        ShowWindow(progressWindow_, SW_HIDE);
        return 1;
    }
    wchar_t suffix[8];
    swprintf(suffix, 8, L" (%d%%)", percent);
    std::wstring text = baseText_ + suffix;
    SendMessageW(statusWindow_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
    ShowWindow(progressWindow_, SW_SHOWNA);
    SendMessageW(progressWindow_, PBM_SETPOS, percent, 0);
    RedrawWindow(statusWindow_, nullptr, nullptr, RDW_INVALIDATE);
    return 1;
}
