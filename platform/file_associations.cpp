// The desktop's file associations: the shared MIME database and desktop entries, or a fixed list
// of common extensions where there is no desktop.
#include "platform/file_associations.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace sessiondeck {

namespace platform {
namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

std::string Trim(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return std::string(text);
}

std::vector<std::string> Split(std::string_view text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.emplace_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

// An environment folder variable, or its default below $HOME when unset or empty.
std::string HomeFolder(const char* variable, const char* belowHome) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
    const char* home = std::getenv("HOME");
    return home && *home ? std::string(home) + belowHome : std::string();
}

std::vector<std::string> FolderList(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    std::vector<std::string> folders;
    for (auto& folder : Split(value && *value ? value : fallback, ':')) {
        if (!folder.empty()) folders.push_back(folder);
    }
    return folders;
}

bool ReadLines(const std::string& file, std::vector<std::string>& lines) {
    std::ifstream in(file);
    if (!in) return false;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
    }
    return true;
}

// A MIME type names a media type and a subtype; anything else is a damaged line.
bool IsMimeType(std::string_view type) {
    const size_t slash = type.find('/');
    return slash != std::string_view::npos && slash > 0 && slash + 1 < type.size() &&
           type.find_first_of(" \t:/", slash + 1) == std::string_view::npos;
}

// "*.ext" with nothing else that would be a pattern: that is an extension.
bool ExtensionOfGlob(std::string_view glob, std::string& extension) {
    if (glob.size() < 3 || glob.substr(0, 2) != "*.") return false;
    glob.remove_prefix(2);
    if (glob.find_first_of("*?[]\\") != std::string_view::npos) return false;
    extension = Lower(glob);
    return true;
}

// Key=value pairs of one [section] of a desktop-entry style file.
std::map<std::string, std::string> ReadSection(const std::string& file, std::string_view section) {
    std::map<std::string, std::string> values;
    std::vector<std::string> lines;
    if (!ReadLines(file, lines)) return values;
    bool inSection = false;
    for (const std::string& raw : lines) {
        const std::string line = Trim(raw);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            inSection = line == "[" + std::string(section) + "]";
            continue;
        }
        const size_t equals = line.find('=');
        if (!inSection || equals == std::string::npos) continue;
        values.emplace(Trim(line.substr(0, equals)), Trim(line.substr(equals + 1)));
    }
    return values;
}

std::string DecodeXmlText(std::string_view text) {
    static const std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string decoded;
    for (size_t i = 0; i < text.size();) {
        bool matched = false;
        for (const auto& [entity, c] : kEntities) {
            if (text.substr(i, entity.size()) == entity) {
                decoded += c;
                i += entity.size();
                matched = true;
                break;
            }
        }
        if (!matched) decoded += text[i++];
    }
    return decoded;
}

// Used where there is no MIME database: the extensions a file-transfer user
// meets most, with the content types a desktop would give them.
struct FallbackEntry {
    const char* extension;
    const char* mimeType;
    const char* description;
};
constexpr FallbackEntry kFallback[] = {
    {"txt", "text/plain", "Text Document"},
    {"log", "text/plain", "Text Document"},
    {"htm", "text/html", "HTML Document"},
    {"html", "text/html", "HTML Document"},
    {"xml", "text/xml", "XML Document"},
    {"csv", "text/csv", "CSV Document"},
    {"css", "text/css", "CSS Stylesheet"},
    {"sh", "text/x-shellscript", "Shell Script"},
    {"c", "text/x-csrc", "C Source File"},
    {"h", "text/x-chdr", "C Header File"},
    {"cpp", "text/x-c++src", "C++ Source File"},
    {"py", "text/x-python", "Python Script"},
    {"ini", "text/plain", "Configuration Settings"},
    {"exe", "application/x-ms-dos-executable", "Application"},
    {"dll", "application/x-sharedlib", "Application Extension"},
    {"ico", "image/vnd.microsoft.icon", "Icon"},
    {"png", "image/png", "PNG Image"},
    {"jpg", "image/jpeg", "JPEG Image"},
    {"jpeg", "image/jpeg", "JPEG Image"},
    {"gif", "image/gif", "GIF Image"},
    {"pdf", "application/pdf", "PDF Document"},
    {"zip", "application/zip", "Compressed (zipped) Folder"},
    {"gz", "application/gzip", "Gzip Archive"},
    {"tar", "application/x-tar", "Tar Archive"},
};

}  // namespace

std::string ExecutableOfExecLine(std::string_view exec) {
    // The value's own escapes first (\s is a space), then the argument quoting.
    std::string value;
    for (size_t i = 0; i < exec.size(); ++i) {
        if (exec[i] == '\\' && i + 1 < exec.size()) {
            // Escapes the quoting level reads are kept for it.
            switch (const char next = exec[++i]) {
                case 's':
                    value += ' ';
                    break;
                case 't':
                    value += '\t';
                    break;
                case '\\':
                    value += '\\';
                    break;
                default:
                    value += '\\';
                    value += next;
            }
        } else {
            value += exec[i];
        }
    }
    std::string_view text = value;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    std::string executable;
    if (!text.empty() && text.front() == '"') {
        for (size_t i = 1; i < text.size() && text[i] != '"'; ++i) {
            if (text[i] == '\\' && i + 1 < text.size()) ++i;
            executable += text[i];
        }
        return executable;
    }
    return std::string(text.substr(0, text.find_first_of(" \t")));
}

FileAssociations::FileAssociations() {
    m_dataDirs.push_back(HomeFolder("XDG_DATA_HOME", "/.local/share"));
    for (auto& folder : FolderList("XDG_DATA_DIRS", "/usr/local/share:/usr/share")) {
        m_dataDirs.push_back(folder);
    }
    for (const std::string& dir : m_dataDirs) {
        if (dir.empty()) continue;
        LoadGlobs(dir + "/mime");
    }
    if (!m_fromDesktop) {
        LoadFallback();
        return;
    }

    std::vector<std::string> configFiles;
    const std::string configHome = HomeFolder("XDG_CONFIG_HOME", "/.config");
    if (!configHome.empty()) configFiles.push_back(configHome + "/mimeapps.list");
    for (auto& folder : FolderList("XDG_CONFIG_DIRS", "/etc/xdg")) {
        configFiles.push_back(folder + "/mimeapps.list");
    }
    for (const std::string& dir : m_dataDirs) {
        if (!dir.empty()) configFiles.push_back(dir + "/applications/mimeapps.list");
    }
    // Explicit defaults come first, then whatever the installed entries declare.
    for (const auto& file : configFiles) {
        for (const auto& [type, ids] : ReadSection(file, "Default Applications")) {
            for (auto& id : Split(ids, ';')) {
                if (!id.empty()) m_apps[type].push_back(id);
            }
        }
    }
    for (const std::string& dir : m_dataDirs) {
        if (dir.empty()) continue;
        for (const auto& [type, ids] :
             ReadSection(dir + "/applications/mimeinfo.cache", "MIME Cache")) {
            for (auto& id : Split(ids, ';')) {
                if (!id.empty()) m_apps[type].push_back(id);
            }
        }
    }
}

void FileAssociations::LoadGlobs(const std::string& mimeFolder) {
    std::vector<std::string> lines;
    bool weighted = ReadLines(mimeFolder + "/globs2", lines);
    if (!weighted && !ReadLines(mimeFolder + "/globs", lines)) return;
    m_fromDesktop = true;
    for (const std::string& line : lines) {
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> fields = Split(line, ':');
        if (fields.size() < (weighted ? 3u : 2u)) continue;
        Glob glob;
        glob.weight = 50;
        if (weighted) {
            char* end = nullptr;
            glob.weight = static_cast<int>(std::strtol(fields[0].c_str(), &end, 10));
            if (end == fields[0].c_str() || *end != '\0') continue;
        }
        glob.mimeType = fields[weighted ? 1 : 0];
        std::string extension;
        if (!IsMimeType(glob.mimeType) || !ExtensionOfGlob(fields[weighted ? 2 : 1], extension))
            continue;
        auto found = m_globs.find(extension);
        if (found == m_globs.end()) {
            m_globs.emplace(extension, glob);
            m_extensions.push_back(extension);
        } else if (glob.weight > found->second.weight) {
            found->second = glob;
        }
    }
    std::vector<std::string> more;
    if (ReadLines(mimeFolder + "/subclasses", more)) {
        for (const std::string& line : more) {
            const std::vector<std::string> fields = Split(line, ' ');
            if (fields.size() == 2) m_parents.emplace(fields[0], fields[1]);
        }
    }
    for (auto [file, icons] :
         {std::pair{"/icons", &m_icons}, std::pair{"/generic-icons", &m_genericIcons}}) {
        more.clear();
        if (!ReadLines(mimeFolder + file, more)) continue;
        for (const std::string& line : more) {
            const size_t colon = line.find(':');
            if (colon != std::string::npos)
                icons->emplace(line.substr(0, colon), line.substr(colon + 1));
        }
    }
}

void FileAssociations::LoadFallback() {
    for (const FallbackEntry& entry : kFallback) {
        m_globs.emplace(entry.extension, Glob{0, entry.mimeType});
        m_fallbackNames.emplace(entry.extension, entry.description);
        m_extensions.push_back(entry.extension);
    }
}

bool FileAssociations::Find(std::string_view extension, FileAssociation& association) const {
    if (!extension.empty() && extension.front() == '.') extension.remove_prefix(1);
    const std::string key = Lower(extension);
    const auto found = m_globs.find(key);
    if (key.empty() || found == m_globs.end()) return false;
    association = FileAssociation{};
    association.extension = key;
    association.className = found->second.mimeType;
    association.contentType = found->second.mimeType;
    association.textual = DerivesFromText(found->second.mimeType);
    if (!m_fromDesktop) {
        association.description = m_fallbackNames.at(key);
        return true;
    }
    association.description = Description(found->second.mimeType);
    association.iconFile = Icon(found->second.mimeType);
    association.application = Application(found->second.mimeType);
    return true;
}

std::string FileAssociations::Description(const std::string& mimeType) const {
    for (const std::string& dir : m_dataDirs) {
        if (dir.empty()) continue;
        std::ifstream in(dir + "/mime/" + mimeType + ".xml");
        if (!in) continue;
        std::stringstream buffer;
        buffer << in.rdbuf();
        const std::string xml = buffer.str();
        // The untranslated comment carries no attributes; translations carry xml:lang.
        const size_t start = xml.find("<comment>");
        const size_t end = start == std::string::npos ? start : xml.find("</comment>", start);
        if (end != std::string::npos)
            return Trim(DecodeXmlText(xml.substr(start + 9, end - start - 9)));
    }
    return {};
}

std::string FileAssociations::Icon(const std::string& mimeType) const {
    if (auto found = m_icons.find(mimeType); found != m_icons.end()) return found->second;
    if (auto found = m_genericIcons.find(mimeType); found != m_genericIcons.end())
        return found->second;
    std::string name = mimeType;
    std::replace(name.begin(), name.end(), '/', '-');
    return name;
}

std::string FileAssociations::Application(const std::string& mimeType) const {
    const auto found = m_apps.find(mimeType);
    if (found == m_apps.end()) return {};
    for (const std::string& id : found->second) {
        for (const std::string& dir : m_dataDirs) {
            if (dir.empty()) continue;
            const auto entry = ReadSection(dir + "/applications/" + id, "Desktop Entry");
            const auto exec = entry.find("Exec");
            if (exec == entry.end()) continue;
            std::string executable = ExecutableOfExecLine(exec->second);
            if (!executable.empty()) return executable;
        }
    }
    return {};
}

bool FileAssociations::DerivesFromText(const std::string& mimeType) const {
    // Walk the parents breadth-first; the set stops a damaged file's cycles.
    std::set<std::string> seen;
    std::vector<std::string> pending{mimeType};
    while (!pending.empty()) {
        const std::string type = pending.back();
        pending.pop_back();
        if (!seen.insert(type).second) continue;
        if (type.rfind("text/", 0) == 0) return true;
        const auto [first, last] = m_parents.equal_range(type);
        for (auto it = first; it != last; ++it) pending.push_back(it->second);
    }
    return false;
}

}  // namespace platform

}  // namespace sessiondeck
