#include "TestSupport.h"

#include "app/Globals.h"

#include <gtest/gtest.h>

namespace {

struct DataFoldersTest : ::testing::Test {
    void TearDown() override { SetDataFolders(L""); }
};

}  // namespace

TEST_F(DataFoldersTest, PathsAreBuiltBelowTheApplicationDataFolderAndItIsCreated) {
    th::TempDir appData;  // ends with a backslash: no second one is added
    SetDataFolders(appData.Path());
    EXPECT_TRUE(HasDataFolder());
    EXPECT_EQ(dataFolder, appData.Path() + L"tunehaven\\");
    EXPECT_EQ(cacheFolder, appData.Path() + L"tunehaven\\modules\\");
    EXPECT_EQ(libraryPath, appData.Path() + L"tunehaven\\Library.xml");
    DWORD attributes = GetFileAttributesW(dataFolder.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(th::FileExists(cacheFolder));  // made with the first song file

    std::wstring noSlash = appData.Path().substr(0, appData.Path().size() - 1);
    SetDataFolders(noSlash);  // an existing data folder is fine
    EXPECT_EQ(dataFolder, appData.Path() + L"tunehaven\\");
}

TEST_F(DataFoldersTest, UnknownApplicationDataFolderLeavesEveryPathEmpty) {
    th::TempDir appData, current;
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(current.Path().c_str());
    SetDataFolders(appData.Path());
    SetDataFolders(L"");
    SetCurrentDirectoryW(previous);
    EXPECT_FALSE(HasDataFolder());
    EXPECT_TRUE(dataFolder.empty());
    EXPECT_TRUE(cacheFolder.empty());
    EXPECT_TRUE(libraryPath.empty());
    // Nothing is made relative to the current directory instead.
    EXPECT_FALSE(th::FileExists(current.File(L"tunehaven")));
}

TEST_F(DataFoldersTest, ShellFolderOfTheTestPrefixIsUsed) {
    ASSERT_TRUE(InitDataFolders());
    EXPECT_EQ(dataFolder.substr(dataFolder.size() - 11), L"\\tunehaven\\");
    EXPECT_EQ(libraryPath, dataFolder + L"Library.xml");
}
