// What every store backend promises its callers: typed values, deletes, sub-keys, iteration,
// read-only stores.
#include "store_contract.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "support/case_file.h"

using namespace sessiondeck;

std::string StoreBackendName(const testing::TestParamInfo<StoreBackendParam>& info) {
    return info.param.name;
}

namespace {

// One value as text, its kind included, so that a changed byte shows.
std::u16string ValueText(VProfileKey& key, const VUnicodeString& name, int kind) {
    const auto number = [](uint32_t n) {
        return VUnicodeString::FromUtf8(std::to_string(n)).str();
    };
    uint32_t value = 0, size = 0;
    VUnicodeString text;
    VStringArray array;
    if (kind == kValueKindDword)
        return key.QueryDword(name.c_str(), value) ? u"dword " + number(value) : u"dword?";
    if (kind == kValueKindString)
        return key.QueryString(name.c_str(), text) ? u"string " + text.str() : u"string?";
    if (kind == kValueKindStringArray) {
        if (!key.QueryStringArray(name.c_str(), array)) return u"strings?";
        std::u16string out = u"strings";
        for (const VUnicodeString& element : array) out += u" [" + element.str() + u"]";
        return out;
    }
    if (kind != kValueKindBinary || !key.QueryBinary(name.c_str(), nullptr, size))
        return u"kind " + number(kind) + u"?";
    std::vector<uint8_t> bytes(size);
    if (size && !key.QueryBinary(name.c_str(), bytes.data(), size)) return u"binary?";
    std::u16string out = u"binary";
    for (uint8_t byte : bytes) out += u" " + number(byte);
    return out;
}

// Everything at and below `key`, one line per key and per value, with paths
// relative to `key`: two trees compare equal exactly when they hold the same.
void Describe(VProfileKey& key, const std::u16string& path, std::vector<std::u16string>& out) {
    out.push_back(u"[" + path + u"]");
    {
        VProfileKeyIterator values(key, true);
        VUnicodeString name;
        int kind = 0;
        while (values.NextValue(name, kind))
            out.push_back(path + u":" + name.str() + u" = " + ValueText(key, name, kind));
    }
    for (const std::u16string& child : SubKeyNames(key)) {
        VProfileKey sub(key, child.c_str());
        Describe(sub, path + u"\\" + child, out);
    }
}

// What the store holds at `path` ("" the root), read through a fresh read-only store.
std::vector<std::u16string> Contents(VProfileStoreFactory& factory, const char16_t* path = u"") {
    VProfileStore store(true, &factory);
    std::vector<std::u16string> out;
    if (*path) {
        if (!store.GetRootKey().SubKeyExists(path)) return out;
        VProfileKey key(store.GetRootKey(), path);
        Describe(key, u"", out);
    } else {
        Describe(store.GetRootKey(), u"", out);
    }
    return out;
}

// Writes a DWORD "v" (1, 2, ...) into each key named, making the keys.
void PutKeys(VProfileStoreFactory& factory, std::initializer_list<const char16_t*> paths) {
    VProfileStore store(&factory);
    uint32_t value = 0;
    for (const char16_t* path : paths)
        ASSERT_TRUE(VProfileKey(store.GetRootKey(), path).SetDword(u"v", ++value));
}

// A key with a value of every kind (an empty binary, an empty element) and keys below it.
void FillTree(VProfileStoreFactory& factory, const char16_t* path) {
    VProfileStore store(&factory);
    VProfileKey key(store.GetRootKey(), path);
    const uint8_t blob[] = {0, 1, 0xfe, 0xff};
    ASSERT_TRUE(key.SetDword(u"Port", 0xfffffffe));
    ASSERT_TRUE(key.SetString(u"Hostname", u"h\u00e9te"));
    ASSERT_TRUE(key.SetString(u"Empty", u""));
    ASSERT_TRUE(key.SetBinary(u"Blob", blob, sizeof blob));
    ASSERT_TRUE(key.SetBinary(u"Nothing", nullptr, 0));
    ASSERT_TRUE(key.SetStringArray(u"List", VStringArray{u"a", u"", u"c"}));
    VProfileKey inner(key, u"Inner\\Deep");
    ASSERT_TRUE(inner.SetDword(u"Level", 2));
    VProfileKey empty(key, u"Inner\\Empty Values");
    ASSERT_TRUE(empty.SetString(u"Only", u"one"));
    ASSERT_TRUE(key.Flush());
    ASSERT_TRUE(inner.Flush());
    ASSERT_TRUE(empty.Flush());
}

}  // namespace

TEST_P(ProfileStoreContract, TypedValuesSurviveReopenAndKindsAreStrict) {
    {
        VProfileStore store(&Factory());
        VProfileKey key(store.GetRootKey(), u"Sessions\\Default");
        const uint8_t blob[] = {0x00, 0xff, 0x10};
        EXPECT_TRUE(key.SetDword(u"Port", 22));
        EXPECT_TRUE(key.SetString(u"Hostname", u"server1"));
        EXPECT_TRUE(key.SetBinary(u"Blob", blob, sizeof blob));
        EXPECT_TRUE(key.SetStringArray(u"List", VStringArray{u"first", u"", u"third"}));
        EXPECT_TRUE(key.SetString(u"Empty", u""));
        EXPECT_TRUE(key.SetBinary(u"Zero", nullptr, 0));
        // A setter replaces a value of any kind; deleting what is not there succeeds.
        EXPECT_TRUE(key.SetString(u"V", u"text"));
        EXPECT_TRUE(key.SetDword(u"V", 5));
        EXPECT_TRUE(key.SetDword(u"Gone", 1));
        EXPECT_TRUE(key.DeleteValue(u"Gone"));
        EXPECT_TRUE(key.DeleteValue(u"Never There"));
    }
    std::vector<std::u16string> values = Contents(Factory(), u"Sessions\\Default");
    std::sort(values.begin(), values.end());
    EXPECT_EQ(values, (std::vector<std::u16string>{
                          u":Blob = binary 0 255 16", u":Empty = string ",
                          u":Hostname = string server1", u":List = strings [first] [] [third]",
                          u":Port = dword 22", u":V = dword 5", u":Zero = binary", u"[]"}));

    // No conversions between kinds, and a failed query leaves its output alone.
    VProfileStore store(true, &Factory());
    VProfileKey key(store.GetRootKey(), u"Sessions\\Default");
    uint32_t number = 7, size = 99;
    VUnicodeString text(u"unchanged");
    VStringArray array{u"unchanged"};
    EXPECT_FALSE(key.QueryDword(u"Hostname", number) || key.QueryString(u"Port", text) ||
                 key.QueryString(u"V", text) || key.QueryStringArray(u"Hostname", array) ||
                 key.QueryBinary(u"List", nullptr, size) || key.QueryDword(u"Absent", number));
    EXPECT_EQ(number, 7u);
    EXPECT_EQ(size, 99u);
    EXPECT_EQ(text, VUnicodeString(u"unchanged"));
    EXPECT_EQ(array, VStringArray{u"unchanged"});
    EXPECT_EQ(Dword(key, u"PORT").has_value(), !GetParam().caseSensitiveNames);

    // A binary query tells the size, and refuses a buffer too small for it.
    uint8_t buffer[8] = {0xaa};
    EXPECT_TRUE(key.QueryBinary(u"Blob", nullptr, size));
    EXPECT_EQ(size, 3u);
    size = 2;
    EXPECT_FALSE(key.QueryBinary(u"Blob", buffer, size));
    EXPECT_EQ(buffer[0], 0xaa);
    size = sizeof buffer;
    EXPECT_TRUE(key.QueryBinary(u"Blob", buffer, size));
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + size), (std::vector<uint8_t>{0, 0xff, 0x10}));
    EXPECT_TRUE(key.QueryBinary(u"Zero", buffer, size));
    EXPECT_EQ(size, 0u);
}

TEST_P(ProfileStoreContract, SubKeysOpenExistAndDeleteRecursively) {
    PutKeys(Factory(), {u"A\\B\\C", u"A\\D", u"Other"});
    VProfileStore store(&Factory());
    VProfileKey& root = store.GetRootKey();
    EXPECT_TRUE(root.SubKeyExists(u"A") && root.SubKeyExists(u"A\\B\\C"));
    EXPECT_FALSE(root.SubKeyExists(u"Missing"));
    EXPECT_FALSE(Dword(VProfileKey(root, u"Missing\\Deeper"), u"v"));
    EXPECT_EQ(root.SubKeyExists(u"Missing\\Deeper"), GetParam().openingCreatesKeys);
    {
        VProfileKey a(root, u"A");
        EXPECT_TRUE(a.SubKeyExists(u"B"));
        EXPECT_EQ(SubKeyNames(a), (std::vector<std::u16string>{u"B", u"D"}));
    }
    EXPECT_TRUE(root.DeleteSubKey(u"A"));
    EXPECT_FALSE(root.SubKeyExists(u"A") || root.SubKeyExists(u"A\\B\\C"));
    EXPECT_TRUE(root.SubKeyExists(u"Other"));
    EXPECT_TRUE(root.DeleteSubKey(u"A"));  // already gone: still done
}

TEST_P(ProfileStoreContract, IterationListsNamesCaseInsensitivelyAndEmptyKeysEndAtOnce) {
    VProfileStore store(&Factory());
    {
        VProfileKey empty(store.GetRootKey(), u"Empty");
        VProfileKeyIterator subKeys(empty, false), values(empty, true);
        VUnicodeString name;
        int kind = -5;
        EXPECT_FALSE(subKeys.Next(name));
        EXPECT_FALSE(values.NextValue(name, kind));
        EXPECT_EQ(kind, -5);
    }
    {
        VProfileKey key(store.GetRootKey(), u"K");
        ASSERT_TRUE(key.SetString(u"gamma", u"g"));
        ASSERT_TRUE(key.SetDword(u"Alpha", 1));
        ASSERT_TRUE(key.SetStringArray(u"beta", VStringArray{u"b"}));
        ASSERT_TRUE(key.SetBinary(u"Al", "x", 1));
    }
    PutKeys(Factory(), {u"K\\zeta", u"K\\Eta", u"K\\eta2"});
    VProfileKey key(store.GetRootKey(), u"K");
    VProfileKeyIterator values(key, true);
    std::vector<std::pair<std::u16string, int>> seen;
    VUnicodeString name;
    int kind = 0;
    while (values.NextValue(name, kind)) seen.emplace_back(name.str(), kind);
    std::vector<std::u16string> subKeys = SubKeyNames(key);
    if (!GetParam().sortedNames) {
        std::sort(seen.begin(), seen.end(),
                  [](const auto& a, const auto& b) { return CompareNoCase(a.first, b.first) < 0; });
        std::sort(subKeys.begin(), subKeys.end(),
                  [](const auto& a, const auto& b) { return CompareNoCase(a, b) < 0; });
    }
    EXPECT_EQ(seen, (std::vector<std::pair<std::u16string, int>>{{u"Al", kValueKindBinary},
                                                                 {u"Alpha", kValueKindDword},
                                                                 {u"beta", kValueKindStringArray},
                                                                 {u"gamma", kValueKindString}}));
    EXPECT_EQ(subKeys, (std::vector<std::u16string>{u"Eta", u"eta2", u"zeta"}));
}

TEST_P(ProfileStoreContract, ReadOnlyStoreChangesOnlyTheHandle) {
    PutKeys(Factory(), {u"K"});
    {
        VProfileStore store(true, &Factory());
        VProfileKey key(store.GetRootKey(), u"K");
        EXPECT_FALSE(key.IsWritable());
        EXPECT_FALSE(store.GetRootKey().IsWritable());
        const bool accepts = GetParam().readOnlyKeysAcceptChanges;
        EXPECT_EQ(key.SetDword(u"New", 2), accepts);
        EXPECT_EQ(key.DeleteValue(u"v"), accepts);
        EXPECT_EQ(Dword(key, u"New"), accepts ? std::optional<uint32_t>(2) : std::nullopt);
        EXPECT_EQ(Dword(key, u"v").has_value(), !accepts);
        VProfileKey child(key, u"Child");
        EXPECT_FALSE(child.IsWritable());
        EXPECT_EQ(child.SetDword(u"v", 3), accepts);
        EXPECT_FALSE(key.DeleteSubKey(u"Child"));
    }
    VProfileStore store(&Factory());
    VProfileKey key(store.GetRootKey(), u"K");
    EXPECT_TRUE(key.IsWritable());
    EXPECT_FALSE(Dword(key, u"New"));
    EXPECT_EQ(Dword(key, u"v"), 1u);
    EXPECT_FALSE(key.SubKeyExists(u"Child"));
}

// ---- whole-key operations -------------------------------------------------------------

TEST_P(ProfileStoreContract, MoveAndCopyCarryAWholeTreeAcrossParents) {
    FillTree(Factory(), u"Sessions\\Folder A\\web");
    PutKeys(Factory(), {u"Sessions\\Folder A\\other"});
    const std::vector<std::u16string> original = Contents(Factory(), u"Sessions\\Folder A\\web");
    ASSERT_EQ(original.size(), 12u);

    VProfileStore store(&Factory());
    VProfileKey sessions(store.GetRootKey(), u"Sessions");
    // The copy lands in a folder that is not there yet.
    ASSERT_TRUE(sessions.CopySubKey(u"Folder A\\web", u"Folder B\\New\\web copy"))
        << sessions.GetReport().GetMessageId();
    EXPECT_EQ(Contents(Factory(), u"Sessions\\Folder B\\New\\web copy"), original);
    EXPECT_EQ(Contents(Factory(), u"Sessions\\Folder A\\web"), original);
    {
        // The copy is a tree of its own.
        VProfileKey copy(store.GetRootKey(), u"Sessions\\Folder B\\New\\web copy\\Inner\\Deep");
        ASSERT_TRUE(copy.SetDword(u"Level", 3));
        ASSERT_TRUE(copy.Flush());
    }
    EXPECT_EQ(Contents(Factory(), u"Sessions\\Folder A\\web"), original);

    ASSERT_TRUE(sessions.MoveSubKey(u"Folder A\\web", u"Folder C\\moved"))
        << sessions.GetReport().GetMessageId();
    EXPECT_EQ(Contents(Factory(), u"Sessions\\Folder C\\moved"), original);
    VProfileStore check(true, &Factory());
    VProfileKey folderA(check.GetRootKey(), u"Sessions\\Folder A");
    EXPECT_EQ(SubKeyNames(folderA), std::vector<std::u16string>{u"other"});
}

TEST_P(ProfileStoreContract, CaseOnlyRenameKeepsTheTreeUnderItsNewName) {
    FillTree(Factory(), u"Sessions\\web");
    const std::vector<std::u16string> original = Contents(Factory(), u"Sessions\\web");
    VProfileStore store(&Factory());
    VProfileKey sessions(store.GetRootKey(), u"Sessions");
    ASSERT_TRUE(sessions.MoveSubKey(u"web", u"WEB")) << sessions.GetReport().GetMessageId();
    EXPECT_EQ(SubKeyNames(sessions), std::vector<std::u16string>{u"WEB"});
    EXPECT_EQ(Contents(Factory(), u"Sessions\\WEB"), original);

    // Where names differ by case, both may exist, and then the name is taken.
    if (GetParam().caseSensitiveNames) {
        FillTree(Factory(), u"Sessions\\web");
        EXPECT_FALSE(sessions.MoveSubKey(u"web", u"WEB"));
        EXPECT_EQ(sessions.GetReport().GetMessageId(), static_cast<uint32_t>(EEXIST));
        EXPECT_EQ(SubKeyNames(sessions), (std::vector<std::u16string>{u"WEB", u"web"}));
    }
}

TEST_P(ProfileStoreContract, RefusedMoveOrCopyChangesNothing) {
    FillTree(Factory(), u"S\\a");
    FillTree(Factory(), u"S\\b");
    const std::vector<std::u16string> before = Contents(Factory());
    // tests/golden/profile/refused-moves.txt: operation, from, to; the error reported.
    ExpectCaseFile("profile/refused-moves.txt", [&](const std::vector<std::string>& fields) {
        VProfileStore store(&Factory());
        VProfileKey& root = store.GetRootKey();
        const VUnicodeString from = VUnicodeString::FromUtf8(fields[1]);
        const VUnicodeString to = VUnicodeString::FromUtf8(fields[2]);
        EXPECT_FALSE(fields[0] == "move" ? root.MoveSubKey(from.c_str(), to.c_str())
                                         : root.CopySubKey(from.c_str(), to.c_str()));
        EXPECT_NE(root.GetReport().GetTextSingleLine(), std::u16string());
        EXPECT_EQ(Contents(Factory()), before);
        const char* name = strerrorname_np(static_cast<int>(root.GetReport().GetMessageId()));
        return std::string(name ? name : "no error");
    });

    // "s\B" names "S\b" where names ignore case; elsewhere it is a free name.
    VProfileStore store(&Factory());
    const bool copied = store.GetRootKey().CopySubKey(u"S\\a", u"S\\B");
    EXPECT_EQ(copied, GetParam().caseSensitiveNames);
    if (!copied) {
        EXPECT_EQ(store.GetRootKey().GetReport().GetMessageId(), static_cast<uint32_t>(EEXIST));
        EXPECT_EQ(Contents(Factory()), before);
    }

    // A read-only store refuses both and changes nothing.
    VProfileStore readOnly(true, &Factory());
    EXPECT_FALSE(readOnly.GetRootKey().MoveSubKey(u"S\\a", u"S\\z"));
    EXPECT_FALSE(readOnly.GetRootKey().CopySubKey(u"S\\a", u"S\\z"));
    EXPECT_TRUE(Contents(Factory(), u"S\\z").empty());
}

TEST_P(ProfileStoreContract, OfTwoExclusiveCreatorsOnlyTheFirstWrites) {
    VProfileStore store(&Factory());
    VProfileKey first(store.GetRootKey(), u"Sessions\\new");
    first.SetCreateExclusive();
    VProfileKey second(store.GetRootKey(), u"Sessions\\new");
    second.SetCreateExclusive();
    // Nothing is there until the first write.
    EXPECT_TRUE(Contents(Factory(), u"Sessions\\new").empty());

    EXPECT_TRUE(first.SetString(u"Hostname", u"first"));
    EXPECT_TRUE(first.SetDword(u"Port", 1));
    EXPECT_TRUE(first.Flush()) << first.GetReport().GetMessageId();
    second.SetString(u"Hostname", u"second");
    second.SetDword(u"Other", 2);
    EXPECT_FALSE(second.Flush());
    EXPECT_EQ(second.GetReport().GetMessageId(), static_cast<uint32_t>(EEXIST));
    EXPECT_TRUE(second.Flush());  // told once

    // A key that exists when the handle opens is never created again.
    VProfileKey third(store.GetRootKey(), u"Sessions\\new");
    third.SetCreateExclusive();
    third.SetDword(u"Port", 3);
    EXPECT_FALSE(third.Flush());
    EXPECT_EQ(third.GetReport().GetMessageId(), static_cast<uint32_t>(EEXIST));

    EXPECT_EQ(
        Contents(Factory(), u"Sessions\\new"),
        (std::vector<std::u16string>{u"[]", u":Hostname = string first", u":Port = dword 1"}));
}

TEST_P(ProfileStoreContract, UpdateOnlyNeverBringsBackARemovedKey) {
    FillTree(Factory(), u"Sessions\\kept");
    FillTree(Factory(), u"Sessions\\removed");
    FillTree(Factory(), u"Sessions\\renamed");
    VProfileStore store(&Factory());
    VProfileKey& root = store.GetRootKey();

    VProfileKey kept(root, u"Sessions\\kept");
    kept.SetUpdateOnly();
    EXPECT_TRUE(kept.SetDword(u"Port", 7));
    EXPECT_TRUE(kept.Flush()) << kept.GetReport().GetMessageId();
    VProfileStore check(true, &Factory());
    EXPECT_EQ(Dword(VProfileKey(check.GetRootKey(), u"Sessions\\kept"), u"Port"), 7u);

    VProfileKey removed(root, u"Sessions\\removed"), renamed(root, u"Sessions\\renamed"),
        neverThere(root, u"Sessions\\never there");
    for (VProfileKey* key : {&removed, &renamed, &neverThere}) key->SetUpdateOnly();
    ASSERT_TRUE(root.DeleteSubKey(u"Sessions\\removed"));
    ASSERT_TRUE(root.MoveSubKey(u"Sessions\\renamed", u"Sessions\\elsewhere"));
    const std::vector<std::u16string> moved = Contents(Factory(), u"Sessions\\elsewhere");
    for (VProfileKey* key : {&removed, &renamed, &neverThere}) {
        key->SetString(u"Hostname", u"changed");
        key->SetDword(u"New", 1);
        EXPECT_FALSE(key->Flush());
        EXPECT_EQ(key->GetReport().GetMessageId(), static_cast<uint32_t>(ENOENT));
    }
    VProfileStore after(true, &Factory());
    VProfileKey sessionsAfter(after.GetRootKey(), u"Sessions");
    std::vector<std::u16string> left = SubKeyNames(sessionsAfter);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::u16string>{u"elsewhere", u"kept"}));
    EXPECT_EQ(Contents(Factory(), u"Sessions\\elsewhere"), moved);
}

// A folder keeps its values in sub-keys, so its key is created exclusively by
// a flush with nothing written: once, and never over a key of that name.
TEST_P(ProfileStoreContract, AnExclusiveFlushWithNothingWrittenMakesTheKeyOnce) {
    VProfileStore store(&Factory());
    {
        VProfileKey folder(store.GetRootKey(), u"Sessions\\F");
        folder.SetCreateExclusive();
        EXPECT_TRUE(folder.Flush()) << folder.GetReport().GetMessageId();
    }
    EXPECT_FALSE(Contents(Factory(), u"Sessions\\F").empty());
    VProfileKey again(store.GetRootKey(), u"Sessions\\F");
    again.SetCreateExclusive();
    EXPECT_FALSE(again.Flush());
    EXPECT_EQ(again.GetReport().GetMessageId(), static_cast<uint32_t>(EEXIST));
}
