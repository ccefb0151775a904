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

// How the start-up sequence ended.
enum class StartResult { Running, OtherCopyRaised, Failed };

// The start-up sequence: Running when the main window is up; otherwise the program ends, with
// exit code 0 when another copy runs and was raised, 1 when the window could not be created.
StartResult InitInstance(HINSTANCE instance, int showCommand);

// Runs the message loop until WM_QUIT and returns its wParam.
int RunMessageLoop();
