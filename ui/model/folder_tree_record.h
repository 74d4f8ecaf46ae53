// The "FolderTree" record that Cut, Copy and a drag put on the clipboard: 1048 bytes,
// little-endian, with two zero-terminated UTF-16 strings of at most 260 code units each.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "foundation/unicode_string.h"

namespace sessiondeck {

inline constexpr const char16_t* kFolderTreeFormatName = u"FolderTree";

struct FolderTreeRecord {
    static constexpr size_t kSize = 1048;
    static constexpr size_t kPathOffset = 4;
    static constexpr size_t kSecondOffset = 524;
    static constexpr size_t kMoveOffset = 1044;
    // Code units a string field holds, its terminator included.
    static constexpr size_t kMaxChars = 260;

    // Meaningful only inside the dialog that wrote it; trusted only while the path still exists.
    uint32_t sourceNode = 0;
    VUnicodeString sourcePath;
    // Cut and Copy: the source's parent path (empty at the top); a drag: the parent folder's
    // name, or "Sessions" for the root.
    VUnicodeString second;
    bool move = false;  // Cut and a drag move, Copy copies

    // The record's bytes; null when a string does not fit its field with its terminator, or
    // holds a NUL (which would end it early on the way back).
    std::optional<std::array<uint8_t, kSize>> Encode() const;
    // Null unless the data is exactly one record whose strings both end inside their fields.
    static std::optional<FolderTreeRecord> Decode(std::span<const uint8_t> data);
};

}  // namespace sessiondeck
