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

std::vector<std::u16string> Strings(const std::vector<VUnicodeString>& names) {
    std::vector<std::u16string> out;
    for (const VUnicodeString& name : names) out.push_back(name.str());
    return out;
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
        Strings(factory.ValueNames(kKey)),
        (std::vector<std::u16string>{u"Task[0].Name", u"Task[0].Type", u"Task[0].MasterOverwrites",
                                     u"Task[0].Source[0].Session", u"Task[0].Source[0].Path",
                                     u"Task[0].Source[0].Recurse", u"Unrelated"}));
    EXPECT_EQ(Load(factory), shorter);
    shorter.GetTasks().RemoveAll();
    Save(factory, shorter);
    EXPECT_EQ(Strings(factory.ValueNames(kKey)), std::vector<std::u16string>{u"Unrelated"});
    EXPECT_TRUE(Load(factory).GetTasks().IsEmpty());
}

TEST(SynchronizeProfile, LoadingStopsAtTheFirstGap) {
    struct Case {
        const char* what;
        size_t tasks, sources, targets;        // sources and targets of the first task
        const char16_t* number;                // a name whose value is a number, if any
        std::vector<const char16_t*> strings;  // names whose value is a string
    };
    const char16_t *name = u"Task[0].Name", *s0 = u"Task[0].Source[0].Session",
                   *s1 = u"Task[0].Source[1].Session";
    // clang-format off
    const std::vector<Case> cases = {
        {"nothing stored", 0, 0, 0, nullptr, {}},
        {"no Task[0].Name", 0, 0, 0, nullptr, {u"Task[1].Name", s0}},
        {"Task[0] and Task[2]", 1, 0, 0, nullptr, {name, u"Task[2].Name"}},
        {"Source[1], no Source[0].Session", 1, 0, 1, nullptr,
         {name, u"Task[0].Source[0].Path", s1, u"Task[0].Target[0].Session"}},
        {"Target[1], no Target[0].Session", 1, 2, 0, nullptr,
         {name, s0, s1, u"Task[0].Target[1].Session"}},
        {"name stored as a number", 0, 0, 0, name, {}},
        {"session stored as a number", 1, 0, 0, s0, {name}},
    };
    // clang-format on
    for (const Case& c : cases) {
        MemoryStoreFactory factory;
        {
            VProfileStore store(&factory);
            VProfileKey key(store.GetRootKey(), kKey);
            for (const char16_t* stored : c.strings) key.SetString(stored, u"x");
            if (c.number) key.SetDword(c.number, 1);
        }
        SynchronizeProfile profile = Load(factory);
        ASSERT_EQ(profile.GetTasks().GetSize(), c.tasks) << c.what;
        if (c.tasks == 0) continue;
        EXPECT_EQ(profile.GetTasks()[0].sources.GetSize(), c.sources) << c.what;
        EXPECT_EQ(profile.GetTasks()[0].targets.GetSize(), c.targets) << c.what;
    }
}

TEST(SynchronizeProfile, MissingOrMistypedFieldsReadAsZeroOrEmpty) {
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
