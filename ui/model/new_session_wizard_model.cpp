// The new-session wizard's pages, lists, moves and checks.
#include "ui/model/new_session_wizard_model.h"

#include <charconv>
#include <string>

#include "app/siblings.h"
#include "foundation/messages.h"
#include "foundation/product.h"
#include "foundation/report.h"
#include "profile/text_form.h"
#include "session/connect_config.h"
#include "session/session_database.h"
#include "session/setting_lookup.h"
#include "ui/model/session_name_rules.h"

namespace sessiondeck {

namespace {

constexpr std::u16string_view kNone = ConnectConfigPtr::kNoneProtocol;

// The row name an older SSH module may register for SSH2's page.
bool IsSsh1New(std::u16string_view name) {
    return EqualsNoCase(name, u"ssh1.new");
}

std::u16string AsSsh2(std::u16string_view name) {
    return IsSsh1New(name) ? std::u16string(u"SSH2") : std::u16string(name);
}

bool IsTerminalProductId(int product) {
    return IsTerminalProduct(ToProduct(product));
}

std::u16string Trimmed(std::u16string_view text) {
    constexpr std::u16string_view kBlanks = u" \t\r\n";
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::u16string_view::npos) return {};
    return std::u16string(text.substr(first, text.find_last_not_of(kBlanks) - first + 1));
}

std::u16string ToText(int64_t value) {
    return VUnicodeString::FromUtf8(std::to_string(value)).str();
}

}  // namespace

WizardApplications WizardApplications::FromLibrary() {
    return {IsVetralonOrVetraInstalled(), IsFerrivoInstalled(), CanLaunchTerminalApp()};
}

NewSessionWizardModel::NewSessionWizardModel(SessionConfig& session, int productId,
                                             WizardApplications applications, IPrompt& prompt,
                                             const ConnectProtocolTable& table)
    : m_session(session),
      m_product(productId),
      m_applications(applications),
      m_prompt(prompt),
      m_table(table) {}

void NewSessionWizardModel::InitPages() {
    m_pages.clear();
    m_protocolPageIds.clear();
    m_history.clear();
    m_secondProduct = 0;
    const bool both = m_applications.terminalInstalled && m_applications.transferInstalled;
    if (both) {
        m_pages.push_back({.kind = WizardPageKind::kTerminalProtocol, .id = kTerminalPage});
        m_pages.push_back({.kind = WizardPageKind::kTransferProtocol, .id = kTransferPage});
        if (m_product == ProductId(Product::Vetra) || m_product == ProductId(Product::Vetralon))
            m_secondProduct = ProductId(Product::Ferrivo);
        else
            m_secondProduct =
                ProductId(m_applications.canLaunchTerminal ? Product::Vetralon : Product::Vetra);
    } else {
        m_pages.push_back({.kind = WizardPageKind::kProtocolSingle, .id = kProtocolSinglePage});
    }
    for (int row = 0; row < m_table.GetSize(); ++row) {
        const int product = m_table[row].productId;
        if (product == m_product || (m_secondProduct != 0 && product == m_secondProduct))
            AddWizardPage(row);
    }
    m_pages.push_back({.kind = WizardPageKind::kFinish, .id = kFinishPage});
    Show(m_pages.front().id);
}

void NewSessionWizardModel::AddWizardPage(int row) {
    const ConnectProtocolTableElement& element = m_table[row];
    if (!element.wizardPage) return;
    int id = 0;
    void* supplied = element.wizardPage(this, 0, &id);
    if (!supplied || id == 0) return;
    const std::u16string name = AsSsh2(element.protocolName.str());
    m_protocolPageIds[FoldNoCase(name)] = id;
    // The same protocol offered by both products (Telnet of the older and the newer terminal)
    // brings the same page once.
    if (Page(id)) return;
    WizardPage page{.kind = WizardPageKind::kProtocol,
                    .id = id,
                    .row = row,
                    .protocol = name,
                    .description = static_cast<const OptionPageDescription*>(supplied)};
    // Before the finish page when it is there already.
    auto at = m_pages.end();
    if (!m_pages.empty() && m_pages.back().kind == WizardPageKind::kFinish) --at;
    m_pages.insert(at, std::move(page));
}

const WizardPage* NewSessionWizardModel::Page(long id) const {
    for (const WizardPage& page : m_pages) {
        if (page.id == id) return &page;
    }
    return nullptr;
}

long NewSessionWizardModel::GetNextID() const {
    return m_applications.terminalInstalled && m_applications.transferInstalled ? kTransferPage
                                                                                : GetFinishPage();
}

long NewSessionWizardModel::GetNextProtocolResourceID(std::u16string_view protocolName) const {
    auto found = m_protocolPageIds.find(FoldNoCase(protocolName));
    return found == m_protocolPageIds.end() ? 0 : found->second;
}

std::vector<std::u16string> NewSessionWizardModel::RowNames(int product, bool withNone) const {
    std::vector<std::u16string> names;
    bool sawNone = false;
    for (int row = 0; row < m_table.GetSize(); ++row) {
        if (m_table[row].productId != product) continue;
        const std::u16string name = m_table[row].protocolName.str();
        if (EqualsNoCase(name, kNone)) {
            sawNone = true;
            if (!withNone) continue;
        }
        names.push_back(name);
    }
    // The side pages promise "None" in their hints; a table made without the integrated
    // installation's "None" rows still offers it.
    if (withNone && !sawNone) names.emplace_back(kNone);
    return names;
}

void NewSessionWizardModel::FillChoices() {
    m_choices.clear();
    m_selection = -1;
    const WizardPage& page = Current();
    std::u16string current;
    switch (page.kind) {
        case WizardPageKind::kProtocolSingle:
            m_choices = RowNames(m_product, false);
            current = IsTerminalProductId(m_product) ? m_session.GetTerminalProtocol().str()
                                                     : m_session.GetTransferProtocol().str();
            break;
        case WizardPageKind::kTerminalProtocol:
            m_choices =
                RowNames(IsTerminalProductId(m_product) ? m_product : m_secondProduct, true);
            current = m_session.GetTerminalProtocol().str();
            break;
        case WizardPageKind::kTransferProtocol:
            // Both sides None would leave a session with nothing to connect.
            m_choices = RowNames(ProductId(Product::Ferrivo), !m_terminalNone);
            current = m_session.GetTransferProtocol().str();
            break;
        default:
            return;
    }
    if (m_choices.empty()) return;
    m_selection = 0;
    SelectName(AsSsh2(current));
}

void NewSessionWizardModel::Select(int index) {
    if (index >= 0 && index < static_cast<int>(m_choices.size())) m_selection = index;
}

bool NewSessionWizardModel::SelectName(std::u16string_view name) {
    for (size_t i = 0; i < m_choices.size(); ++i) {
        if (EqualsNoCase(m_choices[i], name)) {
            m_selection = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

std::u16string NewSessionWizardModel::Chosen() const {
    if (m_selection < 0 || m_selection >= static_cast<int>(m_choices.size())) return {};
    return m_choices[static_cast<size_t>(m_selection)];
}

void NewSessionWizardModel::ApplyChoice(WizardPageKind kind, const std::u16string& choice) {
    const bool terminalSide =
        kind == WizardPageKind::kTerminalProtocol ||
        (kind == WizardPageKind::kProtocolSingle && IsTerminalProductId(m_product));
    const std::u16string current = terminalSide ? m_session.GetTerminalProtocol().str()
                                                : m_session.GetTransferProtocol().str();
    // Switching to the protocol the side has already would start its values afresh.
    if (EqualsNoCase(current, choice) &&
        (terminalSide ? m_session.GetTermConnectConfig() : m_session.GetTransferConnectConfig()))
        return;
    if (terminalSide)
        m_session.SetTerminalProtocol(choice.c_str());
    else
        m_session.SetTransferProtocol(choice.c_str());
}

long NewSessionWizardModel::ProtocolPageAfter(const std::u16string& choice) const {
    return GetNextProtocolResourceID(AsSsh2(choice));
}

bool NewSessionWizardModel::Next() {
    if (m_pages.empty()) return false;
    const WizardPage& page = Current();
    long next = 0;
    switch (page.kind) {
        case WizardPageKind::kProtocolSingle: {
            const std::u16string choice = Chosen();
            if (choice.empty()) return Refuse(u"No connection protocol is installed.");
            SetPreviousID(kProtocolSinglePage);
            ApplyChoice(page.kind, choice);
            next = ProtocolPageAfter(choice);
            if (next == 0) next = GetNextID();
            break;
        }
        case WizardPageKind::kTerminalProtocol: {
            const std::u16string choice = Chosen();
            if (choice.empty()) return Refuse(u"No connection protocol is installed.");
            SetPreviousID(kTerminalPage);
            IsVetraProtocolNone(false);
            ApplyChoice(page.kind, choice);
            if (EqualsNoCase(choice, kNone)) {
                IsVetraProtocolNone(true);
                next = kTransferPage;
            } else {
                next = ProtocolPageAfter(choice);
                if (next == 0) next = GetNextID();
            }
            break;
        }
        case WizardPageKind::kTransferProtocol: {
            const std::u16string choice = Chosen();
            if (choice.empty()) return Refuse(u"No connection protocol is installed.");
            SetPreviousID(kTransferPage);
            ApplyChoice(page.kind, choice);
            const std::u16string terminal = m_session.GetTerminalProtocol().str();
            if (EqualsNoCase(choice, kNone)) {
                next = GetFinishPage();
            } else if (EqualsNoCase(choice, u"SFTP") &&
                       (EqualsNoCase(terminal, u"SSH2") || IsSsh1New(terminal))) {
                // The SSH2 page asked for the server already; the transfer side uses the same one.
                ConnectConfig* from = m_session.GetTermConnectConfig();
                ConnectConfig* to = m_session.GetTransferConnectConfig();
                if (from && to) {
                    to->SetHostname(from->GetHostname().c_str());
                    to->SetUsername(from->GetUsername().c_str());
                    if (from->GetPort() > 0 && to->GetPort() >= 0) to->SetPort(from->GetPort());
                }
                next = GetFinishPage();
            } else {
                next = ProtocolPageAfter(choice);
                if (next == 0) next = GetFinishPage();
            }
            break;
        }
        case WizardPageKind::kProtocol: {
            // A refused value keeps the page, with nothing of it written.
            if (!m_protocolPage || !m_protocolPage->Validate()) return false;
            const bool transferRow = IsTransferProduct(ToProduct(m_table[page.row].productId));
            next = transferRow ? GetFinishPage() : GetNextID();
            break;
        }
        case WizardPageKind::kFinish:
            return false;
    }
    if (!Page(next)) next = GetFinishPage();
    m_history.push_back(m_current);
    Show(next);
    return true;
}

bool NewSessionWizardModel::Back() {
    if (m_history.empty()) return false;
    const long id = m_history.back();
    m_history.pop_back();
    Show(id);
    return true;
}

void NewSessionWizardModel::Show(long id) {
    m_current = id;
    m_protocolPage.reset();
    FillChoices();
    const WizardPage& page = Current();
    if (page.kind == WizardPageKind::kProtocol) {
        m_protocolPage = std::make_unique<OptionPage>(
            *page.description, [this](OptionRecord record) { return RecordOf(record); }, m_prompt);
        m_protocolPage->Activate();
    }
    if (page.kind == WizardPageKind::kFinish) {
        // Coming back with a different host gives a new default, unless the user typed a name.
        const std::u16string suggested = DefaultName();
        if (name.empty() || name == m_offeredName) name = suggested;
        m_offeredName = suggested;
        // The description is the Default session's once; what the user typed stays.
        if (!m_descriptionFilled) {
            m_descriptionFilled = true;
            const VStringArray& lines = m_session.description.Get();
            description.clear();
            for (int i = 0; i < static_cast<int>(lines.GetSize()); ++i) {
                if (i > 0) description += u"\n";
                description += lines[i].str();
            }
        }
    }
}

NewSessionWizardModel::ButtonMasks NewSessionWizardModel::Buttons() const {
    ButtonMasks masks;
    if (m_pages.empty()) return masks;
    if (Current().kind == WizardPageKind::kFinish) {
        masks.show = kBackButton | kFinishButton;
        masks.enable = kBackButton | kFinishButton;
    } else {
        masks.show = kBackButton | kNextButton;
        masks.enable = kNextButton | (m_history.empty() ? 0 : kBackButton);
    }
    return masks;
}

VProfileData* NewSessionWizardModel::RecordOf(OptionRecord record) const {
    switch (record) {
        case OptionRecord::kTerminalConnection:
            return m_session.GetTermConnectConfig();
        case OptionRecord::kTransferConnection:
            return m_session.GetTransferConnectConfig();
        case OptionRecord::kSession:
            return &m_session;
        default:
            return nullptr;
    }
}

std::u16string NewSessionWizardModel::DefaultName() const {
    std::u16string base;
    ConnectConfig* terminal = m_session.GetTermConnectConfig();
    ConnectConfig* transfer = m_session.GetTransferConnectConfig();
    if (terminal && !EqualsNoCase(m_session.GetTerminalProtocol().str(), kNone))
        base = Trimmed(terminal->GetHostname().str());
    if (base.empty() && transfer) base = Trimmed(transfer->GetHostname().str());
    if (base.empty()) base = Trimmed(m_session.GetSessionName().str());
    if (base.empty()) base = u"New Session";
    const VUnicodeString folder = SessionDatabase::ParentPath(m_session.GetSessionPath());
    std::u16string unique = base;
    for (int counter = 1; SessionDatabase::Exists(folder, VUnicodeString(unique)); ++counter)
        unique = base + u" (" + ToText(counter) + u")";
    return unique;
}

bool NewSessionWizardModel::Finish() {
    if (m_pages.empty() || Current().kind != WizardPageKind::kFinish) return false;
    // The same name rules and messages as Session Options' Connection page.
    const VUnicodeString folder = SessionDatabase::ParentPath(m_session.GetSessionPath());
    if (const SessionNameCheck check = CheckSessionNameInFolder(name, folder, {}); !check)
        return Refuse(check.message,
                      check.warning ? VPromptIcon::kExclamation : VPromptIcon::kError);
    const VUnicodeString trimmed = TrimSessionName(name);
    m_session.SetSessionName(trimmed);
    m_session.SetSessionPath(SessionDatabase::JoinPath(folder, trimmed));
    // A line break after the last line (Enter pressed at the end) makes no empty line.
    const std::u16string_view text =
        std::u16string_view(description).substr(0, description.find_last_not_of(u"\r\n") + 1);
    VStringArray lines;
    if (!text.empty()) {
        for (std::u16string_view line : textform::Split(text, u'\n')) {
            if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
            lines.Add(VUnicodeString(line));
        }
    }
    m_session.description = lines;
    return true;
}

bool NewSessionWizardModel::Refuse(const std::u16string& text, VPromptIcon icon) {
    m_prompt.ShowMessage(VUnicodeString(text), VUnicodeString(), VPromptButtons::kOk, icon);
    return false;
}

}  // namespace sessiondeck
