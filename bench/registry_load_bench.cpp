// Opening the registry store and querying N values of one key, and the cost of one committed
// change.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/query_values.h"
#include "profile/registry_store.h"

using namespace sessiondeck;

namespace fs = std::filesystem;

namespace {

// A hive whose key "Big" holds N values of mixed kinds, written once through
// the library itself and kept for every run with the same N: each write is
// its own committed transaction, so building the large hive takes a while.
class HiveFixture {
public:
    explicit HiveFixture(int count) {
        std::string pattern = (fs::temp_directory_path() / "sessiondeck-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) std::abort();
        m_dir = pattern;
        m_factory = std::make_unique<VRegistryStoreFactory>(
            VRegistryRoot::CurrentUser, u"Software\\Norvik", m_dir / "registry");
        VProfileStore store(m_factory.get());
        VProfileKey key(store.GetRootKey(), u"Big");
        const uint8_t blob[40] = {1, 2, 3};
        for (int i = 0; i < count; ++i) {
            m_names.push_back(VUnicodeString::FromUtf8("Value Name " + std::to_string(i)));
            const char16_t* name = m_names.back().c_str();
            bool done = false;
            switch (i % 4) {
                case 0:
                    done = key.SetDword(name, static_cast<uint32_t>(i));
                    break;
                case 1:
                    done = key.SetString(name, u"some string value of ordinary length");
                    break;
                case 2:
                    done = key.SetBinary(name, blob, sizeof blob);
                    break;
                default:
                    done =
                        key.SetStringArray(name, VStringArray{u"first element", u"second element"});
            }
            if (!done) std::abort();
        }
    }
    ~HiveFixture() {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    static HiveFixture& For(int count) {
        static std::map<int, std::unique_ptr<HiveFixture>> fixtures;
        auto& fixture = fixtures[count];
        if (!fixture) fixture = std::make_unique<HiveFixture>(count);
        return *fixture;
    }

    VRegistryStoreFactory& Factory() { return *m_factory; }
    const std::vector<VUnicodeString>& Names() const { return m_names; }

private:
    fs::path m_dir;
    std::unique_ptr<VRegistryStoreFactory> m_factory;
    std::vector<VUnicodeString> m_names;
};

// A read-only store reads one snapshot; a writable one looks at the hive
// afresh (taking its locks) at every query.
template <bool readOnly>
void BM_RegistryLoadAndQueryAll(benchmark::State& state) {
    HiveFixture& fixture = HiveFixture::For(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        VProfileStore store(readOnly, &fixture.Factory());
        VProfileKey key(store.GetRootKey(), u"Big");
        const size_t found = QueryAllValues(key, fixture.Names());
        if (found != fixture.Names().size()) state.SkipWithError("a value was not read back");
        benchmark::DoNotOptimize(found);
    }
    state.SetComplexityN(state.range(0));
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// Enumerating every value with its kind, as a dump of the key does.
void BM_RegistryEnumerateValues(benchmark::State& state) {
    HiveFixture& fixture = HiveFixture::For(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        VProfileStore store(true, &fixture.Factory());
        VProfileKey key(store.GetRootKey(), u"Big");
        VProfileKeyIterator it(key, true);
        VUnicodeString name;
        int kind = 0;
        int64_t count = 0;
        while (it.NextValue(name, kind)) ++count;
        if (count != state.range(0)) state.SkipWithError("enumeration missed values");
    }
    state.SetComplexityN(state.range(0));
}

// One change, committed to disk before the call returns: unlike the INI
// backend, its cost should not grow with the number of values in the key.
void BM_RegistrySetOneValue(benchmark::State& state) {
    HiveFixture& fixture = HiveFixture::For(static_cast<int>(state.range(0)));
    VProfileStore store(&fixture.Factory());
    VProfileKey key(store.GetRootKey(), u"Big");
    uint32_t counter = 0;
    for (auto _ : state) {
        if (!key.SetDword(u"Value Name 0", ++counter))
            state.SkipWithError("the change was refused");
    }
    state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(BM_RegistryLoadAndQueryAll<true>)
    ->Name("BM_RegistryLoadAndQueryAll")
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RegistryLoadAndQueryAll<false>)
    ->Name("BM_RegistryQueryAllWritableStore")
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RegistryEnumerateValues)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(10000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RegistrySetOneValue)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
