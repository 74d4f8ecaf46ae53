// Session Options as a model: the pages of one session in the property-tree frame, which of them
// show for the installed applications and the session's protocols, the protocol modules' pages
// and how they follow a change of protocol, the read-only mode, and the rules of the pages.
//
// How it works. Construction settles the protocols an absent application cannot use, then adds
// every page of the library (Connection first) to the frame as top-level pages with their
// children; the protocol modules' pages are made only when first shown, as children of the
// Connection page, one slot per protocol table row. Opened() runs once the frame has put the
// pages in its tree: it hides the Terminal or File Transfer subtree the session's protocols do
// not use and shows the modules' pages of the two protocols. SSH2 and SFTP share their pages:
// while the terminal side is SSH2 the SFTP pages stay hidden.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "foundation/prompt.h"
#include "foundation/unicode_string.h"
#include "session/option_page.h"
#include "ui/model/option_page_model.h"
#include "ui/model/property_tree.h"
#include "ui/model/session_option_pages.h"

namespace sessiondeck {

class GlobalConfig;
class ISessionConfig;
class VProfileData;
class SessionOptionsModel;

// Which applications of the family are installed and can be started.
struct SessionOptionsHost {
    bool terminalInstalled = true;
    bool transferInstalled = true;
    bool canLaunchTerminal = true;
    bool canLaunchTransfer = true;

    static SessionOptionsHost FromLibrary();
};

// One page of the dialog: an OptionPage (bound to its settings, checked by kind and range) with
// the page's own rules, and access to its controls by setting name for those rules.
class SessionOptionsPage : public OptionPage {
public:
    using Rules = std::function<bool(SessionOptionsPage&)>;
    using Hook = std::function<void(SessionOptionsPage&)>;

    SessionOptionsPage(const OptionPageDescription& description, OptionRecordResolver resolver,
                       IPrompt& prompt, bool readOnly);

    bool Activate() override;

    // What the control of `setting` shows, as text ("1"/"0" for a check box, the index for a
    // choice); empty when the page has no such control.
    std::u16string Value(std::u16string_view setting) const;
    // What the user typed or chose, in the same form.
    void SetValue(std::u16string_view setting, std::u16string_view text);
    // The value the record holds now ("1"/"0" for a flag), whether or not the page shows it.
    std::optional<std::u16string> Stored(std::u16string_view setting) const;
    // The setting itself, for a rule that writes a form of its own.
    VProfileData* SettingNamed(std::u16string_view setting) const;

    // Run after the controls passed their kind and range checks; false keeps the page.
    void SetRules(Rules rules) { m_rules = std::move(rules); }
    // Run at the end of Activate, for pages that show a setting in a form of their own.
    void SetLoader(Hook loader) { m_loader = std::move(loader); }
    // Run after the page's values were written.
    void SetAfterWrite(Hook afterWrite) { m_afterWrite = std::move(afterWrite); }
    // Shows `message` with the page's caption (or `caption`), keeping the focus on `setting`.
    bool RefuseAt(std::u16string_view setting, const std::u16string& message,
                  std::u16string_view caption = {});
    using OptionPage::Prompt;

protected:
    bool CheckPage() override { return !m_rules || m_rules(*this); }
    void OnWritten() override {
        if (m_afterWrite) m_afterWrite(*this);
    }

private:
    Rules m_rules;
    Hook m_loader;
    Hook m_afterWrite;
};

// The Connection page in both forms: the session's name and its protocol choices, which are not
// settings, besides its bound controls.
class SessionConnectPage : public SessionOptionsPage {
public:
    SessionConnectPage(SessionOptionsModel& owner, bool multiple, OptionRecordResolver resolver,
                       IPrompt& prompt, bool readOnly);

    bool Multiple() const { return m_multiple; }
    const std::u16string& Name() const { return m_name; }
    void SetName(std::u16string_view name) { m_name = name; }
    // The protocol rows the choices offer: terminal rows (single form: the rows of the
    // installed side) and, in the multiple form, the transfer rows. "None" included.
    std::vector<std::u16string> TerminalChoices() const;
    std::vector<std::u16string> TransferChoices() const;
    // A choice made: switches the session's protocol and the pages that follow it.
    void ChooseTerminalProtocol(std::u16string_view name);
    void ChooseTransferProtocol(std::u16string_view name);

    bool Validate() override;

private:
    SessionOptionsModel& m_owner;
    bool m_multiple;
    std::u16string m_name;
};

class SessionOptionsModel {
public:
    // `mode` 2 opens read-only (the session is locked elsewhere); `maxColumns` is the global
    // "Max Columns" the Emulation page's column rule allows. The frame gets the pages now.
    SessionOptionsModel(IPropertyTreeDialog& frame, IPrompt& prompt, GlobalConfig& global,
                        ISessionConfig& session, SessionOptionsHost host, int mode, int maxColumns);
    ~SessionOptionsModel();
    SessionOptionsModel(const SessionOptionsModel&) = delete;
    SessionOptionsModel& operator=(const SessionOptionsModel&) = delete;

    // "Session Options - NAME", with " (Read Only)" in mode 2.
    VUnicodeString Caption() const { return CaptionFor(m_session, m_mode); }
    static VUnicodeString CaptionFor(const ISessionConfig& session, int mode);
    bool ReadOnly() const { return m_mode != 0; }
    int Mode() const { return m_mode; }

    // The frame has put the pages in its tree: hide what the protocols do not use, show the
    // modules' pages. In mode 2 the view then calls ReadOnlyPrompt once the window shows.
    void Opened();
    void ReadOnlyPrompt();

    void ShowHideTerminalPages(bool show);
    void ShowHideFileTransferPages(bool show);
    // Makes the row's module pages when they do not exist yet and shows them (a row whose module
    // gives none shows none); HideSessionProtocolPages takes them out of the tree.
    void ShowSessionProtocolPages(int row);
    void HideSessionProtocolPages(int row);
    // A protocol changed on the Connection page from `oldRow` to `newRow`; `other` is the other
    // side's row (negative: none).
    void UpdateSessionProtocolPages(int newRow, int oldRow, int other);
    // True while UpdateSessionProtocolPages runs (the frame's protocol flag).
    bool UpdatingProtocols() const { return m_updatingProtocols; }

    // The name the Connection page holds when OK was pressed (the caller renames the stored
    // session when it differs from the session's own).
    std::u16string ChosenName() const;

    // The Connection page's choice: sets the session's terminal (or transfer) protocol and
    // brings the pages along. Nothing changes in read-only mode.
    void ChangeProtocol(bool terminal, std::u16string_view name);
    // The protocol names of the two rows; "None" for a row that does not exist.
    std::u16string TerminalRowName() const;
    std::u16string TransferRowName() const;

    int TerminalRow() const { return m_terminalRow; }
    int TransferRow() const { return m_transferRow; }
    int Ssh2Row() const { return m_ssh2Row; }
    int SftpRow() const { return m_sftpRow; }

    SessionConnectPage& ConnectPage() { return *m_connect; }
    SessionOptionsPage* Page(SessionPageId id) const;
    // The module pages made for a row so far (empty until first shown).
    const std::vector<std::unique_ptr<SessionOptionsPage>>& ProtocolPages(int row) const;

    ISessionConfig& Session() { return m_session; }
    const SessionOptionsHost& Host() const { return m_host; }
    IPropertyTreeDialog& Frame() { return m_frame; }

    // After OK: the tree's expansion and selection go to the global "Session Options Tree
    // State" and "... Selected", which the next process starts from.
    void PersistTreeState();
    // After OK: where SSH2 and SFTP share their pages, the SSH2 page stood for both sides, so a
    // port or password changed there is the SFTP side's too (the host, user and firewall are one
    // for both already). Without this the file transfer would still go to the old port, or ask
    // for a password the user gave, and no page shows the SFTP side's.
    void ApplySharedPages();

    // The page state map of Session Options, kept for the life of the process.
    static PropertyPageStateMap& PageStateMap();
    static void DeleteStateMap();

private:
    void AddPages();
    void InstallRules();
    // Seeds the state map from the global strings before the frame opens.
    void SeedTreeState();
    std::unique_ptr<SessionOptionsPage> MakePage(const OptionPageDescription& description);
    VProfileData* Resolve(OptionRecord record) const;
    void ShowMarkedUnselected(PropertyTreePage* page);
    bool SharesPages() const {
        return m_terminalRow >= 0 && m_terminalRow == m_ssh2Row && m_transferRow == m_sftpRow;
    }
    void AddChildren(SessionOptionsPage& page, const OptionPageDescription& description);

    IPropertyTreeDialog& m_frame;
    IPrompt& m_prompt;
    GlobalConfig& m_global;
    ISessionConfig& m_session;
    SessionOptionsHost m_host;
    int m_mode;
    int m_maxColumns;
    bool m_scriptingDisabled;
    bool m_updatingProtocols = false;
    int m_terminalRow = -1;
    int m_transferRow = -1;
    int m_ssh2Row = -1;
    int m_sftpRow = -1;
    // The SSH2 port and password when the dialog opened with shared pages (-1 and empty: they
    // were not shared).
    int m_sharedPortAtOpen = -1;
    VUnicodeString m_sharedPasswordAtOpen;

    std::unique_ptr<SessionConnectPage> m_connect;
    std::vector<PropertyTreePage*> m_topLevel;
    std::map<SessionPageId, std::unique_ptr<SessionOptionsPage>> m_pages;
    std::vector<std::vector<std::unique_ptr<SessionOptionsPage>>> m_protocolPages;
    std::set<int> m_protocolMade;
    std::vector<bool> m_protocolShown;
    bool m_terminalShown = true;
    bool m_transferShown = true;
    // Module pages' descriptions live in their module; the pages' children lists point at these.
    std::vector<std::unique_ptr<SessionOptionsPage>> m_protocolChildren;
};

}  // namespace sessiondeck
