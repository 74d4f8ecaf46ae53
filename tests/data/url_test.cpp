// Connection URLs: the grammar as a file of texts and the parts they give, the reports, and
// hostile input.
#include <gtest/gtest.h>

#include <string>

#include "data/file_types.h"
#include "data/url.h"
#include "foundation/messages.h"
#include "support/case_file.h"

using namespace sessiondeck;

// Each row of the file is a text and what ParseAppUrl makes of it: the report, and the parts when
// the text was split.
TEST(Url, GrammarTable) {
    ExpectCaseFile("data/url-grammar.txt", [](const std::vector<std::string>& row) {
        const std::u16string text = VUnicodeString::FromUtf8(row[0]).str();
        URL url(u"me@example.org");
        VReportMessageParams report(kMsgNameInUse);
        const bool parsed = url.ParseAppUrl(text.c_str(), report);
        EXPECT_EQ(URL::IsURL(text.c_str()), parsed) << row[0];
        const uint32_t id = report.GetMessageId();
        std::string out = id == 0                             ? "ok"
                          : id == kMsgUrlSyntaxInvalid        ? "syntax error"
                          : id == kMsgUrlProtocolNotSupported ? "not supported"
                          : id == kMsgNotAUrl                 ? "not a URL"
                                                              : "report " + std::to_string(id);
        if (parsed != (id == 0)) out += " (parse said " + std::to_string(parsed) + ")";
        if (id != 0 && id != kMsgUrlProtocolNotSupported) return out;
        bool isDefault = false;
        const uint16_t port = url.GetPort(isDefault);
        return out + ": scheme " + std::to_string(url.GetScheme()) + ", host '" +
               url.GetAddress().ToUtf8() + "', port " + std::to_string(port) +
               (isDefault ? " (default)" : "") + ", user '" + url.GetUsername().ToUtf8() +
               "', password '" + url.GetPassword().ToUtf8() + "', object '" +
               url.GetObjectW().ToUtf8() + "', type " +
               (url.GetTransferType() == kTransferTypeAscii    ? "ascii"
                : url.GetTransferType() == kTransferTypeBinary ? "binary"
                                                               : "none");
    });
}

TEST(Url, ReportsNameTheSchemeAsWritten) {
    URL url(nullptr);
    VReportMessageParams report;
    ASSERT_FALSE(url.ParseAppUrl(u" HTTPS://host", report));
    ASSERT_EQ(report.GetInsertCount(), 1u);
    EXPECT_EQ(std::u16string(report.GetText()),
              u"The URL protocol 'HTTPS' is not supported.\r\n\r\nSupported protocols are 'ftp', "
              u"'sftp', 'ssh2', 'telnet', and 'rlogin'.\r\n");
    EXPECT_EQ(url.GetSchemeName(), u"HTTPS");

    // A new parse starts from nothing: the previous URL's parts do not linger.
    ASSERT_TRUE(url.ParseAppUrl(u"ftp://host", report));
    EXPECT_EQ(url.GetPassword(), u"") << "a null anonymous password is empty";
    EXPECT_FALSE(url.ParseAppUrl(u"ftp:", report));
    EXPECT_EQ(url.GetAddress() + url.GetUsername(), u"");
    EXPECT_FALSE(url.ParseAppUrl(nullptr, report));
    EXPECT_EQ(report.GetMessageId(), kMsgNotAUrl);
}

TEST(Url, HostileInputIsReportedNotCrashedOn) {
    const std::u16string big(1 << 20, u'a');
    URL url(nullptr);
    VReportMessageParams report;
    bool isDefault = false;

    ASSERT_TRUE(url.ParseAppUrl((u"ssh2://u@h:" + std::u16string(1 << 20, u'9')).c_str(), report));
    EXPECT_EQ(url.GetPort(isDefault), 65535);
    ASSERT_TRUE(url.ParseAppUrl((u"ssh2://" + big + u"/" + big + u"%4").c_str(), report));
    EXPECT_EQ(url.GetAddress().Length(), big.size());
    EXPECT_EQ(url.GetObjectW().Length(), big.size() + 2);
    EXPECT_FALSE(url.ParseAppUrl((u"ssh2://" + big + u"%").c_str(), report));
    EXPECT_EQ(report.GetMessageId(), kMsgUrlSyntaxInvalid);
    EXPECT_FALSE(url.ParseAppUrl((u"ssh2://[" + big).c_str(), report));
    EXPECT_EQ(report.GetMessageId(), kMsgUrlSyntaxInvalid);
    EXPECT_FALSE(URL::IsURL(big.c_str()));

    // The text ends at its first NUL; nothing after it is read.
    const std::u16string withNul(u"ssh2://h\0:99x", 13);
    ASSERT_TRUE(url.ParseAppUrl(withNul.c_str(), report));
    EXPECT_EQ(url.GetAddress(), u"h");
    EXPECT_EQ(url.GetPort(isDefault), 22);
}
