// Lean reading of layered documents: alpha channels cropped to their
// non-zero box, layers of one colour kept as that colour; and the writer
// taking both back.
#include <gtest/gtest.h>

#include "imaging/psd/Psd.h"
#include "imaging/tests/psd/PsdTestUtil.h"

namespace tessaro {
namespace {

PsdDocument Blank(int w, int h) {
  PsdDocument d;
  d.width = w;
  d.height = h;
  d.composite.Create(w, h, Rgba8{255, 255, 255, 255});
  return d;
}

Image SolidImage(int w, int h, Rgba8 c) {
  Image img;
  img.Create(w, h, c);
  return img;
}

PsdReadOptions Lean() {
  PsdReadOptions o;
  o.cropAlphaChannels = true;
  o.fillLayers = true;
  return o;
}

TEST(PsdLeanReadTest, AlphaChannelsComeCroppedToTheirNonZeroBox) {
  struct Case {
    const char* name;
    IntRect box;
  };
  const Case cases[] = {{"slot", {5, 7, 30, 20}},
                        {"bottom rows", {0, 40, 64, 48}},
                        {"corner pixel", {63, 0, 64, 1}},
                        {"empty", {}}};
  PsdDocument d = Blank(64, 48);
  for (const Case& c : cases) {
    PsdAlphaChannel a;
    a.name = c.name;
    a.pixels.Create(64, 48);
    for (int y = c.box.top; y < c.box.bottom; ++y)
      for (int x = c.box.left; x < c.box.right; ++x) a.pixels.At(x, y) = uint8_t(1 + (x * 7 + y * 3) % 250);
    d.alphaChannels.push_back(std::move(a));
  }
  Result<std::vector<uint8_t>> bytes = WritePsd(d);
  ASSERT_TRUE(bytes.ok()) << bytes.message();
  Result<PsdDocument> full = ReadPsd(*bytes);
  Result<PsdDocument> lean = ReadPsd(*bytes, Lean());
  ASSERT_TRUE(full.ok() && lean.ok());
  ASSERT_EQ(lean->alphaChannels.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    const PsdAlphaChannel& a = lean->alphaChannels[i];
    EXPECT_EQ(full->alphaChannels[i].bounds, (IntRect{0, 0, 64, 48}));
    EXPECT_EQ(a.bounds, cases[i].box);
    EXPECT_EQ(a.pixels.empty(), cases[i].box.Empty());
    for (int y = 0; y < a.pixels.height(); ++y)
      for (int x = 0; x < a.pixels.width(); ++x)
        ASSERT_EQ(a.pixels.At(x, y), d.alphaChannels[i].pixels.At(a.bounds.left + x, a.bounds.top + y));
  }
  // Written back cropped, the channels read as they were made.
  lean->composite.Create(64, 48, Rgba8{255, 255, 255, 255});
  Result<std::vector<uint8_t>> again = WritePsd(*lean);
  ASSERT_TRUE(again.ok()) << again.message();
  Result<PsdDocument> back = ReadPsd(*again);
  ASSERT_TRUE(back.ok());
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(test::MaxDifference(back->alphaChannels[i].pixels, d.alphaChannels[i].pixels), 0) << i;
  // A cropped channel must lie inside the document and match its box.
  lean->alphaChannels[0].bounds.right += 1;
  EXPECT_FALSE(WritePsd(*lean).ok());
}

TEST(PsdLeanReadTest, LayersOfOneColourComeAsThatColour) {
  struct Case {
    const char* name;
    Rgba8 colour;
    IntRect odd;  // pixels of another colour, if any
    bool fill;
  };
  const Case cases[] = {
      {"opaque", {200, 120, 40, 255}, {}, true},
      {"translucent", {10, 250, 90, 77}, {}, true},
      {"last row differs", {200, 120, 40, 255}, {0, 19, 30, 20}, false},
      {"one pixel differs", {200, 120, 40, 255}, {12, 9, 13, 10}, false},
  };
  PsdDocument d = Blank(64, 48);
  for (const Case& c : cases) {
    PsdLayer l;
    l.name = c.name;
    l.bounds = {-5, 3, 25, 23};
    l.pixels = SolidImage(30, 20, c.colour);
    for (int y = c.odd.top; y < c.odd.bottom; ++y)
      for (int x = c.odd.left; x < c.odd.right; ++x) l.pixels.At(x, y) = Rgba8{1, 2, 3, 255};
    d.layers.push_back(std::move(l));
  }
  Result<std::vector<uint8_t>> bytes = WritePsd(d);
  ASSERT_TRUE(bytes.ok()) << bytes.message();
  Result<PsdDocument> lean = ReadPsd(*bytes, Lean());
  ASSERT_TRUE(lean.ok()) << lean.message();
  ASSERT_EQ(lean->layers.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    const PsdLayer& l = lean->layers[i];
    EXPECT_EQ(l.bounds, d.layers[i].bounds);
    ASSERT_EQ(l.fill.has_value(), cases[i].fill);
    if (cases[i].fill) {
      EXPECT_EQ(*l.fill, cases[i].colour);
      EXPECT_TRUE(l.pixels.empty());
    } else {
      EXPECT_EQ(test::MaxDifference(l.pixels, d.layers[i].pixels), 0);
    }
  }
  // The writer writes a fill as rows of its colour.
  Result<std::vector<uint8_t>> again = WritePsd(*lean);
  ASSERT_TRUE(again.ok()) << again.message();
  Result<PsdDocument> back = ReadPsd(*again);
  ASSERT_TRUE(back.ok());
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_FALSE(back->layers[i].fill.has_value());
    EXPECT_EQ(test::MaxDifference(back->layers[i].pixels, d.layers[i].pixels), 0) << i;
  }
}

}  // namespace
}  // namespace tessaro
