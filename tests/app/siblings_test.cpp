// Sibling applications: presence rules, launching real programs, and the shared small services.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "app/global_config.h"
#include "app/init.h"
#include "app/siblings.h"
#include "platform/process.h"
#include "platform/version_record.h"
#include "support/library_host.h"
#include "support/scripted_prompt.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

namespace {

// A sibling executable: a shell script that records its arguments one per
// line, carrying a version record in a comment so it counts as present.
void WriteSibling(const TempDir& dir, const std::string& name, const std::string& version) {
    const std::filesystem::path file = dir / name;
    WriteFileBytes(file, "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n# " +
                             std::string(kVersionRecordMarker) + version + "\n");
    chmod(file.c_str(), 0755);
}

void Record(const TempDir& dir) {
    SessionDeckDllInitClientApplications(VUnicodeString::FromUtf8(dir.path().string()).c_str());
}

std::string WaitForFile(const std::filesystem::path& file) {
    for (int i = 0; i < 500 && !std::filesystem::exists(file); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let the writer finish
    return ReadFileBytes(file);
}

struct SiblingsTest : ::testing::Test {
    TempDir dir;
    void TearDown() override {
        SessionDeckDllInitClientApplications(nullptr);
        TempDir empty;
        Record(empty);
        SetCurrentAppProductID(ProductId(Product::None));
    }
};

// The shared global options over a fresh in-memory store.
struct WithGlobalOptions : ::testing::Test {
    LibraryHost library;
    GlobalConfig* config = nullptr;
    void SetUp() override { GetGlobalConfig(config); }
};

}  // namespace

TEST_F(WithGlobalOptions, AnonymousPasswordFallsBackToTheUserName) {
    const std::string user = CurrentUserName();
    EXPECT_EQ(GetDefaultAnonymousPassword().ToUtf8(), (user.empty() ? "guest" : user) + "@");
    config->anonymousPassword = u"me@example.org";
    EXPECT_EQ(GetDefaultAnonymousPassword(), u"me@example.org");
}

TEST_F(WithGlobalOptions, UpdateReminderAsksEveryThirtyDaysUntilToldNotTo) {
    ScriptedPrompt prompt;
    const auto now = static_cast<unsigned long>(std::time(nullptr));
    constexpr unsigned long kDay = 24 * 60 * 60;
    config->updatePromptDate = now - 29 * kDay;
    EXPECT_FALSE(CheckPeriodicUpdate());
    EXPECT_TRUE(prompt.Questions().empty());

    config->updatePromptDate = now - 30 * kDay - 5;
    prompt.AnswerButton(VPromptAnswer::kNo);
    EXPECT_FALSE(CheckPeriodicUpdate());
    ASSERT_EQ(prompt.Questions().size(), 1u);
    EXPECT_EQ(prompt.Questions()[0].kind, PromptQuestion::kOptionalMessage);
    EXPECT_EQ(prompt.Questions()[0].buttons, VPromptButtons::kYesNo);
    EXPECT_GE(config->updatePromptDate.Get(), now);  // asked now: quiet for 30 days
    EXPECT_FALSE(CheckPeriodicUpdate());

    config->updatePromptDate = 0;
    prompt.AnswerButton(VPromptAnswer::kYes, true);
    EXPECT_TRUE(CheckPeriodicUpdate());
    EXPECT_EQ(config->neverCheckForUpdates.Get(), 1);
    config->updatePromptDate = 0;
    EXPECT_FALSE(CheckPeriodicUpdate());  // opted out: never asks again
    EXPECT_EQ(prompt.Questions().size(), 2u);
}

TEST_F(SiblingsTest, PresenceAndIntegration) {
    // Each needs its own major version: the older terminal 5, the terminal 5, file transfer 3.
    WriteSibling(dir, "Vetra.exe", "4.9.1.0");
    WriteSibling(dir, "Vetralon.exe", "5.0.0.0");
    WriteSibling(dir, "Ferrivo.exe", "3.0.0.0");
    EXPECT_TRUE(SessionDeckDllInitClientApplications(
        VUnicodeString::FromUtf8(dir.path().string()).c_str()));
    SetCurrentAppProductID(ProductId(Product::Ferrivo));
    VUnicodeString other;
    EXPECT_TRUE(IsIntegrated());
    EXPECT_TRUE(IsIntegrated(other));
    EXPECT_EQ(other, u"Vetralon");
    SetCurrentAppProductID(ProductId(Product::Vetralon));
    EXPECT_TRUE(IsIntegrated(other));
    EXPECT_EQ(other, u"Ferrivo");
    EXPECT_TRUE(CanLaunchTerminalApp());
    EXPECT_FALSE(IsVetraInstalled());
    EXPECT_EQ(GetFerrivoPath(), VUnicodeString::FromUtf8(dir.path().string()) + u"\\Ferrivo.exe");

    // The older terminal beside them breaks the integration.
    WriteSibling(dir, "Vetra.exe", "5.1.0.0");
    Record(dir);
    other = u"unchanged";
    EXPECT_FALSE(IsIntegrated(other));
    EXPECT_EQ(other, u"unchanged");

    // Only the older terminal: it can be launched, the current one cannot.
    std::filesystem::remove(dir / "Vetralon.exe");
    std::filesystem::remove(dir / "Ferrivo.exe");
    Record(dir);
    EXPECT_TRUE(IsVetralonOrVetraInstalled());
    EXPECT_FALSE(CanLaunchTerminalApp());
    EXPECT_FALSE(IsIntegrated());
    EXPECT_TRUE(GetFerrivoPath().IsEmpty());
}

TEST_F(SiblingsTest, LaunchFailureTellsWhichProgramAndWhere) {
    ScriptedPrompt prompt;
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(LaunchFileTransferApp(u"x"));  // nothing recorded: empty path
    // Present by its record, but not a program that can be started.
    WriteFileBytes(dir / "Vetralon.exe", std::string(kVersionRecordMarker) + "5.0.0.0\n");
    Record(dir);
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(LaunchTerminalApp(u""));
    ASSERT_EQ(prompt.Questions().size(), 2u);
    EXPECT_EQ(prompt.Questions()[0].text,
              u"Ferrivo could not be launched from the following location:\r\n\r\n");
    EXPECT_EQ(prompt.Questions()[1].text,
              u"Vetralon could not be launched from the following location:\r\n" +
                  GetVetralonPath().str() + u"\r\n");
}

TEST_F(SiblingsTest, LaunchPassesTheArgumentsAndFallsBackToTheOlderTerminal) {
    WriteSibling(dir, "Ferrivo.exe", "3.0.0.0");
    WriteSibling(dir, "Vetra.exe", "5.0.0.0");
    Record(dir);
    ASSERT_TRUE(LaunchFileTransferApp(u"/S \"My Sessions\\box one\" -x"));
    EXPECT_EQ(WaitForFile(dir / "Ferrivo.exe.args"), "/S\nMy Sessions\\box one\n-x\n");
    ASSERT_TRUE(LaunchTerminalApp(u""));
    EXPECT_EQ(WaitForFile(dir / "Vetra.exe.args"), "\n");  // printf runs once without arguments
}

TEST(ProcessArguments, SplitLikeAWindowsCommandLine) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitArgumentString(""), V{});
    EXPECT_EQ(SplitArgumentString("  a\tb  "), (V{"a", "b"}));
    EXPECT_EQ(SplitArgumentString("\"a b\" c\"d e\"f"), (V{"a b", "cd ef"}));
    EXPECT_EQ(SplitArgumentString("\"\""), V{""});
    EXPECT_EQ(SplitArgumentString(R"(a\\b \\\"c d\\\\"e f")"),
              (V{R"(a\\b)", R"(\"c)", R"(d\\e f)"}));
    EXPECT_EQ(SplitArgumentString(R"(C:\dir\ "x\")"), (V{R"(C:\dir\)", R"(x")"}));
}

TEST(ExtractExecutablePath, QuotedExeOrWhole) {
    EXPECT_EQ(ExtractExecutablePath(u"  \"C:\\Program Files\\A\\a.exe\" /x  "),
              u"C:\\Program Files\\A\\a.exe");
    EXPECT_EQ(ExtractExecutablePath(u"\"unterminated path"), u"unterminated path");
    EXPECT_EQ(ExtractExecutablePath(u"C:\\Tools\\Run.EXE -a b.exe"), u"C:\\Tools\\Run.EXE");
    EXPECT_EQ(ExtractExecutablePath(u"\t/usr/bin/tool --flag \r\n"), u"/usr/bin/tool --flag");
    EXPECT_EQ(ExtractExecutablePath(nullptr), u"");
}
