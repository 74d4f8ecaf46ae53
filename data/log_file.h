// Log files: expanding a log file name pattern, opening and writing the log, and the session's
// custom log messages.
#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "data/time_zone.h"
#include "foundation/export.h"
#include "foundation/report.h"
#include "foundation/unicode_string.h"
#include "platform/output_file.h"

namespace sessiondeck {

// Expands a log file name pattern: environment variables ("%TEMP%"), then the
// portable-drive folders ("%u3data%", "%u3doc%") when the application runs
// from such a drive, then the tokens %Y %M %D %h %m %s %t (the time, UTC now
// when `time` is null), %S (the session name), %H (the host name, with the
// characters a file name cannot hold replaced by '_') and %%. A null or empty
// session or host name counts as not given. On a bad token the answer is
// false, `expanded` is empty and `report` says why (kMsgHostLogNameUnknownToken
// or kMsgHostLogNameTrailingPercent); otherwise `report` is left alone.
//
// This is the one expansion behind log files, session paths and sound files;
// it takes plain values so that callers need no session object.
SESSIONDECK_API bool ExpandLogFileName(std::u16string_view pattern, const char16_t* sessionName,
                                       const SYSTEMTIME* time, std::u16string_view hostName,
                                       VUnicodeString& expanded, VReportMessageParams& report);

// Where Open finds and keeps the remembered terminal log file name (the global
// option "Terminal Log File"). The global configuration installs both when it
// is built; until then the remembered name is empty and nothing is kept.
SESSIONDECK_API void SetTerminalLogFileOption(std::function<VUnicodeString()> get,
                                              std::function<void(const VUnicodeString&)> set);

// What a session contributes to its log: its custom messages and the values
// of %S and %H in them.
struct LogFileOptions {
    VUnicodeString connectMessage;     // "Custom Log Message Connect"
    VUnicodeString disconnectMessage;  // "Custom Log Message Disconnect"
    VUnicodeString eachLineMessage;    // "Custom Log Message Each Line"
    VUnicodeString sessionName;
    VUnicodeString hostName;
    bool logOnlyCustom = false;  // "Log Only Custom": the session's own output is not logged
};

class SESSIONDECK_API LogFile {
public:
    // Open flags.
    static constexpr int kAppend = 0x1;     // append to an existing file, else create anew
    static constexpr int kRaw = 0x2;        // write every byte as received
    static constexpr int kAlwaysAsk = 0x4;  // ask for the file name even when one is given
    // With kAppend: several sessions log into the same file at once, each
    // write landing at the file's end at that moment.
    static constexpr int kShared = 0x8;
    static constexpr int kDebug = 0x10000;

    LogFile();
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // ExpandLogFileName with a bad token routed to the host as a report; the
    // answer is then empty.
    static VUnicodeString Expand(const char16_t* pattern, const char16_t* sessionName,
                                 const SYSTEMTIME* time, const VUnicodeString& hostName);

    // Opens the log. When `fileName` is empty or kAlwaysAsk is set, the user is
    // asked for the file first; Cancel sets `cancelled` and answers false.
    // False with the reason in GetLastErrorMessage() (shown to the user unless
    // `quiet`) when the file cannot be opened.
    bool Open(VUnicodeString& fileName, int flags, bool& cancelled, bool quiet);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }

    // Logs what the session received. After a failed write nothing more is
    // logged until the log is opened again.
    void Write(const void* data, unsigned int length);
    void LogConnect();
    void LogDisconnect();

    void SetLoggingOptions(const LogFileOptions& options);
    // The options a record above this layer describes (a session, through its
    // GetLoggingOptions()); a null record changes nothing. A template, so that
    // the log file never needs to know the session's type.
    template <class Source>
    requires requires(const Source& source) {
        { source.GetLoggingOptions() } -> std::convertible_to<LogFileOptions>;
    }
    void SetLoggingOptions(const Source* source) {
        if (source) SetLoggingOptions(source->GetLoggingOptions());
    }

    bool IsRaw() const { return (m_openFlags & kRaw) != 0; }
    bool IsDebug() const { return (m_openFlags & kDebug) != 0; }
    const VUnicodeString& GetFileName() const { return m_fileName; }
    const VUnicodeString& GetLastErrorMessage() const { return m_lastError; }

private:
    VUnicodeString CreateCustomLogMessage(const VUnicodeString& message) const;
    void LogCustomMessage(const VUnicodeString& message);
    // Keeps what a plain (not raw) log shows of one received byte.
    void AppendFiltered(unsigned char byte, std::string& out);
    void WriteOut(const std::string& bytes);
    void Fail(const VUnicodeString& text);

    // Where a plain log stands inside an escape sequence that spans writes.
    enum class Escape { kNone, kStart, kControl, kString, kStringEnd };

    int m_openFlags = 0;
    platform::OutputFile m_file;
    std::string m_buffer;
    VUnicodeString m_fileName;
    VUnicodeString m_connectMessage;
    VUnicodeString m_disconnectMessage;
    VUnicodeString m_eachLineMessage;
    VUnicodeString m_sessionName;
    VUnicodeString m_hostName;
    bool m_quiet = false;
    bool m_hasDisconnectMessage = false;
    bool m_hasConnectMessage = false;
    bool m_hasEachLineMessage = false;
    bool m_writingCustomMessage = false;
    bool m_logOnlyCustom = false;

    bool m_failed = false;
    bool m_atLineStart = true;
    Escape m_escape = Escape::kNone;
    VUnicodeString m_lastError;
};

}  // namespace sessiondeck
