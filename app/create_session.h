// Sessions made outside the session tree: from a store key the host holds, and ad hoc from a URL
// or a host name the user typed.
#pragma once

#include "foundation/export.h"
#include "foundation/report.h"
#include "profile/profile_store.h"

namespace sessiondeck {

class ISessionConfig;

// A new session named `name` loaded from `key` (null: all defaults). The
// caller owns the one reference.
SESSIONDECK_API ISessionConfig* CreateSessionConfig(const char16_t* name, VProfileKey* key);

// An ad-hoc file-transfer session for `text`: a URL (its scheme picks FTP,
// FTP/SSL (implicit) or SFTP), or else a host name or numeric address, reached
// with the default session's transfer protocol and that protocol's usual port
// (FTP also logging in anonymously). Everything else comes from the default
// session, whose name and path the result keeps, so the store is untouched
// unless the caller saves it under a name of its own.
//
// `transferType` receives the URL's transfer type, or -1 for a host name.
// On failure the answer is null and `report` says why: 0xE109000B for an
// empty text, the URL parser's report for a URL it refuses, 0xE109000A when the
// transfer protocol's module is not loaded. On success `report` is cleared.
SESSIONDECK_API ISessionConfig* CreateSessionConfig(const char16_t* text, int& transferType,
                                                    VReportMessageParams& report);

}  // namespace sessiondeck
