#pragma once
// Helpers for the native suites: temporary folders, generated modules, catalogue reading,
// a raw HTTP client and running the built tools.
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ModuleWriter.h"

namespace th::test {

// A fresh folder below /tmp, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);  // creates parent folders

// Writes a generated module to path (parent folders created).
void WriteModule(const std::string& path, const ModuleSpec& spec);

// One SONG of a catalogue: element name to its (entity-decoded) texts, in file order.
using SongFields = std::map<std::string, std::vector<std::string>>;
struct Catalog {
    std::string raw;      // the file as UTF-8 (byte-order mark included)
    int version = -1;
    long long date = -1;
    int count = -1;
    std::vector<SongFields> songs;
    const std::string& Field(size_t song, const std::string& name) const;
};
Catalog ReadCatalog(const std::string& libraryFolder);

struct HttpResult {
    bool connected = false;
    int status = 0;
    std::map<std::string, std::string> headers;  // lower-case names
    std::string body;                            // everything after the header, until close
    bool HasHeader(const std::string& name) const { return headers.count(name) != 0; }
    long long ContentLength() const;             // -1 when absent
};
// GET target from 127.0.0.1:port with "Connection: close", reading until the server closes
// (at most timeoutSeconds).
// extraHeaders: further request header lines, each ending in "\r\n".
HttpResult HttpGet(int port, const std::string& target, double timeoutSeconds = 15,
                   const std::string& extraHeaders = {});

// Sends request as it is (it may announce a body and not send it) and reads the answer until
// the server closes (at most timeoutSeconds).
HttpResult HttpRaw(int port, const std::string& request, double timeoutSeconds = 15);

// A connected socket to 127.0.0.1:port, or -1.
int Connect(int port);

// A port that was free a moment ago on 127.0.0.1.
int FreePort();

// Slow or hostile clients for the life of the object: n connections to 127.0.0.1:port, each
// sends the first half of a request head (a song.php request line and the start of a header)
// and then one more byte of that header every `interval` from a thread of its own. The
// destructor stops the trickle and closes every connection.
class SlowClients {
public:
    SlowClients(int port, int n, std::chrono::milliseconds interval);
    ~SlowClients();
    SlowClients(const SlowClients&) = delete;
    SlowClients& operator=(const SlowClients&) = delete;
    int Opened() const { return static_cast<int>(fds_.size()); }  // connections made of the n

private:
    std::vector<int> fds_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    std::thread trickle_;
};

// Runs a shell command line; returns its exit code and its standard output (and standard
// error when mergeErrors).
int Run(const std::string& command, std::string* output = nullptr, bool mergeErrors = true);

// A program run in the foreground for the life of the object (a web server on loopback), its
// standard error going to errorLog; it is stopped with SIGTERM and reaped at the end.
class Process {
public:
    Process(const std::vector<std::string>& argv, const std::string& errorLog);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    bool Running();

private:
    int pid_ = -1;
};

// The first of the paths that is an executable file, or empty.
std::string FindProgram(const std::vector<std::string>& paths);

// Asks for target until it answers 200 (at most about five seconds).
bool WaitForAnswer(int port, const std::string& target);

// Path of a built tool (tunehaven-catalog, -server, -modgen).
std::string Tool(const std::string& name);

}  // namespace th::test
