#pragma once
// Helpers of the server client, cache and status bar tests: a catalogue file from a list of
// songs, a window that records the messages posted to it, and the test servers' addresses.

#include <windows.h>

#include <string>
#include <vector>

namespace nettest {

struct Song {
    std::wstring file;
    long long size = 0;
    double length = 0;
    long long update = 0;
};

// Writes a catalogue (UTF-16 with byte-order mark) with the given version and songs, ids 1..n.
bool WriteCatalogue(const std::wstring& path, int version, const std::vector<Song>& songs);

// A hidden top-level window that keeps every private message posted to it.
class MessageWindow {
public:
    struct Message {
        UINT msg;
        WPARAM wp;
        LPARAM lp;
    };
    MessageWindow();
    ~MessageWindow();
    HWND Get() const { return hwnd_; }
    const std::vector<Message>& Messages() const { return messages_; }
    // Pumps until a WM_APP_NET_DONE or WM_APP_NET_FAILED arrives (or the time-out); returns
    // whether one did.
    bool WaitForNetResult(DWORD timeoutMs);
    // The net results received so far.
    std::vector<Message> NetResults() const;
    void Clear() { messages_.clear(); }
private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    HWND hwnd_ = nullptr;
    std::vector<Message> messages_;
};

// Base URL of a test server started by the suite's fixture ("" when the fixture did not run):
// fault "" for the well-behaved one, else the fault name.
std::wstring ServerUrl(const std::string& fault = "");
// The library folder that the test servers serve (a Windows path with a trailing backslash).
std::wstring ServedLibrary();
// The request log of a test server, as text.
std::string ServerLog(const std::string& fault = "");

// The text of one part of a status bar.
std::wstring PartText(HWND bar, int part);

}  // namespace nettest

namespace nettest {

// A one-answer HTTP server on 127.0.0.1 for answers the library server never gives (a
// negative version, an uncompressed song): every request gets the same raw response, or the
// one given for its path.
class CannedServer {
public:
    CannedServer();
    ~CannedServer();
    CannedServer(const CannedServer&) = delete;
    CannedServer& operator=(const CannedServer&) = delete;
    // The base URL, ending with a slash; "" when the server could not start.
    std::wstring Url() const;
    void SetResponse(const std::string& response);
    // The answer to requests whose first line holds `pathPart` (others get the one above).
    void SetResponseFor(const std::string& pathPart, const std::string& response);
    int Requests() const;
    // While held, a request is taken in but not answered.
    void Hold(bool hold);
    // A complete response with status 200 and an exact Content-Length.
    static std::string Ok(const std::string& body);
private:
    static DWORD WINAPI Loop(void* self);
    struct State;
    State* state_;
};

}  // namespace nettest
