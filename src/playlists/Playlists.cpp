#include "playlists/Playlists.h"

#include <windows.h>

CPlaylists::CPlaylists() : cursor_(entries_.end()) {}

std::wstring CPlaylists::Key(const std::wstring& name) {
    std::wstring key = name;
    if (!key.empty()) CharLowerBuffW(key.data(), static_cast<DWORD>(key.size()));
    return key;
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
