// The built-in client table and the expansion of a client template into an argument vector.
#include "tools/cli/client_table.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace cli {

const std::vector<std::string>& ClientPlaceholderNames() {
    static const std::vector<std::string> names = {
        "host",   "urlhost", "hostpath", "port",   "user",     "dir",  "identity",
        "device", "speed",   "databits", "parity", "stopbits", "jump", "proxycommand",
    };
    return names;
}

const std::vector<ClientRow>& DefaultClientTable() {
    // Each client is given the host after "--" (or inside a URL), so that a host name beginning
    // with '-' can never be read as an option.
    static const std::vector<ClientRow> table = {
        {"SSH2",
         {{"ssh [-p {port}] [-l {user}] [-i {identity}] [-o ProxyCommand={proxycommand}] "
           "[-J {jump}] -- {host}",
           "openssh-client"}},
         22,
         ""},
        {"SSH1", {}, 22, "OpenSSH on this system no longer speaks SSH1; use SSH2"},
        {"SFTP",
         {{"sftp [-P {port}] [-o User={user}] [-i {identity}] [-o ProxyCommand={proxycommand}] "
           "[-J {jump}] -- {hostpath}",
           "openssh-client"}},
         22,
         ""},
        {"Telnet", {{"telnet [-l {user}] -- {host} [{port}]", "telnet"}}, 23, ""},
        {"Telnet/SSL",
         {{"telnet-ssl -z ssl [-l {user}] -- {host} [{port}]", "telnet-ssl"}},
         992,
         ""},
        {"RLogin", {{"rlogin [-l {user}] [-p {port}] -- {host}", "rsh-redone-client"}}, 513, ""},
        {"Serial",
         {{"picocom -b {speed} [-d {databits}] [-y {parity}] [-p {stopbits}] -- {device}",
           "picocom"}},
         0,
         ""},
        {"TAPI", {}, 0, "dialling through a modem has no client on this system"},
        {"FTP",
         {{"lftp [-p {port}] [-u {user}] ftp://{urlhost}", "lftp"},
          {"ftp -- {host} [{port}]", "ftp"}},
         21,
         ""},
        {"FTP/SSL (implicit)",
         {{"lftp [-p {port}] [-u {user}] ftps://{urlhost}", "lftp"}},
         990,
         ""},
        {"FTP/SSL (explicit)",
         {{"lftp -e \"set ftp:ssl-force true\" [-p {port}] [-u {user}] ftp://{urlhost}", "lftp"}},
         21,
         ""},
    };
    return table;
}

const ClientRow* FindDefaultClientRow(const std::string& protocol) {
    for (const ClientRow& row : DefaultClientTable()) {
        if (row.protocol == protocol) return &row;
    }
    return nullptr;
}

namespace {

struct Word {
    std::string text;
    int group = -1;  // the optional group it belongs to, -1 for none
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Splits the template into words and groups; an error text when it is not well formed.
std::string SplitWords(const std::string& text, std::vector<Word>& words) {
    int groups = 0;
    int open = -1;
    size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (IsBlank(c)) {
            ++pos;
        } else if (c == '[') {
            if (open >= 0) return "a '[' inside an optional group";
            open = groups++;
            ++pos;
        } else if (c == ']') {
            if (open < 0) return "a ']' without its '['";
            open = -1;
            ++pos;
        } else {
            Word word{{}, open};
            bool quoted = false;
            while (pos < text.size() && (quoted || (!IsBlank(text[pos]) && text[pos] != ']'))) {
                if (text[pos] == '"') {
                    quoted = !quoted;
                } else {
                    word.text += text[pos];
                }
                ++pos;
            }
            if (quoted) return "a '\"' without its closing one";
            words.push_back(std::move(word));
        }
    }
    if (open >= 0) return "a '[' without its ']'";
    return {};
}

}  // namespace

Expansion ExpandClientTemplate(const std::string& text, const ClientValues& values) {
    Expansion result;
    std::vector<Word> words;
    if (std::string error = SplitWords(text, words); !error.empty()) {
        result.error = "the template \"" + text + "\" has " + error;
        return result;
    }
    std::vector<bool> groupMissing;
    std::vector<std::string> expanded;
    for (const Word& word : words) {
        std::string out;
        size_t pos = 0;
        while (pos < word.text.size()) {
            const size_t open = word.text.find('{', pos);
            if (open == std::string::npos) {
                out += word.text.substr(pos);
                break;
            }
            out += word.text.substr(pos, open - pos);
            const size_t close = word.text.find('}', open);
            if (close == std::string::npos) {
                result.error = "the template \"" + text + "\" has a '{' without its '}'";
                return result;
            }
            const std::string name = word.text.substr(open + 1, close - open - 1);
            const auto& known = ClientPlaceholderNames();
            if (std::find(known.begin(), known.end(), name) == known.end()) {
                result.error =
                    "the template \"" + text + "\" names an unknown placeholder {" + name + "}";
                return result;
            }
            result.used.push_back(name);
            const auto found = values.find(name);
            if (found == values.end() || found->second.empty()) {
                if (word.group < 0) {
                    result.error = "the session has no value for {" + name + "}, which \"" +
                                   TemplateProgram(text) + "\" needs";
                    return result;
                }
                if (groupMissing.size() <= static_cast<size_t>(word.group))
                    groupMissing.resize(static_cast<size_t>(word.group) + 1, false);
                groupMissing[static_cast<size_t>(word.group)] = true;
            } else {
                out += found->second;
            }
            pos = close + 1;
        }
        expanded.push_back(std::move(out));
    }
    for (size_t i = 0; i < words.size(); ++i) {
        const int group = words[i].group;
        if (group >= 0 && static_cast<size_t>(group) < groupMissing.size() &&
            groupMissing[static_cast<size_t>(group)])
            continue;
        result.argv.push_back(std::move(expanded[i]));
    }
    if (result.argv.empty()) result.error = "the template \"" + text + "\" names no program";
    return result;
}

std::string TemplateProgram(const std::string& text) {
    std::vector<Word> words;
    SplitWords(text, words);
    return words.empty() ? std::string() : words.front().text;
}

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::optional<std::string> FindProgram(const std::string& program) {
    if (program.empty()) return std::nullopt;
    if (program.find('/') != std::string::npos) {
        if (IsExecutableFile(program)) return program;
        return std::nullopt;
    }
    const char* path = std::getenv("PATH");
    const std::string dirs = path && *path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        std::string dir = dirs.substr(start, end - start);
        if (dir.empty()) dir = ".";
        const std::string candidate = dir + "/" + program;
        if (IsExecutableFile(candidate)) return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

std::string ShellQuote(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

}  // namespace cli
