#include "ListHost.h"
#include "TestSupport.h"
#include "app/Ids.h"
#include "library/Library.h"
#include "playlists/Playlist.h"
#include "playlists/Playlists.h"
#include "ui/list/WndList.h"

#include <gtest/gtest.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using th::CellOf;
using th::SongIds;

// Eight songs whose titles sort in another order than their ids; songs 3 and 6 share a title.
const std::vector<th::CatalogueSong> kSongs = {
    {L"Delta", L"Ann", L"a\\delta.mod", 4000, 1, 60},
    {L"Alpha", L"Bob", L"b\\alpha.xm", 1000, 3, 120},
    {L"Echo", L"Ann", L"a\\echo.it", 3000, 5, 30},
    {L"Bravo", L"Cid", L"c\\bravo.s3m", 2000, 4, 90},
    {L"Golf", L"Bob", L"b\\golf.mod", 6000, 1, 45},
    {L"Echo", L"Cid", L"c\\echo2.mod", 5000, 1, 75},
    {L"Foxtrot", L"Ann", L"a\\foxtrot.xm", 7000, 3, 15},
    {L"Charlie", L"Dee", L"d\\charlie.mtm", 8000, 2, 200},
};

class WndListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(th::WriteCatalogue(libraryPath_, kSongs));
        ASSERT_TRUE(library_.Reload(0));
        CPlaylist::SetLibrary(&library_);
        host_ = std::make_unique<th::ListHost>(&library_, &playlists_, &fields_);
        ASSERT_TRUE(host_->ListWindow());
    }
    void TearDown() override {
        host_.reset();
        CPlaylist::SetLibrary(nullptr);
    }

    // A playlist of the given kind holding songs 1 to n in order.
    std::unique_ptr<CPlaylist> Playlist(int kind, int n = 8) {
        auto playlist = std::make_unique<CPlaylist>(kind);
        for (int id = 1; id <= n; ++id) playlist->Add(id, true);
        return playlist;
    }
    CWndList& List() { return host_->List(); }
    HWND ListWindow() { return host_->ListWindow(); }

    std::vector<std::wstring> Headers() {
        std::vector<std::wstring> headers;
        for (int c = 1; c < static_cast<int>(List().ColumnIds().size()); ++c) {
            wchar_t text[64] = L"";
            LVCOLUMNW column{};
            column.mask = LVCF_TEXT;
            column.pszText = text;
            column.cchTextMax = 64;
            ListView_GetColumn(ListWindow(), c, &column);
            headers.push_back(text);
        }
        return headers;
    }
    // Header texts in display order (after the hidden column).
    std::vector<std::wstring> DisplayedHeaders() {
        std::vector<std::wstring> byIndex = Headers();
        const int count = static_cast<int>(byIndex.size()) + 1;
        std::vector<int> order(count);
        ListView_GetColumnOrderArray(ListWindow(), count, order.data());
        std::vector<std::wstring> shown;
        for (int index : order) {
            if (index > 0) shown.push_back(byIndex[index - 1]);
        }
        return shown;
    }
    int ColumnWidth(int index) { return ListView_GetColumnWidth(ListWindow(), index); }
    int IndexOfHeader(const std::wstring& text) {
        std::vector<std::wstring> headers = Headers();
        for (size_t i = 0; i < headers.size(); ++i) {
            if (headers[i] == text) return static_cast<int>(i) + 1;
        }
        return -1;
    }
    std::vector<std::wstring> Titles() {
        const int title = IndexOfHeader(L"Title");
        std::vector<std::wstring> titles;
        for (int r = 0; r < List().RowCount(); ++r) titles.push_back(CellOf(ListWindow(), r, title));
        return titles;
    }
    int SortArrow(int index) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        Header_GetItem(List().GetHeader(), index, &item);
        return item.fmt & (HDF_SORTUP | HDF_SORTDOWN);
    }
    void Select(std::initializer_list<int> rows) {
        ListView_SetItemState(ListWindow(), -1, 0, LVIS_SELECTED);
        for (int row : rows) ListView_SetItemState(ListWindow(), row, LVIS_SELECTED, LVIS_SELECTED);
    }
    std::vector<int> SelectedRows() {
        std::vector<int> rows;
        for (int r = -1; (r = ListView_GetNextItem(ListWindow(), r, LVNI_SELECTED)) >= 0;)
            rows.push_back(r);
        return rows;
    }
    // A drag as the control starts it, ended by releasing the button over `target`.
    void Drag(int target) {
        List().BeginDrag();
        ASSERT_TRUE(List().IsDragging());
        ListView_SetItemState(ListWindow(), target, LVIS_FOCUSED, LVIS_FOCUSED);
        SendMessageW(ListWindow(), WM_LBUTTONUP, 0, 0);
        EXPECT_FALSE(List().IsDragging());
    }
    std::vector<std::wstring> MenuItems(HMENU menu) {
        std::vector<std::wstring> items;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t text[128] = L"";
            GetMenuStringW(menu, i, text, 128, MF_BYPOSITION);
            items.push_back(text);
        }
        return items;
    }
    static bool Grayed(HMENU menu, int position) {
        return (GetMenuState(menu, position, MF_BYPOSITION) & MF_GRAYED) != 0;
    }

    th::TempDir dir_;
    std::wstring libraryPath_ = dir_.File(L"Library.xml");
    CLibrary library_{libraryPath_};
    CPlaylists playlists_;
    Settings fields_;
    std::unique_ptr<th::ListHost> host_;
};

}  // namespace

// ---- Columns and layouts ----------------------------------------------------------------------

TEST_F(WndListTest, EachLayoutStartsWithItsDefaultColumns) {
    EXPECT_EQ(List().ColumnIds(), std::vector<int>{0});
    auto artist = Playlist(CPlaylist::kArtist);
    List().SetPlaylist(artist.get());
    EXPECT_EQ(Headers(), (std::vector<std::wstring>{L"Filename", L"Size", L"Duration"}));
    EXPECT_EQ(ColumnWidth(0), 0);
    EXPECT_EQ(ColumnWidth(1), 100);
    EXPECT_EQ(CellOf(ListWindow(), 0, 0), L"delta");
    EXPECT_EQ(CellOf(ListWindow(), 0, 1), L"delta");
    EXPECT_EQ(CellOf(ListWindow(), 0, 2), L"3.91 Kb");
    EXPECT_EQ(CellOf(ListWindow(), 0, 3), L"1:00");

    auto favourites = Playlist(CPlaylist::kFavourites);
    List().SetPlaylist(favourites.get());
    EXPECT_EQ(Headers(), (std::vector<std::wstring>{L"Artist", L"Filename", L"Size", L"Duration"}));
    auto user = Playlist(CPlaylist::kUser);
    List().SetPlaylist(user.get());
    EXPECT_EQ(List().GetLayout(), 2);
    EXPECT_EQ(Headers(), (std::vector<std::wstring>{L"Artist", L"Filename", L"Size", L"Duration"}));
    EXPECT_EQ(fields_.columnPositions[1][1], 1);  // favourites: Artist first
    EXPECT_EQ(fields_.columnPositions[1][0], 2);
}

TEST_F(WndListTest, SwitchingLayoutsKeepsEachLayoutsOrderAndWidths) {
    auto artist = Playlist(CPlaylist::kArtist);
    auto favourites = Playlist(CPlaylist::kFavourites);
    List().SetPlaylist(artist.get());
    // The user drags Duration to the front and widens Size.
    int order[] = {0, 3, 1, 2};
    ListView_SetColumnOrderArray(ListWindow(), 4, order);
    ListView_SetColumnWidth(ListWindow(), 2, 150);
    List().StoreColumnWidth(2);

    List().SetPlaylist(favourites.get());
    EXPECT_EQ(DisplayedHeaders(),
              (std::vector<std::wstring>{L"Artist", L"Filename", L"Size", L"Duration"}));
    List().SetPlaylist(artist.get());
    EXPECT_EQ(DisplayedHeaders(), (std::vector<std::wstring>{L"Duration", L"Filename", L"Size"}));
    EXPECT_EQ(ColumnWidth(IndexOfHeader(L"Size")), 150);
    EXPECT_EQ(fields_.columnPositions[0][8], 1);   // Duration
    EXPECT_EQ(fields_.columnWidths[0][3], 150);    // Size
}

TEST_F(WndListTest, ToggledColumnComesLastWithItsWidthAndTexts) {
    auto artist = Playlist(CPlaylist::kArtist);
    List().SetPlaylist(artist.get());
    fields_.columnWidths[0][2] = 240;
    List().ToggleColumn(3);  // Title
    EXPECT_EQ(Headers().back(), L"Title");
    EXPECT_EQ(ColumnWidth(4), 240);
    EXPECT_EQ(CellOf(ListWindow(), 1, 4), L"Alpha");
    EXPECT_EQ(CellOf(ListWindow(), 1, 1), L"alpha");  // the others keep theirs
    EXPECT_EQ(fields_.columnPositions[0][2], 4);
    List().ToggleColumn(2);  // Artist, no stored width
    EXPECT_EQ(ColumnWidth(5), 100);
    EXPECT_TRUE(List().IsColumnShown(2));

    List().ToggleColumn(3);
    EXPECT_FALSE(List().IsColumnShown(3));
    EXPECT_EQ(fields_.columnPositions[0][2], 0);
    EXPECT_EQ(CellOf(ListWindow(), 1, 4), L"Bob");
}

TEST_F(WndListTest, HidingEveryColumnLeavesTheHiddenOneUntilTheNextRebuild) {
    auto artist = Playlist(CPlaylist::kArtist);
    List().SetPlaylist(artist.get());
    for (int id : {1, 4, 9}) List().ToggleColumn(id);
    EXPECT_EQ(List().ColumnIds(), std::vector<int>{0});
    EXPECT_EQ(List().RowCount(), 8);
    List().RebuildColumns();
    EXPECT_EQ(Headers(), (std::vector<std::wstring>{L"Filename", L"Size", L"Duration"}));
}

TEST_F(WndListTest, HeaderMenuChecksShownColumnsAndTogglesThem) {
    auto artist = Playlist(CPlaylist::kArtist);
    List().SetPlaylist(artist.get());
    MenuHandle menu = List().BuildColumnMenu();
    ASSERT_EQ(GetMenuItemCount(menu.get()), 11);
    EXPECT_EQ(MenuItems(menu.get())[4], L"Channels");
    EXPECT_TRUE(GetMenuState(menu.get(), 0, MF_BYPOSITION) & MF_CHECKED);
    EXPECT_FALSE(GetMenuState(menu.get(), 4, MF_BYPOSITION) & MF_CHECKED);
    // The menu's choice arrives at the header.
    SendMessageW(List().GetHeader(), WM_COMMAND, 5, 0);
    EXPECT_TRUE(List().IsColumnShown(5));
    EXPECT_EQ(Headers().back(), L"Chn");
}

TEST_F(WndListTest, LongTitlesAndMissingSongs) {
    const std::wstring title(80, L't');
    std::vector<th::CatalogueSong> songs = kSongs;
    songs[0].title = title;
    ASSERT_TRUE(th::WriteCatalogue(libraryPath_, songs));
    ASSERT_TRUE(library_.Reload(0));
    auto favourites = Playlist(CPlaylist::kFavourites, 1);
    favourites->Add(99, true);  // not in the catalogue
    List().SetPlaylist(favourites.get());
    List().ToggleColumn(3);
    EXPECT_EQ(CellOf(ListWindow(), 0, IndexOfHeader(L"Title")), title);
    ASSERT_EQ(List().RowCount(), 2);
    for (int c = 0; c < static_cast<int>(List().ColumnIds().size()); ++c)
        EXPECT_EQ(CellOf(ListWindow(), 1, c), L"");
}

// ---- Sorting ----------------------------------------------------------------------------------

TEST_F(WndListTest, ClicksOnTitleSortUpDownUp) {
    auto artist = Playlist(CPlaylist::kArtist);
    List().SetPlaylist(artist.get());
    List().ToggleColumn(3);
    const int title = IndexOfHeader(L"Title");
    const std::vector<std::wstring> up = {L"Alpha", L"Bravo", L"Charlie", L"Delta",
                                          L"Echo",  L"Echo",  L"Foxtrot", L"Golf"};
    const std::vector<std::wstring> down(up.rbegin(), up.rend());
    NMLISTVIEW click{};
    click.hdr = {ListWindow(), static_cast<UINT_PTR>(IDC_SONGLIST), static_cast<UINT>(LVN_COLUMNCLICK)};
    click.iItem = -1;
    click.iSubItem = title;
    const int changes = host_->playlistChanges;
    for (int round = 0; round < 3; ++round) {
        SendMessageW(host_->Window(), WM_NOTIFY, IDC_SONGLIST, reinterpret_cast<LPARAM>(&click));
        EXPECT_EQ(Titles(), round == 1 ? down : up) << "click " << round + 1;
        EXPECT_EQ(SortArrow(title), round == 1 ? HDF_SORTDOWN : HDF_SORTUP);
        EXPECT_EQ(SortArrow(1), 0);
    }
    EXPECT_EQ(fields_.sort, 3);
    EXPECT_EQ(fields_.desc, 0u);
    th::PumpFor(20);
    EXPECT_EQ(host_->playlistChanges, changes + 3);
}

TEST_F(WndListTest, EqualKeysKeepTheirOrderAndTheFocusedRowFollows) {
    auto artist = Playlist(CPlaylist::kArtist);
    List().SetPlaylist(artist.get());
    List().SelectRow(5);  // the second "Echo"
    List().Resort(3, false);
    EXPECT_EQ(SongIds(*artist), (std::vector<int>{2, 4, 8, 1, 3, 6, 7, 5}));
    EXPECT_EQ(List().FocusedRow(), 5);
    EXPECT_EQ(SelectedRows(), std::vector<int>{5});
    List().Resort(3, true);
    EXPECT_EQ(SongIds(*artist), (std::vector<int>{5, 7, 3, 6, 1, 8, 4, 2}));
}

TEST_F(WndListTest, LibraryListsShareTheSortAndPlaylistsKeepTheirOwn) {
    auto first = Playlist(CPlaylist::kArtist);
    auto second = std::make_unique<CPlaylist>(CPlaylist::kArtist);
    for (int id : {8, 5, 1}) second->Add(id, true);
    auto favourites = Playlist(CPlaylist::kFavourites);
    List().SetPlaylist(first.get());
    List().SortByColumn(IndexOfHeader(L"Size"));
    List().SetPlaylist(second.get());
    EXPECT_EQ(SongIds(*second), (std::vector<int>{1, 5, 8}));
    EXPECT_EQ(SortArrow(IndexOfHeader(L"Size")), HDF_SORTUP);

    List().SetPlaylist(favourites.get());
    EXPECT_EQ(SortArrow(IndexOfHeader(L"Size")), 0);  // the favourites are not sorted
    List().SortByColumn(IndexOfHeader(L"Artist"));
    List().SortByColumn(IndexOfHeader(L"Artist"));
    int column = 0;
    bool descending = false;
    favourites->GetSortState(column, descending);
    EXPECT_EQ(column, 2);
    EXPECT_TRUE(descending);
    EXPECT_EQ(fields_.sort, 4);  // the library lists keep theirs
    EXPECT_EQ(fields_.desc, 0u);
}

// ---- Dragging ---------------------------------------------------------------------------------

TEST_F(WndListTest, DraggedRowsLandBelowOrAboveTheTarget) {
    auto user = Playlist(CPlaylist::kUser);
    List().SetPlaylist(user.get());
    Select({2, 3});
    Drag(6);
    EXPECT_EQ(SongIds(*user), (std::vector<int>{1, 2, 5, 6, 7, 3, 4, 8}));
    EXPECT_EQ(SelectedRows(), std::vector<int>{6});
    EXPECT_EQ(List().FocusedRow(), 6);

    auto other = Playlist(CPlaylist::kUser);
    List().SetPlaylist(other.get());
    Select({5, 6});
    Drag(1);
    EXPECT_EQ(SongIds(*other), (std::vector<int>{1, 6, 7, 2, 3, 4, 5, 8}));
    EXPECT_EQ(SelectedRows(), std::vector<int>{1});
    th::PumpFor(20);
    EXPECT_EQ(host_->playlistChanges, 2);
}

TEST_F(WndListTest, DropOnASelectedRowMovesNothingAndGivesBackTheFocus) {
    auto user = Playlist(CPlaylist::kUser);
    List().SetPlaylist(user.get());
    Select({2, 3});
    ListView_SetItemState(ListWindow(), 2, LVIS_FOCUSED, LVIS_FOCUSED);
    Drag(3);
    EXPECT_EQ(SongIds(*user), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(List().FocusedRow(), 2);
    // Losing the focus ends a drag as well.
    List().BeginDrag();
    SendMessageW(ListWindow(), WM_KILLFOCUS, 0, 0);
    EXPECT_FALSE(List().IsDragging());
}

// ---- Deleting and the commands -----------------------------------------------------------------

TEST_F(WndListTest, DeleteAnnouncesEachRowBeforeRemovingIt) {
    auto favourites = Playlist(CPlaylist::kFavourites);
    List().SetPlaylist(favourites.get());
    Select({1, 2, 4});
    ListView_SetItemState(ListWindow(), 0, LVIS_FOCUSED, LVIS_FOCUSED);
    SendMessageW(ListWindow(), WM_KEYDOWN, VK_DELETE, 0);
    std::vector<LPARAM> rows;
    for (const auto& c : host_->commands) {
        EXPECT_EQ(c.id, ID_ENTRY_REMOVING);
        rows.push_back(c.lp);
    }
    EXPECT_EQ(rows, (std::vector<LPARAM>{1, 1, 2}));
    EXPECT_EQ(SongIds(*favourites), (std::vector<int>{1, 4, 6, 7, 8}));
    EXPECT_EQ(List().RowCount(), 5);
    EXPECT_EQ(SelectedRows(), std::vector<int>{0});  // the focused row

    // An artist's songs are not deleted.
    host_->commands.clear();
    auto artist = Playlist(CPlaylist::kArtist);
    List().SetPlaylist(artist.get());
    List().SelectAll();
    List().DeleteSelected();
    EXPECT_TRUE(host_->commands.empty());
    EXPECT_EQ(artist->GetCount(), 8);
}

TEST_F(WndListTest, KeysPlayPauseAndSelectAll) {
    auto artist = Playlist(CPlaylist::kArtist);
    List().SetPlaylist(artist.get());
    SendMessageW(ListWindow(), WM_KEYDOWN, VK_RETURN, 0);  // no focused row: nothing
    List().SelectRow(2);
    SendMessageW(ListWindow(), WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(ListWindow(), WM_KEYDOWN, VK_SPACE, 0);
    ASSERT_EQ(host_->commands.size(), 2u);
    EXPECT_EQ(host_->commands[0].id, ID_PLAY);
    EXPECT_EQ(host_->commands[0].lp, 1);
    EXPECT_EQ(host_->commands[1].id, ID_PLAY);
    EXPECT_EQ(host_->commands[1].lp, 0);

    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    SendMessageW(ListWindow(), WM_KEYDOWN, 'A', 0);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(SelectedRows().size(), 8u);
}

// The control asks its parent for the row that typed letters name, from the row after the
// focused one on; letters typed in quick succession add up to one name.
TEST_F(WndListTest, TypedLettersMoveToARowByItsFileName) {
    auto user = Playlist(CPlaylist::kUser);
    List().SetPlaylist(user.get());
    List().SelectRow(0);
    SendMessageW(ListWindow(), WM_CHAR, L'E', 1);
    EXPECT_EQ(List().FocusedRow(), 2);  // echo
    for (wchar_t c : std::wstring(L"cho2")) SendMessageW(ListWindow(), WM_CHAR, c, 1);
    EXPECT_EQ(List().FocusedRow(), 5);  // echo2
    EXPECT_EQ(SelectedRows(), std::vector<int>{5});
}

TEST_F(WndListTest, SelectionGoesToFavouritesNewAndExistingPlaylists) {
    CPlaylist mine(CPlaylist::kUser);
    CPlaylist yours(CPlaylist::kUser);
    playlists_.Add(L"Mine", &mine);
    playlists_.Add(L"Yours", &yours);
    auto artist = Playlist(CPlaylist::kArtist);
    List().SetPlaylist(artist.get());
    Select({1, 4});
    SendMessageW(ListWindow(), WM_COMMAND, ID_ADD_FAVOURITES, 0);
    SendMessageW(ListWindow(), WM_COMMAND, 100, 0);
    SendMessageW(ListWindow(), WM_COMMAND, 102, 0);  // "Yours"
    ASSERT_EQ(host_->commands.size(), 2u);
    EXPECT_EQ(host_->commands[0].id, ID_ADD_FAVOURITES);
    EXPECT_EQ(host_->commands[0].songs, (std::vector<int>{2, 5}));
    EXPECT_EQ(host_->commands[1].id, ID_NEW_PLAYLIST);
    EXPECT_EQ(host_->commands[1].songs, (std::vector<int>{2, 5}));
    EXPECT_EQ(SongIds(yours), (std::vector<int>{2, 5}));
    EXPECT_EQ(mine.GetCount(), 0);
    SendMessageW(ListWindow(), WM_COMMAND, 109, 0);  // no such playlist
    Select({});
    SendMessageW(ListWindow(), WM_COMMAND, ID_ADD_FAVOURITES, 0);  // nothing selected
    EXPECT_EQ(host_->commands.size(), 2u);
    th::PumpFor(20);
    EXPECT_EQ(host_->playlistChanges, 1);
}

TEST_F(WndListTest, ContextMenuFollowsTheLibraryStateSelectionAndKind) {
    MenuHandle early = List().BuildContextMenu();
    EXPECT_EQ(MenuItems(early.get()), (std::vector<std::wstring>{L"Font style", L"Font colour",
                                                                L"Background colour",
                                                                L"Highlight colour"}));
    CPlaylist rock(CPlaylist::kUser);
    playlists_.Add(L"Rock & Roll", &rock);
    List().SetLibraryReady();
    auto favourites = Playlist(CPlaylist::kFavourites);
    List().SetPlaylist(favourites.get());
    MenuHandle none = List().BuildContextMenu();
    EXPECT_TRUE(Grayed(none.get(), 0));  // Play: no focused row
    EXPECT_TRUE(Grayed(none.get(), 2));  // Delete: nothing selected

    List().SelectRow(1);
    ListView_SetItemState(ListWindow(), 2, LVIS_SELECTED, LVIS_SELECTED);
    MenuHandle menu = List().BuildContextMenu();
    std::vector<std::wstring> items = MenuItems(menu.get());
    ASSERT_EQ(items.size(), 10u);
    EXPECT_EQ(items[0], L"Play");
    EXPECT_EQ(GetMenuDefaultItem(menu.get(), FALSE, 0), 1u);
    EXPECT_EQ(items[2], L"Delete songs");
    EXPECT_FALSE(Grayed(menu.get(), 2));
    EXPECT_TRUE(Grayed(menu.get(), 3));   // the favourites are not added to themselves
    EXPECT_FALSE(Grayed(menu.get(), 4));  // Add to playlist
    HMENU sub = GetSubMenu(menu.get(), 4);
    ASSERT_TRUE(sub);
    EXPECT_EQ(MenuItems(sub), (std::vector<std::wstring>{L"New playlist", L"", L"Rock && Roll"}));
    EXPECT_EQ(GetMenuItemID(sub, 2), 101u);

    List().SetPlaylist(&rock);
    rock.Add(1, true);
    List().SetPlaylist(&rock);
    List().SelectRow(0);
    MenuHandle own = List().BuildContextMenu();
    EXPECT_EQ(MenuItems(own.get())[2], L"Delete song");
    EXPECT_TRUE(Grayed(GetSubMenu(own.get(), 4), 2));  // the shown playlist itself
}

// ---- Painting ---------------------------------------------------------------------------------

// The list painted into a bitmap, as the control paints itself.
class Snapshot {
public:
    explicit Snapshot(HWND window) {
        GetClientRect(window, &rect_);
        HDC screen = GetDC(window);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, rect_.right, rect_.bottom);
        ReleaseDC(window, screen);
        old_ = SelectObject(dc_, bitmap_);
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT | PRF_ERASEBKGND);
    }
    ~Snapshot() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    bool RowHas(HWND list, int row, COLORREF colour) const {
        RECT r{};
        ListView_GetItemRect(list, row, &r, LVIR_BOUNDS);
        for (int y = r.top + 1; y < r.bottom - 1; ++y) {
            for (int x = 2; x < 300; ++x) {
                if (GetPixel(dc_, x, y) == colour) return true;
            }
        }
        return false;
    }

private:
    RECT rect_{};
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

TEST_F(WndListTest, SelectedAndPlayingRowsUseTheUsersColours) {
    const COLORREF text = RGB(10, 20, 30), back = RGB(250, 240, 230), high = RGB(200, 0, 0);
    fields_.listtext = text;
    fields_.listback = back;
    fields_.listhigh = high;
    List().ApplyColours();
    auto artist = Playlist(CPlaylist::kArtist);
    List().SetPlaylist(artist.get());
    List().SelectRow(1);
    host_->active = true;
    host_->currentSerial = artist->GetSerialAt(3);
    {
        Snapshot shot(ListWindow());
        EXPECT_TRUE(shot.RowHas(ListWindow(), 1, high));   // selected: on the highlight colour
        EXPECT_TRUE(shot.RowHas(ListWindow(), 3, high));   // playing: text in the highlight colour
        EXPECT_TRUE(shot.RowHas(ListWindow(), 3, back));
        EXPECT_FALSE(shot.RowHas(ListWindow(), 2, high));
        EXPECT_TRUE(shot.RowHas(ListWindow(), 2, text));
    }
    // The playing row, when selected, is drawn as selected: no text colour on it.
    host_->currentSerial = artist->GetSerialAt(1);
    Snapshot shot(ListWindow());
    EXPECT_TRUE(shot.RowHas(ListWindow(), 1, high));
    EXPECT_FALSE(shot.RowHas(ListWindow(), 1, text));
}
