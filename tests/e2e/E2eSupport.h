#pragma once
// Helpers of the end-to-end suite: the real main window opened, closed and opened again on one
// data folder, driven with the messages a user's clicks and menu choices produce, with a record
// of every text the status bar was given.

#include "PlaybackTestSupport.h"

#include "ui/list/WndList.h"
#include "ui/tree/WndTree.h"

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// A song of a catalogue written by the test: LENGTH `seconds`, END half a second before it.
struct LocalSong {
    std::wstring artist;
    std::wstring title;
    float seconds = 3.0f;
    bool cached = true;  // its module is in the song cache
};

// Writes the catalogue (ids 1..n in order) to libraryPath and the cached songs' modules below
// cacheFolder; the data folders must be set. Song i lives at "<artist>\song<i>.mod".
bool WriteLocalLibrary(const std::vector<LocalSong>& songs);
// The cache file of song `id` of such a catalogue.
std::wstring LocalSongFile(const std::vector<LocalSong>& songs, int id);

// A playlist file with these song ids (the program's own writer).
bool WritePlaylistFile(const std::wstring& path, const std::vector<int>& ids);
// The ids a playlist file holds, read the way the program reads it.
std::vector<int> ReadPlaylistFile(const std::wstring& path);

// A base URL on 127.0.0.1 where nothing listens.
std::wstring ClosedServerUrl();

// Every text given to the status bar's message part, in order ("" for a cleared message).
class StatusLog {
public:
    StatusLog() = default;
    ~StatusLog() { Detach(); }
    StatusLog(const StatusLog&) = delete;
    StatusLog& operator=(const StatusLog&) = delete;
    void Attach(HWND bar);
    void Detach();
    bool Saw(const std::wstring& text) const;
    std::wstring Joined() const;  // for failure messages
    void Clear() { texts_.clear(); }
private:
    static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    HWND bar_ = nullptr;
    std::vector<std::wstring> texts_;
};

// The program's main window on a data folder that outlives it, so that it can be closed and
// opened again on the same files.
class Program {
public:
    Program();
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Sets the data folders, runs `prepare` (files the window reads as it starts), and opens the
    // window the way start-up does. The status log is attached before any message is handled.
    bool Open(const std::function<void()>& prepare = nullptr);
    // WM_CLOSE and wait for the window to go (the settings are saved then).
    bool Close();
    bool IsOpen() const { return window_ && IsWindow(window_); }
    HWND Window() const { return window_; }
    // The folder standing in for the application-data folder, and the program's data folder.
    const std::wstring& AppData() const { return appData_.Path(); }
    std::wstring DataFolder() const { return appData_.Path() + L"tunehaven\\"; }
    StatusLog& Status() { return status_; }

private:
    th::TempDir appData_;
    HWND window_ = nullptr;
    StatusLog status_;
};

// The end-to-end fixture: empty settings before and after each case, one program, and the
// user's actions on its controls.
class E2eTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the program and waits until the tree is built; the controls are looked up anew.
    bool Start(const std::function<void()>& prepare = nullptr);
    bool Restart();
    void Stop() { program.Close(); hub = nullptr; tree = nullptr; list = nullptr; }

    void Command(UINT id, LPARAM lp = 0) { SendMessageW(program.Window(), WM_COMMAND, id, lp); }
    // A context-menu choice: the menu sends the command to the control that opened it.
    void TreeMenu(UINT id) { SendMessageW(tree->GetControl(), WM_COMMAND, id, 0); }
    void ListMenu(UINT id) { SendMessageW(list->GetWindow(), WM_COMMAND, id, 0); }

    HTREEITEM Artist(const wchar_t* name) const { return tree->FindChild(tree->GetLibraryItem(), name); }
    std::vector<std::wstring> Children(HTREEITEM parent) const;
    void Select(HTREEITEM item);
    // A real double click on a row of the list.
    void DoubleClickRow(int row);
    // The row of the list whose song has this title (-1 if none).
    int RowOf(const std::wstring& title) const;
    int SongOfRow(int row) const;

    std::wstring Title() const { return playtest::TitleOf(program.Window()); }
    bool TitleBecomes(const std::wstring& title, DWORD timeoutMs = 20000);
    // The status bar's parts: 0 the message, 1 the playing time.
    std::wstring StatusPart(int part) const;

    Program program;
    CMainWindow* hub = nullptr;
    CWndTree* tree = nullptr;
    CWndList* list = nullptr;
};

}  // namespace e2e
