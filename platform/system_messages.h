// The operating system's own error texts, looked up by error number.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sessiondeck {

// The system's description of error number `code` (an errno value here), in
// UTF-8, or nullopt when the system does not know the number.
std::optional<std::string> SystemErrorDescription(uint32_t code);

}  // namespace sessiondeck
