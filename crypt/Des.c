/* Block ciphers of the crypt library: DES (FIPS 46-3) and triple DES (ANSI X9.52,
 * encipher-decipher-encipher), electronic code book over whole buffers.
 *
 * Blocks are loaded big-endian (byte 0 is the most significant byte of the first word), so the byte order is
 * that of the published standard and results agree with any standard implementation. Key parity bits are
 * ignored.
 *
 * The functions keep no state between calls: every table below is constant, key schedules and the work
 * buffer belong to the call. They may run on any number of threads at once. */
#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include "crypt/Crypt.h"

enum {
  kDesBlockBytes = 8,
  kDesRounds = 16,
  kDesMaxPasses = 3,
  /* The buffer routine refuses a length that is not a whole number of blocks. The exports pad first, so
   * they never return it. */
  kDesErrBadLength = 1030,
  /* The work buffer could not be allocated (or its size does not fit in memory). */
  kDesErrNoMemory = 1031,
  /* A null key, input or output with a non-zero length. */
  kDesErrNullArgument = 1032,
};

/* Permuted choice 1: which key bit (1 = most significant bit of byte 0) lands in C (first 28) and D. */
static const uint8_t kPc1[56] = {
    57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18, 10, 2,  59, 51, 43,
    35, 27, 19, 11, 3,  60, 52, 44, 36, 63, 55, 47, 39, 31, 23, 15, 7,  62, 54,
    46, 38, 30, 22, 14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4,
};

/* Permuted choice 2: which bit of C||D (1 = first bit of C) forms each subkey bit; six bits per S-box. */
static const uint8_t kPc2[48] = {
    14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,  26, 8,  16, 7,  27, 20, 13, 2,
    41, 52, 31, 37, 47, 55, 30, 40, 51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32,
};

/* Total left rotation of C and D before each round's subkey is chosen. */
static const uint8_t kRotations[kDesRounds] = {1, 2, 4, 6, 8, 10, 12, 14, 15, 17, 19, 21, 23, 25, 27, 28};

/* Combined S-box/permutation tables. kSp[j][x] is the permutation P applied to the output of S-box j + 1
 * for the 6-bit input x (its first bit is the most significant bit of x), placed in that S-box's nibble of
 * the 32-bit round output. One round is therefore eight lookups XORed together. */
static const uint32_t kSp[8][64] = {
    {
        0x00808200u, 0x00000000u, 0x00008000u, 0x00808202u, 0x00808002u, 0x00008202u, 0x00000002u,
        0x00008000u, 0x00000200u, 0x00808200u, 0x00808202u, 0x00000200u, 0x00800202u, 0x00808002u,
        0x00800000u, 0x00000002u, 0x00000202u, 0x00800200u, 0x00800200u, 0x00008200u, 0x00008200u,
        0x00808000u, 0x00808000u, 0x00800202u, 0x00008002u, 0x00800002u, 0x00800002u, 0x00008002u,
        0x00000000u, 0x00000202u, 0x00008202u, 0x00800000u, 0x00008000u, 0x00808202u, 0x00000002u,
        0x00808000u, 0x00808200u, 0x00800000u, 0x00800000u, 0x00000200u, 0x00808002u, 0x00008000u,
        0x00008200u, 0x00800002u, 0x00000200u, 0x00000002u, 0x00800202u, 0x00008202u, 0x00808202u,
        0x00008002u, 0x00808000u, 0x00800202u, 0x00800002u, 0x00000202u, 0x00008202u, 0x00808200u,
        0x00000202u, 0x00800200u, 0x00800200u, 0x00000000u, 0x00008002u, 0x00008200u, 0x00000000u,
        0x00808002u,
    },
    {
        0x40084010u, 0x40004000u, 0x00004000u, 0x00084010u, 0x00080000u, 0x00000010u, 0x40080010u,
        0x40004010u, 0x40000010u, 0x40084010u, 0x40084000u, 0x40000000u, 0x40004000u, 0x00080000u,
        0x00000010u, 0x40080010u, 0x00084000u, 0x00080010u, 0x40004010u, 0x00000000u, 0x40000000u,
        0x00004000u, 0x00084010u, 0x40080000u, 0x00080010u, 0x40000010u, 0x00000000u, 0x00084000u,
        0x00004010u, 0x40084000u, 0x40080000u, 0x00004010u, 0x00000000u, 0x00084010u, 0x40080010u,
        0x00080000u, 0x40004010u, 0x40080000u, 0x40084000u, 0x00004000u, 0x40080000u, 0x40004000u,
        0x00000010u, 0x40084010u, 0x00084010u, 0x00000010u, 0x00004000u, 0x40000000u, 0x00004010u,
        0x40084000u, 0x00080000u, 0x40000010u, 0x00080010u, 0x40004010u, 0x40000010u, 0x00080010u,
        0x00084000u, 0x00000000u, 0x40004000u, 0x00004010u, 0x40000000u, 0x40080010u, 0x40084010u,
        0x00084000u,
    },
    {
        0x00000104u, 0x04010100u, 0x00000000u, 0x04010004u, 0x04000100u, 0x00000000u, 0x00010104u,
        0x04000100u, 0x00010004u, 0x04000004u, 0x04000004u, 0x00010000u, 0x04010104u, 0x00010004u,
        0x04010000u, 0x00000104u, 0x04000000u, 0x00000004u, 0x04010100u, 0x00000100u, 0x00010100u,
        0x04010000u, 0x04010004u, 0x00010104u, 0x04000104u, 0x00010100u, 0x00010000u, 0x04000104u,
        0x00000004u, 0x04010104u, 0x00000100u, 0x04000000u, 0x04010100u, 0x04000000u, 0x00010004u,
        0x00000104u, 0x00010000u, 0x04010100u, 0x04000100u, 0x00000000u, 0x00000100u, 0x00010004u,
        0x04010104u, 0x04000100u, 0x04000004u, 0x00000100u, 0x00000000u, 0x04010004u, 0x04000104u,
        0x00010000u, 0x04000000u, 0x04010104u, 0x00000004u, 0x00010104u, 0x00010100u, 0x04000004u,
        0x04010000u, 0x04000104u, 0x00000104u, 0x04010000u, 0x00010104u, 0x00000004u, 0x04010004u,
        0x00010100u,
    },
    {
        0x80401000u, 0x80001040u, 0x80001040u, 0x00000040u, 0x00401040u, 0x80400040u, 0x80400000u,
        0x80001000u, 0x00000000u, 0x00401000u, 0x00401000u, 0x80401040u, 0x80000040u, 0x00000000u,
        0x00400040u, 0x80400000u, 0x80000000u, 0x00001000u, 0x00400000u, 0x80401000u, 0x00000040u,
        0x00400000u, 0x80001000u, 0x00001040u, 0x80400040u, 0x80000000u, 0x00001040u, 0x00400040u,
        0x00001000u, 0x00401040u, 0x80401040u, 0x80000040u, 0x00400040u, 0x80400000u, 0x00401000u,
        0x80401040u, 0x80000040u, 0x00000000u, 0x00000000u, 0x00401000u, 0x00001040u, 0x00400040u,
        0x80400040u, 0x80000000u, 0x80401000u, 0x80001040u, 0x80001040u, 0x00000040u, 0x80401040u,
        0x80000040u, 0x80000000u, 0x00001000u, 0x80400000u, 0x80001000u, 0x00401040u, 0x80400040u,
        0x80001000u, 0x00001040u, 0x00400000u, 0x80401000u, 0x00000040u, 0x00400000u, 0x00001000u,
        0x00401040u,
    },
    {
        0x00000080u, 0x01040080u, 0x01040000u, 0x21000080u, 0x00040000u, 0x00000080u, 0x20000000u,
        0x01040000u, 0x20040080u, 0x00040000u, 0x01000080u, 0x20040080u, 0x21000080u, 0x21040000u,
        0x00040080u, 0x20000000u, 0x01000000u, 0x20040000u, 0x20040000u, 0x00000000u, 0x20000080u,
        0x21040080u, 0x21040080u, 0x01000080u, 0x21040000u, 0x20000080u, 0x00000000u, 0x21000000u,
        0x01040080u, 0x01000000u, 0x21000000u, 0x00040080u, 0x00040000u, 0x21000080u, 0x00000080u,
        0x01000000u, 0x20000000u, 0x01040000u, 0x21000080u, 0x20040080u, 0x01000080u, 0x20000000u,
        0x21040000u, 0x01040080u, 0x20040080u, 0x00000080u, 0x01000000u, 0x21040000u, 0x21040080u,
        0x00040080u, 0x21000000u, 0x21040080u, 0x01040000u, 0x00000000u, 0x20040000u, 0x21000000u,
        0x00040080u, 0x01000080u, 0x20000080u, 0x00040000u, 0x00000000u, 0x20040000u, 0x01040080u,
        0x20000080u,
    },
    {
        0x10000008u, 0x10200000u, 0x00002000u, 0x10202008u, 0x10200000u, 0x00000008u, 0x10202008u,
        0x00200000u, 0x10002000u, 0x00202008u, 0x00200000u, 0x10000008u, 0x00200008u, 0x10002000u,
        0x10000000u, 0x00002008u, 0x00000000u, 0x00200008u, 0x10002008u, 0x00002000u, 0x00202000u,
        0x10002008u, 0x00000008u, 0x10200008u, 0x10200008u, 0x00000000u, 0x00202008u, 0x10202000u,
        0x00002008u, 0x00202000u, 0x10202000u, 0x10000000u, 0x10002000u, 0x00000008u, 0x10200008u,
        0x00202000u, 0x10202008u, 0x00200000u, 0x00002008u, 0x10000008u, 0x00200000u, 0x10002000u,
        0x10000000u, 0x00002008u, 0x10000008u, 0x10202008u, 0x00202000u, 0x10200000u, 0x00202008u,
        0x10202000u, 0x00000000u, 0x10200008u, 0x00000008u, 0x00002000u, 0x10200000u, 0x00202008u,
        0x00002000u, 0x00200008u, 0x10002008u, 0x00000000u, 0x10202000u, 0x10000000u, 0x00200008u,
        0x10002008u,
    },
    {
        0x00100000u, 0x02100001u, 0x02000401u, 0x00000000u, 0x00000400u, 0x02000401u, 0x00100401u,
        0x02100400u, 0x02100401u, 0x00100000u, 0x00000000u, 0x02000001u, 0x00000001u, 0x02000000u,
        0x02100001u, 0x00000401u, 0x02000400u, 0x00100401u, 0x00100001u, 0x02000400u, 0x02000001u,
        0x02100000u, 0x02100400u, 0x00100001u, 0x02100000u, 0x00000400u, 0x00000401u, 0x02100401u,
        0x00100400u, 0x00000001u, 0x02000000u, 0x00100400u, 0x02000000u, 0x00100400u, 0x00100000u,
        0x02000401u, 0x02000401u, 0x02100001u, 0x02100001u, 0x00000001u, 0x00100001u, 0x02000000u,
        0x02000400u, 0x00100000u, 0x02100400u, 0x00000401u, 0x00100401u, 0x02100400u, 0x00000401u,
        0x02000001u, 0x02100401u, 0x02100000u, 0x00100400u, 0x00000000u, 0x00000001u, 0x02100401u,
        0x00000000u, 0x00100401u, 0x02100000u, 0x00000400u, 0x02000001u, 0x02000400u, 0x00000400u,
        0x00100001u,
    },
    {
        0x08000820u, 0x00000800u, 0x00020000u, 0x08020820u, 0x08000000u, 0x08000820u, 0x00000020u,
        0x08000000u, 0x00020020u, 0x08020000u, 0x08020820u, 0x00020800u, 0x08020800u, 0x00020820u,
        0x00000800u, 0x00000020u, 0x08020000u, 0x08000020u, 0x08000800u, 0x00000820u, 0x00020800u,
        0x00020020u, 0x08020020u, 0x08020800u, 0x00000820u, 0x00000000u, 0x00000000u, 0x08020020u,
        0x08000020u, 0x08000800u, 0x00020820u, 0x00020000u, 0x00020820u, 0x00020000u, 0x08020800u,
        0x00000800u, 0x00000020u, 0x08020020u, 0x00000800u, 0x00020820u, 0x08000800u, 0x00000020u,
        0x08000020u, 0x08020000u, 0x08020020u, 0x08000000u, 0x00020000u, 0x08000820u, 0x00000000u,
        0x08020820u, 0x00020020u, 0x08000020u, 0x08020000u, 0x08000800u, 0x08000820u, 0x00000000u,
        0x08020820u, 0x00020800u, 0x00020800u, 0x00000820u, 0x00000820u, 0x00020020u, 0x08000000u,
        0x08020800u,
    },
};

/* One key schedule: per round two words, each holding four of the eight 6-bit subkey groups at bits 26, 18,
 * 10 and 2. Word 0 holds the groups of S-boxes 1, 3, 5, 7; word 1 those of S-boxes 2, 4, 6, 8. */
typedef struct {
  uint32_t sub[2 * kDesRounds];
} DesKeySchedule;

/* Everything a call derives from its key or its data, kept together so that it can be wiped at the end. */
typedef struct {
  DesKeySchedule pass[kDesMaxPasses];
  uint32_t block[2];
} DesContext;

/* Overwrites n bytes with zeros in a way the compiler may not drop as a dead store. */
static void SecureZero(void* p, size_t n) {
#if defined(__GNUC__)
  memset(p, 0, n);
  __asm__ __volatile__("" : : "r"(p) : "memory");
#else
  volatile uint8_t* q = (volatile uint8_t*)p;
  while (n--) *q++ = 0;
#endif
}

static inline uint32_t Rotl32(uint32_t x, unsigned n) { return (x << n) | (x >> (32u - n)); }

static inline uint32_t LoadBe32(const uint8_t* p) {
  return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | (uint32_t)p[3];
}

static inline void StoreBe32(uint8_t* p, uint32_t v) {
  p[0] = (uint8_t)(v >> 24);
  p[1] = (uint8_t)(v >> 16);
  p[2] = (uint8_t)(v >> 8);
  p[3] = (uint8_t)v;
}

/* Builds the schedule of an 8-byte key; a deciphering schedule is the enciphering one in reverse round
 * order. */
static void DesSetKey(const uint8_t* key, int encipher, DesKeySchedule* ks) {
  uint64_t k = ((uint64_t)LoadBe32(key) << 32) | LoadBe32(key + 4);
  uint32_t c = 0, d = 0;
  for (int i = 0; i < 28; ++i) c = (c << 1) | (uint32_t)((k >> (64 - kPc1[i])) & 1u);
  for (int i = 28; i < 56; ++i) d = (d << 1) | (uint32_t)((k >> (64 - kPc1[i])) & 1u);
  for (int round = 0; round < kDesRounds; ++round) {
    const unsigned s = kRotations[round];
    const uint32_t cr = ((c << s) | (c >> (28u - s))) & 0x0fffffffu;
    const uint32_t dr = ((d << s) | (d >> (28u - s))) & 0x0fffffffu;
    const uint64_t cd = ((uint64_t)cr << 28) | dr;
    uint32_t words[2] = {0, 0};
    for (int group = 0; group < 8; ++group) {
      uint32_t g = 0;
      for (int b = 0; b < 6; ++b) g = (g << 1) | (uint32_t)((cd >> (56 - kPc2[6 * group + b])) & 1u);
      words[group & 1] |= g << (26 - 8 * (group >> 1));
    }
    const int slot = encipher ? round : kDesRounds - 1 - round;
    ks->sub[2 * slot] = words[0];
    ks->sub[2 * slot + 1] = words[1];
  }
}

/* The cipher function f(R, K) followed by P, for one round's two subkey words. The expansion E is done by
 * two rotations: R rotated right by 1 puts the inputs of S-boxes 1, 3, 5, 7 at bits 26, 18, 10, 2, and R
 * rotated left by 3 does the same for S-boxes 2, 4, 6, 8. */
static inline uint32_t DesF(uint32_t r, const uint32_t* k) {
  const uint32_t u = Rotl32(r, 31) ^ k[0];
  const uint32_t v = Rotl32(r, 3) ^ k[1];
  return kSp[0][u >> 26] ^ kSp[2][(u >> 18) & 0x3fu] ^ kSp[4][(u >> 10) & 0x3fu] ^ kSp[6][(u >> 2) & 0x3fu] ^
         kSp[1][v >> 26] ^ kSp[3][(v >> 18) & 0x3fu] ^ kSp[5][(v >> 10) & 0x3fu] ^ kSp[7][(v >> 2) & 0x3fu];
}

/* Exchanges the bits of a selected by mask << n with the bits of b selected by mask. */
#define DES_SWAP_MOVE(a, b, n, mask)                   \
  do {                                                 \
    const uint32_t t_ = (((a) >> (n)) ^ (b)) & (mask); \
    (b) ^= t_;                                         \
    (a) ^= t_ << (n);                                  \
  } while (0)

static inline void DesInitialPermutation(uint32_t* l, uint32_t* r) {
  DES_SWAP_MOVE(*l, *r, 4, 0x0f0f0f0fu);
  DES_SWAP_MOVE(*l, *r, 16, 0x0000ffffu);
  DES_SWAP_MOVE(*r, *l, 2, 0x33333333u);
  DES_SWAP_MOVE(*r, *l, 8, 0x00ff00ffu);
  DES_SWAP_MOVE(*l, *r, 1, 0x55555555u);
}

/* The inverse of the initial permutation: the same exchanges in reverse order. */
static inline void DesFinalPermutation(uint32_t* l, uint32_t* r) {
  DES_SWAP_MOVE(*l, *r, 1, 0x55555555u);
  DES_SWAP_MOVE(*r, *l, 8, 0x00ff00ffu);
  DES_SWAP_MOVE(*r, *l, 2, 0x33333333u);
  DES_SWAP_MOVE(*l, *r, 16, 0x0000ffffu);
  DES_SWAP_MOVE(*l, *r, 4, 0x0f0f0f0fu);
}

/* The sixteen rounds on the permuted halves (L0, R0); leaves the pre-output (R16, L16) in (l, r). */
static inline void DesRounds(const DesKeySchedule* ks, uint32_t* l, uint32_t* r) {
  uint32_t left = *l, right = *r;
  for (int i = 0; i < 2 * kDesRounds; i += 4) {
    left ^= DesF(right, ks->sub + i);
    right ^= DesF(left, ks->sub + i + 2);
  }
  *l = right;
  *r = left;
}

/* Applies the passes to every block of a buffer of whole blocks: in[i] -> out[i]. The final permutation of
 * one pass and the initial permutation of the next cancel out, so triple DES permutes only once each way.
 * ctx->block holds the block between load and store. */
static int32_t DesEcb(DesContext* ctx, int passes, uint8_t* out, const uint8_t* in, size_t n) {
  if (n % kDesBlockBytes != 0) return kDesErrBadLength;
  for (size_t off = 0; off < n; off += kDesBlockBytes) {
    ctx->block[0] = LoadBe32(in + off);
    ctx->block[1] = LoadBe32(in + off + 4);
    DesInitialPermutation(&ctx->block[0], &ctx->block[1]);
    for (int p = 0; p < passes; ++p) DesRounds(&ctx->pass[p], &ctx->block[0], &ctx->block[1]);
    DesFinalPermutation(&ctx->block[0], &ctx->block[1]);
    StoreBe32(out + off, ctx->block[0]);
    StoreBe32(out + off + 4, ctx->block[1]);
  }
  return 0;
}

/* Shared body of the exports. keys holds one key (DES) or K1, K2, K3 (triple DES). Enciphering runs
 * E(K1), D(K2), E(K3); deciphering runs D(K3), E(K2), D(K1). The input is copied into a work buffer padded
 * to whole blocks with 0x80 then zeros, in both modes, so output may equal input. */
static int32_t DesCipherBuffer(const uint8_t* const* keys, int passes, int32_t mode, uint8_t* output,
                               const uint8_t* input, uint32_t length) {
  if (length == 0) return 0;
  if (output == NULL || input == NULL) return kDesErrNullArgument;
  for (int p = 0; p < passes; ++p) {
    if (keys[p] == NULL) return kDesErrNullArgument;
  }
  const uint64_t padded = ((uint64_t)length + (kDesBlockBytes - 1)) / kDesBlockBytes * kDesBlockBytes;
  if (padded > SIZE_MAX) return kDesErrNoMemory;
  const size_t n = (size_t)padded;
  uint8_t* work = (uint8_t*)malloc(n);
  if (work == NULL) return kDesErrNoMemory;
  memcpy(work, input, length);
  if (n != length) {
    work[length] = 0x80;
    memset(work + length + 1, 0, n - length - 1);
  }

  DesContext ctx;
  const int encipher = mode != 0;
  for (int p = 0; p < passes; ++p) {
    const int keyIndex = encipher ? p : passes - 1 - p;
    const int passEnciphers = (p % 2 == 0) ? encipher : !encipher;
    DesSetKey(keys[keyIndex], passEnciphers, &ctx.pass[p]);
  }
  const int32_t status = DesEcb(&ctx, passes, output, work, n);

  SecureZero(work, n);
  free(work);
  SecureZero(&ctx, sizeof ctx);
  return status;
}

int32_t DES(const uint8_t* key, int32_t mode, uint8_t* output, const uint8_t* input, uint32_t length) {
  const uint8_t* keys[1] = {key};
  return DesCipherBuffer(keys, 1, mode, output, input, length);
}

int32_t DES3(const uint8_t* key, int32_t mode, uint8_t* output, const uint8_t* input, uint32_t length) {
  const uint8_t* keys[3] = {key, key == NULL ? NULL : key + 8, key == NULL ? NULL : key + 16};
  return DesCipherBuffer(keys, 3, mode, output, input, length);
}

/* Two-key triple DES: DES3 with the key K1 K2 K1. */
int32_t TDES(const uint8_t* key, int32_t mode, uint8_t* output, const uint8_t* input, uint32_t length) {
  const uint8_t* keys[3] = {key, key == NULL ? NULL : key + 8, key};
  return DesCipherBuffer(keys, 3, mode, output, input, length);
}
