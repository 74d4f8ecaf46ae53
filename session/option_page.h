// A page of an options dialog described as data: which settings it shows and with which control.
// The library's own pages and the protocol modules' pages are both described this way, so the
// modules never link a toolkit and one view renders any page. A control names its setting by
// value name; the setting's kind, range, label and secrecy come from the record's own member
// table (session/setting_lookup.h), never from the page, so a page cannot disagree with the
// store about what a setting is.
//
// What the protocol table's page functions return (session/connect_protocol_table.h):
// - session pages function: a `const OptionPageSet*`, the pages shown under Connection for a
//   session of that protocol, or null for none;
// - global pages function (given the dialog's IPropertyTreeDialog and 1): a
//   `const OptionPageSet*` of pages for Global Options, or null;
// - wizard page function: a `const OptionPageDescription*`, with the page's id in *outValue.
// What they return stays valid while the module is loaded (modules are never unloaded).
#pragma once

#include <vector>

namespace sessiondeck {

enum class OptionControlKind {
    kCheck,      // a bool or a 0/1 number
    kNumber,     // a number, within the setting's range when it has one
    kText,       // one line of text
    kMultiLine,  // several lines of text
    kSecret,     // a stored password: shown only as set or not, replaced when typed
    kChoice,     // one of `choices`: a number setting stores the index, a text setting the name
    kFile,       // a text with a "..." button that opens a file picker
    kFolder,     // a text with a "..." button that opens a folder picker
    kColour,     // a colour setting
    kFont,       // a font setting
    kNote,       // text only, bound to no setting
};

// Which record of the edited object holds a control's setting.
enum class OptionRecord {
    kSession,             // the session and its terminal settings
    kTerminalConnection,  // the session's terminal connection (its current protocol's values)
    kTransferConnection,  // the session's transfer connection
    kGlobal,              // the global options
    kNone,                // a note
};

// Where a choice's names come from: its own list, or names the user defines elsewhere (a
// text setting then stores the chosen name).
enum class OptionChoiceSource {
    kFixed,         // OptionControl::choices
    kFirewalls,     // "None" and the defined firewalls
    kColorSchemes,  // the global options' colour schemes
};

struct OptionControl {
    OptionControlKind kind = OptionControlKind::kText;
    OptionRecord record = OptionRecord::kSession;
    const char16_t* setting = nullptr;  // the value name; null for a note
    const char16_t* label = nullptr;    // the control's text; null takes the setting's label
    std::vector<const char16_t*> choices = {};
    const char16_t* pickerTitle = nullptr;   // kFile and kFolder
    const char16_t* pickerFilter = nullptr;  // kFile: "Name (*.x)|*.x|All Files (*.*)|*.*||"
    // kFile: a file the program writes (a log), picked with a save dialog that offers
    // `pickerDefault` when the field is empty.
    bool pickerSaves = false;
    const char16_t* pickerDefault = nullptr;
    // kChoice over a number setting: the number the first choice stores (the others follow).
    int choiceBase = 0;
    OptionChoiceSource choiceSource = OptionChoiceSource::kFixed;
};

struct OptionPageDescription {
    // "tree label\ncaption"; without a newline the text serves for both.
    const char16_t* caption = nullptr;
    int pageId = 0;  // a wizard page's id, for Next and Back; 0 elsewhere
    std::vector<OptionControl> controls = {};
    std::vector<OptionPageDescription> children = {};
};

struct OptionPageSet {
    std::vector<OptionPageDescription> pages;
};

}  // namespace sessiondeck
