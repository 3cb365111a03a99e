// Key generation: sizes, the form of the primes and every field of the
// records, checked with the big-number routines.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "crypt/BigNum.h"
#include "crypt/CryptRsa.h"
#include "crypt/RsaCore.h"
#include "crypt/tests/KeyTestUtil.h"
#include "crypt/tests/SeededKeys.h"

namespace tessaro::crypttest {
namespace {

using Num = std::array<BnDigit, kBnMaxDigits>;

Num Field(const uint8_t* bytes, size_t len) {
  Num n{};
  EXPECT_EQ(BnFromBytes(n.data(), kBnMaxDigits, bytes, len), 0);
  return n;
}

Num Mod(const Num& a, const Num& m) {
  Num r{};
  EXPECT_EQ(BnDivMod(nullptr, r.data(), a.data(), kBnMaxDigits, m.data(), kBnMaxDigits), 0);
  return r;
}

Num Mul(const Num& a, const Num& b) {
  Num r{};
  BnMul(r.data(), a.data(), b.data(), kBnModDigits);
  return r;
}

Num MinusOne(const Num& a) {
  Num r{};
  BnSubDigit(r.data(), a.data(), 1, kBnMaxDigits);
  return r;
}

bool IsOne(const Num& a) { return BnCompareDigit(a.data(), 1, kBnMaxDigits) == 0; }

// Checks every relation the private record promises.
void ExpectConsistentKey(const RSAPublicKey& pub, const RSAPrivateKey& priv, uint32_t bits) {
  ASSERT_EQ(pub.bits, bits);
  ASSERT_EQ(priv.bits, bits);
  EXPECT_EQ(std::memcmp(pub.modulus, priv.modulus, sizeof pub.modulus), 0);
  EXPECT_EQ(std::memcmp(pub.exponent, priv.publicExponent, sizeof pub.exponent), 0);

  Num n = Field(priv.modulus, 128), e = Field(priv.publicExponent, 128), d = Field(priv.exponent, 128);
  Num p = Field(priv.prime[0], 64), q = Field(priv.prime[1], 64);
  Num dP = Field(priv.primeExponent[0], 64), dQ = Field(priv.primeExponent[1], 64);
  Num qInv = Field(priv.coefficient, 64);

  EXPECT_EQ(BnCompareDigit(e.data(), 65537, kBnMaxDigits), 0);
  EXPECT_EQ(BnBitLength(n.data(), kBnMaxDigits), bits);
  unsigned pBits = (bits + 1) / 2, qBits = bits - pBits;
  EXPECT_EQ(BnBitLength(p.data(), kBnMaxDigits), pBits);
  EXPECT_EQ(BnBitLength(q.data(), kBnMaxDigits), qBits);
  // Top two bits set.
  EXPECT_TRUE(BnTestBit(p.data(), kBnMaxDigits, pBits - 2));
  EXPECT_TRUE(BnTestBit(q.data(), kBnMaxDigits, qBits - 2));
  EXPECT_GT(BnCompare(p.data(), q.data(), kBnMaxDigits), 0) << "p > q";
  EXPECT_TRUE(IsProbablePrime(p.data(), kBnModDigits));
  EXPECT_TRUE(IsProbablePrime(q.data(), kBnModDigits));
  EXPECT_EQ(BnCompare(Mul(p, q).data(), n.data(), kBnMaxDigits), 0) << "n = p q";

  Num pm1 = MinusOne(p), qm1 = MinusOne(q);
  EXPECT_TRUE(IsOne(Mod(Mul(e, d), Mul(pm1, qm1)))) << "e d = 1 mod (p - 1)(q - 1)";
  EXPECT_EQ(BnCompare(Mod(d, pm1).data(), dP.data(), kBnMaxDigits), 0) << "d mod (p - 1)";
  EXPECT_EQ(BnCompare(Mod(d, qm1).data(), dQ.data(), kBnMaxDigits), 0) << "d mod (q - 1)";
  EXPECT_LT(BnCompare(qInv.data(), p.data(), kBnMaxDigits), 0);
  EXPECT_TRUE(IsOne(Mod(Mul(q, qInv), p))) << "q qInv = 1 mod p";
}

TEST(KeyGeneration, ExportMakesA1024BitKeyWithAllFields) {
  RSAPublicKey pub;
  RSAPrivateKey priv;
  ASSERT_EQ(R_GenerateRsaKeys(&pub, &priv), kCryptOk);
  ExpectConsistentKey(pub, priv, 1024);
  // e = 65537 right-aligned in its field.
  EXPECT_EQ(Hex(pub.exponent + 124, 4), "00010001");
  for (int i = 0; i < 124; ++i) ASSERT_EQ(pub.exponent[i], 0);
}

TEST(KeyGeneration, TwoExportCallsGiveDifferentKeys) {
  RSAPublicKey a, b;
  RSAPrivateKey pa, pb;
  ASSERT_EQ(R_GenerateRsaKeys(&a, &pa), kCryptOk);
  ASSERT_EQ(R_GenerateRsaKeys(&b, &pb), kCryptOk);
  EXPECT_NE(Hex(a.modulus, 128), Hex(b.modulus, 128));
}

class KeySizes : public testing::TestWithParam<uint32_t> {};

TEST_P(KeySizes, EveryAllowedLengthGivesAConsistentKey) {
  uint32_t bits = GetParam();
  RandomState random = SeededRandom("size " + std::to_string(bits));
  RSAPublicKey pub;
  RSAPrivateKey priv;
  ASSERT_EQ(RsaGenerateKeys(bits, &pub, &priv, &random), kCryptOk);
  ExpectConsistentKey(pub, priv, bits);
  RandomFinal(&random);
}

INSTANTIATE_TEST_SUITE_P(AllowedLengths, KeySizes,
                         testing::Values(508u, 512u, 513u, 768u, 1001u, 1023u, 1024u));

TEST(KeyGeneration, LengthsOutsideTheRangeAreRefused) {
  for (uint32_t bits : {0u, 507u, 1025u, 2048u}) {
    RandomState random = SeededRandom("x");
    RSAPublicKey pub;
    std::memset(&pub, 0x5A, sizeof pub);
    RSAPrivateKey priv;
    EXPECT_EQ(RsaGenerateKeys(bits, &pub, &priv, &random), kCryptErrModulusLen) << bits;
    EXPECT_EQ(pub.bits, 0x5A5A5A5Au) << "nothing written";
  }
}

TEST(KeyGeneration, UnseededGeneratorIsRefused) {
  RandomState random;
  RandomInit(&random, 512);
  RSAPublicKey pub;
  std::memset(&pub, 0x5A, sizeof pub);
  RSAPrivateKey priv;
  EXPECT_EQ(RsaGenerateKeys(1024, &pub, &priv, &random), kCryptErrNeedRandom);
  EXPECT_EQ(pub.bits, 0x5A5A5A5Au);
}

TEST(KeyGeneration, SameSeedGivesSameKey) {
  RandomState a = SeededRandom("repeat"), b = SeededRandom("repeat");
  RSAPublicKey pa, pb;
  RSAPrivateKey ka, kb;
  ASSERT_EQ(RsaGenerateKeys(512, &pa, &ka, &a), kCryptOk);
  ASSERT_EQ(RsaGenerateKeys(512, &pb, &kb, &b), kCryptOk);
  EXPECT_EQ(std::memcmp(&ka, &kb, sizeof ka), 0);
}

TEST(PrimeSearch, FindsPrimesWithTheTopTwoBitsSetAndECoprime) {
  Num e{}, three{};
  e[0] = 65537;
  three[0] = 3;
  for (unsigned bits : {12u, 33u, 64u, 254u, 512u}) {
    RandomState random = SeededRandom("prime " + std::to_string(bits));
    Num p{};
    ASSERT_EQ(GeneratePrime(p.data(), bits, e.data(), &random), kCryptOk);
    EXPECT_EQ(BnBitLength(p.data(), kBnMaxDigits), bits);
    EXPECT_TRUE(BnTestBit(p.data(), kBnMaxDigits, bits - 2));
    EXPECT_TRUE(IsProbablePrime(p.data(), kBnModDigits));
    EXPECT_NE(BnModDigit(p.data(), kBnModDigits, 65537), 1u);
    // With e = 3 the prime must not be 1 mod 3.
    ASSERT_EQ(GeneratePrime(p.data(), bits, three.data(), &random), kCryptOk);
    EXPECT_EQ(BnModDigit(p.data(), kBnModDigits, 3), 2u);
  }
}

TEST(PrimeSearch, WrapsToTheBottomOfTheRange) {
  // 5 bits: the range 24..31 holds the primes 29 and 31, and with e = 3 only
  // 29 qualifies (31 - 1 is a multiple of 3). A start at 31 must wrap to 25
  // and climb to 29 rather than leave the range.
  Num three{};
  three[0] = 3;
  for (int i = 0; i < 20; ++i) {
    RandomState random = SeededRandom("wrap " + std::to_string(i));
    Num p{};
    ASSERT_EQ(GeneratePrime(p.data(), 5, three.data(), &random), kCryptOk);
    EXPECT_EQ(p[0], 29u);
  }
}

}  // namespace
}  // namespace tessaro::crypttest
