// Reads a secret from standard input, with echo off while a terminal is typing it.
#include "tools/cli/secret_input.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tools/cli/cli_common.h"

using namespace sessiondeck;

namespace cli {
namespace {

// Turns echo off on a terminal for as long as it lives, and back on afterwards (also when the
// read fails), so that an interrupted command never leaves the user's terminal silent.
class EchoOff {
public:
    explicit EchoOff(int fd) : m_fd(fd) {
        if (!isatty(fd) || tcgetattr(fd, &m_saved) != 0) return;
        termios quiet = m_saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        m_active = tcsetattr(fd, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff() {
        if (m_active) tcsetattr(m_fd, TCSAFLUSH, &m_saved);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;
    bool Active() const { return m_active; }

private:
    int m_fd;
    termios m_saved{};
    bool m_active = false;
};

}  // namespace

std::string ReadSecretFromStdin(const std::string& what) {
    const EchoOff echoOff(STDIN_FILENO);
    if (echoOff.Active()) std::fprintf(stderr, "%s: ", what.c_str());
    std::string line;
    bool ended = false;  // a newline was read
    for (;;) {
        char c = 0;
        const ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
            throw Failure(kRefused, "the " + what + " could not be read from standard input: " +
                                        std::strerror(errno));
        if (n == 0) break;
        if (c == '\n') {
            ended = true;
            break;
        }
        line += c;
    }
    if (!ended && line.empty())
        throw Failure(kRefused, "--password-stdin: standard input ended before a line with the " +
                                    what + "; nothing was changed");
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

SecretArgument::SecretArgument(CLI::App* command, CLI::Option* value, std::string valueName)
    : m_value(value), m_valueName(std::move(valueName)) {
    command
        ->add_flag("--password-stdin", *m_fromStdin,
                   std::string(kPasswordStdinHelp) + "; it is the " + m_valueName)
        ->excludes(value);
}

void SecretArgument::Take(std::string& argument, const std::string& what) const {
    if (*m_fromStdin)
        argument = ReadSecretFromStdin(what);
    else if (m_value->count() == 0)
        throw Failure(kUsage, m_valueName + " is required without --password-stdin");
}

}  // namespace cli
