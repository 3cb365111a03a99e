// Shared helpers of the editor tests (temporary folders, corpus paths and
// image differences come from the test-support library): small synthetic
// pictures and layered documents written with the imaging writer, and
// assertion macros for Status and Result values.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "base/FileIo.h"
#include "editor/Automation.h"
#include "editor/Editor.h"
#include "editor/tests/MaskAction.h"
#include "imaging/Image.h"
#include "imaging/psd/Psd.h"
#include "testing/Corpus.h"
#include "testing/ImageDiff.h"
#include "testing/Reference.h"
#include "testing/TempFolder.h"

#define EDITOR_TEST_CONCAT_(a, b) a##b
#define EDITOR_TEST_CONCAT(a, b) EDITOR_TEST_CONCAT_(a, b)

// Fails the test (and returns) unless the Status or Result is ok.
#define ASSERT_OK(expr)                                               \
  do {                                                                \
    const auto& editorTestValue_ = (expr);                            \
    ASSERT_TRUE(editorTestValue_.ok()) << editorTestValue_.message(); \
  } while (0)
#define EXPECT_OK(expr)                                               \
  do {                                                                \
    const auto& editorTestValue_ = (expr);                            \
    EXPECT_TRUE(editorTestValue_.ok()) << editorTestValue_.message(); \
  } while (0)

// `lhs = value of expr`, failing the test (and returning) on an error.
#define ASSERT_OK_AND_ASSIGN(lhs, expr) \
  ASSERT_OK_AND_ASSIGN_IMPL(EDITOR_TEST_CONCAT(editorTestResult_, __LINE__), lhs, expr)
#define ASSERT_OK_AND_ASSIGN_IMPL(tmp, lhs, expr) \
  auto tmp = (expr);                              \
  ASSERT_TRUE(tmp.ok()) << tmp.message();         \
  lhs = std::move(tmp).value()

namespace tessaro::editortest {

using namespace automation;

using test::MaxDifference;
using test::TempFolder;

inline Image Solid(int w, int h, Rgba8 color) {
  Image img;
  img.Create(w, h, color);
  return img;
}

// A picture whose every pixel differs from its neighbours (opaque).
inline Image Pattern(int w, int h, int seed = 0) {
  Image img;
  img.Create(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      img.At(x, y) = Rgba8{uint8_t(x * 37 + y * 11 + seed * 5), uint8_t(x * 13 + y * 41 + seed),
                           uint8_t(x * 7 + y * 3 + 90), 255};
  return img;
}

inline Plane RectPlane(int w, int h, IntRect r, uint8_t value) {
  Plane p;
  p.Create(w, h);
  for (int y = std::max(0, r.top); y < std::min(h, r.bottom); ++y)
    for (int x = std::max(0, r.left); x < std::min(w, r.right); ++x) p.At(x, y) = value;
  return p;
}

inline PsdLayer MakePsdLayer(const std::string& name, IntRect bounds, Image pixels) {
  PsdLayer l;
  l.name = name;
  l.bounds = bounds;
  l.pixels = std::move(pixels);
  return l;
}

inline PsdDocument MakePsd(int w, int h, double resolution = 72) {
  PsdDocument d;
  d.width = w;
  d.height = h;
  d.resolution = resolution;
  d.composite.Create(w, h, Rgba8{255, 255, 255, 255});
  return d;
}

// Writes a document (layers bottom first) and returns its path.
inline std::string WriteDocument(const TempFolder& folder, const std::string& name, const PsdDocument& doc) {
  Result<std::vector<uint8_t>> bytes = WritePsd(doc);
  EXPECT_TRUE(bytes.ok()) << bytes.message();
  const std::string path = folder.File(name);
  if (bytes.ok()) {
    EXPECT_TRUE(WriteFileAtomic(path, *bytes).ok());
  }
  return path;
}

// A one-layer document holding `pixels` at (0, 0), canvas-sized.
inline std::string WritePicture(const TempFolder& folder, const std::string& name, const Image& pixels,
                                double resolution = 72) {
  PsdDocument d = MakePsd(pixels.width(), pixels.height(), resolution);
  d.layers.push_back(
      MakePsdLayer("Background", IntRect{0, 0, pixels.width(), pixels.height()}, pixels.Clone()));
  return WriteDocument(folder, name, d);
}

inline Rgba8 Px(const Image& img, int x, int y) { return img.At(x, y); }

// The pixel of a layer at document position (x, y) (transparent outside its
// stored box).
inline Rgba8 LayerPixelAt(const PlacedImage& p, int x, int y) {
  if (x < p.bounds.left || y < p.bounds.top || x >= p.bounds.right || y >= p.bounds.bottom) return Rgba8{};
  return p.image.At(x - p.bounds.left, y - p.bounds.top);
}

inline ::testing::AssertionResult SamePixel(Rgba8 actual, Rgba8 expected, int tolerance = 0) {
  const int d = std::max({std::abs(actual.r - expected.r), std::abs(actual.g - expected.g),
                          std::abs(actual.b - expected.b), std::abs(actual.a - expected.a)});
  if (d <= tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "pixel (" << int(actual.r) << "," << int(actual.g) << "," << int(actual.b) << "," << int(actual.a)
         << ") expected (" << int(expected.r) << "," << int(expected.g) << "," << int(expected.b) << ","
         << int(expected.a) << ")";
}

// A fixture with a fresh application and a temporary folder.
class EditorFixture : public ::testing::Test {
 protected:
  std::shared_ptr<Application> app = CreateEditorApplication();
  TempFolder folder{"tessaro-editor-test"};

  DocumentRef Open(const std::string& path) {
    Result<DocumentRef> d = app->Load(path);
    EXPECT_TRUE(d.ok()) << d.message();
    return d.ok() ? *d : nullptr;
  }
  DocumentRef OpenDocument(const std::string& name, const PsdDocument& doc) {
    return Open(WriteDocument(folder, name, doc));
  }
  ArtLayerRef Layer(const DocumentRef& doc, int index) {
    auto layers = doc->ArtLayers();
    EXPECT_TRUE(layers.ok());
    if (!layers.ok()) return nullptr;
    auto l = (*layers)->Item(index);
    EXPECT_TRUE(l.ok()) << l.message();
    return l.ok() ? *l : nullptr;
  }
  int LayerCount(const DocumentRef& doc) {
    auto layers = doc->ArtLayers();
    return layers.ok() ? (*layers)->Count().value() : -1;
  }
  std::string LayerName(const DocumentRef& doc, int index) {
    ArtLayerRef l = Layer(doc, index);
    return l ? l->Name().value() : std::string();
  }
  LayerBounds BoundsOf(const ArtLayerRef& layer) {
    auto b = layer->Bounds();
    EXPECT_TRUE(b.ok()) << b.message();
    return b.ok() ? *b : LayerBounds{};
  }
  std::shared_ptr<Selection> SelectionOf(const DocumentRef& doc) { return doc->Selection().value(); }
  ChannelRef ChannelNamed(const DocumentRef& doc, std::string_view name) {
    auto c = doc->Channels().value()->Item(name);
    EXPECT_TRUE(c.ok()) << c.message();
    return c.ok() ? *c : nullptr;
  }
  Image Flat(const DocumentRef& doc) {
    auto f = FlattenDocument(*doc);
    EXPECT_TRUE(f.ok()) << f.message();
    return f.ok() ? std::move(f).value() : Image{};
  }
  PlacedImage Pixels(const ArtLayerRef& layer) {
    auto p = LayerPixels(*layer);
    EXPECT_TRUE(p.ok()) << p.message();
    return p.ok() ? std::move(p).value() : PlacedImage{};
  }
  // Gives the active layer a mask that reveals the current selection, the
  // way a recorded "Mk  " action does.
  Status RevealSelectionAsMask() { return editortest::RevealSelectionAsMask(*app); }
};

}  // namespace tessaro::editortest
