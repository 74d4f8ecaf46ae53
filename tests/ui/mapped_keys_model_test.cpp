// The Mapped Keys page's key list: mapping, the replace question answered both ways, removing,
// refusals, OK and Cancel on a stored session, and following the key map's name.
#include <gtest/gtest.h>

#include <algorithm>

#include "session/session_config.h"
#include "support/scripted_prompt.h"
#include "ui/model/mapped_keys_model.h"
#include "ui/ui_fixture.h"

namespace {

using Result = MappedKeysModel::MapResult;
constexpr int kF5 = 0x74, kF6 = 0x75, kF7 = 0x76, kTab = 0x09;

class MappedKeys : public UiStoreTest {
protected:
    // A stored session using the built-in map `keymapName`, loaded.
    VUnknownPointer<ISessionConfig> Make(const std::u16string& path, const char16_t* keymapName) {
        MakeSession(path);
        VProfileStore store;
        VProfileKey(store.GetRootKey(), u"Sessions\\" + path).SetString(u"Keymap Name", keymapName);
        return Load(path);
    }
    VUnknownPointer<ISessionConfig> Load(const std::u16string& path) {
        return VUnknownPointer<ISessionConfig>::Adopt(database.Lookup(VUnicodeString(path)));
    }
    static TerminalConfig& Terminal(VUnknownPointer<ISessionConfig>& session) {
        return dynamic_cast<SessionConfig&>(*session.Get()).terminal;
    }
    // Every listed row as "KEY=ACTION;", in the list's order.
    static std::u16string Listed(const MappedKeysModel& keys) {
        std::u16string out;
        for (const MappedKeyRow& row : keys.Rows()) out += row.key + u"=" + row.action + u";";
        return out;
    }
    static std::size_t RowOf(const MappedKeysModel& keys, int index) {
        return std::ranges::find(keys.Rows(), index, &MappedKeyRow::index) - keys.Rows().begin();
    }
    static std::u16string Action(const MappedKeysModel& keys, int index) {
        const std::size_t i = RowOf(keys, index);
        return i < keys.Rows().size() ? keys.Rows()[i].action : u"(none)";
    }

    ScriptedPrompt prompt;
    SessionDatabase database;
};

// One stored session on the built-in VT220 map, and dialogs on it in turn: one that edits and is
// cancelled, one that edits and ends with OK (the map becomes the session's own), one that edits
// the own map, and an OK without a change.
TEST_F(MappedKeys, MapsReplacesOnlyOnYesRemovesRefusesAndOkGivesTheSessionItsOwnCopy) {
    // What the chooser offers: the named keys only, and every function but "NONE".
    const auto names = MappedKeysModel::KeyNames(), functions = MappedKeysModel::FunctionNames();
    EXPECT_TRUE(names.size() == 108u && std::is_sorted(names.begin(), names.end()));
    EXPECT_TRUE(functions.front() == u"SEND" && std::ranges::count(functions, u"NONE") == 0);
    EXPECT_TRUE(MappedKeysModel::TakesValue(u"RUN") && !MappedKeysModel::TakesValue(u"DISABLED"));
    const int key = kF5 | kKeyCtrl | kKeyShift;
    EXPECT_EQ(MappedKeysModel::KeyIndex(u"vk_f5", true, true, false, false), key);
    EXPECT_EQ(MappedKeysModel::KeyIndex(u"VK_NOTAKEY", false, false, false, false), -1);
    EXPECT_EQ(MappedKeysModel::KeyLabel(key | kKeyAlt | kKeyExtended), u"Alt+Ctrl+Shift+Ext+VK_F5");

    // One dialog on the stored session: `edit` runs on its list; OK applies and saves.
    const auto dialog = [&](bool ok, const auto& edit) {
        auto session = Load(u"a");
        MappedKeysModel keys(Terminal(session), prompt, u"S", false);
        edit(keys);
        if (ok) keys.Apply();
        EXPECT_TRUE(database.Save(session.Get(), false));
    };
    Make(u"a", u"VT220");
    // Cancel: the edits never reach the session, even when the session is saved afterwards.
    dialog(false, [&](MappedKeysModel& keys) {
        EXPECT_EQ(keys.BuiltinName(), u"VT220");  // not a map of its own
        // VT220's own keys, and the default map's behind it with their texts.
        EXPECT_EQ(Action(keys, kF6) + Action(keys, 0x08) + Action(keys, kTab | kKeyCtrl),
                  u"VT_F6\"\\010\"MENU_TAB_NEXT");
        const std::size_t listed = keys.Rows().size();
        // A key with no mapping is mapped without a question (none is answered); mapping it
        // again asks first, and No keeps the old mapping while Yes replaces it.
        EXPECT_EQ(keys.MapKey(key, u"SEND", u"\\e[x"), Result::kMapped);
        EXPECT_EQ(keys.Rows()[RowOf(keys, key)].key + Action(keys, key),
                  u"Ctrl+Shift+VK_F5\"\\e[x\"");
        prompt.AnswerButton(VPromptAnswer::kNo);
        EXPECT_EQ(keys.MapKey(key, u"MENU_COPY", u""), Result::kKept);
        EXPECT_EQ(prompt.Questions().back().text,
                  u"Ctrl+Shift+VK_F5 is already mapped\n\nDo you want to replace that mapping?");
        EXPECT_EQ(Action(keys, key), u"\"\\e[x\"");
        prompt.AnswerButton(VPromptAnswer::kYes);
        EXPECT_EQ(keys.MapKey(key, u"RUN", u"/home/me/login.py"), Result::kMapped);
        EXPECT_EQ(Action(keys, key), u"RUN(\"/home/me/login.py\")");
        // A key the built-in map maps counts as mapped too.
        prompt.AnswerButton(VPromptAnswer::kYes);
        EXPECT_EQ(keys.MapKey(kF6, u"DISABLED", u"ignored"), Result::kMapped);
        EXPECT_EQ(prompt.Questions().back().text.str().rfind(u"VK_F6 is already mapped", 0), 0u);
        EXPECT_EQ(Action(keys, kF6), u"DISABLED");
        EXPECT_TRUE(keys.Remove(RowOf(keys, key)));
        EXPECT_EQ(Action(keys, key), u"(none)");
        EXPECT_EQ(keys.Rows().size(), listed);
        EXPECT_FALSE(keys.Remove(keys.Rows().size()));
        // What a map cannot hold is refused with the key map's message (its own tests hold the
        // rules) and changes nothing.
        prompt.AnswerButton(VPromptAnswer::kOk);
        EXPECT_EQ(keys.MapKey(kF6, u"SEND", u"ls\r\n"), Result::kRefused);
        EXPECT_EQ(prompt.Questions().back().text, kKeyValueHasLineBreak);
        EXPECT_EQ(keys.Rows().size(), listed);
    });
    // A read-only dialog changes nothing (and asks nothing: no answer is queued).
    auto session = Load(u"a");
    MappedKeysModel locked(Terminal(session), prompt, u"S", true);
    EXPECT_EQ(locked.MapKey(kF7, u"MENU_COPY", u""), Result::kRefused);
    EXPECT_FALSE(locked.Remove(0));
    EXPECT_EQ(Action(locked, kF6), u"VT_F6");
    // OK: the built-in map with its default keys becomes the session's own, with the edits.
    std::u16string edited;
    dialog(true, [&](MappedKeysModel& keys) {
        EXPECT_EQ(keys.MapKey(kF6 | kKeyAlt, u"SEND", u"\\033[99~"), Result::kMapped);
        EXPECT_TRUE(keys.Remove(RowOf(keys, kF6)));
        edited = Listed(keys);
    });
    EXPECT_NE(File("a.ini").find("Keymap v2"), std::string::npos);
    // Read back as the session's own map; a later change edits it.
    dialog(true, [&](MappedKeysModel& keys) {
        EXPECT_TRUE(keys.OwnMap());
        EXPECT_EQ(Listed(keys), edited);
        EXPECT_EQ(Action(keys, kF6), u"(none)");
        EXPECT_EQ(keys.MapKey(kF5 | kKeyCtrl, u"LAUNCH", u"notepad"), Result::kMapped);
    });
    const std::string saved = File("a.ini");
    // OK without a change writes nothing new.
    dialog(true, [&](MappedKeysModel& keys) {
        EXPECT_EQ(Action(keys, kF5 | kKeyCtrl) + Action(keys, kF6 | kKeyAlt),
                  u"LAUNCH(\"notepad\")\"\\033[99~\"");
    });
    EXPECT_EQ(File("a.ini"), saved);
    auto reloaded = Load(u"a");
    EXPECT_EQ(Terminal(reloaded).keymapName.Get(), u"VT220");
}

// An unchanged built-in map follows a newly typed "Keymap Name"; edits and a session's own map
// are kept, and OK after following hands nothing over.
TEST_F(MappedKeys, TheListFollowsTheKeymapNameUntilTheUserEditsIt) {
    // Before the name is typed: "" nothing done, "edit" a key mapped, "own" the session has its
    // own map. `shown`: the built-in map on show afterwards, empty for the own map.
    for (const auto& [before, typed, follows, shown] : {std::tuple{"", u"Xterm", true, u"Xterm"},
                                                        {"", u"Nonsense", true, u"Default"},
                                                        {"", u"VT220", false, u"VT220"},
                                                        {"edit", u"Xterm", false, u"VT220"},
                                                        {"own", u"Xterm", false, u""}}) {
        SCOPED_TRACE(VUnicodeString(typed).ToUtf8() + " after " + before);
        auto session = Make(u"s", u"VT220");
        TerminalConfig& terminal = Terminal(session);
        if (*before == 'o') {
            Keymap own;
            own.SetKeyCode(kF6 | kKeyAlt, Keymap::LookupCodeByName(VUnicodeString(u"MENU_FIND")));
            terminal.keymap = own;
        }
        MappedKeysModel keys(terminal, prompt, u"S", false);
        EXPECT_TRUE(*before != 'e' ||
                    keys.MapKey(kF6 | kKeyAlt, u"MENU_FIND", u"") == Result::kMapped);
        const std::u16string listed = Listed(keys);
        terminal.keymapName = VUnicodeString(typed);
        EXPECT_EQ(keys.FollowKeymapName(), follows);
        EXPECT_EQ(keys.BuiltinName(), shown);
        // Followed, the list is what a page opened on the new name shows.
        EXPECT_EQ(Listed(keys),
                  follows ? Listed(MappedKeysModel(terminal, prompt, u"S", false)) : listed);
        EXPECT_EQ(Listed(keys) == listed, !follows);
        EXPECT_FALSE(follows && keys.Changed());
        keys.Apply();
        EXPECT_EQ(terminal.keymap.Get().EntryLines().empty(), !*before);
    }
}

}  // namespace
