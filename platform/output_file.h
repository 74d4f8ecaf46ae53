// A plain byte file written from start to end or appended to, as logs are written.
#pragma once

#include <cstddef>
#include <filesystem>

namespace sessiondeck {

namespace platform {

// Errors are errno values (0 for success), for SystemErrorDescription.
class OutputFile {
public:
    enum class Mode {
        kCreate,        // a new, empty file (an existing one is truncated)
        kAppend,        // writing starts at the end the file has when opened
        kSharedAppend,  // every write goes to the end the file has then, so that
                        // several writers can share one file without overwriting
    };

    OutputFile() = default;
    ~OutputFile() { Close(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // A new file is created with mode 0600 (less the umask): logs hold what a
    // session showed, passwords typed at echoing prompts included.
    int Open(const std::filesystem::path& file, Mode mode);
    // Writes all of `data` or reports why not.
    int Write(const void* data, size_t length);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

}  // namespace platform

}  // namespace sessiondeck
