/* The Digest export and the DigestInfo encoding shared by Sign and Verify. */
#include <string.h>

#include "crypt/CryptRsa.h"
#include "crypt/Digests.h"
#include "crypt/Wipe.h"

size_t DigestBytes(int32_t algorithm, const uint8_t* input, size_t len, uint8_t digest[20]) {
  switch (algorithm) {
    case kCryptDigestMd2: {
      Md2Context ctx;
      Md2Init(&ctx);
      Md2Update(&ctx, input, len);
      Md2Final(&ctx, digest);
      return 16;
    }
    case kCryptDigestMd5: {
      Md5Context ctx;
      Md5Init(&ctx);
      Md5Update(&ctx, input, len);
      Md5Final(&ctx, digest);
      return 16;
    }
    case kCryptDigestSha1: {
      Sha1Context ctx;
      Sha1Init(&ctx);
      Sha1Update(&ctx, input, len);
      Sha1Final(&ctx, digest);
      return 20;
    }
    default:
      return 0;
  }
}

/* DER of SEQUENCE { AlgorithmIdentifier { OID, NULL }, OCTET STRING (digest) }
 * up to the digest bytes. */
static const uint8_t kMd2Prefix[18] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                       0x86, 0xf7, 0x0d, 0x02, 0x02, 0x05, 0x00, 0x04, 0x10};
static const uint8_t kMd5Prefix[18] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                       0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};
static const uint8_t kSha1Prefix[15] = {0x30, 0x21, 0x30, 0x09, 0x06, 0x05, 0x2b, 0x0e,
                                        0x03, 0x02, 0x1a, 0x05, 0x00, 0x04, 0x14};

size_t DigestInfoOf(int32_t algorithm, const uint8_t* input, size_t len, uint8_t info[kMaxDigestInfoLen]) {
  const uint8_t* prefix;
  size_t prefixLen;
  switch (algorithm) {
    case kCryptDigestMd2:
      prefix = kMd2Prefix;
      prefixLen = sizeof kMd2Prefix;
      break;
    case kCryptDigestMd5:
      prefix = kMd5Prefix;
      prefixLen = sizeof kMd5Prefix;
      break;
    case kCryptDigestSha1:
      prefix = kSha1Prefix;
      prefixLen = sizeof kSha1Prefix;
      break;
    default:
      return 0;
  }
  memcpy(info, prefix, prefixLen);
  return prefixLen + DigestBytes(algorithm, input, len, info + prefixLen);
}

int32_t Digest(int32_t algorithm, const uint8_t* input, uint32_t inputLen, uint8_t* digest,
               uint32_t* digestLen) {
  if (algorithm != kCryptDigestMd2 && algorithm != kCryptDigestMd5 && algorithm != kCryptDigestSha1)
    return kCryptErrDigest;
  if ((input == NULL && inputLen > 0) || digest == NULL || digestLen == NULL) return kCryptErrData;
  uint8_t work[kCryptMaxDigestLen];
  size_t n = DigestBytes(algorithm, input, inputLen, work);
  memcpy(digest, work, n);
  *digestLen = (uint32_t)n;
  CryptWipe(work, sizeof work);
  return kCryptOk;
}
