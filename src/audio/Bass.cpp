// The BASS-style entry points: each forwards to the one CAudioSystem and keeps every C++
// exception (in practice std::bad_alloc) inside, reporting it as a failure.

#include "audio/Bass.h"

#include "audio/AudioSystem.h"

#include <exception>

using audio::CAudioSystem;

namespace {
template <typename F, typename R>
R Guarded(F f, R failure) {
    try {
        return f();
    } catch (...) {
        return failure;
    }
}
CAudioSystem& System() { return CAudioSystem::Instance(); }
}  // namespace

BOOL BASS_Init(int device, DWORD freq, DWORD, HWND, const void*) {
    return Guarded([&] { return BOOL(System().Init(device, freq)); }, BOOL(FALSE));
}

BOOL BASS_Free() { return Guarded([] { return BOOL(System().Free()); }, BOOL(FALSE)); }

BOOL BASS_GetDeviceInfo(DWORD device, BASS_DEVICEINFO* info) {
    return Guarded([&] { return BOOL(System().GetDeviceInfo(device, info)); }, BOOL(FALSE));
}

DWORD BASS_GetVersion() { return CAudioSystem::kVersion; }

BOOL BASS_IsDeviceLost() {
    return Guarded([] { return BOOL(System().IsDeviceLost()); }, BOOL(FALSE));
}

HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD freq) {
    return Guarded([&] { return System().MusicLoad(mem != FALSE, file, offset, length, flags, freq); }, HMUSIC(0));
}

BOOL BASS_MusicFree(HMUSIC handle) {
    return Guarded([&] { return BOOL(System().MusicFree(handle)); }, BOOL(FALSE));
}

BOOL BASS_MusicSelectSubsong(HMUSIC handle, DWORD subsong) {
    return Guarded([&] { return BOOL(System().SelectSubsong(handle, subsong)); }, BOOL(FALSE));
}

HSTREAM BASS_StreamCreate(DWORD freq, DWORD chans, DWORD flags, STREAMPROC* proc, void* user) {
    return Guarded([&] { return System().StreamCreate(freq, chans, flags, proc, user); }, HSTREAM(0));
}

BOOL BASS_StreamFree(HSTREAM handle) {
    return Guarded([&] { return BOOL(System().StreamFree(handle)); }, BOOL(FALSE));
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
    return Guarded([&] { return BOOL(System().Play(handle, restart != FALSE)); }, BOOL(FALSE));
}

BOOL BASS_ChannelPause(DWORD handle) {
    return Guarded([&] { return BOOL(System().Pause(handle)); }, BOOL(FALSE));
}

BOOL BASS_ChannelStop(DWORD handle) {
    return Guarded([&] { return BOOL(System().Stop(handle)); }, BOOL(FALSE));
}

DWORD BASS_ChannelIsActive(DWORD handle) {
    return Guarded([&] { return System().IsActive(handle); }, BASS_ACTIVE_STOPPED);
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
    return Guarded([&] { return System().GetPosition(handle, mode); }, QWORD(-1));
}

BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode) {
    return Guarded([&] { return BOOL(System().SetPosition(handle, pos, mode)); }, BOOL(FALSE));
}

DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
    return Guarded([&] { return System().GetData(handle, buffer, length); }, DWORD(-1));
}

BOOL BASS_ChannelSetAttribute(DWORD handle, DWORD attrib, float value) {
    return Guarded([&] { return BOOL(System().SetAttribute(handle, attrib, value)); }, BOOL(FALSE));
}

BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info) {
    return Guarded([&] { return BOOL(System().GetInfo(handle, info)); }, BOOL(FALSE));
}

DWORD BASS_ChannelFlags(DWORD handle, DWORD flags, DWORD mask) {
    return Guarded([&] { return System().Flags(handle, flags, mask); }, DWORD(-1));
}
