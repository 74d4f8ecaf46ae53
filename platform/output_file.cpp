// POSIX implementation of OutputFile.
#include "platform/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace sessiondeck {

namespace platform {

int OutputFile::Open(const std::filesystem::path& file, Mode mode) {
    Close();
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    if (mode == Mode::kCreate) flags |= O_TRUNC;
    if (mode == Mode::kSharedAppend) flags |= O_APPEND;
    const int fd = ::open(file.c_str(), flags, 0600);
    if (fd < 0) return errno;
    if (mode == Mode::kAppend && ::lseek(fd, 0, SEEK_END) < 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    m_fd = fd;
    return 0;
}

int OutputFile::Write(const void* data, size_t length) {
    if (m_fd < 0) return EBADF;
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        const ssize_t written = ::write(m_fd, bytes, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes += written;
        length -= static_cast<size_t>(written);
    }
    return 0;
}

void OutputFile::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

}  // namespace platform

}  // namespace sessiondeck
