/* Clearing of work buffers that held keys, blocks or digests. */
#ifndef TESSARO_CRYPT_WIPE_H
#define TESSARO_CRYPT_WIPE_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Overwrites n bytes at p with zeros; the compiler may not drop the stores
 * even when p is never read again. p may be NULL when n is 0. */
void CryptWipe(void* p, size_t n);

/* One work buffer to clear: where it is and how many bytes. */
typedef struct CryptBuffer {
  void* p;
  size_t n;
} CryptBuffer;

/* CryptWipe on each of `count` buffers. */
void CryptWipeAll(const CryptBuffer* buffers, size_t count);

/* Clears the buffers listed as {pointer, size} pairs, the way a function
 * clears its secrets on every way out:
 *   CRYPT_WIPE_ALL({p, sizeof p}, {q, sizeof q});
 * (C only: it builds a compound literal.) */
#define CRYPT_WIPE_ALL(...)                        \
  CryptWipeAll((const CryptBuffer[]){__VA_ARGS__}, \
               sizeof((const CryptBuffer[]){__VA_ARGS__}) / sizeof(CryptBuffer))

#ifdef __cplusplus
}
#endif

#endif
