// Blowfish-CBC: chaining and word order here, the block function in platform/crypto.
#include "profile/cipher.h"

#include <algorithm>
#include <cstring>

namespace sessiondeck {

bool VBlowfishCbc::Key(const uint8_t* iv, const uint8_t* key, size_t keySize) {
    std::memset(m_chain, 0, sizeof m_chain);
    if (!iv || !m_schedule.SetKey(key, keySize)) return false;
    std::memcpy(m_chain, iv, kBlockSize);
    return true;
}

// Every order is its own inverse, so the same mapping turns a block into the
// standard order and back.
void VBlowfishCbc::ToStandardOrder(const uint8_t* in, uint8_t* out) const {
    switch (m_order) {
        case VBlowfishWordOrder::kBigEndian:
            std::memcpy(out, in, kBlockSize);
            break;
        case VBlowfishWordOrder::kLittleEndian:
            for (size_t i = 0; i < kBlockSize; ++i) out[i] = in[(i & ~size_t{3}) + 3 - (i & 3)];
            break;
        case VBlowfishWordOrder::kLittleEndianSwapped:
            for (size_t i = 0; i < kBlockSize; ++i) out[i] = in[kBlockSize - 1 - i];
            break;
    }
}

size_t VBlowfishCbc::Encrypt(uint8_t* out, size_t outSize, const uint8_t* in, size_t inSize) {
    if (!m_schedule.HasKey() || !out || !in) return 0;
    const size_t size = std::min(outSize, inSize) / kBlockSize * kBlockSize;
    uint8_t block[kBlockSize];
    uint8_t standard[kBlockSize];
    for (size_t at = 0; at < size; at += kBlockSize) {
        for (size_t i = 0; i < kBlockSize; ++i) block[i] = in[at + i] ^ m_chain[i];
        ToStandardOrder(block, standard);
        m_schedule.EncryptBlock(standard, standard);
        ToStandardOrder(standard, m_chain);
        std::memcpy(out + at, m_chain, kBlockSize);
    }
    CryptoWipe(block, sizeof block);
    CryptoWipe(standard, sizeof standard);
    return size;
}

size_t VBlowfishCbc::Decrypt(uint8_t* out, size_t outSize, const uint8_t* in, size_t inSize) {
    if (!m_schedule.HasKey() || !out || !in) return 0;
    const size_t size = std::min(outSize, inSize) / kBlockSize * kBlockSize;
    uint8_t cipherBlock[kBlockSize];
    uint8_t standard[kBlockSize];
    uint8_t plain[kBlockSize];
    for (size_t at = 0; at < size; at += kBlockSize) {
        // Kept before writing, so that out may be the same buffer as in.
        std::memcpy(cipherBlock, in + at, kBlockSize);
        ToStandardOrder(cipherBlock, standard);
        m_schedule.DecryptBlock(standard, standard);
        ToStandardOrder(standard, plain);
        for (size_t i = 0; i < kBlockSize; ++i) out[at + i] = plain[i] ^ m_chain[i];
        std::memcpy(m_chain, cipherBlock, kBlockSize);
    }
    CryptoWipe(standard, sizeof standard);
    CryptoWipe(plain, sizeof plain);
    return size;
}

bool VDeprecatedCipherBlowfish::SetKey(const uint8_t* iv, const uint8_t* key, size_t keySize) {
    if (keySize < VBlowfishKeySchedule::kMinKeySize || keySize > VBlowfishKeySchedule::kMaxKeySize)
        return false;
    m_keySize = keySize;
    return Key(iv, key, keySize);
}

}  // namespace sessiondeck
