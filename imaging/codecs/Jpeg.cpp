// JPEG: header probe (our own marker walk), decoding with libjpeg-turbo
// (DCT scaling, EXIF thumbnail, CMYK/YCCK, ICC to sRGB) and encoding.
//
// libjpeg reports fatal errors through error_exit, which must not return;
// ours longjmps back to the decoding function. Everything that must outlive
// such a jump lives in a state struct owned by the caller, and no C++ object
// with a destructor is alive in a frame the jump skips.
#include <setjmp.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <map>
#include <optional>

// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "base/ByteReader.h"
#include "base/Parallel.h"
#include "imaging/codecs/Exif.h"
#include "imaging/codecs/Registry.h"
#include "imaging/ops/ColorManagement.h"

namespace tessaro::codecs {
namespace {

// What the markers before the first scan say.
struct JpegHeader {
  bool haveFrame = false;
  int width = 0, height = 0, precision = 0, components = 0;
  bool progressive = false;
  bool arithmetic = false;
  bool lossless = false;
  int jfifUnit = -1;  // -1: no JFIF marker
  int jfifX = 0, jfifY = 0;
  bool haveExif = false;
  ExifInfo exif;
  uint64_t exifOffset = 0;  // where the EXIF block (after "Exif\0\0") starts in the file
  bool adobe = false;
  int adobeTransform = -1;
  bool hasIcc = false;
  std::vector<uint8_t> icc;  // assembled only when asked for
  double photoshopPpi = 0;   // Photoshop resolution resource (APP13)
};

bool StartsWith(const std::vector<uint8_t>& data, const char* text, size_t n) {
  return data.size() >= n && std::memcmp(data.data(), text, n) == 0;
}

// The Photoshop image resources in APP13: resolution (resource 0x03ED).
double PhotoshopResolution(std::span<const uint8_t> resources) {
  ByteReader r(resources);
  while (r.Remaining() >= 12) {
    uint8_t sig[4];
    uint16_t id = 0;
    uint8_t nameLength = 0;
    if (!r.ReadBytes(sig, 4) || std::memcmp(sig, "8BIM", 4) != 0) return 0;
    if (!r.U16BE(id) || !r.U8(nameLength) || !r.Skip(nameLength + ((nameLength + 1) & 1 ? 1 : 0))) return 0;
    uint32_t size = 0;
    if (!r.U32BE(size) || !r.CanHold(size, 1)) return 0;
    if (id == 0x03ED && size >= 16) {
      uint32_t hRes = 0;
      if (!r.U32BE(hRes)) return 0;
      return hRes / 65536.0;
    }
    if (!r.Skip(size + (size & 1))) return 0;
  }
  return 0;
}

// Walks the markers from SOI up to the first scan. Fails when the stream is
// not a JPEG or has no usable frame header.
Status ReadJpegHeader(ByteSource& source, JpegHeader& header, bool collectIcc) {
  uint8_t soi[2];
  if (!source.Read(0, 2, soi) || soi[0] != 0xFF || soi[1] != 0xD8) return Status::Error("not a JPEG file");
  std::map<int, std::vector<uint8_t>> iccChunks;
  int iccCount = 0;
  uint64_t offset = 2;
  std::vector<uint8_t> payload;
  uint64_t skipped = 0;  // stray bytes between markers, over the whole header
  for (int guard = 0; guard < 100000; ++guard) {
    uint8_t b = 0;
    // Skip stray bytes before a marker, as libjpeg does (with a bound).
    while (true) {
      if (!source.Read(offset, 1, &b)) break;
      if (b == 0xFF) break;
      ++offset;
      if (++skipped > 65536) return Status::Error("JPEG markers are damaged");
    }
    if (b != 0xFF) break;
    uint8_t marker = 0xFF;
    while (marker == 0xFF) {
      if (!source.Read(++offset, 1, &marker)) {
        marker = 0;
        break;
      }
    }
    if (marker == 0) break;
    ++offset;
    if (marker == 0xD9 || marker == 0xDA) break;  // EOI, SOS
    if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;
    uint8_t lengthBytes[2];
    if (!source.Read(offset, 2, lengthBytes)) break;
    uint32_t length = uint32_t(lengthBytes[0]) << 8 | lengthBytes[1];
    if (length < 2) return Status::Error("JPEG marker segment has a bad length");
    uint64_t dataAt = offset + 2;
    size_t dataSize = length - 2;
    bool isFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    bool wanted =
        isFrame || marker == 0xE0 || marker == 0xE1 || marker == 0xE2 || marker == 0xED || marker == 0xEE;
    if (wanted) {
      // A segment cut by the end of the file still tells what it has.
      uint64_t available = source.Size() > dataAt ? source.Size() - dataAt : 0;
      size_t take = size_t(std::min<uint64_t>(dataSize, available));
      if (!source.Read(dataAt, take, payload)) payload.clear();
      if (isFrame && !header.haveFrame) {
        if (payload.size() < 6) return Status::Error("JPEG frame header is truncated");
        header.haveFrame = true;
        header.precision = payload[0];
        header.height = payload[1] << 8 | payload[2];
        header.width = payload[3] << 8 | payload[4];
        header.components = payload[5];
        header.progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
        header.arithmetic = marker >= 0xC9;
        header.lossless = marker == 0xC3 || marker == 0xC7 || marker == 0xCB || marker == 0xCF;
      } else if (marker == 0xE0 && header.jfifUnit < 0 && StartsWith(payload, "JFIF\0", 5) &&
                 payload.size() >= 12) {
        header.jfifUnit = payload[7];
        header.jfifX = payload[8] << 8 | payload[9];
        header.jfifY = payload[10] << 8 | payload[11];
      } else if (marker == 0xE1 && !header.haveExif && StartsWith(payload, "Exif\0\0", 6)) {
        Result<ExifInfo> exif = ParseExif(std::span<const uint8_t>(payload).subspan(6));
        if (exif.ok()) {
          header.haveExif = true;
          header.exif = *exif;
          header.exifOffset = dataAt + 6;
        }
      } else if (marker == 0xE2 && StartsWith(payload, "ICC_PROFILE\0", 12) && payload.size() >= 14) {
        header.hasIcc = true;
        if (collectIcc) {
          int seq = payload[12], count = payload[13];
          if (iccCount == 0) iccCount = count;
          if (seq >= 1 && count == iccCount && !iccChunks.count(seq))
            iccChunks[seq].assign(payload.begin() + 14, payload.end());
        }
      } else if (marker == 0xED && StartsWith(payload, "Photoshop 3.0\0", 14) && header.photoshopPpi == 0) {
        header.photoshopPpi = PhotoshopResolution(std::span<const uint8_t>(payload).subspan(14));
      } else if (marker == 0xEE && StartsWith(payload, "Adobe", 5)) {
        header.adobe = true;
        if (payload.size() >= 12) header.adobeTransform = payload[11];
      }
    }
    offset = dataAt + dataSize;
  }
  if (!header.haveFrame) return Status::Error("JPEG has no frame header (truncated or damaged)");
  if (collectIcc && iccCount > 0 && int(iccChunks.size()) == iccCount && iccChunks.begin()->first == 1 &&
      iccChunks.rbegin()->first == iccCount) {
    for (auto& [seq, chunk] : iccChunks) header.icc.insert(header.icc.end(), chunk.begin(), chunk.end());
  }
  return Status::Ok();
}

ImageInfo InfoFromHeader(const JpegHeader& h) {
  ImageInfo info;
  info.format = ImageFormat::kJpeg;
  info.width = h.width;
  info.height = h.height;
  info.bitsPerChannel = h.precision;
  info.channels = h.components;
  info.colorMode = h.components == 1 ? "Grayscale" : h.components == 4 ? "CMYK" : "RGB";
  info.hasIcc = h.hasIcc;
  if (h.haveExif) info.orientation = h.exif.orientation;
  // Photoshop's own resource wins, then EXIF, then JFIF (unit 1 inch, 2 cm).
  if (h.photoshopPpi > 0 && h.photoshopPpi < 1e6) {
    info.xPpi = info.yPpi = TidyPpi(h.photoshopPpi);
  } else if (h.haveExif && h.exif.xPpi > 0) {
    info.xPpi = TidyPpi(h.exif.xPpi);
    info.yPpi = TidyPpi(h.exif.yPpi);
  } else if ((h.jfifUnit == 1 || h.jfifUnit == 2) && h.jfifX > 0 && h.jfifY > 0) {
    double k = h.jfifUnit == 2 ? 2.54 : 1.0;
    info.xPpi = TidyPpi(h.jfifX * k);
    info.yPpi = TidyPpi(h.jfifY * k);
  }
  return info;
}

// Size of the EXIF thumbnail, read from its own frame header.
void ProbeThumbnail(ByteSource& source, const JpegHeader& h, ImageInfo& info) {
  if (!h.haveExif || h.exif.thumbnailLength == 0) return;
  std::vector<uint8_t> thumb;
  if (!source.Read(h.exifOffset + h.exif.thumbnailOffset, h.exif.thumbnailLength, thumb)) return;
  SpanSource inner(thumb);
  JpegHeader th;
  if (!ReadJpegHeader(inner, th, false).ok()) return;
  info.exifThumbnailWidth = th.width;
  info.exifThumbnailHeight = th.height;
}

// ---- libjpeg error handling ----

struct ErrorManager {
  jpeg_error_mgr pub;
  jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  longjmp(err->jump, 1);
}

// Warnings are quiet, except that data running out ends the decode: a
// truncated photo is refused rather than shown half grey.
void EmitMessage(j_common_ptr cinfo, int level) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  if (level < 0) {
    if (cinfo->err->msg_code == JWRN_JPEG_EOF) {
      std::snprintf(err->message, sizeof err->message, "file is truncated (image data ends early)");
      longjmp(err->jump, 1);
    }
    cinfo->err->num_warnings++;
  }
}

void OutputMessage(j_common_ptr) {}

void InstallErrorManager(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = EmitMessage;
  err.pub.output_message = OutputMessage;
  err.message[0] = 0;
}

// The part of the picture a decode keeps (see DecodeOptions' crop).
struct CropRequest {
  const DecodeOptions* options = nullptr;  // null: the whole picture
  int orientation = 1;                     // the turn the caller applies afterwards
  // The file ends with its end-of-image marker, so a decode that stops early
  // refuses nothing a whole decode would accept: a whole decode only fails on
  // data that runs out, and it cannot run out before that marker.
  bool endsWithMarker = false;
};

struct DecodeState {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  bool created = false;
  Image image;
  std::vector<JSAMPROW> rows;
  std::vector<uint8_t> band;  // rows of a cut decode before their columns are taken
  int64_t pixelCap = 0;
  size_t inputSize = 0;
  char sizeMessage[160] = {};
  std::optional<PagePrefetcher> prefetcher;
  // Filled by a cut decode: where the pixels sit in the whole picture (after
  // the caller's turn) and that picture's size; the size of the whole
  // decoded picture as stored.
  IntRect region;
  int wholeWidth = 0, wholeHeight = 0;
  int outputWidth = 0;
  ~DecodeState() {
    prefetcher.reset();
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

// Smallest M (output = M/8 of the stored size) that still gives at least
// reqW x reqH; 8 when nothing smaller is allowed.
int ChooseScale(jpeg_decompress_struct& cinfo, int reqW, int reqH) {
  if (reqW <= 0 && reqH <= 0) return 8;
  for (int m = 1; m < 8; ++m) {
    cinfo.scale_num = m;
    cinfo.scale_denom = 8;
    jpeg_calc_output_dimensions(&cinfo);
    if (int(cinfo.output_width) >= reqW && int(cinfo.output_height) >= reqH) return m;
  }
  return 8;
}

// Rows and columns decoded beyond a cut on each side and thrown away: the
// library starts a cut at a block boundary and its upsampling treats the
// cut's edges as the picture's edges, so the kept pixels stay clear of both.
constexpr int kCutPad = 16;

// Decodes the rows and columns of `stored` (output pixels as stored) into
// st.image, skipping the rows above and stopping below.
bool ReadCut(DecodeState& st, const IntRect& stored) {
  jpeg_decompress_struct& cinfo = st.cinfo;
  const int fullWidth = int(cinfo.output_width);
  JDIMENSION xoffset = JDIMENSION(std::max(0, stored.left - kCutPad));
  JDIMENSION width = JDIMENSION(std::min(fullWidth, stored.right + kCutPad)) - xoffset;
  if (xoffset > 0 || int(width) < fullWidth) jpeg_crop_scanline(&cinfo, &xoffset, &width);
  const int skip = std::max(0, stored.top - kCutPad);
  if (skip > 0 && int(jpeg_skip_scanlines(&cinfo, JDIMENSION(skip))) != skip) {
    std::snprintf(st.err.message, sizeof st.err.message, "file is truncated (image data ends early)");
    return false;
  }
  constexpr int kBandRows = 16;
  const size_t rowBytes = size_t(cinfo.output_width) * 4;
  st.band.resize(rowBytes * kBandRows);
  JSAMPROW bandRows[kBandRows];
  for (int i = 0; i < kBandRows; ++i) bandRows[i] = st.band.data() + rowBytes * size_t(i);
  const size_t firstByte = size_t(stored.left - int(xoffset)) * 4;
  const size_t keptBytes = size_t(stored.Width()) * 4;
  while (int(cinfo.output_scanline) < stored.bottom) {
    const int top = int(cinfo.output_scanline);
    const JDIMENSION got = jpeg_read_scanlines(&cinfo, bandRows, JDIMENSION(kBandRows));
    if (got == 0) {
      std::snprintf(st.err.message, sizeof st.err.message, "file is truncated (image data ends early)");
      return false;
    }
    for (int i = 0; i < int(got); ++i) {
      const int y = top + i;
      if (y < stored.top || y >= stored.bottom) continue;
      std::memcpy(st.image.Row(y - stored.top), bandRows[i] + firstByte, keptBytes);
    }
  }
  return true;
}

// Decodes into st.image; false with st.err.message on failure.
bool RunDecode(DecodeState& st, const uint8_t* data, size_t size, int reqW, int reqH,
               const CropRequest& crop) {
  jpeg_decompress_struct& cinfo = st.cinfo;
  if (setjmp(st.err.jump)) return false;
  cinfo.err = &st.err.pub;
  InstallErrorManager(st.err);
  jpeg_create_decompress(&cinfo);
  st.created = true;
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);

  int64_t w = cinfo.image_width, h = cinfo.image_height;
  if (Status s = CheckDecodePixels(w, h, st.pixelCap); !s.ok()) {
    std::snprintf(st.err.message, sizeof st.err.message, "%s", s.message().c_str());
    return false;
  }
  // A picture this big cannot come from so few bytes; refusing it early
  // keeps damaged files from claiming gigabytes of coefficient memory.
  if (w * h > (int64_t(64) << 20) && w * h / 2000 > int64_t(size)) {
    std::snprintf(st.err.message, sizeof st.err.message, "image data too short for its size (damaged file)");
    return false;
  }

  if (cinfo.num_components == 4)
    cinfo.out_color_space = JCS_CMYK;
  else if (cinfo.num_components == 3 || cinfo.num_components == 1)
    cinfo.out_color_space = JCS_EXT_RGBA;
  else {
    std::snprintf(st.err.message, sizeof st.err.message, "unsupported JPEG with %d components",
                  cinfo.num_components);
    return false;
  }
  cinfo.dct_method = JDCT_ISLOW;
  int m = ChooseScale(cinfo, reqW, reqH);
  cinfo.scale_num = m;
  cinfo.scale_denom = 8;
  jpeg_calc_output_dimensions(&cinfo);
  st.outputWidth = int(cinfo.output_width);

  // The part to keep, as stored.
  const int ow = int(cinfo.output_width), oh = int(cinfo.output_height);
  IntRect stored{0, 0, ow, oh};
  if (crop.options && crop.endsWithMarker) {
    const bool swaps = crop.orientation >= 5 && crop.orientation <= 8;
    const int uw = swaps ? oh : ow, uh = swaps ? ow : oh;
    const IntRect upright = DecodeCropRegion(*crop.options, uw, uh);
    if (upright != IntRect{0, 0, uw, uh}) {
      stored = StoredRegion(upright, crop.orientation, ow, oh);
      st.region = upright;
      st.wholeWidth = uw;
      st.wholeHeight = uh;
    }
  }
  const bool cut = stored != IntRect{0, 0, ow, oh};

  if (!st.image.CreateUninitialized(stored.Width(), stored.Height()).ok()) {
    std::snprintf(st.err.message, sizeof st.err.message, "out of memory for image");
    return false;
  }
  // The prefetcher holds a thread: it lives in the state, not in this frame,
  // so that an error jump cannot skip its destructor.
  st.prefetcher.emplace(st.image.data(), st.image.ByteSize());
  jpeg_start_decompress(&cinfo);
  if (cut) {
    if (!ReadCut(st, stored)) return false;
  } else {
    st.rows.resize(cinfo.output_height);
    for (JDIMENSION y = 0; y < cinfo.output_height; ++y)
      st.rows[y] = reinterpret_cast<JSAMPROW>(st.image.Row(int(y)));
    while (cinfo.output_scanline < cinfo.output_height) {
      JDIMENSION got = jpeg_read_scanlines(&cinfo, st.rows.data() + cinfo.output_scanline,
                                           cinfo.output_height - cinfo.output_scanline);
      if (got == 0) {
        std::snprintf(st.err.message, sizeof st.err.message, "file is truncated (image data ends early)");
        return false;
      }
    }
  }
  st.prefetcher.reset();
  return true;
}

bool AspectMatches(int tw, int th, int w, int h) {
  if (tw <= 0 || th <= 0 || w <= 0 || h <= 0) return false;
  double expected = double(tw) * h / w;
  return std::fabs(th - expected) <= 1.0 + 0.01 * th;
}

Result<DecodedImage> DecodeMain(std::span<const uint8_t> bytes, const DecodeOptions& options, int reqW,
                                int reqH, const JpegHeader& header, std::span<const uint8_t> iccOverride,
                                const CropRequest& crop = {}) {
  auto st = std::make_unique<DecodeState>();
  st->pixelCap = PixelCap(options);
  if (!RunDecode(*st, bytes.data(), bytes.size(), reqW, reqH, crop)) {
    std::string message = st->err.message[0] ? st->err.message : "JPEG decoding failed";
    return Status::Error(message);
  }
  DecodedImage out;
  out.pixels = std::move(st->image);
  out.scale = double(st->outputWidth) / std::max<JDIMENSION>(1, st->cinfo.image_width);
  out.region = st->region;
  out.wholeWidth = st->wholeWidth;
  out.wholeHeight = st->wholeHeight;
  bool cmyk = st->cinfo.out_color_space == JCS_CMYK;
  bool inverted = cmyk && st->cinfo.saw_Adobe_marker;
  bool gray = st->cinfo.num_components == 1;
  st.reset();

  std::span<const uint8_t> icc = iccOverride.empty() ? std::span<const uint8_t>(header.icc) : iccOverride;
  if (cmyk) {
    ColorSource source;
    if (options.convertToSrgb) source.icc = icc;
    ConvertToSrgb(out.pixels, source, inverted ? PixelLayout::kCmykInverted : PixelLayout::kCmyk);
  } else if (options.convertToSrgb && !icc.empty()) {
    ColorSource source;
    source.icc = icc;
    ConvertToSrgb(out.pixels, source, gray ? PixelLayout::kGrayInRgba : PixelLayout::kRgba);
  }
  return out;
}

// A destination that writes into a vector the state owns. (The library's
// memory destination frees and replaces its buffer as it grows without
// telling the caller, so a compression abandoned half-way cannot release it
// safely.)
struct VectorDestination {
  jpeg_destination_mgr pub;  // first member: the library sees this
  std::vector<uint8_t> bytes;

  static void Init(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<VectorDestination*>(cinfo->dest);
    d->bytes.resize(size_t(1) << 16);
    d->pub.next_output_byte = d->bytes.data();
    d->pub.free_in_buffer = d->bytes.size();
  }
  static boolean Grow(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<VectorDestination*>(cinfo->dest);
    const size_t used = d->bytes.size();  // the library calls this only when the buffer is full
    d->bytes.resize(used * 2);
    d->pub.next_output_byte = d->bytes.data() + used;
    d->pub.free_in_buffer = d->bytes.size() - used;
    return TRUE;
  }
  static void Term(j_compress_ptr cinfo) {
    auto* d = reinterpret_cast<VectorDestination*>(cinfo->dest);
    d->bytes.resize(d->bytes.size() - d->pub.free_in_buffer);
  }
};

// Row y of the picture being encoded (asked for top to bottom), or null when
// it cannot be had (the reason is kept by whoever gives the rows).
using RowFetch = std::function<const Rgba8*(int y)>;

struct EncodeState {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  VectorDestination dest;
  bool created = false;
  bool cancelled = false;
  bool rowsFailed = false;
  std::vector<uint8_t> row;
  ~EncodeState() {
    if (created) jpeg_destroy_compress(&cinfo);
  }
};

bool RunEncode(EncodeState& st, int imageWidth, int imageHeight, const RowFetch& fetch,
               const JpegEncodeOptions& options, double ppi, const std::vector<uint8_t>& exif) {
  jpeg_compress_struct& cinfo = st.cinfo;
  if (setjmp(st.err.jump)) return false;
  cinfo.err = &st.err.pub;
  InstallErrorManager(st.err);
  jpeg_create_compress(&cinfo);
  st.created = true;
  st.dest.pub.init_destination = VectorDestination::Init;
  st.dest.pub.empty_output_buffer = VectorDestination::Grow;
  st.dest.pub.term_destination = VectorDestination::Term;
  cinfo.dest = &st.dest.pub;
  cinfo.image_width = JDIMENSION(imageWidth);
  cinfo.image_height = JDIMENSION(imageHeight);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, std::clamp(options.quality, 1, 100), TRUE);
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.write_JFIF_header = TRUE;
  const double density = ppi > 0 ? std::min(ppi, 65535.0) : 72;
  cinfo.density_unit = 1;
  cinfo.X_density = cinfo.Y_density = UINT16(std::lround(density));
  if (!options.subsampleChroma) {
    cinfo.comp_info[0].h_samp_factor = 1;
    cinfo.comp_info[0].v_samp_factor = 1;
  }
  if (options.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif.data(), unsigned(exif.size()));
  if (!options.iccProfile.empty())
    jpeg_write_icc_profile(&cinfo, options.iccProfile.data(), unsigned(options.iccProfile.size()));
  const int width = imageWidth;
  st.row.resize(size_t(width) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    if (cinfo.next_scanline % 16 == 0 && options.cancel.Requested()) {
      st.cancelled = true;
      return false;
    }
    const Rgba8* src = fetch(int(cinfo.next_scanline));
    if (!src) {
      st.rowsFailed = true;
      return false;
    }
    uint8_t* dst = st.row.data();
    for (int x = 0; x < width; ++x) {
      unsigned a = src[x].a;
      if (a == 255) {
        dst[0] = src[x].r, dst[1] = src[x].g, dst[2] = src[x].b;
      } else {
        // Over white: c * a + 255 * (1 - a).
        unsigned inv = 255 - a;
        dst[0] = uint8_t((src[x].r * a + 255 * inv + 127) / 255);
        dst[1] = uint8_t((src[x].g * a + 255 * inv + 127) / 255);
        dst[2] = uint8_t((src[x].b * a + 255 * inv + 127) / 255);
      }
      dst += 3;
    }
    JSAMPROW rowPointer = st.row.data();
    jpeg_write_scanlines(&cinfo, &rowPointer, 1);
  }
  jpeg_finish_compress(&cinfo);
  return true;
}

// The size needed in stored orientation for the options.
void RequiredStoredSize(const DecodeOptions& options, const ImageInfo& info, int& reqW, int& reqH) {
  reqW = std::max(0, options.minWidth);
  reqH = std::max(0, options.minHeight);
  if (options.applyOrientation && info.SwapsAxes()) std::swap(reqW, reqH);
}

// The EXIF thumbnail decoded, when it is at least reqW x reqH, has the main
// picture's shape (cameras pad thumbnails of other shapes with black bands)
// and decodes cleanly.
std::optional<DecodedImage> ThumbnailIfSuitable(ByteSource& source, const JpegHeader& header,
                                                const ImageInfo& info, const DecodeOptions& options, int reqW,
                                                int reqH) {
  if (info.exifThumbnailWidth < reqW || info.exifThumbnailHeight < reqH ||
      !AspectMatches(info.exifThumbnailWidth, info.exifThumbnailHeight, info.width, info.height))
    return std::nullopt;
  std::vector<uint8_t> thumb;
  if (!source.Read(header.exifOffset + header.exif.thumbnailOffset, header.exif.thumbnailLength, thumb))
    return std::nullopt;
  SpanSource thumbSource(thumb);
  JpegHeader thumbHeader;
  if (!ReadJpegHeader(thumbSource, thumbHeader, false).ok() || thumbHeader.precision != 8)
    return std::nullopt;
  DecodeOptions thumbOptions;
  thumbOptions.convertToSrgb = options.convertToSrgb;
  // The thumbnail has the main picture's colours but rarely its profile.
  Result<DecodedImage> small = DecodeMain(thumb, thumbOptions, 0, 0, thumbHeader, header.icc);
  if (!small.ok()) return std::nullopt;
  small->info = info;
  small->fromThumbnail = true;
  small->scale = double(small->pixels.width()) / info.width;
  return std::move(*small);
}

}  // namespace

Result<ImageInfo> ProbeJpeg(ByteSource& source) {
  JpegHeader header;
  if (Status s = ReadJpegHeader(source, header, false); !s.ok()) return s;
  ImageInfo info = InfoFromHeader(header);
  ProbeThumbnail(source, header, info);
  return info;
}

std::optional<DecodedImage> DecodeJpegThumbnail(ByteSource& source, const DecodeOptions& options) {
  if (!options.allowExifThumbnail || (options.minWidth <= 0 && options.minHeight <= 0)) return std::nullopt;
  JpegHeader header;
  if (!ReadJpegHeader(source, header, options.convertToSrgb).ok()) return std::nullopt;
  ImageInfo info = InfoFromHeader(header);
  ProbeThumbnail(source, header, info);
  int reqW = 0, reqH = 0;
  RequiredStoredSize(options, info, reqW, reqH);
  return ThumbnailIfSuitable(source, header, info, options, reqW, reqH);
}

Result<DecodedImage> DecodeJpeg(std::span<const uint8_t> bytes, const DecodeOptions& options) {
  SpanSource source(bytes);
  JpegHeader header;
  if (Status s = ReadJpegHeader(source, header, options.convertToSrgb); !s.ok()) return s;
  ImageInfo info = InfoFromHeader(header);
  ProbeThumbnail(source, header, info);
  if (header.lossless) return Status::Error("lossless JPEG is not supported");
  if (header.precision != 8)
    return Status::Error("JPEG with " + std::to_string(header.precision) + "-bit samples is not supported");
  if (Status s = CheckDecodeSize(header.width, header.height, options); !s.ok()) return s;

  int reqW = 0, reqH = 0;
  RequiredStoredSize(options, info, reqW, reqH);
  bool reduced = reqW > 0 || reqH > 0;

  if (reduced && options.allowExifThumbnail) {
    if (std::optional<DecodedImage> small = ThumbnailIfSuitable(source, header, info, options, reqW, reqH))
      return std::move(*small);
  }

  CropRequest crop;
  if (DecodeCropRequested(options)) {
    crop.options = &options;
    crop.orientation = options.applyOrientation ? info.orientation : 1;
    crop.endsWithMarker = bytes.size() >= 4 && bytes[bytes.size() - 2] == 0xFF && bytes.back() == 0xD9;
  }
  Result<DecodedImage> decoded = DecodeMain(bytes, options, reqW, reqH, header, {}, crop);
  if (!decoded.ok()) return decoded;
  decoded->info = info;
  return decoded;
}

}  // namespace tessaro::codecs

namespace tessaro {

namespace {

// The APP1 marker's contents: resolution, sRGB, orientation, thumbnail.
std::vector<uint8_t> JpegExifBlock(const JpegEncodeOptions& options, double ppi) {
  ExifWriteOptions exifOptions;
  exifOptions.ppi = ppi > 0 ? ppi : 72;
  exifOptions.colorSpace = 1;
  exifOptions.orientation = options.orientation;
  exifOptions.thumbnailJpeg = options.exifThumbnail;
  std::vector<uint8_t> exif = {'E', 'x', 'i', 'f', 0, 0};
  std::vector<uint8_t> block = WriteExif(exifOptions);
  exif.insert(exif.end(), block.begin(), block.end());
  return exif;
}

}  // namespace

Result<std::vector<uint8_t>> EncodeJpeg(const Image& image, const JpegEncodeOptions& options, double ppi) {
  if (image.empty()) return Status::Error("nothing to encode (empty image)");
  if (image.width() > 65500 || image.height() > 65500)
    return Status::Error("image too large for JPEG (a side exceeds 65500 pixels)");
  std::vector<uint8_t> exif = JpegExifBlock(options, ppi);
  if (exif.size() > 65533) return Status::Error("EXIF block too large for a JPEG marker (thumbnail too big)");

  auto st = std::make_unique<codecs::EncodeState>();
  const codecs::RowFetch fetch = [&image](int y) { return image.Row(y); };
  if (!codecs::RunEncode(*st, image.width(), image.height(), fetch, options, ppi, exif)) {
    if (st->cancelled) return Status::Cancelled();
    std::string message = st->err.message[0] ? st->err.message : "JPEG encoding failed";
    return Status::Error(message);
  }
  return std::move(st->dest.bytes);
}

Result<std::vector<uint8_t>> EncodeJpegBands(int width, int height, int bandRows,
                                             const JpegBandSource& source, const JpegEncodeOptions& options,
                                             double ppi) {
  if (width <= 0 || height <= 0) return Status::Error("nothing to encode (empty image)");
  if (width > 65500 || height > 65500)
    return Status::Error("image too large for JPEG (a side exceeds 65500 pixels)");
  if (bandRows <= 0) bandRows = std::max(16, int(std::min<int64_t>(height, (int64_t(1) << 20) / width)));
  std::vector<uint8_t> exif = JpegExifBlock(options, ppi);
  if (exif.size() > 65533) return Status::Error("EXIF block too large for a JPEG marker (thumbnail too big)");

  // The band being encoded and the next one, made on another thread
  // meanwhile, with the caller's share of threads. A caller held to one
  // thread makes each band on its own thread when the encoder asks for it.
  // The pending band is waited for before anything it uses goes.
  const int threads = ParallelThreads();
  struct Bands {
    Result<Image> current = Status::Error("no band yet");
    int top = 0, bottom = 0;
    std::future<Result<Image>> next;
    int nextTop = 0, nextBottom = 0;
    Status failure;
    ~Bands() {
      // A deferred band that was never asked for is not made now.
      if (next.valid() && next.wait_for(std::chrono::seconds(0)) != std::future_status::deferred) next.wait();
    }
  } bands;
  auto start = [&](int top) {
    bands.nextTop = top;
    bands.nextBottom = std::min(height, top + bandRows);
    if (top >= height) return;
    if (threads < 2) {
      bands.next = std::async(std::launch::deferred,
                              [&source, top, bottom = bands.nextBottom] { return source(top, bottom); });
      return;
    }
    bands.next = std::async(std::launch::async, [&source, top, bottom = bands.nextBottom, threads] {
      ScopedThreadLimit limit(threads);
      return source(top, bottom);
    });
  };
  start(0);
  const codecs::RowFetch fetch = [&](int y) -> const Rgba8* {
    if (y >= bands.bottom) {
      if (y != bands.nextTop || !bands.next.valid()) {
        bands.failure = Status::Error("JPEG rows asked for out of order");
        return nullptr;
      }
      bands.current = bands.next.get();
      bands.top = bands.nextTop;
      bands.bottom = bands.nextBottom;
      if (!bands.current.ok()) {
        bands.failure = bands.current.status();
        return nullptr;
      }
      if (bands.current->width() != width || bands.current->height() != bands.bottom - bands.top) {
        bands.failure = Status::Error("a band of the picture has the wrong size");
        return nullptr;
      }
      start(bands.bottom);
    }
    return bands.current->Row(y - bands.top);
  };
  auto st = std::make_unique<codecs::EncodeState>();
  if (!codecs::RunEncode(*st, width, height, fetch, options, ppi, exif)) {
    if (st->cancelled || bands.failure.cancelled()) return Status::Cancelled();
    if (st->rowsFailed) return bands.failure;
    std::string message = st->err.message[0] ? st->err.message : "JPEG encoding failed";
    return Status::Error(message);
  }
  return std::move(st->dest.bytes);
}

}  // namespace tessaro

namespace tessaro::codecs {

bool SniffJpeg(const SniffInput& input) { return HeadStartsWith(input.head, {0xFF, 0xD8, 0xFF}); }

Result<std::vector<uint8_t>> EncodeJpegFile(const Image& image, const WriteImageOptions& options) {
  return EncodeJpeg(image, options.jpeg, options.ppi);
}

}  // namespace tessaro::codecs
