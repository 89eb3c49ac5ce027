// Progress lines on stderr for work that takes a while.
#pragma once

#include <chrono>
#include <string>

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

}  // namespace Smartseg
