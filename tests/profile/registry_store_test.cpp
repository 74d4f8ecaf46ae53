// The registry backend: stored registry forms, reports, foreign types, read-only hives, shared
// hives, security descriptors (kept as opaque bytes), the maker's key and surviving a killed
// writer.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "profile/registry_store.h"
#include "store_contract.h"
#include "support/temp_dir.h"
#include "support/test_bytes.h"
#include "support/unprivileged.h"

using namespace sessiondeck;

namespace fs = std::filesystem;
using namespace registry_error;

namespace {

class RegistryBackend : public StoreBackend {
public:
    VProfileStoreFactory& Factory() override { return m_factory; }

private:
    TempDir m_dir;
    VRegistryStoreFactory m_factory{VRegistryRoot::CurrentUser, u"SOFTWARE\\Norvik\\Test",
                                    m_dir / "registry"};
};

// Runs `body` in a child process that exits with its answer.
pid_t Child(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    return child;
}

// The exit status of a child process, or -1 when it did not exit.
int ExitStatus(pid_t child) {
    int status = -1;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::u16string Number(uint32_t n) {
    return VUnicodeString::FromUtf8(std::to_string(n)).str();
}

// "name:kind,..." in the order the key lists them.
std::string Listing(VProfileKey& key, bool values) {
    VProfileKeyIterator it(key, values);
    std::string seen;
    VUnicodeString name;
    for (int kind = 0; it.NextValue(name, kind);)
        seen += name.ToUtf8() + ":" + std::to_string(kind) + ",";
    return seen;
}

class RegistryStoreTest : public testing::Test {
protected:
    fs::path Folder() const { return m_dir / "registry"; }
    fs::path Hive() const { return Folder() / "HKEY_CURRENT_USER.db"; }
    // The raw hive and a key in it, for what the key interface cannot say or do.
    std::shared_ptr<VRegistryHive> OpenHive() {
        uint32_t error = 0;
        return VRegistryHive::Open(Hive(), true, error);
    }
    VRegistryHive::KeyId Find(VRegistryHive& hive, const std::u16string& keyPath) {
        VRegistryHive::KeyId key = 0;
        EXPECT_EQ(hive.FindKey(VRegistryHive::kRootKey, u"SOFTWARE\\Norvik\\" + keyPath, key),
                  kSuccess);
        return key;
    }
    // A stored value as "<registry type>:<bytes in hex>".
    std::string Stored(const std::u16string& keyPath, const char16_t* name) {
        auto hive = OpenHive();
        std::vector<uint8_t> data;
        uint32_t type = 0;
        EXPECT_EQ(hive->QueryValue(Find(*hive, keyPath), name, type, data), kSuccess);
        return std::to_string(type) + ":" + Hex(data);
    }
    // The security bytes of a key, in hex.
    std::string Security(const std::u16string& keyPath) {
        auto hive = OpenHive();
        std::vector<uint8_t> bytes;
        EXPECT_EQ(hive->GetKeySecurity(Find(*hive, keyPath), bytes), kSuccess);
        return Hex(bytes);
    }
    void WriteV5() {
        VProfileStore store(&m_factory);
        ASSERT_TRUE(VProfileKey(store.GetRootKey(), u"K").SetDword(u"v", 5));
    }

    TempDir m_dir;
    VRegistryStoreFactory m_factory{VRegistryRoot::CurrentUser, u"SOFTWARE\\Norvik", Folder()};
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Registry, ProfileStoreContract,
                         testing::Values(StoreBackendParam{
                             .name = "Registry",
                             .make =
                                 [] { return std::unique_ptr<StoreBackend>(new RegistryBackend); },
                             .caseSensitiveNames = false,
                             .openingCreatesKeys = true,
                             .readOnlyKeysAcceptChanges = false}),
                         StoreBackendName);

TEST_F(RegistryStoreTest, ValuesKeepTheirRegistryFormsAndReportEveryCall) {
    {
        VProfileStore store(&m_factory);
        VProfileKey key(store.GetRootKey(), u"K");
        ASSERT_TRUE(key.SetDword(u"Port", 0x01020304));
        ASSERT_TRUE(key.SetString(u"Host", u"ab"));
        ASSERT_TRUE(key.SetStringArray(u"List", VStringArray{u"a", u"", u"b"}));
        ASSERT_TRUE(key.SetStringArray(u"None", VStringArray{}));
    }
    // REG_DWORD 4, REG_SZ 1, REG_MULTI_SZ 7: little-endian, UTF-16 with terminators.
    EXPECT_EQ(Stored(u"K", u"Port") + " " + Stored(u"K", u"Host") + " " + Stored(u"K", u"List") +
                  " " + Stored(u"K", u"None"),
              "4:04030201 1:610062000000 7:610000000000620000000000 7:0000");

    VProfileStore store(&m_factory);
    VProfileKey key(store.GetRootKey(), u"K");
    uint32_t number = 7;
    EXPECT_FALSE(key.QueryDword(u"Host", number));
    EXPECT_EQ(key.GetReport().GetMessageId(), kDatatypeMismatch);
    EXPECT_EQ(number, 7u);
    VStringArray none{u"x"};
    EXPECT_TRUE(key.QueryStringArray(u"None", none));
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_EQ(key.GetReport().GetMessageId(), kSuccess);
    EXPECT_FALSE(key.QueryDword(u"Absent", number));
    EXPECT_EQ(key.GetReport().GetMessageId(), kFileNotFound);
    uint8_t small[2];
    uint32_t size = sizeof small;
    ASSERT_TRUE(key.SetBinary(u"Blob", "abc", 3));
    EXPECT_FALSE(key.QueryBinary(u"Blob", small, size));
    EXPECT_EQ(key.GetReport().GetMessageId(), kMoreData);

    // Names keep the case they were first written with; another case is the same value or key.
    ASSERT_TRUE(key.SetDword(u"PORT", 9));
    EXPECT_EQ(Dword(key, u"port"), 9u);
    ASSERT_TRUE(VProfileKey(store.GetRootKey(), u"k\\Sub").SetDword(u"v", 1));
    EXPECT_EQ(Dword(VProfileKey(store.GetRootKey(), u"K\\SUB"), u"V"), 1u);
    EXPECT_EQ(Listing(key, false), "Sub:" + std::to_string(kValueKindSubKey) + ",");
}

TEST_F(RegistryStoreTest, ForeignTypesEnumerateAsOtherAndReverseIterationDeletesAll) {
    VProfileStore store(&m_factory);
    VProfileKey key(store.GetRootKey(), u"K");
    ASSERT_TRUE(key.SetDword(u"b", 1));
    ASSERT_TRUE(key.SetString(u"c", u"x"));
    const uint8_t qword[8] = {1};
    ASSERT_EQ(OpenHive()->SetValue(Find(*OpenHive(), u"K"), u"a", kRegQword, qword, sizeof qword),
              kSuccess);
    EXPECT_TRUE(Listing(key, true).starts_with("a:" + std::to_string(kValueKindForeign) + ","));
    uint32_t size = 0;
    EXPECT_FALSE(key.QueryBinary(u"a", nullptr, size));
    EXPECT_EQ(key.GetReport().GetMessageId(), kDatatypeMismatch);

    std::unique_ptr<VProfilePrivateKey> backend(key.OpenSubKey(u"", nullptr));
    VRegistryKey::ReverseIterator reverse(static_cast<VRegistryKey&>(*backend), true);
    std::string order;
    for (VUnicodeString name; reverse.Next(name);) {
        order += name.ToUtf8();
        EXPECT_TRUE(key.DeleteValue(name.c_str()));
    }
    EXPECT_EQ(order, "cba");
    EXPECT_EQ(Listing(key, true), "");
}

TEST_F(RegistryStoreTest, HiveMarkedReadOnlyOpensReadOnlyAndIsLeftAlone) {
    WriteV5();
    EXPECT_EQ(fs::status(Hive()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    // The owner-write bit decides, so this holds for root too.
    fs::permissions(Hive(), fs::perms::owner_read);
    const std::string before = ReadFileBytes(Hive());
    {
        VProfileStore store(&m_factory);
        VProfileKey key(store.GetRootKey(), u"K");
        EXPECT_FALSE(key.IsWritable());
        EXPECT_EQ(Dword(VProfileKey(store.GetRootKey(), u"K"), u"v"), 5u);
        EXPECT_FALSE(key.SetDword(u"v", 6));
        EXPECT_EQ(key.GetReport().GetMessageId(), kAccessDenied);
        EXPECT_FALSE(VProfileKey(store.GetRootKey(), u"New").IsWritable());
    }
    EXPECT_EQ(ReadFileBytes(Hive()), before);

    // An empty file is no hive yet: a writable open makes it one.
    const fs::path empty = m_dir / "empty" / "HKEY_CURRENT_USER.db";
    WriteFileBytes(empty, "");
    {
        VRegistryStoreFactory factory(VRegistryRoot::CurrentUser, u"S", empty.parent_path());
        VProfileStore store(&factory);
        EXPECT_TRUE(VProfileKey(store.GetRootKey(), u"K").SetDword(u"v", 1));
    }
    EXPECT_GT(fs::file_size(empty), 0u);

    // A file that is no hive is never overwritten.
    WriteFileBytes(Folder() / "HKEY_LOCAL_MACHINE.db", "not a database");
    VRegistryStoreFactory factory(VRegistryRoot::LocalMachine, u"Software", Folder());
    VProfileStore store(&factory);
    EXPECT_EQ(store.GetRootKey().GetReport().GetMessageId(), kRegistryCorrupt);
    EXPECT_FALSE(store.GetRootKey().SetDword(u"v", 1));
    EXPECT_EQ(ReadFileBytes(Folder() / "HKEY_LOCAL_MACHINE.db"), "not a database");
}

TEST_F(RegistryStoreTest, HiveTheUserMayNotWriteIsReadButNotWritten) {
    WriteV5();
    // Root may write anywhere: it reads as the unprivileged user instead, from a hive and folder
    // that user may only read.
    const bool root = ::geteuid() == 0;
    const auto readable = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    for (const fs::path& folder : {m_dir.path(), Folder()})
        fs::permissions(folder, readable | (root ? fs::perms::owner_write : fs::perms::none));
    if (root) fs::permissions(Hive(), readable & ~fs::perms::owner_exec);
    const int status = RunUnprivileged([&] {
        VProfileStore store(&m_factory);
        VProfileKey key(store.GetRootKey(), u"K");
        return key.IsWritable() ? 1 : Dword(key, u"v") != 5u ? 2 : key.SetDword(u"v", 6) ? 3 : 0;
    });
    EXPECT_EQ(status, 0) << "1 writable, 2 not read as written, 3 written";
}

TEST_F(RegistryStoreTest, TwoStoresShareOneHive) {
    VProfileStore first(&m_factory), second(&m_factory);
    VProfileKey a(first.GetRootKey(), u"K"), b(second.GetRootKey(), u"K");
    ASSERT_TRUE(a.SetDword(u"one", 1));
    VProfileKeyIterator it(b, true);
    VUnicodeString one, two;
    ASSERT_TRUE(it.Next(one));
    // The other connection's change shows in an enumeration already under way.
    ASSERT_TRUE(a.SetDword(u"two", 2));
    ASSERT_TRUE(it.Next(two));
    EXPECT_EQ(one.ToUtf8() + two.ToUtf8(), "onetwo");

    // A read-only store reads one snapshot; the next one sees what changed since, though it may
    // reuse the same connection.
    for (uint32_t expected : {2u, 3u}) {
        {
            VProfileStore reader(true, &m_factory);
            EXPECT_EQ(Dword(VProfileKey(reader.GetRootKey(), u"K"), u"two"), expected);
            ASSERT_TRUE(a.SetDword(u"two", 9));
            EXPECT_EQ(Dword(VProfileKey(reader.GetRootKey(), u"K"), u"two"), expected);
        }
        ASSERT_TRUE(a.SetDword(u"two", expected + 1));
    }

    ASSERT_TRUE(first.GetRootKey().DeleteSubKey(u"K"));
    EXPECT_FALSE(b.SetDword(u"three", 3));
    EXPECT_EQ(b.GetReport().GetMessageId(), kKeyDeleted);
    // Made again, the key starts empty: its old values went with it.
    VProfileKey again(first.GetRootKey(), u"K");
    EXPECT_EQ(Listing(again, true), "");
}

TEST_F(RegistryStoreTest, KilledWriterLosesNothingItReportedDone) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = Child([&] {
        ::close(pipeFds[0]);
        VProfileStore store(&m_factory);
        // Every tenth write creates a key too, so both kinds of transaction are cut short.
        for (uint32_t i = 0;; ++i) {
            VProfileKey key(store.GetRootKey(), (u"K" + Number(i / 10)).c_str());
            if (!key.SetDword((u"v" + Number(i)).c_str(), i)) return 1;
            if (::write(pipeFds[1], &i, sizeof i) != sizeof i) return 2;
        }
    });
    ASSERT_GE(child, 0);
    ::close(pipeFds[1]);
    uint32_t done = 0;
    while (done < 300)
        ASSERT_EQ(::read(pipeFds[0], &done, sizeof done), static_cast<ssize_t>(sizeof done));
    ::kill(child, SIGKILL);
    for (uint32_t last = 0; ::read(pipeFds[0], &last, sizeof last) == sizeof last;) done = last;
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    EXPECT_EQ(OpenHive()->IntegrityCheck(), "ok");
    VProfileStore store(true, &m_factory);
    for (uint32_t i = 0; i <= done; ++i) {
        VProfileKey key(store.GetRootKey(), (u"K" + Number(i / 10)).c_str());
        ASSERT_EQ(Dword(key, (u"v" + Number(i)).c_str()), i) << "write " << i << " of " << done;
    }
}

TEST_F(RegistryStoreTest, TwoProcessesCreateAndWriteOneHiveAtOnce) {
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = Child([&] {
            VProfileStore store(&m_factory);
            for (uint32_t i = 0; i < 100; ++i) {
                // Each change opens its own key, as short-lived callers do.
                VProfileKey key(store.GetRootKey(), c == 0 ? u"First" : u"Second");
                if (!key.SetDword(Number(i).c_str(), i)) return 1;
            }
            return 0;
        });
    }
    for (pid_t child : children) EXPECT_EQ(ExitStatus(child), 0) << "a write was refused";
    VProfileStore store(true, &m_factory);
    for (const char16_t* keyName : {u"First", u"Second"}) {
        VProfileKey key(store.GetRootKey(), keyName);
        const std::string listed = Listing(key, true);
        EXPECT_EQ(std::count(listed.begin(), listed.end(), ','), 100);
    }
    for (const auto& entry : fs::directory_iterator(Folder()))
        EXPECT_EQ(entry.path().filename().string().find(".new-"), std::string::npos)
            << "a temporary hive was left behind";
}

TEST_F(RegistryStoreTest, MoveAndCopyCarryEveryRegistryTypeAndKeySecurity) {
    const VSecurityDescriptor fallback(std::vector<uint8_t>{1, 2}), inner(std::vector<uint8_t>{7});
    m_factory.SetDefaultSecurityDescriptor(&fallback);
    {
        VProfileStore store(&m_factory);
        VProfileKey key(store.GetRootKey(), u"Src\\k");
        ASSERT_TRUE(key.SetSecurityDescriptor(u"SD", inner));
        std::unique_ptr<VProfilePrivateKey> below(key.OpenSubKey(u"Inner", &inner));
        ASSERT_TRUE(below->SetDword(u"D", 5));
    }
    const uint8_t qword[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    {
        auto hive = OpenHive();
        const VRegistryHive::KeyId key = Find(*hive, u"Src\\k");
        ASSERT_EQ(hive->SetValue(key, u"Q", kRegQword, qword, sizeof qword), kSuccess);
        ASSERT_EQ(hive->SetValue(key, u"X", kRegExpandSz, "%\0\0", 4), kSuccess);
    }
    VProfileStore store(&m_factory);
    ASSERT_TRUE(store.GetRootKey().CopySubKey(u"Src\\k", u"Copy"));
    ASSERT_TRUE(store.GetRootKey().MoveSubKey(u"Src\\k", u"Dst\\Moved"));
    EXPECT_FALSE(store.GetRootKey().SubKeyExists(u"Src\\k"));
    for (const std::u16string base : {u"Copy", u"Dst\\Moved"}) {
        // REG_QWORD 11, REG_EXPAND_SZ 2, REG_BINARY 3, REG_DWORD 4.
        EXPECT_EQ(Stored(base, u"Q") + " " + Stored(base, u"X") + " " + Stored(base, u"SD") + " " +
                      Stored(base + u"\\Inner", u"D") + " " + Security(base) + " " +
                      Security(base + u"\\Inner"),
                  "11:0102030405060708 2:25000000 3:07 4:05000000 0102 07");
    }
    // The folder made for the move has the store's default, until it is given another.
    VSecurityDescriptor made;
    std::unique_ptr<VProfilePrivateKey> dst(store.GetRootKey().OpenSubKey(u"Dst", nullptr));
    auto& folder = static_cast<VRegistryKey&>(*dst);
    ASSERT_TRUE(folder.QueryKeySecurity(made));
    EXPECT_EQ(made, fallback);
    ASSERT_TRUE(folder.SetKeySecurity(inner));
    ASSERT_TRUE(folder.QueryKeySecurity(made));
    EXPECT_EQ(made, inner);
    EXPECT_EQ(OpenHive()->IntegrityCheck(), "ok");
}

TEST_F(RegistryStoreTest, OfSeveralProcessesCreatingOneKeyExactlyOneSucceeds) {
    constexpr int kProcesses = 4;
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    pid_t children[kProcesses];
    for (int c = 0; c < kProcesses; ++c) {
        children[c] = Child([&] {
            ::close(go[1]);
            VProfileStore store(&m_factory);
            VProfileKey key(store.GetRootKey(), u"Sessions\\Race");
            key.SetCreateExclusive();
            // Every process has opened the key before any of them writes.
            char byte = 0;
            if (::read(go[0], &byte, 1) != 1) return 3;
            key.SetDword(u"Winner", static_cast<uint32_t>(c));
            key.SetDword(u"Also", static_cast<uint32_t>(c));
            return key.Flush() ? 0 : key.GetReport().GetMessageId() == EEXIST ? 1 : 2;
        });
    }
    ::close(go[0]);
    // Each child waits for its own byte after opening; the pause lets all open first.
    ::usleep(200 * 1000);
    const char bytes[kProcesses] = {};
    ASSERT_EQ(::write(go[1], bytes, kProcesses), kProcesses);
    ::close(go[1]);
    // Exit 0 won, 1 was refused as EEXIST; exactly one wins and both its values are there.
    std::string outcomes;
    uint32_t winner = 99;
    for (int c = 0; c < kProcesses; ++c) {
        const int status = ExitStatus(children[c]);
        outcomes += std::to_string(status);
        if (status == 0) winner = static_cast<uint32_t>(c);
    }
    std::sort(outcomes.begin(), outcomes.end());
    EXPECT_EQ(outcomes, "0111");
    VProfileStore store(true, &m_factory);
    EXPECT_EQ(Dword(VProfileKey(store.GetRootKey(), u"Sessions\\Race"), u"Winner"), winner);
    EXPECT_EQ(Dword(VProfileKey(store.GetRootKey(), u"Sessions\\Race"), u"Also"), winner);
}
