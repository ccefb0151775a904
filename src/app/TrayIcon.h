#pragma once
// The program's icon in the notification area: its tooltip follows the playing song, and it
// turns the shell's mouse reports into a delayed single click (play or pause), a double
// click and a right click that opens the tray menu only when released over the icon.

#include <windows.h>
#include <shellapi.h>

#include <string>

class CTrayIcon {
public:
    CTrayIcon();
    virtual ~CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Adds the icon for `window` with the window class's icon and the idle tooltip; its
    // mouse reports arrive at the window as WM_APP_TRAY. A notification area that is not
    // there leaves the program without an icon (IsShown false). `again`: the shell restarted
    // and lost the icon; it is added anew with the tooltip it had.
    void AddTrayIcon(HWND window, bool again = false);

    // Sets the tooltip. The shell is only called when the text differs from the shown one;
    // returns whether it was called.
    bool UpdateTrayTip(const std::wstring& text);

    // Takes the icon out of the notification area (nothing if it was never added).
    void RemoveTrayIcon();

    bool IsShown() const { return shown_; }
    const wchar_t* Tip() const { return trayIcon_.szTip; }

    // "[m:ss/m:ss]\nartist\ntitle" for the song at `seconds` of `length`, ampersands escaped
    // for the tooltip and cut to what the tooltip holds.
    static std::wstring SongTip(double seconds, double length, std::wstring_view artist,
                               std::wstring_view title);
    // Cuts text to the tooltip's 127 characters without leaving half of a character: neither
    // half of a surrogate pair nor part of an escaped ampersand.
    static std::wstring CutTip(std::wstring text);

    // Single click: a left press starts the wait for a second click (the double-click time,
    // in ticks of 100 ms, plus one); a double click drops the pending click.
    void StartClickCountdown();
    void CancelClick() { trayClickCountdown_ = 0; }
    // Counts one tick down; true on the tick at which a pending single click is due.
    bool CountDownClick();
    bool IsClickPending() const { return trayClickCountdown_ != 0; }

    // Right click: the rectangle of the window under the cursor at the press (the icon's
    // host); the release opens the menu only inside it, so a drag away from the icon does not.
    void RememberClickRect(POINT cursor);
    bool IsInClickRect(POINT cursor) const;

private:
    NOTIFYICONDATAW trayIcon_;
    bool shown_ = false;
    int trayClickCountdown_ = 0;  // ticks until a single click acts, 0 = none pending
    RECT trayClickRect_ = {};
};
