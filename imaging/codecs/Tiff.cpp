// TIFF through libtiff: the first page. Grey, RGB (YCbCr-in-JPEG included)
// and CMYK at 8 or 16 bits are read sample by sample here, so that 16-bit
// values are narrowed with correct rounding, CMYK keeps its ink values for
// the colour profile and alpha stays straight; every other kind (palette,
// bilevel, uncompressed YCbCr, old-style JPEG, Lab, ...) goes through
// libtiff's RGBA reader.
//
// libtiff's messages are caught per handle (TIFFOpenOptions), never printed.
#include <tiffio.h>

#include <algorithm>
#include <bit>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include "imaging/codecs/Registry.h"
#include "imaging/ops/ColorManagement.h"

namespace tessaro::codecs {
namespace {

static_assert(std::endian::native == std::endian::little, "RGBA rasters are read as little-endian words");

struct Handle {
  ByteSource* source = nullptr;
  std::span<const uint8_t> mapped;  // the whole file when it is in memory
  uint64_t position = 0;
  char message[256] = {};
};

tmsize_t ReadProc(thandle_t h, void* buf, tmsize_t size) {
  auto* handle = static_cast<Handle*>(h);
  if (size <= 0) return 0;
  uint64_t total = handle->source->Size();
  if (handle->position >= total) return 0;
  size_t n = size_t(std::min<uint64_t>(uint64_t(size), total - handle->position));
  if (!handle->source->Read(handle->position, n, static_cast<uint8_t*>(buf))) return -1;
  handle->position += n;
  return tmsize_t(n);
}

tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }

toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
  auto* handle = static_cast<Handle*>(h);
  uint64_t base = whence == SEEK_CUR ? handle->position : whence == SEEK_END ? handle->source->Size() : 0;
  handle->position = base + offset;
  return handle->position;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return static_cast<Handle*>(h)->source->Size(); }

int MapProc(thandle_t h, void** base, toff_t* size) {
  auto* handle = static_cast<Handle*>(h);
  if (handle->mapped.empty()) return 0;
  *base = const_cast<uint8_t*>(handle->mapped.data());
  *size = handle->mapped.size();
  return 1;
}
void UnmapProc(thandle_t, void*, toff_t) {}

int ErrorProc(TIFF*, void* user, const char* module, const char* fmt, va_list ap) {
  auto* handle = static_cast<Handle*>(user);
  if (handle->message[0] == 0) {
    char text[200];
    std::vsnprintf(text, sizeof text, fmt, ap);
    std::snprintf(handle->message, sizeof handle->message, "%s%s%s", module ? module : "", module ? ": " : "",
                  text);
  }
  return 1;
}
int WarningProc(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
  void operator()(TIFF* t) const {
    if (t) TIFFClose(t);
  }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

Result<TiffPtr> Open(Handle& handle, bool mapped) {
  TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
  if (!opts) return Status::Error("out of memory");
  TIFFOpenOptionsSetMaxSingleMemAlloc(opts, tmsize_t(1) << 30);
  TIFFOpenOptionsSetErrorHandlerExtR(opts, ErrorProc, &handle);
  TIFFOpenOptionsSetWarningHandlerExtR(opts, WarningProc, &handle);
  TIFF* tif = TIFFClientOpenExt("tiff", mapped ? "r" : "rm", &handle, ReadProc, WriteProc, SeekProc,
                                CloseProc, SizeProc, MapProc, UnmapProc, opts);
  TIFFOpenOptionsFree(opts);
  if (!tif) return Status::Error(handle.message[0] ? handle.message : "not a readable TIFF file");
  return TiffPtr(tif);
}

struct Layout {
  uint32_t width = 0, height = 0;
  uint16_t bits = 0, spp = 0, photometric = 0, planar = PLANARCONFIG_CONTIG, compression = 0;
  uint16_t sampleFormat = SAMPLEFORMAT_UINT, orientation = ORIENTATION_TOPLEFT, inkSet = INKSET_CMYK;
  uint16_t extraCount = 0;
  uint16_t* extraTypes = nullptr;  // owned by libtiff
  int alphaSample = -1;            // index of the alpha sample, -1 when none
  bool associated = false;         // alpha is premultiplied
};

Layout ReadLayout(TIFF* tif) {
  Layout l;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.spp);
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric))
    l.photometric = l.spp >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &l.compression);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &l.sampleFormat);
  TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &l.orientation);
  TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &l.inkSet);
  bool hasExtra = TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &l.extraCount, &l.extraTypes) != 0;
  int colour = l.photometric == PHOTOMETRIC_SEPARATED ? 4
               : (l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE ||
                  l.photometric == PHOTOMETRIC_PALETTE)
                   ? 1
                   : 3;
  if (hasExtra && l.extraCount > 0 && l.extraTypes && l.spp > colour) {
    if (l.extraTypes[0] == EXTRASAMPLE_ASSOCALPHA || l.extraTypes[0] == EXTRASAMPLE_UNASSALPHA) {
      l.alphaSample = colour;
      l.associated = l.extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
    }
  } else if (!hasExtra && l.photometric == PHOTOMETRIC_RGB && l.spp == 4) {
    // Writers that forget ExtraSamples mean a premultiplied alpha (as libtiff reads it).
    l.alphaSample = 3;
    l.associated = true;
  }
  return l;
}

ImageInfo InfoFromTiff(TIFF* tif, const Layout& l) {
  ImageInfo info;
  info.format = ImageFormat::kTiff;
  info.width = int(std::min<uint32_t>(l.width, INT32_MAX));
  info.height = int(std::min<uint32_t>(l.height, INT32_MAX));
  info.orientation = l.orientation >= 1 && l.orientation <= 8 ? l.orientation : 1;
  info.bitsPerChannel = l.bits;
  info.channels = l.spp;
  switch (l.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
      info.colorMode = l.bits == 1 && l.spp == 1 ? "Bitmap" : "Grayscale";
      break;
    case PHOTOMETRIC_RGB:
    case PHOTOMETRIC_YCBCR:
      info.colorMode = "RGB";
      break;
    case PHOTOMETRIC_PALETTE:
      info.colorMode = "Indexed";
      break;
    case PHOTOMETRIC_SEPARATED:
      info.colorMode = "CMYK";
      break;
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB:
      info.colorMode = "Lab";
      break;
    default:
      info.colorMode = "Other";
      break;
  }
  info.hasAlpha = l.alphaSample >= 0;
  uint32_t iccSize = 0;
  void* icc = nullptr;
  info.hasIcc = TIFFGetField(tif, TIFFTAG_ICCPROFILE, &iccSize, &icc) && iccSize > 0;
  float xRes = 0, yRes = 0;
  uint16_t unit = RESUNIT_INCH;
  TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
  if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xRes) && TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yRes) &&
      (unit == RESUNIT_INCH || unit == RESUNIT_CENTIMETER)) {
    double k = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    if (xRes > 0 && xRes < 1e6) info.xPpi = TidyPpi(xRes * k);
    if (yRes > 0 && yRes < 1e6) info.yPpi = TidyPpi(yRes * k);
  }
  return info;
}

// Puts decoded samples into the picture. Colour samples go to bytes 0..2 (0..3
// for CMYK); alpha to byte 3, or to `alpha` for CMYK. Premultiplied colour is
// divided by its alpha at the file's own precision before narrowing.
struct Depositor {
  Image* image = nullptr;
  Plane* alpha = nullptr;
  int colour = 3;
  int alphaSample = -1;
  bool associated = false;
  bool sixteen = false;
  bool invertGray = false;
  // Alpha of every pixel, filled first when alpha comes in its own plane and
  // the colour is premultiplied.
  std::vector<uint16_t>* planeAlpha = nullptr;

  uint32_t Sample(const uint8_t* src, size_t index) const {
    if (!sixteen) return src[index];
    uint16_t word;
    std::memcpy(&word, src + index * 2, 2);
    return word;
  }
  uint8_t Narrow(uint32_t v) const { return sixteen ? Narrow16To8(uint16_t(v)) : uint8_t(v); }

  // `src` holds `w` pixels of `samples` samples starting at sample `first`.
  void Row(const uint8_t* src, int x0, int y, int w, int first, int samples) const {
    Rgba8* out = image->Row(y) + x0;
    uint8_t* a = alpha ? alpha->Row(y) + x0 : nullptr;
    const bool opaque = alphaSample < 0 && colour != 4;
    const uint32_t full = sixteen ? 65535 : 255;
    const bool alphaInBlock = alphaSample >= first && alphaSample < first + samples;
    for (int x = 0; x < w; ++x) {
      uint8_t* px = reinterpret_cast<uint8_t*>(out + x);
      uint32_t pixelAlpha = full;
      if (associated) {
        if (alphaInBlock)
          pixelAlpha = Sample(src, size_t(x) * samples + size_t(alphaSample - first));
        else if (planeAlpha)
          pixelAlpha = (*planeAlpha)[size_t(y) * image->width() + size_t(x0 + x)];
      }
      for (int k = 0; k < samples; ++k) {
        int s = first + k;
        uint32_t raw = Sample(src, size_t(x) * samples + k);
        if (s < colour) {
          if (associated)
            raw = pixelAlpha == 0 ? 0 : std::min(full, (raw * full + pixelAlpha / 2) / pixelAlpha);
          uint8_t v = Narrow(raw);
          if (colour == 1) {
            if (invertGray) v = uint8_t(255 - v);
            px[0] = px[1] = px[2] = v;
          } else {
            px[s] = v;
          }
          if (s == 0 && opaque) px[3] = 255;
        } else if (s == alphaSample) {
          if (a)
            a[x] = Narrow(raw);
          else
            px[3] = Narrow(raw);
          if (planeAlpha) (*planeAlpha)[size_t(y) * image->width() + size_t(x0 + x)] = uint16_t(raw);
        }
      }
    }
  }
};

struct DecodeTiffState {
  Handle handle;
  TiffPtr tif;
  std::vector<uint8_t> buffer;
};

Status ReadDirect(TIFF* tif, const Layout& l, const Depositor& put, std::vector<uint8_t>& buffer,
                  Handle& handle) {
  auto failure = [&](const char* what) {
    return Status::Error(handle.message[0] ? std::string(handle.message) : std::string(what));
  };
  const bool separate = l.planar == PLANARCONFIG_SEPARATE;
  const int planes = separate ? l.spp : 1;
  const int perPixel = separate ? 1 : l.spp;
  const int used = put.alphaSample >= 0 ? put.alphaSample + 1 : put.colour;  // samples we need
  // Planes in reading order: a premultiplying alpha plane before the colour.
  const bool alphaFirst = separate && put.planeAlpha != nullptr;
  auto PlaneAt = [&](int i) {
    if (!alphaFirst) return i;
    if (i == 0) return put.alphaSample;
    return i <= put.alphaSample ? i - 1 : i;
  };
  if (!TIFFIsTiled(tif)) {
    tmsize_t lineSize = TIFFScanlineSize(tif);
    if (lineSize <= 0) return failure("bad TIFF strip layout");
    if (size_t(lineSize) < size_t(l.width) * perPixel * (l.bits / 8)) return failure("bad TIFF strip layout");
    buffer.resize(size_t(lineSize));
    for (int i = 0; i < planes; ++i) {
      int p = PlaneAt(i);
      if (separate && p >= used) continue;
      for (uint32_t y = 0; y < l.height; ++y) {
        if (TIFFReadScanline(tif, buffer.data(), y, uint16_t(p)) < 0)
          return failure("TIFF image data is damaged");
        put.Row(buffer.data(), 0, int(y), int(l.width), separate ? p : 0, perPixel);
      }
    }
    return Status::Ok();
  }
  uint32_t tileW = 0, tileH = 0;
  TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileW);
  TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileH);
  tmsize_t tileSize = TIFFTileSize(tif);
  if (tileW == 0 || tileH == 0 || tileSize <= 0 ||
      uint64_t(tileSize) < uint64_t(tileW) * tileH * perPixel * (l.bits / 8))
    return failure("bad TIFF tile layout");
  buffer.resize(size_t(tileSize));
  const size_t tileRow = size_t(tileW) * perPixel * (l.bits / 8);
  for (int i = 0; i < planes; ++i) {
    int p = PlaneAt(i);
    if (separate && p >= used) continue;
    for (uint32_t ty = 0; ty < l.height; ty += tileH) {
      for (uint32_t tx = 0; tx < l.width; tx += tileW) {
        if (TIFFReadTile(tif, buffer.data(), tx, ty, 0, uint16_t(p)) < 0)
          return failure("TIFF image data is damaged");
        uint32_t w = std::min(tileW, l.width - tx), h = std::min(tileH, l.height - ty);
        for (uint32_t r = 0; r < h; ++r)
          put.Row(buffer.data() + r * tileRow, int(tx), int(ty + r), int(w), separate ? p : 0, perPixel);
      }
    }
  }
  return Status::Ok();
}

}  // namespace

Result<ImageInfo> ProbeTiff(ByteSource& source) {
  Handle handle;
  handle.source = &source;
  Result<TiffPtr> tif = Open(handle, false);
  if (!tif.ok()) return tif.status();
  Layout l = ReadLayout(tif->get());
  if (l.width == 0 || l.height == 0) return Status::Error("TIFF has no image size");
  return InfoFromTiff(tif->get(), l);
}

Result<DecodedImage> DecodeTiff(std::span<const uint8_t> bytes, const DecodeOptions& options) {
  SpanSource source(bytes);
  auto st = std::make_unique<DecodeTiffState>();
  st->handle.source = &source;
  st->handle.mapped = bytes;
  Result<TiffPtr> opened = Open(st->handle, true);
  if (!opened.ok()) return opened.status();
  st->tif = std::move(*opened);
  TIFF* tif = st->tif.get();
  Layout l = ReadLayout(tif);
  DecodedImage out;
  out.info = InfoFromTiff(tif, l);
  if (Status s = CheckDecodeSize(l.width, l.height, options); !s.ok()) return s;
  if (l.sampleFormat == SAMPLEFORMAT_IEEEFP)
    return Status::Error("floating-point TIFF samples are not supported");
  if (l.sampleFormat == SAMPLEFORMAT_COMPLEXINT || l.sampleFormat == SAMPLEFORMAT_COMPLEXIEEEFP)
    return Status::Error("complex TIFF samples are not supported");

  uint32_t iccSize = 0;
  void* iccData = nullptr;
  std::span<const uint8_t> icc;
  if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &iccSize, &iccData) && iccData && iccSize > 0)
    icc = std::span<const uint8_t>(static_cast<const uint8_t*>(iccData), iccSize);

  // JPEG-compressed YCbCr is turned into RGB by the codec itself.
  bool ycbcrJpeg = l.photometric == PHOTOMETRIC_YCBCR && l.compression == COMPRESSION_JPEG;
  if (ycbcrJpeg) TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  int colour = 0;
  if (l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE) colour = 1;
  if (l.photometric == PHOTOMETRIC_RGB || ycbcrJpeg) colour = 3;
  if (l.photometric == PHOTOMETRIC_SEPARATED && l.inkSet == INKSET_CMYK) colour = 4;
  // Buffers for one strip or tile are sized by the header; a tile far larger
  // than the picture itself only serves to claim memory.
  const uint64_t pictureBytes = uint64_t(l.width) * l.height * std::max<uint16_t>(l.spp, 1) * 2 + 65536;
  if (TIFFIsTiled(tif)) {
    uint32_t tileW = 0, tileH = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileW);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tileH);
    uint64_t tileBytes = uint64_t(tileW) * tileH * std::max<uint16_t>(l.spp, 1) * ((l.bits + 7) / 8);
    if (tileW == 0 || tileH == 0 || tileBytes > 16 * pictureBytes)
      return Status::Error("bad TIFF tile layout");
  } else if (uint64_t(std::max<tmsize_t>(TIFFScanlineSize(tif), 0)) >
             4 * pictureBytes / std::max<uint32_t>(l.height, 1)) {
    return Status::Error("bad TIFF strip layout");
  }
  bool direct = colour > 0 && (l.bits == 8 || l.bits == 16) && l.spp >= colour && l.spp <= 16 &&
                l.sampleFormat != SAMPLEFORMAT_INT &&
                (l.planar == PLANARCONFIG_CONTIG || l.planar == PLANARCONFIG_SEPARATE);

  if (!out.pixels.Create(int(l.width), int(l.height)).ok()) return Status::Error("out of memory for image");
  bool cmyk = false;
  if (direct) {
    Plane alpha;
    Depositor put;
    put.image = &out.pixels;
    put.colour = colour;
    put.alphaSample = l.alphaSample;
    put.sixteen = l.bits == 16;
    put.invertGray = l.photometric == PHOTOMETRIC_MINISWHITE;
    put.associated = l.alphaSample >= 0 && l.associated;
    std::vector<uint16_t> planeAlpha;
    if (put.associated && l.planar == PLANARCONFIG_SEPARATE) {
      planeAlpha.resize(size_t(l.width) * l.height);
      put.planeAlpha = &planeAlpha;
    }
    if (colour == 4 && l.alphaSample >= 0) {
      if (!alpha.Create(int(l.width), int(l.height)).ok()) return Status::Error("out of memory for image");
      put.alpha = &alpha;
    }
    if (Status s = ReadDirect(tif, l, put, st->buffer, st->handle); !s.ok()) return s;
    if (colour == 4) {
      cmyk = true;
      ColorSource colorSource;
      if (options.convertToSrgb) colorSource.icc = icc;
      ConvertToSrgb(out.pixels, colorSource, PixelLayout::kCmyk);
      if (!alpha.empty()) {
        Rgba8* p = out.pixels.data();
        const uint8_t* a = alpha.data();
        for (size_t i = 0, n = out.pixels.PixelCount(); i < n; ++i) p[i].a = a[i];
      }
    }
  } else {
    char message[1024] = {};
    if (!TIFFRGBAImageOK(tif, message)) return Status::Error(std::string("unsupported TIFF: ") + message);
    TIFFRGBAImage img;
    if (!TIFFRGBAImageBegin(&img, tif, 1, message))
      return Status::Error(std::string("unsupported TIFF: ") + message);
    // The orientation is applied by the caller like EXIF's; read rows as stored.
    img.req_orientation = ORIENTATION_TOPLEFT;
    img.orientation = ORIENTATION_TOPLEFT;
    int ok = TIFFRGBAImageGet(&img, reinterpret_cast<uint32_t*>(out.pixels.data()), l.width, l.height);
    bool premultiplied = img.alpha != 0;
    TIFFRGBAImageEnd(&img);
    if (!ok) return Status::Error(st->handle.message[0] ? st->handle.message : "TIFF image data is damaged");
    if (premultiplied) Unpremultiply(out.pixels);
  }
  if (options.convertToSrgb && !cmyk && !icc.empty() && (colour == 1 || colour == 3)) {
    ColorSource colorSource;
    colorSource.icc = icc;
    ConvertToSrgb(out.pixels, colorSource, colour == 1 ? PixelLayout::kGrayInRgba : PixelLayout::kRgba);
  }
  return out;
}

// Classic TIFF (42) and BigTIFF (43), either byte order.
bool SniffTiff(const SniffInput& input) {
  const std::span<const uint8_t> h = input.head;
  return HeadStartsWith(h, {'I', 'I', 42, 0}) || HeadStartsWith(h, {'M', 'M', 0, 42}) ||
         HeadStartsWith(h, {'I', 'I', 43, 0}) || HeadStartsWith(h, {'M', 'M', 0, 43});
}

}  // namespace tessaro::codecs
