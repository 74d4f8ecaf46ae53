// RemoteHostConfig: the small record of a remote host and the firewall it is reached through.
#pragma once

#include "foundation/export.h"
#include "foundation/unicode_string.h"
#include "foundation/unknown.h"
#include "profile/profile_data.h"

namespace sessiondeck {

// An object that can make an independent copy of itself.
class IClonable : public IVUnknown {
public:
    static constexpr VGuid IID = {
        0x3f1a7c21, 0x5b8e, 0x4d17, {0x9a, 0x61, 0x2e, 0x84, 0xc0, 0x5d, 0x13, 0xf7}};
    // A new object (one reference, the caller's) equal to this one.
    virtual IClonable* Clone() const = 0;

protected:
    ~IClonable() override = default;
};

class IRemoteHostConfig : public IClonable {
public:
    static constexpr VGuid IID = {
        0x3f1a7c22, 0x5b8e, 0x4d17, {0x9a, 0x61, 0x2e, 0x84, 0xc0, 0x5d, 0x13, 0xf7}};
    virtual VUnicodeString GetHostname() const = 0;
    virtual VUnicodeString GetFirewallName() const = 0;
    virtual VUnicodeString GetUsername() const = 0;

protected:
    ~IRemoteHostConfig() override = default;
};

class SESSIONDECK_API RemoteHostConfig : public VUnknown<IRemoteHostConfig>,
                                         public VProfileRecord<RemoteHostConfig> {
public:
    // "Firewall Name" of a key that has none: the terminal application's
    // firewall when the key still carries its older switch "Use Firewall".
    static constexpr const char16_t* kTerminalFirewallName = u"DefaultTerminalFirewall";
    static constexpr const char16_t* kNoFirewallName = u"None";

    // Loads the three members from `key`; null gives the defaults.
    explicit RemoteHostConfig(VProfileKey* key);
    RemoteHostConfig(const RemoteHostConfig& other) = default;
    RemoteHostConfig& operator=(const RemoteHostConfig& other) = default;
    ~RemoteHostConfig() override;

    // Answers IClonable as well as IRemoteHostConfig.
    bool QueryInterface(const VGuid& iid, void** object) override;
    IClonable* Clone() const override { return new RemoteHostConfig(*this); }

    VUnicodeString GetHostname() const override { return m_hostname.Get(); }
    VUnicodeString GetFirewallName() const override { return m_firewallName.Get(); }
    VUnicodeString GetUsername() const override { return m_username.Get(); }
    void SetHostname(const VUnicodeString& host) { m_hostname = host; }
    void SetFirewallName(const VUnicodeString& name) { m_firewallName = name; }
    void SetUsername(const VUnicodeString& user) { m_username = user; }

private:
    friend class VProfileRecord<RemoteHostConfig>;

    static VUnicodeString DefaultFirewallName(const RemoteHostConfig& record);

    VProfile2<VUnicodeString, VProfileSz> m_hostname;
    VProfile2<VUnicodeString, VProfileSz> m_firewallName;
    VProfile2<VUnicodeString, VProfileSz> m_username;
    // Whether the key being loaded has a non-zero DWORD "Use Firewall"; only
    // meaningful while loading.
    bool m_keyUsesFirewall = false;

public:
    static constexpr auto _profileOffsets =
        VProfileMembers(VProfileMember(&RemoteHostConfig::m_hostname, u"Hostname"),
                        VProfileMember(&RemoteHostConfig::m_firewallName, u"Firewall Name",
                                       &RemoteHostConfig::DefaultFirewallName),
                        VProfileMember(&RemoteHostConfig::m_username, u"Username"));
};

}  // namespace sessiondeck
