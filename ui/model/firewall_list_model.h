// The Global Options Firewall page without a toolkit: the stored firewalls by name, and adding,
// editing and deleting them through the library's firewall store.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "foundation/prompt.h"
#include "profile/profile_store.h"

namespace sessiondeck {

inline constexpr const char16_t* kDeleteFirewallQuestion =
    u"Do you want to delete the specified firewall?";

// What the firewall editor shows and the user typed. The password is never shown: `passwordSet`
// tells whether one is stored, and `password` replaces it only when `passwordEdited`.
struct FirewallFields {
    std::u16string name;
    std::u16string type = u"None";  // a stored type name of the firewall type table
    std::u16string host;
    std::u16string port = u"1080";
    std::u16string user;
    std::u16string prompt;
    std::u16string command;
    std::u16string password;
    bool passwordEdited = false;
    bool passwordSet = false;
};

// The lowest and highest port the editor accepts.
inline constexpr int kMinFirewallPort = 1;
inline constexpr int kMaxFirewallPort = 65535;

// Firewalls are written to the store as soon as the editor is confirmed or a delete is answered
// Yes, as sessions elsewhere name them: OK or Cancel of the dialog does not undo them.
class FirewallListModel {
public:
    // `factory` null: the host's store. `caption` titles the messages.
    FirewallListModel(IPrompt& prompt, std::u16string caption,
                      VProfileStoreFactory* factory = nullptr);

    // The names as stored, read again from the store.
    void Reload();
    // The names as last read (read on first use: the dialog may open before a store is set up
    // and never show this page).
    const std::vector<std::u16string>& Names();

    // The fields of a new firewall (the record's defaults) / of the stored one at `index` (none
    // when it has gone from the store meanwhile; the list is read again then).
    FirewallFields NewFields() const;
    std::optional<FirewallFields> Fields(std::size_t index);

    // Why the fields cannot be saved, or none: the name rules of the store (empty, illegal
    // character, a name another firewall has), an unknown type, a port outside the range, a
    // password the stored form cannot carry. `currentName` is empty for a new firewall.
    std::optional<std::u16string> Check(const FirewallFields& fields,
                                        const std::u16string& currentName) const;

    // Checks the fields (a refusal is shown) and saves them; a renamed firewall's old key is
    // deleted once the new one is stored. What the store really holds is read back: a write
    // that did not arrive is reported. The list is read again either way. True when saved.
    bool Save(const FirewallFields& fields, const std::u16string& currentName);

    // Asks kDeleteFirewallQuestion and deletes the firewall at `index` on Yes. A delete the
    // store refused is reported. True when it was deleted.
    bool Delete(std::size_t index);

private:
    void Report(const std::u16string& text) const;

    IPrompt& m_prompt;
    std::u16string m_caption;
    VProfileStoreFactory* m_factory;
    std::vector<std::u16string> m_names;
    bool m_loaded = false;
};

}  // namespace sessiondeck
