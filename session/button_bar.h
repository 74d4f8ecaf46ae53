// Button bars: UserButtonMap, one named bar of ten user buttons, and the bars kept under
// "ButtonBar".
#pragma once

#include "foundation/containers.h"
#include "foundation/export.h"
#include "foundation/unicode_string.h"
#include "foundation/unknown.h"
#include "profile/profile_data.h"

namespace sessiondeck {

// Every button bar is a string-array value of this key, named by the bar.
inline constexpr const char16_t* kButtonBarKeyName = u"ButtonBar";
// The bar a session shows unless it names another; always offered.
inline constexpr const char16_t* kDefaultButtonBarName = u"Default";

// One bar. The stored value is one line per button; the parsed buttons are
// kept beside it. A line is four fields, each followed by a comma: the
// function's name in the key map vocabulary, the second, third and fourth
// texts. Commas and backslashes inside a field are preceded by a backslash,
// and a line break (CR LF) in the second text is written as \r\n.
class SESSIONDECK_API UserButtonMap : public VProfile2<VStringArray, VProfileMultiSz>,
                                      public VUnknown<IVUnknown> {
public:
    static constexpr int kItemCount = 10;

    struct Item {
        int function = 0;      // a key map function code
        VUnicodeString text1;  // held in memory only
        VUnicodeString text2;  // may hold line breaks
        VUnicodeString text3;
        VUnicodeString text4;
        friend bool operator==(const Item&, const Item&) = default;
    };

    UserButtonMap(VProfileKey* key, const VUnicodeString& name);
    ~UserButtonMap() override;

    // Loads the bar `name` from `key` (no value: no lines) and parses line i
    // into button i. A line that does not parse (not four fields, or a
    // function name the vocabulary lacks) leaves an empty button in its
    // place; lines beyond the tenth are kept in the value but not parsed.
    virtual bool Init(VProfileKey* key, const char16_t* name);

    int GetCount() const { return kItemCount; }
    // An index outside the buttons raises VArray's OutOfRange.
    Item& GetAt(int index) { return m_items[static_cast<size_t>(index)]; }
    Item& operator[](int index) { return GetAt(index); }
    // Replaces the button and rebuilds the stored lines from all ten buttons;
    // false, with nothing changed, for an index outside 0 to 9.
    bool SetItem(int index, const Item& item);

private:
    // A function code without a name in the vocabulary is written with an
    // empty name, which reads back as an empty button.
    static VUnicodeString ItemToString(const Item& item);
    static bool StringToItem(const VUnicodeString& line, Item& item);

    VArray<Item> m_items;
};

// The store operations the session database offers for the bars. Each opens
// its own store (through `factory` when given, else the host's), works and
// closes it.

// The stored bars' names in the store's value order, with "Default" appended
// when no bar has that name. The name is compared without regard to case, so
// that a bar stored as "default" is not listed beside a second "Default" that
// the registry store would read as the same value (the INI store compares
// names exactly).
SESSIONDECK_API VStringArray GetButtonBarNames(VProfileStoreFactory* factory = nullptr);
// A new bar (one reference, the caller's) loaded from the store; a bar that
// is not stored comes back with ten empty buttons.
SESSIONDECK_API UserButtonMap* GetButtonMap(const VUnicodeString& name,
                                            VProfileStoreFactory* factory = nullptr);
// Writes the bar's lines under its name when they changed or were never
// stored. False for a null bar, an empty name or a store that is not writable.
SESSIONDECK_API bool SaveButtonMap(UserButtonMap* map, VProfileStoreFactory* factory = nullptr);
// Removes the bar's value. False when the store refused or had no such bar.
SESSIONDECK_API bool DeleteButtonMap(const char16_t* name, VProfileStoreFactory* factory = nullptr);

}  // namespace sessiondeck
