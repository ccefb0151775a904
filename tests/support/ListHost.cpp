#include "ListHost.h"

#include "TestSupport.h"
#include "XmlTestFiles.h"
#include "app/Ids.h"
#include "playlists/Playlist.h"

#include <commctrl.h>

namespace th {

namespace {

constexpr const wchar_t* kHostClass = L"tunehaven.test.listhost";

std::wstring Escape(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c == L'&') out += L"&amp;";
        else if (c == L'<') out += L"&lt;";
        else if (c == L'>') out += L"&gt;";
        else out += c;
    }
    return out;
}

}  // namespace

bool WriteCatalogue(const std::wstring& path, const std::vector<CatalogueSong>& songs) {
    std::wstring body = L"<LIBRARY>";
    body.reserve(songs.size() * 200);
    int id = 0;
    for (const CatalogueSong& s : songs) {
        body += L"\r\n<SONG><ID>" + std::to_wstring(++id) + L"</ID>";
        if (!s.title.empty()) body += L"<TITLE>" + Escape(s.title) + L"</TITLE>";
        if (!s.artist.empty()) body += L"<ARTIST>" + Escape(s.artist) + L"</ARTIST>";
        body += L"<FILE>" + Escape(s.file) + L"</FILE><SIZE>" + std::to_wstring(s.size) +
                L"</SIZE><TYPE>" + std::to_wstring(s.type) + L"</TYPE><LENGTH>" +
                std::to_wstring(s.length) + L"</LENGTH><END>" + std::to_wstring(s.length) +
                L"</END></SONG>";
    }
    return WriteFileBytes(path, XmlFile(body + L"\r\n</LIBRARY>"));
}

ListHost::ListHost(CLibrary* library, CPlaylists* playlists, Settings* fields) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &ListHost::Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kHostClass;
    RegisterClassExW(&wc);
    window_ = CreateWindowExW(0, kHostClass, L"list", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0,
                              800, 600, nullptr, nullptr, instance, this);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    list_ = std::make_unique<CWndList>(instance, window_, library, playlists, nullptr,
                                       &fields->listtext, &fields->listback, &fields->listhigh,
                                       &fields->sort, &fields->desc, fields->columnPositions,
                                       fields->columnWidths);
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
}

ListHost::~ListHost() {
    list_.reset();
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    PumpFor(10);
}

LRESULT CALLBACK ListHost::Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp) {
    auto* host = reinterpret_cast<ListHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!host || !host->list_) return DefWindowProcW(window, msg, wp, lp);
    switch (msg) {
    case WM_NOTIFY: return host->OnNotify(reinterpret_cast<NMHDR*>(lp));
    case WM_APP_PLAYLIST_CHANGED: ++host->playlistChanges; return 1;
    case WM_COMMAND: {
        Command command{LOWORD(wp), lp, {}};
        if ((command.id == ID_ADD_FAVOURITES || command.id == ID_NEW_PLAYLIST) && lp)
            command.songs = SongIds(*reinterpret_cast<CPlaylist*>(lp));
        if (command.id == ID_NEW_PLAYLIST) delete reinterpret_cast<CPlaylist*>(lp);
        host->commands.push_back(command);
        return 0;
    }
    }
    return DefWindowProcW(window, msg, wp, lp);
}

LRESULT ListHost::OnNotify(NMHDR* header) {
    if (header->hwndFrom == list_->GetHeader()) {
        auto* nm = reinterpret_cast<NMHEADERW*>(header);
        if (header->code == HDN_BEGINTRACKW) return nm->iItem == 0;
        if (header->code == HDN_ENDTRACKW)
            list_->StoreColumnWidth(nm->iItem,
                                    nm->pitem && (nm->pitem->mask & HDI_WIDTH) ? nm->pitem->cxy : -1);
        return 0;
    }
    if (header->idFrom != IDC_SONGLIST) return 0;
    switch (header->code) {
    case NM_CUSTOMDRAW:
        return list_->CustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(header), active, currentSerial);
    case LVN_COLUMNCLICK:
        list_->SortByColumn(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        return 0;
    case LVN_BEGINDRAG: list_->BeginDrag(); return 0;
    case LVN_DELETEALLITEMS: return TRUE;
    case LVN_GETDISPINFOW: list_->GetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(header)); return 0;
    case LVN_ODFINDITEMW: return list_->FindItem(reinterpret_cast<NMLVFINDITEMW*>(header));
    }
    return 0;
}

std::wstring CellOf(HWND list, int row, int column) {
    wchar_t text[1024] = L"";
    ListView_GetItemText(list, row, column, text, 1024);
    return text;
}

std::vector<int> SongIds(const CPlaylist& playlist) {
    std::vector<int> ids;
    for (int i = 0, id; (id = playlist.GetIdAt(i)) != 0; ++i) ids.push_back(id);
    return ids;
}

}  // namespace th
