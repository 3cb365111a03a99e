/* MD2 (RFC 1319), MD5 (RFC 1321) and SHA-1 (FIPS 180-1) with streaming
 * contexts, and the PKCS #1 DigestInfo encoding used by signatures.
 * Contexts are plain values owned by the caller; Final clears them. */
#ifndef TESSARO_CRYPT_DIGESTS_H
#define TESSARO_CRYPT_DIGESTS_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct Md2Context {
  uint8_t state[16];
  uint8_t checksum[16];
  uint8_t buffer[16];
  size_t buffered; /* bytes waiting in buffer, 0..15 */
} Md2Context;

typedef struct Md5Context {
  uint32_t state[4];
  uint64_t length; /* bytes digested so far */
  uint8_t buffer[64];
} Md5Context;

typedef struct Sha1Context {
  uint32_t state[5];
  uint64_t length; /* bytes digested so far */
  uint8_t buffer[64];
} Sha1Context;

/* Appends bytes to a 64-byte block buffer holding `*length % 64` bytes,
 * calls block(state, buffer) for every block it fills, and adds len to
 * *length. Shared by the MD5 and SHA-1 contexts. */
void DigestFeed64(uint32_t* state, uint8_t buffer[64], uint64_t* length, const uint8_t* data, size_t len,
                  void (*block)(uint32_t* state, const uint8_t* block));

/* The first words of the MD5 and SHA-1 states: MD5 starts from the first
 * four, SHA-1 from all five. */
extern const uint32_t kDigestInitialState[5];

/* Ends a DigestFeed64 message: appends 0x80, zeros to 56 mod 64 and the bit
 * length as 64 bits, then writes the first `words` state words to digest.
 * Both numbers are stored big-endian when bigEndian is non-zero (SHA-1),
 * little-endian otherwise (MD5). */
void DigestFinish64(uint32_t* state, uint8_t buffer[64], uint64_t* length,
                    void (*block)(uint32_t* state, const uint8_t* block), int bigEndian, size_t words,
                    uint8_t* digest);

/* Defines NameInit, NameUpdate and NameFinal of a digest built on
 * DigestFeed64 (a NameContext with state, length and buffer): `blockFn` mixes
 * one block; the digest is the first `words` state words, big-endian when
 * `bigEndian` is non-zero. Final clears the context. */
#define DEFINE_DIGEST64(Name, blockFn, bigEndian, words)                                      \
  void Name##Init(Name##Context* ctx) {                                                       \
    memset(ctx, 0, sizeof *ctx);                                                              \
    memcpy(ctx->state, kDigestInitialState, sizeof ctx->state);                               \
  }                                                                                           \
  void Name##Update(Name##Context* ctx, const uint8_t* data, size_t len) {                    \
    DigestFeed64(ctx->state, ctx->buffer, &ctx->length, data, len, blockFn);                  \
  }                                                                                           \
  void Name##Final(Name##Context* ctx, uint8_t digest[4 * (words)]) {                         \
    DigestFinish64(ctx->state, ctx->buffer, &ctx->length, blockFn, bigEndian, words, digest); \
    CryptWipe(ctx, sizeof *ctx);                                                              \
  }

void Md2Init(Md2Context* ctx);
void Md2Update(Md2Context* ctx, const uint8_t* data, size_t len);
void Md2Final(Md2Context* ctx, uint8_t digest[16]);

void Md5Init(Md5Context* ctx);
void Md5Update(Md5Context* ctx, const uint8_t* data, size_t len);
void Md5Final(Md5Context* ctx, uint8_t digest[16]);

void Sha1Init(Sha1Context* ctx);
void Sha1Update(Sha1Context* ctx, const uint8_t* data, size_t len);
void Sha1Final(Sha1Context* ctx, uint8_t digest[20]);

/* One-shot digest with the library's algorithm numbers (3 MD2, 5 MD5,
 * 26 SHA-1). Writes 16 or 20 bytes and returns their count, or 0 for an
 * unknown algorithm (nothing written). */
size_t DigestBytes(int32_t algorithm, const uint8_t* input, size_t len, uint8_t digest[20]);

/* Longest DigestInfo: the 15-byte SHA-1 prefix and a 20-byte digest. */
enum { kMaxDigestInfoLen = 35 };

/* Writes the DER DigestInfo (algorithm identifier prefix followed by the
 * digest of the input) and returns its length (34 for MD2 and MD5, 35 for
 * SHA-1), or 0 for an unknown algorithm. */
size_t DigestInfoOf(int32_t algorithm, const uint8_t* input, size_t len, uint8_t info[kMaxDigestInfoLen]);

#ifdef __cplusplus
}
#endif

#endif
