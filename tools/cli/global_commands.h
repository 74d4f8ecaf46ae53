// The `global` commands: list the application-wide options and change one of them.
#pragma once

#include <CLI/CLI.hpp>

#include "tools/cli/cli_common.h"

using namespace sessiondeck;

namespace cli {

// Adds `global show [--json]` and `global set NAME VALUE` to `app`.
void AddGlobalCommands(CLI::App& app, GlobalOptions& options);

}  // namespace cli
