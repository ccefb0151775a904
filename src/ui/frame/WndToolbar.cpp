#include "ui/frame/WndToolbar.h"

#include "app/Ids.h"
#include "base/Dpi.h"
#include "ui/frame/ToolbarImages.h"

#include <commctrl.h>

#include <iterator>

namespace {

// Room around each 24-pixel face (at 96 DPI): with it the buttons and the three trackbars fit on one row
// of the rebar at the main window's smallest width.
constexpr int kButtonPaddingX = 4;
constexpr int kButtonPaddingY = 6;

constexpr const wchar_t* kTipPlay = L"Play";
constexpr const wchar_t* kTipPause = L"Pause";
constexpr const wchar_t* kTipStop = L"Stop";
constexpr const wchar_t* kTipPrevious = L"Previous track";
constexpr const wchar_t* kTipNext = L"Next track";
constexpr const wchar_t* kTipFavourites = L"Add to favourites";

struct Button {
    int image;
    UINT command;
};
constexpr Button kButtons[CWndToolbar::kButtonCount] = {
    {SYMBOL_PLAY, ID_PLAY},         {SYMBOL_STOP, ID_STOP}, {SYMBOL_PREVIOUS, ID_PREVIOUS},
    {SYMBOL_NEXT, ID_NEXT},         {SYMBOL_FAVOURITE, ID_ADD_FAVOURITES},
};

// One image list of the six symbols in one state. A list that cannot be made is null (the
// buttons then show no image of that kind); an image whose bitmap cannot be made is left out.
ImageListHandle MakeImageList(const std::vector<uint8_t>& block, int side, bool disabled) {
    ImageListHandle list(ImageList_Create(side, side, ILC_COLOR32, kToolbarSymbols, 0));
    if (!list) return list;
    for (int symbol = 0; symbol < kToolbarSymbols; ++symbol) {
        BitmapHandle bitmap(CreateBitmap(side, side, 1, 32, ToolbarImage(block, symbol, disabled, side)));
        if (bitmap) ImageList_Add(list.get(), bitmap.get(), nullptr);
    }
    return list;
}

}  // namespace

CWndToolbar::~CWndToolbar() {
    subclass_.Detach();
    // The control outlives this object until the main window goes: it must not paint with
    // image lists that are destroyed below.
    if (toolbarWindow_ && IsWindow(toolbarWindow_)) {
        SendMessageW(toolbarWindow_, TB_SETIMAGELIST, 0, 0);
        SendMessageW(toolbarWindow_, TB_SETDISABLEDIMAGELIST, 0, 0);
    }
}

bool CWndToolbar::Create(HINSTANCE instance, HWND parent) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    playImage_ = 0;
    toolbarWindow_ = CreateWindowExW(
        0, TOOLBARCLASSNAMEW, nullptr,
        WS_CHILD | WS_VISIBLE | TBSTYLE_TOOLTIPS | TBSTYLE_FLAT | CCS_NORESIZE |
            CCS_NOPARENTALIGN | CCS_NODIVIDER,
        0, 0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_TOOLBAR)), instance,
        nullptr);
    if (!toolbarWindow_) return false;
    SendMessageW(toolbarWindow_, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_HIDECLIPPEDBUTTONS);
    subclass_.Attach<CWndToolbar, &CWndToolbar::Proc>(toolbarWindow_, this);
    SendMessageW(toolbarWindow_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SetImages(WindowDpi(parent));
    // Disabled until the main window's first refresh says what can be done.
    AddButtons({});
    // The control puts a margin of its own around each image; other scales keep it.
    RECT button{};
    SendMessageW(toolbarWindow_, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button));
    buttonMargin_ = SIZE{button.right - button.left - imageSide_, button.bottom - button.top - imageSide_};
    FitWidth();
    return true;
}

void CWndToolbar::AddButtons(const std::array<BYTE, kButtonCount>& states) {
    TBBUTTON buttons[kButtonCount] = {};
    for (size_t i = 0; i < kButtonCount; ++i) {
        buttons[i].iBitmap = kButtons[i].image;
        buttons[i].idCommand = static_cast<int>(kButtons[i].command);
        buttons[i].fsState = states[i];
        buttons[i].fsStyle = BTNS_BUTTON;
    }
    if (playImage_) buttons[0].iBitmap = SYMBOL_PAUSE;
    SendMessageW(toolbarWindow_, TB_ADDBUTTONSW, kButtonCount, reinterpret_cast<LPARAM>(buttons));
}

// The control sizes its buttons for its images as the buttons are added: for images of another
// size the buttons are added again, each in the state it had.
void CWndToolbar::SetDpi(int dpi) {
    if (!toolbarWindow_) return;
    std::array<BYTE, kButtonCount> states{};
    for (size_t i = 0; i < kButtonCount; ++i) {
        states[i] = static_cast<BYTE>(SendMessageW(toolbarWindow_, TB_GETSTATE, kButtons[i].command, 0));
    }
    while (SendMessageW(toolbarWindow_, TB_DELETEBUTTON, 0, 0)) {
    }
    SetImages(dpi);
    // The control never makes its buttons smaller than it had them: they are sized as they were
    // made, around the new images.
    SendMessageW(toolbarWindow_, TB_SETBUTTONSIZE, 0,
                 MAKELPARAM(imageSide_ + buttonMargin_.cx, imageSide_ + buttonMargin_.cy));
    AddButtons(states);
    FitWidth();
}

void CWndToolbar::SetImages(int dpi) {
    const int side = ScaleForDpi(kToolbarImageSide, dpi);
    imageSide_ = side;
    const std::vector<uint8_t> images = DrawToolbarImages(side);
    ImageListHandle disabled = MakeImageList(images, side, true);
    ImageListHandle normal = MakeImageList(images, side, false);
    SendMessageW(toolbarWindow_, TB_SETBITMAPSIZE, 0, MAKELPARAM(side, side));
    SendMessageW(toolbarWindow_, TB_SETPADDING, 0,
                 MAKELPARAM(ScaleForDpi(kButtonPaddingX, dpi), ScaleForDpi(kButtonPaddingY, dpi)));
    SendMessageW(toolbarWindow_, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(disabled.get()));
    SendMessageW(toolbarWindow_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(normal.get()));
    disabledImages_ = std::move(disabled);
    normalImages_ = std::move(normal);
}

void CWndToolbar::FitWidth() {
    // Exactly as wide as its buttons; the rebar band gives it its height.
    RECT button{};
    SendMessageW(toolbarWindow_, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button));
    SetWindowPos(toolbarWindow_, nullptr, 0, 0,
                 static_cast<int>(kButtonCount) * (button.right - button.left), 0,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CWndToolbar::IsButtonEnabled(UINT commandId) const {
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_STATE;
    if (SendMessageW(toolbarWindow_, TB_GETBUTTONINFOW, commandId,
                     reinterpret_cast<LPARAM>(&info)) < 0)
        return false;
    return (info.fsState & TBSTATE_ENABLED) != 0;
}

void CWndToolbar::EnableButton(UINT commandId, bool enable) {
    if (IsButtonEnabled(commandId) == enable) return;
    TBBUTTONINFOW info{};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_STATE;
    info.fsState = enable ? TBSTATE_ENABLED : 0;
    SendMessageW(toolbarWindow_, TB_SETBUTTONINFOW, commandId, reinterpret_cast<LPARAM>(&info));
}

void CWndToolbar::SetPlayImage(int image) {
    if (image == playImage_) return;
    playImage_ = image;
    SendMessageW(toolbarWindow_, TB_CHANGEBITMAP, ID_PLAY,
                 MAKELPARAM(image ? SYMBOL_PAUSE : SYMBOL_PLAY, 0));
}

const wchar_t* CWndToolbar::TipText(UINT commandId) const {
    switch (commandId) {
    case ID_PLAY:           return playImage_ ? kTipPause : kTipPlay;
    case ID_STOP:           return kTipStop;
    case ID_PREVIOUS:       return kTipPrevious;
    case ID_NEXT:           return kTipNext;
    case ID_ADD_FAVOURITES: return kTipFavourites;
    }
    return nullptr;
}

LRESULT CWndToolbar::Proc(HWND, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_NOTIFY: return OnNotify(wp, lp);
    }
    return subclass_.CallOld(toolbarWindow_, msg, wp, lp);
}

// The buttons' tooltip control asks the toolbar for each text as it is about to show it.
LRESULT CWndToolbar::OnNotify(WPARAM wp, LPARAM lp) {
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(lp);
    if (info && info->hdr.code == TTN_GETDISPINFOW) {
        if (const wchar_t* text = TipText(static_cast<UINT>(info->hdr.idFrom))) {
            info->hinst = nullptr;
            info->lpszText = const_cast<wchar_t*>(text);
        }
    }
    return subclass_.CallOld(toolbarWindow_, WM_NOTIFY, wp, lp);
}
