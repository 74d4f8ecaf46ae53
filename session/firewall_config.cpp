// FirewallConfig: loading with password migration, the type table and the credential prompts.
#include "session/firewall_config.h"

#include <array>

#include "foundation/prompt.h"

namespace sessiondeck {

namespace {

constexpr std::array<FirewallTypeInfo, 12> kFirewallTypes = {{
    {0, u"None", u"None", false},
    {1, u"Generic Proxy", u"Generic proxy", false},
    {2, u"SOCKSv4", u"SOCKS version 4", false},
    {3, u"SOCKSv5", u"SOCKS version 5 (no authentication)", false},
    {4, u"SOCKSv5_USERPASS", u"SOCKS version 5 (username/password)", true},
    {5, u"HTTP", u"HTTP (no authentication)", false},
    {6, u"HTTP_BASICAUTH", u"HTTP (Basic username/password)", true},
    {7, u"OPEN host", u"OPEN host", false},
    {8, u"USER user@host:port", u"USER user@host:port", false},
    {9, u"USER user@host port", u"USER user@host port", false},
    {10, u"USER user@host port (with login)", u"USER user@host port (with login)", true},
    {11, u"USER user@host login", u"USER user@host login", true},
}};

// Characters that cannot occur in a key name: the separator, and what the
// configuration folder's file names (and Windows file names) refuse.
constexpr std::u16string_view kIllegalNameCharacters = u"\\/:*?\"<>|";

}  // namespace

static_assert(FirewallConfig::GetMemberCount() == FirewallConfig::kMemberCount);

std::span<const FirewallTypeInfo> GetFirewallTypeTable() {
    return kFirewallTypes;
}

const FirewallTypeInfo* FindFirewallType(std::u16string_view storedName) {
    for (const auto& row : kFirewallTypes) {
        if (storedName == row.storedName) return &row;
    }
    return nullptr;
}

// ---- FirewallConfig --------------------------------------------------------

FirewallConfig::FirewallConfig(const VUnicodeString& name, VProfileKey* key)
    : m_firewallName(name) {
    Load(key);
}

FirewallConfig::~FirewallConfig() = default;

VString FirewallConfig::GetFirewallHostname() {
    return VString(m_address.Get().ToAnsi());
}

uint16_t FirewallConfig::GetFirewallPort() {
    const int port = m_port.Get();
    return port >= 0 && port <= 0xFFFF ? static_cast<uint16_t>(port) : 0;
}

VString FirewallConfig::GetFirewallPrompt() {
    return VString(m_prompt.Get().ToAnsi());
}

VString FirewallConfig::GetFirewallCommand() {
    return VString(m_command.Get().ToAnsi());
}

int FirewallConfig::GetIntFirewallType() const {
    const FirewallTypeInfo* row = FindFirewallType(m_type.Get());
    return row ? row->number : 0;
}

VUnicodeString FirewallConfig::GetFirewallTypeDisplayName() const {
    const FirewallTypeInfo* row = FindFirewallType(m_type.Get());
    return row ? VUnicodeString(row->displayName) : VUnicodeString();
}

bool FirewallConfig::NeedsCredentials() const {
    const FirewallTypeInfo* row = FindFirewallType(m_type.Get());
    return row && row->needsCredentials;
}

bool FirewallConfig::GetFirewallUsername(IString* out) {
    return ObtainCredential(m_user.Get(), m_temporaryUsername, kFirewallUsernameLabel, false, out);
}

bool FirewallConfig::GetFirewallPassword(IString* out) {
    return ObtainCredential(m_password.Get(), m_temporaryPassword, kFirewallPasswordLabel, true,
                            out);
}

bool FirewallConfig::ObtainCredential(const VUnicodeString& stored, VUnicodeString& temporary,
                                      const char16_t* label, bool password, IString* out) {
    auto hand = [out](const VUnicodeString& value) {
        if (out) out->Set(value.c_str(), value.Length());
    };
    if (!stored.IsEmpty()) {
        hand(stored);
        return true;
    }
    if (!temporary.IsEmpty()) {
        hand(temporary);
        return true;
    }
    if (!NeedsCredentials()) {
        // Nothing is needed, so nothing was refused: the caller goes on
        // without credentials.
        hand(VUnicodeString());
        return true;
    }
    const VUnicodeString caption = VUnicodeString(u"Firewall ") + m_firewallName.str();
    auto answer = GetPrompt().AskText(caption, label, VUnicodeString(), password);
    if (!answer || answer->IsEmpty()) {
        hand(VUnicodeString());
        return false;
    }
    temporary = *answer;
    hand(temporary);
    return true;
}

// ---- names -----------------------------------------------------------------

VUnicodeString TrimFirewallName(std::u16string_view name) {
    return VUnicodeString(TrimBlanks(name));
}

std::optional<VUnicodeString> CheckFirewallName(std::u16string_view name) {
    if (name.empty()) return VUnicodeString(u"The firewall name must be specified");
    auto illegal = [](char16_t c) {
        std::u16string text = u"The firewall name contains an illegal character: ' %c '";
        text.replace(text.find(u"%c"), 2, 1, c);
        return VUnicodeString(std::move(text));
    };
    for (char16_t c : name) {
        if (c < 0x20 || c == 0x7F || kIllegalNameCharacters.find(c) != std::u16string_view::npos)
            return illegal(c);
    }
    if (name == u"." || name == u"..") return illegal(u'.');
    return std::nullopt;
}

}  // namespace sessiondeck
