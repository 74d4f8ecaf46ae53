// The session tree at scale: listing, loading, saving and apply-to-all over N generated sessions,
// measured beside their floors (a plain directory walk, plain reads) and a peer (GLib key files).
//
//   session_tree_bench --data=DIR [--sizes=1000,10000] [--generate-only] [benchmark flags]
//
// Each workload is generated once under DIR/N and reused. Every benchmark
// reports the process's peak resident memory (peak_MB); bench/run.sh runs each
// one in a process of its own so that figure belongs to it alone.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "app/global_config.h"
#include "bench/workload.h"
#include "session/session_config.h"
#include "session/session_database.h"

using namespace sessiondeck;

namespace fs = std::filesystem;

namespace {

// Walks a folder tree with readdir and stat, calling `file` for every file.
template <class F>
void WalkTree(const std::string& folder, F&& file) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> folders;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        std::string path = folder + '/' + entry->d_name;
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode))
            folders.push_back(std::move(path));
        else
            file(path, name);
    }
    ::closedir(dir);
    for (const std::string& sub : folders) WalkTree(sub, file);
}

// ---- floors and the peer --------------------------------------------------------------

void BM_FloorDirectoryWalk(benchmark::State& state, bench::Workload workload) {
    bench::WarmUp(workload.SessionsFolder());
    const std::string root = workload.SessionsFolder().string();
    for (auto _ : state) {
        int64_t files = 0;
        WalkTree(root, [&](const std::string&, std::string_view) { ++files; });
        benchmark::DoNotOptimize(files);
    }
    bench::ReportPeakMemory(state);
}

void BM_FloorReadAll(benchmark::State& state, bench::Workload workload) {
    bench::WarmUp(workload.SessionsFolder());
    const std::string root = workload.SessionsFolder().string();
    std::vector<char> buffer(1 << 16);
    for (auto _ : state) {
        int64_t sessions = 0, bytes = 0;
        WalkTree(root, [&](const std::string& path, std::string_view name) {
            if (!bench::IsSessionFile(name)) return;
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) return;
            ssize_t n;
            while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) bytes += n;
            ::close(fd);
            ++sessions;
        });
        if (sessions != workload.SessionCount())
            state.SkipWithError("the walk missed session files");
        benchmark::DoNotOptimize(bytes);
    }
    bench::ReportPeakMemory(state);
}

void BM_PeerKeyFileLoadAll(benchmark::State& state, bench::Workload workload) {
    bench::WarmUp(workload.KeyFileFolder());
    const std::string root = workload.KeyFileFolder().string();
    for (auto _ : state) {
        int64_t sessions = 0, values = 0;
        WalkTree(root, [&](const std::string& path, std::string_view name) {
            if (!name.ends_with(".keyfile")) return;
            GKeyFile* file = g_key_file_new();
            if (g_key_file_load_from_file(file, path.c_str(), G_KEY_FILE_NONE, nullptr)) {
                gsize count = 0;
                gchar** keys = g_key_file_get_keys(file, "Session", &count, nullptr);
                for (gsize i = 0; i < count; ++i) {
                    gchar* value = g_key_file_get_string(file, "Session", keys[i], nullptr);
                    values += value != nullptr;
                    g_free(value);
                }
                g_strfreev(keys);
                ++sessions;
            }
            g_key_file_free(file);
        });
        if (sessions != workload.SessionCount())
            state.SkipWithError("the peer missed session files");
        benchmark::DoNotOptimize(values);
    }
    bench::ReportPeakMemory(state);
}

// ---- the library ----------------------------------------------------------------------

// The whole tree in stored order, folder by folder, as the session manager fills it.
void BM_ListTree(benchmark::State& state, bench::Workload workload) {
    bench::WarmUp(workload.SessionsFolder());
    SessionDatabase database;
    for (auto _ : state) {
        VStringArray sessions, folders;
        database.ExpandPaths(VStringArray{VUnicodeString()}, sessions, folders);
        if (sessions.GetSize() != static_cast<size_t>(workload.SessionCount()))
            state.SkipWithError("the listing missed sessions");
        benchmark::DoNotOptimize(sessions);
    }
    bench::ReportPeakMemory(state);
}

struct LoadCount {
    int64_t sessions = 0;
    int64_t rows = 0;
};

void LoadSessionFully(VProfileKey& key, const VUnicodeString& path, const VUnicodeString& name,
                      void* context) {
    auto* session = new SessionConfig(name, &key);
    session->SetSessionPath(path);
    auto* count = static_cast<LoadCount*>(context);
    count->rows += session->terminal.rows.Get();
    ++count->sessions;
    session->Release();
}

void BM_LoadAllSessions(benchmark::State& state, bench::Workload workload) {
    bench::WarmUp(workload.SessionsFolder());
    for (auto _ : state) {
        LoadCount count;
        SessionDatabase::EnumAllSessions(&LoadSessionFully, &count);
        if (count.sessions != workload.SessionCount())
            state.SkipWithError("sessions were not loaded");
        benchmark::DoNotOptimize(count.rows);
    }
    bench::ReportPeakMemory(state);
}

void BM_LoadOneSession(benchmark::State& state, bench::Workload workload) {
    SessionDatabase database;
    const VUnicodeString path = bench::SessionPath(workload.size / 2);
    for (auto _ : state) {
        ISessionConfig* session = database.Lookup(path);
        if (!session) {
            state.SkipWithError("the session was not found");
            break;
        }
        benchmark::DoNotOptimize(static_cast<SessionConfig*>(session)->terminal.rows.Get());
        session->Release();
    }
    bench::ReportPeakMemory(state);
}

void BM_SaveOneValue(benchmark::State& state, bench::Workload workload) {
    SessionDatabase database;
    auto* session =
        static_cast<SessionConfig*>(database.Lookup(bench::SessionPath(workload.size / 2)));
    if (!session) {
        state.SkipWithError("the session was not found");
        return;
    }
    int delay = 0;
    for (auto _ : state) {
        session->keyboardCharSendDelay = static_cast<unsigned>(++delay % 50);
        if (!database.Save(session, false)) state.SkipWithError("the session was not saved");
    }
    session->Release();
    bench::ReportPeakMemory(state);
}

void BM_ApplyDeltaToAll(benchmark::State& state, bench::Workload workload) {
    bench::WarmUp(workload.SessionsFolder());
    SessionDatabase database;
    auto* delta = static_cast<SessionConfig*>(database.Lookup(VUnicodeString(u"Default")));
    int round = 0;
    for (auto _ : state) {
        delta->Checkpoint();
        delta->lineSendDelay = 10 + ++round % 20;
        const GlobalChangeTally tally = database.EnumAndApplyDelta(delta);
        if (tally.updated != workload.SessionCount())
            state.SkipWithError("not every session was updated");
    }
    delta->Release();
    bench::ReportPeakMemory(state);
}

void BM_UniqueSessionName(benchmark::State& state, bench::Workload) {
    const VUnicodeString base =
        VUnicodeString(std::u16string(bench::kNumberedHostsFolder) + u"\\host");
    const std::u16string expected =
        base.str() + u" (" +
        VUnicodeString::FromUtf8(std::to_string(bench::kNumberedHosts + 1)).str() + u")";
    for (auto _ : state) {
        const VUnicodeString name = SessionDatabase::GetUniqueSessionName(base);
        if (name.str() != expected) state.SkipWithError("an unexpected free name");
    }
    bench::ReportPeakMemory(state);
}

void BM_LoadGlobalConfig(benchmark::State& state, bench::Workload) {
    GlobalConfig* global = nullptr;
    for (auto _ : state) {
        ReloadGlobalConfig(global);
        benchmark::DoNotOptimize(global);
    }
    bench::ReportPeakMemory(state);
}

std::vector<int> ParseSizes(std::string_view text) {
    std::vector<int> sizes;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string_view::npos) end = text.size();
        sizes.push_back(std::stoi(std::string(text.substr(start, end - start))));
        start = end + 1;
    }
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path data = "bench-data";
    std::vector<int> sizes{1000, 10000};
    bool generateOnly = false;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--data="))
            data = std::string(arg.substr(7));
        else if (arg.starts_with("--sizes="))
            sizes = ParseSizes(arg.substr(8));
        else if (arg == "--generate-only")
            generateOnly = true;
        else if (arg == "--help" || arg == "-h") {
            // Answered before anything is generated: a workload of 10,000
            // sessions is a few hundred megabytes in the current folder.
            std::printf(
                "usage: %s [--data=DIR] [--sizes=N,N,...] [--generate-only] [--benchmark_*...]\n"
                "  --data=DIR       where the workloads are kept (default ./bench-data);\n"
                "                   a missing workload is generated first\n"
                "  --sizes=N,...    sessions per workload (default 1000,10000)\n"
                "  --generate-only  generate the missing workloads and stop\n"
                "Other options go to Google Benchmark (--benchmark_filter=REGEX, ...).\n"
                "bench/run.sh runs every operation and prints the table.\n",
                argv[0]);
            return 0;
        } else
            rest.push_back(argv[i]);
    }

    std::vector<bench::Workload> workloads;
    for (int size : sizes)
        workloads.push_back(bench::EnsureWorkload(data / std::to_string(size), size));
    if (generateOnly) return 0;

    using Function = void (*)(benchmark::State&, bench::Workload);
    const std::pair<const char*, Function> benchmarks[] = {
        {"ListTree", &BM_ListTree},
        {"FloorDirectoryWalk", &BM_FloorDirectoryWalk},
        {"LoadAllSessions", &BM_LoadAllSessions},
        {"FloorReadAll", &BM_FloorReadAll},
        {"PeerKeyFileLoadAll", &BM_PeerKeyFileLoadAll},
        {"LoadOneSession", &BM_LoadOneSession},
        {"SaveOneValue", &BM_SaveOneValue},
        {"ApplyDeltaToAll", &BM_ApplyDeltaToAll},
        {"UniqueSessionName", &BM_UniqueSessionName},
        {"LoadGlobalConfig", &BM_LoadGlobalConfig},
    };
    for (const bench::Workload& workload : workloads) {
        for (const auto& [name, function] : benchmarks) {
            const std::string full = std::string(name) + "/" + std::to_string(workload.size);
            benchmark::RegisterBenchmark(full.c_str(),
                                         [function, workload](benchmark::State& state) {
                                             // Each benchmark works on its own workload's folder.
                                             bench::UseConfigFolder(workload.ConfigFolder());
                                             function(state, workload);
                                         })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
