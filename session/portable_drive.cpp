// Moving the files every stored session refers to onto the portable (U3) drive: a walk over the
// whole session database, kept out of the record so that the record never depends on the database.
#include <string>

#include "platform/environment.h"
#include "platform/file_system.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "session/session_host.h"

namespace sessiondeck {

namespace {

namespace fs = std::filesystem;

// A free place for `leaf` in `folder`: the name itself unless another file
// holds it, else "stem (2).ext", "stem (3).ext" and so on. `bytes` already at
// a place make that place the answer.
fs::path PortableTarget(const fs::path& folder, const fs::path& leaf, const std::string& bytes) {
    for (int number = 1;; ++number) {
        fs::path candidate = folder / leaf;
        if (number > 1) {
            candidate = folder / (leaf.stem().string() + " (" + std::to_string(number) + ")" +
                                  leaf.extension().string());
        }
        std::string present;
        if (!platform::GetFileStatus(candidate).exists) return candidate;
        if (platform::ReadWholeFile(candidate, present) && present == bytes) return candidate;
    }
}

// Puts the file a path setting names on the portable drive and keeps the
// setting pointing at it there.
void MoveFileSetting(VProfile2<VUnicodeString, VProfileSz>& setting, const SessionConfig& session,
                     const fs::path& dataFolder) {
    if (setting.Get().IsEmpty()) return;
    const VUnicodeString expanded = session.ExpandPath(setting.Get());
    if (expanded.IsEmpty()) return;
    const VUnicodeString onDrive = GetSessionHost().ToU3DataForm(expanded);
    if (onDrive != expanded) {
        // Already on the drive: only the form of the path changes.
        if (onDrive != setting.Get()) setting = onDrive;
        return;
    }
    const fs::path source(expanded.ToUtf8());
    if (!platform::IsRegularFile(source)) return;
    std::string bytes;
    if (!platform::ReadWholeFile(source, bytes) || !platform::CreateFolders(dataFolder)) return;
    const fs::path target = PortableTarget(dataFolder, source.filename(), bytes);
    std::string present;
    const bool copied = (platform::ReadWholeFile(target, present) && present == bytes) ||
                        platform::WriteFileAtomically(target, bytes);
    if (copied)
        setting = VUnicodeString(u"%u3data%/" +
                                 VUnicodeString::FromUtf8(target.filename().string()).str());
}

void CollectSessionPath(VProfileKey&, const VUnicodeString& path, const VUnicodeString&,
                        void* context) {
    static_cast<VStringArray*>(context)->Add(path);
}

}  // namespace

void SessionConfig::CopySessionFilesAndUpdatePaths() {
    const auto data = platform::PortableDataFolder();
    if (!data) return;
    const fs::path dataFolder(*data);
    VStringArray paths;
    SessionDatabase::EnumAllSessions(&CollectSessionPath, &paths);
    for (const VUnicodeString& path : paths) {
        VProfileStore store(false);
        VProfileKey key(store.GetRootKey(), SessionDatabase::KeyPath(path));
        if (!key.IsWritable()) continue;
        auto* session = new SessionConfig(SessionDatabase::LeafName(path), &key);
        session->SetSessionPath(path);
        for (auto* setting : {&session->scriptFilename, &session->terminal.keymapFilename,
                              &session->terminal.userFontMap})
            MoveFileSetting(*setting, *session, dataFolder);
        const VUnicodeString folder = VUnicodeString::FromUtf8(dataFolder.string());
        for (ConnectConfig* config :
             {session->GetTermConnectConfig(), session->GetTransferConnectConfig()}) {
            if (config) config->CopyAndUpdatePaths(folder);
        }
        session->Save(&key, false);
        session->Release();
    }
}

}  // namespace sessiondeck
