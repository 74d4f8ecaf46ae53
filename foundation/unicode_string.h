// VUnicodeString and VString: the library's UTF-16 and 8-bit string values and their comparisons.
#pragma once

#include <compare>
#include <cstddef>
#include <string>
#include <string_view>

#include "foundation/export.h"

namespace sessiondeck {

// Case-insensitive comparison used throughout the store: the common length is
// compared code unit by code unit with case folding, then the shorter string
// comes first. Returns <0, 0 or >0.
SESSIONDECK_API int CompareNoCase(std::u16string_view a, std::u16string_view b);
inline bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && CompareNoCase(a, b) == 0;
}
// The text with every code unit folded as CompareNoCase folds it: two texts
// compare equal under CompareNoCase exactly when their folded forms are equal,
// and folded forms compared code unit by code unit order as CompareNoCase does.
SESSIONDECK_API std::u16string FoldNoCase(std::u16string_view text);
// `text` without the characters of `blanks` at either end.
SESSIONDECK_API std::u16string_view TrimBlanks(std::u16string_view text,
                                               std::u16string_view blanks = u" \t");

// A UTF-16 string value. Comparison operators are exact (code unit by code
// unit); the NoCase members are the case-insensitive comparison above.
class SESSIONDECK_API VUnicodeString {
public:
    VUnicodeString() = default;
    VUnicodeString(const char16_t* text) : m_text(text ? text : u"") {}
    VUnicodeString(const char16_t* text, size_t length) : m_text(text, length) {}
    VUnicodeString(std::u16string text) : m_text(std::move(text)) {}
    VUnicodeString(std::u16string_view text) : m_text(text) {}

    // Conversions at the edges: UTF-8 (file names, terminal output) and the
    // system's 8-bit code page (Windows-1252).
    static VUnicodeString FromUtf8(std::string_view utf8);
    static VUnicodeString FromAnsi(std::string_view ansi);
    std::string ToUtf8() const;
    std::string ToAnsi() const;

    const char16_t* c_str() const { return m_text.c_str(); }
    size_t Length() const { return m_text.size(); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }
    const std::u16string& str() const { return m_text; }
    std::u16string& str() { return m_text; }
    operator std::u16string_view() const { return m_text; }
    char16_t operator[](size_t index) const { return m_text[index]; }

    int CompareNoCase(std::u16string_view other) const {
        return sessiondeck::CompareNoCase(m_text, other);
    }
    bool EqualsNoCase(std::u16string_view other) const {
        return sessiondeck::EqualsNoCase(m_text, other);
    }

    VUnicodeString& operator+=(std::u16string_view more) {
        m_text += more;
        return *this;
    }
    VUnicodeString& operator+=(char16_t c) {
        m_text += c;
        return *this;
    }
    friend VUnicodeString operator+(VUnicodeString a, std::u16string_view b) { return a += b; }

    friend bool operator==(const VUnicodeString& a, const VUnicodeString& b) = default;
    friend std::strong_ordering operator<=>(const VUnicodeString& a,
                                            const VUnicodeString& b) = default;
    friend bool operator==(const VUnicodeString& a, std::u16string_view b) { return a.m_text == b; }
    friend bool operator==(const VUnicodeString& a, const char16_t* b) {
        return a.m_text == (b ? b : u"");
    }
    friend bool operator==(const VUnicodeString& a, const std::u16string& b) {
        return a.m_text == b;
    }

private:
    std::u16string m_text;
};

// An 8-bit string, used where protocol code wants 8-bit text.
class SESSIONDECK_API VString {
public:
    VString() = default;
    VString(const char* text) : m_text(text ? text : "") {}
    VString(std::string text) : m_text(std::move(text)) {}
    VString(std::string_view text) : m_text(text) {}

    const char* c_str() const { return m_text.c_str(); }
    size_t Length() const { return m_text.size(); }
    bool IsEmpty() const { return m_text.empty(); }
    const std::string& str() const { return m_text; }
    std::string& str() { return m_text; }
    operator std::string_view() const { return m_text; }

    friend bool operator==(const VString& a, const VString& b) = default;
    friend std::strong_ordering operator<=>(const VString& a, const VString& b) = default;

private:
    std::string m_text;
};

}  // namespace sessiondeck
