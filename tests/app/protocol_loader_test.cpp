// Loading the real protocol modules from folders on disk: which rows load for a host, the policy
// and SSH1 rules, the failure boxes and the download offer, protocol switching over them, what a
// host learns when modules fail (the system's own text), that loading twice adds nothing, and
// where the library looks for its installed modules.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
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

std::string Utf8(const VUnicodeString& text) {
    return text.ToUtf8();
}

class ProtocolLoading : public ::testing::Test {
protected:
    void SetUp() override {
        GetConnectProtocolTable().ResetForTesting();
        SessionDeckDllInit(u"Vetralon", nullptr);
        SetClientApplicationPresent(ClientApplication::Ferrivo, false);
        SetPolicyLookup([](std::u16string_view) { return std::optional<bool>(false); });
        fns.GetProductName = &VetralonName;
    }
    void TearDown() override {
        GetConnectProtocolTable().ResetForTesting();
        SetPolicyLookup(nullptr);
        SetClientApplicationPresent(ClientApplication::Ferrivo, false);
    }
    // Empties the folder and the table, then puts in each module of `modules` (blank-separated):
    // "SSH2" the real SSH2.so, "Telnet=wrong_guid" a failing module of that kind as Telnet.so,
    // "SSH1.enable" that file, "*" every real module.
    void Put(const std::string& modules) {
        GetConnectProtocolTable().ResetForTesting();
        for (const fs::directory_entry& entry : fs::directory_iterator(folder.path()))
            fs::remove(entry.path());
        std::istringstream words(modules);
        for (std::string word; words >> word;) {
            const size_t eq = word.find('=');
            if (word == "*") {
                Put("SSH2 Telnet TelnetSSL RLogin Serial TAPI SFTP FTP FTPSSL");
            } else if (word.ends_with(".enable")) {
                WriteFileBytes(folder / word, "\n");
            } else if (eq == std::string::npos) {
                fs::copy_file(fs::path(SESSIONDECK_PROTOCOL_DIR) / (word + ".so"),
                              folder / (word + ".so"));
            } else {
                fs::copy_file(
                    fs::path(SESSIONDECK_FAILING_PROTOCOL_DIR) / (word.substr(eq + 1) + ".so"),
                    folder / (word.substr(0, eq) + ".so"));
            }
        }
    }
    bool Load(int product = ProductId(Product::Vetralon), const fs::path& from = {}) {
        g_progress.clear();
        g_lastTime = 0;
        const VUnicodeString text =
            from.empty() ? Folder() : VUnicodeString::FromUtf8(from.string());
        return LoadConnectionProtocolDlls(fns, product, text.c_str(), &Progress, offer, report);
    }
    VUnicodeString Folder() const { return VUnicodeString::FromUtf8(folder.path().string()); }
    // The table as "Name:product" words.
    static std::string TableRows() {
        std::string rows;
        const ConnectProtocolTable& table = GetConnectProtocolTable();
        for (int i = 0; i < table.GetSize(); ++i)
            rows += (i ? " " : "") + Utf8(table[i].protocolName) + ":" +
                    std::to_string(table[i].productId);
        return rows;
    }

    TempDir folder;
    VAppFnTable fns;
    bool offer = true;
    VReportMessageParams report;
};

}  // namespace

TEST_F(ProtocolLoading, WhichRowsLoadForAHost) {
    ScriptedPrompt prompt;  // no question may be asked
    struct Row {
        const char* modules;
        bool transferHostPresent, fips;
        const char* rows;
    };
    for (const Row& row : {
             Row{"SSH2", false, false, "SSH2:3"},
             // SSH1 only with its enable file.
             Row{"SSH2 SSH1.enable", false, false, "SSH2:3 SSH1:3"},
             // The FIPS policy skips the protocols it forbids.
             Row{"* SSH1.enable", true, true,
                 "SSH2:3 Telnet:3 RLogin:3 Serial:3 TAPI:3 SFTP:6 FTP:6 None:3 None:6"},
             // The transfer host present but none of its modules: it is treated as absent.
             Row{"Telnet", true, false, "Telnet:3"},
         }) {
        SCOPED_TRACE(row.modules);
        Put(row.modules);
        SetClientApplicationPresent(ClientApplication::Ferrivo, row.transferHostPresent);
        SetPolicyLookup([fips = row.fips](std::u16string_view name) {
            return std::optional<bool>(fips && name == u"Enable FIPS Mode");
        });
        EXPECT_TRUE(Load());
        EXPECT_EQ(TableRows(), row.rows);
    }
    EXPECT_FALSE(IsClientApplicationPresent(ClientApplication::Ferrivo));

    Put("SSH2");
    EXPECT_TRUE(Load());
    EXPECT_EQ(g_progress, (std::vector<std::u16string>{u"SSH2", u"SSH1", u"Telnet", u"Telnet/SSL",
                                                       u"RLogin", u"Serial", u"TAPI"}));
    EXPECT_NE(GetGlobalPagesHook(), nullptr);
    EXPECT_EQ(GetConnectProtocolTable()[0].dllPath, Folder() + u"/SSH2.so");
    EXPECT_NE(GetConnectProtocolTable()[0].moduleHandle, nullptr);
}

TEST_F(ProtocolLoading, FailingModulesOfTheOwnProductAreShownAndSkipped) {
    Put("SSH2 Telnet=wrong_guid RLogin=no_load_export Serial=load_fails TAPI=load_throws");
    ScriptedPrompt prompt;
    for (int i = 0; i < 4; ++i) prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_TRUE(Load());
    EXPECT_EQ(TableRows(), "SSH2:3");
    ASSERT_EQ(prompt.Questions().size(), 4u);
    const auto& boxes = prompt.Questions();
    EXPECT_EQ(boxes[0].icon, VPromptIcon::kExclamation);
    const std::u16string telnet = boxes[0].text.str();
    EXPECT_EQ(telnet.find(u"Unable to load " + (Folder() + u"/Telnet.so").str()), 0u);
    const char16_t* says[] = {u"The GUID stored in the DLL does not match",
                              u"GetProcAddress() failed", u"The protocol Serial is not supported",
                              u"An exception was generated"};
    for (int i = 0; i < 4; ++i)
        EXPECT_NE(boxes[i].text.str().find(says[i]), std::u16string::npos) << Utf8(boxes[i].text);

    // Without offers nothing is shown.
    GetConnectProtocolTable().ResetForTesting();
    offer = false;
    EXPECT_TRUE(Load());
    EXPECT_EQ(TableRows(), "SSH2:3");
}

TEST_F(ProtocolLoading, ForeignSiblingModuleOffersADownloadOnceOrEndsTheHost) {
    SetClientApplicationPresent(ClientApplication::Ferrivo, true);
    for (const VPromptAnswer answer : {VPromptAnswer::kOk, VPromptAnswer::kCancel}) {
        Put("SSH2 FTP SFTP=wrong_guid FTPSSL=wrong_guid");
        offer = true;
        ScriptedPrompt prompt;
        prompt.AnswerButton(answer);  // continue without (no further offers), or end the host
        EXPECT_EQ(Load(), answer == VPromptAnswer::kOk);
        ASSERT_EQ(prompt.Questions().size(), 1u);
        EXPECT_EQ(prompt.Questions()[0].kind, PromptQuestion::kOptionalMessage);
        EXPECT_NE(prompt.Questions()[0].text.str().find(u"file transfer"), std::u16string::npos);
        if (answer == VPromptAnswer::kOk) {
            EXPECT_FALSE(offer);
            EXPECT_EQ(TableRows(), "SSH2:3 FTP:6 None:3 None:6");
        }
    }
    EXPECT_EQ(report.GetMessageId(), kMsgExitApplication);
    EXPECT_EQ(BuildProductDownloadUrl(u"Ferrivo", kConnectProtocolGuid),
              u"https://www.norvik-software.example/go.php?pid=Ferrivo&guid="
              u"5da32824-a4be-4671-9724-bd9091cadfb3");
}

TEST_F(ProtocolLoading, SwitchingBetweenRealModulesKeepsHostUserAndAChosenPort) {
    Put("*");
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

// Each way a present module can fail keeps the words that explain it, both in the failure list
// and in the third insert of the "nothing loaded" report; a module that is simply absent is no
// failure to explain, and a new load forgets the failures of the one before.
TEST_F(ProtocolLoading, FailedModulesKeepTheSystemsExplanation) {
    offer = false;  // no boxes: the host reads the report
    const std::string module = (folder / "SSH2.so").string();
    for (const auto& [modules, expectedText] :
         {std::pair<std::string, std::string>{"", "SSH2.so: "},
          {"SSH2=no_load_export", "LoadProtocol"}}) {
        SCOPED_TRACE(modules);
        Put(modules);
        if (modules.empty()) WriteFileBytes(module, "no ELF here");
        EXPECT_FALSE(Load(ProductId(Product::Ssh2Only)));
        EXPECT_EQ(report.GetMessageId(), kMsgNoProtocolDlls);

        const std::vector<ProtocolLoadFailure> failures = GetProtocolLoadFailures();
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].protocolName, u"SSH2");
        EXPECT_EQ(Utf8(failures[0].modulePath), module);
        EXPECT_EQ(failures[0].status, kMsgDllEntryPointFailed);
        EXPECT_NE(Utf8(failures[0].systemText).find(expectedText), std::string::npos)
            << Utf8(failures[0].systemText);
        // The message text stays as it is; the details ride in insert 3.
        ASSERT_EQ(report.GetInsertCount(), 3u);
        EXPECT_NE(Utf8(report.GetInserts()[2]).find(module + ": " + Utf8(failures[0].systemText)),
                  std::string::npos)
            << Utf8(report.GetInserts()[2]);
    }
    // An empty folder: the folder, the host's name, and no module that was there to fail.
    Put("");
    EXPECT_FALSE(Load(ProductId(Product::Ssh2Only)));
    EXPECT_EQ(report.GetMessageId(), kMsgNoProtocolDlls);
    EXPECT_TRUE(GetProtocolLoadFailures().empty());
    ASSERT_EQ(report.GetInsertCount(), 3u);
    EXPECT_EQ(Utf8(report.GetInserts()[0]) + "|" + Utf8(report.GetInserts()[1]) + "|" +
                  Utf8(report.GetInserts()[2]),
              folder.path().string() + "|Vetralon|");
}

// Loading a second time, even from another folder or for another product, keeps the rows of the
// first load and their indices.
TEST_F(ProtocolLoading, SecondLoadAddsNothing) {
    offer = false;  // no boxes: the host reads the report
    ASSERT_TRUE(Load(ProductId(Product::Vetralon), SESSIONDECK_PROTOCOL_DIR))
        << Utf8(report.GetText());
    const std::string first = TableRows();
    ASSERT_GE(GetConnectProtocolTable().GetSize(), 6);

    report = VReportMessageParams(kMsgNoProtocolDlls);
    EXPECT_TRUE(Load(ProductId(Product::Vetralon), SESSIONDECK_PROTOCOL_DIR));
    EXPECT_EQ(report.GetMessageId(), 0u);
    EXPECT_TRUE(Load(ProductId(Product::Ferrivo)));
    EXPECT_EQ(TableRows(), first);
    EXPECT_EQ(GetProtocolFolder(), VUnicodeString::FromUtf8(SESSIONDECK_PROTOCOL_DIR));
}

// The installed layout beside the library wins, then a build tree's plugins folder, then the
// configured install folder; a file of the right name is not a folder.
TEST(ProtocolFolderLookup, PrefersTheFolderBesideTheLibrary) {
    TempDir root;
    const fs::path lib = root.path() / "lib";
    const std::string library = (lib / "libSessionDeck60U.so").string();
    const std::string configured = "/configured/protocols";
    EXPECT_EQ(ChooseProtocolFolder("", configured), configured);
    WriteFileBytes(lib / "plugins", "a file, not a folder");
    EXPECT_EQ(ChooseProtocolFolder(library, configured), configured);
    fs::remove(lib / "plugins");
    fs::create_directories(lib / "plugins");
    EXPECT_EQ(ChooseProtocolFolder(library, configured), (lib / "plugins").string());
    fs::create_directories(lib / "sessiondeck" / "protocols");
    EXPECT_EQ(ChooseProtocolFolder(library, configured),
              (lib / "sessiondeck" / "protocols").string());
}
