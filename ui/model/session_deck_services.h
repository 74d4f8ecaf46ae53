// What the session manager model needs from its surroundings, each behind a small interface so
// that a view (or a test) supplies it: the host's callbacks, the sibling launcher, the desktop
// shortcut writer, the clipboard and a timer.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "foundation/unicode_string.h"
#include "foundation/unknown.h"
#include "session/session_config.h"
#include "ui/model/folder_tree_record.h"

namespace sessiondeck {

// The three callbacks a host hands the dialog, plus the new-session wizard it may run.
class ISessionDeckHostCallbacks {
public:
    virtual ~ISessionDeckHostCallbacks() = default;
    // 1 when `session` was filled with a new session (one reference, the dialog's) to connect.
    virtual int QuickConnect(const VUnicodeString& folderPath,
                             VUnknownPointer<ISessionConfig>& session) = 0;
    // 1 when the user confirmed the changes to `session`; isNew is 1 for a new session.
    virtual int SessionProperties(ISessionConfig* session, int isNew) = 0;
    virtual void Help(unsigned command, unsigned long data) = 0;
    // The new-session wizard for `productId`: kWizardFinish when it ended with Finish, then
    // `useWizard` holds the user's choice for next time; any other value is its other end.
    static constexpr int kWizardFinish = 1;
    virtual int NewSessionWizard(ISessionConfig* session, int productId, bool& useWizard) = 0;
};

// Starts a sibling application with a launch command line.
class ISiblingLauncher {
public:
    virtual ~ISiblingLauncher() = default;
    virtual bool LaunchTerminalApp(const VUnicodeString& commandLine) = 0;
    virtual bool LaunchFileTransferApp(const VUnicodeString& commandLine) = 0;
};

// The library's own launcher.
class LibrarySiblingLauncher : public ISiblingLauncher {
public:
    bool LaunchTerminalApp(const VUnicodeString& commandLine) override;
    bool LaunchFileTransferApp(const VUnicodeString& commandLine) override;
};

// Writes a desktop shortcut named `label` that starts the host with `arguments`.
class IShortcutWriter {
public:
    virtual ~IShortcutWriter() = default;
    virtual bool Write(const VUnicodeString& label, const VUnicodeString& arguments) = 0;
};

// A freedesktop launcher file "<label>.desktop" in the user's desktop folder (xdg-user-dir
// DESKTOP, else ~/Desktop), whose Exec line runs `executable` with the arguments.
class DesktopFileShortcutWriter : public IShortcutWriter {
public:
    // An empty executable means the running program.
    explicit DesktopFileShortcutWriter(VUnicodeString executable = {},
                                       VUnicodeString desktopFolder = {});
    bool Write(const VUnicodeString& label, const VUnicodeString& arguments) override;

    // The Exec value for the executable and a Windows-style argument string ("/S \"a\\b\" ").
    static VUnicodeString ExecLine(const VUnicodeString& executable,
                                   const VUnicodeString& arguments);
    static VUnicodeString DesktopFolder();

private:
    VUnicodeString m_executable;
    VUnicodeString m_folder;
};

// The clipboard, holding at most one "FolderTree" record.
class IFolderTreeClipboard {
public:
    virtual ~IFolderTreeClipboard() = default;
    virtual bool Put(const std::array<uint8_t, FolderTreeRecord::kSize>& bytes) = 0;
    // The record's bytes, or null when the clipboard holds no "FolderTree" record.
    virtual std::optional<std::vector<uint8_t>> Get() = 0;
};

// A clipboard inside the process, for hosts without one and for tests.
class ProcessFolderTreeClipboard : public IFolderTreeClipboard {
public:
    bool Put(const std::array<uint8_t, FolderTreeRecord::kSize>& bytes) override;
    std::optional<std::vector<uint8_t>> Get() override;
    void Clear() { m_bytes.reset(); }

private:
    std::optional<std::vector<uint8_t>> m_bytes;
};

// One-shot or repeating timers by id; the view calls SessionDeckModel::OnTimer when one fires.
class ISessionDeckTimer {
public:
    virtual ~ISessionDeckTimer() = default;
    virtual void Start(unsigned id, unsigned milliseconds) = 0;
    virtual void Stop(unsigned id) = 0;
};

}  // namespace sessiondeck
