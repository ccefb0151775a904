#include "ui/list/ListColumns.h"

#include "library/Song.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Cell(const CSong& song, int id) {
    std::wstring buffer;
    const wchar_t* text = CellText(song, id, buffer);
    return text ? text : L"<unset>";
}

}  // namespace

TEST(ListColumns, SizesAreKilobytesWithTwoDecimals) {
    EXPECT_EQ(FormatSize(1023), L"1.00 Kb");
    EXPECT_EQ(FormatSize(1048576), L"1024.00 Kb");
    EXPECT_EQ(FormatSize(123456), L"120.56 Kb");
    EXPECT_EQ(FormatSize(1536), L"1.50 Kb");
    EXPECT_EQ(FormatSize(0), L"0.00 Kb");
}

TEST(ListColumns, DurationsCountWholeSecondsAndHoursFromAnHourUp) {
    EXPECT_EQ(FormatDuration(3600.0f), L"1:00:00");
    EXPECT_EQ(FormatDuration(3599.9f), L"59:59");
    EXPECT_EQ(FormatDuration(65.0f), L"1:05");
    EXPECT_EQ(FormatDuration(3725.9f), L"1:02:05");
    EXPECT_EQ(FormatDuration(0.0f), L"0:00");
    // A damaged catalogue's value shows as no time, not as a garbled negative one.
    EXPECT_EQ(FormatDuration(-5.0f), L"0:00");
    EXPECT_EQ(FormatDuration(std::stof("nan")), L"0:00");
}

TEST(ListColumns, LevelsAreDecibelsAndZeroIsEmpty) {
    EXPECT_EQ(FormatLevel(0.0f), L"");
    EXPECT_EQ(FormatLevel(0.25f), L"-12.04 dB");
    EXPECT_EQ(FormatLevel(1.0f), L"0.00 dB");
    EXPECT_EQ(FormatLevel(0.5f), L"-6.02 dB");
    EXPECT_EQ(FormatLevel(-0.5f), L"");
}

TEST(ListColumns, CellsOfEveryColumn) {
    CSong song;
    song.SetArtist(L"Ann");
    song.SetCoop(L"Bob");
    song.SetTitle(L"Tune");
    song.SetFile(L"a\\tune.xm");
    song.SetTool(L"FastTracker 2");
    song.size = 1536;
    song.channels = 8;
    song.instruments = 0;
    song.type = 3;
    song.end = song.length = 65.5f;
    song.peak = 0.5f;
    song.rms = 0.0f;
    EXPECT_EQ(Cell(song, 0), L"tune");
    EXPECT_EQ(Cell(song, 1), L"tune");
    EXPECT_EQ(Cell(song, 2), L"Ann & Bob");
    EXPECT_EQ(Cell(song, 3), L"Tune");
    EXPECT_EQ(Cell(song, 4), L"1.50 Kb");
    EXPECT_EQ(Cell(song, 5), L"8");
    EXPECT_EQ(Cell(song, 6), L"<unset>");  // no instruments: an empty cell
    EXPECT_EQ(Cell(song, 7), L"XM");
    EXPECT_EQ(Cell(song, 8), L"FastTracker 2");
    EXPECT_EQ(Cell(song, 10), L"-6.02 dB");
    EXPECT_EQ(Cell(song, 11), L"<unset>");
    EXPECT_EQ(Cell(song, 12), L"<unset>");
    song.type = 9;
    EXPECT_EQ(Cell(song, 7), L"<unset>");
    song.subsong = 2;  // the third song of the module's file
    EXPECT_EQ(Cell(song, 1), L"tune (3)");
}

// Artists, titles and file names are shown whole, however long.
TEST(ListColumns, LongTextsAreNotCut) {
    CSong song;
    const std::wstring artist = L"Alpha Centauri & Betelgeuse Orchestra & Cassiopeia Collective";
    const std::wstring title(80, L'x');
    song.SetArtist(artist);
    song.SetTitle(title);
    song.SetFile(L"folder\\" + std::wstring(70, L'f') + L".mod");
    EXPECT_EQ(Cell(song, 2), artist);
    EXPECT_EQ(Cell(song, 3), title);
    EXPECT_EQ(Cell(song, 1), std::wstring(70, L'f'));
}

TEST(ListColumns, TableHoldsHeadersMenusAndAlignment) {
    ASSERT_NE(ColumnInfo(5), nullptr);
    EXPECT_STREQ(ColumnInfo(5)->header, L"Chn");
    EXPECT_STREQ(ColumnInfo(5)->menu, L"Channels");
    EXPECT_STREQ(ColumnInfo(11)->header, L"RMS Level");
    EXPECT_EQ(ColumnInfo(0), nullptr);
    EXPECT_EQ(ColumnInfo(12), nullptr);
}
