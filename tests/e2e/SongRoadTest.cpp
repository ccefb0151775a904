// The road of a song through the whole program: a first start on an empty data folder fetches
// the server's catalogue and builds the tree; a double click on a song that is not cached
// downloads it and plays it, and every part of the window follows; songs then play through in
// the list's order by themselves, and random play over the entire library picks songs not
// played yet.

#include "E2eSupport.h"
#include "NetTestSupport.h"

#include "net/Net.h"
#include "ui/frame/WndTrackbar.h"

namespace e2e {
namespace {

using SongRoad = E2eTest;

constexpr COLORREF kUntouched = RGB(1, 2, 3);

// What the list's custom draw gives a row's text, asked through the main window the way the
// control asks when it paints.
COLORREF DrawnTextColour(HWND main, CWndList* list, int row) {
    NMLVCUSTOMDRAW draw{};
    draw.nmcd.hdr.hwndFrom = list->GetWindow();
    draw.nmcd.hdr.idFrom = IDC_SONGLIST;
    draw.nmcd.hdr.code = NM_CUSTOMDRAW;
    draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    draw.nmcd.dwItemSpec = DWORD_PTR(row);
    draw.nmcd.lItemlParam = list->SerialAt(row);
    draw.clrText = kUntouched;
    draw.clrTextBk = kUntouched;
    SendMessageW(main, WM_NOTIFY, IDC_SONGLIST, reinterpret_cast<LPARAM>(&draw));
    return draw.clrText;
}

// Titles in the order they appeared, until `count` were seen or `stop` was.
std::vector<std::wstring> WatchTitles(HWND main, size_t count, const std::wstring& stop, DWORD timeoutMs) {
    std::vector<std::wstring> seen{playtest::TitleOf(main)};
    playtest::WaitFor(
        [&] {
            std::wstring title = playtest::TitleOf(main);
            if (title != seen.back()) seen.push_back(title);
            return seen.size() >= count || title == stop;
        },
        timeoutMs);
    return seen;
}

TEST_F(SongRoad, FirstStartFetchesTheLibraryAndADoubleClickDownloadsAndPlaysTheSong) {
    const std::wstring url = nettest::ServerUrl();
    ASSERT_FALSE(url.empty()) << "the suite's library servers are not running";
    ASSERT_TRUE(th::WriteSettingString(L"server", url));
    const std::wstring served = nettest::ServedLibrary();
    const std::string catalogue = th::ReadFileBytes(served + L"Library.xml");
    ASSERT_FALSE(catalogue.empty());

    // An empty data folder: the version check finds the server newer, the catalogue comes
    // down, and the tree is built from it.
    ASSERT_TRUE(Start());
    StatusLog& status = program.Status();
    EXPECT_EQ(th::ReadFileBytes(libraryPath), catalogue);
    EXPECT_TRUE(status.Saw(CNet::kCheckingText)) << status.Joined();
    EXPECT_TRUE(status.Saw(CNet::kLibraryText)) << status.Joined();
    EXPECT_TRUE(status.Saw(L"Building tree")) << status.Joined();
    EXPECT_FALSE(status.Saw(CNet::kErrorText)) << status.Joined();
    EXPECT_EQ(StatusPart(0), L"");
    EXPECT_EQ(hub->GetLibrary()->GetCount(), 4);
    EXPECT_EQ(Children(tree->GetLibraryItem()), (std::vector<std::wstring>{L"Composer", L"library", L"Sub Folder"}));
    EXPECT_EQ(Title(), IdleTitle());

    // A double click on a song that is not cached: it is downloaded, then it plays, and the
    // song after it in the list is fetched while it plays.
    Select(Artist(L"Composer"));
    ASSERT_EQ(list->RowCount(), 2);
    const int noisy = RowOf(L"Noisy");
    const int first = RowOf(L"First");
    ASSERT_EQ(noisy, 0);
    ASSERT_EQ(first, 1);
    COutput* output = hub->GetOutput();
    EXPECT_FALSE(output->IsCached(SongOfRow(noisy)));
    EXPECT_FALSE(output->IsCached(SongOfRow(first)));
    DoubleClickRow(noisy);
    ASSERT_TRUE(TitleBecomes(L"Composer - Noisy")) << status.Joined();
    EXPECT_TRUE(status.Saw(L"Downloading noisy.mod")) << status.Joined();
    EXPECT_EQ(th::ReadFileBytes(cacheFolder + L"Composer\\noisy.mod"),
              th::ReadFileBytes(served + L"Composer\\noisy.mod"))
        << "the cached file is the served module, unpacked";
    EXPECT_TRUE(playtest::WaitFor([&] { return output->IsCached(SongOfRow(first)); }, 30000)) << status.Joined();
    EXPECT_TRUE(status.Saw(L"Downloading first.mod")) << status.Joined();

    // The playing row is drawn in the highlight colour; another row is not.
    list->ClearSelection();
    EXPECT_EQ(DrawnTextColour(program.Window(), list, noisy), settings.listhigh);
    EXPECT_EQ(DrawnTextColour(program.Window(), list, first), kUntouched);

    // The position, the time in the status bar and the tray tooltip move with the song.
    CWndTrackbar* position = hub->GetPositionBar();
    EXPECT_NEAR(position->GetDuration(), 7.68f, 0.05f);
    EXPECT_TRUE(playtest::WaitFor([&] { return position->GetSeconds() >= 1.0f; }));
    EXPECT_TRUE(playtest::WaitFor([&] { return StatusPart(1).find(L"0:02 / 0:07") != std::wstring::npos; }))
        << "time part: " << StatusPart(1);
    EXPECT_TRUE(playtest::WaitFor([&] { return std::wstring(hub->TrayTip()) == L"[0:03/0:07]\nComposer\nNoisy"; }))
        << hub->TrayTip();
    EXPECT_GT(position->GetSeconds(), 2.5f) << "the position moved on with the tooltip";

    // The downloaded next song follows by itself, and the window follows it.
    ASSERT_TRUE(TitleBecomes(L"Composer - First")) << status.Joined();
    EXPECT_TRUE(playtest::WaitFor([&] { return std::wstring(hub->TrayTip()).find(L"\nComposer\nFirst") != std::wstring::npos; }));
    EXPECT_LT(position->GetSeconds(), 3.0f) << "the position starts again with the new song";
    EXPECT_EQ(DrawnTextColour(program.Window(), list, first), settings.listhigh);
    EXPECT_EQ(DrawnTextColour(program.Window(), list, noisy), kUntouched);
    EXPECT_FALSE(status.Saw(CNet::kErrorText)) << status.Joined();

    Command(ID_STOP);
    EXPECT_TRUE(TitleBecomes(IdleTitle()));
    EXPECT_TRUE(playtest::WaitFor([&] { return std::wstring(hub->TrayTip()) == IdleTitle(); }));
    EXPECT_EQ(StatusPart(1), L"");
}

TEST_F(SongRoad, SongsPlayThroughInOrderAndRandomPlayPicksSongsNotPlayedYet) {
    const std::vector<LocalSong> songs = {
        {L"Trio", L"Song A", 2.0f}, {L"Trio", L"Song B", 2.0f}, {L"Trio", L"Song C", 2.0f},
        {L"Uno", L"One", 2.0f},     {L"Duo", L"Two", 2.0f},     {L"Tre", L"Three", 2.0f},
        {L"Quat", L"Four", 2.0f},
    };
    ASSERT_TRUE(Start([&] { ASSERT_TRUE(WriteLocalLibrary(songs)); }));
    Select(Artist(L"Trio"));
    ASSERT_EQ(list->RowCount(), 3);
    std::vector<std::wstring> order;
    for (int row = 0; row < 3; ++row) order.push_back(L"Trio - " + std::wstring(hub->GetLibrary()->GetSong(SongOfRow(row))->DisplayTitle()));

    // Ordered play: each song follows the one before by itself, and the last one ends it.
    DoubleClickRow(0);
    ASSERT_TRUE(TitleBecomes(order[0]));
    std::vector<std::wstring> played = WatchTitles(program.Window(), 10, IdleTitle(), 30000);
    EXPECT_EQ(played, (std::vector<std::wstring>{order[0], order[1], order[2], IdleTitle()}));

    // Random over the entire library from the song now playing: every song that follows is
    // one not played since random play began, the one playing then included.
    DoubleClickRow(0);
    ASSERT_TRUE(TitleBecomes(order[0]));
    Command(ID_RANDOM_LIBRARY);
    EXPECT_EQ(settings.random, 2u);
    std::vector<std::wstring> picked = WatchTitles(program.Window(), 5, IdleTitle(), 40000);
    ASSERT_EQ(picked.size(), 5u);
    for (size_t i = 0; i < picked.size(); ++i) {
        EXPECT_NE(picked[i], IdleTitle()) << "random play does not end";
        for (size_t j = 0; j < i; ++j)
            EXPECT_NE(picked[i], picked[j]) << "played twice: " << picked[i];
    }

    // Next in random play jumps at once, and the tree shows the new song's artist.
    const std::wstring before = Title();
    Command(ID_NEXT);
    ASSERT_TRUE(playtest::WaitFor([&] { return Title() != before; }));
    const std::wstring now = Title();
    EXPECT_EQ(now.substr(0, now.find(L" - ")), tree->GetNodeText(TreeView_GetSelection(tree->GetControl())));
}

// Of two songs, the one not playing is the only song random play may pick when it is switched
// on; a fresh start each time, since the library remembers what random play has picked.
TEST_F(SongRoad, RandomPlaySwitchedOnDoesNotPickTheSongPlaying) {
    const std::vector<LocalSong> songs = {{L"Alpha", L"One", 3.0f}, {L"Beta", L"Two", 3.0f}};
    for (int run = 0; run < 6; ++run) {
        ASSERT_TRUE(Start([&] { ASSERT_TRUE(WriteLocalLibrary(songs)); }));
        Select(Artist(L"Alpha"));
        DoubleClickRow(0);
        ASSERT_TRUE(TitleBecomes(L"Alpha - One"));
        Command(ID_RANDOM_LIBRARY);
        EXPECT_EQ(hub->GetOutput()->GetNext(true), 2) << "run " << run;
        Command(ID_RANDOM_OFF);
        Stop();
    }
}

}  // namespace
}  // namespace e2e
