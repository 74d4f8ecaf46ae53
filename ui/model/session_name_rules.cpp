// Session name rules: blanks, illegal characters, device names, names in use.
#include "ui/model/session_name_rules.h"

#include "foundation/message_format.h"
#include "foundation/messages.h"
#include "session/session_database.h"

namespace sessiondeck {

std::u16string LibraryMessageText(uint32_t id, std::u16string_view insert1,
                                  std::u16string_view insert2) {
    const char16_t* format = LookupLibraryMessage(id);
    if (!format) return {};
    std::u16string text = FormatMessageText(format, insert1, insert2);
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.pop_back();
    return text;
}

SessionNameCheck CheckSessionNameInFolder(std::u16string_view name, const VUnicodeString& folder,
                                          std::u16string_view ownName, bool checkInUse) {
    if (const auto refused = CheckSessionName(name))
        return {SessionNameProblem::kInvalid, refused->str(), false};
    const VUnicodeString trimmed = TrimSessionName(name);
    // The session's own name (in any case) is no collision: the store keeps one entry per name
    // whatever its case, so renaming "web" to "Web" renames the same file.
    if (checkInUse && !trimmed.EqualsNoCase(TrimSessionName(ownName).str()) &&
        SessionDatabase::IsNameInUse(folder, trimmed)) {
        return {SessionNameProblem::kInUse, LibraryMessageText(kMsgNameInUse, trimmed.str()), true};
    }
    return {};
}

bool ValidateSessionName(IPrompt& prompt, const VUnicodeString& caption, std::u16string_view name,
                         const VUnicodeString& folder, std::u16string_view ownName,
                         bool checkInUse) {
    const SessionNameCheck check = CheckSessionNameInFolder(name, folder, ownName, checkInUse);
    if (check) return true;
    prompt.ShowMessage(check.message, caption, VPromptButtons::kOk,
                       check.warning ? VPromptIcon::kExclamation : VPromptIcon::kError);
    return false;
}

}  // namespace sessiondeck
