// The value-file format: reading the four encodings into a value map, the stored value classes, and
// building a file from a map.
#include "profile/ini_value_file.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "foundation/codepage.h"
#include "foundation/hex_digits.h"
#include "profile/ini_store_private.h"

namespace sessiondeck {

namespace ini_format {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr size_t kBytesPerLine = 32;

// ---- Writing ------------------------------------------------------------------

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

// ---- Writing values -------------------------------------------------------------

void WriteDwordValue(std::string& file, std::u16string_view name, uint32_t value) {
    AppendHeader(file, 'D', name);
    AppendHexDword(file, value);
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
    AppendHexDword(file, static_cast<uint32_t>(size));
    file += "\r\n";
    // One append per line of up to 32 bytes. Each byte has a space before it,
    // so this is not AppendHex.
    char line[kBytesPerLine * 3 + 2];
    for (size_t start = 0; start < size; start += kBytesPerLine) {
        const size_t end = std::min(start + kBytesPerLine, size);
        char* out = line;
        for (size_t i = start; i < end; ++i) {
            *out++ = ' ';
            *out++ = HexDigit(bytes[i] >> 4);
            *out++ = HexDigit(bytes[i]);
        }
        *out++ = '\r';
        *out++ = '\n';
        file.append(line, static_cast<size_t>(out - line));
    }
}

void WriteArrayValue(std::string& file, std::u16string_view name, const VStringArray& value) {
    AppendHeader(file, 'Z', name);
    AppendHexDword(file, static_cast<uint32_t>(value.GetSize()));
    file += "\r\n";
    for (const VUnicodeString& element : value) {
        file.push_back(' ');
        AppendUtf8(file, element.str());
        file += "\r\n";
    }
}

// The value map decodes the values it read from UTF-8 and 8-bit files
// through these.
template VIniStop ReadBinaryLines<char>(LineReader<char>&, uint32_t, uint8_t*);
template VStringArray DecodeArray<char>(std::string_view, uint32_t, FieldEncoding);
template std::unique_ptr<VIniFileData> MakeData<char>(int, uint32_t, std::string_view,
                                                      FieldEncoding);

}  // namespace ini_format

using namespace ini_format;

const char* DescribeIniStop(VIniStop stop) {
    switch (stop) {
        case VIniStop::EndOfFile:
            return "end of file";
        case VIniStop::MalformedLine:
            return "not a value header";
        case VIniStop::NoClosingQuote:
            return "the value name has no closing quote";
        case VIniStop::NoEquals:
            return "no '=' after the value name";
        case VIniStop::UnknownType:
            return "unknown value type";
        case VIniStop::BadCount:
            return "the count is not eight hexadecimal digits";
        case VIniStop::BinaryOddDigit:
            return "a binary line ends in half a byte";
        case VIniStop::BinaryBadDigit:
            return "a binary byte is not hexadecimal";
        case VIniStop::BinaryEndOfFile:
            return "the file ends inside a binary value";
        case VIniStop::ArrayNoLeadingSpace:
            return "a string-array line lacks its leading space";
        case VIniStop::ArrayEndOfFile:
            return "the file ends inside a string array";
        case VIniStop::FileTooLarge:
            return "the file is too large";
    }
    return "unknown";
}

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

// ---- Parsing into a map ----------------------------------------------------------

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

namespace {

// Where the header line of the last value named `name` starts (its type letter), or npos when
// no line starts with one. Only for a name of ASCII characters without a quote or a line break:
// such a name stands in the file as it is, so the header is the literal `X:"name"=` at the start
// of a line, and nothing else in a file can look like it (array and binary lines start with a
// blank; a string's text never holds a line break).
template <class Char>
size_t FindLastHeader(std::basic_string_view<Char> text, std::u16string_view name) {
    std::basic_string<Char> pattern;
    pattern.reserve(name.size() + 4);
    pattern += Char(':');
    pattern += Char('"');
    for (char16_t c : name) pattern += static_cast<Char>(c);
    pattern += Char('"');
    pattern += Char('=');
    // The C library's substring search skips ahead by the whole pattern where it can; the
    // string's own find stops at every colon of the file.
    auto find = [&](size_t from) -> size_t {
        if constexpr (std::is_same_v<Char, char>) {
            if (from >= text.size()) return std::string_view::npos;
            const void* at =
                ::memmem(text.data() + from, text.size() - from, pattern.data(), pattern.size());
            return at ? static_cast<size_t>(static_cast<const char*>(at) - text.data())
                      : std::string_view::npos;
        } else {
            return text.find(pattern, from);
        }
    };
    size_t last = std::basic_string_view<Char>::npos;
    for (size_t at = find(0); at != std::basic_string_view<Char>::npos; at = find(at + 1)) {
        if (at == 0) continue;
        const size_t start = at - 1;
        if (start == 0 || text[start - 1] == Char('\n') || text[start - 1] == Char('\r'))
            last = start;
    }
    return last;
}

bool IsPlainAsciiName(std::u16string_view name) {
    if (name.empty()) return false;
    for (char16_t c : name)
        if (c >= 0x80 || c == u'"' || c == u'\r' || c == u'\n') return false;
    return true;
}

// The last value named `name` in `text` when it is a string (a later value of the same name
// replaces an earlier one in a map too), decoded as the map decodes it.
template <class Char>
bool FindStringIn(std::basic_string_view<Char> text, std::u16string_view name,
                  FieldEncoding encoding, VUnicodeString& value) {
    // The product filter asks every session of a folder for its protocol, which stands near the
    // top of a file of a few hundred lines: parsing only the lines before the last header of the
    // name, and that header's line, answers as parsing the whole file would when those lines
    // parse cleanly (a stop before the header means the whole parse never reaches it).
    if (IsPlainAsciiName(name)) {
        const size_t header = FindLastHeader(text, name);
        if (header == std::basic_string_view<Char>::npos) return false;
        if (text[header] == Char('S') &&
            ParseValues(text.substr(0, header), [](const FileValue<Char>&) {}).stop ==
                VIniStop::EndOfFile) {
            LineReader<Char> reader(text.substr(header));
            std::basic_string_view<Char> line;
            reader.Next(line);
            std::optional<FileValue<Char>> found;
            ParseValues(line, [&](const FileValue<Char>& one) { found = one; });
            if (found && found->kind == kValueKindString) {
                DecodeFieldInto(value.str(), found->text, encoding);
                return true;
            }
        }
    }
    std::optional<FileValue<Char>> last;
    std::u16string decoded;  // reused: most names then cost no allocation
    ParseValues(text, [&](const FileValue<Char>& found) {
        if constexpr (std::is_same_v<Char, char>) {
            // ASCII names, nearly all of them, compare without decoding.
            if (IsAscii(found.name)) {
                if (found.name.size() == name.size() &&
                    std::equal(found.name.begin(), found.name.end(), name.begin()))
                    last = found;
                return;
            }
        }
        DecodeFieldInto(decoded, found.name, encoding);
        if (decoded == name) last = found;
    });
    if (!last || last->kind != kValueKindString) return false;
    DecodeFieldInto(value.str(), last->text, encoding);
    return true;
}

}  // namespace

bool VIniFileKey::Map::FindString(std::string_view source, std::u16string_view name,
                                  VUnicodeString& value) {
    if (source.substr(0, 2) == "\xFF\xFE" || source.substr(0, 2) == "\xFE\xFF") {
        const std::u16string text = Utf16BytesToUtf16(source.substr(2), source[0] == '\xFE');
        return FindStringIn(std::u16string_view(text), name, FieldEncoding::Utf16, value);
    }
    const bool utf8 = source.substr(0, 3) == kUtf8Mark;
    return FindStringIn(utf8 ? source.substr(3) : source, name, ByteEncoding(utf8), value);
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

}  // namespace sessiondeck
