// The option dialogs' frame: opening, selection with validation, the state map across dialogs,
// showing and hiding pages while open, and the persisted tree strings.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/model/property_tree_model.h"

using namespace sessiondeck;

namespace {

// A page that answers Activate and Validate as told and counts the calls.
class FakePage : public PropertyTreePage {
public:
    using PropertyTreePage::PropertyTreePage;
    bool Activate() override {
        ++activations;
        return activateAnswer;
    }
    bool Validate() override {
        ++validations;
        return validateAnswer;
    }
    bool activateAnswer = true;
    bool validateAnswer = true;
    int activations = 0;
    int validations = 0;
};

// Records what the frame asked of its window, and keeps the tree as the window would show it.
class RecordingView : public IPropertyTreeView {
public:
    void SetTitle(std::u16string_view text) override { title = text; }
    void InsertNode(PropertyNodeId id, PropertyNodeId parent, PropertyNodeId after,
                    std::u16string_view label) override {
        auto& level = parent == kNoPropertyNode ? roots : children[parent];
        auto place = std::find(level.begin(), level.end(), after);
        level.insert(place == level.end() ? level.begin() : place + 1, id);
        labels[id] = label;
        parents[id] = parent;
    }
    void DeleteNode(PropertyNodeId id) override {
        auto& level = parents[id] == kNoPropertyNode ? roots : children[parents[id]];
        level.erase(std::find(level.begin(), level.end(), id));
        labels.erase(id);
        deleted.push_back(id);
    }
    void SelectNode(PropertyNodeId id) override { selected = id; }
    void ExpandNode(PropertyNodeId id, bool expand) override { expanded[id] = expand; }
    void ShowPage(PropertyTreePage* page) override { shown = page; }
    void SetCaption(std::u16string_view text) override { caption = text; }
    void FocusTree() override { ++treeFocused; }

    // The labels in tree order, children in brackets: "A[a1,a2],B".
    std::u16string Outline() const {
        std::u16string out;
        auto walk = [&](auto& self, const std::vector<PropertyNodeId>& level) -> void {
            for (std::size_t i = 0; i < level.size(); ++i) {
                if (i) out += u",";
                out += labels.at(level[i]);
                const auto found = children.find(level[i]);
                if (found != children.end() && !found->second.empty()) {
                    out += u"[";
                    self(self, found->second);
                    out += u"]";
                }
            }
        };
        walk(walk, roots);
        return out;
    }

    std::u16string title, caption;
    std::vector<PropertyNodeId> roots, deleted;
    std::map<PropertyNodeId, std::vector<PropertyNodeId>> children;
    std::map<PropertyNodeId, std::u16string> labels;
    std::map<PropertyNodeId, PropertyNodeId> parents;
    std::map<PropertyNodeId, bool> expanded;
    PropertyNodeId selected = kNoPropertyNode;
    PropertyTreePage* shown = nullptr;
    int treeFocused = 0;
};

// The pages of a small options dialog:
//   General
//   Terminal [Emulation, Appearance]
//   Transfer (no newline: the same text in the tree and the caption bar)
struct Pages {
    FakePage general{u"General\nGeneral Options"};
    FakePage terminal{u"Terminal\nTerminal Options"};
    FakePage emulation{u"Emulation\nTerminal Emulation"};
    FakePage appearance{u"Appearance\nTerminal Appearance"};
    FakePage transfer{u"Transfer"};
    Pages() {
        terminal.AddChild(&emulation);
        terminal.AddChild(&appearance);
    }
    void AddTo(PropertyTreeModel& model) {
        model.AddPage(&general);
        model.AddPage(&terminal);
        model.AddPage(&transfer);
    }
    std::vector<PropertyTreePage*> TopLevel() { return {&general, &terminal, &transfer}; }
};

TEST(PropertyTreeFrame, OpeningFillsTheTreeAndSelectsTheFirstPageOrTheRestoredOne) {
    PropertyPageStateMap map;
    {
        Pages pages;
        PropertyTreeModel model(u"Options", map);
        pages.AddTo(model);
        RecordingView view;
        model.Open(&view);
        EXPECT_EQ(view.title, u"Options");
        EXPECT_EQ(view.Outline(), u"General,Terminal[Emulation,Appearance],Transfer");
        EXPECT_EQ(model.CurrentPage(), &pages.general);
        EXPECT_EQ(view.shown, &pages.general);
        EXPECT_EQ(view.caption, u"  General Options");
        EXPECT_EQ(pages.general.activations, 1);
        EXPECT_EQ(pages.general.validations, 0);  // nothing was on show before
        EXPECT_GE(view.treeFocused, 1);
        // Every page has its state stored under its full caption.
        EXPECT_EQ(map.size(), 5u);
        EXPECT_TRUE(map.at(u"General\nGeneral Options").selected);

        // A caption without a newline serves the tree and the caption bar alike.
        ASSERT_TRUE(model.OnSelect(model.NodeOf(&pages.transfer)));
        EXPECT_EQ(view.labels.at(model.NodeOf(&pages.transfer)), u"Transfer");
        EXPECT_EQ(view.caption, u"  Transfer");
        EXPECT_EQ(pages.general.validations, 1);
        EXPECT_FALSE(map.at(u"General\nGeneral Options").selected);
        EXPECT_TRUE(map.at(u"Transfer").selected);

        // Collapsing is kept in the map.
        model.OnExpand(model.NodeOf(&pages.terminal), false);
        EXPECT_FALSE(map.at(u"Terminal\nTerminal Options").expanded);
        model.Close();
    }
    {
        // A second dialog of the same kind in the same process: same page selected, the
        // category still collapsed.
        Pages pages;
        PropertyTreeModel model(u"Options", map);
        pages.AddTo(model);
        RecordingView view;
        model.Open(&view);
        EXPECT_EQ(model.CurrentPage(), &pages.transfer);
        EXPECT_EQ(view.selected, model.NodeOf(&pages.transfer));
        EXPECT_EQ(pages.general.activations, 0);
        EXPECT_FALSE(model.IsExpanded(model.NodeOf(&pages.terminal)));
        EXPECT_EQ(view.expanded.count(model.NodeOf(&pages.terminal)), 0u);
        EXPECT_TRUE(view.expanded.at(model.NodeOf(&pages.general)));
    }
    {
        // Keep-selection: with a selection in the map it stands; without one nothing is chosen.
        DeleteStateMap(map);
        EXPECT_TRUE(map.empty());
        Pages pages;
        PropertyTreeModel model(u"Options", map);
        model.keepSelection = true;
        pages.AddTo(model);
        RecordingView view;
        model.Open(&view);
        EXPECT_EQ(model.CurrentPage(), nullptr);
        EXPECT_EQ(view.shown, nullptr);
    }
}

TEST(PropertyTreeFrame, AnInvalidPageCannotBeLeftAndARefusingPageIsNotShown) {
    PropertyPageStateMap map;
    Pages pages;
    PropertyTreeModel model(u"Options", map);
    pages.AddTo(model);
    RecordingView view;
    model.Open(&view);

    pages.general.validateAnswer = false;
    EXPECT_FALSE(model.OnSelect(model.NodeOf(&pages.terminal)));
    EXPECT_FALSE(model.OnKey(PropertyTreeKey::kTab, false, false));  // not the frame's without Ctrl
    EXPECT_TRUE(model.OnKey(PropertyTreeKey::kTab, true, false));
    EXPECT_EQ(model.CurrentPage(), &pages.general);
    EXPECT_EQ(view.selected, model.NodeOf(&pages.general));
    EXPECT_EQ(pages.terminal.activations, 0);  // never asked: the old page refused first
    EXPECT_FALSE(model.Ok());
    EXPECT_EQ(model.Result(), PropertyTreeResult::kOpen);
    EXPECT_TRUE(map.at(pages.general.Caption()).selected);

    // With validation suppressed the page can be left.
    model.noValidation = true;
    EXPECT_TRUE(model.OnSelect(model.NodeOf(&pages.transfer)));
    model.noValidation = false;

    // A page whose activation fails is not shown, and the page on show stays.
    pages.general.validateAnswer = true;
    pages.terminal.activateAnswer = false;
    EXPECT_FALSE(model.OnSelect(model.NodeOf(&pages.terminal)));
    EXPECT_EQ(model.CurrentPage(), &pages.transfer);
    EXPECT_EQ(view.shown, &pages.transfer);

    // OK validates the page on show; Cancel does not.
    pages.transfer.validateAnswer = false;
    const int before = pages.transfer.validations;
    model.Cancel();
    EXPECT_EQ(model.Result(), PropertyTreeResult::kCancel);
    EXPECT_EQ(pages.transfer.validations, before);
    EXPECT_FALSE(model.Ok());
    pages.transfer.validateAnswer = true;
    EXPECT_TRUE(model.Ok());
    EXPECT_EQ(model.Result(), PropertyTreeResult::kOk);
}

TEST(PropertyTreeFrame, PagesShownAndHiddenWhileOpenKeepTheirPlaceAndState) {
    PropertyPageStateMap map;
    Pages pages;
    FakePage module{u"SSH2\nSSH2 Options"};
    PropertyTreeModel model(u"Options", map);
    pages.AddTo(model);
    RecordingView view;
    model.Open(&view);

    // Hiding the page on show selects the first top-level page first, without validating the
    // page that goes.
    ASSERT_TRUE(model.OnSelect(model.NodeOf(&pages.appearance)));
    pages.appearance.validateAnswer = false;
    model.HidePage(&pages.terminal);
    EXPECT_EQ(model.CurrentPage(), &pages.general);
    EXPECT_EQ(view.shown, &pages.general);
    EXPECT_EQ(pages.appearance.validations, 0);
    EXPECT_EQ(view.Outline(), u"General,Transfer");
    EXPECT_EQ(view.deleted.size(), 3u);  // both sub-pages and the page
    EXPECT_EQ(model.NodeOf(&pages.emulation), kNoPropertyNode);
    EXPECT_FALSE(map.at(pages.appearance.Caption()).selected);

    // Shown again, it goes back between its neighbours with its sub-pages.
    model.ShowPage(&pages.terminal);
    EXPECT_EQ(view.Outline(), u"General,Terminal[Emulation,Appearance],Transfer");
    EXPECT_EQ(model.CurrentPage(), &pages.general);

    // A module's page added while open: at its place in the list; while the protocol pages
    // change it comes in unselected even when the map says selected.
    map[module.Caption()] = PropertyPageState{true, true};
    pages.terminal.AddChild(&module);
    model.protocolUpdate = true;
    model.ShowPage(&module);
    model.protocolUpdate = false;
    EXPECT_EQ(view.Outline(), u"General,Terminal[Emulation,Appearance,SSH2],Transfer");
    EXPECT_EQ(model.CurrentPage(), &pages.general);
    EXPECT_FALSE(map.at(module.Caption()).selected);
    EXPECT_TRUE(view.expanded.at(model.NodeOf(&pages.terminal)));

    // Hiding a page that is not on show leaves the selection alone.
    model.HidePage(&pages.transfer);
    EXPECT_EQ(model.CurrentPage(), &pages.general);
    EXPECT_EQ(view.Outline(), u"General,Terminal[Emulation,Appearance,SSH2]");

    // Removing the page on show takes it out of the tree and the list.
    ASSERT_TRUE(model.OnSelect(model.NodeOf(&pages.general)));
    model.RemovePage(&pages.general);
    EXPECT_EQ(model.TopLevelPages().size(), 2u);
    EXPECT_EQ(model.CurrentPage(), &pages.terminal);
    EXPECT_EQ(view.Outline(), u"Terminal[Emulation,Appearance,SSH2]");
}

TEST(PropertyTreeFrame, PersistedStringsSeedTheMapAndAreWrittenByLabelPath) {
    struct Case {
        const char* name;
        std::u16string state;
        std::u16string selected;
        bool terminalExpanded;
        bool emulationExpanded;
        FakePage Pages::*selectedPage;
    };
    const std::vector<Case> cases = {
        // The shipped default form: digits for the pages in tree order.
        {"digits", u"11000", u"Transfer+", true, false, &Pages::transfer},
        {"short digits", u"0", u"", true, true, nullptr},
        {"entries", u"Terminal+=0;Terminal+Emulation+=1", u"Terminal+Appearance+", false, true,
         &Pages::appearance},
        // An entry for a page that is not there moves nothing; a broken entry is skipped.
        {"unknown pages", u"Gone+=0;Terminal+=0;Terminal+Emulation+=x", u"Gone+", false, true,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pages pages;
        PropertyPageStateMap map;
        SeedPageStateMap(map, pages.TopLevel(), c.state, c.selected);
        PropertyTreeModel model(u"Options", map);
        pages.AddTo(model);
        RecordingView view;
        model.Open(&view);
        EXPECT_EQ(model.IsExpanded(model.NodeOf(&pages.terminal)), c.terminalExpanded);
        EXPECT_EQ(pages.emulation.expanded, c.emulationExpanded);
        PropertyTreePage* expected = c.selectedPage ? &(pages.*c.selectedPage) : &pages.general;
        EXPECT_EQ(model.CurrentPage(), expected);
    }

    // What the map holds now wins over the persisted strings.
    Pages pages;
    PropertyPageStateMap map;
    map[pages.terminal.Caption()] = PropertyPageState{false, false};
    map[pages.general.Caption()] = PropertyPageState{true, true};
    SeedPageStateMap(map, pages.TopLevel(), u"Terminal+=1", u"Transfer+");
    EXPECT_FALSE(map.at(pages.terminal.Caption()).expanded);
    EXPECT_EQ(map.count(pages.transfer.Caption()), 0u);

    // Written by label path; entries of pages that were not there this time are kept.
    map[pages.emulation.Caption()] = PropertyPageState{false, false};
    const PersistedTreeState persisted =
        PersistPageStateMap(map, pages.TopLevel(), u"Terminal+=1;Gone+=0;Transfer+=0");
    EXPECT_EQ(persisted.state,
              u"General+=1;Terminal+=0;Terminal+Emulation+=0;Terminal+Appearance+=1;"
              u"Transfer+=1;Gone+=0");
    EXPECT_EQ(persisted.selected, u"General+");

    // The round trip gives the same states to a fresh process.
    Pages again;
    PropertyPageStateMap fresh;
    SeedPageStateMap(fresh, again.TopLevel(), persisted.state, persisted.selected);
    EXPECT_FALSE(fresh.at(again.terminal.Caption()).expanded);
    EXPECT_FALSE(fresh.at(again.emulation.Caption()).expanded);
    EXPECT_TRUE(fresh.at(again.general.Caption()).selected);

    // A label that could not be read back is not written.
    FakePage odd{u"A+B"};
    PropertyPageStateMap oddMap;
    EXPECT_EQ(PersistPageStateMap(oddMap, {&odd}).state, u"");
}

}  // namespace

TEST(PropertyTreeFrame, CtrlTabAndCtrlPageKeysWalkTheVisibleNodesAndWrap) {
    PropertyPageStateMap map;
    Pages pages;
    PropertyTreeModel model(u"Options", map);
    pages.AddTo(model);
    RecordingView view;
    model.Open(&view);

    struct Step {
        PropertyTreeKey key;
        bool shift;
        PropertyTreePage* expected;
    };
    // Expanded: General, Terminal, Emulation, Appearance, Transfer.
    const std::vector<Step> expandedSteps = {
        {PropertyTreeKey::kTab, true, &pages.transfer},  // previous from the first wraps
        {PropertyTreeKey::kTab, false, &pages.general},  // next from the last wraps
        {PropertyTreeKey::kPageDown, false, &pages.terminal},
        {PropertyTreeKey::kPageDown, false, &pages.emulation},
        {PropertyTreeKey::kPageUp, false, &pages.terminal},
    };
    for (std::size_t i = 0; i < expandedSteps.size(); ++i) {
        EXPECT_TRUE(model.OnKey(expandedSteps[i].key, true, expandedSteps[i].shift));
        EXPECT_EQ(model.CurrentPage(), expandedSteps[i].expected) << "step " << i;
        EXPECT_EQ(view.shown, expandedSteps[i].expected) << "step " << i;
    }
    // Collapsed, the sub-pages are skipped.
    model.OnExpand(model.NodeOf(&pages.terminal), false);
    const std::vector<Step> collapsedSteps = {
        {PropertyTreeKey::kTab, false, &pages.transfer},
        {PropertyTreeKey::kPageDown, false, &pages.general},
        {PropertyTreeKey::kPageUp, false, &pages.transfer},
        {PropertyTreeKey::kTab, true, &pages.terminal},
    };
    for (std::size_t i = 0; i < collapsedSteps.size(); ++i) {
        EXPECT_TRUE(model.OnKey(collapsedSteps[i].key, true, collapsedSteps[i].shift));
        EXPECT_EQ(model.CurrentPage(), collapsedSteps[i].expected) << "collapsed step " << i;
    }
}
