#pragma once
// Helpers of the engine's tests: a song cache folder with generated modules, a catalogue that
// describes them with chosen measurements, and an engine on the default output.

#include "app/Globals.h"
#include "app/Ids.h"
#include "app/MainWindow.h"
#include "app/Settings.h"
#include "library/Library.h"
#include "playback/Output.h"
#include "playlists/Playlist.h"
#include "playlists/Playlists.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

#include <memory>
#include <string>
#include <vector>

namespace playtest {

// One catalogue record; the numbers are what the catalogue builder would have measured.
struct Song {
    Song() = default;
    Song(std::wstring songFile, std::string songImage, int songType, int songInstruments, float songLength,
         float songStart, float songEnd, float songPeak = 0, float songRms = 0, long long songUpdate = 0)
        : file(std::move(songFile)), image(std::move(songImage)), type(songType), instruments(songInstruments),
          length(songLength), start(songStart), end(songEnd), peak(songPeak), rms(songRms), update(songUpdate) {}

    std::wstring file;      // below the cache folder
    std::string image;      // the module written there ("" writes nothing)
    int type = 1;           // 1 MOD, 2 MTM, 3 XM, 4 S3M, 5 IT
    int instruments = 31;
    float length = 10;
    float start = 0;
    float end = 9;
    float peak = 0;
    float rms = 0;
    long long update = 0;
    std::wstring title;
    std::wstring artist = L"Tester";
    int subsong = 0;        // written as SUBSONG when not 0
};

// Writes a file, making its folder first.
bool WriteSongFile(const std::wstring& path, const std::string& image);

// Writes a catalogue (ids 1..n in order) in the program's file format.
bool WriteCatalogue(const std::wstring& path, const std::vector<Song>& songs);

// A module from the project's module writer: `rows` rows with sound, by default at speed 1 and
// tempo 125 (20 ms a row), its own sample set `voice`, ending after the last row (or looping).
std::string Module(int rows, int voice = 0, bool loop = false, int leadRows = 0, int format = 1, int speed = 1,
                   int tempo = 125);
// Seconds of one pass of such a module.
double ModuleSeconds(int rows, int speed = 1, int tempo = 125);

// A playlist of the songs with these ids.
std::unique_ptr<CPlaylist> PlaylistOf(const std::vector<int>& ids);

// Decodes a module image alone, as the engine loads it (flags of the song and the setting),
// from the start of its sub-song `subsong`: up to `bytes` bytes, fewer where it ends.
std::vector<float> RenderAlone(const std::string& image, DWORD flags, size_t bytes, int subsong = 0);

// Pulls the engine's stream the way the output thread does, in blocks of `block` bytes, until
// the stream ends or `limit` bytes came. Returns the samples delivered.
std::vector<float> Pull(COutput& output, size_t limit, DWORD block = 7680, bool* ended = nullptr);

// An engine over a fresh cache folder and catalogue, on the default output at `freq`.
class EngineTest : public ::testing::Test {
protected:
    void TearDown() override;
    // Writes the modules and the catalogue, loads it and opens the engine.
    void Open(const std::vector<Song>& songs, DWORD freq = 1);
    // Flags a song is loaded with (as the engine computes them).
    DWORD LoadFlags(const Song& song) const;
    // Makes the engine's next entry the entry `index` of `playlist` and loads it.
    bool Load(CPlaylist* playlist, int index, float seconds = 0);

    th::TempDir folder;  // the cache folder
    std::vector<Song> songs;
    std::unique_ptr<CLibrary> library;
    std::unique_ptr<COutput> output;
    DWORD flags = 0;
    DWORD volume = 100;
    int panning = 50;
    DWORD random = 0;
    DWORD device = 0;
    DWORD freq = 1;
};

// Waits, pumping messages, until `done` holds (generous for a busy machine).
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 15000);

// The main window over cached generated songs, played through the tray menu's playlist
// entries (a playlist of the playlist set) and the transport commands.
inline std::wstring TitleOf(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

class PlaybackHubTest : public ::testing::Test {
protected:
    void SetUp() override { th::StartWithEmptySettings(); }
    void TearDown() override {
        main.reset();
        playlists.Remove(kName);
        th::StartWithEmptySettings();
    }
    // Opens the main window over a catalogue of `count` songs of `seconds` each, all in the
    // cache, and puts a playlist of them into the playlist set.
    // `shape` may set each song's artist and title.
    void Open(int count, float seconds, bool cached = true,
              const std::function<void(Song&, int)>& shape = nullptr) {
        int rows = int(seconds / ModuleSeconds(1, 31, 32)) + 1;
        bool written = true;
        // The window builds its tree from this catalogue as it starts.
        main = std::make_unique<th::TestMainWindow>(SW_SHOWNORMAL, [&] {
            std::vector<Song> list;
            for (int i = 0; i < count; i++) {
                Song s{L"Tester\\song" + std::to_wstring(i) + L".mod", Module(rows, i, false, 0, 1, 31, 32), 1, 31,
                       seconds, 0.0f, seconds - 0.5f};
                if (shape) shape(s, i);
                if (cached) written = WriteSongFile(cacheFolder + s.file, s.image) && written;
                list.push_back(s);
            }
            written = WriteCatalogue(libraryPath, list) && written;
            if (beforeStart) beforeStart();
        });
        ASSERT_TRUE(written);
        ASSERT_TRUE(main->IsOpen());
        hub = CMainWindow::FromHandle(main->Handle());
        ASSERT_NE(hub, nullptr);
        ASSERT_TRUE(main->WaitUntilReady());
        ASSERT_EQ(hub->GetLibrary()->GetCount(), count);
        std::vector<int> ids;
        for (int i = 1; i <= count; i++) ids.push_back(i);
        playlist = PlaylistOf(ids);
        playlists.Add(kName, playlist.get());
    }
    void Command(UINT id, LPARAM lp = 0) { SendMessageW(main->Handle(), WM_COMMAND, id, lp); }
    // The tray menu's command for entry n of the first playlist.
    static UINT Entry(int n) { return ID_PLAYLIST_ENTRY_FIRST + UINT(n); }
    bool TitleBecomes(const std::wstring& title) {
        return WaitFor([&] { return TitleOf(main->Handle()) == title; });
    }
    float Seconds() {
        int id = 0, serial = 0;
        float seconds = 0;
        hub->GetOutput()->GetPosition(id, serial, seconds);
        return seconds;
    }

    // Runs once the data folder is set, before the window starts (to write playlist files).
    std::function<void()> beforeStart;
    static constexpr const wchar_t* kName = L"Engine test";
    std::unique_ptr<th::TestMainWindow> main;
    CMainWindow* hub = nullptr;
    std::unique_ptr<CPlaylist> playlist;
};


}  // namespace playtest
