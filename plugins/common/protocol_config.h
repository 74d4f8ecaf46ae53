// What the reference protocol modules share: one connect configuration driven by a description of
// the protocol's values, and the registration of a module's rows.
#pragma once

#include <initializer_list>
#include <vector>

#include "profile/secret_settings.h"
#include "session/connect_config.h"

using namespace sessiondeck;

#define SD_PROTOCOL_EXPORT extern "C" __attribute__((visibility("default")))

namespace plugin {

// One protocol-specific option: a number or a text, its value name and default.
// Modules set them with designated initialisers, naming only what applies: a
// number option leaves the text default unset, and a text option the number.
struct ProtocolOption {
    const char16_t* name = nullptr;
    bool isText = false;
    int numberDefault = 0;
    const char16_t* textDefault = nullptr;
    // How Session Options shows it: its label (with the "&" of its access key), and for a
    // number a check box (0 or 1) or a list of the names of 0, 1, 2...; for a text a file
    // picker. Without a label the value name is shown.
    const char16_t* label = nullptr;
    bool isFlag = false;
    std::vector<const char16_t*> choices = {};
    bool isFile = false;
};

struct ProtocolDescription {
    const char16_t* protocolName = nullptr;
    // The stored port; null for protocols without one (serial lines, modems).
    const char16_t* portValueName = nullptr;
    int defaultPort = 0;
    // Where the "host" is kept: "Hostname", or the device / phone number value.
    const char16_t* hostValueName = nullptr;
    bool transferSide = false;
    std::vector<ProtocolOption> options;
};

// The carry map's entries between protocols: each points at a VUnicodeString,
// except "Port", which points at an int and is only handed on when the user
// chose a port other than the protocol's usual one.
inline constexpr const char16_t* kCarryHost = u"Hostname";
inline constexpr const char16_t* kCarryUser = u"Username";
inline constexpr const char16_t* kCarryPort = u"Port";
inline constexpr const char16_t* kCarryFirewall = u"Firewall Name";

// Where each side keeps its password.
inline constexpr const char16_t* kPasswordName = u"Password";
inline constexpr const char16_t* kTransferPasswordName = u"Transfer Password";

class ProtocolConfig : public ConnectConfig {
public:
    ProtocolConfig(const ProtocolDescription& description, VProfileKey* key);
    ProtocolConfig(const ProtocolConfig& other) = default;

    void Save(VProfileKey* key, bool force) override;
    bool IsModified() const override;
    void Checkpoint() override;
    void Rollback() override;
    void ApplyDelta(const VProfileData* other) override;
    VProfileData* Lookup(int index) const override;
    VSettingDescription Describe(int index) const override;

    ConnectConfig* Clone(ICommonConfig*) const override { return new ProtocolConfig(*this); }
    void SaveToMap(ConnectCarryMap& map) override;
    void LoadFromMap(const ConnectCarryMap& map) override;
    void CopyAndUpdatePaths(VUnicodeString) override {}
    void ProcessCommandLine(VList<VUnicodeString>&) override {}
    int CanConnect() const override { return m_host.Get().IsEmpty() ? 0 : 1; }
    VUnicodeString GetHostname() override { return m_host.Get(); }
    void SetHostname(const char16_t* host) override { m_host = VUnicodeString(host); }
    VUnicodeString GetUsername() override { return m_user.Get(); }
    // The password given for this run only, else the stored one.
    VUnicodeString GetPassword() override {
        return m_temporaryPassword.IsEmpty() ? VUnicodeString(m_password.Get())
                                             : m_temporaryPassword;
    }
    FirewallConfig* GetFirewall() override;
    VUnicodeString GetFirewallName() override;
    void SetFirewallName(const char16_t* name) override { m_firewall = VUnicodeString(name); }
    void SetTemporaryFirewallName(const char16_t* name) override {
        m_temporaryFirewall = VUnicodeString(name);
    }
    VUnicodeString CommandLine() override;
    int GetPort() const override { return m_description->portValueName ? m_port.Get() : -1; }
    void SetPassword(const char16_t* password) override {
        m_password = std::u16string_view(password ? password : u"");
    }
    void SetTemporaryPassword(const char16_t* password) override {
        m_temporaryPassword = VUnicodeString(password);
    }
    void SetPort(int port) override { m_port = port; }
    void SetPasswordValid(bool valid) override { m_passwordValid = valid; }
    void SetAccount(const char16_t* account) override { m_account = VUnicodeString(account); }
    const char16_t* GetAccount() const override { return m_account.c_str(); }
    void SetUsername(const char16_t* user) override { m_user = VUnicodeString(user); }
    void SetInitialDirectory(const char16_t* folder) override {
        m_initialDirectory = VUnicodeString(folder);
    }
    VUnicodeString GetInitialDirectory() override { return m_initialDirectory.Get(); }
    void IsAnonymousLogin(bool anonymous) override { m_anonymous = anonymous; }
    bool IsAnonymousLogin() const override { return m_anonymous.Get(); }
    bool IsPasswordValid() const override { return m_passwordValid; }
    bool IsCertificateVerificationDisabled() const override { return false; }
    bool UseDataConnectionType() const override { return false; }
    int GetDataConnectionType() const override { return 0; }
    unsigned long GetListFlags() const override { return 0; }

    // A protocol-specific option by value name; null when the protocol has none.
    VProfile<int>* NumberOption(std::u16string_view name);
    VProfile2<VUnicodeString, VProfileSz>* TextOption(std::u16string_view name);
    const ProtocolDescription& Description() const { return *m_description; }

private:
    // Every stored setting, in save order.
    std::vector<VProfileData*> Settings() const;
    // Calls `action` with every stored setting, in save order, without
    // building the list: a session's load checkpoints every one of them.
    template <class F>
    void ForEachSetting(F&& action) const;

    const ProtocolDescription* m_description;
    VProfile2<VUnicodeString, VProfileSz> m_host;
    VProfile<int> m_port;
    VProfile2<VUnicodeString, VProfileSz> m_user;
    VProfile2<VUnicodeString, VProfileSz> m_firewall;
    VProfile2<VUnicodeString, VProfileSz> m_initialDirectory;
    VProfile<bool> m_anonymous;
    std::vector<VProfile<int>> m_numbers;
    std::vector<VProfile2<VUnicodeString, VProfileSz>> m_texts;
    // Stored in the Blowfish form, never in clear; each side has its own
    // value, since the two sides of a session share one key.
    VProfileBlowfishString m_password;
    // Held for this run only.
    VUnicodeString m_temporaryPassword;
    VUnicodeString m_account;
    VUnicodeString m_temporaryFirewall;
    bool m_passwordValid = false;
    // The port as handed to the next protocol.
    int m_portCarry = 0;
};

// One row a module can fill: the protocol's name and its Create function.
struct ProtocolEntry {
    const ProtocolDescription* description;
    ConnectConfigCreateFunction create;
    // The row's Session Options pages (plugin::SessionPagesOf); null keeps the table's default.
    SessionPagesFunction sessionPages = nullptr;
};

// LoadProtocol's work for a module serving `entries`: fills the row named
// like one of them, or reports that the module does not serve that protocol.
bool RegisterProtocol(ConnectProtocolTableElement* element, IReportMessageParams* report,
                      std::initializer_list<ProtocolEntry> entries);

}  // namespace plugin

// The page functions of the rows (plugins/common/wizard_pages.h), which RegisterProtocol fills in.
#include "plugins/common/wizard_pages.h"

// Defines the Create function of one description, and notes its wizard page function for the
// row that RegisterProtocol fills.
#define SD_PROTOCOL_CREATE(function, description)                      \
    static ConnectConfig* function(VProfileKey* key, ICommonConfig*) { \
        return new plugin::ProtocolConfig(description, key);           \
    }                                                                  \
    [[maybe_unused]] const bool function##PagesNoted =                 \
        plugin::RememberWizardPage(&description, &plugin::WizardPageOf<description>);

// The two exports every module has.
#define SD_PROTOCOL_MODULE(...)                                                              \
    SD_PROTOCOL_EXPORT const VGuid* GetProtocolGuid() {                                      \
        return &kConnectProtocolGuid;                                                        \
    }                                                                                        \
    SD_PROTOCOL_EXPORT bool LoadProtocol(VAppFnTable&, ConnectProtocolTableElement* element, \
                                         IReportMessageParams* report) {                     \
        return plugin::RegisterProtocol(element, report, {__VA_ARGS__});                     \
    }
