// Installs the application's answers to the session records' questions (ISessionHost).
#pragma once

namespace sessiondeck {

// Called when the library is attached; installing again changes nothing.
void InstallAppSessionHost();

}  // namespace sessiondeck
