#include "TestSupport.h"

#include "app/Ids.h"
#include "app/MainWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// Records, in order, the ticks and shutdown messages that reach the main window.
std::vector<UINT> seen;
WNDPROC previousProc = nullptr;

LRESULT CALLBACK RecordingProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP_TICK || msg == WM_CLOSE || msg == WM_DESTROY) seen.push_back(msg);
    return CallWindowProcW(previousProc, window, msg, wp, lp);
}

void Record(HWND window) {
    seen.clear();
    previousProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingProc)));
}

size_t IndexOf(UINT msg) {
    for (size_t i = 0; i < seen.size(); ++i)
        if (seen[i] == msg) return i;
    return seen.size();
}

class TickTest : public ::testing::Test {
protected:
    void SetUp() override { th::StartWithEmptySettings(); }
    void TearDown() override { th::StartWithEmptySettings(); }
};

}  // namespace

TEST_F(TickTest, TicksArriveAboutTenTimesASecond) {
    th::TestMainWindow main;
    CMainWindow* hub = CMainWindow::FromHandle(main.Handle());
    ASSERT_NE(hub, nullptr);
    const int before = hub->TicksHandled();
    th::PumpFor(2000);
    const int ticks = hub->TicksHandled() - before;
    // Loose bounds: a busy machine delays ticks, but neither a 1 s nor a 50 ms interval passes.
    EXPECT_GE(ticks, 8);
    EXPECT_LE(ticks, 24);
}

TEST_F(TickTest, ClosingWithATickInFlightHandlesNoneAfterTheObjectsAreGone) {
    for (int round = 0; round < 3; ++round) {
        th::TestMainWindow main;
        Record(main.Handle());
        th::PumpFor(150);
        // Not pumping lets the ticker block inside SendMessageW with a tick for this thread.
        Sleep(250);
        DWORD start = GetTickCount();
        SendMessageW(main.Handle(), WM_CLOSE, 0, 0);
        DWORD closeMs = GetTickCount() - start;
        EXPECT_FALSE(main.IsOpen());
        th::PumpFor(300);

        const size_t close = IndexOf(WM_CLOSE), destroy = IndexOf(WM_DESTROY);
        ASSERT_LT(close, seen.size());
        ASSERT_LT(destroy, seen.size());
        // The tick that waited was delivered while the window closed, before it was destroyed,
        // and no tick came after.
        EXPECT_GT(destroy, close + 1) << "round " << round;
        for (size_t i = destroy; i < seen.size(); ++i) EXPECT_NE(seen[i], WM_APP_TICK);
        // The waiting tick does not hold up the shutdown until the ticker's 5 s time-out.
        // (Destroying a window can itself take 2 s under Wine with a managed X11 window.)
        EXPECT_LT(closeMs, 4500u);
    }
}

TEST_F(TickTest, TicksStopWhenTheWindowCloses) {
    th::TestMainWindow main;
    Record(main.Handle());
    th::PumpFor(300);
    ASSERT_TRUE(main.Close());
    const size_t count = seen.size();
    th::PumpFor(400);
    EXPECT_EQ(seen.size(), count);
    EXPECT_GE(std::count(seen.begin(), seen.end(), WM_APP_TICK), 1);
}

TEST_F(TickTest, ClosingLeavesTheQuitMessageForTheMessageLoop) {
    th::TestMainWindow main;
    th::PumpFor(250);
    SendMessageW(main.Handle(), WM_CLOSE, 0, 0);
    ASSERT_FALSE(main.IsOpen());
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u);
}
