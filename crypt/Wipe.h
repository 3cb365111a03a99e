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

#ifdef __cplusplus
}
#endif

#endif
