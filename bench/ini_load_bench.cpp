// Loading and querying one INI value file of N values, to show the cost grows linearly with N.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/query_values.h"
#include "profile/ini_store.h"

using namespace sessiondeck;

namespace fs = std::filesystem;

namespace {

// A configuration folder holding one key "Big" with N values of mixed kinds,
// written once through the library itself.
class ValueFileFixture {
public:
    explicit ValueFileFixture(int count) {
        std::string pattern = (fs::temp_directory_path() / "sessiondeck-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        m_dir = pattern;
        m_factory = std::make_unique<VIniFileStoreFactory>(
            VUnicodeString::FromUtf8((m_dir / "cfg").string()));
        VProfileStore store(m_factory.get());
        VProfileKey key(store.GetRootKey(), u"Big");
        const uint8_t blob[40] = {1, 2, 3};
        for (int i = 0; i < count; ++i) {
            m_names.push_back(VUnicodeString::FromUtf8("Value Name " + std::to_string(i)));
            const char16_t* name = m_names.back().c_str();
            switch (i % 4) {
                case 0:
                    key.SetDword(name, static_cast<uint32_t>(i));
                    break;
                case 1:
                    key.SetString(name, u"some string value of ordinary length");
                    break;
                case 2:
                    key.SetBinary(name, blob, sizeof blob);
                    break;
                default:
                    key.SetStringArray(name, VStringArray{u"first element", u"second element"});
            }
        }
    }
    ~ValueFileFixture() {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    VIniFileStoreFactory& Factory() { return *m_factory; }
    const std::vector<VUnicodeString>& Names() const { return m_names; }
    uintmax_t FileSize() const { return fs::file_size(m_dir / "cfg" / "Big.ini"); }

private:
    fs::path m_dir;
    std::unique_ptr<VIniFileStoreFactory> m_factory;
    std::vector<VUnicodeString> m_names;
};

void BM_LoadAndQueryAll(benchmark::State& state) {
    ValueFileFixture fixture(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        VProfileStore store(true, &fixture.Factory());
        VProfileKey key(store.GetRootKey(), u"Big");
        const size_t found = QueryAllValues(key, fixture.Names());
        if (found != fixture.Names().size()) state.SkipWithError("a value was not read back");
        benchmark::DoNotOptimize(found);
    }
    state.SetComplexityN(state.range(0));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fixture.FileSize()));
}

// Rewriting the whole file after one change: what closing a modified key costs.
void BM_ModifyAndWriteBack(benchmark::State& state) {
    ValueFileFixture fixture(static_cast<int>(state.range(0)));
    uint32_t counter = 0;
    for (auto _ : state) {
        VProfileStore store(&fixture.Factory());
        VProfileKey key(store.GetRootKey(), u"Big");
        key.SetDword(u"Value Name 0", ++counter);
    }
    state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(BM_LoadAndQueryAll)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ModifyAndWriteBack)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);
