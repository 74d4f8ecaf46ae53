// Saved sessions: load rules, the stored order of a new session, round trips, the default session
// and copies.
#include <gtest/gtest.h>

#include <string>

#include "data/log_file.h"
#include "profile/ini_store.h"
#include "profile/secret_forms.h"
#include "session/session_config.h"
#include "support/golden.h"
#include "support/library_host.h"
#include "support/memory_store.h"
#include "support/record_members.h"
#include "support/temp_dir.h"
#include "support/test_bytes.h"

using namespace sessiondeck;

namespace {

// A protocol configuration keeping a host and a user under value names of its
// own; it can connect once it has a host.
class FakeConfig : public NoneConfig {
public:
    explicit FakeConfig(VProfileKey* key) {
        if (key) key->QueryString(u"Fake Host", m_host);
        if (key) key->QueryString(u"Fake User", m_user);
    }
    static ConnectConfig* Create(VProfileKey* key, ICommonConfig*) { return new FakeConfig(key); }
    ConnectConfig* Clone(ICommonConfig*) const override { return new FakeConfig(*this); }
    // Nothing of its own changes here, so only a full save writes.
    void Save(VProfileKey* key, bool force) override {
        if (force) key->SetString(u"Fake Host", m_host.c_str());
    }
    int CanConnect() const override { return m_host.IsEmpty() ? 0 : 1; }
    VUnicodeString GetHostname() override { return m_host; }
    VUnicodeString GetUsername() override { return m_user; }
    VUnicodeString CommandLine() override { return VUnicodeString(u" /SSH2 " + m_host.str()); }

private:
    VUnicodeString m_host;
    VUnicodeString m_user;
};

void AddRow(int product, const char16_t* name) {
    ConnectProtocolTableElement row;
    row.productId = product;
    row.protocolName = name;
    row.Create = &FakeConfig::Create;
    GetConnectProtocolTable().Add(row);
}

struct SessionDeleter {
    void operator()(SessionConfig* session) const { session->Release(); }
};
using SessionPtr = std::unique_ptr<SessionConfig, SessionDeleter>;

class Sessions : public ::testing::Test {
protected:
    // A session loaded from "Sessions\<name>" after `fill` wrote into that key.
    template <class Fill>
    SessionPtr Load(const char16_t* name, Fill fill) {
        VProfileStore store(false, &memory);
        VProfileKey key(store.GetRootKey(), std::u16string(u"Sessions\\") + name);
        fill(key);
        return SessionPtr(new SessionConfig(name, &key));
    }
    SessionPtr Load(const char16_t* name) {
        return Load(name, [](VProfileKey&) {});
    }
    void SaveTo(SessionConfig& session, const char16_t* name, bool force = false) {
        VProfileStore store(false, &memory);
        VProfileKey key(store.GetRootKey(), std::u16string(u"Sessions\\") + name);
        session.Save(&key, force);
    }

    LibraryHost library;
    MemoryStoreFactory& memory = library.memory;
};

}  // namespace

TEST_F(Sessions, NewSessionValueFileIsTheGoldenOne) {
    // The value file of a new session: every value in table order (the plain settings, the two
    // protocol names, the terminal's and the printer port's), with its kind and default bytes.
    TempDir dir;
    VIniFileStoreFactory ini(VUnicodeString::FromUtf8(dir.path().string()));
    SessionPtr session(new SessionConfig(u"New", nullptr));
    EXPECT_FALSE(session->IsPersistent());
    {
        VProfileStore store(false, &ini);
        VProfileKey key(store.GetRootKey(), u"Sessions\\New");
        session->Save(&key, false);
        ASSERT_TRUE(key.Flush());
    }
    ExpectMatchesGolden("session/new-session.ini", ReadFileBytes(dir / "Sessions/New.ini"));
}

TEST_F(Sessions, SavedAndReloadedSessionRewritesNothing) {
    AddRow(3, u"SSH2");
    AddRow(6, u"SFTP");
    auto first = Load(u"Old", [](VProfileKey& key) {
        key.SetDword(u"Idle Timeout", 0);
        key.SetDword(u"Max Transfer Buffers", 9);
        key.SetString(u"Log Filename", u"%S.log");
        key.SetString(u"Emulation", u"SCO-ANSI");
    });
    SaveTo(*first, u"Old");
    EXPECT_GT(memory.WriteCount(u"Idle Timeout"), 0);
    memory.ClearWrites();

    auto second = Load(u"Old");
    EXPECT_FALSE(second->IsModified());
    SaveTo(*second, u"Old");
    EXPECT_EQ(memory.WrittenNames(), std::vector<VUnicodeString>{});
    EXPECT_EQ(second->logFilename.Get(), u"%S.log");
    EXPECT_EQ(second->terminal.emulation.Get(), u"SCOANSI");
}

TEST_F(Sessions, LoadBringsValuesIntoRange) {
    auto zero = Load(u"A", [](VProfileKey& key) {
        key.SetDword(u"Idle Timeout", 0);
        key.SetDword(u"Max Transfer Buffers", 8);
        key.SetDword(u"XModem Send Packet Size", 128);
        key.SetDword(u"Use Raw Mode", 1);
        key.SetDword(u"Use Printer Port", 1);
        key.SetDword(u"Idle NO-OP Timeout", 3);
    });
    EXPECT_EQ(zero->idleCheck.Get(), 0);
    EXPECT_EQ(zero->idleTimeout.Get(), 300);
    EXPECT_EQ(zero->maxTransferBuffers.Get(), 8);
    EXPECT_EQ(zero->xmodemSendPacketSize.Get(), 0);
    EXPECT_EQ(zero->usePrinterPort.Get(), 0);
    EXPECT_EQ(zero->idleNoOpTimeout.Get(), 10);

    auto small = Load(u"B", [](VProfileKey& key) {
        key.SetDword(u"Idle Timeout", 5);
        key.SetDword(u"Max Transfer Buffers", 9);
    });
    EXPECT_EQ(small->idleCheck.Get(), 1);
    EXPECT_EQ(small->idleTimeout.Get(), 10);
    EXPECT_EQ(small->maxTransferBuffers.Get(), 4);

    // A stored "Idle Check" wins over the rule for keys that lack it.
    auto stored = Load(u"C", [](VProfileKey& key) {
        key.SetDword(u"Idle Timeout", 20000000);
        key.SetDword(u"Idle Check", 0);
    });
    EXPECT_EQ(stored->idleCheck.Get(), 0);
    EXPECT_EQ(stored->idleTimeout.Get(), 9999999);
}

TEST_F(Sessions, DataProtectedLoginScriptIsRewrittenScrambled) {
    ScopedKeyFolder keys;
    VReportMessageParams report;
    const auto capi = EncodeCapiString(u"login\\r", report);
    ASSERT_TRUE(capi);
    auto session =
        Load(u"Script", [&](VProfileKey& key) { key.SetString(u"Login Script", capi->c_str()); });
    EXPECT_EQ(session->loginScript.Get(), u"login\\r");
    const VUnicodeString stored = memory.Find(u"Sessions\\Script", u"Login Script")->string;
    EXPECT_FALSE(std::u16string_view(stored).starts_with(u"CAPI:"));
    EXPECT_EQ(DecodeScrambledString(stored.str()), VUnicodeString(u"login\\r"));
}

TEST_F(Sessions, DefaultSessionComesIntoBeingOnFirstUseOnly) {
    SessionPtr first(new SessionConfig(u"Default", nullptr));
    EXPECT_GT(memory.Writes().size(), 80u);
    memory.ClearWrites();
    SessionPtr second(new SessionConfig(u"Default", nullptr));
    EXPECT_TRUE(memory.Writes().empty());
    // The default session never becomes persistent by being given its path.
    second->SetSessionPath(u"Default");
    EXPECT_FALSE(second->IsPersistent());
}

TEST_F(Sessions, ModeFlagsAndDeltasCarryOnlyWhatChanged) {
    auto session = Load(u"Orig", [](VProfileKey& key) {
        key.SetDword(u"Log Mode", 1);
        key.SetDword(u"Log Multiple Sessions", 1);
    });
    EXPECT_EQ(session->GetMode(), 1 | 8);
    session->titleBar = VUnicodeString(u"changed");
    EXPECT_TRUE(session->GetShiftForcesLocalMouse());
    session->Checkpoint();
    session->SetShiftForcesLocalMouse(false);
    session->paperSize = 9;
    session->terminal.rows = 50;

    // Only what changed since the checkpoint travels to another session.
    auto other = Load(u"Other", [](VProfileKey& key) { key.SetString(u"Printer Name", u"lp0"); });
    other->ApplyDelta(session.get());
    EXPECT_EQ(other->paperSize.Get(), 9);
    EXPECT_EQ(other->terminal.rows.Get(), 50);
    EXPECT_FALSE(other->GetShiftForcesLocalMouse());
    EXPECT_EQ(other->printerName.Get(), u"lp0");
    EXPECT_EQ(other->titleBar.Get(), u"");
}

TEST_F(Sessions, ConnectionsDescriptionAndCommandLine) {
    AddRow(3, u"SSH2");
    AddRow(3, u"Serial");
    AddRow(6, u"SFTP");
    AddRow(6, u"FTP");
    auto serial = Load(u"Line", [](VProfileKey& key) {
        key.SetString(u"Protocol Name", u"Serial");
        key.SetString(u"Transfer Protocol Name", u"");
        key.SetString(u"Fake Host", u"COM1");
        key.SetStringArray(u"Description", VStringArray{u"first", u"second"});
    });
    EXPECT_EQ(serial->GetTransferProtocol(), u"None");
    EXPECT_FALSE(serial->IsFRVSession());
    EXPECT_EQ(serial->GetSessionDeckDescription().str(), u"Port: COM1\nfirst\r\nsecond");
    EXPECT_EQ(serial->CommandLine().str(), u"/S \"Line\"");
    serial->GetTermConnectConfig()->SetCommandLineFlag(1);
    EXPECT_EQ(serial->CommandLine().str(), u" /SSH2 COM1");

    auto anonymous = Load(u"Ftp", [](VProfileKey& key) {
        key.SetString(u"Transfer Protocol Name", u"ftp");
        key.SetString(u"Fake User", u"Anonymous");
    });
    EXPECT_EQ(anonymous->IsAnonymousLogin(), 1);
    anonymous->SetTransferProtocol(u"SFTP");
    EXPECT_EQ(anonymous->IsAnonymousLogin(), 0);
    auto named = Load(u"Named", [](VProfileKey& key) {
        key.SetString(u"Transfer Protocol Name", u"FTP");
        key.SetString(u"Fake User", u"joe");
    });
    EXPECT_EQ(named->IsAnonymousLogin(), 0);

    // The copy has connections of its own.
    SessionPtr copy(static_cast<SessionConfig*>(serial->Clone()));
    EXPECT_NE(copy->GetTermConnectConfig(), serial->GetTermConnectConfig());

    // A protocol without a loaded module leaves the side empty and says why.
    copy->SetRelevantProtocol(u"Telnet");
    EXPECT_EQ(copy->GetTermConnectConfig(), nullptr);
    EXPECT_EQ(copy->GetLastErrorMessage().str(),
              u"The protocol Telnet is not supported in this version.\r\n");
    copy->SetRelevantProtocol(u"SSH2");
    EXPECT_TRUE(copy->GetLastErrorMessage().IsEmpty());
}

TEST_F(Sessions, LogFileTakesTheSessionsCustomMessagesNameAndHost) {
    AddRow(3, u"SSH2");
    auto session = Load(u"Web", [](VProfileKey& key) {
        key.SetString(u"Protocol Name", u"SSH2");
        key.SetString(u"Fake Host", u"fe80::1");
        key.SetString(u"Custom Log Message Connect", u"up %S %H");
        key.SetString(u"Custom Log Message Disconnect", u"");
    });
    TempDir dir;
    LogFile log;
    log.SetLoggingOptions(session.get());
    VUnicodeString name = VUnicodeString::FromUtf8((dir.path() / "web.log").string());
    bool cancelled = false;
    ASSERT_TRUE(log.Open(name, 0, cancelled, true));
    log.LogConnect();
    log.LogDisconnect();
    log.Close();
    EXPECT_EQ(ReadFileBytes(dir.path() / "web.log"), "up Web fe80__1\r\n");
}

TEST_F(Sessions, CopyCarriesEveryMemberOfTheTable) {
    SessionPtr session = Load(u"Orig");
    auto& record = static_cast<SessionConfig::Record&>(*session);
    const auto defaults = test_support::ShownMembers(record);
    // Every member that takes a text; the connections and the terminal settings take none.
    EXPECT_GT(test_support::ChangeEveryMember(record), 60);
    const auto changed = test_support::ShownMembers(record);

    SessionPtr copy(static_cast<SessionConfig*>(session->Clone()));
    const auto copied = test_support::ShownMembers(static_cast<SessionConfig::Record&>(*copy));
    ASSERT_EQ(copied.size(), changed.size());
    for (size_t i = 0; i < changed.size(); ++i) {
        const VUnicodeString name = record.Lookup(static_cast<int>(i))->GetName();
        SCOPED_TRACE(std::string(name.str().begin(), name.str().end()));
        if (record.Lookup(static_cast<int>(i))->Kind() != SettingKind::kNone) {
            EXPECT_NE(changed[i], defaults[i]);
        }
        EXPECT_EQ(copied[i], changed[i]);
    }
    // The checkpoint travels too: the copy counts as changed, and rolls back to the defaults.
    EXPECT_TRUE(copy->IsModified());
    copy->Rollback();
    EXPECT_EQ(test_support::ShownMembers(static_cast<SessionConfig::Record&>(*copy)), defaults);
}
