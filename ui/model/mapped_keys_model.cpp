// The Mapped Keys page's key list: reading the session's map (or the built-in one it uses),
// the edits, and handing the result to the session on OK.
#include "ui/model/mapped_keys_model.h"

#include <algorithm>

#include "foundation/message_format.h"
#include "session/terminal_config.h"
#include "ui/model/warning.h"

namespace sessiondeck {

namespace {

constexpr int kKeyModifiers = kKeyExtended | kKeyCtrl | kKeyShift | kKeyAlt;

// What a built-in map does for every key, its fallback's keys included, as a map of its own:
// the session's copy must not depend on a fallback it does not store.
Keymap Flattened(const Keymap& map) {
    Keymap flat;
    for (int index = 0; index < kKeymapSlots; ++index) {
        const int code = map.GetKeyCode(index);
        if (code == kKeyFunctionNone) continue;
        flat.SetKeyCode(index, code);
        if (code <= kKeyFunctionLaunch) flat.SetKeyValue(index, map.GetKeyValue(index));
    }
    return flat;
}

bool HasEntries(const Keymap& map) {
    return !map.EntryLines().empty();
}

}  // namespace

MappedKeysModel::MappedKeysModel(TerminalConfig& terminal, IPrompt& prompt, std::u16string caption,
                                 bool readOnly)
    : m_terminal(terminal), m_prompt(prompt), m_caption(std::move(caption)), m_readOnly(readOnly) {
    if (HasEntries(terminal.keymap.Get())) {
        m_map = terminal.keymap.Get();
        Relist();
    } else {
        ShowBuiltin(terminal.keymapName.Get().str());
    }
}

void MappedKeysModel::ShowBuiltin(std::u16string name) {
    Keymap builtin;
    if (!builtin.LoadBuiltin(name)) {
        builtin.LoadDefault();
        name = u"Default";
    }
    m_builtinName = std::move(name);
    m_map = Flattened(builtin);
    Relist();
}

bool MappedKeysModel::FollowKeymapName() {
    if (OwnMap() || m_changed) return false;
    const std::u16string before = m_builtinName;
    ShowBuiltin(m_terminal.keymapName.Get().str());
    return m_builtinName != before;
}

std::vector<std::u16string> MappedKeysModel::KeyNames() {
    std::vector<std::u16string> names;
    for (int key = 0; key <= 0xFF; ++key) {
        std::u16string name = Keymap::VirtualKeyName(key).str();
        if (!name.starts_with(u"0x")) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::u16string> MappedKeysModel::FunctionNames() {
    std::vector<std::u16string> names;
    for (int row = 0; row < Keymap::GetFunctionCount(); ++row) {
        if (Keymap::GetCodeByIndex(row) != kKeyFunctionNone)
            names.push_back(Keymap::GetNameByIndex(row).str());
    }
    return names;
}

bool MappedKeysModel::TakesValue(std::u16string_view function) {
    const int code = Keymap::LookupCodeByName(VUnicodeString(function));
    return code >= kKeyFunctionSend && code <= kKeyFunctionLaunch;
}

int MappedKeysModel::KeyIndex(std::u16string_view keyName, bool ctrl, bool shift, bool alt,
                              bool extended) {
    const int key = Keymap::VirtualKeyByName(keyName);
    if (key < 0) return -1;
    return key | (ctrl ? kKeyCtrl : 0) | (shift ? kKeyShift : 0) | (alt ? kKeyAlt : 0) |
           (extended ? kKeyExtended : 0);
}

std::u16string MappedKeysModel::KeyLabel(int index) {
    std::u16string label;
    if (index & kKeyAlt) label += u"Alt+";
    if (index & kKeyCtrl) label += u"Ctrl+";
    if (index & kKeyShift) label += u"Shift+";
    if (index & kKeyExtended) label += u"Ext+";
    return label + Keymap::VirtualKeyName(index & ~kKeyModifiers).str();
}

MappedKeysModel::MapResult MappedKeysModel::MapKey(int index, std::u16string_view function,
                                                   std::u16string_view value) {
    if (m_readOnly) return MapResult::kRefused;
    const int code = Keymap::LookupCodeByName(VUnicodeString(function));
    if (index < 0 || index >= kKeymapSlots || code <= kKeyFunctionNone) {
        Warn(m_prompt, kKeyUnknown, m_caption);
        return MapResult::kRefused;
    }
    const bool takesValue = code <= kKeyFunctionLaunch;
    // An empty text would read as "no text" and the key would send its fallback's instead.
    if (takesValue && value.empty()) {
        Warn(m_prompt, kKeyValueMissing, m_caption);
        return MapResult::kRefused;
    }
    // A key map entry is one line wherever it is stored.
    if (takesValue && value.find_first_of(u"\r\n") != value.npos) {
        Warn(m_prompt, kKeyValueHasLineBreak, m_caption);
        return MapResult::kRefused;
    }
    if (m_map.GetKeyCode(index) != kKeyFunctionNone) {
        const std::u16string question = InsertName(kKeyAlreadyMappedQuestion, KeyLabel(index));
        if (m_prompt.ShowMessage(VUnicodeString(question), VUnicodeString(m_caption),
                                 VPromptButtons::kYesNo,
                                 VPromptIcon::kQuestion) != VPromptAnswer::kYes)
            return MapResult::kKept;
    }
    m_map.SetKeyCode(index, code);
    m_map.SetKeyValue(index, takesValue ? VUnicodeString(value) : VUnicodeString());
    m_changed = true;
    Relist();
    return MapResult::kMapped;
}

bool MappedKeysModel::Remove(std::size_t row) {
    if (m_readOnly || row >= m_rows.size()) return false;
    const int index = m_rows[row].index;
    m_map.SetKeyCode(index, kKeyFunctionNone);
    m_map.SetKeyValue(index, VUnicodeString());
    m_changed = true;
    Relist();
    return true;
}

void MappedKeysModel::Apply() {
    if (m_readOnly || !m_changed) return;
    m_terminal.keymap = m_map;
}

void MappedKeysModel::Relist() {
    m_rows.clear();
    for (int index = 0; index < kKeymapSlots; ++index) {
        const int code = m_map.GetKeyCode(index);
        if (code == kKeyFunctionNone) continue;
        const std::u16string name = Keymap::LookupNameByCode(code).str();
        const std::u16string value = m_map.GetKeyValue(index).str();
        std::u16string action;
        if (code == kKeyFunctionSend)
            action = u"\"" + value + u"\"";
        else if (code <= kKeyFunctionLaunch)
            action = name + u"(\"" + value + u"\")";
        else
            action = name;
        m_rows.push_back({index, KeyLabel(index), std::move(action)});
    }
}

}  // namespace sessiondeck
