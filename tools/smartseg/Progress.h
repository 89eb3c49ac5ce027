// Progress lines and warnings on stderr.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace Smartseg {

// Reports the steps of one task: which of how many, the time elapsed and an estimate of the time
// left. Silent when quiet, and until the task has run for a second (the environment variable
// SMARTSEG_PROGRESS_DELAY, in seconds, changes that threshold).
class Progress {
 public:
  Progress(std::string task, int total, bool quiet);

  // Announces step `index` (1-based) of the total, about to start on `what`.
  void Step(int index, const std::string& what);
  // Announces a phase that has no count, such as the training itself.
  void Phase(const std::string& what);

 private:
  bool Due() const;
  double Elapsed() const;

  std::string task_;
  int total_;
  bool quiet_;
  double delay_;
  std::chrono::steady_clock::time_point start_;
};

// Reports one long step that has no count of its own (loading a model, training, saving) for as
// long as it lasts: nothing for the first second (or SMARTSEG_PROGRESS_DELAY seconds), then
// "smartseg: WHAT, N s elapsed" and the same again every 10 seconds (every second when the delay
// is set below a second), from a thread of its own. Silent when quiet.
class ProgressPhase {
 public:
  ProgressPhase(std::string what, bool quiet);
  // Stops the reports; when any was made, says how long the phase took.
  ~ProgressPhase();
  ProgressPhase(const ProgressPhase&) = delete;
  ProgressPhase& operator=(const ProgressPhase&) = delete;

 private:
  void Report();

  std::string what_;
  double delay_;
  std::chrono::steady_clock::time_point start_;
  std::mutex mutex_;
  std::condition_variable stopped_;
  bool stop_ = false;
  bool reported_ = false;
  std::thread thread_;
};

// Writes "smartseg: warning: MESSAGE" on stderr, with control characters and broken UTF-8 in
// the message shown as escapes.
void Warn(const std::string& message);

}  // namespace Smartseg
