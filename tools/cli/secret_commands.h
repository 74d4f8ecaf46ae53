// The `secret` commands: encode a text into a stored secret form and decode a stored text.
#pragma once

#include <CLI/CLI.hpp>

#include "tools/cli/cli_common.h"

using namespace sessiondeck;

namespace cli {

// Adds `secret encode` and `secret decode` to `app`. They work on their
// arguments only and never open the store; the data-protection form uses the
// user's protection key ($XDG_DATA_HOME/sessiondeck/protect.key).
void AddSecretCommands(CLI::App& app, GlobalOptions& options);

}  // namespace cli
