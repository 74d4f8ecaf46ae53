// Log files: the name expansion, opening with the file prompt, plain and raw writing, and the
// custom log messages.
#include "data/log_file.h"

#include <mutex>

#include "foundation/codepage.h"
#include "foundation/message_format.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/system_messages.h"

namespace sessiondeck {

namespace {

// ExpandEnvironmentStrings wrote into a buffer of this many characters; a
// longer result leaves the pattern's variables unexpanded.
constexpr size_t kMaxEnvironmentExpansion = 512;

// Replaces every occurrence of `token` (without regard to case) with `value`.
std::u16string ReplaceNoCase(std::u16string text, std::u16string_view token,
                             std::u16string_view value) {
    const std::u16string foldedToken = FoldNoCase(token);
    size_t at = 0;
    while (at + token.size() <= text.size()) {
        if (FoldNoCase(std::u16string_view(text).substr(at, token.size())) == foldedToken) {
            text.replace(at, token.size(), value);
            at += value.size();
        } else {
            ++at;
        }
    }
    return text;
}

std::u16string ExpandVariables(std::u16string_view pattern) {
    std::u16string text = Utf8ToUtf16(platform::ExpandEnvironmentStrings(Utf16ToUtf8(pattern)));
    if (text.size() > kMaxEnvironmentExpansion) text = std::u16string(pattern);
    if (const auto data = platform::PortableDataFolder()) {
        text = ReplaceNoCase(std::move(text), u"%u3data%", Utf8ToUtf16(*data));
        if (const auto documents = platform::PortableDocumentFolder()) {
            text = ReplaceNoCase(std::move(text), u"%u3doc%", Utf8ToUtf16(*documents));
        }
    }
    return text;
}

SYSTEMTIME ToSystemTime(const platform::CalendarTime& time) {
    SYSTEMTIME out;
    out.wYear = static_cast<uint16_t>(time.year);
    out.wMonth = static_cast<uint16_t>(time.month);
    out.wDayOfWeek = static_cast<uint16_t>(time.dayOfWeek);
    out.wDay = static_cast<uint16_t>(time.day);
    out.wHour = static_cast<uint16_t>(time.hour);
    out.wMinute = static_cast<uint16_t>(time.minute);
    out.wSecond = static_cast<uint16_t>(time.second);
    out.wMilliseconds = static_cast<uint16_t>(time.millisecond);
    return out;
}

// A host name as part of a file name: the characters that would split it into
// folders (or, on Windows, name a stream) become '_'.
std::u16string HostForFileName(std::u16string_view host) {
    std::u16string out(host);
    for (char16_t& c : out) {
        if (c == u':' || c == u'/' || c == u'\\') c = u'_';
    }
    return out;
}

struct TerminalLogFileOption {
    std::mutex lock;
    std::function<VUnicodeString()> get;
    std::function<void(const VUnicodeString&)> set;
};

TerminalLogFileOption& RememberedName() {
    static TerminalLogFileOption option;
    return option;
}

VUnicodeString SystemErrorText(int error) {
    return VUnicodeString::FromUtf8(SystemErrorDescription(static_cast<uint32_t>(error))
                                        .value_or("error " + std::to_string(error)));
}

}  // namespace

bool ExpandLogFileName(std::u16string_view pattern, const char16_t* sessionName,
                       const SYSTEMTIME* time, std::u16string_view hostName,
                       VUnicodeString& expanded, VReportMessageParams& report) {
    expanded.Empty();
    const std::u16string text = ExpandVariables(pattern);
    const SYSTEMTIME when = time ? *time : ToSystemTime(platform::CurrentTime(false));
    const bool haveSession = sessionName && *sessionName;

    std::u16string out;
    out.reserve(text.size() + 32);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'%') {
            out += text[i];
            continue;
        }
        if (i + 1 == text.size()) {
            report.SetMessage(kMsgHostLogNameTrailingPercent);
            return false;
        }
        const char16_t token = text[++i];
        switch (token) {
            case u'Y':
                out += FormatMessageText(u"%1!04d!", when.wYear);
                break;
            case u'M':
                out += FormatMessageText(u"%1!02d!", when.wMonth);
                break;
            case u'D':
                out += FormatMessageText(u"%1!02d!", when.wDay);
                break;
            case u'h':
                out += FormatMessageText(u"%1!02d!", when.wHour);
                break;
            case u'm':
                out += FormatMessageText(u"%1!02d!", when.wMinute);
                break;
            case u's':
                out += FormatMessageText(u"%1!02d!", when.wSecond);
                break;
            case u't':
                out += FormatMessageText(u"%1!03d!", when.wMilliseconds);
                break;
            case u'%':
                out += u'%';
                break;
            case u'S':
                if (haveSession) {
                    out += sessionName;
                    break;
                }
                [[fallthrough]];
            case u'H':
                if (token == u'H' && !hostName.empty()) {
                    out += HostForFileName(hostName);
                    break;
                }
                [[fallthrough]];
            default: {
                const size_t start = i - 1;
                const size_t next = text.find(u'%', i);
                report.SetMessage(kMsgHostLogNameUnknownToken);
                report.AddInsert(std::u16string_view(text).substr(
                    start, next == std::u16string::npos ? std::u16string::npos : next - start));
                return false;
            }
        }
    }
    expanded = VUnicodeString(std::move(out));
    return true;
}

void SetTerminalLogFileOption(std::function<VUnicodeString()> get,
                              std::function<void(const VUnicodeString&)> set) {
    TerminalLogFileOption& option = RememberedName();
    std::lock_guard<std::mutex> guard(option.lock);
    option.get = std::move(get);
    option.set = std::move(set);
}

// ---- LogFile ------------------------------------------------------------------------

LogFile::LogFile() = default;
LogFile::~LogFile() = default;

VUnicodeString LogFile::Expand(const char16_t* pattern, const char16_t* sessionName,
                               const SYSTEMTIME* time, const VUnicodeString& hostName) {
    VUnicodeString expanded;
    VReportMessageParams report;
    if (!ExpandLogFileName(pattern ? pattern : u"", sessionName, time, hostName, expanded,
                           report)) {
        ReportMessage(kReportKindLibrary, report);
    }
    return expanded;
}

bool LogFile::Open(VUnicodeString& fileName, int flags, bool& cancelled, bool quiet) {
    Close();
    m_openFlags = flags;
    m_quiet = quiet;
    cancelled = false;
    m_failed = false;
    m_atLineStart = true;
    m_escape = Escape::kNone;
    m_lastError.Empty();

    if (fileName.IsEmpty() || (flags & kAlwaysAsk)) {
        // The remembered name is the fallback for sessions without a log file
        // name of their own, so only a choice made for such a session
        // replaces it.
        const bool sessionHasName = !fileName.IsEmpty();
        TerminalLogFileOption& option = RememberedName();
        if (!sessionHasName) {
            std::lock_guard<std::mutex> guard(option.lock);
            if (option.get) fileName = Expand(option.get().c_str(), nullptr, nullptr, {});
        }
        const std::optional<VUnicodeString> chosen =
            GetPrompt().AskFile(u"Select Log File", fileName.IsEmpty() ? u"session.log" : fileName,
                                u"Log Files (*.log)|*.log|All Files (*.*)|*.*||", true);
        if (!chosen) {
            cancelled = true;
            return false;
        }
        fileName = *chosen;
        if (!sessionHasName) {
            std::lock_guard<std::mutex> guard(option.lock);
            if (option.set) option.set(fileName);
        }
    }
    m_fileName = fileName;

    platform::OutputFile::Mode mode = platform::OutputFile::Mode::kCreate;
    if (flags & kAppend) {
        mode = (flags & kShared) ? platform::OutputFile::Mode::kSharedAppend
                                 : platform::OutputFile::Mode::kAppend;
    }
    const int error = m_file.Open(platform::ToNativeSeparators(fileName.ToUtf8()), mode);
    if (error == 0) return true;
    m_lastError = FormatMessageText(u"Unable to open log file: %1\n%2", fileName.str(),
                                    SystemErrorText(error).str());
    if (!m_quiet) {
        GetPrompt().ShowMessage(m_lastError, {}, VPromptButtons::kOk, VPromptIcon::kError);
    }
    return false;
}

void LogFile::Close() {
    m_file.Close();
}

void LogFile::SetLoggingOptions(const LogFileOptions& options) {
    m_connectMessage = options.connectMessage;
    m_disconnectMessage = options.disconnectMessage;
    m_eachLineMessage = options.eachLineMessage;
    m_sessionName = options.sessionName;
    m_hostName = options.hostName;
    m_logOnlyCustom = options.logOnlyCustom;
    m_hasConnectMessage = !m_connectMessage.IsEmpty();
    m_hasDisconnectMessage = !m_disconnectMessage.IsEmpty();
    m_hasEachLineMessage = !m_eachLineMessage.IsEmpty();
}

VUnicodeString LogFile::CreateCustomLogMessage(const VUnicodeString& message) const {
    const SYSTEMTIME now = ToSystemTime(platform::CurrentTime(true));
    VUnicodeString expanded;
    VReportMessageParams report;
    // A message with a bad token is logged as written: reporting it on every
    // line of output would bury the user in message boxes.
    if (!ExpandLogFileName(message, m_sessionName.c_str(), &now, m_hostName, expanded, report)) {
        return message;
    }
    return expanded;
}

void LogFile::LogCustomMessage(const VUnicodeString& message) {
    if (!m_file.IsOpen() || m_failed) return;
    m_writingCustomMessage = true;
    WriteOut(CreateCustomLogMessage(message).ToAnsi() + "\r\n");
    m_writingCustomMessage = false;
    m_atLineStart = true;
}

void LogFile::LogConnect() {
    if (m_hasConnectMessage) LogCustomMessage(m_connectMessage);
}

void LogFile::LogDisconnect() {
    if (m_hasDisconnectMessage) LogCustomMessage(m_disconnectMessage);
}

void LogFile::AppendFiltered(unsigned char byte, std::string& out) {
    constexpr unsigned char kEsc = 0x1B;
    constexpr unsigned char kBel = 0x07;
    switch (m_escape) {
        case Escape::kNone:
            break;
        case Escape::kStart:
            // ESC [ starts a control sequence, ESC ] P X ^ _ a string ended by
            // BEL or ESC \; anything else ends a two-character sequence.
            if (byte == '[') {
                m_escape = Escape::kControl;
            } else if (byte == ']' || byte == 'P' || byte == 'X' || byte == '^' || byte == '_') {
                m_escape = Escape::kString;
            } else {
                m_escape = Escape::kNone;
            }
            return;
        case Escape::kControl:
            if (byte >= 0x40 && byte <= 0x7E) m_escape = Escape::kNone;
            return;
        case Escape::kString:
            if (byte == kBel) m_escape = Escape::kNone;
            if (byte == kEsc) m_escape = Escape::kStringEnd;
            return;
        case Escape::kStringEnd:
            m_escape = byte == '\\' ? Escape::kNone : Escape::kString;
            return;
    }
    if (byte == kEsc) {
        m_escape = Escape::kStart;
        return;
    }
    // Plain logs keep text and line layout; other control characters (NUL
    // padding, bells, shift codes) would only make the file unreadable.
    if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r' && byte != '\b' &&
        byte != '\f') {
        return;
    }
    if (byte == 0x7F) return;
    out += static_cast<char>(byte);
}

void LogFile::Write(const void* data, unsigned int length) {
    if (!m_file.IsOpen() || m_failed || m_logOnlyCustom || !data) return;
    const auto* bytes = static_cast<const unsigned char*>(data);
    m_buffer.clear();
    std::string lineMessage;
    bool lineMessageReady = false;
    for (unsigned int i = 0; i < length; ++i) {
        const size_t before = m_buffer.size();
        if (IsRaw()) {
            m_buffer += static_cast<char>(bytes[i]);
        } else {
            AppendFiltered(bytes[i], m_buffer);
        }
        if (m_buffer.size() == before) continue;
        // The per-line message goes in front of a line's first character, so
        // a log never ends with a message for a line that did not come.
        if (m_atLineStart && m_hasEachLineMessage && !m_writingCustomMessage) {
            if (!lineMessageReady) {
                lineMessage = CreateCustomLogMessage(m_eachLineMessage).ToAnsi();
                lineMessageReady = true;
            }
            m_buffer.insert(before, lineMessage);
        }
        m_atLineStart = m_buffer.back() == '\n';
    }
    if (!m_buffer.empty()) WriteOut(m_buffer);
}

void LogFile::WriteOut(const std::string& bytes) {
    const int error = m_file.Write(bytes.data(), bytes.size());
    if (error == 0) return;
    Fail(FormatMessageText(u"Unable to write to log file: %1\n\t%2\nNo more data will be logged.",
                           m_fileName.str(), SystemErrorText(error).str()));
}

void LogFile::Fail(const VUnicodeString& text) {
    m_failed = true;
    m_lastError = text;
    if (!m_quiet) GetPrompt().ShowMessage(text, {}, VPromptButtons::kOk, VPromptIcon::kError);
}

}  // namespace sessiondeck
