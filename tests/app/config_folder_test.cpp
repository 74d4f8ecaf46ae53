// Settling the configuration folder: /F, the folder beside the executable, redirects and the
// migration utility, the remembered location in the registry store, and folder validation.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "app/config_folder.h"
#include "app/global_config.h"
#include "app/init.h"
#include "foundation/messages.h"
#include "platform/version_record.h"
#include "support/library_host.h"
#include "support/memory_store.h"
#include "support/scoped_env.h"
#include "support/scripted_prompt.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

namespace {

VUnicodeString U(const std::filesystem::path& path) {
    return VUnicodeString::FromUtf8(path.string());
}

void WriteScript(const std::filesystem::path& file, const std::string& body) {
    WriteFileBytes(file, "#!/bin/sh\n" + body);
    chmod(file.c_str(), 0755);
}

// A configuration folder whose "Global" key holds `version`, with an index
// file so it never counts as empty.
void MakeOldFolder(const std::filesystem::path& folder, const std::string& version) {
    WriteFileBytes(folder / "Global.ini", "S:\"Version\"=" + version + "\r\n");
    WriteFileBytes(folder / "sessions.idx", "");
}

void WriteRedirect(const std::filesystem::path& folder, const std::string& target) {
    WriteFileBytes(folder / "NVKRedirect.ini", "S:\"New Config Path\"=" + target + "\r\n");
}

std::vector<VUnicodeString> g_reported;
void Collect(const VReportMessageParams& report) {
    g_reported.push_back(const_cast<VReportMessageParams&>(report).GetText());
}

bool g_queryAnswer = false;
bool Query(const char16_t*, IString* answer, VReportMessageParams&) {
    answer->Set(u"--from old", 10);
    return g_queryAnswer;
}

VUnicodeString g_second;
// Settles `path` as the host would (no registry, reports collected); the result and the folder,
// as "true /new/place".
std::string Redirect(const VUnicodeString& path) {
    VUnicodeString settled = path;
    const bool ok =
        CheckAppConfigPathRedirect(nullptr, nullptr, Query, false, Collect, settled, g_second);
    return (ok ? "true " : "false ") + settled.ToUtf8();
}

}  // namespace

TEST(ConfigFolder, CommandLineFolderLosesTrailingBackslashes) {
    TempDir dir;
    VUnicodeString folder;
    VReportMessageParams report;
    EXPECT_TRUE(CheckAppConfigPathCommandLine((U(dir.path()) + u"\\\\").c_str(), folder, report));
    EXPECT_EQ(folder, U(dir.path()));
    EXPECT_EQ(report.GetMessageId(), 0u);

    EXPECT_FALSE(CheckAppConfigPathCommandLine(u"\\\\", folder, report));
    EXPECT_TRUE(folder.IsEmpty());
    EXPECT_EQ(report.GetMessageId(), kMsgCommandLineFolderNotValid);

    WriteFileBytes(dir / "file", "x");
    VReportMessageParams second;
    EXPECT_FALSE(CheckAppConfigPathCommandLine(U(dir / "file").c_str(), folder, second));
    EXPECT_EQ(second.GetMessageId(), kMsgCommandLineFolderNotValid);
}

TEST(ConfigFolder, FolderBesideTheExecutableNeedsGlobalIni) {
    TempDir dir;
    std::filesystem::create_directories(dir / "Config");
    EXPECT_TRUE(GetAppConfigPathUnderExe(U(dir.path()).c_str()).IsEmpty());
    std::filesystem::create_directories(dir / "Config/global.ini");
    EXPECT_TRUE(GetAppConfigPathUnderExe(U(dir.path()).c_str()).IsEmpty()) << "a folder is no file";
    std::filesystem::remove(dir / "Config/global.ini");
    // The folder backend writes the key "Global" as "Global.ini": any case counts.
    for (const char* name : {"global.ini", "GLOBAL.INI"}) {
        WriteFileBytes(dir / "Config" / name, "");
        EXPECT_EQ(GetAppConfigPathUnderExe((U(dir.path()) + u"/").c_str()), U(dir / "Config"))
            << name;
        std::filesystem::remove(dir / "Config" / name);
    }
}

TEST(ConfigFolder, RedirectAcceptsNewAndKnownFoldersAndFollowsARedirect) {
    TempDir dir;
    g_reported.clear();
    g_second = u"keep in step";
    // No folder, a new empty one and a folder of the previous format stay as they are.
    EXPECT_EQ(Redirect(u""), "true ");
    EXPECT_EQ(Redirect(U(dir / "new")), "true " + (dir / "new").string());
    MakeOldFolder(dir / "known", "0311ABC6-1CDD-46fc-A08A-0D7C00242FCA");
    WriteRedirect(dir / "known", "/elsewhere");
    EXPECT_EQ(Redirect(U(dir / "known")), "true " + (dir / "known").string());
    EXPECT_TRUE(g_reported.empty());

    // The identifier differs only in case: old format, so its redirect is followed.
    MakeOldFolder(dir / "old", "0311ABC6-1CDD-46FC-A08A-0D7C00242FCA");
    WriteRedirect(dir / "old", "/new/place");
    EXPECT_EQ(Redirect(U(dir / "old")), "true /new/place");
    EXPECT_EQ(g_second, u"/new/place");
    ASSERT_EQ(g_reported.size(), 1u);
    EXPECT_TRUE(g_reported[0].str().starts_with(u"The configuration was migrated from: \r\n'" +
                                                U(dir / "old").str() +
                                                u"'\r\nto\r\n'/new/place'.\r\n"));
}

// An old folder without a redirect is migrated only when the host agrees, by the utility beside
// the executable, which is started once per process at most.
TEST(ConfigFolder, OldFolderWithoutRedirectIsMigratedOnlyWhenTheHostAgrees) {
    ResetMigrationStartForTesting();
    TempDir dir;
    SetHostExecutableFolder(U(dir.path()).c_str());
    VReportMessageParams missing;
    EXPECT_FALSE(RunMigrate(u"a", true, missing));
    EXPECT_EQ(missing.GetMessageId(), kMsgMigrationFailed);
    EXPECT_NE(VUnicodeString(missing.GetText()).str().find(u"No such file or directory"),
              std::u16string::npos);
    // A start that failed does not count; one that ran does, whatever it exited with.
    WriteScript(dir / "migrate", "exit 183\n");
    VReportMessageParams running;
    EXPECT_FALSE(RunMigrate(nullptr, true, running));
    EXPECT_EQ(running.GetMessageId(), kMsgMigrationRunning);
    WriteScript(dir / "migrate", "touch \"$(dirname \"$0\")/args\"\n");
    VReportMessageParams again;
    EXPECT_FALSE(RunMigrate(nullptr, true, again));
    EXPECT_EQ(again.GetMessageId(), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir / "args"));

    ResetMigrationStartForTesting();
    MakeOldFolder(dir / "old", "3.x");
    g_queryAnswer = false;
    EXPECT_EQ(Redirect(U(dir / "old")), "false ");
    // The utility writes the redirect into the old folder and succeeds.
    WriteScript(dir / "migrate",
                "printf '%s|' \"$@\" > \"$(dirname \"$0\")/args\"\n"
                "printf 'S:\"New Config Path\"=/migrated\\r\\n' > '" +
                    (dir / "old/NVKRedirect.ini").string() + "'\n");
    g_queryAnswer = true;
    g_second = u"x";
    EXPECT_EQ(Redirect(U(dir / "old")), "true /migrated");
    EXPECT_EQ(g_second, u"/migrated");
    EXPECT_EQ(ReadFileBytes(dir / "args"), "/NoRegEdit|--from|old|");

    // Once started, the utility is never started again in this process.
    std::filesystem::remove(dir / "args");
    VReportMessageParams report;
    EXPECT_FALSE(RunMigrate(nullptr, true, report));
    EXPECT_FALSE(std::filesystem::exists(dir / "args"));
    EXPECT_EQ(report.GetMessageId(), 0u);
    SetHostExecutableFolder(nullptr);
}

TEST(ConfigFolder, RememberedPathAndTheIntegratedSibling) {
    TempDir dir;
    ScopedEnv env("SESSIONDECK_REGISTRY_DIR", (dir / "registry").string());
    SessionDeckDllInit(u"Vetralon", nullptr);
    SetCurrentAppProductID(ProductId(Product::Vetralon));
    EXPECT_TRUE(GetAppConfigPath(u"Vetralon").IsEmpty());

    // Not integrated: only this application's key is written.
    SaveAppConfigPath(u"/cfg/one", false);
    EXPECT_EQ(GetAppConfigPath(u"Vetralon"), u"/cfg/one");
    EXPECT_TRUE(GetAppConfigPath(u"Ferrivo").IsEmpty());

    // Integrated: the sibling takes the folder when it has none, and keeps
    // its own unless told to overwrite it.
    const std::string record = std::string("# ") + kVersionRecordMarker;
    WriteFileBytes(dir / "Vetralon.exe", record + "5.0.0.0\n");
    WriteFileBytes(dir / "Ferrivo.exe", record + "3.0.0.0\n");
    SessionDeckDllInitClientApplications(U(dir.path()).c_str());
    SaveAppConfigPath(u"/cfg/two", false);
    EXPECT_EQ(GetAppConfigPath(u"Ferrivo"), u"/cfg/two");
    SaveAppConfigPath(u"/cfg/three", false);
    EXPECT_EQ(GetAppConfigPath(u"Vetralon"), u"/cfg/three");
    EXPECT_EQ(GetAppConfigPath(u"Ferrivo"), u"/cfg/two");
    SaveAppConfigPath(u"/cfg/four", true);
    EXPECT_EQ(GetAppConfigPath(u"Ferrivo"), u"/cfg/four");

    // The older shared location is taken over as this application's own.
    TempDir empty;
    SessionDeckDllInitClientApplications(U(empty.path()).c_str());
    EXPECT_TRUE(GetAppConfigPathAlpha().IsEmpty());
    {
        VProfileStore store(&GetLibraryRegistryStoreFactory());
        VProfileKey global(store.GetRootKey(), u"Global");
        global.SetString(u"Config Path", u"/shared");
    }
    EXPECT_EQ(GetAppConfigPathAlpha(), u"/shared");
    EXPECT_EQ(GetAppConfigPath(u"Vetralon"), u"/shared");
}

TEST(ConfigFolder, ValidationCreatesTheFolderOrSaysWhy) {
    TempDir dir;
    ScriptedPrompt prompt;
    VUnicodeString entered = U(dir / "a/b/../c");
    EXPECT_TRUE(ValidateConfigFolder(entered));
    EXPECT_EQ(entered, U(dir / "a/c"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a/c"));
    EXPECT_TRUE(std::filesystem::is_empty(dir / "a/c"));  // the probe file is gone

    WriteFileBytes(dir / "file", "");
    const VUnicodeString bad = U(dir / "file/sub");
    entered = bad;
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(ValidateConfigFolder(entered));
    EXPECT_EQ(entered, bad);
    ASSERT_EQ(prompt.Questions().size(), 1u);
    EXPECT_NE(prompt.Questions()[0].text.str().find(bad.str()), std::u16string::npos);

    // The dialog asks again after a refusal; Cancel leaves it without a path.
    prompt.AnswerText(bad);
    prompt.AnswerButton(VPromptAnswer::kOk);
    prompt.AnswerText(U(dir / "chosen"));
    ConfigFolderDialog dialog(U(dir.path()), u"Configuration Folder");
    ASSERT_TRUE(dialog.DoModal());
    EXPECT_EQ(dialog.GetPath(), U(dir / "chosen"));
    EXPECT_EQ(prompt.Questions()[1].caption, u"Configuration Folder");
    prompt.AnswerCancel();
    EXPECT_FALSE(ConfigFolderDialog(U(dir.path()), u"T").DoModal());
}

// The portable-drive copy and the data form of paths on that drive.
TEST(ConfigFolder, U3CopyRunsTheRegisteredStepsAndRewritesTheGlobalOptions) {
    LibraryHost library;
    MemoryStoreFactory& memory = library.memory;
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    ScopedEnv env("U3_APP_DATA_PATH", "/media/u3/data");
    config->menuToolbarFile = u"/media/u3/data/bar.mnu";
    config->errorSoundFile = u"/snd/error.wav";
    // Steps stay registered for the life of the process, so the step is
    // registered once however often the test runs, and counts in a static.
    static int stepsRun = 0;
    static const bool registered = (RegisterU3MigrationStep([] { ++stepsRun; }), true);
    ASSERT_TRUE(registered);
    const int stepsBefore = stepsRun;

    SessionDeckDllMigrateConfigsToU3();
    EXPECT_EQ(stepsRun, stepsBefore + 1);
    EXPECT_EQ(config->menuToolbarFile.Get(), u"%u3data%/bar.mnu");
    ASSERT_NE(memory.Find(u"Global", u"Menu Toolbar File"), nullptr);
    EXPECT_EQ(memory.Find(u"Global", u"Menu Toolbar File")->string, u"%u3data%/bar.mnu");
    ASSERT_NE(memory.Find(u"Global", u"Error Sound File"), nullptr);
    EXPECT_TRUE(memory.Find(u"Global", u"Error Sound File")->string.IsEmpty());

    env.Set("U3_APP_DATA_PATH", "/media/u3/data/");
    EXPECT_EQ(ToU3DataForm(u"/media/u3/data/menus/bar.mnu"), u"%u3data%/menus/bar.mnu");
    EXPECT_EQ(ToU3DataForm(u"/media/u3/database/x"), u"/media/u3/database/x");
    EXPECT_EQ(ToU3DataForm(u"/other/x"), u"/other/x");
    env.Unset("U3_APP_DATA_PATH");
    EXPECT_EQ(ToU3DataForm(u"/media/u3/data/x"), u"/media/u3/data/x");
}
