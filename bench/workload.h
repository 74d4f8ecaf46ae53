// The session-tree workloads the scale benchmarks run on: a configuration folder of N sessions
// written by the library, and the same sessions as GLib key files for the peer.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "foundation/unicode_string.h"

using namespace sessiondeck;

namespace benchmark {
class State;
}

namespace bench {

// Sets the counter "peak_MB" to the process's peak resident memory so far.
void ReportPeakMemory(benchmark::State& state);

// Whether a file name is a session's value file (not a folder's order record).
bool IsSessionFile(std::string_view name);

// Reads every file below `root` once, untimed. The page cache of this machine
// does not keep a large workload between runs, so without this the first
// operation to read the files would pay the disk and the ones after it would
// not: every operation starts from the files in memory instead.
void WarmUp(const std::filesystem::path& root);

// Sessions are kept in folders of this many, as users with thousands of
// servers group them.
inline constexpr int kSessionsPerFolder = 100;
// The folder "Hosts" holds "host", "host (2)" ... "host (N)" for the
// unique-name benchmark, beside the N sessions of the groups.
inline constexpr int kNumberedHosts = 500;
inline constexpr const char16_t* kNumberedHostsFolder = u"Hosts";
// The session manager's workload adds one folder this large beside the groups.
inline constexpr const char16_t* kBigFolder = u"Big";

// One generated workload: `<root>/config` is the configuration folder,
// `<root>/keyfiles` the same sessions as key files (one group "Session" each,
// in the same folders).
struct Workload {
    std::filesystem::path root;
    int size = 0;
    // Sessions in the one large folder kBigFolder of the session manager's workload (0: none).
    int bigFolder = 0;

    std::filesystem::path ConfigFolder() const { return root / "config"; }
    std::filesystem::path SessionsFolder() const { return root / "config" / "Sessions"; }
    std::filesystem::path KeyFileFolder() const { return root / "keyfiles"; }
    // Every session of the tree: the groups', the numbered hosts' and the
    // default session.
    int SessionCount() const { return size + kNumberedHosts + 1 + bigFolder; }
};

// Starts the library as a terminal host over `configFolder` (protocol modules
// loaded once per process). Later calls only switch the configuration folder.
void UseConfigFolder(const std::filesystem::path& configFolder);

// The session path of the index-th generated session ("Group 0003\srv-000317").
VUnicodeString SessionPath(int index);

// Makes `root` hold the workload of `size` sessions unless a complete one is
// already there; returns it. Aborts with a message when it cannot be built.
Workload EnsureWorkload(const std::filesystem::path& root, int size);

// As EnsureWorkload, with `bigFolder` more sessions ("big-000000"...) in the one folder
// kBigFolder, and no key-file copies (the session manager's benchmarks need no peer).
Workload EnsureWorkload(const std::filesystem::path& root, int size, int bigFolder);

}  // namespace bench
