// The shared connect configuration of the reference protocol modules.
#include "plugins/common/protocol_config.h"

#include "foundation/messages.h"
#include "session/firewall_store.h"

using namespace sessiondeck;

namespace plugin {

namespace {

// Loads `setting` under a name shared by every configuration of the
// protocol: a load of many sessions then copies no names.
template <class Setting, class Default>
void InitShared(Setting& setting, VProfileKey* key, const char16_t* name,
                const Default& defaultValue) {
    const VUnicodeString& shared = VProfileInternName(name);
    setting.ShareName(shared);
    setting.Init(key, shared, defaultValue);
}

}  // namespace

ProtocolConfig::ProtocolConfig(const ProtocolDescription& description, VProfileKey* key)
    : m_description(&description) {
    InitShared(m_host, key, description.hostValueName, VUnicodeString());
    if (description.portValueName)
        InitShared(m_port, key, description.portValueName, description.defaultPort);
    InitShared(m_user, key, u"Username", VUnicodeString());
    InitShared(m_password, key, description.transferSide ? kTransferPasswordName : kPasswordName,
               VUnicodeString());
    // A stored password is one the user chose to keep, so it is good to use.
    m_passwordValid = !m_password.Get().IsEmpty();
    InitShared(m_firewall, key, u"Firewall Name",
               VUnicodeString(RemoteHostConfig::kNoFirewallName));
    if (description.transferSide)
        InitShared(m_initialDirectory, key, u"Initial Directory", VUnicodeString());
    if (description.transferSide) InitShared(m_anonymous, key, u"Anonymous Login", false);
    m_texts.reserve(description.options.size());
    m_numbers.reserve(description.options.size());
    for (const ProtocolOption& option : description.options) {
        if (option.isText) {
            InitShared(m_texts.emplace_back(), key, option.name,
                       VUnicodeString(option.textDefault));
        } else {
            InitShared(m_numbers.emplace_back(), key, option.name, option.numberDefault);
        }
    }
}

template <class F>
void ProtocolConfig::ForEachSetting(F&& action) const {
    auto* self = const_cast<ProtocolConfig*>(this);
    action(static_cast<VProfileData&>(self->m_host));
    if (m_description->portValueName) action(static_cast<VProfileData&>(self->m_port));
    action(static_cast<VProfileData&>(self->m_user));
    action(static_cast<VProfileData&>(self->m_password));
    action(static_cast<VProfileData&>(self->m_firewall));
    if (m_description->transferSide) {
        action(static_cast<VProfileData&>(self->m_initialDirectory));
        action(static_cast<VProfileData&>(self->m_anonymous));
    }
    for (auto& number : self->m_numbers) action(static_cast<VProfileData&>(number));
    for (auto& text : self->m_texts) action(static_cast<VProfileData&>(text));
}

std::vector<VProfileData*> ProtocolConfig::Settings() const {
    std::vector<VProfileData*> settings;
    ForEachSetting([&](VProfileData& setting) { settings.push_back(&setting); });
    return settings;
}

void ProtocolConfig::Save(VProfileKey* key, bool force) {
    ForEachSetting([&](VProfileData& setting) { setting.Save(key, force); });
    m_unsaved = false;
}

bool ProtocolConfig::IsModified() const {
    bool modified = false;
    ForEachSetting([&](VProfileData& setting) { modified = modified || setting.IsModified(); });
    return modified;
}

void ProtocolConfig::Checkpoint() {
    ForEachSetting([](VProfileData& setting) { setting.Checkpoint(); });
}

void ProtocolConfig::Rollback() {
    ForEachSetting([](VProfileData& setting) { setting.Rollback(); });
}

void ProtocolConfig::ApplyDelta(const VProfileData* other) {
    const auto* source = dynamic_cast<const ProtocolConfig*>(other);
    if (!source || source == this || source->m_description != m_description) return;
    const std::vector<VProfileData*> mine = Settings();
    const std::vector<VProfileData*> theirs = source->Settings();
    for (size_t i = 0; i < mine.size(); ++i) {
        if (theirs[i]->IsModified()) mine[i]->ApplyDelta(theirs[i]);
    }
}

VProfileData* ProtocolConfig::Lookup(int index) const {
    const std::vector<VProfileData*> settings = Settings();
    if (index < 0 || static_cast<size_t>(index) >= settings.size()) return nullptr;
    return settings[static_cast<size_t>(index)];
}

// A port is a TCP port: the option pages and `sessiondeck set` refuse anything else instead of
// offering the whole int range.
VSettingDescription ProtocolConfig::Describe(int index) const {
    const VProfileData* setting = Lookup(index);
    if (!setting) return {};
    VSettingDescription description{setting->GetName().c_str(), setting->Kind(), {}};
    if (setting == &m_port) {
        description.limits.hasRange = true;
        description.limits.low = 1;
        description.limits.high = 65535;
        description.limits.fallback = m_description->defaultPort;
    }
    return description;
}

void ProtocolConfig::SaveToMap(ConnectCarryMap& map) {
    map.SetAt(kCarryHost, static_cast<VUnicodeString*>(&m_host));
    map.SetAt(kCarryUser, static_cast<VUnicodeString*>(&m_user));
    map.SetAt(kCarryFirewall, static_cast<VUnicodeString*>(&m_firewall));
    // The usual port of one protocol is the wrong one for the next.
    if (m_description->portValueName && m_port.Get() != m_description->defaultPort) {
        map.SetAt(kCarryPort, &m_portCarry);
        m_portCarry = m_port.Get();
    } else {
        map.RemoveKey(kCarryPort);
    }
}

void ProtocolConfig::LoadFromMap(const ConnectCarryMap& map) {
    void* value = nullptr;
    if (map.Lookup(kCarryHost, value)) m_host = *static_cast<const VUnicodeString*>(value);
    if (map.Lookup(kCarryUser, value)) m_user = *static_cast<const VUnicodeString*>(value);
    if (map.Lookup(kCarryFirewall, value)) m_firewall = *static_cast<const VUnicodeString*>(value);
    if (m_description->portValueName && map.Lookup(kCarryPort, value))
        m_port = *static_cast<const int*>(value);
}

VUnicodeString ProtocolConfig::GetFirewallName() {
    return m_temporaryFirewall.IsEmpty() ? m_firewall.Get() : m_temporaryFirewall;
}

FirewallConfig* ProtocolConfig::GetFirewall() {
    const VUnicodeString name = GetFirewallName();
    if (!name.EqualsNoCase(RemoteHostConfig::kNoFirewallName)) {
        if (FirewallConfig* stored = LoadFirewall(name, true)) return stored;
    }
    return new FirewallConfig(name, nullptr);
}

VUnicodeString ProtocolConfig::CommandLine() {
    VUnicodeString line = VUnicodeString(u"/") + m_description->protocolName;
    if (!m_user.Get().IsEmpty()) line += VUnicodeString(u" /L ") + m_user.Get();
    if (m_description->portValueName)
        line += VUnicodeString(u" /P ") + VUnicodeString::FromUtf8(std::to_string(m_port.Get()));
    if (!m_host.Get().IsEmpty()) line += VUnicodeString(u" ") + m_host.Get();
    return line;
}

VProfile<int>* ProtocolConfig::NumberOption(std::u16string_view name) {
    for (auto& number : m_numbers) {
        if (number.GetName() == name) return &number;
    }
    return nullptr;
}

VProfile2<VUnicodeString, VProfileSz>* ProtocolConfig::TextOption(std::u16string_view name) {
    for (auto& text : m_texts) {
        if (text.GetName() == name) return &text;
    }
    return nullptr;
}

bool RegisterProtocol(ConnectProtocolTableElement* element, IReportMessageParams* report,
                      std::initializer_list<ProtocolEntry> entries) {
    if (!element) return false;
    for (const ProtocolEntry& entry : entries) {
        if (element->protocolName == entry.description->protocolName) {
            element->Create = entry.create;
            if (entry.sessionPages) element->sessionPages = entry.sessionPages;
            if (WizardPageFunction wizard = RememberedWizardPage(entry.description))
                element->wizardPage = wizard;
            return true;
        }
    }
    // Asked for a protocol this module does not serve.
    if (report) {
        report->SetMessage(kMsgProtocolNotSupported);
        report->AddInsert(element->protocolName.c_str());
    }
    return false;
}

}  // namespace plugin
