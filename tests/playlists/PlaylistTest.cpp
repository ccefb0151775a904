#include "playlists/Playlist.h"
#include "library/Library.h"
#include "library/XMLWriter.h"

#include "TestSupport.h"
#include "XmlTestFiles.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

struct SongSpec {
    const wchar_t* title;
    const wchar_t* file;
    int type;
    float peak;
};

// A catalogue with the given songs (ids 1, 2, ...), made the sort's catalogue for the test.
class PlaylistTest : public testing::Test {
protected:
    void Load(const std::vector<SongSpec>& songs) {
        std::wstring body = L"<LIBRARY>";
        int id = 0;
        for (const SongSpec& s : songs) {
            body += L"\r\n<SONG><ID>" + std::to_wstring(++id) + L"</ID><TITLE>" + s.title +
                    L"</TITLE><FILE>" + s.file + L"</FILE><TYPE>" + std::to_wstring(s.type) +
                    L"</TYPE><PEAK>" + std::to_wstring(s.peak) + L"</PEAK></SONG>";
        }
        th::WriteFileBytes(libraryPath_, th::XmlFile(body + L"</LIBRARY>"));
        ASSERT_TRUE(library_.Reload(0));
        CPlaylist::SetLibrary(&library_);
    }
    void TearDown() override { CPlaylist::SetLibrary(nullptr); }

    static std::vector<int> Ids(const CPlaylist& playlist) {
        std::vector<int> ids;
        for (int i = 0, id; (id = playlist.GetIdAt(i)) != 0; ++i) ids.push_back(id);
        return ids;
    }

    th::TempDir dir_;
    std::wstring libraryPath_ = dir_.File(L"Library.xml");
    CLibrary library_{libraryPath_};
};

}  // namespace

TEST_F(PlaylistTest, EntriesGetFreshSerials) {
    CPlaylist playlist(CPlaylist::kUser);
    EXPECT_EQ(CPlaylist::kUser, playlist.GetKind());
    EXPECT_EQ(0, playlist.GetLastSerial());
    EXPECT_EQ(0, playlist.Add(7, false));
    EXPECT_EQ(1, playlist.Add(8, false));
    EXPECT_EQ(0, playlist.Add(7, false));  // present already: nothing added
    EXPECT_EQ(2, playlist.GetCount());
    EXPECT_EQ(2, playlist.Add(7, true));
    EXPECT_EQ(3, playlist.GetCount());
    std::set<int> serials;
    for (int i = 0; i < 3; ++i) serials.insert(playlist.GetSerialAt(i));
    EXPECT_EQ(3u, serials.size());
    EXPECT_GT(playlist.GetSerialAt(2), playlist.GetSerialAt(1));
    EXPECT_EQ(playlist.GetSerialAt(2), playlist.GetLastSerial());
    EXPECT_EQ(0, playlist.GetIdAt(3));
    EXPECT_EQ(0, playlist.GetSerialAt(-1));
    EXPECT_EQ(1, playlist.IndexOfSong(8));
    EXPECT_EQ(-1, playlist.IndexOfSong(9));

    playlist.RemoveAt(5);
    playlist.RemoveAt(-1);
    EXPECT_EQ(3, playlist.GetCount());
    playlist.RemoveAt(0);
    EXPECT_EQ((std::vector<int>{8, 7}), Ids(playlist));
}

TEST_F(PlaylistTest, AddAllStopsAtIdZeroAndCopesWithItself) {
    CPlaylist source(CPlaylist::kUser), target(CPlaylist::kUser);
    for (int id : {1, 2, 0, 3}) source.Add(id, true);
    target.Add(2, false);
    target.AddAll(&source, false);
    EXPECT_EQ((std::vector<int>{2, 1}), Ids(target));
    target.AddAll(nullptr, true);
    target.AddAll(&target, true);
    EXPECT_EQ((std::vector<int>{2, 1, 2, 1}), Ids(target));
}

TEST_F(PlaylistTest, MoveShiftsTheEntriesBetween) {
    CPlaylist playlist(CPlaylist::kUser);
    for (int id : {1, 2, 3}) playlist.Add(id, true);
    int serialOfC = playlist.GetSerialAt(2);
    playlist.Sort(CPlaylist::kTitle, false);
    playlist.Move(2, 0);
    EXPECT_EQ((std::vector<int>{3, 1, 2}), Ids(playlist));
    EXPECT_EQ(serialOfC, playlist.GetSerialAt(0));
    int column = -1;
    bool descending = true;
    playlist.GetSortState(column, descending);
    EXPECT_EQ(0, column);
    playlist.Move(0, 10);  // stops at the end
    EXPECT_EQ((std::vector<int>{1, 2, 3}), Ids(playlist));
    playlist.Move(5, 0);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), Ids(playlist));
}

TEST_F(PlaylistTest, SortIsStableInBothDirections) {
    Load({{L"beta", L"d\\z.mod", 3, 0.5f},
          {L"Alpha", L"d\\y.mod", 1, 0.25f},
          {L"alpha", L"d\\x.mod", 3, 0.75f},
          {L"alphabet", L"d\\w.mod", 2, 0.5f}});
    CPlaylist playlist(CPlaylist::kUser);
    for (int id : {1, 2, 3, 4, 0}) playlist.Add(id, true);
    playlist.Sort(CPlaylist::kTitle, false);
    EXPECT_EQ((std::vector<int>{2, 3, 4, 1}), Ids(playlist));  // equal keys keep their order
    EXPECT_EQ(0, playlist.GetIdAt(4));  // the entry without a song stays last
    playlist.Sort(CPlaylist::kTitle, true);
    EXPECT_EQ((std::vector<int>{1, 4, 2, 3}), Ids(playlist));
    EXPECT_EQ(5, playlist.GetCount());
    playlist.Sort(CPlaylist::kType, false);  // by code, not by name
    EXPECT_EQ((std::vector<int>{2, 4, 1, 3}), Ids(playlist));
    playlist.Sort(CPlaylist::kPeak, true);
    EXPECT_EQ((std::vector<int>{3, 4, 1, 2}), Ids(playlist));
    playlist.Sort(CPlaylist::kFileName, false);
    EXPECT_EQ((std::vector<int>{4, 3, 2, 1}), Ids(playlist));
    playlist.Sort(12, false);  // unknown column: order stays
    EXPECT_EQ((std::vector<int>{4, 3, 2, 1}), Ids(playlist));
}

// A list is sorted again each time it is shown; entries added or moved since the last sort
// take their places, and levels from a damaged catalogue ("nan") keep one consistent place.
TEST_F(PlaylistTest, SortingAgainPlacesEntriesChangedSince) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Load({{L"b", L"d\\1.mod", 1, 0.5f}, {L"c", L"d\\2.mod", 1, nan}, {L"a", L"d\\3.mod", 1, -0.0f},
          {L"d", L"d\\4.mod", 1, 0.0f}});
    CPlaylist playlist(CPlaylist::kArtist);
    for (int id : {1, 2}) playlist.Add(id, true);
    playlist.Sort(CPlaylist::kTitle, false);
    playlist.Add(3, true);
    playlist.Sort(CPlaylist::kTitle, false);
    EXPECT_EQ((std::vector<int>{3, 1, 2}), Ids(playlist));
    playlist.Move(0, 2);
    playlist.Sort(CPlaylist::kTitle, false);
    EXPECT_EQ((std::vector<int>{3, 1, 2}), Ids(playlist));
    playlist.Add(4, true);
    playlist.Sort(CPlaylist::kPeak, false);  // nan lowest, -0 and 0 equal
    EXPECT_EQ((std::vector<int>{2, 3, 4, 1}), Ids(playlist));
    playlist.Sort(CPlaylist::kPeak, true);
    EXPECT_EQ((std::vector<int>{1, 3, 4, 2}), Ids(playlist));
}

TEST_F(PlaylistTest, SavesAndLoadsTheSortedFile) {
    Load({{L"b", L"d\\1.mod", 2, 0}, {L"c", L"d\\2.mod", 1, 0}, {L"a", L"d\\3.mod", 3, 0}});
    std::wstring path = dir_.File(L"list.xml");
    CPlaylist playlist(CPlaylist::kUser);
    for (int id : {1, 2, 3, 2}) playlist.Add(id, true);
    playlist.Sort(CPlaylist::kTitle, true);
    ASSERT_TRUE(playlist.Save(path.c_str()));
    EXPECT_EQ(th::XmlFile(L"\r\n<PLAYLIST>\r\n<SORT>259</SORT>\r\n<ID>2</ID>\r\n<ID>2</ID>"
                          L"\r\n<ID>1</ID>\r\n<ID>3</ID>\r\n</PLAYLIST>"),
              th::ReadFileBytes(path));

    // Loaded in a different order, the file's sort is applied again.
    th::WriteFileBytes(path, th::XmlFile(L"\r\n<playlist>\r\n<sort>259</sort><ID>3</ID><id>1</id>"
                                         L"<ID>2</ID><ID>3</ID></playlist>"));
    CPlaylist loaded(CPlaylist::kUser);
    ASSERT_TRUE(loaded.Load(path.c_str()));
    EXPECT_EQ((std::vector<int>{2, 1, 3, 3}), Ids(loaded));
    EXPECT_NE(loaded.GetSerialAt(2), loaded.GetSerialAt(3));
    int column = 0;
    bool descending = false;
    loaded.GetSortState(column, descending);
    EXPECT_EQ(CPlaylist::kTitle, column);
    EXPECT_TRUE(descending);

    th::WriteFileBytes(path, th::XmlFile(L"<PLAYLIST><SORT>7</SORT><ID>1</ID><ID>2</ID><ID>3</ID></PLAYLIST>"));
    ASSERT_TRUE(loaded.Load(path.c_str()));
    EXPECT_EQ((std::vector<int>{2, 1, 3}), Ids(loaded));
    loaded.GetSortState(column, descending);
    EXPECT_EQ(CPlaylist::kType, column);
    EXPECT_FALSE(descending);
}

TEST_F(PlaylistTest, UnsortedSaveWritesNoSortAndKeepsEntriesAfterOnesWithoutASong) {
    std::wstring path = dir_.File(L"list.xml");
    th::WriteFileBytes(path, th::XmlFile(L"<PLAYLIST><ID>4</ID><ID>0</ID><ID>x</ID><ID></ID><ID>-2</ID>"
                                         L"<ID>5</ID></PLAYLIST>"));
    CPlaylist playlist(CPlaylist::kFavourites);
    ASSERT_TRUE(playlist.Load(path.c_str()));
    EXPECT_EQ((std::vector<int>{4, 5}), Ids(playlist));
    ASSERT_TRUE(playlist.Save(path.c_str()));
    EXPECT_EQ(th::XmlFile(L"\r\n<PLAYLIST>\r\n<ID>4</ID>\r\n<ID>5</ID>\r\n</PLAYLIST>"), th::ReadFileBytes(path));

    CPlaylist empty(CPlaylist::kUser);
    ASSERT_TRUE(empty.Save(path.c_str()));
    EXPECT_EQ(th::XmlFile(L"\r\n<PLAYLIST>\r\n</PLAYLIST>"), th::ReadFileBytes(path));
}

// The reader's buffers are made for the catalogue; fifty loaded playlists must not hold them.
TEST_F(PlaylistTest, LoadedPlaylistsKeepNoReaderBuffers) {
    std::wstring path = dir_.File(L"list.xml");
    th::WriteFileBytes(path, th::XmlFile(L"<PLAYLIST><ID>4</ID><ID>5</ID></PLAYLIST>"));
    std::vector<std::unique_ptr<CPlaylist>> loaded;
    loaded.reserve(50);
    const size_t before = th::HeapBytesInUse();
    for (int i = 0; i < 50; ++i) {
        loaded.push_back(std::make_unique<CPlaylist>(CPlaylist::kUser));
        ASSERT_TRUE(loaded.back()->Load(path.c_str()));
        ASSERT_EQ(2, loaded.back()->GetCount());
    }
    const size_t perPlaylist = (th::HeapBytesInUse() - before) / 50;
    EXPECT_LT(perPlaylist, 16u * 1024) << perPlaylist << " bytes per loaded playlist";
}

TEST_F(PlaylistTest, DamagedOrMissingFiles) {
    std::wstring path = dir_.File(L"list.xml");
    CPlaylist playlist(CPlaylist::kUser);
    playlist.Add(1, true);
    EXPECT_FALSE(playlist.Load(dir_.File(L"missing.xml").c_str()));
    EXPECT_EQ(0, playlist.GetCount());
    EXPECT_FALSE(playlist.Load(L""));
    EXPECT_FALSE(playlist.Save(L""));

    th::WriteFileBytes(path, th::XmlFile(L"<PLAYLIST><ID>4</ID><ID>5</ID><<ID>6</ID>"));
    EXPECT_TRUE(playlist.Load(path.c_str()));
    EXPECT_EQ(2, playlist.GetCount());  // what came before the error stays
    EXPECT_EQ(5, playlist.GetIdAt(1));
}

TEST_F(PlaylistTest, FailedSaveLeavesTheOldFile) {
    std::wstring path = dir_.File(L"list.xml");
    CPlaylist playlist(CPlaylist::kUser);
    playlist.Add(1, true);
    ASSERT_TRUE(playlist.Save(path.c_str()));
    std::string old = th::ReadFileBytes(path);

    // The temporary file cannot be made: a folder of that name is in the way.
    std::wstring blocked = path + L".tmp";
    ASSERT_TRUE(CreateDirectoryW(blocked.c_str(), nullptr));
    playlist.Add(2, true);
    EXPECT_FALSE(playlist.Save(path.c_str()));
    EXPECT_EQ(old, th::ReadFileBytes(path));
    RemoveDirectoryW(blocked.c_str());

    // The disk fills up during the save (TH_FULL_DIR holds "full.xml.tmp", a link to
    // /dev/full, made by the suite's set-up).
    std::wstring full = th::Env(L"TH_FULL_DIR");
    if (full.empty()) GTEST_SKIP() << "TH_FULL_DIR not set";
    std::wstring target = th::UnixToWindowsPath(full) + L"\\full.xml";
    ASSERT_TRUE(th::WriteFileBytes(target, old));
    {
        CXMLWriter writer;
        ASSERT_TRUE(writer.Create(target.c_str()));  // the file opens; its writes fail
        writer.WriteIntElement(L"ID", 1);
        EXPECT_FALSE(writer.Commit());
    }
    EXPECT_EQ(old, th::ReadFileBytes(target));
    EXPECT_FALSE(playlist.Save(target.c_str()));
    EXPECT_EQ(old, th::ReadFileBytes(target));
}

TEST_F(PlaylistTest, PickRandomEntryCoversEveryEntryFirst) {
    CPlaylist playlist(CPlaylist::kUser);
    int serial = -1, songId = -1;
    EXPECT_FALSE(playlist.PickRandomEntry(0, true, serial, songId));
    EXPECT_EQ(0, serial);
    EXPECT_EQ(0, songId);

    for (int id : {5, 5, 6}) playlist.Add(id, true);
    std::set<int> serials;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(playlist.PickRandomEntry(0, false, serial, songId));
        EXPECT_EQ(playlist.GetIdAt(playlist.IndexOfSerial(serial)), songId);
        serials.insert(serial);
    }
    EXPECT_EQ(3u, serials.size());
    ASSERT_TRUE(playlist.PickRandomEntry(0, false, serial, songId));
    EXPECT_TRUE(serials.count(serial));

    CPlaylist one(CPlaylist::kUser);
    one.Add(9, true);
    int only = one.GetSerialAt(0);
    ASSERT_TRUE(one.PickRandomEntry(only, true, serial, songId));
    EXPECT_EQ(only, serial);
    EXPECT_EQ(9, songId);
}
