// Cross-checks with the `openssl` command: keys made here pass its key
// check, its signatures and ciphertexts are accepted here and ours there.
// Skipped when the command is missing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "crypt/CryptRsa.h"
#include "crypt/tests/KeyTestUtil.h"

namespace tessaro::crypttest {
namespace {

class OpenSsl : public testing::Test {
 protected:
  void SetUp() override {
    if (!HaveOpenSsl()) GTEST_SKIP() << "the openssl command is not installed";
    FPriv = SharedPrivateKey();
    FPub = SharedPublicKey();
    FDir.Write("key.pem", PrivateKeyPem(FPriv));
    FDir.Write("pub.pem", PublicKeyPem(FPub));
  }

  std::string In(const std::string& name) const { return "'" + FDir.File(name) + "'"; }

  // Runs an openssl command line; fails the test when it exits non-zero.
  std::string OpenSslOk(const std::string& args) {
    std::string out;
    int rc = crypttest::Run("openssl " + args, &out);
    EXPECT_EQ(rc, 0) << "openssl " << args << "\n" << out;
    return out;
  }

  test::TempFolder FDir{"tessaro-crypt"};
  RSAPrivateKey FPriv{};
  RSAPublicKey FPub{};
};

const char* DigestName(int32_t algorithm) {
  return algorithm == kCryptDigestMd2 ? "md2" : algorithm == kCryptDigestMd5 ? "md5" : "sha1";
}

TEST_F(OpenSsl, GeneratedKeyPassesTheKeyCheck) {
  std::string out = OpenSslOk("rsa -check -noout -in " + In("key.pem"));
  EXPECT_NE(out.find("RSA key ok"), std::string::npos) << out;
  out = OpenSslOk("rsa -noout -text -in " + In("key.pem"));
  EXPECT_NE(out.find("1024 bit"), std::string::npos) << out;
  EXPECT_NE(out.find("publicExponent: 65537"), std::string::npos) << out;
}

TEST_F(OpenSsl, OurSignaturesVerifyThere) {
  const Bytes message = ToBytes("signed by Tessaro, verified by OpenSSL");
  FDir.Write("message", message);
  for (int32_t algorithm : {kCryptDigestMd5, kCryptDigestSha1}) {
    uint8_t sig[128];
    uint32_t len = 0;
    ASSERT_EQ(Sign(algorithm, message.data(), message.size(), sig, &len, &FPriv), kCryptOk);
    FDir.Write("sig", Bytes(sig, sig + len));
    std::string out = OpenSslOk(std::string("dgst -") + DigestName(algorithm) + " -verify " + In("pub.pem") +
                                " -signature " + In("sig") + " " + In("message"));
    EXPECT_NE(out.find("Verified OK"), std::string::npos) << DigestName(algorithm) << ": " << out;
  }
}

TEST_F(OpenSsl, RecoveredDigestInfoNamesTheAlgorithmAndHoldsTheDigest) {
  // OpenSSL no longer digests with MD2, but it can still recover and parse
  // the DigestInfo under any of our signatures.
  const Bytes message = ToBytes("digest info");
  for (int32_t algorithm : {kCryptDigestMd2, kCryptDigestMd5, kCryptDigestSha1}) {
    uint8_t sig[128], digest[20];
    uint32_t len = 0, digestLen = 0;
    ASSERT_EQ(Sign(algorithm, message.data(), message.size(), sig, &len, &FPriv), kCryptOk);
    ASSERT_EQ(Digest(algorithm, message.data(), message.size(), digest, &digestLen), kCryptOk);
    FDir.Write("sig", Bytes(sig, sig + len));
    OpenSslOk("pkeyutl -verifyrecover -pubin -inkey " + In("pub.pem") + " -in " + In("sig") + " -out " +
              In("info.der"));
    std::string out = OpenSslOk("asn1parse -inform DER -in " + In("info.der"));
    EXPECT_NE(out.find(std::string(":") + DigestName(algorithm)), std::string::npos) << out;
    std::string hex = Hex(digest, digestLen);
    for (auto& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_NE(out.find("[HEX DUMP]:" + hex), std::string::npos) << out;
  }
}

TEST_F(OpenSsl, TheirSignaturesVerifyHere) {
  const Bytes message = ToBytes("signed by OpenSSL, verified by Tessaro");
  FDir.Write("message", message);
  for (int32_t algorithm : {kCryptDigestMd5, kCryptDigestSha1}) {
    OpenSslOk(std::string("dgst -") + DigestName(algorithm) + " -sign " + In("key.pem") + " -out " +
              In("sig") + " " + In("message"));
    Bytes sig = FDir.Read("sig");
    ASSERT_EQ(sig.size(), 128u);
    EXPECT_EQ(Verify(algorithm, message.data(), message.size(), sig.data(), sig.size(), &FPub), kCryptOk)
        << DigestName(algorithm);
    Bytes other = ToBytes("signed by OpenSSL, verified by Tessaro!");
    EXPECT_EQ(Verify(algorithm, other.data(), other.size(), sig.data(), sig.size(), &FPub),
              kCryptErrSignature);
  }
}

TEST_F(OpenSsl, OurCiphertextDecryptsThere) {
  for (size_t len : {1u, 50u, 117u}) {
    Bytes message(len);
    for (size_t i = 0; i < len; ++i) message[i] = static_cast<uint8_t>(0xC0 ^ i);
    uint8_t cipher[128];
    uint32_t cipherLen = 0;
    ASSERT_EQ(RSAPublicEncrypt(cipher, &cipherLen, message.data(), len, &FPub), kCryptOk);
    FDir.Write("cipher", Bytes(cipher, cipher + cipherLen));
    OpenSslOk("pkeyutl -decrypt -inkey " + In("key.pem") + " -pkeyopt rsa_padding_mode:pkcs1 -in " +
              In("cipher") + " -out " + In("plain"));
    EXPECT_EQ(Hex(FDir.Read("plain")), Hex(message)) << len;
  }
}

TEST_F(OpenSsl, TheirCiphertextDecryptsHere) {
  for (size_t len : {1u, 64u, 117u}) {
    Bytes message(len);
    for (size_t i = 0; i < len; ++i) message[i] = static_cast<uint8_t>(3 * i + 5);
    FDir.Write("plain", message);
    OpenSslOk("pkeyutl -encrypt -pubin -inkey " + In("pub.pem") + " -pkeyopt rsa_padding_mode:pkcs1 -in " +
              In("plain") + " -out " + In("cipher"));
    Bytes cipher = FDir.Read("cipher");
    uint8_t plain[128];
    uint32_t plainLen = 0;
    ASSERT_EQ(RSAPrivateDecrypt(plain, &plainLen, cipher.data(), cipher.size(), &FPriv), kCryptOk);
    EXPECT_EQ(Hex(plain, plainLen), Hex(message)) << len;
  }
}

TEST_F(OpenSsl, KeysMadeThereWorkHere) {
  // OpenSSL's keys need not order p > q; the private operation must not care.
  for (int round = 0; round < 3; ++round) {
    OpenSslOk("genrsa -out " + In("theirs.pem") + " 1024");
    std::string text = OpenSslOk("rsa -noout -text -in " + In("theirs.pem"));
    auto key = PrivateKeyFromOpenSslText(text, 1024);
    ASSERT_TRUE(key.has_value()) << text;
    RSAPublicKey pub = PublicOf(*key);
    const Bytes message = ToBytes("their key " + std::to_string(round));
    FDir.Write("message", message);
    OpenSslOk("dgst -sha1 -sign " + In("theirs.pem") + " -out " + In("sig") + " " + In("message"));
    Bytes theirSig = FDir.Read("sig");
    uint8_t sig[128];
    uint32_t len = 0;
    ASSERT_EQ(Sign(kCryptDigestSha1, message.data(), message.size(), sig, &len, &*key), kCryptOk);
    EXPECT_EQ(Hex(sig, len), Hex(theirSig)) << "PKCS #1 v1.5 signatures are deterministic";
    EXPECT_EQ(
        Verify(kCryptDigestSha1, message.data(), message.size(), theirSig.data(), theirSig.size(), &pub),
        kCryptOk);
  }
}

TEST_F(OpenSsl, DigestsAgreeAroundThePaddingBoundaries) {
  for (size_t len : {0u, 1u, 55u, 56u, 57u, 63u, 64u, 65u, 119u, 120u, 127u, 128u, 129u, 1000u}) {
    Bytes data(len);
    for (size_t i = 0; i < len; ++i) data[i] = static_cast<uint8_t>(i * 31 + 7);
    FDir.Write("data", data);
    for (int32_t algorithm : {kCryptDigestMd5, kCryptDigestSha1}) {
      uint8_t digest[20];
      uint32_t digestLen = 0;
      ASSERT_EQ(Digest(algorithm, data.data(), data.size(), digest, &digestLen), kCryptOk);
      std::string out = OpenSslOk(std::string("dgst -") + DigestName(algorithm) + " -r " + In("data"));
      EXPECT_EQ(out.substr(0, 2 * digestLen), Hex(digest, digestLen)) << DigestName(algorithm) << " " << len;
    }
  }
}

}  // namespace
}  // namespace tessaro::crypttest
