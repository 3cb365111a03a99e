// Pixel work of the authoring tool: the alpha channels that cut photos to
// their windows (anti-aliased shapes, stretched grey mask pictures, feathered
// edges) and small helpers on pictures.
//
// Coordinates follow imaging/ops/Geometry.h: pixel (i, j) covers [i, i + 1) x
// [j, j + 1). A channel holds 255 where the photo shows.
//
// Thread-safety: pure functions on the buffers they are given; large work is
// spread over the process-wide pool.
#pragma once

#include "base/Status.h"
#include "imaging/Image.h"
#include "imaging/ops/Geometry.h"
#include "tools/pack/Description.h"

namespace tessaro::authoring {

// Fills the window `rect` of `plane` with the shape (rectangle, ellipse
// inscribed in the rectangle, or rectangle with corners of `radius`), edges
// anti-aliased by pixel coverage; pixels outside are left as they are.
void DrawShape(Plane& plane, const RectF& rect, TShapeKind shape, double radius);

// The grey value of each pixel of a picture (luminance times alpha: white
// shows, black and transparent hide).
Plane GreyOf(const Image& picture);

// Stretches a grey mask picture over `rect` (rounded to whole pixels) and
// writes it into `plane`.
Status DrawMask(Plane& plane, const RectF& rect, const Image& maskPicture);

// Softens every edge of `plane` inside `region` (plus the reach of the
// blur) so that a hard edge becomes a smooth ramp `width` pixels wide,
// centred on the edge: three box passes of width / 3 each way. Beyond the
// plane's borders the edge pixels repeat, so a window that touches the page
// edge stays solid there. Widths below 1 change nothing.
void Feather(Plane& plane, const IntRect& region, double width);

// One box pass of real width w (>= 1) over a line, the ends repeating:
// out[x] = (sum of in[x-k..x+k] + f * (in[x-k-1] + in[x+k+1])) / w with
// k + f = (w - 1) / 2. Exposed for tests.
void BoxLine(const float* in, float* out, int count, double width);

// The smallest rectangle holding every pixel with alpha above zero (empty for
// a wholly transparent picture).
IntRect OpaqueBounds(const Image& image);

// A copy of the part `r` of an image (r inside the image).
Image Crop(const Image& image, const IntRect& r);

// The picture scaled to cover width x height (aspect kept) and cut to it,
// centred.
Result<Image> CoverCrop(const Image& picture, int width, int height);

}  // namespace tessaro::authoring
