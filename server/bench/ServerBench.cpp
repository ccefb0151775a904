// Figures for the library server and the catalogue builder:
//   bench_ServerBench [DIR] [--seconds S] [--clients N]
// Builds a catalogue of generated songs (or measures a fresh build of a copy of DIR), then
// requests song.php on loopback for S seconds per mode from N client threads, once with a
// new connection per request and once over kept-alive connections, and prints the rates.
#include <httplib.h>

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
    server.Stop();
    return 0;
}
