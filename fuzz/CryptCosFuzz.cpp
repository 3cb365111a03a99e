// Fuzz entry for the parsers of outside bytes in the crypt library: the Cos
// key readers, and signatures and ciphertexts handed to Verify and
// RSAPrivateDecrypt. The first byte selects the target; the rest is input.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "crypt/CryptRsa.h"
#include "crypt/RsaCore.h"

namespace {

struct FixedKey {
  RSAPublicKey pub{};
  RSAPrivateKey priv{};
  FixedKey() {
    RandomState random;
    RandomInit(&random, 0);
    static const uint8_t kSeed[] = "fuzz key";
    RandomUpdate(&random, kSeed, sizeof kSeed);
    if (RsaGenerateKeys(512, &pub, &priv, &random) != kCryptOk) std::abort();
  }
};

const FixedKey& Key() {
  static const FixedKey key;
  return key;
}

bool IsStatus(int32_t s) { return s == kCryptOk || (s >= kCryptErrData && s <= kCryptErrSignature); }

void CosKeys(const uint8_t* data, size_t size) {
  RSAPublicKey pub;
  if (CosToPublic(&pub, data, size) == kCryptOk) {
    // Whatever was accepted writes back and reads back to the same record.
    uint8_t cos[kCryptCosPublicMaxLen];
    size_t len = 0;
    RSAPublicKey back;
    if (CosFromPublic(cos, &len, &pub) != kCryptOk) std::abort();
    if (CosToPublic(&back, cos, len) != kCryptOk || std::memcmp(&back, &pub, sizeof pub) != 0) std::abort();
  }
  RSAPrivateKey priv;
  if (CosToPrivate(&priv, data, size) == kCryptOk) {
    uint8_t cos[kCryptCosPrivateMaxLen];
    size_t len = 0;
    RSAPrivateKey back;
    if (CosFromPrivate(5, cos, &len, &priv) == kCryptOk) {
      if (CosToPrivate(&back, cos, len) != kCryptOk || std::memcmp(&back, &priv, sizeof priv) != 0)
        std::abort();
    }
    // An accepted private key signs, and its signature verifies.
    RSAPublicKey derived{};
    derived.bits = priv.bits;
    std::memcpy(derived.modulus, priv.modulus, sizeof derived.modulus);
    std::memcpy(derived.exponent, priv.publicExponent, sizeof derived.exponent);
    uint8_t sig[kCryptMaxModulusLen];
    uint32_t sigLen = 0;
    if (Sign(kCryptDigestMd5, data, static_cast<uint32_t>(size), sig, &sigLen, &priv) != kCryptOk)
      std::abort();
    if (Verify(kCryptDigestMd5, data, static_cast<uint32_t>(size), sig, sigLen, &derived) != kCryptOk)
      std::abort();
  }
}

void Blocks(const uint8_t* data, size_t size) {
  const FixedKey& key = Key();
  uint32_t len = static_cast<uint32_t>(size > 200 ? 200 : size);
  if (!IsStatus(Verify(kCryptDigestSha1, data, len, data, len, &key.pub))) std::abort();
  uint8_t out[kCryptMaxModulusLen];
  uint32_t outLen = 0;
  int32_t s = RSAPrivateDecrypt(out, &outLen, data, len, &key.priv);
  if (!IsStatus(s) || (s == kCryptOk && outLen > 64 - 11)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t* rest = data + 1;
  size_t restSize = size - 1;
  if (data[0] & 1)
    Blocks(rest, restSize);
  else
    CosKeys(rest, restSize);
  return 0;
}
