// A terminal host over a configuration folder: start-up in the library's order, the session
// tree, one session changed and saved, one created from a URL. Usage: example_host FOLDER
#include <sessiondeck/app/config_folder.h>
#include <sessiondeck/app/create_session.h>
#include <sessiondeck/app/global_config.h>
#include <sessiondeck/app/init.h>
#include <sessiondeck/app/module_folder.h>
#include <sessiondeck/app/protocol_loader.h>
#include <sessiondeck/app/version.h>
#include <sessiondeck/profile/ini_store.h>
#include <sessiondeck/session/connect_config.h>
#include <sessiondeck/session/session_config.h>
#include <sessiondeck/session/session_database.h>

#include <cstdio>
#include <memory>
#include <string>

// Everything the library declares lives in namespace sessiondeck.
using namespace sessiondeck;

namespace {

std::unique_ptr<VIniFileStoreFactory> g_factory;  // the host owns its factory
VProfileStoreFactory* Factory() {
    return g_factory.get();
}
const char16_t* ProductName() {
    return u"Vetralon";
}

int Fail(const char* what, const VReportMessageParams* report = nullptr) {
    VReportMessageParams copy = report ? *report : VReportMessageParams();
    std::fprintf(stderr, "example_host: %s: %s\n", what,
                 VUnicodeString(copy.GetTextSingleLine()).ToUtf8().c_str());
    return 1;
}

void PrintTree(const SessionDatabase& db, const VUnicodeString& folder, int depth) {
    VStringArray folders, sessions;
    db.GetFolderList(folder, folders);
    db.GetSessionList(folder, sessions);
    for (size_t i = 0; i < folders.GetSize(); ++i) {
        std::printf("%*s[%s]\n", depth * 2, "", folders[i].ToUtf8().c_str());
        PrintTree(db, SessionDatabase::JoinPath(folder, folders[i]), depth + 1);
    }
    for (size_t i = 0; i < sessions.GetSize(); ++i)
        std::printf("%*s%s\n", depth * 2, "", sessions[i].ToUtf8().c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) return Fail("usage: example_host CONFIG-FOLDER");
    // The headers this host was built with must match the library it runs with.
    const SessionDeckVersion version = GetSessionDeckVersion();
    if (version.major != SESSIONDECK_VERSION_MAJOR) return Fail("library of another major version");
    std::printf("SessionDeck %s\n", GetSessionDeckVersionString());

    // 1. Settle the configuration folder (it must exist) and hand over the store factory.
    VUnicodeString folder;
    VReportMessageParams report;
    if (!CheckAppConfigPathCommandLine(VUnicodeString::FromUtf8(argv[1]).c_str(), folder, report))
        return Fail("configuration folder", &report);
    g_factory = std::make_unique<VIniFileStoreFactory>(folder);
    SessionDeckDllInitProfileFactory(&Factory);

    // 2. Who we are, then the global options: GetGlobalConfig only after
    // SessionDeckDllInit, which tells it this is the terminal host.
    SetCurrentAppProductID(ProductId(Product::Vetralon));
    SessionDeckDllInit(u"Vetralon", nullptr);
    // A terminal host that creates sessions from sftp URLs declares the
    // transfer application present, so its protocols load too.
    SetClientApplicationPresent(ClientApplication::Ferrivo, true);
    GlobalConfig* global = nullptr;  // lent: the library keeps the reference
    GetGlobalConfig(global);
    if (!global) return Fail("global options");

    // 3. The protocol modules, from wherever this library was installed.
    VAppFnTable fns;
    fns.GetProductName = &ProductName;
    bool offerDownload = false;
    if (!LoadConnectionProtocolDlls(fns, ProductId(Product::Vetralon),
                                    GetInstalledProtocolFolder().c_str(), nullptr, offerDownload,
                                    report))
        return Fail("protocols", &report);
    std::printf("%d protocols\n", GetConnectProtocolTable().GetSize());

    // 4. A session from a URL, saved under a name of its own.
    const SessionDatabase db;
    int transferType = -1;
    auto created = VUnknownPointer<ISessionConfig>::Adopt(
        CreateSessionConfig(u"sftp://deploy@files.example.net:2222", transferType, report));
    if (!created) return Fail("session from URL", &report);
    const VUnicodeString name = SessionDatabase::GetUniqueSessionName(u"files.example.net");
    if (!db.InsertSession(u"", name, created.Get(), u"", true))
        return Fail("saving the new session", &db.GetReport());

    // 5. Look it up again, change it, save it.
    auto session = VUnknownPointer<ISessionConfig>::Adopt(db.Lookup(name));
    if (!session) return Fail("lookup");
    ConnectConfig* transfer = session->GetTransferConnectConfig();  // lent by the session
    std::printf("%s: %s port %d\n", name.ToUtf8().c_str(), transfer->GetHostname().ToUtf8().c_str(),
                transfer->GetPort());
    transfer->SetPort(2200);
    if (!db.Save(session.Get(), false)) return Fail("saving", &db.GetReport());
    auto reread = VUnknownPointer<ISessionConfig>::Adopt(db.Lookup(name));
    if (!reread || reread->GetTransferConnectConfig()->GetPort() != 2200)
        return Fail("the change did not persist");

    // 6. The tree as it now stands.
    PrintTree(db, u"", 0);
    return 0;
}
