// Global Options on a real display (Xvfb): opened through the exported entry point over the
// configuration folder made for each test, one value typed as a user would, then OK or Cancel,
// and the configuration file compared line by line with what it held before.
#include "ui/wx/global_options_dialog.h"
#include "ui/wx/gui_fixture.h"

using namespace sessiondeck;

namespace {

// The value file of the global options: the one file (not folder) in the configuration folder
// whose name starts with "Global"; the store picks the extension.
std::filesystem::path GlobalFileIn(const std::filesystem::path& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().filename().string().starts_with("Global"))
            return entry.path();
    return {};
}

// Runs `drive` inside Global Options' modal loop (cancelled afterwards if left open).
Driver OptionsDriver(std::function<void(wxDialog*)> drive) {
    return Driver([](const wxWindow& w) { return w.GetName() == kGlobalOptionsWindowName; },
                  "Global Options", std::move(drive));
}

// Shows the General page and replaces the recent-list size with `typed`, by keyboard.
void TypeRecentListSize(wxDialog* dialog, const char* typed, wxString& shownBefore) {
    auto* found = dynamic_cast<wxTreeCtrl*>(dialog->FindWindow("PropertyTree"));
    ASSERT_NE(found, nullptr);
    const wxTreeItemId general = FindItem(found, found->GetRootItem(), "General");
    ASSERT_TRUE(general.IsOk());
    Click(LabelCentre(found, general));
    auto* size = dynamic_cast<wxTextCtrl*>(dialog->FindWindow("MRU Count"));
    ASSERT_NE(size, nullptr) << "the General page is not on show";
    shownBefore = size->GetValue();
    ClickWindow(size);
    wxUIActionSimulator sim;
    sim.Char('a', wxMOD_CONTROL);
    sim.Text(typed);
    Settle();
}

int ShowOptions(void** held) {
    return ShowGlobalOptionsDialog(nullptr, false, false, false, 0, false, nullptr, nullptr,
                                   nullptr, held);
}

// A value typed and OK change the saved file in that one line; a value typed and left with
// Ctrl+Tab (which writes it into the options) is taken back by Cancel.
TEST_F(SessionDeckGuiTest, GlobalOptionsOkChangesOnlyTheTypedValueAndCancelNothing) {
    // A file holding every option, as a configuration in use does.
    ASSERT_TRUE(SaveGlobalConfig(true));
    const std::filesystem::path file = GlobalFileIn(dir / "Config");
    ASSERT_FALSE(file.empty());
    const std::vector<std::string> before = Lines(file);

    void* held = nullptr;
    bool heldWhileOpen = false;
    wxString shownBefore;
    {
        const Driver driver = OptionsDriver([&](wxDialog* dialog) {
            heldWhileOpen = held == dialog;
            TypeRecentListSize(dialog, "7", shownBefore);
            Screenshot(dialog, "global-options");
            ClickWindow(dialog->FindWindow(wxID_OK));
        });
        EXPECT_EQ(ShowOptions(&held), 1);
    }
    EXPECT_TRUE(heldWhileOpen) << "the dialog pointer did not hold the dialog while it ran";
    EXPECT_EQ(held, nullptr);
    EXPECT_EQ(shownBefore, "4") << "the page did not show the stored value";
    ASSERT_TRUE(SaveGlobalConfig(false));
    const std::vector<std::string> after = Lines(file);
    ASSERT_EQ(after.size(), before.size());
    std::vector<std::string> changed;
    for (std::size_t i = 0; i < after.size(); ++i)
        if (after[i] != before[i]) changed.push_back(after[i]);
    EXPECT_EQ(changed, std::vector<std::string>{"D:\"MRU Count\"=00000007"});

    bool stillOpen = false;
    {
        const Driver driver = OptionsDriver([&](wxDialog* dialog) {
            TypeRecentListSize(dialog, "3", shownBefore);
            wxUIActionSimulator().Char(WXK_TAB, wxMOD_CONTROL);
            Settle();
            stillOpen = dialog->IsModal();
            ClickWindow(dialog->FindWindow(wxID_CANCEL));
        });
        EXPECT_EQ(ShowOptions(nullptr), 2);
    }
    EXPECT_EQ(shownBefore, "7");
    EXPECT_TRUE(stillOpen) << "Ctrl+Tab ended the dialog";
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    ASSERT_NE(config, nullptr);
    EXPECT_EQ(config->mruCount.Get(), 7) << "Cancel kept the value typed before it";
}

}  // namespace
