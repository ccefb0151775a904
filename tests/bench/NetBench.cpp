// Download speed of the server client: one song fetched repeatedly through CNet from a
// library server on loopback, compared with curl fetching the same URL (tests/bench/NetBench.sh
// starts the server, times curl and runs this program with the figures in its environment).
//   TH_BENCH_URL      the server's base URL (required)
//   TH_BENCH_SONG     the song id to fetch (default 1)
//   TH_BENCH_CURL_MS  curl's median time for the same URL, in milliseconds (optional)
//   TH_BENCH_RUNS     number of downloads (default 7)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/Ids.h"
#include "net/Net.h"

namespace {

UINT lastResult = 0;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP_NET_DONE || msg == WM_APP_NET_FAILED) {
        lastResult = msg;
        return 1;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

double Now() { return 1000.0 * th::Seconds(); }  // milliseconds

}  // namespace

int main() {
    std::wstring base = th::Env(L"TH_BENCH_URL");
    if (base.empty()) {
        printf("NetBench: skipped, TH_BENCH_URL is not set (tests/bench/NetBench.sh sets it)\n");
        return 0;
    }
    int id = _wtoi(th::Env(L"TH_BENCH_SONG").c_str());
    if (id <= 0) id = 1;
    int runs = _wtoi(th::Env(L"TH_BENCH_RUNS").c_str());
    if (runs <= 0) runs = 7;
    double curlMs = _wtof(th::Env(L"TH_BENCH_CURL_MS").c_str());

    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"th-net-bench";
    RegisterClassW(&wc);
    HWND window = CreateWindowW(L"th-net-bench", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);

    th::TempDir dir;
    std::wstring cache = dir.File(L"modules\\");
    std::wstring path = cache + L"bench\\song.xm";
    std::vector<double> times;
    long long bytes = 0;
    for (int i = 0; i < runs; ++i) {
        CNet net(window, nullptr, &base, cache);  // a fresh client: the same id twice starts nothing
        DeleteFileW(path.c_str());
        lastResult = 0;
        double start = Now();
        if (!net.DownloadSong(id, path)) {
            printf("NetBench: the download could not start\n");
            return 1;
        }
        th::PumpUntil([] { return lastResult != 0; }, 120000);
        double ms = Now() - start;
        if (lastResult != WM_APP_NET_DONE) {
            printf("NetBench: the download failed\n");
            return 1;
        }
        times.push_back(ms);
        bytes = static_cast<long long>(th::ReadFileBytes(path).size());
    }
    std::sort(times.begin(), times.end());
    double median = times[times.size() / 2];
    printf("NetBench: song %d, %.2f MB unpacked, %d downloads through CNet: median %.1f ms "
           "(min %.1f, max %.1f), %.1f MB/s\n",
           id, bytes / 1048576.0, runs, median, times.front(), times.back(),
           bytes / 1048576.0 / (median / 1000.0));
    if (curlMs > 0)
        printf("NetBench: curl of the same URL: median %.1f ms; CNet / curl = %.2f\n", curlMs,
               median / curlMs);
    return 0;
}
