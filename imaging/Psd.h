// Layered documents (PSD, PSB, PDD): the in-memory form, the reader and the
// writer. The reader treats its input as hostile: every length is checked
// against the bytes left and every count is capped before allocation.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

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

// A layer's pixel mask. Pixels outside `bounds` take `defaultColor`.
struct PsdLayerMask {
  IntRect bounds;            // document pixels
  Plane pixels;              // bounds.Width() x bounds.Height(); 255 shows the layer
  uint8_t defaultColor = 0;  // 0 or 255
  bool linked = true;        // the mask moves with the layer
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
  uint8_t opacity = 255;
  uint8_t fillOpacity = 255;
  BlendMode blendMode = BlendMode::kNormal;
  bool visible = true;
  bool clipping = false;
  PsdSection section = PsdSection::kNone;
  std::optional<PsdLayerMask> mask;
  std::optional<PsdColorOverlay> colorOverlay;
};

// A document-level extra channel: a saved selection (alpha channel) or a
// spot colour. The merged transparency is not one of these (see
// PsdDocument::composite).
struct PsdAlphaChannel {
  std::string name;  // UTF-8; from the Unicode names when present
  Plane pixels;      // document size
  bool spot = false;
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

struct PsdReadOptions {
  bool layers = true;         // decode layer records and their pixels
  bool composite = true;      // decode the merged image
  bool alphaChannels = true;  // decode the extra channels after the merged image
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

Result<PsdInfo> ProbePsd(std::span<const uint8_t> bytes);
Result<PsdDocument> ReadPsd(std::span<const uint8_t> bytes, const PsdReadOptions& options = {});

// Writes an 8-bit RGB document (PSB when a side exceeds 30000). The caller
// supplies `composite` (the flattened picture, document size) so that
// programs that read only the merged image show the right picture.
Result<std::vector<uint8_t>> WritePsd(const PsdDocument& document);

}  // namespace tessaro
