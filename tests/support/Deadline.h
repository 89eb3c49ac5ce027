// Bounded waits for tests: a wait that runs out fails the test at once instead of hanging until
// ctest's timeout kills the whole program and hides which case was stuck.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>
#include <utility>
#include <vector>

namespace Tamrix::Testing {

// Long enough for a loaded two-core machine under ThreadSanitizer, far below ctest's timeout.
inline constexpr std::chrono::seconds kWaitLimit{30};

// Polls `condition` until it holds or `limit` has passed; returns whether it held.
template <class Condition>
bool WaitUntil(Condition condition, std::chrono::steady_clock::duration limit = kWaitLimit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return true;
}

// Whether `future` holds its result (or exception) within `limit`.
template <class T>
bool ReadyWithin(const std::future<T>& future,
                 std::chrono::steady_clock::duration limit = kWaitLimit) {
  return future.wait_for(limit) == std::future_status::ready;
}

// Threads of a test that must all finish in time. std::thread::join has no deadline, so each
// thread counts itself out at its end, and Join waits for the count before joining:
//   Threads threads;
//   threads.Start([&] { ... });
//   threads.Join();
// A thread still running at the deadline is a deadlock in the code under test. The thread still
// uses the test's frame, so the program cannot go on: Join reports it and aborts.
class Threads {
 public:
  Threads() = default;
  Threads(const Threads&) = delete;
  Threads& operator=(const Threads&) = delete;
  ~Threads() { Join(); }

  template <class Body>
  void Start(Body body) {
    threads_.emplace_back([this, body = std::move(body)]() mutable {
      body();
      ++finished_;
    });
  }

  void Join(std::chrono::steady_clock::duration limit = kWaitLimit) {
    const std::size_t count = threads_.size();
    if (!WaitUntil([&] { return finished_.load() == count; }, limit)) {
      std::fprintf(stderr, "%zu of %zu test threads still running at the deadline\n",
                   count - finished_.load(), count);
      std::abort();
    }
    for (auto& thread : threads_) thread.join();
    threads_.clear();
    finished_ = 0;
  }

 private:
  std::vector<std::thread> threads_;
  std::atomic<std::size_t> finished_{0};
};

}  // namespace Tamrix::Testing
