// The `check` command: verifies the configuration folder or registry key and, with --repair, fixes
// what can be fixed without losing anything.
#pragma once

#include <CLI/CLI.hpp>

#include "tools/cli/cli_common.h"

using namespace sessiondeck;

namespace cli {

// Adds `check` to `app`; it runs with `options`.
void AddCheckCommand(CLI::App& app, GlobalOptions& options);

}  // namespace cli
