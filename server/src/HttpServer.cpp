#include "HttpServer.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace th {
namespace {

using Clock = std::chrono::steady_clock;

const char* Reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 413: return "Payload Too Large";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    }
    return "Error";
}

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return {};
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

std::string Decode(const std::string& s, bool plusIsSpace) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '+' && plusIsSpace) { out.push_back(' '); continue; }
        if (c == '%' && i + 2 < s.size() && std::isxdigit(static_cast<unsigned char>(s[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(s[i + 2]))) {
            out.push_back(static_cast<char>(std::stoi(s.substr(i + 1, 2), nullptr, 16)));
            i += 2;
            continue;
        }
        out.push_back(c);
    }
    return out;
}

// Parses a head (request line and header lines, without the empty line). 0 when it is a
// request to hand to the handler, else the status that refuses it.
int ParseHead(const std::string& head, HttpRequest* req, bool* keepAlive) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= head.size()) {
        size_t end = head.find('\n', start);
        if (end == std::string::npos) end = head.size();
        std::string line = head.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    const std::string& first = lines[0];
    const size_t a = first.find(' '), b = first.rfind(' ');
    if (a == std::string::npos || a == b) return 400;
    req->method = first.substr(0, a);
    req->target = first.substr(a + 1, b - a - 1);
    const std::string version = first.substr(b + 1);
    if ((version != "HTTP/1.1" && version != "HTTP/1.0") || req->target.empty()) return 400;
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t colon = lines[i].find(':');
        if (colon == std::string::npos || colon == 0 || lines[i][0] == ' ' || lines[i][0] == '\t') return 400;
        const std::string name = Lower(lines[i].substr(0, colon));
        const std::string value = Trim(lines[i].substr(colon + 1));
        if (!req->headers.emplace(name, value).second && (name == "content-length" || name == "host")) return 400;
    }
    const auto connection = req->headers.find("connection");
    const std::string token = connection == req->headers.end() ? "" : Lower(connection->second);
    *keepAlive = version == "HTTP/1.1" ? token != "close" : token == "keep-alive";
    // The protocol has no request bodies: one announced is refused before a byte of it is read.
    const auto length = req->headers.find("content-length");
    if (req->headers.count("transfer-encoding") || (length != req->headers.end() && length->second != "0"))
        return 413;
    if (req->method != "GET" && req->method != "HEAD") return 405;
    std::string target = req->target;
    if (target.rfind("http://", 0) == 0) {  // absolute form: the path starts after the host
        const size_t slash = target.find('/', 7);
        target = slash == std::string::npos ? "/" : target.substr(slash);
    }
    const size_t query = target.find('?');
    req->path = Decode(target.substr(0, query), false);
    if (query == std::string::npos) return 0;
    std::string rest = target.substr(query + 1);
    size_t at = 0;
    while (at <= rest.size()) {
        size_t amp = rest.find('&', at);
        if (amp == std::string::npos) amp = rest.size();
        const std::string pair = rest.substr(at, amp - at);
        if (!pair.empty()) {
            const size_t eq = pair.find('=');
            req->params.emplace(Decode(pair.substr(0, eq), true),
                                eq == std::string::npos ? "" : Decode(pair.substr(eq + 1), true));
        }
        at = amp + 1;
    }
    return 0;
}

// The end of the head in buffer (the index after its empty line), or npos.
size_t HeadEnd(const std::string& buffer, size_t* headLength) {
    for (size_t i = buffer.find('\n'); i != std::string::npos; i = buffer.find('\n', i + 1)) {
        if (i + 1 < buffer.size() && buffer[i + 1] == '\n') { *headLength = i; return i + 2; }
        if (i + 2 < buffer.size() && buffer[i + 1] == '\r' && buffer[i + 2] == '\n') { *headLength = i; return i + 3; }
    }
    return std::string::npos;
}

}  // namespace

std::string HttpRequest::Param(const std::string& name) const {
    const auto it = params.find(name);
    return it == params.end() ? std::string() : it->second;
}

void HttpResponse::SetBody(std::string text, std::string contentType) {
    body = std::make_shared<const std::string>(std::move(text));
    type = std::move(contentType);
}

CHttpServer::CHttpServer(Handler handler, Notice notice, HttpLimits limits)
    : handler_(std::move(handler)), notice_(std::move(notice)), limits_(limits) {}

CHttpServer::~CHttpServer() {
    Stop();
    for (auto& c : reading_) CloseConnection(*c);
    if (listenFd_ >= 0) close(listenFd_);
    if (wakeFd_ >= 0) close(wakeFd_);
}

bool CHttpServer::Listen(const std::string& host, int port, std::string* error) {
    addrinfo hints{}, *found = nullptr;
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 || !found) {
        *error = "cannot resolve " + host;
        return false;
    }
    for (addrinfo* ai = found; ai && listenFd_ < 0; ai = ai->ai_next) {
        const int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (fd < 0) continue;
        const int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (bind(fd, ai->ai_addr, ai->ai_addrlen) == 0 && listen(fd, 1024) == 0) listenFd_ = fd;
        else close(fd);
    }
    freeaddrinfo(found);
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (listenFd_ < 0 || wakeFd_ < 0) {
        *error = "cannot listen on " + host + " port " + std::to_string(port);
        return false;
    }
    // Every connection is a descriptor: stay below what the process may open.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY && files.rlim_cur > 64)
        limits_.connections = std::min<size_t>(limits_.connections, files.rlim_cur - 64);
    sockaddr_storage addr{};
    socklen_t len = sizeof addr;
    getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port
                                              : reinterpret_cast<sockaddr_in*>(&addr)->sin_port);
    return true;
}

void CHttpServer::Run() {
    if (listenFd_ < 0) return;
    for (int i = 0; i < std::max(1, limits_.workers); ++i) workers_.emplace_back([this] { Work(); });
    ReadLoop();
    ready_.notify_all();
    for (auto& w : workers_) w.join();
    workers_.clear();
    std::lock_guard<std::mutex> lock(lock_);
    for (Job& job : jobs_) CloseConnection(*job.connection);
    jobs_.clear();
    for (auto& c : returned_) CloseConnection(*c);
    returned_.clear();
}

void CHttpServer::Stop() {
    {
        // Under the lock: a worker between its test and its wait cannot miss the news.
        std::lock_guard<std::mutex> lock(lock_);
        stopping_ = true;
    }
    Wake();
    ready_.notify_all();
}

void CHttpServer::Wake() {
    if (wakeFd_ < 0) return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(wakeFd_, &one, sizeof one);
}

void CHttpServer::CloseConnection(Connection& c) {
    if (c.fd >= 0) close(c.fd);
    c.fd = -1;
}

void CHttpServer::ReadLoop() {
    std::vector<pollfd> fds;
    while (!stopping_) {
        {
            std::lock_guard<std::mutex> lock(lock_);
            for (auto& c : returned_) reading_.push_back(std::move(c));
            returned_.clear();
        }
        // A kept-alive connection may bring the next head along with the last one.
        for (auto& c : reading_)
            if (c && !c->lingering && !c->buffer.empty() && !TakeHead(c)) { CloseConnection(*c); c.reset(); }
        reading_.erase(std::remove(reading_.begin(), reading_.end(), nullptr), reading_.end());

        const auto now = Clock::now();
        auto next = now + std::chrono::seconds(1);
        for (auto& c : reading_) {
            const auto deadline = c->lingering ? c->lingerUntil
                                  : c->headStarted ? c->headSince + std::chrono::duration_cast<Clock::duration>(
                                                                     std::chrono::duration<double>(limits_.headSeconds))
                                                 : c->idleSince + std::chrono::duration_cast<Clock::duration>(
                                                                     std::chrono::duration<double>(limits_.idleSeconds));
            // A head that trickles in too slowly, or a connection idle too long, is closed.
            if (deadline <= now) { CloseConnection(*c); c.reset(); continue; }
            next = std::min(next, deadline);
        }
        reading_.erase(std::remove(reading_.begin(), reading_.end(), nullptr), reading_.end());

        // Out of descriptors, the listening socket stays readable: look again a moment later.
        const short accepting = now < acceptPause_ ? 0 : POLLIN;
        if (!accepting) next = std::min(next, acceptPause_);
        fds.assign({{listenFd_, accepting, 0}, {wakeFd_, POLLIN, 0}});
        for (auto& c : reading_) fds.push_back({c->fd, POLLIN, 0});
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count() + 1;
        if (poll(fds.data(), fds.size(), static_cast<int>(wait)) < 0 && errno != EINTR) break;
        if (fds[1].revents) {
            uint64_t count;
            [[maybe_unused]] const ssize_t n = read(wakeFd_, &count, sizeof count);
        }
        const size_t known = reading_.size();  // AcceptAll adds behind these
        if (fds[0].revents & POLLIN) AcceptAll();
        for (size_t i = 0; i < known; ++i) {
            if (!fds[i + 2].revents) continue;
            if (!Receive(reading_[i]) && reading_[i]) { CloseConnection(*reading_[i]); reading_[i].reset(); }
        }
        reading_.erase(std::remove(reading_.begin(), reading_.end(), nullptr), reading_.end());
    }
    for (auto& c : reading_) CloseConnection(*c);
    reading_.clear();
}

void CHttpServer::AcceptAll() {
    for (;;) {
        const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EMFILE || errno == ENFILE) acceptPause_ = Clock::now() + std::chrono::milliseconds(100);
            return;
        }
        if (reading_.size() + busy_ >= limits_.connections) {
            close(fd);
            continue;
        }
        // Head and body often go out in separate writes: without this a kept-alive connection
        // would wait for the peer's delayed acknowledgement on every answer.
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto c = std::make_unique<Connection>();
        c->fd = fd;
        c->idleSince = Clock::now();
        reading_.push_back(std::move(c));
    }
}

bool CHttpServer::Receive(std::unique_ptr<Connection>& c) {
    char chunk[4096];
    if (c->lingering) {
        for (;;) {
            const ssize_t n = recv(c->fd, chunk, sizeof chunk, MSG_DONTWAIT);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
            if (n <= 0) return false;
            c->discarded += static_cast<size_t>(n);
            if (c->discarded > (1u << 20)) return false;  // enough: a body is not to be read
        }
    }
    bool closed = false;
    // Never more than a head's worth beyond the limit: what follows is not read at all.
    while (c->buffer.size() <= limits_.headBytes + 3) {
        const ssize_t n = recv(c->fd, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            if (!c->headStarted) {
                c->headStarted = true;
                c->headSince = Clock::now();
            }
            c->buffer.append(chunk, static_cast<size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n < 0 && errno == EINTR) continue;
        closed = true;
        break;
    }
    if (!TakeHead(c)) return false;
    return !closed || !c;
}

bool CHttpServer::TakeHead(std::unique_ptr<Connection>& c) {
    size_t headLength = 0;
    const size_t end = HeadEnd(c->buffer, &headLength);
    Job job;
    if (end == std::string::npos || headLength > limits_.headBytes) {
        if (c->buffer.size() <= limits_.headBytes + 3) return true;  // more to come
        job.refusal = 431;
    } else {
        const std::string head = c->buffer.substr(0, headLength);
        c->buffer.erase(0, end);
        job.refusal = ParseHead(head, &job.request, &job.keepAlive);
    }
    if (job.refusal) {
        job.keepAlive = false;
        if (notice_)
            notice_((job.request.method.empty() ? "-" : job.request.method) + " " +
                    (job.request.target.empty() ? "-" : job.request.target) + " " + std::to_string(job.refusal) + " 0");
    }
    job.connection = std::move(c);
    Hand(std::move(job));
    return true;
}

void CHttpServer::Hand(Job job) {
    ++busy_;
    {
        std::lock_guard<std::mutex> lock(lock_);
        jobs_.push_back(std::move(job));
    }
    ready_.notify_one();
}

void CHttpServer::Work() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(lock_);
            ready_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (stopping_) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        const bool again = Answer(job) && job.keepAlive && !stopping_;
        std::unique_ptr<Connection> c = std::move(job.connection);
        --busy_;
        if (!again && (!job.refusal || stopping_)) {
            CloseConnection(*c);
            continue;
        }
        c->idleSince = Clock::now();
        c->headStarted = !c->buffer.empty();
        c->headSince = c->idleSince;
        if (!again) {
            shutdown(c->fd, SHUT_WR);
            c->lingering = true;
            c->lingerUntil = c->idleSince + std::chrono::seconds(2);
        }
        {
            std::lock_guard<std::mutex> lock(lock_);
            returned_.push_back(std::move(c));
        }
        Wake();
    }
}

bool CHttpServer::Answer(Job& job) {
    HttpResponse res;
    if (job.refusal) {
        res.status = job.refusal;
        res.SetBody(std::string(Reason(job.refusal)) + "\n", "text/plain");
        if (job.refusal == 405) res.headers.emplace_back("Allow", "GET, HEAD");
        res.headers.emplace_back("Cache-Control", "no-store");
    } else {
        handler_(job.request, res);
    }
    const std::string empty;
    const std::string& body = res.body ? *res.body : empty;
    const size_t bytes = std::min(res.sendBytes, body.size());
    const bool keep = job.keepAlive && res.announceLength && bytes == body.size();
    std::string head = "HTTP/1.1 " + std::to_string(res.status) + " " + Reason(res.status) + "\r\n";
    head += "Content-Type: " + res.type + "\r\n";
    if (res.announceLength) head += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    for (const auto& [name, value] : res.headers) head += name + ": " + value + "\r\n";
    head += keep ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(limits_.writeSeconds));
    if (job.request.method == "HEAD") return Send(job.connection->fd, head.data(), head.size(), deadline) && keep;
    const int slices = std::max(1, res.slices);
    const size_t slice = std::max<size_t>(1, (bytes + slices - 1) / slices);
    // The head goes out with the first part of the body, in one write.
    head.append(body, 0, std::min(slice, bytes));
    if (!Send(job.connection->fd, head.data(), head.size(), deadline)) return false;
    for (size_t offset = std::min(slice, bytes); offset < bytes; offset += slice) {
        const auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(res.pause);
        while (Clock::now() < until) {
            if (stopping_) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const auto partDeadline = std::max(deadline, Clock::now() + std::chrono::seconds(5));
        if (!Send(job.connection->fd, body.data() + offset, std::min(slice, bytes - offset), partDeadline)) return false;
    }
    return keep;
}

bool CHttpServer::Send(int fd, const char* data, size_t size, Clock::time_point deadline) {
    while (size > 0) {
        if (stopping_) return false;
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            data += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
        const auto now = Clock::now();
        if (now >= deadline) return false;  // a reader too slow for the whole answer
        pollfd p{fd, POLLOUT, 0};
        const auto wait = std::min<long long>(
            200, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count() + 1);
        poll(&p, 1, static_cast<int>(wait));
    }
    return true;
}

}  // namespace th
