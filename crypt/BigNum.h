/* Unsigned big numbers as little-endian arrays of 32-bit digits with an
 * explicit digit count, sized for RSA keys of up to 1024 bits.
 *
 * Callers own every array; functions take the number of digits they read or
 * write. Unless a function says otherwise, results may not share storage with
 * operands. Functions that work on secrets clear their own temporaries. */
#ifndef TESSARO_CRYPT_BIGNUM_H
#define TESSARO_CRYPT_BIGNUM_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t BnDigit;

enum {
  kBnDigitBits = 32,
  kBnModDigits = 32,                  /* largest modulus: 1024 bits */
  kBnMaxDigits = 2 * kBnModDigits + 2 /* a product of two such numbers, plus room */
};

void BnZero(BnDigit* a, int digits);
void BnCopy(BnDigit* r, const BnDigit* a, int digits); /* r may equal a */
void BnSetDigit(BnDigit* a, BnDigit value, int digits);

/* Big-endian bytes to digits. Returns 0, or -1 when a non-zero byte does not
 * fit in `digits` digits (a is then cleared). */
int BnFromBytes(BnDigit* a, int digits, const uint8_t* bytes, size_t len);
/* Digits to big-endian bytes, right-aligned in len bytes. Returns 0, or -1
 * when the number does not fit (bytes are then cleared). */
int BnToBytes(uint8_t* bytes, size_t len, const BnDigit* a, int digits);

int BnIsZero(const BnDigit* a, int digits);
/* Number of significant digits (0 for zero). */
int BnDigitLength(const BnDigit* a, int digits);
/* Number of significant bits (0 for zero). */
unsigned BnBitLength(const BnDigit* a, int digits);
int BnTestBit(const BnDigit* a, int digits, unsigned bit);
/* -1, 0 or 1 as a <, =, > b. */
int BnCompare(const BnDigit* a, const BnDigit* b, int digits);
int BnCompareDigit(const BnDigit* a, BnDigit value, int digits);

/* r = a + b, returns the carry out; r may equal a or b. */
BnDigit BnAdd(BnDigit* r, const BnDigit* a, const BnDigit* b, int digits);
/* r = a - b, returns the borrow out; r may equal a or b. */
BnDigit BnSub(BnDigit* r, const BnDigit* a, const BnDigit* b, int digits);
BnDigit BnAddDigit(BnDigit* r, const BnDigit* a, BnDigit value, int digits);
BnDigit BnSubDigit(BnDigit* r, const BnDigit* a, BnDigit value, int digits);
/* r[0 .. 2 * digits) = a * b. */
void BnMul(BnDigit* r, const BnDigit* a, const BnDigit* b, int digits);
/* r = a >> bits. */
void BnShiftRight(BnDigit* r, const BnDigit* a, unsigned bits, int digits); /* r may equal a */

/* q = a div m (aDigits digits, may be NULL), r = a mod m (mDigits digits,
 * may be NULL). aDigits <= kBnMaxDigits, mDigits <= kBnMaxDigits. r may
 * equal a; q may not.
 * Returns 0, or -1 when m is zero. */
int BnDivMod(BnDigit* q, BnDigit* r, const BnDigit* a, int aDigits, const BnDigit* m, int mDigits);
/* a mod d for a single non-zero digit d. */
BnDigit BnModDigit(const BnDigit* a, int digits, BnDigit d);

/* r = gcd(a, b). */
void BnGcd(BnDigit* r, const BnDigit* a, const BnDigit* b, int digits);
/* r = a^-1 mod m. Returns 1, or 0 when no inverse exists or m <= 1 (r is
 * then cleared). digits <= kBnModDigits + 1. */
int BnModInverse(BnDigit* r, const BnDigit* a, const BnDigit* m, int digits);

/* Montgomery arithmetic modulo an odd m > 1 of `digits` significant digits,
 * R = 2^(32 * digits). Values in Montgomery form are a * R mod m. */
typedef struct BnMont {
  BnDigit m[kBnModDigits];
  BnDigit rr[kBnModDigits];  /* R^2 mod m */
  BnDigit one[kBnModDigits]; /* R mod m */
  BnDigit mInv;              /* -m^-1 mod 2^32 */
  int digits;
} BnMont;

/* Returns 0, or -1 when m is even, below 2 or longer than kBnModDigits. */
int BnMontInit(BnMont* ctx, const BnDigit* m, int mDigits);
void BnMontClear(BnMont* ctx);
/* r = a * b / R mod m for a, b < m; r may equal a or b. */
void BnMontMul(const BnMont* ctx, BnDigit* r, const BnDigit* a, const BnDigit* b);
/* r = a * R mod m for a < m. */
void BnMontTo(const BnMont* ctx, BnDigit* r, const BnDigit* a);
/* r = a / R mod m. */
void BnMontFrom(const BnMont* ctx, BnDigit* r, const BnDigit* a);
/* r = base^exp in Montgomery form (base in Montgomery form, expDigits <=
 * kBnModDigits); r may equal base. */
void BnMontExp(const BnMont* ctx, BnDigit* r, const BnDigit* base, const BnDigit* exp, int expDigits);

/* r = base^exp mod m (r: mDigits digits). base has baseDigits digits and is
 * reduced first. Returns 0, or -1 when m is not an odd number above 1 of at
 * most kBnModDigits significant digits. */
int BnModExp(BnDigit* r, const BnDigit* base, int baseDigits, const BnDigit* exp, int expDigits,
             const BnDigit* m, int mDigits);

#ifdef __cplusplus
}
#endif

#endif
