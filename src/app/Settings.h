#pragma once
// The user's settings: one process-wide record, loaded from HKCU\Software\tunehaven once at
// start-up and written back once at shutdown. Owners of a setting keep a pointer to its field
// and read it live. The window thread alone writes them. Other threads read these, each a single
// aligned 32-bit value: the engine's output thread reads flags, volume, panning and random
// while it decodes and at each song change (its loader thread reads flags as it opens the next
// song), and the song cache's thread reads cacheLimit.

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

// Bits of Settings::flags. The program's own bits:
constexpr DWORD FLAG_SCALE_PEAK = 0x1;      // scale each song by 1 / its peak
constexpr DWORD FLAG_SCALE_RMS = 0x2;       // scale each song to -N dB RMS, N in bits 24..31
constexpr DWORD FLAG_FADE_LOOPED = 0x4;     // fade out songs that loop
constexpr DWORD FLAG_RMS_MASK = 0xFF000000; // N of the RMS scaling
constexpr int FLAG_RMS_SHIFT = 24;
// Bits that carry the audio back end's module flags of the same value and are passed to it
// unchanged: click removal, surround and interpolation.
constexpr DWORD FLAG_RAMP = 0x200;          // click removal "Normal"
constexpr DWORD FLAG_RAMPS = 0x400;         // click removal "Sensitive"
constexpr DWORD FLAG_SURROUND = 0x800;      // surround "Mode 1"
constexpr DWORD FLAG_SURROUND2 = 0x1000;    // surround "Mode 2"
constexpr DWORD FLAG_NONINTER = 0x10000;    // interpolated mixing "Off"
constexpr DWORD FLAG_SINCINTER = 0x800000;  // interpolated mixing "Sinc"
constexpr DWORD FLAG_MUSIC_MASK = 0x811E00; // all six of them

constexpr int kColumnLayouts = 3;  // 0 library lists, 1 favourites, 2 playlists
constexpr int kLayoutColumns = 11;

// Sizes in megabytes offered for the song cache, selected by Settings::cache.
constexpr DWORD kCacheSizes[] = {100, 250, 500, 1024};
constexpr DWORD kDefaultCache = 2;

// Output rates in Hz, selected by Settings::freq.
constexpr DWORD kOutputRates[] = {22050, 44100, 48000, 96000};
constexpr DWORD kDefaultFreq = 2;

// Registry key of the settings (below HKEY_CURRENT_USER) and the library server's default URL.
inline constexpr const wchar_t* kSettingsKey = L"Software\\tunehaven";
inline constexpr const wchar_t* kDefaultServer = L"http://127.0.0.1:8417/";

static_assert(sizeof(LOGFONTW) == 92, "fonts are stored as 92-byte LOGFONTW values");

struct Settings {
    Settings() { SetDefaults(); }
    // Puts every field at its default: colours from the system, no fonts, empty layouts.
    void SetDefaults();

    // Stored as REG_DWORD under the same names, in this order. Defaults in brackets.
    int xpos;            // main window's restored rectangle, screen pixels [0]
    int ypos;            // [0]
    int width;           // [640 at 96 DPI, scaled to the screen's]
    int height;          // [480 at 96 DPI, scaled]
    DWORD maximize;      // 1 if the window was maximised when the program closed [0]
    int treesize;        // width of the tree pane [240 at 96 DPI, scaled]
    int sort;            // sort column of the library lists, 0 = unsorted [0]
    DWORD desc;          // nonzero: that sort is descending [0]
    COLORREF listtext;   // song list colours [system window text, window, highlight]
    COLORREF listback;
    COLORREF listhigh;
    COLORREF treetext;   // tree colours [as the list's]
    COLORREF treeback;
    COLORREF treehigh;
    DWORD volume;        // percent, 0..100 [100]
    int panning;         // pan separation in percent, 0..100 [50]
    DWORD flags;         // FLAG_* bits [FLAG_RAMPS]
    DWORD device;        // output device index, 0 = default device [0]
    DWORD freq;          // index into kOutputRates [2: 48000 Hz]
    DWORD random;        // random play: 0 off, 1 current playlist, 2 entire library [0]
    DWORD cache;         // index into kCacheSizes [2: 500 MB]

    // Fonts of the tree and the song list; null = the control's default font. Stored as
    // REG_BINARY values of exactly sizeof(LOGFONTW) bytes.
    std::unique_ptr<LOGFONTW> treefont;
    std::unique_ptr<LOGFONTW> listfont;

    // Column layouts: for each layout and column, the 1-based display position (0 = not
    // shown) and the width in pixels (0 = default width). Stored in the subkeys column0 to
    // column2 as width * 256 + position.
    int columnPositions[kColumnLayouts][kLayoutColumns];
    int columnWidths[kColumnLayouts][kLayoutColumns];

    // The cache size in megabytes selected by `cache` (not stored). Read live by the song
    // cache's thread, hence atomic; written by the window thread only.
    std::atomic<DWORD> cacheLimit;

    // The library server's base URL, always ending in a slash. Read from the REG_SZ value
    // "server"; never written back, so it is only changed by editing the registry.
    std::wstring server;
};

// The one settings record of the program.
extern Settings settings;

// settings.SetDefaults(): every field back to its default.
void ResetSettings();

// Fills the record from the registry. Missing values, values of the wrong size and a missing
// key leave the defaults. Out-of-range volume, panning and random play are brought into range.
void LoadSettings();

// Writes the record to the registry (every number as REG_DWORD, the fonts or their absence,
// the three column layouts). Returns false if the settings key could not be opened.
bool SaveSettings();

// A `cache` of 4 or more becomes the default; then cacheLimit follows `cache`.
void SelectCacheSize();
