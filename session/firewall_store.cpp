// The named firewalls under "Firewalls": each operation opens the store, works and closes it.
#include "session/firewall_store.h"

#include <cerrno>

#include "foundation/message_format.h"

namespace sessiondeck {

namespace {

VUnicodeString KeyPath(const VUnicodeString& name) {
    return VUnicodeString(kFirewallsKeyName) + u"\\" + name.str();
}

bool ExistsIn(VProfileKey& firewalls, const VUnicodeString& name) {
    return !CheckFirewallName(name.str()) && firewalls.SubKeyExists(name.c_str());
}

}  // namespace

bool FirewallExists(const VUnicodeString& name, VProfileStoreFactory* factory) {
    VProfileStore store(true, factory);
    VProfileKey firewalls(store.GetRootKey(), kFirewallsKeyName);
    return ExistsIn(firewalls, name);
}

VStringArray GetFirewallNames(VProfileStoreFactory* factory) {
    VStringArray names;
    VProfileStore store(true, factory);
    VProfileKey firewalls(store.GetRootKey(), kFirewallsKeyName);
    VProfileKeyIterator it(firewalls, false);
    VUnicodeString name;
    while (it.Next(name)) {
        if (ExistsIn(firewalls, name)) names.Add(name);
    }
    return names;
}

FirewallConfig* LoadFirewall(const VUnicodeString& name, bool readOnly,
                             VProfileStoreFactory* factory) {
    VProfileStore store(readOnly, factory);
    VProfileKey firewalls(store.GetRootKey(), kFirewallsKeyName);
    if (!ExistsIn(firewalls, name)) return nullptr;
    VProfileKey key(firewalls, name);
    return new FirewallConfig(name, &key);
}

bool SaveFirewall(FirewallConfig* firewall, bool force, VProfileStoreFactory* factory,
                  VReportMessageParams* report) {
    if (!firewall || CheckFirewallName(firewall->GetFirewallName().str())) return false;
    VProfileStore store(false, factory);
    VProfileKey key(store.GetRootKey(), KeyPath(firewall->GetFirewallName()));
    if (!key.IsWritable()) {
        // The store refuses before the system is asked; say so as the system would.
        if (report) *report = VReportMessageParams(static_cast<uint32_t>(EACCES));
        return false;
    }
    firewall->Save(&key, force);
    // The folder backend writes when the handle closes; flushing now is how a failed write
    // (a full disk, a folder that cannot be written) reaches the caller.
    if (key.Flush()) return true;
    if (report) *report = key.GetReport();
    return false;
}

bool RemoveFirewall(const VUnicodeString& name, VProfileStoreFactory* factory) {
    VProfileStore store(false, factory);
    VProfileKey firewalls(store.GetRootKey(), kFirewallsKeyName);
    if (!ExistsIn(firewalls, name)) return false;
    return firewalls.DeleteSubKey(name.c_str());
}

std::optional<VUnicodeString> ValidateFirewallName(std::u16string_view name,
                                                   std::u16string_view currentName,
                                                   VProfileStoreFactory* factory) {
    const VUnicodeString trimmed = TrimFirewallName(name);
    if (auto refusal = CheckFirewallName(trimmed.str())) return refusal;
    const bool renamedOrNew = currentName.empty() || !EqualsNoCase(trimmed.str(), currentName);
    if (renamedOrNew && FirewallExists(trimmed, factory)) {
        return VUnicodeString(InsertName(kFirewallNameExists, trimmed.str()));
    }
    return std::nullopt;
}

void SerializeFirewallNames(IBuffer* buffer) {
    if (!buffer) return;
    VStringArray names;
    names.Add(VUnicodeString(u"None"));
    for (const VUnicodeString& name : GetFirewallNames()) names.Add(name);
    for (const VUnicodeString& name : names) {
        for (char16_t c : name.str()) {
            const uint8_t bytes[2] = {static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>(c >> 8)};
            buffer->Append(bytes, 2);
        }
        const uint8_t end[2] = {0, 0};
        buffer->Append(end, 2);
    }
    const uint8_t end[2] = {0, 0};
    buffer->Append(end, 2);
}

}  // namespace sessiondeck
