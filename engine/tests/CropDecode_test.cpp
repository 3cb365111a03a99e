// Photos decoded only over the part their slot shows compose the same page
// as photos decoded whole: demo templates composed twice on the real
// editor, once as the engine asks and once with every part dropped from the
// load hints, for the placements where a cut could go wrong.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "editor/Editor.h"
#include "engine/CreateTemp.h"
#include "engine/tests/DemoSetFixture.h"
#include "imaging/codecs/Codecs.h"
#include "testing/Corpus.h"
#include "testing/ImageDiff.h"

namespace tessaro::enginetest {
namespace {

namespace fs = std::filesystem;
namespace au = automation;

// The editor, with the parts of the load hints passed on or dropped; counts
// the photo pixels each load decoded (the loaded layer's area).
class TCutOrWhole final : public au::Application {
 public:
  TCutOrWhole(std::shared_ptr<au::Application> inner, bool cut) : FIn(std::move(inner)), FCut(cut) {}

  int64_t DecodedPixels = 0;
  int CutHints = 0;  // hints that named a part

  Result<std::string> Version() override { return FIn->Version(); }
  Result<std::string> Name() override { return FIn->Name(); }
  Result<std::shared_ptr<au::Documents>> Documents() override { return FIn->Documents(); }
  Result<au::DocumentRef> Load(const std::string& path) override { return FIn->Load(path); }
  Result<au::DocumentRef> ActiveDocument() override { return FIn->ActiveDocument(); }
  Status SetActiveDocument(const au::DocumentRef& d) override { return FIn->SetActiveDocument(d); }
  Result<std::shared_ptr<au::Preferences>> Preferences() override { return FIn->Preferences(); }
  Result<int> DisplayDialogs() override { return FIn->DisplayDialogs(); }
  Status SetDisplayDialogs(int mode) override { return FIn->SetDisplayDialogs(mode); }
  Result<au::TypeId> CharIDToTypeID(std::string_view code) override { return FIn->CharIDToTypeID(code); }
  Status ExecuteAction(au::TypeId event, const au::ActionDescriptor& d, int mode) override {
    return FIn->ExecuteAction(event, d, mode);
  }
  Result<au::AutomationObject> CreateObject(std::string_view id) override { return FIn->CreateObject(id); }
  void Prefetch(const std::string& path) override { FIn->Prefetch(path); }
  void PrefetchScaled(const std::string& path, const au::DecodeHint& hint) override {
    FIn->PrefetchScaled(path, Passed(hint));
  }
  Result<au::ScaledDocument> LoadScaled(const std::string& path, const au::DecodeHint& hint) override {
    if (hint.CropLeft > 0 || hint.CropTop > 0 || hint.CropRight < au::DecodeHint::kCropUnit ||
        hint.CropBottom < au::DecodeHint::kCropUnit)
      ++CutHints;
    Result<au::ScaledDocument> loaded = FIn->LoadScaled(path, Passed(hint));
    if (loaded.ok()) {
      Result<au::LayerBounds> b = loaded->Document->ArtLayers().value()->Item(1).value()->Bounds();
      if (b.ok()) DecodedPixels += int64_t((b->right - b->left) * (b->bottom - b->top));
    }
    return loaded;
  }
  void RequestCancel() override { FIn->RequestCancel(); }
  void ClearCancel() override { FIn->ClearCancel(); }

 private:
  au::DecodeHint Passed(const au::DecodeHint& hint) const {
    if (FCut) return hint;
    return au::DecodeHint{hint.MinWidth, hint.MinHeight};
  }

  std::shared_ptr<au::Application> FIn;
  bool FCut;
};

// A picture whose every pixel differs from its neighbours, with soft
// ripples a few pixels across (a pixel out of place shows, while resampling
// at another phase changes little) and a lopsided shape (a wrong turn or
// flip shows).
Image DetailedPhoto(int w, int h) {
  Image image;
  EXPECT_TRUE(image.Create(w, h).ok());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double u = double(x) / w, v = double(y) / h;
      const double ripple = 40 * std::sin(x / 5.0) * std::cos(y / 7.0);
      Rgba8 p{uint8_t(30 + 180 * u), uint8_t(60 + 120 * v + ripple),
              uint8_t(120 + 80 * std::sin(9 * u + 5 * v)), 255};
      if (u > 0.7 && v < 0.3) p.r = uint8_t(250 - 40 * v);
      image.At(x, y) = p;
    }
  return image;
}

class CropDecodeTest : public DemoSetTest {
 protected:
  void SetUp() override {
    if (!fs::exists(kDemoSet)) {
      if (test::CorpusRequired()) FAIL() << "the demo set is not built";
      GTEST_SKIP() << "the demo set is not built";
    }
    LoadDemoSet("engine_crop", "out");
    if (HasFatalFailure()) return;
    settings.AutoResolution = false;
    settings.Resolution = 100;
    WriteImageOptions options;
    options.jpeg.quality = 92;
    const std::pair<int, int> sizes[2] = {{1500, 1000}, {900, 1200}};
    for (int i = 0; i < 2; ++i)
      photo[i] = AddPhoto("photo" + std::to_string(i) + ".jpg",
                          DetailedPhoto(sizes[i].first, sizes[i].second), options);
  }

  struct TPlaced {
    float scaleX, scaleY, offsetX, offsetY, angle;
    bool flipH, flipV;
  };
  void Arrange(int index, const TPlaced& t) {
    auto& slots = set->PreviewTemps[index]->Slots;
    for (size_t i = 0; i < slots.size(); ++i) {
      TSlotNode& slot = *slots[i];
      slot.PhotoIndex = photo[i % 2];
      slot.ScaleX = t.scaleX, slot.ScaleY = t.scaleY, slot.OffsetX = t.offsetX, slot.OffsetY = t.offsetY;
      slot.Angle = t.angle, slot.FlipH = t.flipH, slot.FlipV = t.flipV;
      slot.Effects.clear();
    }
  }

  // Composes template `index` as a JPEG (or layered) result through `app`.
  std::string Compose(TCutOrWhole& app, int index, const std::string& name, bool psd = false) {
    TComposeEnvironment env;
    env.App = &app;
    env.Versions = &versions;
    env.Settings = &settings;
    env.WorkFile = (dir / "work" / (name + ".jpg")).string();
    const TComposeJob job = Job(index, false, psd, "", (dir / "out" / name).string());
    const TComposeReport report = ComposeTemplate(env, job);
    EXPECT_EQ(report.State, TComposeState::Done) << report.Message;
    return report.ResultWritten;
  }

  static Image Page(const std::string& path) {
    Result<DecodedImage> d = DecodeImageFile(path);
    EXPECT_TRUE(d.ok()) << path;
    return d.ok() ? std::move(d->pixels) : Image();
  }

  int photo[2] = {};
};

TEST_F(CropDecodeTest, CutPhotosComposeTheSamePageAsWholeOnes) {
  struct Case {
    const char* name;
    const char* templateName;
    TPlaced placed;
    // Upright, both are resampled on the same grid: the same pixels but for
    // a level where the sampler's rounding sees positions counted from
    // another corner.
    int maxDiff;
    double maxShare;  // of the whole photos' pixels decoded, at most
  };
  const Case cases[] = {
      {"covering, upright", "婚纱01_花园", {1.6f, 1.2f, 0, 0, 0, false, false}, 2, 0.7},
      {"flipped both ways", "婚纱01_花园", {1.5f, 1.6f, 0.04f, -0.03f, 0, true, true}, 2, 0.7},
      {"offset near an edge", "婚纱01_花园", {1.8f, 1.8f, 0.3f, -0.3f, 0, false, true}, 2, 0.95},
      {"smaller than the slot", "婚纱01_花园", {0.6f, 0.7f, 0.1f, 0.1f, 0, false, false}, 2, 1},
      // A turned photo is reduced to its placed size before it is turned,
      // on a grid that starts at the layer's corner: the pixels may differ
      // by resampling at another phase (a few levels on these soft
      // ripples), never by a missing piece of the photo (a hundred or more).
      {"turned", "儿童01_气球", {1.4f, 1.3f, 0.02f, 0, 12, false, false}, 24, 0.95},
      {"turned and mirrored", "儿童01_气球", {1.5f, 1.5f, -0.05f, 0.04f, -20, true, false}, 24, 0.95},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int index = Template(c.templateName);
    Arrange(index, c.placed);
    TCutOrWhole cut(CreateEditorApplication(), true), whole(CreateEditorApplication(), false);
    const Image cutPage = Page(Compose(cut, index, "cut"));
    const Image wholePage = Page(Compose(whole, index, "whole"));
    ASSERT_FALSE(cutPage.empty());
    ASSERT_EQ(cutPage.width(), wholePage.width());
    ASSERT_EQ(cutPage.height(), wholePage.height());
    const test::ImageDifference d = test::Difference(cutPage, wholePage);
    EXPECT_LE(d.maxDiff, c.maxDiff) << d;
    EXPECT_GE(d.psnr, 45) << d;
    EXPECT_EQ(whole.CutHints, cut.CutHints);
    ASSERT_GT(whole.DecodedPixels, 0);
    EXPECT_LE(double(cut.DecodedPixels), c.maxShare * double(whole.DecodedPixels))
        << cut.DecodedPixels << " of " << whole.DecodedPixels;
    if (c.maxShare < 1) {
      EXPECT_GT(cut.CutHints, 0);
    }
  }
}

// A layered result keeps each photo whole in its layer (the unlinked mask
// lets it be moved later), and an effect of a kind not known to act pixel
// by pixel needs the whole photo: no part is asked for.
TEST_F(CropDecodeTest, LayeredResultsAndUnknownEffectsDecodeWholePhotos) {
  const int index = Template("婚纱01_花园");
  Arrange(index, {1.6f, 1.2f, 0, 0, 0, false, false});
  TCutOrWhole layered(CreateEditorApplication(), true);
  Compose(layered, index, "layered", true);
  EXPECT_EQ(layered.CutHints, 0);

  for (auto& slot : set->PreviewTemps[index]->Slots) {
    auto effect = std::make_unique<TEffectNode>();
    effect->Kind = 99;
    slot->Effects.push_back(std::move(effect));
  }
  TCutOrWhole unknown(CreateEditorApplication(), true);
  Compose(unknown, index, "unknown");
  EXPECT_EQ(unknown.CutHints, 0);
  // The same effects cancelled: parts again.
  TCutOrWhole cancelled(CreateEditorApplication(), true);
  TComposeEnvironment env;
  env.App = &cancelled;
  env.Versions = &versions;
  env.Settings = &settings;
  env.WorkFile = (dir / "work" / "cancelled.jpg").string();
  TComposeJob job = Job(index, false, false, "", (dir / "out" / "cancelled").string());
  job.CancelEffects = true;
  EXPECT_EQ(ComposeTemplate(env, job).State, TComposeState::Done);
  EXPECT_GT(cancelled.CutHints, 0);
}

}  // namespace
}  // namespace tessaro::enginetest
