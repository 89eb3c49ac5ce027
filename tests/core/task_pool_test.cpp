#include "interfaces/core/TaskPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using Tamrix::Vision::TaskPool;

TEST(TaskPool, TasksStartAtOnceEvenWhenEveryThreadIsBusy) {
  TaskPool pool;
  std::mutex mutex;
  std::condition_variable cv;
  bool open = false;
  std::atomic<int> started{0};
  std::vector<std::future<void>> futures;
  for (int i = 0; i < 4; ++i) {
    futures.push_back(pool.Launch([&] {
      ++started;
      std::unique_lock<std::mutex> lock(mutex);
      cv.wait(lock, [&] { return open; });
    }));
  }
  // All four must be running concurrently although none has finished: a pool that queued tasks
  // behind busy threads would leave some unstarted and this loop would never end.
  while (started.load() < 4) std::this_thread::yield();
  {
    std::lock_guard<std::mutex> lock(mutex);
    open = true;
  }
  cv.notify_all();
  for (auto& f : futures) f.get();
  EXPECT_EQ(pool.ThreadCount(), 4u);
}

TEST(TaskPool, IdleThreadsAreReusedAndTasksRunOffTheCallingThread) {
  TaskPool pool;
  for (int i = 0; i < 20; ++i) {
    EXPECT_NE(pool.Launch([] { return std::this_thread::get_id(); }).get(),
              std::this_thread::get_id());
    // The future is ready a moment before its thread is idle again; wait for that moment.
    while (pool.IdleThreadCount() < pool.ThreadCount()) std::this_thread::yield();
  }
  EXPECT_EQ(pool.ThreadCount(), 1u);
  EXPECT_NE(TaskPool::Shared().Launch([] { return std::this_thread::get_id(); }).get(),
            std::this_thread::get_id());
}

TEST(TaskPool, FutureCarriesResultOrExceptionAndThePoolSurvivesAFailingTask) {
  TaskPool pool;
  EXPECT_EQ(pool.Launch([] { return 42; }).get(), 42);
  auto failing = pool.Launch([]() -> int { throw std::logic_error("task failed"); });
  EXPECT_THROW(failing.get(), std::logic_error);
  EXPECT_EQ(pool.Launch([] { return 7; }).get(), 7);
}

}  // namespace
