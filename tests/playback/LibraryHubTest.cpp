// The library tree and the song list in the main window: the catalogue becomes the tree, the
// chosen node fills the list, and the list, the tree, the tray menu's entries and the find box
// drive playback through the hub with the messages the controls themselves send.

#include "PlaybackTestSupport.h"

#include "BenchCatalogue.h"
#include "playlists/PlaylistFiles.h"
#include "ui/frame/WndSearchBox.h"
#include "ui/frame/WndStatus.h"
#include "ui/frame/WndTrackbar.h"
#include "ui/list/WndList.h"
#include "ui/tree/WndTree.h"

#include <commctrl.h>

namespace playtest {
namespace {

class LibraryHub : public PlaybackHubTest {
protected:
    // Songs 1-3 by "Alpha", 4-5 by "Beta", 6 by "Gamma", titles "Song 1" to "Song 6". Unsorted, an
    // artist's list shows the newest song (the highest id) first.
    void OpenLibrary(float seconds = 3.0f) {
        Open(6, seconds, true, [](Song& s, int i) {
            static const wchar_t* const kArtists[] = {L"Alpha", L"Alpha", L"Alpha", L"Beta", L"Beta", L"Gamma"};
            s.artist = kArtists[i];
        });
        tree = hub->GetTree();
        list = hub->GetList();
        ASSERT_NE(tree, nullptr);
        ASSERT_NE(list, nullptr);
    }
    HTREEITEM Artist(const wchar_t* name) const { return tree->FindChild(tree->GetLibraryItem(), name); }
    void SelectNode(HTREEITEM item) {
        SendMessageW(tree->GetControl(), TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    }
    HTREEITEM FirstChild(HTREEITEM parent) const {
        return TreeView_GetChild(tree->GetControl(), parent);
    }
    void DoubleClickRow(int row) { th::DoubleClickListRow(list->GetWindow(), row); }
    std::wstring StatusMessage() const {
        wchar_t text[256] = {};
        HWND bar = FindWindowExW(main->Handle(), nullptr, STATUSCLASSNAMEW, nullptr);
        SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return text;
    }
    std::wstring StatusTotals() const {
        wchar_t text[256] = {};
        HWND bar = FindWindowExW(main->Handle(), nullptr, STATUSCLASSNAMEW, nullptr);
        SendMessageW(bar, SB_GETTEXTW, 2, reinterpret_cast<LPARAM>(text));
        return text;
    }
    // Playlist files in the data folder's playlists folder, read as the window starts.
    void WritePlaylistsBeforeStart(std::vector<std::pair<std::wstring, std::vector<int>>> files) {
        beforeStart = [files] {
            CreateDirectoryW(PlaylistsFolder(dataFolder).c_str(), nullptr);
            for (const auto& [name, ids] : files) PlaylistOf(ids)->Save(PlaylistPath(dataFolder, name).c_str());
        };
    }
    void Type(const wchar_t* text) {
        SetWindowTextW(hub->GetSearchBox()->GetWindow(), text);
        th::PumpFor(400);  // the pause after typing
    }

    CWndTree* tree = nullptr;
    CWndList* list = nullptr;
};

// Ready: the Library node holds the artists, Close works again, and choosing an artist shows
// its songs with the first row focused; a double click plays that row and the title, the
// playing row and the selection follow the audible song through Next.
TEST_F(LibraryHub, ArtistNodeFillsTheListAndADoubleClickPlays) {
    OpenLibrary();
    UINT close = GetMenuState(GetSystemMenu(main->Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND);
    EXPECT_FALSE(close & MF_GRAYED) << "Close is available once the tree is built";
    ASSERT_NE(Artist(L"Alpha"), nullptr);
    ASSERT_NE(Artist(L"Gamma"), nullptr);

    SelectNode(Artist(L"Alpha"));
    ASSERT_NE(list->GetPlaylist(), nullptr);
    EXPECT_EQ(list->GetPlaylist()->GetKind(), CPlaylist::kArtist);
    EXPECT_EQ(list->RowCount(), 3);
    EXPECT_EQ(list->FocusedRow(), 0);
    EXPECT_TRUE(hub->Buttons().play);
    EXPECT_TRUE(hub->GetPositionBar() && IsWindowEnabled(hub->GetPositionBar()->GetWindow()))
        << "the position stands for the focused row's song";

    DoubleClickRow(1);
    ASSERT_TRUE(TitleBecomes(L"Alpha - Song 2"));
    EXPECT_EQ(hub->GetOutput()->GetPlaylist(), list->GetPlaylist());
    Command(ID_NEXT);
    ASSERT_TRUE(TitleBecomes(L"Alpha - Song 1"));
    EXPECT_EQ(list->FocusedRow(), 2) << "the list selects the audible entry's row";

    // Another artist while playing: the list changes, playback does not.
    SelectNode(Artist(L"Beta"));
    EXPECT_EQ(list->RowCount(), 2);
    EXPECT_EQ(TitleOf(main->Handle()), L"Alpha - Song 1");
}

// Stopped, Next and Previous only move the list's selection, and the buttons follow the
// focused row.
TEST_F(LibraryHub, NextAndPreviousWhileStoppedMoveTheSelection) {
    OpenLibrary();
    SelectNode(Artist(L"Alpha"));
    EXPECT_FALSE(hub->Buttons().previous);
    Command(ID_NEXT);
    Command(ID_NEXT);
    EXPECT_EQ(list->FocusedRow(), 2);
    EXPECT_FALSE(hub->Buttons().next) << "the last row has the focus";
    Command(ID_NEXT);
    EXPECT_EQ(list->FocusedRow(), 2);
    Command(ID_PREVIOUS);
    EXPECT_EQ(list->FocusedRow(), 1);
    EXPECT_TRUE(hub->Buttons().previous);
    EXPECT_TRUE(hub->Buttons().next);
    EXPECT_FALSE(hub->GetOutput()->IsPlaying());
}

// The toolbar's Add to favourites takes the audible song; the favourites are on disk within
// seconds, without waiting for the program to end; the tray menu's favourites entry plays it
// and shows the favourites with that row selected.
TEST_F(LibraryHub, FavouritesFromTheToolbarAndTheTrayMenu) {
    OpenLibrary();
    SelectNode(Artist(L"Beta"));
    DoubleClickRow(0);
    ASSERT_TRUE(TitleBecomes(L"Beta - Song 5"));
    Command(ID_ADD_FAVOURITES);
    CPlaylist* favourites = tree->GetFavourites();
    ASSERT_NE(favourites, nullptr);
    ASSERT_EQ(favourites->GetCount(), 1);
    EXPECT_EQ(favourites->GetIdAt(0), 5);
    const std::wstring file = FavouritesPath(dataFolder);
    EXPECT_TRUE(WaitFor([&] { return !th::ReadFileBytes(file).empty(); }, 10000))
        << "the favourites are written soon after the change";

    Command(ID_STOP);
    th::PumpFor(300);
    Command(ID_FAVOURITE_FIRST);
    EXPECT_EQ(tree->GetSelectedPlaylist(), favourites);
    EXPECT_EQ(list->GetPlaylist(), favourites);
    EXPECT_EQ(list->FocusedRow(), 0);
    EXPECT_EQ(hub->GetOutput()->GetPlaylist(), favourites);
    EXPECT_TRUE(TitleBecomes(L"Beta - Song 5"));
}

// The tray menu numbers playlists in the set's order, the tree sorts them by the user's locale:
// an entry of "Blues" plays and shows "Blues", though "Ärger" stands first in the tree.
TEST_F(LibraryHub, TrayPlaylistEntryShowsItsOwnPlaylist) {
    WritePlaylistsBeforeStart({{L"\u00c4rger", {1, 2}}, {L"Blues", {4, 5}}});
    OpenLibrary();
    HTREEITEM blues = tree->FindChild(tree->GetPlaylistsItem(), L"Blues");
    ASSERT_NE(blues, nullptr);
    ASSERT_EQ(playlists.GetByIndex(0), tree->GetPlaylistOf(blues)) << "the set orders by lower-case code units";
    Command(Entry(1));
    EXPECT_EQ(tree->GetSelectedPlaylist(), tree->GetPlaylistOf(blues));
    EXPECT_EQ(list->GetPlaylist(), tree->GetPlaylistOf(blues));
    EXPECT_EQ(list->FocusedRow(), 1) << "the playing row is shown";
    EXPECT_TRUE(TitleBecomes(L"Beta - Song 5"));
}

// A thumb drag that loses the mouse to another window (Alt+Tab) ends without the trackbar's
// final position: the thumb follows the song again all the same.
TEST_F(LibraryHub, ThumbFollowsTheSongAfterADragLosesTheMouse) {
    OpenLibrary(8.0f);
    SelectNode(Artist(L"Beta"));
    DoubleClickRow(0);
    ASSERT_TRUE(TitleBecomes(L"Beta - Song 5"));
    CWndTrackbar* bar = hub->GetPositionBar();
    HWND window = bar->GetWindow();
    RECT thumb{}, channel{};
    SendMessageW(window, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    SendMessageW(window, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&channel));
    const int y = (thumb.top + thumb.bottom) / 2;
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM((thumb.left + thumb.right) / 2, y));
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(channel.right - 2, y));
    ASSERT_GT(bar->GetPosition(), bar->GetSpan() * 9 / 10) << "the thumb was dragged to the end";
    th::PumpFor(300);
    EXPECT_GT(bar->GetPosition(), bar->GetSpan() * 9 / 10) << "the tick leaves a dragged thumb alone";
    ReleaseCapture();  // the mouse goes to another window
    EXPECT_TRUE(WaitFor([&] { return bar->GetPosition() < bar->GetSpan() / 2; }, 3000))
        << "the thumb shows the playing position again";
}

// Without a temporary folder the version check cannot start; the tree is built from the
// catalogue on disk all the same.
TEST_F(LibraryHub, TreeIsBuiltWhenTheVersionCheckCannotStart) {
    struct Restore {
        std::wstring tmp = th::Env(L"TMP"), temp = th::Env(L"TEMP");
        ~Restore() {
            SetEnvironmentVariableW(L"TMP", tmp.empty() ? nullptr : tmp.c_str());
            SetEnvironmentVariableW(L"TEMP", temp.empty() ? nullptr : temp.c_str());
        }
    } restore;
    beforeStart = [] {
        const std::wstring tooLong = L"C:\\" + std::wstring(400, L'x');
        SetEnvironmentVariableW(L"TMP", tooLong.c_str());
        SetEnvironmentVariableW(L"TEMP", tooLong.c_str());
    };
    OpenLibrary();
    EXPECT_NE(Artist(L"Alpha"), nullptr);
}

// The totals follow the shown playlist's rows as they are deleted and as songs are added.
TEST_F(LibraryHub, TotalsFollowDeletedAndAddedSongs) {
    WritePlaylistsBeforeStart({{L"Mix", {1, 2, 3}}});
    OpenLibrary();
    SelectNode(tree->FindChild(tree->GetPlaylistsItem(), L"Mix"));
    ASSERT_EQ(list->RowCount(), 3);
    EXPECT_EQ(StatusTotals().substr(0, 8), L" 3 songs");
    list->SelectAll();
    SendMessageW(list->GetWindow(), WM_KEYDOWN, VK_DELETE, 0);
    ASSERT_EQ(list->RowCount(), 0);
    th::PumpFor(100);
    EXPECT_EQ(StatusTotals().substr(0, 8), L" 0 songs");

    SelectNode(tree->GetFavouritesItem());
    Command(ID_ADD_FAVOURITES, reinterpret_cast<LPARAM>(PlaylistOf({4}).get()));
    th::PumpFor(100);
    EXPECT_EQ(StatusTotals().substr(0, 8), L" 1 song ");
}

// A new playlist from the list's selection (command 21) becomes a node whose label is being
// edited; the rename through the tree's notification is kept on disk. Deleting the node that
// is playing leaves the song playing and the list off the deleted playlist.
TEST_F(LibraryHub, NewPlaylistFromSongsRenamedThenDeletedWhilePlaying) {
    OpenLibrary(8.0f);
    Command(ID_NEW_PLAYLIST, reinterpret_cast<LPARAM>(PlaylistOf({4, 6}).release()));
    ASSERT_TRUE(th::FinishLabelEdit(tree->GetControl(), L"Road trip")) << "the new playlist's label is being edited";
    HTREEITEM node = tree->FindChild(tree->GetPlaylistsItem(), L"Road trip");
    ASSERT_NE(node, nullptr);
    CPlaylist* made = tree->GetPlaylistOf(node);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetCount(), 2);
    EXPECT_TRUE(WaitFor([&] { return !th::ReadFileBytes(PlaylistPath(dataFolder, L"Road trip")).empty(); }, 10000));

    SelectNode(node);
    ASSERT_EQ(list->GetPlaylist(), made);
    DoubleClickRow(0);
    ASSERT_TRUE(TitleBecomes(L"Beta - Song 4"));
    tree->DeletePlaylist(node);
    th::PumpFor(100);
    EXPECT_EQ(tree->FindChild(tree->GetPlaylistsItem(), L"Road trip"), nullptr);
    EXPECT_NE(list->GetPlaylist(), made);
    EXPECT_EQ(hub->GetOutput()->GetPlaylist(), nullptr);
    EXPECT_TRUE(hub->GetOutput()->IsPlaying());
    EXPECT_EQ(TitleOf(main->Handle()), L"Beta - Song 4");
}

// Typing shows the results under a "Search results" node first under Library, with the count
// in the status bar; a song playing from them plays on when the query changes; blanks and an
// emptied box remove the node.
TEST_F(LibraryHub, SearchResultsNodeFollowsTheFindBox) {
    OpenLibrary(8.0f);
    SelectNode(Artist(L"Gamma"));
    Type(L"song alpha");
    HTREEITEM results = FirstChild(tree->GetLibraryItem());
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(tree->GetNodeText(results), L"Search results");
    EXPECT_EQ(tree->GetSearchItem(), results);
    EXPECT_EQ(list->RowCount(), 3);
    EXPECT_EQ(StatusMessage(), L"3 songs found");

    DoubleClickRow(0);
    ASSERT_TRUE(TitleBecomes(L"Alpha - Song 1"));
    Type(L"beta 5");
    EXPECT_EQ(list->RowCount(), 1);
    EXPECT_EQ(StatusMessage(), L"1 song found");
    // A download's progress takes the part for a while; the count comes back after it.
    hub->GetStatus()->SetStatusText(L"Downloading song5.mod");
    hub->GetStatus()->SetProgress(40);
    th::PumpFor(50);
    EXPECT_EQ(StatusMessage(), L"Downloading song5.mod (40%)");
    hub->GetStatus()->SetStatusText(nullptr);
    hub->GetStatus()->SetProgress(-1);
    th::PumpFor(50);
    EXPECT_EQ(StatusMessage(), L"1 song found");
    EXPECT_EQ(tree->GetSearchItem(), results) << "the node stays and takes the new results";
    EXPECT_TRUE(hub->GetOutput()->IsPlaying());
    EXPECT_EQ(hub->GetOutput()->GetPlaylist(), nullptr) << "the engine let go of the old results";

    // Another node leaves the results; the next query brings them back.
    SelectNode(Artist(L"Beta"));
    EXPECT_EQ(list->RowCount(), 2);
    Type(L"gamma");
    EXPECT_EQ(tree->GetSelectedPlaylist(), list->GetPlaylist());
    EXPECT_EQ(list->RowCount(), 1);

    Type(L"   ");
    EXPECT_EQ(tree->GetSearchItem(), nullptr);
    EXPECT_EQ(StatusMessage(), L"") << "no count without results";
    EXPECT_NE(FirstChild(tree->GetLibraryItem()), results);
    EXPECT_EQ(TitleOf(main->Handle()), L"Alpha - Song 1");
}

// While the tree is built from a large catalogue the window cannot be closed from the title
// bar, the system menu or the tray, and a query waits; once ready the query's results show.
TEST_F(LibraryHub, WhileTheTreeIsBuiltCloseIsRefusedAndAQueryWaits) {
    bool written = false;
    main = std::make_unique<th::TestMainWindow>(SW_SHOWNORMAL,
                                                [&] { written = th::WriteBenchCatalogue(libraryPath); });
    ASSERT_TRUE(written);
    hub = CMainWindow::FromHandle(main->Handle());
    ASSERT_NE(hub, nullptr);
    tree = hub->GetTree();
    list = hub->GetList();
    HMENU system = GetSystemMenu(main->Handle(), FALSE);
    // One message at a time: the build's "started" and "ended" reports can both be waiting,
    // and the state between them must be seen.
    auto closeGreyed = [&] { return (GetMenuState(system, SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) != 0; };
    const DWORD start = GetTickCount();
    while (!closeGreyed() && !tree->IsReady() && GetTickCount() - start < 30000) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }
    ASSERT_TRUE(closeGreyed() || tree->IsReady());
    if (tree->IsReady()) GTEST_SKIP() << "the build ended before it could be watched";
    Command(ID_QUIT);
    SetWindowTextW(hub->GetSearchBox()->GetWindow(), L"a");
    th::PumpFor(250);  // past the pause after typing
    EXPECT_TRUE(main->IsOpen()) << "Quit is refused while the tree is built";
    if (!tree->IsReady()) {
        EXPECT_EQ(tree->GetSearchItem(), nullptr) << "the query waits for the tree";
    }

    ASSERT_TRUE(main->WaitUntilReady(60000));
    th::PumpFor(100);
    EXPECT_FALSE(GetMenuState(system, SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
    EXPECT_NE(tree->GetSearchItem(), nullptr) << "the waiting query ran once the tree was ready";
    EXPECT_GT(list->RowCount(), 0);
}

}  // namespace
}  // namespace playtest
