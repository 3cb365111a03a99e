// The engine on the real editor with the demo library and demo set that the
// build makes (skipped when they are not built): sizes of previews and
// results, photos landing where the slot says (checked against the photo's
// own decoded pixels), a slot shown twice, every effect kind, and a job
// cancelled halfway that leaves nothing behind while the next one succeeds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <tuple>

#include "base/FileIo.h"
#include "editor/Editor.h"
#include "engine/Effects.h"
#include "engine/MyThread.h"
#include "engine/tests/DemoSetFixture.h"
#include "engine/tests/PackedTemplate.h"
#include "imaging/codecs/Codecs.h"
#include "model/Package.h"
#include "model/SetFile.h"
#include "model/func.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
namespace au = automation;

using enginetest::DemoSetTest;
using enginetest::kDemoSet;

class GoldenTest : public DemoSetTest {
 protected:
  void SetUp() override {
    if (!fs::exists(kDemoSet)) GTEST_SKIP() << "the demo set is not built";
    LoadDemoSet("engine_golden");
    if (HasFatalFailure()) return;
    ASSERT_FALSE(set->PreviewTemps.empty());
  }

  // The first template that is a single page (or a spread when asked).
  int FindTemplate(bool spread) const {
    for (size_t i = 0; i < set->PreviewTemps.size(); ++i)
      if ((set->PreviewTemps[i]->Spread != 0) == spread) return int(i);
    return -1;
  }
  TComposeJob Job(int index, bool preview, bool psd = false) const {
    return DemoSetTest::Job(index, preview, psd,
                            (dir / ("preview" + std::to_string(index) + ".jpg")).string(),
                            (dir / ("result" + std::to_string(index) + (psd ? ".psd" : ".jpg"))).string());
  }
  static Image Decode(const std::string& path) {
    Result<DecodedImage> d = DecodeImageFile(path);
    EXPECT_TRUE(d.ok()) << path << ": " << d.message();
    return d.ok() ? std::move(d->pixels) : Image();
  }
  // Mean colour of a (2r+1)^2 window.
  static Rgba8 Mean(const Image& image, int x, int y, int r = 2) {
    int sum[3] = {0, 0, 0}, n = 0;
    for (int yy = y - r; yy <= y + r; ++yy)
      for (int xx = x - r; xx <= x + r; ++xx) {
        if (xx < 0 || yy < 0 || xx >= image.width() || yy >= image.height()) continue;
        const Rgba8 p = image.At(xx, yy);
        sum[0] += p.r, sum[1] += p.g, sum[2] += p.b, ++n;
      }
    if (n == 0) return {};
    return Rgba8{uint8_t(sum[0] / n), uint8_t(sum[1] / n), uint8_t(sum[2] / n), 255};
  }
  // Peak signal-to-noise ratio of the colour of two pictures of one size.
  static double Psnr(const Image& x, const Image& y) {
    double sum = 0;
    int64_t n = 0;
    for (int yy = 0; yy < x.height(); ++yy)
      for (int xx = 0; xx < x.width(); ++xx) {
        const Rgba8 p = x.At(xx, yy), q = y.At(xx, yy);
        for (int d : {p.r - q.r, p.g - q.g, p.b - q.b}) sum += double(d) * d;
        n += 3;
      }
    if (n == 0) return 0;
    if (sum == 0) return 99;
    return 10 * std::log10(255.0 * 255.0 * double(n) / sum);
  }
  static int Distance(Rgba8 a, Rgba8 b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b), std::abs(a.a - b.a)});
  }
};

TEST_F(GoldenTest, PreviewAndResultHaveTheirSizes) {
  for (bool spread : {false, true}) {
    const int index = FindTemplate(spread);
    if (index < 0) continue;
    const TTempNode& a = *set->PreviewTemps[index];
    SCOPED_TRACE(a.Folder);
    // Preview: the page in screen pixels, fitted into the preview document.
    const TComposeReport preview = RunOne(Job(index, true));
    ASSERT_EQ(preview.State, TComposeState::Done) << preview.Message;
    const Image p = Decode(preview.PreviewWritten);
    const double pageAspect = (spread ? 2.0 : 1.0) * a.Width / a.Height;
    EXPECT_NEAR(double(p.width()) / p.height(), pageAspect, 0.01);
    EXPECT_LE(p.width(), spread ? 4200 : 2100);
    // Result: print pixels at the automatic resolution; small preview within
    // 580 x 420 with the same aspect.
    const TComposeReport result = RunOne(Job(index, false));
    ASSERT_EQ(result.State, TComposeState::Done) << result.Message;
    const Image r = Decode(result.ResultWritten);
    EXPECT_NEAR(double(r.width()) / r.height(), pageAspect, 0.01);
    const Image small = Decode(result.PreviewWritten);
    EXPECT_LE(small.width(), 580);
    EXPECT_LE(small.height(), 420);
    EXPECT_TRUE(small.width() == 580 || small.height() == 420);
    EXPECT_NEAR(double(small.width()) / small.height(), pageAspect, 0.02);
  }
}

TEST_F(GoldenTest, FixedResolutionGivesThePrintSize) {
  const int index = FindTemplate(false);
  const TTempNode& a = *set->PreviewTemps[index];
  settings.AutoResolution = false;
  settings.Resolution = 100;
  const TComposeReport result = RunOne(Job(index, false));
  ASSERT_EQ(result.State, TComposeState::Done) << result.Message;
  const Image r = Decode(result.ResultWritten);
  double w = a.Width, h = a.Height, res = 100;
  // The page in inches (or other units) at 100 ppi, worked out here by unit.
  const double perInch = a.SizeUnit == kUnitInch ? 1 : a.SizeUnit == kUnitCentimetre ? 2.54 : 25.4;
  ASSERT_NE(a.SizeUnit, kUnitPixel);
  EXPECT_NEAR(r.width(), w / perInch * res, 1.0);
  EXPECT_NEAR(r.height(), h / perInch * res, 1.0);
}

// Each photo stretched exactly over its slot (scale 1, no offset, angle or
// effects): the middle of the slot shows the middle of the photo. The second
// placement shows the first slot's photo too (a slot shown twice).
TEST_F(GoldenTest, PhotosLandInTheirSlotsAndASlotMayShowTwice) {
  int index = -1;
  for (size_t i = 0; i < set->PreviewTemps.size() && index < 0; ++i)
    if (set->ResultTemps[i]->Placements.size() >= 2) index = int(i);
  ASSERT_GE(index, 0);
  TTempNode& a = *set->PreviewTemps[index];
  TTempNode& b = *set->ResultTemps[index];
  for (auto& slot : a.Slots) {
    slot->ScaleX = slot->ScaleY = 1;
    slot->OffsetX = slot->OffsetY = 0;
    slot->Angle = 0;
    slot->FlipH = slot->FlipV = false;
  }
  a.Placements[1]->SlotNumber = a.Placements[0]->SlotNumber;
  b.Placements[1]->SlotNumber = b.Placements[0]->SlotNumber;
  TComposeJob job = Job(index, false);
  job.CancelEffects = true;
  const TComposeReport result = RunOne(job);
  ASSERT_EQ(result.State, TComposeState::Done) << result.Message;
  const Image page = Decode(result.ResultWritten);

  auto app = CreateEditorApplication();
  au::DocumentRef templateDoc = *app->Load(b.Folder + "brivanto_b.psd");
  const double fx = double(page.width()) / *templateDoc->Width();
  const double fy = double(page.height()) / *templateDoc->Height();
  int checked = 0;
  for (size_t i = 0; i < 2; ++i) {
    const TPlacement& pl = *b.Placements[i];
    const TSlotNode& slot = *a.Slots[pl.SlotNumber - 1];
    const Image photo = Decode(set->Photos[slot.PhotoIndex]->FileName);
    const Rgba8 centre = photo.At(photo.width() / 2, photo.height() / 2);
    if (centre.a < 255) continue;  // a cut-out photo: its middle may be transparent
    // Where the slot's mask is fully open at its middle, the photo shows.
    au::ChannelRef channel = *(*templateDoc->Channels())->Item(pl.ChannelName);
    const Plane mask = std::move(ChannelValues(*channel)).value();
    const int mx = int((pl.Rect.Left + pl.Rect.Right) / 2), my = int((pl.Rect.Top + pl.Rect.Bottom) / 2);
    if (mask.At(mx, my) < 255) continue;
    const Rgba8 expected = Mean(photo, photo.width() / 2, photo.height() / 2, 1);
    const Rgba8 got = Mean(page, int(mx * fx), int(my * fy), 1);
    EXPECT_LE(Distance(expected, got), 24)
        << "placement " << i << " expected " << int(expected.r) << "," << int(expected.g) << ","
        << int(expected.b) << " got " << int(got.r) << "," << int(got.g) << "," << int(got.b);
    ++checked;
  }
  EXPECT_GE(checked, 1);
}

TEST_F(GoldenTest, EveryEffectKindChangesThePhotoAndBlendFourOnlyOpacity) {
  auto app = CreateEditorApplication();
  const std::string photo = set->Photos[0]->FileName;
  const TPSGUIDNode& version = versions[versionIndex];
  struct Case {
    int kind;
    std::vector<float> params;
    bool changes;
  };
  const std::vector<Case> cases = {
      {0, {4, 100}, false},
      {0, {2, 60}, true},
      {5, {0, 255, 0, 0, 100}, true},
      {7, {0, 20, 1.4f, 230, 10, 240, 100}, true},
      {7, {2, 0, 2.0f, 255, 0, 255, 100}, true},
      {10, {30, 20, 100}, true},
      {11, {0, 0, 0, 100}, true},
      {12, {30, 59, 11, 0, 30, 59, 11, 0, 30, 59, 11, 0, 1, 100}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    au::DocumentRef doc = *app->Load(photo);
    const Image before = std::move(FlattenDocument(*doc)).value();
    TSlotNode slot;
    slot.Effects.push_back(std::make_unique<TEffectNode>(TEffectNode{c.kind, c.params}));
    au::ArtLayerRef layer = *doc->ActiveLayer();
    ASSERT_TRUE(ApplyEffects(*app, slot, *layer, version).ok());
    const Image after = std::move(FlattenDocument(*doc)).value();
    int64_t differing = 0;
    for (int y = 0; y < before.height(); y += 3)
      for (int x = 0; x < before.width(); x += 3) differing += Distance(before.At(x, y), after.At(x, y)) > 2;
    EXPECT_EQ(differing > 0, c.changes) << differing;
    ASSERT_TRUE(doc->Close(au::kDoNotSaveChanges).ok());
  }
}

TEST_F(GoldenTest, CancelledJobLeavesNothingAndTheNextSucceeds) {
  const int index = FindTemplate(false);
  TComposeEngine engine(context, 1);
  std::promise<void> reached40, cancelled;
  std::shared_future<void> cancelledFuture = cancelled.get_future().share();
  bool signalled = false;
  TComposeEngine::TCallbacks callbacks;
  callbacks.Progress = [&](size_t, int percent) {
    if (percent >= 40 && !signalled) {
      signalled = true;
      reached40.set_value();
      cancelledFuture.wait();  // the cancel lands while the job is mid-way
    }
  };
  const TComposeJob job = Job(index, false);
  std::future<std::vector<TComposeReport>> batch = std::async(std::launch::async, [&] {
    return engine.RunBatch({job, Job(index, true)}, callbacks);
  });
  reached40.get_future().wait();
  engine.Cancel();
  cancelled.set_value();
  const std::vector<TComposeReport> reports = batch.get();
  EXPECT_EQ(reports[0].State, TComposeState::Cancelled);
  EXPECT_EQ(reports[1].State, TComposeState::NotRun);  // never started
  EXPECT_FALSE(fs::exists(job.ResultFile));
  EXPECT_FALSE(fs::exists(job.PreviewFile));
  // Nothing but the (empty) working folder is left.
  for (const auto& e : fs::recursive_directory_iterator(dir)) EXPECT_TRUE(e.is_directory()) << e.path();

  const std::vector<TComposeReport> next = engine.RunBatch({job}, {});
  ASSERT_EQ(next[0].State, TComposeState::Done) << next[0].Message;
  EXPECT_TRUE(fs::exists(job.ResultFile));
  EXPECT_TRUE(fs::exists(job.PreviewFile));
}

TEST_F(GoldenTest, PsdResultKeepsLayersMasksAndChannels) {
  const int index = FindTemplate(false);
  const TComposeReport result = RunOne(Job(index, false, true));
  ASSERT_EQ(result.State, TComposeState::Done) << result.Message;
  auto app = CreateEditorApplication();
  au::DocumentRef doc = *app->Load(result.ResultWritten);
  const TTempNode& b = *set->ResultTemps[index];
  // Every placement's channel is there; photo layers carry unlinked masks.
  for (const auto& pl : b.Placements)
    EXPECT_TRUE((*doc->Channels())->Item(pl->ChannelName).ok()) << pl->ChannelName;
  auto layers = *doc->ArtLayers();
  int masked = 0;
  for (int i = 1; i <= *layers->Count(); ++i) {
    au::ArtLayerRef layer = *layers->Item(i);
    Result<LayerMaskInfo> mask = LayerMask(*layer, IntRect{0, 0, 4, 4});
    if (mask.ok()) {
      EXPECT_FALSE(mask->linked) << *layer->Name();
      ++masked;
    }
  }
  int placed = 0;
  for (const auto& pl : b.Placements)
    placed += set->PreviewTemps[index]->Slots[pl->SlotNumber - 1]->PhotoIndex >= 0;
  EXPECT_EQ(masked, placed);
}

// A solid red mark, opaque (transparency 0), at two opposite corners.
TEST_F(GoldenTest, WatermarkLandsInTheChosenCorner) {
  const int index = FindTemplate(false);
  Image mark;
  ASSERT_TRUE(mark.Create(60, 40, Rgba8{255, 0, 0, 255}).ok());
  const std::string markPath = (dir / "mark.png").string();
  ASSERT_TRUE(WriteImageFile(markPath, mark).ok());
  settings.ShowWaterMark = true;
  settings.WaterMarkFile = markPath;
  settings.WaterMarkTrans = 0;
  settings.WaterMarkScale = 100;
  settings.MarginH = 10;
  settings.MarginV = 20;
  const Rgba8 red{255, 0, 0, 255};
  for (int orient : {0, 8}) {
    settings.Orient = orient;
    const TComposeReport report = RunOne(Job(index, true));
    ASSERT_EQ(report.State, TComposeState::Done) << report.Message;
    const Image page = Decode(report.PreviewWritten);
    const int w = page.width(), h = page.height();
    // Middle of the mark at the top-left (10 + 30, 20 + 20) or bottom-right.
    const Rgba8 topLeft = Mean(page, 40, 40), bottomRight = Mean(page, w - 40, h - 40);
    EXPECT_EQ(Distance(topLeft, red) <= 12, orient == 0) << orient;
    EXPECT_EQ(Distance(bottomRight, red) <= 12, orient == 8) << orient;
    // The margins stay outside the mark.
    EXPECT_GT(Distance(Mean(page, orient == 0 ? 4 : w - 5, orient == 0 ? 10 : h - 11, 1), red), 12);
  }
}

// A package made on Windows for the Chinese code page stores its channel
// names as GBK bytes; the template document names the channel in Unicode.
TEST_F(GoldenTest, PackageWithGbkChannelNamesComposes) {
  const fs::path package = dir / "packages" / "情侣_gbk";
  ASSERT_TRUE(enginetest::PackTemplate(
      enginetest::OneSlotDescription("#808080", "照片", {300, 300, 1800, 2700}, 700, 1000, 100), package));

  auto gbkSet = std::make_unique<TSetNode>();
  for (const char* name : {"brivanto_a.dll", "brivanto_b.dll"}) {
    const std::string path = (package / name).string();
    Result<std::unique_ptr<TTempNode>> temp = ReadDescriptorFile(path, 0);
    ASSERT_TRUE(temp.ok()) << temp.message();
    ASSERT_EQ((*temp)->Placements.size(), 1u);
    (*temp)->Placements[0]->ChannelName = "\xD5\xD5\xC6\xAC";  // 照片 in GBK
    Result<std::vector<uint8_t>> bytes = EncodeDescriptor(**temp);
    ASSERT_TRUE(bytes.ok());
    ASSERT_TRUE(WriteFileAtomic(path, *bytes).ok());
    Result<std::unique_ptr<TTempNode>> reread = ReadDescriptorFile(path, 0);
    ASSERT_TRUE(reread.ok());
    ASSERT_EQ((*reread)->Placements[0]->ChannelName, "\xD5\xD5\xC6\xAC");
    (*reread)->Width = 7, (*reread)->Height = 10, (*reread)->SizeUnit = kUnitInch;
    (std::string(name) == "brivanto_a.dll" ? gbkSet->PreviewTemps : gbkSet->ResultTemps)
        .push_back(std::move(reread).value());
  }
  gbkSet->Photos.push_back(std::make_unique<TPhotoInfoNode>(TPhotoInfoNode{set->Photos[0]->FileName, {}}));
  TSlotNode& slot = *gbkSet->PreviewTemps[0]->Slots[0];
  slot.PhotoIndex = 0, slot.ScaleX = slot.ScaleY = 1, slot.OffsetX = slot.OffsetY = 0;
  for (bool preview : {true, false}) {
    TComposeJob job = Job(0, preview);
    job.SetNode = gbkSet.get();
    const TComposeReport report = RunOne(job);
    EXPECT_EQ(report.State, TComposeState::Done) << report.Message;
  }
}

// Photos decoded at a reduced DCT scale compose the same page as photos
// decoded at full size: scales, offsets, a flip and a rotation all keep
// working from the photo's true pixels, and the slots' stored transform is
// left as it was.
TEST_F(GoldenTest, ReducedDecodingComposesLikeFullDecoding) {
  const int index = FindTemplate(false);
  ASSERT_GE(index, 0);
  TTempNode& a = *set->PreviewTemps[index];
  for (size_t i = 0; i < a.Slots.size(); ++i) {
    TSlotNode& slot = *a.Slots[i];
    slot.ScaleX = slot.ScaleY = 1.3f;
    slot.OffsetX = 0.05f;
    slot.OffsetY = -0.04f;
    slot.Angle = i == 0 ? 5 : 0;
    slot.FlipH = i == 1;
  }
  using Transform = std::tuple<float, float, float, float, float, bool, bool>;
  auto transformOf = [](const TSlotNode& slot) {
    return Transform{slot.ScaleX, slot.ScaleY, slot.OffsetX, slot.OffsetY,
                     slot.Angle,  slot.FlipH,  slot.FlipV};
  };
  std::vector<Transform> stored;
  for (const auto& slot : a.Slots) stored.push_back(transformOf(*slot));

  struct Case {
    const char* name;
    bool preview;
  };
  for (const Case& c : {Case{"preview", true}, Case{"result at 100 ppi", false}}) {
    SCOPED_TRACE(c.name);
    settings.AutoResolution = false;
    settings.Resolution = 100;
    Image pages[2];
    int64_t reduced[2] = {0, 0};
    for (int full = 0; full < 2; ++full) {
      std::vector<std::shared_ptr<au::Application>> made;
      context.Factory = [&made, full]() {
        EditorOptions options;
        options.reducedDecoding = full == 0;
        made.push_back(CreateEditorApplication(options));
        return made.back();
      };
      TComposeJob job = Job(index, c.preview);
      job.CancelEffects = true;
      const std::string suffix = full ? "_full.jpg" : "_reduced.jpg";
      job.PreviewFile += suffix;
      if (!c.preview) job.ResultFile += suffix;
      const TComposeReport report = RunOne(job);
      ASSERT_EQ(report.State, TComposeState::Done) << report.Message;
      pages[full] = Decode(c.preview ? report.PreviewWritten : report.ResultWritten);
      for (const auto& app : made) reduced[full] += GetEditorStatistics(*app).reducedLoads;
    }
    EXPECT_GT(reduced[0], 0) << "no photo was decoded below its size";
    EXPECT_EQ(reduced[1], 0);
    ASSERT_EQ(pages[0].width(), pages[1].width());
    ASSERT_EQ(pages[0].height(), pages[1].height());
    EXPECT_GE(Psnr(pages[0], pages[1]), 35.0);
  }
  for (size_t i = 0; i < a.Slots.size(); ++i) EXPECT_EQ(transformOf(*a.Slots[i]), stored[i]) << i;
}

}  // namespace
}  // namespace tessaro
