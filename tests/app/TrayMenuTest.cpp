#include "MenuTestSupport.h"
#include "TestSupport.h"
#include "XmlTestFiles.h"

#include "base/EscapeAmpersands.h"
#include "app/Ids.h"
#include "app/OptionsMenu.h"
#include "app/Settings.h"
#include "app/TrayMenu.h"
#include "library/Library.h"
#include "playlists/Playlist.h"
#include "playlists/Playlists.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// A catalogue of `count` songs: song k by "Artist k & Co", titled "Title k".
class Catalogue {
public:
    explicit Catalogue(int count) : library_(dir_.File(L"Library.xml")) {
        std::wstring body = L"\r\n<LIBRARY>\r\n<VERSION>1</VERSION>";
        for (int k = 1; k <= count; ++k) {
            const std::wstring n = std::to_wstring(k);
            body += L"\r\n<SONG><ID>" + n + L"</ID><ARTIST>Artist " + n +
                    L" &amp; Co</ARTIST><TITLE>Title " + n + L"</TITLE><FILE>a\\s" + n +
                    L".mod</FILE></SONG>";
        }
        th::WriteFileBytes(dir_.File(L"Library.xml"), th::XmlFile(body + L"\r\n</LIBRARY>"));
        loaded_ = library_.Reload(0);
    }
    bool Loaded() const { return loaded_ && library_.GetCount() > 0; }
    const CLibrary* Get() const { return &library_; }

private:
    th::TempDir dir_;
    CLibrary library_;
    bool loaded_ = false;
};

std::unique_ptr<CPlaylist> PlaylistOf(int kind, int first, int count) {
    auto list = std::make_unique<CPlaylist>(kind);
    for (int k = 0; k < count; ++k) list->Add(first + k, true);
    return list;
}

class TrayMenuTest : public ::testing::Test {
protected:
    void SetUp() override { settings.SetDefaults(); }
    void TearDown() override { settings.SetDefaults(); }

    MenuHandle Build(const TrayMenuState& state) { return menu_.Build(state); }
    // Position of a top-level item of the tray menu by its text.
    static HMENU Submenu(HMENU menu, const wchar_t* text) {
        int at = th::FindItem(menu, text);
        return at < 0 ? nullptr : GetSubMenu(menu, at);
    }

    COptionsMenu options_{&settings, nullptr, nullptr};
    CTrayMenu menu_{&options_};
};

}  // namespace

TEST(EscapeAmpersands, DoublesForMenusAndTriplesForTheTooltip) {
    EXPECT_EQ(EscapeAmpersands(L"Fish & Chips", false), L"Fish && Chips");
    EXPECT_EQ(EscapeAmpersands(L"Fish & Chips", true), L"Fish &&& Chips");
    EXPECT_EQ(EscapeAmpersands(L"&&x&", false), L"&&&&x&&");
    EXPECT_EQ(EscapeAmpersands(L"", true), L"");
    EXPECT_EQ(EscapeAmpersands(L"no mark \U0001F3B5", true), L"no mark \U0001F3B5");
}

TEST_F(TrayMenuTest, ListsOptionsVolumeBranchesTransportAndWindowItems) {
    Catalogue catalogue(3);
    ASSERT_TRUE(catalogue.Loaded());
    auto favourites = PlaylistOf(CPlaylist::kFavourites, 1, 3);
    TrayMenuState state;
    state.library = catalogue.Get();
    state.favourites = favourites.get();
    state.volume = 75;
    state.rows = 30;
    MenuHandle menu = Build(state);
    HMENU m = menu.get();

    // The options first, exactly as in the system menu.
    EXPECT_EQ(th::MenuText(m, 0), L"About tunehaven");
    EXPECT_EQ(th::MenuText(m, kOptionRandom), L"Random play");
    EXPECT_TRUE(th::IsChecked(GetSubMenu(m, kOptionClickRemoval), 2));  // "Sensitive"

    std::vector<std::wstring> rest;
    for (int i = kOptionCount; i < GetMenuItemCount(m); ++i) rest.push_back(th::MenuText(m, i));
    EXPECT_EQ(rest, (std::vector<std::wstring>{
                        L"Set volume", L"", L"Favourites", L"Playlists", L"", L"Add to favourites",
                        L"", L"Play", L"Stop", L"Previous track", L"Next track", L"",
                        L"Hide tunehaven", L"Quit tunehaven"}));

    HMENU volume = Submenu(m, L"Set volume");
    ASSERT_EQ(GetMenuItemCount(volume), 11);
    EXPECT_EQ(th::MenuText(volume, 0), L"100%");
    EXPECT_EQ(th::MenuId(volume, 0), ID_VOLUME_FIRST + 10);
    EXPECT_EQ(th::MenuText(volume, 10), L"0%");
    EXPECT_EQ(th::MenuId(volume, 10), ID_VOLUME_FIRST);
    EXPECT_TRUE(th::IsChecked(volume, 3));  // 70 %: 75 rounds down to its step
    EXPECT_EQ(th::CountChecked(volume), 1);

    // No playlists: the branch is there but cannot be opened. Nothing enabled by the toolbar.
    EXPECT_TRUE(th::IsGreyed(m, th::FindItem(m, L"Playlists")));
    EXPECT_FALSE(th::IsGreyed(m, th::FindItem(m, L"Favourites")));
    for (const wchar_t* item : {L"Add to favourites", L"Play", L"Stop", L"Previous track",
                                L"Next track"})
        EXPECT_TRUE(th::IsGreyed(m, th::FindItem(m, item))) << item;
    EXPECT_EQ(GetMenuDefaultItem(m, FALSE, 0), ID_HIDE);
    EXPECT_FALSE(th::IsGreyed(m, th::FindItem(m, L"Quit tunehaven")));
}

TEST_F(TrayMenuTest, TransportItemsCopyTheToolbarAndTheWindowState) {
    const std::set<UINT> enabled = {ID_PLAY, ID_NEXT, ID_ADD_FAVOURITES};
    TrayMenuState state;
    state.isButtonEnabled = [&](UINT id) { return enabled.count(id) > 0; };
    state.isPlaying = true;
    state.windowVisible = false;
    state.quitAllowed = false;
    state.rows = 30;
    MenuHandle menu = Build(state);
    HMENU m = menu.get();
    EXPECT_EQ(th::FindItem(m, L"Play"), -1);
    const int pause = th::FindItem(m, L"Pause");
    ASSERT_GE(pause, 0);
    EXPECT_EQ(th::MenuId(m, pause), ID_PLAY);
    EXPECT_FALSE(th::IsGreyed(m, pause));
    EXPECT_TRUE(th::IsGreyed(m, th::FindItem(m, L"Stop")));
    EXPECT_TRUE(th::IsGreyed(m, th::FindItem(m, L"Previous track")));
    EXPECT_FALSE(th::IsGreyed(m, th::FindItem(m, L"Next track")));
    EXPECT_FALSE(th::IsGreyed(m, th::FindItem(m, L"Add to favourites")));
    // Hidden in the tray: Show is offered and is the default; Quit waits for the tree.
    EXPECT_EQ(th::FindItem(m, L"Hide tunehaven"), -1);
    EXPECT_EQ(GetMenuDefaultItem(m, FALSE, 0), ID_SHOW);
    EXPECT_TRUE(th::IsGreyed(m, th::FindItem(m, L"Quit tunehaven")));
    // No favourites playlist at all: greyed as well.
    EXPECT_TRUE(th::IsGreyed(m, th::FindItem(m, L"Favourites")));
}

TEST_F(TrayMenuTest, FavouritesListTheFirst400WithColumnsAndTheAudibleEntry) {
    Catalogue catalogue(450);
    ASSERT_TRUE(catalogue.Loaded());
    auto favourites = PlaylistOf(CPlaylist::kFavourites, 1, 450);
    TrayMenuState state;
    state.library = catalogue.Get();
    state.favourites = favourites.get();
    state.audibleSerial = favourites->GetSerialAt(41);
    state.rows = 30;
    MenuHandle menu = Build(state);
    HMENU list = Submenu(menu.get(), L"Favourites");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(GetMenuItemCount(list), 400);
    // One ampersand of the artist shows as one: doubled for the menu.
    EXPECT_EQ(th::MenuText(list, 0), L"1.\tArtist 1 && Co - Title 1");
    EXPECT_EQ(th::MenuText(list, 399), L"400.\tArtist 400 && Co - Title 400");
    EXPECT_EQ(th::MenuId(list, 0), ID_FAVOURITE_FIRST);
    EXPECT_EQ(th::MenuId(list, 399), ID_FAVOURITE_LAST);
    for (int i = 0; i < 400; ++i)
        EXPECT_EQ(th::StartsColumn(list, i), i > 0 && i % 30 == 0) << i;
    EXPECT_TRUE(th::IsChecked(list, 41));
    EXPECT_EQ(th::CountChecked(list), 1);
}

TEST_F(TrayMenuTest, EntriesStopAtTheFirstSongTheLibraryDoesNotKnow) {
    Catalogue catalogue(5);
    ASSERT_TRUE(catalogue.Loaded());
    CPlaylist list(CPlaylist::kUser);
    list.Add(2, true);
    list.Add(2, true);  // the same song twice: two entries, only one is audible
    list.Add(99, true);
    list.Add(3, true);
    MenuHandle menu(CreatePopupMenu());
    EXPECT_EQ(CTrayMenu::AppendEntries(menu.get(), &list, catalogue.Get(), 1400,
                                       list.GetSerialAt(1), 1),
              2);
    EXPECT_FALSE(th::IsChecked(menu.get(), 0));
    EXPECT_TRUE(th::IsChecked(menu.get(), 1));
    EXPECT_TRUE(th::StartsColumn(menu.get(), 1));  // one row per column
    CPlaylist empty(CPlaylist::kFavourites);
    EXPECT_EQ(CTrayMenu::AppendEntries(menu.get(), &empty, catalogue.Get(), 1000, 0, 30), 0);

    TrayMenuState state;
    state.library = catalogue.Get();
    state.favourites = &empty;
    state.rows = 30;
    MenuHandle tray = Build(state);
    const int at = th::FindItem(tray.get(), L"Favourites");
    EXPECT_TRUE(th::IsGreyed(tray.get(), at));
    EXPECT_EQ(GetMenuItemCount(GetSubMenu(tray.get(), at)), 0);
}

TEST_F(TrayMenuTest, PlaylistsListTheFirst150InTheSetsOrder) {
    Catalogue catalogue(4);
    ASSERT_TRUE(catalogue.Loaded());
    CPlaylists set;
    std::vector<std::unique_ptr<CPlaylist>> owned;
    for (int p = 0; p < 160; ++p) {
        owned.push_back(PlaylistOf(CPlaylist::kUser, 1 + p % 3, 2));
        wchar_t name[32];
        swprintf(name, 32, L"List %03d%ls", p, p == 0 ? L" & more" : L"");
        set.Add(name, owned.back().get());
    }
    TrayMenuState state;
    state.library = catalogue.Get();
    state.playlists = &set;
    state.audibleSerial = owned[1]->GetSerialAt(1);
    state.rows = 30;
    MenuHandle menu = Build(state);
    const int at = th::FindItem(menu.get(), L"Playlists");
    ASSERT_GE(at, 0);
    EXPECT_FALSE(th::IsGreyed(menu.get(), at));
    HMENU lists = GetSubMenu(menu.get(), at);
    ASSERT_EQ(GetMenuItemCount(lists), 150);
    EXPECT_EQ(th::MenuText(lists, 0), L"List 000 && more");
    EXPECT_EQ(th::MenuText(lists, 149), L"List 149");
    // Entry i of the p-th playlist is command 1400 + p * 400 + i, which finds it again.
    HMENU second = GetSubMenu(lists, 1);
    ASSERT_EQ(GetMenuItemCount(second), 2);
    EXPECT_EQ(th::MenuId(second, 1), 1400u + 400u + 1u);
    EXPECT_EQ(th::MenuText(second, 0), L"1.\tArtist 2 && Co - Title 2");
    EXPECT_TRUE(th::IsChecked(second, 1));
    EXPECT_EQ(set.GetByIndex(1), owned[1].get());
    const UINT last = th::MenuId(GetSubMenu(lists, 149), 1);
    EXPECT_LE(last, ID_PLAYLIST_ENTRY_LAST);
    EXPECT_EQ((last - ID_PLAYLIST_ENTRY_FIRST) / PLAYLIST_MENU_ENTRIES, 149u);
}

TEST_F(TrayMenuTest, RowsPerColumnFillTheScreenHeight) {
    const int rows = CTrayMenu::RowsPerColumn(nullptr);
    EXPECT_GT(rows, 5);
    EXPECT_LT(rows, GetSystemMetrics(SM_CYSCREEN));
}
