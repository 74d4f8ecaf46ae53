// The configuration-folder fixture of the dialog model tests.
#include "ui/ui_fixture.h"

#include <algorithm>

#include "profile/profile_store.h"
#include "session/session_fixture.h"

using namespace sessiondeck;

static VProfileStoreFactory* g_factory = nullptr;

void FakeProtocol::Install(bool withSerial) {
    GetConnectProtocolTable().ResetForTesting();
    auto withHost = [](VProfileKey* key, ICommonConfig*) -> ConnectConfig* {
        return new FakeProtocol(key, true);
    };
    AddRow(3, u"SSH2", withHost);
    AddRow(6, u"SFTP", withHost);
    if (withSerial)
        AddRow(3, u"Serial", [](VProfileKey* key, ICommonConfig*) -> ConnectConfig* {
            return new FakeProtocol(key, false);
        });
}

UiStoreTest::UiStoreTest() : factory(VUnicodeString::FromUtf8((dir / "Config").string())) {
    previous = GetProfileStoreFactoryGetter();
    g_factory = &factory;
    SetProfileStoreFactoryGetter([] { return g_factory; });
}

UiStoreTest::~UiStoreTest() {
    SetProfileStoreFactoryGetter(previous);
    g_factory = nullptr;
}

void UiStoreTest::MakeSession(const std::u16string& path, const char16_t* terminal,
                              const char16_t* transfer, const char16_t* host, const char16_t* user,
                              std::initializer_list<const char16_t*> description) {
    VProfileStore store;
    VProfileKey key(store.GetRootKey(), u"Sessions\\" + path);
    key.SetDword(u"Is Session", 1);
    if (host) key.SetString(u"Hostname", host);
    if (*terminal) key.SetString(u"Protocol Name", terminal);
    if (*transfer) key.SetString(u"Transfer Protocol Name", transfer);
    if (*user) key.SetString(u"Username", user);
    if (description.size())
        key.SetStringArray(u"Description", VStringArray(std::vector<VUnicodeString>(
                                               description.begin(), description.end())));
}

std::string UiStoreTest::File(const char* relative) const {
    return ReadFileBytes(dir / "Config" / "Sessions" / relative);
}

void UiStoreTest::MakeFolder(const std::u16string& path) {
    ASSERT_TRUE(SessionDatabase().InsertFolder(SessionDatabase::ParentPath(VUnicodeString(path)),
                                               SessionDatabase::LeafName(VUnicodeString(path)),
                                               VUnicodeString(), true));
}

void UiStoreTest::MakeTree(std::u16string_view layout) {
    for (size_t start = 0; start < layout.size();) {
        const size_t end = std::min(layout.find(u'|', start), layout.size());
        const std::u16string path(layout.substr(start, end - start));
        if (!path.ends_with(u'\\')) MakeSession(path);
        // A folder, and each folder above it that is not there yet.
        for (size_t at = path.find(u'\\'); path.ends_with(u'\\') && at != path.npos;
             at = path.find(u'\\', at + 1))
            if (!SessionDatabase::Exists(path.substr(0, at))) MakeFolder(path.substr(0, at));
        start = end + 1;
    }
}

std::u16string UiStoreTest::Stored(const std::u16string& folder, bool deep) {
    const std::u16string prefix = folder.empty() ? folder : folder + u"\\";
    VStringArray folders, sessions;
    SessionDatabase().GetFolderList(VUnicodeString(folder), folders);
    SessionDatabase().GetSessionList(VUnicodeString(folder), sessions);
    std::u16string text;
    for (const auto& name : folders)
        text += prefix + name.str() + u"\\|" + (deep ? Stored(prefix + name.str()) : u"");
    for (const auto& name : sessions) text += prefix + name.str() + u"|";
    return text;
}

void UiStoreTest::SetOrder(const std::u16string& folder, const char16_t* sessions,
                           const char16_t* folders) {
    VProfileStore store;
    VProfileKey key(store.GetRootKey(),
                    SessionDatabase::KeyPath(VUnicodeString(folder)) + u"\\__FolderData__");
    key.SetString(u"Session List", sessions);
    key.SetString(u"Folder List", folders);
}
