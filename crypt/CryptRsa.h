/* Digest, signature, RSA and key-conversion exports of the tessaro crypt
 * library (libtessaro-crypt.so).
 *
 * C linkage; every export returns a 32-bit status, 0 on success. Callers own
 * every buffer: nothing is allocated across the boundary. On failure no
 * output that a caller could mistake for a result is written: outputs are
 * left as they were, except the key records of X_Cos2Pub and X_Cos2Pri, which
 * are cleared first. Work buffers holding digests, blocks and big numbers are
 * overwritten with zeros before every export returns. A null pointer where
 * bytes are needed gives kCryptErrData unless an export says otherwise.
 *
 * Thread-safety: the exports keep no state between calls (each call seeds its
 * own random generator), so they may run on any thread concurrently. */
#ifndef TESSARO_CRYPT_RSA_H
#define TESSARO_CRYPT_RSA_H

#include <stdint.h>

#include "crypt/Crypt.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes. */
enum {
  kCryptOk = 0,
  kCryptErrData = 0x401,       /* value not below the modulus, malformed PKCS #1 block, unknown form */
  kCryptErrDigest = 0x402,     /* unknown digest algorithm */
  kCryptErrLen = 0x406,        /* input too long for the modulus, signature too long */
  kCryptErrModulusLen = 0x407, /* requested modulus length outside 508..1024 bits */
  kCryptErrNeedRandom = 0x408, /* the random generator has not been seeded enough */
  kCryptErrPrivateKey = 0x409, /* signing failed, or a bad private key */
  kCryptErrPublicKey = 0x40A,  /* verification's RSA step failed, or a refused public key */
  kCryptErrSignature = 0x40B   /* signature does not match */
};

/* Digest algorithms. */
enum { kCryptDigestMd2 = 3, kCryptDigestMd5 = 5, kCryptDigestSha1 = 26, kCryptMaxDigestLen = 20 };

enum {
  kCryptMaxModulusBits = 1024,
  kCryptMaxModulusLen = 128, /* bytes */
  kCryptMaxPrimeLen = 64     /* bytes */
};

/* Key records. Big numbers are unsigned big-endian byte strings,
 * right-aligned in their fields (leading zero bytes). `bits` is the modulus
 * length in bits, stored little-endian (the byte order of every supported
 * host). Both records are plain bytes without padding: 260 and 708 bytes. */
typedef struct RSAPublicKey {
  uint32_t bits;
  uint8_t modulus[kCryptMaxModulusLen];
  uint8_t exponent[kCryptMaxModulusLen];
} RSAPublicKey;

typedef struct RSAPrivateKey {
  uint32_t bits;
  uint8_t modulus[kCryptMaxModulusLen];        /* n */
  uint8_t publicExponent[kCryptMaxModulusLen]; /* e */
  uint8_t exponent[kCryptMaxModulusLen];       /* d */
  uint8_t prime[2][kCryptMaxPrimeLen];         /* p, q */
  uint8_t primeExponent[2][kCryptMaxPrimeLen]; /* d mod (p - 1), d mod (q - 1) */
  uint8_t coefficient[kCryptMaxPrimeLen];      /* q^-1 mod p */
} RSAPrivateKey;

/* Largest Cos key encodings, in bytes: a public key (n, e), a private key of
 * form 5 (p, q, P, Q, I) and of form 2 (n, d). Size output buffers with these. */
enum {
  kCryptCosPublicMaxLen = 2 + 128 + 2 + 128,
  kCryptCosPrivateMaxLen = 5 * (2 + 64),
  kCryptCosPrivateNdMaxLen = 2 * (2 + 128)
};

/* Digest of input[0..inputLen) with MD2 (3), MD5 (5) or SHA-1 (26).
 * digest: room for 20 bytes; digestLen receives 16 or 20.
 * Returns 0 or kCryptErrDigest (nothing written). */
TESSARO_CRYPT_API int32_t Digest(int32_t algorithm, const uint8_t* input, uint32_t inputLen, uint8_t* digest,
                                 uint32_t* digestLen);

/* PKCS #1 v1.5 signature (block type 01 over the DER DigestInfo) of the
 * input's digest. signature: room for the modulus length ((bits + 7) / 8
 * bytes); signatureLen receives that length.
 * Returns 0, kCryptErrDigest or kCryptErrPrivateKey. */
TESSARO_CRYPT_API int32_t Sign(int32_t algorithm, const uint8_t* input, uint32_t inputLen, uint8_t* signature,
                               uint32_t* signatureLen, const RSAPrivateKey* privateKey);

/* Checks a signature made by Sign (or any PKCS #1 v1.5 signer).
 * Returns 0 when it matches; kCryptErrLen for a signature longer than 128
 * bytes, kCryptErrDigest, kCryptErrPublicKey when the RSA step or the block
 * decoding fails, kCryptErrSignature when the DigestInfo differs. */
TESSARO_CRYPT_API int32_t Verify(int32_t algorithm, const uint8_t* input, uint32_t inputLen,
                                 const uint8_t* signature, uint32_t signatureLen,
                                 const RSAPublicKey* publicKey);

/* PKCS #1 v1.5 encryption (block type 02 with random non-zero padding).
 * inputLen must be at most the modulus length minus 11. output: room for the
 * modulus length; outputLen receives it.
 * Returns 0, kCryptErrData, kCryptErrLen or kCryptErrNeedRandom (no
 * random seed could be read from the operating system). */
TESSARO_CRYPT_API int32_t RSAPublicEncrypt(uint8_t* output, uint32_t* outputLen, const uint8_t* input,
                                           uint32_t inputLen, const RSAPublicKey* publicKey);

/* Reverses RSAPublicEncrypt. output: room for the modulus length minus 11
 * bytes (117 for a 1024-bit key); outputLen receives the message length.
 * Returns 0, kCryptErrData (value not below the modulus, or not a type-02
 * block), kCryptErrLen (input longer than the modulus) or
 * kCryptErrPrivateKey (the key record is inconsistent). */
TESSARO_CRYPT_API int32_t RSAPrivateDecrypt(uint8_t* output, uint32_t* outputLen, const uint8_t* input,
                                            uint32_t inputLen, const RSAPrivateKey* privateKey);

/* Generates a 1024-bit key pair with public exponent 65537; p > q, both with
 * their top two bits set. The generator is seeded from the clock and from
 * the operating system's random source. Returns 0 or kCryptErrNeedRandom
 * (the operating system's source could not be read). */
TESSARO_CRYPT_API int32_t R_GenerateRsaKeys(RSAPublicKey* publicKey, RSAPrivateKey* privateKey);

/* Generates a pair and writes it in the Cos format: the public key (n, e; at
 * most kCryptCosPublicMaxLen bytes) and the private key of form 5 (p, q,
 * P, Q, I; at most kCryptCosPrivateMaxLen bytes). */
TESSARO_CRYPT_API int32_t X_GenerateRsaKeys(uint8_t* cosPublicKey, uint8_t* cosPrivateKey);

/* Cos key format: records of one tag byte, one length byte and the value.
 * Tags: 'n' modulus, 'e' public exponent, 'd' private exponent, 'p', 'q'
 * primes, 'P' d mod (p - 1), 'Q' d mod (q - 1), 'I' q^-1 mod p. With a key of
 * L bits, n and d are L / 8 bytes and p, q, P, Q, I are L / 16 bytes (rounded
 * up, so that the primes of a key whose length is not a multiple of 16 bits
 * fit whole). Values are taken from, and put at, the least significant end
 * of the record fields; for 1024-bit keys that is the whole field.
 * Null pointers give the export's key error (kCryptErrPublicKey for the
 * X_Pub/X_Pri writers and X_Cos2Pub, kCryptErrPrivateKey for X_Cos2Pri). */

/* Writes n then e (e without leading zero 32-bit words). The key's bits must
 * be a multiple of 8 in 512..1024, and no value may be longer than the key,
 * else kCryptErrPublicKey. */
TESSARO_CRYPT_API int32_t X_Pub2Cos(uint8_t* cosOutput, const RSAPublicKey* publicKey);
/* Writes p, q, P, Q, I (form 5). Same size rule; kCryptErrPublicKey. */
TESSARO_CRYPT_API int32_t X_Pri2Cos(uint8_t* cosOutput, const RSAPrivateKey* privateKey);
/* form 5: as X_Pri2Cos; form 2: n then d. Another form: kCryptErrData. */
TESSARO_CRYPT_API int32_t X_Pri2CosEx(int32_t form, uint8_t* cosOutput, const RSAPrivateKey* privateKey);
/* Reads a public key whose first two records are n and e in either order.
 * Reads at most kCryptCosPublicMaxLen bytes, stopping at the first record
 * it refuses (unknown or repeated tag, value too long for its field).
 * Returns 0 or kCryptErrPublicKey. */
TESSARO_CRYPT_API int32_t X_Cos2Pub(RSAPublicKey* publicKey, const uint8_t* cosInput);
/* Reads a private key whose first five records are I, P, Q, p, q in any
 * order (16 x the length of I in 512..1024 bits) and rebuilds n, e = 65537
 * and d; bits is the length of the rebuilt modulus. Refuses P, Q or I that
 * do not belong to p and q, and primes whose product does not fill the
 * length I gives. Reads at most kCryptCosPrivateMaxLen bytes, likewise.
 * Returns 0 or kCryptErrPrivateKey. */
TESSARO_CRYPT_API int32_t X_Cos2Pri(RSAPrivateKey* privateKey, const uint8_t* cosInput);

#ifdef __cplusplus
}
#endif

#endif
