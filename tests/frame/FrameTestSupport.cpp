#include "FrameTestSupport.h"

#include "TestSupport.h"

namespace frametest {

namespace {
constexpr const wchar_t* kClass = L"thFrameTestParent";
}

RecordingParent::RecordingParent(int clientWidth, int clientHeight) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &RecordingParent::Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClass;
    RegisterClassExW(&wc);
    window_ = CreateWindowExW(0, kClass, L"frame test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
                              0, 100, 100, nullptr, nullptr, instance, this);
    SetClientSize(clientWidth, clientHeight);
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
}

RecordingParent::~RecordingParent() {
    if (window_) DestroyWindow(window_);
    th::PumpFor(10);
}

void RecordingParent::SetClientSize(int width, int height) {
    RECT r = {0, 0, width, height};
    AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, FALSE, 0);
    SetWindowPos(window_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER);
}

LRESULT CALLBACK RecordingParent::Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<RecordingParent*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && (msg == WM_COMMAND || msg == WM_HSCROLL)) self->received_.push_back({msg, wp, lp});
    return DefWindowProcW(window, msg, wp, lp);
}

}  // namespace frametest
