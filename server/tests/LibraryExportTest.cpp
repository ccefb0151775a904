// The static export written over an earlier one: what a client can see while it happens.
#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "CatalogBuilder.h"
#include "Gzip.h"
#include "LibraryExport.h"
#include "TestUtil.h"

using namespace th;
using test::TempDir;

namespace {

void Build(const std::string& folder) {
    CatalogOptions o;
    o.folder = folder;
    CatalogSummary summary;
    std::string error;
    ASSERT_TRUE(CCatalogBuilder::Build(o, &summary, &error)) << error;
}

ino_t Inode(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// The names that arrive in (a rename onto them) or leave the watched folders, in order.
class Watch {
public:
    explicit Watch(const std::vector<std::string>& folders) : fd_(inotify_init1(IN_NONBLOCK)) {
        for (const auto& f : folders) inotify_add_watch(fd_, f.c_str(), IN_MOVED_TO | IN_DELETE | IN_CLOSE_WRITE);
    }
    ~Watch() { close(fd_); }
    std::vector<std::string> Events() {
        std::vector<std::string> events;
        alignas(inotify_event) char buffer[65536];
        ssize_t n;
        while ((n = read(fd_, buffer, sizeof buffer)) > 0) {
            for (char* p = buffer; p < buffer + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(p);
                const std::string name = e->len ? e->name : "";
                if (e->mask & IN_MOVED_TO) events.push_back("in " + name);
                else if (e->mask & IN_DELETE) events.push_back("gone " + name);
                else if (name.find(".tmp") == std::string::npos) events.push_back("written in place " + name);
                p += sizeof(inotify_event) + e->len;
            }
        }
        return events;
    }

private:
    int fd_;
};

}  // namespace

TEST(LibraryExport, ReexportWritesChangedSongsThenCatalogueThenVersionAndRemovesLast) {
    TempDir lib;
    ModuleSpec s;
    test::WriteModule(lib / "a.mod", s);
    s.format = ModuleFormat::Xm;
    test::WriteModule(lib / "b.xm", s);
    s.format = ModuleFormat::It;
    test::WriteModule(lib / "c.it", s);
    Build(lib.Path());
    TempDir out;
    ExportOptions e{lib.Path(), out.Path(), "127.0.0.1", 8417, "/tunes/"};
    ExportSummary summary;
    std::string error;
    ASSERT_TRUE(CLibraryExport::Write(e, &summary, &error)) << error;
    EXPECT_EQ(summary.songs, 3);
    const std::string web = out / "www/tunes";
    const ino_t unchanged = Inode(web + "/songs/1.gz");
    ASSERT_NE(unchanged, 0u);

    // b.xm leaves, c.it changes, d.s3m arrives.
    std::filesystem::remove(lib / "b.xm");
    s.soundRows = 64;
    test::WriteModule(lib / "c.it", s);
    s.format = ModuleFormat::S3m;
    test::WriteModule(lib / "d.s3m", s);
    Build(lib.Path());

    Watch watch({web, web + "/songs"});
    ASSERT_TRUE(CLibraryExport::Write(e, &summary, &error)) << error;
    const std::vector<std::string> expected = {"in 3.gz", "in 4.gz", "in library.php", "in version.php", "gone 2.gz"};
    EXPECT_EQ(watch.Events(), expected);
    EXPECT_EQ(Inode(web + "/songs/1.gz"), unchanged);  // an unchanged song is never away
    EXPECT_EQ(summary.songs, 3);
    EXPECT_EQ(summary.written, 2);
    EXPECT_EQ(summary.removed, 1);
    EXPECT_EQ(GzipDecompress(test::ReadFile(web + "/songs/3.gz")), test::ReadFile(lib / "c.it"));
    EXPECT_EQ(test::ReadFile(out / "purge.txt"),
              "/tunes/song.php?id=3\n/tunes/song.php?id=4\n/tunes/library.php\n/tunes/version.php\n"
              "/tunes/song.php?id=2\n");

    // Nothing changed: nothing is written, and nothing is to be purged.
    Watch quiet({web, web + "/songs"});
    ASSERT_TRUE(CLibraryExport::Write(e, &summary, &error)) << error;
    EXPECT_EQ(quiet.Events(), std::vector<std::string>{});
    EXPECT_EQ(test::ReadFile(out / "purge.txt"), "");
}
