// Rectangle scaling, the watermark table, saved paths, visible layers and
// channel names in the Chinese code page.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/Text.h"
#include "engine/CreateTemp.h"
#include "engine/tests/FakeEditor.h"

namespace tessaro::enginetest {
namespace {

TEST(ScaleRectTest, EachSideIsRoundedHalfToEven) {
  struct Case {
    int oldW, oldH, newW, newH;
    TSlotRect in, out;
  };
  for (const Case& c : std::vector<Case>{
           {2100, 3000, 672, 960, {210, 300, 1260, 1800}, {67, 96, 403, 576}},
           {2100, 3000, 2100, 3000, {1, 2, 3, 4}, {1, 2, 3, 4}},
           // 0.5 x 5 = 2.5 -> 2, 0.5 x 7 = 3.5 -> 4.
           {4, 4, 2, 2, {5, 7, 9, 11}, {2, 4, 4, 6}},
           {100, 100, 50, 200, {-3, -3, 0, 0}, {-2, -6, 0, 0}},
       }) {
    TSlotRect r = c.in;
    ScaleRect(c.oldW, c.oldH, c.newW, c.newH, r);
    EXPECT_EQ(r, c.out) << c.in.Left << "," << c.in.Top;
  }
}

TEST(WatermarkCornerTest, NinePositionsAndBeyond) {
  // A 1000 x 800 page, a 101 x 51 mark, margins 10 and 20.
  const std::vector<std::pair<int, TPoint>> cases = {
      {0, {10, 20}},  {1, {449, 20}},  {2, {889, 20}},  {3, {10, 374}},  {4, {449, 374}},  {5, {889, 374}},
      {6, {10, 729}}, {7, {449, 729}}, {8, {889, 729}}, {9, {889, 729}}, {42, {889, 729}},
  };
  for (const auto& [orient, expected] : cases)
    EXPECT_EQ(WatermarkCorner(orient, 1000, 800, 101, 51, 10, 20), expected) << orient;
  // Far sides round the fractional difference; centred ones divide whole pixels.
  EXPECT_EQ(WatermarkCorner(8, 1000.4, 800, 100.2, 50, 0, 0), (TPoint{900, 750}));
  EXPECT_EQ(WatermarkCorner(4, 1001, 801, 100, 50, 0, 0), (TPoint{450, 375}));
}

TEST(SavedFilePathTest, ExtensionIsLowerCasedOrAdded) {
  struct Case {
    std::string path;
    bool psd;
    std::string written;
  };
  for (const Case& c : std::vector<Case>{{"/o/a.JPG", false, "/o/a.jpg"},
                                         {"/o/a.Jpeg", false, "/o/a.jpeg"},
                                         {"/o/a.jpg", false, "/o/a.jpg"},
                                         {"/o/a", false, "/o/a.jpg"},
                                         {"/o/a.png", false, "/o/a.png.jpg"},
                                         {"/o/b.PSD", true, "/o/b.psd"},
                                         {"/o/b.jpg", true, "/o/b.jpg.psd"},
                                         {"/O.D/b", true, "/O.D/b.psd"}})
    EXPECT_EQ(SavedFilePath(c.path, c.psd), c.written) << c.path;
}

TEST(FindVisibleLayerTest, ScansFromEitherEnd) {
  FakeApplication app;
  FakeFileSpec spec;
  spec.layers = {{"top", false, {}}, {"upper", true, {}}, {"lower", true, {}}, {"bottom", false, {}}};
  app.S->files["/d.psd"] = spec;
  au::DocumentRef doc = *app.Load("/d.psd");
  EXPECT_EQ(*(*FindVisibleLayer(*doc, true))->Name(), "upper");
  EXPECT_EQ(*(*FindVisibleLayer(*doc, false))->Name(), "lower");
  spec.layers = {{"hidden", false, {}}};
  app.S->files["/h.psd"] = spec;
  EXPECT_FALSE(FindVisibleLayer(**app.Load("/h.psd"), false).ok());
}

TEST(LegacyTextTest, Utf8IsKeptAndGbkDecoded) {
  struct Case {
    std::string bytes, text;
  };
  for (const Case& c : std::vector<Case>{
           {"photo 1", "photo 1"},
           {"照片", "照片"},                  // valid UTF-8 stays
           {"\xD5\xD5\xC6\xAC", "照片"},      // GBK
           {"\xCF\xE0\xBF\xF2 2", "相框 2"},  // GBK with ASCII
           {"\xFF", "\xEF\xBF\xBD"},          // neither: U+FFFD
           {"a\xD5", "a\xEF\xBF\xBD"},        // a GBK pair cut short
           {"", ""},
       })
    EXPECT_EQ(DecodeLegacyText(c.bytes), c.text);
  EXPECT_TRUE(IsValidUtf8("\xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // a surrogate
  EXPECT_FALSE(IsValidUtf8("\xE7\x85"));      // cut short
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));
}

TEST(FindSlotChannelTest, GbkNamesMatchUnicodeNamesBothWays) {
  FakeApplication app;
  FakeFileSpec spec;
  spec.channels = {"照片", "\xCF\xE0\xBF\xF2"};  // one decoded, one kept as GBK bytes
  app.S->files["/t.psd"] = spec;
  au::DocumentRef doc = *app.Load("/t.psd");
  EXPECT_EQ(*(*FindSlotChannel(*doc, "\xD5\xD5\xC6\xAC"))->Name(), "照片");
  EXPECT_EQ(*(*FindSlotChannel(*doc, "照片"))->Name(), "照片");
  EXPECT_EQ(*(*FindSlotChannel(*doc, "相框"))->Name(), "\xCF\xE0\xBF\xF2");
  EXPECT_FALSE(FindSlotChannel(*doc, "\xD5\xD5").ok());
}

// The part of a placed photo its slot's mask can show. Checked against the
// placement itself: points of the photo spread over the whole picture are
// put on the page as the composition puts them (scaled to the slot's size
// times its scale, mirrored, turned counter-clockwise about the picture's
// centre at the slot's centre moved by the offsets); every one that lands
// in the visible box must lie inside the part, and the part must be
// centred on the picture.
TEST(PlacedPhotoHintTest, ThePartCoversEverythingTheMaskShowsAndIsCentred) {
  constexpr int32_t U = automation::DecodeHint::kCropUnit;
  // The portrait slot of the reference page and a 3:2 landscape photo
  // covering it: the photo is as high as the slot, 1851 pixels wide.
  const TSlotRect slot{168, 1653, 1139, 2887};
  struct Case {
    const char* name;
    float scaleX, scaleY, offsetX, offsetY, angle;
    bool flipH, flipV;
    std::optional<TSlotRect> visible;
    double keptX, keptY;  // about the part's share of the width and height; 1: no part
  };
  const Case cases[] = {
      {"covering", 1.906f, 1, 0, 0, 0, false, false, slot, 0.53, 1},
      {"both flips", 1.906f, 1, 0, 0, 0, true, true, slot, 0.53, 1},
      {"turned", 1.906f, 1, 0, 0, 5, false, false, slot, 0.59, 1},
      {"turned the other way, mirrored", 1.906f, 1, 0, 0, -7, true, false, slot, 0.61, 1},
      {"a small mask", 2.5f, 2.5f, 0, 0, 0, false, false, TSlotRect{500, 2100, 800, 2400}, 0.13, 0.11},
      {"offset towards an edge", 1.906f, 1.2f, 0.2f, -0.05f, 0, false, false, slot, 0.74, 0.93},
      {"smaller than the slot", 0.6f, 0.7f, 0.1f, 0.1f, 0, false, false, slot, 1, 1},
      {"turned a quarter", 1.906f, 1, 0, 0, 90, false, false, slot, 0.68, 0.80},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TSlotNode node;
    node.ScaleX = c.scaleX, node.ScaleY = c.scaleY, node.OffsetX = c.offsetX, node.OffsetY = c.offsetY;
    node.Angle = c.angle, node.FlipH = c.flipH, node.FlipV = c.flipV;
    const automation::DecodeHint hint = PlacedPhotoHint(slot, node, c.visible);
    const double sw = slot.Right - slot.Left, sh = slot.Bottom - slot.Top;
    EXPECT_EQ(hint.MinWidth, int(std::ceil(sw * c.scaleX)) + 1);
    EXPECT_EQ(hint.CropLeft + hint.CropRight, U);
    EXPECT_EQ(hint.CropTop + hint.CropBottom, U);
    EXPECT_NEAR(double(hint.CropRight - hint.CropLeft) / U, c.keptX, 0.03);
    EXPECT_NEAR(double(hint.CropBottom - hint.CropTop) / U, c.keptY, 0.03);
    if (c.keptX < 1 || c.keptY < 1) {
      EXPECT_GT(hint.CropMargin, 0);
    }

    const double w = sw * c.scaleX, h = sh * c.scaleY;
    const double cx = (slot.Left + slot.Right) / 2.0 + sw * c.offsetX;
    const double cy = (slot.Top + slot.Bottom) / 2.0 + sh * c.offsetY;
    const double a = c.angle * 3.14159265358979 / 180;
    int shown = 0;
    for (int i = 0; i <= 400; ++i)
      for (int j = 0; j <= 400; ++j) {
        const double fu = i / 400.0, fv = j / 400.0;  // fractions of the upright picture
        const double u = (fu - 0.5) * w * (c.flipH ? -1 : 1), v = (fv - 0.5) * h * (c.flipV ? -1 : 1);
        const double x = cx + u * std::cos(a) + v * std::sin(a), y = cy - u * std::sin(a) + v * std::cos(a);
        const TSlotRect& box = *c.visible;
        if (x < box.Left || x > box.Right || y < box.Top || y > box.Bottom) continue;
        ++shown;
        ASSERT_GE(fu * U, hint.CropLeft) << fu << "," << fv;
        ASSERT_LE(fu * U, hint.CropRight) << fu << "," << fv;
        ASSERT_GE(fv * U, hint.CropTop) << fu << "," << fv;
        ASSERT_LE(fv * U, hint.CropBottom) << fu << "," << fv;
      }
    EXPECT_GT(shown, 0);
  }
}

// No part where the whole photo is needed or the size is unknown.
TEST(PlacedPhotoHintTest, NoPartWithoutAVisibleBoxOrForASlotNeverFitted) {
  constexpr int32_t U = automation::DecodeHint::kCropUnit;
  const TSlotRect slot{100, 100, 500, 400};
  auto node = [](float scale, float offsetX) {
    auto n = std::make_unique<TSlotNode>();
    n->ScaleX = n->ScaleY = scale, n->OffsetX = offsetX, n->OffsetY = 0;
    return n;
  };
  const auto fittedNode = node(2, 0), neverNode = node(-1, 0);
  const TSlotNode &fitted = *fittedNode, &never = *neverNode;
  const TSlotRect box{200, 200, 300, 300};
  const automation::DecodeHint all{0, 0, 0, 0, U, U, 0};
  auto sizeOnly = [](automation::DecodeHint h) {
    h.MinWidth = h.MinHeight = 0;
    return h;
  };
  EXPECT_EQ(sizeOnly(PlacedPhotoHint(slot, fitted, std::nullopt)), all);
  const automation::DecodeHint neverShown = PlacedPhotoHint(slot, never, box);
  EXPECT_EQ(sizeOnly(neverShown), all);
  EXPECT_EQ(neverShown.MinWidth, 401);                                                     // covers the slot
  EXPECT_EQ(sizeOnly(PlacedPhotoHint(slot, fitted, TSlotRect{300, 300, 300, 400})), all);  // empty box
  EXPECT_EQ(PlacedPhotoHint(TSlotRect{5, 5, 5, 9}, fitted, box), automation::DecodeHint{});
  const auto wild = node(2, std::numeric_limits<float>::infinity());
  EXPECT_EQ(sizeOnly(PlacedPhotoHint(slot, *wild, box)), all);
}

}  // namespace
}  // namespace tessaro::enginetest
