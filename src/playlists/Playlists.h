#pragma once
// The set of user playlists by name, without regard to case. Menus list the playlists in
// the set's order, so GetByIndex(i) is the playlist of a menu's i-th playlist item.
// The set does not own the playlists; their tree nodes do.

#include <map>
#include <string>

class CPlaylist;

class CPlaylistsItem {
public:
    CPlaylistsItem() = default;
    CPlaylistsItem(std::wstring itemName, CPlaylist* itemPlaylist)
        : name(std::move(itemName)), playlist(itemPlaylist) {}
    virtual ~CPlaylistsItem() = default;
    CPlaylistsItem(const CPlaylistsItem&) = default;
    CPlaylistsItem& operator=(const CPlaylistsItem&) = default;

    std::wstring name;               // as shown
    CPlaylist* playlist = nullptr;  // not owned
};

class CPlaylists {
public:
    CPlaylists();
    virtual ~CPlaylists() = default;
    CPlaylists(const CPlaylists&) = delete;
    CPlaylists& operator=(const CPlaylists&) = delete;

    // Stores playlist under name, replacing an entry whose name differs only in case.
    void Add(const std::wstring& name, CPlaylist* playlist);
    void Remove(const std::wstring& name);
    // Gives the playlist of oldName the name newName (nothing when oldName is unknown).
    void Rename(const std::wstring& oldName, const std::wstring& newName);

    CPlaylist* GetByIndex(int index) const;
    int GetCount() const { return static_cast<int>(entries_.size()); }

    // Enumeration in the set's order: First starts it, Next goes on; null at the end.
    CPlaylist* First(std::wstring& name);
    CPlaylist* Next(std::wstring& name);

    // The key a name is stored under: its lower-case form, the same on every system ("İstanbul"
    // and "istanbul", the Kelvin sign and "k" give one key). Two names are one playlist exactly
    // when their keys are equal; the tree compares its nodes by this too.
    static std::wstring Key(const std::wstring& name);

private:
    using Map = std::map<std::wstring, CPlaylistsItem>;
    Map entries_;
    Map::iterator cursor_;
};
