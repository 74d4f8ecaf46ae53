// Encoding and decoding of the "FolderTree" clipboard and drag record.
#include "ui/model/folder_tree_record.h"

namespace sessiondeck {

namespace {

void PutU32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetU32(const uint8_t* at) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= static_cast<uint32_t>(at[i]) << (8 * i);
    return value;
}

bool PutString(uint8_t* field, const VUnicodeString& text) {
    if (text.Length() >= FolderTreeRecord::kMaxChars) return false;
    if (text.str().find(u'\0') != std::u16string::npos) return false;
    for (size_t i = 0; i < text.Length(); ++i) {
        field[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        field[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
    return true;  // the terminator is already there: the record starts zeroed
}

std::optional<VUnicodeString> GetString(const uint8_t* field) {
    std::u16string text;
    for (size_t i = 0; i < FolderTreeRecord::kMaxChars; ++i) {
        const auto unit = static_cast<char16_t>(field[2 * i] | (field[2 * i + 1] << 8));
        if (unit == 0) return VUnicodeString(std::move(text));
        text += unit;
    }
    return std::nullopt;  // no terminator inside the field
}

}  // namespace

std::optional<std::array<uint8_t, FolderTreeRecord::kSize>> FolderTreeRecord::Encode() const {
    std::array<uint8_t, kSize> bytes{};
    PutU32(bytes.data(), sourceNode);
    if (!PutString(bytes.data() + kPathOffset, sourcePath)) return std::nullopt;
    if (!PutString(bytes.data() + kSecondOffset, second)) return std::nullopt;
    PutU32(bytes.data() + kMoveOffset, move ? 1 : 0);
    return bytes;
}

std::optional<FolderTreeRecord> FolderTreeRecord::Decode(std::span<const uint8_t> data) {
    if (data.size() != kSize) return std::nullopt;
    FolderTreeRecord record;
    record.sourceNode = GetU32(data.data());
    auto path = GetString(data.data() + kPathOffset);
    auto second = GetString(data.data() + kSecondOffset);
    if (!path || !second) return std::nullopt;
    record.sourcePath = std::move(*path);
    record.second = std::move(*second);
    record.move = GetU32(data.data() + kMoveOffset) != 0;
    return record;
}

}  // namespace sessiondeck
