// The library server over loopback: the three requests, 404s, the fault modes, the log, a
// rebuilt catalogue, and the command line.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>

#include <httplib.h>

#include "CatalogBuilder.h"
#include "Gzip.h"
#include "LibraryServer.h"
#include "TestUtil.h"

using namespace th;
using test::HttpGet;
using test::TempDir;

namespace {

// A library of three songs; song 2's file is removed after the first build (hidden).
class Library {
public:
    Library() {
        ModuleSpec s;
        s.soundRows = 16;
        s.format = ModuleFormat::Mod;
        test::WriteModule(dir / "one/a.mod", s);
        s.format = ModuleFormat::Xm;
        test::WriteModule(dir / "one/b.xm", s);
        s.format = ModuleFormat::It;
        s.soundRows = 200;
        test::WriteModule(dir / "two/c.it", s);
        Rebuild();
        std::filesystem::remove(dir / "one/b.xm");
        Rebuild();
    }
    void Rebuild() {
        CatalogOptions o;
        o.folder = dir.Path();
        CatalogSummary summary;
        std::string error;
        ASSERT_TRUE(CCatalogBuilder::Build(o, &summary, &error)) << error;
    }
    TempDir dir;
};

class Server {
public:
    explicit Server(const std::string& folder, Fault fault = Fault::None, const std::string& base = "/") {
        ServerOptions o;
        o.folder = folder;
        o.port = 0;
        o.base = base;
        o.fault = fault;
        o.slowSeconds = 1.0;
        o.log = [this](const std::string& line) {
            std::lock_guard<std::mutex> lock(lock_);
            lines_.push_back(line);
        };
        server_ = std::make_unique<CLibraryServer>(o);
        std::string error;
        ok = server_->Start(&error);
        EXPECT_TRUE(ok) << error;
    }
    int Port() const { return server_->Port(); }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> lock(lock_);
        return lines_;
    }
    bool ok = false;

private:
    std::mutex lock_;
    std::vector<std::string> lines_;
    std::unique_ptr<CLibraryServer> server_;
};

}  // namespace

TEST(LibraryServer, AnswersTheThreeRequestsWithExactLengthsAndGzipBodies) {
    Library lib;
    Server server(lib.dir.Path());
    ASSERT_TRUE(server.ok);

    const auto version = HttpGet(server.Port(), "/version.php");
    EXPECT_EQ(version.status, 200);
    EXPECT_EQ(version.body, "2");
    EXPECT_EQ(version.ContentLength(), 1);

    const auto library = HttpGet(server.Port(), "/library.php");
    EXPECT_EQ(library.status, 200);
    EXPECT_EQ(library.ContentLength(), static_cast<long long>(library.body.size()));
    EXPECT_FALSE(library.HasHeader("content-encoding"));
    const auto catalog = GzipDecompress(library.body);
    ASSERT_TRUE(catalog.has_value());
    EXPECT_EQ(*catalog, test::ReadFile(lib.dir / "Library.xml"));

    for (const auto& [id, file] : {std::pair{1, "one/a.mod"}, std::pair{3, "two/c.it"}}) {
        const auto song = HttpGet(server.Port(), "/song.php?id=" + std::to_string(id));
        EXPECT_EQ(song.status, 200);
        EXPECT_EQ(song.ContentLength(), static_cast<long long>(song.body.size()));
        const auto bytes = GzipDecompress(song.body);
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(*bytes, test::ReadFile(lib.dir / file));
    }
    EXPECT_EQ(server.Lines().size(), 4u);
}

TEST(LibraryServer, TellsCachesHowLongEachAnswerMayBeKept) {
    Library lib;
    Server server(lib.dir.Path());
    ASSERT_TRUE(server.ok);
    auto version = HttpGet(server.Port(), "/version.php");
    EXPECT_EQ(version.headers["cache-control"], "public, max-age=60");  // a new catalogue is seen within a minute
    auto library = HttpGet(server.Port(), "/library.php");
    EXPECT_EQ(library.headers["cache-control"], "public, no-cache");
    auto song = HttpGet(server.Port(), "/song.php?id=3");
    EXPECT_EQ(song.headers["cache-control"], "public, max-age=31536000");
    for (const char* target : {"/song.php?id=2", "/song.php?id=9", "/nothing"}) {
        auto missing = HttpGet(server.Port(), target);
        EXPECT_EQ(missing.headers["cache-control"], "no-store") << target;
    }
}

TEST(LibraryServer, NeverReencodesBodiesForClientsThatAcceptCompression) {
    Library lib;
    Server server(lib.dir.Path());
    ASSERT_TRUE(server.ok);
    const std::string accept = "Accept-Encoding: gzip, deflate, br\r\n";
    const auto version = HttpGet(server.Port(), "/version.php", 15, accept);
    EXPECT_EQ(version.body, "2");
    EXPECT_FALSE(version.HasHeader("content-encoding"));
    for (const char* target : {"/library.php", "/song.php?id=1"}) {
        const auto r = HttpGet(server.Port(), target, 15, accept);
        EXPECT_FALSE(r.HasHeader("content-encoding")) << target;
        EXPECT_TRUE(GzipDecompress(r.body).has_value()) << target;
    }
}

TEST(LibraryServer, KeepsAConnectionAliveAcrossRequests) {
    Library lib;
    Server server(lib.dir.Path());
    ASSERT_TRUE(server.ok);
    httplib::Client client("127.0.0.1", server.Port());
    client.set_keep_alive(true);
    for (int round = 0; round < 3; ++round) {
        auto v = client.Get("/version.php");
        ASSERT_TRUE(v);
        EXPECT_EQ(v->body, "2");
        auto missing = client.Get("/song.php?id=2");
        ASSERT_TRUE(missing);
        EXPECT_EQ(missing->status, 404);
        auto song = client.Get("/song.php?id=3");
        ASSERT_TRUE(song);
        EXPECT_EQ(GzipDecompress(song->body), test::ReadFile(lib.dir / "two/c.it"));
    }
}

TEST(LibraryServer, UnknownMalformedAndHiddenIdsGet404) {
    Library lib;
    Server server(lib.dir.Path());
    ASSERT_TRUE(server.ok);
    for (const char* target : {"/song.php?id=0", "/song.php?id=4", "/song.php?id=2", "/song.php?id=-1",
                               "/song.php?id=01", "/song.php?id=1x", "/song.php?id=", "/song.php",
                               "/song.php?id=99999999999", "/other.php", "/",
                               "/one/a.mod", "/Library.xml", "/../one/a.mod"}) {
        const auto r = HttpGet(server.Port(), target);
        EXPECT_EQ(r.status, 404) << target;
        EXPECT_EQ(r.ContentLength(), 0) << target;
        EXPECT_TRUE(r.body.empty()) << target;
    }
}

TEST(LibraryServer, ServesBelowItsBasePathOnly) {
    Library lib;
    Server server(lib.dir.Path(), Fault::None, "/music/lib/");
    ASSERT_TRUE(server.ok);
    EXPECT_EQ(HttpGet(server.Port(), "/music/lib/version.php").body, "2");
    EXPECT_EQ(HttpGet(server.Port(), "/music/lib/song.php?id=1").status, 200);
    EXPECT_EQ(HttpGet(server.Port(), "/version.php").status, 404);
    EXPECT_FALSE(CLibraryServer::ValidBase("music/"));
    EXPECT_FALSE(CLibraryServer::ValidBase("/music"));
    EXPECT_FALSE(CLibraryServer::ValidBase("/a/../b/"));
}

TEST(LibraryServer, PicksUpARebuiltCatalogue) {
    Library lib;
    Server server(lib.dir.Path());
    ASSERT_TRUE(server.ok);
    EXPECT_EQ(HttpGet(server.Port(), "/song.php?id=4").status, 404);
    ModuleSpec s;
    test::WriteModule(lib.dir / "two/d.s3m", s);
    lib.Rebuild();
    EXPECT_EQ(HttpGet(server.Port(), "/version.php").body, "3");
    EXPECT_EQ(HttpGet(server.Port(), "/song.php?id=4").status, 200);
}

TEST(LibraryServer, FaultsSpoilTheCatalogueAndSongsButNotTheVersion) {
    Library lib;
    const std::string song = test::ReadFile(lib.dir / "two/c.it");
    for (Fault fault : {Fault::DropHalf, Fault::NoLength, Fault::ZeroLength, Fault::Status500, Fault::BadGzip}) {
        SCOPED_TRACE(CLibraryServer::FaultName(fault));
        Server server(lib.dir.Path(), fault);
        ASSERT_TRUE(server.ok);
        const auto version = HttpGet(server.Port(), "/version.php");
        EXPECT_EQ(version.body, "2");
        EXPECT_EQ(version.ContentLength(), 1);
        for (const char* target : {"/library.php", "/song.php?id=3"}) {
            const auto r = HttpGet(server.Port(), target);
            const auto unpacked = GzipDecompress(r.body);
            switch (fault) {
            case Fault::DropHalf:
                EXPECT_EQ(r.status, 200);
                EXPECT_GT(r.ContentLength(), static_cast<long long>(r.body.size()));
                EXPECT_EQ(static_cast<long long>(r.body.size()), r.ContentLength() / 2);
                EXPECT_FALSE(unpacked.has_value());
                break;
            case Fault::NoLength:
                EXPECT_FALSE(r.HasHeader("content-length"));
                EXPECT_FALSE(r.HasHeader("transfer-encoding"));
                EXPECT_TRUE(unpacked.has_value());  // the body is whole, only its length is missing
                break;
            case Fault::ZeroLength:
                EXPECT_EQ(r.ContentLength(), 0);
                EXPECT_TRUE(r.body.empty());
                break;
            case Fault::Status500:
                EXPECT_EQ(r.status, 500);
                EXPECT_EQ(r.ContentLength(), static_cast<long long>(r.body.size()));
                EXPECT_NE(r.body.find("500"), std::string::npos);
                break;
            case Fault::BadGzip:
                EXPECT_EQ(r.status, 200);
                EXPECT_EQ(r.ContentLength(), static_cast<long long>(r.body.size()));
                EXPECT_EQ(r.body.substr(0, 2), "\x1f\x8b");  // still looks like gzip
                EXPECT_FALSE(unpacked.has_value());
                break;
            default:
                break;
            }
        }
        const auto lines = server.Lines();
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_EQ(lines[0], "GET /version.php 200 1");
        EXPECT_NE(lines[2].find(std::string("fault=") + CLibraryServer::FaultName(fault)), std::string::npos) << lines[2];
        if (fault == Fault::NoLength) {
            EXPECT_EQ(GzipDecompress(HttpGet(server.Port(), "/song.php?id=3").body), song);
        }
    }
}

TEST(LibraryServer, SlowFaultTricklesTheWholeBody) {
    Library lib;
    Server server(lib.dir.Path(), Fault::Slow);  // one second per body in this test
    ASSERT_TRUE(server.ok);
    const auto started = std::chrono::steady_clock::now();
    const auto r = HttpGet(server.Port(), "/song.php?id=3");
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(r.ContentLength(), static_cast<long long>(r.body.size()));
    EXPECT_EQ(GzipDecompress(r.body), test::ReadFile(lib.dir / "two/c.it"));
    EXPECT_GT(seconds, 0.7);
}

TEST(LibraryServer, RefusesRequestBodiesWithoutReadingThemAndBoundsTheHead) {
    Library lib;
    Server server(lib.dir.Path());
    ASSERT_TRUE(server.ok);
    const std::string head = "Host: 127.0.0.1\r\n";
    struct Case {
        const char* what;
        std::string request;
        int status;
    };
    std::string manyLines, oneLine = "X-Long: " + std::string(100000, 'a') + "\r\n";
    for (int i = 0; i < 200; ++i) manyLines += "X-Line-" + std::to_string(i) + ": " + std::string(1000, 'b') + "\r\n";
    const Case cases[] = {
        // A gigabyte announced, ten bytes sent: the answer does not wait for the rest.
        {"large body", "POST /song.php HTTP/1.1\r\n" + head + "Content-Length: 1000000000\r\n\r\n0123456789", 413},
        {"body on a GET", "GET /version.php HTTP/1.1\r\n" + head + "Content-Length: 5\r\n\r\nhello", 413},
        {"chunked body", "GET /version.php HTTP/1.1\r\n" + head + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", 413},
        {"other method", "DELETE /song.php?id=1 HTTP/1.1\r\n" + head + "\r\n", 405},
        {"long header line", "GET /version.php HTTP/1.1\r\n" + head + oneLine + "\r\n", 431},
        {"many header lines", "GET /version.php HTTP/1.1\r\n" + head + manyLines + "\r\n", 431},
        {"long target", "GET /song.php?id=1&x=" + std::string(20000, 'c') + " HTTP/1.1\r\n" + head + "\r\n", 431},
        {"garbage", "\x16\x03\x01 hello\r\n\r\n", 400},
    };
    for (const Case& c : cases) {
        const auto started = std::chrono::steady_clock::now();
        const auto r = test::HttpRaw(server.Port(), c.request, 5);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_EQ(r.headers.count("connection") ? r.headers.at("connection") : "", "close") << c.what;
        EXPECT_LT(seconds, 4) << c.what;  // refused at once, not after the read time-out
    }
    EXPECT_EQ(HttpGet(server.Port(), "/version.php").body, "2");
    const auto lines = server.Lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "POST /song.php 413 0"), lines.end());
}

TEST(LibraryServer, AnswersWhileAHundredClientsTrickleTheirRequests) {
    Library lib;
    Server server(lib.dir.Path());
    ASSERT_TRUE(server.ok);
    const test::SlowClients slow(server.Port(), 100, std::chrono::milliseconds(300));
    ASSERT_EQ(slow.Opened(), 100);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const auto song = HttpGet(server.Port(), "/song.php?id=3", 4);
    EXPECT_EQ(song.status, 200);
    EXPECT_TRUE(GzipDecompress(song.body) == test::ReadFile(lib.dir / "two/c.it"));
}

TEST(LibraryServer, CorruptGzipNeverUnpacks) {
    for (size_t size : {0u, 1u, 100u, 5000u, 200000u}) {
        std::string data;
        for (size_t i = 0; i < size; ++i) data.push_back(static_cast<char>((i * 7919) % 251));
        const auto gz = GzipCompress(data);
        ASSERT_TRUE(gz.has_value());
        EXPECT_FALSE(GzipDecompress(CLibraryServer::CorruptGzip(*gz)).has_value()) << size;
    }
}

TEST(LibraryServer, CommandLineServesLogsEachRequestAndStopsByItself) {
    Library lib;
    const int port = test::FreePort();
    const std::string command = test::Tool("tunehaven-server") + " " + lib.dir.Path() + " --port " +
                                std::to_string(port) + " --exit-after 3 --fault status-500";
    FILE* p = popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    char line[512];
    ASSERT_NE(fgets(line, sizeof line, p), nullptr);
    EXPECT_NE(std::string(line).find("serving"), std::string::npos) << line;
    EXPECT_EQ(HttpGet(port, "/version.php").body, "2");
    EXPECT_EQ(HttpGet(port, "/song.php?id=1").status, 500);
    std::string rest;
    while (fgets(line, sizeof line, p)) rest += line;
    EXPECT_EQ(WEXITSTATUS(pclose(p)), 0);
    EXPECT_EQ(rest, "GET /version.php 200 1\nGET /song.php?id=1 500 114 fault=status-500\n");

    std::string out;
    EXPECT_EQ(test::Run(test::Tool("tunehaven-server") + " " + lib.dir.Path() + " --fault sometimes", &out), 2);
    EXPECT_EQ(test::Run(test::Tool("tunehaven-server") + " " + lib.dir.Path() + " --port 70000", &out), 2);
    EXPECT_EQ(test::Run(test::Tool("tunehaven-server") + " " + lib.dir.Path() + " --base nope", &out), 2);
    EXPECT_EQ(test::Run(test::Tool("tunehaven-server") + " " + (lib.dir / "nothing"), &out), 1);
    EXPECT_EQ(test::Run(test::Tool("tunehaven-server") + " --help", &out), 0);
    EXPECT_NE(out.find("drop-half"), std::string::npos);
}
