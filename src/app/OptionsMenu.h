#pragma once
// The playback options at the top of the system menu, repeated at the top of the tray menu:
// output device and rate, cache size, volume adjustment, surround, click removal,
// interpolation, fading of looped songs and random play, with check marks that follow the
// settings.

#include <windows.h>

#include <functional>
#include <string>

struct Settings;

// Position of each option item in the menu it is inserted into.
enum OptionPosition {
    kOptionAbout = 0,
    kOptionDevice = 2,
    kOptionRate = 3,
    kOptionCache = 4,
    kOptionVolumeAdjust = 5,
    kOptionSurround = 6,
    kOptionClickRemoval = 7,
    kOptionInterpolation = 8,
    kOptionFade = 9,
    kOptionRandom = 11,
    kOptionCount = 13,  // items inserted, separators included
};

// Levels offered for "Scale to -N dB RMS".
constexpr int kMenuRmsLowest = 15;
constexpr int kMenuRmsHighest = 30;
// Device items the command ids 520..999 can address.
constexpr int kMaxMenuDevices = 480;

class COptionsMenu {
public:
    // Gives the text of item `index` of a list, or false past its end.
    using NameSource = std::function<bool(int index, std::wstring& text)>;

    // The device and rate names come from the playback engine, which knows the devices;
    // without it the defaults below stand in. The settings are read at every check update.
    COptionsMenu(const Settings* settings, NameSource deviceName, NameSource rateName);
    virtual ~COptionsMenu();
    COptionsMenu(const COptionsMenu&) = delete;
    COptionsMenu& operator=(const COptionsMenu&) = delete;

    // Inserts the option items at positions 0 to 12 of menu, ahead of what it holds, and sets
    // their check marks. A submenu that cannot be made leaves a greyed item in its place, so
    // that the positions of the others hold.
    void InsertOptions(HMENU menu) const;

    // Sets every check mark of the options in menu from the settings.
    void UpdateOptionChecks(HMENU menu) const;

    // "Default device" for index 0 and nothing else: the list when no engine tells more.
    static bool DefaultDeviceName(int index, std::wstring& text);
    // "22050 Hz" ... "96000 Hz" for the output rates.
    static bool DefaultRateName(int index, std::wstring& text);
    // "100 Mb", ..., "1 Gb".
    static std::wstring CacheSizeName(DWORD megabytes);

private:
    HMENU MakeListMenu(const NameSource& source, UINT firstId, int limit) const;
    HMENU MakeCacheMenu() const;
    HMENU MakeVolumeAdjustMenu() const;

    const Settings* settings_;
    NameSource deviceName_;
    NameSource rateName_;
};
