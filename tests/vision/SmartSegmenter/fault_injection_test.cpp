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

#include "support/OperatorTestPeer.h"
#include "tests/support/MessageOf.h"

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
  // Trained on one item with all labels and one without any, then marked as the run needs.
  std::shared_ptr<Operator> PreparedOperator() {
    const int workers = std::get<2>(GetParam());
    VisionToolMultiThreading::setEnable(workers > 0);
    if (workers > 0) VisionToolMultiThreading::setThreadCount(workers);
    auto op = Peer::Create();
    std::vector<LabelPtr> labels;
    for (int i = 0; i < kLabels; ++i) labels.push_back(Label("L" + std::to_string(i)));
    op->SmartTrainDataDatabase()->Add(Item(labels));
    op->SmartTrainDataDatabase()->Add(Item({labels[1]}, false));
    op->Train();
    SetFlagState(*op, operation == "Train" ? "T" : operation == "Retrain" ? "TF" : "");
    recording.Reset();
    return op;
  }
  void Run(Operator& op) {
    if (operation == "Execute") {
      const Tamrix::Vision::Image8Grey image(Token{}, 16, 16);
      static_cast<Tamrix::Vision::SmartCore::ISmartSegmenter&>(op).Execute(image, nullptr);
    } else {
      op.Train();  // retrains every segmenter while full training is required
    }
  }
  const std::string operation = std::get<0>(GetParam());
};

TEST_P(FaultInjection, FailureReachesTheCallerAndLeavesTheOperatorAsItWas) {
  const auto& [unused, failing, workers] = GetParam();
  auto op = PreparedOperator();
  const std::string flags = FlagState(*op);
  const auto segmenters = Peer::Segmenters(*op);
  const auto items = op->SmartTrainDataDatabase()->TrainingData();
  const auto connections = [&] {
    std::vector<int> counts;
    for (int i = 0; i < items->Count(); ++i)
      counts.push_back(Peer::ConnectionCount(*op, items->Item(i)));
    return counts;
  };
  const std::vector<int> connectionsBefore = connections();
  const std::string failingLabel = "L" + std::to_string(failing);
  recording.ThrowOn(operation, failingLabel, [&] { throw EngineFault("engine " + failingLabel); });
  auto changes = RecordChanges(*op);

  EXPECT_EQ(MessageOf<EngineFault>([&] { Run(*op); }), "engine " + failingLabel);

  // Sequential runs and a single worker stop at the failure; with more workers the others drain
  // the list, so every segmenter is called exactly once.
  std::vector<std::string> called;
  for (const auto& call : recording.CallsOf(operation)) called.push_back(call.label);
  EXPECT_EQ(static_cast<int>(called.size()), workers >= 2 ? kLabels : failing + 1);
  std::sort(called.begin(), called.end());
  EXPECT_EQ(std::adjacent_find(called.begin(), called.end()), called.end()) << "a repeated call";

  EXPECT_EQ(FlagState(*op), flags);
  EXPECT_TRUE(changes->empty());
  EXPECT_EQ(Peer::Segmenters(*op), segmenters);
  EXPECT_EQ(connections(), connectionsBefore);

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
                           const int workers = std::get<2>(test.param);
                           return std::get<0>(test.param) + "_At" +
                                  std::to_string(std::get<1>(test.param)) + "_" +
                                  (workers ? std::to_string(workers) + "Workers" : "Sequential");
                         });

}  // namespace
}  // namespace Tamrix::Testing
