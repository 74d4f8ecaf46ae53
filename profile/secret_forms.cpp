// Encoding and decoding of the scrambled, Blowfish and data-protection text forms.
#include "profile/secret_forms.h"

#include <array>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "foundation/codepage.h"
#include "foundation/hex_digits.h"
#include "platform/crypto.h"
#include "platform/protect_key.h"
#include "profile/cipher.h"

namespace sessiondeck {

const std::array<uint8_t, 16> kBlowfishKeyA = {0x3f, 0xe0, 0xd3, 0x06, 0xef, 0x1d, 0x42, 0x75,
                                               0xd0, 0x5a, 0xd0, 0x67, 0x9a, 0xe4, 0x59, 0xb7};
const std::array<uint8_t, 16> kBlowfishKeyB = {0x93, 0x9d, 0x4d, 0x51, 0x8d, 0x28, 0x3f, 0xd1,
                                               0xa4, 0xb1, 0x0e, 0xbe, 0x46, 0xab, 0x4d, 0x83};
const std::array<uint8_t, 8> kBlowfishInitialVectorA = {0x09, 0xf6, 0xca, 0x59,
                                                        0xa0, 0x74, 0x37, 0x6e};
const std::array<uint8_t, 8> kBlowfishInitialVectorB = {0x90, 0x54, 0xbf, 0x39,
                                                        0x27, 0x56, 0x50, 0x6b};

namespace {

// Wipes a byte buffer that held plain text or key material when it goes.
struct VSecretBytes {
    std::vector<uint8_t> bytes;
    explicit VSecretBytes(size_t size = 0) : bytes(size) {}
    ~VSecretBytes() { CryptoWipe(bytes.data(), bytes.size()); }
    VSecretBytes(const VSecretBytes&) = delete;
    VSecretBytes& operator=(const VSecretBytes&) = delete;
};

// Strict hex: an even number of digits of either case, nothing else.
bool ParseHex(std::u16string_view text, std::vector<uint8_t>& bytes) {
    if (text.size() % 2 != 0) return false;
    bytes.resize(text.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
        const int high = HexDigitValue(text[2 * i]);
        const int low = HexDigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0) return false;
        bytes[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return true;
}

// The value as UTF-16LE code units with a terminating 0 code unit.
void AppendUtf16LeWithTerminator(std::vector<uint8_t>& bytes, std::u16string_view value) {
    for (char16_t c : value) {
        bytes.push_back(static_cast<uint8_t>(c & 0xff));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    bytes.push_back(0);
    bytes.push_back(0);
}

// UTF-16LE code units up to the first 0 code unit; null when there is none.
std::optional<std::u16string> Utf16LeUpToTerminator(const uint8_t* bytes, size_t size) {
    std::u16string value;
    for (size_t at = 0; at + 1 < size; at += 2) {
        const char16_t c = static_cast<char16_t>(bytes[at] | bytes[at + 1] << 8);
        if (c == 0) return value;
        value += c;
    }
    return std::nullopt;
}

// Keying Blowfish costs as much as encrypting about 4 KB, and loading a tree
// of sessions decodes thousands of values with the same two fixed keys. So
// each kind's two layers are keyed once, and every value starts from copies.
template <class Cipher>
const Cipher& KeyedLayer(bool outer) {
    static const std::array<Cipher, 2> keyed = [] {
        std::array<Cipher, 2> layers;
        layers[0].SetKey(kBlowfishInitialVectorA.data(), kBlowfishKeyA.data(),
                         kBlowfishKeyA.size());
        layers[1].SetKey(kBlowfishInitialVectorB.data(), kBlowfishKeyB.data(),
                         kBlowfishKeyB.size());
        return layers;
    }();
    return keyed[outer ? 1 : 0];
}

template <class Cipher>
struct VKeyedPair {
    Cipher inner{KeyedLayer<Cipher>(false)};
    Cipher outer{KeyedLayer<Cipher>(true)};
};

// Both layers, freshly keyed for one value. They live here rather than on the
// heap: copies share the keyed schedules, so making them costs next to nothing.
struct VBlowfishLayers {
    std::variant<std::monostate, VKeyedPair<VCipherBlowfish>,
                 VKeyedPair<VDeprecatedCipherBlowfishSSH1>, VKeyedPair<VDeprecatedCipherBlowfish>>
        pair;
    ICipher* inner = nullptr;  // into `pair`; null for an unknown kind
    ICipher* outer = nullptr;

    explicit VBlowfishLayers(int kind) {
        switch (kind) {
            case kBlowfishKindCurrent:
                Use(pair.emplace<VKeyedPair<VCipherBlowfish>>());
                break;
            case kBlowfishKindSSH1:
                Use(pair.emplace<VKeyedPair<VDeprecatedCipherBlowfishSSH1>>());
                break;
            case kBlowfishKindDeprecated:
                Use(pair.emplace<VKeyedPair<VDeprecatedCipherBlowfish>>());
                break;
            default:
                break;
        }
    }
    VBlowfishLayers(const VBlowfishLayers&) = delete;
    VBlowfishLayers& operator=(const VBlowfishLayers&) = delete;
    explicit operator bool() const { return inner != nullptr; }

private:
    template <class Pair>
    void Use(Pair& keyed) {
        inner = &keyed.inner;
        outer = &keyed.outer;
    }
};

void SetCapiFailure(VReportMessageParams& report, const std::string& reason) {
    report.SetMessage(kReportCapiProtectFailed);
    report.AddInsert(std::u16string_view(Utf8ToUtf16(reason)));
}

}  // namespace

// ---- scrambled form ---------------------------------------------------------

VScrambleKey MakeScrambleKey() {
    static std::once_flag seeded;
    std::call_once(seeded, [] { std::srand(static_cast<unsigned>(std::time(nullptr))); });
    VScrambleKey key;
    for (auto& byte : key) byte = static_cast<uint8_t>(std::rand() & 0xff);
    return key;
}

VUnicodeString EncodeScrambledString(std::u16string_view value) {
    if (value.empty()) return {};
    return EncodeScrambledString(value, MakeScrambleKey());
}

VUnicodeString EncodeScrambledString(std::u16string_view value, const VScrambleKey& key) {
    std::u16string text;
    if (value.empty()) return text;
    AppendHex(text, key.data(), key.size(), false);
    for (size_t i = 0; i < value.size(); ++i) {
        const uint8_t byte = static_cast<uint8_t>((value[i] & 0xff) ^ key[i % 4]);
        AppendHex(text, &byte, 1, false);
    }
    return text;
}

std::optional<VUnicodeString> DecodeScrambledString(std::u16string_view text) {
    if (text.empty()) return VUnicodeString();
    const size_t count = text.size() / 2;
    if (count < 4 || count > kScrambledMaxBytes) return std::nullopt;
    const auto byteAt = [&](size_t i) {
        const int high = HexDigitValue(text[2 * i]);
        const int low = HexDigitValue(text[2 * i + 1]);
        return static_cast<uint8_t>((high < 0 ? 0 : high) << 4 | (low < 0 ? 0 : low));
    };
    const VScrambleKey key = {byteAt(0), byteAt(1), byteAt(2), byteAt(3)};
    std::string ansi;
    for (size_t i = 4; i < count; ++i) {
        const uint8_t byte = byteAt(i) ^ key[(i - 4) % 4];
        if (byte == 0) break;
        ansi += static_cast<char>(byte);
    }
    return VUnicodeString(AnsiToUtf16(ansi));
}

// ---- Blowfish form ----------------------------------------------------------

std::optional<VUnicodeString> EncodeBlowfishText(std::u16string_view value, int kind,
                                                 IRandomSource& random) {
    VBlowfishLayers layers(kind);
    if (value.empty() || !layers) return VUnicodeString();

    VSecretBytes inner;
    AppendUtf16LeWithTerminator(inner.bytes, value);
    const size_t padding = 8 - inner.bytes.size() % 8;
    inner.bytes.resize(inner.bytes.size() + padding);
    if (!random.Fill(inner.bytes.data() + inner.bytes.size() - padding, padding))
        return std::nullopt;
    const size_t n = inner.bytes.size();

    std::vector<uint8_t> outer(n + 8);
    if (!random.Fill(outer.data(), 4)) return std::nullopt;
    layers.inner->Encrypt(outer.data() + 4, n, inner.bytes.data(), n);
    if (!random.Fill(outer.data() + 4 + n, 4)) return std::nullopt;
    layers.outer->Encrypt(outer.data(), outer.size(), outer.data(), outer.size());

    std::u16string text = u"u";
    AppendHex(text, outer.data(), outer.size(), false);
    return VUnicodeString(std::move(text));
}

std::optional<VUnicodeString> DecodeBlowfishText(std::u16string_view text, int kind) {
    VBlowfishLayers layers(kind);
    if (text.empty() || !layers) return VUnicodeString();
    const bool utf16 = text.front() == u'u';
    if (utf16) text.remove_prefix(1);

    VSecretBytes outer;
    if (!ParseHex(text, outer.bytes) || outer.bytes.size() < 8 || outer.bytes.size() % 8 != 0)
        return std::nullopt;
    layers.outer->Decrypt(outer.bytes.data(), outer.bytes.size(), outer.bytes.data(),
                          outer.bytes.size());
    const size_t n = outer.bytes.size() - 8;
    uint8_t* inner = outer.bytes.data() + 4;
    layers.inner->Decrypt(inner, n, inner, n);

    if (utf16) {
        auto value = Utf16LeUpToTerminator(inner, n);
        if (!value) return std::nullopt;
        return VUnicodeString(std::move(*value));
    }
    for (size_t i = 0; i < n; ++i) {
        if (inner[i] == 0)
            return VUnicodeString(AnsiToUtf16(std::string_view(reinterpret_cast<char*>(inner), i)));
    }
    return std::nullopt;
}

VBlowfishString::VBlowfishString() = default;

VBlowfishString::VBlowfishString(std::u16string_view value, int kind)
    : VUnicodeString(value), m_kind(kind) {}

void VBlowfishString::SetRandomSource(VUnknownPointer<IRandomSource> random) {
    m_random = std::move(random);
}

std::optional<VUnicodeString> VBlowfishString::Encode() const {
    if (!m_random) return EncodeBlowfishText(str(), m_kind, *VCapiRandomSource::Create());
    return EncodeBlowfishText(str(), m_kind, *m_random);
}

bool VBlowfishString::Decode(std::u16string_view text) {
    auto value = DecodeBlowfishText(text, m_kind);
    if (!value) return false;
    str() = std::move(value->str());
    return true;
}

// ---- data-protection form ---------------------------------------------------

namespace {
constexpr std::u16string_view kCapiPrefix = u"CAPI:";
}  // namespace

std::optional<VUnicodeString> EncodeCapiString(std::u16string_view value,
                                               VReportMessageParams& report) {
    VProtectKey key;
    std::string reason;
    if (!LoadProtectKey(true, key, reason)) {
        SetCapiFailure(report, reason);
        return std::nullopt;
    }
    VSecretBytes plain;
    AppendUtf16LeWithTerminator(plain.bytes, value);
    auto blob = CryptoSealSecretBox(key.data(), plain.bytes.data(), plain.bytes.size());
    CryptoWipe(key.data(), key.size());
    if (!blob) {
        SetCapiFailure(report, "No random bytes are available to protect the data.");
        return std::nullopt;
    }
    std::u16string text(kCapiPrefix);
    AppendHex(text, blob->data(), blob->size(), true);
    return VUnicodeString(std::move(text));
}

std::optional<VUnicodeString> DecodeCapiString(std::u16string_view text,
                                               VReportMessageParams& report) {
    if (!text.starts_with(kCapiPrefix)) {
        report.SetMessage(kReportCapiPrefixMissing);
        return std::nullopt;
    }
    std::vector<uint8_t> blob;
    if (!ParseHex(text.substr(kCapiPrefix.size()), blob)) {
        SetCapiFailure(report, "The protected data is not an even number of hexadecimal digits.");
        return std::nullopt;
    }
    VProtectKey key;
    std::string reason;
    if (!LoadProtectKey(false, key, reason)) {
        SetCapiFailure(report, reason);
        return std::nullopt;
    }
    auto plain = CryptoOpenSecretBox(key.data(), blob.data(), blob.size(), reason);
    CryptoWipe(key.data(), key.size());
    if (!plain) {
        SetCapiFailure(report, reason);
        return std::nullopt;
    }
    // The sealed text always ends with a 0 code unit; without one (only from a
    // writer of its own) the whole text is the value and an odd byte is dropped.
    auto value = Utf16LeUpToTerminator(plain->data(), plain->size());
    std::u16string result =
        value ? std::move(*value)
              : Utf16BytesToUtf16(
                    std::string_view(reinterpret_cast<const char*>(plain->data()), plain->size()),
                    false);
    CryptoWipe(plain->data(), plain->size());
    return VUnicodeString(std::move(result));
}

}  // namespace sessiondeck
