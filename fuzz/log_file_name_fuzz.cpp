// Fuzz target: log file name patterns, with their session name, host name and time.
#include <cstring>

#include "data/log_file.h"
#include "foundation/messages.h"
#include "fuzz/fuzz_support.h"

using namespace sessiondeck;

namespace {

bool HasPercent(std::u16string_view text) {
    return text.find(u'%') != std::u16string_view::npos;
}

}  // namespace

// The input is lines: the pattern, the session name, the host name and up to
// 16 bytes of time fields. A missing session line passes no session name.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> fields = fuzz::Fields(fuzz::Bytes(data, size), '\n');
    const std::u16string pattern = fuzz::Text(fields[0]);
    const std::u16string session = fields.size() > 1 ? fuzz::Text(fields[1]) : std::u16string();
    const std::u16string host = fields.size() > 2 ? fuzz::Text(fields[2]) : std::u16string();
    SYSTEMTIME time;
    time.wYear = 2024;
    time.wMonth = 2;
    time.wDay = 29;
    if (fields.size() > 3) {
        std::memcpy(&time, fields[3].data(), std::min(fields[3].size(), sizeof time));
    }
    const char16_t* sessionName = fields.size() > 1 ? session.c_str() : nullptr;

    VUnicodeString expanded;
    VReportMessageParams report;
    const bool ok = ExpandLogFileName(pattern, sessionName, &time, host, expanded, report);
    if (ok) {
        FUZZ_CHECK(report.GetMessageId() == 0);
    } else {
        FUZZ_CHECK(expanded.IsEmpty());
        const uint32_t id = report.GetMessageId();
        FUZZ_CHECK(id == kMsgHostLogNameUnknownToken || id == kMsgHostLogNameTrailingPercent);
        if (id == kMsgHostLogNameUnknownToken) {
            FUZZ_CHECK(report.GetInsertCount() == 1);
            FUZZ_CHECK(report.GetInserts()[0][0] == u'%');
        }
    }

    // Same inputs, same answer.
    VUnicodeString second;
    VReportMessageParams secondReport;
    FUZZ_CHECK(ExpandLogFileName(pattern, sessionName, &time, host, second, secondReport) == ok);
    FUZZ_CHECK(second == expanded);

    // Text without '%' is a plain file name and comes back as it is.
    if (!HasPercent(pattern) && fuzz::IsWellFormed(pattern)) {
        FUZZ_CHECK(ok && expanded.str() == pattern);
    }

    // %H is the host name made safe for one file name component; %S is the
    // session name as given. Either is a bad token when its name is missing.
    VUnicodeString hostOnly;
    VReportMessageParams hostReport;
    const bool hostOk = ExpandLogFileName(u"%H", sessionName, &time, host, hostOnly, hostReport);
    FUZZ_CHECK(hostOk == !host.empty());
    if (hostOk) {
        FUZZ_CHECK(hostOnly.Length() == host.size());
        FUZZ_CHECK(hostOnly.str().find_first_of(u":/\\") == std::u16string::npos);
    }
    VUnicodeString sessionOnly;
    VReportMessageParams sessionReport;
    const bool sessionOk =
        ExpandLogFileName(u"%S", sessionName, &time, host, sessionOnly, sessionReport);
    FUZZ_CHECK(sessionOk == (sessionName && *sessionName));
    if (sessionOk) FUZZ_CHECK(sessionOnly.str() == sessionName);
    return 0;
}
