// Entry point of tunehaven. The command line is ignored: a second start only brings the
// running copy to the front.
#include "app/Globals.h"
#include "app/MainWindow.h"
#include "app/Startup.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    hInstance = instance;
    CMainWindow::RegisterWindowClass(instance);
    if (!InitInstance(instance, showCommand)) return 0;
    return RunMessageLoop();
}
