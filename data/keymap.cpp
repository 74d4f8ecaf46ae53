// Key maps: the function and virtual-key tables, lookups with fallback and the file grammar. The
// built-in maps (keymap_builtin.cpp) and reading and writing files (keymap_file.cpp) build on it.
#include "data/keymap.h"

#include <algorithm>
#include <string>

#include "foundation/message_format.h"
#include "foundation/messages.h"

namespace sessiondeck {

namespace {

// ---- tables -------------------------------------------------------------------------

struct Row {
    std::u16string name;
    int code;
};

// Numbered runs ("MENU_TAB_1" to "MENU_TAB_10") are generated; everything
// else is listed in table order.
std::vector<Row> BuildFunctionTable() {
    std::vector<Row> rows;
    auto add = [&](std::u16string_view name) {
        rows.push_back({std::u16string(name), static_cast<int>(rows.size())});
    };
    auto run = [&](std::u16string_view prefix, int first, int last) {
        for (int n = first; n <= last; ++n)
            add(std::u16string(prefix) + FormatMessageText(u"%1!d!", n));
    };
    for (auto name : {u"NONE",
                      u"SEND",
                      u"RUN",
                      u"LAUNCH",
                      u"DISABLED",
                      u"SB_LINE_UP",
                      u"SB_LINE_DOWN",
                      u"SB_PAGE_UP",
                      u"SB_PAGE_DOWN",
                      u"SB_HALF_PAGE_UP",
                      u"SB_HALF_PAGE_DOWN",
                      u"SB_BEGIN",
                      u"SB_END",
                      u"SB_COLUMN_LEFT",
                      u"SB_COLUMN_RIGHT",
                      u"SB_PAGE_LEFT",
                      u"SB_PAGE_RIGHT",
                      u"MENU_NEW_WINDOW",
                      u"MENU_CONNECT",
                      u"MENU_QUICK_CONNECT",
                      u"MENU_DISCONNECT",
                      u"MENU_RECONNECT",
                      u"MENU_PRINT_AUTO",
                      u"MENU_PRINT_SCREEN",
                      u"MENU_PRINT_SELECTION",
                      u"MENU_PRINT_EJECT_PAGE",
                      u"MENU_PRINT_CANCEL",
                      u"MENU_LOG_SESSION"})
        add(name);
    run(u"MENU_RECENT_", 1, 4);
    for (auto name : {u"MENU_EXIT",
                      u"MENU_COPY",
                      u"MENU_PASTE",
                      u"MENU_COPY_PASTE",
                      u"MENU_SELECT_ALL",
                      u"MENU_FIND",
                      u"MENU_GOTO_CHAT_SESSION_WINDOW",
                      u"MENU_CLEAR_SCREEN",
                      u"MENU_CLEAR_SCROLLBACK",
                      u"MENU_CLEAR_SCREEN_AND_SCROLLBACK",
                      u"MENU_RESET",
                      u"MENU_TOGGLE_MENU_BAR",
                      u"MENU_TOGGLE_TOOLBAR",
                      u"MENU_TOGGLE_SESSION_TABS",
                      u"MENU_TOGGLE_STATUS_BAR",
                      u"MENU_TOGGLE_CHAT_WINDOW",
                      u"MENU_TOGGLE_ALPHA_TRANSPARENCY",
                      u"MENU_TOGGLE_HORZ_SCROLLBAR",
                      u"MENU_TOGGLE_VERT_SCROLLBAR",
                      u"MENU_TOGGLE_FULL_SCREEN",
                      u"MENU_THEMES_SHADED",
                      u"MENU_THEMES_OFFICE2000",
                      u"MENU_THEMES_OFFICE2003",
                      u"MENU_THEMES_OFFICE2007",
                      u"MENU_TAB_NEW",
                      u"MENU_TAB_CLONE",
                      u"MENU_TAB_CLONE_IN_NEW_WINDOW",
                      u"MENU_TAB_SEND_TO_NEW_WINDOW",
                      u"MENU_TAB_FERRIVO",
                      u"MENU_TAB_NEW_SFTP",
                      u"MENU_TAB_LOCK",
                      u"MENU_TAB_NEXT",
                      u"MENU_TAB_PREV",
                      u"MENU_TAB_CLOSE",
                      u"MENU_TAB_RENAME"})
        add(name);
    run(u"MENU_TAB_", 1, 10);
    for (auto name : {u"MENU_SAVE_SETTINGS_NOW", u"MENU_SEND_ASCII", u"MENU_RECEIVE_ASCII",
                      u"MENU_SEND_XMODEM", u"MENU_RECEIVE_XMODEM", u"MENU_SEND_YMODEM",
                      u"MENU_RECEIVE_YMODEM", u"MENU_ZMODEM_ADD_FILE", u"MENU_SEND_ZMODEM",
                      u"MENU_SCRIPT_CANCEL", u"MENU_SCRIPT_START_RECORDING",
                      u"MENU_SCRIPT_STOP_RECORDING", u"MENU_SCRIPT_CANCEL_RECORDING",
                      u"MENU_TOGGLE_BUTTON_BAR", u"MENU_WINDOW_NEXT", u"MENU_WINDOW_PREV"})
        add(name);
    run(u"MENU_WINDOW_", 1, 9);
    for (auto name : {u"MENU_WINDOW_0", u"TN_ABORT_OUTPUT", u"TN_ARE_YOU_THERE", u"TN_BREAK",
                      u"TN_INTERRUPT_PROCESS", u"TN_SYNCH", u"SSH_NEW_SESSION", u"SSH_NEXT_SESSION",
                      u"SSH_PREV_SESSION", u"SSH_CLOSE_SESSION", u"SSH_BREAK", u"SSH_FLUSH_AGENT",
                      u"SSH_TOGGLE_MONITOR_SERVER"})
        add(name);
    run(u"VT_PF", 1, 4);
    run(u"VT_KEYPAD_", 0, 9);
    for (auto name : {u"VT_KEYPAD_MINUS", u"VT_KEYPAD_COMMA", u"VT_KEYPAD_PERIOD",
                      u"VT_KEYPAD_ENTER", u"VT_CURSOR_UP", u"VT_CURSOR_DOWN", u"VT_CURSOR_LEFT",
                      u"VT_CURSOR_RIGHT", u"VT_HOLD_SCREEN", u"VT_PRINT_SCREEN", u"VT_AUTO_PRINT"})
        add(name);
    run(u"VT_F", 6, 20);
    for (auto name : {u"VT_FIND", u"VT_INSERT_HERE", u"VT_REMOVE", u"VT_SELECT", u"VT_PREV_SCREEN",
                      u"VT_NEXT_SCREEN"})
        add(name);
    return rows;
}

const std::vector<Row>& Functions() {
    static const std::vector<Row> rows = BuildFunctionTable();
    return rows;
}

std::vector<Row> BuildVirtualKeyTable() {
    std::vector<Row> rows = {
        {u"VK_ADD", 0x6B},      {u"VK_APPS", 0x5D},      {u"VK_BACK", 0x08},
        {u"VK_CANCEL", 0x03},   {u"VK_CAPITAL", 0x14},   {u"VK_CLEAR", 0x0C},
        {u"VK_CONTROL", 0x11},  {u"VK_DECIMAL", 0x6E},   {u"VK_DELETE", 0x2E},
        {u"VK_DIVIDE", 0x6F},   {u"VK_DOWN", 0x28},      {u"VK_END", 0x23},
        {u"VK_ESCAPE", 0x1B},   {u"VK_EXECUTE", 0x2B},   {u"VK_HELP", 0x2F},
        {u"VK_HOME", 0x24},     {u"VK_INSERT", 0x2D},    {u"VK_LEFT", 0x25},
        {u"VK_LWIN", 0x5B},     {u"VK_MENU", 0x12},      {u"VK_MULTIPLY", 0x6A},
        {u"VK_NEXT", 0x22},     {u"VK_NUMLOCK", 0x90},   {u"VK_PAUSE", 0x13},
        {u"VK_PRINT", 0x2A},    {u"VK_PRIOR", 0x21},     {u"VK_RETURN", 0x0D},
        {u"VK_RIGHT", 0x27},    {u"VK_RWIN", 0x5C},      {u"VK_SCROLL", 0x91},
        {u"VK_SELECT", 0x29},   {u"VK_SEPARATOR", 0x6C}, {u"VK_SHIFT", 0x10},
        {u"VK_SNAPSHOT", 0x2C}, {u"VK_SPACE", 0x20},     {u"VK_SUBTRACT", 0x6D},
        {u"VK_TAB", 0x09},      {u"VK_UP", 0x26},
    };
    for (int n = 0; n <= 9; ++n) {
        rows.push_back({FormatMessageText(u"VK_%1!d!", n), 0x30 + n});
        rows.push_back({FormatMessageText(u"VK_NUMPAD%1!d!", n), 0x60 + n});
    }
    for (char16_t c = u'A'; c <= u'Z'; ++c) rows.push_back({std::u16string(u"VK_") + c, c});
    for (int n = 1; n <= 24; ++n) rows.push_back({FormatMessageText(u"VK_F%1!d!", n), 0x6F + n});
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.name < b.name; });
    return rows;
}

const std::vector<Row>& VirtualKeys() {
    static const std::vector<Row> rows = BuildVirtualKeyTable();
    return rows;
}

bool ValidIndex(int index) {
    return index >= 0 && index < kKeymapSlots;
}

// ---- file grammar -------------------------------------------------------------------

bool IsBlank(char16_t c) {
    return c == u' ' || c == u'\t';
}

char16_t Upper(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

// A key given as a number: decimal, 0x hexadecimal or 0 octal, at most 255.
int ParseKeyNumber(std::u16string_view text) {
    unsigned base = 10;
    if (text.size() > 1 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        base = 16;
        text.remove_prefix(2);
    } else if (text.size() > 1 && text[0] == u'0') {
        base = 8;
        text.remove_prefix(1);
    }
    if (text.empty()) return -1;
    int value = 0;
    for (char16_t c : text) {
        unsigned digit = 99;
        if (c >= u'0' && c <= u'9') digit = c - u'0';
        if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
        if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
        if (digit >= base) return -1;
        value = value * static_cast<int>(base) + static_cast<int>(digit);
        if (value > 255) return -1;
    }
    return value;
}

struct ParsedLine {
    int index = 0;
    int code = 0;
    VUnicodeString value;
};

// Parses one mapping; on a fault returns false with the error line in `error`.
bool ParseMapping(std::u16string_view line, int number, ParsedLine& out, std::u16string& error) {
    size_t at = 0;
    while (at < line.size() && IsBlank(line[at])) ++at;
    auto field = [&] {
        const size_t start = at;
        while (at < line.size() && !IsBlank(line[at])) ++at;
        const std::u16string_view text = line.substr(start, at - start);
        while (at < line.size() && IsBlank(line[at])) ++at;
        return text;
    };
    const std::u16string_view modifiers = field();
    const std::u16string_view key = field();
    const std::u16string_view action = line.substr(at);
    if (modifiers.empty() || key.empty() || action.empty()) {
        error = FormatMessageText(u"syntax error on line %1!d!", number);
        return false;
    }

    const int virtualKey =
        (key[0] >= u'0' && key[0] <= u'9') ? ParseKeyNumber(key) : Keymap::VirtualKeyByName(key);
    if (virtualKey < 0) {
        error = FormatMessageText(u"unknown virtual key '%1' on line %2!d!", key, number);
        return false;
    }
    int bits = 0;
    std::u16string seen;
    for (char16_t c : modifiers) {
        const char16_t letter = Upper(c);
        const size_t known = std::u16string_view(u"NECSA").find(letter);
        if (known == std::u16string_view::npos || seen.find(letter) != std::u16string::npos) {
            error = FormatMessageText(u"unknown modifier '%1!c!' on line %2!d!", int{c}, number);
            return false;
        }
        seen += letter;
        if (known > 0) bits |= 0x80 << known;  // E 0x100, C 0x200, S 0x400, A 0x800
    }
    out.index = virtualKey | bits;

    if (action[0] == u'"') {
        const size_t close = action.rfind(u'"');
        if (close == 0) {
            error = FormatMessageText(u"expected closing quote on line %1!d!", number);
            return false;
        }
        out.code = kKeyFunctionSend;
        out.value = VUnicodeString(action.substr(1, close - 1));
        return true;
    }
    for (const auto& [word, code] : {std::pair<std::u16string_view, int>{u"RUN", kKeyFunctionRun},
                                     {u"LAUNCH", kKeyFunctionLaunch}}) {
        if (action.substr(0, word.size()) != word) continue;
        std::u16string_view rest = action.substr(word.size());
        while (!rest.empty() && IsBlank(rest.back())) rest.remove_suffix(1);
        if (rest.size() < 4 || rest.substr(0, 2) != u"(\"" ||
            rest.substr(rest.size() - 2) != u"\")") {
            error = FormatMessageText(u"syntax error on line %1!d!", number);
            return false;
        }
        out.code = code;
        out.value = VUnicodeString(rest.substr(2, rest.size() - 4));
        return true;
    }
    std::u16string_view name = action;
    name = name.substr(0, std::min(name.find(u' '), name.find(u'\t')));
    const int code = Keymap::LookupCodeByName(VUnicodeString(name));
    if (code <= kKeyFunctionSend) {
        error = FormatMessageText(u"illegal string or unknown function, '%1', on line %2!d!", name,
                                  number);
        return false;
    }
    out.code = code;
    return true;
}

VUnicodeString ModifierLetters(int index) {
    std::u16string letters;
    if (index & kKeyAlt) letters += u'A';
    if (index & kKeyCtrl) letters += u'C';
    if (index & kKeyShift) letters += u'S';
    if (index & kKeyExtended) letters += u'E';
    return letters.empty() ? VUnicodeString(u"N") : VUnicodeString(letters);
}

}  // namespace

// ---- the map ------------------------------------------------------------------------

// The slot tables are allocated on the first entry: most sessions hold no key
// map of their own, and a full table (4096 codes and values) built, copied into
// the record's checkpoint and freed for each of them dominated loading every
// session. Empty tables read as slots that are all empty.
Keymap::Keymap() = default;

namespace {

void AllocateSlots(std::vector<int>& codes, std::vector<VUnicodeString>& values) {
    if (!codes.empty()) return;
    codes.assign(kKeymapSlots, 0);
    values.resize(kKeymapSlots);
}

}  // namespace

Keymap::Keymap(const Keymap& other)
    : m_codes(other.m_codes),
      m_values(other.m_values),
      m_fallback(other.m_fallback ? std::make_unique<Keymap>(*other.m_fallback) : nullptr),
      m_containsComments(other.m_containsComments) {}

Keymap& Keymap::operator=(const Keymap& other) {
    if (this != &other) {
        Keymap copy(other);
        m_codes = std::move(copy.m_codes);
        m_values = std::move(copy.m_values);
        m_fallback = std::move(copy.m_fallback);
        m_containsComments = copy.m_containsComments;
    }
    return *this;
}

Keymap::~Keymap() = default;

int Keymap::GetKeyCode(int index) const {
    if (!ValidIndex(index)) return 0;
    if (!m_codes.empty() && m_codes[index] != 0) return m_codes[index];
    return m_fallback ? m_fallback->GetKeyCode(index) : 0;
}

VUnicodeString Keymap::GetKeyValue(int index) const {
    if (!ValidIndex(index)) return {};
    if (!m_values.empty() && !m_values[index].IsEmpty()) return m_values[index];
    return m_fallback ? m_fallback->GetKeyValue(index) : VUnicodeString();
}

void Keymap::SetKeyCode(int index, int code) {
    if (!ValidIndex(index)) return;
    AllocateSlots(m_codes, m_values);
    m_codes[index] = code;
}

void Keymap::SetKeyValue(int index, const VUnicodeString& value) {
    if (!ValidIndex(index)) return;
    AllocateSlots(m_codes, m_values);
    m_values[index] = value;
}

void Keymap::Clear() {
    m_codes.clear();
    m_values.clear();
    m_fallback.reset();
}

bool Keymap::SameEntries(const Keymap& other) const {
    if (m_codes.empty() || other.m_codes.empty()) {
        const Keymap& full = m_codes.empty() ? other : *this;
        if (full.m_codes.empty()) return true;
        return std::all_of(full.m_codes.begin(), full.m_codes.end(),
                           [](int c) { return c == 0; }) &&
               std::all_of(full.m_values.begin(), full.m_values.end(),
                           [](const VUnicodeString& v) { return v.IsEmpty(); });
    }
    return m_codes == other.m_codes && m_values == other.m_values;
}

// ---- tables -------------------------------------------------------------------------

int Keymap::LookupCodeByName(const VUnicodeString& name) {
    for (const Row& row : Functions()) {
        if (row.name == name.str()) return row.code;
    }
    // Older names of two VT220 keys, still read but never written.
    if (name == u"VT_HELP") return LookupCodeByName(u"VT_F15");
    if (name == u"VT_DO") return LookupCodeByName(u"VT_F16");
    return -1;
}

VUnicodeString Keymap::LookupNameByCode(int code) {
    const std::vector<Row>& rows = Functions();
    return code >= 0 && code < static_cast<int>(rows.size()) ? VUnicodeString(rows[code].name)
                                                             : VUnicodeString();
}

int Keymap::GetCodeByIndex(int row) {
    const std::vector<Row>& rows = Functions();
    return row >= 0 && row < static_cast<int>(rows.size()) ? rows[row].code : -1;
}

VUnicodeString Keymap::GetNameByIndex(int row) {
    const std::vector<Row>& rows = Functions();
    return row >= 0 && row < static_cast<int>(rows.size()) ? VUnicodeString(rows[row].name)
                                                           : VUnicodeString();
}

int Keymap::GetFunctionCount() {
    return static_cast<int>(Functions().size());
}

VUnicodeString Keymap::VirtualKeyName(int virtualKey) {
    for (const Row& row : VirtualKeys()) {
        if (row.code == virtualKey) return row.name;
    }
    return FormatMessageText(u"0x%1!X!", virtualKey);
}

int Keymap::VirtualKeyByName(std::u16string_view name) {
    std::u16string upper(name);
    for (char16_t& c : upper) c = Upper(c);
    const std::vector<Row>& rows = VirtualKeys();
    const auto found =
        std::lower_bound(rows.begin(), rows.end(), upper,
                         [](const Row& row, const std::u16string& key) { return row.name < key; });
    return found != rows.end() && found->name == upper ? found->code : -1;
}

std::vector<std::u16string> Keymap::ReadLines(const std::vector<std::u16string_view>& lines,
                                              size_t maxErrors) {
    m_containsComments = false;
    std::vector<std::u16string> errors;
    for (size_t i = 0; i < lines.size() && errors.size() < maxErrors; ++i) {
        std::u16string_view line = lines[i];
        if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
        if (!line.empty() && line[0] == u';') {
            m_containsComments = true;
            continue;
        }
        if (std::all_of(line.begin(), line.end(), IsBlank)) continue;
        ParsedLine parsed;
        std::u16string error;
        if (!ParseMapping(line, static_cast<int>(i + 1), parsed, error)) {
            errors.push_back(std::move(error));
            continue;
        }
        AllocateSlots(m_codes, m_values);
        m_codes[parsed.index] = parsed.code;
        m_values[parsed.index] = parsed.value;
    }
    return errors;
}

std::vector<std::u16string> Keymap::EntryLines() const {
    std::vector<std::u16string> lines;
    if (m_codes.empty()) return lines;
    for (int index = 0; index < kKeymapSlots; ++index) {
        const int code = m_codes[index];
        if (code == 0) continue;
        const VUnicodeString name = LookupNameByCode(code);
        // A code outside the table would write a line no reader accepts.
        if (name.IsEmpty()) continue;
        const VUnicodeString letters = ModifierLetters(index);
        const VUnicodeString key = VirtualKeyName(index & 0xFF);
        if (code == kKeyFunctionSend) {
            lines.push_back(FormatMessageText(u"%1\t%2!-20s!\t\"%3\"", letters.str(), key.str(),
                                              m_values[index].str()));
        } else if (code == kKeyFunctionRun || code == kKeyFunctionLaunch) {
            lines.push_back(FormatMessageText(u"%1\t%2!-20s!\t%3(\"%4\")", letters.str(), key.str(),
                                              name.str(), m_values[index].str()));
        } else {
            lines.push_back(
                FormatMessageText(u"%1\t%2!-20s!\t%3", letters.str(), key.str(), name.str()));
        }
    }
    return lines;
}

// ---- the session's setting ----------------------------------------------------------

bool ProfileKeymap::Init(VProfileKey* key) {
    VStringArray stored;
    if (!key || !key->QueryStringArray(GetName().c_str(), stored)) return false;
    std::vector<std::u16string_view> lines;
    for (size_t i = 0; i < stored.GetSize(); ++i) lines.push_back(stored[i].str());
    Keymap loaded;
    loaded.ReadLines(lines, lines.size());
    m_value = loaded;
    m_prev = loaded;
    m_unsaved = false;
    return true;
}

bool ProfileKeymap::Init(VProfileKey* key, const Keymap& defaultValue) {
    if (Init(key)) return true;
    m_value = defaultValue;
    m_prev = defaultValue;
    m_unsaved = true;
    return true;
}

void ProfileKeymap::Save(VProfileKey* key, bool force) {
    const bool differs = IsModified();
    if ((!force && !m_unsaved && !differs) || !key) return;
    TraceSave(force, differs);
    VStringArray lines;
    for (std::u16string& line : m_value.EntryLines()) lines.Add(VUnicodeString(std::move(line)));
    key->SetStringArray(GetName().c_str(), lines);
    m_unsaved = false;
    m_prev = m_value;
}

void ProfileKeymap::Checkpoint() {
    if (IsModified()) m_unsaved = true;
    m_prev = m_value;
}

void ProfileKeymap::ApplyDelta(const VProfileData* other) {
    if (const auto* same = dynamic_cast<const ProfileKeymap*>(other)) m_value = same->m_value;
}

}  // namespace sessiondeck
