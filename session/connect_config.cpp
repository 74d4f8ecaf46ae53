// Connect configurations: the shared common object, the "None" configuration and the holder that
// switches a session's connection between protocols.
#include "session/connect_config.h"

#include <mutex>

#include "foundation/message_format.h"

namespace sessiondeck {

namespace {

std::mutex g_traceLock;
ProfileTraceSink& TraceSink() {
    static ProfileTraceSink sink;
    return sink;
}

void Trace(std::u16string_view text) {
    std::lock_guard lock(g_traceLock);
    if (TraceSink()) TraceSink()(text);
}

}  // namespace

void SetProtocolTraceSink(ProfileTraceSink sink) {
    std::lock_guard lock(g_traceLock);
    TraceSink() = std::move(sink);
}

// ---- CommonConfig ----------------------------------------------------------

CommonConfig::CommonConfig(const CommonConfig& other) : VUnknown<ICommonConfig>(other) {
    if (other.m_remoteHost) {
        m_remoteHost = static_cast<IRemoteHostConfig*>(other.m_remoteHost->Clone());
    }
    for (int side = 0; side < 2; ++side) {
        if (other.m_sides[side]) m_sides[side] = other.m_sides[side]->Clone();
    }
}

CommonConfig::~CommonConfig() {
    if (m_remoteHost) m_remoteHost->Release();
    for (IClonable* side : m_sides) {
        if (side) side->Release();
    }
}

IRemoteHostConfig* CommonConfig::GetRemoteHostConfig(VProfileKey* key) {
    if (!m_remoteHost) m_remoteHost = new RemoteHostConfig(key);
    m_remoteHost->AddRef();
    return m_remoteHost;
}

IClonable* CommonConfig::GetSideObject(bool transferSide, int value, SideFactory factory) {
    IClonable*& slot = m_sides[transferSide ? 1 : 0];
    if (!slot && factory) slot = factory(value, transferSide);
    if (slot) slot->AddRef();
    return slot;
}

// ---- ConnectConfig and NoneConfig ------------------------------------------

ConnectConfig::ConnectConfig(const ConnectConfig& other)
    : VProfileData(other),
      VUnknown<IVUnknown>(other),
      IParentable(),
      m_defaultSession(other.m_defaultSession),
      m_commandLine(other.m_commandLine),
      m_reserved(other.m_reserved),
      m_parentWindow(other.m_parentWindow) {}

ConnectConfig::~ConnectConfig() = default;

bool ConnectConfig::QueryInterface(const VGuid&, void** object) {
    if (object) *object = nullptr;
    return false;
}

ConnectConfig* NoneConfig::Create(VProfileKey*, ICommonConfig*) {
    return new NoneConfig();
}

FirewallConfig* NoneConfig::GetFirewall() {
    return new FirewallConfig(RemoteHostConfig::kNoFirewallName, nullptr);
}

// ---- ConnectConfigPtr ------------------------------------------------------

bool ConnectConfigPtr::ValidateProtocolName(bool terminal, VUnicodeString& name) {
    static constexpr const char16_t* kTerminalNames[] = {
        u"SSH2", u"SSH1", u"Telnet", u"Telnet/SSL", u"RLogin", u"Serial", u"TAPI", u"None"};
    static constexpr const char16_t* kTransferNames[] = {u"SFTP", u"FTP", u"FTP/SSL (implicit)",
                                                         u"FTP/SSL (explicit)", u"None"};
    if (terminal) {
        for (const char16_t* valid : kTerminalNames) {
            if (name.EqualsNoCase(valid)) return true;
        }
    } else {
        for (const char16_t* valid : kTransferNames) {
            if (name.EqualsNoCase(valid)) return true;
        }
    }
    Trace(FormatMessageText(u"Unknown protocol \"%1!hs!\" using default protocol.\n",
                            std::u16string_view(name)));
    name.Empty();
    return false;
}

ConnectConfigPtr::ConnectConfigPtr(VProfileKey* key, unsigned mode, ICommonConfig* common)
    : m_mode(mode) {
    const ConnectProtocolTable& table = GetConnectProtocolTable();
    const int rows = table.GetSize();
    int defaultRow = -1;
    for (int row = 0; row < rows && defaultRow < 0; ++row) {
        if (RowBelongsToMode(row)) defaultRow = row;
    }

    const char16_t* valueName = mode == kTerminalMode ? kTerminalValueName : kTransferValueName;
    if (key) {
        VUnicodeString stored;
        if (key->QueryString(valueName, stored)) m_storedName = stored;
        if (m_storedName && stored.IsEmpty()) m_protocolWasBlank = true;
    }
    m_protocolName.Init(key, VUnicodeString(valueName), VUnicodeString());
    VUnicodeString name = m_protocolName.Get();
    ValidateProtocolName(mode == kTerminalMode, name);
    m_protocolName = name;

    m_configs.SetSize(static_cast<size_t>(rows));
    if (defaultRow < 0) {
        if (!name.EqualsNoCase(kNoneProtocol)) m_protocolName = VUnicodeString();
    } else if (name.IsEmpty()) {
        m_protocolName = table[defaultRow].protocolName;
    }
    // A name put in place of the stored one is this host's stand-in, not a
    // change to save: a host without the transfer modules would otherwise
    // blank "SFTP" for every host. So is the empty name of a host without
    // any row of the mode when the key holds none; with rows, the default
    // name it writes for a missing one means the same to every host.
    if (key && (m_storedName ? *m_storedName != m_protocolName.Get() : defaultRow < 0)) {
        m_nameStandsIn = m_checkpointStandsIn = true;
        m_standInName = m_protocolName.Get();
        m_protocolName.Checkpoint();
    }
    if (defaultRow < 0) return;

    for (int row = 0; row < rows; ++row) {
        if (!RowBelongsToMode(row) || !table[row].protocolName.EqualsNoCase(m_protocolName.Get()))
            continue;
        MakeConfig(row, key, common);
        m_currentRow = row;
    }
    // The TAPI configuration always exists beside the current one: the dialer
    // settings are shared by every terminal protocol.
    for (int row = 0; row < rows; ++row) {
        if (RowBelongsToMode(row) && !m_configs[static_cast<size_t>(row)] &&
            table[row].protocolName.EqualsNoCase(u"TAPI"))
            MakeConfig(row, key, common);
    }
}

ConnectConfigPtr::ConnectConfigPtr(const ConnectConfigPtr& other, ICommonConfig* common)
    : VProfileData(other),
      m_protocolName(other.m_protocolName),
      m_currentRow(other.m_currentRow),
      m_checkpointRow(other.m_checkpointRow),
      m_mode(other.m_mode),
      m_protocolWasBlank(other.m_protocolWasBlank),
      m_nameStandsIn(other.m_nameStandsIn),
      m_checkpointStandsIn(other.m_checkpointStandsIn),
      m_standInName(other.m_standInName),
      m_storedName(other.m_storedName) {
    m_configs.SetSize(other.m_configs.GetSize());
    if (ConnectConfig* current = other.Current()) {
        m_configs[static_cast<size_t>(m_currentRow)] = current->Clone(common);
    }
}

ConnectConfigPtr::~ConnectConfigPtr() {
    ReleaseAll();
}

void ConnectConfigPtr::ReleaseAll() {
    for (ConnectConfig*& config : m_configs) {
        if (config) config->Release();
        config = nullptr;
    }
    // Carried values point into the configurations just released.
    m_carry.RemoveAll();
}

bool ConnectConfigPtr::RowBelongsToMode(int row) const {
    const Product product = ToProduct(GetConnectProtocolTable()[row].productId);
    return m_mode == kTerminalMode ? IsTerminalProduct(product) : IsTransferProduct(product);
}

ConnectConfig* ConnectConfigPtr::Current() const {
    return GetConfigAt(m_currentRow);
}

ConnectConfig* ConnectConfigPtr::GetConfigAt(int row) const {
    if (row < 0 || static_cast<size_t>(row) >= m_configs.GetSize()) return nullptr;
    return m_configs[static_cast<size_t>(row)];
}

void ConnectConfigPtr::MakeConfig(int row, VProfileKey* key, ICommonConfig* common) {
    const ConnectConfig* current = Current();
    const int flag = current ? current->GetDefaultSessionFlag() : 0;
    // A table that grew after this holder was made still gets its slot.
    if (static_cast<size_t>(row) >= m_configs.GetSize())
        m_configs.SetSize(static_cast<size_t>(row) + 1);
    ConnectConfigCreateFunction create = GetConnectProtocolTable()[row].Create;
    ConnectConfig* made = create ? create(key, common) : nullptr;
    ConnectConfig*& slot = m_configs[static_cast<size_t>(row)];
    if (slot) slot->Release();
    slot = made;
    if (!made) return;
    made->SetDefaultSessionFlag(flag);
    made->Checkpoint();
}

void ConnectConfigPtr::SetProtocol(const VUnicodeString& name, ICommonConfig* common) {
    if (name == m_protocolName.Get()) return;
    m_protocolName = name;
    m_nameStandsIn = false;
    int flag = 0;
    if (ConnectConfig* current = Current()) {
        current->SaveToMap(m_carry);
        flag = current->GetDefaultSessionFlag();
    }
    m_currentRow = -1;
    const ConnectProtocolTable& table = GetConnectProtocolTable();
    for (int row = 0; row < table.GetSize(); ++row) {
        if (table[row].protocolName != name) continue;
        m_currentRow = row;
        if (!GetConfigAt(row)) MakeConfig(row, nullptr, common);
        if (ConnectConfig* config = GetConfigAt(row)) {
            config->LoadFromMap(m_carry);
            config->SetDefaultSessionFlag(flag);
        }
        break;
    }
}

void ConnectConfigPtr::SetConnectConfig(const ConnectConfigPtr& other, ICommonConfig* common) {
    if (&other == this) return;
    ReleaseAll();
    m_currentRow = other.m_currentRow;
    // The other's name comes with what stood behind it.
    m_nameStandsIn = other.m_nameStandsIn;
    m_standInName = other.m_standInName;
    m_storedName = other.m_storedName;
    if (ConnectConfig* current = other.Current()) {
        m_protocolName = other.m_protocolName.Get();
        if (static_cast<size_t>(m_currentRow) >= m_configs.GetSize())
            m_configs.SetSize(static_cast<size_t>(m_currentRow) + 1);
        m_configs[static_cast<size_t>(m_currentRow)] = current->Clone(common);
    } else {
        m_protocolName = VUnicodeString();
    }
}

void ConnectConfigPtr::Save(VProfileKey* key, bool force) {
    if (!NameStandsIn()) {
        m_protocolName.Save(key, force);
    } else if (force && key && m_storedName) {
        key->SetString(m_protocolName.GetName().c_str(), m_storedName->c_str());
    }
    ConnectConfig* current = Current();
    if (current && m_protocolName.Get() != kNoneProtocol) current->Save(key, force);
    m_unsaved = false;
}

bool ConnectConfigPtr::IsModified() const {
    if (m_currentRow < 0 || m_protocolName.Get() == kNoneProtocol) return false;
    if (m_protocolName.IsModified()) return true;
    const ConnectConfig* current = Current();
    return current && current->IsModified();
}

void ConnectConfigPtr::Checkpoint() {
    bool changed = m_protocolName.IsModified();
    m_protocolName.Checkpoint();
    m_checkpointStandsIn = m_nameStandsIn;
    m_checkpointRow = m_currentRow;
    for (ConnectConfig* config : m_configs) {
        if (!config) continue;
        if (config->IsModified()) changed = true;
        config->Checkpoint();
    }
    if (changed) m_unsaved = true;
}

void ConnectConfigPtr::ClearUnsaved() {
    VProfileData::ClearUnsaved();
    m_protocolName.ClearUnsaved();
    for (ConnectConfig* config : m_configs) {
        if (config) config->ClearUnsaved();
    }
}

void ConnectConfigPtr::Rollback() {
    m_protocolName.Rollback();
    m_nameStandsIn = m_checkpointStandsIn;
    m_currentRow = m_checkpointRow;
    for (ConnectConfig* config : m_configs) {
        if (config) config->Rollback();
    }
}

void ConnectConfigPtr::ApplyDelta(const VProfileData* other) {
    const auto* source = dynamic_cast<const ConnectConfigPtr*>(other);
    if (!source || source == this) return;
    ConnectConfig* current = Current();
    if (!current || m_protocolName.Get() == kNoneProtocol) return;
    if (source->m_currentRow != m_currentRow || !source->Current()) return;
    current->ApplyDelta(source->Current());
}

VProfileData* ConnectConfigPtr::CurrentRecord() const {
    return Current();
}

VProfileData* ConnectConfigPtr::Lookup(int index) const {
    return index == 0 ? const_cast<VProfile2<VUnicodeString, VProfileSz>*>(&m_protocolName)
                      : nullptr;
}

}  // namespace sessiondeck
