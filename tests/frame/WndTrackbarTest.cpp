#include "FrameTestSupport.h"
#include "TestSupport.h"

#include "app/Ids.h"
#include "ui/frame/WndTrackbar.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class WndTrackbarTest : public ::testing::Test {
protected:
    std::unique_ptr<CWndTrackbar> Make(int kind) {
        auto bar = std::make_unique<CWndTrackbar>();
        EXPECT_TRUE(bar->Create(GetModuleHandleW(nullptr), parent.Handle(), kind));
        return bar;
    }
    static int Get(const CWndTrackbar& bar, UINT msg) {
        return static_cast<int>(SendMessageW(bar.GetWindow(), msg, 0, 0));
    }
    // The text of the trackbar's tooltip control.
    static std::wstring ShownTip(const CWndTrackbar& bar) {
        HWND tip = reinterpret_cast<HWND>(SendMessageW(bar.GetWindow(), TBM_GETTOOLTIPS, 0, 0));
        wchar_t text[80] = {};
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        if (!SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool))) return L"?";
        tool.lpszText = text;
        SendMessageW(tip, TTM_GETTEXTW, std::size(text), reinterpret_cast<LPARAM>(&tool));
        return text;
    }

    frametest::RecordingParent parent;
};

}  // namespace

TEST_F(WndTrackbarTest, ThreeKindsWithTheirRangesAndStates) {
    auto position = Make(TRACKBAR_POSITION);
    auto volume = Make(TRACKBAR_VOLUME);
    auto pan = Make(TRACKBAR_PAN);
    EXPECT_EQ(position->GetSpan(), 2000);
    EXPECT_EQ(Get(*position, TBM_GETPAGESIZE), 200);
    EXPECT_FALSE(IsWindowEnabled(position->GetWindow()));
    for (auto* bar : {volume.get(), pan.get()}) {
        EXPECT_EQ(bar->GetSpan(), 100);
        EXPECT_EQ(Get(*bar, TBM_GETPAGESIZE), 10);
        EXPECT_TRUE(IsWindowEnabled(bar->GetWindow()));
        EXPECT_EQ(GetDlgCtrlID(bar->GetWindow()), IDC_TRACKBAR);
        RECT r{};
        GetWindowRect(bar->GetWindow(), &r);
        EXPECT_EQ(r.right - r.left, 127);
        EXPECT_EQ(r.bottom - r.top, 26);
    }
    volume->SetPosition(70);
    EXPECT_EQ(volume->GetPosition(), 70);
    EXPECT_STREQ(volume->FormatTip(), L"Volume: 70%");
    pan->SetPosition(30);
    EXPECT_STREQ(pan->FormatTip(), L"Pan separation: 30%");
}

TEST_F(WndTrackbarTest, PositionStandsForTheTimeWithinTheSong) {
    auto bar = Make(TRACKBAR_POSITION);
    bar->SetDuration(300.0f);
    EXPECT_TRUE(IsWindowEnabled(bar->GetWindow()));
    bar->SetPosition(1000);
    EXPECT_FLOAT_EQ(bar->GetSeconds(), 150.0f);
    EXPECT_STREQ(bar->FormatTip(), L"2:30");

    bar->SetSeconds(75.3f);
    EXPECT_EQ(bar->GetPosition(), 502);
    bar->SetSeconds(300.0f);
    EXPECT_EQ(bar->GetPosition(), 2000);

    // Minutes wrap at the hour: 61 min 6 s shows 1:06.
    bar->SetDuration(4000.0f);
    EXPECT_EQ(bar->GetPosition(), 0);
    bar->SetPosition(1833);
    EXPECT_STREQ(bar->FormatTip(), L"1:06");
}

TEST_F(WndTrackbarTest, NoSongDisablesThePositionAndEmptiesItsTip) {
    auto bar = Make(TRACKBAR_POSITION);
    bar->SetDuration(120.0f);
    bar->SetSeconds(60.0f);
    bar->SetDuration(0.0f);
    EXPECT_FALSE(IsWindowEnabled(bar->GetWindow()));
    EXPECT_EQ(bar->GetPosition(), 0);
    EXPECT_STREQ(bar->FormatTip(), L"");
    bar->SetSeconds(30.0f);
    EXPECT_EQ(bar->GetPosition(), 0);
    EXPECT_FLOAT_EQ(bar->GetSeconds(), 0.0f);
}

TEST_F(WndTrackbarTest, ANewSongPutsTheThumbBackEvenAfterTheUserMovedIt) {
    auto bar = Make(TRACKBAR_POSITION);
    bar->SetDuration(200.0f);
    // The user moves the thumb while nothing plays, not through SetSeconds.
    SendMessageW(bar->GetWindow(), TBM_SETPOS, TRUE, 700);
    ASSERT_EQ(bar->GetPosition(), 700);
    bar->SetDuration(180.0f);
    EXPECT_EQ(bar->GetPosition(), 0);
}

TEST_F(WndTrackbarTest, RightClickPutsVolumeAndPanInTheMiddleAndTellsTheParent) {
    auto volume = Make(TRACKBAR_VOLUME);
    auto pan = Make(TRACKBAR_PAN);
    auto position = Make(TRACKBAR_POSITION);
    volume->SetPosition(100);
    pan->SetPosition(80);
    parent.Clear();
    SendMessageW(volume->GetWindow(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(volume->GetPosition(), 50);
    EXPECT_EQ(pan->GetPosition(), 80);
    ASSERT_FALSE(parent.Received().empty());
    EXPECT_EQ(parent.Received()[0].msg, static_cast<UINT>(WM_HSCROLL));
    EXPECT_EQ(parent.Received()[0].wp, 0u);
    EXPECT_EQ(parent.Received()[0].lp, 0);

    SendMessageW(pan->GetWindow(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(pan->GetPosition(), 50);

    position->SetDuration(100.0f);
    position->SetSeconds(80.0f);
    parent.Clear();
    SendMessageW(position->GetWindow(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    EXPECT_EQ(position->GetPosition(), 1600);
    EXPECT_TRUE(parent.Received().empty());
}

TEST_F(WndTrackbarTest, DraggingTheThumbShowsTheTrackbarsOwnTip) {
    auto volume = Make(TRACKBAR_VOLUME);
    SetWindowPos(volume->GetWindow(), nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    volume->SetPosition(0);
    RECT thumb{};
    SendMessageW(volume->GetWindow(), TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&thumb));
    int x = (thumb.left + thumb.right) / 2, y = (thumb.top + thumb.bottom) / 2;
    SendMessageW(volume->GetWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(volume->GetWindow(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 40, y));
    UpdateWindow(volume->GetWindow());
    th::PumpFor(20);
    int shown = volume->GetPosition();
    EXPECT_GT(shown, 0);
    EXPECT_EQ(ShownTip(*volume), L"Volume: " + std::to_wstring(shown) + L"%");
    SendMessageW(volume->GetWindow(), WM_LBUTTONUP, 0, MAKELPARAM(x + 40, y));
    ReleaseCapture();

    // The tooltip control's own request for a text gets the same answer.
    NMTTDISPINFOW info{};
    info.hdr.code = TTN_GETDISPINFOW;
    SendMessageW(volume->GetWindow(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    ASSERT_TRUE(info.lpszText);
    EXPECT_EQ(std::wstring(info.lpszText), L"Volume: " + std::to_wstring(shown) + L"%");
}

TEST_F(WndTrackbarTest, CustomDrawFramesTheControlInTheButtonFaceColour) {
    auto volume = Make(TRACKBAR_VOLUME);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 127, 26);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all = {0, 0, 127, 26};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));

    NMCUSTOMDRAW draw{};
    draw.hdr.hwndFrom = volume->GetWindow();
    draw.hdr.idFrom = IDC_TRACKBAR;
    draw.hdr.code = NM_CUSTOMDRAW;
    draw.hdc = dc;
    draw.dwDrawStage = CDDS_PREPAINT;
    EXPECT_EQ(CWndTrackbar::CustomDraw(&draw), CDRF_NOTIFYPOSTPAINT);
    draw.dwDrawStage = CDDS_ITEMPREPAINT;
    EXPECT_EQ(CWndTrackbar::CustomDraw(&draw), 0);
    draw.dwDrawStage = CDDS_POSTPAINT;
    EXPECT_EQ(CWndTrackbar::CustomDraw(&draw), 0);

    COLORREF face = GetNearestColor(dc, GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(GetPixel(dc, 0, 0), face);
    EXPECT_EQ(GetPixel(dc, 126, 25), face);
    EXPECT_EQ(GetPixel(dc, 60, 0), face);
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 0, 0));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}
