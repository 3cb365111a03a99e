// EXIF metadata: the few fields a photo's layout depends on (orientation,
// resolution, colour space) and where the embedded JPEG thumbnail lies.
//
// The input is the TIFF structure that follows "Exif\0\0" in a JPEG APP1
// segment (or a PNG eXIf chunk): a byte-order mark ("II" or "MM"), 42, the
// offset of IFD0, and directories whose value offsets are relative to the
// start of that structure. The parser is hostile-input safe: every offset and
// count is checked against the bytes given, only IFD0, its EXIF sub-directory
// and IFD1 are visited (no loops), and a bad field is ignored rather than
// failing the whole block.
//
// Thread-safety: pure functions.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/Status.h"

namespace tessaro {

struct ExifInfo {
  int orientation = 1;        // 1..8; 1 when absent or out of range
  double xPpi = 0, yPpi = 0;  // pixels per inch; 0 when absent or unusable
  int colorSpace = 0;         // EXIF ColorSpace: 1 sRGB, 0xFFFF uncalibrated, 0 absent
  // The JPEG thumbnail of IFD1, as offset and length within the EXIF block;
  // both 0 when there is none or it does not lie wholly inside the block.
  uint32_t thumbnailOffset = 0;
  uint32_t thumbnailLength = 0;
};

// Fails only when the block is not a TIFF structure at all.
Result<ExifInfo> ParseExif(std::span<const uint8_t> block);

// What WriteExif puts into a new EXIF block.
struct ExifWriteOptions {
  int orientation = 0;                     // written when 1..8
  double ppi = 0;                          // written (as inches) when > 0
  int colorSpace = 0;                      // written when not 0
  std::span<const uint8_t> thumbnailJpeg;  // written as IFD1's JPEG thumbnail when not empty
};

// A little-endian EXIF block (without the "Exif\0\0" prefix).
std::vector<uint8_t> WriteExif(const ExifWriteOptions& options);

}  // namespace tessaro
