#pragma once
// Reading menus back for checks: item texts, ids, check marks and flags as a user sees them.

#include <windows.h>

#include <string>

namespace th {

std::wstring MenuText(HMENU menu, UINT position);
UINT MenuId(HMENU menu, UINT position);
bool IsChecked(HMENU menu, UINT position);
bool IsRadio(HMENU menu, UINT position);
bool IsGreyed(HMENU menu, UINT position);
bool IsSeparator(HMENU menu, UINT position);
bool StartsColumn(HMENU menu, UINT position);
// Number of checked items in a menu and all its submenus.
int CountChecked(HMENU menu);
// Position of the first item with that text, or -1.
int FindItem(HMENU menu, const std::wstring& text);

}  // namespace th
