#include "MenuTestSupport.h"

namespace th {

namespace {

MENUITEMINFOW Info(HMENU menu, UINT position, wchar_t* text = nullptr, UINT size = 0) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_SUBMENU | (text ? MIIM_STRING : 0);
    info.dwTypeData = text;
    info.cch = size;
    GetMenuItemInfoW(menu, position, TRUE, &info);
    return info;
}

}  // namespace

std::wstring MenuText(HMENU menu, UINT position) {
    wchar_t text[256] = {};
    Info(menu, position, text, 256);
    return text;
}

UINT MenuId(HMENU menu, UINT position) { return Info(menu, position).wID; }
bool IsChecked(HMENU menu, UINT position) { return Info(menu, position).fState & MFS_CHECKED; }
bool IsRadio(HMENU menu, UINT position) { return Info(menu, position).fType & MFT_RADIOCHECK; }
bool IsGreyed(HMENU menu, UINT position) { return Info(menu, position).fState & MFS_GRAYED; }
bool IsSeparator(HMENU menu, UINT position) { return Info(menu, position).fType & MFT_SEPARATOR; }
bool StartsColumn(HMENU menu, UINT position) {
    return Info(menu, position).fType & MFT_MENUBARBREAK;
}

int CountChecked(HMENU menu) {
    int checked = 0;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        if (IsChecked(menu, i)) ++checked;
        if (HMENU sub = GetSubMenu(menu, i)) checked += CountChecked(sub);
    }
    return checked;
}

int FindItem(HMENU menu, const std::wstring& text) {
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i)
        if (MenuText(menu, i) == text) return i;
    return -1;
}

}  // namespace th
