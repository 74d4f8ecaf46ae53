// The session manager's model at scale: opening the dialog, expanding a folder of 10,000
// sessions, one filter keystroke and the filter index, each beside the floor it is held to, and
// deleting many sessions of the large folder.
//
//   session_deck_bench --data=DIR [--size=100000] [--big=10000] [--generate-only] [benchmark flags]
//
// The workload (DIR/deck-SIZE-BIG) holds SIZE sessions in folders of 100 and one folder of BIG
// sessions; it is generated once and reused. bench/run-ui.sh runs each benchmark in a process
// of its own and prints the ratios.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/global_config.h"
#include "bench/workload.h"
#include "foundation/prompt.h"
#include "session/session_database.h"
#include "ui/model/session_deck_model.h"

using namespace sessiondeck;

namespace fs = std::filesystem;

namespace {

// Every file of a folder (not below it), read whole; `read` false only lists them.
int64_t ReadFolderFiles(const std::string& folder, bool read) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    std::vector<char> buffer(1 << 16);
    int64_t files = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (!bench::IsSessionFile(name)) continue;
        ++files;
        if (!read) continue;
        const int fd = ::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        while (::read(fd, buffer.data(), buffer.size()) > 0) {
        }
        ::close(fd);
    }
    ::closedir(dir);
    return files;
}

SessionDeckHost TerminalHost() {
    SessionDeckHost host;
    host.product = Product::Vetralon;
    return host;
}

// The dialog's options: the product filter on (transfer-only sessions hidden on this terminal
// host, so each session's protocol is checked), folders in stored order, the first selection
// a session inside a group.
VUnknownPointer<GlobalConfig> DialogConfig() {
    auto config = VUnknownPointer<GlobalConfig>::Adopt(CreateGlobalConfig(nullptr));
    config->showTransferOnlySessions = false;
    config->showTerminalOnlySessions = true;
    config->saveConnectDialogFolderState = 0;
    config->autoSaveOptions = 0;
    config->connectExpandPath = bench::SessionPath(bench::kSessionsPerFolder * 5 + 7);
    return config;
}

// ---- opening --------------------------------------------------------------------------

void ListFolders(SessionDatabase& db, const VUnicodeString& path, int64_t& count) {
    VStringArray folders;
    db.GetFolderList(path, folders);
    for (const VUnicodeString& name : folders) {
        ++count;
        ListFolders(db, SessionDatabase::JoinPath(path, name), count);
    }
}

// The floor: the library's listing of every folder of the tree.
void BM_FloorFolderListing(benchmark::State& state, bench::Workload workload) {
    bench::WarmUp(workload.SessionsFolder());
    SessionDatabase db;
    for (auto _ : state) {
        int64_t folders = 0;
        ListFolders(db, VUnicodeString(), folders);
        if (folders < workload.size / bench::kSessionsPerFolder)
            state.SkipWithError("the listing missed folders");
        benchmark::DoNotOptimize(folders);
    }
    bench::ReportPeakMemory(state);
}

void BM_OpenDialog(benchmark::State& state, bench::Workload workload) {
    bench::WarmUp(workload.SessionsFolder());
    // Nothing in these benchmarks asks the user; an answer that declines is the safe one.
    IPrompt& prompt = GetDismissingPrompt();
    auto config = DialogConfig();
    const VUnicodeString first = config->connectExpandPath.Get();
    for (auto _ : state) {
        SessionDeckModel deck(prompt, TerminalHost(), *config, SessionDeckParams{});
        const auto selected = deck.Selection().AsSelected();
        if (selected.size() != 1 || deck.Tree().Path(selected.front()).str() != first.str())
            state.SkipWithError("the first selection was not restored");
    }
    bench::ReportPeakMemory(state);
}

// ---- the large folder -----------------------------------------------------------------

void BM_FloorReadBigFolder(benchmark::State& state, bench::Workload workload) {
    bench::WarmUp(workload.SessionsFolder());
    const std::string folder =
        (workload.SessionsFolder() / VUnicodeString(bench::kBigFolder).ToUtf8()).string();
    for (auto _ : state) {
        if (ReadFolderFiles(folder, true) != workload.bigFolder)
            state.SkipWithError("the folder's files were not all read");
    }
    bench::ReportPeakMemory(state);
}

void BM_ExpandBigFolder(benchmark::State& state, bench::Workload workload) {
    bench::WarmUp(workload.SessionsFolder());
    // Nothing in these benchmarks asks the user; an answer that declines is the safe one.
    IPrompt& prompt = GetDismissingPrompt();
    auto config = DialogConfig();
    for (auto _ : state) {
        state.PauseTiming();
        auto deck = std::make_unique<SessionDeckModel>(prompt, TerminalHost(), *config,
                                                       SessionDeckParams{});
        const TreeNodeId big = deck->Tree().FindChild(deck->Tree().Root(), bench::kBigFolder);
        state.ResumeTiming();
        deck->Tree().Expand(big);
        state.PauseTiming();
        // Every generated session of the folder has a terminal side but one in twenty.
        const size_t shown = deck->Tree().Node(big).children.size();
        if (shown < static_cast<size_t>(workload.bigFolder) * 9 / 10 ||
            shown >= static_cast<size_t>(workload.bigFolder))
            state.SkipWithError("the product filter did not run");
        deck.reset();
        state.ResumeTiming();
    }
    bench::ReportPeakMemory(state);
}

// ---- the filter -----------------------------------------------------------------------

void BM_IndexBuild(benchmark::State& state, bench::Workload workload) {
    bench::WarmUp(workload.SessionsFolder());
    for (auto _ : state) {
        SessionFilterIndex index;
        index.BuildNow();
        if (index.Sessions().size() != static_cast<size_t>(workload.SessionCount() - 1))
            state.SkipWithError("the index missed sessions");
    }
    bench::ReportPeakMemory(state);
}

// One keystroke once the index is ready: the tree rebuilt from the matches. `texts` are typed
// in turn, so that every keystroke changes what is shown.
void FilterKeystrokes(benchmark::State& state, bench::Workload workload,
                      std::vector<const char16_t*> texts) {
    bench::WarmUp(workload.SessionsFolder());
    // Nothing in these benchmarks asks the user; an answer that declines is the safe one.
    IPrompt& prompt = GetDismissingPrompt();
    auto config = DialogConfig();
    SessionDeckModel deck(prompt, TerminalHost(), *config, SessionDeckParams{});
    deck.StartFilterIndex();
    if (!deck.FilterIndex().WaitReady(30 * 60 * 1000)) {
        state.SkipWithError("the index was not ready");
        return;
    }
    size_t turn = 0;
    int64_t shown = 0;
    for (auto _ : state) {
        if (deck.SetFilter(VUnicodeString(texts[turn++ % texts.size()])) !=
            SessionDeckModel::FilterState::kShown)
            state.SkipWithError("the filter was not shown");
        shown += static_cast<int64_t>(deck.Tree().VisibleNodes().size());
    }
    state.counters["shown"] =
        benchmark::Counter(static_cast<double>(shown), benchmark::Counter::kAvgIterations);
    bench::ReportPeakMemory(state);
}

// A typical narrowing keystroke: a few hundred matches by name and host.
void BM_FilterKeystroke(benchmark::State& state, bench::Workload workload) {
    FilterKeystrokes(state, workload, {u"srv-0012", u"srv-0013"});
}

// The worst keystroke: a text every session matches, so the whole tree is rebuilt.
void BM_FilterKeystrokeAll(benchmark::State& state, bench::Workload workload) {
    FilterKeystrokes(state, workload, {u"-", u"0"});
}

// ---- deleting many --------------------------------------------------------------------

// Answers Yes to every message, as the user confirming the delete; anything else is left to the
// library's dismissing prompt.
class ConfirmingPrompt : public IPrompt {
public:
    VPromptAnswer ShowMessage(const VUnicodeString&, const VUnicodeString&, VPromptButtons,
                              VPromptIcon) override {
        return VPromptAnswer::kYes;
    }
    VPromptCheckedAnswer ShowOptionalMessage(const VUnicodeString&, const VUnicodeString&,
                                             VPromptButtons, VPromptIcon,
                                             const VUnicodeString&) override {
        return {VPromptAnswer::kYes, false};
    }
    std::optional<VUnicodeString> AskText(const VUnicodeString& caption,
                                          const VUnicodeString& label,
                                          const VUnicodeString& initial, bool password) override {
        return m_rest.AskText(caption, label, initial, password);
    }
    std::optional<VUnicodeString> AskFolder(const VUnicodeString& caption,
                                            const VUnicodeString& initial) override {
        return m_rest.AskFolder(caption, initial);
    }
    std::optional<VUnicodeString> AskFile(const VUnicodeString& caption,
                                          const VUnicodeString& initial,
                                          const VUnicodeString& filter, bool save) override {
        return m_rest.AskFile(caption, initial, filter, save);
    }

private:
    IPrompt& m_rest = GetDismissingPrompt();
};

// Delete of `range(0)` sessions chosen across the large folder, with the filter index built
// (every delete keeps it in line). Each run works on a fresh copy of the workload, made untimed;
// run it alone (--benchmark_filter=DeleteFromBigFolder): the copies take a while.
void BM_DeleteFromBigFolder(benchmark::State& state, bench::Workload workload) {
    const int count = static_cast<int>(state.range(0));
    ConfirmingPrompt prompt;
    auto config = DialogConfig();
    const fs::path copy =
        workload.root.parent_path() / (workload.root.filename().string() + "-delete");
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(copy);
        fs::copy(workload.ConfigFolder(), copy, fs::copy_options::recursive);
        bench::UseConfigFolder(copy);
        bench::WarmUp(copy);
        auto deck = std::make_unique<SessionDeckModel>(prompt, TerminalHost(), *config,
                                                       SessionDeckParams{});
        deck->StartFilterIndex();
        const TreeNodeId big = deck->Tree().FindChild(deck->Tree().Root(), bench::kBigFolder);
        deck->Tree().Expand(big);
        const std::vector<TreeNodeId> shown = deck->Tree().Node(big).children;
        if (!deck->FilterIndex().WaitReady(30 * 60 * 1000) ||
            shown.size() < static_cast<size_t>(count) * 3) {
            state.SkipWithError("the index was not ready or the folder is too small");
            break;
        }
        deck->Selection().ClearSelection();
        for (int i = 0; i < count; ++i) deck->Selection().SetSelected(shown[i * 3], true);
        state.ResumeTiming();
        if (!deck->Delete()) state.SkipWithError("the delete failed");
        state.PauseTiming();
        if (deck->Tree().Node(big).children.size() != shown.size() - count)
            state.SkipWithError("the tree kept deleted sessions");
        deck.reset();
        bench::UseConfigFolder(workload.ConfigFolder());
        fs::remove_all(copy);
        state.ResumeTiming();
    }
}

}  // namespace

int main(int argc, char** argv) {
    fs::path data = "bench-data";
    int size = 1000, big = 1000;
    bool generateOnly = false;
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("--data="))
            data = std::string(arg.substr(7));
        else if (arg.starts_with("--size="))
            size = std::stoi(std::string(arg.substr(7)));
        else if (arg.starts_with("--big="))
            big = std::stoi(std::string(arg.substr(6)));
        else if (arg == "--generate-only")
            generateOnly = true;
        else if (arg == "--help" || arg == "-h") {
            std::printf(
                "usage: %s [--data=DIR] [--size=N] [--big=N] [--generate-only] "
                "[--benchmark_*...]\n"
                "  --size=N   sessions in folders of 100 (default 1000)\n"
                "  --big=N    sessions in the one large folder (default 1000)\n"
                "bench/run-ui.sh runs every operation and prints the ratios.\n",
                argv[0]);
            return 0;
        } else
            rest.push_back(argv[i]);
    }
    const bench::Workload workload = bench::EnsureWorkload(
        data / ("deck-" + std::to_string(size) + "-" + std::to_string(big)), size, big);
    if (generateOnly) return 0;

    using Function = void (*)(benchmark::State&, bench::Workload);
    const std::pair<const char*, Function> benchmarks[] = {
        {"OpenDialog", &BM_OpenDialog},           {"FloorFolderListing", &BM_FloorFolderListing},
        {"ExpandBigFolder", &BM_ExpandBigFolder}, {"FloorReadBigFolder", &BM_FloorReadBigFolder},
        {"FilterKeystroke", &BM_FilterKeystroke}, {"FilterKeystrokeAll", &BM_FilterKeystrokeAll},
        {"IndexBuild", &BM_IndexBuild},           {"DeleteFromBigFolder", &BM_DeleteFromBigFolder},
    };
    for (const auto& [name, function] : benchmarks) {
        auto* registered = benchmark::RegisterBenchmark(
            name, [function, workload](benchmark::State& state) { function(state, workload); });
        registered->Unit(benchmark::kMillisecond)->UseRealTime();
        if (std::string_view(name) == "IndexBuild") registered->Iterations(1);
        if (std::string_view(name) == "DeleteFromBigFolder")
            registered->Iterations(1)->Arg(100)->Arg(1000);
    }
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
