/* Placeholder until the block ciphers land: every call fails. */
#include "crypt/Crypt.h"

int32_t DES(const uint8_t* key, int32_t mode, uint8_t* output, const uint8_t* input, uint32_t length) {
  (void)key, (void)mode, (void)output, (void)input, (void)length;
  return 1;
}
int32_t DES3(const uint8_t* key, int32_t mode, uint8_t* output, const uint8_t* input, uint32_t length) {
  return DES(key, mode, output, input, length);
}
int32_t TDES(const uint8_t* key, int32_t mode, uint8_t* output, const uint8_t* input, uint32_t length) {
  return DES(key, mode, output, input, length);
}
