#pragma once
// The program's one list type: an ordered list of song entries with a kind, an optional
// sort state and a memory of the entries picked at random. User playlists and the
// favourites are stored as playlist files, read through CXMLReader.

#include "base/Lock.h"
#include "library/XMLReader.h"
#include "playlists/PlaylistItem.h"

#include <set>
#include <vector>

class CLibrary;

class CPlaylist : public CXMLReader {
public:
    enum Kind {
        kLibrary = 1,       // the Library node
        kArtist = 2,        // an artist or a collaboration
        kPlaylistsNode = 3, // the Playlists node
        kUser = 4,          // a user playlist
        kFavourites = 5,
    };

    // Sort columns, in the song list's column order.
    enum Column {
        kNoSort = 0, kFileName, kArtistColumn, kTitle, kSize, kChannels, kInstruments, kType,
        kVersion, kDuration, kPeak, kRms,
    };

    explicit CPlaylist(int kind);
    ~CPlaylist() override;

    // The entries of every playlist change on the window thread (and an artist's on the tree's
    // build thread) while playback's own threads walk the playing playlist for its next entry:
    // each change holds this lock, and so does each walk made off the window thread. It is
    // held for a few instructions, or for one sort or one load of a playlist.
    static CLock& EntriesLock();

    // The catalogue the sort compares songs from. Set by the main window once the library
    // exists and cleared before it goes; without one, sorting keeps the order.
    static void SetLibrary(const CLibrary* library);

    int GetKind() const { return kind_; }
    int GetCount() const { return static_cast<int>(items_.size()); }
    // 0 when index is out of range; callers walk by index until the id is 0.
    int GetIdAt(int index) const;
    int GetSerialAt(int index) const;
    int GetLastSerial() const;
    int IndexOfSong(int songId) const;
    int IndexOfSerial(int serial) const;

    // Appends songId (unless allowDuplicate is false and it is present: then its index is
    // returned and nothing changes). Returns the entry's index. Clears the sort column.
    int Add(int songId, bool allowDuplicate);
    // Adds each song of other in order, up to its first id 0.
    void AddAll(const CPlaylist* other, bool allowDuplicate);
    void RemoveAt(int index);
    // Moves the entry at from to position to; the entries between shift by one.
    void Move(int from, int to);
    // Stable: equal keys keep their order. Entries whose song the library does not hold go
    // last. Sorting again by the sort in force, with no entry added or moved since, does no work.
    void Sort(int column, bool descending);
    void GetSortState(int& column, bool& descending) const;

    // A random entry, avoiding entries already picked while possible. False (and 0, 0)
    // when the playlist is empty.
    bool PickRandomEntry(int currentSerial, bool resetWhenExhausted, int& serial, int& songId);

    // Replaces the entries with those of the file and applies its sort. False when the
    // file cannot be opened (the playlist is then empty).
    bool Load(const wchar_t* path);
    // Writes the playlist file; false (old file untouched) when it cannot be written.
    bool Save(const wchar_t* path) const;

protected:
    bool OnElementStart(const wchar_t* name) override;
    bool OnElementEnd(const wchar_t* name) override;
    bool OnText(const wchar_t* text) override;
    void OnSyntaxError() override {}

private:
    enum class Element { None, Id, Sort };

    std::vector<CPlaylistItem> items_;
    std::set<int> played_;  // serials
    Element currentElement_ = Element::None;
    int kind_;
    int sortColumn_ = 0;
    int loadedSort_ = 0;
    bool descending_ = false;
    bool ordered_ = false;  // the entries are in the order of the last sort, which did sort them
};
