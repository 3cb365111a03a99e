// Layered documents (PSD, PSB, PDD): the in-memory form, the reader and the
// writer. The reader treats its input as hostile: every length is checked
// against the bytes left and every count is capped before allocation; a
// channel's data is checked against its size before its pixels are made.
//
// Reading converts every document to 8-bit RGBA in memory:
//   - 16-bit samples are narrowed with Narrow16To8; 32-bit (linear light)
//     colour is clamped to 0..1 and encoded with the sRGB curve, 32-bit
//     coverage (transparency, masks, alpha channels) is clamped linearly;
//   - CMYK goes through the embedded CMYK profile to sRGB (lcms2, relative
//     colorimetric with black-point compensation); without one, through the
//     inverted-ink formula R = (1 - C)(1 - K) on the stored samples;
//   - Lab goes to sRGB through lcms2 (D50); grey, duotone, bitmap (1 = black)
//     and multichannel (its first channel) become grey; indexed colour goes
//     through the palette, its transparent index (resource 1047) to alpha 0.
// The merged image of a transparent document is stored over white by the
// image editors; the reader recovers the straight colour and the writer
// stores it that way too.
//
// Not rasterised: vector masks, layer effects other than the colour overlay
// (which is read and written as data, not drawn), adjustment layers.
//
// Thread-safety: the functions are reentrant; they use the process-wide
// pool of base/Parallel.h for large documents.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/Cancel.h"
#include "base/Status.h"
#include "imaging/BlendMode.h"
#include "imaging/Image.h"

namespace tessaro {

enum class PsdColorMode {
  kBitmap = 0,
  kGrayscale = 1,
  kIndexed = 2,
  kRgb = 3,
  kCmyk = 4,
  kMultichannel = 7,
  kDuotone = 8,
  kLab = 9,
};

// "Bitmap", "Grayscale", "Indexed", "RGB", "CMYK", "Multichannel", "Duotone",
// "Lab"; "unknown" for any other value.
const char* PsdColorModeName(PsdColorMode mode);
// The colour channels of a mode (RGB and Lab 3, CMYK 4, the others 1); the
// rest of a document's `channels` are extra (transparency, alpha, spot).
// Multichannel documents name all their channels as extra ones: their
// colour channels are those of the `channels` left without one of the
// `channelNames` (0 when both are 0).
int PsdColorChannelCount(PsdColorMode mode, int channels, size_t channelNames);

// A layer's pixel mask. Pixels outside `bounds` take `defaultColor`.
struct PsdLayerMask {
  IntRect bounds;            // document pixels
  Plane pixels;              // bounds.Width() x bounds.Height(); 255 shows the layer
  uint8_t defaultColor = 0;  // 0 or 255
  bool linked = true;        // the mask moves with the layer (stored as flag bit 0 clear)
  bool disabled = false;
};

// The colour-overlay layer effect ("SoFi" in the layer's effects).
struct PsdColorOverlay {
  bool enabled = true;
  BlendMode blendMode = BlendMode::kNormal;
  double opacityPercent = 100;
  uint8_t red = 0, green = 0, blue = 0;
};

// Group structure: folders are written as a divider record below their
// contents and an open or closed folder record above them.
enum class PsdSection { kNone, kOpenFolder, kClosedFolder, kDivider };

struct PsdLayer {
  std::string name;  // UTF-8; the Unicode name when the file has one
  IntRect bounds;    // document pixels; may reach outside the canvas
  Image pixels;      // bounds.Width() x bounds.Height(), straight alpha; empty for empty bounds
                     // and for layers without pixels of their own (adjustment layers)
  uint8_t opacity = 255;
  uint8_t fillOpacity = 255;
  BlendMode blendMode = BlendMode::kNormal;
  bool visible = true;
  bool clipping = false;
  PsdSection section = PsdSection::kNone;
  std::optional<PsdLayerMask> mask;
  std::optional<PsdColorOverlay> colorOverlay;
  // Set by a reader asked for fills (PsdReadOptions::fillLayers) for a layer
  // of one colour: it covers `bounds` and `pixels` stays empty. The writer
  // takes a fill the same way.
  std::optional<Rgba8> fill;
};

// A document-level extra channel: a saved selection (alpha channel) or a
// spot colour. The merged transparency is not one of these (see
// PsdDocument::composite).
struct PsdAlphaChannel {
  std::string name;  // UTF-8; from the Unicode names when present
  Plane pixels;      // document size, or `bounds`-sized when `bounds` is set
  bool spot = false;
  // The document pixels `pixels` covers; the channel is 0 everywhere else.
  // Empty with document-sized pixels: the whole document. The reader sets
  // it (the whole document, or the non-zero box when asked to crop).
  IntRect bounds = {};
};

struct PsdDocument {
  int width = 0;
  int height = 0;
  double resolution = 72;  // pixels per inch
  PsdColorMode colorMode = PsdColorMode::kRgb;
  int depth = 8;  // bits per channel as stored; pixels in memory are always 8-bit
  bool psb = false;
  std::vector<PsdLayer> layers;  // bottom first, as stored
  std::vector<PsdAlphaChannel> alphaChannels;
  // The merged image, converted to RGBA. Its alpha is the merged
  // transparency when the file has one, else opaque.
  Image composite;
  bool hasMergedTransparency = false;
  // True when the file held no real merged image (saved with compatibility
  // off) and `composite` was rebuilt here from the layers, blending every
  // layer as normal.
  bool compositeFlattened = false;
  std::vector<uint8_t> iccProfile;  // as stored (CMYK documents: the CMYK profile)
};

// What to decode; what is left out is not decoded at all (its data is not
// even checked).
struct PsdReadOptions {
  bool layers = true;         // decode layer records and their pixels
  bool composite = true;      // decode the merged image
  bool alphaChannels = true;  // decode the extra channels after the merged image
  // Store each extra channel cropped to the box of its non-zero samples
  // (PsdAlphaChannel::bounds; no pixels when it is all 0). The full plane is
  // never made.
  bool cropAlphaChannels = false;
  // Keep a layer whose every pixel is the same colour as that colour
  // (PsdLayer::fill) instead of decoding its pixels. 8-bit RGB documents.
  bool fillLayers = false;
  // Refuse a document, layer or mask of more pixels than this, from the
  // sizes the file states, before allocating. 0 means
  // kDefaultDecodePixelLimit (250 megapixels); at most kMaxImagePixels.
  int64_t maxPixels = 0;
};

// Header facts read without decoding pixels.
struct PsdInfo {
  int width = 0, height = 0;
  double resolution = 72;
  PsdColorMode colorMode = PsdColorMode::kRgb;
  int depth = 8;
  int channels = 0;
  bool psb = false;
  int layerCount = 0;
  std::vector<std::string> layerNames;  // bottom first
  std::vector<std::string> alphaChannelNames;
  bool hasMergedTransparency = false;  // the merged image carries a transparency plane
};

// Reads the header, the resources and the layer records (names, no pixels).
Result<PsdInfo> ProbePsd(std::span<const uint8_t> bytes);
// Reads a document. When the file holds no real merged image (saved with
// compatibility off) and the composite is asked for, the composite is
// rebuilt from the layers (see PsdDocument::compositeFlattened).
Result<PsdDocument> ReadPsd(std::span<const uint8_t> bytes, const PsdReadOptions& options = {});

// Writes an 8-bit RGB document: PSB when `document.psb` is set, when a side
// exceeds 30000 or when a section outgrows the 32-bit lengths of PSD. The
// caller supplies `composite` (the flattened picture, document size) so that
// programs that read only the merged image show the right picture; when any
// of its alpha is below 255 a merged-transparency channel ("Transparency",
// id 0) is written before the alpha channels. Layers are written bottom
// first with PackBits-coded channels, their names in the legacy field
// (non-ASCII as '?', at most 31 bytes) and in full as Unicode; the colour
// overlay as an effects descriptor and as the older effects block; a fill
// layer as rows of its colour. An RGB `iccProfile` is embedded, any other is
// left out. Refused: a composite not of the document's size, an alpha
// channel whose pixels match neither the document nor its bounds inside the
// document (no pixels and no bounds: all 0), layer or mask pixels not
// matching their bounds, more than 56 channels.
Result<std::vector<uint8_t>> WritePsd(const PsdDocument& document);

struct PsdWriteOptions {
  // Polled every few rows of channel data; once raised the writer stops and
  // returns Status::Cancelled().
  CancelToken cancel;
};
Result<std::vector<uint8_t>> WritePsd(const PsdDocument& document, const PsdWriteOptions& options);

// Writes the document to `path` as WritePsd would (the same bytes), without
// holding the file in memory: the channels are coded a few bands of rows at
// a time and written out as they are done. The file is replaced atomically
// (base's TAtomicFileWriter): on any failure or a cancel the old file, if
// any, stays as it was and nothing else is left behind.
Status WritePsdFile(const std::string& path, const PsdDocument& document,
                    const PsdWriteOptions& options = {});
// A document of one layer named `layerName` ("Layer 1" when empty) holding
// `image`, which is the merged image too, written as WritePsdFile does
// without copying the pixels.
Status WriteSingleLayerPsdFile(const std::string& path, const Image& image, const std::string& layerName,
                               double ppi, const PsdWriteOptions& options = {});

}  // namespace tessaro
