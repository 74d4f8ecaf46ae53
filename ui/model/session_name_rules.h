// The rules a session name must keep, shared by every dialog that names a session (Session
// Options' Connection page, the new-session wizard's last page), with their messages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/prompt.h"
#include "foundation/unicode_string.h"

namespace sessiondeck {

enum class SessionNameProblem {
    kNone,
    kInvalid,  // empty, an illegal character, a device name, a name the store keeps for itself
    kInUse,    // another session or folder of the same folder has the name
};

struct SessionNameCheck {
    SessionNameProblem problem = SessionNameProblem::kNone;
    // The text shown to the user; empty when the name is good.
    std::u16string message;
    // Shown as a warning (a name taken) rather than as an error.
    bool warning = false;

    explicit operator bool() const { return problem == SessionNameProblem::kNone; }
};

// The characters a file name kept by the sessions may not hold (a session name, a log file's
// own name), so that it can move to any file system.
inline constexpr std::u16string_view kIllegalFileNameCharacters = u"\\/:*?\"<>|";

// Checks `name` (trimmed first) for a session kept in `folder` (a session path, empty for the
// root): first what any session name must keep (SessionDatabase's CheckSessionName), then that
// no other entry of the folder has it. `ownName` is the name the session had when the dialog
// opened: keeping it, or changing only its case, is not "in use". Pass `checkInUse` false for
// a session that is not stored yet.
SessionNameCheck CheckSessionNameInFolder(std::u16string_view name, const VUnicodeString& folder,
                                          std::u16string_view ownName, bool checkInUse = true);

// CheckSessionNameInFolder, then tells the user what is wrong through `prompt` under `caption`.
// True when the name may be used.
bool ValidateSessionName(IPrompt& prompt, const VUnicodeString& caption, std::u16string_view name,
                         const VUnicodeString& folder, std::u16string_view ownName,
                         bool checkInUse = true);

// The text of one of the library's messages with its inserts, without the table's closing line
// break (message boxes add their own).
std::u16string LibraryMessageText(uint32_t id, std::u16string_view insert1 = {},
                                  std::u16string_view insert2 = {});

}  // namespace sessiondeck
