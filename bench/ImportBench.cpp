// Photo import benchmark: camera-size JPEGs imported into the photo list
// through the controller's import command, the way the window does it (the
// thumbnails of the chosen files decoded on every core first, the rows then
// added in order), while a 10 ms timer on the GUI thread measures how long
// the window could not repaint. Run once with JPEGs that carry an EXIF
// thumbnail (what cameras write) and once with JPEGs that do not (the
// thumbnail then comes from a DCT-scaled decode of the whole picture).
// Figures of one run on this machine; on a shared machine compare the GUI
// thread's CPU time rather than the wall clock.
// usage: bench_import [PHOTOS] [DISTINCT]   (200 photos of 6000 x 4000, 4 distinct pictures)
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "base/FileIo.h"
#include "bench/QtBenchSupport.h"
#include "controls/MyListBoxRows.h"
#include "controls/MyListbox.h"
#include "imaging/codecs/Codecs.h"
#include "imaging/ops/Resample.h"
#include "model/Controller.h"
#include "model/Lifecycle.h"

using namespace tessaro;

namespace {

// ---- The views the controller draws on, besides the photo list ----

class MemoryRows : public TRowList {
 public:
  bool AddRow(const std::vector<std::string>& texts, const std::string&, bool checked) override {
    FRows.push_back({texts, checked});
    return true;
  }
  void DeleteRow(int row) override {
    if (row >= 0 && row < Count()) FRows.erase(FRows.begin() + row);
  }
  void Clear() override { FRows.clear(); }
  void SetCellText(int row, int col, const std::string& text) override {
    if (row < 0 || row >= Count() || col < 0) return;
    auto& t = FRows[size_t(row)].Texts;
    if (size_t(col) >= t.size()) t.resize(size_t(col) + 1);
    t[size_t(col)] = text;
  }
  std::string GetCellText(int row, int col) const override {
    if (row < 0 || row >= Count() || col < 0 || size_t(col) >= FRows[size_t(row)].Texts.size()) return {};
    return FRows[size_t(row)].Texts[size_t(col)];
  }
  void SetSelected(int row, bool selected) override { FSelected = selected ? row : -1; }
  int SelectedIndex() const override { return FSelected; }
  bool GetChecked(int row) const override { return row >= 0 && row < Count() && FRows[size_t(row)].Checked; }
  void SetChecked(int row, bool checked) override {
    if (row >= 0 && row < Count()) FRows[size_t(row)].Checked = checked;
  }
  int Count() const override { return int(FRows.size()); }

 private:
  struct Row {
    std::vector<std::string> Texts;
    bool Checked;
  };
  std::vector<Row> FRows;
  int FSelected = -1;
};

// The file dialog answers with the prepared files; as in the window, the
// chosen files' thumbnails are handed to the photo list's decoders first.
class ChosenFiles : public TDialogService {
 public:
  ChosenFiles(TMyListBoxRows& photos, std::vector<std::string> files)
      : FPhotos(photos), FFiles(std::move(files)) {}
  void ShowInfo(const std::string& text) override { std::fprintf(stderr, "info: %s\n", text.c_str()); }
  TAnswer AskYesNo(const std::string&, const std::string&) override { return TAnswer::No; }
  TAnswer AskYesNoCancel(const std::string&, const std::string&) override { return TAnswer::No; }
  std::string SaveSetFileName(const std::string&, const std::string&) override { return {}; }
  std::vector<std::string> OpenSetFileNames() override { return {}; }
  std::vector<std::string> OpenPictureFileNames(int) override {
    FPhotos.Prefetch(FFiles);
    return FFiles;
  }
  TTemplateBrowserResult BrowseTemplates(TSizeNode&, TSizeList&) override { return {}; }
  void EditCustomSizes(TSizeList&) override {}
  bool AskOkCancel(const std::string&, const std::string&) override { return false; }
  std::string SaveResultFileName(const std::string&, const std::string&, const std::string&) override {
    return {};
  }
  std::string ChooseFolder(const std::string&) override { return {}; }

 private:
  TMyListBoxRows& FPhotos;
  std::vector<std::string> FFiles;
};

// The progress window lets the window's events run after each step, as the
// real one does when it repaints.
class PumpingProgress : public TProgressService {
 public:
  void Show(int) override {}
  void SetInfo(const std::string&) override {}
  void Step() override { QCoreApplication::processEvents(); }
  void Close() override {}
  void ProcessMessages() override { QCoreApplication::processEvents(); }
};

class NoPreview : public TPreviewService {
 public:
  void SelectSlot(TTempNode&, int, const std::string&) override {}
  void LoadSlotPhoto(TTempNode&, int, const std::string&) override {}
  void SetSlotButtonHoldsPhoto(int, bool) override {}
  void ShowTemplateSlots(const TTempNode*) override {}
  void UncheckSlotButtons() override {}
  void ShowTemplatePicture(const std::string&) override {}
  void ShowTemplatePage() override {}
  void ResetSampleAndSlotButtons() override {}
  void ShowSample(const std::string&) override {}
  TSlotWindowGeometry SlotWindowGeometry() const override { return {}; }
};

class NoWindow : public TWindowService {
 public:
  void ShowLeftPage(TLeftPage) override {}
  void SetSetInfo(const std::string&) override {}
  void DrawSizeCaption(const std::string&) override {}
  void SetSizeMenu(const std::vector<TSizeMenuItem>&) override {}
  void ClearStatLargeView() override {}
  void PlayCompletionTune(const std::string&) override {}
  void StopCompletionTune() override {}
};

class NoDesktop : public TDesktopService {
 public:
  void OpenFolder(const std::string&) override {}
  Status OpenInImageEditor(const std::string&, const std::string&) override { return Status::Ok(); }
};

class NoPower : public TPowerService {
 public:
  Status PowerOff() override { return Status::Error("not in a benchmark"); }
};

// ---- Photos ----

// A 6000 x 4000 photo-like picture: a sky gradient, soft discs and grain.
Image PaintPhoto(int seed) {
  Image image;
  if (!image.Create(6000, 4000).ok()) return image;
  std::mt19937 random(static_cast<unsigned>(seed));
  struct Disc {
    float X, Y, R;
    Rgba8 C;
  };
  std::vector<Disc> discs;
  for (int i = 0; i < 30; ++i)
    discs.push_back({float(random() % 6000), float(random() % 4000), float(100 + random() % 700),
                     Rgba8{uint8_t(random()), uint8_t(random()), uint8_t(random()), 255}});
  for (int y = 0; y < 4000; ++y) {
    Rgba8* row = image.Row(y);
    const float t = y / 4000.0f;
    for (int x = 0; x < 6000; ++x) {
      int r = int(60 + 150 * (1 - t) + (seed * 40) % 60), g = int(90 + 120 * (1 - t)), b = int(200 - 120 * t);
      for (const Disc& d : discs) {
        const float dx = x - d.X, dy = y - d.Y;
        if (dx * dx + dy * dy < d.R * d.R) {
          r = (r + d.C.r) / 2;
          g = (g + d.C.g) / 2;
          b = (b + d.C.b) / 2;
        }
      }
      const int n = int(random() % 13) - 6;
      row[x] = Rgba8{uint8_t(std::clamp(r + n, 0, 255)), uint8_t(std::clamp(g + n, 0, 255)),
                     uint8_t(std::clamp(b + n, 0, 255)), 255};
    }
  }
  return image;
}

// Writes the picture as a camera would (quality 92, with a 160 x 120 EXIF
// thumbnail) or without the thumbnail.
bool WritePhoto(const Image& image, const std::string& path, bool exifThumbnail) {
  JpegEncodeOptions options;
  options.quality = 92;
  if (exifThumbnail) {
    auto small = ResizeImage(image, 160, 107);
    if (!small.ok()) return false;
    JpegEncodeOptions thumbOptions;
    thumbOptions.quality = 80;
    auto thumb = EncodeJpeg(*small, thumbOptions);
    if (!thumb.ok()) return false;
    options.exifThumbnail = *thumb;
  }
  auto bytes = EncodeJpeg(image, options, 300);
  return bytes.ok() && WriteFileAtomic(path, *bytes).ok();
}

struct RunFigures {
  double Wall = 0, GuiCpu = 0, LongestStall = 0;
  int Rows = 0, Ticks = 0;
};

RunFigures ImportRun(const std::vector<std::string>& files, const std::string& workDir) {
  QWidget window;
  window.resize(400, 700);
  TMyListBox photoList(&window);
  bench::ConfigurePhotoList(photoList);
  photoList.setGeometry(0, 34, 181, 507);
  window.show();
  QCoreApplication::processEvents();

  TMyListBoxRows photos(photoList);
  MemoryRows temps, sets, stats;
  ChosenFiles dialogs(photos, files);
  PumpingProgress progress;
  NoPreview preview;
  NoWindow windowService;
  TSystemClock clock;
  NoDesktop desktop;
  NoPower power;
  TViews views{temps, photos, sets, stats, dialogs, progress, preview, windowService, clock, desktop, power};
  TMainController controller(views, {workDir, workDir + "/tmp/", workDir + "/cfg.ini"});
  controller.Start();

  // The window's own repaint, and the stall meter: gaps between 10 ms ticks.
  RunFigures f;
  QElapsedTimer sinceTick;
  QTimer meter;
  meter.setInterval(10);
  QObject::connect(&meter, &QTimer::timeout, [&] {
    f.LongestStall = std::max(f.LongestStall, sinceTick.nsecsElapsed() / 1e6);
    sinceTick.restart();
    ++f.Ticks;
    photoList.viewport()->update();
  });

  QElapsedTimer wall;
  wall.start();
  sinceTick.start();
  meter.start();
  const double cpu = bench::ThreadCpu();
  controller.ImageButtonPhotoClick();
  // Rows are in; let the last decodes and repaints land.
  QCoreApplication::processEvents();
  f.GuiCpu = bench::ThreadCpu() - cpu;
  f.Wall = wall.nsecsElapsed() / 1e9;
  meter.stop();
  f.Rows = photos.Count();
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  bench::UseOffscreenPlatformByDefault();
  QApplication app(argc, argv);
  const int count = bench::IntArg(argc, argv, 1, 200, 1);
  const int distinct = bench::IntArg(argc, argv, 2, 4, 1);
  QTemporaryDir dir;
  const std::string root = dir.path().toStdString();

  std::printf("painting and encoding %d distinct 6000 x 4000 pictures, with and without EXIF thumbnail ...\n",
              distinct);
  std::fflush(stdout);
  for (int i = 0; i < distinct; ++i) {
    const Image image = PaintPhoto(i);
    for (bool exif : {true, false}) {
      const std::string path = root + (exif ? "/exif" : "/plain") + std::to_string(i) + ".jpg";
      if (!WritePhoto(image, path, exif)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
      }
    }
  }
  std::printf("photos: %d of 6000 x 4000 (JPEG quality 92, %.1f MB each), cores: %d, load average: ", count,
              QFile(QString::fromStdString(root + "/plain0.jpg")).size() / 1e6, QThread::idealThreadCount());
  if (FILE* f = std::fopen("/proc/loadavg", "r")) {
    char line[64] = {};
    if (std::fgets(line, sizeof line, f)) std::printf("%s", line);
    std::fclose(f);
  }

  for (bool exif : {true, false}) {
    // Every photo its own file name (links to the distinct pictures), so
    // every row decodes its own thumbnail.
    const std::string folder = root + (exif ? "/with-exif" : "/without-exif");
    MakeDirectories(folder);
    std::vector<std::string> files;
    for (int i = 0; i < count; ++i) {
      const std::string link = folder + "/IMG_" + std::to_string(1000 + i) + ".jpg";
      const std::string target = root + (exif ? "/exif" : "/plain") + std::to_string(i % distinct) + ".jpg";
      QFile::link(QString::fromStdString(target), QString::fromStdString(link));
      files.push_back(link);
    }
    const std::string work = folder + "-work";
    MakeDirectories(work + "/tmp");
    const RunFigures f = ImportRun(files, work);
    std::printf(
        "%-22s %d rows: %.1f ms/photo wall, GUI thread CPU %.2f ms/photo, longest GUI stall %.0f ms (%d "
        "ticks)\n",
        exif ? "with EXIF thumbnail:" : "without EXIF thumbnail:", f.Rows, 1000 * f.Wall / count,
        1000 * f.GuiCpu / count, f.LongestStall, f.Ticks);
  }
  return 0;
}
