// The value map of an INI key: values in file order, read values decoded only when asked for, and a
// hash table over their names.
#include <algorithm>
#include <bit>
#include <cstring>

#include "profile/ini_store_private.h"

namespace sessiondeck {

using namespace ini_format;

namespace {

// Names are hashed eight bytes (four units) at a time: a session's value
// names are mostly ten to thirty characters, and hashing them a unit at a
// time cost a tenth of loading a session. Each word's product is
// independent of the others, so only a rotation and an exclusive or wait on
// the word before.
uint32_t HashName(std::u16string_view name) {
    constexpr uint64_t kMultiplier = 0x9E3779B97F4A7C15ull;
    const char16_t* text = name.data();
    const size_t size = name.size();
    uint64_t hash = size;
    auto mix = [&hash](uint64_t word) { hash = std::rotl(hash, 23) ^ (word * kMultiplier); };
    if (size >= 4) {
        size_t i = 0;
        for (; i + 4 <= size; i += 4) {
            uint64_t word;
            std::memcpy(&word, text + i, sizeof word);
            mix(word);
        }
        // The last four units, overlapping the ones before: a whole load,
        // not one assembled a unit at a time.
        if (i < size) {
            uint64_t word;
            std::memcpy(&word, text + size - 4, sizeof word);
            mix(word);
        }
    } else {
        uint64_t word = 0;
        for (size_t i = 0; i < size; ++i) word |= static_cast<uint64_t>(text[i]) << (16 * i);
        mix(word);
    }
    return static_cast<uint32_t>((hash * kMultiplier) >> 32);
}

}  // namespace

// ---- Map ------------------------------------------------------------------------

VIniFileKey::Map::Map() = default;
size_t VIniFileKey::Map::SlotOf(std::u16string_view name, uint32_t hash) const {
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const uint32_t slot = m_slots[i];
        if (slot == 0) return i;
        const Entry& entry = m_entries[slot - 1];
        if (entry.hash == hash && GetName(slot - 1) == name) return i;
    }
}

void VIniFileKey::Map::GrowSlots() {
    // Sized for the entries reserved, so that a parse grows the table once.
    size_t size = std::max<size_t>(m_slots.size() * 2, 16);
    while (size < m_entries.capacity() * 2) size *= 2;
    m_slots.assign(size, 0);
    const size_t mask = size - 1;
    for (uint32_t position = 0; position < m_entries.size(); ++position) {
        size_t i = m_entries[position].hash & mask;
        while (m_slots[i] != 0) i = (i + 1) & mask;
        m_slots[i] = position + 1;
    }
}

VIniFileKey::Map::Entry& VIniFileKey::Map::EntryFor(std::u16string_view name) {
    const size_t start = m_names.size();
    m_names.append(name);
    return EntryForTail(start);
}

VIniFileKey::Map::Entry& VIniFileKey::Map::EntryForTail(size_t start) {
    if ((m_entries.size() + 1) * 2 > m_slots.size()) GrowSlots();
    const std::u16string_view name = std::u16string_view(m_names).substr(start);
    const uint32_t hash = HashName(name);
    const size_t slot = SlotOf(name, hash);
    if (m_slots[slot] != 0) {
        m_names.resize(start);
        return m_entries[m_slots[slot] - 1];
    }
    m_slots[slot] = static_cast<uint32_t>(m_entries.size()) + 1;
    Entry& entry = m_entries.emplace_back();
    entry.nameStart = static_cast<uint32_t>(start);
    entry.nameLength = static_cast<uint32_t>(name.size());
    entry.hash = hash;
    return entry;
}

std::optional<size_t> VIniFileKey::Map::Find(std::u16string_view name) const {
    // A record loads its members in the order it saved them, which is the
    // order of the file: the value after the last one found is nearly always
    // the one asked for, and comparing its name is cheaper than hashing.
    if (m_next < m_entries.size()) {
        const std::u16string_view next = GetName(m_next);
        if (next.size() == name.size() &&
            std::memcmp(next.data(), name.data(), name.size() * sizeof(char16_t)) == 0)
            return m_next++;
    }
    if (m_slots.empty()) return std::nullopt;
    const uint32_t slot = m_slots[SlotOf(name, HashName(name))];
    if (slot == 0) return std::nullopt;
    m_next = slot;
    return slot - 1;
}

void VIniFileKey::Map::Set(std::u16string_view name, std::unique_ptr<VIniFileData> data) {
    Entry& entry = EntryFor(name);
    entry.kind = static_cast<int8_t>(data ? data->GetKind() : kGone);
    entry.set = true;
    entry.data = std::move(data);
}

std::u16string_view VIniFileKey::Map::GetName(size_t index) const {
    const Entry& entry = m_entries[index];
    return std::u16string_view(m_names).substr(entry.nameStart, entry.nameLength);
}

std::string_view VIniFileKey::Map::Text(const Entry& entry) const {
    return std::string_view(m_source).substr(entry.textStart, entry.textLength);
}

bool VIniFileKey::Map::Exists(size_t index) const {
    return m_entries[index].kind != kGone;
}

int VIniFileKey::Map::GetKind(size_t index) const {
    return m_entries[index].kind;
}

bool VIniFileKey::Map::GetDword(size_t index, uint32_t& value) const {
    const Entry& entry = m_entries[index];
    if (entry.data) return entry.data->GetDword(value);
    if (entry.kind != kValueKindDword) return false;
    value = entry.number;
    return true;
}

bool VIniFileKey::Map::GetString(size_t index, VUnicodeString& value) const {
    const Entry& entry = m_entries[index];
    if (entry.data) return entry.data->GetString(value);
    if (entry.kind != kValueKindString) return false;
    DecodeFieldInto(value.str(), Text(entry), ByteEncoding(m_sourceIsUtf8));
    return true;
}

bool VIniFileKey::Map::GetBinary(size_t index, void* buffer, uint32_t& size) const {
    const Entry& entry = m_entries[index];
    if (entry.data) return entry.data->GetBinary(buffer, size);
    if (entry.kind != kValueKindBinary) return false;
    if (buffer) {
        if (size < entry.number) return false;
        LineReader<char> reader(Text(entry));
        ReadBinaryLines(reader, entry.number, static_cast<uint8_t*>(buffer));
    }
    size = entry.number;
    return true;
}

bool VIniFileKey::Map::GetStringArray(size_t index, VStringArray& value) const {
    const Entry& entry = m_entries[index];
    if (entry.data) return entry.data->GetStringArray(value);
    if (entry.kind != kValueKindStringArray) return false;
    value = DecodeArray(Text(entry), entry.number, ByteEncoding(m_sourceIsUtf8));
    return true;
}

std::unique_ptr<VIniFileData> VIniFileKey::Map::TakeValue(size_t index) {
    Entry& entry = m_entries[index];
    std::unique_ptr<VIniFileData> value = std::move(entry.data);
    if (!value && entry.kind != kGone)
        value = MakeData(entry.kind, entry.number, Text(entry), ByteEncoding(m_sourceIsUtf8));
    entry.kind = kGone;
    return value;
}

void VIniFileKey::Map::WriteValue(size_t index, std::string& file) const {
    const Entry& entry = m_entries[index];
    const std::u16string_view name = GetName(index);
    if (entry.data) {
        entry.data->Write(file, name);
    } else if (entry.kind == kValueKindDword) {
        WriteDwordValue(file, name, entry.number);
    } else if (entry.kind == kValueKindString && IsAscii(Text(entry))) {
        // Read text that is ASCII is written as it was read.
        AppendHeader(file, 'S', name);
        file += Text(entry);
        file += "\r\n";
    } else if (entry.kind != kGone) {
        MakeData(entry.kind, entry.number, Text(entry), ByteEncoding(m_sourceIsUtf8))
            ->Write(file, name);
    }
}

}  // namespace sessiondeck
