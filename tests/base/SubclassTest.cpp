#include "TestSupport.h"

#include "base/Subclass.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A wrapper around two plain static controls, counting what reaches it.
class CCounting {
public:
    explicit CCounting(HWND parent) {
        for (HWND& c : controls_)
            c = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, parent, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        first_.Attach<CCounting, &CCounting::Proc>(controls_[0], this);
        second_.Attach<CCounting, &CCounting::Proc>(controls_[1], this);
    }
    virtual ~CCounting() = default;

    LRESULT Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_APP + 1) {
            lastControl = hwnd;
            ++seen;
            return 42;
        }
        CSubclass& hook = hwnd == controls_[0] ? first_ : second_;
        return hook.CallOld(hwnd, msg, wp, lp);
    }

    HWND controls_[2] = {};
    CSubclass first_;
    CSubclass second_;
    HWND lastControl = nullptr;
    int seen = 0;
};

}  // namespace

TEST(Subclass, MessagesReachTheWrapperAndTheRestReachTheControl) {
    th::TestParentWindow parent;
    CCounting wrapper(parent.Handle());
    EXPECT_EQ(SendMessageW(wrapper.controls_[1], WM_APP + 1, 0, 0), 42);
    EXPECT_EQ(wrapper.lastControl, wrapper.controls_[1]);
    EXPECT_EQ(CSubclass::OwnerOf<CCounting>(wrapper.controls_[0]), &wrapper);
    EXPECT_EQ(CSubclass::OwnerOf<CCounting>(wrapper.controls_[1]), &wrapper);

    // Everything else is the control's own business.
    SetWindowTextW(wrapper.controls_[0], L"text");
    wchar_t text[16] = {};
    GetWindowTextW(wrapper.controls_[0], text, 16);
    EXPECT_STREQ(text, L"text");
}

TEST(Subclass, DetachRestoresTheControlsOwnProcedure) {
    th::TestParentWindow parent;
    CCounting wrapper(parent.Handle());
    LONG_PTR hooked = GetWindowLongPtrW(wrapper.controls_[0], GWLP_WNDPROC);
    wrapper.first_.Detach();
    EXPECT_NE(GetWindowLongPtrW(wrapper.controls_[0], GWLP_WNDPROC), hooked);
    EXPECT_EQ(CSubclass::OwnerOf<CCounting>(wrapper.controls_[0]), nullptr);
    EXPECT_EQ(SendMessageW(wrapper.controls_[0], WM_APP + 1, 0, 0), 0);
    EXPECT_EQ(wrapper.seen, 0);
    EXPECT_EQ(SendMessageW(wrapper.controls_[1], WM_APP + 1, 0, 0), 42);  // the other stays
}

TEST(Subclass, ControlDestroyedBeforeItsWrapperIsLetGo) {
    th::TestParentWindow parent;
    auto wrapper = std::make_unique<CCounting>(parent.Handle());
    DestroyWindow(wrapper->controls_[0]);
    EXPECT_FALSE(wrapper->first_.IsAttached());
    EXPECT_EQ(wrapper->first_.Control(), nullptr);
    wrapper.reset();  // detaches the second control, leaves the gone one alone
    SUCCEED();
}
