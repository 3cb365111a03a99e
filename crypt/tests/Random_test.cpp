// The MD5-counter random generator, its seedings and the streaming digest
// contexts it is built on.
#include "crypt/Random.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <random>
#include <vector>

#include "crypt/CryptRsa.h"
#include "crypt/Digests.h"
#include "crypt/tests/KeyTestUtil.h"

namespace tessaro::crypttest {
namespace {

Bytes Md5(const Bytes& data) {
  uint8_t digest[16];
  uint32_t len = 0;
  EXPECT_EQ(Digest(kCryptDigestMd5, data.data(), static_cast<uint32_t>(data.size()), digest, &len), kCryptOk);
  return Bytes(digest, digest + 16);
}

Bytes Increment(Bytes counter) {
  for (size_t i = counter.size(); i-- > 0;)
    if (++counter[i] != 0) break;
  return counter;
}

TEST(RandomGenerator, RefusesOutputUntilSeededEnough) {
  RandomState random;
  RandomInit(&random, 256);
  Bytes seed(255, 0x11);
  RandomUpdate(&random, seed.data(), seed.size());
  uint8_t out[4] = {1, 2, 3, 4};
  EXPECT_EQ(RandomGetBytes(&random, out, sizeof out), kCryptErrNeedRandom);
  EXPECT_EQ(out[0], 1);  // nothing written
  RandomUpdate(&random, seed.data(), 1);
  EXPECT_EQ(RandomGetBytes(&random, out, sizeof out), kCryptOk);
  RandomFinal(&random);
}

TEST(RandomGenerator, OutputBlocksAreDigestsOfTheIncrementedCounter) {
  RandomState random;
  RandomInit(&random, 3);
  const Bytes seed = ToBytes("seed");
  RandomUpdate(&random, seed.data(), seed.size());
  Bytes out(40);
  ASSERT_EQ(RandomGetBytes(&random, out.data(), out.size()), kCryptOk);

  // Starting from zero, the counter is MD5(seed); blocks are MD5(counter),
  // MD5(counter + 1), MD5(counter + 2).
  Bytes counter = Md5(seed), expected;
  for (int i = 0; i < 3; ++i) {
    Bytes block = Md5(counter);
    expected.insert(expected.end(), block.begin(), block.end());
    counter = Increment(counter);
  }
  expected.resize(40);
  EXPECT_EQ(Hex(out), Hex(expected));
  RandomFinal(&random);
}

TEST(RandomGenerator, CounterIncrementCarriesAcrossBytes) {
  RandomState random;
  RandomInit(&random, 0);
  Bytes counter(16, 0xFF);
  counter[0] = 0x12;
  std::memcpy(random.state, counter.data(), 16);
  Bytes out(32);
  ASSERT_EQ(RandomGetBytes(&random, out.data(), out.size()), kCryptOk);
  Bytes second = Md5(Increment(counter));
  EXPECT_EQ(Hex(Bytes(out.begin() + 16, out.end())), Hex(second));
  EXPECT_EQ(random.state[0], 0x13);
  EXPECT_EQ(random.state[15], 0x01);
}

TEST(RandomGenerator, SeedAdditionCarriesAcrossBytes) {
  RandomState random;
  RandomInit(&random, 0);
  std::memset(random.state, 0xFF, 16);
  const Bytes seed = ToBytes("x");
  RandomUpdate(&random, seed.data(), seed.size());
  // all-ones + d = d - 1 (mod 2^128)
  Bytes expected = Md5(seed);
  for (size_t i = 16; i-- > 0;)
    if (expected[i]-- != 0) break;
  EXPECT_EQ(Hex(random.state, 16), Hex(expected));
}

TEST(RandomGenerator, UnusedBytesAreKeptForTheNextRequest) {
  RandomState a, b;
  RandomInit(&a, 1);
  RandomInit(&b, 1);
  const Bytes seed = ToBytes("same");
  RandomUpdate(&a, seed.data(), seed.size());
  RandomUpdate(&b, seed.data(), seed.size());
  Bytes whole(45);
  ASSERT_EQ(RandomGetBytes(&a, whole.data(), whole.size()), kCryptOk);
  Bytes pieces;
  for (size_t n : {5u, 11u, 1u, 16u, 12u}) {
    Bytes part(n);
    ASSERT_EQ(RandomGetBytes(&b, part.data(), n), kCryptOk);
    pieces.insert(pieces.end(), part.begin(), part.end());
  }
  EXPECT_EQ(Hex(pieces), Hex(whole));
}

TEST(RandomGenerator, NonZeroBytesContainNoZero) {
  RandomState random;
  RandomInit(&random, 0);
  Bytes out(4096);
  ASSERT_EQ(RandomGetNonZeroBytes(&random, out.data(), out.size()), kCryptOk);
  for (uint8_t b : out) ASSERT_NE(b, 0);
}

// Builds the generator the clock alone would give for encryption at `now`.
Bytes ClockOnlyEncryptionOutput(time_t now) {
  RandomState random;
  RandomInit(&random, 256);
  uint8_t seconds[4];
  for (int i = 0; i < 4; ++i) seconds[i] = static_cast<uint8_t>(static_cast<uint32_t>(now) >> (8 * i));
  while (random.bytesNeeded > 0) RandomUpdate(&random, seconds, 4);
  Bytes out(32);
  EXPECT_EQ(RandomGetBytes(&random, out.data(), out.size()), kCryptOk);
  return out;
}

TEST(RandomSeeding, EncryptionSeedIsNotTheClockAlone) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    time_t before = time(nullptr);
    RandomState random;
    ASSERT_EQ(RandomSeedForEncryption(&random), kCryptOk);
    Bytes out(32);
    ASSERT_EQ(RandomGetBytes(&random, out.data(), out.size()), kCryptOk);
    RandomFinal(&random);
    if (time(nullptr) != before) continue;  // the second changed meanwhile: try again
    EXPECT_NE(Hex(out), Hex(ClockOnlyEncryptionOutput(before)));
    return;
  }
  GTEST_SKIP() << "the clock kept ticking over a second boundary";
}

TEST(RandomSeeding, SeedingsWithinTheSameSecondDiffer) {
  RandomState a, b;
  ASSERT_EQ(RandomSeedForKeyGeneration(&a), kCryptOk);
  ASSERT_EQ(RandomSeedForKeyGeneration(&b), kCryptOk);
  EXPECT_EQ(a.bytesNeeded, 0u);
  EXPECT_NE(Hex(a.state, 16), Hex(b.state, 16));
  ASSERT_EQ(RandomSeedForEncryption(&a), kCryptOk);
  ASSERT_EQ(RandomSeedForEncryption(&b), kCryptOk);
  EXPECT_NE(Hex(a.state, 16), Hex(b.state, 16));
}

TEST(RandomSeeding, FinalClearsTheState) {
  RandomState random;
  ASSERT_EQ(RandomSeedForEncryption(&random), kCryptOk);
  uint8_t out[3];
  ASSERT_EQ(RandomGetBytes(&random, out, sizeof out), kCryptOk);
  RandomFinal(&random);
  const uint8_t* raw = reinterpret_cast<const uint8_t*>(&random);
  for (size_t i = 0; i < sizeof random; ++i) ASSERT_EQ(raw[i], 0) << i;
}

// The hex digest of the first `total` bytes of `data` given to a streaming
// context in two updates, split at `split`.
template <typename Context>
std::string SplitDigest(void (*init)(Context*), void (*update)(Context*, const uint8_t*, size_t),
                        void (*final)(Context*, uint8_t*), size_t digestLen, const Bytes& data, size_t split,
                        size_t total) {
  Context ctx;
  init(&ctx);
  update(&ctx, data.data(), split);
  update(&ctx, data.data() + split, total - split);
  uint8_t digest[20];
  final(&ctx, digest);
  return Hex(digest, digestLen);
}

// The streaming contexts give the one-shot digest whatever the split,
// including splits at every position around the 64-byte block boundary.
TEST(DigestContexts, SplitUpdatesGiveTheOneShotDigest) {
  std::mt19937 rng(5);
  Bytes data(300);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  for (size_t total : {0u, 15u, 16u, 17u, 55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 300u}) {
    for (size_t split = 0; split <= total; split += (total < 70 ? 1 : 7)) {
      const auto whole = [&](int32_t algorithm, size_t len) {
        uint8_t digest[20];
        DigestBytes(algorithm, data.data(), total, digest);
        return Hex(digest, len);
      };
      ASSERT_EQ(SplitDigest(Md2Init, Md2Update, Md2Final, 16, data, split, total), whole(kCryptDigestMd2, 16))
          << "md2 " << total << "/" << split;
      ASSERT_EQ(SplitDigest(Md5Init, Md5Update, Md5Final, 16, data, split, total), whole(kCryptDigestMd5, 16))
          << "md5 " << total << "/" << split;
      ASSERT_EQ(SplitDigest(Sha1Init, Sha1Update, Sha1Final, 20, data, split, total),
                whole(kCryptDigestSha1, 20))
          << "sha1 " << total << "/" << split;
    }
  }
}

TEST(DigestInfo, PrefixesAreTheDerAlgorithmIdentifiers) {
  uint8_t info[kMaxDigestInfoLen];
  const Bytes abc = ToBytes("abc");
  ASSERT_EQ(DigestInfoOf(kCryptDigestMd2, abc.data(), 3, info), 34u);
  EXPECT_EQ(Hex(info, 34), "3020300c06082a864886f70d020205000410da853b0d3f88d99b30283a69e6ded6bb");
  ASSERT_EQ(DigestInfoOf(kCryptDigestMd5, abc.data(), 3, info), 34u);
  EXPECT_EQ(Hex(info, 34), "3020300c06082a864886f70d020505000410900150983cd24fb0d6963f7d28e17f72");
  ASSERT_EQ(DigestInfoOf(kCryptDigestSha1, abc.data(), 3, info), 35u);
  EXPECT_EQ(Hex(info, 35), "3021300906052b0e03021a05000414a9993e364706816aba3e25717850c26c9cd0d89d");
  EXPECT_EQ(DigestInfoOf(4, abc.data(), 3, info), 0u);
}

}  // namespace
}  // namespace tessaro::crypttest
