// Text conversions between UTF-16, UTF-8 and the system's 8-bit code page (Windows-1252).
#pragma once

#include <string>
#include <string_view>

#include "foundation/export.h"

namespace sessiondeck {

// The system 8-bit code page is Windows-1252; this is the one place that knows it.
SESSIONDECK_API std::u16string AnsiToUtf16(std::string_view ansi);
SESSIONDECK_API std::string Utf16ToAnsi(std::u16string_view text);

// Malformed input is replaced with U+FFFD (UTF-8 to UTF-16) or with the UTF-8
// encoding of U+FFFD (lone surrogates), never rejected.
SESSIONDECK_API std::u16string Utf8ToUtf16(std::string_view utf8);
SESSIONDECK_API std::string Utf16ToUtf8(std::u16string_view text);

// UTF-16 with the given byte order, as read from a file; an odd trailing byte is dropped.
SESSIONDECK_API std::u16string Utf16BytesToUtf16(std::string_view bytes, bool bigEndian);

}  // namespace sessiondeck
