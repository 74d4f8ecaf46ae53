// How the hosts of the project find and load the protocol modules: relative to their own
// executable, as a host of a given product would.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "foundation/product.h"
#include "tools/cli/cli_common.h"

using namespace sessiondeck;

namespace cli {

// The protocol folder beside the running executable: "plugins" of the build
// tree, else the installed lib/sessiondeck/protocols; empty when neither holds
// a module.
std::string FindProtocolFolder();

struct ProtocolLoadResult {
    bool loaded = false;
    std::string folder;
    std::string report;  // the loader's report text, empty when it had none
};

// Loads the modules once per process as a host of `product` would (Vetralon:
// the terminal host, with the file-transfer side present and so integrated;
// Ferrivo: the file-transfer host beside the terminal; other products alone), from
// `folder` or else FindProtocolFolder(). Later calls answer the first result.
// Initialises the host (PrepareHost) first, since the policy values live in
// the store.
ProtocolLoadResult EnsureProtocolsLoaded(GlobalOptions& options,
                                         Product product = Product::Vetralon,
                                         const std::string& folder = {});

// Adds `protocols`: loads the modules and prints the protocol table.
void AddProtocolsCommand(CLI::App& app, GlobalOptions& options);

}  // namespace cli
