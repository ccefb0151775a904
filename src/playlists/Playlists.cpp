#include "playlists/Playlists.h"

#include <windows.h>

CPlaylists::CPlaylists() : cursor_(entries_.end()) {}

namespace {

// Letters that case rules take for another letter in one language or system and not in
// another: each becomes that letter, so that the rule below is the same everywhere.
wchar_t Fold(wchar_t c) {
    switch (c) {
    case 0x0130: return L'i';     // capital I with dot
    case 0x0131: return L'i';     // dotless i
    case 0x017F: return L's';     // long s
    case 0x212A: return L'k';     // Kelvin sign
    case 0x212B: return 0x00E5;   // Angstrom sign
    case 0x2126: return 0x03C9;   // Ohm sign
    case 0x1E9E: return 0x00DF;   // capital sharp s
    case 0x03C2: return 0x03C3;   // final sigma
    case 0x03D0: return 0x03B2;   // Greek symbol forms
    case 0x03D1: return 0x03B8;
    case 0x03D5: return 0x03C6;
    case 0x03D6: return 0x03C0;
    case 0x03F0: return 0x03BA;
    case 0x03F1: return 0x03C1;
    case 0x03F5: return 0x03B5;
    case 0x1FBE: return 0x03B9;
    }
    return c;
}

}  // namespace

// The lower-case form by the invariant rules (not the user's language: a Turkish system would
// otherwise order and match "I" differently), after the letters above are made alike. Names the
// file system takes for one file are one name here too.
std::wstring CPlaylists::Key(const std::wstring& name) {
    std::wstring key = name;
    for (wchar_t& c : key) c = Fold(c);
    const int n = static_cast<int>(key.size());
    std::wstring lower(key.size(), L'\0');
    if (n == 0 || LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, key.c_str(), n, lower.data(), n) != n)
        return key;
    return lower;
}

void CPlaylists::Add(const std::wstring& name, CPlaylist* playlist) {
    // Assigning in place keeps a running enumeration valid.
    entries_[Key(name)] = CPlaylistsItem(name, playlist);
}

void CPlaylists::Remove(const std::wstring& name) {
    auto it = entries_.find(Key(name));
    if (it == entries_.end()) return;
    // The enumeration goes on with the following entry rather than a dead one.
    if (cursor_ == it) {
        cursor_ = entries_.erase(it);
    } else {
        entries_.erase(it);
    }
}

void CPlaylists::Rename(const std::wstring& oldName, const std::wstring& newName) {
    auto it = entries_.find(Key(oldName));
    if (it == entries_.end()) return;
    CPlaylist* playlist = it->second.playlist;
    Remove(oldName);
    Add(newName, playlist);
}

CPlaylist* CPlaylists::GetByIndex(int index) const {
    if (index < 0 || index >= GetCount()) return nullptr;
    auto it = entries_.begin();
    std::advance(it, index);
    return it->second.playlist;
}

CPlaylist* CPlaylists::First(std::wstring& name) {
    cursor_ = entries_.begin();
    return Next(name);
}

CPlaylist* CPlaylists::Next(std::wstring& name) {
    if (cursor_ == entries_.end()) return nullptr;
    name = cursor_->second.name;
    CPlaylist* playlist = cursor_->second.playlist;
    ++cursor_;
    return playlist;
}
