// Byte layouts of the records stored as binary values.
#include "data/binary_records.h"

#include <bit>

namespace {

// Little-endian reading and writing at a moving offset.
class ByteWriter {
public:
    explicit ByteWriter(uint8_t* bytes) : m_bytes(bytes) {}
    void U32(uint32_t value) {
        for (int i = 0; i < 4; ++i) m_bytes[m_at++] = static_cast<uint8_t>(value >> (8 * i));
    }
    void I32(int32_t value) { U32(static_cast<uint32_t>(value)); }
    void U16(uint16_t value) {
        m_bytes[m_at++] = static_cast<uint8_t>(value);
        m_bytes[m_at++] = static_cast<uint8_t>(value >> 8);
    }
    void U8(uint8_t value) { m_bytes[m_at++] = value; }
    void F64(double value) {
        const auto bits = std::bit_cast<uint64_t>(value);
        U32(static_cast<uint32_t>(bits));
        U32(static_cast<uint32_t>(bits >> 32));
    }

private:
    uint8_t* m_bytes;
    size_t m_at = 0;
};

class ByteReader {
public:
    explicit ByteReader(const uint8_t* bytes) : m_bytes(bytes) {}
    uint32_t U32() {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(m_bytes[m_at++]) << (8 * i);
        return value;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    uint16_t U16() {
        const uint16_t value = static_cast<uint16_t>(m_bytes[m_at] | (m_bytes[m_at + 1] << 8));
        m_at += 2;
        return value;
    }
    uint8_t U8() { return m_bytes[m_at++]; }
    double F64() {
        const uint64_t low = U32();
        const uint64_t high = U32();
        return std::bit_cast<double>(low | (high << 32));
    }

private:
    const uint8_t* m_bytes;
    size_t m_at = 0;
};

}  // namespace

void VProfileBinaryTraits<WINDOWPLACEMENT>::ToBytes(const WINDOWPLACEMENT& value, uint8_t* bytes) {
    ByteWriter out(bytes);
    out.U32(value.length);
    out.U32(value.flags);
    out.U32(value.showCmd);
    out.I32(value.ptMinPosition.x);
    out.I32(value.ptMinPosition.y);
    out.I32(value.ptMaxPosition.x);
    out.I32(value.ptMaxPosition.y);
    out.I32(value.rcNormalPosition.left);
    out.I32(value.rcNormalPosition.top);
    out.I32(value.rcNormalPosition.right);
    out.I32(value.rcNormalPosition.bottom);
}

void VProfileBinaryTraits<WINDOWPLACEMENT>::FromBytes(const uint8_t* bytes,
                                                      WINDOWPLACEMENT& value) {
    ByteReader in(bytes);
    value.length = in.U32();
    value.flags = in.U32();
    value.showCmd = in.U32();
    value.ptMinPosition.x = in.I32();
    value.ptMinPosition.y = in.I32();
    value.ptMaxPosition.x = in.I32();
    value.ptMaxPosition.y = in.I32();
    value.rcNormalPosition.left = in.I32();
    value.rcNormalPosition.top = in.I32();
    value.rcNormalPosition.right = in.I32();
    value.rcNormalPosition.bottom = in.I32();
}

void VProfileBinaryTraits<VMarginData>::ToBytes(const VMarginData& value, uint8_t* bytes) {
    ByteWriter out(bytes);
    out.F64(value.left);
    out.F64(value.top);
    out.F64(value.right);
    out.F64(value.bottom);
}

void VProfileBinaryTraits<VMarginData>::FromBytes(const uint8_t* bytes, VMarginData& value) {
    ByteReader in(bytes);
    value.left = in.F64();
    value.top = in.F64();
    value.right = in.F64();
    value.bottom = in.F64();
}

void VProfileBinaryTraits<CustomColors>::ToBytes(const CustomColors& value, uint8_t* bytes) {
    ByteWriter out(bytes);
    for (ColorRef color : value.colors) out.U32(color);
}

void VProfileBinaryTraits<CustomColors>::FromBytes(const uint8_t* bytes, CustomColors& value) {
    ByteReader in(bytes);
    for (ColorRef& color : value.colors) color = in.U32();
}

void VProfileBinaryTraits<VLogFont>::ToBytes(const VLogFont& value, uint8_t* bytes) {
    ByteWriter out(bytes);
    out.I32(value.height);
    out.I32(value.width);
    out.I32(value.escapement);
    out.I32(value.orientation);
    out.I32(value.weight);
    out.U8(value.italic);
    out.U8(value.underline);
    out.U8(value.strikeOut);
    out.U8(value.charSet);
    out.U8(value.outPrecision);
    out.U8(value.clipPrecision);
    out.U8(value.quality);
    out.U8(value.pitchAndFamily);
    for (char16_t unit : value.faceName) out.U16(unit);
    out.I32(value.pointSize);
}

void VProfileBinaryTraits<VLogFont>::FromBytes(const uint8_t* bytes, VLogFont& value) {
    ByteReader in(bytes);
    value.height = in.I32();
    value.width = in.I32();
    value.escapement = in.I32();
    value.orientation = in.I32();
    value.weight = in.I32();
    value.italic = in.U8();
    value.underline = in.U8();
    value.strikeOut = in.U8();
    value.charSet = in.U8();
    value.outPrecision = in.U8();
    value.clipPrecision = in.U8();
    value.quality = in.U8();
    value.pitchAndFamily = in.U8();
    // A face filling all 32 units is kept as stored: Face() stops at the
    // array's end, and saving it again gives back the same bytes.
    for (char16_t& unit : value.faceName) unit = in.U16();
    value.pointSize = in.I32();
}

std::u16string_view VLogFont::Face() const {
    size_t length = 0;
    while (length < faceName.size() && faceName[length] != 0) ++length;
    return std::u16string_view(faceName.data(), length);
}

VLogFont MakeLogFont(std::u16string_view face, int points) {
    VLogFont font;
    font.pointSize = points * 10;
    font.height = -((points * 96 + 36) / 72);
    font.weight = 400;
    font.outPrecision = 3;
    font.clipPrecision = 2;
    font.quality = 1;
    font.pitchAndFamily = 0x31;
    font.SetFace(face);
    return font;
}

VLogFont DefaultPrinterFont() {
    return MakeLogFont(u"Courier New", 10);
}
