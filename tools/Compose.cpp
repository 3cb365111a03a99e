// tessaro-cli compose SET.cys... --out DIR: composes every template of the
// given sets into DIR exactly as the batch result command of the window
// does (a folder per set, "<n>_<set caption>", holding
// "<n>_<caption>_<m>_<template folder><size caption>.jpg|.psd"), the set
// caption being the set file's name without extension. With --preview the
// preview versions are composed instead, as JPEGs of the same names.
// --jobs N (default: the number of cores) is a thread budget: N templates
// compose at once, each on one thread with its own editor, and when fewer
// than N are left the spare threads help inside the ones still composing.
//
// Exit codes: 0 everything composed; 1 a set or template failed (the others
// were still composed); 2 bad usage; 3 the editor cannot be used (no version
// table beside the program, or no entry for the editor); 130 cancelled
// (Ctrl+C; no partial file is left).
#include "model/Compose.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "base/FileIo.h"
#include "editor/Editor.h"
#include "engine/MyThread.h"
#include "engine/PSVersions.h"
#include "model/Lifecycle.h"
#include "model/SetFile.h"
#include "model/func.h"
#include "tools/Commands.h"

namespace tessaro::cli {
namespace {

volatile sig_atomic_t gInterrupted = 0;
void OnInterrupt(int) { gInterrupted = 1; }

struct TComposeOptions {
  std::vector<std::string> Sets;
  std::string Out;
  bool Preview = false;
  bool Psd = false;
  bool NoEffects = false;
  std::string Resolution = "auto";
  std::string Watermark;
  int Position = 0;
  int MarginH = 10, MarginV = 10;
  int Transparency = 60;
  int Scale = 100;
  int Jobs = 0;
};

// One template to compose and where it goes.
struct TTask {
  std::string Label;  // for messages: set file and template folder
  std::string Target;
};

// Terminal progress: one bar redrawn in place; otherwise one line per
// finished template.
class TProgressPrinter {
 public:
  TProgressPrinter(size_t total, bool terminal) : FPercent(total, 0), FTerminal(terminal) {}

  void Progress(size_t job, int percent) {
    std::lock_guard<std::mutex> lock(FLock);
    FPercent[job] = percent;
    if (!FTerminal) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - FLastDraw < std::chrono::milliseconds(100) && percent < 100) return;
    FLastDraw = now;
    Draw();
  }
  void Line(const std::string& text) {
    std::lock_guard<std::mutex> lock(FLock);
    if (FTerminal) std::fputs("\r\033[K", stderr);
    std::fprintf(stderr, "%s\n", text.c_str());
    if (FTerminal) Draw();
  }
  void Finished(bool ok) {
    std::lock_guard<std::mutex> lock(FLock);
    ++FDone;
    FFailed += ok ? 0 : 1;
  }
  void End() {
    std::lock_guard<std::mutex> lock(FLock);
    if (FTerminal) std::fputs("\r\033[K", stderr);
  }

 private:
  void Draw() {
    long sum = 0;
    for (int p : FPercent) sum += p;
    const int overall = FPercent.empty() ? 100 : int(sum / long(FPercent.size()));
    constexpr int kWidth = 30;
    std::string bar(size_t(overall * kWidth / 100), '#');
    bar.resize(kWidth, '.');
    std::fprintf(stderr, "\r[%s] %3d%%  %zu/%zu templates", bar.c_str(), overall, FDone, FPercent.size());
    std::fflush(stderr);
  }

  std::mutex FLock;
  std::vector<int> FPercent;
  size_t FDone = 0, FFailed = 0;
  bool FTerminal;
  std::chrono::steady_clock::time_point FLastDraw{};
};

std::string MakeWorkFolder() {
  std::string pattern = SystemTempFolder() + "tessaro-compose-XXXXXX";
  if (!::mkdtemp(pattern.data())) return {};
  return WithTrailingSeparator(pattern);
}

}  // namespace

int Compose(const Args& args) {
  TComposeOptions o;
  CLI::App app{"Compose the templates of set files into print files (or previews)", "tessaro-cli compose"};
  app.add_option("sets", o.Sets, "set files (.cys)")->required()->check(CLI::ExistingFile);
  app.add_option("--out,-o", o.Out, "output folder (a folder per set is made in it)")->required();
  app.add_flag("--preview", o.Preview, "compose the preview versions (screen size JPEG) instead of results");
  app.add_flag("--psd", o.Psd, "write layered documents (.psd) instead of JPEGs");
  app.add_flag("--no-effects", o.NoEffects, "skip the templates' photo effects");
  app.add_option("--resolution", o.Resolution,
                 "result resolution: auto (from the template) or pixels per inch")
      ->check(CLI::IsMember({"auto"}) | CLI::Range(1, 100000));
  app.add_option("--watermark", o.Watermark, "watermark picture added to every page")
      ->check(CLI::ExistingFile);
  app.add_option("--watermark-position", o.Position, "0-8: row by row in a 3 x 3 grid")
      ->check(CLI::Range(0, 8));
  app.add_option("--watermark-margin-h", o.MarginH, "pixels from the side edge")
      ->check(CLI::Range(0, 100000));
  app.add_option("--watermark-margin-v", o.MarginV, "pixels from the top or bottom edge")
      ->check(CLI::Range(0, 100000));
  app.add_option("--watermark-transparency", o.Transparency, "percent")->check(CLI::Range(0, 100));
  app.add_option("--watermark-scale", o.Scale, "percent of the picture's size")->check(CLI::Range(1, 1000));
  app.add_option("--jobs,-j", o.Jobs,
                 "threads of composition work in all, as make -j (default: the number of cores): up to N "
                 "templates at once, each on one thread; when fewer are left, their work spreads over the "
                 "N threads; 1 is strictly one thread")
      ->check(CLI::Range(1, 64));
  std::vector<std::string> argv = {"tessaro-cli compose"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<const char*> cargv;
  for (const std::string& a : argv) cargv.push_back(a.c_str());
  try {
    app.parse(int(cargv.size()), cargv.data());
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }

  // The editor and its version table.
  Result<TPSVersionList> versions = LoadPSVersions(PSConfigPath());
  if (!versions.ok()) {
    std::fprintf(stderr, "tessaro-cli: compose: the editor version table cannot be read: %s\n",
                 versions.message().c_str());
    return 3;
  }
  std::shared_ptr<automation::Application> mainApp;
  int versionIndex = -1;
  std::string appName;
  TuneMemoryForLargeImages();
  const TEditorCheck check =
      CheckPhotoshop(mainApp, BuiltInEditorFactory(), *versions, versionIndex, appName);
  mainApp.reset();
  if (check != TEditorCheck::Ready) {
    std::fprintf(stderr, "tessaro-cli: compose: %s (%s)\n", kEditorUnsupportedMessage,
                 PSConfigPath().c_str());
    return 3;
  }

  TAppSettings settings;
  if (o.Resolution != "auto") {
    settings.AutoResolution = false;
    settings.Resolution = std::stoi(o.Resolution);
  }
  if (!o.Watermark.empty()) {
    settings.ShowWaterMark = true;
    settings.WaterMarkFile = o.Watermark;
    settings.Orient = o.Position;
    settings.MarginH = o.MarginH;
    settings.MarginV = o.MarginV;
    settings.WaterMarkTrans = o.Transparency;
    settings.WaterMarkScale = o.Scale;
  }
  const std::string workFolder = MakeWorkFolder();
  if (workFolder.empty()) {
    std::fprintf(stderr, "tessaro-cli: compose: no working folder in %s\n", SystemTempFolder().c_str());
    return 1;
  }

  // The sets and the jobs, in set order and template order.
  bool failed = false;
  std::vector<std::unique_ptr<TSetNode>> sets;
  std::vector<TComposeJob> jobs;
  std::vector<TTask> tasks;
  std::vector<std::string> madeFolders;
  const bool psd = o.Psd && !o.Preview;
  for (size_t s = 0; s < o.Sets.size(); ++s) {
    const std::string& path = o.Sets[s];
    Result<std::unique_ptr<TSetNode>> set = ReadSetFile(path, TDiskSetFileSource());
    if (!set.ok()) {
      std::fprintf(stderr, "tessaro-cli: %s: %s\n", path.c_str(), set.message().c_str());
      failed = true;
      continue;
    }
    const int setNumber = int(s) + 1;
    const std::string caption = StemOf(path);
    const std::string folder = JoinPath(o.Out, BatchSetFolderName(setNumber, caption));
    if (!DirectoryExists(folder)) {
      if (!MakeDirectories(folder)) {
        std::fprintf(stderr, "tessaro-cli: %s: the folder cannot be made\n", folder.c_str());
        failed = true;
        continue;
      }
      madeFolders.push_back(folder);
    }
    const TSetNode& node = **set;
    for (size_t t = 0; t < node.PreviewTemps.size(); ++t) {
      const TTempNode& temp = *node.PreviewTemps[t];
      const std::string label = path + ": " + LastPathPart(temp.Folder);
      int empty = -1;
      for (size_t k = 0; k < temp.Slots.size() && empty < 0; ++k)
        if (temp.Slots[k]->PhotoIndex == -1) empty = int(k);
      if (empty >= 0) {
        std::fprintf(stderr, "tessaro-cli: %s: slot %d holds no photo; template not composed\n",
                     label.c_str(), empty + 1);
        failed = true;
        continue;
      }
      TComposeJob job;
      job.PreviewMode = o.Preview;
      job.SetNode = &node;
      job.TemplateIndex = int(t);
      job.PsdOutput = psd;
      job.CancelEffects = o.NoEffects;
      job.PSVersionIndex = versionIndex;
      const std::string target =
          JoinPath(folder, BatchResultFileName(setNumber, caption, int(t) + 1, temp, psd));
      // A result job names no small preview: the tool would only delete it.
      if (o.Preview)
        job.PreviewFile = target;
      else
        job.ResultFile = target;
      // A failed job must not leave the file of an earlier run looking new.
      if (FileExists(target)) RemoveFile(target);
      jobs.push_back(std::move(job));
      tasks.push_back({label, target});
    }
    sets.push_back(std::move(set).value());
  }

  // Ctrl+C stops the batch through the engine's cancel.
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  struct sigaction oldInt = {}, oldTerm = {};
  sigaction(SIGINT, &action, &oldInt);
  sigaction(SIGTERM, &action, &oldTerm);

  TMessageQueue queue;
  TEngineContext context;
  context.Versions = &versions.value();
  context.Settings = &settings;
  context.Queue = &queue;
  // The pages follow one another and the process ends with the batch:
  // memory a finished page freed serves the next one instead of going back
  // to the system and being faulted in again, page after page.
  context.Factory = [] {
    EditorOptions options;
    options.releaseMemoryWhenEmpty = false;
    return CreateEditorApplication(options);
  };
  context.TempDir = workFolder;
  const int threads = o.Jobs > 0 ? o.Jobs : int(std::max(1u, std::thread::hardware_concurrency()));
  TComposeEngine engine(context, threads);
  KeepIdleMemoryForJobs(int(std::min<size_t>(size_t(threads), jobs.size())));
  TProgressPrinter printer(jobs.size(), ::isatty(STDERR_FILENO));
  std::atomic<bool> batchDone{false};
  std::thread watcher([&] {
    while (!batchDone.load()) {
      if (gInterrupted) {
        engine.Cancel();
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  size_t written = 0;
  std::mutex writtenLock;
  TComposeEngine::TCallbacks callbacks;
  callbacks.Progress = [&](size_t job, int percent) { printer.Progress(job, percent); };
  callbacks.Finished = [&](size_t job, const TComposeReport& report) {
    const TTask& task = tasks[job];
    const std::string& out = o.Preview ? report.PreviewWritten : report.ResultWritten;
    const bool ok = report.State == TComposeState::Done && FileExists(out);
    printer.Finished(ok);
    if (report.State == TComposeState::Cancelled) return;
    if (!ok) {
      std::string why = report.Message.empty() ? "no output was written" : report.Message;
      while (std::optional<std::string> m = queue.TakeNext()) why += "; " + *m;
      printer.Line("tessaro-cli: " + task.Label + ": not composed: " + why);
      return;
    }
    {
      std::lock_guard<std::mutex> lock(writtenLock);
      ++written;
    }
    if (!o.Preview && !report.PreviewWritten.empty()) RemoveFile(report.PreviewWritten);
    printer.Line("composed " + out);
  };
  std::vector<TComposeReport> reports = engine.RunBatch(jobs, callbacks);
  batchDone.store(true);
  watcher.join();
  printer.End();
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGTERM, &oldTerm, nullptr);

  bool cancelled = gInterrupted != 0;
  for (const TComposeReport& r : reports) {
    if (r.State == TComposeState::Failed) failed = true;
    if (r.State == TComposeState::Cancelled) cancelled = true;
  }
  DeleteFolder(workFolder);
  if (cancelled) {
    // Folders this run made and left empty go too.
    for (const std::string& folder : madeFolders) ::rmdir(folder.c_str());
    std::fprintf(stderr, "tessaro-cli: compose: cancelled; %zu page(s) were written to %s\n", written,
                 o.Out.c_str());
    return 130;
  }
  std::printf("%zu page(s) written to %s\n", written, o.Out.c_str());
  return failed ? 1 : 0;
}

}  // namespace tessaro::cli
