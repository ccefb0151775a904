#pragma once
// The transport toolbar: Play or Pause, Stop, Previous track, Next track and Add to favourites
// as flat round buttons with tooltips. It lives in a band of the rebar, which hands its
// commands on to the main window; the main window decides which buttons are enabled.

#include "base/Handle.h"
#include "base/Subclass.h"

#include <windows.h>

#include <array>

class CWndToolbar {
public:
    static constexpr size_t kButtonCount = 5;

    CWndToolbar() = default;
    virtual ~CWndToolbar();
    CWndToolbar(const CWndToolbar&) = delete;
    CWndToolbar& operator=(const CWndToolbar&) = delete;

    // Creates the toolbar (control id 85) as a child of `parent` (the rebar), with every
    // button disabled. False when the control cannot be made.
    bool Create(HINSTANCE instance, HWND parent);
    HWND GetWindow() const { return toolbarWindow_; }

    // Buttons are addressed by their command ids (ID_PLAY, ID_STOP, ...).
    bool IsButtonEnabled(UINT commandId) const;
    void EnableButton(UINT commandId, bool enable);
    // 0: the Play button shows the play image, 1: the pause image.
    void SetPlayImage(int image);
    int GetPlayImage() const { return playImage_; }

    // Draws the images and sizes the buttons for a screen of `dpi` dots per inch (Create does
    // so for its parent's screen); the toolbar is then exactly as wide as its buttons.
    void SetDpi(int dpi);
    // The side of the button images in pixels.
    int GetImageSide() const { return imageSide_; }

    // The button images, one per symbol of ToolbarImages.h (SYMBOL_PLAY, ...).
    HIMAGELIST GetImages() const { return normalImages_.get(); }

    // The tooltip of a button, or null for an id that is not a button.
    const wchar_t* TipText(UINT commandId) const;

private:
    LRESULT Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnNotify(WPARAM wp, LPARAM lp);
    void SetImages(int dpi);
    // The buttons, each in the given TBSTATE_ state, the Play button with the image shown now.
    void AddButtons(const std::array<BYTE, kButtonCount>& states);
    void FitWidth();

    CSubclass subclass_;
    int playImage_ = 0;
    int imageSide_ = 0;
    SIZE buttonMargin_{};
    HWND toolbarWindow_ = nullptr;
    ImageListHandle disabledImages_;
    ImageListHandle normalImages_;
};
