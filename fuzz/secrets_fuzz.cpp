// Fuzz target: the three text forms of stored secrets (scrambled, Blowfish, data-protected).
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "fuzz/fuzz_support.h"
#include "profile/secret_forms.h"

using namespace sessiondeck;

namespace {

// Predictable bytes, so that a value re-encoded here is the same on every run.
class CountingSource final : public VUnknown<IRandomSource> {
public:
    bool Fill(void* buffer, size_t size) override {
        auto* bytes = static_cast<uint8_t*>(buffer);
        for (size_t i = 0; i < size; ++i) bytes[i] = m_next++;
        return true;
    }

private:
    uint8_t m_next = 0x5A;
};

// A fixed protection key, so that seeds sealed with it (see fuzz/README.md)
// open and the decoder's success path is reached too.
void InstallFixedProtectKey() {
    const std::filesystem::path home = fuzz::ScratchFolder() / "data";
    const std::filesystem::path folder = home / "sessiondeck";
    std::filesystem::create_directories(folder);
    chmod(folder.c_str(), 0700);
    std::ofstream key(folder / "protect.key", std::ios::binary);
    for (int i = 0; i < 32; ++i) key.put(static_cast<char>(0xA0 + i));
    key.close();
    chmod((folder / "protect.key").c_str(), 0600);
    setenv("XDG_DATA_HOME", home.c_str(), 1);
}

bool FitsOneByte(std::u16string_view text) {
    for (char16_t c : text) {
        if (c > 0xFF) return false;
    }
    return true;
}

void Scrambled(std::u16string_view text) {
    const std::optional<VUnicodeString> value = DecodeScrambledString(text);
    const size_t bytes = text.size() / 2;
    FUZZ_CHECK(value.has_value() == (text.empty() || (bytes >= 4 && bytes <= kScrambledMaxBytes)));
    if (!value) return;
    FUZZ_CHECK(value->str().find(u'\0') == std::u16string::npos);
    FUZZ_CHECK(value->Length() + 4 <= std::max<size_t>(bytes, 4));
    // Only the low byte of each character is kept, so only text of such
    // characters must come back; the encoded text is always in the form.
    const VScrambleKey key = {0x13, 0x57, 0x9b, 0xdf};
    const VUnicodeString encoded = EncodeScrambledString(value->str(), key);
    const std::optional<VUnicodeString> back = DecodeScrambledString(encoded.str());
    if (value->Length() + 4 > kScrambledMaxBytes) {
        FUZZ_CHECK(!back);
        return;
    }
    FUZZ_CHECK(back.has_value());
    if (FitsOneByte(value->str())) FUZZ_CHECK(*back == *value);
}

void Blowfish(std::u16string_view text, int kind) {
    const std::optional<VUnicodeString> value = DecodeBlowfishText(text, kind);
    if (!value) return;
    FUZZ_CHECK(value->str().find(u'\0') == std::u16string::npos);
    static IRandomSource* const source = new CountingSource;
    const std::optional<VUnicodeString> encoded = EncodeBlowfishText(value->str(), kind, *source);
    FUZZ_CHECK(encoded.has_value());
    const std::optional<VUnicodeString> back = DecodeBlowfishText(encoded->str(), kind);
    FUZZ_CHECK(back.has_value() && *back == *value);
}

void Capi(std::u16string_view text) {
    VReportMessageParams report;
    const std::optional<VUnicodeString> value = DecodeCapiString(text, report);
    if (!value) {
        FUZZ_CHECK(report.GetMessageId() == kReportCapiPrefixMissing ||
                   report.GetMessageId() == kReportCapiProtectFailed);
        return;
    }
    VReportMessageParams encodeReport;
    const std::optional<VUnicodeString> encoded = EncodeCapiString(value->str(), encodeReport);
    FUZZ_CHECK(encoded.has_value());
    VReportMessageParams backReport;
    const std::optional<VUnicodeString> back = DecodeCapiString(encoded->str(), backReport);
    FUZZ_CHECK(back.has_value() && *back == *value);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    InstallFixedProtectKey();
    return 0;
}

// The first byte picks the form: 's' scrambled, '0' '1' '2' Blowfish of that
// cipher kind, 'c' data-protected; any other byte picks one by its value. The
// rest is the stored text, in UTF-8.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::u16string text = fuzz::Text(fuzz::Bytes(data + 1, size - 1));
    switch (data[0]) {
        case 's':
            Scrambled(text);
            return 0;
        case '0':
        case '1':
        case '2':
            Blowfish(text, data[0] - '0');
            return 0;
        case 'c':
            Capi(text);
            return 0;
    }
    switch (data[0] % 5) {
        case 0:
            Scrambled(text);
            break;
        case 4:
            Capi(text);
            break;
        default:
            Blowfish(text, data[0] % 5 - 1);
            break;
    }
    return 0;
}
