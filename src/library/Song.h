#pragma once
// One record of the catalogue, plus the texts and values derived from it. Held by value in
// the library; everybody else refers to a song by its id.
//
// A library holds hundreds of thousands of songs, so the texts of a song share one block:
// each text ends in a null there, and the views the accessors return may be passed on as
// C strings (data() is null-terminated). They stay valid until the song is changed.

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

    std::wstring_view Title() const { return Text(kTitle); }
    std::wstring_view Artist() const { return Text(kArtist); }
    // The last co-operating artist read.
    std::wstring_view Coop() const { return Text(kCoop); }
    // The TOOL text, else the tracker of the format ("FastTracker"), else "".
    std::wstring_view Tool() const;
    // The path below the cache folder ("a\b\song.xm").
    std::wstring_view File() const { return Text(kFile); }
    // The file's name without folder and extension; "" when the path has no "\" before a ".".
    std::wstring_view FileName() const { return Text(kFileName); }
    // The title, else the file name.
    std::wstring_view DisplayTitle() const;
    // The artist joined with the co-operating artists ("X & Y & Z").
    std::wstring_view DisplayArtist() const;

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
    int32_t subsong = 0;  // the module's 0-based sub-song that this song plays
    float length = 0;
    float start = 0;
    float end = 0;
    float peak = 0;
    float rms = 0;
    int64_t update = 0;

private:
    // The texts in the order they lie in texts_, which is the order a catalogue record gives
    // them in. kJoined is the joined artist, kept only when it differs from the artist.
    enum TextIndex { kTitle, kArtist, kCoop, kJoined, kTool, kFile, kFileName, kTextCount };

    std::wstring_view Text(int index) const;
    void SetText(int index, std::wstring_view text);

    std::wstring texts_;
    uint32_t at_[kTextCount] = {};  // where each text starts in texts_
};

// The short name ("MOD") and the tracker name ("ProTracker") of a module format code,
// or null for a code outside 1 to 5.
const wchar_t* SongTypeName(int type);
const wchar_t* SongTrackerName(int type);
