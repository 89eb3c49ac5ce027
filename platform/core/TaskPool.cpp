#include "interfaces/core/TaskPool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace Tamrix::Vision {
namespace {
// How long a pool thread waits for new work before it ends.
constexpr std::chrono::seconds kIdleLifetime{20};

void StartDetachedThread(std::function<void()> loop) { std::thread(std::move(loop)).detach(); }
}  // namespace

TaskPool::TaskPool() : TaskPool(StartDetachedThread) {}

TaskPool::TaskPool(ThreadStarter startThread) : startThread_(std::move(startThread)) {}

TaskPool& TaskPool::Shared() {
  // Never destroyed: tasks may still be finishing while static objects of the process go away.
  static TaskPool* pool = new TaskPool();
  return *pool;
}

TaskPool::~TaskPool() {
  std::unique_lock<std::mutex> lock(mutex_);
  stopping_ = true;
  wake_.notify_all();
  allEnded_.wait(lock, [this] { return threads_ == 0; });
}

std::size_t TaskPool::ThreadCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return threads_;
}

std::size_t TaskPool::IdleThreadCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return idle_;
}

void TaskPool::Submit(std::function<void()> job) {
  std::unique_lock<std::mutex> lock(mutex_);
  jobs_.push_back(std::move(job));
  // Every queued job needs an idle thread of its own to start at once; otherwise add one.
  if (idle_ >= jobs_.size()) {
    wake_.notify_one();
    return;
  }
  // The thread starts under the lock: until it is released nobody else can queue a job or take
  // one, so on failure the job at the back is still ours to withdraw. The new thread only blocks
  // on the mutex for a moment.
  ++threads_;
  try {
    startThread_([this] { WorkerLoop(); });
  } catch (...) {
    --threads_;
    jobs_.pop_back();
    throw;
  }
}

void TaskPool::WorkerLoop() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (jobs_.empty() && !stopping_) {
      ++idle_;
      const bool woken =
          wake_.wait_for(lock, kIdleLifetime, [this] { return !jobs_.empty() || stopping_; });
      --idle_;
      if (!woken) break;
    }
    if (jobs_.empty()) break;  // stopping with nothing left to do
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    lock.unlock();
    job();  // packaged tasks store their own exceptions
    job = nullptr;
    lock.lock();
  }
  --threads_;
  if (threads_ == 0) allEnded_.notify_all();
}

void RunTasks(int count, int workerLimit, const std::function<void(int task, int worker)>& body) {
  const int workers = std::min(count, workerLimit);
  if (workers <= 1) {
    for (int task = 0; task < count; ++task) body(task, 0);
    return;
  }
  std::atomic<int> next{0};
  std::exception_ptr failure;
  std::mutex failureMutex;
  const auto work = [&](int worker) {
    for (int task = next++; task < count; task = next++) {
      try {
        body(task, worker);
      } catch (...) {
        std::lock_guard<std::mutex> lock(failureMutex);
        if (!failure) failure = std::current_exception();
      }
    }
  };
  std::vector<std::future<void>> helpers;
  for (int worker = 1; worker < workers; ++worker) {
    try {
      helpers.push_back(TaskPool::Shared().Launch([&work, worker] { work(worker); }));
    } catch (const std::system_error&) {
      // No thread to be had: the tasks left are run by the workers that did start.
      break;
    }
  }
  work(0);
  for (auto& helper : helpers) helper.wait();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace Tamrix::Vision
