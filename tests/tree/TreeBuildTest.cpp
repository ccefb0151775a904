#include "TreeHost.h"

#include "library/Library.h"
#include "net/Cache.h"
#include "playlists/Playlist.h"
#include "playlists/PlaylistItem.h"
#include "ui/tree/TreeBuild.h"
#include "ui/tree/WndTree.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using treetest::Fixture;
using treetest::Song;

namespace {

std::vector<std::wstring> Names(std::initializer_list<const wchar_t*> names) {
    return std::vector<std::wstring>(names.begin(), names.end());
}

// A file last written `hours` ago.
bool WriteAged(const std::wstring& path, const std::string& bytes, int hours) {
    if (!th::WriteFileBytes(path, bytes)) return false;
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart -= static_cast<ULONGLONG>(hours) * 3600 * 10000000;
    FILETIME ft{t.LowPart, t.HighPart};
    bool ok = SetFileTime(h, nullptr, nullptr, &ft) != 0;
    CloseHandle(h);
    return ok;
}

int EntryCount(const CPlaylist* playlist) {
    return playlist ? playlist->GetCount() : -1;
}

}  // namespace

TEST(TreeBuild, RootsAndOneArtistWithACollaborationUseOneSerialPerSong) {
    Fixture f({{L"Ann"}, {L"Ann", L"Bob"}, {L"Ann"}});
    int before = CPlaylistItem::NextSerial();
    ASSERT_TRUE(f.Build());
    int after = CPlaylistItem::NextSerial();
    EXPECT_EQ(after - before, 4);  // three songs, and the second call itself

    EXPECT_EQ(f.Children(nullptr), Names({L"Favourites", L"Playlists", L"Library"}));
    HTREEITEM library = f.tree->GetLibraryItem();
    EXPECT_EQ(f.tree->GetPlaylistOf(library)->GetKind(), CPlaylist::kLibrary);
    EXPECT_EQ(EntryCount(f.tree->GetPlaylistOf(library)), 0);
    ASSERT_EQ(f.Children(library), Names({L"Ann"}));
    HTREEITEM ann = f.Child(library, L"Ann");
    EXPECT_EQ(f.Children(ann), Names({L"Ann & Bob"}));
    const CPlaylist* own = f.tree->GetPlaylistOf(ann);
    ASSERT_EQ(EntryCount(own), 2);
    // Highest id first, as the songs were grouped.
    EXPECT_EQ(own->GetIdAt(0), 3);
    EXPECT_EQ(own->GetIdAt(1), 1);
    EXPECT_LT(own->GetSerialAt(0), own->GetSerialAt(1));
    const CPlaylist* together = f.tree->GetPlaylistOf(f.Child(ann, L"Ann & Bob"));
    ASSERT_EQ(EntryCount(together), 1);
    EXPECT_EQ(together->GetIdAt(0), 2);
    EXPECT_EQ(f.host.libraryStates, (std::vector<WPARAM>{0, 1}));
}

TEST(TreeBuild, HiddenAndSilentSongsUseSerialsButGetNoNode) {
    Song hidden{L"Hidden"};
    hidden.flags = 1;
    Song silent{L"Silent"};
    silent.end = 0;
    Fixture f({hidden, {L"Shown"}, silent});
    int before = CPlaylistItem::NextSerial();
    ASSERT_TRUE(f.Build());
    EXPECT_EQ(CPlaylistItem::NextSerial() - before, 4);
    EXPECT_EQ(f.Children(f.tree->GetLibraryItem()), Names({L"Shown"}));
}

TEST(TreeBuild, ArtistsAreGroupedByExactTextAndSortedWithoutRegardToCase) {
    Fixture f({{L"gamma"}, {L"beta"}, {L"ABBA"}, {L"Alpha"}, {L"abba"}, {L"beta", L"zed"},
               {L"beta", L"Amy"}, {L"beta", L"zed"}});
    ASSERT_TRUE(f.Build());
    HTREEITEM library = f.tree->GetLibraryItem();
    // The two spellings stand side by side; the first to arrive (the highest id) comes first.
    EXPECT_EQ(f.Children(library), Names({L"abba", L"ABBA", L"Alpha", L"beta", L"gamma"}));
    HTREEITEM beta = f.Child(library, L"beta");
    EXPECT_EQ(f.Children(beta), Names({L"beta & Amy", L"beta & zed"}));
    EXPECT_EQ(EntryCount(f.tree->GetPlaylistOf(f.Child(beta, L"beta & zed"))), 2);

    // The order is the control's own: sorting the children again changes nothing.
    SendMessageW(f.tree->GetControl(), TVM_SORTCHILDREN, 0, reinterpret_cast<LPARAM>(library));
    std::vector<std::wstring> sorted = f.Children(library);
    EXPECT_EQ(sorted.size(), 5u);
    EXPECT_EQ(sorted[2], L"Alpha");
    EXPECT_EQ(sorted[3], L"beta");
}

TEST(TreeBuild, MissingCatalogueStillGivesLibraryPlaylistsAndFavourites) {
    Fixture f;
    ASSERT_TRUE(f.Build());
    EXPECT_EQ(f.Children(nullptr), Names({L"Favourites", L"Playlists", L"Library"}));
    EXPECT_TRUE(f.Children(f.tree->GetLibraryItem()).empty());
    f.tree->SelectRandomArtist();  // nothing to pick: nothing happens
    EXPECT_EQ(f.tree->GetSelectedPlaylist(), nullptr);
}

TEST(TreeBuild, StopWhileNodesAreInsertedEndsWithoutDeadlockOrLeak) {
    Fixture f;
    ASSERT_TRUE(treetest::WriteLargeCatalogue(f.data.File(L"Library.xml"), 30000, 20000));
    ASSERT_TRUE(f.tree->StartBuild());
    // The window thread takes only the nodes it is sent, one batch at a time, until the first
    // artists are in; the build thread then waits inside the send of the next batch, however
    // quickly it builds.
    auto waitForBatch = [] {
        for (int i = 0; i < 6000; ++i) {
            if (HIWORD(GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) return true;
            Sleep(10);
        }
        return false;
    };
    HTREEITEM library = nullptr;
    for (;;) {
        ASSERT_TRUE(waitForBatch());
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        if (!library) library = reinterpret_cast<HTREEITEM>(SendMessageW(f.tree->GetControl(), TVM_GETNEXTITEM, TVGN_ROOT, 0));
        if (library && SendMessageW(f.tree->GetControl(), TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(library)))
            break;
    }
    ASSERT_TRUE(waitForBatch());
    EXPECT_FALSE(f.tree->IsReady());
    // The window goes while the thread may be inside a sent batch: the stop lets it through.
    f.tree.reset();
    EXPECT_GT(f.host.deletedPlaylists, 1);
    th::PumpFor(50);
}

// A step of the build that takes longer than any bound (a catalogue on a stalled network share,
// here a pipe that gives nothing for six seconds): the stop waits for the thread to end,
// since the thread still uses the build, the library and the control.
TEST(TreeBuild, StopWaitsUntilTheThreadHasEnded) {
    const wchar_t* name = L"\\\\.\\pipe\\tunehaven-slow-catalogue";
    HANDLE pipe = CreateNamedPipeW(name, PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
    CLibrary library(name);
    th::TestParentWindow parent;
    std::atomic<bool> released{false};
    {
        CTreeBuild build(parent.Handle(), parent.Handle(), nullptr, &library, nullptr);
        ASSERT_TRUE(build.Start(CTreeBuild::Images{}));
        ASSERT_TRUE(ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED);
        std::thread writer([&] {
            Sleep(6000);
            released = true;
            DisconnectNamedPipe(pipe);
        });
        th::PumpFor(100);  // the thread is reading now
        build.Stop();
        EXPECT_TRUE(released) << "the stop returned while the thread was still reading";
        writer.join();
    }
    CloseHandle(pipe);
}

// The song cache's thread names protected songs through the library; while the tree thread
// reloads the library it must not do so, and what was asked meanwhile is applied afterwards.
TEST(TreeBuild, CachePassesDuringTheReloadWaitForTheCatalogue) {
    th::TempDir cacheDir;
    std::wstring folder = cacheDir.File(L"modules\\");
    CreateDirectoryW(folder.c_str(), nullptr);
    std::atomic<DWORD> limitMb{1};
    CCache cache(folder, &limitMb);
    Fixture f({}, &cache);
    ASSERT_TRUE(treetest::WriteLargeCatalogue(f.data.File(L"Library.xml"), 20000, 2000));
    ASSERT_TRUE(f.library->Reload(0));
    CPlaylist favourites(CPlaylist::kFavourites);
    for (int id = 1; id <= 2000; ++id) favourites.Add(id, false);
    cache.ProtectPlaylist(&favourites, f.library.get());

    ASSERT_TRUE(f.tree->StartBuild());
    int passes = 0;
    ASSERT_TRUE(th::PumpUntil([&] {
        // Every pass gets an id to look up while the catalogue is emptied and read again.
        cache.Protect(15000);
        cache.AddFile();
        ++passes;
        return f.tree->IsReady();
    }, 60000));
    EXPECT_GT(passes, 1);
    cache.ProtectPlaylist(f.tree->GetFavourites(), f.library.get());

    // Three files of 700 kB against a limit of 1 MB, oldest first: the unprotected ones go,
    // and the song protected during the reload stays.
    std::string bytes(700 * 1024, 'x');
    std::wstring unprotectedFile = folder + std::wstring(f.library->GetSong(15002)->File());
    std::wstring protectedFile = folder + std::wstring(f.library->GetSong(15000)->File());
    std::wstring newestFile = folder + std::wstring(f.library->GetSong(15001)->File());
    int age = 3;
    for (const std::wstring& path : {unprotectedFile, protectedFile, newestFile}) {
        ASSERT_TRUE(WriteAged(path, bytes, age--));
        cache.AddFile(path);
    }
    ASSERT_TRUE(th::PumpUntil([&] { return !th::FileExists(unprotectedFile) && !th::FileExists(newestFile); }, 10000));
    EXPECT_TRUE(th::FileExists(protectedFile));
}
