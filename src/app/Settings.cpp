#include "app/Settings.h"

#include "base/Dpi.h"
#include "base/Handle.h"
#include "audio/Bass.h"

#include <cstring>
#include <cwchar>
#include <vector>

Settings settings;

namespace {

static_assert(sizeof(int) == 4 && sizeof(DWORD) == 4 && sizeof(COLORREF) == 4,
              "settings are stored as 32-bit registry values");

// The click removal, surround and interpolation bits of `flags` go to the audio back end as
// they are, so they must be its own module flags.
static_assert(FLAG_RAMP == BASS_MUSIC_RAMP && FLAG_RAMPS == BASS_MUSIC_RAMPS &&
                  FLAG_SURROUND == BASS_MUSIC_SURROUND && FLAG_SURROUND2 == BASS_MUSIC_SURROUND2 &&
                  FLAG_NONINTER == BASS_MUSIC_NONINTER && FLAG_SINCINTER == BASS_MUSIC_SINCINTER,
              "flags carries the module flags of the audio back end");
static_assert((FLAG_RAMP | FLAG_RAMPS | FLAG_SURROUND | FLAG_SURROUND2 | FLAG_NONINTER |
               FLAG_SINCINTER) == FLAG_MUSIC_MASK,
              "the music mask covers exactly the six module flags");

constexpr const wchar_t* kColumnSubkey = L"column";

struct NumericValue {
    const wchar_t* name;
    void* field;  // a 4-byte field of the record
};

// The numeric values in the order they are read and written.
std::vector<NumericValue> NumericValues(Settings& s) {
    return {
        {L"xpos", &s.xpos},         {L"ypos", &s.ypos},         {L"width", &s.width},
        {L"height", &s.height},     {L"maximize", &s.maximize}, {L"treesize", &s.treesize},
        {L"sort", &s.sort},         {L"desc", &s.desc},         {L"listtext", &s.listtext},
        {L"listback", &s.listback}, {L"listhigh", &s.listhigh}, {L"treetext", &s.treetext},
        {L"treeback", &s.treeback}, {L"treehigh", &s.treehigh}, {L"volume", &s.volume},
        {L"panning", &s.panning},   {L"flags", &s.flags},       {L"device", &s.device},
        {L"freq", &s.freq},         {L"random", &s.random},     {L"cache", &s.cache},
    };
}

std::wstring ColumnKeyPath(int layout) {
    wchar_t path[32];
    swprintf(path, 32, L"%ls\\%ls%d", kSettingsKey, kColumnSubkey, layout);
    return path;
}

// Reads exactly 4 bytes; a missing value or one of another size leaves the field alone.
void QueryNumber(HKEY key, const wchar_t* name, void* field) {
    BYTE value[4];
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key, name, nullptr, nullptr, value, &size) == ERROR_SUCCESS &&
        size == sizeof(value))
        std::memcpy(field, value, sizeof(value));
}

void WriteNumber(HKEY key, const wchar_t* name, const void* field) {
    RegSetValueExW(key, name, 0, REG_DWORD, static_cast<const BYTE*>(field), 4);
}

std::unique_ptr<LOGFONTW> QueryFont(HKEY key, const wchar_t* name) {
    auto font = std::make_unique<LOGFONTW>();
    DWORD size = sizeof(LOGFONTW);
    if (RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(font.get()),
                         &size) != ERROR_SUCCESS ||
        size != sizeof(LOGFONTW))
        return nullptr;
    // The face name comes from outside: make sure it is terminated wherever it is used.
    font->lfFaceName[LF_FACESIZE - 1] = L'\0';
    return font;
}

void WriteFont(HKEY key, const wchar_t* name, const std::unique_ptr<LOGFONTW>& font) {
    if (font)
        RegSetValueExW(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(font.get()),
                       sizeof(LOGFONTW));
    else
        RegDeleteValueW(key, name);
}

// The server's base URL from the REG_SZ value "server"; the default when missing or empty.
std::wstring QueryServer(HKEY key) {
    DWORD size = 0;
    if (RegGetValueW(key, nullptr, L"server", RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size < sizeof(wchar_t))
        return kDefaultServer;
    std::wstring url(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(url.size() * sizeof(wchar_t));
    if (RegGetValueW(key, nullptr, L"server", RRF_RT_REG_SZ, nullptr, url.data(), &size) !=
        ERROR_SUCCESS)
        return kDefaultServer;
    url.resize(wcslen(url.c_str()));
    if (url.empty()) return kDefaultServer;
    if (url.back() != L'/') url += L'/';
    return url;
}

void LoadColumns(Settings& s) {
    for (int i = 0; i < kColumnLayouts; ++i) {
        KeyHandle key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, ColumnKeyPath(i).c_str(), 0, KEY_QUERY_VALUE,
                          key.put()) != ERROR_SUCCESS)
            continue;
        for (int j = 0; j < kLayoutColumns; ++j) {
            wchar_t name[4];
            swprintf(name, 4, L"%d", j);
            DWORD value = 0;
            BYTE* bytes = reinterpret_cast<BYTE*>(&value);
            DWORD size = sizeof(value);
            if (RegQueryValueExW(key.get(), name, nullptr, nullptr, bytes, &size) != ERROR_SUCCESS ||
                size != sizeof(value))
                continue;
            s.columnWidths[i][j] = static_cast<int>(value >> 8);
            s.columnPositions[i][j] = static_cast<int>(value & 0xFF);
        }
    }
}

void SaveColumns(const Settings& s) {
    for (int i = 0; i < kColumnLayouts; ++i) {
        KeyHandle key;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, ColumnKeyPath(i).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS)
            continue;
        for (int j = 0; j < kLayoutColumns; ++j) {
            wchar_t name[4];
            swprintf(name, 4, L"%d", j);
            DWORD value = (static_cast<DWORD>(s.columnWidths[i][j]) << 8) +
                          (static_cast<DWORD>(s.columnPositions[i][j]) & 0xFF);
            RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                           sizeof(value));
        }
    }
}

// Values the settings store does not check elsewhere are kept in the ranges the menus and
// trackbars produce, so that a hand-edited registry cannot drive the engine out of range.
void ClampRanges(Settings& s) {
    if (s.volume > 100) s.volume = 100;
    if (s.panning < 0) s.panning = 0;
    if (s.panning > 100) s.panning = 100;
    if (s.random > 2) s.random = 0;
}

}  // namespace

void Settings::SetDefaults() {
    xpos = 0;
    ypos = 0;
    // The first window is as large on the screen at any scale.
    const int dpi = SystemDpi();
    width = ScaleForDpi(640, dpi);
    height = ScaleForDpi(480, dpi);
    maximize = 0;
    treesize = ScaleForDpi(240, dpi);
    sort = 0;
    desc = 0;
    listtext = treetext = GetSysColor(COLOR_WINDOWTEXT);
    listback = treeback = GetSysColor(COLOR_WINDOW);
    listhigh = treehigh = GetSysColor(COLOR_HIGHLIGHT);
    volume = 100;
    panning = 50;
    flags = FLAG_RAMPS;
    device = 0;
    freq = kDefaultFreq;
    random = 0;
    cache = kDefaultCache;
    treefont.reset();
    listfont.reset();
    for (int i = 0; i < kColumnLayouts; ++i)
        for (int j = 0; j < kLayoutColumns; ++j) columnPositions[i][j] = columnWidths[i][j] = 0;
    cacheLimit = kCacheSizes[kDefaultCache];
    server = kDefaultServer;
}

void ResetSettings() { settings.SetDefaults(); }

void SelectCacheSize() {
    if (settings.cache >= std::size(kCacheSizes)) settings.cache = kDefaultCache;
    settings.cacheLimit = kCacheSizes[settings.cache];
}

void LoadSettings() {
    Settings& s = settings;
    KeyHandle key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, key.put()) !=
        ERROR_SUCCESS)
        return;
    for (const NumericValue& v : NumericValues(s)) QueryNumber(key.get(), v.name, v.field);
    SelectCacheSize();
    ClampRanges(s);
    s.treefont = QueryFont(key.get(), L"treefont");
    s.listfont = QueryFont(key.get(), L"listfont");
    s.server = QueryServer(key.get());
    key.reset();
    LoadColumns(s);
}

bool SaveSettings() {
    Settings& s = settings;
    KeyHandle key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    for (const NumericValue& v : NumericValues(s)) WriteNumber(key.get(), v.name, v.field);
    WriteFont(key.get(), L"treefont", s.treefont);
    WriteFont(key.get(), L"listfont", s.listfont);
    key.reset();
    SaveColumns(s);
    return true;
}
