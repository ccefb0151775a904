#include "app/MediaKeys.h"

#include "app/Ids.h"

#include <iterator>

namespace {

struct MediaKey {
    UINT key;       // virtual key
    int hotKeyId;   // the id it is registered under (0x0000..0xBFFF for a program)
    UINT command;
    short appCommand;
};

constexpr MediaKey kKeys[] = {
    {VK_MEDIA_PLAY_PAUSE, 0x7101, ID_PLAY, APPCOMMAND_MEDIA_PLAY_PAUSE},
    {VK_MEDIA_STOP, 0x7102, ID_STOP, APPCOMMAND_MEDIA_STOP},
    {VK_MEDIA_NEXT_TRACK, 0x7103, ID_NEXT, APPCOMMAND_MEDIA_NEXTTRACK},
    {VK_MEDIA_PREV_TRACK, 0x7104, ID_PREVIOUS, APPCOMMAND_MEDIA_PREVIOUSTRACK},
};

}  // namespace

CMediaKeys::~CMediaKeys() { Unregister(); }

int CMediaKeys::Register(HWND window) {
    Unregister();
    window_ = window;
    int count = 0;
    for (size_t i = 0; i < std::size(kKeys); i++) {
        // Fails when another program (a media player, the keyboard's own tool) holds the key.
        registered_[i] = RegisterHotKey(window, kKeys[i].hotKeyId, MOD_NOREPEAT, kKeys[i].key) != FALSE;
        if (registered_[i]) count++;
    }
    return count;
}

void CMediaKeys::Unregister() {
    for (size_t i = 0; i < std::size(kKeys); i++) {
        if (registered_[i]) UnregisterHotKey(window_, kKeys[i].hotKeyId);
        registered_[i] = false;
    }
    window_ = nullptr;
}

UINT CMediaKeys::CommandOfHotKey(WPARAM id) {
    for (const MediaKey& key : kKeys)
        if (WPARAM(key.hotKeyId) == id) return key.command;
    return 0;
}

int CMediaKeys::HotKeyIdOf(UINT virtualKey) {
    for (const MediaKey& key : kKeys)
        if (key.key == virtualKey) return key.hotKeyId;
    return 0;
}

UINT CMediaKeys::CommandOfAppCommand(LPARAM lp) {
    const short command = GET_APPCOMMAND_LPARAM(lp);
    for (const MediaKey& key : kKeys)
        if (key.appCommand == command) return key.command;
    return 0;
}
