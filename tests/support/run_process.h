// Runs a program with arguments and captures its exit status, standard output and standard error.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

struct ProcessResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
    bool timedOut = false;  // killed (SIGKILL) for running past its time limit
};

// `env` entries ("NAME=value") are added to, or replace, the current environment. Standard
// input is `input` (then closed), or /dev/null without one.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {},
                         const std::optional<std::string>& input = std::nullopt);

// A program started with its standard input held open by the test, for a look at it while it
// waits for input. Wait() closes the input, collects the output and reaps the process.
class RunningProcess {
public:
    RunningProcess(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env = {});
    ~RunningProcess();
    RunningProcess(const RunningProcess&) = delete;
    RunningProcess& operator=(const RunningProcess&) = delete;

    pid_t pid() const { return m_pid; }  // -1 when it could not be started
    bool Running();                      // not yet exited (without reaping it)
    bool Write(const std::string& bytes);
    void CloseInput();
    // One line of its output, without the newline; nullopt when none came within `limitMs`.
    std::optional<std::string> ReadLine(int limitMs);
    // `limitMs` >= 0: the program is killed (SIGKILL) once the wait has lasted that long.
    ProcessResult Wait(int limitMs = -1);

private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_out = -1;
    int m_err = -1;
    std::string m_spawnError;
    std::optional<ProcessResult> m_result;
};

// RunProcess for a program that may hang: it is killed with SIGKILL once it has run for `limit`.
ProcessResult RunProcessFor(std::chrono::milliseconds limit, const std::string& program,
                            const std::vector<std::string>& args,
                            const std::vector<std::string>& env = {});

// Starts a program with its output discarded and does not wait for it: its pid, or -1. The caller
// kills it or waits for it (waitpid).
pid_t StartProcess(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env = {});
