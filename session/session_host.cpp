// The installed ISessionHost, and the stand-in answering while none is installed.
#include "session/session_host.h"

#include <atomic>

namespace sessiondeck {

namespace {

class NoHost final : public ISessionHost {
public:
    std::optional<RemoteViewStates> GlobalRemoteViewStates() override { return std::nullopt; }
    std::optional<int> GlobalLineSendDelay() override { return std::nullopt; }
    std::optional<int> GlobalCharacterSendDelay() override { return std::nullopt; }
    std::optional<WINDOWPLACEMENT> GlobalRemoteFramePlacement() override { return std::nullopt; }
    bool IsSelectedTermcap(std::u16string_view) override { return false; }
    bool EmulationTableOffers(std::u16string_view) override { return false; }
    const VUnicodeString& AppName() override { return m_empty; }
    VUnicodeString HostExecutableFolder() override { return {}; }
    VUnicodeString ToU3DataForm(const VUnicodeString& path) override { return path; }

private:
    VUnicodeString m_empty;
};

// Constant-initialised, so a host installed by another file's static
// initialiser is never overwritten by this one's.
std::atomic<ISessionHost*> g_host{nullptr};

}  // namespace

void SetSessionHost(ISessionHost* host) {
    g_host.store(host);
}

ISessionHost& GetSessionHost() {
    if (ISessionHost* host = g_host.load()) return *host;
    // Never destroyed: records may be loaded from static destructors.
    static auto* none = new NoHost;
    return *none;
}

}  // namespace sessiondeck
