#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "interfaces/core/Exceptions.h"
#include "interfaces/smartcore/ISmartTrainDatabaseVerifier.h"
#include "support/OperatorTestPeer.h"
#include "tests/support/MessageOf.h"
#include "vision/SmartSegmenter/FormatString.h"

namespace Tamrix::Testing {
namespace {

using Tamrix::Vision::SmartSegmenter::detail::FormatString;
using Flags = std::vector<long long>;
const long long kDirty = Operator::SfIsDirty;
const long long kSample = Operator::SfSampleSize;

class TrainingControl : public OperatorTest {
 protected:
  // An operator holding one training item with labels A and B (segmenters for both), trained.
  std::shared_ptr<Operator> TrainedOperator() {
    auto op = Peer::Create();
    op->SmartTrainDataDatabase()->Add(Item({Label("A"), Label("B")}));
    op->Train();
    recording.Reset();
    return op;
  }
};

TEST_F(TrainingControl, NegativeSampleSizeIsRefusedWithTheFormattedMessage) {
  auto op = TrainedOperator();
  auto changes = RecordChanges(*op);
  const std::string message =
      MessageOf<Tamrix::Vision::ArgumentException>([&] { op->setSampleSize(-0.5); });
  EXPECT_EQ(message,
            FormatString(Tamrix::Vision::Strings::IDS_Tamrix_InvalidArgGE_2, {"Value", "0"}));
  EXPECT_EQ(message, "Argument Value is invalid: it must be greater than or equal to 0.");
  EXPECT_EQ(op->SampleSize(), 5.0);
  EXPECT_TRUE(changes->empty());
  EXPECT_FALSE(op->IsDirty());
}

TEST(FormatString, FillsNumberedPlaceholders) {
  const struct {
    const char* pattern;
    std::vector<std::string> arguments;
    const char* expected;
  } cases[] = {{"%2 then %1", {"a", "b"}, "b then a"},
               {"%3 and %0 stay", {"a", "b"}, "%3 and %0 stay"},
               {"%1", {"%1%2"}, "%1%2"},  // inserted text is not rescanned
               {"%12", {"a"}, "%12"},
               {"100% sure, %1", {"yes"}, "100% sure, yes"},
               {"ends with %", {}, "ends with %"},
               {"%99999999999999999999", {"a"}, "%99999999999999999999"}};
  for (const auto& c : cases) EXPECT_EQ(FormatString(c.pattern, c.arguments), c.expected);
}

TEST_F(TrainingControl, VerificationFollowsTrainingAndItsRefusalLeavesTheFlags) {
  struct Verifier : Tamrix::Vision::SmartCore::ISmartTrainDatabaseVerifier {
    mutable int calls = 0;
    bool refuse = false;
    void Verify(const Tamrix::Vision::SmartCore::SmartTrainDataDatabase&) const override {
      ++calls;
      if (refuse)
        throw Tamrix::Vision::VisionException(Tamrix::Vision::VisionExceptionCodes::InvalidData,
                                              "refused");
    }
    std::string ToString() const override { return "Verifier"; }
  };
  auto op = TrainedOperator();
  auto verifier = std::make_shared<Verifier>();
  op->SmartTrainDataDatabase()->setVerifier(verifier);
  auto changes = RecordChanges(*op);
  op->Train();  // up to date: still trains and verifies, without notification
  EXPECT_EQ(recording.Count("Train"), 2);
  EXPECT_EQ(verifier->calls, 1);
  EXPECT_TRUE(changes->empty());

  verifier->refuse = true;
  Peer::SetFlags(*op, true, true);
  EXPECT_THROW(op->Retrain(), Tamrix::Vision::VisionException);
  EXPECT_EQ(recording.Count("Retrain"), 2);
  EXPECT_EQ(FlagState(*op), "TF");
}

// The state table of the two flags, written "T" for training required, "F" for full training
// required: each row starts from a state, applies one call and expects the resulting state, the
// notifications in order and the engine calls.
enum Data { kNoItem, kItemA, kUnlabelledItem };

struct FlagRow {
  const char* name;
  std::string before;
  Data data;
  std::function<void(Operator&)> act;
  std::string after;
  Flags notifications;
  std::string engineCalls = "";
};

class FlagStateTable : public OperatorTest, public ::testing::WithParamInterface<FlagRow> {};

TEST_P(FlagStateTable, Transition) {
  const FlagRow& row = GetParam();
  auto op = Peer::Create();
  if (row.data == kItemA) op->SmartTrainDataDatabase()->Add(Item({Label("A")}));
  if (row.data == kUnlabelledItem) op->SmartTrainDataDatabase()->Add(Item({}));
  SetFlagState(*op, row.before);
  ASSERT_EQ(FlagState(*op), row.before);
  EXPECT_EQ(op->IsDirty(), !row.before.empty());
  recording.Reset();
  auto changes = RecordChanges(*op);
  row.act(*op);
  EXPECT_EQ(FlagState(*op), row.after);
  EXPECT_EQ(op->IsDirty(), !row.after.empty());
  EXPECT_EQ(*changes, row.notifications);
  // Every engine call with its label and sample size, each given the operator's database.
  std::ostringstream calls;
  for (const auto& call : recording.Calls()) {
    calls << call.operation << " " << call.label << " " << call.sampleSize << ";";
    EXPECT_EQ(call.database, op->SmartTrainDataDatabase().get());
  }
  EXPECT_EQ(calls.str(), row.engineCalls);
}

const auto setTraining = [](Operator& op) { Peer::SetTrainingRequired(op, true); };
const auto setFull = [](Operator& op) { Peer::SetFullTrainRequired(op, true); };
const auto clearFull = [](Operator& op) { Peer::SetFullTrainRequired(op, false); };
const auto train = [](Operator& op) { op.Train(); };
const auto retrain = [](Operator& op) { op.Retrain(); };
std::function<void(Operator&)> SampleSize(double value) {
  return [value](Operator& op) {
    op.setSampleSize(value);
    EXPECT_TRUE(op.SampleSize() == value || (std::isnan(value) && std::isnan(op.SampleSize())));
  };
}
const auto kNaN = std::numeric_limits<double>::quiet_NaN();
const auto retrainAt2_5 = [](Operator& op) {
  op.setSampleSize(2.5);
  op.Retrain();
};

INSTANTIATE_TEST_SUITE_P(
    Rows, FlagStateTable,
    ::testing::Values(
        FlagRow{"TrainingFromUpToDate", "", kItemA, setTraining, "T", {kDirty}},
        FlagRow{"TrainingWhenRequired", "T", kItemA, setTraining, "T", {}},
        FlagRow{"TrainingWhenFull", "TF", kItemA, setTraining, "TF", {}},
        FlagRow{"FullFromUpToDate", "", kItemA, setFull, "TF", {kDirty}},
        FlagRow{"FullFromTraining", "T", kItemA, setFull, "TF", {}},
        FlagRow{"FullWithoutData", "", kNoItem, setFull, "", {}},
        FlagRow{"FullWithoutDataKeepsDirty", "T", kNoItem, setFull, "T", {}},
        FlagRow{"ClearFromFull", "TF", kItemA, clearFull, "", {kDirty}},
        FlagRow{"ClearWhenClean", "", kItemA, clearFull, "", {}},
        FlagRow{"ClearFullOnlyIsSilent", "F", kItemA, clearFull, "", {}},
        FlagRow{"TrainFromTraining", "T", kItemA, train, "", {kDirty}, "Train A 5;"},
        FlagRow{"TrainFromFull", "TF", kItemA, train, "", {kDirty}, "Retrain A 5;"},
        FlagRow{"RetrainFromFull", "TF", kItemA, retrain, "", {kDirty}, "Retrain A 5;"},
        FlagRow{"RetrainWhenClean", "", kItemA, retrain, "", {}, "Retrain A 5;"},
        FlagRow{"TrainWithoutSegmenters", "T", kUnlabelledItem, train, "", {kDirty}},
        FlagRow{"SampleSizeFromUpToDate", "", kItemA, SampleSize(3), "TF", {kSample, kDirty}},
        FlagRow{"SampleSizeWhenRequired", "T", kItemA, SampleSize(1), "TF", {kSample}},
        FlagRow{"SampleSizeWithoutData", "", kNoItem, SampleSize(0), "", {kSample}},
        FlagRow{"SameSampleSize", "", kItemA, SampleSize(5), "", {}},
        FlagRow{"NotANumberSampleSize", "", kNoItem, SampleSize(kNaN), "", {kSample}},
        FlagRow{"RetrainAtANewSampleSize",
                "",
                kItemA,
                retrainAt2_5,
                "",
                {kSample, kDirty, kDirty},
                "Retrain A 2.5;"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace Tamrix::Testing
