// Fuzz entry point of the TGA reader (header probe and full decode).
#include <cstddef>
#include <cstdint>

#include "fuzz/ReaderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return tessaro::fuzz::FuzzReader(data, size, tessaro::codecs::ProbeTga, tessaro::codecs::DecodeTga);
}
