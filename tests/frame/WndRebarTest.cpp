#include "FrameTestSupport.h"
#include "TestSupport.h"

#include "app/Ids.h"
#include "ui/frame/WndRebar.h"
#include "ui/frame/WndToolbar.h"
#include "ui/frame/WndTrackbar.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

namespace {

// The frame of the main window's top, built in the main window's order.
class WndRebarTest : public ::testing::Test {
protected:
    void SetUp() override {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        ASSERT_TRUE(rebar.Create(instance, parent.Handle()));
        HWND r = rebar.GetWindow();
        ASSERT_TRUE(position.Create(instance, r, TRACKBAR_POSITION));
        ASSERT_TRUE(volume.Create(instance, r, TRACKBAR_VOLUME));
        ASSERT_TRUE(pan.Create(instance, r, TRACKBAR_PAN));
        ASSERT_TRUE(toolbar.Create(instance, r));
        ASSERT_TRUE(rebar.AddBand(position.GetWindow(), nullptr));
        ASSERT_TRUE(rebar.AddBand(toolbar.GetWindow(), nullptr));
        ASSERT_TRUE(rebar.AddBand(pan.GetWindow(), L"Pan"));
        ASSERT_TRUE(rebar.AddBand(volume.GetWindow(), L"Vol"));
        RECT client{};
        GetClientRect(parent.Handle(), &client);
        SendMessageW(r, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
        th::PumpFor(20);
        parent.Clear();
    }
    static RECT RectIn(HWND window, HWND parentWindow) {
        RECT r{};
        GetWindowRect(window, &r);
        MapWindowPoints(nullptr, parentWindow, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    frametest::RecordingParent parent;
    CWndRebar rebar;
    CWndTrackbar position, volume, pan;
    CWndToolbar toolbar;
};

}  // namespace

TEST_F(WndRebarTest, FourBandsInOrderWithTheirLabels) {
    HWND r = rebar.GetWindow();
    EXPECT_EQ(GetDlgCtrlID(r), IDC_REBAR);
    ASSERT_EQ(SendMessageW(r, RB_GETBANDCOUNT, 0, 0), 4);
    const HWND children[] = {position.GetWindow(), toolbar.GetWindow(), pan.GetWindow(),
                             volume.GetWindow()};
    const wchar_t* labels[] = {L"", L"", L"Pan", L"Vol"};
    for (int i = 0; i < 4; ++i) {
        wchar_t text[16] = {};
        REBARBANDINFOW band{};
        band.cbSize = sizeof(band);
        band.fMask = RBBIM_CHILD | RBBIM_TEXT | RBBIM_STYLE | RBBIM_CHILDSIZE;
        band.lpText = text;
        band.cch = 16;
        ASSERT_TRUE(SendMessageW(r, RB_GETBANDINFOW, i, reinterpret_cast<LPARAM>(&band)));
        EXPECT_EQ(band.hwndChild, children[i]) << "band " << i;
        EXPECT_STREQ(text, labels[i]);
        EXPECT_TRUE(band.fStyle & RBBS_FIXEDSIZE);
        EXPECT_TRUE(band.fStyle & RBBS_CHILDEDGE);
    }
}

TEST_F(WndRebarTest, BandsShowTheirControlsWholeAndSideBySide) {
    HWND r = rebar.GetWindow();
    RECT bar = RectIn(r, parent.Handle());
    EXPECT_EQ(bar.top, 0);
    const HWND children[] = {position.GetWindow(), toolbar.GetWindow(), pan.GetWindow(),
                             volume.GetWindow()};
    int lastRight = -1;
    for (HWND child : children) {
        RECT c = RectIn(child, r);
        EXPECT_GE(c.top, 0);
        EXPECT_LE(c.bottom, bar.bottom - bar.top);
        EXPECT_GE(c.left, lastRight) << "bands overlap";
        lastRight = c.right;
    }
    // The trackbars keep at least their size; the toolbar is as high as its buttons need.
    for (HWND child : {position.GetWindow(), pan.GetWindow(), volume.GetWindow()}) {
        RECT p = RectIn(child, r);
        EXPECT_GE(p.right - p.left, 127);
        EXPECT_EQ(p.bottom - p.top, 26);
    }
    RECT button{};
    SendMessageW(toolbar.GetWindow(), TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button));
    RECT t = RectIn(toolbar.GetWindow(), r);
    EXPECT_GE(t.bottom - t.top, button.bottom);
}

TEST_F(WndRebarTest, CommandsGoOnWithoutAControlAndScrollsWithoutTheirEnd) {
    HWND r = rebar.GetWindow();
    SendMessageW(r, WM_COMMAND, MAKEWPARAM(ID_NEXT, BN_CLICKED),
                 reinterpret_cast<LPARAM>(toolbar.GetWindow()));
    ASSERT_EQ(parent.Received().size(), 1u);
    EXPECT_EQ(parent.Received()[0].msg, static_cast<UINT>(WM_COMMAND));
    EXPECT_EQ(parent.Received()[0].wp, static_cast<WPARAM>(ID_NEXT));
    EXPECT_EQ(parent.Received()[0].lp, 0);

    parent.Clear();
    const LPARAM from = reinterpret_cast<LPARAM>(volume.GetWindow());
    for (WORD code : {TB_LINEUP, TB_PAGEDOWN, TB_THUMBTRACK, TB_THUMBPOSITION, TB_ENDTRACK, TB_TOP})
        SendMessageW(r, WM_HSCROLL, MAKEWPARAM(code, 40), from);
    ASSERT_EQ(parent.Received().size(), 5u);
    for (const auto& m : parent.Received()) {
        EXPECT_EQ(m.msg, static_cast<UINT>(WM_HSCROLL));
        EXPECT_NE(LOWORD(m.wp), TB_ENDTRACK);
        EXPECT_EQ(m.lp, from);
    }
    EXPECT_EQ(parent.Received()[3].wp, MAKEWPARAM(TB_THUMBPOSITION, 40));
}

TEST_F(WndRebarTest, ARealDragReachesTheParentWithoutItsEnd) {
    HWND v = volume.GetWindow();
    RECT thumb{};
    SendMessageW(v, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    int x = (thumb.left + thumb.right) / 2, y = (thumb.top + thumb.bottom) / 2;
    SendMessageW(v, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(v, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 30, y));
    SendMessageW(v, WM_LBUTTONUP, 0, MAKELPARAM(x + 30, y));
    ReleaseCapture();
    bool track = false, release = false;
    for (const auto& m : parent.Received()) {
        ASSERT_EQ(m.msg, static_cast<UINT>(WM_HSCROLL));
        EXPECT_NE(LOWORD(m.wp), TB_ENDTRACK);
        track |= LOWORD(m.wp) == TB_THUMBTRACK;
        release |= LOWORD(m.wp) == TB_THUMBPOSITION;
    }
    EXPECT_TRUE(track);
    EXPECT_TRUE(release);
}

TEST_F(WndRebarTest, AMinimisedParentDoesNotLayTheBandsOut) {
    HWND r = rebar.GetWindow();
    RECT before{};
    GetWindowRect(r, &before);
    parent.SetClientSize(700, 400);
    SendMessageW(r, WM_SIZE, SIZE_MINIMIZED, 0);
    RECT after{};
    GetWindowRect(r, &after);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    SendMessageW(r, WM_SIZE, SIZE_RESTORED, MAKELPARAM(700, 400));
    GetWindowRect(r, &after);
    EXPECT_EQ(after.right - after.left, 700);
}
