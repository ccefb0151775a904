#pragma once
// A song list in a window of its own, for the list's tests and benchmarks: the window answers
// the list's notifications as the main window does (custom draw, column clicks, drags) and
// records the commands the list sends it.

#include "app/Settings.h"
#include "library/Library.h"
#include "ui/list/WndList.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class CPlaylist;
class CPlaylists;

namespace th {

struct CatalogueSong {
    std::wstring title;
    std::wstring artist;
    std::wstring file;  // "folder\\name.ext"
    int size = 0;
    int type = 1;
    float length = 0;  // also the end of sound
};

// Writes a catalogue of the songs (ids 1, 2, ... in order) to path.
bool WriteCatalogue(const std::wstring& path, const std::vector<CatalogueSong>& songs);

class ListHost {
public:
    struct Command {
        UINT id;
        LPARAM lp;
        std::vector<int> songs;  // of the temporary playlist that commands 20 and 21 carry
    };

    // The list reads its colours, sort and layouts from `fields` (the caller's own record, so
    // that tests never touch the program's settings).
    ListHost(CLibrary* library, CPlaylists* playlists, Settings* fields);
    ~ListHost();
    ListHost(const ListHost&) = delete;
    ListHost& operator=(const ListHost&) = delete;

    CWndList& List() { return *list_; }
    HWND Window() const { return window_; }
    HWND ListWindow() const { return list_->GetWindow(); }

    // What the list's custom draw is told about playback.
    bool active = false;
    int currentSerial = 0;

    std::vector<Command> commands;
    int playlistChanges = 0;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnNotify(NMHDR* header);

    HWND window_ = nullptr;
    std::unique_ptr<CWndList> list_;
};

// The texts of the cells of one row, by column index.
std::wstring CellOf(HWND list, int row, int column);
// Song ids of a playlist in order.
std::vector<int> SongIds(const CPlaylist& playlist);

}  // namespace th
