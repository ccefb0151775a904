#define _CRT_RAND_S
#include <stdlib.h>

#include "playlists/Playlist.h"

#include "library/Library.h"
#include "library/XMLWriter.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <cwctype>
#include <string>
#include <unordered_set>

namespace {

const CLibrary* sortLibrary = nullptr;

// Texts compare by their UTF-16 codes with only the ASCII letters folded, so the order is
// the same on every system whatever its locale; a prefix is the smaller.
int CompareText(std::wstring_view a, std::wstring_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x + 32);
        if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y + 32);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int CompareUnsigned(int32_t a, int32_t b) {
    uint32_t x = static_cast<uint32_t>(a), y = static_cast<uint32_t>(b);
    return x == y ? 0 : (x < y ? -1 : 1);
}

// A damaged catalogue may hold "nan"; it sorts below every number so that the order
// stays consistent.
int CompareReal(float a, float b) {
    bool na = std::isnan(a), nb = std::isnan(b);
    if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
    return a == b ? 0 : (a < b ? -1 : 1);
}

int CompareSongs(const CSong& a, const CSong& b, int column) {
    switch (column) {
    case CPlaylist::kFileName: return CompareText(a.FileName(), b.FileName());
    case CPlaylist::kArtistColumn: return CompareText(a.DisplayArtist(), b.DisplayArtist());
    case CPlaylist::kTitle: return CompareText(a.DisplayTitle(), b.DisplayTitle());
    case CPlaylist::kSize: return CompareUnsigned(a.size, b.size);
    case CPlaylist::kChannels: return CompareUnsigned(a.channels, b.channels);
    case CPlaylist::kInstruments: return CompareUnsigned(a.instruments, b.instruments);
    case CPlaylist::kType: return CompareUnsigned(a.type, b.type);
    case CPlaylist::kVersion: return CompareText(a.Tool(), b.Tool());
    case CPlaylist::kDuration: return CompareReal(a.PlayLength(), b.PlayLength());
    case CPlaylist::kPeak: return CompareReal(a.peak, b.peak);
    case CPlaylist::kRms: return CompareReal(a.rms, b.rms);
    }
    return 0;
}

}  // namespace

CPlaylist::CPlaylist(int kind) : kind_(kind) {}

CPlaylist::~CPlaylist() = default;

void CPlaylist::SetLibrary(const CLibrary* library) {
    sortLibrary = library;
}

int CPlaylist::GetIdAt(int index) const {
    return index >= 0 && index < GetCount() ? items_[index].songId : 0;
}

int CPlaylist::GetSerialAt(int index) const {
    return index >= 0 && index < GetCount() ? items_[index].serial : 0;
}

int CPlaylist::GetLastSerial() const {
    return items_.empty() ? 0 : items_.back().serial;
}

int CPlaylist::IndexOfSong(int songId) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].songId == songId) return static_cast<int>(i);
    }
    return -1;
}

int CPlaylist::IndexOfSerial(int serial) const {
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].serial == serial) return static_cast<int>(i);
    }
    return -1;
}

CLock& CPlaylist::EntriesLock() {
    static CLock lock;
    return lock;
}

int CPlaylist::Add(int songId, bool allowDuplicate) {
    CLockGuard guard(EntriesLock());
    if (!allowDuplicate) {
        int index = IndexOfSong(songId);
        if (index >= 0) return index;
    }
    items_.emplace_back(songId);
    sortColumn_ = 0;
    return GetCount() - 1;
}

void CPlaylist::AddAll(const CPlaylist* other, bool allowDuplicate) {
    if (!other) return;
    CLockGuard guard(EntriesLock());
    // Walk a copy of the ids: adding a playlist to itself must not chase its own tail.
    std::vector<int> ids;
    ids.reserve(other->items_.size());
    for (const CPlaylistItem& item : other->items_) {
        if (item.songId == 0) break;
        ids.push_back(item.songId);
    }
    if (ids.empty()) return;
    // One set of the songs present instead of a search of the whole list per song: adding a
    // search result of many thousand songs to the favourites takes moments, not seconds.
    std::unordered_set<int> present;
    if (!allowDuplicate) {
        present.reserve(items_.size() + ids.size());
        for (const CPlaylistItem& item : items_) present.insert(item.songId);
    }
    items_.reserve(items_.size() + ids.size());
    for (int id : ids) {
        if (!allowDuplicate && !present.insert(id).second) continue;
        items_.emplace_back(id);
        sortColumn_ = 0;
    }
}

void CPlaylist::RemoveAt(int index) {
    if (index < 0 || index >= GetCount()) return;
    CLockGuard guard(EntriesLock());
    items_.erase(items_.begin() + index);
}

void CPlaylist::Move(int from, int to) {
    CLockGuard guard(EntriesLock());
    sortColumn_ = 0;
    int count = GetCount();
    if (from < 0 || from >= count) return;
    if (to < 0) to = 0;
    // One neighbour at a time; a target beyond the end stops at the last entry.
    while (from < to && from + 1 < count) {
        std::swap(items_[from], items_[from + 1]);
        ++from;
    }
    while (from > to) {
        std::swap(items_[from], items_[from - 1]);
        --from;
    }
}

void CPlaylist::Sort(int column, bool descending) {
    sortColumn_ = column;
    descending_ = descending;
    if (items_.empty() || column < kFileName || column > kRms || !sortLibrary) return;
    const CLibrary* library = sortLibrary;
    CLockGuard guard(EntriesLock());
    // An entry without a song goes after every entry with one, in either direction.
    std::stable_sort(items_.begin(), items_.end(),
                     [library, column, descending](const CPlaylistItem& x, const CPlaylistItem& y) {
                         const CSong* a = library->GetSong(x.songId);
                         const CSong* b = library->GetSong(y.songId);
                         if (!a) return false;
                         if (!b) return true;
                         int order = CompareSongs(*a, *b, column);
                         return descending ? order > 0 : order < 0;
                     });
}

void CPlaylist::GetSortState(int& column, bool& descending) const {
    column = sortColumn_;
    descending = descending_;
}

bool CPlaylist::PickRandomEntry(int currentSerial, bool resetWhenExhausted, int& serial,
                                int& songId) {
    CLockGuard guard(EntriesLock());
    if (currentSerial != 0) played_.insert(currentSerial);
    serial = songId = 0;
    unsigned n = static_cast<unsigned>(items_.size());
    if (n == 0) return false;
    for (int tries = 100; --tries > 0;) {
        unsigned value = 0;
        rand_s(&value);
        const CPlaylistItem& item = items_[value % n];
        serial = item.serial;
        songId = item.songId;
        if (played_.insert(item.serial).second) return true;
    }
    if (resetWhenExhausted) {
        played_.clear();
        return PickRandomEntry(currentSerial, false, serial, songId);
    }
    return true;  // every draw hit a played entry: the last one stays
}

bool CPlaylist::Load(const wchar_t* path) {
    CLockGuard guard(EntriesLock());
    loadedSort_ = 0;
    descending_ = false;
    sortColumn_ = 0;
    items_.clear();
    currentElement_ = Element::None;
    const bool opened = Open(path, 0);
    // The reader's buffers are made for the catalogue; a playlist that stays loaded for the
    // whole run keeps none of them.
    ReleaseBuffers();
    if (!opened) return false;
    if (loadedSort_ != 0) Sort(loadedSort_, descending_);
    return true;
}

bool CPlaylist::Save(const wchar_t* path) const {
    CXMLWriter writer;
    if (!writer.Create(path)) return false;
    writer.WriteElement(L"PLAYLIST", nullptr, false);
    if (sortColumn_ != 0) writer.WriteIntElement(L"SORT", sortColumn_ + (descending_ ? 256 : 0));
    for (int i = 0, id; (id = GetIdAt(i)) != 0; ++i) writer.WriteIntElement(L"ID", id);
    writer.WriteElement(L"PLAYLIST", nullptr, true);
    return writer.Commit();
}

bool CPlaylist::OnElementStart(const wchar_t* name) {
    if (_wcsicmp(name, L"ID") == 0) {
        currentElement_ = Element::Id;
    } else if (_wcsicmp(name, L"SORT") == 0) {
        currentElement_ = Element::Sort;
    } else {
        currentElement_ = Element::None;
    }
    return true;
}

bool CPlaylist::OnElementEnd(const wchar_t*) {
    currentElement_ = Element::None;
    return true;
}

bool CPlaylist::OnText(const wchar_t* text) {
    switch (currentElement_) {
    case Element::Id: {
        // An entry that names no song (0, a negative or no number) is skipped: as an id of 0
        // it would end every walk of the playlist there, and the next save would drop the
        // entries after it.
        wchar_t* end = nullptr;
        long id = wcstol(text, &end, 10);
        while (end && iswspace(*end)) ++end;
        if (end != text && end && *end == 0 && id > 0) Add(static_cast<int>(id), true);
        break;
    }
    case Element::Sort: {
        int value = static_cast<int>(wcstol(text, nullptr, 10));
        loadedSort_ = value;
        if (value & 256) {
            loadedSort_ = value & 0xFF;
            descending_ = true;
        }
        break;
    }
    case Element::None: break;
    }
    return true;
}
