/* Big-number arithmetic for RSA: schoolbook multiplication, Knuth's
 * division (algorithm D), the extended Euclidean inverse and Montgomery
 * exponentiation with a fixed 4-bit window. */
#include "crypt/BigNum.h"

#include <string.h>

#include "crypt/Wipe.h"

void BnZero(BnDigit* a, int digits) {
  if (digits > 0) memset(a, 0, (size_t)digits * sizeof *a);
}

void BnCopy(BnDigit* r, const BnDigit* a, int digits) {
  if (digits > 0 && r != a) memmove(r, a, (size_t)digits * sizeof *a);
}

void BnSetDigit(BnDigit* a, BnDigit value, int digits) {
  BnZero(a, digits);
  if (digits > 0) a[0] = value;
}

int BnFromBytes(BnDigit* a, int digits, const uint8_t* bytes, size_t len) {
  BnZero(a, digits);
  size_t capacity = (size_t)digits * sizeof(BnDigit);
  for (size_t i = 0; i < len; ++i) {
    size_t pos = len - 1 - i; /* byte i counted from the least significant end */
    if (i >= capacity) {
      if (bytes[pos] != 0) {
        BnZero(a, digits);
        return -1;
      }
      continue;
    }
    a[i / 4] |= (BnDigit)bytes[pos] << (8 * (i % 4));
  }
  return 0;
}

int BnToBytes(uint8_t* bytes, size_t len, const BnDigit* a, int digits) {
  size_t capacity = (size_t)digits * sizeof(BnDigit);
  for (size_t i = 0; i < len; ++i) {
    bytes[len - 1 - i] = i < capacity ? (uint8_t)(a[i / 4] >> (8 * (i % 4))) : 0;
  }
  for (size_t i = len; i < capacity; ++i) {
    if ((uint8_t)(a[i / 4] >> (8 * (i % 4))) != 0) {
      memset(bytes, 0, len);
      return -1;
    }
  }
  return 0;
}

int BnIsZero(const BnDigit* a, int digits) {
  BnDigit acc = 0;
  for (int i = 0; i < digits; ++i) acc |= a[i];
  return acc == 0;
}

int BnDigitLength(const BnDigit* a, int digits) {
  int n = digits;
  while (n > 0 && a[n - 1] == 0) --n;
  return n;
}

unsigned BnBitLength(const BnDigit* a, int digits) {
  int n = BnDigitLength(a, digits);
  if (n == 0) return 0;
  unsigned bits = (unsigned)(n - 1) * kBnDigitBits;
  for (BnDigit top = a[n - 1]; top != 0; top >>= 1) ++bits;
  return bits;
}

int BnTestBit(const BnDigit* a, int digits, unsigned bit) {
  unsigned digit = bit / kBnDigitBits;
  if (digit >= (unsigned)digits) return 0;
  return (int)((a[digit] >> (bit % kBnDigitBits)) & 1u);
}

int BnCompare(const BnDigit* a, const BnDigit* b, int digits) {
  for (int i = digits - 1; i >= 0; --i) {
    if (a[i] != b[i]) return a[i] > b[i] ? 1 : -1;
  }
  return 0;
}

int BnCompareDigit(const BnDigit* a, BnDigit value, int digits) {
  if (digits <= 0) return value == 0 ? 0 : -1;
  if (BnDigitLength(a, digits) > 1) return 1;
  return a[0] == value ? 0 : (a[0] > value ? 1 : -1);
}

BnDigit BnAdd(BnDigit* r, const BnDigit* a, const BnDigit* b, int digits) {
  uint64_t carry = 0;
  for (int i = 0; i < digits; ++i) {
    uint64_t t = (uint64_t)a[i] + b[i] + carry;
    r[i] = (BnDigit)t;
    carry = t >> 32;
  }
  return (BnDigit)carry;
}

BnDigit BnSub(BnDigit* r, const BnDigit* a, const BnDigit* b, int digits) {
  uint64_t borrow = 0;
  for (int i = 0; i < digits; ++i) {
    uint64_t t = (uint64_t)a[i] - b[i] - borrow;
    r[i] = (BnDigit)t;
    borrow = (t >> 63) & 1u;
  }
  return (BnDigit)borrow;
}

BnDigit BnAddDigit(BnDigit* r, const BnDigit* a, BnDigit value, int digits) {
  uint64_t carry = value;
  for (int i = 0; i < digits; ++i) {
    uint64_t t = (uint64_t)a[i] + carry;
    r[i] = (BnDigit)t;
    carry = t >> 32;
  }
  return (BnDigit)carry;
}

BnDigit BnSubDigit(BnDigit* r, const BnDigit* a, BnDigit value, int digits) {
  uint64_t borrow = value;
  for (int i = 0; i < digits; ++i) {
    uint64_t t = (uint64_t)a[i] - borrow;
    r[i] = (BnDigit)t;
    borrow = (t >> 63) & 1u;
  }
  return (BnDigit)borrow;
}

void BnMul(BnDigit* r, const BnDigit* a, const BnDigit* b, int digits) {
  BnZero(r, 2 * digits);
  int na = BnDigitLength(a, digits);
  int nb = BnDigitLength(b, digits);
  for (int i = 0; i < na; ++i) {
    uint64_t carry = 0;
    for (int j = 0; j < nb; ++j) {
      uint64_t t = (uint64_t)a[i] * b[j] + r[i + j] + carry;
      r[i + j] = (BnDigit)t;
      carry = t >> 32;
    }
    r[i + nb] = (BnDigit)carry;
  }
}

void BnShiftRight(BnDigit* r, const BnDigit* a, unsigned bits, int digits) {
  unsigned whole = bits / kBnDigitBits;
  unsigned part = bits % kBnDigitBits;
  for (int i = 0; i < digits; ++i) {
    unsigned src = (unsigned)i + whole;
    BnDigit lo = src < (unsigned)digits ? a[src] : 0;
    BnDigit hi = src + 1 < (unsigned)digits ? a[src + 1] : 0;
    r[i] = part == 0 ? lo : (lo >> part) | (hi << (kBnDigitBits - part));
  }
}

/* Shifts a left by 0 <= shift < 32 bits into r, which has digits + 1 digits. */
static void ShiftLeftInto(BnDigit* r, const BnDigit* a, unsigned shift, int digits) {
  BnDigit carry = 0;
  for (int i = 0; i < digits; ++i) {
    r[i] = (a[i] << shift) | carry;
    carry = shift == 0 ? 0 : a[i] >> (kBnDigitBits - shift);
  }
  r[digits] = carry;
}

BnDigit BnModDigit(const BnDigit* a, int digits, BnDigit d) {
  uint64_t rem = 0;
  for (int i = digits - 1; i >= 0; --i) rem = ((rem << 32) | a[i]) % d;
  return (BnDigit)rem;
}

int BnDivMod(BnDigit* q, BnDigit* r, const BnDigit* a, int aDigits, const BnDigit* m, int mDigits) {
  int n = BnDigitLength(m, mDigits);
  if (n == 0) return -1;
  int len = BnDigitLength(a, aDigits);
  if (q != NULL) BnZero(q, aDigits);

  if (len < n || (len == n && BnCompare(a, m, n) < 0)) { /* quotient 0 */
    if (r != NULL) {
      BnCopy(r, a, len); /* a no-op when r is a */
      BnZero(r + len, mDigits - len);
    }
    return 0;
  }

  if (n == 1) { /* single-digit divisor: plain long division */
    uint64_t rem = 0;
    for (int i = len - 1; i >= 0; --i) {
      uint64_t cur = (rem << 32) | a[i];
      if (q != NULL) q[i] = (BnDigit)(cur / m[0]);
      rem = cur % m[0];
    }
    if (r != NULL) BnSetDigit(r, (BnDigit)rem, mDigits);
    return 0;
  }

  /* Normalise so that the divisor's top digit has its top bit set; then each
   * estimated quotient digit is at most two too large. */
  BnDigit u[kBnMaxDigits + 1];
  BnDigit v[kBnMaxDigits];
  unsigned shift = 0;
  for (BnDigit top = m[n - 1]; (top & 0x80000000u) == 0; top <<= 1) ++shift;
  BnDigit vTmp[kBnMaxDigits + 1];
  ShiftLeftInto(vTmp, m, shift, n);
  BnCopy(v, vTmp, n);
  ShiftLeftInto(u, a, shift, len);

  for (int j = len - n; j >= 0; --j) {
    uint64_t num = ((uint64_t)u[j + n] << 32) | u[j + n - 1];
    uint64_t qhat = num / v[n - 1];
    uint64_t rhat = num % v[n - 1];
    while (qhat > 0xFFFFFFFFu || qhat * v[n - 2] > ((rhat << 32) | u[j + n - 2])) {
      --qhat;
      rhat += v[n - 1];
      if (rhat > 0xFFFFFFFFu) break;
    }
    /* u[j .. j + n] -= qhat * v */
    uint64_t carry = 0, borrow = 0;
    for (int i = 0; i < n; ++i) {
      uint64_t p = qhat * v[i] + carry;
      carry = p >> 32;
      uint64_t t = (uint64_t)u[i + j] - (BnDigit)p - borrow;
      u[i + j] = (BnDigit)t;
      borrow = (t >> 63) & 1u;
    }
    uint64_t t = (uint64_t)u[j + n] - carry - borrow;
    u[j + n] = (BnDigit)t;
    if ((t >> 63) & 1u) { /* qhat was one too large: add v back */
      --qhat;
      BnDigit c = BnAdd(u + j, u + j, v, n);
      u[j + n] += c;
    }
    if (q != NULL) q[j] = (BnDigit)qhat;
  }

  if (r != NULL) {
    BnZero(r, mDigits);
    BnDigit rem[kBnMaxDigits];
    BnShiftRight(rem, u, shift, n + 1 <= kBnMaxDigits ? n + 1 : kBnMaxDigits);
    BnCopy(r, rem, n);
    CryptWipe(rem, sizeof rem);
  }
  CryptWipe(u, sizeof u);
  CryptWipe(v, sizeof v);
  CryptWipe(vTmp, sizeof vTmp);
  return 0;
}

void BnGcd(BnDigit* r, const BnDigit* a, const BnDigit* b, int digits) {
  BnDigit x[kBnMaxDigits], y[kBnMaxDigits], t[kBnMaxDigits];
  BnCopy(x, a, digits);
  BnCopy(y, b, digits);
  while (!BnIsZero(y, digits)) {
    BnDivMod(NULL, t, x, digits, y, digits);
    BnCopy(x, y, digits);
    BnCopy(y, t, digits);
  }
  BnCopy(r, x, digits);
  CryptWipe(x, sizeof x);
  CryptWipe(y, sizeof y);
  CryptWipe(t, sizeof t);
}

int BnModInverse(BnDigit* r, const BnDigit* a, const BnDigit* m, int digits) {
  /* Extended Euclid keeping only the coefficient of a, as unsigned
   * magnitudes whose signs alternate with each step (Knuth, 4.5.2). */
  if (BnCompareDigit(m, 1, digits) <= 0) {
    BnZero(r, digits);
    return 0;
  }
  BnDigit u1[kBnMaxDigits], u3[kBnMaxDigits], v1[kBnMaxDigits], v3[kBnMaxDigits];
  BnDigit q[kBnMaxDigits], t3[kBnMaxDigits], w[2 * kBnMaxDigits];
  BnSetDigit(u1, 1, digits);
  BnDivMod(NULL, u3, a, digits, m, digits);
  BnZero(v1, digits);
  BnCopy(v3, m, digits);
  int negative = 0;
  while (!BnIsZero(v3, digits)) {
    BnDivMod(q, t3, u3, digits, v3, digits);
    BnMul(w, q, v1, digits); /* |u1| + q |v1| never exceeds m */
    BnAdd(w, w, u1, digits);
    BnCopy(u1, v1, digits);
    BnCopy(v1, w, digits);
    BnCopy(u3, v3, digits);
    BnCopy(v3, t3, digits);
    negative = !negative;
  }
  int found = BnCompareDigit(u3, 1, digits) == 0;
  if (!found)
    BnZero(r, digits);
  else if (negative)
    BnSub(r, m, u1, digits);
  else
    BnCopy(r, u1, digits);
  CRYPT_WIPE_ALL({u1, sizeof u1}, {u3, sizeof u3}, {v1, sizeof v1}, {v3, sizeof v3}, {q, sizeof q},
                 {t3, sizeof t3}, {w, sizeof w});
  return found;
}

int BnMontInit(BnMont* ctx, const BnDigit* m, int mDigits) {
  memset(ctx, 0, sizeof *ctx);
  int n = BnDigitLength(m, mDigits);
  if (n == 0 || n > kBnModDigits || (m[0] & 1u) == 0 || BnCompareDigit(m, 1, n) == 0) return -1;
  ctx->digits = n;
  BnCopy(ctx->m, m, n);

  /* Newton's iteration doubles the correct low bits of m^-1 mod 2^32
   * (m * m = 1 mod 8 gives three to start with). */
  BnDigit inv = m[0];
  for (int i = 0; i < 4; ++i) inv *= 2u - m[0] * inv;
  ctx->mInv = (BnDigit)(0u - inv);

  BnDigit big[2 * kBnModDigits + 1];
  BnZero(big, 2 * n + 1);
  big[n] = 1; /* R */
  BnDivMod(NULL, ctx->one, big, n + 1, m, n);
  big[n] = 0;
  big[2 * n] = 1; /* R^2 */
  BnDivMod(NULL, ctx->rr, big, 2 * n + 1, m, n);
  return 0;
}

void BnMontClear(BnMont* ctx) { CryptWipe(ctx, sizeof *ctx); }

void BnMontMul(const BnMont* ctx, BnDigit* r, const BnDigit* a, const BnDigit* b) {
  /* Coarsely integrated operand scanning: t stays below 2m throughout. */
  int n = ctx->digits;
  const BnDigit* m = ctx->m;
  BnDigit t[kBnModDigits + 2];
  BnZero(t, n + 2);
  for (int i = 0; i < n; ++i) {
    uint64_t carry = 0;
    for (int j = 0; j < n; ++j) {
      uint64_t s = (uint64_t)a[j] * b[i] + t[j] + carry;
      t[j] = (BnDigit)s;
      carry = s >> 32;
    }
    uint64_t s = (uint64_t)t[n] + carry;
    t[n] = (BnDigit)s;
    t[n + 1] = (BnDigit)(s >> 32);

    BnDigit u = t[0] * ctx->mInv;
    s = (uint64_t)u * m[0] + t[0];
    carry = s >> 32;
    for (int j = 1; j < n; ++j) {
      s = (uint64_t)u * m[j] + t[j] + carry;
      t[j - 1] = (BnDigit)s;
      carry = s >> 32;
    }
    s = (uint64_t)t[n] + carry;
    t[n - 1] = (BnDigit)s;
    t[n] = t[n + 1] + (BnDigit)(s >> 32);
    t[n + 1] = 0;
  }
  if (t[n] != 0 || BnCompare(t, m, n) >= 0) BnSub(t, t, m, n);
  BnCopy(r, t, n);
  CryptWipe(t, sizeof t);
}

void BnMontTo(const BnMont* ctx, BnDigit* r, const BnDigit* a) { BnMontMul(ctx, r, a, ctx->rr); }

void BnMontFrom(const BnMont* ctx, BnDigit* r, const BnDigit* a) {
  BnDigit unit[kBnModDigits];
  BnSetDigit(unit, 1, ctx->digits);
  BnMontMul(ctx, r, a, unit);
}

void BnMontExp(const BnMont* ctx, BnDigit* r, const BnDigit* base, const BnDigit* exp, int expDigits) {
  int n = ctx->digits;
  BnDigit table[16][kBnModDigits];
  BnCopy(table[0], ctx->one, n);
  BnCopy(table[1], base, n);
  for (int i = 2; i < 16; ++i) BnMontMul(ctx, table[i], table[i - 1], base);

  BnDigit acc[kBnModDigits];
  BnCopy(acc, ctx->one, n);
  unsigned bits = BnBitLength(exp, expDigits);
  int windows = (int)((bits + 3) / 4);
  for (int w = windows - 1; w >= 0; --w) {
    unsigned bit = (unsigned)w * 4;
    unsigned window = (exp[bit / 32] >> (bit % 32)) & 0xFu; /* windows never straddle digits */
    if (w != windows - 1) {
      for (int s = 0; s < 4; ++s) BnMontMul(ctx, acc, acc, acc);
      if (window != 0) BnMontMul(ctx, acc, acc, table[window]);
    } else {
      BnCopy(acc, table[window], n);
    }
  }
  BnCopy(r, acc, n);
  CryptWipe(table, sizeof table);
  CryptWipe(acc, sizeof acc);
}

int BnModExp(BnDigit* r, const BnDigit* base, int baseDigits, const BnDigit* exp, int expDigits,
             const BnDigit* m, int mDigits) {
  BnMont ctx;
  if (BnMontInit(&ctx, m, mDigits) != 0) return -1;
  int n = ctx.digits;
  BnDigit x[kBnModDigits];
  BnDivMod(NULL, x, base, baseDigits, m, n);
  BnMontTo(&ctx, x, x);
  BnMontExp(&ctx, x, x, exp, expDigits);
  BnMontFrom(&ctx, x, x);
  BnZero(r, mDigits);
  BnCopy(r, x, n);
  CryptWipe(x, sizeof x);
  BnMontClear(&ctx);
  return 0;
}
