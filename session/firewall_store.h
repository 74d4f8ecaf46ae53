// The named firewalls kept under the key "Firewalls": list, test, load, save, remove, name checks.
#pragma once

#include <optional>
#include <string_view>

#include "foundation/buffer.h"
#include "foundation/containers.h"
#include "foundation/export.h"
#include "foundation/unicode_string.h"
#include "profile/profile_store.h"
#include "session/firewall_config.h"

namespace sessiondeck {

// Every firewall is the sub-key of this key named by the firewall's name.
inline constexpr const char16_t* kFirewallsKeyName = u"Firewalls";

// The refusal of a name another firewall has (%s: the trimmed name).
inline constexpr const char16_t* kFirewallNameExists = u"The firewall name '%s' already exists";

// Each operation opens its own store, through `factory` when given, else
// through the host's factory getter, and closes it before returning.

// Whether a firewall of that name is stored: a legal name (CheckFirewallName)
// whose key exists below "Firewalls".
SESSIONDECK_API bool FirewallExists(const VUnicodeString& name,
                                    VProfileStoreFactory* factory = nullptr);

// "None" and then the name of every stored firewall, each as UTF-16LE code
// units ending in a NUL, and one more NUL after the last: the string-array
// form the dialogs' firewall lists are filled from. Nothing for a null buffer.
SESSIONDECK_API void SerializeFirewallNames(IBuffer* buffer);

// The names of the stored firewalls in the store's sub-key order. Sub-keys
// whose names no firewall could have are left out.
SESSIONDECK_API VStringArray GetFirewallNames(VProfileStoreFactory* factory = nullptr);

// A new firewall (one reference, the caller's) loaded from its key, or null
// when it does not exist. Loading through a writable store rewrites a
// data-protected password in the scrambled form.
SESSIONDECK_API FirewallConfig* LoadFirewall(const VUnicodeString& name, bool readOnly = false,
                                             VProfileStoreFactory* factory = nullptr);

// Saves the firewall into the key of its name, creating it when needed: all
// members when `force`, else only those changed or never stored. False, with
// nothing written, for an illegal name or a key that is not writable (EACCES
// in `report`); false too when the store reports that the write failed, with
// its report (an errno and the system's text) in `report` when one is given.
SESSIONDECK_API bool SaveFirewall(FirewallConfig* firewall, bool force,
                                  VProfileStoreFactory* factory = nullptr,
                                  VReportMessageParams* report = nullptr);

// Deletes the firewall's key. False when there was no such firewall or the
// store refused.
SESSIONDECK_API bool RemoveFirewall(const VUnicodeString& name,
                                    VProfileStoreFactory* factory = nullptr);

// The firewall properties dialog's check of a name the user typed: why the
// trimmed name cannot be used, or null when it can. `currentName` is the
// firewall's name before editing, empty when creating one; another firewall
// of the name is refused when creating and when the name changes. A change of
// case alone is not checked: the name found would be the firewall's own in a
// store that compares names without case (the registry), and the INI store,
// which compares them exactly, has no other firewall of that spelling to find.
SESSIONDECK_API std::optional<VUnicodeString> ValidateFirewallName(
    std::u16string_view name, std::u16string_view currentName,
    VProfileStoreFactory* factory = nullptr);

}  // namespace sessiondeck
