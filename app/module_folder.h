// Where the protocol modules that belong to this copy of the library were installed.
#pragma once

#include <string>

#include "foundation/export.h"
#include "foundation/unicode_string.h"

namespace sessiondeck {

// The folder to hand to LoadConnectionProtocolDlls: the first that exists of
// the modules' folder beside the loaded library (lib/sessiondeck/protocols
// when the library was installed, plugins/ inside a build tree) and the folder
// the build was configured to install them to. When none exists, the
// configured install folder, so a failed load names where the modules belong.
// Found again on every call; a host that loads the library from a moved
// prefix needs no knowledge of the layout.
SESSIONDECK_API VUnicodeString GetInstalledProtocolFolder();

// The choice above for a library file at `libraryPath` (UTF-8; empty when the
// loader could not tell) and the configured `installFolder`.
SESSIONDECK_API std::string ChooseProtocolFolder(const std::string& libraryPath,
                                                 const std::string& installFolder);

}  // namespace sessiondeck
