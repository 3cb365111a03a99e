// Tests of the block-cipher exports DES, DES3 and TDES of the crypt library.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "crypt/Crypt.h"
#include "testing/TempFolder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using CipherFn = int32_t (*)(const uint8_t*, int32_t, uint8_t*, const uint8_t*, uint32_t);

constexpr int32_t kEncipher = 1;
constexpr int32_t kDecipher = 0;

Bytes FromHex(std::string_view hex) {
  Bytes out;
  auto nibble = [](char c) -> uint8_t {
    if (c >= '0' && c <= '9') return static_cast<uint8_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<uint8_t>(c - 'a' + 10);
    return static_cast<uint8_t>(c - 'A' + 10);
  };
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(nibble(hex[i]) << 4 | nibble(hex[i + 1])));
  }
  return out;
}

std::string ToHex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

size_t Padded(size_t length) { return (length + 7) / 8 * 8; }

// Runs one export into a fresh buffer of the padded length; fails the test on a non-zero result.
Bytes Cipher(CipherFn fn, const Bytes& key, int32_t mode, const Bytes& input) {
  Bytes out(Padded(input.size()), 0xCC);
  EXPECT_EQ(fn(key.data(), mode, out.data(), input.data(), static_cast<uint32_t>(input.size())), 0);
  return out;
}

struct KnownAnswer {
  const char* key;
  const char* plain;
  const char* cipher;
};

// Published single-DES vectors: the FIPS 81 example, NBS/NIST variable-plaintext, variable-key and
// permutation-operation vectors with a zero block, and the full substitution-table set, whose nineteen
// key/plaintext pairs together reach every S-box entry.
const KnownAnswer kDesVectors[] = {
    {"0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},
    {"0123456789ABCDEF", "4E6F77206973207468652074696D6520666F7220616C6C20",
     "3FA40E8A984D48156A271787AB8883F9893D51EC4B563B53"},
    {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
    {"0101010101010101", "4000000000000000", "DD7F121CA5015619"},
    {"0101010101010101", "2000000000000000", "2E8653104F3834EA"},
    {"0101010101010101", "0000000000000001", "166B40B44ABA4BD6"},
    {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
    {"4001010101010101", "0000000000000000", "0EEC1487DD8C26D5"},
    {"1046913489980131", "0000000000000000", "88D55E54F54C97B4"},
    {"1007103489988020", "0000000000000000", "0C0CC00C83EA48FD"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "7A389D10354BD271"},
    {"07A1133E4A0B2686", "0248D43806F67172", "868EBB51CAB4599A"},
    {"3849674C2602319E", "51454B582DDF440A", "7178876E01F19B2A"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "AF37FB421F8C4095"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "86A560F10EC6D85B"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "0CD3DA020021DC09"},
    {"43297FAD38E373FE", "762514B829BF486A", "EA676B2CB7DB2B7A"},
    {"07A7137045DA2A16", "3BDD119049372802", "DFD64A815CAF1A0F"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "5C513C9C4886C088"},
    {"37D06BB516CB7546", "164D5E404F275232", "0A2AEEAE3FF4AB77"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "EF1BF03E5DFA575A"},
    {"584023641ABA6176", "004BD6EF09176062", "88BF0DB6D70DEE56"},
    {"025816164629B007", "480D39006EE762F2", "A1F9915541020B56"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "6FBF1CAFCFFD0556"},
    {"4FB05E1515AB73A7", "072D43A077075292", "2F22E49BAB7CA1AC"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "5A6B612CC26CCE4A"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "5F4C038ED12B2E41"},
    {"1C587F1C13924FEF", "305532286D6F295A", "63FAC0D034D9F793"},
};

class DesKnownAnswer : public testing::TestWithParam<KnownAnswer> {};

TEST_P(DesKnownAnswer, EnciphersToPublishedCipherText) {
  const KnownAnswer& v = GetParam();
  EXPECT_EQ(ToHex(Cipher(DES, FromHex(v.key), kEncipher, FromHex(v.plain))), v.cipher);
}

TEST_P(DesKnownAnswer, DeciphersPublishedCipherText) {
  const KnownAnswer& v = GetParam();
  EXPECT_EQ(ToHex(Cipher(DES, FromHex(v.key), kDecipher, FromHex(v.cipher))), v.plain);
}

INSTANTIATE_TEST_SUITE_P(Published, DesKnownAnswer, testing::ValuesIn(kDesVectors));

// Rivest's iterated test: X(i+1) = E(X(i), X(i)) for even i, D(X(i), X(i)) for odd i; the block is also
// the key, so every step depends on the key schedule and the rounds together.
TEST(Des, IteratedKeyEqualsBlockTestReachesPublishedValue) {
  Bytes x = FromHex("9474B8E8C73BCA7D");
  for (int i = 0; i < 16; ++i) x = Cipher(DES, x, i % 2 == 0 ? kEncipher : kDecipher, x);
  EXPECT_EQ(ToHex(x), "1B1A2DDB4C642438");
}

TEST(Des, IgnoresKeyParityBits) {
  const Bytes plain = FromHex("4E6F772069732074");
  Bytes key = FromHex("0123456789ABCDEF");
  for (uint8_t& b : key) b ^= 1;
  EXPECT_EQ(ToHex(Cipher(DES, key, kEncipher, plain)), "3FA40E8A984D4815");
}

// The three-key example of the TDEA recommendation (NIST SP 800-67).
TEST(Des3, EnciphersPublishedThreeKeyExample) {
  const Bytes key = FromHex("0123456789ABCDEF23456789ABCDEF01456789ABCDEF0123");
  const Bytes plain = FromHex("54686520717566636B2062726F776E20666F78206A756D70");
  const std::string cipher = "A826FD8CE53B855FCCE21C8112256FE668D5C05DD9B6B900";
  EXPECT_EQ(ToHex(Cipher(DES3, key, kEncipher, plain)), cipher);
  EXPECT_EQ(Cipher(DES3, key, kDecipher, FromHex(cipher)), plain);
}

// TDES is DES3 with K1 K2 K1, i.e. E(K1, D(K2, E(K1, x))), built here from single DES.
TEST(Tdes, EqualsEncipherDecipherEncipherWithK1K2K1) {
  const Bytes k1 = FromHex("0123456789ABCDEF");
  const Bytes k2 = FromHex("FEDCBA9876543210");
  Bytes key = k1;
  key.insert(key.end(), k2.begin(), k2.end());
  const Bytes plain = FromHex("4E6F77206973207468652074696D6520666F7220616C6C20");
  const Bytes expected =
      Cipher(DES, k1, kEncipher, Cipher(DES, k2, kDecipher, Cipher(DES, k1, kEncipher, plain)));
  const Bytes cipher = Cipher(TDES, key, kEncipher, plain);
  EXPECT_EQ(cipher, expected);
  EXPECT_NE(cipher, Cipher(DES, k1, kEncipher, plain));
  EXPECT_EQ(Cipher(TDES, key, kDecipher, cipher), plain);
}

// Properties every export shares, run for each of them.
struct Export {
  const char* name;
  CipherFn fn;
  const char* key;
  const char* openSslCipher;  // arguments naming the same cipher to `openssl enc`
};

const Export kExports[] = {
    {"DES", DES, "133457799BBCDFF1", "-des-ecb -provider legacy -provider default"},
    {"DES3", DES3, "0123456789ABCDEF23456789ABCDEF01456789ABCDEF0123", "-des-ede3-ecb"},
    {"TDES", TDES, "3A5F0C29E1D4B7688C01F2A9D0E3B475", "-des-ede-ecb"},
};

class EveryExport : public testing::TestWithParam<Export> {
 protected:
  CipherFn Fn() const { return GetParam().fn; }
  Bytes Key() const { return FromHex(GetParam().key); }
};

Bytes Sample(size_t length, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes out(length);
  for (uint8_t& b : out) b = static_cast<uint8_t>(rng());
  return out;
}

TEST_P(EveryExport, LengthZeroWritesNothingAndSucceeds) {
  const Bytes key = Key();
  const Bytes input = Sample(8, 1);
  for (int32_t mode : {kEncipher, kDecipher}) {
    Bytes out(16, 0xAB);
    EXPECT_EQ(Fn()(key.data(), mode, out.data(), input.data(), 0), 0);
    EXPECT_EQ(out, Bytes(16, 0xAB));
    EXPECT_EQ(Fn()(nullptr, mode, nullptr, nullptr, 0), 0);
  }
}

TEST_P(EveryExport, WholeBlocksGetNoPaddingAndRoundTrip) {
  const Bytes key = Key();
  for (size_t length : {8u, 16u}) {
    const Bytes plain = Sample(length, static_cast<uint32_t>(length));
    Bytes cipher(length + 8, 0xAB);
    ASSERT_EQ(Fn()(key.data(), kEncipher, cipher.data(), plain.data(), static_cast<uint32_t>(length)), 0);
    EXPECT_EQ(Bytes(cipher.begin() + length, cipher.end()), Bytes(8, 0xAB)) << "wrote past " << length;
    cipher.resize(length);
    EXPECT_NE(cipher, plain);
    EXPECT_EQ(Cipher(Fn(), key, kDecipher, cipher), plain);
  }
}

// A length that is not a multiple of 8 is completed with 0x80 then zeros, in both modes, and the whole
// padded block is written; nothing is removed when deciphering.
TEST_P(EveryExport, ShortInputIsPaddedWith80ThenZerosInBothModes) {
  const Bytes key = Key();
  for (int32_t mode : {kEncipher, kDecipher}) {
    for (size_t length : {1u, 7u, 13u, 17u, 23u}) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << ", length " << length);
      const Bytes input = Sample(length, static_cast<uint32_t>(length));
      Bytes padded = input;
      padded.push_back(0x80);
      padded.resize(Padded(length), 0x00);
      Bytes out(Padded(length) + 8, 0xAB);
      ASSERT_EQ(Fn()(key.data(), mode, out.data(), input.data(), static_cast<uint32_t>(length)), 0);
      EXPECT_EQ(Bytes(out.begin() + Padded(length), out.end()), Bytes(8, 0xAB));
      out.resize(Padded(length));
      EXPECT_EQ(out, Cipher(Fn(), key, mode, padded));
    }
  }
}

TEST_P(EveryExport, ThirteenBytesEncipherToSixteenThatDecipherToInputAndPadding) {
  const Bytes key = Key();
  const Bytes plain = Sample(13, 13);
  const Bytes cipher = Cipher(Fn(), key, kEncipher, plain);
  ASSERT_EQ(cipher.size(), 16u);
  Bytes expected = plain;
  expected.insert(expected.end(), {0x80, 0x00, 0x00});
  EXPECT_EQ(Cipher(Fn(), key, kDecipher, cipher), expected);
}

TEST_P(EveryExport, WorkingInPlaceEqualsWorkingIntoAnotherBuffer) {
  const Bytes key = Key();
  for (int32_t mode : {kEncipher, kDecipher}) {
    for (size_t length : {8u, 13u, 40u}) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << ", length " << length);
      const Bytes input = Sample(length, 7);
      const Bytes separate = Cipher(Fn(), key, mode, input);
      Bytes buffer = input;
      buffer.resize(Padded(length), 0x5A);  // the bytes past length must not leak into the result
      ASSERT_EQ(Fn()(key.data(), mode, buffer.data(), buffer.data(), static_cast<uint32_t>(length)), 0);
      EXPECT_EQ(buffer, separate);
    }
  }
}

TEST_P(EveryExport, RefusesNullKeyOrBuffers) {
  const Bytes key = Key();
  const Bytes input = Sample(8, 3);
  Bytes out(8);
  EXPECT_NE(Fn()(nullptr, kEncipher, out.data(), input.data(), 8), 0);
  EXPECT_NE(Fn()(key.data(), kEncipher, nullptr, input.data(), 8), 0);
  EXPECT_NE(Fn()(key.data(), kEncipher, out.data(), nullptr, 8), 0);
}

TEST_P(EveryExport, ConcurrentCallsGiveTheSerialResults) {
  constexpr int kThreads = 4;
  const Bytes key = Key();
  std::vector<Bytes> inputs, expected;
  for (int t = 0; t < kThreads; ++t) {
    inputs.push_back(Sample(1024 + 8 * t, static_cast<uint32_t>(100 + t)));
    expected.push_back(Cipher(Fn(), key, t % 2 == 0 ? kEncipher : kDecipher, inputs.back()));
  }
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      Bytes out(inputs[t].size());
      for (int i = 0; i < 200; ++i) {
        const int32_t rc = Fn()(key.data(), t % 2 == 0 ? kEncipher : kDecipher, out.data(), inputs[t].data(),
                                static_cast<uint32_t>(inputs[t].size()));
        if (rc != 0 || out != expected[t]) ++mismatches[t];
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(mismatches, std::vector<int>(kThreads, 0));
}

bool HaveOpenSsl() { return std::system("command -v openssl >/dev/null 2>&1") == 0; }

// Runs `openssl enc` without padding over input; nullopt when openssl fails (e.g. a missing provider).
std::optional<Bytes> OpenSslEnc(const tessaro::test::TempFolder& dir, const char* cipher, const Bytes& key,
                                int32_t mode, const Bytes& input) {
  const std::filesystem::path in = dir.File("in.bin"), out = dir.File("out.bin");
  std::filesystem::remove(out);
  {
    std::ofstream f(in, std::ios::binary);
    f.write(reinterpret_cast<const char*>(input.data()), static_cast<std::streamsize>(input.size()));
  }
  const std::string command = std::string("openssl enc ") + cipher + " -K " + ToHex(key) + " -nopad" +
                              (mode == kEncipher ? " -e" : " -d") + " -in '" + in.string() + "' -out '" +
                              out.string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return std::nullopt;
  std::ifstream f(out, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

TEST_P(EveryExport, AgreesWithOpenSslOnRandomBuffers) {
  if (!HaveOpenSsl()) GTEST_SKIP() << "openssl is not on PATH";
  const tessaro::test::TempFolder dir("tessaro-des-test");
  const Bytes probeKey = Key();
  if (!OpenSslEnc(dir, GetParam().openSslCipher, probeKey, kEncipher, Bytes(8, 0))) {
    GTEST_SKIP() << "openssl cannot run " << GetParam().openSslCipher << " (legacy provider missing?)";
  }
  std::mt19937 rng(0x7E55A60u);
  for (size_t length : {8u, 16u, 64u, 1000u, 4096u}) {
    Bytes key(probeKey.size());
    for (uint8_t& b : key) b = static_cast<uint8_t>(rng());
    const Bytes data = Sample(length, static_cast<uint32_t>(rng()));
    for (int32_t mode : {kEncipher, kDecipher}) {
      SCOPED_TRACE(testing::Message() << "key " << ToHex(key) << ", mode " << mode << ", length " << length);
      const std::optional<Bytes> reference = OpenSslEnc(dir, GetParam().openSslCipher, key, mode, data);
      ASSERT_TRUE(reference.has_value());
      EXPECT_EQ(ToHex(Cipher(Fn(), key, mode, data)), ToHex(*reference));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllExports, EveryExport, testing::ValuesIn(kExports),
                         [](const testing::TestParamInfo<Export>& info) {
                           return std::string(info.param.name);
                         });

// Degenerate keys collapse triple DES to single DES.
TEST(Tdes, WithEqualHalvesEqualsDesWithThatKey) {
  const Bytes k1 = FromHex("133457799BBCDFF1");
  const Bytes data = Sample(40, 9);
  Bytes key = k1;
  key.insert(key.end(), k1.begin(), k1.end());
  for (int32_t mode : {kEncipher, kDecipher})
    EXPECT_EQ(Cipher(TDES, key, mode, data), Cipher(DES, k1, mode, data));
}

TEST(Des3, WithThreeEqualKeysEqualsDesWithThatKey) {
  const Bytes k1 = FromHex("0E329232EA6D0D73");
  const Bytes data = Sample(40, 10);
  Bytes key;
  for (int i = 0; i < 3; ++i) key.insert(key.end(), k1.begin(), k1.end());
  for (int32_t mode : {kEncipher, kDecipher})
    EXPECT_EQ(Cipher(DES3, key, mode, data), Cipher(DES, k1, mode, data));
}

// DES3 applies K1, K2, K3 in that order when enciphering: swapping K1 and K3 must change the result.
TEST(Des3, UsesKeysInOrderK1K2K3) {
  const Bytes k1 = FromHex("0123456789ABCDEF"), k2 = FromHex("23456789ABCDEF01"),
              k3 = FromHex("456789ABCDEF0123");
  const Bytes data = Sample(24, 11);
  Bytes key = k1;
  key.insert(key.end(), k2.begin(), k2.end());
  key.insert(key.end(), k3.begin(), k3.end());
  const Bytes expected =
      Cipher(DES, k3, kEncipher, Cipher(DES, k2, kDecipher, Cipher(DES, k1, kEncipher, data)));
  EXPECT_EQ(Cipher(DES3, key, kEncipher, data), expected);
  EXPECT_EQ(Cipher(DES3, key, kDecipher, expected), data);
}

}  // namespace
