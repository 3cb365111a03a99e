/* MD5-counter random generator and the clock and operating-system seedings
 * used by encryption padding and key generation. */
#define _DEFAULT_SOURCE /* gmtime_r, getrandom */
#include "crypt/Random.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/random.h>
#include <time.h>
#include <unistd.h>

#include "crypt/CryptRsa.h"
#include "crypt/Digests.h"
#include "crypt/Wipe.h"

void RandomInit(RandomState* random, uint32_t bytesNeeded) {
  memset(random, 0, sizeof *random);
  random->bytesNeeded = bytesNeeded;
}

/* state += addend, both 128-bit big-endian. */
static void AddBigEndian128(uint8_t state[16], const uint8_t addend[16]) {
  unsigned carry = 0;
  for (int i = 15; i >= 0; --i) {
    unsigned sum = (unsigned)state[i] + addend[i] + carry;
    state[i] = (uint8_t)sum;
    carry = sum >> 8;
  }
}

void RandomUpdate(RandomState* random, const uint8_t* block, size_t len) {
  uint8_t digest[16];
  Md5Context ctx;
  Md5Init(&ctx);
  Md5Update(&ctx, block, len);
  Md5Final(&ctx, digest);
  AddBigEndian128(random->state, digest);
  random->bytesNeeded = len >= random->bytesNeeded ? 0 : random->bytesNeeded - (uint32_t)len;
  CryptWipe(digest, sizeof digest);
}

int32_t RandomGetBytes(RandomState* random, uint8_t* out, size_t len) {
  if (random->bytesNeeded > 0) return kCryptErrNeedRandom;
  static const uint8_t kOne[16] = {[15] = 1};
  while (len > 0) {
    if (random->outputAvailable == 0) {
      Md5Context ctx;
      Md5Init(&ctx);
      Md5Update(&ctx, random->state, sizeof random->state);
      Md5Final(&ctx, random->output);
      AddBigEndian128(random->state, kOne);
      random->outputAvailable = 16;
    }
    size_t take = random->outputAvailable < len ? random->outputAvailable : len;
    memcpy(out, random->output + (16 - random->outputAvailable), take);
    random->outputAvailable -= (uint32_t)take;
    out += take;
    len -= take;
  }
  return kCryptOk;
}

int32_t RandomGetNonZeroBytes(RandomState* random, uint8_t* out, size_t len) {
  for (size_t i = 0; i < len; ++i) {
    do {
      int32_t status = RandomGetBytes(random, out + i, 1);
      if (status != kCryptOk) {
        CryptWipe(out, i);
        return status;
      }
    } while (out[i] == 0);
  }
  return kCryptOk;
}

void RandomFinal(RandomState* random) { CryptWipe(random, sizeof *random); }

/* Reads exactly len bytes from getrandom, or /dev/urandom on kernels without
 * the call. */
static int ReadSystemRandom(uint8_t* out, size_t len) {
  size_t done = 0;
  while (done < len) {
    ssize_t got = getrandom(out + done, len - done, 0);
    if (got > 0) {
      done += (size_t)got;
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else if (got < 0 && errno == ENOSYS) {
      break;
    } else {
      return -1;
    }
  }
  if (done == len) return 0;

  int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  while (done < len) {
    ssize_t got = read(fd, out + done, len - done);
    if (got > 0) {
      done += (size_t)got;
    } else if (got < 0 && errno == EINTR) {
      continue;
    } else {
      break;
    }
  }
  close(fd);
  return done == len ? 0 : -1;
}

int RandomSeedFromSystem(RandomState* random) {
  uint8_t seed[64];
  int ok = ReadSystemRandom(seed, sizeof seed) == 0;
  if (ok) RandomUpdate(random, seed, sizeof seed);
  CryptWipe(seed, sizeof seed);
  return ok ? 0 : -1;
}

void PseudoDesHash(uint32_t* left, uint32_t* right) {
  static const uint32_t kC1[4] = {0xBAA96887u, 0x1E17D32Cu, 0x03DCBC3Cu, 0xF033D1B2u};
  static const uint32_t kC2[4] = {0x4BF03B58u, 0xE8740FC3u, 0x69AAC5A6u, 0x55A7CA46u};
  for (int i = 0; i < 4; ++i) {
    uint32_t swap = *right;
    uint32_t ia = swap ^ kC1[i];
    uint32_t lo = ia & 0xFFFFu;
    uint32_t hi = ia >> 16;
    uint32_t ib = lo * lo + ~(hi * hi);
    uint32_t rotated = (ib >> 16) | ((ib & 0xFFFFu) << 16);
    *right = *left ^ ((rotated ^ kC2[i]) + lo * hi);
    *left = swap;
  }
}

static void PutLittleEndian32(uint8_t* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[i] = (uint8_t)(value >> (8 * i));
}

int32_t RandomSeedForEncryption(RandomState* random) {
  RandomInit(random, 256);
  uint8_t seconds[4];
  while (random->bytesNeeded > 0) {
    PutLittleEndian32(seconds, (uint32_t)time(NULL));
    RandomUpdate(random, seconds, sizeof seconds);
  }
  CryptWipe(seconds, sizeof seconds);
  if (RandomSeedFromSystem(random) != 0) {
    RandomFinal(random);
    RandomInit(random, 1); /* leaves the generator unusable */
    return kCryptErrNeedRandom;
  }
  return kCryptOk;
}

int32_t RandomSeedForKeyGeneration(RandomState* random) {
  RandomInit(random, 512);
  uint8_t hashBytes[4], brokenDown[36], ticks[4];
  while (random->bytesNeeded > 0) {
    time_t now = time(NULL);
    uint32_t left = (uint32_t)now, right = 0;
    PseudoDesHash(&left, &right);
    PutLittleEndian32(hashBytes, right);
    RandomUpdate(random, hashBytes, sizeof hashBytes);

    /* The broken-down UTC time as the nine 32-bit fields of the C record. */
    struct tm utc;
    memset(&utc, 0, sizeof utc);
    gmtime_r(&now, &utc);
    const int fields[9] = {utc.tm_sec,  utc.tm_min,  utc.tm_hour, utc.tm_mday, utc.tm_mon,
                           utc.tm_year, utc.tm_wday, utc.tm_yday, utc.tm_isdst};
    for (int i = 0; i < 9; ++i) PutLittleEndian32(brokenDown + 4 * i, (uint32_t)fields[i]);
    RandomUpdate(random, brokenDown, sizeof brokenDown);

    PutLittleEndian32(ticks, (uint32_t)clock());
    RandomUpdate(random, ticks, sizeof ticks);
  }
  CryptWipe(hashBytes, sizeof hashBytes);
  CryptWipe(brokenDown, sizeof brokenDown);
  CryptWipe(ticks, sizeof ticks);
  if (RandomSeedFromSystem(random) != 0) {
    RandomFinal(random);
    RandomInit(random, 1);
    return kCryptErrNeedRandom;
  }
  return kCryptOk;
}
