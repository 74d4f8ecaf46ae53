// The per-user key file that binds data-protected secrets to one user on one machine.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace sessiondeck {

inline constexpr size_t kProtectKeySize = 32;
using VProtectKey = std::array<uint8_t, kProtectKeySize>;

// $XDG_DATA_HOME/sessiondeck/protect.key when XDG_DATA_HOME is an absolute
// path, else $HOME/.local/share/sessiondeck/protect.key; empty when neither
// variable gives a folder.
std::filesystem::path ProtectKeyPath();

// Reads the key. The file must be a regular file owned by this user, with no
// group or other permission bits and exactly kProtectKeySize bytes; anything
// else is refused (never repaired or replaced, since values sealed with the old
// key would be lost). When the file is missing and create is true, a fresh
// random key is written with mode 0600 (missing folders are made 0700). False
// with an English reason naming the file otherwise.
bool LoadProtectKey(bool create, VProtectKey& key, std::string& reason);

}  // namespace sessiondeck
