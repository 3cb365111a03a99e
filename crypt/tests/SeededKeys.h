// Generators and keys seeded from a fixed text, so that a test sees the same
// numbers on every run. For the tests that link the RSA core.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "crypt/Random.h"
#include "crypt/RsaCore.h"

namespace tessaro::crypttest {

inline RandomState SeededRandom(const std::string& text) {
  RandomState random;
  RandomInit(&random, 0);
  RandomUpdate(&random, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  return random;
}

// A key of `bits` bits made by the generator seeded with "`seed` `bits`".
inline RSAPrivateKey SeededKey(const std::string& seed, uint32_t bits) {
  RandomState random = SeededRandom(seed + " " + std::to_string(bits));
  RSAPublicKey pub;
  RSAPrivateKey priv;
  EXPECT_EQ(RsaGenerateKeys(bits, &pub, &priv, &random), kCryptOk);
  return priv;
}

}  // namespace tessaro::crypttest
