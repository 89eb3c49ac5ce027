#include "tools/smartseg/Progress.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "tools/smartseg/DisplayText.h"

namespace Smartseg {
namespace {

double DelayFromEnvironment() {
  const char* text = std::getenv("SMARTSEG_PROGRESS_DELAY");
  if (!text || !*text) return 1.0;
  char* end = nullptr;
  const double value = std::strtod(text, &end);
  return (end && *end == '\0' && value >= 0.0) ? value : 1.0;
}

}  // namespace

Progress::Progress(std::string task, int total, bool quiet)
    : task_(std::move(task)),
      total_(total),
      quiet_(quiet),
      delay_(DelayFromEnvironment()),
      start_(std::chrono::steady_clock::now()) {}

double Progress::Elapsed() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

bool Progress::Due() const { return !quiet_ && Elapsed() >= delay_; }

void Progress::Step(int index, const std::string& what) {
  if (!Due()) return;
  const double elapsed = Elapsed();
  std::fprintf(stderr, "smartseg: %s %d of %d (%s), %.1f s elapsed", task_.c_str(), index, total_,
               what.c_str(), elapsed);
  // The estimate needs one finished step to go on.
  if (index > 1) {
    const double perStep = elapsed / (index - 1);
    std::fprintf(stderr, ", about %.1f s left", perStep * (total_ - index + 1));
  }
  std::fputc('\n', stderr);
}

void Progress::Phase(const std::string& what) {
  if (!Due()) return;
  std::fprintf(stderr, "smartseg: %s, %.1f s elapsed\n", what.c_str(), Elapsed());
}

ProgressPhase::ProgressPhase(std::string what, bool quiet)
    : what_(std::move(what)),
      delay_(DelayFromEnvironment()),
      start_(std::chrono::steady_clock::now()) {
  if (quiet) return;
  // With no delay the first report comes at once, not whenever the thread first runs.
  if (delay_ <= 0.0) {
    std::fprintf(stderr, "smartseg: %s, 0.0 s elapsed\n", PrintableText(what_).c_str());
    reported_ = true;
  }
  thread_ = std::thread([this] { Report(); });
}

ProgressPhase::~ProgressPhase() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  stopped_.notify_all();
  thread_.join();
  if (reported_) {
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(stderr, "smartseg: %s: done in %.1f s\n", PrintableText(what_).c_str(), elapsed);
  }
}

void ProgressPhase::Report() {
  const double period = delay_ < 1.0 ? 1.0 : 10.0;
  std::unique_lock<std::mutex> lock(mutex_);
  auto next = start_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                           std::chrono::duration<double>(reported_ ? period : delay_));
  while (!stopped_.wait_until(lock, next, [this] { return stop_; })) {
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    std::fprintf(stderr, "smartseg: %s, %.1f s elapsed\n", PrintableText(what_).c_str(), elapsed);
    reported_ = true;
    next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(period));
  }
}

void Warn(const std::string& message) {
  std::fprintf(stderr, "smartseg: warning: %s\n", PrintableText(message).c_str());
}

}  // namespace Smartseg
