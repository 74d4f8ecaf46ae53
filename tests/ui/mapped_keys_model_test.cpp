// The Mapped Keys page's key list on a real configuration folder: mapping, the replace question
// answered both ways, removing, refusals, OK and Cancel, and a write the store refuses.
#include <gtest/gtest.h>

#include <filesystem>

#include "session/session_config.h"
#include "support/scripted_prompt.h"
#include "ui/model/mapped_keys_model.h"
#include "ui/ui_fixture.h"

namespace {

using Result = MappedKeysModel::MapResult;

constexpr int kF1 = 0x70;
constexpr int kF5 = 0x74;
constexpr int kF6 = 0x75;
constexpr int kTab = 0x09;

class MappedKeys : public UiStoreTest {
protected:
    // A stored session using the built-in map `keymapName`.
    void MakeKeymapSession(const std::u16string& path, const char16_t* keymapName) {
        MakeSession(path);
        VProfileStore store;
        VProfileKey key(store.GetRootKey(), u"Sessions\\" + path);
        key.SetString(u"Keymap Name", keymapName);
    }
    VUnknownPointer<ISessionConfig> Load(const char16_t* path) {
        auto session = VUnknownPointer<ISessionConfig>::Adopt(database.Lookup(path));
        EXPECT_TRUE(session);
        return session;
    }
    static TerminalConfig& Terminal(VUnknownPointer<ISessionConfig>& session) {
        return dynamic_cast<SessionConfig&>(*session.Get()).terminal;
    }
    static const MappedKeyRow* Row(const MappedKeysModel& keys, int index) {
        for (const MappedKeyRow& row : keys.Rows())
            if (row.index == index) return &row;
        return nullptr;
    }
    // Every listed row as "KEY=ACTION;", in the list's order.
    static std::u16string Listed(const MappedKeysModel& keys) {
        std::u16string out;
        for (const MappedKeyRow& row : keys.Rows()) out += row.key + u"=" + row.action + u";";
        return out;
    }
    static std::u16string Action(const MappedKeysModel& keys, int index) {
        const MappedKeyRow* row = Row(keys, index);
        return row ? row->action : u"(none)";
    }

    ScriptedPrompt prompt;
    SessionDatabase database;
};

TEST_F(MappedKeys, MapsReplacesOnlyOnYesRemovesAndRefusesWhatAMapCannotHold) {
    // What the chooser offers: the named keys only, and every function but "NONE".
    const auto names = MappedKeysModel::KeyNames(), functions = MappedKeysModel::FunctionNames();
    EXPECT_EQ(names.size(), 108u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_TRUE(std::none_of(names.begin(), names.end(), [](auto& n) { return n[0] == u'0'; }));
    EXPECT_EQ(functions.front(), u"SEND");
    EXPECT_EQ(std::count(functions.begin(), functions.end(), u"NONE"), 0);
    EXPECT_EQ(MappedKeysModel::KeyIndex(u"vk_f5", true, true, false, false),
              kF5 | kKeyCtrl | kKeyShift);
    EXPECT_EQ(MappedKeysModel::KeyIndex(u"VK_NOTAKEY", false, false, false, false), -1);
    EXPECT_EQ(MappedKeysModel::KeyLabel(kF5 | kKeyAlt | kKeyCtrl | kKeyShift | kKeyExtended),
              u"Alt+Ctrl+Shift+Ext+VK_F5");

    MakeSession(u"a");
    auto session = Load(u"a");
    MappedKeysModel keys(Terminal(session), prompt, u"Session Options - a", false);
    // A session without a map of its own shows the default map, fallback keys and all.
    EXPECT_FALSE(keys.OwnMap());
    EXPECT_EQ(keys.BuiltinName(), u"Default");
    EXPECT_EQ(Action(keys, kF1), u"VT_PF1");
    EXPECT_EQ(Action(keys, 0x08), u"\"\\010\"");
    const size_t listed = keys.Rows().size();

    // A key with no mapping is mapped without a question.
    const int key = kF5 | kKeyCtrl | kKeyShift;
    EXPECT_EQ(keys.MapKey(key, u"SEND", u"\\e[x"), Result::kMapped);
    EXPECT_TRUE(prompt.Questions().empty());
    ASSERT_TRUE(Row(keys, key));
    EXPECT_EQ(Row(keys, key)->key, u"Ctrl+Shift+VK_F5");
    EXPECT_EQ(Action(keys, key), u"\"\\e[x\"");
    EXPECT_EQ(keys.Rows().size(), listed + 1);

    // Mapping it again asks first; No keeps the old mapping, Yes replaces it.
    prompt.AnswerButton(VPromptAnswer::kNo);
    EXPECT_EQ(keys.MapKey(key, u"MENU_COPY", u""), Result::kKept);
    ASSERT_EQ(prompt.Questions().size(), 1u);
    EXPECT_EQ(prompt.Questions()[0].text,
              u"Ctrl+Shift+VK_F5 is already mapped\n\nDo you want to replace that mapping?");
    EXPECT_EQ(prompt.Questions()[0].buttons, VPromptButtons::kYesNo);
    EXPECT_EQ(Action(keys, key), u"\"\\e[x\"");
    prompt.AnswerButton(VPromptAnswer::kYes);
    EXPECT_EQ(keys.MapKey(key, u"RUN", u"/home/me/login.py"), Result::kMapped);
    EXPECT_EQ(Action(keys, key), u"RUN(\"/home/me/login.py\")");
    // A key the built-in map maps counts as mapped too.
    prompt.AnswerButton(VPromptAnswer::kYes);
    EXPECT_EQ(keys.MapKey(kF1, u"DISABLED", u"ignored"), Result::kMapped);
    EXPECT_EQ(prompt.Questions().back().text.str().rfind(u"VK_F1 is already mapped", 0), 0u);
    EXPECT_EQ(Action(keys, kF1), u"DISABLED");

    // Remove takes exactly the listed row away.
    const auto rowOf = [&](int index) {
        for (size_t i = 0; i < keys.Rows().size(); ++i)
            if (keys.Rows()[i].index == index) return i;
        return keys.Rows().size();
    };
    EXPECT_TRUE(keys.Remove(rowOf(key)));
    EXPECT_FALSE(Row(keys, key));
    EXPECT_EQ(keys.Rows().size(), listed);
    EXPECT_EQ(Action(keys, kF1), u"DISABLED");
    EXPECT_FALSE(keys.Remove(keys.Rows().size()));

    // What a map cannot hold is refused with a message and changes nothing (one row per
    // message: the key map's own tests hold its rules).
    struct Refusal {
        int index;
        const char16_t* function;
        const char16_t* value;
        const char16_t* message;
    };
    const Refusal refusals[] = {
        {kF6, u"NONE", u"", kKeyUnknown},
        {kF6, u"SEND", u"", kKeyValueMissing},
        {kF6, u"SEND", u"ls\r\n", kKeyValueHasLineBreak},
    };
    const auto before = keys.Rows().size();
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(testing::Message() << r.index << " " << VUnicodeString(r.function).ToUtf8());
        prompt.AnswerButton(VPromptAnswer::kOk);
        EXPECT_EQ(keys.MapKey(r.index, r.function, r.value), Result::kRefused);
        EXPECT_EQ(prompt.Questions().back().text, r.message);
        EXPECT_EQ(keys.Rows().size(), before);
        EXPECT_EQ(Action(keys, kF6), u"(none)");
    }

    // A read-only dialog changes nothing and asks nothing.
    MappedKeysModel locked(Terminal(session), prompt, u"Session Options - a", true);
    const size_t asked = prompt.Questions().size();
    EXPECT_EQ(locked.MapKey(kF6, u"MENU_COPY", u""), Result::kRefused);
    EXPECT_FALSE(locked.Remove(0));
    EXPECT_EQ(prompt.Questions().size(), asked);
    EXPECT_EQ(Action(locked, kF1), u"VT_PF1");
}

TEST_F(MappedKeys, OkGivesTheSessionItsOwnCopyAndCancelDropsTheChanges) {
    MakeKeymapSession(u"a", u"VT220");

    // Cancel: the edits never reach the session, even when the session is saved afterwards.
    {
        auto session = Load(u"a");
        MappedKeysModel keys(Terminal(session), prompt, u"S", false);
        EXPECT_EQ(keys.BuiltinName(), u"VT220");
        ASSERT_EQ(keys.MapKey(kF6 | kKeyAlt, u"MENU_FIND", u""), Result::kMapped);
        ASSERT_TRUE(database.Save(session.Get(), false));
    }
    {
        auto session = Load(u"a");
        MappedKeysModel keys(Terminal(session), prompt, u"S", false);
        EXPECT_FALSE(keys.OwnMap());
        EXPECT_FALSE(Row(keys, kF6 | kKeyAlt));
    }

    // OK: the built-in map with its default keys becomes the session's own, with the edits.
    std::u16string edited;
    {
        auto session = Load(u"a");
        MappedKeysModel keys(Terminal(session), prompt, u"S", false);
        EXPECT_EQ(Action(keys, kF6), u"VT_F6");                      // from VT220
        EXPECT_EQ(Action(keys, kTab | kKeyCtrl), u"MENU_TAB_NEXT");  // from the default behind it
        ASSERT_EQ(keys.MapKey(kF6 | kKeyAlt, u"SEND", u"\\033[99~"), Result::kMapped);
        size_t f6 = 0;
        while (keys.Rows()[f6].index != kF6) ++f6;
        ASSERT_TRUE(keys.Remove(f6));
        edited = Listed(keys);
        keys.Apply();
        ASSERT_TRUE(database.Save(session.Get(), false));
    }
    EXPECT_NE(File("a.ini").find("Keymap v2"), std::string::npos);
    {
        auto session = Load(u"a");
        EXPECT_EQ(Terminal(session).keymapName.Get(), u"VT220");
        MappedKeysModel keys(Terminal(session), prompt, u"S", false);
        EXPECT_TRUE(keys.OwnMap());
        EXPECT_EQ(Listed(keys), edited);
        EXPECT_EQ(Action(keys, kF6 | kKeyAlt), u"\"\\033[99~\"");
        EXPECT_EQ(Action(keys, kF6), u"(none)");
        EXPECT_EQ(Action(keys, kTab | kKeyCtrl), u"MENU_TAB_NEXT");

        // A later change edits the own map; OK without a change writes nothing new.
        ASSERT_EQ(keys.MapKey(kF5 | kKeyCtrl, u"LAUNCH", u"notepad"), Result::kMapped);
        keys.Apply();
        ASSERT_TRUE(database.Save(session.Get(), false));
    }
    const std::string saved = File("a.ini");
    {
        auto session = Load(u"a");
        MappedKeysModel keys(Terminal(session), prompt, u"S", false);
        EXPECT_EQ(Action(keys, kF5 | kKeyCtrl), u"LAUNCH(\"notepad\")");
        EXPECT_EQ(Action(keys, kF6 | kKeyAlt), u"\"\\033[99~\"");
        keys.Apply();
        ASSERT_TRUE(database.Save(session.Get(), false));
    }
    EXPECT_EQ(File("a.ini"), saved);
}

TEST_F(MappedKeys, AWriteTheStoreRefusesIsReportedAndTheStoredMapKept) {
    MakeKeymapSession(u"a", u"Xterm");
    {
        auto session = Load(u"a");
        MappedKeysModel keys(Terminal(session), prompt, u"S", false);
        ASSERT_EQ(keys.MapKey(kF6 | kKeyAlt, u"MENU_FIND", u""), Result::kMapped);
        keys.Apply();
        ASSERT_TRUE(database.Save(session.Get(), false));
    }
    const std::string before = File("a.ini");
    const auto file = dir / "Config" / "Sessions" / "a.ini";
    std::filesystem::permissions(file, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    std::u16string stored;
    {
        auto session = Load(u"a");
        MappedKeysModel keys(Terminal(session), prompt, u"S", false);
        stored = Listed(keys);
        ASSERT_TRUE(keys.Remove(0));
        prompt.AnswerButton(VPromptAnswer::kYes);
        ASSERT_EQ(keys.MapKey(kF6 | kKeyAlt, u"SEND", u"x"), Result::kMapped);
        keys.Apply();
        // The caller's save is refused and says why; the file is as it was.
        EXPECT_FALSE(database.Save(session.Get(), false));
        EXPECT_NE(database.GetReport().GetMessageId(), 0u);
        VReportMessageParams report = database.GetReport();
        EXPECT_NE(std::u16string(report.GetText()), u"");
    }
    std::filesystem::permissions(file, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
    EXPECT_EQ(File("a.ini"), before);
    auto session = Load(u"a");
    MappedKeysModel keys(Terminal(session), prompt, u"S", false);
    EXPECT_EQ(Listed(keys), stored);
    EXPECT_EQ(Action(keys, kF6 | kKeyAlt), u"MENU_FIND");
}

// An unchanged built-in map follows a newly typed "Keymap Name"; edits and a session's own map
// are kept, and OK after following hands nothing over.
TEST_F(MappedKeys, TheListFollowsTheKeymapNameUntilTheUserEditsIt) {
    enum class Before { kNothing, kEditKeys, kOwnMap };
    const struct {
        Before before;
        const char16_t* typed;
        bool follows;
        const char16_t* shown;  // the built-in map on show afterwards; empty: the own map
    } cases[] = {
        {Before::kNothing, u"Xterm", true, u"Xterm"},
        {Before::kNothing, u"Nonsense", true, u"Default"},
        {Before::kNothing, u"VT220", false, u"VT220"},
        {Before::kEditKeys, u"Xterm", false, u"VT220"},
        {Before::kOwnMap, u"Xterm", false, u""},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(n);
        const std::u16string path = u"s" + std::u16string(1, static_cast<char16_t>(u'0' + n++));
        MakeKeymapSession(path, u"VT220");
        auto session = Load(path.c_str());
        ASSERT_TRUE(session);
        TerminalConfig& terminal = Terminal(session);
        if (c.before == Before::kOwnMap) {
            Keymap own;
            own.SetKeyCode(kF6 | kKeyAlt, Keymap::LookupCodeByName(VUnicodeString(u"MENU_FIND")));
            terminal.keymap = own;
        }
        MappedKeysModel keys(terminal, prompt, u"S", false);
        if (c.before == Before::kEditKeys) {
            ASSERT_EQ(keys.MapKey(kF6 | kKeyAlt, u"MENU_FIND", u""), Result::kMapped);
        }
        const std::u16string before = Listed(keys);
        terminal.keymapName = VUnicodeString(c.typed);
        EXPECT_EQ(keys.FollowKeymapName(), c.follows);
        EXPECT_EQ(keys.BuiltinName(), c.shown);
        // Followed, the list is what a page opened on the new name shows.
        EXPECT_EQ(Listed(keys),
                  c.follows ? Listed(MappedKeysModel(terminal, prompt, u"S", false)) : before);
        EXPECT_EQ(Listed(keys) == before, !c.follows);
        EXPECT_FALSE(c.follows && keys.Changed());
        keys.Apply();
        EXPECT_EQ(terminal.keymap.Get().EntryLines().empty(), c.before == Before::kNothing);
    }
}

}  // namespace
