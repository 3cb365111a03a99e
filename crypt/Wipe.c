#include "crypt/Wipe.h"

#include <string.h>

/* Called through a volatile pointer so that the optimiser cannot prove the
 * stores dead and remove them. */
static void* (*const volatile kMemset)(void*, int, size_t) = memset;

void CryptWipe(void* p, size_t n) {
  if (p != NULL && n > 0) kMemset(p, 0, n);
}

void CryptWipeAll(const CryptBuffer* buffers, size_t count) {
  for (size_t i = 0; i < count; ++i) CryptWipe(buffers[i].p, buffers[i].n);
}
