#pragma once
// The keyboard's media keys (Play/Pause, Stop, Next, Previous), turned into the commands the
// toolbar sends. They are registered as hot keys of the main window, so that they work while
// the window is in the tray or another program has the focus; a key another program already
// holds is left to it. Keyboards and remote controls that send WM_APPCOMMAND to the focused
// window are understood as well.

#include <windows.h>

class CMediaKeys {
public:
    CMediaKeys() = default;
    virtual ~CMediaKeys();
    CMediaKeys(const CMediaKeys&) = delete;
    CMediaKeys& operator=(const CMediaKeys&) = delete;

    // Registers every media key no other program holds; the number registered.
    int Register(HWND window);
    void Unregister();

    // The toolbar command (ID_PLAY, ID_STOP, ID_NEXT, ID_PREVIOUS) for a WM_HOTKEY id or the
    // lParam of a WM_APPCOMMAND; 0 for anything else.
    static UINT CommandOfHotKey(WPARAM id);
    // The hot key id a media key (VK_MEDIA_...) is registered under; 0 for other keys.
    static int HotKeyIdOf(UINT virtualKey);
    static UINT CommandOfAppCommand(LPARAM lp);

private:
    HWND window_ = nullptr;
    bool registered_[4] = {};
};
