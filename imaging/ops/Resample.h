// Resampling of whole images and regions: separable, two passes, with
// precomputed per-column and per-row weight tables.
//
// Filters. Enlarging uses the chosen filter as is. Reducing by a factor f
// (source pixels per destination pixel) widens the filter's support by f, so
// that each destination pixel gathers the whole area it covers and fine detail
// averages out instead of aliasing; the box filter then weighs each source
// pixel by its exact overlap with the destination pixel (a pure area average).
// The bicubic filter is the Keys cubic with a = -0.5 (Catmull-Rom), which
// reproduces the source exactly at the same size and reproduces linear ramps.
// Weights are normalised to sum to 1.
//
// Colour. Images are filtered premultiplied (alpha-weighted) and converted
// back to straight alpha afterwards, so the colour of transparent pixels never
// bleeds into visible ones. Results are rounded and clamped; overshoot of the
// bicubic lobes is clamped to 0..alpha per channel.
//
// Coordinates follow imaging/ops/Geometry.h: pixel i covers [i, i + 1).
//
// Opaque pictures with repeating edges are filtered in 16-bit fixed point
// (horizontal pass first) instead; the result is within one level of the
// floating-point path.
//
// Threading: the work is split over destination rows with ParallelFor; the
// result does not depend on the split. Functions are safe to call from
// several threads on distinct destinations; the source is only read.
#pragma once

#include "base/Status.h"
#include "imaging/Image.h"
#include "imaging/ops/Geometry.h"

namespace tessaro {

enum class ResampleFilter {
  kBox,       // area average when reducing; linear interpolation when enlarging
  kBilinear,  // triangle (tent) filter
  kBicubic,   // Keys cubic, a = -0.5
};

// What lies beyond the source image's edges.
enum class ResampleEdge {
  kClamp,        // the edge pixels repeat (whole images, documents)
  kTransparent,  // transparent (a layer's pixels end at its bounds); zero for a Plane
};

// Which pass runs first. Both give the same result up to float rounding
// (at most one level); kAuto picks the cheaper one within a memory bound.
enum class ResampleOrder { kAuto, kHorizontalFirst, kVerticalFirst };

struct ResampleOptions {
  ResampleFilter filter = ResampleFilter::kBicubic;
  ResampleEdge edge = ResampleEdge::kClamp;
  ResampleOrder order = ResampleOrder::kAuto;
  bool parallel = true;  // false keeps all work on the calling thread
};

// Maps `sourceRect` (source pixel units; it may reach beyond the source, and a
// rectangle with right < left or bottom < top mirrors that axis) onto
// `destRect` (destination pixels) and writes the destination pixels of
// destRect that lie inside `dest`; other pixels are untouched.
// Errors: empty source or destination, an empty or oversized destRect (more
// than 4 * kMaxImageSide across), a zero-width, non-finite or far-off source
// rectangle.
Status ResampleRegion(const Image& source, const RectF& sourceRect, Image& dest, const IntRect& destRect,
                      const ResampleOptions& options = {});
Status ResampleRegion(const Plane& source, const RectF& sourceRect, Plane& dest, const IntRect& destRect,
                      const ResampleOptions& options = {});

// The whole source onto the whole (already created) destination.
Status ResampleInto(const Image& source, Image& dest, const ResampleOptions& options = {});
Status ResampleInto(const Plane& source, Plane& dest, const ResampleOptions& options = {});

// A new width x height buffer holding the whole source resampled. Errors as
// above plus a refused size.
Result<Image> ResizeImage(const Image& source, int width, int height, const ResampleOptions& options = {});
Result<Plane> ResizePlane(const Plane& source, int width, int height, const ResampleOptions& options = {});

// Straightforward versions computing every destination pixel directly from the
// 2-D neighbourhood in double precision; same contract and semantics as
// ResampleRegion. Slow: kept as the reference the fast path is tested against.
Status ResampleRegionReference(const Image& source, const RectF& sourceRect, Image& dest,
                               const IntRect& destRect, const ResampleOptions& options = {});
Status ResampleRegionReference(const Plane& source, const RectF& sourceRect, Plane& dest,
                               const IntRect& destRect, const ResampleOptions& options = {});

// The filter's weight at distance t (in filter units, i.e. destination pixels
// when reducing, source pixels when enlarging) and its radius. For the box
// filter the weight is 1 inside |t| < 0.5.
double ResampleKernel(ResampleFilter filter, double t);
double ResampleKernelRadius(ResampleFilter filter);

}  // namespace tessaro
