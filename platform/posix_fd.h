// Small POSIX helpers shared by the platform's file code: an owned descriptor and a file's
// identity.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/faults.h"
#include "platform/file_system.h"

namespace sessiondeck {

namespace platform {

// Closes its descriptor on every path out of a function.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : m_fd(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            if (m_fd >= 0) ::close(m_fd);
            m_fd = other.release();
        }
        return *this;
    }
    int get() const { return m_fd; }
    int release() {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Closes now and says whether the close itself succeeded: on some file
    // systems a failed write only shows here.
    bool Close() {
        const int fd = release();
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

inline int64_t Nanoseconds(const struct timespec& time) {
    return static_cast<int64_t>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

inline FileIdentity IdentityOf(const struct stat& st) {
    return FileIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
                        static_cast<uint64_t>(st.st_size), Nanoseconds(st.st_mtim),
                        Nanoseconds(st.st_ctim)};
}

// Writes all of `bytes`, through the fault seam; false with errno set when a
// write failed.
inline bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        if (const int fault = CheckFault(FaultPoint::kWrite)) {
            errno = fault;
            return false;
        }
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// What a stat of the entry named `name` says of it.
FileStatus StatusOf(const struct stat& st, std::string_view name);
// The last name of a "/"-separated path.
std::string_view LastName(std::string_view path);
// Reads the rest of the open regular file `fd`, whose size was `size` when
// opened, up to `limit` bytes.
ReadResult ReadOpenFile(int fd, uint64_t size, std::string& bytes, uint64_t limit);
// Reads the whole regular file open as `fd` (named `name`), as ReadFileUpTo
// does: anything but a regular file is kUnreadable, one over `limit` kTooLarge.
ReadResult ReadOpened(Fd fd, std::string_view name, std::string& bytes, uint64_t limit,
                      std::optional<FileIdentity>* identity, std::optional<FileStatus>* status);

}  // namespace platform

}  // namespace sessiondeck
