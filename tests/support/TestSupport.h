#pragma once
// Helpers shared by the client suites: test data paths, message pumping and a clean
// settings key. Everything here runs under Wine on the build tree's own prefix and display.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace th {

// The value of an environment variable set by the test wrapper, or "" when missing.
std::wstring Env(const wchar_t* name);

// A Unix path as the Windows path Wine maps it to (Z:\...). Windows paths pass unchanged.
std::wstring UnixToWindowsPath(const std::wstring& unixPath);

// Folder of the fetched real modules (TH_MUSIC_DIR) as a Windows path, with a trailing backslash.
std::wstring MusicDir();

// Folder of the native build tree (TH_NATIVE_DIR) as a Windows path, with a trailing backslash.
std::wstring NativeDir();

// A fresh empty temporary folder (deleted with its contents by the destructor).
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& Path() const { return path_; }  // ends with a backslash
    std::wstring File(const std::wstring& name) const { return path_ + name; }
private:
    std::wstring path_;
};

// A monotonic clock in seconds, for measuring intervals in tests and benchmarks.
double Seconds();

// Dispatches messages of this thread until `done` returns true or `timeoutMs` passes.
// Returns the last value of `done`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Dispatches messages of this thread for `ms` milliseconds.
void PumpFor(DWORD ms);

// Deletes HKCU\Software\tunehaven and everything below it.
void ClearSettingsKey();

// Starts from an empty HKCU\Software\tunehaven key and puts the program's in-memory settings
// back to their defaults.
void StartWithEmptySettings();

// Values below HKCU\Software\tunehaven (subkey: a key below it such as L"column1", or null).
bool ReadSettingDword(const wchar_t* name, DWORD* value, const wchar_t* subkey = nullptr);
bool WriteSettingDword(const wchar_t* name, DWORD value, const wchar_t* subkey = nullptr);
bool WriteSettingBinary(const wchar_t* name, const void* data, DWORD size);
bool WriteSettingString(const wchar_t* name, const std::wstring& value);
// True if the value exists; its registry type and size in bytes go to type and size if given.
bool SettingExists(const wchar_t* name, DWORD* type = nullptr, DWORD* size = nullptr,
                   const wchar_t* subkey = nullptr);

// A key as the message loop hands it to the main window's shortcuts, with `modifier` (VK_SHIFT,
// VK_CONTROL, VK_MENU or 0) held; whether the window took it.
bool PressShortcut(HWND main, UINT key, UINT modifier = 0);

// A main window made the way start-up makes it (settings loaded from the registry, every
// object created, title set, shown), with the program's data folder in a fresh temporary
// folder instead of the user's application-data folder. The destructor closes the window if
// it is still open and drops the WM_QUIT its destruction posts.
class TestMainWindow {
public:
    explicit TestMainWindow(int showCommand = SW_SHOWNORMAL);
    // `prepare` runs once the data folders are set and before the window exists, so that it
    // can write the catalogue, songs or playlists that the window reads as it starts.
    TestMainWindow(int showCommand, const std::function<void()>& prepare);
    ~TestMainWindow();
    TestMainWindow(const TestMainWindow&) = delete;
    TestMainWindow& operator=(const TestMainWindow&) = delete;

    HWND Handle() const { return window_; }
    bool IsOpen() const { return window_ && IsWindow(window_); }
    // Folder standing in for the application-data folder (ends with a backslash).
    const std::wstring& AppData() const { return appData_.Path(); }
    // Pumps until the library tree has been built from the catalogue (the window's first
    // WM_APP_LIBRARY_READY 1). Returns false on time-out.
    bool WaitUntilReady(DWORD timeoutMs = 30000);
    // Sends WM_CLOSE and pumps until the window is destroyed. Returns false on time-out.
    bool Close(DWORD timeoutMs = 10000);

private:
    TempDir appData_;
    HWND window_ = nullptr;
};

// A plain visible top-level window to host one control under test. Messages it gets go to
// DefWindowProcW except WM_NOTIFY and WM_COMMAND, which are counted.
class TestParentWindow {
public:
    TestParentWindow(int width = 800, int height = 600);
    ~TestParentWindow();
    TestParentWindow(const TestParentWindow&) = delete;
    TestParentWindow& operator=(const TestParentWindow&) = delete;
    HWND Handle() const { return window_; }
    int NotifyCount() const;
    int CommandCount() const;
private:
    HWND window_ = nullptr;
};

// A double click on a row of a list view, as the mouse sends it: down, up, double click, up
// on the row's label.
void DoubleClickListRow(HWND list, int row);

// Types `text` into the label a tree view is editing and ends the edit as Enter would. False
// when no label is being edited.
bool FinishLabelEdit(HWND tree, const wchar_t* text);

// Drops a WM_QUIT waiting in this thread's queue (a destroyed main window posts one).
void DropQuitMessage();

// Full Windows path of a file beside the running test executable's build tree root
// (tests live in <tree>\tests\, the program in <tree>\).
std::wstring BuildTreeFile(const std::wstring& name);

// Whole-file helpers for checks.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);

// Bytes in the files of `folder` (ending with a backslash) and of every folder below it.
uint64_t FolderBytes(const std::wstring& folder);

// Bytes in use on every heap of the process.
size_t HeapBytesInUse();

}  // namespace th
