/* The random generator behind PKCS #1 padding and key generation.
 *
 * State: a 128-bit counter, the number of seed bytes still needed and the
 * unused part of the last output block. Seeding with a block adds the MD5
 * digest of the block to the counter (128-bit big-endian addition) and lowers
 * the needed count by the block length. Each 16-byte output block is the MD5
 * digest of the counter, after which the counter is incremented.
 *
 * A generator is a plain value owned by one caller (no locking); clear it
 * with RandomFinal. */
#ifndef TESSARO_CRYPT_RANDOM_H
#define TESSARO_CRYPT_RANDOM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct RandomState {
  uint8_t state[16];
  uint32_t bytesNeeded;
  uint8_t output[16];
  uint32_t outputAvailable; /* unused bytes at the end of output */
} RandomState;

void RandomInit(RandomState* random, uint32_t bytesNeeded);
void RandomUpdate(RandomState* random, const uint8_t* block, size_t len);
/* Fills out with len bytes. Returns 0, or kCryptErrNeedRandom when seed bytes
 * are still needed (nothing written). */
int32_t RandomGetBytes(RandomState* random, uint8_t* out, size_t len);
/* Like RandomGetBytes, but no byte is zero. */
int32_t RandomGetNonZeroBytes(RandomState* random, uint8_t* out, size_t len);
void RandomFinal(RandomState* random);

/* Adds 64 bytes read from the operating system's random source. Returns 0,
 * or -1 when the source cannot be read (nothing added). */
int RandomSeedFromSystem(RandomState* random);

/* The seedings the exports use. Both first feed the clock exactly as the
 * construction prescribes (for encryption the time in seconds until 256 seed
 * bytes are counted; for key generation rounds of a pseudo-DES hash of the
 * time, the broken-down UTC time and the processor clock until 512 are), and
 * then add operating-system randomness, without which the clock alone would
 * make padding and keys predictable. Return 0, or kCryptErrNeedRandom when
 * the operating-system source fails. */
int32_t RandomSeedForEncryption(RandomState* random);
int32_t RandomSeedForKeyGeneration(RandomState* random);

/* Numerical Recipes' four-round pseudo-DES mixing of the pair (*left,
 * *right), in place. */
void PseudoDesHash(uint32_t* left, uint32_t* right);

#ifdef __cplusplus
}
#endif

#endif
