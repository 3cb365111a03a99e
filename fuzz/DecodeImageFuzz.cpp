// Fuzz entry point of the format dispatcher and the library-backed decoders
// (JPEG, PNG, TIFF, GIF) behind it. The input is used whole (so that real
// files work as seeds); its length picks the options: reduced size, EXIF
// thumbnail, orientation, colour conversion, TGA name hint, and the part of
// the picture a second decode keeps (any values, reversed and out of range
// ones included); a part must lie within the picture it came from.
#include <cstddef>
#include <cstdint>

#include "imaging/codecs/Codecs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const unsigned mode = unsigned(size * 37u) & 63u;
  std::span<const uint8_t> bytes(data, size);
  tessaro::DecodeOptions options;
  options.maxPixels = 1 << 22;
  options.allowExifThumbnail = mode & 1;
  options.applyOrientation = !(mode & 2);
  options.convertToSrgb = !(mode & 4);
  if (mode & 8) options.minWidth = 1 + int(size % 97);
  if (mode & 16) options.minHeight = 7;
  const char* hint = (mode & 32) ? "fuzz.tga" : "";
  (void)tessaro::ProbeImage(bytes, hint);
  (void)tessaro::DecodeImage(bytes, options, hint);

  tessaro::DecodeOptions part = options;
  part.cropLeft = int32_t((size * 7919u) & 0x1FFFF) - 0x8000;
  part.cropTop = int32_t((size * 104729u) & 0xFFFF);
  part.cropRight = part.cropLeft + int32_t((size * 31u) & 0x1FFFF) - 0x4000;
  part.cropBottom = part.cropTop + 1 + int32_t((size * 613u) & 0xFFFF);
  part.cropMargin = int(size % 11) - 3;
  tessaro::Result<tessaro::DecodedImage> cut = tessaro::DecodeImage(bytes, part, hint);
  if (cut.ok()) {
    const tessaro::IntRect r = cut->region;
    if (r.left < 0 || r.top < 0 || r.right > cut->wholeWidth || r.bottom > cut->wholeHeight ||
        r.Width() != cut->pixels.width() || r.Height() != cut->pixels.height())
      __builtin_trap();
  }
  return 0;
}
