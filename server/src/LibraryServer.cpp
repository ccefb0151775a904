#include "LibraryServer.h"

#include <algorithm>
#include <chrono>

#include "HttpServer.h"
#include "LibraryExport.h"
#include "LibraryState.h"

namespace th {
namespace {

// The bodies are files, not content encodings: a client must get the gzip bytes as they are.
constexpr const char* kGzipType = "application/gzip";
constexpr const char* kErrorPage =
    "<html><head><title>500 Internal Server Error</title></head>"
    "<body><h1>500 Internal Server Error</h1></body></html>\n";

// A 404 has an empty body: a client that goes by the length alone then sees a failed
// request instead of taking an error page for the song it asked for.
void NotFound(HttpResponse& res) {
    res.status = 404;
    res.SetBody("", "text/plain");
}

}  // namespace

CLibraryServer::CLibraryServer(ServerOptions options) : options_(std::move(options)) {}

CLibraryServer::~CLibraryServer() { Stop(); }

bool CLibraryServer::ParseFault(const std::string& name, Fault* fault) {
    static const std::pair<const char*, Fault> kNames[] = {
        {"none", Fault::None}, {"drop-half", Fault::DropHalf}, {"no-length", Fault::NoLength},
        {"zero-length", Fault::ZeroLength}, {"status-500", Fault::Status500},
        {"bad-gzip", Fault::BadGzip}, {"slow", Fault::Slow}};
    for (const auto& [n, f] : kNames)
        if (name == n) { *fault = f; return true; }
    return false;
}

const char* CLibraryServer::FaultName(Fault fault) {
    switch (fault) {
    case Fault::None: return "none";
    case Fault::DropHalf: return "drop-half";
    case Fault::NoLength: return "no-length";
    case Fault::ZeroLength: return "zero-length";
    case Fault::Status500: return "status-500";
    case Fault::BadGzip: return "bad-gzip";
    case Fault::Slow: return "slow";
    }
    return "";
}

bool CLibraryServer::ValidBase(const std::string& base) {
    if (base.empty() || base.front() != '/' || base.back() != '/') return false;
    if (base.find("//") != std::string::npos || base.find("/./") != std::string::npos ||
        base.find("/../") != std::string::npos)
        return false;
    return std::all_of(base.begin(), base.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
    });
}

std::string CLibraryServer::CorruptGzip(const std::string& gz) {
    std::string bad = gz;
    // Keep the 10-byte header so the body is still taken for gzip; scramble the middle third
    // of the compressed data and invert the trailer's checksum and length, so that even a
    // scramble the inflater happens to accept fails its check.
    if (bad.size() <= 18) {
        for (size_t i = 10; i < bad.size(); ++i) bad[i] = static_cast<char>(bad[i] ^ 0xFF);
        return bad;
    }
    const size_t data = bad.size() - 18;
    for (size_t i = 10 + data / 3; i < 10 + 2 * data / 3 + 1; ++i) bad[i] = static_cast<char>(bad[i] ^ 0x5A);
    for (size_t i = bad.size() - 8; i < bad.size(); ++i) bad[i] = static_cast<char>(bad[i] ^ 0xFF);
    return bad;
}

int CLibraryServer::Version() {
    auto state = State();
    return state ? state->Version() : 0;
}

int CLibraryServer::SongCount() {
    auto state = State();
    return state ? state->SongCount() : 0;
}

std::string CLibraryServer::BaseUrl() const {
    return "http://" + options_.host + ":" + std::to_string(port_) + options_.base;
}

std::shared_ptr<const CLibraryState> CLibraryServer::State() {
    std::lock_guard<std::mutex> lock(stateLock_);
    // A rebuild of the catalogue while serving is picked up by the next request; if the new
    // files cannot be read (a build in progress), the last good state stays.
    if (state_ && state_->Stale()) {
        auto fresh = std::make_shared<CLibraryState>();
        std::string error;
        if (fresh->Load(options_.folder, &error)) state_ = std::move(fresh);
    }
    return state_;
}

bool CLibraryServer::Open(std::string* error) {
    if (!ValidBase(options_.base)) {
        *error = "the base path must start and end with '/': " + options_.base;
        return false;
    }
    auto state = std::make_shared<CLibraryState>();
    if (!state->Load(options_.folder, error)) return false;
    {
        std::lock_guard<std::mutex> lock(stateLock_);
        state_ = std::move(state);
    }
    // Heads are read by one thread for all connections, bounded in size and time; bodies are
    // refused unread; answers are written by a pool of workers (see CHttpServer).
    server_ = std::make_unique<CHttpServer>(
        [this](const HttpRequest& req, HttpResponse& res) { Handle(req, res); },
        [this](const std::string& line) { Log(line); });
    std::string listenError;
    port_ = server_->Listen(options_.host, options_.port, &listenError) ? server_->Port() : 0;
    if (port_ == 0) {
        *error = "cannot listen on " + options_.host + " port " + std::to_string(options_.port);
        return false;
    }
    return true;
}

void CLibraryServer::Run() {
    if (server_) server_->Run();
}

bool CLibraryServer::Start(std::string* error) {
    if (!Open(error)) return false;
    // The socket listens from Open on, so clients may connect before the thread runs.
    thread_ = std::thread([this] { Run(); });
    return true;
}

void CLibraryServer::Stop() {
    stopping_ = true;
    if (server_) server_->Stop();
    if (thread_.joinable()) thread_.join();
}

size_t CLibraryServer::Send(HttpResponse& res, std::shared_ptr<const std::string> body,
                            const std::string& type, std::string* note) {
    const size_t size = body->size();
    res.type = type;
    res.body = body;
    switch (options_.fault) {
    case Fault::None:
        return size;
    case Fault::Status500:
        res.status = 500;
        res.SetBody(kErrorPage, "text/html");
        return res.body->size();
    case Fault::ZeroLength:
        res.body = nullptr;
        return 0;
    case Fault::BadGzip:
        res.body = std::make_shared<const std::string>(CorruptGzip(*body));
        return size;
    case Fault::NoLength:
        // No length: the body runs until the connection closes.
        res.announceLength = false;
        return size;
    case Fault::DropHalf:
        // The full length is announced, half the body is sent, then the connection is cut.
        *note = "sent " + std::to_string(size / 2);
        res.sendBytes = size / 2;
        return size;
    case Fault::Slow:
        // About twenty slices spread over slowSeconds; a stopping server cuts the body short.
        res.slices = 20;
        res.pause = std::chrono::duration<double>(options_.slowSeconds / 20);
        return size;
    }
    return 0;
}

void CLibraryServer::Handle(const HttpRequest& req, HttpResponse& res) {
    std::string note;
    size_t length = 0;
    const std::string& path = req.path;
    auto state = State();
    if (path == options_.base + "version.php") {
        res.SetBody(std::to_string(state->Version()), "application/octet-stream");
        length = res.body->size();
    } else if (path == options_.base + "library.php") {
        auto gz = std::shared_ptr<const std::string>(state, &state->CompressedCatalog());
        length = Send(res, gz, kGzipType, &note);
    } else if (path == options_.base + "song.php") {
        const int id = req.HasParam("id") ? CLibraryState::ParseId(req.Param("id")) : 0;
        auto gz = id > 0 ? state->CompressedSong(id) : nullptr;
        if (gz) {
            length = Send(res, gz, kGzipType, &note);
        } else {
            NotFound(res);
        }
    } else {
        NotFound(res);
    }
    // The same caching as the exported tree's configurations (see CLibraryExport).
    const char* caching = CLibraryExport::kErrorCaching;
    if (res.status == 200) {
        if (path == options_.base + "version.php") caching = CLibraryExport::kVersionCaching;
        else if (path == options_.base + "library.php") caching = CLibraryExport::kCatalogCaching;
        else caching = CLibraryExport::kSongCaching;
    }
    res.headers.emplace_back("Cache-Control", caching);
    // One line per request: method, target, status, the body's length (for drop-half the
    // announced one), and the fault where one applied.
    std::string line = req.method + " " + (req.target.empty() ? path : req.target) + " " +
                       std::to_string(res.status) + " " + std::to_string(length);
    const bool faulted = options_.fault != Fault::None && res.status != 404 && path != options_.base + "version.php";
    if (faulted) line += std::string(" fault=") + FaultName(options_.fault);
    if (!note.empty()) line += " " + note;
    Log(std::move(line));
}

void CLibraryServer::Log(std::string line) {
    if (!options_.log) return;
    // The target is the client's text: keep control characters out of the log.
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    std::lock_guard<std::mutex> lock(logLock_);
    options_.log(line);
}

}  // namespace th
