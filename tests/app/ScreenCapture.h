#pragma once
// Pictures of what is on the test display, kept under the build tree for people to look at.

#include <windows.h>

#include <string>

namespace th {

// Saves the screen area `area` as a PNG file. False when it cannot be read or written.
bool SaveScreenPng(const RECT& area, const std::wstring& path);

// Folder for screenshots below the build tree (created if needed), ending in a backslash.
std::wstring ScreenshotFolder();

}  // namespace th
