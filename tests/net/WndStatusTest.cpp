#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <thread>

#include "NetTestSupport.h"
#include "TestSupport.h"
#include "app/Ids.h"
#include "library/Library.h"
#include "playlists/Playlist.h"
#include "ui/frame/WndStatus.h"

namespace {

using nettest::PartText;

HWND ProgressBar(HWND bar) { return FindWindowExW(bar, nullptr, PROGRESS_CLASSW, nullptr); }

// The test's main window is never shown, so visibility is the bar's own style bit.
bool Shown(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

int CountQueued(HWND bar, UINT msg) {
    int count = 0;
    MSG m;
    while (PeekMessageW(&m, bar, msg, msg, PM_REMOVE)) ++count;
    return count;
}

class WndStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        status = std::make_unique<CWndStatus>(GetModuleHandleW(nullptr), parent.Get(), &library);
        ASSERT_TRUE(status->GetWindow());
        SendMessageW(status->GetWindow(), WM_SIZE, 0, MAKELPARAM(800, 300));
    }
    void Settle() { th::PumpFor(50); }

    th::TempDir dir;
    nettest::MessageWindow parent;
    CLibrary library{dir.File(L"Library.xml")};
    std::unique_ptr<CWndStatus> status;
};

TEST_F(WndStatusTest, ProgressIsCappedShownAndHidden) {
    HWND bar = status->GetWindow();
    status->SetStatusText(L"Downloading a.mod");
    status->SetProgress(150);
    Settle();
    EXPECT_EQ(PartText(bar, 0), L"Downloading a.mod (100%)");
    EXPECT_TRUE(Shown(ProgressBar(bar)));
    EXPECT_EQ(SendMessageW(ProgressBar(bar), PBM_GETPOS, 0, 0), 100);

    status->SetProgress(-1);
    Settle();
    EXPECT_FALSE(Shown(ProgressBar(bar)));
}

TEST_F(WndStatusTest, EqualProgressPostsOnce) {
    status->SetProgress(40);
    status->SetProgress(40);
    EXPECT_EQ(CountQueued(status->GetWindow(), WM_APP_STATUS_PROGRESS), 1);
    status->SetProgress(41);
    EXPECT_EQ(CountQueued(status->GetWindow(), WM_APP_STATUS_PROGRESS), 1);
}

TEST_F(WndStatusTest, TextAndProgressFromAnotherThread) {
    HWND bar = status->GetWindow();
    std::thread worker([&] {
        status->SetStatusText(L"Checking current library version");
        status->SetProgress(40);
    });
    worker.join();
    Settle();
    EXPECT_EQ(PartText(bar, 0), L"Checking current library version (40%)");

    // A cleared message leaves only the percentage.
    status->SetStatusText(nullptr);
    status->SetProgress(41);
    Settle();
    EXPECT_EQ(PartText(bar, 0), L" (41%)");
}

TEST_F(WndStatusTest, TimeShowsMinutesBeyondAnHour) {
    status->SetTime(125, 3725);
    EXPECT_EQ(PartText(status->GetWindow(), 1), L"\t2:05 / 62:05 ");
    status->SetTime(0, 0);
    EXPECT_EQ(PartText(status->GetWindow(), 1), L"");
}

TEST_F(WndStatusTest, TotalsCountKnownSongsWithUnits) {
    ASSERT_TRUE(nettest::WriteCatalogue(dir.File(L"Library.xml"), 1,
                                        {{L"a\\one.mod", 2097152, 61.5},
                                         {L"a\\two.mod", 1048575999, 10.0},
                                         {L"b\\three.mod", 1000, 3600.0}}));
    ASSERT_TRUE(library.Reload(0));
    ASSERT_EQ(library.GetCount(), 3);
    HWND bar = status->GetWindow();

    CPlaylist one(CPlaylist::kUser);
    one.Add(1, false);
    one.Add(99, false);  // not in the library: neither counted nor summed
    status->SetTotals(&one);
    EXPECT_EQ(PartText(bar, 2), L" 1 song (2.00Mb) : 0h 01m 01s");

    CPlaylist empty(CPlaylist::kUser);
    status->SetTotals(&empty);
    EXPECT_EQ(PartText(bar, 2), L" 0 songs (0.00Mb) : 0h 00m 00s");
    status->SetTotals(nullptr);
    EXPECT_EQ(PartText(bar, 2), L" 0 songs (0.00Mb) : 0h 00m 00s");

    // 1048575999 bytes round to 1000 Mb as a 32-bit float.
    CPlaylist big(CPlaylist::kUser);
    big.Add(2, false);
    big.Add(3, false);
    status->SetTotals(&big);
    EXPECT_EQ(PartText(bar, 2), L" 2 songs (1.00Gb) : 1h 00m 10s");
}

TEST_F(WndStatusTest, SizeSetsThePartsAndPlacesTheProgressBar) {
    HWND bar = status->GetWindow();
    SendMessageW(bar, WM_SIZE, 0, MAKELPARAM(700, 300));
    int parts[3] = {};
    ASSERT_EQ(SendMessageW(bar, SB_GETPARTS, 3, reinterpret_cast<LPARAM>(parts)), 3);
    EXPECT_EQ(parts[0], 390);
    EXPECT_EQ(parts[1], 480);
    RECT r{};
    GetWindowRect(ProgressBar(bar), &r);
    MapWindowPoints(nullptr, bar, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.right, 390 - 6);
    EXPECT_EQ(r.top, 4);
}

}  // namespace
