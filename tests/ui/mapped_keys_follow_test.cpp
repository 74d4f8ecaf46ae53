// The Mapped Keys list following "Current keymap" while Session Options is open: an unchanged
// built-in map is replaced by the newly named one, edits and a session's own map are kept.
#include <gtest/gtest.h>

#include "session/session_config.h"
#include "support/scripted_prompt.h"
#include "ui/model/mapped_keys_model.h"
#include "ui/ui_fixture.h"

namespace {

constexpr int kF6 = 0x75;

std::u16string Listed(const MappedKeysModel& keys) {
    std::u16string out;
    for (const MappedKeyRow& row : keys.Rows()) out += row.key + u"=" + row.action + u";";
    return out;
}

class MappedKeysFollow : public UiStoreTest {
protected:
    ScriptedPrompt prompt;
    SessionDatabase database;
};

TEST_F(MappedKeysFollow, TheListFollowsTheKeymapNameUntilTheUserEditsIt) {
    enum class Before { kNothing, kEditKeys, kOwnMap };
    struct Case {
        const char* what;
        Before before;
        std::u16string typed;  // what the page wrote into "Keymap Name"
        bool follows;
        std::u16string shown;  // the built-in map on show afterwards; empty: the own map
    };
    const std::vector<Case> cases = {
        {"another built-in map", Before::kNothing, u"Xterm", true, u"Xterm"},
        {"an unknown name is the default map", Before::kNothing, u"Nonsense", true, u"Default"},
        {"the same name again", Before::kNothing, u"VT220", false, u"VT220"},
        {"edits on the list are kept", Before::kEditKeys, u"Xterm", false, u"VT220"},
        {"a session's own map stays", Before::kOwnMap, u"Xterm", false, u""},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        const std::u16string path = u"s" + std::u16string(1, static_cast<char16_t>(u'0' + i));
        MakeSession(path);
        {
            VProfileStore store;
            VProfileKey key(store.GetRootKey(), u"Sessions\\" + path);
            key.SetString(u"Keymap Name", u"VT220");
        }
        auto session =
            VUnknownPointer<ISessionConfig>::Adopt(database.Lookup(VUnicodeString(path)));
        ASSERT_TRUE(session);
        TerminalConfig& terminal = dynamic_cast<SessionConfig&>(*session.Get()).terminal;
        if (c.before == Before::kOwnMap) {
            Keymap own;
            own.SetKeyCode(kF6 | kKeyAlt, Keymap::LookupCodeByName(VUnicodeString(u"MENU_FIND")));
            terminal.keymap = own;
        }
        MappedKeysModel keys(terminal, prompt, u"S", false);
        if (c.before == Before::kEditKeys) {
            ASSERT_EQ(keys.MapKey(kF6 | kKeyAlt, u"MENU_FIND", u""),
                      MappedKeysModel::MapResult::kMapped);
        }
        const std::u16string before = Listed(keys);

        terminal.keymapName = VUnicodeString(c.typed);
        EXPECT_EQ(keys.FollowKeymapName(), c.follows);
        EXPECT_EQ(keys.BuiltinName(), c.shown);
        if (!c.follows) {
            EXPECT_EQ(Listed(keys), before);
        } else {
            // The list is what a page opened on the new name shows, and not the old list.
            MappedKeysModel fresh(terminal, prompt, u"S", false);
            EXPECT_EQ(Listed(keys), Listed(fresh));
            EXPECT_NE(Listed(keys), before);
            EXPECT_FALSE(keys.Changed());
        }
        // OK after following hands nothing over: the session keeps using the named built-in map.
        keys.Apply();
        EXPECT_EQ(terminal.keymap.Get().EntryLines().empty(), c.before == Before::kNothing);
    }
}

}  // namespace
