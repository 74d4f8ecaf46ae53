// Conversions through ICU: the 8-bit code page converter and UTF-8 with substitution.
#include "foundation/codepage.h"

#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <memory>

namespace sessiondeck {

namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// ICU converters are not thread-safe; one per thread keeps conversions cheap
// without a lock.
UConverter* AnsiConverter() {
    thread_local ConverterPtr converter = [] {
        UErrorCode status = U_ZERO_ERROR;
        ConverterPtr c(ucnv_open("windows-1252", &status));
        return U_SUCCESS(status) ? std::move(c) : ConverterPtr();
    }();
    return converter.get();
}

}  // namespace

std::u16string AnsiToUtf16(std::string_view ansi) {
    std::u16string out;
    if (ansi.empty()) return out;
    UConverter* conv = AnsiConverter();
    if (!conv) {  // Without ICU data the bytes are taken as Latin-1.
        out.assign(ansi.begin(), ansi.end());
        for (auto& c : out) c = static_cast<unsigned char>(c);
        return out;
    }
    // One byte never yields more than one UTF-16 code unit in Windows-1252.
    out.resize(ansi.size());
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_toUChars(conv, out.data(), static_cast<int32_t>(out.size()), ansi.data(),
                              static_cast<int32_t>(ansi.size()), &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) n = 0;
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
    std::string out;
    if (text.empty()) return out;
    UConverter* conv = AnsiConverter();
    if (!conv) {
        for (char16_t c : text) out.push_back(c < 0x100 ? static_cast<char>(c) : '?');
        return out;
    }
    ucnv_reset(conv);
    out.resize(text.size() * 2 + 4);
    UErrorCode status = U_ZERO_ERROR;
    int32_t n = ucnv_fromUChars(conv, out.data(), static_cast<int32_t>(out.size()), text.data(),
                                static_cast<int32_t>(text.size()), &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) n = 0;
    out.resize(static_cast<size_t>(n));
    return out;
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
    std::u16string out;
    if (utf8.empty()) return out;
    // A UTF-8 sequence never yields more UTF-16 code units than it has bytes.
    out.resize(utf8.size());
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, utf8.data(),
                         static_cast<int32_t>(utf8.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) length = 0;
    out.resize(static_cast<size_t>(length));
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    if (text.empty()) return out;
    out.resize(text.size() * 3);
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                       static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    if (U_FAILURE(status) && status != U_STRING_NOT_TERMINATED_WARNING) length = 0;
    out.resize(static_cast<size_t>(length));
    return out;
}

std::u16string Utf16BytesToUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string out(bytes.size() / 2, u'\0');
    for (size_t i = 0; i < out.size(); ++i) {
        const auto b0 = static_cast<unsigned char>(bytes[2 * i]);
        const auto b1 = static_cast<unsigned char>(bytes[2 * i + 1]);
        out[i] = bigEndian ? char16_t((b0 << 8) | b1) : char16_t((b1 << 8) | b0);
    }
    return out;
}

}  // namespace sessiondeck
