// Time zones over ICU: the zone list, each zone's yearly rule in the day-of-week-in-month form,
// and conversions by that rule or by the zone's full history.
#include "data/time_zone.h"

#include <unicode/basictz.h>
#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/strenum.h>
#include <unicode/timezone.h>
#include <unicode/tzrule.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "foundation/message_format.h"

namespace sessiondeck {

namespace {

constexpr int64_t kMsPerMinute = 60 * 1000;
constexpr int64_t kMsPerDay = 24 * 60 * kMsPerMinute;

bool IsLeap(int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int MonthLength(int64_t year, int month) {
    static constexpr int kLengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kLengths[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date (month 1 to 12).
int64_t DaysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int WeekdayOfDays(int64_t days) {
    return static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday (4)
}

int64_t ToMs(const SYSTEMTIME& time) {
    return DaysFromCivil(time.wYear, time.wMonth, time.wDay) * kMsPerDay +
           ((time.wHour * 60 + time.wMinute) * 60 + time.wSecond) * int64_t{1000} +
           time.wMilliseconds;
}

SYSTEMTIME FromMs(int64_t ms) {
    int64_t days = ms / kMsPerDay;
    int64_t rest = ms % kMsPerDay;
    if (rest < 0) {
        rest += kMsPerDay;
        --days;
    }
    SYSTEMTIME time;
    time.wDayOfWeek = static_cast<uint16_t>(WeekdayOfDays(days));
    const int64_t shifted = days + 719468;
    const int64_t era = (shifted >= 0 ? shifted : shifted - 146096) / 146097;
    const int64_t dayOfEra = shifted - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    time.wYear = static_cast<uint16_t>(yearOfEra + era * 400 + (month <= 2));
    time.wMonth = static_cast<uint16_t>(month);
    time.wDay = static_cast<uint16_t>(day);
    time.wHour = static_cast<uint16_t>(rest / (60 * kMsPerMinute));
    time.wMinute = static_cast<uint16_t>(rest / kMsPerMinute % 60);
    time.wSecond = static_cast<uint16_t>(rest / 1000 % 60);
    time.wMilliseconds = static_cast<uint16_t>(rest % 1000);
    return time;
}

// The moment, in the zone's local time, of a change date in `year`.
int64_t ChangeMs(const SYSTEMTIME& change, int64_t year) {
    int day = change.wDay;
    if (change.wYear == 0) {
        const int first = WeekdayOfDays(DaysFromCivil(year, change.wMonth, 1));
        day =
            1 + (change.wDayOfWeek - first + 7) % 7 + 7 * (std::clamp<int>(change.wDay, 1, 5) - 1);
        while (day > MonthLength(year, change.wMonth)) day -= 7;
    } else {
        year = change.wYear;
    }
    return DaysFromCivil(year, change.wMonth, day) * kMsPerDay +
           ((change.wHour * 60 + change.wMinute) * 60 + change.wSecond) * int64_t{1000} +
           change.wMilliseconds;
}

bool HasDaylight(const TIME_ZONE_INFORMATION& zone) {
    return zone.StandardDate.wMonth != 0 && zone.DaylightDate.wMonth != 0;
}

bool ValidChange(const SYSTEMTIME& change) {
    return change.wMonth >= 1 && change.wMonth <= 12 && change.wDayOfWeek <= 6 &&
           change.wHour < 24 && change.wMinute < 60;
}

// Daylight time runs from its start up to the change back; in the southern
// hemisphere that span crosses the new year.
bool InSpan(int64_t at, int64_t start, int64_t end) {
    return start < end ? (at >= start && at < end) : (at >= start || at < end);
}

// The change to daylight time is given in standard time and the change back in
// daylight time, so a local time compares with both as it stands.
bool DaylightAtLocal(const TIME_ZONE_INFORMATION& zone, const SYSTEMTIME& local) {
    return InSpan(ToMs(local), ChangeMs(zone.DaylightDate, local.wYear),
                  ChangeMs(zone.StandardDate, local.wYear));
}

bool DaylightAtUtc(const TIME_ZONE_INFORMATION& zone, int64_t utc) {
    const int64_t standardBias = (zone.Bias + zone.StandardBias) * kMsPerMinute;
    const int64_t daylightBias = (zone.Bias + zone.DaylightBias) * kMsPerMinute;
    const int64_t year = FromMs(utc - standardBias).wYear;
    return InSpan(utc, ChangeMs(zone.DaylightDate, year) + standardBias,
                  ChangeMs(zone.StandardDate, year) + daylightBias);
}

icu::UnicodeString ToIcu(std::u16string_view text) {
    return icu::UnicodeString(text.data(), static_cast<int32_t>(text.size()));
}

VUnicodeString FromIcu(const icu::UnicodeString& text) {
    return VUnicodeString(std::u16string(text.getBuffer(), static_cast<size_t>(text.length())));
}

void CopyName(char16_t (&target)[32], const VUnicodeString& name) {
    const size_t length = std::min<size_t>(name.Length(), 31);
    std::copy_n(name.c_str(), length, target);
    target[length] = 0;
}

// The local wall time just before an ICU transition, as a change date in the
// day-of-week-in-month form (the last occurrence written as 5).
SYSTEMTIME ChangeDate(UDate utcStart, int32_t previousOffset) {
    SYSTEMTIME local = FromMs(static_cast<int64_t>(utcStart) + previousOffset);
    SYSTEMTIME change;
    change.wMonth = local.wMonth;
    change.wDayOfWeek = local.wDayOfWeek;
    change.wDay = local.wDay + 7 > MonthLength(local.wYear, local.wMonth)
                      ? 5
                      : static_cast<uint16_t>((local.wDay - 1) / 7 + 1);
    change.wHour = local.wHour;
    change.wMinute = local.wMinute;
    change.wSecond = local.wSecond;
    return change;
}

// The zone's rule for the current year, from the rules ICU says apply now.
TIME_ZONE_INFORMATION InformationOf(const icu::TimeZone& zone) {
    TIME_ZONE_INFORMATION information;
    UErrorCode status = U_ZERO_ERROR;
    const UDate now = icu::Calendar::getNow();
    int32_t raw = 0;
    int32_t dst = 0;
    zone.getOffset(now, false, raw, dst, status);
    information.Bias = static_cast<int32_t>(-raw / kMsPerMinute);

    icu::UnicodeString name;
    CopyName(information.StandardName,
             FromIcu(zone.getDisplayName(false, icu::TimeZone::LONG, icu::Locale::getUS(), name)));
    CopyName(information.DaylightName,
             FromIcu(zone.getDisplayName(true, icu::TimeZone::LONG, icu::Locale::getUS(), name)));

    const auto* basic = dynamic_cast<const icu::BasicTimeZone*>(&zone);
    if (!basic) return information;
    icu::InitialTimeZoneRule* initial = nullptr;
    icu::AnnualTimeZoneRule* standardRule = nullptr;
    icu::AnnualTimeZoneRule* daylightRule = nullptr;
    status = U_ZERO_ERROR;
    basic->getSimpleRulesNear(now, initial, standardRule, daylightRule, status);
    std::unique_ptr<icu::InitialTimeZoneRule> ownInitial(initial);
    std::unique_ptr<icu::AnnualTimeZoneRule> ownStandard(standardRule);
    std::unique_ptr<icu::AnnualTimeZoneRule> ownDaylight(daylightRule);
    if (U_FAILURE(status) || !standardRule || !daylightRule) return information;

    // Near the end of a year the rules ICU hands out start with the next one.
    const int32_t year = std::max({static_cast<int32_t>(FromMs(static_cast<int64_t>(now)).wYear),
                                   standardRule->getStartYear(), daylightRule->getStartYear()});
    const int32_t standardRaw = standardRule->getRawOffset();
    const int32_t daylightSaving = daylightRule->getDSTSavings();
    UDate daylightStart = 0;
    UDate standardStart = 0;
    if (!daylightRule->getStartInYear(year, standardRaw, standardRule->getDSTSavings(),
                                      daylightStart) ||
        !standardRule->getStartInYear(year, daylightRule->getRawOffset(), daylightSaving,
                                      standardStart)) {
        return information;
    }
    information.Bias = static_cast<int32_t>(-standardRaw / kMsPerMinute);
    information.StandardBias = static_cast<int32_t>(-standardRule->getDSTSavings() / kMsPerMinute);
    information.DaylightBias = static_cast<int32_t>(-daylightSaving / kMsPerMinute);
    information.DaylightDate =
        ChangeDate(daylightStart, standardRaw + standardRule->getDSTSavings());
    information.StandardDate =
        ChangeDate(standardStart, daylightRule->getRawOffset() + daylightSaving);
    return information;
}

bool SystemInformation(TIME_ZONE_INFORMATION& information) {
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createDefault());
    if (!zone) return false;
    information = InformationOf(*zone);
    return true;
}

std::unique_ptr<icu::TimeZone> CreateZone(const VUnicodeString& identifier) {
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(ToIcu(identifier)));
    if (!zone || *zone == icu::TimeZone::getUnknown()) return nullptr;
    return zone;
}

// The abbreviations hosts meet in remote listings, and the system zone names
// they stand for.
struct Abbreviation {
    const char16_t* abbreviation;
    const char16_t* zoneName;
};
constexpr Abbreviation kAbbreviations[] = {
    {u"CUT", u"GMT Standard"},     {u"UTC", u"GMT Standard"},      {u"GMT", u"GMT Standard"},
    {u"UT", u"GMT Standard"},      {u"AST", u"Atlantic Standard"}, {u"ADT", u"Atlantic Standard"},
    {u"EST", u"Eastern Standard"}, {u"EDT", u"Eastern Standard"},  {u"CST", u"Central Standard"},
    {u"CDT", u"Central Standard"}, {u"MST", u"Mountain Standard"}, {u"MDT", u"Mountain Standard"},
    {u"PST", u"Pacific Standard"}, {u"PDT", u"Pacific Standard"},  {u"YST", u"Alaskan Standard"},
    {u"YDT", u"Alaskan Standard"}, {u"HST", u"Hawaiian Standard"}, {u"HDT", u"Hawaiian Standard"},
};

}  // namespace

bool IsValidSystemTime(const SYSTEMTIME& time) {
    return time.wYear >= 1601 && time.wYear <= 30827 && time.wMonth >= 1 && time.wMonth <= 12 &&
           time.wDay >= 1 && time.wDay <= MonthLength(time.wYear, time.wMonth) && time.wHour < 24 &&
           time.wMinute < 60 && time.wSecond < 60 && time.wMilliseconds < 1000;
}

TimeZone::TimeZone() {
    LoadTimeZones();
}

TimeZone::~TimeZone() = default;

int TimeZone::LoadTimeZones() {
    m_zones.RemoveAll();
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::StringEnumeration> ids(icu::TimeZone::createTimeZoneIDEnumeration(
        UCAL_ZONE_TYPE_CANONICAL, nullptr, nullptr, status));
    if (U_FAILURE(status) || !ids) return 0;
    while (const icu::UnicodeString* id = ids->snext(status)) {
        if (U_FAILURE(status)) break;
        const VUnicodeString identifier = FromIcu(*id);
        if (identifier.Length() < 2) continue;
        std::unique_ptr<icu::TimeZone> zone = CreateZone(identifier);
        if (!zone) continue;
        Zone record;
        record.identifier = identifier;
        record.information = InformationOf(*zone);
        record.standardLabel = record.information.StandardName;
        if (record.standardLabel.IsEmpty()) record.standardLabel = identifier;
        record.daylightLabel = record.information.DaylightName;
        icu::UnicodeString generic;
        zone->getDisplayName(false, icu::TimeZone::LONG_GENERIC, icu::Locale::getUS(), generic);
        const int32_t offset = -record.information.Bias;
        record.description = FormatMessageText(
            u"(UTC%1%2!02d!:%3!02d!) %4", offset < 0 ? u"-" : u"+", std::abs(offset) / 60,
            std::abs(offset) % 60, std::u16string_view(FromIcu(generic)));
        // West to east; a zone goes before those already listed with its bias.
        size_t at = 0;
        while (at < m_zones.GetSize() && m_zones[at].information.Bias > record.information.Bias)
            ++at;
        m_zones.InsertAt(at, std::move(record));
    }
    return 1;
}

const char16_t* TimeZone::Identifier(int index) const {
    if (index < 0 || index >= TimeZoneCount()) return nullptr;
    return m_zones[static_cast<size_t>(index)].identifier.c_str();
}

const char16_t* TimeZone::Description(int index) const {
    if (index < 0 || index >= TimeZoneCount()) return nullptr;
    return m_zones[static_cast<size_t>(index)].description.c_str();
}

const char16_t* TimeZone::Identifier(const char16_t* abbreviation) const {
    if (!abbreviation || !*abbreviation) return nullptr;
    for (const Abbreviation& entry : kAbbreviations) {
        if (!EqualsNoCase(entry.abbreviation, abbreviation)) continue;
        // ICU's names for these zones differ from the system names the table
        // uses ("Greenwich Mean Time" for "GMT Standard Time"), so the zone is
        // found through ICU's mapping of those names to zone identifiers.
        icu::UnicodeString id;
        UErrorCode status = U_ZERO_ERROR;
        icu::TimeZone::getIDForWindowsID(ToIcu(std::u16string(entry.zoneName) + u" Time"), nullptr,
                                         id, status);
        if (U_FAILURE(status) || id.isEmpty()) return nullptr;
        const int index = IdentifierIndex(FromIcu(id).c_str());
        return index < 0 ? nullptr : Identifier(index);
    }
    return nullptr;
}

int TimeZone::IdentifierIndex(const char16_t* identifier) const {
    if (!identifier || !*identifier) return -1;
    for (int pass = 0; pass < 2; ++pass) {
        VUnicodeString wanted(identifier);
        if (pass == 1) {
            // An alias ("US/Eastern", "UTC") names the zone its canonical id lists.
            icu::UnicodeString canonical;
            UErrorCode status = U_ZERO_ERROR;
            icu::TimeZone::getCanonicalID(ToIcu(wanted), canonical, status);
            if (U_FAILURE(status) || canonical.isEmpty()) return -1;
            wanted = FromIcu(canonical);
        }
        for (size_t i = 0; i < m_zones.GetSize(); ++i) {
            if (m_zones[i].identifier.EqualsNoCase(wanted)) return static_cast<int>(i);
        }
    }
    return -1;
}

const char16_t* TimeZone::Label(const char16_t* identifier) const {
    const int index = IdentifierIndex(identifier);
    if (index < 0) return nullptr;
    const Zone& zone = m_zones[static_cast<size_t>(index)];
    std::unique_ptr<icu::TimeZone> icuZone = CreateZone(zone.identifier);
    const bool daylight = icuZone && [&] {
        UErrorCode status = U_ZERO_ERROR;
        const bool inDaylight = icuZone->inDaylightTime(icu::Calendar::getNow(), status);
        return U_SUCCESS(status) && inDaylight;
    }();
    return daylight ? zone.daylightLabel.c_str() : zone.standardLabel.c_str();
}

int TimeZone::GetTimeZoneInformation(const char16_t* identifier, TIME_ZONE_INFORMATION& information,
                                     int& daylightNow) const {
    if (!identifier || !*identifier) return SystemInformation(information) ? 1 : 0;
    const int index = IdentifierIndex(identifier);
    if (index < 0) return 0;
    const Zone& zone = m_zones[static_cast<size_t>(index)];
    information = zone.information;
    std::unique_ptr<icu::TimeZone> icuZone = CreateZone(zone.identifier);
    UErrorCode status = U_ZERO_ERROR;
    daylightNow =
        icuZone && icuZone->inDaylightTime(icu::Calendar::getNow(), status) && U_SUCCESS(status)
            ? 1
            : 0;
    return 1;
}

bool TimeZone::GetTzSpecificBias(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* local,
                                 long* bias, int mode) {
    TIME_ZONE_INFORMATION system;
    if (!zone) {
        if (!SystemInformation(system)) return false;
        zone = &system;
    }
    bool daylight = false;
    if (HasDaylight(*zone) && mode != 0) {
        if (mode > 0) {
            daylight = true;
        } else {
            if (!local || !IsValidSystemTime(*local) || !ValidChange(zone->StandardDate) ||
                !ValidChange(zone->DaylightDate))
                return false;
            daylight = DaylightAtLocal(*zone, *local);
        }
    }
    if (bias) *bias = zone->Bias + (daylight ? zone->DaylightBias : zone->StandardBias);
    return true;
}

bool TimeZone::TzSpecificTimeToUtc(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* local,
                                   SYSTEMTIME* utc, int mode) {
    long bias = 0;
    if (!local || !utc || !IsValidSystemTime(*local) ||
        !GetTzSpecificBias(zone, local, &bias, mode))
        return false;
    *utc = FromMs(ToMs(*local) + bias * kMsPerMinute);
    return true;
}

bool TimeZone::UtcToTzSpecificTime(const TIME_ZONE_INFORMATION* zone, const SYSTEMTIME* utc,
                                   SYSTEMTIME* local, int mode) {
    if (!utc || !local || !IsValidSystemTime(*utc)) return false;
    TIME_ZONE_INFORMATION system;
    if (!zone) {
        if (!SystemInformation(system)) return false;
        zone = &system;
    }
    long bias = 0;
    if (mode < 0 && HasDaylight(*zone)) {
        if (!ValidChange(zone->StandardDate) || !ValidChange(zone->DaylightDate)) return false;
        bias = zone->Bias +
               (DaylightAtUtc(*zone, ToMs(*utc)) ? zone->DaylightBias : zone->StandardBias);
    } else if (!GetTzSpecificBias(zone, nullptr, &bias, mode < 0 ? 0 : mode)) {
        return false;
    }
    *local = FromMs(ToMs(*utc) - bias * kMsPerMinute);
    return true;
}

bool TimeZone::LocalToUtc(const char16_t* identifier, const SYSTEMTIME& local,
                          SYSTEMTIME& utc) const {
    const int index = IdentifierIndex(identifier);
    if (index < 0 || !IsValidSystemTime(local)) return false;
    std::unique_ptr<icu::TimeZone> zone =
        CreateZone(m_zones[static_cast<size_t>(index)].identifier);
    const auto* basic = dynamic_cast<const icu::BasicTimeZone*>(zone.get());
    if (!basic) return false;
    int32_t raw = 0;
    int32_t dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    basic->getOffsetFromLocal(static_cast<UDate>(ToMs(local)), UCAL_TZ_LOCAL_FORMER,
                              UCAL_TZ_LOCAL_FORMER, raw, dst, status);
    if (U_FAILURE(status)) return false;
    utc = FromMs(ToMs(local) - raw - dst);
    return true;
}

bool TimeZone::UtcToLocal(const char16_t* identifier, const SYSTEMTIME& utc,
                          SYSTEMTIME& local) const {
    const int index = IdentifierIndex(identifier);
    if (index < 0 || !IsValidSystemTime(utc)) return false;
    std::unique_ptr<icu::TimeZone> zone =
        CreateZone(m_zones[static_cast<size_t>(index)].identifier);
    if (!zone) return false;
    int32_t raw = 0;
    int32_t dst = 0;
    UErrorCode status = U_ZERO_ERROR;
    zone->getOffset(static_cast<UDate>(ToMs(utc)), false, raw, dst, status);
    if (U_FAILURE(status)) return false;
    local = FromMs(ToMs(utc) + raw + dst);
    return true;
}

}  // namespace sessiondeck
