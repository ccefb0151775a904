#pragma once
// A small owner for Win32 handles: closes the handle when it goes out of scope.

#include <windows.h>
#include <commctrl.h>

#include <utility>

template <typename H, auto Close, H Invalid = H{}>
class Handle {
public:
    Handle() = default;
    explicit Handle(H h) : h_(h) {}
    Handle(Handle&& o) noexcept : h_(std::exchange(o.h_, Invalid)) {}
    Handle& operator=(Handle&& o) noexcept { reset(std::exchange(o.h_, Invalid)); return *this; }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { reset(); }
    void reset(H h = Invalid) { if (h_ != Invalid) Close(h_); h_ = h; }
    H release() { return std::exchange(h_, Invalid); }
    H get() const { return h_; }
    // For out-parameters of creating calls: closes what is held and yields the slot.
    H* put() { reset(); return &h_; }
    explicit operator bool() const { return h_ != Invalid; }
private:
    H h_ = Invalid;
};

using EventHandle = Handle<HANDLE, &CloseHandle>;
// CreateFileW fails with INVALID_HANDLE_VALUE, not null: its result is held as
// FileHandle(OpenedFile(CreateFileW(...))).
using FileHandle = Handle<HANDLE, &CloseHandle>;
inline HANDLE OpenedFile(HANDLE h) { return h == INVALID_HANDLE_VALUE ? nullptr : h; }
using ThreadHandle = Handle<HANDLE, &CloseHandle>;
using KeyHandle = Handle<HKEY, &RegCloseKey>;
using FontHandle = Handle<HFONT, &DeleteObject>;
using MenuHandle = Handle<HMENU, &DestroyMenu>;
using AcceleratorHandle = Handle<HACCEL, &DestroyAcceleratorTable>;
using ModuleHandle = Handle<HMODULE, &FreeLibrary>;
using BitmapHandle = Handle<HBITMAP, &DeleteObject>;
using BrushHandle = Handle<HBRUSH, &DeleteObject>;
using ImageListHandle = Handle<HIMAGELIST, &ImageList_Destroy>;
using IconHandle = Handle<HICON, &DestroyIcon>;
using FindFileHandle = Handle<HANDLE, &FindClose>;

// Calls that report failure as INVALID_HANDLE_VALUE (FindFirstFileW, CreateFileW) give their
// holder null instead, the one value a holder treats as empty.
inline HANDLE NullIfInvalid(HANDLE h) { return h == INVALID_HANDLE_VALUE ? nullptr : h; }
