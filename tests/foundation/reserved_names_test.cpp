// Reserved device names: the whole name, any case, and nothing that merely resembles one.
#include <gtest/gtest.h>

#include "foundation/codepage.h"
#include "foundation/reserved_names.h"

using namespace sessiondeck;

TEST(IsReservedDeviceName, WholeNameCaseInsensitive) {
    const std::pair<const char16_t*, bool> cases[] = {
        {u"CON", true},      {u"con", true},    {u"Prn", true},      {u"aux", true},
        {u"NUL", true},      {u"CLOCK$", true}, {u"clock$", true},   {u"COM0", false},
        {u"LPT0", false},    {u"COM10", false}, {u"CON.txt", false}, {u"CON ", false},
        {u" CON", false},    {u"CO", false},    {u"", false},        {u"CLOCK", false},
        {u"CONSOLE", false}, {u"NULL", false},  {u"Sessions", false}};
    for (const auto& [name, reserved] : cases) {
        EXPECT_EQ(IsReservedDeviceName(name), reserved) << Utf16ToUtf8(name);
    }
    for (char16_t digit = u'1'; digit <= u'9'; ++digit) {
        for (const char16_t* port : {u"COM", u"com", u"LPT", u"lpt"})
            EXPECT_TRUE(IsReservedDeviceName(std::u16string(port) + digit)) << int(digit);
    }
}
