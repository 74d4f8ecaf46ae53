// TerminalConfig against the in-memory store: emulation-dependent defaults, the load rules for
// older values, save order and round trip, the font map file and the small text helpers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/global_config.h"
#include "app/init.h"
#include "foundation/codepage.h"
#include "foundation/messages.h"
#include "session/terminal_config.h"
#include "support/memory_store.h"
#include "support/record_members.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

namespace {

class TerminalConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetAdditionalEmulationNamesProvider(nullptr);
        SessionDeckDllInit(u"Vetralon", nullptr);  // offers "Mardell"
    }
    void TearDown() override {
        GlobalConfig* config = nullptr;
        ResetGlobalConfig(config);
    }
    TerminalConfig Load() { return TerminalConfig(&key); }
    void Save(TerminalConfig& config) { config.Save(&key, false); }

    MemoryStoreFactory factory;
    VProfileStore store{&factory};
    VProfileKey key{store.GetRootKey(), u"S"};
};

}  // namespace

TEST_F(TerminalConfigTest, EmulationDecidesColoursFontsAndKeyMap) {
    // Foreground, background, normal font, whether the narrow font is the same, key map and
    // whether the alternate keyboard (any map but Default) is in use.
    const auto describe = [](const TerminalConfig& c) {
        return std::to_string(c.foreground.Get()) + " " + std::to_string(c.background.Get()) + " " +
               VUnicodeString(std::u16string(c.normalFont.Get().Face())).ToUtf8() + " " +
               std::to_string(c.normalFont.Get().pointSize) +
               (c.narrowFont.Get() == c.normalFont.Get() ? " same " : " other ") +
               c.keymapName.Get().ToUtf8() + " " + std::to_string(c.useAlternateKeyboard.Get());
    };
    key.SetString(u"Emulation", u"ANSI");
    EXPECT_EQ(describe(Load()), "16777215 0 Terminal 120 same Default 0");
    key.SetString(u"Emulation", u"VT220");
    const TerminalConfig vt220 = Load();
    EXPECT_EQ(vt220.keymapName.Get(), u"VT220");
    EXPECT_EQ(vt220.useAlternateKeyboard.Get(), 1);
}

TEST_F(TerminalConfigTest, OlderValuesGiveTheDefaults) {
    for (const char16_t* name : {u"Enable 80/132 Column Switching", u"Sync View Rows",
                                 u"Sync View Cols", u"Use Alternate Keyboard"})
        key.SetDword(name, 0);
    key.SetString(u"Font Family", u"Fixedsys");
    key.SetDword(u"Font Size", 9);
    key.SetString(u"Keymap Name", u"SCO-ANSI");
    TerminalConfig config = Load();
    EXPECT_EQ(config.resizeMode.Get(), 2);
    EXPECT_EQ(config.narrowFont.Get().pointSize, 90);
    EXPECT_EQ(config.keymapName.Get(), u"SCOANSI");
    EXPECT_EQ(config.useAlternateKeyboard.Get(), 0) << "stored, so the stored 0 stands";

    // A stored resize mode stands; only the v2 font records are written.
    key.SetDword(u"Resize Mode", 0);
    config = Load();
    EXPECT_EQ(config.resizeMode.Get(), 0);
    Save(config);
    EXPECT_EQ(factory.WriteCount(u"Font Family"), 1) << "only the test's own write";
    EXPECT_EQ(factory.Find(u"S", u"Enable 80-132 Column Switching")->dword, 0u);
    EXPECT_EQ(factory.Find(u"S", u"Normal Font v2")->binary.size(), 96u);

    key.SetString(u"Keymap Name", u"custom");
    EXPECT_EQ(Load().useAlternateKeyboard.Get(), 1) << "a custom map always uses the alternate";

    // A corrected emulation name is saved without counting as a change.
    key.SetString(u"Emulation", u"SCO-ANSI");
    config = Load();
    EXPECT_FALSE(config.IsModified());
    Save(config);
    EXPECT_EQ(factory.Find(u"S", u"Emulation")->string, u"SCOANSI");
}

TEST_F(TerminalConfigTest, UserFontMapLoadsOrReportsAMissingFile) {
    TempDir dir;
    WriteFileBytes(dir / "map.txt",
                   "\xEF\xBB\xBF; line drawing\r\n71 0x2500\r\nzz 41\r\n0x6A\t2518\n");
    // The stored path is expanded as log file names are.
    ScopedEnv env("SD_FONT_MAP_DIR", dir.path().string());
    key.SetString(u"User Font Map", u"%SD_FONT_MAP_DIR%/map.txt");
    const TerminalConfig config = Load();
    EXPECT_EQ(config.GetFontMapReport().GetMessageId(), 0u);
    EXPECT_EQ(config.GetFontMap()[0x71], u'\u2500');
    EXPECT_EQ(config.GetFontMap()[0x6A], u'\u2518');
    EXPECT_EQ(config.GetFontMap()[0x80], u'\u20AC') << "the system code page elsewhere";

    TerminalConfig other(nullptr);
    EXPECT_EQ(other.LoadUserFontMap(u"/no/such/map"), nullptr);
    EXPECT_EQ(other.GetFontMapReport().GetMessageId(), kMsgFontMapNotFound);
    EXPECT_EQ(other.GetFontMap()[0x71], u'q') << "the default map stays";
}

TEST(TerminalConfigHelpers, XtermPositionsAndLineDrawingFonts) {
    int value = 0;
    bool negative = false;
    ASSERT_TRUE(TerminalConfig::ParseXtermPosition(u"-20", value, negative));
    EXPECT_TRUE(value == 20 && negative);
    ASSERT_TRUE(TerminalConfig::ParseXtermPosition(u"7", value, negative));
    EXPECT_FALSE(negative);
    for (const char16_t* bad : {u"2-0", u"20px", u"", u"-", u" 5", u"99999999999"})
        EXPECT_FALSE(TerminalConfig::ParseXtermPosition(bad, value, negative)) << Utf16ToUtf8(bad);

    const TerminalConfig config(nullptr);
    for (const auto& [face, valid] : {std::pair{u"vt100-wide", false},
                                      {u"Terminal", false},
                                      {u"VT100", true},
                                      {u"Courier New", true}})
        EXPECT_EQ(config.IsUnicodeLineDrawValid(MakeLogFont(face, 12)), valid) << Utf16ToUtf8(face);
}

TEST_F(TerminalConfigTest, CopyCarriesEveryMemberOfTheTable) {
    TerminalConfig config = Load();
    const auto defaults = test_support::ShownMembers(config);
    EXPECT_GT(test_support::ChangeEveryMember(config), 20);
    const auto changed = test_support::ShownMembers(config);
    EXPECT_EQ(test_support::SameMembers(config, defaults, changed), "");
    EXPECT_EQ(test_support::ShownMembers(TerminalConfig(config)), changed);
}
