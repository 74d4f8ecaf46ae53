// SessionConfig: one saved session (its connections, terminal, logging, printing, idle, monitoring
// and transfer-client settings) and ISessionConfig, the counted interface hosts hold it by.
#pragma once

#include <cstdint>

#include "data/binary_records.h"
#include "foundation/buffer.h"
#include "foundation/export.h"
#include "foundation/unicode_string.h"
#include "foundation/unknown.h"
#include "profile/composite_values.h"
#include "profile/profile_data.h"
#include "profile/profile_store.h"
#include "profile/secret_settings.h"
#include "session/connect_config.h"
#include "session/serial_device_config.h"
#include "session/terminal_config.h"

namespace sessiondeck {

struct LogFileOptions;

// What a host sees of a saved session. The order of the operations is the
// order hosts built against the library expect; new ones go at the end.
class ISessionConfig : public IVUnknown {
public:
    static constexpr VGuid IID = {
        0x7c3b9e41, 0x2d6a, 0x4f08, {0xb1, 0x5e, 0x93, 0x0c, 0x7a, 0x44, 0xd2, 0x6b}};

    virtual bool IsModified() const = 0;
    virtual void Checkpoint() = 0;
    virtual void Rollback() = 0;
    // Writes the settings that changed since the last save, or every setting
    // when `force` is set.
    virtual void Save(VProfileKey* key, bool force) = 0;
    virtual const VUnicodeString& GetSessionPath() const = 0;
    virtual void SetSessionPath(const VUnicodeString& path) = 0;
    virtual const VUnicodeString& GetSessionName() const = 0;
    virtual void SetSessionName(const VUnicodeString& name) = 0;
    virtual VUnicodeString GetSessionDeckDescription() const = 0;
    // A new session (one reference, the caller's) holding copies of everything.
    virtual ISessionConfig* Clone() const = 0;
    virtual void RenameRestartParamsFile(const VUnicodeString& newName) = 0;
    virtual void DeleteRestartParamsFile() = 0;
    virtual bool CanConnectTerminalConfig() const = 0;
    virtual bool CanConnectTransferConfig() const = 0;
    virtual VUnicodeString GetFirewallName() const = 0;
    virtual void SetFirewallName(const char16_t* name) = 0;
    virtual void SetTemporaryFirewallName(const char16_t* name) = 0;
    // The side's connect configuration, or null when the session has none.
    // The session keeps its reference.
    virtual ConnectConfig* GetTermConnectConfig() const = 0;
    virtual ConnectConfig* GetTransferConnectConfig() const = 0;
    virtual void SetTerminalProtocol(const char16_t* name) = 0;
    virtual VUnicodeString GetTerminalProtocol() const = 0;
    virtual VUnicodeString GetTransferProtocol() const = 0;
    virtual void SetInitialDirectory(const char16_t* directory) = 0;
    virtual void GetSerializedFirewallNames(IBuffer* buffer) const = 0;
    virtual bool IsDefaultSession() const = 0;

    // Its table has a DeleteThis slot of its own, which VUnknown fills.
    static constexpr bool kDeclaresDeleteThis = true;

protected:
    ~ISessionConfig() override = default;
    virtual void DeleteThis() = 0;

public:
    virtual bool IsPersistent() const = 0;
};

// The stored form of "Login Script": the scrambled form, read also from the
// older data-protected form, which is rewritten at once in the scrambled form.
using VLoginScriptSetting = VProfileEncodedStringFromCapi;

class SESSIONDECK_API SessionConfig : public VUnknown<ISessionConfig>,
                                      public VProfileRecord<SessionConfig> {
public:
    using Record = VProfileRecord<SessionConfig>;

    // The name and path of the session every new session starts from.
    static constexpr const char16_t* kDefaultSessionName = u"Default";

    // Loads every setting from `key` (null: all defaults). The name and the
    // path both become `name`. A session named "Default" made without a key
    // creates "Sessions\Default" in the host's store when it is not there yet.
    SessionConfig(const VUnicodeString& name, VProfileKey* key);
    // The session path this record was loaded from by the session database,
    // or empty for a session made in memory: saving a loaded session whose
    // key has gone since must not bring it back.
    const VUnicodeString& GetLoadedPath() const { return m_loadedPath; }
    void SetLoadedPath(const VUnicodeString& path) { m_loadedPath = path; }
    // What a "Default" session made without a key does about a store lacking
    // "Sessions\Default": create it, or (for read-only callers) leave the
    // store alone.
    enum class DefaultKey { kCreate, kLeaveMissing };
    SessionConfig(const VUnicodeString& name, VProfileKey* key, DefaultKey whenMissing);

    // ISessionConfig
    bool IsModified() const override { return Record::IsModified(); }
    void Checkpoint() override { Record::Checkpoint(); }
    void Rollback() override { Record::Rollback(); }
    void Save(VProfileKey* key, bool force) override { Record::Save(key, force); }
    const VUnicodeString& GetSessionPath() const override { return m_sessionPath; }
    // Gives the session a path; from then on it counts as persistent (the
    // default session never does).
    void SetSessionPath(const VUnicodeString& path) override;
    const VUnicodeString& GetSessionName() const override { return m_sessionName; }
    void SetSessionName(const VUnicodeString& name) override { m_sessionName = name; }
    VUnicodeString GetSessionDeckDescription() const override;
    ISessionConfig* Clone() const override;
    // Restart files belong to the transfer application; nothing to do here.
    void RenameRestartParamsFile(const VUnicodeString&) override {}
    void DeleteRestartParamsFile() override {}
    bool CanConnectTerminalConfig() const override;
    bool CanConnectTransferConfig() const override;
    VUnicodeString GetFirewallName() const override;
    void SetFirewallName(const char16_t* name) override;
    void SetTemporaryFirewallName(const char16_t* name) override;
    ConnectConfig* GetTermConnectConfig() const override;
    ConnectConfig* GetTransferConnectConfig() const override;
    void SetTerminalProtocol(const char16_t* name) override;
    VUnicodeString GetTerminalProtocol() const override;
    VUnicodeString GetTransferProtocol() const override;
    void SetInitialDirectory(const char16_t* directory) override;
    // "None" followed by the name of every stored firewall, as a string array.
    void GetSerializedFirewallNames(IBuffer* buffer) const override;
    // True when both the name and the path are exactly "Default".
    bool IsDefaultSession() const override;
    bool IsPersistent() const override { return !m_notPersistent; }

    // Marks the relevant connect configuration as (not) the default session's.
    void IsDefaultSession(int isDefault);

    // Connections.
    // Switching to a protocol whose module is not loaded leaves the side
    // without a configuration and the reason in GetLastErrorMessage().
    void SetTransferProtocol(const char16_t* name);
    void SetTransferConnectConfig(const ConnectConfigPtr& other);
    // The terminal side when the running application is a terminal
    // application, else the transfer side.
    VUnicodeString GetRelevantProtocol() const;
    void SetRelevantProtocol(const char16_t* name);
    ConnectConfig* GetRelevantConnectConfig() const;
    bool IsTRMSession() const;
    bool IsFRVSession() const;
    // Host and port of the transfer side ("" and -1 without one).
    VUnicodeString HostAddress() const;
    int HostPort() const;
    VUnicodeString GetInitialDirectory() const;
    // An FTP session (plain or over SSL) logging in as "anonymous" or "ftp".
    int IsAnonymousLogin() const;

    // Other accessors.
    const VUnicodeString& GetLocalDirectory() const { return initialLocalDirectory.Get(); }
    VProfile2<VUnicodeString, VProfileSz>& GetLastDirectory() { return lastDirectory; }
    const VUnicodeString& GetUMask() const { return fileCreationMask.Get(); }
    const VUnicodeString& GetLastErrorMessage() const { return m_lastErrorMessage; }
    bool GetShiftForcesLocalMouse() const { return terminal.shiftForcesLocalMouseOperations.Get(); }
    void SetShiftForcesLocalMouse(bool forces) {
        terminal.shiftForcesLocalMouseOperations = forces;
    }
    // The log file's mode bits: 1 log mode, 2 raw, 4 prompt, 8 multiple sessions.
    int GetMode() const;
    // How a host starts this session from a command line.
    VUnicodeString CommandLine() const;
    // `path` with its log-name variables expanded for this session.
    VUnicodeString ExpandPath(const VUnicodeString& path) const;
    // Whether `a`, expanded, names `b` (compared without regard to case).
    bool ExpandedPathEqual(const VUnicodeString& a, const VUnicodeString& b) const;
    VUnicodeString GetExpandedLogFilename(const VUnicodeString& name) const;
    VUnicodeString GetExpandedLogFilename() const;
    // What the session contributes to its log: its custom messages, "Log Only
    // Custom", its name and the host of its relevant connection. A LogFile
    // takes them from the session with SetLoggingOptions(session).
    LogFileOptions GetLoggingOptions() const;

    // Copies the files every stored session refers to (login script, key map
    // file, user font map, and what its connect configurations keep) into the
    // portable drive's data folder and stores their paths in the "%u3data%"
    // form. Files already there, missing files and read-only sessions are
    // left as they are. Does nothing when no portable drive is in use. It
    // walks the whole session database, so it is defined beside it
    // (session/portable_drive.cpp), not with the record.
    static void CopySessionFilesAndUpdatePaths();

    // Whether the session was loaded without a key or is named "Default"
    // (any case): such sessions start from fixed view states rather than the
    // global ones.
    bool IsDefaultLike() const { return m_defaultLike; }

private:
    // Shared by both connect configurations; made before them.
    VUnknownPointer<CommonConfig> m_common;

public:
    // ---- the persisted settings, in table order --------------------------
    VProfile<bool> isSession;
    ConnectConfigPtr terminalProtocol;
    ConnectConfigPtr transferProtocol;
    TerminalConfig terminal;
    VProfile<int> useTitleBar;
    VProfile2<VUnicodeString, VProfileSz> titleBar;
    VProfile<bool> useLoginScript;
    VLoginScriptSetting loginScript;
    VProfile<bool> useScriptFile;
    VProfile2<VUnicodeString, VProfileSz> scriptFilename;
    VProfile2<VUnicodeString, VProfileSz> uploadDirectory;
    VProfile2<VUnicodeString, VProfileSz> downloadDirectory;
    VProfile<int> xmodemSendPacketSize;
    VProfile2<VUnicodeString, VProfileSz> zmodemReceiveCommand;
    VProfile<int> disableZModem;
    VProfile<bool> zmodemUses32BitCrc;
    VProfile<bool> force1024ForZModem;
    VProfile<bool> zmodemEncodesDel;
    VProfile<bool> zmodemLowerCaseUploads;
    VProfile2<VUnicodeString, VProfileSz> logFilename;
    VProfile2<VUnicodeString, VProfileSz> customLogMessageConnect;
    VProfile2<VUnicodeString, VProfileSz> customLogMessageDisconnect;
    VProfile2<VUnicodeString, VProfileSz> customLogMessageEachLine;
    VProfile<bool> logOnlyCustom;
    VProfile<int> logPrompt;
    VProfile<int> logMode;
    VProfile<int> startLogUponConnect;
    VProfile<int> rawLog;
    VProfile<bool> logMultipleSessions;
    VProfile<unsigned int> traceLevel;
    VProfile<unsigned int> keyboardCharSendDelay;
    VProfile<int> useWordDelimiterChars;
    VProfile2<VUnicodeString, VProfileSz> wordDelimiterChars;
    VProfile<int> idleCheck;
    VProfile<int> idleTimeout;
    VProfile2<VUnicodeString, VProfileSz> idleString;
    VProfile<int> idleNoOpCheck;
    VProfile<int> idleNoOpTimeout;
    VProfile<int> alwaysOnTop;
    VProfile<int> lineSendDelay;
    VProfile<int> characterSendDelay;
    VProfile<int> useGlobalAdvancedPrintSettings;
    VProfile<int> disablePassThroughPrinting;
    VProfile<int> bufferPassThroughPrinting;
    VProfile<int> useRawMode;
    VProfile<int> usePrinterPort;
    VSerialDeviceConfig printerPort;
    VProfile<int> ejectPageInterval;
    VProfile<int> forceBlackOnWhite;
    VProfile2<VUnicodeString, VProfileSz> monitorListenAddress;
    VProfile2<VUnicodeString, VProfileSz> monitorUsername;
    VProfileBlowfishString monitorPassword;
    VProfile<bool> monitorAllowRemoteInput;
    VProfile<int> disableResize;
    VProfile<int> autoReconnect;
    VProfile<int> minimizeToTray;
    VProfile<int> useGlobalPrintSettings;
    VProfileMargins pageMargins;
    ProfileLogFont printerFont;
    VProfile<int> pageOrientation;
    VProfile<int> paperSize;
    VProfile<int> paperSource;
    VProfile2<VUnicodeString, VProfileSz> printerName;
    VProfile<int> operatingSystem;
    VProfile2<VUnicodeString, VProfileSz> timeZone;
    VProfileMultiLineString description;
    VProfile2<VUnicodeString, VProfileSz> lastDirectory;
    VProfile2<VUnicodeString, VProfileSz> initialLocalDirectory;
    VProfile2<VUnicodeString, VProfileSz> defaultDownloadDirectory;
    VProfile<int> fileSystemCase;
    VProfile2<VUnicodeString, VProfileSz> fileCreationMask;
    VProfile<int> disableDirectoryTreeDetection;
    VProfile<int> verifyRetrieveFileStatus;
    VProfile<int> resolveSymbolicLinks;
    VProfileWindowPlacement remoteFrameWindowPlacement;
    VProfileExplorerFrameState remoteExplorerFrameState;
    VProfileListViewState remoteListViewState;
    VProfile<int> restartDataSize;
    VProfile2<VUnicodeString, VProfileSz> restartDatafilePath;
    VProfile<int> maxTransferBuffers;
    VProfile<bool> filenamesAlwaysUseUtf8;

protected:
    ~SessionConfig() override;

private:
    friend class VProfileRecord<SessionConfig>;

    SessionConfig(const SessionConfig& other);
    SessionConfig& operator=(const SessionConfig&) = delete;

    // The settings, in table order, with the rules that go beyond a default.
    void LoadSettings(VProfileKey* key);
    // Notes in the last error message that `name` switched `holder` to a
    // protocol without a configuration.
    void NoteProtocolSwitch(const ConnectConfigPtr& holder, const char16_t* name);
    // The default session comes into being the first time it is asked for.
    void CreateDefaultSessionKey();

    // Where the defaults that depend on the key come from while loading.
    bool m_keyExists = false;
    bool m_defaultLike = false;

    VUnicodeString m_sessionName;
    VUnicodeString m_sessionPath;
    VUnicodeString m_loadedPath;
    VUnicodeString m_lastErrorMessage;
    bool m_notPersistent = true;

public:
    // Defaults that need more than a literal are computed from the record
    // being loaded (the members before them are already loaded).
    static VUnicodeString DefaultUploadDirectory();
    static VUnicodeString DefaultDownloadDirectory();
    static VUnicodeString DefaultDefaultDownloadDirectory();

    static constexpr auto _profileOffsets = VProfileMembers(
        VProfileMember(&SessionConfig::isSession, u"Is Session", false),
        // The connect configurations are built from the key with the session.
        VProfileMember(&SessionConfig::terminalProtocol, ConnectConfigPtr::kTerminalValueName),
        VProfileMember(&SessionConfig::transferProtocol, ConnectConfigPtr::kTransferValueName),
        // Loaded from the session's own key with the session.
        VProfileMember(&SessionConfig::terminal, nullptr),
        VProfileMember(&SessionConfig::useTitleBar, u"Use Title Bar", 0),
        VProfileMember(&SessionConfig::titleBar, u"Title Bar"),
        VProfileMember(&SessionConfig::useLoginScript, u"Use Login Script", false),
        VProfileMember(&SessionConfig::loginScript, u"Login Script"),
        VProfileMember(&SessionConfig::useScriptFile, u"Use Script File", false),
        VProfileMember(&SessionConfig::scriptFilename, u"Script Filename"),
        VProfileMember(&SessionConfig::uploadDirectory, u"Upload Directory",
                       [](const auto&) { return DefaultUploadDirectory(); }),
        VProfileMember(&SessionConfig::downloadDirectory, u"Download Directory",
                       [](const auto&) { return DefaultDownloadDirectory(); }),
        VProfileMember(&SessionConfig::xmodemSendPacketSize, u"XModem Send Packet Size", 0),
        VProfileMember(&SessionConfig::zmodemReceiveCommand, u"ZModem Receive Command", u"rz\\r"),
        VProfileMember(&SessionConfig::disableZModem, u"Disable ZModem", 0),
        VProfileMember(&SessionConfig::zmodemUses32BitCrc, u"ZModem Uses 32 Bit CRC", false),
        VProfileMember(&SessionConfig::force1024ForZModem, u"Force 1024 for ZModem", false),
        VProfileMember(&SessionConfig::zmodemEncodesDel, u"ZModem Encodes DEL", true),
        VProfileMember(&SessionConfig::zmodemLowerCaseUploads,
                       u"ZModem Force All Caps Filenames to Lower Case on Upload", true),
        VProfileMember(&SessionConfig::logFilename, u"Log Filename"),
        VProfileMember(&SessionConfig::customLogMessageConnect, u"Custom Log Message Connect"),
        VProfileMember(&SessionConfig::customLogMessageDisconnect,
                       u"Custom Log Message Disconnect"),
        VProfileMember(&SessionConfig::customLogMessageEachLine, u"Custom Log Message Each Line"),
        VProfileMember(&SessionConfig::logOnlyCustom, u"Log Only Custom", false),
        VProfileMember(&SessionConfig::logPrompt, u"Log Prompt", 0),
        VProfileMember(&SessionConfig::logMode, u"Log Mode", 0),
        VProfileMember(&SessionConfig::startLogUponConnect, u"Start Log Upon Connect", 0),
        VProfileMember(&SessionConfig::rawLog, u"Raw Log", 0),
        VProfileMember(&SessionConfig::logMultipleSessions, u"Log Multiple Sessions", false),
        VProfileMember(&SessionConfig::traceLevel, u"Trace Level", 0u),
        VProfileMember(&SessionConfig::keyboardCharSendDelay, u"Keyboard Char Send Delay", 0u),
        VProfileMember(&SessionConfig::useWordDelimiterChars, u"Use Word Delimiter Chars", 0),
        VProfileMember(&SessionConfig::wordDelimiterChars, u"Word Delimiter Chars"),
        // Its default depends on "Idle Timeout", which follows; LoadSettings
        // settles it once the timeout is loaded.
        VProfileMember(&SessionConfig::idleCheck, u"Idle Check", 0),
        VProfileMember(&SessionConfig::idleTimeout, u"Idle Timeout", 0),
        VProfileMember(&SessionConfig::idleString, u"Idle String"),
        VProfileMember(&SessionConfig::idleNoOpCheck, u"Idle NO-OP Check", 0),
        VProfileMember(&SessionConfig::idleNoOpTimeout, u"Idle NO-OP Timeout", 60),
        VProfileMember(&SessionConfig::alwaysOnTop, u"AlwaysOnTop", 0),
        // A session stored before these delays were per session keeps the
        // global delays it used to run with.
        VProfileMember(&SessionConfig::lineSendDelay, u"Line Send Delay",
                       [](const auto& self) { return self.GlobalLineSendDelay(5); }),
        VProfileMember(&SessionConfig::characterSendDelay, u"Character Send Delay",
                       [](const auto& self) { return self.GlobalCharacterSendDelay(0); }),
        VProfileMember(&SessionConfig::useGlobalAdvancedPrintSettings,
                       u"Use Global Advanced Print Settings", 1),
        VProfileMember(&SessionConfig::disablePassThroughPrinting, u"Disable Pass Through Printing",
                       0),
        VProfileMember(&SessionConfig::bufferPassThroughPrinting, u"Buffer Pass Through Printing",
                       0),
        VProfileMember(&SessionConfig::useRawMode, u"Use Raw Mode", 0),
        VProfileMember(&SessionConfig::usePrinterPort, u"Use Printer Port", 0),
        // Loaded with its prefix and port name by LoadSettings.
        VProfileMember(&SessionConfig::printerPort, nullptr),
        VProfileMember(&SessionConfig::ejectPageInterval, u"Eject Page Interval", 0),
        VProfileMember(&SessionConfig::forceBlackOnWhite, u"Force Black On White", 0),
        VProfileMember(&SessionConfig::monitorListenAddress, u"Monitor Listen Address",
                       u"0.0.0.0:22"),
        VProfileMember(&SessionConfig::monitorUsername, u"Monitor Username"),
        VProfileMember(&SessionConfig::monitorPassword, u"Monitor Password"),
        VProfileMember(&SessionConfig::monitorAllowRemoteInput, u"Monitor Allow Remote Input",
                       false),
        VProfileMember(&SessionConfig::disableResize, u"Disable Resize", 2),
        VProfileMember(&SessionConfig::autoReconnect, u"Auto Reconnect", 2),
        VProfileMember(&SessionConfig::minimizeToTray, u"Minimize To Tray", 2),
        VProfileMember(&SessionConfig::useGlobalPrintSettings, u"Use Global Print Settings", 1),
        VProfileMember(&SessionConfig::pageMargins, u"Page Margins", VMarginData{}),
        VProfileMember(&SessionConfig::printerFont, u"Printer Font v2",
                       [](const auto&) { return DefaultPrinterFont(); }),
        VProfileMember(&SessionConfig::pageOrientation, u"Page Orientation", 1),
        VProfileMember(&SessionConfig::paperSize, u"Paper Size", 1),
        VProfileMember(&SessionConfig::paperSource, u"Paper Source", 7),
        VProfileMember(&SessionConfig::printerName, u"Printer Name"),
        VProfileMember(&SessionConfig::operatingSystem, u"Operating System", 0),
        VProfileMember(&SessionConfig::timeZone, u"Time Zone"),
        VProfileMember(&SessionConfig::description, u"Description"),
        VProfileMember(&SessionConfig::lastDirectory, u"Last Directory"),
        VProfileMember(&SessionConfig::initialLocalDirectory, u"Initial Local Directory"),
        VProfileMember(&SessionConfig::defaultDownloadDirectory, u"Default Download Directory",
                       [](const auto&) { return DefaultDefaultDownloadDirectory(); }),
        VProfileMember(&SessionConfig::fileSystemCase, u"File System Case", 0),
        VProfileMember(&SessionConfig::fileCreationMask, u"File Creation Mask"),
        VProfileMember(&SessionConfig::disableDirectoryTreeDetection,
                       u"Disable Directory Tree Detection", 2),
        VProfileMember(&SessionConfig::verifyRetrieveFileStatus, u"Verify Retrieve File Status", 2),
        VProfileMember(&SessionConfig::resolveSymbolicLinks, u"Resolve Symbolic Links", 2),
        VProfileMember(&SessionConfig::remoteFrameWindowPlacement, u"RemoteFrame Window Placement",
                       [](const auto& self) { return self.DefaultRemoteFramePlacement(); }),
        // Empty texts here; LoadSettings fills an empty state from the global one.
        VProfileMember(&SessionConfig::remoteExplorerFrameState, u"Remote ExplorerFrame State"),
        VProfileMember(&SessionConfig::remoteListViewState, u"Remote ListView State"),
        VProfileMember(&SessionConfig::restartDataSize, u"Restart Data Size", 0),
        VProfileMember(&SessionConfig::restartDatafilePath, u"Restart Datafile Path"),
        VProfileMember(&SessionConfig::maxTransferBuffers, u"Max Transfer Buffers", 4),
        VProfileMember(&SessionConfig::filenamesAlwaysUseUtf8, u"Filenames Always Use UTF8",
                       false));

private:
    // Whether the running host is a terminal application (else the transfer
    // application): it decides which side is the relevant one.
    static bool TerminalHost();

    int GlobalLineSendDelay(int withoutKey) const;
    int GlobalCharacterSendDelay(int withoutKey) const;
    WINDOWPLACEMENT DefaultRemoteFramePlacement() const;
};

}  // namespace sessiondeck
