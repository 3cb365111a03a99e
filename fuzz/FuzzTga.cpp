// Fuzz entry point of the TGA reader (header probe and full decode).
#include <cstddef>
#include <cstdint>

#include "imaging/codecs/CodecsInternal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::span<const uint8_t> bytes(data, size);
  tessaro::codecs::SpanSource source(bytes);
  (void)tessaro::codecs::ProbeTga(source);
  tessaro::DecodeOptions options;
  options.maxPixels = 1 << 22;
  (void)tessaro::codecs::DecodeTga(bytes, options);
  return 0;
}
