#include "playlists/PlaylistFiles.h"
#include "playlists/Playlist.h"
#include "playlists/Playlists.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(PlaylistFiles, EscapesCharactersFilesCannotHold) {
    EXPECT_EQ(L"a%3ab%3cc%3e", EscapeName(L"a:b<c>"));
    EXPECT_EQ(L"100%25", EscapeName(L"100%"));
    EXPECT_EQ(L"%22%2f%5c%7c ok%3f%2a", EscapeName(L"\"/\\| ok?*"));
    EXPECT_EQ(L"tab%09", EscapeName(L"tab\t"));
    EXPECT_EQ(L"%43ON", EscapeName(L"CON"));
    EXPECT_EQ(L"%6cpt1.b", EscapeName(L"lpt1.b"));
    EXPECT_EQ(L"CONCERT", EscapeName(L"CONCERT"));
    for (const wchar_t* name : {L"a:b<c>", L"100%", L"x/y\\z|\"q\"", L"plain \x263A", L"Best?", L"a*\x01", L"CON",
                                L"nul .x", L"com9"})
        EXPECT_EQ(name, UnescapeName(EscapeName(name)));
}

TEST(PlaylistFiles, UnescapesLeniently) {
    EXPECT_EQ(L"abc", UnescapeName(L"abc%"));
    EXPECT_EQ(L"abc", UnescapeName(L"abc%4"));
    EXPECT_EQ(L"A:", UnescapeName(L"%41%3A"));
    EXPECT_EQ(L"\x40x", UnescapeName(L"%4gx"));  // a non-digit counts as 0
    EXPECT_EQ(L"ab", UnescapeName(L"ab%zzcd"));  // a decoded NUL ends the name
    EXPECT_EQ(L"a:b<c>", PlaylistNameFromFile(L"a%3ab%3cc%3e.xml"));
    EXPECT_EQ(L"abc", PlaylistNameFromFile(L"abc%.xml"));
    EXPECT_EQ(L"v1.2", PlaylistNameFromFile(L"v1.2.xml"));
}

TEST(PlaylistFiles, PathsBelowTheDataFolder) {
    EXPECT_EQ(L"C:\\d\\Favourites.xml", FavouritesPath(L"C:\\d\\"));
    EXPECT_EQ(L"C:\\d\\Playlists\\", PlaylistsFolder(L"C:\\d\\"));
    EXPECT_EQ(L"C:\\d\\Playlists\\100%25.xml", PlaylistPath(L"C:\\d\\", L"100%"));
    // Unknown data folder: no path, so nothing is read or written in the current folder.
    EXPECT_EQ(L"", FavouritesPath(L""));
    EXPECT_EQ(L"", PlaylistsFolder(L""));
    EXPECT_EQ(L"", PlaylistPath(L"", L"x"));
}

TEST(PlaylistFiles, EscapedNameRoundTripsThroughTheFolder) {
    th::TempDir dir;
    ASSERT_TRUE(CreateDirectoryW(PlaylistsFolder(dir.Path()).c_str(), nullptr));
    const std::wstring name = L"Tom's \"a:b<c>\" & 100%";
    CPlaylist playlist(CPlaylist::kUser);
    playlist.Add(3, true);
    ASSERT_TRUE(playlist.Save(PlaylistPath(dir.Path(), name).c_str()));

    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((PlaylistsFolder(dir.Path()) + L"*.xml").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    FindClose(find);
    EXPECT_EQ(name, PlaylistNameFromFile(found.cFileName));
    CPlaylist loaded(CPlaylist::kUser);
    ASSERT_TRUE(loaded.Load(PlaylistPath(dir.Path(), name).c_str()));
    EXPECT_EQ(3, loaded.GetIdAt(0));
}

TEST(Playlists, NamesAreUniqueWithoutRegardToCase) {
    CPlaylist alpha(4), beta(4), gamma(4), other(4);
    CPlaylists set;
    std::wstring name = L"untouched";
    EXPECT_EQ(nullptr, set.First(name));
    EXPECT_EQ(L"untouched", name);
    set.Add(L"gamma", &gamma);
    set.Add(L"beta", &beta);
    set.Add(L"Alpha", &alpha);
    set.Add(L"BETA", &other);  // replaces beta
    EXPECT_EQ(3, set.GetCount());
    EXPECT_EQ(&alpha, set.GetByIndex(0));
    EXPECT_EQ(&other, set.GetByIndex(1));
    EXPECT_EQ(&gamma, set.GetByIndex(2));
    EXPECT_EQ(nullptr, set.GetByIndex(3));
    EXPECT_EQ(nullptr, set.GetByIndex(-1));

    std::wstring names;
    for (CPlaylist* p = set.First(name); p; p = set.Next(name)) names += name + L";";
    EXPECT_EQ(L"Alpha;BETA;gamma;", names);
    EXPECT_EQ(nullptr, set.Next(name));
}

TEST(Playlists, OneKeyForEverySpellingOfAName) {
    EXPECT_EQ(CPlaylists::Key(L"\u0130stanbul"), CPlaylists::Key(L"istanbul"));
    EXPECT_EQ(CPlaylists::Key(L"\u212a"), CPlaylists::Key(L"K"));
    EXPECT_EQ(CPlaylists::Key(L"\u03a3\u03c2"), CPlaylists::Key(L"\u03c3\u03c3"));
    EXPECT_EQ(CPlaylists::Key(L"Alpha"), L"alpha");
    EXPECT_NE(CPlaylists::Key(L"a"), CPlaylists::Key(L"\u00e4"));
}

TEST(Playlists, RenameAndRemoveKeepTheEnumerationSafe) {
    CPlaylist a(4), b(4), c(4);
    CPlaylists set;
    set.Add(L"a", &a);
    set.Add(L"b", &b);
    set.Add(L"c", &c);
    std::wstring name;
    ASSERT_EQ(&a, set.First(name));
    set.Remove(L"B");  // the next entry of the enumeration
    EXPECT_EQ(&c, set.Next(name));
    EXPECT_EQ(nullptr, set.Next(name));

    set.Rename(L"A", L"Zed");
    set.Rename(L"missing", L"x");
    EXPECT_EQ(2, set.GetCount());
    EXPECT_EQ(&c, set.GetByIndex(0));
    EXPECT_EQ(&a, set.GetByIndex(1));
    set.First(name);
    set.Next(name);
    EXPECT_EQ(L"Zed", name);
    set.Remove(L"nothing");
    EXPECT_EQ(2, set.GetCount());
}
