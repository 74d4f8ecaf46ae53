// Strings and code-page conversions.
#include <gtest/gtest.h>

#include "foundation/codepage.h"
#include "foundation/unicode_string.h"

using namespace sessiondeck;

TEST(CompareNoCase, CommonLengthThenShorterFirst) {
    EXPECT_EQ(CompareNoCase(u"abc", u"ABC"), 0);
    EXPECT_LT(CompareNoCase(u"ab", u"ABC"), 0);
    EXPECT_GT(CompareNoCase(u"abd", u"ABC"), 0);
    // Common length decides before length does.
    EXPECT_GT(CompareNoCase(u"b", u"AZZZ"), 0);
    EXPECT_EQ(CompareNoCase(u"\u00C4rger", u"\u00E4RGER"), 0);
    EXPECT_NE(VUnicodeString(u"Host"), VUnicodeString(u"host"));
    EXPECT_TRUE(VUnicodeString(u"Host").EqualsNoCase(u"hOST"));

    // Folded forms, compared exactly, order and match as CompareNoCase does
    // (what an index over folded names relies on), surrogates left alone.
    const std::u16string words[] = {u"b",          u"AZZZ", u"\u00C4rger",
                                    u"\u00E4RGER", u"_x",   u"\U0001F600"};
    for (const auto& a : words) {
        for (const auto& b : words) {
            const int folded = FoldNoCase(a).compare(FoldNoCase(b));
            EXPECT_EQ((folded > 0) - (folded < 0), CompareNoCase(a, b));
        }
    }
    EXPECT_EQ(FoldNoCase(u"\U0001F600"), u"\U0001F600");
}

TEST(CodePage, Windows1252AndUtf8RoundTrips) {
    // 0x80 is the euro sign in Windows-1252, not a C1 control.
    EXPECT_EQ(AnsiToUtf16("\x80 caf\xe9"), u"\u20AC caf\u00E9");
    EXPECT_EQ(Utf16ToAnsi(u"\u20AC caf\u00E9"), "\x80 caf\xe9");
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82\xAC"), u"\u20AC");
    EXPECT_EQ(Utf16ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    // Malformed UTF-8 is replaced, never dropped silently or read past.
    EXPECT_EQ(Utf8ToUtf16("a\xFF"
                          "b"),
              u"a\uFFFDb");
    EXPECT_EQ(Utf16BytesToUtf16(std::string("\x00\x41\x00", 3), true), u"A");
}
