// Reproducible noise for test images: the same seed gives the same pixels on every platform and
// standard library, which std::uniform_int_distribution does not promise.
#pragma once

#include <cstdint>

namespace Tamrix::Testing {

// A 32-bit linear congruential generator (the constants of Numerical Recipes). Its low bits are
// weak; take the high ones.
class PseudoRandom {
 public:
  explicit PseudoRandom(std::uint32_t seed) : state_(seed) {}
  std::uint32_t Next() { return state_ = state_ * 1664525u + 1013904223u; }

 private:
  std::uint32_t state_;
};

}  // namespace Tamrix::Testing
