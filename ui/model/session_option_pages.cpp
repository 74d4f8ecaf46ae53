// The Session Options page tables. Every control names a setting of the session record (which
// holds its terminal settings too) or of one of its connections; a test walks these tables and
// finds each setting with a kind that fits the control.
#include "ui/model/session_option_pages.h"

#include <array>

namespace sessiondeck {

namespace {

using K = OptionControlKind;

OptionControl Control(K kind, const char16_t* setting, const char16_t* label) {
    return {.kind = kind, .record = OptionRecord::kSession, .setting = setting, .label = label};
}
OptionControl Check(const char16_t* setting, const char16_t* label) {
    return Control(K::kCheck, setting, label);
}
OptionControl Number(const char16_t* setting, const char16_t* label) {
    return Control(K::kNumber, setting, label);
}
OptionControl Text(const char16_t* setting, const char16_t* label) {
    return Control(K::kText, setting, label);
}
OptionControl Choice(const char16_t* setting, const char16_t* label,
                     std::vector<const char16_t*> choices) {
    OptionControl control = Control(K::kChoice, setting, label);
    control.choices = std::move(choices);
    return control;
}
// A choice among names the user defines elsewhere; the setting stores the name.
OptionControl Defined(const char16_t* setting, const char16_t* label, OptionChoiceSource source) {
    OptionControl control = Control(K::kChoice, setting, label);
    control.choiceSource = source;
    return control;
}
OptionControl Folder(const char16_t* setting, const char16_t* label, const char16_t* title) {
    OptionControl control = Control(K::kFolder, setting, label);
    control.pickerTitle = title;
    return control;
}
OptionControl File(const char16_t* setting, const char16_t* label, const char16_t* title,
                   const char16_t* filter) {
    OptionControl control = Control(K::kFile, setting, label);
    control.pickerTitle = title;
    control.pickerFilter = filter;
    return control;
}

// The log is a file the terminal writes: a save picker offering "session.log".
OptionControl LogFile() {
    OptionControl control =
        File(u"Log Filename", u"&Log file name:", kSelectLogFileTitle, kLogFileFilter);
    control.pickerSaves = true;
    control.pickerDefault = kDefaultLogFileName;
    return control;
}

OptionPageDescription Page(const char16_t* caption, std::vector<OptionControl> controls) {
    return {.caption = caption, .controls = std::move(controls)};
}

const std::array<OptionPageDescription, 16>& Pages() {
    static const std::array<OptionPageDescription, 16> pages = {
        // kConnection: the name and the protocol choices are the page's own.
        Page(u"Connection\nConnection", {Control(K::kMultiLine, u"Description", u"&Description:")}),
        // kLogonScripts
        Page(u"Logon Scripts\nLogon Scripts",
             {Check(u"Use Login Script", u"&Automate logon"),
              Check(u"Use Script File", u"Use logon script &file"),
              File(u"Script Filename", u"Script:", kSelectScriptTitle, kScriptFilter)}),
        // kTerminal
        Page(u"Terminal\nTerminal",
             {Check(u"Idle Check", u"Send &string to keep the connection alive"),
              Text(u"Idle String", u"Anti-idle st&ring:"),
              Number(u"Idle Timeout", u"E&very (seconds):"),
              Check(u"Idle NO-OP Check", u"Send protocol &NO-OP"),
              Number(u"Idle NO-OP Timeout", u"NO-OP every (seconds):"),
              Number(u"Auto Reconnect", u"Auto &reconnect"),
              Number(u"Close On Disconnect", u"&Close on disconnect"),
              Check(u"CUA Copy Paste", u"Use CUA copy and &paste keys"),
              Number(u"Character Send Delay", u"Character send delay (ms):"),
              Number(u"Line Send Delay", u"Line send delay (ms):")}),
        // kEmulation
        Page(u"Emulation\nEmulation",
             {Choice(u"Emulation", u"&Terminal:",
                     {u"VT100", u"VT102", u"VT220", u"ANSI", u"SCOANSI", u"Xterm", u"Linux",
                      u"Wyse 50", u"Wyse 60", u"TN3270"}),
              Check(u"ANSI Color", u"A&NSI Color"),
              Check(u"Use Terminal Type", u"Use a different terminal &type:"),
              Text(u"Terminal Type", u"Terminal type:"), Number(u"Rows", u"&Rows:"),
              Number(u"Cols", u"&Columns:"), Number(u"Scrollback", u"&Scrollback buffer:"),
              Check(u"Use Alternate Keyboard", u"Use a &custom keymap"),
              File(u"Keymap Filename", u"Keymap file:", kSelectKeymapTitle, kKeymapFilter)}),
        // kEmulationModes
        Page(u"Modes\nEmulation Modes",
             {Check(u"Line Wrap", u"&Wrap lines"), Check(u"Cursor Key Mode", u"&Cursor key mode"),
              Check(u"Keypad Mode", u"&Keypad mode"), Check(u"Newline Mode", u"&New line mode"),
              Check(u"Enable 80-132 Column Switching", u"Enable &80/132 column switching"),
              Check(u"Local Echo", u"&Local echo"), Check(u"Strip 8th Bit", u"&Strip 8th bit"),
              Check(u"Translate Incoming CR To CRLF", u"Translate incoming CR to CR/LF")}),
        // kEmacs
        Page(u"Emacs\nEmacs Compatibility",
             {Check(u"Emacs Mode", u"Use &ALT as meta key"),
              Check(u"Emacs Mode 8 Bit", u"Send &8-bit meta characters"),
              Check(u"Preserve Alt-Gr", u"Preserve Alt-&Gr")}),
        // kMappedKeys
        Page(u"Mapped Keys\nMapped Keys",
             {Number(u"Map Delete", u"Map &Delete"), Number(u"Map Backspace", u"Map &Backspace"),
              Text(u"Keymap Name", u"Current key&map:")}),
        // kEmulationAdvanced
        Page(u"Advanced\nAdvanced Emulation",
             {Check(u"Use Answerback", u"Send &answerback"), Text(u"Answerback", u"Answerback:"),
              Check(u"WaitForStrings Ignores Color", u"WaitForStrings &ignores color"),
              Number(u"Keyboard Char Send Delay", u"Keyboard character send delay (ms):"),
              Check(u"Use Word Delimiter Chars", u"Use &word delimiters"),
              Text(u"Word Delimiter Chars", u"Word delimiters:")}),
        // kAppearance
        Page(
            u"Appearance\nWindow and Text Appearance",
            {Defined(u"Color Scheme", u"Current &color scheme:", OptionChoiceSource::kColorSchemes),
             Control(K::kFont, u"Normal Font v2", u"&Font"),
             Check(u"Use Narrow Font", u"Use &narrow font"),
             Check(u"Blinking Cursor", u"&Blinking cursor"),
             Choice(u"Cursor Style", u"Cursor &style:", {u"Block", u"Underline", u"Vertical Bar"}),
             Check(u"Use Cursor Color", u"Use &cursor color"),
             Control(K::kColour, u"Cursor Color", u"Cursor color")}),
        // kWindow: the two position fields are the page's own texts ("-0" is the right edge).
        Page(u"Window\nSession Window",
             {Check(u"Use Position", u"Use &initial position"), Text(u"X Position", u"&X:"),
              Text(u"Y Position", u"&Y:"), Check(u"AlwaysOnTop", u"&Always on top"),
              Number(u"Minimize To Tray", u"&Minimize to tray"),
              Number(u"Disable Resize", u"&Disable resize"),
              Check(u"Use Title Bar", u"Use a &title bar text:"),
              Text(u"Title Bar", u"Title bar:")}),
        // kLogFile
        Page(u"Log File",
             {LogFile(), Check(u"Start Log Upon Connect", u"&Start log upon connect"),
              Check(u"Raw Log", u"&Raw log"), Check(u"Log Multiple Sessions", u"Append to &file"),
              Text(u"Custom Log Message Connect", u"On &connect:"),
              Text(u"Custom Log Message Disconnect", u"On &disconnect:"),
              Text(u"Custom Log Message Each Line", u"On each &line:"),
              Check(u"Log Only Custom", u"Log &only custom data")}),
        // kPrinting
        Page(u"Printing\nSession Printing",
             {Check(u"Use Global Print Settings", u"Use &global print settings"),
              Text(u"Printer Name", u"&Printer:"),
              Choice(u"Page Orientation", u"&Orientation:", {u"", u"Portrait", u"Landscape"}),
              Check(u"Force Black On White", u"Force &black on white")}),
        // kAdvancedPrinting
        Page(u"Advanced\nAdvanced Session Printing",
             {Check(u"Use Global Advanced Print Settings", u"Use &global settings"),
              Check(u"Disable Pass Through Printing", u"&Disable pass-through printing"),
              Check(u"Buffer Pass Through Printing", u"&Buffer pass-through printing"),
              Check(u"Use Raw Mode", u"Use &raw mode"),
              Number(u"Eject Page Interval", u"&Eject page after (seconds):")}),
        // kXYZmodem
        Page(u"X/Y/Zmodem\nXmodem/Ymodem/Zmodem",
             {Folder(u"Upload Directory", u"&Upload:",
                     u"Select a folder to be used as the upload directory:"),
              Folder(u"Download Directory", u"&Download:",
                     u"Select a folder to be used as the download directory:"),
              Choice(u"XModem Send Packet Size", u"Xmodem send packet size:",
                     {u"128 bytes", u"1024 bytes"}),
              Text(u"ZModem Receive Command", u"Zmodem receive command:"),
              Check(u"Disable ZModem", u"Disable &Zmodem"),
              Check(u"ZModem Uses 32 Bit CRC", u"Use &32 bit CRC"),
              Check(u"Force 1024 for ZModem", u"Force &1024 byte packets"),
              Check(u"ZModem Encodes DEL", u"Encode &DEL")}),
        // kFileTransfer
        Page(u"File Transfer\nFile Transfer",
             {Folder(u"Initial Local Directory", u"Initial &local directory:",
                     u"Select a folder to be used as the initial local directory:"),
              Folder(u"Default Download Directory", u"Default &download directory:",
                     u"Select a folder to be used as the download directory:"),
              Choice(u"Operating System", u"Remote &system:", {u"Auto", u"UNIX", u"Windows"}),
              Text(u"Time Zone", u"Remote &time zone:")}),
        // kFtpSftp
        Page(u"FTP/SFTP\nFTP/SFTP",
             {Choice(u"File System Case", u"File name &case:", {u"Preserve", u"Lower", u"Upper"}),
              Text(u"File Creation Mask", u"File creation &mask:"),
              Number(u"Max Transfer Buffers", u"Transfer &buffers:"),
              Check(u"Filenames Always Use UTF8", u"File names always use &UTF-8"),
              Number(u"Resolve Symbolic Links", u"Resolve &symbolic links"),
              Number(u"Verify Retrieve File Status", u"&Verify file status on retrieve")}),
    };
    return pages;
}

constexpr std::array<SessionPageId, 16> kAll = {
    SessionPageId::kConnection,       SessionPageId::kLogonScripts,
    SessionPageId::kTerminal,         SessionPageId::kEmulation,
    SessionPageId::kEmulationModes,   SessionPageId::kEmacs,
    SessionPageId::kMappedKeys,       SessionPageId::kEmulationAdvanced,
    SessionPageId::kAppearance,       SessionPageId::kWindow,
    SessionPageId::kLogFile,          SessionPageId::kPrinting,
    SessionPageId::kAdvancedPrinting, SessionPageId::kXYZmodem,
    SessionPageId::kFileTransfer,     SessionPageId::kFtpSftp,
};

}  // namespace

const OptionPageDescription& SessionOptionPage(SessionPageId id) {
    return Pages()[static_cast<size_t>(id)];
}

std::span<const SessionPageId> AllSessionOptionPages() {
    return kAll;
}

}  // namespace sessiondeck
