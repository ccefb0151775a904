#include "FrameTestSupport.h"
#include "TestSupport.h"

#include "app/Ids.h"
#include "ui/frame/WndSplit.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Found by argument lookup from gtest's comparisons, so at the namespace of RECT.
static bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
[[maybe_unused]] static void PrintTo(const RECT& r, std::ostream* os) {
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

constexpr int kTopHeight = 30;
constexpr int kBottomHeight = 20;

// A parent with stand-ins for the rebar, the status bar, the tree and the song list.
class WndSplitTest : public ::testing::Test {
protected:
    void SetUp() override {
        top = Child(kTopHeight);
        bottom = Child(kBottomHeight);
        left = Child(0);
        right = Child(0);
    }
    HWND Child(int height) {
        return CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 10, height,
                               parent.Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    std::unique_ptr<CWndSplit> Make(int treesize, bool withChildren = true) {
        auto split = std::make_unique<CWndSplit>();
        EXPECT_TRUE(split->Create(GetModuleHandleW(nullptr), parent.Handle(), top, bottom,
                                  withChildren ? left : nullptr, withChildren ? right : nullptr,
                                  treesize));
        return split;
    }
    RECT RectInParent(HWND window) {
        RECT r{};
        GetWindowRect(window, &r);
        MapWindowPoints(nullptr, parent.Handle(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    void Resize(int width, int height) {
        parent.SetClientSize(width, height);
        split_->Layout();
    }

    frametest::RecordingParent parent{800, 500};
    HWND top = nullptr, bottom = nullptr, left = nullptr, right = nullptr;
    std::unique_ptr<CWndSplit> split_;
};

}  // namespace

TEST_F(WndSplitTest, TheTreePaneStartsAtItsStoredWidthOrHalfTheWindow) {
    const int bar = GetSystemMetrics(SM_CXDLGFRAME);
    EXPECT_EQ(Make(240)->GetLeftPaneWidth(), 240);
    EXPECT_EQ(Make(30)->GetLeftPaneWidth(), (800 - bar) / 2);
    EXPECT_EQ(Make(49)->GetLeftPaneWidth(), (800 - bar) / 2);
    EXPECT_EQ(Make(50)->GetLeftPaneWidth(), 50);
    EXPECT_EQ(Make(800 - bar - 50)->GetLeftPaneWidth(), 800 - bar - 50);
    EXPECT_EQ(Make(800 - bar - 49)->GetLeftPaneWidth(), (800 - bar) / 2);
}

TEST_F(WndSplitTest, PanesAndBarFillTheSpaceBetweenTopAndBottom) {
    split_ = Make(240);
    const int bar = split_->GetBarWidth();
    HWND leftPane = split_->GetLeftPane(), rightPane = split_->GetRightPane();
    EXPECT_EQ(GetParent(left), leftPane);
    EXPECT_EQ(GetParent(right), rightPane);
    EXPECT_EQ(GetDlgCtrlID(split_->GetBarWindow()), IDC_SPLITTER);
    wchar_t name[32] = {};
    GetClassNameW(split_->GetBarWindow(), name, 32);
    EXPECT_STREQ(name, L"SplitClass");

    for (int width : {800, 1000, 400}) {
        Resize(width, 500);
        EXPECT_EQ(RectInParent(leftPane), (RECT{0, kTopHeight, 240, 500 - kBottomHeight}));
        EXPECT_EQ(RectInParent(split_->GetBarWindow()),
                  (RECT{240, kTopHeight, 240 + bar, 500 - kBottomHeight}));
        EXPECT_EQ(RectInParent(rightPane),
                  (RECT{240 + bar, kTopHeight, width, 500 - kBottomHeight}));
        // The children fill their panes inside the sunken edge.
        RECT client{};
        GetClientRect(rightPane, &client);
        RECT child{};
        GetWindowRect(right, &child);
        EXPECT_EQ(child.right - child.left, client.right);
        EXPECT_EQ(child.bottom - child.top, client.bottom);
        EXPECT_TRUE(IsWindowVisible(leftPane));
        EXPECT_TRUE(IsWindowVisible(split_->GetBarWindow()));
    }
}

TEST_F(WndSplitTest, DraggingStopsFiftyPixelsFromEitherSide) {
    split_ = Make(240);
    const int bar = split_->GetBarWidth();
    split_->Drag(-1000);
    EXPECT_EQ(split_->GetLeftPaneWidth(), 50);
    split_->Drag(25);
    EXPECT_EQ(split_->GetLeftPaneWidth(), 75);
    split_->Drag(10000);
    EXPECT_EQ(split_->GetLeftPaneWidth(), 800 - bar - 50);
    EXPECT_EQ(RectInParent(split_->GetRightPane()).right -
                  RectInParent(split_->GetRightPane()).left, 50);
    split_->SetSplit(300);
    EXPECT_EQ(split_->GetLeftPaneWidth(), 300);
    // Resizing the window changes the right pane; once it would be narrower than the limit,
    // the tree gives way, down to its own minimum.
    Resize(400, 500);
    EXPECT_EQ(split_->GetLeftPaneWidth(), 300);
    Resize(320, 500);
    EXPECT_EQ(split_->GetLeftPaneWidth(), 320 - bar - 50);
    EXPECT_EQ(RectInParent(split_->GetRightPane()).right - RectInParent(split_->GetRightPane()).left, 50);
}

// Maximised, the bar dragged far right, restored: the song list is still on the window.
TEST_F(WndSplitTest, TheListStaysOnTheWindowAfterARestore) {
    split_ = Make(240);
    const int bar = split_->GetBarWidth();
    Resize(1100, 700);
    split_->Drag(10000);
    EXPECT_EQ(split_->GetLeftPaneWidth(), 1100 - bar - 50);
    Resize(700, 500);
    RECT list = RectInParent(split_->GetRightPane());
    EXPECT_EQ(list.right, 700);
    EXPECT_EQ(list.right - list.left, 50);
    EXPECT_EQ(split_->GetLeftPaneWidth(), 700 - bar - 50);
}

TEST_F(WndSplitTest, TheMouseDragsTheBar) {
    split_ = Make(240);
    HWND bar = split_->GetBarWindow();
    SendMessageW(bar, WM_MOUSEMOVE, 0, MAKELPARAM(1, 100));
    EXPECT_EQ(GetCapture(), bar);
    SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 100));
    SendMessageW(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(31, 100));
    EXPECT_EQ(split_->GetLeftPaneWidth(), 270);
    // The bar has moved with the pointer: the pointer is again 1 pixel into it.
    SendMessageW(bar, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-9, 100));
    EXPECT_EQ(split_->GetLeftPaneWidth(), 260);
    SendMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(-9, 100));
    EXPECT_EQ(GetCapture(), bar);  // until the pointer leaves the bar
    SendMessageW(bar, WM_MOUSEMOVE, 0, MAKELPARAM(40, 100));
    EXPECT_NE(GetCapture(), bar);
    EXPECT_EQ(split_->GetLeftPaneWidth(), 260);

    // Losing the capture in the middle of a drag ends it.
    SendMessageW(bar, WM_MOUSEMOVE, 0, MAKELPARAM(1, 100));
    SendMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 100));
    ReleaseCapture();
    SendMessageW(bar, WM_MOUSEMOVE, 0, MAKELPARAM(2, 100));
    EXPECT_EQ(split_->GetLeftPaneWidth(), 260);
    ReleaseCapture();
}

TEST_F(WndSplitTest, WorksWithoutChildrenAndWithoutTopOrBottom) {
    split_ = std::make_unique<CWndSplit>();
    ASSERT_TRUE(split_->Create(GetModuleHandleW(nullptr), parent.Handle(), nullptr, nullptr,
                               nullptr, nullptr, 240));
    Resize(600, 300);
    EXPECT_EQ(RectInParent(split_->GetLeftPane()), (RECT{0, 0, 240, 300}));
    EXPECT_EQ(RectInParent(split_->GetRightPane()).right, 600);
    split_->Drag(30);
    EXPECT_EQ(split_->GetLeftPaneWidth(), 270);
    // The bar stays a window of the main window after its object is gone, and ignores the
    // mouse then.
    HWND bar = split_->GetBarWindow();
    split_.reset();
    SendMessageW(bar, WM_MOUSEMOVE, 0, MAKELPARAM(1, 100));
    EXPECT_NE(GetCapture(), bar);
}
