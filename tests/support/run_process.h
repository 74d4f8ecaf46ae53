// Runs a program with arguments and captures its exit status, standard output and standard error.
#pragma once

#include <string>
#include <vector>

struct ProcessResult {
    int status = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

// `env` entries ("NAME=value") are added to, or replace, the current environment.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {});
