#include "base/Dpi.h"

namespace {

// The calls that know a window's own DPI come with newer systems: they are looked up at run
// time, so that the program still starts where user32 lacks them.
template <typename F>
F User32Call(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}

int ScreenDpi() {
    HDC dc = GetDC(nullptr);
    if (!dc) return kBaseDpi;
    int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : kBaseDpi;
}

}  // namespace

int WindowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = User32Call<GetDpiForWindowFn>("GetDpiForWindow");
    if (window && getDpiForWindow) {
        if (UINT dpi = getDpiForWindow(window)) return static_cast<int>(dpi);
    }
    return SystemDpi();
}

int SystemDpi() {
    using GetDpiForSystemFn = UINT(WINAPI*)();
    static const auto getDpiForSystem = User32Call<GetDpiForSystemFn>("GetDpiForSystem");
    if (getDpiForSystem) {
        if (UINT dpi = getDpiForSystem()) return static_cast<int>(dpi);
    }
    return ScreenDpi();
}

int SystemMetricForDpi(int index, int dpi) {
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    static const auto forDpi = User32Call<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    if (forDpi) return forDpi(index, static_cast<UINT>(dpi));
    return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}
