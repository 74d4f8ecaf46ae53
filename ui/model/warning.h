// The dialogs' warning box: what a model shows when it refuses an entry or a write failed.
#pragma once

#include "foundation/prompt.h"

namespace sessiondeck {

// Shows `text` with OK only and the exclamation icon, titled `caption` (the dialog's title).
void Warn(IPrompt& prompt, const VUnicodeString& text, const VUnicodeString& caption);

}  // namespace sessiondeck
