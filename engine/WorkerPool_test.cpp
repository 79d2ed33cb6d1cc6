#include "engine/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

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

TEST(WorkerPool, RunWorkersFollowsTheCountSet) {
  SetWorkerCount(3);
  EXPECT_EQ(RunWorkers().Size(), 3);
  SetWorkerCount(0);
  EXPECT_EQ(WorkerCount(), 1);
  EXPECT_EQ(RunWorkers().Size(), 1);
}

}  // namespace
