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

HFONT CreateSystemFontForDpi(SystemFontKind kind, int dpi) {
    if (dpi <= 0 || dpi == SystemDpi()) return nullptr;
    LOGFONTW font{};
    if (kind == SystemFontKind::IconTitle) {
        if (!SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(font), &font, 0)) return nullptr;
    } else {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) return nullptr;
        font = kind == SystemFontKind::Status ? metrics.lfStatusFont : metrics.lfMessageFont;
    }
    font.lfHeight = MulDiv(font.lfHeight, dpi, SystemDpi());
    return CreateFontIndirectW(&font);
}

int SystemMetricForDpi(int index, int dpi) {
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    static const auto forDpi = User32Call<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    if (forDpi) return forDpi(index, static_cast<UINT>(dpi));
    return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}
