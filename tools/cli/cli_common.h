// What every command of the sessiondeck host shares: exit codes, errors, the host's set-up of the
// library.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "foundation/report.h"
#include "foundation/unicode_string.h"
#include "profile/profile_store.h"
#include "profile/registry_store.h"

using namespace sessiondeck;

namespace cli {

// The exit-status contract that scripts rely on; the top-level --help and the
// README list it. "Not found" and "refused" are apart so that a script can
// tell "create it first" from "it is there, but this cannot be done to it".
enum ExitCode : int {
    kOk = 0,
    // What the command names is not there: a session or folder, a key or
    // value, a firewall, a file type, a protocol or its module.
    kNotFound = 1,
    // `check` only: findings remain in the store.
    kFindingsLeft = 1,
    // The command line itself is wrong: an unknown flag, a missing argument,
    // a value that is not of the setting's kind.
    kUsage = 2,
    // The command was understood and its target is there, but it was not
    // carried out: a name in use, reserved or empty, a read-only store, an
    // entry of the other kind (a folder, not a session), a text the stored
    // form cannot carry, or a write or read the store failed. A write that
    // failed always ends here, never with kOk.
    kRefused = 3,
};

// Thrown inside the host (never across the library) to end a command with a
// one-line message on standard error and the given exit status.
class Failure : public std::runtime_error {
public:
    Failure(int code, const std::string& message) : std::runtime_error(message), m_code(code) {}
    int code() const { return m_code; }

private:
    int m_code;
};

// Options shared by every command.
struct GlobalOptions {
    std::string configFolder;  // empty until resolved
    // ROOT\PATH of a registry key (--registry): the store is the registry
    // store at that key instead of a configuration folder.
    std::string registry;
    bool readOnly = false;
    // The application name the library is initialised with. It decides the
    // names of the global options that the terminal and the file-transfer
    // applications keep apart: a name without "Vetra" is the file-transfer one.
    std::string appName = "sessiondeck";
};

// Where the commands' store is, for messages: the folder or the registry key.
std::string DescribeStore(const GlobalOptions& options);

// $XDG_CONFIG_HOME/sessiondeck/Config (XDG_CONFIG_HOME defaulting to ~/.config).
std::string DefaultConfigFolder();

// The configuration folder the host settles on, and why.
struct ConfigFolderChoice {
    std::string folder;
    std::string rule;
    std::string redirectedFrom;   // the folder a migration left behind, if any
    bool needsMigration = false;  // an older format that was never migrated
};

// The host's order: --config, $SESSIONDECK_CONFIG, the folder remembered for
// this application in the registry store, the one remembered for all
// applications, "Config" beside the executable (when it holds global.ini),
// and the default folder. A folder that was migrated elsewhere is followed to
// its new place; one in an older format that was never migrated is used as it
// is and flagged (this host does not run the migration utility). Nothing is
// written.
ConfigFolderChoice ResolveConfigFolder(const GlobalOptions& options);

// Initialises the library as a host does: the store factory for the folder
// (or the registry key),
// the host's name and a router that prints reports on standard error.
void InitialiseHost(const GlobalOptions& options);

// Resolves the configuration folder (when not given and no registry key is)
// and initialises the
// host, once; every command calls it before it touches the store.
void PrepareHost(GlobalOptions& options);

// The registry key that --registry names: "HKEY_CURRENT_USER\Software\Norvik"
// (or "HKCU\...") as a root and a key path below it. A usage error for an
// unknown root, a bad path, or no registry folder to find the hives in.
struct RegistryLocation {
    VRegistryRoot root = VRegistryRoot::CurrentUser;
    VUnicodeString path;
};
RegistryLocation ParseRegistryOption(const std::string& text);

// Checks a backslash-separated key path (empty for the root) and returns it
// as the store's UTF-16 name; a component that is empty, "." or "..", or
// holds "/", is a usage error.
VUnicodeString ParseKeyPath(const std::string& path);

// Opens KEY below the root of `store`; the root itself for an empty path.
std::unique_ptr<VProfileKey> OpenKey(VProfileStore& store, const VUnicodeString& path);

std::string ToUtf8(const VUnicodeString& text);
VUnicodeString FromUtf8(const std::string& text);

// The text of a report that says why a write failed (the system's text for an errno), or
// `otherwise` when the library left no report.
std::string ReportText(const VReportMessageParams& report, const std::string& otherwise);

// A report as the host prints a refusal: its id as 0x%08x, a space and its
// text on one line.
std::string DescribeReport(VReportMessageParams& report);

}  // namespace cli
