// Session Options on wxWidgets: the option frame over SessionOptionsModel, with the Connection
// page's name and protocol choices drawn above its bound controls.
#pragma once

#include <wx/string.h>

#include <functional>

#include "foundation/unicode_string.h"
#include "ui/model/default_session_edit.h"

class wxWindow;

namespace sessiondeck {

class ISessionConfig;

// Shows Session Options for `session` (mode 2: read-only) and answers 1 for OK, 2 for Cancel.
// On OK the session holds the changes and, when the user renamed it, its new name; saving it is
// the caller's business. wxWidgets must be running.
int RunSessionOptionsDialog(wxWindow* parent, ISessionConfig* session, int mode);

// Waits for a walk over every session (already running on its own thread) while a progress
// dialog titled `caption` shows sessions done / total after `doing` and keeps the window
// responsive; answers the walk's tally.
GlobalChangeTally ShowSessionWalk(wxWindow* parent, const wxString& caption, const wxString& doing,
                                  BackgroundSessionWalk& walk);

// Session Options on the Default session over `parent`, then the offer to apply the changes to
// every session (with the progress dialog) and the tally. Global Options' "Default Session" page
// reaches it through GlobalOptionsModel::EditDefaultSessionHook, which this file fills in.
DefaultSessionEdit RunDefaultSessionEdit(wxWindow* parent);

// Session Options on the stored session at `path`, saved and renamed on OK: 1 written, 2
// Cancel, -1 when `ensureToolkit` finds no display, 0 with `error` when the path names no
// session or the store refused.
int RunStoredSessionEdit(const VUnicodeString& path, VUnicodeString& error,
                         const std::function<bool()>& ensureToolkit);

}  // namespace sessiondeck
