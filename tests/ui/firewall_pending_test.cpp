// The Firewall page's pending list: the name rules against it, what OK writes and Cancel leaves,
// and an OK the store refuses (a folder the user cannot write) keeping what was not written.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "app/global_config.h"
#include "session/connect_protocol_table.h"
#include "session/firewall_store.h"
#include "support/memory_store.h"
#include "support/scripted_prompt.h"
#include "ui/model/firewall_list_model.h"
#include "ui/model/global_options_model.h"
#include "ui/ui_fixture.h"

namespace {

using FirewallPointer = VUnknownPointer<FirewallConfig>;

class FirewallPending : public UiStoreTest {
protected:
    static FirewallFields Fields(const std::u16string& name, const std::u16string& host) {
        FirewallFields fields;
        fields.name = name;
        fields.type = u"HTTP";
        fields.host = host;
        return fields;
    }
    // Stored directly, each with its name in its host so that the tests can tell them apart.
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
        const auto& names = model.Names();
        return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) -
                                        names.begin());
    }
    ScriptedPrompt prompt;
};

// Steps, separated by blanks: "+NAME" adds NAME (host new.example), "-NAME" deletes it,
// "OLD>NEW" renames. Only the last step may be refused.
TEST_F(FirewallPending, NameRulesHoldAgainstThePendingListAndOkWritesTheResult) {
    struct Case {
        const char* what;
        bool caseBlindStore;  // the memory store, which compares names without case
        std::u16string steps;
        std::u16string refusal;  // of the last step; empty when it is taken
        std::string stored;      // after Commit
    };
    const std::vector<Case> cases = {
        {"two adds of one name", false, u"+Home + Home ",
         u"The firewall name 'Home' already exists",
         "Home=new.example,Lab=Lab.example,Office=Office.example"},
        {"delete then add again", false, u"-Office +Office", u"",
         "Lab=Lab.example,Office=new.example"},
        {"a rename frees the old name", false, u"Office>Gate +Office", u"",
         "Gate=Office.example,Lab=Lab.example,Office=new.example"},
        {"rename onto a pending add", false, u"+Home Lab>Home",
         u"The firewall name 'Home' already exists",
         "Home=new.example,Lab=Lab.example,Office=Office.example"},
        {"rename onto a stored name", false, u"Lab>Office",
         u"The firewall name 'Office' already exists", "Lab=Lab.example,Office=Office.example"},
        {"swap through a third name", false, u"Office>Tmp Lab>Office Tmp>Lab", u"",
         "Lab=Office.example,Office=Lab.example"},
        {"blank name", false, u"+ ", u"The firewall name must be specified",
         "Lab=Lab.example,Office=Office.example"},
        {"illegal character", false, u"+a|b",
         u"The firewall name contains an illegal character: ' | '",
         "Lab=Lab.example,Office=Office.example"},
        {"case differs, exact store", false, u"+office", u"",
         "Lab=Lab.example,Office=Office.example,office=new.example"},
        {"case differs, case-blind store", true, u"+office",
         u"The firewall name 'office' already exists", "Lab=Lab.example,Office=Office.example"},
        {"case-blind: delete then add in other case", true, u"-Office +OFFICE", u"",
         "Lab=Lab.example,Office=new.example"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryStoreFactory memory;
        TempDir folder;
        VIniFileStoreFactory ini(VUnicodeString::FromUtf8((folder / "Config").string()));
        VProfileStoreFactory* store = c.caseBlindStore ? static_cast<VProfileStoreFactory*>(&memory)
                                                       : static_cast<VProfileStoreFactory*>(&ini);
        Store(u"Office", store);
        Store(u"Lab", store);
        const std::string before = Stored(store);
        FirewallListModel model(prompt, u"Global Options", store);

        std::vector<std::u16string> steps;
        for (std::size_t at = 0; at < c.steps.size();) {
            // A step ends at the next blank that follows a non-blank ("+ " is a blank name).
            std::size_t end = c.steps.find(u' ', at + 2);
            if (end == std::u16string::npos) end = c.steps.size();
            steps.push_back(c.steps.substr(at, end - at));
            at = end + 1;
        }
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const std::u16string& step = steps[i];
            const bool last = i + 1 == steps.size();
            if (step[0] == u'-')
                prompt.AnswerButton(VPromptAnswer::kYes);
            else if (last && !c.refusal.empty())
                prompt.AnswerButton(VPromptAnswer::kOk);
            const std::size_t asked = prompt.Questions().size();
            bool taken = false;
            if (step[0] == u'+') {
                taken = model.Save(Fields(step.substr(1), u"new.example"), u"");
            } else if (step[0] == u'-') {
                taken = model.Delete(IndexOf(model, step.substr(1)));
            } else {
                const std::size_t arrow = step.find(u'>');
                const std::u16string from = step.substr(0, arrow);
                auto fields = model.Fields(IndexOf(model, from));
                ASSERT_TRUE(fields);
                fields->name = step.substr(arrow + 1);
                taken = model.Save(*fields, from);
            }
            if (!last || c.refusal.empty()) {
                ASSERT_TRUE(taken) << VUnicodeString(step).ToUtf8();
                continue;
            }
            EXPECT_FALSE(taken);
            ASSERT_EQ(prompt.Questions().size(), asked + 1);
            EXPECT_EQ(prompt.Questions().back().text.str(), c.refusal);
        }
        // Nothing reaches the store before Commit.
        EXPECT_EQ(Stored(store), before);
        EXPECT_TRUE(model.Commit());
        EXPECT_FALSE(model.HasPendingChanges());
        EXPECT_EQ(Stored(store), c.stored);
        EXPECT_EQ(model.Names().size(), GetFirewallNames(store).GetSize());
    }
}

// A password typed at one edit survives a later edit that typed none; a firewall deleted and
// added again does not inherit the old one's.
TEST_F(FirewallPending, APendingEditKeepsItsTypedPasswordAndAReAddGetsNoOldOne) {
    Store(u"Office");
    Store(u"Lab");
    FirewallListModel model(prompt, u"Global Options");
    for (const char16_t* password : {u"typed", u""}) {
        auto fields = model.Fields(IndexOf(model, u"Office"));
        ASSERT_TRUE(fields);
        EXPECT_TRUE(fields->password.empty() && fields->passwordSet);
        fields->password = password;
        fields->passwordEdited = *password != 0;
        ASSERT_TRUE(model.Save(*fields, u"Office"));
    }
    prompt.AnswerButton(VPromptAnswer::kYes);
    ASSERT_TRUE(model.Delete(IndexOf(model, u"Lab")));
    ASSERT_TRUE(model.Save(Fields(u"Lab", u"lab.example"), u""));
    ASSERT_TRUE(model.Commit());
    for (const auto& [name, password] : {std::pair{u"Office", u"typed"}, std::pair{u"Lab", u""}}) {
        FirewallPointer stored = FirewallPointer::Adopt(LoadFirewall(VUnicodeString(name), true));
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->GetStoredPassword().str(), password);
    }
}

class NullView : public IPropertyTreeView {
public:
    void SetTitle(std::u16string_view) override {}
    void InsertNode(PropertyNodeId, PropertyNodeId, PropertyNodeId, std::u16string_view) override {}
    void DeleteNode(PropertyNodeId) override {}
    void SelectNode(PropertyNodeId) override {}
    void ExpandNode(PropertyNodeId, bool) override {}
    void ShowPage(PropertyTreePage*) override {}
    void SetCaption(std::u16string_view) override {}
    void FocusTree() override {}
};

// Global Options: Cancel writes none of the page's changes, OK writes them all.
TEST_F(FirewallPending, GlobalOptionsCancelLeavesTheStoreAndOkWritesIt) {
    const GlobalPagesFunction previousHook = GetGlobalPagesHook();
    SetGlobalPagesHook(nullptr);
    Store(u"Office");
    Store(u"Lab");
    VUnknownPointer<GlobalConfig> config =
        VUnknownPointer<GlobalConfig>::Adopt(CreateGlobalConfig(nullptr));
    for (const bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "OK" : "Cancel");
        GlobalOptionsModel::DeleteStateMap();
        GlobalOptionsModel model(*config, {true, true, false}, prompt);
        NullView view;
        model.Frame().Open(&view);
        FirewallListModel& page = model.Firewalls();
        ASSERT_TRUE(page.Save(Fields(u"Home", u"new.example"), u""));
        auto fields = page.Fields(IndexOf(page, u"Office"));
        ASSERT_TRUE(fields);
        fields->host = u"moved.example";
        ASSERT_TRUE(page.Save(*fields, u"Office"));
        prompt.AnswerButton(VPromptAnswer::kYes);
        ASSERT_TRUE(page.Delete(IndexOf(page, u"Lab")));
        if (ok) {
            EXPECT_TRUE(model.Ok());
            EXPECT_EQ(Stored(), "Home=new.example,Office=moved.example");
        } else {
            model.Cancel();
            EXPECT_EQ(Stored(), "Lab=Lab.example,Office=Office.example");
        }
    }
    SetGlobalPagesHook(previousHook);
    GlobalOptionsModel::DeleteStateMap();
}

// Runs `check` in a child process as the unprivileged user when the test runs as root (root
// writes whatever the modes say) and returns its exit status: 0 when every check held.
int RunAsNobody(const std::function<int()>& check) {
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(100);
        ::_exit(check());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// An OK the store refuses: the Firewalls folder is read-only to the user. The reason is the
// store's, nothing stored changes, the changes stay pending, and OK once the folder is writable
// again writes them.
TEST_F(FirewallPending, AnOkTheStoreRefusesKeepsThePendingChangesAndLosesNothing) {
    Store(u"Office");
    const std::filesystem::path firewalls = dir / "Config" / "Firewalls";
    ASSERT_TRUE(std::filesystem::is_directory(firewalls));
    const std::string before = Stored();
    if (::geteuid() == 0) {
        std::filesystem::permissions(dir.path(), std::filesystem::perms::others_exec,
                                     std::filesystem::perm_options::add);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir / "Config"))
            ASSERT_EQ(::lchown(entry.path().c_str(), 65534, 65534), 0);
        ASSERT_EQ(::lchown((dir / "Config").c_str(), 65534, 65534), 0);
    }
    FirewallListModel model(prompt, u"Global Options");
    auto fields = model.Fields(0);
    ASSERT_TRUE(fields);
    fields->host = u"moved.example";
    ASSERT_TRUE(model.Save(*fields, u"Office"));
    ASSERT_TRUE(model.Save(Fields(u"Lab", u"new.example"), u""));

    const auto readOnly = [&](bool on) {
        const auto mode =
            on ? std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec
               : std::filesystem::perms::owner_all;
        std::error_code error;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(firewalls))
            std::filesystem::permissions(
                entry.path(),
                entry.is_directory() ? mode : mode & ~std::filesystem::perms::owner_exec, error);
        std::filesystem::permissions(firewalls, mode, error);
    };
    const int status = RunAsNobody([&] {
        readOnly(true);
        prompt.AnswerButton(VPromptAnswer::kOk);
        if (model.Commit()) return 1;
        if (prompt.Questions().size() != 1) return 2;
        const std::u16string said = prompt.Questions()[0].text.str();
        if (said.rfind(u"The firewall 'Office' could not be saved: ", 0) != 0) return 3;
        // The store's own reason, not the fallback for a write it dropped silently.
        if (said.find(u"did not keep it") != std::u16string::npos) return 4;
        if (said.find(u"Permission denied") == std::u16string::npos) return 9;
        if (Stored() != before) return 5;
        if (model.State(IndexOf(model, u"Office")) != FirewallListModel::EntryState::kChanged ||
            model.State(IndexOf(model, u"Lab")) != FirewallListModel::EntryState::kNew)
            return 6;
        readOnly(false);
        if (!model.Commit() || model.HasPendingChanges()) return 7;
        if (Stored() != "Lab=new.example,Office=moved.example") return 8;
        return 0;
    });
    EXPECT_EQ(status, 0);
    readOnly(false);
}

}  // namespace
