// The INI file backend: value-file reading and writing, keys, iteration, the store and its factory.
#include "profile/ini_store.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <functional>
#include <unordered_set>

#include "foundation/codepage.h"
#include "foundation/hex_digits.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr char kHexDigits[] = "0123456789abcdef";
constexpr size_t kBytesPerLine = 32;

// ---- Writing ------------------------------------------------------------------

void AppendHex8(std::string& out, uint32_t value) {
    char digits[8];
    for (int i = 7; i >= 0; --i) {
        digits[i] = kHexDigits[value & 15];
        value >>= 4;
    }
    out.append(digits, 8);
}

// Names and values are nearly always ASCII; only the rest pays for a real
// conversion.
void AppendUtf8(std::string& out, std::u16string_view text) {
    const bool ascii = std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
    if (ascii) {
        for (char16_t c : text) out.push_back(static_cast<char>(c));
    } else {
        out += Utf16ToUtf8(text);
    }
}

void AppendHeader(std::string& out, char type, std::u16string_view name) {
    out.push_back(type);
    out += ":\"";
    AppendUtf8(out, name);
    out += "\"=";
}

// ---- Reading ------------------------------------------------------------------

// The position of the first CR or LF in `text` from `from` on, or the
// text's size. Scanning for the line ends was half of parsing a session
// file a byte at a time; this looks at eight bytes at once.
size_t FindLineEnd(std::string_view text, size_t from) {
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHighs = 0x8080808080808080ull;
    if constexpr (std::endian::native == std::endian::little) {
        for (; from + 8 <= text.size(); from += 8) {
            uint64_t word;
            std::memcpy(&word, text.data() + from, sizeof word);
            // A byte of `cr` or `lf` is zero where the text has that byte;
            // the lowest byte flagged below is the first such byte.
            const uint64_t cr = word ^ (kOnes * '\r');
            const uint64_t lf = word ^ (kOnes * '\n');
            const uint64_t found = (((cr - kOnes) & ~cr) | ((lf - kOnes) & ~lf)) & kHighs;
            if (found) return from + static_cast<size_t>(std::countr_zero(found) / 8);
        }
    }
    while (from < text.size() && text[from] != '\r' && text[from] != '\n') ++from;
    return from;
}

// Lines end at CR, at LF or at CR LF. A file's last line needs no line end;
// a line end at the very end of the file does not start another line.
template <class Char>
class LineReader {
public:
    using View = std::basic_string_view<Char>;
    explicit LineReader(View text) : m_text(text) {}

    bool Next(View& line) {
        if (m_pos >= m_text.size()) return false;
        size_t end = m_pos;
        if constexpr (std::is_same_v<Char, char>) end = FindLineEnd(m_text, end);
        while (end < m_text.size() && m_text[end] != Char('\r') && m_text[end] != Char('\n')) ++end;
        line = m_text.substr(m_pos, end - m_pos);
        m_pos = end;
        if (m_pos < m_text.size()) {
            const bool crlf = m_text[m_pos] == Char('\r') && m_pos + 1 < m_text.size() &&
                              m_text[m_pos + 1] == Char('\n');
            m_pos += crlf ? 2 : 1;
        }
        ++m_number;
        return true;
    }
    size_t LineNumber() const { return m_number; }
    // Where the next line starts (the end of the text when there is none).
    const Char* Here() const { return m_text.data() + m_pos; }

private:
    View m_text;
    size_t m_pos = 0;
    size_t m_number = 0;
};

// Exactly eight hexadecimal digits. Other characters among them are refused
// rather than guessed at: the value and everything after it are then ignored.
template <class Char>
bool ParseCount(std::basic_string_view<Char> text, uint32_t& value) {
    if (text.size() != 8) return false;
    value = 0;
    for (Char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return false;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return true;
}

template <class Char>
bool IsBinarySpace(Char c) {
    return c == Char(' ') || c == Char('\t') || c == Char('\v') || c == Char('\f');
}

// How the text of a name or value is turned into UTF-16. UTF-8 and 8-bit
// files are parsed as bytes: every character the format gives a meaning to
// is ASCII, and neither encoding uses ASCII bytes inside other characters, so
// only names and values need converting, not the whole file.
enum class FieldEncoding { Utf8, Ansi, Utf16 };

// Without an early exit, so that the compiler may test many bytes at once:
// names and values are short, and nearly always ASCII.
bool IsAscii(std::string_view text) {
    unsigned char any = 0;
    for (char c : text) any |= static_cast<unsigned char>(c);
    return any < 0x80;
}

// A surrogate without its partner cannot be written as UTF-8, so it reads as
// U+FFFD, as a broken UTF-8 sequence does. Two names that differ only in such
// a surrogate are then one value already when read, not two values that the
// next write would merge.
void DecodeFieldInto(std::u16string& out, std::u16string_view text, FieldEncoding) {
    out.assign(text);
    for (size_t i = 0; i < out.size(); ++i) {
        const char16_t c = out[i];
        if (c < 0xD800 || c > 0xDFFF) continue;
        const bool paired =
            c <= 0xDBFF && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF;
        if (paired) {
            ++i;
        } else {
            out[i] = 0xFFFD;
        }
    }
}

// Assigning into `out` keeps its storage: decoding a name or value into a
// string that already has room for it allocates nothing.
void DecodeFieldInto(std::u16string& out, std::string_view text, FieldEncoding encoding) {
    if (IsAscii(text)) {
        // Not assign(first, last): for iterators of another character type
        // it builds a temporary string, an allocation per call.
        out.resize(text.size());
        std::copy(text.begin(), text.end(), out.begin());
    } else {
        out = encoding == FieldEncoding::Utf8 ? Utf8ToUtf16(text) : AnsiToUtf16(text);
    }
}

template <class Char>
VUnicodeString DecodeField(std::basic_string_view<Char> text, FieldEncoding encoding) {
    VUnicodeString out;
    DecodeFieldInto(out.str(), text, encoding);
    return out;
}

// The bytes of a binary value: `count` bytes as pairs of hexadecimal digits
// over the lines that `reader` gives, spaces and tabs between them ignored,
// and the rest of the line that completes the count ignored too. With `out`
// null they are only checked.
template <class Char>
VIniStop ReadBinaryLines(LineReader<Char>& reader, uint32_t count, uint8_t* out) {
    std::basic_string_view<Char> line;
    uint32_t done = 0;
    while (done < count) {
        if (!reader.Next(line)) return VIniStop::BinaryEndOfFile;
        size_t i = 0;
        // The form this library writes, " xx" per byte, goes three
        // characters a step; anything else is left to the general loop.
        for (; i + 3 <= line.size() && done < count && line[i] == Char(' '); i += 3) {
            const int high = HexDigitValue(line[i + 1]);
            const int low = HexDigitValue(line[i + 2]);
            if ((high | low) < 0) break;
            if (out) out[done] = static_cast<uint8_t>(high * 16 + low);
            ++done;
        }
        for (; i < line.size() && done < count;) {
            if (IsBinarySpace(line[i])) {
                ++i;
                continue;
            }
            if (i + 1 >= line.size()) return VIniStop::BinaryOddDigit;
            const int high = HexDigitValue(line[i]);
            const int low = HexDigitValue(line[i + 1]);
            if (high < 0 || low < 0) return VIniStop::BinaryBadDigit;
            if (out) out[done] = static_cast<uint8_t>(high * 16 + low);
            ++done;
            i += 2;
        }
    }
    return VIniStop::EndOfFile;
}

// The elements of a string array: `count` lines, each after a leading space,
// handed to `take` as they stand.
template <class Char, class Take>
VIniStop ReadArrayLines(LineReader<Char>& reader, uint32_t count, Take&& take) {
    std::basic_string_view<Char> element;
    for (uint32_t i = 0; i < count; ++i) {
        if (!reader.Next(element)) return VIniStop::ArrayEndOfFile;
        if (element.empty() || element[0] != Char(' ')) return VIniStop::ArrayNoLeadingSpace;
        take(element.substr(1));
    }
    return VIniStop::EndOfFile;
}

template <class Char>
VStringArray DecodeArray(std::basic_string_view<Char> lines, uint32_t count,
                         FieldEncoding encoding) {
    VStringArray elements;
    elements.Reserve(count);
    LineReader<Char> reader(lines);
    ReadArrayLines(reader, count, [&](std::basic_string_view<Char> element) {
        elements.Add(DecodeField(element, encoding));
    });
    return elements;
}

template <class Char>
std::vector<uint8_t> DecodeBinary(std::basic_string_view<Char> lines, uint32_t count) {
    std::vector<uint8_t> bytes(count);
    LineReader<Char> reader(lines);
    ReadBinaryLines(reader, count, bytes.data());
    return bytes;
}

FieldEncoding ByteEncoding(bool utf8) {
    return utf8 ? FieldEncoding::Utf8 : FieldEncoding::Ansi;
}

// A value read from a file, as an object of its own.
template <class Char>
std::unique_ptr<VIniFileData> MakeData(int kind, uint32_t number, std::basic_string_view<Char> text,
                                       FieldEncoding encoding) {
    switch (kind) {
        case kValueKindDword:
            return std::make_unique<VIniFileDataDword>(number);
        case kValueKindString:
            return std::make_unique<VIniFileDataString>(DecodeField(text, encoding));
        case kValueKindBinary:
            return std::make_unique<VIniFileDataBinary>(DecodeBinary(text, number));
        case kValueKindStringArray:
            return std::make_unique<VIniFileDataStringSz>(DecodeArray(text, number, encoding));
        default:
            return nullptr;
    }
}

// One value as the file holds it, checked but not decoded.
template <class Char>
struct FileValue {
    int kind = kValueKindDword;
    std::basic_string_view<Char> name;
    uint32_t number = 0;  // a DWORD's value, or a binary value's or an array's count
    // A string's text, or the lines that hold a binary value's bytes or an
    // array's elements.
    std::basic_string_view<Char> text;
};

// Checks the values of a file one after the other and hands each to `take`,
// until the end of the file or the first value that does not make sense.
template <class Char, class Take>
VIniParseResult ParseValues(std::basic_string_view<Char> text, Take&& take) {
    using View = std::basic_string_view<Char>;
    LineReader<Char> reader(text);
    View line;
    while (reader.Next(line)) {
        const size_t header = reader.LineNumber();
        auto stop = [header](VIniStop why) { return VIniParseResult{why, header}; };

        if (line.size() < 5 || line[1] != Char(':') || line[2] != Char('"'))
            return stop(VIniStop::MalformedLine);
        const size_t quote = line.find(Char('"'), 3);
        if (quote == View::npos) return stop(VIniStop::NoClosingQuote);
        if (quote + 1 >= line.size() || line[quote + 1] != Char('='))
            return stop(VIniStop::NoEquals);
        FileValue<Char> value;
        value.name = line.substr(3, quote - 3);
        const View rest = line.substr(quote + 2);

        switch (line[0]) {
            case Char('D'):
                if (!ParseCount(rest, value.number)) return stop(VIniStop::BadCount);
                value.kind = kValueKindDword;
                break;
            case Char('S'):
                value.kind = kValueKindString;
                value.text = rest;
                break;
            case Char('B'):
            case Char('Z'): {
                if (!ParseCount(rest, value.number)) return stop(VIniStop::BadCount);
                const Char* first = reader.Here();
                const VIniStop why = line[0] == Char('B')
                                         ? ReadBinaryLines(reader, value.number, nullptr)
                                         : ReadArrayLines(reader, value.number, [](View) {});
                if (why != VIniStop::EndOfFile) return stop(why);
                value.kind = line[0] == Char('B') ? kValueKindBinary : kValueKindStringArray;
                value.text = View(first, static_cast<size_t>(reader.Here() - first));
                break;
            }
            default:
                return stop(VIniStop::UnknownType);
        }
        // A value without a name parses (so reading goes on) but no query
        // could ever reach it.
        if (!value.name.empty()) take(value);
    }
    return VIniParseResult{};
}

// Such text would end the readable part of the file: the format has no escapes.
bool HasLineBreak(std::u16string_view text) {
    return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

bool IsStorableName(const char16_t* name) {
    return name && std::u16string_view(name).find_first_of(u"\"\r\n") == std::u16string_view::npos;
}

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

// The order of names in both iterations: case-insensitive, then exact, so
// that names differing only in case still come in a fixed order.
bool NameBefore(const VUnicodeString& a, const VUnicodeString& b) {
    const int c = CompareNoCase(a.str(), b.str());
    return c != 0 ? c < 0 : a.str() < b.str();
}

// ---- Writing values -------------------------------------------------------------

void WriteDwordValue(std::string& file, std::u16string_view name, uint32_t value) {
    AppendHeader(file, 'D', name);
    AppendHex8(file, value);
    file += "\r\n";
}

void WriteStringValue(std::string& file, std::u16string_view name, std::u16string_view value) {
    AppendHeader(file, 'S', name);
    AppendUtf8(file, value);
    file += "\r\n";
}

void WriteBinaryValue(std::string& file, std::u16string_view name, const uint8_t* bytes,
                      size_t size) {
    AppendHeader(file, 'B', name);
    AppendHex8(file, static_cast<uint32_t>(size));
    file += "\r\n";
    // One append per line of up to 32 bytes.
    char line[kBytesPerLine * 3 + 2];
    for (size_t start = 0; start < size; start += kBytesPerLine) {
        const size_t end = std::min(start + kBytesPerLine, size);
        char* out = line;
        for (size_t i = start; i < end; ++i) {
            *out++ = ' ';
            *out++ = kHexDigits[bytes[i] >> 4];
            *out++ = kHexDigits[bytes[i] & 15];
        }
        *out++ = '\r';
        *out++ = '\n';
        file.append(line, static_cast<size_t>(out - line));
    }
}

void WriteArrayValue(std::string& file, std::u16string_view name, const VStringArray& value) {
    AppendHeader(file, 'Z', name);
    AppendHex8(file, static_cast<uint32_t>(value.GetSize()));
    file += "\r\n";
    for (const VUnicodeString& element : value) {
        file.push_back(' ');
        AppendUtf8(file, element.str());
        file += "\r\n";
    }
}

}  // namespace

// ---- Stored values ------------------------------------------------------------

bool VIniFileDataDword::GetDword(uint32_t& value) const {
    value = m_value;
    return true;
}

void VIniFileDataDword::Write(std::string& file, std::u16string_view name) const {
    WriteDwordValue(file, name, m_value);
}

bool VIniFileDataString::GetString(VUnicodeString& value) const {
    value = m_value;
    return true;
}

void VIniFileDataString::Write(std::string& file, std::u16string_view name) const {
    WriteStringValue(file, name, m_value.str());
}

bool VIniFileDataBinary::GetBinary(void* buffer, uint32_t& size) const {
    const auto length = static_cast<uint32_t>(m_bytes.size());
    if (!buffer) {
        size = length;
        return true;
    }
    if (size < length) return false;
    if (length) std::memcpy(buffer, m_bytes.data(), length);
    size = length;
    return true;
}

void VIniFileDataBinary::SetBinary(const void* data, uint32_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    m_bytes.assign(bytes, bytes + (bytes ? size : 0));
}

void VIniFileDataBinary::Write(std::string& file, std::u16string_view name) const {
    WriteBinaryValue(file, name, m_bytes.data(), m_bytes.size());
}

bool VIniFileDataStringSz::GetStringArray(VStringArray& value) const {
    value = m_value;
    return true;
}

void VIniFileDataStringSz::Write(std::string& file, std::u16string_view name) const {
    WriteArrayValue(file, name, m_value);
}

// ---- Map ------------------------------------------------------------------------

VIniFileKey::Map::Map() = default;

VIniParseResult VIniFileKey::Map::Parse(std::string bytes) {
    m_source = std::move(bytes);
    const std::string_view source(m_source);
    if (source.substr(0, 2) == "\xFF\xFE" || source.substr(0, 2) == "\xFE\xFF") {
        // UTF-16 files are rare (older versions wrote them): their values are
        // decoded as they are read, and the map keeps no text of theirs.
        const std::u16string text = Utf16BytesToUtf16(source.substr(2), source[0] == '\xFE');
        m_source.clear();
        m_source.shrink_to_fit();
        return ParseText(std::u16string_view(text));
    }
    const bool utf8 = source.substr(0, 3) == kUtf8Mark;
    m_sourceIsUtf8 = utf8;
    // A session's lines average some forty bytes; sizing for thirty-two
    // spares a session's load any growing.
    m_entries.reserve(source.size() / 32 + 8);
    m_names.reserve(source.size() / 2);
    return ParseText(utf8 ? source.substr(3) : source);
}

template <class Char>
VIniParseResult VIniFileKey::Map::ParseText(std::basic_string_view<Char> text) {
    FieldEncoding encoding = FieldEncoding::Utf16;
    if constexpr (std::is_same_v<Char, char>) encoding = ByteEncoding(m_sourceIsUtf8);
    std::u16string name;  // reused: most names then cost no allocation
    return ParseValues(text, [&](const FileValue<Char>& value) {
        Entry* found = nullptr;
        if constexpr (std::is_same_v<Char, char>) {
            // Decoded straight onto the end of m_names, where a new name stays.
            const size_t start = m_names.size();
            if (IsAscii(value.name)) {
                m_names.resize(start + value.name.size());
                std::copy(value.name.begin(), value.name.end(), m_names.begin() + start);
            } else {
                DecodeFieldInto(name, value.name, encoding);
                m_names += name;
            }
            found = &EntryForTail(start);
        } else {
            DecodeFieldInto(name, value.name, encoding);
            found = &EntryFor(name);
        }
        Entry& entry = *found;
        entry.kind = static_cast<int8_t>(value.kind);
        entry.set = false;
        entry.data.reset();
        if constexpr (std::is_same_v<Char, char>) {
            entry.number = value.number;
            entry.textStart =
                value.text.empty() ? 0 : static_cast<uint32_t>(value.text.data() - m_source.data());
            entry.textLength = static_cast<uint32_t>(value.text.size());
        } else {
            entry.data = MakeData(value.kind, value.number, value.text, encoding);
        }
    });
}

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

// ---- Parsing and building value files ---------------------------------------------

VIniParseResult VIniFileKey::ParseValueFile(std::string_view bytes, Map& map) {
    return map.Parse(std::string(bytes));
}

std::string VIniFileKey::BuildValueFile(const Map& map) {
    std::string file;
    file.reserve(kUtf8Mark.size() + map.GetSize() * 48);
    file += kUtf8Mark;
    for (size_t i = 0; i < map.GetSize(); ++i) {
        if (map.Exists(i) && map.GetKind(i) != kValueKindStringArray) map.WriteValue(i, file);
    }
    for (size_t i = 0; i < map.GetSize(); ++i) {
        if (map.Exists(i) && map.GetKind(i) == kValueKindStringArray) map.WriteValue(i, file);
    }
    return file;
}

// ---- Key ------------------------------------------------------------------------

namespace {

// A value file too large to load can still lose values: `store rm` must be
// able to repair it. Such a repair reads up to this much.
constexpr uint64_t kRepairReadLimit = uint64_t{1} << 30;

// The values a handle set or deleted, kept for a write that must be built
// again from the file as it is when a write batch commits.
using Changes = std::vector<std::pair<std::u16string, std::unique_ptr<VIniFileData>>>;

std::string ParentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

VIniFileKey::VIniFileKey(const VUnicodeString& folder, bool readOnly,
                         const VSecurityDescriptor* descriptor)
    : VIniFileKey(folder, folder.Length(), readOnly, descriptor,
                  platform::StoreFolder::Open(folder.ToUtf8())) {}

VIniFileKey::VIniFileKey(VUnicodeString path, size_t folderLength, bool readOnly,
                         const VSecurityDescriptor* descriptor,
                         std::shared_ptr<platform::StoreFolder> folder)
    : m_path(std::move(path)),
      m_readOnly(readOnly),
      m_report(0, GetLibraryMessageModule()),
      m_descriptor(descriptor ? std::make_unique<VSecurityDescriptor>(*descriptor) : nullptr),
      m_folderLength(folderLength),
      m_folder(std::move(folder)) {}

VIniFileKey::~VIniFileKey() {
    // The fallback for callers that never flush: a failure here can reach
    // no one, which is why every writer of the library calls Flush.
    try {
        WriteBack();
        platform::CommitStoreBatchIfFull();
    } catch (...) {
    }
}

bool VIniFileKey::Fail(int error) {
    m_report.SetMessageId(static_cast<uint32_t>(error));
    return false;
}

bool VIniFileKey::Flush() {
    int error = 0;
    try {
        if (m_createExclusive && !m_readOnly && !(m_map && m_modified) && !IsRoot()) {
            // A key created with no values of its own (a folder): the folder
            // itself is what must not exist yet, in either form.
            const std::string folder = RelativePath();
            if (const int made = m_folder->MakeFolders(ParentOf(folder))) return Fail(made);
            platform::StoreFolder::Lock lock(*m_folder, ParentOf(folder));
            if (m_folder->Status(folder + ".ini").exists) return Fail(EEXIST);
            if (const int made = m_folder->MakeFolder(folder)) return Fail(made);
            m_createExclusive = false;
            return true;
        }
        error = WriteBack();
        platform::CommitStoreBatchIfFull();
    } catch (const std::bad_alloc&) {
        error = ENOMEM;
    }
    return error ? Fail(error) : true;
}

int VIniFileKey::WriteValueFile(const std::string& bytes,
                                const platform::StoreFolder::ReplaceOptions& options) {
    if (bytes.size() > kMaxValueFileSize) return EFBIG;
    return m_folder->Replace(RelativePath({}, ".ini"), bytes, options);
}

// Two processes of the family may share one configuration folder, and both
// may hold a handle on the same key (the terminal saving a session while the
// file-transfer client saves another setting of it). Writing the handle's
// whole map back would silently undo the other process's change. So the
// write-back is a read-modify-write under an advisory lock on the folder that
// holds the value file: the file is read again, only the values this handle
// set or deleted are applied to what it holds now, and the result replaces it
// atomically. Two writers of one value therefore end with the later one's
// value, and writers of different values both keep theirs. Readers take no
// lock: the atomic rename lets them see the old file or the new one, whole.
// Inside a write batch the rename waits for the batch's commit, which checks
// under the same lock that the file is still the one the bytes were built
// from, and builds them again from the file as it is then when it is not.
//
// After a write (or a failed one) the handle forgets its map: what it holds
// next is read from the file again.
int VIniFileKey::WriteBack() {
    if (m_readOnly || !m_map || m_map->IsEmpty() || !m_modified) return 0;
    m_modified = false;
    // A handle creates its key once: whether this write succeeds or not, a
    // later one through it is an ordinary write.
    const bool exclusive = m_createExclusive;
    m_createExclusive = false;
    std::unique_ptr<Map> map = std::move(m_map);
    m_fileStatus.reset();
    const std::optional<platform::FileIdentity> loaded = m_loadedIdentity;
    m_loadedIdentity.reset();
    if (IsRoot()) {
        // The root's own values live beside the configuration folder.
        if (m_loadResult.stop == VIniStop::FileTooLarge) return EFBIG;
        const std::string bytes = BuildValueFile(*map);
        if (bytes.size() > kMaxValueFileSize) return EFBIG;
        const fs::path file = ValueFilePath();
        if (!platform::CreateFolders(file.parent_path())) return errno ? errno : EIO;
        platform::FolderLock lock(file.parent_path());
        return platform::WriteFileAtomically(file, bytes) ? 0 : (errno ? errno : EIO);
    }

    const std::string file = RelativePath({}, ".ini");
    const std::string folder = ParentOf(file);
    if (!m_updateOnly) {
        // The first write of a new key finds its folders missing.
        if (const int error = m_folder->MakeFolders(folder)) return error;
    }
    platform::StoreFolder::Lock lock(*m_folder, folder);
    if (exclusive && m_folder->Status(RelativePath()).exists) return EEXIST;

    auto changes = std::make_shared<Changes>();
    auto takeChanges = [&] {
        for (size_t i = 0; i < map->GetSize(); ++i) {
            if (map->WasSet(i)) changes->emplace_back(map->GetName(i), map->TakeValue(i));
        }
    };
    platform::StoreFolder::ReplaceOptions options;
    options.exclusive = exclusive;
    options.mustExist = m_updateOnly;

    if (m_loadResult.stop == VIniStop::FileTooLarge) {
        // Only removing values is allowed on a file too large to load: that is
        // how such a file is repaired, and it can only shrink it.
        for (size_t i = 0; i < map->GetSize(); ++i) {
            if (map->WasSet(i) && map->Exists(i)) return EFBIG;
        }
        std::string bytes;
        std::optional<platform::FileIdentity> identity;
        if (m_folder->Read(file, bytes, kRepairReadLimit, &identity) != platform::ReadResult::kRead)
            return EFBIG;
        const size_t before = bytes.size();
        Map current;
        current.Parse(std::move(bytes));
        takeChanges();
        for (auto& [name, data] : *changes) current.Set(name, nullptr);
        std::string rebuilt = BuildValueFile(current);
        // Nothing this handle removed was there.
        if (rebuilt.size() >= before) return ENOENT;
        options.basis = identity;
        return m_folder->Replace(file, rebuilt, options);
    }

    // Built again from the file as it is when a batch commits.
    options.rebuild = [changes](const std::string* current) -> std::optional<std::string> {
        Map merged;
        if (current) merged.Parse(*current);
        for (const auto& [name, data] : *changes) merged.Set(name, data ? data->Clone() : nullptr);
        std::string bytes = BuildValueFile(merged);
        if (bytes.size() > kMaxValueFileSize) return std::nullopt;
        return bytes;
    };

    // Unchanged since this handle read it (or still missing, as it was then):
    // the map already is the file plus this handle's changes, and reading it
    // again would find nothing new. Saving every session of a large tree
    // spent a fifth of its time on that read. Writers of the family replace
    // the file, which gives it a new inode; an editor that rewrites it in
    // place changes its times or size. Only a same-size rewrite in place
    // within one tick of the file system's clock would go unseen.
    const std::optional<platform::FileIdentity> now = m_folder->Identity(file);
    if (now == loaded) {
        if (m_updateOnly && !now) return ENOENT;
        std::string bytes = BuildValueFile(*map);
        takeChanges();
        options.basis = now;
        return WriteValueFile(bytes, options);
    }
    takeChanges();
    std::string source;
    std::optional<platform::FileIdentity> identity;
    bool present = false;
    switch (m_folder->Read(file, source, kMaxValueFileSize, &identity)) {
        case platform::ReadResult::kRead:
            present = true;
            break;
        case platform::ReadResult::kTooLarge:
            return EFBIG;
        case platform::ReadResult::kUnreadable: {
            const platform::FileStatus status = m_folder->Status(file);
            if (status.isFolder) return EISDIR;
            if (status.special) return ELOOP;
            if (status.exists) return EACCES;
            if (m_updateOnly) return ENOENT;
            break;
        }
    }
    std::optional<std::string> bytes = options.rebuild(present ? &source : nullptr);
    if (!bytes) return EFBIG;
    options.basis = identity;
    return m_folder->Replace(file, *bytes, options);
}

std::string VIniFileKey::NativePath(std::u16string_view subKey, std::string_view suffix) const {
    const std::u16string_view path = m_path.str();
    std::string native;
    native.reserve(path.size() + subKey.size() + suffix.size() + 1);
    AppendUtf8(native, path.substr(0, m_folderLength));
    const size_t names = native.size();
    AppendUtf8(native, path.substr(m_folderLength));
    if (!subKey.empty()) {
        native.push_back('\\');
        AppendUtf8(native, subKey);
    }
    // Backslashes between names become the file system's separator; the
    // folder's own path is native already.
    std::replace(native.begin() + static_cast<std::ptrdiff_t>(names), native.end(), '\\', '/');
    native += suffix;
    return native;
}

std::string VIniFileKey::RelativePath(std::u16string_view subKey, std::string_view suffix) const {
    std::string relative;
    std::u16string_view names = std::u16string_view(m_path.str()).substr(m_folderLength);
    if (!names.empty() && names.front() == u'\\') names.remove_prefix(1);
    relative.reserve(names.size() + subKey.size() + suffix.size() + 1);
    AppendUtf8(relative, names);
    if (!subKey.empty()) {
        if (!relative.empty()) relative.push_back('\\');
        AppendUtf8(relative, subKey);
    }
    std::replace(relative.begin(), relative.end(), '\\', '/');
    relative += suffix;
    return relative;
}

fs::path VIniFileKey::DiskPath(std::u16string_view subKey) const {
    return fs::path(NativePath(subKey));
}

fs::path VIniFileKey::ValueFilePath() const {
    return fs::path(NativePath({}, ".ini"));
}

VIniFileKey::Map& VIniFileKey::LoadedMap() {
    if (!m_map) {
        m_map = std::make_unique<Map>();
        std::string bytes;
        // The status of the file read stands for the one FileStatus would
        // take: a load then costs no separate look at the file.
        std::optional<platform::FileStatus> status;
        const platform::ReadResult result =
            IsRoot() ? platform::ReadFileUpTo(NativePath({}, ".ini").c_str(), bytes,
                                              kMaxValueFileSize, &m_loadedIdentity, &status)
            : m_parentFolder
                ? platform::StoreFolder::ReadAt(*m_parentFolder, m_leaf + ".ini", bytes,
                                                kMaxValueFileSize, &m_loadedIdentity, &status)
                : m_folder->Read(RelativePath({}, ".ini"), bytes, kMaxValueFileSize,
                                 &m_loadedIdentity, &status);
        if (!m_fileStatus && status) m_fileStatus = status;
        switch (result) {
            case platform::ReadResult::kRead:
                m_loadResult = m_map->Parse(std::move(bytes));
                break;
            case platform::ReadResult::kTooLarge:
                m_loadResult = VIniParseResult{VIniStop::FileTooLarge, 1};
                m_report.SetMessageId(EFBIG);
                break;
            case platform::ReadResult::kUnreadable:
                break;
        }
        m_modified = false;
    }
    return *m_map;
}

const platform::FileStatus& VIniFileKey::FileStatus() {
    if (!m_fileStatus) {
        m_fileStatus = IsRoot() ? platform::GetFileStatus(NativePath({}, ".ini").c_str())
                       : m_parentFolder
                           ? platform::StoreFolder::StatusAt(*m_parentFolder, m_leaf + ".ini")
                           : m_folder->Status(RelativePath({}, ".ini"));
    }
    return *m_fileStatus;
}

bool VIniFileKey::IsValidSubKeyName(std::u16string_view name) {
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(name.find(u'\\', start), name.size());
        const std::u16string_view part = name.substr(start, end - start);
        if (part.empty() || part == u"." || part == u".." ||
            part.find_first_of(std::u16string_view(u"/\0", 2)) != std::u16string_view::npos) {
            return false;
        }
        if (end == name.size()) return true;
        start = end + 1;
    }
}

bool VIniFileKey::QuerySecurityDescriptor(const char16_t* name, VSecurityDescriptor& descriptor) {
    VStringArray text;
    if (!QueryStringArray(name, text)) return false;
    std::optional<VSecurityDescriptor> parsed = VSecurityDescriptor::FromText(text);
    if (!parsed) return false;
    descriptor = std::move(*parsed);
    return true;
}

bool VIniFileKey::QueryStringArray(const char16_t* name, VStringArray& value) {
    if (!name) return false;
    const Map& map = LoadedMap();
    const std::optional<size_t> index = map.Find(name);
    return index && map.GetStringArray(*index, value);
}

bool VIniFileKey::QueryBinary(const char16_t* name, void* buffer, uint32_t& size) {
    if (!name) return false;
    const Map& map = LoadedMap();
    const std::optional<size_t> index = map.Find(name);
    return index && map.GetBinary(*index, buffer, size);
}

bool VIniFileKey::QueryString(const char16_t* name, VUnicodeString& value) {
    if (!name) return false;
    const Map& map = LoadedMap();
    const std::optional<size_t> index = map.Find(name);
    return index && map.GetString(*index, value);
}

bool VIniFileKey::QueryDword(const char16_t* name, uint32_t& value) {
    if (!name) return false;
    return QueryDword(std::u16string_view(name), value);
}

bool VIniFileKey::QueryDwordByName(const VUnicodeString& name, uint32_t& value) {
    return QueryDword(name.str(), value);
}

bool VIniFileKey::QueryStringByName(const VUnicodeString& name, VUnicodeString& value) {
    const Map& map = LoadedMap();
    const std::optional<size_t> index = map.Find(name.str());
    return index && map.GetString(*index, value);
}

bool VIniFileKey::QueryDword(std::u16string_view name, uint32_t& value) {
    // Listing a folder of sessions asks every key this: until the values are
    // read, the value file's existence answers, which saves reading hundreds
    // of value files. Once they are read (see Prefetch), the value itself
    // answers, as for any other name.
    if (!m_map && name == u"Is Session") {
        if (FileStatus().exists && !FileStatus().isFolder && !FileStatus().special) {
            value = 1;
            return true;
        }
    }
    const Map& map = LoadedMap();
    const std::optional<size_t> index = map.Find(name);
    return index && map.GetDword(*index, value);
}

void VIniFileKey::Prefetch() {
    LoadedMap();
}

bool VIniFileKey::Store(const char16_t* name, std::unique_ptr<VIniFileData> data) {
    LoadedMap().Set(name, std::move(data));
    m_modified = true;
    return true;
}

bool VIniFileKey::SetSecurityDescriptor(const char16_t* name,
                                        const VSecurityDescriptor& descriptor) {
    return SetStringArray(name, descriptor.ToText());
}

bool VIniFileKey::SetStringArray(const char16_t* name, const VStringArray& value) {
    if (!IsStorableName(name)) return false;
    for (const VUnicodeString& element : value) {
        if (HasLineBreak(element.str())) return false;
    }
    return Store(name, std::make_unique<VIniFileDataStringSz>(value));
}

bool VIniFileKey::SetBinary(const char16_t* name, const void* data, uint32_t size) {
    if (!IsStorableName(name) || (!data && size != 0)) return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    return Store(name,
                 std::make_unique<VIniFileDataBinary>(std::vector<uint8_t>(bytes, bytes + size)));
}

bool VIniFileKey::SetString(const char16_t* name, const char16_t* value) {
    const std::u16string_view text = value ? value : u"";
    if (!IsStorableName(name) || HasLineBreak(text)) return false;
    return Store(name, std::make_unique<VIniFileDataString>(VUnicodeString(text)));
}

bool VIniFileKey::SetDword(const char16_t* name, uint32_t value) {
    if (!IsStorableName(name)) return false;
    return Store(name, std::make_unique<VIniFileDataDword>(value));
}

bool VIniFileKey::DeleteValue(const char16_t* name) {
    if (!name) return false;
    return Store(name, nullptr);
}

bool VIniFileKey::DeleteSubKey(const char16_t* name) {
    // A read-only handle never changes the disk, and a name that would leave
    // the store deletes nothing.
    if (!name || m_readOnly || !IsValidSubKeyName(name)) return false;
    const std::string folder = RelativePath(name);
    platform::StoreFolder::Lock lock(*m_folder, ParentOf(folder));
    const platform::FileStatus folderStatus = m_folder->Status(folder);
    const platform::FileStatus fileStatus = m_folder->Status(folder + ".ini");
    // A plain file named like the key's folder is no part of it and stays; a
    // link in either place goes, never what it points to.
    int error = 0;
    if (folderStatus.isFolder || (folderStatus.special && !fileStatus.exists))
        error = m_folder->RemoveTree(folder);
    if (!error && fileStatus.exists && !fileStatus.isFolder)
        error = m_folder->RemoveTree(folder + ".ini");
    return error ? Fail(error) : true;
}

bool VIniFileKey::SubKeyExists(const char16_t* name) {
    if (!name || !IsValidSubKeyName(name)) return false;
    if (std::u16string_view(name).find(u'\\') == std::u16string_view::npos) {
        if (const std::shared_ptr<int> own = OwnFolder()) {
            const std::string leaf = VUnicodeString(name).ToUtf8();
            if (platform::StoreFolder::StatusAt(*own, leaf).isFolder) return true;
            const platform::FileStatus file = platform::StoreFolder::StatusAt(*own, leaf + ".ini");
            return file.exists && !file.isFolder && !file.special;
        }
    }
    const std::string folder = RelativePath(name);
    if (m_folder->Status(folder).isFolder) return true;
    const platform::FileStatus fileStatus = m_folder->Status(folder + ".ini");
    return fileStatus.exists && !fileStatus.isFolder && !fileStatus.special;
}

bool VIniFileKey::IsWritable() {
    if (m_readOnly) return false;
    const platform::FileStatus& status = FileStatus();
    return !(status.exists &&
             (status.readOnly || status.special || status.size > kMaxValueFileSize));
}

bool VIniFileKey::IsHidden(bool folder) {
    const platform::FileStatus status =
        folder ? (IsRoot() ? platform::GetFileStatus(DiskPath()) : m_folder->Status(RelativePath()))
               : FileStatus();
    return status.exists && status.hidden;
}

bool VIniFileKey::MoveSubKey(const char16_t* from, const char16_t* to) {
    if (const int error = MoveOrCopy(from, to, false)) return Fail(error);
    return true;
}

bool VIniFileKey::CopySubKey(const char16_t* from, const char16_t* to) {
    if (const int error = MoveOrCopy(from, to, true)) return Fail(error);
    return true;
}

// A key is a folder and a value file beside it; either may be missing. A
// move renames both with renameat2(RENAME_NOREPLACE), so it never replaces
// what appeared at the target meanwhile, carries every file below the folder
// whether the store lists it or not, and cannot be seen half-done (only a
// key that has both a folder and a value file, which sessions and folders
// never have, takes two renames; the second failing undoes the first). A copy
// is built under a temporary key name beside the target, flushed, and
// published the same way. Both hold the locks of the two parent folders, in
// path order, so a concurrent write-back into the source either lands before
// the move or finds the key gone.
int VIniFileKey::MoveOrCopy(const char16_t* fromName, const char16_t* toName, bool copy) {
    if (!fromName || !toName || !IsValidSubKeyName(fromName) || !IsValidSubKeyName(toName))
        return EINVAL;
    if (m_readOnly) return EROFS;
    const std::u16string_view fromView(fromName);
    const std::u16string_view toView(toName);
    if (toView.starts_with(fromView) &&
        (toView.size() == fromView.size() || toView[fromView.size()] == u'\\'))
        return toView.size() == fromView.size() ? EEXIST : EINVAL;
    const std::string from = RelativePath(fromName);
    const std::string to = RelativePath(toName);
    const std::string fromParent = ParentOf(from);
    const std::string toParent = ParentOf(to);
    // Checked before any folder of the target is made, so that a refused
    // move or copy leaves nothing behind; checked again under the locks.
    {
        const platform::FileStatus folder = m_folder->Status(from);
        const platform::FileStatus file = m_folder->Status(from + ".ini");
        if (!folder.exists && !file.exists) return ENOENT;
        if (m_folder->Status(to).exists || m_folder->Status(to + ".ini").exists) return EEXIST;
    }
    if (const int error = m_folder->MakeFolders(toParent)) return error;
    std::optional<platform::StoreFolder::Lock> first;
    std::optional<platform::StoreFolder::Lock> second;
    first.emplace(*m_folder, std::min(fromParent, toParent));
    second.emplace(*m_folder, std::max(fromParent, toParent));

    const platform::FileStatus fromFolder = m_folder->Status(from);
    const platform::FileStatus fromFile = m_folder->Status(from + ".ini");
    if (fromFolder.special || fromFile.special) return ELOOP;
    const bool hasFolder = fromFolder.isFolder;
    const bool hasFile = fromFile.exists && !fromFile.isFolder;
    if (!hasFolder && !hasFile) return ENOENT;
    if (m_folder->Status(to).exists || m_folder->Status(to + ".ini").exists) return EEXIST;

    // Publishes `source` (and its value file) at `to`.
    auto publish = [&](const std::string& source) -> int {
        if (hasFolder) {
            if (const int error = m_folder->Rename(source, to)) return error;
        }
        if (hasFile) {
            if (const int error = m_folder->Rename(source + ".ini", to + ".ini")) {
                if (hasFolder) m_folder->Rename(to, source);
                return error;
            }
        }
        return 0;
    };
    if (!copy) return publish(from);

    const std::string temporary =
        (toParent.empty() ? std::string() : toParent + "/") + MakeTemporaryKeyName().ToUtf8();
    auto discard = [&](int error) {
        m_folder->RemoveTree(temporary);
        m_folder->RemoveTree(temporary + ".ini");
        return error;
    };
    if (hasFolder) {
        if (const int error = m_folder->Copy(from, temporary)) return discard(error);
    }
    if (hasFile) {
        if (const int error = m_folder->Copy(from + ".ini", temporary + ".ini"))
            return discard(error);
    }
    if (const int error = m_folder->Sync()) return discard(error);
    if (const int error = publish(temporary)) return discard(error);
    return 0;
}

bool VIniFileKey::SetKeySecurity(const VSecurityDescriptor&) {
    return false;
}

std::shared_ptr<int> VIniFileKey::OwnFolder() {
    if (!m_ownFolder) {
        const int fd = m_folder->OpenFolder(RelativePath());
        if (fd >= 0) {
            m_ownFolder = std::shared_ptr<int>(new int(fd), [](int* held) {
                ::close(*held);
                delete held;
            });
        }
    }
    return m_ownFolder;
}

VProfilePrivateKey* VIniFileKey::OpenSubKey(const char16_t* name,
                                            const VSecurityDescriptor* descriptor) {
    if (!name || !IsValidSubKeyName(name)) return new VNullProfileKey;
    auto* key =
        new VIniFileKey(m_path + u"\\" + name, m_folderLength, m_readOnly, descriptor, m_folder);
    if (std::u16string_view(name).find(u'\\') == std::u16string_view::npos) {
        key->m_parentFolder = OwnFolder();
        if (key->m_parentFolder) key->m_leaf = VUnicodeString(name).ToUtf8();
    }
    return key;
}

VProfilePrivateKeyIterator* VIniFileKey::CreateIterator(bool values) {
    return new Iterator(*this, values);
}

// ---- Iterator -------------------------------------------------------------------

namespace {

// A name found on disk is listed only if opening it would find the same
// entry again: one component, valid, and surviving the UTF-8 round trip.
bool IsListableName(const std::string& onDisk, const VUnicodeString& name) {
    return name.str().find(u'\\') == std::u16string::npos &&
           VIniFileKey::IsValidSubKeyName(name.str()) && name.ToUtf8() == onDisk;
}

}  // namespace

VIniFileKey::Iterator::Iterator(VIniFileKey& key, bool values) : m_key(key), m_values(values) {
    if (values) {
        const Map& map = key.LoadedMap();
        for (size_t i = 0; i < map.GetSize(); ++i) {
            if (map.Exists(i)) m_names.Add(VUnicodeString(std::u16string(map.GetName(i))));
        }
    } else {
        // Links, FIFOs, devices and sockets are never listed: the store does
        // not follow or open them (`sessiondeck check` reports them).
        std::vector<platform::StoreEntry> entries;
        key.m_folder->List(key.RelativePath(), entries);
        std::unordered_set<std::u16string> taken;
        for (const platform::StoreEntry& entry : entries) {
            if (entry.kind != platform::EntryKind::kFolder) continue;
            VUnicodeString name = VUnicodeString::FromUtf8(entry.name);
            if (IsListableName(entry.name, name) && taken.insert(name.str()).second)
                m_names.Add(std::move(name));
        }
        for (const platform::StoreEntry& entry : entries) {
            if (entry.kind != platform::EntryKind::kFile || entry.name.size() < 4) continue;
            const std::string stem = entry.name.substr(0, entry.name.size() - 4);
            if (!EqualsNoCase(VUnicodeString::FromUtf8(entry.name.substr(stem.size())).str(),
                              u".ini"))
                continue;
            VUnicodeString name = VUnicodeString::FromUtf8(stem);
            if (IsListableName(stem, name) && taken.insert(name.str()).second)
                m_names.Add(std::move(name));
        }
    }
    std::sort(m_names.begin(), m_names.end(), NameBefore);
}

bool VIniFileKey::Iterator::Next(VUnicodeString& name) {
    if (m_next >= m_names.GetSize()) return false;
    name = m_names[m_next++];
    return true;
}

bool VIniFileKey::Iterator::NextValue(VUnicodeString& name, int& kind) {
    if (!m_values) {
        if (!Next(name)) return false;
        kind = kValueKindSubKey;
        return true;
    }
    // Values deleted since the iterator was made are passed over.
    while (m_next < m_names.GetSize()) {
        const VUnicodeString& candidate = m_names[m_next++];
        const Map& map = m_key.LoadedMap();
        const std::optional<size_t> index = map.Find(candidate.str());
        if (index && map.Exists(*index)) {
            name = candidate;
            kind = map.GetKind(*index);
            return true;
        }
    }
    return false;
}

// ---- Store and factory ------------------------------------------------------------

VIniFileStore::VIniFileStore(const VUnicodeString& folder) : m_folder(folder) {
    // "F/" would put the root's value file inside F as ".ini" instead of
    // beside it as "F.ini".
    std::u16string& text = m_folder.str();
    while (text.size() > 1 && text.back() == u'/') text.pop_back();
}

VProfilePrivateKey* VIniFileStore::OpenRootKey(bool readOnly) {
    // An empty folder would make the working directory the store.
    if (m_folder.IsEmpty()) return new VNullProfileKey;
    return new VIniFileKey(m_folder, readOnly, nullptr);
}

VProfilePrivateStore* VIniFileStoreFactory::CreateStore() {
    return new VIniFileStore(m_folder);
}
