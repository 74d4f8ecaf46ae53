// Key map files: reading one onto a map, with the default map as its fallback, and writing one.
// Kept apart from the map itself so that the built-in maps build on the map and files build on
// both, never the other way round.
#include <cerrno>
#include <filesystem>
#include <string>

#include "data/keymap.h"
#include "foundation/codepage.h"
#include "foundation/messages.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/system_messages.h"

namespace sessiondeck {

namespace {

// A key map file's text: a byte-order mark selects UTF-8 or UTF-16, else the
// 8-bit code page.
std::u16string DecodeFile(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return Utf8ToUtf16(bytes.substr(3));
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF")
        return Utf16BytesToUtf16(bytes.substr(2), bytes[0] == '\xFE');
    return AnsiToUtf16(bytes);
}

}  // namespace

bool Keymap::Load(const VUnicodeString& fileName, VReportMessageParams& report) {
    report.SetMessage(0);
    std::string bytes;
    const std::string native = platform::ToNativeSeparators(fileName.ToUtf8());
    if (!platform::ReadWholeFile(native, bytes)) {
        const int error = errno;
        const std::string folder = RunningExecutableFolder();
        if (folder.empty() ||
            !platform::ReadWholeFile(std::filesystem::path(folder) / "keymaps" / native, bytes)) {
            report.SetMessage(kMsgKeymapLoadFailed);
            report.AddInsert(fileName.str());
            report.AddInsert(VUnicodeString::FromUtf8(
                                 SystemErrorDescription(error ? error : ENOENT).value_or(""))
                                 .str());
            return false;
        }
    }

    const std::u16string text = DecodeFile(bytes);
    std::vector<std::u16string_view> lines;
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find(u'\n', start);
        if (end == std::u16string::npos) end = text.size();
        lines.push_back(std::u16string_view(text).substr(start, end - start));
        start = end + 1;
    }
    const std::vector<std::u16string> errors = ReadLines(lines, 3);

    std::u16string joined;
    for (const std::u16string& error : errors) {
        if (!joined.empty()) joined += u"\r\n";
        joined += error;
    }
    if (errors.size() >= 3) {
        report.SetMessage(kMsgKeymapLoadFailed);
        report.AddInsert(fileName.str());
        report.AddInsert(joined);
        return false;
    }
    if (!errors.empty()) {
        report.SetMessage(kMsgKeymapLinesIgnored);
        report.AddInsert(fileName.str());
        report.AddInsert(joined);
    }
    AttachDefault(true);
    return true;
}

bool Keymap::Save(const VUnicodeString& fileName, bool unicode) {
    std::u16string text;
    for (const std::u16string& line : EntryLines()) text += line + u"\r\n";
    std::string bytes;
    if (unicode) {
        bytes = "\xFF\xFE";
        for (char16_t c : text) {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>(c >> 8);
        }
    } else {
        bytes = Utf16ToAnsi(text);
    }
    return platform::WriteFileAtomically(platform::ToNativeSeparators(fileName.ToUtf8()), bytes);
}

}  // namespace sessiondeck
