// Records stored as binary values: pinned bytes, byte-exact round trips, and loading through a
// store.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/binary_records.h"
#include "support/memory_store.h"

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

TEST(BinaryRecords, DefaultWindowPlacementBytes) {
    EXPECT_EQ(Bytes(WINDOWPLACEMENT{}), Le32(44) + Le32(0) + Le32(1) + Le32(0) + Le32(0) +
                                            Le32(0xFFFFFFFC) + Le32(0xFFFFFFFC) +
                                            std::string(16, '\0'));
    WINDOWPLACEMENT moved;
    moved.rcNormalPosition = {10, 20, -30, 40};
    EXPECT_EQ(Bytes(moved).substr(28), Le32(10) + Le32(20) + Le32(0xFFFFFFE2) + Le32(40));
}

TEST(BinaryRecords, MarginsAreLittleEndianDoubles) {
    // 0.5 is 0x3FE0000000000000; 1.25 is 0x3FF4000000000000.
    const std::string half("\0\0\0\0\0\0\xE0\x3F", 8);
    EXPECT_EQ(Bytes(VMarginData{}), half + half + half + half);
    EXPECT_EQ(Bytes(VMarginData{0.5, 1.25, 0.5, 0.5}).substr(8, 8),
              std::string("\0\0\0\0\0\0\xF4\x3F", 8));
}

TEST(BinaryRecords, FontLayout) {
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

TEST(BinaryRecords, EveryRecordRoundTripsByteExactly) {
    for (size_t size : {44u, 32u, 64u, 96u}) {
        const std::string ramp = Ramp(size);
        switch (size) {
            case 44:
                EXPECT_EQ(Bytes(FromBytes<WINDOWPLACEMENT>(ramp)), ramp);
                break;
            case 32:
                EXPECT_EQ(Bytes(FromBytes<VMarginData>(ramp)), ramp);
                break;
            case 64:
                EXPECT_EQ(Bytes(FromBytes<CustomColors>(ramp)), ramp);
                break;
            case 96:
                // A face filling all 32 units comes back unchanged too.
                EXPECT_EQ(Bytes(FromBytes<VLogFont>(ramp)), ramp);
                break;
        }
    }
    CustomColors colors;
    colors.colors[0] = 0x00112233;
    colors.colors[15] = 0x00FFFFFF;
    const std::string bytes = Bytes(colors);
    EXPECT_EQ(bytes.substr(0, 4), Le32(0x00112233));
    EXPECT_EQ(bytes.substr(60), Le32(0x00FFFFFF));
}

TEST(BinaryRecords, SettingsStoreTheExactBytesAndOverlayShortValues) {
    MemoryStoreFactory factory;
    {
        VProfileStore store(false, &factory);
        VProfileKey key(store.GetRootKey(), u"Global");
        VProfileWindowPlacement placement;
        placement.Init(&key, u"Window Placement", WINDOWPLACEMENT{});
        placement.Save(&key, false);
        const std::string shortValue = Le32(44) + Le32(2);  // length and flags only
        key.SetBinary(u"Short", shortValue.data(), 8);
        const std::string longValue(33, 'x');
        key.SetBinary(u"Long Margins", longValue.data(), 33);
    }
    const MemoryValue* stored = factory.Find(u"Global", u"Window Placement");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(std::string(stored->binary.begin(), stored->binary.end()), Bytes(WINDOWPLACEMENT{}));

    VProfileStore store(true, &factory);
    VProfileKey key(store.GetRootKey(), u"Global");
    VProfileWindowPlacement placement;
    placement.Init(&key, u"Short", WINDOWPLACEMENT{});
    WINDOWPLACEMENT expected;
    expected.flags = 2;
    EXPECT_EQ(placement.Get(), expected) << "the rest keeps the default";

    VProfileMargins margins;
    margins.Init(&key, u"Long Margins", VMarginData{1, 2, 3, 4});
    EXPECT_EQ(margins.Get(), (VMarginData{1, 2, 3, 4}));
    EXPECT_TRUE(margins.IsUnsaved());
}
