// `sessiondeck connect`: hands a saved session to the system's own client (ssh, sftp, telnet,
// picocom, lftp ...) in place of this process, and the askpass mode through which ssh and sftp
// ask this host for the session's stored password.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>

#include "tools/cli/cli_common.h"

namespace cli {

// The key of the configuration store that overrides the client table: a string value named
// after a protocol holds that protocol's template, and "<protocol> Options" extra words put
// right after the program.
inline constexpr const char16_t* kConnectClientsKey = u"Connect Clients";

// The environment of the askpass mode: the session's path and side, and where its store is.
inline constexpr const char* kAskpassSessionVariable = "SESSIONDECK_ASKPASS";
inline constexpr const char* kAskpassSideVariable = "SESSIONDECK_ASKPASS_SIDE";
inline constexpr const char* kAskpassRegistryVariable = "SESSIONDECK_ASKPASS_REGISTRY";

void AddConnectCommand(CLI::App& app, GlobalOptions& options);

// When this process was started by ssh as its SSH_ASKPASS program (the askpass variable is set
// and the only argument is a prompt), answers the prompt and gives the exit status; otherwise
// nothing, and the host runs as usual.
std::optional<int> RunAskpassIfAsked(int argc, char** argv);

}  // namespace cli
