// Decoding and encoding of photo files: JPEG, PNG, TIFF, GIF, BMP, TGA, and
// the merged picture of layered documents (PSD, PSB, PDD). Every decoder
// treats its input as hostile: a malformed, truncated or unsupported file gives
// a Status with a one-line message, never a crash, an exception or output on
// stderr (the libraries' own error exits are caught).
//
// Pixels come out as tessaro::Image (8-bit RGBA, straight alpha, sRGB when
// DecodeOptions::convertToSrgb), top row first, upright when
// DecodeOptions::applyOrientation. Sizes are in pixels, resolutions in pixels
// per inch.
//
// Thread-safety: every function here is reentrant and may run on any thread
// at the same time as the others; nothing keeps state between calls.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/Cancel.h"
#include "base/Status.h"
#include "imaging/Image.h"

namespace tessaro {

// One enumerator per row of the format registry (imaging/codecs/Formats.inc).
enum class ImageFormat {
  kUnknown,
#define TESSARO_IMAGE_FORMAT(id, ...) id,
#include "imaging/codecs/Formats.inc"
#undef TESSARO_IMAGE_FORMAT
};

// The registry's name of the format: "JPEG", "PNG", "TIFF", "GIF", "BMP",
// "PSD", "TGA"; "unknown" for kUnknown.
const char* ImageFormatName(ImageFormat format);

// Tells the format from the first bytes of a file (16 are enough). TGA has no
// signature, so a head that matches nothing else is taken as TGA when
// `extensionHint` (".tga", any case; a whole path also works) says so and the
// header is plausible. Layered documents (".psd", ".psb", ".pdd") are known by
// their signature whatever their name.
ImageFormat SniffFormat(std::span<const uint8_t> head, std::string_view extensionHint = {});

// Header facts. Sizes are as stored, before orientation.
struct ImageInfo {
  ImageFormat format = ImageFormat::kUnknown;
  int width = 0;
  int height = 0;
  int orientation = 1;  // EXIF/TIFF orientation 1..8; 1 when none
  double xPpi = 0;      // pixels per inch as the file states them; 0 when unknown
  double yPpi = 0;
  int bitsPerChannel = 0;      // as stored (palette images: bits per index)
  int channels = 0;            // stored samples per pixel, alpha included (palette images: 1)
  std::string colorMode;       // "RGB", "Grayscale", "CMYK", "Indexed", "Bitmap", "Lab", ...
  bool hasAlpha = false;       // the file carries transparency (alpha, tRNS, transparent index)
  bool hasIcc = false;         // an embedded colour profile
  int exifThumbnailWidth = 0;  // size of the embedded EXIF thumbnail as stored; 0 when none
  int exifThumbnailHeight = 0;

  bool SwapsAxes() const { return orientation >= 5 && orientation <= 8; }
  int DisplayWidth() const { return SwapsAxes() ? height : width; }
  int DisplayHeight() const { return SwapsAxes() ? width : height; }
};

// Reads the header only; no pixel data is decoded.
Result<ImageInfo> ProbeImage(std::span<const uint8_t> bytes, std::string_view extensionHint = {});
// Reads only what the header needs (JPEG: the markers before the first scan;
// TIFF: the first directory; PNG: the chunks before the image data), not the
// whole file. Layered documents are read up to their layer records.
Result<ImageInfo> ProbeImageFile(const std::string& path);

// A part of a picture to decode is given in these units of its width and
// height (a fixed-point fraction, so that a part centred on the picture is
// exactly centred).
inline constexpr int32_t kDecodeCropUnit = 1 << 16;

struct DecodeOptions {
  // 0 and 0: full size. Otherwise the decoder may return a smaller picture
  // (JPEG DCT scaling, the EXIF thumbnail) as long as the result, after
  // orientation, is at least minWidth wide and minHeight high, or is the full
  // picture. A 0 in one of them leaves that side free.
  int minWidth = 0;
  int minHeight = 0;
  bool applyOrientation = true;     // turn the pixels upright by the EXIF/TIFF orientation
  bool allowExifThumbnail = false;  // may answer with the EXIF thumbnail when it is big enough
  bool convertToSrgb = true;        // apply an embedded ICC profile (or PNG gAMA/cHRM) to reach sRGB
  // Refuse pictures of more pixels than this, from the header, before
  // allocating anything. 0 means kDefaultDecodePixelLimit (250 megapixels);
  // callers that need more may ask for up to kMaxImagePixels.
  int64_t maxPixels = 0;
  // The part of the picture the caller needs, in kDecodeCropUnit parts of
  // the returned picture's width (left, right) and height (top, bottom),
  // after orientation; the default is all of it. The decoder may then return
  // only the pixels of DecodeCropRegion (see DecodedImage::region): JPEG
  // decodes only those rows and columns, other formats are cut after
  // decoding. A picture with transparency is returned whole. Values are
  // clamped to 0..kDecodeCropUnit; an empty part means all of it.
  int32_t cropLeft = 0;
  int32_t cropTop = 0;
  int32_t cropRight = kDecodeCropUnit;
  int32_t cropBottom = kDecodeCropUnit;
  int cropMargin = 0;  // returned pixels kept beyond the part on every side (0..kMaxImageSide)
};

struct DecodedImage {
  Image pixels;
  ImageInfo info;              // the file's header facts (stored size, orientation, ...)
  double ppi = 72;             // the file's horizontal resolution, 72 when it states none;
                               // not changed by a reduced-size decode
  bool fromThumbnail = false;  // pixels are the EXIF thumbnail
  double scale = 1;            // returned size / stored size (below 1 after DCT scaling)
  // The whole picture as returned (after orientation, at the returned scale)
  // is wholeWidth x wholeHeight; `pixels` are its part `region` (the whole
  // picture unless DecodeOptions asked for a part).
  IntRect region;
  int wholeWidth = 0;
  int wholeHeight = 0;
};

// The part of a wholeWidth x wholeHeight picture that a decode with
// `options` keeps: the crop taken to pixels and widened outward to whole
// pixels (left and top rounded down, right and bottom up), then by the
// margin, within the picture. A part centred on the picture stays centred.
IntRect DecodeCropRegion(const DecodeOptions& options, int wholeWidth, int wholeHeight);

// The first frame / page / merged picture of a file. For layered documents
// only the merged image is read (no layers, no extra channels).
Result<DecodedImage> DecodeImage(std::span<const uint8_t> bytes, const DecodeOptions& options = {},
                                 std::string_view extensionHint = {});
Result<DecodedImage> DecodeImageFile(const std::string& path, const DecodeOptions& options = {});

// Turns stored pixels upright for an EXIF/TIFF orientation (1..8; anything
// else leaves the image as it is). Orientations 5..8 swap width and height.
Status ApplyOrientation(Image& image, int orientation);

struct JpegEncodeOptions {
  int quality = 90;  // 1..100
  bool progressive = false;
  // Chroma at half resolution both ways (4:2:0); false keeps full chroma (4:4:4).
  bool subsampleChroma = true;
  // Written as an APP2 colour profile when not empty. The pixels are always
  // sRGB; the EXIF block written with them says so (ColorSpace = sRGB).
  std::vector<uint8_t> iccProfile;
  int orientation = 0;                 // written to the EXIF block when 1..8
  std::vector<uint8_t> exifThumbnail;  // a small JPEG written as the EXIF thumbnail
  // Polled every few rows; once raised the encoder stops and returns
  // Status::Cancelled().
  CancelToken cancel;
};

// Encodes an image as baseline (or progressive) JPEG with a JFIF header and
// a small EXIF block (resolution, sRGB colour space, the orientation and
// thumbnail when given; the block must stay under 64 KB). `ppi` is written
// to the JFIF header and the EXIF resolution. JPEG has no transparency:
// partly transparent pixels are flattened over white.
Result<std::vector<uint8_t>> EncodeJpeg(const Image& image, const JpegEncodeOptions& options = {},
                                        double ppi = 72);

// The same encoding of a width x height picture that is made band by band,
// so that it never exists whole: `source(top, bottom)` gives rows
// [top, bottom) as a width x (bottom - top) image. Bands of `bandRows` rows
// (0: about a megapixel each) are asked for top to bottom; the next band is
// made on another thread while the current one is encoded (under the
// caller's ParallelThreads(); when that is 1, on the calling thread as each
// band is needed), so `source` must be safe to call from there (it is never
// called twice at once). An error from `source` ends the encoding with that
// error.
using JpegBandSource = std::function<Result<Image>(int top, int bottom)>;
Result<std::vector<uint8_t>> EncodeJpegBands(int width, int height, int bandRows,
                                             const JpegBandSource& source,
                                             const JpegEncodeOptions& options = {}, double ppi = 72);

// Encodes an image as 8-bit PNG: RGB when every pixel is opaque, else RGBA;
// with pHYs (the resolution) and an sRGB chunk.
Result<std::vector<uint8_t>> EncodePng(const Image& image, double ppi = 72);

struct WriteImageOptions {
  double ppi = 72;         // the resolution written with every format
  JpegEncodeOptions jpeg;  // used for .jpg, .jpeg, .jpe
  std::string layerName;   // .psd: name of the single layer ("Layer 1" when empty)
};

// Writes .png, .jpg/.jpeg/.jpe or .psd (one layer plus the merged image),
// chosen by the extension of `path` (any case), atomically: a failure leaves
// any existing file untouched.
Status WriteImageFile(const std::string& path, const Image& image, const WriteImageOptions& options = {});
// The format WriteImageFile writes for `path` (by its extension, any case);
// kUnknown when it writes none.
ImageFormat OutputFormatOf(std::string_view path);
// The usual extension of every format WriteImageFile writes, for messages:
// ".jpg, .png or .psd".
std::string WritableExtensions();

}  // namespace tessaro
