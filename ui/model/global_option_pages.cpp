// What each page of Global Options holds: the global configuration's settings by value name.
#include "ui/model/global_options_model.h"

namespace sessiondeck {

namespace {

constexpr auto G = OptionRecord::kGlobal;
using K = OptionControlKind;

OptionControl Check(const char16_t* setting, const char16_t* label) {
    return {K::kCheck, G, setting, label};
}
OptionControl Number(const char16_t* setting, const char16_t* label) {
    return {K::kNumber, G, setting, label};
}
OptionControl Text(const char16_t* setting, const char16_t* label) {
    return {K::kText, G, setting, label};
}
OptionControl Colour(const char16_t* setting, const char16_t* label) {
    return {K::kColour, G, setting, label};
}
OptionControl Folder(const char16_t* setting, const char16_t* label, const char16_t* title) {
    return {K::kFolder, G, setting, label, {}, title};
}
OptionControl File(const char16_t* setting, const char16_t* label, const char16_t* filter) {
    return {K::kFile, G, setting, label, {}, u"Select a file", filter};
}
OptionControl Choice(const char16_t* setting, const char16_t* label,
                     std::vector<const char16_t*> choices, int base = 0) {
    OptionControl control{K::kChoice, G, setting, label, std::move(choices)};
    control.choiceBase = base;
    return control;
}
OptionControl Note(const char16_t* text) {
    return {K::kNote, OptionRecord::kNone, nullptr, text};
}

constexpr const char16_t* kSoundFilter = u"Sound files (*.wav)|*.wav|All files (*)|*||";
constexpr const char16_t* kProgramFilter = u"All files (*)|*||";
constexpr const char16_t* kLogFilter = u"Log files (*.log)|*.log|All files (*)|*||";

OptionPageSet MakeTable(bool transferHost) {
    // A transfer host keeps these under names of its own.
    const char16_t* showMenuBar = transferHost ? u"Show Menu Bar FRV" : u"Show Menu Bar";
    const char16_t* showToolbar = transferHost ? u"Show Toolbar FRV" : u"Show Toolbar";
    const char16_t* showStatusBar = transferHost ? u"Show Status Bar FRV" : u"Show Status Bar";
    const char16_t* useAutoSession = transferHost ? u"Use Auto Session FRV" : u"Use Auto Session";
    const char16_t* autoSessionName =
        transferHost ? u"Auto Session Name FRV" : u"Auto Session Name";

    OptionPageDescription defaultSession{
        global_pages::kDefaultSession,
        0,
        {
            Note(u"The Default session holds the settings every new session starts from. Use "
                 u"Edit Default Session... to change them."),
            Check(useAutoSession, u"&Use auto session"),
            Text(autoSessionName, u"&Auto session:"),
        },
    };
    OptionPageDescription general{
        global_pages::kGeneral,
        0,
        {
            Check(showMenuBar, u"Show &menu bar"),
            Check(showToolbar, u"Show &toolbar"),
            Check(showStatusBar, u"Show &status bar"),
            Check(u"Single Instance", u"Single &instance"),
            Check(u"Minimize To Tray", u"Minimi&ze to tray"),
            Check(u"New Session Uses Wizard", u"&New session uses the wizard"),
            Check(u"Open Sessions In Tab", u"&Open sessions in a tab"),
            Number(u"MRU Count", u"&Recent session list size:"),
        },
        {defaultSession},
    };

    OptionPageDescription appearance{
        u"Appearance\nGlobal Appearance",
        0,
        {
            Check(u"Show Session Tabs", u"Show session &tabs"),
            Check(u"Vertical Scrollbar", u"&Vertical scroll bar"),
            Check(u"Horizontal Scrollbar", u"&Horizontal scroll bar"),
            Check(u"Show Status Indicators", u"Show status &indicators"),
            Number(u"Status Indicator Width", u"Indicator &width:"),
            Check(u"Alpha Transparency", u"&Transparent windows"),
            Colour(u"Connected Color", u"&Connected:"),
            Colour(u"Disconnected Color", u"&Disconnected:"),
            Colour(u"New Input Color", u"&New input:"),
        },
        {
            {global_pages::kAnsiColor, 0, {}},
            {global_pages::kColorSchemes, 0, {}},
        },
    };
    OptionPageDescription printing{
        u"Printing\nGlobal Printing",
        0,
        {
            Text(u"Printer Name", u"&Printer:"),
            {K::kFont, G, u"Printer Font v2", u"Printer &font:"},
            Number(u"Eject Page Interval", u"&Eject page after (seconds):"),
        },
        {
            {u"Advanced\nAdvanced Global Printing",
             0,
             {
                 Check(u"Disable Pass Through Printing", u"&Disable pass-through printing"),
                 Check(u"Buffer Pass Through Printing", u"&Buffer pass-through printing"),
                 Check(u"Use Printer Port", u"Use the printer &port"),
             }},
        },
    };
    OptionPageDescription terminal{
        global_pages::kTerminal,
        0,
        {
            Check(u"Copy On Select", u"&Copy on select"),
            Check(u"Paste On Right Button", u"Paste on &right button"),
            Check(u"Paste On Middle Button", u"Paste on &middle button"),
            Check(u"Hide Mouse Pointer On Keypress", u"&Hide the mouse pointer when typing"),
            Check(u"Auto Reconnect", u"&Auto reconnect"),
            Number(u"Auto Reconnect Interval", u"Reconnect &interval (seconds):"),
            Number(u"Max Columns", u"Ma&ximum columns:"),
            Number(u"Max Scrollback Buffer Size", u"Maximum &scrollback:"),
            File(u"Terminal Log File", u"&Log file:", kLogFilter),
        },
        {
            appearance,
            {u"Tabs\nTabs",
             0,
             {
                 Number(u"Min Tab Width", u"&Minimum tab width:"),
                 Check(u"Confirm Close Multiple Tabs", u"&Confirm closing several tabs"),
                 Check(u"Show Multiple Tabs Only", u"Show tabs only for &several sessions"),
                 Check(u"Enable Tab Switching History", u"Tab switching &history"),
                 Check(u"Reuse Disconnected Tabs", u"&Reuse disconnected tabs"),
             }},
            printing,
            {global_pages::kWebBrowser,
             0,
             {
                 Check(u"HTTP Use Registry Entry", u"Use the &system's browser"),
                 File(u"HTTP Browser Application", u"&Browser application:", kProgramFilter),
                 Check(u"HTTP Use DDE", u"&Reuse an open browser window"),
             }},
            {u"Advanced",
             0,
             {
                 Check(u"Show Confirm Disconnect Dialog", u"&Confirm disconnecting"),
                 Check(u"Use System Caret", u"Use the system &caret"),
                 Check(u"Disable Resize", u"Disable &resizing"),
             }},
        },
    };

    OptionPageDescription transfer{
        global_pages::kFileTransfer,
        0,
        {
            Choice(u"Transfer Type", u"&Transfer type:", {u"ASCII", u"Binary", u"Automatic"}, 1),
            Folder(u"Default Download Directory", u"&Download folder:",
                   u"Select a folder to be used as the download directory:"),
            Folder(u"Initial Local Folder", u"&Local folder:", u"Select a local folder:"),
        },
        {
            {u"Options",
             0,
             {
                 Number(u"Timeout", u"&Timeout (seconds):"),
                 Number(u"Retry Attempts", u"&Retry attempts:"),
                 Number(u"Retry Delay", u"Retry &delay (seconds):"),
                 Check(u"Keep Alive", u"&Keep the connection alive"),
                 Check(u"Close on Disconnect", u"&Close on disconnect"),
                 Check(u"Move Files To Recycle Bin", u"&Move deleted files to the trash"),
             },
             {
                 {u"Advanced\nAdvanced",
                  0,
                  {
                      Check(u"Enable Log File", u"&Write a log file"),
                      File(u"Log File", u"&Log file:", kLogFilter),
                      Folder(u"Cache Directory", u"&Cache folder:",
                             u"Select a folder to be used as the cache directory:"),
                      Text(u"File Permissions", u"&File permissions:"),
                      Text(u"Directory Permissions", u"Fol&der permissions:"),
                  }},
             }},
            {u"View\nView",
             0,
             {
                 Check(u"Hide Hidden Files", u"Hide &hidden files"),
                 Check(u"Hide Dot Files", u"Hide &dot files"),
                 Check(u"Display Folder Tree", u"Show the folder &tree"),
                 Check(u"Display Log", u"Show the &log"),
             }},
            {global_pages::kFtp,
             0,
             {
                 Choice(u"Data Connection Type", u"&Data connection type:",
                        {u"Active (PORT)", u"Passive (PASV)", u"Passive, then active"}),
                 Number(u"Receive Buffer Size", u"&Receive buffer size (-1: system):"),
                 Number(u"Send Buffer Size", u"&Send buffer size (-1: system):"),
                 Text(u"Anonymous Password", u"&Anonymous password:"),
                 Number(u"Log Buffer Size", u"&Log lines kept:"),
             }},
            {u"Sound\nSound",
             0,
             {
                 File(u"Connect Sound File", u"&Connect:", kSoundFilter),
                 File(u"Disconnect Sound File", u"&Disconnect:", kSoundFilter),
                 File(u"Transfer Complete Sound File", u"&Transfer complete:", kSoundFilter),
                 File(u"Error Sound File", u"&Error:", kSoundFilter),
             }},
            {global_pages::kFileTypes, 0, {}},
        },
    };

    // The list pages (firewalls, colour schemes, ANSI colours, file types) bind no setting: their
    // page models in GlobalOptionsModel hold what they edit, and the views draw them.
    OptionPageDescription firewall{global_pages::kFirewall, 0, {}};
    return OptionPageSet{{general, terminal, transfer, firewall}};
}

}  // namespace

const OptionPageSet& GlobalOptionPageTable(bool transferHost) {
    static const OptionPageSet terminalHostTable = MakeTable(false);
    static const OptionPageSet transferHostTable = MakeTable(true);
    return transferHost ? transferHostTable : terminalHostTable;
}

}  // namespace sessiondeck
