// Small dialogs a desktop host hands to the session manager as its callbacks, so that a host
// without a toolkit of its own can offer Quick Connect and a look at a session's settings.
#pragma once

#include "ui/wx/session_deck_ui.h"

namespace sessiondeck {

// A quick-connect dialog: a URL or host name becomes an ad-hoc session (one reference in
// `session`) and the answer is 1; Cancel answers 2. Matches SessionDeckQuickConnectCallback.
SESSIONDECK_UI_API int SessionDeckQuickConnectDialog(const char16_t* folderPath,
                                                     ISessionConfig** session);
// Shows the session's connection settings read-only and answers 2 (nothing to save); for a
// new session (isNew 1) OK accepts it as shown and answers 1. Matches
// SessionDeckSessionPropertiesCallback.
SESSIONDECK_UI_API int SessionDeckSessionSettingsView(ISessionConfig* session, int isNew);

}  // namespace sessiondeck
