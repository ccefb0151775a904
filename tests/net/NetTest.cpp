#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <zlib.h>

#include <memory>
#include <string>

#include "NetTestSupport.h"
#include "TestSupport.h"
#include "app/Ids.h"
#include "library/Library.h"
#include "net/Net.h"
#include "ui/frame/WndStatus.h"

namespace {

using nettest::PartText;

constexpr DWORD kResultTimeoutMs = 30000;

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

std::string Gzip(const std::string& data) {
    std::string out(compressBound(data.size()) + 64, '\0');
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

bool HasPartFiles(const std::wstring& folder) {
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW((folder + L"*.part").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    return true;
}

std::string Utf16(const std::string& ascii) {
    std::string bytes;
    for (char c : ascii) bytes += std::string{c, '\0'};
    return bytes;
}

// The bytes of a catalogue file written by the test helper.
std::string CatalogueBytes(int version, const std::vector<nettest::Song>& songs) {
    th::TempDir dir;
    std::wstring path = dir.File(L"Library.xml");
    return nettest::WriteCatalogue(path, version, songs) ? th::ReadFileBytes(path) : std::string();
}

// The served catalogue, read as the client reads it.
struct Served {
    Served() : library(nettest::ServedLibrary() + L"Library.xml") { library.Reload(0); }
    std::wstring File(int id) const { return library.GetSong(id) ? std::wstring(library.GetSong(id)->File()) : L""; }
    int IdOf(const std::wstring& file) const {
        for (int id = 1; id <= library.GetCount(); ++id)
            if (File(id) == file) return id;
        return 0;
    }
    CLibrary library;
};

class NetTest : public ::testing::Test {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
        InitCommonControlsEx(&icc);
        base = nettest::ServerUrl();
        ASSERT_FALSE(base.empty()) << "the suite's library servers are not running";
        ASSERT_GT(served.library.GetCount(), 2);
        status = std::make_unique<CWndStatus>(GetModuleHandleW(nullptr), window.Get(), nullptr);
        net = std::make_unique<CNet>(window.Get(), status.get(), &base, cache);
    }
    void TearDown() override {
        if (net) net->Close();
    }
    // The next result not yet looked at, waiting for it if needed (message 0 when none came).
    nettest::MessageWindow::Message NextResult() {
        th::PumpUntil([&] { return window.NetResults().size() > consumed; }, kResultTimeoutMs);
        th::PumpFor(50);  // let the status bar take the last texts
        auto results = window.NetResults();
        return results.size() > consumed ? results[consumed++] : nettest::MessageWindow::Message{0, 0, 0};
    }
    std::wstring StatusText() { return PartText(status->GetWindow(), 0); }
    bool ProgressShown() {
        HWND bar = FindWindowExW(status->GetWindow(), nullptr, PROGRESS_CLASSW, nullptr);
        return (GetWindowLongW(bar, GWL_STYLE) & WS_VISIBLE) != 0;
    }

    th::TempDir dir;
    std::wstring cache = dir.File(L"modules\\");
    std::wstring catalogue = dir.File(L"Library.xml");
    std::wstring base;
    Served served;
    nettest::MessageWindow window;
    std::unique_ptr<CWndStatus> status;
    std::unique_ptr<CNet> net;
    size_t consumed = 0;
};

TEST_F(NetTest, CurrentCatalogueIsNotDownloadedAgain) {
    ASSERT_TRUE(nettest::WriteCatalogue(catalogue, served.library.GetVersion(true), {{L"a\\x.mod", 1, 1}}));
    ASSERT_TRUE(net->CheckVersion());
    auto result = NextResult();
    EXPECT_EQ(result.msg, WM_APP_NET_DONE);
    EXPECT_EQ(result.wp, NetRequestParam(NET_REQUEST_VERSION));
    EXPECT_EQ(static_cast<DWORD>(result.lp), static_cast<DWORD>(served.library.GetVersion(false)));
    EXPECT_EQ(StatusText(), L"");
    EXPECT_FALSE(ProgressShown());

    CLibrary local(catalogue);
    EXPECT_FALSE(CNet::IsNewer(result.lp, local.GetVersion(true)));
}

TEST_F(NetTest, NewerCatalogueIsDownloadedUnpackedAndReadBack) {
    ASSERT_TRUE(nettest::WriteCatalogue(catalogue, 0, {{L"a\\x.mod", 1, 1}}));
    ASSERT_TRUE(net->CheckVersion());
    auto version = NextResult();
    ASSERT_EQ(version.msg, WM_APP_NET_DONE);
    CLibrary local(catalogue);
    ASSERT_TRUE(CNet::IsNewer(version.lp, local.GetVersion(true)));

    ASSERT_TRUE(net->DownloadLibrary(catalogue, static_cast<DWORD>(version.lp)));
    auto result = NextResult();
    EXPECT_EQ(result.msg, WM_APP_NET_DONE);
    EXPECT_EQ(result.wp, NetRequestParam(NET_REQUEST_LIBRARY));
    EXPECT_EQ(result.lp, 0);
    ASSERT_TRUE(local.Reload(0));
    EXPECT_EQ(local.GetCount(), served.library.GetCount());
    EXPECT_EQ(local.GetVersion(true), served.library.GetVersion(false));
    EXPECT_EQ(th::ReadFileBytes(catalogue), th::ReadFileBytes(nettest::ServedLibrary() + L"Library.xml"));
}

TEST_F(NetTest, BrokenResponsesFailAfterFiveAttemptsAndKeepTheOldCatalogue) {
    ASSERT_TRUE(nettest::WriteCatalogue(catalogue, 0, {{L"a\\x.mod", 1, 1}}));
    const std::string old = th::ReadFileBytes(catalogue);
    for (const char* fault : {"no-length", "zero-length", "drop-half", "status-500", "bad-gzip"}) {
        SCOPED_TRACE(fault);
        base = nettest::ServerUrl(fault);
        ASSERT_FALSE(base.empty());
        size_t before = Count(nettest::ServerLog(fault), "GET /lib/library.php");
        ASSERT_TRUE(net->DownloadLibrary(catalogue, 0));
        auto result = NextResult();
        EXPECT_EQ(result.msg, WM_APP_NET_FAILED);
        EXPECT_EQ(result.wp, NetRequestParam(NET_REQUEST_LIBRARY));
        EXPECT_EQ(StatusText(), CNet::kErrorText);
        EXPECT_FALSE(ProgressShown());
        EXPECT_EQ(th::ReadFileBytes(catalogue), old);
        EXPECT_EQ(Count(nettest::ServerLog(fault), "GET /lib/library.php") - before, 5u);
    }
    // Nothing of the failed attempts is left beside the catalogue.
    WIN32_FIND_DATAW fd;
    HANDLE find = FindFirstFileW(dir.File(L"*.part").c_str(), &fd);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

TEST_F(NetTest, SongInASubFolderIsWrittenThere) {
    const std::wstring file = served.File(1);
    ASSERT_NE(file.find(L'\\'), std::wstring::npos);
    ASSERT_TRUE(net->DownloadSong(1, cache + file));
    auto result = NextResult();
    EXPECT_EQ(result.msg, WM_APP_NET_DONE);
    EXPECT_EQ(result.wp, 1u);
    EXPECT_EQ(result.lp, 0);
    EXPECT_EQ(th::ReadFileBytes(cache + file), th::ReadFileBytes(nettest::ServedLibrary() + file));
}

TEST_F(NetTest, SameSongTwiceMakesOneRequestUntilItFails) {
    const std::wstring path = cache + served.File(2);
    size_t before = Count(nettest::ServerLog(), "GET /lib/song.php?id=2 ");
    ASSERT_TRUE(net->DownloadSong(2, path));
    ASSERT_TRUE(net->DownloadSong(2, path));
    EXPECT_EQ(NextResult().msg, WM_APP_NET_DONE);
    EXPECT_TRUE(net->DownloadSong(2, path));  // also after it ended
    th::PumpFor(300);
    EXPECT_EQ(window.NetResults().size(), 1u);
    EXPECT_EQ(Count(nettest::ServerLog(), "GET /lib/song.php?id=2 ") - before, 1u);

    // A failed song is asked for again at the next request, and arrives once the server is
    // well again.
    base = nettest::ServerUrl("status-500");
    const std::wstring third = cache + served.File(3);
    ASSERT_TRUE(net->DownloadSong(3, third));
    EXPECT_EQ(NextResult().msg, WM_APP_NET_FAILED);
    EXPECT_EQ(StatusText(), CNet::kErrorText);
    EXPECT_FALSE(th::FileExists(third));
    base = nettest::ServerUrl();
    before = Count(nettest::ServerLog(), "GET /lib/song.php?id=3 ");
    EXPECT_TRUE(net->DownloadSong(3, third));
    auto again = NextResult();
    EXPECT_EQ(again.msg, WM_APP_NET_DONE);
    EXPECT_EQ(again.wp, 3u);
    EXPECT_EQ(Count(nettest::ServerLog(), "GET /lib/song.php?id=3 ") - before, 1u);
    EXPECT_EQ(th::ReadFileBytes(third), th::ReadFileBytes(nettest::ServedLibrary() + served.File(3)));
}

TEST_F(NetTest, TransferCancelledMidBodyIsReportedAsFailed) {
    // The slow server trickles this song's body, several network blocks long, over seconds.
    base = nettest::ServerUrl("slow");
    const std::wstring file = L"Composer\\noisy.mod";
    const int noisy = served.IdOf(file);
    ASSERT_NE(noisy, 0);
    const std::wstring prefix = L"Downloading noisy.mod (";
    auto midBody = [&] {
        std::wstring text = StatusText();
        return text.rfind(prefix, 0) == 0 && text != prefix + L"0%)" && text != prefix + L"100%)";
    };
    ASSERT_TRUE(net->DownloadSong(noisy, cache + file));
    ASSERT_TRUE(th::PumpUntil(midBody, 15000)) << StatusText().c_str();
    EXPECT_TRUE(ProgressShown());

    // A new song cancels the running one without waiting for it; the cancelled one is
    // reported first, and the new one still arrives.
    base = nettest::ServerUrl();
    ASSERT_TRUE(net->DownloadSong(2, cache + served.File(2)));
    auto cancelled = NextResult();
    EXPECT_EQ(cancelled.msg, WM_APP_NET_FAILED);
    EXPECT_EQ(cancelled.wp, static_cast<WPARAM>(noisy));
    auto next = NextResult();
    EXPECT_EQ(next.msg, WM_APP_NET_DONE);
    EXPECT_EQ(next.wp, 2u);
    EXPECT_FALSE(th::FileExists(cache + file));
    EXPECT_TRUE(th::FileExists(cache + served.File(2)));
    EXPECT_EQ(StatusText(), L"");

    // Cancel itself reports the same way, and clears the message rather than showing an error.
    base = nettest::ServerUrl("slow");
    ASSERT_TRUE(net->DownloadSong(noisy, cache + file));
    ASSERT_TRUE(th::PumpUntil(midBody, 15000)) << StatusText().c_str();
    net->Cancel();
    auto result = NextResult();
    EXPECT_EQ(result.msg, WM_APP_NET_FAILED);
    EXPECT_EQ(result.wp, static_cast<WPARAM>(noisy));
    EXPECT_EQ(StatusText(), L"");
    EXPECT_FALSE(th::FileExists(cache + file));
}

TEST_F(NetTest, RequestsOvertakenWhileWaitingNeverReachTheServer) {
    base = nettest::ServerUrl("slow");
    const std::wstring file = L"Composer\\noisy.mod";
    const int noisy = served.IdOf(file);
    ASSERT_NE(noisy, 0);
    ASSERT_TRUE(net->DownloadSong(noisy, cache + file));
    ASSERT_TRUE(th::PumpUntil([&] { return ProgressShown() && StatusText().find(L"(0%)") == std::wstring::npos; },
                              15000));

    // Song 1 waits for the slow one to stop, and is itself overtaken by song 3 meanwhile.
    base = nettest::ServerUrl();
    size_t before = Count(nettest::ServerLog(), "GET /lib/song.php?id=1 ");
    ASSERT_TRUE(net->DownloadSong(1, cache + served.File(1)));
    ASSERT_TRUE(net->DownloadSong(3, cache + served.File(3)));
    auto first = NextResult();
    auto second = NextResult();
    auto third = NextResult();
    EXPECT_EQ(first.msg, WM_APP_NET_FAILED);
    EXPECT_EQ(first.wp, static_cast<WPARAM>(noisy));
    EXPECT_EQ(second.msg, WM_APP_NET_FAILED);
    EXPECT_EQ(second.wp, 1u);
    EXPECT_EQ(third.msg, WM_APP_NET_DONE);
    EXPECT_EQ(third.wp, 3u);
    EXPECT_EQ(Count(nettest::ServerLog(), "GET /lib/song.php?id=1 "), before);
    EXPECT_FALSE(th::FileExists(cache + served.File(1)));
    EXPECT_TRUE(th::FileExists(cache + served.File(3)));
}

TEST_F(NetTest, FileNamesLeadingOutOfTheCacheAreRefused) {
    std::string log = nettest::ServerLog();
    int id = 10;
    for (const wchar_t* file : {L"..\\evil.mod", L"a\\..\\..\\evil.mod", L"\\evil.mod", L"C:\\evil.mod",
                                L"c:evil.mod", L"a/../../evil.mod", L"a\\. .\\..\\evil.mod"}) {
        SCOPED_TRACE(file);
        EXPECT_FALSE(net->DownloadSong(++id, cache + file));
        th::PumpFor(20);
        EXPECT_EQ(StatusText(), std::wstring(CNet::kUnsafeFileText) + file);
    }
    EXPECT_FALSE(net->DownloadSong(++id, dir.File(L"evil.mod")));  // not below the cache at all
    th::PumpFor(300);
    EXPECT_FALSE(th::FileExists(dir.File(L"evil.mod")));
    EXPECT_FALSE(th::FileExists(cache + L"evil.mod"));
    EXPECT_TRUE(window.NetResults().empty());
    EXPECT_EQ(nettest::ServerLog(), log);
}

TEST_F(NetTest, WithoutDataFolderNothingIsDownloaded) {
    CNet homeless(window.Get(), status.get(), &base, L"");
    EXPECT_FALSE(homeless.DownloadSong(1, served.File(1)));
    EXPECT_FALSE(homeless.DownloadLibrary(L"", 0));
    th::PumpFor(300);
    EXPECT_TRUE(window.NetResults().empty());
    EXPECT_FALSE(th::FileExists(served.File(1)));
}

TEST_F(NetTest, ClosedClientStartsNothing) {
    net->Close();
    EXPECT_FALSE(net->CheckVersion());
    EXPECT_FALSE(net->DownloadLibrary(catalogue, 0));
    EXPECT_FALSE(net->DownloadSong(1, cache + served.File(1)));
    th::PumpFor(200);
    EXPECT_TRUE(window.NetResults().empty());
}

// Answers the library server never gives, from the test's own one-answer server.
class NetAnswerTest : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        base = canned.Url();
        ASSERT_FALSE(base.empty());
    }
    LPARAM VersionFor(const std::string& body) {
        canned.SetResponse(nettest::CannedServer::Ok(body));
        EXPECT_TRUE(net->CheckVersion());
        auto result = NextResult();
        EXPECT_EQ(result.msg, WM_APP_NET_DONE);
        return result.lp;
    }
    nettest::CannedServer canned;
};

TEST_F(NetAnswerTest, VersionAnswersAreReadAsTheProgramReadsThem) {
    EXPECT_EQ(VersionFor("42\n"), 42);
    EXPECT_EQ(VersionFor("  +7 and more"), 7);
    // Negative answers compare as unsigned, so they count as newer than any catalogue.
    LPARAM negative = VersionFor("-5");
    EXPECT_EQ(static_cast<DWORD>(negative), 0xFFFFFFFBu);
    EXPECT_TRUE(CNet::IsNewer(negative, 100000));
    EXPECT_EQ(VersionFor("99999999999999"), 2147483647);
    LPARAM none = VersionFor("<html>not a number</html>");
    EXPECT_EQ(none, 0);
    EXPECT_FALSE(CNet::IsNewer(none, 0));
}

TEST_F(NetAnswerTest, UncompressedSongIsWrittenUnchangedAndErrorPagesAreNot) {
    std::string module = "Extended Module: plain bytes, not gzip data";
    module += std::string(5000, '\x01');
    canned.SetResponse(nettest::CannedServer::Ok(module));
    ASSERT_TRUE(net->DownloadSong(1, cache + L"plain\\song.xm"));
    EXPECT_EQ(NextResult().msg, WM_APP_NET_DONE);
    EXPECT_EQ(th::ReadFileBytes(cache + L"plain\\song.xm"), module);

    // An error page with an exact length is no song, and the old file stays.
    std::string page = "<html>Not here</html>";
    canned.SetResponse("HTTP/1.1 404 Not Found\r\nContent-Length: " + std::to_string(page.size()) +
                       "\r\nConnection: close\r\n\r\n" + page);
    int before = canned.Requests();
    ASSERT_TRUE(net->DownloadSong(2, cache + L"plain\\song.xm"));
    EXPECT_EQ(NextResult().msg, WM_APP_NET_FAILED);
    EXPECT_EQ(canned.Requests() - before, 5);
    EXPECT_EQ(th::ReadFileBytes(cache + L"plain\\song.xm"), module);
}

TEST_F(NetAnswerTest, AnswerThatIsNoCatalogueLeavesTheOldOneAsItWas) {
    ASSERT_TRUE(nettest::WriteCatalogue(catalogue, 3, {{L"a\\mine.mod", 10, 1}}));
    const std::string old = th::ReadFileBytes(catalogue);
    const std::string page = "<html><body>Welcome to the proxy</body></html>";
    // Songs 1 and 3: the second is out of sequence.
    std::string unordered = CatalogueBytes(5, {{L"a\\x.mod", 1, 1}, {L"a\\y.mod", 1, 1}});
    const std::string second = Utf16("<ID>2</ID>");
    unordered.replace(unordered.find(second), second.size(), Utf16("<ID>3</ID>"));
    const struct {
        const char* what;
        std::string body;
    } answers[] = {
        {"an error page sent as a success", page},
        {"a compressed error page", Gzip(page)},
        {"random bytes", std::string("\x13\x9c\xfe\x00\x41\x3c\x00\x7f\xee", 9) + std::string(3000, '\x5a')},
        {"an older catalogue than announced", Gzip(CatalogueBytes(4, {{L"a\\x.mod", 1, 1}}))},
        {"songs out of sequence", Gzip(unordered)},
        {"a catalogue cut inside a song", CatalogueBytes(5, {{L"a\\x.mod", 1, 1}}).substr(0, 300)},
    };
    for (const auto& answer : answers) {
        SCOPED_TRACE(answer.what);
        canned.SetResponse(nettest::CannedServer::Ok(answer.body));
        int before = canned.Requests();
        ASSERT_TRUE(net->DownloadLibrary(catalogue, 5));
        auto result = NextResult();
        EXPECT_EQ(result.msg, WM_APP_NET_FAILED);
        EXPECT_EQ(result.wp, NetRequestParam(NET_REQUEST_LIBRARY));
        EXPECT_EQ(StatusText(), CNet::kNotLibraryText);
        EXPECT_EQ(th::ReadFileBytes(catalogue), old);
        EXPECT_EQ(canned.Requests() - before, 1) << "the server's answer is no better a second time";
    }
    EXPECT_FALSE(HasPartFiles(dir.File(L"")));

    // A catalogue of the announced version or newer takes the old one's place.
    const std::string newer = CatalogueBytes(6, {{L"a\\x.mod", 1, 1}, {L"b\\y.mod", 1, 1}});
    canned.SetResponse(nettest::CannedServer::Ok(Gzip(newer)));
    ASSERT_TRUE(net->DownloadLibrary(catalogue, 5));
    EXPECT_EQ(NextResult().msg, WM_APP_NET_DONE);
    EXPECT_EQ(StatusText(), L"");
    EXPECT_EQ(th::ReadFileBytes(catalogue), newer);
}

// A small body that unpacks to far more than any catalogue or song of that size is refused
// before it fills the disk: the attempt fails as a cut body does.
TEST_F(NetAnswerTest, CatalogueBombFailsAndLeavesNothing) {
    ASSERT_TRUE(nettest::WriteCatalogue(catalogue, 3, {{L"a\\mine.mod", 10, 1}}));
    const std::string old = th::ReadFileBytes(catalogue);
    const std::string bomb = Gzip(std::string(8 << 20, '<'));
    ASSERT_LT(bomb.size() * CNet::kLibraryUnpackRatio, 8u << 20);
    canned.SetResponse(nettest::CannedServer::Ok(bomb));
    int before = canned.Requests();
    ASSERT_TRUE(net->DownloadLibrary(catalogue, 5));
    EXPECT_EQ(NextResult().msg, WM_APP_NET_FAILED);
    EXPECT_EQ(StatusText(), CNet::kErrorText);
    EXPECT_EQ(canned.Requests() - before, 5);
    EXPECT_EQ(th::ReadFileBytes(catalogue), old);
    EXPECT_FALSE(HasPartFiles(dir.File(L"")));
}

// A request stuck in the network outlives the waits of Close; the status bar goes soon after
// Close, so whatever that transfer does later must not reach it.
TEST_F(NetAnswerTest, TransferThatOutlivesCloseReportsToNobody) {
    canned.SetResponse(nettest::CannedServer::Ok("late"));
    canned.Hold(true);
    ASSERT_TRUE(net->DownloadSong(1, cache + L"held.mod"));
    ASSERT_TRUE(th::PumpUntil([&] { return canned.Requests() == 1; }, 10000));
    net->Close();
    th::PumpFor(100);
    const std::wstring shown = StatusText();
    canned.Hold(false);
    ASSERT_TRUE(window.WaitForNetResult(kResultTimeoutMs));
    th::PumpFor(200);
    EXPECT_EQ(StatusText(), shown);
}

TEST(NetUnpack, FailureLeavesTheOldFileAndSuccessReplacesIt) {
    th::TempDir dir;
    const std::wstring target = dir.File(L"deep\\er\\Library.xml");
    std::string good = Gzip(std::string(20000, 'n') + "new catalogue");
    std::string bad = good;
    bad[bad.size() / 2] ^= 0x55;
    bad[bad.size() - 6] ^= 0x55;  // the checksum too
    ASSERT_TRUE(th::WriteFileBytes(dir.File(L"good.gz"), good));
    ASSERT_TRUE(th::WriteFileBytes(dir.File(L"bad.gz"), bad));
    ASSERT_TRUE(th::WriteFileBytes(dir.File(L"cut.gz"), good.substr(0, good.size() / 2)));

    EXPECT_TRUE(CNet::UnpackFile(dir.File(L"good.gz"), target));  // creates its folders
    EXPECT_EQ(th::ReadFileBytes(target), std::string(20000, 'n') + "new catalogue");

    ASSERT_TRUE(th::WriteFileBytes(target, "old catalogue"));
    EXPECT_FALSE(CNet::UnpackFile(dir.File(L"bad.gz"), target));
    EXPECT_FALSE(CNet::UnpackFile(dir.File(L"cut.gz"), target));
    EXPECT_FALSE(CNet::UnpackFile(dir.File(L"missing.gz"), target));
    EXPECT_EQ(th::ReadFileBytes(target), "old catalogue");
    EXPECT_FALSE(HasPartFiles(dir.File(L"deep\\er\\")));
}

TEST(NetUnpack, NoMoreThanTheCapIsUnpacked) {
    th::TempDir dir;
    const std::wstring target = dir.File(L"song.mod");
    ASSERT_TRUE(th::WriteFileBytes(dir.File(L"small.gz"), Gzip(std::string(10000, 's'))));
    EXPECT_TRUE(CNet::UnpackFile(dir.File(L"small.gz"), target, 10000));
    ASSERT_TRUE(th::WriteFileBytes(target, "old song"));
    EXPECT_FALSE(CNet::UnpackFile(dir.File(L"small.gz"), target, 9999));
    EXPECT_EQ(th::ReadFileBytes(target), "old song");

    // A song's cap: one block past it fails and leaves nothing behind.
    ASSERT_TRUE(th::WriteFileBytes(dir.File(L"bomb.gz"), Gzip(std::string(CNet::kSongUnpackLimit + 4096, '\0'))));
    EXPECT_FALSE(CNet::UnpackFile(dir.File(L"bomb.gz"), target));
    EXPECT_EQ(th::ReadFileBytes(target), "old song");
    EXPECT_FALSE(HasPartFiles(dir.File(L"")));
}

}  // namespace
