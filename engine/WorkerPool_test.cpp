#include "engine/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace {

TEST(WorkerPool, RunsEveryItemOnceOnItsWorkersAndStaysUsableAfterAFailure) {
  for (int workers : {1, 2, 4}) {
    TWorkerPool pool(workers);
    EXPECT_EQ(pool.Size(), workers);
    for (size_t count : {size_t{0}, size_t{1}, size_t{7}, size_t{500}}) {
      std::vector<std::atomic<int>> done(count);
      std::atomic<bool> badWorker{false};
      pool.Run(count, [&](size_t i, int worker) {
        done[i] += 1;
        if (worker < 0 || worker >= workers) badWorker = true;
      });
      for (size_t i = 0; i < count; ++i) EXPECT_EQ(done[i], 1) << workers << " workers, item " << i;
      EXPECT_FALSE(badWorker);
    }
    // A failing item ends the job with its exception; the next job runs whole.
    EXPECT_THROW(pool.Run(50,
                          [](size_t i, int) {
                            if (i == 3) throw std::runtime_error("item 3");
                          }),
                 std::runtime_error);
    std::atomic<int> sum{0};
    pool.Run(100, [&](size_t i, int) { sum += static_cast<int>(i); });
    EXPECT_EQ(sum, 4950);
  }
}

// Posted work is done once, by a thread of the pool or by the waiter, while
// jobs of Run go on; Wait gives back its exception, and work cancelled
// before any thread took it never runs.
TEST(WorkerPool, PostedWorkRunsOnceAndWaitOrCancelSettlesIt) {
  for (int workers : {1, 2, 3}) {
    TWorkerPool pool(workers);
    std::vector<std::atomic<int>> runs(40);
    std::atomic<bool> badWorker{false};
    std::vector<TWorkerPool::TPostedPtr> posted;
    for (size_t i = 0; i < runs.size(); ++i) {
      posted.push_back(pool.Post(
          [&, i](int worker) {
            runs[i] += 1;
            if (worker < 0 || worker >= workers) badWorker = true;
          },
          i % 3 == 0));
    }
    std::atomic<int> items{0};
    pool.Run(200, [&](size_t, int) { items += 1; });
    for (const auto& p : posted) pool.Wait(p);
    EXPECT_EQ(items, 200);
    for (size_t i = 0; i < runs.size(); ++i) EXPECT_EQ(runs[i], 1) << workers << " workers, " << i;
    EXPECT_FALSE(badWorker);

    auto failing = pool.Post([](int) { throw std::runtime_error("posted"); });
    EXPECT_THROW(pool.Wait(failing), std::runtime_error);
    EXPECT_THROW(pool.Wait(failing), std::runtime_error);

    // Every thread of the pool held, the next work stays queued.
    std::atomic<int> holding{0};
    std::atomic<bool> release{false};
    std::vector<TWorkerPool::TPostedPtr> holds;
    for (int i = 1; i < workers; ++i) {
      holds.push_back(pool.Post([&](int) {
        holding += 1;
        while (!release) std::this_thread::yield();
      }));
    }
    while (holding < workers - 1) std::this_thread::yield();
    std::atomic<int> cancelledRuns{0};
    auto cancelled = pool.Post([&](int) { cancelledRuns += 1; }, true);
    pool.Cancel(cancelled);
    release = true;
    for (const auto& p : holds) pool.Wait(p);
    pool.Wait(cancelled);
    EXPECT_EQ(cancelledRuns, 0) << workers << " workers";
  }
}

TEST(WorkerPool, RunWorkersFollowsTheCountSet) {
  SetWorkerCount(3);
  EXPECT_EQ(RunWorkers().Size(), 3);
  SetWorkerCount(0);
  EXPECT_EQ(WorkerCount(), 1);
  EXPECT_EQ(RunWorkers().Size(), 1);
}

}  // namespace
