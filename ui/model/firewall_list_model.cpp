// The Global Options Firewall page: the stored firewalls, their editor's rules, and the writes.
#include "ui/model/firewall_list_model.h"

#include <algorithm>
#include <utility>

#include "foundation/message_format.h"
#include "foundation/report_text.h"
#include "profile/secret_forms.h"
#include "profile/text_form.h"
#include "session/firewall_config.h"
#include "session/firewall_store.h"
#include "ui/model/warning.h"

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

void FirewallListModel::EnsureLoaded() {
    if (!m_loaded) Reload();
}

void FirewallListModel::Reload() {
    m_loaded = true;
    m_entries.clear();
    m_deleted.clear();
    m_renamed.clear();
    m_storedNames.clear();
    for (const VUnicodeString& name : GetFirewallNames(m_factory)) {
        m_storedNames.push_back(name.str());
        m_entries.push_back({name.str(), name.str(), std::nullopt});
    }
    Relist();
}

void FirewallListModel::Relist() {
    m_names.clear();
    for (const Entry& entry : m_entries) m_names.push_back(entry.name);
}

const std::vector<std::u16string>& FirewallListModel::Names() {
    EnsureLoaded();
    return m_names;
}

FirewallListModel::EntryState FirewallListModel::State(std::size_t index) {
    EnsureLoaded();
    if (index >= m_entries.size()) return EntryState::kStored;
    if (m_entries[index].stored.empty()) return EntryState::kNew;
    return m_entries[index].pending ? EntryState::kChanged : EntryState::kStored;
}

bool FirewallListModel::HasPendingChanges() const {
    return !m_deleted.empty() || std::any_of(m_entries.begin(), m_entries.end(),
                                             [](const Entry& entry) { return entry.pending; });
}

FirewallListModel::Entry* FirewallListModel::Find(const std::u16string& name) {
    for (Entry& entry : m_entries)
        if (entry.name == name) return &entry;
    return nullptr;
}

FirewallFields FirewallListModel::NewFields() const {
    FirewallConfig defaults(VUnicodeString(), nullptr);
    FirewallFields fields;
    fields.type = defaults.GetFirewallType().str();
    fields.port = textform::Widen(std::to_string(defaults.GetStoredPort()));
    return fields;
}

std::optional<FirewallFields> FirewallListModel::Fields(std::size_t index) {
    EnsureLoaded();
    if (index >= m_entries.size()) return std::nullopt;
    const Entry& entry = m_entries[index];
    if (entry.pending) {
        FirewallFields fields = *entry.pending;
        fields.passwordSet = fields.passwordEdited ? !fields.password.empty() : fields.passwordSet;
        fields.password.clear();
        fields.passwordEdited = false;
        return fields;
    }
    // Read only: opening the editor must not write (a data-protected password is rewritten by
    // a writable load).
    const FirewallPointer firewall =
        FirewallPointer::Adopt(LoadFirewall(VUnicodeString(entry.stored), true, m_factory));
    if (!firewall) {
        Warn(m_prompt, InsertName(u"The firewall '%s' is no longer stored.", entry.stored),
             m_caption);
        m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
        Relist();
        return std::nullopt;
    }
    FirewallFields fields;
    fields.name = entry.name;
    fields.type = TextMember(*firewall, FirewallConfig::kMemberType);
    fields.host = TextMember(*firewall, FirewallConfig::kMemberAddress);
    fields.port = textform::Widen(std::to_string(firewall->GetStoredPort()));
    fields.prompt = TextMember(*firewall, FirewallConfig::kMemberPrompt);
    fields.command = TextMember(*firewall, FirewallConfig::kMemberCommand);
    fields.user = firewall->GetStoredUsername().str();
    fields.passwordSet = !firewall->GetStoredPassword().IsEmpty();
    return fields;
}

bool FirewallListModel::NameTaken(const std::u16string& name, const Entry* self) {
    const bool storedExactly =
        std::find(m_storedNames.begin(), m_storedNames.end(), name) != m_storedNames.end();
    // Asked once, and only when a spelling differing in case could matter: whether the store
    // finds a key under this name (it may compare names without case).
    std::optional<bool> storeFinds;
    const auto finds = [&] {
        if (!storeFinds) storeFinds = FirewallExists(VUnicodeString(name), m_factory);
        return *storeFinds;
    };
    for (const Entry& entry : m_entries) {
        if (&entry == self) continue;
        if (entry.name == name) return true;
        // An unrenamed stored entry that the store would find under this spelling.
        if (EqualsNoCase(entry.name, name) && entry.stored == entry.name && !storedExactly &&
            finds())
            return true;
    }
    // A key the list knows nothing of: stored by someone else since the list was read.
    const auto known = [&](const std::u16string& key) { return EqualsNoCase(key, name); };
    const bool inList = std::any_of(m_entries.begin(), m_entries.end(),
                                    [&](const Entry& entry) { return known(entry.stored); }) ||
                        std::any_of(m_deleted.begin(), m_deleted.end(), known);
    return !inList && finds();
}

std::optional<std::u16string> FirewallListModel::Check(const FirewallFields& fields,
                                                       const std::u16string& currentName) {
    EnsureLoaded();
    const VUnicodeString name = TrimFirewallName(fields.name);
    if (auto refusal = CheckFirewallName(name.str())) return refusal->str();
    const Entry* self = currentName.empty() ? nullptr : Find(currentName);
    if (NameTaken(name.str(), self)) return InsertName(kFirewallNameExists, name.str());
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
    EnsureLoaded();
    Entry* self = currentName.empty() ? nullptr : Find(currentName);
    if (!currentName.empty() && !self) {
        Warn(m_prompt, InsertName(u"The firewall '%s' is no longer listed.", currentName),
             m_caption);
        return false;
    }
    if (auto refusal = Check(fields, currentName)) {
        Warn(m_prompt, *refusal, m_caption);
        return false;
    }
    FirewallFields staged = fields;
    staged.name = TrimFirewallName(fields.name).str();
    // A password typed at an earlier edit stays unless this edit typed another.
    if (!staged.passwordEdited && self && self->pending && self->pending->passwordEdited) {
        staged.password = self->pending->password;
        staged.passwordEdited = true;
    }
    if (self) {
        self->name = staged.name;
        self->pending = std::move(staged);
    } else {
        const std::u16string name = staged.name;
        m_entries.push_back({name, u"", std::move(staged)});
    }
    Relist();
    return true;
}

bool FirewallListModel::Delete(std::size_t index) {
    EnsureLoaded();
    if (index >= m_entries.size()) return false;
    if (m_prompt.ShowMessage(VUnicodeString(kDeleteFirewallQuestion), VUnicodeString(m_caption),
                             VPromptButtons::kYesNo, VPromptIcon::kQuestion) != VPromptAnswer::kYes)
        return false;
    if (!m_entries[index].stored.empty()) m_deleted.push_back(m_entries[index].stored);
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
    Relist();
    return true;
}

bool FirewallListModel::Commit() {
    if (!m_loaded || !HasPendingChanges()) return true;
    // A write that failed leaves the sessions of the firewalls written before it for the next
    // Commit: they are changed once every firewall they may name is stored.
    if (!WriteEntries()) return false;
    RenameInSessions();
    if (!DeleteKeys()) return false;
    Reload();
    return true;
}

bool FirewallListModel::WriteEntries() {
    // Every stored record an edit starts from is read before the first write: a write may
    // replace a key another entry still has to be read from (two firewalls swapping names).
    struct Write {
        Entry* entry;
        FirewallPointer firewall;
        bool force;
    };
    std::vector<Write> writes;
    for (Entry& entry : m_entries) {
        if (!entry.pending) continue;
        const VUnicodeString name(entry.name);
        FirewallPointer firewall;
        if (!entry.stored.empty())
            firewall =
                FirewallPointer::Adopt(LoadFirewall(VUnicodeString(entry.stored), true, m_factory));
        if (!firewall) firewall = FirewallPointer::Adopt(new FirewallConfig(name, nullptr));
        firewall->SetFirewallName(name);
        Apply(*entry.pending, *firewall);
        // A new key (a new firewall, or a new name) gets every value, not only the changed ones.
        const bool force = entry.stored.empty() || entry.stored != entry.name;
        writes.push_back({&entry, std::move(firewall), force});
    }
    for (Write& write : writes) {
        Entry& entry = *write.entry;
        const VUnicodeString name(entry.name);
        VReportMessageParams report;
        const bool saved = SaveFirewall(write.firewall.Get(), write.force, m_factory, &report);
        const FirewallPointer stored = FirewallPointer::Adopt(LoadFirewall(name, true, m_factory));
        if (!saved || !stored || !StoredAsWanted(*stored, *write.firewall)) {
            std::u16string why;
            if (report.GetMessageId() != 0) why = ReportLine(report);
            if (why.empty()) why = u"the configuration folder did not keep it";
            // The name rules ask what the store holds now, the firewalls written before this one
            // included.
            ListStored();
            Warn(m_prompt,
                 InsertName(u"The firewall '%s' could not be saved: ", name.str()) + why +
                     u".\n\nThe changes not saved are kept while the dialog is open; OK tries "
                     u"again.",
                 m_caption);
            return false;
        }
        // The old key goes once no entry needs it (DeleteKeys).
        if (!entry.stored.empty() && entry.stored != entry.name) {
            m_deleted.push_back(entry.stored);
            m_renamed.emplace_back(VUnicodeString(entry.stored), VUnicodeString(entry.name));
        }
        entry.stored = entry.name;
        entry.pending.reset();
    }
    return true;
}

void FirewallListModel::RenameInSessions() {
    if (m_renamed.empty()) return;
    const Renames renames = std::exchange(m_renamed, {});
    const GlobalChangeTally tally = m_sessionWalk
                                        ? m_sessionWalk(renames)
                                        : SessionDatabase().RenameFirewallInSessions(renames);
    if (tally.updated == tally.visited) return;
    // Deleting the old firewall would leave those sessions naming none.
    for (const auto& rename : renames) std::erase(m_deleted, rename.first.str());
    Warn(m_prompt,
         FormatMessageText(u"%1!d! of the %2!d! sessions that name a renamed firewall could not be "
                           u"changed (their files are read-only, or a write failed). They keep "
                           u"the old name, so the firewall is kept under its old name as well.",
                           tally.visited - tally.updated, tally.visited),
         m_caption);
}

void FirewallListModel::ListStored() {
    m_storedNames.clear();
    for (const VUnicodeString& name : GetFirewallNames(m_factory))
        m_storedNames.push_back(name.str());
}

bool FirewallListModel::DeleteKeys() {
    ListStored();
    const auto listed = [this](const std::u16string& name) {
        return std::find(m_storedNames.begin(), m_storedNames.end(), name) != m_storedNames.end();
    };
    // A change of case alone is one key in a store that compares names without case and two in
    // one that does not; only when the store lists both spellings are they keys of their own.
    const auto sameKey = [&](const std::u16string& a, const std::u16string& b) {
        return a == b || (EqualsNoCase(a, b) && !(listed(a) && listed(b)));
    };
    bool allDeleted = true;
    std::vector<std::u16string> left;
    for (const std::u16string& name : m_deleted) {
        const bool held = std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry& entry) {
            return sameKey(entry.name, name);
        });
        if (held || !FirewallExists(VUnicodeString(name), m_factory)) continue;
        if (RemoveFirewall(VUnicodeString(name), m_factory) &&
            !FirewallExists(VUnicodeString(name), m_factory))
            continue;
        Warn(m_prompt, InsertName(u"The firewall '%s' could not be deleted.", name), m_caption);
        left.push_back(name);
        allDeleted = false;
    }
    m_deleted = std::move(left);
    return allDeleted;
}

}  // namespace sessiondeck
