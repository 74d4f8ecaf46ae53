// Settling the configuration folder: the remembered location, the folder beside the executable,
// the /F folder, redirects left by a migration, the migration utility, the U3 copy, and the rules
// of the folder-choice dialog.
#pragma once

#include <functional>

#include "foundation/export.h"
#include "foundation/istring.h"
#include "foundation/report.h"
#include "foundation/unicode_string.h"
#include "profile/registry_store.h"

namespace sessiondeck {

// The configuration format identifiers a folder's "Global" key may hold in
// "Version": the previous and the current one.
inline constexpr char16_t kConfigFormatPrevious[] = u"0311ABC6-1CDD-46fc-A08A-0D7C00242FCA";
inline constexpr char16_t kConfigFormatCurrent[] = u"7B2F2717-85C8-4729-8394-3B7697039CEB";

// The library's registry store factory, through which the remembered folders
// are read and written; it starts at the maker's key of the current user.
SESSIONDECK_API VRegistryStoreFactory& GetLibraryRegistryStoreFactory();

// The remembered folder of the application whose registry key is `appKeyName`
// ("Config Path" under HKEY_CURRENT_USER\SOFTWARE\Norvik\<name>), or empty.
SESSIONDECK_API VUnicodeString GetAppConfigPath(const char16_t* appKeyName);
// Remembers `folder` for this application and, in an integrated
// installation, for the sibling too when `overwriteSibling` is set or the
// sibling remembers nothing yet.
SESSIONDECK_API void SaveAppConfigPath(const char16_t* folder, bool overwriteSibling);
// The older location shared by all applications; a found folder is taken over
// as this application's own.
SESSIONDECK_API VUnicodeString GetAppConfigPathAlpha();
// "<exeFolder>/Config" when it holds the file "global.ini" (its name in any case, as the
// folder backend writes "Global.ini"), else empty.
SESSIONDECK_API VUnicodeString GetAppConfigPathUnderExe(const char16_t* exeFolder);

// The folder named with /F: `folder` gets the path without trailing
// backslashes; false with `report` filled when no such folder exists.
SESSIONDECK_API bool CheckAppConfigPathCommandLine(const char16_t* path, VUnicodeString& folder,
                                                   VReportMessageParams& report);

// Asks the host whether (and with which arguments) to migrate an old-format
// folder; false means no.
using ConfigMigrationQuery = bool (*)(const char16_t* folder, IString* answer,
                                      VReportMessageParams& report);
using ConfigReportFunction = void (*)(const VReportMessageParams& report);

// Follows the redirect a migrated folder leaves behind, or has an old-format
// folder migrated. `configPath` is replaced by the folder to use (emptied when
// migration was declined or failed, with false); `secondPath`, when not empty,
// follows it. The two leading strings are kept for the hosts' call shape and
// not used.
SESSIONDECK_API bool CheckAppConfigPathRedirect(const char16_t* unused1, const char16_t* unused2,
                                                ConfigMigrationQuery query, bool allowRegistry,
                                                ConfigReportFunction reportFunction,
                                                VUnicodeString& configPath,
                                                VUnicodeString& secondPath);

// Runs the migration utility ("migrate" beside the running executable) once
// per process and waits for it. True when it ended with exit code 0.
SESSIONDECK_API bool RunMigrate(const char16_t* arguments, bool allowRegistry,
                                VReportMessageParams& report);
// Lets the utility start again. Hosts never do this (it starts once per
// process); it exists so that tests can start it in one process.
SESSIONDECK_API void ResetMigrationStartForTesting();
// The folder where RunMigrate looks for the utility; by default the running
// executable's. A host started through a launcher elsewhere sets it.
SESSIONDECK_API void SetHostExecutableFolder(const char16_t* folder);
SESSIONDECK_API VUnicodeString GetHostExecutableFolder();

// Moves the configuration's file references to their U3-drive form: every
// registered step runs (the protocol table's register themselves when those
// parts are in use), then the global options take the "%u3data%" form of
// "Menu Toolbar File", lose their sound files, and are saved; last, the files
// the sessions refer to are copied to the drive.
SESSIONDECK_API void SessionDeckDllMigrateConfigsToU3();
SESSIONDECK_API void RegisterU3MigrationStep(std::function<void()> step);
// `path` with the U3 data folder ($U3_APP_DATA_PATH) at its start written as
// "%u3data%"; unchanged when it does not start there or no U3 drive is in use.
SESSIONDECK_API VUnicodeString ToU3DataForm(const VUnicodeString& path);

// The check made when the user confirms a configuration folder (the folder
// dialog and the Global Options page): the folder is created with its
// parents and proven writable; then `entered` becomes its full path and true
// is returned. Otherwise the user is told why (access denied, or not valid)
// and false is returned with `entered` unchanged.
SESSIONDECK_API bool ValidateConfigFolder(VUnicodeString& entered);

// The folder-choice dialog's model: it asks for a folder through the prompt
// interface until a valid one is given or the user cancels.
class SESSIONDECK_API ConfigFolderDialog {
public:
    ConfigFolderDialog(VUnicodeString initialFolder, VUnicodeString title);
    // True when a folder was chosen and validated (OK); false on Cancel.
    bool DoModal();
    const VUnicodeString& GetPath() const { return m_path; }

private:
    VUnicodeString m_path;
    VUnicodeString m_title;
};

}  // namespace sessiondeck
