#pragma once
// The catalogue of songs: the in-memory model of the library file, with lookups by id,
// the catalogue's version, date and totals, and the random pick over all songs.
//
// No lock: the songs are written only by the tree-building thread during Reload and the
// following steps, and read by everybody else only after that build has finished. The version
// alone may be read afresh on the window thread while that build runs (see GetVersion).

#include "library/Song.h"
#include "library/XMLReader.h"

#include <atomic>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

class CLibrary : public CXMLReader {
public:
    explicit CLibrary(std::wstring path);
    ~CLibrary() override;

    // With reread, reads the file just far enough to take its VERSION; the songs in memory
    // are left alone. Without, or when the file cannot be opened, the version in memory.
    // The reread uses a reader of its own, so it can run while a stepwise Reload is under way
    // without disturbing it.
    int GetVersion(bool reread);

    // Empties the catalogue and opens the file (see CXMLReader::Open for the budget).
    bool Reload(int stepBudget);
    // Empties the catalogue and reads the whole file at once. True when it read to its end as
    // a catalogue: it opened, held no syntax error, every song came in sequence and no song
    // was left open.
    bool ReadWhole();

    // The song with that id, or null. Valid until the next Reload.
    const CSong* GetSong(int id) const;
    int GetCount() const { return static_cast<int>(songs_.size()); }

    int64_t GetDate() const { return date_; }
    uint64_t GetTotalSize() const { return totalSize_; }
    float GetTotalDuration() const { return totalDuration_; }

    // A random song id, avoiding ids already picked while possible; 0 when the catalogue
    // is empty. currentId (when not 0) counts as picked.
    int PickRandom(int currentId);

    const std::wstring& GetPath() const { return path_; }

protected:
    bool OnElementStart(const wchar_t* name) override;
    bool OnElementEnd(const wchar_t* name) override;
    bool OnText(const wchar_t* text) override;
    void OnSyntaxError() override { damaged_ = true; }

private:
    enum class Field {
        None, Version, Date, Count,
        Id, Title, Artist, Coop, Tool, File, Update, Flags, Type, Chan, Inst, Size,
        Length, Start, End, Peak, Rms, Subsong,
    };
    static Field Classify(const wchar_t* name);

    // Written by the reloading thread and by a version reread on the window thread.
    std::atomic<int> version_{0};
    uint64_t totalSize_ = 0;
    float totalDuration_ = 0;
    int64_t date_ = 0;
    CSong current_;
    Field currentElement_ = Field::None;
    bool inSong_ = false;   // between a SONG start tag and its end tag
    bool damaged_ = false;  // the last read met a syntax error or a song out of sequence
    std::wstring path_;
    std::vector<CSong> songs_;  // the song with id k is at k - 1
    std::set<int> played_;
};
