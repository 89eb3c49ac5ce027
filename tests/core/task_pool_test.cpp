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

// A gate that tasks wait on until the test opens it.
class Gate {
 public:
  void Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait(lock, [this] { return open_; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

TEST(TaskPool, TasksStartAtOnceEvenWhenEveryThreadIsBusy) {
  TaskPool pool;
  Gate gate;
  std::atomic<int> started{0};
  std::vector<std::future<void>> futures;
  for (int i = 0; i < 4; ++i) {
    futures.push_back(pool.Launch([&] {
      ++started;
      gate.Wait();
    }));
  }
  // All four must be running concurrently although none has finished: a pool that queued tasks
  // behind busy threads would leave some unstarted and this loop would never end.
  while (started.load() < 4) std::this_thread::yield();
  gate.Open();
  for (auto& f : futures) f.get();
  EXPECT_EQ(pool.ThreadCount(), 4u);
}

TEST(TaskPool, IdleThreadsAreReused) {
  TaskPool pool;
  for (int i = 0; i < 20; ++i) {
    pool.Launch([] {}).get();
    // The future is ready a moment before its thread is idle again; wait for that moment.
    while (pool.IdleThreadCount() < pool.ThreadCount()) std::this_thread::yield();
  }
  EXPECT_EQ(pool.ThreadCount(), 1u);
}

TEST(TaskPool, FutureCarriesResultOrException) {
  TaskPool pool;
  EXPECT_EQ(pool.Launch([] { return 42; }).get(), 42);
  auto failing = pool.Launch([]() -> int { throw std::logic_error("task failed"); });
  EXPECT_THROW(failing.get(), std::logic_error);
  // The pool survives a failing task.
  EXPECT_EQ(pool.Launch([] { return 7; }).get(), 7);
}

TEST(TaskPool, TasksRunOffTheCallingThread) {
  std::thread::id taskThread =
      TaskPool::Shared().Launch([] { return std::this_thread::get_id(); }).get();
  EXPECT_NE(taskThread, std::this_thread::get_id());
}

}  // namespace
