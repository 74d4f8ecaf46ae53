// Block ciphers for stored secrets: Blowfish in CBC mode in the current and the two older word
// orders.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/crypto.h"

namespace sessiondeck {

// A block cipher in CBC mode. Only whole blocks are processed: Encrypt and
// Decrypt handle the smaller of the two sizes rounded down to a multiple of the
// block size, and return that count. The chaining value carries over from one
// call to the next until SetKey is called again, so a long message may be fed
// in pieces.
class ICipher {
public:
    virtual ~ICipher() = default;
    virtual size_t GetBlockSize() const = 0;
    virtual size_t GetKeySize() const = 0;
    virtual size_t GetInitialVectorSize() const = 0;
    // iv holds GetInitialVectorSize() bytes, key GetKeySize() bytes.
    virtual bool SetKey(const uint8_t* iv, const uint8_t* key) = 0;
    // The same with an explicit key length; a length the cipher cannot take is refused.
    virtual bool SetKey(const uint8_t* iv, const uint8_t* key, size_t keySize) = 0;
    virtual size_t Encrypt(uint8_t* out, size_t outSize, const uint8_t* in, size_t inSize) = 0;
    virtual size_t Decrypt(uint8_t* out, size_t outSize, const uint8_t* in, size_t inSize) = 0;
};

// How the 8 bytes of a block map to Blowfish's left and right 32-bit halves.
enum class VBlowfishWordOrder {
    // Bytes 0-3 are the left half, 4-7 the right, each big-endian: the standard order.
    kBigEndian,
    // Bytes 0-3 left, 4-7 right, each little-endian: the older order.
    kLittleEndian,
    // Bytes 0-3 right, 4-7 left, each little-endian: the block read as one
    // little-endian 64-bit number whose upper half is the left word.
    kLittleEndianSwapped,
};

// Blowfish-CBC over platform/crypto's block function in any of the word orders.
// Until a key is set, Encrypt and Decrypt process nothing.
class VBlowfishCbc : public ICipher {
public:
    static constexpr size_t kBlockSize = 8;

    size_t GetBlockSize() const override { return kBlockSize; }
    size_t GetInitialVectorSize() const override { return kBlockSize; }
    size_t Encrypt(uint8_t* out, size_t outSize, const uint8_t* in, size_t inSize) override;
    size_t Decrypt(uint8_t* out, size_t outSize, const uint8_t* in, size_t inSize) override;

protected:
    explicit VBlowfishCbc(VBlowfishWordOrder order) : m_order(order) {}
    bool Key(const uint8_t* iv, const uint8_t* key, size_t keySize);

private:
    void ToStandardOrder(const uint8_t* in, uint8_t* out) const;

    VBlowfishKeySchedule m_schedule;
    uint8_t m_chain[kBlockSize] = {};
    VBlowfishWordOrder m_order;
};

// The current cipher: Blowfish with a 16-byte key, CBC, big-endian words.
class VCipherBlowfish : public VBlowfishCbc {
public:
    static constexpr size_t kKeySize = 16;

    VCipherBlowfish() : VBlowfishCbc(VBlowfishWordOrder::kBigEndian) {}
    size_t GetKeySize() const override { return kKeySize; }
    bool SetKey(const uint8_t* iv, const uint8_t* key) override { return Key(iv, key, kKeySize); }
    bool SetKey(const uint8_t* iv, const uint8_t* key, size_t keySize) override {
        return keySize == kKeySize && Key(iv, key, keySize);
    }
};

// The older cipher: Blowfish-CBC with little-endian words. Its key size is
// held in the object (16 bytes until the second SetKey form sets another size,
// 8 to 56 bytes).
class VDeprecatedCipherBlowfish : public VBlowfishCbc {
public:
    static constexpr size_t kDefaultKeySize = 16;

    VDeprecatedCipherBlowfish() : VDeprecatedCipherBlowfish(VBlowfishWordOrder::kLittleEndian) {}
    size_t GetKeySize() const override { return m_keySize; }
    bool SetKey(const uint8_t* iv, const uint8_t* key) override { return Key(iv, key, m_keySize); }
    bool SetKey(const uint8_t* iv, const uint8_t* key, size_t keySize) override;

protected:
    explicit VDeprecatedCipherBlowfish(VBlowfishWordOrder order) : VBlowfishCbc(order) {}

private:
    size_t m_keySize = kDefaultKeySize;
};

// The SSH protocol version 1 variant: little-endian words with the two halves
// of each block exchanged (VBlowfishWordOrder::kLittleEndianSwapped).
class VDeprecatedCipherBlowfishSSH1 : public VDeprecatedCipherBlowfish {
public:
    VDeprecatedCipherBlowfishSSH1()
        : VDeprecatedCipherBlowfish(VBlowfishWordOrder::kLittleEndianSwapped) {}
};

}  // namespace sessiondeck
