// Many operators, each with many labels, trained and executed at once from several host threads
// with the real engine module, while the worker settings change between runs. Every result must
// equal the result of the same work done on one thread. Run under ThreadSanitizer by CI.
#include <gtest/gtest.h>

#include <rttr/type>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/core/Settings.h"
#include "interfaces/smartcore/ISmartSegmenterResult.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "interfaces/sys/SysLibrary.h"
#include "tests/support/PseudoRandom.h"
#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace {

using namespace Tamrix::Vision;
using Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator;
const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

constexpr int kOperators = 4;
constexpr int kLabels = 6;
constexpr int kHostThreads = 3;
constexpr int kRounds = 2;
constexpr int kSize = 36;

// kLabels horizontal bands, each with its own brightness and stripe period; `seed` varies noise.
std::shared_ptr<Image8Grey> Bands(std::uint32_t seed) {
  auto image = std::make_shared<Image8Grey>(kToken, kSize, kSize);
  Tamrix::Testing::PseudoRandom noise(seed);
  for (int y = 0; y < kSize; ++y) {
    const int band = y * kLabels / kSize;
    for (int x = 0; x < kSize; ++x) {
      const double value = 20.0 + 35.0 * band + 10.0 * std::sin(x / (1.0 + band)) +
                           static_cast<double>(noise.Next() >> 28);
      image->MutableRow(y)[x] = static_cast<std::uint8_t>(std::lround(value));
    }
  }
  return image;
}

std::shared_ptr<SmartSegmenterOperator> MakeOperator(int index) {
  const rttr::variant made =
      rttr::type::get_by_name("Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator").create();
  auto op = made.get_value<std::shared_ptr<SmartSegmenterOperator>>();
  const double band = static_cast<double>(kSize) / kLabels;
  auto item = std::make_shared<SmartCore::SmartTrainData>(
      kToken, Bands(static_cast<std::uint32_t>(100 + index)), true);
  for (int i = 0; i < kLabels; ++i) {
    auto label = std::make_shared<SmartCore::SmartLabel>(kToken, "band" + std::to_string(i));
    op->Labels()->Add(label);
    const double top = i * band + 1, bottom = (i + 1) * band - 2;
    item->AddAssignment(
        label, std::make_shared<Polygon>(
                   kToken, std::vector<Point2D>{
                               {2, top}, {kSize - 3.0, top}, {kSize - 3.0, bottom}, {2, bottom}}));
  }
  op->SmartTrainDataDatabase()->Add(item);
  op->setSampleSize(1.0 + index % 3);
  return op;
}

// Per label name: its probabilities, then its area. Parallel runs give results in the order the
// workers finished, so results are compared by label, not by position.
using Outcome = std::map<std::string, std::vector<float>>;

Outcome TrainAndExecute(SmartSegmenterOperator& op, const IImage& image) {
  op.Retrain();
  const auto results = static_cast<SmartCore::ISmartSegmenter&>(op).Execute(image, nullptr);
  Outcome outcome;
  for (int i = 0; i < results->Count(); ++i) {
    auto& values = outcome[results->Item(i)->LabelName()];
    values = results->Item(i)->Probabilities();
    values.push_back(static_cast<float>(results->Item(i)->Area()));
  }
  return outcome;
}

class Stress : public ::testing::Test {
 protected:
  void SetUp() override { sysSetLibrarySearchDirectory(L"" TAMRIX_MODULE_DIR); }
  void TearDown() override {
    VisionToolMultiThreading::Reset();
    sysSetLibrarySearchDirectory(L"");
  }
};

TEST_F(Stress, ParallelHostsAndChangingWorkerSettingsGiveTheSingleThreadedResults) {
  const auto probe = Bands(7);
  VisionToolMultiThreading::setEnable(false);
  std::vector<Outcome> expected;
  for (int i = 0; i < kOperators; ++i)
    expected.push_back(TrainAndExecute(*MakeOperator(i), *probe));
  for (const auto& outcome : expected) ASSERT_EQ(outcome.size(), static_cast<std::size_t>(kLabels));

  std::vector<std::shared_ptr<SmartSegmenterOperator>> operators;
  for (int i = 0; i < kOperators; ++i) operators.push_back(MakeOperator(i));

  std::atomic<int> mismatches{0}, failures{0}, hostsRunning{kHostThreads};
  std::vector<std::thread> hosts;
  for (int host = 0; host < kHostThreads; ++host) {
    hosts.emplace_back([&, host] {
      for (int round = 0; round < kRounds; ++round) {
        // Each operator has one host at a time: host h takes operators h, h + hosts, ...
        for (int i = host; i < kOperators; i += kHostThreads) {
          try {
            if (TrainAndExecute(*operators[static_cast<std::size_t>(i)], *probe) !=
                expected[static_cast<std::size_t>(i)])
              ++mismatches;
          } catch (const std::exception& e) {
            ADD_FAILURE() << "operator " << i << ": " << e.what();
            ++failures;
          }
        }
      }
      --hostsRunning;
    });
  }
  // Meanwhile the host's worker settings keep changing between (and during) the runs.
  // A host that never finishes is a deadlock: report it instead of waiting for ctest to give up.
  // The hosts still use this frame, so the program cannot go on.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
  for (int step = 0; hostsRunning.load() > 0; ++step) {
    if (std::chrono::steady_clock::now() > deadline) {
      std::fprintf(stderr, "%d host threads still running after 5 minutes\n", hostsRunning.load());
      std::abort();
    }
    VisionToolMultiThreading::setEnable(step % 4 != 3);
    VisionToolMultiThreading::setThreadCount(1 + step % 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  for (auto& host : hosts) host.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(failures.load(), 0);
}

}  // namespace
