// The dialogs' warning box.
#include "ui/model/warning.h"

namespace sessiondeck {

void Warn(IPrompt& prompt, const VUnicodeString& text, const VUnicodeString& caption) {
    prompt.ShowMessage(text, caption, VPromptButtons::kOk, VPromptIcon::kExclamation);
}

}  // namespace sessiondeck
