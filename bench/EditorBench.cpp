// Benchmarks of the in-process editor, driven through the automation
// interface the way the composition procedure drives it. Prints times of one
// run, their ratios, and the peak memory of each part (each part runs in a
// process of its own, so that its peak is its own). Nothing here is a test.
//
//   bench_editor [all|prepare|resize|place|save|spread|cancel][+tuned] [work folder]
//
// "+tuned" first calls TuneMemoryForLargeImages (editor/Editor.h).
//
// resize  a 2400 x 3600 template document with ten alpha channels resized
//         (to print and to preview size);
// place   a 24-megapixel photo placed into a slot (load, copy, paste,
//         resize, rotate, mask) against the plain decode of that photo, with
//         and without a prefetch;
// save    a 2400 x 3600 page flattened and saved as JPEG (and as layers);
// spread  a 48 x 32-inch spread at 300 ppi (14400 x 9600) with ten slots
//         composed and saved, with its peak memory;
// cancel  how long a cancelled resize and a cancelled save take to return.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "base/FileIo.h"
#include "base/Parallel.h"
#include "editor/Automation.h"
#include "editor/Editor.h"
#include "editor/tests/MaskAction.h"
#include "imaging/codecs/Codecs.h"
#include "imaging/psd/Psd.h"

using namespace tessaro;
using namespace tessaro::automation;

namespace {

std::string gFolder = "/tmp/tessaro-editor-bench";

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double Seconds(const std::function<void()>& fn, int repeats = 1) {
  double best = 1e9;
  for (int i = 0; i < repeats; ++i) {
    const double t0 = Now();
    fn();
    best = std::min(best, Now() - t0);
  }
  return best;
}

double PeakMiB() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024.0;
}

template <typename T>
T Must(Result<T> r, const char* what) {
  if (!r.ok()) {
    std::fprintf(stderr, "%s: %s\n", what, r.message().c_str());
    std::exit(1);
  }
  return std::move(r).value();
}
void Must(const Status& s, const char* what) {
  if (!s.ok()) {
    std::fprintf(stderr, "%s: %s\n", what, s.message().c_str());
    std::exit(1);
  }
}

// A photo-like picture: gradients, texture and edges, so that JPEG coding
// costs what it costs on photos.
Image PhotoLike(int w, int h, int seed) {
  Image img;
  Must(img.Create(w, h), "photo");
  ParallelFor(h, 64, [&](int64_t y0, int64_t y1) {
    uint32_t r = uint32_t(seed * 7919 + y0 * 104729);
    for (int64_t y = y0; y < y1; ++y)
      for (int x = 0; x < w; ++x) {
        r = r * 1664525u + 1013904223u;
        const double t = std::sin(x * 0.004 + seed) * std::cos(y * 0.003);
        const int n = int(r >> 28);
        img.At(x, int(y)) = Rgba8{uint8_t(110 + 90 * t + n), uint8_t((x * 200 / w + 30 + n) & 255),
                                  uint8_t((y * 180 / h + 40 + seed * 9) & 255), 255};
      }
  });
  return img;
}

std::string WriteJpeg(const std::string& name, const Image& img, double ppi, int quality = 90) {
  const std::string path = JoinPath(gFolder, name);
  WriteImageOptions o;
  o.jpeg.quality = quality;
  o.ppi = ppi;
  Must(WriteImageFile(path, img, o), "write jpeg");
  return path;
}

// A template document: an opaque background, overlay layers named
// "brivanto" (a frame around the page and a corner ornament), and one alpha
// channel per slot (a feathered rectangle).
std::string WriteTemplate(const std::string& name, int w, int h, double ppi, int slots) {
  PsdDocument d;
  d.width = w;
  d.height = h;
  d.resolution = ppi;
  Must(d.composite.Create(w, h, Rgba8{240, 235, 220, 255}), "composite");
  PsdLayer bg;
  bg.name = "Background";
  bg.bounds = {0, 0, w, h};
  bg.pixels = PhotoLike(w, h, 99);
  d.layers.push_back(std::move(bg));
  const int border = std::max(20, w / 40);
  PsdLayer frame;
  frame.name = "brivanto";
  frame.bounds = {0, 0, w, h};
  Must(frame.pixels.Create(w, h), "frame");
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (x < border || y < border || x >= w - border || y >= h - border)
        frame.pixels.At(x, y) = {90, 60, 30, 230};
  d.layers.push_back(std::move(frame));
  PsdLayer ornament;
  ornament.name = "brivanto";
  ornament.bounds = {w - 4 * border, 0, w, 4 * border};
  Must(ornament.pixels.Create(4 * border, 4 * border, Rgba8{200, 170, 60, 255}), "ornament");
  d.layers.push_back(std::move(ornament));
  const int cols = w >= h ? (slots + 1) / 2 : 2, rows = (slots + cols - 1) / cols;
  const int cw = (w - 2 * border) / cols, ch = (h - 2 * border) / rows;
  for (int i = 0; i < slots; ++i) {
    PsdAlphaChannel a;
    a.name = "photo" + std::to_string(i + 1);
    Must(a.pixels.Create(w, h), "channel");
    const int x0 = border + (i % cols) * cw + cw / 10, y0 = border + (i / cols) * ch + ch / 10;
    const int x1 = x0 + cw * 8 / 10, y1 = y0 + ch * 8 / 10, feather = std::max(4, cw / 40);
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        const int e = std::min({x - x0, x1 - 1 - x, y - y0, y1 - 1 - y});
        a.pixels.At(x, y) = uint8_t(std::min(255, 255 * (e + 1) / feather));
      }
    d.alphaChannels.push_back(std::move(a));
  }
  const std::string path = JoinPath(gFolder, name);
  Must(WriteFileAtomic(path, Must(WritePsd(d), "write template")), "write template file");
  return path;
}

struct Slot {
  IntRect rect;
  std::string channel;
};

// Steps 12 to 19 of the composition procedure for one slot.
void PlaceSlot(Application& app, const DocumentRef& doc, const std::string& photoPath, const Slot& slot,
               double angle) {
  DocumentRef photo = Must(app.Load(photoPath), "load photo");
  const double pw = *photo->Width(), ph = *photo->Height();
  ArtLayerRef l = Must((*photo->ArtLayers())->Item(1), "photo layer");
  Must(photo->SetActiveLayer(l), "active");
  const LayerBounds lb = *l->Bounds();
  Must((*photo->Selection())->SelectAll(), "select all");
  Must(l->Copy(true), "copy");
  Must((*photo->Selection())->Deselect(), "deselect");
  Must(app.SetActiveDocument(doc), "activate");
  Must(doc->Paste(false).status(), "paste");
  Must(photo->Close(kDoNotSaveChanges), "close photo");
  const double sw = slot.rect.Width(), sh = slot.rect.Height();
  const double z = std::max(sw / pw, sh / ph) * 1.05;  // cover the slot
  ArtLayerRef layer = *doc->ActiveLayer();
  const LayerBounds n = *layer->Bounds();
  Must(layer->Resize(100 * z * (lb.right - lb.left) / (n.right - n.left),
                     100 * z * (lb.bottom - lb.top) / (n.bottom - n.top), kAnchorMiddleCenter),
       "resize");
  const double sx = (slot.rect.left + slot.rect.right) / 2.0, sy = (slot.rect.top + slot.rect.bottom) / 2.0;
  Must(layer->Translate(sx - (n.left + n.right) / 2, sy - (n.top + n.bottom) / 2), "translate");
  if (angle != 0) Must(layer->Rotate(-angle, kAnchorMiddleCenter), "rotate");
  Must((*doc->Selection())
           ->Load(Must((*doc->Channels())->Item(slot.channel), "channel"), kSelectionReplace, false),
       "load selection");
  Must(editortest::RevealSelectionAsMask(app), "mask");
  Must((*doc->Selection())->Deselect(), "deselect");
}

Slot SlotOf(int w, int h, int slots, int i) {
  const int border = std::max(20, w / 40);
  const int cols = w >= h ? (slots + 1) / 2 : 2, rows = (slots + cols - 1) / cols;
  const int cw = (w - 2 * border) / cols, ch = (h - 2 * border) / rows;
  const int x0 = border + (i % cols) * cw + cw / 10, y0 = border + (i / cols) * ch + ch / 10;
  return Slot{{x0, y0, x0 + cw * 8 / 10, y0 + ch * 8 / 10}, "photo" + std::to_string(i + 1)};
}

// The input files, written by the "prepare" mode in a process of its own
// so that building them does not count in the peaks measured.
std::string Input(const std::string& name) {
  const std::string path = JoinPath(gFolder, name);
  if (!FileExists(path)) {
    std::fprintf(stderr, "missing %s: run the \"prepare\" mode first\n", path.c_str());
    std::exit(1);
  }
  return path;
}

int Prepare() {
  const double t0 = Now();
  WriteTemplate("template_2400.psd", 2400, 3600, 300, 10);
  WriteJpeg("photo24.jpg", PhotoLike(6000, 4000, 1), 300);
  for (int i = 0; i < 3; ++i) WriteJpeg("p" + std::to_string(i) + ".jpg", PhotoLike(6000, 4000, i), 300);
  WriteJpeg("spread_bg.jpg", PhotoLike(14400, 9600, 5), 300, 85);
  WriteTemplate("spread.psd", 14400, 9600, 300, 10);
  std::printf("prepared the input files in %.1f s\n", Now() - t0);
  return 0;
}

int BenchResize() {
  const std::string path = Input("template_2400.psd");
  auto app = CreateEditorApplication();
  DocumentRef doc;
  const double load = Seconds([&] { doc = Must(app->Load(path), "load"); });
  const double up = Seconds([&] { Must(doc->ResizeImage(3000, 4500, 300, kResampleBicubic), "resize up"); });
  Must(doc->Close(kDoNotSaveChanges), "close");
  doc = Must(app->Load(path), "load");
  const double down = Seconds([&] { Must(doc->ResizeImage(580, 870, 72, kResampleBicubic), "resize down"); });
  std::printf("resize: template 2400 x 3600, 3 layers, 10 alpha channels, %d threads\n", ParallelThreads());
  std::printf("  load template                 %8.1f ms\n", load * 1e3);
  std::printf("  resize to 3000 x 4500         %8.1f ms\n", up * 1e3);
  std::printf("  resize to 580 x 870           %8.1f ms\n", down * 1e3);
  std::printf("  peak memory                   %8.0f MiB\n", PeakMiB());
  return 0;
}

int BenchPlace() {
  const std::string photo = Input("photo24.jpg");
  const std::string templ = Input("template_2400.psd");
  const double decode = Seconds([&] { (void)Must(DecodeImageFile(photo), "decode"); }, 3);
  auto app = CreateEditorApplication();
  DocumentRef doc = Must(app->Load(templ), "template");
  const Slot slot = SlotOf(2400, 3600, 10, 0);
  const double place = Seconds([&] { PlaceSlot(*app, doc, photo, slot, 7.5); }, 3);
  const double placeStraight = Seconds([&] { PlaceSlot(*app, doc, photo, slot, 0); }, 3);
  // The engine hints the next photo while it places the current one.
  app->Prefetch(photo);
  std::this_thread::sleep_for(std::chrono::duration<double>(decode * 1.5));
  const double prefetched = Seconds([&] { PlaceSlot(*app, doc, photo, slot, 7.5); });
  std::printf("place: 6000 x 4000 JPEG photo into a %d x %d slot of a 2400 x 3600 page, %d threads\n",
              slot.rect.Width(), slot.rect.Height(), ParallelThreads());
  std::printf("  plain decode of the photo     %8.1f ms\n", decode * 1e3);
  std::printf("  place, turned 7.5 degrees     %8.1f ms   %.2f x decode\n", place * 1e3, place / decode);
  std::printf("  place, not turned             %8.1f ms   %.2f x decode\n", placeStraight * 1e3,
              placeStraight / decode);
  std::printf("  place after a prefetch        %8.1f ms   %.2f x decode (prefetch hits %lld)\n",
              prefetched * 1e3, prefetched / decode, (long long)GetEditorStatistics(*app).prefetchHits);
  std::printf("  peak memory                   %8.0f MiB\n", PeakMiB());
  return 0;
}

int BenchSave() {
  const std::string photo = Input("photo24.jpg");
  const std::string templ = Input("template_2400.psd");
  auto app = CreateEditorApplication();
  DocumentRef doc = Must(app->Load(templ), "template");
  for (int i = 0; i < 3; ++i) PlaceSlot(*app, doc, photo, SlotOf(2400, 3600, 10, i), 3.0 * i);
  const double flatten = Seconds([&] { (void)Must(FlattenDocument(*doc), "flatten"); }, 3);
  const std::string out = JoinPath(gFolder, "page.jpg");
  const double jpeg12 = Seconds([&] { Must(doc->SaveAs(out, JPEGSaveOptions{12}, true, 2), "save"); }, 3);
  const double jpeg10 = Seconds([&] { Must(doc->SaveAs(out, JPEGSaveOptions{10}, true, 2), "save"); }, 3);
  const Image flat = Must(FlattenDocument(*doc), "flatten");
  JpegEncodeOptions o;
  o.quality = 98;
  o.subsampleChroma = false;
  const double encodeOnly = Seconds([&] { (void)Must(EncodeJpeg(flat, o), "encode"); }, 3);
  const double psd = Seconds(
      [&] { Must(doc->SaveAs(JoinPath(gFolder, "page.psd"), PhotoshopSaveOptions{}, true, 2), "psd"); });
  std::printf("save: 2400 x 3600 page, background + 3 masked photos + 2 overlays, %d threads\n",
              ParallelThreads());
  std::printf("  flatten                       %8.1f ms\n", flatten * 1e3);
  std::printf("  save JPEG quality 12          %8.1f ms   (%.0f KB)\n", jpeg12 * 1e3,
              ReadWholeFile(out)->size() / 1e3);
  std::printf("  save JPEG quality 10          %8.1f ms\n", jpeg10 * 1e3);
  std::printf("  of which encoding (q12)       %8.1f ms   %.2f of the save\n", encodeOnly * 1e3,
              encodeOnly / jpeg12);
  std::printf("  save layered                  %8.1f ms\n", psd * 1e3);
  std::printf("  peak memory                   %8.0f MiB\n", PeakMiB());
  return 0;
}

int BenchSpread(bool layered) {
  const int w = 14400, h = 9600, slots = 10;
  const std::string templ = Input("spread.psd");
  const std::string bg = Input("spread_bg.jpg");
  std::vector<std::string> photos;
  for (int i = 0; i < 3; ++i) photos.push_back(Input("p" + std::to_string(i) + ".jpg"));
  auto app = CreateEditorApplication();
  double tLoad = 0, tBg = 0, tPlace = 0, tSave = 0, tPsd = 0;
  const double t0 = Now();
  DocumentRef doc;
  tLoad = Seconds([&] { doc = Must(app->Load(templ), "template"); });
  const double afterLoad = PeakMiB();
  tBg = Seconds([&] {
    DocumentRef b = Must(app->Load(bg), "background");
    Must(b->ResizeImage(w, h, *b->Resolution(), kResampleBicubic), "resize background");
    Must((*(*b->ArtLayers())->Item(1))->Duplicate(doc, kPlaceAtBeginning).status(), "duplicate");
    Must(b->Close(kDoNotSaveChanges), "close");
  });
  tPlace = Seconds([&] {
    for (int i = 0; i < slots; ++i) {
      if (i + 1 < slots) app->Prefetch(photos[(i + 1) % photos.size()]);
      PlaceSlot(*app, doc, photos[i % photos.size()], SlotOf(w, h, slots, i), i % 3 ? 4.0 * i : 0);
    }
  });
  const EditorStatistics held = GetEditorStatistics(*app);
  const double beforeSave = PeakMiB();
  const std::string out = JoinPath(gFolder, "spread_result.jpg");
  tSave = Seconds([&] { Must(doc->SaveAs(out, JPEGSaveOptions{12}, true, 2), "save"); });
  if (layered)
    tPsd = Seconds([&] {
      Must(doc->SaveAs(JoinPath(gFolder, "spread_result.psd"), PhotoshopSaveOptions{}, true, 2), "psd");
    });
  const double total = Now() - t0;
  std::printf("spread: 14400 x 9600 at 300 ppi, 10 slots of 24-megapixel photos, %d threads\n",
              ParallelThreads());
  std::printf("  load template                 %8.1f s   peak %6.0f MiB\n", tLoad, afterLoad);
  std::printf("  background picture            %8.1f s\n", tBg);
  std::printf("  place 10 photos               %8.1f s   (%.2f s a photo)\n", tPlace, tPlace / slots);
  std::printf("  document holds                %8.0f MiB  (layers, masks, channels, clipboard)\n",
              held.layerBytes / 1048576.0);
  std::printf("  peak before saving            %8.0f MiB\n", beforeSave);
  std::printf("  save JPEG quality 12          %8.1f s   (%.1f MB)\n", tSave,
              ReadWholeFile(out)->size() / 1e6);
  if (layered)
    std::printf("  save layered                  %8.1f s   (%.1f MB)\n", tPsd,
                ReadWholeFile(JoinPath(gFolder, "spread_result.psd"))->size() / 1e6);
  std::printf("  total                         %8.1f s\n", total);
  std::printf("  peak memory                   %8.0f MiB\n", PeakMiB());
  return 0;
}

// Starts `work` on a thread, requests a cancel after `delay` and reports how
// long the call took to return after the request.
void CancelLatency(Application& app, const char* what, double delay, const std::function<Status()>& work) {
  Status result;
  double returned = 0;
  std::thread t([&] {
    result = work();
    returned = Now();
  });
  std::this_thread::sleep_for(std::chrono::duration<double>(delay));
  const double requested = Now();
  app.RequestCancel();
  t.join();
  app.ClearCancel();
  std::printf("  %-30s %8.1f ms after the request (%s)\n", what, (returned - requested) * 1e3,
              result.ok() ? "finished first" : result.message().c_str());
}

int BenchCancel() {
  const std::string templ = Input("template_2400.psd");
  auto app = CreateEditorApplication();
  std::printf("cancel: how soon a cancelled call returns, %d threads\n", ParallelThreads());
  DocumentRef doc = Must(app->Load(templ), "template");
  CancelLatency(*app, "resize to 14400 x 21600", 0.3,
                [&] { return doc->ResizeImage(14400, 21600, 300, kResampleBicubic); });
  Must(doc->ResizeImage(7200, 10800, 300, kResampleBicubic), "resize");
  CancelLatency(*app, "flatten + JPEG of 7200 x 10800", 0.1,
                [&] { return doc->SaveAs(JoinPath(gFolder, "c.jpg"), JPEGSaveOptions{12}, true, 2); });
  const double flatten = Seconds([&] { (void)FlattenDocument(*doc); });
  CancelLatency(*app, "JPEG, during the encoding", flatten + 0.15,
                [&] { return doc->SaveAs(JoinPath(gFolder, "c.jpg"), JPEGSaveOptions{12}, true, 2); });
  CancelLatency(*app, "layered, during the writing", flatten + 0.5,
                [&] { return doc->SaveAs(JoinPath(gFolder, "c.psd"), PhotoshopSaveOptions{}, true, 2); });
  CancelLatency(*app, "rotate the 7200 x 10800 layer", 0.1,
                [&] { return (*(*doc->ArtLayers())->Item(3))->Rotate(13, kAnchorMiddleCenter); });
  return 0;
}

int RunChild(const char* self, const std::string& mode) {
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    execl(self, self, mode.c_str(), gFolder.c_str(), (char*)nullptr);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  std::printf("\n");
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "all";
  if (argc > 2) gFolder = argv[2];
  MakeDirectories(gFolder);
  const std::string tunedSuffix = "+tuned";
  if (mode.size() > tunedSuffix.size() && mode.ends_with(tunedSuffix)) {
    TuneMemoryForLargeImages();
    mode.resize(mode.size() - tunedSuffix.size());
    std::printf("[allocator tuned for large images]\n");
  }
  if (mode == "prepare") return Prepare();
  if (mode == "resize") return BenchResize();
  if (mode == "place") return BenchPlace();
  if (mode == "save") return BenchSave();
  if (mode == "spread") return BenchSpread(false);
  if (mode == "spread-layered") return BenchSpread(true);
  if (mode == "cancel") return BenchCancel();
  if (mode != "all") {
    std::fprintf(stderr,
                 "usage: %s [all|prepare|resize|place|save|spread|spread-layered|cancel][+tuned] [folder]\n",
                 argv[0]);
    return 2;
  }
  double load1 = 0, load5 = 0, load15 = 0;
  if (FILE* f = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(f, "%lf %lf %lf", &load1, &load5, &load15) != 3) load1 = -1;
    std::fclose(f);
  }
  std::printf("load average at start: %.2f %.2f %.2f\n\n", load1, load5, load15);
  int rc = 0;
  for (const char* m :
       {"resize", "place", "place+tuned", "save", "save+tuned", "cancel", "spread", "spread+tuned"})
    rc |= RunChild(argv[0], m);
  return rc;
}
