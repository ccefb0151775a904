#include "ui/frame/Appearance.h"

#include <commdlg.h>

namespace {

constexpr const wchar_t* kFontStyleText = L"Font style";
constexpr const wchar_t* kFontColourText = L"Font colour";
constexpr const wchar_t* kBackColourText = L"Background colour";
constexpr const wchar_t* kHighlightColourText = L"Highlight colour";

}  // namespace

void CAppearance::AppendMenuItems(HMENU menu) {
    AppendMenuW(menu, MF_STRING, kFontStyle, kFontStyleText);
    AppendMenuW(menu, MF_STRING, kFontColour, kFontColourText);
    AppendMenuW(menu, MF_STRING, kBackColour, kBackColourText);
    AppendMenuW(menu, MF_STRING, kHighlightColour, kHighlightColourText);
}

COLORREF* CAppearance::ColourOf(UINT command, COLORREF* text, COLORREF* back, COLORREF* highlight) {
    switch (command) {
    case kFontColour:      return text;
    case kBackColour:      return back;
    case kHighlightColour: return highlight;
    }
    return nullptr;
}

std::unique_ptr<LOGFONTW> CAppearance::AskFont(HWND owner, const LOGFONTW* current) {
    auto font = std::make_unique<LOGFONTW>();
    CHOOSEFONTW choose{};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = owner;
    choose.lpLogFont = font.get();
    choose.Flags = CF_SCREENFONTS;
    if (current) {
        *font = *current;
        choose.Flags |= CF_INITTOLOGFONTSTRUCT;
    }
    if (!ChooseFontW(&choose)) return nullptr;
    return font;
}

// The sixteen custom colours start white each time: nothing is kept between dialogs.
bool CAppearance::AskColour(HWND owner, COLORREF* colour) {
    if (!colour) return false;
    COLORREF custom[16];
    for (COLORREF& c : custom) c = RGB(255, 255, 255);
    CHOOSECOLORW choose{};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = owner;
    choose.rgbResult = *colour;
    choose.lpCustColors = custom;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
    if (!ChooseColorW(&choose)) return false;
    *colour = choose.rgbResult;
    return true;
}
