#include "engine/WorkerPool.h"

#include <atomic>
#include <memory>

TWorkerPool::TWorkerPool(int workers) {
  for (int i = 1; i < workers; ++i) Threads_.emplace_back([this, i] { WorkerLoop(i); });
}

TWorkerPool::~TWorkerPool() {
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Stopping_ = true;
  }
  Wake_.notify_all();
  for (std::thread& t : Threads_) t.join();
}

void TWorkerPool::TakeItems(int worker) {
  std::unique_lock<std::mutex> lock(Mutex_);
  while (Next_ < Count_) {
    const size_t index = Next_++;
    if (Failure_) {
      ++Finished_;
      continue;
    }
    const TTask& task = *Task_;
    lock.unlock();
    std::exception_ptr failure;
    try {
      task(index, worker);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    if (failure && !Failure_) Failure_ = failure;
    if (++Finished_ == Count_) Done_.notify_all();
  }
}

void TWorkerPool::WorkerLoop(int worker) {
  uint64_t seen = 0;
  std::unique_lock<std::mutex> lock(Mutex_);
  for (;;) {
    Wake_.wait(lock, [&] {
      return Stopping_ || (Job_ != seen && Next_ < Count_) || !Urgent_.empty() || !Later_.empty();
    });
    if (Stopping_) return;
    // The items of a job come first: its caller waits for them.
    if (Job_ != seen && Next_ < Count_) {
      seen = Job_;
      lock.unlock();
      TakeItems(worker);
      lock.lock();
      continue;
    }
    std::deque<TPostedPtr>& queue = Urgent_.empty() ? Later_ : Urgent_;
    TPostedPtr posted = std::move(queue.front());
    queue.pop_front();
    RunPosted(posted, worker, lock);
  }
}

void TWorkerPool::RunPosted(const TPostedPtr& posted, int worker,
                            std::unique_lock<std::mutex>& lock) {
  posted->State_ = TPosted::State::Running;
  TWork work = std::move(posted->Work_);
  lock.unlock();
  std::exception_ptr failure;
  try {
    work(worker);
  } catch (...) {
    failure = std::current_exception();
  }
  // What the work holds goes before anyone hears that it is done.
  work = nullptr;
  lock.lock();
  posted->Failure_ = failure;
  posted->State_ = TPosted::State::Done;
  PostedDone_.notify_all();
}

bool TWorkerPool::Unqueue(const TPostedPtr& posted) {
  for (std::deque<TPostedPtr>* queue : {&Urgent_, &Later_}) {
    for (auto it = queue->begin(); it != queue->end(); ++it) {
      if (*it != posted) continue;
      queue->erase(it);
      return true;
    }
  }
  return false;
}

TWorkerPool::TPostedPtr TWorkerPool::Post(TWork work, bool urgent) {
  auto posted = std::make_shared<TPosted>();
  posted->Work_ = std::move(work);
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    (urgent ? Urgent_ : Later_).push_back(posted);
  }
  Wake_.notify_one();
  // A caller of Wait helps with it.
  PostedDone_.notify_all();
  return posted;
}

void TWorkerPool::Wait(const TPostedPtr& posted) {
  std::unique_lock<std::mutex> lock(Mutex_);
  if (posted->State_ == TPosted::State::Queued && Unqueue(posted)) RunPosted(posted, 0, lock);
  while (posted->State_ != TPosted::State::Done) {
    std::deque<TPostedPtr>& queue = Later_.empty() ? Urgent_ : Later_;
    if (!queue.empty()) {
      // From the back: the threads take from the front.
      TPostedPtr other = std::move(queue.back());
      queue.pop_back();
      RunPosted(other, 0, lock);
      continue;
    }
    PostedDone_.wait(lock);
  }
  if (posted->Failure_) std::rethrow_exception(posted->Failure_);
}

void TWorkerPool::Cancel(const TPostedPtr& posted) {
  std::unique_lock<std::mutex> lock(Mutex_);
  if (posted->State_ == TPosted::State::Queued && Unqueue(posted)) {
    posted->State_ = TPosted::State::Done;
    TWork work = std::move(posted->Work_);
    lock.unlock();
    return;
  }
  PostedDone_.wait(lock, [&] { return posted->State_ == TPosted::State::Done; });
}

void TWorkerPool::Run(size_t count, const TTask& task) {
  if (count == 0) return;
  if (Threads_.empty() || count == 1) {
    for (size_t i = 0; i < count; ++i) task(i, 0);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    Task_ = &task;
    Count_ = count;
    Next_ = 0;
    Finished_ = 0;
    Failure_ = nullptr;
    ++Job_;
  }
  Wake_.notify_all();
  TakeItems(0);
  std::exception_ptr failure;
  {
    std::unique_lock<std::mutex> lock(Mutex_);
    Done_.wait(lock, [&] { return Finished_ == Count_; });
    failure = Failure_;
    Task_ = nullptr;
    Count_ = 0;
    Next_ = 0;
  }
  if (failure) std::rethrow_exception(failure);
}

namespace {

std::atomic<int> RequestedWorkers{0};

}  // namespace

void SetWorkerCount(int workers) { RequestedWorkers = workers < 1 ? 1 : workers; }

int WorkerCount() {
  const int requested = RequestedWorkers;
  if (requested > 0) return requested;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(cores);
}

TWorkerPool& RunWorkers() {
  static std::unique_ptr<TWorkerPool> pool;
  const int workers = WorkerCount();
  if (!pool || pool->Size() != workers) {
    pool.reset();
    pool = std::make_unique<TWorkerPool>(workers);
  }
  return *pool;
}
