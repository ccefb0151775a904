#include "app/TaskbarButtons.h"

#include "app/Ids.h"

#include <cwchar>
#include <iterator>

namespace {

constexpr const wchar_t* kTipPrevious = L"Previous track";
constexpr const wchar_t* kTipPlay = L"Play";
constexpr const wchar_t* kTipPause = L"Pause";
constexpr const wchar_t* kTipNext = L"Next track";

void SetButton(THUMBBUTTON& b, UINT id, int image, const wchar_t* tip, bool enabled) {
    b.dwMask = THB_BITMAP | THB_TOOLTIP | THB_FLAGS;
    b.iId = id;
    b.iBitmap = UINT(image);
    wcsncpy(b.szTip, tip, std::size(b.szTip) - 1);
    b.dwFlags = enabled ? THBF_ENABLED : THBF_DISABLED;
}

}  // namespace

CTaskbarButtons::~CTaskbarButtons() { Release(); }

UINT CTaskbarButtons::ButtonCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarButtonCreated");
    return message;
}

void CTaskbarButtons::Release() {
    if (list_) list_->Release();
    list_ = nullptr;
    if (comInitialised_) CoUninitialize();
    comInitialised_ = false;
}

bool CTaskbarButtons::Add(HWND window, HIMAGELIST images, int playImage, int pauseImage, int previousImage,
                          int nextImage) {
    // Explorer sends the message again when it restarts: the buttons are added anew.
    Release();
    window_ = window;
    playImage_ = playImage;
    pauseImage_ = pauseImage;
    previousImage_ = previousImage;
    nextImage_ = nextImage;
    HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    comInitialised_ = SUCCEEDED(init);
    ITaskbarList3* list = nullptr;
    if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&list))) || !list) {
        Release();
        return false;
    }
    list_ = list;
    THUMBBUTTON buttons[3] = {};
    SetButton(buttons[0], ID_PREVIOUS, previousImage_, kTipPrevious, false);
    SetButton(buttons[1], ID_PLAY, playImage_, kTipPlay, false);
    SetButton(buttons[2], ID_NEXT, nextImage_, kTipNext, false);
    if (FAILED(list_->HrInit()) || FAILED(list_->ThumbBarSetImageList(window_, images)) ||
        FAILED(list_->ThumbBarAddButtons(window_, UINT(std::size(buttons)), buttons))) {
        Release();
        return false;
    }
    return true;
}

void CTaskbarButtons::Update(bool pauseImage, bool play, bool previous, bool next) {
    if (!list_) return;
    THUMBBUTTON buttons[3] = {};
    SetButton(buttons[0], ID_PREVIOUS, previousImage_, kTipPrevious, previous);
    SetButton(buttons[1], ID_PLAY, pauseImage ? pauseImage_ : playImage_, pauseImage ? kTipPause : kTipPlay, play);
    SetButton(buttons[2], ID_NEXT, nextImage_, kTipNext, next);
    list_->ThumbBarUpdateButtons(window_, UINT(std::size(buttons)), buttons);
}
