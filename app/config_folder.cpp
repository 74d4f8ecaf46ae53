#include "app/config_folder.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <vector>

#include "app/global_config.h"
#include "app/init.h"
#include "app/siblings.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "platform/environment.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/system_messages.h"
#include "profile/ini_store.h"
#include "profile/profile_data.h"
#include "session/session_config.h"

namespace sessiondeck {

namespace fs = std::filesystem;

namespace {

constexpr char16_t kMakerKey[] = u"SOFTWARE\\Norvik";
constexpr char16_t kConfigPathValue[] = u"Config Path";
constexpr char16_t kRedirectKey[] = u"NVKRedirect";
constexpr char16_t kRedirectValue[] = u"New Config Path";
// Beside the host; it exits with this code when another copy already runs.
constexpr char16_t kMigrationUtility[] = u"migrate";
constexpr int kExitAlreadyRunning = 183;

using StringSetting = VProfile2<VUnicodeString, VProfileSz>;

std::atomic<bool> g_migrationStarted{false};

struct HostFolder {
    std::mutex lock;
    VUnicodeString folder;
    bool set = false;
};

HostFolder& Host() {
    static HostFolder host;
    return host;
}

// A folder and a name with exactly one separator between them.
VUnicodeString Join(const VUnicodeString& folder, std::u16string_view name) {
    std::u16string text = folder.str();
    while (!text.empty() && (text.back() == u'/' || text.back() == u'\\')) text.pop_back();
    return VUnicodeString(text + u'/' + std::u16string(name));
}

std::string Native(const VUnicodeString& path) {
    return platform::ToNativeSeparators(path.ToUtf8());
}

VUnicodeString ReadConfigPath(VRegistryStoreFactory& factory, const char16_t* appKeyName) {
    VProfileStore store(true, &factory);
    VProfileKey key(store.GetRootKey(), appKeyName);
    VUnicodeString value;
    key.QueryString(kConfigPathValue, value);
    return value;
}

// Writes `folder` as the application's "Config Path" unless it is already
// stored, as a typed setting would.
void WriteConfigPath(VRegistryStoreFactory& factory, const VUnicodeString& appKeyName,
                     const char16_t* folder) {
    VProfileStore store(&factory);
    VProfileKey key(store.GetRootKey(), appKeyName);
    StringSetting path;
    path.Init(&key, kConfigPathValue, VUnicodeString());
    path = VUnicodeString(folder);
    path.Save(&key, false);
}

bool HasIdxFile(const VUnicodeString& folder) {
    std::vector<platform::FolderEntry> entries;
    platform::ListFolder(Native(folder), entries);
    for (const platform::FolderEntry& entry : entries) {
        if (fs::path(entry.name).extension() == ".idx" && !entry.isFolder) return true;
    }
    return false;
}

VUnicodeString ReadRedirect(VIniFileStoreFactory& factory) {
    VProfileStore store(true, &factory);
    VProfileKey key(store.GetRootKey(), kRedirectKey);
    VUnicodeString target;
    key.QueryString(kRedirectValue, target);
    return target;
}

void FollowRedirect(const VUnicodeString& target, bool allowRegistry, VUnicodeString& configPath,
                    VUnicodeString& secondPath) {
    configPath = target;
    if (allowRegistry) SaveAppConfigPath(target.c_str(), false);
    if (!secondPath.IsEmpty()) secondPath = target;
}

struct U3Steps {
    std::mutex lock;
    std::vector<std::function<void()>> steps;
};

U3Steps& U3() {
    static U3Steps steps;
    return steps;
}

}  // namespace

VRegistryStoreFactory& GetLibraryRegistryStoreFactory() {
    static VRegistryStoreFactory factory;
    return factory;
}

VUnicodeString GetAppConfigPath(const char16_t* appKeyName) {
    VRegistryStoreFactory& factory = GetLibraryRegistryStoreFactory();
    factory.SetRoot(VRegistryRoot::CurrentUser, kMakerKey);
    return ReadConfigPath(factory, appKeyName);
}

void SaveAppConfigPath(const char16_t* folder, bool overwriteSibling) {
    VRegistryStoreFactory& factory = GetLibraryRegistryStoreFactory();
    WriteConfigPath(factory, GetAppName(), folder);
    VUnicodeString sibling;
    if (!IsIntegrated(sibling)) return;
    if (overwriteSibling || ReadConfigPath(factory, sibling.c_str()).IsEmpty()) {
        WriteConfigPath(factory, sibling, folder);
    }
}

VUnicodeString GetAppConfigPathAlpha() {
    VUnicodeString path = GetAppConfigPath(u"Global");
    if (!path.IsEmpty()) SaveAppConfigPath(path.c_str(), false);
    return path;
}

VUnicodeString GetAppConfigPathUnderExe(const char16_t* exeFolder) {
    const VUnicodeString config = Join(VUnicodeString(exeFolder), u"Config");
    // The folder backend writes the key "Global" as "Global.ini"; a folder copied through a
    // file system that ignores case may spell it otherwise, and still counts as one the
    // library filled, whatever case the file has.
    std::vector<platform::FolderEntry> entries;
    if (!platform::ListFolder(Native(config), entries)) return {};
    for (const platform::FolderEntry& entry : entries) {
        if (!entry.isFolder &&
            EqualsNoCase(VUnicodeString::FromUtf8(entry.name).str(), u"global.ini"))
            return config;
    }
    return {};
}

bool CheckAppConfigPathCommandLine(const char16_t* path, VUnicodeString& folder,
                                   VReportMessageParams& report) {
    folder = VUnicodeString(path);
    while (!folder.IsEmpty() && folder.str().back() == u'\\') folder.str().pop_back();
    if (!folder.IsEmpty() && platform::GetFileStatus(Native(folder)).isFolder) return true;
    report.SetMessage(kMsgCommandLineFolderNotValid);
    report.AddInsert(path ? path : u"");
    return false;
}

bool CheckAppConfigPathRedirect(const char16_t*, const char16_t*, ConfigMigrationQuery query,
                                bool allowRegistry, ConfigReportFunction reportFunction,
                                VUnicodeString& configPath, VUnicodeString& secondPath) {
    if (configPath.IsEmpty()) return true;
    VIniFileStoreFactory factory(configPath);
    {
        VProfileStore store(true, &factory);
        VProfileKey& root = store.GetRootKey();
        if (!HasIdxFile(configPath) && !root.SubKeyExists(u"Global")) return true;
        VProfileKey global(root, u"Global");
        VUnicodeString version;
        if (global.QueryString(u"Version", version) &&
            (version == kConfigFormatPrevious || version == kConfigFormatCurrent)) {
            return true;
        }
    }

    const VUnicodeString target = ReadRedirect(factory);
    if (!target.IsEmpty()) {
        VReportMessageParams report(kMsgConfigMigrated);
        report.AddInsert(configPath.c_str());
        report.AddInsert(target.c_str());
        if (reportFunction) reportFunction(report);
        FollowRedirect(target, allowRegistry, configPath, secondPath);
        return true;
    }

    // An old-format folder without a redirect: the host decides whether to
    // migrate. What the query or the utility reports stays with them.
    VUnicodeString arguments;
    VUnicodeStringI answer(arguments);
    VReportMessageParams report;
    if (!query || !query(configPath.c_str(), &answer, report) ||
        !RunMigrate(arguments.c_str(), allowRegistry, report)) {
        configPath.Empty();
        return false;
    }
    FollowRedirect(ReadRedirect(factory), allowRegistry, configPath, secondPath);
    return true;
}

void SetHostExecutableFolder(const char16_t* folder) {
    HostFolder& host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    host.folder = VUnicodeString(folder);
    host.set = folder != nullptr;
}

VUnicodeString GetHostExecutableFolder() {
    HostFolder& host = Host();
    std::lock_guard<std::mutex> guard(host.lock);
    return host.set ? host.folder : VUnicodeString::FromUtf8(RunningExecutableFolder());
}

void ResetMigrationStartForTesting() {
    g_migrationStarted = false;
}

bool RunMigrate(const char16_t* arguments, bool allowRegistry, VReportMessageParams& report) {
    if (g_migrationStarted.exchange(true)) return false;
    // The command line a Windows host would build, split back into arguments.
    std::string commandLine =
        "\"" + Native(Join(GetHostExecutableFolder(), kMigrationUtility)) + "\"";
    if (!allowRegistry) commandLine += " /NoRegEdit";
    if (arguments) commandLine += " " + VUnicodeString(arguments).ToUtf8();
    std::vector<std::string> argv = SplitArgumentString(commandLine);
    const std::string program = argv.front();
    argv.erase(argv.begin());

    int exitCode = 0;
    const int error = RunAndWait(program, argv, exitCode);
    if (error != 0) {
        // Nothing ran, so a later attempt may try again.
        g_migrationStarted = false;
        report.SetMessage(kMsgMigrationFailed);
        report.AddInsert(VUnicodeString::FromUtf8(SystemErrorDescription(error).value_or(
                                                      "error " + std::to_string(error)))
                             .c_str());
        return false;
    }
    if (exitCode == 0) return true;
    if (exitCode == kExitAlreadyRunning) report.SetMessage(kMsgMigrationRunning);
    return false;
}

void RegisterU3MigrationStep(std::function<void()> step) {
    U3Steps& u3 = U3();
    std::lock_guard<std::mutex> guard(u3.lock);
    u3.steps.push_back(std::move(step));
}

VUnicodeString ToU3DataForm(const VUnicodeString& path) {
    const auto data = platform::PortableDataFolder();
    if (!data) return path;
    VUnicodeString prefix = VUnicodeString::FromUtf8(*data);
    while (!prefix.IsEmpty() && (prefix.str().back() == u'/' || prefix.str().back() == u'\\')) {
        prefix.str().pop_back();
    }
    const std::u16string& text = path.str();
    if (prefix.IsEmpty() || text.size() < prefix.Length() ||
        !EqualsNoCase(std::u16string_view(text).substr(0, prefix.Length()), prefix) ||
        (text.size() > prefix.Length() && text[prefix.Length()] != u'/' &&
         text[prefix.Length()] != u'\\')) {
        return path;
    }
    return VUnicodeString(u"%u3data%" + text.substr(prefix.Length()));
}

void SessionDeckDllMigrateConfigsToU3() {
    std::vector<std::function<void()>> steps;
    {
        U3Steps& u3 = U3();
        std::lock_guard<std::mutex> guard(u3.lock);
        steps = u3.steps;
    }
    for (const auto& step : steps) step();

    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    if (!config) return;
    config->menuToolbarFile = ToU3DataForm(config->menuToolbarFile.Get());
    for (auto* sound : {&config->connectSoundFile, &config->disconnectSoundFile,
                        &config->transferCompleteSoundFile, &config->errorSoundFile}) {
        *sound = VUnicodeString();
    }
    config->Save();
    SessionConfig::CopySessionFilesAndUpdatePaths();
}

bool ValidateConfigFolder(VUnicodeString& entered) {
    const fs::path folder(Native(entered));
    const int error = platform::MakeWritableFolder(folder);
    if (error == 0) {
        std::error_code ignored;
        entered =
            VUnicodeString::FromUtf8(fs::absolute(folder, ignored).lexically_normal().string());
        return true;
    }
    VReportMessageParams report(error == EACCES || error == EPERM ? kMsgFolderAccessDenied
                                                                  : kMsgFolderNotValid);
    report.AddInsert(entered.c_str());
    GetPrompt().ShowMessage(report.GetText(), GetAppName(), VPromptButtons::kOk,
                            VPromptIcon::kExclamation);
    return false;
}

ConfigFolderDialog::ConfigFolderDialog(VUnicodeString initialFolder, VUnicodeString title)
    : m_path(std::move(initialFolder)), m_title(std::move(title)) {}

bool ConfigFolderDialog::DoModal() {
    VUnicodeString current = m_path;
    while (true) {
        std::optional<VUnicodeString> answer = GetPrompt().AskFolder(m_title, current);
        if (!answer) return false;
        current = *answer;
        if (ValidateConfigFolder(current)) {
            m_path = current;
            return true;
        }
    }
}

}  // namespace sessiondeck
