// Value-file reading as a table (tests/golden/profile/value-file-parsing.txt): file bytes in, the
// values read and where reading stopped out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "foundation/codepage.h"
#include "foundation/hex_digits.h"
#include "profile/ini_store_private.h"
#include "support/case_file.h"
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
            line = "D" + line + HexDword(dword);
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

// The answer of one case-file line: the values read, where reading stopped, and (checked here)
// that what was read is written, in UTF-8 with string arrays last, so that it reads back the same.
std::string ReadValueFile(const std::string& file) {
    VIniFileKey::Map map, back;
    const VIniParseResult result = VIniFileKey::ParseValueFile(file, map);
    EXPECT_EQ(VIniFileKey::ParseValueFile(VIniFileKey::BuildValueFile(map), back).stop,
              VIniStop::EndOfFile);
    std::vector<std::string> values = Render(map), written = Render(back), sorted = values;
    std::sort(sorted.begin(), sorted.end());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, sorted) << EscapeCaseField(file);
    std::string answer;
    for (const std::string& value : values) answer += value + " ; ";
    return answer + "[" + std::to_string(result.line) + ": " + DescribeIniStop(result.stop) + "]";
}

}  // namespace

// Fields: what the case shows, the file's bytes; answer: the values and where reading stopped.
TEST(IniParser, ReadsValuesAndStopsWhereTheFileStopsMakingSense) {
    ExpectCaseFile("profile/value-file-parsing.txt",
                   [](const std::vector<std::string>& fields) { return ReadValueFile(fields[1]); });
}

TEST(IniParser, ManyValuesKeepTheirPlacesAndLookupsThroughGrowth) {
    // Enough names to grow the lookup table several times; every third name comes back later
    // with a new value, which must land in its first place.
    std::string file;
    char line[64];
    for (int i = 0; i < 4000; ++i) {
        const int n = i < 3000 ? i : (i - 3000) * 3;
        std::snprintf(line, sizeof line, "D:\"value %d\"=%08x\r\n", n, i < 3000 ? n : n + 100000);
        file += line;
    }
    VIniFileKey::Map map;
    ASSERT_EQ(VIniFileKey::ParseValueFile(file, map).stop, VIniStop::EndOfFile);
    ASSERT_EQ(map.GetSize(), 3000u);
    // From the end backwards, then misses by number and by case.
    for (int i = 2999; i >= 0; --i) {
        const std::optional<size_t> index = map.Find(Utf8ToUtf16("value " + std::to_string(i)));
        uint32_t value = 0;
        ASSERT_TRUE(index && map.GetDword(*index, value)) << i;
        EXPECT_EQ(*index, static_cast<size_t>(i));
        EXPECT_EQ(value, static_cast<uint32_t>(i % 3 ? i : i + 100000)) << i;
    }
    EXPECT_FALSE(map.Find(u"value 3000"));
    EXPECT_FALSE(map.Find(u"Value 1"));
}
