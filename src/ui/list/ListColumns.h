#pragma once
// The song list's eleven song columns (header and menu texts, alignment) and the texts of
// their cells. Pure functions of a song record, so that they are cheap to test.

#include <cstdint>
#include <string>

class CSong;

// Column ids: the subitem number a column carries. 0 is the hidden first column, which holds
// the file name as the row's item text; 1 to 11 are the song columns.
constexpr int kHiddenColumn = 0;
constexpr int kFirstSongColumn = 1;
constexpr int kLastSongColumn = 11;
constexpr int kDefaultColumnWidth = 100;

struct ListColumn {
    const wchar_t* header;  // what the column's header shows
    const wchar_t* menu;    // its item in the header's context menu
    int format;             // LVCFMT_LEFT, LVCFMT_RIGHT or LVCFMT_CENTER
};

// The column with that id (1 to 11), or null.
const ListColumn* ColumnInfo(int id);

// "%.2f Kb" of the size in kilobytes, computed in single precision: 1536 -> "1.50 Kb".
std::wstring FormatSize(int32_t bytes);
// "m:ss", or "h:mm:ss" from an hour up, of the whole seconds: 65.0 -> "1:05".
std::wstring FormatDuration(float seconds);
// "%.2f dB" of a linear level; "" for no level (0, or a value that has no decibels).
std::wstring FormatLevel(float level);
// The count in decimal; "" for 0.
std::wstring FormatCount(int32_t count);

// The cell of column `id` for `song`. Text columns point into the song record itself (the
// whole text, however long); the others are formatted into `buffer`. Null means the cell
// stays empty (an unknown type, a zero count, no level, an id without a column).
const wchar_t* CellText(const CSong& song, int id, std::wstring& buffer);
