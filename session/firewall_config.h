// FirewallConfig: one named proxy definition, its type table, its credentials and IFirewallUI.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "foundation/export.h"
#include "foundation/istring.h"
#include "foundation/report.h"
#include "foundation/unicode_string.h"
#include "foundation/unknown.h"
#include "profile/profile_data.h"
#include "profile/secret_settings.h"

namespace sessiondeck {

// What protocol code in the host sees of a firewall. The 8-bit results are the
// stored texts in the system code page.
class IFirewallUI : public IVUnknown {
public:
    static constexpr VGuid IID = {
        0x3f1a7c20, 0x5b8e, 0x4d17, {0x9a, 0x61, 0x2e, 0x84, 0xc0, 0x5d, 0x13, 0xf7}};
    virtual VUnicodeString GetFirewallType() = 0;
    virtual VString GetFirewallHostname() = 0;
    virtual uint16_t GetFirewallPort() = 0;
    // True when a user name (or password) was obtained or none is needed;
    // false when the user cancelled the prompt for it.
    virtual bool GetFirewallUsername(IString* out) = 0;
    virtual bool GetFirewallPassword(IString* out) = 0;
    virtual VString GetFirewallPrompt() = 0;
    virtual VString GetFirewallCommand() = 0;

protected:
    ~IFirewallUI() override = default;
};

// One row of the firewall type table.
struct FirewallTypeInfo {
    int number;
    const char16_t* storedName;   // the value of "Firewall Type"
    const char16_t* displayName;  // what the dialogs show
    bool needsCredentials;        // a missing user name or password is prompted for
};

// The twelve firewall types, in number order. Their stored names and numbers
// are what configurations and protocol modules rely on.
SESSIONDECK_API std::span<const FirewallTypeInfo> GetFirewallTypeTable();
// The row whose stored name is exactly `storedName` (case matters), or null.
SESSIONDECK_API const FirewallTypeInfo* FindFirewallType(std::u16string_view storedName);

// The stored value of "Firewall Password": read in the scrambled form, or in
// the data-protection form ("CAPI:..."), which is rewritten at once in the
// scrambled form into the key it was read from.
using VFirewallPasswordSetting = VProfileEncodedStringFromCapi;

class SESSIONDECK_API FirewallConfig : public VUnknown<IFirewallUI>,
                                       public VProfileRecord<FirewallConfig> {
public:
    // The member entries, in table order.
    enum Member : int {
        kMemberType,
        kMemberAddress,
        kMemberPort,
        kMemberPrompt,
        kMemberCommand,
        kMemberUser,
        kMemberPassword,
        kMemberCount
    };

    static constexpr int kDefaultPort = 1080;

    // Loads the seven members from `key`; a null key (or missing values)
    // gives the defaults.
    FirewallConfig(const VUnicodeString& name, VProfileKey* key);
    // Copies everything, the temporary credentials included; the copy starts
    // with a reference count of its own.
    FirewallConfig(const FirewallConfig& other) = default;
    FirewallConfig& operator=(const FirewallConfig& other) = default;
    ~FirewallConfig() override;

    // IFirewallUI
    VUnicodeString GetFirewallType() override { return m_type.Get(); }
    VString GetFirewallHostname() override;
    // A stored port outside 0 to 65535 gives 0, which no proxy listens on.
    uint16_t GetFirewallPort() override;
    bool GetFirewallUsername(IString* out) override;
    bool GetFirewallPassword(IString* out) override;
    VString GetFirewallPrompt() override;
    VString GetFirewallCommand() override;

    // The type's number, 0 for a stored name not in the table.
    int GetIntFirewallType() const;
    // The type's display name, empty for a stored name not in the table.
    VUnicodeString GetFirewallTypeDisplayName() const;
    bool NeedsCredentials() const;

    const VUnicodeString& GetFirewallName() const { return m_firewallName; }
    void SetFirewallName(const VUnicodeString& name) { m_firewallName = name; }

    // The stored settings as they are (no prompting, no temporary values).
    const VUnicodeString& GetStoredUsername() const { return m_user.Get(); }
    const VUnicodeString& GetStoredPassword() const { return m_password.Get(); }
    int GetStoredPort() const { return m_port.Get(); }
    // The report of a stored password that could not be decoded, id 0 when none.
    const VReportMessageParams& GetPasswordReport() const { return m_password.GetReport(); }

    void SetFirewallType(const VUnicodeString& type) { m_type = type; }
    void SetFirewallHostname(const VUnicodeString& host) { m_address = host; }
    void SetFirewallPort(int port) { m_port = port; }
    void SetFirewallPrompt(const VUnicodeString& prompt) { m_prompt = prompt; }
    void SetFirewallCommand(const VUnicodeString& command) { m_command = command; }
    void SetFirewallUsername(const VUnicodeString& user) { m_user = user; }
    void SetFirewallPassword(const VUnicodeString& password) {
        m_password = std::u16string_view(password.str());
    }

private:
    friend class VProfileRecord<FirewallConfig>;

    // Steps 2 and 3 of the credential rule for an empty stored value: the
    // value entered earlier in this process, else a prompt when the type
    // needs credentials.
    bool ObtainCredential(const VUnicodeString& stored, VUnicodeString& temporary,
                          const char16_t* label, bool password, IString* out);

    VProfile2<VUnicodeString, VProfileSz> m_type;
    VProfile2<VUnicodeString, VProfileSz> m_address;
    VProfile<int> m_port;
    VProfile2<VUnicodeString, VProfileSz> m_prompt;
    VProfile2<VUnicodeString, VProfileSz> m_command;
    VProfile2<VUnicodeString, VProfileSz> m_user;
    VFirewallPasswordSetting m_password;

    VUnicodeString m_firewallName;
    VUnicodeString m_temporaryUsername;
    VUnicodeString m_temporaryPassword;

public:
    static constexpr auto _profileOffsets =
        VProfileMembers(VProfileMember(&FirewallConfig::m_type, u"Firewall Type", u"None"),
                        VProfileMember(&FirewallConfig::m_address, u"Firewall Address"),
                        VProfileMember(&FirewallConfig::m_port, u"Firewall Port", kDefaultPort),
                        VProfileMember(&FirewallConfig::m_prompt, u"Proxy Prompt"),
                        VProfileMember(&FirewallConfig::m_command, u"Proxy Command"),
                        VProfileMember(&FirewallConfig::m_user, u"Firewall User"),
                        VProfileMember(&FirewallConfig::m_password, u"Firewall Password"));
};

// The labels of the firewall prompts and dialog fields.
inline constexpr const char16_t* kFirewallUsernameLabel = u"&Username:";
inline constexpr const char16_t* kFirewallPasswordLabel = u"&Password:";
inline constexpr const char16_t* kFirewallProxyPromptLabel = u"&Proxy prompt:";
inline constexpr const char16_t* kFirewallProxyCommandLabel = u"P&roxy command:";

// The name with leading and trailing blanks (spaces and tabs) removed, as the
// firewall dialogs take it.
SESSIONDECK_API VUnicodeString TrimFirewallName(std::u16string_view name);

// Why `name` (already trimmed) cannot name a firewall key, or null when it
// can: empty, or holding a character that is illegal in a key name (control
// characters, \ / : * ? " < > |, and the names "." and ".." whose dot would
// climb out of the store).
SESSIONDECK_API std::optional<VUnicodeString> CheckFirewallName(std::u16string_view name);

}  // namespace sessiondeck
