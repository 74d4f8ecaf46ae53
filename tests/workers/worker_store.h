// What the store workers and the tests that drive them share: the store they open, the
// self-checking session contents the crash writer saves, and a folder's order record as names.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <string>

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
    // Each value names its generation; made anew from that, it must be the value stored.
    const std::string hostText = host.ToUtf8(), first = lines[0].ToUtf8();
    generations[1] = static_cast<uint32_t>(
        std::strtoul(hostText.substr(hostText.find('-') + 1).c_str(), nullptr, 10));
    generations[2] = 0;
    for (int i = 3; i >= 0; --i)
        generations[2] = (generations[2] << 8) | static_cast<uint8_t>(blob[static_cast<size_t>(i)]);
    return std::sscanf(first.c_str(), "line %u", &generations[3]) == 1 &&
           host.str() == CrashHost(index, generations[1]) && blob == CrashBlob(generations[2]) &&
           lines == CrashLines(generations[3]);
}

}  // namespace worker
