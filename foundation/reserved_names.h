// Names the file system reserves for devices, which can name neither a file nor a session.
#pragma once

#include <string_view>

#include "foundation/export.h"

namespace sessiondeck {

// True when the whole of `name`, compared case-insensitively, is one of the 23
// reserved device names (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, CLOCK$).
// "con.txt" or "CON " are not: only the whole name counts.
SESSIONDECK_API bool IsReservedDeviceName(std::u16string_view name);

}  // namespace sessiondeck
