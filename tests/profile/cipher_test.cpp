// Blowfish blocks and CBC ciphers against published vectors and CBC built by hand.
#include <gtest/gtest.h>

#include <cstring>

#include "profile/cipher.h"
#include "support/test_bytes.h"

using namespace sessiondeck;

namespace {

// Swaps the bytes within each 32-bit word of a block.
Bytes SwapWords(const Bytes& b) {
    return {b[3], b[2], b[1], b[0], b[7], b[6], b[5], b[4]};
}
Bytes Reverse(const Bytes& b) {
    return Bytes(b.rbegin(), b.rend());
}

}  // namespace

// Eric Young's Blowfish ECB vectors (8-byte keys), in the standard word order.
TEST(BlowfishKeySchedule, MatchesPublishedVectors) {
    struct Row {
        const char* key;
        const char* plain;
        const char* cipher;
    };
    const Row rows[] = {
        {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
        {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
        {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
        {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
        {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.key);
        VBlowfishKeySchedule schedule;
        const Bytes key = FromHex(row.key);
        ASSERT_TRUE(schedule.SetKey(key.data(), key.size()));
        Bytes block = FromHex(row.plain);
        schedule.EncryptBlock(block.data(), block.data());
        EXPECT_EQ(block, FromHex(row.cipher));
        schedule.DecryptBlock(block.data(), block.data());
        EXPECT_EQ(block, FromHex(row.plain));
    }
    VBlowfishKeySchedule schedule;
    const Bytes longKey(57, 1);
    EXPECT_FALSE(schedule.SetKey(longKey.data(), 7));
    EXPECT_FALSE(schedule.SetKey(longKey.data(), 57));
    EXPECT_FALSE(schedule.HasKey());
}

TEST(CipherBlowfish, ProcessesOnlyWholeBlocksOfTheSmallerSize) {
    const Bytes key(16, 0x5a), iv(8, 0x33), plain(24, 0x42);
    VCipherBlowfish cipher;
    EXPECT_EQ(cipher.GetBlockSize(), 8u);
    EXPECT_EQ(cipher.GetKeySize(), 16u);
    Bytes out(24, 0xee);
    EXPECT_EQ(cipher.Encrypt(out.data(), out.size(), plain.data(), plain.size()), 0u)
        << "no key yet";
    EXPECT_FALSE(cipher.SetKey(iv.data(), key.data(), 8))
        << "the current cipher takes 16-byte keys only";
    ASSERT_TRUE(cipher.SetKey(iv.data(), key.data(), 16));
    EXPECT_EQ(cipher.Encrypt(out.data(), 20, plain.data(), 24), 16u);
    EXPECT_EQ(out[16], 0xee) << "the partial block is left alone";
    EXPECT_EQ(cipher.Encrypt(out.data(), 24, plain.data(), 7), 0u);
}

// Each cipher against CBC built by hand from the standard block function and
// the word order it documents.
TEST(BlowfishCiphers, CbcWithTheirWordOrders) {
    const Bytes key = FromHex("3fe0d306ef1d4275d05ad0679ae459b7");
    const Bytes iv = FromHex("0102030405060708");
    Bytes plain(40);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = static_cast<uint8_t>(i * 7 + 1);

    VBlowfishKeySchedule schedule;
    ASSERT_TRUE(schedule.SetKey(key.data(), key.size()));
    const auto manualCbc = [&](Bytes (*order)(const Bytes&)) {
        Bytes chain = iv, out;
        for (size_t at = 0; at < plain.size(); at += 8) {
            Bytes block(8);
            for (size_t i = 0; i < 8; ++i) block[i] = plain[at + i] ^ chain[i];
            block = order(block);
            schedule.EncryptBlock(block.data(), block.data());
            chain = order(block);
            out.insert(out.end(), chain.begin(), chain.end());
        }
        return out;
    };
    VCipherBlowfish current;
    VDeprecatedCipherBlowfish deprecated;
    VDeprecatedCipherBlowfishSSH1 ssh1;
    const std::pair<ICipher*, Bytes> cases[] = {
        {&current, manualCbc([](const Bytes& b) { return b; })},
        {&deprecated, manualCbc(SwapWords)},
        {&ssh1, manualCbc(Reverse)},
    };
    for (const auto& [cipher, expected] : cases) {
        ASSERT_TRUE(cipher->SetKey(iv.data(), key.data()));
        Bytes out(plain.size());
        // Two calls: 16 bytes, then the rest.
        EXPECT_EQ(cipher->Encrypt(out.data(), 16, plain.data(), 16), 16u);
        EXPECT_EQ(cipher->Encrypt(out.data() + 16, 24, plain.data() + 16, 24), 24u);
        EXPECT_EQ(out, expected);
        ASSERT_TRUE(cipher->SetKey(iv.data(), key.data()));
        EXPECT_EQ(cipher->Decrypt(out.data(), out.size(), out.data(), out.size()), out.size());
        EXPECT_EQ(out, plain);
    }
    EXPECT_NE(cases[0].second, cases[1].second);
    EXPECT_NE(cases[1].second, cases[2].second);
}

// The all-zero vector: an all-zero block looks the same in every word order,
// so the published answer appears with its bytes moved.
TEST(DeprecatedCipherBlowfish, HoldsItsKeySizeAndMovesWords) {
    const Bytes key(8, 0), iv(8, 0), zero(8, 0);
    VDeprecatedCipherBlowfish deprecated;
    EXPECT_EQ(deprecated.GetKeySize(), 16u);
    EXPECT_FALSE(deprecated.SetKey(iv.data(), key.data(), 7));
    ASSERT_TRUE(deprecated.SetKey(iv.data(), key.data(), 8));
    EXPECT_EQ(deprecated.GetKeySize(), 8u);
    Bytes out(8);
    deprecated.Encrypt(out.data(), 8, zero.data(), 8);
    EXPECT_EQ(out, FromHex("4597F94E78DD9861"));
}
