// The desktop's file associations, read-only: per file extension its type, content type, icon
// and opening application, from the shared MIME database and desktop entries.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace sessiondeck {

namespace platform {

// What the desktop says about one extension. Texts are UTF-8.
struct FileAssociation {
    std::string extension;    // without the leading dot, lower case
    std::string className;    // the MIME type ("text/plain"); empty when unknown
    std::string description;  // the type's human-readable name; empty when it has none
    std::string contentType;  // the MIME type again, as transfer decisions want it
    bool textual = false;     // the type is text/* or derives from text/plain
    std::string application;  // the opening program's executable, without arguments
    std::string iconFile;     // an icon name from the icon theme
    int iconIndex = 0;
};

// The association database, read once at construction from
//   $XDG_DATA_HOME (default ~/.local/share) then $XDG_DATA_DIRS (default
//   /usr/local/share:/usr/share): mime/globs2 (or mime/globs), mime/subclasses,
//   mime/icons, mime/generic-icons, mime/<type>.xml comments,
//   applications/mimeinfo.cache, applications/mimeapps.list, applications/*.desktop;
//   $XDG_CONFIG_HOME (default ~/.config) then $XDG_CONFIG_DIRS (default /etc/xdg):
//   mimeapps.list.
// A machine without a desktop has no MIME database; the answers then come from
// a fixed list of common extensions (HasDesktopDatabase() false), so that the
// file types are never empty. Malformed lines are skipped. Nothing throws.
class FileAssociations {
public:
    FileAssociations();

    bool HasDesktopDatabase() const { return m_fromDesktop; }

    // Every known extension, once, in the order the database first lists it.
    const std::vector<std::string>& Extensions() const { return m_extensions; }

    // The association of `extension` (with or without its dot, any case).
    // False when the extension is not known.
    bool Find(std::string_view extension, FileAssociation& association) const;

private:
    struct Glob {
        int weight = 0;
        std::string mimeType;
    };
    void LoadFallback();
    void LoadGlobs(const std::string& mimeFolder);
    std::string Description(const std::string& mimeType) const;
    std::string Icon(const std::string& mimeType) const;
    std::string Application(const std::string& mimeType) const;
    bool DerivesFromText(const std::string& mimeType) const;

    bool m_fromDesktop = false;
    std::vector<std::string> m_dataDirs;  // most important first
    std::vector<std::string> m_extensions;
    std::map<std::string, Glob> m_globs;                     // extension to its type
    std::map<std::string, std::string> m_fallbackNames;      // extension to name (no desktop)
    std::multimap<std::string, std::string> m_parents;       // type to its parent types
    std::map<std::string, std::string> m_icons;              // type to icon name
    std::map<std::string, std::string> m_genericIcons;       // type to generic icon name
    std::map<std::string, std::vector<std::string>> m_apps;  // type to desktop ids, preferred first
};

// The executable of a desktop entry's Exec line: its first argument, with the
// entry format's quoting and escapes undone. Empty for an empty line.
std::string ExecutableOfExecLine(std::string_view exec);

}  // namespace platform

}  // namespace sessiondeck
