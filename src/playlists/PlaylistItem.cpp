#include "playlists/PlaylistItem.h"

#include <atomic>

namespace {
// Advanced by the tree-building thread and by the window thread, never at the same time;
// atomic all the same, as it costs nothing.
std::atomic<int32_t> serialCounter{0};
}  // namespace

CPlaylistItem::CPlaylistItem(int32_t id) : songId(id), serial(NextSerial()) {}

int32_t CPlaylistItem::NextSerial() {
    return ++serialCounter;
}
