// IPrompt: the one small interface through which the library asks the user a question.
#pragma once

#include <optional>

#include "foundation/export.h"
#include "foundation/unicode_string.h"

namespace sessiondeck {

// The buttons a message box offers.
enum class VPromptButtons { kOk, kOkCancel, kYesNo, kYesNoCancel };

// The icon a message box shows.
enum class VPromptIcon { kNone, kExclamation, kQuestion, kInformation, kError };

// The button the user chose. Closing a box without choosing answers kCancel
// where the box offers Cancel, else kNo where it offers No, else kOk.
enum class VPromptAnswer { kOk, kCancel, kYes, kNo };

// A message box with a "don't show again" check box: the button and the state
// of the check box when the box was closed.
struct VPromptCheckedAnswer {
    VPromptAnswer button = VPromptAnswer::kCancel;
    bool checked = false;
};

// The host (or a test) implements this; dialog models and library code ask
// through it instead of opening windows themselves, so that every question can
// be answered from a script. Every optional answer is empty when the user
// cancelled.
class SESSIONDECK_API IPrompt {
public:
    virtual ~IPrompt() = default;

    virtual VPromptAnswer ShowMessage(const VUnicodeString& text, const VUnicodeString& caption,
                                      VPromptButtons buttons, VPromptIcon icon) = 0;
    // As ShowMessage, with a check box labelled `checkLabel` below the text
    // that starts cleared.
    virtual VPromptCheckedAnswer ShowOptionalMessage(const VUnicodeString& text,
                                                     const VUnicodeString& caption,
                                                     VPromptButtons buttons, VPromptIcon icon,
                                                     const VUnicodeString& checkLabel) = 0;
    // A one-line text field with `label` in front of it, filled with
    // `initial`; `password` hides what is typed.
    virtual std::optional<VUnicodeString> AskText(const VUnicodeString& caption,
                                                  const VUnicodeString& label,
                                                  const VUnicodeString& initial, bool password) = 0;
    // A folder picker opened at `initialFolder` (the current folder when empty).
    virtual std::optional<VUnicodeString> AskFolder(const VUnicodeString& caption,
                                                    const VUnicodeString& initialFolder) = 0;
    // A file picker opened at `initialPath`; `filter` is the host's pattern
    // list ("Key maps (*.key)|*.key|All files (*)|*"), empty for all files.
    // `save` asks for a file to write (which need not exist yet).
    virtual std::optional<VUnicodeString> AskFile(const VUnicodeString& caption,
                                                  const VUnicodeString& initialPath,
                                                  const VUnicodeString& filter, bool save) = 0;
};

// The answer a box with these buttons gives when it is closed without a
// choice: Cancel where offered, else No, else OK.
SESSIONDECK_API VPromptAnswer DismissedAnswer(VPromptButtons buttons);

// The prompt the library asks through. Until the host installs one, every
// question is answered as if the user had dismissed it (DismissedAnswer, no
// text, no folder, no file), without logging anything: a library used without
// a user interface must never block on a question.
SESSIONDECK_API IPrompt& GetPrompt();
// Installs the host's prompt (not owned; it must outlive its use) and returns
// the one it replaces (null for the built-in default). Null restores the
// built-in default.
SESSIONDECK_API IPrompt* SetPrompt(IPrompt* prompt);
// The built-in prompt that answers every question as dismissed, for code that
// must run unattended whatever prompt the host installed.
SESSIONDECK_API IPrompt& GetDismissingPrompt();

}  // namespace sessiondeck
