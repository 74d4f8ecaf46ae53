// Starting other programs and asking who runs this one: the one place that calls posix_spawn.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sessiondeck {

// Splits an argument string the way a Windows program splits its command line,
// so hosts can pass the same argument text on every platform: white space
// separates arguments outside double quotes; 2n backslashes before a quote
// give n backslashes and the quote opens or closes a quoted part; 2n+1 give n
// backslashes and a literal quote; other backslashes are literal.
std::vector<std::string> SplitArgumentString(std::string_view text);

// Starts the executable at `path` (UTF-8) with `arguments` (argv[1..]) and
// does not wait for it. The child is reaped in the background so no zombie is
// left behind. Returns 0 on success, else the errno-style reason (ENOENT for
// an empty path).
int SpawnDetached(const std::string& path, const std::vector<std::string>& arguments);

// Starts the executable at `path` with `arguments` and waits for it to end.
// Returns 0 with the program's exit status in `exitCode` (128 + the signal
// number when a signal ended it), else the errno-style reason it could not be
// started.
int RunAndWait(const std::string& path, const std::vector<std::string>& arguments, int& exitCode);

// The folder holding the running program, or empty when it cannot be told.
std::string RunningExecutableFolder();
// The running program's own file, or empty when it cannot be told.
std::string RunningExecutablePath();

// Opens a web address or document with the desktop's handler (xdg-open) and
// does not wait. False when there is no handler or it cannot be started.
bool OpenWithDesktop(const std::string& target);

// Whether an executable named `name` is found on PATH; its full path, or empty.
std::string FindOnPath(std::string_view name);

// The login name of the user running this process, or empty when it cannot be
// told.
std::string CurrentUserName();

// This process's id.
long CurrentProcessId();
// Whether a process with this id runs on this machine (one of another user
// counts too). False for ids that cannot be a process (0 and below).
bool IsProcessAlive(long pid);

}  // namespace sessiondeck
