// Figures for exporting again under load:
//   bench_ExportBench [--rounds N] [--clients N] [--tools DIR]
// Exports a library of 60 generated songs, serves the tree with Debian's nginx on loopback, and
// lets client threads do what clients do (version, catalogue when it changed, then the songs it
// lists) while the library changes and is built and exported again N times with
// tunehaven-catalog and tunehaven-server --export (the built ones, or those in DIR). Prints the
// requests made and those that failed.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "Gzip.h"
#include "Text.h"
#include "TestUtil.h"

using namespace th;
using Clock = std::chrono::steady_clock;

namespace {

// The ids of the visible songs of a catalogue.
std::vector<int> VisibleIds(const std::string& catalogue) {
    const std::string text = Utf16ToUtf8(Utf16LeToString(catalogue));
    std::vector<int> ids;
    for (size_t at = text.find("<SONG>"); at != std::string::npos; at = text.find("<SONG>", at + 1)) {
        const size_t id = text.find("<ID>", at), flags = text.find("<FLAGS>", at);
        if (id == std::string::npos || flags == std::string::npos) break;
        if (text.compare(flags + 7, 2, "0<") == 0) ids.push_back(std::atoi(text.c_str() + id + 4));
    }
    return ids;
}

std::string SongFile(int i) {
    std::string name(1, 's');
    name += std::to_string(i);
    name += ".mod";
    return name;
}

void WriteSong(const std::string& path, int i, int variant) {
    ModuleSpec s;
    const ModuleFormat formats[] = {ModuleFormat::Mod, ModuleFormat::Xm, ModuleFormat::S3m, ModuleFormat::It};
    s.format = formats[i % 4];
    s.soundRows = 32 + 8 * (variant % 4);
    s.samples = 1 + variant % 3;
    test::WriteModule(path, s);
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 10, clients = 4;
    std::string catalogTool = test::Tool("tunehaven-catalog"), serverTool = test::Tool("tunehaven-server");
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        if (a == "--rounds") rounds = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--clients") clients = std::max(1, std::atoi(argv[i + 1]));
        else if (a == "--tools") {
            catalogTool = std::string(argv[i + 1]) + "/tunehaven-catalog";
            serverTool = std::string(argv[i + 1]) + "/tunehaven-server";
        }
    }
    const std::string nginx = test::FindProgram({"/usr/sbin/nginx", "/usr/local/sbin/nginx", "/usr/bin/nginx"});
    if (nginx.empty()) {
        std::printf("re-export under load: nginx is not installed (scripts/deps.sh)\n");
        return 0;
    }
    test::TempDir lib, out;
    int songs = 60;
    for (int i = 0; i < songs; ++i) WriteSong(lib / SongFile(i), i, 0);
    auto rebuild = [&] {
        if (test::Run(catalogTool + " " + lib.Path() + " --quiet >/dev/null") != 0) std::fprintf(stderr, "build failed\n");
    };
    const int port = test::FreePort();
    const std::string exportCommand = serverTool + " " + lib.Path() + " --port " + std::to_string(port) + " --export " +
                                      out.Path() + " >/dev/null";
    rebuild();
    if (test::Run(exportCommand) != 0) {
        std::fprintf(stderr, "export failed: %s\n", exportCommand.c_str());
        return 1;
    }
    test::Process server({nginx, "-p", out.Path(), "-c", "nginx.conf", "-e", "stderr", "-g",
                          "daemon off; master_process off;"},
                         out / "nginx.log");
    if (!test::WaitForAnswer(port, "/version.php")) {
        std::fprintf(stderr, "nginx did not start: %s\n", test::ReadFile(out / "nginx.log").c_str());
        return 1;
    }

    std::atomic<bool> done{false};
    std::atomic<long> requests{0}, failed{0}, songFailed{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            std::string version;
            std::vector<int> ids;
            for (size_t n = c; !done; ++n) {
                const auto v = test::HttpGet(port, "/version.php", 5);
                ++requests;
                if (v.status != 200) { ++failed; continue; }
                if (v.body != version) {
                    const auto l = test::HttpGet(port, "/library.php", 5);
                    ++requests;
                    const auto catalogue = GzipDecompress(l.body);
                    if (l.status != 200 || !catalogue) { ++failed; continue; }
                    version = v.body;
                    ids = VisibleIds(*catalogue);
                }
                // A few songs of the catalogue this client holds, as a listener's downloads.
                for (int k = 0; k < 8 && !ids.empty(); ++k) {
                    const int id = ids[(n * 8 + k) % ids.size()];
                    const auto s = test::HttpGet(port, "/song.php?id=" + std::to_string(id), 5);
                    ++requests;
                    if (s.status != 200 || !GzipDecompress(s.body)) { ++failed; ++songFailed; }
                }
            }
        });
    }
    // Each round changes five songs and adds two, then exports over the served tree.
    double exportSeconds = 0;
    for (int r = 1; r <= rounds; ++r) {
        for (int k = 0; k < 5; ++k) WriteSong(lib / SongFile((r * 7 + k * 11) % songs), k, r);
        for (int k = 0; k < 2; ++k, ++songs) WriteSong(lib / SongFile(songs), songs, 0);
        rebuild();
        const auto t = Clock::now();
        if (test::Run(exportCommand) != 0) std::fprintf(stderr, "export failed in round %d\n", r);
        exportSeconds += std::chrono::duration<double>(Clock::now() - t).count();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    done = true;
    for (auto& t : threads) t.join();
    std::printf("re-export under load (%d exports of %d songs, %d clients, nginx): %ld requests, %ld failed "
                "(%ld of them songs); %.0f ms per export\n",
                rounds, songs, clients, requests.load(), failed.load(), songFailed.load(), 1000 * exportSeconds / rounds);
    return 0;
}
