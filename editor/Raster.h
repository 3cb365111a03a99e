// Pixel work of the editor built on the imaging operations: transforms split
// into bands of rows (so that a cancellation is noticed between bands),
// flattening of a document's layers band by band, and adjustments limited to
// a selection and to some colour channels.
//
// Coordinates are document pixels unless stated. Every function builds its
// result aside and leaves its inputs untouched on error or cancellation.
// The work inside a band runs on the process-wide pool (base/Parallel.h).
#pragma once

#include <functional>

#include "base/Status.h"
#include "editor/EditorState.h"
#include "imaging/Image.h"
#include "imaging/ops/Affine.h"
#include "imaging/ops/Geometry.h"

namespace tessaro::editor {

// Rows per band for an image `width` pixels wide (about a megapixel a band).
int BandRows(int width);

// A mask plane carried through a document-to-document transform; the values
// outside stay `outside`.
Result<MaskPlane> TransformMaskPlane(const MaskPlane& plane, const Affine2D& docToDoc, Sampling sampling,
                                     const CancelToken& cancel);

// The layer's pixels (and, when `withMask`, its mask) carried through a
// document-to-document transform. The layer is changed only on success.
Status TransformLayer(LayerData& layer, const Affine2D& docToDoc, Sampling sampling, bool withMask,
                      const CancelToken& cancel);

// Crops a layer's stored pixels to its non-transparent box when that saves a
// quarter of the storage or more.
Status CompactLayer(LayerData& layer);

// Composes the document's visible layers, bottom to top, with their opacity,
// fill opacity, blend mode, enabled mask and colour overlay, into `out`
// (created here, area-sized, transparent where nothing is painted).
Status FlattenArea(const DocState& doc, const IntRect& area, Image& out, const CancelToken& cancel,
                   int bandRows = 0);

// Lays one visible layer (opacity, fill opacity, blend mode, enabled mask;
// not its colour overlay) onto `out`, whose pixel (0, 0) is document pixel
// (area.left, area.top), within `region` (pixels of `out`). Allocates
// nothing and cannot fail.
void CompositeLayer(Image& out, const IntRect& area, const IntRect& region, const LayerData& layer);

// A visible layer laid on plainly: normal mode, fully opaque, no enabled
// mask or colour overlay. Composed over nothing it gives its own pixels.
bool IsPlainLayer(const LayerData& layer);

// Colour values over white: what a flattened picture shows without alpha.
void OverWhite(Image& image);

// Multiplies each pixel's alpha by the selection value at its document
// position (the image's pixel (0, 0) sits at originX, originY).
void ApplySelectionToAlpha(Image& image, int originX, int originY, const MaskPlane& selection);

// The box (image pixels) of alpha above 0; empty when fully transparent.
IntRect AlphaBox(const Image& image);
// A copy of `rect` (image pixels) of an image.
Result<Image> CropImage(const Image& image, const IntRect& rect);

// Adjusts a layer's colour: `adjust` runs on a buffer (in place, over the
// given region) and its result is taken for the colour channels in
// `channels` (imaging/ops/Adjust.h AdjustChannel bits), mixed with the old value
// by the selection (everything when `selection` is null). An error from
// `adjust` leaves the layer unchanged.
using PixelAdjust = std::function<Status(Image& image, const IntRect& region)>;
Status AdjustLayer(LayerData& layer, const MaskPlane* selection, unsigned channels,
                   const PixelAdjust& adjust);

}  // namespace tessaro::editor
