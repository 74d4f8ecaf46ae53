// TerminalConfig: a session's terminal emulation, window, colour, font, key and bar settings.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "data/binary_records.h"
#include "data/keymap.h"
#include "foundation/export.h"
#include "foundation/report.h"
#include "foundation/unicode_string.h"
#include "profile/profile_data.h"

namespace sessiondeck {

// "Emulation": loads a stored name and replaces what no emulation of this run
// knows. The replacement counts as a default, so the next save writes it.
class SESSIONDECK_API TerminalEmulationSetting : public VProfile2<VUnicodeString, VProfileSz> {
public:
    using Base = VProfile2<VUnicodeString, VProfileSz>;
    using Base::operator=;

    bool Init(VProfileKey* key, const VUnicodeString& name, const VUnicodeString& defaultValue);
};

// The name a stored emulation loads as: "SCO-ANSI" is the older spelling of
// "SCOANSI"; a built-in emulation name or a terminal type of the global
// options stays; anything else is "VT100". Names compare exactly.
SESSIONDECK_API VUnicodeString NormalizeEmulationName(std::u16string_view stored);

// The number of character codes a font map covers.
inline constexpr int kFontMapSize = 256;

class SESSIONDECK_API TerminalConfig : public VProfileRecord<TerminalConfig> {
public:
    using Setting = VProfile2<VUnicodeString, VProfileSz>;

    // Loads every member from `key`; a null key (or missing values) gives the
    // defaults, which depend on the emulation.
    explicit TerminalConfig(VProfileKey* key);
    TerminalConfig(const TerminalConfig&) = default;
    TerminalConfig& operator=(const TerminalConfig&) = default;
    ~TerminalConfig() override;

    using VProfileRecord<TerminalConfig>::ApplyDelta;
    // The member-wise delta, typed.
    void ApplyDelta(const TerminalConfig* other) {
        ApplyDelta(static_cast<const VProfileData*>(other));
    }

    // Loads a user font map file into the font map and returns it (the
    // kFontMapSize units that character codes 0 to 255 are drawn with).
    // A missing or unreadable file leaves the map as it was, fills the font
    // map report with "User font mapping file not found" and returns null.
    //
    // File form: UTF-8 text (an optional byte-order mark is skipped); each
    // line is empty, a comment starting with ';', or two hexadecimal numbers
    // (an optional 0x prefix each) separated by blanks or tabs: a character
    // code up to FF and the UTF-16 unit (1 to FFFF) it is drawn with. Lines
    // not in that form are skipped; codes not listed keep the default.
    const char16_t* LoadUserFontMap(const char16_t* path);
    // The font map in use: the default one (each code drawn as its character
    // in the system code page) unless a user font map was loaded.
    const char16_t* GetFontMap() const { return m_fontMap.data(); }
    // The report of the last font map that could not be loaded; id 0 if none.
    const VReportMessageParams& GetFontMapReport() const { return m_fontMapReport; }

    // Unicode line drawing needs a font with the line drawing glyphs: not a
    // face whose name begins with "vt100", nor "Terminal".
    bool IsUnicodeLineDrawValid(const VLogFont& font) const;
    // A position as the xterm -geometry option writes it: an optional leading
    // "-" and a decimal number, nothing else. `value` is the number's
    // absolute value.
    static bool ParseXtermPosition(const VUnicodeString& text, int& value, bool& negative);
    // True when `name` is exactly one of the terminal types the global options list.
    bool IsValidTermcap(const VUnicodeString& name) const;

    bool IsAnsiEmulation() const { return emulation.Get() == u"ANSI"; }

    // ---- The persisted members, in table order ----
    VProfile<int> ansiColor;
    VProfile<bool> colorSchemeOverridesAnsiColor;
    TerminalEmulationSetting emulation;
    Setting defaultScs;
    VProfile<int> keypadMode;
    VProfile<int> lineWrap;
    VProfile<int> cursorKeyMode;
    VProfile<int> newlineMode;
    VProfile<int> enableColumnSwitching;
    VProfile<int> enableCursorKeyModeSwitching;
    VProfile<int> enableKeypadModeSwitching;
    VProfile<int> enableLineWrapModeSwitching;
    VProfile<int> waitForStringsIgnoresColor;
    VProfile<int> sgrZeroResetsAnsiColor;
    VProfile<int> scoLineWrap;
    VProfile<int> displayTab;
    Setting displayTabString;
    VProfileWindowPlacement windowPlacement;
    VProfile<bool> isFullScreen;
    VProfile<int> rows;
    VProfile<int> cols;
    VProfile<int> scrollback;
    VProfile<int> resizeMode;
    VProfile<int> syncViewRows;
    VProfile<int> syncViewCols;
    VProfile<int> horizontalScrollbar;
    VProfile<int> verticalScrollbar;
    Setting colorScheme;
    ProfileLogFont normalFont;
    ProfileLogFont narrowFont;
    VProfile<int> useNarrowFont;
    Setting outputTransformerName;
    VProfile<bool> useUnicodeLineDrawing;
    VProfile<bool> blinkingCursor;
    VProfile<int> cursorStyle;
    VProfile<bool> useCursorColor;
    VProfile<int> cursorColor;
    VProfile<int> foreground;
    VProfile<int> background;
    VProfile<int> bold;
    VProfile<int> mapDelete;
    VProfile<int> mapBackspace;
    Setting keymapName;
    Setting keymapFilename;
    VProfile<int> useAlternateKeyboard;
    VProfile<int> emacsMode;
    VProfile<int> emacsMode8Bit;
    VProfile<int> preserveAltGr;
    ProfileKeymap keymap;
    VProfile<int> jumpScroll;
    VProfile<int> audioBell;
    VProfile<int> visualBell;
    VProfile<bool> scrollToClear;
    VProfile<int> closeOnDisconnect;
    VProfile<int> clearOnDisconnect;
    VProfile<int> scrollToBottomOnOutput;
    VProfile<int> scrollToBottomOnKeypress;
    VProfile<int> cuaCopyPaste;
    VProfile<int> useTerminalType;
    Setting terminalType;
    VProfile<int> useAnswerback;
    Setting answerback;
    VProfile<int> usePosition;
    VProfile<int> xPosition;
    VProfile<int> xPositionRelativeLeft;
    VProfile<int> yPosition;
    VProfile<int> yPositionRelativeTop;
    VProfile<int> localEcho;
    VProfile<int> strip8thBit;
    VProfile<bool> shiftForcesLocalMouseOperations;
    VProfile<int> ignoreWindowTitleChangeRequests;
    VProfile<bool> copyTranslatesAnsiLineDrawingCharacters;
    VProfile<bool> translateIncomingCrToCrlf;
    VProfile<int> showToolbar;
    VProfile<int> showMenuBar;
    VProfile<int> showStatusBar;
    VProfile<int> showChatWindow;
    VProfile<int> userButtonBar;
    Setting userButtonBarName;
    Setting userFontMap;

    // Defaults that depend on what loaded before them; only the member table
    // calls these, while the record is being loaded.
    int LoadOnlyColumnSwitchingDefault() const;
    VLogFont LoadOnlyFontDefault() const;

    // The bars' and scrollbars' third state beside off (0) and on (1).
    static constexpr int kBarDefault = 2;

    static constexpr auto _profileOffsets = VProfileMembers(
        VProfileMember(&TerminalConfig::ansiColor, u"ANSI Color", 1),
        VProfileMember(&TerminalConfig::colorSchemeOverridesAnsiColor,
                       u"Color Scheme Overrides Ansi Color", false),
        VProfileMember(&TerminalConfig::emulation, u"Emulation", u"VT100"),
        VProfileMember(&TerminalConfig::defaultScs, u"Default SCS", u"B"),
        VProfileMember(&TerminalConfig::keypadMode, u"Keypad Mode", 0),
        VProfileMember(&TerminalConfig::lineWrap, u"Line Wrap", 1),
        VProfileMember(&TerminalConfig::cursorKeyMode, u"Cursor Key Mode", 0),
        VProfileMember(&TerminalConfig::newlineMode, u"Newline Mode", 0),
        VProfileMember(&TerminalConfig::enableColumnSwitching, u"Enable 80-132 Column Switching",
                       [](const auto& self) { return self.LoadOnlyColumnSwitchingDefault(); }),
        VProfileMember(&TerminalConfig::enableCursorKeyModeSwitching,
                       u"Enable Cursor Key Mode Switching", 1),
        VProfileMember(&TerminalConfig::enableKeypadModeSwitching, u"Enable Keypad Mode Switching",
                       1),
        VProfileMember(&TerminalConfig::enableLineWrapModeSwitching,
                       u"Enable Line Wrap Mode Switching", 1),
        VProfileMember(&TerminalConfig::waitForStringsIgnoresColor, u"WaitForStrings Ignores Color",
                       0),
        VProfileMember(&TerminalConfig::sgrZeroResetsAnsiColor, u"SGR Zero Resets ANSI Color", 1),
        VProfileMember(&TerminalConfig::scoLineWrap, u"SCO Line Wrap", 0),
        VProfileMember(&TerminalConfig::displayTab, u"Display Tab", 0),
        VProfileMember(&TerminalConfig::displayTabString, u"Display Tab String"),
        VProfileMember(&TerminalConfig::windowPlacement, u"Window Placement", WINDOWPLACEMENT{}),
        VProfileMember(&TerminalConfig::isFullScreen, u"Is Full Screen", false),
        VProfileMember(&TerminalConfig::rows, u"Rows", 24),
        VProfileMember(&TerminalConfig::cols, u"Cols", 80),
        VProfileMember(&TerminalConfig::scrollback, u"Scrollback", 500),
        VProfileMember(&TerminalConfig::resizeMode, u"Resize Mode", 0),
        VProfileMember(&TerminalConfig::syncViewRows, u"Sync View Rows", 1),
        VProfileMember(&TerminalConfig::syncViewCols, u"Sync View Cols", 1),
        VProfileMember(&TerminalConfig::horizontalScrollbar, u"Horizontal Scrollbar", kBarDefault),
        VProfileMember(&TerminalConfig::verticalScrollbar, u"Vertical Scrollbar", kBarDefault),
        VProfileMember(&TerminalConfig::colorScheme, u"Color Scheme", u"Monochrome"),
        VProfileMember(&TerminalConfig::normalFont, u"Normal Font v2",
                       [](const auto& self) { return self.LoadOnlyFontDefault(); }),
        VProfileMember(&TerminalConfig::narrowFont, u"Narrow Font v2",
                       [](const auto& self) { return self.LoadOnlyFontDefault(); }),
        VProfileMember(&TerminalConfig::useNarrowFont, u"Use Narrow Font", 0),
        VProfileMember(&TerminalConfig::outputTransformerName, u"Output Transformer Name",
                       u"Default"),
        VProfileMember(&TerminalConfig::useUnicodeLineDrawing, u"Use Unicode Line Drawing", false),
        VProfileMember(&TerminalConfig::blinkingCursor, u"Blinking Cursor", true),
        VProfileMember(&TerminalConfig::cursorStyle, u"Cursor Style", 0),
        VProfileMember(&TerminalConfig::useCursorColor, u"Use Cursor Color", false),
        VProfileMember(&TerminalConfig::cursorColor, u"Cursor Color", 0),
        // ANSI screens are white on black, every other emulation black on white.
        VProfileMember(&TerminalConfig::foreground, u"Foreground",
                       [](const auto& self) { return self.IsAnsiEmulation() ? 0xFFFFFF : 0; }),
        VProfileMember(&TerminalConfig::background, u"Background",
                       [](const auto& self) { return self.IsAnsiEmulation() ? 0 : 0xFFFFFF; }),
        VProfileMember(&TerminalConfig::bold, u"Bold",
                       [](const auto& self) { return self.IsAnsiEmulation() ? 0xFFFFFF : 0; }),
        VProfileMember(&TerminalConfig::mapDelete, u"Map Delete", 0),
        VProfileMember(&TerminalConfig::mapBackspace, u"Map Backspace", 0),
        VProfileMember(&TerminalConfig::keymapName, u"Keymap Name",
                       [](const auto& self) {
                           return self.emulation.Get() == u"VT220" ? u"VT220" : u"Default";
                       }),
        VProfileMember(&TerminalConfig::keymapFilename, u"Keymap Filename"),
        VProfileMember(&TerminalConfig::useAlternateKeyboard, u"Use Alternate Keyboard", 0),
        VProfileMember(&TerminalConfig::emacsMode, u"Emacs Mode", 0),
        VProfileMember(&TerminalConfig::emacsMode8Bit, u"Emacs Mode 8 Bit", 0),
        VProfileMember(&TerminalConfig::preserveAltGr, u"Preserve Alt-Gr", 0),
        VProfileMember(&TerminalConfig::keymap, u"Keymap v2"),
        VProfileMember(&TerminalConfig::jumpScroll, u"Jump Scroll", 1),
        VProfileMember(&TerminalConfig::audioBell, u"Audio Bell", 1),
        VProfileMember(&TerminalConfig::visualBell, u"Visual Bell", 0),
        VProfileMember(&TerminalConfig::scrollToClear, u"Scroll To Clear", true),
        VProfileMember(&TerminalConfig::closeOnDisconnect, u"Close On Disconnect", 0),
        VProfileMember(&TerminalConfig::clearOnDisconnect, u"Clear On Disconnect", 0),
        VProfileMember(&TerminalConfig::scrollToBottomOnOutput, u"Scroll To Bottom On Output", 1),
        VProfileMember(&TerminalConfig::scrollToBottomOnKeypress, u"Scroll To Bottom On Keypress",
                       1),
        VProfileMember(&TerminalConfig::cuaCopyPaste, u"CUA Copy Paste", 0),
        VProfileMember(&TerminalConfig::useTerminalType, u"Use Terminal Type", 0),
        VProfileMember(&TerminalConfig::terminalType, u"Terminal Type"),
        VProfileMember(&TerminalConfig::useAnswerback, u"Use Answerback", 0),
        VProfileMember(&TerminalConfig::answerback, u"Answerback"),
        VProfileMember(&TerminalConfig::usePosition, u"Use Position", 0),
        VProfileMember(&TerminalConfig::xPosition, u"X Position", 0),
        VProfileMember(&TerminalConfig::xPositionRelativeLeft, u"X Position Relative Left", 1),
        VProfileMember(&TerminalConfig::yPosition, u"Y Position", 0),
        VProfileMember(&TerminalConfig::yPositionRelativeTop, u"Y Position Relative Top", 1),
        VProfileMember(&TerminalConfig::localEcho, u"Local Echo", 0),
        VProfileMember(&TerminalConfig::strip8thBit, u"Strip 8th Bit", 0),
        VProfileMember(&TerminalConfig::shiftForcesLocalMouseOperations,
                       u"Shift Forces Local Mouse Operations", true),
        VProfileMember(&TerminalConfig::ignoreWindowTitleChangeRequests,
                       u"Ignore Window Title Change Requests", 0),
        VProfileMember(&TerminalConfig::copyTranslatesAnsiLineDrawingCharacters,
                       u"Copy Translates ANSI Line Drawing Characters", false),
        VProfileMember(&TerminalConfig::translateIncomingCrToCrlf, u"Translate Incoming CR To CRLF",
                       false),
        VProfileMember(&TerminalConfig::showToolbar, u"Show Toolbar", kBarDefault),
        VProfileMember(&TerminalConfig::showMenuBar, u"Show Menu Bar", kBarDefault),
        VProfileMember(&TerminalConfig::showStatusBar, u"Show Status Bar", kBarDefault),
        VProfileMember(&TerminalConfig::showChatWindow, u"Show Chat Window", kBarDefault),
        VProfileMember(&TerminalConfig::userButtonBar, u"User Button Bar", kBarDefault),
        VProfileMember(&TerminalConfig::userButtonBarName, u"User Button Bar Name", u"Default"),
        VProfileMember(&TerminalConfig::userFontMap, u"User Font Map"));

private:
    // The corrections that need members loaded after the one they correct.
    void ApplyLoadRules(VProfileKey* key);

    // The key being loaded, for the defaults taken from older value names;
    // null outside the constructor.
    VProfileKey* m_loadKey = nullptr;
    std::array<char16_t, kFontMapSize + 1> m_fontMap{};
    VReportMessageParams m_fontMapReport;
};

}  // namespace sessiondeck
