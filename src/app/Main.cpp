// Entry point of tunehaven. The command line is ignored: a second start only brings the
// running copy to the front.
#include "app/Globals.h"
#include "app/MainWindow.h"
#include "app/Startup.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    hInstance = instance;
    CMainWindow::RegisterWindowClass(instance);
    switch (InitInstance(instance, showCommand)) {
    case StartResult::OtherCopyRaised: return 0;
    case StartResult::Failed:          return 1;
    case StartResult::Running:         break;
    }
    return RunMessageLoop();
}
