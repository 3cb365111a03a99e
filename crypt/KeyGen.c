/* RSA key generation: two primes of half the modulus length each, e = 65537,
 * and the CRT fields of the private key. */
#include <string.h>

#include "crypt/BigNum.h"
#include "crypt/CryptRsa.h"
#include "crypt/Random.h"
#include "crypt/RsaCore.h"
#include "crypt/Wipe.h"

enum { kN = kBnModDigits, kMinBits = 508, kKeyBits = 1024 };

int32_t RsaGenerateKeys(uint32_t bits, RSAPublicKey* publicKey, RSAPrivateKey* privateKey,
                        RandomState* random) {
  if (bits < kMinBits || bits > kCryptMaxModulusBits) return kCryptErrModulusLen;

  BnDigit e[kN], p[kN], q[kN], pMinusOne[kN], qMinusOne[kN], phi[2 * kN], n[2 * kN];
  BnDigit d[kN], dP[kN], dQ[kN], qInv[kN];
  RSAPublicKey pub;
  RSAPrivateKey priv;
  int32_t status;
  BnSetDigit(e, 65537, kN);

  unsigned pBits = (bits + 1) / 2, qBits = bits - pBits;
  status = GeneratePrime(p, pBits, e, random);
  if (status != kCryptOk) goto done;
  do {
    status = GeneratePrime(q, qBits, e, random);
    if (status != kCryptOk) goto done;
  } while (BnCompare(p, q, kN) == 0);
  if (BnCompare(p, q, kN) < 0) { /* p > q */
    BnCopy(d, p, kN);
    BnCopy(p, q, kN);
    BnCopy(q, d, kN);
  }

  BnMul(n, p, q, kN);
  BnSubDigit(pMinusOne, p, 1, kN);
  BnSubDigit(qMinusOne, q, 1, kN);
  BnMul(phi, pMinusOne, qMinusOne, kN);
  /* Both primes were chosen with gcd(e, prime - 1) = 1, so the inverses exist. */
  BnModInverse(d, e, phi, kN);
  BnDivMod(NULL, dP, d, kN, pMinusOne, kN);
  BnDivMod(NULL, dQ, d, kN, qMinusOne, kN);
  BnModInverse(qInv, q, p, kN);

  memset(&pub, 0, sizeof pub);
  memset(&priv, 0, sizeof priv);
  pub.bits = priv.bits = bits;
  BnToBytes(pub.modulus, sizeof pub.modulus, n, kN);
  BnToBytes(pub.exponent, sizeof pub.exponent, e, kN);
  memcpy(priv.modulus, pub.modulus, sizeof priv.modulus);
  memcpy(priv.publicExponent, pub.exponent, sizeof priv.publicExponent);
  BnToBytes(priv.exponent, sizeof priv.exponent, d, kN);
  BnToBytes(priv.prime[0], sizeof priv.prime[0], p, kN);
  BnToBytes(priv.prime[1], sizeof priv.prime[1], q, kN);
  BnToBytes(priv.primeExponent[0], sizeof priv.primeExponent[0], dP, kN);
  BnToBytes(priv.primeExponent[1], sizeof priv.primeExponent[1], dQ, kN);
  BnToBytes(priv.coefficient, sizeof priv.coefficient, qInv, kN);
  memcpy(publicKey, &pub, sizeof pub);
  memcpy(privateKey, &priv, sizeof priv);

done:
  CRYPT_WIPE_ALL({p, sizeof p}, {q, sizeof q}, {pMinusOne, sizeof pMinusOne}, {qMinusOne, sizeof qMinusOne},
                 {phi, sizeof phi}, {d, sizeof d}, {dP, sizeof dP}, {dQ, sizeof dQ}, {qInv, sizeof qInv});
  CryptWipe(&priv, sizeof priv);
  return status;
}

int32_t R_GenerateRsaKeys(RSAPublicKey* publicKey, RSAPrivateKey* privateKey) {
  if (publicKey == NULL || privateKey == NULL) return kCryptErrData;
  RandomState random;
  int32_t status = RandomSeedForKeyGeneration(&random);
  if (status == kCryptOk) status = RsaGenerateKeys(kKeyBits, publicKey, privateKey, &random);
  RandomFinal(&random);
  return status;
}

int32_t X_GenerateRsaKeys(uint8_t* cosPublicKey, uint8_t* cosPrivateKey) {
  if (cosPublicKey == NULL || cosPrivateKey == NULL) return kCryptErrData;
  RSAPublicKey pub;
  RSAPrivateKey priv;
  uint8_t cosPub[kCryptCosPublicMaxLen], cosPriv[kCryptCosPrivateMaxLen];
  size_t pubLen = 0, privLen = 0;
  int32_t status = R_GenerateRsaKeys(&pub, &priv);
  if (status == kCryptOk) status = CosFromPublic(cosPub, &pubLen, &pub);
  if (status == kCryptOk) status = CosFromPrivate(5, cosPriv, &privLen, &priv);
  if (status == kCryptOk) {
    memcpy(cosPublicKey, cosPub, pubLen);
    memcpy(cosPrivateKey, cosPriv, privLen);
  }
  CryptWipe(&priv, sizeof priv);
  CryptWipe(cosPriv, sizeof cosPriv);
  return status;
}
