// Connection URLs: the grammar that splits a URL into its parts, %XX decoding and the FTP
// ";type=" ending.
#include "data/url.h"

#include <algorithm>
#include <cwctype>
#include <string_view>

#include "data/file_types.h"
#include "foundation/messages.h"

namespace sessiondeck {

namespace {

struct SchemeRow {
    std::u16string_view name;
    uint32_t id;
    uint16_t defaultPort;
};

// rlogin has no default port here: its sessions have always come out with port 0.
constexpr SchemeRow kSchemes[] = {
    {u"ftp", kUrlSchemeFtp, 21},       {u"ftps", kUrlSchemeFtps, 990},
    {u"sftp", kUrlSchemeSftp, 22},     {u"ssh", kUrlSchemeSsh, 22},
    {u"ssh1", kUrlSchemeSsh1, 22},     {u"ssh2", kUrlSchemeSsh2, 22},
    {u"http", kUrlSchemeHttp, 80},     {u"https", kUrlSchemeHttps, 443},
    {u"telnet", kUrlSchemeTelnet, 23}, {u"rlogin", kUrlSchemeRlogin, 0},
    {u"file", kUrlSchemeFile, 0},
};

constexpr uint32_t kMaxPort = 0xFFFF;

bool IsSpace(char16_t c) {
    return std::iswspace(static_cast<wint_t>(c)) != 0;
}

bool IsDecimalDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

int HexValue(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    return c - u'A' + 10;
}

size_t SkipSpace(std::u16string_view text, size_t pos) {
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
    return pos;
}

// Reads `tail` (already lower-cased) as the pattern "; type = %c", white space
// in the pattern matching any run of white space, including none. Whatever
// follows the character is ignored, as a scanf pattern ignores it.
bool ReadTypeEnding(std::u16string_view tail, char16_t& type) {
    size_t pos = 0;
    if (pos >= tail.size() || tail[pos] != u';') return false;
    pos = SkipSpace(tail, pos + 1);
    if (tail.substr(pos, 4) != u"type") return false;
    pos = SkipSpace(tail, pos + 4);
    if (pos >= tail.size() || tail[pos] != u'=') return false;
    pos = SkipSpace(tail, pos + 1);
    if (pos >= tail.size()) return false;
    type = tail[pos];
    return true;
}

}  // namespace

URL::URL(const char16_t* anonymousPassword) : m_anonymousPassword(anonymousPassword) {}

URL::~URL() = default;

void URL::Clear() {
    m_schemeId = 0;
    m_address.Empty();
    m_port = 0;
    m_username.Empty();
    m_password.Empty();
    m_object.Empty();
    m_transferType = kUrlTransferTypeNone;
    m_isDefaultPort = false;
    m_schemeName.Empty();
}

bool URL::ParseAppUrl(const char16_t* text, VReportMessageParams& report) {
    if (!Parse(text, kParseAppFlags, report)) return false;
    switch (m_schemeId) {
        case kUrlSchemeFtp:
        case kUrlSchemeFtps:
        case kUrlSchemeSftp:
        case kUrlSchemeSsh:
        case kUrlSchemeSsh1:
        case kUrlSchemeSsh2:
        case kUrlSchemeTelnet:
        case kUrlSchemeRlogin:
            return true;
        default:
            report.SetMessage(kMsgUrlProtocolNotSupported);
            report.AddInsert(std::u16string_view(m_schemeName));
            return false;
    }
}

bool URL::IsURL(const char16_t* text) {
    URL url(nullptr);
    VReportMessageParams discarded;
    return url.ParseAppUrl(text, discarded);
}

bool URL::Parse(const char16_t* text, uint32_t flags, VReportMessageParams& report) {
    report.SetMessage(0);
    Clear();

    std::u16string_view view = text ? std::u16string_view(text) : std::u16string_view();
    while (!view.empty() && IsSpace(view.front())) view.remove_prefix(1);
    while (!view.empty() && IsSpace(view.back())) view.remove_suffix(1);

    const size_t colon = view.find(u':');
    if (colon == std::u16string_view::npos || colon == 0 || colon + 1 == view.size()) {
        report.SetMessage(kMsgNotAUrl);
        return false;
    }
    m_schemeName = VUnicodeString(view.substr(0, colon));
    std::u16string rest(view.substr(colon + 1));
    uint16_t defaultPort = 0;
    m_schemeId = GetSchemeID(m_schemeName, defaultPort);

    if (m_schemeId <= kUrlSchemeRlogin) {
        if (rest == u"//") {
            report.SetMessage(kMsgUrlSyntaxInvalid);
            return false;
        }
        // The slashes are optional: "ssh2:host" is "ssh2://host".
        if (rest.starts_with(u"//")) rest.erase(0, 2);
        GetLogin(rest, m_username, m_password);
        if (!GetHostPort(rest, m_address, m_port, defaultPort)) {
            report.SetMessage(kMsgUrlSyntaxInvalid);
            return false;
        }
        m_isDefaultPort = m_port == defaultPort;
        GetPath(rest, m_object);
    } else if (m_schemeId == kUrlSchemeFile) {
        if (rest.size() < 3 || !rest.starts_with(u"//")) {
            report.SetMessage(kMsgUrlSyntaxInvalid);
            return false;
        }
        rest.erase(0, 2);
        GetPath(rest, m_object);
        m_address = VUnicodeString(std::move(rest));
    }
    // An unknown scheme splits nothing; the caller decides whether it will have it.

    if (flags & kParseDecode) {
        bool decoded = true;
        for (VUnicodeString* part : {&m_address, &m_username, &m_password}) {
            if (!Decode(*part)) {
                part->Empty();
                decoded = false;
            }
        }
        // A path may hold a '%' of its own (a file name), so a bad escape
        // there keeps the path as written instead of failing.
        Decode(m_object);
        if (!decoded) {
            report.SetMessage(kMsgUrlSyntaxInvalid);
            return false;
        }
    }
    ParseTransferType();
    return true;
}

uint32_t URL::GetSchemeID(std::u16string_view name, uint16_t& defaultPort) {
    for (const SchemeRow& row : kSchemes) {
        if (EqualsNoCase(name, row.name)) {
            defaultPort = row.defaultPort;
            return row.id;
        }
    }
    defaultPort = 0;
    return kUrlSchemeUnknown;
}

// The first '@' ends the login even when it stands in the path ("ftp://host/dir@x"
// logs in as "host/dir" at "x"): the path is split off only afterwards.
void URL::GetLogin(std::u16string& rest, VUnicodeString& username, VUnicodeString& password) {
    username.Empty();
    password.Empty();
    const size_t at = rest.find(u'@');
    if (at == std::u16string::npos) return;
    const std::u16string login = rest.substr(0, at);
    rest.erase(0, at + 1);
    const size_t colon = login.find(u':');
    if (colon == std::u16string::npos) {
        username = VUnicodeString(login);
        return;
    }
    username = VUnicodeString(std::u16string_view(login).substr(0, colon));
    password = VUnicodeString(std::u16string_view(login).substr(colon + 1));
}

bool URL::GetHostPort(std::u16string& rest, VUnicodeString& host, uint16_t& port,
                      uint16_t defaultPort) {
    const size_t slash = rest.find(u'/');
    if (slash == 0) {
        host.Empty();
        port = defaultPort;
        return true;
    }
    std::u16string hostPort;
    if (slash == std::u16string::npos) {
        hostPort = std::move(rest);
        rest.clear();
    } else {
        hostPort = rest.substr(0, slash);
        rest.erase(0, slash);
    }

    std::u16string_view portPart;
    const std::u16string_view whole(hostPort);
    const size_t bracket = whole.find(u'[');
    if (bracket != std::u16string_view::npos) {
        // A bracketed host (an IPv6 address) may hold colons of its own.
        if (bracket != 0) return false;
        const size_t close = whole.find(u']', 1);
        if (close == std::u16string_view::npos) return false;
        host = VUnicodeString(whole.substr(1, close - 1));
        portPart = whole.substr(close + 1);
    } else {
        const size_t colon = whole.find(u':');
        host = VUnicodeString(whole.substr(0, colon));
        if (colon != std::u16string_view::npos) portPart = whole.substr(colon);
    }

    if (portPart.size() < 2) {
        port = defaultPort;
        return true;
    }
    if (portPart.front() != u':') return false;
    // Saturating, so that any number of digits stays within range.
    uint32_t value = 0;
    for (const char16_t c : portPart.substr(1)) {
        if (!IsDecimalDigit(c)) return false;
        value = std::min<uint32_t>(value * 10 + static_cast<uint32_t>(c - u'0'), kMaxPort);
    }
    port = static_cast<uint16_t>(value);
    return true;
}

void URL::GetPath(std::u16string& rest, VUnicodeString& object) {
    const size_t slash = rest.find(u'/');
    if (slash == std::u16string::npos) {
        object.Empty();
        return;
    }
    object = VUnicodeString(std::u16string_view(rest).substr(slash + 1));
    rest.resize(slash);
}

bool URL::IsHexDigit(char16_t c) {
    return IsDecimalDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Each escape is one code unit of its own value: the escapes of a UTF-8
// sequence give one character per byte, as hosts have always read them.
bool URL::Decode(VUnicodeString& text) {
    const std::u16string& in = text.str();
    if (in.find(u'%') == std::u16string::npos) return true;
    std::u16string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != u'%') {
            out += in[i];
            continue;
        }
        if (i + 2 >= in.size() || !IsHexDigit(in[i + 1]) || !IsHexDigit(in[i + 2])) return false;
        out += static_cast<char16_t>(HexValue(in[i + 1]) * 16 + HexValue(in[i + 2]));
        i += 2;
    }
    text.str() = std::move(out);
    return true;
}

void URL::ParseTransferType() {
    m_transferType = kUrlTransferTypeNone;
    std::u16string& object = m_object.str();
    const size_t semicolon = object.rfind(u';');
    if (semicolon == 0) {
        object.clear();
    } else if (semicolon != std::u16string::npos) {
        std::u16string tail = object.substr(semicolon);
        for (char16_t& c : tail) c = static_cast<char16_t>(std::towlower(c));
        char16_t type = 0;
        if (ReadTypeEnding(tail, type)) {
            object.resize(semicolon);
            if (type == u'a' || type == u't') {
                m_transferType = kTransferTypeAscii;
            } else if (type == u'i' || type == u'b') {
                m_transferType = kTransferTypeBinary;
            }
        }
    }
    if (object == u"/") object.clear();

    if (m_schemeId == kUrlSchemeFtp && m_username.IsEmpty() && m_password.IsEmpty()) {
        m_username = VUnicodeString(u"anonymous");
        m_password = m_anonymousPassword;
    }
}

}  // namespace sessiondeck
