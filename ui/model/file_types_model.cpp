// The Global Options File Types page: the manager's definitions as rows, and its commands.
#include "ui/model/file_types_model.h"

#include <algorithm>

#include "data/file_types.h"
#include "foundation/report_text.h"
#include "ui/model/warning.h"

namespace sessiondeck {

namespace {

constexpr const char16_t* kAddTitle = u"Add File Type";

}  // namespace

FileTypesModel::FileTypesModel(FileTypeManager& manager, IPrompt& prompt, std::u16string caption)
    : m_manager(manager), m_prompt(prompt), m_caption(std::move(caption)) {
    Fill();
}

void FileTypesModel::Fill() {
    m_rows.clear();
    m_rowDefinition.clear();
    for (int index = 0; index < m_manager.GetDefinitionCount(); ++index) {
        const FileTypeDefinition* definition = m_manager.Definition(index);
        const char16_t* transfer = TransferTypeText(definition->transferType);
        for (const VUnicodeString& extension : definition->extensions) {
            m_rows.push_back(
                {extension.str(), definition->typeName.str(), transfer ? transfer : u""});
            m_rowDefinition.push_back(index);
        }
    }
}

int FileTypesModel::Add() {
    const auto typed = m_prompt.AskText(VUnicodeString(kAddTitle), VUnicodeString(u"&Extension:"),
                                        VUnicodeString(), false);
    if (!typed) return -1;
    std::u16string extension(TrimBlanks(typed->str()));
    if (!extension.empty() && extension.front() == u'.')
        extension = std::u16string(TrimBlanks(std::u16string_view(extension).substr(1)));
    if (extension.empty()) {
        Warn(m_prompt, kBlankExtensionMessage, m_caption);
        return -1;
    }
    if (m_manager.FindExtension(extension.c_str())) {
        Warn(m_prompt, kFileTypeExistsMessage, m_caption);
        return -1;
    }
    const auto name = m_prompt.AskText(VUnicodeString(kAddTitle), VUnicodeString(u"&Type name:"),
                                       VUnicodeString(), false);
    if (!name) return -1;
    FileTypeDefinition definition;
    definition.SetTypeName(name->c_str());
    definition.extensions.Add(VUnicodeString(extension));
    // The manager refuses a blank type name (and reports running out of memory itself); an
    // extension it did not take is a failed add as well.
    const int index = m_manager.AddType(&definition);
    const FileTypeDefinition* owner = m_manager.FindExtension(extension.c_str());
    if (index < 0 || !owner || owner != m_manager.Definition(index)) {
        Warn(m_prompt, kFileTypeNotAddedMessage, m_caption);
        return -1;
    }
    m_modified = true;
    Fill();
    for (std::size_t row = 0; row < m_rows.size(); ++row)
        if (m_rowDefinition[row] == index && m_rows[row].extension == extension)
            return static_cast<int>(row);
    return -1;
}

bool FileTypesModel::Delete(std::size_t row) {
    if (row >= m_rows.size()) return false;
    if (m_prompt.ShowMessage(VUnicodeString(kDeleteFileTypeQuestion), VUnicodeString(m_caption),
                             VPromptButtons::kYesNo, VPromptIcon::kQuestion) != VPromptAnswer::kYes)
        return false;
    if (!m_manager.RemoveType(m_rowDefinition[row])) return false;
    m_modified = true;
    Fill();
    return true;
}

bool FileTypesModel::RestoreDefaults() {
    if (m_prompt.ShowMessage(VUnicodeString(kRestoreFileTypesQuestion), VUnicodeString(m_caption),
                             VPromptButtons::kYesNo, VPromptIcon::kQuestion) != VPromptAnswer::kYes)
        return false;
    m_manager.RestoreDefaults();
    m_modified = true;
    Fill();
    return true;
}

const std::vector<FileTypeChoice>& FileTypesModel::TransferChoices() {
    static const std::vector<FileTypeChoice> choices = [] {
        std::vector<FileTypeChoice> list;
        for (int value :
             {kTransferTypeGlobal, kTransferTypeAscii, kTransferTypeBinary, kTransferTypePrompt})
            list.push_back({value, TransferTypeText(value)});
        return list;
    }();
    return choices;
}

const std::vector<FileTypeChoice>& FileTypesModel::OpenActionChoices() {
    static const std::vector<FileTypeChoice> choices = [] {
        std::vector<FileTypeChoice> list;
        for (int value : {kRemoteOpenPrompt, kRemoteOpenOpen, kRemoteOpenSaveToDisk})
            list.push_back({value, RemoteOpenActionText(value)});
        return list;
    }();
    return choices;
}

std::optional<FileTypeFields> FileTypesModel::Fields(std::size_t row) const {
    if (row >= m_rows.size()) return std::nullopt;
    const FileTypeDefinition* definition = m_manager.Definition(m_rowDefinition[row]);
    if (!definition) return std::nullopt;
    return FileTypeFields{definition->typeName.str(),    definition->transferType,
                          definition->application.str(), definition->remoteOpenAction,
                          definition->iconFile.str(),    definition->iconIndex};
}

bool FileTypesModel::ChooseIcon(FileTypeFields& fields, const std::u16string& iconFile,
                                int iconIndex) const {
    if (iconFile == fields.iconFile && iconIndex == fields.iconIndex) {
        Warn(m_prompt, kIconNotChangedMessage, m_caption);
        return false;
    }
    fields.iconFile = iconFile;
    fields.iconIndex = iconIndex;
    return true;
}

bool FileTypesModel::Edit(std::size_t row, const FileTypeFields& fields) {
    const std::optional<FileTypeFields> before = Fields(row);
    if (!before) return false;
    auto listed = [](const std::vector<FileTypeChoice>& choices, int value) {
        return std::any_of(choices.begin(), choices.end(),
                           [value](const FileTypeChoice& c) { return c.value == value; });
    };
    // Everything that can be refused is checked before anything changes, so a refusal leaves
    // the definition as it was.
    if (!listed(TransferChoices(), fields.transferType)) {
        Warn(m_prompt, kTransferTypeNotChangedMessage, m_caption);
        return false;
    }
    if (!listed(OpenActionChoices(), fields.remoteOpenAction)) {
        Warn(m_prompt, kOpenActionNotChangedMessage, m_caption);
        return false;
    }
    const int index = m_rowDefinition[row];
    if (fields.typeName != before->typeName &&
        !m_manager.RenameType(index, fields.typeName.c_str())) {
        Warn(m_prompt, kTypeNameNotChangedMessage, m_caption);
        return false;
    }
    // The setters fail only for an index out of range, which the row check above rules out;
    // each still says which field it could not change.
    bool changed = fields.typeName != before->typeName;
    auto apply = [&](bool differs, const auto& set, const char16_t* message) {
        if (!differs) return;
        if (set())
            changed = true;
        else
            Warn(m_prompt, message, m_caption);
    };
    apply(
        fields.transferType != before->transferType,
        [&] { return m_manager.SetTransferType(index, fields.transferType); },
        kTransferTypeNotChangedMessage);
    apply(
        fields.application != before->application,
        [&] { return m_manager.SetApplication(index, fields.application.c_str()); },
        kApplicationNotChangedMessage);
    apply(
        fields.remoteOpenAction != before->remoteOpenAction,
        [&] { return m_manager.SetRemoteFileOpenAction(index, fields.remoteOpenAction); },
        kOpenActionNotChangedMessage);
    apply(
        fields.iconFile != before->iconFile || fields.iconIndex != before->iconIndex,
        [&] { return m_manager.SetIcon(index, fields.iconFile.c_str(), fields.iconIndex); },
        kIconNotChangedMessage);
    if (changed) {
        m_modified = true;
        Fill();
    }
    return true;
}

bool FileTypesModel::Commit() {
    if (!m_modified) return true;
    VReportMessageParams report;
    if (!m_manager.StoreDefinitions(&report)) {
        const std::u16string why = report.GetMessageId() != 0 ? ReportLine(report) : u"";
        Warn(m_prompt,
             u"The file type definitions could not be saved" +
                 (why.empty() ? std::u16string(u".") : u": " + why) +
                 u"\n\nThey are kept while the dialog is open; OK tries again.",
             m_caption);
        return false;
    }
    m_modified = false;
    m_stored = true;
    return true;
}

void FileTypesModel::Cancel() {
    if (!m_modified) return;
    m_manager.ReloadDefinitions();
    m_modified = false;
    Fill();
}

}  // namespace sessiondeck
