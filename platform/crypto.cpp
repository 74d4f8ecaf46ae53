// The one place that calls nettle and libsodium.
#include "platform/crypto.h"

#include <nettle/blowfish.h>
#include <sodium.h>

#include <cstring>

namespace sessiondeck {

static_assert(VBlowfishKeySchedule::kBlockSize == BLOWFISH_BLOCK_SIZE);
static_assert(VBlowfishKeySchedule::kMinKeySize == BLOWFISH_MIN_KEY_SIZE);
static_assert(VBlowfishKeySchedule::kMaxKeySize == BLOWFISH_MAX_KEY_SIZE);
static_assert(kSecretBoxKeySize == crypto_secretbox_KEYBYTES);
static_assert(kSecretBoxNonceSize == crypto_secretbox_NONCEBYTES);
static_assert(kSecretBoxMacSize == crypto_secretbox_MACBYTES);

namespace {

// sodium_init is itself safe to call from several threads; the static makes
// the result known once and keeps the call off every later path.
bool SodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

}  // namespace

VBlowfishKeySchedule::VBlowfishKeySchedule() = default;

VBlowfishKeySchedule::VBlowfishKeySchedule(const VBlowfishKeySchedule& other) = default;

VBlowfishKeySchedule::~VBlowfishKeySchedule() = default;

bool VBlowfishKeySchedule::SetKey(const uint8_t* key, size_t size) {
    m_hasKey = false;
    m_ctx.reset();
    if (!key || size < kMinKeySize || size > kMaxKeySize) return false;
    // A fresh schedule: copies of this one keep theirs.
    auto* ctx = new blowfish_ctx;
    std::shared_ptr<blowfish_ctx> fresh(ctx, [](blowfish_ctx* wiped) {
        CryptoWipe(wiped, sizeof *wiped);
        delete wiped;
    });
    // The result only says whether the key is weak; the schedule is complete either way.
    (void)blowfish_set_key(ctx, size, key);
    m_ctx = std::move(fresh);
    m_hasKey = true;
    return true;
}

void VBlowfishKeySchedule::EncryptBlock(const uint8_t* in, uint8_t* out) const {
    if (!m_hasKey) return;
    uint8_t block[kBlockSize];
    std::memcpy(block, in, kBlockSize);
    blowfish_encrypt(m_ctx.get(), kBlockSize, out, block);
}

void VBlowfishKeySchedule::DecryptBlock(const uint8_t* in, uint8_t* out) const {
    if (!m_hasKey) return;
    uint8_t block[kBlockSize];
    std::memcpy(block, in, kBlockSize);
    blowfish_decrypt(m_ctx.get(), kBlockSize, out, block);
}

bool CryptoRandomBytes(void* buffer, size_t size) {
    if (size == 0) return true;
    if (!buffer) return false;
    if (!SodiumReady()) {
        std::memset(buffer, 0, size);
        return false;
    }
    randombytes_buf(buffer, size);
    return true;
}

void CryptoWipe(void* buffer, size_t size) {
    if (buffer && size) sodium_memzero(buffer, size);
}

std::optional<std::vector<uint8_t>> CryptoSealSecretBox(const uint8_t* key, const uint8_t* data,
                                                        size_t size) {
    if (!key || (!data && size) || !SodiumReady()) return std::nullopt;
    std::vector<uint8_t> blob(kSecretBoxNonceSize + kSecretBoxMacSize + size);
    if (!CryptoRandomBytes(blob.data(), kSecretBoxNonceSize)) return std::nullopt;
    static const uint8_t kNothing = 0;
    if (crypto_secretbox_easy(blob.data() + kSecretBoxNonceSize, data ? data : &kNothing, size,
                              blob.data(), key) != 0)
        return std::nullopt;
    return blob;
}

std::optional<std::vector<uint8_t>> CryptoOpenSecretBox(const uint8_t* key, const uint8_t* blob,
                                                        size_t size, std::string& reason) {
    if (!key || !SodiumReady()) {
        reason = "The protection service is not available.";
        return std::nullopt;
    }
    if (!blob || size < kSecretBoxNonceSize + kSecretBoxMacSize) {
        reason = "The protected data is too short.";
        return std::nullopt;
    }
    const size_t boxSize = size - kSecretBoxNonceSize;
    std::vector<uint8_t> plain(boxSize - kSecretBoxMacSize);
    // A zero-length plain text still needs a valid pointer to write nothing to.
    uint8_t nothing = 0;
    if (crypto_secretbox_open_easy(plain.empty() ? &nothing : plain.data(),
                                   blob + kSecretBoxNonceSize, boxSize, blob, key) != 0) {
        reason = "The protected data was not sealed with this user's key or has been altered.";
        return std::nullopt;
    }
    return plain;
}

}  // namespace sessiondeck
