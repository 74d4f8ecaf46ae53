// The session commands of the sessiondeck host, all through the session database.
#include "tools/cli/session_commands.h"

#include <iostream>
#include <memory>
#include <string>

#include "session/session_database.h"

namespace cli {
namespace {

SessionDatabase Database(const GlobalOptions& options) {
    return SessionDatabase(options.readOnly ? kSessionDatabaseReadOnly : 0);
}

void RequireWritable(const GlobalOptions& options) {
    if (options.readOnly)
        throw Failure(kNotFound, "the store is open read-only (--read-only); nothing was changed");
}

// A session path as typed: names joined by "\", none of them empty. Trailing
// backslashes (as `ls` prints folders) are allowed.
VUnicodeString ParsePath(const std::string& text) {
    std::string trimmed = text;
    while (!trimmed.empty() && trimmed.back() == '\\') trimmed.pop_back();
    const VUnicodeString path = FromUtf8(trimmed);
    if (path.str().find(u"\\\\") != std::u16string::npos ||
        (!path.IsEmpty() && path.str()[0] == u'\\'))
        throw Failure(kNotFound, "'" + text + "' is not a session path (an empty name)");
    return path;
}

// A name that is about to be created or given.
VUnicodeString ParseNewName(const VUnicodeString& name) {
    if (auto refusal = CheckSessionName(name.str())) throw Failure(kNotFound, ToUtf8(*refusal));
    return name;
}

void RequireExisting(const VUnicodeString& path) {
    if (!path.IsEmpty() && !SessionDatabase::Exists(path))
        throw Failure(kNotFound, "no session or folder '" + ToUtf8(path) + "'");
}

void RequireFolder(const SessionDatabase& db, const VUnicodeString& path) {
    RequireExisting(path);
    if (!path.IsEmpty() && !db.IsFolder(path))
        throw Failure(kNotFound, "'" + ToUtf8(path) + "' is a session, not a folder");
}

void RequireFreeName(const VUnicodeString& folder, const VUnicodeString& name) {
    if (SessionDatabase::IsNameInUse(folder, name))
        throw Failure(kNotFound, "'" + ToUtf8(name) + "' is already in use.");
}

// ---- the commands ------------------------------------------------------------

void ListFolder(const SessionDatabase& db, const VUnicodeString& folder, bool recursive) {
    VStringArray folders;
    VStringArray sessions;
    db.GetFolderList(folder, folders);
    db.GetSessionList(folder, sessions);
    for (const VUnicodeString& name : folders) {
        const VUnicodeString path = SessionDatabase::JoinPath(folder, name);
        std::cout << ToUtf8(recursive ? path : name) << "\\\n";
        if (recursive) ListFolder(db, path, true);
    }
    for (const VUnicodeString& name : sessions)
        std::cout << ToUtf8(recursive ? SessionDatabase::JoinPath(folder, name) : name) << '\n';
}

void RunList(GlobalOptions& options, const std::string& folderText, bool recursive) {
    PrepareHost(options);
    const SessionDatabase db = Database(options);
    const VUnicodeString folder = ParsePath(folderText);
    RequireFolder(db, folder);
    ListFolder(db, folder, recursive);
}

void RunMakeFolder(GlobalOptions& options, const std::string& pathText) {
    PrepareHost(options);
    const SessionDatabase db = Database(options);
    const VUnicodeString path = ParsePath(pathText);
    if (path.IsEmpty()) throw Failure(kNotFound, "the root folder always exists");
    const VUnicodeString parent = SessionDatabase::ParentPath(path);
    const VUnicodeString name = ParseNewName(SessionDatabase::LeafName(path));
    RequireFolder(db, parent);
    RequireFreeName(parent, name);
    RequireWritable(options);
    if (!db.InsertFolder(parent, name, {}, true))
        throw Failure(kNotFound, "folder '" + ToUtf8(path) + "' could not be created");
}

void RunCopy(GlobalOptions& options, const std::string& pathText, const std::string& targetText) {
    PrepareHost(options);
    const SessionDatabase db = Database(options);
    const VUnicodeString path = ParsePath(pathText);
    const VUnicodeString target = ParsePath(targetText);
    if (path.IsEmpty()) throw Failure(kNotFound, "the root folder cannot be copied");
    RequireExisting(path);
    RequireFolder(db, target);
    RequireWritable(options);
    const VUnicodeString copied = db.Copy(path, target, true, {}, true);
    if (copied.IsEmpty())
        throw Failure(kNotFound, "'" + ToUtf8(path) + "' could not be copied into '" +
                                     ToUtf8(target) + "' (a folder cannot go below itself)");
    std::cout << ToUtf8(copied) << '\n';
}

void RunRename(GlobalOptions& options, const std::string& pathText, const std::string& nameText) {
    PrepareHost(options);
    const SessionDatabase db = Database(options);
    const VUnicodeString path = ParsePath(pathText);
    if (path.IsEmpty()) throw Failure(kNotFound, "the root folder cannot be renamed");
    RequireExisting(path);
    const VUnicodeString folder = SessionDatabase::ParentPath(path);
    const VUnicodeString oldName = SessionDatabase::LeafName(path);
    const VUnicodeString newName = ParseNewName(FromUtf8(nameText));
    if (!oldName.EqualsNoCase(newName.str())) RequireFreeName(folder, newName);
    RequireWritable(options);
    if (!db.Rename(folder, oldName, newName))
        throw Failure(kNotFound, "'" + ToUtf8(path) + "' could not be renamed");
}

void RunMove(GlobalOptions& options, const std::string& pathText, const std::string& before,
             const std::string& after) {
    PrepareHost(options);
    const SessionDatabase db = Database(options);
    const VUnicodeString path = ParsePath(pathText);
    if (path.IsEmpty()) throw Failure(kNotFound, "the root folder cannot be moved");
    if (before.empty() == after.empty())
        throw Failure(kUsage, "give exactly one of --before and --after");
    RequireExisting(path);
    const VUnicodeString target = FromUtf8(before.empty() ? after : before);
    const VUnicodeString targetPath =
        SessionDatabase::JoinPath(SessionDatabase::ParentPath(path), target);
    RequireExisting(targetPath);
    if (db.IsFolder(targetPath) != db.IsFolder(path))
        throw Failure(kNotFound, "'" + ToUtf8(target) +
                                     "' is not of the same kind: folders and sessions are "
                                     "ordered apart");
    RequireWritable(options);
    if (db.Reorder(path, target, !after.empty()).IsEmpty())
        throw Failure(kNotFound, "'" + ToUtf8(path) + "' could not be moved");
}

void RunRemove(GlobalOptions& options, const std::string& pathText) {
    PrepareHost(options);
    const SessionDatabase db = Database(options);
    const VUnicodeString path = ParsePath(pathText);
    if (path.IsEmpty()) throw Failure(kNotFound, "the root folder cannot be removed");
    RequireExisting(path);
    RequireWritable(options);
    if (!db.Remove(path))
        throw Failure(kNotFound, "could not delete all of '" + ToUtf8(path) + "'");
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
