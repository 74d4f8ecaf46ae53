// ReportLine: a report's text as the one line a message quoting its reason shows.
#include <gtest/gtest.h>

#include <cerrno>

#include "foundation/codepage.h"
#include "foundation/messages.h"
#include "foundation/report.h"
#include "foundation/report_text.h"

using namespace sessiondeck;

namespace {

TEST(ReportLine, OneLineWithTheBlanksAtItsEndCutAndTheReportLeftAsItWas) {
    struct Case {
        const char* what;
        uint32_t id;
        std::vector<std::u16string> inserts;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"a system error, whose text ends in a line break", ENOSPC, {}, "No space left on device"},
        {"blanks of every kind at the end of the last insert",
         kMsgKeymapLoadFailed,
         {u"a.map", u"why \t\v\f"},
         "Unable to load keymap file: a.map  why"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VReportMessageParams report(c.id);
        for (const std::u16string& insert : c.inserts) report.AddInsert(insert);
        const std::u16string full = report.GetText();
        EXPECT_EQ(Utf16ToUtf8(ReportLine(report)), c.line);
        // The report still gives its own text, line breaks and all.
        EXPECT_EQ(std::u16string(report.GetText()), full);
        EXPECT_EQ(report.GetMessageId(), c.id);
    }
}

}  // namespace
