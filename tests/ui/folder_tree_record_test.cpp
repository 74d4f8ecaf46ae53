// The "FolderTree" record byte for byte: field offsets, UTF-16LE strings, length limits, and
// refusal of records that do not hold two terminated strings.
#include <gtest/gtest.h>

#include <vector>

#include "ui/model/folder_tree_record.h"

using namespace sessiondeck;

namespace {

TEST(FolderTreeRecordBytes, LayoutIsLittleEndianWithFixedOffsets) {
    FolderTreeRecord record{0x01020304, u"F\\s\u00e9", u"F", true};
    const auto bytes = record.Encode();
    ASSERT_TRUE(bytes);
    std::vector<uint8_t> expected(1048, 0);
    const uint8_t head[] = {4, 3, 2, 1, 'F', 0, '\\', 0, 's', 0, 0xE9, 0};
    std::copy(std::begin(head), std::end(head), expected.begin());
    expected[524] = 'F';
    expected[1044] = 1;
    EXPECT_EQ(std::vector<uint8_t>(bytes->begin(), bytes->end()), expected);

    record.move = false;
    EXPECT_EQ((*record.Encode())[1044], 0);
    const auto back = FolderTreeRecord::Decode(*bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->sourceNode, 0x01020304u);
    EXPECT_EQ(back->sourcePath, u"F\\s\u00e9");
    EXPECT_EQ(back->second, u"F");
    EXPECT_TRUE(back->move);
}

TEST(FolderTreeRecordBytes, StringLimitsAndMalformedRecords) {
    // 259 code units and the terminator fill a field exactly; 260 do not fit.
    const VUnicodeString longest(std::u16string(259, u'x')), tooLong(std::u16string(260, u'x'));
    const auto fits = FolderTreeRecord{7, longest, u"", false}.Encode();
    ASSERT_TRUE(fits);
    EXPECT_EQ(FolderTreeRecord::Decode(*fits)->sourcePath.Length(), 259u);
    EXPECT_FALSE((FolderTreeRecord{7, tooLong, u"", false}.Encode()));
    EXPECT_FALSE((FolderTreeRecord{7, u"a", tooLong, false}.Encode()));
    EXPECT_FALSE((FolderTreeRecord{7, std::u16string(u"a\0b", 3), u"", false}.Encode()));

    auto bytes = *fits;
    EXPECT_FALSE(FolderTreeRecord::Decode(std::span(bytes.data(), 1047))) << "short";
    std::vector<uint8_t> longer(bytes.begin(), bytes.end());
    longer.push_back(0);
    EXPECT_FALSE(FolderTreeRecord::Decode(longer)) << "long";
    // A string field with no terminator inside its 520 bytes is refused rather than read on.
    bytes[4 + 2 * 259] = 'x';
    EXPECT_FALSE(FolderTreeRecord::Decode(bytes));
    auto second = *fits;
    for (size_t i = 524; i < 1044; i += 2) second[i] = 'y';
    EXPECT_FALSE(FolderTreeRecord::Decode(second));
}

}  // namespace
