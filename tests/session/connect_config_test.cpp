// Connect configurations over a protocol table of in-process rows: protocol choice from the
// store, switching with the carry map, saving, checkpoints and the "None" protocol.
#include <gtest/gtest.h>

#include "session/connect_config.h"
#include "session/session_fixture.h"
#include "support/memory_store.h"

using namespace sessiondeck;

namespace {

class ConnectConfigs : public ::testing::Test {
protected:
    void SetUp() override { GetConnectProtocolTable().ResetForTesting(); }
    void TearDown() override { GetConnectProtocolTable().ResetForTesting(); }

    // Vetralon's rows and, with `transfer`, Ferrivo's.
    static void AddTerminalTable(bool transfer) {
        AddRow(3, u"SSH2");
        AddRow(3, u"Telnet");
        AddRow(3, u"TAPI");
        if (transfer) AddRow(6, u"SFTP");
    }
    const MemoryValue* Stored(const char16_t* name) const { return factory.Find(u"S", name); }
    // "PROTOCOL #ROW HOST", the host "-" without a current configuration.
    static std::string State(ConnectConfigPtr& side) {
        ConnectConfig* current = side;
        return side.Protocol().ToUtf8() + " #" + std::to_string(side.GetCurrentRow()) + " " +
               (current ? current->GetHostname().ToUtf8() : "-");
    }

    MemoryStoreFactory factory;
    VProfileStore store{&factory};
    VProfileKey key{store.GetRootKey(), u"S"};
    CommonConfig common;
};

}  // namespace

TEST_F(ConnectConfigs, StoredNamePicksTheRowAndTapiAlwaysExistsOnTheTerminalSide) {
    AddTerminalTable(true);
    key.SetString(u"Protocol Name", u"telnet");
    key.SetString(u"Fake Host", u"h1");
    key.SetString(u"Transfer Protocol Name", u"Telnet");
    ConnectConfigPtr terminal(&key, ConnectConfigPtr::kTerminalMode, &common);
    EXPECT_EQ(State(terminal), "telnet #1 h1");
    EXPECT_NE(terminal.GetConfigAt(2), nullptr);  // TAPI
    EXPECT_EQ(terminal.GetConfigAt(0), nullptr);
    EXPECT_FALSE(terminal.IsModified());
    // Telnet is no transfer protocol: the transfer side falls back to SFTP.
    ConnectConfigPtr transfer(&key, ConnectConfigPtr::kTransferMode, &common);
    EXPECT_EQ(State(transfer), "SFTP #3 h1");
    // That stand-in is no change to save: a host without Telnet keeps it for the others.
    transfer.Save(&key, false);
    EXPECT_EQ(Stored(u"Transfer Protocol Name")->string, u"Telnet");

    // A blank name takes the first row; without rows of the mode "None" is kept, anything else
    // becomes empty.
    ConnectConfigs::SetUp();
    AddTerminalTable(false);
    key.SetString(u"Protocol Name", u"");
    key.SetString(u"Transfer Protocol Name", u"None");
    ConnectConfigPtr blank(&key, ConnectConfigPtr::kTerminalMode, &common);
    EXPECT_TRUE(blank.ProtocolWasBlank());
    EXPECT_EQ(State(blank), "SSH2 #0 h1");
    ConnectConfigPtr none(&key, ConnectConfigPtr::kTransferMode, &common);
    EXPECT_EQ(State(none), "None #-1 -");
    ConnectConfigPtr missing(nullptr, ConnectConfigPtr::kTransferMode, &common);
    EXPECT_EQ(State(missing), " #-1 -");
}

TEST_F(ConnectConfigs, SwitchingCarriesValuesAndTheDefaultFlagAndReturnsToEarlierConfigs) {
    AddTerminalTable(false);
    ConnectConfigPtr terminal(nullptr, ConnectConfigPtr::kTerminalMode, &common);
    terminal.Checkpoint();
    terminal->SetDefaultSessionFlag(1);
    terminal->SetHostname(u"first");
    ConnectConfig* ssh2 = terminal;
    terminal.SetProtocol(u"Telnet", &common);
    EXPECT_EQ(State(terminal), "Telnet #1 first");
    EXPECT_EQ(terminal->GetDefaultSessionFlag(), 1);
    terminal->SetHostname(u"second");
    terminal.SetProtocol(u"SSH2", &common);
    EXPECT_EQ(static_cast<ConnectConfig*>(terminal), ssh2);
    EXPECT_EQ(State(terminal), "SSH2 #0 second");
    // The exact name selects; a name in another case matches no row.
    terminal.SetProtocol(u"telnet", &common);
    EXPECT_EQ(State(terminal), "telnet #-1 -");
    terminal.Rollback();
    EXPECT_EQ(State(terminal), "SSH2 #0 ");
}

TEST_F(ConnectConfigs, SaveWritesTheNameAndOnlyARealProtocolsValues) {
    AddTerminalTable(false);
    AddRow(3, u"None", &NoneConfig::Create);
    ConnectConfigPtr terminal(nullptr, ConnectConfigPtr::kTerminalMode, &common);
    terminal->SetHostname(u"h");
    EXPECT_TRUE(terminal.IsModified());
    terminal.Save(&key, false);
    EXPECT_EQ(factory.ValueNames(u"S"),
              (std::vector<VUnicodeString>{u"Protocol Name", u"Fake Host"}));
    EXPECT_EQ(Stored(u"Protocol Name")->string + Stored(u"Fake Host")->string, u"SSH2h");

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
    EXPECT_EQ(State(target), "SSH2 #0 src");
    EXPECT_EQ(target.GetConfigAt(1), nullptr);

    ConnectConfigPtr telnet(nullptr, ConnectConfigPtr::kTerminalMode, &common);
    telnet.SetProtocol(u"Telnet", &common);
    telnet->SetHostname(u"changed");
    target.ApplyDelta(&telnet);  // another protocol: ignored
    EXPECT_EQ(State(target), "SSH2 #0 src");
}

TEST_F(ConnectConfigs, ValidateProtocolNameKeepsKnownNamesPerSideAndEmptiesOthers) {
    std::u16string traced;
    SetProtocolTraceSink([&](std::u16string_view text) { traced += text; });
    // Terminal side or not, the name, and whether it is kept (else emptied and traced).
    for (const auto& [terminal, given, kept] : {std::tuple{true, u"ssh2", true},
                                                {false, u"ftp/ssl (EXPLICIT)", true},
                                                {false, u"None", true},
                                                {false, u"SSH2", false}}) {
        VUnicodeString name = given;
        EXPECT_EQ(ConnectConfigPtr::ValidateProtocolName(terminal, name), kept);
        EXPECT_EQ(name, kept ? VUnicodeString(given) : VUnicodeString());
    }
    EXPECT_EQ(traced, u"Unknown protocol \"SSH2\" using default protocol.\n");
    SetProtocolTraceSink(nullptr);
}
