// Drawing a picture through an affine matrix: stretched, rotated, mirrored,
// sheared. Used for a layer's free resize and rotation in the editor and for
// the photo on the interactive preview.
//
// Direction and coordinates. Every matrix here maps SOURCE coordinates to
// DESTINATION coordinates (imaging/ops/Geometry.h: pixel i covers [i, i + 1), y
// down, positive angles counter-clockwise on screen). Drawing works by inverse
// mapping: each destination pixel centre is mapped back into the source and
// sampled there.
//
// Sampling is done on premultiplied colour, clamped at the source's edges;
// the edges themselves are anti-aliased by coverage: a destination pixel's
// alpha is multiplied by the fraction of it that the transformed source
// rectangle covers (measured by the distance of its centre to each edge, which
// is exact for axis-parallel edges and very close otherwise).
//
// Quality: bilinear and bicubic sampling suit scales from about one half
// upwards. DrawTransformed does not filter a strong reduction (the preview
// draws a photo already reduced to screen size); TransformImage does, by
// resampling first (see there).
//
// Threading: rows of the destination are processed in parallel; the result
// does not depend on the split. The source is only read.
//
// Examples.
//   A photo of w x h pixels stretched into the rectangle (l, t, r, b) and
//   turned by `angle` degrees (counter-clockwise on screen) about the
//   rectangle's centre, blended onto a canvas:
//     Affine2D m = Affine2D::Scaling((r - l) / w, (b - t) / h)
//                      .Then(Affine2D::Translation(l, t))
//                      .Then(RotationAbout(angle, {(l + r) / 2, (t + b) / 2}));
//     DrawTransformed(canvas, dirtyRect, photo, m);
//   A layer whose pixels sit at bounds (L, T, R, B), resized by percentages
//   (negative mirrors) about the centre of its bounds:
//     PointF c{(L + R) / 2.0, (T + B) / 2.0};
//     auto placed = TransformImage(pixels, Affine2D::Translation(L, T)
//                                              .Then(ScalingAbout(px / 100, py / 100, c)));
//   and turned clockwise by `degrees` about the same centre:
//     Affine2D::Translation(L, T).Then(RotationAbout(-degrees, c)).
#pragma once

#include <cstdint>

#include "base/Cancel.h"
#include "base/Status.h"
#include "imaging/Image.h"
#include "imaging/ops/Geometry.h"

namespace tessaro {

enum class Sampling {
  kNearest,   // the source pixel under the point
  kBilinear,  // 2 x 2 neighbourhood
  kBicubic,   // 4 x 4 neighbourhood, Keys cubic a = -0.5 (Catmull-Rom)
};

enum class DrawMode {
  kBlend,  // source-over onto what the destination holds (Plane: mix towards the sample)
  kCopy,   // replace the destination pixels the source covers (edge pixels get
           // the sample with its alpha, or Plane value, scaled by coverage)
};

struct DrawOptions {
  Sampling sampling = Sampling::kBilinear;
  DrawMode mode = DrawMode::kBlend;
  uint8_t opacity = 255;  // scales the source's alpha (Plane: the mix amount)
  bool antialias = true;  // false: a pixel is covered when its centre maps inside the source
  bool parallel = true;   // false keeps all work on the calling thread
};

// Draws `source` through `sourceToDest` into `dest`, touching only pixels of
// destRegion inside dest that the transformed source covers.
// Errors: empty source or destination, a singular or non-finite matrix.
Status DrawTransformed(Image& dest, const IntRect& destRegion, const Image& source,
                       const Affine2D& sourceToDest, const DrawOptions& options = {});
Status DrawTransformed(Plane& dest, const IntRect& destRegion, const Plane& source,
                       const Affine2D& sourceToDest, const DrawOptions& options = {});

// Straightforward versions: every pixel of the region computed with the
// general coverage and clamped sampling, on the calling thread. Same contract
// and, by design, the same bytes as DrawTransformed, with one exception: an
// opaque Image drawn bicubic at full opacity has the pixels inside its edges
// sampled in fixed point by DrawTransformed, within one level of these. Kept
// as the reference the fast path is tested against.
Status DrawTransformedReference(Image& dest, const IntRect& destRegion, const Image& source,
                                const Affine2D& sourceToDest, const DrawOptions& options = {});
Status DrawTransformedReference(Plane& dest, const IntRect& destRegion, const Plane& source,
                                const Affine2D& sourceToDest, const DrawOptions& options = {});

// A buffer positioned in destination coordinates: its pixel (0, 0) is
// destination pixel (bounds.left, bounds.top); it is bounds-sized.
struct PlacedImage {
  Image image;
  IntRect bounds;
};
struct PlacedPlane {
  Plane plane;
  IntRect bounds;
};

// The whole source transformed into a new buffer exactly covering the pixels
// the transformed source touches (CoveredPixels of its bounds), transparent
// (Plane: `outside`) where the source does not reach. This is what a layer
// becomes after a free resize, mirror or rotation; the canvas grows with it.
// Scales and mirrors without rotation take the separable resampler (area-
// correct when reducing), so a 50 % resize equals ResizeImage; rotations and
// shears that also reduce are first resampled to the target scale and then
// drawn with `sampling`. kNearest always draws directly.
// The work runs in bands of result rows (about a megapixel each unless
// `bandRows` says otherwise); every band maps its own slice of the source, so
// the result does not depend on the band height beyond one level of float
// rounding. `cancel` is polled between bands; once raised the call returns
// Status::Cancelled().
// Errors: as DrawTransformed, and a result too large for a buffer.
struct TransformOptions {
  CancelToken cancel;
  int bandRows = 0;  // 0: TransformBandRows of the result's width
};
Result<PlacedImage> TransformImage(const Image& source, const Affine2D& sourceToDest,
                                   Sampling sampling = Sampling::kBicubic,
                                   const TransformOptions& options = {});
Result<PlacedPlane> TransformPlane(const Plane& source, const Affine2D& sourceToDest,
                                   Sampling sampling = Sampling::kBicubic, uint8_t outside = 0,
                                   const TransformOptions& options = {});
// Rows per band for a result `width` pixels wide: about a megapixel a band.
int TransformBandRows(int width);

// In-place mirroring.
void FlipHorizontal(Image& image);
void FlipVertical(Image& image);
void FlipHorizontal(Plane& plane);
void FlipVertical(Plane& plane);

}  // namespace tessaro
