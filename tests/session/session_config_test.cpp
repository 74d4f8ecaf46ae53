// Saved sessions: load rules, the stored order of a new session, round trips, the default session
// and copies.
#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "data/log_file.h"
#include "profile/ini_store.h"
#include "session/serial_device_config.h"
#include "session/session_config.h"
#include "session/session_fixture.h"
#include "support/golden.h"
#include "support/library_host.h"
#include "support/memory_store.h"
#include "support/record_members.h"
#include "support/temp_dir.h"
#include "support/test_bytes.h"

using namespace sessiondeck;

namespace {

// Numbers joined by spaces, to compare several members at once.
std::string Join(std::initializer_list<long long> numbers) {
    std::string text;
    for (const long long n : numbers) text += (text.empty() ? "" : " ") + std::to_string(n);
    return text;
}

using Stored = std::variant<uint32_t, const char16_t*, VStringArray>;

class Sessions : public ::testing::Test {
protected:
    // A session loaded from "Sessions\<name>" after these values were written into that key.
    SessionPtr Load(const char16_t* name,
                    std::initializer_list<std::pair<const char16_t*, Stored>> values = {}) {
        VProfileStore store(false, &memory);
        VProfileKey key(store.GetRootKey(), std::u16string(u"Sessions\\") + name);
        for (const auto& [value, stored] : values) {
            if (const auto* dword = std::get_if<uint32_t>(&stored)) key.SetDword(value, *dword);
            if (const auto* text = std::get_if<const char16_t*>(&stored))
                key.SetString(value, *text);
            if (const auto* list = std::get_if<VStringArray>(&stored))
                key.SetStringArray(value, *list);
        }
        return SessionPtr(new SessionConfig(name, &key));
    }

    LibraryHost library;
    MemoryStoreFactory& memory = library.memory;
};

}  // namespace

// The value files of a new session (every value in table order: the plain settings, the two
// protocol names, the terminal's and the printer port's, with kind and default bytes) and of a
// serial port record's defaults under its prefixed names.
TEST_F(Sessions, NewSessionValueFileIsTheGoldenOne) {
    TempDir dir;
    VIniFileStoreFactory ini(VUnicodeString::FromUtf8(dir.path().string()));
    SessionPtr session(new SessionConfig(u"New", nullptr));
    EXPECT_FALSE(session->IsPersistent());
    {
        VProfileStore store(false, &ini);
        VProfileKey key(store.GetRootKey(), u"Sessions\\New"),
            global(store.GetRootKey(), u"Global");
        session->Save(&key, false);
        VSerialDeviceConfig(&global, u"Printer ", u"Printer Port").Save(&global, false);
        ASSERT_TRUE(key.Flush() && global.Flush());
    }
    ExpectMatchesGolden("session/new-session.ini", ReadFileBytes(dir / "Sessions/New.ini"));
    ExpectMatchesGolden("session/serial-defaults.ini", ReadFileBytes(dir / "Global.ini"));
}

TEST_F(Sessions, SavedAndReloadedSessionRewritesNothing) {
    AddRow(3, u"SSH2");
    AddRow(6, u"SFTP");
    auto first = Load(u"Old", {{u"Idle Timeout", 0u},
                               {u"Max Transfer Buffers", 9u},
                               {u"Log Filename", u"%S.log"},
                               {u"Emulation", u"SCO-ANSI"}});
    VProfileStore store(false, &memory);
    VProfileKey key(store.GetRootKey(), u"Sessions\\Old");
    first->Save(&key, false);
    EXPECT_GT(memory.WriteCount(u"Idle Timeout"), 0);
    memory.ClearWrites();

    auto second = Load(u"Old");
    EXPECT_FALSE(second->IsModified());
    second->Save(&key, false);
    EXPECT_EQ(memory.WrittenNames(), std::vector<VUnicodeString>{});
    EXPECT_EQ(second->terminal.emulation.Get(), u"SCOANSI");
}

TEST_F(Sessions, LoadBringsValuesIntoRange) {
    auto zero = Load(u"A", {{u"Idle Timeout", 0u},
                            {u"Max Transfer Buffers", 8u},
                            {u"XModem Send Packet Size", 128u},
                            {u"Use Raw Mode", 1u},
                            {u"Use Printer Port", 1u},
                            {u"Idle NO-OP Timeout", 3u}});
    EXPECT_EQ(Join({zero->idleCheck.Get(), zero->idleTimeout.Get(), zero->maxTransferBuffers.Get(),
                    zero->xmodemSendPacketSize.Get(), zero->usePrinterPort.Get(),
                    zero->idleNoOpTimeout.Get()}),
              "0 300 8 0 0 10");
    auto small = Load(u"B", {{u"Idle Timeout", 5u}, {u"Max Transfer Buffers", 9u}});
    EXPECT_EQ(
        Join({small->idleCheck.Get(), small->idleTimeout.Get(), small->maxTransferBuffers.Get()}),
        "1 10 4");
    // A stored "Idle Check" wins over the rule for keys that lack it.
    auto stored = Load(u"C", {{u"Idle Timeout", 20000000u}, {u"Idle Check", 0u}});
    EXPECT_EQ(Join({stored->idleCheck.Get(), stored->idleTimeout.Get()}), "0 9999999");
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
    auto session = Load(u"Orig", {{u"Log Mode", 1u}, {u"Log Multiple Sessions", 1u}});
    EXPECT_EQ(session->GetMode(), 1 | 8);
    session->titleBar = VUnicodeString(u"changed");
    session->Checkpoint();
    session->SetShiftForcesLocalMouse(false);
    session->paperSize = 9;
    session->terminal.rows = 50;

    // Only what changed since the checkpoint travels to another session.
    auto other = Load(u"Other", {{u"Printer Name", u"lp0"}});
    other->ApplyDelta(session.get());
    EXPECT_EQ(Join({other->paperSize.Get(), other->terminal.rows.Get(),
                    other->GetShiftForcesLocalMouse()}),
              "9 50 0");
    EXPECT_EQ(other->printerName.Get(), u"lp0");
    EXPECT_EQ(other->titleBar.Get(), u"");
}

TEST_F(Sessions, ConnectionsDescriptionAndCommandLine) {
    for (const auto& [product, name] :
         {std::pair{3, u"SSH2"}, {3, u"Serial"}, {6, u"SFTP"}, {6, u"FTP"}})
        AddRow(product, name);
    auto serial = Load(u"Line", {{u"Protocol Name", u"Serial"},
                                 {u"Transfer Protocol Name", u""},
                                 {u"Fake Host", u"COM1"},
                                 {u"Description", VStringArray{u"first", u"second"}}});
    EXPECT_EQ(serial->GetTransferProtocol(), u"None");
    EXPECT_FALSE(serial->IsFRVSession());
    EXPECT_EQ(serial->GetSessionDeckDescription().str(), u"Port: COM1\nfirst\r\nsecond");
    EXPECT_EQ(serial->CommandLine().str(), u"/S \"Line\"");
    serial->GetTermConnectConfig()->SetCommandLineFlag(1);
    EXPECT_EQ(serial->CommandLine().str(), u" /SSH2 COM1");

    auto anonymous =
        Load(u"Ftp", {{u"Transfer Protocol Name", u"ftp"}, {u"Fake User", u"Anonymous"}});
    EXPECT_EQ(anonymous->IsAnonymousLogin(), 1);
    anonymous->SetTransferProtocol(u"SFTP");
    EXPECT_EQ(anonymous->IsAnonymousLogin(), 0);
    auto named = Load(u"Named", {{u"Transfer Protocol Name", u"FTP"}, {u"Fake User", u"joe"}});
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

// What a log file of the session writes besides its output (test_data holds how it writes it).
TEST_F(Sessions, LoggingOptionsAreTheSessionsMessagesNameAndHost) {
    AddRow(3, u"SSH2");
    auto session = Load(u"Web", {{u"Protocol Name", u"SSH2"},
                                 {u"Fake Host", u"fe80::1"},
                                 {u"Custom Log Message Connect", u"up %S"},
                                 {u"Custom Log Message Disconnect", u"down"},
                                 {u"Custom Log Message Each Line", u"> "},
                                 {u"Log Only Custom", 1u}});
    const LogFileOptions o = session->GetLoggingOptions();
    EXPECT_EQ(o.connectMessage.str() + u"|" + o.disconnectMessage.str() + u"|" +
                  o.eachLineMessage.str() + u"|" + o.sessionName.str() + u"|" + o.hostName.str(),
              u"up %S|down|> |Web|fe80::1");
    EXPECT_TRUE(o.logOnlyCustom);
}

TEST_F(Sessions, CopyCarriesEveryMemberOfTheTable) {
    SessionPtr session = Load(u"Orig");
    auto& record = static_cast<SessionConfig::Record&>(*session);
    const auto defaults = test_support::ShownMembers(record);
    // Every member that takes a text; the connections and the terminal settings take none.
    EXPECT_GT(test_support::ChangeEveryMember(record), 60);
    const auto changed = test_support::ShownMembers(record);
    EXPECT_EQ(test_support::SameMembers(record, defaults, changed), "");

    SessionPtr copy(static_cast<SessionConfig*>(session->Clone()));
    auto& copied = static_cast<SessionConfig::Record&>(*copy);
    EXPECT_EQ(test_support::ShownMembers(copied), changed);
    // The checkpoint travels too: the copy counts as changed, and rolls back to the defaults.
    EXPECT_TRUE(copy->IsModified());
    copy->Rollback();
    EXPECT_EQ(test_support::ShownMembers(copied), defaults);
}
