// The Firewall page of Global Options: the editor's refusals, the name rules against the pending
// list, what OK writes, passwords across edits, writes the store refuses (nothing lost), and the
// sessions a renamed firewall takes along.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <sstream>

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

class FirewallPage : public UiStoreTest {
protected:
    // Stored directly (HTTP, user joe, password old), with its name in its host so that the tests
    // can tell them apart.
    static void Store(VProfileStoreFactory* store,
                      std::initializer_list<const char16_t*> names = {u"Office", u"Lab"}) {
        for (const char16_t* name : names) {
            FirewallPointer firewall =
                FirewallPointer::Adopt(new FirewallConfig(VUnicodeString(name), nullptr));
            firewall->SetFirewallType(VUnicodeString(u"HTTP"));
            firewall->SetFirewallHostname(VUnicodeString(name + std::u16string(u".example")));
            firewall->SetFirewallUsername(VUnicodeString(u"joe"));
            firewall->SetFirewallPassword(VUnicodeString(u"old"));
            ASSERT_TRUE(SaveFirewall(firewall.Get(), true, store));
        }
    }
    // Every stored firewall as "NAME=HOST", sorted, joined with ","; with `details`, as
    // "NAME=HOST TYPE:PORT USER/PASSWORD".
    static std::string Stored(VProfileStoreFactory* store = nullptr, bool details = false) {
        std::set<std::string> rows;
        for (const VUnicodeString& name : GetFirewallNames(store)) {
            FirewallPointer f = FirewallPointer::Adopt(LoadFirewall(name, true, store));
            std::string row = name.ToUtf8() + "=" + (f ? f->GetFirewallHostname().str() : "?");
            if (f && details)
                row += " " + std::to_string(f->GetIntFirewallType()) + ":" +
                       std::to_string(f->GetStoredPort()) + " " + f->GetStoredUsername().ToUtf8() +
                       "/" + f->GetStoredPassword().ToUtf8();
            rows.insert(row);
        }
        std::string out;
        for (const std::string& row : rows) out += (out.empty() ? "" : ",") + row;
        return out;
    }
    static std::size_t IndexOf(FirewallListModel& model, const std::u16string& name) {
        return std::ranges::find(model.Names(), name) - model.Names().begin();
    }
    // The firewalls the sessions name, joined with ",".
    static std::u16string FirewallsOf(std::initializer_list<const char16_t*> paths) {
        VProfileStore store;
        std::u16string out;
        for (const char16_t* path : paths) {
            VUnicodeString name;
            VProfileKey(store.GetRootKey(), u"Sessions\\" + std::u16string(path))
                .QueryString(u"Firewall Name", name);
            out += (out.empty() ? u"" : u",") + name.str();
        }
        return out;
    }
    // Runs steps of the step file's form on the model: what the last refused step said (or a
    // refused OK's report and each entry's state), else what went other than marked.
    std::string Run(FirewallListModel& model, const std::string& steps,
                    MemoryStoreFactory* memory = nullptr) {
        // What "+NAME" adds: SOCKSv5 with credentials at new.example:3128, password s3cret typed.
        const FirewallFields proxy{u"", u"SOCKSv5_USERPASS", u"new.example", u"3128", u"ann", u"",
                                   u"", u"s3cret",           true,           false};
        std::string out;
        std::istringstream stream(steps);
        for (std::string text; std::getline(stream, text, ';');) {
            std::u16string step = VUnicodeString::FromUtf8(text).str();
            const bool refused = step.back() == u'?';
            if (refused) step.pop_back();
            const std::u16string head = step.substr(0, step.find(u','));
            bool taken = false;
            if (step == u"!" && memory) {  // OK with every write refused: reported, nothing lost
                memory->FailWrites(ENOSPC);
                prompt.AnswerButton(VPromptAnswer::kOk);
                const bool written = model.Commit();
                memory->FailWrites(0);
                if (written || !model.HasPendingChanges()) return "refused OK taken";
                const std::string said = prompt.Questions().back().text.ToUtf8();
                out = said.substr(0, said.find('\n'));
                for (std::size_t i = 0; i < model.Names().size(); ++i)
                    out += " " + VUnicodeString(model.Names()[i]).ToUtf8() + ":" +
                           "SNC"[static_cast<int>(model.State(i))];
                out += " => ";
                continue;
            }
            if (head[0] == u'-') {
                prompt.AnswerButton(refused ? VPromptAnswer::kNo : VPromptAnswer::kYes);
                taken = model.Delete(IndexOf(model, head.substr(1)));
            } else {
                const bool add = head[0] == u'+';
                const std::u16string from = add ? u"" : head.substr(0, head.find(u'>'));
                auto f = add ? proxy : model.Fields(IndexOf(model, from));
                if (!f) return "no such firewall";
                // The editor never shows a stored password, only that there is one.
                if (!add && (!f->passwordSet || !f->password.empty())) return "pw";
                if (add || head.find(u'>') != head.npos) f->name = head.substr(from.size() + 1);
                for (std::size_t at = head.size(), next; at < step.size(); at = next) {
                    next = std::min(step.find(u',', at + 1), step.size());
                    const std::u16string item = step.substr(at + 1, next - at - 1);
                    const std::u16string key = item.substr(0, item.find(u'='));
                    (key == u"host"   ? f->host
                     : key == u"port" ? f->port
                     : key == u"type" ? f->type
                                      : f->password) = item.substr(key.size() + 1);
                    if (key == u"password") f->passwordEdited = !f->password.empty();
                }
                if (refused) prompt.AnswerButton(VPromptAnswer::kOk);
                taken = model.Save(*f, from);
            }
            if (taken == refused) return taken ? "taken" : "refused";
            if (refused) out = prompt.Questions().back().text.ToUtf8() + " => ";
        }
        return out;
    }
    ScriptedPrompt prompt;
};

// Each row of the table runs its steps on a fresh store; see the table for the step forms.
TEST_F(FirewallPage, RefusalsNameRulesAndPasswordsHoldInThePendingListAndOkWritesTheResult) {
    int row = 0;
    ExpectCaseFile("ui/firewall-steps.txt", [&](const std::vector<std::string>& fields) {
        MemoryStoreFactory memory;
        VIniFileStoreFactory ini(VUnicodeString::FromUtf8((dir / std::to_string(++row)).string()));
        VProfileStoreFactory* store = &ini;
        if (fields[0] == "memory") store = &memory;
        Store(store);
        const std::string before = Stored(store, true);
        FirewallListModel model(prompt, u"Global Options", store);
        const std::string out = Run(model, fields[1], &memory);
        if (Stored(store, true) != before) return std::string("written before OK");
        if (!model.Commit() || model.HasPendingChanges() ||
            model.Names().size() != GetFirewallNames(store).GetSize())
            return std::string("OK failed, or the list is not what it stored");
        return out + Stored(store, fields[1].find(',') != std::string::npos);
    });
}

TEST_F(FirewallPage, RenamesTakeTheirSessionsAlongAndOneThatCannotFollowKeepsTheOldFirewall) {
    Store(nullptr, {u"Office", u"Lab", u"DefaultTerminalFirewall"});
    // Sessions naming a firewall, one with none named and the older switch "Use Firewall" on,
    // and one the store cannot change that names the firewall the second rename moves.
    MakeTree(u"F\\|F\\b|a|Default|old|none|locked");
    const std::pair<const char16_t*, const char16_t*> named[] = {
        {u"a", u"Office"}, {u"F\\b", u"Lab"},  {u"Default", u"Office"},
        {u"old", nullptr}, {u"none", u"None"}, {u"locked", u"Term"}};
    for (const auto& [path, firewall] : named) {
        VProfileStore store;
        VProfileKey key(store.GetRootKey(), u"Sessions\\" + std::u16string(path));
        firewall ? key.SetString(u"Firewall Name", firewall) : key.SetDword(u"Use Firewall", 1);
    }
    ASSERT_EQ(chmod((dir / "Config" / "Sessions" / "locked.ini").c_str(), 0444), 0);
    const std::string untouched = File("none.ini");
    FirewallListModel model(prompt, u"Global Options");
    EXPECT_EQ(model.NewFields().type + u":" + model.NewFields().port, u"None:1080");
    // Office and Lab swap names through a third one; the terminal firewall gets a name.
    ASSERT_EQ(Run(model, "Office>Tmp;Lab>Office;Tmp>Lab;DefaultTerminalFirewall>Term"), "");
    ASSERT_TRUE(model.Commit());
    EXPECT_EQ(FirewallsOf({u"a", u"F\\b", u"Default", u"old"}), u"Lab,Office,Lab,Term");
    EXPECT_EQ(File("none.ini"), untouched);
    EXPECT_NE(File("a.ini").find("example"), std::string::npos);  // its other values stay
    EXPECT_EQ(Stored(),
              "Lab=Office.example,Office=Lab.example,Term=DefaultTerminalFirewall.example");

    // The read-only session keeps the old name, and so the firewall stays under it as well.
    ASSERT_EQ(Run(model, "Term>Gate"), "");
    prompt.AnswerButton(VPromptAnswer::kOk);
    ASSERT_TRUE(model.Commit());
    EXPECT_EQ(FirewallsOf({u"old", u"locked"}), u"Gate,Term");
    EXPECT_NE(prompt.Questions().back().text.str().find(u"1 of the 2 sessions"),
              std::u16string::npos);
    EXPECT_EQ(Stored(),
              "Gate=DefaultTerminalFirewall.example,Lab=Office.example,"
              "Office=Lab.example,Term=DefaultTerminalFirewall.example");
}

}  // namespace
