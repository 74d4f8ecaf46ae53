// Creating and reading the per-user protection key file with POSIX calls.
#include "platform/protect_key.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/crypto.h"

namespace sessiondeck {

namespace {

std::string Quoted(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

std::string ErrnoText(int error) {
    return std::strerror(error);
}

// Makes every missing folder of the path with mode 0700; folders that exist
// already are left as they are.
bool MakeFolders(const std::filesystem::path& folder, std::string& reason) {
    struct stat st;
    if (::stat(folder.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        reason = "The key folder " + Quoted(folder) + " is not a folder.";
        return false;
    }
    if (folder.has_parent_path() && folder.parent_path() != folder &&
        !MakeFolders(folder.parent_path(), reason))
        return false;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        reason =
            "The key folder " + Quoted(folder) + " cannot be created: " + ErrnoText(errno) + ".";
        return false;
    }
    return true;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

enum class ReadOutcome { kRead, kMissing, kRefused };

ReadOutcome ReadKeyFile(const std::filesystem::path& path, VProtectKey& key, std::string& reason) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            reason = "The protection key " + Quoted(path) + " does not exist.";
            return ReadOutcome::kMissing;
        }
        reason =
            "The protection key " + Quoted(path) + " cannot be opened: " + ErrnoText(errno) + ".";
        return ReadOutcome::kRefused;
    }
    ReadOutcome outcome = ReadOutcome::kRefused;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        reason =
            "The protection key " + Quoted(path) + " cannot be examined: " + ErrnoText(errno) + ".";
    } else if (!S_ISREG(st.st_mode)) {
        reason = "The protection key " + Quoted(path) + " is not a regular file.";
    } else if (st.st_uid != ::geteuid()) {
        reason = "The protection key " + Quoted(path) + " belongs to another user.";
    } else if ((st.st_mode & 077) != 0) {
        reason = "The protection key " + Quoted(path) +
                 " is accessible to other users; allow only its owner (mode 0600) to use it.";
    } else if (st.st_size != static_cast<off_t>(kProtectKeySize)) {
        reason = "The protection key " + Quoted(path) + " does not hold exactly 32 bytes.";
    } else {
        size_t done = 0;
        while (done < key.size()) {
            const ssize_t n = ::read(fd, key.data() + done, key.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        if (done == key.size()) {
            outcome = ReadOutcome::kRead;
        } else {
            CryptoWipe(key.data(), key.size());
            reason = "The protection key " + Quoted(path) + " cannot be read.";
        }
    }
    ::close(fd);
    return outcome;
}

// Writes a new key under a temporary name and links it into place, so that a
// reader never sees a partial key and two processes creating the key at once
// agree on one (the loser of the race reads the winner's key).
ReadOutcome CreateKeyFile(const std::filesystem::path& path, VProtectKey& key,
                          std::string& reason) {
    if (!MakeFolders(path.parent_path(), reason)) return ReadOutcome::kRefused;
    VProtectKey fresh;
    if (!CryptoRandomBytes(fresh.data(), fresh.size())) {
        reason = "No random bytes are available for a new protection key.";
        return ReadOutcome::kRefused;
    }
    std::string temp = (path.parent_path() / ".protect.key.XXXXXX").string();
    const int fd = ::mkstemp(temp.data());  // mode 0600
    if (fd < 0) {
        CryptoWipe(fresh.data(), fresh.size());
        reason =
            "The protection key " + Quoted(path) + " cannot be created: " + ErrnoText(errno) + ".";
        return ReadOutcome::kRefused;
    }
    const bool written =
        ::fchmod(fd, 0600) == 0 && WriteAll(fd, fresh.data(), fresh.size()) && ::fsync(fd) == 0;
    const int writeError = errno;
    ::close(fd);
    CryptoWipe(fresh.data(), fresh.size());
    if (!written) {
        ::unlink(temp.c_str());
        reason = "The protection key " + Quoted(path) +
                 " cannot be written: " + ErrnoText(writeError) + ".";
        return ReadOutcome::kRefused;
    }
    const bool linked = ::link(temp.c_str(), path.c_str()) == 0;
    const int linkError = errno;
    ::unlink(temp.c_str());
    if (!linked && linkError != EEXIST) {
        reason = "The protection key " + Quoted(path) +
                 " cannot be created: " + ErrnoText(linkError) + ".";
        return ReadOutcome::kRefused;
    }
    return ReadKeyFile(path, key, reason);
}

}  // namespace

std::filesystem::path ProtectKeyPath() {
    std::filesystem::path base;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/') {
        base = dataHome;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) return {};
        base = std::filesystem::path(home) / ".local" / "share";
    }
    return base / "sessiondeck" / "protect.key";
}

bool LoadProtectKey(bool create, VProtectKey& key, std::string& reason) {
    const std::filesystem::path path = ProtectKeyPath();
    if (path.empty()) {
        reason = "Neither XDG_DATA_HOME nor HOME names a folder for the protection key.";
        return false;
    }
    switch (ReadKeyFile(path, key, reason)) {
        case ReadOutcome::kRead:
            return true;
        case ReadOutcome::kMissing:
            return create && CreateKeyFile(path, key, reason) == ReadOutcome::kRead;
        case ReadOutcome::kRefused:
            break;
    }
    return false;
}

}  // namespace sessiondeck
