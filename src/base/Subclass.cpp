#include "base/Subclass.h"

namespace {

// The property that leads from a subclassed control to its hook.
constexpr const wchar_t* kHookProperty = L"tunehaven.subclass";

}  // namespace

bool CSubclass::AttachHandler(HWND control, void* owner, Handler handler) {
    Detach();
    if (!control || !IsWindow(control)) return false;
    if (!SetPropW(control, kHookProperty, this)) return false;
    control_ = control;
    owner_ = owner;
    handler_ = handler;
    SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    oldProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CSubclass::Proc)));
    if (!oldProc_) {
        RemovePropW(control, kHookProperty);
        SetWindowLongPtrW(control, GWLP_USERDATA, 0);
        control_ = nullptr;
        return false;
    }
    return true;
}

void CSubclass::Detach() {
    if (control_ && IsWindow(control_)) {
        if (oldProc_)
            SetWindowLongPtrW(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc_));
        SetWindowLongPtrW(control_, GWLP_USERDATA, 0);
        RemovePropW(control_, kHookProperty);
    }
    control_ = nullptr;
    owner_ = nullptr;
    handler_ = nullptr;
    oldProc_ = nullptr;
}

LRESULT CSubclass::CallOld(HWND control, UINT msg, WPARAM wp, LPARAM lp) const {
    if (!oldProc_) return DefWindowProcW(control, msg, wp, lp);
    return CallWindowProcW(oldProc_, control, msg, wp, lp);
}

LRESULT CALLBACK CSubclass::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* hook = static_cast<CSubclass*>(GetPropW(hwnd, kHookProperty));
    if (!hook || !hook->handler_) return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        // The control goes before its wrapper: hand the last message to the control's own
        // procedure and forget the control, so that the wrapper's Detach touches nothing.
        WNDPROC old = hook->oldProc_;
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        RemovePropW(hwnd, kHookProperty);
        hook->control_ = nullptr;
        hook->oldProc_ = nullptr;
        return CallWindowProcW(old, hwnd, msg, wp, lp);
    }
    return hook->handler_(hook->owner_, hwnd, msg, wp, lp);
}
