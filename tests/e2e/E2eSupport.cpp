#include "E2eSupport.h"

#include "NetTestSupport.h"

#include "app/Startup.h"

#include <winsock2.h>

#include <algorithm>

namespace e2e {

using playtest::Song;

namespace {

// Generated modules play 2.42 s a row (speed 31, tempo 32).
constexpr int kSpeed = 31;
constexpr int kTempo = 32;

std::wstring SongFileName(const LocalSong& song, int id) {
    return song.artist + L"\\song" + std::to_wstring(id) + L".mod";
}

}  // namespace

bool WriteLocalLibrary(const std::vector<LocalSong>& songs) {
    std::vector<Song> records;
    bool written = true;
    int id = 0;
    for (const LocalSong& local : songs) {
        ++id;
        // The module writer makes songs of two rows or more.
        int rows = std::max(2, int(local.seconds / playtest::ModuleSeconds(1, kSpeed, kTempo)) + 1);
        Song s{SongFileName(local, id), playtest::Module(rows, id % 5, false, 0, 1, kSpeed, kTempo), 1, 31,
               local.seconds, 0.0f, local.seconds - 0.5f};
        s.artist = local.artist;
        s.title = local.title;
        if (local.cached) written = playtest::WriteSongFile(cacheFolder + s.file, s.image) && written;
        records.push_back(s);
    }
    return playtest::WriteCatalogue(libraryPath, records) && written;
}

std::wstring LocalSongFile(const std::vector<LocalSong>& songs, int id) {
    return cacheFolder + SongFileName(songs[size_t(id - 1)], id);
}

bool WritePlaylistFile(const std::wstring& path, const std::vector<int>& ids) {
    size_t slash = path.rfind(L'\\');
    if (slash != std::wstring::npos) CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    return playtest::PlaylistOf(ids)->Save(path.c_str());
}

std::vector<int> ReadPlaylistFile(const std::wstring& path) {
    CPlaylist playlist(CPlaylist::kUser);
    std::vector<int> ids;
    if (!playlist.Load(path.c_str())) return ids;
    for (int i = 0, id; (id = playlist.GetIdAt(i)) != 0; ++i) ids.push_back(id);
    return ids;
}

// A port that was free a moment ago: bound, read and released again.
std::wstring ClosedServerUrl() {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    int port = 1;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s != INVALID_SOCKET) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof(address);
        if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
            getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            port = ntohs(address.sin_port);
        closesocket(s);
    }
    return L"http://127.0.0.1:" + std::to_wstring(port) + L"/lib/";
}

// ---- Status log ------------------------------------------------------------------------------

void StatusLog::Attach(HWND bar) {
    Detach();
    if (bar && SetWindowSubclass(bar, &StatusLog::Proc, 1, reinterpret_cast<DWORD_PTR>(this))) bar_ = bar;
}

void StatusLog::Detach() {
    if (bar_ && IsWindow(bar_)) RemoveWindowSubclass(bar_, &StatusLog::Proc, 1);
    bar_ = nullptr;
}

// Worker threads and the window thread alike hand the bar its texts as posted messages.
LRESULT CALLBACK StatusLog::Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<StatusLog*>(data);
    if (msg == WM_APP_STATUS_TEXT) self->texts_.push_back(lp ? reinterpret_cast<const wchar_t*>(lp) : L"");
    if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(window, &StatusLog::Proc, 1);
        self->bar_ = nullptr;
    }
    return DefSubclassProc(window, msg, wp, lp);
}

bool StatusLog::Saw(const std::wstring& text) const {
    for (const auto& t : texts_)
        if (t == text) return true;
    return false;
}

std::wstring StatusLog::Joined() const {
    std::wstring all;
    for (const auto& t : texts_) all += L"[" + t + L"] ";
    return all;
}

// ---- Program ---------------------------------------------------------------------------------

Program::Program() = default;

Program::~Program() {
    Close();
    SetDataFolders(L"");
}

bool Program::Open(const std::function<void()>& prepare) {
    Close();
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!hInstance) hInstance = instance;
    CMainWindow::RegisterWindowClass(instance);
    SetDataFolders(appData_.Path());
    if (prepare) prepare();
    window_ = CreateAndShowMainWindow(instance, SW_SHOWNORMAL);
    if (!window_) return false;
    status_.Clear();
    status_.Attach(FindWindowExW(window_, nullptr, STATUSCLASSNAMEW, nullptr));
    return true;
}

bool Program::Close() {
    if (!IsOpen()) {
        window_ = nullptr;
        return true;
    }
    status_.Detach();
    SendMessageW(window_, WM_CLOSE, 0, 0);
    HWND w = window_;
    bool closed = th::PumpUntil([w] { return !IsWindow(w); }, 20000);
    th::DropQuitMessage();
    window_ = nullptr;
    return closed;
}

// ---- Fixture ---------------------------------------------------------------------------------

// No case may reach a server it did not choose (the default address may have one running).
void E2eTest::SetUp() {
    th::StartWithEmptySettings();
    th::WriteSettingString(L"server", ClosedServerUrl());
}

void E2eTest::TearDown() {
    Stop();
    th::StartWithEmptySettings();
}

bool E2eTest::Start(const std::function<void()>& prepare) {
    hub = nullptr;
    tree = nullptr;
    list = nullptr;
    if (!program.Open(prepare)) return false;
    hub = CMainWindow::FromHandle(program.Window());
    if (!hub) return false;
    tree = hub->GetTree();
    list = hub->GetList();
    if (!tree || !list) return false;
    if (!th::PumpUntil([&] { return tree->IsReady(); }, 60000)) return false;
    // The tree tells the main window with a posted message: let it arrive.
    th::PumpFor(100);
    return true;
}

bool E2eTest::Restart() {
    Stop();
    return Start();
}

std::vector<std::wstring> E2eTest::Children(HTREEITEM parent) const {
    std::vector<std::wstring> names;
    HWND control = tree->GetControl();
    for (HTREEITEM child = TreeView_GetChild(control, parent); child; child = TreeView_GetNextSibling(control, child))
        names.push_back(tree->GetNodeText(child));
    return names;
}

void E2eTest::Select(HTREEITEM item) {
    SendMessageW(tree->GetControl(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

void E2eTest::DoubleClickRow(int row) { th::DoubleClickListRow(list->GetWindow(), row); }

int E2eTest::SongOfRow(int row) const {
    CPlaylist* shown = list->GetPlaylist();
    return shown ? shown->GetIdAt(row) : 0;
}

int E2eTest::RowOf(const std::wstring& title) const {
    for (int row = 0; row < list->RowCount(); ++row) {
        const CSong* song = hub->GetLibrary()->GetSong(SongOfRow(row));
        if (song && song->DisplayTitle() == title) return row;
    }
    return -1;
}

bool E2eTest::TitleBecomes(const std::wstring& title, DWORD timeoutMs) {
    return playtest::WaitFor([&] { return Title() == title; }, timeoutMs);
}

std::wstring E2eTest::StatusPart(int part) const {
    return nettest::PartText(FindWindowExW(program.Window(), nullptr, STATUSCLASSNAMEW, nullptr), part);
}

}  // namespace e2e
