// The File Types page of Global Options (on a desktop without file associations): Add and Edit
// with the page's refusals, Delete and Restore answered both ways, OK storing, a store that
// refuses the write, and Cancel reading back.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <tuple>

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
        manager = std::make_unique<FileTypeManager>(&memory);
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
    // A definition (or the editor's fields) as "TYPE|APPLICATION|ICON:INDEX|TRANSFER,OPEN".
    template <class Definition>
    static std::string Describe(const Definition* d) {
        if (!d) return "(none)";
        return VUnicodeString(d->typeName).ToUtf8() + "|" +
               VUnicodeString(d->application).ToUtf8() + "|" +
               VUnicodeString(d->iconFile).ToUtf8() + ":" + std::to_string(d->iconIndex) + "|" +
               std::to_string(d->transferType) + "," + std::to_string(d->remoteOpenAction);
    }
    std::unique_ptr<GlobalOptionsModel> Options() {
        return std::make_unique<GlobalOptionsModel>(*config, GlobalOptionsHost{false, true, true},
                                                    prompt, std::u16string_view{}, manager.get());
    }

    ScopedEnv env;
    MemoryStoreFactory memory;  // the definitions' store
    VUnknownPointer<GlobalConfig> config =
        VUnknownPointer<GlobalConfig>::Adopt(CreateGlobalConfig(nullptr));
    ScriptedPrompt prompt;
    std::unique_ptr<FileTypeManager> manager;
};

// One dialog adds, refuses, deletes and edits; OK stores it all once the store takes the write.
// A second one restores the defaults and cancels.
TEST_F(FileTypesPage, AddDeleteEditAndRestoreReachTheStoreOnOkAndCancelReadsItBack) {
    EXPECT_EQ(
        GlobalOptionsModel(*config, {false, true, false}, prompt, {}, manager.get()).FileTypes(),
        nullptr);
    auto options = Options();
    FileTypesModel& model = *options->FileTypes();
    const std::size_t seeded = model.Rows().size();
    ASSERT_GT(seeded, 0u);
    // A type name that exists adds the extension to that type.
    for (const char16_t* extension : {u"Zz", u"zy"})
        ASSERT_GE(Add(model, extension, u"Zed file"), 0);
    prompt.AnswerCancel();
    EXPECT_EQ(model.Add(), -1);
    // A blank extension, one there already, a new type without a name: each row extension,
    // type name (none: not asked) and message.
    for (const auto& [extension, typeName, message] :
         {std::array<const char16_t*, 3>{u"   ", nullptr, kBlankExtensionMessage},
          {u".ZZ", nullptr, kFileTypeExistsMessage},
          {u"qq", u"  ", kFileTypeNotAddedMessage}}) {
        EXPECT_EQ(Add(model, extension, typeName, true), -1);
        EXPECT_EQ(LastMessage(), message);
        EXPECT_EQ(model.Rows().size(), seeded + 2);
    }
    const auto yy = static_cast<std::size_t>(Add(model, u" .yy", u"Why file"));
    ASSERT_EQ(RowOf(model, u"yy"), yy);
    prompt.AnswerButton(VPromptAnswer::kNo);
    EXPECT_FALSE(model.Delete(yy));
    EXPECT_EQ(LastMessage(), kDeleteFileTypeQuestion);
    prompt.AnswerButton(VPromptAnswer::kYes);
    EXPECT_TRUE(model.Delete(yy));
    EXPECT_EQ(model.Rows().size(), seeded + 2);

    EXPECT_FALSE(model.Fields(model.Rows().size()).has_value());
    const std::size_t zy = RowOf(model, u"zy");
    FileTypeFields fields = *model.Fields(zy);
    EXPECT_EQ(Describe(&fields), "Zed file||:0|0,1");
    // The icon chooser giving back the icon the definition has changes nothing.
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(model.ChooseIcon(fields, fields.iconFile, fields.iconIndex));
    EXPECT_EQ(LastMessage(), kIconNotChangedMessage);
    EXPECT_TRUE(model.ChooseIcon(fields, u"/usr/share/icons/zed.png", 0));
    // Each refusal (a blank or taken type name, a transfer type or open action out of range)
    // leaves the definition as it was, a new application beside it included.
    const std::tuple<const char16_t*, int, int, const char16_t*> refusals[] = {
        {u"  ", 0, 1, kTypeNameNotChangedMessage},
        {u"TEXT DOCUMENT", 0, 1, kTypeNameNotChangedMessage},
        {u"Zed renamed", 7, 1, kTransferTypeNotChangedMessage},
        {u"Zed renamed", 0, 3, kOpenActionNotChangedMessage},
    };
    for (const auto& [typeName, transfer, open, message] : refusals) {
        SCOPED_TRACE(VUnicodeString(message).ToUtf8());
        FileTypeFields refused = fields;
        refused.application = u"/usr/bin/zed %1";
        std::tie(refused.typeName, refused.transferType, refused.remoteOpenAction) =
            std::tuple(typeName, transfer, open);
        prompt.AnswerButton(VPromptAnswer::kOk);
        EXPECT_FALSE(model.Edit(zy, refused));
        EXPECT_EQ(LastMessage(), message);
        EXPECT_EQ(Describe(manager->FindExtension(u"zz")), "Zed file||:0|0,1");
    }
    fields.typeName = u"  Zed document ";
    fields.transferType = kTransferTypeAscii;
    fields.application = u"/usr/bin/zed %1";
    fields.remoteOpenAction = kRemoteOpenSaveToDisk;
    ASSERT_TRUE(model.Edit(zy, fields));  // asks nothing
    // Both extensions show the one definition's new name and transfer type, in their places.
    for (const std::u16string extension : {u"Zz", u"zy"}) {
        const FileTypeRow& row = model.Rows()[RowOf(model, extension)];
        EXPECT_EQ(row.typeName + u"/" + row.transfer, u"Zed document/ASCII");
    }
    EXPECT_EQ(RowOf(model, u"zy"), zy);
    EXPECT_EQ(Describe(FileTypeManager(&memory).FindExtension(u"zz")), "(none)");
    // A store that refuses the write: reported, and the edits kept for the next OK.
    memory.FailWrites(ENOSPC);
    prompt.AnswerButton(VPromptAnswer::kOk);
    EXPECT_FALSE(options->Ok());
    EXPECT_EQ(LastMessage().rfind(u"The file type definitions could not be saved: ", 0), 0u);
    EXPECT_TRUE(model.IsModified() && !model.Stored());
    memory.FailWrites(0);
    ASSERT_TRUE(options->Ok() && model.Stored());
    const FileTypeManager stored(&memory);
    EXPECT_EQ(Describe(stored.FindExtension(u"ZY")) + Describe(stored.FindExtension(u"yy")),
              "Zed document|/usr/bin/zed %1|/usr/share/icons/zed.png:0|1,4(none)");
    EXPECT_EQ(stored.FindExtension(u"zz"), stored.FindExtension(u"zy"));
    // The value under the old name went with the rename.
    EXPECT_EQ(stored.FindFileTypeIndex(u"Zed file", false), -1);

    // Restore asks; Cancel reads the store back after a restore and an add, and after a delete
    // alone.
    options = Options();
    FileTypesModel& again = *options->FileTypes();
    for (const bool yes : {false, true}) {
        prompt.AnswerButton(yes ? VPromptAnswer::kYes : VPromptAnswer::kNo);
        EXPECT_EQ(again.RestoreDefaults(), yes);
        EXPECT_EQ(LastMessage(), kRestoreFileTypesQuestion);
        EXPECT_EQ(!manager->FindExtension(u"zz") && again.Rows().size() == seeded, yes);
    }
    ASSERT_GE(Add(again, u"ww", u"Double file"), 0);
    options->Cancel();
    EXPECT_NE(manager->FindExtension(u"zz"), nullptr);
    EXPECT_EQ(manager->FindExtension(u"ww"), nullptr);
    EXPECT_EQ(again.Rows().size(), seeded + 2);
    EXPECT_FALSE(again.Stored());
    prompt.AnswerButton(VPromptAnswer::kYes);
    ASSERT_TRUE(again.Delete(RowOf(again, u"Zz")));
    again.Cancel();
    EXPECT_LT(RowOf(again, u"Zz"), again.Rows().size()) << "Cancel kept a delete";
}

}  // namespace
