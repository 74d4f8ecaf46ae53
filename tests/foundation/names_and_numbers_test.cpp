// Small text and number helpers: names compared and folded without regard to case, reserved device
// names (the whole name, any case, nothing that merely resembles one), the one hexadecimal
// formatter, and product numbers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/codepage.h"
#include "foundation/hex_digits.h"
#include "foundation/product.h"
#include "foundation/reserved_names.h"
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

TEST(IsReservedDeviceName, WholeNameCaseInsensitive) {
    const std::pair<const char16_t*, bool> cases[] = {
        {u"CON", true},      {u"con", true},    {u"Prn", true},      {u"aux", true},
        {u"NUL", true},      {u"CLOCK$", true}, {u"clock$", true},   {u"COM0", false},
        {u"LPT0", false},    {u"COM10", false}, {u"CON.txt", false}, {u"CON ", false},
        {u" CON", false},    {u"CO", false},    {u"", false},        {u"CLOCK", false},
        {u"CONSOLE", false}, {u"NULL", false},  {u"Sessions", false}};
    for (const auto& [name, reserved] : cases)
        EXPECT_EQ(IsReservedDeviceName(name), reserved) << Utf16ToUtf8(name);
    for (char16_t digit = u'1'; digit <= u'9'; ++digit)
        for (const char16_t* port : {u"COM", u"com", u"LPT", u"lpt"})
            EXPECT_TRUE(IsReservedDeviceName(std::u16string(port) + digit)) << int(digit);
}

TEST(HexFormatter, BytesAndDwordsAsDigits) {
    const std::vector<uint8_t> bytes = {0x00, 0x09, 0x0a, 0x7f, 0x80, 0xa5, 0xff};
    std::string lower = "x";  // appends, keeping what was there
    AppendHex(lower, bytes.data(), bytes.size());
    EXPECT_EQ(lower, "x00090a7f80a5ff");
    std::u16string upper;
    AppendHex(upper, bytes.data(), bytes.size(), true);
    EXPECT_EQ(upper, u"00090A7F80A5FF");

    // Every digit position of a DWORD, against the C library's own "%08x".
    for (const uint32_t value :
         {0u, 1u, 0xau, 0x10u, 0x12345678u, 0x9abcdef0u, 0x80000000u, 0xdeadbeefu, 0xffffffffu}) {
        char expected[9];
        std::snprintf(expected, sizeof expected, "%08x", value);
        EXPECT_EQ(HexDword(value), expected);
        std::u16string wide = u"=";
        AppendHexDword(wide, value);
        EXPECT_EQ(wide, u"=" + std::u16string(expected, expected + 8));
        std::snprintf(expected, sizeof expected, "%08X", value);
        EXPECT_EQ(HexDword(value, true), expected);
    }
}

// The numbers cross module boundaries and are stored, so they are pinned here and every product
// reads back from its own number; a number no product has (the list's old end marker 0, the gaps,
// anything a host passes unchecked) reads as None, which no protocol row belongs to.
TEST(ProductTest, NumbersArePinnedAndStrayNumbersReadAsNone) {
    const std::pair<Product, int> rows[] = {{Product::None, -1},
                                            {Product::Vetra, 1},
                                            {Product::Vetralon, 3},
                                            {Product::Ferrivo, 6},
                                            {Product::Ssh2Only, 7}};
    for (const auto& [product, number] : rows) {
        EXPECT_EQ(ProductId(product), number);
        EXPECT_EQ(ToProduct(number), product) << number;
    }
    for (int number : {0, 2, 5, 8, -2, 12345})
        EXPECT_EQ(ToProduct(number), Product::None) << number;
}
