// Time zones: the zones the system knows (from ICU), their names and daylight rules, and
// conversions between a zone's local time and UTC.
#pragma once

#include <cstdint>

#include "foundation/containers.h"
#include "foundation/export.h"
#include "foundation/unicode_string.h"

namespace sessiondeck {

// A calendar time, field for field as the hosts exchange it. wDayOfWeek is 0
// for Sunday; conversions fill it in and ignore it on input.
struct SYSTEMTIME {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;
    uint16_t wDayOfWeek = 0;
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
};

// A zone's yearly rule. Biases are minutes with UTC = local time + bias.
// StandardDate and DaylightDate are the changes to standard and to daylight
// time, given as month, weekday (wDayOfWeek) and its occurrence in the month
// (wDay 1 to 5, 5 meaning the last) at the local time wHour:wMinute that is
// valid just before the change; wYear non-zero makes them one fixed date
// instead. wMonth 0 in either means the zone keeps standard time.
struct TIME_ZONE_INFORMATION {
    int32_t Bias = 0;
    char16_t StandardName[32] = {};
    SYSTEMTIME StandardDate;
    int32_t StandardBias = 0;
    char16_t DaylightName[32] = {};
    SYSTEMTIME DaylightDate;
    int32_t DaylightBias = 0;
};

class SESSIONDECK_API TimeZone {
public:
    TimeZone();
    virtual ~TimeZone();

    int TimeZoneCount() const { return static_cast<int>(m_zones.GetSize()); }
    // By list position (west to east); null outside the list.
    const char16_t* Identifier(int index) const;
    const char16_t* Description(int index) const;
    // The zone an abbreviation ("EST", "pdt", "GMT") stands for; null for an
    // empty or unknown abbreviation or when that zone is not listed.
    const char16_t* Identifier(const char16_t* abbreviation) const;
    // The daylight label when daylight time is in effect in the zone now, else
    // the standard label; null for an unknown or empty identifier.
    const char16_t* Label(const char16_t* identifier) const;

    // A zone's rule and whether daylight time is in effect there now. A null or
    // empty identifier asks for the system's zone and leaves `daylightNow`
    // alone. Zero for an unknown identifier.
    int GetTimeZoneInformation(const char16_t* identifier, TIME_ZONE_INFORMATION& information,
                               int& daylightNow) const;

    // The bias in effect at local time `local` in `zone` (null: the system's
    // zone): mode 0 standard time, > 0 daylight time, < 0 whichever applies
    // then. A zone without both change dates always has standard time. A null
    // `bias` only tests. False when the system's zone cannot be had.
    static bool GetTzSpecificBias(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* local,
                                  long* bias, int mode);
    static bool TzSpecificTimeToUtc(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* local,
                                    SYSTEMTIME* utc, int mode);
    // For a negative mode, whether daylight time applies is decided at the UTC
    // moment, so that each UTC time has exactly one local time.
    static bool UtcToTzSpecificTime(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* utc,
                                    SYSTEMTIME* local, int mode);

    // Conversions by the zone's whole history (not just this year's rule). A
    // local time that a change to daylight time skips is read as standard
    // time; one that the change back repeats is read as the first (daylight)
    // occurrence. False for an unknown identifier or an invalid time.
    bool LocalToUtc(const char16_t* identifier, const SYSTEMTIME& local, SYSTEMTIME& utc) const;
    bool UtcToLocal(const char16_t* identifier, const SYSTEMTIME& utc, SYSTEMTIME& local) const;

    // Zero when the zones could not be listed.
    int LoadTimeZones();

private:
    struct Zone {
        VUnicodeString identifier;
        VUnicodeString standardLabel;
        VUnicodeString daylightLabel;
        VUnicodeString description;
        TIME_ZONE_INFORMATION information;
    };
    int IdentifierIndex(const char16_t* identifier) const;

    VArray<Zone> m_zones;
};

// A valid calendar time (fields in range, the day existing in its month).
SESSIONDECK_API bool IsValidSystemTime(const SYSTEMTIME& time);

}  // namespace sessiondeck
