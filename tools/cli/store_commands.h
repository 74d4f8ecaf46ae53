// The `store` commands: set, get, dump, keys, values, rm and rmkey on one key of the configuration
// store.
#pragma once

#include <CLI/CLI.hpp>

#include "tools/cli/cli_common.h"

using namespace sessiondeck;

namespace cli {

// Adds `store` and its sub-commands to `app`; they run with `options`.
void AddStoreCommands(CLI::App& app, GlobalOptions& options);

}  // namespace cli
