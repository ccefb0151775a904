#pragma once
// Helpers shared by the client suites: test data paths, message pumping and a clean
// settings key. Everything here runs under Wine on the build tree's own prefix and display.

#include <windows.h>

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

// Dispatches messages of this thread until `done` returns true or `timeoutMs` passes.
// Returns the last value of `done`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);

// Dispatches messages of this thread for `ms` milliseconds.
void PumpFor(DWORD ms);

// Deletes HKCU\Software\tunehaven and everything below it.
void ClearSettingsKey();

// Whole-file helpers for checks.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::string ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);

}  // namespace th
