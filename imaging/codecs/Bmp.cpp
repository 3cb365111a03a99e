// BMP reader. A BMP file is a 14-byte file header ("BM", file size, two
// reserved words, offset of the pixel data) followed by one of the info
// headers: 12 bytes (OS/2 1.x core: 16-bit sizes, 3-byte palette entries),
// 16..64 bytes (OS/2 2.x), 40 (Windows 3), 52 and 56 (40 plus RGB/RGBA bit
// masks), 108 (V4: masks, colour space) or 124 (V5: plus an ICC profile
// reference). Then the palette (entries of 4 bytes, 3 for the core header),
// and at the data offset the rows, each padded to 4 bytes, bottom row first
// unless the height is negative.
//
// Pixel encodings: 1/2/4/8-bit palette indexes, RLE8 and RLE4 runs, 16 and
// 32-bit words split by bit masks (default 5-5-5 and 8-8-8), 24-bit BGR, and
// an embedded JPEG or PNG stream (compression 4 and 5 of the Windows headers).
//
// Hostile input: every field is checked with its own message, the palette
// and the pixel rows must lie inside the file, run-length data may not write
// outside the picture, and palette indexes must name an entry.
#include <algorithm>
#include <bit>
#include <cstring>

#include "base/ByteReader.h"
#include "imaging/codecs/Registry.h"
#include "imaging/ops/ColorManagement.h"

namespace tessaro::codecs {
namespace {

enum Compression : uint32_t {
  kRgb = 0,
  kRle8 = 1,
  kRle4 = 2,
  kBitFields = 3,
  kJpeg = 4,
  kPng = 5,
  kAlphaBitFields = 6,
};

struct BmpHeader {
  uint32_t dataOffset = 0;
  uint32_t headerSize = 0;
  int64_t width = 0, height = 0;  // height as stored (negative = top-down)
  uint16_t planes = 0, bits = 0;
  uint32_t compression = kRgb;
  uint32_t imageSize = 0;
  int32_t xPpm = 0, yPpm = 0;
  uint32_t colorsUsed = 0;
  uint32_t masks[4] = {0, 0, 0, 0};  // R, G, B, A
  bool hasAlphaMask = false;
  uint32_t colorSpace = 0;
  uint32_t profileOffset = 0, profileSize = 0;  // V5; offset from the info header's start
  bool os2 = false;
  size_t paletteOffset = 0;
  size_t paletteEntrySize = 4;
  uint32_t paletteCount = 0;
  bool TopDown() const { return height < 0; }
  int64_t Rows() const { return height < 0 ? -height : height; }
};

constexpr uint32_t kProfileEmbedded = 0x4D424544;  // 'MBED'

Status ParseHeader(ByteSource& source, BmpHeader& h) {
  uint8_t raw[14 + 124 + 16] = {};
  size_t have = size_t(std::min<uint64_t>(sizeof raw, source.Size()));
  if (have < 18 || !source.Read(0, have, raw)) return Status::Error("BMP file is truncated");
  ByteReader r(raw, have);
  uint8_t b = 0, m = 0;
  uint32_t fileSize = 0;
  r.U8(b), r.U8(m), r.U32LE(fileSize), r.Skip(4), r.U32LE(h.dataOffset), r.U32LE(h.headerSize);
  if (b != 'B' || m != 'M') return Status::Error("not a BMP file");
  const uint32_t hs = h.headerSize;
  bool known = hs == 12 || hs == 16 || hs == 40 || hs == 52 || hs == 56 || hs == 64 || hs == 108 || hs == 124;
  if (!known) return Status::Error("BMP info header has an unknown size (" + std::to_string(hs) + ")");
  if (14 + hs > have) return Status::Error("BMP file is truncated");
  h.os2 = hs == 12 || hs == 16 || hs == 64;
  if (hs == 12) {
    uint16_t w = 0, ht = 0;
    r.U16LE(w), r.U16LE(ht), r.U16LE(h.planes), r.U16LE(h.bits);
    h.width = w;
    h.height = ht;
    h.paletteEntrySize = 3;
  } else {
    int32_t w = 0, ht = 0;
    r.I32LE(w), r.I32LE(ht), r.U16LE(h.planes), r.U16LE(h.bits);
    h.width = w;
    h.height = ht;
    // OS/2 2.x headers may stop after any field; missing ones are zero.
    if (hs >= 20) r.U32LE(h.compression);
    if (hs >= 24) r.U32LE(h.imageSize);
    if (hs >= 28) r.I32LE(h.xPpm);
    if (hs >= 32) r.I32LE(h.yPpm);
    if (hs >= 36) r.U32LE(h.colorsUsed);
    if (hs >= 40 && !h.os2) {
      r.Skip(4);  // colours important
      if (hs >= 52) r.U32LE(h.masks[0]), r.U32LE(h.masks[1]), r.U32LE(h.masks[2]);
      if (hs >= 56) {
        r.U32LE(h.masks[3]);
        h.hasAlphaMask = true;
      }
      if (hs >= 108) r.U32LE(h.colorSpace);
      if (hs >= 124) {
        r.Skip(36 + 12 + 4);  // endpoints, gamma, intent
        r.U32LE(h.profileOffset), r.U32LE(h.profileSize);
      }
    }
  }
  if (!r.ok()) return Status::Error("BMP header is truncated");
  h.paletteOffset = 14 + hs;
  if (h.os2 && hs != 12) {
    if (h.compression == 3) return Status::Error("OS/2 Huffman-coded BMP is not supported");
    if (h.compression == 4) return Status::Error("OS/2 RLE24 BMP is not supported");
  }
  if (!h.os2 && hs == 40 && (h.compression == kBitFields || h.compression == kAlphaBitFields)) {
    // Windows 3 headers keep the masks right after the header.
    int count = h.compression == kAlphaBitFields ? 4 : 3;
    ByteReader masks(raw, have);
    if (!masks.Skip(54)) return Status::Error("BMP bit masks are missing");
    for (int i = 0; i < count; ++i)
      if (!masks.U32LE(h.masks[i])) return Status::Error("BMP bit masks are missing");
    h.hasAlphaMask = count == 4;
    h.paletteOffset += size_t(count) * 4;
  }
  if (h.compression != kBitFields && h.compression != kAlphaBitFields) h.hasAlphaMask = false;

  if (h.width <= 0) return Status::Error("BMP width is not positive");
  if (h.height == 0) return Status::Error("BMP height is zero");
  if (h.planes != 1) return Status::Error("BMP plane count is not 1");
  const uint32_t c = h.compression;
  if (c == kJpeg || c == kPng) {
    if (h.TopDown()) return Status::Error("BMP with an embedded stream cannot be top-down");
  } else {
    switch (h.bits) {
      case 1:
      case 2:
      case 4:
      case 8:
      case 16:
      case 24:
      case 32:
        break;
      default:
        return Status::Error("BMP bit count " + std::to_string(h.bits) + " is invalid");
    }
    if (c == kRle8 && h.bits != 8) return Status::Error("BMP RLE8 needs 8 bits per pixel");
    if (c == kRle4 && h.bits != 4) return Status::Error("BMP RLE4 needs 4 bits per pixel");
    if ((c == kRle8 || c == kRle4) && h.TopDown()) return Status::Error("run-length BMP cannot be top-down");
    if ((c == kBitFields || c == kAlphaBitFields) && h.bits != 16 && h.bits != 32)
      return Status::Error("BMP bit fields need 16 or 32 bits per pixel");
    if (c > kAlphaBitFields) return Status::Error("BMP compression " + std::to_string(c) + " is unknown");
  }
  if (h.bits <= 8 && c != kJpeg && c != kPng) {
    uint32_t maxColors = 1u << h.bits;
    if (h.colorsUsed > maxColors) return Status::Error("BMP palette is larger than its bit depth allows");
    uint32_t count = h.colorsUsed ? h.colorsUsed : maxColors;
    // Writers that leave no room for a full palette before the data mean a shorter one.
    if (h.dataOffset > h.paletteOffset) {
      uint32_t room = uint32_t((h.dataOffset - h.paletteOffset) / h.paletteEntrySize);
      if (room < count && room > 0) count = room;
    }
    h.paletteCount = count;
    if (h.paletteOffset + uint64_t(count) * h.paletteEntrySize > source.Size())
      return Status::Error("BMP palette runs past the end of the file");
  }
  return Status::Ok();
}

ImageInfo InfoFromHeader(const BmpHeader& h) {
  ImageInfo info;
  info.format = ImageFormat::kBmp;
  info.width = int(std::min<int64_t>(h.width, INT32_MAX));
  info.height = int(std::min<int64_t>(h.Rows(), INT32_MAX));
  if (h.xPpm > 0) info.xPpi = TidyPpi(h.xPpm * 0.0254);
  if (h.yPpm > 0) info.yPpi = TidyPpi(h.yPpm * 0.0254);
  if (h.bits <= 8 && h.compression != kJpeg && h.compression != kPng) {
    info.colorMode = "Indexed";
    info.channels = 1;
    info.bitsPerChannel = h.bits;
  } else {
    info.colorMode = "RGB";
    info.hasAlpha = h.hasAlphaMask && h.masks[3] != 0;
    info.channels = info.hasAlpha ? 4 : 3;
    info.bitsPerChannel = h.bits == 16 ? 5 : 8;
    if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
      int widest = 0;
      for (uint32_t mask : h.masks) widest = std::max(widest, std::popcount(mask));
      info.bitsPerChannel = widest;
    }
  }
  if (h.compression == kRle4 || h.compression == kRle8) info.hasAlpha = false;  // known only after decoding
  info.hasIcc = h.colorSpace == kProfileEmbedded && h.profileSize > 0;
  return info;
}

// A mask turned into shift and width, and the scaling of its values to 8 bits.
struct Field {
  uint32_t mask = 0;
  int shift = 0;
  int bits = 0;
  bool Setup(uint32_t m) {
    mask = m;
    if (m == 0) return true;
    shift = std::countr_zero(m);
    uint32_t v = m >> shift;
    bits = std::popcount(v);
    return (v & (v + 1)) == 0;  // contiguous
  }
  uint8_t Get(uint32_t px) const {
    if (bits == 0) return 0;
    uint64_t v = (px & mask) >> shift;
    uint64_t max = (uint64_t(1) << bits) - 1;
    return uint8_t((v * 255 + max / 2) / max);
  }
};

Status DecodeRle(std::span<const uint8_t> data, const BmpHeader& h, const Rgba8* palette, Image& image,
                 bool& skipped) {
  const int width = image.width(), height = image.height();
  const bool four = h.compression == kRle4;
  ByteReader r(data);
  int x = 0, row = 0;  // row counts from the bottom
  int64_t written = 0;
  auto put = [&](uint8_t index) -> bool {
    if (x >= width || row >= height || index >= h.paletteCount) return false;
    image.At(x, height - 1 - row) = palette[index];
    ++x;
    ++written;
    return true;
  };
  while (true) {
    uint8_t count = 0, value = 0;
    if (!r.U8(count) || !r.U8(value)) {
      if (row >= height) break;
      return Status::Error("BMP run-length data is truncated");
    }
    if (count > 0) {
      for (int i = 0; i < count; ++i) {
        uint8_t index = four ? ((i & 1) ? value & 15 : value >> 4) : value;
        if (!put(index)) return Status::Error("BMP run-length data writes outside the picture");
      }
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of bitmap
      break;
    } else if (value == 2) {  // move
      uint8_t dx = 0, dy = 0;
      if (!r.U8(dx) || !r.U8(dy)) return Status::Error("BMP run-length data is truncated");
      x += dx;
      row += dy;
      if (x > width || row > height || (row == height && x > 0))
        return Status::Error("BMP run-length data moves outside the picture");
    } else {  // absolute run of `value` pixels, padded to a whole 16-bit word
      size_t bytes = four ? (size_t(value) + 1) / 2 : value;
      std::span<const uint8_t> run;
      if (!r.View(bytes, run) || !r.Skip(bytes & 1)) return Status::Error("BMP run-length data is truncated");
      for (int i = 0; i < value; ++i) {
        uint8_t index = four ? ((i & 1) ? run[size_t(i) / 2] & 15 : run[size_t(i) / 2] >> 4) : run[size_t(i)];
        if (!put(index)) return Status::Error("BMP run-length data writes outside the picture");
      }
    }
  }
  skipped = written < int64_t(width) * height;
  return Status::Ok();
}

}  // namespace

Result<ImageInfo> ProbeBmp(ByteSource& source) {
  BmpHeader h;
  if (Status s = ParseHeader(source, h); !s.ok()) return s;
  return InfoFromHeader(h);
}

Result<DecodedImage> DecodeBmp(std::span<const uint8_t> bytes, const DecodeOptions& options) {
  SpanSource source(bytes);
  BmpHeader h;
  if (Status s = ParseHeader(source, h); !s.ok()) return s;
  DecodedImage out;
  out.info = InfoFromHeader(h);
  if (Status s = CheckDecodeSize(h.width, h.Rows(), options); !s.ok()) return s;
  if (h.dataOffset >= bytes.size()) return Status::Error("BMP pixel data lies past the end of the file");
  std::span<const uint8_t> data = bytes.subspan(h.dataOffset);
  const int width = int(h.width), height = int(h.Rows());

  if (h.compression == kJpeg || h.compression == kPng) {
    if (h.imageSize > 0 && h.imageSize <= data.size()) data = data.first(h.imageSize);
    DecodeOptions inner = options;
    inner.minWidth = inner.minHeight = 0;
    inner.allowExifThumbnail = false;
    Result<DecodedImage> embedded = h.compression == kJpeg ? DecodeJpeg(data, inner) : DecodePng(data, inner);
    if (!embedded.ok()) return Status::Error("BMP embedded stream: " + embedded.message());
    if (embedded->pixels.width() != width || embedded->pixels.height() != height)
      return Status::Error("BMP embedded stream does not match the header's size");
    out.pixels = std::move(embedded->pixels);
    out.info.hasAlpha = embedded->info.hasAlpha;
    return out;
  }

  Rgba8 palette[256];
  if (h.bits <= 8) {
    for (uint32_t i = 0; i < h.paletteCount; ++i) {
      const uint8_t* p = bytes.data() + h.paletteOffset + i * h.paletteEntrySize;
      palette[i] = Rgba8{p[2], p[1], p[0], 255};
    }
  }
  if (!out.pixels.Create(width, height).ok()) return Status::Error("out of memory for image");

  if (h.compression == kRle8 || h.compression == kRle4) {
    bool skipped = false;
    if (Status s = DecodeRle(data, h, palette, out.pixels, skipped); !s.ok()) return s;
    out.info.hasAlpha = skipped;  // pixels the runs never reached stay transparent
  } else {
    const uint64_t stride = (uint64_t(width) * h.bits + 31) / 32 * 4;
    const uint64_t lastRow = (uint64_t(width) * h.bits + 7) / 8;
    if (uint64_t(height - 1) * stride + lastRow > data.size())
      return Status::Error("BMP pixel data is truncated");
    Field fields[4];
    bool useAlpha = false;
    if (h.bits == 16 || h.bits == 32) {
      uint32_t masks[4] = {h.masks[0], h.masks[1], h.masks[2], h.masks[3]};
      if (h.compression == kRgb) {
        if (h.bits == 16)
          masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
        else
          masks[0] = 0xFF0000, masks[1] = 0x00FF00, masks[2] = 0x0000FF;
        masks[3] = 0;
      }
      if (!h.hasAlphaMask) masks[3] = 0;
      for (int i = 0; i < 4; ++i)
        if (!fields[i].Setup(masks[i])) return Status::Error("BMP bit mask is not contiguous");
      useAlpha = masks[3] != 0;
    }
    for (int row = 0; row < height; ++row) {
      const uint8_t* src = data.data() + uint64_t(row) * stride;
      Rgba8* dst = out.pixels.Row(h.TopDown() ? row : height - 1 - row);
      switch (h.bits) {
        case 1:
        case 2:
        case 4:
        case 8: {
          const int bits = h.bits, perByte = 8 / bits, mask = (1 << bits) - 1;
          for (int x = 0; x < width; ++x) {
            int shift = 8 - bits * (x % perByte + 1);
            uint32_t index = (src[x / perByte] >> shift) & mask;
            if (index >= h.paletteCount) return Status::Error("BMP palette index out of range");
            dst[x] = palette[index];
          }
          break;
        }
        case 24:
          for (int x = 0; x < width; ++x, src += 3) dst[x] = Rgba8{src[2], src[1], src[0], 255};
          break;
        case 16:
        case 32:
          for (int x = 0; x < width; ++x) {
            uint32_t px;
            if (h.bits == 16) {
              px = uint32_t(src[0]) | uint32_t(src[1]) << 8;
              src += 2;
            } else {
              px = uint32_t(src[0]) | uint32_t(src[1]) << 8 | uint32_t(src[2]) << 16 | uint32_t(src[3]) << 24;
              src += 4;
            }
            dst[x] = Rgba8{fields[0].Get(px), fields[1].Get(px), fields[2].Get(px),
                           useAlpha ? fields[3].Get(px) : uint8_t(255)};
          }
          break;
      }
    }
    if (useAlpha) {
      OpaqueIfAlphaAllZero(out.pixels);
      out.info.hasAlpha = AnyTransparent(out.pixels);
    }
  }

  if (options.convertToSrgb && h.colorSpace == kProfileEmbedded && h.profileSize > 0) {
    uint64_t at = 14 + uint64_t(h.profileOffset);
    if (at <= bytes.size() && h.profileSize <= bytes.size() - at) {
      ColorSource colorSource;
      colorSource.icc = bytes.subspan(size_t(at), h.profileSize);
      ConvertToSrgb(out.pixels, colorSource, PixelLayout::kRgba);
    }
  }
  return out;
}

// "BM" and a plausible size of the information header that follows the
// 14-byte file header.
bool SniffBmp(const SniffInput& input) {
  const std::span<const uint8_t> h = input.head;
  if (!HeadStartsWith(h, {'B', 'M'}) || h.size() < 18) return false;
  uint32_t headerSize = h[14] | h[15] << 8 | h[16] << 16 | uint32_t(h[17]) << 24;
  return headerSize >= 12 && headerSize <= 256;
}

}  // namespace tessaro::codecs
