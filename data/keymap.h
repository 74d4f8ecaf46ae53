// Key maps: what each key press does, the built-in maps of every emulation, and key map files.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "foundation/export.h"
#include "foundation/report.h"
#include "foundation/unicode_string.h"
#include "profile/profile_data.h"
#include "profile/profile_store.h"

namespace sessiondeck {

// A key index: the virtual-key code in the low 8 bits plus these modifier bits.
inline constexpr int kKeyExtended = 0x100;
inline constexpr int kKeyCtrl = 0x200;
inline constexpr int kKeyShift = 0x400;
inline constexpr int kKeyAlt = 0x800;
inline constexpr int kKeymapSlots = 0x1000;

// Function codes that take the slot's value.
inline constexpr int kKeyFunctionNone = 0;
inline constexpr int kKeyFunctionSend = 1;    // sends the value
inline constexpr int kKeyFunctionRun = 2;     // runs the script the value names
inline constexpr int kKeyFunctionLaunch = 3;  // starts the program the value names

class IKeymap {
public:
    virtual ~IKeymap() = default;
    virtual int GetKeyCode(int index) const = 0;
    virtual VUnicodeString GetKeyValue(int index) const = 0;
    virtual void SetKeyCode(int index, int code) = 0;
    virtual void SetKeyValue(int index, const VUnicodeString& value) = 0;
    virtual bool Load(const VUnicodeString& fileName, VReportMessageParams& report) = 0;
    virtual bool Save(const VUnicodeString& fileName, bool unicode) = 0;
};

class SESSIONDECK_API Keymap : public IKeymap {
public:
    Keymap();
    Keymap(const Keymap& other);
    Keymap& operator=(const Keymap& other);
    ~Keymap() override;

    // The slot's entry or, when it has none, the fallback map's answer. An
    // index outside the 4096 slots has no entry and changes nothing.
    int GetKeyCode(int index) const override;
    VUnicodeString GetKeyValue(int index) const override;
    void SetKeyCode(int index, int code) override;
    void SetKeyValue(int index, const VUnicodeString& value) override;

    // Reads a key map file onto this map: the file as named, else the one of
    // that name in "keymaps" beside the executable. Damaged lines are skipped
    // and listed in `report` (a warning); from the third one on the file is
    // refused (an error, false). After success the default map is the fallback.
    bool Load(const VUnicodeString& fileName, VReportMessageParams& report) override;
    // Writes every slot with an entry, in index order, as UTF-16 with a
    // byte-order mark (`unicode`) or in the 8-bit code page. False when the
    // file cannot be written; an existing file is then left as it was.
    bool Save(const VUnicodeString& fileName, bool unicode) override;

    // Whether the file last loaded had comment lines (which Save drops).
    bool ContainsComments() const { return m_containsComments; }

    // The function code table: code for a name (exact case; -1 unknown), name
    // for a code (empty unknown), and the rows in table order.
    static int LookupCodeByName(const VUnicodeString& name);
    static VUnicodeString LookupNameByCode(int code);
    static int GetCodeByIndex(int row);             // -1 outside the table
    static VUnicodeString GetNameByIndex(int row);  // empty outside the table
    static int GetFunctionCount();

    // Virtual-key names ("VK_F1"), and "0x%X" for codes without one.
    static VUnicodeString VirtualKeyName(int virtualKey);
    // A virtual-key name (any case), or -1.
    static int VirtualKeyByName(std::u16string_view name);

    // The built-in maps. Each starts from an empty map; `attachDefault` gives
    // it a default map as fallback (otherwise it has none).
    void LoadDefault();
    // The built-in map of that name (any case), with the default map behind it where the map
    // has one; false, loading nothing, for a name that is no built-in map's.
    bool LoadBuiltin(std::u16string_view name);
    // The names LoadBuiltin knows, in the order the key map choice lists them ("Mardell", the
    // one a host may leave out, last).
    static std::vector<const char16_t*> BuiltinNames();
    void LoadVT100(bool attachDefault, bool pfKeysOnKeypad);
    void LoadVT220(bool attachDefault);
    void LoadMardell();
    void LoadLinux(bool attachDefault);
    void LoadSCOANSI(bool attachDefault);
    void LoadWyse50(bool attachDefault);
    void LoadWyse60(bool attachDefault) { LoadWyse50(attachDefault); }
    void LoadXterm(bool attachDefault);

    // Empties every slot and drops the fallback.
    void Clear();
    // Index and contents equality of the slots (the fallback is not compared).
    bool SameEntries(const Keymap& other) const;
    friend bool operator==(const Keymap& a, const Keymap& b) { return a.SameEntries(b); }

    // The entries as lines of a key map file, in index order.
    std::vector<std::u16string> EntryLines() const;
    // Reads lines of a key map file (numbered from 1) onto the map and returns
    // the error lines of the damaged ones, stopping once `maxErrors` are found.
    std::vector<std::u16string> ReadLines(const std::vector<std::u16string_view>& lines,
                                          size_t maxErrors);

private:
    void Set(int index, int code);
    void Send(int index, std::u16string_view value);
    void AttachDefault(bool attach);

    std::vector<int> m_codes;
    std::vector<VUnicodeString> m_values;
    std::unique_ptr<Keymap> m_fallback;
    bool m_containsComments = false;
};

// The setting through which a session holds its own key map ("Keymap v2"),
// stored as a string list of the lines a key map file would hold for it. It
// behaves as the other settings do (checkpoint, rollback, save only when
// changed); it is not a VProfile2 because a key map's own Load and Save
// (files) would clash with the storage policy's.
class SESSIONDECK_API ProfileKeymap : public VProfileData {
public:
    using value_type = Keymap;  // what a record's member table defaults it with

    ProfileKeymap() = default;
    ProfileKeymap& operator=(const Keymap& map) {
        m_value = map;
        return *this;
    }

    // Loads the stored map (a damaged entry is dropped, the rest kept); false
    // and nothing changed when there is none.
    bool Init(VProfileKey* key);
    // Loads the stored map or takes `defaultValue`, which then counts as unsaved.
    bool Init(VProfileKey* key, const Keymap& defaultValue);
    bool Init(VProfileKey* key, const VUnicodeString& name, const Keymap& defaultValue) {
        SetName(name);
        return Init(key, defaultValue);
    }

    const Keymap& Get() const { return m_value; }
    Keymap& Value() { return m_value; }

    void Save(VProfileKey* key, bool force) override;
    bool IsModified() const override { return !(m_value == m_prev); }
    void Checkpoint() override;
    void Rollback() override { m_value = m_prev; }
    void ApplyDelta(const VProfileData* other) override;

private:
    Keymap m_value;
    Keymap m_prev;
};

}  // namespace sessiondeck
