// Synchronisation profiles: the exact indexed value names, the stop rules, and saving a shortened
// profile.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/synchronize_profile.h"
#include "support/golden.h"
#include "support/memory_store.h"

using namespace sessiondeck;

namespace {

SynchronizeTask MakeTask(const char16_t* name, int type, int master, int sources, int targets) {
    SynchronizeTask task;
    task.name = name;
    task.type = type;
    task.masterOverwrites = master;
    for (int j = 0; j < sources; ++j) {
        const std::u16string n(1, static_cast<char16_t>(u'a' + j));
        task.sources.Add({u"src" + n, u"/from/" + n, j % 2});
    }
    for (int j = 0; j < targets; ++j) {
        const std::u16string n(1, static_cast<char16_t>(u'a' + j));
        task.targets.Add({u"dst" + n, u"/to/" + n});
    }
    return task;
}

SynchronizeProfile TwoTasks() {
    SynchronizeProfile profile;
    profile.SetName(u"QuickSync");
    profile.GetTasks().Add(MakeTask(u"Mirror", 2, 1, 2, 1));
    profile.GetTasks().Add(MakeTask(u"Backup", 0, 0, 1, 2));
    return profile;
}

void Save(VProfileStoreFactory& factory, SynchronizeProfile& profile, bool force = false) {
    VProfileStore store(&factory);
    VProfileKey global(store.GetRootKey(), u"Global");
    profile.Save(&global, force);
}

SynchronizeProfile Load(VProfileStoreFactory& factory) {
    VProfileStore store(&factory);
    VProfileKey global(store.GetRootKey(), u"Global");
    SynchronizeProfile profile;
    profile.Init(&global, u"QuickSync");
    return profile;
}

const char16_t kKey[] = u"Global\\QuickSync";

}  // namespace

// A profile saved, loaded, copied, changed and shortened: the exact indexed value names, the
// checkpoint that a load sets, when a save writes and what a shorter profile leaves behind.
TEST(SynchronizeProfile, SaveLoadCopyAndShortenKeepTheStoreInStep) {
    MemoryStoreFactory factory;
    SynchronizeProfile profile = TwoTasks();
    Save(factory, profile, true);
    std::string written;
    for (const MemoryWrite& write : factory.Writes())
        written += VUnicodeString(write.keyPath).ToUtf8() + " " + write.name.ToUtf8() + "\n";
    ExpectMatchesGolden("data/sync-profile-names.txt", written);

    SynchronizeProfile loaded = Load(factory);
    EXPECT_EQ(loaded, profile);
    EXPECT_FALSE(loaded.IsModified());
    factory.ClearWrites();
    Save(factory, loaded);
    EXPECT_TRUE(factory.Writes().empty());  // unchanged: nothing written
    Save(factory, loaded, true);
    EXPECT_EQ(factory.Writes().size(), 21u);

    // A copy is deep: changing it leaves the original alone, and it rolls back.
    SynchronizeProfile copy(loaded);
    copy.GetTasks()[0].sources[0].path = u"/elsewhere";
    EXPECT_TRUE(copy.IsModified());
    EXPECT_FALSE(loaded.IsModified());
    copy.Rollback();
    EXPECT_EQ(copy, loaded);

    // A checkpointed change is no longer "modified" but is still written, once.
    loaded.GetTasks()[1].name = u"Renamed";
    loaded.Checkpoint();
    EXPECT_FALSE(loaded.IsModified());
    factory.ClearWrites();
    Save(factory, loaded);
    EXPECT_FALSE(factory.Writes().empty());
    EXPECT_EQ(Load(factory).GetTasks()[1].name, u"Renamed");
    factory.ClearWrites();
    Save(factory, loaded);
    EXPECT_TRUE(factory.Writes().empty());

    // Numbers keep all 32 bits, negative ones included.
    loaded.GetTasks()[0].type = -5;
    Save(factory, loaded);
    EXPECT_EQ(factory.Find(kKey, u"Task[0].Type")->dword, 0xFFFFFFFBu);
    EXPECT_EQ(Load(factory).GetTasks()[0].type, -5);

    // A shorter profile removes the rest of its values, and only its own.
    VProfileStore store(&factory);
    VProfileKey(store.GetRootKey(), kKey).SetString(u"Unrelated", u"kept");
    SynchronizeProfile shorter = Load(factory);
    shorter.GetTasks().RemoveAt(1);
    shorter.GetTasks()[0].sources.RemoveAt(1);
    shorter.GetTasks()[0].targets.RemoveAll();
    Save(factory, shorter);
    EXPECT_EQ(
        factory.ValueNames(kKey),
        (std::vector<VUnicodeString>{u"Task[0].Name", u"Task[0].Type", u"Task[0].MasterOverwrites",
                                     u"Task[0].Source[0].Session", u"Task[0].Source[0].Path",
                                     u"Task[0].Source[0].Recurse", u"Unrelated"}));
    EXPECT_EQ(Load(factory), shorter);
    shorter.GetTasks().RemoveAll();
    Save(factory, shorter);
    EXPECT_EQ(factory.ValueNames(kKey), std::vector<VUnicodeString>{u"Unrelated"});
    EXPECT_TRUE(Load(factory).GetTasks().IsEmpty());
}

TEST(SynchronizeProfile, LoadingStopsAtTheFirstGapAndReadsMistypedFieldsAsEmpty) {
    // "TASKS SOURCES TARGETS" (of the first task) loaded from these names, each holding a string,
    // and `number` holding a number.
    const auto shape = [](std::vector<const char16_t*> strings, const char16_t* number = nullptr) {
        MemoryStoreFactory factory;
        {
            VProfileStore store(&factory);
            VProfileKey key(store.GetRootKey(), kKey);
            for (const char16_t* stored : strings) key.SetString(stored, u"x");
            if (number) key.SetDword(number, 1);
        }
        const SynchronizeProfile profile = Load(factory);
        const auto& tasks = profile.GetTasks();
        return std::to_string(tasks.GetSize()) + " " +
               (tasks.IsEmpty() ? "-"
                                : std::to_string(tasks[0].sources.GetSize()) + " " +
                                      std::to_string(tasks[0].targets.GetSize()));
    };
    const char16_t *name = u"Task[0].Name", *s0 = u"Task[0].Source[0].Session",
                   *s1 = u"Task[0].Source[1].Session";
    EXPECT_EQ(shape({}), "0 -");
    EXPECT_EQ(shape({u"Task[1].Name", s0}), "0 -");
    EXPECT_EQ(shape({name, u"Task[2].Name"}), "1 0 0");
    EXPECT_EQ(shape({name, u"Task[0].Source[0].Path", s1, u"Task[0].Target[0].Session"}), "1 0 1");
    EXPECT_EQ(shape({name, s0, s1, u"Task[0].Target[1].Session"}), "1 2 0");
    EXPECT_EQ(shape({}, name), "0 -") << "a name stored as a number";
    EXPECT_EQ(shape({name}, s0), "1 0 0") << "a session stored as a number";

    // Past the names that decide the shape, missing or mistyped fields read as zero or empty.
    MemoryStoreFactory factory;
    VProfileStore store(&factory);
    VProfileKey key(store.GetRootKey(), kKey);
    for (const char16_t* name : {u"Task[0].Name", u"Task[0].Type", u"Task[0].Source[0].Session",
                                 u"Task[0].Target[0].Session"})
        key.SetString(name, u"7");
    key.SetDword(u"Task[0].Target[0].Path", 3);
    const SynchronizeTask task = Load(factory).GetTasks()[0];
    EXPECT_EQ(task.type, 0);
    EXPECT_EQ(task.sources[0], (SynchronizeSource{u"7", u"", 0}));
    EXPECT_EQ(task.targets[0], (SynchronizeTarget{u"7", u""}));
}
