/* MD2 message digest (RFC 1319): 16-byte blocks, a 48-byte mixing buffer and
 * a running checksum appended to the padded message. */
#include <string.h>

#include "crypt/Digests.h"
#include "crypt/Wipe.h"

/* Permutation of 0..255 built from the digits of pi. */
static const uint8_t kPiSubst[256] = {
    41,  46,  67,  201, 162, 216, 124, 1,   61,  54,  84,  161, 236, 240, 6,   19,  98,  167, 5,   243,
    192, 199, 115, 140, 152, 147, 43,  217, 188, 76,  130, 202, 30,  155, 87,  60,  253, 212, 224, 22,
    103, 66,  111, 24,  138, 23,  229, 18,  190, 78,  196, 214, 218, 158, 222, 73,  160, 251, 245, 142,
    187, 47,  238, 122, 169, 104, 121, 145, 21,  178, 7,   63,  148, 194, 16,  137, 11,  34,  95,  33,
    128, 127, 93,  154, 90,  144, 50,  39,  53,  62,  204, 231, 191, 247, 151, 3,   255, 25,  48,  179,
    72,  165, 181, 209, 215, 94,  146, 42,  172, 86,  170, 198, 79,  184, 56,  210, 150, 164, 125, 182,
    118, 252, 107, 226, 156, 116, 4,   241, 69,  157, 112, 89,  100, 113, 135, 32,  134, 91,  207, 101,
    230, 45,  168, 2,   27,  96,  37,  173, 174, 176, 185, 246, 28,  70,  97,  105, 52,  64,  126, 15,
    85,  71,  163, 35,  221, 81,  175, 58,  195, 92,  249, 206, 186, 197, 234, 38,  44,  83,  13,  110,
    133, 40,  132, 9,   211, 223, 205, 244, 65,  129, 77,  82,  106, 220, 55,  200, 108, 193, 171, 250,
    36,  225, 123, 8,   12,  189, 177, 74,  120, 136, 149, 139, 227, 99,  232, 109, 233, 203, 213, 254,
    59,  0,   29,  57,  242, 239, 183, 14,  102, 88,  208, 228, 166, 119, 114, 248, 235, 117, 75,  10,
    49,  68,  80,  180, 143, 237, 31,  26,  219, 153, 141, 51,  159, 17,  131, 20};

/* Mixes one block into the state and, when withChecksum, into the checksum
 * (the final checksum block itself is mixed without it). */
static void Md2Block(Md2Context* ctx, const uint8_t block[16], int withChecksum) {
  uint8_t x[48];
  for (int i = 0; i < 16; ++i) {
    x[i] = ctx->state[i];
    x[16 + i] = block[i];
    x[32 + i] = (uint8_t)(block[i] ^ ctx->state[i]);
  }
  unsigned t = 0;
  for (unsigned round = 0; round < 18; ++round) {
    for (int k = 0; k < 48; ++k) {
      x[k] ^= kPiSubst[t];
      t = x[k];
    }
    t = (t + round) & 0xFF;
  }
  memcpy(ctx->state, x, 16);
  if (withChecksum) {
    uint8_t last = ctx->checksum[15];
    for (int i = 0; i < 16; ++i) {
      ctx->checksum[i] ^= kPiSubst[block[i] ^ last];
      last = ctx->checksum[i];
    }
  }
  CryptWipe(x, sizeof x);
}

void Md2Init(Md2Context* ctx) { memset(ctx, 0, sizeof *ctx); }

void Md2Update(Md2Context* ctx, const uint8_t* data, size_t len) {
  while (len > 0) {
    size_t take = 16 - ctx->buffered;
    if (take > len) take = len;
    memcpy(ctx->buffer + ctx->buffered, data, take);
    ctx->buffered += take;
    data += take;
    len -= take;
    if (ctx->buffered == 16) {
      Md2Block(ctx, ctx->buffer, 1);
      ctx->buffered = 0;
    }
  }
}

void Md2Final(Md2Context* ctx, uint8_t digest[16]) {
  /* Pad with n bytes of value n, 1 <= n <= 16, to a whole block. */
  uint8_t pad[16];
  size_t n = 16 - ctx->buffered;
  memset(pad, (int)n, n);
  Md2Update(ctx, pad, n);
  uint8_t checksum[16];
  memcpy(checksum, ctx->checksum, 16);
  Md2Block(ctx, checksum, 0);
  memcpy(digest, ctx->state, 16);
  CryptWipe(checksum, sizeof checksum);
  CryptWipe(ctx, sizeof *ctx);
}
