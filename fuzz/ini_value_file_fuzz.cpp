// Fuzz target: the INI value-file reader in all four encodings, and the writer it must agree with.
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "profile/ini_store_private.h"

using namespace sessiondeck;

namespace {

using Map = VIniFileKey::Map;

// The value at `i` must read back through exactly the getter of its kind.
void CheckGetters(const Map& map, size_t i) {
    uint32_t dword = 0;
    VUnicodeString text;
    VStringArray lines;
    uint32_t size = 0;
    const int kind = map.GetKind(i);
    FUZZ_CHECK(map.GetDword(i, dword) == (kind == kValueKindDword));
    FUZZ_CHECK(map.GetString(i, text) == (kind == kValueKindString));
    FUZZ_CHECK(map.GetStringArray(i, lines) == (kind == kValueKindStringArray));
    FUZZ_CHECK(map.GetBinary(i, nullptr, size) == (kind == kValueKindBinary));
    if (kind != kValueKindBinary) return;
    std::vector<uint8_t> buffer(size + 1);
    uint32_t exact = size;
    FUZZ_CHECK(map.GetBinary(i, buffer.data(), exact) && exact == size);
    if (size > 0) {
        uint32_t tooSmall = size - 1;
        FUZZ_CHECK(!map.GetBinary(i, buffer.data(), tooSmall));
    }
}

bool SameValue(const Map& a, size_t i, const Map& b, size_t j) {
    if (a.GetKind(i) != b.GetKind(j)) return false;
    switch (a.GetKind(i)) {
        case kValueKindDword: {
            uint32_t x = 0, y = 0;
            return a.GetDword(i, x) && b.GetDword(j, y) && x == y;
        }
        case kValueKindString: {
            VUnicodeString x, y;
            return a.GetString(i, x) && b.GetString(j, y) && x == y;
        }
        case kValueKindStringArray: {
            VStringArray x, y;
            return a.GetStringArray(i, x) && b.GetStringArray(j, y) && x == y;
        }
        default: {
            uint32_t sx = 0, sy = 0;
            a.GetBinary(i, nullptr, sx);
            b.GetBinary(j, nullptr, sy);
            if (sx != sy) return false;
            std::vector<uint8_t> x(sx + 1), y(sy + 1);
            return a.GetBinary(i, x.data(), sx) && b.GetBinary(j, y.data(), sy) && x == y;
        }
    }
}

bool IsWellFormedValue(const Map& map, size_t i) {
    if (!fuzz::IsWellFormed(map.GetName(i))) return false;
    VUnicodeString text;
    if (map.GetString(i, text)) return fuzz::IsWellFormed(text.str());
    VStringArray lines;
    if (map.GetStringArray(i, lines)) {
        for (const VUnicodeString& line : lines) {
            if (!fuzz::IsWellFormed(line.str())) return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A copy of exactly the input's length, so that any read past the end is
    // caught by the address sanitizer.
    std::vector<char> copy(data, data + size);
    const std::string_view input(copy.data(), copy.size());

    Map parsed;
    const VIniParseResult result = VIniFileKey::ParseValueFile(input, parsed);
    FUZZ_CHECK((result.stop == VIniStop::EndOfFile) == (result.line == 0));

    bool wellFormed = true;
    for (size_t i = 0; i < parsed.GetSize(); ++i) {
        FUZZ_CHECK(parsed.Exists(i) && !parsed.WasSet(i));
        FUZZ_CHECK(!parsed.GetName(i).empty());
        CheckGetters(parsed, i);
        wellFormed = wellFormed && IsWellFormedValue(parsed, i);
    }

    // What was read is written in a form that reads back whole; writing that
    // again gives the same bytes.
    const std::string written = VIniFileKey::BuildValueFile(parsed);
    Map reread;
    const VIniParseResult again = VIniFileKey::ParseValueFile(written, reread);
    FUZZ_CHECK(again.stop == VIniStop::EndOfFile);
    FUZZ_CHECK(VIniFileKey::BuildValueFile(reread) == written);

    // Text that survives UTF-8 comes back value for value.
    if (wellFormed) {
        FUZZ_CHECK(reread.GetSize() == parsed.GetSize());
        for (size_t i = 0; i < parsed.GetSize(); ++i) {
            const std::optional<size_t> back = reread.Find(parsed.GetName(i));
            FUZZ_CHECK(back.has_value());
            FUZZ_CHECK(SameValue(parsed, i, reread, *back));
        }
    }
    return 0;
}
