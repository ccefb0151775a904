#pragma once
// One record of the catalogue, plus the texts and values derived from it. Held by value in
// the library; everybody else refers to a song by its id.

#include <cstdint>
#include <string>
#include <string_view>

class CSong {
public:
    void Reset();

    // Setters called with element texts; their order in a record does not matter.
    void SetTitle(std::wstring_view text);
    void SetArtist(std::wstring_view text);
    void SetCoop(std::wstring_view text);
    void SetTool(std::wstring_view text);
    void SetFile(std::wstring_view text);
    void SetType(int code);

    // Start of playback: leading silence is cut to 0.2 s.
    float LeadIn() const;
    // The duration shown and summed everywhere: leading silence cut to 0.2 s, trailing
    // silence to 2 s; 0 when no end of sound was measured.
    float PlayLength() const;
    bool IsHidden() const { return (flags & 1) != 0; }
    // The sound lasts to the very end of the song, so it is loaded for looping.
    bool EndsInSound() const;

    // "MOD", "XM", ... for the type column; "" for an unknown code.
    const wchar_t* TypeName() const;

    int32_t id = 0;
    int32_t size = 0;
    int32_t channels = 0;
    int32_t instruments = 0;
    int32_t type = 0;
    int32_t flags = 0;
    float length = 0;
    float start = 0;
    float end = 0;
    float peak = 0;
    float rms = 0;
    int64_t update = 0;
    std::wstring title;
    std::wstring artist;
    std::wstring coop;
    std::wstring tool;
    std::wstring file;
    std::wstring displayTitle;
    std::wstring displayArtist;
    std::wstring fileName;
};

// The short name ("MOD") and the tracker name ("ProTracker") of a module format code,
// or null for a code outside 1 to 5.
const wchar_t* SongTypeName(int type);
const wchar_t* SongTrackerName(int type);
