#pragma once
// One song of the output stream: the playlist entry it was loaded for and where its sound
// begins in the stream, so that the stream's audible position can be told as song and second.

#include <cstdint>

class COutputItem {
public:
    COutputItem() = default;
    COutputItem(int32_t itemSongId, int32_t itemSerial) : songId(itemSongId), serial(itemSerial) {}
    virtual ~COutputItem() = default;
    COutputItem(const COutputItem&) = default;
    COutputItem& operator=(const COutputItem&) = default;

    void Clear();

    int32_t songId = 0;       // library id; 0 = none
    int32_t serial = 0;       // playlist entry serial; the song id in whole-library random play
    int64_t streamStart = 0;  // bytes delivered to the stream before the song's first byte
    int64_t startOffset = 0;  // bytes of the song after its lead-in skipped at its start
};
