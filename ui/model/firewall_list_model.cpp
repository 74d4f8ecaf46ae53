// The Global Options Firewall page: the stored firewalls, their editor's rules, and the writes.
#include "ui/model/firewall_list_model.h"

#include <algorithm>

#include "foundation/message_format.h"
#include "profile/secret_forms.h"
#include "profile/text_form.h"
#include "session/firewall_config.h"
#include "session/firewall_store.h"

namespace sessiondeck {

namespace {

using FirewallPointer = VUnknownPointer<FirewallConfig>;

// The port as the editor takes it: digits only, no sign or blanks.
std::optional<int> ParsePort(const std::u16string& text) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of(u"0123456789") != text.npos)
        return std::nullopt;
    const auto port = textform::ParseNumber(text, kMinFirewallPort, kMaxFirewallPort);
    if (!port) return std::nullopt;
    return static_cast<int>(*port);
}

// A text member as stored (the IFirewallUI getters convert to the 8-bit code page).
std::u16string TextMember(const FirewallConfig& firewall, int member) {
    const auto* text =
        dynamic_cast<const VProfile2<VUnicodeString, VProfileSz>*>(firewall.Lookup(member));
    return text ? text->Get().str() : std::u16string();
}

void Apply(const FirewallFields& fields, FirewallConfig& firewall) {
    firewall.SetFirewallType(VUnicodeString(fields.type));
    firewall.SetFirewallHostname(VUnicodeString(fields.host));
    firewall.SetFirewallPort(*ParsePort(fields.port));
    firewall.SetFirewallPrompt(VUnicodeString(fields.prompt));
    firewall.SetFirewallCommand(VUnicodeString(fields.command));
    firewall.SetFirewallUsername(VUnicodeString(fields.user));
    if (fields.passwordEdited) firewall.SetFirewallPassword(VUnicodeString(fields.password));
}

// Whether the store holds what `wanted` says (the store drops some writes without failing
// them, a text with a line break among them).
bool StoredAsWanted(const FirewallConfig& stored, const FirewallConfig& wanted) {
    for (int member : {FirewallConfig::kMemberType, FirewallConfig::kMemberAddress,
                       FirewallConfig::kMemberPrompt, FirewallConfig::kMemberCommand,
                       FirewallConfig::kMemberUser})
        if (TextMember(stored, member) != TextMember(wanted, member)) return false;
    return stored.GetStoredPort() == wanted.GetStoredPort() &&
           stored.GetStoredPassword() == wanted.GetStoredPassword();
}

}  // namespace

FirewallListModel::FirewallListModel(IPrompt& prompt, std::u16string caption,
                                     VProfileStoreFactory* factory)
    : m_prompt(prompt), m_caption(std::move(caption)), m_factory(factory) {}

const std::vector<std::u16string>& FirewallListModel::Names() {
    if (!m_loaded) Reload();
    return m_names;
}

void FirewallListModel::Reload() {
    m_loaded = true;
    m_names.clear();
    for (const VUnicodeString& name : GetFirewallNames(m_factory)) m_names.push_back(name.str());
}

FirewallFields FirewallListModel::NewFields() const {
    FirewallConfig defaults(VUnicodeString(), nullptr);
    FirewallFields fields;
    fields.type = defaults.GetFirewallType().str();
    fields.port = textform::Widen(std::to_string(defaults.GetStoredPort()));
    return fields;
}

std::optional<FirewallFields> FirewallListModel::Fields(std::size_t index) {
    if (index >= Names().size()) return std::nullopt;
    // Read only: opening the editor must not write (a data-protected password is rewritten by
    // a writable load).
    const FirewallPointer firewall =
        FirewallPointer::Adopt(LoadFirewall(VUnicodeString(m_names[index]), true, m_factory));
    if (!firewall) {
        Report(InsertName(u"The firewall '%s' is no longer stored.", m_names[index]));
        Reload();
        return std::nullopt;
    }
    FirewallFields fields;
    fields.name = m_names[index];
    fields.type = TextMember(*firewall, FirewallConfig::kMemberType);
    fields.host = TextMember(*firewall, FirewallConfig::kMemberAddress);
    fields.port = textform::Widen(std::to_string(firewall->GetStoredPort()));
    fields.prompt = TextMember(*firewall, FirewallConfig::kMemberPrompt);
    fields.command = TextMember(*firewall, FirewallConfig::kMemberCommand);
    fields.user = firewall->GetStoredUsername().str();
    fields.passwordSet = !firewall->GetStoredPassword().IsEmpty();
    return fields;
}

std::optional<std::u16string> FirewallListModel::Check(const FirewallFields& fields,
                                                       const std::u16string& currentName) const {
    if (auto refusal = ValidateFirewallName(fields.name, currentName, m_factory))
        return refusal->str();
    if (!FindFirewallType(fields.type)) return u"Please choose a firewall type.";
    if (!ParsePort(fields.port))
        return u"Please enter a port between " + textform::Widen(std::to_string(kMinFirewallPort)) +
               u" and " + textform::Widen(std::to_string(kMaxFirewallPort)) + u".";
    if (fields.passwordEdited) {
        const auto back = DecodeScrambledString(EncodeScrambledString(fields.password).str());
        if (!back || back->str() != fields.password)
            return u"The password holds characters that cannot be stored.";
    }
    return std::nullopt;
}

bool FirewallListModel::Save(const FirewallFields& fields, const std::u16string& currentName) {
    if (auto refusal = Check(fields, currentName)) {
        Report(*refusal);
        return false;
    }
    const VUnicodeString name = TrimFirewallName(fields.name);
    FirewallPointer firewall;
    if (!currentName.empty())
        firewall =
            FirewallPointer::Adopt(LoadFirewall(VUnicodeString(currentName), true, m_factory));
    if (!firewall) firewall = FirewallPointer::Adopt(new FirewallConfig(name, nullptr));
    const bool renamed = !currentName.empty() && name.str() != currentName;
    firewall->SetFirewallName(name);
    Apply(fields, *firewall);

    VReportMessageParams report;
    // A new key (a new firewall, or a new name) gets every value, not only the changed ones.
    const bool force = currentName.empty() || renamed;
    const bool saved = SaveFirewall(firewall.Get(), force, m_factory, &report);
    const FirewallPointer stored = FirewallPointer::Adopt(LoadFirewall(name, true, m_factory));
    if (!saved || !stored || !StoredAsWanted(*stored, *firewall)) {
        std::u16string why;
        if (report.GetMessageId() != 0) {
            VReportMessageParams copy(report);
            why = VUnicodeString(copy.GetTextSingleLine()).str();
            while (!why.empty() &&
                   (why.back() == u' ' || why.back() == u'\n' || why.back() == u'\r'))
                why.pop_back();
        }
        if (why.empty()) why = u"the configuration folder did not keep it";
        Report(InsertName(u"The firewall '%s' could not be saved: ", name.str()) + why + u".");
        Reload();
        return false;
    }
    // The old name goes only once the new one is safely stored: a failure leaves the old. A
    // change of case alone is one key in a store that compares names without case and two in
    // one that does not; only when the store lists both is the old one a key of its own.
    Reload();
    const auto listed = [this](const std::u16string& wanted) {
        return std::find(m_names.begin(), m_names.end(), wanted) != m_names.end();
    };
    const bool oldIsOwnKey = EqualsNoCase(name.str(), currentName)
                                 ? listed(name.str()) && listed(currentName)
                                 : FirewallExists(VUnicodeString(currentName), m_factory);
    if (renamed && oldIsOwnKey) {
        if (!RemoveFirewall(VUnicodeString(currentName), m_factory))
            Report(InsertName(
                u"The firewall was saved as '%s', but the old name could not be deleted.",
                name.str()));
        Reload();
    }
    return true;
}

bool FirewallListModel::Delete(std::size_t index) {
    if (index >= Names().size()) return false;
    if (m_prompt.ShowMessage(VUnicodeString(kDeleteFirewallQuestion), VUnicodeString(m_caption),
                             VPromptButtons::kYesNo, VPromptIcon::kQuestion) != VPromptAnswer::kYes)
        return false;
    const std::u16string name = m_names[index];
    const bool removed = RemoveFirewall(VUnicodeString(name), m_factory);
    Reload();
    if (!removed || std::find(m_names.begin(), m_names.end(), name) != m_names.end()) {
        Report(InsertName(u"The firewall '%s' could not be deleted.", name));
        return false;
    }
    return true;
}

void FirewallListModel::Report(const std::u16string& text) const {
    m_prompt.ShowMessage(VUnicodeString(text), VUnicodeString(m_caption), VPromptButtons::kOk,
                         VPromptIcon::kExclamation);
}

}  // namespace sessiondeck
