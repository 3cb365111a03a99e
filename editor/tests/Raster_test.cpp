// The editor's pixel work: band-by-band flattening against a per-pixel
// reference, cropped planes, and cancellation between bands.
#include "editor/Raster.h"

#include <atomic>
#include <cmath>

#include "editor/MaskPlane.h"
#include "editor/tests/EditorTestUtil.h"
#include "imaging/ops/Blend.h"

namespace tessaro::editor {
namespace {

using editortest::MaxDifference;
using editortest::Pattern;
using editortest::RectPlane;

Image Translucent(int w, int h) {
  Image img = Pattern(w, h, 5);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) img.At(x, y).a = uint8_t(40 + (x * 13 + y * 7) % 216);
  return img;
}

// A document of layers with modes, opacities, masks, an effect and a hidden
// layer, composed per pixel with CompositePixel as the reference.
DocState MixedDocument() {
  DocState doc;
  doc.width = 37;
  doc.height = 29;
  auto add = [&](IntRect box, Image px, BlendMode mode, double opacity) -> LayerData& {
    auto l = std::make_unique<LayerData>();
    l->box = box;
    l->pixels = std::move(px);
    l->mode = mode;
    l->opacity = opacity;
    doc.layers.insert(doc.layers.begin(), std::move(l));
    return *doc.layers.front();
  };
  add({0, 0, 37, 29}, Pattern(37, 29, 1), BlendMode::kNormal, 100);
  LayerData& masked = add({-5, 3, 20, 40}, Translucent(25, 37), BlendMode::kMultiply, 70);
  masked.mask = LayerMaskData{MaskPlane::FromPlane(RectPlane(14, 12, {2, 2, 12, 10}, 180), 4, 6, 0).value()};
  masked.mask->plane.outside = 0;
  LayerData& effect = add({10, 8, 36, 28}, Translucent(26, 20), BlendMode::kScreen, 90);
  effect.overlay = PsdColorOverlay{true, BlendMode::kNormal, 60, 10, 200, 90};
  LayerData& hidden = add({0, 0, 10, 10}, Pattern(10, 10), BlendMode::kNormal, 100);
  hidden.visible = false;
  LayerData& soft = add({20, -4, 45, 15}, Translucent(25, 19), BlendMode::kSoftLight, 100);
  soft.mask = LayerMaskData{MaskPlane::Uniform(255)};
  soft.mask->disabled = true;
  return doc;
}

Rgba8 ReferencePixel(const DocState& doc, int x, int y) {
  Rgba8 out{};
  for (auto it = doc.layers.rbegin(); it != doc.layers.rend(); ++it) {
    const LayerData& l = **it;
    if (!l.visible || x < l.box.left || y < l.box.top || x >= l.box.right || y >= l.box.bottom) continue;
    float scale = l.OpacityByte() / 255.0f;
    if (l.mask && !l.mask->disabled) scale *= l.mask->plane.At(x, y) / 255.0f;
    const Rgba8 p = l.pixels.At(x - l.box.left, y - l.box.top);
    out = CompositePixel(out, p, l.mode, scale);
    if (l.overlay && l.overlay->enabled) {
      const Rgba8 fill{l.overlay->red, l.overlay->green, l.overlay->blue, p.a};
      const uint8_t op = uint8_t(std::lround(l.OpacityByte() * l.overlay->opacityPercent / 100.0));
      float es = op / 255.0f;
      if (l.mask && !l.mask->disabled) es *= l.mask->plane.At(x, y) / 255.0f;
      out = CompositePixel(out, fill,
                           l.overlay->blendMode == BlendMode::kNormal ? l.mode : l.overlay->blendMode, es);
    }
  }
  return out;
}

TEST(FlattenTest, BandsGiveThePerPixelComposite) {
  const DocState doc = MixedDocument();
  for (IntRect area : {IntRect{0, 0, 37, 29}, IntRect{5, 7, 30, 26}}) {
    for (int band : {1, 3, 0}) {
      Image out;
      ASSERT_TRUE(FlattenArea(doc, area, out, CancelToken(), band).ok());
      ASSERT_EQ(out.width(), area.Width());
      int worst = 0;
      for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
          const Rgba8 a = out.At(x - area.left, y - area.top), b = ReferencePixel(doc, x, y);
          worst = std::max(
              {worst, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b), std::abs(a.a - b.a)});
        }
      EXPECT_LE(worst, 1) << "band " << band << " area " << area.left;
    }
  }
}

TEST(FlattenTest, StopsWhenCancelled) {
  std::atomic<bool> flag{true};
  Image out;
  Status s = FlattenArea(MixedDocument(), {0, 0, 37, 29}, out, CancelToken(&flag));
  EXPECT_EQ(s.message(), "cancelled");
  EXPECT_TRUE(s.cancelled());
}

TEST(MaskPlaneTest, KeepsOnlyTheBoxOfValuesThatDifferFromOutside) {
  Plane full = RectPlane(50, 40, {10, 12, 20, 30}, 90);
  full.At(25, 5) = 3;
  ASSERT_OK_AND_ASSIGN(MaskPlane m, MaskPlane::FromPlane(full, 100, 200, 0));
  EXPECT_EQ(m.box, (IntRect{110, 205, 126, 230}));
  EXPECT_EQ(m.At(115, 220), 90);
  EXPECT_EQ(m.At(125, 205), 3);
  EXPECT_EQ(m.At(0, 0), 0);
  ASSERT_OK_AND_ASSIGN(MaskPlane empty, MaskPlane::FromPlane(Plane{}, 0, 0, 7));
  EXPECT_TRUE(empty.IsUniform());
  EXPECT_EQ(empty.At(5, 5), 7);
}

TEST(MaskPlaneTest, MaterializeTrimTranslateInvert) {
  ASSERT_OK_AND_ASSIGN(MaskPlane m, MaskPlane::FromPlane(RectPlane(10, 10, {2, 2, 6, 5}, 200), 0, 0, 0));
  ASSERT_OK_AND_ASSIGN(Plane area, m.Materialize(IntRect{1, 1, 8, 8}));
  EXPECT_EQ(area.At(0, 0), 0);
  EXPECT_EQ(area.At(1, 1), 200);
  EXPECT_EQ(area.At(4, 3), 200);
  EXPECT_EQ(area.At(5, 3), 0);
  m.Translate(3, -1);
  EXPECT_EQ(m.At(5, 1), 200);
  EXPECT_EQ(m.At(2, 2), 0);
  m.Invert();
  EXPECT_EQ(m.outside, 255);
  EXPECT_EQ(m.At(5, 1), 55);
  EXPECT_EQ(m.At(0, 0), 255);
  for (int y = 0; y < m.pixels.height(); ++y) m.pixels.At(0, y) = 255;  // a column equal to outside now
  ASSERT_OK(m.Trim());
  EXPECT_EQ(m.box, (IntRect{6, 1, 9, 4}));
  EXPECT_EQ(m.At(5, 1), 255);
  EXPECT_EQ(m.At(8, 3), 55);
}

TEST(MaskPlaneTest, CombinationsValueByValue) {
  ASSERT_OK_AND_ASSIGN(MaskPlane a, MaskPlane::FromPlane(RectPlane(20, 20, {0, 0, 10, 20}, 200), 0, 0, 0));
  ASSERT_OK_AND_ASSIGN(MaskPlane b, MaskPlane::FromPlane(RectPlane(20, 20, {5, 0, 15, 20}, 100), 0, 0, 0));
  struct Case {
    MaskCombine op;
    uint8_t aOnly, both, bOnly, neither;
  } cases[] = {
      {MaskCombine::kReplace, 0, 100, 100, 0},
      {MaskCombine::kExtend, 200, 200, 100, 0},
      {MaskCombine::kIntersect, 0, 78, 0, 0},    // 200 x 100 / 255
      {MaskCombine::kDiminish, 200, 122, 0, 0},  // 200 x 155 / 255
  };
  for (const Case& c : cases) {
    ASSERT_OK_AND_ASSIGN(MaskPlane r, CombineMasks(a, b, c.op));
    EXPECT_EQ(r.At(2, 5), c.aOnly) << int(c.op);
    EXPECT_EQ(r.At(7, 5), c.both) << int(c.op);
    EXPECT_EQ(r.At(12, 5), c.bOnly) << int(c.op);
    EXPECT_EQ(r.At(18, 5), c.neither) << int(c.op);
  }
  ASSERT_OK_AND_ASSIGN(MaskPlane all, CombineMasks(MaskPlane::Uniform(255), b, MaskCombine::kDiminish));
  EXPECT_EQ(all.At(100, 100), 255);
  EXPECT_EQ(all.At(7, 5), 155);
}

}  // namespace
}  // namespace tessaro::editor
