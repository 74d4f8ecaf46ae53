// Reading a password or other secret from standard input, so that it never appears in the
// process's argument list (which every user of the machine can read in /proc/PID/cmdline).
#pragma once

#include <memory>
#include <string>

#include <CLI/CLI.hpp>

namespace cli {

// The help text of --password-stdin, one form for every command that takes it.
inline constexpr const char* kPasswordStdinHelp =
    "Read the secret as one line from standard input instead of the command line (where other "
    "users can see it in the process list); typing is not echoed on a terminal";

// One line from standard input without its line ending (LF or CR LF). On a terminal the prompt
// goes to standard error and typing is not echoed. A missing line (end of input before any
// character and newline) ends the command with exit status 1.
std::string ReadSecretFromStdin(const std::string& what);

// --password-stdin on `command`, in place of its positional argument `value`
// (named `valueName` in messages, e.g. "VALUE"): the two exclude each other.
class SecretArgument {
public:
    SecretArgument(CLI::App* command, CLI::Option* value, std::string valueName);
    // For the command's callback: fills `argument` from standard input when
    // the flag was given, else insists that the positional argument was.
    void Take(std::string& argument, const std::string& what) const;

private:
    std::shared_ptr<bool> m_fromStdin = std::make_shared<bool>(false);
    CLI::Option* m_value;
    std::string m_valueName;
};

}  // namespace cli
