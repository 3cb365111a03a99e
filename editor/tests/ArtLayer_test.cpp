// ArtLayer calls: bounds, properties, copy and paste, duplicate and move,
// resize, translate, rotate, adjustments, and merging.
#include <cmath>

#include "editor/tests/EditorTestUtil.h"
#include "imaging/ops/Adjust.h"
#include "imaging/ops/Affine.h"

namespace tessaro::editortest {
namespace {

class ArtLayerTest : public EditorFixture {
 protected:
  // A 20 x 10 document: opaque grey background and a 6 x 4 pattern at (3, 2).
  DocumentRef TwoLayers() {
    PsdDocument d = MakePsd(20, 10);
    d.layers.push_back(MakePsdLayer("Background", {0, 0, 20, 10}, Solid(20, 10, {128, 128, 128, 255})));
    d.layers.push_back(MakePsdLayer("photo", {3, 2, 9, 6}, Pattern(6, 4)));
    return OpenDocument("two.psd", d);
  }
  // One layer holding `pixels` at `at` in a w x h document.
  DocumentRef OneLayer(int w, int h, IntRect at, Image pixels, const std::string& name = "one.psd") {
    PsdDocument d = MakePsd(w, h);
    d.layers.push_back(MakePsdLayer("layer", at, std::move(pixels)));
    return OpenDocument(name, d);
  }
};

TEST_F(ArtLayerTest, BoundsAreTheBoxOfNonTransparentPixels) {
  Image img;
  img.Create(10, 10);
  for (int y = 2; y < 8; ++y)
    for (int x = 3; x < 6; ++x) img.At(x, y) = Rgba8{1, 2, 3, 10};
  DocumentRef doc = OneLayer(30, 30, {5, 5, 15, 15}, std::move(img));
  EXPECT_EQ(BoundsOf(Layer(doc, 1)), (LayerBounds{8, 7, 11, 13}));
  Image clear;
  clear.Create(4, 4);
  DocumentRef empty = OneLayer(30, 30, {5, 5, 9, 9}, std::move(clear), "e.psd");
  EXPECT_EQ(BoundsOf(Layer(empty, 1)), (LayerBounds{0, 0, 0, 0}));
}

TEST_F(ArtLayerTest, BoundsMayReachOutsideTheCanvas) {
  DocumentRef doc = OneLayer(10, 10, {-4, -3, 6, 7}, Solid(10, 10, {9, 9, 9, 255}));
  EXPECT_EQ(BoundsOf(Layer(doc, 1)), (LayerBounds{-4, -3, 6, 7}));
}

TEST_F(ArtLayerTest, PropertiesReadBackAndRefuseBadValues) {
  ArtLayerRef l = Layer(TwoLayers(), 1);
  ASSERT_OK(l->SetName("照片 1"));
  EXPECT_EQ(*l->Name(), "照片 1");
  ASSERT_OK(l->SetVisible(false));
  EXPECT_FALSE(*l->Visible());
  ASSERT_OK(l->SetOpacity(48.5));
  EXPECT_DOUBLE_EQ(*l->Opacity(), 48.5);
  for (double bad : {-1.0, 100.5, double(NAN)}) EXPECT_FALSE(l->SetOpacity(bad).ok()) << bad;
  EXPECT_DOUBLE_EQ(*l->Opacity(), 48.5);
  EXPECT_EQ(*l->BlendMode(), kBlendNormal);
  for (int code :
       {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 26, 27, 28, 29, 30}) {
    ASSERT_OK(l->SetBlendMode(code));
    EXPECT_EQ(*l->BlendMode(), code);
  }
  for (int bad : {0, 1, 24, 25, 31, -2}) EXPECT_FALSE(l->SetBlendMode(bad).ok()) << bad;
}

TEST_F(ArtLayerTest, BlendModeCodesMapToTheirModes) {
  struct Case {
    int code;
    BlendMode mode;
  } cases[] = {{2, BlendMode::kNormal},        {12, BlendMode::kOverlay},  {13, BlendMode::kSoftLight},
               {22, BlendMode::kColor},        {5, BlendMode::kMultiply},  {9, BlendMode::kScreen},
               {1, BlendMode::kPassThrough},   {26, BlendMode::kHardMix},  {28, BlendMode::kDarkerColor},
               {27, BlendMode::kLighterColor}, {29, BlendMode::kSubtract}, {30, BlendMode::kDivide}};
  for (const Case& c : cases) {
    EXPECT_EQ(BlendModeFromCode(c.code), c.mode) << c.code;
    EXPECT_EQ(BlendModeCode(c.mode), c.code) << c.code;
  }
  EXPECT_FALSE(BlendModeFromCode(24).has_value());
}

TEST_F(ArtLayerTest, BlendModeAndOpacityChangeTheComposite) {
  struct Case {
    int code;
    double opacity;
    Rgba8 expected;  // 100,150,200 laid on 200,100,50
  } cases[] = {
      {kBlendNormal, 100, {100, 150, 200, 255}},
      {5, 100, {78, 59, 39, 255}},     // multiply: a*b/255
      {9, 100, {222, 191, 211, 255}},  // screen: a+b-a*b/255
      {18, 100, {100, 50, 150, 255}},  // difference
      {kBlendNormal, 50, {150, 125, 125, 255}},
      {kBlendNormal, 0, {200, 100, 50, 255}},
  };
  for (const Case& c : cases) {
    PsdDocument d = MakePsd(2, 1);
    d.layers.push_back(MakePsdLayer("b", {0, 0, 2, 1}, Solid(2, 1, {200, 100, 50, 255})));
    d.layers.push_back(MakePsdLayer("t", {0, 0, 2, 1}, Solid(2, 1, {100, 150, 200, 255})));
    DocumentRef doc = OpenDocument("m" + std::to_string(c.code) + ".psd", d);
    ArtLayerRef top = Layer(doc, 1);
    ASSERT_OK(top->SetBlendMode(c.code));
    ASSERT_OK(top->SetOpacity(c.opacity));
    EXPECT_TRUE(SamePixel(Flat(doc).At(1, 0), c.expected, 1)) << c.code << " " << c.opacity;
  }
}

TEST_F(ArtLayerTest, HiddenLayersDoNotShow) {
  DocumentRef doc = TwoLayers();
  ASSERT_OK(Layer(doc, 1)->SetVisible(false));
  EXPECT_TRUE(SamePixel(Flat(doc).At(4, 3), {128, 128, 128, 255}));
}

TEST_F(ArtLayerTest, CopyThenPasteCentresTheCopiedPixelsAboveTheActiveLayer) {
  DocumentRef source = TwoLayers();
  ArtLayerRef photo = Layer(source, 1);
  ASSERT_OK(SelectionOf(source)->SelectAll());
  ASSERT_OK(photo->Copy(false));
  DocumentRef target = OneLayer(31, 21, {0, 0, 31, 21}, Solid(31, 21, {0, 0, 0, 255}), "target.psd");
  ASSERT_OK_AND_ASSIGN(ArtLayerRef pasted, target->Paste(false));
  EXPECT_EQ(LayerCount(target), 2);
  EXPECT_EQ(*pasted->Name(), "Layer 1");
  EXPECT_EQ(*(*target->ActiveLayer())->Name(), "Layer 1");
  EXPECT_EQ(LayerName(target, 1), "Layer 1");
  // floor((31 - 6) / 2) = 12, floor((21 - 4) / 2) = 8.
  EXPECT_EQ(BoundsOf(pasted), (LayerBounds{12, 8, 18, 12}));
  const PlacedImage p = Pixels(pasted);
  const Image expected = Pattern(6, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_TRUE(SamePixel(LayerPixelAt(p, 12 + x, 8 + y), expected.At(x, y)));
  // A second paste is numbered on and lands above the first (the active layer).
  ASSERT_OK_AND_ASSIGN(ArtLayerRef second, target->Paste(false));
  EXPECT_EQ(*second->Name(), "Layer 2");
  EXPECT_EQ(LayerName(target, 1), "Layer 2");
  EXPECT_EQ(LayerName(target, 2), "Layer 1");
}

TEST_F(ArtLayerTest, CopyWithoutASelectionCopiesTheLayerWithinTheCanvas) {
  DocumentRef doc = OneLayer(10, 10, {-2, 6, 4, 12}, Pattern(6, 6));
  ASSERT_OK(Layer(doc, 1)->Copy(false));
  ASSERT_OK_AND_ASSIGN(ArtLayerRef pasted, doc->Paste(false));
  // The part inside the canvas, (0,6)-(4,10), is 4 x 4; centred: (3, 3).
  EXPECT_EQ(BoundsOf(pasted), (LayerBounds{3, 3, 7, 7}));
  EXPECT_TRUE(SamePixel(LayerPixelAt(Pixels(pasted), 3, 3), Pattern(6, 6).At(2, 0)));
}

TEST_F(ArtLayerTest, PasteCentresContentLargerThanTheCanvas) {
  DocumentRef big = OneLayer(9, 9, {0, 0, 9, 9}, Pattern(9, 9), "big.psd");
  ASSERT_OK(Layer(big, 1)->Copy(false));
  DocumentRef small = OneLayer(4, 4, {0, 0, 4, 4}, Solid(4, 4, {0, 0, 0, 255}), "small.psd");
  ASSERT_OK_AND_ASSIGN(ArtLayerRef pasted, small->Paste(false));
  // floor((4 - 9) / 2) = -3.
  EXPECT_EQ(BoundsOf(pasted), (LayerBounds{-3, -3, 6, 6}));
}

TEST_F(ArtLayerTest, CopyTakesTheSelectionAsCoverageAndCropsToIt) {
  PsdDocument d = MakePsd(20, 10);
  d.layers.push_back(MakePsdLayer("photo", {0, 0, 20, 10}, Pattern(20, 10)));
  d.alphaChannels.push_back({"slot", RectPlane(20, 10, {4, 2, 10, 7}, 128), false});
  DocumentRef doc = OpenDocument("sel.psd", d);
  ASSERT_OK(SelectionOf(doc)->Load(ChannelNamed(doc, "slot"), kSelectionReplace, false));
  ASSERT_OK(Layer(doc, 1)->Copy(false));
  ASSERT_OK_AND_ASSIGN(ArtLayerRef pasted, doc->Paste(false));
  // 6 x 5 copied; centred at (7, 2).
  EXPECT_EQ(BoundsOf(pasted), (LayerBounds{7, 2, 13, 7}));
  const Rgba8 src = Pattern(20, 10).At(4, 2);
  EXPECT_TRUE(SamePixel(LayerPixelAt(Pixels(pasted), 7, 2), {src.r, src.g, src.b, 128}));
}

TEST_F(ArtLayerTest, CopyMergedTakesTheCompositeOfTheVisibleLayers) {
  PsdDocument d = MakePsd(8, 6);
  d.layers.push_back(MakePsdLayer("red", {0, 0, 8, 6}, Solid(8, 6, {255, 0, 0, 255})));
  d.layers.push_back(MakePsdLayer("blue", {2, 2, 6, 4}, Solid(4, 2, {0, 0, 255, 128})));
  d.layers.push_back(MakePsdLayer("hidden", {0, 0, 8, 6}, Solid(8, 6, {0, 255, 0, 255})));
  d.layers.back().visible = false;
  DocumentRef doc = OpenDocument("merged.psd", d);
  const Image expected = Flat(doc);
  ASSERT_OK(Layer(doc, 3)->Copy(true));
  DocumentRef target = OneLayer(8, 6, {0, 0, 1, 1}, Solid(1, 1, {0, 0, 0, 255}), "target.psd");
  ASSERT_OK_AND_ASSIGN(ArtLayerRef pasted, target->Paste(false));
  EXPECT_EQ(BoundsOf(pasted), (LayerBounds{0, 0, 8, 6}));
  const PlacedImage p = Pixels(pasted);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_TRUE(SamePixel(LayerPixelAt(p, x, y), expected.At(x, y)));
  EXPECT_TRUE(SamePixel(expected.At(3, 3), {127, 0, 128, 255}, 1));
}

TEST_F(ArtLayerTest, CopyOfNothingIsAnErrorAndKeepsTheClipboard) {
  PsdDocument d = MakePsd(20, 10);
  d.layers.push_back(MakePsdLayer("photo", {0, 0, 5, 5}, Pattern(5, 5)));
  d.alphaChannels.push_back({"far", RectPlane(20, 10, {12, 2, 18, 8}, 255), false});
  DocumentRef doc = OpenDocument("n.psd", d);
  ArtLayerRef l = Layer(doc, 1);
  ASSERT_OK(l->Copy(false));
  ASSERT_OK(SelectionOf(doc)->Load(ChannelNamed(doc, "far"), kSelectionReplace, false));
  EXPECT_FALSE(l->Copy(false).ok());
  ASSERT_OK_AND_ASSIGN(ArtLayerRef pasted, doc->Paste(false));
  EXPECT_EQ(BoundsOf(pasted).right - BoundsOf(pasted).left, 5);
}

TEST_F(ArtLayerTest, PasteRefusesAnEmptyClipboardAndPastingIntoTheSelection) {
  DocumentRef doc = TwoLayers();
  EXPECT_FALSE(doc->Paste(false).ok());
  ASSERT_OK(Layer(doc, 1)->Copy(false));
  EXPECT_FALSE(doc->Paste(true).ok());
  EXPECT_EQ(LayerCount(doc), 2);
}

TEST_F(ArtLayerTest, PasteGoesDirectlyAboveTheActiveLayer) {
  PsdDocument d = MakePsd(10, 10);
  for (const char* name : {"bottom", "middle", "top"})
    d.layers.push_back(MakePsdLayer(name, {0, 0, 2, 2}, Solid(2, 2, {1, 1, 1, 255})));
  DocumentRef doc = OpenDocument("three.psd", d);
  ASSERT_OK(doc->SetActiveLayer(Layer(doc, 2)));
  ASSERT_OK(Layer(doc, 2)->Copy(false));
  ASSERT_OK(doc->Paste(false));
  EXPECT_EQ(LayerName(doc, 1), "top");
  EXPECT_EQ(LayerName(doc, 2), "Layer 1");
  EXPECT_EQ(LayerName(doc, 3), "middle");
}

TEST_F(ArtLayerTest, DuplicateIntoADocumentAtItsBeginningOrEnd) {
  DocumentRef source = TwoLayers();
  DocumentRef target = OneLayer(20, 10, {0, 0, 1, 1}, Solid(1, 1, {5, 5, 5, 255}), "target.psd");
  ArtLayerRef photo = Layer(source, 1);
  ASSERT_OK(photo->SetOpacity(40));
  ASSERT_OK(photo->SetBlendMode(kBlendOverlay));
  ASSERT_OK_AND_ASSIGN(ArtLayerRef copy, photo->Duplicate(target, kPlaceAtBeginning));
  EXPECT_EQ(LayerCount(target), 2);
  EXPECT_EQ(LayerName(target, 1), "photo");
  EXPECT_EQ(*(*target->ActiveLayer())->Name(), "photo");
  EXPECT_EQ(BoundsOf(copy), (LayerBounds{3, 2, 9, 6}));
  EXPECT_DOUBLE_EQ(*copy->Opacity(), 40);
  EXPECT_EQ(*copy->BlendMode(), kBlendOverlay);
  EXPECT_EQ(MaxDifference(Pixels(copy).image, Pattern(6, 4)), 0);
  // The copy is independent of the original.
  ASSERT_OK(copy->Translate(5, 0));
  EXPECT_EQ(BoundsOf(photo), (LayerBounds{3, 2, 9, 6}));
  ASSERT_OK_AND_ASSIGN(ArtLayerRef atEnd, photo->Duplicate(target, kPlaceAtEnd));
  EXPECT_EQ(LayerCount(target), 3);
  EXPECT_EQ(LayerName(target, 3), "photo");
  EXPECT_EQ(*(*target->ActiveLayer())->Name(), "photo");
  EXPECT_FALSE(photo->Duplicate(target, kPlaceInside).ok());
  EXPECT_FALSE(photo->Duplicate(target, kPlaceBefore).ok());
  EXPECT_EQ(LayerCount(target), 3);
}

TEST_F(ArtLayerTest, DuplicateRelativeToALayer) {
  DocumentRef doc = TwoLayers();
  ArtLayerRef background = Layer(doc, 2);
  ASSERT_OK(Layer(doc, 1)->Duplicate(background, kPlaceAfter));
  ASSERT_EQ(LayerCount(doc), 3);
  EXPECT_EQ(LayerName(doc, 3), "photo");
  ASSERT_OK(Layer(doc, 2)->Duplicate(Layer(doc, 1), kPlaceBefore));
  EXPECT_EQ(LayerName(doc, 1), "Background");
  EXPECT_FALSE(Layer(doc, 1)->Duplicate(background, kPlaceAtBeginning).ok());
}

TEST_F(ArtLayerTest, MoveBeforeAndAfterAnotherLayer) {
  PsdDocument d = MakePsd(10, 10);
  for (const char* name : {"d", "c", "b", "a"})
    d.layers.push_back(MakePsdLayer(name, {0, 0, 1, 1}, Solid(1, 1, {})));
  DocumentRef doc = OpenDocument("order.psd", d);
  ArtLayerRef a = Layer(doc, 1), c = Layer(doc, 3), dl = Layer(doc, 4);
  ASSERT_OK(dl->Move(a, kPlaceBefore));
  EXPECT_EQ(LayerName(doc, 1) + LayerName(doc, 2) + LayerName(doc, 3) + LayerName(doc, 4), "dabc");
  ASSERT_OK(dl->Move(c, kPlaceAfter));
  EXPECT_EQ(LayerName(doc, 1) + LayerName(doc, 2) + LayerName(doc, 3) + LayerName(doc, 4), "abcd");
  ASSERT_OK(a->Move(a, kPlaceBefore));
  EXPECT_FALSE(a->Move(c, kPlaceAtBeginning).ok());
  DocumentRef other = TwoLayers();
  EXPECT_FALSE(a->Move(Layer(other, 1), kPlaceBefore).ok());
  EXPECT_EQ(LayerName(doc, 1) + LayerName(doc, 2) + LayerName(doc, 3) + LayerName(doc, 4), "abcd");
}

TEST_F(ArtLayerTest, ResizeScalesAboutTheCentreOfTheBounds) {
  struct Case {
    double h, v;
    int anchor;
    LayerBounds expected;  // of a 4 x 4 block at (10, 10)
  } cases[] = {
      {200, 200, kAnchorMiddleCenter, {8, 8, 16, 16}},   {50, 50, kAnchorMiddleCenter, {11, 11, 13, 13}},
      {200, 100, kAnchorMiddleCenter, {8, 10, 16, 14}},  {200, 200, kAnchorTopLeft, {10, 10, 18, 18}},
      {200, 200, kAnchorBottomRight, {6, 6, 14, 14}},    {-100, 100, kAnchorMiddleCenter, {10, 10, 14, 14}},
      {-200, -50, kAnchorMiddleCenter, {8, 11, 16, 13}},
  };
  for (const Case& c : cases) {
    DocumentRef doc = OneLayer(30, 30, {10, 10, 14, 14}, Solid(4, 4, {50, 60, 70, 255}),
                               "r" + std::to_string(int(c.h)) + std::to_string(c.anchor) + ".psd");
    ArtLayerRef l = Layer(doc, 1);
    ASSERT_OK(l->Resize(c.h, c.v, c.anchor));
    EXPECT_EQ(BoundsOf(l), c.expected) << c.h << " " << c.v << " " << c.anchor;
    EXPECT_TRUE(SamePixel(Flat(doc).At(int(c.expected.left + c.expected.right) / 2,
                                       int(c.expected.top + c.expected.bottom) / 2),
                          {50, 60, 70, 255}));
  }
}

TEST_F(ArtLayerTest, NegativePercentagesMirror) {
  DocumentRef doc = OneLayer(20, 20, {5, 6, 11, 10}, Pattern(6, 4));
  ArtLayerRef l = Layer(doc, 1);
  ASSERT_OK(l->Resize(-100, 100, kAnchorMiddleCenter));
  Image mirrored = Pattern(6, 4);
  FlipHorizontal(mirrored);
  PlacedImage p = Pixels(l);
  EXPECT_EQ(p.bounds, (IntRect{5, 6, 11, 10}));
  EXPECT_EQ(MaxDifference(p.image, mirrored), 0);
  ASSERT_OK(l->Resize(-100, -100, kAnchorMiddleCenter));
  FlipHorizontal(mirrored);
  FlipVertical(mirrored);
  EXPECT_EQ(MaxDifference(Pixels(l).image, mirrored), 0);
}

TEST_F(ArtLayerTest, ResizeRefusesBadArguments) {
  ArtLayerRef l = Layer(TwoLayers(), 1);
  EXPECT_FALSE(l->Resize(0, 100, 5).ok());
  EXPECT_FALSE(l->Resize(100, NAN, 5).ok());
  EXPECT_FALSE(l->Resize(50, 50, 0).ok());
  EXPECT_FALSE(l->Resize(50, 50, 10).ok());
  EXPECT_EQ(BoundsOf(l), (LayerBounds{3, 2, 9, 6}));
}

TEST_F(ArtLayerTest, TranslateMovesByWholePixelsRoundingHalvesToEven) {
  struct Case {
    double dx, dy;
    int ex, ey;
  } cases[] = {{2.5, 3.5, 2, 4}, {-1.4, 0.6, -1, 1}, {-2.5, -0.5, -2, 0}, {100, -7, 100, -7}};
  for (const Case& c : cases) {
    DocumentRef doc =
        OneLayer(20, 20, {5, 5, 7, 7}, Solid(2, 2, {1, 2, 3, 255}), "t" + std::to_string(c.ex) + ".psd");
    ArtLayerRef l = Layer(doc, 1);
    ASSERT_OK(l->Translate(c.dx, c.dy));
    EXPECT_EQ(BoundsOf(l), (LayerBounds{5.0 + c.ex, 5.0 + c.ey, 7.0 + c.ex, 7.0 + c.ey}))
        << c.dx << "," << c.dy;
  }
  ArtLayerRef l = Layer(TwoLayers(), 1);
  EXPECT_FALSE(l->Translate(NAN, 0).ok());
  EXPECT_FALSE(l->Translate(0, 1e12).ok());
}

TEST_F(ArtLayerTest, RotateTurnsClockwiseAboutTheCentre) {
  // out(h - 1 - j, i) = in(i, j) for a quarter turn clockwise of a w x h picture.
  const int w = 6, h = 4;
  DocumentRef doc = OneLayer(30, 30, {10, 10, 16, 14}, Pattern(w, h));
  ArtLayerRef l = Layer(doc, 1);
  ASSERT_OK(l->Rotate(90, kAnchorMiddleCenter));
  // Centre (13, 12); the 4 x 6 result spans (11, 9)-(15, 15).
  EXPECT_EQ(BoundsOf(l), (LayerBounds{11, 9, 15, 15}));
  const PlacedImage p = Pixels(l);
  const Image in = Pattern(w, h);
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i)
      ASSERT_TRUE(SamePixel(LayerPixelAt(p, 11 + (h - 1 - j), 9 + i), in.At(i, j))) << i << "," << j;
  // Three more quarter turns bring it back.
  ASSERT_OK(l->Rotate(270, kAnchorMiddleCenter));
  EXPECT_EQ(BoundsOf(l), (LayerBounds{10, 10, 16, 14}));
  EXPECT_EQ(MaxDifference(Pixels(l).image, in), 0);
}

TEST_F(ArtLayerTest, NegativeAnglesTurnCounterClockwise) {
  DocumentRef doc = OneLayer(30, 30, {10, 10, 16, 14}, Pattern(6, 4));
  ArtLayerRef l = Layer(doc, 1);
  ASSERT_OK(l->Rotate(-90, kAnchorMiddleCenter));
  // Counter-clockwise: out(j, w - 1 - i) = in(i, j).
  const PlacedImage p = Pixels(l);
  EXPECT_TRUE(SamePixel(LayerPixelAt(p, 11 + 0, 9 + 5), Pattern(6, 4).At(0, 0)));
  EXPECT_TRUE(SamePixel(LayerPixelAt(p, 11 + 3, 9 + 0), Pattern(6, 4).At(5, 3)));
}

TEST_F(ArtLayerTest, RotateGrowsTheLayerAndKeepsItsCentre) {
  DocumentRef doc = OneLayer(200, 200, {80, 90, 120, 110}, Solid(40, 20, {90, 90, 90, 255}));
  ArtLayerRef l = Layer(doc, 1);
  ASSERT_OK(l->Rotate(30, kAnchorMiddleCenter));
  const LayerBounds b = BoundsOf(l);
  // Rotated 40 x 20: width 40 cos30 + 20 sin30 = 44.6, height 40 sin30 + 20 cos30 = 37.3.
  EXPECT_NEAR(b.right - b.left, 44.6, 1.5);
  EXPECT_NEAR(b.bottom - b.top, 37.3, 1.5);
  EXPECT_NEAR((b.left + b.right) / 2, 100, 0.5);
  EXPECT_NEAR((b.top + b.bottom) / 2, 100, 0.5);
  // Clockwise on screen: the right end of the bar goes down.
  const Image flat = Flat(doc);
  EXPECT_GT(flat.At(117, 108).a, 200);
  EXPECT_EQ(flat.At(117, 92).a, 0);
  EXPECT_FALSE(l->Rotate(NAN, 5).ok());
  EXPECT_FALSE(l->Rotate(10, 11).ok());
}

// One pass of ResizeAndRotate lands where Resize then Rotate do and shows
// the same picture (up to the second resampling's softening).
TEST_F(ArtLayerTest, ResizeAndRotateMatchesResizeThenRotate) {
  auto smooth = [] {
    Image image;
    EXPECT_TRUE(image.Create(80, 60).ok());
    for (int y = 0; y < 60; ++y)
      for (int x = 0; x < 80; ++x) image.At(x, y) = Rgba8{uint8_t(40 + 2 * x), uint8_t(200 - 2 * y), 90, 255};
    return image;
  };
  struct Case {
    double h, v, degrees;
  };
  for (const Case& c : {Case{150, 150, 20}, Case{-60, 80, -5}, Case{50, -70, 90}}) {
    SCOPED_TRACE(std::to_string(c.h) + " " + std::to_string(c.v) + " " + std::to_string(c.degrees));
    DocumentRef twoPasses = OneLayer(300, 300, {110, 120, 190, 180}, smooth(), "two.psd");
    DocumentRef onePass = OneLayer(300, 300, {110, 120, 190, 180}, smooth(), "one.psd");
    ArtLayerRef a = Layer(twoPasses, 1), b = Layer(onePass, 1);
    ASSERT_OK(a->Resize(c.h, c.v, kAnchorMiddleCenter));
    ASSERT_OK(a->Rotate(c.degrees, kAnchorMiddleCenter));
    ASSERT_OK(b->ResizeAndRotate(c.h, c.v, c.degrees, kAnchorMiddleCenter));
    const LayerBounds ba = BoundsOf(a), bb = BoundsOf(b);
    EXPECT_NEAR(ba.left, bb.left, 1);
    EXPECT_NEAR(ba.top, bb.top, 1);
    EXPECT_NEAR(ba.right, bb.right, 1);
    EXPECT_NEAR(ba.bottom, bb.bottom, 1);
    const Image fa = Flat(twoPasses), fb = Flat(onePass);
    double sum = 0;
    for (int y = 0; y < fa.height(); ++y)
      for (int x = 0; x < fa.width(); ++x) {
        const Rgba8 p = fa.At(x, y), q = fb.At(x, y);
        sum += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b) + std::abs(p.a - q.a);
      }
    EXPECT_LT(sum / (4.0 * fa.width() * fa.height()), 1.0);
  }
  DocumentRef doc = OneLayer(100, 100, {10, 10, 50, 40}, Pattern(40, 30));
  ArtLayerRef l = Layer(doc, 1);
  EXPECT_FALSE(l->ResizeAndRotate(0, 100, 10, kAnchorMiddleCenter).ok());
  EXPECT_FALSE(l->ResizeAndRotate(100, 100, NAN, kAnchorMiddleCenter).ok());
  EXPECT_FALSE(l->ResizeAndRotate(100, 100, 10, kAnchorTopLeft).ok());
  EXPECT_EQ(BoundsOf(l), (LayerBounds{10, 10, 50, 40}));
}

TEST_F(ArtLayerTest, LevelsActOnTheActiveColourChannels) {
  const Image src = Pattern(8, 4);
  DocumentRef doc = OneLayer(8, 4, {0, 0, 8, 4}, src.Clone());
  ArtLayerRef l = Layer(doc, 1);
  ASSERT_OK(doc->SetActiveChannels({ChannelNamed(doc, "Green")}));
  ASSERT_OK(l->AdjustLevels(20, 230, 1.0, 10, 240));
  const PlacedImage p = Pixels(l);
  for (int x = 0; x < 8; ++x) {
    const Rgba8 in = src.At(x, 1), out = p.image.At(x, 1);
    const double t = std::clamp((in.g - 20) / 210.0, 0.0, 1.0);
    EXPECT_NEAR(out.g, 10 + 230 * t, 0.51) << x;
    EXPECT_EQ(out.r, in.r);
    EXPECT_EQ(out.b, in.b);
  }
  EXPECT_FALSE(l->AdjustLevels(200, 100, 1.0, 0, 255).ok());
  EXPECT_FALSE(l->AdjustLevels(0, 255, 20.0, 0, 255).ok());
}

TEST_F(ArtLayerTest, BrightnessContrastUsesTheLegacyLinearStyle) {
  DocumentRef doc = OneLayer(3, 1, {0, 0, 3, 1}, Solid(3, 1, {100, 150, 250, 255}));
  ArtLayerRef l = Layer(doc, 1);
  ASSERT_OK(l->AdjustBrightnessContrast(20, 0));
  EXPECT_TRUE(SamePixel(Pixels(l).image.At(0, 0), {120, 170, 255, 255}, 1));
  ASSERT_OK(l->AdjustBrightnessContrast(0, -50));  // halves the distance from mid-grey
  EXPECT_TRUE(SamePixel(Pixels(l).image.At(0, 0), {124, 149, 191, 255}, 1));
  EXPECT_FALSE(l->AdjustBrightnessContrast(101, 0).ok());
  EXPECT_FALSE(l->AdjustBrightnessContrast(0, -101).ok());
}

TEST_F(ArtLayerTest, MixChannelsSwapsAndMixes) {
  DocumentRef doc = OneLayer(2, 1, {0, 0, 2, 1}, Solid(2, 1, {10, 100, 200, 255}));
  ArtLayerRef l = Layer(doc, 1);
  ASSERT_OK(l->MixChannels({{0, 0, 100, 0}, {0, 100, 0, 0}, {100, 0, 0, 0}}, false));
  EXPECT_TRUE(SamePixel(Pixels(l).image.At(0, 0), {200, 100, 10, 255}));
  ASSERT_OK(l->MixChannels({{50, 50, 0, 10}}, true));  // 100 + 50 + 25.5
  EXPECT_TRUE(SamePixel(Pixels(l).image.At(1, 0), {176, 176, 176, 255}, 1));
  EXPECT_FALSE(l->MixChannels({{50, 50, 0, 10}}, false).ok());
  EXPECT_FALSE(l->MixChannels({{1, 2, 3}, {1, 2, 3}, {1, 2, 3}}, false).ok());
  EXPECT_FALSE(l->MixChannels({{300, 0, 0, 0}, {0, 100, 0, 0}, {0, 0, 100, 0}}, false).ok());
}

TEST_F(ArtLayerTest, AdjustmentsStayInsideTheSelection) {
  PsdDocument d = MakePsd(10, 4);
  d.layers.push_back(MakePsdLayer("l", {0, 0, 10, 4}, Solid(10, 4, {100, 100, 100, 255})));
  d.alphaChannels.push_back({"left", RectPlane(10, 4, {0, 0, 5, 4}, 255), false});
  d.alphaChannels.back().pixels.At(4, 0) = 128;
  DocumentRef doc = OpenDocument("s.psd", d);
  ASSERT_OK(SelectionOf(doc)->Load(ChannelNamed(doc, "left"), kSelectionReplace, false));
  ArtLayerRef l = Layer(doc, 1);
  ASSERT_OK(l->AdjustBrightnessContrast(40, 0));
  const Image px = Pixels(l).image;
  EXPECT_TRUE(SamePixel(px.At(0, 0), {140, 140, 140, 255}));
  EXPECT_TRUE(SamePixel(px.At(4, 0), {120, 120, 120, 255}, 1));
  EXPECT_TRUE(SamePixel(px.At(7, 2), {100, 100, 100, 255}));
}

TEST_F(ArtLayerTest, AdjustmentsRefuseAnActiveAlphaChannel) {
  PsdDocument d = MakePsd(4, 4);
  d.layers.push_back(MakePsdLayer("l", {0, 0, 4, 4}, Solid(4, 4, {100, 100, 100, 255})));
  d.alphaChannels.push_back({"a", RectPlane(4, 4, {0, 0, 2, 2}, 255), false});
  DocumentRef doc = OpenDocument("a.psd", d);
  ASSERT_OK(doc->SetActiveChannels({ChannelNamed(doc, "a")}));
  EXPECT_FALSE(Layer(doc, 1)->AdjustLevels(10, 200, 1, 0, 255).ok());
  EXPECT_FALSE(Layer(doc, 1)->AdjustBrightnessContrast(10, 0).ok());
}

TEST_F(ArtLayerTest, MergeVisibleLayersKeepsHiddenLayersAndTheLowestName) {
  PsdDocument d = MakePsd(6, 4);
  d.layers.push_back(MakePsdLayer("base", {0, 0, 6, 4}, Solid(6, 4, {255, 0, 0, 255})));
  d.layers.push_back(MakePsdLayer("ghost", {0, 0, 6, 4}, Solid(6, 4, {0, 255, 0, 255})));
  d.layers.back().visible = false;
  d.layers.push_back(MakePsdLayer("dot", {2, 1, 4, 3}, Solid(2, 2, {0, 0, 255, 255})));
  d.layers.back().opacity = 128;
  DocumentRef doc = OpenDocument("merge.psd", d);
  const Image before = Flat(doc);
  ASSERT_OK_AND_ASSIGN(ArtLayerRef merged, doc->MergeVisibleLayers());
  ASSERT_EQ(LayerCount(doc), 2);
  EXPECT_EQ(LayerName(doc, 1), "ghost");
  EXPECT_EQ(LayerName(doc, 2), "base");
  EXPECT_EQ(*merged->Name(), "base");
  EXPECT_EQ(*(*doc->ActiveLayer())->Name(), "base");
  EXPECT_DOUBLE_EQ(*merged->Opacity(), 100);
  EXPECT_EQ(MaxDifference(Pixels(merged).image, before), 0);
  EXPECT_EQ(MaxDifference(Flat(doc), before), 0);
  ASSERT_OK(merged->SetVisible(false));
  EXPECT_FALSE(doc->MergeVisibleLayers().ok());
}

// Whichever way the merge is made (onto the lowest layer's own pixels when
// it is plain and covers the canvas, else onto a fresh canvas), the merged
// layer shows exactly what the visible layers showed.
TEST_F(ArtLayerTest, MergedLayerShowsWhatTheLayersShowed) {
  struct Case {
    const char* name;
    IntRect baseBox;
    uint8_t baseOpacity;
    uint8_t baseAlpha;
    bool maskAbove;
    bool overlayAbove;
  };
  const Case cases[] = {
      {"plain base", {0, 0, 8, 6}, 255, 255, false, false},
      {"translucent base pixels", {0, 0, 8, 6}, 255, 90, false, false},
      {"base at half opacity", {0, 0, 8, 6}, 128, 255, false, false},
      {"base short of the canvas", {1, 0, 8, 6}, 255, 255, false, false},
      {"masked layer above", {0, 0, 8, 6}, 255, 255, true, false},
      {"colour overlay above", {0, 0, 8, 6}, 255, 255, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PsdDocument d = MakePsd(8, 6);
    d.layers.push_back(MakePsdLayer(
        "base", c.baseBox, Solid(c.baseBox.Width(), c.baseBox.Height(), {200, 40, 10, c.baseAlpha})));
    d.layers.back().opacity = c.baseOpacity;
    d.layers.push_back(MakePsdLayer("hidden", {0, 0, 8, 6}, Solid(8, 6, {0, 255, 0, 255})));
    d.layers.back().visible = false;
    d.layers.push_back(MakePsdLayer("pattern", {2, 1, 7, 5}, Pattern(5, 4, 3)));
    d.layers.back().blendMode = BlendMode::kMultiply;
    if (c.maskAbove) {
      PsdLayerMask m;
      m.bounds = IntRect{0, 0, 8, 6};
      m.pixels = RectPlane(8, 6, {3, 2, 6, 4}, 255);
      d.layers.back().mask = std::move(m);
    }
    if (c.overlayAbove)
      d.layers.back().colorOverlay = PsdColorOverlay{true, BlendMode::kNormal, 60, 0, 0, 255};
    DocumentRef doc = OpenDocument("m.psd", d);
    const Image before = Flat(doc);
    ASSERT_OK_AND_ASSIGN(ArtLayerRef merged, doc->MergeVisibleLayers());
    EXPECT_EQ(LayerCount(doc), 2);
    EXPECT_EQ(*merged->Name(), "base");
    EXPECT_EQ(MaxDifference(Flat(doc), before), 0);
  }
}

TEST_F(ArtLayerTest, HandlesOfMergedLayersFailCleanly) {
  DocumentRef doc = TwoLayers();
  ArtLayerRef photo = Layer(doc, 1);
  ASSERT_OK(doc->MergeVisibleLayers());
  EXPECT_FALSE(photo->Name().ok());
  EXPECT_FALSE(photo->Resize(50, 50, 5).ok());
  EXPECT_FALSE(doc->SetActiveLayer(photo).ok());
}

}  // namespace
}  // namespace tessaro::editortest
