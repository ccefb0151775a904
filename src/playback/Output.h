#pragma once
// The playback engine: one output stream of 32-bit float stereo at the output rate, fed by a
// callback on the audio back end's output thread from one decoding module channel per song.
// When a song's data runs out the callback continues with the next song at once, so songs
// follow each other without a gap. Which song comes next is decided as each song is loaded;
// a loader thread of the engine opens that next song (and skips its lead-in) ahead of time,
// so that the change inside the callback only takes the prepared channel.
//
// The engine sends no messages: the main window asks for the position every tick.
//
// Locks: `lock_` guards the history, the next and previous entries, the playlist pointer and
// the prepared song; it is held for a few instructions and never while calling the back end's
// stream calls, loading a module or posting a message. `loadLock_` is held by the loader
// while it prepares a song and by Shutdown around freeing the back end; it may be held while
// taking `lock_`, never the other way round.

#include "audio/Bass.h"
#include "base/Handle.h"
#include "base/Lock.h"
#include "playback/OutputItem.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>

class CLibrary;
class CNet;
class CPlaylist;
class CSong;
class CWndStatus;

class COutput {
public:
    static constexpr const wchar_t* kDefaultDeviceName = L"Default device";
    // Shown in the status bar, followed by the song's artist and title.
    static constexpr const wchar_t* kUnplayableText = L"Cannot play ";
    // Shown when no output device can be opened, or when the one playing is lost and cannot
    // be opened again: no song is to blame.
    static constexpr const wchar_t* kNoDeviceText = L"No sound device can be opened";
    static constexpr const wchar_t* kDeviceLostText = L"The sound device stopped playing";
    // Songs in a row that the stream passes over because they cannot be played, before it
    // gives up.
    static constexpr int kMaxUnplayable = 5;

    // `folder` is the song cache folder (ending with a backslash); the settings are read live
    // through the pointers. `status` (may be null) shows songs that cannot be played. The back
    // end is not touched until Initialise.
    COutput(CLibrary* library, CNet* net, HWND window, const std::wstring& folder, const DWORD* flags,
            const DWORD* volume, const int* panning, const DWORD* random, CWndStatus* status = nullptr);
    virtual ~COutput();
    COutput(const COutput&) = delete;
    COutput& operator=(const COutput&) = delete;

    // ---- Output device and rate (window thread) ----
    // (Re)opens the output on the chosen device and rate; falls back to the default device at
    // 48000 Hz and writes that back into the settings. A song that was playing goes on at the
    // same second on the new output. Without any device that opens, says so in the status bar.
    bool Initialise(DWORD* device, DWORD* freq);
    bool IsInitialised() const { return initialised_; }
    // The device stopped taking sound and could not be opened again: playback has stopped.
    bool IsDeviceLost();
    // Index 0 is the default device, index i >= 1 the back end's device i; false past the end.
    bool GetDeviceName(int index, std::wstring& text);
    // "44100 Hz" for the output rates 0..3; false past the end.
    bool GetRateName(int index, std::wstring& text);
    void GetEngineVersion(std::wstring& text);
    void Shutdown();

    // ---- Playback (window thread) ----
    bool PlayEntry(CPlaylist* playlist, int index, float seconds);
    bool PlayNext();
    bool PlayPrevious();
    // Plays the audible song again from `seconds` (used for seeking).
    bool Restart(float seconds);
    void Stop();
    void TogglePause();
    bool IsPlaying();
    bool IsPaused();
    // The audible song: its id, entry serial and seconds after its lead-in. False (and zeros)
    // when nothing is playing or paused.
    bool GetPosition(int& songId, int& serial, float& seconds);
    void ApplyVolume();
    void ApplyPanSeparation();
    void ApplyFlags();

    void SetPlaylist(CPlaylist* playlist);
    CPlaylist* GetPlaylist();
    // Chooses next and previous again after the newest loaded song.
    void RecomputeNext();
    // Chooses next and previous after the entry `serial` by the random-play setting, and asks
    // for the next song's download if it is not cached.
    void SelectNext(int serial);
    // The song id (wantSongId) or the serial of next or previous.
    int GetNext(bool wantSongId);
    int GetPrevious(bool wantSongId);
    void SetNext(int songId, int serial);
    void SetPrevious(int songId, int serial);
    // A load waits for its song's download.
    bool IsWaiting() const { return waiting_; }
    // The song's file is in the cache and not older than the catalogue's UPDATE.
    bool IsCached(int songId);
    void RequestSong(int songId);
    // A song's download has arrived: the loader prepares it at once if it is the next one.
    void SongArrived(int songId);
    // The song the loader has opened ahead for the next entry; 0 for none.
    int GetPreparedSong();

    // ---- The stream callback and its steps ----
    // Public so that a caller without an output can pull the stream as the device would.
    static DWORD CALLBACK StreamProc(HSTREAM handle, void* buffer, DWORD length, void* user);
    // Loads next as the song being decoded, `seconds` after its lead-in.
    bool LoadSong(float seconds);
    // Decodes up to `length` bytes of the song into `buffer` with the volume adjustment and the
    // fade applied; 0 when the song is over.
    DWORD FillBuffer(void* buffer, DWORD length);

    // Figures of the song being decoded and of the output, in bytes.
    DWORD GetRate() const { return rate_; }
    int64_t GetSongEnd() const { return songEnd_; }
    int64_t GetFadeLength() const { return fadeLength_; }
    int64_t GetTotalOut() const { return totalOut_; }

private:
    enum class Load { Loaded, NoSong, Waiting, Unplayable, NoDevice };
    // A song opened ahead of time by the loader for the entry (songId, serial).
    struct Prepared {
        int songId = 0;
        int serial = 0;
        HMUSIC music = 0;     // 0 with `unplayable`
        int64_t musicPos = 0; // bytes decoded: the lead-in
        bool unplayable = false;
    };

    Load LoadNext(float seconds);
    DWORD MusicFlags(const CSong& song) const;
    // A decoding channel of the song's sub-song of the file, from the sub-song's start.
    HMUSIC OpenMusic(const CSong& song, const std::wstring& path) const;
    // The module, through the 31-sample image for an old 15-sample MOD.
    HMUSIC LoadModule(const CSong& song, const std::wstring& path) const;
    // Decodes and discards up to `target` bytes; the bytes decoded.
    static int64_t Skip(HMUSIC music, int64_t target);
    int64_t SkipAhead(float seconds);
    int64_t SeekAhead(float seconds);
    int64_t Bytes(double seconds) const;
    void ReportUnplayable(const CSong& song);
    void Report(const wchar_t* text);
    // Hands a newly loaded module to the output and gives it the options of this moment.
    void TakeMusic(HMUSIC music);
    bool StartStream();
    void FreePrepared();

    static DWORD WINAPI LoaderProc(void* self);
    void RunLoader();
    void Prepare();

    CLibrary* const library_;
    CNet* const net_;
    const HWND window_;
    const std::wstring folder_;
    CWndStatus* const status_;
    // The module being decoded: written by LoadNext (on the window thread while nothing plays,
    // on the output thread inside the callback at a song change) and by Stop after the callback
    // has ended; read by FillBuffer on the output thread. The window thread's option changes
    // (ApplyFlags, ApplyPanSeparation) read it under musicLock_, which LoadNext holds while it
    // hands over a new module, so that an option changed during a song change reaches the new
    // song.
    HMUSIC music_ = 0;
    CLock musicLock_;
    // Window thread only.
    HSTREAM stream_ = 0;
    // Settings, each a single aligned 32-bit value read live from any thread.
    const DWORD* const flags_;
    const DWORD* const volume_;
    const int* const panning_;
    const DWORD* const random_;
    int device_ = -1;
    DWORD rate_ = 48000;             // written by Initialise with the loader idle
    // Window thread; read by the loader under loadLock_ and by LoadNext on either thread while
    // the stream runs, when it does not change.
    bool initialised_ = false;
    CPlaylist* playlist_ = nullptr;  // lock_
    bool looped_ = false;            // per song: written by LoadSong, read by FillBuffer
    std::atomic<bool> waiting_{false};
    float peakGain_ = 0;
    float songRms_ = 0;
    float rmsTargetGain_[16];
    int64_t songEnd_ = 0;
    std::atomic<int64_t> totalOut_{0};  // written by the callback, read by anyone
    int64_t musicPos_ = 0;
    int64_t fadeLength_ = 48000ll * 15 * 8;

    CLock lock_;
    COutputItem next_;               // lock_
    COutputItem previous_;           // lock_
    std::deque<COutputItem> history_;  // lock_; newest first
    Prepared prepared_;              // lock_

    CLock loadLock_;
    EventHandle loaderWake_;
    EventHandle loaderStop_;
    ThreadHandle loader_;
};
