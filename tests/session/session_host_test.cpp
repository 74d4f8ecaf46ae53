// The session records against a host of the test's own: every default they take from above the
// session layer comes through ISessionHost, and without a host they fall back to fixed values.
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "app/session_host.h"
#include "session/session_config.h"
#include "session/session_fixture.h"
#include "session/session_host.h"
#include "session/terminal_config.h"
#include "support/memory_store.h"

using namespace sessiondeck;

namespace {

class FakeHost final : public ISessionHost {
public:
    std::optional<RemoteViewStates> GlobalRemoteViewStates() override {
        return Asked(
            RemoteViewStates{VUnicodeString(u"0,500,300"), VUnicodeString(u"2,3,4,5,1,10,1,20")});
    }
    std::optional<int> GlobalLineSendDelay() override { return Asked(33); }
    std::optional<int> GlobalCharacterSendDelay() override { return Asked(9); }
    std::optional<WINDOWPLACEMENT> GlobalRemoteFramePlacement() override {
        WINDOWPLACEMENT placement;
        placement.ptMaxPosition = {12, 34};
        return Asked(placement);
    }
    bool IsSelectedTermcap(std::u16string_view name) override { return name == u"my-term"; }
    bool EmulationTableOffers(std::u16string_view name) override { return name == u"Mardell"; }
    const VUnicodeString& AppName() override { return appName; }
    VUnicodeString HostExecutableFolder() override { return VUnicodeString(u"/opt/host"); }
    VUnicodeString ToU3DataForm(const VUnicodeString& path) override { return path; }

    template <class T>
    T Asked(T answer) {
        ++globalQuestions;
        return answer;
    }

    VUnicodeString appName{u"Vetra Test"};
    int globalQuestions = 0;
};

// What a session takes from above: its line and character send delays, the remote explorer's
// frame and list view states and the frame window's maximised position.
std::string Defaults(const SessionPtr& s) {
    const auto at = s->remoteFrameWindowPlacement.Get().ptMaxPosition;
    return std::to_string(s->lineSendDelay.Get()) + " " +
           std::to_string(s->characterSendDelay.Get()) + " " +
           s->remoteExplorerFrameState.Format().ToUtf8() + " " +
           s->remoteListViewState.Format().ToUtf8() + " " + std::to_string(at.x) + "," +
           std::to_string(at.y);
}

class SessionHostTest : public ::testing::Test {
protected:
    void SetUp() override { SetSessionHost(&host); }
    // The application's host again, as every other test expects it.
    void TearDown() override { InstallAppSessionHost(); }

    SessionPtr LoadStored(const char16_t* name) {
        VProfileStore store(false, &memory);
        VProfileKey key(store.GetRootKey(), std::u16string(u"Sessions\\") + name);
        key.SetDword(u"Is Session", 1);
        return SessionPtr(new SessionConfig(name, &key));
    }

    FakeHost host;
    MemoryStoreFactory memory;
};

}  // namespace

TEST_F(SessionHostTest, SessionDefaultsComeFromTheInstalledHost) {
    auto session = LoadStored(u"Lab");
    EXPECT_EQ(Defaults(session), "33 9 0,500,300 2,3,4,5,1,10,1,20 12,34");
    EXPECT_FALSE(session->IsModified());
    // "Vetra" in the host's name makes it a terminal host: the terminal side is the relevant one.
    session->SetRelevantProtocol(u"Telnet");
    EXPECT_EQ(session->GetTerminalProtocol().str(), u"Telnet");
    host.appName = VUnicodeString(u"Ferrivo");
    session->SetRelevantProtocol(u"SFTP");
    EXPECT_EQ(session->GetTransferProtocol().str(), u"SFTP") << "a transfer host sets its own side";
    EXPECT_EQ(session->GetTerminalProtocol().str(), u"Telnet");

    // An older key's own delay stands; the other still comes from the host.
    VProfileStore store(false, &memory);
    VProfileKey older(store.GetRootKey(), u"Sessions\\Older");
    older.SetDword(u"Line Send Delay", 2);
    EXPECT_EQ(Defaults(SessionPtr(new SessionConfig(u"Older", &older))).substr(0, 4), "2 9 ");
    // A session without a key, and the default session's view states, never take the host's.
    EXPECT_EQ(Defaults(SessionPtr(new SessionConfig(u"Fresh", nullptr))).substr(0, 2), "5 ");
    auto defaults = LoadStored(u"default");
    EXPECT_TRUE(defaults->IsDefaultLike());
    EXPECT_EQ(Defaults(defaults).substr(5), "1,-1,-1 1,1,1,0,0 -4,-4");
}

TEST_F(SessionHostTest, EmulationNamesAreCheckedWithTheHost) {
    // The host's table offers Mardell, and it selects the termcap entry my-term; names compare
    // exactly.
    std::u16string loaded;
    for (const char16_t* stored : {u"Mardell", u"my-term", u"other-term", u"vt220", u"SCO-ANSI"})
        loaded += NormalizeEmulationName(stored).str() + u" ";
    EXPECT_EQ(loaded, u"Mardell my-term VT100 VT100 SCOANSI ");
}

TEST_F(SessionHostTest, WithoutAHostTheRecordsUseTheirFixedDefaults) {
    SetSessionHost(nullptr);
    EXPECT_EQ(Defaults(LoadStored(u"Alone")), "5 0 0,0,0 0,0,0,0,0 -4,-4");
    EXPECT_EQ(NormalizeEmulationName(u"Mardell").str(), u"VT100");
    EXPECT_EQ(host.globalQuestions, 0) << "the uninstalled host was asked";
}
