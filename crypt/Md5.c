/* MD5 message digest (RFC 1321): 64-byte blocks of little-endian words. */
#include <string.h>

#include "crypt/Digests.h"
#include "crypt/Wipe.h"

static uint32_t Rotl(uint32_t x, unsigned n) { return (x << n) | (x >> (32 - n)); }

/* Per-step shift amounts, four per round. */
static const unsigned kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

/* T[i] = floor(2^32 * |sin(i + 1)|). */
static const uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

static void Md5Block(uint32_t* state, const uint8_t* block) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i)
    x[i] = (uint32_t)block[4 * i] | (uint32_t)block[4 * i + 1] << 8 | (uint32_t)block[4 * i + 2] << 16 |
           (uint32_t)block[4 * i + 3] << 24;
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int k;
    switch (i / 16) {
      case 0:
        f = (b & c) | (~b & d);
        k = i;
        break;
      case 1:
        f = (b & d) | (c & ~d);
        k = (5 * i + 1) % 16;
        break;
      case 2:
        f = b ^ c ^ d;
        k = (3 * i + 5) % 16;
        break;
      default:
        f = c ^ (b | ~d);
        k = (7 * i) % 16;
        break;
    }
    uint32_t next = b + Rotl(a + f + kSine[i] + x[k], kShift[i / 16][i % 4]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  CryptWipe(x, sizeof x);
}

void DigestFeed64(uint32_t* state, uint8_t buffer[64], uint64_t* length, const uint8_t* data, size_t len,
                  void (*block)(uint32_t* state, const uint8_t* block)) {
  size_t used = (size_t)(*length % 64);
  *length += len;
  while (len > 0) {
    size_t take = 64 - used;
    if (take > len) take = len;
    memcpy(buffer + used, data, take);
    used += take;
    data += take;
    len -= take;
    if (used == 64) {
      block(state, buffer);
      used = 0;
    }
  }
}

const uint32_t kDigestInitialState[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};

void DigestFinish64(uint32_t* state, uint8_t buffer[64], uint64_t* length,
                    void (*block)(uint32_t* state, const uint8_t* block), int bigEndian, size_t words,
                    uint8_t* digest) {
  const uint64_t bitLength = *length * 8;
  uint8_t pad[72] = {0x80};
  const size_t used = (size_t)(*length % 64);
  const size_t padLen = used < 56 ? 56 - used : 120 - used;
  for (int i = 0; i < 8; ++i) pad[padLen + i] = (uint8_t)(bitLength >> (bigEndian ? 56 - 8 * i : 8 * i));
  DigestFeed64(state, buffer, length, pad, padLen + 8, block);
  for (size_t i = 0; i < words; ++i)
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = (uint8_t)(state[i] >> (bigEndian ? 24 - 8 * j : 8 * j));
}

DEFINE_DIGEST64(Md5, Md5Block, 0, 4)
