// The preview and the composition engine agree on where a slot's photo goes:
// a turned, mirrored, offset and enlarged photo with a blue marker is shown
// on the preview screen and composed into the demo template's preview page,
// and the marker lands at the same place relative to the slot (compared in
// slot-window pixels). Skipped when the demo set is not built.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <filesystem>

#include "base/FileIo.h"
#include "editor/Automation.h"
#include "engine/MyThread.h"
#include "engine/PSVersions.h"
#include "imaging/codecs/Codecs.h"
#include "model/SetFile.h"
#include "model/tests/ControllerTestBase.h"
#include "preview/PreviewScreen.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

const fs::path kDemoSet = fs::path(TESSARO_BINARY_DIR) / "resources" / "demo" / "demo.cys";

bool IsMarker(int r, int g, int b) { return b > 150 && r < 90 && g < 90; }

// Centre of the marker's pixels inside [x0, x1) x [y0, y1); (-1, -1) when none.
template <typename Pixel>
QPointF MarkerCentre(int x0, int y0, int x1, int y1, Pixel pixel) {
  double sx = 0, sy = 0;
  int n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      int r, g, b;
      pixel(x, y, r, g, b);
      if (IsMarker(r, g, b)) {
        sx += x + 0.5;
        sy += y + 0.5;
        ++n;
      }
    }
  return n >= 4 ? QPointF(sx / n, sy / n) : QPointF(-1, -1);
}

class PreviewGoldenTest : public testing::ControllerTest {
 protected:
  void SetUp() override {
    if (!fs::exists(kDemoSet)) GTEST_SKIP() << "the demo set is not built";
    ControllerTest::SetUp();
    FScreen = std::make_unique<TPreviewScreen>(nullptr, Ctl());
  }
  std::unique_ptr<TPreviewScreen> FScreen;
};

TEST_F(PreviewGoldenTest, MarkerLandsAtTheSamePlaceOnPreviewAndComposedPage) {
  Result<TPSVersionList> versions = LoadPSVersions(std::string(TESSARO_SOURCE_DIR) + "/resources/PSCfg.ini");
  ASSERT_TRUE(versions.ok());
  const int versionIndex = FindPSVersion(*versions, std::string(automation::kEditorVersion));
  ASSERT_GE(versionIndex, 0);
  Result<std::unique_ptr<TSetNode>> read = ReadSetFile(kDemoSet.string(), TDiskSetFileSource());
  ASSERT_TRUE(read.ok()) << read.message();
  TSetNode& set = **read;
  int index = -1;
  for (size_t i = 0; i < set.PreviewTemps.size() && index < 0; ++i) {
    const TTempNode& t = *set.PreviewTemps[i];
    if (t.Spread == 0 && !t.Placements.empty() && t.Placements[0]->SlotNumber >= 1 &&
        t.Placements[0]->SlotNumber <= static_cast<int>(t.Slots.size()) &&
        t.Slots[t.Placements[0]->SlotNumber - 1]->PhotoIndex >= 0)
      index = static_cast<int>(i);
  }
  ASSERT_GE(index, 0) << "no single-page template with a filled first slot";
  TTempNode& temp = *set.PreviewTemps[index];
  const TPlacement& placement = *temp.Placements[0];
  const int slotIndex = placement.SlotNumber - 1;
  TSlotNode& slot = *temp.Slots[slotIndex];

  // A grey photo with a blue block right of and above its centre.
  const std::string photoFile = FDir / "golden/photo.jpg";
  MakeDirectories(FDir / "golden");
  Image photo;
  ASSERT_TRUE(photo.Create(1200, 900, Rgba8{128, 128, 128, 255}).ok());
  for (int y = 270; y < 330; ++y)
    for (int x = 750; x < 810; ++x) photo.At(x, y) = Rgba8{0, 0, 255, 255};
  ASSERT_TRUE(WriteImageFile(photoFile, photo).ok());
  set.Photos[slot.PhotoIndex]->FileName = photoFile;
  slot.ScaleX = 1.2f;
  slot.ScaleY = 1.3f;
  slot.OffsetX = 0.08f;
  slot.OffsetY = -0.06f;
  slot.Angle = 25;
  slot.FlipH = true;
  slot.FlipV = false;
  slot.Effects.clear();

  // The composed preview page.
  TAppSettings settings;
  TMessageQueue queue;
  TEngineContext context;
  context.Versions = &*versions;
  context.Settings = &settings;
  context.Queue = &queue;
  context.TempDir = FDir / "work/";
  MakeDirectories(context.TempDir);
  TComposeJob job;
  job.PreviewMode = true;
  job.SetNode = &set;
  job.TemplateIndex = index;
  job.PreviewFile = FDir / "golden/preview.jpg";
  job.PSVersionIndex = versionIndex;
  job.CancelEffects = true;
  TComposeEngine engine(context, 1);
  const TComposeReport report = engine.RunBatch({job}, {})[0];
  ASSERT_EQ(report.State, TComposeState::Done) << report.Message;
  Result<DecodedImage> page = DecodeImageFile(report.PreviewWritten);
  ASSERT_TRUE(page.ok()) << page.message();
  const Image& p = page->pixels;
  const double fx = double(p.width()) / kReferencePageWidth, fy = double(p.height()) / kReferencePageHeight;
  const double slotW = (placement.Rect.Right - placement.Rect.Left) * fx;
  const double slotH = (placement.Rect.Bottom - placement.Rect.Top) * fy;
  const double slotCx = (placement.Rect.Left + placement.Rect.Right) / 2 * fx;
  const double slotCy = (placement.Rect.Top + placement.Rect.Bottom) / 2 * fy;
  const QPointF composed = MarkerCentre(
      std::max(0, int(placement.Rect.Left * fx)), std::max(0, int(placement.Rect.Top * fy)),
      std::min(p.width(), int(placement.Rect.Right * fx) + 1),
      std::min(p.height(), int(placement.Rect.Bottom * fy) + 1), [&](int x, int y, int& r, int& g, int& b) {
        const Rgba8 c = p.At(x, y);
        r = c.r, g = c.g, b = c.b;
      });
  ASSERT_GE(composed.x(), 0) << "the marker is not in the composed slot";

  // The preview screen.
  FScreen->SelectSlot(temp, slotIndex, photoFile);
  ASSERT_TRUE(FScreen->WaitForPhoto(20000));
  const TSlotWindow w = Ctl().SlotEdit.Window();
  const QImage canvas = FScreen->Canvas()->Render();
  const QPointF shown =
      MarkerCentre(std::max(0, w.Left), std::max(0, w.Top), std::min(canvas.width(), w.Right + 1),
                   std::min(canvas.height(), w.Bottom + 1), [&](int x, int y, int& r, int& g, int& b) {
                     const QRgb c = canvas.pixel(x, y);
                     r = qRed(c), g = qGreen(c), b = qBlue(c);
                   });
  ASSERT_GE(shown.x(), 0) << "the marker is not in the slot window";

  // Both relative to the slot, in slot-window pixels.
  const double ux = (shown.x() - kPreviewCanvasWidth / 2.0) / w.Ws();
  const double uy = (shown.y() - kPreviewCanvasHeight / 2.0) / w.Hs();
  const double vx = (composed.x() - slotCx) / slotW, vy = (composed.y() - slotCy) / slotH;
  EXPECT_NEAR(ux * w.Ws(), vx * w.Ws(), 3.0) << "preview " << ux << ", composed " << vx;
  EXPECT_NEAR(uy * w.Hs(), vy * w.Hs(), 3.0) << "preview " << uy << ", composed " << vy;
  // Mirrored, the marker sits left of the slot's centre line it started right of.
  EXPECT_LT(vx, -0.05);
}

}  // namespace
}  // namespace tessaro
