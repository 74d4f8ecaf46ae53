// ReportLine: a report's text as the one line a message quoting its reason shows.
#include <gtest/gtest.h>

#include <cerrno>

#include "foundation/codepage.h"
#include "foundation/messages.h"
#include "foundation/report.h"
#include "foundation/report_text.h"

using namespace sessiondeck;

// A system error's text ends in a line break; blanks of every kind end the last insert. The
// report still gives its own text, line breaks and all.
TEST(ReportLine, OneLineWithTheBlanksAtItsEndCutAndTheReportLeftAsItWas) {
    VReportMessageParams system(ENOSPC), keymap(kMsgKeymapLoadFailed);
    keymap.AddInsert(u"a.map");
    keymap.AddInsert(u"why \t\v\f");
    const std::pair<VReportMessageParams*, std::string> cases[] = {
        {&system, "No space left on device"}, {&keymap, "Unable to load keymap file: a.map  why"}};
    for (const auto& [report, line] : cases) {
        const std::u16string full = report->GetText();
        const uint32_t id = report->GetMessageId();
        EXPECT_EQ(Utf16ToUtf8(ReportLine(*report)), line);
        EXPECT_EQ(std::u16string(report->GetText()), full);
        EXPECT_EQ(report->GetMessageId(), id);
    }
}
