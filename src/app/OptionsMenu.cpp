#include "app/OptionsMenu.h"

#include "base/EscapeAmpersands.h"
#include "app/Ids.h"
#include "app/Settings.h"

#include <cwchar>
#include <iterator>

namespace {

constexpr const wchar_t* kAboutText = L"About tunehaven";
constexpr const wchar_t* kDeviceText = L"Output device";
constexpr const wchar_t* kRateText = L"Output rate";
constexpr const wchar_t* kCacheText = L"Cache size";
constexpr const wchar_t* kVolumeAdjustText = L"Volume adjustment";
constexpr const wchar_t* kSurroundText = L"Surround sound";
constexpr const wchar_t* kClickRemovalText = L"Click removal";
constexpr const wchar_t* kInterpolationText = L"Interpolated mixing";
constexpr const wchar_t* kFadeText = L"Fade out looped songs";
constexpr const wchar_t* kRandomText = L"Random play";
constexpr const wchar_t* kDefaultDeviceText = L"Default device";
constexpr const wchar_t* kOffText = L"Off";
constexpr const wchar_t* kScalePeakText = L"Scale to peak";
constexpr const wchar_t* kScaleRmsFormat = L"Scale to -%d dB RMS";
constexpr const wchar_t* kHzUnit = L"Hz";
constexpr const wchar_t* kMbUnit = L"Mb";
constexpr const wchar_t* kGbUnit = L"Gb";

struct Choice {
    UINT id;
    const wchar_t* text;
};

constexpr Choice kSurroundChoices[] = {
    {ID_SURROUND_OFF, kOffText}, {ID_SURROUND_MODE1, L"Mode 1"}, {ID_SURROUND_MODE2, L"Mode 2"}};
constexpr Choice kClickRemovalChoices[] = {
    {ID_RAMP_OFF, kOffText}, {ID_RAMP_NORMAL, L"Normal"}, {ID_RAMP_SENSITIVE, L"Sensitive"}};
constexpr Choice kInterpolationChoices[] = {
    {ID_INTERP_OFF, kOffText}, {ID_INTERP_LINEAR, L"Linear"}, {ID_INTERP_SINC, L"Sinc"}};
constexpr Choice kRandomChoices[] = {{ID_RANDOM_OFF, kOffText},
                                     {ID_RANDOM_PLAYLIST, L"Current playlist"},
                                     {ID_RANDOM_LIBRARY, L"Entire library"}};

template <size_t N>
HMENU MakeChoiceMenu(const Choice (&choices)[N]) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return nullptr;
    for (const Choice& c : choices) AppendMenuW(menu, MF_STRING, c.id, c.text);
    return menu;
}

void InsertItem(HMENU menu, UINT position, UINT id, const wchar_t* text) {
    InsertMenuW(menu, position, MF_BYPOSITION | MF_STRING, id, text);
}

void InsertSeparator(HMENU menu, UINT position) {
    InsertMenuW(menu, position, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
}

// A submenu that could not be made still takes its place, greyed, so that the check marks
// find the others at their positions.
void InsertSubmenu(HMENU menu, UINT position, HMENU submenu, const wchar_t* text) {
    if (submenu) {
        if (!InsertMenuW(menu, position, MF_BYPOSITION | MF_POPUP | MF_STRING,
                         reinterpret_cast<UINT_PTR>(submenu), text))
            DestroyMenu(submenu);
        return;
    }
    InsertMenuW(menu, position, MF_BYPOSITION | MF_STRING | MF_GRAYED, 0, text);
}

void SetRadio(HMENU menu, UINT item, BOOL byPosition, bool checked) {
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE;
    info.fType = MFT_STRING | MFT_RADIOCHECK;
    info.fState = checked ? MFS_CHECKED : 0;
    SetMenuItemInfoW(menu, item, byPosition, &info);
}

// Marks item `selected` of a submenu whose items are addressed by position.
void CheckPosition(HMENU submenu, DWORD selected) {
    if (!submenu) return;
    const int count = GetMenuItemCount(submenu);
    for (int k = 0; k < count; ++k)
        SetRadio(submenu, static_cast<UINT>(k), TRUE, static_cast<DWORD>(k) == selected);
}

template <size_t N>
void CheckChoice(HMENU submenu, const Choice (&choices)[N], UINT selectedId) {
    if (!submenu) return;
    for (const Choice& c : choices) SetRadio(submenu, c.id, FALSE, c.id == selectedId);
}

UINT SelectedOf(DWORD flags, DWORD first, DWORD second, UINT neither, UINT firstId,
                UINT secondId) {
    if (flags & first) return firstId;
    if (flags & second) return secondId;
    return neither;
}

}  // namespace

COptionsMenu::COptionsMenu(const Settings* settings, NameSource deviceName, NameSource rateName)
    : settings_(settings),
      deviceName_(deviceName ? std::move(deviceName) : NameSource(&DefaultDeviceName)),
      rateName_(rateName ? std::move(rateName) : NameSource(&DefaultRateName)) {}

COptionsMenu::~COptionsMenu() = default;

bool COptionsMenu::DefaultDeviceName(int index, std::wstring& text) {
    if (index != 0) return false;
    text = kDefaultDeviceText;
    return true;
}

bool COptionsMenu::DefaultRateName(int index, std::wstring& text) {
    if (index < 0 || index >= static_cast<int>(std::size(kOutputRates))) return false;
    wchar_t buffer[32];
    swprintf(buffer, std::size(buffer), L"%d %ls", static_cast<int>(kOutputRates[index]), kHzUnit);
    text = buffer;
    return true;
}

std::wstring COptionsMenu::CacheSizeName(DWORD megabytes) {
    wchar_t buffer[32];
    if (megabytes >= 1024)
        swprintf(buffer, std::size(buffer), L"%d %ls", static_cast<int>(megabytes / 1024), kGbUnit);
    else
        swprintf(buffer, std::size(buffer), L"%d %ls", static_cast<int>(megabytes), kMbUnit);
    return buffer;
}

// Device names come from the system and may hold an ampersand ("Speakers & Headphones"),
// which a menu would take for a mnemonic.
HMENU COptionsMenu::MakeListMenu(const NameSource& source, UINT firstId, int limit) const {
    HMENU menu = CreatePopupMenu();
    if (!menu) return nullptr;
    std::wstring name;
    for (int i = 0; i < limit && source(i, name); ++i)
        AppendMenuW(menu, MF_STRING, firstId + i, EscapeAmpersands(name, false).c_str());
    return menu;
}

HMENU COptionsMenu::MakeCacheMenu() const {
    HMENU menu = CreatePopupMenu();
    if (!menu) return nullptr;
    for (size_t i = 0; i < std::size(kCacheSizes); ++i)
        AppendMenuW(menu, MF_STRING, ID_CACHE_FIRST + i, CacheSizeName(kCacheSizes[i]).c_str());
    return menu;
}

HMENU COptionsMenu::MakeVolumeAdjustMenu() const {
    HMENU menu = CreatePopupMenu();
    if (!menu) return nullptr;
    AppendMenuW(menu, MF_STRING, ID_VOLADJUST_OFF, kOffText);
    AppendMenuW(menu, MF_STRING, ID_VOLADJUST_PEAK, kScalePeakText);
    for (int n = kMenuRmsLowest; n <= kMenuRmsHighest; ++n) {
        wchar_t text[32];
        swprintf(text, std::size(text), kScaleRmsFormat, n);
        AppendMenuW(menu, MF_STRING, ID_RMS_FIRST + n, text);
    }
    return menu;
}

// Inserted by position from the top, so whatever the menu held (the system's own items)
// stays below the options.
void COptionsMenu::InsertOptions(HMENU menu) const {
    if (!menu) return;
    InsertItem(menu, kOptionAbout, ID_ABOUT, kAboutText);
    InsertSeparator(menu, 1);
    InsertSubmenu(menu, kOptionDevice, MakeListMenu(deviceName_, ID_DEVICE_FIRST, kMaxMenuDevices),
                  kDeviceText);
    InsertSubmenu(menu, kOptionRate,
                  MakeListMenu(rateName_, ID_RATE_FIRST, ID_RATE_LAST - ID_RATE_FIRST + 1),
                  kRateText);
    InsertSubmenu(menu, kOptionCache, MakeCacheMenu(), kCacheText);
    InsertSubmenu(menu, kOptionVolumeAdjust, MakeVolumeAdjustMenu(), kVolumeAdjustText);
    InsertSubmenu(menu, kOptionSurround, MakeChoiceMenu(kSurroundChoices), kSurroundText);
    InsertSubmenu(menu, kOptionClickRemoval, MakeChoiceMenu(kClickRemovalChoices),
                  kClickRemovalText);
    InsertSubmenu(menu, kOptionInterpolation, MakeChoiceMenu(kInterpolationChoices),
                  kInterpolationText);
    InsertItem(menu, kOptionFade, ID_FADE_LOOPED, kFadeText);
    InsertSeparator(menu, 10);
    InsertSubmenu(menu, kOptionRandom, MakeChoiceMenu(kRandomChoices), kRandomText);
    InsertSeparator(menu, 12);
    UpdateOptionChecks(menu);
}

void COptionsMenu::UpdateOptionChecks(HMENU menu) const {
    if (!menu) return;
    const DWORD flags = settings_->flags;
    CheckMenuItem(menu, ID_FADE_LOOPED,
                  MF_BYCOMMAND | ((flags & FLAG_FADE_LOOPED) ? MF_CHECKED : MF_UNCHECKED));

    CheckPosition(GetSubMenu(menu, kOptionDevice), settings_->device);
    CheckPosition(GetSubMenu(menu, kOptionRate), settings_->freq);
    CheckPosition(GetSubMenu(menu, kOptionCache), settings_->cache);

    if (HMENU adjust = GetSubMenu(menu, kOptionVolumeAdjust)) {
        const DWORD level = (flags & FLAG_RMS_MASK) >> FLAG_RMS_SHIFT;
        SetRadio(adjust, ID_VOLADJUST_OFF, FALSE, !(flags & (FLAG_SCALE_PEAK | FLAG_SCALE_RMS)));
        SetRadio(adjust, ID_VOLADJUST_PEAK, FALSE, (flags & FLAG_SCALE_PEAK) != 0);
        for (int n = kMenuRmsLowest; n <= kMenuRmsHighest; ++n)
            SetRadio(adjust, ID_RMS_FIRST + n, FALSE,
                     (flags & FLAG_SCALE_RMS) && level == static_cast<DWORD>(n));
    }

    CheckChoice(GetSubMenu(menu, kOptionSurround), kSurroundChoices,
                SelectedOf(flags, FLAG_SURROUND, FLAG_SURROUND2, ID_SURROUND_OFF,
                           ID_SURROUND_MODE1, ID_SURROUND_MODE2));
    CheckChoice(GetSubMenu(menu, kOptionClickRemoval), kClickRemovalChoices,
                SelectedOf(flags, FLAG_RAMP, FLAG_RAMPS, ID_RAMP_OFF, ID_RAMP_NORMAL,
                           ID_RAMP_SENSITIVE));
    CheckChoice(GetSubMenu(menu, kOptionInterpolation), kInterpolationChoices,
                SelectedOf(flags, FLAG_NONINTER, FLAG_SINCINTER, ID_INTERP_LINEAR, ID_INTERP_OFF,
                           ID_INTERP_SINC));
    CheckChoice(GetSubMenu(menu, kOptionRandom), kRandomChoices, ID_RANDOM_OFF + settings_->random);
}
