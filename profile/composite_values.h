// Composite settings: small structures kept in one stored value (list view and frame states, byte
// blocks, lists of lines).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/containers.h"
#include "foundation/unicode_string.h"
#include "profile/profile_data.h"

namespace sessiondeck {

// A structure stored as a string. The structure is what callers read and
// change; its text form is made from it whenever change tracking looks, so
// the text is what Save, IsModified, Checkpoint and Rollback compare, and a
// stored text is written again only when the structure's text changes.
//
// Loading: a stored text that parses sets the structure, and the setting then
// holds the structure's own text (so spacing or leading zeros in a stored text
// do not count as a change). A stored text that does not parse is ignored
// like a missing one: the default applies and counts as unsaved. Defaults are
// given in the text form; a default that does not parse gives the empty
// structure.
class SESSIONDECK_API VProfileTextState : public VProfile2<VUnicodeString, VProfileSz> {
public:
    using Base = VProfile2<VUnicodeString, VProfileSz>;

    bool Init(VProfileKey* key);
    bool Init(VProfileKey* key, const VUnicodeString& defaultText);
    bool Init(VProfileKey* key, const VUnicodeString& name, const VUnicodeString& defaultText);

    bool Parse(const VString& text, IParser* parser, IReportMessageParams* report) override;
    void Save(VProfileKey* key, bool force) override;
    bool IsModified() const override;
    void Checkpoint() override;
    void Rollback() override;
    // Takes the structure of a setting of the same type; others are ignored.
    void ApplyDelta(const VProfileData* other) override;

    // The structure's text form, as it would be stored now.
    VUnicodeString Format() const { return FormatState(); }
    // Sets the structure from its text form, as an edit (the checkpoint
    // stays); false, with nothing changed, for a text not in the form.
    bool SetText(std::u16string_view text) override;
    SettingKind Kind() const override { return SettingKind::kRecord; }
    std::optional<std::u16string> Text() const override { return FormatState(); }

protected:
    virtual std::u16string FormatState() const = 0;
    // Sets the structure from a text; false, with the structure unchanged,
    // when the text is not in the form.
    virtual bool ParseState(std::u16string_view text) = 0;
    virtual void ResetState() = 0;

    bool LoadBinaryData(VProfileKey* key) override;

private:
    // Makes the structure match the string after the string was set as a whole.
    void StateFromValue();
};

// The layout and sorting of a list view: five header numbers and one group of
// three numbers per column. The meaning of the numbers belongs to the view
// that owns the list; h5 is the number of columns and is kept equal to
// columns.GetSize() by whoever changes either.
//
// Text: "h1,h2,h3,h4,h5" then ",c1,c2,c3" per column, in decimal (h3
// unsigned). Reading requires the five header numbers, each in its type's
// range and h5 not negative; what follows them may be anything. Column groups
// are then read, up to h5 of them, as long as whole groups in range follow: a
// text with fewer groups than h5 says loads the groups it has and sets h5 to
// their number, and groups beyond h5 are ignored.
class SESSIONDECK_API VProfileListViewState : public VProfileTextState {
public:
    struct ColumnInfo {
        int32_t c1 = 0;
        uint8_t c2 = 0;
        int32_t c3 = 0;
        bool operator==(const ColumnInfo&) const = default;
    };

    int32_t h1 = 0;
    int32_t h2 = 0;
    uint32_t h3 = 0;
    int32_t h4 = 0;
    int32_t h5 = 0;
    VArray<ColumnInfo> columns;

protected:
    std::u16string FormatState() const override;
    bool ParseState(std::u16string_view text) override;
    void ResetState() override;
};

// The state of an explorer-style frame: three numbers, "f1,f2,f3". Reading
// requires all three in range; what follows them may be anything.
class SESSIONDECK_API VProfileExplorerFrameState : public VProfileTextState {
public:
    int32_t f1 = 0;
    int32_t f2 = 0;
    int32_t f3 = 0;

protected:
    std::u16string FormatState() const override;
    bool ParseState(std::u16string_view text) override;
    void ResetState() override;
};

// A byte block of any size, stored as a binary value. A block that has never
// been loaded, saved or checkpointed has no checkpoint copy; it then counts as
// modified exactly when it holds data. A missing value loads as the empty
// block without a checkpoint copy and is not unsaved: an empty block and no
// value mean the same, so nothing is written until there is data.
class SESSIONDECK_API VProfileBlob : public VProfileData {
public:
    using value_type = std::vector<uint8_t>;

    // Loads the stored block; false (and nothing changed) when there is none.
    bool Init(VProfileKey* key);
    // Loads the stored block, or empties the block and drops the checkpoint copy.
    bool Init(VProfileKey* key, const VUnicodeString& name);
    // For member tables: as above, but a missing value gives the default
    // bytes, still without a checkpoint copy, so a default with data counts as
    // modified and is written by the next save.
    bool Init(VProfileKey* key, const VUnicodeString& name, const value_type& defaultBytes);

    void Save(VProfileKey* key, bool force) override;
    bool IsModified() const override;
    void Checkpoint() override;
    void Rollback() override;
    void ApplyDelta(const VProfileData* other) override;

    // Lower-case hexadecimal, two digits a byte.
    SettingKind Kind() const override { return SettingKind::kBytes; }
    std::optional<std::u16string> Text() const override;
    bool SetText(std::u16string_view text) override;

    const std::vector<uint8_t>& GetData() const { return m_data; }
    // False, with the block unchanged, for a block larger than the store's
    // 32-bit sizes.
    bool SetData(const void* data, size_t size);
    void Empty() { m_data.clear(); }
    bool HasCheckpoint() const { return m_hasCheckpoint; }

private:
    std::vector<uint8_t> m_data;
    std::vector<uint8_t> m_checkpoint;
    bool m_hasCheckpoint = false;
};

// A list of lines stored as a string array. Loading from a key always starts
// from the empty list, which is also the default.
class SESSIONDECK_API VProfileMultiLineString : public VProfile2<VStringArray, VProfileMultiSz> {
public:
    using Base = VProfile2<VStringArray, VProfileMultiSz>;

    VProfileMultiLineString& operator=(const VStringArray& lines) {
        Value() = lines;
        return *this;
    }

    bool Init(VProfileKey* key);
    bool Init(VProfileKey* key, const VUnicodeString& name);
    // For member tables, whose entries always pass a default: the list is
    // emptied first here too, then loaded or set to the default.
    bool Init(VProfileKey* key, const VUnicodeString& name, const VStringArray& defaultLines);
};

}  // namespace sessiondeck
