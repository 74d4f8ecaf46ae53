// The text form of a security descriptor.
#include "profile/security_descriptor.h"

#include "foundation/hex_digits.h"

namespace sessiondeck {

namespace {
constexpr char16_t kPrefix[] = u"SD:";
}  // namespace

VStringArray VSecurityDescriptor::ToText() const {
    std::u16string text = kPrefix;
    AppendHex(text, m_bytes.data(), m_bytes.size());
    VStringArray out;
    out.Add(VUnicodeString(std::move(text)));
    return out;
}

std::optional<VSecurityDescriptor> VSecurityDescriptor::FromText(const VStringArray& text) {
    if (text.GetSize() != 1) return std::nullopt;
    std::u16string_view s = text[0].str();
    const std::u16string_view prefix = kPrefix;
    if (s.substr(0, prefix.size()) != prefix || (s.size() - prefix.size()) % 2 != 0)
        return std::nullopt;
    std::vector<uint8_t> bytes;
    for (size_t i = prefix.size(); i < s.size(); i += 2) {
        const int hi = HexDigitValue(s[i]), lo = HexDigitValue(s[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return VSecurityDescriptor(std::move(bytes));
}

}  // namespace sessiondeck
