// PNG: header probe (own chunk walk), decoding and encoding with libpng.
//
// libpng reports errors by longjmp to the point set with setjmp(png_jmpbuf);
// all state that must survive such a jump lives in a struct owned by the
// caller, and no C++ object with a destructor is alive in a skipped frame.
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "imaging/codecs/Exif.h"
#include "imaging/codecs/Registry.h"
#include "imaging/ops/ColorManagement.h"

namespace tessaro::codecs {
namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void FillInfoFromIhdr(ImageInfo& info, int bitDepth, int colorType) {
  info.format = ImageFormat::kPng;
  info.bitsPerChannel = bitDepth;
  switch (colorType) {
    case 0:
      info.colorMode = "Grayscale", info.channels = 1;
      break;
    case 2:
      info.colorMode = "RGB", info.channels = 3;
      break;
    case 3:
      info.colorMode = "Indexed", info.channels = 1;
      break;
    case 4:
      info.colorMode = "Grayscale", info.channels = 2, info.hasAlpha = true;
      break;
    case 6:
      info.colorMode = "RGB", info.channels = 4, info.hasAlpha = true;
      break;
    default:
      break;
  }
}

void ResolutionFromPhys(ImageInfo& info, uint32_t x, uint32_t y, int unit) {
  if (unit != 1 || x == 0 || y == 0) return;  // only metres give an absolute size
  info.xPpi = TidyPpi(x * 0.0254);
  info.yPpi = TidyPpi(y * 0.0254);
}

// ---- decoding ----

struct ReadState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::span<const uint8_t> input;
  size_t position = 0;
  char message[200] = {};
  Image image;
  std::vector<uint8_t> row16;    // one 16-bit row (non-interlaced 16-bit files)
  std::vector<uint8_t> whole16;  // the whole 16-bit picture (interlaced 16-bit files)
  std::vector<png_bytep> rowPointers;
  int64_t pixelCap = 0;
  ImageInfo header;
  bool sixteen = false;
  bool interlaced = false;
  ~ReadState() {
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  }
};

void ErrorFn(png_structp png, png_const_charp message) {
  auto* st = static_cast<ReadState*>(png_get_error_ptr(png));
  std::snprintf(st->message, sizeof st->message, "%s", message ? message : "PNG error");
  png_longjmp(png, 1);
}

void WarningFn(png_structp, png_const_charp) {}

void ReadFn(png_structp png, png_bytep out, png_size_t length) {
  auto* st = static_cast<ReadState*>(png_get_io_ptr(png));
  if (length > st->input.size() - st->position) {
    png_error(png, "file is truncated");
  }
  std::memcpy(out, st->input.data() + st->position, length);
  st->position += length;
}

void Narrow16Row(const uint8_t* src, Rgba8* dst, int width) {
  for (int x = 0; x < width; ++x, src += 8) {
    dst[x] = Rgba8{Narrow16To8(uint16_t(src[0] << 8 | src[1])), Narrow16To8(uint16_t(src[2] << 8 | src[3])),
                   Narrow16To8(uint16_t(src[4] << 8 | src[5])), Narrow16To8(uint16_t(src[6] << 8 | src[7]))};
  }
}

bool RunRead(ReadState& st) {
  if (setjmp(png_jmpbuf(st.png))) return false;
  png_set_read_fn(st.png, &st, ReadFn);
  png_set_user_limits(st.png, kMaxImageSide, kMaxImageSide);
  png_set_chunk_malloc_max(st.png, 64u << 20);
  png_read_info(st.png, st.info);

  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(st.png, st.info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
  if (Status s = CheckDecodePixels(width, height, st.pixelCap); !s.ok()) {
    std::snprintf(st.message, sizeof st.message, "%s", s.message().c_str());
    return false;
  }
  FillInfoFromIhdr(st.header, bitDepth, colorType);
  st.header.width = int(width);
  st.header.height = int(height);
  if (png_get_valid(st.png, st.info, PNG_INFO_tRNS)) st.header.hasAlpha = true;
  png_uint_32 resX = 0, resY = 0;
  int unit = 0;
  if (png_get_pHYs(st.png, st.info, &resX, &resY, &unit)) ResolutionFromPhys(st.header, resX, resY, unit);
  png_bytep exif = nullptr;
  png_uint_32 exifSize = 0;
  if (png_get_eXIf_1(st.png, st.info, &exifSize, &exif) && exif && exifSize > 0) {
    Result<ExifInfo> parsed = ParseExif(std::span<const uint8_t>(exif, exifSize));
    if (parsed.ok()) st.header.orientation = parsed->orientation;
  }

  png_set_expand(st.png);
  png_set_gray_to_rgb(st.png);
  st.sixteen = bitDepth == 16;
  if (!(colorType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(st.png, st.info, PNG_INFO_tRNS))
    png_set_filler(st.png, st.sixteen ? 0xFFFF : 0xFF, PNG_FILLER_AFTER);
  int passes = png_set_interlace_handling(st.png);
  st.interlaced = passes > 1;
  png_read_update_info(st.png, st.info);
  size_t rowBytes = png_get_rowbytes(st.png, st.info);
  if (rowBytes != size_t(width) * (st.sixteen ? 8 : 4)) {
    std::snprintf(st.message, sizeof st.message, "unexpected PNG row layout");
    return false;
  }
  if (!st.image.Create(int(width), int(height)).ok()) {
    std::snprintf(st.message, sizeof st.message, "out of memory for image");
    return false;
  }

  if (!st.sixteen) {
    if (st.interlaced) {
      st.rowPointers.resize(height);
      for (png_uint_32 y = 0; y < height; ++y)
        st.rowPointers[y] = reinterpret_cast<png_bytep>(st.image.Row(int(y)));
      png_read_image(st.png, st.rowPointers.data());
    } else {
      for (png_uint_32 y = 0; y < height; ++y)
        png_read_row(st.png, reinterpret_cast<png_bytep>(st.image.Row(int(y))), nullptr);
    }
  } else if (st.interlaced) {
    st.whole16.resize(rowBytes * height);
    st.rowPointers.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) st.rowPointers[y] = st.whole16.data() + rowBytes * y;
    png_read_image(st.png, st.rowPointers.data());
    for (png_uint_32 y = 0; y < height; ++y) Narrow16Row(st.rowPointers[y], st.image.Row(int(y)), int(width));
  } else {
    st.row16.resize(rowBytes);
    for (png_uint_32 y = 0; y < height; ++y) {
      png_read_row(st.png, st.row16.data(), nullptr);
      Narrow16Row(st.row16.data(), st.image.Row(int(y)), int(width));
    }
  }
  return true;
}

// ---- encoding ----

struct WriteState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  std::vector<uint8_t> output;
  char message[200] = {};
  ~WriteState() {
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
  }
};

void WriteErrorFn(png_structp png, png_const_charp message) {
  auto* st = static_cast<WriteState*>(png_get_error_ptr(png));
  std::snprintf(st->message, sizeof st->message, "%s", message ? message : "PNG error");
  png_longjmp(png, 1);
}

void WriteFn(png_structp png, png_bytep data, png_size_t length) {
  auto* st = static_cast<WriteState*>(png_get_io_ptr(png));
  bool failed = false;
  try {
    st->output.insert(st->output.end(), data, data + length);
  } catch (...) {
    failed = true;
  }
  if (failed) png_error(png, "out of memory");
}

void FlushFn(png_structp) {}

bool RunWrite(WriteState& st, const Image& image, double ppi, bool withAlpha) {
  if (setjmp(png_jmpbuf(st.png))) return false;
  png_set_write_fn(st.png, &st, WriteFn, FlushFn);
  png_set_IHDR(st.png, st.info, png_uint_32(image.width()), png_uint_32(image.height()), 8,
               withAlpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_sRGB(st.png, st.info, PNG_sRGB_INTENT_PERCEPTUAL);
  if (ppi > 0) {
    png_uint_32 ppm = png_uint_32(std::lround(ppi / 0.0254));
    png_set_pHYs(st.png, st.info, ppm, ppm, PNG_RESOLUTION_METER);
  }
  png_write_info(st.png, st.info);
  if (!withAlpha) png_set_filler(st.png, 0, PNG_FILLER_AFTER);
  for (int y = 0; y < image.height(); ++y)
    png_write_row(st.png, reinterpret_cast<png_const_bytep>(image.Row(y)));
  png_write_end(st.png, st.info);
  return true;
}

}  // namespace

Result<ImageInfo> ProbePng(ByteSource& source) {
  uint8_t head[8 + 8 + 13];
  if (!source.Read(0, sizeof head, head) || std::memcmp(head, kSignature, 8) != 0)
    return Status::Error("not a PNG file (or truncated)");
  if (Be32(head + 8) != 13 || std::memcmp(head + 12, "IHDR", 4) != 0)
    return Status::Error("PNG does not start with a header chunk");
  ImageInfo info;
  info.width = int(std::min<uint32_t>(Be32(head + 16), INT32_MAX));
  info.height = int(std::min<uint32_t>(Be32(head + 20), INT32_MAX));
  int bitDepth = head[24], colorType = head[25];
  FillInfoFromIhdr(info, bitDepth, colorType);
  if (info.colorMode.empty() || info.width == 0 || info.height == 0)
    return Status::Error("PNG header is invalid");
  uint64_t offset = 8 + 8 + 13 + 4;
  std::vector<uint8_t> data;
  for (int guard = 0; guard < 10000; ++guard) {
    uint8_t chunk[8];
    if (!source.Read(offset, 8, chunk)) break;
    uint32_t length = Be32(chunk);
    const char* type = reinterpret_cast<const char*>(chunk + 4);
    if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) break;
    uint64_t dataAt = offset + 8;
    if (std::memcmp(type, "pHYs", 4) == 0 && length == 9 && source.Read(dataAt, 9, data)) {
      ResolutionFromPhys(info, Be32(data.data()), Be32(data.data() + 4), data[8]);
    } else if (std::memcmp(type, "tRNS", 4) == 0) {
      info.hasAlpha = true;
    } else if (std::memcmp(type, "iCCP", 4) == 0) {
      info.hasIcc = true;
    } else if (std::memcmp(type, "eXIf", 4) == 0 && length <= (1u << 20) &&
               source.Read(dataAt, length, data)) {
      Result<ExifInfo> exif = ParseExif(data);
      if (exif.ok()) info.orientation = exif->orientation;
    }
    offset = dataAt + uint64_t(length) + 4;
  }
  return info;
}

// Every chunk up to IEND must lie inside the file. libpng allocates a chunk's
// stated length before reading it, so a few bytes claiming a 2 GB chunk
// would otherwise reserve that much.
Status CheckChunks(std::span<const uint8_t> bytes) {
  uint64_t offset = 8;
  while (offset < bytes.size()) {
    if (bytes.size() - offset < 12) return Status::Error("file is truncated");
    uint32_t length = Be32(bytes.data() + offset);
    if (length > 0x7FFFFFFFu || uint64_t(length) + 12 > bytes.size() - offset)
      return Status::Error("file is truncated (a chunk runs past the end)");
    bool end = std::memcmp(bytes.data() + offset + 4, "IEND", 4) == 0;
    offset += uint64_t(length) + 12;
    if (end) return Status::Ok();
  }
  return Status::Error("file is truncated (no end chunk)");
}

Result<DecodedImage> DecodePng(std::span<const uint8_t> bytes, const DecodeOptions& options) {
  if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0)
    return Status::Error("not a PNG file");
  if (Status s = CheckChunks(bytes); !s.ok()) return s;
  auto st = std::make_unique<ReadState>();
  st->input = bytes;
  st->pixelCap = PixelCap(options);
  st->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, st.get(), ErrorFn, WarningFn);
  if (!st->png) return Status::Error("out of memory");
  st->info = png_create_info_struct(st->png);
  if (!st->info) return Status::Error("out of memory");
  if (!RunRead(*st)) return Status::Error(st->message[0] ? st->message : "PNG decoding failed");

  DecodedImage out;
  out.info = st->header;
  out.info.hasIcc = png_get_valid(st->png, st->info, PNG_INFO_iCCP) != 0;
  out.pixels = std::move(st->image);

  if (options.convertToSrgb) {
    bool gray = (png_get_color_type(st->png, st->info) & PNG_COLOR_MASK_COLOR) == 0;
    ColorSource source;
    png_charp name = nullptr;
    png_bytep profile = nullptr;
    png_uint_32 profileSize = 0;
    int compression = 0;
    int intent = 0;
    double gamma = 0;
    if (png_get_iCCP(st->png, st->info, &name, &compression, &profile, &profileSize) && profile) {
      source.icc = std::span<const uint8_t>(profile, profileSize);
    } else if (!png_get_sRGB(st->png, st->info, &intent) && png_get_gAMA(st->png, st->info, &gamma)) {
      source.gamma = gamma;
      double c[8];
      if (png_get_cHRM(st->png, st->info, &c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6], &c[7])) {
        source.hasChromaticities = true;
        source.white[0] = c[0], source.white[1] = c[1];
        source.red[0] = c[2], source.red[1] = c[3];
        source.green[0] = c[4], source.green[1] = c[5];
        source.blue[0] = c[6], source.blue[1] = c[7];
      }
    }
    ConvertToSrgb(out.pixels, source, gray ? PixelLayout::kGrayInRgba : PixelLayout::kRgba);
  }
  return out;
}

}  // namespace tessaro::codecs

namespace tessaro {

Result<std::vector<uint8_t>> EncodePng(const Image& image, double ppi) {
  if (image.empty()) return Status::Error("nothing to encode (empty image)");
  auto st = std::make_unique<codecs::WriteState>();
  st->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, st.get(), codecs::WriteErrorFn, codecs::WarningFn);
  if (!st->png) return Status::Error("out of memory");
  st->info = png_create_info_struct(st->png);
  if (!st->info) return Status::Error("out of memory");
  bool withAlpha = codecs::AnyTransparent(image);
  if (!codecs::RunWrite(*st, image, ppi, withAlpha))
    return Status::Error(st->message[0] ? st->message : "PNG encoding failed");
  return std::move(st->output);
}

}  // namespace tessaro

namespace tessaro::codecs {

bool SniffPng(const SniffInput& input) {
  return HeadStartsWith(input.head, {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A});
}

Result<std::vector<uint8_t>> EncodePngFile(const Image& image, const WriteImageOptions& options) {
  return EncodePng(image, options.ppi);
}

}  // namespace tessaro::codecs
