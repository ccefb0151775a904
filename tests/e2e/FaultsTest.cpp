// Faults on the road of a song: the server down at start-up, a download cut off mid-body, a
// damaged module in the cache, a damaged catalogue and damaged playlist files. Each is told in
// the status bar where the program has something to say, nothing crashes, and nothing the user
// had is lost.

#include "E2eSupport.h"
#include "NetTestSupport.h"

#include "net/Net.h"
#include "playlists/PlaylistFiles.h"

#include <cstdint>

namespace e2e {
namespace {

using Faults = E2eTest;

const std::vector<LocalSong> kTrio = {
    {L"Trio", L"Song A", 2.0f}, {L"Trio", L"Song B", 2.0f}, {L"Trio", L"Song C", 2.0f}};

// Bytes that are no module, no XML and no playlist, the same at every run.
std::string Garbage(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        seed = seed * 1664525u + 1013904223u;
        c = char(seed >> 24);
    }
    return bytes;
}

bool HasPartialFiles(const std::wstring& folder) {
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            found = HasPartialFiles(folder + name + L"\\") || found;
        else if (name.find(L".part") != std::wstring::npos || name.find(L".tmp") != std::wstring::npos)
            found = true;
    } while (FindNextFileW(find, &fd));
    FindClose(find);
    return found;
}

TEST_F(Faults, ServerDownAtStartLeavesTheLocalCatalogueInUse) {
    std::string catalogue;
    ASSERT_TRUE(Start([&] {
        ASSERT_TRUE(WriteLocalLibrary(kTrio));
        ASSERT_TRUE(WritePlaylistFile(FavouritesPath(dataFolder), {2}));
        catalogue = th::ReadFileBytes(libraryPath);
    }));
    StatusLog& status = program.Status();
    EXPECT_TRUE(status.Saw(CNet::kCheckingText)) << status.Joined();
    EXPECT_TRUE(status.Saw(CNet::kErrorText)) << status.Joined();
    EXPECT_EQ(StatusPart(0), CNet::kErrorText) << "the message stays after the tree's own texts";
    EXPECT_EQ(th::ReadFileBytes(libraryPath), catalogue);
    EXPECT_EQ(Children(tree->GetLibraryItem()), std::vector<std::wstring>{L"Trio"});
    ASSERT_NE(tree->GetFavourites(), nullptr);
    EXPECT_EQ(tree->GetFavourites()->GetIdAt(0), 2);
    Select(Artist(L"Trio"));
    DoubleClickRow(RowOf(L"Song B"));
    EXPECT_TRUE(TitleBecomes(L"Trio - Song B")) << status.Joined();
}

TEST_F(Faults, DownloadCutOffMidBodyLeavesNoFileAndALaterTryPlays) {
    const std::wstring good = nettest::ServerUrl();
    const std::wstring dropping = nettest::ServerUrl("drop-half");
    ASSERT_FALSE(good.empty());
    ASSERT_FALSE(dropping.empty());
    ASSERT_TRUE(th::WriteSettingString(L"server", good));
    const std::string catalogue = th::ReadFileBytes(nettest::ServedLibrary() + L"Library.xml");
    ASSERT_TRUE(Start());
    ASSERT_EQ(th::ReadFileBytes(libraryPath), catalogue);
    StatusLog& status = program.Status();
    status.Clear();

    // From here on the server cuts every body off half-way.
    settings.server = dropping;
    Select(Artist(L"library"));
    ASSERT_EQ(list->RowCount(), 1);
    const int third = SongOfRow(0);
    DoubleClickRow(0);
    ASSERT_TRUE(playtest::WaitFor([&] { return status.Saw(CNet::kErrorText); }, 30000)) << status.Joined();
    EXPECT_TRUE(status.Saw(L"Downloading third.it")) << status.Joined();
    EXPECT_NE(nettest::ServerLog("drop-half").find("song.php?id=" + std::to_string(third)), std::string::npos);
    th::PumpFor(300);
    EXPECT_EQ(StatusPart(0), CNet::kErrorText);
    EXPECT_EQ(Title(), IdleTitle());
    EXPECT_FALSE(hub->GetOutput()->IsPlaying());
    EXPECT_FALSE(hub->GetOutput()->IsCached(third));
    EXPECT_FALSE(th::FileExists(cacheFolder + L"third.it")) << "no half module in the cache";
    EXPECT_FALSE(HasPartialFiles(cacheFolder));
    EXPECT_EQ(th::ReadFileBytes(libraryPath), catalogue);

    // The server is well again: the song that failed, asked for once more, comes down and
    // plays.
    settings.server = good;
    DoubleClickRow(0);
    EXPECT_TRUE(TitleBecomes(L"library - Third")) << status.Joined();
    EXPECT_EQ(th::ReadFileBytes(cacheFolder + L"third.it"), th::ReadFileBytes(nettest::ServedLibrary() + L"third.it"));
}

// A server that answers the catalogue request with something else (a proxy's page, an error
// page sent as a success) leaves the user's catalogue as it was, and the tree shows it.
TEST_F(Faults, AnswerThatIsNoCatalogueLeavesTheLocalOneInUse) {
    nettest::CannedServer server;
    ASSERT_FALSE(server.Url().empty());
    server.SetResponseFor("version.php", nettest::CannedServer::Ok("99"));
    server.SetResponseFor("library.php", nettest::CannedServer::Ok("<html><body>Please log in</body></html>"));
    ASSERT_TRUE(th::WriteSettingString(L"server", server.Url()));
    std::string catalogue;
    ASSERT_TRUE(Start([&] {
        ASSERT_TRUE(WriteLocalLibrary(kTrio));
        catalogue = th::ReadFileBytes(libraryPath);
    }));
    StatusLog& status = program.Status();
    EXPECT_TRUE(status.Saw(CNet::kLibraryText)) << status.Joined();
    EXPECT_EQ(StatusPart(0), CNet::kNotLibraryText) << status.Joined();
    EXPECT_EQ(th::ReadFileBytes(libraryPath), catalogue);
    EXPECT_EQ(Children(tree->GetLibraryItem()), std::vector<std::wstring>{L"Trio"});
    Select(Artist(L"Trio"));
    EXPECT_EQ(list->RowCount(), 3);
}

// Song B's file in the cache is damaged: in ordered play it is named in the status bar and the
// song after it plays; a double click on it names it and plays nothing.
TEST_F(Faults, DamagedModuleInTheCacheIsNamedAndPassedOver) {
    const std::string damaged = Garbage(4000, 7);
    ASSERT_TRUE(Start([&] {
        ASSERT_TRUE(WriteLocalLibrary(kTrio));
        ASSERT_TRUE(th::WriteFileBytes(LocalSongFile(kTrio, 2), damaged));
    }));
    ASSERT_TRUE(playtest::RenderAlone(damaged, 0, 4096).empty()) << "the replayer takes these bytes for a module";
    StatusLog& status = program.Status();
    Select(Artist(L"Trio"));
    ASSERT_EQ(RowOf(L"Song C"), 0);
    ASSERT_EQ(RowOf(L"Song B"), 1);
    DoubleClickRow(0);
    ASSERT_TRUE(TitleBecomes(L"Trio - Song C"));
    ASSERT_TRUE(TitleBecomes(L"Trio - Song A")) << "the song after the damaged one follows";
    EXPECT_TRUE(status.Saw(L"Cannot play Trio - Song B")) << status.Joined();
    EXPECT_TRUE(TitleBecomes(IdleTitle()));

    status.Clear();
    DoubleClickRow(1);
    EXPECT_TRUE(playtest::WaitFor([&] { return status.Saw(L"Cannot play Trio - Song B"); })) << status.Joined();
    th::PumpFor(300);
    EXPECT_EQ(Title(), IdleTitle());
    EXPECT_FALSE(hub->GetOutput()->IsPlaying());
    EXPECT_EQ(th::ReadFileBytes(LocalSongFile(kTrio, 2)), damaged) << "the file is left for the user to see";
    // The others still play.
    DoubleClickRow(2);
    EXPECT_TRUE(TitleBecomes(L"Trio - Song A"));
}

// Random bytes where the catalogue was: with the server up, the served catalogue replaces them;
// with it down, the tree stays empty, and the favourites are kept either way.
TEST_F(Faults, DamagedCatalogueIsReplacedFromTheServerAndTheFavouritesStay) {
    const std::string damaged = Garbage(20000, 11);
    ASSERT_TRUE(Start([&] {
        ASSERT_TRUE(th::WriteFileBytes(libraryPath, damaged));
        ASSERT_TRUE(WritePlaylistFile(FavouritesPath(dataFolder), {1, 2}));
    }));
    StatusLog& status = program.Status();
    EXPECT_TRUE(status.Saw(CNet::kErrorText)) << status.Joined();
    EXPECT_EQ(StatusPart(0), CNet::kErrorText);
    EXPECT_EQ(hub->GetLibrary()->GetCount(), 0);
    EXPECT_TRUE(Children(tree->GetLibraryItem()).empty());
    EXPECT_EQ(th::ReadFileBytes(libraryPath), damaged) << "nothing overwrites the file but a new catalogue";
    ASSERT_NE(tree->GetFavourites(), nullptr);
    EXPECT_EQ(tree->GetFavourites()->GetCount(), 2) << "the favourites wait for their songs";
    // Their rows show nothing to play; a double click on one plays nothing.
    Select(tree->GetFavouritesItem());
    EXPECT_EQ(list->RowCount(), 2);
    DoubleClickRow(0);
    th::PumpFor(300);
    EXPECT_EQ(Title(), IdleTitle());
    Stop();
    EXPECT_EQ(ReadPlaylistFile(FavouritesPath(program.DataFolder())), (std::vector<int>{1, 2}));

    // The server is up at the next start: its catalogue takes the place of the damaged one.
    ASSERT_TRUE(th::WriteSettingString(L"server", nettest::ServerUrl()));
    ASSERT_TRUE(Start());
    EXPECT_EQ(th::ReadFileBytes(libraryPath), th::ReadFileBytes(nettest::ServedLibrary() + L"Library.xml"));
    EXPECT_EQ(Children(tree->GetLibraryItem()), (std::vector<std::wstring>{L"Composer", L"library", L"Sub Folder"}));
    EXPECT_EQ(tree->GetFavourites()->GetCount(), 2);
    Select(tree->GetFavouritesItem());
    DoubleClickRow(1);
    const CSong* song = hub->GetLibrary()->GetSong(2);
    ASSERT_NE(song, nullptr);
    EXPECT_TRUE(TitleBecomes(std::wstring(song->DisplayArtist()) + L" - " + std::wstring(song->DisplayTitle()))) << status.Joined();
}

// A playlist file of random bytes and one cut off half-way beside a good one and the
// favourites: the program starts, the good files load whole, and they are still whole after it
// closed.
TEST_F(Faults, DamagedPlaylistFilesLeaveTheOthersWhole) {
    std::wstring folder;
    ASSERT_TRUE(Start([&] {
        folder = dataFolder;
        ASSERT_TRUE(WriteLocalLibrary(kTrio));
        ASSERT_TRUE(WritePlaylistFile(PlaylistPath(dataFolder, L"Good"), {1, 2}));
        ASSERT_TRUE(WritePlaylistFile(FavouritesPath(dataFolder), {3}));
        ASSERT_TRUE(th::WriteFileBytes(PlaylistPath(dataFolder, L"Bad"), Garbage(3000, 5)));
        ASSERT_TRUE(WritePlaylistFile(PlaylistPath(dataFolder, L"Cut"), {1, 2, 3}));
        std::string whole = th::ReadFileBytes(PlaylistPath(dataFolder, L"Cut"));
        ASSERT_TRUE(th::WriteFileBytes(PlaylistPath(dataFolder, L"Cut"), whole.substr(0, whole.size() / 2)));
    }));
    EXPECT_EQ(Children(tree->GetPlaylistsItem()), (std::vector<std::wstring>{L"Bad", L"Cut", L"Good"}));
    HTREEITEM good = tree->FindChild(tree->GetPlaylistsItem(), L"Good");
    EXPECT_EQ(tree->GetPlaylistOf(good)->GetCount(), 2);
    EXPECT_EQ(tree->GetFavourites()->GetCount(), 1);
    const CPlaylist* cut = tree->GetPlaylistOf(tree->FindChild(tree->GetPlaylistsItem(), L"Cut"));
    ASSERT_NE(cut, nullptr);
    for (int i = 0; i < cut->GetCount(); ++i) EXPECT_EQ(cut->GetIdAt(i), i + 1) << "what was read is the file's start";

    Select(tree->FindChild(tree->GetPlaylistsItem(), L"Bad"));
    Select(good);
    ASSERT_EQ(list->RowCount(), 2);
    DoubleClickRow(1);
    EXPECT_TRUE(TitleBecomes(L"Trio - Song B"));
    Stop();
    EXPECT_EQ(ReadPlaylistFile(PlaylistPath(folder, L"Good")), (std::vector<int>{1, 2}));
    EXPECT_EQ(ReadPlaylistFile(FavouritesPath(folder)), std::vector<int>{3});
}

}  // namespace
}  // namespace e2e
