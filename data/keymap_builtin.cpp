// The built-in key maps of the terminal emulations and the default map they fall back to. They
// are built through the map's own setters and name table (data/keymap.cpp), which never call
// back into this file.
#include <string>

#include "data/keymap.h"
#include "foundation/message_format.h"

namespace sessiondeck {

namespace {

constexpr int N = 0;
constexpr int E = kKeyExtended;
constexpr int C = kKeyCtrl;
constexpr int S = kKeyShift;
constexpr int A = kKeyAlt;

// Win32 virtual-key codes.
enum : int {
    kBack = 0x08,
    kTab = 0x09,
    kClear = 0x0C,
    kReturn = 0x0D,
    kPause = 0x13,
    kSpace = 0x20,
    kPrior = 0x21,
    kNext = 0x22,
    kEnd = 0x23,
    kHome = 0x24,
    kLeft = 0x25,
    kUp = 0x26,
    kRight = 0x27,
    kDown = 0x28,
    kInsert = 0x2D,
    kDelete = 0x2E,
    k0 = 0x30,
    kNumpad0 = 0x60,
    kMultiply = 0x6A,
    kAdd = 0x6B,
    kSubtract = 0x6D,
    kDecimal = 0x6E,
    kDivide = 0x6F,
    kNumLock = 0x90,
};

constexpr int F(int n) {
    return 0x6F + n;  // VK_F1 is 0x70
}

int Code(const char16_t* name) {
    return Keymap::LookupCodeByName(name);
}

// "VT_F6" and the like.
int Numbered(const char16_t* prefix, int n) {
    return Code((std::u16string(prefix) + FormatMessageText(u"%1!d!", n)).c_str());
}

// The cursor keys in the order the maps list them and their VT functions.
constexpr int kCursorKeys[] = {kUp, kDown, kLeft, kRight};
constexpr const char16_t* kCursorFunctions[] = {u"VT_CURSOR_UP", u"VT_CURSOR_DOWN",
                                                u"VT_CURSOR_LEFT", u"VT_CURSOR_RIGHT"};

// One octal escape per character, as the Wyse and Mardell maps write them.
std::u16string Octal(int c) {
    return FormatMessageText(u"\\%1!03o!", c);
}

}  // namespace

// Through the public setters, which allocate the slot tables on first use.
void Keymap::Set(int index, int code) {
    SetKeyCode(index, code);
    SetKeyValue(index, VUnicodeString());
}

void Keymap::Send(int index, std::u16string_view value) {
    SetKeyCode(index, kKeyFunctionSend);
    SetKeyValue(index, VUnicodeString(value));
}

void Keymap::AttachDefault(bool attach) {
    m_fallback.reset();
    if (!attach) return;
    m_fallback = std::make_unique<Keymap>();
    m_fallback->LoadDefault();
}

void Keymap::LoadDefault() {
    Clear();
    for (int n = 1; n <= 4; ++n) Set(N | F(n), Numbered(u"VT_PF", n));

    for (int index : {C | kSpace, C | (k0 + 2), C | S | (k0 + 2)}) Send(index, u"\\000");
    for (int index : {N | kBack, S | kBack}) Send(index, u"\\010");
    Send(C | kBack, u"\\177");
    Send(C | 0xDC, u"\\034");
    for (int index : {C | (k0 + 6), C | S | (k0 + 6)}) Send(index, u"\\036");
    for (int index : {C | 0xBF, C | S | 0xBF, C | S | 0xBD}) Send(index, u"\\037");
    for (int mods : {N, S, E, S | E}) Send(mods | kDelete, u"\\177");

    Set(C | kTab, Code(u"MENU_TAB_NEXT"));
    Set(C | S | kTab, Code(u"MENU_TAB_PREV"));
    Set(C | F(4), Code(u"MENU_TAB_CLOSE"));
    for (int n = 1; n <= 9; ++n) Set(A | (k0 + n), Numbered(u"MENU_TAB_", n));
    Set(A | k0, Code(u"MENU_TAB_10"));
    Set(A | kReturn, Code(u"MENU_TOGGLE_FULL_SCREEN"));

    for (int mods : {N, E}) {
        Set(mods | kPrior, Code(u"SB_PAGE_UP"));
        Set(mods | kNext, Code(u"SB_PAGE_DOWN"));
        Set(mods | kEnd, Code(u"SB_END"));
        for (int i = 0; i < 4; ++i) Set(mods | kCursorKeys[i], Code(kCursorFunctions[i]));
    }
    for (int mods : {C, C | E}) {
        Set(mods | kPrior, Code(u"SB_LINE_UP"));
        Set(mods | kNext, Code(u"SB_LINE_DOWN"));
    }
    Set(C | kPause, Code(u"TN_BREAK"));
}

void Keymap::LoadVT100(bool attachDefault, bool pfKeysOnKeypad) {
    Clear();
    // With NumLock off the keypad reports the editing and cursor keys
    // (not extended); they are the same VT100 keypad keys.
    constexpr int kNumLockOff[] = {kInsert, kEnd,   kDown, kNext, kLeft,
                                   kClear,  kRight, kHome, kUp,   kPrior};
    for (int n = 0; n <= 9; ++n) {
        Set(N | (kNumpad0 + n), Numbered(u"VT_KEYPAD_", n));
        Set(N | kNumLockOff[n], Numbered(u"VT_KEYPAD_", n));
    }
    Set(N | kDecimal, Code(u"VT_KEYPAD_PERIOD"));
    Set(N | kDelete, Code(u"VT_KEYPAD_PERIOD"));
    for (int mods : {N, E}) Set(mods | kAdd, Code(u"VT_KEYPAD_COMMA"));
    for (int mods : {C, C | E}) Set(mods | kAdd, Code(u"VT_KEYPAD_MINUS"));
    Set(E | kReturn, Code(u"VT_KEYPAD_ENTER"));
    for (int i = 0; i < 4; ++i) Set(E | kCursorKeys[i], Code(kCursorFunctions[i]));
    for (int index : {C | E | kPause, S | E | kNumLock, C | S | E | kNumLock})
        Set(index, Code(u"VT_PF1"));
    if (pfKeysOnKeypad) {
        Set(E | kNumLock, Code(u"VT_PF1"));
        Set(E | kDivide, Code(u"VT_PF2"));
        Set(N | kMultiply, Code(u"VT_PF3"));
        Set(N | kSubtract, Code(u"VT_PF4"));
    }
    AttachDefault(attachDefault);
}

void Keymap::LoadVT220(bool attachDefault) {
    // F1 to F4 become VT220 keys, so PF1 to PF4 move to the keypad.
    LoadVT100(attachDefault, true);
    Set(N | F(1), Code(u"VT_HOLD_SCREEN"));
    Set(N | F(2), Code(u"VT_PRINT_SCREEN"));
    Set(C | F(2), Code(u"VT_AUTO_PRINT"));
    Set(N | F(5), Code(u"TN_BREAK"));
    for (int n = 6; n <= 12; ++n) Set(N | F(n), Numbered(u"VT_F", n));
    for (int n = 1; n <= 10; ++n) Set(S | F(n), Numbered(u"VT_F", n + 10));
    Set(S | F(11), Code(u"VT_F11"));
    Set(S | F(12), Code(u"VT_F12"));
    Set(E | kInsert, Code(u"VT_FIND"));
    Set(E | kHome, Code(u"VT_INSERT_HERE"));
    Set(E | kPrior, Code(u"VT_REMOVE"));
    Set(E | kDelete, Code(u"VT_SELECT"));
    Set(E | kEnd, Code(u"VT_PREV_SCREEN"));
    Set(E | kNext, Code(u"VT_NEXT_SCREEN"));
}

void Keymap::LoadLinux(bool attachDefault) {
    LoadVT100(attachDefault, true);
    for (int n = 1; n <= 5; ++n) {
        Send(N | F(n), std::u16string(u"\\e[[") + static_cast<char16_t>(u'A' + n - 1));
    }
    for (int n = 6; n <= 20; ++n) Set(N | F(n), Numbered(u"VT_F", n));
    Send(N | kAdd, u"+");
    for (int mods : {S, S | E}) {
        Set(mods | kPrior, Code(u"SB_PAGE_UP"));
        Set(mods | kNext, Code(u"SB_PAGE_DOWN"));
    }
    Set(E | kInsert, Code(u"VT_INSERT_HERE"));
    Set(E | kHome, Code(u"VT_FIND"));
    Set(E | kPrior, Code(u"VT_PREV_SCREEN"));
    Set(E | kDelete, Code(u"VT_REMOVE"));
    Set(E | kEnd, Code(u"VT_SELECT"));
    Set(E | kNext, Code(u"VT_NEXT_SCREEN"));
}

void Keymap::LoadXterm(bool attachDefault) {
    LoadVT220(attachDefault);
    Send(N | kClear, u"\\e[E");
    const std::pair<int, const char16_t*> editing[] = {
        {kPrior, u"\\e[5~"}, {kNext, u"\\e[6~"},   {kEnd, u"\\e[4~"},
        {kHome, u"\\e[1~"},  {kInsert, u"\\e[2~"}, {kDelete, u"\\e[3~"},
    };
    for (const auto& [key, sequence] : editing) {
        for (int mods : {N, E}) Send(mods | key, sequence);
    }
    Send(N | kLeft, u"\\e[D");
    Send(N | kUp, u"\\e[A");
    Send(N | kRight, u"\\e[C");
    Send(N | kDown, u"\\e[B");
    Send(N | kMultiply, u"*");
    Send(N | kAdd, u"+");
    Send(N | kSubtract, u"-");
    Send(E | kDivide, u"/");
    Send(N | F(5), u"\\e[15~");
    for (int n = 6; n <= 10; ++n) Send(N | F(n), FormatMessageText(u"\\e[%1!d!~", n + 11));
    Send(N | F(11), u"\\e[23~");
    Send(N | F(12), u"\\e[24~");
    for (int n = 1; n <= 4; ++n) Set(N | F(n), Numbered(u"VT_PF", n));
    for (int n = 13; n <= 20; ++n) Set(N | F(n), Numbered(u"VT_F", n));
    Set(E | kReturn, Code(u"VT_KEYPAD_ENTER"));
    for (int i = 0; i < 4; ++i) Set(E | kCursorKeys[i], Code(kCursorFunctions[i]));
    Set(E | kAdd, Code(u"VT_KEYPAD_COMMA"));
    for (int mods : {C, C | E}) Set(mods | kAdd, Code(u"VT_KEYPAD_MINUS"));
    Set(E | kNumLock, Code(u"DISABLED"));
    for (int index : {C | E | kPause, S | E | kNumLock, C | S | E | kNumLock})
        Set(index, Code(u"VT_PF1"));
}

void Keymap::LoadSCOANSI(bool attachDefault) {
    Clear();
    // The SCO console gives each of F1 to F12 one final character per
    // modifier: plain M to X, Shift Y to j, Ctrl k to v, Ctrl+Shift w to {.
    static constexpr char16_t kPlain[] = u"MNOPQRSTUVWX";
    static constexpr char16_t kShift[] = u"YZabcdefghij";
    static constexpr char16_t kCtrl[] = u"klmnopqrstuv";
    static constexpr char16_t kCtrlShift[] = u"wxyz@[\\]^_`{";
    for (int n = 1; n <= 12; ++n) {
        const std::pair<int, const char16_t*> rows[] = {
            {N, kPlain}, {S, kShift}, {C, kCtrl}, {C | S, kCtrlShift}};
        for (const auto& [mods, finals] : rows) {
            Send(mods | F(n), FormatMessageText(u"\\033[%1!c!", int{finals[n - 1]}));
        }
    }
    const std::pair<int, const char16_t*> keys[] = {
        {kUp, u"\\033[A"},   {kDown, u"\\033[B"},  {kRight, u"\\033[C"},
        {kLeft, u"\\033[D"}, {kHome, u"\\033[H"},  {kEnd, u"\\033[F"},
        {kNext, u"\\033[G"}, {kPrior, u"\\033[I"}, {kInsert, u"\\033[L"},
    };
    for (const auto& [key, sequence] : keys) {
        for (int mods : {N, E}) Send(mods | key, sequence);
    }
    Send(S | kTab, u"\\033[Z");
    AttachDefault(attachDefault);
}

void Keymap::LoadWyse50(bool attachDefault) {
    Clear();
    // F1 to F16 send SOH, '@' onwards and CR; shifted, '`' onwards.
    for (int n = 1; n <= 16; ++n) {
        Send(N | F(n), u"\\001" + Octal(0x40 + n - 1) + u"\\015");
        Send(S | F(n), u"\\001" + Octal(0x60 + n - 1) + u"\\015");
    }
    const std::pair<int, const char16_t*> cursor[] = {
        {kLeft, u"\\010"}, {kUp, u"\\013"}, {kRight, u"\\014"}, {kDown, u"\\012"}};
    for (const auto& [key, sequence] : cursor) {
        for (int mods : {N, E, S}) Send(mods | key, sequence);
    }
    Send(N | kDelete, u"\\335");
    Send(E | kPrior, u"\\e\\112");
    Send(E | kNext, u"\\e\\113");
    Send(E | kDelete, u"\\e\\127");
    Send(E | kEnd, u"\\e\\124");
    Send(E | kHome, u"\\036");
    Send(S | E | kHome, u"\\033{");
    Send(S | kTab, u"\\033I");
    Send(C | kBack, u"\\010");
    Set(C | kPause, Code(u"TN_BREAK"));
    Set(C | E | kPrior, Code(u"SB_LINE_UP"));
    Set(C | E | kNext, Code(u"SB_LINE_DOWN"));
    AttachDefault(attachDefault);
}

namespace {

// Each built-in map by name, with how it is loaded: the one list LoadBuiltin and the key map
// choice's names both come from.
struct BuiltinKeymap {
    const char16_t* name;
    void (*load)(Keymap&);
};
constexpr BuiltinKeymap kBuiltinKeymaps[] = {
    {u"Default", [](Keymap& map) { map.LoadDefault(); }},
    {u"Linux", [](Keymap& map) { map.LoadLinux(true); }},
    {u"SCOANSI", [](Keymap& map) { map.LoadSCOANSI(true); }},
    {u"VT100", [](Keymap& map) { map.LoadVT100(true, false); }},
    {u"VT220", [](Keymap& map) { map.LoadVT220(true); }},
    {u"Wyse50", [](Keymap& map) { map.LoadWyse50(true); }},
    {u"Wyse60", [](Keymap& map) { map.LoadWyse60(true); }},
    {u"Xterm", [](Keymap& map) { map.LoadXterm(true); }},
    {u"Mardell", [](Keymap& map) { map.LoadMardell(); }},
};

}  // namespace

bool Keymap::LoadBuiltin(std::u16string_view name) {
    for (const BuiltinKeymap& builtin : kBuiltinKeymaps) {
        if (EqualsNoCase(name, builtin.name)) {
            builtin.load(*this);
            return true;
        }
    }
    return false;
}

std::vector<const char16_t*> Keymap::BuiltinNames() {
    std::vector<const char16_t*> names;
    for (const BuiltinKeymap& builtin : kBuiltinKeymaps) names.push_back(builtin.name);
    return names;
}

void Keymap::LoadMardell() {
    LoadVT220(true);
    // Ctrl with F1 to F12 sends ESC O and a lower-case letter, Ctrl+Shift the
    // upper-case one: the Mardell host's programmable keys.
    for (int n = 1; n <= 12; ++n) {
        for (const auto& [mods, first] : {std::pair{C, 0x61}, std::pair{C | S, 0x41}}) {
            Send(mods | F(n),
                 FormatMessageText(u"\\%1!03o!\\%2!03o!\\%3!03o!", 0x1B, 0x4F, first + n - 1));
        }
    }
}

}  // namespace sessiondeck
