// The sibling applications of the family: which are installed, starting them, and the small
// services the hosts share (anonymous password, executable paths, sounds, update reminder).
#pragma once

#include <cstdint>

#include "foundation/export.h"
#include "foundation/product.h"
#include "foundation/unicode_string.h"

namespace sessiondeck {

// Presence, as recorded by SessionDeckDllInitClientApplications.
SESSIONDECK_API bool IsVetraInstalled();
SESSIONDECK_API bool IsVetralonOrVetraInstalled();
SESSIONDECK_API bool IsFerrivoInstalled();
SESSIONDECK_API bool CanLaunchTerminalApp();

// An integrated installation has the current terminal and the file-transfer
// application side by side, without the older terminal.
SESSIONDECK_API bool IsIntegrated();
// As above; when integrated, `otherApp` becomes the sibling's name, which is
// also its key in the registry store.
SESSIONDECK_API bool IsIntegrated(VUnicodeString& otherApp);

// The recorded executable path when the application is present, else empty.
SESSIONDECK_API VUnicodeString GetVetraPath();
SESSIONDECK_API VUnicodeString GetVetralonPath();
SESSIONDECK_API VUnicodeString GetFerrivoPath();

// "Vetra", "Vetralon" or "Ferrivo"; empty for the other products.
SESSIONDECK_API VUnicodeString GetProductDisplayName(Product product);

// Start the sibling with an argument string (split as a Windows command line
// would be). On failure the user is told which program could not be started
// from where, and false is returned. The terminal application is the current
// one, or the older one when the current one is not installed.
SESSIONDECK_API bool LaunchFileTransferApp(const char16_t* arguments);
SESSIONDECK_API bool LaunchTerminalApp(const char16_t* arguments);

// The trimmed command line's executable: the quoted part when it starts with a
// quote, else everything up to and including the first ".exe" in any case, else
// the whole text.
SESSIONDECK_API VUnicodeString ExtractExecutablePath(const char16_t* commandLine);

// The password for anonymous logins: the global option "Anonymous Password",
// or else the user's login name (at most 128 characters; "guest" when it
// cannot be told) followed by "@".
SESSIONDECK_API VUnicodeString GetDefaultAnonymousPassword();

// The periodic update reminder: unless the user opted out, asks at most once
// every 30 days whether to check for updates now (remembering when it asked,
// and the "don't remind me again" answer, in the global options). True when the
// user said Yes; checking is then the host's business.
SESSIONDECK_API bool CheckPeriodicUpdate();

// Plays a sound file without waiting, through the first player found on PATH
// (paplay, then aplay). Environment variables written %NAME% are expanded
// first. There is no system default sound here, so `noDefault` changes
// nothing: a missing file, an empty name or no player all answer false.
SESSIONDECK_API bool PlaySoundFile(const char16_t* fileName, bool noDefault);

// The optional wizards of the companion library. Each entry is filled once by
// GetSpecialFunctions and stays null when it cannot be resolved.
using VSpecialFunction = int (*)(void* parentWindow);
enum class SpecialFunction { LaunchKeygenWizard, LaunchConvertKeyWizard, LaunchExportPublicKey };
SESSIONDECK_API void GetSpecialFunctions(const char16_t* folder, const char16_t* library);
SESSIONDECK_API VSpecialFunction GetSpecialFunction(SpecialFunction which);

// Dynamic data exchange does not exist here. The wrappers keep the hosts'
// code shape and answer "not available": no instance id, no string handle,
// never connected.
class SESSIONDECK_API VDDEInstance {
public:
    VDDEInstance() = default;
    VDDEInstance(const VDDEInstance&) = delete;
    VDDEInstance& operator=(const VDDEInstance&) = delete;
    operator uint32_t() const { return 0; }
    bool IsAvailable() const { return false; }
};

class SESSIONDECK_API VDDEString {
public:
    VDDEString(VDDEInstance&, const char16_t*) {}
    VDDEString(const VDDEString&) = delete;
    VDDEString& operator=(const VDDEString&) = delete;
    void* GetHandle() const { return nullptr; }
};

class SESSIONDECK_API VDDEConnection {
public:
    VDDEConnection(VDDEInstance& instance, const char16_t* service, const char16_t* topic)
        : m_service(instance, service), m_topic(instance, topic) {}
    bool IsConnected() const { return false; }

private:
    VDDEString m_service;
    VDDEString m_topic;
};

}  // namespace sessiondeck
