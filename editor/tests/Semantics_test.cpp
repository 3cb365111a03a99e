// What the composition procedure relies on, one by one, and a slot composed
// call by call as the procedure does it (template, background, photo,
// effects-free placement, mask, overlay layers, save).
#include <cmath>

#include "editor/tests/EditorTestUtil.h"
#include "imaging/codecs/Codecs.h"

namespace tessaro::editortest {
namespace {

const Rgba8 kTemplateGrey{128, 128, 128, 255};
const Rgba8 kPaper{230, 220, 200, 255};
const Rgba8 kOverlay{120, 20, 20, 255};
const Rgba8 kPhoto{40, 90, 160, 255};
const Rgba8 kMarker{250, 250, 20, 255};

class SemanticsTest : public EditorFixture {
 protected:
  // A demo-like template: 300 x 200 at 150 ppi, a background layer, two
  // overlay layers named "brivanto" (one with blanks and capitals), a plain
  // layer, and the slot channels "photo1" and "photo2".
  std::string WriteTemplate() {
    PsdDocument d = MakePsd(300, 200, 150);
    d.layers.push_back(MakePsdLayer("Background", {0, 0, 300, 200}, Solid(300, 200, kTemplateGrey)));
    d.layers.push_back(MakePsdLayer("brivanto", {0, 0, 20, 20}, Solid(20, 20, kOverlay)));
    d.layers.push_back(MakePsdLayer(" BRIVANTO ", {280, 180, 300, 200}, Solid(20, 20, kOverlay)));
    d.layers.push_back(MakePsdLayer("brivanto frame", {140, 0, 160, 10}, Solid(20, 10, {1, 1, 1, 255})));
    d.alphaChannels.push_back({"photo1", RectPlane(300, 200, {50, 40, 150, 160}, 255), false});
    d.alphaChannels.push_back({"photo2", RectPlane(300, 200, {180, 30, 280, 170}, 255), false});
    return WriteDocument(folder, "brivanto_b.psd", d);
  }
  // The deciphered background picture: a JPEG of the template's size.
  std::string WriteBackground() {
    const std::string path = folder.File("tmp.jpg");
    WriteImageOptions o;
    o.jpeg.quality = 95;
    o.ppi = 150;
    EXPECT_TRUE(WriteImageFile(path, Solid(300, 200, kPaper), o).ok());
    return path;
  }
  // A 120 x 80 photo with a 6 x 6 marker 30 pixels right of its centre.
  std::string WritePhoto() {
    Image img = Solid(120, 80, kPhoto);
    for (int y = 37; y < 43; ++y)
      for (int x = 87; x < 93; ++x) img.At(x, y) = kMarker;
    const std::string path = folder.File("photo.png");
    EXPECT_TRUE(WriteImageFile(path, img).ok());
    return path;
  }

  ArtLayerRef FindVisibleLayerFromBottom(const DocumentRef& doc) {
    for (int i = LayerCount(doc); i >= 1; --i) {
      ArtLayerRef l = Layer(doc, i);
      if (*l->Visible()) return l;
    }
    return nullptr;
  }

  struct SlotTransform {
    double offsetX = 0, offsetY = 0, scaleX = 1, scaleY = 1, angle = 0;
    bool flipH = false, flipV = false;
  };

  // Steps 12 to 19 of the procedure for one slot: `rect` is the placement's
  // rectangle already scaled to the document; k the distance factor.
  void PlaceSlot(const DocumentRef& doc, const std::string& photoPath, const IntRect& rect,
                 const std::string& channel, const SlotTransform& t, double k, bool psdOutput) {
    ASSERT_OK_AND_ASSIGN(DocumentRef photo, app->Load(photoPath));
    const double pw = std::nearbyint(*photo->Width()), ph = std::nearbyint(*photo->Height());
    if (LayerCount(photo) > 1) (void)photo->MergeVisibleLayers();
    ArtLayerRef l = FindVisibleLayerFromBottom(photo);
    ASSERT_TRUE(l);
    ASSERT_OK(photo->SetActiveLayer(l));
    const LayerBounds lb = BoundsOf(l);
    double cx = (*photo->Width() - (lb.left + lb.right)) / 2,
           cy = (*photo->Height() - (lb.top + lb.bottom)) / 2;
    ASSERT_OK(SelectionOf(photo)->SelectAll());
    if (!l->Copy(true).ok()) ASSERT_OK(l->Copy(false));
    ASSERT_OK(SelectionOf(photo)->Deselect());
    ASSERT_OK(app->SetActiveDocument(doc));
    ASSERT_OK(doc->Paste(false));
    ASSERT_OK(photo->Close(kDoNotSaveChanges));

    const double sw = rect.Width(), sh = rect.Height();
    const float zx = float(sw * t.scaleX / pw), zy = float(sh * t.scaleY / ph);
    const double tw = zx * (lb.right - lb.left), th = zy * (lb.bottom - lb.top);
    cx *= zx;
    cy *= zy;
    ArtLayerRef layer = Layer(doc, 1);
    ASSERT_OK(doc->SetActiveLayer(layer));
    layer = *doc->ActiveLayer();
    const LayerBounds n = BoundsOf(layer);
    ASSERT_OK(layer->Resize(100 * tw / (n.right - n.left) * (t.flipH ? -1 : 1),
                            100 * th / (n.bottom - n.top) * (t.flipV ? -1 : 1), kAnchorMiddleCenter));
    const double sx = (rect.left + rect.right) / 2.0 + (rect.right - rect.left) * t.offsetX;
    const double sy = (rect.top + rect.bottom) / 2.0 + (rect.bottom - rect.top) * t.offsetY;
    const double dx = sx - (n.left + n.right) / 2, dy = sy - (n.top + n.bottom) / 2;
    ASSERT_OK(layer->Translate(k * (dx - cx), k * (dy - cy)));
    if (t.angle != 0) ASSERT_OK(layer->Rotate(-t.angle, kAnchorMiddleCenter));

    ASSERT_OK(SelectionOf(doc)->Load(ChannelNamed(doc, channel), kSelectionReplace, false));
    ActionDescriptor mk = CreateObjectAs<ActionDescriptor>(*app, kActionDescriptorClassId).value();
    ActionReference at = CreateObjectAs<ActionReference>(*app, kActionReferenceClassId).value();
    mk.putClass(*app->CharIDToTypeID("Nw  "), *app->CharIDToTypeID("Chnl"));
    at.putEnumerated(*app->CharIDToTypeID("Chnl"), *app->CharIDToTypeID("Chnl"),
                     *app->CharIDToTypeID("Msk "));
    mk.putReference(*app->CharIDToTypeID("At  "), at);
    mk.putEnumerated(*app->CharIDToTypeID("Usng"), *app->CharIDToTypeID("UsrM"),
                     *app->CharIDToTypeID("RvlS"));
    ASSERT_OK(app->ExecuteAction(*app->CharIDToTypeID("Mk  "), mk, kDialogsNo));
    if (psdOutput) {
      ActionDescriptor d = CreateObjectAs<ActionDescriptor>(*app, kActionDescriptorClassId).value();
      ActionReference r = CreateObjectAs<ActionReference>(*app, kActionReferenceClassId).value();
      r.putEnumerated(*app->CharIDToTypeID("Lyr "), *app->CharIDToTypeID("Ordn"),
                      *app->CharIDToTypeID("Trgt"));
      d.putReference(*app->CharIDToTypeID("null"), r);
      ActionDescriptor e = CreateObjectAs<ActionDescriptor>(*app, kActionDescriptorClassId).value();
      e.putBoolean(*app->CharIDToTypeID("Usrs"), false);
      d.putObject(*app->CharIDToTypeID("T   "), *app->CharIDToTypeID("Lyr "), e);
      ASSERT_OK(app->ExecuteAction(*app->CharIDToTypeID("setd"), d, kDialogsNo));
    }
    ASSERT_OK(SelectionOf(doc)->Deselect());
  }

  // Steps 7 to 9: the template sized to 600 x 400 at 300 ppi under its
  // background picture.
  DocumentRef OpenSizedTemplate() {
    DocumentRef doc = Open(WriteTemplate());
    EXPECT_OK(doc->ResizeImage(600, 400, 300, kResampleBicubic));
    DocumentRef bg = Open(WriteBackground());
    EXPECT_OK(bg->ResizeImage(600, 400, *bg->Resolution(), kResampleBicubic));
    EXPECT_OK(Layer(bg, LayerCount(bg))->Duplicate(doc, kPlaceAtBeginning));
    EXPECT_OK(bg->Close(kDoNotSaveChanges));
    return doc;
  }

  // Step 20: layers named "brivanto" (trimmed, any case) raised to the top.
  void RaiseOverlays(const DocumentRef& doc) {
    int n = LayerCount(doc), m = 1;
    while (n >= m) {
      ArtLayerRef l = Layer(doc, n);
      std::string name = *l->Name();
      name.erase(0, name.find_first_not_of(' '));
      name.erase(name.find_last_not_of(' ') + 1);
      for (char& c : name) c = char(std::tolower(uint8_t(c)));
      if (name == "brivanto") {
        ASSERT_OK(l->Move(Layer(doc, 1), kPlaceBefore));
        ++m;
      } else {
        --n;
      }
    }
  }
};

TEST_F(SemanticsTest, LoadOfTheTemplateGivesItsLayersChannelsResolutionAndTheTopLayerActive) {
  ASSERT_OK_AND_ASSIGN(DocumentRef doc, app->Load(WriteTemplate()));
  EXPECT_EQ(*doc->Resolution(), 150);
  ASSERT_EQ(LayerCount(doc), 4);
  EXPECT_EQ(LayerName(doc, 1), "brivanto frame");
  EXPECT_EQ(LayerName(doc, 4), "Background");
  EXPECT_EQ(*(*doc->ActiveLayer())->Name(), "brivanto frame");
  EXPECT_TRUE(ChannelNamed(doc, "photo1"));
  EXPECT_TRUE(ChannelNamed(doc, "photo2"));
  EXPECT_FALSE((*doc->Channels())->Item("photo3").ok());
}

TEST_F(SemanticsTest, DuplicateIntoAnotherDocumentAtTheBeginningIsItsActiveTopLayer) {
  DocumentRef doc = Open(WriteTemplate());
  DocumentRef bg = Open(WriteBackground());
  ASSERT_OK_AND_ASSIGN(ArtLayerRef copy, Layer(bg, LayerCount(bg))->Duplicate(doc, kPlaceAtBeginning));
  EXPECT_EQ(LayerCount(doc), 5);
  EXPECT_EQ(*Layer(doc, 1)->Name(), *copy->Name());
  EXPECT_EQ(*(*doc->ActiveLayer())->Name(), "Background");
  EXPECT_EQ(BoundsOf(*doc->ActiveLayer()), (LayerBounds{0, 0, 300, 200}));
  // The source document is left as it was.
  EXPECT_EQ(LayerCount(bg), 1);
}

TEST_F(SemanticsTest, EachPastedPhotoLandsOnTopAsItemOne) {
  DocumentRef doc = Open(WriteTemplate());
  ASSERT_OK(doc->SetActiveLayer(Layer(doc, 1)));
  for (int i = 0; i < 3; ++i) {
    ASSERT_OK_AND_ASSIGN(DocumentRef photo, app->Load(WritePhoto()));
    ASSERT_OK(SelectionOf(photo)->SelectAll());
    ASSERT_OK(Layer(photo, 1)->Copy(true));
    ASSERT_OK(SelectionOf(photo)->Deselect());
    ASSERT_OK(app->SetActiveDocument(doc));
    ASSERT_OK_AND_ASSIGN(ArtLayerRef pasted, doc->Paste(false));
    ASSERT_OK(photo->Close(kDoNotSaveChanges));
    EXPECT_EQ(LayerCount(doc), 5 + i);
    EXPECT_EQ(*Layer(doc, 1)->Name(), *pasted->Name());
    EXPECT_EQ(*(*doc->ActiveLayer())->Name(), *pasted->Name());
    EXPECT_EQ(BoundsOf(pasted), (LayerBounds{90, 60, 210, 140}));  // centred on the canvas
  }
}

TEST_F(SemanticsTest, SelectionLoadReplacesAndTheRevealMaskCopiesIt) {
  DocumentRef doc = Open(WriteTemplate());
  auto sel = SelectionOf(doc);
  ASSERT_OK(sel->Load(ChannelNamed(doc, "photo2"), kSelectionReplace, false));
  ASSERT_OK(sel->Load(ChannelNamed(doc, "photo1"), kSelectionReplace, false));
  ASSERT_OK(doc->SetActiveLayer(Layer(doc, 4)));
  ASSERT_OK(RevealSelectionAsMask());
  ASSERT_OK_AND_ASSIGN(LayerMaskInfo mask, LayerMask(*Layer(doc, 4), IntRect{0, 0, 300, 200}));
  ASSERT_OK_AND_ASSIGN(Plane channel, ChannelValues(*ChannelNamed(doc, "photo1")));
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) ASSERT_EQ(mask.values.At(x, y), channel.At(x, y)) << x << "," << y;
}

TEST_F(SemanticsTest, JpegQualitiesTenAndTwelveAreHighAndTwelveKeepsFullColour) {
  DocumentRef doc = Open(WritePhoto());
  for (int q : {10, 12}) {
    const std::string path = folder.File("q" + std::to_string(q) + ".jpg");
    ASSERT_OK(doc->SaveAs(path, JPEGSaveOptions{q}, true, kExtensionLowerCase));
    ASSERT_OK_AND_ASSIGN(DecodedImage d, DecodeImageFile(path));
    // The 6 x 6 marker keeps its colour at its centre; the edge next to it stays sharp.
    EXPECT_TRUE(SamePixel(d.pixels.At(90, 40), kMarker, 6)) << q;
    EXPECT_TRUE(SamePixel(d.pixels.At(85, 40), kPhoto, 8)) << q;
  }
}

// Scale = false: Translate takes the pixel distances as they are.
TEST_F(SemanticsTest, ThePlacedPhotoLandsOnTheSlotCentreWithUnscaledPixelDistances) {
  DocumentRef doc = OpenSizedTemplate();
  // Placement (50, 40)-(150, 160) of the 300 x 200 template, scaled to 600 x 400.
  const IntRect rect{100, 80, 300, 320};
  SlotTransform t;
  t.scaleX = 1.8;  // 120 x 80 photo: zx = zy = 3
  PlaceSlot(doc, WritePhoto(), rect, "photo1", t, 1.0, false);
  const Image flat = Flat(doc);
  // Photo 360 x 240 centred on (200, 200); the marker 90 pixels right of it.
  EXPECT_TRUE(SamePixel(flat.At(290, 200), kMarker, 2));
  EXPECT_TRUE(SamePixel(flat.At(200, 200), kPhoto, 2));
  EXPECT_TRUE(SamePixel(flat.At(110, 300), kPhoto, 2));
  // Outside the slot the mask hides the photo: the background picture shows.
  EXPECT_TRUE(SamePixel(flat.At(310, 200), kPaper, 4));
  EXPECT_TRUE(SamePixel(flat.At(200, 70), kPaper, 4));
}

TEST_F(SemanticsTest, PointScaledDistancesWouldMissTheSlotAtPrintResolution) {
  DocumentRef doc = OpenSizedTemplate();
  SlotTransform t;
  t.scaleX = 1.8;
  PlaceSlot(doc, WritePhoto(), IntRect{100, 80, 300, 320}, "photo1", t, 72.0 / 300, false);
  EXPECT_FALSE(SamePixel(Flat(doc).At(290, 200), kMarker, 2));
}

TEST_F(SemanticsTest, RotationOffsetsAndOverlaysComposeAsOnThePreview) {
  DocumentRef doc = OpenSizedTemplate();
  SlotTransform t;
  t.scaleX = 1.8;
  t.offsetX = 0.05;   // 10 pixels right
  t.offsetY = -0.05;  // 12 pixels up
  t.angle = 90;       // counter-clockwise on the preview
  PlaceSlot(doc, WritePhoto(), IntRect{100, 80, 300, 320}, "photo1", t, 1.0, true);
  RaiseOverlays(doc);
  EXPECT_EQ(LayerName(doc, 1), " BRIVANTO ");
  EXPECT_EQ(LayerName(doc, 2), "brivanto");
  EXPECT_EQ(LayerName(doc, 3), "Layer 1");
  EXPECT_NE(LayerName(doc, 4), "brivanto");
  const Image flat = Flat(doc);
  // The photo centre at (210, 188); the marker 90 pixels right of it turned
  // a quarter counter-clockwise: 90 pixels above it.
  EXPECT_TRUE(SamePixel(flat.At(210, 98), kMarker, 2));
  EXPECT_TRUE(SamePixel(flat.At(210, 188), kPhoto, 2));
  EXPECT_TRUE(SamePixel(flat.At(10, 10), kOverlay, 2));  // an overlay above everything
  // A layered save keeps the photo's unlinked mask.
  ASSERT_OK_AND_ASSIGN(LayerMaskInfo mask, LayerMask(*Layer(doc, 3), IntRect{0, 0, 600, 400}));
  EXPECT_FALSE(mask.linked);
  const std::string psd = folder.File("result.psd"), jpg = folder.File("result.jpg");
  ASSERT_OK(doc->SaveAs(psd, PhotoshopSaveOptions{}, true, kExtensionLowerCase));
  ASSERT_OK(doc->SaveAs(jpg, JPEGSaveOptions{12}, true, kExtensionLowerCase));
  ASSERT_OK_AND_ASSIGN(DecodedImage result, DecodeImageFile(jpg));
  EXPECT_TRUE(SamePixel(result.pixels.At(210, 98), kMarker, 8));
  EXPECT_NEAR(result.ppi, 300, 0.5);
}

TEST_F(SemanticsTest, APhotoWithTransparentMarginsIsPlacedByItsPictureCentre) {
  // A 100 x 80 transparent picture whose painted layer spans (10,20)-(70,60);
  // the picture centre (50, 40) is marked.
  PsdDocument p = MakePsd(100, 80);
  Image layer = Solid(60, 40, kPhoto);
  for (int y = 18; y < 22; ++y)
    for (int x = 38; x < 42; ++x) layer.At(x, y) = kMarker;
  p.layers.push_back(MakePsdLayer("cut", {10, 20, 70, 60}, std::move(layer)));
  const std::string photoPath = WriteDocument(folder, "cut.psd", p);
  DocumentRef doc = OpenSizedTemplate();
  SlotTransform t;  // slot 200 x 240: zx = 2, zy = 3
  PlaceSlot(doc, photoPath, IntRect{100, 80, 300, 320}, "photo1", t, 1.0, false);
  EXPECT_TRUE(SamePixel(Flat(doc).At(200, 200), kMarker, 2));
}

TEST_F(SemanticsTest, AMirroredPhotoMirrorsAboutItsCentre) {
  DocumentRef doc = OpenSizedTemplate();
  SlotTransform t;
  t.scaleX = 1.8;
  t.flipH = true;
  PlaceSlot(doc, WritePhoto(), IntRect{100, 80, 300, 320}, "photo1", t, 1.0, false);
  const Image flat = Flat(doc);
  EXPECT_TRUE(SamePixel(flat.At(110, 200), kMarker, 2));  // 90 pixels left of the centre
  EXPECT_TRUE(SamePixel(flat.At(290, 200), kPhoto, 2));
}

}  // namespace
}  // namespace tessaro::editortest
