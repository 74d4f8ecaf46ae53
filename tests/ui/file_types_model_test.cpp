// The File Types page of Global Options on a real configuration folder (and a desktop without
// file associations): adding with its refusals, editing a definition with its refusals, deleting
// and restoring answered both ways, OK storing, Cancel reading back, and a store that refuses the
// write.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>

#include "app/global_config.h"
#include "data/file_types.h"
#include "support/memory_store.h"
#include "support/scoped_env.h"
#include "support/scripted_prompt.h"
#include "ui/model/file_types_model.h"
#include "ui/model/global_options_model.h"
#include "ui/ui_fixture.h"

namespace {

class FileTypesPage : public UiStoreTest {
protected:
    FileTypesPage() {
        GlobalOptionsModel::DeleteStateMap();
        // The seeded defaults come from the desktop: give it none, so they are the built-ins.
        env.Set("XDG_DATA_HOME", (dir / "desktop").string())
            .Set("XDG_DATA_DIRS", (dir / "desktop").string())
            .Set("XDG_CONFIG_HOME", (dir / "desktop").string())
            .Set("XDG_CONFIG_DIRS", (dir / "desktop").string());
    }
    ~FileTypesPage() override { GlobalOptionsModel::DeleteStateMap(); }

    // Queues the answers of one Add: the extension, then (when given) the type name, then OK
    // to the message when one is expected.
    void ScriptAdd(const char16_t* extension, const char16_t* typeName, bool message) {
        prompt.AnswerText(VUnicodeString(extension));
        if (typeName) prompt.AnswerText(VUnicodeString(typeName));
        if (message) prompt.AnswerButton(VPromptAnswer::kOk);
    }
    std::u16string LastMessage() const { return prompt.Questions().back().text.str(); }

    static constexpr GlobalOptionsHost kTransfer{false, true, true};
    ScopedEnv env;
    VUnknownPointer<GlobalConfig> config =
        VUnknownPointer<GlobalConfig>::Adopt(CreateGlobalConfig(nullptr));
    ScriptedPrompt prompt;
};

TEST_F(FileTypesPage, AddAndDeleteWithTheirMessagesReachTheStoreOnOk) {
    FileTypeManager manager;
    {
        GlobalOptionsModel without(*config, {false, true, false}, prompt, {}, &manager);
        EXPECT_EQ(without.FileTypes(), nullptr);
    }
    GlobalOptionsModel options(*config, kTransfer, prompt, {}, &manager);
    ASSERT_NE(options.FileTypes(), nullptr);
    FileTypesModel& model = *options.FileTypes();
    const std::size_t seeded = model.Rows().size();
    ASSERT_GT(seeded, 0u);

    struct Case {
        const char16_t* extension;
        const char16_t* typeName;
        std::u16string message;
    };
    ScriptAdd(u"Zz", u"Zed file", false);
    ASSERT_GE(model.Add(), 0);
    const std::vector<Case> refused = {
        {u"   ", nullptr, u"Invalid extension: file extensions cannot be blank."},
        {u".ZZ", nullptr, u"The new file type already exists."},
        {u"qq", u"  ", u"The new file type could not be added."},
    };
    for (const Case& c : refused) {
        SCOPED_TRACE(VUnicodeString(c.extension).ToUtf8());
        ScriptAdd(c.extension, c.typeName, true);
        EXPECT_EQ(model.Add(), -1);
        EXPECT_EQ(LastMessage(), c.message);
        EXPECT_EQ(model.Rows().size(), seeded + 1);
    }
    ScriptAdd(u".yy", u"Why file", false);
    const int yy = model.Add();
    ASSERT_GE(yy, 0);
    EXPECT_EQ(model.Rows()[static_cast<std::size_t>(yy)].extension, u"yy");
    EXPECT_EQ(model.Rows()[static_cast<std::size_t>(yy)].typeName, u"Why file");

    prompt.AnswerButton(VPromptAnswer::kNo);
    EXPECT_FALSE(model.Delete(static_cast<std::size_t>(yy)));
    EXPECT_EQ(LastMessage(), u"Are you sure you want to delete this file type definition?");
    EXPECT_EQ(model.Rows().size(), seeded + 2);
    prompt.AnswerButton(VPromptAnswer::kYes);
    EXPECT_TRUE(model.Delete(static_cast<std::size_t>(yy)));
    EXPECT_EQ(model.Rows().size(), seeded + 1);

    // Nothing is stored before OK.
    EXPECT_EQ(FileTypeManager().FindExtension(u"zz"), nullptr);
    ASSERT_TRUE(options.Ok());
    EXPECT_TRUE(model.Stored());
    const FileTypeManager stored;
    ASSERT_NE(stored.FindExtension(u"zz"), nullptr);
    EXPECT_EQ(stored.FindExtension(u"zz")->typeName.str(), u"Zed file");
    EXPECT_EQ(stored.FindExtension(u"yy"), nullptr);
}

TEST_F(FileTypesPage, RestoreAsksAndCancelReadsTheStoreBack) {
    FileTypeManager manager;
    ScriptAdd(u"zz", u"Zed file", false);
    {
        FileTypesModel model(manager, prompt, u"Global Options");
        ASSERT_GE(model.Add(), 0);
        ASSERT_TRUE(model.Commit());
    }
    GlobalOptionsModel options(*config, kTransfer, prompt, {}, &manager);
    FileTypesModel& model = *options.FileTypes();
    const std::size_t before = model.Rows().size();

    prompt.AnswerButton(VPromptAnswer::kNo);
    EXPECT_FALSE(model.RestoreDefaults());
    EXPECT_EQ(LastMessage(),
              u"Are you sure you want to replace all existing file type definitions?");
    EXPECT_NE(manager.FindExtension(u"zz"), nullptr);
    prompt.AnswerButton(VPromptAnswer::kYes);
    EXPECT_TRUE(model.RestoreDefaults());
    EXPECT_EQ(manager.FindExtension(u"zz"), nullptr);
    EXPECT_EQ(model.Rows().size(), before - 1);
    ScriptAdd(u"ww", u"Double file", false);
    ASSERT_GE(model.Add(), 0);

    options.Cancel();
    EXPECT_NE(manager.FindExtension(u"zz"), nullptr);
    EXPECT_EQ(manager.FindExtension(u"ww"), nullptr);
    EXPECT_EQ(model.Rows().size(), before);
    EXPECT_FALSE(model.Stored());
}

TEST_F(FileTypesPage, EditChangesTheWholeDefinitionInMemoryAndRefusesWithItsMessages) {
    FileTypeManager manager;
    {
        FileTypesModel setup(manager, prompt, u"Global Options");
        for (const char16_t* extension : {u"zz", u"zy"}) {
            ScriptAdd(extension, u"Zed file", false);
            ASSERT_GE(setup.Add(), 0);
        }
        ScriptAdd(u"ww", u"Double file", false);
        ASSERT_GE(setup.Add(), 0);
        ASSERT_TRUE(setup.Commit());
    }
    auto options = std::make_unique<GlobalOptionsModel>(*config, kTransfer, prompt,
                                                        std::u16string_view{}, &manager);
    FileTypesModel& model = *options->FileTypes();
    auto rowOf = [](const FileTypesModel& model, const std::u16string& extension) {
        for (std::size_t row = 0; row < model.Rows().size(); ++row)
            if (model.Rows()[row].extension == extension) return row;
        ADD_FAILURE() << "no row for the extension";
        return std::size_t{0};
    };
    EXPECT_FALSE(model.Fields(model.Rows().size()).has_value());
    const std::size_t zy = rowOf(model, u"zy");
    const FileTypeFields original = *model.Fields(zy);
    EXPECT_EQ(original.typeName, u"Zed file");
    EXPECT_EQ(original.transferType, kTransferTypeGlobal);
    EXPECT_EQ(original.remoteOpenAction, kRemoteOpenPrompt);

    // The icon chooser giving back the icon the definition has changes nothing.
    FileTypeFields fields = original;
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(model.ChooseIcon(fields, original.iconFile, original.iconIndex));
    EXPECT_EQ(LastMessage(), u"The default icon was not changed!");
    EXPECT_TRUE(model.ChooseIcon(fields, u"/usr/share/icons/zed.png", 3));
    EXPECT_EQ(fields.iconIndex, 3);

    // Each refusal leaves the definition as it was, even with the name and other fields changed
    // beside it.
    struct Refusal {
        const char* what;
        std::function<void(FileTypeFields&)> change;
        std::u16string message;
    };
    const std::vector<Refusal> refusals = {
        {"blank name", [](FileTypeFields& f) { f.typeName = u"  "; },
         u"The type name was not changed!"},
        {"another type's name", [](FileTypeFields& f) { f.typeName = u"DOUBLE FILE"; },
         u"The type name was not changed!"},
        {"unknown transfer", [](FileTypeFields& f) { f.transferType = 7; },
         u"The transfer type was not changed!"},
        {"unknown open action", [](FileTypeFields& f) { f.remoteOpenAction = 3; },
         u"The remote file open action was not changed!"},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        FileTypeFields refused = fields;
        refused.typeName = u"Zed renamed";
        refused.application = u"/usr/bin/zed %1";
        r.change(refused);
        prompt.AnswerButton(VPromptAnswer::kOk);
        EXPECT_FALSE(model.Edit(zy, refused));
        EXPECT_EQ(LastMessage(), r.message);
        EXPECT_EQ(manager.FindExtension(u"zz")->typeName.str(), u"Zed file");
        EXPECT_TRUE(manager.FindExtension(u"zz")->application.IsEmpty());
        EXPECT_TRUE(manager.FindExtension(u"zz")->iconFile.IsEmpty());
        EXPECT_FALSE(model.IsModified());
    }

    const std::size_t questions = prompt.Questions().size();
    fields.typeName = u"  Zed document ";
    fields.transferType = kTransferTypeAscii;
    fields.application = u"/usr/bin/zed %1";
    fields.remoteOpenAction = kRemoteOpenSaveToDisk;
    ASSERT_TRUE(model.Edit(zy, fields));
    EXPECT_EQ(prompt.Questions().size(), questions);
    // Both extensions show the one definition's new name and transfer type, in their places.
    for (const std::u16string extension : {u"zz", u"zy"}) {
        const FileTypeRow& row = model.Rows()[rowOf(model, extension)];
        EXPECT_EQ(row.typeName, u"Zed document");
        EXPECT_EQ(row.transfer, u"ASCII");
    }
    EXPECT_EQ(rowOf(model, u"zy"), zy);
    EXPECT_EQ(FileTypeManager().FindExtension(u"zz")->typeName.str(), u"Zed file");

    ASSERT_TRUE(options->Ok());
    options.reset();
    const FileTypeManager stored;
    const FileTypeDefinition* zed = stored.FindExtension(u"ZY");
    ASSERT_NE(zed, nullptr);
    EXPECT_EQ(zed->typeName.str() + u"|" + zed->application.str() + u"|" + zed->iconFile.str(),
              u"Zed document|/usr/bin/zed %1|/usr/share/icons/zed.png");
    EXPECT_EQ((std::vector<int>{zed->transferType, zed->remoteOpenAction, zed->iconIndex,
                                static_cast<int>(zed->extensions.GetSize())}),
              (std::vector<int>{kTransferTypeAscii, kRemoteOpenSaveToDisk, 3, 2}));
    // The value under the old name went with the rename.
    EXPECT_EQ(stored.FindFileTypeIndex(u"Zed file", false), -1);
}

TEST_F(FileTypesPage, AStoreThatRefusesTheWriteIsReportedAndTheEditsKept) {
    MemoryStoreFactory memory;
    FileTypeManager manager(&memory);
    FileTypesModel model(manager, prompt, u"Global Options");
    ScriptAdd(u"zz", u"Zed file", false);
    ASSERT_GE(model.Add(), 0);

    memory.FailWrites(ENOSPC);
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(model.Commit());
    EXPECT_EQ(LastMessage().rfind(u"The file type definitions could not be saved", 0), 0u);
    EXPECT_TRUE(model.IsModified());
    EXPECT_NE(manager.FindExtension(u"zz"), nullptr);

    memory.FailWrites(0);
    EXPECT_TRUE(model.Commit());
    EXPECT_NE(FileTypeManager(&memory).FindExtension(u"zz"), nullptr);
}

}  // namespace
