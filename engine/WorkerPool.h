#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstddef>
#include <exception>
#include <functional>
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

 private:
  void WorkerLoop(int worker);
  // Takes items of the current job until none is left.
  void TakeItems(int worker);

  std::vector<std::thread> Threads_;
  std::mutex Mutex_;
  std::condition_variable Wake_;
  std::condition_variable Done_;
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
