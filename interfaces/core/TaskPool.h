// The framework's pool of worker threads for vision tools.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <type_traits>
#include <utility>

namespace Tamrix::Vision {

// A pool whose tasks start at once: a submitted task goes to an idle pool thread when there is
// one and to a new thread otherwise, so it never waits behind other tasks. Threads that stay idle
// for a while end, so the pool holds about as many threads as tasks that ran at the same time.
// Thread-safe.
class TaskPool {
 public:
  // The process-wide pool used by vision tools.
  static TaskPool& Shared();

  // Starts a detached thread that runs `loop`, or throws (std::system_error) when the system has
  // no thread to give. The default starts a std::thread; tests pass one that fails on demand.
  using ThreadStarter = std::function<void(std::function<void()> loop)>;

  TaskPool();
  explicit TaskPool(ThreadStarter startThread);
  TaskPool(const TaskPool&) = delete;
  TaskPool& operator=(const TaskPool&) = delete;
  // Waits for running tasks, then ends every thread.
  ~TaskPool();

  // Starts `task` at once on a pool thread. The future yields its result or its exception.
  template <typename Task>
  std::future<std::invoke_result_t<Task>> Launch(Task task) {
    using Result = std::invoke_result_t<Task>;
    auto packaged = std::make_shared<std::packaged_task<Result()>>(std::move(task));
    std::future<Result> future = packaged->get_future();
    Submit([packaged] { (*packaged)(); });
    return future;
  }

  // Threads currently owned by the pool, busy or idle.
  std::size_t ThreadCount() const;
  // Threads waiting for a task.
  std::size_t IdleThreadCount() const;

 private:
  void Submit(std::function<void()> job);
  void WorkerLoop();

  ThreadStarter startThread_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable allEnded_;
  std::deque<std::function<void()>> jobs_;
  std::size_t idle_ = 0;
  std::size_t threads_ = 0;
  bool stopping_ = false;
};

// Runs body(task, worker) for every task in 0..count-1 on up to `workers` workers: the calling
// thread (worker 0) and tasks of TaskPool::Shared() (workers 1, 2, ...). A worker runs one task at
// a time. Returns when every task has ended; the first failure is rethrown then. When the system
// has no thread to give, the workers that did start run the tasks left.
void RunTasks(int count, int workers, const std::function<void(int task, int worker)>& body);

}  // namespace Tamrix::Vision
