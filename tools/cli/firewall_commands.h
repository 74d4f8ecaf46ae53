// The `firewall` commands: list, show, set and remove the named firewalls of the configuration.
#pragma once

#include <CLI/CLI.hpp>

#include "tools/cli/cli_common.h"

using namespace sessiondeck;

namespace cli {

// Adds `firewall ls`, `show`, `set` and `rm` to `app`; they run with `options`.
void AddFirewallCommands(CLI::App& app, GlobalOptions& options);

}  // namespace cli
