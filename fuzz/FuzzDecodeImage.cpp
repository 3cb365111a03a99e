// Fuzz entry point of the format dispatcher and the library-backed decoders
// (JPEG, PNG, TIFF, GIF) behind it. The input is used whole (so that real
// files work as seeds); its length picks the options: reduced size, EXIF
// thumbnail, orientation, colour conversion, TGA name hint.
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
  return 0;
}
