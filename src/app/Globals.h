#pragma once
// Process-wide handles and paths of the program, set once at start-up.

#include <windows.h>

#include "app/Version.h"

#include <string>

class CPlaylists;

// The module instance handle given to the entry point.
extern HINSTANCE hInstance;
// The main window (0 until it exists, and again after it is destroyed).
extern HWND mainWindow;
// The set of user playlists: exists before the main window and outlives it.
extern CPlaylists playlists;

// The per-user data folder: "<application data>\tunehaven\". Empty when the application-data
// folder could not be determined; every file operation must then refuse to act (see
// HasDataFolder) instead of working relative to the current directory.
extern std::wstring dataFolder;
// dataFolder + "modules\": the song cache. Empty when dataFolder is.
extern std::wstring cacheFolder;
// dataFolder + "Library.xml": the local catalogue. Empty when dataFolder is.
extern std::wstring libraryPath;

// Program name and version, as shown in the title, the tray tooltip and the About box.
inline constexpr const wchar_t* kProgramName = L"tunehaven";
inline constexpr const wchar_t* kProgramVersion = TH_VERSION_WIDE;

// True when the data folder is known. Code that reads or writes files below dataFolder,
// cacheFolder or libraryPath checks this (or an empty path) first.
bool HasDataFolder();

// Builds dataFolder, cacheFolder and libraryPath below the given application-data folder and
// creates the data folder (an existing one is fine; a failure to create it is left to the
// operations that later use it). An empty appData leaves all three paths empty.
void SetDataFolders(const std::wstring& appData);

// Asks the shell for the user's application-data folder and calls SetDataFolders with it (or
// with "" when the shell cannot tell). Returns HasDataFolder().
bool InitDataFolders();
