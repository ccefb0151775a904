#pragma once
// The ticker: a thread that sends WM_APP_TICK to a window every 100 ms. The tick is how the
// main window follows playback (title, position, buttons), so it is sent, not posted: a slow
// window thread gets fewer ticks instead of a growing queue of them.

#include "base/Handle.h"

#include <windows.h>

class CTicker {
public:
    static constexpr DWORD kIntervalMs = 100;
    static constexpr DWORD kStopWaitMs = 5000;

    CTicker() = default;
    virtual ~CTicker();
    CTicker(const CTicker&) = delete;
    CTicker& operator=(const CTicker&) = delete;

    // Starts sending ticks to `target`. Returns false if the event or the thread could not be
    // made (the window then simply gets no ticks).
    bool Start(HWND target);

    // Called on the target window's thread. Tells the thread to end and waits for it up to
    // kStopWaitMs; a tick already being sent is handled during the wait (so that it cannot
    // block the wait), and ticks still queued afterwards are handled before returning.
    // After Stop returns no further tick is sent.
    void Stop();

    bool IsRunning() const { return static_cast<bool>(thread_); }

private:
    static DWORD WINAPI ThreadProc(void* param);

    HWND target_ = nullptr;
    // Manual reset; set by Stop. The thread waits on its own duplicate of it, so that a thread
    // that outlives the wait in Stop never touches this object.
    EventHandle stopEvent_;
    ThreadHandle thread_;
};
