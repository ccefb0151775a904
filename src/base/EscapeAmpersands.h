#pragma once
// Texts that go into menus and the tray tooltip: both treat "&" as a mnemonic prefix, so an
// artist or title with an ampersand must have it escaped to show as one.

#include <string>

// Returns text with every "&" doubled ("&&", for menu items) or, when forTooltip is true,
// tripled ("&&&": the notification area strips one level more than a menu does). All other
// characters are copied.
std::wstring EscapeAmpersands(const std::wstring& text, bool forTooltip);
