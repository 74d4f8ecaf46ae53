// GlobalConfig: the application-wide options shared by the host applications, and the shared
// instance.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string_view>
#include <utility>
#include <vector>

#include "data/binary_records.h"
#include "data/color_scheme.h"
#include "data/synchronize_profile.h"
#include "foundation/export.h"
#include "foundation/synch_object.h"
#include "foundation/unicode_string.h"
#include "profile/composite_values.h"
#include "profile/profile_data.h"
#include "profile/profile_store.h"
#include "session/serial_device_config.h"

namespace sessiondeck {

// The identifier of the current configuration format, kept in "Version".
inline constexpr char16_t kCurrentConfigVersion[] = u"7B2F2717-85C8-4729-8394-3B7697039CEB";
inline constexpr char16_t kGlobalKeyName[] = u"Global";

// One entry of the global option table: the member, its value name (and the
// file-transfer host's own name, when it keeps the option apart), its default
// and whether Save writes it. Defaults follow VProfileMember: a value, a
// callable taking the record, or none (the empty value). Composite members
// take what their own Init takes: the serial port its port name, the others
// nothing.
template <class Owner, class Setting, class Default, bool Persisted>
struct GlobalOptionEntry
    : VProfileMember<Owner, Setting, Default>,
      VSettingLimitsChain<GlobalOptionEntry<Owner, Setting, Default, Persisted>> {
    // Parameters are named apart from the members so hosts building with
    // -Wshadow see no warning from this header.
    constexpr GlobalOptionEntry(Setting Owner::*memberPointer, const char16_t* valueName,
                                const char16_t* transferValueName, Default defaultFor)
        : VProfileMember<Owner, Setting, Default>(memberPointer, valueName, defaultFor),
          transferName(transferValueName) {}

    // The limits chain gives back the whole entry, the transfer name included.
    using Chain = VSettingLimitsChain<GlobalOptionEntry>;
    using Chain::AtLeast;
    using Chain::Label;
    using Chain::OneOf;
    using Chain::Range;
    using Chain::ResetOnLoad;

    static constexpr bool kPersisted = Persisted;
    const char16_t* transferName;  // null: both hosts use `name`

    const char16_t* NameFor(bool transferHost) const {
        return transferHost && transferName ? transferName : this->name;
    }
};

template <class Owner, class Setting, class Default = VProfileNoDefault>
constexpr auto Option(Setting Owner::*member, const char16_t* name, Default value = {}) {
    return GlobalOptionEntry<Owner, Setting, Default, true>(member, name, nullptr, value);
}
template <class Owner, class Setting, class Default = VProfileNoDefault>
constexpr auto HostOption(Setting Owner::*member, const char16_t* name,
                          const char16_t* transferName, Default value = {}) {
    return GlobalOptionEntry<Owner, Setting, Default, true>(member, name, transferName, value);
}
// Loaded and merged like the others, but never written by Save.
template <class Owner, class Setting, class Default = VProfileNoDefault>
constexpr auto TransientOption(Setting Owner::*member, const char16_t* name, Default value = {}) {
    return GlobalOptionEntry<Owner, Setting, Default, false>(member, name, nullptr, value);
}

// Where the entries that Save writes sit in a table, in table order.
template <class... Entries>
struct PersistedIndices {
    static constexpr std::array<bool, sizeof...(Entries)> kKeep{Entries::kPersisted...};
    static constexpr std::size_t kCount = [] {
        std::size_t count = 0;
        for (bool keep : kKeep) count += keep ? 1 : 0;
        return count;
    }();
    static constexpr std::array<std::size_t, kCount> kIndices = [] {
        std::array<std::size_t, kCount> indices{};
        std::size_t next = 0;
        for (std::size_t i = 0; i < kKeep.size(); ++i)
            if (kKeep[i]) indices[next++] = i;
        return indices;
    }();
};

// The entries of a table that Save writes, in table order.
template <class... Entries>
constexpr auto PersistedEntries(const VProfileTable<Entries...>& all) {
    using Table = VProfileTable<Entries...>;
    using Where = PersistedIndices<Entries...>;
    return [&]<std::size_t... J>(std::index_sequence<J...>) {
        return VProfileTable<VProfileTableEntry<Where::kIndices[J], Table>...>(
            all.template Get<Where::kIndices[J]>()...);
    }
    (std::make_index_sequence<Where::kCount>{});
}

// Sixteen white custom colours, and the sixteen colours of the ANSI palette.
inline constexpr CustomColors kWhiteCustomColors{
    {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
     0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}};
inline constexpr CustomColors kAnsiColors{
    {0x000000, 0x0000A0, 0x00A000, 0x00A0A0, 0xA00000, 0xA000A0, 0xA0A000, 0xC0C0C0, 0x808080,
     0x0000FF, 0x00FF00, 0x00FFFF, 0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF}};

// The desktop's font smoothing, false when it cannot be asked.
SESSIONDECK_API bool SystemFontSmoothing();

// One option as text, for hosts that list or edit options by name.
struct GlobalOptionText {
    VUnicodeString name;
    VUnicodeString value;
    bool isDefault = false;
    bool settable = true;
};

enum class GlobalOptionSetResult { kSet, kUnknownName, kBadValue, kNotSettable };

// The application-wide options, stored under "Global". A public record: hosts
// read and change the settings directly, then Save.
class SESSIONDECK_API GlobalConfig : public VUnknown<ISynchObject>,
                                     public VProfileRecord<GlobalConfig> {
public:
    // Builds the record from `key` (null: every default).
    explicit GlobalConfig(VProfileKey* key);
    GlobalConfig(const GlobalConfig&) = delete;
    GlobalConfig& operator=(const GlobalConfig&) = delete;

    // One lock, shared by every record of the process.
    void Lock() override;
    void Unlock() override;

    using VProfileRecord<GlobalConfig>::Save;
    // Writes what changed (everything with `force`) to "Global" of the host's store. False
    // when the store reports that the write failed; GetSaveReport() then says why.
    bool Save(bool force);
    bool Save() { return Save(false); }
    // Why the last Save failed (an errno with the system's text); empty after one that wrote.
    const VReportMessageParams& GetSaveReport() const { return m_saveReport; }

    // Takes each value `key` holds as the current value and its checkpoint,
    // then corrects values out of range again.
    void Merge(VProfileKey* key);
    // The corrections applied after loading: every number back inside its
    // table limits, and the rules between options. With `termcap` the options
    // the table resets on load take their defaults as well.
    void ApplyRules(bool termcap);

    bool IsAlwaysOpaque() const;
    bool InstalledFtpSites() const { return installedFtpSites.Get(); }
    void InstalledFtpSites(bool installed) { installedFtpSites = installed; }
    bool DisableAllScripting() const { return scriptingDisabled; }

    static uint32_t GetGlobalConfigChangeMessage();
    static uint32_t GetTraywardShowSelectionMessage();

    // True when the host counts as the file-transfer application, which
    // decides the names of the host-dependent options.
    bool IsTransferHost() const { return m_transferHost; }
    // Whether "Version" could be read when the record was built.
    bool WasVersionStored() const { return m_versionStored; }
    // When the record was built, in seconds since 1970 (low 32 bits).
    unsigned long GetBuildTime() const { return m_buildTime; }

    // Every option in table order as text (the serial port's settings one by
    // one), and setting one by name (exact, else without regard to case). A
    // set value is an edit: Save writes it. Options the table resets on load,
    // and settings whose text is read only, are not settable.
    std::vector<GlobalOptionText> DescribeOptions() const;
    GlobalOptionSetResult SetOptionText(std::u16string_view name, std::u16string_view text);

    // Not stored: set by the host for this run only. While one of these is
    // set, Save returns the settings it guards to their checkpoint first.
    bool overrideTransferType = false;
    bool overrideOverwriteAction = false;
    bool overrideLogFile = false;  // "Enable Log File" and "Log File"
    bool overrideRetry = false;    // "Retry Attempts" and "Retry Delay"
    bool scriptingDisabled = false;

    // ---- The options ----
    VProfileWindowPlacement windowPlacement;
    VProfileWindowPlacement connectDialogSize;
    VProfileWindowPlacement mainFrameWindowSize;
    VProfileWindowPlacement localFrameWindowSize;
    VProfileWindowPlacement remoteFrameWindowSize;
    VProfileWindowPlacement transferWindowPlacement;
    VProfileWindowPlacement synchronizeWindowPlacement;
    VProfile<int> statusIndicatorWidth;
    VProfile<int> minTabWidth;
    VProfile<int> viewLeftMargin;
    VProfile<int> mruCount;
    VProfile<int> maxColumns;
    VProfile<int> maxScrollbackBufferSize;
    VProfile<int> maxChatWindowHistory;
    VProfile<int> autoReconnectInterval;
    VProfile<int> lineSendDelay;
    VProfile<int> characterSendDelay;
    VProfile<int> activeWindowAlphaTransparency;
    VProfile<int> inactiveWindowAlphaTransparency;
    VProfile<int> connectedColor;
    VProfile<int> disconnectedColor;
    VProfile<int> newInputColor;
    VProfile<int> pageOrientation;
    VProfile<int> paperSize;
    VProfile<int> paperSource;
    VProfileMargins pageMargins;
    ProfileLogFont printerFont;
    VProfile<bool> enableFontSmoothing;
    VProfile2<VUnicodeString, VProfileSz> globalOptionsTreeState;
    VProfile2<VUnicodeString, VProfileSz> globalOptionsTreeSelected;
    VProfile2<VUnicodeString, VProfileSz> sessionOptionsTreeState;
    VProfile2<VUnicodeString, VProfileSz> sessionOptionsTreeSelected;
    VProfileCustomColors customColors;
    VProfileCustomColors ansiColorRgb;
    VProfile<int> ferrivoToolbarTheme;
    VProfile<int> vetralonToolbarTheme;
    VProfile<int> transferType;
    VProfile<int> timeout;
    VProfile<int> logBufferSize;
    VProfile<int> receiveBufferSize;
    VProfile<int> sendBufferSize;
    VProfile<int> dataConnectionType;
    VProfile<int> retryAttempts;
    VProfile<int> retryDelay;
    VProfile<int> transferViewNumberStyle;
    VProfile2<VUnicodeString, VProfileSz> openWithProgramTitle;
    VProfile<int> transferQueueHeight;
    VProfile<unsigned int> logCommandTextColor;
    VProfile<unsigned int> logResponseTextColor;
    VProfile<unsigned int> logStatusTextColor;
    VProfile<unsigned int> logWarningTextColor;
    VProfile<unsigned int> logErrorTextColor;
    VProfileExplorerFrameState localExplorerFrameState;
    VProfileExplorerFrameState remoteExplorerFrameState;
    VProfileExplorerFrameState synchronizeExplorerFrameState;
    VProfile2<VUnicodeString, VProfileSz> version;
    VProfile<bool> rightClickPopupShown;
    VProfile<unsigned long> updatePromptDate;
    VProfile<int> usePrinterPort;
    VProfile2<VStringArray, VProfileMultiSz> selectedTermcapEntries;
    VProfile<bool> enableTermcapEditing;
    VProfile<int> showQuickConnectDialog;
    VProfile<int> pasteOnMiddleButton;
    VProfile<int> showConnectionClosedDialog;
    VProfile<int> disableResize;
    VProfile<int> useSystemCaret;
    VProfile<int> executeEscapeSequence;
    VProfile<int> suppressExecuteEscapeSequenceExitCodes;
    VProfile<int> useOldIcons;
    VProfile<int> ejectPageInterval;
    VProfile<int> forceBlackOnWhite;
    VProfile<int> doubleClickAction;
    VProfile<int> autoReconnect;
    VProfile<int> chatWindow;
    VProfile<int> userButtonBar;
    VProfile<int> horizontalScrollbar;
    VProfile<int> xPosition;
    VProfile<int> yPosition;
    VProfile<int> saveSessionWindowState;
    VProfile<int> useAutoSession;
    VProfile<int> disableClose;
    VProfile<int> singleInstance;
    VProfile<int> minimizeToTray;
    VProfile<int> disablePassThroughPrinting;
    VProfile<int> bufferPassThroughPrinting;
    VProfile<int> useRawMode;
    VProfile<int> httpUseDde;
    VProfile<int> zmodemUploadAscii;
    VProfile<int> suppressDifferentGeometryDialog;
    VProfile<int> suppressMultipleSessionsWarning;
    VProfile<int> neverCheckForUpdates;
    VProfile<int> overwriteAction;
    VProfile<int> enableLogFile;
    VProfile<int> remoteEditUploadAction;
    VProfile<int> remoteEditUploadOnModify;
    VProfile<int> keepAlive;
    VProfile<int> disableServerToServerTransfers;
    VProfile<int> disableDirectoryTreeDetection;
    VProfile<int> resolveSymbolicLinks;
    VProfile<int> closeOnDisconnect;
    VProfile<int> restoreSessionDirectory;
    VProfile<int> displayLocalTimeForRemoteFiles;
    VProfile<int> hideHiddenFiles;
    VProfile<int> displayPathInTitleBar;
    VProfile<int> displayExplorerFilenames;
    VProfile<int> displayAttributesColumn;
    VProfile<int> listViewNumberStyle;
    VProfile<int> saveSessionWindowAttributes;
    VProfile<int> suppressReadOnlySessionOptionsWarning;
    VProfile<int> showConnectDialog;
    VProfile<int> autoSaveOptions;
    VProfile<int> showToolbar;
    VProfile<int> isExpanded;
    VProfile<int> sortAlphabetical;
    VProfile<int> saveConnectDialogFolderState;
    VProfile<int> copyOnSelect;
    VProfile<int> pasteOnRightButton;
    VProfile<int> hideMousePointerOnKeypress;
    VProfile<int> reuseDisconnectedTabs;
    VProfile<int> showConfirmDisconnectDialog;
    VProfile<int> showCursorPositionIndicator;
    VProfile<int> showWindowSizeIndicator;
    VProfile<int> altSelectsMenu;
    VProfile<int> checkShellTelnetCommand;
    VProfile<int> showMenuBar;
    VProfile<int> showStatusBar;
    VProfile<int> showSessionTabs;
    VProfile<int> verticalScrollbar;
    VProfile<int> saveNewConnectEntries;
    VProfile<int> httpUseRegistryEntry;
    VProfile<int> newSessionUsesWizard;
    VProfile<int> moveFilesToRecycleBin;
    VProfile<int> verifyRetrieveFileStatus;
    VProfile<int> openWithTransferType;
    VProfile<int> hideDotFiles;
    VProfile<int> displayFolderTree;
    VProfile<int> displayLog;
    VProfile<int> promptToResumeOnConnect;
    VProfile<bool> showElapsedTime;
    VProfile<bool> neverShowSeconds;
    VProfile<bool> alphaTransparency;
    VProfile<bool> confirmCloseMultipleTabs;
    VProfile<bool> showMultipleTabsOnly;
    VProfile<bool> enableTabSwitchingHistory;
    VProfile<bool> launchNewWindowsInASeparateProcess;
    VProfile<bool> openSessionsInTab;
    VProfile<bool> saveKeymapsAsUnicode;
    VProfile<bool> retainFileVersionNumber;
    VProfile<bool> alwaysPromptForAuthInfo;
    VProfile<bool> suspendQueuedTransfers;
    VProfile<bool> trmFirewallMigrated;
    VProfile<bool> installedFtpSites;
    VProfile<bool> serializeConnections;
    VProfile<bool> neverUseCachedFileForRemoteEditing;
    VProfile<bool> showDetailsOnConnectDialog;
    VProfile<bool> showTransferOnlySessions;
    VProfile<bool> showTerminalOnlySessions;
    VProfile<bool> showStatusIndicators;
    VProfile<bool> showTransferQueueWindow;
    VProfile<bool> showWindowToolbar;
    VProfile2<VUnicodeString, VProfileSz> connectExpandPath;
    VProfile2<VUnicodeString, VProfileSz> terminalLogFile;
    VProfile2<VUnicodeString, VProfileSz> printerName;
    VProfile2<VUnicodeString, VProfileSz> connectDialogFont;
    VProfile2<VUnicodeString, VProfileSz> autoSessionName;
    VProfile2<VUnicodeString, VProfileSz> clipboardDataFormat;
    VProfile2<VUnicodeString, VProfileSz> lastScriptRun;
    VProfile2<VUnicodeString, VProfileSz> httpBrowserApplication;
    VProfile2<VUnicodeString, VProfileSz> menuToolbarFile;
    VProfile2<VUnicodeString, VProfileSz> anonymousPassword;
    VProfile2<VUnicodeString, VProfileSz> logFile;
    VProfile2<VUnicodeString, VProfileSz> filePermissions;
    VProfile2<VUnicodeString, VProfileSz> directoryPermissions;
    VProfile2<VUnicodeString, VProfileSz> initialLocalFolder;
    VProfile2<VUnicodeString, VProfileSz> lastLocalDirectory;
    VProfile2<VUnicodeString, VProfileSz> cacheDirectory;
    VProfile2<VUnicodeString, VProfileSz> defaultDownloadDirectory;
    VProfile2<VUnicodeString, VProfileSz> downloadDirectory;
    VProfile2<VUnicodeString, VProfileSz> connectSoundFile;
    VProfile2<VUnicodeString, VProfileSz> disconnectSoundFile;
    VProfile2<VUnicodeString, VProfileSz> transferCompleteSoundFile;
    VProfile2<VUnicodeString, VProfileSz> errorSoundFile;
    VProfileListViewState localListViewState;
    VProfileListViewState remoteListViewState;
    VProfileListViewState synchronizeListViewState;
    VProfileListViewState transferQueueState;
    ProfileColorSchemeList colorSchemes;
    VProfileBlob frvCustomToolbarData;
    SynchronizeProfile quickSync;
    VSerialDeviceConfig printerSerialPort;

    // Every option, once, in member order.
    static constexpr auto kOptions = VProfileMembers(
        Option(&GlobalConfig::windowPlacement, u"Window Placement", WINDOWPLACEMENT{}),
        Option(&GlobalConfig::connectDialogSize, u"Connect Dialog Size", WINDOWPLACEMENT{}),
        Option(&GlobalConfig::mainFrameWindowSize, u"MainFrame Window Size", WINDOWPLACEMENT{}),
        Option(&GlobalConfig::localFrameWindowSize, u"LocalFrame Window Size", WINDOWPLACEMENT{}),
        Option(&GlobalConfig::remoteFrameWindowSize, u"RemoteFrame Window Size", WINDOWPLACEMENT{}),
        Option(&GlobalConfig::transferWindowPlacement, u"Transfer Window Placement",
               WINDOWPLACEMENT{}),
        Option(&GlobalConfig::synchronizeWindowPlacement, u"Synchronize Window Placement",
               WINDOWPLACEMENT{}),
        Option(&GlobalConfig::statusIndicatorWidth, u"Status Indicator Width", 2).Range(1, 10),
        Option(&GlobalConfig::minTabWidth, u"Min Tab Width", 40).AtLeast(20),
        Option(&GlobalConfig::viewLeftMargin, u"View Left Margin", 3).Range(0, 1024),
        Option(&GlobalConfig::mruCount, u"MRU Count", 4).Range(0, 9),
        Option(&GlobalConfig::maxColumns, u"Max Columns", 132).Range(132, 1024),
        Option(&GlobalConfig::maxScrollbackBufferSize, u"Max Scrollback Buffer Size", 128000),
        Option(&GlobalConfig::maxChatWindowHistory, u"Max Chat Window History", 200),
        Option(&GlobalConfig::autoReconnectInterval, u"Auto Reconnect Interval", 5),
        // Read as the starting point of sessions that lack their own value;
        // the options never write them back.
        TransientOption(&GlobalConfig::lineSendDelay, u"Line Send Delay", 5),
        TransientOption(&GlobalConfig::characterSendDelay, u"Character Send Delay", 0),
        Option(&GlobalConfig::activeWindowAlphaTransparency, u"Active Window Alpha Transparency",
               255),
        Option(&GlobalConfig::inactiveWindowAlphaTransparency,
               u"Inactive Window Alpha Transparency", 255),
        Option(&GlobalConfig::connectedColor, u"Connected Color", 0x0028C828),
        Option(&GlobalConfig::disconnectedColor, u"Disconnected Color", 0x000000FF),
        Option(&GlobalConfig::newInputColor, u"New Input Color", 0x00FF0000),
        Option(&GlobalConfig::pageOrientation, u"Page Orientation", 1),
        Option(&GlobalConfig::paperSize, u"Paper Size", 1),
        Option(&GlobalConfig::paperSource, u"Paper Source", 7),
        Option(&GlobalConfig::pageMargins, u"Page Margins", VMarginData{}),
        Option(&GlobalConfig::printerFont, u"Printer Font v2",
               [](const auto&) { return DefaultPrinterFont(); }),
        Option(&GlobalConfig::enableFontSmoothing, u"Enable Font Smoothing",
               [](const auto&) { return SystemFontSmoothing(); }),
        Option(&GlobalConfig::globalOptionsTreeState, u"Global Options Tree State", u"1001000100"),
        Option(&GlobalConfig::globalOptionsTreeSelected, u"Global Options Tree Selected",
               u"Global+"),
        Option(&GlobalConfig::sessionOptionsTreeState, u"Session Options Tree State",
               u"1010000101010010"),
        Option(&GlobalConfig::sessionOptionsTreeSelected, u"Session Options Tree Selected",
               u"Session+"),
        Option(&GlobalConfig::customColors, u"Custom Colors", kWhiteCustomColors),
        Option(&GlobalConfig::ansiColorRgb, u"ANSI Color RGB", kAnsiColors),
        Option(&GlobalConfig::ferrivoToolbarTheme, u"Ferrivo Toolbar Theme", 4),
        Option(&GlobalConfig::vetralonToolbarTheme, u"Vetralon Toolbar Theme", 4),
        Option(&GlobalConfig::transferType, u"Transfer Type", 3).OneOf({1, 2, 3}, 3),
        Option(&GlobalConfig::timeout, u"Timeout", 180),
        Option(&GlobalConfig::logBufferSize, u"Log Buffer Size", 500),
        Option(&GlobalConfig::receiveBufferSize, u"Receive Buffer Size", -1),
        Option(&GlobalConfig::sendBufferSize, u"Send Buffer Size", -1),
        Option(&GlobalConfig::dataConnectionType, u"Data Connection Type", 2),
        Option(&GlobalConfig::retryAttempts, u"Retry Attempts", 20),
        Option(&GlobalConfig::retryDelay, u"Retry Delay", 10),
        Option(&GlobalConfig::transferViewNumberStyle, u"Transfer View Number Style", 2),
        Option(&GlobalConfig::openWithProgramTitle, u"Open With Program Title", u"Notepad"),
        Option(&GlobalConfig::transferQueueHeight, u"Transfer Queue Height", 150),
        Option(&GlobalConfig::logCommandTextColor, u"Log Command Text Color", 0xFFFFFFFFu),
        Option(&GlobalConfig::logResponseTextColor, u"Log Response Text Color", 0xFFFFFFFFu),
        Option(&GlobalConfig::logStatusTextColor, u"Log Status Text Color", 0xFFFFFFFFu),
        Option(&GlobalConfig::logWarningTextColor, u"Log Warning Text Color", 0xFFFFFFFFu),
        Option(&GlobalConfig::logErrorTextColor, u"Log Error Text Color", 0xFFFFFFFFu),
        Option(&GlobalConfig::localExplorerFrameState, u"Local ExplorerFrame State", u"1,-1,200"),
        Option(&GlobalConfig::remoteExplorerFrameState, u"Remote ExplorerFrame State",
               u"1,1000,200"),
        Option(&GlobalConfig::synchronizeExplorerFrameState, u"Synchronize ExplorerFrame State",
               u"1,0,-1"),
        Option(&GlobalConfig::version, u"Version", kCurrentConfigVersion),
        Option(&GlobalConfig::rightClickPopupShown, u"Right Click Popup Shown",
               [](const auto& self) { return self.WasVersionStored(); }),
        HostOption(&GlobalConfig::updatePromptDate, u"Vetra Update Prompt Date",
                   u"FRV Update Prompt Date", [](const auto& self) { return self.GetBuildTime(); }),
        Option(&GlobalConfig::usePrinterPort, u"Use Printer Port", 0),
        Option(&GlobalConfig::selectedTermcapEntries, u"Selected Termcap Entries").ResetOnLoad(),
        Option(&GlobalConfig::enableTermcapEditing, u"Enable Termcap Editing", false).ResetOnLoad(),
        Option(&GlobalConfig::showQuickConnectDialog, u"Show Quick Connect Dialog", 0),
        Option(&GlobalConfig::pasteOnMiddleButton, u"Paste On Middle Button", 0),
        Option(&GlobalConfig::showConnectionClosedDialog, u"Show Connection Closed Dialog", 0),
        Option(&GlobalConfig::disableResize, u"Disable Resize", 0),
        Option(&GlobalConfig::useSystemCaret, u"Use System Caret", 0),
        Option(&GlobalConfig::executeEscapeSequence, u"Execute Escape Sequence", 0),
        Option(&GlobalConfig::suppressExecuteEscapeSequenceExitCodes,
               u"Suppress Execute Escape Sequence Exit Codes", 0),
        Option(&GlobalConfig::useOldIcons, u"Use Old Icons", 0),
        Option(&GlobalConfig::ejectPageInterval, u"Eject Page Interval", 0),
        Option(&GlobalConfig::forceBlackOnWhite, u"Force Black On White", 0),
        Option(&GlobalConfig::doubleClickAction, u"Double Click Action", 0),
        Option(&GlobalConfig::autoReconnect, u"Auto Reconnect", 0),
        Option(&GlobalConfig::chatWindow, u"Chat Window", 0),
        Option(&GlobalConfig::userButtonBar, u"User Button Bar", 0),
        Option(&GlobalConfig::horizontalScrollbar, u"Horizontal Scrollbar", 0),
        Option(&GlobalConfig::xPosition, u"X Position", 0),
        Option(&GlobalConfig::yPosition, u"Y Position", 0),
        Option(&GlobalConfig::saveSessionWindowState, u"Save Session Window State", 0),
        HostOption(&GlobalConfig::useAutoSession, u"Use Auto Session", u"Use Auto Session FRV", 0),
        Option(&GlobalConfig::disableClose, u"Disable Close", 0),
        Option(&GlobalConfig::singleInstance, u"Single Instance", 0),
        Option(&GlobalConfig::minimizeToTray, u"Minimize To Tray", 0),
        Option(&GlobalConfig::disablePassThroughPrinting, u"Disable Pass Through Printing", 0),
        Option(&GlobalConfig::bufferPassThroughPrinting, u"Buffer Pass Through Printing", 0),
        Option(&GlobalConfig::useRawMode, u"Use Raw Mode", 0),
        Option(&GlobalConfig::httpUseDde, u"HTTP Use DDE", 0),
        Option(&GlobalConfig::zmodemUploadAscii, u"ZModem Upload ASCII", 0),
        Option(&GlobalConfig::suppressDifferentGeometryDialog,
               u"Suppress Different Geometry Dialog", 0),
        Option(&GlobalConfig::suppressMultipleSessionsWarning,
               u"Suppress Multiple Sessions Warning", 0),
        HostOption(&GlobalConfig::neverCheckForUpdates, u"Vetra Never Check For Updates",
                   u"FRV Never Check For Updates", 0),
        Option(&GlobalConfig::overwriteAction, u"Overwrite Action", 0),
        Option(&GlobalConfig::enableLogFile, u"Enable Log File", 0),
        Option(&GlobalConfig::remoteEditUploadAction, u"Remote Edit Upload Action", 0),
        Option(&GlobalConfig::remoteEditUploadOnModify, u"Remote Edit Upload On Modify", 0),
        Option(&GlobalConfig::keepAlive, u"Keep Alive", 0),
        Option(&GlobalConfig::disableServerToServerTransfers, u"Disable Server To Server Transfers",
               0),
        Option(&GlobalConfig::disableDirectoryTreeDetection, u"Disable Directory Tree Detection",
               0),
        Option(&GlobalConfig::resolveSymbolicLinks, u"Resolve Symbolic Links", 0),
        Option(&GlobalConfig::closeOnDisconnect, u"Close on Disconnect", 0),
        Option(&GlobalConfig::restoreSessionDirectory, u"Restore Session Directory", 0),
        Option(&GlobalConfig::displayLocalTimeForRemoteFiles,
               u"Display Local Time for Remote Files", 0),
        Option(&GlobalConfig::hideHiddenFiles, u"Hide Hidden Files", 0),
        Option(&GlobalConfig::displayPathInTitleBar, u"Display Path in Title Bar", 0),
        Option(&GlobalConfig::displayExplorerFilenames, u"Display Explorer Filenames", 0),
        Option(&GlobalConfig::displayAttributesColumn, u"Display Attributes Column", 0),
        Option(&GlobalConfig::listViewNumberStyle, u"List View Number Style", 0),
        Option(&GlobalConfig::saveSessionWindowAttributes, u"Save Session Window Attributes", 0),
        Option(&GlobalConfig::suppressReadOnlySessionOptionsWarning,
               u"Suppress Read Only Session Options Warning", 0),
        Option(&GlobalConfig::showConnectDialog, u"Show Connect Dialog", 1),
        Option(&GlobalConfig::autoSaveOptions, u"Auto Save Options", 1),
        HostOption(&GlobalConfig::showToolbar, u"Show Toolbar", u"Show Toolbar FRV", 1),
        Option(&GlobalConfig::isExpanded, u"Is Expanded", 1),
        Option(&GlobalConfig::sortAlphabetical, u"Sort Alphabetical", 1),
        Option(&GlobalConfig::saveConnectDialogFolderState, u"Save Connect Dialog Folder State", 1),
        Option(&GlobalConfig::copyOnSelect, u"Copy On Select", 1),
        Option(&GlobalConfig::pasteOnRightButton, u"Paste On Right Button", 1),
        Option(&GlobalConfig::hideMousePointerOnKeypress, u"Hide Mouse Pointer On Keypress", 1),
        Option(&GlobalConfig::reuseDisconnectedTabs, u"Reuse Disconnected Tabs", 1),
        Option(&GlobalConfig::showConfirmDisconnectDialog, u"Show Confirm Disconnect Dialog", 1),
        Option(&GlobalConfig::showCursorPositionIndicator, u"Show Cursor Position Indicator", 1),
        Option(&GlobalConfig::showWindowSizeIndicator, u"Show Window Size Indicator", 1),
        Option(&GlobalConfig::altSelectsMenu, u"Alt Selects Menu", 1),
        Option(&GlobalConfig::checkShellTelnetCommand, u"Check Shell Telnet Command", 1),
        HostOption(&GlobalConfig::showMenuBar, u"Show Menu Bar", u"Show Menu Bar FRV", 1),
        HostOption(&GlobalConfig::showStatusBar, u"Show Status Bar", u"Show Status Bar FRV", 1),
        Option(&GlobalConfig::showSessionTabs, u"Show Session Tabs", 1),
        Option(&GlobalConfig::verticalScrollbar, u"Vertical Scrollbar", 1),
        Option(&GlobalConfig::saveNewConnectEntries, u"Save New Connect Entries", 1),
        Option(&GlobalConfig::httpUseRegistryEntry, u"HTTP Use Registry Entry", 1),
        Option(&GlobalConfig::newSessionUsesWizard, u"New Session Uses Wizard", 1),
        Option(&GlobalConfig::moveFilesToRecycleBin, u"Move Files To Recycle Bin", 1),
        Option(&GlobalConfig::verifyRetrieveFileStatus, u"Verify Retrieve File Status", 1),
        Option(&GlobalConfig::openWithTransferType, u"Open With Transfer Type", 1),
        Option(&GlobalConfig::hideDotFiles, u"Hide Dot Files", 1),
        Option(&GlobalConfig::displayFolderTree, u"Display Folder Tree", 1),
        Option(&GlobalConfig::displayLog, u"Display Log", 1),
        Option(&GlobalConfig::promptToResumeOnConnect, u"Prompt to Resume on Connect", 1),
        Option(&GlobalConfig::showElapsedTime, u"Show Elapsed Time", false),
        Option(&GlobalConfig::neverShowSeconds, u"Never Show Seconds", false),
        Option(&GlobalConfig::alphaTransparency, u"Alpha Transparency", false),
        Option(&GlobalConfig::confirmCloseMultipleTabs, u"Confirm Close Multiple Tabs", false),
        Option(&GlobalConfig::showMultipleTabsOnly, u"Show Multiple Tabs Only", false),
        Option(&GlobalConfig::enableTabSwitchingHistory, u"Enable Tab Switching History", false),
        Option(&GlobalConfig::launchNewWindowsInASeparateProcess,
               u"Launch New Windows in a Separate Process", false),
        Option(&GlobalConfig::openSessionsInTab, u"Open Sessions In Tab", false),
        Option(&GlobalConfig::saveKeymapsAsUnicode, u"Save Keymaps As Unicode", false),
        Option(&GlobalConfig::retainFileVersionNumber, u"Retain File Version Number", false),
        Option(&GlobalConfig::alwaysPromptForAuthInfo, u"Always Prompt For Auth Info", false),
        Option(&GlobalConfig::suspendQueuedTransfers, u"Suspend Queued Transfers", false),
        Option(&GlobalConfig::trmFirewallMigrated, u"TRM Firewall Migrated", false),
        Option(&GlobalConfig::installedFtpSites, u"Installed FTP Sites", false),
        Option(&GlobalConfig::serializeConnections, u"Serialize Connections", false),
        Option(&GlobalConfig::neverUseCachedFileForRemoteEditing,
               u"Never Use Cached File for Remote Editing", false),
        Option(&GlobalConfig::showDetailsOnConnectDialog, u"Show Details on Connect Dialog", true),
        Option(&GlobalConfig::showTransferOnlySessions, u"Show Transfer Only Sessions", true),
        Option(&GlobalConfig::showTerminalOnlySessions, u"Show Terminal Only Sessions", true),
        Option(&GlobalConfig::showStatusIndicators, u"Show Status Indicators", true),
        Option(&GlobalConfig::showTransferQueueWindow, u"Show Transfer Queue Window", true),
        Option(&GlobalConfig::showWindowToolbar, u"Show Window Toolbar", true),
        Option(&GlobalConfig::connectExpandPath, u"Connect Expand Path"),
        Option(&GlobalConfig::terminalLogFile, u"Terminal Log File"),
        Option(&GlobalConfig::printerName, u"Printer Name"),
        Option(&GlobalConfig::connectDialogFont, u"Connect Dialog Font"),
        HostOption(&GlobalConfig::autoSessionName, u"Auto Session Name", u"Auto Session Name FRV"),
        Option(&GlobalConfig::clipboardDataFormat, u"Clipboard Data Format"),
        Option(&GlobalConfig::lastScriptRun, u"Last Script Run"),
        Option(&GlobalConfig::httpBrowserApplication, u"HTTP Browser Application"),
        Option(&GlobalConfig::menuToolbarFile, u"Menu Toolbar File"),
        Option(&GlobalConfig::anonymousPassword, u"Anonymous Password"),
        Option(&GlobalConfig::logFile, u"Log File"),
        Option(&GlobalConfig::filePermissions, u"File Permissions"),
        Option(&GlobalConfig::directoryPermissions, u"Directory Permissions"),
        Option(&GlobalConfig::initialLocalFolder, u"Initial Local Folder"),
        Option(&GlobalConfig::lastLocalDirectory, u"Last Local Directory"),
        Option(&GlobalConfig::cacheDirectory, u"Cache Directory"),
        Option(&GlobalConfig::defaultDownloadDirectory, u"Default Download Directory"),
        Option(&GlobalConfig::downloadDirectory, u"Download Directory"),
        Option(&GlobalConfig::connectSoundFile, u"Connect Sound File"),
        Option(&GlobalConfig::disconnectSoundFile, u"Disconnect Sound File"),
        Option(&GlobalConfig::transferCompleteSoundFile, u"Transfer Complete Sound File"),
        Option(&GlobalConfig::errorSoundFile, u"Error Sound File"),
        Option(&GlobalConfig::localListViewState, u"Local ListView State"),
        Option(&GlobalConfig::remoteListViewState, u"Remote ListView State"),
        Option(&GlobalConfig::synchronizeListViewState, u"Synchronize ListView State"),
        Option(&GlobalConfig::transferQueueState, u"Transfer Queue State"),
        // Composites, each loading and saving itself under "Global"; the
        // serial port's entry names its value prefix and, as the default,
        // the name its port is stored under.
        Option(&GlobalConfig::colorSchemes, u"Color Schemes"),
        Option(&GlobalConfig::frvCustomToolbarData, u"FRV Custom Toolbar Data"),
        TransientOption(&GlobalConfig::quickSync, u"QuickSync"),
        Option(&GlobalConfig::printerSerialPort, u"Printer ", u"Printer Port"));
    // What the record operations (Save, IsModified, Checkpoint, Rollback,
    // ApplyDelta, Lookup) run over: all but the transient options.
    static constexpr auto _profileOffsets = PersistedEntries(kOptions);

protected:
    ~GlobalConfig() override;

private:
    template <class F>
    void ForEachOption(F&& action) {
        kOptions.ForEach(action);
    }
    template <class F>
    void ForEachOption(F&& action) const {
        kOptions.ForEach(action);
    }

    bool m_transferHost = false;
    bool m_versionStored = false;
    unsigned long m_buildTime = 0;
    VReportMessageParams m_saveReport;
};

// The shared instance: built from "Global" of the host's store on first use.
// The library holds its one reference; the caller gets the pointer without
// a reference of its own.
SESSIONDECK_API void GetGlobalConfig(GlobalConfig*& config);
// Save(force) on the shared instance. Before any GetGlobalConfig there is
// nothing the host could have changed, so nothing is built or written, and
// the answer is false; otherwise whether the store wrote it (the instance's
// GetSaveReport() says why not).
SESSIONDECK_API bool SaveGlobalConfig(bool force);
// Merges `key` into the shared instance (built first if need be).
SESSIONDECK_API void MergeGlobalConfig(const VProfileKey& key);
// Drops the shared instance and builds it again from the store.
SESSIONDECK_API void ReloadGlobalConfig(GlobalConfig*& config);
// Drops the shared instance; `config` becomes null.
SESSIONDECK_API void ResetGlobalConfig(GlobalConfig*& config);
// A new record of the caller's own (one reference), not the shared instance.
SESSIONDECK_API GlobalConfig* CreateGlobalConfig(VProfileKey* key);

}  // namespace sessiondeck
