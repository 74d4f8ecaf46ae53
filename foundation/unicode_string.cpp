// Case-insensitive comparison and the conversions of VUnicodeString.
#include "foundation/unicode_string.h"

#include <unicode/uchar.h>

#include "foundation/codepage.h"

namespace sessiondeck {

namespace {

inline char16_t FoldCodeUnit(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    // Folding one code unit at a time keeps surrogate halves as they are, so
    // two strings compare the same way whatever they contain.
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    return static_cast<char16_t>(u_foldCase(c, U_FOLD_CASE_DEFAULT));
}

}  // namespace

int CompareNoCase(std::u16string_view a, std::u16string_view b) {
    const size_t common = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < common; ++i) {
        const char16_t fa = FoldCodeUnit(a[i]);
        const char16_t fb = FoldCodeUnit(b[i]);
        if (fa != fb) return fa < fb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::u16string_view TrimBlanks(std::u16string_view text, std::u16string_view blanks) {
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::u16string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

std::u16string FoldNoCase(std::u16string_view text) {
    std::u16string folded(text);
    for (char16_t& c : folded) c = FoldCodeUnit(c);
    return folded;
}

VUnicodeString VUnicodeString::FromUtf8(std::string_view utf8) {
    return Utf8ToUtf16(utf8);
}
VUnicodeString VUnicodeString::FromAnsi(std::string_view ansi) {
    return AnsiToUtf16(ansi);
}
std::string VUnicodeString::ToUtf8() const {
    return Utf16ToUtf8(m_text);
}
std::string VUnicodeString::ToAnsi() const {
    return Utf16ToAnsi(m_text);
}

}  // namespace sessiondeck
