#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <winioctl.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <vector>

#include "NetTestSupport.h"
#include "TestSupport.h"
#include "library/Library.h"
#include "net/Cache.h"
#include "playlists/Playlist.h"

namespace {

constexpr long long kKb = 1024;
constexpr long long kBaseTime = 1600000000;  // seconds since 1970

// Writes a file of `size` bytes whose last-write time is kBaseTime + age.
void MakeFile(const std::wstring& path, long long size, long long time) {
    size_t slash = path.rfind(L'\\');
    SHCreateDirectoryExW(nullptr, path.substr(0, slash).c_str(), nullptr);
    ASSERT_TRUE(th::WriteFileBytes(path, std::string(static_cast<size_t>(size), 'x'))) << path.c_str();
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    ULONGLONG ticks = (static_cast<ULONGLONG>(kBaseTime + time) + 11644473600ULL) * 10000000ULL;
    FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsJunction(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Runs a Unix command under Wine on the Unix names of one or two paths; false elsewhere.
bool RunUnix(const char* command, const std::wstring& first, const std::wstring& second) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (!unixName) return false;
    std::string line = std::string("Z:\\bin\\") + command;
    for (const std::wstring* path : {&first, &second}) {
        if (path->empty()) continue;
        char* name = unixName(path->c_str());
        if (!name) return false;
        line += std::string(" \"") + name + "\"";
        HeapFree(GetProcessHeap(), 0, name);
    }
    std::wstring wide(line.begin(), line.end());
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, wide.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

// Makes `link` a junction to the folder `target`. Windows makes it through its reparse point
// call; Wine has no such call but shows a Unix symbolic link as one, so there `ln` makes it.
bool MakeJunction(const std::wstring& link, const std::wstring& target) {
    if (CreateDirectoryW(link.c_str(), nullptr)) {
        HANDLE h = CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            const std::wstring substitute = L"\\??\\" + target;
            const WORD length = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
            // The mount point layout: tag, data length, a reserved word, then the offsets and
            // lengths of the substitute and print names and the names themselves.
            std::vector<BYTE> data(8 + 8 + length + 2 * sizeof(wchar_t), 0);
            DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
            WORD dataLength = static_cast<WORD>(data.size() - 8), printOffset = length + 2;
            memcpy(&data[0], &tag, 4);
            memcpy(&data[4], &dataLength, 2);
            memcpy(&data[10], &length, 2);
            memcpy(&data[12], &printOffset, 2);
            memcpy(&data[16], substitute.data(), length);
            DWORD got = 0;
            BOOL made = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, data.data(),
                                        static_cast<DWORD>(data.size()), nullptr, 0, &got, nullptr);
            CloseHandle(h);
            if (made) return true;
        }
        RemoveDirectoryW(link.c_str());
    }
    // Wine does not wait for a Unix program to end: the link is there when it shows.
    return RunUnix("ln -s", target, link) && th::PumpUntil([&] { return IsJunction(link); }, 5000);
}

// Under Wine a junction is a Unix symbolic link, which RemoveDirectoryW does not take away.
void RemoveJunction(const std::wstring& link) {
    if (!RemoveDirectoryW(link.c_str())) RunUnix("rm", L"", link);
}

// The cache reports nothing; a pass that must not delete anything is given this long.
void GiveAPassTime() { Sleep(400); }

bool WaitGone(const std::wstring& path) {
    return th::PumpUntil([&] { return !Exists(path); }, 5000);
}

class CacheTest : public ::testing::Test {
protected:
    std::wstring Cached(const std::wstring& file) const { return folder + file; }
    void Make(const std::wstring& file, long long kb, long long time) {
        MakeFile(Cached(file), kb * kKb, time);
    }

    th::TempDir dir;
    std::wstring folder = dir.File(L"modules\\");
    std::atomic<DWORD> limitMb{1};
};

TEST_F(CacheTest, EvictsOldestFirstDownToTheLimitAndRemovesEmptiedFolders) {
    Make(L"a\\oldest.mod", 400, 0);
    Make(L"b\\second.xm", 400, 1);
    Make(L"third.it", 400, 2);
    Make(L"b\\fourth.s3m", 400, 3);
    Make(L"c\\youngest.mod", 400, 4);
    CCache cache(folder, &limitMb);
    cache.ProtectPlaylist(nullptr, nullptr);
    cache.AddFile();
    ASSERT_TRUE(WaitGone(Cached(L"third.it")));
    GiveAPassTime();
    EXPECT_FALSE(Exists(Cached(L"a\\oldest.mod")));
    EXPECT_FALSE(Exists(Cached(L"b\\second.xm")));
    EXPECT_TRUE(Exists(Cached(L"b\\fourth.s3m")));
    EXPECT_TRUE(Exists(Cached(L"c\\youngest.mod")));
    EXPECT_FALSE(Exists(Cached(L"a")));  // emptied by the eviction
    EXPECT_TRUE(Exists(Cached(L"b")));   // still holds a file
}

TEST_F(CacheTest, EqualTimesAreEvictedInTheOrderAdded) {
    // A file above the limit on its own: once it is gone, the scan is over, and the files
    // made from then on are known to the cache only in the order they are added.
    Make(L"marker.mod", 1200, 0);
    CCache cache(folder, &limitMb);
    cache.ProtectPlaylist(nullptr, nullptr);
    cache.AddFile();
    ASSERT_TRUE(WaitGone(Cached(L"marker.mod")));
    Make(L"z.mod", 600, 5);
    Make(L"a.mod", 600, 5);
    cache.AddFile(Cached(L"z.mod"));
    cache.AddFile(Cached(L"a.mod"));
    ASSERT_TRUE(WaitGone(Cached(L"z.mod")));
    GiveAPassTime();
    EXPECT_TRUE(Exists(Cached(L"a.mod")));
}

TEST_F(CacheTest, ALowerLimitTakesEffectAtTheNextWakeUp) {
    Make(L"one.mod", 400, 0);
    Make(L"two.mod", 400, 1);
    Make(L"three.mod", 400, 2);
    limitMb = 2;
    CCache cache(folder, &limitMb);
    cache.ProtectPlaylist(nullptr, nullptr);
    cache.AddFile();
    GiveAPassTime();
    EXPECT_TRUE(Exists(Cached(L"one.mod")));

    limitMb = 1;
    cache.AddFile();
    ASSERT_TRUE(WaitGone(Cached(L"one.mod")));
    GiveAPassTime();
    EXPECT_TRUE(Exists(Cached(L"two.mod")));
    EXPECT_TRUE(Exists(Cached(L"three.mod")));
}

TEST_F(CacheTest, DotAndSystemFoldersAreNeitherCountedNorEmptied) {
    Make(L".hidden\\old.mod", 600, 0);
    Make(L"system\\old.mod", 600, 0);
    SetFileAttributesW(Cached(L"system").c_str(), FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM);
    Make(L"one.mod", 400, 1);
    Make(L"two.mod", 400, 2);
    CCache cache(folder, &limitMb);
    cache.ProtectPlaylist(nullptr, nullptr);
    cache.AddFile();
    GiveAPassTime();
    EXPECT_TRUE(Exists(Cached(L"one.mod")));  // 800 KB counted: below the limit

    Make(L"three.mod", 400, 3);
    cache.AddFile(Cached(L"three.mod"));
    ASSERT_TRUE(WaitGone(Cached(L"one.mod")));
    GiveAPassTime();
    EXPECT_TRUE(Exists(Cached(L".hidden\\old.mod")));
    EXPECT_TRUE(Exists(Cached(L"system\\old.mod")));
    EXPECT_TRUE(Exists(Cached(L"two.mod")));
}

// What lies behind a junction in the cache folder is somebody else's: never counted, never
// deleted.
TEST_F(CacheTest, JunctionsAreNotFollowed) {
    const std::wstring outside = dir.File(L"outside\\");
    MakeFile(outside + L"victim.mod", 2000 * kKb, 0);
    Make(L"one.mod", 400, 1);
    Make(L"two.mod", 400, 2);
    if (!MakeJunction(Cached(L"linked"), dir.File(L"outside")) || !IsJunction(Cached(L"linked")))
        GTEST_SKIP() << "no junction can be made here";
    ASSERT_TRUE(Exists(Cached(L"linked\\victim.mod")));
    CCache cache(folder, &limitMb);
    cache.ProtectPlaylist(nullptr, nullptr);
    cache.AddFile();
    GiveAPassTime();
    EXPECT_TRUE(Exists(outside + L"victim.mod"));
    EXPECT_TRUE(Exists(Cached(L"one.mod")));  // 800 KB counted: below the limit
    RemoveJunction(Cached(L"linked"));
    th::PumpUntil([&] { return !Exists(Cached(L"linked")); }, 5000);
}

class CacheFavouritesTest : public CacheTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(nettest::WriteCatalogue(dir.File(L"Library.xml"), 1,
                                            {{L"old\\first.mod", 400 * kKb, 10},
                                             {L"old\\second.mod", 400 * kKb, 10},
                                             {L"fav\\third.mod", 400 * kKb, 10},
                                             {L"new\\fourth.mod", 400 * kKb, 10},
                                             {L"new\\fifth.mod", 400 * kKb, 10}}));
        ASSERT_TRUE(library.Reload(0));
        Make(L"old\\first.mod", 400, 0);
        Make(L"old\\second.mod", 400, 1);
        Make(L"fav\\third.mod", 400, 2);
        Make(L"new\\fourth.mod", 400, 3);
        Make(L"new\\fifth.mod", 400, 4);
        favourites.Add(3, false);
    }
    CLibrary library{dir.File(L"Library.xml")};
    CPlaylist favourites{CPlaylist::kFavourites};
};

TEST_F(CacheFavouritesTest, NothingIsEvictedBeforeTheFavouritesAreKnown) {
    CCache cache(folder, &limitMb);
    cache.AddFile();
    GiveAPassTime();
    EXPECT_TRUE(Exists(Cached(L"old\\first.mod")));

    // The pass asked for meanwhile runs now: it passes over the favourite's file and goes on
    // with the younger ones until the total is within the limit.
    cache.ProtectPlaylist(&favourites, &library);
    ASSERT_TRUE(WaitGone(Cached(L"new\\fourth.mod")));
    GiveAPassTime();
    EXPECT_FALSE(Exists(Cached(L"old\\first.mod")));
    EXPECT_FALSE(Exists(Cached(L"old\\second.mod")));
    EXPECT_TRUE(Exists(Cached(L"fav\\third.mod")));
    EXPECT_TRUE(Exists(Cached(L"new\\fifth.mod")));

    // Released, the favourite's file is the oldest one to go when the cache fills up again.
    cache.Unprotect(3);
    Make(L"new\\sixth.mod", 400, 5);
    cache.AddFile(Cached(L"new\\sixth.mod"));
    ASSERT_TRUE(WaitGone(Cached(L"fav\\third.mod")));
    GiveAPassTime();
    EXPECT_TRUE(Exists(Cached(L"new\\fifth.mod")));
    EXPECT_TRUE(Exists(Cached(L"new\\sixth.mod")));
}

TEST_F(CacheFavouritesTest, ProtectAppliesBeforeTheNextEviction) {
    CCache cache(folder, &limitMb);
    cache.ProtectPlaylist(nullptr, &library);
    cache.Protect(1);
    cache.AddFile();
    GiveAPassTime();
    EXPECT_TRUE(Exists(Cached(L"old\\first.mod")));
    EXPECT_TRUE(Exists(Cached(L"new\\fifth.mod")));
}

TEST_F(CacheFavouritesTest, UnknownSongQueuedEarlierDoesNotUnprotectTheFavourites) {
    CCache cache(folder, &limitMb);
    cache.Protect(99);  // no longer in the catalogue
    cache.ProtectPlaylist(&favourites, &library);
    cache.AddFile();
    ASSERT_TRUE(WaitGone(Cached(L"old\\second.mod")));
    GiveAPassTime();
    EXPECT_TRUE(Exists(Cached(L"fav\\third.mod")));
}

// Two favourites that play from one file (sub-songs of one module): the file stays protected
// until the last of them goes.
TEST_F(CacheFavouritesTest, FileSharedByTwoFavouritesStaysProtectedUntilBothGo) {
    ASSERT_TRUE(nettest::WriteCatalogue(dir.File(L"Library.xml"), 1,
                                        {{L"old\\first.mod", 400 * kKb, 10},
                                         {L"old\\second.mod", 400 * kKb, 10},
                                         {L"fav\\third.mod", 400 * kKb, 10},
                                         {L"new\\fourth.mod", 400 * kKb, 10},
                                         {L"new\\fifth.mod", 400 * kKb, 10},
                                         {L"FAV\\third.mod", 400 * kKb, 10}}));
    ASSERT_TRUE(library.Reload(0));
    favourites.Add(6, false);
    CCache cache(folder, &limitMb);
    cache.ProtectPlaylist(&favourites, &library);
    cache.Unprotect(favourites.GetIdAt(0));
    favourites.RemoveAt(0);
    cache.AddFile();
    ASSERT_TRUE(WaitGone(Cached(L"new\\fourth.mod")));
    GiveAPassTime();
    EXPECT_TRUE(Exists(Cached(L"fav\\third.mod")));

    cache.Unprotect(favourites.GetIdAt(0));
    Make(L"new\\sixth.mod", 400, 5);
    cache.AddFile(Cached(L"new\\sixth.mod"));
    EXPECT_TRUE(WaitGone(Cached(L"fav\\third.mod")));
}

// The catalogue and the disk need not agree on case: the file system does not tell the two
// apart, and neither does the cache.
TEST_F(CacheFavouritesTest, FavouriteIsFoundWhateverTheCaseOfItsName) {
    ASSERT_TRUE(MoveFileW(Cached(L"fav\\third.mod").c_str(), Cached(L"fav\\Third.MOD").c_str()));
    ASSERT_TRUE(MoveFileW(Cached(L"fav").c_str(), Cached(L"FAV").c_str()));
    CCache cache(folder, &limitMb);
    cache.ProtectPlaylist(&favourites, &library);
    cache.AddFile();
    ASSERT_TRUE(WaitGone(Cached(L"new\\fourth.mod")));
    GiveAPassTime();
    EXPECT_TRUE(Exists(Cached(L"FAV\\Third.MOD")));
    EXPECT_TRUE(Exists(Cached(L"new\\fifth.mod")));
}

// A song downloaded again replaces its file: the cache counts it once, by its new time.
TEST_F(CacheTest, FileDownloadedAgainCountsOnceWithItsNewTime) {
    Make(L"again.mod", 300, 0);
    Make(L"other.mod", 300, 1);
    CCache cache(folder, &limitMb);
    cache.ProtectPlaylist(nullptr, nullptr);
    cache.AddFile();
    GiveAPassTime();
    Make(L"again.mod", 300, 10);
    cache.AddFile(Cached(L"again.mod"));
    GiveAPassTime();
    EXPECT_TRUE(Exists(Cached(L"other.mod")));  // 600 KB held, not 900

    // The next file takes the total past the limit: the oldest file goes, and the song
    // downloaded again is young now.
    Make(L"new.mod", 500, 11);
    cache.AddFile(Cached(L"new.mod"));
    ASSERT_TRUE(WaitGone(Cached(L"other.mod")));
    GiveAPassTime();
    EXPECT_TRUE(Exists(Cached(L"again.mod")));
    EXPECT_TRUE(Exists(Cached(L"new.mod")));
}

TEST(CachePaths, OnlyPlainRelativeFileNamesAreSafe) {
    for (const wchar_t* good : {L"song.mod", L"artist\\song.xm", L"a\\b\\name.with.dots.it",
                                L"..name.mod", L"a\\.x\\b.mod"})
        EXPECT_TRUE(CCache::IsSafeFile(good)) << good;
    for (const wchar_t* bad :
         {L"", L"\\song.mod", L"/song.mod", L"C:\\evil.mod", L"c:evil.mod", L"..\\evil.mod",
          L"a\\..\\..\\evil.mod", L"a/../../evil.mod", L"a\\..", L"a\\. .\\evil.mod",
          L"a\\...\\evil.mod", L"\\\\server\\share\\evil.mod", L"a\\\\b.mod", L"a\\",
          L"song.mod:stream", L"nul.mod", L"a\\COM1", L"a*.mod", L"a?.mod", L"a\tb.mod"})
        EXPECT_FALSE(CCache::IsSafeFile(bad)) << bad;
    EXPECT_EQ(CCache::SongPath(L"C:\\data\\modules\\", L"a\\b.mod"), L"C:\\data\\modules\\a\\b.mod");
    EXPECT_EQ(CCache::SongPath(L"C:\\data\\modules\\", L"..\\b.mod"), L"");
    EXPECT_EQ(CCache::SongPath(L"", L"b.mod"), L"");
}

TEST(CacheWithoutDataFolder, TouchesNoFile) {
    th::TempDir dir;
    MakeFile(dir.File(L"old.mod"), 800 * kKb, 0);
    MakeFile(dir.File(L"new.mod"), 800 * kKb, 1);
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(dir.Path().c_str());
    std::atomic<DWORD> limit{1};
    {
        CCache cache(L"", &limit);
        cache.ProtectPlaylist(nullptr, nullptr);
        cache.AddFile(L"new.mod");
        cache.AddFile();
        GiveAPassTime();
    }
    SetCurrentDirectoryW(previous);
    EXPECT_TRUE(Exists(dir.File(L"old.mod")));
    EXPECT_TRUE(Exists(dir.File(L"new.mod")));
}

TEST(CacheOutsideFiles, AreNeverTakenIn) {
    th::TempDir dir;
    std::wstring folder = dir.File(L"modules\\");
    CreateDirectoryW(folder.c_str(), nullptr);
    MakeFile(dir.File(L"outside.mod"), 1200 * kKb, 0);
    std::atomic<DWORD> limit{1};
    CCache cache(folder, &limit);
    cache.ProtectPlaylist(nullptr, nullptr);
    cache.AddFile(folder + L"..\\outside.mod");
    cache.AddFile(dir.File(L"outside.mod"));
    GiveAPassTime();
    EXPECT_TRUE(Exists(dir.File(L"outside.mod")));
}

}  // namespace
