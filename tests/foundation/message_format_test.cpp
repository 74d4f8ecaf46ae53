// The message-format syntax: conversions, widths, escapes, invalid calls, single-line mode and
// va_list reading.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "foundation/codepage.h"
#include "foundation/message_format.h"

using namespace sessiondeck;

namespace {

MessageArgument S(std::u16string_view text) {
    return MessageArgument(text);
}
MessageArgument I(int64_t value) {
    return MessageArgument(value);
}
MessageArgument U(uint64_t value) {
    return MessageArgument(value);
}

struct FormatCase {
    const char16_t* format;
    std::vector<MessageArgument> args;
    std::optional<std::u16string> expected;  // nullopt: the call is invalid
    MessageFormatOptions options = {};
};

void RunCases(const std::vector<FormatCase>& cases) {
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(Utf16ToUtf8(c.format));
        const auto got = FormatMessageString(c.format, c.args, c.options);
        if (!c.expected) {
            EXPECT_FALSE(got.has_value()) << Utf16ToUtf8(got.value_or(u""));
        } else {
            ASSERT_TRUE(got.has_value());
            EXPECT_EQ(Utf16ToUtf8(*got), Utf16ToUtf8(*c.expected));
        }
    }
}

std::optional<std::u16string> FormatV(const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    auto text = FormatMessageStringV(format, args);
    va_end(args);
    return text;
}

}  // namespace

TEST(MessageFormat, StringInserts) {
    RunCases({
        {u"%1", {S(u"abc")}, u"abc"},
        {u"%1!s!|%1!S!", {S(u"abc")}, u"abc|abc"},
        {u"%2 before %1", {S(u"one"), S(u"two")}, u"two before one"},
        {u"[%1!5s!]", {S(u"ab")}, u"[   ab]"},
        {u"[%1!-5s!]", {S(u"ab")}, u"[ab   ]"},
        {u"[%1!.2s!]", {S(u"abcd")}, u"[ab]"},
        {u"[%1!ws!%1!ls!%1!hs!]", {S(u"x")}, u"[xxx]"},
        // Two digits at most: %100 is insert 10 followed by a literal 0.
        {u"%10|%100",
         {S(u"a"), S(u"b"), S(u"c"), S(u"d"), S(u"e"), S(u"f"), S(u"g"), S(u"h"), S(u"i"), S(u"j")},
         u"j|j0"},
        // An insert's own text is never expanded again.
        {u"<%1>", {S(u"50%% %2 %n")}, u"<50%% %2 %n>"},
    });
}

TEST(MessageFormat, NumberConversions) {
    RunCases({
        {u"%1!08x!", {U(0xBEEF)}, u"0000beef"},
        {u"0x%1!08X!", {U(0xE1090007u)}, u"0xE1090007"},
        {u"%1!02x!|%1!02x!", {U(5)}, u"05|05"},
        {u"%1!02x!", {U(0x1FF)}, u"1ff"},
        {u"%2!d!", {S(u"-"), I(-42)}, u"-42"},
        {u"%1!i!", {I(2147483647)}, u"2147483647"},
        // Without a size modifier numbers are 32 bits wide.
        {u"%1!08x!", {I(-1)}, u"ffffffff"},
        {u"%1!u!", {I(-1)}, u"4294967295"},
        {u"%1!d!", {U(0x80000000u)}, u"-2147483648"},
        {u"%1!I32u!", {U(0x100000001ull)}, u"1"},
        {u"%1!hd!|%1!hu!", {I(0x18000)}, u"-32768|32768"},
        // 64-bit forms.
        {u"%1!I64x!", {I(-1)}, u"ffffffffffffffff"},
        {u"%2!I64u!", {S(u""), U(UINT64_MAX)}, u"18446744073709551615"},
        {u"%1!lld!", {I(INT64_MIN)}, u"-9223372036854775808"},
        {u"%1!lu!", {U(5000000000ull)}, u"5000000000"},
        // Flags, width and precision.
        {u"%1!+d!|%1! d!|%2!+d!", {I(5), I(-5)}, u"+5| 5|-5"},
        {u"[%1!-6d!]", {I(-12)}, u"[-12   ]"},
        {u"[%1!06d!]", {I(-12)}, u"[-00012]"},
        {u"[%1!6.3d!]", {I(7)}, u"[   007]"},
        {u"[%1!06.3d!]", {I(7)}, u"[   007]"},  // zero padding yields to a precision
        {u"[%1!.0d!]", {I(0)}, u"[]"},
        {u"%1!#x!|%1!#X!|%2!#x!", {U(255), U(0)}, u"0xff|0XFF|0"},
        {u"[%1!#06x!]", {U(255)}, u"[0x00ff]"},
        {u"%1!o!|%1!#o!", {U(8)}, u"10|010"},
        {u"[%1!c!%1!3c!]", {U('A')}, u"[A  A]"},
        {u"%1!lc!", {U(0x20AC)}, u"\u20AC"},
    });
}

TEST(MessageFormat, Escapes) {
    RunCases({
        {u"a%%b%.c%!d%te%bf%rg%nh", {}, u"a%b.c!d\te f\rg\r\nh"},
        {u"%q% x", {}, u"q x"},
        {u"kept%0dropped %1", {}, u"kept"},
        {u"trailing %", {}, u"trailing %"},
        {u"keep\r\nbreaks\n", {}, u"keep\r\nbreaks\n"},
    });
}

TEST(MessageFormat, InvalidCalls) {
    RunCases({
        {u"%1 and %2", {S(u"only one")}, std::nullopt},
        {u"%1", {}, std::nullopt},
        {u"%1!d!", {S(u"text")}, std::nullopt},
        {u"%1", {I(5)}, std::nullopt},
        {u"%1!s!", {U(5)}, std::nullopt},
        {u"%1!c!", {S(u"A")}, std::nullopt},
        {u"%1!z!", {U(1)}, std::nullopt},
        {u"%1!08x", {U(1)}, std::nullopt},
        {u"%1!!", {U(1)}, std::nullopt},
        {u"%1!*d!", {I(1)}, std::nullopt},
        {u"%1!wd!", {I(1)}, std::nullopt},
        {u"%1!lls!", {S(u"x")}, std::nullopt},
        {u"%1!dd!", {I(1)}, std::nullopt},
        {u"%1!99999d!", {I(1)}, std::nullopt},
        {u"%1!.99999s!", {S(u"x")}, std::nullopt},
        // An invalid insert after %0 is never reached.
        {u"fine%0%3!z!", {}, u"fine"},
    });
}

TEST(MessageFormat, IgnoreInsertsLeavesPlaceholders) {
    const MessageFormatOptions ignore{.ignoreInserts = true};
    RunCases({
        {u"Unable to load keymap file: %1\r\n\r\n%2\r\n",
         {},
         u"Unable to load keymap file: %1\r\n\r\n%2\r\n",
         ignore},
        {u"0x%1!08x! %2 100%% %99!bad!", {S(u"unused")}, u"0x%1!08x! %2 100% %99!bad!", ignore},
        {u"%1!08x then", {}, u"%1!08x then", ignore},
        {u"tab%there%0gone", {}, u"tab\there", ignore},
    });
}

TEST(MessageFormat, SingleLineReplacesTheMessagesOwnBreaks) {
    const MessageFormatOptions single{.singleLine = true};
    RunCases({
        {u"Line one.\r\nLine two.\r\n", {}, u"Line one. Line two.", single},
        {u"a\rb\nc", {}, u"a b c", single},
        {u"a\r\n\r\nb", {}, u"a  b", single},
        {u"a%nb\r\n", {}, u"a\r\nb", single},            // %n is a hard break and stays
        {u"%1\r\n", {S(u"x\r\ny")}, u"x\r\ny", single},  // an insert's breaks stay
        {u"end  \r\n", {}, u"end", single},
        {u"%1 %2\r\n", {}, u"%1 %2", {.ignoreInserts = true, .singleLine = true}},
    });
}

TEST(MessageFormat, VaListReadsEachInsertWithItsType) {
    EXPECT_EQ(FormatV(u"%1 has %2!d! items, %3!lu! bytes, id 0x%4!08X!, %5!I64u!", u"box", -3,
                      5000000000ul, 0xE1090007u, static_cast<unsigned long long>(UINT64_MAX)),
              u"box has -3 items, 5000000000 bytes, id 0xE1090007, 18446744073709551615");
    EXPECT_EQ(FormatV(u"%2!d! then %1", u"first", 2), u"2 then first");
    EXPECT_EQ(FormatV(u"%1!d! = 0x%1!x! = %1!u!", 255), u"255 = 0xff = 255");
    EXPECT_EQ(FormatV(u"%1!hd!", 70000), u"4464");
    EXPECT_EQ(FormatV(u"%1!lld!", LLONG_MIN), u"-9223372036854775808");
    EXPECT_EQ(FormatV(u"%1%0%2!d!", u"x"), u"x");
    EXPECT_EQ(FormatV(u"no inserts%n"), u"no inserts\r\n");

    // One insert used as a string and as a number, or as int and long long.
    EXPECT_EQ(FormatV(u"%1 %1!d!", u"x"), std::nullopt);
    EXPECT_EQ(FormatV(u"%1!d! %1!I64d!", 1), std::nullopt);
    // A skipped insert number leaves an argument whose type is unknown.
    EXPECT_EQ(FormatV(u"%1 %3", u"a", u"b", u"c"), std::nullopt);
    EXPECT_EQ(FormatV(u"%1", static_cast<const char16_t*>(nullptr)), std::nullopt);
    EXPECT_EQ(FormatV(u"%1!q!", 1), std::nullopt);
}

TEST(MessageFormat, FormatMessageTextTakesAnyIntegerAndFallsBack) {
    EXPECT_EQ(FormatMessageText(u"%1!u!-%2-%3!d!-%4!I64u!", 7u, u"x", -1, uint64_t{1} << 40),
              u"7-x--1-1099511627776");
    EXPECT_EQ(FormatMessageText(u"%1!02x!", static_cast<unsigned char>(0xA)), u"0a");
    // Invalid: the format comes back unchanged.
    EXPECT_EQ(FormatMessageText(u"%1!d! %2", 1), u"%1!d! %2");
}
