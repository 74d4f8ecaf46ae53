// The Global Options File Types page without a toolkit: every extension with its file type, and
// adding, deleting and restoring the definitions of the host's FileTypeManager. The manager is
// changed in memory while the dialog is open; OK stores it, Cancel reads it back from the store.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "foundation/prompt.h"

namespace sessiondeck {

class FileTypeManager;

inline constexpr const char16_t* kBlankExtensionMessage =
    u"Invalid extension: file extensions cannot be blank.";
inline constexpr const char16_t* kFileTypeNotAddedMessage =
    u"The new file type could not be added.";
inline constexpr const char16_t* kFileTypeExistsMessage = u"The new file type already exists.";
inline constexpr const char16_t* kDeleteFileTypeQuestion =
    u"Are you sure you want to delete this file type definition?";
inline constexpr const char16_t* kRestoreFileTypesQuestion =
    u"Are you sure you want to replace all existing file type definitions?";
inline constexpr const char16_t* kIconNotChangedMessage = u"The default icon was not changed!";
inline constexpr const char16_t* kTypeNameNotChangedMessage = u"The type name was not changed!";
inline constexpr const char16_t* kTransferTypeNotChangedMessage =
    u"The transfer type was not changed!";
inline constexpr const char16_t* kApplicationNotChangedMessage =
    u"The associated application was not changed!";
inline constexpr const char16_t* kOpenActionNotChangedMessage =
    u"The remote file open action was not changed!";

// What Edit... shows and changes of one definition.
struct FileTypeFields {
    std::u16string typeName;
    int transferType = 0;
    std::u16string application;  // "%1": the file itself
    int remoteOpenAction = 1;
    std::u16string iconFile;
    int iconIndex = 0;
};

// A choice of the editor: the number stored and the text shown.
struct FileTypeChoice {
    int value;
    const char16_t* text;
};

struct FileTypeRow {
    std::u16string extension;
    std::u16string typeName;
    std::u16string transfer;  // the transfer type's text
};

class FileTypesModel {
public:
    FileTypesModel(FileTypeManager& manager, IPrompt& prompt, std::u16string caption);

    // One row per extension, in the order of the definitions and their extensions.
    const std::vector<FileTypeRow>& Rows() const { return m_rows; }

    // Add...: asks the extension (a leading dot is dropped; blank is refused), then the name of
    // its type (an existing type's name adds the extension to it). An extension some type
    // already has is refused. The row of the new extension, or -1.
    int Add();
    // Delete: asks, then deletes the definition the row's extension belongs to (with all of its
    // extensions).
    bool Delete(std::size_t row);
    // Restore Defaults: asks, then puts the definitions seeded from the desktop in place.
    bool RestoreDefaults();

    // The editor's choices, in the order it lists them.
    static const std::vector<FileTypeChoice>& TransferChoices();
    static const std::vector<FileTypeChoice>& OpenActionChoices();
    // Edit...: the fields of the definition the row's extension belongs to; none for a row out
    // of range.
    std::optional<FileTypeFields> Fields(std::size_t row) const;
    // The icon chooser's answer: the same icon as `fields` holds is reported ("The default icon
    // was not changed!") and gives false; another is put into `fields`.
    bool ChooseIcon(FileTypeFields& fields, const std::u16string& iconFile, int iconIndex) const;
    // The editor's OK: puts the changed fields into the definition of the row. A type name the
    // manager refuses (blank, another type's, a change in case only) or a choice that is none of
    // the listed ones is reported with its message and nothing is changed (false). The rows keep
    // their places.
    bool Edit(std::size_t row, const FileTypeFields& fields);

    bool IsModified() const { return m_modified; }
    // Whether Commit stored changed definitions (the host's out-flag).
    bool Stored() const { return m_stored; }
    // OK: stores the definitions when something changed. False, with the failure reported and
    // the edited definitions kept in memory, when the store did not take them.
    bool Commit();
    // Cancel: the definitions are read back from the store when something changed.
    void Cancel();

private:
    void Fill();

    FileTypeManager& m_manager;
    IPrompt& m_prompt;
    std::u16string m_caption;
    std::vector<FileTypeRow> m_rows;
    std::vector<int> m_rowDefinition;
    bool m_modified = false;
    bool m_stored = false;
};

}  // namespace sessiondeck
