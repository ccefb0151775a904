#pragma once
// What the tree suites need around a CWndTree: a parent window that answers the tree's
// notifications the way the main window does (it deletes a deleted node's playlist, allows
// label editing on user playlists only, renames on a finished edit) and records the messages
// the tree posts to it; and catalogue files built from a list of songs.

#include "TestSupport.h"

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

class CCache;
class CLibrary;
class CWndTree;
class CPlaylists;

namespace treetest {

struct Song {
    std::wstring artist = {};
    std::wstring coop = {};
    int flags = 0;
    float end = 60.0f;
    std::wstring file = {};  // "" gives "s<id>.mod"
};

// A catalogue file of the songs, ids 1, 2, ... in order.
bool WriteCatalogue(const std::wstring& path, const std::vector<Song>& songs, int version = 1);
// A large generated catalogue: songs by artists (every tenth song with a co-operating artist).
bool WriteLargeCatalogue(const std::wstring& path, int songs, int artists);

class Host {
public:
    Host();
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    HWND Handle() const { return window_; }
    // The tree whose label edits the host completes (null: edits are only allowed or refused).
    void SetTree(CWndTree* tree) { tree_ = tree; }

    std::vector<WPARAM> libraryStates;  // wParam of each WM_APP_LIBRARY_READY, in order
    int playlistChanges = 0;            // WM_APP_PLAYLIST_CHANGED
    int deletedPlaylists = 0;           // playlists deleted for TVN_DELETEITEMW

private:
    static LRESULT CALLBACK Proc(HWND window, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT OnNotify(NMHDR* header);

    HWND window_ = nullptr;
    CWndTree* tree_ = nullptr;
};

// A tree in a host with its own data folder, library and playlist set, colours from fixed
// values.
class Fixture {
public:
    explicit Fixture(const std::vector<Song>& songs = {}, CCache* cache = nullptr);
    ~Fixture();

    // Starts the build and pumps until the tree is ready; false on time-out.
    bool Build(DWORD timeoutMs = 30000);
    // Destroys the tree (saving its playlists) and makes a new one on the same files.
    void Restart();

    std::wstring DataFolder() const { return data.Path(); }
    std::wstring PlaylistFile(const std::wstring& escaped) const;

    // Children of a node (null: the roots) by their text, in their order.
    std::vector<std::wstring> Children(HTREEITEM parent) const;
    HTREEITEM Child(HTREEITEM parent, const std::wstring& text) const;
    void Select(HTREEITEM item) const;

    th::TempDir data;
    Host host;
    std::unique_ptr<CLibrary> library;
    std::unique_ptr<CPlaylists> playlists;
    COLORREF text = RGB(1, 2, 3), back = RGB(250, 250, 250), high = RGB(10, 20, 200);
    CCache* cache = nullptr;
    std::unique_ptr<CWndTree> tree;
};

}  // namespace treetest
