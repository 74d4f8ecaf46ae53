// Finds and parses the version record in an executable's bytes.
#include "platform/version_record.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

namespace sessiondeck {

namespace {

// Parses "M.m.b.r" at the start of `text`; the record must end at NUL, a line
// break or the end of what was read.
std::optional<VFileVersion> ParseNumbers(std::string_view text) {
    uint16_t parts[4] = {};
    size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t value = 0;
        size_t digits = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && digits < 6) {
            value = value * 10 + static_cast<uint32_t>(text[pos] - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || digits > 5 || value > 0xFFFF) return std::nullopt;
        parts[i] = static_cast<uint16_t>(value);
        if (i < 3) {
            if (pos >= text.size() || text[pos] != '.') return std::nullopt;
            ++pos;
        }
    }
    if (pos < text.size() && text[pos] != '\0' && text[pos] != '\n' && text[pos] != '\r')
        return std::nullopt;
    return VFileVersion{parts[0], parts[1], parts[2], parts[3]};
}

}  // namespace

std::optional<VFileVersion> ReadFileVersion(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    // Read in chunks so a large executable costs bounded memory; keep a tail
    // of the previous chunk so a record split across chunks is still found.
    constexpr size_t kChunk = 1 << 20;
    constexpr size_t kRecordMax = sizeof(kVersionRecordMarker) + 24;
    const std::string_view marker(kVersionRecordMarker);
    const std::boyer_moore_horspool_searcher searcher(marker.begin(), marker.end());
    std::vector<char> window;
    std::optional<VFileVersion> found;
    std::vector<char> chunk(kChunk);
    bool atEnd = false;
    while (!found && !atEnd) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0) break;
        atEnd = n == 0;
        window.insert(window.end(), chunk.begin(), chunk.begin() + n);
        auto it = std::search(window.begin(), window.end(), searcher);
        while (it != window.end()) {
            const size_t start = static_cast<size_t>(it - window.begin()) + marker.size();
            const size_t available = window.size() - start;
            if (available < kRecordMax && !atEnd) break;  // read more before deciding
            found = ParseNumbers(
                std::string_view(window.data() + start, std::min(available, kRecordMax)));
            if (found) break;
            it = std::search(it + 1, window.end(), searcher);
        }
        if (found) break;
        // Keep only what may still hold the start of a record.
        const size_t keep = std::min(window.size(), kRecordMax + marker.size());
        if (it == window.end())
            window.erase(window.begin(), window.end() - static_cast<std::ptrdiff_t>(keep));
        else
            window.erase(window.begin(), it);
    }
    ::close(fd);
    return found;
}

}  // namespace sessiondeck
