// The body shared by the fuzz entry points of the single-image readers: the
// header probe, then a full decode under a small pixel cap so that a hostile
// header cannot make a run slow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "imaging/codecs/CodecsInternal.h"

namespace tessaro::fuzz {

inline int FuzzReader(const uint8_t* data, size_t size, Result<ImageInfo> (*probe)(codecs::ByteSource&),
                      Result<DecodedImage> (*decode)(std::span<const uint8_t>, const DecodeOptions&)) {
  std::span<const uint8_t> bytes(data, size);
  codecs::SpanSource source(bytes);
  (void)probe(source);
  DecodeOptions options;
  options.maxPixels = 1 << 22;
  (void)decode(bytes, options);
  return 0;
}

}  // namespace tessaro::fuzz
