#include "app/Ticker.h"

#include "app/Ids.h"

CTicker::~CTicker() { Stop(); }

namespace {

// What the thread works with; owned by the thread.
struct TickerThreadArgs {
    HWND target;
    EventHandle stopEvent;
};

}  // namespace

bool CTicker::Start(HWND target) {
    if (thread_) return true;
    target_ = target;
    stopEvent_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stopEvent_) return false;
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), stopEvent_.get(), GetCurrentProcess(), &copy, 0,
                         FALSE, DUPLICATE_SAME_ACCESS))
        return false;
    auto* args = new TickerThreadArgs{target, EventHandle(copy)};
    thread_.reset(CreateThread(nullptr, 0, &CTicker::ThreadProc, args, 0, nullptr));
    if (!thread_) delete args;
    return static_cast<bool>(thread_);
}

DWORD WINAPI CTicker::ThreadProc(void* param) {
    auto* args = static_cast<TickerThreadArgs*>(param);
    while (WaitForSingleObject(args->stopEvent.get(), kIntervalMs) == WAIT_TIMEOUT)
        SendMessageW(args->target, WM_APP_TICK, 0, 0);
    delete args;
    return 0;
}

void CTicker::Stop() {
    if (stopEvent_) SetEvent(stopEvent_.get());
    if (thread_) {
        // The thread may be inside SendMessageW to this very thread; only sent messages are
        // let through here (PeekMessageW with PM_NOREMOVE handles them and touches nothing
        // else), so the wait ends as soon as that tick has been handled.
        HANDLE thread = thread_.get();
        DWORD start = GetTickCount();
        for (;;) {
            DWORD elapsed = GetTickCount() - start;
            if (elapsed >= kStopWaitMs) break;
            DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, kStopWaitMs - elapsed,
                                                QS_SENDMESSAGE);
            if (r != WAIT_OBJECT_0 + 1) break;
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        thread_.reset();
    }
    // Ticks sent but not yet handled are delivered now, while the target's objects still
    // exist, and none is left to arrive later.
    if (stopEvent_) {
        MSG msg;
        while (PeekMessageW(&msg, target_, WM_APP_TICK, WM_APP_TICK, PM_REMOVE)) {
            // PeekMessageW hands out WM_QUIT whatever the filter: it is not ours to take.
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
        }
    }
    stopEvent_.reset();
}
