// TGA reader. An 18-byte header (ID length, colour-map type, image type,
// colour-map first index, length and entry bits, origin, width, height,
// pixel bits, descriptor), the image ID, the colour map, then the pixels:
// raw, or in run-length packets (a byte whose top bit marks a run of one
// repeated pixel, else a literal stretch; the low 7 bits are the count - 1)
// that may cross scan lines. Image types: 1 colour-mapped, 2 true-colour,
// 3 grey, +8 run-length coded. The descriptor holds the alpha bit count
// (low 4 bits) and the origin: bit 4 right-to-left, bit 5 top-to-bottom.
// TGA 2.0 files end in a 26-byte footer whose extension area says whether
// the alpha bits are alpha (3), premultiplied alpha (4) or undefined (1, 2).
//
// Pixels are little-endian BGR(A); 15/16-bit pixels are A1 R5 G5 B5.
#include <algorithm>
#include <cstring>

#include "base/ByteReader.h"
#include "imaging/codecs/Registry.h"

namespace tessaro::codecs {
namespace {

struct TgaHeader {
  uint8_t idLength = 0, mapType = 0, type = 0;
  uint16_t mapFirst = 0, mapLength = 0;
  uint8_t mapBits = 0;
  uint16_t width = 0, height = 0;
  uint8_t bits = 0, descriptor = 0;
  int attributesType = -1;  // from the extension area; -1 when there is none
  int AlphaBits() const { return descriptor & 15; }
  bool RightToLeft() const { return descriptor & 0x10; }
  bool TopDown() const { return descriptor & 0x20; }
  bool Rle() const { return type >= 9; }
  int Kind() const { return type & 7; }  // 1 mapped, 2 true colour, 3 grey
};

Status ParseHeader(ByteSource& source, TgaHeader& h) {
  uint8_t raw[18];
  if (!source.Read(0, 18, raw)) return Status::Error("TGA file is truncated");
  ByteReader r(raw, 18);
  uint16_t xOrigin = 0, yOrigin = 0;
  r.U8(h.idLength), r.U8(h.mapType), r.U8(h.type), r.U16LE(h.mapFirst), r.U16LE(h.mapLength), r.U8(h.mapBits);
  r.U16LE(xOrigin), r.U16LE(yOrigin), r.U16LE(h.width), r.U16LE(h.height), r.U8(h.bits), r.U8(h.descriptor);
  if (h.mapType > 1) return Status::Error("TGA colour-map type is invalid");
  if (h.type == 0) return Status::Error("TGA holds no image");
  if (h.Kind() < 1 || h.Kind() > 3 || (h.type > 3 && h.type < 9) || h.type > 11)
    return Status::Error("TGA image type " + std::to_string(h.type) + " is not supported");
  if (h.width == 0 || h.height == 0) return Status::Error("TGA image has no pixels");
  // A colour map may come with any image type (true-colour files may carry
  // one they do not use); its entries must have a known size either way.
  if (h.mapType == 1 && h.mapLength > 0 && h.mapBits != 15 && h.mapBits != 16 && h.mapBits != 24 &&
      h.mapBits != 32)
    return Status::Error("TGA colour-map entry size is invalid");
  switch (h.Kind()) {
    case 1:
      if (h.mapType != 1 || h.mapLength == 0) return Status::Error("colour-mapped TGA has no colour map");
      if (h.bits != 8 && h.bits != 16) return Status::Error("TGA colour index size is invalid");
      break;
    case 2:
      if (h.bits != 15 && h.bits != 16 && h.bits != 24 && h.bits != 32)
        return Status::Error("TGA pixel size is invalid");
      break;
    case 3:
      if (h.bits != 8 && h.bits != 16) return Status::Error("grey TGA pixel size is invalid");
      break;
  }
  uint64_t size = source.Size();
  uint8_t footer[26];
  if (size >= 18 + 26 && source.Read(size - 26, 26, footer) &&
      std::memcmp(footer + 8, "TRUEVISION-XFILE.", 18) == 0) {
    uint32_t extOffset = footer[0] | footer[1] << 8 | footer[2] << 16 | uint32_t(footer[3]) << 24;
    uint8_t extSize[2], attributes = 0;
    if (extOffset >= 18 && source.Read(extOffset, 2, extSize) && (extSize[0] | extSize[1] << 8) >= 495 &&
        source.Read(uint64_t(extOffset) + 494, 1, &attributes))
      h.attributesType = attributes;
  }
  return Status::Ok();
}

ImageInfo InfoFromHeader(const TgaHeader& h) {
  ImageInfo info;
  info.format = ImageFormat::kTga;
  info.width = h.width;
  info.height = h.height;
  bool alpha = h.AlphaBits() > 0 && h.attributesType != 1 && h.attributesType != 2;
  switch (h.Kind()) {
    case 1:
      info.colorMode = "Indexed";
      info.channels = 1;
      info.bitsPerChannel = h.bits;
      info.hasAlpha = alpha && (h.mapBits == 32 || h.mapBits == 16);
      break;
    case 2:
      info.colorMode = "RGB";
      info.hasAlpha = alpha && (h.bits == 32 || h.bits == 16);
      info.channels = info.hasAlpha ? 4 : 3;
      info.bitsPerChannel = h.bits <= 16 ? 5 : 8;
      break;
    default:
      info.colorMode = "Grayscale";
      info.hasAlpha = alpha && h.bits == 16;
      info.channels = info.hasAlpha ? 2 : 1;
      info.bitsPerChannel = 8;
      break;
  }
  return info;
}

Rgba8 FromBytes(const uint8_t* p, int bits, bool gray, bool alpha) {
  if (gray) return Rgba8{p[0], p[0], p[0], bits == 16 && alpha ? p[1] : uint8_t(255)};
  switch (bits) {
    case 15:
    case 16: {
      unsigned w = p[0] | p[1] << 8;
      auto five = [](unsigned v) { return uint8_t((v << 3) | (v >> 2)); };
      return Rgba8{five((w >> 10) & 31), five((w >> 5) & 31), five(w & 31),
                   bits == 16 && alpha ? uint8_t((w & 0x8000) ? 255 : 0) : uint8_t(255)};
    }
    case 24:
      return Rgba8{p[2], p[1], p[0], 255};
    default:
      return Rgba8{p[2], p[1], p[0], alpha ? p[3] : uint8_t(255)};
  }
}

}  // namespace

Result<ImageInfo> ProbeTga(ByteSource& source) {
  TgaHeader h;
  if (Status s = ParseHeader(source, h); !s.ok()) return s;
  return InfoFromHeader(h);
}

Result<DecodedImage> DecodeTga(std::span<const uint8_t> bytes, const DecodeOptions& options) {
  SpanSource source(bytes);
  TgaHeader h;
  if (Status s = ParseHeader(source, h); !s.ok()) return s;
  DecodedImage out;
  out.info = InfoFromHeader(h);
  if (Status s = CheckDecodeSize(h.width, h.height, options); !s.ok()) return s;

  ByteReader r(bytes);
  r.Skip(18 + size_t(h.idLength));
  const bool alpha = out.info.hasAlpha;
  std::vector<Rgba8> map;
  if (h.mapType == 1) {
    size_t entryBytes = (size_t(h.mapBits) + 7) / 8;
    std::span<const uint8_t> raw;
    if (!r.View(size_t(h.mapLength) * entryBytes, raw)) return Status::Error("TGA colour map is truncated");
    if (h.Kind() == 1) {  // other types skip the map they carry
      map.resize(h.mapLength);
      for (size_t i = 0; i < h.mapLength; ++i)
        map[i] = FromBytes(raw.data() + i * entryBytes, h.mapBits, false, alpha);
    }
  }
  if (!r.ok()) return Status::Error("TGA file is truncated");

  const int width = h.width, height = h.height;
  const size_t pixelBytes = (size_t(h.bits) + 7) / 8;
  const bool gray = h.Kind() == 3, mapped = h.Kind() == 1;
  if (!out.pixels.Create(width, height).ok()) return Status::Error("out of memory for image");

  Rgba8 value;
  auto convert = [&](const uint8_t* p) -> bool {
    if (!mapped) {
      value = FromBytes(p, h.bits, gray, alpha);
      return true;
    }
    unsigned index = h.bits == 16 ? unsigned(p[0] | p[1] << 8) : p[0];
    if (index < h.mapFirst || index - h.mapFirst >= map.size()) return false;
    value = map[index - h.mapFirst];
    return true;
  };
  const int64_t total = int64_t(width) * height;
  int64_t n = 0;
  auto place = [&](int64_t count) {
    for (; count > 0 && n < total; --count, ++n) {
      int x = int(n % width), y = int(n / width);
      if (h.RightToLeft()) x = width - 1 - x;
      if (!h.TopDown()) y = height - 1 - y;
      out.pixels.At(x, y) = value;
    }
  };
  if (!h.Rle()) {
    if (!r.CanHold(uint64_t(total), pixelBytes)) return Status::Error("TGA pixel data is truncated");
    for (int64_t i = 0; i < total; ++i) {
      const uint8_t* p = r.Current();
      r.Skip(pixelBytes);
      if (!convert(p)) return Status::Error("TGA colour index out of range");
      place(1);
    }
  } else {
    while (n < total) {
      uint8_t packet = 0;
      if (!r.U8(packet)) return Status::Error("TGA pixel data is truncated");
      int count = (packet & 0x7F) + 1;
      if (packet & 0x80) {
        const uint8_t* p = r.Current();
        if (!r.Skip(pixelBytes)) return Status::Error("TGA pixel data is truncated");
        if (!convert(p)) return Status::Error("TGA colour index out of range");
        place(count);
      } else {
        for (int i = 0; i < count && n < total; ++i) {
          const uint8_t* p = r.Current();
          if (!r.Skip(pixelBytes)) return Status::Error("TGA pixel data is truncated");
          if (!convert(p)) return Status::Error("TGA colour index out of range");
          place(1);
        }
      }
    }
  }
  if (alpha) {
    OpaqueIfAlphaAllZero(out.pixels);
    if (h.attributesType == 4) Unpremultiply(out.pixels);
    out.info.hasAlpha = AnyTransparent(out.pixels);
  }
  return out;
}

namespace {

constexpr char kTgaFooter[] = "TRUEVISION-XFILE.";  // followed by a 0 byte, 18 in all

bool TgaHeaderPlausible(std::span<const uint8_t> head) {
  if (head.size() < 18) return false;
  uint8_t mapType = head[1], type = head[2], depth = head[16];
  if (mapType > 1) return false;
  if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11) return false;
  if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32) return false;
  int width = head[12] | head[13] << 8, height = head[14] | head[15] << 8;
  return width > 0 && height > 0;
}

}  // namespace

// TGA has no signature: a plausible header is taken as TGA when the file's
// name says so or when it ends in the TGA 2.0 footer.
bool SniffTga(const SniffInput& input) {
  const bool footer = input.tail.size() == sizeof kTgaFooter &&
                      std::memcmp(input.tail.data(), kTgaFooter, sizeof kTgaFooter) == 0;
  return (input.extensionMatches || footer) && TgaHeaderPlausible(input.head);
}

}  // namespace tessaro::codecs
