// Folder synchronisation profiles: tasks pairing source and target folders of saved sessions,
// stored as flat indexed value names.
#pragma once

#include <cstdint>

#include "foundation/containers.h"
#include "foundation/export.h"
#include "foundation/unicode_string.h"
#include "profile/profile_data.h"
#include "profile/profile_store.h"

namespace sessiondeck {

struct SESSIONDECK_API SynchronizeSource {
    VUnicodeString session;  // the saved session's name
    VUnicodeString path;
    int recurse = 0;  // non-zero: sub-folders too
    friend bool operator==(const SynchronizeSource&, const SynchronizeSource&) = default;
};

struct SESSIONDECK_API SynchronizeTarget {
    VUnicodeString session;
    VUnicodeString path;
    friend bool operator==(const SynchronizeTarget&, const SynchronizeTarget&) = default;
};

struct SESSIONDECK_API SynchronizeTask {
    VUnicodeString name;
    int type = 0;  // the file-transfer host's own task kinds
    int masterOverwrites = 0;
    VArray<SynchronizeSource> sources;
    VArray<SynchronizeTarget> targets;
    friend bool operator==(const SynchronizeTask&, const SynchronizeTask&) = default;
};

// A named list of tasks, stored under the key of its own name as
// "Task[i].Name", "Task[i].Source[j].Session" and so on.
//
// Loading stops the tasks at the first missing (or non-string) ".Name" and a
// task's sources and targets at the first missing ".Session". A missing or
// mistyped ".Type", ".MasterOverwrites" or ".Recurse" reads as 0 and a missing
// ".Path" as empty.
//
// Saving writes every task, source and target in list order and then deletes
// the "Task[...]" values that it did not write, so that a shortened list does
// not come back with stale entries on the next load.
class SESSIONDECK_API SynchronizeProfile : public VProfileData {
public:
    SynchronizeProfile() = default;
    SynchronizeProfile(const SynchronizeProfile&) = default;
    SynchronizeProfile& operator=(const SynchronizeProfile&) = default;
    ~SynchronizeProfile() override;

    // Loads the profile `name` from under `key` (a null key loads an empty
    // profile); what was loaded becomes the checkpoint.
    void Init(VProfileKey* key, const VUnicodeString& name);
    void Init(VProfileKey* key) { Init(key, GetName()); }

    // Writes when forced, modified, or left unsaved by a checkpoint; the
    // saved profile becomes the checkpoint.
    void Save(VProfileKey* key, bool force) override;
    bool IsModified() const override { return !(m_tasks == m_checkpoint); }
    void Checkpoint() override;
    void Rollback() override { m_tasks = m_checkpoint; }

    // The task names joined with ";", read only: a task has no one-line form.
    SettingKind Kind() const override { return SettingKind::kList; }
    std::optional<std::u16string> Text() const override;
    bool IsReadOnly() const override { return true; }

    const VArray<SynchronizeTask>& GetTasks() const { return m_tasks; }
    VArray<SynchronizeTask>& GetTasks() { return m_tasks; }
    const VArray<SynchronizeTask>& GetCheckpoint() const { return m_checkpoint; }

    // Same tasks (names of the profiles are not compared).
    friend bool operator==(const SynchronizeProfile& a, const SynchronizeProfile& b) {
        return a.m_tasks == b.m_tasks;
    }

private:
    VArray<SynchronizeTask> m_tasks;
    VArray<SynchronizeTask> m_checkpoint;
};

// The name the global configuration keeps its profile under.
inline constexpr char16_t kQuickSyncProfileName[] = u"QuickSync";

}  // namespace sessiondeck
