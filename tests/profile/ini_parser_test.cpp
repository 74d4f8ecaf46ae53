// Value-file reading as a table: file bytes in, the values read and where reading stopped out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/codepage.h"
#include "profile/ini_store_private.h"
#include "support/test_bytes.h"

using namespace sessiondeck;

namespace {

// Each value as one line: kind letter, name, then its content (DWORD in eight
// lower-case digits, binary as hex, array elements joined by "|").
std::vector<std::string> Render(const VIniFileKey::Map& map) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < map.GetSize(); ++i) {
        if (!map.Exists(i)) continue;
        std::string line = " " + Utf16ToUtf8(map.GetName(i)) + " ";
        uint32_t dword = 0;
        VUnicodeString text;
        VStringArray array;
        uint32_t size = 0;
        if (map.GetDword(i, dword)) {
            const uint8_t big[] = {uint8_t(dword >> 24), uint8_t(dword >> 16), uint8_t(dword >> 8),
                                   uint8_t(dword)};
            line = "D" + line + Hex(big, 4);
        } else if (map.GetString(i, text)) {
            line = "S" + line + text.ToUtf8();
        } else if (map.GetStringArray(i, array)) {
            line = "Z" + line;
            for (size_t i = 0; i < array.GetSize(); ++i) line += (i ? "|" : "") + array[i].ToUtf8();
        } else if (map.GetBinary(i, nullptr, size)) {
            std::vector<uint8_t> bytes(size + 1);
            map.GetBinary(i, bytes.data(), size);
            line = "B" + line + Hex(bytes.data(), size);
        }
        lines.push_back(line);
    }
    return lines;
}

std::string Utf16File(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t c : text) {
        const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
        bytes += bigEndian ? high : low;
        bytes += bigEndian ? low : high;
    }
    return bytes;
}

struct ParseRow {
    const char* what;
    std::string file;
    std::vector<std::string> values;
    VIniStop stop = VIniStop::EndOfFile;
    size_t line = 0;  // header line of the value not taken; 0 when all was read
};

const std::string kBom = "\xEF\xBB\xBF";
const std::string kGood = "D:\"ok\"=00000001\r\n";

const std::vector<ParseRow>& Rows() {
    using S = VIniStop;
    static const std::vector<ParseRow> rows = {
        // Encodings and line ends.
        {"utf8 example",
         kBom + "D:\"Port\"=00000016\r\nS:\"Hostname\"=server1\r\nZ:\"Sel\"=00000002\r\n first\r\n "
                "second\r\n",
         {"D Port 00000016", "S Hostname server1", "Z Sel first|second"}},
        {"utf16 le",
         Utf16File(u"S:\"N\u00e9\"=caf\u00e9\r\nD:\"d\"=0000000a", false),
         {"S N\xC3\xA9 caf\xC3\xA9", "D d 0000000a"}},
        {"utf16 le odd trailing byte dropped", Utf16File(u"S:\"N\"=x", false) + "\x41", {"S N x"}},
        {"utf16 be", Utf16File(u"S:\"N\"=\u20ac\nS:\"M\"=", true), {"S N \xE2\x82\xAC", "S M "}},
        {"utf16 lone surrogates read as U+FFFD, merging the names they made differ",
         Utf16File(std::u16string(u"S:\"\xD800\"=x\r\nS:\"\xDBFF\"=y\r\nS:\"v\"=\xDC00\U0001F600"),
                   false),
         {"S \xEF\xBF\xBD y", "S v \xEF\xBF\xBD\xF0\x9F\x98\x80"}},
        {"windows-1252 without mark",
         "S:\"Euro\"=\x80 caf\xe9\n",
         {"S Euro \xE2\x82\xAC caf\xC3\xA9"}},
        {"utf8 names, broken sequences",
         kBom + "S:\"N\xC3\xA9\"=\xE2\x82\xAC\r\nS:\"a\xC3\"=b\xF0\x9F\r\n" + kGood,
         {"S N\xC3\xA9 \xE2\x82\xAC", "S a\xEF\xBF\xBD b\xEF\xBF\xBD", "D ok 00000001"}},
        {"utf8 without mark is read as 1252", "S:\"N\"=\xC3\xA9", {"S N \xC3\x83\xC2\xA9"}},
        {"CR, LF and CR LF line ends",
         "D:\"a\"=00000001\rD:\"b\"=00000002\nD:\"c\"=00000003\r\n",
         {"D a 00000001", "D b 00000002", "D c 00000003"}},
        {"empty file", "", {}},
        {"mark only", kBom, {}},
        // Headers.
        {"upper-case digits", "D:\"m\"=FFFFFFFF", {"D m ffffffff"}},
        {"dword of 7 digits",
         kGood + "D:\"x\"=0000001\r\n" + kGood,
         {"D ok 00000001"},
         S::BadCount,
         2},
        {"dword of 9 digits", kGood + "D:\"x\"=000000001\r\n", {"D ok 00000001"}, S::BadCount, 2},
        {"trailing space makes 9", "D:\"x\"=00000001 \r\n", {}, S::BadCount, 1},
        {"non-hex digit", "D:\"x\"=0000000g\r\n", {}, S::BadCount, 1},
        {"lower-case type letter",
         kGood + "d:\"x\"=00000001\r\n",
         {"D ok 00000001"},
         S::UnknownType,
         2},
        {"unknown type letter", "X:\"x\"=1\r\n", {}, S::UnknownType, 1},
        {"blank line ends reading", "S:\"a\"=x\r\n\r\n" + kGood, {"S a x"}, S::MalformedLine, 2},
        {"comment line ends reading", "; comment\r\n" + kGood, {}, S::MalformedLine, 1},
        {"four characters", "S:\"\"", {}, S::MalformedLine, 1},
        {"no colon", "S;\"a\"=x", {}, S::MalformedLine, 1},
        {"no quote at 2", "S: \"a\"=x", {}, S::MalformedLine, 1},
        {"name never closed", "S:\"abc=def", {}, S::NoClosingQuote, 1},
        {"quote not followed by =", "S:\"a\"b\"=c", {}, S::NoEquals, 1},
        {"quote at end of line", "S:\"abc\"", {}, S::NoEquals, 1},
        {"= inside the name", "S:\"a=b\"=c", {"S a=b c"}},
        {"string rest verbatim", "S:\"s\"= \"x\"= \t", {"S s  \"x\"= \t"}},
        {"empty name discarded, reading on",
         "S:\"\"=x\r\nZ:\"\"=00000001\r\n y\r\n" + kGood,
         {"D ok 00000001"}},
        {"duplicate replaces in the first place",
         "D:\"a\"=00000001\r\nD:\"b\"=00000002\r\nS:\"a\"=x\r\n",
         {"S a x", "D b 00000002"}},
        {"names are case-sensitive",
         "D:\"a\"=00000001\r\nD:\"A\"=00000002\r\n",
         {"D a 00000001", "D A 00000002"}},
        // Binary values.
        {"binary 33 bytes over two lines",
         "B:\"b\"=00000021\r\n" + Repeat(" 0f", 32) + "\r\n ff\r\n" + kGood,
         {"B b " + Repeat("0f", 32) + "ff", "D ok 00000001"}},
        {"binary white space skipped",
         "B:\"b\"=00000003\r\n0a\t0B  \r\n\r\n0c\r\n",
         {"B b 0a0b0c"}},
        {"binary rest of line ignored",
         "B:\"b\"=00000002\r\n 01 02 zz\r\n" + kGood,
         {"B b 0102", "D ok 00000001"}},
        {"binary of zero bytes has no lines",
         "B:\"b\"=00000000\r\n" + kGood,
         {"B b ", "D ok 00000001"}},
        {"binary line ends inside a pair",
         kGood + "B:\"b\"=00000002\r\n 01 0\r\n2\r\n",
         {"D ok 00000001"},
         S::BinaryOddDigit,
         2},
        {"binary bad digit", "B:\"b\"=00000001\r\n 0x\r\n", {}, S::BinaryBadDigit, 1},
        {"binary pair split by a space", "B:\"b\"=00000001\r\n 0 1\r\n", {}, S::BinaryBadDigit, 1},
        {"binary file ends early", "B:\"b\"=00000003\r\n 01 02\r\n", {}, S::BinaryEndOfFile, 1},
        {"binary huge count", "B:\"b\"=FFFFFFFF\r\n 01\r\n", {}, S::BinaryEndOfFile, 1},
        {"binary count of 7 digits", "B:\"b\"=0000001\r\n 01\r\n", {}, S::BadCount, 1},
        // String arrays.
        {"array elements keep spaces, empty element",
         "Z:\"z\"=00000003\r\n \r\n  two \r\n D:\"x\"=00000001\r\n",
         {"Z z | two |D:\"x\"=00000001"}},
        {"array of zero elements", "Z:\"z\"=00000000\r\n" + kGood, {"Z z ", "D ok 00000001"}},
        {"array line without leading space",
         kGood + "Z:\"z\"=00000002\r\n a\r\nb\r\n",
         {"D ok 00000001"},
         S::ArrayNoLeadingSpace,
         2},
        {"array empty line", "Z:\"z\"=00000001\r\n\r\n", {}, S::ArrayNoLeadingSpace, 1},
        {"array file ends early", "Z:\"z\"=00000002\r\n a\r\n", {}, S::ArrayEndOfFile, 1},
        {"array huge count", "Z:\"z\"=FFFFFFFF\r\n a\r\n", {}, S::ArrayEndOfFile, 1},
        {"array count not hex", "Z:\"z\"=0000000x\r\n a\r\n", {}, S::BadCount, 1},
    };
    return rows;
}

}  // namespace

TEST(IniParser, ReadsValuesAndStopsWhereTheFileStopsMakingSense) {
    for (const ParseRow& row : Rows()) {
        SCOPED_TRACE(row.what);
        VIniFileKey::Map map;
        const VIniParseResult result = VIniFileKey::ParseValueFile(row.file, map);
        EXPECT_EQ(Render(map), row.values);
        EXPECT_EQ(result.stop, row.stop);
        EXPECT_EQ(result.line, row.line);

        // What was read is written (in UTF-8, string arrays last) so that
        // it reads back the same.
        VIniFileKey::Map back;
        EXPECT_EQ(VIniFileKey::ParseValueFile(VIniFileKey::BuildValueFile(map), back).stop,
                  VIniStop::EndOfFile);
        std::vector<std::string> expected = row.values, written = Render(back);
        std::sort(expected.begin(), expected.end());
        std::sort(written.begin(), written.end());
        EXPECT_EQ(written, expected);
    }
}

TEST(IniParser, ManyValuesKeepTheirPlacesAndLookupsThroughGrowth) {
    // Enough names to grow the lookup table several times; every third name
    // comes back later with a new value, which must land in its first place.
    std::string file;
    char line[64];
    for (int i = 0; i < 3000; ++i) {
        std::snprintf(line, sizeof line, "D:\"value %d\"=%08x\r\n", i, i);
        file += line;
    }
    for (int i = 0; i < 3000; i += 3) {
        std::snprintf(line, sizeof line, "D:\"value %d\"=%08x\r\n", i, i + 100000);
        file += line;
    }
    VIniFileKey::Map map;
    ASSERT_EQ(VIniFileKey::ParseValueFile(file, map).stop, VIniStop::EndOfFile);
    ASSERT_EQ(map.GetSize(), 3000u);
    for (int i = 0; i < 3000; ++i) {
        const std::string name = "value " + std::to_string(i);
        const std::optional<size_t> index = map.Find(std::u16string(name.begin(), name.end()));
        ASSERT_TRUE(index) << name;
        EXPECT_EQ(*index, static_cast<size_t>(i)) << name;
        uint32_t value = 0;
        ASSERT_TRUE(map.GetDword(*index, value));
        EXPECT_EQ(value, static_cast<uint32_t>(i % 3 == 0 ? i + 100000 : i)) << name;
    }
    // Out of order, after a miss, and from the end backwards.
    EXPECT_FALSE(map.Find(u"value 3000"));
    EXPECT_FALSE(map.Find(u"Value 1"));
    for (int i = 2999; i >= 0; i -= 7) {
        const std::string name = "value " + std::to_string(i);
        EXPECT_EQ(map.Find(std::u16string(name.begin(), name.end())), static_cast<size_t>(i));
    }
}
