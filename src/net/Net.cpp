#include "net/Net.h"

#include <fcntl.h>
#include <io.h>
#include <shlobj.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "app/Ids.h"
#include "net/Cache.h"
#include "ui/frame/WndStatus.h"

namespace {

constexpr int kAttempts = 5;
constexpr DWORD kCancelWaitMs = 5000;
constexpr DWORD kBlockSize = 4096;
constexpr size_t kVersionBytes = 31;

// Always ask the server: a cached version answer would hide a newer catalogue for good.
constexpr DWORD kOpenFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                             INTERNET_FLAG_NO_UI;

using InternetHandle = Handle<HINTERNET, &InternetCloseHandle>;

struct FileCloser {
    void operator()(FILE* f) const { fclose(f); }
};

std::wstring AfterLastBackslash(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

// Everything one request needs. Each transfer owns its own copy, so a thread that outlives the
// wait of Cancel shares nothing with the next request.
struct CNet::Transfer {
    enum Outcome { kFailed, kDone, kCancelled };

    int requestId = 0;
    unsigned serial = 0;
    std::wstring url;
    std::wstring destination;
    std::wstring tempFolder;
    std::wstring tempPath;
    HWND mainWindow = nullptr;
    CWndStatus* status = nullptr;
    HINTERNET root = nullptr;
    EventHandle runEvent;   // signalled while the transfer may go on
    // Cancelled transfers that may still run; this one waits for them before it starts.
    std::vector<ThreadHandle> previous;

    void Run();
    Outcome Attempt(DWORD& version);
    bool Running() const { return WaitForSingleObject(runEvent.get(), 0) == WAIT_OBJECT_0; }
    void SetText(const wchar_t* text) const { if (status) status->SetStatusText(text); }
    void SetProgress(int percent) const { if (status) status->SetProgress(percent); }
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
    SetText(outcome == kFailed ? kErrorText : nullptr);
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

    FILE* file = _wfopen(tempPath.c_str(), L"wb");
    if (!file) return kFailed;
    uint64_t received = 0;
    bool written = true;
    char buffer[kBlockSize];
    DWORD count = 0;
    while (Running() && InternetReadFile(request.get(), buffer, kBlockSize, &count) && count) {
        if (fwrite(buffer, 1, count, file) != count) {
            written = false;
            break;
        }
        received += count;
        SetProgress(static_cast<int>(received * 100 / length));
    }
    if (fclose(file) != 0) written = false;

    if (written && received == length) {
        bool done = false;
        if (requestId == NET_REQUEST_VERSION) {
            if (FILE* in = _wfopen(tempPath.c_str(), L"rb")) {
                char text[kVersionBytes + 1] = {};
                if (fread(text, 1, kVersionBytes, in) > 0)
                    version = static_cast<DWORD>(strtol(text, nullptr, 10));
                fclose(in);
                done = true;
            }
        } else {
            done = UnpackFile(tempPath, destination);
        }
        DeleteFileW(tempPath.c_str());
        return done ? kDone : kFailed;
    }
    // A cancelled request leaves its partial download for the next transfer to replace.
    return Running() ? kFailed : kCancelled;
}

CNet::CNet(HWND mainWindow, CWndStatus* status, const std::wstring* baseUrl,
           const std::wstring& cacheFolder)
    : mainWindow_(mainWindow), status_(status), baseUrl_(baseUrl), cacheFolder_(cacheFolder) {
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

bool CNet::DownloadLibrary(const std::wstring& path) {
    // Without a data folder there is no catalogue of ours to replace.
    if (path.empty()) return false;
    Cancel();
    CLockGuard lock(lock_);
    CancelLocked();
    requestId_ = NET_REQUEST_LIBRARY;
    return Start(NET_REQUEST_LIBRARY, path, (baseUrl_ ? *baseUrl_ : std::wstring()) + L"library.php");
}

bool CNet::DownloadSong(int id, const std::wstring& path) {
    // The file name comes from the server's catalogue: it must not lead out of the cache
    // folder, and without a data folder there is no cache folder to write to.
    if (cacheFolder_.empty()) return false;
    bool inCache = path.size() > cacheFolder_.size() &&
                   path.compare(0, cacheFolder_.size(), cacheFolder_) == 0;
    if (!inCache || !CCache::IsSafeFile(path.substr(cacheFolder_.size()))) {
        if (status_)
            status_->SetStatusText((kUnsafeFileText +
                                    (inCache ? path.substr(cacheFolder_.size()) : path)).c_str());
        return false;
    }
    CLockGuard lock(lock_);
    if (id == requestId_) return true;
    CancelLocked();
    requestId_ = id;
    return Start(id, path,
                 (baseUrl_ ? *baseUrl_ : std::wstring()) + L"song.php?id=" + std::to_wstring(id));
}

void CNet::Cancel() {
    HANDLE running = nullptr;
    {
        CLockGuard lock(lock_);
        if (!thread_) return;
        DuplicateHandle(GetCurrentProcess(), thread_.get(), GetCurrentProcess(), &running,
                        SYNCHRONIZE, FALSE, 0);
        CancelLocked();
    }
    if (running) {
        WaitForSingleObject(running, kCancelWaitMs);
        CloseHandle(running);
    }
    CLockGuard lock(lock_);
    ForgetEndedThreads();
}

void CNet::Close() {
    Cancel();
    HINTERNET root;
    std::vector<ThreadHandle> stragglers;
    {
        CLockGuard lock(lock_);
        root = root_;
        root_ = nullptr;
        stragglers.swap(cancelled_);
    }
    // Closing the root handle also ends the requests of transfers still running, so that none
    // of them outlives the objects it reports to.
    if (root) InternetCloseHandle(root);
    DWORD start = GetTickCount();
    for (auto& thread : stragglers) {
        DWORD spent = GetTickCount() - start;
        WaitForSingleObject(thread.get(), spent < kCancelWaitMs ? kCancelWaitMs - spent : 0);
    }
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

bool CNet::Start(int requestId, const std::wstring& path, std::wstring url) {
    // Without the temporary folder the download file would land in the current directory.
    if (!root_ || tempFolder_.empty()) return false;
    auto transfer = std::make_shared<Transfer>();
    transfer->requestId = requestId;
    transfer->serial = ++serial_;
    transfer->url = std::move(url);
    transfer->destination = path;
    transfer->tempFolder = tempFolder_;
    transfer->mainWindow = mainWindow_;
    transfer->status = status_;
    transfer->root = root_;
    transfer->runEvent.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
    if (!transfer->runEvent) return false;
    for (const auto& thread : cancelled_) {
        HANDLE previous = nullptr;
        if (DuplicateHandle(GetCurrentProcess(), thread.get(), GetCurrentProcess(), &previous,
                            SYNCHRONIZE, FALSE, 0))
            transfer->previous.emplace_back(previous);
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

bool CNet::UnpackFile(const std::wstring& source, const std::wstring& destination) {
    if (destination.empty()) return false;
    size_t slash = destination.rfind(L'\\');
    if (slash != std::wstring::npos && slash > 0)
        SHCreateDirectoryExW(nullptr, destination.substr(0, slash).c_str(), nullptr);

    std::unique_ptr<FILE, FileCloser> in(_wfopen(source.c_str(), L"rb"));
    if (!in) return false;
    int fd = _dup(_fileno(in.get()));
    if (fd < 0) return false;
    gzFile reader = gzdopen(fd, "rb");
    if (!reader) {
        _close(fd);
        return false;
    }
    // The thread id keeps two transfers that unpack to the same file apart.
    std::wstring temp = destination + L"." + std::to_wstring(GetCurrentThreadId()) + L".part";
    bool ok = false;
    if (FILE* out = _wfopen(temp.c_str(), L"wb")) {
        char block[kBlockSize];
        int n;
        while ((n = gzread(reader, block, kBlockSize)) > 0) {
            if (fwrite(block, 1, n, out) != static_cast<size_t>(n)) {
                n = -1;
                break;
            }
        }
        // gzread ends a cut gzip stream as if it were complete; only the reader's error
        // state tells the two apart.
        int error = Z_OK;
        if (n == 0) gzerror(reader, &error);
        ok = fclose(out) == 0 && n == 0 && error == Z_OK;
        ok = ok && MoveFileExW(temp.c_str(), destination.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!ok) DeleteFileW(temp.c_str());
    }
    gzclose(reader);
    return ok;
}
