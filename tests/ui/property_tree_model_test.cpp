// The option dialogs' frame: opening, selection with validation, the state map across dialogs,
// showing and hiding pages while open, the wrapping keys and the persisted tree strings.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "ui/model/property_tree_model.h"

using namespace sessiondeck;

namespace {

// What the pages were asked, in order: "+General" activated, "?General" validated.
std::u16string calls;

// A page that answers Activate and Validate as told and logs the calls.
class FakePage : public PropertyTreePage {
public:
    using PropertyTreePage::PropertyTreePage;
    bool Activate() override { return Log(u'+'), activateAnswer; }
    bool Validate() override { return Log(u'?'), validateAnswer; }
    void Log(char16_t what) { calls += what + std::u16string(TreeLabel()) + u" "; }
    bool activateAnswer = true, validateAnswer = true;
};

// Records what the frame asked of its window, and keeps the tree as the window would show it.
class RecordingView : public IPropertyTreeView {
public:
    void SetTitle(std::u16string_view text) override { title = text; }
    void InsertNode(PropertyNodeId id, PropertyNodeId parent, PropertyNodeId after,
                    std::u16string_view label) override {
        auto& level = children[parent];
        auto place = std::find(level.begin(), level.end(), after);
        level.insert(place == level.end() ? level.begin() : place + 1, id);
        labels[id] = label;
    }
    void DeleteNode(PropertyNodeId id) override {
        for (auto& [parent, level] : children) std::erase(level, id);
        ++deleted;
    }
    void SelectNode(PropertyNodeId id) override { selected = id; }
    void ExpandNode(PropertyNodeId id, bool expand) override { expanded[id] = expand; }
    void ShowPage(PropertyTreePage* page) override { shown = page; }
    void SetCaption(std::u16string_view text) override { caption = text; }
    void FocusTree() override { ++treeFocused; }
    // The labels below `parent` in tree order, children in brackets, "*" after the selected node
    // and "-" after one not expanded: "A*,B-[b1,b2]".
    std::u16string Outline(PropertyNodeId parent = kNoPropertyNode) {
        std::u16string out;
        for (PropertyNodeId id : children[parent]) {
            out += (out.empty() ? u"" : u",") + labels.at(id) + (id == selected ? u"*" : u"") +
                   (expanded[id] ? u"" : u"-");
            if (const std::u16string below = Outline(id); !below.empty())
                out += u"[" + below + u"]";
        }
        return out;
    }

    std::u16string title, caption;
    std::map<PropertyNodeId, std::vector<PropertyNodeId>> children;
    std::map<PropertyNodeId, std::u16string> labels;
    std::map<PropertyNodeId, bool> expanded;
    PropertyNodeId selected = kNoPropertyNode;
    PropertyTreePage* shown = nullptr;
    int treeFocused = 0, deleted = 0;
};

// The state map in caption order, each page by its tree label, "-" when collapsed and "*" when
// selected: "General* Terminal- Transfer ".
std::u16string States(const PropertyPageStateMap& map) {
    std::u16string out;
    for (const auto& [caption, state] : map)
        out += caption.substr(0, caption.find(u'\n')) + (state.expanded ? u"" : u"-") +
               (state.selected ? u"*" : u"") + u" ";
    return out;
}

// The pages of a small options dialog: General, Terminal [Emulation, Appearance], Transfer (no
// newline: the same text in the tree and the caption bar).
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
    std::vector<PropertyTreePage*> TopLevel() { return {&general, &terminal, &transfer}; }
};

// The small dialog, opened on a window that records what it is asked.
struct Dialog {
    explicit Dialog(PropertyPageStateMap& map, bool keepSelection = false)
        : model(u"Options", map) {
        model.keepSelection = keepSelection;
        calls.clear();
        for (PropertyTreePage* page : pages.TopLevel()) model.AddPage(page);
        model.Open(&view);
    }
    PropertyNodeId Node(PropertyTreePage& page) const { return model.NodeOf(&page); }
    bool Select(PropertyTreePage& page) { return model.OnSelect(model.NodeOf(&page)); }
    // The page on show by its tree label ("-" for none), checked against the window's.
    std::u16string Current() const {
        EXPECT_EQ(view.shown, model.CurrentPage());
        return model.CurrentPage() ? std::u16string(model.CurrentPage()->TreeLabel()) : u"-";
    }
    // The page on show and the window's tree: "B: A,B*[b1,b2]".
    std::u16string Shown() { return Current() + u": " + view.Outline(); }
    // Ctrl with Tab ("t"), Shift+Tab ("T"), PageDown ("d") or PageUp ("u"): the pages shown.
    std::u16string Keys(const char* keys) {
        std::u16string out;
        for (const char* key = keys; *key; ++key) {
            const PropertyTreeKey which = *key == 'd'   ? PropertyTreeKey::kPageDown
                                          : *key == 'u' ? PropertyTreeKey::kPageUp
                                                        : PropertyTreeKey::kTab;
            EXPECT_TRUE(model.OnKey(which, true, *key == 'T'));
            out += Current() + u" ";
        }
        return out;
    }
    Pages pages;
    PropertyTreeModel model;
    RecordingView view;
};

// The map is keyed by the full caption and outlives the dialog: a second dialog of the same kind
// opens on the page the first left selected, with the category still collapsed. The Ctrl keys
// walk the nodes the tree shows and wrap at both ends.
TEST(PropertyTreeFrame, OpeningSelectsTheFirstOrTheRestoredPageAndCtrlKeysWrap) {
    PropertyPageStateMap map;
    {
        Dialog d(map);
        // Nothing was on show before: General is only activated.
        EXPECT_EQ(d.view.title + u" on " + d.Shown() + u" |" + d.view.caption + u"| " + calls,
                  u"Options on General: General*,Terminal[Emulation,Appearance],Transfer |  "
                  u"General Options| +General ");
        EXPECT_GE(d.view.treeFocused, 1);
        EXPECT_TRUE(map.at(u"General\nGeneral Options").selected);
        ASSERT_TRUE(d.Select(d.pages.transfer));
        d.model.OnExpand(d.Node(d.pages.terminal), false);
        EXPECT_EQ(d.view.labels.at(d.Node(d.pages.transfer)) + d.view.caption + u" " + calls,
                  u"Transfer  Transfer +General ?General +Transfer ");
        EXPECT_EQ(States(map), u"Appearance Emulation General Terminal- Transfer* ");
        d.model.Close();
    }
    {
        Dialog d(map);
        EXPECT_EQ(d.Shown() + u" " + calls,
                  u"Transfer: General,Terminal-[Emulation,Appearance],Transfer* +Transfer ");
        EXPECT_FALSE(d.model.IsExpanded(d.Node(d.pages.terminal)));
    }
    // Keep-selection: with a selection in the map it stands; without one nothing is chosen, and
    // Ctrl+Shift+Tab then goes to the last page.
    DeleteStateMap(map);
    EXPECT_TRUE(map.empty());
    Dialog none(map, true);
    EXPECT_EQ(none.Current(), u"-");
    EXPECT_EQ(none.Keys("Ttddu"), u"Transfer General Terminal Emulation Terminal ");
    // Collapsed, the sub-pages are skipped.
    none.model.OnExpand(none.Node(none.pages.terminal), false);
    EXPECT_EQ(none.Keys("tduT"), u"Transfer General Transfer Terminal ");
}

TEST(PropertyTreeFrame, AnInvalidPageCannotBeLeftAndARefusingPageIsNotShown) {
    PropertyPageStateMap map;
    Dialog d(map);
    Pages& pages = d.pages;
    pages.general.validateAnswer = false;
    EXPECT_FALSE(d.Select(pages.terminal));
    EXPECT_FALSE(d.model.OnKey(PropertyTreeKey::kTab, false, false));  // not the frame's key
    EXPECT_EQ(d.Keys("t"), u"General ");
    EXPECT_FALSE(d.model.Ok());
    EXPECT_EQ(d.model.Result(), PropertyTreeResult::kOpen);
    EXPECT_TRUE(map.at(pages.general.Caption()).selected);
    // Terminal is never asked: General refused first, to the click, Ctrl+Tab and OK.
    EXPECT_EQ(d.Shown() + u" " + calls,
              u"General: General*,Terminal[Emulation,Appearance],Transfer +General ?General "
              u"?General ?General ");
    d.model.noValidation = true;
    EXPECT_TRUE(d.Select(pages.transfer));
    d.model.noValidation = false;
    // A page whose activation fails is not shown, and the page on show stays.
    pages.terminal.activateAnswer = false;
    EXPECT_FALSE(d.Select(pages.terminal));
    EXPECT_EQ(d.Current(), u"Transfer");
    // OK validates the page on show; Cancel does not.
    pages.transfer.validateAnswer = false;
    d.model.Cancel();
    EXPECT_EQ(d.model.Result(), PropertyTreeResult::kCancel);
    EXPECT_FALSE(d.model.Ok());
    pages.transfer.validateAnswer = true;
    EXPECT_TRUE(d.model.Ok());
    EXPECT_EQ(d.model.Result(), PropertyTreeResult::kOk);
    EXPECT_EQ(calls,
              u"+General ?General ?General ?General +Transfer ?Transfer +Terminal ?Transfer "
              u"?Transfer ");
}

TEST(PropertyTreeFrame, PagesShownAndHiddenWhileOpenKeepTheirPlaceAndState) {
    PropertyPageStateMap map;
    Dialog d(map);
    Pages& pages = d.pages;
    // Hiding the page on show selects the first top-level page first, without validating the
    // page that goes.
    ASSERT_TRUE(d.Select(pages.appearance));
    pages.appearance.validateAnswer = false;
    d.model.HidePage(&pages.terminal);
    EXPECT_EQ(d.Shown() + u" " + calls,
              u"General: General*,Transfer +General ?General +Appearance +General ");
    EXPECT_EQ(d.view.deleted, 3);  // both sub-pages and the page
    EXPECT_EQ(d.Node(pages.emulation), kNoPropertyNode);
    EXPECT_EQ(States(map), u"Appearance Emulation General* Terminal Transfer ");
    // Shown again, it goes back between its neighbours with its sub-pages.
    d.model.ShowPage(&pages.terminal);
    EXPECT_EQ(d.Shown(), u"General: General*,Terminal[Emulation,Appearance],Transfer");
    // A module's page added while open: at its place in the list; while the protocol pages
    // change it comes in unselected even when the map says selected.
    FakePage module{u"SSH2\nSSH2 Options"};
    map[module.Caption()] = PropertyPageState{true, true};
    pages.terminal.AddChild(&module);
    d.model.protocolUpdate = true;
    d.model.ShowPage(&module);
    d.model.protocolUpdate = false;
    EXPECT_EQ(d.Shown(), u"General: General*,Terminal[Emulation,Appearance,SSH2],Transfer");
    EXPECT_FALSE(map.at(module.Caption()).selected);
    // Hiding a page that is not on show leaves the selection alone.
    d.model.HidePage(&pages.transfer);
    EXPECT_EQ(d.Shown(), u"General: General*,Terminal[Emulation,Appearance,SSH2]");
    // Removing the page on show takes it out of the tree and the list.
    d.model.RemovePage(&pages.general);
    EXPECT_EQ(d.model.TopLevelPages().size(), 2u);
    EXPECT_EQ(d.Shown(), u"Terminal: Terminal*[Emulation,Appearance,SSH2]");
}

TEST(PropertyTreeFrame, PersistedStringsSeedTheMapAndAreWrittenByLabelPath) {
    const struct {
        std::u16string state, selected, shown;
    } cases[] = {
        // The shipped default form: digits for the pages in tree order.
        {u"11000", u"Transfer+", u"Transfer: General,Terminal[Emulation-,Appearance-],Transfer*-"},
        {u"0", u"", u"General: General*-,Terminal[Emulation,Appearance],Transfer"},
        {u"Terminal+=0;Terminal+Emulation+=1", u"Terminal+Appearance+",
         u"Appearance: General,Terminal-[Emulation,Appearance*],Transfer"},
        // An entry for a page that is not there moves nothing; a broken entry is skipped.
        {u"Gone+=0;Terminal+=0;Terminal+Emulation+=x", u"Gone+",
         u"General: General*,Terminal-[Emulation,Appearance],Transfer"},
    };
    Pages pages;
    for (const auto& c : cases) {
        PropertyPageStateMap map;
        SeedPageStateMap(map, pages.TopLevel(), c.state, c.selected);
        EXPECT_EQ(Dialog(map).Shown(), c.shown) << "case " << &c - cases;
    }
    // What the map holds now wins over the persisted strings.
    PropertyPageStateMap map{{pages.terminal.Caption(), {false, false}},
                             {pages.general.Caption(), {true, true}}};
    SeedPageStateMap(map, pages.TopLevel(), u"Terminal+=1", u"Transfer+");
    EXPECT_EQ(States(map), u"General* Terminal- ");
    // Written by label path; entries of pages that were not there this time are kept.
    map[pages.emulation.Caption()] = PropertyPageState{false, false};
    const PersistedTreeState persisted =
        PersistPageStateMap(map, pages.TopLevel(), u"Terminal+=1;Gone+=0;Transfer+=0");
    EXPECT_EQ(persisted.selected + u" " + persisted.state,
              u"General+ General+=1;Terminal+=0;Terminal+Emulation+=0;Terminal+Appearance+=1;"
              u"Transfer+=1;Gone+=0");
    // The round trip gives the same states to a fresh process.
    PropertyPageStateMap fresh;
    SeedPageStateMap(fresh, pages.TopLevel(), persisted.state, persisted.selected);
    EXPECT_EQ(States(fresh), u"Appearance Emulation- General* Terminal- Transfer ");
    // A label that could not be read back is not written.
    FakePage odd{u"A+B"};
    EXPECT_EQ(PersistPageStateMap({}, {&odd}).state, u"");
}

}  // namespace
