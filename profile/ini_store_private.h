// The INI backend's internals: its key, the key's value map and iterator; for the profile layer's
// own files and the tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "foundation/containers.h"
#include "foundation/report.h"
#include "foundation/unicode_string.h"
#include "platform/file_system.h"
#include "platform/store_folder.h"
#include "profile/ini_store.h"
#include "profile/ini_value_file.h"
#include "profile/profile_store.h"
#include "profile/security_descriptor.h"

namespace sessiondeck {

// ---- Keys ---------------------------------------------------------------------

// A key of the INI backend. Its values live in the value file P.ini beside
// the folder P that holds its sub-keys; they are read on first use and written
// back, whole, when the key is destroyed.
class VIniFileKey : public VProfilePrivateKey {
public:
    // The values of one key, in the order their names first appeared.
    //
    // Values read from a value file stay in the file's bytes, which the map
    // keeps, and are decoded only when asked for: reading a session's couple
    // of hundred values then costs no allocation per value, and loading every
    // session of a large tree was mostly such allocations. A value set
    // through the map is held as an object of its own. A deleted value keeps
    // its place, so that a value set again returns to it in the file.
    class Map {
    public:
        Map();
        Map(const Map&) = delete;
        Map& operator=(const Map&) = delete;

        // Reads a whole value file (any of the four encodings) into an empty map.
        VIniParseResult Parse(std::string bytes);
        // What a map that parsed `bytes` would answer to GetString for `name`, found by the
        // same parser without building the map: for a single question to a file, building
        // the map (every name copied and hashed) costs more than reading the file.
        static bool FindString(std::string_view bytes, std::u16string_view name,
                               VUnicodeString& value);

        // The position of `name` (exact, case-sensitive compare), if it has one.
        std::optional<size_t> Find(std::u16string_view name) const;
        // Stores `data` (null: deleted) under `name`, in the existing place or
        // appended, and marks the value as set through the map.
        void Set(std::u16string_view name, std::unique_ptr<VIniFileData> data);

        size_t GetSize() const { return m_entries.size(); }
        bool IsEmpty() const { return m_entries.empty(); }
        std::u16string_view GetName(size_t index) const;
        // False for a value deleted through the map.
        bool Exists(size_t index) const;
        // Whether the value was set or deleted through the map, not read.
        bool WasSet(size_t index) const { return m_entries[index].set; }
        // The value's kind; only for a value that exists.
        int GetKind(size_t index) const;
        // The getters of VIniFileData for the value at `index`: each answers
        // for its own kind only, and none for a deleted value.
        bool GetDword(size_t index, uint32_t& value) const;
        bool GetString(size_t index, VUnicodeString& value) const;
        bool GetBinary(size_t index, void* buffer, uint32_t& size) const;
        bool GetStringArray(size_t index, VStringArray& value) const;
        // The value as an object of its own, moved out when it was set through
        // the map (null for a deleted value).
        std::unique_ptr<VIniFileData> TakeValue(size_t index);
        // Appends the value's lines, UTF-8 encoded, to the file being built;
        // nothing for a deleted value.
        void WriteValue(size_t index, std::string& file) const;

    private:
        static constexpr int8_t kGone = -2;  // deleted through the map

        struct Entry {
            uint32_t nameStart = 0;  // in m_names
            uint32_t nameLength = 0;
            uint32_t hash = 0;
            int8_t kind = kGone;  // kValueKind*, or kGone
            bool set = false;     // set or deleted through the map, not read
            // Read values: the DWORD itself, or a binary value's byte count,
            // or a string array's element count.
            uint32_t number = 0;
            // Read values: a string's text, or the lines holding a binary
            // value's bytes or an array's elements, in m_source.
            uint32_t textStart = 0;
            uint32_t textLength = 0;
            std::unique_ptr<VIniFileData> data;  // values set through the map
        };

        template <class Char>
        VIniParseResult ParseText(std::basic_string_view<Char> text);
        // The entry for `name`, appended when there is none yet; `name` is
        // then added to m_names.
        Entry& EntryFor(std::u16string_view name);
        // The same for the name that ends m_names from `start`, which is
        // taken off again when it has an entry already.
        Entry& EntryForTail(size_t start);
        std::string_view Text(const Entry& entry) const;
        // The slot of `name` in m_slots: the one holding its entry, or the
        // free one where it would go.
        size_t SlotOf(std::u16string_view name, uint32_t hash) const;
        void GrowSlots();

        std::vector<Entry> m_entries;
        std::u16string m_names;  // every entry's name, one after the other
        // The file the read values are decoded from: UTF-8 or 8-bit text
        // (UTF-16 files are decoded as they are read).
        std::string m_source;
        bool m_sourceIsUtf8 = true;
        // Open addressing over the entries' positions, so that lookups and
        // loading stay linear however many values a file holds, without an
        // allocation per value. A slot holds a position + 1, or 0 when free;
        // entries are never removed (a deleted value keeps its entry), so
        // there are no tombstones. The table is at most half full.
        std::vector<uint32_t> m_slots;
        // Where Find looks first: the entry after the one it found last.
        mutable size_t m_next = 0;
    };

    class Iterator : public VProfilePrivateKeyIterator {
    public:
        Iterator(VIniFileKey& key, bool values);
        bool NextValue(VUnicodeString& name, int& kind) override;
        bool Next(VUnicodeString& name) override;
        std::optional<bool> LastHasOwnValues() const override;

    private:
        VIniFileKey& m_key;
        bool m_values;  // false: sub-keys, which NextValue gives as kValueKindSubKey
        VStringArray m_names;
        std::vector<bool> m_hasValues;  // sub-keys: a value file of m_names[i]'s name was seen
        size_t m_next = 0;
        // The on-disk stems of the regular value files the listing saw; the key sees them
        // only while this iterator lives (see m_listedValueFiles).
        std::shared_ptr<const std::unordered_set<std::string>> m_valueFiles;
    };

    // The root key of a configuration folder (a native path, not empty: the
    // store answers an empty folder with a key that holds nothing).
    VIniFileKey(const VUnicodeString& folder, bool readOnly, const VSecurityDescriptor* descriptor);
    ~VIniFileKey() override;
    VIniFileKey(const VIniFileKey&) = delete;
    VIniFileKey& operator=(const VIniFileKey&) = delete;

    bool QuerySecurityDescriptor(const char16_t* name, VSecurityDescriptor& descriptor) override;
    bool QueryStringArray(const char16_t* name, VStringArray& value) override;
    bool QueryBinary(const char16_t* name, void* buffer, uint32_t& size) override;
    bool QueryString(const char16_t* name, VUnicodeString& value) override;
    bool QueryOneString(const char16_t* name, VUnicodeString& value) override;
    bool QueryDword(const char16_t* name, uint32_t& value) override;
    bool QueryStringByName(const VUnicodeString& name, VUnicodeString& value) override;
    bool QueryDwordByName(const VUnicodeString& name, uint32_t& value) override;
    bool SetSecurityDescriptor(const char16_t* name,
                               const VSecurityDescriptor& descriptor) override;
    bool SetStringArray(const char16_t* name, const VStringArray& value) override;
    bool SetBinary(const char16_t* name, const void* data, uint32_t size) override;
    bool SetString(const char16_t* name, const char16_t* value) override;
    bool SetDword(const char16_t* name, uint32_t value) override;
    bool DeleteValue(const char16_t* name) override;
    bool DeleteSubKey(const char16_t* name) override;
    bool SubKeyExists(const char16_t* name) override;
    bool IsWritable() override;
    bool IsHidden(bool folder) override;
    bool SetKeySecurity(const VSecurityDescriptor& descriptor) override;
    VReportMessageParams& GetReport() override { return m_report; }
    VProfilePrivateKey* OpenSubKey(const char16_t* name,
                                   const VSecurityDescriptor* descriptor) override;
    VProfilePrivateKeyIterator* CreateIterator(bool values) override;
    void Prefetch() override;
    bool Flush() override;
    void SetCreateExclusive() override { m_createExclusive = true; }
    void SetUpdateOnly() override { m_updateOnly = true; }
    bool MoveSubKey(const char16_t* from, const char16_t* to) override;
    bool CopySubKey(const char16_t* from, const char16_t* to) override;

    // The key's path in store form: the configuration folder, then the key
    // names joined with "\".
    const VUnicodeString& GetPath() const { return m_path; }
    // Where reading the value file stopped (EndOfFile before it was read).
    const VIniParseResult& GetLoadResult() const { return m_loadResult; }

    // Whether a sub-key name stays inside the store: every "\"-separated
    // component is non-empty, not "." or "..", and holds no "/" or NUL.
    static bool IsValidSubKeyName(std::u16string_view name);

    // Reads a whole value file (any of the four encodings) into an empty `map`.
    static VIniParseResult ParseValueFile(std::string_view bytes, Map& map);
    // The bytes of a value file for `map`: UTF-8 mark, then the DWORD, string
    // and binary values in map order, then the string arrays in map order.
    static std::string BuildValueFile(const Map& map);

private:
    VIniFileKey(VUnicodeString path, size_t folderLength, bool readOnly,
                const VSecurityDescriptor* descriptor,
                std::shared_ptr<platform::StoreFolder> folder);

    // The root's own value file lies beside the configuration folder, outside
    // it; every other key's files lie inside and are reached through m_folder.
    bool IsRoot() const { return m_path.Length() == m_folderLength; }
    // The path of this key (or of its sub-key) below the configuration
    // folder, "/"-separated, with `suffix` appended.
    std::string RelativePath(std::u16string_view subKey = {}, std::string_view suffix = {}) const;
    // Records a failed write in the report; returns false.
    bool Fail(int error);
    // 0, or the errno of the write that failed.
    int WriteBack();
    int WriteValueFile(const std::string& bytes,
                       const platform::StoreFolder::ReplaceOptions& options);
    int MoveOrCopy(const char16_t* from, const char16_t* to, bool copy);

    Map& LoadedMap();
    // Reads the key's value file into `bytes` (up to the size limit), noting its status when
    // none was known yet.
    platform::ReadResult ReadValueFile(std::string& bytes,
                                       std::optional<platform::FileIdentity>* identity);
    bool QueryDword(std::u16string_view name, uint32_t& value);
    const platform::FileStatus& FileStatus();
    // The native path of P (or of P\subKey), with `suffix` appended.
    std::string NativePath(std::u16string_view subKey = {}, std::string_view suffix = {}) const;
    std::filesystem::path DiskPath(std::u16string_view subKey = {}) const;
    std::filesystem::path ValueFilePath() const;
    bool Store(const char16_t* name, std::unique_ptr<VIniFileData> data);

    VUnicodeString m_path;       // P, in store form
    std::unique_ptr<Map> m_map;  // created on first use
    bool m_modified = false;
    bool m_readOnly;
    std::optional<platform::FileStatus> m_fileStatus;  // of P.ini, taken once
    // While an iterator lists this key's sub-keys: the stems of the regular "NAME.ini" files
    // the listing saw. A sub-key opened meanwhile learns from it whether it is a session
    // without a status call of its own, which would double the system calls of listing a
    // folder of ten thousand sessions.
    std::weak_ptr<const std::unordered_set<std::string>> m_listedValueFiles;
    // Set on a sub-key opened during a listing: whether its value file was listed.
    std::optional<bool> m_listedAsSession;
    // Of the value file this handle's map was read from; nullopt when none was read.
    std::optional<platform::FileIdentity> m_loadedIdentity;
    VReportMessageParams m_report;
    // Kept and handed to sub-keys. POSIX has no descriptor to apply to a file
    // or folder: the mode bits (0600 files, 0700 folders) stand in for it.
    std::unique_ptr<VSecurityDescriptor> m_descriptor;
    // How many leading characters of m_path are the configuration folder: a
    // native path, so its own characters (a backslash included) are never
    // mapped to "/" as the key names' separators are.
    size_t m_folderLength;
    VIniParseResult m_loadResult;
    std::shared_ptr<platform::StoreFolder> m_folder;
    // This key's folder, opened once it hands out sub-keys, and shared with
    // them: a listing that classifies a thousand children then resolves the
    // folder's path once instead of once per child. A sub-key opened by one
    // name reads and examines its value file through its parent's folder
    // (m_parentFolder, m_leaf); writes always resolve the path again.
    platform::SharedDescriptor OwnFolder();
    platform::SharedDescriptor m_ownFolder;
    platform::SharedDescriptor m_parentFolder;
    std::string m_leaf;
    bool m_createExclusive = false;
    bool m_updateOnly = false;
};

}  // namespace sessiondeck
