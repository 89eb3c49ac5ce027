#include "vision/SmartSegmenter/RunOnSegmenters.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using Tamrix::Vision::VisionToolMultiThreading;
using Tamrix::Vision::SmartSegmenter::detail::RunOnSegmenters;

struct FakeSegmenter {
  int id;
};
using FakePtr = std::shared_ptr<FakeSegmenter>;

std::vector<FakePtr> MakeSegmenters(int count) {
  std::vector<FakePtr> list;
  for (int i = 0; i < count; ++i) list.push_back(std::make_shared<FakeSegmenter>(FakeSegmenter{i}));
  return list;
}

class RunOnSegmentersTest : public ::testing::Test {
 protected:
  void TearDown() override { VisionToolMultiThreading::Reset(); }
  void Threads(bool enable, int count = 1) {
    VisionToolMultiThreading::setEnable(enable);
    VisionToolMultiThreading::setThreadCount(count);
  }
};

// Records which thread handled which segmenter.
struct CallLog {
  std::mutex mutex;
  std::vector<std::pair<int, std::thread::id>> calls;
  void Add(int id) {
    std::lock_guard<std::mutex> guard(mutex);
    calls.emplace_back(id, std::this_thread::get_id());
  }
  std::set<std::thread::id> Threads() {
    std::set<std::thread::id> ids;
    for (auto& c : calls) ids.insert(c.second);
    return ids;
  }
};

TEST_F(RunOnSegmentersTest, EmptyListMakesNoCallInEitherMode) {
  for (bool enable : {false, true}) {
    Threads(enable, 4);
    int calls = 0;
    auto results = RunOnSegmenters<int>(std::vector<FakePtr>{}, [&](FakePtr) { return ++calls; });
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(calls, 0);
  }
}

TEST_F(RunOnSegmentersTest, SequentialModeRunsOnTheCallerInListOrder) {
  Threads(false, 8);
  CallLog log;
  auto results = RunOnSegmenters<int>(MakeSegmenters(5), [&](FakePtr s) {
    log.Add(s->id);
    return s->id * 10;
  });
  EXPECT_EQ(results, (std::vector<int>{0, 10, 20, 30, 40}));
  EXPECT_EQ(log.Threads(), std::set<std::thread::id>{std::this_thread::get_id()});
}

TEST_F(RunOnSegmentersTest, SequentialModeStopsAtTheFirstFailure) {
  Threads(false);
  std::vector<int> visited;
  EXPECT_THROW(RunOnSegmenters<int>(MakeSegmenters(4),
                                    [&](FakePtr s) {
                                      visited.push_back(s->id);
                                      if (s->id == 1) throw std::invalid_argument("segmenter 1");
                                      return 0;
                                    }),
               std::invalid_argument);
  EXPECT_EQ(visited, (std::vector<int>{0, 1}));
}

TEST_F(RunOnSegmentersTest, OneWorkerHandlesEverySegmenterInOrderOffTheCallingThread) {
  Threads(true, 1);
  CallLog log;
  auto results = RunOnSegmenters<int>(MakeSegmenters(6), [&](FakePtr s) {
    log.Add(s->id);
    return s->id;
  });
  EXPECT_EQ(results, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  const auto threads = log.Threads();
  ASSERT_EQ(threads.size(), 1u);
  EXPECT_NE(*threads.begin(), std::this_thread::get_id());
}

TEST_F(RunOnSegmentersTest, ThreadCountBelowOneStillRunsEverySegmenter) {
  Threads(true, 1);
  VisionToolMultiThreading::setThreadCount(0);  // stored as 1
  auto results = RunOnSegmenters<int>(MakeSegmenters(3), [](FakePtr s) { return s->id; });
  EXPECT_EQ(results.size(), 3u);
}

TEST_F(RunOnSegmentersTest, WorkersNeverExceedTheThreadCountAndTheCallerRunsNoCall) {
  Threads(true, 2);
  CallLog log;
  std::atomic<int> running{0}, peak{0};
  auto results = RunOnSegmenters<int>(MakeSegmenters(9), [&](FakePtr s) {
    const int now = ++running;
    int seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    log.Add(s->id);
    --running;
    return s->id;
  });
  EXPECT_LE(peak.load(), 2);
  const auto threads = log.Threads();
  EXPECT_LE(threads.size(), 2u);
  EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
  std::multiset<int> handled(results.begin(), results.end());
  EXPECT_EQ(handled, (std::multiset<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(RunOnSegmentersTest, EverySegmenterIsHandledExactlyOnceByManyWorkers) {
  Threads(true, 8);
  std::mutex mutex;
  std::multiset<int> handled;
  RunOnSegmenters<int>(MakeSegmenters(100), [&](FakePtr s) {
    std::lock_guard<std::mutex> guard(mutex);
    handled.insert(s->id);
    return 0;
  });
  ASSERT_EQ(handled.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(handled.count(i), 1u) << i;
}

// Three workers each blocked on their first segmenter until all three have started; the first
// and third fail, the second finishes only after a delay. The caller must see the first worker's
// exception, and only once the slow second worker has finished.
TEST_F(RunOnSegmentersTest, FirstWorkersExceptionWinsAfterAllWorkersFinished) {
  Threads(true, 3);
  std::mutex mutex;
  std::condition_variable cv;
  int started = 0;
  std::atomic<bool> secondFinished{false};
  struct FirstError : std::runtime_error {
    using std::runtime_error::runtime_error;
  };
  struct ThirdError : std::runtime_error {
    using std::runtime_error::runtime_error;
  };
  auto call = [&](FakePtr s) -> int {
    {
      std::unique_lock<std::mutex> lock(mutex);
      ++started;
      cv.notify_all();
      cv.wait(lock, [&] { return started >= 3; });
    }
    if (s->id == 0) throw FirstError("first");
    if (s->id == 2) throw ThirdError("third");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    secondFinished = true;
    return 1;
  };
  try {
    RunOnSegmenters<int>(MakeSegmenters(3), call);
    FAIL() << "no exception";
  } catch (const FirstError& e) {
    EXPECT_STREQ(e.what(), "first");
    EXPECT_TRUE(secondFinished.load());
  }
}

TEST_F(RunOnSegmentersTest, EmptyResultsKeepTheirEntries) {
  for (bool enable : {false, true}) {
    Threads(enable, 1);
    auto results = RunOnSegmenters<std::shared_ptr<int>>(MakeSegmenters(3), [](FakePtr s) {
      return s->id == 1 ? nullptr : std::make_shared<int>(s->id);
    });
    ASSERT_EQ(results.size(), 3u);
    EXPECT_EQ(*results[0], 0);
    EXPECT_EQ(results[1], nullptr);
    EXPECT_EQ(*results[2], 2);
  }
}

}  // namespace
