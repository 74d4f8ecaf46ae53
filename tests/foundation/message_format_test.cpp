// The message-format syntax: conversions, widths, escapes, invalid calls, single-line mode and
// va_list reading.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "foundation/codepage.h"
#include "foundation/message_format.h"
#include "support/case_file.h"

using namespace sessiondeck;

namespace {

// One case-file line: options, format, then inserts as "s:text", "i:-5" or "u:5".
std::string Format(const std::vector<std::string>& fields) {
    std::vector<MessageArgument> args;
    std::vector<std::u16string> texts;
    texts.reserve(fields.size());
    for (size_t i = 2; i < fields.size(); ++i) {
        const std::string value = fields[i].substr(2);
        if (fields[i][0] == 's')
            args.emplace_back(std::u16string_view(texts.emplace_back(Utf8ToUtf16(value))));
        else if (fields[i][0] == 'i')
            args.emplace_back(int64_t{std::stoll(value)});
        else
            args.emplace_back(uint64_t{std::stoull(value)});
    }
    const MessageFormatOptions options{
        .ignoreInserts = fields[0].find("ignore") != std::string::npos,
        .singleLine = fields[0].find("single") != std::string::npos};
    const auto text = FormatMessageString(Utf8ToUtf16(fields[1]), args, options);
    return text ? Utf16ToUtf8(*text) : "(invalid)";
}

std::optional<std::u16string> FormatV(const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    auto text = FormatMessageStringV(format, args);
    va_end(args);
    return text;
}

}  // namespace

// Conversions, widths, escapes, invalid calls, placeholders left alone and single-line mode, as a
// table in tests/golden/foundation/message-format.txt.
TEST(MessageFormat, FormatsEveryCaseOfTheTable) {
    ExpectCaseFile("foundation/message-format.txt", Format);
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
