// Playback through the main window's commands: a playlist of the playlist set played from the
// tray menu's entries, the transport commands, and the tick that follows the engine.

#include "PlaybackTestSupport.h"
#include "NetTestSupport.h"

#include "app/Globals.h"
#include "app/Ids.h"
#include "app/MainWindow.h"
#include "playlists/Playlists.h"

using namespace playtest;

using PlaybackHub = PlaybackHubTest;

namespace {

// Presses keys on the test display as a keyboard does: xdotool (a Linux program, which Wine
// starts like any other) sends them through the X server to the window that has the focus.
bool PressKeys(const std::wstring& keys) {
    // Wine starts a Linux program given by its Linux path.
    const wchar_t* tool = L"/usr/bin/xdotool";
    if (GetFileAttributesW(L"Z:\\usr\\bin\\xdotool") == INVALID_FILE_ATTRIBUTES) return false;
    std::wstring commandLine = std::wstring(L"xdotool key ") + keys;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(tool, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    // Wine cannot wait for a Linux process: the caller waits for what the keys do.
    if (pi.hThread) CloseHandle(pi.hThread);
    if (pi.hProcess) CloseHandle(pi.hProcess);
    return true;
}

}  // namespace

TEST_F(PlaybackHub, TrayEntryPlaysAndTheTransportCommandsControlIt) {
    Open(3, 4.0f);
    EXPECT_EQ(TitleOf(main->Handle()), L"tunehaven 0.2");
    Command(Entry(1));
    ASSERT_TRUE(TitleBecomes(L"Tester - Song 2"));
    COutput* output = hub->GetOutput();
    EXPECT_TRUE(output->IsPlaying());
    EXPECT_TRUE(hub->Buttons().pauseImage);
    EXPECT_TRUE(hub->Buttons().stop);
    EXPECT_TRUE(hub->Buttons().next);

    Command(ID_PLAY);
    EXPECT_TRUE(output->IsPaused());
    EXPECT_FALSE(hub->Buttons().pauseImage);
    Command(ID_PLAY);
    EXPECT_TRUE(output->IsPlaying());

    Command(ID_NEXT);
    ASSERT_TRUE(TitleBecomes(L"Tester - Song 3"));
    EXPECT_FALSE(hub->Buttons().next) << "the last entry of ordered play";

    Command(ID_STOP);
    ASSERT_TRUE(TitleBecomes(L"tunehaven 0.2"));
    EXPECT_FALSE(output->IsPlaying());
    EXPECT_FALSE(hub->Buttons().stop);

    // An entry or a playlist the set does not have plays nothing.
    Command(Entry(7));
    Command(Entry(int(PLAYLIST_MENU_ENTRIES)));
    th::PumpFor(300);
    EXPECT_EQ(TitleOf(main->Handle()), L"tunehaven 0.2");
}

TEST_F(PlaybackHub, PreviousGoesBackEarlyAndRestartsLater) {
    Open(2, 6.0f);
    Command(Entry(1));
    ASSERT_TRUE(TitleBecomes(L"Tester - Song 2"));
    Command(ID_PREVIOUS);
    ASSERT_TRUE(TitleBecomes(L"Tester - Song 1"));
    // Song 1 has no previous entry: Previous starts it again.
    ASSERT_TRUE(WaitFor([&] { return Seconds() > 0.5f; }));
    Command(ID_PREVIOUS);
    EXPECT_LT(Seconds(), 0.3f);
    Command(ID_NEXT);
    ASSERT_TRUE(TitleBecomes(L"Tester - Song 2"));
    ASSERT_TRUE(WaitFor([&] { return Seconds() > 2.2f; }));
    Command(ID_PREVIOUS);
    th::PumpFor(300);
    EXPECT_EQ(TitleOf(main->Handle()), L"Tester - Song 2") << "after 2 s the song starts again";
    EXPECT_LT(Seconds(), 1.0f);
}

TEST_F(PlaybackHub, RateAndDeviceCommandsReopenTheOutputAndGoOn) {
    Open(1, 8.0f);
    Command(Entry(0));
    ASSERT_TRUE(TitleBecomes(L"Tester - Song 1"));
    ASSERT_TRUE(WaitFor([&] { return Seconds() > 1.0f; }));
    float before = Seconds();
    Command(ID_RATE_FIRST + 3);
    EXPECT_EQ(settings.freq, 3u);
    EXPECT_EQ(hub->GetOutput()->GetRate(), 96000u);
    EXPECT_TRUE(hub->GetOutput()->IsPlaying());
    EXPECT_NEAR(Seconds(), before, 0.3f);
    // A device past the last one: the default device at 48000 Hz, kept in the settings.
    Command(ID_DEVICE_FIRST + 300);
    EXPECT_EQ(settings.device, 0u);
    EXPECT_EQ(settings.freq, 2u);
    EXPECT_EQ(hub->GetOutput()->GetRate(), 48000u);
    EXPECT_TRUE(hub->GetOutput()->IsPlaying());
    EXPECT_EQ(TitleOf(main->Handle()), L"Tester - Song 1");
}

TEST_F(PlaybackHub, OptionCommandsReachThePlayingSong) {
    Open(1, 4.0f);
    Command(Entry(0));
    ASSERT_TRUE(TitleBecomes(L"Tester - Song 1"));
    Command(ID_VOLUME_FIRST + 5);
    EXPECT_EQ(settings.volume, 50u);
    Command(ID_SURROUND_MODE2);
    Command(ID_INTERP_SINC);
    EXPECT_EQ(settings.flags & FLAG_MUSIC_MASK, FLAG_SURROUND2 | FLAG_SINCINTER | (settings.flags & FLAG_RAMPS));
    Command(ID_RANDOM_LIBRARY);
    int next = hub->GetOutput()->GetNext(true);
    EXPECT_EQ(next, 1) << "the library's one song";
    EXPECT_TRUE(hub->GetOutput()->IsPlaying());
}

TEST_F(PlaybackHub, RemovingTheNextEntryMovesNextToTheOneAfter) {
    Open(4, 4.0f);
    Command(Entry(0));
    ASSERT_TRUE(TitleBecomes(L"Tester - Song 1"));
    COutput* output = hub->GetOutput();
    ASSERT_EQ(output->GetNext(false), playlist->GetSerialAt(1));
    hub->OnEntryRemoving(playlist.get(), 1);
    playlist->RemoveAt(1);
    EXPECT_EQ(output->GetNext(false), playlist->GetSerialAt(1));
    EXPECT_EQ(output->GetNext(true), 3);

    // The playlist goes: the audible song plays to its end and nothing follows.
    hub->OnPlaylistDeleted(playlist.get());
    EXPECT_EQ(output->GetPlaylist(), nullptr);
    EXPECT_EQ(output->GetNext(true), 0);
    EXPECT_TRUE(output->IsPlaying());
}

// The song is not in the cache: the engine asks the server for it, waits, and plays it once
// the download has arrived; the song after it is fetched while it plays.
TEST_F(PlaybackHub, MissingSongIsDownloadedAndThenPlays) {
    std::wstring url = nettest::ServerUrl();
    ASSERT_FALSE(url.empty()) << "the suite's library servers are not running";
    ASSERT_TRUE(th::WriteSettingString(L"server", url));
    main = std::make_unique<th::TestMainWindow>();
    hub = CMainWindow::FromHandle(main->Handle());
    ASSERT_NE(hub, nullptr);
    // The window fetches the server's catalogue as it opens.
    std::wstring served = nettest::ServedLibrary() + L"Library.xml";
    const std::string wanted = th::ReadFileBytes(served);
    ASSERT_FALSE(wanted.empty());
    // Polling the file while it is replaced would make the replacement fail and start the
    // download again: the tree's build from it says it is in place.
    ASSERT_TRUE(main->WaitUntilReady());
    ASSERT_EQ(th::ReadFileBytes(libraryPath), wanted);
    CLibrary* library = hub->GetLibrary();
    ASSERT_GE(library->GetCount(), 2);
    int first = 0, second = 0;
    for (int id = 1; id <= library->GetCount(); id++) {
        const std::wstring title(library->GetSong(id)->DisplayTitle());
        if (title == L"First") first = id;
        if (title == L"Third") second = id;
    }
    ASSERT_NE(first, 0);
    ASSERT_NE(second, 0);
    playlist = PlaylistOf({first, second});
    playlists.Add(kName, playlist.get());
    COutput* output = hub->GetOutput();
    EXPECT_FALSE(output->IsCached(first));

    Command(Entry(0));
    EXPECT_TRUE(output->IsWaiting());
    EXPECT_FALSE(output->IsPlaying());
    const CSong* song = library->GetSong(first);
    ASSERT_TRUE(TitleBecomes(std::wstring(song->DisplayArtist()) + L" - First"));
    EXPECT_TRUE(output->IsCached(first));
    EXPECT_TRUE(WaitFor([&] { return output->IsCached(second); }, 30000)) << "the next song is fetched ahead";
}

// The media keys (as hot keys or as WM_APPCOMMAND from the focused window), the taskbar
// preview's buttons and the toolbar's shortcut keys do what the toolbar's buttons do, and
// nothing where those are disabled.
TEST_F(PlaybackHub, MediaKeysTaskbarButtonsAndShortcutsActLikeTheToolbar) {
    Open(3, 4.0f);
    HWND w = main->Handle();
    auto hotKey = [&](UINT key) { SendMessageW(w, WM_HOTKEY, CMediaKeys::HotKeyIdOf(key), 0); };
    auto appCommand = [&](short command) {
        HWND list = FindWindowExW(w, nullptr, WC_LISTVIEWW, nullptr);
        SendMessageW(list ? list : w, WM_APPCOMMAND, WPARAM(w), MAKELPARAM(0, command));
    };
    hotKey(VK_MEDIA_NEXT_TRACK);
    th::PumpFor(200);
    EXPECT_EQ(TitleOf(w), L"tunehaven 0.2") << "Next is disabled while nothing plays";

    Command(Entry(0));
    ASSERT_TRUE(TitleBecomes(L"Tester - Song 1"));
    hotKey(VK_MEDIA_NEXT_TRACK);
    ASSERT_TRUE(TitleBecomes(L"Tester - Song 2"));
    appCommand(APPCOMMAND_MEDIA_PLAY_PAUSE);
    EXPECT_TRUE(hub->GetOutput()->IsPaused());
    hotKey(VK_MEDIA_PLAY_PAUSE);
    EXPECT_TRUE(hub->GetOutput()->IsPlaying());
    SendMessageW(w, WM_COMMAND, MAKEWPARAM(ID_NEXT, THBN_CLICKED), 0);
    ASSERT_TRUE(TitleBecomes(L"Tester - Song 3"));
    appCommand(APPCOMMAND_MEDIA_PREVIOUSTRACK);
    ASSERT_TRUE(TitleBecomes(L"Tester - Song 2"));
    hotKey(VK_MEDIA_STOP);
    ASSERT_TRUE(TitleBecomes(L"tunehaven 0.2"));

    // The shell says the taskbar button exists: the preview's buttons are added where the shell
    // has them; either way playing goes on as before.
    SendMessageW(w, RegisterWindowMessageW(L"TaskbarButtonCreated"), 0, 0);
    Command(Entry(1));
    ASSERT_TRUE(TitleBecomes(L"Tester - Song 2"));

    // The toolbar's own keys.
    ASSERT_TRUE(th::PressShortcut(w, VK_RIGHT, VK_MENU));
    ASSERT_TRUE(TitleBecomes(L"Tester - Song 3"));
    ASSERT_TRUE(th::PressShortcut(w, VK_LEFT, VK_MENU));
    ASSERT_TRUE(TitleBecomes(L"Tester - Song 2"));
    ASSERT_TRUE(th::PressShortcut(w, 'P', VK_CONTROL));
    EXPECT_TRUE(hub->GetOutput()->IsPaused());
    ASSERT_TRUE(th::PressShortcut(w, 'P', VK_CONTROL));
    EXPECT_TRUE(hub->GetOutput()->IsPlaying());

    // Real key presses on the test display. (Under Wine a key reaches the program only while
    // one of its windows has the focus; on Windows the hot keys work from anywhere.)
    SetForegroundWindow(w);
    ASSERT_TRUE(PressKeys(L"XF86AudioNext")) << "xdotool is installed by scripts/deps.sh";
    ASSERT_TRUE(TitleBecomes(L"Tester - Song 3"));
    ASSERT_TRUE(PressKeys(L"XF86AudioPlay"));
    EXPECT_TRUE(WaitFor([&] { return hub->GetOutput()->IsPaused(); }));
    ASSERT_TRUE(PressKeys(L"XF86AudioStop"));
    EXPECT_TRUE(TitleBecomes(L"tunehaven 0.2"));
}
