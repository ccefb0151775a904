// What the user made stays made: favourites and playlists built through the tree's and the
// list's context menus are on disk within seconds, come back after a restart, and survive the
// program being killed; the song cache keeps to its limit without deleting favourites' files.

#include "E2eSupport.h"

#include "app/MainWindow.h"
#include "playlists/PlaylistFiles.h"

#include <algorithm>

namespace e2e {
namespace {

using PlaylistsSurvive = E2eTest;

// List menu commands (the song list's context menu).
constexpr UINT kListAddToFavourites = 20;
constexpr UINT kListDelete = 23;
constexpr UINT kListNewPlaylist = 100;

const std::vector<LocalSong> kSongs = {
    {L"Alpha", L"Song 1"}, {L"Alpha", L"Song 2"}, {L"Alpha", L"Song 3"},
    {L"Beta", L"Song 4"},  {L"Beta", L"Song 5"},  {L"Gamma", L"Song 6"},
};

std::vector<int> IdsOf(const CPlaylist* playlist) {
    std::vector<int> ids;
    for (int i = 0, id; playlist && (id = playlist->GetIdAt(i)) != 0; ++i) ids.push_back(id);
    return ids;
}

TEST_F(PlaylistsSurvive, FavouritesAndPlaylistsMadeThroughTheMenusComeBackAfterARestart) {
    ASSERT_TRUE(Start([] { ASSERT_TRUE(WriteLocalLibrary(kSongs)); }));
    // The list's menu on Alpha's focused row, the tree's menu on the Gamma node.
    Select(Artist(L"Alpha"));
    const int alphaFirst = SongOfRow(0);
    ListMenu(kListAddToFavourites);
    Select(Artist(L"Gamma"));
    TreeMenu(CWndTree::kAddToFavourites);
    EXPECT_EQ(IdsOf(tree->GetFavourites()), (std::vector<int>{alphaFirst, 6}));

    // Add to playlist > New playlist on the Beta node: a playlist named after it, whose label
    // the user leaves as it is.
    Select(Artist(L"Beta"));
    const std::vector<int> beta = IdsOf(list->GetPlaylist());
    TreeMenu(CWndTree::kAddToPlaylistFirst);
    TreeView_EndEditLabelNow(tree->GetControl(), TRUE);
    HTREEITEM betaNode = tree->FindChild(tree->GetPlaylistsItem(), L"Beta");
    ASSERT_NE(betaNode, nullptr);
    EXPECT_EQ(IdsOf(tree->GetPlaylistOf(betaNode)), beta);

    // The list's New playlist from all of Alpha's rows, renamed as it is made.
    Select(Artist(L"Alpha"));
    const std::vector<int> alpha = IdsOf(list->GetPlaylist());
    list->SelectAll();
    ListMenu(kListNewPlaylist);
    ASSERT_TRUE(th::FinishLabelEdit(tree->GetControl(), L"Road trip")) << "the new playlist's label is being edited";
    HTREEITEM roadNode = tree->FindChild(tree->GetPlaylistsItem(), L"Road trip");
    ASSERT_NE(roadNode, nullptr);
    EXPECT_EQ(IdsOf(tree->GetPlaylistOf(roadNode)), alpha);

    // The first song of the Beta playlist goes again (the list's Delete).
    Select(betaNode);
    ASSERT_EQ(list->RowCount(), 2);
    list->SelectRow(0);
    ListMenu(kListDelete);
    const std::vector<int> betaLeft(beta.begin() + 1, beta.end());
    EXPECT_EQ(IdsOf(tree->GetPlaylistOf(betaNode)), betaLeft);

    // Written within seconds, without waiting for the program to end.
    const std::wstring folder = dataFolder;
    const std::vector<int> favourites = {alphaFirst, 6};
    EXPECT_TRUE(playtest::WaitFor([&] { return ReadPlaylistFile(FavouritesPath(folder)) == favourites; }, 15000));
    EXPECT_TRUE(playtest::WaitFor([&] { return ReadPlaylistFile(PlaylistPath(folder, L"Beta")) == betaLeft; }, 15000));
    EXPECT_TRUE(playtest::WaitFor([&] { return ReadPlaylistFile(PlaylistPath(folder, L"Road trip")) == alpha; }, 15000));
    EXPECT_FALSE(th::FileExists(PlaylistPath(folder, L"New playlist"))) << "the renamed playlist's first name";

    // Closed and opened again on the same folder: everything is back.
    ASSERT_TRUE(Restart());
    EXPECT_EQ(IdsOf(tree->GetFavourites()), favourites);
    EXPECT_EQ(Children(tree->GetPlaylistsItem()), (std::vector<std::wstring>{L"Beta", L"Road trip"}));
    EXPECT_EQ(IdsOf(tree->GetPlaylistOf(tree->FindChild(tree->GetPlaylistsItem(), L"Beta"))), betaLeft);
    EXPECT_EQ(IdsOf(tree->GetPlaylistOf(tree->FindChild(tree->GetPlaylistsItem(), L"Road trip"))), alpha);
    Select(tree->GetFavouritesItem());
    EXPECT_EQ(list->RowCount(), 2);
    // The tray menu's second favourite plays.
    Command(ID_FAVOURITE_FIRST + 1);
    EXPECT_TRUE(TitleBecomes(L"Gamma - Song 6"));
}

// ---- A killed program --------------------------------------------------------------------------

// Points the user's application-data folder (the shell folder the program asks for at start)
// at another folder while it lives, and puts the old setting back afterwards.
class ShellAppData {
public:
    explicit ShellAppData(const std::wstring& folder) {
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key_) != ERROR_SUCCESS) {
            key_ = nullptr;
            return;
        }
        DWORD size = 0;
        if (RegQueryValueExW(key_, L"AppData", nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
            old_.resize(size);
            had_ = RegQueryValueExW(key_, L"AppData", nullptr, &type_, old_.data(), &size) == ERROR_SUCCESS;
        }
        std::wstring value = folder;
        if (value.size() > 3 && value.back() == L'\\') value.pop_back();
        set_ = RegSetValueExW(key_, L"AppData", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              DWORD((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    ~ShellAppData() {
        if (!key_) return;
        if (had_)
            RegSetValueExW(key_, L"AppData", 0, type_, old_.data(), DWORD(old_.size()));
        else
            RegDeleteValueW(key_, L"AppData");
        RegCloseKey(key_);
    }
    bool IsSet() const { return set_; }

private:
    static constexpr const wchar_t* kKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    HKEY key_ = nullptr;
    DWORD type_ = REG_EXPAND_SZ;
    std::vector<BYTE> old_;
    bool had_ = false;
    bool set_ = false;
};

// The program itself, started from the build tree.
class Child {
public:
    explicit Child(const std::wstring& exe) {
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_))
            CloseHandle(pi_.hThread);
    }
    ~Child() {
        if (!pi_.hProcess) return;
        Kill();
        CloseHandle(pi_.hProcess);
    }
    bool Started() const { return pi_.hProcess != nullptr; }
    void Kill() {
        if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(pi_.hProcess, 9);
            WaitForSingleObject(pi_.hProcess, 10000);
        }
    }
    bool Running() const { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT; }
    HWND MainWindow() const {
        HWND w = FindWindowW(kMainWindowClass, nullptr);
        DWORD owner = 0;
        if (w) GetWindowThreadProcessId(w, &owner);
        return owner == pi_.dwProcessId ? w : nullptr;
    }

private:
    PROCESS_INFORMATION pi_{};
};

HWND ChildOfClass(HWND parent, const wchar_t* className) {
    struct Search {
        const wchar_t* name;
        HWND found;
    } search{className, nullptr};
    EnumChildWindows(
        parent,
        [](HWND w, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            wchar_t name[64] = {};
            GetClassNameW(w, name, 64);
            if (_wcsicmp(name, s->name) != 0) return TRUE;
            s->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HTREEITEM NextItem(HWND tree, HTREEITEM item, UINT relation) {
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

TEST_F(PlaylistsSurvive, FavouritesAndAPlaylistOfAKilledProgramAreOnDisk) {
    ASSERT_EQ(FindWindowW(kMainWindowClass, nullptr), nullptr) << "another main window would take the start";
    const std::wstring exe = th::BuildTreeFile(L"tunehaven.exe");
    ASSERT_TRUE(th::FileExists(exe));
    SetDataFolders(program.AppData());
    ASSERT_TRUE(WriteLocalLibrary(kSongs));
    const std::wstring folder = dataFolder;
    SetDataFolders(L"");

    std::unique_ptr<Child> child;
    HWND window = nullptr;
    {
        ShellAppData redirect(program.AppData());
        ASSERT_TRUE(redirect.IsSet());
        child = std::make_unique<Child>(exe);
        ASSERT_TRUE(child->Started());
        // The program reads the folder before it makes its window, and shows the window once
        // every control is made.
        playtest::WaitFor(
            [&] {
                window = child->MainWindow();
                return (window && IsWindowVisible(window)) || !child->Running();
            },
            30000);
    }
    ASSERT_NE(window, nullptr);
    HWND treeControl = ChildOfClass(window, WC_TREEVIEWW);
    HWND listControl = ChildOfClass(window, WC_LISTVIEWW);
    ASSERT_NE(treeControl, nullptr);
    ASSERT_NE(listControl, nullptr);
    // Ready once Favourites, Playlists and Library stand at the root.
    HTREEITEM library = nullptr;
    ASSERT_TRUE(playtest::WaitFor(
        [&] {
            HTREEITEM root = NextItem(treeControl, nullptr, TVGN_ROOT);
            HTREEITEM second = root ? NextItem(treeControl, root, TVGN_NEXT) : nullptr;
            library = second ? NextItem(treeControl, second, TVGN_NEXT) : nullptr;
            return library != nullptr;
        },
        30000));
    HTREEITEM alpha = NextItem(treeControl, library, TVGN_CHILD);
    ASSERT_NE(alpha, nullptr);
    SendMessageW(treeControl, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(alpha));
    // Alpha's list shows its newest song first: the favourite is song 3.
    PostMessageW(listControl, WM_COMMAND, kListAddToFavourites, 0);
    PostMessageW(treeControl, WM_COMMAND, CWndTree::kAddToPlaylistFirst, 0);
    const std::vector<int> favourites = {3};
    EXPECT_TRUE(playtest::WaitFor(
        [&] {
            return ReadPlaylistFile(FavouritesPath(folder)) == favourites &&
                   ReadPlaylistFile(PlaylistPath(folder, L"Alpha")).size() == 3;
        },
        20000));
    ASSERT_TRUE(child->Running());
    child->Kill();
    EXPECT_FALSE(child->Running());

    EXPECT_EQ(ReadPlaylistFile(FavouritesPath(folder)), favourites);
    std::vector<int> made = ReadPlaylistFile(PlaylistPath(folder, L"Alpha"));
    std::sort(made.begin(), made.end());
    EXPECT_EQ(made, (std::vector<int>{1, 2, 3}));

    // Started again on the folder, the program shows what the killed one made.
    ASSERT_TRUE(Start());
    EXPECT_EQ(IdsOf(tree->GetFavourites()), favourites);
    EXPECT_EQ(Children(tree->GetPlaylistsItem()), std::vector<std::wstring>{L"Alpha"});
}

// ---- The song cache ----------------------------------------------------------------------------

FILETIME YearTime(WORD year) {
    SYSTEMTIME st{};
    st.wYear = year;
    st.wMonth = 1;
    st.wDay = 1;
    st.wHour = 12;
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

bool SetWriteYear(const std::wstring& path, WORD year) {
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    FILETIME ft = YearTime(year);
    bool ok = SetFileTime(h, nullptr, nullptr, &ft) != FALSE;
    CloseHandle(h);
    return ok;
}

// A file of `megabytes` that takes no room on the disk (its bytes are never written).
bool WriteEmptyFile(const std::wstring& path, LONGLONG megabytes, WORD year) {
    CreateDirectoryW(path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    size.QuadPart = megabytes * 1048576;
    bool ok = SetFilePointerEx(h, size, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    return ok && SetWriteYear(path, year);
}

// Three songs of Alpha are cached, song 1 is a favourite; large files of other songs fill the
// cache. The user picks the smallest cache size (100 MB) in the options.
TEST_F(PlaylistsSurvive, CacheShrinksToItsLimitAndKeepsTheFavouritesFiles) {
    constexpr uint64_t kLimit = 100ull * 1048576;
    std::wstring favourite, a, b, c;
    ASSERT_TRUE(Start([&] {
        ASSERT_TRUE(WriteLocalLibrary(kSongs));
        favourite = LocalSongFile(kSongs, 1);
        a = cacheFolder + L"Old\\a.mod";
        b = cacheFolder + L"Old\\b.mod";
        c = cacheFolder + L"Old\\c.mod";
        ASSERT_TRUE(WritePlaylistFile(FavouritesPath(dataFolder), {1}));
        ASSERT_TRUE(WriteEmptyFile(a, 60, 2000));
        ASSERT_TRUE(SetWriteYear(favourite, 2001));
        ASSERT_TRUE(WriteEmptyFile(b, 60, 2002));
    }));
    const std::wstring cache = cacheFolder;
    ASSERT_GT(th::FolderBytes(cache), kLimit);
    Command(ID_CACHE_FIRST);
    EXPECT_EQ(settings.cacheLimit.load(), 100u);
    EXPECT_TRUE(playtest::WaitFor([&] { return !th::FileExists(a); }, 15000)) << "the oldest file goes";
    EXPECT_LE(th::FolderBytes(cache), kLimit);
    EXPECT_TRUE(th::FileExists(favourite));
    EXPECT_TRUE(th::FileExists(b));
    EXPECT_TRUE(th::FileExists(LocalSongFile(kSongs, 2)));

    // Another large file while the program is closed: at the next start the favourite's file
    // is the oldest. Eviction passes over it and takes the next oldest.
    Stop();
    ASSERT_TRUE(WriteEmptyFile(c, 60, 2003));
    ASSERT_TRUE(Start());
    ASSERT_GT(th::FolderBytes(cache), kLimit);
    Command(ID_CACHE_FIRST);
    EXPECT_TRUE(playtest::WaitFor([&] { return !th::FileExists(b); }, 15000));
    EXPECT_LE(th::FolderBytes(cache), kLimit);
    EXPECT_TRUE(th::FileExists(favourite));
    EXPECT_TRUE(th::FileExists(c));

    // The song leaves the favourites (the list's Delete): its file is the oldest, and the
    // first to go when the cache is over its limit again.
    Select(tree->GetFavouritesItem());
    ASSERT_EQ(list->RowCount(), 1);
    list->SelectRow(0);
    ListMenu(kListDelete);
    EXPECT_EQ(tree->GetFavourites()->GetCount(), 0);
    Stop();
    const std::wstring d = cache + L"Old\\d.mod";
    ASSERT_TRUE(WriteEmptyFile(d, 60, 2004));
    ASSERT_TRUE(Start());
    Command(ID_CACHE_FIRST);
    EXPECT_TRUE(playtest::WaitFor([&] { return !th::FileExists(favourite) && !th::FileExists(c); }, 15000));
    EXPECT_LE(th::FolderBytes(cache), kLimit);
    EXPECT_TRUE(th::FileExists(d));
}

}  // namespace
}  // namespace e2e
