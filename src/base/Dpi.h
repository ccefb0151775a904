#pragma once
// Sizes of the program are given in pixels at 96 dots per inch and are scaled to the dots per
// inch of the monitor a window is on. Where the system cannot say the DPI of one window (older
// systems), the screen's DPI is used.

#include <windows.h>

constexpr int kBaseDpi = 96;

// The DPI of `window`'s monitor; the screen's when the window is null or the call is missing.
int WindowDpi(HWND window);
// The DPI of the screen the program starts on (the primary monitor's).
int SystemDpi();
// `pixels` at 96 DPI as pixels at `dpi`.
inline int ScaleForDpi(int pixels, int dpi) { return MulDiv(pixels, dpi, kBaseDpi); }
// A system metric (SM_CXDLGFRAME, ...) at `dpi`.
int SystemMetricForDpi(int index, int dpi);

// The system's fonts are made for the screen the program started on. A copy of one made for a
// screen of `dpi` dots per inch; null where `dpi` is the starting screen's own (the control's
// own font is right there) or the font cannot be made. The caller owns the font.
enum class SystemFontKind { Message, Status, IconTitle };
HFONT CreateSystemFontForDpi(SystemFontKind kind, int dpi);
