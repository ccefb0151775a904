#pragma once
// Screenshots of windows on the test display, saved as PNG files for people to look at.

#include <windows.h>

#include <string>

namespace th {

// Saves the screen area `area` as a PNG file at `path`, creating its folder. False when it
// cannot be read or written.
bool SaveScreenPng(const RECT& area, const std::wstring& path);

// Copies what the screen shows of `window` (frame included) into a PNG file at `path`,
// creating its folder. Returns false when nothing could be captured or written.
bool SaveWindowScreenshot(HWND window, const std::wstring& path);

// Where a suite keeps its screenshots: <build tree>\screenshots\<name>.png.
std::wstring ScreenshotPath(const std::wstring& name);

}  // namespace th
