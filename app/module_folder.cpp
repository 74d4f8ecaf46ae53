// Finding the protocol modules' folder from where the loaded library lives.
#include "app/module_folder.h"

#include <filesystem>

#include "platform/dynamic_library.h"
#include "platform/file_system.h"

#ifndef SESSIONDECK_PROTOCOL_INSTALL_PATH
#define SESSIONDECK_PROTOCOL_INSTALL_PATH ""
#endif

namespace sessiondeck {

std::string ChooseProtocolFolder(const std::string& libraryPath, const std::string& installFolder) {
    if (!libraryPath.empty()) {
        const std::filesystem::path libraryFolder =
            std::filesystem::path(libraryPath).parent_path();
        // The installed layout first; a build tree keeps its modules in plugins/.
        for (const std::filesystem::path& candidate :
             {libraryFolder / "sessiondeck" / "protocols", libraryFolder / "plugins"}) {
            if (platform::GetFileStatus(candidate).isFolder) return candidate.string();
        }
    }
    return installFolder;
}

VUnicodeString GetInstalledProtocolFolder() {
    // Any address inside this library names the library's own file.
    const std::string library =
        SharedObjectPathOf(reinterpret_cast<const void*>(&GetInstalledProtocolFolder));
    return VUnicodeString::FromUtf8(
        ChooseProtocolFolder(library, SESSIONDECK_PROTOCOL_INSTALL_PATH).c_str());
}

}  // namespace sessiondeck
