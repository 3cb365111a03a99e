// An independent reference of a composed page for the golden tests, worked
// out with plain arithmetic from what the composition procedure says it
// does: the background picture stretched over the page; each placed photo
// scaled by its slot's scale, mirrored by its flips, its picture centre put
// on the slot centre moved by the offsets, turned about its layer's centre,
// and cut by the slot's alpha channel; the watermark in its corner, pasted
// above the last photo; the overlay layers on top of all in their order. It calls neither the engine nor
// the editor: pictures come from ImageMagick (background, photos, the mark)
// and the template document's channels and overlays from the layered
// document reader. Resampling is bilinear over a box-shrunk source, so the
// comparison with the editor's bicubic needs a tolerance.
#pragma once

#include <functional>
#include <map>

#include "base/Status.h"
#include "imaging/Image.h"
#include "model/Config.h"
#include "model/Records.h"

namespace tessaro::enginetest {

// How a slot's photo is expected to look after its effects.
struct TReferenceLook {
  std::function<Rgba8(Rgba8)> Filter;  // colour change of each photo pixel; empty: none
  double Opacity = 100;                // layer opacity, percent
};

struct TReferenceRequest {
  const TSetNode* Set = nullptr;
  int TemplateIndex = 0;
  bool Preview = false;
  int Width = 0, Height = 0;               // the composed page (O x P)
  const TAppSettings* Settings = nullptr;  // the watermark settings; null: no watermark
  std::map<int, TReferenceLook> Looks;     // by slot number (1-based)
  std::string ScratchFolder;               // for the deciphered background picture
};

// The expected page, opaque, Width x Height.
Result<Image> ReferencePage(const TReferenceRequest& request);

// The top-left corner of a bw x bh watermark on a width x height page, from
// the table of positions (0..8 row by row; above 8 the bottom-right).
void ExpectedMarkCorner(int orient, int width, int height, int bw, int bh, int marginH, int marginV, int& x,
                        int& y);

}  // namespace tessaro::enginetest
