// The one hexadecimal formatter: digits of bytes and of DWORDs, both cases, both string types.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "foundation/hex_digits.h"

using namespace sessiondeck;

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
