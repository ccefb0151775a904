#include "ui/list/ListColumns.h"

#include "library/Song.h"

#include <windows.h>
#include <commctrl.h>

#include <climits>
#include <cmath>
#include <cwchar>
#include <iterator>

namespace {

const ListColumn kColumns[] = {
    {L"Filename", L"Filename", LVCFMT_LEFT},
    {L"Artist", L"Artist", LVCFMT_LEFT},
    {L"Title", L"Title", LVCFMT_LEFT},
    {L"Size", L"Size", LVCFMT_RIGHT},
    {L"Chn", L"Channels", LVCFMT_CENTER},
    {L"Inst", L"Instruments", LVCFMT_CENTER},
    {L"Type", L"Type", LVCFMT_CENTER},
    {L"Version", L"Version", LVCFMT_LEFT},
    {L"Duration", L"Duration", LVCFMT_RIGHT},
    {L"Peak Level", L"Peak Level", LVCFMT_RIGHT},
    {L"RMS Level", L"RMS Level", LVCFMT_RIGHT},
};
static_assert(std::size(kColumns) == kLastSongColumn);

// Numbers are short: 32 characters hold every value these formats can make.
constexpr size_t kNumberBuffer = 32;

std::wstring Format(const wchar_t* format, double value) {
    wchar_t text[kNumberBuffer];
    int n = swprintf(text, kNumberBuffer, format, value);
    return n > 0 ? std::wstring(text, static_cast<size_t>(n)) : std::wstring();
}

}  // namespace

const ListColumn* ColumnInfo(int id) {
    return id >= kFirstSongColumn && id <= kLastSongColumn ? &kColumns[id - 1] : nullptr;
}

std::wstring FormatSize(int32_t bytes) {
    const float kilobytes = static_cast<float>(static_cast<float>(bytes) / 1024.0);
    return Format(L"%.2f Kb", kilobytes);
}

std::wstring FormatDuration(float seconds) {
    // A damaged catalogue may hold "nan" or an absurd length; those show as no time rather
    // than as a garbled negative one.
    if (!(seconds >= 0.0f) || seconds >= static_cast<float>(INT_MAX)) seconds = 0.0f;
    const int s = static_cast<int>(seconds);
    wchar_t text[kNumberBuffer];
    if (seconds >= 3600.0f)
        swprintf(text, kNumberBuffer, L"%d:%.2d:%.2d", s / 3600, s / 60 % 60, s % 60);
    else
        swprintf(text, kNumberBuffer, L"%d:%.2d", s / 60, s % 60);
    return text;
}

std::wstring FormatLevel(float level) {
    // Only a positive level has decibels; 0 means the level was never measured.
    if (!(level > 0.0f)) return std::wstring();
    return Format(L"%.2f dB", 20.0 * std::log10(static_cast<double>(level)));
}

std::wstring FormatCount(int32_t count) {
    return count == 0 ? std::wstring() : std::to_wstring(count);
}

const wchar_t* CellText(const CSong& song, int id, std::wstring& buffer) {
    switch (id) {
    case kHiddenColumn:
    case 1:
        // The further songs of a module share its file; their number tells them apart.
        if (song.subsong <= 0) return song.FileName().data();
        buffer.assign(song.FileName());
        buffer += L" (" + std::to_wstring(song.subsong + 1) + L")";
        break;
    case 2: return song.DisplayArtist().data();
    case 3: return song.DisplayTitle().data();
    case 4: buffer = FormatSize(song.size); break;
    case 5: buffer = FormatCount(song.channels); break;
    case 6: buffer = FormatCount(song.instruments); break;
    case 7: return SongTypeName(song.type);
    case 8: return song.Tool().data();
    case 9: buffer = FormatDuration(song.PlayLength()); break;
    case 10: buffer = FormatLevel(song.peak); break;
    case 11: buffer = FormatLevel(song.rms); break;
    default: return nullptr;
    }
    return buffer.empty() ? nullptr : buffer.c_str();
}
