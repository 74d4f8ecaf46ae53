// The application's ISessionHost: the session records' view of the shared global options, the
// emulation table, the host's name and its folders.
#include "app/session_host.h"

#include "app/config_folder.h"
#include "app/global_config.h"
#include "app/init.h"
#include "session/session_host.h"

namespace sessiondeck {

namespace {

// Every question about the global options builds the shared configuration
// when it does not exist yet, as the records always did.
GlobalConfig* SharedGlobalConfig() {
    GlobalConfig* config = nullptr;
    GetGlobalConfig(config);
    return config;
}

class AppSessionHost final : public ISessionHost {
public:
    std::optional<RemoteViewStates> GlobalRemoteViewStates() override {
        GlobalConfig* global = SharedGlobalConfig();
        if (!global) return std::nullopt;
        return RemoteViewStates{global->remoteExplorerFrameState.Format(),
                                global->remoteListViewState.Format()};
    }

    std::optional<int> GlobalLineSendDelay() override {
        GlobalConfig* global = SharedGlobalConfig();
        if (!global) return std::nullopt;
        return global->lineSendDelay.Get();
    }

    std::optional<int> GlobalCharacterSendDelay() override {
        GlobalConfig* global = SharedGlobalConfig();
        if (!global) return std::nullopt;
        return global->characterSendDelay.Get();
    }

    std::optional<WINDOWPLACEMENT> GlobalRemoteFramePlacement() override {
        GlobalConfig* global = SharedGlobalConfig();
        if (!global) return std::nullopt;
        return global->remoteFrameWindowSize.Get();
    }

    bool IsSelectedTermcap(std::u16string_view name) override {
        GlobalConfig* config = SharedGlobalConfig();
        if (!config) return false;
        config->Lock();
        bool found = false;
        for (const auto& entry : config->selectedTermcapEntries.Get()) {
            if (entry == name) {
                found = true;
                break;
            }
        }
        config->Unlock();
        return found;
    }

    bool EmulationTableOffers(std::u16string_view name) override {
        for (const auto& row : GetEmulationTable()) {
            if (row.name == name) return true;
        }
        return false;
    }

    const VUnicodeString& AppName() override { return GetAppName(); }
    VUnicodeString HostExecutableFolder() override { return GetHostExecutableFolder(); }
    VUnicodeString ToU3DataForm(const VUnicodeString& path) override {
        return sessiondeck::ToU3DataForm(path);
    }
};

}  // namespace

void InstallAppSessionHost() {
    // Never destroyed: records may be loaded from static destructors.
    static auto* host = new AppSessionHost;
    SetSessionHost(host);
}

}  // namespace sessiondeck
