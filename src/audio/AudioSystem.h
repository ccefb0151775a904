#pragma once
// The state behind the BASS-style calls: the open output device with its mixer thread and the
// table of channel handles. One instance per process, as the calls are free functions.
//
// Lock order: `lock_` (the table and the device) may be held while taking a channel's or the
// mixer's own lock, never the other way round, and is never held while waiting for a stream's
// proc, because a proc may itself make calls that take it.

#include "audio/Bass.h"
#include "base/Lock.h"
#include "audio/Mixer.h"
#include "audio/MusicChannel.h"
#include "audio/StreamChannel.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace audio {

class CAudioSystem {
public:
    // Version of this back end, one part per byte, major part in the most significant byte.
    static constexpr DWORD kVersion = 0x01000000;

    static CAudioSystem& Instance();
    virtual ~CAudioSystem() = default;

    bool Init(int device, DWORD rate);
    bool Free();
    bool GetDeviceInfo(DWORD device, BASS_DEVICEINFO* info);
    bool IsDeviceLost();

    HMUSIC MusicLoad(bool mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD rate);
    bool MusicFree(HMUSIC handle);
    bool SelectSubsong(HMUSIC handle, DWORD subsong);
    HSTREAM StreamCreate(DWORD rate, DWORD chans, DWORD flags, STREAMPROC* proc, void* user);
    bool StreamFree(HSTREAM handle);

    bool Play(DWORD handle, bool restart);
    bool Pause(DWORD handle);
    bool Stop(DWORD handle);
    DWORD IsActive(DWORD handle);
    QWORD GetPosition(DWORD handle, DWORD mode);
    bool SetPosition(DWORD handle, QWORD pos, DWORD mode);
    DWORD GetData(DWORD handle, void* buffer, DWORD length);
    bool SetAttribute(DWORD handle, DWORD attrib, float value);
    bool GetInfo(DWORD handle, BASS_CHANNELINFO* info);
    DWORD Flags(DWORD handle, DWORD flags, DWORD mask);

private:
    struct Channel {
        std::shared_ptr<CMusicChannel> music;
        std::shared_ptr<CStreamChannel> stream;
    };

    CAudioSystem() = default;
    DWORD NewHandle();                                   // with lock_ held
    std::shared_ptr<CMusicChannel> Music(DWORD handle);
    std::shared_ptr<CStreamChannel> Stream(DWORD handle);
    // Drops what the device has queued; called without lock_, as the mixer may be inside a
    // proc that makes calls of its own.
    void Flush();
    bool ReadFile(const void* file, bool unicode, QWORD offset, DWORD length, std::string& data);

    CLock lock_;                           // guards everything below
    bool initialised_ = false;
    int device_ = 0;                       // the device opened, as numbered by GetDeviceInfo
    DWORD rate_ = 0;
    std::shared_ptr<CMixer> mixer_;
    std::map<DWORD, Channel> channels_;
    DWORD lastHandle_ = 0;
    std::map<DWORD, std::string> names_;   // device names handed out; kept while unchanged
};

}  // namespace audio
