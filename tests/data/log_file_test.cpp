// Log files: the name pattern table, the file prompt, plain and raw writing and the custom
// messages.
#include <gtest/gtest.h>

#include <ctime>

#include "data/log_file.h"
#include "foundation/messages.h"
#include "support/case_file.h"
#include "support/scoped_env.h"
#include "support/scripted_prompt.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

namespace {

const SYSTEMTIME kWhen{2024, 3, 0, 5, 9, 7, 3, 42};

// Each row is "PATTERN | SESSION | HOST" (no session at all: "-") expanded at kWhen, and the name
// it gives or the report with its insert.
TEST(LogFileNameTest, PatternTable) {
    ScopedEnv env("SD_LOG_TEST_DIR", "/var/tmp");
    env.Set("U3_APP_DATA_PATH", "/media/u3/data").Set("U3_DEVICE_DOCUMENT_PATH", "/media/u3/docs");
    ExpectCaseFile("data/log-file-names.txt", [](const std::vector<std::string>& fields) {
        const std::u16string row = VUnicodeString::FromUtf8(fields[0]).str();
        const size_t bar1 = row.find(u" | "), bar2 = row.rfind(u" | ");
        if (bar1 == bar2) return std::string("not a row");
        const std::u16string session = row.substr(bar1 + 3, bar2 - bar1 - 3);
        VUnicodeString expanded = u"stale";
        VReportMessageParams report;
        const bool ok =
            ExpandLogFileName(row.substr(0, bar1), session == u"-" ? nullptr : session.c_str(),
                              &kWhen, row.substr(bar2 + 3), expanded, report);
        const uint32_t id = report.GetMessageId();
        if (ok && id == 0) return expanded.ToUtf8();
        std::string out = id == kMsgHostLogNameUnknownToken      ? "unknown token"
                          : id == kMsgHostLogNameTrailingPercent ? "trailing percent"
                                                                 : "report " + std::to_string(id);
        for (size_t i = 0; i < report.GetInsertCount(); ++i)
            out += " '" + VUnicodeString(report.GetInserts()[i]).ToUtf8() + "'";
        return out + (ok ? " (but true)" : "") + (expanded.IsEmpty() ? "" : " (name left)");
    });
}

TEST(LogFileNameTest, OffThePortableDriveAndAtTheCurrentTime) {
    // Off the drive the token is just an unknown one.
    EXPECT_TRUE(LogFile::Expand(u"%u3data%/a", nullptr, &kWhen, {}).IsEmpty());
    // Without a time the current UTC date is used (read on both sides of the call, in case the
    // date changes meanwhile).
    const auto today = [] {
        const std::time_t now = std::time(nullptr);
        std::tm utc{};
        char text[16];
        std::strftime(text, sizeof text, "%Y-%m-%d", gmtime_r(&now, &utc));
        return std::string(text);
    };
    const std::string before = today(),
                      expanded = LogFile::Expand(u"%Y-%M-%D", nullptr, nullptr, {}).ToUtf8();
    EXPECT_TRUE(expanded == before || expanded == today()) << expanded;
}

TEST(LogFileTest, PlainRawAndCustomMessageWriting) {
    TempDir dir;
    VUnicodeString name = VUnicodeString::FromUtf8((dir / "s.log").string());
    WriteFileBytes(dir / "s.log", "old\n");
    bool cancelled = true;
    {
        LogFile log;
        ASSERT_TRUE(log.Open(name, LogFile::kAppend, cancelled, true));
        EXPECT_FALSE(cancelled);
        const std::string data = "a\x1b[1;31mred\x1b[0m\a\x1b]0;title\a!\r\n";
        log.Write(data.data(), static_cast<unsigned>(data.size()));
        // An escape sequence split across two writes is still dropped whole.
        log.Write("\x1b[", 2);
        log.Write("2Jz", 3);
    }
    EXPECT_EQ(ReadFileBytes(dir / "s.log"), "old\nared!\r\nz");
    LogFile log;
    ASSERT_TRUE(log.Open(name, LogFile::kRaw, cancelled, true));
    EXPECT_TRUE(log.IsRaw());
    log.Write("\x1b[0m\0x", 6);
    log.Close();
    EXPECT_EQ(ReadFileBytes(dir / "s.log"), std::string("\x1b[0m\0x", 6));

    log.SetLoggingOptions({u"+ %S on %H", u"- %S", u"[%H] ", u"Lab", u"h:1", false});
    ASSERT_TRUE(log.Open(name, 0, cancelled, true));
    log.LogConnect();
    log.Write("one\r\ntw", 7);
    log.Write("o\r\n", 3);
    log.LogDisconnect();
    log.Close();
    EXPECT_EQ(ReadFileBytes(dir / "s.log"), "+ Lab on h_1\r\n[h_1] one\r\n[h_1] two\r\n- Lab\r\n");
    // Only the custom messages; a bad token is written as it stands.
    log.SetLoggingOptions({u"up %q", {}, u"> ", u"Lab", u"h", true});
    ASSERT_TRUE(log.Open(name, 0, cancelled, true));
    log.LogConnect();
    log.Write("data\n", 5);
    log.LogDisconnect();
    log.Close();
    EXPECT_EQ(ReadFileBytes(dir / "s.log"), "up %q\r\n");
}

TEST(LogFileTest, PromptAndFailures) {
    TempDir dir;
    ScriptedPrompt prompt;
    LogFile log;
    bool cancelled = false;
    VUnicodeString name;
    prompt.AnswerCancel();
    EXPECT_FALSE(log.Open(name, 0, cancelled, true)) << "no name: the user is asked for one";
    EXPECT_TRUE(cancelled);

    // Not quiet: the open failure is shown, and kept.
    VUnicodeString missing = VUnicodeString::FromUtf8((dir / "no/such/x.log").string());
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(log.Open(missing, 0, cancelled, false));
    EXPECT_EQ(prompt.Questions().back().text, log.GetLastErrorMessage());
    EXPECT_EQ(log.GetLastErrorMessage().ToUtf8(),
              "Unable to open log file: " + missing.ToUtf8() + "\nNo such file or directory");

    // A failed write is shown once; then nothing more is logged (a second
    // message box would find no answer queued and fail the test).
    VUnicodeString full = u"/dev/full";
    ASSERT_TRUE(log.Open(full, LogFile::kAppend, cancelled, false));
    prompt.AnswerButton(VPromptAnswer::kOk);
    log.Write("x", 1);
    log.Write("y", 1);
    EXPECT_EQ(prompt.Questions().back().text,
              u"Unable to write to log file: /dev/full\n\tNo space left on device\nNo more data "
              u"will be logged.");
}

}  // namespace
