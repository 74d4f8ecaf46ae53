// System error texts from the C library's errno table.
#include "platform/system_messages.h"

#include <climits>
#include <cstring>

namespace sessiondeck {

std::optional<std::string> SystemErrorDescription(uint32_t code) {
    if (code > static_cast<uint32_t>(INT_MAX)) return std::nullopt;
    // strerrordesc_np, unlike strerror, answers null for a number it does not
    // know instead of inventing "Unknown error N", and it never localises, so
    // the same number gives the same text on every machine.
    const char* text = strerrordesc_np(static_cast<int>(code));
    if (!text) return std::nullopt;
    return std::string(text);
}

}  // namespace sessiondeck
