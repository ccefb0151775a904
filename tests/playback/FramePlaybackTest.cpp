// The frame while a song plays: the position trackbar follows the tick and seeks, the toolbar
// shows the transport state, and a screenshot of the playing window for people to look at.

#include "PlaybackTestSupport.h"
#include "Screenshot.h"

#include "app/Globals.h"
#include "app/Ids.h"
#include "app/MainWindow.h"
#include "playlists/Playlists.h"
#include "ui/frame/WndToolbar.h"
#include "ui/frame/WndTrackbar.h"

#include <commctrl.h>

using namespace playtest;

namespace {

class FramePlayback : public PlaybackHubTest {
protected:
    // Two cached songs of `seconds` each.
    void Open(float seconds) { PlaybackHubTest::Open(2, seconds); }
    void Scroll(WORD code) {
        HWND bar = hub->GetPositionBar()->GetWindow();
        SendMessageW(GetParent(bar), WM_HSCROLL, MAKEWPARAM(code, 0), reinterpret_cast<LPARAM>(bar));
    }
    int Thumb() { return hub->GetPositionBar()->GetPosition(); }
    std::wstring PlayTip() {
        NMTTDISPINFOW info{};
        info.hdr.idFrom = ID_PLAY;
        info.hdr.code = TTN_GETDISPINFOW;
        SendMessageW(hub->GetToolbar()->GetWindow(), WM_NOTIFY, ID_PLAY, reinterpret_cast<LPARAM>(&info));
        return info.lpszText ? info.lpszText : L"";
    }
};

}  // namespace

TEST_F(FramePlayback, ThePositionFollowsThePlayingSongAndTheButtonsItsState) {
    Open(30.0f);
    CWndToolbar* toolbar = hub->GetToolbar();
    Command(ID_PLAYLIST_ENTRY_FIRST);
    ASSERT_TRUE(WaitFor([&] { return Thumb() > 250; })) << "the thumb follows the tick";
    HWND bar = hub->GetPositionBar()->GetWindow();
    EXPECT_TRUE(IsWindowEnabled(bar));
    EXPECT_FLOAT_EQ(hub->GetPositionBar()->GetDuration(), 30.0f);
    EXPECT_EQ(toolbar->GetPlayImage(), 1);
    EXPECT_EQ(PlayTip(), L"Pause");
    for (UINT id : {ID_PLAY, ID_STOP, ID_PREVIOUS, ID_NEXT, ID_ADD_FAVOURITES})
        EXPECT_TRUE(toolbar->IsButtonEnabled(id)) << id;
    EXPECT_TRUE(th::SaveWindowScreenshot(main->Handle(), th::ScreenshotPath(L"main-playing")));

    // Paused, the button shows the play image again.
    Command(ID_PLAY);
    EXPECT_EQ(toolbar->GetPlayImage(), 0);
    EXPECT_EQ(PlayTip(), L"Play");
    Command(ID_PLAY);
    EXPECT_EQ(toolbar->GetPlayImage(), 1);
}

TEST_F(FramePlayback, DraggingTheThumbHoldsItAndReleasingItSeeksOnce) {
    Open(30.0f);
    Command(ID_PLAYLIST_ENTRY_FIRST);
    ASSERT_TRUE(WaitFor([&] { return Thumb() > 0; }));
    HWND bar = hub->GetPositionBar()->GetWindow();
    SendMessageW(bar, TBM_SETPOS, TRUE, 1500);  // where the user dragged it
    Scroll(TB_THUMBTRACK);
    th::PumpFor(400);  // a few ticks
    EXPECT_EQ(Thumb(), 1500) << "ticks leave a dragged thumb alone";
    EXPECT_LT(Seconds(), 10.0f);

    Scroll(TB_THUMBPOSITION);
    EXPECT_NEAR(Seconds(), 22.5f, 0.5f);
    ASSERT_TRUE(WaitFor([&] { return Thumb() > 1500; })) << "the tick moves it again";
}
