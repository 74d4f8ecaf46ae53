// The session commands of the sessiondeck host, all through the session database.
#include "tools/cli/session_commands.h"

#include <sys/stat.h>
#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>

#include <cstdio>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/create_session.h"
#include "foundation/message_format.h"
#include "foundation/messages.h"
#include "profile/ini_store.h"
#include "session/connect_config.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "session/setting_lookup.h"
#include "tools/cli/protocol_loading.h"
#include "tools/cli/secret_input.h"

using namespace sessiondeck;

namespace cli {
namespace {

// Sessions are read as the terminal host, with the file-transfer side integrated, reads them: both
// of a session's connections resolve through the loaded protocol modules. Without modules the
// sessions still list and load, with no connections.
void PrepareSessionHost(GlobalOptions& options) {
    EnsureProtocolsLoaded(options);
}

SessionDatabase Database(const GlobalOptions& options) {
    return SessionDatabase(options.readOnly ? kSessionDatabaseReadOnly : 0);
}

void RequireWritable(const GlobalOptions& options) {
    if (options.readOnly)
        throw Failure(kRefused, "the store is open read-only (--read-only); nothing was changed");
}

// A session path as typed: names joined by "\", none of them empty. Trailing
// backslashes (as `ls` prints folders) are allowed.
VUnicodeString ParsePath(const std::string& text) {
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == '\\') trimmed.pop_back();
    const VUnicodeString path = FromUtf8(trimmed);
    if (path.str().find(u"\\\\") != std::u16string::npos ||
        (!path.IsEmpty() && path.str()[0] == u'\\'))
        throw Failure(kRefused, "'" + text + "' is not a session path (an empty name)");
    return path;
}

// A name that is about to be created or given, as it will be stored: without leading and
// trailing blanks (which a file name would keep invisibly), refused when nothing is left.
VUnicodeString ParseNewName(const VUnicodeString& typed) {
    if (auto refusal = CheckSessionName(typed.str())) throw Failure(kRefused, ToUtf8(*refusal));
    const VUnicodeString name = TrimSessionName(typed.str());
    if (name.IsEmpty())
        throw Failure(kRefused, "'" + ToUtf8(typed) + "' is no name: it is empty once trimmed");
    return name;
}

// The path of a new item: its folder as typed, its name trimmed and checked.
VUnicodeString NewItemPath(const VUnicodeString& path, VUnicodeString& folder,
                           VUnicodeString& name) {
    folder = SessionDatabase::ParentPath(path);
    name = ParseNewName(SessionDatabase::LeafName(path));
    return SessionDatabase::JoinPath(folder, name);
}

// The default session is always there: the library makes it on first use.
bool IsDefaultSession(const VUnicodeString& path) {
    return path.EqualsNoCase(kDefaultSessionName);
}

// Why a write of the session database failed: its report when it left one, else `otherwise`.
std::string WriteFailure(const SessionDatabase& db, const std::string& otherwise) {
    return ReportText(db.GetReport(), otherwise);
}

void RequireExisting(const VUnicodeString& path) {
    if (!path.IsEmpty() && !SessionDatabase::Exists(path))
        throw Failure(kNotFound, "no session or folder '" + ToUtf8(path) + "'");
}

void RequireFolder(const SessionDatabase& db, const VUnicodeString& path) {
    RequireExisting(path);
    if (!path.IsEmpty() && !db.IsFolder(path))
        throw Failure(kRefused, "'" + ToUtf8(path) + "' is a session, not a folder");
}

void RequireFreeName(const VUnicodeString& folder, const VUnicodeString& name) {
    if (SessionDatabase::IsNameInUse(folder, name))
        throw Failure(kRefused, "'" + ToUtf8(name) + "' is already in use.");
}

using SessionPointer = VUnknownPointer<ISessionConfig>;

std::vector<VProfileData*> Settings(ISessionConfig& session) {
    std::vector<VProfileData*> out;
    for (const FoundSetting& found : CollectSettings(
             static_cast<SessionConfig::Record&>(dynamic_cast<SessionConfig&>(session))))
        out.push_back(found.setting);
    return out;
}

// Stored secrets are never shown, only whether there is one.
std::string ShowSetting(const VProfileData& setting) {
    if (setting.IsSecret()) return setting.HasSecret() ? "(set)" : "(unset)";
    const auto text = setting.Text();
    if (!text) return "(no text form)";
    return ToUtf8(VUnicodeString(*text));
}

// Why the store would not read the session's value file (empty when it did):
// loading never fails, so without this a file too large to read would show as
// a session of defaults with no word said.
std::string UnreadReason(const VUnicodeString& path) {
    VProfileStore store(true);
    VProfileKey key(store.GetRootKey(), SessionDatabase::KeyPath(path));
    VUnicodeString unused;
    key.QueryString(u"Hostname", unused);  // reads the value file
    if (key.GetReport().GetMessageId() != EFBIG) return {};
    return "session '" + ToUtf8(path) +
           "': " + ToUtf8(VUnicodeString(key.GetReport().GetTextSingleLine())) + " (more than " +
           std::to_string(kMaxValueFileSize >> 20) +
           " MiB); its values were not read and the file is left as it is";
}

// Where the session's value file is damaged (empty when it is whole): the
// values before the damage load and the rest do not, so without this the
// session would show defaults for them with no word said.
std::string DamageReason(const GlobalOptions& options, const VUnicodeString& path) {
    if (!options.registry.empty()) return {};
    const VIniParseResult result = VIniFileStoreFactory(FromUtf8(options.configFolder))
                                       .ReadLoadResult(SessionDatabase::KeyPath(path));
    // A file too large to read has its own warning (UnreadReason).
    if (result.stop == VIniStop::EndOfFile || result.stop == VIniStop::FileTooLarge) return {};
    return "session '" + ToUtf8(path) + "': value file damaged at line " +
           std::to_string(result.line) + " (" + DescribeIniStop(result.stop) +
           "); values from there on were not read";
}

SessionPointer LoadSession(const SessionDatabase& db, const VUnicodeString& typed) {
    // The library knows the default session by its exact name.
    const VUnicodeString path =
        IsDefaultSession(typed) ? VUnicodeString(kDefaultSessionName) : typed;
    if (!IsDefaultSession(path)) RequireExisting(path);
    auto session = SessionPointer::Adopt(db.Lookup(path));
    if (!session) throw Failure(kRefused, "'" + ToUtf8(path) + "' is a folder, not a session");
    if (const std::string reason = UnreadReason(path); !reason.empty())
        std::cerr << "warning: " << reason << '\n';
    return session;
}

// Sets the setting of that value name from its text form. The name is found
// without regard to case, so that the user need not type the record's
// spelling; the setting is still saved under its own name, since the INI store
// compares names exactly. Both connections keep the host and the user under
// the same value names, and the side saved last writes its own: a value name
// is set in every setting that has it, or the other side would write the old
// value back over the new one.
void SetSetting(ISessionConfig& session, const std::string& nameText, const std::string& text) {
    const VUnicodeString name = FromUtf8(nameText);
    const VUnicodeString value = FromUtf8(text);
    bool found = false;
    for (const FoundSetting& each : CollectSettings(
             static_cast<SessionConfig::Record&>(dynamic_cast<SessionConfig&>(session)))) {
        VProfileData* setting = each.setting;
        if (!setting->GetName().EqualsNoCase(name.str())) continue;
        const std::string before = ShowSetting(*setting);
        // A number the table limits is refused rather than stored and quietly corrected by the
        // next load.
        if (IsOutsideLimits(each, value.str())) {
            const VSettingLimits& limits = each.description.limits;
            std::string allowed;
            if (limits.hasRange) {
                allowed =
                    "from " + std::to_string(limits.low) + " to " + std::to_string(limits.high);
            } else {
                for (std::size_t i = 0; i < limits.choiceCount; ++i)
                    allowed += (i ? ", " : "one of ") + std::to_string(limits.choices[i]);
            }
            throw Failure(kUsage, "'" + text + "' is out of range for '" +
                                      ToUtf8(setting->GetName()) + "' (" + allowed +
                                      "); its current value is '" + before + "'");
        }
        if (!setting->SetText(value.str()))
            throw Failure(kUsage, "'" + text + "' is not a value of '" +
                                      ToUtf8(setting->GetName()) + "'; its current value is '" +
                                      before + "'");
        found = true;
    }
    if (!found)
        throw Failure(kUsage, "no session value '" + nameText + "' (see 'sessiondeck show PATH')");
}

// Why the store could not list the folder (the system's text), or empty when it could. A folder
// the store cannot list has no children through it, so without this a listing or a copy would
// pass over everything in it without a word.
std::string UnreadableFolderReason(const SessionDatabase& db, const VUnicodeString& folder) {
    VStringArray children;
    db.GetFolderList(folder, children);
    if (db.GetReport().GetMessageId() == 0) return {};
    return ReportText(db.GetReport(), "the store could not list it");
}

// ---- the commands ------------------------------------------------------------

// Prints the folder's children; returns how many folders (this one or below) could not be read,
// each named on standard error.
int ListFolder(const SessionDatabase& db, const VUnicodeString& folder, bool recursive) {
    int unreadable = 0;
    VStringArray folders;
    VStringArray sessions;
    db.GetFolderList(folder, folders);
    if (db.GetReport().GetMessageId() != 0) {
        std::cerr << "warning: folder '" << ToUtf8(folder) << "' could not be read ("
                  << ReportText(db.GetReport(), "the store could not list it")
                  << "); its contents are not listed\n";
        ++unreadable;
    }
    db.GetSessionList(folder, sessions);
    for (const VUnicodeString& name : folders) {
        const VUnicodeString path = SessionDatabase::JoinPath(folder, name);
        std::cout << ToUtf8(recursive ? path : name) << "\\\n";
        if (recursive) unreadable += ListFolder(db, path, true);
    }
    for (const VUnicodeString& name : sessions)
        std::cout << ToUtf8(recursive ? SessionDatabase::JoinPath(folder, name) : name) << '\n';
    return unreadable;
}

void RunList(GlobalOptions& options, const std::string& folderText, bool recursive) {
    PrepareSessionHost(options);
    const SessionDatabase db = Database(options);
    const VUnicodeString folder = ParsePath(folderText);
    RequireFolder(db, folder);
    if (const int unreadable = ListFolder(db, folder, recursive)) {
        std::cout.flush();
        throw Failure(kRefused, std::to_string(unreadable) +
                                    (unreadable == 1 ? " folder" : " folders") +
                                    " could not be read; the listing is incomplete");
    }
}

void RunMakeFolder(GlobalOptions& options, const std::string& pathText) {
    PrepareSessionHost(options);
    const SessionDatabase db = Database(options);
    const VUnicodeString typed = ParsePath(pathText);
    if (typed.IsEmpty()) throw Failure(kRefused, "the root folder always exists");
    VUnicodeString parent;
    VUnicodeString name;
    const VUnicodeString path = NewItemPath(typed, parent, name);
    RequireFolder(db, parent);
    RequireFreeName(parent, name);
    RequireWritable(options);
    if (!db.InsertFolder(parent, name, {}, true))
        throw Failure(kRefused, "folder '" + ToUtf8(path) + "' could not be created: " +
                                    WriteFailure(db, "the store refused to create it"));
}

void RunCopy(GlobalOptions& options, const std::string& pathText, const std::string& targetText) {
    PrepareSessionHost(options);
    const SessionDatabase db = Database(options);
    const VUnicodeString path = ParsePath(pathText);
    const VUnicodeString target = ParsePath(targetText);
    if (path.IsEmpty()) throw Failure(kRefused, "the root folder cannot be copied");
    RequireExisting(path);
    RequireFolder(db, target);
    RequireWritable(options);
    // A folder the store cannot list copies as an empty one: refuse before anything is copied.
    VStringArray sessions;
    VStringArray folders;
    db.ExpandPaths(VStringArray{path}, sessions, folders);
    if (db.IsFolder(path)) folders.Add(path);
    for (const VUnicodeString& folder : folders) {
        if (const std::string reason = UnreadableFolderReason(db, folder); !reason.empty())
            throw Failure(kRefused, "folder '" + ToUtf8(folder) + "' could not be read (" + reason +
                                        "); nothing was copied");
    }
    const VUnicodeString copied = db.Copy(path, target, true, {}, true);
    if (copied.IsEmpty()) {
        const bool below = db.IsFolder(path) && (target.EqualsNoCase(path.str()) ||
                                                 target.str().starts_with(path.str() + u"\\"));
        throw Failure(kRefused, "'" + ToUtf8(path) + "' could not be copied into '" +
                                    ToUtf8(target) + "' (" +
                                    (below ? std::string("a folder cannot go below itself")
                                           : WriteFailure(db, "the store refused the copy")) +
                                    ")");
    }
    std::cout << ToUtf8(copied) << '\n';
}

void RunRename(GlobalOptions& options, const std::string& pathText, const std::string& nameText) {
    PrepareSessionHost(options);
    const SessionDatabase db = Database(options);
    const VUnicodeString path = ParsePath(pathText);
    if (path.IsEmpty()) throw Failure(kRefused, "the root folder cannot be renamed");
    RequireExisting(path);
    const VUnicodeString folder = SessionDatabase::ParentPath(path);
    const VUnicodeString oldName = SessionDatabase::LeafName(path);
    const VUnicodeString newName = ParseNewName(FromUtf8(nameText));
    if (!oldName.EqualsNoCase(newName.str())) RequireFreeName(folder, newName);
    RequireWritable(options);
    if (!db.Rename(folder, oldName, newName))
        throw Failure(kRefused, "'" + ToUtf8(path) + "' could not be renamed: " +
                                    WriteFailure(db, "the store refused the rename"));
}

void RunMove(GlobalOptions& options, const std::string& pathText, const std::string& before,
             const std::string& after) {
    PrepareSessionHost(options);
    const SessionDatabase db = Database(options);
    const VUnicodeString path = ParsePath(pathText);
    if (path.IsEmpty()) throw Failure(kRefused, "the root folder cannot be moved");
    if (before.empty() == after.empty())
        throw Failure(kUsage, "give exactly one of --before and --after");
    RequireExisting(path);
    const VUnicodeString target = FromUtf8(before.empty() ? after : before);
    const VUnicodeString targetPath =
        SessionDatabase::JoinPath(SessionDatabase::ParentPath(path), target);
    RequireExisting(targetPath);
    if (db.IsFolder(targetPath) != db.IsFolder(path))
        throw Failure(kRefused, "'" + ToUtf8(target) +
                                    "' is not of the same kind: folders and sessions are "
                                    "ordered apart");
    RequireWritable(options);
    if (db.Reorder(path, target, !after.empty()).IsEmpty())
        throw Failure(kRefused, "'" + ToUtf8(path) + "' could not be moved: " +
                                    WriteFailure(db, "the store refused the new order"));
}

void RunRemove(GlobalOptions& options, const std::string& pathText) {
    PrepareSessionHost(options);
    const SessionDatabase db = Database(options);
    const VUnicodeString path = ParsePath(pathText);
    if (path.IsEmpty()) throw Failure(kRefused, "the root folder cannot be removed");
    RequireExisting(path);
    RequireWritable(options);
    if (!db.Remove(path)) {
        // The refusal that removes nothing: a session with keys below it, which the tree never
        // shows and a removal would take along unseen.
        if (db.GetReport().GetMessageId() == ENOTEMPTY && SessionDatabase::Exists(path) &&
            !db.IsFolder(path))
            throw Failure(kRefused, "'" + ToUtf8(path) +
                                        "' was not removed: the session also holds keys below "
                                        "it, which the session tree never shows (see "
                                        "'sessiondeck check')");
        throw Failure(kRefused, "could not delete all of '" + ToUtf8(path) +
                                    "': " + WriteFailure(db, "the store refused to delete it"));
    }
}

void RunShow(GlobalOptions& options, const std::string& pathText, bool json) {
    PrepareSessionHost(options);
    const SessionDatabase db = Database(options);
    const VUnicodeString path = ParsePath(pathText);
    const SessionPointer session = LoadSession(db, path);
    if (const std::string reason = DamageReason(
            options, IsDefaultSession(path) ? VUnicodeString(kDefaultSessionName) : path);
        !reason.empty())
        std::cerr << "warning: " << reason << '\n';
    // Both connections keep the host and the user under the same value names;
    // a name is shown once, as the first setting holding it has it.
    std::vector<std::pair<std::string, std::string>> lines;
    std::set<std::string> shown;
    for (VProfileData* setting : Settings(*session)) {
        std::string name = ToUtf8(setting->GetName());
        if (shown.insert(name).second) lines.emplace_back(std::move(name), ShowSetting(*setting));
    }
    if (json) {
        nlohmann::ordered_json all = nlohmann::ordered_json::object();
        for (const auto& [name, value] : lines) all[name] = value;
        std::cout << all.dump(2) << '\n';
        return;
    }
    for (const auto& [name, value] : lines) std::cout << name << '=' << value << '\n';
}

// The connection a new session gets from --protocol, --host, --port and --user: the protocol names
// the side (a terminal or a file-transfer protocol); without one, the terminal side, else the
// transfer side, of what the default session holds.
void ApplyConnection(ISessionConfig& session, const std::array<std::string, 4>& connection) {
    const auto& [protocolText, host, portText, user] = connection;
    ConnectConfig* config = nullptr;
    if (!protocolText.empty()) {
        VUnicodeString terminalName = FromUtf8(protocolText);
        VUnicodeString transferName = terminalName;
        if (ConnectConfigPtr::ValidateProtocolName(true, terminalName)) {
            session.SetTerminalProtocol(terminalName.c_str());
            config = session.GetTermConnectConfig();
        } else if (ConnectConfigPtr::ValidateProtocolName(false, transferName)) {
            dynamic_cast<SessionConfig&>(session).SetTransferProtocol(transferName.c_str());
            config = session.GetTransferConnectConfig();
        } else {
            throw Failure(kNotFound, "unknown protocol '" + protocolText +
                                         "' (see 'sessiondeck protocols' for those loaded)");
        }
        if (config == nullptr)
            throw Failure(kNotFound, "the module of protocol '" + protocolText +
                                         "' is not loaded (see 'sessiondeck protocols')");
    } else {
        config = session.GetTermConnectConfig();
        if (config == nullptr) config = session.GetTransferConnectConfig();
        if (config == nullptr && (!host.empty() || !portText.empty() || !user.empty()))
            throw Failure(kRefused, "the default session has no connection; give --protocol");
    }
    if (!portText.empty()) {
        std::size_t used = 0;
        int port = 0;
        try {
            port = std::stoi(portText, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        if (used != portText.size() || port < 1 || port > 65535)
            throw Failure(kUsage, "--port takes a number from 1 to 65535, not '" + portText + "'");
        config->SetPort(port);
    }
    // Both sides of a session reach the same host and keep it under the same value names, so the
    // host and user go to both, or the side saved last would write back the old ones.
    for (ConnectConfig* side :
         {session.GetTermConnectConfig(), session.GetTransferConnectConfig()}) {
        if (side == nullptr) continue;
        if (!host.empty()) side->SetHostname(FromUtf8(host).c_str());
        if (!user.empty()) side->SetUsername(FromUtf8(user).c_str());
    }
}

// A session name made from a host name: the characters a name cannot hold become '_'.
VUnicodeString NameFromHost(const VUnicodeString& host) {
    std::u16string name = host.str();
    for (char16_t& c : name) {
        if (std::u16string_view(u"\\/:*?\"<>|").find(c) != std::u16string_view::npos || c < 0x20)
            c = u'_';
    }
    return VUnicodeString(name);
}

// Saves a session made in memory as folder\name; a refusal names the library's reason.
void InsertNewSession(const SessionDatabase& db, const VUnicodeString& folder,
                      const VUnicodeString& name, ISessionConfig& session) {
    const VUnicodeString path = SessionDatabase::JoinPath(folder, name);
    session.SetSessionName(name);
    const bool inserted = db.InsertSession(folder, name, &session, {}, true);
    // A store that drops what it cannot write leaves no session behind: look, rather than trust.
    if (!inserted || !SessionDatabase::Exists(path) || db.IsFolder(path))
        throw Failure(kRefused,
                      "session '" + ToUtf8(path) + "' could not be created: " +
                          WriteFailure(db, "the store did not write it (is the folder writable?)"));
}

// `new --url`: the ad-hoc session the library makes of the text, saved under
// PATH, or when none is given under its host's name, made unique, at the root.
// `password`, when given, replaces whatever password the URL holds.
void RunNewFromUrl(GlobalOptions& options, const std::string& pathText, const std::string& url,
                   const std::optional<std::string>& password) {
    PrepareSessionHost(options);
    const SessionDatabase db = Database(options);
    RequireWritable(options);
    int transferType = 0;
    VReportMessageParams report;
    const SessionPointer session =
        SessionPointer::Adopt(CreateSessionConfig(FromUtf8(url).c_str(), transferType, report));
    if (!session) throw Failure(kRefused, DescribeReport(report));
    if (password) {
        ConnectConfig* transfer = session->GetTransferConnectConfig();
        if (transfer == nullptr)
            throw Failure(kRefused, "the session made of '" + url + "' has no connection");
        transfer->SetPassword(FromUtf8(*password).c_str());
        transfer->SetPasswordValid(!password->empty());
    }

    VUnicodeString path = ParsePath(pathText);
    if (path.IsEmpty()) {
        const VUnicodeString host = dynamic_cast<SessionConfig&>(*session).HostAddress();
        if (host.IsEmpty()) throw Failure(kRefused, "'" + url + "' names no host; give PATH");
        path = SessionDatabase::GetUniqueSessionName(NameFromHost(host));
    }
    VUnicodeString folder;
    VUnicodeString name;
    path = NewItemPath(path, folder, name);
    RequireFolder(db, folder);
    RequireFreeName(folder, name);
    InsertNewSession(db, folder, name, *session);
    std::cout << ToUtf8(path) << '\n';
}

void RunNew(GlobalOptions& options, const std::string& pathText,
            const std::array<std::string, 4>& connection,
            const std::optional<std::string>& password) {
    PrepareSessionHost(options);
    const SessionDatabase db = Database(options);
    const VUnicodeString typed = ParsePath(pathText);
    if (typed.IsEmpty()) throw Failure(kRefused, "a session needs a name");
    VUnicodeString folder;
    VUnicodeString name;
    NewItemPath(typed, folder, name);
    RequireFolder(db, folder);
    RequireFreeName(folder, name);
    RequireWritable(options);
    // A new session starts as a copy of the default session.
    const SessionPointer defaults =
        SessionPointer::Adopt(db.Lookup(VUnicodeString(kDefaultSessionName)));
    const SessionPointer session = SessionPointer::Adopt(defaults->Clone());
    ApplyConnection(*session, connection);
    if (password) {
        ConnectConfig* config = session->GetTermConnectConfig();
        if (config == nullptr) config = session->GetTransferConnectConfig();
        if (config == nullptr)
            throw Failure(kRefused,
                          "the session has no connection to take a password; give "
                          "--protocol");
        config->SetPassword(FromUtf8(*password).c_str());
        config->SetPasswordValid(!password->empty());
    }
    InsertNewSession(db, folder, name, *session);
}

void RunSet(GlobalOptions& options, const std::array<std::string, 3>& args) {
    PrepareSessionHost(options);
    const SessionDatabase db = Database(options);
    const VUnicodeString path = ParsePath(args[0]);
    const SessionPointer session = LoadSession(db, path);
    if (const std::string reason = UnreadReason(path); !reason.empty())
        throw Failure(kRefused, reason + "; nothing was changed");
    SetSetting(*session, args[1], args[2]);
    RequireWritable(options);
    if (!db.Save(session.Get(), true))
        throw Failure(kRefused, "session '" + ToUtf8(path) + "' could not be saved: " +
                                    WriteFailure(db, "it is read-only") + "; nothing was changed");
}

void RunApplyDefault(GlobalOptions& options, const std::string& name, const std::string& value) {
    PrepareSessionHost(options);
    const SessionDatabase db = Database(options);
    const SessionPointer defaults =
        SessionPointer::Adopt(db.Lookup(VUnicodeString(kDefaultSessionName)));
    defaults->Checkpoint();
    SetSetting(*defaults, name, value);
    RequireWritable(options);
    // The walk writes into each session only what the change touched, and
    // counts every session whose write failed; the library reports why.
    const GlobalChangeTally tally = db.EnumAndApplyDelta(defaults.Get());
    std::string failure;
    if (tally.failed > 0) failure = WriteFailure(db, "the store refused the change");
    if (!db.Save(defaults.Get(), true)) {
        failure += std::string(failure.empty() ? "" : "; ") +
                   WriteFailure(db, "the default session could not be saved");
    }
    const int readOnly = tally.visited - tally.updated - tally.failed;
    std::cout << "updated " << tally.updated << " of " << tally.visited << " sessions\n";
    if (readOnly > 0) {
        // The message's inserts are plain %1 and %2, which take text.
        const VUnicodeString visitedText = FromUtf8(std::to_string(tally.visited));
        const VUnicodeString skipped = FromUtf8(std::to_string(readOnly));
        const std::u16string text =
            FormatMessageText(LookupLibraryMessage(0xA1090004), visitedText.str(), skipped.str());
        std::string line = ToUtf8(VUnicodeString(text));
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        std::cout << line << '\n';
    }
    if (!failure.empty()) {
        std::cout.flush();
        std::string message;
        if (tally.failed > 0)
            message = std::to_string(tally.failed) +
                      (tally.failed == 1 ? " session" : " sessions") + " could not be written: ";
        throw Failure(kRefused, message + failure);
    }
}

}  // namespace

void AddSessionCommands(CLI::App& app, GlobalOptions& options) {
    struct Args {
        std::string path;
        std::string second;
        std::string before;
        std::string after;
        bool recursive = false;
    };

    auto ls = std::make_shared<Args>();
    CLI::App* lsCmd = app.add_subcommand(
        "ls",
        "List a folder of sessions (paths are backslash-separated, below \"Sessions\"; the root "
        "when omitted): its folders in stored order, each with a trailing backslash, then its "
        "sessions in stored order");
    lsCmd->add_option("FOLDER", ls->path, "Folder path");
    lsCmd->add_flag("-r,--recursive", ls->recursive,
                    "Print full paths of everything below, depth-first: a folder, then its "
                    "contents");
    lsCmd->callback([&options, ls] { RunList(options, ls->path, ls->recursive); });

    auto show = std::make_shared<Args>();
    CLI::App* showCmd = app.add_subcommand(
        "show",
        "Print a session's settings as Name=Value lines in table order (values it lacks show "
        "their defaults), each protocol name followed by its connection's settings (a value "
        "name both connections use is shown once); passwords and other secrets only as (set) "
        "or (unset)");
    showCmd->add_option("PATH", show->path, "Session path")->required();
    showCmd->add_flag("--json", show->recursive, "Print one JSON object of name: value instead");
    showCmd->callback([&options, show] { RunShow(options, show->path, show->recursive); });

    auto created = std::make_shared<Args>();
    auto connection = std::make_shared<std::array<std::string, 4>>();
    CLI::App* newCmd = app.add_subcommand(
        "new",
        "Create a session from the default session, at the end of its folder's order. With "
        "--url, a file-transfer session for the URL (ftp, ftps and sftp choose FTP, FTP/SSL "
        "(implicit) and SFTP; ssh, telnet and the like SFTP) or for a plain host name (reached "
        "with the default session's transfer protocol); PATH then defaults to the host's name, "
        "made unique at the root, and the new path is printed. A URL the library refuses exits "
        "3 with the report's id (0x%08x) and text. Names are stored without leading and "
        "trailing blanks. Give a password with --password-stdin, never in the URL: the line "
        "read replaces any password the URL holds (write the URL as sftp://user@host)");
    newCmd->add_option("PATH", created->path, "Session path (required without --url)");
    auto* url =
        newCmd->add_option("--url", created->second, "URL or host name to make the session from");
    auto* protocol = newCmd->add_option("--protocol", (*connection)[0], "Terminal protocol name");
    auto* host = newCmd->add_option("--host", (*connection)[1], "Host name");
    auto* port = newCmd->add_option("--port", (*connection)[2], "Port");
    auto* user = newCmd->add_option("--user", (*connection)[3], "User name");
    for (auto* option : {protocol, host, port, user}) option->excludes("--url");
    auto newPasswordStdin = std::make_shared<bool>(false);
    newCmd->add_flag("--password-stdin", *newPasswordStdin,
                     std::string(kPasswordStdinHelp) +
                         ". The connection's password: with --url it replaces the URL's");
    newCmd->callback([&options, created, connection, url, newPasswordStdin] {
        if (url->count() == 0 && created->path.empty())
            throw Failure(kUsage, "PATH is required without --url");
        std::optional<std::string> password;
        if (*newPasswordStdin) password = ReadSecretFromStdin("password");
        if (url->count() > 0)
            return RunNewFromUrl(options, created->path, created->second, password);
        RunNew(options, created->path, *connection, password);
    });

    auto set = std::make_shared<std::array<std::string, 3>>();
    CLI::App* setCmd = app.add_subcommand(
        "set",
        "Set one value of a session through its record (the forms 'global set' takes; secrets "
        "as plain text, stored encoded) and save what changed. Give passwords with "
        "--password-stdin rather than as VALUE, which other users can see in the process list");
    setCmd->add_option("PATH", (*set)[0], "Session path")->required();
    setCmd->add_option("VALUE-NAME", (*set)[1], "Value name as 'show' prints it")->required();
    auto* setValue = setCmd->add_option(
        "VALUE", (*set)[2], "The new value (not with --password-stdin; use that for secrets)");
    const SecretArgument setSecret(setCmd, setValue, "VALUE");
    setCmd->callback([&options, set, setSecret] {
        setSecret.Take((*set)[2], "value of '" + (*set)[1] + "'");
        RunSet(options, *set);
    });

    auto apply = std::make_shared<Args>();
    CLI::App* applyCmd = app.add_subcommand(
        "apply-default",
        "Change one value of the Default session and apply the change to every session; prints "
        "\"updated U of V sessions\" and, when U < V, why the others were left alone");
    applyCmd->add_option("VALUE-NAME", apply->path, "Value name")->required();
    applyCmd->add_option("VALUE", apply->second, "The new value")->required();
    applyCmd->callback([&options, apply] { RunApplyDefault(options, apply->path, apply->second); });

    auto mkdir = std::make_shared<Args>();
    CLI::App* mkdirCmd = app.add_subcommand(
        "mkdir", "Create a folder at the end of its parent folder's order (the parent must exist)");
    mkdirCmd->add_option("PATH", mkdir->path, "Folder path")->required();
    mkdirCmd->callback([&options, mkdir] { RunMakeFolder(options, mkdir->path); });

    auto cp = std::make_shared<Args>();
    CLI::App* cpCmd = app.add_subcommand(
        "cp",
        "Copy a session, or a folder with everything below it, into a folder; a name taken "
        "there becomes \"NAME (2)\", \"NAME (3)\", ... Prints the new path");
    cpCmd->add_option("PATH", cp->path, "Session or folder path")->required();
    cpCmd->add_option("TARGET-FOLDER", cp->second, "Folder path ('' for the root)")->required();
    cpCmd->callback([&options, cp] { RunCopy(options, cp->path, cp->second); });

    auto rename = std::make_shared<Args>();
    CLI::App* renameCmd = app.add_subcommand(
        "rename", "Rename a session or folder in place, keeping its position in the order");
    renameCmd->add_option("PATH", rename->path, "Session or folder path")->required();
    renameCmd->add_option("NEW-NAME", rename->second, "The new name")->required();
    renameCmd->callback([&options, rename] { RunRename(options, rename->path, rename->second); });

    auto move = std::make_shared<Args>();
    CLI::App* moveCmd = app.add_subcommand(
        "move", "Move a session or folder within its folder's order, next to a sibling");
    moveCmd->add_option("PATH", move->path, "Session or folder path")->required();
    moveCmd->add_option("--before", move->before, "Place it before this sibling");
    moveCmd->add_option("--after", move->after, "Place it after this sibling");
    moveCmd->callback(
        [&options, move] { RunMove(options, move->path, move->before, move->after); });

    auto rm = std::make_shared<Args>();
    CLI::App* rmCmd =
        app.add_subcommand("rm", "Remove a session, or a folder with everything below it");
    rmCmd->add_option("PATH", rm->path, "Session or folder path")->required();
    rmCmd->callback([&options, rm] { RunRemove(options, rm->path); });
}

}  // namespace cli
