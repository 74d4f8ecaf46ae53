// File types of the file-transfer host: per type its extensions, how files of it are transferred
// and opened, kept under "FileTypes" in the configuration store.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/containers.h"
#include "foundation/export.h"
#include "foundation/unicode_string.h"
#include "profile/profile_store.h"

namespace sessiondeck {

namespace platform {
class FileAssociations;
}

// Transfer types.
inline constexpr int kTransferTypeGlobal = 0;  // use the global transfer type
inline constexpr int kTransferTypeAscii = 1;
inline constexpr int kTransferTypeBinary = 2;
inline constexpr int kTransferTypePrompt = 3;
// Remote open actions.
inline constexpr int kRemoteOpenPrompt = 1;
inline constexpr int kRemoteOpenOpen = 2;
inline constexpr int kRemoteOpenSaveToDisk = 4;

// The texts the user interface shows for the choices; null for a value that is none of them.
SESSIONDECK_API const char16_t* TransferTypeText(int transferType);
SESSIONDECK_API const char16_t* RemoteOpenActionText(int action);

inline constexpr char16_t kFileTypesKeyName[] = u"FileTypes";

class SESSIONDECK_API FileTypeDefinition {
public:
    VStringArray extensions;  // without the leading dot
    int32_t itemData = -1;    // the user interface's own (list position)
    VUnicodeString iconFile;
    int32_t iconIndex = 0;
    int32_t transferType = kTransferTypeGlobal;
    VUnicodeString application;  // "%1" means the file itself
    int32_t remoteOpenAction = kRemoteOpenPrompt;
    bool stored = false;  // belongs to a manager's stored set
    VUnicodeString typeName;

    void SetTypeName(const char16_t* name) { typeName = VUnicodeString(name); }

    // The six-element stored form: application, icon index, icon file,
    // extensions joined with "|", remote open action, transfer type.
    VStringArray ToStoredForm() const;
    // A definition named `name` from its stored form. Fewer than six elements
    // give the defaults and no extensions.
    static FileTypeDefinition FromStoredForm(const VUnicodeString& name, const VStringArray& form);
};

// The definitions, each extension belonging to exactly one of them.
class SESSIONDECK_API FileTypeManager {
public:
    // Loads the definitions from "FileTypes" or, when that key does not exist
    // yet, seeds them from the desktop's file associations and stores them.
    // Without a factory the host's store is used.
    explicit FileTypeManager(VProfileStoreFactory* factory = nullptr);
    ~FileTypeManager();
    FileTypeManager(const FileTypeManager&) = delete;
    FileTypeManager& operator=(const FileTypeManager&) = delete;

    int GetDefinitionCount() const { return static_cast<int>(m_definitions.GetSize()); }
    const FileTypeDefinition* Definition(int index) const;

    int FindFileTypeIndex(const char16_t* name, bool caseSensitive) const;
    int FindIndex(const FileTypeDefinition* definition) const;
    const FileTypeDefinition* FindExtension(const char16_t* extension) const;
    bool IsExeIndex(int index) const;

    // Adds `definition`, or merges it into the one of the same name (without
    // regard to case): extensions that no definition holds yet, and a transfer
    // type that is stricter. Returns the index, or -1 for an empty name or when
    // no memory could be had (that is reported to the host).
    int AddType(const FileTypeDefinition* definition);
    bool RemoveType(int index);
    bool SetItemData(int index, int itemData);
    bool SetTransferType(int index, int transferType);
    bool SetRemoteFileOpenAction(int index, int action);
    bool SetApplication(int index, const char16_t* application);
    bool SetIcon(int index, const char16_t* iconFile, int iconIndex);
    // Gives the definition at `index` the trimmed `name`. Refused (false) outside the range, for
    // a blank name, for a name another definition has without regard to case (the next load
    // would merge the two) and for a change in case only (the store may keep value names without
    // regard to case, so the old value could stay beside the new one).
    bool RenameType(int index, const char16_t* name);

    // Writes every stored definition and deletes the values of names no
    // definition has any more. False when the store refused a write or could
    // not keep it (`report`, when given, says why); the definitions in memory
    // are kept either way.
    bool StoreDefinitions(VReportMessageParams* report = nullptr);
    // Replaces every definition with the ones the first run seeds from the
    // desktop's file associations; nothing is written until StoreDefinitions.
    void RestoreDefaults();
    // Empties the manager and loads it from the store again.
    void ReloadDefinitions();

private:
    void RemoveAll();
    void Load(VProfileKey& fileTypes, const platform::FileAssociations& associations);
    void Seed(const platform::FileAssociations& associations);
    void AddBuiltIns(const platform::FileAssociations& associations, bool withText);
    FileTypeDefinition* Find(int index) const;

    VProfileStoreFactory* m_factory;
    VArray<FileTypeDefinition*> m_definitions;
    VMap<VUnicodeString, FileTypeDefinition*, VUnicodeStringHash> m_extensionMap{25};
    int m_exeIndex = -1;
    int m_icoIndex = -1;
    int m_searchStart = 0;
};

// The definition the desktop's association of `extension` gives (with or
// without its dot); false when the extension is not known there.
SESSIONDECK_API bool DefinitionFromAssociation(const platform::FileAssociations& associations,
                                               const char16_t* extension,
                                               FileTypeDefinition& definition);

}  // namespace sessiondeck
