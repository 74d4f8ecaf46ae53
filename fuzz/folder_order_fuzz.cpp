// Fuzz target: a folder's stored order of sessions and sub-folders, reconciled with its children.
#include <algorithm>
#include <unordered_map>

#include "fuzz/fuzz_support.h"
#include "session/session_database.h"
#include "support/memory_store.h"

using namespace sessiondeck;

namespace {

MemoryStoreFactory* g_factory = nullptr;
VProfileStoreFactory* CurrentFactory() {
    return g_factory;
}

constexpr const char16_t* kFolder = u"Sessions";

bool IsUsableChildName(std::u16string_view name) {
    return !name.empty() && name.find_first_of(std::u16string_view(u"\\\0", 2)) == name.npos &&
           name != kFolderDataKeyName && name != kTemporaryKeyName;
}

// The names of a stored list, first occurrence first.
std::unordered_map<std::u16string, size_t> ListPositions(std::u16string_view list) {
    std::unordered_map<std::u16string, size_t> positions;
    if (list.empty()) return positions;
    size_t start = 0, index = 0;
    for (;;) {
        const size_t end = std::min(list.find(u':', start), list.size());
        positions.emplace(std::u16string(list.substr(start, end - start)), index++);
        if (end == list.size()) return positions;
        start = end + 1;
    }
}

// `ordered` holds each of `children` once; the names the stored list gives
// come first, in the list's order.
void CheckOrder(const VStringArray& ordered, std::vector<std::u16string> children,
                std::u16string_view list) {
    std::vector<std::u16string> names;
    for (const VUnicodeString& name : ordered) names.push_back(name.str());
    FUZZ_CHECK(names.size() == children.size());
    std::vector<std::u16string> sortedNames = names;
    std::sort(sortedNames.begin(), sortedNames.end());
    std::sort(children.begin(), children.end());
    FUZZ_CHECK(sortedNames == children);

    const auto positions = ListPositions(list);
    size_t last = 0;
    bool unlistedSeen = false;
    for (const std::u16string& name : names) {
        const auto found = positions.find(name);
        if (found == positions.end()) {
            unlistedSeen = true;
            continue;
        }
        FUZZ_CHECK(!unlistedSeen);
        FUZZ_CHECK(found->second >= last);
        last = found->second;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    SetProfileStoreFactoryGetter(CurrentFactory);
    return 0;
}

// The input is lines: the stored "Session List", the stored "Folder List",
// then one line per child, "S" and a name for a session, any other first
// character and a name for a folder.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> fields = fuzz::Fields(fuzz::Bytes(data, size), '\n');
    // Stored strings end at the first NUL.
    const std::u16string sessionList = fuzz::Text(fields[0]).c_str();
    const std::u16string folderList = fields.size() > 1 ? fuzz::Text(fields[1]).c_str() : u"";
    MemoryStoreFactory factory;
    g_factory = &factory;
    {
        VProfileStore store;
        VProfileKey folder(store.GetRootKey(), kFolder);
        for (size_t i = 2; i < fields.size(); ++i) {
            if (fields[i].empty()) continue;
            const std::u16string name = fuzz::Text(fields[i].substr(1));
            if (!IsUsableChildName(name)) continue;
            VProfileKey child(folder, name.c_str());
            if (fields[i][0] == 'S')
                child.SetDword(u"Is Session", 1);
            else
                child.SetString(u"Note", u"folder");
        }
        VProfileKey order(folder, kFolderDataKeyName);
        order.SetString(u"Session List", sessionList.c_str());
        order.SetString(u"Folder List", folderList.c_str());
    }

    VProfileStore store;
    VProfileKey folder(store.GetRootKey(), kFolder);
    std::vector<std::u16string> sessions, folders;
    {
        VProfileKeyIterator it(folder, false);
        VUnicodeString name;
        while (it.Next(name)) {
            if (name == kFolderDataKeyName) continue;
            VProfileKey child(folder, name);
            (SessionDatabase::IsFolder(child) ? folders : sessions).push_back(name.str());
        }
    }

    // Read-only: the order is reconciled, but nothing is written.
    factory.ClearWrites();
    {
        ProfileFolderData readOnly(folder, kSessionDatabaseReadOnly);
        CheckOrder(readOnly.Sessions(), sessions, sessionList);
        CheckOrder(readOnly.Folders(), folders, folderList);
        FUZZ_CHECK(factory.Writes().empty());
    }

    VStringArray firstSessions, firstFolders;
    {
        ProfileFolderData first(folder, 0);
        CheckOrder(first.Sessions(), sessions, sessionList);
        CheckOrder(first.Folders(), folders, folderList);
        firstSessions = first.Sessions();
        firstFolders = first.Folders();
    }
    // What was written back is already reconciled: reading it again keeps
    // the order and writes nothing more.
    factory.ClearWrites();
    ProfileFolderData second(folder, 0);
    FUZZ_CHECK(second.Sessions() == firstSessions);
    FUZZ_CHECK(second.Folders() == firstFolders);
    FUZZ_CHECK(factory.Writes().empty());
    g_factory = nullptr;
    return 0;
}
