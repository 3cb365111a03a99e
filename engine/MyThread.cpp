#include "engine/MyThread.h"

#include <unistd.h>

#include <new>
#include <stdexcept>

#include "base/FileIo.h"
#include "base/Parallel.h"

namespace tessaro {

std::string NewWorkFilePath(const std::string& tempDir) {
  static std::atomic<uint64_t> counter{0};
  return WithTrailingSeparator(tempDir) + "tmp_" + std::to_string(getpid()) + "_" +
         std::to_string(counter.fetch_add(1) + 1) + ".jpg";
}

TCreateTempThread::TCreateTempThread(bool previewMode, const TSetNode* setNode, int templateIndex,
                                     bool psdOutput, std::string previewFile, std::string resultFile,
                                     bool cancelEffects, int psVersionIndex)
    : PreviewMode(previewMode),
      SetNode(setNode),
      TemplateIndex(templateIndex),
      PsdOutput(psdOutput),
      CancelEffects(cancelEffects),
      PreviewFile(std::move(previewFile)),
      ResultFile(std::move(resultFile)),
      PSVersionIndex(psVersionIndex) {}

TCreateTempThread::~TCreateTempThread() { Wait(); }

void TCreateTempThread::ReportProgress(int percent) {
  if (OnProgress) OnProgress(percent);
}

void TCreateTempThread::QueueMessage(const std::string& text) {
  if (FContext.Queue) FContext.Queue->Post(text);
}

void TCreateTempThread::Cancel() {
  FCancel.store(true);
  std::lock_guard<std::mutex> lock(FAppLock);
  if (PhotoshopApp) PhotoshopApp->RequestCancel();
}

void TCreateTempThread::Execute() {
  // Nothing thrown below may leave the worker's thread (it would end the
  // program): the job fails with a message instead and the next one runs.
  try {
    Compose();
  } catch (const std::bad_alloc&) {
    FReport = {};
    FReport.State = TComposeState::Failed;
    FReport.Message = NotEnoughMemoryMessage(TemplateFolder());
  } catch (const std::exception& e) {
    FReport = {};
    FReport.State = TComposeState::Failed;
    FReport.Message = std::string("the job failed: ") + e.what();
  } catch (...) {
    FReport = {};
    FReport.State = TComposeState::Failed;
    FReport.Message = "the job failed";
  }
  {
    std::lock_guard<std::mutex> lock(FAppLock);
    // Ready for the next job of the same application.
    if (PhotoshopApp) PhotoshopApp->ClearCancel();
    PhotoshopApp.reset();
  }
  ReportProgress(100);
}

std::string TCreateTempThread::TemplateFolder() const {
  if (!SetNode || TemplateIndex < 0 || TemplateIndex >= static_cast<int>(SetNode->PreviewTemps.size()))
    return "";
  return SetNode->PreviewTemps[TemplateIndex]->Folder;
}

void TCreateTempThread::Compose() {
  std::shared_ptr<automation::Application> app;
  {
    std::lock_guard<std::mutex> lock(FAppLock);
    if (!PhotoshopApp) {
      const TEditorFactory factory = FContext.Factory ? FContext.Factory : BuiltInEditorFactory();
      PhotoshopApp = ConnectPhotoshop(factory, FContext.Queue);
    }
    app = PhotoshopApp;
    // A cancel that came before the application existed.
    if (app && FCancel.load()) app->RequestCancel();
  }
  if (app) {
    TComposeEnvironment env;
    env.App = app.get();
    env.Versions = FContext.Versions;
    env.Settings = FContext.Settings;
    env.WorkFile = NewWorkFilePath(FContext.TempDir);
    env.ReportProgress = [this](int percent) { ReportProgress(percent); };
    env.QueueMessage = [this](const std::string& text) { QueueMessage(text); };
    env.CancelFlag = &FCancel;
    TComposeJob job;
    job.PreviewMode = PreviewMode;
    job.SetNode = SetNode;
    job.TemplateIndex = TemplateIndex;
    job.PsdOutput = PsdOutput;
    job.PreviewFile = PreviewFile;
    job.ResultFile = ResultFile;
    job.CancelEffects = CancelEffects;
    job.PSVersionIndex = PSVersionIndex;
    FReport = ComposeTemplate(env, job);
    if (FCancel.load()) FReport.State = TComposeState::Cancelled;
  } else {
    FReport.State = TComposeState::Failed;
    FReport.Message = "the image editor cannot be opened";
  }
}

void TCreateTempThread::Start() {
  FThread = std::thread([this] {
    Execute();
    try {
      if (OnTerminate) OnTerminate();
    } catch (...) {
      // The caller's handler must not end the program from this thread.
    }
  });
}

void TCreateTempThread::Wait() {
  if (FThread.joinable()) FThread.join();
}

// ---------------------------------------------------------------------------

TComposeEngine::TComposeEngine(TEngineContext context, int threads)
    : FContext(std::move(context)), FThreads(threads < 1 ? ParallelThreads() : threads) {
  FApps.resize(FThreads);
}

int TComposeEngine::JobThreads(size_t unfinished) const {
  const size_t atOnce = std::min<size_t>(size_t(FThreads), std::max<size_t>(1, unfinished));
  return std::max(1, FThreads / int(atOnce));
}

TComposeEngine::~TComposeEngine() = default;

void TComposeEngine::Cancel() {
  FCancelled.store(true);
  std::lock_guard<std::mutex> lock(FLock);
  for (TCreateTempThread* job : FRunning) job->Cancel();
}

void TComposeEngine::CancelRunning() {
  std::lock_guard<std::mutex> lock(FLock);
  if (FBatches == 0) return;
  FCancelled.store(true);
  for (TCreateTempThread* job : FRunning) job->Cancel();
}

std::vector<TComposeReport> TComposeEngine::RunBatch(const std::vector<TComposeJob>& jobs,
                                                     const TCallbacks& callbacks) {
  std::vector<TComposeReport> reports(jobs.size());
  {
    std::lock_guard<std::mutex> lock(FLock);
    ++FBatches;
  }
  std::atomic<size_t> next{0};
  // Jobs of this batch that have finished; counted before a job's Finished
  // callback, so that a job that starts after it sees the threads it left.
  std::atomic<size_t> finished{0};
  auto worker = [&](int w) {
    for (;;) {
      if (FCancelled.load()) return;
      const size_t i = next.fetch_add(1);
      if (i >= jobs.size()) return;
      const TComposeJob& j = jobs[i];
      if (!FApps[w]) {
        const TEditorFactory factory = FContext.Factory ? FContext.Factory : BuiltInEditorFactory();
        try {
          FApps[w] = ConnectPhotoshop(factory, FContext.Queue);
        } catch (...) {
          // No application (short of memory): the job below fails to
          // connect and says so; the next job tries again.
          FApps[w].reset();
        }
      }
      TCreateTempThread job(j.PreviewMode, j.SetNode, j.TemplateIndex, j.PsdOutput, j.PreviewFile,
                            j.ResultFile, j.CancelEffects, j.PSVersionIndex);
      job.SetContext(FContext);
      job.PhotoshopApp = FApps[w];
      if (callbacks.Progress) job.OnProgress = [&, i](int percent) { callbacks.Progress(i, percent); };
      {
        std::lock_guard<std::mutex> lock(FLock);
        FRunning.push_back(&job);
        if (FCancelled.load()) job.Cancel();
      }
      {
        // The jobs that have not finished, this one included, share the
        // budget; the first jobs of a batch count the ones about to start
        // beside them.
        ScopedThreadLimit limit(JobThreads(jobs.size() - finished.load()));
        job.Execute();
      }
      {
        std::lock_guard<std::mutex> lock(FLock);
        std::erase(FRunning, &job);
      }
      finished.fetch_add(1);
      reports[i] = job.Report();
      if (callbacks.Finished) callbacks.Finished(i, reports[i]);
    }
  };
  const int threads = static_cast<int>(std::min<size_t>(FThreads, jobs.size()));
  std::vector<std::thread> pool;
  for (int w = 1; w < threads; ++w) pool.emplace_back(worker, w);
  if (threads > 0) {
    // The first worker runs on a thread of its own too, so that the caller's
    // thread (the main thread) never touches a worker's documents.
    pool.emplace_back(worker, 0);
  }
  for (std::thread& t : pool) t.join();
  {
    // Under the lock, so that CancelRunning either reaches this batch or
    // sees none running.
    std::lock_guard<std::mutex> lock(FLock);
    --FBatches;
    FCancelled.store(false);
  }
  return reports;
}

// ---------------------------------------------------------------------------

TEngineComposeService::TEngineComposeService(TEngineContext context, TProgressSink sink)
    : FContext(context), FSink(std::move(sink)), FEngine(context, 0) {}

TEditorCheck TEngineComposeService::CheckEditor(int& versionIndex) {
  static const TPSVersionList kNone;
  const TEditorFactory factory = FContext.Factory ? FContext.Factory : BuiltInEditorFactory();
  return CheckPhotoshop(FMainApp, factory, FContext.Versions ? *FContext.Versions : kNone, versionIndex,
                        FAppName);
}

TJobOutcome TEngineComposeService::RunJob(const TComposeJob& job, const std::string& info) {
  // The composing folder exists and holds no preview of an earlier run, so
  // a preview found afterwards is this job's.
  if (!job.PreviewFile.empty()) {
    const std::string folder = FolderOf(job.PreviewFile);
    if (!folder.empty() && !DirectoryExists(folder)) MakeDirectories(folder, 0700);
    if (FileExists(job.PreviewFile)) RemoveFile(job.PreviewFile);
  }
  TComposeEngine::TCallbacks callbacks;
  callbacks.Progress = [&](size_t, int percent) {
    if (FSink) FSink(info, FNumber, FTotal, percent);
  };
  std::vector<TComposeReport> reports = FEngine.RunBatch({job}, callbacks);
  FLast = reports.empty() ? TComposeReport{} : reports[0];
  return FLast.State == TComposeState::Cancelled ? TJobOutcome::Cancelled : TJobOutcome::Finished;
}

void TEngineComposeService::SetJobCounter(int total, int number) {
  FTotal = total;
  FNumber = number;
}

void TEngineComposeService::NextJob() { ++FNumber; }

}  // namespace tessaro
