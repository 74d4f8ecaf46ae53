// The library's message table: the ids of its reports, their texts, and the id layout helpers.
#pragma once

#include <cstdint>
#include <span>

#include "foundation/export.h"
#include "foundation/report.h"

namespace sessiondeck {

// ---- id layout --------------------------------------------------------------
// Bits 31-30 severity, 29 customer flag (set for program messages, clear for
// system error codes), 28 reserved, 27-16 facility, 15-0 code.

enum class VMessageSeverity : uint32_t { Success = 0, Informational = 1, Warning = 2, Error = 3 };

inline constexpr uint32_t kMessageCustomerFlag = 0x20000000u;
inline constexpr uint32_t kLibraryMessageFacility = 0x109;
inline constexpr uint32_t kHostMessageFacility = 0x104;

constexpr VMessageSeverity MessageSeverity(uint32_t id) {
    return static_cast<VMessageSeverity>(id >> 30);
}
constexpr bool IsSystemErrorCode(uint32_t id) {
    return (id & kMessageCustomerFlag) == 0;
}
constexpr uint32_t MessageFacility(uint32_t id) {
    return (id >> 16) & 0xFFF;
}
constexpr uint32_t MessageCode(uint32_t id) {
    return id & 0xFFFF;
}

// ---- the library's messages (facility 0x109) --------------------------------

// Informational.
inline constexpr uint32_t kMsgDllDoesNotExist = 0x61090010;
inline constexpr uint32_t kMsgCopyConfigToU3 = 0x61090019;
inline constexpr uint32_t kMsgSessionLockedReadOnly = 0x6109001A;
inline constexpr uint32_t kMsgDoNotShowAgain = 0x6109001B;
inline constexpr uint32_t kMsgConfigMigrated = 0x6109001C;
// Warnings.
inline constexpr uint32_t kMsgSessionsReadOnlyNotUpdated = 0xA1090004;
inline constexpr uint32_t kMsgWarningText = 0xA1090005;
inline constexpr uint32_t kMsgKeymapLinesIgnored = 0xA1090008;
inline constexpr uint32_t kMsgScriptingDisabled = 0xA1090009;
// Errors.
inline constexpr uint32_t kMsgFolderAccessDenied = 0xE1090001;
inline constexpr uint32_t kMsgFolderNotValid = 0xE1090002;
inline constexpr uint32_t kMsgApplyDefaultToAll = 0xE1090003;
inline constexpr uint32_t kMsgFontMapNotFound = 0xE1090006;
inline constexpr uint32_t kMsgKeymapLoadFailed = 0xE1090007;
inline constexpr uint32_t kMsgProtocolNotSupported = 0xE109000A;
inline constexpr uint32_t kMsgNotAUrl = 0xE109000B;
inline constexpr uint32_t kMsgUrlSyntaxInvalid = 0xE109000C;
inline constexpr uint32_t kMsgUrlProtocolNotSupported = 0xE109000D;
inline constexpr uint32_t kMsgProtocolDllLoadFailed = 0xE109000E;
inline constexpr uint32_t kMsgLaunchFailed = 0xE109000F;
inline constexpr uint32_t kMsgDllEntryPointFailed = 0xE1090011;
inline constexpr uint32_t kMsgDllLoadException = 0xE1090012;
inline constexpr uint32_t kMsgDllGuidMismatch = 0xE1090013;
inline constexpr uint32_t kMsgColumnsOutOfRange = 0xE1090014;
inline constexpr uint32_t kMsgAutoSessionMissing = 0xE1090015;
inline constexpr uint32_t kMsgNameInUse = 0xE1090016;
inline constexpr uint32_t kMsgExitApplication = 0xE1090017;
inline constexpr uint32_t kMsgNoProtocolDlls = 0xE1090018;
inline constexpr uint32_t kMsgCommandLineFolderNotValid = 0xE109001D;
inline constexpr uint32_t kMsgMigrationRunning = 0xE109001E;
inline constexpr uint32_t kMsgMigrationFailed = 0xE109001F;

// ---- the host's messages (facility 0x104) -----------------------------------
// Their texts live in the host's own table (see SetHostMessageModule).
inline constexpr uint32_t kMsgHostLibraryLoadFailed =
    0xE1040049;  // inserts: file name, system error
inline constexpr uint32_t kMsgHostEntryPointMissing =
    0xE104004A;  // inserts: file name, system error
// A log file name pattern with a token the expansion does not know (or %S, %H
// without a value); insert: the pattern from that '%' up to the next '%'.
inline constexpr uint32_t kMsgHostLogNameUnknownToken = 0xE1040070;
// A log file name pattern ending in a lone '%'; no insert.
inline constexpr uint32_t kMsgHostLogNameTrailingPercent = 0xE1040071;

// The maker's feedback web page, named in the migration and protocol messages.
inline constexpr char16_t kFeedbackWebPage[] =
    u"https://www.norvik-software.example/support/feedback";

// The file name under which the library's message module reports itself.
inline constexpr char kLibraryModuleFileName[] = "libSessionDeck60U.so";

struct VLibraryMessage {
    uint32_t id;
    const char16_t* text;
};

// Every message of the library's table, in ascending id order.
SESSIONDECK_API std::span<const VLibraryMessage> LibraryMessages();

// The text of one of the library's messages; null when the table lacks the id.
SESSIONDECK_API const char16_t* LookupLibraryMessage(uint32_t id);

}  // namespace sessiondeck
