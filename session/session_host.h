// ISessionHost: what the session records ask of the application above them (the shared global
// options a session falls back on, the emulation table, the host's name and folders).
#pragma once

#include <optional>
#include <string_view>

#include "data/binary_records.h"
#include "foundation/unicode_string.h"

namespace sessiondeck {

// The session layer sits below the global configuration and the
// initialisation state of app/, yet a session's defaults come from them. So
// app/ installs an implementation of this interface when the library is
// attached, and the records ask through it; session/ never includes app/.
//
// Each question that reads the global options makes the shared global
// configuration exist first, as reading it directly would; the answers are
// nullopt (or false) only while there is none.
class ISessionHost {
public:
    // The text forms of the transfer application's "Remote Explorer Frame
    // State" and "Remote List View State", which a session's empty view states
    // start from.
    struct RemoteViewStates {
        VUnicodeString explorerFrame;
        VUnicodeString listView;
    };
    virtual std::optional<RemoteViewStates> GlobalRemoteViewStates() = 0;
    virtual std::optional<int> GlobalLineSendDelay() = 0;
    virtual std::optional<int> GlobalCharacterSendDelay() = 0;
    virtual std::optional<WINDOWPLACEMENT> GlobalRemoteFramePlacement() = 0;
    // Whether `name` is one of the termcap entries the global options select.
    virtual bool IsSelectedTermcap(std::u16string_view name) = 0;
    // Whether the emulation table of the initialised host has a row `name`.
    virtual bool EmulationTableOffers(std::u16string_view name) = 0;
    // The name the host gave when it initialised the library.
    virtual const VUnicodeString& AppName() = 0;
    // The folder of the running host's executable.
    virtual VUnicodeString HostExecutableFolder() = 0;
    // `path` in its "%u3data%" form when it lies on the portable drive.
    virtual VUnicodeString ToU3DataForm(const VUnicodeString& path) = 0;

protected:
    ~ISessionHost() = default;
};

// Installs the host the records ask (null: none). The host must live until the
// process ends or another is installed.
void SetSessionHost(ISessionHost* host);
// The installed host; without one, a stand-in that knows no global options,
// no emulation table, an empty name and folder, and leaves paths unchanged.
ISessionHost& GetSessionHost();

}  // namespace sessiondeck
