#include "FrameTestSupport.h"
#include "TestSupport.h"

#include "app/Ids.h"
#include "base/Subclass.h"
#include "ui/frame/ToolbarImages.h"
#include "ui/frame/WndToolbar.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

namespace {

constexpr UINT kButtonIds[] = {ID_PLAY, ID_STOP, ID_PREVIOUS, ID_NEXT, ID_ADD_FAVOURITES};

class WndToolbarTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(toolbar.Create(GetModuleHandleW(nullptr), parent.Handle())); }

    // What the buttons' tooltip control gets when it asks for a button's text.
    std::wstring Tip(UINT id) {
        NMTTDISPINFOW info{};
        info.hdr.hwndFrom =
            reinterpret_cast<HWND>(SendMessageW(toolbar.GetWindow(), TB_GETTOOLTIPS, 0, 0));
        info.hdr.idFrom = id;
        info.hdr.code = TTN_GETDISPINFOW;
        info.hinst = GetModuleHandleW(nullptr);
        SendMessageW(toolbar.GetWindow(), WM_NOTIFY, id, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(info.hinst, nullptr);
        if (info.lpszText) return info.lpszText;
        return info.szText;
    }
    int ImageOf(UINT id) {
        TBBUTTONINFOW info{};
        info.cbSize = sizeof(info);
        info.dwMask = TBIF_IMAGE;
        SendMessageW(toolbar.GetWindow(), TB_GETBUTTONINFOW, id, reinterpret_cast<LPARAM>(&info));
        return info.iImage;
    }
    RECT ButtonRect(int index) {
        RECT r{};
        SendMessageW(toolbar.GetWindow(), TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&r));
        return r;
    }

    frametest::RecordingParent parent;
    CWndToolbar toolbar;
};

}  // namespace

TEST_F(WndToolbarTest, FiveButtonsStartDisabledAndFollowEnableButton) {
    HWND tb = toolbar.GetWindow();
    EXPECT_EQ(GetDlgCtrlID(tb), IDC_TOOLBAR);
    EXPECT_EQ(CSubclass::OwnerOf<CWndToolbar>(tb), &toolbar);
    ASSERT_EQ(SendMessageW(tb, TB_BUTTONCOUNT, 0, 0), 5);
    for (int i = 0; i < 5; ++i) {
        TBBUTTON button{};
        SendMessageW(tb, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        EXPECT_EQ(static_cast<UINT>(button.idCommand), kButtonIds[i]);
        EXPECT_FALSE(toolbar.IsButtonEnabled(kButtonIds[i]));
    }

    toolbar.EnableButton(ID_NEXT, true);
    EXPECT_TRUE(toolbar.IsButtonEnabled(ID_NEXT));
    EXPECT_FALSE(toolbar.IsButtonEnabled(ID_PREVIOUS));
    toolbar.EnableButton(ID_NEXT, true);  // already so: nothing changes
    EXPECT_TRUE(toolbar.IsButtonEnabled(ID_NEXT));
    toolbar.EnableButton(ID_NEXT, false);
    EXPECT_FALSE(toolbar.IsButtonEnabled(ID_NEXT));
    EXPECT_FALSE(toolbar.IsButtonEnabled(ID_RANDOM_OFF));  // not a button
}

TEST_F(WndToolbarTest, PlayButtonShowsThePauseImageAndTipWhilePlaying) {
    EXPECT_EQ(ImageOf(ID_PLAY), SYMBOL_PLAY);
    EXPECT_EQ(Tip(ID_PLAY), L"Play");
    toolbar.SetPlayImage(1);
    EXPECT_EQ(toolbar.GetPlayImage(), 1);
    EXPECT_EQ(ImageOf(ID_PLAY), SYMBOL_PAUSE);
    EXPECT_EQ(Tip(ID_PLAY), L"Pause");
    toolbar.SetPlayImage(0);
    EXPECT_EQ(ImageOf(ID_PLAY), SYMBOL_PLAY);
    EXPECT_EQ(Tip(ID_PLAY), L"Play");

    EXPECT_EQ(Tip(ID_STOP), L"Stop");
    EXPECT_EQ(Tip(ID_PREVIOUS), L"Previous track");
    EXPECT_EQ(Tip(ID_NEXT), L"Next track");
    EXPECT_EQ(Tip(ID_ADD_FAVOURITES), L"Add to favourites");
    EXPECT_EQ(ImageOf(ID_ADD_FAVOURITES), SYMBOL_FAVOURITE);
}

TEST_F(WndToolbarTest, ImagesAre24PixelsInBothStatesAndTheToolbarIsFiveButtonsWide) {
    HWND tb = toolbar.GetWindow();
    for (UINT msg : {TB_GETIMAGELIST, TB_GETDISABLEDIMAGELIST}) {
        auto list = reinterpret_cast<HIMAGELIST>(SendMessageW(tb, msg, 0, 0));
        ASSERT_TRUE(list);
        EXPECT_EQ(ImageList_GetImageCount(list), 6);
        int cx = 0, cy = 0;
        ImageList_GetIconSize(list, &cx, &cy);
        EXPECT_EQ(cx, 24);
        EXPECT_EQ(cy, 24);
    }
    RECT button = ButtonRect(0);
    EXPECT_GE(button.right - button.left, 24);
    RECT r{};
    GetWindowRect(tb, &r);
    EXPECT_EQ(r.right - r.left, 5 * (button.right - button.left));
}

TEST_F(WndToolbarTest, AClickOnAnEnabledButtonSendsItsCommand) {
    HWND tb = toolbar.GetWindow();
    SetWindowPos(tb, nullptr, 0, 0, 200, 40, SWP_NOMOVE | SWP_NOZORDER);
    RECT stop = ButtonRect(1);
    LPARAM at = MAKELPARAM((stop.left + stop.right) / 2, (stop.top + stop.bottom) / 2);

    SendMessageW(tb, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(tb, WM_LBUTTONUP, 0, at);
    EXPECT_TRUE(parent.Received().empty());  // disabled

    toolbar.EnableButton(ID_STOP, true);
    SendMessageW(tb, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(tb, WM_LBUTTONUP, 0, at);
    ASSERT_EQ(parent.Received().size(), 1u);
    EXPECT_EQ(parent.Received()[0].msg, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(LOWORD(parent.Received()[0].wp), ID_STOP);
}
