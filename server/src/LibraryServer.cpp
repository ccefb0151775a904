#include "LibraryServer.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>

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
void NotFound(httplib::Response& res) {
    res.status = 404;
    res.set_content("", "text/plain");
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
    server_ = std::make_unique<httplib::Server>();
    server_->set_read_timeout(5, 0);
    server_->set_write_timeout(5, 0);
    server_->set_keep_alive_timeout(5);
    // Headers and body go out in separate writes; without this a kept-alive connection
    // waits for the peer's delayed acknowledgement on every response (about 40 ms).
    server_->set_tcp_nodelay(true);
    // Without a length the body ends only when the connection closes: one request each.
    if (options_.fault == Fault::NoLength) server_->set_keep_alive_max_count(1);
    server_->Get(".*", [this](const httplib::Request& req, httplib::Response& res) { Handle(req, res); });
    if (options_.port == 0) {
        port_ = server_->bind_to_any_port(options_.host);
        if (port_ < 0) port_ = 0;
    } else {
        port_ = server_->bind_to_port(options_.host, options_.port) ? options_.port : 0;
    }
    if (port_ == 0) {
        *error = "cannot listen on " + options_.host + " port " + std::to_string(options_.port);
        return false;
    }
    return true;
}

void CLibraryServer::Run() {
    if (server_) server_->listen_after_bind();
}

bool CLibraryServer::Start(std::string* error) {
    if (!Open(error)) return false;
    // The socket listens from Open on, so clients may connect before the thread runs.
    thread_ = std::thread([this] { Run(); });
    return true;
}

void CLibraryServer::Stop() {
    stopping_ = true;
    if (server_) server_->stop();
    if (thread_.joinable()) thread_.join();
}

size_t CLibraryServer::Send(httplib::Response& res, std::shared_ptr<const std::string> body,
                            const std::string& type, std::string* note) {
    const size_t size = body->size();
    switch (options_.fault) {
    case Fault::None:
        res.set_content(*body, type);
        return size;
    case Fault::Status500:
        res.status = 500;
        res.set_content(kErrorPage, "text/html");
        return res.body.size();
    case Fault::ZeroLength:
        res.set_content("", type);
        return 0;
    case Fault::BadGzip:
        res.set_content(CorruptGzip(*body), type);
        return size;
    case Fault::NoLength:
        // No length: the body runs until the connection closes.
        res.set_content_provider(type, [body](size_t offset, httplib::DataSink& sink) {
            if (offset < body->size()) sink.write(body->data() + offset, body->size() - offset);
            else sink.done();
            return true;
        });
        return size;
    case Fault::DropHalf:
        // The full length is announced, half the body is sent, then the connection is cut.
        *note = "sent " + std::to_string(size / 2);
        res.set_content_provider(size, type, [body](size_t offset, size_t, httplib::DataSink& sink) {
            const size_t half = body->size() / 2;
            if (offset < half) sink.write(body->data() + offset, half - offset);
            return false;
        });
        return size;
    case Fault::Slow: {
        // About twenty slices spread over slowSeconds; a stopping server cuts the body short.
        constexpr int kSlices = 20;
        const size_t slice = std::max<size_t>(1, (size + kSlices - 1) / kSlices);
        const auto pause = std::chrono::duration<double>(options_.slowSeconds / kSlices);
        res.set_content_provider(size, type, [this, body, slice, pause](size_t offset, size_t length, httplib::DataSink& sink) {
            if (offset > 0) {
                const auto until = std::chrono::steady_clock::now() + pause;
                while (std::chrono::steady_clock::now() < until) {
                    if (stopping_) return false;
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
            }
            return sink.write(body->data() + offset, std::min(slice, length));
        });
        return size;
    }
    }
    return 0;
}

void CLibraryServer::Handle(const httplib::Request& req, httplib::Response& res) {
    std::string note;
    size_t length = 0;
    const std::string& path = req.path;
    auto state = State();
    if (path == options_.base + "version.php") {
        res.set_content(std::to_string(state->Version()), "application/octet-stream");
        length = res.body.size();
    } else if (path == options_.base + "library.php") {
        auto gz = std::shared_ptr<const std::string>(state, &state->CompressedCatalog());
        length = Send(res, gz, kGzipType, &note);
    } else if (path == options_.base + "song.php") {
        const int id = req.has_param("id") ? CLibraryState::ParseId(req.get_param_value("id")) : 0;
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
    if (res.status < 0 || res.status == 200) {
        if (path == options_.base + "version.php") caching = CLibraryExport::kVersionCaching;
        else if (path == options_.base + "library.php") caching = CLibraryExport::kCatalogCaching;
        else caching = CLibraryExport::kSongCaching;
    }
    res.set_header("Cache-Control", caching);
    if (!options_.log) return;
    // One line per request: method, target, status, the body's length (for drop-half the
    // announced one), and the fault where one applied.
    std::string line = req.method + " " + (req.target.empty() ? path : req.target) + " " +
                       std::to_string(res.status < 0 ? 200 : res.status) + " " + std::to_string(length);
    const bool faulted = options_.fault != Fault::None && res.status != 404 && path != options_.base + "version.php";
    if (faulted) line += std::string(" fault=") + FaultName(options_.fault);
    if (!note.empty()) line += " " + note;
    // The target is the client's text: keep control characters out of the log.
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    std::lock_guard<std::mutex> lock(logLock_);
    options_.log(line);
}

}  // namespace th
