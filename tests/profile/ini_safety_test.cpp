// The INI backend under failing writes, hostile folders and concurrent writers: every failure is
// reported, nothing that existed is lost, and nothing outside the configuration folder is touched.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "platform/faults.h"
#include "platform/file_system.h"
#include "profile/ini_store.h"
#include "profile/write_batch.h"
#include "store_contract.h"
#include "support/temp_dir.h"
#include "support/test_bytes.h"

using namespace sessiondeck;

namespace fs = std::filesystem;

namespace {

class IniSafety : public ::testing::Test {
protected:
    IniSafety() : m_factory(VUnicodeString::FromUtf8(Root().string())) {
        fs::create_directories(Root());
    }
    ~IniSafety() override { platform::ClearFaults(); }

    fs::path Root() const { return m_dir.path() / "Config"; }
    fs::path Outside() const { return m_dir.path() / "outside"; }

    // Writes `values` (name, DWORD) into the key at `path` and flushes.
    bool Write(const char16_t* path,
               std::initializer_list<std::pair<const char16_t*, uint32_t>> values,
               int* error = nullptr) {
        VProfileStore store(false, &m_factory);
        VProfileKey key(store.GetRootKey(), path);
        for (const auto& [name, value] : values) key.SetDword(name, value);
        const bool ok = key.Flush();
        if (error) *error = ok ? 0 : static_cast<int>(key.GetReport().GetMessageId());
        return ok;
    }
    std::optional<uint32_t> Read(const char16_t* path, const char16_t* name) {
        VProfileStore store(true, &m_factory);
        return Dword(VProfileKey(store.GetRootKey(), path), name);
    }
    std::vector<std::u16string> Children(const char16_t* path) {
        VProfileStore store(true, &m_factory);
        VProfileKey key(store.GetRootKey(), path);
        return SubKeyNames(key);
    }

    TempDir m_dir;
    VIniFileStoreFactory m_factory;
};

// Each write path, failed at each step it takes: the operation says so with
// the injected error, and the folder is exactly as before (no temporary file,
// no half-made copy or move).
TEST_F(IniSafety, EveryWriteStepThatFailsIsReportedAndChangesNothing) {
    const auto flush = [](VProfileKey& root, const char16_t* path, bool exclusive, bool write) {
        VProfileKey key(root, path);
        if (exclusive) key.SetCreateExclusive();
        if (write) key.SetDword(u"Rows", 99);
        return key.Flush();
    };
    using Run = std::function<bool(VProfileKey&)>;
    const std::pair<std::string, Run> operations[] = {
        {"save a value", [&](VProfileKey& r) { return flush(r, u"Sessions\\F\\a", false, true); }},
        {"create a key exclusively",
         [&](VProfileKey& r) { return flush(r, u"Sessions\\F\\new", true, true); }},
        {"create a folder exclusively",
         [&](VProfileKey& r) { return flush(r, u"Sessions\\G", true, false); }},
        {"move a folder",
         [](VProfileKey& r) { return r.MoveSubKey(u"Sessions\\F", u"Sessions\\H"); }},
        {"copy a folder",
         [](VProfileKey& r) { return r.CopySubKey(u"Sessions\\F", u"Sessions\\C"); }},
        {"remove a folder",
         [](VProfileKey& r) { return VProfileKey(r, u"Sessions").DeleteSubKey(u"F"); }},
    };
    const platform::FaultPoint points[] = {
        platform::FaultPoint::kCreate,     platform::FaultPoint::kWrite,
        platform::FaultPoint::kSync,       platform::FaultPoint::kRename,
        platform::FaultPoint::kMakeFolder, platform::FaultPoint::kRemove,
    };
    for (const auto& [name, run] : operations) {
        for (platform::FaultPoint point : points) {
            SCOPED_TRACE(name + ", fault at point " + std::to_string(static_cast<int>(point)));
            fs::remove_all(Root());
            ASSERT_TRUE(Write(u"Sessions\\F\\a", {{u"Is Session", 1}, {u"Rows", 24}}));
            ASSERT_TRUE(Write(u"Sessions\\F\\b", {{u"Is Session", 1}, {u"Rows", 25}}));
            ASSERT_TRUE(Write(u"Sessions\\F\\Sub\\c", {{u"Is Session", 1}}));
            const auto before = Snapshot(Root());

            platform::ClearFaults();
            platform::InjectFault(point, 1, ENOSPC);
            VProfileStore store(false, &m_factory);
            bool ok = false;
            uint32_t reported = 0;
            {
                VProfileKey& root = store.GetRootKey();
                ok = run(root);
                reported = root.GetReport().GetMessageId();
            }
            const bool reached = platform::FaultPointCalls(point) > 0;
            platform::ClearFaults();
            EXPECT_EQ(ok, !reached) << "an operation fails exactly when one of its steps does";
            if (!reached) continue;
            // Key handles report on themselves; the root reports moves and copies.
            if (name.starts_with("move") || name.starts_with("copy")) {
                EXPECT_EQ(reported, static_cast<uint32_t>(ENOSPC));
            }
            EXPECT_EQ(Snapshot(Root()), before) << "the folder must be as it was";
        }
    }
}

// Links and special files inside the configuration folder are never followed,
// listed into, written through or removed through.
TEST_F(IniSafety, LinksAndSpecialFilesNeverLeadOutside) {
    ASSERT_TRUE(Write(u"Sessions\\real", {{u"Is Session", 1}, {u"Rows", 24}}));
    fs::create_directories(Outside() / "folder");
    WriteFileBytes(Outside() / "secret.ini", "outside bytes");
    WriteFileBytes(Outside() / "folder" / "x.ini", "outside session");
    ::chmod((Outside() / "secret.ini").c_str(), 0644);
    fs::create_symlink(Outside() / "secret.ini", Root() / "Sessions" / "linked.ini");
    fs::create_directory_symlink(Outside() / "folder", Root() / "Sessions" / "LinkedFolder");
    ASSERT_EQ(::mkfifo((Root() / "Sessions" / "pipe.ini").c_str(), 0600), 0);
    const auto outside = Snapshot(Outside());

    EXPECT_EQ(Children(u"Sessions"), std::vector<std::u16string>{u"real"});
    EXPECT_FALSE(Read(u"Sessions\\linked", u"Rows"));
    EXPECT_FALSE(Read(u"Sessions\\LinkedFolder\\x", u"Rows"));

    int error = 0;
    EXPECT_FALSE(Write(u"Sessions\\linked", {{u"Rows", 1}}, &error));
    EXPECT_EQ(error, ELOOP);
    EXPECT_FALSE(Write(u"Sessions\\LinkedFolder\\x", {{u"Rows", 1}}, &error));
    EXPECT_EQ(error, ELOOP);
    EXPECT_FALSE(Write(u"Sessions\\pipe", {{u"Rows", 1}}, &error));  // must not block
    EXPECT_EQ(error, EINVAL);

    VProfileStore store(false, &m_factory);
    VProfileKey sessions(store.GetRootKey(), u"Sessions");
    sessions.DeleteSubKey(u"LinkedFolder\\x");  // finds nothing to remove this side of the link
    EXPECT_FALSE(sessions.MoveSubKey(u"linked", u"moved"));
    EXPECT_FALSE(sessions.CopySubKey(u"LinkedFolder", u"copied"));
    EXPECT_FALSE(sessions.SubKeyExists(u"pipe"));
    // Removing a key folder that is a link removes the link, not what it points at.
    EXPECT_TRUE(sessions.DeleteSubKey(u"LinkedFolder"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(Root() / "Sessions" / "LinkedFolder")));

    EXPECT_EQ(Snapshot(Outside()), outside);
    EXPECT_EQ(FileMode(Outside() / "secret.ini"), 0644u);
    EXPECT_EQ(Read(u"Sessions\\real", u"Rows"), 24u);
}

// Creation, moves and copies never replace what is there, case twins
// included, and a move carries files the store does not list.
TEST_F(IniSafety, NothingIsEverWrittenOverAnotherKey) {
    ASSERT_TRUE(Write(u"Sessions\\WEB", {{u"Is Session", 1}, {u"Rows", 1}}));
    ASSERT_TRUE(Write(u"Sessions\\web", {{u"Is Session", 1}, {u"Rows", 2}}));
    EXPECT_EQ(Children(u"Sessions"), (std::vector<std::u16string>{u"WEB", u"web"}));

    VProfileStore store(false, &m_factory);
    VProfileKey sessions(store.GetRootKey(), u"Sessions");
    EXPECT_FALSE(sessions.MoveSubKey(u"WEB", u"web"));
    EXPECT_EQ(sessions.GetReport().GetMessageId(), static_cast<uint32_t>(EEXIST));
    EXPECT_FALSE(sessions.CopySubKey(u"web", u"WEB"));
    EXPECT_EQ(Read(u"Sessions\\WEB", u"Rows"), 1u);
    EXPECT_EQ(Read(u"Sessions\\web", u"Rows"), 2u);
    {
        VProfileKey folder(sessions, u"WEB");
        folder.SetCreateExclusive();
        EXPECT_FALSE(folder.Flush()) << "a folder must not shadow a session of its name";
    }
    EXPECT_FALSE(fs::exists(Root() / "Sessions" / "WEB"));

    ASSERT_TRUE(Write(u"Sessions\\F\\s", {{u"Is Session", 1}}));
    WriteFileBytes(Root() / "Sessions" / "F" / "README", "kept");
    WriteFileBytes(Root() / "Sessions" / "F" / "\xff\xfe.ini", "odd name");
    EXPECT_TRUE(sessions.MoveSubKey(u"F", u"G"));
    EXPECT_FALSE(fs::exists(Root() / "Sessions" / "F"));
    EXPECT_EQ(ReadFileBytes(Root() / "Sessions" / "G" / "README"), "kept");
    EXPECT_EQ(ReadFileBytes(Root() / "Sessions" / "G" / "\xff\xfe.ini"), "odd name");
    EXPECT_TRUE(sessions.CopySubKey(u"G", u"G2"));
    EXPECT_EQ(Snapshot(Root() / "Sessions" / "G2"), Snapshot(Root() / "Sessions" / "G"));
    EXPECT_FALSE(sessions.MoveSubKey(u"G", u"G\\inner"));
    EXPECT_EQ(sessions.GetReport().GetMessageId(), static_cast<uint32_t>(EINVAL));
}

// A key changed only if it still exists; a file too large to read is neither read, grown nor
// replaced, but values can always be removed from it.
TEST_F(IniSafety, UpdatesAndSizeLimitsNeverLoseWhatIsThere) {
    ASSERT_TRUE(Write(u"Sessions\\gone", {{u"Is Session", 1}}));
    {
        VProfileStore store(false, &m_factory);
        VProfileKey key(store.GetRootKey(), u"Sessions\\gone");
        key.Prefetch();
        fs::remove(Root() / "Sessions" / "gone.ini");
        key.SetUpdateOnly();
        key.SetDword(u"Rows", 5);
        EXPECT_FALSE(key.Flush());
        EXPECT_EQ(key.GetReport().GetMessageId(), static_cast<uint32_t>(ENOENT));
    }
    EXPECT_FALSE(fs::exists(Root() / "Sessions" / "gone.ini"));

    const fs::path big = Root() / "Sessions" / "big.ini";
    ASSERT_TRUE(Write(u"Sessions\\big", {{u"Is Session", 1}}));
    const std::string before = ReadFileBytes(big);
    {
        VProfileStore store(false, &m_factory);
        VProfileKey key(store.GetRootKey(), u"Sessions\\big");
        const std::vector<uint8_t> huge(kMaxValueFileSize / 2 + 1, 0xAB);  // two hex digits a byte
        key.SetBinary(u"Blob", huge.data(), static_cast<uint32_t>(huge.size()));
        EXPECT_FALSE(key.Flush());
        EXPECT_EQ(key.GetReport().GetMessageId(), static_cast<uint32_t>(EFBIG));
    }
    EXPECT_EQ(ReadFileBytes(big), before);

    // A hand-made file one byte over the limit: unreadable and kept as it is, but a removal
    // repairs it.
    const std::string head =
        "\xEF\xBB\xBF"
        "D:\"Rows\"=00000001\nS:\"Padding\"=";
    WriteFileBytes(big, head + std::string(kMaxValueFileSize - head.size() - 1, 'p') + "\n\n");
    const std::string oversize = ReadFileBytes(big);
    EXPECT_FALSE(Read(u"Sessions\\big", u"Rows"));
    EXPECT_EQ(m_factory.ReadLoadResult(u"Sessions\\big").stop, VIniStop::FileTooLarge);
    {
        VProfileStore store(false, &m_factory);
        VProfileKey key(store.GetRootKey(), u"Sessions\\big");
        EXPECT_FALSE(key.IsWritable());
        EXPECT_FALSE(Dword(key, u"Rows"));
        EXPECT_EQ(key.GetReport().GetMessageId(), static_cast<uint32_t>(EFBIG));
        EXPECT_TRUE(key.SetDword(u"Rows", 2));  // kept in memory, never written
    }
    EXPECT_EQ(ReadFileBytes(big), oversize);
    EXPECT_FALSE(Write(u"Sessions\\big", {{u"Columns", 1}}));
    // At the limit exactly it is read.
    fs::resize_file(big, kMaxValueFileSize);
    EXPECT_EQ(Read(u"Sessions\\big", u"Rows"), 1u);
    WriteFileBytes(big, oversize);
    {
        VProfileStore store(false, &m_factory);
        VProfileKey key(store.GetRootKey(), u"Sessions\\big");
        key.DeleteValue(u"Padding");
        EXPECT_TRUE(key.Flush());
    }
    EXPECT_EQ(Read(u"Sessions\\big", u"Rows"), 1u);
}

// A write batch renames its files only when it commits, under each folder's
// lock, and rebuilds a file that another writer changed meanwhile.
TEST_F(IniSafety, ABatchNeverUndoesAChangeMadeWhileItWasOpen) {
    ASSERT_TRUE(Write(u"Sessions\\s", {{u"Is Session", 1}, {u"Rows", 24}, {u"Columns", 80}}));
    ASSERT_TRUE(Write(u"Sessions\\removed", {{u"Is Session", 1}}));
    VProfileWriteBatch batch;
    for (const char16_t* path : {u"Sessions\\s", u"Sessions\\removed"}) {
        VProfileStore store(false, &m_factory);
        VProfileKey key(store.GetRootKey(), path);
        key.Prefetch();
        key.SetUpdateOnly();
        key.SetDword(u"Rows", 30);
        ASSERT_TRUE(key.Flush());
    }
    // Another writer (a thread of its own, outside the batch) acts first.
    std::thread other([&] {
        EXPECT_TRUE(Write(u"Sessions\\s", {{u"Columns", 132}}));
        fs::remove(Root() / "Sessions" / "removed.ini");
    });
    other.join();
    EXPECT_FALSE(batch.Commit());
    EXPECT_EQ(batch.Failures(), 1);
    EXPECT_EQ(Read(u"Sessions\\s", u"Rows"), 30u);
    EXPECT_EQ(Read(u"Sessions\\s", u"Columns"), 132u);
    EXPECT_FALSE(fs::exists(Root() / "Sessions" / "removed.ini"));
}

// Temporary files whose writer is gone are removed by the next writer in the
// folder; those of a live writer are left alone.
TEST_F(IniSafety, TheNextWriterRemovesTemporaryFilesOfDeadWriters) {
    ASSERT_TRUE(Write(u"Sessions\\s", {{u"Is Session", 1}}));
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    int status = 0;
    ::waitpid(child, &status, 0);
    const fs::path folder = Root() / "Sessions";
    const fs::path dead = folder / (".s.ini~" + std::to_string(child) + "~abcdef");
    const fs::path live = folder / ".s.ini~1~abcdef";  // init never goes away
    WriteFileBytes(dead, "left by a killed writer");
    WriteFileBytes(live, "still being written");
    EXPECT_EQ(platform::TemporaryFileOwner(dead.filename().string()), child);

    ASSERT_TRUE(Write(u"Sessions\\s", {{u"Rows", 2}}));
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(live));
}

}  // namespace
