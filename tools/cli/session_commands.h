// The session commands: list, show, create, copy, rename, move, remove and change saved sessions.
#pragma once

#include <CLI/CLI.hpp>

#include "tools/cli/cli_common.h"

using namespace sessiondeck;

namespace cli {

// Adds `ls`, `show`, `new`, `mkdir`, `cp`, `rename`, `move`, `rm`, `set` and
// `apply-default` to `app`; they run with `options`.
void AddSessionCommands(CLI::App& app, GlobalOptions& options);

}  // namespace cli
