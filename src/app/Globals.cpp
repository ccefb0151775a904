#include "app/Globals.h"

#include "playlists/Playlists.h"

#include <shlobj.h>

HINSTANCE hInstance = nullptr;
HWND mainWindow = nullptr;
CPlaylists playlists;
std::wstring dataFolder;
std::wstring cacheFolder;
std::wstring libraryPath;

bool HasDataFolder() { return !dataFolder.empty(); }

void SetDataFolders(const std::wstring& appData) {
    dataFolder.clear();
    cacheFolder.clear();
    libraryPath.clear();
    if (appData.empty()) return;

    std::wstring folder = appData;
    if (folder.back() != L'\\') folder += L'\\';
    folder += kProgramName;
    CreateDirectoryW(folder.c_str(), nullptr);
    dataFolder = folder + L'\\';
    cacheFolder = dataFolder + L"modules\\";
    libraryPath = dataFolder + L"Library" + L".xml";
}

bool InitDataFolders() {
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, path)) && path[0] != L'\0')
        SetDataFolders(path);
    else
        SetDataFolders(L"");
    return HasDataFolder();
}
