#pragma once
// The grouping record of the tree build: one per distinct artist text, tying the artist to
// its tree node, to the playlist of its own songs and to one playlist per collaboration.

#include <windows.h>
#include <commctrl.h>

#include "playlists/Playlist.h"

#include <map>
#include <memory>
#include <string>

class CArtist {
public:
    CArtist() = default;
    explicit CArtist(std::wstring artistName) : name(std::move(artistName)) {}
    virtual ~CArtist() = default;

    std::wstring name;            // exactly as the ARTIST text; compared case-sensitively
    HTREEITEM treeItem = nullptr;  // null when the node could not be inserted
    // Held here until the tree node that shows one takes it over (the holder is then empty);
    // those that never got a node go with the record.
    std::unique_ptr<CPlaylist> playlist;
    std::map<std::wstring, std::unique_ptr<CPlaylist>> collaborations;  // by display artist
};
