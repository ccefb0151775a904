#include "library/XMLWriter.h"
#include "library/XMLReader.h"

#include "TestSupport.h"
#include "XmlTestFiles.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Collects the text of every element.
class CTextReader : public CXMLReader {
public:
    std::wstring texts;

protected:
    bool OnElementStart(const wchar_t*) override { return true; }
    bool OnElementEnd(const wchar_t*) override { return true; }
    bool OnText(const wchar_t* text) override {
        if (text[0] != L'\r' && text[0] != 0xFEFF) texts += std::wstring(text) + L"|";
        return true;
    }
    void OnSyntaxError() override { texts += L"!"; }
};

}  // namespace

TEST(XMLWriter, WritesTheFileByteForByte) {
    th::TempDir dir;
    std::wstring path = dir.File(L"out.xml");
    {
        CXMLWriter writer;
        ASSERT_TRUE(writer.Create(path.c_str()));
        writer.WriteElement(L"PLAYLIST", nullptr, false);
        writer.WriteIntElement(L"SORT", 259);
        writer.WriteIntElement(L"ID", -5);
        writer.WriteElement(L"NAME", L"a\"b'c&d<e>f", false);
        writer.WriteElement(L"PLAYLIST", nullptr, true);
        ASSERT_TRUE(writer.Commit());
    }
    EXPECT_EQ(th::XmlFile(L"\r\n<PLAYLIST>\r\n<SORT>259</SORT>\r\n<ID>-5</ID>"
                          L"\r\n<NAME>a&quot;b&apos;c&amp;d&lt;e&gt;f</NAME>\r\n</PLAYLIST>"),
              th::ReadFileBytes(path));
    EXPECT_FALSE(th::FileExists(CXMLWriter::TemporaryPath(path)));
}

TEST(XMLWriter, EscapedTextReadsBackUnchanged) {
    th::TempDir dir;
    std::wstring path = dir.File(L"out.xml");
    const std::wstring text = L"Tom's \"best\" & <worst> &amp; &lt; \x263A";
    CXMLWriter writer;
    ASSERT_TRUE(writer.Create(path.c_str()));
    writer.WriteElement(L"T", text.c_str(), false);
    writer.WriteElement(L"T", std::wstring(100000, L'&').c_str(), false);  // beyond one flush
    ASSERT_TRUE(writer.Commit());
    CTextReader reader;
    ASSERT_TRUE(reader.Open(path.c_str(), 0));
    EXPECT_EQ(text + L"|" + std::wstring(100000, L'&') + L"|", reader.texts);
}

TEST(XMLWriter, EmptyFileHoldsOnlyMarkAndDeclaration) {
    th::TempDir dir;
    std::wstring path = dir.File(L"out.xml");
    CXMLWriter writer;
    ASSERT_TRUE(writer.Create(path.c_str()));
    ASSERT_TRUE(writer.Commit());
    EXPECT_EQ(th::XmlFile(L""), th::ReadFileBytes(path));
    EXPECT_FALSE(writer.Commit());  // nothing open any more
}

TEST(XMLWriter, UnfinishedSaveLeavesTheOldFile) {
    th::TempDir dir;
    std::wstring path = dir.File(L"out.xml");
    th::WriteFileBytes(path, "old");
    {
        CXMLWriter writer;
        ASSERT_TRUE(writer.Create(path.c_str()));
        writer.WriteIntElement(L"ID", 1);
    }  // destroyed without Commit, as when a save is abandoned
    EXPECT_EQ("old", th::ReadFileBytes(path));
    EXPECT_FALSE(th::FileExists(CXMLWriter::TemporaryPath(path)));
}

TEST(XMLWriter, RefusesWhatItCannotCreate) {
    CXMLWriter writer;
    EXPECT_FALSE(writer.Create(L""));
    EXPECT_FALSE(writer.Create(nullptr));
    EXPECT_FALSE(writer.Create(L"Z:\\no\\such\\folder\\out.xml"));
    EXPECT_FALSE(writer.Commit());
}

TEST(XMLWriter, TargetThatCannotBeReplacedIsKept) {
    th::TempDir dir;
    // A folder stands where the file should go.
    std::wstring path = dir.File(L"out.xml");
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    CXMLWriter writer;
    ASSERT_TRUE(writer.Create(path.c_str()));
    writer.WriteIntElement(L"ID", 1);
    EXPECT_FALSE(writer.Commit());
    DWORD attributes = GetFileAttributesW(path.c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_FALSE(th::FileExists(CXMLWriter::TemporaryPath(path)));
}
