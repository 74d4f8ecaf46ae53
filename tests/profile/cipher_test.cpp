// Blowfish blocks and CBC ciphers against published vectors and CBC built by hand.
#include <gtest/gtest.h>

#include <cstring>

#include "profile/cipher.h"
#include "support/case_file.h"
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

// Eric Young's Blowfish ECB vectors (tests/golden/profile/blowfish-vectors.txt).
TEST(BlowfishKeySchedule, MatchesPublishedVectors) {
    ExpectCaseFile("profile/blowfish-vectors.txt", [](const std::vector<std::string>& fields) {
        VBlowfishKeySchedule schedule;
        const Bytes key = FromHex(fields[0]), plain = FromHex(fields[1]);
        EXPECT_TRUE(schedule.SetKey(key.data(), key.size()));
        Bytes block = plain, back(8);
        schedule.EncryptBlock(block.data(), block.data());
        schedule.DecryptBlock(block.data(), back.data());
        EXPECT_EQ(back, plain);
        std::string hex = Hex(block);
        for (char& c : hex) c = static_cast<char>(std::toupper(c));
        return hex;
    });
    VBlowfishKeySchedule schedule;
    const Bytes longKey(57, 1);
    EXPECT_FALSE(schedule.SetKey(longKey.data(), 7) || schedule.SetKey(longKey.data(), 57) ||
                 schedule.HasKey());
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
