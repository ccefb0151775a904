// Disk taken by a gzip bomb: a body of about 1 MB that unpacks to 1 GB, unpacked the way a
// song and a catalogue of that size are. The figures are the most the folder held while the
// unpacking ran (sampled every few milliseconds) and what it holds afterwards.
#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "net/Net.h"

namespace {

constexpr uint64_t kBombBytes = 1ull << 30;

double Now() { return 1000.0 * th::Seconds(); }  // milliseconds

// A gzip file of kBombBytes zero bytes, written block by block.
bool WriteBomb(const std::wstring& path) {
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) return false;
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    std::vector<unsigned char> zeros(1 << 20, 0), packed(1 << 16);
    for (uint64_t done = 0; done < kBombBytes; done += zeros.size()) {
        z.next_in = zeros.data();
        z.avail_in = static_cast<uInt>(zeros.size());
        int flush = done + zeros.size() >= kBombBytes ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = packed.data();
            z.avail_out = static_cast<uInt>(packed.size());
            deflate(&z, flush);
            fwrite(packed.data(), 1, packed.size() - z.avail_out, out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    return fclose(out) == 0;
}

struct Job {
    std::wstring source, destination;
    uint64_t limit = 0;
    bool result = false;
    std::atomic<bool> done{false};
};

DWORD WINAPI Unpack(void* arg) {
    auto* job = static_cast<Job*>(arg);
    job->result = CNet::UnpackFile(job->source, job->destination, job->limit);
    job->done = true;
    return 0;
}

void Measure(const char* what, const std::wstring& bomb, const std::wstring& folder, uint64_t limit) {
    CreateDirectoryW(folder.c_str(), nullptr);
    Job job;
    job.source = bomb;
    job.destination = folder + L"target";
    job.limit = limit;
    double start = Now();
    HANDLE thread = CreateThread(nullptr, 0, &Unpack, &job, 0, nullptr);
    uint64_t peak = 0;
    while (!job.done) {
        peak = std::max(peak, th::FolderBytes(folder));
        Sleep(2);
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    printf("UnpackBench: %s (cap %.0f MB): %s in %.0f ms, peak on disk %.1f MB, left %.1f MB\n", what,
           limit / 1048576.0, job.result ? "unpacked" : "refused", Now() - start, peak / 1048576.0,
           th::FolderBytes(folder) / 1048576.0);
}

}  // namespace

int main() {
    th::TempDir dir;
    const std::wstring bomb = dir.File(L"bomb.gz");
    double made = Now();
    if (!WriteBomb(bomb)) {
        printf("UnpackBench: could not write the bomb\n");
        return 1;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(bomb.c_str(), GetFileExInfoStandard, &data);
    const uint64_t packed = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    printf("UnpackBench: a %.2f MB body that unpacks to %.0f MB (made in %.0f ms)\n", packed / 1048576.0,
           kBombBytes / 1048576.0, Now() - made);
    Measure("as a song", bomb, dir.File(L"song\\"), CNet::kSongUnpackLimit);
    Measure("as a catalogue", bomb, dir.File(L"catalogue\\"),
            std::min(packed * CNet::kLibraryUnpackRatio, CNet::kLibraryUnpackLimit));
    return 0;
}
