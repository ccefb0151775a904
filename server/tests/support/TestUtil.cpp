#include "TestUtil.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "Text.h"

namespace th::test {
namespace fs = std::filesystem;

TempDir::TempDir() {
    char pattern[] = "/tmp/tunehaven-test-XXXXXX";
    if (!mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void WriteModule(const std::string& path, const ModuleSpec& spec) {
    WriteFile(path, CModuleWriter::Write(spec));
}

namespace {

std::string Decode(std::string s) {
    static const std::pair<const char*, const char*> kEntities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&apos;", "'"}, {"&quot;", "\""}, {"&amp;", "&"}};
    for (const auto& [from, to] : kEntities) {
        size_t at = 0;
        while ((at = s.find(from, at)) != std::string::npos) {
            s.replace(at, std::strlen(from), to);
            at += std::strlen(to);
        }
    }
    return s;
}

}  // namespace

const std::string& Catalog::Field(size_t song, const std::string& name) const {
    static const std::string kNone = "<missing>";
    if (song >= songs.size()) return kNone;
    const auto it = songs[song].find(name);
    return it == songs[song].end() || it->second.empty() ? kNone : it->second.front();
}

Catalog ReadCatalog(const std::string& libraryFolder) {
    Catalog c;
    c.raw = Utf16ToUtf8(Utf16LeToString(ReadFile(libraryFolder + "/Library.xml")));
    std::istringstream in(c.raw);
    std::string line;
    SongFields* song = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "<SONG>") { c.songs.emplace_back(); song = &c.songs.back(); continue; }
        if (line == "</SONG>") { song = nullptr; continue; }
        if (line.size() < 2 || line[0] != '<') continue;
        const size_t close = line.find('>');
        const size_t end = line.rfind("</");
        if (close == std::string::npos || end == std::string::npos || end < close) continue;
        const std::string name = line.substr(1, close - 1);
        const std::string text = Decode(line.substr(close + 1, end - close - 1));
        if (song) (*song)[name].push_back(text);
        else if (name == "VERSION") c.version = std::atoi(text.c_str());
        else if (name == "DATE") c.date = std::atoll(text.c_str());
        else if (name == "COUNT") c.count = std::atoi(text.c_str());
    }
    return c;
}

long long HttpResult::ContentLength() const {
    const auto it = headers.find("content-length");
    return it == headers.end() ? -1 : std::atoll(it->second.c_str());
}

int Connect(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

HttpResult HttpGet(int port, const std::string& target, double timeoutSeconds, const std::string& extraHeaders) {
    return HttpRaw(port, "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + extraHeaders + "\r\n",
                   timeoutSeconds);
}

HttpResult HttpRaw(int port, const std::string& request, double timeoutSeconds) {
    HttpResult r;
    const int fd = Connect(port);
    if (fd < 0) return r;
    r.connected = true;
    timeval tv{0, 200000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    // A server that refuses part way may stop reading: what it does not take is left unsent.
    for (size_t sent = 0; sent < request.size();) {
        const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
    std::string data;
    char buffer[65536];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) { data.append(buffer, static_cast<size_t>(n)); continue; }
        if (n == 0) break;
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) break;
    }
    close(fd);
    const size_t headerEnd = data.find("\r\n\r\n");
    if (headerEnd == std::string::npos) return r;
    std::istringstream head(data.substr(0, headerEnd));
    std::string line;
    std::getline(head, line);
    if (line.size() > 12) r.status = std::atoi(line.c_str() + 9);
    while (std::getline(head, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string name = line.substr(0, colon);
        for (char& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        r.headers[name] = line.substr(line.find_first_not_of(' ', colon + 1));
    }
    r.body = data.substr(headerEnd + 4);
    return r;
}

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}

SlowClients::SlowClients(int port, int n, std::chrono::milliseconds interval) {
    const std::string start = "GET /song.php?id=1 HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
    for (int i = 0; i < n; ++i) {
        const int fd = Connect(port);
        if (fd < 0) continue;
        send(fd, start.data(), start.size(), MSG_NOSIGNAL);
        fds_.push_back(fd);
    }
    trickle_ = std::thread([this, interval] {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!done_) {
            for (int fd : fds_) send(fd, "a", 1, MSG_NOSIGNAL);
            wake_.wait_for(lock, interval, [this] { return done_; });
        }
    });
}

SlowClients::~SlowClients() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
    }
    wake_.notify_all();
    trickle_.join();
    for (int fd : fds_) close(fd);
}

int Run(const std::string& command, std::string* output, bool mergeErrors) {
    FILE* p = popen((command + (mergeErrors ? " 2>&1" : "")).c_str(), "r");
    if (!p) return -1;
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    const int status = pclose(p);
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Process::Process(const std::vector<std::string>& argv, const std::string& errorLog) {
    pid_ = fork();
    if (pid_ != 0) return;
    if (!freopen(errorLog.c_str(), "w", stderr)) _exit(127);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

Process::~Process() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 250; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

bool Process::Running() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

std::string FindProgram(const std::vector<std::string>& paths) {
    for (const auto& p : paths)
        if (access(p.c_str(), X_OK) == 0) return p;
    return {};
}

bool WaitForAnswer(int port, const std::string& target) {
    for (int i = 0; i < 100; ++i) {
        if (HttpGet(port, target, 1).status == 200) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::string Tool(const std::string& name) {
#ifdef TH_TOOL_DIR
    return std::string(TH_TOOL_DIR) + "/" + name;
#else
    return name;
#endif
}

}  // namespace th::test
