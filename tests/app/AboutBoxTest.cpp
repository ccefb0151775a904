#include "TestSupport.h"

#include "app/AboutBox.h"
#include "app/Ids.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

AboutFacts Facts(uint64_t size, double duration) {
    AboutFacts facts;
    facts.engineVersion = L"2.4.17.0";
    facts.libraryVersion = 42;
    facts.libraryDate = 1700000000;
    facts.songCount = 1234;
    facts.totalSize = size;
    facts.totalDuration = duration;
    return facts;
}

std::wstring TextOf(const AboutFacts& facts) { return CAboutBox(facts).Text(); }

// The text of the About box while the main window shows it, read from the box itself.
struct BoxReader {
    static inline std::wstring text;
    static inline bool seen = false;
    static void CALLBACK Poll(HWND, UINT, UINT_PTR timer, DWORD) {
        HWND box = FindWindowW(L"#32770", L"About tunehaven");
        if (!box) return;
        KillTimer(nullptr, timer);
        // The message text is the box's static control with the longest text.
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t buffer[512] = {};
            GetWindowTextW(child, buffer, 512);
            if (wcslen(buffer) > text.size()) text = buffer;
        }
        seen = true;
        PostMessageW(box, WM_CLOSE, 0, 0);
    }
};

}  // namespace

TEST(AboutBox, ShowsTheProgramEngineAndCatalogue) {
    const std::wstring date = CAboutBox::DateText(1700000000);
    EXPECT_EQ(TextOf(Facts(1610612736, 90061.9)),
              L"tunehaven version:\t0.2\nBASS version:\t2.4.17.0\n\nLibrary version:\t42\n"
              L"Last update:\t" + date + L"Total songs:\t1234\nTotal size:\t1.50Gb\n"
              L"Total duration:\t1 days, 1 hours, 1 minutes    ");
    // The date line is the C library's calendar text, ended by its line feed.
    __time64_t t = 1700000000;
    EXPECT_EQ(date, _wctime64(&t));
    EXPECT_EQ(date.size(), 25u);
    EXPECT_EQ(date.back(), L'\n');
}

TEST(AboutBox, DurationIsCutToWholeDaysHoursAndMinutes) {
    EXPECT_NE(TextOf(Facts(0, 400 * 86400.0)).find(L"\t400 days, 0 hours, 0 minutes    "),
              std::wstring::npos);
    EXPECT_NE(TextOf(Facts(0, 86400.0 - 0.5)).find(L"\t0 days, 23 hours, 59 minutes"),
              std::wstring::npos);
    // A duration no catalogue can have is not an overflow or a negative count.
    EXPECT_NE(TextOf(Facts(0, -5)).find(L"\t0 days, 0 hours, 0 minutes"), std::wstring::npos);
    EXPECT_NE(TextOf(Facts(0, 1e30)).find(L"\t2147483647 days, 0 hours, 0 minutes"),
              std::wstring::npos);
}

TEST(AboutBox, ADamagedDateShowsAsUnknown) {
    // Epoch: the local time of 1970-01-01 00:00:00 UTC in the calendar form.
    __time64_t zero = 0;
    EXPECT_EQ(CAboutBox::DateText(0), _wctime64(&zero));
    EXPECT_EQ(CAboutBox::DateText(-1000), L"unknown\n");
    EXPECT_EQ(CAboutBox::DateText(INT64_MAX), L"unknown\n");
    const std::wstring text = TextOf(Facts(0, 0));
    EXPECT_LT(text.size(), 256u);
}

TEST(AboutBox, TheMainWindowShowsAnEmptyCatalogueAsZeros) {
    th::StartWithEmptySettings();
    {
        th::TestMainWindow main;
        BoxReader::text.clear();
        BoxReader::seen = false;
        SetTimer(nullptr, 0, 100, &BoxReader::Poll);
        // Modal: returns once the reader has closed the box.
        SendMessageW(main.Handle(), WM_COMMAND, ID_ABOUT, 0);
        ASSERT_TRUE(BoxReader::seen);
        const std::wstring& text = BoxReader::text;
        EXPECT_NE(text.find(L"tunehaven version:\t0.2"), std::wstring::npos);
        EXPECT_NE(text.find(L"Library version:\t0\n"), std::wstring::npos);
        EXPECT_NE(text.find(L"Total songs:\t0\n"), std::wstring::npos);
        EXPECT_NE(text.find(L"Total size:\t0.00Gb"), std::wstring::npos);
        EXPECT_NE(text.find(L"0 days, 0 hours, 0 minutes"), std::wstring::npos);
        EXPECT_NE(text.find(L"BASS version:\t"), std::wstring::npos);
    }
    th::StartWithEmptySettings();
}
