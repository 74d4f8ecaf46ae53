// Time zones: the zone list, abbreviations, biases by mode, and conversions around the changes to
// and from daylight time, by the yearly rule and by the zone's history.
#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "data/time_zone.h"

using namespace sessiondeck;

namespace {

SYSTEMTIME At(int year, int month, int day, int hour, int minute = 0, int second = 0) {
    const auto u = [](int value) { return static_cast<uint16_t>(value); };
    return {u(year), u(month), 0, u(day), u(hour), u(minute), u(second), 0};
}

std::string Text(const SYSTEMTIME& t) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%03u dow %u", t.wYear, t.wMonth,
                  t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, t.wDayOfWeek);
    return text;
}

std::u16string Str(const char16_t* text) {
    return text ? std::u16string(text) : u"(null)";
}

const TimeZone& Zones() {
    static const TimeZone zones;
    return zones;
}

TIME_ZONE_INFORMATION Rule(const char16_t* identifier) {
    TIME_ZONE_INFORMATION information;
    int daylight = -7;
    EXPECT_NE(Zones().GetTimeZoneInformation(identifier, information, daylight), 0);
    EXPECT_TRUE(daylight == 0 || daylight == 1);
    return information;
}

}  // namespace

TEST(TimeZones, TheListRunsWestToEastAndHoldsTheKnownZones) {
    const TimeZone& zones = Zones();
    ASSERT_GT(zones.TimeZoneCount(), 300);
    std::u16string seen;
    long previousBias = 24 * 60;
    for (int i = 0; i < zones.TimeZoneCount(); ++i) {
        const std::u16string id = zones.Identifier(i);
        if (id == u"Europe/Berlin" || id == u"America/New_York")
            seen += std::u16string(zones.Description(i)).substr(0, 12);
        const long bias = Rule(id.c_str()).Bias;
        EXPECT_GE(previousBias, bias) << i;
        previousBias = bias;
    }
    EXPECT_EQ(seen, u"(UTC-05:00) (UTC+01:00) ");
    EXPECT_EQ(zones.Identifier(-1), nullptr);
    EXPECT_EQ(zones.Description(zones.TimeZoneCount()), nullptr);
}

TEST(TimeZones, AbbreviationsAndLabels) {
    const TimeZone& zones = Zones();
    for (const auto& [abbreviation, zone] : {std::pair{u"EST", u"America/New_York"},
                                             {u"edt", u"America/New_York"},
                                             {u"gmt", u"Europe/London"},
                                             {u"XYZ", u"(null)"},
                                             {u"", u"(null)"}})
        EXPECT_EQ(Str(zones.Identifier(abbreviation)), zone);
    EXPECT_EQ(zones.Label(u"Nowhere/Special"), nullptr);
    const std::u16string label = Str(zones.Label(u"europe/berlin"));
    EXPECT_TRUE(label == u"Central European Standard Time" ||
                label == u"Central European Summer Time")
        << std::string(label.begin(), label.end());
    // An alias names the zone of its canonical identifier.
    EXPECT_EQ(Str(zones.Label(u"US/Eastern")), Str(zones.Label(u"America/New_York")));
}

TEST(TimeZones, BerlinRuleConvertsAroundBothChanges) {
    const TIME_ZONE_INFORMATION berlin = Rule(u"Europe/Berlin");
    EXPECT_EQ(berlin.Bias + berlin.DaylightBias, -120);
    EXPECT_EQ(Text(berlin.DaylightDate), Text(At(0, 3, 5, 2)));   // last Sunday of March, 02:00
    EXPECT_EQ(Text(berlin.StandardDate), Text(At(0, 10, 5, 3)));  // last Sunday of October, 03:00

    const auto toUtc = [&](const SYSTEMTIME& local) {
        SYSTEMTIME utc;
        EXPECT_TRUE(TimeZone::TzSpecificTimeToUtc(&berlin, &local, &utc, -1));
        return Text(utc).substr(0, 19);
    };
    const auto fromUtc = [&](const SYSTEMTIME& utc) {
        SYSTEMTIME local;
        EXPECT_TRUE(TimeZone::UtcToTzSpecificTime(&berlin, &utc, &local, -1));
        return Text(local).substr(0, 19);
    };
    // 2026: summer time from 29 March 01:00 UTC to 25 October 01:00 UTC.
    EXPECT_EQ(toUtc(At(2026, 3, 29, 1, 59, 59)), "2026-03-29 00:59:59");
    EXPECT_EQ(toUtc(At(2026, 3, 29, 3, 0)), "2026-03-29 01:00:00");
    EXPECT_EQ(toUtc(At(2026, 10, 25, 1, 59)), "2026-10-24 23:59:00");
    EXPECT_EQ(toUtc(At(2026, 10, 25, 3, 0)), "2026-10-25 02:00:00");
    // The first 02:30 of 25 October is summer time, the second standard time.
    EXPECT_EQ(fromUtc(At(2026, 10, 25, 0, 30)), "2026-10-25 02:30:00");
    EXPECT_EQ(fromUtc(At(2026, 10, 25, 1, 30)), "2026-10-25 02:30:00");
    EXPECT_EQ(fromUtc(At(2026, 12, 31, 23, 30)), "2027-01-01 00:30:00");
    SYSTEMTIME local;
    const SYSTEMTIME sunday = At(2026, 3, 29, 12);
    ASSERT_TRUE(TimeZone::UtcToTzSpecificTime(&berlin, &sunday, &local, 0));
    EXPECT_EQ(Text(local), "2026-03-29 13:00:00.000 dow 0") << "mode 0 is standard time";
}

// This year's rule and ICU's history must agree on every hour of the year, in
// both hemispheres and for a zone without daylight time.
TEST(TimeZones, TheYearlyRuleAgreesWithTheZoneHistory) {
    const std::time_t now = std::time(nullptr);
    std::tm today{};
    const int year = gmtime_r(&now, &today)->tm_year + 1900;
    for (const char16_t* id :
         {u"Europe/Berlin", u"America/New_York", u"Australia/Sydney", u"Asia/Kolkata"}) {
        const TIME_ZONE_INFORMATION rule = Rule(id);
        std::tm when{};  // 1 January, 00:30, and then every hour of the year
        when.tm_year = year - 1900;
        when.tm_mday = 1;
        when.tm_min = 30;
        for (std::time_t t = timegm(&when); gmtime_r(&t, &when)->tm_year == year - 1900;
             t += 3600) {
            const SYSTEMTIME utc =
                At(when.tm_year + 1900, when.tm_mon + 1, when.tm_mday, when.tm_hour, 30);
            SYSTEMTIME byRule, byHistory;
            ASSERT_TRUE(TimeZone::UtcToTzSpecificTime(&rule, &utc, &byRule, -1));
            ASSERT_TRUE(Zones().UtcToLocal(id, utc, byHistory));
            ASSERT_EQ(Text(byRule), Text(byHistory)) << Text(utc);
        }
    }
}

TEST(TimeZones, HistoryConversionsReadSkippedAndRepeatedTimesOneWay) {
    const TimeZone& zones = Zones();
    SYSTEMTIME utc, local;
    ASSERT_TRUE(zones.LocalToUtc(u"Europe/Berlin", At(2026, 3, 29, 2, 30), utc));
    EXPECT_EQ(Text(utc), "2026-03-29 01:30:00.000 dow 0") << "skipped: read as standard time";
    ASSERT_TRUE(zones.LocalToUtc(u"Europe/Berlin", At(2026, 10, 25, 2, 30), utc));
    EXPECT_EQ(Text(utc), "2026-10-25 00:30:00.000 dow 0") << "repeated: the first occurrence";
    // Germany kept standard time all year in the 1970s.
    ASSERT_TRUE(zones.LocalToUtc(u"Europe/Berlin", At(1975, 7, 1, 12), utc));
    EXPECT_EQ(Text(utc), "1975-07-01 11:00:00.000 dow 2");
    ASSERT_TRUE(zones.UtcToLocal(u"America/New_York", At(2026, 3, 8, 7, 0), local));
    EXPECT_EQ(Text(local), "2026-03-08 03:00:00.000 dow 0");

    EXPECT_TRUE(zones.LocalToUtc(zones.Identifier(0), At(2026, 1, 1, 0), utc)) << "the first zone";
    EXPECT_FALSE(zones.LocalToUtc(u"Nowhere/Special", At(2026, 1, 1, 0), utc));
    EXPECT_FALSE(zones.LocalToUtc(u"Europe/Berlin", At(2026, 2, 29, 0), utc));
    EXPECT_FALSE(zones.UtcToLocal(u"Europe/Berlin", At(2026, 13, 1, 0), local));
}
