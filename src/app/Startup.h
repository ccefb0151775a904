#pragma once
// Start-up of the program: one running copy per desktop, the data folders, the settings and
// the main window.

#include <windows.h>

// If the program already runs, brings its main window to the front (restoring it from the
// tray or the task bar) and returns true.
bool ActivateRunningInstance();

// Loads the settings, creates the main window with every object and shows it (maximised if
// it was closed maximised, otherwise with `showCommand`). Returns the window, or 0 if it could
// not be created. The data folders must be set before.
HWND CreateAndShowMainWindow(HINSTANCE instance, int showCommand);

// The start-up sequence. Returns true if the main window is up, false if the program must end
// (another copy runs, or the window cannot be created).
bool InitInstance(HINSTANCE instance, int showCommand);

// Runs the message loop until WM_QUIT and returns its wParam.
int RunMessageLoop();
