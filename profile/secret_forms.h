// The three text forms of stored secrets: scrambled, double Blowfish and data-protected.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "foundation/report.h"
#include "foundation/unicode_string.h"
#include "foundation/unknown.h"
#include "profile/random_source.h"

namespace sessiondeck {

// ---- scrambled form ---------------------------------------------------------
//
// Eight hex digits of four key bytes, then per UTF-16 code unit its low byte
// XOR key[i mod 4] as two hex digits, all lower case; the empty value is the
// empty text. Only the low byte of each code unit is kept and reading takes the
// bytes as Windows-1252, so the form carries Windows-1252 text faithfully and
// nothing else; a code unit whose low byte is 0 ends the value when read.

using VScrambleKey = std::array<uint8_t, 4>;

// The largest scrambled text that reads back: 4 key bytes and 1019 characters.
// Longer texts are refused when read; they are outside the format.
inline constexpr size_t kScrambledMaxBytes = 1023;

// Four key bytes: the low bytes of four values of the C runtime's rand(),
// which is seeded with the current time once per process.
SESSIONDECK_API VScrambleKey MakeScrambleKey();
SESSIONDECK_API VUnicodeString EncodeScrambledString(std::u16string_view value);
SESSIONDECK_API VUnicodeString EncodeScrambledString(std::u16string_view value,
                                                     const VScrambleKey& key);
// A character that is not a hex digit counts as 0 and either case is read; a
// lone last digit is ignored. Null when a text that is not empty holds fewer
// than 4 bytes (no whole key) or more than kScrambledMaxBytes bytes.
SESSIONDECK_API std::optional<VUnicodeString> DecodeScrambledString(std::u16string_view text);

// ---- Blowfish form ----------------------------------------------------------
//
// Inner block I: the value's UTF-16LE code units, a 0 code unit, then 1 to 8
// random bytes up to a whole number of 8-byte blocks, encrypted with cipher A.
// Outer block O: 4 random bytes, the encrypted I, 4 random bytes, encrypted
// with cipher B. Text: "u" and O in lower-case hex. The empty value is the
// empty text.

enum VBlowfishCipherKind : int {
    kBlowfishKindCurrent = 0,     // VCipherBlowfish
    kBlowfishKindSSH1 = 1,        // VDeprecatedCipherBlowfishSSH1
    kBlowfishKindDeprecated = 2,  // VDeprecatedCipherBlowfish
};

// The program's fixed keys and initial vectors of the inner (A) and outer (B)
// layer. Changing any of them makes every stored Blowfish text unreadable.
SESSIONDECK_API extern const std::array<uint8_t, 16> kBlowfishKeyA;
SESSIONDECK_API extern const std::array<uint8_t, 16> kBlowfishKeyB;
SESSIONDECK_API extern const std::array<uint8_t, 8> kBlowfishInitialVectorA;
SESSIONDECK_API extern const std::array<uint8_t, 8> kBlowfishInitialVectorB;

// The random bytes are taken in this order: the padding of I, the 4 bytes
// before it in O, the 4 bytes after it. A kind other than 0, 1 or 2 writes the
// empty text. Null only when the random source fails.
SESSIONDECK_API std::optional<VUnicodeString> EncodeBlowfishText(std::u16string_view value,
                                                                 int kind, IRandomSource& random);
// Without the leading "u" the value is read as 8-bit Windows-1252 text. Null
// for an odd number of digits, a character that is not a hex digit, fewer than
// 8 bytes, a partial block, or no terminating 0 in the inner block. The empty
// text, and any text for a kind other than 0, 1 or 2, reads as the empty value.
SESSIONDECK_API std::optional<VUnicodeString> DecodeBlowfishText(std::u16string_view text,
                                                                 int kind);

// A plain value with the cipher kind and random source that its Blowfish form
// is written with. Assigning a value keeps the kind and the source.
class SESSIONDECK_API VBlowfishString : public VUnicodeString {
public:
    VBlowfishString();
    explicit VBlowfishString(std::u16string_view value, int kind = kBlowfishKindCurrent);
    VBlowfishString& operator=(std::u16string_view value) {
        str() = value;
        return *this;
    }

    int GetCipherKind() const { return m_kind; }
    void SetCipherKind(int kind) { m_kind = kind; }
    // Null while the system source is used: it is made only when a value is
    // encoded, since most strings are only ever decoded.
    IRandomSource* GetRandomSource() const { return m_random.Get(); }
    // Tests hand in a predictable source here; null restores the system source.
    void SetRandomSource(VUnknownPointer<IRandomSource> random);

    // The stored text (fresh random bytes every time); null when the random source fails.
    std::optional<VUnicodeString> Encode() const;
    // On success the value becomes the decoded text; on failure it is unchanged.
    bool Decode(std::u16string_view text);

private:
    int m_kind = kBlowfishKindCurrent;
    VUnknownPointer<IRandomSource> m_random;  // null: the system source
};

// ---- data-protection form ---------------------------------------------------
//
// "CAPI:" and the sealed blob in upper-case hex. The blob is a 24-byte nonce
// and the secret box (platform/crypto) of the value's UTF-16LE code units and a
// terminating 0 code unit, under the user's key from platform/protect_key.

// Reading a text without the "CAPI:" prefix.
inline constexpr uint32_t kReportCapiPrefixMissing = 0xE1040052;
// A blob that cannot be unprotected (or, when writing, protected); the insert says why.
inline constexpr uint32_t kReportCapiProtectFailed = 0xE1040051;

// Creates the user's key on first use. Null, with kReportCapiProtectFailed and
// the reason as insert, when there is no usable key.
SESSIONDECK_API std::optional<VUnicodeString> EncodeCapiString(std::u16string_view value,
                                                               VReportMessageParams& report);
// Never creates a key: a missing key file is a failure like a refused one.
SESSIONDECK_API std::optional<VUnicodeString> DecodeCapiString(std::u16string_view text,
                                                               VReportMessageParams& report);

}  // namespace sessiondeck
