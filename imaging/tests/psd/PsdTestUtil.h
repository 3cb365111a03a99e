// Helpers shared by the layered-document tests: a scratch folder and a
// sample document. Corpus paths, the independent readers (ImageMagick,
// ag-psd under Node) and pixel comparisons come from the test-support
// library.
#pragma once

#include <string>
#include <vector>

#include "base/FileIo.h"
#include "imaging/Image.h"
#include "imaging/psd/Psd.h"
#include "testing/Corpus.h"
#include "testing/ImageDiff.h"
#include "testing/PaintedDocument.h"
#include "testing/Reference.h"
#include "testing/TempFolder.h"

namespace tessaro::psdtest {

// A scratch folder shared by the tests of one program, removed at exit.
inline const test::TempFolder& Scratch() {
  static const test::TempFolder folder("tessaro-psd-test");
  return folder;
}

// A document with every feature the writer supports: a background, a
// photo layer with an unlinked soft mask, a colour overlay and a Unicode
// name, a group holding a hidden "brivanto" overlay layer and a clipped
// layer with fill opacity, a layer reaching outside the canvas, two alpha
// channels and a composite with transparency. Pixel values follow simple
// formulas so that a test can recompute them.
inline PsdDocument SampleDocument(int width = 64, int height = 48) {
  PsdDocument d = test::PaintedDocument(width, height, 254, [](int x, int y) {
    return Rgba8{uint8_t(x * 4), uint8_t(y * 5), uint8_t(x ^ y), uint8_t(x < 8 ? x * 32 : 255)};
  });
  auto layer = [](const char* name, IntRect bounds, Rgba8 base) {
    PsdLayer l;
    l.name = name;
    l.bounds = bounds;
    if (!bounds.Empty()) {
      l.pixels.Create(bounds.Width(), bounds.Height());
      for (int y = 0; y < bounds.Height(); ++y)
        for (int x = 0; x < bounds.Width(); ++x)
          l.pixels.At(x, y) =
              Rgba8{uint8_t(base.r + x), uint8_t(base.g + y), base.b, uint8_t(base.a - (x + y) % 7)};
    }
    return l;
  };
  d.layers.push_back(layer("Background", {0, 0, width, height}, {200, 100, 50, 255}));
  PsdLayer photo = layer("照片 1 😀 slot photo", {-5, 4, 30, 40}, {10, 20, 30, 250});
  photo.opacity = 200;
  photo.blendMode = BlendMode::kMultiply;
  PsdLayerMask mask;
  mask.bounds = {2, 6, 20, 30};
  mask.pixels.Create(18, 24);
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 18; ++x) mask.pixels.At(x, y) = uint8_t(x * 14);
  mask.linked = false;
  mask.defaultColor = 0;
  photo.mask = std::move(mask);
  photo.colorOverlay = PsdColorOverlay{true, BlendMode::kOverlay, 48, 10, 200, 30};
  d.layers.push_back(std::move(photo));
  PsdLayer divider;
  divider.name = "</Layer group>";
  divider.section = PsdSection::kDivider;
  d.layers.push_back(std::move(divider));
  PsdLayer overlay = layer("brivanto", {10, 10, 20, 20}, {0, 0, 255, 128});
  overlay.visible = false;
  d.layers.push_back(std::move(overlay));
  PsdLayer clipped = layer("clipped", {12, 12, 40, 30}, {90, 90, 90, 255});
  clipped.clipping = true;
  clipped.fillOpacity = 128;
  clipped.blendMode = BlendMode::kScreen;
  PsdLayerMask hidden;  // a "hide all" mask: no pixels, default black, disabled
  hidden.defaultColor = 0;
  hidden.disabled = true;
  clipped.mask = std::move(hidden);
  d.layers.push_back(std::move(clipped));
  PsdLayer group;
  group.name = "Group 1";
  group.section = PsdSection::kClosedFolder;
  group.blendMode = BlendMode::kPassThrough;
  group.opacity = 180;
  d.layers.push_back(std::move(group));
  d.layers.push_back(layer("Wide", {-20, -10, width + 20, 12}, {1, 2, 3, 255}));
  PsdAlphaChannel slot;
  slot.name = "槽 1";
  slot.pixels.Create(width, height);
  for (int y = height / 4; y < height / 2; ++y)
    for (int x = width / 8; x < width / 2; ++x) slot.pixels.At(x, y) = 255;
  d.alphaChannels.push_back(std::move(slot));
  PsdAlphaChannel grey;
  grey.name = "Alpha 2";
  grey.pixels.Create(width, height, 77);
  d.alphaChannels.push_back(std::move(grey));
  return d;
}

}  // namespace tessaro::psdtest
