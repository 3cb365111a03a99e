// The editor's in-memory document model, shared by its implementation files
// (not part of the automation interface).
//
// Memory follows the painted area: a layer stores only the box its pixels
// cover (`box`, document coordinates, may reach outside the canvas); alpha
// channels, masks and the selection are MaskPlanes cropped to their non-empty
// box; a layer of one colour keeps only the colour. Nothing here is ever
// canvas-sized unless something painted covers the canvas.
//
// Threading: these structures belong to one application and are touched only
// under its mutex (editor/EditorImpl.h). The pixel routines they feed use the
// process-wide pool for large work.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Cancel.h"
#include "base/Status.h"
#include "editor/MaskPlane.h"
#include "imaging/BlendMode.h"
#include "imaging/Image.h"
#include "imaging/psd/Psd.h"

namespace tessaro::editor {

// The cancellation flag of an application, checked by long operations
// between bands of work: the base cancel token.
using CancelToken = tessaro::CancelToken;

struct LayerMaskData {
  MaskPlane plane;  // document coordinates; 255 shows the layer
  bool linked = true;
  bool disabled = false;
};

struct LayerData {
  uint64_t id = 0;  // unique within the application; 0 until adopted by a document
  std::string name;
  IntRect box;   // document pixels covered by `pixels`; empty for an empty layer
  Image pixels;  // box-sized, straight alpha; may hold transparent margins
  // A layer of one colour (a plain background, a colour fill) keeps just the
  // colour: it covers all of `box` and `pixels` stays empty. Work that needs
  // real pixels makes them with Materialize().
  std::optional<Rgba8> fill;
  double opacity = 100;  // percent as set (compositing uses the nearest byte)
  uint8_t fillOpacity = 255;
  BlendMode mode = BlendMode::kNormal;
  bool visible = true;
  bool clipping = false;  // kept for a layered save; composited as a plain layer
  std::optional<LayerMaskData> mask;
  std::optional<PsdColorOverlay> overlay;  // the colour-overlay layer effect
  double effectsScale = 100;               // "Scl " of the layer effects, kept

  // Pixels or a fill colour over a non-empty box.
  bool HasContent() const { return !pixels.empty() || (fill && !box.Empty()); }
  // The box of pixels with alpha above 0 (document pixels), cached.
  IntRect TightBounds() const;
  // Turns a fill into box-sized pixels of its colour (nothing to do for a
  // layer without a fill). On failure the layer is unchanged.
  Status Materialize();
  // The layer's pixels over `rect` (document pixels, inside `box`) as a new
  // buffer, for stored pixels and fills alike.
  Result<Image> CropTo(const IntRect& rect) const;
  // Call after changing box or pixels.
  void Changed() { FTight.reset(); }
  uint8_t OpacityByte() const;
  // A deep copy (pixels, mask, effects, properties; id 0). An error when
  // memory runs out.
  Result<std::unique_ptr<LayerData>> Clone() const;
  size_t ByteSize() const { return pixels.ByteSize() + (mask ? mask->plane.ByteSize() : 0); }

 private:
  mutable std::optional<IntRect> FTight;
};

struct ChannelData {
  uint64_t id = 0;
  std::string name;
  MaskPlane plane;  // document coordinates, `outside` 0
  bool spot = false;
};

// What a file read gives: a document without identity.
struct DocContent {
  int width = 0;
  int height = 0;
  double resolution = 72;
  // The picture's size in the file (upright); larger than width x height
  // when it was decoded at a reduced scale; 0 when the same.
  int fullWidth = 0;
  int fullHeight = 0;
  std::vector<std::unique_ptr<LayerData>> layers;  // top first
  std::vector<std::unique_ptr<ChannelData>> channels;
  std::vector<uint8_t> iccProfile;
};

// A channel as the automation interface names it: a colour channel (0 red,
// 1 green, 2 blue) or an alpha channel by id.
struct ChannelKey {
  int component = -1;    // 0..2, or -1 for an alpha channel
  uint64_t alphaId = 0;  // when component is -1
  friend bool operator==(const ChannelKey&, const ChannelKey&) = default;
};

struct DocState {
  uint64_t id = 0;
  bool closed = false;
  std::string path;  // file it was opened from or last saved to (not as a copy)
  std::string name;
  int width = 0;
  int height = 0;
  double resolution = 72;
  std::vector<std::unique_ptr<LayerData>> layers;  // top first
  std::vector<std::unique_ptr<ChannelData>> channels;
  std::vector<uint8_t> iccProfile;
  uint64_t activeLayer = 0;  // layer id, 0 for none
  std::vector<ChannelKey> activeChannels{{0, 0}, {1, 0}, {2, 0}};
  std::optional<MaskPlane> selection;
  int pastedLayers = 0;  // numbering of "Layer N"

  IntRect Canvas() const { return IntRect{0, 0, width, height}; }
  LayerData* FindLayer(uint64_t layerId) const;
  int IndexOfLayer(uint64_t layerId) const;  // 0 = top; -1 when absent
  ChannelData* FindChannel(uint64_t channelId) const;
  void ResetActiveChannels() { activeChannels = {{0, 0}, {1, 0}, {2, 0}}; }
};

}  // namespace tessaro::editor
