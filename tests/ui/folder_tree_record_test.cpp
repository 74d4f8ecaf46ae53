// The "FolderTree" record byte for byte: field offsets, UTF-16LE strings, length limits, and
// refusal of records that do not hold two terminated strings.
#include <gtest/gtest.h>

#include <vector>

#include "support/test_bytes.h"
#include "ui/model/folder_tree_record.h"

using namespace sessiondeck;

namespace {

TEST(FolderTreeRecordBytes, LayoutIsLittleEndianWithFixedOffsets) {
    FolderTreeRecord record{0x01020304, u"F\\s\u00e9", u"F", true};
    const auto bytes = record.Encode();
    ASSERT_TRUE(bytes);
    // The node, the source path from byte 4 and the second string from byte 524 (520 bytes
    // each), the move flag at 1044.
    EXPECT_EQ(Hex(bytes->data(), bytes->size()), "0403020146005c007300e900" + Repeat("00", 512) +
                                                     "4600" + Repeat("00", 518) + "01000000");

    record.move = false;
    EXPECT_EQ((*record.Encode())[1044], 0);
    const auto back = FolderTreeRecord::Decode(*bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->sourceNode, 0x01020304u);
    EXPECT_EQ(back->sourcePath.str() + u"|" + back->second.str(), u"F\\s\u00e9|F");
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
