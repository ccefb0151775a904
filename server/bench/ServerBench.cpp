// Figures for the library server and the catalogue builder:
//   bench_ServerBench [DIR] [--seconds S] [--clients N]
// Builds a catalogue of generated songs (or measures a fresh build of a copy of DIR), then
// requests song.php on loopback for S seconds per mode from N client threads, once with a
// new connection per request and once over kept-alive connections, and prints the rates;
// then times song.php while 100 slow clients trickle their requests, and what a huge request
// body and huge headers cost.
#include <httplib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "CatalogBuilder.h"
#include "LibraryServer.h"
#include "TestUtil.h"

using namespace th;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

long RssKb() {
    const std::string status = test::ReadFile("/proc/self/status");
    const size_t at = status.find("VmRSS:");
    return at == std::string::npos ? 0 : std::atol(status.c_str() + at + 6);
}

// song.php answered on fresh connections while 100 others trickle their request heads, a byte
// per second each, as a slow or hostile client does.
void SlowClientFigures(int port, int songs) {
    const test::SlowClients slow(port, 100, std::chrono::seconds(1));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    std::vector<double> ms;
    int failed = 0;
    const int requests = 50;
    for (int i = 0; i < requests; ++i) {
        const auto t = Clock::now();
        const auto r = test::HttpGet(port, "/song.php?id=" + std::to_string(1 + i % songs), 5);
        if (r.status == 200 && r.ContentLength() == static_cast<long long>(r.body.size())) ms.push_back(Ms(t));
        else ++failed;
    }
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) { return ms.empty() ? 0.0 : ms[std::min(ms.size() - 1, static_cast<size_t>(q * ms.size()))]; };
    std::printf("song.php with %d slow clients open: median %.1f ms, 95th percentile %.1f ms, max %.1f ms; "
                "%d of %d failed (5 s time-out)\n",
                slow.Opened(), at(0.5), at(0.95), ms.empty() ? 0.0 : ms.back(), failed, requests);
}

// A request that announces a 1 GB body and sends as much of it as the server takes (at most
// 256 MB), and one with 1 MB of header lines: the answer, its delay, and the memory it cost.
void RefusalFigures(int port) {
    long rss = RssKb();
    const int fd = test::Connect(port);
    if (fd < 0) return;
    timeval tv{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    const auto t = Clock::now();
    const std::string head = "POST /song.php HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 1000000000\r\n\r\n";
    send(fd, head.data(), head.size(), MSG_NOSIGNAL);
    const std::string block(1 << 20, 'x');
    long sent = 0;
    while (sent < 256L << 20) {
        const ssize_t n = send(fd, block.data(), block.size(), MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += n;
    }
    char answer[64] = {};
    const ssize_t got = recv(fd, answer, sizeof answer - 1, 0);
    close(fd);
    const int status = got > 12 ? std::atoi(answer + 9) : 0;
    std::printf("a POST announcing 1 GB: answered %d after %.0f ms; %.1f MB of it sent before the server stopped "
                "taking it; memory grew %.1f MB\n",
                status, Ms(t), sent / 1048576.0, (RssKb() - rss) / 1024.0);
    rss = RssKb();
    std::string lines;
    for (int i = 0; i < 1000; ++i) lines += "X-Line-" + std::to_string(i) + ": " + std::string(1000, 'b') + "\r\n";
    const auto t2 = Clock::now();
    const auto r = test::HttpRaw(port, "GET /version.php HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + lines + "\r\n", 10);
    std::printf("a GET with 1 MB of header lines: answered %d after %.0f ms; memory grew %.1f MB\n", r.status, Ms(t2),
                (RssKb() - rss) / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    std::string source;
    double seconds = 3;
    int clients = 2;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc) seconds = std::min(60.0, std::max(0.5, std::atof(argv[++i])));
        else if (a == "--clients" && i + 1 < argc) clients = std::min(16, std::max(1, std::atoi(argv[++i])));
        else source = a;
    }
    test::TempDir dir;
    int songs = 0;
    if (source.empty()) {
        // 40 songs of about 40 seconds each, all five formats.
        const ModuleFormat formats[] = {ModuleFormat::Mod, ModuleFormat::Mtm, ModuleFormat::Xm, ModuleFormat::S3m,
                                        ModuleFormat::It};
        for (int i = 0; i < 40; ++i) {
            ModuleSpec s;
            s.format = formats[i % 5];
            s.leadRows = 4;
            s.soundRows = 320;
            s.tailRows = 8;
            s.channels = 8;
            s.samples = 4;
            test::WriteModule(dir / ("gen/song" + std::to_string(i) + "." + CModuleWriter::FormatName(s.format)), s);
        }
    } else {
        fs::copy(source, dir.Path() + "/lib", fs::copy_options::recursive);
        for (const char* f : {"Library.xml", "Library.manifest"}) fs::remove(dir.Path() + "/lib/" + f);
    }
    const std::string folder = source.empty() ? dir.Path() : dir.Path() + "/lib";
    CatalogOptions o;
    o.folder = folder;
    CatalogSummary summary;
    std::string error;
    const auto t0 = Clock::now();
    if (!CCatalogBuilder::Build(o, &summary, &error)) {
        std::fprintf(stderr, "catalogue build failed: %s\n", error.c_str());
        return 1;
    }
    const double build = std::chrono::duration<double>(Clock::now() - t0).count();
    songs = summary.songs;
    std::printf("catalogue: %d songs in %.2f s (%.1f ms per song, %u threads)\n", songs, build,
                1000 * build / std::max(1, songs), std::thread::hardware_concurrency());

    ServerOptions so;
    so.folder = folder;
    so.port = 0;
    CLibraryServer server(so);
    if (!server.Start(&error)) {
        std::fprintf(stderr, "server failed: %s\n", error.c_str());
        return 1;
    }
    for (int keepAlive = 0; keepAlive < 2; ++keepAlive) {
        std::atomic<long> done{0}, failed{0}, bytes{0};
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        std::vector<std::thread> threads;
        for (int c = 0; c < clients; ++c) {
            threads.emplace_back([&, c] {
                httplib::Client client("127.0.0.1", server.Port());
                client.set_keep_alive(keepAlive != 0);
                for (long n = c; Clock::now() < end; ++n) {
                    const std::string target = "/song.php?id=" + std::to_string(1 + n % songs);
                    if (keepAlive) {
                        auto r = client.Get(target);
                        if (r && r->status == 200) { ++done; bytes += static_cast<long>(r->body.size()); }
                        else ++failed;
                    } else {
                        auto r = test::HttpGet(server.Port(), target);
                        if (r.status == 200) { ++done; bytes += static_cast<long>(r.body.size()); }
                        else ++failed;
                    }
                }
            });
        }
        for (auto& t : threads) t.join();
        std::printf("song.php, %s, %d clients: %.0f requests/s (%.1f MB/s), %ld failed\n",
                    keepAlive ? "kept-alive connections" : "a connection per request", clients,
                    done / seconds, bytes / seconds / 1e6, failed.load());
    }
    SlowClientFigures(server.Port(), songs);
    RefusalFigures(server.Port());
    server.Stop();
    return 0;
}
