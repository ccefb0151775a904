// The static export served by Debian's real nginx and Apache on loopback answers like the
// server, caching headers included.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "CatalogBuilder.h"
#include "Gzip.h"
#include "LibraryExport.h"
#include "TestUtil.h"

using namespace th;
using test::HttpGet;
using test::TempDir;

namespace {

// A library of three songs whose second is hidden, exported below /tunes/ for port.
struct Exported {
    explicit Exported(int port) {
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
        EXPECT_TRUE(CCatalogBuilder::Build(o, &summary, &error)) << error;
        std::filesystem::remove(lib / "a/two.s3m");  // song 2 becomes hidden
        EXPECT_TRUE(CCatalogBuilder::Build(o, &summary, &error)) << error;
        ExportOptions e{lib.Path(), out.Path(), "127.0.0.1", port, "/tunes/"};
        ExportSummary exported;
        EXPECT_TRUE(CLibraryExport::Write(e, &exported, &error)) << error;
        EXPECT_EQ(exported.songs, 2);
    }
    TempDir lib;
    TempDir out;
};

void ExpectTheThreeAnswers(int port, const Exported& x) {
    auto version = HttpGet(port, "/tunes/version.php");
    EXPECT_EQ(version.body, "2");
    EXPECT_EQ(version.ContentLength(), 1);
    EXPECT_EQ(version.headers["cache-control"], CLibraryExport::kVersionCaching);
    auto library = HttpGet(port, "/tunes/library.php");
    EXPECT_EQ(library.ContentLength(), static_cast<long long>(library.body.size()));
    EXPECT_EQ(GzipDecompress(library.body), test::ReadFile(x.lib / "Library.xml"));
    EXPECT_EQ(library.headers["cache-control"], CLibraryExport::kCatalogCaching);
    auto song = HttpGet(port, "/tunes/song.php?id=3");
    EXPECT_EQ(song.status, 200);
    EXPECT_EQ(song.ContentLength(), static_cast<long long>(song.body.size()));
    EXPECT_FALSE(song.HasHeader("content-encoding"));
    EXPECT_EQ(song.headers["content-type"], "application/gzip");
    EXPECT_EQ(GzipDecompress(song.body), test::ReadFile(x.lib / "b/three.xm"));
    EXPECT_EQ(song.headers["cache-control"], CLibraryExport::kSongCaching);
    for (const char* target : {"/tunes/song.php?id=2", "/tunes/song.php?id=9", "/tunes/song.php?id=01",
                               "/tunes/song.php?id=../library.php", "/tunes/song.php", "/tunes/songs/1.gz",
                               "/nginx.conf", "/apache.conf", "/tunes/", "/.not-found"}) {
        auto r = HttpGet(port, target);
        EXPECT_EQ(r.status, 404) << target;
        EXPECT_EQ(r.ContentLength(), 0) << target;
        EXPECT_EQ(r.headers["cache-control"], CLibraryExport::kErrorCaching) << target;
    }
}

}  // namespace

TEST(WebServerExport, NginxServesTheThreeRequestsFromTheExport) {
    const std::string nginx = test::FindProgram({"/usr/sbin/nginx", "/usr/local/sbin/nginx", "/usr/bin/nginx"});
    if (nginx.empty()) GTEST_SKIP() << "nginx is not installed (scripts/deps.sh); the export is not served";
    const int port = test::FreePort();
    Exported x(port);
    test::Process server({nginx, "-p", x.out.Path(), "-c", "nginx.conf", "-e", "stderr", "-g",
                          "daemon off; master_process off;"},
                         x.out / "nginx.log");
    ASSERT_TRUE(test::WaitForAnswer(port, "/tunes/version.php")) << test::ReadFile(x.out / "nginx.log");
    ExpectTheThreeAnswers(port, x);
}

TEST(WebServerExport, ApacheServesTheThreeRequestsFromTheExport) {
    const std::string apache = test::FindProgram({"/usr/sbin/apache2"});
    if (apache.empty()) GTEST_SKIP() << "apache2 is not installed (scripts/deps.sh); the export is not served";
    const int port = test::FreePort();
    Exported x(port);
    // Started as root, Apache's workers run as www-data: they must reach the tree.
    for (const std::string& folder : {x.out.Path(), x.out / "www", x.out / "www/tunes", x.out / "www/tunes/songs"})
        chmod(folder.c_str(), 0755);
    test::Process server({apache, "-f", x.out / "apache.conf", "-DFOREGROUND"}, x.out / "apache.log");
    ASSERT_TRUE(test::WaitForAnswer(port, "/tunes/version.php"))
        << test::ReadFile(x.out / "apache.log") << test::ReadFile(x.out / "apache-error.log");
    ExpectTheThreeAnswers(port, x);
}
