// Byte layouts of the records stored as binary values.
#include "data/binary_records.h"

#include <bit>

namespace sessiondeck {

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

// ---- Text forms ------------------------------------------------------------

std::u16string VProfileTextForm<WINDOWPLACEMENT>::Format(const WINDOWPLACEMENT& p) {
    return textform::JoinNumbers(
        {int64_t{p.length}, int64_t{p.flags}, int64_t{p.showCmd}, int64_t{p.ptMinPosition.x},
         int64_t{p.ptMinPosition.y}, int64_t{p.ptMaxPosition.x}, int64_t{p.ptMaxPosition.y},
         int64_t{p.rcNormalPosition.left}, int64_t{p.rcNormalPosition.top},
         int64_t{p.rcNormalPosition.right}, int64_t{p.rcNormalPosition.bottom}});
}

bool VProfileTextForm<WINDOWPLACEMENT>::Parse(std::u16string_view text, WINDOWPLACEMENT& value) {
    const auto parts = textform::Split(text, u',');
    if (parts.size() != 11) return false;
    uint32_t head[3];
    int32_t rest[8];
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i < 3) {
            const auto number = textform::ParseAs<uint32_t>(parts[i]);
            if (!number) return false;
            head[i] = *number;
        } else {
            const auto number = textform::ParseAs<int32_t>(parts[i]);
            if (!number) return false;
            rest[i - 3] = *number;
        }
    }
    value = WINDOWPLACEMENT{head[0],
                            head[1],
                            head[2],
                            {rest[0], rest[1]},
                            {rest[2], rest[3]},
                            {rest[4], rest[5], rest[6], rest[7]}};
    return true;
}

std::u16string VProfileTextForm<VMarginData>::Format(const VMarginData& m) {
    return textform::FormatDouble(m.left) + u"," + textform::FormatDouble(m.top) + u"," +
           textform::FormatDouble(m.right) + u"," + textform::FormatDouble(m.bottom);
}

bool VProfileTextForm<VMarginData>::Parse(std::u16string_view text, VMarginData& value) {
    const auto parts = textform::Split(text, u',');
    if (parts.size() != 4) return false;
    double values[4];
    for (size_t i = 0; i < 4; ++i) {
        const auto number = textform::ParseDouble(parts[i]);
        if (!number) return false;
        values[i] = *number;
    }
    value = VMarginData{values[0], values[1], values[2], values[3]};
    return true;
}

std::u16string VProfileTextForm<CustomColors>::Format(const CustomColors& value) {
    std::u16string text;
    for (ColorRef color : value.colors) {
        if (!text.empty()) text += u',';
        text += textform::Hex32(color);
    }
    return text;
}

bool VProfileTextForm<CustomColors>::Parse(std::u16string_view text, CustomColors& value) {
    const auto parts = textform::Split(text, u',');
    if (parts.size() != CustomColors::kCount) return false;
    CustomColors table;
    for (size_t i = 0; i < parts.size(); ++i) {
        const auto color = textform::ParseAs<uint32_t>(parts[i]);
        if (!color) return false;
        table.colors[i] = *color;
    }
    value = table;
    return true;
}

std::u16string VProfileTextForm<VLogFont>::Format(const VLogFont& f) {
    return textform::JoinNumbers(
               {int64_t{f.pointSize}, int64_t{f.height}, int64_t{f.width}, int64_t{f.escapement},
                int64_t{f.orientation}, int64_t{f.weight}, int64_t{f.italic}, int64_t{f.underline},
                int64_t{f.strikeOut}, int64_t{f.charSet}, int64_t{f.outPrecision},
                int64_t{f.clipPrecision}, int64_t{f.quality}, int64_t{f.pitchAndFamily}}) +
           u"," + std::u16string(f.Face());
}

bool VProfileTextForm<VLogFont>::Parse(std::u16string_view text, VLogFont& value) {
    constexpr size_t kNumbers = 14;
    const auto parts = textform::Split(text, u',', kNumbers + 1);
    if (parts.size() != kNumbers + 1 || parts.back().size() >= VLogFont::kFaceSize ||
        textform::HoldsLineBreak(parts.back()))
        return false;
    int32_t wide[6];
    uint8_t bytes[8];
    for (size_t i = 0; i < kNumbers; ++i) {
        if (i < 6) {
            const auto number = textform::ParseAs<int32_t>(parts[i]);
            if (!number) return false;
            wide[i] = *number;
        } else {
            const auto number = textform::ParseAs<uint8_t>(parts[i]);
            if (!number) return false;
            bytes[i - 6] = *number;
        }
    }
    VLogFont font;
    font.pointSize = wide[0];
    font.height = wide[1];
    font.width = wide[2];
    font.escapement = wide[3];
    font.orientation = wide[4];
    font.weight = wide[5];
    font.italic = bytes[0];
    font.underline = bytes[1];
    font.strikeOut = bytes[2];
    font.charSet = bytes[3];
    font.outPrecision = bytes[4];
    font.clipPrecision = bytes[5];
    font.quality = bytes[6];
    font.pitchAndFamily = bytes[7];
    font.SetFace(parts.back());
    value = font;
    return true;
}

}  // namespace sessiondeck
