#include "TreeHost.h"

#include "XmlTestFiles.h"
#include "library/Library.h"
#include "playlists/Playlist.h"
#include "playlists/Playlists.h"
#include "ui/tree/WndTree.h"

#include "app/Ids.h"

namespace treetest {

namespace {

constexpr const wchar_t* kHostClass = L"TreeTestHost";

std::wstring Element(const wchar_t* name, const std::wstring& text) {
    return std::wstring(L"<") + name + L">" + text + L"</" + name + L">";
}

std::wstring SongRecord(int id, const Song& song) {
    std::wstring file = song.file.empty() ? L"s" + std::to_wstring(id) + L".mod" : song.file;
    std::wstring record = L"\r\n<SONG>" + Element(L"ID", std::to_wstring(id)) +
                          Element(L"TITLE", L"Song " + std::to_wstring(id)) +
                          Element(L"ARTIST", song.artist);
    if (!song.coop.empty()) record += Element(L"COOP", song.coop);
    record += Element(L"FILE", file) + Element(L"FLAGS", std::to_wstring(song.flags)) +
              Element(L"SIZE", L"1000") + Element(L"LENGTH", L"60") +
              Element(L"END", std::to_wstring(song.end)) + L"</SONG>";
    return record;
}

}  // namespace

bool WriteCatalogue(const std::wstring& path, const std::vector<Song>& songs, int version) {
    std::wstring body = L"\r\n<LIBRARY>" + Element(L"VERSION", std::to_wstring(version));
    for (size_t i = 0; i < songs.size(); ++i) body += SongRecord(static_cast<int>(i) + 1, songs[i]);
    body += L"\r\n</LIBRARY>";
    return th::WriteFileBytes(path, th::XmlFile(body));
}

bool WriteLargeCatalogue(const std::wstring& path, int songs, int artists) {
    std::wstring body = L"\r\n<LIBRARY>" + Element(L"VERSION", L"1");
    uint32_t state = 7;
    for (int id = 1; id <= songs; ++id) {
        state = state * 1664525u + 1013904223u;
        Song song;
        song.artist = L"Artist " + std::to_wstring((state >> 8) % artists);
        if (id % 10 == 0) song.coop = L"Guest " + std::to_wstring((state >> 4) % artists);
        body += SongRecord(id, song);
    }
    body += L"\r\n</LIBRARY>";
    return th::WriteFileBytes(path, th::XmlFile(body));
}

Host::Host() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &Host::Proc;
    wc.hInstance = instance;
    wc.lpszClassName = kHostClass;
    RegisterClassExW(&wc);
    window_ = CreateWindowExW(0, kHostClass, L"tree host", WS_OVERLAPPEDWINDOW, 0, 0, 300, 500,
                              nullptr, nullptr, instance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ShowWindow(window_, SW_SHOWNORMAL);
}

Host::~Host() {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
}

LRESULT CALLBACK Host::Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Host*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self) {
        switch (msg) {
        case WM_NOTIFY:               return self->OnNotify(reinterpret_cast<NMHDR*>(lp));
        case WM_APP_LIBRARY_READY:    self->libraryStates.push_back(wp); return 1;
        case WM_APP_PLAYLIST_CHANGED: ++self->playlistChanges; return 1;
        }
    }
    return DefWindowProcW(window, msg, wp, lp);
}

LRESULT Host::OnNotify(NMHDR* header) {
    switch (header->code) {
    case TVN_DELETEITEMW: {
        auto* info = reinterpret_cast<NMTREEVIEWW*>(header);
        delete reinterpret_cast<CPlaylist*>(info->itemOld.lParam);
        ++deletedPlaylists;
        return 0;
    }
    case TVN_BEGINLABELEDITW: {
        auto* info = reinterpret_cast<NMTVDISPINFOW*>(header);
        const CPlaylist* playlist = tree_ ? tree_->GetPlaylistOf(info->item.hItem) : nullptr;
        return playlist && playlist->GetKind() == CPlaylist::kUser ? FALSE : TRUE;
    }
    case TVN_ENDLABELEDITW: {
        auto* info = reinterpret_cast<NMTVDISPINFOW*>(header);
        return tree_ && info->item.pszText && *info->item.pszText &&
               tree_->RenamePlaylist(info->item.hItem, info->item.pszText);
    }
    }
    return 0;
}

Fixture::Fixture(const std::vector<Song>& songs, CCache* songCache)
    : library(std::make_unique<CLibrary>(data.File(L"Library.xml"))),
      playlists(std::make_unique<CPlaylists>()),
      cache(songCache) {
    if (!songs.empty()) WriteCatalogue(data.File(L"Library.xml"), songs);
    CPlaylist::SetLibrary(library.get());
    Restart();
}

Fixture::~Fixture() {
    tree.reset();
    CPlaylist::SetLibrary(nullptr);
    th::PumpFor(10);
}

void Fixture::Restart() {
    tree.reset();
    playlists = std::make_unique<CPlaylists>();
    host.libraryStates.clear();
    tree = std::make_unique<CWndTree>(GetModuleHandleW(nullptr), host.Handle(), data.Path(), nullptr,
                                      library.get(), playlists.get(), cache, nullptr, &text, &back,
                                      &high);
    host.SetTree(tree.get());
}

bool Fixture::Build(DWORD timeoutMs) {
    if (!tree->StartBuild()) return false;
    return th::PumpUntil([&] { return tree->IsReady() && !host.libraryStates.empty() &&
                                      host.libraryStates.back() == 1; },
                         timeoutMs);
}

std::wstring Fixture::PlaylistFile(const std::wstring& escaped) const {
    return data.File(L"Playlists\\" + escaped + L".xml");
}

std::vector<std::wstring> Fixture::Children(HTREEITEM parent) const {
    std::vector<std::wstring> names;
    HWND control = tree->GetControl();
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(
        control, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT, reinterpret_cast<LPARAM>(parent)));
    for (; item; item = reinterpret_cast<HTREEITEM>(SendMessageW(control, TVM_GETNEXTITEM, TVGN_NEXT,
                                                                 reinterpret_cast<LPARAM>(item))))
        names.push_back(tree->GetNodeText(item));
    return names;
}

HTREEITEM Fixture::Child(HTREEITEM parent, const std::wstring& text) const {
    HWND control = tree->GetControl();
    auto item = reinterpret_cast<HTREEITEM>(SendMessageW(
        control, TVM_GETNEXTITEM, parent ? TVGN_CHILD : TVGN_ROOT, reinterpret_cast<LPARAM>(parent)));
    for (; item; item = reinterpret_cast<HTREEITEM>(SendMessageW(control, TVM_GETNEXTITEM, TVGN_NEXT,
                                                                 reinterpret_cast<LPARAM>(item))))
        if (tree->GetNodeText(item) == text) return item;
    return nullptr;
}

void Fixture::Select(HTREEITEM item) const {
    SendMessageW(tree->GetControl(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

}  // namespace treetest
