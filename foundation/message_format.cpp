// The message-format syntax: inserts %1..%99 with optional !fmt! conversions, the % escapes, and
// the single-line mode.
#include "foundation/message_format.h"

#include <algorithm>
#include <map>

namespace sessiondeck {

namespace {

// Larger widths or precisions are refused: they would only ever come from a
// broken format and would make the formatter allocate without bound.
constexpr int kMaxFieldWidth = 4096;

enum class Length { None, Short, Long, LongLong, Int32, Int64, Wide };

struct Conversion {
    bool leftAlign = false;
    bool plusSign = false;
    bool spaceSign = false;
    bool zeroPad = false;
    bool alternate = false;
    int width = 0;
    int precision = -1;  // -1: none given
    Length length = Length::None;
    char16_t type = u's';

    bool TakesString() const { return type == u's' || type == u'S'; }
};

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Reads a run of digits as a field size; false when it exceeds the limit.
bool ReadFieldSize(std::u16string_view text, size_t& pos, int& value) {
    value = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        value = value * 10 + (text[pos] - u'0');
        if (value > kMaxFieldWidth) return false;
        ++pos;
    }
    return true;
}

// Parses the text between the two '!' of %n!fmt!, printf style:
// flags, width, .precision, length modifier, type. nullopt when malformed.
std::optional<Conversion> ParseConversion(std::u16string_view text) {
    Conversion c;
    size_t pos = 0;
    for (; pos < text.size(); ++pos) {
        const char16_t f = text[pos];
        if (f == u'-') {
            c.leftAlign = true;
        } else if (f == u'+') {
            c.plusSign = true;
        } else if (f == u' ') {
            c.spaceSign = true;
        } else if (f == u'0') {
            c.zeroPad = true;
        } else if (f == u'#') {
            c.alternate = true;
        } else {
            break;
        }
    }
    if (!ReadFieldSize(text, pos, c.width)) return std::nullopt;
    if (pos < text.size() && text[pos] == u'.') {
        ++pos;
        if (!ReadFieldSize(text, pos, c.precision)) return std::nullopt;
    }
    const std::u16string_view rest = text.substr(pos);
    auto take = [&](std::u16string_view prefix, Length length) {
        if (!rest.starts_with(prefix)) return false;
        c.length = length;
        pos += prefix.size();
        return true;
    };
    take(u"ll", Length::LongLong) || take(u"I64", Length::Int64) || take(u"I32", Length::Int32) ||
        take(u"l", Length::Long) || take(u"h", Length::Short) || take(u"w", Length::Wide);
    if (pos + 1 != text.size()) return std::nullopt;
    c.type = text[pos];
    switch (c.type) {
        case u'd':
        case u'i':
        case u'u':
        case u'x':
        case u'X':
        case u'o':
            // A wide modifier names a character width, not an integer size.
            if (c.length == Length::Wide) return std::nullopt;
            break;
        case u'c':
        case u's':
        case u'S':
            if (c.length != Length::None && c.length != Length::Short && c.length != Length::Long &&
                c.length != Length::Wide)
                return std::nullopt;
            break;
        default:
            return std::nullopt;
    }
    return c;
}

// How wide an integer argument is, in bits. "l" follows this platform's long
// so that a long passed through a va_list keeps all of its value.
int IntegerBits(Length length) {
    switch (length) {
        case Length::Short:
            return 16;
        case Length::Long:
            return static_cast<int>(sizeof(long) * 8);
        case Length::LongLong:
        case Length::Int64:
            return 64;
        default:
            return 32;
    }
}

void Pad(std::u16string& out, size_t count, char16_t fill) {
    out.append(count, fill);
}

// Appends `body` padded to the conversion's width. `prefix` (sign, 0x) stays
// in front of any zero padding.
void AppendField(std::u16string& out, const Conversion& c, std::u16string_view prefix,
                 std::u16string_view body, bool zeroPadAllowed) {
    const size_t used = prefix.size() + body.size();
    const size_t fill = c.width > 0 && static_cast<size_t>(c.width) > used ? c.width - used : 0;
    if (c.leftAlign) {
        out += prefix;
        out += body;
        Pad(out, fill, u' ');
    } else if (c.zeroPad && zeroPadAllowed) {
        out += prefix;
        Pad(out, fill, u'0');
        out += body;
    } else {
        Pad(out, fill, u' ');
        out += prefix;
        out += body;
    }
}

void AppendNumber(std::u16string& out, const Conversion& c, uint64_t raw) {
    const int bits = IntegerBits(c.length);
    const uint64_t mask = bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
    uint64_t value = raw & mask;

    if (c.type == u'c') {
        const char16_t ch = static_cast<char16_t>(value & 0xFFFF);
        AppendField(out, c, {}, std::u16string_view(&ch, 1), false);
        return;
    }

    std::u16string prefix;
    const bool isSigned = c.type == u'd' || c.type == u'i';
    if (isSigned) {
        const uint64_t signBit = uint64_t{1} << (bits - 1);
        if (value & signBit) {
            prefix = u"-";
            value = (~value + 1) & mask;  // magnitude; correct for the most negative value too
        } else if (c.plusSign) {
            prefix = u"+";
        } else if (c.spaceSign) {
            prefix = u" ";
        }
    }

    const unsigned base = (c.type == u'x' || c.type == u'X') ? 16 : c.type == u'o' ? 8 : 10;
    // Any radix, width and sign the directive asks for: not the fixed-width
    // HexDword of foundation/hex_digits.h.
    const char* digitSet = c.type == u'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    std::u16string digits;
    for (uint64_t v = value; v != 0; v /= base)
        digits.push_back(static_cast<char16_t>(digitSet[v % base]));
    // C rule: precision 0 with value 0 prints no digits at all.
    if (digits.empty() && c.precision != 0) digits = u"0";
    if (c.precision > 0 && digits.size() < static_cast<size_t>(c.precision)) {
        digits.append(c.precision - digits.size(), u'0');
    }
    if (c.alternate && base == 8 && (digits.empty() || digits.back() != u'0'))
        digits.push_back(u'0');
    std::reverse(digits.begin(), digits.end());
    if (c.alternate && base == 16 && value != 0) prefix += c.type == u'X' ? u"0X" : u"0x";

    AppendField(out, c, prefix, digits, c.precision < 0);
}

void AppendString(std::u16string& out, const Conversion& c, std::u16string_view text) {
    if (c.precision >= 0 && text.size() > static_cast<size_t>(c.precision))
        text = text.substr(0, c.precision);
    AppendField(out, c, {}, text, false);
}

// One %n or %n!fmt! found in a format, starting at the '%'.
struct InsertToken {
    int number = 0;                        // 1..99
    size_t end = 0;                        // index just past the token
    std::optional<Conversion> conversion;  // nullopt when malformed
};

// Reads the insert starting at format[pos] == '%', format[pos+1] in '1'..'9'.
InsertToken ReadInsert(std::u16string_view format, size_t pos) {
    InsertToken t;
    size_t p = pos + 1;
    t.number = format[p++] - u'0';
    if (p < format.size() && IsDigit(format[p])) t.number = t.number * 10 + (format[p++] - u'0');
    t.end = p;
    if (p < format.size() && format[p] == u'!') {
        const size_t close = format.find(u'!', p + 1);
        if (close == std::u16string_view::npos) return t;  // unclosed: malformed
        t.conversion = ParseConversion(format.substr(p + 1, close - p - 1));
        t.end = close + 1;
    } else {
        t.conversion = Conversion{};  // the default conversion is !s!
    }
    return t;
}

bool StartsInsert(std::u16string_view format, size_t pos) {
    return pos + 1 < format.size() && format[pos] == u'%' && format[pos + 1] >= u'1' &&
           format[pos + 1] <= u'9';
}

}  // namespace

// Single-line mode replaces the line breaks written in the format text (CR LF,
// a lone CR or a lone LF) with one space each and drops the spaces left at the
// end, so "Text.\r\n" becomes "Text.". Hard breaks asked for with %n, %r and
// the text of inserts are kept as they are: they were requested explicitly.
std::u16string InsertName(std::u16string_view format, std::u16string_view name) {
    std::u16string text(format);
    const size_t at = text.find(u"%s");
    if (at != std::u16string::npos) text.replace(at, 2, name);
    return text;
}

std::optional<std::u16string> FormatMessageString(std::u16string_view format,
                                                  const std::vector<MessageArgument>& args,
                                                  MessageFormatOptions options) {
    std::u16string out;
    out.reserve(format.size());
    size_t pos = 0;
    while (pos < format.size()) {
        const char16_t ch = format[pos];
        if (ch == u'\r' || ch == u'\n') {
            if (options.singleLine) {
                out += u' ';
                pos += (ch == u'\r' && pos + 1 < format.size() && format[pos + 1] == u'\n') ? 2 : 1;
            } else {
                out += ch;
                ++pos;
            }
            continue;
        }
        if (ch != u'%') {
            out += ch;
            ++pos;
            continue;
        }
        if (pos + 1 >= format.size()) {  // a lone '%' at the very end stays as written
            out += ch;
            ++pos;
            continue;
        }
        if (StartsInsert(format, pos)) {
            const InsertToken token = ReadInsert(format, pos);
            if (options.ignoreInserts) {
                // Leave the placeholder visible exactly as written; an unclosed
                // !fmt! is left as plain text after it.
                out.append(format.substr(pos, token.end - pos));
                pos = token.end;
                continue;
            }
            if (!token.conversion) return std::nullopt;
            if (static_cast<size_t>(token.number) > args.size()) return std::nullopt;
            const MessageArgument& arg = args[token.number - 1];
            if (token.conversion->TakesString()) {
                const auto* text = std::get_if<std::u16string_view>(&arg);
                if (!text) return std::nullopt;
                AppendString(out, *token.conversion, *text);
            } else if (const auto* s = std::get_if<int64_t>(&arg)) {
                AppendNumber(out, *token.conversion, static_cast<uint64_t>(*s));
            } else if (const auto* u = std::get_if<uint64_t>(&arg)) {
                AppendNumber(out, *token.conversion, *u);
            } else {
                return std::nullopt;
            }
            pos = token.end;
            continue;
        }
        const char16_t escape = format[pos + 1];
        pos += 2;
        if (escape == u'0') break;  // %0: the message ends here, without a line break
        switch (escape) {
            case u'n':
                out += u"\r\n";
                break;
            case u'r':
                out += u'\r';
                break;
            case u't':
                out += u'\t';
                break;
            case u'b':
                out += u' ';
                break;
            default:
                // %%, %., %!, "% " and any other character: the character itself.
                out += escape;
                break;
        }
    }
    if (options.singleLine) {
        while (!out.empty() && out.back() == u' ') out.pop_back();
    }
    return out;
}

namespace {

// What one insert of a va_list format must be read as.
enum class ReadAs { String, Int, UInt, Long, ULong, LongLong, ULongLong };

ReadAs ReadTypeOf(const Conversion& c) {
    if (c.TakesString()) return ReadAs::String;
    const bool isSigned = c.type == u'd' || c.type == u'i' || c.type == u'c';
    switch (c.length) {
        case Length::Long:
            return isSigned ? ReadAs::Long : ReadAs::ULong;
        case Length::LongLong:
        case Length::Int64:
            return isSigned ? ReadAs::LongLong : ReadAs::ULongLong;
        default:
            // Narrower arguments arrive promoted to int.
            return isSigned ? ReadAs::Int : ReadAs::UInt;
    }
}

// Signed and unsigned of one size are read alike: only the size and the
// string/number choice must agree between two uses of one insert.
int ReadClass(ReadAs r) {
    switch (r) {
        case ReadAs::String:
            return 0;
        case ReadAs::Int:
        case ReadAs::UInt:
            return 1;
        case ReadAs::Long:
        case ReadAs::ULong:
            return 2;
        default:
            return 3;
    }
}

}  // namespace

// The arguments are read in insert-number order, each with the type its first
// conversion names. An insert number that the format skips (say %1 and %3
// without %2) makes the call invalid: the skipped argument's type is unknown,
// and reading it with a guessed type would be undefined.
std::optional<std::u16string> FormatMessageStringV(std::u16string_view format, va_list args) {
    std::map<int, ReadAs> types;
    for (size_t pos = 0; pos + 1 < format.size();) {
        if (format[pos] != u'%') {
            ++pos;
            continue;
        }
        if (format[pos + 1] == u'0') break;  // nothing after %0 is output
        if (!StartsInsert(format, pos)) {
            pos += 2;
            continue;
        }
        const InsertToken token = ReadInsert(format, pos);
        if (!token.conversion) return std::nullopt;
        const ReadAs type = ReadTypeOf(*token.conversion);
        auto [it, added] = types.emplace(token.number, type);
        if (!added && ReadClass(it->second) != ReadClass(type)) return std::nullopt;
        pos = token.end;
    }
    const int highest = types.empty() ? 0 : types.rbegin()->first;
    if (static_cast<size_t>(highest) != types.size()) return std::nullopt;

    std::vector<MessageArgument> list;
    list.reserve(types.size());
    va_list copy;
    va_copy(copy, args);
    bool valid = true;
    for (const auto& [number, type] : types) {
        switch (type) {
            case ReadAs::String: {
                const char16_t* text = va_arg(copy, const char16_t*);
                if (!text) valid = false;
                list.emplace_back(std::u16string_view(text ? text : u""));
                break;
            }
            case ReadAs::Int:
                list.emplace_back(static_cast<int64_t>(va_arg(copy, int)));
                break;
            case ReadAs::UInt:
                list.emplace_back(static_cast<uint64_t>(va_arg(copy, unsigned)));
                break;
            case ReadAs::Long:
                list.emplace_back(static_cast<int64_t>(va_arg(copy, long)));
                break;
            case ReadAs::ULong:
                list.emplace_back(static_cast<uint64_t>(va_arg(copy, unsigned long)));
                break;
            case ReadAs::LongLong:
                list.emplace_back(static_cast<int64_t>(va_arg(copy, long long)));
                break;
            case ReadAs::ULongLong:
                list.emplace_back(static_cast<uint64_t>(va_arg(copy, unsigned long long)));
                break;
        }
    }
    va_end(copy);
    if (!valid) return std::nullopt;
    return FormatMessageString(format, list);
}

}  // namespace sessiondeck
