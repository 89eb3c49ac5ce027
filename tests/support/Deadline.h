// Bounded waits for tests: a wait that runs out fails the test at once instead of hanging until
// ctest's timeout kills the whole program and hides which case was stuck.
#pragma once

#include <chrono>
#include <future>
#include <thread>

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

}  // namespace Tamrix::Testing
