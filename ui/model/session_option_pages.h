// The library's own Session Options pages as data: which settings of the session, its terminal
// settings and its connections each page shows, with which control. The tree they form and the
// rules beyond kind and range belong to SessionOptionsModel.
#pragma once

#include <span>

#include "session/option_page.h"

namespace sessiondeck {

enum class SessionPageId {
    kConnection,
    kLogonScripts,
    kTerminal,
    kEmulation,
    kEmulationModes,
    kEmacs,
    kMappedKeys,
    kEmulationAdvanced,
    kAppearance,
    kWindow,
    kLogFile,
    kPrinting,
    kAdvancedPrinting,
    kXYZmodem,
    kFileTransfer,
    kFtpSftp,
};

// Each page's description; its caption is the page's "label\ncaption". The Connection page's
// name and protocol choices are not settings and are kept by the page itself.
const OptionPageDescription& SessionOptionPage(SessionPageId id);
std::span<const SessionPageId> AllSessionOptionPages();

// Texts the pages and their rules share.
inline constexpr char16_t kSelectLogFileTitle[] = u"Select Log File";
inline constexpr char16_t kLogFileFilter[] = u"Log Files (*.log)|*.log|All Files (*.*)|*.*||";
inline constexpr char16_t kDefaultLogFileName[] = u"session.log";
inline constexpr char16_t kSelectKeymapTitle[] = u"Select Keymap File";
inline constexpr char16_t kKeymapFilter[] = u"Keymap Files (*.key)|*.key|All Files (*.*)|*.*||";
inline constexpr char16_t kSelectScriptTitle[] = u"Select Script File";
inline constexpr char16_t kScriptFilter[] =
    u"Script Files (*.vbs;*.vbe;*.js;*.pl)|*.vbs;*.vbe;*.js;*.pl|All Files (*.*)|*.*||";
inline constexpr char16_t kDefaultScriptFileName[] = u"login.vbs";

}  // namespace sessiondeck
