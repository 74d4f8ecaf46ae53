// SessionConfig: loading a session with its rules, identity, description and command line.
#include "session/session_config.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <type_traits>

#include "data/log_file.h"
#include "foundation/message_format.h"
#include "foundation/messages.h"
#include "platform/environment.h"
#include "session/firewall_store.h"
#include "session/session_host.h"

namespace sessiondeck {

namespace {

constexpr int kIdleTimeoutUnset = 300;
constexpr int kIdleTimeoutMin = 10;
constexpr int kIdleTimeoutMax = 9999999;
constexpr int kIdleNoOpTimeoutMin = 10;
constexpr int kIdleNoOpTimeoutMax = 9999999;
constexpr int kXModemPacketSizeDefault = 128;
constexpr int kMaxTransferBuffersDefault = 4;
constexpr int kMaxTransferBuffersLimit = 8;

// The running host is on a U3 drive when the drive's launcher gave it its
// data folder.
bool RunningFromU3Drive() {
    return platform::PortableDataFolder().has_value();
}

VUnicodeString EnvironmentFolder(const char* name) {
    const auto value = platform::NonEmptyEnvironmentVariable(name);
    return value ? VUnicodeString::FromUtf8(*value) : VUnicodeString();
}

// The user's own folder for uploads and downloads, as the desktop names it;
// empty when the environment does not say.
VUnicodeString KnownFolder(bool downloads) {
    const VUnicodeString home = EnvironmentFolder("HOME");
    if (!downloads) return home;
    const VUnicodeString named = EnvironmentFolder("XDG_DOWNLOAD_DIR");
    if (!named.IsEmpty()) return named;
    return home.IsEmpty() ? home : VUnicodeString(home.str() + u"/Downloads");
}

VUnicodeString TransferDirectory(bool downloads) {
    VUnicodeString folder = KnownFolder(downloads);
    if (!folder.IsEmpty()) return folder;
    const std::u16string_view leaf = downloads ? u"download" : u"upload";
    if (RunningFromU3Drive()) return VUnicodeString(u"%u3doc%\\" + std::u16string(leaf));
    return VUnicodeString(GetSessionHost().HostExecutableFolder().str() + u"/" +
                          std::u16string(leaf));
}

// Sets a loaded value that a rule brought into range; the new value becomes
// the checkpoint and is written by the next save.
template <class Setting, class T>
void Settle(Setting& setting, const T& value) {
    if (setting.Get() == value) return;
    setting = value;
    setting.Checkpoint();
}

}  // namespace

static_assert(SessionConfig::GetMemberCount() == 81, "the session's settings table");

// ---- construction ------------------------------------------------------------

SessionConfig::SessionConfig(const VUnicodeString& name, VProfileKey* key)
    : SessionConfig(name, key, DefaultKey::kCreate) {}

SessionConfig::SessionConfig(const VUnicodeString& name, VProfileKey* key, DefaultKey whenMissing)
    : m_common(VUnknownPointer<CommonConfig>::Adopt(new CommonConfig)),
      terminalProtocol(key, ConnectConfigPtr::kTerminalMode, m_common.Get()),
      transferProtocol(key, ConnectConfigPtr::kTransferMode, m_common.Get()),
      terminal(key),
      m_sessionName(name),
      m_sessionPath(name),
      m_notPersistent(key == nullptr) {
    LoadSettings(key);
    if (name.str() == kDefaultSessionName) {
        if (!key && whenMissing == DefaultKey::kCreate) CreateDefaultSessionKey();
        return;
    }
    // An empty stored protocol name means no connection of that kind; only
    // the default session offers the default protocol instead.
    for (ConnectConfigPtr* holder : {&terminalProtocol, &transferProtocol}) {
        if (!holder->ProtocolWasBlank()) continue;
        holder->SetProtocol(VUnicodeString(ConnectConfigPtr::kNoneProtocol), m_common.Get());
        holder->Checkpoint();
    }
}

SessionConfig::SessionConfig(const SessionConfig& other)
    : VUnknown<ISessionConfig>(other),
      VProfileRecord<SessionConfig>(other),
      m_common(VUnknownPointer<CommonConfig>::Adopt(new CommonConfig)),
      // The connections are bound to the copy's own common settings.
      terminalProtocol(other.terminalProtocol, m_common.Get()),
      transferProtocol(other.transferProtocol, m_common.Get()),
      terminal(other.terminal),
      m_keyExists(other.m_keyExists),
      m_defaultLike(other.m_defaultLike),
      m_sessionName(other.m_sessionName),
      m_sessionPath(other.m_sessionPath),
      m_loadedPath(other.m_loadedPath),
      m_lastErrorMessage(other.m_lastErrorMessage),
      m_notPersistent(other.m_notPersistent) {
    CopyMembersFrom(other);
}

SessionConfig::~SessionConfig() = default;

ISessionConfig* SessionConfig::Clone() const {
    return new SessionConfig(*this);
}

void SessionConfig::LoadSettings(VProfileKey* key) {
    m_keyExists = key != nullptr;
    m_defaultLike = !key || EqualsNoCase(m_sessionName.str(), kDefaultSessionName);

    ForEachNamedEntry([&](const auto& entry, const VUnicodeString& name) {
        auto& member = this->*entry.member;
        using Member = std::remove_cvref_t<decltype(member)>;
        if constexpr (std::is_same_v<Member, ConnectConfigPtr> ||
                      std::is_same_v<Member, TerminalConfig>) {
            // Built with the session, before the other settings.
        } else if constexpr (std::is_same_v<Member, VSerialDeviceConfig>) {
            member.Init(key, u"Printer ", u"Printer Port");
        } else {
            member.ShareName(name);
            member.Init(key, name, entry.DefaultFor(*this));
        }
    });

    // Every record built as a session marks its key as one.
    Settle(isSession, true);

    // "Idle Check" was added after "Idle Timeout": a key from before then
    // checks for idleness exactly when it has a timeout.
    uint32_t stored = 0;
    if (key && !key->QueryDword(u"Idle Check", stored))
        idleCheck.Init(key, idleCheck.GetName(), idleTimeout.Get() > 0 ? 1 : 0);
    int timeout = idleTimeout.Get();
    if (timeout == 0) timeout = kIdleTimeoutUnset;
    if (timeout >= kIdleTimeoutMax) timeout = kIdleTimeoutMax;
    if (timeout <= kIdleTimeoutMin) timeout = kIdleTimeoutMin;
    Settle(idleTimeout, timeout);
    Settle(idleNoOpTimeout,
           std::clamp(idleNoOpTimeout.Get(), kIdleNoOpTimeoutMin, kIdleNoOpTimeoutMax));

    // 128 was the only packet size once; 0 now lets the transfer choose.
    if (xmodemSendPacketSize.Get() == kXModemPacketSizeDefault) Settle(xmodemSendPacketSize, 0);
    if (maxTransferBuffers.Get() < 1 || maxTransferBuffers.Get() > kMaxTransferBuffersLimit)
        Settle(maxTransferBuffers, kMaxTransferBuffersDefault);
    // Raw mode prints through the driver, never to a port.
    if (useRawMode.Get() != 0) Settle(usePrinterPort, 0);

    // Empty view states start from the transfer application's global ones; the
    // default session's are reset to a plain layout.
    const auto global = GetSessionHost().GlobalRemoteViewStates();
    const auto storedEmpty = [key](const VProfileData& setting) {
        VUnicodeString text;
        return !key || !key->QueryString(setting.GetName().c_str(), text) || text.IsEmpty();
    };
    if (storedEmpty(remoteExplorerFrameState)) {
        if (global) remoteExplorerFrameState.SetText(global->explorerFrame);
        if (m_defaultLike) {
            remoteExplorerFrameState.f1 = 1;
            remoteExplorerFrameState.f2 = -1;
            remoteExplorerFrameState.f3 = -1;
        }
        remoteExplorerFrameState.Checkpoint();
    }
    if (storedEmpty(remoteListViewState)) {
        if (global) remoteListViewState.SetText(global->listView);
        if (m_defaultLike) {
            remoteListViewState.h1 = 1;
            remoteListViewState.h2 = 1;
            remoteListViewState.h3 = 1;
            remoteListViewState.h4 = 0;
            remoteListViewState.h5 = 0;
            remoteListViewState.columns.RemoveAll();
        }
        remoteListViewState.Checkpoint();
    }
}

void SessionConfig::CreateDefaultSessionKey() {
    VProfileStore store(false);
    VProfileKey sessions(store.GetRootKey(), u"Sessions");
    if (sessions.SubKeyExists(kDefaultSessionName)) return;
    VProfileKey key(sessions, kDefaultSessionName);
    Save(&key, true);
}

// ---- defaults that need more than a literal ----------------------------------

VUnicodeString SessionConfig::DefaultUploadDirectory() {
    return TransferDirectory(false);
}

VUnicodeString SessionConfig::DefaultDownloadDirectory() {
    return TransferDirectory(true);
}

VUnicodeString SessionConfig::DefaultDefaultDownloadDirectory() {
    return RunningFromU3Drive() ? VUnicodeString(u"%u3doc%") : VUnicodeString();
}

int SessionConfig::GlobalLineSendDelay(int withoutKey) const {
    if (!m_keyExists) return withoutKey;
    return GetSessionHost().GlobalLineSendDelay().value_or(withoutKey);
}

int SessionConfig::GlobalCharacterSendDelay(int withoutKey) const {
    if (!m_keyExists) return withoutKey;
    return GetSessionHost().GlobalCharacterSendDelay().value_or(withoutKey);
}

WINDOWPLACEMENT SessionConfig::DefaultRemoteFramePlacement() const {
    WINDOWPLACEMENT plain;
    plain.ptMinPosition = {0, 0};
    plain.ptMaxPosition = {-4, -4};
    if (m_defaultLike) return plain;
    return GetSessionHost().GlobalRemoteFramePlacement().value_or(plain);
}

// ---- identity ----------------------------------------------------------------

void SessionConfig::SetSessionPath(const VUnicodeString& path) {
    m_sessionPath = path;
    if (!IsDefaultSession()) m_notPersistent = false;
}

bool SessionConfig::IsDefaultSession() const {
    return m_sessionName.str() == kDefaultSessionName && m_sessionPath.str() == kDefaultSessionName;
}

int SessionConfig::GetMode() const {
    int mode = 0;
    if (logMode.Get() != 0) mode |= 1;
    if (rawLog.Get() != 0) mode |= 2;
    if (logPrompt.Get() != 0) mode |= 4;
    if (logMultipleSessions.Get()) mode |= 8;
    return mode;
}

// ---- connections ---------------------------------------------------------------

namespace {

bool CanConnect(const ConnectConfig* config) {
    return config && config->CanConnect() != 0;
}

bool HasConnection(const ConnectConfigPtr& holder) {
    return static_cast<ConnectConfig*>(holder) &&
           !EqualsNoCase(holder.Protocol().str(), ConnectConfigPtr::kNoneProtocol);
}

}  // namespace

bool SessionConfig::TerminalHost() {
    // The terminal applications carry "Vetra" in their names.
    return GetSessionHost().AppName().str().find(u"Vetra") != std::u16string::npos;
}

bool SessionConfig::CanConnectTerminalConfig() const {
    return CanConnect(GetTermConnectConfig());
}

bool SessionConfig::CanConnectTransferConfig() const {
    return CanConnect(GetTransferConnectConfig());
}

VUnicodeString SessionConfig::GetFirewallName() const {
    ConnectConfig* config = GetRelevantConnectConfig();
    return config ? config->GetFirewallName() : VUnicodeString(u"None");
}

void SessionConfig::SetFirewallName(const char16_t* name) {
    if (ConnectConfig* config = GetRelevantConnectConfig()) config->SetFirewallName(name);
}

void SessionConfig::SetTemporaryFirewallName(const char16_t* name) {
    if (ConnectConfig* config = GetRelevantConnectConfig()) config->SetTemporaryFirewallName(name);
}

ConnectConfig* SessionConfig::GetTermConnectConfig() const {
    return terminalProtocol;
}

ConnectConfig* SessionConfig::GetTransferConnectConfig() const {
    return transferProtocol;
}

void SessionConfig::SetTerminalProtocol(const char16_t* name) {
    terminalProtocol.SetProtocol(VUnicodeString(name ? name : u""), m_common.Get());
    NoteProtocolSwitch(terminalProtocol, name);
}

void SessionConfig::SetTransferProtocol(const char16_t* name) {
    transferProtocol.SetProtocol(VUnicodeString(name ? name : u""), m_common.Get());
    NoteProtocolSwitch(transferProtocol, name);
}

void SessionConfig::NoteProtocolSwitch(const ConnectConfigPtr& holder, const char16_t* name) {
    // "None" needs no module; any other name without a configuration has none loaded.
    if (!name || !*name || static_cast<ConnectConfig*>(holder) ||
        EqualsNoCase(name, ConnectConfigPtr::kNoneProtocol))
        return;
    VReportMessageParams report(kMsgProtocolNotSupported);
    report.AddInsert(name);
    m_lastErrorMessage = VUnicodeString(report.GetText());
}

void SessionConfig::SetTransferConnectConfig(const ConnectConfigPtr& other) {
    transferProtocol.SetConnectConfig(other, m_common.Get());
}

VUnicodeString SessionConfig::GetTerminalProtocol() const {
    return terminalProtocol.Protocol();
}

VUnicodeString SessionConfig::GetTransferProtocol() const {
    return transferProtocol.Protocol();
}

VUnicodeString SessionConfig::GetRelevantProtocol() const {
    return TerminalHost() ? GetTerminalProtocol() : GetTransferProtocol();
}

void SessionConfig::SetRelevantProtocol(const char16_t* name) {
    m_lastErrorMessage = VUnicodeString();
    if (TerminalHost())
        SetTerminalProtocol(name);
    else
        SetTransferProtocol(name);
}

ConnectConfig* SessionConfig::GetRelevantConnectConfig() const {
    return TerminalHost() ? GetTermConnectConfig() : GetTransferConnectConfig();
}

void SessionConfig::IsDefaultSession(int isDefault) {
    if (ConnectConfig* config = GetRelevantConnectConfig())
        config->SetDefaultSessionFlag(isDefault);
}

bool SessionConfig::IsTRMSession() const {
    return HasConnection(terminalProtocol);
}

bool SessionConfig::IsFRVSession() const {
    return HasConnection(transferProtocol);
}

VUnicodeString SessionConfig::HostAddress() const {
    ConnectConfig* config = GetTransferConnectConfig();
    return config ? config->GetHostname() : VUnicodeString();
}

int SessionConfig::HostPort() const {
    ConnectConfig* config = GetTransferConnectConfig();
    return config ? config->GetPort() : -1;
}

void SessionConfig::SetInitialDirectory(const char16_t* directory) {
    if (ConnectConfig* config = GetTransferConnectConfig()) config->SetInitialDirectory(directory);
}

VUnicodeString SessionConfig::GetInitialDirectory() const {
    ConnectConfig* config = GetTransferConnectConfig();
    return config ? config->GetInitialDirectory() : VUnicodeString();
}

int SessionConfig::IsAnonymousLogin() const {
    const VUnicodeString protocol = GetTransferProtocol();
    const bool ftp = EqualsNoCase(protocol.str(), u"FTP") ||
                     EqualsNoCase(protocol.str(), u"FTP/SSL (implicit)") ||
                     EqualsNoCase(protocol.str(), u"FTP/SSL (explicit)");
    ConnectConfig* config = GetTransferConnectConfig();
    if (!ftp || !config) return 0;
    const VUnicodeString user = config->GetUsername();
    return EqualsNoCase(user.str(), u"anonymous") || EqualsNoCase(user.str(), u"ftp") ? 1 : 0;
}

void SessionConfig::GetSerializedFirewallNames(IBuffer* buffer) const {
    SerializeFirewallNames(buffer);
}

// ---- texts -----------------------------------------------------------------------

VUnicodeString SessionConfig::GetSessionDeckDescription() const {
    ConnectConfig* terminal = GetTermConnectConfig();
    ConnectConfig* transfer = GetTransferConnectConfig();
    if (!IsTRMSession() && !IsFRVSession()) return {};
    VUnicodeString host = terminal ? terminal->GetHostname() : VUnicodeString();
    if (host.IsEmpty() && transfer) host = transfer->GetHostname();
    const VUnicodeString protocol = GetTerminalProtocol();
    std::u16string text = protocol.str() == u"TAPI"     ? u"Phone number:"
                          : protocol.str() == u"Serial" ? u"Port:"
                                                        : u"Hostname:";
    text += u" " + host.str();
    std::u16string lines;
    for (size_t i = 0; i < description.Get().GetSize(); ++i) {
        if (i) lines += u"\r\n";
        lines += description.Get()[i].str();
    }
    if (!lines.empty()) text += u"\n" + lines;
    return VUnicodeString(text);
}

VUnicodeString SessionConfig::CommandLine() const {
    ConnectConfig* config = GetRelevantConnectConfig();
    if (config && config->GetCommandLineFlag() != 0 && config->CanConnect() != 0) {
        std::u16string text;
        if (config->GetFirewallName().str() != u"None") text = u"/FIREWALL";
        return VUnicodeString(text + config->CommandLine().str());
    }
    return VUnicodeString(u"/S \"" + m_sessionPath.str() + u"\"");
}

VUnicodeString SessionConfig::ExpandPath(const VUnicodeString& path) const {
    ConnectConfig* config = GetRelevantConnectConfig();
    const VUnicodeString host = config ? config->GetHostname() : VUnicodeString();
    VUnicodeString expanded;
    VReportMessageParams report;
    ExpandLogFileName(path.str(), m_sessionName.c_str(), nullptr, host.str(), expanded, report);
    return expanded;
}

bool SessionConfig::ExpandedPathEqual(const VUnicodeString& a, const VUnicodeString& b) const {
    return EqualsNoCase(ExpandPath(a).str(), b.str());
}

VUnicodeString SessionConfig::GetExpandedLogFilename(const VUnicodeString& name) const {
    return ExpandPath(name);
}

VUnicodeString SessionConfig::GetExpandedLogFilename() const {
    return ExpandPath(logFilename.Get());
}

LogFileOptions SessionConfig::GetLoggingOptions() const {
    LogFileOptions options;
    options.connectMessage = customLogMessageConnect.Get();
    options.disconnectMessage = customLogMessageDisconnect.Get();
    options.eachLineMessage = customLogMessageEachLine.Get();
    options.sessionName = GetSessionName();
    ConnectConfig* connection = GetRelevantConnectConfig();
    options.hostName = connection ? connection->GetHostname() : VUnicodeString();
    options.logOnlyCustom = logOnlyCustom.Get();
    return options;
}

}  // namespace sessiondeck
