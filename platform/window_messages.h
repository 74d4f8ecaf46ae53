// Registered window messages: a process-wide number for each message name.
#pragma once

#include <cstdint>
#include <string_view>

namespace sessiondeck {

namespace platform {

// The first and last numbers handed out, the range the desktop reserves for
// registered messages.
inline constexpr uint32_t kFirstRegisteredMessage = 0xC000;
inline constexpr uint32_t kLastRegisteredMessage = 0xFFFF;

// The number of the message `name`: the same number for the same name (names
// compare without regard to ASCII case) for the life of the process, and a
// new one in the registered range for a new name. 0 when the name is empty or
// the range is used up.
uint32_t RegisterWindowMessage(std::u16string_view name);

// Whether the desktop smooths the edges of screen fonts. False when the
// question cannot be answered, as on a desktop without a system-wide setting.
bool QueryFontSmoothing(bool& enabled);

}  // namespace platform

}  // namespace sessiondeck
