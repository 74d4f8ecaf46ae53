// A firewall renamed on the Global Options Firewall page takes the sessions that name it along,
// and one that cannot follow keeps the firewall under its old name.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

#include "session/firewall_config.h"
#include "session/firewall_store.h"
#include "support/scripted_prompt.h"
#include "ui/model/firewall_list_model.h"
#include "ui/ui_fixture.h"

namespace {

class FirewallRename : public UiStoreTest {
protected:
    FirewallRename() {
        for (const char16_t* name : {u"Office", u"Lab", u"DefaultTerminalFirewall"}) {
            auto firewall = VUnknownPointer<FirewallConfig>::Adopt(
                new FirewallConfig(VUnicodeString(name), nullptr));
            firewall->SetFirewallType(VUnicodeString(u"HTTP"));
            EXPECT_TRUE(SaveFirewall(firewall.Get(), true));
        }
    }
    // A session naming `firewall` (null: no name, the older switch "Use Firewall" on).
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
        VProfileKey key(store.GetRootKey(), u"Sessions\\" + path);
        VUnicodeString name;
        return key.QueryString(u"Firewall Name", name) ? name.str() : u"(none)";
    }
    static std::string Firewalls() {
        std::vector<std::string> sorted;
        for (const VUnicodeString& name : GetFirewallNames()) sorted.push_back(name.ToUtf8());
        std::sort(sorted.begin(), sorted.end());
        std::string names;
        for (const std::string& name : sorted) names += name + ",";
        return names;
    }
    // Renames the listed firewall `from` to `to` on the page.
    void Rename(FirewallListModel& page, const std::u16string& from, const std::u16string& to) {
        const auto& names = page.Names();
        const std::size_t at = std::find(names.begin(), names.end(), from) - names.begin();
        auto fields = page.Fields(at);
        ASSERT_TRUE(fields);
        fields->name = to;
        ASSERT_TRUE(page.Save(*fields, from));
    }
    ScriptedPrompt prompt;
};

TEST_F(FirewallRename, SessionsFollowRenamesAndSwapsAndNothingElseIsWritten) {
    MakeFolder(u"F");
    Session(u"a", u"Office");
    Session(u"F\\b", u"Lab");
    Session(u"Default", u"Office");
    Session(u"old", nullptr);  // names the terminal firewall through the older switch
    Session(u"none", u"None");
    const std::string untouched = File("none.ini");

    FirewallListModel page(prompt, u"Global Options");
    // Office and Lab swap names through a third one; the terminal firewall gets a name.
    Rename(page, u"Office", u"Tmp");
    Rename(page, u"Lab", u"Office");
    Rename(page, u"Tmp", u"Lab");
    Rename(page, u"DefaultTerminalFirewall", u"Term");
    ASSERT_TRUE(page.Commit());
    EXPECT_TRUE(prompt.Questions().empty());

    EXPECT_EQ(FirewallOf(u"a"), u"Lab");
    EXPECT_EQ(FirewallOf(u"F\\b"), u"Office");
    EXPECT_EQ(FirewallOf(u"Default"), u"Lab");
    EXPECT_EQ(FirewallOf(u"old"), u"Term");
    EXPECT_EQ(File("none.ini"), untouched);
    EXPECT_NE(File("a.ini").find("example"), std::string::npos);  // its other values stay
    EXPECT_EQ(Firewalls(), "Lab,Office,Term,");
}

TEST_F(FirewallRename, ASessionThatCannotFollowKeepsTheOldFirewall) {
    Session(u"a", u"Office");
    Session(u"locked", u"Office");
    ASSERT_EQ(chmod((dir / "Config" / "Sessions" / "locked.ini").c_str(), 0444), 0);

    FirewallListModel page(prompt, u"Global Options");
    Rename(page, u"Office", u"Gate");
    prompt.AnswerButton(VPromptAnswer::kOk);
    ASSERT_TRUE(page.Commit());

    EXPECT_EQ(FirewallOf(u"a"), u"Gate");
    EXPECT_EQ(FirewallOf(u"locked"), u"Office");
    ASSERT_EQ(prompt.Questions().size(), 1u);
    EXPECT_NE(prompt.Questions()[0].text.str().find(u"1 of the 2 sessions"), std::u16string::npos);
    EXPECT_EQ(Firewalls(), "DefaultTerminalFirewall,Gate,Lab,Office,");
}

}  // namespace
