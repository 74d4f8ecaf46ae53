// Reports: the library's message table, text resolution with its fall-backs, caching, lifetime,
// routing and the one-line form.
#include <gtest/gtest.h>

#include <cerrno>

#include "foundation/codepage.h"
#include "foundation/messages.h"
#include "foundation/report.h"
#include "foundation/report_text.h"
#include "support/case_file.h"

using namespace sessiondeck;

namespace {

std::string Utf8(const char16_t* text) {
    return Utf16ToUtf8(text ? text : u"(null)");
}

// A host message table holding the two loader messages.
const VMessageModule kHostModule = {"vetralon", [](uint32_t id) -> const char16_t* {
                                        return id == kMsgHostLibraryLoadFailed
                                                   ? u"Unable to load %1.\r\n%2\r\n"
                                               : id == kMsgHostEntryPointMissing
                                                   ? u"An entry point of %1 is missing.\r\n%2\r\n"
                                                   : nullptr;
                                    }};

// A module that counts its lookups, to see when a report formats.
int g_countingLookups = 0;
const VMessageModule kCountingModule = {"counting.so", [](uint32_t id) -> const char16_t* {
                                            ++g_countingLookups;
                                            return id == 0xE0000001u ? u"Count %1.\r\nDone.\r\n"
                                                                     : nullptr;
                                        }};

// A report whose destruction is counted; made by a replaced creation function.
int g_destroyed = 0;
class CountedReport : public VReportMessageParams {
public:
    using VReportMessageParams::VReportMessageParams;
    ~CountedReport() override { ++g_destroyed; }
};

// A host router that logs what it was given ("kind text;") and may keep a reference.
struct FakeRouter : VReportMessageRouter {
    int Route(IReportMessageParams* report) override {
        seen = report;
        log += std::to_string(report->GetKind()) + " " + Utf8(report->GetTextSingleLine()) + ";";
        if (keep) (kept = report)->AddRef();
        return answer;
    }
    IReportMessageParams* seen = nullptr;
    IReportMessageParams* kept = nullptr;
    std::string log;
    bool keep = false;
    int answer = 42;
};
FakeRouter* g_router = nullptr;

class ReportTest : public testing::Test {
protected:
    void SetUp() override {
        g_destroyed = 0;
        g_countingLookups = 0;
        g_router = &router;
    }
    void TearDown() override {
        SetReportRouterGetter(nullptr);
        SetReportCreateFunction(nullptr);
        SetHostMessageModule(nullptr);
        g_router = nullptr;
    }
    FakeRouter router;
};

}  // namespace

// tests/golden/foundation/report-texts.txt: the host's table registered, id, module, form,
// inserts; the text.
TEST_F(ReportTest, TextsResolveThroughTheFallBackOrder) {
    ExpectCaseFile("foundation/report-texts.txt", [](const std::vector<std::string>& fields) {
        SetHostMessageModule(fields[0] == "yes" ? &kHostModule : nullptr);
        const uint32_t id = static_cast<uint32_t>(std::stoul(fields[1], nullptr, 16));
        VReportMessageParams report =
            fields[2] == "none" ? VReportMessageParams(id, nullptr) : VReportMessageParams(id);
        for (size_t i = 4; i < fields.size(); ++i) {
            if (fields[i].starts_with("a:"))
                report.AddInsert(fields[i].substr(2).c_str());
            else
                report.AddInsert(Utf8ToUtf16(fields[i]).c_str());
        }
        return Utf8(fields[3] == "single" ? report.GetTextSingleLine() : report.GetText());
    });
}

TEST_F(ReportTest, TextIsCachedUntilTheReportChanges) {
    VReportMessageParams report(0xE0000001u, &kCountingModule);
    report.AddInsert(u"one");
    const char16_t* text = report.GetText();
    EXPECT_EQ(Utf8(text) + std::to_string(report.GetTextLength()), "Count one.\r\nDone.\r\n19");
    EXPECT_EQ(report.GetText(), text);
    EXPECT_EQ(g_countingLookups, 1);

    const char16_t* single = report.GetTextSingleLine();
    EXPECT_EQ(Utf8(single) + std::to_string(report.GetTextLength()), "Count one. Done.16");
    // Both forms stay valid side by side; neither is formatted again.
    EXPECT_EQ(report.GetText(), text);
    EXPECT_EQ(Utf8(text), "Count one.\r\nDone.\r\n");
    EXPECT_EQ(report.GetTextSingleLine(), single);
    EXPECT_EQ(g_countingLookups, 2);

    // Assign discards the cached text.
    VReportMessageParams other(0xE0000001u, &kCountingModule);
    other.AddInsert(u"two");
    report.Assign(other);
    EXPECT_EQ(Utf8(report.GetText()), "Count two.\r\nDone.\r\n");
    EXPECT_EQ(g_countingLookups, 3);

    // SetMessage resets id, inserts and module; SetMessageId keeps the inserts.
    report.SetMessage(kMsgNameInUse);
    EXPECT_EQ(report.GetInsertCount(), 0u);
    EXPECT_EQ(report.GetModule(), GetLibraryMessageModule());
    const std::string bare = Utf8(report.GetText());
    report.AddInsert("Default");
    EXPECT_NE(Utf8(report.GetText()), bare);
    report.SetMessageId(kMsgProtocolNotSupported);
    EXPECT_EQ(Utf8(report.GetText()), "The protocol Default is not supported in this version.\r\n");
}

TEST_F(ReportTest, InsertsCopiesAndFormattedInserts) {
    VReportMessageParams report(kMsgLaunchFailed);
    report.AddInsert(u"Ferrivo");
    report.AddInsert("caf\xe9");  // the system's 8-bit code page
    report.AddFormattedInsertF(u"%1!d! of %2 (0x%3!04X!)", 3, u"five", 0xABu);
    report.AddFormattedInsertF(u"gap %1 %3 100%%");  // invalid: placeholders stay, escapes apply
    ASSERT_EQ(report.GetInsertCount(), 4u);
    std::string inserts;  // up to the null that ends them
    for (const char16_t* const* insert = std::as_const(report).GetInserts(); *insert; ++insert)
        inserts += Utf8(*insert) + "|";
    EXPECT_EQ(inserts, "Ferrivo|caf\xc3\xa9|3 of five (0x00AB)|gap %1 %3 100%|");

    // A copy has its own inserts and the kind; Assign takes id, module and inserts, not the kind.
    report.SetKind(7);
    VReportMessageParams copy(report), target(kMsgNotAUrl);
    EXPECT_NE(copy.GetInserts()[0], report.GetInserts()[0]);
    target.Assign(report);
    EXPECT_EQ(copy.GetKind(), 7);
    EXPECT_EQ(target.GetKind(), -1);
    for (VReportMessageParams* r : {&copy, &target})
        EXPECT_EQ(std::to_string(r->GetInsertCount()) + Utf8(r->GetText()),
                  "4Ferrivo could not be launched from the following location:\r\ncaf\xc3\xa9\r\n");
}

TEST_F(ReportTest, RoutingSetsKindAndReturnsTheAnswer) {
    VReportMessageParams report(kMsgNotAUrl);
    // No router, or a getter that answers null: nothing is shown and the id comes back.
    EXPECT_EQ(ReportMessage(kReportKindLibrary, report), static_cast<int>(kMsgNotAUrl));
    EXPECT_EQ(report.GetKind(), kReportKindLibrary);
    SetReportRouterGetter([]() -> VReportMessageRouter* { return g_router; });
    g_router = nullptr;
    EXPECT_EQ(ReportMessage(kReportKindLibrary, report), static_cast<int>(kMsgNotAUrl));

    g_router = &router;
    router.answer = 6;
    EXPECT_EQ(ReportMessage(kReportKindFileTypeMemory, report), 6);
    EXPECT_EQ(router.seen, &report);
    EXPECT_EQ(router.log,
              std::to_string(kReportKindFileTypeMemory) + " The specified string is not a URL.;");
}

// A router may keep a report: it lives until the last reference goes. A copy lets the caller reuse
// its own at once; without a router the one reference is released at once.
TEST_F(ReportTest, HeapReportsLiveUntilTheLastReferenceGoes) {
    SetReportCreateFunction([](uint32_t id, VModuleHandle module) -> IReportMessageParams* {
        return new CountedReport(id, module);
    });
    SetReportRouterGetter([]() -> VReportMessageRouter* { return g_router; });
    router.keep = true;
    IReportMessageParams* report = CreateReportMessageParams(kMsgNotAUrl, nullptr);
    EXPECT_EQ(ReportMessageAndRelease(kReportKindLibrary, report), 42);
    EXPECT_EQ(g_destroyed, 0);
    EXPECT_EQ(router.kept->Release(), 0);
    EXPECT_EQ(g_destroyed, 1);

    VReportMessageParams original(kMsgFolderNotValid);
    original.AddInsert(u"/srv/config");
    router.log.clear();
    EXPECT_EQ(ReportMessageCopy(kReportKindLibrary, original), 42);
    original.SetMessage(kMsgNotAUrl);
    EXPECT_EQ(original.GetKind(), -1);  // the kind went to the copy
    EXPECT_EQ(Utf8(router.kept->GetTextSingleLine()),
              "The folder is not valid:  '/srv/config'  Please choose another folder.");
    EXPECT_EQ(router.log.substr(0, router.log.find(' ')), std::to_string(kReportKindLibrary));
    router.kept->Release();
    SetReportRouterGetter(nullptr);
    ReportMessageAndRelease(kReportKindLibrary, CreateReportMessageParams(kMsgNotAUrl, nullptr));
    EXPECT_EQ(g_destroyed, 3);
}

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
