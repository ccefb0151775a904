#pragma once
// The grouping record of the tree build: one per distinct artist text, tying the artist to
// its tree node, to the playlist of its own songs and to one playlist per collaboration.

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>

class CPlaylist;

class CArtist {
public:
    CArtist() = default;
    explicit CArtist(std::wstring artistName) : name(std::move(artistName)) {}
    virtual ~CArtist() = default;

    std::wstring name;            // exactly as the ARTIST text; compared case-sensitively
    HTREEITEM treeItem = nullptr;  // null when the node could not be inserted
    // Owned by the tree nodes that show them, not by the artist.
    CPlaylist* playlist = nullptr;
    std::map<std::wstring, CPlaylist*> collaborations;  // by display artist
};
