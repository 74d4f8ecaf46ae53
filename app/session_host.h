// Installs the application's answers to the session records' questions (ISessionHost).
#pragma once

// Called when the library is attached; installing again changes nothing.
void InstallAppSessionHost();
