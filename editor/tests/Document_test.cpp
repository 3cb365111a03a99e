// Application and Document calls: loading, the documents collection, the
// active document, closing, preferences, resizing, channels and the
// selection.
#include <cmath>

#include "editor/tests/EditorTestUtil.h"

namespace tessaro::editortest {
namespace {

// A template-like document: background, a photo-sized layer, an overlay
// named "brivanto", two named alpha channels, 150 ppi.
PsdDocument TemplateLike() {
  PsdDocument d = MakePsd(40, 30, 150);
  d.layers.push_back(MakePsdLayer("Background", {0, 0, 40, 30}, Solid(40, 30, {200, 190, 180, 255})));
  d.layers.push_back(MakePsdLayer("frame", {4, 4, 20, 16}, Solid(16, 12, {10, 20, 30, 255})));
  d.layers.push_back(MakePsdLayer("brivanto", {30, 0, 40, 10}, Solid(10, 10, {0, 0, 255, 128})));
  d.alphaChannels.push_back({"photo1", RectPlane(40, 30, {2, 3, 12, 13}, 255), false});
  d.alphaChannels.push_back({"photo2", RectPlane(40, 30, {20, 10, 38, 28}, 200), false});
  return d;
}

using DocumentTest = EditorFixture;

TEST_F(DocumentTest, LoadGivesLayersChannelsResolutionAndTheTopLayerActive) {
  DocumentRef doc = OpenDocument("t.psd", TemplateLike());
  ASSERT_TRUE(doc);
  EXPECT_EQ(*doc->Width(), 40);
  EXPECT_EQ(*doc->Height(), 30);
  EXPECT_EQ(*doc->Resolution(), 150);
  EXPECT_EQ(*doc->Name(), "t.psd");
  ASSERT_EQ(LayerCount(doc), 3);
  EXPECT_EQ(LayerName(doc, 1), "brivanto");
  EXPECT_EQ(LayerName(doc, 2), "frame");
  EXPECT_EQ(LayerName(doc, 3), "Background");
  EXPECT_EQ(*(*doc->ActiveLayer())->Name(), "brivanto");
  auto channels = *doc->Channels();
  EXPECT_EQ(*channels->Count(), 5);
  EXPECT_EQ(*(*channels->Item(4))->Name(), "photo1");
  EXPECT_EQ(*(*channels->Item(5))->Name(), "photo2");
  EXPECT_EQ(*(*app->ActiveDocument())->Name(), "t.psd");
}

TEST_F(DocumentTest, LoadErrorsForMissingAndUnreadableFiles) {
  Result<DocumentRef> missing = app->Load(folder.File("nothing.psd"));
  ASSERT_FALSE(missing.ok());
  EXPECT_NE(missing.message().find("not found"), std::string::npos);

  ASSERT_TRUE(WriteFileAtomic(folder.File("broken.psd"), std::string_view("8BPS\0\1garbage", 13)).ok());
  EXPECT_FALSE(app->Load(folder.File("broken.psd")).ok());
  ASSERT_TRUE(WriteFileAtomic(folder.File("text.jpg"), std::string_view("hello, not a picture")).ok());
  EXPECT_FALSE(app->Load(folder.File("text.jpg")).ok());
  EXPECT_EQ(*(*app->Documents())->Count(), 0);
  EXPECT_FALSE(app->ActiveDocument().ok());
}

TEST_F(DocumentTest, LayeredDocumentWithoutLayersOpensItsMergedPicture) {
  PsdDocument d = MakePsd(6, 4);
  d.composite = Solid(6, 4, {1, 2, 3, 255});
  DocumentRef doc = OpenDocument("flat.psd", d);
  ASSERT_TRUE(doc);
  ASSERT_EQ(LayerCount(doc), 1);
  EXPECT_EQ(LayerName(doc, 1), "Background");
  EXPECT_EQ(BoundsOf(Layer(doc, 1)), (LayerBounds{0, 0, 6, 4}));
  EXPECT_TRUE(SamePixel(Flat(doc).At(3, 2), {1, 2, 3, 255}));
}

TEST_F(DocumentTest, DocumentsAreListedInOpeningOrderOneBased) {
  DocumentRef a = OpenDocument("a.psd", TemplateLike());
  DocumentRef b = Open(WritePicture(folder, "b.psd", Solid(3, 3, {9, 9, 9, 255})));
  auto docs = *app->Documents();
  ASSERT_EQ(*docs->Count(), 2);
  EXPECT_EQ(*(*docs->Item(1))->Name(), "a.psd");
  EXPECT_EQ(*(*docs->Item(2))->Name(), "b.psd");
  EXPECT_FALSE(docs->Item(0).ok());
  EXPECT_FALSE(docs->Item(3).ok());
  EXPECT_EQ(*(*app->ActiveDocument())->Name(), "b.psd");
  ASSERT_OK(app->SetActiveDocument(a));
  EXPECT_EQ(*(*app->ActiveDocument())->Name(), "a.psd");
}

TEST_F(DocumentTest, CloseMakesEveryHandleFailAndActivatesTheLastDocument) {
  DocumentRef a = OpenDocument("a.psd", TemplateLike());
  DocumentRef b = OpenDocument("b.psd", TemplateLike());
  ArtLayerRef layer = Layer(b, 2);
  ChannelRef channel = ChannelNamed(b, "photo1");
  auto selection = SelectionOf(b);
  auto layers = *b->ArtLayers();
  ASSERT_OK(b->Close(kDoNotSaveChanges));
  EXPECT_FALSE(b->Width().ok());
  EXPECT_FALSE(b->Close(kDoNotSaveChanges).ok());
  EXPECT_FALSE(layer->Name().ok());
  EXPECT_FALSE(layer->Translate(1, 1).ok());
  EXPECT_FALSE(channel->Name().ok());
  EXPECT_FALSE(selection->SelectAll().ok());
  EXPECT_FALSE(layers->Count().ok());
  EXPECT_FALSE(app->SetActiveDocument(b).ok());
  EXPECT_FALSE(Layer(a, 1)->Duplicate(b, kPlaceAtBeginning).ok());
  EXPECT_EQ(*(*app->Documents())->Count(), 1);
  EXPECT_EQ(*(*app->ActiveDocument())->Name(), "a.psd");
  ASSERT_OK(a->Close(kPromptToSaveChanges));
  EXPECT_FALSE(app->ActiveDocument().ok());
}

TEST_F(DocumentTest, CloseRefusesSavingAndUnknownOptions) {
  DocumentRef a = OpenDocument("a.psd", TemplateLike());
  EXPECT_FALSE(a->Close(kSaveChanges).ok());
  EXPECT_FALSE(a->Close(7).ok());
  EXPECT_TRUE(a->Width().ok());
}

TEST_F(DocumentTest, PreferencesAndDialogModeAreStoredAndReadBack) {
  auto prefs = *app->Preferences();
  EXPECT_EQ(*prefs->RulerUnits(), kUnitPixels);
  EXPECT_EQ(*prefs->TypeUnits(), kTypeUnitPoints);
  ASSERT_OK(prefs->SetRulerUnits(kUnitInches));
  ASSERT_OK(prefs->SetTypeUnits(kTypeUnitPixels));
  EXPECT_EQ(*prefs->RulerUnits(), kUnitInches);
  EXPECT_EQ(*prefs->TypeUnits(), kTypeUnitPixels);
  EXPECT_FALSE(prefs->SetRulerUnits(0).ok());
  EXPECT_FALSE(prefs->SetRulerUnits(8).ok());
  EXPECT_FALSE(prefs->SetTypeUnits(3).ok());
  EXPECT_EQ(*prefs->RulerUnits(), kUnitInches);
  ASSERT_OK(app->SetDisplayDialogs(kDialogsAll));
  EXPECT_EQ(*app->DisplayDialogs(), kDialogsAll);
  EXPECT_FALSE(app->SetDisplayDialogs(4).ok());
  EXPECT_EQ(*app->Version(), std::string(kEditorVersion));
  EXPECT_EQ(*app->Name(), std::string(kEditorName));
}

TEST_F(DocumentTest, UnitPreferencesDoNotChangeThePixelValues) {
  DocumentRef doc = OpenDocument("t.psd", TemplateLike());
  ASSERT_OK((*app->Preferences())->SetRulerUnits(kUnitInches));
  EXPECT_EQ(*doc->Width(), 40);
  ArtLayerRef frame = Layer(doc, 2);
  ASSERT_OK(frame->Translate(3, 0));
  EXPECT_EQ(BoundsOf(frame), (LayerBounds{7, 4, 23, 16}));
}

TEST_F(DocumentTest, ResizeImageScalesLayersChannelsMasksAndResolution) {
  PsdDocument d = TemplateLike();
  PsdLayerMask mask;
  mask.bounds = {4, 4, 12, 10};
  mask.pixels = RectPlane(8, 6, {0, 0, 8, 6}, 255);
  mask.defaultColor = 0;
  d.layers[1].mask = std::move(mask);
  DocumentRef doc = OpenDocument("t.psd", d);
  ASSERT_OK(doc->ResizeImage(80, 60, 300, kResampleBicubic));
  EXPECT_EQ(*doc->Width(), 80);
  EXPECT_EQ(*doc->Height(), 60);
  EXPECT_EQ(*doc->Resolution(), 300);
  EXPECT_EQ(BoundsOf(Layer(doc, 1)), (LayerBounds{60, 0, 80, 20}));
  EXPECT_EQ(BoundsOf(Layer(doc, 2)), (LayerBounds{8, 8, 40, 32}));
  EXPECT_EQ(BoundsOf(Layer(doc, 3)), (LayerBounds{0, 0, 80, 60}));
  // Solid areas keep their colour; the opaque background stays opaque up to the canvas edge.
  const Image flat = Flat(doc);
  EXPECT_TRUE(SamePixel(flat.At(0, 0), {200, 190, 180, 255}));
  EXPECT_TRUE(SamePixel(flat.At(79, 59), {200, 190, 180, 255}));
  EXPECT_TRUE(SamePixel(flat.At(20, 15), {10, 20, 30, 255}));     // the frame, inside its mask
  EXPECT_TRUE(SamePixel(flat.At(30, 26), {200, 190, 180, 255}));  // the frame, masked out
  ASSERT_OK_AND_ASSIGN(LayerMaskInfo m, LayerMask(*Layer(doc, 2), IntRect{0, 0, 80, 60}));
  EXPECT_EQ(m.values.At(8, 8), 255);
  EXPECT_EQ(m.values.At(23, 19), 255);
  EXPECT_EQ(m.values.At(24, 20), 0);
  ASSERT_OK_AND_ASSIGN(Plane photo1, ChannelValues(*ChannelNamed(doc, "photo1")));
  ASSERT_EQ(photo1.width(), 80);
  EXPECT_EQ(photo1.At(4, 6), 255);
  EXPECT_EQ(photo1.At(23, 25), 255);
  EXPECT_EQ(photo1.At(24, 26), 0);
  EXPECT_EQ(photo1.At(3, 6), 0);
  ASSERT_OK_AND_ASSIGN(Plane photo2, ChannelValues(*ChannelNamed(doc, "photo2")));
  EXPECT_EQ(photo2.At(50, 30), 200);
}

TEST_F(DocumentTest, ResizeImageReducesWithoutAliasing) {
  // One-pixel stripes of black and white halve into mid grey (away from the
  // edges, where the filter repeats the edge column) instead of into stripes.
  Image stripes;
  stripes.Create(32, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 32; ++x) stripes.At(x, y) = x % 2 ? Rgba8{255, 255, 255, 255} : Rgba8{0, 0, 0, 255};
  DocumentRef doc = Open(WritePicture(folder, "s.psd", stripes));
  ASSERT_OK(doc->ResizeImage(16, 4, 72, kResampleBicubic));
  const Image flat = Flat(doc);
  for (int x = 4; x < 12; ++x) EXPECT_TRUE(SamePixel(flat.At(x, 2), {128, 128, 128, 255}, 1)) << x;
}

TEST_F(DocumentTest, ResizeImageWithOnlyANewResolutionKeepsThePixels) {
  DocumentRef doc = Open(WritePicture(folder, "p.psd", Pattern(9, 7)));
  ASSERT_OK(doc->ResizeImage(9, 7, 254, kResampleNone));
  EXPECT_EQ(*doc->Resolution(), 254);
  EXPECT_EQ(MaxDifference(Flat(doc), Pattern(9, 7)), 0);
  EXPECT_FALSE(doc->ResizeImage(18, 14, 254, kResampleNone).ok());
}

TEST_F(DocumentTest, ResizeImageRefusesBadArguments) {
  DocumentRef doc = OpenDocument("t.psd", TemplateLike());
  struct Case {
    double w, h, r;
    int method;
  } cases[] = {{0, 10, 72, 4},  {10, -1, 72, 4},  {10, 10, 0, 4},   {10, 10, 72, 0},
               {10, 10, 72, 7}, {NAN, 10, 72, 4}, {10, 10, NAN, 4}, {400000, 10, 72, 4}};
  for (const Case& c : cases)
    EXPECT_FALSE(doc->ResizeImage(c.w, c.h, c.r, c.method).ok()) << c.w << " " << c.method;
  EXPECT_EQ(*doc->Width(), 40);
  EXPECT_EQ(*doc->Resolution(), 150);
}

TEST_F(DocumentTest, ResizeImageNearestKeepsHardEdges) {
  DocumentRef doc = Open(WritePicture(folder, "p.psd", Pattern(4, 4)));
  ASSERT_OK(doc->ResizeImage(8, 8, 72, kResampleNearest));
  const Image flat = Flat(doc);
  const Image src = Pattern(4, 4);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_TRUE(SamePixel(flat.At(x, y), src.At(x / 2, y / 2))) << x << "," << y;
}

TEST_F(DocumentTest, ChannelsByNumberAndName) {
  DocumentRef doc = OpenDocument("t.psd", TemplateLike());
  auto channels = *doc->Channels();
  const char* names[] = {"Red", "Green", "Blue"};
  for (int i = 1; i <= 3; ++i) {
    ASSERT_OK_AND_ASSIGN(ChannelRef c, channels->Item(i));
    EXPECT_EQ(*c->Name(), names[i - 1]);
    EXPECT_TRUE(*c->IsColorChannel());
    EXPECT_EQ(*(*channels->Item(names[i - 1]))->Name(), names[i - 1]);
  }
  EXPECT_FALSE(*(*channels->Item("photo2"))->IsColorChannel());
  Result<ChannelRef> unknown = channels->Item("photo9");
  ASSERT_FALSE(unknown.ok());
  EXPECT_NE(unknown.message().find("photo9"), std::string::npos);
  EXPECT_FALSE(channels->Item("Photo1").ok());  // names match exactly
  EXPECT_FALSE(channels->Item(0).ok());
  EXPECT_FALSE(channels->Item(6).ok());
  EXPECT_FALSE(ChannelValues(*(*channels->Item(1))).ok());
}

TEST_F(DocumentTest, ActiveChannelsDefaultToTheColourChannelsAndAreSetFromThisDocument) {
  DocumentRef doc = OpenDocument("t.psd", TemplateLike());
  DocumentRef other = OpenDocument("o.psd", TemplateLike());
  ASSERT_OK_AND_ASSIGN(std::vector<ChannelRef> active, doc->ActiveChannels());
  ASSERT_EQ(active.size(), 3u);
  EXPECT_EQ(*active[2]->Name(), "Blue");
  ASSERT_OK(doc->SetActiveChannels({ChannelNamed(doc, "Green")}));
  ASSERT_OK_AND_ASSIGN(active, doc->ActiveChannels());
  ASSERT_EQ(active.size(), 1u);
  EXPECT_EQ(*active[0]->Name(), "Green");
  EXPECT_FALSE(doc->SetActiveChannels({}).ok());
  EXPECT_FALSE(doc->SetActiveChannels({ChannelNamed(other, "Red")}).ok());
  // Making a layer active makes the three colour channels active again.
  ASSERT_OK(doc->SetActiveLayer(Layer(doc, 2)));
  EXPECT_EQ(doc->ActiveChannels()->size(), 3u);
}

TEST_F(DocumentTest, SelectionLoadReplacesWithTheChannelValues) {
  DocumentRef doc = OpenDocument("t.psd", TemplateLike());
  auto sel = SelectionOf(doc);
  ASSERT_OK_AND_ASSIGN(std::optional<Plane> none, SelectionValues(*doc));
  EXPECT_FALSE(none.has_value());
  ASSERT_OK(sel->Load(ChannelNamed(doc, "photo2"), kSelectionReplace, false));
  ASSERT_OK(sel->Load(ChannelNamed(doc, "photo1"), kSelectionReplace, false));
  ASSERT_OK_AND_ASSIGN(std::optional<Plane> values, SelectionValues(*doc));
  ASSERT_TRUE(values.has_value());
  const Plane expected = RectPlane(40, 30, {2, 3, 12, 13}, 255);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(values->At(x, y), expected.At(x, y)) << x << "," << y;
}

TEST_F(DocumentTest, SelectionCombinationsAndInversion) {
  // photo1 = 255 in (2,3)-(12,13); photo2 = 200 in (20,10)-(38,28); they do not
  // overlap, so a third channel overlapping both is used.
  PsdDocument d = TemplateLike();
  d.alphaChannels.push_back({"wide", RectPlane(40, 30, {0, 5, 40, 20}, 102), false});
  DocumentRef doc = OpenDocument("t.psd", d);
  auto sel = SelectionOf(doc);
  struct Case {
    int combination;
    bool invert;
    uint8_t inPhoto1AndWide, inPhoto1Only, inWideOnly, outside;
  } cases[] = {
      {kSelectionExtend, false, 255, 255, 102, 0}, {kSelectionIntersect, false, 102, 0, 0, 0},
      {kSelectionDiminish, false, 153, 255, 0, 0}, {kSelectionReplace, true, 153, 255, 153, 255},
      {kSelectionIntersect, true, 153, 255, 0, 0},
  };
  for (const Case& c : cases) {
    ASSERT_OK(sel->Load(ChannelNamed(doc, "photo1"), kSelectionReplace, false));
    ASSERT_OK(sel->Load(ChannelNamed(doc, "wide"), c.combination, c.invert));
    ASSERT_OK_AND_ASSIGN(std::optional<Plane> v, SelectionValues(*doc));
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->At(5, 8), c.inPhoto1AndWide) << c.combination << c.invert;
    EXPECT_EQ(v->At(5, 4), c.inPhoto1Only) << c.combination << c.invert;
    EXPECT_EQ(v->At(30, 8), c.inWideOnly) << c.combination << c.invert;
    EXPECT_EQ(v->At(30, 25), c.outside) << c.combination << c.invert;
  }
  EXPECT_FALSE(sel->Load(ChannelNamed(doc, "wide"), 5, false).ok());
  EXPECT_FALSE(sel->Load(ChannelNamed(doc, "wide"), 0, false).ok());
}

TEST_F(DocumentTest, SelectionLoadOfAColourChannelTakesTheMergedValuesOverWhite) {
  PsdDocument d = MakePsd(4, 1);
  d.layers.push_back(MakePsdLayer("a", {0, 0, 2, 1}, Solid(2, 1, {100, 50, 25, 255})));
  DocumentRef doc = OpenDocument("c.psd", d);
  ASSERT_OK(SelectionOf(doc)->Load(ChannelNamed(doc, "Green"), kSelectionReplace, false));
  ASSERT_OK_AND_ASSIGN(std::optional<Plane> v, SelectionValues(*doc));
  ASSERT_TRUE(v.has_value());
  EXPECT_EQ(v->At(0, 0), 50);
  EXPECT_EQ(v->At(3, 0), 255);  // transparent: white
}

TEST_F(DocumentTest, SelectionLoadRefusesAChannelOfAnotherDocument) {
  DocumentRef doc = OpenDocument("t.psd", TemplateLike());
  DocumentRef other = OpenDocument("o.psd", TemplateLike());
  EXPECT_FALSE(SelectionOf(doc)->Load(ChannelNamed(other, "photo1"), kSelectionReplace, false).ok());
}

TEST_F(DocumentTest, SelectAllAndDeselect) {
  DocumentRef doc = OpenDocument("t.psd", TemplateLike());
  auto sel = SelectionOf(doc);
  ASSERT_OK(sel->SelectAll());
  ASSERT_OK_AND_ASSIGN(std::optional<Plane> all, SelectionValues(*doc));
  ASSERT_TRUE(all.has_value());
  EXPECT_EQ(all->At(0, 0), 255);
  EXPECT_EQ(all->At(39, 29), 255);
  ASSERT_OK(sel->Deselect());
  ASSERT_OK_AND_ASSIGN(std::optional<Plane> none, SelectionValues(*doc));
  EXPECT_FALSE(none.has_value());
}

TEST_F(DocumentTest, AlphaChannelsCostOnlyTheirPaintedArea) {
  // Ten slot channels of a 2000 x 1500 document, each 100 x 100 pixels.
  PsdDocument d = MakePsd(2000, 1500);
  d.layers.push_back(MakePsdLayer("dot", {0, 0, 10, 10}, Solid(10, 10, {1, 1, 1, 255})));
  for (int i = 0; i < 10; ++i)
    d.alphaChannels.push_back({"photo" + std::to_string(i + 1),
                               RectPlane(2000, 1500, {150 * i, 100, 150 * i + 100, 200}, 255), false});
  DocumentRef doc = OpenDocument("big.psd", d);
  ASSERT_TRUE(doc);
  const EditorStatistics stats = GetEditorStatistics(*app);
  EXPECT_LT(stats.layerBytes, 10 * 100 * 100 + 10 * 10 * 4 + 1);
  ASSERT_OK(doc->ResizeImage(4000, 3000, 144, kResampleBicubic));
  EXPECT_LT(GetEditorStatistics(*app).layerBytes, 10 * 210 * 210 + 30 * 30 * 4);
}

}  // namespace
}  // namespace tessaro::editortest
