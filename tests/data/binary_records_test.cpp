// Records stored as binary values: pinned bytes and byte-exact round trips.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/binary_records.h"

using namespace sessiondeck;

namespace {

template <class T>
std::string Bytes(const T& record) {
    std::string bytes(VProfileBinaryTraits<T>::kSize, '\0');
    VProfileBinaryTraits<T>::ToBytes(record, reinterpret_cast<uint8_t*>(bytes.data()));
    return bytes;
}

template <class T>
T FromBytes(const std::string& bytes) {
    T record{};
    VProfileBinaryTraits<T>::FromBytes(reinterpret_cast<const uint8_t*>(bytes.data()), record);
    return record;
}

// Every byte distinct, so a field read from the wrong place changes the result.
std::string Ramp(size_t size) {
    std::string bytes;
    for (size_t i = 0; i < size; ++i) bytes += static_cast<char>(0x11 + i);
    return bytes;
}

std::string Le32(uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

}  // namespace

TEST(BinaryRecords, DefaultPlacementMarginAndFontBytes) {
    EXPECT_EQ(Bytes(WINDOWPLACEMENT{}), Le32(44) + Le32(0) + Le32(1) + Le32(0) + Le32(0) +
                                            Le32(0xFFFFFFFC) + Le32(0xFFFFFFFC) +
                                            std::string(16, '\0'));
    // Little-endian doubles: 0.5 is 0x3FE0000000000000.
    const std::string half("\0\0\0\0\0\0\xE0\x3F", 8);
    EXPECT_EQ(Bytes(VMarginData{}), half + half + half + half);

    const std::string bytes = Bytes(DefaultPrinterFont());
    ASSERT_EQ(bytes.size(), 96u);
    EXPECT_EQ(bytes.substr(0, 20), Le32(0xFFFFFFF3) + Le32(0) + Le32(0) + Le32(0) + Le32(400));
    EXPECT_EQ(bytes.substr(20, 8), std::string("\0\0\0\0\x03\x02\x01\x31", 8));
    EXPECT_EQ(bytes.substr(28, 6), std::string("C\0o\0u\0", 6));
    EXPECT_EQ(bytes.substr(50, 2), std::string("\0\0", 2)) << "face ends after 11 units";
    EXPECT_EQ(bytes.substr(92), Le32(100));
    EXPECT_EQ(DefaultPrinterFont().Face(), u"Courier New");

    VLogFont font;
    font.SetFace(std::u16string(40, u'x'));
    EXPECT_EQ(font.Face().size(), 31u) << "the face keeps its terminator";
}

// Loading a stored value into these records (a short value overlays the default, a long one is
// refused) is the binary setting's rule, tested once in test_profile.
TEST(BinaryRecords, EveryRecordRoundTripsByteExactly) {
    EXPECT_EQ(Bytes(FromBytes<WINDOWPLACEMENT>(Ramp(44))), Ramp(44));
    EXPECT_EQ(Bytes(FromBytes<VMarginData>(Ramp(32))), Ramp(32));
    EXPECT_EQ(Bytes(FromBytes<CustomColors>(Ramp(64))), Ramp(64));
    // A face filling all 32 units comes back unchanged too.
    EXPECT_EQ(Bytes(FromBytes<VLogFont>(Ramp(96))), Ramp(96));
}
