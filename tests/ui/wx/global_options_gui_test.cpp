// Global Options on a real display (Xvfb): opened through the exported entry point over the
// configuration folder made for each test, one value typed as a user would, then OK or Cancel,
// and the configuration file compared line by line with what it held before.
#include <fstream>
#include <set>

#include <wx/listbox.h>
#include <wx/textctrl.h>

#include "session/firewall_config.h"
#include "session/firewall_store.h"
#include "ui/wx/global_list_pages.h"
#include "ui/wx/global_options_dialog.h"
#include "ui/wx/gui_fixture.h"

using namespace sessiondeck;

namespace {

// The value file of the global options: the one file (not folder) in the configuration folder
// whose name starts with "Global"; the store picks the extension.
std::filesystem::path GlobalFileIn(const std::filesystem::path& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file() && entry.path().filename().string().starts_with("Global"))
            return entry.path();
    }
    return {};
}

// Runs `drive` inside Global Options' modal loop (cancelled afterwards if left open).
class OptionsDriver : public Driver {
public:
    explicit OptionsDriver(std::function<void(wxDialog*)> drive)
        : Driver([](const wxWindow& w) { return w.GetName() == kGlobalOptionsWindowName; },
                 "Global Options", std::move(drive)) {}
};

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

// Every item of the tree in the order it shows them, once all are expanded.
void CollectItems(wxTreeCtrl* tree, const wxTreeItemId& from, std::vector<wxTreeItemId>& items) {
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = tree->GetFirstChild(from, cookie); child.IsOk();
         child = tree->GetNextChild(from, cookie)) {
        items.push_back(child);
        CollectItems(tree, child, items);
    }
}

int ShowOptions(void** held) {
    return ShowGlobalOptionsDialog(nullptr, false, false, false, 0, false, nullptr, nullptr,
                                   nullptr, held);
}

// A value typed and OK change the saved file in that one line; then Ctrl+Tab visits every node
// (each shows a page and its caption; Firewall is last and the step after it is General), and a
// value typed and left with Ctrl+Tab is taken back by Cancel.
TEST_F(SessionDeckGuiTest, GlobalOptionsOkChangesOnlyTheTypedValueAndCtrlTabThenCancelNothing) {
    // A file holding every option, as a configuration in use does.
    ASSERT_TRUE(SaveGlobalConfig(true));
    const std::filesystem::path file = GlobalFileIn(dir / "Config");
    ASSERT_FALSE(file.empty());
    const std::vector<std::string> before = Lines(file);

    void* held = nullptr;
    bool heldWhileOpen = false;
    wxString shownBefore;
    {
        OptionsDriver driver([&](wxDialog* dialog) {
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
    std::vector<std::pair<std::string, std::string>> changed;
    for (std::size_t i = 0; i < after.size(); ++i) {
        if (after[i] != before[i]) changed.emplace_back(before[i], after[i]);
    }
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_NE(changed[0].second.find("MRU Count"), std::string::npos) << changed[0].second;
    EXPECT_NE(changed[0].second.find('7'), std::string::npos) << changed[0].second;

    struct Visit {
        void* id = nullptr;
        wxString item, caption;
        bool pageShown = false;
    };
    std::vector<Visit> visits;
    wxString first, afterWrap;
    bool stillOpen = false;
    {
        OptionsDriver driver([&](wxDialog* dialog) {
            auto* tree = dynamic_cast<wxTreeCtrl*>(dialog->FindWindow("PropertyTree"));
            wxWindow* caption = dialog->FindWindow("PropertyCaption");
            wxWindow* area = dialog->FindWindow("PropertyPage");
            ASSERT_TRUE(tree && caption && area);
            tree->ExpandAll();
            Settle();
            std::vector<wxTreeItemId> items;
            CollectItems(tree, tree->GetRootItem(), items);
            ASSERT_FALSE(items.empty());
            first = tree->GetItemText(tree->GetSelection());
            wxUIActionSimulator sim;
            for (std::size_t step = 0; step < items.size(); ++step) {
                const wxTreeItemId selected = tree->GetSelection();
                Visit visit{selected.GetID(), tree->GetItemText(selected), caption->GetLabel()};
                for (wxWindow* page : area->GetChildren()) visit.pageShown |= page->IsShown();
                visits.push_back(visit);
                Screenshot(dialog, "global-options-page-" + std::to_string(step));
                sim.Char(WXK_TAB, wxMOD_CONTROL);
                Settle(150);
            }
            afterWrap = tree->GetItemText(tree->GetSelection());

            // Leaving the page writes the typed value into the options; Cancel must undo it.
            TypeRecentListSize(dialog, "3", shownBefore);
            sim.Char(WXK_TAB, wxMOD_CONTROL);
            Settle();
            stillOpen = dialog->IsModal();
            ClickWindow(dialog->FindWindow(wxID_CANCEL));
        });
        EXPECT_EQ(ShowOptions(nullptr), 2);
    }
    // The fixture's host has both applications: General, Default Session, the Terminal and
    // File Transfer subtrees and Firewall.
    ASSERT_GE(visits.size(), 10u);
    std::set<void*> distinctItems;
    for (const Visit& visit : visits) {
        EXPECT_TRUE(visit.pageShown) << visit.item << " shows no page";
        EXPECT_FALSE(visit.caption.empty()) << visit.item;
        distinctItems.insert(visit.id);
    }
    EXPECT_EQ(distinctItems.size(), visits.size()) << "a step stayed on a page or came back early";
    const auto firewall = std::find_if(visits.begin(), visits.end(),
                                       [](const Visit& visit) { return visit.item == "Firewall"; });
    ASSERT_NE(firewall, visits.end());
    const auto next = firewall + 1 == visits.end() ? visits.begin() : firewall + 1;
    EXPECT_EQ(next->item, "General");
    EXPECT_EQ(afterWrap, first);
    EXPECT_TRUE(stillOpen) << "Ctrl+Tab ended the dialog";
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    ASSERT_NE(config, nullptr);
    EXPECT_EQ(config->mruCount.Get(), 7) << "Cancel kept the value typed before it";
}

TEST_F(SessionDeckGuiTest, GlobalOptionsFirewallPageListsTheStoredFirewallsAndCancelUndoesADelete) {
    for (const char16_t* name : {u"Office", u"Lab"}) {
        auto firewall = VUnknownPointer<FirewallConfig>::Adopt(
            new FirewallConfig(VUnicodeString(name), nullptr));
        firewall->SetFirewallType(VUnicodeString(u"HTTP"));
        ASSERT_TRUE(SaveFirewall(firewall.Get(), true));
    }
    MessageRecorder boxes;
    std::vector<wxString> listed, listedAfter;
    OptionsDriver driver([&](wxDialog* dialog) {
        auto* tree = dynamic_cast<wxTreeCtrl*>(dialog->FindWindow("PropertyTree"));
        ASSERT_NE(tree, nullptr);
        const wxTreeItemId item = FindItem(tree, tree->GetRootItem(), "Firewall");
        ASSERT_TRUE(item.IsOk());
        Click(LabelCentre(tree, item));
        auto* list = dynamic_cast<wxListBox*>(dialog->FindWindow(kFirewallListName));
        ASSERT_NE(list, nullptr) << "the Firewall page is not on show";
        for (unsigned i = 0; i < list->GetCount(); ++i) listed.push_back(list->GetString(i));
        const int lab = list->FindString("Lab");
        ASSERT_NE(lab, wxNOT_FOUND);
        list->SetSelection(lab);
        list->SetFocus();
        Settle();
        Screenshot(dialog, "global-options-firewall");
        ClickWindow(dialog->FindWindow("FirewallDelete"));
        Settle();
        for (unsigned i = 0; i < list->GetCount(); ++i) listedAfter.push_back(list->GetString(i));
        ClickWindow(dialog->FindWindow(wxID_CANCEL));
    });
    EXPECT_EQ(ShowOptions(nullptr), 2);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<wxString>{"Lab", "Office"}));
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0], "Do you want to delete the specified firewall?");
    EXPECT_EQ(listedAfter, std::vector<wxString>{"Office"});
    // The page's delete waits for the dialog's OK: Cancel leaves both stored.
    EXPECT_TRUE(FirewallExists(VUnicodeString(u"Lab")));
    EXPECT_TRUE(FirewallExists(VUnicodeString(u"Office")));
}

}  // namespace
