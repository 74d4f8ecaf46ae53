// File types: definitions from the desktop's associations or the store, merged by type name, and
// their stored six-element form.
#include "data/file_types.h"

#include <new>

#include "foundation/message_format.h"
#include "foundation/messages.h"
#include "foundation/report.h"
#include "platform/file_associations.h"

namespace sessiondeck {

namespace {

constexpr size_t kStoredElements = 6;

bool IsSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

VUnicodeString Trimmed(std::u16string_view text) {
    while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
    return VUnicodeString(text);
}

// A stored number; text that is not one reads as `fallback`, as a damaged
// value never stops the load.
int32_t ParseNumber(const VUnicodeString& text, int32_t fallback) {
    const std::string digits = text.ToUtf8();
    if (digits.empty()) return fallback;
    size_t used = 0;
    try {
        const long long value = std::stoll(digits, &used, 10);
        if (used != digits.size()) return fallback;
        return static_cast<int32_t>(value);
    } catch (const std::exception&) {
        return fallback;
    }
}

VUnicodeString Utf16(const std::string& text) {
    return VUnicodeString::FromUtf8(text);
}

}  // namespace

const char16_t* TransferTypeText(int transferType) {
    switch (transferType) {
        case kTransferTypeAscii:
            return u"ASCII";
        case kTransferTypeBinary:
            return u"Binary";
        case kTransferTypeGlobal:
            return u"Use global transfer type";
        case kTransferTypePrompt:
            return u"Prompt for type";
        default:
            return nullptr;
    }
}

const char16_t* RemoteOpenActionText(int action) {
    switch (action) {
        case kRemoteOpenOpen:
            return u"Open";
        case kRemoteOpenSaveToDisk:
            return u"Save to disk";
        case kRemoteOpenPrompt:
            return u"Prompt for open action";
        default:
            return nullptr;
    }
}

VStringArray FileTypeDefinition::ToStoredForm() const {
    VUnicodeString joined;
    for (size_t i = 0; i < extensions.GetSize(); ++i) {
        if (i) joined += u'|';
        joined += extensions[i];
    }
    return VStringArray{application,
                        FormatMessageText(u"%1!d!", iconIndex),
                        iconFile,
                        joined,
                        FormatMessageText(u"%1!d!", remoteOpenAction),
                        FormatMessageText(u"%1!d!", transferType)};
}

FileTypeDefinition FileTypeDefinition::FromStoredForm(const VUnicodeString& name,
                                                      const VStringArray& form) {
    FileTypeDefinition definition;
    definition.typeName = name;
    if (form.GetSize() < kStoredElements) return definition;
    definition.application = form[0];
    definition.iconIndex = ParseNumber(form[1], 0);
    definition.iconFile = form[2];
    std::u16string_view joined = form[3];
    while (!joined.empty()) {
        const size_t bar = joined.find(u'|');
        const std::u16string_view extension = joined.substr(0, bar);
        if (!extension.empty()) definition.extensions.Add(VUnicodeString(extension));
        if (bar == std::u16string_view::npos) break;
        joined.remove_prefix(bar + 1);
    }
    definition.remoteOpenAction = ParseNumber(form[4], kRemoteOpenPrompt);
    definition.transferType = ParseNumber(form[5], kTransferTypeGlobal);
    return definition;
}

bool DefinitionFromAssociation(const platform::FileAssociations& associations,
                               const char16_t* extension, FileTypeDefinition& definition) {
    platform::FileAssociation association;
    const std::string name = VUnicodeString(extension).ToUtf8();
    if (!associations.Find(name, association)) return false;
    definition = FileTypeDefinition{};
    definition.extensions.Add(Utf16(association.extension));
    // The type's own description names it; a type without one is named by its
    // class, and an extension without a class after itself ("DAT File").
    if (!association.description.empty()) {
        definition.typeName = Utf16(association.description);
    } else if (!association.className.empty()) {
        definition.typeName = Utf16(association.className);
    } else {
        std::string upper = association.extension;
        for (char& c : upper) {
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        }
        definition.typeName = Utf16(upper + " File");
    }
    definition.application = Utf16(association.application);
    definition.iconFile = Utf16(association.iconFile);
    definition.iconIndex = association.iconIndex;
    if (association.contentType.empty()) {
        definition.transferType = kTransferTypeGlobal;
    } else if (association.textual ||
               EqualsNoCase(std::u16string_view(Utf16(association.contentType)).substr(0, 4),
                            u"text")) {
        definition.transferType = kTransferTypeAscii;
    } else {
        definition.transferType = kTransferTypeBinary;
    }
    return true;
}

FileTypeManager::FileTypeManager(VProfileStoreFactory* factory) : m_factory(factory) {
    const platform::FileAssociations associations;
    bool exists = false;
    {
        VProfileStore store(true, m_factory);
        exists = store.GetRootKey().SubKeyExists(kFileTypesKeyName);
        if (exists) {
            VProfileKey key(store.GetRootKey(), kFileTypesKeyName);
            Load(key, associations);
        }
    }
    if (!exists) {
        Seed(associations);
        StoreDefinitions();
    }
}

FileTypeManager::~FileTypeManager() {
    RemoveAll();
}

void FileTypeManager::RemoveAll() {
    for (FileTypeDefinition* definition : m_definitions) delete definition;
    m_definitions.RemoveAll();
    m_extensionMap.RemoveAll();
    m_exeIndex = -1;
    m_icoIndex = -1;
    m_searchStart = 0;
}

void FileTypeManager::Load(VProfileKey& fileTypes, const platform::FileAssociations& associations) {
    VProfileKeyIterator values(fileTypes, true);
    VUnicodeString name;
    int kind = 0;
    while (values.NextValue(name, kind)) {
        VStringArray form;
        if (!fileTypes.QueryStringArray(name.c_str(), form)) continue;
        const FileTypeDefinition definition = FileTypeDefinition::FromStoredForm(name, form);
        AddType(&definition);
    }
    AddBuiltIns(associations, false);
}

void FileTypeManager::AddBuiltIns(const platform::FileAssociations& associations, bool withText) {
    FileTypeDefinition definition;
    if (DefinitionFromAssociation(associations, u"exe", definition)) {
        definition.application = u"%1";
        definition.transferType = kTransferTypeBinary;
        definition.remoteOpenAction = kRemoteOpenPrompt;
        m_exeIndex = AddType(&definition);
    }
    if (DefinitionFromAssociation(associations, u"ico", definition)) {
        definition.transferType = kTransferTypeBinary;
        definition.remoteOpenAction = kRemoteOpenOpen;
        m_icoIndex = AddType(&definition);
    }
    if (DefinitionFromAssociation(associations, u"dll", definition)) AddType(&definition);
    if (withText && DefinitionFromAssociation(associations, u"txt", definition))
        AddType(&definition);
}

void FileTypeManager::Seed(const platform::FileAssociations& associations) {
    AddBuiltIns(associations, true);
    for (const std::string& extension : associations.Extensions()) {
        FileTypeDefinition definition;
        if (DefinitionFromAssociation(associations, Utf16(extension).c_str(), definition))
            AddType(&definition);
    }
}

FileTypeDefinition* FileTypeManager::Find(int index) const {
    if (index < 0 || index >= GetDefinitionCount()) return nullptr;
    return m_definitions[static_cast<size_t>(index)];
}

const FileTypeDefinition* FileTypeManager::Definition(int index) const {
    return Find(index);
}

int FileTypeManager::FindFileTypeIndex(const char16_t* name, bool caseSensitive) const {
    if (!name) return -1;
    const std::u16string_view wanted(name);
    const int count = GetDefinitionCount();
    for (int step = 0; step < count; ++step) {
        const int index = (m_searchStart + step) % count;
        const VUnicodeString& typeName = m_definitions[static_cast<size_t>(index)]->typeName;
        if (caseSensitive ? typeName == wanted : typeName.EqualsNoCase(wanted)) return index;
    }
    return -1;
}

int FileTypeManager::FindIndex(const FileTypeDefinition* definition) const {
    return definition ? FindFileTypeIndex(definition->typeName.c_str(), false) : -1;
}

const FileTypeDefinition* FileTypeManager::FindExtension(const char16_t* extension) const {
    if (!extension) return nullptr;
    FileTypeDefinition* const* found = m_extensionMap.Find(FoldNoCase(extension));
    return found ? *found : nullptr;
}

bool FileTypeManager::IsExeIndex(int index) const {
    return Find(index) != nullptr && index == m_exeIndex;
}

int FileTypeManager::AddType(const FileTypeDefinition* definition) {
    if (!definition) return -1;
    const VUnicodeString name = Trimmed(definition->typeName);
    if (name.IsEmpty()) return -1;

    int index = FindFileTypeIndex(name.c_str(), false);
    FileTypeDefinition* target = Find(index);
    if (target) {
        // Binary wins over ASCII, and either over "no opinion": a type some of
        // whose extensions are binary must never be sent as text.
        if (definition->transferType == kTransferTypeBinary) {
            target->transferType = kTransferTypeBinary;
        } else if (definition->transferType == kTransferTypeAscii &&
                   target->transferType != kTransferTypeBinary) {
            target->transferType = kTransferTypeAscii;
        }
    } else {
        target = new (std::nothrow) FileTypeDefinition;
        if (!target) {
            VReportMessageParams report(kMsgWarningText);
            report.AddInsert(u"Failed to allocate memory for adding file type definition.");
            ReportMessage(kReportKindFileTypeMemory, report);
            return -1;
        }
        target->typeName = name;
        target->stored = true;
        target->iconFile = definition->iconFile;
        target->iconIndex = definition->iconIndex;
        target->application = definition->application;
        target->transferType = definition->transferType;
        target->remoteOpenAction = definition->remoteOpenAction;
        target->itemData = definition->itemData;
        index = static_cast<int>(m_definitions.Add(target));
    }
    for (const VUnicodeString& extension : definition->extensions) {
        const VUnicodeString key = FoldNoCase(extension);
        if (extension.IsEmpty() || m_extensionMap.Find(key)) continue;
        target->extensions.Add(extension);
        m_extensionMap.SetAt(key, target);
    }
    return index;
}

bool FileTypeManager::RemoveType(int index) {
    FileTypeDefinition* definition = Find(index);
    if (!definition) return false;
    for (const VUnicodeString& extension : definition->extensions) {
        m_extensionMap.RemoveKey(FoldNoCase(extension));
    }
    m_definitions.RemoveAt(static_cast<size_t>(index));
    delete definition;
    // Later definitions moved up one place; the remembered indices follow them.
    for (int* remembered : {&m_exeIndex, &m_icoIndex}) {
        if (*remembered == index) {
            *remembered = -1;
        } else if (*remembered > index) {
            --*remembered;
        }
    }
    if (m_searchStart >= GetDefinitionCount()) m_searchStart = 0;
    return true;
}

bool FileTypeManager::SetItemData(int index, int itemData) {
    FileTypeDefinition* definition = Find(index);
    if (definition) definition->itemData = itemData;
    return definition != nullptr;
}

bool FileTypeManager::SetTransferType(int index, int transferType) {
    FileTypeDefinition* definition = Find(index);
    if (definition) definition->transferType = transferType;
    return definition != nullptr;
}

bool FileTypeManager::SetRemoteFileOpenAction(int index, int action) {
    FileTypeDefinition* definition = Find(index);
    if (definition) definition->remoteOpenAction = action;
    return definition != nullptr;
}

bool FileTypeManager::SetApplication(int index, const char16_t* application) {
    FileTypeDefinition* definition = Find(index);
    if (definition) definition->application = VUnicodeString(application ? application : u"");
    return definition != nullptr;
}

bool FileTypeManager::SetIcon(int index, const char16_t* iconFile, int iconIndex) {
    FileTypeDefinition* definition = Find(index);
    if (!definition) return false;
    definition->iconFile = VUnicodeString(iconFile ? iconFile : u"");
    definition->iconIndex = iconIndex;
    return true;
}

bool FileTypeManager::RenameType(int index, const char16_t* name) {
    FileTypeDefinition* definition = Find(index);
    if (!definition || !name) return false;
    const VUnicodeString trimmed = Trimmed(name);
    if (trimmed.IsEmpty()) return false;
    if (trimmed == definition->typeName) return true;
    // Any definition of that name without regard to case refuses it, this one too: the store
    // may compare value names without regard to case, so a rename in case only could leave the
    // old value beside the new one, and the next load would merge them.
    if (FindFileTypeIndex(trimmed.c_str(), false) >= 0) return false;
    definition->typeName = trimmed;
    return true;
}

bool FileTypeManager::StoreDefinitions(VReportMessageParams* report) {
    VProfileStore store(false, m_factory);
    VProfileKey key(store.GetRootKey(), kFileTypesKeyName);
    bool written = key.IsWritable();
    for (const FileTypeDefinition* definition : m_definitions) {
        if (definition->stored)
            written &= key.SetStringArray(definition->typeName.c_str(), definition->ToStoredForm());
    }
    // Collect first: deleting while iterating would disturb the iteration.
    VStringArray stale;
    {
        VProfileKeyIterator values(key, true);
        VUnicodeString name;
        int kind = 0;
        while (values.NextValue(name, kind)) {
            if (FindFileTypeIndex(name.c_str(), false) < 0) stale.Add(name);
        }
    }
    for (const VUnicodeString& name : stale) written &= key.DeleteValue(name.c_str());
    // The folder backend writes when the handle closes; flushing now is how a failed write
    // reaches the caller.
    written &= key.Flush();
    if (!written && report) *report = key.GetReport();
    return written;
}

void FileTypeManager::RestoreDefaults() {
    RemoveAll();
    const platform::FileAssociations associations;
    Seed(associations);
}

void FileTypeManager::ReloadDefinitions() {
    RemoveAll();
    const platform::FileAssociations associations;
    VProfileStore store(true, m_factory);
    VProfileKey key(store.GetRootKey(), kFileTypesKeyName);
    Load(key, associations);
}

}  // namespace sessiondeck
