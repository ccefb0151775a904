#include "library/XMLReader.h"

#include "TestSupport.h"
#include "XmlTestFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records every event as one line: "<name", "</name", "text" in quotes, "!" for a syntax
// error; stops the parse at the event numbered stopAt when it is set.
class CRecorder : public CXMLReader {
public:
    std::vector<std::wstring> events;
    size_t stopAt = SIZE_MAX;

protected:
    bool OnElementStart(const wchar_t* name) override { return Record(L"<" + std::wstring(name)); }
    bool OnElementEnd(const wchar_t* name) override { return Record(L"</" + std::wstring(name)); }
    bool OnText(const wchar_t* text) override { return Record(L"\"" + std::wstring(text) + L"\""); }
    void OnSyntaxError() override { events.push_back(L"!"); }

private:
    bool Record(std::wstring event) {
        events.push_back(std::move(event));
        return events.size() != stopAt;
    }
};

using Events = std::vector<std::wstring>;

Events ParseWhole(const std::string& bytes, bool* parsed = nullptr) {
    th::TempDir dir;
    std::wstring path = dir.File(L"x.xml");
    th::WriteFileBytes(path, bytes);
    CRecorder reader;
    bool opened = reader.Open(path.c_str(), 0);
    if (parsed) *parsed = opened;
    return reader.events;
}

Events ParseText(const std::wstring& text) {
    return ParseWhole(th::Utf16Bytes(text));
}

}  // namespace

TEST(XMLReader, DeliversTagsAndTextAsTheyStand) {
    Events events = ParseWhole(th::XmlFile(L"\r\n<Root><A x=\"1\">t e</A><B/>\r\n<C></C></Root>tail"));
    Events expected = {L"\"\xFEFF\"", L"<?xml version=\"1.0\" encoding=\"UTF-16\"?", L"\"\r\n\"",
                       L"<Root", L"<A x=\"1\"", L"\"t e\"", L"</A", L"<B/", L"\"\r\n\"",
                       L"<C", L"</C", L"</Root"};
    EXPECT_EQ(expected, events);  // no text event between adjacent tags, no tail
}

TEST(XMLReader, DecodesEachEntityOnceWithAmpersandLast) {
    EXPECT_EQ(Events({L"<a", L"\"&lt;\"", L"</a"}), ParseText(L"<a>&amp;lt;</a>"));
    EXPECT_EQ(Events({L"<a", L"\"&amp;\"", L"</a"}), ParseText(L"<a>&amp;amp;</a>"));
    EXPECT_EQ(Events({L"<a", L"\"&#65;&#x42;&nbsp;\"", L"</a"}), ParseText(L"<a>&#65;&#x42;&nbsp;</a>"));
    EXPECT_EQ(Events({L"<a", L"\"x<>'\"&y\"", L"</a"}),
              ParseText(L"<a>x&lt;&gt;&apos;&quot;&amp;y</a>"));
    EXPECT_EQ(Events({L"<a", L"\"&&lt;;\"", L"</a"}), ParseText(L"<a>&&amp;lt;;</a>"));
    // Tags are not decoded.
    EXPECT_EQ(Events({L"<a&amp;"}), ParseText(L"<a&amp;>"));
}

TEST(XMLReader, SyntaxErrorsStopAtTheOffendingCharacter) {
    EXPECT_EQ(Events({L"<a", L"\"t\"", L"!"}), ParseText(L"<a>t<b<c>d</c>"));
    EXPECT_EQ(Events({L"!"}), ParseText(L"text> <a>"));
    EXPECT_EQ(Events({L"<a", L"!"}), ParseText(L"<a><><b>"));
}

TEST(XMLReader, UnfinishedTokensAndOddBytesAreDropped) {
    // Only the byte-order mark: its text is never closed by a tag.
    EXPECT_TRUE(ParseWhole(th::Utf16Bytes(L"\xFEFF")).empty());
    EXPECT_EQ(Events({L"<a"}), ParseText(L"<a>text"));
    EXPECT_EQ(Events({L"<a"}), ParseText(L"<a><b"));
    // The last '>' has only its low byte in the file.
    std::string bytes = th::Utf16Bytes(L"<a></a") + ">";
    EXPECT_EQ(Events({L"<a"}), ParseWhole(bytes));
}

TEST(XMLReader, MissingFileDeliversNothing) {
    CRecorder reader;
    EXPECT_FALSE(reader.Open(L"Z:\\no\\such\\folder\\x.xml", 0));
    EXPECT_FALSE(reader.Open(L"", 0));
    EXPECT_FALSE(reader.ParseStep());
    EXPECT_TRUE(reader.events.empty());
}

TEST(XMLReader, WholeFileOpenSucceedsEvenWhenAHandlerStops) {
    th::TempDir dir;
    std::wstring path = dir.File(L"x.xml");
    th::WriteFileBytes(path, th::Utf16Bytes(L"<a><b><c>"));
    CRecorder reader;
    reader.stopAt = 2;
    EXPECT_TRUE(reader.Open(path.c_str(), 0));
    EXPECT_EQ(Events({L"<a", L"<b"}), reader.events);
    EXPECT_FALSE(reader.ParseStep());  // the file is closed after a whole-file parse
}

TEST(XMLReader, StepwiseReadsExactlyTheBudget) {
    th::TempDir dir;
    std::wstring path = dir.File(L"x.xml");
    th::WriteFileBytes(path, th::Utf16Bytes(L"<a>xy</a>!"));  // 10 characters
    CRecorder reader;
    ASSERT_TRUE(reader.Open(path.c_str(), 5));
    EXPECT_TRUE(reader.ParseStep());
    EXPECT_EQ(50, reader.GetProgress());
    EXPECT_EQ(Events({L"<a"}), reader.events);
    EXPECT_TRUE(reader.ParseStep());  // a file of exactly twice the budget: the end needs
    EXPECT_EQ(100, reader.GetProgress());
    EXPECT_FALSE(reader.ParseStep());  // one more step that reads nothing
    EXPECT_EQ(100, reader.GetProgress());
    EXPECT_EQ(Events({L"<a", L"\"xy\"", L"</a"}), reader.events);
    EXPECT_FALSE(reader.ParseStep());
}

TEST(XMLReader, StepwiseStopsOnSyntaxErrorAndHandlerStop) {
    th::TempDir dir;
    std::wstring path = dir.File(L"x.xml");
    th::WriteFileBytes(path, th::Utf16Bytes(L"<a>>rest of the file"));
    CRecorder reader;
    ASSERT_TRUE(reader.Open(path.c_str(), 100));
    EXPECT_FALSE(reader.ParseStep());
    EXPECT_EQ(Events({L"<a", L"!"}), reader.events);

    th::WriteFileBytes(path, th::Utf16Bytes(L"<a><b><c>"));
    CRecorder stopping;
    stopping.stopAt = 1;
    ASSERT_TRUE(stopping.Open(path.c_str(), 100));
    EXPECT_FALSE(stopping.ParseStep());
    EXPECT_EQ(Events({L"<a"}), stopping.events);
}

TEST(XMLReader, LargeFilesGiveTheSameEventsInStepsAsWhole) {
    // Tokens longer than the token buffer's first allocation, and many small ones, so that
    // tokens cross the step boundaries and the read-ahead of the file.
    std::wstring body = L"<big>" + std::wstring(70000, L'x') + L"&amp;</big>";
    for (int i = 0; i < 40000; ++i) body += L"<ID>" + std::to_wstring(i) + L"</ID>\r\n";
    std::string bytes = th::XmlFile(body + L"<end>");
    th::TempDir dir;
    std::wstring path = dir.File(L"x.xml");
    th::WriteFileBytes(path, bytes);

    CRecorder whole;
    ASSERT_TRUE(whole.Open(path.c_str(), 0));
    CRecorder stepped;
    ASSERT_TRUE(stepped.Open(path.c_str(), 4093));
    int steps = 0, lastProgress = -1;
    bool progressRises = true;
    while (stepped.ParseStep()) {
        ++steps;
        int progress = stepped.GetProgress();
        progressRises = progressRises && progress >= lastProgress && progress <= 100;
        lastProgress = progress;
    }
    EXPECT_TRUE(progressRises);
    EXPECT_EQ(static_cast<int>(bytes.size() / 2 / 4093), steps);
    ASSERT_EQ(whole.events.size(), stepped.events.size());
    EXPECT_EQ(whole.events, stepped.events);
    EXPECT_EQ(L"\"" + std::wstring(70000, L'x') + L"&\"", whole.events[3]);
    EXPECT_EQ(L"<end", whole.events.back());
}

TEST(XMLReader, OneReaderParsesFilesOneAfterAnother) {
    th::TempDir dir;
    std::wstring first = dir.File(L"1.xml"), second = dir.File(L"2.xml");
    th::WriteFileBytes(first, th::Utf16Bytes(L"<a>unfinished text"));
    th::WriteFileBytes(second, th::Utf16Bytes(L"x<b>"));
    CRecorder reader;
    ASSERT_TRUE(reader.Open(first.c_str(), 0));
    ASSERT_TRUE(reader.Open(second.c_str(), 0));
    // Nothing of the first file's unfinished token leaks into the second.
    EXPECT_EQ(Events({L"<a", L"\"x\"", L"<b"}), reader.events);
}
