/* Internal RSA building blocks behind the exports: the raw public and
 * private operations on byte blocks, prime search, key generation with a
 * caller-supplied random generator, and the Cos key encoding with explicit
 * buffer lengths. */
#ifndef TESSARO_CRYPT_RSA_CORE_H
#define TESSARO_CRYPT_RSA_CORE_H

#include <stddef.h>
#include <stdint.h>

#include "crypt/BigNum.h"
#include "crypt/CryptRsa.h"
#include "crypt/Random.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Modulus length in bytes of a key of `bits` bits: (bits + 7) / 8. */
size_t RsaModulusLen(uint32_t bits);

/* out (modulus length bytes) = in^e mod n, in being big-endian bytes.
 * Returns 0; kCryptErrLen when the key's bits are 0 or above 1024 or in is
 * longer than the modulus; kCryptErrData when the value is not below the
 * modulus or the modulus is unusable (even, zero, longer than its bits). */
int32_t RsaPublicBlock(uint8_t* out, size_t* outLen, const uint8_t* in, size_t inLen,
                       const RSAPublicKey* key);

/* out (modulus length bytes) = in^d mod n through the primes, the prime
 * exponents and the coefficient; the result is checked against the public
 * exponent before it is released. Returns 0; kCryptErrLen when in is longer
 * than the modulus; kCryptErrData when the value is not below the modulus;
 * kCryptErrPrivateKey when the key's fields are unusable or inconsistent. */
int32_t RsaPrivateBlock(uint8_t* out, size_t* outLen, const uint8_t* in, size_t inLen,
                        const RSAPrivateKey* key);

/* Probable-prime test: trial division by the primes below 2048, then
 * Miller-Rabin with the thirteen prime bases 2 .. 41 (exact below
 * 3.3 * 10^24; for the random candidates of key generation the chance of a
 * composite passing is negligible). n has `digits` digits. */
int IsProbablePrime(const BnDigit* n, int digits);

/* Searches [3 * 2^(bits - 2), 2^bits - 1] upwards in steps of 2 from a
 * random odd start (wrapping to the bottom of the range) for a probable
 * prime p with gcd(e, p - 1) = 1. p: kBnModDigits digits; 3 <= bits <= 512;
 * e: kBnModDigits digits. Returns 0 or kCryptErrNeedRandom. */
int32_t GeneratePrime(BnDigit* p, unsigned bits, const BnDigit* e, RandomState* random);

/* Generates a key pair of `bits` bits with e = 65537. Returns 0,
 * kCryptErrModulusLen (bits outside 508..1024) or kCryptErrNeedRandom.
 * Nothing is written on failure. */
int32_t RsaGenerateKeys(uint32_t bits, RSAPublicKey* publicKey, RSAPrivateKey* privateKey,
                        RandomState* random);

/* Cos encodings. The writers need room for kCryptCosPublicMaxLen /
 * kCryptCosPrivateMaxLen / kCryptCosPrivateNdMaxLen bytes and report the
 * length written; the readers never read beyond cosLen. */
int32_t CosFromPublic(uint8_t* cos, size_t* cosLen, const RSAPublicKey* key);
int32_t CosFromPrivate(int32_t form, uint8_t* cos, size_t* cosLen, const RSAPrivateKey* key);
int32_t CosToPublic(RSAPublicKey* key, const uint8_t* cos, size_t cosLen);
int32_t CosToPrivate(RSAPrivateKey* key, const uint8_t* cos, size_t cosLen);

#ifdef __cplusplus
}
#endif

#endif
