#include "library/Song.h"

#include <gtest/gtest.h>

#include <utility>

TEST(Song, TitleWinsOverFileNameInEitherOrder) {
    CSong song;
    song.SetFile(L"A\\song.mod");
    EXPECT_EQ(L"song", song.FileName());
    EXPECT_EQ(L"song", song.DisplayTitle());
    song.SetTitle(L"Real title");
    EXPECT_EQ(L"Real title", song.DisplayTitle());

    CSong other;
    other.SetTitle(L"Real title");
    other.SetFile(L"A\\song.mod");
    EXPECT_EQ(L"Real title", other.DisplayTitle());
    EXPECT_EQ(L"song", other.FileName());
}

TEST(Song, FileNameIsBetweenLastBackslashAndLastDot) {
    CSong song;
    song.SetFile(L"dir\\sub\\name.with.dots.xm");
    EXPECT_EQ(L"name.with.dots", song.FileName());
    EXPECT_EQ(L"dir\\sub\\name.with.dots.xm", song.File());

    for (const wchar_t* text : {L"song.mod", L"dir\\song", L"dir.x\\song"}) {
        CSong plain;
        plain.SetFile(text);
        EXPECT_EQ(L"", plain.FileName()) << text;
        EXPECT_EQ(L"", plain.DisplayTitle()) << text;
        EXPECT_EQ(text, plain.File());
    }
}

TEST(Song, ToolWinsOverTrackerNameInEitherOrder) {
    CSong song;
    song.SetType(3);
    EXPECT_EQ(L"FastTracker", song.Tool());
    song.SetTool(L"FT 2.08");
    EXPECT_EQ(L"FT 2.08", song.Tool());

    CSong other;
    other.SetTool(L"FT 2.08");
    other.SetType(3);
    EXPECT_EQ(L"FT 2.08", other.Tool());
    EXPECT_STREQ(L"XM", other.TypeName());

    for (int code : {0, 6, -1}) {
        CSong unknown;
        unknown.SetType(code);
        EXPECT_EQ(L"", unknown.Tool());
        EXPECT_STREQ(L"", unknown.TypeName());
    }
    const wchar_t* names[] = {L"MOD", L"MTM", L"XM", L"S3M", L"IT"};
    for (int code = 1; code <= 5; ++code) EXPECT_STREQ(names[code - 1], SongTypeName(code));
}

TEST(Song, CoopsJoinTheArtistInOrderRead) {
    CSong song;
    song.SetArtist(L"X");
    song.SetCoop(L"Y");
    song.SetCoop(L"Z");
    EXPECT_EQ(L"X & Y & Z", song.DisplayArtist());
    EXPECT_EQ(L"Z", song.Coop());
    EXPECT_EQ(L"X", song.Artist());

    CSong early;
    early.SetCoop(L"Y");
    EXPECT_EQ(L"", early.DisplayArtist());
    early.SetArtist(L"X");
    EXPECT_EQ(L"X & Y", early.DisplayArtist());
}

TEST(Song, PlayLengthCutsSilenceAtBothEnds) {
    CSong song;
    song.length = 100;
    song.start = 1.2f;
    song.end = 0;
    EXPECT_EQ(0.0f, song.PlayLength());
    song.end = 90;
    EXPECT_NEAR(1.0f, song.LeadIn(), 1e-5);
    EXPECT_NEAR(91.0f, song.PlayLength(), 1e-4);
    song.start = 0.1f;
    song.end = 99;  // less than 2 s of trailing silence is kept
    EXPECT_EQ(0.0f, song.LeadIn());
    EXPECT_NEAR(100.0f, song.PlayLength(), 1e-4);
}

TEST(Song, DerivedFlags) {
    CSong song;
    EXPECT_FALSE(song.EndsInSound());  // no length
    song.length = 60;
    song.end = 59.995f;
    EXPECT_TRUE(song.EndsInSound());
    song.end = 59.9f;
    EXPECT_FALSE(song.EndsInSound());
    song.flags = 2;
    EXPECT_FALSE(song.IsHidden());
    song.flags = 3;
    EXPECT_TRUE(song.IsHidden());
    song.Reset();
    EXPECT_EQ(0, song.flags);
    EXPECT_EQ(0.0f, song.length);
    EXPECT_TRUE(song.DisplayArtist().empty());
}

// The texts share one block: setting one in any order, or again, leaves the others as they were.
TEST(Song, EveryTextKeepsItsValueWhateverTheOrderOfTheSetters) {
    using Setter = void (CSong::*)(std::wstring_view);
    const std::pair<Setter, const wchar_t*> fields[] = {
        {&CSong::SetTitle, L"Title"}, {&CSong::SetArtist, L"Artist"}, {&CSong::SetCoop, L"Guest"},
        {&CSong::SetTool, L"OpenMPT"}, {&CSong::SetFile, L"a\\b\\name.it"}};
    for (int order : {0, 1, 2}) {
        CSong song;
        for (int k = 0; k < 5; ++k) {
            const int i = order == 0 ? k : order == 1 ? 4 - k : (k * 2) % 5;
            (song.*fields[i].first)(fields[i].second);
        }
        song.SetTitle(L"A longer title than before");  // again, with followers set
        EXPECT_EQ(L"A longer title than before", song.DisplayTitle()) << order;
        EXPECT_EQ(L"Artist", song.Artist()) << order;
        EXPECT_EQ(L"Guest", song.Coop()) << order;
        EXPECT_EQ(L"OpenMPT", song.Tool()) << order;
        EXPECT_EQ(L"a\\b\\name.it", song.File()) << order;
        EXPECT_EQ(L"name", song.FileName()) << order;
        EXPECT_STREQ(L"name", song.FileName().data()) << order;
        EXPECT_EQ(L"Artist & Guest", song.DisplayArtist()) << order;
    }
}
