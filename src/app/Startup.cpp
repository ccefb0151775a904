#include "app/Startup.h"

#include "app/Globals.h"
#include "app/MainWindow.h"
#include "app/Settings.h"
#include "base/Handle.h"

namespace {

// Exists while a copy runs, from before its window is made.
constexpr wchar_t kRunningMutex[] = L"Local\\tunehaven-running";
// How long a second copy waits for the first one's window to appear.
constexpr DWORD kFirstWindowWaitMs = 15000;
constexpr DWORD kFirstWindowPollMs = 50;

using MutexHandle = Handle<HANDLE, &CloseHandle>;

// True when this process is the first copy. The mutex is created and looked for in one step,
// so that of two copies started at once exactly one goes on; the other finds it even while the
// first copy's window does not exist yet. Held for the life of the process.
bool ClaimFirstCopy() {
    static MutexHandle running;
    if (running) return true;
    running.reset(CreateMutexW(nullptr, FALSE, kRunningMutex));
    if (!running) return true;  // no mutex to be had: the window check alone decides
    if (GetLastError() != ERROR_ALREADY_EXISTS) return true;
    running.reset();
    return false;
}

}  // namespace

bool ActivateRunningInstance() {
    HWND running = FindWindowW(kMainWindowClass, nullptr);
    if (!running) return false;
    // A copy hidden in the tray is minimised, so restoring it shows it again.
    if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
    return true;
}

HWND CreateAndShowMainWindow(HINSTANCE instance, int showCommand) {
    LoadSettings();
    HWND window = CMainWindow::Create(instance);
    if (!window) return nullptr;
    CMainWindow* main = CMainWindow::FromHandle(window);
    if (main) {
        main->UpdateTitle();
        main->InsertOptions();
    }
    ShowWindow(window, settings.maximize ? SW_MAXIMIZE : showCommand);
    UpdateWindow(window);
    // After the window is shown: the icon is the way back to a window minimised to the tray.
    if (main) main->AddTrayIcon();
    return window;
}

StartResult InitInstance(HINSTANCE instance, int showCommand) {
    // Nothing is passed to the running copy: the command line carries nothing.
    if (!ClaimFirstCopy()) {
        for (DWORD waited = 0; waited < kFirstWindowWaitMs && !ActivateRunningInstance(); waited += kFirstWindowPollMs)
            Sleep(kFirstWindowPollMs);
        return StartResult::OtherCopyRaised;
    }
    if (ActivateRunningInstance()) return StartResult::OtherCopyRaised;
    InitDataFolders();
    if (!CreateAndShowMainWindow(instance, showCommand)) return StartResult::Failed;
    return StartResult::Running;
}

int RunMessageLoop() {
    MSG msg;
    for (;;) {
        BOOL r = GetMessageW(&msg, nullptr, 0, 0);
        if (r == 0) return static_cast<int>(msg.wParam);
        if (r == -1) continue;
        if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
            CMainWindow* main = CMainWindow::FromHandle(mainWindow);
            if (main && main->TranslateShortcut(&msg)) continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}
