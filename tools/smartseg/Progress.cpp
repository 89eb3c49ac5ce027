#include "tools/smartseg/Progress.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

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

}  // namespace Smartseg
