// Runs a check where the file modes decide what may be written: root writes whatever the modes
// say, so a test run as root drops to the unprivileged user in a child process first.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

// Runs `check` in a child process, as user and group 65534 when the test runs as root, and
// returns its exit status: 0 when every expectation held (the check returns which one failed),
// 100 when the user could not be changed, -1 when the child could not run or did not exit.
inline int RunUnprivileged(const std::function<int()>& check) {
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(100);
        ::_exit(check());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
