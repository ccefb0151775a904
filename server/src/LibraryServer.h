#pragma once
// The library server: answers version.php, library.php and song.php?id=N below one base path
// from a library folder, optionally misbehaving in one chosen way so the client's failure
// handling can be tested against a real server.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace th {

class CHttpServer;
struct HttpRequest;
struct HttpResponse;

class CLibraryState;

enum class Fault { None, DropHalf, NoLength, ZeroLength, Status500, BadGzip, Slow };

struct ServerOptions {
    std::string folder;
    std::string host = "127.0.0.1";
    int port = 8417;           // 0 picks a free port
    std::string base = "/";    // starts and ends with '/'
    Fault fault = Fault::None;
    double slowSeconds = 10;   // how long the slow fault trickles one body
    // One line per request (and the start-up line); called from request threads.
    std::function<void(const std::string&)> log;
};

class CLibraryServer {
public:
    explicit CLibraryServer(ServerOptions options);
    virtual ~CLibraryServer();

    // Loads the library and binds the socket. False with error set on failure.
    bool Open(std::string* error);
    int Port() const { return port_; }
    std::string BaseUrl() const;
    int Version();
    int SongCount();

    // Serves until Stop. Open must have succeeded.
    void Run();
    // Open, then Run on a thread of its own (tests and benchmarks).
    bool Start(std::string* error);
    // Ends Run, cuts short any slow body and joins the thread Start made.
    void Stop();

    static bool ParseFault(const std::string& name, Fault* fault);
    static const char* FaultName(Fault fault);
    // A base path is "/" or "/name/.../" of plain URL characters.
    static bool ValidBase(const std::string& base);

    // The corrupted copy of a gzip body that the bad-gzip fault sends: the header still says
    // gzip, the data and checksum do not hold.
    static std::string CorruptGzip(const std::string& gz);

private:
    void Handle(const HttpRequest& req, HttpResponse& res);
    // Sets the response for a body under the chosen fault; returns the body length to log.
    size_t Send(HttpResponse& res, std::shared_ptr<const std::string> body, const std::string& type,
                std::string* note);
    void Log(std::string line);
    std::shared_ptr<const CLibraryState> State();

    ServerOptions options_;
    std::unique_ptr<CHttpServer> server_;
    int port_ = 0;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::mutex stateLock_;  // guards state_ (request threads reload it after a rebuild)
    std::shared_ptr<const CLibraryState> state_;
    std::mutex logLock_;
};

}  // namespace th
