// The Digest export against the published test suites of MD2 (RFC 1319),
// MD5 (RFC 1321) and SHA-1 (FIPS 180-1).
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "crypt/CryptRsa.h"
#include "crypt/tests/KeyTestUtil.h"

namespace tessaro::crypttest {
namespace {

struct DigestCase {
  int32_t algorithm;
  std::string input;
  const char* expected;
};

std::string PrintCase(const testing::TestParamInfo<DigestCase>& info) {
  const char* name = info.param.algorithm == kCryptDigestMd2   ? "Md2"
                     : info.param.algorithm == kCryptDigestMd5 ? "Md5"
                                                               : "Sha1";
  return std::string(name) + "_" + std::to_string(info.index) + "_len" +
         std::to_string(info.param.input.size());
}

const std::string kAlnum = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
const std::string kDigits80 =
    "12345678901234567890123456789012345678901234567890123456789012345678901234567890";

class DigestSuite : public testing::TestWithParam<DigestCase> {};

TEST_P(DigestSuite, MatchesPublishedDigest) {
  const DigestCase& c = GetParam();
  uint8_t digest[kCryptMaxDigestLen];
  uint32_t len = 0;
  ASSERT_EQ(Digest(c.algorithm, reinterpret_cast<const uint8_t*>(c.input.data()),
                   static_cast<uint32_t>(c.input.size()), digest, &len),
            kCryptOk);
  EXPECT_EQ(Hex(digest, len), c.expected);
}

// The messages of the MD2 and MD5 test suites, which are the same seven, with
// the digest each suite publishes.
struct RfcMessage {
  std::string input;
  const char* md2;
  const char* md5;
};

const RfcMessage kRfcSuite[] = {
    {"", "8350e5a3e24c153df2275c9f80692773", "d41d8cd98f00b204e9800998ecf8427e"},
    {"a", "32ec01ec4a6dac72c0ab96fb34c0b5d1", "0cc175b9c0f1b6a831c399e269772661"},
    {"abc", "da853b0d3f88d99b30283a69e6ded6bb", "900150983cd24fb0d6963f7d28e17f72"},
    {"message digest", "ab4f496bfb2a530b219ff33031fe06b0", "f96b697d7cb7938d525a2f31aaf161d0"},
    {"abcdefghijklmnopqrstuvwxyz", "4e8ddff3650292ab5a4108c3aa47940b", "c3fcd3d76192e4007dfb496cca67e13b"},
    {kAlnum, "da33def2a42df13975352846c30338cd", "d174ab98d277d9f5a5611c2c9f419d9f"},
    {kDigits80, "d5976f79d83d3a0dc9806c3c66f3efd8", "57edf4a22be3c955ac49da2e2107b67a"},
};

std::vector<DigestCase> RfcCases(int32_t algorithm, const char* RfcMessage::*digest) {
  std::vector<DigestCase> cases;
  for (const RfcMessage& m : kRfcSuite) cases.push_back({algorithm, m.input, m.*digest});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Rfc1319, DigestSuite, testing::ValuesIn(RfcCases(kCryptDigestMd2, &RfcMessage::md2)),
                         PrintCase);
INSTANTIATE_TEST_SUITE_P(Rfc1321, DigestSuite, testing::ValuesIn(RfcCases(kCryptDigestMd5, &RfcMessage::md5)),
                         PrintCase);

INSTANTIATE_TEST_SUITE_P(
    Fips1801, DigestSuite,
    testing::Values(DigestCase{kCryptDigestSha1, "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
                    DigestCase{kCryptDigestSha1, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
                               "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
                    DigestCase{kCryptDigestSha1, std::string(1000000, 'a'),
                               "34aa973cd4c4daa4f61eeb2bdbad27316534016f"}),
    PrintCase);

TEST(Digest, UnknownAlgorithmIsRefusedAndWritesNothing) {
  for (int32_t algorithm : {-1, 0, 1, 2, 4, 6, 25, 27, 0x7fffffff}) {
    uint8_t digest[kCryptMaxDigestLen];
    std::memset(digest, 0xA5, sizeof digest);
    uint32_t len = 0xDEADBEEF;
    EXPECT_EQ(Digest(algorithm, reinterpret_cast<const uint8_t*>("abc"), 3, digest, &len), kCryptErrDigest)
        << algorithm;
    EXPECT_EQ(len, 0xDEADBEEFu);
    for (uint8_t b : digest) ASSERT_EQ(b, 0xA5);
  }
}

TEST(Digest, WritesOnlyTheDigestLength) {
  for (int32_t algorithm : {kCryptDigestMd2, kCryptDigestMd5, kCryptDigestSha1}) {
    uint8_t digest[kCryptMaxDigestLen + 4];
    std::memset(digest, 0xA5, sizeof digest);
    uint32_t len = 0;
    ASSERT_EQ(Digest(algorithm, nullptr, 0, digest, &len), kCryptOk);
    EXPECT_EQ(len, algorithm == kCryptDigestSha1 ? 20u : 16u);
    for (size_t i = len; i < sizeof digest; ++i) EXPECT_EQ(digest[i], 0xA5) << algorithm << " byte " << i;
  }
}

TEST(Digest, MissingOutputIsRefused) {
  uint8_t digest[kCryptMaxDigestLen];
  uint32_t len = 0;
  EXPECT_EQ(Digest(kCryptDigestMd5, nullptr, 5, digest, &len), kCryptErrData);
  EXPECT_EQ(Digest(kCryptDigestMd5, nullptr, 0, nullptr, &len), kCryptErrData);
  EXPECT_EQ(Digest(kCryptDigestMd5, nullptr, 0, digest, nullptr), kCryptErrData);
}

}  // namespace
}  // namespace tessaro::crypttest
