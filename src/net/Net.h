#pragma once
// The client of the online library: the version check, the catalogue download and song
// downloads, one HTTP GET at a time on a transfer thread. Progress and errors go to the status
// bar; the end of every request is posted to the main window as WM_APP_NET_DONE or
// WM_APP_NET_FAILED (wParam the request id, lParam the server's version for the check).

#include "app/Ids.h"
#include "base/Handle.h"
#include "base/Lock.h"

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CWndStatus;

class CNet {
public:

    // Texts shown in the status bar.
    static constexpr const wchar_t* kCheckingText = L"Checking current library version";
    static constexpr const wchar_t* kLibraryText = L"Downloading latest library";
    static constexpr const wchar_t* kSongText = L"Downloading ";
    static constexpr const wchar_t* kErrorText = L"Error connecting to server";
    static constexpr const wchar_t* kUnsafeFileText = L"Song not downloaded, unsafe file name: ";
    static constexpr const wchar_t* kNotLibraryText =
        L"The server sent no usable library; the local library is kept";

    // The most a download may unpack to: a song, and a catalogue (so many times its
    // compressed size, and never more than the absolute cap). A body that unpacks to more is
    // taken for damage (or a gzip bomb) and fails like a cut body.
    static constexpr uint64_t kSongUnpackLimit = 128ull << 20;
    static constexpr uint64_t kLibraryUnpackRatio = 64;
    static constexpr uint64_t kLibraryUnpackLimit = 1ull << 30;

    // `baseUrl` points at the server's base URL (ending with a slash), read at each request;
    // song files must lie below `cacheFolder`. Starts nothing.
    CNet(HWND mainWindow, CWndStatus* status, const std::wstring* baseUrl,
         const std::wstring& cacheFolder);
    virtual ~CNet();
    CNet(const CNet&) = delete;
    CNet& operator=(const CNet&) = delete;

    // Window thread. Each cancels the running transfer (waiting for it) and starts its own;
    // false when nothing could be started.
    bool CheckVersion();
    // The new catalogue replaces the file at `path` only when it reads as a catalogue whose
    // version is at least `announcedVersion` (the version check's answer, unsigned); otherwise
    // the old file stays as it was and the request fails with kNotLibraryText.
    bool DownloadLibrary(const std::wstring& path, DWORD announcedVersion);
    // Any thread, never waits. A request for the song last asked for starts nothing and
    // returns true while that download runs or after it arrived; after it failed (or was
    // cancelled) the song is asked for again. `path` must be the cache folder followed by a
    // safe relative file name.
    bool DownloadSong(int id, const std::wstring& path);
    // Window thread: cancels the running transfer and waits up to 5 seconds for it to end.
    void Cancel();
    // Window thread, at shutdown: cancels and closes the connection; later requests fail.
    // From its return on, no transfer (even one still running) reports to the status bar.
    void Close();

    // What the main window does after WM_APP_NET_DONE for the version check: true when the
    // server's version (lParam, unsigned) is newer than the local catalogue's.
    static bool IsNewer(LPARAM serverVersion, int localVersion);

    // Unpacks a gzip file (or copies a file that is not gzip data) to `destination`, creating
    // its folder. The data goes to a temporary file beside the destination, which replaces it
    // only when complete, so a failure leaves the old destination as it was. More than
    // `maxBytes` of unpacked data is a failure, and leaves nothing behind.
    static bool UnpackFile(const std::wstring& source, const std::wstring& destination,
                           uint64_t maxBytes = kSongUnpackLimit);

private:
    struct Transfer;
    class StatusLink;

    bool Start(int requestId, const std::wstring& path, std::wstring url, DWORD announcedVersion = 0);
    void CancelLocked();
    void ForgetEndedThreads();
    static DWORD WINAPI ThreadProc(void* arg);

    const HWND mainWindow_;
    // The status bar, shared with the transfers; Close takes it away.
    const std::shared_ptr<StatusLink> status_;
    const std::wstring* const baseUrl_;
    const std::wstring cacheFolder_;
    std::wstring tempFolder_;  // the user's temporary folder, with its trailing backslash

    // Guarded by lock_: DownloadSong may come from the audio thread as well as the window
    // thread. The lock is never held while waiting or posting.
    CLock lock_;
    HINTERNET root_ = nullptr;
    int requestId_ = NET_REQUEST_VERSION;
    std::shared_ptr<Transfer> current_; // the running or last transfer
    ThreadHandle thread_;               // its thread; none after Cancel
    // Cancelled threads that had not ended when last looked at; waited for at Close.
    std::vector<ThreadHandle> cancelled_;
    unsigned serial_ = 0;               // numbers the transfers
};
