#include "TestSupport.h"

#include "app/Globals.h"
#include "app/MainWindow.h"
#include "ui/tree/WndTree.h"
#include "app/Settings.h"
#include "app/Startup.h"

#include <commctrl.h>
#include <shlwapi.h>

#include <cstdio>
#include <vector>

namespace th {

std::wstring Env(const wchar_t* name) {
    DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
    if (n == 0) return {};
    std::wstring value(n, L'\0');
    n = GetEnvironmentVariableW(name, value.data(), n);
    value.resize(n);
    return value;
}

std::wstring UnixToWindowsPath(const std::wstring& unixPath) {
    if (unixPath.empty() || unixPath[0] != L'/') return unixPath;
    std::wstring path = L"Z:" + unixPath;
    for (auto& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

static std::wstring Folder(const wchar_t* var) {
    std::wstring dir = UnixToWindowsPath(Env(var));
    if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
    return dir;
}

std::wstring MusicDir() { return Folder(L"TH_MUSIC_DIR"); }
std::wstring NativeDir() { return Folder(L"TH_NATIVE_DIR"); }

static void DeleteTree(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = dir + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(full + L"\\");
            } else {
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}

TempDir::TempDir() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    static LONG counter = 0;
    for (;;) {
        wchar_t name[MAX_PATH];
        swprintf(name, MAX_PATH, L"%lsthtest-%lu-%ld\\", base, GetCurrentProcessId(),
                 InterlockedIncrement(&counter));
        if (CreateDirectoryW(name, nullptr)) {
            path_ = name;
            return;
        }
    }
}

TempDir::~TempDir() { DeleteTree(path_); }

double Seconds() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        // Looked at after every message too: a window that keeps repainting while another
        // thread sends it work would otherwise hide every state between the first and the last.
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (done()) return true;
        }
        if (done()) return true;
        if (GetTickCount() - start >= timeoutMs) return done();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void PumpFor(DWORD ms) {
    PumpUntil([] { return false; }, ms);
}

void ClearSettingsKey() {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\tunehaven");
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return bytes;
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) bytes.append(buffer, n);
    fclose(f);
    return bytes;
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

uint64_t FolderBytes(const std::wstring& folder) {
    uint64_t total = 0;
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return 0;
    do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            total += FolderBytes(folder + name + L"\\");
        else
            total += (static_cast<uint64_t>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow;
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    return total;
}

size_t HeapBytesInUse() {
    HANDLE heaps[64];
    DWORD count = GetProcessHeaps(64, heaps);
    size_t total = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        PROCESS_HEAP_ENTRY entry{};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
        }
        HeapUnlock(heaps[i]);
    }
    return total;
}

}  // namespace th

// ---- Settings key, main window and host windows -------------------------------------------

namespace th {

namespace {

std::wstring SettingsPath(const wchar_t* subkey) {
    std::wstring path = kSettingsKey;
    if (subkey) path += std::wstring(L"\\") + subkey;
    return path;
}

bool WriteSettingValue(const wchar_t* name, DWORD type, const void* data, DWORD size,
                       const wchar_t* subkey) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsPath(subkey).c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size) ==
              ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

}  // namespace

void StartWithEmptySettings() {
    ClearSettingsKey();
    ResetSettings();
}

bool ReadSettingDword(const wchar_t* name, DWORD* value, const wchar_t* subkey) {
    DWORD size = sizeof(*value);
    return RegGetValueW(HKEY_CURRENT_USER, SettingsPath(subkey).c_str(), name, RRF_RT_REG_DWORD,
                        nullptr, value, &size) == ERROR_SUCCESS;
}

bool WriteSettingDword(const wchar_t* name, DWORD value, const wchar_t* subkey) {
    return WriteSettingValue(name, REG_DWORD, &value, sizeof(value), subkey);
}

bool WriteSettingBinary(const wchar_t* name, const void* data, DWORD size) {
    return WriteSettingValue(name, REG_BINARY, data, size, nullptr);
}

bool WriteSettingString(const wchar_t* name, const std::wstring& value) {
    return WriteSettingValue(name, REG_SZ, value.c_str(),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)), nullptr);
}

bool SettingExists(const wchar_t* name, DWORD* type, DWORD* size, const wchar_t* subkey) {
    DWORD t = 0, n = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, SettingsPath(subkey).c_str(), name, RRF_RT_ANY, &t,
                     nullptr, &n) != ERROR_SUCCESS)
        return false;
    if (type) *type = t;
    if (size) *size = n;
    return true;
}

void DropQuitMessage() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

bool PressShortcut(HWND main, UINT key, UINT modifier) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    if (modifier) keys[modifier] = 0x80;
    SetKeyboardState(keys);
    const bool alt = modifier == VK_MENU;
    MSG msg = {GetFocus() ? GetFocus() : main, UINT(alt ? WM_SYSKEYDOWN : WM_KEYDOWN), key, alt ? LPARAM(1) << 29 : 0, 0, {}};
    CMainWindow* window = CMainWindow::FromHandle(main);
    const bool taken = window && window->TranslateShortcut(&msg);
    if (modifier) keys[modifier] = 0;
    SetKeyboardState(keys);
    return taken;
}

TestMainWindow::TestMainWindow(int showCommand) : TestMainWindow(showCommand, [] {}) {}

TestMainWindow::TestMainWindow(int showCommand, const std::function<void()>& prepare) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!hInstance) hInstance = instance;
    CMainWindow::RegisterWindowClass(instance);
    SetDataFolders(appData_.Path());
    prepare();
    window_ = CreateAndShowMainWindow(instance, showCommand);
    PumpFor(50);
}

bool TestMainWindow::WaitUntilReady(DWORD timeoutMs) {
    CMainWindow* hub = CMainWindow::FromHandle(window_);
    return hub && PumpUntil([hub] { return hub->GetTree() && hub->GetTree()->IsReady(); }, timeoutMs);
}

TestMainWindow::~TestMainWindow() {
    if (IsOpen()) Close();
    DropQuitMessage();
    SetDataFolders(L"");
}

bool TestMainWindow::Close(DWORD timeoutMs) {
    if (IsOpen()) SendMessageW(window_, WM_CLOSE, 0, 0);
    bool closed = PumpUntil([this] { return !IsWindow(window_); }, timeoutMs);
    DropQuitMessage();
    return closed;
}

void DoubleClickListRow(HWND list, int row) {
    RECT r{};
    ListView_GetItemRect(list, row, &r, LVIR_LABEL);
    LPARAM at = MAKELPARAM(r.left + 4, (r.top + r.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
    SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
}

bool FinishLabelEdit(HWND tree, const wchar_t* text) {
    HWND edit = TreeView_GetEditControl(tree);
    if (!edit) return false;
    SetWindowTextW(edit, text);
    TreeView_EndEditLabelNow(tree, FALSE);
    PumpFor(100);
    return true;
}

namespace {

constexpr const wchar_t* kParentClass = L"thTestParent";
int notifyCount = 0;
int commandCount = 0;

LRESULT CALLBACK ParentProc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NOTIFY) ++notifyCount;
    if (msg == WM_COMMAND) ++commandCount;
    return DefWindowProcW(window, msg, wp, lp);
}

}  // namespace

TestParentWindow::TestParentWindow(int width, int height) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &ParentProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kParentClass;
    RegisterClassExW(&wc);
    notifyCount = commandCount = 0;
    window_ = CreateWindowExW(0, kParentClass, L"test", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0,
                              0, width, height, nullptr, nullptr, instance, nullptr);
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
}

TestParentWindow::~TestParentWindow() {
    if (window_) DestroyWindow(window_);
    PumpFor(10);
}

int TestParentWindow::NotifyCount() const { return notifyCount; }
int TestParentWindow::CommandCount() const { return commandCount; }

std::wstring BuildTreeFile(const std::wstring& name) {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    for (int up = 0; up < 2; ++up) {  // drop the file name, then the tests folder
        size_t slash = dir.find_last_of(L"\\/");
        if (slash == std::wstring::npos) return name;
        dir.resize(slash);
    }
    return dir + L"\\" + name;
}

}  // namespace th
