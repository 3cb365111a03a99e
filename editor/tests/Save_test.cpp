// Saving: the JPEG quality table, JPEG files, layered files read back by the
// editor, by the imaging reader and by ImageMagick, and loading photos.
#include <sys/wait.h>

#include <cmath>
#include <cstdio>

#include "editor/DocumentFiles.h"
#include "editor/tests/EditorTestUtil.h"
#include "imaging/codecs/Codecs.h"

namespace tessaro::editortest {
namespace {

double Psnr(const Image& a, const Image& b) {
  double sum = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const Rgba8 p = a.At(x, y), q = b.At(x, y);
      sum +=
          double(p.r - q.r) * (p.r - q.r) + double(p.g - q.g) * (p.g - q.g) + double(p.b - q.b) * (p.b - q.b);
    }
  const double mse = sum / (3.0 * a.width() * a.height());
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// A photo-like picture: smooth gradients with some texture and a sharp edge.
Image PhotoLike(int w, int h) {
  Image img;
  img.Create(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double t = std::sin(x * 0.07) * std::cos(y * 0.05);
      uint8_t r = uint8_t(120 + 80 * t), g = uint8_t(x * 200 / w + 20), b = uint8_t(y * 180 / h + 30);
      if (x > w / 2 && y > h / 2) r = 230, g = 40, b = 40;  // a red block with sharp colour edges
      img.At(x, y) = Rgba8{r, g, b, 255};
    }
  return img;
}

int RunCommand(const std::string& command) {
  const int rc = std::system((command + " >/dev/null 2>&1").c_str());
  return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

bool HaveImageMagick() { return FileExists("/usr/bin/convert") && FileExists("/usr/bin/identify"); }

class SaveTest : public EditorFixture {
 protected:
  Image Decode(const std::string& path) {
    Result<DecodedImage> d = DecodeImageFile(path);
    EXPECT_TRUE(d.ok()) << path << ": " << d.message();
    return d.ok() ? std::move(d->pixels) : Image{};
  }
  // A layered document with everything a layered save must keep.
  PsdDocument RichDocument() {
    PsdDocument d = MakePsd(48, 32, 254);
    d.layers.push_back(MakePsdLayer("Background", {0, 0, 48, 32}, PhotoLike(48, 32)));
    PsdLayer photo = MakePsdLayer("照片 1", {6, 4, 30, 24}, Pattern(24, 20, 3));
    photo.opacity = 200;
    photo.blendMode = BlendMode::kMultiply;
    PsdLayerMask linked;
    linked.bounds = {8, 6, 28, 22};
    linked.pixels = RectPlane(20, 16, {2, 2, 18, 14}, 255);
    linked.defaultColor = 0;
    photo.mask = std::move(linked);
    d.layers.push_back(std::move(photo));
    PsdLayer second = MakePsdLayer("photo2", {26, 10, 44, 30}, Pattern(18, 20, 7));
    PsdLayerMask unlinked;
    unlinked.bounds = {28, 12, 42, 28};
    unlinked.pixels = RectPlane(14, 16, {0, 0, 14, 16}, 180);
    unlinked.defaultColor = 0;
    unlinked.linked = false;
    second.mask = std::move(unlinked);
    second.colorOverlay = PsdColorOverlay{true, BlendMode::kSoftLight, 48, 200, 100, 50};
    d.layers.push_back(std::move(second));
    PsdLayer hidden = MakePsdLayer("hidden", {0, 0, 10, 10}, Solid(10, 10, {0, 255, 0, 255}));
    hidden.visible = false;
    d.layers.push_back(std::move(hidden));
    d.layers.push_back(MakePsdLayer("brivanto", {0, 26, 48, 32}, Solid(48, 6, {20, 20, 60, 230})));
    d.alphaChannels.push_back({"photo1", RectPlane(48, 32, {8, 6, 28, 22}, 255), false});
    d.alphaChannels.push_back({"photo2", RectPlane(48, 32, {28, 12, 42, 28}, 128), false});
    return d;
  }
};

TEST(JpegQualityTableTest, MapsTheAutomationScaleToEncoderQuality) {
  const int expected[13] = {10, 20, 30, 40, 50, 60, 68, 75, 82, 88, 92, 95, 98};
  for (int q = 0; q <= 12; ++q) {
    EXPECT_EQ(editor::JpegEncoderQuality(q), expected[q]) << q;
    EXPECT_EQ(editor::JpegKeepsFullChroma(q), q >= 7) << q;
  }
  EXPECT_EQ(editor::JpegEncoderQuality(-1), -1);
  EXPECT_EQ(editor::JpegEncoderQuality(13), -1);
}

TEST_F(SaveTest, HigherQualityGivesCloserPicturesAndTenAndTwelveAreHigh) {
  const Image src = PhotoLike(160, 120);
  DocumentRef doc = Open(WritePicture(folder, "p.psd", src));
  double previousPsnr = 0;
  uint64_t previousSize = 0;
  double psnr10 = 0, psnr12 = 0;
  for (int q = 0; q <= 12; ++q) {
    const std::string path = folder.File("q" + std::to_string(q) + ".jpg");
    ASSERT_OK(doc->SaveAs(path, JPEGSaveOptions{q}, true, kExtensionLowerCase));
    const double psnr = Psnr(Decode(path), src);
    const uint64_t size = ReadWholeFile(path)->size();
    EXPECT_GE(psnr, previousPsnr - 0.05) << q;
    EXPECT_GT(size, previousSize) << q;
    previousPsnr = psnr;
    previousSize = size;
    if (q == 10) psnr10 = psnr;
    if (q == 12) psnr12 = psnr;
  }
  EXPECT_GT(psnr10, 38.0);
  EXPECT_GT(psnr12, 44.0);
}

TEST_F(SaveTest, JpegRefusesQualitiesOutsideTheScaleAndWritesNothing) {
  DocumentRef doc = Open(WritePicture(folder, "p.psd", Pattern(8, 8)));
  for (int q : {-1, 13}) {
    EXPECT_FALSE(doc->SaveAs(folder.File("bad.jpg"), JPEGSaveOptions{q}, true, kExtensionLowerCase).ok())
        << q;
    EXPECT_FALSE(FileExists(folder.File("bad.jpg")));
  }
}

TEST_F(SaveTest, JpegKeepsTheResolutionAndFlattensOverWhite) {
  PsdDocument d = MakePsd(10, 10, 254);
  d.layers.push_back(MakePsdLayer("half", {0, 0, 5, 10}, Solid(5, 10, {0, 0, 0, 255})));
  DocumentRef doc = OpenDocument("t.psd", d);
  const std::string path = folder.File("out.jpg");
  ASSERT_OK(doc->SaveAs(path, JPEGSaveOptions{12}, true, kExtensionLowerCase));
  ASSERT_OK_AND_ASSIGN(DecodedImage decoded, DecodeImageFile(path));
  EXPECT_NEAR(decoded.ppi, 254, 0.5);
  EXPECT_TRUE(SamePixel(decoded.pixels.At(1, 5), {0, 0, 0, 255}, 3));
  EXPECT_TRUE(SamePixel(decoded.pixels.At(8, 5), {255, 255, 255, 255}, 3));
}

TEST_F(SaveTest, ExtensionCaseAndMissingExtensions) {
  DocumentRef doc = Open(WritePicture(folder, "p.psd", Pattern(8, 8)));
  struct Case {
    const char* given;
    int extensionCase;
    bool jpeg;
    const char* written;
  } cases[] = {
      {"a.JPG", kExtensionLowerCase, true, "a.jpg"},     {"b", kExtensionLowerCase, true, "b.jpg"},
      {"c.Jpeg", kExtensionUpperCase, true, "c.JPEG"},   {"d.JPG", kExtensionAsGiven, true, "d.JPG"},
      {"e.tif", kExtensionLowerCase, true, "e.tif.jpg"}, {"f.PSD", kExtensionLowerCase, false, "f.psd"},
      {"g", kExtensionUpperCase, false, "g.PSD"},
  };
  for (const Case& c : cases) {
    const SaveOptions options =
        c.jpeg ? SaveOptions(JPEGSaveOptions{10}) : SaveOptions(PhotoshopSaveOptions{});
    ASSERT_OK(doc->SaveAs(folder.File(c.given), options, true, c.extensionCase));
    EXPECT_TRUE(FileExists(folder.File(c.written))) << c.given << " -> " << c.written;
  }
  EXPECT_FALSE(doc->SaveAs(folder.File("h.jpg"), JPEGSaveOptions{10}, true, 0).ok());
  EXPECT_FALSE(doc->SaveAs(folder.File("h.jpg"), JPEGSaveOptions{10}, true, 4).ok());
}

TEST_F(SaveTest, SaveErrorsLeaveNoFile) {
  DocumentRef doc = Open(WritePicture(folder, "p.psd", Pattern(8, 8)));
  EXPECT_FALSE(doc->SaveAs(folder.File("no/such/folder/x.jpg"), JPEGSaveOptions{10}, true, 2).ok());
  EXPECT_FALSE(doc->SaveAs(folder.File("no/such/folder/x.psd"), PhotoshopSaveOptions{}, true, 2).ok());
  EXPECT_FALSE(doc->SaveAs("", JPEGSaveOptions{10}, true, 2).ok());
}

TEST_F(SaveTest, SaveAsCopyKeepsTheDocumentElseTakesTheNewName) {
  DocumentRef doc = Open(WritePicture(folder, "p.psd", Pattern(8, 8)));
  ASSERT_OK(doc->SaveAs(folder.File("copy.jpg"), JPEGSaveOptions{10}, true, 2));
  EXPECT_EQ(*doc->Name(), "p.psd");
  ASSERT_OK(doc->SaveAs(folder.File("renamed.psd"), PhotoshopSaveOptions{}, false, 2));
  EXPECT_EQ(*doc->Name(), "renamed.psd");
}

TEST_F(SaveTest, LayeredSaveRoundTripsThroughTheEditor) {
  DocumentRef doc = OpenDocument("rich.psd", RichDocument());
  const Image before = Flat(doc);
  const std::string path = folder.File("saved.psd");
  ASSERT_OK(doc->SaveAs(path, PhotoshopSaveOptions{}, true, kExtensionLowerCase));
  // The document is unchanged by saving.
  EXPECT_EQ(MaxDifference(Flat(doc), before), 0);
  EXPECT_EQ(LayerCount(doc), 5);

  auto other = CreateEditorApplication();
  ASSERT_OK_AND_ASSIGN(DocumentRef back, other->Load(path));
  EXPECT_EQ(*back->Width(), 48);
  EXPECT_EQ(*back->Resolution(), 254);
  ASSERT_EQ(LayerCount(back), 5);
  for (int i = 1; i <= 5; ++i) {
    ArtLayerRef a = Layer(doc, i), b = Layer(back, i);
    EXPECT_EQ(*a->Name(), *b->Name()) << i;
    EXPECT_EQ(*a->Visible(), *b->Visible()) << i;
    EXPECT_EQ(*a->BlendMode(), *b->BlendMode()) << i;
    EXPECT_NEAR(*a->Opacity(), *b->Opacity(), 0.2) << i;
    EXPECT_EQ(BoundsOf(a), BoundsOf(b)) << i;
    EXPECT_EQ(MaxDifference(Pixels(a).image, Pixels(b).image), 0) << i;
    Result<LayerMaskInfo> ma = LayerMask(*a, IntRect{0, 0, 48, 32}),
                          mb = LayerMask(*b, IntRect{0, 0, 48, 32});
    ASSERT_EQ(ma.ok(), mb.ok()) << i;
    if (ma.ok()) {
      EXPECT_EQ(ma->linked, mb->linked) << i;
      for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x)
          ASSERT_EQ(ma->values.At(x, y), mb->values.At(x, y)) << i << ":" << x << "," << y;
    }
    EXPECT_EQ(LayerColorOverlay(*a)->has_value(), LayerColorOverlay(*b)->has_value()) << i;
  }
  EXPECT_EQ(LayerName(back, 4), "照片 1");
  EXPECT_FALSE(LayerMask(*Layer(back, 3), {0, 0, 1, 1})->linked);
  ASSERT_OK_AND_ASSIGN(std::optional<PsdColorOverlay> overlay, LayerColorOverlay(*Layer(back, 3)));
  ASSERT_TRUE(overlay.has_value());
  EXPECT_EQ(overlay->blendMode, BlendMode::kSoftLight);
  EXPECT_EQ(overlay->red, 200);
  EXPECT_NEAR(overlay->opacityPercent, 48, 0.5);
  EXPECT_EQ(*(*back->Channels())->Count(), 5);
  ASSERT_OK_AND_ASSIGN(Plane photo2, ChannelValues(*ChannelNamed(back, "photo2")));
  EXPECT_EQ(photo2.At(30, 20), 128);
  EXPECT_EQ(photo2.At(10, 20), 0);
  EXPECT_EQ(MaxDifference(Flat(back), before), 0);
}

TEST_F(SaveTest, LayeredSaveHoldsTheMergedPictureForOtherReaders) {
  DocumentRef doc = OpenDocument("rich.psd", RichDocument());
  const std::string path = folder.File("saved.psd");
  ASSERT_OK(doc->SaveAs(path, PhotoshopSaveOptions{}, true, kExtensionLowerCase));
  ASSERT_OK_AND_ASSIGN(std::vector<uint8_t> bytes, ReadWholeFile(path));
  ASSERT_OK_AND_ASSIGN(PsdDocument psd, ReadPsd(bytes));
  EXPECT_FALSE(psd.compositeFlattened);
  EXPECT_EQ(MaxDifference(psd.composite, Flat(doc)), 0);
  ASSERT_EQ(psd.alphaChannels.size(), 2u);
  EXPECT_EQ(psd.alphaChannels[0].name, "photo1");
  EXPECT_EQ(psd.layers.size(), 5u);
  EXPECT_DOUBLE_EQ(psd.resolution, 254);
}

TEST_F(SaveTest, LayeredSaveOpensInImageMagickAndLooksLikeTheJpeg) {
  if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick is not installed";
  DocumentRef doc = OpenDocument("rich.psd", RichDocument());
  const std::string psd = folder.File("saved.psd"), jpg = folder.File("saved.jpg"),
                    png = folder.File("im.png");
  ASSERT_OK(doc->SaveAs(psd, PhotoshopSaveOptions{}, true, kExtensionLowerCase));
  ASSERT_OK(doc->SaveAs(jpg, JPEGSaveOptions{12}, true, kExtensionLowerCase));
  ASSERT_EQ(RunCommand("/usr/bin/identify " + Quote(psd)), 0);
  ASSERT_EQ(RunCommand("/usr/bin/convert " + Quote(psd + "[0]") + " -colorspace sRGB " + Quote(png)), 0);
  const Image magick = Decode(png);
  const Image jpeg = Decode(jpg);
  ASSERT_EQ(magick.width(), 48);
  ASSERT_EQ(magick.height(), 32);
  EXPECT_GT(Psnr(magick, jpeg), 38.0);
  EXPECT_LE(MaxDifference(magick, Flat(doc)), 1);
}

TEST_F(SaveTest, LayeredSaveWithoutLayersOrChannels) {
  DocumentRef doc = OpenDocument("rich.psd", RichDocument());
  const Image flat = Flat(doc);
  const std::string path = folder.File("flat.psd");
  ASSERT_OK(doc->SaveAs(path, PhotoshopSaveOptions{false, false}, true, kExtensionLowerCase));
  auto other = CreateEditorApplication();
  ASSERT_OK_AND_ASSIGN(DocumentRef back, other->Load(path));
  EXPECT_EQ(LayerCount(back), 1);
  EXPECT_EQ(*(*back->Channels())->Count(), 3);
  EXPECT_EQ(MaxDifference(Flat(back), flat), 0);
}

TEST_F(SaveTest, PhotosLoadAsOneLayerAtTheirResolution) {
  const std::string jpg = folder.File("photo.jpg");
  WriteImageOptions o;
  o.jpeg.quality = 95;
  o.ppi = 300;
  o.jpeg.subsampleChroma = false;
  ASSERT_OK(WriteImageFile(jpg, PhotoLike(64, 48), o));
  ASSERT_OK_AND_ASSIGN(DocumentRef doc, app->Load(jpg));
  EXPECT_EQ(*doc->Width(), 64);
  EXPECT_EQ(*doc->Height(), 48);
  EXPECT_NEAR(*doc->Resolution(), 300, 0.5);
  ASSERT_EQ(LayerCount(doc), 1);
  EXPECT_EQ(LayerName(doc, 1), "Background");
  EXPECT_EQ(BoundsOf(Layer(doc, 1)), (LayerBounds{0, 0, 64, 48}));
  EXPECT_GT(Psnr(Flat(doc), PhotoLike(64, 48)), 35);
}

TEST_F(SaveTest, TransparentPhotosKeepTheirMarginsOutsideTheBounds) {
  Image img;
  img.Create(40, 30);
  for (int y = 5; y < 20; ++y)
    for (int x = 10; x < 36; ++x) img.At(x, y) = Rgba8{10, 200, 30, 255};
  const std::string png = folder.File("cut.png");
  ASSERT_OK(WriteImageFile(png, img));
  ASSERT_OK_AND_ASSIGN(DocumentRef doc, app->Load(png));
  EXPECT_EQ(*doc->Width(), 40);
  EXPECT_EQ(LayerName(doc, 1), "Layer 0");
  EXPECT_EQ(BoundsOf(Layer(doc, 1)), (LayerBounds{10, 5, 36, 20}));
  EXPECT_LE(GetEditorStatistics(*app).layerBytes, 26 * 15 * 4);
}

}  // namespace
}  // namespace tessaro::editortest
