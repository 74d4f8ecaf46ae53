// Key maps: the file grammar with damaged lines, the saved form and its round trip, the
// fallback to the default map and a few rows of the built-in maps.
#include <gtest/gtest.h>

#include "data/keymap.h"
#include "foundation/messages.h"
#include "profile/profile_store.h"
#include "support/golden.h"
#include "support/memory_store.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

namespace {

constexpr int kF1 = 0x70;

VUnicodeString PathOf(const std::filesystem::path& file) {
    return VUnicodeString::FromUtf8(file.string());
}

// Key map files as a person would write them, damaged lines included (tests/fixtures/keymaps;
// damaged.key is UTF-8 with a byte order mark, as Windows editors save it).
std::filesystem::path Fixture(const char* name) {
    return std::filesystem::path(SESSIONDECK_GOLDEN_DIR).parent_path() / "fixtures/keymaps" / name;
}

TEST(KeymapTest, FunctionAndKeyTables) {
    EXPECT_EQ(Keymap::GetFunctionCount(), 161);
    EXPECT_EQ(Keymap::LookupCodeByName(u"MENU_TAB_10"), 76);
    EXPECT_EQ(Keymap::LookupCodeByName(u"vt_pf1"), -1);
    EXPECT_EQ(Keymap::LookupNameByCode(150), u"VT_F16");
    EXPECT_EQ(Keymap::LookupNameByCode(161), u"");
    for (int row = 0; row < Keymap::GetFunctionCount(); ++row) {
        ASSERT_EQ(Keymap::GetCodeByIndex(row), row);
        ASSERT_EQ(Keymap::LookupCodeByName(Keymap::GetNameByIndex(row)), row);
    }
    EXPECT_EQ(Keymap::VirtualKeyByName(u"vk_f24"), 0x87);
    EXPECT_EQ(Keymap::VirtualKeyName(0xDC), u"0xDC");
    EXPECT_EQ(Keymap::VirtualKeyName(0x5A), u"VK_Z");
}

TEST(KeymapTest, GrammarAndDamagedLines) {
    Keymap map;
    VReportMessageParams report;
    ASSERT_TRUE(map.Load(PathOf(Fixture("damaged.key")), report));
    EXPECT_TRUE(map.ContainsComments());
    EXPECT_EQ(map.GetKeyCode(kKeyCtrl | kKeyShift | kF1), kKeyFunctionSend);
    EXPECT_EQ(map.GetKeyValue(kKeyCtrl | kKeyShift | kF1), u"x");
    EXPECT_EQ(map.GetKeyValue(kKeyCtrl | kKeyShift | (kF1 + 1)), u"say \"hi\"");
    EXPECT_EQ(map.GetKeyCode(0xBA), Keymap::LookupCodeByName(u"MENU_COPY"));
    EXPECT_EQ(map.GetKeyCode(kKeyExtended | 8), kKeyFunctionRun);
    EXPECT_EQ(map.GetKeyValue(kKeyExtended | 8), u"a b.vbs");
    EXPECT_EQ(map.GetKeyValue(kKeyAlt | 'A'), u"/bin/ls");
    EXPECT_EQ(map.GetKeyCode(0xF00 | 0x24), 4);
    EXPECT_EQ(map.GetKeyCode(kF1 + 2), 149);
    EXPECT_EQ(map.GetKeyCode(kKeyCtrl | (kF1 + 3)), Keymap::LookupCodeByName(u"MENU_TAB_CLOSE"))
        << "the faulty line changes nothing; the default map answers";
    EXPECT_EQ(report.GetMessageId(), kMsgKeymapLinesIgnored);
    ASSERT_EQ(report.GetInsertCount(), 2u);
    EXPECT_EQ(VUnicodeString(report.GetInserts()[1]),
              u"unknown modifier 'C' on line 10\r\nunknown virtual key '300' on line 11");

    // Three faults refuse the file and stop reading there; earlier slots stay.
    Keymap strict;
    ASSERT_FALSE(strict.Load(PathOf(Fixture("refused.key")), report));
    EXPECT_EQ(report.GetMessageId(), kMsgKeymapLoadFailed);
    EXPECT_EQ(VUnicodeString(report.GetInserts()[1]),
              u"illegal string or unknown function, 'SEND', on line 2\r\n"
              u"expected closing quote on line 3\r\nsyntax error on line 4");
    EXPECT_EQ(strict.GetKeyCode(kF1 + 4), Keymap::LookupCodeByName(u"MENU_PASTE"));
    EXPECT_EQ(strict.GetKeyCode(kF1), 0) << "no default map after a refused file";

    EXPECT_FALSE(strict.Load(PathOf(Fixture("missing.key")), report));
    EXPECT_EQ(report.GetMessageId(), kMsgKeymapLoadFailed);
    EXPECT_EQ(VUnicodeString(report.GetInserts()[1]), u"No such file or directory");
}

TEST(KeymapTest, SavedFormAndRoundTrip) {
    TempDir dir;
    Keymap map;
    map.SetKeyCode(kKeyAlt | kKeyShift | kKeyExtended | kKeyCtrl | kF1, kKeyFunctionSend);
    map.SetKeyValue(kKeyAlt | kKeyShift | kKeyExtended | kKeyCtrl | kF1, u"\\e[1~\u00e9");
    map.SetKeyCode(0xDC, kKeyFunctionLaunch);
    map.SetKeyValue(0xDC, u"prog");
    map.SetKeyCode(0x41, Keymap::LookupCodeByName(u"SB_END"));
    map.SetKeyValue(0x42, u"value without a code is not written");
    ASSERT_TRUE(map.Save(PathOf(dir / "m.key"), false));
    ExpectMatchesGolden("data/keymaps/saved.key", ReadFileBytes(dir / "m.key"));

    for (bool unicode : {false, true}) {
        ASSERT_TRUE(map.Save(PathOf(dir / "m.key"), unicode));
        Keymap loaded;
        VReportMessageParams report;
        ASSERT_TRUE(loaded.Load(PathOf(dir / "m.key"), report));
        EXPECT_EQ(report.GetMessageId(), 0u);
        map.SetKeyValue(0x42, {});
        EXPECT_TRUE(loaded.SameEntries(map));
    }
    EXPECT_EQ(ReadFileBytes(dir / "m.key").substr(0, 4), std::string("\xFF\xFEN\0", 4));
    EXPECT_FALSE(map.Save(PathOf(dir / "no/such/folder/m.key"), false));
}

// Each built-in map's own slots, in the saved form (the default map behind it is not written).
TEST(KeymapTest, BuiltInMapsAndFallback) {
    TempDir dir;
    for (const char* name :
         {"Default", "VT100", "VT220", "Linux", "SCOANSI", "Wyse50", "Xterm", "Mardell"}) {
        Keymap map;
        ASSERT_TRUE(map.LoadBuiltin(VUnicodeString::FromUtf8(name).str())) << name;
        ASSERT_TRUE(map.Save(PathOf(dir / "m.key"), false));
        ExpectMatchesGolden(std::string("data/keymaps/") + name + ".key",
                            ReadFileBytes(dir / "m.key"));
    }
    EXPECT_FALSE(Keymap().LoadBuiltin(u"VT52"));
    Keymap vt100;
    vt100.LoadVT100(false, false);
    EXPECT_EQ(vt100.GetKeyCode(kF1), 0) << "no default map attached";

    // A copy owns its own fallback.
    Keymap copy;
    {
        Keymap linux;
        linux.LoadLinux(true);
        copy = linux;
    }
    EXPECT_EQ(copy.GetKeyCode(kKeyAlt | '0'), Keymap::LookupCodeByName(u"MENU_TAB_10"));
    EXPECT_EQ(copy.GetKeyCode(-1), 0);
    EXPECT_EQ(copy.GetKeyCode(kKeymapSlots), 0);
}

}  // namespace
