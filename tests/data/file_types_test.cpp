// File types: seeding from a desktop without one and from a fake MIME tree, the stored form,
// merging by type name and the index bookkeeping.
#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <string>

#include "data/file_types.h"
#include "platform/file_associations.h"
#include "support/golden.h"
#include "support/memory_store.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

using namespace sessiondeck;

namespace {

// A definition as "NAME: [APPLICATION] [ICON INDEX] [ICON FILE] [EXTENSIONS] [OPEN] [TRANSFER]",
// its stored form, or "none".
std::string Describe(const FileTypeDefinition* definition) {
    if (!definition) return "none";
    std::string text = definition->typeName.ToUtf8() + ":";
    for (const VUnicodeString& part : definition->ToStoredForm())
        text += " [" + part.ToUtf8() + "]";
    return text;
}

FileTypeDefinition Named(const char16_t* name, std::vector<VUnicodeString> extensions,
                         int transferType = kTransferTypeGlobal) {
    FileTypeDefinition definition;
    definition.typeName = name;
    definition.extensions = VStringArray(std::move(extensions));
    definition.transferType = transferType;
    return definition;
}

// The association lookup reads folders of the test's own: without files there, no desktop.
class FileTypes : public ::testing::Test {
protected:
    FileTypes() {
        env.Set("XDG_DATA_HOME", (dir / "home-data").string())
            .Set("XDG_DATA_DIRS", (dir / "data").string())
            .Set("XDG_CONFIG_HOME", (dir / "config").string())
            .Set("XDG_CONFIG_DIRS", (dir / "etc").string());
    }
    void PutStored(const char16_t* name, VStringArray form) {
        VProfileStore store(&factory);
        VProfileKey(store.GetRootKey(), u"FileTypes").SetStringArray(name, form);
    }
    // Each definition as the store holds it, in the six-element form, one a line.
    std::string StoredTypes() const {
        std::string text;
        for (const VUnicodeString& name : factory.ValueNames(u"FileTypes")) {
            text += name.ToUtf8() + ":";
            for (const VUnicodeString& part : factory.Find(u"FileTypes", name.str())->strings)
                text += " [" + part.ToUtf8() + "]";
            text += "\n";
        }
        return text;
    }

    TempDir dir;
    ScopedEnv env;
    MemoryStoreFactory factory;
};

}  // namespace

TEST_F(FileTypes, WithoutADesktopTheBuiltInListSeedsAndIsStored) {
    FileTypeManager manager(&factory);
    ExpectMatchesGolden("data/file-types-built-in.txt", StoredTypes());
    EXPECT_EQ(manager.FindExtension(u"TXT")->typeName, u"Text Document");
    EXPECT_EQ(manager.FindExtension(u"jpeg"), manager.FindExtension(u"jpg"));
    EXPECT_TRUE(manager.IsExeIndex(manager.FindIndex(manager.FindExtension(u"exe"))));
}

// A small desktop (tests/fixtures/desktop): the heavier glob decides, the first of equal weight
// wins, a subclass of text is sent as text, two types of one description merge, the explicit
// default application wins over the cache (a missing one passed over), damaged lines and plain
// names are skipped.
TEST_F(FileTypes, ADesktopTreeGivesNamesApplicationsIconsAndMergedTypes) {
    std::filesystem::copy(
        std::filesystem::path(SESSIONDECK_GOLDEN_DIR).parent_path() / "fixtures/desktop",
        dir.path(), std::filesystem::copy_options::recursive);
    FileTypeManager manager(&factory);
    ExpectMatchesGolden("data/file-types-desktop.txt", StoredTypes());
    EXPECT_EQ(manager.FindExtension(u"JPG")->typeName, u"JPEG image");
    EXPECT_EQ(manager.FindExtension(u"odt"), manager.FindExtension(u"md"));
    EXPECT_EQ(manager.FindExtension(u"README"), nullptr);
    EXPECT_TRUE(manager.IsExeIndex(manager.FindIndex(manager.FindExtension(u"exe"))));
}

TEST_F(FileTypes, StoredDefinitionsLoadAndTheBuiltInsMergeIntoThem) {
    PutStored(u"Mine", {u"app", u"3", u"icon.png", u"abc||TXT", u"4", u"2"});
    PutStored(u"Short", {u"app", u"3", u"icon.png", u"short"});
    PutStored(u"application", {u"own", u"x", u"", u"exe", u"y", u"1"});
    FileTypeManager manager(&factory);

    EXPECT_EQ(Describe(manager.FindExtension(u"txt")),
              "Mine: [app] [3] [icon.png] [abc|TXT] [4] [2]");
    // Fewer than six elements give the defaults and no extensions.
    EXPECT_EQ(Describe(manager.Definition(manager.FindFileTypeIndex(u"short", false))),
              "Short: [] [0] [] [] [1] [0]");
    EXPECT_EQ(manager.FindFileTypeIndex(u"short", true), -1);
    // The stored type that already held "exe" keeps its own values, damaged numbers read as
    // defaults, and the built-in's binary transfer is merged in.
    EXPECT_EQ(Describe(manager.FindExtension(u"exe")), "application: [own] [0] [] [exe] [1] [2]");
    EXPECT_NE(manager.FindExtension(u"ico"), nullptr);
    EXPECT_EQ(manager.FindExtension(u"jpg"), nullptr) << "a stored set is not seeded again";
}

TEST_F(FileTypes, AddTypeMergesByNameAndNeverSharesAnExtension) {
    FileTypeManager manager(&factory);
    const int count = manager.GetDefinitionCount();

    const FileTypeDefinition first = Named(u"  Notes ", {u"nts", u"txt"}, kTransferTypeAscii);
    const int index = manager.AddType(&first);
    ASSERT_EQ(index, count);
    EXPECT_TRUE(manager.Definition(index)->stored);
    EXPECT_EQ(Describe(manager.Definition(index)), "Notes: [] [0] [] [nts] [1] [1]");
    EXPECT_EQ(manager.FindExtension(u"txt")->typeName, u"Text Document");
    // Merged by name in any case; a binary transfer stays.
    const FileTypeDefinition binary = Named(u"NOTES", {u"nt2"}, kTransferTypeBinary);
    EXPECT_EQ(manager.AddType(&binary), index);
    const FileTypeDefinition ascii = Named(u"notes", {}, kTransferTypeAscii);
    EXPECT_EQ(manager.AddType(&ascii), index);
    EXPECT_EQ(Describe(manager.Definition(index)), "Notes: [] [0] [] [nts|nt2] [1] [2]");
    const FileTypeDefinition blank = Named(u" \t", {u"zzz"});
    EXPECT_EQ(manager.AddType(&blank), -1);
    EXPECT_EQ(manager.FindExtension(u"zzz"), nullptr);
}

TEST_F(FileTypes, RemovingKeepsIndicesAndTheStoreInStep) {
    PutStored(u"First", {u"", u"0", u"", u"one", u"1", u"0"});
    PutStored(u"Second", {u"", u"0", u"", u"two", u"1", u"0"});
    FileTypeManager manager(&factory);
    ASSERT_EQ(manager.FindIndex(manager.FindExtension(u"exe")), 2) << "built-ins follow the store";

    EXPECT_FALSE(manager.RemoveType(-1));
    EXPECT_FALSE(manager.RemoveType(manager.GetDefinitionCount()));

    // Removing a definition before the executables moves their index with them.
    ASSERT_TRUE(manager.RemoveType(0));
    EXPECT_EQ(manager.FindExtension(u"one"), nullptr);
    EXPECT_TRUE(manager.IsExeIndex(1));
    ASSERT_TRUE(manager.RemoveType(1));
    EXPECT_FALSE(manager.IsExeIndex(1)) << "no definition is the executables' any more";

    ASSERT_TRUE(manager.SetRemoteFileOpenAction(0, kRemoteOpenSaveToDisk));
    manager.StoreDefinitions();
    EXPECT_EQ(factory.Find(u"FileTypes", u"First"), nullptr);
    EXPECT_EQ(factory.Find(u"FileTypes", u"Second")->strings[4], u"4");

    manager.ReloadDefinitions();
    EXPECT_EQ(manager.FindExtension(u"two")->remoteOpenAction, kRemoteOpenSaveToDisk);
    // The executables come back as a built-in on every load.
    EXPECT_TRUE(manager.IsExeIndex(manager.FindIndex(manager.FindExtension(u"exe"))));

    // A write that fails says so, with the report when one is asked for.
    factory.FailFlushes(EIO);
    VReportMessageParams report;
    EXPECT_FALSE(manager.StoreDefinitions(&report));
    EXPECT_EQ(report.GetMessageId(), static_cast<uint32_t>(EIO));
    EXPECT_FALSE(manager.StoreDefinitions());
}

TEST_F(FileTypes, ExecLinesGiveTheirExecutable) {
    const std::pair<const char*, const char*> cases[] = {
        {"editor --new %U", "editor"},
        {"  /usr/bin/gedit", "/usr/bin/gedit"},
        {"\"/opt/My Viewer/view\" %f", "/opt/My Viewer/view"},
        {"\"/opt/a \\\\\"b\\\\\"/run\" %u", "/opt/a \"b\"/run"},
        {"\"unterminated", "unterminated"},
        {"", ""},
    };
    for (const auto& [line, executable] : cases) {
        EXPECT_EQ(platform::ExecutableOfExecLine(line), executable) << line;
    }
}
