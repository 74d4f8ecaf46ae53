// The Global Options File Types page: the manager's definitions as rows, and its commands.
#include "ui/model/file_types_model.h"

#include "data/file_types.h"

namespace sessiondeck {

namespace {

constexpr const char16_t* kAddTitle = u"Add File Type";

std::u16string Trimmed(std::u16string text) {
    const auto first = text.find_first_not_of(u" \t");
    if (first == text.npos) return {};
    return text.substr(first, text.find_last_not_of(u" \t") - first + 1);
}

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
    std::u16string extension = Trimmed(typed->str());
    if (!extension.empty() && extension.front() == u'.') extension = Trimmed(extension.substr(1));
    if (extension.empty()) {
        Report(kBlankExtensionMessage);
        return -1;
    }
    if (m_manager.FindExtension(extension.c_str())) {
        Report(kFileTypeExistsMessage);
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
        Report(kFileTypeNotAddedMessage);
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

bool FileTypesModel::Commit() {
    if (!m_modified) return true;
    VReportMessageParams report;
    if (!m_manager.StoreDefinitions(&report)) {
        std::u16string why;
        if (report.GetMessageId() != 0) why = VUnicodeString(report.GetTextSingleLine()).str();
        while (!why.empty() && (why.back() == u' ' || why.back() == u'\n' || why.back() == u'\r'))
            why.pop_back();
        Report(u"The file type definitions could not be saved" +
               (why.empty() ? std::u16string(u".") : u": " + why) +
               u"\n\nThey are kept while the dialog is open; OK tries again.");
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

void FileTypesModel::Report(const std::u16string& text) const {
    m_prompt.ShowMessage(VUnicodeString(text), VUnicodeString(m_caption), VPromptButtons::kOk,
                         VPromptIcon::kExclamation);
}

}  // namespace sessiondeck
