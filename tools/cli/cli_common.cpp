// Host set-up and helpers shared by the sessiondeck commands.
#include "tools/cli/cli_common.h"

#include <cstdio>
#include <cstdlib>

#include "app/init.h"
#include "profile/ini_store.h"

namespace cli {
namespace {

std::unique_ptr<VIniFileStoreFactory> g_factory;

VProfileStoreFactory* HostFactory() { return g_factory.get(); }

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
        throw Failure(kUsage, "no configuration folder: pass --config DIR or set SESSIONDECK_CONFIG");
    }
    return base + "/sessiondeck/Config";
}

void InitialiseHost(const GlobalOptions& options) {
    g_factory = std::make_unique<VIniFileStoreFactory>(FromUtf8(options.configFolder));
    SessionDeckDllInitProfileFactory(&HostFactory);
    SessionDeckDllInit(FromUtf8(options.appName).c_str(), &HostRouter);
}

void PrepareHost(GlobalOptions& options) {
    static bool prepared = false;
    if (prepared) return;
    if (options.configFolder.empty()) options.configFolder = DefaultConfigFolder();
    InitialiseHost(options);
    prepared = true;
}

VUnicodeString ParseKeyPath(const std::string& path) {
    if (path.empty()) return {};
    size_t start = 0;
    while (true) {
        const size_t end = path.find('\\', start);
        const std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part == "." || part == ".." || part.find('/') != std::string::npos) {
            throw Failure(kUsage, "invalid key path '" + path +
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

std::string ToUtf8(const VUnicodeString& text) { return text.ToUtf8(); }
VUnicodeString FromUtf8(const std::string& text) { return VUnicodeString::FromUtf8(text); }

}  // namespace cli
