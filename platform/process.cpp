#include "platform/process.h"

#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <thread>

extern char** environ;

namespace sessiondeck {

std::vector<std::string> SplitArgumentString(std::string_view text) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '\\') {
            size_t slashes = 0;
            while (i < text.size() && text[i] == '\\') {
                ++slashes;
                ++i;
            }
            inArgument = true;
            if (i < text.size() && text[i] == '"') {
                current.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    current += '"';
                    ++i;
                }
                // An even count leaves the quote to toggle quoting below.
            } else {
                current.append(slashes, '\\');
            }
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument) arguments.push_back(std::move(current));
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
        ++i;
    }
    if (inArgument) arguments.push_back(std::move(current));
    return arguments;
}

namespace {

int Spawn(const std::string& path, const std::vector<std::string>& arguments, pid_t& pid) {
    if (path.empty() || path.find('\0') != std::string::npos) return ENOENT;
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), environ);
}

}  // namespace

int RunAndWait(const std::string& path, const std::vector<std::string>& arguments, int& exitCode) {
    pid_t pid = 0;
    const int result = Spawn(path, arguments, pid);
    if (result != 0) return result;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return errno;
    }
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return 0;
}

std::string RunningExecutableFolder() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.parent_path().string();
}

std::string RunningExecutablePath() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : self.string();
}

bool OpenWithDesktop(const std::string& target) {
    const std::string opener = FindOnPath("xdg-open");
    return !opener.empty() && SpawnDetached(opener, {target}) == 0;
}

int SpawnDetached(const std::string& path, const std::vector<std::string>& arguments) {
    pid_t pid = 0;
    const int result = Spawn(path, arguments, pid);
    if (result != 0) return result;
    // glibc reports an exec failure of the child through posix_spawn's result,
    // so a pid here is a running program; reap it when it ends.
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return 0;
}

std::string FindOnPath(std::string_view name) {
    const char* path = std::getenv("PATH");
    if (!path || name.empty()) return {};
    std::string_view rest(path);
    while (true) {
        const size_t colon = rest.find(':');
        std::string_view folder = rest.substr(0, colon);
        if (folder.empty()) folder = ".";
        std::string candidate = std::string(folder) + "/" + std::string(name);
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        if (colon == std::string_view::npos) return {};
        rest.remove_prefix(colon + 1);
    }
}

std::string CurrentUserName() {
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[1024];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found &&
        found->pw_name && *found->pw_name) {
        return found->pw_name;
    }
    const char* user = std::getenv("USER");
    return user ? user : "";
}

long CurrentProcessId() {
    return static_cast<long>(::getpid());
}

bool IsProcessAlive(long pid) {
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max()) return false;
    // EPERM: it runs, under another user.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}  // namespace sessiondeck
