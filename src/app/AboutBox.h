#pragma once
// The About box: the program's and the audio engine's versions and the catalogue's version,
// date, song count, size and duration.

#include <windows.h>

#include <cstdint>
#include <string>

// What the box shows, gathered by the main window from the engine and the library.
struct AboutFacts {
    std::wstring engineVersion;   // "a.b.c.d"
    int libraryVersion = 0;
    int64_t libraryDate = 0;      // seconds since 1970-01-01 UTC
    int songCount = 0;
    uint64_t totalSize = 0;       // bytes
    double totalDuration = 0;     // seconds
};

class CAboutBox {
public:
    explicit CAboutBox(AboutFacts facts);
    virtual ~CAboutBox();
    CAboutBox(const CAboutBox&) = delete;
    CAboutBox& operator=(const CAboutBox&) = delete;

    // The box's text, at most 255 characters.
    std::wstring Text() const;

    // Shows the box owned by `owner` until the user closes it. The window thread keeps
    // handling messages (ticks included) inside the box's own loop.
    void Show(HWND owner) const;

    // The date as the C library's calendar text in local time, line feed included
    // ("Thu Jan  1 00:00:00 1970\n").
    static std::wstring DateText(int64_t seconds);

private:
    AboutFacts facts_;
};
