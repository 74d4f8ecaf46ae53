// TerminalConfig: the load rules, the font map and the helpers the terminal pages use.
#include "session/terminal_config.h"

#include <climits>
#include <string>

#include "data/log_file.h"
#include "foundation/codepage.h"
#include "foundation/messages.h"
#include "platform/file_system.h"
#include "session/session_host.h"

namespace sessiondeck {

namespace {

static_assert(TerminalConfig::GetMemberCount() == 80);

// The emulations every host knows, besides "Mardell" (only where the
// emulation table offers it) and the terminal types of the global options.
constexpr std::u16string_view kBuiltinEmulations[] = {
    u"ANSI", u"Linux", u"SCOANSI", u"WYSE50", u"WYSE60", u"VT220", u"VT102", u"Xterm", u"VT100"};

bool IsListedTermcap(std::u16string_view name) {
    return GetSessionHost().IsSelectedTermcap(name);
}

// A correction made while loading counts like a default: it is the value and
// the checkpoint, and unsaved, so the next save stores the corrected value.
template <class Setting, class T>
void CorrectLoaded(Setting& setting, const T& value) {
    if (setting.Get() == value) return;
    setting.Init(nullptr, setting.GetName(), value);
}

// Built once: every terminal record starts from it, and converting 255
// characters one by one cost as much as reading a session's file.
const std::array<char16_t, kFontMapSize + 1>& DefaultFontMap() {
    static const std::array<char16_t, kFontMapSize + 1> map = [] {
        std::array<char16_t, kFontMapSize + 1> built{};
        for (int code = 1; code < kFontMapSize; ++code) {
            const std::u16string text = AnsiToUtf16(std::string(1, static_cast<char>(code)));
            built[code] = text.empty() ? static_cast<char16_t>(code) : text[0];
        }
        return built;
    }();
    return map;
}

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

// A hexadecimal number with an optional 0x prefix, at most `limit`.
bool ParseHex(std::u16string_view text, uint32_t limit, uint32_t& value) {
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X'))
        text.remove_prefix(2);
    if (text.empty()) return false;
    uint32_t result = 0;
    for (char16_t c : text) {
        uint32_t digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return false;
        result = result * 16 + digit;
        if (result > limit) return false;
    }
    value = result;
    return true;
}

// One font map line: "CODE UNIT". False for anything else.
bool ParseFontMapLine(std::u16string_view line, uint32_t& code, uint32_t& unit) {
    size_t at = 0;
    auto nextField = [&]() {
        while (at < line.size() && IsBlank(line[at])) ++at;
        const size_t start = at;
        while (at < line.size() && !IsBlank(line[at])) ++at;
        return line.substr(start, at - start);
    };
    const auto codeField = nextField();
    const auto unitField = nextField();
    if (!nextField().empty()) return false;
    return ParseHex(codeField, kFontMapSize - 1, code) && ParseHex(unitField, 0xFFFF, unit) &&
           unit != 0;
}

}  // namespace

VUnicodeString NormalizeEmulationName(std::u16string_view stored) {
    const std::u16string_view name = stored == u"SCO-ANSI" ? u"SCOANSI" : stored;
    for (auto builtin : kBuiltinEmulations) {
        if (name == builtin) return VUnicodeString(name);
    }
    if (name == u"Mardell" && GetSessionHost().EmulationTableOffers(name))
        return VUnicodeString(name);
    if (!name.empty() && IsListedTermcap(name)) return VUnicodeString(name);
    return VUnicodeString(u"VT100");
}

bool TerminalEmulationSetting::Init(VProfileKey* key, const VUnicodeString& name,
                                    const VUnicodeString& defaultValue) {
    Base::Init(key, name, defaultValue);
    CorrectLoaded(*this, NormalizeEmulationName(Get()));
    return true;
}

TerminalConfig::TerminalConfig(VProfileKey* key) : m_fontMap(DefaultFontMap()) {
    m_loadKey = key;
    Load(key);
    m_loadKey = nullptr;
    ApplyLoadRules(key);
}

TerminalConfig::~TerminalConfig() = default;

int TerminalConfig::LoadOnlyColumnSwitchingDefault() const {
    // The older name of the value, from before "/" was kept out of value names.
    uint32_t stored = 0;
    if (m_loadKey && m_loadKey->QueryDword(u"Enable 80/132 Column Switching", stored))
        return static_cast<int>(stored);
    return 1;
}

VLogFont TerminalConfig::LoadOnlyFontDefault() const {
    // Sessions from before the v2 font records kept only a face and a size;
    // those are read for the default and never written again.
    VUnicodeString face(IsAnsiEmulation() ? u"Terminal" : u"Lucida Console");
    int points = IsAnsiEmulation() ? 12 : 13;
    if (m_loadKey) {
        VUnicodeString storedFace;
        if (m_loadKey->QueryString(u"Font Family", storedFace) && !storedFace.IsEmpty())
            face = storedFace;
        uint32_t storedSize = 0;
        // A size no font has is ignored rather than turned into a huge height.
        if (m_loadKey->QueryDword(u"Font Size", storedSize) && storedSize > 0 &&
            storedSize <= kMaxFontPoints)
            points = static_cast<int>(storedSize);
    }
    return MakeLogFont(face, points);
}

void TerminalConfig::ApplyLoadRules(VProfileKey* key) {
    // Sessions that synchronised neither rows nor columns, from before the
    // resize mode existed, meant the mode that now has the number 2.
    if (key && resizeMode.IsUnsaved() && syncViewRows.Get() == 0 && syncViewCols.Get() == 0)
        CorrectLoaded(resizeMode, 2);

    const bool alternateStored = key && !useAlternateKeyboard.IsUnsaved();
    if (keymapName.Get().EqualsNoCase(u"Custom")) CorrectLoaded(useAlternateKeyboard, 1);
    if (keymapName.Get() == u"SCO-ANSI") CorrectLoaded(keymapName, VUnicodeString(u"SCOANSI"));
    // Before the switch was stored, any map but the default one was in use.
    if (!alternateStored && !keymapName.Get().EqualsNoCase(u"Default"))
        CorrectLoaded(useAlternateKeyboard, 1);

    if (!userFontMap.Get().IsEmpty()) {
        // The path may hold environment variables and the tokens of log file names.
        VUnicodeString path;
        VReportMessageParams report;
        if (ExpandLogFileName(userFontMap.Get(), nullptr, nullptr, u"", path, report))
            LoadUserFontMap(path.c_str());
        else
            m_fontMapReport = report;
    }
}

const char16_t* TerminalConfig::LoadUserFontMap(const char16_t* path) {
    const VUnicodeString fileName(path);
    std::string bytes;
    if (fileName.IsEmpty() || !platform::ReadWholeFile(fileName.ToUtf8(), bytes)) {
        m_fontMapReport = VReportMessageParams(kMsgFontMapNotFound);
        m_fontMapReport.AddInsert(std::u16string_view(fileName));
        return nullptr;
    }
    m_fontMapReport = VReportMessageParams();
    std::string_view text(bytes);
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    const std::u16string content = Utf8ToUtf16(text);

    auto map = DefaultFontMap();
    std::u16string_view rest(content);
    while (!rest.empty()) {
        const size_t end = rest.find(u'\n');
        std::u16string_view line = rest.substr(0, end);
        rest = end == std::u16string_view::npos ? std::u16string_view() : rest.substr(end + 1);
        if (line.ends_with(u'\r')) line.remove_suffix(1);
        if (line.empty() || line[0] == u';') continue;
        uint32_t code = 0, unit = 0;
        if (ParseFontMapLine(line, code, unit)) map[code] = static_cast<char16_t>(unit);
    }
    m_fontMap = map;
    return m_fontMap.data();
}

bool TerminalConfig::IsUnicodeLineDrawValid(const VLogFont& font) const {
    const std::u16string_view face = font.Face();
    return !face.starts_with(u"vt100") && face != u"Terminal";
}

bool TerminalConfig::ParseXtermPosition(const VUnicodeString& text, int& value, bool& negative) {
    std::u16string_view digits(text);
    const bool minus = digits.starts_with(u'-');
    if (minus) digits.remove_prefix(1);
    if (digits.empty()) return false;
    long long number = 0;
    for (char16_t c : digits) {
        if (c < u'0' || c > u'9') return false;
        number = number * 10 + (c - u'0');
        if (number > INT_MAX) return false;
    }
    value = static_cast<int>(number);
    negative = minus;
    return true;
}

bool TerminalConfig::IsValidTermcap(const VUnicodeString& name) const {
    return IsListedTermcap(name);
}

}  // namespace sessiondeck
