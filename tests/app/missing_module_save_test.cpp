// A host that did not load a protocol's module saves a session without touching that protocol's
// name or values, with the real modules.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "session/session_config.h"
#include "session/session_database.h"
#include "support/library_host.h"

using namespace sessiondeck;

namespace {

using Session = VUnknownPointer<SessionConfig>;
constexpr const char16_t* kKey = u"Sessions\\web";

// Every value of the session's key as the store holds it.
std::map<std::u16string, MemoryValue> Snapshot(const MemoryStoreFactory& store) {
    std::map<std::u16string, MemoryValue> values;
    for (const VUnicodeString& name : store.ValueNames(kKey))
        values[name.str()] = *store.Find(kKey, name.str());
    return values;
}

bool SameValue(const MemoryValue& a, const MemoryValue& b) {
    return a.kind == b.kind && a.dword == b.dword && a.string == b.string && a.binary == b.binary &&
           a.strings == b.strings;
}

class MissingModule : public ::testing::Test {
protected:
    // Starts anew as `host`, with only `modules` in its protocol folder.
    void BecomeHost(const char16_t* host, int product, std::initializer_list<const char*> modules) {
        library.Become(host);
        ASSERT_TRUE(library.LoadProtocols(product, modules));
    }
    Session Lookup() {
        SessionDatabase db;
        return Session::Adopt(dynamic_cast<SessionConfig*>(db.Lookup(VUnicodeString(u"web"))));
    }

    LibraryHost library;
    MemoryStoreFactory& memory = library.memory;
};

}  // namespace

TEST_F(MissingModule, TerminalHostWithoutTransferModulesKeepsTheSftpSettings) {
    // The terminal application makes the session, the file-transfer one adds
    // its side: each without the other's modules.
    BecomeHost(u"Vetralon", ProductId(Product::Vetralon), {"SSH2.so"});
    {
        Session session = Session::Adopt(new SessionConfig(VUnicodeString(u"web"), nullptr));
        session->SetSessionPath(VUnicodeString(u"web"));
        session->SetTerminalProtocol(u"SSH2");
        ASSERT_NE(session->GetTermConnectConfig(), nullptr);
        session->GetTermConnectConfig()->SetHostname(u"shell.example.org");
        ASSERT_TRUE(SessionDatabase().Save(session.Get(), false));
    }
    BecomeHost(u"Ferrivo", ProductId(Product::Ferrivo), {"SFTP.so"});
    {
        Session session = Lookup();
        ASSERT_TRUE(session);
        session->SetTransferProtocol(u"SFTP");
        ConnectConfig* sftp = session->GetTransferConnectConfig();
        ASSERT_NE(sftp, nullptr);
        sftp->SetHostname(u"files.example.org");
        sftp->SetPort(2022);
        sftp->SetUsername(u"alice");
        ASSERT_TRUE(SessionDatabase().Save(session.Get(), false));
    }
    EXPECT_EQ(memory.Find(kKey, u"Protocol Name")->string, u"SSH2");
    const auto stored = Snapshot(memory);
    ASSERT_EQ(stored.at(u"Transfer Protocol Name").string, u"SFTP");
    ASSERT_EQ(stored.at(u"[SFTP] Port").dword, 2022u);

    BecomeHost(u"Vetralon", ProductId(Product::Vetralon), {"SSH2.so"});
    {
        Session session = Lookup();
        ASSERT_TRUE(session);
        // What this host sees is unchanged: it has no transfer protocol.
        EXPECT_EQ(session->GetTransferProtocol(), u"");
        EXPECT_EQ(session->GetTransferConnectConfig(), nullptr);
        EXPECT_FALSE(session->IsModified());
        session->logFilename = VUnicodeString(u"/var/log/%S.log");
        memory.ClearWrites();
        ASSERT_TRUE(SessionDatabase().Save(session.Get(), false));
        EXPECT_EQ(memory.WrittenNames(), std::vector<VUnicodeString>{u"Log Filename"});
        // A forced save, as applying the default session to all does, writes
        // the stored name again, and the same bytes.
        VProfileStore store(&memory);
        VProfileKey key(store.GetRootKey(), kKey);
        session->Save(&key, true);
    }
    const auto after = Snapshot(memory);
    EXPECT_EQ(after.size(), stored.size());
    EXPECT_EQ(after.at(u"Log Filename").string, u"/var/log/%S.log");
    for (const auto& [name, value] : stored) {
        if (name == u"Log Filename") continue;
        ASSERT_TRUE(after.count(name)) << VUnicodeString(name).ToUtf8() << " was dropped";
        EXPECT_TRUE(SameValue(after.at(name), value)) << VUnicodeString(name).ToUtf8();
    }
}

TEST_F(MissingModule, UnknownStoredProtocolStandsInUntilTheUserChooses) {
    BecomeHost(u"Ferrivo", ProductId(Product::Ferrivo), {"SFTP.so", "FTP.so"});
    {
        VProfileStore store(&memory);
        VProfileKey key(store.GetRootKey(), kKey);
        ASSERT_TRUE(key.SetDword(u"Is Session", 1));
        ASSERT_TRUE(key.SetString(u"Transfer Protocol Name", u"Telnet"));
        ASSERT_TRUE(key.SetString(u"Protocol Name", u"Quantum Link"));
    }
    Session session = Lookup();
    ASSERT_TRUE(session);
    // In use, the mode's default stands in for a name this host does not know ...
    EXPECT_EQ(session->GetTransferProtocol(), u"SFTP");
    EXPECT_FALSE(session->IsModified());
    SessionDatabase db;
    session->Checkpoint();
    ASSERT_TRUE(db.Save(session.Get(), false));
    EXPECT_EQ(memory.Find(kKey, u"Transfer Protocol Name")->string, u"Telnet");
    EXPECT_EQ(memory.Find(kKey, u"Protocol Name")->string, u"Quantum Link");
    // ... a rolled back change leaves it standing in ...
    session->Checkpoint();
    session->SetTransferProtocol(u"FTP");
    session->Rollback();
    EXPECT_EQ(session->GetTransferProtocol(), u"SFTP");
    ASSERT_TRUE(db.Save(session.Get(), false));
    EXPECT_EQ(memory.Find(kKey, u"Transfer Protocol Name")->string, u"Telnet");
    // ... and a protocol the user chooses is saved, even the stand-in's own.
    session->SetTransferProtocol(u"FTP");
    session->SetTransferProtocol(u"SFTP");
    ASSERT_TRUE(db.Save(session.Get(), false));
    EXPECT_EQ(memory.Find(kKey, u"Transfer Protocol Name")->string, u"SFTP");
}
