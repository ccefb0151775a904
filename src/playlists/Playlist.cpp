#define _CRT_RAND_S
#include <stdlib.h>

#include "playlists/Playlist.h"

#include "library/Library.h"
#include "library/XMLWriter.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <cstring>
#include <cwctype>
#include <numeric>
#include <string>
#include <unordered_set>

namespace {

const CLibrary* sortLibrary = nullptr;

bool IsTextColumn(int column) {
    return column == CPlaylist::kFileName || column == CPlaylist::kArtistColumn ||
           column == CPlaylist::kTitle || column == CPlaylist::kVersion;
}

std::wstring_view SortText(const CSong& song, int column) {
    switch (column) {
    case CPlaylist::kFileName: return song.FileName();
    case CPlaylist::kArtistColumn: return song.DisplayArtist();
    case CPlaylist::kTitle: return song.DisplayTitle();
    case CPlaylist::kVersion: return song.Tool();
    }
    return {};
}

// Texts compare by their UTF-16 codes with only the ASCII letters folded, so the order is
// the same on every system whatever its locale; a prefix is the smaller.
void AppendFolded(std::wstring& to, std::wstring_view text) {
    for (wchar_t c : text) to += c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c;
}

// A float as an unsigned key in the same order. A damaged catalogue may hold "nan"; it sorts
// below every number so that the order stays consistent. -0 and 0 are one number.
uint64_t RealKey(float value) {
    if (std::isnan(value)) return 0;
    value += 0.0f;
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    bits = (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
    return uint64_t{bits} + 1;
}

// Counts and sizes compare as unsigned numbers, times and levels as floats.
uint64_t NumberKey(const CSong& song, int column) {
    switch (column) {
    case CPlaylist::kSize: return static_cast<uint32_t>(song.size);
    case CPlaylist::kChannels: return static_cast<uint32_t>(song.channels);
    case CPlaylist::kInstruments: return static_cast<uint32_t>(song.instruments);
    case CPlaylist::kType: return static_cast<uint32_t>(song.type);
    case CPlaylist::kDuration: return RealKey(song.PlayLength());
    case CPlaylist::kPeak: return RealKey(song.peak);
    case CPlaylist::kRms: return RealKey(song.rms);
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
    ordered_ = false;
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
        ordered_ = false;
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
    ordered_ = false;
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

// Each entry's key is made once, a folded copy of its text or a number, instead of the songs
// being looked up and their texts folded again at every comparison: 100,000 entries then sort
// in a fraction of the time. The entries change in one step at the end.
void CPlaylist::Sort(int column, bool descending) {
    // A stable sort by the keys the entries are already in order of changes nothing.
    const bool inOrder = ordered_ && column == sortColumn_ && descending == descending_;
    sortColumn_ = column;
    descending_ = descending;
    if (inOrder) return;
    ordered_ = false;
    if (items_.empty() || column < kFileName || column > kRms || !sortLibrary) return;
    const size_t n = items_.size();
    std::vector<const CSong*> songs(n);
    for (size_t i = 0; i < n; ++i) songs[i] = sortLibrary->GetSong(items_[i].songId);
    std::vector<uint32_t> order(n);
    std::iota(order.begin(), order.end(), 0u);
    // An entry without a song goes after every entry with one, in either direction.
    const auto withSongs = std::stable_partition(order.begin(), order.end(),
                                                 [&songs](uint32_t i) { return songs[i] != nullptr; });
    if (IsTextColumn(column)) {
        std::wstring folded;
        std::vector<uint32_t> at(n + 1), length(n);
        for (auto i = order.begin(); i != withSongs; ++i) {
            at[*i] = static_cast<uint32_t>(folded.size());
            AppendFolded(folded, SortText(*songs[*i], column));
            length[*i] = static_cast<uint32_t>(folded.size()) - at[*i];
        }
        const std::wstring_view all(folded);
        auto text = [&](uint32_t i) { return all.substr(at[i], length[i]); };
        if (descending)
            std::stable_sort(order.begin(), withSongs, [&](uint32_t a, uint32_t b) { return text(b) < text(a); });
        else
            std::stable_sort(order.begin(), withSongs, [&](uint32_t a, uint32_t b) { return text(a) < text(b); });
    } else {
        std::vector<uint64_t> keys(n);
        for (auto i = order.begin(); i != withSongs; ++i) keys[*i] = NumberKey(*songs[*i], column);
        if (descending)
            std::stable_sort(order.begin(), withSongs, [&](uint32_t a, uint32_t b) { return keys[b] < keys[a]; });
        else
            std::stable_sort(order.begin(), withSongs, [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
    }
    std::vector<CPlaylistItem> sorted;
    sorted.reserve(n);
    for (uint32_t i : order) sorted.push_back(items_[i]);
    CLockGuard guard(EntriesLock());
    items_.swap(sorted);
    ordered_ = true;
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
    ordered_ = false;
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
