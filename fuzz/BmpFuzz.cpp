// Fuzz entry point of the BMP reader (header probe and full decode).
#include <cstddef>
#include <cstdint>

#include "fuzz/ReaderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return tessaro::fuzz::FuzzReader(data, size, tessaro::codecs::ProbeBmp, tessaro::codecs::DecodeBmp);
}
