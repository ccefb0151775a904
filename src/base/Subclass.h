#pragma once
// Subclassing of a common control for its wrapper object, written once for every wrapper.
//
// Attach stores the wrapper's pointer in the control's GWLP_USERDATA (so that the main window
// and the wrapper's own code can find the object from the control's handle), swaps in a
// procedure that hands every message to the wrapper, and keeps the control's old procedure.
// The wrapper handles what it wants and passes the rest on with CallOld. Detach (and the
// destructor) put the old procedure back and clear the user data; a control that is already
// destroyed is left alone.
//
// One wrapper may subclass several controls (a list view and its header) with one CSubclass
// each: the hook itself is found through a table of the process, the wrapper through the user
// data.

#include <windows.h>

class CSubclass {
public:
    // A wrapper's message handler: LRESULT T::Method(HWND, UINT, WPARAM, LPARAM).
    template <class T, LRESULT (T::*Method)(HWND, UINT, WPARAM, LPARAM)>
    bool Attach(HWND control, T* owner) {
        return AttachHandler(control, owner, [](void* o, HWND h, UINT m, WPARAM w, LPARAM l) {
            return (static_cast<T*>(o)->*Method)(h, m, w, l);
        });
    }

    CSubclass() = default;
    virtual ~CSubclass() { Detach(); }
    CSubclass(const CSubclass&) = delete;
    CSubclass& operator=(const CSubclass&) = delete;

    void Detach();
    // The control's own procedure, for every message the wrapper does not consume.
    LRESULT CallOld(HWND control, UINT msg, WPARAM wp, LPARAM lp) const;
    HWND Control() const { return control_; }
    bool IsAttached() const { return oldProc_ != nullptr; }

    // The wrapper object stored in a control's user data (null for a control without one).
    template <class T>
    static T* OwnerOf(HWND control) {
        return control ? reinterpret_cast<T*>(GetWindowLongPtrW(control, GWLP_USERDATA)) : nullptr;
    }

private:
    using Handler = LRESULT (*)(void* owner, HWND, UINT, WPARAM, LPARAM);
    bool AttachHandler(HWND control, void* owner, Handler handler);
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

    HWND control_ = nullptr;
    void* owner_ = nullptr;
    Handler handler_ = nullptr;
    WNDPROC oldProc_ = nullptr;
};
