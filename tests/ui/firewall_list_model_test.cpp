// The Firewall page of Global Options on a real configuration folder: adding, the editor's
// refusals, editing and renaming, deleting answered both ways, and a write the store dropped.
#include <gtest/gtest.h>

#include <cerrno>

#include "session/firewall_config.h"
#include "session/firewall_store.h"
#include "support/memory_store.h"
#include "support/scripted_prompt.h"
#include "ui/model/firewall_list_model.h"
#include "ui/ui_fixture.h"

namespace {

using Names = std::vector<std::u16string>;

class FirewallPage : public UiStoreTest {
protected:
    FirewallFields Proxy(const std::u16string& name) {
        FirewallFields fields = FirewallListModel(prompt, u"Global Options").NewFields();
        fields.name = name;
        fields.type = u"SOCKSv5_USERPASS";
        fields.host = u"proxy.example";
        fields.port = u"3128";
        fields.user = u"ann";
        fields.password = u"s3cret";
        fields.passwordEdited = true;
        return fields;
    }
    ScriptedPrompt prompt;
};

TEST_F(FirewallPage, AddsEditsRenamesAndRefusesWhatTheStoreCannotTake) {
    FirewallListModel model(prompt, u"Global Options");
    EXPECT_EQ(model.Names(), Names{});
    EXPECT_EQ(model.NewFields().type, u"None");
    EXPECT_EQ(model.NewFields().port, u"1080");

    ASSERT_TRUE(model.Save(Proxy(u"  Office  "), u""));
    EXPECT_EQ(model.Names(), Names{u"Office"});  // trimmed
    ASSERT_TRUE(model.Commit());
    {
        VUnknownPointer<FirewallConfig> stored =
            VUnknownPointer<FirewallConfig>::Adopt(LoadFirewall(VUnicodeString(u"Office"), true));
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->GetIntFirewallType(), 4);
        EXPECT_EQ(stored->GetStoredPort(), 3128);
        EXPECT_EQ(stored->GetStoredPassword().str(), u"s3cret");
    }

    // The refusals: each leaves the store as it was and says why (the name rules are the
    // library's; one of them shows they apply).
    struct Case {
        std::u16string name, port, type, current;
        std::u16string message;
    };
    const std::vector<Case> cases = {
        {u" Office", u"3128", u"HTTP", u"", u"The firewall name 'Office' already exists"},
        {u"a/b", u"3128", u"HTTP", u"", u"The firewall name contains an illegal character: ' / '"},
        {u"Lab", u"0", u"HTTP", u"", u"Please enter a port between 1 and 65535."},
        {u"Lab", u"65536", u"HTTP", u"", u"Please enter a port between 1 and 65535."},
        {u"Lab", u"80x", u"HTTP", u"", u"Please enter a port between 1 and 65535."},
        {u"Lab", u"80", u"http", u"", u"Please choose a firewall type."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(VUnicodeString(c.message).ToUtf8());
        FirewallFields fields = Proxy(c.name);
        fields.port = c.port;
        fields.type = c.type;
        prompt.AnswerButton(VPromptAnswer::kOk);
        EXPECT_FALSE(model.Save(fields, c.current));
        ASSERT_FALSE(prompt.Questions().empty());
        EXPECT_EQ(prompt.Questions().back().text.str(), c.message);
        EXPECT_EQ(model.Names(), Names{u"Office"});
    }

    // Editing keeps the password unless it was edited, and a firewall keeps its own name.
    auto fields = model.Fields(0);
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->host, u"proxy.example");
    EXPECT_TRUE(fields->passwordSet);
    EXPECT_TRUE(fields->password.empty());
    fields->port = u"8080";
    ASSERT_TRUE(model.Save(*fields, u"Office"));
    ASSERT_TRUE(model.Commit());

    // Renaming stores the new name with every value and deletes the old one.
    fields = model.Fields(0);
    ASSERT_TRUE(fields);
    fields->name = u"Lab";
    ASSERT_TRUE(model.Save(*fields, u"Office"));
    ASSERT_TRUE(model.Commit());
    EXPECT_EQ(model.Names(), Names{u"Lab"});
    VUnknownPointer<FirewallConfig> lab =
        VUnknownPointer<FirewallConfig>::Adopt(LoadFirewall(VUnicodeString(u"Lab"), true));
    ASSERT_TRUE(lab);
    EXPECT_EQ(lab->GetStoredPort(), 8080);
    EXPECT_EQ(lab->GetStoredPassword().str(), u"s3cret");
    EXPECT_EQ(lab->GetStoredUsername().str(), u"ann");

    // A change of case alone leaves one firewall, not the old beside the new.
    fields = model.Fields(0);
    ASSERT_TRUE(fields);
    fields->name = u"LAB";
    ASSERT_TRUE(model.Save(*fields, u"Lab"));
    ASSERT_TRUE(model.Commit());
    EXPECT_EQ(model.Names(), Names{u"LAB"});
}

TEST_F(FirewallPage, DeleteAsksAndOnlyYesDeletes) {
    FirewallListModel model(prompt, u"Global Options");
    ASSERT_TRUE(model.Save(Proxy(u"A"), u""));
    ASSERT_TRUE(model.Save(Proxy(u"B"), u""));
    ASSERT_TRUE(model.Commit());
    ASSERT_EQ(model.Names().size(), 2u);

    prompt.AnswerButton(VPromptAnswer::kNo);
    EXPECT_FALSE(model.Delete(0));
    EXPECT_EQ(model.Names().size(), 2u);
    ASSERT_EQ(prompt.Questions().size(), 1u);
    EXPECT_EQ(prompt.Questions()[0].text.str(), u"Do you want to delete the specified firewall?");
    EXPECT_EQ(prompt.Questions()[0].buttons, VPromptButtons::kYesNo);

    const std::u16string deleted = model.Names()[0];
    prompt.AnswerButton(VPromptAnswer::kYes);
    EXPECT_TRUE(model.Delete(0));
    ASSERT_EQ(model.Names().size(), 1u);
    EXPECT_NE(model.Names()[0], deleted);
    ASSERT_TRUE(model.Commit());
    EXPECT_FALSE(FirewallExists(VUnicodeString(deleted)));
}

TEST_F(FirewallPage, AWriteTheStoreRefusesIsReportedAndLosesNothing) {
    MemoryStoreFactory memory;
    FirewallListModel model(prompt, u"Global Options", &memory);
    ASSERT_TRUE(model.Save(Proxy(u"Office"), u""));
    ASSERT_TRUE(model.Commit());

    memory.FailWrites(ENOSPC);
    auto fields = model.Fields(0);
    ASSERT_TRUE(fields);
    fields->host = u"elsewhere.example";
    ASSERT_TRUE(model.Save(*fields, u"Office"));
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(model.Commit());
    ASSERT_EQ(prompt.Questions().size(), 1u);
    EXPECT_EQ(
        prompt.Questions()[0].text.str().rfind(u"The firewall 'Office' could not be saved", 0), 0u);

    // The stored firewall is as it was; the edit is still pending.
    memory.FailWrites(0);
    VUnknownPointer<FirewallConfig> stored = VUnknownPointer<FirewallConfig>::Adopt(
        LoadFirewall(VUnicodeString(u"Office"), true, &memory));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->GetFirewallHostname().str(), "proxy.example");
    EXPECT_EQ(model.State(0), FirewallListModel::EntryState::kChanged);
}

}  // namespace
