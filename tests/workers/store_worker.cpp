// A host process for the robustness tests: a crash writer that saves sessions until it is killed,
// and a churn worker that edits a shared configuration folder alongside another one.
//
//   store_worker crash ini|registry DIR
//       For each line "GENERATION SEED DELAY" read, forks a writer that saves the crash sessions
//       (generations counting up from GENERATION) and reorders them, kills it with SIGKILL after
//       DELAY microseconds, and prints "killed" once it is dead.
//   store_worker churn DIR TAG SECONDS SEED
//       For SECONDS, random inserts, copies, renames, reorders, saves and removes of its own
//       sessions and folders (names beginning with TAG) in the root, in "Shared" and in its own
//       folders, and saves of its own value in the shared sessions "Keep1" to "Keep4". Both
//       workers also create, rename onto and copy to the same contested names ("Race1" to
//       "Race3", "RaceDir1" and "RaceDir2", numbered copies of the shared sessions), owning what
//       they won, and apply a change to every session (a delta of the default session, or one
//       value set in all of them). Then prints its operation counts, every path it owns
//       ("session PATH", "folder PATH") and the last value it saved into each shared session.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/unknown.h"
#include "session/session_config.h"
#include "session/session_database.h"
#include "workers/worker_store.h"

using namespace sessiondeck;

namespace {

using Session = VUnknownPointer<ISessionConfig>;

VUnicodeString U(const std::string& text) {
    return VUnicodeString::FromUtf8(text);
}

// Saves crash sessions (generations counting up from `generation`) and reorders them until it
// is killed.
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

// Starting a process that loads the library takes far longer than a save, so the writers are
// forked from this one process, which has started once. It never opens the store itself, so no
// writer inherits an open hive connection.
void CrashServer(const std::string& kind, const std::filesystem::path& dir) {
    worker::UseStore(kind, dir);
    uint32_t generation = 0;
    unsigned seed = 0, delay = 0;
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream(line) >> generation >> seed >> delay;
        std::cout.flush();
        const pid_t pid = fork();
        if (pid == 0) CrashLoop(generation, seed);
        int status = 0;
        if (pid > 0) {
            usleep(delay);
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        std::cout << (pid > 0 && WIFSIGNALED(status) ? "killed" : "failed") << std::endl;
    }
}

std::string Join(const std::string& folder, const std::string& name) {
    return SessionDatabase::JoinPath(U(folder), U(name)).ToUtf8();
}

// The churn worker's view of what it owns, as session paths.
struct Owned {
    std::set<std::string> sessions, folders;

    // Everything at or below `path` is copied (`keep`) or moved to `to` (empty: removed).
    void Carry(const std::string& path, const std::string& to, bool keep) {
        for (auto* set : {&sessions, &folders}) {
            std::set<std::string> carried;
            for (auto it = set->begin(); it != set->end();) {
                const bool below = *it == path || it->starts_with(path + "\\");
                if (below && !to.empty()) carried.insert(to + it->substr(path.size()));
                it = below && !keep ? set->erase(it) : std::next(it);
            }
            set->insert(carried.begin(), carried.end());
        }
    }
};

void Churn(const std::filesystem::path& dir, const std::string& tag, int seconds, unsigned seed) {
    worker::UseStore("ini", dir);
    const SessionDatabase db;
    std::mt19937 random(seed);
    const auto pick = [&](const auto& set) {
        return *std::next(set.begin(), static_cast<long>(random() % set.size()));
    };
    Owned owned;
    std::map<std::string, int> counts;
    std::map<std::string, uint32_t> saved;  // shared session -> last value saved
    int serial = 0;
    const auto newName = [&] { return tag + std::to_string(++serial); };
    const auto numbered = [&](const char* name, unsigned count) {
        return name + std::to_string(1 + random() % count);
    };
    const auto sharedFolder = [&]() -> std::string { return random() % 2 ? "" : "Shared"; };
    // Where new things go: the shared folders, or one of the worker's own.
    const auto anyParent = [&]() -> std::string {
        if (random() % 3 == 0 || owned.folders.empty()) return sharedFolder();
        return pick(owned.folders);
    };
    const Session defaults = Session::Adopt(db.Lookup(VUnicodeString(kDefaultSessionName)));
    // Only the worker that was told it succeeded owns the result.
    const auto insertSession = [&](const std::string& folder, const std::string& name,
                                   const char* op) {
        const Session session = Session::Adopt(defaults->Clone());
        session->SetSessionName(U(name));
        if (db.InsertSession(U(folder), U(name), session.Get(), {}, true)) {
            owned.sessions.insert(Join(folder, name));
            ++counts[op];
        }
    };
    const auto insertFolder = [&](const std::string& folder, const std::string& name,
                                  const char* op) {
        if (db.InsertFolder(U(folder), U(name), {}, true)) {
            owned.folders.insert(Join(folder, name));
            ++counts[op];
        }
    };
    const auto rename = [&](const std::string& path, const std::string& name, const char* op) {
        const VUnicodeString parent = SessionDatabase::ParentPath(U(path));
        const VUnicodeString leaf = SessionDatabase::LeafName(U(path));
        if (leaf != U(name) && db.Rename(parent, leaf, U(name))) {
            owned.Carry(path, Join(parent.ToUtf8(), name), false);
            ++counts[op];
        }
    };
    const auto ownsAny = [&] { return !owned.sessions.empty() || !owned.folders.empty(); };
    // Past the given time the worker goes on until it has done each operation the test checks
    // for at least once (on a loaded or sanitizer-slowed machine a short run may not reach the
    // rarer ones), but never past a minute beyond it.
    const auto start = std::chrono::steady_clock::now();
    const auto end = start + std::chrono::seconds(seconds), last = end + std::chrono::seconds(60);
    const auto checkedDone = [&] {
        for (const char* op : {"race-insert", "race-copy", "apply-delta", "apply-bool"})
            if (!counts.contains(op)) return false;  // not counts[op]: that would list it
        return true;
    };
    for (auto now = start; now < end || (!checkedDone() && now < last);
         now = std::chrono::steady_clock::now()) {
        const unsigned op = random() % 12;
        if (op == 0) {
            insertSession(anyParent(), newName(), "insert");
        } else if (op == 1) {
            insertFolder(anyParent(), newName(), "mkdir");
        } else if (op == 2 && !owned.folders.empty()) {
            // A copy of a shared session or of one of the worker's own sessions or folders,
            // into one of its own folders.
            const std::string target = pick(owned.folders);
            std::string source = numbered("Shared\\Keep", 4);
            if (random() % 2 && !owned.sessions.empty()) source = pick(owned.sessions);
            if (random() % 4 == 0) source = pick(owned.folders);
            if (target == source || target.starts_with(source + "\\")) continue;
            const VUnicodeString copied = db.Copy(U(source), U(target), true, {}, true);
            if (copied.IsEmpty()) continue;
            if (owned.folders.count(source)) {
                owned.Carry(source, copied.ToUtf8(), true);
            } else {
                owned.sessions.insert(copied.ToUtf8());
            }
            ++counts["copy"];
        } else if (op == 3 && ownsAny()) {
            const bool folder = owned.sessions.empty() || (!owned.folders.empty() && random() % 2);
            rename(folder ? pick(owned.folders) : pick(owned.sessions), newName(), "rename");
        } else if (op == 4) {
            // Reorders in the shared folders move the other worker's items too.
            const std::string folder = sharedFolder();
            VStringArray names;
            db.GetSessionList(U(folder), names);
            if (names.GetSize() < 2) continue;
            const VUnicodeString& item = names[random() % names.GetSize()];
            const VUnicodeString& target = names[random() % names.GetSize()];
            if (item != target &&
                !db.Reorder(SessionDatabase::JoinPath(U(folder), item), target, random() % 2)
                     .IsEmpty())
                ++counts["reorder"];
        } else if (op == 5 || op == 6) {
            // Both workers save into the same shared value files, each its own value.
            const std::string keep = numbered(random() % 2 ? "Keep" : "Shared\\Keep", 4);
            const uint32_t value = ++saved[keep];
            VProfileStore store;
            VProfileKey key(store.GetRootKey(), SessionDatabase::KeyPath(U(keep)));
            key.SetDword(U(tag + " Saves").c_str(), value);
            ++counts["save"];
        } else if (op == 7 && ownsAny()) {
            const bool folder =
                owned.sessions.empty() || (!owned.folders.empty() && random() % 4 == 0);
            const std::string path = folder ? pick(owned.folders) : pick(owned.sessions);
            if (db.Remove(U(path))) {
                owned.Carry(path, {}, false);
                ++counts["remove"];
            }
        } else if (op == 8) {
            // Both workers try to create the same names.
            const std::string folder = sharedFolder();
            if (random() % 2) {
                insertSession(folder, numbered("Race", 3), "race-insert");
            } else {
                insertFolder(folder, numbered("RaceDir", 2), "race-mkdir");
            }
        } else if (op == 9 && !owned.sessions.empty()) {
            // A rename of one of its own sessions onto a contested name in its folder.
            rename(pick(owned.sessions), numbered("Race", 3), "race-rename");
        } else if (op == 10) {
            // Both workers copy the same shared session into the same folder: each copy gets a
            // numbered name, never both the same one.
            const VUnicodeString copied =
                db.Copy(U(numbered("Shared\\Keep", 4)), U("Shared"), true, {}, true);
            if (!copied.IsEmpty()) {
                owned.sessions.insert(copied.ToUtf8());
                ++counts["race-copy"];
            }
        } else if (op == 11 && random() % 2) {
            // A change applied to every session of the tree, the other worker's included.
            const Session delta = Session::Adopt(defaults->Clone());
            delta->Checkpoint();
            delta->SetInitialDirectory(U("/srv/" + newName()).c_str());
            db.EnumAndApplyDelta(delta.Get());
            ++counts["apply-delta"];
        } else if (op == 11) {
            db.EnumAndSetAllBoolValues(U("Sync View Rows"), random() % 2 == 0);
            ++counts["apply-bool"];
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
    } else if (args.size() == 5 && args[0] == "churn") {
        Churn(args[1], args[2], std::stoi(args[3]), static_cast<unsigned>(std::stoul(args[4])));
    } else {
        std::cerr << "usage: store_worker crash ini|registry DIR\n"
                     "       store_worker churn DIR TAG SECONDS SEED\n";
        return 2;
    }
    return 0;
}
