// Throughput of the operator's engine-run routine: sequential against parallel mode with
// CPU-bound engine calls, and the fixed cost of one run over many trivial segmenters.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "interfaces/core/Settings.h"
#include "vision/SmartSegmenter/RunOnSegmenters.h"

namespace {

using Tamrix::Vision::VisionToolMultiThreading;
using Tamrix::Vision::SmartSegmenter::detail::RunOnSegmenters;

struct BusySegmenter {
  int iterations;
};

double BurnCpu(int iterations) {
  double x = 0.5;
  for (int i = 0; i < iterations; ++i) x = std::sin(x) * 1.0000001 + 0.25;
  return x;
}

std::vector<std::shared_ptr<BusySegmenter>> MakeSegmenters(int count, int iterations) {
  std::vector<std::shared_ptr<BusySegmenter>> list;
  for (int i = 0; i < count; ++i)
    list.push_back(std::make_shared<BusySegmenter>(BusySegmenter{iterations}));
  return list;
}

// range(0): 0 sequential, otherwise the worker count.
void BM_EightCpuBoundSegmenters(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  VisionToolMultiThreading::setEnable(threads > 0);
  VisionToolMultiThreading::setThreadCount(threads > 0 ? threads : 1);
  const auto segmenters = MakeSegmenters(8, 200000);
  for (auto _ : state) {
    auto results = RunOnSegmenters<double>(
        segmenters, [](std::shared_ptr<BusySegmenter> s) { return BurnCpu(s->iterations); });
    benchmark::DoNotOptimize(results);
  }
  state.SetItemsProcessed(state.iterations() * 8);
  VisionToolMultiThreading::Reset();
}
BENCHMARK(BM_EightCpuBoundSegmenters)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HundredTrivialSegmenters(benchmark::State& state) {
  const int threads = static_cast<int>(state.range(0));
  VisionToolMultiThreading::setEnable(threads > 0);
  VisionToolMultiThreading::setThreadCount(threads > 0 ? threads : 1);
  const auto segmenters = MakeSegmenters(100, 0);
  for (auto _ : state) {
    auto results =
        RunOnSegmenters<int>(segmenters, [](std::shared_ptr<BusySegmenter>) { return 0; });
    benchmark::DoNotOptimize(results);
  }
  VisionToolMultiThreading::Reset();
}
BENCHMARK(BM_HundredTrivialSegmenters)
    ->Arg(0)
    ->Arg(2)
    ->Arg(8)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
