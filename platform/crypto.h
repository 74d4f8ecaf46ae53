// Cryptographic primitives for stored secrets: Blowfish blocks, secure random bytes and sealed
// boxes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct blowfish_ctx;

namespace sessiondeck {

// One Blowfish key schedule. Blocks are 8 bytes in the cipher's standard order:
// bytes 0-3 are the left half and bytes 4-7 the right half, each a big-endian
// 32-bit word. Other word orders are the caller's business (swap around the call).
class VBlowfishKeySchedule {
public:
    static constexpr size_t kBlockSize = 8;
    static constexpr size_t kMinKeySize = 8;
    static constexpr size_t kMaxKeySize = 56;

    VBlowfishKeySchedule();
    ~VBlowfishKeySchedule();
    // A copy shares the schedule, which is only read, until either is keyed
    // again: keying costs as much as encrypting 4 KB, and copying the 4 KB
    // schedule (and wiping it after) was a good part of decoding a password.
    // The schedule is wiped when its last holder goes.
    VBlowfishKeySchedule(const VBlowfishKeySchedule& other);
    VBlowfishKeySchedule& operator=(const VBlowfishKeySchedule&) = delete;

    // Keys of kMinKeySize to kMaxKeySize bytes; any other size is refused and
    // leaves the schedule without a key. Keys the cipher calls weak are still
    // used: they only matter to attacks that need chosen keys.
    bool SetKey(const uint8_t* key, size_t size);
    bool HasKey() const { return m_hasKey; }

    // in and out may be the same block. Without a key both do nothing.
    void EncryptBlock(const uint8_t* in, uint8_t* out) const;
    void DecryptBlock(const uint8_t* in, uint8_t* out) const;

private:
    std::shared_ptr<const blowfish_ctx> m_ctx;  // null until keyed
    bool m_hasKey = false;
};

// Fills the buffer from the operating system's cryptographic random source.
// False (and the buffer zeroed) only when that source cannot be initialised.
bool CryptoRandomBytes(void* buffer, size_t size);

// Overwrites memory in a way the compiler may not optimise away.
void CryptoWipe(void* buffer, size_t size);

// Authenticated encryption with a 32-byte key (XSalsa20-Poly1305). A sealed
// blob is a fresh random 24-byte nonce followed by the ciphertext with its
// 16-byte authenticator.
inline constexpr size_t kSecretBoxKeySize = 32;
inline constexpr size_t kSecretBoxNonceSize = 24;
inline constexpr size_t kSecretBoxMacSize = 16;

// Null when no random nonce could be had.
std::optional<std::vector<uint8_t>> CryptoSealSecretBox(const uint8_t* key, const uint8_t* data,
                                                        size_t size);
// Null, with the reason in English, when the blob is too short or fails authentication.
std::optional<std::vector<uint8_t>> CryptoOpenSecretBox(const uint8_t* key, const uint8_t* blob,
                                                        size_t size, std::string& reason);

}  // namespace sessiondeck
