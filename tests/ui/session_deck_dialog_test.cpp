// The session manager dialog model on real configuration folders, with every question answered
// by a scripted prompt; the filter's index is read on its own thread, as in the dialog.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <sstream>
#include <vector>

#include "support/golden.h"
#include "support/scripted_prompt.h"
#include "support/test_bytes.h"
#include "ui/model/session_deck_model.h"
#include "ui/model/session_name_rules.h"
#include "ui/ui_fixture.h"

using namespace sessiondeck;

namespace {

namespace C = SessionDeckCommand;
using Deck = SessionDeckModel;
using Edit = Deck::EditResult;
using Filter = Deck::FilterState;
constexpr SessionDeckHost kHost{Product::Vetralon, true, true, true, false};
constexpr KeyModifiers kAlt{false, false, true};
constexpr VPromptAnswer kOk = VPromptAnswer::kOk, kYes = VPromptAnswer::kYes;

// Every service the dialog calls, each call written to one log the test reads and clears.
class RecordingServices : public ISiblingLauncher,
                          public ISessionDeckHostCallbacks,
                          public IShortcutWriter,
                          public ISessionDeckTimer {
public:
    bool LaunchTerminalApp(const VUnicodeString& line) override {
        return Log(" [terminal " + line.ToUtf8() + "]");
    }
    bool LaunchFileTransferApp(const VUnicodeString& line) override {
        return Log(" [transfer " + line.ToUtf8() + "]");
    }
    int QuickConnect(const VUnicodeString& folder, VUnknownPointer<ISessionConfig>&) override {
        Log("quick connect in " + folder.ToUtf8());
        return 0;  // no session
    }
    int SessionProperties(ISessionConfig* session, int isNew) override {
        if (rename) session->SetSessionName(rename);
        // The dialog opens on the Connection page, whatever page the user last left it on.
        Log("properties " + session->GetSessionName().ToUtf8() + (isNew ? " new" : "") + " on " +
            config->sessionOptionsTreeSelected.Get().ToUtf8());
        return propertiesResult;
    }
    int NewSessionWizard(ISessionConfig*, int productId, bool& useWizard) override {
        Log("wizard " + std::to_string(productId) + ", ");
        useWizard = false;
        return kWizardFinish;
    }
    bool Write(const VUnicodeString& label, const VUnicodeString& arguments) override {
        return Log("shortcut " + label.ToUtf8() + "=" + arguments.ToUtf8()) && shortcutSucceeds;
    }
    void Start(unsigned id, unsigned ms) override {
        Log("timer " + std::to_string(id) + " " + std::to_string(ms));
    }
    void Stop(unsigned) override {}
    void Help(unsigned, unsigned long) override {}
    std::string Take() { return std::exchange(log, {}); }  // what happened since the last call
    bool Log(const std::string& what) {
        log += what;
        return true;
    }

    const GlobalConfig* config = nullptr;
    int propertiesResult = 1;
    const char16_t* rename = nullptr;
    bool shortcutSucceeds = true;
    std::string log;
};

class DeckDialog : public UiStoreTest {
protected:
    DeckDialog() : config(VUnknownPointer<GlobalConfig>::Adopt(CreateGlobalConfig(nullptr))) {
        config->saveConnectDialogFolderState = 0;
        config->autoSaveOptions = 0;
        FakeProtocol::Install(true);
        services.config = config.Get();
    }
    ~DeckDialog() override { GetConnectProtocolTable().ResetForTesting(); }
    std::unique_ptr<Deck> Open(SessionDeckHost host = kHost, SessionDeckParams params = {},
                               IFolderTreeClipboard* clipboard = nullptr) {
        params.applicationCommandLine = u"/opt/sibling";
        params.applicationName = u"Vetralon";
        return std::make_unique<Deck>(
            prompt, host, *config, params,
            SessionDeckServices{&services, &services, &services, clipboard, &services});
    }
    static SessionDeckParams Browse(bool multi = false, const char16_t* path = u"") {
        SessionDeckParams params;
        params.browseMode = true;
        params.multiSelectBrowseMode = multi;
        params.browsePath = path;
        return params;
    }
    static TreeNodeId At(Deck& deck, const char16_t* path) {
        return deck.Tree().FindPath(VUnicodeString(path));
    }
    // Selects the nodes at `paths` (the root is ""); one path is also the caret.
    static void Select(Deck& deck, const std::vector<const char16_t*>& paths) {
        deck.Selection().ClearSelection();
        for (auto path : paths) deck.Selection().SetSelected(At(deck, path), true);
        if (paths.size() == 1) deck.Selection().SelectOnly(At(deck, paths.front()));
    }
    static std::u16string Selected(Deck& deck) {
        return Paths(deck.Tree(), deck.Selection().AsSelected());
    }
    static std::u16string Children(Deck& deck, const char16_t* path = u"") {
        return Labels(deck.Tree(), deck.Tree().Node(At(deck, path)).children);
    }
    // Renames the node at `path` in place, as F2 and typing do.
    static Edit Rename(Deck& deck, const char16_t* path, const char16_t* name) {
        deck.Selection().SelectOnly(At(deck, path));
        EXPECT_TRUE(deck.BeginRename());
        return deck.EndLabelEdit(VUnicodeString(name));
    }
    // The commands the selection enables, by name.
    static std::string Enabled(Deck& deck) {
        const auto on = deck.Enabling();
        std::istringstream names(
            "connect tool cut copy paste delete properties shortcut terminal transfer");
        std::string text, name;
        for (bool flag :
             {on.connectButton, on.toolbarConnect, on.cut, on.copy, on.paste, on.deleteItems,
              on.properties, on.createShortcut, on.connectTerminal, on.connectFileTransfer})
            if (names >> name && flag) text += (text.empty() ? "" : " ") + name;
        return text;
    }
    // The pop-up menu: the ids in order (0 a separator), "-" after a disabled item, "*" after a
    // checked one, and Connect's text.
    static std::string Menu(Deck& deck) {
        std::string text;
        for (const auto& item : deck.ContextMenu()) {
            text += " " + std::to_string(item.id) + (item.enabled ? "" : "-") +
                    (item.checked ? "*" : "");
            if (item.id == C::kMenuConnect) text += " (" + item.text.ToUtf8() + ")";
        }
        return text;
    }
    // The questions asked since the last call, each with "|": a message's text, a text
    // prompt's caption and [initial text].
    std::u16string Asked() {
        std::u16string text;
        for (; seen < prompt.Questions().size(); ++seen) {
            const PromptQuestion& q = prompt.Questions()[seen];
            text += q.kind == PromptQuestion::kText ? q.caption + u" [" + q.initial + u"]|"
                                                    : q.text + u"|";
        }
        return text;
    }

    ScriptedPrompt prompt;
    size_t seen = 0;
    VUnknownPointer<GlobalConfig> config;
    RecordingServices services;
};

// What each selection and host enables [in brackets] and gives as its menu is in
// tests/golden/ui/context-menus.txt.
TEST_F(DeckDialog, OpeningEnablingMenusTooltipsAndKeys) {
    MakeTree(u"F\\G\\s|top");
    MakeSession(u"serial", u"Serial", u"", u"");
    // The path saved, how the dialog opens (browse mode wants a session and has no toolbar
    // Connect; in multi-select browse mode nothing is selected), the selection and enabling.
    const std::tuple<const char16_t*, SessionDeckParams, const char16_t*> rows[] = {
        {u"F\\G\\s",
         {},
         u"F\\G\\s| connect tool cut copy delete properties shortcut terminal transfer"},
        {u"F\\gone", {}, u"| connect tool"},  // deleted meanwhile: the root
        {u"top", Browse(false, u"F\\G"), u"F\\G| cut copy delete"},
        {u"top", Browse(false, u"F\\G\\s"),
         u"F\\G\\s| connect cut copy delete properties shortcut terminal transfer"},
        {u"top", Browse(true), u" "},
    };
    for (const auto& [savedPath, params, expected] : rows) {
        config->connectExpandPath = VUnicodeString(savedPath);
        auto deck = Open(kHost, params);
        EXPECT_EQ(Selected(*deck) + u" " + VUnicodeString::FromUtf8(Enabled(*deck)).str(),
                  expected);
    }
    const SessionDeckHost both{Product::Vetralon, true, true, true, true};
    const SessionDeckHost transfer{Product::Ferrivo, true, true, true, true};
    const SessionDeckHost noTransfer{Product::Vetralon, true, false, false, false};
    SessionDeckParams systemMenu;
    systemMenu.firstFlag = true;
    const std::tuple<const char*, SessionDeckHost, SessionDeckParams, std::vector<const char16_t*>>
        menus[] = {
            {"terminal session", both, {}, {u"top"}},
            {"transfer session, sibling integrated", transfer, {}, {u"top"}},
            {"browse session, not integrated", kHost, Browse(), {u"top"}},
            {"folder with the system menu", both, systemMenu, {u"F"}},
            {"folder in browse mode", {Product::Vetralon}, Browse(), {u"F"}},
            {"two nodes", transfer, {}, {u"F", u"top"}},
            {"nothing", {Product::Vetralon}, {}, {}},
            {"no transfer app, nothing", noTransfer, {}, {}},
            {"no transfer app, folder", noTransfer, {}, {u"F"}},
            {"no transfer app, session", noTransfer, {}, {u"top"}},
            {"no transfer app, two nodes", noTransfer, {}, {u"top", u"F\\G\\s"}},
        };
    std::string text;
    for (const auto& [name, host, params, select] : menus) {
        auto deck = Open(host, params);
        Select(*deck, select);
        text += name + (" [" + Enabled(*deck)) + "]:" + Menu(*deck) + "\n";
    }
    ExpectMatchesGolden("ui/context-menus.txt", text);

    // The tooltip, cut to fit buffers of 6 and 3 characters (no room for dots) and one it just
    // fits; none for a folder or once descriptions are off.
    auto deck = Open();
    const TreeNodeId folder = At(*deck, u"F\\G"), s = At(*deck, u"F\\G\\s");
    const std::u16string full = deck->Tooltip(s).value_or(u"").str();
    ASSERT_NE(full.find(u"example"), std::u16string::npos) << "the host is described";
    EXPECT_EQ((std::vector{deck->Tooltip(s, 6)->str(), deck->Tooltip(s, 3)->str(),
                           deck->Tooltip(s, full.size() + 1)->str()}),
              (std::vector{full.substr(0, 2) + u"...", full.substr(0, 2), full}));
    EXPECT_FALSE(deck->Tooltip(folder));
    deck->RunCommand(C::kToggleDescriptions);
    EXPECT_FALSE(deck->Tooltip(s) || config->showDetailsOnConnectDialog.Get());

    EXPECT_EQ((std::vector{SessionDeckAcceleratorCommand('c', true, false),
                           SessionDeckAcceleratorCommand('C', false, true),
                           SessionDeckAcceleratorCommand(SessionDeckKey::kF2, false, false),
                           SessionDeckAcceleratorCommand('Z', true, false)}),
              (std::vector{C::kMenuConnect, C::kMenuCopy, C::kRename, 0}));
    // Enter or a double click toggles a folder and keeps the dialog; on a session, connects.
    for (const bool enter : {true, false}) {
        deck = Open();
        std::string steps;
        for (const char16_t* path : {u"F\\G", u"F\\G", u"F\\G\\s"}) {
            Select(*deck, {path});
            if (!enter) deck->OnDoubleClick(At(*deck, path));
            EXPECT_TRUE(!enter || deck->OnKey(SessionDeckKey::kEnter, false, false));
            steps += std::to_string(deck->Tree().Node(At(*deck, u"F\\G")).expanded) +
                     std::to_string(deck->Result()) + " ";
        }
        EXPECT_EQ(steps + deck->Chosen().at(0)->GetSessionName().ToUtf8(), "10 00 11 s") << enter;
    }
}

TEST_F(DeckDialog, StateIsSavedAndFolderStatesComeBackAndSortToggleRefills) {
    MakeTree(u"A\\B\\s|C\\|b|a");
    SetOrder(u"", u"b:a:", u"A:C:");
    config->saveConnectDialogFolderState = 1;
    auto deck = Open();
    EXPECT_EQ(deck->Controls().width, 0) << "nothing kept yet: the view's default size";
    deck->Tree().Expand(At(*deck, u"A\\B"));
    Select(*deck, {u"A"});
    deck->OnStartupCheckBox(true);
    deck->OnOpenInTabCheckBox(true);
    deck->SetWindowRect({10, 20, 510, 420});
    deck->Destroy();
    WINDOWPLACEMENT place;  // the rest of the record stays as it was
    place.rcNormalPosition = {10, 20, 510, 420};
    EXPECT_TRUE(config->connectDialogSize.Get() == place);
    // The path shown and whether it was open, the three check boxes, two folders' states.
    EXPECT_EQ(std::tuple(config->connectExpandPath.Get().str(), config->isExpanded.Get(),
                         config->showConnectDialog.Get(), config->showQuickConnectDialog.Get(),
                         config->openSessionsInTab.Get(), SessionDatabase().IsExpanded(u"A\\B"),
                         SessionDatabase().IsExpanded(u"C")),
              std::tuple(u"A", 1, 1, 0, true, true, false));

    config->connectExpandPath = VUnicodeString(u"C");
    deck = Open();
    EXPECT_EQ(std::pair(deck->Controls().width, deck->Controls().height), std::pair(500, 400));
    EXPECT_EQ(Shown(deck->Tree()), u"|A|A\\B|A\\B\\s|C|a|b|") << "folders open as they were";
    deck->SetWindowRect({});  // a window that ends minimised gives no rectangle
    deck->Destroy();
    EXPECT_TRUE(config->connectDialogSize.Get() == place);
    deck->SetWindowRect({0, 0, 1, 1});
    deck->Destroy();
    deck = Open();
    EXPECT_EQ(deck->Controls().width, 1) << "the narrowest window is still a size to keep";

    // The sort toggle saves the state, clears a pending paste and fills the tree again.
    Select(*deck, {u"b"});
    ASSERT_TRUE(deck->Copy() && deck->Enabling().paste);
    EXPECT_EQ(Children(*deck), u"A|C|a|b|");
    EXPECT_TRUE(deck->RunCommand(C::kToggleSortOrder));
    EXPECT_EQ(std::pair(config->sortAlphabetical.Get(), config->connectExpandPath.Get().str()),
              std::pair(0, std::u16string(u"b")))
        << "state saved before the refill";
    EXPECT_EQ(Enabled(*deck), "connect tool cut copy delete properties shortcut terminal transfer");
    EXPECT_EQ(Children(*deck) + Selected(*deck), u"A|C|b|a|b|");
    EXPECT_NE(Menu(*deck).find(" " + std::to_string(C::kToggleSortOrder) + "*"), std::string::npos);
}

TEST_F(DeckDialog, ConnectWarnsAboveTwentySessionsAsksForAMissingHostAndLaunchesTheSibling) {
    for (int i = 0; i < 21; ++i)
        MakeSession(u"M\\s" + VUnicodeString::FromUtf8(std::to_string(i)).str());
    const std::u16string warning = u"You have selected more than 20 sessions to open.|";
    // Sessions selected, the answer to the warning (none: not asked), and the dialog's result.
    const std::tuple<int, std::optional<VPromptAnswer>, bool, int> rows[] = {
        {20, {}, false, 1},
        {21, VPromptAnswer::kCancel, false, 0},
        {21, kOk, true, 1},  // do not ask again
        {21, {}, false, 1},  // suppressed by the row before
    };
    for (const auto& [sessions, answer, dontAskAgain, result] : rows) {
        auto deck = Open();
        deck->Selection().ClearSelection();
        deck->Tree().Expand(At(*deck, u"M"));
        const auto& children = deck->Tree().Node(At(*deck, u"M")).children;
        for (int i = 0; i < sessions; ++i) deck->Selection().SetSelected(children[i], true);
        if (answer) prompt.AnswerButton(*answer, dontAskAgain);
        deck->Connect();
        EXPECT_EQ(Asked(), answer ? warning : u"") << sessions;
        EXPECT_EQ(std::pair(deck->Result(), deck->Chosen().size()),
                  std::pair(result, result == 1 ? size_t(sessions) : 0u));
    }
    EXPECT_EQ(std::pair(prompt.Questions().back().checkLabel.str(),
                        config->suppressMultipleSessionsWarning.Get()),
              std::pair(std::u16string(u"Do not display this warning again"), 1));

    // No "Hostname" value at all: both sides start from the empty default, which a save writes.
    // Cancelled, then answered, then Connect again: the stored name is not asked for.
    MakeSession(u"nohost", u"SSH2", u"SFTP", nullptr);
    for (int round = 0; round < 3; ++round) {
        auto deck = Open();
        Select(*deck, {u"nohost"});
        if (round == 0) prompt.AnswerCancel();
        if (round == 1) prompt.AnswerText(u" h.example ");
        deck->RunCommand(C::kConnectButton);
        EXPECT_EQ(Asked(), round < 2 ? u"Enter Hostname []|" : u"");
        EXPECT_EQ(std::pair(deck->Result(), deck->PathResults().GetSize()),
                  std::pair(round == 0 ? 0 : 1, size_t(round == 0 ? 0 : 1)));
    }
    EXPECT_EQ(prompt.Questions().back().label,
              u"Please enter a hostname for this session :\nnohost");
    auto stored = VUnknownPointer<ISessionConfig>::Adopt(SessionDatabase().Lookup(u"nohost"));
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->GetTermConnectConfig()->GetHostname() + u" " +
                  stored->GetTransferConnectConfig()->GetHostname(),
              u"h.example h.example");

    // Each command in each host (tests/golden/ui/sibling-connects.txt): the dialog's result,
    // the sessions chosen, what was launched at once and what only when the dialog went.
    MakeSession(u"F\\serial", u"Serial", u"None", u"");
    MakeTree(u"F\\both");
    const std::tuple<const char*, int, const char16_t*, int> launches[] = {
        {"serial in the transfer host", 6, u"F\\serial", C::kConnectButton},
        {"terminal from the transfer host", 6, u"F\\both", C::kConnectTerminal},
        {"transfer from the transfer host", 6, u"F\\both", C::kConnectFileTransfer},
        {"both from the terminal host", 3, u"F\\both", C::kConnectBoth},
        {"transfer from the terminal host", 3, u"F\\both", C::kConnectFileTransfer},
    };
    std::string text;
    for (const auto& [name, product, session, command] : launches) {
        auto deck = Open({ToProduct(product), true, true, true, true});
        Select(*deck, {session});
        deck->RunCommand(command);
        text += name + (": result " + std::to_string(deck->Result())) + ", chosen " +
                std::to_string(deck->Chosen().size()) + ", pending " +
                std::to_string(static_cast<int>(deck->PendingLaunch().kind)) + ", now" +
                services.Take();
        deck->Destroy();
        text += ", when gone" + services.Take() + "\n";
    }
    ExpectMatchesGolden("ui/sibling-connects.txt", text);
}

TEST_F(DeckDialog, NewSessionPropertiesAndQuickConnect) {
    MakeTree(u"F\\New|F\\New (1)");
    config->newSessionUsesWizard = 0;
    config->sessionOptionsTreeSelected = VUnicodeString(u"Terminal");
    auto deck = Open();
    Select(*deck, {u"F\\New"});
    EXPECT_EQ(deck->Tree().Path(deck->NewSession()), u"F\\New (2)");
    EXPECT_EQ(services.Take(), "properties New (2) new on Connection+");
    EXPECT_EQ(config->sessionOptionsTreeSelected.Get(), u"Terminal") << "restored afterwards";
    services.propertiesResult = 0;
    EXPECT_EQ(deck->NewSession(), kNoNode) << "a cancelled dialog stores nothing";
    config->newSessionUsesWizard = 1;
    services.propertiesResult = 1;
    services.Take();
    EXPECT_NE(deck->NewSession(), kNoNode);
    EXPECT_EQ(services.Take(), "wizard 3, properties New (3) new on Connection+");
    EXPECT_EQ(config->newSessionUsesWizard.Get(), 0) << "the wizard's choice is kept";

    // Properties that rename the session rename it in the database, in its place, and in the
    // tree, where it moves to its sorted place.
    Select(*deck, {u"F\\New (1)"});
    services.rename = u"Zeta";
    deck->RunCommand(C::kMenuProperties);
    EXPECT_EQ(services.Take(), "properties Zeta on Connection+");
    EXPECT_EQ(config->sessionOptionsTreeSelected.Get(), u"Terminal");
    EXPECT_EQ(Stored(u"F"), u"F\\New|F\\Zeta|F\\New (2)|F\\New (3)|");
    EXPECT_EQ(Children(*deck, u"F") + u" " + Selected(*deck),
              u"New|New (2)|New (3)|Zeta| F\\Zeta|");
    deck->RunCommand(C::kQuickConnect);
    EXPECT_EQ(services.Take(), "quick connect in F");
    EXPECT_EQ(deck->Result(), 0) << "the host returned no session";
}

TEST_F(DeckDialog, NewFolderRenameAndDelete) {
    MakeTree(u"F\\New Folder\\|F\\New Folder (1)\\|E\\only|abc|other");
    auto deck = Open();
    // A new folder is stored under its numbered name when the edit ends, even cancelled.
    Select(*deck, {u"F"});
    EXPECT_EQ(deck->Tree().Path(deck->NewFolder()), u"F\\New Folder (2)");
    EXPECT_FALSE(SessionDatabase::Exists(u"F\\New Folder (2)")) << "stored only when the edit ends";
    EXPECT_EQ(deck->EndLabelEdit(std::nullopt), Edit::kDone);
    EXPECT_TRUE(SessionDatabase::Exists(u"F\\New Folder (2)") && !deck->IsNewFolderPending());
    EXPECT_EQ(Selected(*deck), u"F\\New Folder (2)|");

    // Each name typed over "abc", in turn, the refusal shown (none: the edit ends, else it opens
    // again) and the session's name afterwards.
    Select(*deck, {u"abc"});
    ASSERT_TRUE(deck->BeginRename());
    const std::tuple<const char16_t*, const char16_t*, std::u16string> rows[] = {
        {u"ABC", u"", u"ABC"},  // case only
        {u"  abc  ", u"", u"abc"},
        {u"   ", u"Rename error.\n\nName must be non-empty.|", u"abc"},
        {u"a|b/c", u"Rename error.\n\nName cannot contain: ' / '|", u"abc"},
        {u"com3",
         u"com3 is a reserved device name on Windows and cannot be used as a session name.|",
         u"abc"},
        {u"OTHER", u"'OTHER' is already in use.|", u"abc"},
        {u"abc", u"", u"abc"},  // unchanged
    };
    for (const auto& [typed, message, name] : rows) {
        SCOPED_TRACE(VUnicodeString(typed).ToUtf8());
        ASSERT_TRUE(deck->EditingNode() != kNoNode || deck->BeginRename());
        if (*message) prompt.AnswerButton(kOk);
        EXPECT_EQ(deck->EndLabelEdit(VUnicodeString(typed)),
                  *message ? Edit::kEditAgain : Edit::kDone);
        EXPECT_EQ(Asked(), message);
        EXPECT_EQ(deck->EditingNode() != kNoNode, *message != 0);
        EXPECT_EQ(Stored(u"", false) + u" " + Selected(*deck),
                  u"F\\|E\\|" + name + u"|other| " + name + u"|");
    }
    Select(*deck, {u""});
    EXPECT_FALSE(deck->BeginRename()) << "the root is never renamed";
    deck->Selection().ClearSelection();
    EXPECT_FALSE(deck->BeginRename());

    // Delete asks; the selection goes to the next sibling, else the previous, else the parent.
    for (const auto& [path, answer, after] :
         {std::tuple{u"E\\only", VPromptAnswer::kNo, u"E\\only|"},
          {u"E\\only", kYes, u"E|"},
          {u"abc", kYes, u"other|"},
          {u"other", kYes, u"F|"}}) {
        Select(*deck, {path});
        prompt.AnswerButton(answer);
        EXPECT_EQ(deck->Delete(), answer == kYes);
        EXPECT_EQ(SessionDatabase::Exists(path), answer != kYes);
        EXPECT_EQ(Selected(*deck), after);
    }
    EXPECT_EQ(prompt.Questions().back().text,
              u"Are you sure you want to delete the selected item(s)?");

    // Several across folders, a folder and its own session among them: the first the store
    // refuses (a session with a key below it, which the tree never shows) stops the delete with
    // the ones before it gone.
    MakeTree(u"G\\g|H\\h1|H\\h2|H\\h2\\below|H\\h3");
    deck = Open();
    Select(*deck, {u"G", u"G\\g", u"H\\h1", u"H\\h2", u"H\\h3"});
    prompt.AnswerButton(kYes);
    prompt.AnswerButton(kOk);
    Asked();
    EXPECT_FALSE(deck->Delete());
    EXPECT_EQ(Stored(u"", false) + u" " + Stored(u"H", false) + u" " + Selected(*deck),
              u"F\\|E\\|H\\| H\\h2|H\\h3| H\\h2|");
    EXPECT_EQ(Asked(),
              u"Are you sure you want to delete the selected item(s)?|Directory not empty\r\n|");
}

TEST_F(DeckDialog, SessionNameRulesAndTheirPrompt) {
    MakeTree(u"Servers\\web1|top");
    // Each check as "problem: message" (0 none, 1 invalid, 2 in use). The library's rules and a
    // taken name in any case or the session's own are other tests' (the library's, the options
    // dialog's Connection page); rows show a folder's name is taken too, and only in its folder.
    const std::tuple<const char16_t*, const char16_t*, const char16_t*, const char*> rows[] = {
        {u"a/b", u"", u"x", "1: The session name contains an illegal character: ' / '"},
        {u"CON", u"", u"x",
         "1: CON is a reserved device name on Windows and cannot be used as a session name."},
        {u"Servers", u"", u"x", "2: 'Servers' is already in use."},
        {u"web1", u"", u"x", "0: "},
        {u"new one", u"Servers", u"web1", "0: "},
    };
    for (const auto& [name, folder, own, expected] : rows) {
        const SessionNameCheck check = CheckSessionNameInFolder(name, VUnicodeString(folder), own);
        EXPECT_EQ(std::to_string(static_cast<int>(check.problem)) + ": " +
                      VUnicodeString(check.message).ToUtf8(),
                  expected);
    }
    EXPECT_TRUE(CheckSessionNameInFolder(u"top", VUnicodeString(), u"x", false))
        << "without the store check a taken name passes";

    // Validate shows a refusal of a bad name as an error, under the caller's caption.
    prompt.AnswerButton(kOk);
    EXPECT_EQ((std::vector{ValidateSessionName(prompt, u"Caption", u"a*b", {}, u"x"),
                           ValidateSessionName(prompt, u"Caption", u"fresh", {}, u"x")}),
              (std::vector{false, true}));
    ASSERT_EQ(prompt.Questions().size(), 1u);
    EXPECT_EQ(std::pair(prompt.Questions()[0].icon, prompt.Questions()[0].caption.str()),
              std::pair(VPromptIcon::kError, std::u16string(u"Caption")));
}

TEST_F(DeckDialog, CreateShortcutArgumentsAndFile) {
    MakeTree(u"F\\a|F\\b");
    auto deck = Open();
    Select(*deck, {u"F"});
    prompt.AnswerText(u"  ");  // empty after trimming: refused, asked again
    prompt.AnswerButton(kOk);
    prompt.AnswerText(u" Mine ");
    deck->RunCommand(C::kCreateShortcut);
    EXPECT_EQ(services.Take(), "shortcut Mine=/S \"F\\a\" /S \"F\\b\" ");
    EXPECT_EQ(Asked(),
              u"Shortcut Name [Vetralon sessions]|Shortcut name error.\n\nShortcut name must be "
              u"non-empty.|Shortcut Name []|");
    services.shortcutSucceeds = false;
    Select(*deck, {u"F\\a"});
    prompt.AnswerText(u"a");
    prompt.AnswerButton(kOk);
    deck->RunCommand(C::kCreateShortcut);
    EXPECT_EQ(Asked(), u"Shortcut Name [a]|ERROR: creation of shortcut failed|");

    const auto folder = dir / "Desktop";
    std::filesystem::create_directories(folder);
    DesktopFileShortcutWriter writer(u"/usr/bin/session deck",
                                     VUnicodeString::FromUtf8(folder.string()));
    ASSERT_TRUE(writer.Write(u"Mine", u"/S \"F\\a\" /S \"100%$\" "));
    const std::string text = ReadFileBytes(folder / "Mine.desktop");
    const char* exec =
        "\nExec=\"/usr/bin/session deck\" \"/S\" \"F\\\\\\\\a\" \"/S\" \"100%%\\\\$\"\n";
    EXPECT_NE(text.find(exec), std::string::npos) << text;
    EXPECT_FALSE(writer.Write(u"a/b", u"")) << "a label cannot name a sub-folder";
}

TEST_F(DeckDialog, ClipboardCutCopyAndPaste) {
    MakeTree(u"P\\Q\\s|P\\t|A\\u|B\\");
    ProcessFolderTreeClipboard shared;
    auto deck = Open(kHost, {}, &shared);
    auto& tree = deck->Tree();
    // A cut folder pasted into its own sub-folder is refused and nothing moves.
    Select(*deck, {u"P"});
    ASSERT_TRUE(deck->Cut());
    EXPECT_TRUE(tree.Node(At(*deck, u"P")).cut);
    Select(*deck, {u"P\\Q"});
    prompt.AnswerButton(kOk);
    EXPECT_FALSE(deck->Paste());
    EXPECT_EQ(Asked(), u"Cannot copy or move a parent folder into a child|");
    EXPECT_EQ(Stored(u"P"), u"P\\Q\\|P\\Q\\s|P\\t|");
    // Pasting the cut onto its own node cancels it.
    Select(*deck, {u"P"});
    EXPECT_FALSE(deck->Paste() || deck->IsClipboardFilled() || tree.Node(At(*deck, u"P")).cut);
    // A copied session pasted into its own folder gets a free name.
    Select(*deck, {u"P\\t"});
    ASSERT_TRUE(deck->Copy());
    EXPECT_TRUE(deck->Paste());
    EXPECT_EQ(Children(*deck, u"P") + u" " + Selected(*deck), u"Q|t|t (2)| P\\t (2)|");
    // After the source went, the record is refused and Paste disabled.
    ASSERT_TRUE(SessionDatabase().Remove(u"P\\t"));
    prompt.AnswerButton(kOk);
    EXPECT_FALSE(deck->Paste() || deck->Enabling().paste);
    EXPECT_EQ(Asked(), u"Item 't' is no longer available for pasting|");

    // Two dialogs (two processes on one configuration) share the system clipboard: a record
    // the first cut is pasted by the second, which never cut or copied anything itself, once
    // the view told it of the record, and only once (a cut record is used once).
    Select(*deck, {u"A\\u"});
    ASSERT_TRUE(deck->Cut());
    auto second = Open(kHost, {}, &shared);
    Select(*second, {u"B"});
    std::vector<bool> pastes{second->Enabling().paste, second->Paste()};
    second->OnClipboardRecordAvailable();
    for (int i = 0; i < 2; ++i)
        pastes.insert(pastes.end(), {second->Enabling().paste, second->Paste()});
    EXPECT_EQ(pastes, (std::vector<bool>{false, false, true, true, false, false}));
    EXPECT_EQ(Stored(u"A") + Stored(u"B"), u"B\\u|");
}

TEST_F(DeckDialog, DragEffectsTimerDropAndPlacesBetweenRows) {
    MakeTree(u"A\\x|A\\y|B\\|C\\z|p|q|r");
    SetOrder(u"", u"p:q:r:", u"A:B:C:");
    auto deck = Open();
    ASSERT_TRUE(deck->BeginDrag(At(*deck, u"A")));
    EXPECT_EQ(deck->DragRecord().second, u"Sessions");
    const std::tuple<const char16_t*, KeyModifiers, DropEffect> rows[] = {
        {u"B", {}, DropEffect::kCopy},    {u"B", {true, false, false}, DropEffect::kCopy},
        {u"B", kAlt, DropEffect::kMove},  {u"B", {true, false, true}, DropEffect::kNone},
        {u"A", {}, DropEffect::kNone},     // onto itself
        {u"A\\x", {}, DropEffect::kNone},  // inside itself
    };
    for (const auto& [over, keys, effect] : rows)
        EXPECT_EQ(deck->DragOver(At(*deck, over), 5, 16, keys), effect)
            << VUnicodeString(over).ToUtf8();
    // Held over a collapsed folder, the hover timer opens it.
    const TreeNodeId c = At(*deck, u"C");
    deck->Tree().Collapse(c);
    services.Take();
    for (int y : {5, 6}) deck->DragOver(c, y, 16, {});  // a second move does not start it again
    EXPECT_EQ(services.Take(), "timer 2 750");
    deck->OnTimer(Deck::kHoverTimerId);
    EXPECT_TRUE(deck->Tree().Node(c).expanded);
    // Alt moves the folder into B.
    deck->DragOver(At(*deck, u"B"), 5, 16, kAlt);
    EXPECT_NE(deck->Drop(kAlt), kNoNode);
    EXPECT_EQ(Stored() + u" " + Children(*deck),
              u"B\\|B\\A\\|B\\A\\x|B\\A\\y|C\\|C\\z|p|q|r| B|C|p|q|r|");
    // Alphabetical order has no places between rows.
    ASSERT_TRUE(deck->BeginDrag(At(*deck, u"p")));
    deck->DragOver(At(*deck, u"r"), 0, 16, kAlt);
    EXPECT_FALSE(deck->InsertionLine());

    // User-arranged order. Rows 16 pixels high: within 3 of the top is above, within 3 of the
    // bottom below. A session's middle drops above it, a folder's middle into it (no line);
    // beside a folder there is no place (folders and sessions keep separate orders), nor beside
    // the source.
    config->sortAlphabetical = 0;
    deck = Open();
    ASSERT_TRUE(deck->BeginDrag(At(*deck, u"p")));
    const std::pair<const char16_t*, int> spots[] = {{u"r", 0},  {u"r", 3},  {u"r", 8},
                                                     {u"r", 12}, {u"r", 13}, {u"r", 15},
                                                     {u"B", 8},  {u"B", 14}, {u"p", 14}};
    std::string places;
    for (const auto& [over, y] : spots) {
        const TreeNodeId node = At(*deck, over);
        deck->DragOver(node, y, 16, kAlt);
        const auto line = deck->InsertionLine();
        places += !line                ? " none"
                  : line->node != node ? " elsewhere"
                  : line->below        ? " below"
                                       : " above";
    }
    EXPECT_EQ(places, " above above above above below below none none none");
    deck->DragOver(At(*deck, u"r"), 14, 16, kAlt);
    EXPECT_NE(deck->Drop(kAlt), kNoNode);
    EXPECT_FALSE(deck->InsertionLine()) << "the drag ended";
    EXPECT_EQ(Children(*deck) + u" " + Stored(u"", false), u"B|C|q|r|p| B\\|C\\|q|r|p|");
}

// The "FolderTree" record the clipboard and drags carry, byte for byte: field offsets, UTF-16LE
// strings, length limits, and refusal of records that do not hold two terminated strings.
TEST(FolderTreeRecordBytes, LayoutLimitsAndMalformedRecords) {
    FolderTreeRecord record{0x01020304, u"F\\s\u00e9", u"F", true};
    const auto bytes = record.Encode();
    ASSERT_TRUE(bytes);
    // The node, the source path from byte 4 and the second string from byte 524 (520 bytes
    // each), the move flag at 1044.
    EXPECT_EQ(Hex(bytes->data(), bytes->size()), "0403020146005c007300e900" + Repeat("00", 512) +
                                                     "4600" + Repeat("00", 518) + "01000000");
    record.move = false;
    EXPECT_EQ((*record.Encode())[1044], 0);
    const auto back = FolderTreeRecord::Decode(*bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->sourcePath.str() + u"|" + back->second.str(), u"F\\s\u00e9|F");
    EXPECT_TRUE(back->sourceNode == 0x01020304u && back->move);

    // 259 code units and the terminator fill a field exactly; 260 do not fit, nor does a NUL.
    const std::u16string longest(259, u'x'), tooLong(260, u'x');
    const auto fits = FolderTreeRecord{7, longest, u"", false}.Encode();
    ASSERT_TRUE(fits);
    EXPECT_EQ(FolderTreeRecord::Decode(*fits)->sourcePath.Length(), 259u);
    for (const auto& [path, second] : {std::pair<std::u16string, std::u16string>{tooLong, u""},
                                       {u"a", tooLong},
                                       {std::u16string(u"a\0b", 3), u""}})
        EXPECT_FALSE((FolderTreeRecord{7, path, second, false}.Encode()));
    // Refused: a byte short, a byte long, and each string field with no terminator inside it
    // (read on, it would run into the next field).
    std::vector<uint8_t> shorter(fits->begin(), fits->end() - 1),
        longer(fits->begin(), fits->end());
    auto unended = longer, secondUnended = longer;
    longer.push_back(0);
    unended[4 + 2 * 259] = 'x';
    for (size_t i = 524; i < 1044; i += 2) secondUnended[i] = 'y';
    for (const auto& data : {shorter, longer, unended, secondUnended})
        EXPECT_FALSE(FolderTreeRecord::Decode(data)) << data.size();
}

// The filter and the keyboard moves, on one store: the Default at the top (never shown), a
// top-level session, an opened folder, a folder never loaded with a sub-folder, and one
// side-only session of each kind.
class DeckFilter : public DeckDialog {
protected:
    DeckFilter() {
        MakeTree(u"Web\\|Db\\Old\\");
        MakeSession(u"Default", u"SSH2", u"SFTP", u"default-host");
        MakeSession(u"top", u"SSH2", u"", u"gateway.example");
        MakeSession(u"Web\\web01", u"SSH2", u"", u"web01.dc1");
        MakeSession(u"Web\\web02", u"SSH2", u"", u"web02.dc1");
        MakeSession(u"Db\\Old\\pg9", u"SSH2", u"", u"pg9.dc2", u"postgres");
        MakeSession(u"Db\\mysql", u"SSH2", u"", u"my.dc2", u"root", {u"Primary", u"Orders DB"});
        MakeSession(u"Db\\files", u"", u"SFTP", u"files.dc2");
        MakeSession(u"Db\\Default", u"SSH2", u"", u"nested-default");
    }

    std::unique_ptr<Deck> Open(SessionTreeOptions options = {false, true, true},
                               Product host = Product::Vetralon) {
        auto deck =
            std::make_unique<Deck>(prompt, SessionDeckHost{host, true, true, true, false}, options);
        deck->Selection().SelectOnly(At(*deck, u"Web\\web02"));  // which opens Web
        return deck;
    }
    // Filters and waits for the index: the tree's visible paths after it.
    static std::u16string Filtered(Deck& deck, const char16_t* text) {
        if (deck.SetFilter(VUnicodeString(text)) == Filter::kPending) {
            EXPECT_TRUE(deck.FilterIndex().WaitReady(10000));
            EXPECT_EQ(deck.ApplyPendingFilter(), Filter::kShown);
        }
        return Shown(deck.Tree());
    }
};

TEST_F(DeckFilter, MatchesByEachFieldWithoutCaseAndShowsTheirFoldersOpen) {
    // What each text shows: the matches and the folders above them, opened, in the tree's order
    // (the root stays, even alone); then the first match, selected so that Enter connects it.
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"WEB0", u"|Web|Web\\web01|Web\\web02| Web\\web01|"},                     // name, any case
        {u"dc2", u"|Db|Db\\Old|Db\\Old\\pg9|Db\\files|Db\\mysql| Db\\Old\\pg9|"},  // host
        {u"postgres",
         u"|Db|Db\\Old|Db\\Old\\pg9| Db\\Old\\pg9|"},    // user, in a folder never loaded
        {u"orders db", u"|Db|Db\\mysql| Db\\mysql|"},    // the second line of a description
        {u"default", u"|Db|Db\\Default| Db\\Default|"},  // only the Default below the top
        {u"gateway", u"|top| top|"},
        {u"nothing-like-this", u"| "},
    };
    // In user-arranged and in alphabetical order.
    for (const SessionTreeOptions& options :
         {SessionTreeOptions{false, true, true}, {true, true, true}}) {
        auto deck = Open(options);
        for (const auto& [text, expected] : cases) {
            const std::u16string shown = Filtered(*deck, text);
            EXPECT_EQ(shown + u" " + Selected(*deck), expected);
            EXPECT_EQ(deck->Filter(), Filter::kShown) << VUnicodeString(text).ToUtf8();
        }
    }
    // The transfer-only "files" hidden on a terminal host that does not show transfer-only
    // sessions, and shown again when the option changes while filtered.
    auto deck = Open({true, true, false});
    EXPECT_EQ(Filtered(*deck, u"files"), u"|");
    deck->ToggleTransferSessions();
    EXPECT_EQ(Shown(deck->Tree()), u"|Db|Db\\files|");
    // On the transfer host it is the sessions without a transfer protocol that are hidden.
    deck = Open({true, false, true}, Product::Ferrivo);
    EXPECT_EQ(Filtered(*deck, u"dc2"), u"|Db|Db\\files|");
}

TEST_F(DeckFilter, ClearingGivesBackTheTreeFromBeforeAndAltArrowsMoveInUserArrangedOrder) {
    MakeFolder(u"Z");
    SetOrder(u"", u"Default:top:", u"Db:Web:Z:");
    SetOrder(u"Web", u"web01:web02:", u"");
    auto deck = Open();
    const std::u16string before = u"|Db|Web|Web\\web01|Web\\web02|Z|top|";
    ASSERT_EQ(Shown(deck->Tree()), before);
    Filtered(*deck, u"pg");
    Filtered(*deck, u"pg9");  // a second keystroke keeps the state from before the first
    deck->SaveState();        // keeps the user's tree, not the filtered one
    EXPECT_EQ(deck->Config().connectExpandPath.Get().str(), u"Web\\web02");
    EXPECT_EQ(deck->SetFilter(VUnicodeString()), Filter::kOff);
    EXPECT_EQ(Shown(deck->Tree()) + u" " + Selected(*deck), before + u" Web\\web02|");
    EXPECT_EQ(deck->Selection().Caret(), At(*deck, u"Web\\web02"));
    EXPECT_FALSE(deck->Tree().Node(At(*deck, u"Db")).loaded);

    // Alt+Up and Alt+Down (or the move itself), whether it moved, and the folder's entries in
    // the store and the tree: a session moves among sessions, a folder among folders and never
    // past the first session, nothing past either end.
    const std::tuple<const char16_t*, bool, bool, bool, const char16_t*, const char16_t*> moves[] =
        {
            {u"Web\\web02", true, true, true, u"Web", u"Web\\web02|Web\\web01| web02|web01|"},
            {u"Web\\web02", true, false, false, u"Web", u"Web\\web02|Web\\web01| web02|web01|"},
            {u"Db", false, true, true, u"", u"Web\\|Db\\|Z\\|Default|top| Web|Db|Z|top|"},
            {u"Db", false, false, true, u"", u"Web\\|Z\\|Db\\|Default|top| Web|Z|Db|top|"},
            {u"Db", false, false, false, u"", u"Web\\|Z\\|Db\\|Default|top| Web|Z|Db|top|"},
        };
    for (const auto& [path, up, byKey, moved, folder, entries] : moves) {
        SCOPED_TRACE(VUnicodeString(path).ToUtf8());
        deck->Selection().SelectOnly(At(*deck, path));
        EXPECT_EQ(byKey ? deck->OnKey(up ? SessionDeckKey::kUp : SessionDeckKey::kDown, true, false)
                        : deck->MoveSelected(up),
                  moved);
        EXPECT_EQ(Stored(folder, false) + u" " + Children(*deck, folder), entries);
        EXPECT_EQ(Selected(*deck), path + std::u16string(u"|"));
    }
    // Refused in alphabetical order, with nothing changed.
    deck->ToggleSortOrder();
    deck->Selection().SelectOnly(At(*deck, u"Z"));
    EXPECT_FALSE(deck->MoveSelected(true));
    EXPECT_EQ(Stored(u"", false), u"Web\\|Z\\|Db\\|Default|top|");
}

TEST_F(DeckFilter, TheModelWorksWhileTheIndexBuildsAndGoesAwaySafelyMidBuild) {
    for (int i = 0; i < 300; ++i)
        MakeSession(u"Bulk\\s" + VUnicodeString::FromUtf8(std::to_string(i)).str());
    auto bulk = [&](Deck& deck) { return deck.Tree().Node(At(deck, u"Bulk")).children.size(); };
    for (int round = 0; round < 5; ++round) {
        auto deck = Open();
        deck->StartFilterIndex();
        // Usable while the index is read: the tree opens folders from the store as usual.
        deck->Tree().Expand(At(*deck, u"Bulk"));
        EXPECT_EQ(bulk(*deck), 300u);
        const auto started = std::chrono::steady_clock::now();
        deck.reset();  // the thread stops at its next session and is joined
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    }
    // A filter typed before the index is ready waits for it and then shows; the view is told
    // once that it can.
    auto deck = Open();
    std::atomic<int> readyCalls{0};
    deck->StartFilterIndex([&] { ++readyCalls; });
    const std::u16string before = Shown(deck->Tree());
    EXPECT_TRUE(deck->SetFilter(VUnicodeString(u"s29")) != Filter::kPending ||
                Shown(deck->Tree()) == before);
    ASSERT_TRUE(deck->FilterIndex().WaitReady(10000));
    EXPECT_EQ(std::pair(readyCalls.load(), deck->ApplyPendingFilter()),
              std::pair(1, Filter::kShown));
    EXPECT_EQ(bulk(*deck), 11u);  // s29 and s290..s299

    // A change while a typed filter waits for the index starts the read over at once: the
    // filter then shows, with the change, without another keystroke.
    deck = Open();
    if (deck->SetFilter(VUnicodeString(u"s29")) == Filter::kPending) {
        EXPECT_EQ(Rename(*deck, u"top", u"s29top"), Edit::kDone);
        ASSERT_TRUE(deck->FilterIndex().WaitReady(10000));
    }
    EXPECT_EQ(deck->ApplyPendingFilter(), Filter::kShown);
    EXPECT_NE(Shown(deck->Tree()).find(u"|s29top|"), std::u16string::npos);
}

TEST_F(DeckFilter, AFilterAfterTheDialogChangedTheStoreFindsTheChange) {
    // One dialog whose index was read before each change, each change leaving what the cases
    // after it look for alone; the index follows the change, so the filter answers at once.
    auto deck = Open();
    auto finds = [&](const char16_t* text) {
        EXPECT_EQ(deck->SetFilter(VUnicodeString(text)), Filter::kShown);
        const std::u16string shown = Shown(deck->Tree());
        deck->SetFilter(VUnicodeString());
        return shown;
    };
    Filtered(*deck, u"web01");  // renamed while filtered
    EXPECT_EQ(Rename(*deck, u"Web\\web01", u"api01"), Edit::kDone);
    EXPECT_EQ(finds(u"api"), u"|Web|Web\\api01|");
    Select(*deck, {u"Db\\mysql"});
    prompt.AnswerButton(kYes);
    EXPECT_TRUE(deck->Delete());
    EXPECT_EQ(finds(u"dc2"), u"|Db|Db\\Old|Db\\Old\\pg9|Db\\files|");
    deck->CopyTo(At(*deck, u"top"), At(*deck, u"Web"), {});
    EXPECT_EQ(finds(u"gateway"), u"|Web|Web\\top|top|");
    deck->MoveTo(At(*deck, u"Db\\Old\\pg9"), At(*deck, u"Web"), {});
    EXPECT_EQ(finds(u"pg9"), u"|Web|Web\\pg9|");
    Select(*deck, {u"Web\\web02"});
    EXPECT_TRUE(deck->MoveSelected(true));  // web02 above api01
    EXPECT_EQ(finds(u"web"), u"|Web|Web\\web02|Web\\api01|");
    EXPECT_EQ(Rename(*deck, u"Db", u"Data"), Edit::kDone);
    EXPECT_EQ(finds(u"files"), u"|Data|Data\\files|");

    // Case twins (names differing in case only, which the folder store keeps apart): both
    // stay when their folder's order is read again, and renaming one leaves the other as it was.
    MakeSession(u"Web\\Twin", u"SSH2", u"", u"t1.twins");
    MakeSession(u"Web\\twin", u"SSH2", u"", u"t2.twins");
    deck = Open();  // one whose index was read after they were made
    Filtered(*deck, u"twins");
    deck->SetFilter(VUnicodeString());
    EXPECT_TRUE(deck->MoveSelected(false));
    EXPECT_EQ(finds(u"twins"), u"|Web|Web\\Twin|Web\\twin|");
    EXPECT_EQ(Rename(*deck, u"Web\\Twin", u"Triplet"), Edit::kDone);
    EXPECT_EQ(finds(u"twins"), u"|Web|Web\\Triplet|Web\\twin|");
}

}  // namespace
