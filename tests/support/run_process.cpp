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

// Owns the argument and environment strings that posix_spawn points into:
// the current environment, with `env` entries ("NAME=value") added or replaced.
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

}  // namespace

RunningProcess::RunningProcess(const std::string& program, const std::vector<std::string>& args,
                               const std::vector<std::string>& env) {
    // A program that exits before reading its input must fail the write, not kill the test.
    signal(SIGPIPE, SIG_IGN);
    int inPipe[2], outPipe[2], errPipe[2];
    if (pipe2(inPipe, O_CLOEXEC) != 0) return;
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        close(inPipe[0]);
        close(inPipe[1]);
        return;
    }

    SpawnArguments spawn(program, args, env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    const int spawned = posix_spawn(&m_pid, program.c_str(), &actions, nullptr, spawn.argv.data(),
                                    spawn.envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(inPipe[0]);
    close(outPipe[1]);
    close(errPipe[1]);
    m_in = inPipe[1];
    m_out = outPipe[0];
    m_err = errPipe[0];
    if (spawned != 0) {
        m_pid = -1;
        m_spawnError = std::strerror(spawned);
    }
}

RunningProcess::~RunningProcess() {
    if (m_pid > 0 && !m_result) {
        kill(m_pid, SIGKILL);
        Wait();
    }
    for (int fd : {m_in, m_out, m_err}) {
        if (fd >= 0) close(fd);
    }
}

bool RunningProcess::Running() {
    if (m_pid <= 0 || m_result) return false;
    siginfo_t info{};
    info.si_pid = 0;
    // WNOWAIT leaves the process to be reaped by Wait.
    if (waitid(P_PID, static_cast<id_t>(m_pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return false;
    return info.si_pid == 0;
}

bool RunningProcess::Write(const std::string& bytes) {
    if (m_in < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(m_in, bytes.data() + done, bytes.size() - done);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void RunningProcess::CloseInput() {
    if (m_in >= 0) close(m_in);
    m_in = -1;
}

std::optional<std::string> RunningProcess::ReadLine(int limitMs) {
    // A byte at a time, so that nothing after the line is taken from Wait.
    std::string line;
    pollfd fd{m_out, POLLIN, 0};
    for (char c = 0; poll(&fd, 1, limitMs) > 0 && read(m_out, &c, 1) == 1; line += c)
        if (c == '\n') return line;
    return std::nullopt;
}

ProcessResult RunningProcess::Wait(int limitMs) {
    if (m_result) return *m_result;
    ProcessResult result;
    CloseInput();
    if (m_pid <= 0) {
        result.err = m_spawnError;
        m_result = result;
        return result;
    }
    pollfd fds[2] = {{m_out, POLLIN, 0}, {m_err, POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    char buffer[65536];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (open > 0) {
        int wait = -1;
        if (limitMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            wait = static_cast<int>(std::max<long long>(0, left.count()));
        }
        const int ready = poll(fds, 2, wait);
        if (ready == 0 && limitMs >= 0) {
            kill(m_pid, SIGKILL);
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
    m_out = m_err = -1;
    int status = 0;
    waitpid(m_pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    m_result = result;
    return result;
}

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env,
                         const std::optional<std::string>& input) {
    RunningProcess process(program, args, env);
    // Short inputs fit the pipe, so writing them all before reading any output cannot block.
    if (input) process.Write(*input);
    return process.Wait();
}

ProcessResult RunProcessFor(std::chrono::milliseconds limit, const std::string& program,
                            const std::vector<std::string>& args,
                            const std::vector<std::string>& env) {
    RunningProcess process(program, args, env);
    process.CloseInput();
    return process.Wait(static_cast<int>(limit.count()));
}

pid_t StartProcess(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env) {
    SpawnArguments spawn(program, args, env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, spawn.argv.data(),
                    spawn.envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}
