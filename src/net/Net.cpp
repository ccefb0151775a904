#include "net/Net.h"

#include <fcntl.h>
#include <io.h>
#include <shlobj.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#include "app/Ids.h"
#include "library/Library.h"
#include "net/Cache.h"
#include "ui/frame/WndStatus.h"

namespace {

constexpr int kAttempts = 5;
constexpr DWORD kCancelWaitMs = 5000;
// Bodies are read and unpacked in blocks of up to this size: a song of several megabytes takes
// a few dozen calls rather than thousands.
constexpr DWORD kBlockSize = 65536;
constexpr DWORD kMinBlockSize = 4096;
constexpr size_t kVersionBytes = 31;

// Always ask the server: a cached version answer would hide a newer catalogue for good.
constexpr DWORD kOpenFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                             INTERNET_FLAG_NO_UI;

using InternetHandle = Handle<HINTERNET, &InternetCloseHandle>;

struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Closes a file that was written; false when the last of its data could not be written.
bool CloseWritten(FilePtr& file) {
    return fclose(file.release()) == 0;
}

struct GzCloser {
    void operator()(gzFile reader) const { gzclose(reader); }
};
using GzReader = std::unique_ptr<gzFile_s, GzCloser>;

enum class Unpacked { kDone, kFailed, kRejected };

// A catalogue may unpack to so many times its compressed size, up to the absolute cap.
uint64_t LibraryLimit(uint64_t compressed) {
    return std::min(compressed * CNet::kLibraryUnpackRatio, CNet::kLibraryUnpackLimit);
}

// The unpacking of UnpackFile, with a test of the complete file before it takes the
// destination's place: a file the test refuses is deleted and the destination stays.
Unpacked Unpack(const std::wstring& source, const std::wstring& destination, uint64_t maxBytes,
                const std::function<bool(const std::wstring&)>& accept) {
    if (destination.empty()) return Unpacked::kFailed;
    size_t slash = destination.rfind(L'\\');
    if (slash != std::wstring::npos && slash > 0)
        SHCreateDirectoryExW(nullptr, destination.substr(0, slash).c_str(), nullptr);

    FilePtr in(_wfopen(source.c_str(), L"rb"));
    if (!in) return Unpacked::kFailed;
    int fd = _dup(_fileno(in.get()));
    if (fd < 0) return Unpacked::kFailed;
    GzReader reader(gzdopen(fd, "rb"));
    if (!reader) {
        _close(fd);
        return Unpacked::kFailed;
    }
    gzbuffer(reader.get(), kBlockSize);
    // The thread id keeps two transfers that unpack to the same file apart.
    std::wstring temp = destination + L"." + std::to_wstring(GetCurrentThreadId()) + L".part";
    FilePtr out(_wfopen(temp.c_str(), L"wb"));
    if (!out) return Unpacked::kFailed;
    std::vector<char> block(kBlockSize);
    uint64_t total = 0;
    int n;
    while ((n = gzread(reader.get(), block.data(), kBlockSize)) > 0) {
        total += static_cast<uint64_t>(n);
        if (total > maxBytes || fwrite(block.data(), 1, n, out.get()) != static_cast<size_t>(n)) {
            n = -1;
            break;
        }
    }
    // gzread ends a cut gzip stream as if it were complete; only the reader's error state
    // tells the two apart.
    int error = Z_OK;
    if (n == 0) gzerror(reader.get(), &error);
    bool ok = CloseWritten(out) && n == 0 && error == Z_OK;
    Unpacked result = ok ? Unpacked::kDone : Unpacked::kFailed;
    if (ok && accept && !accept(temp)) result = Unpacked::kRejected;
    if (result == Unpacked::kDone &&
        !MoveFileExW(temp.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        result = Unpacked::kFailed;
    if (result != Unpacked::kDone) DeleteFileW(temp.c_str());
    return result;
}

std::wstring AfterLastBackslash(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

// The status bar as the client and its transfers reach it. A transfer thread may outlive
// Close (a request stuck in the network is not ended by the wait there), and the bar goes
// soon after Close: Cut takes the bar away and waits for any report already under way, so
// that no report reaches a bar that is gone. No lock is held while a report posts.
class CNet::StatusLink {
public:
    explicit StatusLink(CWndStatus* status) : status_(status) {}
    void SetText(const wchar_t* text) {
        Use([&](CWndStatus* status) { status->SetStatusText(text); });
    }
    void SetProgress(int percent) {
        Use([&](CWndStatus* status) { status->SetProgress(percent); });
    }
    void Cut() {
        status_.store(nullptr);
        while (users_.load() != 0) Sleep(0);
    }

private:
    template <typename F>
    void Use(F report) {
        ++users_;
        if (CWndStatus* status = status_.load()) report(status);
        --users_;
    }
    // Both sequentially consistent: a report that counted itself in before the bar was taken
    // away is waited for, and one that counted itself in after it finds no bar.
    std::atomic<CWndStatus*> status_;
    std::atomic<int> users_{0};
};

// Everything one request needs. Each transfer owns its own copy, so a thread that outlives the
// wait of Cancel shares nothing with the next request.
struct CNet::Transfer {
    enum Outcome { kFailed, kDone, kCancelled, kRejected };

    int requestId = 0;
    unsigned serial = 0;
    std::wstring url;
    std::wstring destination;
    std::wstring tempFolder;
    std::wstring tempPath;
    DWORD announcedVersion = 0;  // the catalogue download's least acceptable version
    HWND mainWindow = nullptr;
    std::shared_ptr<StatusLink> status;
    HINTERNET root = nullptr;
    // Set once the transfer ended without its file, before that is reported: the song may
    // then be asked for again.
    std::atomic<bool> failed{false};
    EventHandle runEvent;   // signalled while the transfer may go on
    // Cancelled transfers that may still run; this one waits for them before it starts.
    std::vector<ThreadHandle> previous;

    void Run();
    Outcome Attempt(DWORD& version);
    bool Running() const { return WaitForSingleObject(runEvent.get(), 0) == WAIT_OBJECT_0; }
    void SetText(const wchar_t* text) const { status->SetText(text); }
    void SetProgress(int percent) const { status->SetProgress(percent); }
};

void CNet::Transfer::Run() {
    // One transfer at a time: a request that did not wait for the one it cancelled waits here,
    // off the caller's thread. Should that one still be running, this transfer keeps away
    // from its download file.
    bool previousEnded = true;
    if (!previous.empty()) {
        std::vector<HANDLE> handles;
        for (const auto& thread : previous) handles.push_back(thread.get());
        DWORD count = static_cast<DWORD>(std::min<size_t>(handles.size(), MAXIMUM_WAIT_OBJECTS));
        previousEnded = count == handles.size() &&
                        WaitForMultipleObjects(count, handles.data(), TRUE, kCancelWaitMs) <
                            WAIT_OBJECT_0 + count;
        previous.clear();
    }
    // Cancelled while it waited: it never reached the server, and the request that cancelled
    // it shows its own status.
    if (!Running()) {
        failed = true;
        PostMessageW(mainWindow, WM_APP_NET_FAILED,
                     NetRequestParam(requestId), 0);
        return;
    }
    tempPath = tempFolder + L"tunehaven" + (previousEnded ? L"" : std::to_wstring(serial)) + L".tmp";

    std::wstring text = requestId == NET_REQUEST_VERSION ? kCheckingText
                        : requestId == NET_REQUEST_LIBRARY
                            ? kLibraryText
                            : kSongText + AfterLastBackslash(destination);
    SetText(text.c_str());
    SetProgress(0);

    Outcome outcome = kFailed;
    DWORD version = 0;
    for (int attempt = 0; attempt < kAttempts && outcome == kFailed; ++attempt)
        outcome = Attempt(version);
    if (!previousEnded) DeleteFileW(tempPath.c_str());

    // A cancelled request did not deliver its file, so it is reported as failed; it is no
    // error the user needs to see, though.
    SetText(outcome == kFailed ? kErrorText : outcome == kRejected ? kNotLibraryText : nullptr);
    if (outcome != kDone) failed = true;
    UINT msg = outcome == kDone ? WM_APP_NET_DONE : WM_APP_NET_FAILED;
    PostMessageW(mainWindow, msg, NetRequestParam(requestId),
                 outcome == kDone ? static_cast<LPARAM>(version) : 0);
    SetProgress(-1);
}

CNet::Transfer::Outcome CNet::Transfer::Attempt(DWORD& version) {
    InternetHandle request(InternetOpenUrlW(root, url.c_str(), nullptr, 0, kOpenFlags, 0));
    if (!request) return kFailed;
    // An error page is no catalogue or song, however well its length is given.
    DWORD code = 0, size = sizeof(code);
    if (!HttpQueryInfoW(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code,
                        &size, nullptr) ||
        code < 200 || code > 299)
        return kFailed;
    DWORD length = 0;
    size = sizeof(length);
    if (!HttpQueryInfoW(request.get(), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length,
                        &size, nullptr) ||
        length == 0)
        return kFailed;

    FilePtr file(_wfopen(tempPath.c_str(), L"wb"));
    if (!file) return kFailed;
    uint64_t received = 0;
    bool written = true;
    // A read waits until its whole block has arrived. Blocks are large, but a body comes in at
    // least sixteen of them, so that a slow server's transfer still shows its progress and sees
    // a cancel between two of its pieces.
    const DWORD block = std::clamp<DWORD>(length / 16, kMinBlockSize, kBlockSize);
    std::vector<char> buffer(block);
    DWORD count = 0;
    while (Running() && InternetReadFile(request.get(), buffer.data(), block, &count) && count) {
        if (fwrite(buffer.data(), 1, count, file.get()) != count) {
            written = false;
            break;
        }
        received += count;
        SetProgress(static_cast<int>(received * 100 / length));
    }
    if (!CloseWritten(file)) written = false;

    if (written && received == length) {
        Outcome outcome = kFailed;
        if (requestId == NET_REQUEST_VERSION) {
            if (FilePtr in{_wfopen(tempPath.c_str(), L"rb")}) {
                char text[kVersionBytes + 1] = {};
                if (fread(text, 1, kVersionBytes, in.get()) > 0)
                    version = static_cast<DWORD>(strtol(text, nullptr, 10));
                outcome = kDone;
            }
        } else if (requestId == NET_REQUEST_LIBRARY) {
            // An answer that is no catalogue (a proxy's page, an error page sent as a success)
            // must not take the place of the user's catalogue. It is what the server sends, so
            // asking again would not help.
            auto isCatalogue = [this](const std::wstring& file) {
                CLibrary check(file);
                return check.ReadWhole() && !IsNewer(announcedVersion, check.GetVersion(false));
            };
            switch (Unpack(tempPath, destination, LibraryLimit(received), isCatalogue)) {
            case Unpacked::kDone: outcome = kDone; break;
            case Unpacked::kFailed: outcome = kFailed; break;
            case Unpacked::kRejected: outcome = kRejected; break;
            }
        } else if (UnpackFile(tempPath, destination, kSongUnpackLimit)) {
            outcome = kDone;
        }
        DeleteFileW(tempPath.c_str());
        return outcome;
    }
    // A cancelled request leaves its partial download for the next transfer to replace.
    return Running() ? kFailed : kCancelled;
}

CNet::CNet(HWND mainWindow, CWndStatus* status, const std::wstring* baseUrl,
           const std::wstring& cacheFolder)
    : mainWindow_(mainWindow),
      status_(std::make_shared<StatusLink>(status)),
      baseUrl_(baseUrl),
      cacheFolder_(cacheFolder) {
    root_ = InternetOpenW(L"tunehaven", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    wchar_t temp[MAX_PATH + 1] = L"";
    DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    if (n > 0 && n <= MAX_PATH) tempFolder_ = temp;
}

CNet::~CNet() {
    Close();
}

bool CNet::CheckVersion() {
    Cancel();
    CLockGuard lock(lock_);
    CancelLocked();  // a song request from another thread may have started meanwhile
    requestId_ = NET_REQUEST_VERSION;
    return Start(NET_REQUEST_VERSION, {}, (baseUrl_ ? *baseUrl_ : std::wstring()) + L"version.php");
}

bool CNet::DownloadLibrary(const std::wstring& path, DWORD announcedVersion) {
    // Without a data folder there is no catalogue of ours to replace.
    if (path.empty()) return false;
    Cancel();
    CLockGuard lock(lock_);
    CancelLocked();
    requestId_ = NET_REQUEST_LIBRARY;
    return Start(NET_REQUEST_LIBRARY, path, (baseUrl_ ? *baseUrl_ : std::wstring()) + L"library.php",
                 announcedVersion);
}

bool CNet::DownloadSong(int id, const std::wstring& path) {
    // The file name comes from the server's catalogue: it must not lead out of the cache
    // folder, and without a data folder there is no cache folder to write to.
    if (cacheFolder_.empty()) return false;
    bool inCache = path.size() > cacheFolder_.size() &&
                   path.compare(0, cacheFolder_.size(), cacheFolder_) == 0;
    if (!inCache || !CCache::IsSafeFile(path.substr(cacheFolder_.size()))) {
        status_->SetText((kUnsafeFileText + (inCache ? path.substr(cacheFolder_.size()) : path)).c_str());
        return false;
    }
    CLockGuard lock(lock_);
    // A download that failed must not stand in the way of the next request for its song:
    // the engine asks again when it needs the song, and so does the user's double click.
    if (id == requestId_ && current_ && current_->requestId == id && !current_->failed) return true;
    CancelLocked();
    requestId_ = id;
    return Start(id, path,
                 (baseUrl_ ? *baseUrl_ : std::wstring()) + L"song.php?id=" + std::to_wstring(id));
}

void CNet::Cancel() {
    ThreadHandle running;
    {
        CLockGuard lock(lock_);
        if (!thread_) return;
        DuplicateHandle(GetCurrentProcess(), thread_.get(), GetCurrentProcess(), running.put(),
                        SYNCHRONIZE, FALSE, 0);
        CancelLocked();
    }
    if (running) WaitForSingleObject(running.get(), kCancelWaitMs);
    CLockGuard lock(lock_);
    ForgetEndedThreads();
}

void CNet::Close() {
    Cancel();
    InternetHandle root;
    std::vector<ThreadHandle> stragglers;
    {
        CLockGuard lock(lock_);
        root.reset(std::exchange(root_, nullptr));
        stragglers.swap(cancelled_);
    }
    // Closing the root handle also ends the requests of transfers still running (those that
    // are reading a body), so that few of them outlive the objects they report to.
    root.reset();
    DWORD start = GetTickCount();
    for (auto& thread : stragglers) {
        DWORD spent = GetTickCount() - start;
        WaitForSingleObject(thread.get(), spent < kCancelWaitMs ? kCancelWaitMs - spent : 0);
    }
    // One that is still stuck may end at any time later; it reports to nobody then.
    status_->Cut();
}

bool CNet::IsNewer(LPARAM serverVersion, int localVersion) {
    return static_cast<DWORD>(serverVersion) > static_cast<DWORD>(localVersion);
}

void CNet::CancelLocked() {
    if (!thread_) return;
    if (current_) ResetEvent(current_->runEvent.get());
    ForgetEndedThreads();
    cancelled_.push_back(std::move(thread_));
}

void CNet::ForgetEndedThreads() {
    for (size_t i = 0; i < cancelled_.size();) {
        if (WaitForSingleObject(cancelled_[i].get(), 0) == WAIT_OBJECT_0)
            cancelled_.erase(cancelled_.begin() + i);
        else
            ++i;
    }
}

bool CNet::Start(int requestId, const std::wstring& path, std::wstring url, DWORD announcedVersion) {
    // Without the temporary folder the download file would land in the current directory.
    if (!root_ || tempFolder_.empty()) return false;
    auto transfer = std::make_shared<Transfer>();
    transfer->requestId = requestId;
    transfer->serial = ++serial_;
    transfer->url = std::move(url);
    transfer->destination = path;
    transfer->tempFolder = tempFolder_;
    transfer->announcedVersion = announcedVersion;
    transfer->mainWindow = mainWindow_;
    transfer->status = status_;
    transfer->root = root_;
    transfer->runEvent.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    if (!transfer->runEvent) return false;
    for (const auto& thread : cancelled_) {
        ThreadHandle previous;
        if (DuplicateHandle(GetCurrentProcess(), thread.get(), GetCurrentProcess(), previous.put(),
                            SYNCHRONIZE, FALSE, 0))
            transfer->previous.push_back(std::move(previous));
    }
    auto* arg = new std::shared_ptr<Transfer>(transfer);
    HANDLE thread = CreateThread(nullptr, 0, &CNet::ThreadProc, arg, 0, nullptr);
    if (!thread) {
        delete arg;
        return false;
    }
    current_ = std::move(transfer);
    thread_.reset(thread);
    return true;
}

DWORD WINAPI CNet::ThreadProc(void* arg) {
    std::unique_ptr<std::shared_ptr<Transfer>> transfer(static_cast<std::shared_ptr<Transfer>*>(arg));
    (*transfer)->Run();
    return 0;
}

bool CNet::UnpackFile(const std::wstring& source, const std::wstring& destination,
                      uint64_t maxBytes) {
    return Unpack(source, destination, maxBytes, nullptr) == Unpacked::kDone;
}
