// Composed pages of the demo templates compared with an independent
// reference (ReferencePage.h): geometry of placed photos, spreads, previews,
// sizes and resolutions, the watermark's nine positions, effects and their
// cancelling; and the layered result as ImageMagick and ag-psd read it.
//
// Photos are painted here (smooth, lopsided pictures so that a wrong flip,
// turn or offset shows) and stored as PNG, so both sides start from the same
// pixels. Results are written as layered documents where the pixels are
// compared, since their merged picture is lossless.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/FileIo.h"
#include "engine/MyThread.h"
#include "engine/tests/DemoSetFixture.h"
#include "engine/tests/PackedTemplate.h"
#include "engine/tests/ReferencePage.h"
#include "imaging/codecs/Codecs.h"
#include "imaging/psd/Psd.h"
#include "model/Package.h"
#include "model/SetFile.h"
#include "testing/Corpus.h"
#include "testing/ImageDiff.h"
#include "testing/Reference.h"

namespace tessaro::enginetest {
namespace {

namespace fs = std::filesystem;
namespace au = automation;

// A smooth picture with a dark disc up left and a bright bar at the right,
// inside a frame of `margin` transparent pixels (left, top, right, bottom).
Image PaintPhoto(int w, int h, int ml = 0, int mt = 0, int mr = 0, int mb = 0) {
  Image image;
  EXPECT_TRUE(image.Create(w, h, Rgba8{0, 0, 0, 0}).ok());
  for (int y = mt; y < h - mb; ++y)
    for (int x = ml; x < w - mr; ++x) {
      const double u = double(x) / w, v = double(y) / h;
      Rgba8 p{uint8_t(40 + 180 * u), uint8_t(60 + 150 * v), uint8_t(128 + 90 * std::sin(6 * u + 3 * v)), 255};
      const double dx = u - 0.3, dy = v - 0.35;
      if (dx * dx + dy * dy < 0.02) p = {30, 20, 90, 255};
      if (u > 0.8 && u < 0.9 && v > 0.1 && v < 0.6) p = {250, 240, 60, 255};
      image.At(x, y) = p;
    }
  return image;
}

// What one golden case sets on every slot of its template.
struct TTransform {
  float scaleX = 1, scaleY = 1, offsetX = 0, offsetY = 0, angle = 0;
  bool flipH = false, flipV = false;
};

class PageGoldenTest : public DemoSetTest {
 protected:
  void SetUp() override {
    if (!fs::exists(kDemoSet)) {
      if (test::CorpusRequired()) FAIL() << "the demo set is not built";
      GTEST_SKIP() << "the demo set is not built";
    }
    if (!test::HaveImageMagick()) {
      if (test::CorpusRequired()) FAIL() << "ImageMagick is not installed";
      GTEST_SKIP() << "ImageMagick is not installed";
    }
    LoadDemoSet("engine_page", "scratch");
    if (HasFatalFailure()) return;
    settings.AutoResolution = false;
    settings.Resolution = 100;
    // Painted photos: landscape, portrait, and one with lopsided transparent
    // margins (its picture centre 35 px right and 20 px below its layer's).
    const Image painted[3] = {PaintPhoto(1200, 900), PaintPhoto(800, 1000),
                              PaintPhoto(900, 700, 150, 60, 80, 20)};
    for (int i = 0; i < 3; ++i) photo[i] = AddPhoto("photo" + std::to_string(i) + ".png", painted[i]);
  }

  // Every slot: the painted photos in turn (the first slot the one asked
  // for), the same transform, no effects.
  void Arrange(int index, int firstPhoto, const TTransform& t) {
    auto& slots = set->PreviewTemps[index]->Slots;
    for (size_t i = 0; i < slots.size(); ++i) {
      TSlotNode& slot = *slots[i];
      slot.PhotoIndex = photo[i == 0 ? firstPhoto : i % 2];
      slot.ScaleX = t.scaleX, slot.ScaleY = t.scaleY, slot.OffsetX = t.offsetX, slot.OffsetY = t.offsetY;
      slot.Angle = t.angle, slot.FlipH = t.flipH, slot.FlipV = t.flipV;
      slot.Effects.clear();
    }
  }
  TComposeJob Job(int index, bool preview, bool psd, const std::string& tag) const {
    return DemoSetTest::Job(index, preview, psd, (dir / (tag + "_small.jpg")).string(),
                            (dir / (tag + (psd ? ".psd" : ".jpg"))).string());
  }
  // The composed page as ImageMagick reads it (a layered result: its merged
  // picture).
  static Image Page(const std::string& path) {
    std::optional<Image> image = test::ReferenceDecode(path);
    EXPECT_TRUE(image.has_value()) << path;
    return image ? std::move(*image) : Image();
  }
  Image Reference(int index, bool preview, int width, int height, std::map<int, TReferenceLook> looks = {}) {
    TReferenceRequest q;
    q.Set = set.get();
    q.TemplateIndex = index;
    q.Preview = preview;
    q.Width = width, q.Height = height;
    q.Settings = &settings;
    q.Looks = std::move(looks);
    q.ScratchFolder = (dir / "scratch").string();
    Result<Image> page = ReferencePage(q);
    EXPECT_TRUE(page.ok()) << page.message();
    return page.ok() ? std::move(page).value() : Image();
  }
  // The result's size at the fixed resolution, from the page size and unit.
  std::pair<int, int> ResultSize(int index) const {
    const TTempNode& a = *set->PreviewTemps[index];
    const double perInch = a.SizeUnit == kUnitInch ? 1 : a.SizeUnit == kUnitCentimetre ? 2.54 : 25.4;
    const double w = (a.Spread == 1 ? 2.0 : 1.0) * a.Width / perInch * settings.Resolution;
    return {int(std::nearbyint(w)), int(std::nearbyint(a.Height / perInch * settings.Resolution))};
  }
  // The preview's size: the page at 96 pixels per inch, shrunk into the
  // preview document keeping its aspect.
  std::pair<int, int> PreviewSize(int index) const {
    const TTempNode& a = *set->PreviewTemps[index];
    Result<std::vector<uint8_t>> bytes = ReadWholeFile(a.Folder + "brivanto_a.psd");
    Result<PsdInfo> info = ProbePsd(*bytes);
    EXPECT_TRUE(info.ok());
    const double perInch = a.SizeUnit == kUnitInch ? 1 : a.SizeUnit == kUnitCentimetre ? 2.54 : 25.4;
    const int w = int(std::nearbyint((a.Spread != 0 ? 2.0 : 1.0) * a.Width / perInch * 96));
    const int h = int(std::nearbyint(a.Height / perInch * 96));
    if (double(h) / info->height >= double(w) / info->width)
      return h > info->height ? std::pair{w * info->height / h, info->height} : std::pair{w, h};
    return w > info->width ? std::pair{info->width, h * info->width / w} : std::pair{w, h};
  }

  int photo[3] = {};
};

// Tolerances: the editor resamples bicubic and places layers on whole
// pixels; the reference samples bilinear at exact positions. Measured over
// the page: 39 to 47 dB on the layered results, 41 to 42 dB through the
// JPEG previews; a reference with the flips left out, the turn the other
// way, the transparent margins ignored or the offsets mirrored gives 14 to
// 27 dB. 35 dB sits between.
constexpr double kPagePsnr = 35;
struct GoldenCase {
  const char* name;
  const char* templateName;
  bool preview;
  int firstPhoto;  // 0 landscape, 1 portrait, 2 with transparent margins
  TTransform transform;
};

TEST_F(PageGoldenTest, ComposedPagesMatchTheReference) {
  const GoldenCase cases[] = {
      {"single page, photos stretched over their slots", "婚纱01_花园", false, 0, {}},
      {"offsets and scales", "婚纱01_花园", false, 1, {1.4f, 1.2f, 0.08f, -0.06f}},
      {"rotation", "儿童01_气球", false, 0, {1.2f, 1.2f, 0, 0, 12}},
      {"horizontal flip", "婚纱01_花园", false, 0, {1.1f, 1.1f, 0.05f, 0, 0, true, false}},
      {"vertical flip", "婚纱01_花园", false, 0, {1.1f, 1.1f, 0, 0.05f, 0, false, true}},
      {"both flips and a turn", "儿童01_气球", false, 1, {1.3f, 1.3f, -0.04f, 0.03f, -20, true, true}},
      {"photo with transparent margins", "儿童01_气球", false, 2, {0.9f, 0.9f, 0.05f, 0.02f}},
      {"transparent margins mirrored", "儿童01_气球", false, 2, {0.9f, 0.9f, 0, 0, 0, true, false}},
      {"spread", "旅行01_明信片", false, 0, {1.2f, 1.1f, 0.02f, 0.02f, 5}},
      {"slot shown in two places", "家庭01_温馨", false, 1, {1.1f, 1.1f}},
      {"preview of a single page", "婚纱01_花园", true, 1, {1.2f, 1.2f, 0.03f, 0, 8}},
      {"preview of a spread", "旅行01_明信片", true, 0, {1.1f, 1.1f, 0, 0, 0, true, false}},
  };
  for (const GoldenCase& c : cases) {
    SCOPED_TRACE(c.name);
    const int index = Template(c.templateName);
    Arrange(index, c.firstPhoto, c.transform);
    TComposeJob job = Job(index, c.preview, !c.preview, "page");
    job.CancelEffects = true;
    const TComposeReport report = RunOne(job);
    ASSERT_EQ(report.State, TComposeState::Done) << report.Message;
    const Image page = Page(c.preview ? report.PreviewWritten : report.ResultWritten);
    const auto [w, h] = c.preview ? PreviewSize(index) : ResultSize(index);
    ASSERT_EQ(page.width(), w);
    ASSERT_EQ(page.height(), h);
    const Image expected = Reference(index, c.preview, w, h);
    const test::ImageDifference d = test::Difference(page, expected);
    EXPECT_GE(d.psnr, kPagePsnr) << d;
  }
}

// A painted mark, 60 x 40, at 60 % opacity, in each of the nine positions
// and beyond 8; twice at half its size. In the expected rectangle the page
// matches the reference (compared there alone: on the whole page a
// misplaced mark of 2,400 pixels would hardly move the figure); everywhere
// else it is the page composed without a mark.
TEST_F(PageGoldenTest, WatermarkLandsInEveryPosition) {
  const int index = Template("婚纱01_花园");
  Arrange(index, 0, {});
  const std::string markPath = (dir / "mark.png").string();
  const Image mark = PaintPhoto(60, 40);  // sharp edges: a pixel off shows
  ASSERT_TRUE(WriteImageFile(markPath, mark).ok());
  auto compose = [&](const std::string& tag) {
    TComposeJob job = Job(index, false, true, tag);
    job.CancelEffects = true;
    const TComposeReport report = RunOne(job);
    EXPECT_EQ(report.State, TComposeState::Done) << report.Message;
    return Page(report.ResultWritten);
  };
  const Image plain = compose("plain");
  settings.ShowWaterMark = true;
  settings.WaterMarkFile = markPath;
  settings.WaterMarkTrans = 40;
  settings.MarginH = 10;
  settings.MarginV = 20;
  const auto [w, h] = ResultSize(index);
  ASSERT_EQ(plain.width(), w);
  struct Case {
    int orient, scale;
  };
  std::vector<Case> cases;
  for (int orient = 0; orient <= 10; ++orient) cases.push_back({orient, 100});
  cases.push_back({4, 50});
  cases.push_back({8, 50});
  test::DiffOptions colour;
  colour.withAlpha = false;
  for (const Case& c : cases) {
    SCOPED_TRACE("position " + std::to_string(c.orient) + " at " + std::to_string(c.scale) + " %");
    settings.Orient = c.orient;
    settings.WaterMarkScale = c.scale;
    const Image page = compose("mark");
    ASSERT_EQ(page.width(), w);
    if (c.orient == 4 && c.scale == 100) {
      EXPECT_GE(test::Difference(page, Reference(index, false, w, h), colour).psnr, kPagePsnr);
    }
    const int f = 100 / c.scale, bw = 60 / f, bh = 40 / f;
    int x = 0, y = 0;
    ExpectedMarkCorner(c.orient, w, h, bw, bh, 10, 20, x, y);
    // The mark's rectangle as the reference has it: the mark at 60 % over
    // the photos and background, under the overlays.
    test::DiffOptions inside = colour;
    inside.area = IntRect{x, y, x + bw, y + bh};
    // Measured 45 to 64 dB; the mark's sharp edges put one a pixel off
    // far below 40.
    const test::ImageDifference d = test::Difference(page, Reference(index, false, w, h), inside);
    EXPECT_GE(d.psnr, 40) << d;
    // Outside the mark's rectangle (and a pixel of resampling fringe) the
    // page is untouched.
    Image outside = page.Clone();
    for (int yy = std::max(0, y - 1); yy < std::min(h, y + bh + 1); ++yy)
      for (int xx = std::max(0, x - 1); xx < std::min(w, x + bw + 1); ++xx)
        outside.At(xx, yy) = plain.At(xx, yy);
    EXPECT_EQ(test::Difference(outside, plain, colour).maxColor, 0);
  }
}

// Each effect kind on the first slot's photo: where the result can be worked
// out (opacity, levels, the monochrome channel mixer) the page matches the
// reference with that look; every kind changes the first slot and nothing
// outside it; cancelling effects gives the plain page.
TEST_F(PageGoldenTest, EffectsChangeTheirSlotAndCancellingRestoresThePlainPage) {
  const int index = Template("婚纱01_花园");
  Arrange(index, 0, {});
  const auto [w, h] = ResultSize(index);
  auto run = [&](const std::string& tag, std::vector<TEffectNode> effects, bool cancel) {
    TSlotNode& slot = *set->PreviewTemps[index]->Slots[0];
    slot.Effects.clear();
    for (TEffectNode& e : effects) slot.Effects.push_back(std::make_unique<TEffectNode>(std::move(e)));
    TComposeJob job = Job(index, false, true, tag);
    job.CancelEffects = cancel;
    const TComposeReport report = RunOne(job);
    EXPECT_EQ(report.State, TComposeState::Done) << report.Message;
    return Page(report.ResultWritten);
  };
  const Image plain = run("plain", {}, false);
  // The first slot's rectangle on the page, two pixels wider all round.
  const TTempNode& b = *set->ResultTemps[index];
  const TPlacement* first = nullptr;
  for (const auto& pl : b.Placements)
    if (pl->SlotNumber == 1) first = pl.get();
  ASSERT_NE(first, nullptr);
  Result<PsdInfo> info = ProbePsd(*ReadWholeFile(b.Folder + "brivanto_b.psd"));
  ASSERT_TRUE(info.ok());
  const double fx = double(w) / info->width, fy = double(h) / info->height;
  const IntRect slotArea{int(first->Rect.Left * fx) - 2, int(first->Rect.Top * fy) - 2,
                         int(std::ceil(first->Rect.Right * fx)) + 2,
                         int(std::ceil(first->Rect.Bottom * fy)) + 2};

  auto levels = [](int v, int in0, int in1, int out0, int out1) {
    const double t = std::clamp((v - in0) / double(in1 - in0), 0.0, 1.0);
    return uint8_t(std::lround(out0 + (out1 - out0) * t));
  };
  struct Case {
    const char* name;
    TEffectNode effect;
    std::optional<TReferenceLook> look;  // when the result can be worked out
  };
  const std::vector<Case> cases = {
      {"blend selector 4: opacity only", {0, {4, 50}}, TReferenceLook{{}, 50}},
      {"normal blend at 70 %", {0, {0, 70}}, TReferenceLook{{}, 70}},
      {"overlay blend", {0, {1, 100}}, std::nullopt},
      {"colour fill, overlay", {5, {0, 255, 0, 0, 100}}, std::nullopt},
      {"colour fill, colour", {5, {2, 0, 0, 255, 100}}, std::nullopt},
      {"levels on green",
       {7, {2, 40, 1, 200, 0, 255, 100}},
       TReferenceLook{[&](Rgba8 p) {
                        return Rgba8{p.r, levels(p.g, 40, 200, 0, 255), p.b, p.a};
                      },
                      100}},
      {"levels on all channels",
       {7, {0, 20, 1, 230, 10, 240, 100}},
       TReferenceLook{[&](Rgba8 p) {
                        return Rgba8{levels(p.r, 20, 230, 10, 240), levels(p.g, 20, 230, 10, 240),
                                     levels(p.b, 20, 230, 10, 240), p.a};
                      },
                      100}},
      {"brightness and contrast", {10, {30, 20, 100}}, std::nullopt},
      {"hue and saturation", {11, {0, 0, 0, 100}}, std::nullopt},
      {"monochrome channel mixer",
       {12, {30, 59, 11, 0, 30, 59, 11, 0, 30, 59, 11, 0, 1, 100}},
       TReferenceLook{[](Rgba8 p) {
                        const uint8_t g = uint8_t(std::lround((30 * p.r + 59 * p.g + 11 * p.b) / 100.0));
                        return Rgba8{g, g, g, p.a};
                      },
                      100}},
  };
  test::DiffOptions outside;
  outside.withAlpha = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Image page = run("effect", {c.effect}, false);
    ASSERT_EQ(page.width(), w);
    // Inside the slot the photo changed...
    test::DiffOptions inside = outside;
    inside.area = slotArea;
    inside.threshold = 8;
    const test::ImageDifference changed = test::Difference(page, plain, inside);
    EXPECT_GT(changed.FractionOver(), 0.1) << changed;
    // ...and nowhere else.
    Image masked = page.Clone();
    for (int y = std::max(0, slotArea.top); y < std::min(h, slotArea.bottom); ++y)
      for (int x = std::max(0, slotArea.left); x < std::min(w, slotArea.right); ++x)
        masked.At(x, y) = plain.At(x, y);
    EXPECT_EQ(test::Difference(masked, plain, outside).maxColor, 0);
    if (c.look) {
      const test::ImageDifference d =
          test::Difference(page, Reference(index, false, w, h, {{1, *c.look}}), inside);
      EXPECT_GE(d.psnr, 40) << d;  // measured 47 to 49 dB
    }
  }
  // The hue/saturation shift is fixed: its three leading values change nothing.
  EXPECT_EQ(test::Difference(run("hue a", {{11, {0, 0, 0, 100}}}, false),
                             run("hue b", {{11, {5, -9, 70, 100}}}, false))
                .maxColor,
            0);
  // Cancelled effects: the plain page, which matches the reference.
  const Image cancelled = run(
      "cancelled", {{12, {30, 59, 11, 0, 30, 59, 11, 0, 30, 59, 11, 0, 1, 100}}, {10, {30, 20, 100}}}, true);
  EXPECT_EQ(test::Difference(cancelled, plain, outside).maxColor, 0);
  EXPECT_GE(test::Difference(cancelled, Reference(index, false, w, h), outside).psnr, kPagePsnr);
}

// Sizes and resolutions of results and their small previews for a packed
// 2100 x 3000 template, each worked out by hand: automatic resolution in
// pixels (r = 2) and in inches (r = 300), a fixed 254 ppi, and the small
// preview of a 3000 x 2100 and of a 400 x 300 result.
TEST_F(PageGoldenTest, ResultSizesResolutionsAndSmallPreviews) {
  const fs::path package = dir / "packages" / "figures";
  ASSERT_TRUE(
      PackTemplate(OneSlotDescription("#4060a0", "photo", {300, 400, 1800, 2600}, 2100, 3000, 300), package));
  TSetNode figures;
  for (const char* name : {"brivanto_a.dll", "brivanto_b.dll"}) {
    Result<std::unique_ptr<TTempNode>> temp = ReadDescriptorFile((package / name).string(), 0);
    ASSERT_TRUE(temp.ok()) << temp.message();
    (std::string(name) == "brivanto_a.dll" ? figures.PreviewTemps : figures.ResultTemps)
        .push_back(std::move(temp).value());
  }
  figures.Photos.push_back(
      std::make_unique<TPhotoInfoNode>(TPhotoInfoNode{set->Photos[photo[1]]->FileName, {}}));
  TSlotNode& slot = *figures.PreviewTemps[0]->Slots[0];
  slot.PhotoIndex = 0, slot.ScaleX = slot.ScaleY = 1.1f, slot.OffsetX = slot.OffsetY = 0;

  struct Case {
    const char* name;
    int unit;
    float pageW, pageH;
    bool automatic;
    int width, height, resolution, smallW, smallH;
  };
  const Case cases[] = {
      {"pixels, automatic", kUnitPixel, 1050, 1500, true, 1050, 1500, 2, 294, 420},
      {"inches, automatic", kUnitInch, 7, 10, true, 2100, 3000, 300, 294, 420},
      {"inches at 254 ppi", kUnitInch, 7, 10, false, 1778, 2540, 254, 294, 420},
      {"landscape small preview", kUnitPixel, 3000, 2100, true, 3000, 2100, 1, 580, 406},
      {"small result kept as it is", kUnitPixel, 400, 300, true, 400, 300, 10, 400, 300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (auto& t : {figures.PreviewTemps[0].get(), figures.ResultTemps[0].get()})
      t->SizeUnit = c.unit, t->Width = c.pageW, t->Height = c.pageH;
    settings.AutoResolution = c.automatic;
    settings.Resolution = 254;
    TComposeJob job = Job(0, false, false, "figures");
    job.SetNode = &figures;
    const TComposeReport report = RunOne(job);
    ASSERT_EQ(report.State, TComposeState::Done) << report.Message;
    std::string out;
    ASSERT_EQ(test::RunCommand("identify -units PixelsPerInch -format '%w %h %[fx:round(resolution.x)]' " +
                                   test::ShellQuote(report.ResultWritten),
                               &out),
              0);
    EXPECT_EQ(out,
              std::to_string(c.width) + " " + std::to_string(c.height) + " " + std::to_string(c.resolution));
    const Image page = Page(report.ResultWritten);
    TReferenceRequest q;
    q.Set = &figures;
    q.Width = c.width, q.Height = c.height;
    q.ScratchFolder = (dir / "scratch").string();
    Result<Image> expected = ReferencePage(q);
    ASSERT_TRUE(expected.ok()) << expected.message();
    test::DiffOptions o;
    o.withAlpha = false;
    EXPECT_GE(test::Difference(page, *expected, o).psnr, 40);  // measured 46 to 53 dB
    // The small preview: the page shrunk into 580 x 420.
    const Image small = Page(report.PreviewWritten);
    ASSERT_EQ(small.width(), c.smallW);
    ASSERT_EQ(small.height(), c.smallH);
    q.Width = c.smallW, q.Height = c.smallH;
    Result<Image> expectedSmall = ReferencePage(q);
    ASSERT_TRUE(expectedSmall.ok());
    EXPECT_GE(test::Difference(small, *expectedSmall, o).psnr, 38);  // measured 44.6 to 45.4 dB
  }
}

// ag-psd under Node: the layers of the result in its order, their masks and
// the document's alpha channels.
const char* kAgPsdScript = R"JS(
const ag = require(process.argv[2]);
ag.initializeCanvas(() => { throw new Error('no canvas'); },
                    (w, h) => ({ width: w, height: h, data: new Uint8ClampedArray(w * h * 4) }));
const psd = ag.readPsd(require('fs').readFileSync(process.argv[3]), { useImageData: true, skipCompositeImageData: true, skipThumbnail: true });
const layers = (psd.children || []).map(l => ({ name: l.name,
  width: (l.right || 0) - (l.left || 0), height: (l.bottom || 0) - (l.top || 0),
  mask: l.mask ? { unlinked: !!l.mask.positionRelativeToLayer, disabled: !!l.mask.disabled } : null }));
const ir = psd.imageResources || {};
console.log(JSON.stringify({ width: psd.width, height: psd.height, channels: psd.channels,
  alphaChannelNames: ir.alphaChannelNames || [], layers }));
)JS";

// The layered result of a template with every slot filled, photos stretched
// exactly over their slots: ImageMagick sees the page size, one layer per
// template layer, background picture and placement, the overlays on top and
// each photo layer of its slot's size; ag-psd sees the same layers, a mask
// on each photo layer and no other, every mask unlinked, and the template's
// alpha channels.
TEST_F(PageGoldenTest, LayeredResultAsOtherReadersSeeIt) {
  const std::string module = test::AgPsdModule();
  if (module.empty()) {
    if (test::CorpusRequired()) FAIL() << "ag-psd is not available (node and npm are needed)";
    GTEST_SKIP() << "ag-psd is not available (node and npm are needed)";
  }
  const int index = Template("旅行01_明信片");
  Arrange(index, 0, {});
  const TComposeReport report = RunOne(Job(index, false, true, "layers"));
  ASSERT_EQ(report.State, TComposeState::Done) << report.Message;
  const auto [w, h] = ResultSize(index);
  const TTempNode& b = *set->ResultTemps[index];
  Result<PsdInfo> templateInfo = ProbePsd(*ReadWholeFile(b.Folder + "brivanto_b.psd"));
  ASSERT_TRUE(templateInfo.ok());
  const double fx = double(w) / templateInfo->width, fy = double(h) / templateInfo->height;
  // Placement sizes on the page, in placement order (pasted in that order,
  // so the last placement's layer is the highest photo layer).
  std::vector<std::pair<int, int>> slotSizes;
  for (const auto& pl : b.Placements) {
    auto r = [](float v) { return int(std::nearbyint(v)); };
    const int l = int(std::nearbyint(r(pl->Rect.Left) * fx)),
              rr = int(std::nearbyint(r(pl->Rect.Right) * fx));
    const int t = int(std::nearbyint(r(pl->Rect.Top) * fy)),
              bb = int(std::nearbyint(r(pl->Rect.Bottom) * fy));
    slotSizes.push_back({rr - l, bb - t});
  }
  const size_t overlays = std::count_if(templateInfo->layerNames.begin(), templateInfo->layerNames.end(),
                                        [](const std::string& n) { return n == "brivanto"; });
  ASSERT_GT(overlays, 0u);
  const size_t expectedLayers = templateInfo->layerNames.size() + 1 + b.Placements.size();

  // ImageMagick: scene 0 is the merged picture, then the layers from the bottom.
  std::string out;
  ASSERT_EQ(
      test::RunCommand(
          "identify -format '%[scene]|%l|%w|%h|%W|%H\\n' " + test::ShellQuote(report.ResultWritten), &out),
      0);
  std::vector<std::vector<std::string>> rows;
  for (size_t pos = 0; pos < out.size();) {
    const size_t eol = out.find('\n', pos);
    std::vector<std::string> fields;
    std::string line = out.substr(pos, eol - pos);
    for (size_t p = 0;;) {
      const size_t bar = line.find('|', p);
      fields.push_back(line.substr(p, bar - p));
      if (bar == std::string::npos) break;
      p = bar + 1;
    }
    rows.push_back(fields);
    if (eol == std::string::npos) break;
    pos = eol + 1;
  }
  ASSERT_EQ(rows.size(), expectedLayers + 1) << out;
  EXPECT_EQ(rows[0][2], std::to_string(w));
  EXPECT_EQ(rows[0][3], std::to_string(h));
  for (size_t i = 0; i < overlays; ++i) EXPECT_EQ(rows[rows.size() - 1 - i][1], "brivanto") << out;
  // Below the overlays: the photo layers, the last placement's highest.
  for (size_t k = 0; k < slotSizes.size(); ++k) {
    const auto& row = rows[rows.size() - 1 - overlays - k];
    const auto [sw, sh] = slotSizes[slotSizes.size() - 1 - k];
    // Bicubic resampling may add a pixel of fringe on each side.
    EXPECT_NEAR(std::stoi(row[2]), sw, 2) << row[1];
    EXPECT_NEAR(std::stoi(row[3]), sh, 2) << row[1];
  }

  // ag-psd.
  const std::string script = (dir / "read_psd.js").string();
  ASSERT_TRUE(WriteFileAtomic(script, std::string(kAgPsdScript)).ok());
  ASSERT_EQ(test::RunCommand("node " + test::ShellQuote(script) + " " + test::ShellQuote(module) + " " +
                                 test::ShellQuote(report.ResultWritten),
                             &out),
            0);
  const nlohmann::json j = nlohmann::json::parse(out, nullptr, false);
  ASSERT_FALSE(j.is_discarded()) << out;
  EXPECT_EQ(j["width"], w);
  EXPECT_EQ(j["height"], h);
  std::vector<std::string> channelNames;
  for (const auto& pl : b.Placements) channelNames.push_back(pl->ChannelName);
  std::vector<std::string> seen = j["alphaChannelNames"].get<std::vector<std::string>>();
  for (const std::string& name : channelNames)
    EXPECT_NE(std::find(seen.begin(), seen.end(), name), seen.end()) << name;
  // From the bottom, whichever way round ag-psd lists them.
  nlohmann::json layers = j["layers"];
  if (!layers.empty() && layers[0]["name"] == "brivanto") std::reverse(layers.begin(), layers.end());
  ASSERT_EQ(layers.size(), expectedLayers) << out;
  size_t masked = 0;
  for (size_t i = 0; i < layers.size(); ++i) {
    const bool photoLayer = i + overlays + slotSizes.size() >= layers.size() && i + overlays < layers.size();
    EXPECT_EQ(layers[i]["mask"].is_null(), !photoLayer) << layers[i];
    if (!layers[i]["mask"].is_null()) {
      EXPECT_EQ(layers[i]["mask"]["unlinked"], true) << layers[i];
      EXPECT_EQ(layers[i]["mask"]["disabled"], false) << layers[i];
      ++masked;
    }
  }
  EXPECT_EQ(masked, slotSizes.size());
}

}  // namespace
}  // namespace tessaro::enginetest
