// RemoteHostConfig: loading with the firewall default taken from the older "Use Firewall" switch.
#include "session/remote_host_config.h"

#include <cstdint>

namespace sessiondeck {

RemoteHostConfig::RemoteHostConfig(VProfileKey* key) {
    uint32_t useFirewall = 0;
    m_keyUsesFirewall = key && key->QueryDword(u"Use Firewall", useFirewall) && useFirewall != 0;
    Load(key);
}

RemoteHostConfig::~RemoteHostConfig() = default;

bool RemoteHostConfig::QueryInterface(const VGuid& iid, void** object) {
    if (object && iid == IClonable::IID) {
        *object = static_cast<IClonable*>(this);
        AddRef();
        return true;
    }
    return VUnknown<IRemoteHostConfig>::QueryInterface(iid, object);
}

VUnicodeString RemoteHostConfig::DefaultFirewallName(const RemoteHostConfig& record) {
    return record.m_keyUsesFirewall ? kTerminalFirewallName : kNoFirewallName;
}

}  // namespace sessiondeck
