/* The Digest export and the DigestInfo encoding shared by Sign and Verify. */
#include <string.h>

#include "crypt/CryptRsa.h"
#include "crypt/Digests.h"
#include "crypt/Wipe.h"

/* NameWhole(input, len, digest): the digest of a whole message through the
 * algorithm's streaming context (Final clears the context). */
#define DEFINE_WHOLE_DIGEST(Name)                                              \
  static void Name##Whole(const uint8_t* input, size_t len, uint8_t* digest) { \
    Name##Context ctx;                                                         \
    Name##Init(&ctx);                                                          \
    Name##Update(&ctx, input, len);                                            \
    Name##Final(&ctx, digest);                                                 \
  }
DEFINE_WHOLE_DIGEST(Md2)
DEFINE_WHOLE_DIGEST(Md5)
DEFINE_WHOLE_DIGEST(Sha1)

/* DER of SEQUENCE { AlgorithmIdentifier { OID, NULL }, OCTET STRING (digest) }
 * up to the digest bytes. */
static const uint8_t kMd2Prefix[18] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                       0x86, 0xf7, 0x0d, 0x02, 0x02, 0x05, 0x00, 0x04, 0x10};
static const uint8_t kMd5Prefix[18] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                       0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
static const uint8_t kSha1Prefix[15] = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e,
                                        0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};

/* What the library knows of each digest algorithm. */
typedef struct DigestAlgorithm {
  int32_t id;
  size_t size;
  void (*whole)(const uint8_t* input, size_t len, uint8_t* digest);
  const uint8_t* prefix;
  size_t prefixLen;
} DigestAlgorithm;

static const DigestAlgorithm kAlgorithms[] = {
    {kCryptDigestMd2, 16, Md2Whole, kMd2Prefix, sizeof kMd2Prefix},
    {kCryptDigestMd5, 16, Md5Whole, kMd5Prefix, sizeof kMd5Prefix},
    {kCryptDigestSha1, 20, Sha1Whole, kSha1Prefix, sizeof kSha1Prefix},
};

static const DigestAlgorithm* FindAlgorithm(int32_t id) {
  for (size_t i = 0; i < sizeof kAlgorithms / sizeof kAlgorithms[0]; ++i)
    if (kAlgorithms[i].id == id) return &kAlgorithms[i];
  return NULL;
}

size_t DigestBytes(int32_t algorithm, const uint8_t* input, size_t len, uint8_t digest[20]) {
  const DigestAlgorithm* a = FindAlgorithm(algorithm);
  if (a == NULL) return 0;
  a->whole(input, len, digest);
  return a->size;
}

size_t DigestInfoOf(int32_t algorithm, const uint8_t* input, size_t len, uint8_t info[kMaxDigestInfoLen]) {
  const DigestAlgorithm* a = FindAlgorithm(algorithm);
  if (a == NULL) return 0;
  memcpy(info, a->prefix, a->prefixLen);
  return a->prefixLen + DigestBytes(algorithm, input, len, info + a->prefixLen);
}

int32_t Digest(int32_t algorithm, const uint8_t* input, uint32_t inputLen, uint8_t* digest,
               uint32_t* digestLen) {
  if (FindAlgorithm(algorithm) == NULL) return kCryptErrDigest;
  if ((input == NULL && inputLen > 0) || digest == NULL || digestLen == NULL) return kCryptErrData;
  uint8_t work[kCryptMaxDigestLen];
  size_t n = DigestBytes(algorithm, input, inputLen, work);
  memcpy(digest, work, n);
  *digestLen = (uint32_t)n;
  CryptWipe(work, sizeof work);
  return kCryptOk;
}
