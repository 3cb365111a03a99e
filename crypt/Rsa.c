/* Raw RSA operations and the signature and encryption exports (PKCS #1
 * v1.5 block types 01 and 02). */
#include <string.h>

#include "crypt/BigNum.h"
#include "crypt/CryptRsa.h"
#include "crypt/Digests.h"
#include "crypt/Random.h"
#include "crypt/RsaCore.h"
#include "crypt/Wipe.h"

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "the key records store bits little-endian; this host is not"
#endif
_Static_assert(sizeof(RSAPublicKey) == 260, "the public key record is 260 bytes");
_Static_assert(sizeof(RSAPrivateKey) == 708, "the private key record is 708 bytes");

enum { kN = kBnModDigits }; /* digits of every number below */

size_t RsaModulusLen(uint32_t bits) { return ((size_t)bits + 7) / 8; }

int32_t RsaPublicBlock(uint8_t* out, size_t* outLen, const uint8_t* in, size_t inLen,
                       const RSAPublicKey* key) {
  if (key->bits == 0 || key->bits > kCryptMaxModulusBits) return kCryptErrLen;
  size_t k = RsaModulusLen(key->bits);
  if (inLen > k) return kCryptErrLen;

  BnDigit n[kN], e[kN], c[kN], m[kN];
  int32_t status = kCryptOk;
  BnFromBytes(n, kN, key->modulus, sizeof key->modulus);
  BnFromBytes(e, kN, key->exponent, sizeof key->exponent);
  BnFromBytes(c, kN, in, inLen);
  if (BnBitLength(n, kN) > 8 * k || (n[0] & 1u) == 0 || BnCompareDigit(n, 1, kN) <= 0 || BnIsZero(e, kN) ||
      BnCompare(c, n, kN) >= 0) {
    status = kCryptErrData;
  } else {
    BnModExp(m, c, kN, e, kN, n, kN);
    BnToBytes(out, k, m, kN);
    *outLen = k;
  }
  CryptWipe(c, sizeof c);
  CryptWipe(m, sizeof m);
  return status;
}

int32_t RsaPrivateBlock(uint8_t* out, size_t* outLen, const uint8_t* in, size_t inLen,
                        const RSAPrivateKey* key) {
  if (key->bits == 0 || key->bits > kCryptMaxModulusBits) return kCryptErrPrivateKey;
  size_t k = RsaModulusLen(key->bits);
  if (inLen > k) return kCryptErrLen;

  BnDigit n[kN], e[kN], p[kN], q[kN], dP[kN], dQ[kN], qInv[kN];
  BnDigit c[kN], m1[kN], m2[kN], t[kN], prod[2 * kN], m[kN];
  BnMont montP, montQ;
  int32_t status = kCryptOk;
  BnFromBytes(n, kN, key->modulus, sizeof key->modulus);
  BnFromBytes(e, kN, key->publicExponent, sizeof key->publicExponent);
  BnFromBytes(p, kN, key->prime[0], sizeof key->prime[0]);
  BnFromBytes(q, kN, key->prime[1], sizeof key->prime[1]);
  BnFromBytes(dP, kN, key->primeExponent[0], sizeof key->primeExponent[0]);
  BnFromBytes(dQ, kN, key->primeExponent[1], sizeof key->primeExponent[1]);
  BnFromBytes(qInv, kN, key->coefficient, sizeof key->coefficient);
  BnFromBytes(c, kN, in, inLen);

  if (BnBitLength(n, kN) > 8 * k || BnMontInit(&montP, p, kN) != 0 || BnMontInit(&montQ, q, kN) != 0) {
    status = kCryptErrPrivateKey;
    goto done;
  }
  if (BnCompare(c, n, kN) >= 0) {
    status = kCryptErrData;
    goto done;
  }

  /* m1 = c^dP mod p, m2 = c^dQ mod q, h = qInv (m1 - m2) mod p, m = m2 + h q. */
  BnDivMod(NULL, t, c, kN, p, kN);
  BnMontTo(&montP, t, t);
  BnMontExp(&montP, t, t, dP, kN);
  BnMontFrom(&montP, m1, t);
  BnZero(m1 + montP.digits, kN - montP.digits);

  BnDivMod(NULL, t, c, kN, q, kN);
  BnMontTo(&montQ, t, t);
  BnMontExp(&montQ, t, t, dQ, kN);
  BnMontFrom(&montQ, m2, t);
  BnZero(m2 + montQ.digits, kN - montQ.digits);

  BnDivMod(NULL, t, m2, kN, p, kN);
  if (BnSub(t, m1, t, kN) != 0) BnAdd(t, t, p, kN);
  BnMul(prod, t, qInv, kN);
  BnDivMod(NULL, t, prod, 2 * kN, p, kN);
  BnMul(prod, t, q, kN);
  if (BnAdd(prod, prod, m2, kN) != 0 || !BnIsZero(prod + kN, kN)) {
    status = kCryptErrPrivateKey; /* above 2^1024: the fields cannot belong together */
    goto done;
  }
  BnCopy(m, prod, kN);

  /* A wrong field (or a fault during the computation) must not release a
   * wrong result: check m^e = c mod n. */
  if (BnCompare(m, n, kN) >= 0 || BnIsZero(e, kN) || BnModExp(t, m, kN, e, kN, n, kN) != 0 ||
      BnCompare(t, c, kN) != 0) {
    status = kCryptErrPrivateKey;
    goto done;
  }
  BnToBytes(out, k, m, kN);
  *outLen = k;

done:
  CRYPT_WIPE_ALL({p, sizeof p}, {q, sizeof q}, {dP, sizeof dP}, {dQ, sizeof dQ}, {qInv, sizeof qInv},
                 {c, sizeof c}, {m1, sizeof m1}, {m2, sizeof m2}, {t, sizeof t}, {prod, sizeof prod},
                 {m, sizeof m});
  BnMontClear(&montP);
  BnMontClear(&montQ);
  return status;
}

int32_t Sign(int32_t algorithm, const uint8_t* input, uint32_t inputLen, uint8_t* signature,
             uint32_t* signatureLen, const RSAPrivateKey* privateKey) {
  uint8_t info[kMaxDigestInfoLen];
  uint8_t block[kCryptMaxModulusLen], result[kCryptMaxModulusLen];
  int32_t status = kCryptOk;
  if ((input == NULL && inputLen > 0) || signature == NULL || signatureLen == NULL || privateKey == NULL)
    return kCryptErrData;
  size_t infoLen = DigestInfoOf(algorithm, input, inputLen, info);
  if (infoLen == 0) return kCryptErrDigest;

  size_t k = RsaModulusLen(privateKey->bits);
  if (privateKey->bits > kCryptMaxModulusBits || k < infoLen + 11) {
    status = kCryptErrPrivateKey;
    goto done;
  }
  /* 00 01 FF .. FF 00 DigestInfo */
  block[0] = 0x00;
  block[1] = 0x01;
  size_t padLen = k - infoLen - 3;
  memset(block + 2, 0xFF, padLen);
  block[2 + padLen] = 0x00;
  memcpy(block + 3 + padLen, info, infoLen);

  size_t resultLen = 0;
  if (RsaPrivateBlock(result, &resultLen, block, k, privateKey) != kCryptOk) {
    status = kCryptErrPrivateKey;
    goto done;
  }
  memcpy(signature, result, resultLen);
  *signatureLen = (uint32_t)resultLen;

done:
  CryptWipe(info, sizeof info);
  CryptWipe(block, sizeof block);
  CryptWipe(result, sizeof result);
  return status;
}

int32_t Verify(int32_t algorithm, const uint8_t* input, uint32_t inputLen, const uint8_t* signature,
               uint32_t signatureLen, const RSAPublicKey* publicKey) {
  if (signatureLen > kCryptMaxModulusLen) return kCryptErrLen;
  if ((input == NULL && inputLen > 0) || (signature == NULL && signatureLen > 0) || publicKey == NULL)
    return kCryptErrData;
  uint8_t info[kMaxDigestInfoLen];
  uint8_t block[kCryptMaxModulusLen];
  int32_t status = kCryptOk;
  size_t infoLen = DigestInfoOf(algorithm, input, inputLen, info);
  if (infoLen == 0) return kCryptErrDigest;

  size_t k = 0;
  if (RsaPublicBlock(block, &k, signature, signatureLen, publicKey) != kCryptOk) {
    status = kCryptErrPublicKey;
    goto done;
  }
  /* 00 01, at least eight FF, 00, data */
  size_t i = 2;
  if (k < 11 || block[0] != 0x00 || block[1] != 0x01) {
    status = kCryptErrPublicKey;
    goto done;
  }
  while (i < k && block[i] == 0xFF) ++i;
  if (i - 2 < 8 || i >= k || block[i] != 0x00) {
    status = kCryptErrPublicKey;
    goto done;
  }
  ++i;
  {
    size_t dataLen = k - i;
    uint8_t diff = dataLen == infoLen ? 0 : 1;
    for (size_t j = 0; j < infoLen && j < dataLen; ++j) diff |= (uint8_t)(block[i + j] ^ info[j]);
    if (diff != 0) status = kCryptErrSignature;
  }

done:
  CryptWipe(info, sizeof info);
  CryptWipe(block, sizeof block);
  return status;
}

int32_t RSAPublicEncrypt(uint8_t* output, uint32_t* outputLen, const uint8_t* input, uint32_t inputLen,
                         const RSAPublicKey* publicKey) {
  if (output == NULL || outputLen == NULL || publicKey == NULL || (input == NULL && inputLen > 0))
    return kCryptErrData;
  if (publicKey->bits > kCryptMaxModulusBits) return kCryptErrLen;
  size_t k = RsaModulusLen(publicKey->bits);
  if ((size_t)inputLen + 11 > k) return kCryptErrLen;

  uint8_t block[kCryptMaxModulusLen], result[kCryptMaxModulusLen];
  RandomState random;
  int32_t status = RandomSeedForEncryption(&random);
  if (status != kCryptOk) goto done;

  /* 00 02, k - inputLen - 3 random non-zero bytes, 00, input */
  block[0] = 0x00;
  block[1] = 0x02;
  size_t padLen = k - inputLen - 3;
  status = RandomGetNonZeroBytes(&random, block + 2, padLen);
  if (status != kCryptOk) goto done;
  block[2 + padLen] = 0x00;
  if (inputLen > 0) memcpy(block + 3 + padLen, input, inputLen);

  size_t resultLen = 0;
  status = RsaPublicBlock(result, &resultLen, block, k, publicKey);
  if (status != kCryptOk) goto done;
  memcpy(output, result, resultLen);
  *outputLen = (uint32_t)resultLen;

done:
  RandomFinal(&random);
  CryptWipe(block, sizeof block);
  CryptWipe(result, sizeof result);
  return status;
}

int32_t RSAPrivateDecrypt(uint8_t* output, uint32_t* outputLen, const uint8_t* input, uint32_t inputLen,
                          const RSAPrivateKey* privateKey) {
  if (output == NULL || outputLen == NULL || privateKey == NULL || (input == NULL && inputLen > 0))
    return kCryptErrData;
  if (privateKey->bits > kCryptMaxModulusBits) return kCryptErrPrivateKey;
  size_t k = RsaModulusLen(privateKey->bits);
  if (inputLen > k) return kCryptErrLen;

  uint8_t block[kCryptMaxModulusLen];
  size_t blockLen = 0;
  int32_t status = RsaPrivateBlock(block, &blockLen, input, inputLen, privateKey);
  if (status != kCryptOk) goto done;
  if (blockLen != k) {
    status = kCryptErrLen;
    goto done;
  }
  /* 00 02, at least eight non-zero bytes, 00, message */
  if (k < 11 || block[0] != 0x00 || block[1] != 0x02) {
    status = kCryptErrData;
    goto done;
  }
  size_t i = 2;
  while (i < k && block[i] != 0x00) ++i;
  if (i >= k || i - 2 < 8) {
    status = kCryptErrData;
    goto done;
  }
  ++i;
  if (k > i) memcpy(output, block + i, k - i);
  *outputLen = (uint32_t)(k - i);

done:
  CryptWipe(block, sizeof block);
  return status;
}
