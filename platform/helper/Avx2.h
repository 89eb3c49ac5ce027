// Whether the CPU runs AVX2 code. The helper's hand-vectorised loops are built for the x86-64
// baseline and for AVX2 side by side, and choose at run time, so the module runs on any x86-64.
#pragma once

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TAMRIX_HELPER_AVX2 1

namespace Tamrix::Vision::SmartSegmenterHelper::detail {

inline bool HaveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}

}  // namespace Tamrix::Vision::SmartSegmenterHelper::detail
#endif
