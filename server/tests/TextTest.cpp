// Text conversion and clean-up of module texts.
#include <gtest/gtest.h>

#include "Text.h"

using namespace th;

TEST(Text, Utf8DecodesToUtf16WithSurrogatesAndReplacesMalformedBytes) {
    EXPECT_EQ(Utf8ToUtf16("A\xC3\xA9\xE2\x82\xAC"), u"A\u00E9\u20AC");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x8E\xB5"), u"\U0001F3B5");
    EXPECT_EQ(Utf8ToUtf16("a\xE9z"), u"a\uFFFDz");            // Latin-1 byte
    EXPECT_EQ(Utf8ToUtf16("a\xE2\x82"), u"a\uFFFD\uFFFD");      // cut short at the end
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), u"\uFFFD");              // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");          // surrogate
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("x\xF0\x9F\x8E\xB5y")), "x\xF0\x9F\x8E\xB5y");
    EXPECT_TRUE(IsValidUtf8("plain \xEF\xBF\xBD text"));
    EXPECT_FALSE(IsValidUtf8("bad \xFF"));
}

TEST(Text, EscapesTheFiveSpecialCharactersOnly) {
    EXPECT_EQ(XmlEscape(u"a<b>c&d'e\"f"), u"a&lt;b&gt;c&amp;d&apos;e&quot;f");
    EXPECT_EQ(XmlEscape(u"&amp;"), u"&amp;amp;");
    EXPECT_EQ(XmlEscape(u"plain"), u"plain");
}

TEST(Text, ModuleTextsLoseControlCharactersAndPadding) {
    EXPECT_EQ(CleanModuleText("  title\x01with\nbreak   "), "title with break");
    EXPECT_EQ(CleanModuleText(std::string("abc\0\0\0", 6)), "abc");
    EXPECT_EQ(CleanModuleText("   "), "");
}
