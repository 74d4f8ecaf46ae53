// The session manager dialog model: opening and saving its state, enabling, pop-up menus,
// tooltips, keys, connecting and the other commands, on real configuration folders.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "session/connect_protocol_table.h"
#include "support/golden.h"
#include "support/scripted_prompt.h"
#include "ui/model/session_deck_model.h"
#include "ui/ui_fixture.h"

using namespace sessiondeck;

namespace {

namespace C = SessionDeckCommand;

class RecordingLauncher : public ISiblingLauncher {
public:
    bool LaunchTerminalApp(const VUnicodeString& line) override { return Log(u"terminal ", line); }
    bool LaunchFileTransferApp(const VUnicodeString& line) override {
        return Log(u"transfer ", line);
    }
    bool Log(const char16_t* kind, const VUnicodeString& line) {
        launches.push_back(kind + line.str());
        return true;
    }
    std::vector<std::u16string> launches;
};

class ScriptedCallbacks : public ISessionDeckHostCallbacks {
public:
    int QuickConnect(const VUnicodeString& folder, VUnknownPointer<ISessionConfig>&) override {
        quickConnectFolders.push_back(folder.str());
        return 0;
    }
    int SessionProperties(ISessionConfig* session, int isNew) override {
        if (rename) session->SetSessionName(rename);
        propertiesCalls.push_back(session->GetSessionName().str() + (isNew ? u"+new" : u""));
        return propertiesResult;
    }
    void Help(unsigned command, unsigned long) override { helpCommand = command; }
    int NewSessionWizard(ISessionConfig*, int productId, bool& useWizard) override {
        wizardProduct = productId;
        useWizard = wizardKeeps;
        return kWizardFinish;
    }
    std::vector<std::u16string> quickConnectFolders, propertiesCalls;
    int propertiesResult = 1;
    const char16_t* rename = nullptr;
    unsigned helpCommand = 0;
    int wizardProduct = 0;
    bool wizardKeeps = true;
};

class RecordingShortcuts : public IShortcutWriter {
public:
    bool Write(const VUnicodeString& label, const VUnicodeString& arguments) override {
        written.push_back(label.str() + u"=" + arguments.str());
        return succeed;
    }
    std::vector<std::u16string> written;
    bool succeed = true;
};

class DeckDialog : public UiStoreTest {
protected:
    DeckDialog() : config(VUnknownPointer<GlobalConfig>::Adopt(CreateGlobalConfig(nullptr))) {
        config->saveConnectDialogFolderState = 0;
        config->autoSaveOptions = 0;
        FakeProtocol::Install(true);
    }
    ~DeckDialog() override { GetConnectProtocolTable().ResetForTesting(); }
    std::unique_ptr<SessionDeckModel> Open(SessionDeckHost host = {Product::Vetralon, true, true,
                                                                   true, false},
                                           SessionDeckParams params = {}) {
        params.applicationCommandLine = u"/opt/sibling";
        params.applicationName = u"Vetralon";
        return std::make_unique<SessionDeckModel>(
            prompt, host, *config, params,
            SessionDeckServices{&callbacks, &launcher, &shortcuts, nullptr, nullptr});
    }
    static std::vector<int> Ids(const std::vector<SessionDeckMenuItem>& items) {
        std::vector<int> ids;
        for (const auto& item : items) ids.push_back(item.id);
        return ids;
    }
    static const SessionDeckMenuItem* Item(const std::vector<SessionDeckMenuItem>& items, int id) {
        for (const auto& item : items)
            if (item.id == id) return &item;
        return nullptr;
    }
    std::u16string SelectedPaths(SessionDeckModel& deck) {
        return Paths(deck.Tree(), deck.Selection().AsSelected());
    }

    ScriptedPrompt prompt;
    VUnknownPointer<GlobalConfig> config;
    RecordingLauncher launcher;
    ScriptedCallbacks callbacks;
    RecordingShortcuts shortcuts;
};

TEST_F(DeckDialog, OpeningSelectsTheSavedPathOrFallsBack) {
    MakeSession(u"F\\G\\s");
    MakeSession(u"top");
    struct Row {
        const char16_t* savedPath;
        bool browse, multi;
        const char16_t* browsePath;
        const char16_t* selected;
        bool connectButton;
    } rows[] = {
        {u"F\\G\\s", false, false, u"", u"F\\G\\s|", true},
        {u"F\\gone", false, false, u"", u"|", true},      // deleted meanwhile: the root
        {u"top", true, false, u"F\\G", u"F\\G|", false},  // single browse wants a session
        {u"top", true, true, u"", u"", false},  // multi-select browse: nothing, OK disabled
    };
    for (const auto& row : rows) {
        config->connectExpandPath = VUnicodeString(row.savedPath);
        SessionDeckParams params;
        params.browseMode = row.browse;
        params.multiSelectBrowseMode = row.multi;
        params.browsePath = row.browsePath;
        auto deck = Open({Product::Vetralon, true, true, true, false}, params);
        EXPECT_EQ(SelectedPaths(*deck), row.selected) << VUnicodeString(row.savedPath).ToUtf8();
        EXPECT_EQ(deck->Enabling().connectButton, row.connectButton)
            << VUnicodeString(row.savedPath).ToUtf8();
    }
}

TEST_F(DeckDialog, StateIsSavedAndFolderStatesComeBack) {
    MakeSession(u"A\\B\\s");
    MakeFolder(u"C");
    config->saveConnectDialogFolderState = 1;
    {
        auto deck = Open();
        deck->Tree().Expand(deck->Tree().FindPath(u"A\\B"));
        deck->Selection().SelectOnly(deck->Tree().FindPath(u"A"));
        deck->OnStartupCheckBox(true);
        deck->OnOpenInTabCheckBox(true);
        EXPECT_EQ(deck->Controls().width, 0) << "nothing kept yet: the view's default size";
        deck->SetWindowRect({10, 20, 510, 420});
        deck->Destroy();
    }
    EXPECT_EQ(config->connectDialogSize.Get().rcNormalPosition, (VRect{10, 20, 510, 420}));
    EXPECT_EQ(config->connectDialogSize.Get().showCmd, 1u) << "the rest of the record stays";
    EXPECT_EQ(config->connectExpandPath.Get(), u"A");
    EXPECT_EQ(config->isExpanded.Get(), 1);
    EXPECT_EQ(config->showConnectDialog.Get(), 1);
    EXPECT_EQ(config->showQuickConnectDialog.Get(), 0);
    EXPECT_TRUE(config->openSessionsInTab.Get());
    EXPECT_TRUE(SessionDatabase().IsExpanded(u"A\\B"));
    EXPECT_FALSE(SessionDatabase().IsExpanded(u"C"));

    config->connectExpandPath = VUnicodeString(u"C");
    auto deck = Open();
    EXPECT_EQ(deck->Controls().width, 500);
    EXPECT_EQ(deck->Controls().height, 400);
    // A window that ends minimised gives no rectangle, and the kept size stays.
    deck->SetWindowRect({});
    deck->Destroy();
    EXPECT_EQ(config->connectDialogSize.Get().rcNormalPosition, (VRect{10, 20, 510, 420}));
    EXPECT_TRUE(deck->Tree().Node(deck->Tree().FindChild(deck->Tree().Root(), u"A")).expanded);
    EXPECT_NE(deck->Tree().FindChild(deck->Tree().FindPath(u"A\\B"), u"s"), kNoNode)
        << "a folder opened from the database has its sessions";
}

TEST_F(DeckDialog, SortToggleSavesStateClearsPasteAndRefills) {
    MakeSession(u"b");
    MakeSession(u"a");
    SetOrder(u"", u"b:a:", u"");
    auto deck = Open();
    deck->Selection().SelectOnly(deck->Tree().FindPath(u"b"));
    ASSERT_TRUE(deck->Copy());
    EXPECT_TRUE(deck->Enabling().paste);
    EXPECT_EQ(Labels(deck->Tree(), deck->Tree().Node(deck->Tree().Root()).children), u"a|b|");
    EXPECT_TRUE(deck->RunCommand(C::kToggleSortOrder));
    EXPECT_EQ(config->sortAlphabetical.Get(), 0);
    EXPECT_EQ(config->connectExpandPath.Get(), u"b") << "state saved before the refill";
    EXPECT_FALSE(deck->Enabling().paste);
    EXPECT_EQ(Labels(deck->Tree(), deck->Tree().Node(deck->Tree().Root()).children), u"b|a|");
    EXPECT_EQ(SelectedPaths(*deck), u"b|");
    auto menu = deck->ContextMenu();
    EXPECT_TRUE(Item(menu, C::kToggleSortOrder)->checked);
}

// Each selection and host gives its menu (tests/golden/ui/context-menus.txt): the ids in order
// (0 a separator), "-" after a disabled item, "*" after a checked one, and Connect's text.
TEST_F(DeckDialog, ContextMenusForEachSelectionAndHost) {
    MakeSession(u"F\\s");
    MakeSession(u"t");
    const SessionDeckHost both{Product::Vetralon, true, true, true, true};
    const SessionDeckHost transfer{Product::Ferrivo, true, true, true, true};
    struct Row {
        const char* name;
        SessionDeckHost host;
        bool browse, firstFlag;
        std::vector<const char16_t*> select;
    } rows[] = {
        {"terminal session", both, false, false, {u"t"}},
        {"transfer session, sibling integrated", transfer, false, false, {u"t"}},
        {"browse session, not integrated",
         {Product::Vetralon, true, true, true, false},
         true,
         false,
         {u"t"}},
        {"folder with the system menu", both, false, true, {u"F"}},
        {"folder in browse mode", {Product::Vetralon}, true, false, {u"F"}},
        {"two nodes", transfer, false, false, {u"F", u"t"}},
        {"nothing", {Product::Vetralon}, false, false, {}},
    };
    std::string text;
    for (const auto& row : rows) {
        SessionDeckParams params;
        params.browseMode = row.browse;
        params.firstFlag = row.firstFlag;
        auto deck = Open(row.host, params);
        deck->Selection().ClearSelection();
        for (auto path : row.select)
            deck->Selection().SetSelected(deck->Tree().FindPath(path), true);
        text += std::string(row.name) + ":";
        for (const auto& item : deck->ContextMenu()) {
            text += " " + std::to_string(item.id) + (item.enabled ? "" : "-") +
                    (item.checked ? "*" : "");
            if (item.id == C::kMenuConnect) text += " (" + item.text.ToUtf8() + ")";
        }
        text += "\n";
    }
    ExpectMatchesGolden("ui/context-menus.txt", text);
}

TEST_F(DeckDialog, EnablingFollowsTheSelection) {
    MakeSession(u"F\\s");
    MakeSession(u"t");
    MakeSession(u"serial", u"Serial", u"", u"");
    auto deck = Open({Product::Vetralon, true, false, false, false});
    auto& tree = deck->Tree();
    // What each selection enables (connect stands for the button and the tool, cut for copy too).
    const std::pair<std::vector<const char16_t*>, const char*> rows[] = {
        {{}, ""},
        {{u""}, "connect "},  // the root
        {{u"F"}, "connect cut delete "},
        {{u"t"}, "connect cut delete properties shortcut terminal "},  // no transfer application
        {{u"t", u"F\\s"}, "connect delete shortcut "},
    };
    for (const auto& [select, expected] : rows) {
        deck->Selection().ClearSelection();
        for (auto path : select) deck->Selection().SetSelected(tree.FindPath(path), true);
        const auto on = deck->Enabling();
        EXPECT_EQ(on.toolbarConnect, on.connectButton);
        EXPECT_EQ(on.copy, on.cut);
        const std::pair<bool, const char*> named[] = {
            {on.connectButton, "connect"},       {on.cut, "cut"},
            {on.deleteItems, "delete"},          {on.properties, "properties"},
            {on.createShortcut, "shortcut"},     {on.connectTerminal, "terminal"},
            {on.connectFileTransfer, "transfer"}};
        std::string enabled;
        for (const auto& [flag, name] : named)
            if (flag) enabled += std::string(name) + " ";
        EXPECT_EQ(enabled, expected);
    }
    SessionDeckParams browse;
    browse.browseMode = true;
    auto single = Open({Product::Vetralon, true, false, false, false}, browse);
    single->Selection().SelectOnly(single->Tree().FindPath(u"F"));
    EXPECT_FALSE(single->Enabling().connectButton) << "single browse mode wants a session";
    EXPECT_FALSE(single->Enabling().toolbarConnect);
    single->Selection().SelectOnly(single->Tree().FindPath(u"t"));
    EXPECT_TRUE(single->Enabling().connectButton);
}

TEST_F(DeckDialog, TooltipsAreCutWithDots) {
    MakeSession(u"F\\s");
    auto deck = Open();
    const TreeNodeId s = deck->Tree().FindPath(u"F\\s");
    const auto full = deck->Tooltip(s);
    ASSERT_TRUE(full.has_value());
    ASSERT_GT(full->Length(), 6u);
    EXPECT_NE(full->str().find(u"example"), std::u16string::npos) << "the host is described";
    const auto cut = deck->Tooltip(s, 6);
    EXPECT_EQ(cut->str(), full->str().substr(0, 2) + u"...");
    EXPECT_EQ(deck->Tooltip(s, 3)->str(), full->str().substr(0, 2)) << "no room for dots";
    EXPECT_EQ(deck->Tooltip(s, full->Length() + 1)->str(), full->str()) << "fits exactly";
    EXPECT_FALSE(deck->Tooltip(deck->Tree().FindPath(u"F")).has_value()) << "folders have none";
    deck->RunCommand(C::kToggleDescriptions);
    EXPECT_FALSE(deck->Tooltip(s).has_value());
    EXPECT_FALSE(config->showDetailsOnConnectDialog.Get());
}

TEST_F(DeckDialog, KeysAndAccelerators) {
    MakeSession(u"F\\s");
    auto deck = Open();
    const TreeNodeId folder = deck->Tree().FindPath(u"F");
    deck->Tree().Collapse(folder);
    deck->Selection().SelectOnly(folder);
    EXPECT_TRUE(deck->OnKey(SessionDeckKey::kEnter, false, false));
    EXPECT_TRUE(deck->Tree().Node(folder).expanded);
    EXPECT_EQ(deck->Result(), 0) << "Enter on a folder does not close the dialog";
    deck->OnDoubleClick(folder);  // a double click toggles a folder the same way
    EXPECT_FALSE(deck->Tree().Node(folder).expanded);
    EXPECT_EQ(deck->Result(), 0);

    EXPECT_EQ(SessionDeckAcceleratorCommand('c', true, false), C::kMenuConnect);
    EXPECT_EQ(SessionDeckAcceleratorCommand('C', false, true), C::kMenuCopy);
    EXPECT_EQ(SessionDeckAcceleratorCommand(SessionDeckKey::kF2, false, false), C::kRename);
    EXPECT_EQ(SessionDeckAcceleratorCommand('Z', true, false), 0);

    deck->Selection().SelectOnly(deck->Tree().FindPath(u"F\\s"));
    auto clicked = Open();
    const TreeNodeId session = clicked->Tree().FindPath(u"F\\s");
    clicked->Selection().SelectOnly(session);
    clicked->OnDoubleClick(session);
    EXPECT_EQ(clicked->Result(), 1) << "a double click on a session connects";
    EXPECT_TRUE(deck->OnKey(SessionDeckKey::kEnter, false, false));
    EXPECT_EQ(deck->Result(), 1) << "Enter on a session connects";
    ASSERT_EQ(deck->Chosen().size(), 1u);
    EXPECT_EQ(deck->Chosen()[0]->GetSessionName(), u"s");
}

TEST_F(DeckDialog, ConnectWarnsAboveTwentySessions) {
    for (int i = 0; i < 21; ++i)
        MakeSession(u"M\\s" + VUnicodeString::FromUtf8(std::to_string(i)).str());
    MakeSession(u"N\\only");
    struct Row {
        int sessions;
        bool warned;
        VPromptAnswer answer;
        bool checked;
        int result;
    } rows[] = {
        {20, false, VPromptAnswer::kOk, false, 1},
        {21, true, VPromptAnswer::kCancel, false, 0},
        {21, true, VPromptAnswer::kOk, true, 1},
        {21, false, VPromptAnswer::kOk, false, 1},  // suppressed by the row before
    };
    for (const auto& row : rows) {
        auto deck = Open();
        deck->Selection().ClearSelection();
        const TreeNodeId folder = deck->Tree().FindPath(u"M");
        deck->Tree().Expand(folder);
        const auto& children = deck->Tree().Node(folder).children;
        for (int i = 0; i < row.sessions; ++i) deck->Selection().SetSelected(children[i], true);
        if (row.warned) prompt.AnswerButton(row.answer, row.checked);
        const size_t asked = prompt.Questions().size();
        deck->Connect();
        ASSERT_EQ(prompt.Questions().size(), asked + (row.warned ? 1 : 0)) << row.sessions;
        if (row.warned) {
            EXPECT_EQ(prompt.Questions().back().text,
                      u"You have selected more than 20 sessions to open.");
            EXPECT_EQ(prompt.Questions().back().checkLabel, u"Do not display this warning again");
        }
        EXPECT_EQ(deck->Result(), row.result);
        EXPECT_EQ(deck->Chosen().size(), row.result == 1 ? size_t(row.sessions) : 0u);
    }
    EXPECT_EQ(config->suppressMultipleSessionsWarning.Get(), 1);
}

TEST_F(DeckDialog, ConnectAsksForAMissingHostName) {
    // No "Hostname" value at all: both sides start from the empty default, which a save writes.
    MakeSession(u"nohost", u"SSH2", u"SFTP", nullptr);
    for (bool answer : {false, true}) {
        auto deck = Open();
        deck->Selection().SelectOnly(deck->Tree().FindPath(u"nohost"));
        if (answer)
            prompt.AnswerText(u" h.example ");
        else
            prompt.AnswerCancel();
        deck->RunCommand(C::kConnectButton);
        EXPECT_EQ(prompt.Questions().back().caption, u"Enter Hostname");
        EXPECT_EQ(prompt.Questions().back().label,
                  u"Please enter a hostname for this session :\nnohost");
        EXPECT_EQ(deck->Result(), answer ? 1 : 0);
        EXPECT_EQ(deck->PathResults().GetSize(), answer ? 1u : 0u);
        if (answer) {
            ASSERT_EQ(deck->Chosen().size(), 1u);
            EXPECT_EQ(deck->Chosen()[0]->GetTermConnectConfig()->GetHostname(), u"h.example");
        }
    }
    // The typed name is stored: read back from the file, both sides have it, and the next
    // Connect asks nothing.
    auto stored = VUnknownPointer<ISessionConfig>::Adopt(SessionDatabase().Lookup(u"nohost"));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->GetTermConnectConfig()->GetHostname(), u"h.example");
    EXPECT_EQ(stored->GetTransferConnectConfig()->GetHostname(), u"h.example");
    const size_t asked = prompt.Questions().size();
    auto deck = Open();
    deck->Selection().SelectOnly(deck->Tree().FindPath(u"nohost"));
    deck->Connect();
    EXPECT_EQ(prompt.Questions().size(), asked);
    EXPECT_EQ(deck->Result(), 1);
}

// Each command in each host (tests/golden/ui/sibling-connects.txt): the dialog's result, the
// sessions chosen, what was launched at once and what only when the dialog went.
TEST_F(DeckDialog, ConnectInTheSiblingApplication) {
    MakeSession(u"F\\serial", u"Serial", u"None", u"");
    MakeSession(u"F\\both");
    const struct {
        const char* name;
        int product;
        const char16_t* session;
        int command;
    } rows[] = {
        {"serial in the transfer host", 6, u"F\\serial", C::kConnectButton},
        {"terminal from the transfer host", 6, u"F\\both", C::kConnectTerminal},
        {"transfer from the transfer host", 6, u"F\\both", C::kConnectFileTransfer},
        {"both from the terminal host", 3, u"F\\both", C::kConnectBoth},
        {"transfer from the terminal host", 3, u"F\\both", C::kConnectFileTransfer},
    };
    std::u16string text;
    auto launched = [&] {
        std::u16string out;
        for (const auto& line : launcher.launches) out += u" [" + line + u"]";
        launcher.launches.clear();
        return out;
    };
    for (const auto& row : rows) {
        auto deck = Open({ToProduct(row.product), true, true, true, true});
        deck->Selection().SelectOnly(deck->Tree().FindPath(row.session));
        deck->RunCommand(row.command);
        const std::string counts = ": result " + std::to_string(deck->Result()) + ", chosen " +
                                   std::to_string(deck->Chosen().size()) + ", pending " +
                                   std::to_string(static_cast<int>(deck->PendingLaunch().kind));
        text += VUnicodeString::FromUtf8(row.name + counts).str() + u", now" + launched();
        deck->Destroy();
        text += u", when gone" + launched() + u"\n";
    }
    ExpectMatchesGolden("ui/sibling-connects.txt", VUnicodeString(text).ToUtf8());
}

TEST_F(DeckDialog, NewSessionPropertiesAndQuickConnect) {
    MakeSession(u"F\\New");
    MakeSession(u"F\\New (1)");
    config->newSessionUsesWizard = 0;
    config->sessionOptionsTreeSelected = VUnicodeString(u"Terminal");
    auto deck = Open();
    deck->Selection().SelectOnly(deck->Tree().FindPath(u"F\\New"));
    const TreeNodeId node = deck->NewSession();
    ASSERT_NE(node, kNoNode);
    EXPECT_EQ(deck->Tree().Path(node), u"F\\New (2)");
    EXPECT_TRUE(SessionDatabase::Exists(u"F\\New (2)"));
    EXPECT_EQ(callbacks.propertiesCalls.back(), u"New (2)+new");
    EXPECT_EQ(config->sessionOptionsTreeSelected.Get(), u"Terminal") << "restored afterwards";

    callbacks.propertiesResult = 0;
    EXPECT_EQ(deck->NewSession(), kNoNode);
    EXPECT_FALSE(SessionDatabase::Exists(u"F\\New (3)")) << "a cancelled dialog stores nothing";

    config->newSessionUsesWizard = 1;
    callbacks.wizardKeeps = false;
    callbacks.propertiesResult = 1;
    EXPECT_NE(deck->NewSession(), kNoNode);
    EXPECT_EQ(callbacks.wizardProduct, 3);
    EXPECT_EQ(config->newSessionUsesWizard.Get(), 0) << "the wizard's choice is kept";
    EXPECT_TRUE(SessionDatabase::Exists(u"F\\New (3)"));

    // Properties that rename the session rename it in the database and the tree.
    deck->Selection().SelectOnly(deck->Tree().FindPath(u"F\\New (1)"));
    callbacks.rename = u"Zeta";
    deck->RunCommand(C::kMenuProperties);
    EXPECT_FALSE(SessionDatabase::Exists(u"F\\New (1)"));
    EXPECT_TRUE(SessionDatabase::Exists(u"F\\Zeta"));
    EXPECT_EQ(SelectedPaths(*deck), u"F\\Zeta|");
    const auto& children = deck->Tree().Node(deck->Tree().FindPath(u"F")).children;
    EXPECT_EQ(deck->Tree().Node(children.back()).label, u"Zeta") << "moved to its sorted place";

    deck->RunCommand(C::kQuickConnect);
    EXPECT_EQ(callbacks.quickConnectFolders, std::vector<std::u16string>{u"F"});
    EXPECT_EQ(deck->Result(), 0) << "the host returned no session";
}

TEST_F(DeckDialog, CreateShortcutArgumentsAndFile) {
    MakeSession(u"F\\a");
    MakeSession(u"F\\b");
    auto deck = Open();
    deck->Selection().SelectOnly(deck->Tree().FindPath(u"F"));
    prompt.AnswerText(u"  ");  // empty after trimming: refused, asked again
    prompt.AnswerButton(VPromptAnswer::kOk);
    prompt.AnswerText(u" Mine ");
    deck->RunCommand(C::kCreateShortcut);
    ASSERT_EQ(shortcuts.written.size(), 1u);
    EXPECT_EQ(shortcuts.written[0], u"Mine=/S \"F\\a\" /S \"F\\b\" ");
    EXPECT_EQ(prompt.Questions()[0].initial, u"Vetralon sessions");
    EXPECT_EQ(prompt.Questions()[1].text,
              u"Shortcut name error.\n\nShortcut name must be non-empty.");

    shortcuts.succeed = false;
    deck->Selection().SelectOnly(deck->Tree().FindPath(u"F\\a"));
    prompt.AnswerText(u"a");
    prompt.AnswerButton(VPromptAnswer::kOk);
    deck->RunCommand(C::kCreateShortcut);
    EXPECT_EQ(prompt.Questions()[3].initial, u"a");
    EXPECT_EQ(prompt.Questions().back().text, u"ERROR: creation of shortcut failed");

    const auto folder = dir / "Desktop";
    std::filesystem::create_directories(folder);
    DesktopFileShortcutWriter writer(u"/usr/bin/session deck",
                                     VUnicodeString::FromUtf8(folder.string()));
    ASSERT_TRUE(writer.Write(u"Mine", u"/S \"F\\a\" /S \"100%$\" "));
    std::ifstream in(folder / "Mine.desktop");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("\nExec=\"/usr/bin/session deck\" \"/S\" \"F\\\\\\\\a\" \"/S\" "
                              "\"100%%\\\\$\"\n"),
              std::string::npos)
        << text.str();
    EXPECT_FALSE(writer.Write(u"a/b", u"")) << "a label cannot name a sub-folder";
}

class RecordingTimer : public ISessionDeckTimer {
public:
    void Start(unsigned id, unsigned ms) override {
        events.push_back("start " + std::to_string(id) + " " + std::to_string(ms));
    }
    void Stop(unsigned id) override { events.push_back("stop " + std::to_string(id)); }
    std::vector<std::string> events;
};

TEST_F(DeckDialog, ClipboardAndDrag) {
    MakeSession(u"P\\Q\\s");
    MakeSession(u"P\\t");
    auto deck = Open();
    auto& tree = deck->Tree();
    // A cut folder pasted into its own sub-folder is refused and nothing moves.
    deck->Selection().SelectOnly(tree.FindPath(u"P"));
    ASSERT_TRUE(deck->Cut());
    EXPECT_TRUE(tree.Node(tree.FindPath(u"P")).cut);
    deck->Selection().SelectOnly(tree.FindPath(u"P\\Q"));
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(deck->Paste());
    EXPECT_EQ(prompt.Questions().back().text, u"Cannot copy or move a parent folder into a child");
    EXPECT_TRUE(SessionDatabase::Exists(u"P\\Q\\s"));
    // Pasting the cut onto its own node cancels it.
    deck->Selection().SelectOnly(tree.FindPath(u"P"));
    EXPECT_FALSE(deck->Paste());
    EXPECT_FALSE(deck->IsClipboardFilled());
    EXPECT_FALSE(tree.Node(tree.FindPath(u"P")).cut);
    // A copied session pasted into its own folder gets a free name.
    deck->Selection().SelectOnly(tree.FindPath(u"P\\t"));
    ASSERT_TRUE(deck->Copy());
    EXPECT_TRUE(deck->Paste());
    VStringArray names;
    SessionDatabase().GetSessionList(u"P", names);
    EXPECT_EQ(names.GetSize(), 2u);
    EXPECT_EQ(deck->Selection().AsSelected().size(), 1u);
    EXPECT_NE(deck->Tree().Path(deck->Selection().AsSelected()[0]), u"P\\t");
    // After the source went, the record is refused and Paste disabled.
    ASSERT_TRUE(SessionDatabase().Remove(u"P\\t"));
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(deck->Paste());
    EXPECT_EQ(prompt.Questions().back().text, u"Item 't' is no longer available for pasting");
    EXPECT_FALSE(deck->Enabling().paste);
}

// Two dialogs (two processes on one configuration) share the system clipboard: a record the
// first cut is pasted by the second, which never cut or copied anything itself.
TEST_F(DeckDialog, PasteOfARecordAnotherDialogCut) {
    MakeSession(u"A\\s");
    MakeSession(u"B\\t");
    ProcessFolderTreeClipboard shared;
    auto open = [&] {
        return std::make_unique<SessionDeckModel>(
            prompt, SessionDeckHost{Product::Vetralon, true, true, true, false}, *config,
            SessionDeckParams{},
            SessionDeckServices{&callbacks, &launcher, &shortcuts, &shared, nullptr});
    };
    auto first = open();
    first->Selection().SelectOnly(first->Tree().FindPath(u"A\\s"));
    ASSERT_TRUE(first->Cut());
    auto second = open();
    second->Selection().SelectOnly(second->Tree().FindPath(u"B"));
    EXPECT_FALSE(second->Enabling().paste);
    EXPECT_FALSE(second->Paste()) << "pasted without knowing the clipboard holds a record";
    second->OnClipboardRecordAvailable();
    EXPECT_TRUE(second->Enabling().paste);
    EXPECT_TRUE(second->Paste());
    EXPECT_TRUE(SessionDatabase::Exists(u"B\\s"));
    EXPECT_FALSE(SessionDatabase::Exists(u"A\\s"));
    // A cut record is used once: a second paste does nothing.
    EXPECT_FALSE(second->Enabling().paste);
    EXPECT_FALSE(second->Paste());
    EXPECT_FALSE(SessionDatabase::Exists(u"B\\s (1)"));
}

TEST_F(DeckDialog, DragEffectsTimerAndDrop) {
    MakeSession(u"A\\x");
    MakeSession(u"A\\y");
    MakeFolder(u"B");
    MakeSession(u"C\\z");
    RecordingTimer timer;
    SessionDeckParams params;
    auto deck = std::make_unique<SessionDeckModel>(
        prompt, SessionDeckHost{Product::Vetralon, true, true, true, false}, *config, params,
        SessionDeckServices{&callbacks, &launcher, &shortcuts, nullptr, &timer});
    auto& tree = deck->Tree();
    const TreeNodeId a = tree.FindPath(u"A");
    ASSERT_TRUE(deck->BeginDrag(a));
    EXPECT_EQ(deck->DragRecord().second, u"Sessions");
    struct Row {
        const char16_t* over;
        KeyModifiers keys;
        DropEffect effect;
    } rows[] = {
        {u"B", {}, DropEffect::kCopy},
        {u"B", {true, false, false}, DropEffect::kCopy},
        {u"B", {false, false, true}, DropEffect::kMove},
        {u"B", {true, false, true}, DropEffect::kNone},
        {u"A", {}, DropEffect::kNone},     // onto itself
        {u"A\\x", {}, DropEffect::kNone},  // inside itself
    };
    for (const auto& row : rows)
        EXPECT_EQ(deck->DragOver(tree.FindPath(row.over), 5, 16, row.keys), row.effect)
            << VUnicodeString(row.over).ToUtf8();
    // Held over a collapsed folder, the hover timer opens it.
    const TreeNodeId c = tree.FindPath(u"C");
    tree.Collapse(c);
    timer.events.clear();
    deck->DragOver(c, 5, 16, {});
    deck->DragOver(c, 6, 16, {});
    EXPECT_EQ(timer.events, std::vector<std::string>{"start 2 750"});
    deck->OnTimer(SessionDeckModel::kHoverTimerId);
    EXPECT_TRUE(tree.Node(c).expanded);
    // Alt moves the folder into B.
    deck->DragOver(tree.FindPath(u"B"), 5, 16, {false, false, true});
    EXPECT_NE(deck->Drop({false, false, true}), kNoNode);
    EXPECT_TRUE(SessionDatabase::Exists(u"B\\A\\y"));
    EXPECT_FALSE(SessionDatabase::Exists(u"A"));
    EXPECT_EQ(tree.FindChild(tree.Root(), u"A"), kNoNode);
}

TEST_F(DeckDialog, DropsBetweenRowsInUserArrangedOrderDrawALineAndReorder) {
    MakeFolder(u"F");
    for (const char16_t* name : {u"a", u"b", u"c"}) MakeSession(name);
    SetOrder(u"", u"a:b:c:", u"F:");
    config->sortAlphabetical = 0;
    auto deck = Open();
    auto& tree = deck->Tree();
    ASSERT_TRUE(deck->BeginDrag(tree.FindPath(u"a")));
    // Rows 16 pixels high: within 3 of the top is above, within 3 of the bottom below.
    struct Row {
        const char16_t* over;
        int y;
        std::optional<bool> lineBelow;  // none: no line
    } rows[] = {
        {u"c", 0, false},  {u"c", 3, false},
        {u"c", 8, false},  // a session's middle: the drop goes above it
        {u"c", 12, false}, {u"c", 13, true},
        {u"c", 15, true},  {u"F", 8, {}},  // a folder's middle: into it, the row highlighted
        {u"F", 14, {}},  // beside a folder: folders and sessions keep separate orders
        {u"a", 14, {}},  // beside itself
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(VUnicodeString(row.over).ToUtf8() + " at " + std::to_string(row.y));
        deck->DragOver(tree.FindPath(row.over), row.y, 16, {false, false, true});
        const auto line = deck->InsertionLine();
        ASSERT_EQ(line.has_value(), row.lineBelow.has_value());
        if (!line) continue;
        EXPECT_EQ(line->node, tree.FindPath(row.over));
        EXPECT_EQ(line->below, *row.lineBelow);
    }
    deck->DragOver(tree.FindPath(u"c"), 14, 16, {false, false, true});
    EXPECT_NE(deck->Drop({false, false, true}), kNoNode);
    EXPECT_FALSE(deck->InsertionLine()) << "the drag ended";
    EXPECT_EQ(Labels(tree, tree.Node(tree.Root()).children), u"F|b|c|a|");
    auto reopened = Open();
    reopened->Tree().Expand(reopened->Tree().Root());
    EXPECT_EQ(Labels(reopened->Tree(), reopened->Tree().Node(reopened->Tree().Root()).children),
              u"F|b|c|a|")
        << "the order is stored";
    // Alphabetical order has no places between rows.
    config->sortAlphabetical = 1;
    auto sorted = Open();
    ASSERT_TRUE(sorted->BeginDrag(sorted->Tree().FindPath(u"a")));
    sorted->DragOver(sorted->Tree().FindPath(u"c"), 0, 16, {false, false, true});
    EXPECT_FALSE(sorted->InsertionLine());
}

}  // namespace
