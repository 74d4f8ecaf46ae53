// Connect configurations over a protocol table of in-process rows: protocol choice from the
// store, switching with the carry map, saving, checkpoints and the "None" protocol.
#include <gtest/gtest.h>

#include "session/connect_config.h"
#include "support/memory_store.h"

using namespace sessiondeck;

namespace {

// A protocol configuration with one stored value, the host, which it also
// hands on through the carry map.
class FakeConfig : public NoneConfig {
public:
    explicit FakeConfig(VProfileKey* key) {
        if (key) key->QueryString(u"Fake Host", m_host);
        m_saved = m_host;
    }
    static ConnectConfig* Create(VProfileKey* key, ICommonConfig*) { return new FakeConfig(key); }
    ConnectConfig* Clone(ICommonConfig*) const override { return new FakeConfig(*this); }
    void Save(VProfileKey* key, bool) override {
        key->SetString(u"Fake Host", m_host.c_str());
        m_saved = m_host;
    }
    bool IsModified() const override { return m_host != m_saved; }
    void Checkpoint() override { m_saved = m_host; }
    void Rollback() override { m_host = m_saved; }
    VUnicodeString GetHostname() override { return m_host; }
    void SetHostname(const char16_t* host) override { m_host = host; }
    void SaveToMap(ConnectCarryMap& map) override { map.SetAt(u"Hostname", &m_host); }
    void LoadFromMap(const ConnectCarryMap& map) override {
        void* host = nullptr;
        if (map.Lookup(u"Hostname", host)) m_host = *static_cast<VUnicodeString*>(host);
    }

private:
    VUnicodeString m_host;
    VUnicodeString m_saved;
};

class ConnectConfigs : public ::testing::Test {
protected:
    void SetUp() override { GetConnectProtocolTable().ResetForTesting(); }
    void TearDown() override { GetConnectProtocolTable().ResetForTesting(); }

    static void AddRow(int product, const char16_t* name, bool none = false) {
        ConnectProtocolTableElement row;
        row.productId = product;
        row.protocolName = name;
        row.Create = none ? &NoneConfig::Create : &FakeConfig::Create;
        GetConnectProtocolTable().Add(row);
    }
    // Vetralon's rows and, with `transfer`, Ferrivo's.
    static void AddTerminalTable(bool transfer) {
        AddRow(3, u"SSH2");
        AddRow(3, u"Telnet");
        AddRow(3, u"TAPI");
        if (transfer) AddRow(6, u"SFTP");
    }
    void Put(const char16_t* name, const char16_t* value) {
        VProfileStore store(&factory);
        VProfileKey key(store.GetRootKey(), u"S");
        key.SetString(name, value);
    }
    const MemoryValue* Stored(const char16_t* name) const { return factory.Find(u"S", name); }

    MemoryStoreFactory factory;
    CommonConfig common;
};

}  // namespace

TEST_F(ConnectConfigs, StoredNamePicksTheRowAndTapiAlwaysExistsOnTheTerminalSide) {
    AddTerminalTable(true);
    Put(u"Protocol Name", u"telnet");
    Put(u"Fake Host", u"h1");
    Put(u"Transfer Protocol Name", u"Telnet");
    VProfileStore store(&factory);
    VProfileKey key(store.GetRootKey(), u"S");

    ConnectConfigPtr terminal(&key, ConnectConfigPtr::kTerminalMode, &common);
    EXPECT_EQ(terminal.Protocol(), u"telnet");
    EXPECT_EQ(terminal.GetCurrentRow(), 1);
    EXPECT_EQ(terminal->GetHostname(), u"h1");
    EXPECT_NE(terminal.GetConfigAt(2), nullptr);  // TAPI
    EXPECT_EQ(terminal.GetConfigAt(0), nullptr);
    EXPECT_FALSE(terminal.IsModified());

    // Telnet is no transfer protocol: the transfer side falls back to SFTP.
    ConnectConfigPtr transfer(&key, ConnectConfigPtr::kTransferMode, &common);
    EXPECT_EQ(transfer.Protocol(), u"SFTP");
    EXPECT_EQ(transfer.GetCurrentRow(), 3);
}

TEST_F(ConnectConfigs, BlankMissingAndNoneNamesWithAndWithoutRowsOfTheMode) {
    AddTerminalTable(false);
    Put(u"Protocol Name", u"");
    Put(u"Transfer Protocol Name", u"None");
    VProfileStore store(&factory);
    VProfileKey key(store.GetRootKey(), u"S");
    ConnectConfigPtr terminal(&key, ConnectConfigPtr::kTerminalMode, &common);
    EXPECT_TRUE(terminal.ProtocolWasBlank());
    EXPECT_EQ(terminal.Protocol(), u"SSH2");

    // No transfer rows: "None" is kept, anything else becomes empty.
    ConnectConfigPtr none(&key, ConnectConfigPtr::kTransferMode, &common);
    EXPECT_EQ(none.Protocol(), u"None");
    EXPECT_EQ(static_cast<ConnectConfig*>(none), nullptr);
    EXPECT_EQ(ConnectConfigPtr(nullptr, ConnectConfigPtr::kTransferMode, &common).Protocol(), u"");
}

TEST_F(ConnectConfigs, SwitchingCarriesValuesAndTheDefaultFlagAndReturnsToEarlierConfigs) {
    AddTerminalTable(false);
    ConnectConfigPtr terminal(nullptr, ConnectConfigPtr::kTerminalMode, &common);
    terminal.Checkpoint();
    terminal->SetDefaultSessionFlag(1);
    terminal->SetHostname(u"first");
    ConnectConfig* ssh2 = terminal;

    terminal.SetProtocol(u"Telnet", &common);
    EXPECT_EQ(terminal->GetHostname(), u"first");
    EXPECT_EQ(terminal->GetDefaultSessionFlag(), 1);
    terminal->SetHostname(u"second");

    terminal.SetProtocol(u"SSH2", &common);
    EXPECT_EQ(static_cast<ConnectConfig*>(terminal), ssh2);
    EXPECT_EQ(terminal->GetHostname(), u"second");

    // The exact name selects; a name in another case matches no row.
    terminal.SetProtocol(u"telnet", &common);
    EXPECT_EQ(terminal.GetCurrentRow(), -1);
    EXPECT_EQ(static_cast<ConnectConfig*>(terminal), nullptr);
    terminal.Rollback();
    EXPECT_EQ(terminal.GetCurrentRow(), 0);
    EXPECT_EQ(terminal.Protocol(), u"SSH2");
}

TEST_F(ConnectConfigs, SaveWritesTheNameAndOnlyARealProtocolsValues) {
    AddTerminalTable(false);
    AddRow(3, u"None", true);
    VProfileStore store(&factory);
    VProfileKey key(store.GetRootKey(), u"S");
    ConnectConfigPtr terminal(nullptr, ConnectConfigPtr::kTerminalMode, &common);
    terminal->SetHostname(u"h");
    EXPECT_TRUE(terminal.IsModified());
    terminal.Save(&key, false);
    ASSERT_NE(Stored(u"Protocol Name"), nullptr);
    EXPECT_EQ(Stored(u"Protocol Name")->string, u"SSH2");
    EXPECT_EQ(Stored(u"Fake Host")->string, u"h");

    MemoryStoreFactory other;
    VProfileStore otherStore(&other);
    VProfileKey otherKey(otherStore.GetRootKey(), u"S");
    terminal.SetProtocol(u"None", &common);
    EXPECT_FALSE(terminal.IsModified());
    terminal.Save(&otherKey, true);
    EXPECT_EQ(other.ValueNames(u"S"), std::vector<VUnicodeString>{u"Protocol Name"});
}

TEST_F(ConnectConfigs, CopiesCloneOnlyTheCurrentConfigAndDeltasNeedTheSameRow) {
    AddTerminalTable(false);
    ConnectConfigPtr source(nullptr, ConnectConfigPtr::kTerminalMode, &common);
    source->SetHostname(u"src");
    CommonConfig otherCommon;
    ConnectConfigPtr copy(source, &otherCommon);
    EXPECT_NE(static_cast<ConnectConfig*>(copy), static_cast<ConnectConfig*>(source));
    EXPECT_EQ(copy.GetConfigAt(2), nullptr);  // TAPI is not copied

    ConnectConfigPtr target(nullptr, ConnectConfigPtr::kTerminalMode, &common);
    target.SetProtocol(u"Telnet", &common);
    target.SetConnectConfig(source, &common);
    EXPECT_EQ(target.Protocol(), u"SSH2");
    EXPECT_EQ(target->GetHostname(), u"src");
    EXPECT_EQ(target.GetConfigAt(1), nullptr);

    ConnectConfigPtr telnet(nullptr, ConnectConfigPtr::kTerminalMode, &common);
    telnet.SetProtocol(u"Telnet", &common);
    telnet->SetHostname(u"changed");
    const VUnicodeString before = target->GetHostname();
    target.ApplyDelta(&telnet);  // another protocol: ignored
    EXPECT_EQ(target->GetHostname(), before);
}

TEST_F(ConnectConfigs, ValidateProtocolNameKeepsKnownNamesPerSideAndEmptiesOthers) {
    std::u16string traced;
    SetProtocolTraceSink([&](std::u16string_view text) { traced += text; });
    VUnicodeString name = u"ssh2";
    EXPECT_TRUE(ConnectConfigPtr::ValidateProtocolName(true, name));
    EXPECT_EQ(name, u"ssh2");
    name = u"ftp/ssl (EXPLICIT)";
    EXPECT_TRUE(ConnectConfigPtr::ValidateProtocolName(false, name));
    name = u"None";
    EXPECT_TRUE(ConnectConfigPtr::ValidateProtocolName(false, name));
    EXPECT_TRUE(traced.empty());
    name = u"SSH2";
    EXPECT_FALSE(ConnectConfigPtr::ValidateProtocolName(false, name));
    EXPECT_TRUE(name.IsEmpty());
    EXPECT_EQ(traced, u"Unknown protocol \"SSH2\" using default protocol.\n");
    SetProtocolTraceSink(nullptr);
}
