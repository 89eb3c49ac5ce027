#include "vision/SmartSegmenter/RunOnSegmenters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Deadline.h"
#include "tests/support/MessageOf.h"

namespace {

using Tamrix::Vision::VisionToolMultiThreading;
using Tamrix::Vision::SmartSegmenter::detail::RunOnSegmenters;
using Segmenters = std::vector<std::shared_ptr<int>>;  // each segmenter is its position

Segmenters MakeSegmenters(int count) {
  Segmenters list;
  for (int i = 0; i < count; ++i) list.push_back(std::make_shared<int>(i));
  return list;
}

struct Mode {
  bool enable;
  int threads;
};

class RunOnSegmentersModes : public ::testing::TestWithParam<Mode> {
 protected:
  void SetUp() override {
    VisionToolMultiThreading::setEnable(GetParam().enable);
    VisionToolMultiThreading::setThreadCount(GetParam().threads);
  }
  void TearDown() override { VisionToolMultiThreading::Reset(); }
};

TEST_P(RunOnSegmentersModes, EverySegmenterRunsOnceWithinTheThreadBound) {
  const bool sequential = !GetParam().enable;
  // A count below one still runs the list, on one worker.
  const int bound = sequential ? 1 : std::max(GetParam().threads, 1);
  EXPECT_TRUE(RunOnSegmenters<int>(Segmenters{}, [](const std::shared_ptr<int>&) -> int {
                throw std::logic_error("called for an empty list");
              }).empty());

  std::mutex mutex;
  std::multiset<int> handled;
  std::set<std::thread::id> threads;
  std::atomic<int> running{0}, peak{0};
  // Every odd segmenter gives an empty result, which keeps its entry.
  auto results =
      RunOnSegmenters<std::shared_ptr<int>>(MakeSegmenters(30), [&](std::shared_ptr<int> s) {
        const int now = ++running;
        for (int seen = peak.load(); now > seen && !peak.compare_exchange_weak(seen, now);) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        {
          std::lock_guard<std::mutex> guard(mutex);
          handled.insert(*s);
          threads.insert(std::this_thread::get_id());
        }
        --running;
        return *s % 2 ? nullptr : s;
      });
  ASSERT_EQ(results.size(), 30u);
  std::vector<int> values;
  for (const auto& result : results) values.push_back(result ? *result : -1);
  if (bound == 1) {
    // One thread takes the segmenters in list order.
    for (int i = 0; i < 30; ++i) EXPECT_EQ(values[i], i % 2 ? -1 : i);
  }
  EXPECT_EQ(std::count(values.begin(), values.end(), -1), 15);
  std::sort(values.begin(), values.end());
  for (int k = 0; k < 15; ++k) EXPECT_EQ(values[15 + k], 2 * k);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(handled.count(i), 1u) << i;
  EXPECT_LE(peak.load(), bound);
  EXPECT_LE(threads.size(), static_cast<std::size_t>(bound));
  // Sequential runs stay on the caller; workers leave it to launch and wait only.
  EXPECT_EQ(threads.count(std::this_thread::get_id()), sequential ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Modes, RunOnSegmentersModes,
                         ::testing::Values(Mode{false, 8}, Mode{true, 0}, Mode{true, 1},
                                           Mode{true, 2}, Mode{true, 8}));

// Three workers each blocked on their first segmenter until all three have started; the first
// and third fail, the second finishes only after a delay. The caller must see the first worker's
// exception, and only once the slow second worker has finished.
TEST(RunOnSegmenters, FirstWorkersExceptionWinsAfterAllWorkersFinished) {
  VisionToolMultiThreading::setEnable(true);
  VisionToolMultiThreading::setThreadCount(3);
  std::atomic<int> started{0};
  std::atomic<bool> secondFinished{false};
  struct FirstError : std::runtime_error {
    using std::runtime_error::runtime_error;
  };
  auto call = [&](std::shared_ptr<int> s) -> int {
    ++started;
    if (!Tamrix::Testing::WaitUntil([&] { return started.load() >= 3; }))
      throw std::runtime_error("the three workers never ran at the same time");
    if (*s == 0) throw FirstError("first");
    if (*s == 2) throw std::logic_error("third");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    secondFinished = true;
    return 1;
  };
  EXPECT_EQ(Tamrix::Testing::MessageOf<FirstError>(
                [&] { RunOnSegmenters<int>(MakeSegmenters(3), call); }),
            "first");
  EXPECT_TRUE(secondFinished.load());
  VisionToolMultiThreading::Reset();
}

}  // namespace
