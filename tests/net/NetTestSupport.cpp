#include "NetTestSupport.h"

#include <cstdio>

#include "TestSupport.h"
#include "app/Ids.h"

namespace nettest {

bool WriteCatalogue(const std::wstring& path, int version, const std::vector<Song>& songs) {
    std::wstring xml = L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<LIBRARY>";
    xml += L"\r\n<VERSION>" + std::to_wstring(version) + L"</VERSION>";
    xml += L"\r\n<COUNT>" + std::to_wstring(songs.size()) + L"</COUNT>";
    int id = 0;
    for (const Song& s : songs) {
        ++id;
        wchar_t length[32];
        swprintf(length, 32, L"%.3f", s.length);
        xml += L"\r\n<SONG><ID>" + std::to_wstring(id) + L"</ID><TITLE>Song " +
               std::to_wstring(id) + L"</TITLE><ARTIST>Tester</ARTIST><FILE>" + s.file +
               L"</FILE><UPDATE>" + std::to_wstring(s.update) + L"</UPDATE><TYPE>1</TYPE><SIZE>" +
               std::to_wstring(s.size) + L"</SIZE><LENGTH>" + length + L"</LENGTH><START>0</START>" +
               L"<END>" + length + L"</END></SONG>";
    }
    xml += L"\r\n</LIBRARY>";
    std::string bytes(reinterpret_cast<const char*>(xml.data()), xml.size() * sizeof(wchar_t));
    return th::WriteFileBytes(path, bytes);
}

MessageWindow::MessageWindow() {
    static ATOM atom = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = &MessageWindow::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"th-net-test";
        return RegisterClassExW(&wc);
    }();
    (void)atom;
    hwnd_ = CreateWindowExW(0, L"th-net-test", L"", WS_OVERLAPPEDWINDOW, 0, 0, 800, 300, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

MessageWindow::~MessageWindow() {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
}

LRESULT CALLBACK MessageWindow::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && msg >= WM_APP) {
        self->messages_.push_back({msg, wp, lp});
        return 1;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

std::vector<MessageWindow::Message> MessageWindow::NetResults() const {
    std::vector<Message> results;
    for (const auto& m : messages_)
        if (m.msg == WM_APP_NET_DONE || m.msg == WM_APP_NET_FAILED) results.push_back(m);
    return results;
}

bool MessageWindow::WaitForNetResult(DWORD timeoutMs) {
    size_t before = NetResults().size();
    return th::PumpUntil([&] { return NetResults().size() > before; }, timeoutMs);
}

static std::wstring ServersDir() {
    std::wstring dir = th::UnixToWindowsPath(th::Env(L"TH_NET_SERVERS"));
    if (!dir.empty() && dir.back() != L'\\') dir += L'\\';
    return dir;
}

static std::wstring Widen(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::wstring ServerUrl(const std::string& fault) {
    std::wstring dir = ServersDir();
    if (dir.empty()) return {};
    std::string port = th::ReadFileBytes(dir + Widen((fault.empty() ? "normal" : fault) + ".port"));
    while (!port.empty() && (port.back() == '\n' || port.back() == '\r')) port.pop_back();
    if (port.empty()) return {};
    return L"http://127.0.0.1:" + Widen(port) + L"/lib/";
}

std::wstring ServedLibrary() {
    std::wstring dir = ServersDir();
    return dir.empty() ? dir : dir + L"library\\";
}

std::string ServerLog(const std::string& fault) {
    std::wstring dir = ServersDir();
    if (dir.empty()) return {};
    return th::ReadFileBytes(dir + Widen((fault.empty() ? "normal" : fault) + ".log"));
}

}  // namespace nettest
