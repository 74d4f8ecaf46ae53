// The session manager's entry points, exported by SessionDeckUI60U. A host initialises the
// library (SessionDeckDllInit), then SessionDeckDllInitGUI once, then shows the dialog as often
// as it likes and reads the sessions the user chose. This header names no toolkit type, so a
// host need not include wxWidgets to call it; the library brings wxWidgets up itself when the
// host has not.
#pragma once

#include "foundation/containers.h"
#include "foundation/unicode_string.h"

namespace sessiondeck {

class ISessionConfig;
struct VWindow;

#define SESSIONDECK_UI_API __attribute__((visibility("default")))

// The host's quick-connect dialog: fills `session` (one reference, the dialog's) with a new
// session for the folder at `folderPath` and answers 1, or answers anything else to do nothing.
using SessionDeckQuickConnectCallback = int (*)(const char16_t* folderPath,
                                                ISessionConfig** session);
// The host's session options: 1 when the user confirmed the changes to `session`.
using SessionDeckSessionPropertiesCallback = int (*)(ISessionConfig* session, int isNew);
// The host's help, opened over `window` (the dialog) with command 11 and data 0.
using SessionDeckHelpCallback = void (*)(VWindow* window, unsigned command, unsigned long data);

// The pieces of a window class a host would register; here only `iconFile` (an image the
// dialog shows as its icon, empty for none) is used.
SESSIONDECK_UI_API void SessionDeckDllInitGUI(const char* iconFile,
                                              SessionDeckQuickConnectCallback quickConnect,
                                              SessionDeckSessionPropertiesCallback properties,
                                              SessionDeckHelpCallback help);

// Shows the dialog; 1 when the user chose sessions (read them with the functions below), 2 on
// Close, Escape or a scheduled launch of the sibling application. The three Show functions
// answer -1, showing nothing, when there is no display to open the dialog on.
SESSIONDECK_UI_API int ShowSessionDeck(const char16_t* title, bool firstFlag, bool secondFlag);
// Browses for one session or folder, starting at `path`; on 1 `path` is the chosen path.
SESSIONDECK_UI_API int ShowSessionDeckBrowseMode(const char16_t* title, VUnicodeString& path);
// Browses for several; on 1 the chosen paths are appended to `paths`.
SESSIONDECK_UI_API int ShowSessionDeckMultiSelectBrowseMode(const char16_t* title,
                                                            VArray<VUnicodeString>& paths);

SESSIONDECK_UI_API unsigned GetSessionDeckSessionConfigCount();
// One reference for the caller, who releases it; null when `index` is out of range.
SESSIONDECK_UI_API ISessionConfig* GetSessionDeckSessionConfig(unsigned index);
SESSIONDECK_UI_API void CleanupSessionDeckSessionConfigs();

// ---- The new-session wizard ----

// What the dialog runs for New Session while "New Session Uses Wizard" is on: kFinish (12325)
// when the user finished, `session` then holds the new session and *useWizard the choice for next
// time; anything else leaves the session unmade. Without one New Session opens the
// session-properties callback.
using SessionDeckNewSessionWizardCallback = int (*)(ISessionConfig* session, int productId,
                                                    VWindow* parent, bool* useWizard);
inline constexpr int kSessionDeckWizardFinish = 12325;
// Registers the host's wizard (null: none); kept across SessionDeckDllInitGUI.
SESSIONDECK_UI_API void SessionDeckSetNewSessionWizard(SessionDeckNewSessionWizardCallback wizard);
// The library's own wizard, which a host may register: the protocol lists of the installed
// applications, each chosen protocol's page from its module, and the session's name. `parent`
// may be null.
SESSIONDECK_UI_API int ShowNewSessionWizard(ISessionConfig* session, int productId, VWindow* parent,
                                            bool* useWizard);

// Whether SessionDeckDllInitGUI found the window class registered (always, on this platform,
// once it ran).
SESSIONDECK_UI_API bool IsSessionDeckWindowClassRegistered();

class FileTypeManager;

// The host's icons for the File Types page. On this platform a file type's icon is a file the
// page's chooser picks by path, so the page asks nothing of it; a host gives one, with a
// FileTypeManager, to say that it keeps file types and wants the page.
class SESSIONDECK_UI_API IconManager {
public:
    IconManager() = default;
    IconManager(const IconManager&) = delete;
    IconManager& operator=(const IconManager&) = delete;
};

// Shows Global Options over the process's global configuration, edited in place (saving it is
// the caller's business: SaveGlobalConfig). 1 on OK, 2 on Cancel (what pages wrote is put
// back), -1 without a display. The colour scheme name picks the scheme the Color Schemes page
// shows first; `*fileTypesChanged` (when given) tells whether OK stored changed file types. The
// three General flags, the colour schemes value and the printing flag are accepted and not used
// yet. File Types is shown only when both managers are given. While the dialog runs `*dialog` (when
// given) holds it; it is null again when the function returns.
SESSIONDECK_UI_API int ShowGlobalOptionsDialog(const char16_t* colorSchemeName, bool generalFlag1,
                                               bool generalFlag2, bool generalFlag3,
                                               unsigned colorSchemesValue, bool printingFlag,
                                               bool* fileTypesChanged, FileTypeManager* fileTypes,
                                               IconManager* icons, void** dialog);

// ---- Session Options ------------------------------------------------------------------------

// Shows Session Options for `session` (mode 2: read-only, the session is locked elsewhere): 1 on
// OK (the session holds the changes and, when renamed, its new name; the caller saves it), 2 on
// Cancel, -1 when there is no display.
SESSIONDECK_UI_API int ShowSessionOptionsDialog(ISessionConfig* session, int mode);
// Empties Session Options' page state map; hosts call it at shutdown.
SESSIONDECK_UI_API void DeleteSessionOptionsStateMap();
// What Global Options' "Default Session" page runs: Session Options on the Default session, and
// after OK with changes the question whether to apply them to every session, applied with a
// progress dialog, then the read-only tally. 1 on OK, 2 on Cancel, -1 without a display.
SESSIONDECK_UI_API int EditDefaultSessionOptions();
// Session Options on the stored session at `path`, saved (and renamed when the user gave it a
// new name) on OK: 1 when it was written, 2 on Cancel, -1 without a display, 0 when the path
// names no session or the store refused; `error` then says why.
SESSIONDECK_UI_API int EditStoredSession(const VUnicodeString& path, VUnicodeString& error);

}  // namespace sessiondeck
