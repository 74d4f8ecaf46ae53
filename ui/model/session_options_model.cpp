// Session Options: the page binding, the Connection page, the page set and protocol switching.
#include "ui/model/session_options_model.h"

#include <charconv>
#include <filesystem>

#include "app/global_config.h"
#include "app/siblings.h"
#include "foundation/messages.h"
#include "session/connect_protocol_table.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "session/setting_lookup.h"
#include "ui/model/property_tree_model.h"
#include "ui/model/session_name_rules.h"
#include "ui/model/warning.h"

namespace sessiondeck {

namespace {

bool ParseInteger(std::u16string_view text, int64_t& value) {
    std::string narrow;
    for (char16_t c : text) {
        if (c > 0x7F) return false;
        narrow += static_cast<char>(c);
    }
    const auto* first = narrow.data();
    const auto* last = narrow.data() + narrow.size();
    if (first != last && *first == '+') ++first;
    const auto result = std::from_chars(first, last, value);
    return first != last && result.ec == std::errc() && result.ptr == last;
}

std::u16string Number(int64_t value) {
    std::u16string text;
    for (char c : std::to_string(value)) text += static_cast<char16_t>(c);
    return text;
}

}  // namespace

// ---- the page binding ------------------------------------------------------------------

SessionOptionsHost SessionOptionsHost::FromLibrary() {
    SessionOptionsHost host;
    host.terminalInstalled = IsVetralonOrVetraInstalled();
    host.transferInstalled = IsFerrivoInstalled();
    host.canLaunchTerminal = CanLaunchTerminalApp();
    host.canLaunchTransfer = host.transferInstalled;
    return host;
}

SessionOptionsPage::SessionOptionsPage(const OptionPageDescription& description,
                                       OptionRecordResolver resolver, IPrompt& prompt,
                                       bool readOnly)
    : OptionPage(description, std::move(resolver), prompt) {
    this->readOnly = readOnly;
}

bool SessionOptionsPage::Activate() {
    OptionPage::Activate();
    if (m_loader) m_loader(*this);
    return true;
}

std::u16string SessionOptionsPage::Value(std::u16string_view setting) const {
    const int index = IndexOf(setting);
    if (index < 0) return {};
    const OptionControlValue& value = OptionPage::Value(static_cast<size_t>(index));
    switch (Control(static_cast<size_t>(index)).kind) {
        case OptionControlKind::kCheck:
            return value.checked ? u"1" : u"0";
        case OptionControlKind::kChoice:
            return Number(value.choice);
        default:
            return value.text;
    }
}

void SessionOptionsPage::SetValue(std::u16string_view setting, std::u16string_view text) {
    const int index = IndexOf(setting);
    if (index < 0) return;
    OptionControlValue& value = OptionPage::Value(static_cast<size_t>(index));
    switch (Control(static_cast<size_t>(index)).kind) {
        case OptionControlKind::kCheck:
            value.checked = text == u"1";
            break;
        case OptionControlKind::kChoice: {
            int64_t choice = -1;
            value.choice = ParseInteger(text, choice) ? static_cast<int>(choice) : -1;
            break;
        }
        case OptionControlKind::kSecret:
            value.text = text;
            value.secretEdited = true;
            break;
        default:
            value.text = text;
    }
}

VProfileData* SessionOptionsPage::SettingNamed(std::u16string_view setting) const {
    const int index = IndexOf(setting);
    VProfileData* record =
        Record(index >= 0 ? Control(static_cast<size_t>(index)).record : OptionRecord::kSession);
    return record ? FindSetting(*record, setting).setting : nullptr;
}

std::optional<std::u16string> SessionOptionsPage::Stored(std::u16string_view setting) const {
    VProfileData* found = SettingNamed(setting);
    if (!found || found->IsSecret()) return std::nullopt;
    auto text = found->Text();
    if (text && found->Kind() == SettingKind::kBool) return *text == u"true" ? u"1" : u"0";
    return text;
}

bool SessionOptionsPage::RefuseAt(std::u16string_view setting, const std::u16string& message,
                                  std::u16string_view caption) {
    if (caption.empty()) {
        Refuse(IndexOf(setting), message);
    } else {
        Warn(Prompt(), message, VUnicodeString(caption));
    }
    return false;
}

// ---- the Connection page ---------------------------------------------------------------

SessionConnectPage::SessionConnectPage(SessionOptionsModel& owner, bool multiple,
                                       OptionRecordResolver resolver, IPrompt& prompt,
                                       bool readOnly)
    : SessionOptionsPage(SessionOptionPage(SessionPageId::kConnection), std::move(resolver), prompt,
                         readOnly),
      m_owner(owner),
      m_multiple(multiple),
      m_name(owner.Session().GetSessionName().str()) {}

namespace {

std::vector<std::u16string> RowNames(bool terminal) {
    std::vector<std::u16string> names{ConnectConfigPtr::kNoneProtocol};
    const ConnectProtocolTable& table = GetConnectProtocolTable();
    for (int row = 0; row < table.GetSize(); ++row) {
        const Product product = ToProduct(table[row].productId);
        const std::u16string& name = table[row].protocolName.str();
        if (EqualsNoCase(name, ConnectConfigPtr::kNoneProtocol)) continue;
        if (terminal ? IsTerminalProduct(product) : IsTransferProduct(product))
            names.push_back(name);
    }
    return names;
}

}  // namespace

std::vector<std::u16string> SessionConnectPage::TerminalChoices() const {
    if (!m_multiple && !m_owner.Host().terminalInstalled) return {};
    return RowNames(true);
}

std::vector<std::u16string> SessionConnectPage::TransferChoices() const {
    if (!m_multiple && m_owner.Host().terminalInstalled) return {};
    return RowNames(false);
}

void SessionConnectPage::ChooseTerminalProtocol(std::u16string_view name) {
    m_owner.ChangeProtocol(true, name);
}

void SessionConnectPage::ChooseTransferProtocol(std::u16string_view name) {
    m_owner.ChangeProtocol(false, name);
}

bool SessionConnectPage::Validate() {
    if (readOnly) return true;
    const VUnicodeString caption = m_owner.Caption();
    const VUnicodeString path = m_owner.Session().GetSessionPath();
    // A session not stored yet (no path) has no folder whose names could collide.
    if (!ValidateSessionName(Prompt(), caption, m_name, SessionDatabase::ParentPath(path),
                             m_owner.Session().GetSessionName().str(), !path.IsEmpty()))
        return false;
    if (m_multiple && m_owner.TerminalRowName() == ConnectConfigPtr::kNoneProtocol &&
        m_owner.TransferRowName() == ConnectConfigPtr::kNoneProtocol) {
        Warn(Prompt(), u"Both selected protocols cannot be 'None'.", caption);
        return false;
    }
    return SessionOptionsPage::Validate();
}

// ---- the dialog ------------------------------------------------------------------------

PropertyPageStateMap& SessionOptionsModel::PageStateMap() {
    static PropertyPageStateMap map;
    return map;
}

void SessionOptionsModel::DeleteStateMap() {
    PageStateMap().clear();
}

SessionOptionsModel::SessionOptionsModel(IPropertyTreeDialog& frame, IPrompt& prompt,
                                         GlobalConfig& global, ISessionConfig& session,
                                         SessionOptionsHost host, int mode, int maxColumns)
    : m_frame(frame),
      m_prompt(prompt),
      m_global(global),
      m_session(session),
      m_host(host),
      m_mode(mode),
      m_maxColumns(maxColumns),
      m_scriptingDisabled(global.DisableAllScripting()) {
    // A side whose application is absent cannot be used, so the session shows no pages for it.
    auto* concrete = dynamic_cast<SessionConfig*>(&m_session);
    if (!m_host.transferInstalled && concrete)
        concrete->SetTransferProtocol(ConnectConfigPtr::kNoneProtocol);
    if (!m_host.terminalInstalled) m_session.SetTerminalProtocol(ConnectConfigPtr::kNoneProtocol);
    m_protocolPages.resize(static_cast<size_t>(GetConnectProtocolTable().GetSize()));
    m_protocolShown.assign(m_protocolPages.size(), false);
    AddPages();
    InstallRules();
    SeedTreeState();
}

namespace {
// The "Session Options Tree Selected" this process last read or wrote. When the stored string
// differs, someone asked for a page (the session manager asks for "Connection+" while it opens a
// new session) and that request beats the selection this process remembers.
std::u16string& LastTreeSelected() {
    static std::u16string selected;
    return selected;
}
}  // namespace

void SessionOptionsModel::SeedTreeState() {
    PropertyPageStateMap& map = m_frame.PageStateMap();
    const std::u16string selected = m_global.sessionOptionsTreeSelected.Get().str();
    if (selected != LastTreeSelected())
        for (auto& entry : map) entry.second.selected = false;
    LastTreeSelected() = selected;
    SeedPageStateMap(map, m_topLevel, m_global.sessionOptionsTreeState.Get().str(), selected);
}

void SessionOptionsModel::PersistTreeState() {
    const std::u16string stored = m_global.sessionOptionsTreeState.Get().str();
    const PersistedTreeState persisted =
        PersistPageStateMap(m_frame.PageStateMap(), m_topLevel, stored);
    if (persisted.state != stored)
        m_global.sessionOptionsTreeState = VUnicodeString(persisted.state);
    if (!persisted.selected.empty() &&
        persisted.selected != m_global.sessionOptionsTreeSelected.Get().str())
        m_global.sessionOptionsTreeSelected = VUnicodeString(persisted.selected);
    LastTreeSelected() = m_global.sessionOptionsTreeSelected.Get().str();
}

SessionOptionsModel::~SessionOptionsModel() = default;

VProfileData* SessionOptionsModel::Resolve(OptionRecord record) const {
    switch (record) {
        case OptionRecord::kSession:
            return dynamic_cast<VProfileData*>(&m_session);
        case OptionRecord::kTerminalConnection:
            return m_session.GetTermConnectConfig();
        case OptionRecord::kTransferConnection:
            return m_session.GetTransferConnectConfig();
        case OptionRecord::kGlobal:
            return &m_global;
        case OptionRecord::kNone:
            return nullptr;
    }
    return nullptr;
}

std::unique_ptr<SessionOptionsPage> SessionOptionsModel::MakePage(
    const OptionPageDescription& description) {
    return std::make_unique<SessionOptionsPage>(
        description, [this](OptionRecord record) { return Resolve(record); }, m_prompt, ReadOnly());
}

void SessionOptionsModel::AddPages() {
    const bool both = m_host.terminalInstalled && m_host.transferInstalled;
    m_connect = std::make_unique<SessionConnectPage>(
        *this, both, [this](OptionRecord record) { return Resolve(record); }, m_prompt, ReadOnly());
    m_frame.AddPage(m_connect.get());
    m_topLevel.push_back(m_connect.get());
    auto add = [&](SessionPageId id, PropertyTreePage* parent) {
        auto& page = m_pages[id] = MakePage(SessionOptionPage(id));
        if (parent) {
            parent->AddChild(page.get());
        } else {
            m_frame.AddPage(page.get());
            m_topLevel.push_back(page.get());
        }
        return page.get();
    };
    if (!m_scriptingDisabled) add(SessionPageId::kLogonScripts, m_connect.get());
    if (m_host.terminalInstalled) {
        PropertyTreePage* terminal = add(SessionPageId::kTerminal, nullptr);
        PropertyTreePage* emulation = add(SessionPageId::kEmulation, terminal);
        add(SessionPageId::kEmulationModes, emulation);
        add(SessionPageId::kEmacs, emulation);
        add(SessionPageId::kMappedKeys, emulation);
        add(SessionPageId::kEmulationAdvanced, emulation);
        PropertyTreePage* appearance = add(SessionPageId::kAppearance, terminal);
        add(SessionPageId::kWindow, appearance);
        add(SessionPageId::kLogFile, terminal);
        PropertyTreePage* printing = add(SessionPageId::kPrinting, terminal);
        add(SessionPageId::kAdvancedPrinting, printing);
        add(SessionPageId::kXYZmodem, terminal);
    }
    if (m_host.transferInstalled) {
        PropertyTreePage* transfer = add(SessionPageId::kFileTransfer, nullptr);
        add(SessionPageId::kFtpSftp, transfer);
    }
}

SessionOptionsPage* SessionOptionsModel::Page(SessionPageId id) const {
    if (id == SessionPageId::kConnection) return m_connect.get();
    const auto found = m_pages.find(id);
    return found == m_pages.end() ? nullptr : found->second.get();
}

const std::vector<std::unique_ptr<SessionOptionsPage>>& SessionOptionsModel::ProtocolPages(
    int row) const {
    static const std::vector<std::unique_ptr<SessionOptionsPage>> none;
    if (row < 0 || static_cast<size_t>(row) >= m_protocolPages.size()) return none;
    return m_protocolPages[static_cast<size_t>(row)];
}

VUnicodeString SessionOptionsModel::CaptionFor(const ISessionConfig& session, int mode) {
    VUnicodeString caption = VUnicodeString(u"Session Options - ") + session.GetSessionName();
    if (mode == 2) caption += u" (Read Only)";
    return caption;
}

std::u16string SessionOptionsModel::ChosenName() const {
    return TrimSessionName(m_connect->Name()).str();
}

std::u16string SessionOptionsModel::TerminalRowName() const {
    return m_terminalRow < 0 ? std::u16string(ConnectConfigPtr::kNoneProtocol)
                             : GetConnectProtocolTable()[m_terminalRow].protocolName.str();
}

std::u16string SessionOptionsModel::TransferRowName() const {
    return m_transferRow < 0 ? std::u16string(ConnectConfigPtr::kNoneProtocol)
                             : GetConnectProtocolTable()[m_transferRow].protocolName.str();
}

void SessionOptionsModel::Opened() {
    const ConnectProtocolTable& table = GetConnectProtocolTable();
    m_terminalRow = table.Find(m_session.GetTerminalProtocol().str());
    m_transferRow = table.Find(m_session.GetTransferProtocol().str());
    m_ssh2Row = m_host.canLaunchTerminal ? table.Find(u"SSH2") : -1;
    m_sftpRow = m_host.canLaunchTransfer ? table.Find(u"SFTP") : -1;
    // The frame put every page in its tree; what the protocols leave unused goes again.
    m_terminalShown = true;
    m_transferShown = true;
    ShowHideTerminalPages(TerminalRowName() != ConnectConfigPtr::kNoneProtocol);
    ShowHideFileTransferPages(TransferRowName() != ConnectConfigPtr::kNoneProtocol);
    ShowSessionProtocolPages(m_terminalRow);
    // SSH2 and SFTP share their pages: the terminal side's stand for both.
    if (SharesPages()) {
        if (ConnectConfig* terminal = m_session.GetTermConnectConfig()) {
            m_sharedPortAtOpen = terminal->GetPort();
            m_sharedPasswordAtOpen = terminal->GetPassword();
        }
    } else {
        ShowSessionProtocolPages(m_transferRow);
    }
}

void SessionOptionsModel::ApplySharedPages() {
    if (ReadOnly() || !SharesPages()) return;
    ConnectConfig* terminal = m_session.GetTermConnectConfig();
    ConnectConfig* transfer = m_session.GetTransferConnectConfig();
    if (!terminal || !transfer) return;
    // What the page did not change stays as stored on both sides, even where they differ.
    if (terminal->GetPort() != m_sharedPortAtOpen) transfer->SetPort(terminal->GetPort());
    const VUnicodeString password = terminal->GetPassword();
    if (password != m_sharedPasswordAtOpen) transfer->SetPassword(password.c_str());
}

void SessionOptionsModel::ReadOnlyPrompt() {
    if (m_mode != 2 || m_global.suppressReadOnlySessionOptionsWarning.Get()) return;
    const VPromptCheckedAnswer answer = m_prompt.ShowOptionalMessage(
        LibraryMessageText(kMsgSessionLockedReadOnly), Caption(), VPromptButtons::kOk,
        VPromptIcon::kInformation, LibraryMessageText(kMsgDoNotShowAgain));
    if (answer.checked) m_global.suppressReadOnlySessionOptionsWarning = 1;
}

void SessionOptionsModel::ShowMarkedUnselected(PropertyTreePage* page) {
    // A page that comes with a protocol change must not take the selection from the
    // Connection page the user is on.
    if (m_updatingProtocols) {
        page->selected = false;
        auto found = m_frame.PageStateMap().find(page->Caption());
        if (found != m_frame.PageStateMap().end()) found->second.selected = false;
    }
    m_frame.ShowPage(page);
}

void SessionOptionsModel::ShowHideTerminalPages(bool show) {
    if (show == m_terminalShown) return;
    m_terminalShown = show;
    PropertyTreePage* terminal = Page(SessionPageId::kTerminal);
    PropertyTreePage* logon = Page(SessionPageId::kLogonScripts);
    if (show) {
        if (terminal) ShowMarkedUnselected(terminal);
        if (logon) ShowMarkedUnselected(logon);
    } else {
        if (logon) m_frame.HidePage(logon);
        if (terminal) m_frame.HidePage(terminal);
    }
}

void SessionOptionsModel::ShowHideFileTransferPages(bool show) {
    if (show == m_transferShown) return;
    m_transferShown = show;
    PropertyTreePage* transfer = Page(SessionPageId::kFileTransfer);
    if (!transfer) return;
    if (show)
        ShowMarkedUnselected(transfer);
    else
        m_frame.HidePage(transfer);
}

void SessionOptionsModel::ShowSessionProtocolPages(int row) {
    if (row < 0 || static_cast<size_t>(row) >= m_protocolPages.size()) return;
    auto& pages = m_protocolPages[static_cast<size_t>(row)];
    if (!m_protocolMade.count(row)) {
        m_protocolMade.insert(row);
        void* made = GetConnectProtocolTable()[row].sessionPages();
        if (const auto* set = static_cast<const OptionPageSet*>(made)) {
            for (const OptionPageDescription& description : set->pages) {
                pages.push_back(MakePage(description));
                AddChildren(*pages.back(), description);
                m_connect->AddChild(pages.back().get());
            }
        }
    }
    if (m_protocolShown[static_cast<size_t>(row)]) return;
    m_protocolShown[static_cast<size_t>(row)] = true;
    for (auto& page : pages) ShowMarkedUnselected(page.get());
}

void SessionOptionsModel::AddChildren(SessionOptionsPage& page,
                                      const OptionPageDescription& description) {
    for (const OptionPageDescription& child : description.children) {
        m_protocolChildren.push_back(MakePage(child));
        SessionOptionsPage& made = *m_protocolChildren.back();
        page.AddChild(&made);
        AddChildren(made, child);
    }
}

void SessionOptionsModel::HideSessionProtocolPages(int row) {
    if (row < 0 || static_cast<size_t>(row) >= m_protocolPages.size()) return;
    if (!m_protocolShown[static_cast<size_t>(row)]) return;
    m_protocolShown[static_cast<size_t>(row)] = false;
    for (auto& page : m_protocolPages[static_cast<size_t>(row)]) m_frame.HidePage(page.get());
}

void SessionOptionsModel::UpdateSessionProtocolPages(int newRow, int oldRow, int other) {
    m_updatingProtocols = true;
    if (oldRow != -1) HideSessionProtocolPages(oldRow);
    if (other < 0) {
        ShowSessionProtocolPages(newRow);
    } else if (newRow >= 0 && newRow == m_ssh2Row) {
        ShowSessionProtocolPages(newRow);
        if (other == m_sftpRow) HideSessionProtocolPages(m_sftpRow);
    } else if (newRow >= 0 && newRow == m_sftpRow) {
        if (other != m_ssh2Row) ShowSessionProtocolPages(newRow);
    } else {
        ShowSessionProtocolPages(newRow);
        // A modem or serial line replaces the network connection, so the other side's pages
        // have nothing to connect through.
        const std::u16string name =
            newRow >= 0 ? GetConnectProtocolTable()[newRow].protocolName.str() : u"";
        if (EqualsNoCase(name, u"TAPI") || EqualsNoCase(name, u"Serial"))
            HideSessionProtocolPages(other);
        else
            ShowSessionProtocolPages(other);
    }
    m_updatingProtocols = false;
    if (m_host.canLaunchTransfer)
        if (SessionOptionsPage* ftp = Page(SessionPageId::kFtpSftp)) ftp->Activate();
}

void SessionOptionsModel::ChangeProtocol(bool terminal, std::u16string_view name) {
    if (ReadOnly()) return;
    const ConnectProtocolTable& table = GetConnectProtocolTable();
    const int oldRow = terminal ? m_terminalRow : m_transferRow;
    const int newRow = table.Find(name);
    if (terminal) {
        m_session.SetTerminalProtocol(std::u16string(name).c_str());
        m_terminalRow = newRow;
    } else if (auto* concrete = dynamic_cast<SessionConfig*>(&m_session)) {
        concrete->SetTransferProtocol(std::u16string(name).c_str());
        m_transferRow = newRow;
    }
    if (newRow == oldRow) return;
    UpdateSessionProtocolPages(newRow, oldRow, terminal ? m_transferRow : m_terminalRow);
    if (terminal)
        ShowHideTerminalPages(TerminalRowName() != ConnectConfigPtr::kNoneProtocol);
    else
        ShowHideFileTransferPages(TransferRowName() != ConnectConfigPtr::kNoneProtocol);
}

}  // namespace sessiondeck
