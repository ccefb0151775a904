#include "audio/AudioSystem.h"

#include "audio/SilentDevice.h"
#include "audio/WaveOutDevice.h"

#include <new>
#include <vector>

namespace audio {
namespace {

constexpr DWORD kMinRate = 8000;
constexpr DWORD kMaxRate = 384000;
constexpr QWORD kMaxModuleBytes = 256ull << 20;  // far above any tracker module
const char kNoSoundName[] = "No sound";
const char kNoDriver[] = "";

}  // namespace

CAudioSystem& CAudioSystem::Instance() {
    static CAudioSystem system;
    return system;
}

DWORD CAudioSystem::NewHandle() {
    // Handles are not reused, so a stale handle never reaches a newer channel.
    do {
        lastHandle_++;
    } while (lastHandle_ == 0 || lastHandle_ == DWORD(-1) || channels_.count(lastHandle_));
    return lastHandle_;
}

bool CAudioSystem::Init(int device, DWORD rate) {
    if (rate < kMinRate || rate > kMaxRate) return false;
    CLockGuard guard(lock_);
    if (initialised_) return false;
    UINT count = CWaveOutDevice::Count();
    std::unique_ptr<COutputDevice> output;
    int opened = device;
    if (device == -1) {
        // The default device; a machine without any plays silently at real-time pace.
        if (count == 0) {
            output = std::make_unique<CSilentDevice>();
            opened = 0;
        } else {
            output = std::make_unique<CWaveOutDevice>(WAVE_MAPPER);
            opened = 1;
        }
    } else if (device == 0) {
        output = std::make_unique<CSilentDevice>();
    } else if (device >= 1 && UINT(device) <= count) {
        output = std::make_unique<CWaveOutDevice>(UINT(device - 1));
    } else {
        return false;
    }
    auto mixer = std::make_shared<CMixer>(std::move(output));
    if (!mixer->Start(rate)) return false;
    mixer_ = std::move(mixer);
    initialised_ = true;
    device_ = opened;
    rate_ = rate;
    return true;
}

bool CAudioSystem::Free() {
    std::shared_ptr<CMixer> mixer;
    std::map<DWORD, Channel> channels;
    {
        CLockGuard guard(lock_);
        if (!initialised_) return false;
        // From inside a proc the output thread would have to wait for itself.
        if (mixer_->IsOutputThread()) return false;
        initialised_ = false;
        mixer = std::move(mixer_);
        channels.swap(channels_);
    }
    for (auto& [handle, channel] : channels)
        if (channel.stream) channel.stream->Stop();
    mixer.reset();  // joins the output thread
    return true;
}

bool CAudioSystem::IsDeviceLost() {
    CLockGuard guard(lock_);
    return initialised_ && mixer_->IsLost();
}

void CAudioSystem::Flush() {
    std::shared_ptr<CMixer> mixer;
    {
        CLockGuard guard(lock_);
        mixer = mixer_;
    }
    if (mixer && !mixer->IsOutputThread()) mixer->Flush();
}

bool CAudioSystem::GetDeviceInfo(DWORD device, BASS_DEVICEINFO* info) {
    if (!info) return false;
    CLockGuard guard(lock_);
    DWORD flags = BASS_DEVICE_ENABLED;
    if (initialised_ && device_ == int(device)) flags |= BASS_DEVICE_INIT;
    if (device == 0) {
        info->name = kNoSoundName;
        info->driver = kNoDriver;
        info->flags = flags;
        return true;
    }
    if (device > CWaveOutDevice::Count()) return false;
    std::string name = CWaveOutDevice::Name(device - 1);
    if (name.empty()) return false;
    std::string& kept = names_[device];
    if (kept != name) kept = name;  // a changed name gets new storage; an unchanged one keeps its pointer
    info->name = kept.c_str();
    info->driver = kNoDriver;
    info->flags = flags | (device == 1 ? BASS_DEVICE_DEFAULT : 0);
    return true;
}

bool CAudioSystem::ReadFile(const void* file, bool unicode, QWORD offset, DWORD length, std::string& data) {
    HANDLE h = unicode ? CreateFileW(static_cast<const wchar_t*>(file), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                       : CreateFileA(static_cast<const char*>(file), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = false;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(h, &size) && QWORD(size.QuadPart) > offset) {
        QWORD available = QWORD(size.QuadPart) - offset;
        QWORD want = length ? std::min<QWORD>(length, available) : available;
        LARGE_INTEGER at{};
        at.QuadPart = LONGLONG(offset);
        if (want <= kMaxModuleBytes && SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) {
            data.resize(want);
            DWORD read = 0;
            ok = ::ReadFile(h, data.data(), DWORD(want), &read, nullptr) && read == want;
        }
    }
    CloseHandle(h);
    return ok;
}

HMUSIC CAudioSystem::MusicLoad(bool mem, const void* file, QWORD offset, DWORD length, DWORD flags, DWORD rate) {
    if (!file) return 0;
    {
        CLockGuard guard(lock_);
        if (!initialised_) return 0;
        if (rate == 0) rate = rate_;
    }
    if (rate < kMinRate || rate > kMaxRate) return 0;
    std::string data;
    const std::uint8_t* image = nullptr;
    std::size_t size = 0;
    if (mem) {
        if (length == 0) return 0;
        image = static_cast<const std::uint8_t*>(file) + offset;
        size = length;
    } else {
        if (!ReadFile(file, (flags & BASS_UNICODE) != 0, offset, length, data)) return 0;
        image = reinterpret_cast<const std::uint8_t*>(data.data());
        size = data.size();
    }
    // Decoding channels only: the engine pulls module data through its own stream.
    std::shared_ptr<CMusicChannel> music = CMusicChannel::Load(image, size, flags | BASS_MUSIC_DECODE, rate);
    if (!music) return 0;
    CLockGuard guard(lock_);
    if (!initialised_) return 0;  // freed while loading
    DWORD handle = NewHandle();
    channels_[handle].music = std::move(music);
    return handle;
}

bool CAudioSystem::MusicFree(HMUSIC handle) {
    std::shared_ptr<CMusicChannel> music;  // released outside the lock
    CLockGuard guard(lock_);
    auto it = channels_.find(handle);
    if (it == channels_.end() || !it->second.music) return false;
    music = std::move(it->second.music);
    channels_.erase(it);
    return true;
}

bool CAudioSystem::SelectSubsong(HMUSIC handle, DWORD subsong) {
    auto music = Music(handle);
    return music && music->SelectSubsong(subsong);
}

HSTREAM CAudioSystem::StreamCreate(DWORD rate, DWORD chans, DWORD flags, STREAMPROC* proc, void* user) {
    // The mixer plays float stereo at the output rate and does not convert.
    if (!proc || chans != 2 || !(flags & BASS_SAMPLE_FLOAT)) return 0;
    CLockGuard guard(lock_);
    if (!initialised_ || rate != rate_) return 0;
    DWORD handle = NewHandle();
    auto stream = std::make_shared<CStreamChannel>(handle, rate, proc, user);
    stream->Reserve(mixer_->FramesPerBuffer());
    mixer_->Add(stream);
    channels_[handle].stream = std::move(stream);
    return handle;
}

bool CAudioSystem::StreamFree(HSTREAM handle) {
    std::shared_ptr<CStreamChannel> stream;
    {
        CLockGuard guard(lock_);
        auto it = channels_.find(handle);
        if (it == channels_.end() || !it->second.stream) return false;
        stream = std::move(it->second.stream);
        channels_.erase(it);
        mixer_->Remove(stream.get());
    }
    stream->Stop();  // outside the lock: a running proc may be making calls of its own
    Flush();
    return true;
}

std::shared_ptr<CMusicChannel> CAudioSystem::Music(DWORD handle) {
    CLockGuard guard(lock_);
    auto it = channels_.find(handle);
    return it == channels_.end() ? nullptr : it->second.music;
}

std::shared_ptr<CStreamChannel> CAudioSystem::Stream(DWORD handle) {
    CLockGuard guard(lock_);
    auto it = channels_.find(handle);
    return it == channels_.end() ? nullptr : it->second.stream;
}

bool CAudioSystem::Play(DWORD handle, bool restart) {
    auto stream = Stream(handle);
    return stream && stream->Play(restart);  // module channels decode only
}

bool CAudioSystem::Pause(DWORD handle) {
    auto stream = Stream(handle);
    if (!stream || stream->IsActive() == BASS_ACTIVE_STOPPED) return false;
    stream->Pause();
    Flush();
    return true;
}

bool CAudioSystem::Stop(DWORD handle) {
    auto stream = Stream(handle);
    if (!stream) return false;
    stream->Stop();
    Flush();
    return true;
}

DWORD CAudioSystem::IsActive(DWORD handle) {
    if (auto stream = Stream(handle)) return stream->IsActive();
    return BASS_ACTIVE_STOPPED;
}

QWORD CAudioSystem::GetPosition(DWORD handle, DWORD mode) {
    if (mode != BASS_POS_BYTE) return QWORD(-1);
    if (auto stream = Stream(handle)) return stream->GetPosition();
    if (auto music = Music(handle)) return music->GetPosition();
    return QWORD(-1);
}

bool CAudioSystem::SetPosition(DWORD handle, QWORD pos, DWORD mode) {
    if (mode != BASS_POS_BYTE) return false;
    auto music = Music(handle);
    return music && music->SetPosition(pos);
}

DWORD CAudioSystem::GetData(DWORD handle, void* buffer, DWORD length) {
    auto music = Music(handle);
    if (!music || !buffer) return DWORD(-1);
    return music->GetData(buffer, length & 0x0FFFFFFF);  // the top bits are request flags
}

bool CAudioSystem::SetAttribute(DWORD handle, DWORD attrib, float value) {
    if (auto stream = Stream(handle)) {
        if (attrib != BASS_ATTRIB_VOL) return false;
        stream->SetVolume(value);
        return true;
    }
    if (auto music = Music(handle)) {
        if (attrib == BASS_ATTRIB_VOL) music->SetVolume(value);
        else if (attrib == BASS_ATTRIB_MUSIC_PANSEP) music->SetPanSeparation(value);
        else return false;
        return true;
    }
    return false;
}

bool CAudioSystem::GetInfo(DWORD handle, BASS_CHANNELINFO* info) {
    if (!info) return false;
    *info = BASS_CHANNELINFO{};
    info->chans = 2;
    info->origres = 32;
    if (auto stream = Stream(handle)) {
        info->freq = stream->GetRate();
        info->flags = BASS_SAMPLE_FLOAT;
        info->ctype = BASS_CTYPE_STREAM;
        return true;
    }
    if (auto music = Music(handle)) {
        info->freq = music->GetRate();
        info->flags = music->GetFlags();
        info->ctype = music->GetType();
        return true;
    }
    return false;
}

DWORD CAudioSystem::Flags(DWORD handle, DWORD flags, DWORD mask) {
    if (auto music = Music(handle)) return music->SetFlags(flags, mask);
    if (Stream(handle)) return BASS_SAMPLE_FLOAT;
    return DWORD(-1);
}

}  // namespace audio
