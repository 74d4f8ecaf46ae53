// The `url` commands: how the library splits a connection URL.
#pragma once

#include <CLI/CLI.hpp>

#include "tools/cli/cli_common.h"

using namespace sessiondeck;

namespace cli {

// Adds `url parse URL [--json]` to `app`.
void AddUrlCommands(CLI::App& app, GlobalOptions& options);

}  // namespace cli
