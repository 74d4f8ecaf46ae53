// The rules of Session Options' pages beyond each setting's kind and range, with their messages.
#include <filesystem>

#include "foundation/message_format.h"
#include "foundation/messages.h"
#include "profile/profile_data.h"
#include "session/session_database.h"
#include "ui/model/session_name_rules.h"
#include "ui/model/session_options_model.h"
#include "ui/model/warning.h"

namespace sessiondeck {

namespace {

constexpr char16_t kLogNameIllegal[] =
    u"The log filename cannot contain any of the following illegal characters:\n\n\t\\ / : * ? "
    u"\" < > |";
constexpr char16_t kPositionNotInteger[] =
    u"Invalid initial position. '%1' is not an integer.\n\nUse positive values to offset window "
    u"from left or top edge of screen.\nUse negative values (including '-0') to offset window "
    u"from right or bottom edge of screen.\n";
constexpr char16_t kCuaWarning[] =
    u"Warning: Turning on CUA copy and paste will disable your ability to send ctrl-a, ctrl-c, "
    u"ctrl-f, and ctrl-v to the remote host.  Most UNIX users should leave this option off.";

bool IsDecimal(std::u16string_view text, bool allowSign) {
    if (allowSign && !text.empty() && (text[0] == u'-' || text[0] == u'+')) text.remove_prefix(1);
    if (text.empty() || text.size() > 9) return false;
    for (char16_t c : text)
        if (c < u'0' || c > u'9') return false;
    return true;
}

int64_t ToNumber(std::u16string_view digits) {
    int64_t value = 0;
    for (char16_t c : digits) value = value * 10 + (c - u'0');
    return value;
}

std::filesystem::path ToPath(std::u16string_view text) {
    return std::filesystem::path(VUnicodeString(text).ToUtf8());
}

// Anti-idle and CUA copy and paste.
bool TerminalRules(SessionOptionsPage& page) {
    const bool idle = page.Value(u"Idle Check") == u"1";
    if (idle && page.Value(u"Idle String").empty())
        return page.RefuseAt(u"Idle String",
                             u"The anti-idle string must contain at least one character.");
    if (idle) {
        const std::u16string interval = page.Value(u"Idle Timeout");
        if (!IsDecimal(interval, false) || ToNumber(interval) < 10 || ToNumber(interval) > 9999999)
            return page.RefuseAt(u"Idle Timeout", u"Please enter a value between 10 and 9999999.");
    }
    // Said once, as the option goes on: it takes keys away from the remote programs.
    if (page.Value(u"CUA Copy Paste") == u"1" && page.Stored(u"CUA Copy Paste") != u"1") {
        Warn(page.Prompt(), kCuaWarning, VUnicodeString(page.CaptionText()));
    }
    return true;
}

bool EmulationRules(SessionOptionsPage& page, int maxColumns) {
    const std::u16string columns = page.Value(u"Cols");
    if (!IsDecimal(columns, false) || ToNumber(columns) < 20 || ToNumber(columns) > maxColumns) {
        const std::u16string max = FormatMessageText(u"%1!d!", maxColumns);
        return page.RefuseAt(u"Cols", LibraryMessageText(kMsgColumnsOutOfRange, max));
    }
    if (page.Value(u"Use Alternate Keyboard") == u"1") {
        const std::u16string file = page.Value(u"Keymap Filename");
        if (TrimSessionName(file).IsEmpty())
            return page.RefuseAt(u"Keymap Filename", u"Custom keymap filename cannot be empty.",
                                 u"Keymap Error");
        std::error_code error;
        if (!std::filesystem::is_regular_file(ToPath(file), error))
            return page.RefuseAt(u"Keymap Filename", u"Keymap filename not found.",
                                 u"Keymap Error");
    }
    return true;
}

bool LogFileRules(SessionOptionsPage& page) {
    const std::u16string name = page.Value(u"Log Filename");
    if (name.empty()) return true;
    // On this system '/' separates folders; the file's own name keeps the nine-character rule
    // that lets a log file follow the session to any file system.
    const size_t slash = name.rfind(u'/');
    const std::u16string leaf = slash == std::u16string::npos ? name : name.substr(slash + 1);
    if (leaf.find_first_of(kIllegalFileNameCharacters) != std::u16string::npos)
        return page.RefuseAt(u"Log Filename", kLogNameIllegal);
    if (TrimSessionName(leaf).IsEmpty())
        return page.RefuseAt(u"Log Filename", u"Invalid log file specified.");
    // A folder holding substitution tokens (%H, %S...) is only known when the log opens.
    if (slash != std::u16string::npos && slash > 0) {
        const std::u16string folder = name.substr(0, slash);
        std::error_code error;
        if (folder.find(u'%') == std::u16string::npos &&
            !std::filesystem::is_directory(ToPath(folder), error))
            return page.RefuseAt(u"Log Filename", u"Invalid log file path specified.");
    }
    return true;
}

// "12" is 12 from the left (or top) edge, "-12" 12 from the right (or bottom) one, "-0" the
// right edge itself: the sign is kept apart from the number in "... Relative ..." values.
bool PositionRule(SessionOptionsPage& page, const char16_t* position) {
    const std::u16string text = TrimSessionName(page.Value(position)).str();
    if (!IsDecimal(text, true))
        return page.RefuseAt(position, FormatMessageText(kPositionNotInteger, text));
    return true;
}

// The binding wrote the text as a signed number; the stored form is the distance and the side.
void WritePosition(SessionOptionsPage& page, const char16_t* position, const char16_t* relative) {
    const std::u16string text = TrimSessionName(page.Value(position)).str();
    VProfileData* value = page.SettingNamed(position);
    VProfileData* from = page.SettingNamed(relative);
    if (!value || !from || !IsDecimal(text, true)) return;
    const bool fromEnd = text[0] == u'-';
    const std::u16string digits = (text[0] == u'-' || text[0] == u'+') ? text.substr(1) : text;
    value->SetText(FormatMessageText(u"%1!d!", ToNumber(digits)));
    from->SetText(fromEnd ? u"0" : u"1");
}

void LoadPosition(SessionOptionsPage& page, const char16_t* position, const char16_t* relative) {
    const int index = page.IndexOf(position);
    if (index < 0) return;
    OptionControlValue& value = page.OptionPage::Value(static_cast<size_t>(index));
    if (page.Stored(relative) == u"0" && !value.text.empty() && value.text[0] != u'-') {
        value.text = u"-" + value.text;
        value.loaded = value.text;
    }
}

}  // namespace

void SessionOptionsModel::InstallRules() {
    if (SessionOptionsPage* page = Page(SessionPageId::kTerminal)) page->SetRules(TerminalRules);
    if (SessionOptionsPage* page = Page(SessionPageId::kEmulation)) {
        const int maxColumns = m_maxColumns;
        page->SetRules(
            [maxColumns](SessionOptionsPage& p) { return EmulationRules(p, maxColumns); });
    }
    if (SessionOptionsPage* page = Page(SessionPageId::kLogFile)) page->SetRules(LogFileRules);
    if (SessionOptionsPage* page = Page(SessionPageId::kWindow)) {
        page->SetRules([](SessionOptionsPage& p) {
            return PositionRule(p, u"X Position") && PositionRule(p, u"Y Position");
        });
        page->SetAfterWrite([](SessionOptionsPage& p) {
            WritePosition(p, u"X Position", u"X Position Relative Left");
            WritePosition(p, u"Y Position", u"Y Position Relative Top");
        });
        page->SetLoader([](SessionOptionsPage& p) {
            LoadPosition(p, u"X Position", u"X Position Relative Left");
            LoadPosition(p, u"Y Position", u"Y Position Relative Top");
        });
    }
}

}  // namespace sessiondeck
