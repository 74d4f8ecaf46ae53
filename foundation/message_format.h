// The message-format syntax (%1..%99, %n!fmt!, escapes) used for report texts and the library's own
// string building.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "foundation/export.h"

namespace sessiondeck {

// One argument of a formatting call: a string or a number. Which one an insert
// must be is given by its conversion (%1 and %1!s! take strings, %1!d! numbers).
using MessageArgument = std::variant<std::u16string_view, int64_t, uint64_t>;

struct MessageFormatOptions {
    bool ignoreInserts = false;  // leave every %n as it stands
    bool singleLine = false;     // the message's own line breaks become spaces
};

// Formats `format`. Returns nullopt when the call is invalid: a placeholder
// with no argument, a number where a string is wanted or the other way round,
// or a malformed conversion. The caller then retries with inserts ignored.
SESSIONDECK_API std::optional<std::u16string> FormatMessageString(
    std::u16string_view format, const std::vector<MessageArgument>& args,
    MessageFormatOptions options = {});

// Formats with arguments taken from a va_list, each read with the type its
// conversion names (strings as const char16_t*), in the order of the insert
// numbers. Returns nullopt as above.
SESSIONDECK_API std::optional<std::u16string> FormatMessageStringV(std::u16string_view format,
                                                                   va_list args);

// `format` with its first "%s" replaced by `name` (the texts that keep printf's placeholder
// for one name); `format` itself when it has none.
SESSIONDECK_API std::u16string InsertName(std::u16string_view format, std::u16string_view name);

// Convenience for the library's own string building (value lines, numbered
// names): formats or, when the call is invalid, returns the format itself.
//
// Integers of every width and signedness are accepted (a plain variant
// conversion would be ambiguous for unsigned int); strings as anything that
// converts to std::u16string_view.
template <class T>
MessageArgument ToMessageArgument(const T& value) {
    if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
        return MessageArgument(static_cast<int64_t>(value));
    } else if constexpr (std::is_integral_v<T>) {
        return MessageArgument(static_cast<uint64_t>(value));
    } else {
        return MessageArgument(std::u16string_view(value));
    }
}

template <class... Args>
std::u16string FormatMessageText(std::u16string_view format, const Args&... args) {
    std::vector<MessageArgument> list{ToMessageArgument(args)...};
    auto text = FormatMessageString(format, list);
    return text ? *text : std::u16string(format);
}

}  // namespace sessiondeck
