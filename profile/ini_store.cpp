// The INI file backend: value-file reading and writing, keys, iteration, the store and its factory.
#include "profile/ini_store.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <unordered_set>

#include "foundation/codepage.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr char kHexDigits[] = "0123456789abcdef";
constexpr size_t kBytesPerLine = 32;

// ---- Writing ------------------------------------------------------------------

void AppendHex8(std::string& out, uint32_t value) {
    char digits[8];
    for (int i = 7; i >= 0; --i) {
        digits[i] = kHexDigits[value & 15];
        value >>= 4;
    }
    out.append(digits, 8);
}

// Names and values are nearly always ASCII; only the rest pays for a real
// conversion.
void AppendUtf8(std::string& out, std::u16string_view text) {
    const bool ascii = std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; });
    if (ascii) {
        for (char16_t c : text) out.push_back(static_cast<char>(c));
    } else {
        out += Utf16ToUtf8(text);
    }
}

void AppendHeader(std::string& out, char type, const VUnicodeString& name) {
    out.push_back(type);
    out += ":\"";
    AppendUtf8(out, name.str());
    out += "\"=";
}

// ---- Reading ------------------------------------------------------------------

// Lines end at CR, at LF or at CR LF. A file's last line needs no line end;
// a line end at the very end of the file does not start another line.
template <class Char>
class LineReader {
public:
    using View = std::basic_string_view<Char>;
    explicit LineReader(View text) : m_text(text) {}

    bool Next(View& line) {
        if (m_pos >= m_text.size()) return false;
        size_t end = m_pos;
        while (end < m_text.size() && m_text[end] != Char('\r') && m_text[end] != Char('\n')) ++end;
        line = m_text.substr(m_pos, end - m_pos);
        m_pos = end;
        if (m_pos < m_text.size()) {
            const bool crlf = m_text[m_pos] == Char('\r') && m_pos + 1 < m_text.size() &&
                              m_text[m_pos + 1] == Char('\n');
            m_pos += crlf ? 2 : 1;
        }
        ++m_number;
        return true;
    }
    size_t LineNumber() const { return m_number; }
    size_t Remaining() const { return m_text.size() - m_pos; }

private:
    View m_text;
    size_t m_pos = 0;
    size_t m_number = 0;
};

template <class Char>
int HexValue(Char c) {
    if (c >= Char('0') && c <= Char('9')) return c - Char('0');
    if (c >= Char('a') && c <= Char('f')) return c - Char('a') + 10;
    if (c >= Char('A') && c <= Char('F')) return c - Char('A') + 10;
    return -1;
}

// Exactly eight hexadecimal digits. Other characters among them are refused
// rather than guessed at: the value and everything after it are then ignored.
template <class Char>
bool ParseCount(std::basic_string_view<Char> text, uint32_t& value) {
    if (text.size() != 8) return false;
    value = 0;
    for (Char c : text) {
        const int digit = HexValue(c);
        if (digit < 0) return false;
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return true;
}

template <class Char>
bool IsBinarySpace(Char c) {
    return c == Char(' ') || c == Char('\t') || c == Char('\v') || c == Char('\f');
}

// How the text of a name or value is turned into UTF-16. UTF-8 and 8-bit
// files are parsed as bytes: every character the format gives a meaning to
// is ASCII, and neither encoding uses ASCII bytes inside other characters, so
// only names and values need converting, not the whole file.
enum class FieldEncoding { Utf8, Ansi, Utf16 };

// A surrogate without its partner cannot be written as UTF-8, so it reads as
// U+FFFD, as a broken UTF-8 sequence does. Two names that differ only in such
// a surrogate are then one value already when read, not two values that the
// next write would merge.
VUnicodeString DecodeField(std::u16string_view text, FieldEncoding) {
    std::u16string out(text);
    for (size_t i = 0; i < out.size(); ++i) {
        const char16_t c = out[i];
        if (c < 0xD800 || c > 0xDFFF) continue;
        const bool paired =
            c <= 0xDBFF && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF;
        if (paired) {
            ++i;
        } else {
            out[i] = 0xFFFD;
        }
    }
    return VUnicodeString(std::move(out));
}

VUnicodeString DecodeField(std::string_view text, FieldEncoding encoding) {
    if (std::all_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        return VUnicodeString(std::u16string(text.begin(), text.end()));
    }
    return encoding == FieldEncoding::Utf8 ? VUnicodeString(Utf8ToUtf16(text))
                                           : VUnicodeString(AnsiToUtf16(text));
}

template <class Char>
VIniParseResult ParseValues(std::basic_string_view<Char> text, FieldEncoding encoding,
                            VIniFileKey::Map& map) {
    using View = std::basic_string_view<Char>;
    LineReader<Char> reader(text);
    View line;
    while (reader.Next(line)) {
        const size_t header = reader.LineNumber();
        auto stop = [header](VIniStop why) { return VIniParseResult{why, header}; };

        if (line.size() < 5 || line[1] != Char(':') || line[2] != Char('"'))
            return stop(VIniStop::MalformedLine);
        const size_t quote = line.find(Char('"'), 3);
        if (quote == View::npos) return stop(VIniStop::NoClosingQuote);
        if (quote + 1 >= line.size() || line[quote + 1] != Char('='))
            return stop(VIniStop::NoEquals);
        const View name = line.substr(3, quote - 3);
        const View rest = line.substr(quote + 2);

        std::unique_ptr<VIniFileData> data;
        uint32_t count = 0;
        switch (line[0]) {
            case Char('D'):
                if (!ParseCount(rest, count)) return stop(VIniStop::BadCount);
                data = std::make_unique<VIniFileDataDword>(count);
                break;
            case Char('S'):
                data = std::make_unique<VIniFileDataString>(DecodeField(rest, encoding));
                break;
            case Char('B'): {
                if (!ParseCount(rest, count)) return stop(VIniStop::BadCount);
                std::vector<uint8_t> value;
                // The count comes from the file: trust it only as far as the
                // file could possibly hold that many bytes.
                value.reserve(std::min<size_t>(count, reader.Remaining() / 2));
                View bytesLine;
                while (value.size() < count) {
                    if (!reader.Next(bytesLine)) return stop(VIniStop::BinaryEndOfFile);
                    for (size_t i = 0; i < bytesLine.size() && value.size() < count;) {
                        if (IsBinarySpace(bytesLine[i])) {
                            ++i;
                            continue;
                        }
                        if (i + 1 >= bytesLine.size()) return stop(VIniStop::BinaryOddDigit);
                        const int high = HexValue(bytesLine[i]);
                        const int low = HexValue(bytesLine[i + 1]);
                        if (high < 0 || low < 0) return stop(VIniStop::BinaryBadDigit);
                        value.push_back(static_cast<uint8_t>(high * 16 + low));
                        i += 2;
                    }
                }
                data = std::make_unique<VIniFileDataBinary>(std::move(value));
                break;
            }
            case Char('Z'): {
                if (!ParseCount(rest, count)) return stop(VIniStop::BadCount);
                VStringArray elements;
                elements.Reserve(std::min<size_t>(count, reader.Remaining() / 2 + 1));
                View element;
                for (uint32_t i = 0; i < count; ++i) {
                    if (!reader.Next(element)) return stop(VIniStop::ArrayEndOfFile);
                    if (element.empty() || element[0] != Char(' '))
                        return stop(VIniStop::ArrayNoLeadingSpace);
                    elements.Add(DecodeField(element.substr(1), encoding));
                }
                data = std::make_unique<VIniFileDataStringSz>(std::move(elements));
                break;
            }
            default:
                return stop(VIniStop::UnknownType);
        }
        // A value without a name parses (so reading goes on) but no query
        // could ever reach it.
        if (!name.empty()) map.Set(DecodeField(name, encoding), std::move(data));
    }
    return VIniParseResult{};
}

// Such text would end the readable part of the file: the format has no escapes.
bool HasLineBreak(std::u16string_view text) {
    return text.find_first_of(u"\r\n") != std::u16string_view::npos;
}

bool IsStorableName(const char16_t* name) {
    return name && std::u16string_view(name).find_first_of(u"\"\r\n") == std::u16string_view::npos;
}

// FNV-1a over the UTF-16 units: names are short, and this is several times
// cheaper than the general byte hash for them.
uint32_t HashName(std::u16string_view name) {
    uint32_t hash = 2166136261u;
    for (char16_t c : name) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash;
}

// The order of names in both iterations: case-insensitive, then exact, so
// that names differing only in case still come in a fixed order.
bool NameBefore(const VUnicodeString& a, const VUnicodeString& b) {
    const int c = CompareNoCase(a.str(), b.str());
    return c != 0 ? c < 0 : a.str() < b.str();
}

}  // namespace

// ---- Stored values ------------------------------------------------------------

bool VIniFileDataDword::GetDword(uint32_t& value) const {
    value = m_value;
    return true;
}

void VIniFileDataDword::Write(std::string& file, const VUnicodeString& name) const {
    AppendHeader(file, 'D', name);
    AppendHex8(file, m_value);
    file += "\r\n";
}

bool VIniFileDataString::GetString(VUnicodeString& value) const {
    value = m_value;
    return true;
}

void VIniFileDataString::Write(std::string& file, const VUnicodeString& name) const {
    AppendHeader(file, 'S', name);
    AppendUtf8(file, m_value.str());
    file += "\r\n";
}

bool VIniFileDataBinary::GetBinary(void* buffer, uint32_t& size) const {
    const auto length = static_cast<uint32_t>(m_bytes.size());
    if (!buffer) {
        size = length;
        return true;
    }
    if (size < length) return false;
    if (length) std::memcpy(buffer, m_bytes.data(), length);
    size = length;
    return true;
}

void VIniFileDataBinary::SetBinary(const void* data, uint32_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    m_bytes.assign(bytes, bytes + (bytes ? size : 0));
}

void VIniFileDataBinary::Write(std::string& file, const VUnicodeString& name) const {
    AppendHeader(file, 'B', name);
    AppendHex8(file, static_cast<uint32_t>(m_bytes.size()));
    file += "\r\n";
    // One append per line of up to 32 bytes.
    char line[kBytesPerLine * 3 + 2];
    for (size_t start = 0; start < m_bytes.size(); start += kBytesPerLine) {
        const size_t end = std::min(start + kBytesPerLine, m_bytes.size());
        char* out = line;
        for (size_t i = start; i < end; ++i) {
            *out++ = ' ';
            *out++ = kHexDigits[m_bytes[i] >> 4];
            *out++ = kHexDigits[m_bytes[i] & 15];
        }
        *out++ = '\r';
        *out++ = '\n';
        file.append(line, static_cast<size_t>(out - line));
    }
}

bool VIniFileDataStringSz::GetStringArray(VStringArray& value) const {
    value = m_value;
    return true;
}

void VIniFileDataStringSz::Write(std::string& file, const VUnicodeString& name) const {
    AppendHeader(file, 'Z', name);
    AppendHex8(file, static_cast<uint32_t>(m_value.GetSize()));
    file += "\r\n";
    for (const VUnicodeString& element : m_value) {
        file.push_back(' ');
        AppendUtf8(file, element.str());
        file += "\r\n";
    }
}

// ---- Map ------------------------------------------------------------------------

VIniFileKey::Map::Map() {
    m_elements.Reserve(100);
    m_hashes.reserve(100);
    // Room for a session's couple of hundred values without growing.
    m_slots.assign(512, 0);
}

uint32_t& VIniFileKey::Map::SlotOf(std::u16string_view name, uint32_t hash) {
    const size_t mask = m_slots.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        uint32_t& slot = m_slots[i];
        if (slot == 0) return slot;
        const uint32_t position = slot - 1;
        if (m_hashes[position] == hash && m_elements.std()[position].name.str() == name)
            return slot;
    }
}

void VIniFileKey::Map::GrowSlots() {
    m_slots.assign(m_slots.size() * 2, 0);
    const size_t mask = m_slots.size() - 1;
    for (uint32_t position = 0; position < m_hashes.size(); ++position) {
        size_t i = m_hashes[position] & mask;
        while (m_slots[i] != 0) i = (i + 1) & mask;
        m_slots[i] = position + 1;
    }
}

VIniFileKey::Map::Element* VIniFileKey::Map::Find(std::u16string_view name) {
    const uint32_t slot = SlotOf(name, HashName(name));
    return slot ? &m_elements.std()[slot - 1] : nullptr;
}

void VIniFileKey::Map::Set(VUnicodeString name, std::unique_ptr<VIniFileData> data) {
    const uint32_t hash = HashName(name.str());
    uint32_t* slot = &SlotOf(name.str(), hash);
    if (*slot != 0) {
        m_elements.std()[*slot - 1].data = std::move(data);
        return;
    }
    if ((m_elements.GetSize() + 1) * 2 > m_slots.size()) {
        GrowSlots();
        slot = &SlotOf(name.str(), hash);
    }
    *slot = static_cast<uint32_t>(m_elements.GetSize()) + 1;
    m_hashes.push_back(hash);
    m_elements.Add(Element{std::move(name), std::move(data)});
}

// ---- Parsing and building value files ---------------------------------------------

VIniParseResult VIniFileKey::ParseValueFile(std::string_view bytes, Map& map) {
    if (bytes.substr(0, 3) == kUtf8Mark)
        return ParseValues(bytes.substr(3), FieldEncoding::Utf8, map);
    if (bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF") {
        const std::u16string text = Utf16BytesToUtf16(bytes.substr(2), bytes[0] == '\xFE');
        return ParseValues(std::u16string_view(text), FieldEncoding::Utf16, map);
    }
    return ParseValues(bytes, FieldEncoding::Ansi, map);
}

std::string VIniFileKey::BuildValueFile(const Map& map) {
    std::string file;
    file.reserve(kUtf8Mark.size() + map.GetSize() * 48);
    file += kUtf8Mark;
    for (const Map::Element& element : map.Elements()) {
        if (element.data && element.data->GetKind() != kValueKindStringArray)
            element.data->Write(file, element.name);
    }
    for (const Map::Element& element : map.Elements()) {
        if (element.data && element.data->GetKind() == kValueKindStringArray)
            element.data->Write(file, element.name);
    }
    return file;
}

// ---- Key ------------------------------------------------------------------------

VIniFileKey::VIniFileKey(const VUnicodeString& folder, bool readOnly,
                         const VSecurityDescriptor* descriptor)
    : VIniFileKey(folder, folder.Length(), readOnly, descriptor) {}

VIniFileKey::VIniFileKey(VUnicodeString path, size_t folderLength, bool readOnly,
                         const VSecurityDescriptor* descriptor)
    : m_path(std::move(path)),
      m_readOnly(readOnly),
      m_report(0, GetLibraryMessageModule()),
      m_descriptor(descriptor ? std::make_unique<VSecurityDescriptor>(*descriptor) : nullptr),
      m_folderLength(folderLength) {}

VIniFileKey::~VIniFileKey() {
    // A failed write loses the changes silently: the setters that made them
    // have long returned true, and a destructor has no one to tell.
    try {
        WriteBack();
    } catch (...) {
    }
}

// Two processes of the family may share one configuration folder, and both
// may hold a handle on the same key (the terminal saving a session while the
// file-transfer client saves another setting of it). Writing the handle's
// whole map back would silently undo the other process's change. So the
// write-back is a read-modify-write under an advisory lock on the folder that
// holds the value file: the file is read again, only the values this handle
// set or deleted are applied to what it holds now, and the result replaces it
// atomically. Two writers of one value therefore end with the later one's
// value, and writers of different values both keep theirs. Readers take no
// lock: the atomic rename lets them see the old file or the new one, whole.
void VIniFileKey::WriteBack() {
    if (m_readOnly || !m_map || m_map->IsEmpty() || !m_modified) return;
    // A file too large to read is never replaced by what little this handle knows.
    if (m_loadResult.stop == VIniStop::FileTooLarge) return;
    const fs::path file = ValueFilePath();
    const fs::path folder = file.parent_path();
    std::optional<platform::FolderLock> lock;
    lock.emplace(folder);
    if (!lock->FolderExists()) {
        // The first write of a new key finds its folders missing.
        if (!platform::CreateFolders(folder)) return;
        lock.emplace(folder);
    }
    // Unchanged since this handle read it (or still missing, as it was then):
    // the map already is the file plus this handle's changes, and reading it
    // again would find nothing new. Saving every session of a large tree
    // spent a fifth of its time on that read. Writers of the family replace
    // the file, which gives it a new inode; an editor that rewrites it in
    // place changes its times or size. Only a same-size rewrite in place
    // within one tick of the file system's clock would go unseen.
    if (platform::GetFileIdentity(file.c_str()) == m_loadedIdentity) {
        platform::WriteFileAtomically(file, BuildValueFile(*m_map));
        return;
    }
    Map current;
    std::string bytes;
    switch (platform::ReadFileUpTo(file, bytes, kMaxValueFileSize)) {
        case platform::ReadResult::kRead:
            ParseValueFile(bytes, current);
            break;
        case platform::ReadResult::kTooLarge:
            return;
        case platform::ReadResult::kUnreadable:
            break;
    }
    bytes.clear();
    bytes.shrink_to_fit();
    for (Map::Element& element : m_map->Elements()) {
        if (m_changed.count(element.name.str())) current.Set(element.name, std::move(element.data));
    }
    platform::WriteFileAtomically(file, BuildValueFile(current));
}

std::string VIniFileKey::NativePath(std::u16string_view subKey, std::string_view suffix) const {
    const std::u16string_view path = m_path.str();
    std::string native;
    native.reserve(path.size() + subKey.size() + suffix.size() + 1);
    AppendUtf8(native, path.substr(0, m_folderLength));
    const size_t names = native.size();
    AppendUtf8(native, path.substr(m_folderLength));
    if (!subKey.empty()) {
        native.push_back('\\');
        AppendUtf8(native, subKey);
    }
    // Backslashes between names become the file system's separator; the
    // folder's own path is native already.
    std::replace(native.begin() + static_cast<std::ptrdiff_t>(names), native.end(), '\\', '/');
    native += suffix;
    return native;
}

fs::path VIniFileKey::DiskPath(std::u16string_view subKey) const {
    return fs::path(NativePath(subKey));
}

fs::path VIniFileKey::ValueFilePath() const {
    return fs::path(NativePath({}, ".ini"));
}

VIniFileKey::Map& VIniFileKey::LoadedMap() {
    if (!m_map) {
        m_map = std::make_unique<Map>();
        std::string bytes;
        switch (platform::ReadFileUpTo(NativePath({}, ".ini").c_str(), bytes, kMaxValueFileSize,
                                       &m_loadedIdentity)) {
            case platform::ReadResult::kRead:
                m_loadResult = ParseValueFile(bytes, *m_map);
                break;
            case platform::ReadResult::kTooLarge:
                m_loadResult = VIniParseResult{VIniStop::FileTooLarge, 1};
                m_report.SetMessageId(EFBIG);
                break;
            case platform::ReadResult::kUnreadable:
                break;
        }
        m_modified = false;
    }
    return *m_map;
}

const platform::FileStatus& VIniFileKey::FileStatus() {
    if (!m_fileStatus) m_fileStatus = platform::GetFileStatus(NativePath({}, ".ini").c_str());
    return *m_fileStatus;
}

bool VIniFileKey::IsValidSubKeyName(std::u16string_view name) {
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(name.find(u'\\', start), name.size());
        const std::u16string_view part = name.substr(start, end - start);
        if (part.empty() || part == u"." || part == u".." ||
            part.find_first_of(std::u16string_view(u"/\0", 2)) != std::u16string_view::npos) {
            return false;
        }
        if (end == name.size()) return true;
        start = end + 1;
    }
}

bool VIniFileKey::QuerySecurityDescriptor(const char16_t* name, VSecurityDescriptor& descriptor) {
    VStringArray text;
    if (!QueryStringArray(name, text)) return false;
    std::optional<VSecurityDescriptor> parsed = VSecurityDescriptor::FromText(text);
    if (!parsed) return false;
    descriptor = std::move(*parsed);
    return true;
}

bool VIniFileKey::QueryStringArray(const char16_t* name, VStringArray& value) {
    if (!name) return false;
    const Map::Element* element = LoadedMap().Find(name);
    return element && element->data && element->data->GetStringArray(value);
}

bool VIniFileKey::QueryBinary(const char16_t* name, void* buffer, uint32_t& size) {
    if (!name) return false;
    const Map::Element* element = LoadedMap().Find(name);
    return element && element->data && element->data->GetBinary(buffer, size);
}

bool VIniFileKey::QueryString(const char16_t* name, VUnicodeString& value) {
    if (!name) return false;
    const Map::Element* element = LoadedMap().Find(name);
    return element && element->data && element->data->GetString(value);
}

bool VIniFileKey::QueryDword(const char16_t* name, uint32_t& value) {
    if (!name) return false;
    // Listing a folder of sessions asks every key this; answering from the
    // file's existence saves reading hundreds of value files.
    if (!m_map && std::u16string_view(name) == u"Is Session") {
        const platform::FileStatus& status = FileStatus();
        if (status.exists && !status.isFolder) {
            value = 1;
            return true;
        }
    }
    const Map::Element* element = LoadedMap().Find(name);
    return element && element->data && element->data->GetDword(value);
}

bool VIniFileKey::Store(const char16_t* name, std::unique_ptr<VIniFileData> data) {
    LoadedMap().Set(name, std::move(data));
    m_changed.insert(name);
    m_modified = true;
    return true;
}

bool VIniFileKey::SetSecurityDescriptor(const char16_t* name,
                                        const VSecurityDescriptor& descriptor) {
    return SetStringArray(name, descriptor.ToText());
}

bool VIniFileKey::SetStringArray(const char16_t* name, const VStringArray& value) {
    if (!IsStorableName(name)) return false;
    for (const VUnicodeString& element : value) {
        if (HasLineBreak(element.str())) return false;
    }
    return Store(name, std::make_unique<VIniFileDataStringSz>(value));
}

bool VIniFileKey::SetBinary(const char16_t* name, const void* data, uint32_t size) {
    if (!IsStorableName(name) || (!data && size != 0)) return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    return Store(name,
                 std::make_unique<VIniFileDataBinary>(std::vector<uint8_t>(bytes, bytes + size)));
}

bool VIniFileKey::SetString(const char16_t* name, const char16_t* value) {
    const std::u16string_view text = value ? value : u"";
    if (!IsStorableName(name) || HasLineBreak(text)) return false;
    return Store(name, std::make_unique<VIniFileDataString>(VUnicodeString(text)));
}

bool VIniFileKey::SetDword(const char16_t* name, uint32_t value) {
    if (!IsStorableName(name)) return false;
    return Store(name, std::make_unique<VIniFileDataDword>(value));
}

bool VIniFileKey::DeleteValue(const char16_t* name) {
    if (!name) return false;
    return Store(name, nullptr);
}

bool VIniFileKey::DeleteSubKey(const char16_t* name) {
    // A read-only handle never changes the disk, and a name that would leave
    // the store deletes nothing.
    if (!name || m_readOnly || !IsValidSubKeyName(name)) return false;
    const fs::path folder = DiskPath(name);
    const platform::FileStatus folderStatus = platform::GetFileStatus(folder);
    // A plain file named like the key is no part of it and stays.
    const bool folderDone =
        (folderStatus.exists && !folderStatus.isFolder) || platform::RemoveFolderTree(folder);
    const bool fileDone = platform::RemoveFile(fs::path(folder.native() + ".ini"));
    return folderDone && fileDone;
}

bool VIniFileKey::SubKeyExists(const char16_t* name) {
    if (!name || !IsValidSubKeyName(name)) return false;
    const fs::path folder = DiskPath(name);
    const platform::FileStatus folderStatus = platform::GetFileStatus(folder);
    if (folderStatus.exists && folderStatus.isFolder) return true;
    const platform::FileStatus fileStatus =
        platform::GetFileStatus(fs::path(folder.native() + ".ini"));
    return fileStatus.exists && !fileStatus.isFolder;
}

bool VIniFileKey::IsWritable() {
    if (m_readOnly) return false;
    const platform::FileStatus& status = FileStatus();
    return !(status.exists && (status.readOnly || status.size > kMaxValueFileSize));
}

bool VIniFileKey::IsHidden(bool folder) {
    const platform::FileStatus status = folder ? platform::GetFileStatus(DiskPath()) : FileStatus();
    return status.exists && status.hidden;
}

bool VIniFileKey::SetKeySecurity(const VSecurityDescriptor&) {
    return false;
}

VProfilePrivateKey* VIniFileKey::OpenSubKey(const char16_t* name,
                                            const VSecurityDescriptor* descriptor) {
    if (!name || !IsValidSubKeyName(name)) return new VNullProfileKey;
    return new VIniFileKey(m_path + u"\\" + name, m_folderLength, m_readOnly, descriptor);
}

VProfilePrivateKeyIterator* VIniFileKey::CreateIterator(bool values) {
    return new Iterator(*this, values);
}

// ---- Iterator -------------------------------------------------------------------

namespace {

// A name found on disk is listed only if opening it would find the same
// entry again: one component, valid, and surviving the UTF-8 round trip.
bool IsListableName(const std::string& onDisk, const VUnicodeString& name) {
    return name.str().find(u'\\') == std::u16string::npos &&
           VIniFileKey::IsValidSubKeyName(name.str()) && name.ToUtf8() == onDisk;
}

}  // namespace

VIniFileKey::Iterator::Iterator(VIniFileKey& key, bool values) : m_key(key), m_values(values) {
    if (values) {
        for (const Map::Element& element : key.LoadedMap().Elements()) {
            if (element.data) m_names.Add(element.name);
        }
    } else {
        std::vector<platform::FolderEntry> entries;
        platform::ListFolder(key.DiskPath(), entries);
        std::unordered_set<std::u16string> taken;
        for (const platform::FolderEntry& entry : entries) {
            if (!entry.isFolder) continue;
            VUnicodeString name = VUnicodeString::FromUtf8(entry.name);
            if (IsListableName(entry.name, name) && taken.insert(name.str()).second)
                m_names.Add(std::move(name));
        }
        for (const platform::FolderEntry& entry : entries) {
            if (entry.isFolder || entry.name.size() < 4) continue;
            const std::string stem = entry.name.substr(0, entry.name.size() - 4);
            if (!EqualsNoCase(VUnicodeString::FromUtf8(entry.name.substr(stem.size())).str(),
                              u".ini"))
                continue;
            VUnicodeString name = VUnicodeString::FromUtf8(stem);
            if (IsListableName(stem, name) && taken.insert(name.str()).second)
                m_names.Add(std::move(name));
        }
    }
    std::sort(m_names.begin(), m_names.end(), NameBefore);
}

bool VIniFileKey::Iterator::Next(VUnicodeString& name) {
    if (m_next >= m_names.GetSize()) return false;
    name = m_names[m_next++];
    return true;
}

bool VIniFileKey::Iterator::NextValue(VUnicodeString& name, int& kind) {
    if (!m_values) {
        if (!Next(name)) return false;
        kind = kValueKindSubKey;
        return true;
    }
    // Values deleted since the iterator was made are passed over.
    while (m_next < m_names.GetSize()) {
        const VUnicodeString& candidate = m_names[m_next++];
        const Map::Element* element = m_key.LoadedMap().Find(candidate.str());
        if (element && element->data) {
            name = candidate;
            kind = element->data->GetKind();
            return true;
        }
    }
    return false;
}

// ---- Store and factory ------------------------------------------------------------

VIniFileStore::VIniFileStore(const VUnicodeString& folder) : m_folder(folder) {
    // "F/" would put the root's value file inside F as ".ini" instead of
    // beside it as "F.ini".
    std::u16string& text = m_folder.str();
    while (text.size() > 1 && text.back() == u'/') text.pop_back();
}

VProfilePrivateKey* VIniFileStore::OpenRootKey(bool readOnly) {
    // An empty folder would make the working directory the store.
    if (m_folder.IsEmpty()) return new VNullProfileKey;
    return new VIniFileKey(m_folder, readOnly, nullptr);
}

VProfilePrivateStore* VIniFileStoreFactory::CreateStore() {
    return new VIniFileStore(m_folder);
}
