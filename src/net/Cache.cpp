#include "net/Cache.h"

#include <sys/stat.h>

#include <algorithm>
#include <cwctype>
#include <memory>

#include "library/Library.h"
#include "playlists/Playlist.h"

namespace {

constexpr DWORD kStopWaitMs = 5000;
constexpr int64_t kMegabyte = 1048576;

bool StatFile(const std::wstring& path, struct _stat64& st) {
    return _wstat64(path.c_str(), &st) == 0;
}

// A file time (100 ns steps since 1601) as the seconds since 1970 the C library's stat gives.
int64_t UnixTime(const FILETIME& time) {
    const int64_t ticks = static_cast<int64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
    const int64_t seconds = ticks / 10000000 - 11644473600LL;
    return seconds;
}

struct FindCloser {
    void operator()(HANDLE find) const { FindClose(find); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

// Names that Windows maps to devices in every folder ("nul.mod" is the NUL device too).
bool IsDeviceName(const std::wstring& component) {
    std::wstring base = component.substr(0, component.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    for (auto& c : base) c = static_cast<wchar_t>(towupper(c));
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$",
                                              L"CONOUT$"};
    for (const wchar_t* d : kDevices)
        if (base == d) return true;
    if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
        base[3] >= L'0' && base[3] <= L'9')
        return true;
    return false;
}

// A component made only of dots and blanks is "." or ".." to Windows, which drops trailing
// dots and blanks from names.
bool IsDotsOnly(const std::wstring& component) {
    return component.find_first_not_of(L". ") == std::wstring::npos;
}

}  // namespace

CCache::CCache(const std::wstring& folder, const std::atomic<DWORD>* limitMb)
    : stopEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      startEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      workEvent_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      folder_(folder),
      limit_(limitMb) {
    // Without a data folder there is nothing of ours to scan or evict; a relative folder would
    // make the cache work on the current directory.
    if (folder_.empty() || !stopEvent_ || !startEvent_ || !workEvent_) return;
    thread_.reset(CreateThread(nullptr, 0, &CCache::ThreadProc, this, 0, nullptr));
    if (thread_) SetThreadPriority(thread_.get(), THREAD_PRIORITY_LOWEST);
}

CCache::~CCache() {
    if (thread_) {
        SetEvent(stopEvent_.get());
        // The thread reads this object's queues and folder: it must have ended before they are
        // freed. A scan checks the stop event between files, so a slow disk only lengthens the
        // wait past the usual bound; it never lets the object go while the thread runs.
        if (WaitForSingleObject(thread_.get(), kStopWaitMs) == WAIT_TIMEOUT)
            WaitForSingleObject(thread_.get(), INFINITE);
    }
}

void CCache::AddFile(const std::wstring& path) {
    if (!thread_) return;
    if (!path.empty()) {
        // Only files below our own folder are ours to count and delete.
        if (path.compare(0, folder_.size(), folder_) != 0 ||
            !IsSafeFile(path.substr(folder_.size())))
            return;
        CLockGuard lock(lock_);
        addedFiles_.push_back(path);
    }
    SetEvent(workEvent_.get());
}

void CCache::Protect(int songId) {
    CLockGuard lock(lock_);
    protectQueue_.push_back(songId);
}

void CCache::Unprotect(int songId) {
    CLockGuard lock(lock_);
    unprotectQueue_.push_back(songId);
}

void CCache::ProtectPlaylist(const CPlaylist* playlist, CLibrary* library) {
    // The ids go through the protect queue, which every pass applies before it evicts, so the
    // set of protected files is never changed while a pass reads it. They go to its front: a
    // queued id the catalogue no longer knows ends the queue there, and must not cost the
    // favourites their protection.
    std::vector<int> ids;
    if (playlist && library) {
        for (int i = 0;; ++i) {
            int id = playlist->GetIdAt(i);
            if (!library->GetSong(id)) break;
            ids.push_back(id);
        }
    }
    {
        CLockGuard lock(lock_);
        library_ = library;
        protectQueue_.insert(protectQueue_.begin(), ids.begin(), ids.end());
    }
    SetEvent(startEvent_.get());
}

void CCache::ReleaseLibrary() {
    // Lookups happen only while the cache thread holds lock_, so once it is taken here no pass
    // is reading the catalogue, and none will until ProtectPlaylist hands it back.
    CLockGuard lock(lock_);
    library_ = nullptr;
}

bool CCache::IsSafeFile(std::wstring_view file) {
    if (file.empty()) return false;
    size_t start = 0;
    for (;;) {
        size_t end = file.find_first_of(L"\\/", start);
        std::wstring component(file.substr(start, end == std::wstring_view::npos ? end : end - start));
        if (component.empty() || IsDotsOnly(component) || IsDeviceName(component)) return false;
        for (wchar_t c : component)
            if (c < 0x20 || wcschr(L":*?\"<>|", c)) return false;
        if (end == std::wstring_view::npos) return true;
        start = end + 1;
    }
}

std::wstring CCache::SongPath(const std::wstring& folder, std::wstring_view file) {
    if (folder.empty() || !IsSafeFile(file)) return {};
    return folder + std::wstring(file);
}

DWORD WINAPI CCache::ThreadProc(void* self) {
    static_cast<CCache*>(self)->Run();
    return 0;
}

void CCache::Run() {
    Scan(folder_);
    HANDLE startWait[2] = {stopEvent_.get(), startEvent_.get()};
    if (WaitForMultipleObjects(2, startWait, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) return;
    HANDLE workWait[2] = {stopEvent_.get(), workEvent_.get()};
    while (WaitForMultipleObjects(2, workWait, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) Pass();
}

bool CCache::Stopping() const { return WaitForSingleObject(stopEvent_.get(), 0) == WAIT_OBJECT_0; }

void CCache::Scan(const std::wstring& folder) {
    if (Stopping()) return;
    WIN32_FIND_DATAW fd;
    HANDLE first = FindFirstFileW((folder + L"*").c_str(), &fd);
    if (first == INVALID_HANDLE_VALUE) return;
    FindHandle find(first);
    do {
        std::wstring name = fd.cFileName;
        // A junction or link leads elsewhere: what lies behind it is not the cache's to count
        // or delete.
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            // The listing carries the size and time already: no call per file.
            Track(folder + name, UnixTime(fd.ftLastWriteTime),
                  static_cast<int64_t>(fd.nFileSizeHigh) << 32 | fd.nFileSizeLow);
        } else if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_SYSTEM) && name[0] != L'.') {
            Scan(folder + name + L"\\");
        }
    } while (FindNextFileW(find.get(), &fd));
}

// Name by name the way the file system matches names: code unit by code unit after upper-
// casing. ASCII is folded here; any other pair goes to the system's table, so a scan of many
// thousand paths does not pay a system call per character.
bool CCache::PathLess::operator()(const std::wstring& a, const std::wstring& b) const {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        wchar_t x = a[i], y = b[i];
        if (x == y) continue;
        if (x < 0x80 && y < 0x80) {
            if (x >= L'a' && x <= L'z') x = static_cast<wchar_t>(x - 32);
            if (y >= L'a' && y <= L'z') y = static_cast<wchar_t>(y - 32);
            if (x != y) return x < y;
            continue;
        }
        int order = CompareStringOrdinal(&a[i], 1, &b[i], 1, TRUE);
        if (order != CSTR_EQUAL) return order == CSTR_LESS_THAN;
    }
    return a.size() < b.size();
}

void CCache::Track(const std::wstring& path, int64_t time, int64_t size) {
    auto known = byPath_.find(path);
    if (known != byPath_.end()) {
        totalSize_ -= known->second->second.size;
        timeIndex_.erase(known->second);
        byPath_.erase(known);
    }
    auto entry = timeIndex_.emplace(time, Entry{path, size});
    byPath_.emplace(path, entry);
    totalSize_ += size;
}

std::wstring CCache::FileOf(int songId) const {
    const CSong* song = library_ ? library_->GetSong(songId) : nullptr;
    if (!song) return {};
    return folder_ + std::wstring(song->File());
}

void CCache::TakeQueues() {
    CLockGuard lock(lock_);
    for (const auto& path : addedFiles_) {
        struct _stat64 st;
        if (StatFile(path, st)) Track(path, st.st_mtime, st.st_size);
    }
    addedFiles_.clear();
    // Without a catalogue (it is being reloaded) the songs cannot be named yet: the requests
    // wait for the next pass that has one.
    if (!library_) return;
    for (int id : protectQueue_) {
        std::wstring path = FileOf(id);
        if (path.empty()) break;
        protectedPaths_[path].insert(id);
    }
    for (int id : unprotectQueue_) {
        std::wstring path = FileOf(id);
        if (path.empty()) break;
        auto protectedPath = protectedPaths_.find(path);
        if (protectedPath == protectedPaths_.end()) continue;
        protectedPath->second.erase(id);
        if (protectedPath->second.empty()) protectedPaths_.erase(protectedPath);
    }
    protectQueue_.clear();
    unprotectQueue_.clear();
}

void CCache::Evict() {
    if (!limit_) return;
    const int64_t limit = static_cast<int64_t>(limit_->load()) * kMegabyte;
    // A favourite's file is passed over, not a stop: the files after it are evicted as usual.
    auto oldest = timeIndex_.begin();
    while (totalSize_ > limit && !Stopping() && oldest != timeIndex_.end()) {
        const std::wstring& path = oldest->second.path;
        if (protectedPaths_.count(path)) {
            ++oldest;
            continue;
        }
        // Its size is taken off even when the file is gone already (deleted by the user): it
        // takes no room any more.
        DeleteFileW(path.c_str());
        size_t slash = path.rfind(L'\\');
        if (slash != std::wstring::npos && slash >= folder_.size())
            RemoveDirectoryW(path.substr(0, slash).c_str());  // only an emptied sub-folder goes
        totalSize_ -= oldest->second.size;
        byPath_.erase(path);
        oldest = timeIndex_.erase(oldest);
    }
}

void CCache::Pass() {
    // Reset before the queues are taken, so that a request arriving during the pass wakes the
    // next one instead of waiting for some later request.
    ResetEvent(workEvent_.get());
    TakeQueues();
    Evict();
}
