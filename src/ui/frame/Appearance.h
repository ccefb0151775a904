#pragma once
// The appearance commands that the tree and the song list share: the last four items of their
// right-click menus, and the font and colour dialogs behind them. Each control keeps its own
// font and colours; these helpers only ask the user.

#include <windows.h>

#include <memory>

class CAppearance {
public:
    // Command ids of the four items, the same in both menus.
    static constexpr UINT kFontStyle = 13;
    static constexpr UINT kFontColour = 14;
    static constexpr UINT kBackColour = 15;
    static constexpr UINT kHighlightColour = 16;

    // Appends "Font style", "Font colour", "Background colour" and "Highlight colour".
    static void AppendMenuItems(HMENU menu);

    // The colour field a colour command changes: text, background or highlight; null for any
    // other command.
    static COLORREF* ColourOf(UINT command, COLORREF* text, COLORREF* back, COLORREF* highlight);

    // The font dialog, starting at `current` (null: the dialog's own start). Null when the
    // user cancels.
    static std::unique_ptr<LOGFONTW> AskFont(HWND owner, const LOGFONTW* current);
    // The colour dialog, starting at *colour; true (and *colour changed) when one was chosen.
    static bool AskColour(HWND owner, COLORREF* colour);
};
