// What the store workers and the tests that drive them share: the store they open, the
// self-checking session contents the crash writer saves, and a folder's order record as names.
#pragma once

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "profile/ini_store.h"
#include "profile/profile_store.h"
#include "profile/registry_store.h"

using namespace sessiondeck;

namespace worker {

inline constexpr int kCrashSessions = 8;  // named "S0" to "S7"
inline constexpr int kCrashValues = 4;    // Generation, Hostname, Blob, Lines

inline std::u16string Text16(const std::string& text) {
    return VUnicodeString::FromUtf8(text).str();
}

inline std::u16string CrashSessionName(int index) {
    return u"S" + Text16(std::to_string(index));
}

// Every store this process opens goes to `kind`: "ini", the configuration folder DIR/Config;
// "registry", the hive in DIR under HKEY_CURRENT_USER\Software\Test; anything else, no store.
inline void UseStore(const std::string& kind, const std::filesystem::path& dir = {}) {
    static std::unique_ptr<VProfileStoreFactory> factory;
    if (kind == "registry") {
        factory = std::make_unique<VRegistryStoreFactory>(VRegistryRoot::CurrentUser,
                                                          VUnicodeString(u"Software\\Test"), dir);
    } else if (kind == "ini") {
        factory = std::make_unique<VIniFileStoreFactory>(
            VUnicodeString::FromUtf8((dir / "Config").string()));
    } else {
        factory.reset();
    }
    SetProfileStoreFactoryGetter(factory ? +[] { return factory.get(); } : nullptr);
}

// The names of an order record's list ("a:b:c"), each as often as listed.
inline std::multiset<std::string> SplitOrder(const std::u16string& list) {
    std::multiset<std::string> names;
    for (size_t start = 0; !list.empty() && start <= list.size();) {
        const size_t end = std::min(list.find(u':', start), list.size());
        names.insert(VUnicodeString(list.substr(start, end - start)).ToUtf8());
        start = end + 1;
    }
    return names;
}

// Every value of a crash session is derived from the generation of its save and names it, so a
// reader can tell for each value which save wrote it, and whether it was written whole.
inline std::u16string CrashHost(int index, uint32_t generation) {
    return u"h" + CrashSessionName(index) + u"-" + Text16(std::to_string(generation));
}

inline std::string CrashBlob(uint32_t generation) {
    std::string bytes(300, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(i < 4 ? generation >> (8 * i) : generation * 31 + i * 7);
    return bytes;
}

inline VStringArray CrashLines(uint32_t generation) {
    VStringArray lines;
    for (uint32_t i = 0; i < 20; ++i)
        lines.Add(VUnicodeString::FromUtf8("line " + std::to_string(generation) + " " +
                                           std::to_string(i)));
    return lines;
}

inline void WriteCrashSession(VProfileKey& key, int index, uint32_t generation) {
    key.SetDword(u"Is Session", 1);
    key.SetDword(u"Generation", generation);
    key.SetString(u"Hostname", CrashHost(index, generation).c_str());
    const std::string blob = CrashBlob(generation);
    key.SetBinary(u"Blob", blob.data(), static_cast<uint32_t>(blob.size()));
    key.SetStringArray(u"Lines", CrashLines(generation));
}

// The digits at the end of `text` after `prefix` (a generation), or false.
inline bool GenerationAfter(std::string_view text, std::string_view prefix, uint32_t& generation) {
    const char* end = text.data() + text.size();
    if (!text.starts_with(prefix) || text.size() == prefix.size()) return false;
    const auto [stop, error] = std::from_chars(text.data() + prefix.size(), end, generation);
    return error == std::errc() && stop == end;
}

// The generation each value of a crash session was written with; false when a value is missing
// or is not one whole write.
inline bool ReadCrashSession(VProfileKey& key, int index, uint32_t (&generations)[kCrashValues]) {
    uint32_t isSession = 0;
    VUnicodeString host;
    VStringArray lines;
    std::string blob(300, '\0');
    uint32_t size = static_cast<uint32_t>(blob.size());
    if (!key.QueryDword(u"Is Session", isSession) || isSession != 1 ||
        !key.QueryDword(u"Generation", generations[0]) || !key.QueryString(u"Hostname", host) ||
        !key.QueryBinary(u"Blob", blob.data(), size) || size != blob.size() ||
        !key.QueryStringArray(u"Lines", lines) || lines.IsEmpty())
        return false;
    const std::string hostPrefix = "h" + VUnicodeString(CrashSessionName(index)).ToUtf8() + "-";
    if (!GenerationAfter(host.ToUtf8(), hostPrefix, generations[1])) return false;
    generations[2] = 0;
    for (int i = 3; i >= 0; --i)
        generations[2] = (generations[2] << 8) | static_cast<uint8_t>(blob[static_cast<size_t>(i)]);
    const std::string first = lines[0].ToUtf8();
    if (!GenerationAfter(first.substr(0, first.size() - 2), "line ", generations[3])) return false;
    return blob == CrashBlob(generations[2]) && lines == CrashLines(generations[3]);
}

}  // namespace worker
