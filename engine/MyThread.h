// Composition jobs and the workers that run them.
//
// TCreateTempThread is one job: the fields of the composing thread, its
// Execute (connect, compose, release, progress 100), progress and message
// reporting, and a cooperative cancel. TComposeEngine runs jobs on worker
// threads, each worker with its own editor application made once and kept
// for its later jobs; the main thread never touches a worker's documents.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/CreateTemp.h"
#include "engine/PSVersions.h"
#include "model/Compose.h"
#include "model/Config.h"
#include "model/Lifecycle.h"

namespace tessaro {

// What every job of an engine shares. Not owned; the caller keeps the table,
// the settings and the queue alive and unchanged while jobs run.
struct TEngineContext {
  const TPSVersionList* Versions = nullptr;
  const TAppSettings* Settings = nullptr;
  TMessageQueue* Queue = nullptr;  // may be null: messages are dropped
  TEditorFactory Factory;          // empty: the built-in editor
  std::string TempDir;             // working folder, trailing separator
};

// A working-file path no other job of this process uses.
std::string NewWorkFilePath(const std::string& tempDir);

class TCreateTempThread {
 public:
  TCreateTempThread(bool previewMode, const TSetNode* setNode, int templateIndex, bool psdOutput,
                    std::string previewFile, std::string resultFile, bool cancelEffects, int psVersionIndex);
  ~TCreateTempThread();
  TCreateTempThread(const TCreateTempThread&) = delete;
  TCreateTempThread& operator=(const TCreateTempThread&) = delete;

  // The job's fields.
  bool PreviewMode;
  const TSetNode* SetNode;  // not owned
  int TemplateIndex;
  bool PsdOutput;
  bool CancelEffects;
  std::string PreviewFile;
  std::string ResultFile;
  std::function<void(int)> OnProgress;  // called on the worker thread; may be empty
  int PSVersionIndex;
  // The worker's connection. When set before Execute (a pool worker's own
  // application) it is used; otherwise Execute connects through the
  // context's factory. Released when Execute ends.
  std::shared_ptr<automation::Application> PhotoshopApp;
  // Called on the worker thread after Execute (the job's OnTerminate).
  std::function<void()> OnTerminate;

  void SetContext(const TEngineContext& context) { FContext = context; }

  // Connects, composes, releases the application, reports 100. Runs on the
  // calling thread. Throws nothing: a failed allocation or any other
  // exception fails the job with a message (see ComposeTemplate).
  void Execute();
  // Runs Execute (then OnTerminate) on a new thread; Wait joins it.
  void Start();
  void Wait();
  // From any thread: the job stops at its next step (a running editor call
  // returns within a fraction of a second), deletes what it had written and
  // leaves its application ready for the next job.
  void Cancel();
  bool CancelRequested() const { return FCancel.load(); }

  void ReportProgress(int percent);
  void QueueMessage(const std::string& text);

  // How the job ended (valid after Execute).
  const TComposeReport& Report() const { return FReport; }

 private:
  void Compose();  // Execute's work; may throw
  std::string TemplateFolder() const;

  TEngineContext FContext;
  std::atomic<bool> FCancel{false};
  std::mutex FAppLock;  // guards PhotoshopApp against Cancel from another thread
  std::thread FThread;
  TComposeReport FReport;
};

// Runs jobs on worker threads within a thread budget, as make -j does:
// `threads` threads of composition work in all. At most that many jobs run
// at once, one per worker, and each job is held (ScopedThreadLimit) to
// max(1, threads / jobs running at once), reckoned when it starts: while
// enough jobs are left each composes on its one thread, and the last ones
// share the threads the finished workers left (a lone job gets them all).
// Thread-safe: Cancel may be called from any thread (a signal watcher, the
// progress window) while RunBatch runs on another.
class TComposeEngine {
 public:
  // threads < 1: what ParallelThreads() gives the constructing thread
  // (every core, unless that thread is held to fewer).
  TComposeEngine(TEngineContext context, int threads);
  ~TComposeEngine();

  int Threads() const { return FThreads; }

  struct TCallbacks {
    // On a worker thread: the job's progress (10..100).
    std::function<void(size_t job, int percent)> Progress;
    // On a worker thread, once per job that ran: how it ended.
    std::function<void(size_t job, const TComposeReport& report)> Finished;
  };
  // Composes the jobs (at most Threads() at once, in list order as workers
  // come free) and returns each job's report (NotRun for jobs never started
  // because of a cancel). A cancel stops the running jobs and starts no more.
  std::vector<TComposeReport> RunBatch(const std::vector<TComposeJob>& jobs, const TCallbacks& callbacks);
  // Stops the current batch; the next RunBatch runs normally. Called while
  // no batch runs, it stops the next one before it starts (a Ctrl+C that
  // came while the jobs were being prepared).
  void Cancel();
  // Stops the batch that runs now, if any; between batches it does nothing,
  // so a cancel that arrives just after a batch ended cannot stop the next.
  void CancelRunning();
  bool Cancelled() const { return FCancelled.load(); }

 private:
  // The threads a job may use when `unfinished` jobs of the batch have not
  // finished yet (the job itself included).
  int JobThreads(size_t unfinished) const;

  TEngineContext FContext;
  int FThreads;
  std::vector<std::shared_ptr<automation::Application>> FApps;  // one per worker, made on first use
  std::mutex FLock;
  std::vector<TCreateTempThread*> FRunning;
  int FBatches = 0;  // RunBatch calls under way (guarded by FLock)
  std::atomic<bool> FCancelled{false};
};

// The engine as the controller sees it, for the headless tool and the
// window: one job at a time on every core, the main thread's connection for
// the check, the job counter, and a progress sink instead of the progress
// window.
class TEngineComposeService : public TComposeService {
 public:
  // sink(info, number, total, percent), called on the worker thread.
  using TProgressSink = std::function<void(const std::string& info, int number, int total, int percent)>;
  TEngineComposeService(TEngineContext context, TProgressSink sink);

  TEditorCheck CheckEditor(int& versionIndex) override;
  // Makes the folder of the job's preview file and deletes an earlier
  // preview there, then runs the job on the service's worker.
  TJobOutcome RunJob(const TComposeJob& job, const std::string& info) override;
  void SetJobCounter(int total, int number) override;
  void NextJob() override;
  bool ShutdownChecked() const override { return FShutdown; }
  void SetShutdownChecked(bool checked) override { FShutdown = checked; }

  // From any thread: cancels the running job (the progress window's cancel);
  // nothing when no job runs.
  void CancelJob() { FEngine.CancelRunning(); }
  // The report of the last job run.
  const TComposeReport& LastReport() const { return FLast; }
  const std::string& AppName() const { return FAppName; }

 private:
  TEngineContext FContext;
  TProgressSink FSink;
  TComposeEngine FEngine;
  std::shared_ptr<automation::Application> FMainApp;
  std::string FAppName;
  int FTotal = 0, FNumber = 0;
  bool FShutdown = false;
  TComposeReport FLast;
};

}  // namespace tessaro
