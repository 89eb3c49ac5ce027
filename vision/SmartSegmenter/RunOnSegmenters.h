// Applies one engine call to every segmenter of a list, on the calling thread or on workers.
#pragma once

#include <cstddef>
#include <deque>
#include <exception>
#include <future>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "interfaces/core/Settings.h"
#include "interfaces/core/TaskPool.h"

namespace Tamrix::Vision::SmartSegmenter::detail {

// Runs `engineCall(segmenter)` for every segmenter and returns the results.
//
// With VisionToolMultiThreading disabled the calls run on the calling thread in list order and
// the first exception leaves at once. Otherwise up to ThreadCount() workers (at least one) start
// at once on the task pool and draw segmenters from one shared queue; the calling thread only
// launches and waits. Results come as the workers' lists in launch order. Every worker is waited
// for; then the exception of the first failing worker in launch order is rethrown unchanged.
//
// `engineCall` is invoked from several threads at once and must only read what it captured.
template <typename Result, typename Segmenter, typename EngineCall>
std::vector<Result> RunOnSegmenters(const std::vector<std::shared_ptr<Segmenter>>& segmenters,
                                    EngineCall engineCall) {
  using SegmenterPtr = std::shared_ptr<Segmenter>;
  std::vector<Result> results;

  if (!VisionToolMultiThreading::Enable()) {
    results.reserve(segmenters.size());
    for (const SegmenterPtr& segmenter : segmenters) results.push_back(engineCall(segmenter));
    return results;
  }

  std::deque<SegmenterPtr> queue(segmenters.begin(), segmenters.end());
  std::mutex queueMutex;
  // A count below one would run nothing at all; one worker is the least that does the work.
  const int threadCount = VisionToolMultiThreading::ThreadCount();
  const std::size_t workerLimit = threadCount < 1 ? 1 : static_cast<std::size_t>(threadCount);

  auto takeFromQueue = [&]() -> SegmenterPtr {
    std::lock_guard<std::mutex> guard(queueMutex);
    if (queue.empty()) return nullptr;
    SegmenterPtr next = std::move(queue.front());
    queue.pop_front();
    return next;
  };

  std::vector<std::future<std::vector<Result>>> futures;
  // Waits for every launched worker before the run's state goes away, also when launching fails.
  struct WaitForAll {
    std::vector<std::future<std::vector<Result>>>& futures;
    ~WaitForAll() {
      for (auto& future : futures) {
        if (future.valid()) future.wait();
      }
    }
  } waitForAll{futures};

  auto takeForNewWorker = [&]() -> SegmenterPtr {
    return futures.size() < workerLimit ? takeFromQueue() : nullptr;
  };

  for (SegmenterPtr first = takeForNewWorker(); first; first = takeForNewWorker()) {
    futures.push_back(TaskPool::Shared().Launch(
        [&engineCall, &takeFromQueue, first = std::move(first)]() mutable {
          std::vector<Result> local;
          for (SegmenterPtr current = std::move(first); current; current = takeFromQueue()) {
            local.push_back(engineCall(current));
          }
          return local;
        }));
  }

  std::exception_ptr firstFailure;
  for (auto& future : futures) {
    try {
      std::vector<Result> local = future.get();
      results.insert(results.end(), std::make_move_iterator(local.begin()),
                     std::make_move_iterator(local.end()));
    } catch (...) {
      if (!firstFailure) firstFailure = std::current_exception();
    }
  }
  if (firstFailure) std::rethrow_exception(firstFailure);
  return results;
}

}  // namespace Tamrix::Vision::SmartSegmenter::detail
