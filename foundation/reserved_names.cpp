// The reserved device names and their case-insensitive test.
#include "foundation/reserved_names.h"

#include <algorithm>
#include <iterator>

#include "foundation/unicode_string.h"

namespace sessiondeck {

namespace {

constexpr std::u16string_view kReservedDeviceNames[] = {
    u"CON",  u"PRN",  u"AUX",  u"NUL",  u"COM1", u"COM2", u"COM3",  u"COM4",
    u"COM5", u"COM6", u"COM7", u"COM8", u"COM9", u"LPT1", u"LPT2",  u"LPT3",
    u"LPT4", u"LPT5", u"LPT6", u"LPT7", u"LPT8", u"LPT9", u"CLOCK$"};
static_assert(std::size(kReservedDeviceNames) == 23);

}  // namespace

bool IsReservedDeviceName(std::u16string_view name) {
    return std::any_of(std::begin(kReservedDeviceNames), std::end(kReservedDeviceNames),
                       [&](std::u16string_view reserved) { return EqualsNoCase(name, reserved); });
}

}  // namespace sessiondeck
