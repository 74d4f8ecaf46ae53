// PLACEHOLDER: replaced by the real formatter.
#include "foundation/message_format.h"

std::optional<std::u16string> FormatMessageString(std::u16string_view format,
                                                  const std::vector<MessageArgument>&,
                                                  MessageFormatOptions) {
    return std::u16string(format);
}
std::optional<std::u16string> FormatMessageStringV(std::u16string_view format, va_list) {
    return std::u16string(format);
}
