// Loading the real protocol modules from folders on disk: which rows load for a host, the policy
// and SSH1 rules, the failure boxes and the download offer, protocol switching over them, what a
// host learns when modules fail (the system's own text), that loading twice adds nothing, and
// where the library looks for its installed modules.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/init.h"
#include "app/module_folder.h"
#include "app/protocol_loader.h"
#include "foundation/messages.h"
#include "session/connect_config.h"
#include "support/scripted_prompt.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

namespace fs = std::filesystem;

namespace {

const char16_t* VetralonName() {
    return u"Vetralon";
}

std::vector<std::u16string> g_progress;
uint64_t g_lastTime = 0;
void Progress(uint64_t time, const char16_t* name) {
    EXPECT_GE(time, g_lastTime);
    g_lastTime = time;
    g_progress.emplace_back(name);
}

class ProtocolLoading : public ::testing::Test {
protected:
    void SetUp() override {
        GetConnectProtocolTable().ResetForTesting();
        SessionDeckDllInit(u"Vetralon", nullptr);
        SetClientApplicationPresent(ClientApplication::Ferrivo, false);
        SetPolicyLookup([](std::u16string_view) { return std::optional<bool>(false); });
        fns.GetProductName = &VetralonName;
        g_progress.clear();
        g_lastTime = 0;
    }
    void TearDown() override {
        GetConnectProtocolTable().ResetForTesting();
        SetPolicyLookup(nullptr);
        SetClientApplicationPresent(ClientApplication::Ferrivo, false);
    }
    // Copies module `from` (a file in `dir`) into the test folder as `as`.
    void Put(const char* dir, const std::string& from, const std::string& as) {
        fs::copy_file(fs::path(dir) / from, folder / as, fs::copy_options::overwrite_existing);
    }
    void PutReal(const std::string& name) { Put(SESSIONDECK_PROTOCOL_DIR, name, name); }
    void PutFailing(const std::string& kind, const std::string& as) {
        Put(SESSIONDECK_FAILING_PROTOCOL_DIR, kind + ".so", as);
    }
    void PutAllReal() {
        for (const char* name : {"SSH2.so", "Telnet.so", "TelnetSSL.so", "RLogin.so", "Serial.so",
                                 "TAPI.so", "SFTP.so", "FTP.so", "FTPSSL.so"})
            PutReal(name);
    }
    bool Load(int product = ProductId(Product::Vetralon)) {
        return LoadConnectionProtocolDlls(fns, product, Folder().c_str(), &Progress, offer, report);
    }
    bool LoadFrom(const fs::path& from, int product) {
        const VUnicodeString text = VUnicodeString::FromUtf8(from.string());
        return LoadConnectionProtocolDlls(fns, product, text.c_str(), &Progress, offer, report);
    }
    VUnicodeString Folder() const { return VUnicodeString::FromUtf8(folder.path().string()); }
    static std::vector<std::u16string> TableRows() {
        std::vector<std::u16string> rows;
        const ConnectProtocolTable& table = GetConnectProtocolTable();
        for (int i = 0; i < table.GetSize(); ++i)
            rows.push_back(table[i].protocolName.str() + u":" +
                           static_cast<char16_t>(u'0' + table[i].productId));
        return rows;
    }

    TempDir folder;
    VAppFnTable fns;
    bool offer = true;
    VReportMessageParams report;
};

using Rows = std::vector<std::u16string>;

std::string ToUtf8Text(const VUnicodeString& text) {
    return text.ToUtf8();
}

}  // namespace

TEST_F(ProtocolLoading, OnlySsh2PresentLoadsSsh2AndSsh1OnlyWithItsEnableFile) {
    PutReal("SSH2.so");
    ScriptedPrompt prompt;  // no question may be asked
    EXPECT_TRUE(Load());
    EXPECT_EQ(TableRows(), (Rows{u"SSH2:3"}));
    EXPECT_EQ(g_progress,
              (Rows{u"SSH2", u"SSH1", u"Telnet", u"Telnet/SSL", u"RLogin", u"Serial", u"TAPI"}));
    EXPECT_NE(GetGlobalPagesHook(), nullptr);
    EXPECT_EQ(GetConnectProtocolTable()[0].dllPath, Folder() + u"/SSH2.so");
    EXPECT_NE(GetConnectProtocolTable()[0].moduleHandle, nullptr);

    GetConnectProtocolTable().ResetForTesting();
    { std::ofstream(folder / "SSH1.enable").put('\n'); }
    EXPECT_TRUE(Load());
    EXPECT_EQ(TableRows(), (Rows{u"SSH2:3", u"SSH1:3"}));
}

TEST_F(ProtocolLoading, FipsPolicySkipsTheProtocolsItForbids) {
    PutAllReal();
    { std::ofstream(folder / "SSH1.enable").put('\n'); }
    SetPolicyLookup(
        [](std::u16string_view name) { return std::optional<bool>(name == u"Enable FIPS Mode"); });
    SetClientApplicationPresent(ClientApplication::Ferrivo, true);
    EXPECT_TRUE(Load());
    EXPECT_EQ(TableRows(), (Rows{u"SSH2:3", u"Telnet:3", u"RLogin:3", u"Serial:3", u"TAPI:3",
                                 u"SFTP:6", u"FTP:6", u"None:3", u"None:6"}));
}

TEST_F(ProtocolLoading, EmptyFolderAndMissingSiblingRows) {
    EXPECT_FALSE(Load());
    EXPECT_EQ(report.GetMessageId(), kMsgNoProtocolDlls);
    // The third insert holds the system's word on each module that failed;
    // in an empty folder none was there to fail.
    ASSERT_EQ(report.GetInsertCount(), 3u);
    EXPECT_EQ(VUnicodeString(report.GetInserts()[0]), Folder());
    EXPECT_EQ(VUnicodeString(report.GetInserts()[1]), u"Vetralon");
    EXPECT_EQ(VUnicodeString(report.GetInserts()[2]), u"");

    // Ferrivo present but none of its modules: it is treated as absent.
    PutReal("Telnet.so");
    SetClientApplicationPresent(ClientApplication::Ferrivo, true);
    report = VReportMessageParams();
    EXPECT_TRUE(Load());
    EXPECT_EQ(TableRows(), (Rows{u"Telnet:3"}));
    EXPECT_FALSE(IsClientApplicationPresent(ClientApplication::Ferrivo));
}

TEST_F(ProtocolLoading, FailingModulesOfTheOwnProductAreShownAndSkipped) {
    PutReal("SSH2.so");
    PutFailing("wrong_guid", "Telnet.so");
    PutFailing("no_load_export", "RLogin.so");
    PutFailing("load_fails", "Serial.so");
    PutFailing("load_throws", "TAPI.so");
    ScriptedPrompt prompt;
    for (int i = 0; i < 4; ++i) prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_TRUE(Load());
    EXPECT_EQ(TableRows(), (Rows{u"SSH2:3"}));
    ASSERT_EQ(prompt.Questions().size(), 4u);
    const auto& boxes = prompt.Questions();
    EXPECT_EQ(boxes[0].icon, VPromptIcon::kExclamation);
    const std::u16string telnet = boxes[0].text.str();
    EXPECT_EQ(telnet.find(u"Unable to load " + (Folder() + u"/Telnet.so").str()), 0u);
    EXPECT_NE(telnet.find(u"The GUID stored in the DLL does not match"), std::u16string::npos);
    EXPECT_NE(boxes[1].text.str().find(u"GetProcAddress() failed"), std::u16string::npos);
    EXPECT_NE(boxes[2].text.str().find(u"The protocol Serial is not supported"),
              std::u16string::npos);
    EXPECT_NE(boxes[3].text.str().find(u"An exception was generated"), std::u16string::npos);

    // Without offers nothing is shown.
    GetConnectProtocolTable().ResetForTesting();
    offer = false;
    EXPECT_TRUE(Load());
    EXPECT_EQ(TableRows(), (Rows{u"SSH2:3"}));
}

TEST_F(ProtocolLoading, ForeignSiblingModuleOffersADownloadOnceOrEndsTheHost) {
    PutReal("SSH2.so");
    PutReal("FTP.so");
    PutFailing("wrong_guid", "SFTP.so");
    PutFailing("wrong_guid", "FTPSSL.so");
    SetClientApplicationPresent(ClientApplication::Ferrivo, true);
    {
        ScriptedPrompt prompt;
        prompt.AnswerButton(VPromptAnswer::kOk);  // continue without; no further offers
        EXPECT_TRUE(Load());
        ASSERT_EQ(prompt.Questions().size(), 1u);
        EXPECT_EQ(prompt.Questions()[0].kind, PromptQuestion::kOptionalMessage);
        EXPECT_NE(prompt.Questions()[0].text.str().find(u"file transfer"), std::u16string::npos);
        EXPECT_FALSE(offer);
        EXPECT_EQ(TableRows(), (Rows{u"SSH2:3", u"FTP:6", u"None:3", u"None:6"}));
    }
    GetConnectProtocolTable().ResetForTesting();
    offer = true;
    ScriptedPrompt prompt;
    prompt.AnswerButton(VPromptAnswer::kCancel);
    EXPECT_FALSE(Load());
    EXPECT_EQ(report.GetMessageId(), kMsgExitApplication);
    EXPECT_EQ(BuildProductDownloadUrl(u"Ferrivo", kConnectProtocolGuid),
              u"https://www.norvik-software.example/go.php?pid=Ferrivo&guid="
              u"5da32824-a4be-4671-9724-bd9091cadfb3");
}

TEST_F(ProtocolLoading, SwitchingBetweenRealModulesKeepsHostUserAndAChosenPort) {
    PutAllReal();
    ASSERT_TRUE(Load());
    CommonConfig common;
    ConnectConfigPtr terminal(nullptr, ConnectConfigPtr::kTerminalMode, &common);
    ASSERT_EQ(terminal.Protocol(), u"SSH2");
    EXPECT_EQ(terminal->GetPort(), 22);
    EXPECT_EQ(terminal->CanConnect(), 0);
    terminal->SetHostname(u"example.net");
    terminal->SetUsername(u"ann");
    terminal.SetProtocol(u"Telnet", &common);
    EXPECT_EQ(terminal->GetHostname(), u"example.net");
    EXPECT_EQ(terminal->GetUsername(), u"ann");
    EXPECT_EQ(terminal->GetPort(), 23);  // the usual SSH2 port is not carried
    EXPECT_NE(terminal->CanConnect(), 0);

    terminal->SetPort(2323);
    terminal.SetProtocol(u"SSH2", &common);
    EXPECT_EQ(terminal->GetPort(), 2323);
    EXPECT_EQ(terminal->GetHostname(), u"example.net");
    terminal.SetProtocol(u"Serial", &common);
    EXPECT_EQ(terminal->GetPort(), -1);
}

// Each way a present module can fail keeps the words that explain it, both in
// the failure list and in the third insert of the "nothing loaded" report.
TEST_F(ProtocolLoading, FailedModulesKeepTheSystemsExplanation) {
    offer = false;  // no boxes: the host reads the report
    struct Case {
        const char* name;
        std::string source;  // a module to copy as SSH2.so, or empty for garbage bytes
        uint32_t status;
        std::string expectedText;
    } cases[] = {
        {"not a shared object", "", kMsgDllEntryPointFailed, "SSH2.so: "},
        {"entry point missing",
         std::string(SESSIONDECK_FAILING_PROTOCOL_DIR) + "/no_load_export.so",
         kMsgDllEntryPointFailed, "LoadProtocol"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GetConnectProtocolTable().ResetForTesting();
        const fs::path module = folder / "SSH2.so";
        if (c.source.empty()) {
            std::ofstream(module, std::ios::binary | std::ios::trunc) << "no ELF here";
        } else {
            fs::copy_file(c.source, module, fs::copy_options::overwrite_existing);
        }
        EXPECT_FALSE(LoadFrom(folder.path(), ProductId(Product::Ssh2Only)));
        EXPECT_EQ(report.GetMessageId(), kMsgNoProtocolDlls);

        const std::vector<ProtocolLoadFailure> failures = GetProtocolLoadFailures();
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].protocolName, u"SSH2");
        EXPECT_EQ(ToUtf8Text(failures[0].modulePath), module.string());
        EXPECT_EQ(failures[0].status, c.status);
        EXPECT_NE(ToUtf8Text(failures[0].systemText).find(c.expectedText), std::string::npos)
            << ToUtf8Text(failures[0].systemText);

        // The message text stays as it is; the details ride in insert 3.
        ASSERT_EQ(report.GetInsertCount(), 3u);
        const std::string details = VUnicodeString(report.GetInserts()[2]).ToUtf8();
        EXPECT_NE(details.find(module.string() + ": "), std::string::npos) << details;
        EXPECT_NE(details.find(ToUtf8Text(failures[0].systemText)), std::string::npos) << details;
    }
}

// A module that is simply absent is not a failure to explain, and a new load
// forgets the failures of the one before.
TEST_F(ProtocolLoading, AbsentModulesAreNoFailureAndEachLoadStartsAfresh) {
    offer = false;  // no boxes: the host reads the report
    std::ofstream(folder / "SSH2.so", std::ios::binary) << "junk";
    EXPECT_FALSE(LoadFrom(folder.path(), ProductId(Product::Ssh2Only)));
    EXPECT_EQ(GetProtocolLoadFailures().size(), 1u);

    fs::remove(folder / "SSH2.so");
    EXPECT_FALSE(LoadFrom(folder.path(), ProductId(Product::Ssh2Only)));
    EXPECT_TRUE(GetProtocolLoadFailures().empty());
    ASSERT_EQ(report.GetInsertCount(), 3u);
    EXPECT_EQ(std::u16string(report.GetInserts()[2]), u"");
}

// Loading a second time, even from another folder or for another product,
// keeps the rows of the first load and their indices.
TEST_F(ProtocolLoading, SecondLoadAddsNothing) {
    offer = false;  // no boxes: the host reads the report
    ASSERT_TRUE(LoadFrom(SESSIONDECK_PROTOCOL_DIR, ProductId(Product::Vetralon)))
        << ToUtf8Text(report.GetText());
    const ConnectProtocolTable& table = GetConnectProtocolTable();
    std::vector<std::u16string> first;
    for (int i = 0; i < table.GetSize(); ++i) first.push_back(table[i].protocolName.str());
    ASSERT_GE(first.size(), 6u);

    report = VReportMessageParams(kMsgNoProtocolDlls);
    EXPECT_TRUE(LoadFrom(SESSIONDECK_PROTOCOL_DIR, ProductId(Product::Vetralon)));
    EXPECT_EQ(report.GetMessageId(), 0u);
    EXPECT_TRUE(LoadFrom(folder.path(), ProductId(Product::Ferrivo)));
    std::vector<std::u16string> after;
    for (int i = 0; i < table.GetSize(); ++i) after.push_back(table[i].protocolName.str());
    EXPECT_EQ(after, first);
    EXPECT_EQ(GetProtocolFolder(), VUnicodeString::FromUtf8(SESSIONDECK_PROTOCOL_DIR));
}

// The installed layout beside the library wins, then a build tree's plugins
// folder, then the configured install folder; a file of the right name is
// not a folder.
TEST(ProtocolFolderLookup, PrefersTheFolderBesideTheLibrary) {
    TempDir root;
    const fs::path lib = root.path() / "lib";
    const std::string library = (lib / "libSessionDeck60U.so").string();
    const std::string configured = "/configured/protocols";
    fs::create_directories(lib);

    EXPECT_EQ(ChooseProtocolFolder(library, configured), configured);
    EXPECT_EQ(ChooseProtocolFolder("", configured), configured);

    std::ofstream(lib / "plugins") << "a file, not a folder";
    EXPECT_EQ(ChooseProtocolFolder(library, configured), configured);
    fs::remove(lib / "plugins");

    fs::create_directories(lib / "plugins");
    EXPECT_EQ(ChooseProtocolFolder(library, configured), (lib / "plugins").string());

    fs::create_directories(lib / "sessiondeck" / "protocols");
    EXPECT_EQ(ChooseProtocolFolder(library, configured),
              (lib / "sessiondeck" / "protocols").string());
}
