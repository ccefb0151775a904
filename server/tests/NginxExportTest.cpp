// The static export served by Debian's real nginx on loopback answers like the server.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "CatalogBuilder.h"
#include "Gzip.h"
#include "LibraryExport.h"
#include "TestUtil.h"

using namespace th;
using test::HttpGet;
using test::TempDir;

namespace {

const char* FindNginx() {
    for (const char* p : {"/usr/sbin/nginx", "/usr/local/sbin/nginx", "/usr/bin/nginx"})
        if (access(p, X_OK) == 0) return p;
    return nullptr;
}

// Runs nginx in the foreground for the life of the object; it is killed and reaped at the end.
class Nginx {
public:
    Nginx(const char* binary, const std::string& prefix) {
        pid_ = fork();
        if (pid_ == 0) {
            const std::string log = prefix + "/nginx.log";
            freopen(log.c_str(), "w", stderr);
            execl(binary, binary, "-p", prefix.c_str(), "-c", "nginx.conf", "-e", "stderr", "-g",
                  "daemon off; master_process off;", static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~Nginx() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    bool Running() { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
    pid_t pid_ = -1;
};

}  // namespace

TEST(NginxExport, NginxServesTheThreeRequestsFromTheExport) {
    const char* nginx = FindNginx();
    if (!nginx) GTEST_SKIP() << "nginx is not installed (apt-get install nginx); the export is not served";
    TempDir lib;
    ModuleSpec s;
    s.soundRows = 40;
    test::WriteModule(lib / "a/one.mod", s);
    s.format = ModuleFormat::S3m;
    test::WriteModule(lib / "a/two.s3m", s);
    s.format = ModuleFormat::Xm;
    test::WriteModule(lib / "b/three.xm", s);
    CatalogOptions o;
    o.folder = lib.Path();
    CatalogSummary summary;
    std::string error;
    ASSERT_TRUE(CCatalogBuilder::Build(o, &summary, &error)) << error;
    std::filesystem::remove(lib / "a/two.s3m");  // song 2 becomes hidden
    ASSERT_TRUE(CCatalogBuilder::Build(o, &summary, &error)) << error;

    TempDir out;
    const int port = test::FreePort();
    ExportOptions e{lib.Path(), out.Path(), "127.0.0.1", port, "/tunes/"};
    int songs = 0;
    ASSERT_TRUE(CLibraryExport::Write(e, &songs, &error)) << error;
    EXPECT_EQ(songs, 2);

    Nginx server(nginx, out.Path());
    bool up = false;
    for (int i = 0; i < 100 && !up; ++i) {
        up = HttpGet(port, "/tunes/version.php", 1).status == 200;
        if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ASSERT_TRUE(up) << test::ReadFile(out / "nginx.log");

    const auto version = HttpGet(port, "/tunes/version.php");
    EXPECT_EQ(version.body, "2");
    EXPECT_EQ(version.ContentLength(), 1);
    const auto library = HttpGet(port, "/tunes/library.php");
    EXPECT_EQ(library.ContentLength(), static_cast<long long>(library.body.size()));
    EXPECT_EQ(GzipDecompress(library.body), test::ReadFile(lib / "Library.xml"));
    const auto song = HttpGet(port, "/tunes/song.php?id=3");
    EXPECT_EQ(song.status, 200);
    EXPECT_EQ(song.ContentLength(), static_cast<long long>(song.body.size()));
    EXPECT_FALSE(song.HasHeader("content-encoding"));
    EXPECT_EQ(GzipDecompress(song.body), test::ReadFile(lib / "b/three.xm"));
    for (const char* target : {"/tunes/song.php?id=2", "/tunes/song.php?id=9", "/tunes/song.php?id=01",
                               "/tunes/song.php?id=../library.php", "/tunes/song.php", "/tunes/songs/1.gz",
                               "/nginx.conf", "/tunes/"}) {
        const auto r = HttpGet(port, target);
        EXPECT_EQ(r.status, 404) << target;
        EXPECT_EQ(r.ContentLength(), 0) << target;
    }
}
