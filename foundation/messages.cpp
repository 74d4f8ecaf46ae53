// The texts of the library's message table and the library's message module.
#include "foundation/messages.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace sessiondeck {

namespace {

// Joins string literals at compile time, so the feedback address is written
// once and still ends up inside constant message texts.
template <size_t... N>
constexpr auto Concat(const char16_t (&... parts)[N]) {
    std::array<char16_t, (N + ...) - sizeof...(N) + 1> out{};
    size_t at = 0;
    auto append = [&](const auto& part, size_t size) {
        for (size_t i = 0; i + 1 < size; ++i) out[at++] = part[i];
    };
    (append(parts, N), ...);
    return out;
}

constexpr auto kConfigMigratedText = Concat(
    u"The configuration was migrated from: \r\n'%1'\r\nto\r\n'%2'.\r\n\r\nPlease update any "
    u"shortcuts using /f "
    u"or rename the\r\nnew configuration folder to the old name.\r\n\r\nPlease contact Norvik "
    u"Software technical "
    u"support at\r\n",
    kFeedbackWebPage, u" if you have any questions.\r\n");

constexpr auto kProtocolDllLoadFailedText = Concat(
    u"Unable to load %1.\r\n\r\nPlease reinstall %2 or manually remove the DLL so that this "
    u"warning message will "
    u"no longer be displayed.\r\n\r\nYou can continue, but the %3 protocol will not be "
    u"available.\r\n\r\n"
    u"LoadProtocol() error: %4\r\n\r\nPlease contact Norvik Software technical support at ",
    kFeedbackWebPage, u".\r\n");

// Sorted by id: lookups search it by halves.
constexpr VLibraryMessage kMessages[] = {
    {kMsgDllDoesNotExist, u"The DLL does not exist.\r\n"},
    {kMsgCopyConfigToU3,
     u"Would you like your %1 configuration folder on the local machine to be copied to the U3 "
     u"drive?\r\n"},
    {kMsgSessionLockedReadOnly,
     u"The Sessions Options that you are opening are being used by a locked session.  You will not "
     u"be able to "
     u"save changes to the session.\r\n"},
    {kMsgDoNotShowAgain, u"Do not show this message again\r\n"},
    {kMsgConfigMigrated, kConfigMigratedText.data()},
    {kMsgSessionsReadOnlyNotUpdated,
     u"Of your %1 sessions, %2 could not be updated because they are currently read-only.\r\n"},
    {kMsgWarningText, u"%1\r\n"},
    {kMsgKeymapLinesIgnored,
     u"The following lines had errors and were ignored when loading keymap "
     u"file:\r\n%1\r\n\r\n%2\r\n"},
    {kMsgScriptingDisabled,
     u"Scripting has been administratively disabled.\r\nThe Run Script function is no longer "
     u"available.\r\n"},
    {kMsgFolderAccessDenied,
     u"Access to the following folder is denied:\r\n\r\n'%1'\r\n\r\nPlease choose another "
     u"folder.\r\n"},
    {kMsgFolderNotValid,
     u"The folder is not valid:\r\n\r\n'%1'\r\n\r\nPlease choose another folder.\r\n"},
    {kMsgApplyDefaultToAll,
     u"Do you want to apply the changes that you made to the default session to ALL of your "
     u"sessions?\r\n\r\n"
     u"WARNING: There is no UNDO for this change.\r\n"},
    {kMsgFontMapNotFound,
     u"User font mapping file not found:\r\n\r\n   %1\r\n\r\nNo map file loaded. Using default "
     u"font map.\r\n"},
    {kMsgKeymapLoadFailed, u"Unable to load keymap file: %1\r\n\r\n%2\r\n"},
    {kMsgProtocolNotSupported, u"The protocol %1 is not supported in this version.\r\n"},
    {kMsgNotAUrl, u"The specified string is not a URL.\r\n"},
    {kMsgUrlSyntaxInvalid, u"The specified URL has an invalid syntax.\r\n"},
    {kMsgUrlProtocolNotSupported,
     u"The URL protocol '%1' is not supported.\r\n\r\nSupported protocols are 'ftp', 'sftp', "
     u"'ssh2', 'telnet', "
     u"and 'rlogin'.\r\n"},
    {kMsgProtocolDllLoadFailed, kProtocolDllLoadFailedText.data()},
    {kMsgLaunchFailed, u"%1 could not be launched from the following location:\r\n%2\r\n"},
    {kMsgDllEntryPointFailed, u"AfxLoadLibrary() or GetProcAddress() failed for this DLL.\r\n"},
    {kMsgDllLoadException, u"An exception was generated while attempting to load the DLL.\r\n"},
    {kMsgDllGuidMismatch,
     u"The GUID stored in the DLL does not match the current version of\r\nthe application.\r\n"},
    {kMsgColumnsOutOfRange,
     u"Please enter an integer between 20 and %1.\r\n\r\nThe maximum number of columns can be set "
     u"up to 1024 "
     u"on\r\nthe Appearance page in the Global Options dialog.\r\n"},
    {kMsgAutoSessionMissing,
     u"Please specify an auto session or uncheck the \"Use auto session\" checkbox.\r\n"},
    {kMsgNameInUse, u"'%1' is already in use.\r\n"},
    {kMsgExitApplication, u"<exit application>\r\n"},
    {kMsgNoProtocolDlls,
     u"Unable to load any connection protocol DLLs from:\r\n\r\n%1\r\n\r\nPlease reinstall "
     u"%2.\r\n"},
    {kMsgCommandLineFolderNotValid,
     u"The folder specified using /F on the command line is not valid:\r\n\r\n'%1'\r\n"},
    {kMsgMigrationRunning,
     u"The migration utility is already running.  Please complete your\r\nmigration and then run "
     u"the "
     u"application again.\r\n"},
    {kMsgMigrationFailed,
     u"The migration utility failed to run for the following reason:\r\n%1\r\n"},
};

constexpr bool IdsAscending() {
    for (size_t i = 1; i < std::size(kMessages); ++i) {
        if (kMessages[i - 1].id >= kMessages[i].id) return false;
    }
    return true;
}
static_assert(IdsAscending(), "the message table must stay sorted by id");

const VMessageModule kLibraryModule = {kLibraryModuleFileName, &LookupLibraryMessage};

}  // namespace

std::span<const VLibraryMessage> LibraryMessages() {
    return kMessages;
}

const char16_t* LookupLibraryMessage(uint32_t id) {
    const auto* end = std::end(kMessages);
    const auto* it =
        std::lower_bound(std::begin(kMessages), end, id,
                         [](const VLibraryMessage& m, uint32_t wanted) { return m.id < wanted; });
    return it != end && it->id == id ? it->text : nullptr;
}

VModuleHandle GetLibraryMessageModule() {
    return &kLibraryModule;
}

}  // namespace sessiondeck
