// Rectangle scaling, the watermark table, saved paths, visible layers and
// channel names in the Chinese code page.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tessaro::enginetest
