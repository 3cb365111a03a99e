/* Exports of the tessaro crypt library (libtessaro-crypt.so).
 * C linkage, no allocation crosses the boundary: callers own every buffer.
 * Thread-safe: the block-cipher functions keep no state between calls. */
#ifndef TESSARO_CRYPT_H
#define TESSARO_CRYPT_H

#include <stdint.h>

#if defined(__GNUC__)
#define TESSARO_CRYPT_API __attribute__((visibility("default")))
#else
#define TESSARO_CRYPT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Block ciphers, electronic code book over whole buffers.
 * key: 8 bytes (DES), 24 bytes K1 K2 K3 (DES3), 16 bytes K1 K2 (TDES = K1 K2 K1).
 * mode: non-zero enciphers, 0 deciphers.
 * output: receives length rounded up to a multiple of 8 bytes; the input is
 *   padded with 0x80 then zeros when its length is not a multiple of 8 (in
 *   both modes; nothing is removed when deciphering). May equal input.
 * Returns 0 on success, non-zero on failure. */
TESSARO_CRYPT_API int32_t DES(const uint8_t* key, int32_t mode, uint8_t* output, const uint8_t* input,
                              uint32_t length);
TESSARO_CRYPT_API int32_t DES3(const uint8_t* key, int32_t mode, uint8_t* output, const uint8_t* input,
                               uint32_t length);
TESSARO_CRYPT_API int32_t TDES(const uint8_t* key, int32_t mode, uint8_t* output, const uint8_t* input,
                               uint32_t length);

#ifdef __cplusplus
}
#endif

#endif
