#include "playback/Output.h"

#include "app/Settings.h"
#include "library/Library.h"
#include "net/Cache.h"
#include "net/Net.h"
#include "playlists/Playlist.h"
#include "ui/frame/WndStatus.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace {

constexpr int64_t kFrameBytes = 8;  // two 32-bit float samples
constexpr DWORD kLoadFlags = BASS_UNICODE | BASS_MUSIC_DECODE | BASS_SAMPLE_FLOAT;
constexpr int kTypeMod = 1;
constexpr int kOldModInstruments = 15;
// The old 15-sample MOD layout: title and 15 sample records, then song length, restart byte
// and order table; the 31-sample layout has 16 more records and a signature before the
// patterns.
constexpr size_t kOldHeader = 600;
constexpr size_t kOldRecords = 470;
constexpr size_t kNewRecords = 950;
constexpr size_t kNewHeader = 1084;
constexpr DWORD kScratchBytes = 4096;
// A stream change into songs without any sound to play (END 0) continues at once; a list of
// nothing but such songs must still end the callback.
constexpr int kMaxLoadsPerCall = 16;
// The loader looks again this often for a next song whose download was still running.
constexpr DWORD kLoaderPollMs = 1000;
constexpr int64_t kUnixEpochIn100ns = 116444736000000000ll;

int64_t FloorFrame(int64_t bytes) { return bytes / kFrameBytes * kFrameBytes; }

bool Matches(const COutputItem& item, int songId, int serial) {
    return item.songId == songId && item.serial == serial;
}

}  // namespace

COutput::COutput(CLibrary* library, CNet* net, HWND window, const std::wstring& folder, const DWORD* flags,
                 const DWORD* volume, const int* panning, const DWORD* random, CWndStatus* status)
    : library_(library), net_(net), window_(window), folder_(folder), status_(status), flags_(flags),
      volume_(volume), panning_(panning), random_(random) {
    for (int n = 15; n <= 30; n++) rmsTargetGain_[n - 15] = std::pow(10.0f, -float(n) / 20.0f);
    loaderWake_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    loaderStop_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (loaderWake_ && loaderStop_) loader_.reset(CreateThread(nullptr, 0, &COutput::LoaderProc, this, 0, nullptr));
}

COutput::~COutput() {
    Shutdown();
    if (loader_) {
        SetEvent(loaderStop_.get());
        WaitForSingleObject(loader_.get(), INFINITE);
    }
}

// ---- Output device and rate ------------------------------------------------------------------

bool COutput::Initialise(DWORD* device, DWORD* freq) {
    int songId = 0, serial = 0;
    float seconds = 0;
    // Only a playing song goes on; a paused one stays stopped after the change.
    bool resume = IsPlaying() && GetPosition(songId, serial, seconds);
    Shutdown();
    if (*freq >= std::size(kOutputRates)) *freq = kDefaultFreq;
    rate_ = kOutputRates[*freq];
    fadeLength_ = int64_t(rate_) * 15 * kFrameBytes;
    device_ = *device == 0 ? -1 : int(*device);
    if (!BASS_Init(device_, rate_, 0, window_, nullptr)) {
        *device = 0;
        *freq = kDefaultFreq;
        device_ = -1;
        rate_ = kOutputRates[kDefaultFreq];
        fadeLength_ = int64_t(rate_) * 15 * kFrameBytes;
        if (!BASS_Init(device_, rate_, 0, window_, nullptr)) {
            Report(kNoDeviceText);
            return false;
        }
    }
    {
        CLockGuard busy(loadLock_);
        initialised_ = true;
    }
    if (resume) {
        {
            CLockGuard guard(lock_);
            history_.push_front(COutputItem(songId, serial));
        }
        Restart(seconds);
    }
    return true;
}

bool COutput::GetDeviceName(int index, std::wstring& text) {
    if (index == 0) {
        text = kDefaultDeviceName;
        return true;
    }
    BASS_DEVICEINFO info{};
    if (index < 0 || !BASS_GetDeviceInfo(DWORD(index), &info) || !info.name || !info.name[0]) return false;
    int length = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, info.name, -1, nullptr, 0);
    if (length <= 0) return false;
    std::vector<wchar_t> wide(length);
    MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, info.name, -1, wide.data(), length);
    text = wide.data();
    return true;
}

bool COutput::GetRateName(int index, std::wstring& text) {
    if (index < 0 || size_t(index) >= std::size(kOutputRates)) return false;
    wchar_t name[32];
    swprintf(name, std::size(name), L"%d %ls", int(kOutputRates[index]), L"Hz");
    text = name;
    return true;
}

void COutput::GetEngineVersion(std::wstring& text) {
    DWORD v = BASS_GetVersion();
    wchar_t name[32];
    swprintf(name, std::size(name), L"%d.%d.%d.%d", int(v >> 24), int((v >> 16) & 0xFF), int((v >> 8) & 0xFF),
             int(v & 0xFF));
    text = name;
}

bool COutput::IsDeviceLost() { return initialised_ && BASS_IsDeviceLost(); }

void COutput::Shutdown() {
    Stop();
    // The loader may be opening a song on this output: it finishes first.
    CLockGuard busy(loadLock_);
    FreePrepared();
    if (initialised_) {
        BASS_Free();
        initialised_ = false;
    }
}

// ---- Playback commands -------------------------------------------------------------------------

bool COutput::PlayEntry(CPlaylist* playlist, int index, float seconds) {
    Stop();
    SetPlaylist(playlist);
    if (!playlist) return false;
    {
        CLockGuard guard(lock_);
        next_ = COutputItem(playlist->GetIdAt(index), playlist->GetSerialAt(index));
    }
    return LoadSong(seconds) && StartStream();
}

bool COutput::PlayNext() {
    Stop();
    return LoadSong(0) && StartStream();
}

bool COutput::PlayPrevious() {
    {
        CLockGuard guard(lock_);
        if (previous_.songId == 0) return false;
    }
    Stop();
    {
        CLockGuard guard(lock_);
        next_ = COutputItem(previous_.songId, previous_.serial);
    }
    return LoadSong(0) && StartStream();
}

// The song restarted is the audible one. In the last fraction of a second of a song the newest
// history entry is already the following song, being decoded for the gap-free change; a seek
// the user makes is meant for what is heard.
bool COutput::Restart(float seconds) {
    QWORD pos = stream_ ? BASS_ChannelGetPosition(stream_, BASS_POS_BYTE) : QWORD(-1);
    {
        CLockGuard guard(lock_);
        COutputItem audible;
        if (!history_.empty()) audible = history_.front();
        if (pos != QWORD(-1)) {
            for (const COutputItem& item : history_) {
                if (item.streamStart <= int64_t(pos)) {
                    audible = item;
                    break;
                }
            }
        }
        next_ = COutputItem(audible.songId, audible.serial);
    }
    Stop();
    return LoadSong(seconds) && StartStream();
}

void COutput::Stop() {
    if (stream_) {
        BASS_ChannelStop(stream_);
        BASS_StreamFree(stream_);
        stream_ = 0;
    }
    TakeMusic(0);
    {
        CLockGuard guard(lock_);
        history_.clear();
    }
    totalOut_ = 0;
    waiting_ = false;
}

void COutput::TogglePause() {
    if (!stream_) return;
    if (BASS_ChannelIsActive(stream_) == BASS_ACTIVE_PAUSED) BASS_ChannelPlay(stream_, FALSE);
    else BASS_ChannelPause(stream_);
}

bool COutput::IsPlaying() { return stream_ && BASS_ChannelIsActive(stream_) == BASS_ACTIVE_PLAYING; }

bool COutput::IsPaused() { return stream_ && BASS_ChannelIsActive(stream_) == BASS_ACTIVE_PAUSED; }

bool COutput::GetPosition(int& songId, int& serial, float& seconds) {
    if (!IsPlaying() && !IsPaused()) {
        songId = serial = 0;
        seconds = 0;
        return false;
    }
    int64_t pos = int64_t(BASS_ChannelGetPosition(stream_, BASS_POS_BYTE));
    CLockGuard guard(lock_);
    for (const COutputItem& item : history_) {
        if (item.streamStart <= pos) {
            songId = item.songId;
            serial = item.serial;
            seconds = float(pos - item.streamStart + item.startOffset) / float(int64_t(rate_) * kFrameBytes);
            break;
        }
    }
    return true;
}

void COutput::ApplyVolume() {
    if (stream_) BASS_ChannelSetAttribute(stream_, BASS_ATTRIB_VOL, float(*volume_) / 100.0f);
}

void COutput::ApplyPanSeparation() {
    CLockGuard guard(musicLock_);
    if (music_) BASS_ChannelSetAttribute(music_, BASS_ATTRIB_MUSIC_PANSEP, float(*panning_));
}

void COutput::ApplyFlags() {
    CLockGuard guard(musicLock_);
    if (music_) BASS_ChannelFlags(music_, *flags_ & FLAG_MUSIC_MASK, FLAG_MUSIC_MASK);
}

void COutput::TakeMusic(HMUSIC music) {
    HMUSIC old = 0;
    {
        CLockGuard guard(musicLock_);
        old = std::exchange(music_, music);
        // A module prepared ahead carries the options of that time; one the window thread
        // changed since then reaches it here, or (after the lock) through ApplyFlags.
        if (music_) {
            BASS_ChannelFlags(music_, *flags_ & FLAG_MUSIC_MASK, FLAG_MUSIC_MASK);
            BASS_ChannelSetAttribute(music_, BASS_ATTRIB_MUSIC_PANSEP, float(*panning_));
        }
    }
    if (old) BASS_MusicFree(old);
}

void COutput::SetPlaylist(CPlaylist* playlist) {
    CLockGuard guard(lock_);
    playlist_ = playlist;
}

CPlaylist* COutput::GetPlaylist() {
    CLockGuard guard(lock_);
    return playlist_;
}

void COutput::RecomputeNext() {
    int serial = 0;
    {
        CLockGuard guard(lock_);
        if (!history_.empty()) serial = history_.front().serial;
    }
    SelectNext(serial);
}

// The playlist is walked under the lock, so that once the window thread has taken a deleted
// playlist away (SetPlaylist), the output thread no longer reads it.
void COutput::SelectNext(int serial) {
    int nextId = 0;
    {
        CLockGuard guard(lock_);
        // This runs on the loader and output threads too, while the window thread may change
        // the playlist's entries.
        CLockGuard entries(CPlaylist::EntriesLock());
        switch (*random_) {
        case 0:
            next_.Clear();
            previous_.Clear();
            if (playlist_) {
                for (int i = 0, s; (s = playlist_->GetSerialAt(i)) != 0; i++) {
                    if (s != serial) continue;
                    previous_ = COutputItem(playlist_->GetIdAt(i - 1), playlist_->GetSerialAt(i - 1));
                    next_ = COutputItem(playlist_->GetIdAt(i + 1), playlist_->GetSerialAt(i + 1));
                    break;
                }
            }
            break;
        case 1: {
            next_.Clear();
            previous_.Clear();
            int pickedSerial = 0, pickedId = 0;
            if (playlist_ && playlist_->PickRandomEntry(serial, true, pickedSerial, pickedId)) {
                next_ = COutputItem(pickedId, pickedSerial);
                previous_ = next_;
            }
            break;
        }
        case 2: {
            // The library remembers played songs by id. Once random play over the library runs,
            // an entry's serial is its song id; the entry playing when it was switched on
            // carries its playlist's serial, and its song must count as played all the same.
            int current = serial;
            for (const COutputItem& item : history_) {
                if (item.serial == serial) {
                    current = item.songId;
                    break;
                }
            }
            int id = library_ ? library_->PickRandom(current) : 0;
            next_ = COutputItem(id, id);
            previous_ = next_;
            break;
        }
        default:
            break;
        }
        nextId = next_.songId;
    }
    if (nextId != 0 && !IsCached(nextId)) RequestSong(nextId);
    if (loaderWake_) SetEvent(loaderWake_.get());
}

int COutput::GetNext(bool wantSongId) {
    CLockGuard guard(lock_);
    return wantSongId ? next_.songId : next_.serial;
}

int COutput::GetPrevious(bool wantSongId) {
    CLockGuard guard(lock_);
    return wantSongId ? previous_.songId : previous_.serial;
}

void COutput::SetNext(int songId, int serial) {
    {
        CLockGuard guard(lock_);
        next_ = COutputItem(songId, serial);
    }
    if (loaderWake_) SetEvent(loaderWake_.get());
}

void COutput::SetPrevious(int songId, int serial) {
    CLockGuard guard(lock_);
    previous_ = COutputItem(songId, serial);
}

bool COutput::IsCached(int songId) {
    const CSong* song = library_ ? library_->GetSong(songId) : nullptr;
    if (!song) return false;
    std::wstring path = CCache::SongPath(folder_, song->File());
    if (path.empty()) return false;
    FileHandle file(OpenedFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    FILETIME written{};
    if (!file || !GetFileTime(file.get(), nullptr, nullptr, &written)) return false;
    int64_t time = int64_t((uint64_t(written.dwHighDateTime) << 32) | written.dwLowDateTime);
    return (time - kUnixEpochIn100ns) / 10000000 >= song->update;
}

// A FILE value that would lead out of the cache is never asked for.
void COutput::RequestSong(int songId) {
    const CSong* song = library_ ? library_->GetSong(songId) : nullptr;
    if (!song || !net_) return;
    std::wstring path = CCache::SongPath(folder_, song->File());
    if (!path.empty()) net_->DownloadSong(songId, path);
}

int COutput::GetPreparedSong() {
    CLockGuard guard(lock_);
    return prepared_.music ? prepared_.songId : 0;
}

// Whatever arrived, the loader looks again: at worst it finds its next song still missing.
void COutput::SongArrived(int) {
    if (loaderWake_) SetEvent(loaderWake_.get());
}

// ---- Loading -------------------------------------------------------------------------------------

bool COutput::LoadSong(float seconds) { return LoadNext(seconds) == Load::Loaded; }

DWORD COutput::MusicFlags(const CSong& song) const {
    DWORD flags = kLoadFlags;
    if (song.type == kTypeMod) flags |= BASS_MUSIC_PT1MOD;
    if (song.EndsInSound()) flags |= BASS_MUSIC_LOOP;
    return flags | (*flags_ & FLAG_MUSIC_MASK);
}

HMUSIC COutput::OpenMusic(const CSong& song, const std::wstring& path) const {
    HMUSIC music = LoadModule(song, path);
    // The song is one sub-song of the module; a file that no longer holds it cannot play it.
    if (music && !BASS_MusicSelectSubsong(music, DWORD(song.subsong))) {
        BASS_MusicFree(music);
        return 0;
    }
    return music;
}

HMUSIC COutput::LoadModule(const CSong& song, const std::wstring& path) const {
    DWORD flags = MusicFlags(song);
    HMUSIC music = BASS_MusicLoad(FALSE, path.c_str(), 0, 0, flags, 0);
    if (music || song.type != kTypeMod || song.instruments != kOldModInstruments) return music;
    // An old 15-sample module: given the 31-sample layout, with 16 empty sample records and
    // the signature, it plays as any other MOD. One shorter than its header is no module.
    std::string file;
    FileHandle h(OpenedFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr)));
    LARGE_INTEGER size{};
    if (!h || !GetFileSizeEx(h.get(), &size) || size.QuadPart < LONGLONG(kOldHeader) || size.QuadPart >= (64ll << 20))
        return 0;
    file.resize(size_t(size.QuadPart));
    DWORD read = 0;
    if (!ReadFile(h.get(), file.data(), DWORD(file.size()), &read, nullptr) || read != file.size()) return 0;
    std::string image(file.size() + (kNewHeader - kOldHeader), '\0');
    std::memcpy(&image[0], file.data(), kOldRecords);
    std::memcpy(&image[kNewRecords], file.data() + kOldRecords, kOldHeader - kOldRecords);
    std::memcpy(&image[kNewHeader - 4], "M.K.", 4);
    std::memcpy(&image[kNewHeader], file.data() + kOldHeader, file.size() - kOldHeader);
    return BASS_MusicLoad(TRUE, image.data(), 0, DWORD(image.size()), flags, 0);
}

int64_t COutput::Skip(HMUSIC music, int64_t target) {
    char scratch[kScratchBytes];
    int64_t done = 0;
    while (done < target) {
        DWORD want = DWORD(std::min<int64_t>(target - done, kScratchBytes));
        DWORD got = BASS_ChannelGetData(music, scratch, want);
        if (got == 0 || got == DWORD(-1)) break;
        done += got;
    }
    return done;
}

int64_t COutput::Bytes(double seconds) const { return int64_t(seconds * rate_ * kFrameBytes); }

int64_t COutput::SkipAhead(float seconds) {
    if (seconds == 0) return 0;
    return Skip(music_, FloorFrame(Bytes(seconds)));
}

// A seek far into a song: the replayer goes there by itself instead of decoding everything
// before it, so that a seek minutes in takes no longer than one at the start.
int64_t COutput::SeekAhead(float seconds) {
    const int64_t target = FloorFrame(Bytes(seconds));
    if (BASS_ChannelSetPosition(music_, QWORD(target), BASS_POS_BYTE)) {
        QWORD at = BASS_ChannelGetPosition(music_, BASS_POS_BYTE);
        if (at != QWORD(-1)) return int64_t(at);
    }
    return Skip(music_, target);
}

void COutput::ReportUnplayable(const CSong& song) {
    Report((kUnplayableText + std::wstring(song.DisplayArtist()) + L" - " + std::wstring(song.DisplayTitle())).c_str());
}

void COutput::Report(const wchar_t* text) {
    if (status_) status_->SetStatusText(text);
}

COutput::Load COutput::LoadNext(float seconds) {
    TakeMusic(0);
    // Without an output no module can be opened: that is no fault of the song.
    if (!initialised_) {
        Report(kNoDeviceText);
        return Load::NoDevice;
    }
    COutputItem want;
    {
        CLockGuard guard(lock_);
        want = COutputItem(next_.songId, next_.serial);
    }
    const CSong* song = library_ ? library_->GetSong(want.songId) : nullptr;
    if (!song) return Load::NoSong;
    std::wstring path = CCache::SongPath(folder_, song->File());
    if (path.empty()) {
        ReportUnplayable(*song);
        return Load::Unplayable;
    }
    Prepared taken;
    if (seconds == 0) {
        CLockGuard guard(lock_);
        if (prepared_.songId == want.songId && prepared_.serial == want.serial) taken = std::exchange(prepared_, {});
    }
    if (taken.unplayable) {
        ReportUnplayable(*song);
        return Load::Unplayable;
    }
    HMUSIC music = taken.music;
    if (!music) {
        if (!IsCached(want.songId)) {
            RequestSong(want.songId);
            waiting_ = true;
            return Load::Waiting;
        }
        music = OpenMusic(*song, path);
        if (!music) {
            ReportUnplayable(*song);
            return Load::Unplayable;
        }
    }
    TakeMusic(music);
    looped_ = song->EndsInSound();
    int64_t end = int64_t((double(song->PlayLength()) + double(song->LeadIn())) * rate_ * kFrameBytes);
    songEnd_ = (end + kFrameBytes - 1) / kFrameBytes * kFrameBytes;
    peakGain_ = song->peak > 0 ? 1.0f / song->peak : 0.0f;
    songRms_ = song->rms;
    musicPos_ = taken.music ? taken.musicPos
                : seconds > 0   ? SeekAhead(song->LeadIn() + seconds)
                                : SkipAhead(song->LeadIn());
    COutputItem item(want.songId, want.serial);
    item.streamStart = totalOut_;
    item.startOffset = FloorFrame(musicPos_ - Bytes(song->LeadIn()));
    {
        CLockGuard guard(lock_);
        history_.push_front(item);
    }
    SelectNext(item.serial);
    return Load::Loaded;
}

bool COutput::StartStream() {
    stream_ = BASS_StreamCreate(rate_, 2, BASS_SAMPLE_FLOAT, &COutput::StreamProc, this);
    if (!stream_) return false;
    ApplyVolume();
    return BASS_ChannelPlay(stream_, FALSE) != FALSE;
}

void COutput::FreePrepared() {
    Prepared stale;
    {
        CLockGuard guard(lock_);
        stale = std::exchange(prepared_, {});
    }
    if (stale.music) BASS_MusicFree(stale.music);
}

// ---- The stream callback -------------------------------------------------------------------------

DWORD CALLBACK COutput::StreamProc(HSTREAM, void* buffer, DWORD length, void* user) {
    auto* self = static_cast<COutput*>(user);
    DWORD n = self->FillBuffer(buffer, length);
    if (n > 0) return n;
    // The song is over: the next one goes on in the same buffer. One that cannot be played is
    // passed over (it was named in the status bar), so that a bad file does not end a jukebox.
    int unplayable = 0;
    for (int loads = 0; loads < kMaxLoadsPerCall; loads++) {
        Load result = self->LoadNext(0);
        if (result == Load::Loaded) {
            unplayable = 0;
            n = self->FillBuffer(buffer, length);
            if (n > 0) return n;
            continue;  // a song without sound to play
        }
        if (result != Load::Unplayable || ++unplayable >= kMaxUnplayable) break;
        self->SelectNext(self->GetNext(false));
    }
    return BASS_STREAMPROC_END;
}

DWORD COutput::FillBuffer(void* buffer, DWORD length) {
    const DWORD flags = *flags_;
    const bool fading = (flags & FLAG_FADE_LOOPED) && looped_;
    const int64_t limit = fading ? songEnd_ + fadeLength_ : songEnd_;
    int64_t n = FloorFrame(std::min<int64_t>(length, std::max<int64_t>(0, limit - musicPos_)));
    if (n > 0 && music_) {
        DWORD got = BASS_ChannelGetData(music_, buffer, DWORD(n));
        n = got == DWORD(-1) ? 0 : FloorFrame(std::min<int64_t>(got, n));
    } else {
        n = 0;
    }
    float* samples = static_cast<float*>(buffer);
    const int64_t count = n / int64_t(sizeof(float));
    const int level = int(flags >> FLAG_RMS_SHIFT);
    float gain = 1.0f;
    if ((flags & FLAG_SCALE_PEAK) && peakGain_ != 0) {
        gain = peakGain_;
    } else if ((flags & FLAG_SCALE_RMS) && songRms_ > 0 && level >= 15 && level <= 30) {
        gain = rmsTargetGain_[level - 15] / songRms_;
        // A quiet song with loud peaks is raised only as far as its peaks stay whole.
        if (peakGain_ != 0) gain = std::min(gain, peakGain_);
    }
    if (gain != 1.0f)
        for (int64_t i = 0; i < count; i++) samples[i] *= gain;
    if (fading && musicPos_ + n > songEnd_) {
        int64_t f0 = musicPos_ < songEnd_ ? (songEnd_ - musicPos_) / kFrameBytes : 0;
        for (int64_t f = f0; f < n / kFrameBytes; f++) {
            float factor = float(songEnd_ + fadeLength_ - (musicPos_ + kFrameBytes * f)) / float(fadeLength_);
            samples[2 * f] *= factor;
            samples[2 * f + 1] *= factor;
        }
    }
    musicPos_ += n;
    totalOut_ += n;
    return DWORD(n);
}

// ---- The loader ----------------------------------------------------------------------------------

DWORD WINAPI COutput::LoaderProc(void* self) {
    static_cast<COutput*>(self)->RunLoader();
    return 0;
}

void COutput::RunLoader() {
    HANDLE events[2] = {loaderStop_.get(), loaderWake_.get()};
    for (;;) {
        DWORD result = WaitForMultipleObjects(2, events, FALSE, kLoaderPollMs);
        if (result == WAIT_OBJECT_0 || result == WAIT_FAILED) return;
        Prepare();
    }
}

// Opens the next song and decodes its lead-in, so that the change to it inside the callback
// takes no more than a handle. A song whose download is still running is looked at again at
// the next round.
void COutput::Prepare() {
    CLockGuard busy(loadLock_);
    if (!initialised_) return;
    COutputItem want;
    Prepared stale;
    {
        CLockGuard guard(lock_);
        want = COutputItem(next_.songId, next_.serial);
        if (prepared_.songId == want.songId && prepared_.serial == want.serial) return;
        stale = std::exchange(prepared_, {});
    }
    if (stale.music) BASS_MusicFree(stale.music);
    const CSong* song = library_ ? library_->GetSong(want.songId) : nullptr;
    if (!song) return;
    std::wstring path = CCache::SongPath(folder_, song->File());
    if (path.empty() || !IsCached(want.songId)) return;
    Prepared ready;
    ready.songId = want.songId;
    ready.serial = want.serial;
    ready.music = OpenMusic(*song, path);
    if (ready.music) ready.musicPos = Skip(ready.music, FloorFrame(Bytes(song->LeadIn())));
    else ready.unplayable = true;
    {
        CLockGuard guard(lock_);
        if (Matches(next_, want.songId, want.serial)) ready = std::exchange(prepared_, ready);
    }
    if (ready.music) BASS_MusicFree(ready.music);
}
