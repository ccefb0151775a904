#include "base/Subclass.h"

#include "base/Lock.h"

#include <unordered_map>

namespace {

// Every subclassed control of the process and its hook. The table is asked once per message
// of every wrapped control, so it lives in the process: a window property would cost a round
// trip to the window server for each message (about a tenth of a millisecond under Wine),
// which a list of thousands of rows pays many thousand times per fill.
struct HookTable {
    CLock lock;
    std::unordered_map<HWND, CSubclass*> hooks;  // guarded by lock
};

HookTable& Hooks() {
    static HookTable table;
    return table;
}

void AddHook(HWND control, CSubclass* hook) {
    HookTable& table = Hooks();
    CLockGuard guard(table.lock);
    table.hooks.insert_or_assign(control, hook);
}

void RemoveHook(HWND control, const CSubclass* hook) {
    HookTable& table = Hooks();
    CLockGuard guard(table.lock);
    auto it = table.hooks.find(control);
    if (it != table.hooks.end() && it->second == hook) table.hooks.erase(it);
}

CSubclass* FindHook(HWND control) {
    HookTable& table = Hooks();
    CLockGuard guard(table.lock);
    auto it = table.hooks.find(control);
    return it == table.hooks.end() ? nullptr : it->second;
}

}  // namespace

bool CSubclass::AttachHandler(HWND control, void* owner, Handler handler) {
    Detach();
    if (!control || !IsWindow(control)) return false;
    AddHook(control, this);
    control_ = control;
    owner_ = owner;
    handler_ = handler;
    SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    oldProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CSubclass::Proc)));
    if (!oldProc_) {
        RemoveHook(control, this);
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
    }
    if (control_) RemoveHook(control_, this);
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
    CSubclass* hook = FindHook(hwnd);
    if (!hook || !hook->handler_) return DefWindowProcW(hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) {
        // The control goes before its wrapper: hand the last message to the control's own
        // procedure and forget the control, so that the wrapper's Detach touches nothing.
        WNDPROC old = hook->oldProc_;
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
        RemoveHook(hwnd, hook);
        hook->control_ = nullptr;
        hook->oldProc_ = nullptr;
        return CallWindowProcW(old, hwnd, msg, wp, lp);
    }
    return hook->handler_(hook->owner_, hwnd, msg, wp, lp);
}
