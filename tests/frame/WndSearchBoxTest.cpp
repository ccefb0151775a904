#include "ui/frame/WndSearchBox.h"

#include "app/Ids.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <vector>

namespace {

// The program's manifest asks for version 6 of the common controls, whose edit control draws
// cue texts; the test executables have no manifest, so the test makes the same request.
class CommonControls6 {
public:
    CommonControls6() {
        // The program's manifest as the build filled in its version.
        std::wstring manifest = th::BuildTreeFile(L"generated\\tunehaven.manifest");
        ACTCTXW context{};
        context.cbSize = sizeof(context);
        context.lpSource = manifest.c_str();
        context_ = CreateActCtxW(&context);
        if (context_ != INVALID_HANDLE_VALUE) ActivateActCtx(context_, &cookie_);
    }
    ~CommonControls6() {
        if (context_ == INVALID_HANDLE_VALUE) return;
        DeactivateActCtx(0, cookie_);
        ReleaseActCtx(context_);
    }
    bool Active() const { return context_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
};

// Stands in for the rebar and the main window at once: records every WM_COMMAND.
class Host {
public:
    Host() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SearchBoxHost";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                  400, 200, nullptr, nullptr, wc.hInstance, this);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Host() { DestroyWindow(window_); }
    HWND Window() const { return window_; }
    std::vector<WPARAM> commands;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* host = reinterpret_cast<Host*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_COMMAND && host) host->commands.push_back(wp);
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
    HWND window_ = nullptr;
};

class WndSearchBoxTest : public testing::Test {
protected:
    void Type(const wchar_t* text) {
        for (const wchar_t* c = text; *c; ++c) SendMessageW(box_.GetWindow(), WM_CHAR, *c, 1);
    }
    void Key(WPARAM key) {
        SendMessageW(box_.GetWindow(), WM_KEYDOWN, key, 1);
        SendMessageW(box_.GetWindow(), WM_CHAR, key, 1);  // what TranslateMessage adds
        SendMessageW(box_.GetWindow(), WM_KEYUP, key, 0xC0000001);
    }
    int Count(WPARAM command) const {
        return static_cast<int>(std::count(host_.commands.begin(), host_.commands.end(), command));
    }

    CommonControls6 controls6_;
    Host host_;
    CWndSearchBox box_{GetModuleHandleW(nullptr), host_.Window(), host_.Window()};
    const WPARAM changed_ = MAKEWPARAM(IDC_SEARCHBOX, EN_CHANGE);
};

}  // namespace

TEST_F(WndSearchBoxTest, IsAnEditBoxWithTheCueText) {
    HWND edit = box_.GetWindow();
    ASSERT_NE(nullptr, edit);
    EXPECT_EQ(IDC_SEARCHBOX, GetDlgCtrlID(edit));
    EXPECT_EQ(host_.Window(), GetParent(edit));
    RECT r{};
    GetWindowRect(edit, &r);
    EXPECT_GT(r.right - r.left, 100);
    EXPECT_GT(r.bottom - r.top, 12);
    ASSERT_TRUE(controls6_.Active());
    wchar_t cue[64] = {};
    ASSERT_TRUE(SendMessageW(edit, EM_GETCUEBANNER, reinterpret_cast<WPARAM>(cue), 64));
    EXPECT_STREQ(L"Find in library", cue);
}

TEST_F(WndSearchBoxTest, TypingReportsEachChangeToTheParent) {
    Type(L"neb");
    EXPECT_EQ(L"neb", box_.GetText());
    EXPECT_EQ(3, Count(changed_));
    EXPECT_EQ(0, Count(ID_FIND_NOW) + Count(ID_FIND_CLEAR));
}

TEST_F(WndSearchBoxTest, EscapeEmptiesTheBoxAndSaysSo) {
    Type(L"comet");
    host_.commands.clear();
    Key(VK_ESCAPE);
    EXPECT_EQ(L"", box_.GetText());
    EXPECT_EQ(1, Count(changed_));
    ASSERT_FALSE(host_.commands.empty());
    EXPECT_EQ(ID_FIND_CLEAR, host_.commands.back());  // after the change

    host_.commands.clear();
    Key(VK_ESCAPE);  // already empty: no change, the command still comes
    EXPECT_EQ(std::vector<WPARAM>{ID_FIND_CLEAR}, host_.commands);
}

TEST_F(WndSearchBoxTest, EnterAsksForTheSearchAtOnceAndKeepsTheText) {
    Type(L"karo");
    host_.commands.clear();
    Key(VK_RETURN);
    EXPECT_EQ(L"karo", box_.GetText());
    EXPECT_EQ(std::vector<WPARAM>{ID_FIND_NOW}, host_.commands);
}

TEST_F(WndSearchBoxTest, FocusSelectsTheTextSoThatTypingReplacesIt) {
    Type(L"old words");
    SetFocus(host_.Window());
    box_.Focus();
    EXPECT_EQ(box_.GetWindow(), GetFocus());
    Type(L"new");
    EXPECT_EQ(L"new", box_.GetText());
    box_.Clear();
    EXPECT_EQ(L"", box_.GetText());
}
