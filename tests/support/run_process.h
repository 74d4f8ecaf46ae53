// Runs a program with arguments and captures its exit status, standard output and standard error.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

struct ProcessResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
    bool timedOut = false;  // killed (SIGKILL) for running past its time limit
};

// `env` entries ("NAME=value") are added to, or replace, the current environment.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {});

// RunProcess for a program that may hang: it is killed with SIGKILL once it has run for `limit`.
ProcessResult RunProcessFor(std::chrono::milliseconds limit, const std::string& program,
                            const std::vector<std::string>& args,
                            const std::vector<std::string>& env = {});

// Starts a program with its output discarded and does not wait for it: its pid, or -1. The caller
// kills it or waits for it (waitpid).
pid_t StartProcess(const std::string& program, const std::vector<std::string>& args,
                   const std::vector<std::string>& env = {});
