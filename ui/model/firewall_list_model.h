// The Global Options Firewall page without a toolkit: the firewalls by name, added, edited and
// deleted in the page's own list and written to the library's firewall store on the dialog's OK.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/prompt.h"
#include "profile/profile_store.h"
#include "session/session_database.h"

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

// How it works. The page edits its own list: Add, Edit and Delete change the list only, and
// Commit (Global Options' OK) writes what changed, so Cancel leaves the store as it was. Each
// entry remembers the stored key it came from (none for a new firewall) and, once edited, the
// fields to write; deleted stored names wait in a list of their own. Commit reads every stored
// record it needs before it writes anything, writes the edited entries (a new key with every
// value), and only then deletes the keys no entry holds any longer, so a rename or a delete
// followed by an add of the same name never loses the old firewall to a failed write. What a
// failure left unwritten stays pending, and the next Commit tries it again.
// A renamed firewall takes its sessions along: between the writes and the deletes, every session
// that names an old name is changed to the new one, so a rename breaks no session; a session
// that could not be changed keeps the old name, and then the old firewall is kept as well.
class FirewallListModel {
public:
    // Renamed firewalls, old name then new name.
    using Renames = std::vector<std::pair<VUnicodeString, VUnicodeString>>;
    // Runs the walk over the sessions for Commit (a view runs it with its progress dialog).
    using SessionWalk = std::function<GlobalChangeTally(const Renames&)>;

    // How an entry of the list stands against the store.
    enum class EntryState { kStored, kNew, kChanged };

    // `factory` null: the host's store. `caption` titles the messages.
    FirewallListModel(IPrompt& prompt, std::u16string caption,
                      VProfileStoreFactory* factory = nullptr);

    // Drops every pending change and reads the names from the store again.
    void Reload();
    // The names the page shows: the stored ones with the pending changes applied (read on first
    // use: the dialog may open before a store is set up and never show this page).
    const std::vector<std::u16string>& Names();
    EntryState State(std::size_t index);
    // The stored firewalls the next Commit deletes, in the order they were deleted.
    const std::vector<std::u16string>& PendingDeletes() const { return m_deleted; }
    bool HasPendingChanges() const;

    // The fields of a new firewall (the record's defaults) / of the entry at `index`: its
    // pending fields, else the stored ones (none when it has gone from the store meanwhile; the
    // entry is dropped from the list then). The password is never handed out: `passwordSet`
    // says whether one is stored or pending.
    FirewallFields NewFields() const;
    std::optional<FirewallFields> Fields(std::size_t index);

    // Why the fields cannot be saved, or none: the store's name rules (empty, illegal character)
    // and a name another entry of the list has, an unknown type, a port outside the range, a
    // password the stored form cannot carry. `currentName` is the entry's name as listed, empty
    // for a new firewall. A name is another entry's when it is spelt the same, or when it differs
    // in case only and the store would find that entry's key under it.
    std::optional<std::u16string> Check(const FirewallFields& fields,
                                        const std::u16string& currentName);

    // Checks the fields (a refusal is shown) and puts them into the list: the entry listed as
    // `currentName`, or a new one when it is empty. Nothing is written. True when taken.
    bool Save(const FirewallFields& fields, const std::u16string& currentName);

    // Asks kDeleteFirewallQuestion and takes the entry at `index` off the list on Yes (a stored
    // firewall is deleted by the next Commit). True when it was taken off.
    bool Delete(std::size_t index);

    // Writes the pending changes to the store and reads the list back. A write the store refused
    // or did not keep is reported with the store's reason; what was not written stays pending.
    // True when nothing is left pending.
    bool Commit();
    // How Commit walks the sessions; by default on the calling thread.
    void SetSessionWalk(SessionWalk walk) { m_sessionWalk = std::move(walk); }

private:
    struct Entry {
        std::u16string name;    // as listed
        std::u16string stored;  // the key it was read from; empty for a new firewall
        std::optional<FirewallFields> pending;
    };

    void EnsureLoaded();
    // Puts the entries' names into m_names.
    void Relist();
    Entry* Find(const std::u16string& name);
    bool NameTaken(const std::u16string& name, const Entry* self);
    bool WriteEntries();
    void RenameInSessions();
    bool DeleteKeys();
    // Reads the stored keys' names into m_storedNames.
    void ListStored();

    IPrompt& m_prompt;
    std::u16string m_caption;
    VProfileStoreFactory* m_factory;
    std::vector<Entry> m_entries;
    std::vector<std::u16string> m_deleted;
    // Written under a new name, the sessions not yet changed.
    Renames m_renamed;
    SessionWalk m_sessionWalk;
    // The stored keys' names as last listed (the store's spelling).
    std::vector<std::u16string> m_storedNames;
    std::vector<std::u16string> m_names;
    bool m_loaded = false;
};

}  // namespace sessiondeck
