// tunehaven-server: serves a library folder to the tunehaven client, or exports it as a
// static tree for nginx or any other web server.
#include <csignal>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "LibraryExport.h"
#include "LibraryServer.h"

namespace {

const char kHelp[] =
    "usage: tunehaven-server DIR [--host H] [--port P] [--base /path/] [--fault NAME]\n"
    "                            [--exit-after SECONDS]\n"
    "       tunehaven-server DIR [--host H] [--port P] [--base /path/] --export OUT\n"
    "Serves the library in DIR (built by tunehaven-catalog) over HTTP below the base path:\n"
    "  version.php     the catalogue version as decimal digits\n"
    "  library.php     the catalogue DIR/Library.xml, gzip-compressed\n"
    "  song.php?id=N   the module file of song N, gzip-compressed (404 for an unknown, hidden\n"
    "                  or malformed id; N is decimal without sign or leading zero)\n"
    "Every response carries an exact Content-Length (unless a fault removes it). A rebuilt\n"
    "catalogue is picked up by the next request. Request heads are limited to 8 KB and 10\n"
    "seconds; request bodies are refused unread (413), methods other than GET and HEAD too (405).\n"
    "\n"
    "  --host H          address to bind (default 127.0.0.1)\n"
    "  --port P          port (default 8417; 0 picks a free one, printed at start)\n"
    "  --base /path/     base path, starting and ending with '/' (default /)\n"
    "  --fault NAME      misbehave on library.php and song.php (version.php stays correct):\n"
    "                      drop-half    announce the full length, send half the body, close\n"
    "                      no-length    no Content-Length; the body ends when the connection closes\n"
    "                      zero-length  Content-Length: 0 and no body\n"
    "                      status-500   status 500 with an error page of correct length\n"
    "                      bad-gzip     a gzip body whose data and checksum are corrupted\n"
    "                      slow         the body trickles out over about ten seconds\n"
    "  --slow-seconds S  how long the slow fault takes per body (default 10)\n"
    "  --exit-after S    stop by itself after S seconds (for tests)\n"
    "  --export OUT      write the static tree OUT/www, OUT/nginx.conf and OUT/apache.conf\n"
    "                    (listening on the host and port given) instead of serving, then exit;\n"
    "                    over an earlier export, only new and changed songs are written, and\n"
    "                    OUT/purge.txt lists the request paths whose answer changed\n"
    "  --help            this text\n"
    "\n"
    "Output: first the line\n"
    "  tunehaven-server: serving DIR at http://H:P/base/ (version V, N songs)\n"
    "then exactly one line per request, flushed at once, on standard output:\n"
    "  METHOD TARGET STATUS LENGTH [fault=NAME] [sent BYTES]\n"
    "for example \"GET /song.php?id=3 200 18522\". Errors go to standard error.\n"
    "Exit codes: 0 stopped (signal or --exit-after), 1 failure, 2 wrong arguments.\n";

int Usage(const std::string& message) {
    std::fprintf(stderr, "tunehaven-server: %s (see --help)\n", message.c_str());
    return 2;
}

bool ParseNumber(const std::string& text, long low, long high, long* value) {
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || v < low || v > high) return false;
    *value = v;
    return true;
}

th::CLibraryServer* g_server = nullptr;

}  // namespace

int main(int argc, char** argv) {
    th::ServerOptions options;
    std::string exportDir;
    long exitAfter = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") { std::fputs(kHelp, stdout); return 0; }
        if (arg.rfind("-", 0) == 0) {
            if (arg != "--host" && arg != "--port" && arg != "--base" && arg != "--fault" &&
                arg != "--export" && arg != "--exit-after" && arg != "--slow-seconds")
                return Usage("unknown option " + arg);
            if (i + 1 >= argc) return Usage("missing value after " + arg);
            const std::string value = argv[++i];
            long n = 0;
            if (arg == "--host") options.host = value;
            else if (arg == "--port") {
                if (!ParseNumber(value, 0, 65535, &n)) return Usage("--port needs a number from 0 to 65535");
                options.port = static_cast<int>(n);
            } else if (arg == "--base") {
                if (!th::CLibraryServer::ValidBase(value)) return Usage("--base must start and end with '/': " + value);
                options.base = value;
            } else if (arg == "--fault") {
                if (!th::CLibraryServer::ParseFault(value, &options.fault)) return Usage("unknown fault " + value);
            } else if (arg == "--slow-seconds") {
                if (!ParseNumber(value, 1, 600, &n)) return Usage("--slow-seconds needs seconds from 1 to 600");
                options.slowSeconds = static_cast<double>(n);
            } else if (arg == "--exit-after") {
                if (!ParseNumber(value, 1, 86400, &exitAfter)) return Usage("--exit-after needs seconds from 1 to 86400");
            } else {
                exportDir = value;
            }
            continue;
        }
        if (!options.folder.empty()) return Usage("unexpected argument " + arg);
        options.folder = arg;
    }
    if (options.folder.empty()) return Usage("DIR is required");

    std::string error;
    if (!exportDir.empty()) {
        th::ExportOptions e{options.folder, exportDir, options.host, options.port, options.base};
        th::ExportSummary summary;
        if (!th::CLibraryExport::Write(e, &summary, &error)) {
            std::fprintf(stderr, "tunehaven-server: %s\n", error.c_str());
            return 1;
        }
        std::printf("tunehaven-server: exported %d songs (%d written, %d removed) to %s/www, with "
                    "%s/nginx.conf and %s/apache.conf; %zu changed answers in %s/purge.txt\n",
                    summary.songs, summary.written, summary.removed, exportDir.c_str(), exportDir.c_str(),
                    exportDir.c_str(), summary.changed.size(), exportDir.c_str());
        return 0;
    }

    options.log = [](const std::string& line) {
        std::fputs((line + "\n").c_str(), stdout);
        std::fflush(stdout);
    };
    th::CLibraryServer server(options);
    if (!server.Open(&error)) {
        std::fprintf(stderr, "tunehaven-server: %s\n", error.c_str());
        return 1;
    }
    // Stop cleanly on SIGINT/SIGTERM: a waiting thread takes the signal, not a handler.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    g_server = &server;
    std::thread waiter([&signals, exitAfter] {
        if (exitAfter > 0) {
            timespec timeout{exitAfter, 0};
            sigtimedwait(&signals, nullptr, &timeout);
        } else {
            int sig = 0;
            sigwait(&signals, &sig);
        }
        g_server->Stop();
    });
    std::printf("tunehaven-server: serving %s at %s (version %d, %d songs)\n", options.folder.c_str(),
                server.BaseUrl().c_str(), server.Version(), server.SongCount());
    std::fflush(stdout);
    server.Run();
    kill(getpid(), SIGTERM);  // wakes the waiter if the server ended by itself
    waiter.join();
    return 0;
}
