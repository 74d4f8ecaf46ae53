// The key list of Session Options' "Mapped Keys" page without a toolkit: the keys the session's
// key map maps, mapping a key to a function or a text, removing a mapping, and handing the map
// to the session when the dialog ends with OK.
//
// Which map a session uses. A session holds its own map in "Keymap v2" (`ProfileKeymap`). Every
// saved session stores that value, an empty list when it never had a map of its own, so an empty
// own map means "none": the session then uses the built-in map that "Keymap Name" names (an
// unknown name, or "Custom", which names a key map file, counts as the default map). The first
// change to such a session copies that built-in map, with the default map's keys it falls back
// on, into the session's own map; "Keymap Name" keeps the name the copy came from. Removing
// every key of an own map therefore hands the session back to that built-in map.
//
// Following "Current keymap". The page's list is made when the dialog opens; when the user
// names another map on the page while the dialog is open, the list shows that map the next time
// the page comes on show (FollowKeymapName), as long as the list still shows a built-in map the
// user has not changed. Edits already made on the list are kept (they are the user's work and
// the name alone does not say to drop them), and a session's own map is what the session uses
// whatever the name says, so it stays on show too.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "data/keymap.h"
#include "foundation/prompt.h"

namespace sessiondeck {

class TerminalConfig;

// Asked before a mapping replaces another; "%s" stands for the key's name.
inline constexpr const char16_t* kKeyAlreadyMappedQuestion =
    u"%s is already mapped\n\nDo you want to replace that mapping?";
inline constexpr const char16_t* kKeyValueMissing =
    u"Enter the text to send, or the script or program to start.";
inline constexpr const char16_t* kKeyValueHasLineBreak =
    u"The text of a mapped key must fit on one line.";
inline constexpr const char16_t* kKeyUnknown = u"Choose a key and a function from the lists.";

// One listed key: its slot, its name with modifiers ("Ctrl+Shift+VK_F1") and what it does, as a
// key map file writes it ("\"text\"", "RUN(\"script\")", "MENU_COPY").
struct MappedKeyRow {
    int index = 0;
    std::u16string key;
    std::u16string action;
};

class MappedKeysModel {
public:
    enum class MapResult { kMapped, kKept, kRefused };

    // `caption` titles the messages; a `readOnly` model changes nothing.
    MappedKeysModel(TerminalConfig& terminal, IPrompt& prompt, std::u16string caption,
                    bool readOnly);

    // The mapped keys in slot order.
    const std::vector<MappedKeyRow>& Rows() const { return m_rows; }
    // Whether the list shows the session's own map; otherwise it shows the built-in map named
    // by BuiltinName() until the first change.
    bool OwnMap() const { return m_builtinName.empty(); }
    const std::u16string& BuiltinName() const { return m_builtinName; }
    bool ReadOnly() const { return m_readOnly; }
    // Whether the list differs from what the session held when the page opened.
    bool Changed() const { return m_changed; }

    // As the page comes on show: a list still showing an unchanged built-in map shows the one
    // "Keymap Name" names now. True when the list changed.
    bool FollowKeymapName();

    // The key names the library knows, sorted, and the functions a key can do (the library's
    // table without "NONE", in table order).
    static std::vector<std::u16string> KeyNames();
    static std::vector<std::u16string> FunctionNames();
    // Whether the function takes a text (SEND, RUN, LAUNCH).
    static bool TakesValue(std::u16string_view function);
    // The slot of a named key with modifiers; -1 for a name the library does not know.
    static int KeyIndex(std::u16string_view keyName, bool ctrl, bool shift, bool alt,
                        bool extended);
    // "Alt+Ctrl+Shift+Ext+VK_F1": the modifiers in the order key map files write them.
    static std::u16string KeyLabel(int index);

    // Maps the key at `index` to `function` (with `value` for the functions that take one).
    // A key mapped already is replaced only when the user answers Yes to
    // kKeyAlreadyMappedQuestion; an unknown key or function, or a missing or multi-line value,
    // is refused with a message.
    MapResult MapKey(int index, std::u16string_view function, std::u16string_view value);
    // Removes the mapping of the listed row; false for a row that is not listed.
    bool Remove(std::size_t row);

    // OK: the session's own map becomes the list (nothing happens when it did not change). The
    // caller saves the session, as for every other page.
    void Apply();

private:
    void Relist();
    // Shows the built-in map `name` names (an unknown name: the default map).
    void ShowBuiltin(std::u16string name);

    TerminalConfig& m_terminal;
    IPrompt& m_prompt;
    std::u16string m_caption;
    bool m_readOnly;
    bool m_changed = false;
    std::u16string m_builtinName;
    Keymap m_map;
    std::vector<MappedKeyRow> m_rows;
};

}  // namespace sessiondeck
