#include "interfaces/core/TaskPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "tests/support/Deadline.h"

namespace {

using Tamrix::Testing::kWaitLimit;
using Tamrix::Testing::ReadyWithin;
using Tamrix::Testing::WaitUntil;
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
      cv.wait_for(lock, kWaitLimit, [&] { return open; });
    }));
  }
  // All four must be running concurrently although none has finished: a pool that queued tasks
  // behind busy threads would leave some unstarted.
  EXPECT_TRUE(WaitUntil([&] { return started.load() == 4; })) << started.load() << " started";
  {
    std::lock_guard<std::mutex> lock(mutex);
    open = true;
  }
  cv.notify_all();
  for (auto& f : futures) {
    ASSERT_TRUE(ReadyWithin(f));
    f.get();
  }
  EXPECT_EQ(pool.ThreadCount(), 4u);
}

TEST(TaskPool, IdleThreadsAreReusedAndTasksRunOffTheCallingThread) {
  TaskPool pool;
  for (int i = 0; i < 20; ++i) {
    auto ran = pool.Launch([] { return std::this_thread::get_id(); });
    ASSERT_TRUE(ReadyWithin(ran));
    EXPECT_NE(ran.get(), std::this_thread::get_id());
    // The future is ready a moment before its thread is idle again; wait for that moment.
    ASSERT_TRUE(WaitUntil([&] { return pool.IdleThreadCount() == pool.ThreadCount(); }));
  }
  EXPECT_EQ(pool.ThreadCount(), 1u);
  auto shared = TaskPool::Shared().Launch([] { return std::this_thread::get_id(); });
  ASSERT_TRUE(ReadyWithin(shared));
  EXPECT_NE(shared.get(), std::this_thread::get_id());
}

TEST(TaskPool, FutureCarriesResultOrExceptionAndThePoolSurvivesAFailingTask) {
  TaskPool pool;
  EXPECT_EQ(pool.Launch([] { return 42; }).get(), 42);
  auto failing = pool.Launch([]() -> int { throw std::logic_error("task failed"); });
  EXPECT_THROW(failing.get(), std::logic_error);
  EXPECT_EQ(pool.Launch([] { return 7; }).get(), 7);
}

TEST(TaskPool, LaunchThrowsWhenNoThreadCanBeStartedAndThePoolStaysUsable) {
  std::atomic<bool> refuse{true};
  TaskPool pool([&](std::function<void()> loop) {
    if (refuse)
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    std::thread(std::move(loop)).detach();
  });
  std::atomic<int> ran{0};
  EXPECT_THROW(pool.Launch([&] { ++ran; }), std::system_error);
  EXPECT_EQ(pool.ThreadCount(), 0u);
  refuse = false;
  auto next = pool.Launch([&] { return ++ran; });
  ASSERT_TRUE(ReadyWithin(next));
  // The refused task was withdrawn: it never runs, on this thread or a later one.
  EXPECT_EQ(next.get(), 1);
  EXPECT_EQ(ran.load(), 1);
}

// Regression: while one caller's thread failed to start, a second caller queued its task; the
// first caller's rollback removed the newest job (the second caller's) instead of its own, so the
// second task never ran and the refused one ran in its place.
TEST(TaskPool, FailedThreadStartWithdrawsOnlyTheCallersOwnTask) {
  std::atomic<int> starts{0};
  std::atomic<bool> secondLaunched{false};
  std::future<int> second;
  std::thread secondCaller;
  TaskPool* poolPointer = nullptr;
  TaskPool pool([&](std::function<void()> loop) {
    if (++starts == 1) {
      // The first start fails, but only after another caller had its chance to queue a task.
      secondCaller = std::thread([&] {
        second = poolPointer->Launch([] { return 2; });
        secondLaunched = true;
      });
      WaitUntil([&] { return secondLaunched.load(); }, std::chrono::milliseconds(200));
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    std::thread(std::move(loop)).detach();
  });
  poolPointer = &pool;
  std::atomic<bool> firstRan{false};
  EXPECT_THROW(pool.Launch([&] { firstRan = true; }), std::system_error);
  secondCaller.join();
  ASSERT_TRUE(second.valid());
  ASSERT_TRUE(ReadyWithin(second));
  EXPECT_EQ(second.get(), 2);
  EXPECT_FALSE(firstRan.load());
}

}  // namespace
