// Fuzz target: the INI value-file reader in all four encodings, and the writer it must agree with.
#include <cstring>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "profile/ini_store.h"

namespace {

using Map = VIniFileKey::Map;

// The value behind `data` must read back through exactly the getter of its kind.
void CheckGetters(const VIniFileData& data) {
    uint32_t dword = 0;
    VUnicodeString text;
    VStringArray lines;
    uint32_t size = 0;
    const int kind = data.GetKind();
    FUZZ_CHECK(data.GetDword(dword) == (kind == kValueKindDword));
    FUZZ_CHECK(data.GetString(text) == (kind == kValueKindString));
    FUZZ_CHECK(data.GetStringArray(lines) == (kind == kValueKindStringArray));
    FUZZ_CHECK(data.GetBinary(nullptr, size) == (kind == kValueKindBinary));
    if (kind != kValueKindBinary) return;
    std::vector<uint8_t> buffer(size + 1);
    uint32_t exact = size;
    FUZZ_CHECK(data.GetBinary(buffer.data(), exact) && exact == size);
    if (size > 0) {
        uint32_t tooSmall = size - 1;
        FUZZ_CHECK(!data.GetBinary(buffer.data(), tooSmall));
    }
}

bool SameValue(const VIniFileData& a, const VIniFileData& b) {
    if (a.GetKind() != b.GetKind()) return false;
    switch (a.GetKind()) {
        case kValueKindDword: {
            uint32_t x = 0, y = 0;
            return a.GetDword(x) && b.GetDword(y) && x == y;
        }
        case kValueKindString: {
            VUnicodeString x, y;
            return a.GetString(x) && b.GetString(y) && x == y;
        }
        case kValueKindStringArray: {
            VStringArray x, y;
            return a.GetStringArray(x) && b.GetStringArray(y) && x == y;
        }
        default: {
            uint32_t sx = 0, sy = 0;
            a.GetBinary(nullptr, sx);
            b.GetBinary(nullptr, sy);
            if (sx != sy) return false;
            std::vector<uint8_t> x(sx + 1), y(sy + 1);
            return a.GetBinary(x.data(), sx) && b.GetBinary(y.data(), sy) && x == y;
        }
    }
}

bool IsWellFormedValue(const Map::Element& element) {
    if (!fuzz::IsWellFormed(element.name.str())) return false;
    VUnicodeString text;
    if (element.data->GetString(text)) return fuzz::IsWellFormed(text.str());
    VStringArray lines;
    if (element.data->GetStringArray(lines)) {
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
    for (const Map::Element& element : parsed.Elements()) {
        FUZZ_CHECK(element.data != nullptr);
        FUZZ_CHECK(!element.name.IsEmpty());
        CheckGetters(*element.data);
        wellFormed = wellFormed && IsWellFormedValue(element);
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
        for (const Map::Element& element : parsed.Elements()) {
            const Map::Element* back = reread.Find(element.name.str());
            FUZZ_CHECK(back != nullptr && back->data != nullptr);
            FUZZ_CHECK(SameValue(*element.data, *back->data));
        }
    }
    return 0;
}
