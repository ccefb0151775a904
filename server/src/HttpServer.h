#pragma once
// A small HTTP/1.1 server for GET and HEAD requests without bodies, safe to face the public:
// one thread reads the request heads of every connection at once (so clients that send a byte
// every few seconds hold no worker), heads are bounded in size and time, request bodies are
// refused without being read, and a pool of workers writes the answers.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace th {

struct HttpRequest {
    std::string method;
    std::string target;  // as sent
    std::string path;    // decoded, without the query
    std::multimap<std::string, std::string> params;  // decoded query parameters
    std::map<std::string, std::string> headers;      // lower-case names
    bool HasParam(const std::string& name) const { return params.count(name) != 0; }
    std::string Param(const std::string& name) const;
};

struct HttpResponse {
    int status = 200;
    std::string type = "application/octet-stream";
    std::vector<std::pair<std::string, std::string>> headers;  // further header lines
    std::shared_ptr<const std::string> body;                  // null: empty
    // How the body goes out; the defaults send it whole with its exact length.
    bool announceLength = true;  // false: no Content-Length, the body ends when the connection closes
    size_t sendBytes = SIZE_MAX; // fewer than the body: the connection is cut after them
    int slices = 1;              // sent in this many parts ...
    std::chrono::duration<double> pause{0};  // ... with this pause before each part after the first
    void SetBody(std::string text, std::string contentType);
};

struct HttpLimits {
    size_t headBytes = 8192;          // request line and header lines together
    double headSeconds = 10;          // for a whole head, from its first byte
    double idleSeconds = 5;           // before the first byte of a head
    double writeSeconds = 60;         // for a whole answer
    int workers = 16;
    size_t connections = 1024;        // open at once; more are closed at once
};

class CHttpServer {
public:
    using Handler = std::function<void(const HttpRequest&, HttpResponse&)>;
    // Refusals and broken heads, answered without the handler: one line each for a log.
    using Notice = std::function<void(const std::string&)>;

    CHttpServer(Handler handler, Notice notice, HttpLimits limits = {});
    virtual ~CHttpServer();

    // Binds and listens; port 0 picks a free one. False with error set on failure.
    bool Listen(const std::string& host, int port, std::string* error);
    int Port() const { return port_; }
    // Serves until Stop (from another thread).
    void Run();
    // Ends Run, cuts short answers that pause, closes every connection.
    void Stop();
    bool Stopping() const { return stopping_; }

private:
    struct Connection {
        int fd = -1;
        std::string buffer;  // received bytes not yet used: the head being read
        std::chrono::steady_clock::time_point idleSince, headSince;
        bool headStarted = false;
        // Refused: our side is shut, what the client still sends is read and dropped for a
        // moment, so that closing does not reset the connection before it read the refusal.
        bool lingering = false;
        std::chrono::steady_clock::time_point lingerUntil;
        size_t discarded = 0;
    };
    struct Job {
        std::unique_ptr<Connection> connection;
        HttpRequest request;
        int refusal = 0;      // a status to answer without the handler, 0 none
        bool keepAlive = false;
    };

    void ReadLoop();
    void AcceptAll();
    // Reads what arrived; returns false when the connection is to be closed.
    bool Receive(std::unique_ptr<Connection>& c);
    // Hands a complete head in c's buffer to the workers (c is then empty); false when the
    // connection is to be closed.
    bool TakeHead(std::unique_ptr<Connection>& c);
    void Work();
    bool Answer(Job& job);
    bool Send(int fd, const char* data, size_t size, std::chrono::steady_clock::time_point deadline);
    void Hand(Job job);
    void Wake();
    void CloseConnection(Connection& c);

    Handler handler_;
    Notice notice_;
    HttpLimits limits_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::chrono::steady_clock::time_point acceptPause_;  // the reader's own

    std::mutex lock_;  // guards jobs_, returned_ and the condition
    std::condition_variable ready_;
    std::deque<Job> jobs_;
    std::vector<std::unique_ptr<Connection>> returned_;  // kept alive, back to the reader
    std::vector<std::unique_ptr<Connection>> reading_;   // the reader thread's own
    std::vector<std::thread> workers_;
    std::atomic<size_t> busy_{0};  // connections with the workers
};

}  // namespace th
