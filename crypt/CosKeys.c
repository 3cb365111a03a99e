/* Conversions between the RSA key records and the Cos tag-length-value key
 * format.
 *
 * Values are read from and written to the least significant end of the
 * record fields (the records hold right-aligned numbers), so keys shorter
 * than 1024 bits convert to their real values; for 1024-bit keys this is the
 * whole field, byte for byte. */
#include <string.h>

#include "crypt/BigNum.h"
#include "crypt/CryptRsa.h"
#include "crypt/RsaCore.h"
#include "crypt/Wipe.h"

enum {
  kTagModulus = 0x6E,         /* n */
  kTagPublicExponent = 0x65,  /* e */
  kTagPrivateExponent = 0x64, /* d */
  kTagPrimeP = 0x70,          /* p */
  kTagPrimeQ = 0x71,          /* q */
  kTagExponentP = 0x50,       /* P = d mod (p - 1) */
  kTagExponentQ = 0x51,       /* Q = d mod (q - 1) */
  kTagCoefficient = 0x49,     /* I = q^-1 mod p */
  kCosMinBits = 512,
  kN = kBnModDigits
};

/* The last `window` bytes of a field, or NULL when a non-zero byte lies
 * before them (the value is longer than the key size allows). */
static const uint8_t* Window(const uint8_t* field, size_t fieldLen, size_t window) {
  if (window > fieldLen) return NULL;
  for (size_t i = 0; i < fieldLen - window; ++i)
    if (field[i] != 0) return NULL;
  return field + (fieldLen - window);
}

static size_t PutRecord(uint8_t* out, uint8_t tag, const uint8_t* value, size_t len) {
  out[0] = tag;
  out[1] = (uint8_t)len;
  memcpy(out + 2, value, len);
  return 2 + len;
}

/* The bit count the conversions accept: a multiple of 8 in 512..1024. */
static int CosSizeOk(uint32_t bits) {
  return bits % 8 == 0 && bits >= kCosMinBits && bits <= kCryptMaxModulusBits;
}

int32_t CosFromPublic(uint8_t* cos, size_t* cosLen, const RSAPublicKey* key) {
  if (!CosSizeOk(key->bits)) return kCryptErrPublicKey;
  size_t len = key->bits / 8;
  const uint8_t* n = Window(key->modulus, sizeof key->modulus, len);
  const uint8_t* e = Window(key->exponent, sizeof key->exponent, len);
  if (n == NULL || e == NULL) return kCryptErrPublicKey;
  /* e without its leading zero 32-bit words, counted from the value's end. */
  size_t significant = len;
  while (significant > 0 && e[len - significant] == 0) --significant;
  if (significant == 0) return kCryptErrPublicKey;
  size_t eLen = (significant + 3) / 4 * 4;
  if (eLen > len) eLen = len;
  size_t pos = PutRecord(cos, kTagModulus, n, len);
  pos += PutRecord(cos + pos, kTagPublicExponent, e + (len - eLen), eLen);
  *cosLen = pos;
  return kCryptOk;
}

int32_t CosFromPrivate(int32_t form, uint8_t* cos, size_t* cosLen, const RSAPrivateKey* key) {
  if (!CosSizeOk(key->bits)) return kCryptErrPublicKey;
  size_t len = key->bits / 8;
  if (form == 2) {
    const uint8_t* n = Window(key->modulus, sizeof key->modulus, len);
    const uint8_t* d = Window(key->exponent, sizeof key->exponent, len);
    if (n == NULL || d == NULL) return kCryptErrPublicKey;
    size_t pos = PutRecord(cos, kTagModulus, n, len);
    pos += PutRecord(cos + pos, kTagPrivateExponent, d, len);
    *cosLen = pos;
    return kCryptOk;
  }
  if (form != 5) return kCryptErrData;

  /* Half the modulus length, rounded up so that the primes of a key whose
   * length is not a multiple of 16 bits still fit whole. */
  size_t half = (len + 1) / 2;
  const uint8_t* fields[5] = {key->prime[0], key->prime[1], key->primeExponent[0], key->primeExponent[1],
                              key->coefficient};
  static const uint8_t kTags[5] = {kTagPrimeP, kTagPrimeQ, kTagExponentP, kTagExponentQ, kTagCoefficient};
  const uint8_t* values[5];
  for (int i = 0; i < 5; ++i) {
    values[i] = Window(fields[i], kCryptMaxPrimeLen, half);
    if (values[i] == NULL) return kCryptErrPublicKey;
  }
  size_t pos = 0;
  for (int i = 0; i < 5; ++i) pos += PutRecord(cos + pos, kTags[i], values[i], half);
  *cosLen = pos;
  return kCryptOk;
}

typedef struct CosRecord {
  uint8_t tag;
  uint8_t len;
  const uint8_t* value;
} CosRecord;

/* Reads `count` records from the start of cos, each with one of the tags
 * in `tags` (none twice) and a value of at most maxLen bytes, stopping at the
 * first record it refuses. records[i] is the record with tags[i]. Returns 0,
 * or -1 when a record is refused or the bytes end inside one. */
static int ReadRecords(CosRecord* records, const uint8_t* tags, int count, size_t maxLen, const uint8_t* cos,
                       size_t cosLen) {
  for (int i = 0; i < count; ++i) records[i].value = NULL;
  size_t pos = 0;
  for (int read = 0; read < count; ++read) {
    if (cosLen - pos < 2) return -1;
    uint8_t tag = cos[pos], len = cos[pos + 1];
    int slot = -1;
    for (int i = 0; i < count; ++i)
      if (tags[i] == tag) slot = i;
    if (slot < 0 || records[slot].value != NULL || len > maxLen) return -1;
    pos += 2;
    if (cosLen - pos < len) return -1;
    records[slot].tag = tag;
    records[slot].len = len;
    records[slot].value = cos + pos;
    pos += len;
  }
  return 0;
}

/* Copies a value right-aligned into a field that is already zero. */
static void PutRightAligned(uint8_t* field, size_t fieldLen, const CosRecord* record) {
  memcpy(field + (fieldLen - record->len), record->value, record->len);
}

int32_t CosToPublic(RSAPublicKey* key, const uint8_t* cos, size_t cosLen) {
  memset(key, 0, sizeof *key);
  if (cos == NULL) return kCryptErrPublicKey;
  static const uint8_t kTags[2] = {kTagModulus, kTagPublicExponent};
  CosRecord records[2];
  if (ReadRecords(records, kTags, 2, kCryptMaxModulusLen, cos, cosLen) != 0) return kCryptErrPublicKey;
  const int n = 0, e = 1;
  uint32_t bits = 8u * records[n].len;
  if (bits < kCosMinBits || bits > kCryptMaxModulusBits) return kCryptErrPublicKey;
  /* The modulus fills its bits; the exponent fits below it and is not zero. */
  if (records[n].value[0] == 0 || records[e].len > records[n].len) return kCryptErrPublicKey;
  uint8_t nonZero = 0;
  for (size_t i = 0; i < records[e].len; ++i) nonZero |= records[e].value[i];
  if (nonZero == 0) return kCryptErrPublicKey;

  key->bits = bits;
  PutRightAligned(key->modulus, sizeof key->modulus, &records[n]);
  PutRightAligned(key->exponent, sizeof key->exponent, &records[e]);
  return kCryptOk;
}

int32_t CosToPrivate(RSAPrivateKey* key, const uint8_t* cos, size_t cosLen) {
  memset(key, 0, sizeof *key);
  if (cos == NULL) return kCryptErrPrivateKey;
  /* The records in the order of the key fields: p, q, P, Q, I. */
  static const uint8_t kTags[5] = {kTagPrimeP, kTagPrimeQ, kTagExponentP, kTagExponentQ, kTagCoefficient};
  CosRecord records[5];
  if (ReadRecords(records, kTags, 5, kCryptMaxPrimeLen, cos, cosLen) != 0) return kCryptErrPrivateKey;
  for (int i = 0; i < 5; ++i)
    if (records[i].len == 0) return kCryptErrPrivateKey;
  uint32_t bits = 16u * records[4].len;
  if (bits < kCosMinBits || bits > kCryptMaxModulusBits) return kCryptErrPrivateKey;

  RSAPrivateKey work;
  memset(&work, 0, sizeof work);
  work.bits = bits;
  PutRightAligned(work.prime[0], kCryptMaxPrimeLen, &records[0]);
  PutRightAligned(work.prime[1], kCryptMaxPrimeLen, &records[1]);
  PutRightAligned(work.primeExponent[0], kCryptMaxPrimeLen, &records[2]);
  PutRightAligned(work.primeExponent[1], kCryptMaxPrimeLen, &records[3]);
  PutRightAligned(work.coefficient, kCryptMaxPrimeLen, &records[4]);

  /* Rebuild n = p q, e = 65537, d = e^-1 mod (p - 1)(q - 1), and refuse a key
   * whose CRT fields do not belong to these primes. */
  BnDigit p[kN], q[kN], pMinusOne[kN], qMinusOne[kN], n[2 * kN], phi[2 * kN], e[kN], d[kN];
  BnDigit field[kN], t[kN];
  int32_t status = kCryptErrPrivateKey;
  BnFromBytes(p, kN, work.prime[0], kCryptMaxPrimeLen);
  BnFromBytes(q, kN, work.prime[1], kCryptMaxPrimeLen);
  BnSetDigit(e, 65537, kN);
  if (BnCompareDigit(p, 1, kN) <= 0 || BnCompareDigit(q, 1, kN) <= 0) goto done;
  BnMul(n, p, q, kN);
  /* The coefficient's length gives the key length rounded up to 16 bits; the
   * modulus must fill it to within that rounding, and the record takes the
   * modulus's exact length (so that keys of any length read back as they
   * were written; for 1024-bit keys both are 1024). */
  unsigned nBits = BnBitLength(n, 2 * kN);
  if (nBits > bits || nBits + 16 <= bits) goto done;
  work.bits = nBits;
  BnSubDigit(pMinusOne, p, 1, kN);
  BnSubDigit(qMinusOne, q, 1, kN);
  BnMul(phi, pMinusOne, qMinusOne, kN);
  if (!BnModInverse(d, e, phi, kN)) goto done;

  BnFromBytes(field, kN, work.primeExponent[0], kCryptMaxPrimeLen);
  BnDivMod(NULL, t, d, kN, pMinusOne, kN);
  if (BnCompare(t, field, kN) != 0) goto done;
  BnFromBytes(field, kN, work.primeExponent[1], kCryptMaxPrimeLen);
  BnDivMod(NULL, t, d, kN, qMinusOne, kN);
  if (BnCompare(t, field, kN) != 0) goto done;
  BnFromBytes(field, kN, work.coefficient, kCryptMaxPrimeLen);
  if (!BnModInverse(t, q, p, kN) || BnCompare(t, field, kN) != 0) goto done;

  BnToBytes(work.modulus, sizeof work.modulus, n, kN);
  BnToBytes(work.publicExponent, sizeof work.publicExponent, e, kN);
  BnToBytes(work.exponent, sizeof work.exponent, d, kN);
  memcpy(key, &work, sizeof work);
  status = kCryptOk;

done:
  CryptWipe(&work, sizeof work);
  CRYPT_WIPE_ALL({p, sizeof p}, {q, sizeof q}, {pMinusOne, sizeof pMinusOne}, {qMinusOne, sizeof qMinusOne},
                 {n, sizeof n}, {phi, sizeof phi}, {d, sizeof d}, {field, sizeof field}, {t, sizeof t});
  return status;
}

/* The longest prefix of the Cos bytes the readers may look at: the records
 * they read, each with the longest value they accept. */
enum { kCosPublicReadLimit = kCryptCosPublicMaxLen, kCosPrivateReadLimit = kCryptCosPrivateMaxLen };

int32_t X_Pub2Cos(uint8_t* cosOutput, const RSAPublicKey* publicKey) {
  if (cosOutput == NULL || publicKey == NULL) return kCryptErrPublicKey;
  uint8_t out[kCryptCosPublicMaxLen];
  size_t len = 0;
  int32_t status = CosFromPublic(out, &len, publicKey);
  if (status == kCryptOk) memcpy(cosOutput, out, len);
  return status;
}

int32_t X_Pri2Cos(uint8_t* cosOutput, const RSAPrivateKey* privateKey) {
  return X_Pri2CosEx(5, cosOutput, privateKey);
}

int32_t X_Pri2CosEx(int32_t form, uint8_t* cosOutput, const RSAPrivateKey* privateKey) {
  if (cosOutput == NULL || privateKey == NULL) return kCryptErrPublicKey;
  uint8_t out[kCryptCosPrivateMaxLen > kCryptCosPrivateNdMaxLen ? kCryptCosPrivateMaxLen
                                                                : kCryptCosPrivateNdMaxLen];
  size_t len = 0;
  int32_t status = CosFromPrivate(form, out, &len, privateKey);
  if (status == kCryptOk) memcpy(cosOutput, out, len);
  CryptWipe(out, sizeof out);
  return status;
}

int32_t X_Cos2Pub(RSAPublicKey* publicKey, const uint8_t* cosInput) {
  if (publicKey == NULL) return kCryptErrPublicKey;
  /* The caller's buffer has no stated length; the reader stops at the first
   * record it refuses and never reads past the records it needs. */
  return CosToPublic(publicKey, cosInput, kCosPublicReadLimit);
}

int32_t X_Cos2Pri(RSAPrivateKey* privateKey, const uint8_t* cosInput) {
  if (privateKey == NULL) return kCryptErrPrivateKey;
  return CosToPrivate(privateKey, cosInput, kCosPrivateReadLimit);
}
