#pragma once
// The song cache: keeps the total size of the cache folder within the user's limit by deleting
// the least recently written files first, never deleting past a favourite's file. The work is
// done on a low-priority thread of its own; the window thread only hands it small queues.

#include "base/Lock.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/Handle.h"

class CLibrary;
class CPlaylist;

class CCache {
public:
    // `folder` is the cache folder, ending with a backslash; `limitMb` points at the size
    // limit in megabytes, read live at each pass. With an empty folder (the data folder is
    // unknown) the cache touches no file at all.
    CCache(const std::wstring& folder, const std::atomic<DWORD>* limitMb);
    virtual ~CCache();
    CCache(const CCache&) = delete;
    CCache& operator=(const CCache&) = delete;

    // Queues a newly written file (a full path below the cache folder) and asks for a pass;
    // with an empty path it only asks for a pass (after the limit changed).
    void AddFile(const std::wstring& path = {});
    // Queue a song to protect from eviction or to release; applied at the next pass. A file
    // stays protected while any song playing from it (another sub-song of the module) is.
    void Protect(int songId);
    void Unprotect(int songId);
    // Protects the files of the playlist's songs (the favourites) at the next pass and lets
    // passes begin. May be called again when the tree is rebuilt.
    void ProtectPlaylist(const CPlaylist* playlist, CLibrary* library);
    // Stops the cache thread from looking songs up until the next ProtectPlaylist: called before
    // the library is reloaded, so that no pass reads the catalogue while it changes. Returns
    // once no pass is inside a lookup. Protect requests made meanwhile wait for the library.
    void ReleaseLibrary();

    // True when a FILE value from the catalogue is a plain relative path that stays inside the
    // cache folder: no drive, colon or leading backslash, no "." or ".." component, no
    // wildcard or control character, no device name.
    static bool IsSafeFile(std::wstring_view file);
    // folder + file, or an empty path when the folder is unknown or the file is not safe.
    static std::wstring SongPath(const std::wstring& folder, std::wstring_view file);

private:
    // Paths compare as the file system compares names: without regard to case.
    struct PathLess {
        bool operator()(const std::wstring& a, const std::wstring& b) const;
    };
    struct Entry {
        std::wstring path;
        int64_t size = 0;
    };
    using TimeIndex = std::multimap<int64_t, Entry>;

    static DWORD WINAPI ThreadProc(void* self);
    void Run();
    void Scan(const std::wstring& folder);
    void Pass();
    void TakeQueues();
    void Evict();
    bool Stopping() const;
    std::wstring FileOf(int songId) const;
    // Counts a file with its time and size; a file known already (downloaded again) is counted
    // once, with its new time and size.
    void Track(const std::wstring& path, int64_t time, int64_t size);


    EventHandle stopEvent_;
    EventHandle startEvent_;
    EventHandle workEvent_;
    ThreadHandle thread_;
    const std::wstring folder_;
    const std::atomic<DWORD>* limit_;

    // Cache thread only. totalSize_ is the sum of the sizes in timeIndex_, which holds each
    // file once, oldest first; byPath_ finds a file's entry there.
    int64_t totalSize_ = 0;
    std::map<std::wstring, std::set<int>, PathLess> protectedPaths_;  // with the songs protecting each
    TimeIndex timeIndex_;
    std::map<std::wstring, TimeIndex::iterator, PathLess> byPath_;

    // Guarded by lock_: written by the window thread, drained by the cache thread at each pass.
    CLock lock_;
    std::vector<std::wstring> addedFiles_;
    std::vector<int> protectQueue_;
    std::vector<int> unprotectQueue_;
    CLibrary* library_ = nullptr;
};
