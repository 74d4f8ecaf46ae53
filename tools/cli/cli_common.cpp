// Host set-up and helpers shared by the sessiondeck commands.
#include "tools/cli/cli_common.h"

#include <cstdio>
#include <cstdlib>

#include "app/config_folder.h"
#include "app/init.h"
#include "foundation/hex_digits.h"
#include "foundation/report_text.h"
#include "profile/ini_store.h"
#include "profile/registry_store.h"

using namespace sessiondeck;

namespace cli {
namespace {

std::unique_ptr<VProfileStoreFactory> g_factory;

// Under --read-only every store the library opens, whatever it asks for, opens read-only: the
// commands refuse their changes themselves, and this makes sure that what the library writes on
// its own (seeded defaults, repaired order records, a first global save) stays unwritten too.
class ReadOnlyStore : public VProfilePrivateStore {
public:
    explicit ReadOnlyStore(VProfilePrivateStore* inner) : m_inner(inner) {}
    VProfilePrivateKey* OpenRootKey(bool) override { return m_inner->OpenRootKey(true); }

private:
    std::unique_ptr<VProfilePrivateStore> m_inner;
};

class ReadOnlyStoreFactory : public VProfileStoreFactory {
public:
    explicit ReadOnlyStoreFactory(std::unique_ptr<VProfileStoreFactory> inner)
        : m_inner(std::move(inner)) {}
    VProfilePrivateStore* CreateStore() override {
        VProfilePrivateStore* store = m_inner->CreateStore();
        return store ? new ReadOnlyStore(store) : nullptr;
    }

private:
    std::unique_ptr<VProfileStoreFactory> m_inner;
};

VProfileStoreFactory* HostFactory() {
    return g_factory.get();
}

// Shows every report the library routes as one line on standard error.
class StderrRouter : public VReportMessageRouter {
public:
    int Route(IReportMessageParams* report) override {
        if (report && report->GetMessageId() != 0) {
            std::fprintf(stderr, "sessiondeck: %s\n", ToUtf8(report->GetTextSingleLine()).c_str());
        }
        return 0;
    }
};

VReportMessageRouter* HostRouter() {
    static StderrRouter router;
    return &router;
}

}  // namespace

std::string DefaultConfigFolder() {
    if (const char* env = std::getenv("SESSIONDECK_CONFIG"); env && *env) return env;
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.config";
    } else {
        throw Failure(kUsage,
                      "no configuration folder: pass --config DIR or set SESSIONDECK_CONFIG");
    }
    return base + "/sessiondeck/Config";
}

ConfigFolderChoice ResolveConfigFolder(const GlobalOptions& options) {
    ConfigFolderChoice choice;
    const char* env = std::getenv("SESSIONDECK_CONFIG");
    VUnicodeString remembered;
    if (!options.configFolder.empty()) {
        choice = {options.configFolder, "--config", ""};
    } else if (env && *env) {
        choice = {env, "SESSIONDECK_CONFIG", ""};
    } else if (!(remembered = GetAppConfigPath(FromUtf8(options.appName).c_str())).IsEmpty()) {
        choice = {ToUtf8(remembered),
                  "remembered for " + options.appName + " in the registry store", ""};
    } else if (!(remembered = GetAppConfigPath(u"Global")).IsEmpty()) {
        choice = {ToUtf8(remembered), "remembered for all applications in the registry store", ""};
    } else if (!(remembered = GetAppConfigPathUnderExe(GetHostExecutableFolder().c_str()))
                    .IsEmpty()) {
        choice = {ToUtf8(remembered), "beside the executable", ""};
    } else {
        choice = {DefaultConfigFolder(), "default", ""};
    }

    // Only a redirect is followed; an old folder that was never migrated is
    // used as it is (this host does not run the migration utility), and said so.
    VUnicodeString folder = FromUtf8(choice.folder);
    VUnicodeString unused;
    if (!CheckAppConfigPathRedirect(nullptr, nullptr, nullptr, false, nullptr, folder, unused)) {
        choice.needsMigration = true;
    } else if (ToUtf8(folder) != choice.folder) {
        choice.redirectedFrom = choice.folder;
        choice.folder = ToUtf8(folder);
    }
    return choice;
}

RegistryLocation ParseRegistryOption(const std::string& text) {
    const size_t separator = text.find('\\');
    const std::string rootName = text.substr(0, separator);
    RegistryLocation location;
    if (!ParseRegistryRootName(FromUtf8(rootName).str(), location.root)) {
        throw Failure(
            kUsage,
            "unknown registry root '" + rootName +
                "' in --registry: use HKEY_CURRENT_USER (HKCU) or HKEY_LOCAL_MACHINE (HKLM)");
    }
    location.path = separator == std::string::npos ? VUnicodeString()
                                                   : ParseKeyPath(text.substr(separator + 1));
    if (GetDefaultRegistryFolder().empty())
        throw Failure(kUsage, "no registry folder: set SESSIONDECK_REGISTRY_DIR");
    return location;
}

namespace {

std::unique_ptr<VRegistryStoreFactory> RegistryFactory(const std::string& text) {
    const RegistryLocation location = ParseRegistryOption(text);
    return std::make_unique<VRegistryStoreFactory>(location.root, location.path);
}

}  // namespace

std::string DescribeStore(const GlobalOptions& options) {
    if (options.registry.empty()) return options.configFolder;
    return "the registry key " + options.registry + " (hives in " +
           GetDefaultRegistryFolder().string() + ")";
}

void InitialiseHost(const GlobalOptions& options) {
    if (!options.registry.empty()) {
        g_factory = RegistryFactory(options.registry);
    } else {
        g_factory = std::make_unique<VIniFileStoreFactory>(FromUtf8(options.configFolder));
    }
    if (options.readOnly) g_factory = std::make_unique<ReadOnlyStoreFactory>(std::move(g_factory));
    SessionDeckDllInitProfileFactory(&HostFactory);
    SessionDeckDllInit(FromUtf8(options.appName).c_str(), &HostRouter);
}

void PrepareHost(GlobalOptions& options) {
    static bool prepared = false;
    if (prepared) return;
    if (!options.registry.empty() && !options.configFolder.empty()) {
        throw Failure(kUsage, "--config and --registry name two different stores: give one");
    }
    if (options.registry.empty()) options.configFolder = ResolveConfigFolder(options).folder;
    InitialiseHost(options);
    prepared = true;
}

VUnicodeString ParseKeyPath(const std::string& path) {
    if (path.empty()) return {};
    size_t start = 0;
    while (true) {
        const size_t end = path.find('\\', start);
        const std::string part =
            path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos) {
            throw Failure(
                kUsage, "invalid key path '" + path +
                            "': components are separated by '\\' and must not be empty, '.', '..' "
                            "or contain '/'");
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return FromUtf8(path);
}

std::unique_ptr<VProfileKey> OpenKey(VProfileStore& store, const VUnicodeString& path) {
    if (path.IsEmpty()) return std::make_unique<VProfileKey>(store);
    return std::make_unique<VProfileKey>(store.GetRootKey(), path);
}

std::string ToUtf8(const VUnicodeString& text) {
    return text.ToUtf8();
}
VUnicodeString FromUtf8(const std::string& text) {
    return VUnicodeString::FromUtf8(text);
}

std::string ReportText(const VReportMessageParams& report, const std::string& otherwise) {
    if (report.GetMessageId() == 0) return otherwise;
    const std::string text = ToUtf8(VUnicodeString(ReportLine(report)));
    return text.empty() ? otherwise : text;
}

std::string DescribeReport(VReportMessageParams& report) {
    return "0x" + HexDword(report.GetMessageId()) + " " +
           ToUtf8(VUnicodeString(ReportLine(report)));
}

}  // namespace cli
