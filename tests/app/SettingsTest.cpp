#include "TestSupport.h"

#include "app/Settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { th::StartWithEmptySettings(); }
    void TearDown() override { th::StartWithEmptySettings(); }
};

const wchar_t* const kNumericNames[] = {
    L"xpos",     L"ypos",     L"width",    L"height",   L"maximize", L"treesize", L"sort",
    L"desc",     L"listtext", L"listback", L"listhigh", L"treetext", L"treeback", L"treehigh",
    L"volume",   L"panning",  L"flags",    L"device",   L"freq",     L"random",   L"cache"};

LOGFONTW MakeFont(const wchar_t* face, LONG height) {
    LOGFONTW font = {};
    font.lfHeight = height;
    font.lfWeight = FW_BOLD;
    wcscpy(font.lfFaceName, face);
    return font;
}

}  // namespace

TEST_F(SettingsTest, FirstRunLoadsEveryDefault) {
    LoadSettings();
    EXPECT_EQ(settings.xpos, 0);
    EXPECT_EQ(settings.ypos, 0);
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.height, 480);
    EXPECT_EQ(settings.maximize, 0u);
    EXPECT_EQ(settings.treesize, 240);
    EXPECT_EQ(settings.sort, 0);
    EXPECT_EQ(settings.desc, 0u);
    EXPECT_EQ(settings.listtext, GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(settings.listback, GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(settings.listhigh, GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(settings.treetext, settings.listtext);
    EXPECT_EQ(settings.treeback, settings.listback);
    EXPECT_EQ(settings.treehigh, settings.listhigh);
    EXPECT_EQ(settings.volume, 100u);
    EXPECT_EQ(settings.panning, 50);
    EXPECT_EQ(settings.flags, 0x400u);  // click removal "Sensitive", linear interpolation
    EXPECT_EQ(settings.device, 0u);
    EXPECT_EQ(settings.freq, 2u);       // 48000 Hz
    EXPECT_EQ(kOutputRates[settings.freq], 48000u);
    EXPECT_EQ(settings.random, 0u);
    EXPECT_EQ(settings.cache, 2u);
    EXPECT_EQ(settings.cacheLimit.load(), 500u);
    EXPECT_FALSE(settings.treefont);
    EXPECT_FALSE(settings.listfont);
    for (int i = 0; i < kColumnLayouts; ++i)
        for (int j = 0; j < kLayoutColumns; ++j) {
            EXPECT_EQ(settings.columnPositions[i][j], 0);
            EXPECT_EQ(settings.columnWidths[i][j], 0);
        }
    EXPECT_EQ(settings.server, L"http://127.0.0.1:8417/");
}

TEST_F(SettingsTest, SaveWritesEveryValueAsDwordAndNoFontsOrServer) {
    LoadSettings();
    ASSERT_TRUE(SaveSettings());
    for (const wchar_t* name : kNumericNames) {
        DWORD type = 0, size = 0;
        ASSERT_TRUE(th::SettingExists(name, &type, &size)) << name;
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << name;
        EXPECT_EQ(size, 4u) << name;
    }
    DWORD value = 0;
    ASSERT_TRUE(th::ReadSettingDword(L"listback", &value));
    EXPECT_EQ(value, GetSysColor(COLOR_WINDOW));
    ASSERT_TRUE(th::ReadSettingDword(L"flags", &value));
    EXPECT_EQ(value, 0x400u);
    EXPECT_FALSE(th::SettingExists(L"treefont"));
    EXPECT_FALSE(th::SettingExists(L"listfont"));
    EXPECT_FALSE(th::SettingExists(L"server"));
    for (const wchar_t* layout : {L"column0", L"column1", L"column2"})
        for (int j = 0; j <= 10; ++j) {
            std::wstring name = std::to_wstring(j);
            ASSERT_TRUE(th::ReadSettingDword(name.c_str(), &value, layout)) << layout << name;
            EXPECT_EQ(value, 0u);
        }
}

TEST_F(SettingsTest, SavedValuesComeBackUnchanged) {
    settings.xpos = -8;  // a window partly off the left edge
    settings.ypos = 1200;
    settings.width = 1234;
    settings.height = 777;
    settings.maximize = 1;
    settings.treesize = 310;
    settings.sort = -4;
    settings.desc = 1;
    settings.listtext = RGB(1, 2, 3);
    settings.treehigh = RGB(250, 0, 9);
    settings.volume = 30;
    settings.panning = 0;
    settings.flags = 0x14000000 | FLAG_SCALE_RMS | FLAG_FADE_LOOPED | FLAG_RAMP | FLAG_SINCINTER;
    settings.device = 3;
    settings.freq = 0;
    settings.random = 2;
    settings.cache = 3;
    settings.treefont = std::make_unique<LOGFONTW>(MakeFont(L"Tahoma", -13));
    settings.columnPositions[2][10] = 11;
    settings.columnWidths[2][10] = 4000;
    settings.columnPositions[0][1] = 1;
    settings.columnWidths[0][1] = 0;
    ASSERT_TRUE(SaveSettings());

    ResetSettings();
    LoadSettings();
    EXPECT_EQ(settings.xpos, -8);
    EXPECT_EQ(settings.ypos, 1200);
    EXPECT_EQ(settings.width, 1234);
    EXPECT_EQ(settings.height, 777);
    EXPECT_EQ(settings.maximize, 1u);
    EXPECT_EQ(settings.treesize, 310);
    EXPECT_EQ(settings.sort, -4);
    EXPECT_EQ(settings.desc, 1u);
    EXPECT_EQ(settings.listtext, RGB(1, 2, 3));
    EXPECT_EQ(settings.treehigh, RGB(250, 0, 9));
    EXPECT_EQ(settings.volume, 30u);
    EXPECT_EQ(settings.panning, 0);
    EXPECT_EQ(settings.flags, 0x14000000 | FLAG_SCALE_RMS | FLAG_FADE_LOOPED | FLAG_RAMP |
                                  FLAG_SINCINTER);
    EXPECT_EQ(settings.device, 3u);
    EXPECT_EQ(settings.freq, 0u);
    EXPECT_EQ(settings.random, 2u);
    EXPECT_EQ(settings.cache, 3u);
    EXPECT_EQ(settings.cacheLimit.load(), 1024u);
    ASSERT_TRUE(settings.treefont);
    EXPECT_EQ(settings.treefont->lfHeight, -13);
    EXPECT_EQ(settings.treefont->lfWeight, FW_BOLD);
    EXPECT_STREQ(settings.treefont->lfFaceName, L"Tahoma");
    EXPECT_FALSE(settings.listfont);
    EXPECT_EQ(settings.columnPositions[2][10], 11);
    EXPECT_EQ(settings.columnWidths[2][10], 4000);
    EXPECT_EQ(settings.columnPositions[0][1], 1);
}

TEST_F(SettingsTest, CacheIndexOutOfRangeLoadsAsDefault) {
    th::WriteSettingDword(L"cache", 7);
    LoadSettings();
    EXPECT_EQ(settings.cache, 2u);
    EXPECT_EQ(settings.cacheLimit.load(), 500u);

    th::WriteSettingDword(L"cache", 0);
    LoadSettings();
    EXPECT_EQ(settings.cacheLimit.load(), 100u);

    settings.cache = 4;
    SelectCacheSize();
    EXPECT_EQ(settings.cache, 2u);
    EXPECT_EQ(settings.cacheLimit.load(), 500u);
}

TEST_F(SettingsTest, FontOfWrongSizeIsIgnoredAndDeletedAtNextSave) {
    LOGFONTW font = MakeFont(L"Courier New", -20);
    char bytes[sizeof(LOGFONTW) + 1] = {};
    std::memcpy(bytes, &font, sizeof(font));
    for (DWORD size : {DWORD{91}, DWORD{93}}) {
        th::WriteSettingBinary(L"treefont", bytes, size);
        th::WriteSettingBinary(L"listfont", &font, sizeof(font));
        ResetSettings();
        LoadSettings();
        EXPECT_FALSE(settings.treefont) << size;
        ASSERT_TRUE(settings.listfont) << size;
        EXPECT_STREQ(settings.listfont->lfFaceName, L"Courier New");

        ASSERT_TRUE(SaveSettings());
        EXPECT_FALSE(th::SettingExists(L"treefont")) << size;
        DWORD type = 0, stored = 0;
        ASSERT_TRUE(th::SettingExists(L"listfont", &type, &stored));
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        EXPECT_EQ(stored, 92u);
    }
}

TEST_F(SettingsTest, FontWithUnterminatedFaceNameIsCutInsideItsBuffer) {
    LOGFONTW font = MakeFont(L"", -12);
    for (wchar_t& c : font.lfFaceName) c = L'A';
    th::WriteSettingBinary(L"listfont", &font, sizeof(font));
    LoadSettings();
    ASSERT_TRUE(settings.listfont);
    EXPECT_EQ(wcsnlen(settings.listfont->lfFaceName, LF_FACESIZE), size_t{LF_FACESIZE - 1});
}

TEST_F(SettingsTest, ColumnValueHoldsWidthAboveAndPositionInLowByte) {
    th::WriteSettingDword(L"3", 120 * 256 + 3, L"column1");
    th::WriteSettingDword(L"10", 75 * 256 + 0, L"column2");
    LoadSettings();
    EXPECT_EQ(settings.columnWidths[1][3], 120);
    EXPECT_EQ(settings.columnPositions[1][3], 3);
    EXPECT_EQ(settings.columnWidths[2][10], 75);
    EXPECT_EQ(settings.columnPositions[2][10], 0);
    EXPECT_EQ(settings.columnWidths[0][3], 0);

    ASSERT_TRUE(SaveSettings());
    DWORD value = 0;
    ASSERT_TRUE(th::ReadSettingDword(L"3", &value, L"column1"));
    EXPECT_EQ(value, 120u * 256 + 3);
}

TEST_F(SettingsTest, ValueOfWrongSizeKeepsDefaultWhateverItsType) {
    const BYTE two[2] = {5, 0};
    th::WriteSettingBinary(L"volume", two, sizeof(two));
    const BYTE eight[8] = {9, 0, 0, 0, 0, 0, 0, 0};
    th::WriteSettingBinary(L"width", eight, sizeof(eight));
    const DWORD height = 555;
    th::WriteSettingBinary(L"height", &height, sizeof(height));  // 4 bytes, type ignored
    th::WriteSettingString(L"treesize", L"x");                     // 4 bytes with its null
    LoadSettings();
    EXPECT_EQ(settings.volume, 100u);
    EXPECT_EQ(settings.width, 640);
    EXPECT_EQ(settings.height, 555);
    EXPECT_EQ(settings.treesize, static_cast<int>(L'x'));
}

TEST_F(SettingsTest, VolumePanningAndRandomPlayAreBroughtIntoRange) {
    th::WriteSettingDword(L"volume", 500);
    th::WriteSettingDword(L"panning", static_cast<DWORD>(-5));
    th::WriteSettingDword(L"random", 7);
    LoadSettings();
    EXPECT_EQ(settings.volume, 100u);
    EXPECT_EQ(settings.panning, 0);
    EXPECT_EQ(settings.random, 0u);

    th::WriteSettingDword(L"panning", 101);
    LoadSettings();
    EXPECT_EQ(settings.panning, 100);
}

TEST_F(SettingsTest, ServerUrlGetsTrailingSlashAndIsNeverWrittenBack) {
    th::WriteSettingString(L"server", L"http://127.0.0.1:9000/lib");
    LoadSettings();
    EXPECT_EQ(settings.server, L"http://127.0.0.1:9000/lib/");

    th::WriteSettingString(L"server", L"http://example.test/");
    LoadSettings();
    EXPECT_EQ(settings.server, L"http://example.test/");

    th::WriteSettingString(L"server", L"");
    LoadSettings();
    EXPECT_EQ(settings.server, L"http://127.0.0.1:8417/");

    th::WriteSettingDword(L"server", 5);  // not a string: the default
    LoadSettings();
    EXPECT_EQ(settings.server, L"http://127.0.0.1:8417/");

    th::WriteSettingString(L"server", L"http://127.0.0.1:9000");
    LoadSettings();
    settings.server = L"http://changed.test/";
    ASSERT_TRUE(SaveSettings());
    ResetSettings();
    LoadSettings();
    EXPECT_EQ(settings.server, L"http://127.0.0.1:9000/");
}
