// Global Options: the page set for the installed applications, the protocol modules' pages,
// and the pages' own messages.
#include <gtest/gtest.h>

#include "support/golden.h"
#include "ui/model/global_options_model.h"
#include "ui/session_options_fixture.h"

namespace {

class GlobalOptions : public ::testing::Test {
protected:
    GlobalOptions() {
        GlobalOptionsModel::DeleteStateMap();
        SetGlobalPagesHook(nullptr);
    }
    ~GlobalOptions() override {
        SetGlobalPagesHook(previousHook);
        GlobalOptionsModel::DeleteStateMap();
    }
    static constexpr GlobalOptionsHost kEverything{true, true, true};
    VUnknownPointer<GlobalConfig> configRef =
        VUnknownPointer<GlobalConfig>::Adopt(CreateGlobalConfig(nullptr));
    GlobalConfig& config = *configRef;
    ScriptedPrompt prompt;
    GlobalPagesFunction previousHook = GetGlobalPagesHook();
};

const OptionPageSet kModulePages{{{u"SSH2\nSSH2 Global", 0, {}, {}}}};
std::pair<void*, int> gHookCall;  // the dialog and flags the hook was given

// The page tree for each set of installed applications, Firewall last
// (tests/golden/ui/global-page-sets.txt); the protocol modules' pages come after it.
TEST_F(GlobalOptions, PagesFollowTheInstalledApplicationsWithFirewallLast) {
    const GlobalOptionsHost hosts[] = {
        {true, true, true}, {true, true, false}, {false, true, true}, {true, false, true}, {}};
    std::u16string text;
    for (const GlobalOptionsHost& host : hosts) {
        GlobalOptionsModel model(config, host, prompt);
        text += Outline(model.Frame().TopLevelPages()) + u"\n";
        EXPECT_EQ(model.Frame().Title(), u"Global Options");
        EXPECT_EQ(model.ProtocolPageSet(), nullptr);
    }
    ExpectMatchesGolden("ui/global-page-sets.txt", VUnicodeString(text).ToUtf8());

    SetGlobalPagesHook([](void* dialog, int flags) -> void* {
        gHookCall = {dialog, flags};
        return const_cast<OptionPageSet*>(&kModulePages);
    });
    GlobalOptionsModel model(config, kEverything, prompt);
    EXPECT_EQ(gHookCall,
              std::make_pair<void*>(static_cast<IPropertyTreeDialog*>(&model.Frame()), 1));
    EXPECT_EQ(model.ProtocolPageSet(), &kModulePages);
    EXPECT_EQ(Outline(model.Frame().TopLevelPages()), text.substr(0, text.find(u'\n')) + u",SSH2");
}

TEST_F(GlobalOptions, PagesRefuseTheirBadValuesWithTheirOwnMessages) {
    const bool transfer = config.IsTransferHost();
    using Values = std::vector<std::pair<std::u16string, std::u16string>>;
    // The page, the settings typed (a check box takes "1"; the first takes the focus), the message.
    const std::tuple<const char16_t*, Values, std::u16string> cases[] = {
        {global_pages::kDefaultSession,
         {{transfer ? u"Auto Session Name FRV" : u"Auto Session Name", u""},
          {transfer ? u"Use Auto Session FRV" : u"Use Auto Session", u"1"}},
         u"Please specify an auto session or uncheck the \"Use auto session\" checkbox."},
        {global_pages::kWebBrowser,
         {{u"HTTP Browser Application", u"  "}, {u"HTTP Use Registry Entry", u"0"}},
         u"Browser Application cannot be blank.\n\nPlease enter a valid browser application"},
        {global_pages::kFtp,
         {{u"Send Buffer Size", u"100"}},
         u"Please enter a buffer size between 512 and 1048576."},
    };
    for (const auto& [caption, values, message] : cases) {
        SCOPED_TRACE(VUnicodeString(caption).ToUtf8());
        GlobalOptionsModel model(config, kEverything, prompt);
        model.Frame().Open(nullptr);  // the model alone, no window
        OptionPage* page = model.Pages().Find(caption);
        ASSERT_NE(page, nullptr);
        ASSERT_TRUE(model.Frame().OnSelect(model.Frame().NodeOf(page)));
        for (const auto& [setting, text] : values) {
            page->Value(page->IndexOf(setting)).text = text;
            page->Value(page->IndexOf(setting)).checked = text == u"1";
        }
        prompt.AnswerButton(VPromptAnswer::kOk);
        EXPECT_FALSE(model.Ok());
        ASSERT_FALSE(prompt.Questions().empty());
        const PromptQuestion& said = prompt.Questions().back();
        EXPECT_EQ(said.caption.str() + u": " + said.text.str(), u"Global Options: " + message);
        EXPECT_EQ(page->FocusControl(), page->IndexOf(values[0].first));
        EXPECT_FALSE(config.IsModified());
        model.Frame().Close();
    }
}

TEST_F(GlobalOptions, TreeStateReachesTheConfigurationOnlyWhenChangedAndSeedsANewProcess) {
    config.Checkpoint();
    // OK on the page `select` names (none: untouched); the page on show when it opened.
    const auto dialog = [&](const char16_t* select) {
        GlobalOptionsModel model(config, kEverything, prompt);
        model.Frame().Open(nullptr);
        const std::u16string opened = model.Frame().CurrentPage()->Caption();
        EXPECT_TRUE(!select ||
                    model.Frame().OnSelect(model.Frame().NodeOf(model.Pages().Find(select))));
        EXPECT_TRUE(model.Ok());
        model.Frame().Close();
        return opened;
    };
    EXPECT_EQ(dialog(nullptr), global_pages::kGeneral);
    EXPECT_FALSE(config.IsModified());  // the tree strings included
    dialog(global_pages::kFtp);
    EXPECT_EQ(config.globalOptionsTreeSelected.Get().str(), u"File Transfer+FTP+");
    EXPECT_NE(config.globalOptionsTreeState.Get().str().find(u"File Transfer+FTP+=1"),
              std::u16string::npos);
    // A new process (an empty map) reopens there from the configuration's strings.
    GlobalOptionsModel::DeleteStateMap();
    EXPECT_EQ(dialog(nullptr), global_pages::kFtp);
}

}  // namespace
