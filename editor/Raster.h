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
#include <optional>

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
// (area.left, area.top), within `region` (pixels of `out`). A fill layer is
// laid on from `scratch`, which must be at least as wide as the region and
// at least one row high (its contents are overwritten). Allocates nothing
// and cannot fail.
void CompositeLayer(Image& out, const IntRect& area, const IntRect& region, const LayerData& layer,
                    Image& scratch);

// Composes the document's visible layers over `bandRect` (document pixels,
// inside `area`) into the matching rows of `out` (pixel (0, 0) is document
// pixel (area.left, area.top)), which must be transparent there. `scratch`
// must be at least bandRect-sized (contents overwritten). Allocates nothing
// and cannot fail, so a merge can write its result band by band into a
// buffer it reads from.
void ComposeBand(const DocState& doc, const IntRect& area, Image& out, const IntRect& bandRect,
                 Image& scratch);

// The box a fill covering `box` takes under a document-to-document
// transform, when the transform only scales and moves it and its edges land
// between pixels (so resampling would give the fill colour everywhere);
// nothing otherwise.
std::optional<IntRect> FillBoxAfter(const IntRect& box, const Affine2D& docToDoc);

// A visible layer laid on plainly: normal mode, fully opaque, no enabled
// mask or colour overlay. Composed over nothing it gives its own pixels.
bool IsPlainLayer(const LayerData& layer);

// Colour values over white: what a flattened picture shows without alpha.
void OverWhite(Image& image);

// Multiplies each pixel's alpha by the selection value at its document
// position (the image's pixel (0, 0) sits at originX, originY).
void ApplySelectionToAlpha(Image& image, int originX, int originY, const MaskPlane& selection);

// The colour of a picture whose pixels are all the same; nothing for an
// empty picture or one of several colours (found out at the first pixel
// that differs).
std::optional<Rgba8> UniformColor(const Image& image);

// The box (image pixels) of alpha above 0; empty when fully transparent.
IntRect AlphaBox(const Image& image);
// A copy of `rect` (image pixels) of an image.
Result<Image> CropImage(const Image& image, const IntRect& rect);

// Adjusts a layer's colour: `adjust` runs on a buffer (in place, over the
// given region) and its result is taken for the colour channels in
// `channels` (imaging/ops/Adjust.h AdjustChannel bits), mixed with the old value
// by the selection (everything when `selection` is null). An error from
// `adjust` leaves the layer's look unchanged. `adjust` must work pixel by
// pixel (a pixel's result depends on that pixel alone): a fill layer adjusted
// whole is adjusted through a single pixel of its colour.
using PixelAdjust = std::function<Status(Image& image, const IntRect& region)>;
Status AdjustLayer(LayerData& layer, const MaskPlane* selection, unsigned channels,
                   const PixelAdjust& adjust);

}  // namespace tessaro::editor
