// Connect configurations: the per-protocol settings of a session's terminal or transfer
// connection, the holder that switches between protocols, and the "None" protocol.
#pragma once

#include <cstdint>
#include <optional>

#include "foundation/containers.h"
#include "foundation/export.h"
#include "foundation/unicode_string.h"
#include "foundation/unknown.h"
#include "profile/profile_data.h"
#include "session/connect_protocol_table.h"
#include "session/firewall_config.h"
#include "session/remote_host_config.h"

namespace sessiondeck {

class FirewallConfig;

// A window of the host's toolkit, passed through without being looked at.
struct VWindow;

// The values one protocol's configuration hands to the next when the
// protocol changes: names chosen by the protocol configurations, each pointing
// at data the handing configuration keeps alive.
using ConnectCarryMap = VMap<VUnicodeString, void*, VUnicodeStringHash>;

class SESSIONDECK_API IParentable {
public:
    // The window dialogs of this object open over; null when none was set.
    virtual VWindow* GetParentWindow() = 0;
    virtual void SetParentWindow(VWindow* window) = 0;

protected:
    ~IParentable() = default;
};

// What the terminal and the transfer connect configurations of one session
// share: the session's remote host and one object per side.
class ICommonConfig : public IVUnknown {
public:
    static constexpr VGuid IID = {
        0x7b3e51a0, 0x2c4d, 0x4e8f, {0x91, 0x0a, 0x6d, 0x2b, 0x58, 0xe3, 0x47, 0x12}};
    using SideFactory = IClonable* (*)(int value, bool transferSide);

    // The remote host, built from `key` on the first request. One new
    // reference, the caller's.
    virtual IRemoteHostConfig* GetRemoteHostConfig(VProfileKey* key) = 0;
    // The side's object, made by `factory(value, transferSide)` on the first
    // request for that side. One new reference, the caller's; null when the
    // factory gives none.
    virtual IClonable* GetSideObject(bool transferSide, int value, SideFactory factory) = 0;

protected:
    ~ICommonConfig() override = default;
};

class SESSIONDECK_API CommonConfig : public VUnknown<ICommonConfig> {
public:
    CommonConfig() = default;
    // Copies the remote host and clones both side objects.
    CommonConfig(const CommonConfig& other);
    CommonConfig& operator=(const CommonConfig&) = delete;
    ~CommonConfig() override;

    IRemoteHostConfig* GetRemoteHostConfig(VProfileKey* key) override;
    IClonable* GetSideObject(bool transferSide, int value, SideFactory factory) override;

private:
    IRemoteHostConfig* m_remoteHost = nullptr;
    IClonable* m_sides[2] = {nullptr, nullptr};
};

// One protocol's connect settings. Made by the protocol module through its
// row's Create function; reference counted, starting at 1.
class SESSIONDECK_API ConnectConfig : public VProfileData,
                                      public VUnknown<IVUnknown>,
                                      public IParentable {
public:
    ConnectConfig() = default;
    ConnectConfig(const ConnectConfig& other);
    ConnectConfig& operator=(const ConnectConfig&) = delete;
    ~ConnectConfig() override;

    // Connect configurations answer no interface.
    bool QueryInterface(const VGuid& iid, void** object) override;

    virtual ConnectConfig* Clone(ICommonConfig* common) const = 0;
    virtual void SaveToMap(ConnectCarryMap& map) = 0;
    virtual void LoadFromMap(const ConnectCarryMap& map) = 0;
    virtual void CopyAndUpdatePaths(VUnicodeString folder) = 0;
    virtual void ProcessCommandLine(VList<VUnicodeString>& arguments) = 0;
    // Non-zero when the settings are complete enough to connect.
    virtual int CanConnect() const = 0;
    virtual VUnicodeString GetHostname() = 0;
    virtual void SetHostname(const char16_t* host) = 0;
    virtual VUnicodeString GetUsername() = 0;
    virtual VUnicodeString GetPassword() = 0;
    // A new object, owned by the caller.
    virtual FirewallConfig* GetFirewall() = 0;
    virtual VUnicodeString GetFirewallName() = 0;
    virtual void SetFirewallName(const char16_t* name) = 0;
    virtual void SetTemporaryFirewallName(const char16_t* name) = 0;
    virtual VUnicodeString CommandLine() = 0;
    virtual int GetPort() const = 0;
    virtual void SetPassword(const char16_t* password) = 0;
    virtual void SetTemporaryPassword(const char16_t* password) = 0;
    virtual void SetPort(int port) = 0;
    virtual void SetPasswordValid(bool valid) = 0;
    virtual void SetAccount(const char16_t* account) = 0;
    virtual const char16_t* GetAccount() const = 0;
    virtual void SetUsername(const char16_t* user) = 0;
    virtual void SetInitialDirectory(const char16_t* folder) = 0;
    virtual VUnicodeString GetInitialDirectory() = 0;
    virtual void IsAnonymousLogin(bool anonymous) = 0;
    virtual bool IsAnonymousLogin() const = 0;
    virtual bool IsPasswordValid() const = 0;
    virtual bool IsCertificateVerificationDisabled() const = 0;
    virtual bool UseDataConnectionType() const = 0;
    virtual int GetDataConnectionType() const = 0;
    virtual unsigned long GetListFlags() const = 0;

    VWindow* GetParentWindow() override { return m_parentWindow; }
    void SetParentWindow(VWindow* window) override { m_parentWindow = window; }

    // Set on the configurations of the "Default" session; it follows the
    // session from protocol to protocol.
    int GetDefaultSessionFlag() const { return m_defaultSession; }
    void SetDefaultSessionFlag(int flag) { m_defaultSession = flag; }
    // When non-zero the session's command line is built by this configuration.
    int GetCommandLineFlag() const { return m_commandLine; }
    void SetCommandLineFlag(int flag) { m_commandLine = flag; }

private:
    int m_defaultSession = 0;
    int m_commandLine = 0;
    uintptr_t m_reserved = 0;
    // There is no main window without a toolkit: null until a dialog sets it.
    VWindow* m_parentWindow = nullptr;
};

// The configuration of the "None" protocol: the session has no connection of
// that kind. Holds nothing and stores nothing.
class SESSIONDECK_API NoneConfig : public ConnectConfig {
public:
    NoneConfig() = default;
    NoneConfig(const NoneConfig& other) = default;

    // The Create function of the "None" rows.
    static ConnectConfig* Create(VProfileKey* key, ICommonConfig* common);

    void Save(VProfileKey*, bool) override {}
    bool IsModified() const override { return false; }
    void Checkpoint() override {}
    void Rollback() override {}
    void ApplyDelta(const VProfileData*) override {}
    VProfileData* Lookup(int) const override { return nullptr; }

    ConnectConfig* Clone(ICommonConfig*) const override { return new NoneConfig(*this); }
    void SaveToMap(ConnectCarryMap&) override {}
    void LoadFromMap(const ConnectCarryMap&) override {}
    void CopyAndUpdatePaths(VUnicodeString) override {}
    void ProcessCommandLine(VList<VUnicodeString>&) override {}
    int CanConnect() const override { return 0; }
    VUnicodeString GetHostname() override { return {}; }
    void SetHostname(const char16_t*) override {}
    VUnicodeString GetUsername() override { return {}; }
    VUnicodeString GetPassword() override { return {}; }
    FirewallConfig* GetFirewall() override;
    VUnicodeString GetFirewallName() override { return RemoteHostConfig::kNoFirewallName; }
    void SetFirewallName(const char16_t*) override {}
    void SetTemporaryFirewallName(const char16_t*) override {}
    VUnicodeString CommandLine() override { return {}; }
    int GetPort() const override { return -1; }
    void SetPassword(const char16_t*) override {}
    void SetTemporaryPassword(const char16_t*) override {}
    void SetPort(int) override {}
    void SetPasswordValid(bool) override {}
    void SetAccount(const char16_t*) override {}
    const char16_t* GetAccount() const override { return nullptr; }
    void SetUsername(const char16_t*) override {}
    void SetInitialDirectory(const char16_t*) override {}
    VUnicodeString GetInitialDirectory() override { return {}; }
    void IsAnonymousLogin(bool) override {}
    bool IsAnonymousLogin() const override { return false; }
    bool IsPasswordValid() const override { return false; }
    bool IsCertificateVerificationDisabled() const override { return false; }
    bool UseDataConnectionType() const override { return false; }
    int GetDataConnectionType() const override { return 0; }
    unsigned long GetListFlags() const override { return 0; }
};

// A session's terminal (mode 0) or transfer (mode 1) connection: the chosen
// protocol's name, persisted, and one configuration per protocol table row,
// made on demand.
class SESSIONDECK_API ConnectConfigPtr : public VProfileData {
public:
    static constexpr unsigned kTerminalMode = 0;
    static constexpr unsigned kTransferMode = 1;
    static constexpr const char16_t* kTerminalValueName = u"Protocol Name";
    static constexpr const char16_t* kTransferValueName = u"Transfer Protocol Name";
    static constexpr const char16_t* kNoneProtocol = u"None";

    ConnectConfigPtr(VProfileKey* key, unsigned mode, ICommonConfig* common);
    ConnectConfigPtr(const ConnectConfigPtr& other, ICommonConfig* common);
    ConnectConfigPtr(const ConnectConfigPtr&) = delete;
    ConnectConfigPtr& operator=(const ConnectConfigPtr&) = delete;
    ~ConnectConfigPtr() override;

    void Save(VProfileKey* key, bool force) override;
    bool IsModified() const override;
    void Checkpoint() override;
    void Rollback() override;
    void ApplyDelta(const VProfileData* other) override;
    void ClearUnsaved() override;
    // 0 is the protocol name setting; nothing else is a member.
    VProfileData* Lookup(int index) const override;
    // The current protocol's configuration, or none.
    VProfileData* CurrentRecord() const override;

    VUnicodeString Protocol() const { return m_protocolName.Get(); }
    bool ProtocolWasBlank() const { return m_protocolWasBlank; }
    unsigned GetMode() const { return m_mode; }
    // The current protocol's row, -1 when there is none.
    int GetCurrentRow() const { return m_currentRow; }
    // The configuration made for `row`, or null (also outside the table).
    ConnectConfig* GetConfigAt(int row) const;

    void SetProtocol(const VUnicodeString& name, ICommonConfig* common);
    void SetConnectConfig(const ConnectConfigPtr& other, ICommonConfig* common);

    operator ConnectConfig*() const { return Current(); }
    ConnectConfig* operator->() const { return Current(); }

    // Keeps a recognised name as it is and answers true; empties any other
    // and answers false (the caller then takes the default protocol).
    static bool ValidateProtocolName(bool terminal, VUnicodeString& name);

private:
    ConnectConfig* Current() const;
    bool RowBelongsToMode(int row) const;
    void MakeConfig(int row, VProfileKey* key, ICommonConfig* common);
    void ReleaseAll();
    // Whether the name in use only stands in for the one the store holds.
    bool NameStandsIn() const { return m_nameStandsIn && m_protocolName.Get() == m_standInName; }

    VProfile2<VUnicodeString, VProfileSz> m_protocolName;
    int m_currentRow = -1;
    int m_checkpointRow = -1;
    VArray<ConnectConfig*> m_configs;
    unsigned m_mode = kTerminalMode;
    ConnectCarryMap m_carry{25};
    bool m_protocolWasBlank = false;
    // A stored name this host does not know, or has no module for, is
    // replaced in use by a stand-in (the mode's default, or nothing). The
    // stand-in is no change of the user's: a save keeps the stored name (a
    // forced save writes it again), and with it every host that has the
    // module goes on seeing that protocol. Ends when the protocol is set.
    bool m_nameStandsIn = false;
    bool m_checkpointStandsIn = false;
    VUnicodeString m_standInName;
    std::optional<VUnicodeString> m_storedName;  // absent: the key held none
};

// Where the debug diagnostics of protocol handling go (an unknown stored
// protocol name, for instance). Empty by default: nothing reaches the user.
SESSIONDECK_API void SetProtocolTraceSink(ProfileTraceSink sink);

}  // namespace sessiondeck
