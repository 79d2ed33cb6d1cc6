#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A fixed set of threads that run the pure computing of a run - decoding and
// encoding pictures - while the run's own thread keeps all file changes, in
// order. The threads live as long as the pool and wait between jobs.
class TWorkerPool {
 public:
  // A task: item `index` of a job, done by worker `worker` (0 is the thread
  // that called Run, 1 to Size() - 1 the pool's own threads). A worker does
  // one item at a time, so state kept per worker needs no lock.
  using TTask = std::function<void(size_t index, int worker)>;

  // `workers` threads in all, counting the caller of Run: `workers` - 1 are
  // started. 1 or less runs every job on the caller's thread.
  explicit TWorkerPool(int workers);
  ~TWorkerPool();
  TWorkerPool(const TWorkerPool&) = delete;
  TWorkerPool& operator=(const TWorkerPool&) = delete;

  int Size() const { return static_cast<int>(Threads_.size()) + 1; }

  // Runs `task` for every index from 0 to `count` - 1 and returns when all
  // are done; the caller's thread takes items too. When a task raises, the
  // items not yet started are skipped and the first exception is raised
  // again here. One job at a time: Run is not reentrant and is called from
  // one thread.
  void Run(size_t count, const TTask& task);

  // Work handed to the pool to be done while the caller goes on; `worker`
  // says which worker does it, as for Run.
  using TWork = std::function<void(int worker)>;
  class TPosted {
   private:
    friend class TWorkerPool;
    enum class State { Queued, Running, Done };
    TWork Work_;
    State State_ = State::Queued;
    std::exception_ptr Failure_;
  };
  using TPostedPtr = std::shared_ptr<TPosted>;

  // Queues `work` and returns at once. The pool's threads take posted work
  // whenever no job of Run has items left for them: urgent work first, the
  // rest in the order posted. A pool without threads of its own leaves it
  // queued until Wait. May be called from any thread, a task's too.
  TPostedPtr Post(TWork work, bool urgent = false);
  // Returns once `posted` is done: does it here, as worker 0, when no thread
  // has started it; while a thread does it, does other queued work rather
  // than wait idle - the newest first, work that is not urgent before
  // urgent work. Raises what `posted` raised. Called from the thread that
  // calls Run.
  void Wait(const TPostedPtr& posted);
  // Takes back `posted` when no thread has started it, so it never runs;
  // waits for it otherwise. Raises nothing. Called from the thread that
  // calls Run.
  void Cancel(const TPostedPtr& posted);

 private:
  void WorkerLoop(int worker);
  // Runs `posted`, taken off its queue, on worker `worker`; `lock` is held
  // on entry and on return.
  void RunPosted(const TPostedPtr& posted, int worker, std::unique_lock<std::mutex>& lock);
  // Takes `posted` off its queue; false when it is on none.
  bool Unqueue(const TPostedPtr& posted);
  // Takes items of the current job until none is left.
  void TakeItems(int worker);

  std::vector<std::thread> Threads_;
  std::mutex Mutex_;
  std::condition_variable Wake_;
  std::condition_variable Done_;
  std::condition_variable PostedDone_;
  std::deque<TPostedPtr> Urgent_;
  std::deque<TPostedPtr> Later_;
  const TTask* Task_ = nullptr;
  size_t Count_ = 0;
  size_t Next_ = 0;      // next item to hand out
  size_t Finished_ = 0;  // items done, or skipped after a failure
  uint64_t Job_ = 0;     // counts jobs, so a worker takes part in each once
  std::exception_ptr Failure_;
  bool Stopping_ = false;
};

// The process's pool for protection runs, with WorkerCount() workers; made
// on first use and made again when the count has changed since. Called from
// the thread that drives runs, never while a job of the pool is running.
TWorkerPool& RunWorkers();

// Workers of the pool RunWorkers gives: the number of processor cores unless
// set (vlm-cli --jobs). Values below 1 count as 1.
void SetWorkerCount(int workers);
int WorkerCount();
