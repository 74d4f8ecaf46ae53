// The `filetype` and `tz` commands: file-type definitions by extension, and time zones.
#pragma once

#include <CLI/CLI.hpp>

#include "tools/cli/cli_common.h"

using namespace sessiondeck;

namespace cli {

// Adds `filetype EXT` to `app`.
void AddFileTypeCommands(CLI::App& app, GlobalOptions& options);
// Adds `tz list` and `tz convert ZONE TIME` to `app`.
void AddTimeZoneCommands(CLI::App& app);

}  // namespace cli
