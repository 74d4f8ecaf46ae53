// Environment variables in paths, the portable-drive folders, numeric addresses and the clock, as
// the library reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sessiondeck {

namespace platform {

// "%NAME%" becomes the variable's value. An unknown variable, an empty name
// ("%%") or a lone "%" stays as written, so that text meant for a later
// expansion step ("%Y", "%%") survives. Text is UTF-8.
std::string ExpandEnvironmentStrings(std::string_view text);

// The value of an environment variable; nullopt when it is unset or empty,
// which the library treats alike.
std::optional<std::string> NonEmptyEnvironmentVariable(const char* name);

// The folders of the portable (U3) drive the application runs from: the
// application's data folder and the drive's document folder. Nullopt when the
// application does not run from such a drive.
std::optional<std::string> PortableDataFolder();
std::optional<std::string> PortableDocumentFolder();

// Whether `text` is a numeric network address: an IPv4 dotted quad or an
// IPv6 literal (bare or in square brackets).
bool IsNumericNetworkAddress(std::string_view text);

// A calendar time split into fields.
struct CalendarTime {
    int year = 0;
    int month = 0;      // 1 to 12
    int dayOfWeek = 0;  // 0 Sunday
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Now, in UTC or in the process's local time zone.
CalendarTime CurrentTime(bool local);

}  // namespace platform

}  // namespace sessiondeck
