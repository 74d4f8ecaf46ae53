// The File Types page of Global Options on a real configuration folder (and a desktop without
// file associations): Add and Edit with the page's refusals, Delete and Restore answered both
// ways, OK storing, Cancel reading back, and a store that refuses the write.
#include <gtest/gtest.h>

#include <algorithm>
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
        for (const char* name :
             {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"})
            env.Set(name, (dir / "desktop").string());
        manager = std::make_unique<FileTypeManager>();
    }
    ~FileTypesPage() override { GlobalOptionsModel::DeleteStateMap(); }
    // One Add answered with the extension and (when given) the type name, then OK to the
    // message when one is expected; the row added or -1.
    int Add(FileTypesModel& model, const char16_t* extension, const char16_t* typeName,
            bool message = false) {
        prompt.AnswerText(VUnicodeString(extension));
        if (typeName) prompt.AnswerText(VUnicodeString(typeName));
        if (message) prompt.AnswerButton(VPromptAnswer::kOk);
        return model.Add();
    }
    std::u16string LastMessage() const { return prompt.Questions().back().text.str(); }
    static std::size_t RowOf(const FileTypesModel& model, const std::u16string& extension) {
        return std::ranges::find(model.Rows(), extension, &FileTypeRow::extension) -
               model.Rows().begin();
    }
    std::unique_ptr<GlobalOptionsModel> Options() {
        return std::make_unique<GlobalOptionsModel>(*config, GlobalOptionsHost{false, true, true},
                                                    prompt, std::u16string_view{}, manager.get());
    }

    ScopedEnv env;
    VUnknownPointer<GlobalConfig> config =
        VUnknownPointer<GlobalConfig>::Adopt(CreateGlobalConfig(nullptr));
    ScriptedPrompt prompt;
    std::unique_ptr<FileTypeManager> manager;
};

TEST_F(FileTypesPage, AddDeleteAndRestoreReachTheStoreOnOkAndCancelReadsItBack) {
    EXPECT_EQ(
        GlobalOptionsModel(*config, {false, true, false}, prompt, {}, manager.get()).FileTypes(),
        nullptr);
    auto options = Options();
    FileTypesModel& model = *options->FileTypes();
    const std::size_t seeded = model.Rows().size();
    ASSERT_GT(seeded, 0u);
    ASSERT_GE(Add(model, u"Zz", u"Zed file"), 0);
    const std::pair<std::vector<const char16_t*>, std::u16string> refused[] = {
        {{u"   "}, u"Invalid extension: file extensions cannot be blank."},
        {{u".ZZ"}, u"The new file type already exists."},
        {{u"qq", u"  "}, u"The new file type could not be added."},
    };
    for (const auto& [answers, message] : refused) {
        EXPECT_EQ(Add(model, answers[0], answers.size() > 1 ? answers[1] : nullptr, true), -1);
        EXPECT_EQ(LastMessage(), message);
        EXPECT_EQ(model.Rows().size(), seeded + 1);
    }
    const int yy = Add(model, u".yy", u"Why file");
    ASSERT_GE(yy, 0);
    EXPECT_EQ(model.Rows()[RowOf(model, u"yy")].typeName, u"Why file");
    prompt.AnswerButton(VPromptAnswer::kNo);
    EXPECT_FALSE(model.Delete(static_cast<std::size_t>(yy)));
    EXPECT_EQ(LastMessage(), u"Are you sure you want to delete this file type definition?");
    prompt.AnswerButton(VPromptAnswer::kYes);
    EXPECT_TRUE(model.Delete(static_cast<std::size_t>(yy)));
    EXPECT_EQ(model.Rows().size(), seeded + 1);
    EXPECT_EQ(FileTypeManager().FindExtension(u"zz"), nullptr);
    ASSERT_TRUE(options->Ok());
    EXPECT_TRUE(model.Stored());
    ASSERT_NE(FileTypeManager().FindExtension(u"zz"), nullptr);
    EXPECT_EQ(FileTypeManager().FindExtension(u"zz")->typeName.str(), u"Zed file");
    EXPECT_EQ(FileTypeManager().FindExtension(u"yy"), nullptr);
    // Restore asks; Cancel reads the store back after a restore and an add, and after a delete
    // alone.
    options = Options();
    FileTypesModel& again = *options->FileTypes();
    prompt.AnswerButton(VPromptAnswer::kNo);
    EXPECT_FALSE(again.RestoreDefaults());
    EXPECT_EQ(LastMessage(),
              u"Are you sure you want to replace all existing file type definitions?");
    EXPECT_NE(manager->FindExtension(u"zz"), nullptr);
    prompt.AnswerButton(VPromptAnswer::kYes);
    EXPECT_TRUE(again.RestoreDefaults());
    EXPECT_EQ(manager->FindExtension(u"zz"), nullptr);
    EXPECT_EQ(again.Rows().size(), seeded);
    ASSERT_GE(Add(again, u"ww", u"Double file"), 0);
    options->Cancel();
    EXPECT_NE(manager->FindExtension(u"zz"), nullptr);
    EXPECT_EQ(manager->FindExtension(u"ww"), nullptr);
    EXPECT_EQ(again.Rows().size(), seeded + 1);
    EXPECT_FALSE(again.Stored());
    prompt.AnswerButton(VPromptAnswer::kYes);
    ASSERT_TRUE(again.Delete(RowOf(again, u"Zz")));
    again.Cancel();
    EXPECT_LT(RowOf(again, u"Zz"), again.Rows().size()) << "Cancel kept a delete";
}

TEST_F(FileTypesPage, EditChangesTheWholeDefinitionInMemoryAndRefusesWithItsMessages) {
    {
        FileTypesModel setup(*manager, prompt, u"Global Options");
        for (const char16_t* extension : {u"zz", u"zy"})
            ASSERT_GE(Add(setup, extension, u"Zed file"), 0);
        ASSERT_GE(Add(setup, u"ww", u"Double file"), 0);
        ASSERT_TRUE(setup.Commit());
    }
    auto options = Options();
    FileTypesModel& model = *options->FileTypes();
    EXPECT_FALSE(model.Fields(model.Rows().size()).has_value());
    const std::size_t zy = RowOf(model, u"zy");
    FileTypeFields fields = *model.Fields(zy);
    EXPECT_EQ(fields.typeName, u"Zed file");
    EXPECT_EQ(fields.transferType, kTransferTypeGlobal);
    EXPECT_EQ(fields.remoteOpenAction, kRemoteOpenPrompt);
    // The icon chooser giving back the icon the definition has changes nothing.
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(model.ChooseIcon(fields, fields.iconFile, fields.iconIndex));
    EXPECT_EQ(LastMessage(), u"The default icon was not changed!");
    EXPECT_TRUE(model.ChooseIcon(fields, u"/usr/share/icons/zed.png", 3));
    // Each refusal leaves the definition as it was, other fields changed beside it included.
    const std::pair<std::function<void(FileTypeFields&)>, std::u16string> refusals[] = {
        {[](FileTypeFields& f) { f.typeName = u"  "; }, u"The type name was not changed!"},
        {[](FileTypeFields& f) { f.typeName = u"DOUBLE FILE"; }, u"The type name was not changed!"},
        {[](FileTypeFields& f) { f.transferType = 7; }, u"The transfer type was not changed!"},
        {[](FileTypeFields& f) { f.remoteOpenAction = 3; },
         u"The remote file open action was not changed!"},
    };
    for (const auto& [change, message] : refusals) {
        SCOPED_TRACE(VUnicodeString(message).ToUtf8());
        FileTypeFields refused = fields;
        refused.typeName = u"Zed renamed";
        refused.application = u"/usr/bin/zed %1";
        change(refused);
        prompt.AnswerButton(VPromptAnswer::kOk);
        EXPECT_FALSE(model.Edit(zy, refused));
        EXPECT_EQ(LastMessage(), message);
        ASSERT_NE(manager->FindExtension(u"zz"), nullptr);
        const FileTypeDefinition& zz = *manager->FindExtension(u"zz");
        EXPECT_EQ(zz.typeName.str() + zz.application.str() + zz.iconFile.str(), u"Zed file");
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
        const FileTypeRow& row = model.Rows()[RowOf(model, extension)];
        EXPECT_EQ(row.typeName + u"/" + row.transfer, u"Zed document/ASCII");
    }
    EXPECT_EQ(RowOf(model, u"zy"), zy);
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
    FileTypeManager inMemory(&memory);
    FileTypesModel model(inMemory, prompt, u"Global Options");
    ASSERT_GE(Add(model, u"zz", u"Zed file"), 0);
    memory.FailWrites(ENOSPC);
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(model.Commit());
    EXPECT_EQ(LastMessage().rfind(u"The file type definitions could not be saved", 0), 0u);
    EXPECT_TRUE(model.IsModified());
    memory.FailWrites(0);
    EXPECT_TRUE(model.Commit());
    EXPECT_NE(FileTypeManager(&memory).FindExtension(u"zz"), nullptr);
}

}  // namespace
