// The `where` command: which configuration folder the host settles on, and why.
#pragma once

#include <CLI/CLI.hpp>

#include "tools/cli/cli_common.h"

using namespace sessiondeck;

namespace cli {

// Adds `where` to `app`; it runs with `options`.
void AddWhereCommand(CLI::App& app, GlobalOptions& options);

}  // namespace cli
