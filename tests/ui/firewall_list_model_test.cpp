// The Firewall page of Global Options: the editor's refusals, the name rules against the pending
// list, what OK writes, passwords across edits, writes the store refuses (nothing lost), and the
// sessions a renamed firewall takes along.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>

#include "session/firewall_config.h"
#include "session/firewall_store.h"
#include "support/case_file.h"
#include "support/memory_store.h"
#include "support/scripted_prompt.h"
#include "ui/model/firewall_list_model.h"
#include "ui/ui_fixture.h"

namespace {

using FirewallPointer = VUnknownPointer<FirewallConfig>;
using Names = std::vector<std::u16string>;

class FirewallPage : public UiStoreTest {
protected:
    static FirewallFields Proxy(const std::u16string& name,
                                const std::u16string& host = u"proxy.example") {
        return {.name = name,
                .type = u"SOCKSv5_USERPASS",
                .host = host,
                .port = u"3128",
                .user = u"ann",
                .prompt = {},
                .command = {},
                .password = u"s3cret",
                .passwordEdited = true};
    }
    // Stored directly, with its name in its host so that the tests can tell them apart.
    void Store(const std::u16string& name, VProfileStoreFactory* store = nullptr) {
        FirewallPointer firewall =
            FirewallPointer::Adopt(new FirewallConfig(VUnicodeString(name), nullptr));
        firewall->SetFirewallType(VUnicodeString(u"HTTP"));
        firewall->SetFirewallHostname(VUnicodeString(name + u".example"));
        firewall->SetFirewallPassword(VUnicodeString(u"old"));
        ASSERT_TRUE(SaveFirewall(firewall.Get(), true, store));
    }
    // "NAME=HOST" of every stored firewall, sorted, joined with ",".
    static std::string Stored(VProfileStoreFactory* store = nullptr) {
        std::vector<std::string> rows;
        for (const VUnicodeString& name : GetFirewallNames(store)) {
            FirewallPointer firewall = FirewallPointer::Adopt(LoadFirewall(name, true, store));
            rows.push_back(name.ToUtf8() + "=" +
                           (firewall ? firewall->GetFirewallHostname().str() : "?"));
        }
        std::sort(rows.begin(), rows.end());
        std::string out;
        for (const std::string& row : rows) out += (out.empty() ? "" : ",") + row;
        return out;
    }
    static std::size_t IndexOf(FirewallListModel& model, const std::u16string& name) {
        return std::ranges::find(model.Names(), name) - model.Names().begin();
    }
    // A session naming `firewall` (null: none named, the older switch "Use Firewall" on).
    void Session(const std::u16string& path, const char16_t* firewall) {
        MakeSession(path);
        VProfileStore store;
        VProfileKey key(store.GetRootKey(), u"Sessions\\" + path);
        if (firewall)
            key.SetString(u"Firewall Name", firewall);
        else
            key.SetDword(u"Use Firewall", 1);
    }
    static std::u16string FirewallOf(const std::u16string& path) {
        VProfileStore store;
        VUnicodeString name;
        VProfileKey(store.GetRootKey(), u"Sessions\\" + path).QueryString(u"Firewall Name", name);
        return name.str();
    }
    void Rename(FirewallListModel& model, const std::u16string& from, const std::u16string& to) {
        auto fields = model.Fields(IndexOf(model, from));
        ASSERT_TRUE(fields);
        fields->name = to;
        ASSERT_TRUE(model.Save(*fields, from));
    }
    ScriptedPrompt prompt;
};

TEST_F(FirewallPage, AddsEditsRenamesAndRefusesWhatTheEditorCannotTake) {
    FirewallListModel model(prompt, u"Global Options");
    EXPECT_EQ(model.NewFields().type, u"None");
    EXPECT_EQ(model.NewFields().port, u"1080");
    ASSERT_TRUE(model.Save(Proxy(u"  Office  "), u""));
    EXPECT_EQ(model.Names(), Names{u"Office"});  // trimmed
    ASSERT_TRUE(model.Commit());

    const std::pair<const char16_t*, const char16_t*> refused[] = {
        {u"0", u"HTTP"}, {u"65536", u"HTTP"}, {u"80x", u"HTTP"}, {u"80", u"http"}};
    for (const auto& [port, type] : refused) {
        FirewallFields fields = Proxy(u"Lab");
        fields.port = port;
        fields.type = type;
        prompt.AnswerButton(VPromptAnswer::kOk);
        EXPECT_FALSE(model.Save(fields, u""));
        EXPECT_EQ(prompt.Questions().back().text.str(),
                  *type == u'h' ? u"Please choose a firewall type."
                                : u"Please enter a port between 1 and 65535.");
        EXPECT_EQ(model.Names(), Names{u"Office"});
    }
    // An edit keeps the password it did not type; a rename keeps every value.
    auto fields = model.Fields(0);
    ASSERT_TRUE(fields);
    EXPECT_TRUE(fields->passwordSet && fields->password.empty());
    fields->port = u"8080";
    fields->name = u"Lab";
    ASSERT_TRUE(model.Save(*fields, u"Office"));
    ASSERT_TRUE(model.Commit());
    EXPECT_EQ(model.Names(), Names{u"Lab"});
    FirewallPointer lab = FirewallPointer::Adopt(LoadFirewall(VUnicodeString(u"Lab"), true));
    ASSERT_TRUE(lab);
    EXPECT_EQ(lab->GetIntFirewallType(), 4);
    EXPECT_EQ(lab->GetStoredPort(), 8080);
    EXPECT_EQ(lab->GetStoredPassword().str() + u"/" + lab->GetStoredUsername().str(),
              u"s3cret/ann");
    // A change of case alone leaves one firewall, not the old beside the new.
    fields = model.Fields(0);
    fields->name = u"LAB";
    ASSERT_TRUE(model.Save(*fields, u"Lab"));
    ASSERT_TRUE(model.Commit());
    EXPECT_EQ(model.Names(), Names{u"LAB"});

    prompt.AnswerButton(VPromptAnswer::kNo);
    EXPECT_FALSE(model.Delete(0));
    EXPECT_EQ(prompt.Questions().back().text.str(),
              u"Do you want to delete the specified firewall?");
    EXPECT_EQ(prompt.Questions().back().buttons, VPromptButtons::kYesNo);
    prompt.AnswerButton(VPromptAnswer::kYes);
    EXPECT_TRUE(model.Delete(0));
    ASSERT_TRUE(model.Commit());
    EXPECT_EQ(Stored(), "");
}

TEST_F(FirewallPage, NameRulesHoldAgainstThePendingListAndOkWritesTheResult) {
    ExpectCaseFile("ui/firewall-name-steps.txt", [&](const std::vector<std::string>& fields) {
        MemoryStoreFactory memory;
        TempDir folder;
        VIniFileStoreFactory ini(VUnicodeString::FromUtf8((folder / "Config").string()));
        VProfileStoreFactory* store = fields[0] == "memory"
                                          ? static_cast<VProfileStoreFactory*>(&memory)
                                          : static_cast<VProfileStoreFactory*>(&ini);
        Store(u"Office", store);
        Store(u"Lab", store);
        const std::string before = Stored(store);
        ScriptedPrompt asked;
        FirewallListModel model(asked, u"Global Options", store);
        const std::u16string steps = VUnicodeString::FromUtf8(fields[1]).str() + u";";
        std::string out;
        for (std::size_t at = 0, end; (end = steps.find(u';', at)) != std::u16string::npos;
             at = end + 1) {
            std::u16string step = steps.substr(at, end - at);
            const bool refused = step.back() == u'?';
            if (refused) step.pop_back();
            if (step[0] == u'-' || refused)
                asked.AnswerButton(refused ? VPromptAnswer::kOk : VPromptAnswer::kYes);
            bool taken = false;
            if (step[0] == u'+') {
                taken = model.Save(Proxy(step.substr(1), u"new.example"), u"");
            } else if (step[0] == u'-') {
                taken = model.Delete(IndexOf(model, step.substr(1)));
            } else {
                const std::size_t arrow = step.find(u'>');
                auto edit = model.Fields(IndexOf(model, step.substr(0, arrow)));
                if (!edit) return std::string("no such firewall");
                edit->name = step.substr(arrow + 1);
                taken = model.Save(*edit, step.substr(0, arrow));
            }
            if (taken == refused) return std::string(taken ? "taken" : "refused");
            if (refused) out = asked.Questions().back().text.ToUtf8() + " => ";
        }
        if (Stored(store) != before) return std::string("written before OK");
        if (!model.Commit() || model.HasPendingChanges()) return std::string("OK failed");
        if (model.Names().size() != GetFirewallNames(store).GetSize())
            return std::string("list and store differ");
        return out + Stored(store);
    });
}

// A password typed at one edit survives a later edit that typed none, and a firewall deleted and
// added again does not inherit the old one's. An OK the store refuses: the reason is the store's,
// nothing stored changes, the changes stay pending, and OK once the store takes writes again
// writes them.
TEST_F(FirewallPage, PendingEditsKeepTheirPasswordsAndSurviveAnOkTheStoreRefuses) {
    MemoryStoreFactory memory;
    Store(u"Office", &memory);
    Store(u"Lab", &memory);
    FirewallListModel model(prompt, u"Global Options", &memory);
    for (const char16_t* password : {u"typed", u""}) {
        auto fields = model.Fields(IndexOf(model, u"Office"));
        ASSERT_TRUE(fields);
        fields->host = u"moved.example";
        fields->password = password;
        fields->passwordEdited = *password != 0;
        ASSERT_TRUE(model.Save(*fields, u"Office"));
    }
    prompt.AnswerButton(VPromptAnswer::kYes);
    ASSERT_TRUE(model.Delete(IndexOf(model, u"Lab")));
    FirewallFields lab = Proxy(u"Lab", u"new.example");
    lab.password.clear();
    lab.passwordEdited = false;
    ASSERT_TRUE(model.Save(lab, u""));

    memory.FailWrites(ENOSPC);
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(model.Commit());
    ASSERT_EQ(prompt.Questions().size(), 2u);
    const std::u16string said = prompt.Questions()[1].text.str();
    EXPECT_EQ(said.rfind(u"The firewall 'Office' could not be saved: ", 0), 0u);
    // The store's own reason, not the fallback for a write it dropped silently.
    EXPECT_EQ(said.find(u"did not keep it"), std::u16string::npos) << VUnicodeString(said).ToUtf8();
    memory.FailWrites(0);
    EXPECT_EQ(Stored(&memory), "Lab=Lab.example,Office=Office.example");
    EXPECT_EQ(model.State(IndexOf(model, u"Office")), FirewallListModel::EntryState::kChanged);
    EXPECT_EQ(model.State(IndexOf(model, u"Lab")), FirewallListModel::EntryState::kNew);
    EXPECT_TRUE(model.Commit());
    EXPECT_FALSE(model.HasPendingChanges());
    EXPECT_EQ(Stored(&memory), "Lab=new.example,Office=moved.example");
    for (const auto& [name, password] : {std::pair{u"Office", u"typed"}, std::pair{u"Lab", u""}}) {
        FirewallPointer stored =
            FirewallPointer::Adopt(LoadFirewall(VUnicodeString(name), true, &memory));
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->GetStoredPassword().str(), password);
    }
}

TEST_F(FirewallPage, RenamesTakeTheirSessionsAlongAndOneThatCannotFollowKeepsTheOldFirewall) {
    for (const char16_t* name : {u"Office", u"Lab", u"DefaultTerminalFirewall"}) Store(name);
    MakeFolder(u"F");
    Session(u"a", u"Office");
    Session(u"F\\b", u"Lab");
    Session(u"Default", u"Office");
    Session(u"old", nullptr);
    Session(u"none", u"None");
    const std::string untouched = File("none.ini");
    FirewallListModel model(prompt, u"Global Options");
    // Office and Lab swap names through a third one; the terminal firewall gets a name.
    Rename(model, u"Office", u"Tmp");
    Rename(model, u"Lab", u"Office");
    Rename(model, u"Tmp", u"Lab");
    Rename(model, u"DefaultTerminalFirewall", u"Term");
    ASSERT_TRUE(model.Commit());
    EXPECT_EQ(FirewallOf(u"a") + u"," + FirewallOf(u"F\\b") + u"," + FirewallOf(u"Default") + u"," +
                  FirewallOf(u"old"),
              u"Lab,Office,Lab,Term");
    EXPECT_EQ(File("none.ini"), untouched);
    EXPECT_NE(File("a.ini").find("example"), std::string::npos);  // its other values stay
    EXPECT_EQ(Stored(),
              "Lab=Office.example,Office=Lab.example,Term=DefaultTerminalFirewall.example");

    // A read-only session keeps the old name, and so the firewall stays under it as well.
    Session(u"locked", u"Term");
    ASSERT_EQ(chmod((dir / "Config" / "Sessions" / "locked.ini").c_str(), 0444), 0);
    Rename(model, u"Term", u"Gate");
    prompt.AnswerButton(VPromptAnswer::kOk);
    ASSERT_TRUE(model.Commit());
    EXPECT_EQ(FirewallOf(u"old") + u"," + FirewallOf(u"locked"), u"Gate,Term");
    EXPECT_NE(prompt.Questions().back().text.str().find(u"1 of the 2 sessions"),
              std::u16string::npos);
    EXPECT_EQ(Stored(),
              "Gate=DefaultTerminalFirewall.example,Lab=Office.example,"
              "Office=Lab.example,Term=DefaultTerminalFirewall.example");
}

}  // namespace
