#include "TreeHost.h"

#include "XmlTestFiles.h"
#include "library/Library.h"
#include "playlists/Playlist.h"
#include "playlists/Playlists.h"
#include "ui/tree/WndTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

using treetest::Fixture;
using treetest::Song;

namespace {

std::vector<std::wstring> Names(std::initializer_list<const wchar_t*> names) {
    return std::vector<std::wstring>(names.begin(), names.end());
}

struct MenuItem {
    UINT id;
    std::wstring text;
    bool grayed;
    bool popup;
};

std::vector<MenuItem> Items(HMENU menu) {
    std::vector<MenuItem> items;
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU | MIIM_FTYPE;
        info.dwTypeData = text;
        info.cch = 127;
        GetMenuItemInfoW(menu, i, TRUE, &info);
        if (info.fType & MFT_SEPARATOR) {
            items.push_back({0, L"-", false, false});
            continue;
        }
        items.push_back({info.wID, text, (info.fState & MFS_GRAYED) != 0, info.hSubMenu != nullptr});
    }
    return items;
}

std::vector<std::wstring> Texts(const std::vector<MenuItem>& items) {
    std::vector<std::wstring> texts;
    for (const auto& item : items) texts.push_back(item.text);
    return texts;
}

// The playlist file of a list of ids, as the program writes it.
std::string PlaylistBytes(std::initializer_list<int> ids) {
    std::wstring body = L"\r\n<PLAYLIST>";
    for (int id : ids) body += L"\r\n<ID>" + std::to_wstring(id) + L"</ID>";
    return th::XmlFile(body + L"\r\n</PLAYLIST>");
}

std::vector<int> Ids(const CPlaylist* playlist) {
    std::vector<int> ids;
    for (int i = 0; playlist && playlist->GetIdAt(i) != 0; ++i) ids.push_back(playlist->GetIdAt(i));
    return ids;
}

std::vector<int> FileIds(const std::wstring& path) {
    CPlaylist playlist(CPlaylist::kUser);
    if (!playlist.Load(path.c_str())) return {-1};
    return Ids(&playlist);
}

void Command(const Fixture& f, UINT id) {
    SendMessageW(f.tree->GetControl(), WM_COMMAND, id, 0);
}

// A label edit that NewPlaylist starts is ended without a change.
void EndEdit(const Fixture& f) {
    SendMessageW(f.tree->GetControl(), TVM_ENDEDITLABELNOW, TRUE, 0);
}

std::vector<Song> ThreeArtists() {
    return {{L"Ann"}, {L"Ann", L"Bob"}, {L"Cid"}, {L"Ann"}, {L"Dee"}};
}

}  // namespace

TEST(WndTree, MenuHoldsOnlyTheAppearanceItemsUntilReady) {
    Fixture f(ThreeArtists());
    MenuHandle early = f.tree->CreateContextMenu();
    EXPECT_EQ(Texts(Items(early.get())),
              Names({L"Font style", L"Font colour", L"Background colour", L"Highlight colour"}));
    ASSERT_TRUE(f.Build());

    f.Select(f.tree->GetLibraryItem());
    auto items = Items(f.tree->CreateContextMenu().get());
    EXPECT_EQ(Texts(items), Names({L"New playlist", L"Delete playlist", L"Add to favourites",
                                   L"Add to playlist", L"-", L"Font style", L"Font colour",
                                   L"Background colour", L"Highlight colour"}));
    EXPECT_FALSE(items[0].grayed);
    EXPECT_TRUE(items[1].grayed);
    EXPECT_TRUE(items[2].grayed);
    EXPECT_TRUE(items[3].popup);
    EXPECT_TRUE(items[3].grayed);

    f.Select(f.Child(f.tree->GetLibraryItem(), L"Ann"));
    items = Items(f.tree->CreateContextMenu().get());
    EXPECT_TRUE(items[1].grayed);
    EXPECT_FALSE(items[2].grayed);
    EXPECT_FALSE(items[3].grayed);
}

TEST(WndTree, PlaylistSubMenuListsTheSetWithTheOwnPlaylistGreyed) {
    Fixture f(ThreeArtists());
    CreateDirectoryW(f.data.File(L"Playlists").c_str(), nullptr);
    th::WriteFileBytes(f.PlaylistFile(L"Rock %26 Roll"), PlaylistBytes({1}));
    th::WriteFileBytes(f.PlaylistFile(L"beta"), PlaylistBytes({}));
    ASSERT_TRUE(f.Build());
    HTREEITEM rock = f.Child(f.tree->GetPlaylistsItem(), L"Rock & Roll");
    ASSERT_TRUE(rock);
    f.Select(rock);
    MenuHandle menu = f.tree->CreateContextMenu();
    auto items = Items(menu.get());
    EXPECT_FALSE(items[1].grayed);  // a user playlist can be deleted
    HMENU sub = GetSubMenu(menu.get(), 3);
    auto subItems = Items(sub);
    EXPECT_EQ(Texts(subItems), Names({L"New playlist", L"-", L"beta", L"Rock && Roll"}));
    EXPECT_EQ(subItems[0].id, 100u);
    EXPECT_EQ(subItems[2].id, 101u);
    EXPECT_FALSE(subItems[2].grayed);
    EXPECT_EQ(subItems[3].id, 102u);
    EXPECT_TRUE(subItems[3].grayed);
}

TEST(WndTree, ArtistToFavouritesAddsEachSongOnceAndToAPlaylistEveryTime) {
    Fixture f(ThreeArtists());
    ASSERT_TRUE(f.Build());
    HTREEITEM ann = f.Child(f.tree->GetLibraryItem(), L"Ann");
    f.Select(ann);
    Command(f, CWndTree::kAddToFavourites);
    Command(f, CWndTree::kAddToFavourites);
    EXPECT_EQ(Ids(f.tree->GetFavourites()), (std::vector<int>{4, 1, 2}));
    th::PumpFor(20);
    EXPECT_GT(f.host.playlistChanges, 0);

    Command(f, CWndTree::kAddToPlaylistFirst);  // a new playlist named after the node
    EndEdit(f);
    HTREEITEM made = f.Child(f.tree->GetPlaylistsItem(), L"Ann");
    ASSERT_TRUE(made);
    f.Select(ann);
    Command(f, CWndTree::kAddToPlaylistFirst + 1);
    EXPECT_EQ(Ids(f.tree->GetPlaylistOf(made)), (std::vector<int>{4, 1, 2, 4, 1, 2}));

    // The toolbar's and the list's additions: an unknown song adds nothing.
    f.tree->AddSongToFavourites(3);
    f.tree->AddSongToFavourites(3);
    f.tree->AddSongToFavourites(99);
    EXPECT_EQ(Ids(f.tree->GetFavourites()), (std::vector<int>{4, 1, 2, 3}));
}

TEST(WndTree, NewPlaylistsAreNumberedPastTheNamesInUse) {
    Fixture f;
    ASSERT_TRUE(f.Build());
    HTREEITEM playlists = f.tree->GetPlaylistsItem();
    HTREEITEM first = f.tree->NewPlaylist(nullptr, nullptr);
    EndEdit(f);
    f.tree->NewPlaylist(nullptr, nullptr);
    EndEdit(f);
    f.tree->NewPlaylist(nullptr, nullptr);
    EndEdit(f);
    EXPECT_EQ(f.Children(playlists), Names({L"New playlist", L"New playlist (1)", L"New playlist (2)"}));
    EXPECT_EQ(f.playlists->GetCount(), 3);

    f.tree->DeletePlaylist(first);
    f.tree->DeletePlaylist(f.Child(playlists, L"New playlist (2)"));
    EXPECT_EQ(f.Children(playlists), Names({L"New playlist (1)"}));
    f.tree->NewPlaylist(nullptr, nullptr);
    EndEdit(f);
    EXPECT_EQ(f.Children(playlists), Names({L"New playlist", L"New playlist (1)"}));
}

TEST(WndTree, PlaylistNamesRoundTripThroughTheirFiles) {
    Fixture f({{L"Ann"}});
    ASSERT_TRUE(f.Build());
    HTREEITEM playlists = f.tree->GetPlaylistsItem();
    CPlaylist songs(CPlaylist::kUser);
    songs.Add(1, true);
    for (const wchar_t* name : {L"a:b<c>", L"100%", L"x/y\\z|\"q\""}) {
        HTREEITEM item = f.tree->NewPlaylist(nullptr, &songs);
        EndEdit(f);
        ASSERT_TRUE(f.tree->RenamePlaylist(item, name));
        TVITEMW tv{};
        tv.mask = TVIF_TEXT;
        tv.hItem = item;
        tv.pszText = const_cast<wchar_t*>(name);
        SendMessageW(f.tree->GetControl(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    }
    f.Restart();
    ASSERT_TRUE(f.Build());
    playlists = f.tree->GetPlaylistsItem();
    EXPECT_EQ(f.Children(playlists), Names({L"100%", L"a:b<c>", L"x/y\\z|\"q\""}));
    EXPECT_TRUE(th::FileExists(f.PlaylistFile(L"a%3ab%3cc%3e")));
    EXPECT_TRUE(th::FileExists(f.PlaylistFile(L"100%25")));
    EXPECT_EQ(Ids(f.tree->GetPlaylistOf(f.Child(playlists, L"100%"))), (std::vector<int>{1}));
    EXPECT_EQ(f.playlists->GetCount(), 3);
}

// Names the file system would refuse as they are are stored under a safe file name and come
// back as they were; a name whose file cannot be written at all is refused and the old name,
// its file and its songs stay.
TEST(WndTree, RenamesToNamesTheFileSystemRefusesKeepThePlaylist) {
    Fixture f({{L"Ann"}, {L"Bob"}});
    ASSERT_TRUE(f.Build());
    CPlaylist songs(CPlaylist::kUser);
    songs.Add(2, true);
    for (const wchar_t* name : {L"Best?", L"a/b", L"CON", L"*"}) {
        HTREEITEM item = f.tree->NewPlaylist(nullptr, &songs);
        EndEdit(f);
        ASSERT_TRUE(f.tree->RenamePlaylist(item, name)) << name;
        TVITEMW tv{};
        tv.mask = TVIF_TEXT;
        tv.hItem = item;
        tv.pszText = const_cast<wchar_t*>(name);
        SendMessageW(f.tree->GetControl(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    }
    HTREEITEM kept = f.tree->NewPlaylist(L"Kept", &songs);
    EndEdit(f);
    ASSERT_TRUE(f.tree->SavePlaylistNode(kept));
    EXPECT_FALSE(f.tree->RenamePlaylist(kept, std::wstring(255, L'x'))) << "no file of that name can be made";
    EXPECT_EQ(FileIds(f.PlaylistFile(L"Kept")), (std::vector<int>{2}));

    f.Restart();
    ASSERT_TRUE(f.Build());
    std::vector<std::wstring> names = f.Children(f.tree->GetPlaylistsItem());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, Names({L"*", L"Best?", L"CON", L"Kept", L"a/b"}));
    for (const std::wstring& name : names)
        EXPECT_EQ(Ids(f.tree->GetPlaylistOf(f.Child(f.tree->GetPlaylistsItem(), name))), (std::vector<int>{2})) << name;
    EXPECT_EQ(f.playlists->GetCount(), 5);
}

// The tree and the set take the same names for one: a second playlist is never a node the
// set does not know, nor does it replace the first in the set.
TEST(WndTree, TreeAndSetShareOneCaseRule) {
    Fixture f({{L"Ann"}});
    ASSERT_TRUE(f.Build());
    HTREEITEM playlists = f.tree->GetPlaylistsItem();
    f.tree->NewPlaylist(L"\u0130stanbul", nullptr);
    EndEdit(f);
    f.tree->NewPlaylist(L"istanbul", nullptr);
    EndEdit(f);
    f.tree->NewPlaylist(L"k", nullptr);
    EndEdit(f);
    f.tree->NewPlaylist(L"\u212a", nullptr);
    EndEdit(f);
    std::vector<std::wstring> names = f.Children(playlists);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, Names({L"istanbul (1)", L"k", L"\u0130stanbul", L"\u212a (1)"}));
    EXPECT_EQ(f.playlists->GetCount(), 4) << "each node is a playlist of the set";
    std::wstring name;
    for (CPlaylist* p = f.playlists->First(name); p; p = f.playlists->Next(name))
        EXPECT_EQ(f.tree->GetPlaylistOf(f.Child(playlists, name)), p) << name;
    EXPECT_FALSE(f.tree->RenamePlaylist(f.Child(playlists, L"\u212a (1)"), L"K"));
}

// A timed save that fails (here a folder stands where the file is made) stays marked and is
// tried again, so the change reaches the disk once it can.
TEST(WndTree, AFailedTimedSaveIsTriedAgain) {
    Fixture f(ThreeArtists());
    ASSERT_TRUE(f.Build());
    const std::wstring favourites = f.data.File(L"Favourites.xml");
    const std::wstring blocked = favourites + L".tmp";
    ASSERT_TRUE(CreateDirectoryW(blocked.c_str(), nullptr));
    f.tree->AddSongToFavourites(3);
    th::PumpFor(CWndTree::kSaveDelayMs + 1000);
    EXPECT_FALSE(th::FileExists(favourites));
    RemoveDirectoryW(blocked.c_str());
    EXPECT_TRUE(th::PumpUntil([&] { return FileIds(favourites) == std::vector<int>{3}; }, CWndTree::kSaveDelayMs * 3));
}

// The new file is written before the old one goes, so no moment is without a file.
TEST(WndTree, RenameWritesTheNewFileBeforeRemovingTheOldAndRefusesAnotherCase) {
    Fixture f({{L"Ann"}, {L"Bob"}});
    CreateDirectoryW(f.data.File(L"Playlists").c_str(), nullptr);
    th::WriteFileBytes(f.PlaylistFile(L"Mine"), PlaylistBytes({2, 1}));
    th::WriteFileBytes(f.PlaylistFile(L"Other"), PlaylistBytes({1}));
    ASSERT_TRUE(f.Build());
    HTREEITEM mine = f.Child(f.tree->GetPlaylistsItem(), L"Mine");
    ASSERT_TRUE(mine);
    EXPECT_FALSE(f.tree->RenamePlaylist(mine, L"MINE"));
    EXPECT_FALSE(f.tree->RenamePlaylist(mine, L"other"));
    EXPECT_FALSE(f.tree->RenamePlaylist(mine, L""));
    EXPECT_TRUE(th::FileExists(f.PlaylistFile(L"Mine")));

    ASSERT_TRUE(f.tree->RenamePlaylist(mine, L"Yours"));
    EXPECT_EQ(FileIds(f.PlaylistFile(L"Yours")), (std::vector<int>{2, 1}));
    EXPECT_FALSE(th::FileExists(f.PlaylistFile(L"Mine")));
    std::wstring name;
    f.playlists->First(name);
    EXPECT_EQ(name, L"Other");
    EXPECT_EQ(f.playlists->Next(name), f.tree->GetPlaylistOf(mine));
    EXPECT_EQ(name, L"Yours");

    // Non-playlist nodes are never renamed.
    EXPECT_FALSE(f.tree->RenamePlaylist(f.tree->GetFavouritesItem(), L"Mine"));
}

TEST(WndTree, LabelEditingIsOfferedOnUserPlaylistsOnly) {
    Fixture f({{L"Ann"}});
    ASSERT_TRUE(f.Build());
    HWND control = f.tree->GetControl();
    HTREEITEM item = f.tree->NewPlaylist(nullptr, nullptr);
    EXPECT_NE(SendMessageW(control, TVM_GETEDITCONTROL, 0, 0), 0);
    EndEdit(f);
    SendMessageW(control, TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(f.tree->GetLibraryItem()));
    EXPECT_EQ(SendMessageW(control, TVM_GETEDITCONTROL, 0, 0), 0);

    // A finished edit renames through the host; the control takes the new label.
    HWND edit = reinterpret_cast<HWND>(SendMessageW(control, TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(item)));
    ASSERT_TRUE(edit);
    SetWindowTextW(edit, L"Road trip");
    SendMessageW(control, TVM_ENDEDITLABELNOW, FALSE, 0);
    EXPECT_EQ(f.tree->GetNodeText(item), L"Road trip");
    EXPECT_TRUE(th::FileExists(f.PlaylistFile(L"Road trip")));
}

TEST(WndTree, DeleteRemovesNodeFileAndNameButNothingElse) {
    Fixture f({{L"Ann"}});
    CreateDirectoryW(f.data.File(L"Playlists").c_str(), nullptr);
    th::WriteFileBytes(f.PlaylistFile(L"One"), PlaylistBytes({1}));
    th::WriteFileBytes(f.PlaylistFile(L"Two"), PlaylistBytes({1}));
    ASSERT_TRUE(f.Build());
    HWND control = f.tree->GetControl();
    HTREEITEM one = f.Child(f.tree->GetPlaylistsItem(), L"One");
    f.Select(one);
    int deleted = f.host.deletedPlaylists;
    SendMessageW(control, WM_KEYDOWN, VK_DELETE, 0);
    EXPECT_EQ(f.Children(f.tree->GetPlaylistsItem()), Names({L"Two"}));
    EXPECT_FALSE(th::FileExists(f.PlaylistFile(L"One")));
    EXPECT_EQ(f.playlists->GetCount(), 1);
    EXPECT_EQ(f.host.deletedPlaylists, deleted + 1);
    // The selection moved on to the neighbour.
    EXPECT_EQ(f.tree->GetNodeText(reinterpret_cast<HTREEITEM>(
                  SendMessageW(control, TVM_GETNEXTITEM, TVGN_CARET, 0))), L"Two");

    for (HTREEITEM other : {f.tree->GetFavouritesItem(), f.tree->GetPlaylistsItem(),
                            f.tree->GetLibraryItem(), f.Child(f.tree->GetLibraryItem(), L"Ann")}) {
        f.Select(other);
        SendMessageW(control, WM_KEYDOWN, VK_DELETE, 0);
        Command(f, CWndTree::kDeletePlaylist);
    }
    EXPECT_EQ(f.Children(nullptr), Names({L"Favourites", L"Playlists", L"Library"}));
    EXPECT_EQ(f.Children(f.tree->GetLibraryItem()), Names({L"Ann"}));
}

TEST(WndTree, DamagedPlaylistFileStillGivesANode) {
    Fixture f({{L"Ann"}, {L"Bob"}});
    CreateDirectoryW(f.data.File(L"Playlists").c_str(), nullptr);
    // Cut short in the second entry's end tag, on an odd byte: what was read is kept.
    std::string broken = th::XmlFile(L"\r\n<PLAYLIST>\r\n<ID>2</ID>\r\n<ID>1</I");
    th::WriteFileBytes(f.PlaylistFile(L"Broken"), broken + "\x3c");
    th::WriteFileBytes(f.PlaylistFile(L"Junk"), "\x01\x02garbage");
    CreateDirectoryW(f.PlaylistFile(L"Folder").c_str(), nullptr);
    ASSERT_TRUE(f.Build());
    EXPECT_EQ(f.Children(f.tree->GetPlaylistsItem()), Names({L"Broken", L"Junk"}));
    EXPECT_EQ(Ids(f.tree->GetPlaylistOf(f.Child(f.tree->GetPlaylistsItem(), L"Broken"))),
              (std::vector<int>{2, 1}));
}

// A change reaches its file within a few seconds, with the program still running: a crash or
// a kill after that loses nothing.
TEST(WndTree, ChangedFavouritesAndPlaylistsAreWrittenSoonWithoutClosing) {
    Fixture f(ThreeArtists());
    ASSERT_TRUE(f.Build());
    std::wstring favourites = f.data.File(L"Favourites.xml");
    EXPECT_FALSE(th::FileExists(favourites));
    f.tree->AddSongToFavourites(3);
    ASSERT_TRUE(th::PumpUntil([&] { return FileIds(favourites) == std::vector<int>{3}; }, 15000));

    f.Select(f.Child(f.tree->GetLibraryItem(), L"Cid"));
    Command(f, CWndTree::kAddToPlaylistFirst);
    EndEdit(f);
    ASSERT_TRUE(th::PumpUntil([&] { return FileIds(f.PlaylistFile(L"Cid")) == std::vector<int>{3}; },
                              15000));

    // A change the tree did not make itself (the song list's) is announced.
    f.tree->GetPlaylistOf(f.Child(f.tree->GetPlaylistsItem(), L"Cid"))->Add(5, true);
    f.tree->SaveSoon(nullptr);
    ASSERT_TRUE(th::PumpUntil([&] { return FileIds(f.PlaylistFile(L"Cid")) == std::vector<int>{3, 5}; },
                              15000));
}

TEST(WndTree, ClosingWritesFavouritesAndEveryPlaylist) {
    Fixture f(ThreeArtists());
    ASSERT_TRUE(f.Build());
    f.tree->AddSongToFavourites(5);
    CPlaylist songs(CPlaylist::kUser);
    songs.Add(2, true);
    songs.Add(2, true);
    f.tree->NewPlaylist(L"Twice", &songs);
    EndEdit(f);
    f.tree.reset();
    EXPECT_EQ(FileIds(f.data.File(L"Favourites.xml")), (std::vector<int>{5}));
    EXPECT_EQ(FileIds(f.PlaylistFile(L"Twice")), (std::vector<int>{2, 2}));
}

TEST(WndTree, SelectionsFollowTheirNodes) {
    Fixture f(ThreeArtists());
    CreateDirectoryW(f.data.File(L"Playlists").c_str(), nullptr);
    th::WriteFileBytes(f.PlaylistFile(L"b"), PlaylistBytes({1}));
    th::WriteFileBytes(f.PlaylistFile(L"A"), PlaylistBytes({1}));
    ASSERT_TRUE(f.Build());
    CPlaylist* b = f.tree->GetPlaylistOf(f.Child(f.tree->GetPlaylistsItem(), L"b"));
    f.tree->SelectPlaylistNode(b);
    EXPECT_EQ(f.tree->GetSelectedPlaylist(), b);
    f.tree->SelectFavourites();
    EXPECT_EQ(f.tree->GetSelectedPlaylist(), f.tree->GetFavourites());
    f.tree->SelectSongArtist(2);
    HTREEITEM ann = f.Child(f.tree->GetLibraryItem(), L"Ann");
    EXPECT_EQ(f.tree->GetSelectedPlaylist(), f.tree->GetPlaylistOf(f.Child(ann, L"Ann & Bob")));
    f.tree->SelectSongArtist(5);
    EXPECT_EQ(f.tree->GetSelectedPlaylist(), f.tree->GetPlaylistOf(f.Child(f.tree->GetLibraryItem(), L"Dee")));
}

TEST(WndTree, RandomArtistReachesArtistsAndCollaborations) {
    Fixture single({{L"Solo"}, {L"Solo"}});
    ASSERT_TRUE(single.Build());
    for (int i = 0; i < 20; ++i) {
        single.tree->SelectRandomArtist();
        EXPECT_EQ(single.tree->GetNodeText(reinterpret_cast<HTREEITEM>(SendMessageW(
                      single.tree->GetControl(), TVM_GETNEXTITEM, TVGN_CARET, 0))), L"Solo");
    }

    Fixture f(ThreeArtists());
    ASSERT_TRUE(f.Build());
    std::set<std::wstring> seen;
    for (int i = 0; i < 400; ++i) {
        f.tree->SelectRandomArtist();
        seen.insert(f.tree->GetNodeText(reinterpret_cast<HTREEITEM>(
            SendMessageW(f.tree->GetControl(), TVM_GETNEXTITEM, TVGN_CARET, 0))));
    }
    EXPECT_EQ(seen, (std::set<std::wstring>{L"Ann", L"Ann & Bob", L"Cid", L"Dee"}));
}

TEST(WndTree, FontsSetTheItemHeightAndColoursTheDrawing) {
    treetest::Host host;
    th::TempDir data;
    CPlaylists playlists;
    COLORREF text = RGB(1, 2, 3), back = RGB(250, 250, 250), high = RGB(10, 20, 200);
    LOGFONTW font{};
    wcscpy(font.lfFaceName, L"Tahoma");
    font.lfHeight = -9;
    {
        CWndTree tree(GetModuleHandleW(nullptr), host.Handle(), data.Path(), nullptr, nullptr,
                      &playlists, nullptr, &font, &text, &back, &high);
        EXPECT_EQ(SendMessageW(tree.GetControl(), TVM_GETITEMHEIGHT, 0, 0), 16);
        EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tree.GetControl(), TVM_GETBKCOLOR, 0, 0)), back);
        EXPECT_EQ(static_cast<COLORREF>(SendMessageW(tree.GetControl(), TVM_GETTEXTCOLOR, 0, 0)), text);
        auto taken = tree.TakeFont();
        ASSERT_TRUE(taken);
        EXPECT_EQ(taken->lfHeight, -9);
        EXPECT_FALSE(tree.TakeFont());
    }
    // The control keeps item heights even (it has no TVS_NONEVENHEIGHT): -13 asks for 19 and
    // gets 18, so an even request shows the rule.
    font.lfHeight = -14;
    CWndTree tree(GetModuleHandleW(nullptr), host.Handle(), data.Path(), nullptr, nullptr,
                  &playlists, nullptr, &font, &text, &back, &high);
    EXPECT_EQ(SendMessageW(tree.GetControl(), TVM_GETITEMHEIGHT, 0, 0), 20);
    EXPECT_EQ(GetDlgCtrlID(tree.GetControl()), 82);

    NMTVCUSTOMDRAW draw{};
    draw.nmcd.dwDrawStage = CDDS_PREPAINT;
    EXPECT_EQ(tree.CustomDraw(&draw), CDRF_NOTIFYITEMDRAW);
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.uItemState = CDIS_SELECTED | CDIS_FOCUS;
    EXPECT_EQ(tree.CustomDraw(&draw), CDRF_DODEFAULT);
    EXPECT_EQ(draw.clrText, back);
    EXPECT_EQ(draw.clrTextBk, high);
    draw.nmcd.uItemState = 0;
    draw.clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
    tree.CustomDraw(&draw);
    EXPECT_EQ(draw.clrText, text);
    EXPECT_EQ(draw.clrTextBk, back);
    draw.clrText = draw.clrTextBk = RGB(7, 7, 7);
    tree.CustomDraw(&draw);
    EXPECT_EQ(draw.clrText, RGB(7, 7, 7));
}

TEST(WndTree, ClicksSelectTheItemUnderThePointer) {
    Fixture f(ThreeArtists());
    ASSERT_TRUE(f.Build());
    HWND control = f.tree->GetControl();
    HTREEITEM playlists = f.tree->GetPlaylistsItem();
    RECT r{};
    memcpy(&r, &playlists, sizeof(playlists));  // the item goes in, its rectangle comes out
    ASSERT_TRUE(SendMessageW(control, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r)));
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    // The control follows the button until it is released: the release waits in the queue.
    PostMessageW(control, WM_LBUTTONUP, 0, at);
    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    EXPECT_EQ(f.tree->GetSelectedPlaylist(), f.tree->GetPlaylistOf(playlists));
}
