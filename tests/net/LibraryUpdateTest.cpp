#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "NetTestSupport.h"
#include "TestSupport.h"
#include "app/Globals.h"
#include "app/MainWindow.h"
#include "app/Settings.h"
#include "library/Library.h"
#include "ui/tree/WndTree.h"

namespace {

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// The main window asks the server for its version as it opens and fetches a newer catalogue.
class LibraryUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::wstring url = nettest::ServerUrl();
        ASSERT_FALSE(url.empty()) << "the suite's library servers are not running";
        th::StartWithEmptySettings();
        ASSERT_TRUE(th::WriteSettingString(L"server", url));
        SetDataFolders(appData.Path());
        local = libraryPath;
        ASSERT_FALSE(local.empty());
    }
    void TearDown() override {
        if (window && IsWindow(window)) {
            SendMessageW(window, WM_CLOSE, 0, 0);
            th::PumpUntil([&] { return !IsWindow(window); }, 10000);
        }
        th::DropQuitMessage();
        SetDataFolders(L"");
        th::ClearSettingsKey();
    }
    void Open() {
        if (!hInstance) hInstance = GetModuleHandleW(nullptr);
        LoadSettings();
        CMainWindow::RegisterWindowClass(hInstance);
        window = CMainWindow::Create(hInstance);
        ASSERT_TRUE(window);
    }
    std::string Log() const { return nettest::ServerLog(); }

    th::TempDir appData;
    std::wstring served = nettest::ServedLibrary() + L"Library.xml";
    std::wstring local;
    HWND window = nullptr;
};

TEST_F(LibraryUpdateTest, OlderCatalogueIsReplacedAtStart) {
    ASSERT_TRUE(nettest::WriteCatalogue(local, 0, {{L"a\\old.mod", 10, 1}}));
    size_t before = Count(Log(), "GET /lib/library.php");
    Open();
    // The tree is built once the new catalogue is in place. Reading the file while it is
    // being replaced would make the replacement fail and the download start again.
    CMainWindow* hub = CMainWindow::FromHandle(window);
    ASSERT_NE(hub, nullptr);
    EXPECT_TRUE(th::PumpUntil([&] { return hub->GetTree() && hub->GetTree()->IsReady(); }, 20000));
    th::PumpFor(200);
    EXPECT_EQ(th::ReadFileBytes(local), th::ReadFileBytes(served));
    EXPECT_EQ(Count(Log(), "GET /lib/library.php") - before, 1u);
}

TEST_F(LibraryUpdateTest, CurrentCatalogueIsKept) {
    CLibrary server(served);
    ASSERT_TRUE(nettest::WriteCatalogue(local, server.GetVersion(true), {{L"a\\mine.mod", 10, 1}}));
    const std::string mine = th::ReadFileBytes(local);
    size_t checks = Count(Log(), "GET /lib/version.php");
    size_t downloads = Count(Log(), "GET /lib/library.php");
    Open();
    EXPECT_TRUE(th::PumpUntil([&] { return Count(Log(), "GET /lib/version.php") > checks; }, 20000));
    th::PumpFor(500);
    EXPECT_EQ(Count(Log(), "GET /lib/library.php"), downloads);
    EXPECT_EQ(th::ReadFileBytes(local), mine);
}

}  // namespace
