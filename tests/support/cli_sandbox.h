// What the tests of the sessiondeck host share: the host run over a configuration folder of its
// own, value files made by hand, whole-tree snapshots to compare before and after, and a small
// tmpfs to fill up.
#pragma once

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_process.h"
#include "support/temp_dir.h"

namespace sandbox {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;

// A whole value file of a session, in the exact form the store writes, with `extra` lines
// (each ending in CR LF) after its host name.
inline std::string SessionFile(const std::string& host, const std::string& extra = {}) {
    return "\xEF\xBB\xBF"
           "D:\"Is Session\"=00000001\r\n"
           "S:\"Hostname\"=" +
           host + "\r\n" + extra;
}

// The exact line a dword value is stored as.
inline std::string DwordLine(const std::string& name, uint32_t value) {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", value);
    return "D:\"" + name + "\"=" + hex + "\r\n";
}

// Every entry below `root` (not following links), by relative path: its kind, permission bits
// and, for a file, its bytes. Order records are left out when `withOrder` is false: listings
// rewrite them, and they hold no session's data. Without `withModes`, permission bits are left
// out too (a copy is made with the store's own modes); `withTimes` adds modification times.
inline Tree Snapshot(const fs::path& root, bool withOrder = true, bool withModes = true,
                     bool withTimes = false) {
    Tree entries;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path& path = it->path();
        struct stat st {};
        if ((!withOrder && path.filename() == "__FolderData__.ini") ||
            lstat(path.c_str(), &st) != 0)
            continue;
        std::string entry = withModes ? std::to_string(st.st_mode & 07777) + " " : "";
        if (withTimes)
            entry += std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
        if (S_ISLNK(st.st_mode)) {
            entry += "link " + fs::read_symlink(path, ec).string();
        } else if (S_ISREG(st.st_mode)) {
            entry += "file " + ReadFileBytes(path);
        } else {
            entry += S_ISDIR(st.st_mode) ? "folder" : S_ISFIFO(st.st_mode) ? "fifo" : "other";
        }
        entries[fs::relative(path, root).string()] = entry;
    }
    return entries;
}

// The differences between two snapshots, named by path, for a failure message.
inline std::string Diff(const Tree& before, const Tree& after) {
    std::string out;
    for (const auto& [path, entry] : before) {
        auto it = after.find(path);
        if (it == after.end() || it->second != entry)
            out += (it == after.end() ? "\n  missing: " : "\n  changed: ") + path;
    }
    for (const auto& [path, entry] : after) {
        if (!before.count(path)) out += "\n  added: " + path;
    }
    return out.substr(0, 2000);
}

// Whether two snapshots are equal; when not, the differing paths (not the whole contents).
inline ::testing::AssertionResult Same(const Tree& expected, const Tree& found) {
    if (expected == found) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the trees differ:" << Diff(expected, found);
}

// The lines of a command's output.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

inline int EnvInt(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::atoi(text) : fallback;
}

// A tmpfs of `kib` KiB mounted on `where` for the life of the object (root only). `why` says
// why it is not mounted, for a skip message.
class SmallTmpfs {
public:
    SmallTmpfs(const fs::path& where, int kib) : m_where(where) {
        fs::create_directories(where);
        const std::string options = "size=" + std::to_string(kib) + "k,mode=0755";
        if (geteuid() != 0) {
            m_why =
                "mounting a small tmpfs needs root; running as uid " + std::to_string(geteuid());
        } else if (mount("tmpfs", where.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            m_why = "mounting a small tmpfs was not permitted here: " +
                    std::string(std::strerror(errno));
        }
    }
    ~SmallTmpfs() {
        if (mounted()) umount2(m_where.c_str(), MNT_DETACH);
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool mounted() const { return m_why.empty(); }
    const std::string& why() const { return m_why; }

    // Fills the file system with one file until a write fails for want of space, then gives back
    // `leaveBytes` of it.
    void Fill(uint64_t leaveBytes) const {
        const fs::path filler = m_where / "filler";
        {
            std::ofstream out(filler, std::ios::binary | std::ios::app);
            const std::string block(4096, 'f');
            while (out.write(block.data(), static_cast<std::streamsize>(block.size())) &&
                   out.flush()) {
            }
        }
        std::error_code ec;
        const uintmax_t size = fs::file_size(filler, ec);
        if (!ec) fs::resize_file(filler, size > leaveBytes ? size - leaveBytes : 0, ec);
    }

private:
    fs::path m_where;
    std::string m_why;
};

}  // namespace sandbox

// Runs the sessiondeck host over a configuration folder of its own, with home, configuration,
// data and registry folders all inside the test's folder, so anything written anywhere shows there
// (and no user's data-protection key is touched). The system's data folders are empty ones: the
// built-in file types are used.
class CliSandboxTest : public ::testing::Test {
protected:
    std::vector<std::string> Env() const {
        return {"HOME=" + dir.path().string(),
                "XDG_CONFIG_HOME=" + (dir / "xdg").string(),
                "XDG_DATA_HOME=" + (dir / "data").string(),
                "XDG_DATA_DIRS=" + (dir / "system-data").string(),
                "XDG_CONFIG_DIRS=" + (dir / "etc").string(),
                "SESSIONDECK_REGISTRY_DIR=" + (dir / "registry").string(),
                "SESSIONDECK_CONFIG="};
    }
    std::vector<std::string> Args(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--config", config.string()});
        return args;
    }
    ProcessResult Run(const std::vector<std::string>& args,
                      const std::optional<std::string>& input = std::nullopt) const {
        ProcessResult result = RunProcess(SESSIONDECK_CLI_PATH, Args(args), Env(), input);
        EXPECT_NE(result.status, -1) << "the host crashed: " << ::testing::PrintToString(args);
        return result;
    }
    // The output of a command that must succeed.
    std::string Ok(const std::vector<std::string>& args) const {
        const ProcessResult r = Run(args);
        EXPECT_EQ(r.status, 0) << ::testing::PrintToString(args) << ": " << r.err;
        return r.out;
    }
    pid_t Start(const std::vector<std::string>& args) const {
        return StartProcess(SESSIONDECK_CLI_PATH, Args(args), Env());
    }
    // Writes a session's value file by hand; `path` is below Sessions, "/"-separated.
    void MakeSession(const std::string& path, const std::string& host,
                     const std::string& extra = {}) const {
        const std::filesystem::path file = sessions() / (path + ".ini");
        std::filesystem::create_directories(file.parent_path());
        WriteFileBytes(file, sandbox::SessionFile(host, extra));
    }
    std::filesystem::path sessions() const { return config / "Sessions"; }

    TempDir dir;
    std::filesystem::path config = dir / "Config";
};
