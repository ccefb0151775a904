#pragma once
// One entry of a playlist: a song id plus a serial number unique in the running program,
// so that two entries of the same song can be told apart.

#include <cstdint>

class CPlaylistItem {
public:
    CPlaylistItem() = default;
    // Makes an entry for songId with the next serial number.
    explicit CPlaylistItem(int32_t songId);
    virtual ~CPlaylistItem() = default;
    CPlaylistItem(const CPlaylistItem&) = default;
    CPlaylistItem& operator=(const CPlaylistItem&) = default;

    // The next serial number; the first is 1 and none is ever reused.
    static int32_t NextSerial();

    int32_t songId = 0;
    int32_t serial = 0;
};
