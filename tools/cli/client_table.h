// The table of system clients that `sessiondeck connect` hands a saved session to: one command
// template per protocol, with built-in defaults that the configuration store can override.
//
// How a template becomes an argument vector:
//   - the template is split into words at blanks; a word in double quotes may hold blanks;
//   - `{name}` in a word is replaced by that placeholder's value, which is never split again, so
//     a host name with blanks, quotes or shell characters stays one argument;
//   - words between `[` and `]` form an optional group: it is left out as a whole when any
//     placeholder in it has no value (a port equal to the protocol's usual one, no user name);
//   - a placeholder without a value outside a group is an error: the session lacks what the
//     client needs.
// No shell ever sees the result: the words are an argument vector for execv.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// The values a template can name, by placeholder name (without braces). A name that is absent
// or maps to an empty text has no value.
using ClientValues = std::map<std::string, std::string>;

// The placeholder names a template may use; any other name is an error in the template.
const std::vector<std::string>& ClientPlaceholderNames();

// One way to run a protocol's client.
struct ClientTemplate {
    std::string text;     // the template, as above
    std::string package;  // the Debian package that has its program, for messages
};

// One row of the table: the templates tried in order (the first whose program is installed
// wins), the port the clients use when given none, or, for a protocol no client on this
// system speaks, why not.
struct ClientRow {
    std::string protocol;
    std::vector<ClientTemplate> templates;
    int usualPort = 0;  // 0: the protocol has no port
    std::string noClientReason;
};

// The built-in row of a protocol, or null for a name the table does not know.
const ClientRow* FindDefaultClientRow(const std::string& protocol);
const std::vector<ClientRow>& DefaultClientTable();

// The expansion of a template: the argument vector, or why there is none.
struct Expansion {
    std::vector<std::string> argv;
    std::string error;              // set when the template or the values do not fit
    std::vector<std::string> used;  // the placeholders the template names, in order
};

Expansion ExpandClientTemplate(const std::string& text, const ClientValues& values);

// The program a template runs: its first word, or empty.
std::string TemplateProgram(const std::string& text);

// The program's full path when it is a path to an executable file, or is found as one in $PATH;
// nothing otherwise.
std::optional<std::string> FindProgram(const std::string& program);

// `text` quoted for a POSIX shell: in single quotes, a single quote as '\''. For the one place
// where a client hands a text to a shell of its own (ssh's ProxyCommand).
std::string ShellQuote(const std::string& text);

}  // namespace cli
