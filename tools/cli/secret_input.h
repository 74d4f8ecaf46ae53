// Reading a password or other secret from standard input, so that it never appears in the
// process's argument list (which every user of the machine can read in /proc/PID/cmdline).
#pragma once

#include <string>

namespace cli {

// The help text of --password-stdin, one form for every command that takes it.
inline constexpr const char* kPasswordStdinHelp =
    "Read the secret as one line from standard input instead of the command line (where other "
    "users can see it in the process list); typing is not echoed on a terminal";

// One line from standard input without its line ending (LF or CR LF). On a terminal the prompt
// goes to standard error and typing is not echoed. A missing line (end of input before any
// character and newline) ends the command with exit status 1.
std::string ReadSecretFromStdin(const std::string& what);

}  // namespace cli
