// Tests of the block-cipher exports DES, DES3 and TDES of the crypt library.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "crypt/Crypt.h"

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

}  // namespace
