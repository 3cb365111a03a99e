/* Probable primes: trial division by small primes and Miller-Rabin. */
#include <string.h>

#include "crypt/BigNum.h"
#include "crypt/RsaCore.h"
#include "crypt/Wipe.h"

enum { kN = kBnModDigits, kSieveLimit = 2048, kMaxSmallPrimes = 320, kRounds = 13 };

/* The odd primes below kSieveLimit, ascending; returns their count. */
static int SmallPrimes(BnDigit primes[kMaxSmallPrimes]) {
  uint8_t composite[kSieveLimit];
  memset(composite, 0, sizeof composite);
  int count = 0;
  for (unsigned i = 3; i < kSieveLimit; i += 2) {
    if (composite[i]) continue;
    primes[count++] = i;
    for (unsigned j = i * i; j < kSieveLimit; j += 2 * i) composite[j] = 1;
  }
  return count;
}

/* One Miller-Rabin round: is n a strong probable prime to base a (in
 * Montgomery form)? nMinusOne = r * 2^s with r odd. */
static int StrongProbablePrime(const BnMont* ctx, const BnDigit* aMont, const BnDigit* r, unsigned s,
                               const BnDigit* minusOneMont) {
  int n = ctx->digits;
  BnDigit x[kN];
  BnMontExp(ctx, x, aMont, r, n);
  int result = BnCompare(x, ctx->one, n) == 0 || BnCompare(x, minusOneMont, n) == 0;
  for (unsigned i = 1; i < s && !result; ++i) {
    BnMontMul(ctx, x, x, x);
    if (BnCompare(x, minusOneMont, n) == 0)
      result = 1;
    else if (BnCompare(x, ctx->one, n) == 0)
      break; /* a non-trivial square root of 1 */
  }
  CryptWipe(x, sizeof x);
  return result;
}

int IsProbablePrime(const BnDigit* candidate, int digits) {
  BnDigit n[kN];
  if (BnDigitLength(candidate, digits) > kN) return 0;
  BnZero(n, kN);
  BnCopy(n, candidate, BnDigitLength(candidate, digits));
  if (BnCompareDigit(n, 2, kN) < 0) return 0;
  if (BnCompareDigit(n, 2, kN) == 0) return 1;
  if ((n[0] & 1u) == 0) return 0;

  BnDigit primes[kMaxSmallPrimes];
  int count = SmallPrimes(primes);
  for (int i = 0; i < count; ++i) {
    if (BnCompareDigit(n, primes[i], kN) == 0) return 1;
    if (BnModDigit(n, kN, primes[i]) == 0) return 0;
  }
  /* No factor below kSieveLimit and n odd: anything below kSieveLimit^2 is prime. */
  if (BnCompareDigit(n, kSieveLimit * kSieveLimit, kN) < 0) return 1;

  BnMont ctx;
  BnMontInit(&ctx, n, kN);
  BnDigit nMinusOne[kN], r[kN], base[kN], minusOneMont[kN];
  BnSubDigit(nMinusOne, n, 1, kN);
  unsigned s = 0;
  while (!BnTestBit(nMinusOne, kN, s)) ++s;
  BnShiftRight(r, nMinusOne, s, kN);
  BnMontTo(&ctx, minusOneMont, nMinusOne);

  /* Bases 2, 3, 5, ..., 41: primes[] holds the odd primes from 3. */
  int prime = 1;
  for (int round = 0; round < kRounds && prime; ++round) {
    BnSetDigit(base, round == 0 ? 2 : primes[round - 1], ctx.digits);
    BnMontTo(&ctx, base, base);
    prime = StrongProbablePrime(&ctx, base, r, s, minusOneMont);
  }
  BnMontClear(&ctx);
  CRYPT_WIPE_ALL({n, sizeof n}, {nMinusOne, sizeof nMinusOne}, {r, sizeof r}, {base, sizeof base},
                 {minusOneMont, sizeof minusOneMont});
  return prime;
}

int32_t GeneratePrime(BnDigit* p, unsigned bits, const BnDigit* e, RandomState* random) {
  uint8_t bytes[kN * 4];
  size_t len = (bits + 7) / 8;
  int32_t status = RandomGetBytes(random, bytes, len);
  if (status != kCryptOk) return status;

  BnDigit t[kN], low[kN], tMinusOne[kN], g[kN];
  BnFromBytes(t, kN, bytes, len);
  CryptWipe(bytes, sizeof bytes);
  /* Keep `bits` bits, set the top two and the lowest. */
  for (unsigned b = bits; b < kN * kBnDigitBits; ++b) t[b / 32] &= ~(1u << (b % 32));
  t[(bits - 1) / 32] |= 1u << ((bits - 1) % 32);
  t[(bits - 2) / 32] |= 1u << ((bits - 2) % 32);
  t[0] |= 1u;
  /* Lowest odd number of the range: 3 * 2^(bits - 2) + 1. */
  BnZero(low, kN);
  low[(bits - 1) / 32] |= 1u << ((bits - 1) % 32);
  low[(bits - 2) / 32] |= 1u << ((bits - 2) % 32);
  low[0] |= 1u;

  BnDigit primes[kMaxSmallPrimes], residues[kMaxSmallPrimes];
  int count = SmallPrimes(primes);
  for (int i = 0; i < count; ++i) residues[i] = BnModDigit(t, kN, primes[i]);

  for (;;) {
    /* From 12 bits up every candidate exceeds the small primes, so a zero
     * residue means a proper factor. */
    int sieved = 1;
    for (int i = 0; i < count && sieved && bits >= 12; ++i) sieved = residues[i] != 0;
    if (sieved && IsProbablePrime(t, kN)) {
      BnSubDigit(tMinusOne, t, 1, kN);
      BnGcd(g, e, tMinusOne, kN);
      if (BnCompareDigit(g, 1, kN) == 0) break;
    }
    BnAddDigit(t, t, 2, kN);
    if (BnBitLength(t, kN) > bits) {
      BnCopy(t, low, kN);
      for (int i = 0; i < count; ++i) residues[i] = BnModDigit(t, kN, primes[i]);
    } else {
      for (int i = 0; i < count; ++i) residues[i] = (residues[i] + 2) % primes[i];
    }
  }
  BnCopy(p, t, kN);
  CryptWipe(t, sizeof t);
  CryptWipe(tMinusOne, sizeof tMinusOne);
  CryptWipe(g, sizeof g);
  CryptWipe(residues, sizeof residues);
  return kCryptOk;
}
