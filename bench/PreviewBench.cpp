// Preview screen benchmark, reported as figures of one run on this machine:
//  - repaint of the canvas per frame while the handle frame drags a
//    24-megapixel photo (mouse move plus an immediate repaint), mean and 95th
//    percentile;
//  - switching back to a slot whose photo was shown before (selection to the
//    repainted canvas);
//  - the first display of a 24-megapixel JPEG (selection until the picture is
//    shown) against decoding the same file at the size the screen asks for,
//    as a ratio.
// usage: bench_preview [FRAMES] [RUNS]
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/QtBenchSupport.h"
#include "imaging/codecs/Codecs.h"
#include "model/Controller.h"
#include "model/tests/Fakes.h"
#include "preview/PreviewScreen.h"

using namespace tessaro;
using namespace tessaro::testing;

namespace {

// A 6000 x 4000 photo-like JPEG: shading, shapes and noise.
void WritePhoto(const std::string& path, int seed) {
  QImage image(6000, 4000, QImage::Format_RGB32);
  QPainter painter(&image);
  bench::PaintSky(painter, 6000, 4000, seed);
  QRandomGenerator random(seed);
  painter.setPen(Qt::NoPen);
  for (int i = 0; i < 60; ++i) {
    painter.setBrush(QColor::fromHsv(random.bounded(360), 140, 60 + random.bounded(180)));
    painter.drawEllipse(random.bounded(6000), random.bounded(4000), 200 + random.bounded(1500),
                        200 + random.bounded(1500));
  }
  painter.end();
  for (int y = 0; y < image.height(); y += 3) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); x += 3) line[x] ^= random.bounded(16) * 0x010101;
  }
  image.save(QString::fromStdString(path), "JPEG", 90);
}

double Percentile(std::vector<double> v, double q) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(q * (v.size() - 1) + 0.5))];
}

double Mean(const std::vector<double>& v) {
  double s = 0;
  for (double x : v) s += x;
  return v.empty() ? 0 : s / v.size();
}

struct Bench {
  FakeRowList temps{4}, photos{4}, sets{2}, stats{5};
  FakeDialogs dialogs;
  FakeProgress progress;
  FakePreview preview;
  FakeWindow window;
  FakeClock clock;
  FakeDesktop desktop;
  FakePower power;
  TViews views{temps, photos, sets, stats, dialogs, progress, preview, window, clock, desktop, power};
};

}  // namespace

int main(int argc, char** argv) {
  bench::UseOffscreenPlatformByDefault();
  QApplication app(argc, argv);
  const int frames = bench::IntArg(argc, argv, 1, 200, 10);
  const int runs = bench::IntArg(argc, argv, 2, 5, 1);

  test::TempFolder dir;
  const std::string a = dir / "a.jpg", b = dir / "b.jpg";
  std::printf("writing two 6000 x 4000 JPEGs...\n");
  WritePhoto(a, 1);
  WritePhoto(b, 2);

  Bench bench;
  TControllerPaths paths{dir / "app", dir / "work/", dir / "cfg/cfg.ini"};
  MakeDirectories(dir / "app");
  TMainController ctl(bench.views, paths);
  ctl.Start();
  // One template of two portrait slots on a 10 x 8 inch page.
  TSetNode& set = *ctl.CurrentSet();
  auto temp = std::make_unique<TTempNode>();
  temp->Width = 10;
  temp->Height = 8;
  temp->SizeUnit = kUnitInch;
  for (int i = 0; i < 2; ++i) {
    auto slot = std::make_unique<TSlotNode>();
    slot->SetEmptyTransform();
    slot->PhotoIndex = i;
    temp->Slots.push_back(std::move(slot));
    temp->Placements.push_back(std::make_unique<TPlacement>(TPlacement{i + 1, "", {100, 200, 1000, 2800}}));
    auto photo = std::make_unique<TPhotoInfoNode>();
    photo->FileName = i == 0 ? a : b;
    set.Photos.push_back(std::move(photo));
  }
  set.PreviewTemps.push_back(std::move(temp));
  ctl.CurTemp = 0;

  auto screen = std::make_unique<TPreviewScreen>(nullptr, ctl);
  // Passes the controller's drawing calls on to the screen, as the window does.
  struct Service : FakePreview {
    TPreviewScreen* screen = nullptr;
    void SelectSlot(TTempNode& t, int s, const std::string& f) override { screen->SelectSlot(t, s, f); }
    void SlotPhotoChanged() override { screen->SlotPhotoChanged(); }
  };
  Service service;
  service.screen = screen.get();
  bench.preview.Forward = &service;
  screen->show();
  app.processEvents();

  // First display against a decode at the screen's size.
  std::vector<double> firstDisplay, screenDecode, selectPart;
  for (int r = 0; r < runs; ++r) {
    screen = std::make_unique<TPreviewScreen>(nullptr, ctl);  // an empty cache
    service.screen = screen.get();
    screen->show();
    app.processEvents();
    set.PreviewTemps[0]->Slots[0]->SetEmptyTransform();
    const double t0 = bench::Now();
    ctl.SelectSlot(0);
    selectPart.push_back(bench::Now() - t0);
    screen->WaitForPhoto(60000);
    screen->Canvas()->repaint();
    firstDisplay.push_back(bench::Now() - t0);
    const TRectF rect = ctl.SlotEdit.DestRect;
    DecodeOptions options;
    options.minWidth = static_cast<int>(std::ceil(rect.Width()));
    options.minHeight = static_cast<int>(std::ceil(rect.Height()));
    const double t1 = bench::Now();
    Result<DecodedImage> decoded = DecodeImageFile(a, options);
    screenDecode.push_back(bench::Now() - t1);
    if (!decoded.ok()) std::printf("decode failed: %s\n", decoded.message().c_str());
    if (r == 0)
      std::printf("screen asks for %d x %d; decoded %d x %d\n", options.minWidth, options.minHeight,
                  screen->DecodedSize().width(), screen->DecodedSize().height());
  }

  // Dragging: mouse moves through the canvas's routing, each repainted at once.
  TImage32* canvas = screen->Canvas();
  const TRectF r0 = ctl.SlotEdit.DestRect;
  QPointF p((r0.Left + r0.Right) / 2, (r0.Top + r0.Bottom) / 2);
  auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent e(type, at, canvas->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(canvas, &e);
  };
  send(QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
  std::vector<double> frameTimes;
  for (int i = 0; i < frames; ++i) {
    const QPointF at = p + QPointF(40 * std::sin(i / 10.0), 30 * std::cos(i / 13.0));
    const double t0 = bench::Now();
    send(QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton);
    canvas->repaint();
    frameTimes.push_back(bench::Now() - t0);
  }
  send(QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);

  // Switching back to a slot shown before.
  ctl.SelectSlot(1);
  screen->WaitForPhoto(60000);
  std::vector<double> switchBack;
  for (int r = 0; r < runs; ++r) {
    const int slot = r % 2 == 0 ? 0 : 1;
    const double t0 = bench::Now();
    ctl.SelectSlot(slot);
    screen->WaitForPhoto(60000);
    canvas->repaint();
    switchBack.push_back(bench::Now() - t0);
  }

  const double ratio = Mean(firstDisplay) / std::max(1e-9, Mean(screenDecode));
  std::printf("drag repaint per frame: mean %.2f ms, p95 %.2f ms over %d frames (photo 6000 x 4000)\n",
              Mean(frameTimes) * 1e3, Percentile(frameTimes, 0.95) * 1e3, frames);
  std::printf("switch back to a shown slot: mean %.2f ms, max %.2f ms over %d runs\n", Mean(switchBack) * 1e3,
              Percentile(switchBack, 1.0) * 1e3, runs);
  std::printf(
      "first display %.1f ms (min %.1f) vs decode at screen size %.1f ms (min %.1f): ratio %.2f "
      "(of the minima %.2f); the GUI thread's part before the decode: %.1f ms\n",
      Mean(firstDisplay) * 1e3, Percentile(firstDisplay, 0) * 1e3, Mean(screenDecode) * 1e3,
      Percentile(screenDecode, 0) * 1e3, ratio,
      Percentile(firstDisplay, 0) / std::max(1e-9, Percentile(screenDecode, 0)), Mean(selectPart) * 1e3);
  screen.reset();
  return 0;
}
