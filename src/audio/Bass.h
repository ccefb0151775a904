#pragma once
// The audio calls the playback engine makes: output device set-up, module channels that decode
// to 32-bit float stereo, and user streams fed by a callback on the output thread. The names,
// constants, argument orders and results follow the BASS interface the engine is written against;
// the implementation is our own, on libopenmpt and the Windows audio API.
//
// Threads: every call may be made from any thread. A stream's STREAMPROC runs on the output
// thread; once BASS_ChannelStop or BASS_StreamFree has returned for a stream, its proc is not
// running and is never called again.

#include <windows.h>

#include <cstdint>

using QWORD = std::uint64_t;
using HMUSIC = DWORD;   // module channel handle
using HSTREAM = DWORD;  // user stream handle

// Output device description; `name` and `driver` are ANSI text owned by the back end.
struct BASS_DEVICEINFO {
    const char* name;
    const char* driver;
    DWORD flags;
};

// Channel description filled by BASS_ChannelGetInfo.
struct BASS_CHANNELINFO {
    DWORD freq;
    DWORD chans;
    DWORD flags;
    DWORD ctype;
    DWORD origres;
    DWORD plugin;
    DWORD sample;
    const char* filename;
};

// Fills `buffer` with up to `length` bytes; the result is the byte count written, with
// BASS_STREAMPROC_END or'ed in when the stream ends after those bytes.
typedef DWORD(CALLBACK STREAMPROC)(HSTREAM handle, void* buffer, DWORD length, void* user);

// Device flags (BASS_DEVICEINFO::flags).
constexpr DWORD BASS_DEVICE_ENABLED = 1;
constexpr DWORD BASS_DEVICE_DEFAULT = 2;
constexpr DWORD BASS_DEVICE_INIT = 4;

// Loading and channel flags.
constexpr DWORD BASS_MUSIC_LOOP = 4;
constexpr DWORD BASS_SAMPLE_FLOAT = 0x100;
constexpr DWORD BASS_MUSIC_RAMP = 0x200;
constexpr DWORD BASS_MUSIC_RAMPS = 0x400;
constexpr DWORD BASS_MUSIC_SURROUND = 0x800;
constexpr DWORD BASS_MUSIC_SURROUND2 = 0x1000;
constexpr DWORD BASS_MUSIC_PT1MOD = 0x4000;
constexpr DWORD BASS_MUSIC_NONINTER = 0x10000;
constexpr DWORD BASS_MUSIC_DECODE = 0x200000;
constexpr DWORD BASS_MUSIC_SINCINTER = 0x800000;
constexpr DWORD BASS_UNICODE = 0x80000000;

constexpr DWORD BASS_STREAMPROC_END = 0x80000000;

// Channel states (BASS_ChannelIsActive).
constexpr DWORD BASS_ACTIVE_STOPPED = 0;
constexpr DWORD BASS_ACTIVE_PLAYING = 1;
constexpr DWORD BASS_ACTIVE_STALLED = 2;
constexpr DWORD BASS_ACTIVE_PAUSED = 3;

constexpr DWORD BASS_POS_BYTE = 0;

// Attributes.
constexpr DWORD BASS_ATTRIB_VOL = 2;
constexpr DWORD BASS_ATTRIB_MUSIC_PANSEP = 0x101;

// Channel types (BASS_CHANNELINFO::ctype).
constexpr DWORD BASS_CTYPE_STREAM = 0x10000;
constexpr DWORD BASS_CTYPE_MUSIC_MOD = 0x20000;

// Opens output device `device` (-1 the system's default, 0 no sound, i >= 1 the i-th device
// of BASS_GetDeviceInfo) at `freq` Hz. Non-zero on success.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const void* clsid);
// Releases the device and every channel.
BOOL BASS_Free();
BOOL BASS_GetDeviceInfo(DWORD device, BASS_DEVICEINFO* info);
DWORD BASS_GetVersion();
// A call of this back end's own: true when the device stopped playing (unplugged, a driver
// that hung) and could not be opened again. Every stream has stopped; BASS_Free and BASS_Init
// start afresh.
BOOL BASS_IsDeviceLost();

// A decoding module channel from a file (`file` a wide path with BASS_UNICODE, otherwise an
// ANSI path) or from memory (`mem` true, `file` the image, `length` its size); 0 when the data
// is not a playable module. `freq` 0 means the output rate.
HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq);
BOOL BASS_MusicFree(HMUSIC handle);
// A call of this back end's own: makes the module channel play its sub-song `subsong` (0-based;
// a module that holds several songs reaches the others by starting at another order), from that
// sub-song's start. Decoding, looping, seeking and positions then stay within it. FALSE when
// the module has no such sub-song; the channel is then unchanged.
BOOL BASS_MusicSelectSubsong(HMUSIC handle, DWORD subsong);

HSTREAM BASS_StreamCreate(DWORD freq, DWORD chans, DWORD flags, STREAMPROC* proc, void* user);
BOOL BASS_StreamFree(HSTREAM handle);

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
BOOL BASS_ChannelPause(DWORD handle);
BOOL BASS_ChannelStop(DWORD handle);
DWORD BASS_ChannelIsActive(DWORD handle);
// Streams: the bytes the device has played. Module channels: the bytes decoded so far.
// (QWORD)-1 on failure.
QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode);
// Module channels: moves decoding to `pos` bytes from the start without decoding what lies
// before (the replayer's own seek, which lands on a row; the rest up to `pos` is decoded).
// BASS_POS_BYTE only.
BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode);
// Module channels: decodes whole frames into `buffer`; 0 at the end of a module that does not
// loop, (DWORD)-1 on failure.
DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length);
BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value);
BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info);
// Replaces the bits of `mask` by those of `flags`; the new flags, or (DWORD)-1 on failure.
DWORD BASS_ChannelFlags(DWORD handle, DWORD flags, DWORD mask);
