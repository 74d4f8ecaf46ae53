// The default services of the session manager: the library's sibling launcher, a desktop
// launcher file as the shortcut, and a clipboard inside the process.
#include "ui/model/session_deck_services.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/siblings.h"

namespace sessiondeck {

bool LibrarySiblingLauncher::LaunchTerminalApp(const VUnicodeString& commandLine) {
    return sessiondeck::LaunchTerminalApp(commandLine.c_str());
}

bool LibrarySiblingLauncher::LaunchFileTransferApp(const VUnicodeString& commandLine) {
    return sessiondeck::LaunchFileTransferApp(commandLine.c_str());
}

bool ProcessFolderTreeClipboard::Put(const std::array<uint8_t, FolderTreeRecord::kSize>& bytes) {
    m_bytes.emplace(bytes.begin(), bytes.end());
    return true;
}

std::optional<std::vector<uint8_t>> ProcessFolderTreeClipboard::Get() {
    return m_bytes;
}

DesktopFileShortcutWriter::DesktopFileShortcutWriter(VUnicodeString executable,
                                                     VUnicodeString desktopFolder)
    : m_executable(std::move(executable)), m_folder(std::move(desktopFolder)) {}

VUnicodeString DesktopFileShortcutWriter::DesktopFolder() {
    if (FILE* pipe = popen("xdg-user-dir DESKTOP 2>/dev/null", "r")) {
        std::string out;
        char buffer[512];
        while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
        const int status = pclose(pipe);
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
        if (status == 0 && !out.empty()) return VUnicodeString::FromUtf8(out);
    }
    const char* home = std::getenv("HOME");
    if (!home || !*home) return {};
    return VUnicodeString::FromUtf8(std::string(home) + "/Desktop");
}

namespace {
// One argument quoted for an Exec line: inside double quotes, a quote, backquote, dollar sign
// and backslash are escaped with a backslash; a percent sign is doubled as a field code.
std::u16string QuoteExecArgument(std::u16string_view argument) {
    std::u16string quoted = u"\"";
    for (char16_t c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
        if (c == u'%') quoted += u'%';
        quoted += c;
    }
    return quoted + u"\"";
}

// Splits an argument string as a Windows command line does, for the argument strings the
// dialog builds: blanks separate, double quotes group (names never hold a quote).
std::vector<std::u16string> SplitArguments(std::u16string_view text) {
    std::vector<std::u16string> out;
    std::u16string current;
    bool inQuotes = false;
    bool any = false;
    for (char16_t c : text) {
        if (c == u'"') {
            inQuotes = !inQuotes;
            any = true;
        } else if ((c == u' ' || c == u'\t') && !inQuotes) {
            if (any) out.push_back(std::move(current));
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any) out.push_back(std::move(current));
    return out;
}

// A value of a desktop entry: backslashes doubled, line breaks written as escapes.
std::u16string EscapeValue(std::u16string_view value) {
    std::u16string out;
    for (char16_t c : value) {
        if (c == u'\\')
            out += u"\\\\";
        else if (c == u'\n')
            out += u"\\n";
        else
            out += c;
    }
    return out;
}
}  // namespace

VUnicodeString DesktopFileShortcutWriter::ExecLine(const VUnicodeString& executable,
                                                   const VUnicodeString& arguments) {
    std::u16string line = QuoteExecArgument(executable.str());
    for (const auto& argument : SplitArguments(arguments.str()))
        line += u" " + QuoteExecArgument(argument);
    return VUnicodeString(line);
}

bool DesktopFileShortcutWriter::Write(const VUnicodeString& label,
                                      const VUnicodeString& arguments) {
    VUnicodeString executable = m_executable;
    if (executable.IsEmpty()) {
        std::error_code error;
        const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
        if (error) return false;
        executable = VUnicodeString::FromUtf8(self.string());
    }
    const VUnicodeString folder = m_folder.IsEmpty() ? DesktopFolder() : m_folder;
    if (folder.IsEmpty() || label.IsEmpty() || label.str().find(u'/') != std::u16string::npos)
        return false;
    const std::filesystem::path file =
        std::filesystem::path(folder.ToUtf8()) / (label.ToUtf8() + ".desktop");
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << "[Desktop Entry]\nType=Application\nVersion=1.0\nName="
        << VUnicodeString(EscapeValue(label.str())).ToUtf8()
        << "\nExec=" << VUnicodeString(EscapeValue(ExecLine(executable, arguments).str())).ToUtf8()
        << "\nTerminal=false\n";
    out.close();
    if (!out) return false;
    // Desktops start only launchers their owner may execute.
    std::error_code error;
    std::filesystem::permissions(file, std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add, error);
    return !error;
}

}  // namespace sessiondeck
