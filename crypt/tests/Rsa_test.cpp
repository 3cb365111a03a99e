// Sign, Verify, RSAPublicEncrypt and RSAPrivateDecrypt: round trips, the
// exact block layouts, and the status of every malformed or corrupted input.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "crypt/BigNum.h"
#include "crypt/CryptRsa.h"
#include "crypt/Digests.h"
#include "crypt/RsaCore.h"
#include "crypt/tests/KeyTestUtil.h"
#include "crypt/tests/SeededKeys.h"

namespace tessaro::crypttest {
namespace {

using Num = std::array<BnDigit, kBnMaxDigits>;

// Builds a key from two primes of the given sizes, for moduli shorter than
// the generator allows.
RSAPrivateKey SmallKey(unsigned pBits, unsigned qBits, const std::string& seed) {
  RandomState random = SeededRandom(seed);
  Num e{}, p{}, q{}, pm1{}, qm1{}, phi{}, n{}, d{}, dP{}, dQ{}, qInv{};
  e[0] = 65537;
  EXPECT_EQ(GeneratePrime(p.data(), pBits, e.data(), &random), kCryptOk);
  EXPECT_EQ(GeneratePrime(q.data(), qBits, e.data(), &random), kCryptOk);
  if (BnCompare(p.data(), q.data(), kBnModDigits) < 0) std::swap(p, q);
  BnMul(n.data(), p.data(), q.data(), kBnModDigits);
  BnSubDigit(pm1.data(), p.data(), 1, kBnModDigits);
  BnSubDigit(qm1.data(), q.data(), 1, kBnModDigits);
  BnMul(phi.data(), pm1.data(), qm1.data(), kBnModDigits);
  EXPECT_EQ(BnModInverse(d.data(), e.data(), phi.data(), kBnModDigits), 1);
  BnDivMod(nullptr, dP.data(), d.data(), kBnModDigits, pm1.data(), kBnModDigits);
  BnDivMod(nullptr, dQ.data(), d.data(), kBnModDigits, qm1.data(), kBnModDigits);
  EXPECT_EQ(BnModInverse(qInv.data(), q.data(), p.data(), kBnModDigits), 1);
  RSAPrivateKey key{};
  key.bits = BnBitLength(n.data(), kBnModDigits);
  BnToBytes(key.modulus, 128, n.data(), kBnModDigits);
  BnToBytes(key.publicExponent, 128, e.data(), kBnModDigits);
  BnToBytes(key.exponent, 128, d.data(), kBnModDigits);
  BnToBytes(key.prime[0], 64, p.data(), kBnModDigits);
  BnToBytes(key.prime[1], 64, q.data(), kBnModDigits);
  BnToBytes(key.primeExponent[0], 64, dP.data(), kBnModDigits);
  BnToBytes(key.primeExponent[1], 64, dQ.data(), kBnModDigits);
  BnToBytes(key.coefficient, 64, qInv.data(), kBnModDigits);
  return key;
}

RSAPrivateKey GeneratedKey(uint32_t bits) { return SeededKey("rsa test key", bits); }

const RSAPrivateKey& Key1024() {
  static const RSAPrivateKey key = GeneratedKey(1024);
  return key;
}

Bytes SignBytes(int32_t algorithm, const Bytes& message, const RSAPrivateKey& key,
                int32_t* status = nullptr) {
  Bytes sig(128);
  uint32_t len = 0;
  int32_t s = Sign(algorithm, message.data(), static_cast<uint32_t>(message.size()), sig.data(), &len, &key);
  if (status != nullptr) *status = s;
  sig.resize(s == kCryptOk ? len : 0);
  return sig;
}

int32_t VerifyBytes(int32_t algorithm, const Bytes& message, const Bytes& sig, const RSAPublicKey& key) {
  return Verify(algorithm, message.data(), static_cast<uint32_t>(message.size()), sig.data(),
                static_cast<uint32_t>(sig.size()), &key);
}

// A raw RSA operation (RsaPrivateBlock, RsaPublicBlock) on a block the test
// lays out itself.
template <typename Key>
Bytes RawBlock(int32_t (*operation)(uint8_t*, size_t*, const uint8_t*, size_t, const Key*),
               const Bytes& block, const Key& key) {
  Bytes out(128);
  size_t len = 0;
  EXPECT_EQ(operation(out.data(), &len, block.data(), block.size(), &key), kCryptOk);
  out.resize(len);
  return out;
}

Bytes RawPrivate(const Bytes& block, const RSAPrivateKey& key) {
  return RawBlock(RsaPrivateBlock, block, key);
}
Bytes RawPublic(const Bytes& block, const RSAPublicKey& key) { return RawBlock(RsaPublicBlock, block, key); }

Bytes InfoOf(int32_t algorithm, const Bytes& message) {
  uint8_t info[kMaxDigestInfoLen];
  size_t len = DigestInfoOf(algorithm, message.data(), message.size(), info);
  return Bytes(info, info + len);
}

// lead, type, padCount bytes of `pad`, separator, data, in k bytes.
Bytes Block(uint8_t type, size_t padCount, uint8_t pad, const Bytes& data, size_t k = 128, uint8_t lead = 0) {
  Bytes b{lead, type};
  b.insert(b.end(), padCount, pad);
  b.push_back(0);
  b.insert(b.end(), data.begin(), data.end());
  EXPECT_EQ(b.size(), k);
  return b;
}

// 00, type, then `pad` to the end of 128 bytes: no separator anywhere.
Bytes UnseparatedBlock(uint8_t type, uint8_t pad) {
  Bytes b(128, pad);
  b[0] = 0;
  b[1] = type;
  return b;
}

template <typename Case>
std::string CaseName(const testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

const Bytes kMessage = ToBytes("Tessaro album 2024-03");

class SignatureRoundTrip : public testing::TestWithParam<std::tuple<int32_t, uint32_t>> {};

TEST_P(SignatureRoundTrip, SignedMessageVerifies) {
  auto [algorithm, bits] = GetParam();
  RSAPrivateKey key = bits == 1024 ? Key1024() : GeneratedKey(bits);
  RSAPublicKey pub = PublicOf(key);
  int32_t status;
  Bytes sig = SignBytes(algorithm, kMessage, key, &status);
  ASSERT_EQ(status, kCryptOk);
  EXPECT_EQ(sig.size(), (bits + 7) / 8);
  EXPECT_EQ(VerifyBytes(algorithm, kMessage, sig, pub), kCryptOk);
  // The block under the signature is 00 01 FF.. 00 DigestInfo.
  Bytes info = InfoOf(algorithm, kMessage);
  EXPECT_EQ(Hex(RawPublic(sig, pub)), Hex(Block(1, sig.size() - info.size() - 3, 0xFF, info, sig.size())));
}

INSTANTIATE_TEST_SUITE_P(AlgorithmsAndSizes, SignatureRoundTrip,
                         testing::Combine(testing::Values(kCryptDigestMd2, kCryptDigestMd5, kCryptDigestSha1),
                                          testing::Values(512u, 1001u, 1024u)));

TEST(Sign, IsDeterministicAndWritesTheModulusLength) {
  Bytes a = SignBytes(kCryptDigestSha1, kMessage, Key1024());
  Bytes b = SignBytes(kCryptDigestSha1, kMessage, Key1024());
  EXPECT_EQ(Hex(a), Hex(b));
  EXPECT_EQ(a.size(), 128u);
}

TEST(Sign, UnknownAlgorithmIsRefused) {
  int32_t status;
  SignBytes(4, kMessage, Key1024(), &status);
  EXPECT_EQ(status, kCryptErrDigest);
  EXPECT_EQ(VerifyBytes(4, kMessage, Bytes(128, 1), PublicOf(Key1024())), kCryptErrDigest);
}

TEST(Sign, ModulusMustHoldDigestInfoAndElevenBytes) {
  // k = 45 bytes holds the 34-byte MD5 DigestInfo but not the 35-byte SHA-1 one.
  RSAPrivateKey key360 = SmallKey(180, 180, "k45");
  ASSERT_EQ(key360.bits, 360u);
  int32_t status;
  Bytes sig = SignBytes(kCryptDigestMd5, kMessage, key360, &status);
  EXPECT_EQ(status, kCryptOk);
  EXPECT_EQ(VerifyBytes(kCryptDigestMd5, kMessage, sig, PublicOf(key360)), kCryptOk);
  SignBytes(kCryptDigestSha1, kMessage, key360, &status);
  EXPECT_EQ(status, kCryptErrPrivateKey);

  RSAPrivateKey key368 = SmallKey(184, 184, "k46");
  ASSERT_EQ(key368.bits, 368u);
  sig = SignBytes(kCryptDigestSha1, kMessage, key368, &status);
  EXPECT_EQ(status, kCryptOk);
  EXPECT_EQ(VerifyBytes(kCryptDigestSha1, kMessage, sig, PublicOf(key368)), kCryptOk);
}

TEST(Sign, CorruptedPrivateKeyFieldsAreRefusedWithoutOutput) {
  struct Corruption {
    const char* field;
    size_t offset;
  };
  const RSAPrivateKey& good = Key1024();
  const Corruption corruptions[] = {
      {"modulus", offsetof(RSAPrivateKey, modulus) + 127},
      {"publicExponent", offsetof(RSAPrivateKey, publicExponent) + 127},
      {"prime p", offsetof(RSAPrivateKey, prime) + 63},
      {"prime q", offsetof(RSAPrivateKey, prime) + 64 + 10},
      {"d mod (p - 1)", offsetof(RSAPrivateKey, primeExponent) + 20},
      {"d mod (q - 1)", offsetof(RSAPrivateKey, primeExponent) + 64 + 63},
      {"coefficient", offsetof(RSAPrivateKey, coefficient) + 30},
  };
  for (const Corruption& c : corruptions) {
    RSAPrivateKey key = good;
    reinterpret_cast<uint8_t*>(&key)[c.offset] ^= 0x04;
    uint8_t sig[128];
    std::memset(sig, 0xA5, sizeof sig);
    uint32_t len = 77;
    EXPECT_EQ(Sign(kCryptDigestSha1, kMessage.data(), kMessage.size(), sig, &len, &key), kCryptErrPrivateKey)
        << c.field;
    EXPECT_EQ(len, 77u) << c.field;
    for (uint8_t b : sig) ASSERT_EQ(b, 0xA5) << c.field;
  }
}

TEST(Sign, KeyLengthsOutsideTheRecordAreRefused) {
  for (uint32_t bits : {0u, 1025u, 4096u}) {
    RSAPrivateKey key = Key1024();
    key.bits = bits;
    int32_t status;
    SignBytes(kCryptDigestMd5, kMessage, key, &status);
    EXPECT_EQ(status, kCryptErrPrivateKey) << bits;
  }
}

TEST(Verify, SignatureOfOtherAlgorithmOrMessageDoesNotMatch) {
  RSAPublicKey pub = PublicOf(Key1024());
  Bytes sha1Sig = SignBytes(kCryptDigestSha1, kMessage, Key1024());
  EXPECT_EQ(VerifyBytes(kCryptDigestMd5, kMessage, sha1Sig, pub), kCryptErrSignature);
  Bytes md5Sig = SignBytes(kCryptDigestMd5, kMessage, Key1024());
  EXPECT_EQ(VerifyBytes(kCryptDigestMd2, kMessage, md5Sig, pub), kCryptErrSignature);
  EXPECT_EQ(VerifyBytes(kCryptDigestMd5, ToBytes("Tessaro album 2024-04"), md5Sig, pub), kCryptErrSignature);
}

struct CraftedCase {
  const char* name;
  int32_t expected;
  // Builds the block for the SHA-1 DigestInfo `info` in 128 bytes.
  Bytes (*make)(const Bytes& info);
};

class VerifyCrafted : public testing::TestWithParam<CraftedCase> {};

TEST_P(VerifyCrafted, GivesTheStatusOfItsFault) {
  const CraftedCase& c = GetParam();
  Bytes info = InfoOf(kCryptDigestSha1, kMessage);
  Bytes sig = RawPrivate(c.make(info), Key1024());
  EXPECT_EQ(VerifyBytes(kCryptDigestSha1, kMessage, sig, PublicOf(Key1024())), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, VerifyCrafted,
    testing::Values(
        CraftedCase{"Valid", kCryptOk, [](const Bytes& i) { return Block(1, 128 - 3 - i.size(), 0xFF, i); }},
        CraftedCase{"LastDigestInfoByteDiffers", kCryptErrSignature,
                    [](const Bytes& i) {
                      Bytes d = i;
                      d.back() ^= 1;
                      return Block(1, 128 - 3 - d.size(), 0xFF, d);
                    }},
        CraftedCase{"FirstDigestInfoByteDiffers", kCryptErrSignature,
                    [](const Bytes& i) {
                      Bytes d = i;
                      d.front() ^= 0x80;
                      return Block(1, 128 - 3 - d.size(), 0xFF, d);
                    }},
        CraftedCase{"ExtraByteAfterDigestInfo", kCryptErrSignature,
                    [](const Bytes& i) {
                      Bytes d = i;
                      d.push_back(0);
                      return Block(1, 128 - 3 - d.size(), 0xFF, d);
                    }},
        CraftedCase{"DigestInfoMissingLastByte", kCryptErrSignature,
                    [](const Bytes& i) {
                      Bytes d(i.begin(), i.end() - 1);
                      return Block(1, 128 - 3 - d.size(), 0xFF, d);
                    }},
        CraftedCase{"SevenPaddingBytes", kCryptErrPublicKey,
                    [](const Bytes& i) {
                      Bytes d(128 - 3 - 7 - i.size(), 0x11);
                      d.insert(d.end(), i.begin(), i.end());
                      return Block(1, 7, 0xFF, d);
                    }},
        CraftedCase{"EightPaddingBytesAreEnough", kCryptErrSignature,
                    [](const Bytes& i) {
                      Bytes d(128 - 3 - 8 - i.size(), 0x11);
                      d.insert(d.end(), i.begin(), i.end());
                      return Block(1, 8, 0xFF, d);
                    }},
        CraftedCase{"BlockType2", kCryptErrPublicKey,
                    [](const Bytes& i) { return Block(2, 128 - 3 - i.size(), 0xFF, i); }},
        CraftedCase{"BlockType0", kCryptErrPublicKey,
                    [](const Bytes& i) { return Block(0, 128 - 3 - i.size(), 0xFF, i); }},
        CraftedCase{"NonZeroLeadingByte", kCryptErrPublicKey,
                    [](const Bytes& i) { return Block(1, 128 - 3 - i.size(), 0xFF, i, 128, 0x01); }},
        CraftedCase{"PaddingByteNotFF", kCryptErrPublicKey,
                    [](const Bytes& i) {
                      Bytes b = Block(1, 128 - 3 - i.size(), 0xFF, i);
                      b[40] = 0xFE;
                      return b;
                    }},
        CraftedCase{"NoSeparator", kCryptErrPublicKey,
                    [](const Bytes&) { return UnseparatedBlock(1, 0xFF); }}),
    CaseName<CraftedCase>);

TEST(Verify, CorruptedSignaturesAreRefused) {
  RSAPublicKey pub = PublicOf(Key1024());
  Bytes sig = SignBytes(kCryptDigestMd5, kMessage, Key1024());
  for (size_t byte : {0u, 1u, 64u, 127u}) {
    Bytes bad = sig;
    bad[byte] ^= 0x10;
    int32_t status = VerifyBytes(kCryptDigestMd5, kMessage, bad, pub);
    EXPECT_EQ(status, kCryptErrPublicKey) << "byte " << byte;
  }
  Bytes truncated(sig.begin(), sig.end() - 1);
  EXPECT_EQ(VerifyBytes(kCryptDigestMd5, kMessage, truncated, pub), kCryptErrPublicKey);
}

TEST(Verify, SignatureNotBelowTheModulusFailsTheRsaStep) {
  RSAPublicKey pub = PublicOf(Key1024());
  EXPECT_EQ(VerifyBytes(kCryptDigestMd5, kMessage, Bytes(128, 0xFF), pub), kCryptErrPublicKey);
  Bytes modulus(pub.modulus, pub.modulus + 128);
  EXPECT_EQ(VerifyBytes(kCryptDigestMd5, kMessage, modulus, pub), kCryptErrPublicKey);
}

TEST(Verify, SignatureLongerThan128BytesIsALengthError) {
  RSAPublicKey pub = PublicOf(Key1024());
  Bytes sig = SignBytes(kCryptDigestMd5, kMessage, Key1024());
  Bytes longer = sig;
  longer.insert(longer.begin(), 0);  // same value, 129 bytes
  EXPECT_EQ(VerifyBytes(kCryptDigestMd5, kMessage, longer, pub), kCryptErrLen);
  EXPECT_EQ(VerifyBytes(4, kMessage, longer, pub), kCryptErrLen) << "checked before the algorithm";
}

TEST(Verify, AcceptsASignatureWithoutItsLeadingZeroBytes) {
  RSAPublicKey pub = PublicOf(Key1024());
  for (int i = 0; i < 4000; ++i) {
    Bytes message = ToBytes("leading zero " + std::to_string(i));
    Bytes sig = SignBytes(kCryptDigestSha1, message, Key1024());
    if (sig[0] != 0) continue;
    Bytes shorter(sig.begin() + 1, sig.end());
    EXPECT_EQ(VerifyBytes(kCryptDigestSha1, message, shorter, pub), kCryptOk);
    return;
  }
  FAIL() << "no signature with a leading zero byte in 4000 messages";
}

TEST(Verify, PublicKeyLengthsOutsideTheRecordFail) {
  Bytes sig = SignBytes(kCryptDigestMd5, kMessage, Key1024());
  for (uint32_t bits : {0u, 1025u}) {
    RSAPublicKey pub = PublicOf(Key1024());
    pub.bits = bits;
    EXPECT_EQ(VerifyBytes(kCryptDigestMd5, kMessage, sig, pub), kCryptErrPublicKey) << bits;
  }
}

Bytes Encrypt(const Bytes& message, const RSAPublicKey& key, int32_t* status) {
  Bytes out(128, 0xA5);
  uint32_t len = 0;
  *status = RSAPublicEncrypt(out.data(), &len, message.data(), static_cast<uint32_t>(message.size()), &key);
  out.resize(*status == kCryptOk ? len : 128);
  return out;
}

Bytes Decrypt(const Bytes& cipher, const RSAPrivateKey& key, int32_t* status) {
  Bytes out(128, 0xA5);
  uint32_t len = 0;
  *status = RSAPrivateDecrypt(out.data(), &len, cipher.data(), static_cast<uint32_t>(cipher.size()), &key);
  out.resize(*status == kCryptOk ? len : 128);
  return out;
}

class EncryptionRoundTrip : public testing::TestWithParam<size_t> {};

TEST_P(EncryptionRoundTrip, DecryptionReturnsTheMessage) {
  Bytes message(GetParam());
  for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<uint8_t>(i * 7 + 1);
  int32_t status;
  Bytes cipher = Encrypt(message, PublicOf(Key1024()), &status);
  ASSERT_EQ(status, kCryptOk);
  EXPECT_EQ(cipher.size(), 128u);
  Bytes plain = Decrypt(cipher, Key1024(), &status);
  ASSERT_EQ(status, kCryptOk);
  EXPECT_EQ(Hex(plain), Hex(message));

  // 00 02, k - len - 3 non-zero random bytes, 00, message.
  Bytes block = RawPrivate(cipher, Key1024());
  ASSERT_EQ(block.size(), 128u);
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(block[1], 2);
  size_t padEnd = 128 - message.size() - 1;
  for (size_t i = 2; i < padEnd; ++i) ASSERT_NE(block[i], 0) << i;
  EXPECT_EQ(block[padEnd], 0);
}

INSTANTIATE_TEST_SUITE_P(Lengths, EncryptionRoundTrip, testing::Values(0u, 1u, 16u, 58u, 116u, 117u));

TEST(RSAPublicEncrypt, Accepts117BytesAndRefuses118) {
  int32_t status;
  Encrypt(Bytes(117, 1), PublicOf(Key1024()), &status);
  EXPECT_EQ(status, kCryptOk);
  Bytes out = Encrypt(Bytes(118, 1), PublicOf(Key1024()), &status);
  EXPECT_EQ(status, kCryptErrLen);
  for (uint8_t b : out) ASSERT_EQ(b, 0xA5);
}

TEST(RSAPublicEncrypt, LimitFollowsTheModulusLength) {
  RSAPrivateKey key = SmallKey(180, 180, "k45");  // k = 45: at most 34 bytes
  int32_t status;
  Bytes cipher = Encrypt(Bytes(34, 9), PublicOf(key), &status);
  ASSERT_EQ(status, kCryptOk);
  EXPECT_EQ(cipher.size(), 45u);
  EXPECT_EQ(Hex(Decrypt(cipher, key, &status)), Hex(Bytes(34, 9)));
  Encrypt(Bytes(35, 9), PublicOf(key), &status);
  EXPECT_EQ(status, kCryptErrLen);
}

TEST(RSAPublicEncrypt, PaddingDiffersBetweenCalls) {
  int32_t status;
  Bytes a = Encrypt(kMessage, PublicOf(Key1024()), &status);
  Bytes b = Encrypt(kMessage, PublicOf(Key1024()), &status);
  EXPECT_NE(Hex(a), Hex(b));
}

TEST(RSAPublicEncrypt, UnusableKeysAreRefused) {
  int32_t status;
  RSAPublicKey pub = PublicOf(Key1024());
  pub.bits = 0;
  Encrypt(kMessage, pub, &status);
  EXPECT_EQ(status, kCryptErrLen);
  pub.bits = 1032;
  Encrypt(kMessage, pub, &status);
  EXPECT_EQ(status, kCryptErrLen);

  pub = PublicOf(Key1024());
  pub.modulus[127] &= 0xFE;  // even
  Encrypt(kMessage, pub, &status);
  EXPECT_EQ(status, kCryptErrData);

  // A modulus far below 2^1016 cannot hold a 128-byte block starting 00 02.
  pub = PublicOf(Key1024());
  std::memset(pub.modulus, 0, 2);
  pub.modulus[2] = 0x01;
  Encrypt(kMessage, pub, &status);
  EXPECT_EQ(status, kCryptErrData);
}

TEST(RSAPrivateDecrypt, InputLongerThanTheModulusIsALengthError) {
  int32_t status;
  Bytes cipher = Encrypt(kMessage, PublicOf(Key1024()), &status);
  cipher.insert(cipher.begin(), 0);
  Bytes out = Decrypt(cipher, Key1024(), &status);
  EXPECT_EQ(status, kCryptErrLen);
  for (uint8_t b : out) ASSERT_EQ(b, 0xA5);
}

TEST(RSAPrivateDecrypt, ValueNotBelowTheModulusIsADataError) {
  int32_t status;
  Decrypt(Bytes(128, 0xFF), Key1024(), &status);
  EXPECT_EQ(status, kCryptErrData);
  Decrypt(Bytes(Key1024().modulus, Key1024().modulus + 128), Key1024(), &status);
  EXPECT_EQ(status, kCryptErrData);
}

struct DecryptCase {
  const char* name;
  int32_t expected;
  size_t messageLen;  // when expected is 0
  Bytes (*make)();
};

class DecryptCrafted : public testing::TestWithParam<DecryptCase> {};

TEST_P(DecryptCrafted, GivesTheStatusOfItsFault) {
  const DecryptCase& c = GetParam();
  Bytes cipher = RawPublic(c.make(), PublicOf(Key1024()));
  int32_t status;
  Bytes plain = Decrypt(cipher, Key1024(), &status);
  EXPECT_EQ(status, c.expected);
  if (c.expected == kCryptOk) {
    EXPECT_EQ(plain.size(), c.messageLen);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Blocks, DecryptCrafted,
    testing::Values(
        DecryptCase{"EightPaddingBytes", kCryptOk, 117, [] { return Block(2, 8, 0x33, Bytes(117, 7)); }},
        DecryptCase{"EmptyMessage", kCryptOk, 0, [] { return Block(2, 125, 0x33, Bytes()); }},
        DecryptCase{"SevenPaddingBytes", kCryptErrData, 0, [] { return Block(2, 7, 0x33, Bytes(118, 7)); }},
        DecryptCase{"BlockType1", kCryptErrData, 0, [] { return Block(1, 100, 0xFF, Bytes(25, 7)); }},
        DecryptCase{"NonZeroLeadingByte", kCryptErrData, 0,
                    [] { return Block(2, 100, 0x33, Bytes(25, 7), 128, 0x01); }},
        DecryptCase{"NoSeparator", kCryptErrData, 0, [] { return UnseparatedBlock(2, 0x44); }}),
    CaseName<DecryptCase>);

TEST(RSAPrivateDecrypt, CorruptedKeyIsAPrivateKeyError) {
  int32_t status;
  Bytes cipher = Encrypt(kMessage, PublicOf(Key1024()), &status);
  RSAPrivateKey key = Key1024();
  key.coefficient[5] ^= 1;
  Bytes out = Decrypt(cipher, key, &status);
  EXPECT_EQ(status, kCryptErrPrivateKey);
  for (uint8_t b : out) ASSERT_EQ(b, 0xA5);
}

TEST(RsaExports, MissingPointersAreRefused) {
  uint8_t buf[128];
  uint32_t len;
  const RSAPrivateKey& key = Key1024();
  RSAPublicKey pub = PublicOf(key);
  EXPECT_EQ(Sign(kCryptDigestMd5, kMessage.data(), kMessage.size(), nullptr, &len, &key), kCryptErrData);
  EXPECT_EQ(Sign(kCryptDigestMd5, kMessage.data(), kMessage.size(), buf, &len, nullptr), kCryptErrData);
  EXPECT_EQ(Verify(kCryptDigestMd5, kMessage.data(), kMessage.size(), buf, 128, nullptr), kCryptErrData);
  EXPECT_EQ(RSAPublicEncrypt(buf, &len, nullptr, 5, &pub), kCryptErrData);
  EXPECT_EQ(RSAPrivateDecrypt(buf, nullptr, buf, 128, &key), kCryptErrData);
  EXPECT_EQ(R_GenerateRsaKeys(nullptr, nullptr), kCryptErrData);
}

}  // namespace
}  // namespace tessaro::crypttest
