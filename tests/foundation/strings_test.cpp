// Comparing and folding names without regard to case.
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
