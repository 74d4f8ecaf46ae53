// A host process for the robustness tests: a crash writer that saves sessions until it is killed,
// and a churn worker that edits a shared configuration folder alongside another one.
//
//   store_worker crash ini|registry DIR
//       For each line "GENERATION SEED" read, forks a writer that saves the
//       crash sessions (generations counting up from GENERATION) and reorders
//       them until it is killed; prints the writer's pid, then "killed" once
//       it has been killed.
//   store_worker churn DIR TAG SECONDS SEED
//       For SECONDS, random inserts, copies, renames, reorders, saves and
//       removes of its own sessions and folders (names beginning with TAG)
//       in the root, in "Shared" and in its own folders, and saves of its own
//       value in the shared sessions "Keep1" to "Keep4". Both workers also
//       create, rename onto and copy to the same contested names ("Race1" to
//       "Race3", "RaceDir1" and "RaceDir2", numbered copies of the shared
//       sessions), owning what they won, and apply a change to every session
//       (a delta of the default session, or one value set in all of them).
//       Then prints its operation counts, every path it owns ("session PATH",
//       "folder PATH") and the last value it saved into each shared session.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/unknown.h"
#include "profile/profile_store.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "workers/worker_store.h"

using namespace sessiondeck;

namespace {

std::unique_ptr<VProfileStoreFactory> g_factory;
VProfileStoreFactory* Factory() {
    return g_factory.get();
}

VUnicodeString U(const std::string& text) {
    return VUnicodeString::FromUtf8(text);
}

// Saves crash sessions (generations counting up from `generation`) and
// reorders them until it is killed.
[[noreturn]] void CrashLoop(uint32_t generation, unsigned seed) {
    const SessionDatabase db;
    std::mt19937 random(seed);
    for (uint32_t i = 0;; ++i) {
        const int index = static_cast<int>(random() % worker::kCrashSessions);
        {
            VProfileStore store;
            VProfileKey key(store.GetRootKey(), u"Sessions\\" + worker::CrashSessionName(index));
            worker::WriteCrashSession(key, index, generation + i);
        }
        if (i % 3 == 2) {
            const int other = static_cast<int>(random() % worker::kCrashSessions);
            db.Reorder(VUnicodeString(worker::CrashSessionName(index)),
                       VUnicodeString(worker::CrashSessionName(other)), random() % 2 == 0);
        }
    }
}

// Starting a process that loads the library takes far longer than a save, so
// the writers are forked from this one process, which has started once: per
// line "GENERATION SEED" read, it forks a writer, prints its pid, waits for it
// to die (the test kills it) and prints how it ended. The server itself never
// opens the store, so no writer inherits an open hive connection.
void CrashServer(const std::string& kind, const std::filesystem::path& dir) {
    g_factory = worker::MakeFactory(kind, dir);
    SetProfileStoreFactoryGetter(Factory);
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream fields(line);
        uint32_t generation = 0;
        unsigned seed = 0;
        fields >> generation >> seed;
        std::cout.flush();
        const pid_t pid = fork();
        if (pid == 0) CrashLoop(generation, seed);
        std::cout << pid << std::endl;
        int status = 0;
        if (pid > 0) waitpid(pid, &status, 0);
        std::cout << (pid > 0 && WIFSIGNALED(status) ? "killed" : "failed") << std::endl;
    }
}

// The churn worker's view of what it owns. Paths are session paths.
struct Owned {
    std::set<std::string> sessions;
    std::set<std::string> folders;

    // Everything at or below `path` moves to `to` (empty: removed).
    void MoveTree(const std::string& path, const std::string& to) {
        for (auto* set : {&sessions, &folders}) {
            std::set<std::string> moved;
            for (auto it = set->begin(); it != set->end();) {
                if (*it == path || it->starts_with(path + "\\")) {
                    if (!to.empty()) moved.insert(to + it->substr(path.size()));
                    it = set->erase(it);
                } else {
                    ++it;
                }
            }
            set->insert(moved.begin(), moved.end());
        }
    }
    void CopyTree(const std::string& path, const std::string& to) {
        for (auto* set : {&sessions, &folders}) {
            std::set<std::string> copied;
            for (const std::string& p : *set) {
                if (p == path || p.starts_with(path + "\\"))
                    copied.insert(to + p.substr(path.size()));
            }
            set->insert(copied.begin(), copied.end());
        }
    }
};

std::string Parent(const std::string& path) {
    const size_t at = path.rfind('\\');
    return at == std::string::npos ? std::string() : path.substr(0, at);
}

std::string Leaf(const std::string& path) {
    const size_t at = path.rfind('\\');
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "\\" + name;
}

void Churn(const std::filesystem::path& dir, const std::string& tag, int seconds, unsigned seed) {
    g_factory = worker::MakeFactory("ini", dir);
    SetProfileStoreFactoryGetter(Factory);
    const SessionDatabase db;
    std::mt19937 random(seed);
    auto pick = [&](const auto& set) {
        auto it = set.begin();
        std::advance(it, static_cast<long>(random() % set.size()));
        return *it;
    };
    Owned owned;
    std::map<std::string, int> counts;
    std::map<std::string, uint32_t> saved;  // shared session -> last value saved
    int serial = 0;
    auto newName = [&] { return tag + std::to_string(++serial); };
    // Where new things go: the shared folders, or one of the worker's own.
    auto anyParent = [&]() -> std::string {
        const unsigned choice = random() % 3;
        if (choice == 0 || owned.folders.empty()) return random() % 2 ? "" : "Shared";
        return pick(owned.folders);
    };

    const VUnknownPointer<ISessionConfig> defaults =
        VUnknownPointer<ISessionConfig>::Adopt(db.Lookup(VUnicodeString(kDefaultSessionName)));
    // Past the given time the worker goes on until it has done each operation the test
    // checks for at least once (on a loaded or sanitizer-slowed machine a short run may not
    // reach the rarer ones), but never past a minute beyond it.
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(seconds);
    const auto last = end + std::chrono::seconds(60);
    const auto checkedDone = [&] {
        for (const char* op : {"race-insert", "race-copy", "apply-delta", "apply-bool"})
            if (!counts.contains(op)) return false;  // not counts[op]: that would list it
        return true;
    };
    for (auto now = start; now < end || (!checkedDone() && now < last);
         now = std::chrono::steady_clock::now()) {
        const unsigned op = random() % 12;
        if (op == 0) {
            const std::string folder = anyParent(), name = newName();
            VUnknownPointer<ISessionConfig> session =
                VUnknownPointer<ISessionConfig>::Adopt(defaults->Clone());
            session->SetSessionName(U(name));
            if (db.InsertSession(U(folder), U(name), session.Get(), {}, true)) {
                owned.sessions.insert(Join(folder, name));
                ++counts["insert"];
            }
        } else if (op == 1) {
            const std::string folder = anyParent(), name = newName();
            if (db.InsertFolder(U(folder), U(name), {}, true)) {
                owned.folders.insert(Join(folder, name));
                ++counts["mkdir"];
            }
        } else if (op == 2 && !owned.folders.empty()) {
            // A copy of a shared session or of one of the worker's own
            // sessions or folders, into one of its own folders.
            const std::string target = pick(owned.folders);
            std::string source = "Shared\\Keep" + std::to_string(1 + random() % 4);
            if (random() % 2 && !owned.sessions.empty()) source = pick(owned.sessions);
            if (random() % 4 == 0) source = pick(owned.folders);
            if (target == source || target.starts_with(source + "\\")) continue;
            const VUnicodeString copied = db.Copy(U(source), U(target), true, {}, true);
            if (!copied.IsEmpty()) {
                if (owned.folders.count(source)) {
                    owned.CopyTree(source, copied.ToUtf8());
                } else {
                    owned.sessions.insert(copied.ToUtf8());
                }
                ++counts["copy"];
            }
        } else if (op == 3 && !(owned.sessions.empty() && owned.folders.empty())) {
            const bool folder = owned.sessions.empty() || (!owned.folders.empty() && random() % 2);
            const std::string path = folder ? pick(owned.folders) : pick(owned.sessions);
            const std::string name = newName();
            if (db.Rename(U(Parent(path)), U(Leaf(path)), U(name))) {
                owned.MoveTree(path, Join(Parent(path), name));
                ++counts["rename"];
            }
        } else if (op == 4) {
            // Reorders in the shared folders move the other worker's items too.
            const std::string folder = random() % 2 ? "" : "Shared";
            VStringArray names;
            db.GetSessionList(U(folder), names);
            if (names.GetSize() < 2) continue;
            const VUnicodeString& item = names[random() % names.GetSize()];
            const VUnicodeString& target = names[random() % names.GetSize()];
            if (item == target) continue;
            if (!db.Reorder(SessionDatabase::JoinPath(U(folder), item), target, random() % 2)
                     .IsEmpty())
                ++counts["reorder"];
        } else if (op == 5 || op == 6) {
            // Both workers save into the same shared value files, each its own value.
            const std::string keep =
                (random() % 2 ? "Keep" : "Shared\\Keep") + std::to_string(1 + random() % 4);
            const uint32_t value = ++saved[keep];
            VProfileStore store;
            VProfileKey key(store.GetRootKey(), SessionDatabase::KeyPath(U(keep)));
            key.SetDword(U(tag + " Saves").c_str(), value);
            ++counts["save"];
        } else if (op == 7 && !(owned.sessions.empty() && owned.folders.empty())) {
            const bool folder =
                owned.sessions.empty() || (!owned.folders.empty() && random() % 4 == 0);
            const std::string path = folder ? pick(owned.folders) : pick(owned.sessions);
            if (db.Remove(U(path))) {
                owned.MoveTree(path, {});
                ++counts["remove"];
            }
        } else if (op == 8) {
            // Both workers try to create the same names; only the one that was
            // told it succeeded owns the result.
            const std::string folder = random() % 2 ? "" : "Shared";
            const std::string name = "Race" + std::to_string(1 + random() % 3);
            if (random() % 2) {
                VUnknownPointer<ISessionConfig> session =
                    VUnknownPointer<ISessionConfig>::Adopt(defaults->Clone());
                session->SetSessionName(U(name));
                if (db.InsertSession(U(folder), U(name), session.Get(), {}, true)) {
                    owned.sessions.insert(Join(folder, name));
                    ++counts["race-insert"];
                }
            } else {
                const std::string dirName = "RaceDir" + std::to_string(1 + random() % 2);
                if (db.InsertFolder(U(folder), U(dirName), {}, true)) {
                    owned.folders.insert(Join(folder, dirName));
                    ++counts["race-mkdir"];
                }
            }
        } else if (op == 9 && !owned.sessions.empty()) {
            // A rename of one of its own sessions onto a contested name in its folder.
            const std::string path = pick(owned.sessions);
            const std::string name = "Race" + std::to_string(1 + random() % 3);
            if (Leaf(path) != name && db.Rename(U(Parent(path)), U(Leaf(path)), U(name))) {
                owned.MoveTree(path, Join(Parent(path), name));
                ++counts["race-rename"];
            }
        } else if (op == 10) {
            // Both workers copy the same shared session into the same folder:
            // each copy gets a numbered name, never both the same one.
            const std::string source = "Shared\\Keep" + std::to_string(1 + random() % 4);
            const VUnicodeString copied = db.Copy(U(source), U("Shared"), true, {}, true);
            if (!copied.IsEmpty()) {
                owned.sessions.insert(copied.ToUtf8());
                ++counts["race-copy"];
            }
        } else if (op == 11) {
            // A change applied to every session of the tree, the other worker's included.
            if (random() % 2) {
                const VUnknownPointer<ISessionConfig> delta =
                    VUnknownPointer<ISessionConfig>::Adopt(defaults->Clone());
                delta->Checkpoint();
                delta->SetInitialDirectory(U("/srv/" + tag + std::to_string(++serial)).c_str());
                db.EnumAndApplyDelta(delta.Get());
                ++counts["apply-delta"];
            } else {
                db.EnumAndSetAllBoolValues(U("Sync View Rows"), random() % 2 == 0);
                ++counts["apply-bool"];
            }
        }
    }
    for (const auto& [op, count] : counts) std::cout << "count " << op << " " << count << "\n";
    for (const std::string& path : owned.sessions) std::cout << "session " << path << "\n";
    for (const std::string& path : owned.folders) std::cout << "folder " << path << "\n";
    for (const auto& [keep, value] : saved) std::cout << "saved " << value << " " << keep << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "crash") {
        CrashServer(args[1], args[2]);
        return 0;
    }
    if (args.size() == 5 && args[0] == "churn") {
        Churn(args[1], args[2], std::stoi(args[3]), static_cast<unsigned>(std::stoul(args[4])));
        return 0;
    }
    std::cerr << "usage: store_worker crash ini|registry DIR\n"
                 "       store_worker churn DIR TAG SECONDS SEED\n";
    return 2;
}
