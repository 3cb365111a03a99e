// Memory that follows what a document shows: layers of one colour kept as
// the colour, alpha channels read cropped, merges that need no second
// canvas. Each must give the pixels the plain way gives.
#include <cmath>

#include "editor/Raster.h"
#include "editor/tests/EditorTestUtil.h"
#include "imaging/ops/Adjust.h"

namespace tessaro::editor {
namespace {

using editortest::MaxDifference;
using editortest::Pattern;
using editortest::RectPlane;
using editortest::Solid;

constexpr Rgba8 kColour{200, 120, 40, 255};

// The same layer twice: as a fill, and as pixels of its colour.
struct Twins {
  LayerData fill, pixels;
};
Twins MakeTwins(IntRect box, Rgba8 colour) {
  Twins t;
  t.fill.box = t.pixels.box = box;
  t.fill.fill = colour;
  t.pixels.pixels = Solid(box.Width(), box.Height(), colour);
  return t;
}

Image Pixels(const LayerData& l) {
  Result<Image> r = l.CropTo(l.box);
  EXPECT_TRUE(r.ok()) << r.message();
  return r.ok() ? std::move(r.value()) : Image();
}

TEST(FillLayerTest, TransformsToWhatItsPixelsBecome) {
  struct Case {
    const char* name;
    Affine2D m;
    bool staysFill;
  };
  const Case cases[] = {
      {"doubled", Affine2D::Scaling(2, 2), true},
      {"moved", Affine2D::Translation(3, -7), true},
      {"mirrored", Affine2D::Scaling(-1, 1).Then(Affine2D::Translation(50, 0)), true},
      {"a third", Affine2D::Scaling(1.0 / 3, 1.0 / 3), true},
      {"edges inside pixels", Affine2D::Scaling(0.7, 1.3), false},
      {"turned", RotationAbout(5, {20, 12}), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Twins t = MakeTwins({6, 3, 36, 21}, kColour);
    ASSERT_OK(TransformLayer(t.fill, c.m, Sampling::kBicubic, false, CancelToken()));
    ASSERT_OK(TransformLayer(t.pixels, c.m, Sampling::kBicubic, false, CancelToken()));
    EXPECT_EQ(t.fill.fill.has_value(), c.staysFill);
    EXPECT_EQ(t.fill.box, t.pixels.box);
    EXPECT_EQ(t.fill.TightBounds(), t.pixels.TightBounds());
    EXPECT_EQ(MaxDifference(Pixels(t.fill), t.pixels.pixels), 0);
  }
}

TEST(FillLayerTest, ComposesAndAdjustsLikeItsPixels) {
  struct Case {
    const char* name;
    Rgba8 colour;
    BlendMode mode;
    double opacity;
    bool mask, overlay, selection;
  };
  const Case cases[] = {
      {"plain", kColour, BlendMode::kNormal, 100, false, false, false},
      {"translucent multiply", {30, 200, 90, 128}, BlendMode::kMultiply, 70, false, false, false},
      {"masked", kColour, BlendMode::kScreen, 100, true, false, true},
      {"colour overlay", {90, 60, 250, 200}, BlendMode::kNormal, 80, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DocState docs[2];
    for (int i = 0; i < 2; ++i) {
      docs[i].width = 37;
      docs[i].height = 29;
      auto base = std::make_unique<LayerData>();
      base->box = {0, 0, 37, 29};
      base->pixels = Pattern(37, 29, 2);
      Twins t = MakeTwins({-4, 5, 30, 40}, c.colour);  // reaches outside the canvas
      auto layer = std::make_unique<LayerData>(std::move(i == 0 ? t.fill : t.pixels));
      layer->mode = c.mode;
      layer->opacity = c.opacity;
      if (c.mask)
        layer->mask =
            LayerMaskData{MaskPlane::FromPlane(RectPlane(20, 20, {3, 2, 15, 18}, 180), 2, 4).value()};
      if (c.overlay) layer->overlay = PsdColorOverlay{true, BlendMode::kNormal, 60, 10, 200, 90};
      docs[i].layers.push_back(std::move(layer));
      docs[i].layers.push_back(std::move(base));
    }
    for (int band : {1, 7, 0}) {
      Image a, b;
      ASSERT_OK(FlattenArea(docs[0], docs[0].Canvas(), a, CancelToken(), band));
      ASSERT_OK(FlattenArea(docs[1], docs[1].Canvas(), b, CancelToken(), band));
      EXPECT_EQ(MaxDifference(a, b), 0) << "band " << band;
    }
    // Levels over the whole layer, or through a selection.
    std::optional<MaskPlane> selection;
    if (c.selection) selection = MaskPlane::FromPlane(RectPlane(10, 10, {0, 0, 10, 6}, 255), 5, 8).value();
    const LevelsParams levels{20, 230, 1.4, 10, 240};
    for (auto& doc : docs)
      ASSERT_OK(AdjustLayer(
          *doc.layers[0], selection ? &*selection : nullptr, kAdjustRgb,
          [&](Image& img, const IntRect& r) { return AdjustLevels(img, r, levels, kAdjustRgb); }));
    EXPECT_EQ(docs[0].layers[0]->fill.has_value(), !c.selection);
    EXPECT_EQ(MaxDifference(Pixels(*docs[0].layers[0]), docs[1].layers[0]->pixels), 0);
  }
}

using MemoryTest = editortest::EditorFixture;

TEST_F(MemoryTest, APlainTemplateHoldsOnlyItsChannelsSlots) {
  // Every layer is one colour; the channels shape two slots.
  PsdDocument d = editortest::MakePsd(400, 300);
  d.layers.push_back(editortest::MakePsdLayer("Background", {0, 0, 400, 300}, Solid(400, 300, kColour)));
  d.layers.push_back(editortest::MakePsdLayer("tint", {10, 10, 200, 120}, Solid(190, 110, {0, 0, 255, 90})));
  const IntRect slot1{20, 30, 120, 130}, slot2{150, 100, 390, 290};
  d.alphaChannels.push_back({"photo1", RectPlane(400, 300, slot1, 255), false});
  d.alphaChannels.push_back({"photo2", RectPlane(400, 300, slot2, 180), false});
  d.alphaChannels.push_back({"empty", RectPlane(400, 300, {}, 0), false});
  automation::DocumentRef doc = OpenDocument("plain.psd", d);
  ASSERT_TRUE(doc);
  const int64_t slots = int64_t(slot1.Width()) * slot1.Height() + int64_t(slot2.Width()) * slot2.Height();
  EXPECT_EQ(GetEditorStatistics(*app).layerBytes, slots);
  // What it shows is unchanged: the channel values and the composite.
  ASSERT_OK_AND_ASSIGN(automation::ChannelRef photo2, (*doc->Channels())->Item(5));
  ASSERT_OK_AND_ASSIGN(Plane values, ChannelValues(*photo2));
  EXPECT_EQ(MaxDifference(values, d.alphaChannels[1].pixels), 0);
  ASSERT_OK_AND_ASSIGN(Image flat, FlattenDocument(*doc));
  EXPECT_EQ(flat.At(5, 5), kColour);
  EXPECT_NE(flat.At(50, 50), kColour);
  // A resize to a whole multiple keeps the colours as colours.
  ASSERT_OK(doc->ResizeImage(800, 600, 144, automation::kResampleBicubic));
  EXPECT_LE(GetEditorStatistics(*app).layerBytes, 4 * slots + 4 * (slot1.Width() + slot2.Width() + 8) * 4);
}

TEST_F(MemoryTest, MergingWithOrWithoutACanvasLayerShowsTheSame) {
  for (bool canvasLayer : {true, false}) {
    SCOPED_TRACE(canvasLayer ? "a pattern covers the canvas" : "a colour covers the canvas");
    PsdDocument d = editortest::MakePsd(300, 200);
    d.layers.push_back(editortest::MakePsdLayer(
        "base", {0, 0, 300, 200}, canvasLayer ? Pattern(300, 200, 4) : Solid(300, 200, kColour)));
    d.layers.push_back(editortest::MakePsdLayer("photo", {40, -10, 260, 150}, Pattern(220, 160, 9)));
    d.layers.back().blendMode = BlendMode::kMultiply;
    d.layers.push_back(editortest::MakePsdLayer("frame", {5, 5, 295, 195}, Solid(290, 190, {0, 0, 0, 0})));
    for (int y = 0; y < 190; ++y)
      for (int x : {0, 1, 288, 289}) d.layers.back().pixels.At(x, y) = Rgba8{90, 60, 30, 255};
    automation::DocumentRef doc = OpenDocument("merge.psd", d);
    ASSERT_OK_AND_ASSIGN(Image before, FlattenDocument(*doc));
    ASSERT_OK(doc->MergeVisibleLayers());
    ASSERT_OK_AND_ASSIGN(Image after, FlattenDocument(*doc));
    EXPECT_EQ(MaxDifference(after, before), 0);
    EXPECT_EQ(GetEditorStatistics(*app).layerBytes, 300 * 200 * 4);
    ASSERT_OK(doc->Close(automation::kDoNotSaveChanges));
  }
}

}  // namespace
}  // namespace tessaro::editor
