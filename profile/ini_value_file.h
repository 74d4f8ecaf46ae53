// The value-file format: the stored value classes, and the reading and writing pieces that the
// value map shares with the parser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "foundation/containers.h"
#include "foundation/unicode_string.h"
#include "profile/ini_store.h"
#include "profile/profile_store.h"

namespace sessiondeck {

// ---- Stored values -----------------------------------------------------------

// One stored value. The getters and setters of the base class refuse; each
// subclass answers for its own kind only, which is what keeps the store
// strictly typed.
class VIniFileData {
public:
    virtual ~VIniFileData() = default;
    virtual bool GetStringArray(VStringArray&) const { return false; }
    // Same contract as VProfilePrivateKey::QueryBinary.
    virtual bool GetBinary(void*, uint32_t&) const { return false; }
    virtual bool GetString(VUnicodeString&) const { return false; }
    virtual bool GetDword(uint32_t&) const { return false; }
    virtual void SetStringArray(const VStringArray&) {}
    virtual void SetBinary(const void*, uint32_t) {}
    virtual void SetString(std::u16string_view) {}
    virtual void SetDword(uint32_t) {}
    virtual int GetKind() const = 0;
    virtual std::unique_ptr<VIniFileData> Clone() const = 0;
    // Appends this value's lines, UTF-8 encoded, to the file being built.
    virtual void Write(std::string& file, std::u16string_view name) const = 0;
};

class VIniFileDataDword : public VIniFileData {
public:
    std::unique_ptr<VIniFileData> Clone() const override {
        return std::make_unique<VIniFileDataDword>(*this);
    }
    explicit VIniFileDataDword(uint32_t value = 0) : m_value(value) {}
    bool GetDword(uint32_t& value) const override;
    void SetDword(uint32_t value) override { m_value = value; }
    int GetKind() const override { return kValueKindDword; }
    void Write(std::string& file, std::u16string_view name) const override;

private:
    uint32_t m_value;
};

class VIniFileDataString : public VIniFileData {
public:
    std::unique_ptr<VIniFileData> Clone() const override {
        return std::make_unique<VIniFileDataString>(*this);
    }
    explicit VIniFileDataString(VUnicodeString value = {}) : m_value(std::move(value)) {}
    bool GetString(VUnicodeString& value) const override;
    void SetString(std::u16string_view value) override { m_value = VUnicodeString(value); }
    int GetKind() const override { return kValueKindString; }
    void Write(std::string& file, std::u16string_view name) const override;

private:
    VUnicodeString m_value;
};

class VIniFileDataBinary : public VIniFileData {
public:
    std::unique_ptr<VIniFileData> Clone() const override {
        return std::make_unique<VIniFileDataBinary>(*this);
    }
    VIniFileDataBinary() = default;
    explicit VIniFileDataBinary(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    bool GetBinary(void* buffer, uint32_t& size) const override;
    void SetBinary(const void* data, uint32_t size) override;
    int GetKind() const override { return kValueKindBinary; }
    void Write(std::string& file, std::u16string_view name) const override;

private:
    std::vector<uint8_t>
        m_bytes;  // never more than 2^32-1 bytes: the file gives the count in 8 hex digits
};

class VIniFileDataStringSz : public VIniFileData {
public:
    std::unique_ptr<VIniFileData> Clone() const override {
        return std::make_unique<VIniFileDataStringSz>(*this);
    }
    explicit VIniFileDataStringSz(VStringArray value = {}) : m_value(std::move(value)) {}
    bool GetStringArray(VStringArray& value) const override;
    void SetStringArray(const VStringArray& value) override { m_value = value; }
    int GetKind() const override { return kValueKindStringArray; }
    void Write(std::string& file, std::u16string_view name) const override;

private:
    VStringArray m_value;
};

// ---- Reading and writing pieces ---------------------------------------------------

namespace ini_format {

// How the text of a name or value is turned into UTF-16. UTF-8 and 8-bit
// files are parsed as bytes: every character the format gives a meaning to
// is ASCII, and neither encoding uses ASCII bytes inside other characters, so
// only names and values need converting, not the whole file.
enum class FieldEncoding { Utf8, Ansi, Utf16 };

FieldEncoding ByteEncoding(bool utf8);
bool IsAscii(std::string_view text);
void DecodeFieldInto(std::u16string& out, std::u16string_view text, FieldEncoding);
void DecodeFieldInto(std::u16string& out, std::string_view text, FieldEncoding encoding);

void AppendUtf8(std::string& out, std::u16string_view text);
// The start of a value's header line: `type`, then the quoted name and "=".
void AppendHeader(std::string& out, char type, std::u16string_view name);
void WriteDwordValue(std::string& file, std::u16string_view name, uint32_t value);

size_t FindLineEnd(std::string_view text, size_t from);

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

// The bytes of a binary value, checked (`out` null) or decoded into `out`.
template <class Char>
VIniStop ReadBinaryLines(LineReader<Char>& reader, uint32_t count, uint8_t* out);
// The `count` elements of a string array held in `lines`.
template <class Char>
VStringArray DecodeArray(std::basic_string_view<Char> lines, uint32_t count,
                         FieldEncoding encoding);
// A value read from a file, as an object of its own.
template <class Char>
std::unique_ptr<VIniFileData> MakeData(int kind, uint32_t number, std::basic_string_view<Char> text,
                                       FieldEncoding encoding);

}  // namespace ini_format

}  // namespace sessiondeck
