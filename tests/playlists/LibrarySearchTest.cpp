#include "playlists/LibrarySearch.h"
#include "library/Library.h"
#include "playlists/Playlist.h"

#include "TestSupport.h"
#include "XmlTestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Song {
    std::wstring artist;
    std::wstring title;
    std::wstring file;
    std::vector<std::wstring> coops = {};
    bool coopFirst = false;  // the COOP elements come before the ARTIST
    int flags = 0;
    float end = 60;
};

std::wstring Element(const wchar_t* name, const std::wstring& text) {
    return text.empty() ? std::wstring() : L"<" + std::wstring(name) + L">" + text + L"</" + name + L">";
}

class LibrarySearchTest : public testing::Test {
protected:
    void Load(const std::vector<Song>& songs) {
        std::wstring body = L"<LIBRARY>";
        int id = 0;
        for (const Song& s : songs) {
            std::wstring coops;
            for (const std::wstring& coop : s.coops) coops += Element(L"COOP", coop);
            body += L"\r\n<SONG>" + Element(L"ID", std::to_wstring(++id));
            if (s.coopFirst) body += coops;
            body += Element(L"ARTIST", s.artist);
            if (!s.coopFirst) body += coops;
            body += Element(L"TITLE", s.title) + Element(L"FILE", s.file) +
                    Element(L"FLAGS", std::to_wstring(s.flags)) + L"<LENGTH>70</LENGTH>" +
                    Element(L"END", std::to_wstring(s.end)) + L"</SONG>";
        }
        th::WriteFileBytes(libraryPath_, th::XmlFile(body + L"</LIBRARY>"));
        ASSERT_TRUE(library_.Reload(0));
    }

    // The ids found, in playlist order; {-1} when the query has no word.
    std::vector<int> Find(const std::wstring& query) {
        std::unique_ptr<CPlaylist> found = search_.Find(query);
        if (!found) return {-1};
        EXPECT_EQ(CPlaylist::kArtist, found->GetKind());
        std::vector<int> ids;
        for (int i = 0, id; (id = found->GetIdAt(i)) != 0; ++i) ids.push_back(id);
        return ids;
    }

    th::TempDir dir_;
    std::wstring libraryPath_ = dir_.File(L"Library.xml");
    CLibrary library_{libraryPath_};
    CLibrarySearch search_{&library_};
};

using Ids = std::vector<int>;

}  // namespace

TEST_F(LibrarySearchTest, EveryWordMustBeFoundInAnyOrderAndCase) {
    Load({{L"Purple Motion", L"Satellite One", L"pm\\sat1.s3m"},
          {L"Skaven", L"Ice Frontier", L"sk\\icefront.s3m"},
          {L"Purple Motion", L"Sundance", L"pm\\sundance.mod"}});
    EXPECT_EQ(Ids({1, 3}), Find(L"purple"));
    EXPECT_EQ(Ids({1}), Find(L"ONE purple"));
    EXPECT_EQ(Ids({1}), Find(L"  moTION   sat  "));
    EXPECT_EQ(Ids({}), Find(L"purple frontier"));  // each word is found, but not in one song
    EXPECT_EQ(Ids({2}), Find(L"ontie"));            // inside a word
    EXPECT_EQ(Ids({3}), Find(L"dance dance"));
}

TEST_F(LibrarySearchTest, ArtistTitleAndFileNameAreSearchedButNotAcrossThem) {
    Load({{L"Lizardking", L"", L"lk\\doskpop.mod"},
          {L"Jogeir", L"Lizard Queen", L"jl\\queen.xm"},
          {L"Foo", L"Bar", L"f\\baz.it"}});
    EXPECT_EQ(Ids({1}), Find(L"doskpop"));   // the file name stands in for a missing title
    EXPECT_EQ(Ids({1, 2}), Find(L"lizard"));
    EXPECT_EQ(Ids({}), Find(L"foobar"));     // the end of the artist and the start of the title
    EXPECT_EQ(Ids({}), Find(L"barbaz"));
    EXPECT_EQ(Ids({}), Find(L"lk"));         // the folder is not part of the file name
    EXPECT_EQ(Ids({}), Find(L"xm"));         // nor is the extension
}

TEST_F(LibrarySearchTest, CoOperatingArtistsAreFound) {
    Load({{L"Necros", L"Point of Departure", L"n\\pod.s3m", {L"Basehead"}},
          {L"Necros", L"Six Moons", L"n\\sm.it", {L"Jase", L"Vomitoxin"}},
          {L"Necros", L"Weekend", L"n\\wk.it", {L"Leviathan"}, true},
          {L"", L"Alone", L"x\\alone.mod", {L"Solo"}},
          {L"Necros", L"Rhythm", L"n\\r.it"}});
    EXPECT_EQ(Ids({1}), Find(L"basehead"));
    EXPECT_EQ(Ids({2}), Find(L"jase vomitoxin"));
    EXPECT_EQ(Ids({3}), Find(L"leviathan"));  // given before the artist
    EXPECT_EQ(Ids({4}), Find(L"solo"));       // no main artist at all
    EXPECT_EQ(Ids({1, 2, 3, 5}), Find(L"necros"));
}

TEST_F(LibrarySearchTest, AccentsFoldAsTheSystemComparisonIgnoresThem) {
    Load({{L"Ch\u00e9ri", L"Caf\u00e9 No\u00ebl", L"c\\cafe.xm"},
          {L"Cafe\u0301 Trio", L"Stra\u00dfe", L"c\\trio.mod"},   // combining accent
          {L"\u00c5ke", L"\u00c6ther \u00d8resund", L"a\\aether.it"},
          {L"\u039c\u03ac\u03bd\u03bf\u03c2", L"\u0401\u043b\u043a\u0430", L"g\\x.it"},
          {L"Plain", L"Cafeteria", L"p\\p.mod"}});
    EXPECT_EQ(Ids({1}), Find(L"cafe noel"));
    EXPECT_EQ(Ids({1}), Find(L"CH\u00c9RI"));
    EXPECT_EQ(Ids({1, 2, 5}), Find(L"caf\u00e9"));
    EXPECT_EQ(Ids({2}), Find(L"strasse"));
    EXPECT_EQ(Ids({2}), Find(L"stra\u00df"));
    EXPECT_EQ(Ids({3}), Find(L"ake aether"));
    EXPECT_EQ(Ids({3}), Find(L"oresund"));
    EXPECT_EQ(Ids({4}), Find(L"\u03bc\u0391\u039d\u039f\u03a3"));  // Greek, tonos dropped
    EXPECT_EQ(Ids({4}), Find(L"\u0435\u043b\u043a\u0430"));        // Cyrillic io as ie
}

TEST_F(LibrarySearchTest, SongsLeftOutOfTheTreeAreNeverFound) {
    Load({{L"Tim Follin", L"Hidden", L"t\\a.mod", {}, false, 1},
          {L"Tim Follin", L"No End", L"t\\b.mod", {}, false, 0, 0},
          {L"Tim Follin", L"Shown", L"t\\c.mod", {}, false, 2}});
    EXPECT_EQ(Ids({3}), Find(L"follin"));
}

TEST_F(LibrarySearchTest, AQueryWithoutWordsFindsNothing) {
    Load({{L"A", L"B", L"a\\b.mod"}});
    EXPECT_EQ(Ids({-1}), Find(L""));
    EXPECT_EQ(Ids({-1}), Find(L"   "));
    EXPECT_EQ(Ids({-1}), Find(L" \t\u00a0\u3000\r\n"));
    EXPECT_EQ(Ids({-1}), Find(L"\u0301 \u0308"));  // marks alone fold to nothing
    EXPECT_EQ(Ids({1}), Find(L"b\u00a0\u3000a"));  // other blanks separate words too
}

TEST_F(LibrarySearchTest, ResultsAreAPlaylistOfTheirOwn) {
    Load({{L"Elwood", L"Dreams", L"e\\d.xm"}, {L"Elwood", L"Nights", L"e\\n.xm"}});
    std::unique_ptr<CPlaylist> first = search_.Find(L"elwood");
    std::unique_ptr<CPlaylist> second = search_.Find(L"elwood");
    ASSERT_TRUE(first && second);
    ASSERT_EQ(2, first->GetCount());
    int s0 = first->GetSerialAt(0), s1 = first->GetSerialAt(1);
    EXPECT_NE(0, s0);
    EXPECT_NE(s0, s1);
    EXPECT_NE(s0, second->GetSerialAt(0));  // a new search makes new entries
    EXPECT_EQ(s0, first->GetSerialAt(0));   // and leaves the earlier results alone
}

TEST_F(LibrarySearchTest, TypingOnNarrowsAndDeletingWidensAgain) {
    Load({{L"Nebula", L"One", L"n\\1.mod"}, {L"Nemo", L"Two", L"n\\2.mod"},
          {L"Other", L"Nebulous", L"o\\3.mod"}, {L"Zed", L"Three", L"z\\4.mod"}});
    EXPECT_EQ(Ids({1, 2, 3}), Find(L"ne"));
    EXPECT_EQ(Ids({1, 3}), Find(L"neb"));
    EXPECT_EQ(Ids({1}), Find(L"neb one"));
    EXPECT_EQ(Ids({1, 3}), Find(L"nebu"));    // a word dropped: searched afresh
    EXPECT_EQ(Ids({1, 2, 3}), Find(L"o"));
    EXPECT_EQ(Ids({4}), Find(L"three"));

    // A catalogue read again with as many songs is searched afresh once the search is reset.
    Load({{L"Nebula", L"Three", L"n\\1.mod"}, {L"Three", L"x", L"n\\2.mod"},
          {L"Other", L"y", L"o\\3.mod"}, {L"Zed", L"z", L"z\\4.mod"}});
    search_.Reset();
    EXPECT_EQ(Ids({1, 2}), Find(L"three"));
}

TEST(LibrarySearchFold, FoldsCaseAccentsAndLigatures) {
    EXPECT_EQ(L"cafe", CLibrarySearch::Fold(L"CAF\u00c9"));
    EXPECT_EQ(L"cafe", CLibrarySearch::Fold(L"Cafe\u0301"));
    EXPECT_EQ(L"strasse", CLibrarySearch::Fold(L"Stra\u00dfe"));
    EXPECT_EQ(L"aether", CLibrarySearch::Fold(L"\u00c6ther"));
    EXPECT_EQ(L"a-b_c 1.2", CLibrarySearch::Fold(L"A-B_C 1.2"));  // ASCII other than letters stays
    EXPECT_EQ(L"\u4e2d\u6587", CLibrarySearch::Fold(L"\u4e2d\u6587"));
    EXPECT_EQ((std::vector<std::wstring>{L"noel", L"cafe"}),
              CLibrarySearch::SplitWords(L" No\u00cbl\tcaf\u00e9 "));
}
