// Runs a program and captures its output, for tests of the command-line host.
#include "support/run_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>

extern char** environ;

namespace {

// Owns the argument and environment strings that posix_spawn points into.
struct SpawnArguments {
    SpawnArguments(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env) {
        argStrings.push_back(program);
        argStrings.insert(argStrings.end(), args.begin(), args.end());
        for (auto& a : argStrings) argv.push_back(a.data());
        argv.push_back(nullptr);

        std::map<std::string, std::string> merged;
        for (char** e = environ; *e; ++e) {
            std::string entry(*e);
            merged[entry.substr(0, entry.find('='))] = entry;
        }
        for (const auto& entry : env) merged[entry.substr(0, entry.find('='))] = entry;
        for (auto& [name, entry] : merged) envStrings.push_back(entry);
        for (auto& e : envStrings) envp.push_back(e.data());
        envp.push_back(nullptr);
    }
    std::vector<std::string> argStrings, envStrings;
    std::vector<char*> argv, envp;
};

// `limitMs` < 0: no limit.
ProcessResult Run(int limitMs, const std::string& program, const std::vector<std::string>& args,
                  const std::vector<std::string>& env) {
    ProcessResult result;
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0) return result;
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return result;
    }

    SpawnArguments spawnArgs(program, args, env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, spawnArgs.argv.data(),
                                    spawnArgs.envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (spawned != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        result.err = std::strerror(spawned);
        return result;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        int wait = -1;
        if (limitMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            wait = static_cast<int>(std::max<long long>(0, left.count()));
        }
        const int ready = poll(fds, 2, wait);
        if (ready == 0 && limitMs >= 0) {
            // The program and anything it started that still holds the pipes.
            kill(pid, SIGKILL);
            result.timedOut = true;
            break;
        }
        if (ready < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (pollfd& fd : fds) {
        if (fd.fd >= 0) close(fd.fd);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env) {
    return Run(-1, program, args, env);
}

ProcessResult RunProcessFor(std::chrono::milliseconds limit, const std::string& program,
                            const std::vector<std::string>& args,
                            const std::vector<std::string>& env) {
    return Run(static_cast<int>(limit.count()), program, args, env);
}

pid_t StartProcess(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env) {
    SpawnArguments spawnArgs(program, args, env);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, spawnArgs.argv.data(),
                    spawnArgs.envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}
