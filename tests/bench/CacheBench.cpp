// Speed of the song cache: the scan of a cache folder of 10,000 files and a pass that evicts
// 1,000 of them. The cache reports nothing, so the figures come from watching the files go:
// the first deletion follows the scan at once, the last one ends the pass.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "net/Cache.h"

namespace {

constexpr int kFiles = 10000;
constexpr int kEvicted = 1000;
constexpr int kFolders = 100;
// 9,000 files of this size fit in 18 Mb and 9,001 do not, so a pass evicts exactly 1,000.
constexpr DWORD kLimitMb = 18;
constexpr DWORD kFileSize = 2097;

double Now() { return 1000.0 * th::Seconds(); }  // milliseconds

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int main() {
    th::TempDir dir;
    std::wstring folder = dir.File(L"modules\\");
    CreateDirectoryW(folder.c_str(), nullptr);
    std::vector<std::wstring> files;
    std::string body(kFileSize, 'm');
    double made = Now();
    for (int i = 0; i < kFiles; ++i) {
        std::wstring sub = folder + L"artist" + std::to_wstring(i % kFolders) + L"\\";
        if (i < kFolders) CreateDirectoryW(sub.c_str(), nullptr);
        std::wstring path = sub + L"song" + std::to_wstring(i) + L".mod";
        th::WriteFileBytes(path, body);
        // Oldest first in the order made, one second apart.
        HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                               nullptr);
        ULONGLONG ticks = (1500000000ULL + i + 11644473600ULL) * 10000000ULL;
        FILETIME ft{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        SetFileTime(h, nullptr, nullptr, &ft);
        CloseHandle(h);
        files.push_back(path);
    }
    printf("CacheBench: made %d files of %lu bytes in %d folders (%.0f ms)\n", kFiles, kFileSize,
           kFolders, Now() - made);

    std::atomic<DWORD> limit{kLimitMb};
    double start = Now();
    CCache cache(folder, &limit);
    cache.ProtectPlaylist(nullptr, nullptr);
    cache.AddFile();
    double first = 0, last = 0;
    while (Now() - start < 120000) {
        if (!first && !Exists(files[0])) first = Now();
        if (first && !Exists(files[kEvicted - 1])) {
            last = Now();
            break;
        }
        Sleep(1);
    }
    if (!last) {
        printf("CacheBench: the pass did not evict %d files within two minutes\n", kEvicted);
        return 1;
    }
    bool exact = Exists(files[kEvicted]);
    printf("CacheBench: scan of %d files: %.1f ms (until the first eviction)\n", kFiles, first - start);
    printf("CacheBench: pass evicting %d files: %.1f ms%s\n", kEvicted, last - first,
           exact ? "" : " (evicted too many!)");
    return exact ? 0 : 1;
}
