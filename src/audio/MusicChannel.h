#pragma once
// A decoding module channel: one libopenmpt module rendering 32-bit float stereo at a fixed
// rate, with the playback options of the channel flags and the pan separation. Calls may come
// from any thread (the engine decodes on the output thread while the window thread changes
// options); a lock of the channel serialises them.

#include "audio/Bass.h"
#include "base/Lock.h"
#include "audio/Surround.h"

#include <cstddef>
#include <cstdint>
#include <memory>

struct openmpt_module;

namespace audio {

class CMusicChannel {
public:
    // Flags a loaded channel keeps and lets BASS_ChannelFlags change.
    static constexpr DWORD kChangeableFlags = BASS_MUSIC_LOOP | BASS_MUSIC_RAMP | BASS_MUSIC_RAMPS |
        BASS_MUSIC_SURROUND | BASS_MUSIC_SURROUND2 | BASS_MUSIC_NONINTER | BASS_MUSIC_SINCINTER |
        BASS_MUSIC_PT1MOD;

    // Loads a module image; null when libopenmpt cannot load it or it has nothing to play.
    static std::unique_ptr<CMusicChannel> Load(const std::uint8_t* data, std::size_t size, DWORD flags,
                                               DWORD rate);
    virtual ~CMusicChannel();
    CMusicChannel(const CMusicChannel&) = delete;
    CMusicChannel& operator=(const CMusicChannel&) = delete;

    // Plays sub-song `subsong` of the module from its start; false when there is no such
    // sub-song. Positions then count from the sub-song's start.
    bool SelectSubsong(DWORD subsong);
    // Decodes up to `bytes` (whole frames) into `buffer`; the bytes written, 0 at the end.
    DWORD GetData(void* buffer, DWORD bytes);
    // Replaces the bits of `mask` (within kChangeableFlags) by those of `flags`; the new flags.
    DWORD SetFlags(DWORD flags, DWORD mask);
    DWORD GetFlags();
    void SetPanSeparation(float percent);  // 0 mono, 50 the module's own, 100 widest
    void SetVolume(float volume);
    QWORD GetPosition();  // bytes decoded so far
    // Goes to `bytes` from the start: the replayer seeks to the row at or before it, and the
    // rest is decoded and dropped, so that what follows is the sound from `bytes` on.
    bool SetPosition(QWORD bytes);
    DWORD GetRate() const { return rate_; }
    DWORD GetType() const { return type_; }

private:
    CMusicChannel(openmpt_module* module, DWORD rate, DWORD type);
    void ApplyFlags();  // with the lock held

    CLock lock_;                // guards everything below
    openmpt_module* module_;    // owned
    const DWORD rate_;
    const DWORD type_;          // BASS_CTYPE_MUSIC_* of the format
    DWORD flags_ = 0;
    float volume_ = 1.0f;
    QWORD decoded_ = 0;
    CSurround surround_;
};

}  // namespace audio
