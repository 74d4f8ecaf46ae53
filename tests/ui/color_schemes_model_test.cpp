// The Color Schemes and ANSI Color pages of Global Options: the scheme shown first, New with its
// refusal, Delete answered both ways, editing colours, and OK and Cancel.
#include <gtest/gtest.h>

#include "app/global_config.h"
#include "support/scripted_prompt.h"
#include "ui/model/color_schemes_model.h"
#include "ui/model/global_options_model.h"
#include "ui/ui_fixture.h"

namespace {

using Layer = ColorSchemesModel::Layer;

class ColorSchemesPage : public UiStoreTest {
protected:
    ColorSchemesPage() { GlobalOptionsModel::DeleteStateMap(); }
    ~ColorSchemesPage() override { GlobalOptionsModel::DeleteStateMap(); }
    static std::u16string Current(const ColorSchemesModel& model) {
        return model.Names()[static_cast<std::size_t>(model.Current())];
    }

    static constexpr GlobalOptionsHost kTerminal{true, false, false};
    VUnknownPointer<GlobalConfig> config =
        VUnknownPointer<GlobalConfig>::Adopt(CreateGlobalConfig(nullptr));
    ScriptedPrompt prompt;
};

// Storing the configuration is the global options' own test; the page has to put its list and
// palette into the configuration on OK, and nothing before or on Cancel.
TEST_F(ColorSchemesPage, NewDeleteAndColoursReachTheConfigurationOnOkAndCancelDropsThem) {
    const std::u16string before = *config->colorSchemes.Text();
    const CustomColors ansi = config->ansiColorRgb.Get();
    const std::size_t builtIn = config->colorSchemes.GetCount();
    {
        // The desktop decides Windows's colours.
        GlobalOptionsModel options(*config, kTerminal, prompt, u"Windows");
        ColorSchemesModel& model = options.ColorSchemes();
        EXPECT_FALSE(model.CanEdit() || model.SetRowColor(0, Layer::Foreground, 0x00FF00));
        model.Select(0);
        EXPECT_EQ(model.Current(), 0);
        prompt.AnswerCancel();
        EXPECT_EQ(model.New(), -1);
        prompt.AnswerText(VUnicodeString(u"Night"));
        ASSERT_GE(model.New(), 0);
        model.SetRowColor(0, Layer::Foreground, 0x00FF00);
        model.SetAnsiColor(0, 0x111111);
        EXPECT_TRUE(model.IsModified());
        options.Cancel();
        EXPECT_EQ(*config->colorSchemes.Text(), before);
        EXPECT_TRUE(config->ansiColorRgb.Get() == ansi && !config->colorSchemes.IsModified());
    }
    // The host's scheme is shown first, found without regard to case, else Monochrome.
    for (const auto& [asked, shown] :
         {std::pair{u"traditional", u"Traditional"}, {u"No such scheme", u"Monochrome"}})
        EXPECT_EQ(Current(GlobalOptionsModel(*config, kTerminal, prompt, asked).ColorSchemes()),
                  shown);
    GlobalOptionsModel options(*config, kTerminal, prompt, u"Monochrome");
    ColorSchemesModel& model = options.ColorSchemes();
    EXPECT_TRUE(!model.IsModified() && model.CanEdit() && !model.CanDelete());
    EXPECT_FALSE(model.Delete());  // a built-in scheme: not even asked

    // A name in the list, in any case, is refused; blanks around a name are dropped.
    prompt.AnswerText(VUnicodeString(u"MONOCHROME"));
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_EQ(model.New(), -1);
    EXPECT_EQ(prompt.Questions().back().text.str(), u"'MONOCHROME' already exists.");
    for (const char16_t* name : {u"  Night ", u"Dusk"}) prompt.AnswerText(VUnicodeString(name));
    ASSERT_EQ(model.New(), static_cast<int>(builtIn));
    ASSERT_EQ(model.New(), static_cast<int>(builtIn) + 1);
    EXPECT_TRUE(Current(model) == u"Dusk" && model.CanDelete());
    for (const bool yes : {false, true}) {  // Delete asks; No keeps the scheme
        prompt.AnswerButton(yes ? VPromptAnswer::kYes : VPromptAnswer::kNo);
        EXPECT_EQ(model.Delete(), yes);
        EXPECT_EQ(prompt.Questions().back().text.str(),
                  u"Sessions using this color scheme will default to Monochrome\n\nDo you still "
                  u"want to delete?");
        EXPECT_EQ(model.Names().size(), builtIn + (yes ? 1 : 2));
    }
    EXPECT_EQ(Current(model), u"Night");

    EXPECT_TRUE(model.SetRowColor(1, Layer::Foreground, 0x00FF00));
    EXPECT_TRUE(model.SetRowColor(0, Layer::Background, 0x202020));
    EXPECT_EQ(model.RowColor(1, Layer::Foreground), 0x00FF00u);
    EXPECT_EQ(model.RowColor(0, Layer::Foreground), 0x000000u);
    EXPECT_NE(ansi.colors[1], 0x0000C0u);
    model.SetAnsiColor(1, 0x0000C0);
    EXPECT_EQ(model.AnsiColor(1), 0x0000C0u);
    EXPECT_FALSE(config->colorSchemes.Exists(u"Night"));
    ASSERT_TRUE(options.Ok());
    ASSERT_TRUE(config->colorSchemes.Exists(u"Night") && !config->colorSchemes.Exists(u"Dusk"));
    const ColorScheme night = config->colorSchemes.Find(u"Night").Get();
    EXPECT_EQ(night.foreground[1], 0x00FF00u);  // Bold
    EXPECT_EQ(night.background[0], 0x202020u);  // Normal
    EXPECT_EQ(config->ansiColorRgb.Get().colors[1], 0x0000C0u);
}

}  // namespace
