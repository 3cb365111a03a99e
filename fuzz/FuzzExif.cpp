// Fuzz entry point of the EXIF parser.
#include <cstddef>
#include <cstdint>

#include "imaging/codecs/Exif.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tessaro::Result<tessaro::ExifInfo> info = tessaro::ParseExif(std::span<const uint8_t>(data, size));
  if (info.ok() && info->thumbnailLength > 0) {
    // The thumbnail span must lie inside the block.
    volatile uint8_t last = data[info->thumbnailOffset + info->thumbnailLength - 1];
    (void)last;
  }
  return 0;
}
