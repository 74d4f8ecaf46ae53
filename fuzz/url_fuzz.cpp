// Fuzz target: connection URLs, checked by writing the parts back as a URL and parsing that again.
#include <cwctype>

#include "data/file_types.h"
#include "data/url.h"
#include "foundation/messages.h"
#include "fuzz/fuzz_support.h"

using namespace sessiondeck;

namespace {

bool IsPlain(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
           c == u'-' || c == u'.' || c == u'_' || c == u'~';
}

// Escapes every code unit that could mean something to the parser; units
// above 0xFF have no escape and are written as they are.
std::u16string Escape(std::u16string_view text) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string out;
    for (char16_t c : text) {
        if (IsPlain(c) || c > 0xFF) {
            out += c;
        } else {
            out += u'%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::u16string PortText(uint16_t port) {
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<char16_t>(u'0' + port % 10));
        port /= 10;
    } while (port);
    return digits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string text = fuzz::Text(fuzz::Bytes(data, size));

    URL url(nullptr);
    VReportMessageParams report;
    const bool ok = url.ParseAppUrl(text.c_str(), report);
    FUZZ_CHECK(URL::IsURL(text.c_str()) == ok);
    if (!ok) {
        const uint32_t id = report.GetMessageId();
        FUZZ_CHECK(id == kMsgNotAUrl || id == kMsgUrlSyntaxInvalid ||
                   id == kMsgUrlProtocolNotSupported);
        return 0;
    }
    FUZZ_CHECK(report.GetMessageId() == 0);
    FUZZ_CHECK(url.GetScheme() <= kUrlSchemeRlogin && url.GetScheme() != kUrlSchemeHttp &&
               url.GetScheme() != kUrlSchemeHttps);
    bool isDefault = false;
    const uint16_t port = url.GetPort(isDefault);
    const int type = url.GetTransferType();
    FUZZ_CHECK(type == kUrlTransferTypeNone || type == kTransferTypeAscii ||
               type == kTransferTypeBinary);

    // The same parts, every special character escaped, parse to the same URL.
    std::u16string again = url.GetSchemeName().str() + u"://";
    if (!url.GetUsername().IsEmpty() || !url.GetPassword().IsEmpty()) {
        again += Escape(url.GetUsername().str());
        if (!url.GetPassword().IsEmpty()) again += u':' + Escape(url.GetPassword().str());
        again += u'@';
    }
    again += Escape(url.GetAddress().str()) + u':' + PortText(port);
    const std::u16string& object = url.GetObjectW().str();
    if (!object.empty() || type != kUrlTransferTypeNone) {
        // An empty object with a type ending is written as "/", which the
        // parser reads as empty.
        again += u'/' + (object.empty() ? std::u16string(u"/") : Escape(object));
        if (type != kUrlTransferTypeNone)
            again += type == kTransferTypeAscii ? u";type=a" : u";type=i";
    }
    // The parser trims white space from both ends; an object ending in a
    // white space above 0xFF cannot be written.
    if (!object.empty() && std::iswspace(static_cast<wint_t>(object.back()))) return 0;

    URL back(nullptr);
    VReportMessageParams backReport;
    FUZZ_CHECK(back.ParseAppUrl(again.c_str(), backReport));
    bool backDefault = false;
    FUZZ_CHECK(back.GetScheme() == url.GetScheme());
    FUZZ_CHECK(back.GetUsername() == url.GetUsername());
    FUZZ_CHECK(back.GetPassword() == url.GetPassword());
    FUZZ_CHECK(back.GetAddress() == url.GetAddress());
    FUZZ_CHECK(back.GetPort(backDefault) == port && backDefault == isDefault);
    // The type ending is looked for after decoding, and an ending with an
    // unknown letter is dropped without setting a type, so an object that
    // still holds a ';' may end in a type ending of its own when read again.
    if (object.find(u';') != std::u16string::npos) return 0;
    FUZZ_CHECK(back.GetObjectW() == url.GetObjectW());
    FUZZ_CHECK(back.GetTransferType() == type);
    return 0;
}
