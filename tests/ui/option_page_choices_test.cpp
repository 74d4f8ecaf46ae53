// Choices whose numbers start above zero and choices among names the user defines elsewhere.
#include <gtest/gtest.h>

#include "app/global_config.h"
#include "session/firewall_config.h"
#include "session/firewall_store.h"
#include "support/scripted_prompt.h"
#include "ui/model/firewall_list_model.h"
#include "ui/model/option_page_model.h"
#include "ui/ui_fixture.h"

namespace {

using TextSetting = VProfile2<VUnicodeString, VProfileSz>;

struct ChoiceRecord : VProfileRecord<ChoiceRecord> {
    VProfile<int> transferType;
    TextSetting firewall;

    static constexpr auto _profileOffsets = VProfileMembers(
        VProfileMember(&ChoiceRecord::transferType, u"Transfer Type", 3).OneOf({1, 2, 3}, 3),
        VProfileMember(&ChoiceRecord::firewall, u"Firewall Name", u"None"));
};

OptionPageDescription ChoicePage() {
    OptionControl type{OptionControlKind::kChoice,
                       OptionRecord::kGlobal,
                       u"Transfer Type",
                       u"Type:",
                       {u"ASCII", u"Binary", u"Automatic"}};
    type.choiceBase = 1;
    OptionControl firewall{OptionControlKind::kChoice, OptionRecord::kGlobal, u"Firewall Name",
                           u"Firewall:"};
    firewall.choiceSource = OptionChoiceSource::kFirewalls;
    return {u"Choices", 0, {type, firewall}};
}

class OptionChoices : public UiStoreTest {};

TEST_F(OptionChoices, NumbersFromTheBaseAndDefinedNamesReadOnEveryShow) {
    ChoiceRecord record;
    record.Load(nullptr);
    record.Checkpoint();
    record.transferType = 2;
    record.firewall = VUnicodeString(u"Gone");  // a firewall deleted since the session named it
    ScriptedPrompt prompt;
    const OptionPageDescription description = ChoicePage();
    OptionPage page(
        description, [&](OptionRecord) -> VProfileData* { return &record; }, prompt);

    ASSERT_TRUE(page.Activate());
    EXPECT_EQ(page.Value(0).choice, 1);  // 2 is the second name when the first stores 1
    EXPECT_EQ(page.Choices(1), (std::vector<std::u16string>{u"None", u"Gone"}));
    EXPECT_EQ(page.Value(1).choice, 1);
    // Showing and leaving the page changes nothing, the undefined name included.
    ASSERT_TRUE(page.Validate());
    EXPECT_EQ(record.transferType.Get(), 2);
    EXPECT_EQ(record.firewall.Get().str(), u"Gone");

    // A firewall defined while the dialog is open is listed the next time the page is shown.
    FirewallListModel firewalls(prompt, u"Global Options");
    FirewallFields office = firewalls.NewFields();
    office.name = u"Office";
    office.type = u"HTTP";
    office.host = u"proxy.example";
    ASSERT_TRUE(firewalls.Save(office, u""));
    ASSERT_TRUE(firewalls.Commit());
    ASSERT_TRUE(page.Activate());
    EXPECT_EQ(page.Choices(1), (std::vector<std::u16string>{u"None", u"Office", u"Gone"}));

    page.Value(0).choice = 2;
    page.Value(1).choice = 1;
    ASSERT_TRUE(page.Validate());
    EXPECT_EQ(record.transferType.Get(), 3);
    EXPECT_EQ(record.firewall.Get().str(), u"Office");
}

}  // namespace
