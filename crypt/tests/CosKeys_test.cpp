// The Cos key conversions: exact layouts, round trips, and the refusal of
// sizes, tags and values the format cannot carry.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "crypt/CryptRsa.h"
#include "crypt/RsaCore.h"
#include "crypt/tests/KeyTestUtil.h"
#include "crypt/tests/SeededKeys.h"

namespace tessaro::crypttest {
namespace {

RSAPrivateKey GeneratedKey(uint32_t bits) { return SeededKey("cos test key", bits); }

const RSAPrivateKey& Key1024() {
  static const RSAPrivateKey key = GeneratedKey(1024);
  return key;
}

Bytes PubToCos(const RSAPublicKey& key, int32_t* status) {
  Bytes out(kCryptCosPublicMaxLen + 8, 0xEE);
  *status = X_Pub2Cos(out.data(), &key);
  return out;
}

Bytes PriToCos(int32_t form, const RSAPrivateKey& key, int32_t* status) {
  Bytes out(kCryptCosPrivateMaxLen + 8, 0xEE);
  *status = X_Pri2CosEx(form, out.data(), &key);
  return out;
}

// Splits a Cos encoding into (tag, value) records, `count` of them.
std::vector<std::pair<uint8_t, Bytes>> Records(const Bytes& cos, int count) {
  std::vector<std::pair<uint8_t, Bytes>> out;
  size_t pos = 0;
  for (int i = 0; i < count; ++i) {
    uint8_t tag = cos.at(pos), len = cos.at(pos + 1);
    out.emplace_back(tag, Bytes(cos.begin() + pos + 2, cos.begin() + pos + 2 + len));
    pos += 2 + len;
  }
  return out;
}

Bytes Join(const std::vector<std::pair<uint8_t, Bytes>>& records) {
  Bytes out;
  for (const auto& [tag, value] : records) {
    out.push_back(tag);
    out.push_back(static_cast<uint8_t>(value.size()));
    out.insert(out.end(), value.begin(), value.end());
  }
  return out;
}

bool AllZero(const void* p, size_t n) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  return std::all_of(b, b + n, [](uint8_t v) { return v == 0; });
}

TEST(Pub2Cos, WritesModulusThenExponentWithoutLeadingZeroWords) {
  RSAPublicKey pub = PublicOf(Key1024());
  int32_t status;
  Bytes cos = PubToCos(pub, &status);
  ASSERT_EQ(status, kCryptOk);
  Bytes expected{0x6E, 0x80};
  expected.insert(expected.end(), pub.modulus, pub.modulus + 128);
  for (uint8_t b : {0x65, 0x04, 0x00, 0x01, 0x00, 0x01}) expected.push_back(b);
  EXPECT_EQ(Hex(Bytes(cos.begin(), cos.begin() + expected.size())), Hex(expected));
  EXPECT_EQ(cos[expected.size()], 0xEE) << "nothing written after the records";
}

TEST(Pub2Cos, LongExponentKeepsWholeWords) {
  RSAPublicKey pub = PublicOf(Key1024());
  std::memset(pub.exponent, 0, sizeof pub.exponent);
  pub.exponent[123] = 0x01;  // 0x01_0000_0003: five bytes, two words
  pub.exponent[127] = 0x03;
  int32_t status;
  auto records = Records(PubToCos(pub, &status), 2);
  ASSERT_EQ(status, kCryptOk);
  EXPECT_EQ(Hex(records[1].second), "0000000100000003");
}

TEST(Pub2Cos, RefusesSizesTheFormatCannotCarry) {
  for (uint32_t bits : {0u, 504u, 511u, 1001u, 1020u, 1032u}) {
    RSAPublicKey pub = PublicOf(Key1024());
    pub.bits = bits;
    int32_t status;
    Bytes out = PubToCos(pub, &status);
    EXPECT_EQ(status, kCryptErrPublicKey) << bits;
    EXPECT_EQ(out[0], 0xEE) << "nothing written for " << bits;
  }
}

TEST(Pub2Cos, RefusesAZeroExponentAndValuesLongerThanTheKey) {
  RSAPublicKey pub = PublicOf(Key1024());
  std::memset(pub.exponent, 0, sizeof pub.exponent);
  int32_t status;
  PubToCos(pub, &status);
  EXPECT_EQ(status, kCryptErrPublicKey);

  RSAPublicKey small = PublicOf(GeneratedKey(512));
  small.modulus[10] = 1;  // a non-zero byte ahead of the 64 the key length allows
  PubToCos(small, &status);
  EXPECT_EQ(status, kCryptErrPublicKey);
}

class CosRoundTrip : public testing::TestWithParam<uint32_t> {};

TEST_P(CosRoundTrip, PublicAndPrivateKeysComeBackAndStillWork) {
  RSAPrivateKey priv = GetParam() == 1024 ? Key1024() : GeneratedKey(GetParam());
  RSAPublicKey pub = PublicOf(priv);
  int32_t status;
  Bytes cosPub = PubToCos(pub, &status);
  ASSERT_EQ(status, kCryptOk);
  EXPECT_EQ(Records(cosPub, 1)[0].second.size(), GetParam() / 8);
  RSAPublicKey pubBack;
  ASSERT_EQ(X_Cos2Pub(&pubBack, cosPub.data()), kCryptOk);
  EXPECT_EQ(std::memcmp(&pubBack, &pub, sizeof pub), 0);

  Bytes cosPriv = PriToCos(5, priv, &status);
  ASSERT_EQ(status, kCryptOk);
  RSAPrivateKey privBack;
  ASSERT_EQ(X_Cos2Pri(&privBack, cosPriv.data()), kCryptOk);
  EXPECT_EQ(std::memcmp(&privBack, &priv, sizeof priv), 0);

  const Bytes message = ToBytes("round trip");
  uint8_t sig[128];
  uint32_t len = 0;
  ASSERT_EQ(Sign(kCryptDigestSha1, message.data(), message.size(), sig, &len, &privBack), kCryptOk);
  EXPECT_EQ(Verify(kCryptDigestSha1, message.data(), message.size(), sig, len, &pubBack), kCryptOk);
}

INSTANTIATE_TEST_SUITE_P(Sizes, CosRoundTrip, testing::Values(512u, 768u, 1024u));

TEST(Pri2Cos, WritesTheFiveCrtValuesOfHalfLength) {
  const RSAPrivateKey& priv = Key1024();
  int32_t status;
  Bytes cos = PriToCos(5, priv, &status);
  ASSERT_EQ(status, kCryptOk);
  auto records = Records(cos, 5);
  const std::array<std::pair<uint8_t, const uint8_t*>, 5> expected = {{{0x70, priv.prime[0]},
                                                                       {0x71, priv.prime[1]},
                                                                       {0x50, priv.primeExponent[0]},
                                                                       {0x51, priv.primeExponent[1]},
                                                                       {0x49, priv.coefficient}}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(records[i].first, expected[i].first);
    EXPECT_EQ(Hex(records[i].second), Hex(expected[i].second, 64));
  }
  EXPECT_EQ(cos[5 * 66], 0xEE);
  Bytes plain(kCryptCosPrivateMaxLen + 8, 0xEE);
  ASSERT_EQ(X_Pri2Cos(plain.data(), &priv), kCryptOk);
  EXPECT_EQ(Hex(plain), Hex(cos)) << "X_Pri2Cos is form 5";
}

TEST(Pri2Cos, FormTwoWritesModulusAndPrivateExponent) {
  const RSAPrivateKey& priv = Key1024();
  int32_t status;
  Bytes cos = PriToCos(2, priv, &status);
  ASSERT_EQ(status, kCryptOk);
  Bytes expected{0x6E, 0x80};
  expected.insert(expected.end(), priv.modulus, priv.modulus + 128);
  expected.push_back(0x64);
  expected.push_back(0x80);
  expected.insert(expected.end(), priv.exponent, priv.exponent + 128);
  EXPECT_EQ(Hex(Bytes(cos.begin(), cos.begin() + expected.size())), Hex(expected));
}

TEST(Pri2Cos, UnknownFormIsADataErrorAfterTheSizeCheck) {
  int32_t status;
  for (int32_t form : {0, 1, 3, 4, 6, -5}) {
    Bytes out = PriToCos(form, Key1024(), &status);
    EXPECT_EQ(status, kCryptErrData) << form;
    EXPECT_EQ(out[0], 0xEE);
  }
  RSAPrivateKey odd = Key1024();
  odd.bits = 1001;
  PriToCos(3, odd, &status);
  EXPECT_EQ(status, kCryptErrPublicKey);
  PriToCos(5, odd, &status);
  EXPECT_EQ(status, kCryptErrPublicKey);
}

TEST(Pri2Cos, KeyOfOddHalfLengthKeepsWholePrimes) {
  // 1000 bits: primes of 500 bits need 63 bytes, more than 1000 / 16.
  RSAPrivateKey priv = GeneratedKey(1000);
  int32_t status;
  Bytes cos = PriToCos(5, priv, &status);
  ASSERT_EQ(status, kCryptOk);
  auto records = Records(cos, 5);
  EXPECT_EQ(records[0].second.size(), 63u);
  EXPECT_EQ(Hex(records[0].second), Hex(priv.prime[0] + 1, 63));
  // The coefficient's 63 bytes only say "1008 bits or a little less"; the
  // reader takes the length of the rebuilt modulus, so the key comes back whole.
  RSAPrivateKey back;
  ASSERT_EQ(X_Cos2Pri(&back, cos.data()), kCryptOk);
  EXPECT_EQ(back.bits, 1000u);
  EXPECT_EQ(std::memcmp(&back, &priv, sizeof priv), 0);
  const Bytes message = ToBytes("odd size");
  uint8_t sig[128];
  uint32_t len = 0;
  ASSERT_EQ(Sign(kCryptDigestMd5, message.data(), message.size(), sig, &len, &back), kCryptOk);
  EXPECT_EQ(len, 125u);
  RSAPublicKey pub = PublicOf(priv);
  EXPECT_EQ(Verify(kCryptDigestMd5, message.data(), message.size(), sig, len, &pub), kCryptOk);
}

TEST(Cos2Pub, AcceptsExponentFirst) {
  RSAPublicKey pub = PublicOf(Key1024());
  int32_t status;
  auto records = Records(PubToCos(pub, &status), 2);
  std::swap(records[0], records[1]);
  RSAPublicKey back;
  ASSERT_EQ(X_Cos2Pub(&back, Join(records).data()), kCryptOk);
  EXPECT_EQ(std::memcmp(&back, &pub, sizeof pub), 0);
}

// One damage done to the records of a valid key.
struct BadRecordsCase {
  const char* name;
  void (*mutate)(std::vector<std::pair<uint8_t, Bytes>>& records);
};

std::string CaseName(const testing::TestParamInfo<BadRecordsCase>& info) { return info.param.name; }

// Damages the records, reads them back into a record filled with garbage and
// expects `error` and the record cleared. `room` zeros follow the records, for
// whatever the reader may look at.
template <typename Key>
void ExpectRefusedAndCleared(std::vector<std::pair<uint8_t, Bytes>> records, const BadRecordsCase& damage,
                             size_t room, int32_t (*read)(Key*, const uint8_t*), int32_t error) {
  damage.mutate(records);
  Bytes cos = Join(records);
  cos.resize(cos.size() + room, 0);
  Key back;
  std::memset(&back, 0x5A, sizeof back);
  EXPECT_EQ(read(&back, cos.data()), error);
  EXPECT_TRUE(AllZero(&back, sizeof back));
}

class Cos2PubRefuses : public testing::TestWithParam<BadRecordsCase> {};

TEST_P(Cos2PubRefuses, WithAPublicKeyErrorAndAClearedRecord) {
  int32_t status;
  ExpectRefusedAndCleared(Records(PubToCos(PublicOf(Key1024()), &status), 2), GetParam(), 600, X_Cos2Pub,
                          kCryptErrPublicKey);
}

INSTANTIATE_TEST_SUITE_P(
    Records, Cos2PubRefuses,
    testing::Values(BadRecordsCase{"ModulusTwice", [](auto& r) { r[1] = r[0]; }},
                    BadRecordsCase{"ExponentTwice", [](auto& r) { r[0] = r[1]; }},
                    BadRecordsCase{"UnknownTag", [](auto& r) { r[1].first = 0x64; }},
                    BadRecordsCase{"ModulusOf504Bits", [](auto& r) { r[0].second.resize(63); }},
                    BadRecordsCase{"ModulusLongerThan1024Bits", [](auto& r) { r[0].second.push_back(1); }},
                    BadRecordsCase{"ModulusWithLeadingZero", [](auto& r) { r[0].second[0] = 0; }},
                    BadRecordsCase{"ExponentLongerThanModulus",
                                   [](auto& r) {
                                     r[0].second.resize(64);
                                     r[0].second[0] = 0xC1;
                                     r[1].second.assign(65, 1);
                                   }},
                    BadRecordsCase{"ZeroExponent", [](auto& r) { r[1].second.assign(4, 0); }},
                    BadRecordsCase{"EmptyExponent", [](auto& r) { r[1].second.clear(); }}),
    CaseName);

TEST(Cos2Pri, AcceptsTheRecordsInAnyOrder) {
  const RSAPrivateKey& priv = Key1024();
  int32_t status;
  auto records = Records(PriToCos(5, priv, &status), 5);
  std::array<int, 5> order = {0, 1, 2, 3, 4};
  int permutations = 0;
  do {
    std::vector<std::pair<uint8_t, Bytes>> shuffled;
    for (int i : order) shuffled.push_back(records[i]);
    RSAPrivateKey back;
    ASSERT_EQ(X_Cos2Pri(&back, Join(shuffled).data()), kCryptOk);
    ASSERT_EQ(std::memcmp(&back, &priv, sizeof priv), 0);
    ++permutations;
  } while (std::next_permutation(order.begin(), order.end()));
  EXPECT_EQ(permutations, 120);
}

class Cos2PriRefuses : public testing::TestWithParam<BadRecordsCase> {};

TEST_P(Cos2PriRefuses, WithAPrivateKeyErrorAndAClearedRecord) {
  int32_t status;
  // Records p q P Q I.
  ExpectRefusedAndCleared(Records(PriToCos(5, Key1024(), &status), 5), GetParam(), 1400, X_Cos2Pri,
                          kCryptErrPrivateKey);
}

INSTANTIATE_TEST_SUITE_P(
    Records, Cos2PriRefuses,
    testing::Values(BadRecordsCase{"CoefficientMissing", [](auto& r) { r[4] = r[0]; }},
                    BadRecordsCase{"UnknownTag", [](auto& r) { r[2].first = 0x6E; }},
                    BadRecordsCase{"CoefficientOf31Bytes", [](auto& r) { r[4].second.resize(31); }},
                    BadRecordsCase{"ValueLongerThanItsField", [](auto& r) { r[0].second.push_back(1); }},
                    BadRecordsCase{"EmptyPrime", [](auto& r) { r[1].second.clear(); }},
                    BadRecordsCase{"PrimeOfOne",
                                   [](auto& r) {
                                     r[1].second.assign(64, 0);
                                     r[1].second[63] = 1;
                                   }},
                    BadRecordsCase{"ExponentPCorrupted", [](auto& r) { r[2].second[40] ^= 1; }},
                    BadRecordsCase{"ExponentQCorrupted", [](auto& r) { r[3].second[63] ^= 2; }},
                    BadRecordsCase{"CoefficientCorrupted", [](auto& r) { r[4].second[0] ^= 1; }},
                    BadRecordsCase{"PrimesSwappedWithExponents",
                                   [](auto& r) { std::swap(r[0].second, r[2].second); }},
                    BadRecordsCase{"ModulusShorterThanTheKey",
                                   [](auto& r) {
                                     // p, q of 32 bytes under a 64-byte coefficient.
                                     r[0].second.resize(32);
                                     r[1].second.resize(32);
                                   }}),
    CaseName);

TEST(CosReaders, StopAtTheEndOfTheBytesGiven) {
  int32_t status;
  Bytes pub = PubToCos(PublicOf(Key1024()), &status);
  pub.resize(2 + 128 + 2 + 4);
  Bytes priv = PriToCos(5, Key1024(), &status);
  priv.resize(5 * 66);
  RSAPublicKey pubKey;
  RSAPrivateKey privKey;
  EXPECT_EQ(CosToPublic(&pubKey, pub.data(), pub.size()), kCryptOk);
  EXPECT_EQ(CosToPrivate(&privKey, priv.data(), priv.size()), kCryptOk);
  for (size_t len = 0; len < pub.size(); ++len) {
    Bytes cut(pub.begin(), pub.begin() + len);  // its own allocation: over-reads show under ASan
    EXPECT_EQ(CosToPublic(&pubKey, cut.data(), cut.size()), kCryptErrPublicKey) << len;
  }
  for (size_t len = 0; len < priv.size(); ++len) {
    Bytes cut(priv.begin(), priv.begin() + len);
    EXPECT_EQ(CosToPrivate(&privKey, cut.data(), cut.size()), kCryptErrPrivateKey) << len;
  }
}

TEST(GenerateCosKeys, WritesAWorkingPairInTheCosFormat) {
  Bytes cosPub(kCryptCosPublicMaxLen, 0xEE), cosPriv(kCryptCosPrivateMaxLen + 4, 0xEE);
  ASSERT_EQ(X_GenerateRsaKeys(cosPub.data(), cosPriv.data()), kCryptOk);
  EXPECT_EQ(cosPub[0], 0x6E);
  EXPECT_EQ(cosPub[1], 0x80);
  EXPECT_EQ(Hex(Bytes(cosPub.begin() + 130, cosPub.begin() + 136)), "650400010001");
  EXPECT_EQ(cosPriv[5 * 66], 0xEE);
  RSAPublicKey pub;
  RSAPrivateKey priv;
  ASSERT_EQ(X_Cos2Pub(&pub, cosPub.data()), kCryptOk);
  ASSERT_EQ(X_Cos2Pri(&priv, cosPriv.data()), kCryptOk);
  EXPECT_EQ(std::memcmp(pub.modulus, priv.modulus, 128), 0);
  const Bytes message = ToBytes("generated in the Cos format");
  uint8_t sig[128];
  uint32_t len = 0;
  ASSERT_EQ(Sign(kCryptDigestMd2, message.data(), message.size(), sig, &len, &priv), kCryptOk);
  EXPECT_EQ(Verify(kCryptDigestMd2, message.data(), message.size(), sig, len, &pub), kCryptOk);
}

TEST(CosExports, MissingPointersAreRefused) {
  uint8_t buf[400] = {};
  RSAPublicKey pub{};
  RSAPrivateKey priv{};
  EXPECT_EQ(X_Pub2Cos(nullptr, &pub), kCryptErrPublicKey);
  EXPECT_EQ(X_Pri2Cos(buf, nullptr), kCryptErrPublicKey);
  EXPECT_EQ(X_Cos2Pub(&pub, nullptr), kCryptErrPublicKey);
  EXPECT_EQ(X_Cos2Pri(&priv, nullptr), kCryptErrPrivateKey);
  EXPECT_EQ(X_Cos2Pri(nullptr, buf), kCryptErrPrivateKey);
}

}  // namespace
}  // namespace tessaro::crypttest
