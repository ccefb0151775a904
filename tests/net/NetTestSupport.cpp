#include "NetTestSupport.h"

#include <commctrl.h>

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

#include <winsock2.h>

namespace nettest {

struct CannedServer::State {
    SOCKET listener = INVALID_SOCKET;
    int port = 0;
    HANDLE thread = nullptr;
    CRITICAL_SECTION lock;
    std::string response;
    std::vector<std::pair<std::string, std::string>> byPath;
    LONG requests = 0;
    HANDLE answer = nullptr;  // signalled unless held
};

CannedServer::CannedServer() : state_(new State) {
    InitializeCriticalSection(&state_->lock);
    state_->answer = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    state_->listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    int size = sizeof(addr);
    if (state_->listener == INVALID_SOCKET ||
        bind(state_->listener, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        listen(state_->listener, 8) != 0 ||
        getsockname(state_->listener, reinterpret_cast<sockaddr*>(&addr), &size) != 0)
        return;
    state_->port = ntohs(addr.sin_port);
    state_->thread = CreateThread(nullptr, 0, &CannedServer::Loop, state_, 0, nullptr);
}

CannedServer::~CannedServer() {
    SetEvent(state_->answer);
    closesocket(state_->listener);  // ends the accept loop
    if (state_->thread) {
        WaitForSingleObject(state_->thread, 5000);
        CloseHandle(state_->thread);
    }
    DeleteCriticalSection(&state_->lock);
    CloseHandle(state_->answer);
    delete state_;
    WSACleanup();
}

std::wstring CannedServer::Url() const {
    if (!state_->thread) return {};
    return L"http://127.0.0.1:" + std::to_wstring(state_->port) + L"/";
}

void CannedServer::SetResponse(const std::string& response) {
    EnterCriticalSection(&state_->lock);
    state_->response = response;
    LeaveCriticalSection(&state_->lock);
}

void CannedServer::SetResponseFor(const std::string& pathPart, const std::string& response) {
    EnterCriticalSection(&state_->lock);
    state_->byPath.emplace_back(pathPart, response);
    LeaveCriticalSection(&state_->lock);
}

void CannedServer::Hold(bool hold) {
    if (hold) ResetEvent(state_->answer);
    else SetEvent(state_->answer);
}

int CannedServer::Requests() const { return InterlockedCompareExchange(&state_->requests, 0, 0); }

std::string CannedServer::Ok(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

DWORD WINAPI CannedServer::Loop(void* arg) {
    auto* state = static_cast<State*>(arg);
    for (;;) {
        SOCKET client = accept(state->listener, nullptr, nullptr);
        if (client == INVALID_SOCKET) return 0;
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            int n = recv(client, buffer, sizeof(buffer), 0);
            if (n <= 0) break;
            request.append(buffer, n);
        }
        InterlockedIncrement(&state->requests);
        WaitForSingleObject(state->answer, 60000);
        const std::string line = request.substr(0, request.find("\r\n"));
        EnterCriticalSection(&state->lock);
        std::string response = state->response;
        for (const auto& [part, answer] : state->byPath)
            if (line.find(part) != std::string::npos) response = answer;
        LeaveCriticalSection(&state->lock);
        send(client, response.data(), static_cast<int>(response.size()), 0);
        shutdown(client, SD_SEND);
        while (recv(client, buffer, sizeof(buffer), 0) > 0) {
        }
        closesocket(client);
    }
}

std::wstring PartText(HWND bar, int part) {
    int length = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, part, 0));
    std::wstring text(length + 1, L'\0');
    SendMessageW(bar, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text.data()));
    text.resize(length);
    return text;
}

}  // namespace nettest
