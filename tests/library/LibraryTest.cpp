#include "library/Library.h"

#include "TestSupport.h"
#include "XmlTestFiles.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cwchar>
#include <set>
#include <string>

namespace {

std::wstring Song(int id, const std::wstring& children = L"") {
    return L"\r\n<SONG>\r\n<ID>" + std::to_wstring(id) + L"</ID>" + children + L"\r\n</SONG>";
}

std::wstring Songs(std::initializer_list<int> ids) {
    std::wstring body;
    for (int id : ids) body += Song(id);
    return body;
}

// A catalogue file in a temporary folder.
class CatalogueFile {
public:
    explicit CatalogueFile(const std::wstring& body) : path_(dir_.File(L"Library.xml")) {
        Write(body);
    }
    void Write(const std::wstring& body) {
        th::WriteFileBytes(path_, th::XmlFile(L"\r\n<LIBRARY>" + body + L"\r\n</LIBRARY>"));
    }
    const std::wstring& Path() const { return path_; }

private:
    th::TempDir dir_;
    std::wstring path_;
};

}  // namespace

TEST(Library, ReadsRecordsHeaderAndTotals) {
    CatalogueFile file(
        L"\r\n<VERSION>42</VERSION>\r\n<date>1700000000123</date>\r\n<Count>3</Count>" +
        Song(1, L"<TITLE>Fish &amp; Chips</TITLE><ARTIST>Ann</ARTIST><COOP>Bob</COOP>"
                L"<TOOL>OpenMPT</TOOL><FILE>a\\one.xm</FILE><UPDATE>1700000000999</UPDATE>"
                L"<FLAGS>5</FLAGS><TYPE>3</TYPE><CHAN>8</CHAN><INST>12</INST><SIZE>3000000000</SIZE>"
                L"<LENGTH>100</LENGTH><START>1.2</START><END>90</END><PEAK>0.5</PEAK>"
                L"<RMS>0.25</RMS><RATING>9</RATING>") +
        Song(2, L"<size>100</size><length>10.5</length><end>10.5</end><type>1</type>"
                L"<file>b\\two.mod</file>") +
        Song(3, L"<SIZE>junk</SIZE><CHAN>99999999999</CHAN><TITLE></TITLE><FILE>c\\three.it</FILE>"));
    CLibrary library(file.Path());
    ASSERT_TRUE(library.Reload(0));
    ASSERT_EQ(3, library.GetCount());
    EXPECT_EQ(42, library.GetVersion(false));
    EXPECT_EQ(1700000000123LL, library.GetDate());

    const CSong* one = library.GetSong(1);
    ASSERT_NE(nullptr, one);
    EXPECT_EQ(1, one->id);
    EXPECT_EQ(L"Fish & Chips", one->DisplayTitle());
    EXPECT_EQ(L"Ann & Bob", one->DisplayArtist());
    EXPECT_EQ(L"OpenMPT", one->Tool());
    EXPECT_EQ(L"one", one->FileName());
    EXPECT_EQ(1700000000999LL, one->update);
    EXPECT_EQ(5, one->flags);
    EXPECT_TRUE(one->IsHidden());
    EXPECT_EQ(3, one->type);
    EXPECT_EQ(8, one->channels);
    EXPECT_EQ(12, one->instruments);
    EXPECT_EQ(INT_MAX, one->size);  // saturates as the standard conversion does
    EXPECT_FLOAT_EQ(0.5f, one->peak);
    EXPECT_FLOAT_EQ(0.25f, one->rms);

    const CSong* two = library.GetSong(2);
    ASSERT_NE(nullptr, two);
    EXPECT_EQ(L"ProTracker", two->Tool());
    EXPECT_EQ(L"two", two->DisplayTitle());
    EXPECT_TRUE(two->EndsInSound());

    const CSong* three = library.GetSong(3);
    ASSERT_NE(nullptr, three);
    EXPECT_EQ(0, three->size);
    EXPECT_EQ(INT_MAX, three->channels);
    EXPECT_EQ(L"three", three->DisplayTitle());  // an empty TITLE leaves the file name

    EXPECT_EQ(nullptr, library.GetSong(0));
    EXPECT_EQ(nullptr, library.GetSong(4));
    EXPECT_EQ(nullptr, library.GetSong(-1));
    EXPECT_EQ(static_cast<uint64_t>(INT_MAX) + 100, library.GetTotalSize());
    EXPECT_NEAR(91.0 + 10.5, library.GetTotalDuration(), 1e-3);
}

TEST(Library, OutOfSequenceIdStopsAndClearsVersion) {
    CatalogueFile file(L"<VERSION>7</VERSION>" + Songs({2, 3}));
    CLibrary library(file.Path());
    ASSERT_TRUE(library.Reload(0));
    EXPECT_EQ(0, library.GetCount());
    EXPECT_EQ(0, library.GetVersion(false));

    file.Write(L"<VERSION>7</VERSION>" + Songs({1, 2, 4, 5}));
    CLibrary gap(file.Path());
    ASSERT_TRUE(gap.Reload(0));
    EXPECT_EQ(2, gap.GetCount());
    EXPECT_EQ(0, gap.GetVersion(false));
    EXPECT_EQ(7, gap.GetVersion(true));  // the version check re-reads the file
    EXPECT_EQ(2, gap.GetCount());
}

TEST(Library, VersionOnlyReadLeavesTheSongsAlone) {
    CatalogueFile file(L"<VERSION>3</VERSION>" + Songs({1, 2}));
    CLibrary library(file.Path());
    ASSERT_TRUE(library.Reload(0));
    file.Write(L"<VERSION>4</VERSION>" + Songs({1}));
    EXPECT_EQ(4, library.GetVersion(true));
    EXPECT_EQ(4, library.GetVersion(true));  // a second check reads the same
    EXPECT_EQ(2, library.GetCount());

    // VERSION after the songs: the read goes over them without storing anything.
    file.Write(Song(1, L"<SIZE>10</SIZE>") + Song(2, L"<SIZE>10</SIZE>") + L"<VERSION>9</VERSION>");
    CLibrary late(file.Path());
    EXPECT_EQ(9, late.GetVersion(true));
    EXPECT_EQ(0, late.GetCount());
    EXPECT_EQ(0u, late.GetTotalSize());
    ASSERT_TRUE(late.Reload(0));
    EXPECT_EQ(2, late.GetCount());
    EXPECT_EQ(20u, late.GetTotalSize());
    EXPECT_EQ(9, late.GetVersion(false));
}

TEST(Library, MissingFileKeepsTheVersionInMemory) {
    CatalogueFile file(L"<VERSION>5</VERSION>" + Songs({1}));
    CLibrary library(file.Path());
    ASSERT_EQ(5, library.GetVersion(true));
    DeleteFileW(file.Path().c_str());
    EXPECT_EQ(5, library.GetVersion(true));
    EXPECT_FALSE(library.Reload(0));
    EXPECT_EQ(0, library.GetCount());

    CLibrary nowhere(L"");  // data folder unknown: nothing is read from the current folder
    EXPECT_EQ(0, nowhere.GetVersion(true));
    EXPECT_FALSE(nowhere.Reload(0));
}

TEST(Library, StepwiseReloadReplacesSongsAndTotals) {
    std::wstring body = L"<VERSION>1</VERSION><COUNT>500</COUNT>";
    for (int id = 1; id <= 500; ++id)
        body += Song(id, L"<SIZE>2</SIZE><LENGTH>10</LENGTH><END>10</END><ARTIST>A</ARTIST>");
    CatalogueFile file(body);
    CLibrary library(file.Path());
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(library.Reload(1000));
        int steps = 0;
        while (library.ParseStep()) {
            ++steps;
            EXPECT_LE(library.GetProgress(), 100);
        }
        EXPECT_GT(steps, 10);
        EXPECT_EQ(500, library.GetCount());
        EXPECT_EQ(1000u, library.GetTotalSize());
        EXPECT_NEAR(5000.0, library.GetTotalDuration(), 1e-2);
        EXPECT_EQ(500, library.GetSong(500)->id);
    }
}

TEST(Library, NumbersReadAsTheStandardConversionsDo) {
    CatalogueFile file(
        Song(1, L"<SIZE> +42x</SIZE><CHAN>-2147483649</CHAN><INST>-17</INST>"
                L"<UPDATE>99999999999999999999</UPDATE><FLAGS>\t7 8</FLAGS>"
                L"<LENGTH> 12.5s</LENGTH><START>1e2</START><END>-3.25</END><PEAK>.75</PEAK>"
                L"<RMS>abc</RMS>") +
        Song(2, L"<UPDATE>-9223372036854775808</UPDATE><LENGTH>0.1</LENGTH>"
                L"<START>123456789.123456789</START><END>0x10</END><PEAK>nan</PEAK><RMS>-inf</RMS>"));
    CLibrary library(file.Path());
    ASSERT_TRUE(library.Reload(0));
    ASSERT_EQ(2, library.GetCount());
    const CSong* one = library.GetSong(1);
    EXPECT_EQ(42, one->size);
    EXPECT_EQ(INT_MIN, one->channels);
    EXPECT_EQ(-17, one->instruments);
    EXPECT_EQ(LLONG_MAX, one->update);
    EXPECT_EQ(7, one->flags);
    EXPECT_EQ(12.5f, one->length);
    EXPECT_EQ(100.0f, one->start);
    EXPECT_EQ(-3.25f, one->end);
    EXPECT_EQ(0.75f, one->peak);
    EXPECT_EQ(0.0f, one->rms);
    const CSong* two = library.GetSong(2);
    EXPECT_EQ(LLONG_MIN, two->update);
    EXPECT_EQ(static_cast<float>(0.1), two->length);
    EXPECT_EQ(static_cast<float>(123456789.123456789), two->start);
    EXPECT_EQ(16.0f, two->end);
    EXPECT_TRUE(std::isnan(two->peak));
    EXPECT_TRUE(std::isinf(two->rms) && two->rms < 0);
}

TEST(Library, DamagedCatalogueKeepsWhatWasRead) {
    // Impossible counts are no hint; a syntax error keeps the songs read and the version.
    CatalogueFile file(L"<VERSION>8</VERSION><COUNT>-4</COUNT><COUNT>2000000000</COUNT>" +
                       Songs({1, 2}) + L"\r\n<SONG><ID>3</ID><TITLE>x<y</TITLE></SONG>" +
                       Songs({4}));
    CLibrary library(file.Path());
    ASSERT_TRUE(library.Reload(0));
    EXPECT_EQ(2, library.GetCount());
    EXPECT_EQ(8, library.GetVersion(false));
}

TEST(Library, PickRandomGoesThroughAllSongsBeforeRepeating) {
    CatalogueFile file(Songs({1, 2, 3}));
    CLibrary library(file.Path());
    ASSERT_TRUE(library.Reload(0));
    std::set<int> picked;
    for (int i = 0; i < 3; ++i) {
        int id = library.PickRandom(0);
        EXPECT_GE(id, 1);
        EXPECT_LE(id, 3);
        picked.insert(id);
    }
    EXPECT_EQ(3u, picked.size());
    int again = library.PickRandom(0);
    EXPECT_TRUE(picked.count(again));

    CatalogueFile two(Songs({1, 2}));
    CLibrary pair(two.Path());
    ASSERT_TRUE(pair.Reload(0));
    EXPECT_EQ(2, pair.PickRandom(1));  // the current song counts as played

    CLibrary empty(L"");
    EXPECT_EQ(0, empty.PickRandom(0));
    EXPECT_EQ(0, empty.PickRandom(5));
}

TEST(Library, NumbersWithOtherBlanksAndDigitsAreTheStandardConversions) {
    // An ideographic space before a number too large for 32 bits, and full-width digits
    // after a sign and after an ASCII digit.
    const wchar_t* chan = L"\x3000 99999999999";
    const wchar_t* inst = L"-\xFF11\xFF12";
    const wchar_t* size = L"1\xFF12";
    const wchar_t* update = L"\x3000 7\xFF18";
    const wchar_t* length = L"1\xFF12.5";
    CatalogueFile file(Song(1, std::wstring(L"<CHAN>") + chan + L"</CHAN><INST>" + inst +
                                   L"</INST><SIZE>" + size + L"</SIZE><UPDATE>" + update +
                                   L"</UPDATE><LENGTH>" + length + L"</LENGTH>"));
    CLibrary library(file.Path());
    ASSERT_TRUE(library.Reload(0));
    ASSERT_EQ(1, library.GetCount());
    const CSong* song = library.GetSong(1);
    EXPECT_EQ(static_cast<int32_t>(wcstol(chan, nullptr, 10)), song->channels);
    EXPECT_EQ(static_cast<int32_t>(wcstol(inst, nullptr, 10)), song->instruments);
    EXPECT_EQ(static_cast<int32_t>(wcstol(size, nullptr, 10)), song->size);
    EXPECT_EQ(wcstoll(update, nullptr, 10), song->update);
    EXPECT_EQ(static_cast<float>(wcstod(length, nullptr)), song->length);
}

// The version check may answer while the tree thread reads the catalogue in steps: the reread
// must neither end that read nor lose a song of it.
TEST(Library, VersionRereadDuringAStepwiseReloadKeepsTheWholeCatalogue) {
    std::wstring body = L"\r\n<VERSION>9</VERSION>";
    for (int id = 1; id <= 2000; ++id) body += Song(id, L"<ARTIST>Ann</ARTIST><SIZE>10</SIZE>");
    CatalogueFile file(body);
    CLibrary library(file.Path());
    ASSERT_TRUE(library.Reload(4096));
    ASSERT_TRUE(library.ParseStep());
    int steps = 1;
    EXPECT_EQ(library.GetVersion(true), 9);
    while (library.ParseStep()) {
        ++steps;
        EXPECT_EQ(library.GetVersion(true), 9);
    }
    EXPECT_GT(steps, 10);
    EXPECT_EQ(library.GetCount(), 2000);
    EXPECT_EQ(library.GetTotalSize(), 20000u);
    EXPECT_EQ(library.GetVersion(false), 9);
}
