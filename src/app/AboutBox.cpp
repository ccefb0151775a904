#include "app/AboutBox.h"

#include "app/Globals.h"

#include <cwchar>
#include <ctime>
#include <iterator>

namespace {

constexpr const wchar_t* kAboutCaption = L"About tunehaven";
constexpr const wchar_t* kAboutFormat =
    L"%ls version:\t%ls\nBASS version:\t%ls\n\nLibrary version:\t%d\nLast update:\t%ls"
    L"Total songs:\t%d\nTotal size:\t%.2fGb\nTotal duration:\t%d days, %d hours, %d minutes    ";
// Shown for a catalogue date the calendar functions cannot convert.
constexpr const wchar_t* kUnknownDate = L"unknown\n";
constexpr size_t kAboutBufferSize = 256;
constexpr double kBytesPerGigabyte = 1073741824.0;

// Whole seconds of a duration, kept to what the day count can show.
int64_t WholeSeconds(double seconds) {
    constexpr double kMostSeconds = 2147483647.0 * 86400.0;
    if (!(seconds > 0)) return 0;  // negative, zero or not a number
    if (seconds > kMostSeconds) seconds = kMostSeconds;
    return static_cast<int64_t>(seconds);
}

}  // namespace

CAboutBox::CAboutBox(AboutFacts facts) : facts_(std::move(facts)) {}

CAboutBox::~CAboutBox() = default;

std::wstring CAboutBox::DateText(int64_t seconds) {
    __time64_t t = seconds;
    // The C library refuses dates before 1970 and far in the future (null): a damaged
    // catalogue date must not take the box down with it.
    const wchar_t* text = _wctime64(&t);
    return text ? text : kUnknownDate;
}

std::wstring CAboutBox::Text() const {
    const int64_t total = WholeSeconds(facts_.totalDuration);
    const int days = static_cast<int>(total / 86400);
    const int hours = static_cast<int>(total / 3600 % 24);
    const int minutes = static_cast<int>(total / 60 % 60);
    wchar_t text[kAboutBufferSize] = {};
    swprintf(text, std::size(text), kAboutFormat, kProgramName, kProgramVersion,
             facts_.engineVersion.c_str(), facts_.libraryVersion,
             DateText(facts_.libraryDate).c_str(), facts_.songCount,
             static_cast<double>(facts_.totalSize) / kBytesPerGigabyte, days, hours, minutes);
    text[kAboutBufferSize - 1] = L'\0';
    return text;
}

void CAboutBox::Show(HWND owner) const {
    MessageBoxW(owner, Text().c_str(), kAboutCaption, MB_ICONINFORMATION);
}
