#include "base/Parallel.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tessaro {

namespace {

thread_local bool tInsideParallel = false;
// This thread's limit from ScopedThreadLimit; 0 when there is none.
thread_local int tThreadLimit = 0;

class Pool {
 public:
  explicit Pool(int threads) {
    for (int i = 0; i < threads; ++i) FThreads.emplace_back([this] { Work(); });
  }
  ~Pool() {
    {
      std::lock_guard lock(FMutex);
      FStop = true;
    }
    FWake.notify_all();
    for (auto& t : FThreads) t.join();
  }
  int Size() const { return static_cast<int>(FThreads.size()); }

  void Post(std::function<void()> job) {
    {
      std::lock_guard lock(FMutex);
      FJobs.push_back(std::move(job));
    }
    FWake.notify_one();
  }

 private:
  void Work() {
    tInsideParallel = true;
    for (;;) {
      std::function<void()> job;
      {
        std::unique_lock lock(FMutex);
        FWake.wait(lock, [this] { return FStop || !FJobs.empty(); });
        if (FJobs.empty()) return;
        job = std::move(FJobs.front());
        FJobs.pop_front();
      }
      job();
    }
  }

  std::mutex FMutex;
  std::condition_variable FWake;
  std::deque<std::function<void()>> FJobs;
  std::vector<std::thread> FThreads;
  bool FStop = false;
};

Pool& ThePool() {
  static Pool pool(std::max(1u, std::thread::hardware_concurrency()) - 1);
  return pool;
}

}  // namespace

int ParallelThreads() {
  if (tInsideParallel) return 1;
  const int all = ThePool().Size() + 1;
  return tThreadLimit > 0 ? std::min(all, tThreadLimit) : all;
}

ScopedThreadLimit::ScopedThreadLimit(int threads) : FPrevious(tThreadLimit) {
  const int limit = std::max(1, threads);
  tThreadLimit = FPrevious > 0 ? std::min(FPrevious, limit) : limit;
}

ScopedThreadLimit::~ScopedThreadLimit() { tThreadLimit = FPrevious; }

void ParallelFor(int64_t count, int64_t minPerTask, const std::function<void(int64_t, int64_t)>& fn) {
  if (count <= 0) return;
  int threads = ParallelThreads();
  int64_t tasks = std::min<int64_t>(threads, count / std::max<int64_t>(1, minPerTask));
  if (tasks <= 1) {
    fn(0, count);
    return;
  }
  // Split into a few more chunks than threads so uneven rows balance out.
  // The shared state outlives this call: a pool job that starts late finds
  // no chunk left and touches nothing else.
  struct State {
    std::mutex mutex;
    std::condition_variable done;
    int64_t count = 0, chunks = 0, next = 0, finished = 0;
    const std::function<void(int64_t, int64_t)>* fn = nullptr;
  };
  auto state = std::make_shared<State>();
  state->count = count;
  state->chunks = std::min<int64_t>(count, tasks * 4);
  state->fn = &fn;
  auto runChunks = [state] {
    for (;;) {
      int64_t chunk;
      {
        std::lock_guard lock(state->mutex);
        if (state->next >= state->chunks) return;
        chunk = state->next++;
      }
      int64_t begin = state->count * chunk / state->chunks;
      int64_t end = state->count * (chunk + 1) / state->chunks;
      (*state->fn)(begin, end);
      std::lock_guard lock(state->mutex);
      if (++state->finished == state->chunks) state->done.notify_all();
    }
  };
  for (int64_t i = 1; i < tasks; ++i) ThePool().Post(runChunks);
  tInsideParallel = true;
  runChunks();
  tInsideParallel = false;
  std::unique_lock lock(state->mutex);
  state->done.wait(lock, [&] { return state->finished == state->chunks; });
}

}  // namespace tessaro
