// Thumbnail list benchmark, reported as figures of one run on this machine:
//  - 2,000 photo rows added with each thumbnail decoded on the GUI thread
//    when its row is added, against the same rows after a batch prefetch
//    (decoded on every core, handed out in order);
//  - the time to repaint the list's viewport at 60 scroll positions;
//  - thumbnail bytes and resident memory per row;
//  - deleting the first of 2,000 rows (every later row moves up).
// usage: bench_controls [ROWS] [DISTINCT_PHOTOS]
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "bench/QtBenchSupport.h"
#include "controls/MyListbox.h"

using namespace tessaro;

namespace {

long ResidentKb() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * 4;
}

// A 2400 x 1600 photo-like JPEG: shading, shapes and noise.
void WritePhoto(const QString& path, int seed) {
  QImage image(2400, 1600, QImage::Format_RGB32);
  QPainter painter(&image);
  bench::PaintSky(painter, 2400, 1600, seed);
  QRandomGenerator random(seed);
  for (int i = 0; i < 40; ++i) {
    painter.setBrush(QColor::fromHsv(random.bounded(360), 140, 60 + random.bounded(180)));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(random.bounded(2400), random.bounded(1600)), 40 + random.bounded(300),
                        40 + random.bounded(200));
  }
  painter.end();
  for (int y = 0; y < image.height(); y += 2) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      int n = int(random.bounded(9)) - 4;
      QRgb p = line[x];
      line[x] =
          qRgb(qBound(0, qRed(p) + n, 255), qBound(0, qGreen(p) + n, 255), qBound(0, qBlue(p) + n, 255));
    }
  }
  image.save(path, "JPEG", 90);
}

void Configure(TMyListBox& list) {
  bench::ConfigurePhotoList(list);
  list.resize(176, 600);
}

struct Times {
  double wall, guiCpu;
};

Times AddAll(TMyListBox& list, const std::vector<std::string>& files, bool prefetch) {
  double start = bench::Now(), cpu = bench::ThreadCpu();
  if (prefetch) list.PrefetchThumbnails(files);
  int n = 0;
  for (const std::string& f : files) {
    if (!list.AddRow({std::to_string(++n), f.substr(f.rfind('/') + 1), "0", "删除"}, f, nullptr, false))
      std::fprintf(stderr, "refused %s\n", f.c_str());
  }
  return Times{bench::Now() - start, bench::ThreadCpu() - cpu};
}

}  // namespace

int main(int argc, char** argv) {
  bench::UseOffscreenPlatformByDefault();
  QApplication app(argc, argv);
  const int rows = bench::IntArg(argc, argv, 1, 2000);
  const int distinct = bench::IntArg(argc, argv, 2, 40);
  QTemporaryDir dir;
  std::printf("writing %d photos of 2400 x 1600 ...\n", distinct);
  for (int i = 0; i < distinct; ++i) WritePhoto(dir.filePath(QString("photo%1.jpg").arg(i)), i);
  // Every row its own path (links to the photos), so every row decodes.
  std::vector<std::string> files;
  for (int i = 0; i < rows; ++i) {
    QString link = dir.filePath(QString("row%1.jpg").arg(i));
    QFile::link(dir.filePath(QString("photo%1.jpg").arg(i % distinct)), link);
    files.push_back(link.toStdString());
  }

  long before = ResidentKb();
  TMyListBox sequential;
  Configure(sequential);
  Times tSequential = AddAll(sequential, files, false);
  long after = ResidentKb();
  TMyListBox batched;
  Configure(batched);
  Times tBatched = AddAll(batched, files, true);

  size_t thumbBytes = 0;
  for (int i = 0; i < batched.Count(); ++i) thumbBytes += batched.GetRow(i)->Thumb.toImage().sizeInBytes();

  batched.show();
  app.processEvents();
  QScrollBar* bar = batched.verticalScrollBar();
  const int frames = 60;
  double tScroll = bench::Now(), cScroll = bench::ThreadCpu();
  for (int i = 0; i < frames; ++i) {
    bar->setValue(int(int64_t(bar->maximum()) * i / (frames - 1)));
    batched.viewport()->repaint();
  }
  tScroll = bench::Now() - tScroll;
  cScroll = bench::ThreadCpu() - cScroll;

  double tDelete = bench::Now();
  batched.DeleteRow(0);
  tDelete = bench::Now() - tDelete;

  std::printf("rows: %d (%d distinct photos, 2400 x 1600 JPEG), cores: %d\n", rows, distinct,
              QThread::idealThreadCount());
  std::printf("add, decoding on the GUI thread row by row: %.2f s wall, GUI thread CPU %.2f ms/row\n",
              tSequential.wall, 1000 * tSequential.guiCpu / rows);
  std::printf("add after a batch prefetch on every core:  %.2f s wall, GUI thread CPU %.2f ms/row\n",
              tBatched.wall, 1000 * tBatched.guiCpu / rows);
  std::printf("  wall-clock ratio %.2fx, GUI-thread CPU ratio %.1fx\n", tSequential.wall / tBatched.wall,
              tSequential.guiCpu / tBatched.guiCpu);
  std::printf("repaint while scrolling: %.2f ms wall, %.2f ms GUI CPU per position (%d positions)\n",
              1000 * tScroll / frames, 1000 * cScroll / frames, frames);
  std::printf("thumbnail bytes per row: %.1f KB; resident memory per row: %.1f KB\n",
              thumbBytes / 1024.0 / rows, double(after - before) / rows);
  std::printf("delete the first of %d rows: %.2f ms\n", rows, 1000 * tDelete);
  return 0;
}
