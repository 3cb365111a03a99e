// Big-number arithmetic: byte conversions, carries, Knuth division,
// inverses, Montgomery exponentiation against a plain reference, primes.
#include "crypt/BigNum.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "crypt/RsaCore.h"

namespace {

using Num = std::array<BnDigit, kBnMaxDigits>;

Num FromHexString(const std::string& hex) {
  std::string h = hex.size() % 2 ? "0" + hex : hex;
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < h.size(); i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
  Num n{};
  EXPECT_EQ(BnFromBytes(n.data(), kBnMaxDigits, bytes.data(), bytes.size()), 0);
  return n;
}

std::string ToHexString(const Num& n, int digits = kBnMaxDigits) {
  int len = BnDigitLength(n.data(), digits);
  if (len == 0) return "0";
  char buf[9];
  std::string out;
  std::snprintf(buf, sizeof buf, "%x", n[len - 1]);
  out = buf;
  for (int i = len - 2; i >= 0; --i) {
    std::snprintf(buf, sizeof buf, "%08x", n[i]);
    out += buf;
  }
  return out;
}

Num Random(std::mt19937_64& rng, int digits) {
  Num n{};
  for (int i = 0; i < digits; ++i) n[i] = static_cast<BnDigit>(rng());
  // Mix in long runs of zero and all-one digits, where carries and the
  // quotient estimate are most often wrong.
  if (digits > 0 && rng() % 4 == 0) n[rng() % digits] = 0xFFFFFFFFu;
  if (digits > 0 && rng() % 4 == 0) n[rng() % digits] = 0;
  return n;
}

// base^exp mod m by plain square-and-multiply over BnMul and BnDivMod.
Num ReferenceModExp(const Num& base, const Num& exp, const Num& m) {
  Num result{}, b{}, product{};
  result[0] = 1;
  BnDivMod(nullptr, result.data(), result.data(), kBnModDigits, m.data(), kBnModDigits);
  BnDivMod(nullptr, b.data(), base.data(), kBnModDigits, m.data(), kBnModDigits);
  unsigned bits = BnBitLength(exp.data(), kBnModDigits);
  for (unsigned i = bits; i-- > 0;) {
    BnMul(product.data(), result.data(), result.data(), kBnModDigits);
    BnDivMod(nullptr, result.data(), product.data(), 2 * kBnModDigits, m.data(), kBnModDigits);
    if (BnTestBit(exp.data(), kBnModDigits, i)) {
      BnMul(product.data(), result.data(), b.data(), kBnModDigits);
      BnDivMod(nullptr, result.data(), product.data(), 2 * kBnModDigits, m.data(), kBnModDigits);
    }
  }
  return result;
}

TEST(BigNumBytes, BigEndianBytesMapToLittleEndianDigits) {
  const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
  Num n{};
  ASSERT_EQ(BnFromBytes(n.data(), 4, bytes, sizeof bytes), 0);
  EXPECT_EQ(n[0], 0x06070809u);
  EXPECT_EQ(n[1], 0x02030405u);
  EXPECT_EQ(n[2], 0x01u);
  EXPECT_EQ(n[3], 0u);

  uint8_t out[12];
  ASSERT_EQ(BnToBytes(out, sizeof out, n.data(), 4), 0);
  const uint8_t expected[12] = {0, 0, 0, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09};
  EXPECT_EQ(std::memcmp(out, expected, sizeof out), 0);
}

TEST(BigNumBytes, LeadingZeroBytesBeyondCapacityAreAccepted) {
  uint8_t bytes[40] = {};
  bytes[39] = 7;
  Num n{};
  EXPECT_EQ(BnFromBytes(n.data(), 2, bytes, sizeof bytes), 0);
  EXPECT_EQ(n[0], 7u);
}

TEST(BigNumBytes, ValuesTooLongAreRefused) {
  const uint8_t bytes[9] = {1, 0, 0, 0, 0, 0, 0, 0, 5};
  Num n{};
  n.fill(0x55);
  EXPECT_EQ(BnFromBytes(n.data(), 2, bytes, sizeof bytes), -1);
  EXPECT_TRUE(BnIsZero(n.data(), 2));

  Num big = FromHexString("123456789");
  uint8_t out[4];
  EXPECT_EQ(BnToBytes(out, sizeof out, big.data(), 2), -1);
}

TEST(BigNumArithmetic, AddAndSubtractCarryAcrossEveryDigit) {
  Num a{}, one{}, r{};
  for (int i = 0; i < 4; ++i) a[i] = 0xFFFFFFFFu;
  one[0] = 1;
  EXPECT_EQ(BnAdd(r.data(), a.data(), one.data(), 4), 1u);
  EXPECT_TRUE(BnIsZero(r.data(), 4));
  EXPECT_EQ(BnSub(r.data(), r.data(), one.data(), 4), 1u);
  EXPECT_EQ(BnCompare(r.data(), a.data(), 4), 0);
  EXPECT_EQ(BnAddDigit(r.data(), a.data(), 1, 4), 1u);
  EXPECT_EQ(BnSubDigit(r.data(), r.data(), 1, 4), 1u);
  EXPECT_EQ(BnCompare(r.data(), a.data(), 4), 0);
}

TEST(BigNumArithmetic, ProductOfAllOnesNumbers) {
  // (2^1024 - 1)^2 = 2^2048 - 2^1025 + 1
  Num a{}, product{};
  for (int i = 0; i < 32; ++i) a[i] = 0xFFFFFFFFu;
  BnMul(product.data(), a.data(), a.data(), 32);
  EXPECT_EQ(product[0], 1u);
  for (int i = 1; i < 32; ++i) ASSERT_EQ(product[i], 0u) << i;
  EXPECT_EQ(product[32], 0xFFFFFFFEu);
  for (int i = 33; i < 64; ++i) ASSERT_EQ(product[i], 0xFFFFFFFFu) << i;
}

struct DivisionCase {
  const char* dividend;
  const char* divisor;
  const char* quotient;
  const char* remainder;
};

class BigNumDivision : public testing::TestWithParam<DivisionCase> {};

TEST_P(BigNumDivision, GivesQuotientAndRemainder) {
  const DivisionCase& c = GetParam();
  Num a = FromHexString(c.dividend), m = FromHexString(c.divisor), q{}, r{};
  ASSERT_EQ(BnDivMod(q.data(), r.data(), a.data(), kBnMaxDigits, m.data(), kBnMaxDigits), 0);
  EXPECT_EQ(ToHexString(q), c.quotient);
  EXPECT_EQ(ToHexString(r), c.remainder);
}

INSTANTIATE_TEST_SUITE_P(KnownCases, BigNumDivision,
                         testing::Values(
                             // The estimated quotient digit is one too large; the multiply-subtract
                             // borrows and the divisor must be added back.
                             DivisionCase{"800000000000000000000003", "200000000000000000000001", "3",
                                          "200000000000000000000000"},
                             // The product to subtract exceeds the signed range of a digit pair.
                             DivisionCase{"7fffffff800000000000000000000000", "800000000000000000000001",
                                          "fffffffe", "7fffffffffffffff00000002"},
                             DivisionCase{"ffffffffffffffffffff", "1", "ffffffffffffffffffff", "0"},
                             DivisionCase{"ffffffffffffffffffff", "ffffffff", "1000000010000", "ffff"},
                             DivisionCase{"5", "7", "0", "5"}, DivisionCase{"7", "7", "1", "0"}));

TEST(BigNumDivision, ZeroDivisorIsRefused) {
  Num a = FromHexString("1234"), zero{}, q{}, r{};
  EXPECT_EQ(BnDivMod(q.data(), r.data(), a.data(), 4, zero.data(), 4), -1);
}

TEST(BigNumDivision, QuotientTimesDivisorPlusRemainderIsTheDividend) {
  std::mt19937_64 rng(1);
  for (int round = 0; round < 2000; ++round) {
    int aDigits = 1 + static_cast<int>(rng() % 64);
    int mDigits = 1 + static_cast<int>(rng() % 32);
    Num a = Random(rng, aDigits), m = Random(rng, mDigits);
    if (BnIsZero(m.data(), mDigits)) m[0] = 3;
    Num q{}, r{}, back{};
    ASSERT_EQ(BnDivMod(q.data(), r.data(), a.data(), 64, m.data(), 32), 0);
    ASSERT_LT(BnCompare(r.data(), m.data(), 32), 0) << "round " << round;
    // q fits in 64 - mLen + 1 digits; multiply in two halves of 32.
    Num lo{}, hi{}, qLow{}, qHigh{};
    std::copy(q.begin(), q.begin() + 32, qLow.begin());
    std::copy(q.begin() + 32, q.begin() + 64, qHigh.begin());
    BnMul(lo.data(), qLow.data(), m.data(), 32);
    BnMul(hi.data(), qHigh.data(), m.data(), 32);
    for (int i = 0; i < 32; ++i) ASSERT_EQ(hi[32 + i], 0u);
    back = lo;
    BnAdd(back.data() + 32, back.data() + 32, hi.data(), 32);
    Num rWide{};
    std::copy(r.begin(), r.begin() + 32, rWide.begin());
    BnAdd(back.data(), back.data(), rWide.data(), 64);
    ASSERT_EQ(BnCompare(back.data(), a.data(), 64), 0) << "round " << round;
  }
}

TEST(BigNumDivision, SingleDigitRemainderMatchesFullDivision) {
  std::mt19937_64 rng(2);
  for (int round = 0; round < 200; ++round) {
    Num a = Random(rng, 32), m{}, r{};
    m[0] = static_cast<BnDigit>(rng()) | 1u;
    BnDivMod(nullptr, r.data(), a.data(), 32, m.data(), 1);
    EXPECT_EQ(BnModDigit(a.data(), 32, m[0]), r[0]);
  }
}

TEST(BigNumInverse, ProductWithInverseIsOne) {
  std::mt19937_64 rng(3);
  int found = 0;
  for (int round = 0; round < 300; ++round) {
    int digits = 1 + static_cast<int>(rng() % 32);
    Num m = Random(rng, digits), a = Random(rng, digits), inv{}, g{}, product{}, r{};
    if (BnCompareDigit(m.data(), 1, 32) <= 0) continue;
    BnGcd(g.data(), a.data(), m.data(), 32);
    bool coprime = BnCompareDigit(g.data(), 1, 32) == 0;
    ASSERT_EQ(BnModInverse(inv.data(), a.data(), m.data(), 32), coprime ? 1 : 0);
    if (!coprime) continue;
    ++found;
    EXPECT_LT(BnCompare(inv.data(), m.data(), 32), 0);
    BnMul(product.data(), a.data(), inv.data(), 32);
    BnDivMod(nullptr, r.data(), product.data(), 64, m.data(), 32);
    EXPECT_EQ(BnCompareDigit(r.data(), 1, 32), 0) << "round " << round;
  }
  EXPECT_GT(found, 100);
}

TEST(BigNumInverse, KnownInversesAndMissingOnes) {
  struct {
    BnDigit a, m, inverse;
    int found;
  } cases[] = {{3, 11, 4, 1}, {10, 17, 12, 1}, {65537, 3120, 2753 /* 65537 = 17 mod 3120 */, 1},
               {6, 9, 0, 0},  {0, 7, 0, 0},    {5, 1, 0, 0}};
  for (const auto& c : cases) {
    Num a{}, m{}, inv{};
    a[0] = c.a;
    m[0] = c.m;
    inv.fill(0x55);
    EXPECT_EQ(BnModInverse(inv.data(), a.data(), m.data(), 4), c.found) << c.a << " mod " << c.m;
    EXPECT_EQ(inv[0], c.inverse) << c.a << " mod " << c.m;
  }
}

TEST(BigNumGcd, KnownValues) {
  Num a = FromHexString("1c8"), b = FromHexString("fc"), g{};  // 456, 252
  BnGcd(g.data(), a.data(), b.data(), 4);
  EXPECT_EQ(g[0], 12u);
  Num zero{};
  BnGcd(g.data(), a.data(), zero.data(), 4);
  EXPECT_EQ(g[0], 456u);
}

TEST(BigNumMontgomery, RefusesEvenZeroAndOneModuli) {
  BnMont ctx;
  for (BnDigit m : {0u, 1u, 2u, 1024u}) {
    Num n{};
    n[0] = m;
    EXPECT_EQ(BnMontInit(&ctx, n.data(), 32), -1) << m;
  }
  Num tooLong{};
  tooLong[32] = 1;
  tooLong[0] = 1;
  EXPECT_EQ(BnMontInit(&ctx, tooLong.data(), 33), -1);
}

TEST(BigNumMontgomery, ModExpMatchesReferenceForEverySize) {
  std::mt19937_64 rng(4);
  for (int digits = 1; digits <= 32; ++digits) {
    for (int round = 0; round < 4; ++round) {
      Num m = Random(rng, digits), base = Random(rng, 32),
          exp = Random(rng, 1 + static_cast<int>(rng() % 32));
      m[0] |= 1u;
      m[digits - 1] |= 0x80000000u >> (rng() % 32);  // full length, any top bit
      if (BnCompareDigit(m.data(), 1, 32) == 0) m[0] = 3;
      Num r{};
      ASSERT_EQ(BnModExp(r.data(), base.data(), 32, exp.data(), 32, m.data(), 32), 0);
      EXPECT_EQ(ToHexString(r), ToHexString(ReferenceModExp(base, exp, m))) << digits << " digits";
    }
  }
}

TEST(BigNumMontgomery, KnownLargeModExp) {
  std::string b, e;
  for (int i = 0; i < 16; ++i) b += "0123456789abcdef", e += "fedcba9876543210";
  Num base = FromHexString(b), exp = FromHexString(e), m{}, r{};
  for (int i = 0; i < 32; ++i) m[i] = 0xFFFFFFFFu;
  m[2] = 0xFFFFFFFEu;  // m = 2^1024 - 1 - 2^64
  ASSERT_EQ(BnModExp(r.data(), base.data(), 32, exp.data(), 32, m.data(), 32), 0);
  EXPECT_EQ(
      ToHexString(r),
      "f01d07e59a4e2d5ddcdf1ecc38b934d2425eb6371a3c3f1273bc0e7f66e3b0891a78a03333424c2f10d313a79fabb95832a12a"
      "6"
      "d4961fcdec00a3a6e1283a317b9aed1b3df76388c223d94dc546dcc8062a9f6a37b5aeb1b8237a52e399f4675823cb38469c71"
      "25a6c34c1a5d8fdb47d6185d2a728f051a9b3a0dce904aef82");
}

TEST(BigNumMontgomery, ZeroExponentGivesOneAndZeroBaseGivesZero) {
  Num m = FromHexString("f123456789abcdef1"), base = FromHexString("123"), zero{}, r{}, one{};
  one[0] = 1;
  ASSERT_EQ(BnModExp(r.data(), base.data(), 4, zero.data(), 4, m.data(), 4), 0);
  EXPECT_EQ(ToHexString(r), "1");
  ASSERT_EQ(BnModExp(r.data(), zero.data(), 4, one.data(), 4, m.data(), 4), 0);
  EXPECT_EQ(ToHexString(r), "0");
}

TEST(BigNumMontgomery, FermatHoldsForAMersennePrime) {
  Num p{}, pMinusOne{}, base{}, r{};
  for (int i = 0; i < 16; ++i) p[i] = 0xFFFFFFFFu;
  p[16] = 0x1FFu;  // 2^521 - 1
  BnSubDigit(pMinusOne.data(), p.data(), 1, 32);
  for (BnDigit a : {2u, 3u, 12345u}) {
    base = {};
    base[0] = a;
    ASSERT_EQ(BnModExp(r.data(), base.data(), 32, pMinusOne.data(), 32, p.data(), 32), 0);
    EXPECT_EQ(ToHexString(r), "1") << a;
  }
}

Num Mersenne(unsigned exponent) {
  Num n{};
  for (unsigned i = 0; i < exponent; ++i) n[i / 32] |= 1u << (i % 32);
  return n;
}

TEST(Primes, RecognisesPrimes) {
  for (BnDigit small : {2u, 3u, 5u, 7u, 2039u, 2053u, 65537u, 4194319u, 2147483647u}) {
    Num n{};
    n[0] = small;
    EXPECT_TRUE(IsProbablePrime(n.data(), kBnModDigits)) << small;
  }
  for (unsigned e : {61u, 89u, 107u, 127u, 521u, 607u})
    EXPECT_TRUE(IsProbablePrime(Mersenne(e).data(), 32)) << e;
}

TEST(Primes, RejectsCompositesIncludingPseudoprimes) {
  const char* composites[] = {
      "0",
      "1",
      "4",
      "7fe",  // 2046
      "231",
      "451",
      "6c1",
      "9a1",
      "b05",
      "19c9",
      "22cf",
      "a051",
      "f519",
      "f9e5",
      "12661",
      "18aed",
      "1ed09",                 // Carmichael
      "7ff",                   // 2047, strong pseudoprime to base 2
      "bfa17dc7",              // 3215031751, strong pseudoprime to bases 2, 3, 5, 7
      "351591274f9af9fb",      // 3825123056546413051, to bases 2 .. 31 but not 37
      "437ae92817f9fc85b7e5",  // 318665857834031151167461, to bases 2 .. 37 but not 41
  };
  for (const char* hex : composites) EXPECT_FALSE(IsProbablePrime(FromHexString(hex).data(), 32)) << hex;
  for (unsigned e : {67u, 257u, 1024u}) EXPECT_FALSE(IsProbablePrime(Mersenne(e).data(), 32)) << e;
  // The product of two Mersenne primes has no small factor.
  Num product{};
  BnMul(product.data(), Mersenne(127).data(), Mersenne(521).data(), 32);
  EXPECT_FALSE(IsProbablePrime(product.data(), 32));
}

}  // namespace
