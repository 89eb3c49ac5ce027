// An engine call failing at every position of a run, sequential and parallel: the failure reaches
// the caller unchanged and leaves the operator exactly as it was (flags, segmenter list, item
// connections, no change event), ready for the next run. Leaks show under the AddressSanitizer
// build, which runs these tests too.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/Settings.h"
#include "support/OperatorTestPeer.h"

namespace Tamrix::Testing {
namespace {

using Tamrix::Vision::VisionToolMultiThreading;
constexpr int kLabels = 5;

struct EngineFault : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// (engine operation, position of the failing segmenter, workers: 0 runs on the calling thread)
using FaultCase = std::tuple<std::string, int, int>;

class FaultInjection : public OperatorTest, public ::testing::WithParamInterface<FaultCase> {
 protected:
  void SetUp() override {
    OperatorTest::SetUp();
    const int workers = std::get<2>(GetParam());
    VisionToolMultiThreading::setEnable(workers > 0);
    if (workers > 0) VisionToolMultiThreading::setThreadCount(workers);
  }

  // Trained on one item with all labels and one without any, then marked as the run needs.
  std::shared_ptr<Operator> PreparedOperator() {
    auto op = Peer::Create();
    std::vector<std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel>> labels;
    for (int i = 0; i < kLabels; ++i) labels.push_back(Label("L" + std::to_string(i)));
    op->SmartTrainDataDatabase()->Add(Item(labels));
    op->SmartTrainDataDatabase()->Add(Item({labels[1]}, false));
    op->Train();
    const std::string& operation = std::get<0>(GetParam());
    if (operation == "Train") Peer::SetFlags(*op, true, false);
    if (operation == "Retrain") Peer::SetFlags(*op, true, true);
    recording.Reset();
    return op;
  }

  void Run(Operator& op) {
    const std::string& operation = std::get<0>(GetParam());
    if (operation == "Execute") {
      const Tamrix::Vision::Image8Grey image(Tamrix::Vorn::IObject::ObjectCreateAccessToken{}, 16,
                                             16);
      static_cast<Tamrix::Vision::SmartCore::ISmartSegmenter&>(op).Execute(image, nullptr);
    } else {
      op.Train();  // retrains every segmenter while full training is required
    }
  }
};

TEST_P(FaultInjection, FailureReachesTheCallerAndLeavesTheOperatorAsItWas) {
  const auto& [operation, failing, workers] = GetParam();
  auto op = PreparedOperator();
  const bool training = Peer::TrainingRequired(*op), full = Peer::FullTrainRequired(*op);
  const auto segmenters = Peer::Segmenters(*op);
  const auto items = op->SmartTrainDataDatabase()->TrainingData();
  std::vector<int> connections;
  for (int i = 0; i < items->Count(); ++i)
    connections.push_back(Peer::ConnectionCount(*op, items->Item(i)));
  const std::string failingLabel = "L" + std::to_string(failing);
  recording.ThrowOn(operation, failingLabel, [&] { throw EngineFault("engine " + failingLabel); });
  auto changes = RecordChanges(*op);

  try {
    Run(*op);
    FAIL() << "no exception";
  } catch (const EngineFault& e) {
    EXPECT_EQ(std::string(e.what()), "engine " + failingLabel);
  }

  // Sequential runs and a single worker stop at the failure; with more workers the others drain
  // the list, so every segmenter is called exactly once.
  const auto calls = recording.CallsOf(operation);
  EXPECT_EQ(static_cast<int>(calls.size()), workers >= 2 ? kLabels : failing + 1);
  std::vector<std::string> called;
  for (const auto& call : calls) called.push_back(call.label);
  std::sort(called.begin(), called.end());
  EXPECT_EQ(std::adjacent_find(called.begin(), called.end()), called.end()) << "a repeated call";

  EXPECT_EQ(Peer::TrainingRequired(*op), training);
  EXPECT_EQ(Peer::FullTrainRequired(*op), full);
  EXPECT_TRUE(changes->empty());
  EXPECT_EQ(Peer::Segmenters(*op), segmenters);
  for (int i = 0; i < items->Count(); ++i)
    EXPECT_EQ(Peer::ConnectionCount(*op, items->Item(i)), connections[static_cast<std::size_t>(i)]);

  // Nothing is left half-done: once the engine recovers, the same run succeeds.
  recording.Reset();
  EXPECT_NO_THROW(Run(*op));
  EXPECT_EQ(recording.Count(operation), kLabels);
  if (operation != "Execute") {
    EXPECT_FALSE(op->IsDirty());
  }
}

INSTANTIATE_TEST_SUITE_P(EveryPosition, FaultInjection,
                         ::testing::Combine(::testing::Values("Train", "Retrain", "Execute"),
                                            ::testing::Range(0, kLabels),
                                            ::testing::Values(0, 1, 2, 4)),
                         [](const ::testing::TestParamInfo<FaultCase>& test) {
                           return std::get<0>(test.param) + "_At" +
                                  std::to_string(std::get<1>(test.param)) + "_" +
                                  (std::get<2>(test.param) == 0
                                       ? std::string("Sequential")
                                       : std::to_string(std::get<2>(test.param)) + "Workers");
                         });

}  // namespace
}  // namespace Tamrix::Testing
